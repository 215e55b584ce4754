// QOVIPWDBankInfoEditDlg.h - the web site edit dialog (IDD_SITE_EDIT): one saved site
// with its name, its user name and password rows and five skinned buttons.
// Its Save command lives in SiteEditSave.
#pragma once

#include <windows.h>
#include <string>
#include <vector>
#include "Skin.h"

class QOVIInputItem;
class QOVIWebItem;

// The name box takes at most 259 typed characters. A site may have a longer
// name (an import brings any length): the box shows it whole, and Save
// reads the box whole.
const int SITE_NAME_CHARS = 260;  // 259 characters and the terminator

// The input item types the dialog lists (compared exactly, case and all),
// and what a password shows as: one mask character per UTF-16 code unit.
const wchar_t INPUT_TYPE_TEXT[] = L"text";
const wchar_t INPUT_TYPE_PASSWORD[] = L"password";
const wchar_t PASSWORD_MASK = L'*';

// An input item taken out of the dialog's list and not yet removed from the
// store. name and id are the item's own (they choose the log line).
struct RemovedInputItem {
    const QOVIInputItem* item;
    std::wstring name;
    std::wstring id;
};

// A value the user took over in the input item edit dialog
// (IDD_INPUT_ITEM_EDIT) and Save has not written yet, with the item it was
// taken over for. The value may be a password in plain.
struct TakenOverValue {
    const QOVIInputItem* item;
    std::wstring value;
};

// The dialog's working data, one per opening; AppGlobals.siteEditState is its
// only pointer.
//
// Row i of the input list and element i of inputItems are always the same
// item; elements behind the last row are items that got no row. The dialog
// owns that rule: the input item edit dialog reaches an item and shows a new
// value only through inputItemOfRow and takeValueOver. The items belong to
// the password bank; the dialog never deletes them.
struct SiteEditState {
    // Makes the bold caption font and loads the background image.
    SiteEditState();
    // Releases the label DCs, the caption font and brush, and wipes the
    // values taken over.
    ~SiteEditState();
    SiteEditState(const SiteEditState&) = delete;
    SiteEditState& operator=(const SiteEditState&) = delete;

    // Takes the site of the list page's first selected row, and its name
    // into storedName and the name box.
    void loadSiteName(HWND dialog);
    // After a save that merged another program's changes: the name box and
    // storedName follow a new name the merge gave the site.
    void followMergedName(HWND dialog);
    // Sets up the input list and shows the site's first "text" item as the
    // user name row and its first "password" item, masked, as the password
    // row, then selects row 0. False when the store could not list the
    // site's input items (the list stays empty).
    bool fillInputList();
    // Asks once, then takes the selected rows and their items out of the
    // list; the store is changed only by Save.
    void deleteSelectedInputs(HWND dialog);
    // Copies the first selected row's item to AppGlobals and, with exactly
    // one row selected, opens the input item edit dialog (IDD_INPUT_ITEM_EDIT) modally.
    void openSelectedInput(HWND dialog);
    // IDC_SITE_EDIT_OPEN and IDC_SITE_EDIT_REMOVE follow the number of selected rows.
    void followSelection();

    // The input item of a row of the list, or null.
    const QOVIInputItem* inputItemOfRow(int row) const;
    // The input item edit dialog took value over for the item of row: the row
    // shows it as shown, and Save writes it to that item, replacing a value
    // taken over for it earlier.
    void takeValueOver(int row, const std::wstring& value, const std::wstring& shown);
    // The value taken over for the item of row and not written yet, or null.
    const std::wstring* takenOverValue(int row) const;
    // Wipes and drops every value taken over.
    void forgetTakenOverValues();

    HWND listView = nullptr;
    HWND inputsLabel = nullptr;  // IDC_SITE_EDIT_INPUTS_LABEL
    HWND nameLabel = nullptr;    // IDC_SITE_EDIT_NAME_LABEL
    HFONT captionFont = nullptr;
    HBRUSH captionBrush = nullptr;
    HDC inputsLabelDC = nullptr;
    HDC nameLabelDC = nullptr;
    SkinButtonGroup buttons;  // Save, Close, Open, Remove, Help
    SkinImage backgroundImage;
    std::vector<QOVIInputItem*> inputItems;
    const QOVIWebItem* site = nullptr;  // the list page's element of the site, when it has one
    bool siteRemoved = false;           // Save removed the site from the bank
    std::wstring storedName;            // the site's name as the store knows it
    std::wstring typedName;             // the name box as Save read it
    // Every item removed from the list since the last save, in the order of
    // removal; Save removes them all from the store and then empties it.
    std::vector<RemovedInputItem> removedItems;
    // Values taken over in the input item edit dialog since the last save,
    // one per item; Save writes exactly these, each to its own item.
    std::vector<TakenOverValue> takenOverValues;
    int helpAllowed = 1;  // 0 while the input item edit dialog is open
    int modified = 0;     // something changed that Save must write
};

INT_PTR CALLBACK SiteEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
