// SiteFixture.h - the main window over a bank of saved web sites seeded
// through the store's interface, the web site edit dialog on one of them, and
// the input item edit dialog (55) over that, driven from inside its modal loop.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include "QOVIPWDBankInfoEditDlg.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "UiFixture.h"
#include "resource.h"

// Runs a test's actions inside a modal loop: the answerer may only post, so
// it posts to this window, and the actions run when the loop dispatches that.
class ModalSteps {
public:
    ModalSteps();
    ~ModalSteps();
    ModalSteps(const ModalSteps&) = delete;
    ModalSteps& operator=(const ModalSteps&) = delete;
    void post(std::function<void()> steps);

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    HWND window_ = nullptr;
    std::function<void()> steps_;
};

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


    // The answer to a dialog opening: the actions, run in its modal loop.
    std::function<void(HWND)> inDialog(std::function<void(HWND)> actions);
    // Selects exactly this row of the editor's input list, as a click does.
    void selectInput(int row);
    // Opens dialog 55 on the row as button 324 does, and returns its result.
    INT_PTR openInputDialog(int row);
    // Opens dialog 55 on the selected row with button 324 itself.
    void clickOpen();
    // Takes the value over in dialog 55: types it and presses 341.
    static void takeOver(HWND inputDialog, const std::wstring& value);
    // Button 325 of the editor, clicked.
    void clickSave();
    // Delivers what was posted and reports, then clears, the marks it left:
    // the main window's unsaved-changes flag and the editor's modified flag.
    std::pair<int, int> takeMarks();

    // The stored input items of a site as a fresh load sees them, as
    // "name|id|type|value", after the editor and the main window are gone.
    std::vector<std::wstring> storedInputsAfterClosing(const std::wstring& site);
    // The site names of a fresh load, after the editor and the main window are gone.
    std::vector<std::wstring> storedSitesAfterClosing();
    // The bytes of the user's data file (a save rewrites them).
    std::string dataFileBytes() const;

    std::wstring text(UINT id) const;

    HWND editor = nullptr;
    ModalSteps steps;
};

HWND inputValueEdit(HWND inputDialog);
void typeInputValue(HWND inputDialog, const std::wstring& value);
// A press of a push button of a dialog, as the button reports it.
void pressButton(HWND dialog, int id);
