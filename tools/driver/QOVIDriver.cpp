// QOVIDriver - looks at a running QOVIPWDBankSet from outside, for the demo,
// the benchmarks and the acceptance tests. It reports where things are on the
// screen and what they show; the clicking and typing is left to real input
// (xdotool), except for the demo's shortcuts "tab" and "close" and "key",
// which also works without a display.
//
// Windows: main (IDD_MAIN), settings (IDD_SETTINGS_PAGE), sites
// (IDD_SITE_LIST_PAGE), edit (IDD_SITE_EDIT), input (IDD_INPUT_ITEM_EDIT).
// IDs are numbers; drive.sh turns the names of resource.h into them. Message boxes are found by their
// caption's string ID. Every command waits up to five seconds for the window
// it needs and exits 1 when it is not there.
//
//   rect main|settings|sites|edit|input        "x y width height" of the window
//   rect box CAPTION_ID                         the same for a message box
//   control WINDOW ID                           "x y" of the centre of control ID
//   row WINDOW LIST_ID ROW                      "x y" of the centre of a list row
//   count WINDOW LIST_ID                        the list's number of rows
//   cell WINDOW LIST_ID ROW COLUMN              the text of a list cell
//   text WINDOW ID                              the text of control ID
//   checked WINDOW ID                           1 when the check box is checked, else 0
//   enabled WINDOW ID                           1 when the control is enabled, else 0
//   box                                         "CAPTION|TEXT" of an open message box, or "none"
//   gone WINDOW|box                             waits until it is gone
//   string ID                                   a string of the tool's string table
//   tabat N                                     "x y" of the centre of tab N of the main dialog
//   tab N                                       selects tab N of the main dialog
//   key WINDOW VK                               posts a press of virtual key VK to the window
//   close                                       closes the tool (answers OK)
//   stop-stubs                                  ends the two stand-ins
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include "resource.h"

static HMODULE toolModule;

// How long a command waits for the window it needs, and how often it looks.
static const int WAIT_MS = 5000;
static const int POLL_MS = 20;
// The page of a newly selected tab shows within this time.
static const int SETTLE_MS = 300;
// Texts read from the tool: strings and control texts, and list cells.
static const int TEXT_CHARS = 1024;
static const int CELL_CHARS = 512;

static std::wstring toolString(UINT id)
{
    wchar_t buffer[TEXT_CHARS] = {};
    LoadStringW(toolModule, id, buffer, TEXT_CHARS);
    return buffer;
}

static HWND waitFor(const std::function<HWND()>& find, int timeoutMs = WAIT_MS)
{
    for (int waited = 0; waited <= timeoutMs; waited += POLL_MS) {
        HWND window = find();
        if (window && IsWindowVisible(window))
            return window;
        Sleep(POLL_MS);
    }
    return nullptr;
}

static HWND mainDialog() { return FindWindowW(L"#32770", toolString(IDS_MAIN_CAPTION).c_str()); }

// A top-level dialog of the tool's process that holds the given control.
struct DialogSearch {
    DWORD processId;
    int controlId;
    HWND found;
};

static BOOL CALLBACK findDialogWithControl(HWND window, LPARAM parameter)
{
    DialogSearch* search = reinterpret_cast<DialogSearch*>(parameter);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && lstrcmpW(className, L"#32770") == 0 && GetDlgItem(window, search->controlId)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND topLevelWith(int controlId)
{
    HWND main = mainDialog();
    if (!main)
        return nullptr;
    DialogSearch search = {0, controlId, nullptr};
    GetWindowThreadProcessId(main, &search.processId);
    EnumWindows(findDialogWithControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

static HWND pageWith(int controlId)
{
    HWND main = mainDialog();
    for (HWND page = main ? FindWindowExW(main, nullptr, L"#32770", nullptr) : nullptr; page;
         page = FindWindowExW(main, page, L"#32770", nullptr)) {
        if (GetDlgItem(page, controlId))
            return page;
    }
    return nullptr;
}

static HWND messageBox();

static HWND findWindowNamed(const std::wstring& name)
{
    if (name == L"main")
        return mainDialog();
    if (name == L"settings")
        return pageWith(IDC_SETTINGS_PWDBANK);
    if (name == L"sites")
        return pageWith(IDC_SITE_LIST);
    if (name == L"edit")
        return topLevelWith(IDC_SITE_EDIT_NAME);
    if (name == L"input")
        return topLevelWith(IDC_INPUT_EDIT_VALUE);
    if (name == L"box")
        return messageBox();
    return nullptr;
}

static HWND window(const std::wstring& name)
{
    return waitFor([&] { return findWindowNamed(name); });
}

static HWND messageBox()
{
    for (UINT caption : {IDS_CAPTION_ERROR, IDS_CAPTION_INFO}) {
        HWND box = FindWindowW(L"#32770", toolString(caption).c_str());
        if (box && GetDlgItem(box, 0xFFFF))
            return box;
    }
    return nullptr;
}

static std::wstring textOf(HWND control)
{
    wchar_t buffer[TEXT_CHARS] = {};
    SendMessageTimeoutW(control, WM_GETTEXT, TEXT_CHARS, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, WAIT_MS,
                        nullptr);
    return buffer;
}

// Runs a list view message whose structure lives in the tool's process:
// the structure is copied there, the message sent, and the result read back.
template <typename T>
static bool remoteListCall(HWND list, UINT message, WPARAM wParam, T* data, size_t extra = 0)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return false;
    size_t size = sizeof(T) + extra;
    BYTE* remote = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    bool ok = false;
    if (remote && WriteProcessMemory(process, remote, data, sizeof(T), nullptr)) {
        SendMessageW(list, message, wParam, reinterpret_cast<LPARAM>(remote));
        ok = ReadProcessMemory(process, remote, data, size, nullptr) != FALSE;
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok;
}

static bool itemRect(HWND list, UINT message, int index, RECT* rect, LONG kind)
{
    rect->left = kind;
    return remoteListCall(list, message, index, rect);
}

static std::wstring cellText(HWND list, int row, int column)
{
    struct Cell {
        LVITEMW item;
        wchar_t text[CELL_CHARS];
    } cell = {};
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return L"";
    Cell* remote = static_cast<Cell*>(VirtualAllocEx(process, nullptr, sizeof(Cell), MEM_COMMIT, PAGE_READWRITE));
    cell.item.iSubItem = column;
    cell.item.cchTextMax = CELL_CHARS;
    cell.item.pszText = remote ? remote->text : nullptr;
    if (remote && WriteProcessMemory(process, remote, &cell, sizeof cell, nullptr)) {
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&remote->item));
        ReadProcessMemory(process, remote, &cell, sizeof cell, nullptr);
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    cell.text[CELL_CHARS - 1] = L'\0';
    return cell.text;
}

static void printCentre(HWND relativeTo, const RECT& rect)
{
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    if (relativeTo)
        ClientToScreen(relativeTo, &centre);
    printf("%ld %ld\n", centre.x, centre.y);
}

static void printUtf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    printf("%s\n", bytes.c_str());
}

static int selectTab(int index)
{
    HWND main = window(L"main");
    HWND tab = main ? GetDlgItem(main, IDC_MAIN_TAB) : nullptr;
    RECT item = {};
    if (!tab || !remoteListCall(tab, TCM_GETITEMRECT, index, &item))
        return 1;
    LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(tab, WM_LBUTTONUP, 0, point);
    Sleep(SETTLE_MS);
    return 0;
}

static int closeTool()
{
    HWND main = window(L"main");
    if (!main)
        return 1;
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND box = waitFor([] { return FindWindowW(L"#32770", toolString(IDS_CAPTION_INFO).c_str()); });
    if (!box)
        return 1;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
}

static int run(int argc, wchar_t** argv)
{
    const std::wstring command = argv[1];
    auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
    auto number = [&](int i) { return i < argc ? _wtoi(argv[i]) : 0; };

    if (command == L"rect") {
        HWND target = arg(2) == L"box" ? waitFor([&] { return FindWindowW(L"#32770", toolString(number(3)).c_str()); })
                                       : window(arg(2));
        if (!target)
            return 1;
        RECT rect;
        GetWindowRect(target, &rect);
        printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        return 0;
    }
    if (command == L"control" || command == L"text" || command == L"checked" || command == L"enabled") {
        HWND parent = window(arg(2));
        HWND control = parent ? GetDlgItem(parent, number(3)) : nullptr;
        if (!control)
            return 1;
        if (command == L"text") {
            printUtf8(textOf(control));
        } else if (command == L"checked") {
            printf("%d\n", SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
        } else if (command == L"enabled") {
            printf("%d\n", IsWindowEnabled(control) ? 1 : 0);
        } else {
            RECT rect;
            GetClientRect(control, &rect);
            printCentre(control, rect);
        }
        return 0;
    }
    if (command == L"row" || command == L"count" || command == L"cell") {
        HWND parent = window(arg(2));
        HWND list = parent ? GetDlgItem(parent, number(3)) : nullptr;
        if (!list)
            return 1;
        if (command == L"count") {
            printf("%d\n", static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
            return 0;
        }
        if (command == L"cell") {
            printUtf8(cellText(list, number(4), number(5)));
            return 0;
        }
        RECT rect = {};
        if (!itemRect(list, LVM_GETITEMRECT, number(4), &rect, LVIR_LABEL))
            return 1;
        printCentre(list, rect);
        return 0;
    }
    if (command == L"box") {
        HWND box = messageBox();
        if (!box) {
            printf("none\n");
            return 0;
        }
        printUtf8(textOf(box) + L"|" + textOf(GetDlgItem(box, 0xFFFF)));
        return 0;
    }
    if (command == L"gone") {
        for (int waited = 0; waited <= WAIT_MS; waited += POLL_MS) {
            HWND target = arg(2) == L"box" ? messageBox() : findWindowNamed(arg(2));
            if (!target || !IsWindowVisible(target))
                return 0;
            Sleep(POLL_MS);
        }
        return 1;
    }
    if (command == L"string") {
        printUtf8(toolString(number(2)));
        return 0;
    }
    if (command == L"tabat") {
        HWND main = window(L"main");
        HWND tab = main ? GetDlgItem(main, IDC_MAIN_TAB) : nullptr;
        RECT item = {};
        if (!tab || !remoteListCall(tab, TCM_GETITEMRECT, number(2), &item))
            return 1;
        printCentre(tab, item);
        return 0;
    }
    if (command == L"tab")
        return selectTab(number(2));
    if (command == L"key") {
        HWND target = window(arg(2));
        if (!target)
            return 1;
        PostMessageW(target, WM_KEYDOWN, number(3), 1);
        PostMessageW(target, WM_KEYUP, number(3), 0xC0000001);
        return 0;
    }
    if (command == L"close")
        return closeTool();
    if (command == L"stop-stubs") {
        for (const wchar_t* windowClass : {L"QOVIMainApp", L"QOVI_PWD_LISTEN"}) {
            if (HWND stub = FindWindowW(windowClass, nullptr))
                PostMessageW(stub, WM_APP, 0, 0);
        }
        return 0;
    }
    fwprintf(stderr, L"QOVIDriver: unknown command\n");
    return 2;
}

int wmain(int argc, wchar_t** argv)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    toolModule = LoadLibraryExW((folder + L"\\QOVIPWDBankSet.exe").c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!toolModule || argc < 2) {
        fwprintf(stderr, L"usage: QOVIDriver COMMAND ... (see the source's opening comment)\n");
        return 2;
    }
    int result = run(argc, argv);
    fflush(stdout);
    return result;
}
