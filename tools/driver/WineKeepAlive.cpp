// WineKeepAlive - a hidden window that keeps the Wine desktop of a run
// (tests, demo, benchmarks) alive, so each program started under Wine does
// not tear the desktop down and start it again. "--wait" only waits until a keep-alive window exists.
#include <windows.h>

static const wchar_t keepAliveClass[] = L"QOVIWineKeepAlive";

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    if (wcsstr(commandLine, L"--wait")) {
        for (int i = 0; i < 300 && !FindWindowW(keepAliveClass, nullptr); ++i)
            Sleep(20);
        return FindWindowW(keepAliveClass, nullptr) ? 0 : 1;
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = keepAliveClass;
    RegisterClassW(&windowClass);
    CreateWindowExW(0, keepAliveClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
