#include "StartUp.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <clocale>
#include <cstdint>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "MainWindow.h"
#include "QOVICommon.h"
#include "resource.h"

bool isInvalidPointer(const void* pointer)
{
    static const uintptr_t fillPatterns[] = {0xCDCDCDCD, 0xCCCCCCCC, 0xFDFDFDFD, 0xFEEEFEEE,
                                             0xDDDDDDDD, 0xABABABAB, 0xFEFEFEFE};
    uintptr_t value = reinterpret_cast<uintptr_t>(pointer);
    if (value == 0)
        return true;
    for (uintptr_t pattern : fillPatterns) {
        if (value == pattern)
            return true;
    }
    return false;
}

bool isValidPointer(const void* pointer) { return !isInvalidPointer(pointer); }

// Room for a locale name: LOCALE_NAME_MAX_LENGTH (85) and some.
static const int LOCALE_NAME_CHARS = 90;
// Room for the main dialog's caption in every language.
static const int CAPTION_CHARS = 150;

void selectUILanguage(LANGID* language)
{
    *language = GetUserDefaultUILanguage();
    wchar_t localeName[LOCALE_NAME_CHARS] = {};
    LCIDToLocaleName(MAKELCID(*language, SORT_DEFAULT), localeName, LOCALE_NAME_CHARS, 0);
    SetThreadLocale(MAKELCID(*language, SORT_DEFAULT));
    // A multi-string of one name: the name, its terminator, and one more.
    wchar_t languages[LOCALE_NAME_CHARS + 2] = {};
    lstrcpynW(languages, localeName, LOCALE_NAME_CHARS);
    ULONG count = 1;
    SetThreadPreferredUILanguages(MUI_LANGUAGE_NAME, languages, &count);

    HWND desktop = GetDesktopWindow();
    HDC dc = desktop ? GetDC(desktop) : nullptr;
    if (!dc)
        return;
    AppGlobals.titleFontHeight = titleFontHeightFor(GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(desktop, dc);
}

// Takes the companion's mutex. False when the companion does not run or
// another instance holds the mutex; then a running instance is brought up.
static bool acquireCompanionMutex(HINSTANCE instance, HANDLE* companionMutex)
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"QOVIMainAppMutex");
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        if (mutex)
            CloseHandle(mutex);
        return false;
    }
    // WAIT_ABANDONED: an earlier instance died holding it and this process
    // now owns it, so a crash does not lock the user out.
    DWORD wait = WaitForSingleObject(mutex, 1);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        *companionMutex = mutex;
        return true;
    }
    wchar_t caption[CAPTION_CHARS] = {};
    LoadStringW(instance, IDS_MAIN_CAPTION, caption, CAPTION_CHARS);
    if (HWND running = FindWindowW(L"#32770", caption)) {
        ShowWindow(running, SW_MINIMIZE);
        ShowWindow(running, SW_RESTORE);
    }
    CloseHandle(mutex);
    return false;
}

int runPWDBankSet(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand)
{
    _wsetlocale(LC_ALL, L"");
    HANDLE companionMutex = nullptr;
    if (!acquireCompanionMutex(instance, &companionMutex))
        return -1;
    HANDLE ownMutex = CreateMutexW(nullptr, FALSE, L"QOVIPWDBankSet");
    AppGlobals.hInstance = instance;
    selectUILanguage(&AppGlobals.uiLanguage);

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    // Without the folder the load that follows fails, and tells the user why.
    if (createQOVIAppUserDirectory() != COMMON_OK)
        debugPrint(L"The user's data folder could not be created.");

    int exitCode = 0;
    {
        MainWindowState startState(false);
        if (startState.runMainWindow(instance, previousInstance, commandLine, showCommand) == -1)
            exitCode = -1;

        Gdiplus::GdiplusShutdown(gdiplusToken);
        QOVILog::endLog();
        ReleaseMutex(companionMutex);
        CloseHandle(companionMutex);
        if (HWND companion = FindWindowW(L"QOVIMainApp", nullptr))
            PostMessageW(companion, WM_PWDBANKSET_CLOSED, 0, 0);
        if (isValidPointer(ownMutex))
            CloseHandle(ownMutex);
    }  // the start-up state releases the users once more
    return exitCode;
}
