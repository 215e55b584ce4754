#include "TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>

namespace qovitest {

// ------------------------------------------------------------------ files --

static void removeTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
}

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter;
    for (;;) {
        wchar_t name[MAX_PATH];
        wsprintfW(name, L"%sqovitest-%lu-%lu-%u", base, GetCurrentProcessId(), GetTickCount(), ++counter);
        if (CreateDirectoryW(name, nullptr)) {
            path_ = name;
            break;
        }
    }
}

TempFolder::~TempFolder() { removeTree(path_); }

ScopedEnvironment::ScopedEnvironment(const std::wstring& name, const std::wstring& value) : name_(name)
{
    wchar_t buffer[32768];
    DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
    if (length > 0 && length < 32768) {
        hadOld_ = true;
        old_.assign(buffer, length);
    }
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

ScopedEnvironment::~ScopedEnvironment()
{
    SetEnvironmentVariableW(name_.c_str(), hadOld_ ? old_.c_str() : nullptr);
}

std::string readFileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool writeFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> listFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring exeFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::string narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, nullptr, nullptr);
    return result;
}

// -------------------------------------------------------------- messages --

void pumpMessages(DWORD quietMs, DWORD maxMs)
{
    DWORD start = GetTickCount();
    DWORD lastMessage = start;
    for (;;) {
        MSG msg;
        bool any = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD now = GetTickCount();
        if (any)
            lastMessage = now;
        if (now - lastMessage >= quietMs || now - start >= maxMs)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

int countAndRemovePosted(HWND window, UINT message)
{
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, window, message, message, PM_REMOVE))
        ++count;
    return count;
}

// ------------------------------------------------------------- windows --

HWND createDialogFromResources(HINSTANCE module, int templateId, DLGPROC procedure, HWND parent, LPARAM param)
{
    return CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parent, procedure, param);
}

std::wstring windowText(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(window, &text[0], length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

LRESULT sendMouse(HWND window, UINT message, int x, int y, WPARAM keys)
{
    return SendMessageW(window, message, keys, MAKELPARAM(x, y));
}

void clickWindow(HWND window, int x, int y)
{
    RECT client;
    GetClientRect(window, &client);
    if (x < 0)
        x = client.right / 2;
    if (y < 0)
        y = client.bottom / 2;
    sendMouse(window, WM_MOUSEMOVE, x, y);
    sendMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    sendMouse(window, WM_LBUTTONUP, x, y);
}

// ------------------------------------------------------------ list views --

int listViewRowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring listViewText(HWND list, int row, int column)
{
    wchar_t buffer[1024] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

std::vector<int> listViewSelectedRows(HWND list)
{
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0)
        rows.push_back(row);
    return rows;
}

LRESULT notifyListView(HWND list, int code)
{
    NMITEMACTIVATE notify = {};
    notify.hdr.hwndFrom = list;
    notify.hdr.idFrom = GetDlgCtrlID(list);
    notify.hdr.code = code;
    notify.iItem = -1;
    std::vector<int> rows = listViewSelectedRows(list);
    if (!rows.empty())
        notify.iItem = rows.front();
    return SendMessageW(GetParent(list), WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify));
}

void selectListViewRows(HWND list, std::initializer_list<int> rows)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    for (int row : rows) {
        item.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    notifyListView(list, NM_CLICK);
}

// ------------------------------------------------------ modal answering --

static thread_local ModalAnswerer* activeAnswerer;

static bool isDialogWindow(HWND window)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    return lstrcmpW(className, L"#32770") == 0;
}

static BOOL CALLBACK collectDialogProc(HWND window, LPARAM handled)
{
    if (isDialogWindow(window))
        reinterpret_cast<std::vector<HWND>*>(handled)->push_back(window);
    return TRUE;
}

ModalAnswerer::ModalAnswerer(DWORD watchdogMs)
{
    // Dialogs that exist already (the windows under test) are not answered
    // when they become active again.
    EnumThreadWindows(GetCurrentThreadId(), collectDialogProc, reinterpret_cast<LPARAM>(&handled_));
    activeAnswerer = this;
    hook_ = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, watchdogMs, watchdogProc);
}

ModalAnswerer::~ModalAnswerer()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    if (hook_)
        UnhookWindowsHookEx(hook_);
    activeAnswerer = nullptr;
}

ModalAnswerer& ModalAnswerer::expectBox(int button, const std::wstring& caption, const std::wstring& text)
{
    steps_.push_back(Step{true, button, caption, text, nullptr});
    return *this;
}

ModalAnswerer& ModalAnswerer::expectDialog(std::function<void(HWND)> action)
{
    steps_.push_back(Step{false, 0, L"", L"", std::move(action)});
    return *this;
}

void ModalAnswerer::verifyAllAnswered() const
{
    EXPECT_EQ(next_, steps_.size()) << "expected dialogs that never appeared: " << (steps_.size() - next_);
}

LRESULT CALLBACK ModalAnswerer::cbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && activeAnswerer)
        activeAnswerer->onActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ModalAnswerer::onActivate(HWND window)
{
    if (!isDialogWindow(window))
        return;
    // A dialog activated again (its message box closed) is not a new one.
    if (std::find(handled_.begin(), handled_.end(), window) != handled_.end())
        return;
    // Modeless dialogs the test created itself are not answered.
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)
        return;
    handled_.push_back(window);

    SeenDialog seen;
    seen.caption = windowText(window);
    HWND textControl = GetDlgItem(window, 0xFFFF);
    seen.messageBox = textControl != nullptr;
    if (textControl)
        seen.text = windowText(textControl);
    seen_.push_back(seen);

    if (next_ >= steps_.size()) {
        ADD_FAILURE() << "unexpected dialog \"" << narrow(seen.caption) << "\": " << narrow(seen.text);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    const Step& step = steps_[next_++];
    if (step.messageBox) {
        EXPECT_TRUE(seen.messageBox) << "expected a message box, got dialog \"" << narrow(seen.caption) << "\"";
        if (!step.caption.empty()) {
            EXPECT_EQ(narrow(step.caption), narrow(seen.caption));
        }
        if (!step.text.empty()) {
            EXPECT_EQ(narrow(step.text), narrow(seen.text));
        }
        PostMessageW(window, WM_COMMAND, step.button, 0);
    } else {
        step.action(window);
    }
}

static BOOL CALLBACK cancelDialogProc(HWND window, LPARAM)
{
    if (isDialogWindow(window) && IsWindowEnabled(window) && !(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD))
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

void CALLBACK ModalAnswerer::watchdogProc(HWND, UINT, UINT_PTR, DWORD)
{
    ADD_FAILURE() << "watchdog: a modal loop did not end in time";
    EnumThreadWindows(GetCurrentThreadId(), cancelDialogProc, 0);
}

// ------------------------------------------------------------ processes --

ChildProcess::~ChildProcess()
{
    if (running())
        kill();
    if (info_.hProcess)
        CloseHandle(info_.hProcess);
    if (info_.hThread)
        CloseHandle(info_.hThread);
}

bool ChildProcess::start(const std::wstring& exe, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info_) != FALSE;
}

long ChildProcess::wait(DWORD timeoutMs)
{
    if (!info_.hProcess)
        return -2;
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -2;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
}

void ChildProcess::kill()
{
    if (info_.hProcess) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

bool ChildProcess::running() const
{
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

long runProcess(const std::wstring& exe, const std::wstring& arguments, std::string* output, DWORD timeoutMs)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return -3;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                  nullptr, &startup, &info);
    DWORD startError = GetLastError();
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        if (output)
            *output = "could not start the program, error " + std::to_string(startError);
        return -3;
    }
    std::string collected;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
        collected.append(chunk, got);
    CloseHandle(readEnd);
    DWORD code = static_cast<DWORD>(-2);
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    if (output)
        *output = collected;
    return static_cast<long>(code);
}

bool waitUntil(const std::function<bool()>& predicate, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!predicate()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        pumpMessages(0, 0);
        Sleep(10);
    }
    return true;
}

HWND waitForWindow(const wchar_t* className, const wchar_t* caption, DWORD timeoutMs)
{
    HWND window = nullptr;
    waitUntil([&] { return (window = FindWindowW(className, caption)) != nullptr; }, timeoutMs);
    return window;
}

}  // namespace qovitest
