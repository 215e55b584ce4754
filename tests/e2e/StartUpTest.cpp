// The real QOVIPWDBankSet.exe beside the stand-ins of the suite's main
// application and password listener, on a bank in a temporary data folder,
// driven from outside: what needs real processes - the mutexes and the
// single-instance protocol, the exit codes, message 1124 to the companion,
// WM_CLOSE to the listener.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "TestSupport.h"
#include "resource.h"

using namespace qovitest;

namespace {

const long REFUSED = static_cast<long>(0xFFFFFFFF);  // exit code -1

std::wstring bin(const wchar_t* name) { return exeFolder() + L"\\" + name; }

// The tool's strings, read from its own file.
std::wstring toolString(UINT id)
{
    static HMODULE tool = LoadLibraryExW(bin(L"QOVIPWDBankSet.exe").c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    wchar_t buffer[1024] = {};
    LoadStringW(tool, id, buffer, 1024);
    return buffer;
}

// The tool's main dialog once shown (it exists before its pages do), or null.
HWND mainDialog()
{
    HWND dialog = nullptr;
    waitUntil([&] { return (dialog = FindWindowW(L"#32770", toolString(IDS_MAIN_CAPTION).c_str())) && IsWindowVisible(dialog); });
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

// Waits for a box of the tool with this caption and presses button; returns its text.
std::wstring answerBox(UINT captionId, int button)
{
    HWND box = nullptr;
    if (!waitUntil([&] { return (box = FindWindowW(L"#32770", toolString(captionId).c_str())) != nullptr; }))
        return L"<no box>";
    const std::wstring text = windowText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, button, 0);
    waitUntil([&] { return !IsWindow(box); });
    return text;
}

// Starts a stand-in that records what it receives into the file given.
bool startStub(ChildProcess& stub, const wchar_t* exe, const wchar_t* windowClass, const std::wstring& record)
{
    return stub.start(bin(exe), L"--record \"" + record + L"\"") &&
           waitUntil([&] { return FindWindowW(windowClass, nullptr) != nullptr; });
}

}  // namespace

// Refused without the companion; beside it, a second start is refused and
// brings the first one's window back up; Apply after a change tells the
// listener once; Cancel on the close question keeps it running, OK ends it
// with 0 and 1124 to the companion, leaving the companion's mutex released,
// not abandoned; the next start works after a normal end and after a killed
// instance left the mutex abandoned.
TEST(StartUp, SingleInstanceExitCodesAndTheSuitesWindowsHearOfIt)
{
    TempFolder data;
    ScopedEnvironment dataDir(L"QOVI_DATA_DIR", data.path());
    ChildProcess companion, listener, refused;
    ASSERT_TRUE(refused.start(bin(L"QOVIPWDBankSet.exe")));
    EXPECT_EQ(REFUSED, refused.wait());
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", toolString(IDS_MAIN_CAPTION).c_str()));
    ASSERT_TRUE(startStub(companion, L"QOVIMainAppStub.exe", L"QOVIMainApp", data.file(L"companion.txt")));
    ASSERT_TRUE(startStub(listener, L"QOVIPwdListenerStub.exe", L"QOVI_PWD_LISTEN", data.file(L"listener.txt")));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ChildProcess tool, second;
        ASSERT_TRUE(tool.start(bin(L"QOVIPWDBankSet.exe")));
        HWND dialog = mainDialog();
        ASSERT_NE(nullptr, dialog);
        if (round == 1) {
            tool.kill();
            continue;
        }
        ShowWindow(dialog, SW_MINIMIZE);
        ASSERT_TRUE(second.start(bin(L"QOVIPWDBankSet.exe")));
        EXPECT_EQ(REFUSED, second.wait());
        EXPECT_TRUE(waitUntil([&] { return !IsIconic(dialog); }, 3000)) << "the first was not brought up";
        if (round == 0) {
            HWND page = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
            while (page && !GetDlgItem(page, IDC_SETTINGS_PWDBANK))
                page = FindWindowExW(dialog, page, L"#32770", nullptr);
            ASSERT_NE(nullptr, page);
            SendMessageW(GetDlgItem(page, IDC_SETTINGS_PWDBANK), BM_CLICK, 0, 0);
            PostMessageW(GetDlgItem(dialog, IDC_MAIN_APPLY), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(GetDlgItem(dialog, IDC_MAIN_APPLY), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            EXPECT_EQ(toolString(IDS_SAVED), answerBox(IDS_CAPTION_INFO, IDOK));
            EXPECT_TRUE(waitUntil([&] { return readFileBytes(data.file(L"listener.txt")) == "WM_CLOSE\n"; }, 5000));
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_EQ(toolString(IDS_CONFIRM_CLOSE), answerBox(IDS_CAPTION_INFO, round == 0 ? IDCANCEL : IDOK));
        if (round == 0) {
            Sleep(200);
            EXPECT_TRUE(tool.running());
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            answerBox(IDS_CAPTION_INFO, IDOK);
        }
        EXPECT_EQ(0, tool.wait());
        HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"QOVIMainAppMutex");
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0)) << "the tool left the companion's mutex abandoned";
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    EXPECT_TRUE(waitUntil([&] { return readFileBytes(data.file(L"companion.txt")) == "1124\n1124\n"; }, 5000))
        << readFileBytes(data.file(L"companion.txt"));
    for (const wchar_t* stub : {L"QOVIMainApp", L"QOVI_PWD_LISTEN"})
        PostMessageW(FindWindowW(stub, nullptr), WM_APP, 0, 0);  // the stand-ins' way out
    EXPECT_EQ(0, companion.wait(5000) + listener.wait(5000));
}
