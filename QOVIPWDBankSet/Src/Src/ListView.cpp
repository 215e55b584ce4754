#include "ListView.h"

#include <commctrl.h>
#include "AppGlobals.h"
#include "FPGlobal.h"

int selectedCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)); }

int firstSelectedRow(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
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

// What has been typed into one list, and when.
struct TypeAhead {
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
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

// A new search starts after the focused row, so that pressing one letter
// again goes on to the next row with it; a longer text may stay on that row.
// False when the character is not for the search.
static bool typeAhead(HWND list, TypeAhead& search, wchar_t typed)
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

static LRESULT listKeyboardMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, TypeAhead& search)
{
    switch (message) {
    case WM_GETDLGCODE: {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        const bool enter = msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
        return DefSubclassProc(list, message, wParam, lParam) | (enter ? DLGC_WANTALLKEYS : 0);
    }
    case WM_CHAR:
        // Not the list's own search: it reads column 0, which may hold only an icon.
        if (typeAhead(list, search, static_cast<wchar_t>(wParam)))
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
    return DefSubclassProc(list, message, wParam, lParam);
}

static LRESULT CALLBACK ListKeyboardProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data)
{
    TypeAhead* search = reinterpret_cast<TypeAhead*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(list, ListKeyboardProc, 0);
        delete search;
        return DefSubclassProc(list, message, wParam, lParam);
    }
    return guardedCall(L"ListKeyboardProc", [&] { return listKeyboardMessage(list, message, wParam, lParam, *search); });
}

void attachListKeyboard(HWND list, int nameColumn)
{
    TypeAhead* search = new TypeAhead();
    search->column = nameColumn;
    if (!SetWindowSubclass(list, ListKeyboardProc, 0, reinterpret_cast<DWORD_PTR>(search)))
        delete search;
}

bool isSelectionChange(const NMHDR* header)
{
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
