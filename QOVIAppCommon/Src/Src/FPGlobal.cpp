#include "FPGlobal.h"

#include <shlwapi.h>
#include <cstdarg>
#include <cwchar>
#include <vector>
#include "AppGlobals.h"
#include "QOVICommon.h"

// Every line debugPrint logs carries this module's path and one fixed line:
// readers of the suite's log know the shared module's lines by them.
static const wchar_t logSourcePath[] = L"..\\QOVIAppCommon\\Src\\Src\\FPGlobal";
static const int logSourceLine = 474;
// Paths and locale names pass through buffers of MAX_PATH characters.
static const int PATH_CHARS = MAX_PATH;
// debugPrint grows its buffer up to this many characters for an overlong
// text before it gives up; no caller comes near it.
static const size_t DEBUG_PRINT_MAX_CHARS = 1024 * 1024;

std::wstring loadResString(UINT id)
{
    wchar_t* buffer = AppGlobals.stringBuffer;
    SecureZeroMemory(buffer, sizeof AppGlobals.stringBuffer);
    if (LoadStringW(AppGlobals.hInstance, id, buffer, STRING_BUFFER_CHARS) == 0)
        SecureZeroMemory(buffer, sizeof AppGlobals.stringBuffer);
    return std::wstring(buffer);
}

int showMessageBox(UINT captionId, UINT textId, UINT style, HWND owner, const wchar_t* extraText)
{
    std::wstring caption = loadResString(captionId);
    std::wstring text = loadResString(textId);
    if (extraText)
        text += extraText;
    return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

int showInfoMessage(UINT captionId, UINT textId, UINT style, HWND owner, const wchar_t* extraText)
{
    return showMessageBox(captionId, textId, style | MB_ICONINFORMATION, owner, extraText);
}

int showErrorMessage(UINT captionId, UINT textId, UINT style, HWND owner, const wchar_t* extraText)
{
    return showMessageBox(captionId, textId, style | MB_ICONERROR, owner, extraText);
}

void debugPrint(const wchar_t* format, ...)
{
    if (!format || !*format)
        return;
    // vswprintf fails rather than truncates when the text does not fit, so
    // grow the buffer until it does (within reason), then cut the text.
    std::vector<wchar_t> buffer(DEBUG_PRINT_CHARS);
    int length = -1;
    while (length < 0 && buffer.size() <= DEBUG_PRINT_MAX_CHARS) {
        va_list arguments;
        va_start(arguments, format);
        length = vswprintf(buffer.data(), buffer.size(), format, arguments);
        va_end(arguments);
        if (length < 0)
            buffer.resize(buffer.size() * 2);
    }
    if (length < 0)
        return;
    if (length >= DEBUG_PRINT_CHARS)
        buffer[DEBUG_PRINT_CHARS - 1] = L'\0';
    OutputDebugStringW(buffer.data());
    QOVILog::debugLog(logSourcePath, logSourceLine, buffer.data());
}

// ---------------------------------------------------------------- help --

std::wstring helpLanguageCode(LANGID language)
{
    switch (language) {
    case 0x0C04:  // Chinese (Hong Kong SAR)
    case 0x1404:  // Chinese (Macao SAR)
        return L"CHT";
    case 0x0403:  // Catalan
    case 0x042D:  // Basque
    case 0x0456:  // Galician
        return L"ESP";
    case 0x1004:  // Chinese (Singapore)
        return L"CHS";
    case 0x0416:  // Portuguese (Brazil)
        return L"PTG";
    default: {
        wchar_t name[PATH_CHARS] = {};
        GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SABBREVLANGNAME, name, PATH_CHARS);
        return name;
    }
    }
}

std::wstring helpFileName(LANGID language) { return L"Ostrelin_" + helpLanguageCode(language) + L".CHM"; }

// The help window opens on its table of contents (htmlhelp.h's value; the
// header is not part of every tool chain).
static const UINT HH_DISPLAY_TOC = 1;

static HtmlHelpEntry htmlHelpEntry;

HtmlHelpEntry setHtmlHelpEntry(HtmlHelpEntry entry)
{
    HtmlHelpEntry previous = htmlHelpEntry;
    htmlHelpEntry = entry;
    return previous;
}

// The platform's HTML Help control, loaded on first use and kept.
static HtmlHelpEntry platformHtmlHelp()
{
    if (!htmlHelpEntry) {
        if (HMODULE control = LoadLibraryW(L"hhctrl.ocx"))
            htmlHelpEntry = reinterpret_cast<HtmlHelpEntry>(GetProcAddress(control, "HtmlHelpW"));
    }
    return htmlHelpEntry;
}

static void openHelpFile(HKEY key)
{
    wchar_t installPath[PATH_CHARS] = {};
    DWORD size = sizeof installPath;
    DWORD type = 0;
    if (RegQueryValueExW(key, L"InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(installPath), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return;
    installPath[PATH_CHARS - 1] = L'\0';  // a registry string need not end in one
    if (!PathFileExistsW(installPath))
        return;

    wchar_t helpFolder[MAX_PATH] = {};
    PathCombineW(helpFolder, installPath, L"HelpFiles");
    std::wstring fileName = helpFileName(GetUserDefaultUILanguage());

    wchar_t fullPath[MAX_PATH] = {};
    PathCombineW(fullPath, helpFolder, fileName.c_str());
    debugPrint(L"FilePath:[%ls]", fullPath);
    if (!PathFileExistsW(fullPath)) {
        PathCombineW(fullPath, helpFolder, L"Ostrelin_ENU.CHM");
        debugPrint(L"FilePath:[%ls]", fullPath);
    }
    if (!PathFileExistsW(fullPath)) {
        debugPrint(L"File not exist!");
        return;
    }
    if (HtmlHelpEntry entry = platformHtmlHelp())
        entry(GetDesktopWindow(), fullPath, HH_DISPLAY_TOC, 0);
}

void OnQOVIHelp()
{
    debugPrint(L"OnQOVIHelp Start\n");
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MERIDOX\\QOVI\\", 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return;
    openHelpFile(key);
    RegCloseKey(key);
}
