// The skinned buttons' mouse state machine, driven with real mouse messages
// on the main dialog's footer buttons. Repaints are observed as the update
// region a message leaves behind.
#include <windows.h>
#include <gtest/gtest.h>
#include "FPGlobal.h"
#include "UiFixture.h"
#include "resource.h"

using namespace qovitest;

namespace {

const int inX = 5, inY = 5;        // a point on any footer button
const int outX = 2000, outY = 5;   // far to the right of it

class SkinButtonTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        openMainWindow();
        apply = GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_APPLY);
        close = GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_CLOSE);
        state = AppGlobals.mainState;
    }
    void TearDown() override
    {
        ReleaseCapture();
    }
    // Sends one mouse message and tells whether the button was invalidated by it.
    bool repaintedBy(HWND button, UINT message, int x, int y)
    {
        ValidateRect(button, nullptr);
        sendMouse(button, message, x, y, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0);
        return GetUpdateRect(button, nullptr, FALSE) != FALSE;
    }
    const char* look(int index)
    {
        const SkinButtonLook& l = state->buttons.looks[index];
        if (l.normal + l.hover + l.pressed != 1)
            return "inconsistent";
        return l.normal ? "normal" : l.hover ? "hover" : "pressed";
    }
    void arm()
    {
        PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
        pumpMessages();
    }

    HWND apply = nullptr, close = nullptr;
    MainWindowState* state = nullptr;
};

}  // namespace

TEST_F(SkinButtonTest, HoverPressDragOutAndBackRepaintOnlyAtTransitions)
{
    const struct { UINT message; int x, y; const char* look; bool repaint; } steps[] = {
        {WM_MOUSEMOVE, inX, inY, "hover", true},       // into hover
        {WM_MOUSEMOVE, inX + 1, inY, "hover", false},  // still hovering: no repaint
        {WM_LBUTTONDOWN, inX, inY, "pressed", true},
        {WM_MOUSEMOVE, inX, inY, "pressed", true},     // first move inside after the press
        {WM_MOUSEMOVE, inX + 1, inY, "pressed", false},
        {WM_MOUSEMOVE, outX, outY, "normal", true},    // dragged out
        {WM_MOUSEMOVE, outX + 1, outY, "normal", false},
        {WM_MOUSEMOVE, inX, inY, "pressed", true},     // and back
        {WM_MOUSEMOVE, outX, outY, "normal", true},
        {WM_LBUTTONUP, outX, outY, "normal", false},   // released outside: no action
    };
    arm();
    ModalAnswerer answerer;  // Apply must not run: no box may appear
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "message " << step.message << " at " << step.x);
        EXPECT_EQ(step.repaint, repaintedBy(apply, step.message, step.x, step.y));
        EXPECT_STREQ(step.look, look(0));
    }
    EXPECT_NE(0, state->buttons.looks[0].tracking);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(1, state->dirty);
}

TEST_F(SkinButtonTest, PressOnOneButtonAndReleaseOverAnotherDoesNothing)
{
    arm();
    RECT applyRect, closeRect;
    GetWindowRect(apply, &applyRect);
    GetWindowRect(close, &closeRect);
    ModalAnswerer answerer;  // neither Apply's box nor the close question
    sendMouse(apply, WM_LBUTTONDOWN, inX, inY, MK_LBUTTON);
    EXPECT_EQ(apply, GetCapture());
    // The release over Close reaches Apply, which holds the capture: outside it.
    sendMouse(apply, WM_LBUTTONUP, closeRect.left - applyRect.left + inX, inY);
    pumpMessages();
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(1, state->dirty);
    EXPECT_TRUE(IsWindow(AppGlobals.hMainDialog));
}

TEST_F(SkinButtonTest, ClickWithoutMoveRepaintsHoverAtTheNextMove)
{
    arm();
    ModalAnswerer answerer;
    answerer.expectBox(IDOK, loadResString(IDS_CAPTION_INFO), loadResString(IDS_SAVED));
    sendMouse(apply, WM_LBUTTONDOWN, inX, inY, MK_LBUTTON);
    sendMouse(apply, WM_LBUTTONUP, inX, inY);
    pumpMessages();
    answerer.verifyAllAnswered();
    EXPECT_STREQ("pressed", look(0));  // the release changes no look
    EXPECT_TRUE(repaintedBy(apply, WM_MOUSEMOVE, inX, inY));
    EXPECT_STREQ("hover", look(0));
}

TEST_F(SkinButtonTest, ClickWithAMoveKeepsThePressedImageUntilLeave)
{
    arm();
    ModalAnswerer answerer;
    answerer.expectBox(IDOK, loadResString(IDS_CAPTION_INFO), loadResString(IDS_SAVED));
    sendMouse(apply, WM_LBUTTONDOWN, inX, inY, MK_LBUTTON);
    sendMouse(apply, WM_MOUSEMOVE, inX + 1, inY, MK_LBUTTON);
    sendMouse(apply, WM_LBUTTONUP, inX + 1, inY);
    pumpMessages();
    answerer.verifyAllAnswered();
    EXPECT_EQ(1, state->buttons.repaint.insidePainted);
    EXPECT_FALSE(repaintedBy(apply, WM_MOUSEMOVE, inX, inY));
    EXPECT_STREQ("hover", look(0));

    EXPECT_TRUE(repaintedBy(apply, WM_MOUSELEAVE, 0, 0));
    EXPECT_STREQ("normal", look(0));
    EXPECT_EQ(0, state->buttons.looks[0].tracking);
    EXPECT_EQ(0, state->buttons.repaint.pressStarted);
    EXPECT_EQ(0, state->buttons.repaint.insidePainted);
    EXPECT_EQ(1, state->buttons.repaint.outsidePainted);
    EXPECT_EQ(1, state->buttons.repaint.idle);
}

TEST_F(SkinButtonTest, EachButtonKeepsItsOwnLookAndShowsTheHandCursor)
{
    sendMouse(close, WM_MOUSEMOVE, inX, inY);
    EXPECT_STREQ("normal", look(0));
    EXPECT_STREQ("hover", look(1));
    EXPECT_STREQ("normal", look(2));
    EXPECT_EQ(TRUE, SendMessageW(close, WM_SETCURSOR, reinterpret_cast<WPARAM>(close), HTCLIENT));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
}
