// QOVIPWDBankSetHighContrast - the tool as the demo shows it under a
// high-contrast theme, white on black. Wine 8 cannot switch Windows' high
// contrast on (SPI_SETHIGHCONTRAST fails and the query always says off), so
// this twin of QOVIPWDBankSet.exe, built from the same modules and resources,
// gives the skin the answer itself and sets the theme's colours with
// SetSysColors for as long as it runs. It is never shipped.
#include <windows.h>
#include <commctrl.h>
#include "Skin.h"
#include "StartUp.h"

// The colours the tool's windows draw with, as Windows' high-contrast black
// theme gives them.
static const int SCHEME_INDEXES[] = {
    COLOR_WINDOW,    COLOR_WINDOWTEXT, COLOR_BTNFACE,   COLOR_BTNTEXT,   COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
    COLOR_GRAYTEXT,  COLOR_3DDKSHADOW, COLOR_3DSHADOW,  COLOR_3DLIGHT,   COLOR_3DHILIGHT, COLOR_WINDOWFRAME,
};
static const COLORREF SCHEME_COLOURS[] = {
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0x1A, 0xEB, 0xFF), RGB(0, 0, 0),
    RGB(0x3F, 0xF2, 0x3F), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
    RGB(255, 255, 255),
};
static const int SCHEME_SIZE = sizeof SCHEME_INDEXES / sizeof SCHEME_INDEXES[0];
static_assert(sizeof SCHEME_COLOURS / sizeof SCHEME_COLOURS[0] == SCHEME_SIZE, "a colour for each index");

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, PWSTR commandLine, int showCommand)
{
    COLORREF saved[SCHEME_SIZE];
    for (int i = 0; i < SCHEME_SIZE; ++i)
        saved[i] = GetSysColor(SCHEME_INDEXES[i]);
    SetSysColors(SCHEME_SIZE, SCHEME_INDEXES, SCHEME_COLOURS);
    // Wine's comctl32 took the system colours when it was loaded, before
    // this entry point ran, and makes its controls in those; a colour change
    // told to one of its controls makes it take the new ones. (A program
    // started under a high-contrast theme finds the theme's colours at once.)
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    SendMessageW(list, WM_SYSCOLORCHANGE, 0, 0);
    DestroyWindow(list);
    overrideHighContrast(HighContrastAnswer::On);
    const int result = runPWDBankSet(instance, previousInstance, commandLine, showCommand);
    SetSysColors(SCHEME_SIZE, SCHEME_INDEXES, saved);
    return result;
}
