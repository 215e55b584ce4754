// MainWindow.h - the main dialog (51): tab control with the two pages, bold
// title, skinned Apply/Close/Help footer buttons, the flag of unsaved changes
// and the program's message loop.
#pragma once

#include <windows.h>
#include "QOVICommon.h"
#include "Skin.h"

const int MAIN_BUTTON_COUNT = 3;  // Apply, Close, Help

struct MainWindowState {
    // Fetches the current user into AppGlobals.currentUser; loadUser also
    // loads its data from the store.
    explicit MainWindowState(bool loadUser);
    // Deletes the title font and brush, releases the help image, ends the
    // pages and releases the users.
    ~MainWindowState();
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;

    // Builds the main window, runs the message loop until WM_QUIT and returns
    // its wParam; -1 when the main dialog could not be created.
    int runMainWindow(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);
    // The two halves of runMainWindow: dialogs 51, 53 and 52 made, subclassed,
    // centred and shown (false when the main dialog could not be made); then
    // the loop, which returns the WM_QUIT wParam.
    bool createMainWindow(HINSTANCE instance);
    int runMessageLoop();
    // Shows the page of currentTab and hides the other.
    void switchPage();

    int dirty = 0;       // 1 while there are changes Apply must save
    int currentTab = 1;  // the tab control's selection as last read
    HWND buttonWindows[MAIN_BUTTON_COUNT] = {};
    HFONT titleFont = nullptr;
    HBRUSH titleBrush = nullptr;
    SkinImage helpImage;
    SkinButtonLook looks[MAIN_BUTTON_COUNT];
    SkinRepaintFlags repaint;
};

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FooterButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR subclassId,
                                  DWORD_PTR referenceData);
void paintFooterButton(MainWindowState& state, HWND button);

// Shows what loading the user's bank found; false when the tool must end.
bool confirmBankLoad(QOVIUserInfo* user);

// Index of a footer button window (any unknown window counts as Help).
int buttonIndexOf(HWND window);
void paintMainBackground(HWND dialog, HDC dc);
// Centres the window over its visible parent, or in its monitor's work area.
void centerWindow(HWND window);
// The top-left corner that centres a width x height window on the reference rectangle.
POINT centeredPosition(const RECT& reference, int width, int height);
