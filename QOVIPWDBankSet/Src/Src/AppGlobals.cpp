#include "AppGlobals.h"

AppGlobalsData AppGlobals;

void wipeString(std::wstring& text)
{
    if (!text.empty())
        SecureZeroMemory(&text[0], text.size() * sizeof(wchar_t));
    text.clear();
}

void notifyPasswordListener()
{
    HWND listener = FindWindowW(L"QOVI_PWD_LISTEN", nullptr);
    if (listener)
        PostMessageW(listener, WM_CLOSE, 0, 0);
}
