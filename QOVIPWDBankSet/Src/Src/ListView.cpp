#include "ListView.h"

#include <commctrl.h>
#include "FPGlobal.h"

int selectedCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)); }

int firstSelectedRow(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<int> selectedRows(HWND list)
{
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(selectedCount(list)));
    for (int row = firstSelectedRow(list); row >= 0;
         row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)))
        rows.push_back(row);
    return rows;
}

int rowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring rowText(HWND list, int row, int column)
{
    wchar_t buffer[LIST_TEXT_CHARS] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = LIST_TEXT_CHARS;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

void setRowText(HWND list, int row, int column, const std::wstring& text)
{
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void insertColumn(HWND list, int column, int width, const std::wstring& header)
{
    LVCOLUMNW info = {};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    info.fmt = LVCFMT_LEFT;
    info.cx = width;
    info.pszText = const_cast<wchar_t*>(header.c_str());
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
}

// The header's format buffer: the strings stay well under it in every language.
static const int HEADER_TEXT_CHARS = 256;

std::wstring headerText(UINT id)
{
    wchar_t buffer[HEADER_TEXT_CHARS] = {};
    wsprintfW(buffer, loadResString(id).c_str());
    return buffer;
}
