// UiFixture.h - the tool's real windows in this process, on a real store in a
// temporary data folder: the main window as start-up builds it (without the
// message loop), the web site edit dialog over a row of the list page, and
// the modal dialogs over it, answered by a ModalAnswerer.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "ListView.h"
#include "MainWindow.h"
#include "QOVICommon.h"
#include "QOVIPWDBankInfoEditDlg.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "TestSupport.h"
#include "resource.h"

using Strings = std::vector<std::wstring>;

class UiFixture : public testing::Test {
protected:
    UiFixture();
    ~UiFixture() override;

    // ---------------------------------------------------------- the store --
    // A site named name (URL https://<name>.example/login) with these inputs.
    static QOVINewWebItem site(const std::wstring& name, std::vector<QOVINewInputItem> inputs = userAndPassword());
    // Text "user" (id u1, value alice) and password "pass" (id p1, value secret12).
    static std::vector<QOVINewInputItem> userAndPassword();
    // Saves the settings and these sites, in this order, as another program would.
    void store(const std::vector<QOVINewWebItem>& sites, int pwdBank = 1, int bubble = 1);
    // What a fresh load of the data file holds, read once every window is gone.
    struct Stored {
        int pwdBank = -1, bubble = -1;
        Strings sites;
        std::map<std::wstring, Strings> inputs;  // per site, "name|id|type|value"
    };
    Stored stored();
    std::string dataFileBytes() const;
    int countInLog(const std::string& text) const;

    // ----------------------------------------------------------- windows --
    // The main window as start-up builds it, showing tab 0 or 1.
    void openMainWindow(int tab = 0);
    // Destroys the main window without its close question.
    void closeMainWindow();
    HWND siteList() const { return GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST); }
    SiteListPageState& listState() const { return *AppGlobals.siteListState; }
    // The edit dialog over that row of the list page, modeless (it needs no
    // modal loop in a test); create it before a ModalAnswerer, which would
    // take it for an unexpected dialog.
    HWND openEditorOn(int row);
    void closeEditor();
    HWND inputList() const { return GetDlgItem(editor, IDC_SITE_EDIT_INPUTS); }
    SiteEditState& editState() const { return *AppGlobals.siteEditState; }
    // Names of the elements behind the rows: the list page's sites, the
    // editor's items (a nameless one as "#" + id).
    Strings siteElements() const;
    Strings inputElements() const;
    // Delivers what was posted and reports, then clears, the marks it left:
    // the main window's unsaved-changes flag and the editor's modified flag.
    std::pair<int, int> takeMarks();
    // WM_CLOSE messages a listener window of this process received.
    int listenerNotices() const;
    std::wstring text(UINT id) const;

    HWND editor = nullptr;

private:
    qovitest::TempFolder data_;
    qovitest::ScopedEnvironment dataDir_;
    std::unique_ptr<MainWindowState> startState_;
    HWND listener_ = nullptr;
};

// Column texts of every row of a list view.
Strings columnOf(HWND list, int column);
// Selects exactly these rows; tellParent sends the NM_CLICK a click in the list makes.
void selectRows(HWND list, std::initializer_list<int> rows, bool tellParent = true);
// Sends the parent the WM_NOTIFY (NM_CLICK, NM_DBLCLK) a click on the list produces.
void notifyList(HWND list, int code);
// A box expected: the button that answers it, its caption and text (0: any).
struct Box {
    int button;
    UINT caption, text;
};
// Clicks the dialog's button id as a user would and answers the boxes that come, in order.
void clickAnswering(HWND dialog, int id, std::initializer_list<Box> boxes = {});
// A press of a dialog's push button, as the button reports it.
void press(HWND dialog, int id);
// Opens a file without sharing, so that a save of it really fails until the handle is closed.
HANDLE holdFile(const std::wstring& path);
// Types value into the input item edit dialog and takes it over (IDC_INPUT_EDIT_SAVE).
void takeOver(HWND inputDialog, const std::wstring& value);
