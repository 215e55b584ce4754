// The web site edit dialog from the real template over a real bank: which
// input items get rows and how they show, its buttons, removing rows with
// the confirmation answered here, closing, its brush, and opening an item.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "FPGlobal.h"
#include "SiteFixture.h"

using namespace qovitest;

namespace {

using Names = std::vector<std::wstring>;
using Rows = std::vector<std::vector<std::wstring>>;

// Stand for the row labels of the string table in the tables below.
const wchar_t USER[] = L"<user name>";
const wchar_t PASSWORD[] = L"<password>";

QOVINewInputItem plain(const wchar_t* id, const wchar_t* name, const wchar_t* value) { return {id, name, L"text", value}; }
QOVINewInputItem password(const wchar_t* id, const wchar_t* name, const wchar_t* value)
{
    return {id, name, L"password", value};
}
const QOVINewInputItem namelessEmail{L"e1", L"", L"email", L"a@b.example"};

class SiteEditDialogTest : public SiteFixture {
protected:
    // One site per input set, named case0, case1, ..., listed on the page.
    void openSitesWith(const std::vector<std::vector<QOVINewInputItem>>& inputSets)
    {
        std::vector<QOVINewWebItem> sites;
        for (size_t i = 0; i < inputSets.size(); ++i)
            sites.push_back(site(L"case" + std::to_wstring(i), inputSets[i]));
        storeSites(sites);
        openSitesPage();
    }
    HWND button(int id) const { return GetDlgItem(editor, id); }
    void expectButtons(bool open, bool remove) const
    {
        EXPECT_EQ(open, IsWindowEnabled(button(IDC_SITE_EDIT_OPEN)) != FALSE);
        EXPECT_EQ(remove, IsWindowEnabled(button(IDC_SITE_EDIT_REMOVE)) != FALSE);
        EXPECT_EQ(open ? 1 : 0, editState().buttons.available[2]);
        EXPECT_EQ(remove ? 1 : 0, editState().buttons.available[3]);
    }
    size_t storedInputCount(const std::wstring& site) const
    {
        std::vector<QOVIInputItem*> items;
        AppGlobals.currentUser->getPWDBankInfo()->getInputItems(items, site);
        return items.size();
    }
};

}  // namespace

// Rows for the first user name and password items only, passwords masked one
// asterisk per UTF-16 code unit (a character outside the BMP makes two).
TEST_F(SiteEditDialogTest, FillShowsTheFirstUserNameAndPasswordItems)
{
    const struct {
        const char* name;
        std::vector<QOVINewInputItem> inputs;
        Rows rows;
        Names elements;  // by name, "#id" when nameless; those behind the last row got none
        int nameLength, idLength;
    } cases[] = {
        {"text and password", userAndPassword(), {{USER, L"user", L"alice"}, {PASSWORD, L"pass", L"********"}},
         {L"user", L"pass"}, 4, 2},
        {"nameless text shows its id", {plain(L"login-id", L"", L"bob"), password(L"p1", L"pass", L"")},
         {{USER, L"login-id", L"bob"}, {PASSWORD, L"pass", L""}}, {L"#login-id", L"pass"}, 4, 2},
        {"password before text", {password(L"p1", L"pass", L"pw"), plain(L"u1", L"user", L"alice")},
         {{PASSWORD, L"pass", L"**"}}, {L"pass", L"user"}, 4, 2},
        {"text, text, password",
         {plain(L"u1", L"user", L"alice"), plain(L"u2", L"other", L"bob"), password(L"p1", L"pass", L"pw")},
         {{USER, L"user", L"alice"}}, {L"user", L"pass"}, 5, 2},
        {"nameless item of another type", {plain(L"u1", L"user", L"alice"), namelessEmail, password(L"p1", L"pass", L"pw")},
         {{USER, L"user", L"alice"}, {USER, USER, L""}, {PASSWORD, L"pass", L"**"}}, {L"user", L"#e1", L"pass"}, 4, 2},
        {"named item of another type", {{L"c1", L"remember", L"checkbox", L"on"}, password(L"p1", L"pass", L"pw")},
         {{PASSWORD, L"pass", L"**"}}, {L"pass"}, 4, 2},
        {"nameless password", {password(L"p1", L"", L"abc")}, {{PASSWORD, L"", L"***"}}, {L"#p1"}, 0, 2},
        {"types are case-sensitive", {{L"u1", L"user", L"Text", L"alice"}, password(L"p1", L"pass", L"pw")},
         {{PASSWORD, L"pass", L"**"}}, {L"pass"}, 4, 2},
        {"non-BMP characters",
         {plain(L"u1", L"user", L"x\U00010348y\U0001F600"), password(L"p1", L"pass", L"x\U00010348y\U0001F600")},
         {{USER, L"user", L"x\U00010348y\U0001F600"}, {PASSWORD, L"pass", L"******"}}, {L"user", L"pass"}, 4, 2},
    };
    std::vector<std::vector<QOVINewInputItem>> inputSets;
    for (const auto& c : cases)
        inputSets.push_back(c.inputs);
    openSitesWith(inputSets);
    for (size_t i = 0; i < inputSets.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        Rows rows = cases[i].rows;
        for (auto& row : rows)
            for (auto& cell : row)
                cell = cell == USER ? loadResString(IDS_ROW_USER_NAME)
                                    : cell == PASSWORD ? loadResString(IDS_ROW_PASSWORD) : cell;
        openEditorOn(static_cast<int>(i));
        EXPECT_EQ(rows, inputRows());
        EXPECT_EQ(cases[i].elements, inputElements());
        EXPECT_EQ(std::vector<int>{0}, listViewSelectedRows(inputList()));
        expectButtons(true, true);
        closeEditor();
    }
}

TEST_F(SiteEditDialogTest, OpenAndRemoveFollowTheSelection)
{
    openSitesWith({userAndPassword(), {{L"c1", L"remember", L"checkbox", L"on"}}});
    openEditorOn(0);
    const struct { std::initializer_list<int> rows; bool open, remove; } cases[] = {
        {{}, false, false}, {{0}, true, true}, {{0, 1}, false, true}, {{1}, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows.size() << " rows selected");
        selectListViewRows(inputList(), c.rows);
        expectButtons(c.open, c.remove);
    }
    closeEditor();

    // No item got a row: an empty list, both buttons enabled and doing nothing.
    openEditorOn(1);
    EXPECT_EQ(0, listViewRowCount(inputList()));
    expectButtons(true, true);
    ModalAnswerer answerer;
    clickWindow(button(IDC_SITE_EDIT_REMOVE));
    clickWindow(button(IDC_SITE_EDIT_OPEN));
    EXPECT_EQ(0, editState().modified);
}

// Row r and element r leave together, nameless rows included, and every
// removed item is remembered by its own name and id for Save. Cancel, or a
// selection emptied while the box is open, removes nothing.
TEST_F(SiteEditDialogTest, RemovingRowsKeepsRowsAndElementsInStep)
{
    const std::vector<QOVINewInputItem> withNameless = {plain(L"u1", L"user", L"alice"), namelessEmail,
                                                        password(L"p1", L"pass", L"pw")};
    const struct {
        const char* name;
        std::vector<QOVINewInputItem> inputs;
        std::initializer_list<int> selected;
        int answer;
        bool emptySelectionUnderTheBox;
        Names left;  // every one named, so also what column 1 of the rows shows
        std::vector<std::wstring> removed;  // "name|id"
    } cases[] = {
        {"the password row", userAndPassword(), {1}, IDOK, false, {L"user"}, {L"pass|p1"}},
        {"both rows", userAndPassword(), {0, 1}, IDOK, false, {}, {L"user|u1", L"pass|p1"}},
        {"a nameless text row", {plain(L"login-id", L"", L"bob"), password(L"p1", L"pass", L"pw")}, {0}, IDOK, false,
         {L"pass"}, {L"|login-id"}},
        {"a nameless row of another type", withNameless, {1}, IDOK, false, {L"user", L"pass"}, {L"|e1"}},
        {"a nameless row and the password", withNameless, {1, 2}, IDOK, false, {L"user"}, {L"|e1", L"pass|p1"}},
        {"cancelled", userAndPassword(), {0, 1}, IDCANCEL, false, {L"user", L"pass"}, {}},
        {"selection emptied under the box", userAndPassword(), {0, 1}, IDOK, true, {L"user", L"pass"}, {}},
    };
    std::vector<std::vector<QOVINewInputItem>> inputSets;
    for (const auto& c : cases)
        inputSets.push_back(c.inputs);
    openSitesWith(inputSets);
    for (size_t i = 0; i < inputSets.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        openEditorOn(static_cast<int>(i));
        const size_t stored = storedInputCount(editState().storedName);
        selectListViewRows(inputList(), c.selected);
        {
            ModalAnswerer answerer;
            HWND list = inputList();
            answerer.expectDialog([&c, list](HWND box) {
                if (c.emptySelectionUnderTheBox)
                    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
                PostMessageW(box, WM_COMMAND, c.answer, 0);
            });
            clickWindow(button(IDC_SITE_EDIT_REMOVE));
            answerer.verifyAllAnswered();
            ASSERT_EQ(1u, answerer.seen().size());
            EXPECT_EQ(loadResString(IDS_CAPTION_INFO), answerer.seen()[0].caption);
            EXPECT_EQ(loadResString(IDS_CONFIRM_REMOVE_INPUTS), answerer.seen()[0].text);
        }
        Names shown, removed;
        for (const auto& row : inputRows())
            shown.push_back(row[1]);
        for (const RemovedInputItem& item : editState().removedItems)
            removed.push_back(item.name + L"|" + item.id);
        EXPECT_EQ(c.left, inputElements());
        EXPECT_EQ(c.left, shown);
        EXPECT_EQ(c.removed, removed);
        const int marked = c.removed.empty() ? 0 : 1;
        EXPECT_EQ(marked, editState().removedItems.empty() ? 0 : 1);
        EXPECT_EQ(marked, editState().modified);
        EXPECT_EQ(marked, takeModifiedPosts());
        EXPECT_EQ(marked, countAndRemovePosted(editor, WM_PWDBANK_MODIFIED));
        if (marked)
            expectButtons(false, false);
        EXPECT_EQ(stored, storedInputCount(editState().storedName)) << "only Save changes the store";
        closeEditor();
    }
}

// Opened modally as the list page opens it: each way out ends the dialog with
// its own result, overwrites the pending password and tells the list page.
TEST_F(SiteEditDialogTest, EscCloseBoxAndCloseButtonWipeThePendingPassword)
{
    openSitesWith({userAndPassword()});
    const struct { const char* how; INT_PTR result; } cases[] = {
        {"Esc key", IDCANCEL}, {"close box", IDCANCEL}, {"button 326", IDC_SITE_EDIT_CLOSE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        AppGlobals.pendingPasswordValue = L"a new password not saved yet";
        const size_t length = AppGlobals.pendingPasswordValue.size();
        const wchar_t* characters = AppGlobals.pendingPasswordValue.data();
        const std::string how = c.how;
        ModalAnswerer answerer;
        answerer.expectDialog([how](HWND dialog) {
            HWND close = GetDlgItem(dialog, IDC_SITE_EDIT_CLOSE);
            if (how == "Esc key") {
                PostMessageW(GetDlgItem(dialog, IDC_SITE_EDIT_NAME), WM_KEYDOWN, VK_ESCAPE, 0);
            } else if (how == "close box") {
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            } else {  // a mouse click on the skinned button
                PostMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                PostMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            }
        });
        EXPECT_EQ(c.result, DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_SITE_EDIT),
                                            AppGlobals.hSiteListPage, SiteEditProc, 0));
        answerer.verifyAllAnswered();
        ASSERT_EQ(characters, AppGlobals.pendingPasswordValue.data()) << "the buffer was kept";
        EXPECT_EQ(std::wstring(length, L'\0'), std::wstring(characters, length)) << "characters were left behind";
        EXPECT_TRUE(AppGlobals.pendingPasswordValue.empty());
        EXPECT_EQ(1, countAndRemovePosted(AppGlobals.hSiteListPage, WM_PWDBANK_EDITOR_CLOSED));
        EXPECT_EQ(nullptr, AppGlobals.siteEditState);
        EXPECT_EQ(nullptr, GetCapture());
    }
}

TEST_F(SiteEditDialogTest, OneCaptionBrushAliveAndBothReleasedAtTheEnd)
{
    openSitesWith({userAndPassword()});
    openEditorOn(0);
    HWND title = GetDlgItem(editor, IDC_SITE_EDIT_TITLE);
    HDC dc = GetDC(title);
    auto brushFor = [&](HWND control) {
        return reinterpret_cast<HBRUSH>(SendMessageW(editor, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(control)));
    };
    HBRUSH previous = nullptr;
    for (int i = 0; i < 5; ++i) {
        HBRUSH brush = brushFor(title);
        ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
        if (previous) {
            ASSERT_EQ(0u, GetObjectType(previous)) << "the previous brush is still alive";
        }
        previous = brush;
    }
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), brushFor(GetDlgItem(editor, IDC_SITE_EDIT_INPUTS_LABEL)));
    ReleaseDC(title, dc);
    LOGBRUSH colour = {};
    GetObject(previous, sizeof colour, &colour);
    EXPECT_EQ(RGB(233, 234, 227), colour.lbColor);
    HFONT font = editState().captionFont;
    closeEditor();
    EXPECT_EQ(0u, GetObjectType(previous));
    EXPECT_EQ(0u, GetObjectType(font));
}

// The dialog opens on the site and forgets the item opened before; an item
// opened from it is handed to the input item dialog in AppGlobals.
TEST_F(SiteEditDialogTest, OpensOnTheSiteAndPassesTheOpenedItemOn)
{
    openSitesWith({userAndPassword()});
    AppGlobals.selectedInputName = AppGlobals.selectedInputValue = L"left over";
    AppGlobals.selectedInputType = AppGlobals.selectedInputId = L"password";
    openEditorOn(0);
    EXPECT_EQ(L"case0", windowText(GetDlgItem(editor, IDC_SITE_EDIT_NAME)));
    EXPECT_EQ(259, SendDlgItemMessageW(editor, IDC_SITE_EDIT_NAME, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(editState().captionFont,
              reinterpret_cast<HFONT>(SendDlgItemMessageW(editor, IDC_SITE_EDIT_TITLE, WM_GETFONT, 0, 0)));
    EXPECT_EQ(L"", AppGlobals.selectedInputName + AppGlobals.selectedInputValue + AppGlobals.selectedInputType +
                       AppGlobals.selectedInputId);
    EXPECT_EQ(1, countInLog("(329): Get Input item information."));
    for (bool byButton : {false, true}) {
        SCOPED_TRACE(byButton ? "Open button" : "double-click");
        selectListViewRows(inputList(), {1});
        std::wstring seen;
        int helpAllowed = -1;
        ModalAnswerer answerer;
        answerer.expectDialog([&](HWND dialog) {
            seen = AppGlobals.selectedInputName + L"|" + AppGlobals.selectedInputValue + L"|" +
                   AppGlobals.selectedInputType + L"|" + AppGlobals.selectedInputId;
            helpAllowed = editState().helpAllowed;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        if (byButton)
            clickWindow(button(IDC_SITE_EDIT_OPEN));
        else
            notifyListView(inputList(), NM_DBLCLK);
        answerer.verifyAllAnswered();
        EXPECT_EQ(L"pass|secret12|password|p1", seen);
        EXPECT_EQ(0, helpAllowed) << "no help from this dialog while the item is open";
        EXPECT_EQ(1, editState().helpAllowed);
    }
}

// Unlike the list page's, the dialog's small buttons repaint only at the
// transitions and follow the mouse even while disabled.
TEST_F(SiteEditDialogTest, ButtonsUseTheRepaintFlags)
{
    openSitesWith({userAndPassword()});
    openEditorOn(0);
    HWND open = button(IDC_SITE_EDIT_OPEN);
    auto repaintedBy = [open](UINT message, int x) {
        ValidateRect(open, nullptr);
        sendMouse(open, message, x, 5);
        return GetUpdateRect(open, nullptr, FALSE) != FALSE;
    };
    EXPECT_TRUE(repaintedBy(WM_MOUSEMOVE, 5));
    EXPECT_FALSE(repaintedBy(WM_MOUSEMOVE, 6));
    EXPECT_EQ(1, editState().buttons.looks[2].hover);

    selectListViewRows(inputList(), {});
    ASSERT_FALSE(IsWindowEnabled(open));
    SetCursor(nullptr);
    SendMessageW(open, WM_SETCURSOR, reinterpret_cast<WPARAM>(open), HTCLIENT);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
    EXPECT_TRUE(repaintedBy(WM_MOUSELEAVE, 0));
    EXPECT_EQ(1, editState().buttons.looks[2].normal);
}
