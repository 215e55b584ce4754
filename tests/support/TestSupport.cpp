#include "TestSupport.h"
#include "QOVIText.h"

#include <shellapi.h>
#include <bcrypt.h>
#include <wincrypt.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
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
    const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
    hadOld_ = length > 0 && length < 32768;
    old_.assign(buffer, hadOld_ ? length : 0);
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
    DWORD start = GetTickCount(), lastMessage = start;
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
    std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
    text.resize(GetWindowTextW(window, &text[0], static_cast<int>(text.size())));
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
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
        sendMouse(window, message, client.right / 2, client.bottom / 2, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0);
}

// ------------------------------------------------------ modal answering --

static thread_local ModalAnswerer* activeAnswerer;

static bool isDialogWindow(HWND window)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    return lstrcmpW(className, L"#32770") == 0;
}

ModalAnswerer::ModalAnswerer(DWORD watchdogMs)
{
    // Dialogs that exist already (the windows under test) are not answered
    // when they become active again.
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM handled) {
        if (isDialogWindow(window))
            reinterpret_cast<std::vector<HWND>*>(handled)->push_back(window);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&handled_));
    activeAnswerer = this;
    hook_ = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, watchdogMs, watchdogProc);
}

ModalAnswerer::~ModalAnswerer()
{
    EXPECT_EQ(next_, steps_.size()) << "expected dialogs that never appeared: " << (steps_.size() - next_);
    KillTimer(nullptr, timer_);
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
static std::map<UINT_PTR, std::function<void()>> deferredSteps;

static void CALLBACK runDeferredStep(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    std::function<void()> step = std::move(deferredSteps[timer]);
    deferredSteps.erase(timer);
    if (step)
        step();
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
    EXPECT_TRUE(step.caption.empty() || narrow(step.caption) == caption) << caption;
    EXPECT_TRUE(step.text.empty() || narrow(step.text) == text) << text;
    std::function<void(HWND)> action = step.action;
    deferredSteps[SetTimer(nullptr, 0, 0, runDeferredStep)] = [action, window] { action(window); };
}

void CALLBACK ModalAnswerer::watchdogProc(HWND, UINT, UINT_PTR, DWORD)
{
    ADD_FAILURE() << "watchdog: a modal loop did not end in time";
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM) {
        if (isDialogWindow(window) && IsWindowEnabled(window) && !(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD))
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }, 0);
}

// ------------------------------------------------------------ processes --

ChildProcess::~ChildProcess()
{
    if (running())
        kill();
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
}

bool ChildProcess::start(const std::wstring& exe, const std::wstring& arguments, HANDLE output, HANDLE errors)
{
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {sizeof startup};
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = errors ? errors : output;
    }
    return CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr,
                          output ? CREATE_NO_WINDOW : 0, nullptr, nullptr, &startup, &info_) != FALSE;
}

long ChildProcess::wait(DWORD timeoutMs)
{
    DWORD code = static_cast<DWORD>(-2);
    if (info_.hProcess && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0)
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
    ChildProcess child;
    const bool started = child.start(exe, arguments, writeEnd);
    std::string collected = started ? "" : "could not start the program, error " + std::to_string(GetLastError());
    CloseHandle(writeEnd);
    char chunk[4096];
    DWORD got = 0;
    while (started && ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
        collected.append(chunk, got);
    CloseHandle(readEnd);
    if (output)
        *output = collected;
    return started ? child.wait(timeoutMs) : -3;  // a program still running then is killed
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
