// QOVIDemoDriver - drives a running QOVIPWDBankSet from outside for the demo:
// finds its windows, reports where they are on the screen, switches tabs and
// closes it. Windows are found by the captions in the tool's own string table.
//
//   QOVIDemoDriver rect main|box CAPTION_ID   prints "x y width height"
//   QOVIDemoDriver tab N                      selects tab N of the main dialog
//   QOVIDemoDriver close                      closes the tool (answers OK)
//   QOVIDemoDriver stop-stubs                 ends the two stand-ins
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cwchar>
#include <string>

static HMODULE toolStrings;

static std::wstring toolString(UINT id)
{
    wchar_t buffer[1024] = {};
    LoadStringW(toolStrings, id, buffer, 1024);
    return buffer;
}

static HWND waitForDialog(const std::wstring& caption)
{
    for (int i = 0; i < 500; ++i) {
        HWND window = FindWindowW(L"#32770", caption.c_str());
        if (window && IsWindowVisible(window))
            return window;
        Sleep(20);
    }
    return nullptr;
}

static int printRect(HWND window)
{
    if (!window)
        return 1;
    RECT rect;
    GetWindowRect(window, &rect);
    printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

// The tab's item rectangle lives in the tool's process: read it through
// memory allocated there.
static bool tabItemRect(HWND tab, int index, RECT* rect)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(tab, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return false;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    bool ok = remote && SendMessageW(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote)) &&
              ReadProcessMemory(process, remote, rect, sizeof(RECT), nullptr);
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok;
}

static int selectTab(int index)
{
    HWND mainDialog = waitForDialog(toolString(1001));
    HWND tab = mainDialog ? GetDlgItem(mainDialog, 101) : nullptr;
    RECT item;
    if (!tab || !tabItemRect(tab, index, &item))
        return 1;
    LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(tab, WM_LBUTTONUP, 0, point);
    Sleep(300);
    return 0;
}

static int closeTool()
{
    HWND mainDialog = waitForDialog(toolString(1001));
    if (!mainDialog)
        return 1;
    PostMessageW(mainDialog, WM_CLOSE, 0, 0);
    HWND box = waitForDialog(toolString(1007));
    if (!box)
        return 1;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    toolStrings = LoadLibraryExW((folder + L"\\QOVIPWDBankSet.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!toolStrings || argc < 2) {
        fwprintf(stderr, L"usage: QOVIDemoDriver rect main|box ID | tab N | close\n");
        return 2;
    }
    std::wstring command = argv[1];
    if (command == L"rect" && argc >= 3) {
        UINT caption = std::wstring(argv[2]) == L"main" ? 1001 : static_cast<UINT>(argc >= 4 ? _wtoi(argv[3]) : 0);
        return printRect(waitForDialog(toolString(caption)));
    }
    if (command == L"tab" && argc >= 3)
        return selectTab(_wtoi(argv[2]));
    if (command == L"close")
        return closeTool();
    if (command == L"stop-stubs") {
        for (const wchar_t* windowClass : {L"QOVIMainApp", L"QOVI_PWD_LISTEN"}) {
            if (HWND stub = FindWindowW(windowClass, nullptr))
                PostMessageW(stub, WM_APP, 0, 0);
        }
        return 0;
    }
    fwprintf(stderr, L"QOVIDemoDriver: unknown command\n");
    return 2;
}
