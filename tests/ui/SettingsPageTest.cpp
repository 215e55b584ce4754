// The settings page on the real main window: what it shows for each stored
// state, what each click changes in the user object, and what it posts.
#include <windows.h>
#include <gtest/gtest.h>
#include "FPGlobal.h"
#include "SettingsPage.h"
#include "UiFixture.h"
#include "resource.h"

using namespace qovitest;

namespace {

class SettingsPageTest : public MainWindowFixture {
protected:
    void open(int pwdBank, int bubble)
    {
        storeSettings(pwdBank, bubble);
        openMainWindow();
        takeModifiedPosts();
    }
    HWND control(int id) { return GetDlgItem(AppGlobals.hSettingsPage, id); }
    bool checked(int id) { return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool enabled(int id) { return IsWindowEnabled(control(id)) != FALSE; }
    std::wstring description() { return windowText(control(IDC_SETTINGS_DESCRIPTION)); }
    // A user's click: the check box toggles itself and tells the page.
    void click(int id) { SendMessageW(control(id), BM_CLICK, 0, 0); }
    int userBank() { return AppGlobals.currentUser->getPWDBankEnable(); }
    int userBubble() { return AppGlobals.currentUser->getBubbleEnable(); }
};

}  // namespace

TEST_F(SettingsPageTest, OpensWithTheStoredSwitches)
{
    const struct { int bank, bubble; bool bankChecked, bubbleChecked, bubbleEnabled; UINT description; } cases[] = {
        {1, 1, true, true, true, IDS_DESC_BUBBLE_ON},
        {1, 0, true, false, true, IDS_DESC_PWDBANK_ON},
        {0, 1, false, true, false, IDS_DESC_BUBBLE_ON},  // bubble shown on, but cannot be switched
        {0, 0, false, false, false, IDS_DESC_BOTH_OFF},  // the template's own text says so
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "bank " << c.bank << " bubble " << c.bubble);
        open(c.bank, c.bubble);
        EXPECT_EQ(c.bankChecked, checked(IDC_SETTINGS_PWDBANK));
        EXPECT_EQ(c.bubbleChecked, checked(IDC_SETTINGS_BUBBLE));
        EXPECT_EQ(c.bubbleEnabled, enabled(IDC_SETTINGS_BUBBLE));
        EXPECT_EQ(loadResString(c.description), description());
        destroyMainWindow();
        QOVIUserInfoManager::releaseUsers();
    }
}

TEST_F(SettingsPageTest, BankOffSwitchesTheBubbleOffAndBackOnLeavesItOff)
{
    open(1, 1);
    click(IDC_SETTINGS_PWDBANK);
    EXPECT_EQ(1, takeModifiedPosts());
    EXPECT_EQ(0, userBank());
    EXPECT_EQ(0, userBubble());
    EXPECT_FALSE(checked(IDC_SETTINGS_BUBBLE));
    EXPECT_FALSE(enabled(IDC_SETTINGS_BUBBLE));
    EXPECT_EQ(loadResString(IDS_DESC_BOTH_OFF), description());

    click(IDC_SETTINGS_PWDBANK);
    EXPECT_EQ(1, takeModifiedPosts());
    EXPECT_EQ(1, userBank());
    EXPECT_EQ(0, userBubble());
    EXPECT_TRUE(enabled(IDC_SETTINGS_BUBBLE));
    EXPECT_FALSE(checked(IDC_SETTINGS_BUBBLE));
    EXPECT_EQ(loadResString(IDS_DESC_PWDBANK_ON), description());
}

TEST_F(SettingsPageTest, BubbleClicksDescribeTheLastSwitchAndEachPostsOnce)
{
    open(1, 0);
    click(IDC_SETTINGS_BUBBLE);
    EXPECT_EQ(1, userBubble());
    EXPECT_EQ(loadResString(IDS_DESC_BUBBLE_ON), description());
    EXPECT_EQ(1, takeModifiedPosts());

    // Back to the opening value: still a change to announce.
    click(IDC_SETTINGS_BUBBLE);
    EXPECT_EQ(0, userBubble());
    EXPECT_EQ(loadResString(IDS_DESC_PWDBANK_ON), description());
    EXPECT_EQ(1, takeModifiedPosts());

    click(IDC_SETTINGS_PWDBANK);
    EXPECT_EQ(loadResString(IDS_DESC_BOTH_OFF), description());
    EXPECT_EQ(1, takeModifiedPosts());
}

TEST_F(SettingsPageTest, HoldsAtMostOneWhiteBrush)
{
    open(1, 1);
    HWND description = control(IDC_SETTINGS_DESCRIPTION);
    HDC dc = GetDC(description);
    HBRUSH previous = nullptr;
    for (int i = 0; i < 50; ++i) {
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(
            AppGlobals.hSettingsPage, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(description)));
        ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
        if (previous) {
            ASSERT_EQ(0u, GetObjectType(previous)) << "the previous brush is still alive";
        }
        previous = brush;
    }
    ReleaseDC(description, dc);
    LOGBRUSH colour = {};
    GetObject(previous, sizeof colour, &colour);
    EXPECT_EQ(RGB(255, 255, 255), colour.lbColor);
    destroyMainWindow();
    EXPECT_EQ(0u, GetObjectType(previous));
}
