// The settings page on the real main window: what it shows for each stored
// state, and what each click changes in the user's data, shows and marks.
#include "UiFixture.h"

using namespace qovitest;

using SettingsPageTest = UiFixture;

// The page opens with the stored switches (the bubble checked but disabled
// while the bank is off). Each click (a real one: the check box toggles
// itself and tells the page) changes the user's data, describes the last
// switch and marks one change.
TEST_F(SettingsPageTest, ShowsTheStoredSwitchesAndEachClickChangesDescribesAndMarks)
{
    const struct { int click, bank, bubble; bool bankChecked, bubbleChecked, bubbleEnabled; UINT description; } steps[] = {
        {0, 1, 1, true, true, true, IDS_DESC_BUBBLE_ON},  // stored states first
        {0, 1, 0, true, false, true, IDS_DESC_PWDBANK_ON},
        {0, 0, 1, false, true, false, IDS_DESC_BUBBLE_ON},
        {0, 0, 0, false, false, false, IDS_DESC_BOTH_OFF},
        {0, 1, 0, true, false, true, IDS_DESC_PWDBANK_ON},  // then clicks from here
        {IDC_SETTINGS_BUBBLE, 1, 1, true, true, true, IDS_DESC_BUBBLE_ON},
        {IDC_SETTINGS_BUBBLE, 1, 0, true, false, true, IDS_DESC_PWDBANK_ON},  // back: still a change
        {IDC_SETTINGS_BUBBLE, 1, 1, true, true, true, IDS_DESC_BUBBLE_ON},
        {IDC_SETTINGS_PWDBANK, 0, 0, false, false, false, IDS_DESC_BOTH_OFF},  // the bubble goes off with the bank
        {IDC_SETTINGS_PWDBANK, 1, 0, true, false, true, IDS_DESC_PWDBANK_ON},  // and stays off
    };
    auto control = [](int id) { return GetDlgItem(AppGlobals.hSettingsPage, id); };
    auto shown = [&] {
        return std::make_tuple(SendMessageW(control(IDC_SETTINGS_PWDBANK), BM_GETCHECK, 0, 0) == BST_CHECKED,
                               SendMessageW(control(IDC_SETTINGS_BUBBLE), BM_GETCHECK, 0, 0) == BST_CHECKED,
                               IsWindowEnabled(control(IDC_SETTINGS_BUBBLE)) != FALSE,
                               windowText(control(IDC_SETTINGS_DESCRIPTION)));
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "click on " << step.click << ", bank " << step.bank << " bubble " << step.bubble);
        if (step.click) {
            SendMessageW(control(step.click), BM_CLICK, 0, 0);
            EXPECT_EQ(1, takeMarks().first);
        } else {
            closeMainWindow();
            QOVIUserInfoManager::releaseUsers();
            store({}, step.bank, step.bubble);
            openMainWindow();
        }
        EXPECT_EQ(step.bank, AppGlobals.currentUser->getPWDBankEnable());
        EXPECT_EQ(step.bubble, AppGlobals.currentUser->getBubbleEnable());
        EXPECT_EQ(std::make_tuple(step.bankChecked, step.bubbleChecked, step.bubbleEnabled, text(step.description)),
                  shown());
    }
}
