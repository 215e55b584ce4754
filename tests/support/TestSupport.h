// TestSupport.h - helpers for driving real Win32 windows and processes from
// GoogleTest.
//
// Everything here runs on the test's own thread: messages are pumped until
// the queue is quiet, mouse actions are the messages a real click produces,
// and message boxes or nested modal dialogs are answered from a thread-local
// CBT hook.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace qovitest {

// ------------------------------------------------------------------ files --

// A fresh folder under %TEMP%, removed with everything in it at destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Sets an environment variable for this process and restores the old value
// (or removes it) at destruction.
class ScopedEnvironment {
public:
    ScopedEnvironment(const std::wstring& name, const std::wstring& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_, old_;
    bool hadOld_ = false;
};

std::string readFileBytes(const std::wstring& path);
bool writeFileBytes(const std::wstring& path, const std::string& bytes);

// Folder of the running test executable (the build's bin folder).
std::wstring exeFolder();

std::string narrow(const std::wstring& text);  // UTF-8

// A bank file of the given version around the given content, sealed as the
// store seals its files, under a new key protected for this user.
std::string sealedBankFile(int version, const std::string& content);

// ------------------------------------------------------------- windows --

// Dispatches this thread's messages until none has arrived for quietMs
// (and at most maxMs in all).
void pumpMessages(DWORD quietMs = 20, DWORD maxMs = 5000);


std::wstring windowText(HWND window);

// One mouse message at client point (x, y).
LRESULT sendMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);
// The messages of a real left click at the window's centre: a move, the
// press and the release.
void clickWindow(HWND window);

// ------------------------------------------------------ modal answering --

// Answers, in order, the dialogs (class "#32770") that become active on this
// thread while it exists: each expectation takes the next newly activated
// one. A message box must show the expected caption and text (empty: any)
// and is answered with the expected button, after the meanwhile action if
// there is one; a dialog step runs its action. Actions run from the dialog's
// modal loop, so they may act on windows as a user would. A dialog no
// expectation was left for fails the test and is cancelled; so do
// expectations left over when the answerer goes. A watchdog timer fails the
// test and cancels whatever is open if nothing ends within the time limit.
class ModalAnswerer {
public:
    explicit ModalAnswerer(DWORD watchdogMs = 10000);
    ~ModalAnswerer();
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    ModalAnswerer& expectBox(int button, const std::wstring& caption = L"", const std::wstring& text = L"",
                             std::function<void()> meanwhile = nullptr);
    ModalAnswerer& expectDialog(std::function<void(HWND)> action);

private:
    struct Step {
        bool messageBox;
        int button;
        std::wstring caption, text;
        std::function<void(HWND)> action;
    };
    static LRESULT CALLBACK cbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK watchdogProc(HWND, UINT, UINT_PTR, DWORD);
    void onActivate(HWND window);

    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    std::vector<Step> steps_;
    size_t next_ = 0;
    std::vector<HWND> handled_;
};

// ------------------------------------------------------------ processes --

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts exe (a path) with the command line arguments given; with output,
    // its standard output goes there, and its standard error too unless errors
    // is given (inheritable handles).
    bool start(const std::wstring& exe, const std::wstring& arguments = L"", HANDLE output = nullptr,
               HANDLE errors = nullptr);
    // Waits for the end; returns the exit code, or -2 on a time-out.
    long wait(DWORD timeoutMs = 10000);
    void kill();
    bool running() const;

private:
    PROCESS_INFORMATION info_ = {};
};

// Runs a console program to its end and returns its exit code; its standard
// output and error (together) go to *output when given.
long runProcess(const std::wstring& exe, const std::wstring& arguments, std::string* output = nullptr,
                DWORD timeoutMs = 30000);

// Polls until predicate() is true or the time is up, pumping this thread's messages.
bool waitUntil(const std::function<bool()>& predicate, DWORD timeoutMs = 10000);

}  // namespace qovitest
