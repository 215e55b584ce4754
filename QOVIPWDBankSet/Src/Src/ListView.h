// ListView.h - the list view operations the list page and the edit dialogs
// share. Rows are read back through 260-character buffers, so at most 259
// characters of a cell are seen.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

const int LIST_TEXT_CHARS = 260;

int selectedCount(HWND list);
int firstSelectedRow(HWND list);  // -1 when no row is selected
std::vector<int> selectedRows(HWND list);  // ascending
// Selects exactly these rows; focused (when not -1) becomes the focused row.
void selectOnlyRows(HWND list, const std::vector<int>& rows, int focused);
int rowCount(HWND list);
std::wstring rowText(HWND list, int row, int column);
void setRowText(HWND list, int row, int column, const std::wstring& text);
void insertColumn(HWND list, int column, int width, const std::wstring& header);

// The keyboard of a list view in a dialog. Enter reaches the list, which tells
// its parent NM_RETURN, instead of pressing the dialog's default button;
// typing selects the next row whose text in nameColumn starts with what was
// typed; Ctrl+A selects every row; and when the list gets the focus its first
// selected row becomes the focused one, so that the arrow keys move on from
// the selection.
void attachListKeyboard(HWND list, int nameColumn);

// Selects every row, as Ctrl+A in the list does.
void selectAllRows(HWND list);

// Whether a list view notification tells of a change in the selection of a
// row or (in a virtual list) of a range of rows.
bool isSelectionChange(const NMHDR* header);

// A column header from the string table. The strings are used as wsprintfW
// formats without arguments: they carry no percent sign and stay under 256
// characters in every language.
std::wstring headerText(UINT id);

// Holds a list view's drawing off while many rows change at once and repaints
// it in one go afterwards.
class ListRedrawPause {
public:
    explicit ListRedrawPause(HWND list) : list_(list) { SendMessageW(list_, WM_SETREDRAW, FALSE, 0); }
    ~ListRedrawPause()
    {
        SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
        UpdateWindow(list_);
    }
    ListRedrawPause(const ListRedrawPause&) = delete;
    ListRedrawPause& operator=(const ListRedrawPause&) = delete;

private:
    HWND list_;
};
