// FPGlobal.h - the suite's shared UI services: strings from the string
// table, message boxes, the debug log line and the help file.
#pragma once

#include <windows.h>
#include <string>

// The string of the module's string table, or an empty string. At most 1023
// characters: every load passes through AppGlobals.stringBuffer.
std::wstring loadResString(UINT id);

// MessageBoxW with caption and text from the string table; the extra text,
// when not null, follows the text. The owner may be null.
int showMessageBox(UINT captionId, UINT textId, UINT style, HWND owner, const wchar_t* extraText);
int showInfoMessage(UINT captionId, UINT textId, UINT style, HWND owner, const wchar_t* extraText);
int showErrorMessage(UINT captionId, UINT textId, UINT style, HWND owner, const wchar_t* extraText);

// A printf-style log line (wide format, %ls for wide strings) to the debugger
// output and the store's log. Longer texts are cut to 2047 characters.
void debugPrint(const wchar_t* format, ...);
const int DEBUG_PRINT_CHARS = 2048;

// Opens the help file of the user's UI language, or the English one.
void OnQOVIHelp();

// The three-letter code of a help file name for a UI language: the table's
// exceptions, else the locale's abbreviated language name.
std::wstring helpLanguageCode(LANGID language);
// "Ostrelin_" + code + ".CHM".
std::wstring helpFileName(LANGID language);

// How help files are shown; the platform's HtmlHelpW unless replaced.
typedef HWND(WINAPI* HtmlHelpEntry)(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);
// Replaces the entry (null restores the platform's); returns the previous one.
HtmlHelpEntry setHtmlHelpEntry(HtmlHelpEntry entry);
