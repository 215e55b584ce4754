// SiteFixture.h - the main window over a bank of saved web sites seeded
// through the store's interface, and the web site edit dialog on one of them.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "QOVIPWDBankInfoEditDlg.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "UiFixture.h"
#include "resource.h"

class SiteFixture : public MainWindowFixture {
protected:
    ~SiteFixture() override;

    // A site named name (URL https://<name>.example/login) with these inputs.
    static QOVINewWebItem site(const std::wstring& name, std::vector<QOVINewInputItem> inputs = {});
    // The usual pair: text "user" (id u1, value alice) and password "pass" (id p1, value secret12).
    static std::vector<QOVINewInputItem> userAndPassword();
    // Saves these sites, in this order, into the stored bank.
    void storeSites(const std::vector<QOVINewWebItem>& sites);
    // Sites "site0" .. "site<count-1>" with the usual pair each.
    void storeNumberedSites(int count);

    // The main window as start-up builds it, showing the list page.
    void openSitesPage();
    HWND siteList() const { return GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST); }
    HWND listButton(int id) const { return GetDlgItem(AppGlobals.hSiteListPage, id); }
    SiteListPageState& listState() const { return *AppGlobals.siteListState; }
    // Column 1 of every row, and the names of the page's vector.
    std::vector<std::wstring> siteRows() const;
    std::vector<std::wstring> siteElements() const;
    // Names of the sites in the in-memory bank.
    std::vector<std::wstring> bankSites() const;

    // Selects exactly that row of the list page and creates the edit dialog
    // over it, modeless (it has no modal loop of its own in a test). Create
    // it before a ModalAnswerer, which would take it for an unexpected box.
    HWND openEditorOn(int row);
    // Destroys the edit dialog and delivers what it posted.
    void closeEditor();
    HWND inputList() const { return GetDlgItem(editor, IDC_SITE_EDIT_INPUTS); }
    SiteEditState& editState() const { return *AppGlobals.siteEditState; }
    // Columns 0, 1 and 2 of every row of the input list.
    std::vector<std::vector<std::wstring>> inputRows() const;
    // Name (or, for a nameless item, "#" + id) of every element of inputItems.
    std::vector<std::wstring> inputElements() const;

    HWND editor = nullptr;
};
