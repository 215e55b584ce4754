// What the windows show after saves: the bank as saved when another program
// saved meanwhile, and a bank of a hundred thousand sites kept whole through
// a deletion of scattered sites.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "ListView.h"
#include "UiFixture.h"

using namespace qovitest;

namespace {

class SavedBankTest : public UiFixture {
protected:
    // Another program saves these changes (StoreTestHelper's operations).
    void otherProgram(const std::wstring& operations)
    {
        std::string output;
        ASSERT_EQ(0, runProcess(exeFolder() + L"\\StoreTestHelper.exe", L"edit " + operations, &output)) << output;
    }
    Strings siteRows() const { return columnOf(siteList(), 1); }
    void click(HWND window, int id)
    {
        clickWindow(GetDlgItem(window, id));
        pumpMessages();
    }
};

// After a save that merged another program's changes, the list page shows the
// bank in store order as a fresh fill does (logging no listing again), the
// open edit dialog's name box follows the new name the other program gave its
// site, and the settings page shows the switches the other program saved when
// this process did not change them: after Apply at once, after the edit
// dialog's Save when it shows again. No later click can then save the bubble
// on with the bank off.
TEST_F(SavedBankTest, AfterAMergedSaveTheWindowsShowTheSavedBank)
{
    store({site(L"alpha"), site(L"beta")});
    openMainWindow(1);
    otherProgram(L"rename beta beta2 add gamma https://gamma.example gil pg pwdbank 0 bubble 0");
    HWND tabs = GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_TAB), page = AppGlobals.hSettingsPage;
    auto switches = [&] {
        return std::make_tuple(IsDlgButtonChecked(page, IDC_SETTINGS_PWDBANK), IsDlgButtonChecked(page, IDC_SETTINGS_BUBBLE),
                               IsWindowEnabled(GetDlgItem(page, IDC_SETTINGS_BUBBLE)));
    };
    selectRows(siteList(), {0});
    {
        ModalAnswerer answerer;
        // The deletion's question, Apply's failure, then its information.
        answerer.expectBox(IDOK).expectBox(IDOK, text(IDS_CAPTION_ERROR), text(IDS_SAVE_FAILED)).expectBox(IDOK);
        click(AppGlobals.hSiteListPage, IDC_SITE_LIST_DELETE);
        {
            ScopedEnvironment fail(L"QOVI_TEST_FAIL_CALLS", L"write:1");
            click(AppGlobals.hMainDialog, IDC_MAIN_APPLY);
        }
        // Merged into memory although the write failed: the rows show it.
        EXPECT_EQ(Strings({L"beta2", L"gamma"}), siteRows());
        SendMessageW(tabs, TCM_SETCURFOCUS, 0, 0);  // Apply with the settings page shown
        click(AppGlobals.hMainDialog, IDC_MAIN_APPLY);
    }
    EXPECT_EQ(std::make_tuple(0u, 0u, FALSE), switches());
    SendMessageW(tabs, TCM_SETCURFOCUS, 1, 0);
    EXPECT_EQ(Strings({L"beta2", L"gamma"}), siteRows());
    EXPECT_EQ(siteRows(), siteElements());
    EXPECT_EQ(std::vector<int>{0}, selectedRows(siteList()));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_OPEN)));

    openEditorOn(0);
    otherProgram(L"removeinput beta2 pass p1 rename beta2 beta3 pwdbank 1 bubble 1");
    selectRows(inputList(), {0});
    clickAnswering(editor, IDC_SITE_EDIT_REMOVE, {{IDOK}});
    clickAnswering(editor, IDC_SITE_EDIT_SAVE, {{IDOK}});
    pumpMessages();
    EXPECT_EQ(L"beta3", windowText(GetDlgItem(editor, IDC_SITE_EDIT_NAME)));
    EXPECT_EQ(Strings({L"beta3", L"gamma"}), siteRows());
    EXPECT_EQ(1, countInLog("Get Web item information")) << "once a session, not at every listing";
    // The password row is still shown, but the merge took its item out of
    // the bank: a new password for it is refused out loud, nothing is saved.
    selectRows(inputList(), {0});
    {
        ModalAnswerer answerer;
        answerer.expectDialog([](HWND dialog) { takeOver(dialog, L"n3w"); });
        answerer.expectBox(IDOK, text(IDS_CAPTION_ERROR), text(IDS_CHANGE_REFUSED));
        click(editor, IDC_SITE_EDIT_OPEN);
        click(editor, IDC_SITE_EDIT_SAVE);
    }
    closeEditor();
    SendMessageW(tabs, TCM_SETCURFOCUS, 0, 0);
    EXPECT_EQ(std::make_tuple(1u, 1u, TRUE), switches());
    Stored bank = stored();
    EXPECT_EQ(Strings({L"beta3", L"gamma"}), bank.sites);
    EXPECT_EQ(Strings(), bank.inputs[L"beta3"]);
}

// A hundred thousand sites list in store order; all but a thousand
// scattered ones selected (Ctrl+A, then a thousand clicks off), deleted and
// applied leave exactly those thousand in the store, each with its own
// password, so that a mix-up between sites shows.
TEST_F(SavedBankTest, AHundredThousandSitesKeepExactlyTheScatteredOnesNotDeleted)
{
    const int count = 100000;
    std::vector<QOVINewWebItem> sites;
    for (int i = 0; i < count; ++i)
        sites.push_back(site(L"site" + std::to_wstring(i), {{L"p1", L"pass", L"password", L"pw" + std::to_wstring(i)}}));
    store(sites);
    openMainWindow(1);
    ASSERT_EQ(count, rowCount(siteList()));
    Strings kept;
    selectAllRows(siteList());  // what Ctrl+A does
    for (int row = 37; row < count; row += 100) {
        ListView_SetItemState(siteList(), row, 0, LVIS_SELECTED);
        kept.push_back(L"site" + std::to_wstring(row));
    }
    ASSERT_EQ(count - 1000, selectedCount(siteList()));
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK).expectBox(IDOK);  // the deletion's question, Apply's information
        click(AppGlobals.hSiteListPage, IDC_SITE_LIST_DELETE);
        EXPECT_EQ(kept, siteRows());
        EXPECT_EQ(kept, siteElements());
        click(AppGlobals.hMainDialog, IDC_MAIN_APPLY);
    }
    Stored saved = stored();
    EXPECT_EQ(kept, saved.sites);
    for (const std::wstring& name : kept)
        ASSERT_EQ(Strings({L"pass|p1|password|pw" + name.substr(4)}), saved.inputs[name]) << narrow(name);
}

}  // namespace
