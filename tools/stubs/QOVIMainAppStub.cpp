// QOVIMainAppStub - plays the suite's companion main application: holds the
// mutex "QOVIMainAppMutex" (created without initial ownership, so the tool can
// take it), owns a window of class "QOVIMainApp" and records every message
// 1124 it receives as the line "1124".
#include "StubCommon.h"

static StubRecorder recorder;

static LRESULT CALLBACK MainAppStubProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 100) {
        recordLine(recorder, "1124");
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"QOVIMainAppMutex");
    openRecorder(recorder);
    int result = runStubWindow(instance, L"QOVIMainApp", MainAppStubProc);
    closeRecorder(recorder);
    if (mutex)
        CloseHandle(mutex);
    return result;
}
