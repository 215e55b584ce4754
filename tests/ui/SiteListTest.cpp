// The web site list page and the web site edit dialog over a real bank: what
// they list, their buttons following the selection, deleting sites and
// removing input items (the questions answered here), opening a site, and
// leaving the edit dialog.
#include "UiFixture.h"

using namespace qovitest;

namespace {

QOVINewInputItem plain(const wchar_t* id, const wchar_t* name, const wchar_t* value) { return {id, name, L"text", value}; }
QOVINewInputItem secret(const wchar_t* id, const wchar_t* name, const wchar_t* value)
{
    return {id, name, L"password", value};
}
const QOVINewInputItem namelessEmail{L"e1", L"", L"email", L"a@b.example"};
const std::pair<bool, bool> BOTH(true, true), NEITHER(false, false), ONLY_DELETE(false, true);

class SiteListTest : public UiFixture {
protected:
    // A site per input set, case0, case1, ..., on the list page.
    void openSites(const std::vector<std::vector<QOVINewInputItem>>& inputSets)
    {
        std::vector<QOVINewWebItem> sites;
        for (size_t i = 0; i < inputSets.size(); ++i)
            sites.push_back(site(L"case" + std::to_wstring(i), inputSets[i]));
        store(sites);
        openMainWindow(1);
    }
    // Open and Delete (Remove) as the user sees them: enabled, and labelled
    // black rather than grey by the painter.
    static std::pair<bool, bool> buttons(const SkinButtonGroup& group, int openSlot)
    {
        for (int slot : {openSlot, openSlot + 1})
            EXPECT_EQ(IsWindowEnabled(group.windows[slot]) != FALSE, group.available[slot] == 1) << slot;
        return {IsWindowEnabled(group.windows[openSlot]) != FALSE, IsWindowEnabled(group.windows[openSlot + 1]) != FALSE};
    }
};

}  // namespace

// The sites in store order, row i showing element i, row 0 selected; with no
// site, no row and both buttons unavailable. The buttons of either list
// follow its selection, by click or by keyboard, and are unavailable over an
// input list that no item gets a row in.
TEST_F(SiteListTest, ListsShowTheStoreOrderAndTheirButtonsFollowTheSelection)
{
    openMainWindow(1);
    EXPECT_EQ(0, rowCount(siteList()));
    EXPECT_EQ(NEITHER, buttons(listState().buttons, 0));
    closeMainWindow();
    const Strings order = {L"zeta", L"Alpha", L"mid", L"rowless"};
    store({site(order[0]), site(order[1]), site(order[2]), site(order[3], {{L"e1", L"mail", L"email", L"x"}})});
    openMainWindow(1);
    EXPECT_EQ(order, columnOf(siteList(), 1));
    EXPECT_EQ(order, siteElements());
    EXPECT_EQ(1, selectedCount(siteList()));
    EXPECT_EQ(0, firstSelectedRow(siteList()));
    openEditorOn(0);
    const struct { std::initializer_list<int> rows; std::pair<bool, bool> buttons; } cases[] = {
        {{}, NEITHER}, {{1}, BOTH}, {{0, 1}, ONLY_DELETE}, {{0}, BOTH}};
    for (auto list : {std::make_pair(siteList(), &listState().buttons), std::make_pair(inputList(), &editState().buttons)}) {
        const int openSlot = list.first == siteList() ? 0 : 2;
        for (const auto& c : cases) {
            selectRows(list.first, c.rows);
            EXPECT_EQ(c.buttons, buttons(*list.second, openSlot)) << c.rows.size() << " rows selected";
        }
        selectRows(list.first, {}, false);  // as the keyboard would
        EXPECT_EQ(NEITHER, buttons(*list.second, openSlot));
    }
    closeEditor();
    openEditorOn(3);
    EXPECT_EQ(NEITHER, buttons(editState().buttons, 2)) << "an input list left empty";
}

// The search shows the sites whose name or URL holds the typed text, in any
// case and script, in store order, and the page acts on the rows shown: a
// deletion keeps the search, Open opens the row's own site, and Apply saves
// the sites the search hides as they were.
TEST_F(SiteListTest, TheSearchShowsTheMatchingSitesAndThePageActsOnThem)
{
    store({site(L"\u00c4rger Bank"), site(L"shop"), site(L"\u03a3\u03af\u03b3\u03bc\u03b1"), site(L"bar"), site(L"rum")});
    openMainWindow(1);
    const Strings all = columnOf(siteList(), 1);
    HWND search = GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_SEARCH);
    const struct { const wchar_t* typed; Strings shown; } cases[] = {
        {L"\u00e4RGER", {all[0]}}, {L"\u03a3\u038a\u0393\u039c\u0391", {all[2]}}, {L"HOP.EX", {L"shop"}},
        {L"zzz", {}}, {L"", all}, {L"R", {all[0], L"bar", L"rum"}}};
    for (const auto& c : cases) {
        SetWindowTextW(search, c.typed);
        EXPECT_EQ(c.shown, columnOf(siteList(), 1)) << narrow(c.typed);
        EXPECT_EQ(c.shown, siteElements());
        EXPECT_EQ(c.shown.empty() ? NEITHER : BOTH, buttons(listState().buttons, 0));
    }
    selectRows(siteList(), {1});
    clickAnswering(AppGlobals.hSiteListPage, IDC_SITE_LIST_DELETE, {{IDOK}});
    pumpMessages();
    EXPECT_EQ(Strings({all[0], L"rum"}), columnOf(siteList(), 1));
    clickAnswering(AppGlobals.hMainDialog, IDC_MAIN_APPLY, {{IDOK}});
    openEditorOn(1);
    EXPECT_EQ(L"rum", windowText(GetDlgItem(editor, IDC_SITE_EDIT_NAME)));
    closeEditor();
    EXPECT_EQ(Strings({all[0], L"shop", all[2], L"rum"}), stored().sites);
}

// The question has no owner, so the list stays usable while it is open: the
// deletion takes the rows selected when OK is pressed and stops when none is
// left, keeping rows, elements and the in-memory bank in step, and marks the
// main window once.
TEST_F(SiteListTest, DeletingAsksOnceAndTakesTheRowsSelectedAtOk)
{
    const struct { const char* name; int answer; std::vector<int> during; Strings left; std::pair<bool, bool> buttons; } cases[] = {
        {"cancelled", IDCANCEL, {1}, {L"case0", L"case1", L"case2", L"case3", L"case4"}, BOTH},
        {"selection cleared", IDOK, {}, {L"case0", L"case1", L"case2", L"case3", L"case4"}, NEITHER},
        {"fewer rows", IDOK, {4}, {L"case0", L"case1", L"case2", L"case3"}, NEITHER},
        {"more rows", IDOK, {1, 2, 3, 4}, {L"case0", L"case4"}, BOTH},  // case4 stays selected
        {"three of five", IDOK, {0, 2, 4}, {L"case1", L"case3"}, NEITHER},
    };
    openSites(std::vector<std::vector<QOVINewInputItem>>(5, userAndPassword()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        closeMainWindow();  // unsaved: each case starts from the stored five
        openMainWindow(1);
        selectRows(siteList(), {0, 2, 4});
        {
            ModalAnswerer answerer;
            answerer.expectBox(c.answer, text(IDS_CAPTION_INFO), text(IDS_CONFIRM_DELETE_SITES), [&] {
                ListView_SetItemState(siteList(), -1, 0, LVIS_SELECTED);
                for (int row : c.during)
                    ListView_SetItemState(siteList(), row, LVIS_SELECTED, LVIS_SELECTED);
            });
            clickWindow(GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_DELETE));
        }
        std::vector<QOVIWebItem*> bank;
        AppGlobals.currentUser->getPWDBankInfo()->getWebItems(bank, L"", L"");
        const int removed = 5 - static_cast<int>(c.left.size());
        EXPECT_EQ(c.left, columnOf(siteList(), 1));
        EXPECT_EQ(c.left, siteElements());
        EXPECT_EQ(c.left.size(), bank.size());
        EXPECT_EQ(removed ? 1 : 0, takeMarks().first);
        EXPECT_EQ(c.buttons, buttons(listState().buttons, 0));
    }
}

// The first selected site's keys go to AppGlobals whatever the count; only a
// single selected row opens it, showing its name. Esc and IDC_SITE_EDIT_CLOSE each end
// the edit dialog and overwrite the pending password in its buffer; when the
// dialog has gone the list page's buttons show their normal look.
TEST_F(SiteListTest, OpeningShowsTheSingleSelectedSiteAndLeavingWipesThePendingPassword)
{
    openSites(std::vector<std::vector<QOVINewInputItem>>(4, userAndPassword()));
    const struct { std::initializer_list<int> rows; bool byButton; const wchar_t* shown; int close; } cases[] = {
        {{2}, false, L"case2", VK_ESCAPE}, {{2}, true, L"case2", IDC_SITE_EDIT_CLOSE}, {{1, 2}, false, L"", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows.size() << " rows, by button " << c.byButton);
        selectRows(siteList(), c.rows);
        listState().buttons.looks[1] = SkinButtonLook{0, 1, 0, 0};  // left hovered while the dialog runs
        AppGlobals.pendingPasswordValue = L"a new password not saved yet";
        const std::wstring pending = AppGlobals.pendingPasswordValue;
        const wchar_t* characters = AppGlobals.pendingPasswordValue.data();
        std::wstring shownName;
        {
            ModalAnswerer answerer;
            if (*c.shown)
                answerer.expectDialog([&](HWND dialog) {
                    shownName = windowText(GetDlgItem(dialog, IDC_SITE_EDIT_NAME));
                    if (c.close == VK_ESCAPE)
                        PostMessageW(GetDlgItem(dialog, IDC_SITE_EDIT_NAME), WM_KEYDOWN, VK_ESCAPE, 0);
                    else
                        clickWindow(GetDlgItem(dialog, c.close));
                });
            if (c.byButton)
                clickWindow(GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_OPEN));
            else
                notifyList(siteList(), NM_DBLCLK);
            pumpMessages();
        }
        const std::wstring first = *c.shown ? c.shown : L"case1";
        EXPECT_EQ(c.shown, shownName);
        EXPECT_EQ(L"https://" + first + L".example/login|form-" + first + L"|login-" + first,
                  AppGlobals.selectedSiteUrl + L"|" + AppGlobals.selectedSiteFormId + L"|" + AppGlobals.selectedSiteFormName);
        EXPECT_EQ(*c.shown ? 1 : 0, listState().buttons.looks[1].normal);
        ASSERT_EQ(characters, AppGlobals.pendingPasswordValue.data()) << "the buffer was kept";
        EXPECT_EQ(*c.shown ? std::wstring(pending.size(), L'\0') : pending, std::wstring(characters, pending.size()));
    }
}

// Rows for the first user name and password items only (a nameless item of
// another type keeps a row labelled as a user name), passwords masked one
// asterisk per UTF-16 code unit, row i showing element i, row 0 selected; an
// item opened for another site is forgotten. Removing rows takes each row's
// element with it and marks both windows, nothing reaching the store before
// Save; Cancel, or a selection emptied under the question, removes nothing.
TEST_F(SiteListTest, EditDialogListsTheFirstUserNameAndPasswordItemsAndRemovesRowsWithTheirItems)
{
    const std::wstring U = text(IDS_ROW_USER_NAME), P = text(IDS_ROW_PASSWORD);
    const int EMPTIED = 0;  // OK pressed after the selection was emptied
    const struct {
        std::vector<QOVINewInputItem> inputs;
        std::vector<Strings> rows;  // columns 0, 1, 2
        Strings elements;           // "#id" when nameless; those behind the last row got none
        std::initializer_list<int> removed;
        int answer;
        Strings left;
    } cases[] = {
        {userAndPassword(), {{U, L"user", L"alice"}, {P, L"pass", L"********"}}, {L"user", L"pass"}, {1}, IDOK, {L"user"}},
        {{plain(L"login-id", L"", L"bob"), secret(L"p1", L"pass", L"")}, {{U, L"login-id", L"bob"}, {P, L"pass", L""}},
         {L"#login-id", L"pass"}, {0, 1}, IDOK, {}},
        {{secret(L"p1", L"pass", L"pw"), plain(L"u1", L"user", L"al")}, {{P, L"pass", L"**"}}, {L"pass", L"user"}, {0},
         IDCANCEL, {L"pass", L"user"}},
        {{plain(L"u1", L"user", L"al"), plain(L"u2", L"other", L"bo"), secret(L"p1", L"pass", L"pw")},
         {{U, L"user", L"al"}}, {L"user", L"pass"}, {0}, EMPTIED, {L"user", L"pass"}},
        {{plain(L"u1", L"user", L"al"), namelessEmail, secret(L"p1", L"pass", L"pw")},
         {{U, L"user", L"al"}, {U, U, L""}, {P, L"pass", L"**"}}, {L"user", L"#e1", L"pass"}, {1, 2}, IDOK, {L"user"}},
        {{{L"u1", L"user", L"Text", L"al"}, secret(L"p1", L"pass", L"x\U00010348y")}, {{P, L"pass", L"****"}}, {L"pass"},
         {0}, IDOK, {}},
    };
    std::vector<std::vector<QOVINewInputItem>> inputSets;
    std::transform(std::begin(cases), std::end(cases), std::back_inserter(inputSets), [](auto& c) { return c.inputs; });
    openSites(inputSets);
    AppGlobals.selectedInputName = AppGlobals.selectedInputValue = L"opened for another site";
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(i);
        openEditorOn(static_cast<int>(i));
        EXPECT_EQ(L"", AppGlobals.selectedInputName + AppGlobals.selectedInputValue);
        std::vector<Strings> rows;
        for (int row = 0; row < rowCount(inputList()); ++row)
            rows.push_back({rowText(inputList(), row, 0), rowText(inputList(), row, 1), rowText(inputList(), row, 2)});
        EXPECT_EQ(c.rows, rows);
        EXPECT_EQ(c.elements, inputElements());
        EXPECT_EQ(0, firstSelectedRow(inputList()));
        selectRows(inputList(), c.removed);
        {
            ModalAnswerer answerer;
            answerer.expectBox(c.answer == EMPTIED ? IDOK : c.answer, text(IDS_CAPTION_INFO),
                               text(IDS_CONFIRM_REMOVE_INPUTS), [&] {
                                   if (c.answer == EMPTIED)
                                       ListView_SetItemState(inputList(), -1, 0, LVIS_SELECTED);
                               });
            clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_REMOVE));
        }
        EXPECT_EQ(c.left, inputElements());
        EXPECT_EQ(rows.size() - c.removed.size() * (c.left.size() < c.elements.size()), rowCount(inputList()));
        const int marked = c.left.size() < c.elements.size() ? 1 : 0;
        EXPECT_EQ(std::make_pair(marked, marked), takeMarks());
        closeEditor();
    }
    EXPECT_EQ(static_cast<int>(std::size(cases)), countInLog("EditDlg.cpp(329): Get Input item information."));
    Stored bank = stored();
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].inputs.size(), bank.inputs[L"case" + std::to_wstring(i)].size()) << "only Save changes the store";
}
