#include "SettingsPage.h"

#include "AppGlobals.h"
#include "FPGlobal.h"
#include "QOVICommon.h"
#include "Skin.h"
#include "resource.h"

SettingsPageState::SettingsPageState()
{
    pwdBankOn = AppGlobals.currentUser->getPWDBankEnable();
    bubbleOn = AppGlobals.currentUser->getBubbleEnable();
}

SettingsPageState::~SettingsPageState()
{
    // The brush goes through the kept DC once before it is deleted: selected
    // in and the previous object straight back, so the DC holds what it held
    // and the brush is selected nowhere when DeleteObject runs.
    if (backgroundBrush) {
        HGDIOBJ previous = SelectObject(descriptionDC, backgroundBrush);
        SelectObject(descriptionDC, previous);
        DeleteObject(backgroundBrush);
    }
    if (descriptionDC)
        ReleaseDC(descriptionWindow, descriptionDC);
    if (descriptionWindow)
        DestroyWindow(descriptionWindow);
}

void SettingsPageState::toggleOption(HWND page, int* option, std::wstring description)
{
    *option = *option ? 0 : 1;
    if (pwdBankOn == 0 && bubbleOn == 0)
        SetDlgItemTextW(page, IDC_SETTINGS_DESCRIPTION, loadResString(IDS_DESC_BOTH_OFF).c_str());
    else
        SetDlgItemTextW(page, IDC_SETTINGS_DESCRIPTION, description.c_str());
}

void SettingsPageState::showUserSwitches(HWND page)
{
    pwdBankOn = AppGlobals.currentUser->getPWDBankEnable();
    bubbleOn = AppGlobals.currentUser->getBubbleEnable();
    CheckDlgButton(page, IDC_SETTINGS_PWDBANK, pwdBankOn ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_SETTINGS_BUBBLE, bubbleOn ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(page, IDC_SETTINGS_BUBBLE), pwdBankOn ? TRUE : FALSE);
    // The bubble's description wins when both are on; with the bank off and
    // the bubble on, IDC_SETTINGS_BUBBLE shows checked but disabled.
    const UINT description = bubbleOn ? IDS_DESC_BUBBLE_ON : pwdBankOn ? IDS_DESC_PWDBANK_ON : IDS_DESC_BOTH_OFF;
    SetDlgItemTextW(page, IDC_SETTINGS_DESCRIPTION, loadResString(description).c_str());
}

static void postModified() { PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0); }

static void onSettingsInitDialog(HWND page)
{
    SettingsPageState* state = createDialogState(AppGlobals.settingsPageState);
    if (!state)
        return;
    state->showUserSwitches(page);
    state->descriptionWindow = GetDlgItem(page, IDC_SETTINGS_DESCRIPTION);
    state->descriptionDC = GetDC(state->descriptionWindow);
}

static void onPwdBankClick(HWND page, SettingsPageState& state)
{
    state.toggleOption(page, &state.pwdBankOn, loadResString(IDS_DESC_PWDBANK_ON));
    QOVIUserInfo* user = AppGlobals.currentUser;
    if (state.pwdBankOn) {
        user->setPWDBankEnable(1);
        EnableWindow(GetDlgItem(page, IDC_SETTINGS_BUBBLE), TRUE);
        postModified();
        return;
    }
    user->setPWDBankEnable(0);
    user->setBubbleEnable(0);
    SendDlgItemMessageW(page, IDC_SETTINGS_BUBBLE, BM_SETCHECK, BST_UNCHECKED, 0);
    EnableWindow(GetDlgItem(page, IDC_SETTINGS_BUBBLE), FALSE);
    state.bubbleOn = 0;
    postModified();
    SetDlgItemTextW(page, IDC_SETTINGS_DESCRIPTION, loadResString(IDS_DESC_BOTH_OFF).c_str());
}

static void onBubbleClick(HWND page, SettingsPageState& state)
{
    state.toggleOption(page, &state.bubbleOn, loadResString(IDS_DESC_BUBBLE_ON));
    QOVIUserInfo* user = AppGlobals.currentUser;
    if (state.bubbleOn) {
        user->setBubbleEnable(1);
        postModified();
        return;
    }
    user->setBubbleEnable(0);
    postModified();
    std::wstring description = loadResString(IDS_DESC_PWDBANK_ON);
    if (state.pwdBankOn)
        SetDlgItemTextW(page, IDC_SETTINGS_DESCRIPTION, description.c_str());
}

static INT_PTR onSettingsCtlColorStatic(HDC dc, HWND control)
{
    SettingsPageState* state = AppGlobals.settingsPageState;
    if (!state)
        return FALSE;
    if (state->backgroundBrush)
        DeleteObject(state->backgroundBrush);
    const COLORREF page = colourSkinControl(dc, SkinArea::Body);
    state->backgroundBrush = CreateSolidBrush(page);
    if (control == state->descriptionWindow)
        SetBkColor(state->descriptionDC, page);
    return reinterpret_cast<INT_PTR>(state->backgroundBrush);
}

static INT_PTR settingsPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    SettingsPageState* state = AppGlobals.settingsPageState;
    switch (message) {
    case WM_INITDIALOG:
        onSettingsInitDialog(page);
        return TRUE;
    case WM_COMMAND:
        if (state && LOWORD(wParam) == IDC_SETTINGS_PWDBANK)
            onPwdBankClick(page, *state);
        else if (state && LOWORD(wParam) == IDC_SETTINGS_BUBBLE)
            onBubbleClick(page, *state);
        return TRUE;
    case WM_SHOWWINDOW:
        // The edit dialog's Save may have merged while the page was hidden.
        if (wParam && state)
            state->showUserSwitches(page);
        return FALSE;
    case WM_CTLCOLORSTATIC:
        return onSettingsCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
        // Not a colour message: any nonzero value says "erased", and the
        // stock brush is such a value. Nothing is painted, so the main
        // window's background shows through.
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(page, &paint);
        EndPaint(page, &paint);
        return TRUE;
    }
    case WM_DESTROY:
        destroyDialogState(AppGlobals.settingsPageState);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedCall(L"SettingsPageProc", [&] { return settingsPageMessage(page, message, wParam, lParam); });
}
