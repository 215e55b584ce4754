// QOVIPWDBankInfoSettingDlg.h - the web site list page (53): the user's saved
// web sites, one row per site in store order, with the skinned Open (301) and
// Delete (302) buttons.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <vector>
#include "Skin.h"

class QOVIWebItem;

const int SITE_LIST_BUTTON_COUNT = 2;  // Open, Delete

// The page's working data; AppGlobals.siteListState is its only pointer.
//
// Row i of the list view and element i of webItems are always the same site:
// every path that removes a row (this page's deletion and the edit dialog's
// Save) erases the element with the same index, and the list is never sorted.
// The sites belong to the password bank; the page never deletes them.
struct SiteListPageState {
    SiteListPageState() = default;
    // Detaches the row icons from the list view and destroys them.
    ~SiteListPageState();
    SiteListPageState(const SiteListPageState&) = delete;
    SiteListPageState& operator=(const SiteListPageState&) = delete;

    // Sets up the list view's columns and icons, lists the bank's sites and
    // selects row 0; the page's two buttons are taken into the slots and
    // enabled only when there is a row.
    void fillSiteList(HWND page);
    // With exactly one selected row, opens that site in the edit dialog (54)
    // modally; with any other count only gives the list the focus back. The
    // first selected site's keys go to AppGlobals whatever the count.
    void openSelectedSite();
    // Asks once, then removes the selected sites from the list, the vector
    // and the in-memory bank, and arms the main window's Apply.
    void deleteSelectedSites();
    // Buttons 301 and 302 follow the number of selected rows.
    void followSelection();
    // Enables or disables one button together with its availability flag.
    void setButtonEnabled(int slot, bool enabled);

    // Slot of a button window: 0 for 301, 1 for 302, 2 for any other window,
    // and 0 while the page has no state.
    static int buttonIndex(HWND button);

    std::vector<QOVIWebItem*> webItems;
    int editEnabled = 1;    // mirrors EnableWindow of button 301
    int deleteEnabled = 1;  // mirrors EnableWindow of button 302
    HWND listView = nullptr;
    HWND buttons[SITE_LIST_BUTTON_COUNT] = {};
    HIMAGELIST imageList = nullptr;
    int deletingIndex = 0;  // the row the deletion is removing
    SkinButtonLook looks[SITE_LIST_BUTTON_COUNT];
};

INT_PTR CALLBACK SiteListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Subclass procedure of buttons 301 and 302 (subclass ID = the control ID).
LRESULT CALLBACK SiteListButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR subclassId,
                                    DWORD_PTR referenceData);
void paintSiteListButton(SiteListPageState& state, HWND button);
