// MainWindow.h - the main dialog (IDD_MAIN): tab control with the two pages, bold
// title, skinned Apply/Close/Help footer buttons, the flag of unsaved changes
// and the program's message loop.
#pragma once

#include <windows.h>
#include "QOVICommon.h"
#include "Skin.h"

struct MainWindowState {
    // Fetches the current user into AppGlobals.currentUser; loadUser also
    // loads its data from the store.
    explicit MainWindowState(bool loadUser);
    // Deletes the title font and brush, ends the pages and releases the users.
    ~MainWindowState();
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;

    // Builds the main window, runs the message loop until WM_QUIT and returns
    // its wParam; -1 when the main dialog could not be created.
    int runMainWindow(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);
    // The two halves of runMainWindow: the user's bank loaded and what the
    // load found told, then IDD_MAIN, IDD_SITE_LIST_PAGE and IDD_SETTINGS_PAGE made, centred and shown
    // (false when the tool must end without a bank or the main dialog could
    // not be made); then the loop, which returns the WM_QUIT wParam.
    bool createMainWindow(HINSTANCE instance);
    int runMessageLoop();
    // Shows the page of currentTab and hides the other.
    void switchPage();

    COMMON_RESULT loadResult = COMMON_OK;  // of the load at set-up, when there was one
    int dirty = 0;       // 1 while there are changes Apply must save
    // The tab control's selection as last read. It starts at 1 although tab 0
    // is selected: only a tab notification reads it, and createMainWindow
    // shows the settings page itself.
    int currentTab = 1;
    HFONT titleFont = nullptr;
    HBRUSH titleBrush = nullptr;
    // Picture 501, decoded once: besides the dialog's own erases, themed
    // controls have it draw its background for them at each of their paints.
    SkinImage background;
    SkinButtonGroup buttons;  // Apply, Close, Help
};

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The message loop's work on one message before it is dispatched. F1 opens
// help whichever window of the thread has the focus. Keys of the main window
// then go to the dialog manager (Tab and Shift+Tab through the page shown and
// the footer buttons, access keys, Enter, Esc), and Ctrl+Tab, Ctrl+Shift+Tab,
// Ctrl+PageDown and Ctrl+PageUp switch the pages. True when the message has
// been handled and must be neither translated nor dispatched.
bool preprocessMessage(MSG& msg);

// Shows what loading the user's bank found; false when the tool must end.
bool confirmBankLoad(QOVIUserInfo* user, COMMON_RESULT loaded);

void paintMainBackground(HWND dialog, HDC dc);
// Centres the window over its visible parent, or in its monitor's work area.
void centerWindow(HWND window);
// The top-left corner that centres a width x height window on the reference rectangle.
POINT centeredPosition(const RECT& reference, int width, int height);
