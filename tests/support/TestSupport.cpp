#include "TestSupport.h"
#include "QOVIText.h"

#include <shellapi.h>
#include <bcrypt.h>
#include <wincrypt.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>

namespace qovitest {

// ------------------------------------------------------------------ files --

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

// The folder goes with everything in it, read-only files included.
TempFolder::~TempFolder()
{
    std::wstring from = path_ + L'\0';  // a list of paths, ended by an empty one
    SHFILEOPSTRUCTW remove = {nullptr, FO_DELETE, from.c_str(), nullptr,
                              FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT};
    SHFileOperationW(&remove);
}

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

std::string narrow(const std::wstring& text) { return qovi::toUtf8(text); }

// AES-256-GCM in place, as the store seals its files.
static bool aesGcm(std::vector<unsigned char>& key, std::vector<unsigned char>& nonce, const std::string& aad,
            std::string& data, std::string& tag)
{
    BCRYPT_ALG_HANDLE aes = nullptr;
    BCRYPT_KEY_HANDLE handle = nullptr;
    BCryptOpenAlgorithmProvider(&aes, BCRYPT_AES_ALGORITHM, nullptr, 0);
    BCryptSetProperty(aes, BCRYPT_CHAINING_MODE, (PUCHAR)BCRYPT_CHAIN_MODE_GCM, sizeof BCRYPT_CHAIN_MODE_GCM, 0);
    BCryptGenerateSymmetricKey(aes, &handle, nullptr, 0, key.data(), (ULONG)key.size(), 0);
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = nonce.data();
    info.cbNonce = (ULONG)nonce.size();
    info.pbAuthData = (PUCHAR)aad.data();
    info.cbAuthData = (ULONG)aad.size();
    info.pbTag = (PUCHAR)&tag[0];
    info.cbTag = (ULONG)tag.size();
    ULONG done = 0;
    PUCHAR bytes = (PUCHAR)&data[0];
    NTSTATUS status = BCryptEncrypt(handle, bytes, (ULONG)data.size(), &info, nullptr, 0, bytes, (ULONG)data.size(),
                                    &done, 0);
    BCryptDestroyKey(handle);
    BCryptCloseAlgorithmProvider(aes, 0);
    return BCRYPT_SUCCESS(status);
}

static std::string base64(const unsigned char* bytes, DWORD size)
{
    DWORD length = 0;
    CryptBinaryToStringA(bytes, size, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, nullptr, &length);
    std::string text(length, '\0');
    CryptBinaryToStringA(bytes, size, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &text[0], &length);
    return text.substr(0, length);
}

std::string sealedBankFile(int version, const std::string& content)
{
    std::vector<unsigned char> key(32), nonce(12);
    BCryptGenRandom(nullptr, key.data(), 32, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    BCryptGenRandom(nullptr, nonce.data(), 12, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    static const char entropy[] = "QOVI password bank key v1";
    DATA_BLOB in = {32, key.data()}, salt = {sizeof entropy - 1, (BYTE*)entropy}, out = {};
    if (!CryptProtectData(&in, L"QOVI password bank", &salt, nullptr, nullptr, 0, &out))
        return std::string();
    std::string header = "{\"cipher\":\"AES-256-GCM\",\"format\":\"QOVI password bank\",\"key\":\"" +
                         base64(out.pbData, out.cbData) + "\",\"nonce\":\"" + base64(nonce.data(), 12) +
                         "\",\"saveId\":\"0f\",\"version\":" + std::to_string(version) + "}\n";
    LocalFree(out.pbData);
    std::string data = content, tag(16, '\0');
    return aesGcm(key, nonce, header, data, tag) ? header + data + tag : std::string();
}

// ------------------------------------------------------------- windows --

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

void clickWindow(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    const int x = client.right / 2, y = client.bottom / 2;
    sendMouse(window, WM_MOUSEMOVE, x, y);
    sendMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    sendMouse(window, WM_LBUTTONUP, x, y);
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
    EXPECT_EQ(next_, steps_.size()) << "expected dialogs that never appeared: " << (steps_.size() - next_);
    if (timer_)
        KillTimer(nullptr, timer_);
    if (hook_)
        UnhookWindowsHookEx(hook_);
    activeAnswerer = nullptr;
}

ModalAnswerer& ModalAnswerer::expectBox(int button, const std::wstring& caption, const std::wstring& text,
                                        std::function<void()> meanwhile)
{
    steps_.push_back(Step{true, button, caption, text, [meanwhile, button](HWND box) {
                              if (meanwhile)
                                  meanwhile();
                              PostMessageW(box, WM_COMMAND, button, 0);
                          }});
    return *this;
}

ModalAnswerer& ModalAnswerer::expectDialog(std::function<void(HWND)> action)
{
    steps_.push_back(Step{false, 0, L"", L"", std::move(action)});
    return *this;
}

LRESULT CALLBACK ModalAnswerer::cbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && activeAnswerer)
        activeAnswerer->onActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Steps run from the thread's message loop (the modal loop of the
// dialog or a loop nested in it), not inside the hook, so they may send
// messages and open further dialogs: a zero-time thread timer carries them.
static std::vector<std::pair<UINT_PTR, std::function<void()>>> deferredSteps;

static void CALLBACK runDeferredStep(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    for (auto it = deferredSteps.begin(); it != deferredSteps.end(); ++it) {
        if (it->first == timer) {
            std::function<void()> step = std::move(it->second);
            deferredSteps.erase(it);
            step();
            return;
        }
    }
}

void ModalAnswerer::onActivate(HWND window)
{
    // A dialog activated again (its message box closed) is not a new one, and
    // modeless dialogs the test created itself are not answered.
    if (!isDialogWindow(window) || std::find(handled_.begin(), handled_.end(), window) != handled_.end() ||
        (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD))
        return;
    handled_.push_back(window);
    const std::string caption = narrow(windowText(window)), text = narrow(windowText(GetDlgItem(window, 0xFFFF)));
    if (next_ >= steps_.size()) {
        ADD_FAILURE() << "unexpected dialog \"" << caption << "\": " << text;
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    const Step& step = steps_[next_++];
    EXPECT_EQ(step.messageBox, GetDlgItem(window, 0xFFFF) != nullptr) << "a message box or a dialog: " << caption;
    if (!step.caption.empty()) {
        EXPECT_EQ(narrow(step.caption), caption);
    }
    if (!step.text.empty()) {
        EXPECT_EQ(narrow(step.text), text);
    }
    std::function<void(HWND)> action = step.action;
    deferredSteps.emplace_back(SetTimer(nullptr, 0, 0, runDeferredStep), [action, window] { action(window); });
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

static std::wstring commandLineOf(const std::wstring& exe, const std::wstring& arguments)
{
    return L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
}

bool ChildProcess::start(const std::wstring& exe, const std::wstring& arguments)
{
    std::wstring commandLine = commandLineOf(exe, arguments);
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

    std::wstring commandLine = commandLineOf(exe, arguments);
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

}  // namespace qovitest
