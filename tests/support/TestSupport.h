// TestSupport.h - helpers for driving real Win32 windows from GoogleTest.
//
// Everything here runs on the test's own thread: dialogs are created from the
// real resources, messages are pumped until the queue is quiet, mouse actions
// are the messages a real click produces, and message boxes or nested modal
// dialogs are answered from a thread-local CBT hook.
#pragma once

#include <windows.h>
#include <functional>
#include <initializer_list>
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
bool fileExists(const std::wstring& path);
std::vector<std::wstring> listFolder(const std::wstring& folder);

// Folder of the running test executable (the build's bin folder).
std::wstring exeFolder();

std::string narrow(const std::wstring& text);  // UTF-8

// -------------------------------------------------------------- messages --

// Dispatches this thread's messages until none has arrived for quietMs
// (and at most maxMs in all).
void pumpMessages(DWORD quietMs = 20, DWORD maxMs = 5000);

// Removes every queued message of this thread for this window and message,
// returning how many there were.
int countAndRemovePosted(HWND window, UINT message);

// ------------------------------------------------------------- windows --

// Creates a modeless dialog from the template of the given module.
HWND createDialogFromResources(HINSTANCE module, int templateId, DLGPROC procedure, HWND parent = nullptr,
                               LPARAM param = 0);

std::wstring windowText(HWND window);

// Sends the messages of a real left click at client point (x, y) of the
// window: a move, the press and the release. x or y < 0 means the centre.
void clickWindow(HWND window, int x = -1, int y = -1);
// One mouse message at client point (x, y).
LRESULT sendMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);

// ------------------------------------------------------------ list views --

int listViewRowCount(HWND list);
std::wstring listViewText(HWND list, int row, int column);
std::vector<int> listViewSelectedRows(HWND list);
// Selects exactly these rows, then tells the list's parent NM_CLICK as a
// mouse click in the list would.
void selectListViewRows(HWND list, std::initializer_list<int> rows);
// Sends the parent the NM_CLICK or NM_DBLCLK a click on the list produces.
LRESULT notifyListView(HWND list, int code);

// ------------------------------------------------------ modal answering --

struct SeenDialog {
    std::wstring caption;
    std::wstring text;   // a message box's text (control 0xFFFF), else empty
    bool messageBox = false;
};

// Answers, in order, the dialogs (class "#32770") that become active on this
// thread while it exists: each expectation takes the next newly activated
// one. A message box is answered by posting WM_COMMAND with the expected
// button; a dialog step runs its action. A dialog that no expectation was
// left for fails the test and is cancelled. A watchdog timer fails the test
// and cancels whatever is open if nothing ends within the time limit.
class ModalAnswerer {
public:
    explicit ModalAnswerer(DWORD watchdogMs = 10000);
    ~ModalAnswerer();
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    // Expects a message box with this caption and text (empty = any) and presses button.
    ModalAnswerer& expectBox(int button, const std::wstring& caption = L"", const std::wstring& text = L"");
    // Expects a dialog; action runs inside the hook, so it must only post.
    ModalAnswerer& expectDialog(std::function<void(HWND)> action);

    const std::vector<SeenDialog>& seen() const { return seen_; }
    size_t pending() const { return steps_.size() - next_; }
    // Fails the test when expectations are left over.
    void verifyAllAnswered() const;

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
    std::vector<SeenDialog> seen_;
};

// ------------------------------------------------------------ processes --

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts exe (a path) with the command line arguments given.
    bool start(const std::wstring& exe, const std::wstring& arguments = L"");
    // Waits for the end; returns the exit code, or -2 on a time-out.
    long wait(DWORD timeoutMs = 10000);
    void kill();
    bool running() const;
    DWORD id() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_ = {};
};

// Runs a console program to its end and returns its exit code; its standard
// output and error (together) go to *output when given.
long runProcess(const std::wstring& exe, const std::wstring& arguments, std::string* output = nullptr,
                DWORD timeoutMs = 30000);

// Waits until a top-level window of the class (and caption, when given)
// exists; returns it or null.
HWND waitForWindow(const wchar_t* className, const wchar_t* caption = nullptr, DWORD timeoutMs = 10000);

// Polls until predicate() is true or the time is up.
bool waitUntil(const std::function<bool()>& predicate, DWORD timeoutMs = 10000);

}  // namespace qovitest
