#include "StubCommon.h"
#include <shellapi.h>
#include <cstring>

bool openRecorder(StubRecorder& recorder)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i + 1 < argc; ++i) {
        if (lstrcmpW(argv[i], L"--record") == 0) {
            recorder.output = CreateFileW(argv[i + 1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            recorder.ownsOutput = true;
            break;
        }
    }
    if (argv)
        LocalFree(argv);
    if (!recorder.ownsOutput)
        recorder.output = GetStdHandle(STD_OUTPUT_HANDLE);
    return recorder.output != INVALID_HANDLE_VALUE;
}

void recordLine(StubRecorder& recorder, const char* line)
{
    if (recorder.output == INVALID_HANDLE_VALUE || recorder.output == nullptr)
        return;
    DWORD written = 0;
    WriteFile(recorder.output, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    WriteFile(recorder.output, "\n", 1, &written, nullptr);
    FlushFileBuffers(recorder.output);
}

void closeRecorder(StubRecorder& recorder)
{
    if (recorder.ownsOutput && recorder.output != INVALID_HANDLE_VALUE)
        CloseHandle(recorder.output);
    recorder.output = INVALID_HANDLE_VALUE;
    recorder.ownsOutput = false;
}

int runStubWindow(HINSTANCE instance, const wchar_t* className, WNDPROC procedure)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (!RegisterClassW(&windowClass))
        return 1;
    HWND window = CreateWindowExW(0, className, className, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  200, 100, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_APP)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(window);
    return 0;
}
