// SettingsPage.h - the settings page (IDD_SETTINGS_PAGE): the password bank and bubble switches.
#pragma once

#include <windows.h>
#include <string>

struct SettingsPageState {
    // Reads both switches from AppGlobals.currentUser.
    SettingsPageState();
    // Deletes the brush, releases the description's DC, destroys IDC_SETTINGS_DESCRIPTION.
    ~SettingsPageState();
    SettingsPageState(const SettingsPageState&) = delete;
    SettingsPageState& operator=(const SettingsPageState&) = delete;

    // Flips *option; shows "both off" when both switches are now off, else description.
    void toggleOption(HWND page, int* option, std::wstring description);
    // Takes both switches from AppGlobals.currentUser again and shows them:
    // a save that merged another program's changes may have changed them.
    void showUserSwitches(HWND page);

    HBRUSH backgroundBrush = nullptr;
    HWND descriptionWindow = nullptr;
    HDC descriptionDC = nullptr;
    int pwdBankOn = 0;
    int bubbleOn = 0;
};

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
