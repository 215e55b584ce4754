// What start-up tells the user about loading the bank, with the real store.
#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include "FPGlobal.h"
#include "UiFixture.h"

using namespace qovitest;

namespace {

class BankLoadBoxTest : public UiFixture {};

TEST_F(BankLoadBoxTest, EachLoadOutcomeIsToldAndOnlyAnUnusableBankEndsTheTool)
{
    // damage: 0 none, 1 the bank file, 2 the bank file and its backup, 3 the data folder is a file, 4 the bank
    // file is missing, 5 the bank file is of a newer version; sites: what the list shows.
    struct Case { const char* what; int damage; const wchar_t* failCalls; UINT text; int answer; bool opens;
                  const wchar_t* sites; } cases[] = {
        {"restored", 1, L"", IDS_BANK_RESTORED, IDOK, true, L"Old "},
        {"nothing readable", 2, L"", IDS_BANK_UNREADABLE, IDOK, true, L""},
        {"busy, retried", 0, L"lock:1", IDS_BANK_BUSY, IDRETRY, true, L"Old New "},
        {"read failed, cancelled", 0, L"read:1", IDS_BANK_READ_FAILED, IDCANCEL, false, L""},
        {"folder unusable", 3, L"", IDS_BANK_FOLDER_UNUSABLE, IDOK, false, L""},
        {"missing file restored", 4, L"", IDS_BANK_RESTORED_MISSING, IDOK, true, L"Old "},
        {"newer version", 5, L"", IDS_BANK_NEWER, IDOK, false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder root;
        ScopedEnvironment dir(L"QOVI_DATA_DIR", root.path() + (c.damage == 3 ? L"\\file" : L""));
        if (c.damage == 3)
            ASSERT_TRUE(writeFileBytes(root.file(L"file"), "a file"));
        else
            store({site(L"Old")}), store({site(L"New")});  // two generations: the backup holds "Old"
        std::wstring bankFile = QOVIUserInfoManager::getCurrentLogonUser()->getDataFilePath();
        for (int i = 0; i < c.damage && c.damage < 3; ++i)
            ASSERT_TRUE(writeFileBytes(bankFile + (i ? L".bak" : L""), "damaged"));
        if (c.damage >= 4)
            c.damage == 4 ? DeleteFileW(bankFile.c_str()) : writeFileBytes(bankFile, sealedBankFile(4, "v4 content"));

        ScopedEnvironment fail(L"QOVI_TEST_FAIL_CALLS", c.failCalls);
        std::wstring boxText;
        std::unique_ptr<MainWindowState> start(new MainWindowState(false));
        {
            ModalAnswerer answerer;
            answerer.expectBox(c.answer, L"", L"", [&] {
                boxText = windowText(GetDlgItem(GetActiveWindow(), 0xFFFF));
                // What a second start looks for: no main dialog, half built, to bring up or close.
                EXPECT_EQ(nullptr, FindWindowW(L"#32770", loadResString(IDS_MAIN_CAPTION).c_str()));
                SetEnvironmentVariableW(L"QOVI_TEST_FAIL_CALLS", nullptr);  // a retry finds the bank free
            });
            if (c.opens)  // it becomes active when its controls take the focus, hidden as it is
                answerer.expectDialog([](HWND) {});
            EXPECT_EQ(c.opens, start->createMainWindow(AppGlobals.hInstance));
            pumpMessages();
        }
        EXPECT_EQ(0u, boxText.find(loadResString(c.text))) << narrow(boxText);
        EXPECT_EQ(c.opens, AppGlobals.hMainDialog != nullptr && IsWindow(AppGlobals.hMainDialog));
        if (c.opens) {
            ShowWindow(AppGlobals.hSiteListPage, SW_SHOW);
            std::wstring shown;
            for (const std::wstring& name : columnOf(siteList(), 1))
                shown += name + L" ";
            EXPECT_EQ(c.sites, shown);
            EXPECT_EQ(0, AppGlobals.currentUser->save(1)) << "the bank the tool shows can be saved";
        }
        closeMainWindow();
        start.reset();
        QOVIUserInfoManager::releaseUsers();
    }
}

}  // namespace
