// AppGlobals.h - the process-wide state every window of the tool shares, and
// the tool's own window messages. One instance, one thread, no locking.
#pragma once

#include <windows.h>
#include <new>
#include <string>
#include "QOVIText.h"

class QOVIUserInfo;
struct MainWindowState;
struct SettingsPageState;
struct SiteListPageState;
struct SiteEditState;
struct InputItemEditState;

// Posted to the main dialog (and to the web site edit dialog) whenever the
// user's data changed in memory; wParam and lParam are 0.
const UINT WM_PWDBANK_MODIFIED = 98002;
// Posted by the web site edit dialog to the list page when it is destroyed.
const UINT WM_PWDBANK_EDITOR_CLOSED = 98003;
// Posted to the suite's main application (class "QOVIMainApp") at exit.
const UINT WM_PWDBANKSET_CLOSED = WM_USER + 100;

const int STRING_BUFFER_CHARS = 1024;

struct AppGlobalsData {
    HINSTANCE hInstance = nullptr;
    LANGID uiLanguage = 1033;
    int titleFontHeight = 24;  // pixels at 96 DPI until start-up measures the display
    float dpiScale = 1.0f;
    QOVIUserInfo* currentUser = nullptr;
    MainWindowState* mainState = nullptr;

    HWND hMainDialog = nullptr;
    HWND hSettingsPage = nullptr;
    HWND hSiteListPage = nullptr;
    HWND hSiteEditDialog = nullptr;

    SettingsPageState* settingsPageState = nullptr;
    SiteListPageState* siteListState = nullptr;
    SiteEditState* siteEditState = nullptr;
    InputItemEditState* inputEditState = nullptr;

    // The site open in the web site edit dialog.
    std::wstring selectedSiteUrl;
    std::wstring selectedSiteFormId;
    std::wstring selectedSiteFormName;
    // The input item open in the input item edit dialog.
    std::wstring selectedInputName;
    std::wstring selectedInputValue;
    std::wstring selectedInputType;
    std::wstring selectedInputId;
    // A new password taken over and not stored yet; wiped when the edit dialog closes.
    std::wstring pendingPasswordValue;

    // Every string-table load passes through here and is copied out at once.
    wchar_t stringBuffer[STRING_BUFFER_CHARS] = {};
};

extern AppGlobalsData AppGlobals;

// A dialog's state object lives from WM_INITDIALOG to WM_DESTROY, and its
// one pointer in AppGlobals reaches it meanwhile. Without memory the pointer
// stays null and the dialog shows without its state; every handler checks.
template <typename State>
State* createDialogState(State*& slot)
{
    slot = new (std::nothrow) State();
    return slot;
}

template <typename State>
void destroyDialogState(State*& slot)
{
    delete slot;
    slot = nullptr;
}

// A control's whole text, however long.
std::wstring controlText(HWND control);

// Posts WM_CLOSE to the suite's password listener window, if one runs.
void notifyPasswordListener();

// Gives the control the keyboard focus through the dialog manager of its
// top-level window (WM_NEXTDLGCTL), which keeps the dialog's memory of the
// focus and its default button in step. A control is never sent WM_SETFOCUS
// instead: a list view would then believe it had the focus and not take it
// at the next click, and the keys would stay where they were.
void giveFocus(HWND control);

// Logs an exception caught at the boundary of a window or dialog procedure.
void logUnexpectedException(const wchar_t* procedure);

// Runs the handler of one message of a window, dialog or subclass procedure.
// No C++ exception may cross into the system's code: one that reaches here
// is logged, and the message gets 0 (FALSE, not handled).
template <typename Handler>
auto guardedCall(const wchar_t* procedure, Handler handler) -> decltype(handler())
{
    try {
        return handler();
    } catch (...) {
        logUnexpectedException(procedure);
        return 0;
    }
}
