// QOVIPWDBankInfoEditDlg.h - the web site edit dialog (54): one saved site
// with its name, its user name and password rows, five skinned buttons, and
// the Save command that hands the edits to the store.
#pragma once

#include <windows.h>
#include <string>
#include <vector>
#include "Skin.h"

class QOVIInputItem;

const int SITE_EDIT_BUTTON_COUNT = 5;  // Save, Close, Open, Remove, Help
const int SITE_NAME_CHARS = 260;        // 259 characters and the terminator

// An input item taken out of the dialog's list and not yet removed from the
// store. name and id are the item's own, whatever its row showed.
struct RemovedInputItem {
    std::wstring name;
    std::wstring id;
};

// A value the user took over in the input item edit dialog (55) and Save has
// not written yet, with the item it was taken over for. The value may be a
// password in plain.
struct TakenOverValue {
    const QOVIInputItem* item;
    std::wstring value;
};

// The dialog's working data, one per opening; AppGlobals.siteEditState is its
// only pointer.
//
// Row i of the input list and element i of inputItems are always the same
// item; elements behind the last row are items that got no row. Every path
// that removes a row erases the element with the same index. The items belong
// to the password bank; the dialog never deletes them.
struct SiteEditState {
    // Makes the bold caption font and loads the background and help images.
    SiteEditState();
    // Releases the label DCs, the images, the caption font and brush.
    ~SiteEditState();
    SiteEditState(const SiteEditState&) = delete;
    SiteEditState& operator=(const SiteEditState&) = delete;

    // Takes the site's name from the list page's first selected row into
    // storedName and the name box.
    void loadSiteName(HWND dialog);
    // Sets up the input list and shows the site's first "text" item as the
    // user name row and its first "password" item, masked, as the password
    // row, then selects row 0.
    void fillInputList();
    // Asks once, then takes the selected rows and their items out of the
    // list; the store is changed only by Save.
    void deleteSelectedInputs(HWND dialog);
    // Copies the first selected row's item to AppGlobals and, with exactly
    // one row selected, opens the input item edit dialog (55) modally.
    void openSelectedInput(HWND dialog);
    // Button 326: ends the dialog without saving.
    void closeSiteEdit(HWND dialog);
    void paintSiteEditBackground(HWND dialog, HDC dc);
    // Button 325: hands the name, the removed items and new values to the
    // store and saves the user.
    void saveSiteEdits(HWND dialog);

    // The input item edit dialog took value over for item: Save writes it to
    // that item, replacing a value taken over for it earlier.
    void takeValueOver(const QOVIInputItem* item, const std::wstring& value);
    // The value taken over for item and not written yet, or null.
    const std::wstring* takenOverValue(const QOVIInputItem* item) const;
    // Wipes and drops every value taken over.
    void forgetTakenOverValues();

    // Buttons 324 and 323 follow the number of selected rows.
    void followSelection();
    // Enables or disables button 324 (open) or 323 (remove) with its flag.
    void setEditEnabled(bool enabled);
    void setDeleteEnabled(bool enabled);

    // Slot of a button window: 0 to 3 for 325, 326, 324, 323, and 4 for any
    // other window; 0 while the dialog has no state.
    static int buttonIndex(HWND button);

    int nameLength = 1;  // name length of the last item fillInputList read
    int idLength = 0;    // id length of that same item
    HWND listView = nullptr;
    HWND buttons[SITE_EDIT_BUTTON_COUNT] = {};
    HWND inputsLabel = nullptr;  // 329
    HWND nameLabel = nullptr;    // 328
    HFONT captionFont = nullptr;
    HBRUSH captionBrush = nullptr;
    HDC inputsLabelDC = nullptr;
    HDC nameLabelDC = nullptr;
    SkinButtonLook looks[SITE_EDIT_BUTTON_COUNT];
    SkinImage backgroundImage;
    SkinImage helpImage;
    std::vector<QOVIInputItem*> inputItems;
    wchar_t storedName[SITE_NAME_CHARS] = {};  // the site's name as the store knows it
    wchar_t typedName[SITE_NAME_CHARS] = {};   // the name box as Save read it
    std::wstring lastDeletedId;    // the item removed from the list last
    std::wstring lastDeletedName;
    // Every item removed from the list since the last save, in the order of
    // removal; Save removes them all from the store and then empties it.
    std::vector<RemovedInputItem> removedItems;
    // Values taken over in the input item edit dialog since the last save,
    // one per item; Save writes exactly these, each to its own item.
    std::vector<TakenOverValue> takenOverValues;
    int editEnabled = 1;    // mirrors EnableWindow of button 324
    int deleteEnabled = 1;  // mirrors EnableWindow of button 323
    int itemsDeleted = 0;   // items were removed from the list since the last save
    SkinRepaintFlags repaint;
    int helpAllowed = 1;  // 0 while the input item edit dialog is open
    int modified = 0;     // something changed that Save must write
};

INT_PTR CALLBACK SiteEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Subclass procedure of the dialog's five buttons (subclass ID 0).
LRESULT CALLBACK SiteEditButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR subclassId,
                                    DWORD_PTR referenceData);
void paintSiteEditButton(SiteEditState& state, HWND button);
