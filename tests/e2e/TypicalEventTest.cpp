// The typical event with the real program: a new password for a saved site,
// taken over in the input item dialog, saved in the web site dialog, then
// applied. Driven from outside with the messages a user's actions produce;
// checked in the listener's record and in qovibank's export of the bank.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <string>
#include "ToolSession.h"

using namespace qovitest;

namespace {

const char BANK_CSV[] =
    "name,url,username,password\n"
    "Northwind Mail,https://mail.northwind.example/login,anna.berg,Tulip-Harbor-42\n"
    "Fabrikam Bank,https://online.fabrikam.example/signin,aberg1987,Quartz!Meadow7\n";

// Waits for a visible dialog of the tool holding the control: a top-level
// one, or with parent given one of its children (a page of the main dialog).
HWND waitForDialogWith(const ChildProcess& tool, HWND parent, int controlId)
{
    HWND found = nullptr;
    waitUntil([&] {
        for (found = FindWindowExW(parent, nullptr, L"#32770", nullptr); found;
             found = FindWindowExW(parent, found, L"#32770", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == tool.id() && IsWindowVisible(found) && GetDlgItem(found, controlId))
                return true;
        }
        return false;
    });
    return found;
}

// Sends a message whose structure must live in the tool's process: copied
// into a block allocated there, sent, and copied back.
template <typename T>
void sendThroughTool(HWND window, UINT message, WPARAM wParam, T& data)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    void* block = VirtualAllocEx(process, nullptr, sizeof data, MEM_COMMIT, PAGE_READWRITE);
    WriteProcessMemory(process, block, &data, sizeof data, nullptr);
    SendMessageW(window, message, wParam, reinterpret_cast<LPARAM>(block));
    ReadProcessMemory(process, block, &data, sizeof data, nullptr);
    VirtualFreeEx(process, block, 0, MEM_RELEASE);
    CloseHandle(process);
}

// Selects exactly this row, as a click on it does.
void selectRow(HWND list, int row)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    sendThroughTool(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), item);
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    sendThroughTool(list, LVM_SETITEMSTATE, row, item);
}

}  // namespace

TEST(TypicalEvent, NewPasswordSavedAndAppliedChangesOnlyThatPassword)
{
    ToolSession session;
    ASSERT_TRUE(writeFileBytes(session.dataFolder() + L"\\bank.csv", BANK_CSV));
    ASSERT_EQ(0, session.qovibank(L"import \"" + session.dataFolder() + L"\\bank.csv\""));
    std::string before;
    ASSERT_EQ(0, session.qovibank(L"export --format csv", &before));
    ASSERT_NE(std::string::npos, before.find("Tulip-Harbor-42")) << before;

    ASSERT_TRUE(session.startCompanion());
    ASSERT_TRUE(session.startListener());
    ChildProcess tool;
    ASSERT_TRUE(session.startTool(tool));
    HWND mainDialog = session.waitForMainDialog();
    ASSERT_NE(nullptr, mainDialog);

    // The list page (a click on its tab), its first site opened.
    HWND tab = GetDlgItem(mainDialog, 101);
    RECT rect = {};
    sendThroughTool(tab, TCM_GETITEMRECT, 1, rect);
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(tab, WM_LBUTTONUP, 0, point);
    HWND sitesPage = waitForDialogWith(tool, mainDialog, 303);
    ASSERT_NE(nullptr, sitesPage);
    selectRow(GetDlgItem(sitesPage, 303), 0);
    ToolSession::clickButton(GetDlgItem(sitesPage, 301));
    HWND siteDialog = waitForDialogWith(tool, nullptr, 321);
    ASSERT_NE(nullptr, siteDialog);

    // The password row in the input item dialog: a new password, typed masked, taken over.
    selectRow(GetDlgItem(siteDialog, 321), 1);
    ToolSession::clickButton(GetDlgItem(siteDialog, 324));
    HWND inputDialog = waitForDialogWith(tool, nullptr, 342);
    ASSERT_NE(nullptr, inputDialog);
    EXPECT_NE(0, SendMessageW(GetDlgItem(inputDialog, 342), EM_GETPASSWORDCHAR, 0, 0));
    SendMessageW(GetDlgItem(inputDialog, 342), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"New-Secret-77"));
    PostMessageW(inputDialog, WM_COMMAND, MAKEWPARAM(341, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(inputDialog, 341)));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(inputDialog); }));

    // Save, close the site, Apply: each save tells the listener.
    ToolSession::clickButton(GetDlgItem(siteDialog, 325));
    EXPECT_EQ(session.toolString(1012), session.answerBox(1007, IDOK));
    ToolSession::clickButton(GetDlgItem(siteDialog, 326));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(siteDialog); }));
    ToolSession::clickButton(GetDlgItem(mainDialog, 102));
    EXPECT_EQ(session.toolString(1012), session.answerBox(1007, IDOK));
    EXPECT_TRUE(waitUntil([&] { return session.listenerRecord() == "WM_CLOSE\nWM_CLOSE\n"; }, 5000))
        << session.listenerRecord();

    PostMessageW(mainDialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(session.toolString(1014), session.answerBox(1007, IDOK));
    EXPECT_EQ(0, tool.wait(10000));
    std::string after;
    ASSERT_EQ(0, session.qovibank(L"export --format csv", &after));
    before.replace(before.find("Tulip-Harbor-42"), 15, "New-Secret-77");
    EXPECT_EQ(before, after);
}
