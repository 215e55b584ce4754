// The real program beside the stand-ins: the single-instance protocol, the
// exit codes, the companion's notice at exit, and Apply reaching the store.
#include <windows.h>
#include <gtest/gtest.h>
#include "ToolSession.h"

using namespace qovitest;

namespace {

const long refused = static_cast<long>(0xFFFFFFFF);  // exit code -1

// Closes the tool through its close box and the confirmation's OK.
long closeTool(ToolSession& session, HWND mainDialog, ChildProcess& tool)
{
    PostMessageW(mainDialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(session.toolString(1014), session.answerBox(1007, IDOK));
    return tool.wait(10000);
}

}  // namespace

TEST(StartUp, RefusedWithoutTheCompanionAndShowsNothing)
{
    ToolSession session;
    ChildProcess tool;
    ASSERT_TRUE(session.startTool(tool));
    EXPECT_EQ(refused, tool.wait());
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", session.toolString(1001).c_str()));
}

TEST(StartUp, SecondStartBringsTheFirstUpAndIsRefused)
{
    ToolSession session;
    ASSERT_TRUE(session.startCompanion());
    ChildProcess first;
    ASSERT_TRUE(session.startTool(first));
    HWND mainDialog = session.waitForMainDialog();
    ASSERT_NE(nullptr, mainDialog);

    ChildProcess second;
    ASSERT_TRUE(session.startTool(second));
    EXPECT_EQ(refused, second.wait());
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(IsWindowVisible(mainDialog));
    EXPECT_FALSE(IsIconic(mainDialog));

    EXPECT_EQ(0, closeTool(session, mainDialog, first));
}

TEST(StartUp, CloseCancelKeepsRunningAndOkEndsWithZeroAndTellsTheCompanion)
{
    ToolSession session;
    ASSERT_TRUE(session.startCompanion());
    ChildProcess tool;
    ASSERT_TRUE(session.startTool(tool));
    HWND mainDialog = session.waitForMainDialog();
    ASSERT_NE(nullptr, mainDialog);

    PostMessageW(mainDialog, WM_CLOSE, 0, 0);
    session.answerBox(1007, IDCANCEL);
    Sleep(200);
    EXPECT_TRUE(tool.running());
    EXPECT_EQ("", session.companionRecord());

    EXPECT_EQ(0, closeTool(session, mainDialog, tool));
    EXPECT_TRUE(waitUntil([&] { return session.companionRecord() == "1124\n"; }, 5000))
        << session.companionRecord();
}

TEST(StartUp, NextStartWorksAfterANormalExitAndAfterAKilledInstance)
{
    ToolSession session;
    ASSERT_TRUE(session.startCompanion());
    {
        ChildProcess tool;
        ASSERT_TRUE(session.startTool(tool));
        HWND mainDialog = session.waitForMainDialog();
        ASSERT_NE(nullptr, mainDialog);
        EXPECT_EQ(0, closeTool(session, mainDialog, tool));
    }
    {
        // Killed while it owns the companion's mutex: the mutex is abandoned.
        ChildProcess tool;
        ASSERT_TRUE(session.startTool(tool));
        ASSERT_NE(nullptr, session.waitForMainDialog());
        tool.kill();
    }
    ChildProcess tool;
    ASSERT_TRUE(session.startTool(tool));
    HWND mainDialog = session.waitForMainDialog();
    ASSERT_NE(nullptr, mainDialog);
    EXPECT_EQ(0, closeTool(session, mainDialog, tool));
}

TEST(StartUp, ApplyAfterAChangeSavesAndTellsTheListener)
{
    ToolSession session;
    ASSERT_TRUE(session.startCompanion());
    ASSERT_TRUE(session.startListener());
    ChildProcess tool;
    ASSERT_TRUE(session.startTool(tool));
    HWND mainDialog = session.waitForMainDialog();
    ASSERT_NE(nullptr, mainDialog);

    // The settings page is a child dialog of the main dialog.
    HWND pwdBank = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        HWND page = FindWindowExW(mainDialog, nullptr, L"#32770", nullptr);
        while (page && !GetDlgItem(page, 201))
            page = FindWindowExW(mainDialog, page, L"#32770", nullptr);
        return (pwdBank = page ? GetDlgItem(page, 201) : nullptr) != nullptr;
    }));
    SendMessageW(pwdBank, BM_CLICK, 0, 0);

    ToolSession::clickButton(GetDlgItem(mainDialog, 102));
    EXPECT_EQ(session.toolString(1012), session.answerBox(1007, IDOK));
    EXPECT_TRUE(waitUntil([&] { return session.listenerRecord() == "WM_CLOSE\n"; }, 5000))
        << session.listenerRecord();

    // A second Apply without a change does nothing.
    ToolSession::clickButton(GetDlgItem(mainDialog, 102));
    Sleep(300);
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", session.toolString(1007).c_str()));

    EXPECT_EQ(0, closeTool(session, mainDialog, tool));
    std::string settings;
    EXPECT_EQ(0, session.qovibank(L"settings", &settings));
    EXPECT_NE(std::string::npos, settings.find("off")) << settings;
}
