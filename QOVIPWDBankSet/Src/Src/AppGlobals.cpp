#include "AppGlobals.h"
#include "QOVICommon.h"

AppGlobalsData AppGlobals;

std::wstring controlText(HWND control)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

void notifyPasswordListener()
{
    HWND listener = FindWindowW(L"QOVI_PWD_LISTEN", nullptr);
    if (listener)
        PostMessageW(listener, WM_CLOSE, 0, 0);
}

void giveFocus(HWND control)
{
    SendMessageW(GetAncestor(control, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void logUnexpectedException(const wchar_t* procedure)
{
    QOVILog::debugLog(L".\\Src\\Src\\AppGlobals.cpp", __LINE__,
                      std::wstring(L"Unexpected exception caught in ") + procedure + L".");
}
