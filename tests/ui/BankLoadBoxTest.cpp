// What start-up tells the user about loading the bank, with the real store.
#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include "FPGlobal.h"
#include "UiFixture.h"

using namespace qovitest;

namespace {

class BankLoadBoxTest : public UiFixture {
protected:
    // Two saved generations of one site each: the backup holds "Old".
    void saveTwoGenerations()
    {
        QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
        ASSERT_EQ(0, user->load(1));
        for (const wchar_t* name : {L"Old", L"New"}) {
            std::vector<QOVIWebItem*> sites;
            user->getPWDBankInfo()->getWebItems(sites, L"", L"");
            for (QOVIWebItem* site : sites)
                user->getPWDBankInfo()->removeWebItem(site->getstrWebName(), L"");
            user->getPWDBankInfo()->addWebItem({name, L"https://site.example", L"f", L"login", {}});
            ASSERT_EQ(0, user->save(1));
        }
        QOVIUserInfoManager::releaseUsers();
    }
};

TEST_F(BankLoadBoxTest, EachLoadOutcomeIsToldAndOnlyAnUnusableBankEndsTheTool)
{
    struct Case {
        const char* what;
        int damage;  // 0 none, 1 the bank file, 2 the bank file and its backup, 3 the data folder is a file
        const wchar_t* failCalls;
        UINT text;
        int answer;
        bool opens;
        const wchar_t* firstSite;  // what the list shows, empty for no site
    } cases[] = {
        {"restored", 1, L"", IDS_BANK_RESTORED, IDOK, true, L"Old"},
        {"nothing readable", 2, L"", IDS_BANK_UNREADABLE, IDOK, true, L""},
        {"busy, retried", 0, L"lock:1", IDS_BANK_BUSY, IDRETRY, true, L"New"},
        {"read failed, cancelled", 0, L"read:1", IDS_BANK_READ_FAILED, IDCANCEL, false, L""},
        {"folder unusable", 3, L"", IDS_BANK_FOLDER_UNUSABLE, IDOK, false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder root;
        ScopedEnvironment dir(L"QOVI_DATA_DIR", root.path() + (c.damage == 3 ? L"\\file" : L""));
        if (c.damage == 3)
            ASSERT_TRUE(writeFileBytes(root.file(L"file"), "a file"));
        else
            saveTwoGenerations();
        std::wstring bankFile = QOVIUserInfoManager::getCurrentLogonUser()->getDataFilePath();
        for (int i = 0; i < c.damage && c.damage < 3; ++i)
            ASSERT_TRUE(writeFileBytes(bankFile + (i ? L".bak" : L""), "damaged"));

        ScopedEnvironment fail(L"QOVI_TEST_FAIL_CALLS", c.failCalls);
        std::wstring boxText;
        std::unique_ptr<MainWindowState> start(new MainWindowState(false));
        {
            ModalAnswerer answerer;
            // The main dialog becomes active when its controls take the focus,
            // hidden as it is, before the box comes.
            answerer.expectDialog([](HWND) {}).expectBox(c.answer, L"", L"", [&] {
                boxText = windowText(GetDlgItem(GetActiveWindow(), 0xFFFF));
                SetEnvironmentVariableW(L"QOVI_TEST_FAIL_CALLS", nullptr);  // a retry finds the bank free
            });
            EXPECT_EQ(c.opens, start->createMainWindow(AppGlobals.hInstance));
            pumpMessages();
        }
        EXPECT_EQ(0u, boxText.find(loadResString(c.text))) << narrow(boxText);
        EXPECT_EQ(c.opens, AppGlobals.hMainDialog != nullptr && IsWindow(AppGlobals.hMainDialog));
        if (c.opens) {
            ShowWindow(AppGlobals.hSiteListPage, SW_SHOW);
            Strings names = columnOf(siteList(), 1);
            EXPECT_EQ(c.firstSite, names.empty() ? L"" : names[0]);
            EXPECT_EQ(0, AppGlobals.currentUser->save(1)) << "the bank the tool shows can be saved";
        }
        closeMainWindow();
        start.reset();
        QOVIUserInfoManager::releaseUsers();
    }
}

}  // namespace
