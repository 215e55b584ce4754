// QOVIPwdListenerStub - plays the suite's password listener: owns a window of
// class "QOVI_PWD_LISTEN" and records every WM_CLOSE as the line "WM_CLOSE",
// then keeps running (what the real listener does then is not ours to guess).
#include "StubCommon.h"

static StubRecorder recorder;

static LRESULT CALLBACK ListenerStubProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        recordLine(recorder, "WM_CLOSE");
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    openRecorder(recorder);
    int result = runStubWindow(instance, L"QOVI_PWD_LISTEN", ListenerStubProc);
    closeRecorder(recorder);
    return result;
}
