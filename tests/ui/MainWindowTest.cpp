// The main dialog and the shared services: tabs, Apply, closing, resizing,
// F1 and help, and the debug log line. The brushes and fonts the windows make
// are checked with their colours in SkinTest.
#include "UiFixture.h"

using namespace qovitest;

using MainWindowTest = UiFixture;

// The settings page first, then the page of each tab selected; the window
// centred in the work area, movable but never resizable. Each session logs
// the listing of the sites once, whether or not the list page shows.
TEST_F(MainWindowTest, OpensCentredMovesButNeverResizesAndTabsSwitchThePages)
{
    for (int tab : {0, 1, 0}) {
        openMainWindow(tab);
        EXPECT_EQ(tab == 0, IsWindowVisible(AppGlobals.hSettingsPage) != FALSE);
        EXPECT_EQ(tab == 1, IsWindowVisible(AppGlobals.hSiteListPage) != FALSE);
        closeMainWindow();
    }
    EXPECT_EQ(3, countInLog("Get Web item information"));
    openMainWindow();
    RECT window, work = {};
    GetWindowRect(AppGlobals.hMainDialog, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(work.left + work.right, window.left + window.right, 2);
    EXPECT_NEAR(work.top + work.bottom, window.top + window.bottom, 2);
    const RECT wanted = {10, 20, 10 + window.right - window.left, 20 + window.bottom - window.top};
    SetWindowPos(AppGlobals.hMainDialog, nullptr, 10, 20, 100, 80, SWP_NOZORDER);
    GetWindowRect(AppGlobals.hMainDialog, &window);
    EXPECT_TRUE(EqualRect(&wanted, &window));
}

// Apply saves only with a change pending and tells the listener; a failed
// save keeps the change pending for the next Apply. Close asks whether or not
// changes are pending; Cancel keeps everything, OK ends the window (and the
// loop) without saving.
TEST_F(MainWindowTest, ApplySavesPendingChangesOnceAndCloseEndsWithoutSaving)
{
    store({}, 1, 1);
    openMainWindow();
    auto click = [](int id, std::initializer_list<Box> boxes) {
        pumpMessages();
        clickAnswering(AppGlobals.hMainDialog, id, boxes);
    };
    click(IDC_MAIN_APPLY, {});  // nothing pending: no box at all
    AppGlobals.currentUser->setPWDBankEnable(0);
    PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
    HANDLE held = holdFile(AppGlobals.currentUser->getDataFilePath());
    click(IDC_MAIN_APPLY, {{IDOK, IDS_CAPTION_ERROR, IDS_SAVE_FAILED}});
    CloseHandle(held);
    EXPECT_EQ(0, listenerNotices());
    click(IDC_MAIN_APPLY, {{IDOK, IDS_CAPTION_INFO, IDS_SAVED}});
    EXPECT_EQ(1, listenerNotices());
    click(IDC_MAIN_APPLY, {});  // saved: nothing pending again
    AppGlobals.currentUser->setPWDBankEnable(1);
    PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
    for (int answer : {IDCANCEL, IDOK}) {
        click(IDC_MAIN_CLOSE, {{answer, IDS_CAPTION_INFO, IDS_CONFIRM_CLOSE}});
        EXPECT_EQ(answer == IDCANCEL, IsWindow(AppGlobals.hMainDialog) != FALSE);
    }
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_EQ(0, stored().pwdBank);
}

// F1 wherever the focus is in the thread and the Help button both open help.
TEST_F(MainWindowTest, F1AndTheHelpButtonOpenHelpAndTheLoopEndsOnClose)
{
    openMainWindow();
    clickWindow(GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_HELP));
    PostMessageW(AppGlobals.hSettingsPage, WM_KEYDOWN, VK_F1, 0);
    PostMessageW(AppGlobals.hMainDialog, WM_CLOSE, 0, 0);
    ModalAnswerer answerer;
    answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_CONFIRM_CLOSE));
    EXPECT_EQ(0, MainWindowState(false).runMessageLoop());
    EXPECT_EQ(2, countInLog("OnQOVIHelp Start"));
}

// ---------------------------------------------------------------- help --

namespace {

std::vector<std::wstring> helpCalls;

HWND WINAPI recordHelpCall(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data)
{
    EXPECT_TRUE(caller == GetDesktopWindow() && command == 1 && data == 0);
    helpCalls.push_back(file);
    return nullptr;
}

}  // namespace

// The file's language code (the table's exceptions, else the locale's); the
// installation folder from the registry, the user's language first, then
// English, and nothing at all (but the log) without a file or without the
// registry key. The suite runs this again under a German UI language.
TEST_F(MainWindowTest, HelpOpensTheUserLanguageOrEnglishAndLogsEveryPathTried)
{
    const std::pair<LANGID, const wchar_t*> codes[] = {
        {0x0C04, L"CHT"}, {0x1404, L"CHT"}, {0x0403, L"ESP"}, {0x042D, L"ESP"}, {0x0456, L"ESP"},
        {0x1004, L"CHS"}, {0x0416, L"PTG"}, {0x0409, L"ENU"}, {0x0407, L"DEU"},
    };
    for (const auto& c : codes)
        EXPECT_EQ(L"Ostrelin_" + std::wstring(c.second) + L".CHM", helpFileName(c.first)) << std::hex << c.first;
    TempFolder install;
    CreateDirectoryW(install.file(L"HelpFiles").c_str(), nullptr);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MERIDOX\\QOVI", L"InstallPath", REG_SZ, install.path().c_str(),
                    static_cast<DWORD>((install.path().size() + 1) * sizeof(wchar_t)));
    helpCalls.clear();
    HtmlHelpEntry platform = setHtmlHelpEntry(recordHelpCall);
    const std::wstring own = helpFileName(GetUserDefaultUILanguage()), english = L"Ostrelin_ENU.CHM";
    OnQOVIHelp();
    EXPECT_EQ(1, countInLog("File not exist!"));
    writeFileBytes(install.file(L"HelpFiles\\" + english), "chm");
    OnQOVIHelp();
    writeFileBytes(install.file(L"HelpFiles\\" + own), "chm");
    OnQOVIHelp();
    EXPECT_EQ(Strings({install.file(L"HelpFiles\\" + english), install.file(L"HelpFiles\\" + own)}), helpCalls);
    EXPECT_EQ(own == english ? 4 : 5, countInLog("FilePath:["));
    EXPECT_EQ(own == english ? 4 : 3, countInLog("FilePath:[" + narrow(install.file(L"HelpFiles\\" + own)) + "]"));
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MERIDOX\\QOVI", KEY_WOW64_64KEY, 0);
    OnQOVIHelp();
    EXPECT_EQ(2u, helpCalls.size());
    EXPECT_EQ(4, countInLog("OnQOVIHelp Start"));
    setHtmlHelpEntry(platform);
    // The debug log's formatted lines: long texts cut, at the fixed line.
    debugPrint(L"long:[%ls]", std::wstring(5000, L'x').c_str());
    debugPrint(L"short %d", 42);
    EXPECT_EQ(1, countInLog("long:[" + std::string(2047 - 6, 'x') + "\r\n"));
    EXPECT_EQ(1, countInLog("FPGlobal(474): short 42"));
}
