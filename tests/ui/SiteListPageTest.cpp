// The web site list page on the real main window over a real bank: what it
// lists, its buttons following the selection and the mouse, deleting sites
// with the confirmation answered here, and opening the edit dialog.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "FPGlobal.h"
#include "SiteFixture.h"

using namespace qovitest;

namespace {

using Names = std::vector<std::wstring>;

class SiteListPageTest : public SiteFixture {
protected:
    bool enabled(int id) const { return IsWindowEnabled(listButton(id)) != FALSE; }
    void expectButtons(bool open, bool remove) const
    {
        EXPECT_EQ(open, enabled(IDC_SITE_LIST_OPEN));
        EXPECT_EQ(remove, enabled(IDC_SITE_LIST_DELETE));
        EXPECT_EQ(open ? 1 : 0, listState().buttons.available[0]);  // the painter greys the label at 0
        EXPECT_EQ(remove ? 1 : 0, listState().buttons.available[1]);
    }
    std::wstring text(UINT id) { return loadResString(id); }
};

// Selects exactly these rows as the keyboard would, without a click.
void selectQuietly(HWND list, const std::vector<int>& rows)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    for (int row : rows)
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

TEST_F(SiteListPageTest, ListsTheSitesInStoreOrderWithRowZeroSelected)
{
    openSitesPage();  // an empty bank: two columns, no rows, grey buttons
    EXPECT_EQ(2, Header_GetItemCount(ListView_GetHeader(siteList())));
    EXPECT_EQ(0, listViewRowCount(siteList()));
    EXPECT_TRUE(listState().webItems.empty());
    expectButtons(false, false);
    EXPECT_EQ(1, countInLog("Get Web item information"));
    destroyMainWindow();

    const Names order = {L"zeta", L"Alpha", L"mid", L"beta"};
    std::vector<QOVINewWebItem> sites;
    for (const std::wstring& name : order)
        sites.push_back(site(name, userAndPassword()));
    storeSites(sites);
    openSitesPage();
    EXPECT_EQ(order, siteRows());
    EXPECT_EQ(order, siteElements());
    EXPECT_EQ(std::vector<int>{0}, listViewSelectedRows(siteList()));
    expectButtons(true, true);
}

TEST_F(SiteListPageTest, ButtonsFollowTheSelection)
{
    storeNumberedSites(4);
    openSitesPage();
    const struct { std::initializer_list<int> rows; bool open, remove; } cases[] = {
        {{}, false, false}, {{2}, true, true}, {{0, 3}, false, true}, {{0, 1, 2}, false, true}, {{1}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows.size() << " rows selected");
        selectListViewRows(siteList(), c.rows);
        expectButtons(c.open, c.remove);
    }
}

// The box has no owner, so the list stays usable while it is open: the
// deletion takes the rows selected when OK is pressed and stops when a pass
// finds none, never touching a row or element that is not there. The last
// case is then applied and read back by a fresh load.
TEST_F(SiteListPageTest, DeletingAsksOnceTakesTheRowsSelectedAtOkAndApplySavesIt)
{
    const struct {
        const char* name;
        int answer;
        std::vector<int> before, during;
        Names left;
        bool open, remove;
    } cases[] = {
        {"cancelled", IDCANCEL, {1}, {1}, {L"site0", L"site1", L"site2", L"site3", L"site4"}, true, true},
        {"selection cleared", IDOK, {0, 1, 2}, {}, {L"site0", L"site1", L"site2", L"site3", L"site4"}, false, false},
        {"fewer rows", IDOK, {0, 1, 2}, {4}, {L"site0", L"site1", L"site2", L"site3"}, false, false},
        {"more rows", IDOK, {0}, {1, 2, 3}, {L"site0", L"site2", L"site3", L"site4"}, false, true},
        {"three of five", IDOK, {0, 2, 4}, {0, 2, 4}, {L"site1", L"site3"}, false, false},
    };
    storeNumberedSites(5);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        destroyMainWindow();  // unsaved: each case starts from the stored five
        openSitesPage();
        selectQuietly(siteList(), c.before);
        notifyListView(siteList(), NM_CLICK);
        const int logged = countInLog("Delete the web item!");
        {
            ModalAnswerer answerer;
            HWND list = siteList();
            answerer.expectDialog([&c, list](HWND box) {
                selectQuietly(list, c.during);
                PostMessageW(box, WM_COMMAND, c.answer, 0);
            });
            clickWindow(listButton(IDC_SITE_LIST_DELETE));
            answerer.verifyAllAnswered();
            ASSERT_EQ(1u, answerer.seen().size());
            EXPECT_EQ(text(IDS_CAPTION_INFO), answerer.seen()[0].caption);
            EXPECT_EQ(text(IDS_CONFIRM_DELETE_SITES), answerer.seen()[0].text);
        }
        const int removed = 5 - static_cast<int>(c.left.size());
        EXPECT_EQ(c.left, siteRows());
        EXPECT_EQ(c.left, siteElements());
        EXPECT_EQ(c.left, bankSites());
        EXPECT_EQ(removed, countInLog("Delete the web item!") - logged);
        EXPECT_EQ(removed > 0 ? 1 : 0, takeModifiedPosts());
        expectButtons(c.open, c.remove);  // a cancel leaves them as the click set them
    }

    // Deliver the one post taken above: it arms Apply, which saves.
    SendMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_SAVED));
        clickWindow(GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_APPLY));
        answerer.verifyAllAnswered();
    }
    destroyMainWindow();
    EXPECT_EQ((Names{L"site1", L"site3"}), reload().siteNames);
}

TEST_F(SiteListPageTest, OpeningShowsTheSelectedSiteInTheEditDialog)
{
    storeNumberedSites(4);
    openSitesPage();
    const struct { const char* how; std::initializer_list<int> rows; bool byButton, opens; } cases[] = {
        {"double-click", {2}, false, true}, {"Open button", {2}, true, true}, {"two rows", {1, 2}, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        selectListViewRows(siteList(), c.rows);
        listState().buttons.looks[1] = SkinButtonLook{0, 1, 0, 0};  // left hovered while the dialog runs
        std::wstring shownName;
        {
            ModalAnswerer answerer;
            if (c.opens)
                answerer.expectDialog([&](HWND dialog) {
                    shownName = windowText(GetDlgItem(dialog, IDC_SITE_EDIT_NAME));
                    PostMessageW(dialog, WM_COMMAND, IDC_SITE_EDIT_CLOSE, 0);
                });
            if (c.byButton)
                clickWindow(listButton(IDC_SITE_LIST_OPEN));
            else
                notifyListView(siteList(), NM_DBLCLK);
            pumpMessages();  // the dialog's farewell puts the buttons back to normal
            answerer.verifyAllAnswered();
        }
        const std::wstring first = c.opens ? L"site2" : L"site1";  // copied whether it opens or not
        EXPECT_EQ(c.opens ? first : L"", shownName);
        EXPECT_EQ(L"https://" + first + L".example/login", AppGlobals.selectedSiteUrl);
        EXPECT_EQ(L"form-" + first, AppGlobals.selectedSiteFormId);
        EXPECT_EQ(L"login-" + first, AppGlobals.selectedSiteFormName);
        EXPECT_EQ(c.opens ? 1 : 0, listState().buttons.looks[1].normal);
        EXPECT_EQ(nullptr, AppGlobals.siteEditState);
        EXPECT_EQ(nullptr, GetCapture());
    }
}

// ------------------------------------------------- the two list buttons --

namespace {

class SiteListButtonTest : public SiteListPageTest {
protected:
    void SetUp() override
    {
        storeNumberedSites(2);
        openSitesPage();
        open = listButton(IDC_SITE_LIST_OPEN);
    }
    void TearDown() override { ReleaseCapture(); }
    // Sends one mouse message and tells whether the button was invalidated by it.
    bool repaintedBy(UINT message, int x, int y)
    {
        ValidateRect(open, nullptr);
        sendMouse(open, message, x, y, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0);
        return GetUpdateRect(open, nullptr, FALSE) != FALSE;
    }
    const char* look(int slot) const
    {
        const SkinButtonLook& l = listState().buttons.looks[slot];
        if (l.normal + l.hover + l.pressed != 1)
            return "inconsistent";
        return l.normal ? "normal" : l.hover ? "hover" : "pressed";
    }
    HCURSOR cursorOver(HWND button)
    {
        SetCursor(nullptr);
        SendMessageW(button, WM_SETCURSOR, reinterpret_cast<WPARAM>(button), HTCLIENT);
        return GetCursor();
    }
    HWND open = nullptr;
};

}  // namespace

TEST_F(SiteListButtonTest, EveryMoveRepaints)
{
    const struct { UINT message; int x, y; const char* look; } steps[] = {
        {WM_MOUSEMOVE, 5, 5, "hover"},     {WM_MOUSEMOVE, 6, 5, "hover"},    {WM_LBUTTONDOWN, 6, 5, "pressed"},
        {WM_MOUSEMOVE, 7, 5, "pressed"},   {WM_MOUSEMOVE, 900, 5, "normal"}, {WM_MOUSEMOVE, 901, 5, "normal"},
        {WM_MOUSELEAVE, 0, 0, "normal"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "message " << step.message << " at " << step.x);
        EXPECT_TRUE(repaintedBy(step.message, step.x, step.y));
        EXPECT_STREQ(step.look, look(0));
    }
    EXPECT_EQ(0, listState().buttons.looks[0].tracking);
    EXPECT_STREQ("normal", look(1));
}

TEST_F(SiteListButtonTest, DisabledButtonIgnoresTheMouseAndShowsTheArrow)
{
    sendMouse(open, WM_MOUSEMOVE, 5, 5);
    ASSERT_STREQ("hover", look(0));
    const int tracking = listState().buttons.looks[0].tracking;
    ASSERT_NE(0, tracking);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), cursorOver(open));

    selectListViewRows(siteList(), {});  // both buttons disabled
    ASSERT_FALSE(IsWindowEnabled(open));
    SetCapture(open);
    ModalAnswerer answerer;  // no action may run
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSELEAVE}) {
        SCOPED_TRACE(testing::Message() << "message " << message);
        EXPECT_FALSE(repaintedBy(message, 5, 5));
        EXPECT_STREQ("hover", look(0));
        EXPECT_EQ(tracking, listState().buttons.looks[0].tracking);
    }
    EXPECT_EQ(open, GetCapture()) << "a disabled button does not release the capture";
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), cursorOver(open));
}
