// The main dialog and the shared services: Apply, closing, resizing, tabs,
// help and the small computations start-up relies on.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "FPGlobal.h"
#include "StartUp.h"
#include "UiFixture.h"
#include "resource.h"

using namespace qovitest;

// ------------------------------------------------------ computations --

TEST(StartUpComputations, TitleFontHeightTakesTheSmallerDpi)
{
    const struct { int dpiX, dpiY, height; } cases[] = {
        {96, 96, 24}, {120, 120, 30}, {144, 144, 36}, {120, 96, 24}, {96, 144, 24}, {110, 110, 27},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.height, titleFontHeightFor(c.dpiX, c.dpiY)) << c.dpiX << "x" << c.dpiY;
}

TEST(StartUpComputations, CentringTruncatesTowardZero)
{
    const struct { RECT reference; int width, height; LONG x, y; } cases[] = {
        {{0, 0, 1280, 1024}, 515, 419, 383, 303},
        {{0, 0, 1281, 1025}, 515, 419, 383, 303},
        {{-101, -51, 0, 0}, 51, 21, -75, -35},  // -50 - 25, -25 - 10: toward zero, not down
        {{100, 100, 300, 200}, 400, 300, 0, 0},
    };
    for (const auto& c : cases) {
        POINT position = centeredPosition(c.reference, c.width, c.height);
        EXPECT_EQ(c.x, position.x);
        EXPECT_EQ(c.y, position.y);
    }
}

TEST(StartUpComputations, InvalidPointersAreNullAndTheDebugFillPatterns)
{
    const uintptr_t invalid[] = {0, 0xCDCDCDCD, 0xCCCCCCCC, 0xFDFDFDFD, 0xFEEEFEEE, 0xDDDDDDDD, 0xABABABAB, 0xFEFEFEFE};
    for (uintptr_t value : invalid) {
        EXPECT_TRUE(isInvalidPointer(reinterpret_cast<void*>(value))) << std::hex << value;
        EXPECT_FALSE(isValidPointer(reinterpret_cast<void*>(value)));
    }
    int local = 0;
    EXPECT_TRUE(isValidPointer(&local));
    EXPECT_TRUE(isValidPointer(reinterpret_cast<void*>(uintptr_t(0xCDCDCDCE))));
}

TEST(Help, FileCodesFollowTheLanguageTable)
{
    const struct { LANGID language; const wchar_t* code; } cases[] = {
        {0x0C04, L"CHT"}, {0x1404, L"CHT"}, {0x0403, L"ESP"}, {0x042D, L"ESP"}, {0x0456, L"ESP"},
        {0x1004, L"CHS"}, {0x0416, L"PTG"}, {0x0409, L"ENU"}, {0x0407, L"DEU"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.code), helpLanguageCode(c.language)) << std::hex << c.language;
    EXPECT_EQ(L"Ostrelin_PTG.CHM", helpFileName(0x0416));
}

// ------------------------------------------------------------ help --

namespace {

std::vector<std::wstring> helpCalls;

HWND WINAPI recordHelpCall(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data)
{
    EXPECT_EQ(GetDesktopWindow(), caller);
    EXPECT_EQ(1u, command);
    EXPECT_EQ(0u, data);
    helpCalls.push_back(file);
    return nullptr;
}

// An installation folder in the registry, with the help files given.
class HelpTest : public StoreFixture {
protected:
    HelpTest()
    {
        helpCalls.clear();
        previousEntry = setHtmlHelpEntry(recordHelpCall);
        CreateDirectoryW(install.file(L"HelpFiles").c_str(), nullptr);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MERIDOX\\QOVI", 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                        nullptr, &key, nullptr);
        RegSetValueExW(key, L"InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(install.path().c_str()),
                       static_cast<DWORD>((install.path().size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~HelpTest() override
    {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MERIDOX\\QOVI", KEY_WOW64_64KEY, 0);
        setHtmlHelpEntry(previousEntry);
    }
    std::wstring helpFile(const std::wstring& name) { return install.file(L"HelpFiles\\" + name); }
    void addHelpFile(const std::wstring& name) { writeFileBytes(helpFile(name), "chm"); }

    TempFolder install;
    HtmlHelpEntry previousEntry = nullptr;
};

}  // namespace

TEST_F(HelpTest, OpensTheFileOfTheUserLanguage)
{
    std::wstring own = helpFileName(GetUserDefaultUILanguage());
    addHelpFile(own);
    addHelpFile(L"Ostrelin_ENU.CHM");
    OnQOVIHelp();
    ASSERT_EQ(1u, helpCalls.size());
    EXPECT_EQ(helpFile(own), helpCalls[0]);
    EXPECT_EQ(1, countInLog("OnQOVIHelp Start"));
    EXPECT_EQ(1, countInLog("FilePath:[" + narrow(helpFile(own)) + "]"));
}

TEST_F(HelpTest, FallsBackToEnglishAndLogsBothPaths)
{
    // The suite runs once more under a German UI language for this case.
    if (helpFileName(GetUserDefaultUILanguage()) == L"Ostrelin_ENU.CHM")
        GTEST_SKIP() << "needs a UI language other than English";
    addHelpFile(L"Ostrelin_ENU.CHM");
    OnQOVIHelp();
    ASSERT_EQ(1u, helpCalls.size());
    EXPECT_EQ(helpFile(L"Ostrelin_ENU.CHM"), helpCalls[0]);
    EXPECT_EQ(2, countInLog("FilePath:["));
}

TEST_F(HelpTest, MissingFilesAndMissingFolderShowNothing)
{
    OnQOVIHelp();
    EXPECT_TRUE(helpCalls.empty());
    EXPECT_EQ(1, countInLog("File not exist!"));

    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MERIDOX\\QOVI", KEY_WOW64_64KEY, 0);
    OnQOVIHelp();
    EXPECT_TRUE(helpCalls.empty());
    EXPECT_EQ(1, countInLog("File not exist!"));
    EXPECT_EQ(2, countInLog("OnQOVIHelp Start"));
}


// ------------------------------------------------------- main window --

namespace {

class MainWindowTest : public MainWindowFixture {
protected:
    HWND control(int id) { return GetDlgItem(AppGlobals.hMainDialog, id); }
    void clickApply()
    {
        clickWindow(control(IDC_MAIN_APPLY));
        pumpMessages();
    }
    // Marks a change as a page does.
    void postModified()
    {
        PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
        pumpMessages();
    }
    std::wstring text(UINT id) { return loadResString(id); }
};

}  // namespace

TEST_F(MainWindowTest, OpensOnTheSettingsPageAndTabsSwitchThePages)
{
    openMainWindow();
    HWND tab = control(IDC_MAIN_TAB);
    EXPECT_EQ(2, TabCtrl_GetItemCount(tab));
    EXPECT_EQ(AppGlobals.mainState->titleFont,
              reinterpret_cast<HFONT>(SendMessageW(control(IDC_MAIN_TITLE), WM_GETFONT, 0, 0)));
    EXPECT_NE(nullptr, AppGlobals.mainState->buttons.helpIcon.image());
    EXPECT_EQ(0, AppGlobals.mainState->dirty);
    EXPECT_EQ(0, TabCtrl_GetCurSel(tab));
    EXPECT_TRUE(IsWindowVisible(AppGlobals.hSettingsPage));
    EXPECT_FALSE(IsWindowVisible(AppGlobals.hSiteListPage));
    for (int page : {1, 0, 1}) {
        TabCtrl_SetCurSel(tab, page);
        NMHDR notify = {tab, IDC_MAIN_TAB, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(AppGlobals.hMainDialog, WM_NOTIFY, IDC_MAIN_TAB, reinterpret_cast<LPARAM>(&notify));
        EXPECT_EQ(page, AppGlobals.mainState->currentTab);
        EXPECT_EQ(page == 0, IsWindowVisible(AppGlobals.hSettingsPage) != FALSE);
        EXPECT_EQ(page == 1, IsWindowVisible(AppGlobals.hSiteListPage) != FALSE);
    }
}

TEST_F(MainWindowTest, ApplySavesOnlyPendingChangesAndTellsTheListener)
{
    storeSettings(1, 1);
    ChildProcess listener;
    TempFolder records;
    ASSERT_TRUE(listener.start(exeFolder() + L"\\QOVIPwdListenerStub.exe",
                               L"--record \"" + records.file(L"listener.txt") + L"\""));
    HWND listenerWindow = waitForWindow(L"QOVI_PWD_LISTEN");
    ASSERT_NE(nullptr, listenerWindow);
    openMainWindow();
    {
        ModalAnswerer answerer;  // nothing pending: no box at all
        clickApply();
    }
    AppGlobals.currentUser->setPWDBankEnable(0);
    postModified();
    EXPECT_EQ(1, AppGlobals.mainState->dirty);
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_SAVED));
        clickApply();
        answerer.verifyAllAnswered();
    }
    EXPECT_EQ(0, AppGlobals.mainState->dirty);
    EXPECT_TRUE(waitUntil([&] { return readFileBytes(records.file(L"listener.txt")) == "WM_CLOSE\n"; }, 5000));
    {
        ModalAnswerer answerer;  // saved: the second Apply does nothing
        clickApply();
    }
    destroyMainWindow();
    EXPECT_EQ(0, reload().pwdBank);
    PostMessageW(listenerWindow, WM_APP, 0, 0);
    EXPECT_EQ(0, listener.wait(5000));
}

TEST_F(MainWindowTest, FailedSaveKeepsTheChangesPendingAndApplyRetries)
{
    storeSettings(1, 1);
    openMainWindow();
    FileBlocker blocker(AppGlobals.currentUser->getDataFilePath());
    ASSERT_TRUE(blocker.held());
    AppGlobals.currentUser->setBubbleEnable(0);
    postModified();
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK, text(IDS_CAPTION_ERROR), text(IDS_SAVE_FAILED));
        clickApply();
        answerer.verifyAllAnswered();
    }
    EXPECT_EQ(1, AppGlobals.mainState->dirty);
    blocker.release();
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_SAVED));
        clickApply();
        answerer.verifyAllAnswered();
    }
    EXPECT_EQ(0, AppGlobals.mainState->dirty);
    destroyMainWindow();
    EXPECT_EQ(0, reload().bubble);
}

TEST_F(MainWindowTest, CloseAsksAndOnlyOkDestroysWithoutSaving)
{
    storeSettings(1, 1);
    openMainWindow();
    AppGlobals.currentUser->setPWDBankEnable(0);
    postModified();
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDCANCEL, text(IDS_CAPTION_INFO), text(IDS_CONFIRM_CLOSE));
        clickWindow(control(IDC_MAIN_CLOSE));
        pumpMessages();
        answerer.verifyAllAnswered();
    }
    ASSERT_TRUE(IsWindow(AppGlobals.hMainDialog));
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_CONFIRM_CLOSE));
        SendMessageW(AppGlobals.hMainDialog, WM_CLOSE, 0, 0);
        answerer.verifyAllAnswered();
    }
    EXPECT_FALSE(IsWindow(AppGlobals.hMainDialog));
    EXPECT_EQ(nullptr, AppGlobals.mainState);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    destroyMainWindow();
    EXPECT_EQ(1, reload().pwdBank);  // unsaved changes are dropped
}

TEST_F(MainWindowTest, MovesButNeverResizes)
{
    openMainWindow();
    HWND dialog = AppGlobals.hMainDialog;
    RECT before;
    GetWindowRect(dialog, &before);
    SetWindowPos(dialog, nullptr, 10, 20, 100, 80, SWP_NOZORDER);
    RECT after;
    GetWindowRect(dialog, &after);
    EXPECT_EQ(10, after.left);
    EXPECT_EQ(20, after.top);
    EXPECT_EQ(before.right - before.left, after.right - after.left);
    EXPECT_EQ(before.bottom - before.top, after.bottom - after.top);
}

TEST_F(MainWindowTest, TitleBrushIsReplacedNotLeaked)
{
    openMainWindow();
    HWND title = control(IDC_MAIN_TITLE);
    HDC dc = GetDC(title);
    HBRUSH first = reinterpret_cast<HBRUSH>(
        SendMessageW(AppGlobals.hMainDialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(title)));
    HBRUSH second = reinterpret_cast<HBRUSH>(
        SendMessageW(AppGlobals.hMainDialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(title)));
    ReleaseDC(title, dc);
    EXPECT_EQ(0u, GetObjectType(first));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(second));
    LOGBRUSH colour = {};
    GetObject(second, sizeof colour, &colour);
    EXPECT_EQ(RGB(233, 234, 227), colour.lbColor);
}

TEST_F(MainWindowTest, F1InTheLoopOpensHelpAndTheLoopEndsOnClose)
{
    openMainWindow();
    PostMessageW(AppGlobals.hSettingsPage, WM_KEYDOWN, VK_F1, 0);
    PostMessageW(AppGlobals.hMainDialog, WM_CLOSE, 0, 0);
    ModalAnswerer answerer;
    answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_CONFIRM_CLOSE));
    EXPECT_EQ(0, startState->runMessageLoop());
    answerer.verifyAllAnswered();
    EXPECT_EQ(1, countInLog("OnQOVIHelp Start"));
}

TEST_F(StoreFixture, DebugPrintCutsLongTextsSafely)
{
    std::wstring longText(5000, L'x');
    debugPrint(L"long:[%ls]", longText.c_str());
    debugPrint(L"short %d", 42);
    std::string log = logText();
    size_t start = log.find("long:[");
    ASSERT_NE(std::string::npos, start);
    size_t end = log.find_first_not_of('x', start + 6);
    EXPECT_EQ(2047u - 6u, end - (start + 6)) << "the text is cut to 2047 characters";
    EXPECT_EQ(1, countInLog("short 42"));
    EXPECT_EQ(2, countInLog("FPGlobal(474)"));
}
