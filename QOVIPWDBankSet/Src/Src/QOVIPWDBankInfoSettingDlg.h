// QOVIPWDBankInfoSettingDlg.h - the web site list page (IDD_SITE_LIST_PAGE): the user's saved
// web sites, one row per site in store order, with the skinned Open (IDC_SITE_LIST_OPEN)
// and Delete (IDC_SITE_LIST_DELETE) buttons.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "Skin.h"

class QOVIWebItem;

// The page's working data; AppGlobals.siteListState is its only pointer.
//
// Row i of the list view and element i of webItems are always the same site
// (webItems holds the listed sites that match the search, in store order):
// the list is virtual (LVS_OWNERDATA), holds only the count of rows and asks
// the page for what a row shows.
// The page owns that rule: only its own operations add or remove rows and
// elements (others call removeRow and refill), and the list is never sorted.
// The sites belong to the password bank; the page never deletes them.
struct SiteListPageState {
    SiteListPageState() = default;
    // Detaches the row icons from the list view and destroys them.
    ~SiteListPageState();
    SiteListPageState(const SiteListPageState&) = delete;
    SiteListPageState& operator=(const SiteListPageState&) = delete;

    // Sets up the page's buttons. The columns, the row icon and the rows
    // come when the page is first shown (ensureFilled).
    void setUpSiteList();
    // The row icon and the two columns, made once, before the first rows.
    void setUpColumns();
    // Sets up the columns and lists the sites unless they are listed
    // already; whoever reads the rows calls it first.
    void ensureFilled();
    // Lists the bank's sites afresh, in store order, and selects row 0;
    // Open and Delete are enabled only when there is a row. Before the
    // page was first shown there is nothing to list afresh.
    void refill();
    // Lists the bank's sites, in store order, and selects row 0.
    void listSites();
    // Shows the listed sites whose name or URL holds this text, whatever
    // the case, in store order; an empty text shows every site.
    void searchFor(const std::wstring& text);
    // Shows the listed sites that match the search, and selects row 0.
    void showMatchingSites();
    // Takes sites out of the full listing.
    void forgetSites(const std::vector<QOVIWebItem*>& sites);
    // Puts the keyboard in the search box, its text selected (Ctrl+F).
    void focusSearch();
    // Fills in what the list asks of a row (LVN_GETDISPINFO): the icon in
    // column 0, the site's name in column 1.
    void showRow(LVITEMW& item) const;
    // Removes row and its element together.
    void removeRow(int row);
    // Removes these rows (ascending) and their elements, in one pass.
    void removeRows(const std::vector<int>& rows);
    // The row of a site, or -1.
    int rowOf(const QOVIWebItem* site) const;
    // Shows the new name of the row's site, renamed in the store.
    void renameRow(int row, const std::wstring& name);
    // With exactly one selected row, opens that site in the edit dialog (IDD_SITE_EDIT)
    // modally; with any other count only gives the list the focus back. The
    // first selected site's keys go to AppGlobals whatever the count.
    void openSelectedSite();
    // Asks once, then removes the selected sites from the list, the vector
    // and the in-memory bank, and arms the main window's Apply.
    void deleteSelectedSites();
    // Open and Delete follow the number of selected rows.
    void followSelection();

    std::vector<QOVIWebItem*> webItems;     // the rows shown
    std::vector<QOVIWebItem*> listedSites;  // every site as last listed, in store order
    std::vector<std::wstring> searchKeys;   // of each listed site, once a search needs them
    std::wstring searchText;                // what the rows shown match, folded
    bool filled = false;  // the rows were listed
    HWND listView = nullptr;
    HIMAGELIST imageList = nullptr;
    SkinButtonGroup buttons;  // Open, Delete
};

INT_PTR CALLBACK SiteListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The page's list view, for the edit dialog that acts on its selection.
HWND siteListView();
