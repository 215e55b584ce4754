// QOVIPWDBankIputItemEditDlg.h - the input item edit dialog (IDD_INPUT_ITEM_EDIT): the user
// changes the saved value of one input item (in practice the user name or the
// password) of the site open in the web site edit dialog (IDD_SITE_EDIT).
//
// The dialog never writes to the store. A value it takes over goes into the
// edit dialog's list row (masked for a password), into AppGlobals and into
// the edit dialog's record of taken-over values; the edit dialog's Save
// command writes it.
#pragma once

#include <windows.h>
#include <string>

struct InputItemEditState {
    InputItemEditState() = default;
    // Wipes both values: either may hold a password in plain.
    ~InputItemEditState();
    InputItemEditState(const InputItemEditState&) = delete;
    InputItemEditState& operator=(const InputItemEditState&) = delete;

    // WM_INITDIALOG: reads the edit dialog's selected row, fills the label
    // and the edit, and masks the edit for a password item.
    void initInputItemEdit(HWND dialog);
    // IDC_INPUT_EDIT_SAVE: refuses an empty value or a user name the store already
    // holds for this site; ends the dialog on an unchanged value; otherwise
    // takes the value over and ends the dialog.
    void saveInputItem(HWND dialog);

    std::wstring itemLabel;  // column 0 of the edited row
    std::wstring oldValue;   // what the edit started from; an unchanged save changes nothing
    std::wstring newValue;   // the edit's text at the last press of IDC_INPUT_EDIT_SAVE
};

INT_PTR CALLBACK InputItemEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
