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

QOVINewInputItem text(const wchar_t* id, const wchar_t* name, const wchar_t* value) { return {id, name, L"text", value}; }
QOVINewInputItem password(const wchar_t* id, const wchar_t* name, const wchar_t* value)
{
    return {id, name, L"password", value};
}

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
    Rows expand(Rows rows)
    {
        for (auto& row : rows)
            for (auto& cell : row)
                cell = cell == USER ? loadResString(IDS_ROW_USER_NAME)
                                    : cell == PASSWORD ? loadResString(IDS_ROW_PASSWORD) : cell;
        return rows;
    }
    HWND button(int id) const { return GetDlgItem(editor, id); }
    void expectButtons(bool open, bool remove) const
    {
        EXPECT_EQ(open, IsWindowEnabled(button(IDC_SITE_EDIT_OPEN)) != FALSE);
        EXPECT_EQ(remove, IsWindowEnabled(button(IDC_SITE_EDIT_REMOVE)) != FALSE);
        EXPECT_EQ(open ? 1 : 0, editState().editEnabled);
        EXPECT_EQ(remove ? 1 : 0, editState().deleteEnabled);
    }
    void select(const std::vector<int>& rows)
    {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED;
        SendMessageW(inputList(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        item.state = LVIS_SELECTED;
        for (int row : rows)
            SendMessageW(inputList(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        notifyListView(inputList(), NM_CLICK);
    }
    // Every row shows its own element: its name, or for a nameless item its
    // id (text), nothing (password) or the user name label (other types).
    void expectRowsShowTheirElements()
    {
        const std::vector<QOVIInputItem*>& items = editState().inputItems;
        ASSERT_LE(static_cast<size_t>(listViewRowCount(inputList())), items.size());
        for (int row = 0; row < listViewRowCount(inputList()); ++row) {
            const QOVIInputItem& item = *items[row];
            std::wstring expected = item.getstrName();
            if (expected.empty() && item.getstrType() == L"text")
                expected = item.getstrId();
            else if (expected.empty() && item.getstrType() != L"password")
                expected = loadResString(IDS_ROW_USER_NAME);
            EXPECT_EQ(expected, listViewText(inputList(), row, 1)) << "row " << row;
        }
    }
    size_t storedInputCount(const std::wstring& site) const
    {
        std::vector<QOVIInputItem*> items;
        AppGlobals.currentUser->getPWDBankInfo()->getInputItems(items, site);
        return items.size();
    }
};

}  // namespace

TEST_F(SiteEditDialogTest, OpensOnTheSiteAndForgetsTheItemOpenedBefore)
{
    openSitesWith({userAndPassword()});
    AppGlobals.selectedInputName = L"left over";
    AppGlobals.selectedInputValue = L"an older secret";
    AppGlobals.selectedInputType = L"password";
    AppGlobals.selectedInputId = L"x";
    openEditorOn(0);
    EXPECT_EQ(L"case0", windowText(GetDlgItem(editor, IDC_SITE_EDIT_NAME)));
    EXPECT_EQ(259, SendDlgItemMessageW(editor, IDC_SITE_EDIT_NAME, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(editState().captionFont,
              reinterpret_cast<HFONT>(SendDlgItemMessageW(editor, IDC_SITE_EDIT_TITLE, WM_GETFONT, 0, 0)));
    EXPECT_EQ(editor, AppGlobals.hSiteEditDialog);
    EXPECT_EQ(L"", AppGlobals.selectedInputName + AppGlobals.selectedInputValue + AppGlobals.selectedInputType +
                       AppGlobals.selectedInputId);
    EXPECT_EQ(1, countInLog("(329): Get Input item information."));
}

TEST_F(SiteEditDialogTest, FillShowsTheFirstUserNameAndPasswordItems)
{
    const struct {
        const char* name;
        std::vector<QOVINewInputItem> inputs;
        Rows rows;
        Names elements;  // by name, "#id" when nameless; those behind the last row got none
        int nameLength, idLength;
    } cases[] = {
        {"text and password", {text(L"u1", L"user", L"alice"), password(L"p1", L"pass", L"secret12")},
         {{USER, L"user", L"alice"}, {PASSWORD, L"pass", L"********"}}, {L"user", L"pass"}, 4, 2},
        {"nameless text shows its id", {text(L"login-id", L"", L"bob"), password(L"p1", L"pass", L"pw")},
         {{USER, L"login-id", L"bob"}, {PASSWORD, L"pass", L"**"}}, {L"#login-id", L"pass"}, 4, 2},
        {"password before text", {password(L"p1", L"pass", L"pw"), text(L"u1", L"user", L"alice")},
         {{PASSWORD, L"pass", L"**"}}, {L"pass", L"user"}, 4, 2},
        {"text, text, password",
         {text(L"u1", L"user", L"alice"), text(L"u2", L"other", L"bob"), password(L"p1", L"pass", L"pw")},
         {{USER, L"user", L"alice"}}, {L"user", L"pass"}, 5, 2},
        {"nameless item of another type",
         {text(L"u1", L"user", L"alice"), {L"e1", L"", L"email", L"a@b.example"}, password(L"p1", L"pass", L"pw")},
         {{USER, L"user", L"alice"}, {USER, USER, L""}, {PASSWORD, L"pass", L"**"}}, {L"user", L"#e1", L"pass"}, 4, 2},
        {"named item of another type", {{L"c1", L"remember", L"checkbox", L"on"}, password(L"p1", L"pass", L"pw")},
         {{PASSWORD, L"pass", L"**"}}, {L"pass"}, 4, 2},
        {"nameless password", {password(L"p1", L"", L"abc")}, {{PASSWORD, L"", L"***"}}, {L"#p1"}, 0, 2},
        {"types are case-sensitive", {{L"u1", L"user", L"Text", L"alice"}, password(L"p1", L"pass", L"pw")},
         {{PASSWORD, L"pass", L"**"}}, {L"pass"}, 4, 2},
    };
    std::vector<std::vector<QOVINewInputItem>> inputSets;
    for (const auto& c : cases)
        inputSets.push_back(c.inputs);
    openSitesWith(inputSets);
    for (size_t i = 0; i < inputSets.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        openEditorOn(static_cast<int>(i));
        EXPECT_EQ(expand(cases[i].rows), inputRows());
        EXPECT_EQ(cases[i].elements, inputElements());
        expectRowsShowTheirElements();
        EXPECT_EQ(std::vector<int>{0}, listViewSelectedRows(inputList()));
        EXPECT_EQ(cases[i].nameLength, editState().nameLength);
        EXPECT_EQ(cases[i].idLength, editState().idLength);
        expectButtons(true, true);
        closeEditor();
    }
}

TEST_F(SiteEditDialogTest, PasswordsAreMaskedPerUtf16CodeUnit)
{
    const struct { const wchar_t* value; size_t stars; } cases[] = {
        {L"", 0}, {L"a", 1}, {L"p\u00E4ssw\u00F6rd", 8},
        {L"\U0001F511", 2},  // one character outside the BMP: a surrogate pair
        {L"x\U00010348y\U0001F600", 6},
    };
    std::vector<std::vector<QOVINewInputItem>> inputSets;
    for (const auto& c : cases)
        inputSets.push_back({text(L"u1", L"user", c.value), password(L"p1", L"pass", c.value)});
    openSitesWith(inputSets);
    for (size_t i = 0; i < inputSets.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "case " << i);
        openEditorOn(static_cast<int>(i));
        EXPECT_EQ(cases[i].value, listViewText(inputList(), 0, 2)) << "the user name shows in plain";
        EXPECT_EQ(std::wstring(cases[i].stars, L'*'), listViewText(inputList(), 1, 2));
        closeEditor();
    }
}

TEST_F(SiteEditDialogTest, OpenAndRemoveFollowTheSelection)
{
    openSitesWith({userAndPassword(), {{L"c1", L"remember", L"checkbox", L"on"}}});
    openEditorOn(0);
    const struct { std::vector<int> rows; bool open, remove; } cases[] = {
        {{}, false, false}, {{0}, true, true}, {{0, 1}, false, true}, {{1}, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows.size() << " rows selected");
        select(c.rows);
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
// removed item is remembered by its own name and id for Save.
TEST_F(SiteEditDialogTest, RemovingRowsKeepsRowsAndElementsInStep)
{
    const std::vector<QOVINewInputItem> withNameless = {
        text(L"u1", L"user", L"alice"), {L"e1", L"", L"email", L"a@b.example"}, password(L"p1", L"pass", L"pw")};
    const struct {
        const char* name;
        std::vector<QOVINewInputItem> inputs;
        std::vector<int> selected;
        Names left;
        std::vector<RemovedInputItem> removed;
    } cases[] = {
        {"the password row", userAndPassword(), {1}, {L"user"}, {{L"pass", L"p1"}}},
        {"both rows", userAndPassword(), {0, 1}, {}, {{L"user", L"u1"}, {L"pass", L"p1"}}},
        {"a nameless text row", {text(L"login-id", L"", L"bob"), password(L"p1", L"pass", L"pw")}, {0}, {L"pass"},
         {{L"", L"login-id"}}},
        {"a nameless row of another type", withNameless, {1}, {L"user", L"pass"}, {{L"", L"e1"}}},
        {"a nameless row and the password", withNameless, {1, 2}, {L"user"}, {{L"", L"e1"}, {L"pass", L"p1"}}},
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
        select(c.selected);
        {
            ModalAnswerer answerer;
            answerer.expectBox(IDOK, loadResString(IDS_CAPTION_INFO), loadResString(IDS_CONFIRM_REMOVE_INPUTS));
            clickWindow(button(IDC_SITE_EDIT_REMOVE));
            answerer.verifyAllAnswered();
        }
        EXPECT_EQ(c.left, inputElements());
        EXPECT_EQ(c.left.size(), static_cast<size_t>(listViewRowCount(inputList())));
        expectRowsShowTheirElements();
        ASSERT_EQ(c.removed.size(), editState().removedItems.size());
        for (size_t k = 0; k < c.removed.size(); ++k) {
            EXPECT_EQ(c.removed[k].name, editState().removedItems[k].name);
            EXPECT_EQ(c.removed[k].id, editState().removedItems[k].id);
        }
        EXPECT_EQ(c.removed.back().name, editState().lastDeletedName);
        EXPECT_EQ(c.removed.back().id, editState().lastDeletedId);
        EXPECT_EQ(1, editState().itemsDeleted);
        EXPECT_EQ(1, editState().modified);
        EXPECT_EQ(1, takeModifiedPosts());
        EXPECT_EQ(1, countAndRemovePosted(editor, WM_PWDBANK_MODIFIED));
        expectButtons(false, false);
        EXPECT_EQ(stored, storedInputCount(editState().storedName)) << "only Save changes the store";
        closeEditor();
    }
}

TEST_F(SiteEditDialogTest, CancelOrAnEmptiedSelectionRemovesNothing)
{
    openSitesWith({userAndPassword()});
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled" : "selection emptied under the box");
        openEditorOn(0);
        select({0, 1});
        {
            ModalAnswerer answerer;
            HWND list = inputList();
            answerer.expectDialog([list, cancel](HWND box) {
                LVITEMW none = {};
                none.stateMask = LVIS_SELECTED;
                if (!cancel)
                    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
                PostMessageW(box, WM_COMMAND, cancel ? IDCANCEL : IDOK, 0);
            });
            SendMessageW(editor, WM_COMMAND, IDC_SITE_EDIT_REMOVE, 0);
            answerer.verifyAllAnswered();
        }
        EXPECT_EQ((Names{L"user", L"pass"}), inputElements());
        EXPECT_EQ(2, listViewRowCount(inputList()));
        EXPECT_TRUE(editState().removedItems.empty());
        EXPECT_EQ(0, editState().itemsDeleted + editState().modified);
        EXPECT_EQ(0, takeModifiedPosts() + countAndRemovePosted(editor, WM_PWDBANK_MODIFIED));
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
            if (how == "Esc key") {
                PostMessageW(GetDlgItem(dialog, IDC_SITE_EDIT_NAME), WM_KEYDOWN, VK_ESCAPE, 0);
            } else if (how == "close box") {
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            } else {  // a mouse click on the skinned button
                HWND close = GetDlgItem(dialog, IDC_SITE_EDIT_CLOSE);
                PostMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                PostMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            }
        });
        EXPECT_EQ(c.result, DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_SITE_EDIT),
                                            AppGlobals.hSiteListPage, SiteEditProc, 0));
        answerer.verifyAllAnswered();
        EXPECT_TRUE(AppGlobals.pendingPasswordValue.empty());
        ASSERT_EQ(characters, AppGlobals.pendingPasswordValue.data()) << "the buffer was kept";
        for (size_t i = 0; i < length; ++i)
            ASSERT_EQ(L'\0', characters[i]) << "character " << i << " was left behind";
        EXPECT_EQ(1, countAndRemovePosted(AppGlobals.hSiteListPage, WM_PWDBANK_EDITOR_CLOSED));
        EXPECT_EQ(nullptr, AppGlobals.siteEditState);
        EXPECT_EQ(nullptr, GetCapture());
    }
    EXPECT_EQ(2u, storedInputCount(L"case0"));
}

TEST_F(SiteEditDialogTest, OneCaptionBrushAliveAndBothReleasedAtTheEnd)
{
    openSitesWith({userAndPassword()});
    openEditorOn(0);
    HWND title = GetDlgItem(editor, IDC_SITE_EDIT_TITLE);
    HWND label = GetDlgItem(editor, IDC_SITE_EDIT_INPUTS_LABEL);
    HDC dc = GetDC(title);
    auto brushFor = [&](HWND control) {
        return reinterpret_cast<HBRUSH>(SendMessageW(editor, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(control)));
    };
    HBRUSH previous = nullptr;
    for (int i = 0; i < 50; ++i) {
        HBRUSH brush = brushFor(title);
        ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
        if (previous) {
            ASSERT_EQ(0u, GetObjectType(previous)) << "the previous brush is still alive";
        }
        previous = brush;
        EXPECT_EQ(GetStockObject(WHITE_BRUSH), brushFor(label));
    }
    ReleaseDC(title, dc);
    LOGBRUSH colour = {};
    GetObject(previous, sizeof colour, &colour);
    EXPECT_EQ(RGB(233, 234, 227), colour.lbColor);
    HFONT font = editState().captionFont;
    closeEditor();
    EXPECT_EQ(0u, GetObjectType(previous));
    EXPECT_EQ(0u, GetObjectType(font));
}

TEST_F(SiteEditDialogTest, OpeningAnItemPassesItToTheInputItemDialog)
{
    openSitesWith({userAndPassword()});
    openEditorOn(0);
    for (bool byButton : {false, true}) {
        SCOPED_TRACE(byButton ? "Open button" : "double-click");
        select({1});
        std::wstring seen;
        int helpAllowed = -1;
        {
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
        }
        EXPECT_EQ(L"pass|secret12|password|p1", seen);
        EXPECT_EQ(0, helpAllowed) << "no help from this dialog while the item is open";
        EXPECT_EQ(1, editState().helpAllowed);
        EXPECT_EQ(editor, AppGlobals.hSiteEditDialog);
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
    EXPECT_EQ(1, editState().looks[2].hover);

    select({});
    ASSERT_FALSE(IsWindowEnabled(open));
    SetCursor(nullptr);
    SendMessageW(open, WM_SETCURSOR, reinterpret_cast<WPARAM>(open), HTCLIENT);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
    EXPECT_TRUE(repaintedBy(WM_MOUSELEAVE, 0));
    EXPECT_EQ(1, editState().looks[2].normal);
}
