#include "MainWindow.h"

#include <commctrl.h>
#include <new>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "QOVICommon.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "SettingsPage.h"
#include "resource.h"

static const wchar_t LOG_PATH[] = L".\\Src\\Src\\MainWindow.cpp";

// The footer buttons; the main dialog runs their clicks (WM_COMMAND).
const int FOOTER_BUTTON_COUNT = 3;  // Apply, Close, Help
static const SkinButtonSlot footerSlots[FOOTER_BUTTON_COUNT] = {
    {IDC_MAIN_APPLY, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED, IDS_BUTTON_APPLY, 1, true, 0.0f, false},
    {IDC_MAIN_CLOSE, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED, IDS_BUTTON_CLOSE, 1, true, 0.0f, false},
    {IDC_MAIN_HELP, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED, 0, 1, false, -0.5f, false},
};

static SkinButtonGroup* footerButtonGroup()
{
    return AppGlobals.mainState ? &AppGlobals.mainState->buttons : nullptr;
}

static const SkinButtonSet footerButtons = {footerSlots, FOOTER_BUTTON_COUNT, footerButtonGroup, false, false};

// ------------------------------------------------------------ the state --

MainWindowState::MainWindowState(bool loadUser)
{
    AppGlobals.currentUser = QOVIUserInfoManager::getCurrentLogonUser();
    if (loadUser && AppGlobals.currentUser)
        loadResult = AppGlobals.currentUser->load(1);
}

MainWindowState::~MainWindowState()
{
    if (titleFont) {
        DeleteObject(titleFont);
        titleFont = nullptr;
    }
    if (titleBrush) {
        DeleteObject(titleBrush);
        titleBrush = nullptr;
    }
    // The pages are modeless: EndDialog only marks them ended, and they go
    // with the main dialog. Start-up's own state releases the users again.
    EndDialog(AppGlobals.hSiteListPage, 0);
    EndDialog(AppGlobals.hSettingsPage, 0);
    QOVIUserInfoManager::releaseUsers();
    AppGlobals.currentUser = nullptr;
}

int MainWindowState::runMainWindow(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    if (!createMainWindow(instance))
        return -1;
    return runMessageLoop();
}

// The tab order is the order of the dialog's children. The pages go first, so
// they lie above the tab control, which clips its siblings and never paints
// over them; the tab control goes last, so Tab runs from the tab strip
// through the page shown to the footer buttons and round again.
static void arrangeTabOrder(HWND dialog)
{
    const UINT keepPlace = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    for (HWND page : {AppGlobals.hSiteListPage, AppGlobals.hSettingsPage}) {
        if (page)
            SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, keepPlace);
    }
    SetWindowPos(GetDlgItem(dialog, IDC_MAIN_TAB), HWND_BOTTOM, 0, 0, 0, 0, keepPlace);
}

bool MainWindowState::createMainWindow(HINSTANCE instance)
{
    AppGlobals.hInstance = instance;
    AppGlobals.dpiScale = displayDpiScale();
    // The main dialog's state loads the user's bank, and what the load found
    // is told, before any window of the tool exists: a second start finds no
    // half-built window to bring up, and nothing can be closed (the state
    // freed, the users released) while a box waits for the user.
    AppGlobals.mainState = new (std::nothrow) MainWindowState(true);
    if (!AppGlobals.mainState || !confirmBankLoad(AppGlobals.currentUser, AppGlobals.mainState->loadResult)) {
        delete AppGlobals.mainState;
        AppGlobals.mainState = nullptr;
        return false;
    }
    AppGlobals.hMainDialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
    if (!AppGlobals.hMainDialog) {
        QOVILog::debugLog(LOG_PATH, __LINE__, L"The main dialog could not be created.");
        delete AppGlobals.mainState;  // unless the dialog's WM_DESTROY took it already
        AppGlobals.mainState = nullptr;
        return false;
    }
    HWND dialog = AppGlobals.hMainDialog;
    AppGlobals.hSiteListPage =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SITE_LIST_PAGE), dialog, SiteListPageProc, 0);
    AppGlobals.hSettingsPage =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS_PAGE), dialog, SettingsPageProc, 0);
    attachSkinButtons(dialog, footerButtons, AppGlobals.mainState->buttons);
    arrangeTabOrder(dialog);
    if (AppGlobals.hSiteListPage)
        ShowWindow(AppGlobals.hSiteListPage, SW_HIDE);
    if (AppGlobals.hSettingsPage)
        ShowWindow(AppGlobals.hSettingsPage, SW_HIDE);
    centerWindow(dialog);
    ShowWindow(dialog, SW_SHOW);
    ShowWindow(AppGlobals.hSettingsPage, SW_SHOW);
    return true;
}

// Tells the user what loading the bank found, before the pages show it.
// A busy bank or a read that may pass is offered again; false when the tool
// must end without a bank to work on (nothing is saved then).
bool confirmBankLoad(QOVIUserInfo* user, COMMON_RESULT loaded)
{
    for (;;) {
        const QOVILoadReport& report = user->getLastLoadReport();
        std::wstring file = L"\n\n" + report.keptAside;
        // A bank that loaded says so in its result too: a report of a load
        // whose result is a failure (one the report cannot name) is a failure.
        const bool claimsLoaded = report.outcome == QOVI_LOAD_OK || report.outcome == QOVI_LOAD_RESTORED;
        switch (claimsLoaded && loaded != COMMON_OK ? QOVI_LOAD_FAILED : report.outcome) {
        case QOVI_LOAD_OK:
            return true;
        case QOVI_LOAD_RESTORED:
            if (report.keptAside.empty())
                showInfoMessage(IDS_CAPTION_INFO, IDS_BANK_RESTORED_MISSING, 0, nullptr, nullptr);
            else
                showInfoMessage(IDS_CAPTION_INFO, IDS_BANK_RESTORED, 0, nullptr, file.c_str());
            return true;
        case QOVI_LOAD_NOTHING_READABLE:
            showErrorMessage(IDS_CAPTION_ERROR, IDS_BANK_UNREADABLE, 0, nullptr, file.c_str());
            return true;
        case QOVI_LOAD_FOLDER_UNUSABLE:
            file = L"\n\n" + report.folder;
            showErrorMessage(IDS_CAPTION_ERROR, IDS_BANK_FOLDER_UNUSABLE, 0, nullptr, file.c_str());
            return false;
        case QOVI_LOAD_NEWER_VERSION:
            showErrorMessage(IDS_CAPTION_ERROR, IDS_BANK_NEWER, 0, nullptr, nullptr);
            return false;
        case QOVI_LOAD_BUSY:
        case QOVI_LOAD_FAILED:
            if (showMessageBox(IDS_CAPTION_ERROR, report.outcome == QOVI_LOAD_BUSY ? IDS_BANK_BUSY : IDS_BANK_READ_FAILED,
                               MB_RETRYCANCEL | MB_ICONWARNING, nullptr, nullptr) != IDRETRY)
                return false;
            loaded = user->load(1);
            break;
        }
    }
}

int MainWindowState::runMessageLoop()
{
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (preprocessMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EndDialog(AppGlobals.hMainDialog, 0);
    return static_cast<int>(msg.wParam);
}

static bool isKeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// The page Ctrl+Tab and its kin ask for: 1 the next, -1 the previous, 0 none.
static int pageStepOf(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || !isKeyDown(VK_CONTROL) || isKeyDown(VK_MENU))
        return 0;
    switch (msg.wParam) {
    case VK_TAB:
        return isKeyDown(VK_SHIFT) ? -1 : 1;
    case VK_NEXT:
        return 1;
    case VK_PRIOR:
        return -1;
    default:
        return 0;
    }
}

// Chooses the next or previous tab as a click on it would: the tab control's
// TCN_SELCHANGE switches the page. A focus in the page that goes moves to the
// first control of the page that comes; elsewhere it stays.
static void switchPageByKeyboard(int step)
{
    HWND tabs = GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_TAB);
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    if (count < 2)
        return;
    const int next = (static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)) + step + count) % count;
    HWND focus = GetFocus();
    const bool focusInPage = IsChild(AppGlobals.hSettingsPage, focus) || IsChild(AppGlobals.hSiteListPage, focus);
    SendMessageW(tabs, TCM_SETCURFOCUS, next, 0);
    if (!focusInPage)
        return;
    HWND page = IsWindowVisible(AppGlobals.hSettingsPage) ? AppGlobals.hSettingsPage : AppGlobals.hSiteListPage;
    if (HWND first = GetNextDlgTabItem(page, nullptr, FALSE))
        SendMessageW(AppGlobals.hMainDialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
}

// Ctrl+F, from anywhere in the main window: the web site list page comes up,
// with the keyboard in its search box.
static bool isFindKey(const MSG& msg)
{
    return msg.message == WM_KEYDOWN && msg.wParam == 'F' && isKeyDown(VK_CONTROL) && !isKeyDown(VK_MENU);
}

static void findSite()
{
    HWND tabs = GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_TAB);
    if (SendMessageW(tabs, TCM_GETCURSEL, 0, 0) != 1)
        SendMessageW(tabs, TCM_SETCURFOCUS, 1, 0);
    if (AppGlobals.siteListState)
        AppGlobals.siteListState->focusSearch();
}

bool preprocessMessage(MSG& msg)
{
    // F1 is help everywhere, and nothing else acts on it.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1) {
        OnQOVIHelp();
        return true;
    }
    HWND dialog = AppGlobals.hMainDialog;
    if (!dialog || (msg.hwnd != dialog && !IsChild(dialog, msg.hwnd)))
        return false;
    if (isFindKey(msg)) {
        findSite();
        return true;
    }
    if (int step = pageStepOf(msg)) {
        switchPageByKeyboard(step);
        return true;
    }
    return IsDialogMessageW(dialog, &msg) != FALSE;
}

void MainWindowState::switchPage()
{
    if (currentTab == 0) {
        ShowWindow(AppGlobals.hSettingsPage, SW_SHOW);
        ShowWindow(AppGlobals.hSiteListPage, SW_HIDE);
    } else if (currentTab == 1) {
        ShowWindow(AppGlobals.hSiteListPage, SW_SHOW);
        ShowWindow(AppGlobals.hSettingsPage, SW_HIDE);
    }
}

// ------------------------------------------------------------- drawing --

void paintMainBackground(HWND dialog, HDC dc)
{
    if (AppGlobals.mainState)
        drawSkinBackground(dialog, dc, AppGlobals.mainState->background);
}

POINT centeredPosition(const RECT& reference, int width, int height)
{
    POINT position;
    position.x = (reference.left + reference.right) / 2 - width / 2;
    position.y = (reference.top + reference.bottom) / 2 - height / 2;
    return position;
}

void centerWindow(HWND window)
{
    if (!IsWindow(window))
        return;
    RECT rect;
    GetWindowRect(window, &rect);
    RECT reference;
    HWND parent = GetParent(window);
    if (parent && IsWindow(parent) && IsWindowVisible(parent)) {
        GetWindowRect(parent, &reference);
    } else {
        MONITORINFO monitor = {sizeof monitor};
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        reference = monitor.rcWork;
    }
    POINT position = centeredPosition(reference, rect.right - rect.left, rect.bottom - rect.top);
    SetWindowPos(window, nullptr, position.x, position.y, -1, -1, SWP_NOSIZE | SWP_NOZORDER);
}

// ------------------------------------------------------ footer buttons --

static void onApplyClick()
{
    MainWindowState* state = AppGlobals.mainState;
    if (!state || state->dirty != 1)
        return;
    const bool saved = AppGlobals.currentUser->save(1) == COMMON_OK;
    // Another program's changes came in with the save, into memory even when
    // writing then failed: both pages show the bank and the switches as they
    // are now.
    if (AppGlobals.currentUser->getLastSaveMerged()) {
        if (AppGlobals.siteListState)
            AppGlobals.siteListState->refill();
        if (AppGlobals.settingsPageState)
            AppGlobals.settingsPageState->showUserSwitches(AppGlobals.hSettingsPage);
    }
    if (saved) {
        notifyPasswordListener();
        // Cleared before the box: the box has no owner, so the main window may
        // be closed (and its state freed) while it is open.
        state->dirty = 0;
        showInfoMessage(IDS_CAPTION_INFO, IDS_SAVED, 0, nullptr, nullptr);
    } else {
        showErrorMessage(IDS_CAPTION_ERROR, IDS_SAVE_FAILED, 0, nullptr, nullptr);
    }
}

static void onMainCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_MAIN_APPLY:
        onApplyClick();
        break;
    case IDC_MAIN_CLOSE:
    case IDCANCEL:  // Esc, from the dialog manager: the same question as the close box
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        break;
    case IDC_MAIN_HELP:
        OnQOVIHelp();
        break;
    }
}

// ---------------------------------------------------------- the dialog --

static void onMainInitDialog(HWND dialog)
{
    SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDI_APP_SMALL))));

    HWND tab = GetDlgItem(dialog, IDC_MAIN_TAB);
    const UINT tabLabels[] = {IDS_TAB_SETTINGS, IDS_TAB_SITES};
    for (int i = 0; i < 2; ++i) {
        std::wstring label = loadResString(tabLabels[i]);
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.iImage = -1;
        item.pszText = &label[0];
        SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(tab, TCM_SETCURSEL, 0, 0);

    MainWindowState* state = AppGlobals.mainState;
    if (!state)
        return;
    state->background.load(IDP_MAIN_BACKGROUND, SkinImageKind::Png);
    state->titleFont = createSkinFont(AppGlobals.titleFontHeight, FW_BOLD, skinFaceName);
    SendDlgItemMessageW(dialog, IDC_MAIN_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(state->titleFont), TRUE);
}

static INT_PTR onMainCtlColorStatic(HDC dc, HWND control)
{
    MainWindowState* state = AppGlobals.mainState;
    if (!state)
        return 1;
    if (state->titleBrush) {
        DeleteObject(state->titleBrush);
        state->titleBrush = nullptr;
    }
    // 1 is no brush: the control then paints no background of its own, and
    // the skin picture under it shows through.
    if (GetDlgCtrlID(control) != IDC_MAIN_TITLE)
        return 1;
    state->titleBrush = CreateSolidBrush(colourSkinControl(dc, SkinArea::HeaderBand));
    return reinterpret_cast<INT_PTR>(state->titleBrush);
}

static void onMainNotify(const NMHDR* header)
{
    MainWindowState* state = AppGlobals.mainState;
    if (!state)
        return;
    state->currentTab = static_cast<int>(SendDlgItemMessageW(AppGlobals.hMainDialog, IDC_MAIN_TAB, TCM_GETCURSEL, 0, 0));
    if (header->idFrom == IDC_MAIN_TAB && header->code == static_cast<UINT>(TCN_SELCHANGE))
        state->switchPage();
}

static void onMainClose(HWND dialog)
{
    if (showMessageBox(IDS_CAPTION_INFO, IDS_CONFIRM_CLOSE, MB_OKCANCEL | MB_ICONQUESTION, dialog, nullptr) == IDOK)
        DestroyWindow(dialog);
}

static void onMainDestroy()
{
    PostQuitMessage(0);
    if (AppGlobals.mainState) {
        delete AppGlobals.mainState;
        AppGlobals.mainState = nullptr;
    }
}

static INT_PTR mainDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onMainInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        onMainCommand(dialog, LOWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        return onMainCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PWDBANK_MODIFIED:
        if (AppGlobals.mainState)
            AppGlobals.mainState->dirty = 1;
        return 0;
    case WM_NOTIFY:
        onMainNotify(reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_CLOSE:
        // Handled: the dialog manager answers an unhandled WM_CLOSE with an
        // IDCANCEL, which is Esc here and would ask a second time.
        onMainClose(dialog);
        return TRUE;
    case WM_DESTROY:
        onMainDestroy();
        return 1;
    case WM_ERASEBKGND:
        paintMainBackground(dialog, reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // A high-contrast theme switched on or off, or new system colours.
        passSystemChangeOn(message, wParam, lParam);
        return 0;
    case WM_WINDOWPOSCHANGING:
        // Movable, never resizable.
        reinterpret_cast<WINDOWPOS*>(lParam)->flags |= SWP_NOSIZE;
        return 0;
    default:
        return 0;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedCall(L"MainDialogProc", [&] { return mainDialogMessage(dialog, message, wParam, lParam); });
}
