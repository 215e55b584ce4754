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

// A top-level dialog of the process that holds the control.
struct DialogSearch {
    DWORD processId;
    int controlId;
    HWND found;
};

BOOL CALLBACK findDialogWithControl(HWND window, LPARAM parameter)
{
    DialogSearch* search = reinterpret_cast<DialogSearch*>(parameter);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, search->controlId)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND waitForDialogWith(const ChildProcess& tool, int controlId)
{
    DialogSearch search = {tool.id(), controlId, nullptr};
    waitUntil([&] {
        search.found = nullptr;
        EnumWindows(findDialogWithControl, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

// A child dialog (page) of the main dialog that holds the control.
HWND pageWith(HWND mainDialog, int controlId)
{
    for (HWND page = FindWindowExW(mainDialog, nullptr, L"#32770", nullptr); page;
         page = FindWindowExW(mainDialog, page, L"#32770", nullptr)) {
        if (GetDlgItem(page, controlId))
            return page;
    }
    return nullptr;
}

// List view and tab messages whose structures must live in the tool's
// process: a block allocated there, written and read back around the call.
class RemoteBlock {
public:
    RemoteBlock(HWND window, size_t size) : size_(size)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process_)
            address_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBlock()
    {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    char* at(size_t offset) const { return address_ + offset; }
    bool write(size_t offset, const void* data, size_t size) const
    {
        return address_ && WriteProcessMemory(process_, address_ + offset, data, size, nullptr);
    }
    bool read(size_t offset, void* data, size_t size) const
    {
        return address_ && ReadProcessMemory(process_, address_ + offset, data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    char* address_ = nullptr;
    size_t size_;
};

std::wstring cellText(HWND list, int row, int column)
{
    const int chars = 260;
    RemoteBlock block(list, sizeof(LVITEMW) + chars * sizeof(wchar_t));
    LVITEMW item = {};
    item.iSubItem = column;
    item.cchTextMax = chars;
    item.pszText = reinterpret_cast<wchar_t*>(block.at(sizeof(LVITEMW)));
    wchar_t text[chars] = {};
    if (block.write(0, &item, sizeof item)) {
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(block.at(0)));
        block.read(sizeof(LVITEMW), text, sizeof text);
    }
    return text;
}

// Selects exactly this row, as a click on it does.
void selectRow(HWND list, int row)
{
    RemoteBlock block(list, sizeof(LVITEMW));
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    block.write(0, &item, sizeof item);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(block.at(0)));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    block.write(0, &item, sizeof item);
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(block.at(0)));
}

// A click on a tab of the main dialog's tab control.
void clickTab(HWND tab, int index)
{
    RemoteBlock block(tab, sizeof(RECT));
    RECT rect = {};
    SendMessageW(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(block.at(0)));
    block.read(0, &rect, sizeof rect);
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(tab, WM_LBUTTONUP, 0, point);
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
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

    // The list page, its first site opened.
    clickTab(GetDlgItem(mainDialog, 101), 1);
    HWND sitesPage = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (sitesPage = pageWith(mainDialog, 303)) && IsWindowVisible(sitesPage); }));
    selectRow(GetDlgItem(sitesPage, 303), 0);
    ToolSession::clickButton(GetDlgItem(sitesPage, 301));
    HWND siteDialog = waitForDialogWith(tool, 321);
    ASSERT_NE(nullptr, siteDialog);
    HWND inputs = GetDlgItem(siteDialog, 321);
    EXPECT_EQ(L"anna.berg", cellText(inputs, 0, 2));
    EXPECT_EQ(L"***************", cellText(inputs, 1, 2));

    // The password row in the input item dialog: a new password taken over.
    selectRow(inputs, 1);
    ToolSession::clickButton(GetDlgItem(siteDialog, 324));
    HWND inputDialog = waitForDialogWith(tool, 342);
    ASSERT_NE(nullptr, inputDialog);
    EXPECT_NE(0, SendMessageW(GetDlgItem(inputDialog, 342), EM_GETPASSWORDCHAR, 0, 0));
    SendMessageW(GetDlgItem(inputDialog, 342), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"New-Secret-77"));
    PostMessageW(inputDialog, WM_COMMAND, MAKEWPARAM(341, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(inputDialog, 341)));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(inputDialog); }));
    EXPECT_EQ(L"*************", cellText(inputs, 1, 2));

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
    EXPECT_EQ(replaced(before, "Tulip-Harbor-42", "New-Secret-77"), after);
}
