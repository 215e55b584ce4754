#include "ListView.h"

#include <commctrl.h>
#include "AppGlobals.h"
#include "FPGlobal.h"

int selectedCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)); }

int firstSelectedRow(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<int> selectedRows(HWND list)
{
    std::vector<int> rows;
    const int count = selectedCount(list);
    rows.reserve(static_cast<size_t>(count));
    // Every row: no need to ask for each.
    if (count > 0 && count == rowCount(list)) {
        for (int row = 0; row < count; ++row)
            rows.push_back(row);
        return rows;
    }
    for (int row = firstSelectedRow(list); row >= 0;
         row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)))
        rows.push_back(row);
    return rows;
}

void selectOnlyRows(HWND list, const std::vector<int>& rows, int focused)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = item.stateMask = LVIS_SELECTED;
    for (int row : rows)
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    if (focused >= 0) {
        item.state = item.stateMask = LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, focused, reinterpret_cast<LPARAM>(&item));
    }
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

// ------------------------------------------------------------ keyboard --

namespace {

// The keyboard state of one list: its own window procedure, the column that
// typing searches, and what has been typed, and when.
struct ListKeyboard {
    WNDPROC listProc;
    int column;
    std::wstring typed;
    DWORD lastTime = 0;
};

}  // namespace

// A pause this long between two characters starts a new search.
static const DWORD TYPE_AHEAD_PAUSE_MS = 1000;

static bool startsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str(), static_cast<int>(prefix.size()),
                          prefix.c_str(), static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

// Selects the row alone, focused and scrolled into view.
static void selectOnly(HWND list, int row)
{
    selectOnlyRows(list, {row}, row);
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

// A new search starts after the focused row, so that pressing one letter
// again goes on to the next row with it; a longer text may stay on that row.
// False when the character is not for the search.
static bool typeAhead(HWND list, ListKeyboard& search, wchar_t typed)
{
    const DWORD now = static_cast<DWORD>(GetMessageTime());  // a tick count that wraps
    if (now - search.lastTime > TYPE_AHEAD_PAUSE_MS)
        search.typed.clear();
    // A space starts no search: it is the list's own key.
    if (typed < L' ' || (typed == L' ' && search.typed.empty()))
        return false;
    search.lastTime = now;
    search.typed += typed;
    const int rows = rowCount(list);
    const int focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const int start = search.typed.size() == 1 ? focused + 1 : (focused < 0 ? 0 : focused);
    for (int i = 0; i < rows; ++i) {
        const int row = (start + i) % rows;
        if (startsWith(rowText(list, row, search.column), search.typed)) {
            selectOnly(list, row);
            break;
        }
    }
    return true;
}

static LRESULT listKeyboardMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, ListKeyboard& keyboard)
{
    switch (message) {
    case WM_GETDLGCODE: {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        const bool enter = msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
        return CallWindowProcW(keyboard.listProc, list, message, wParam, lParam) | (enter ? DLGC_WANTALLKEYS : 0);
    }
    case WM_KEYDOWN:
        if (wParam == 'A' && GetKeyState(VK_CONTROL) < 0 && !(GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL)) {
            selectAllRows(list);
            return 0;
        }
        break;
    case WM_CHAR:
        // Not the list's own search: it reads column 0, which may hold only an icon.
        if (typeAhead(list, keyboard, static_cast<wchar_t>(wParam)))
            return 0;
        break;
    case WM_SETFOCUS: {
        const int selected = firstSelectedRow(list);
        if (selected >= 0 && SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) < 0) {
            LVITEMW item = {};
            item.state = item.stateMask = LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, selected, reinterpret_cast<LPARAM>(&item));
        }
        break;
    }
    }
    return CallWindowProcW(keyboard.listProc, list, message, wParam, lParam);
}

// A window procedure of its own rather than SetWindowSubclass, whose
// reference data lives in a window property that costs Wine a call to its
// server on every message: reading the selection of ten thousand rows takes
// ten thousand messages.
static LRESULT CALLBACK ListKeyboardProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    ListKeyboard* keyboard = reinterpret_cast<ListKeyboard*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(keyboard->listProc));
        SetWindowLongPtrW(list, GWLP_USERDATA, 0);
        const LRESULT result = CallWindowProcW(keyboard->listProc, list, message, wParam, lParam);
        delete keyboard;
        return result;
    }
    return guardedCall(L"ListKeyboardProc",
                       [&] { return listKeyboardMessage(list, message, wParam, lParam, *keyboard); });
}

void attachListKeyboard(HWND list, int nameColumn)
{
    ListKeyboard* keyboard = new ListKeyboard();
    keyboard->column = nameColumn;
    keyboard->listProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(list, GWLP_WNDPROC));
    SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(keyboard));
    SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListKeyboardProc));
}

void selectAllRows(HWND list)
{
    // Drawing held off: otherwise the list repaints each row as it changes.
    ListRedrawPause pause(list);
    LVITEMW item = {};
    item.state = item.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

bool isSelectionChange(const NMHDR* header)
{
    // A virtual list tells of a range of rows at once.
    if (header->code == static_cast<UINT>(LVN_ODSTATECHANGED)) {
        const NMLVODSTATECHANGE* change = reinterpret_cast<const NMLVODSTATECHANGE*>(header);
        return ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) != 0;
    }
    if (header->code != static_cast<UINT>(LVN_ITEMCHANGED))
        return false;
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    return (change->uChanged & LVIF_STATE) && ((change->uOldState ^ change->uNewState) & LVIS_SELECTED);
}

// The header's format buffer: the strings stay well under it in every language.
static const int HEADER_TEXT_CHARS = 256;

std::wstring headerText(UINT id)
{
    wchar_t buffer[HEADER_TEXT_CHARS] = {};
    wsprintfW(buffer, loadResString(id).c_str());
    return buffer;
}
