// What the windows show after saves: the bank as saved when another program
// saved meanwhile, and a bank of ten thousand sites kept whole through a
// deletion of scattered sites.
#include <windows.h>
#include <gtest/gtest.h>
#include "SiteFixture.h"

using namespace qovitest;

namespace {

class SavedBankTest : public SiteFixture {
protected:
    // Another program saves these changes (StoreTestHelper's operations).
    void otherProgram(const std::wstring& operations)
    {
        std::string output;
        ASSERT_EQ(0, runProcess(exeFolder() + L"\\StoreTestHelper.exe", L"edit " + operations, &output)) << output;
    }
};

// After a save that merged another program's changes, the list page shows the
// bank in store order as a fresh fill does, and the open edit dialog's name
// box follows the new name the other program gave its site.
TEST_F(SavedBankTest, AfterAMergedSaveTheListAndTheEditorShowTheSavedBank)
{
    storeSites({site(L"alpha", userAndPassword()), site(L"beta", userAndPassword())});
    openSitesPage();
    otherProgram(L"rename beta beta2 add gamma https://gamma.example gil pg");

    selectListViewRows(siteList(), {0});
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK).expectBox(IDOK);  // the deletion's question, Apply's information
        clickWindow(listButton(IDC_SITE_LIST_DELETE));
        pumpMessages();
        clickWindow(GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_APPLY));
        pumpMessages();
        answerer.verifyAllAnswered();
    }
    EXPECT_EQ((std::vector<std::wstring>{L"beta2", L"gamma"}), siteRows());
    EXPECT_EQ(siteRows(), siteElements());
    EXPECT_EQ(std::vector<int>{0}, listViewSelectedRows(siteList()));
    EXPECT_TRUE(IsWindowEnabled(listButton(IDC_SITE_LIST_OPEN)));

    openEditorOn(0);
    otherProgram(L"rename beta2 beta3");
    selectInput(0);
    ModalAnswerer editAnswerer;
    editAnswerer.expectBox(IDOK).expectBox(IDOK);  // the removal's question, Save's information
    clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_REMOVE));
    pumpMessages();
    clickSave();
    pumpMessages();
    editAnswerer.verifyAllAnswered();
    EXPECT_EQ(L"beta3", windowText(GetDlgItem(editor, IDC_SITE_EDIT_NAME)));
    EXPECT_EQ((std::vector<std::wstring>{L"beta3", L"gamma"}), siteRows());
    closeEditor();
    EXPECT_EQ((std::vector<std::wstring>{L"beta3", L"gamma"}), storedSitesAfterClosing());
}

// Ten thousand sites list in store order; 500 scattered ones deleted and
// applied leave exactly the others in the store, each with its password.
TEST_F(SavedBankTest, TenThousandSitesLoseExactlyTheScatteredOnesDeleted)
{
    const int count = 10000;
    storeNumberedSites(count);
    openSitesPage();
    std::vector<std::wstring> rows = siteRows();
    ASSERT_EQ(static_cast<size_t>(count), rows.size());
    for (int i = 0; i < count; i += 997)
        EXPECT_EQ(L"site" + std::to_wstring(i), rows[i]);

    std::vector<std::wstring> kept;
    LVITEMW selected = {};
    selected.stateMask = LVIS_SELECTED;
    for (int row = 0; row < count; ++row) {
        selected.state = row % 20 == 7 ? LVIS_SELECTED : 0;
        SendMessageW(siteList(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
        if (row % 20 != 7)
            kept.push_back(rows[row]);
    }
    ModalAnswerer answerer;
    answerer.expectBox(IDOK).expectBox(IDOK);
    clickWindow(listButton(IDC_SITE_LIST_DELETE));
    pumpMessages();
    EXPECT_EQ(kept, siteRows());
    EXPECT_EQ(kept, siteElements());
    clickWindow(GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_APPLY));
    pumpMessages();
    answerer.verifyAllAnswered();

    destroyMainWindow();
    QOVIUserInfoManager::releaseUsers();
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    ASSERT_EQ(0, user->load(1));
    std::vector<QOVIWebItem*> sites;
    user->getPWDBankInfo()->getWebItems(sites, L"", L"");
    ASSERT_EQ(kept.size(), sites.size());
    for (size_t i = 0; i < sites.size(); ++i) {
        ASSERT_EQ(kept[i], sites[i]->getstrWebName());
        std::vector<QOVIInputItem*> inputs;
        user->getPWDBankInfo()->getInputItems(inputs, kept[i]);
        ASSERT_EQ(2u, inputs.size());
        EXPECT_EQ(L"secret12", inputs[1]->getstrValue());
    }
}

}  // namespace
