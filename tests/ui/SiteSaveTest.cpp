// The web site edit dialog's Save on a real bank: the name checks, removed
// rows, removed sites, values taken over in the input item edit dialog, and
// the save itself, made to fail for real. Every box is answered and checked
// here; what was saved is read back by a fresh load once the windows are gone.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <initializer_list>
#include "FPGlobal.h"
#include "SiteFixture.h"

using namespace qovitest;

namespace {

using Strings = std::vector<std::wstring>;

const QOVINewInputItem nameless{L"e1", L"", L"email", L"alice@example.org"};
const QOVINewInputItem user{L"u1", L"user", L"text", L"alice"};
const QOVINewInputItem pass{L"p1", L"pass", L"password", L"secret12"};

// How a fresh load shows those items (name|id|type|value).
const wchar_t STORED_NAMELESS[] = L"|e1|email|alice@example.org";
const wchar_t STORED_USER[] = L"user|u1|text|alice";
const wchar_t STORED_PASS[] = L"pass|p1|password|secret12";

class SiteSaveTest : public SiteFixture {
protected:
    // Stores the sites and opens the editor on the first.
    void openOn(const std::vector<QOVINewWebItem>& sites)
    {
        storeSites(sites);
        openSitesPage();
        openEditorOn(0);
        takeMarks();
    }
    void typeName(const std::wstring& name) { SetDlgItemTextW(editor, IDC_SITE_EDIT_NAME, name.c_str()); }
    std::wstring nameBox() const { return windowText(GetDlgItem(editor, IDC_SITE_EDIT_NAME)); }

    // Removes the rows from the list, confirming the question.
    void removeRows(std::initializer_list<int> rows)
    {
        selectListViewRows(inputList(), rows);
        ModalAnswerer answerer;
        answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_CONFIRM_REMOVE_INPUTS));
        clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_REMOVE));
        answerer.verifyAllAnswered();
    }
    // Takes a new value over for the row in the input item edit dialog.
    void takeOverAt(int row, const std::wstring& value)
    {
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([value](HWND dialog) { takeOver(dialog, value); }));
        selectInput(row);
        clickOpen();
        answerer.verifyAllAnswered();
        pumpMessages();  // the marks it posted arrive before the user's next click
    }
    // Clicks Save and answers the boxes expected, each (caption, text), with OK.
    void save(std::initializer_list<std::pair<UINT, UINT>> boxes = {})
    {
        ModalAnswerer answerer;
        for (const auto& box : boxes)
            answerer.expectBox(IDOK, text(box.first), text(box.second));
        clickSave();
        answerer.verifyAllAnswered();
    }
    bool editorOpen() const { return IsWindowVisible(editor) != FALSE; }
};

const std::pair<UINT, UINT> savedBox(IDS_CAPTION_INFO, IDS_SAVED);

}  // namespace

// ---------------------------------------------------------------- name --

// The unchanged name saves nothing without a word; refused names change
// nothing in the store either.
TEST_F(SiteSaveTest, UnchangedOrRefusedNamesChangeNothingInTheStore)
{
    openOn({site(L"mail", {user, pass}), site(L"shop", {user, pass})});
    const std::string before = dataFileBytes();
    const struct { const wchar_t* typed; UINT error; int marked; } cases[] = {
        {L"mail", 0, 0},              // unchanged, nothing else either: no box at all
        {L"", IDS_NAME_EMPTY, 0},     // refused before anything is marked
        {L"   ", IDS_NAME_EMPTY, 1},  // a changed name: marked, then refused
        {L"shop", IDS_NAME_EXISTS, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.typed));
        typeName(c.typed);
        if (c.error)
            save({{IDS_CAPTION_ERROR, c.error}});
        else
            save();
        EXPECT_EQ(std::make_pair(c.marked, c.marked), takeMarks());
        EXPECT_EQ(c.typed, nameBox());
        EXPECT_STREQ(L"mail", editState().storedName);
        EXPECT_EQ(Strings({L"mail", L"shop"}), siteRows());
        EXPECT_EQ(Strings({L"mail", L"shop"}), bankSites());
        EXPECT_TRUE(editorOpen());
    }
    EXPECT_EQ(0, countInLog("Save the web name!") + countInLog("Input item!"));
    EXPECT_EQ(before, dataFileBytes());
    EXPECT_EQ(Strings({L"mail", L"shop"}), storedSitesAfterClosing());
}

TEST_F(SiteSaveTest, ValidNameRenamesTheRowAtOnceAndSaves)
{
    openOn({site(L"mail", {user, pass}), site(L"shop", {user, pass})});
    typeName(L"mail (old)");
    Strings rowsDuringTheBox;
    ModalAnswerer answerer;
    answerer.expectDialog([&](HWND box) {
        rowsDuringTheBox = siteRows();
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    clickSave();
    answerer.verifyAllAnswered();
    ASSERT_EQ(1u, answerer.seen().size());
    EXPECT_EQ(text(IDS_CAPTION_INFO), answerer.seen()[0].caption);
    EXPECT_EQ(text(IDS_SAVED), answerer.seen()[0].text);
    EXPECT_EQ(Strings({L"mail (old)", L"shop"}), rowsDuringTheBox);
    EXPECT_STREQ(L"mail (old)", editState().storedName);
    EXPECT_EQ(0, editState().modified);
    EXPECT_EQ(1, takeMarks().first);  // Apply stays armed: the main window saves again
    EXPECT_TRUE(editorOpen());
    EXPECT_EQ(1, countInLog("QOVIPWDBankInfoEditDlg.cpp(593): Save the web name!"));
    save();  // saved: a second Save shows nothing
    EXPECT_EQ(Strings({STORED_USER, STORED_PASS}), storedInputsAfterClosing(L"mail (old)"));
    EXPECT_EQ(Strings({L"mail (old)", L"shop"}), reload().siteNames);
}

// ------------------------------------------------ removed rows, values --

// Each case is one site edited and saved; a fresh load then shows exactly
// the removals and values taken over, each on its own item, and the other
// site untouched.
TEST_F(SiteSaveTest, RemovedRowsAndValuesTakenOverReachTheStoreByTheirOwnKeys)
{
    const struct {
        const char* name;
        std::vector<QOVINewInputItem> inputs;
        std::initializer_list<int> removed;
        std::vector<std::pair<int, const wchar_t*>> takenOver;  // row, value
        Strings stored;
        const char* logLine;
        int logged;
    } cases[] = {
        {"the password row removed", {user, pass}, {1}, {}, {STORED_USER},
         "QOVIPWDBankInfoEditDlg.cpp(629): Save Input item!", 1},
        // A Save that removed only the item removed last would leave the nameless one saved.
        {"a nameless row and the password removed", {nameless, user, pass}, {0, 2}, {}, {STORED_USER},
         "(619): delete Input item!", 1},
        // Two rows: written without log lines, the value never logged.
        {"a new password", {user, pass}, {}, {{1, L"n3w-secret"}}, {STORED_USER, L"pass|p1|password|n3w-secret"},
         "Input item!", 0},
        {"a new user name and password", {user, pass}, {}, {{0, L"bert"}, {1, L"n3w-secret"}},
         {L"user|u1|text|bert", L"pass|p1|password|n3w-secret"}, "n3w-secret", 0},
        // Writing column 2 of row 0 to element 0 would wipe the nameless item's value.
        {"a new password beside a nameless item", {nameless, pass}, {}, {{1, L"n3w-secret"}},
         {STORED_NAMELESS, L"pass|p1|password|n3w-secret"}, "Input item!", 0},
        // pendingPasswordValue takes this value too: it must not become the password.
        {"a new value for the nameless item", {nameless, pass}, {}, {{0, L"bob@example.org"}},
         {L"|e1|email|bob@example.org", STORED_PASS}, "Input item!", 0},
        // Keys taken from element 0 (the nameless item) would match nothing and drop it.
        {"a new password in the third row", {nameless, user, pass}, {}, {{2, L"n3w-secret"}},
         {STORED_NAMELESS, STORED_USER, L"pass|p1|password|n3w-secret"},
         "QOVIPWDBankInfoEditDlg.cpp(747): Save Input item!", 1},
    };
    std::vector<QOVINewWebItem> sites;
    for (size_t i = 0; i < std::size(cases); ++i)
        sites.push_back(site(L"case" + std::to_wstring(i), cases[i].inputs));
    sites.push_back(site(L"untouched", {user, pass}));
    storeSites(sites);
    openSitesPage();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        openEditorOn(static_cast<int>(i));
        const int logged = countInLog(c.logLine);
        if (c.removed.size() > 0)
            removeRows(c.removed);
        for (const auto& value : c.takenOver)
            takeOverAt(value.first, value.second);
        save({savedBox});
        EXPECT_EQ(std::make_pair(1, 0), takeMarks());
        EXPECT_TRUE(editState().removedItems.empty());
        EXPECT_TRUE(editState().takenOverValues.empty());
        EXPECT_TRUE(editorOpen());
        EXPECT_EQ(c.logged, countInLog(c.logLine) - logged);
        closeEditor();
    }
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].stored, storedInputsAfterClosing(L"case" + std::to_wstring(i))) << cases[i].name;
    EXPECT_EQ(Strings({STORED_USER, STORED_PASS}), storedInputsAfterClosing(L"untouched"));
}

TEST_F(SiteSaveTest, BothRowsRemovedTakeTheSiteAndEndTheDialog)
{
    storeSites({site(L"mail", {user, pass}), site(L"shop", {user, pass})});
    openSitesPage();
    selectListViewRows(siteList(), {0});
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([this](HWND dialog) {
        editor = dialog;
        selectListViewRows(inputList(), {0, 1});
        clickWindow(GetDlgItem(dialog, IDC_SITE_EDIT_REMOVE));
        clickSave();
    }));
    answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_CONFIRM_REMOVE_INPUTS));
    answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_SAVED));
    EXPECT_EQ(IDC_SITE_EDIT_SAVE, DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_SITE_EDIT),
                                                  AppGlobals.hSiteListPage, SiteEditProc, 0));
    answerer.verifyAllAnswered();
    EXPECT_EQ(Strings({L"shop"}), siteRows());
    EXPECT_EQ(Strings({L"shop"}), siteElements());
    EXPECT_FALSE(IsWindowEnabled(listButton(IDC_SITE_LIST_OPEN)));
    EXPECT_FALSE(IsWindowEnabled(listButton(IDC_SITE_LIST_DELETE)));
    EXPECT_EQ(0, listState().buttons.available[0] + listState().buttons.available[1]);
    EXPECT_EQ(Strings({L"shop"}), storedSitesAfterClosing());
}

// A site none of whose items gets a row: Save takes it out of the bank and
// the list page but saves nothing; the second Save finds no selected row.
TEST_F(SiteSaveTest, SiteWithoutRowsFromTheStartIsRemovedButNotSaved)
{
    openOn({site(L"hidden", {{L"h1", L"token", L"hidden", L"x"}}), site(L"mail", {user, pass})});
    ASSERT_EQ(0, listViewRowCount(inputList()));
    const std::string before = dataFileBytes();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        save();  // no box
        EXPECT_EQ(Strings({L"mail"}), siteRows());
        EXPECT_EQ(Strings({L"mail"}), siteElements());
        EXPECT_EQ(Strings({L"mail"}), bankSites());
        EXPECT_TRUE(editorOpen());
    }
    EXPECT_EQ(before, dataFileBytes());
    EXPECT_EQ(Strings({L"hidden", L"mail"}), storedSitesAfterClosing());
}

// selectedInputValue keeps the item opened last in the input item dialog, also
// from an earlier opening for another site: a Save that wrote it whenever it
// is not empty would put mail's password into vault when vault is renamed.
TEST_F(SiteSaveTest, ValuesFromAnEarlierOpeningAreNotWritten)
{
    openOn({site(L"mail", {user, pass}), site(L"vault", {{L"p1", L"pass", L"password", L"vault-pw"}})});
    {
        ModalAnswerer answerer;  // mail's password opened and left unchanged
        answerer.expectDialog([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
        selectInput(1);
        clickOpen();
        answerer.verifyAllAnswered();
    }
    closeEditor();
    openEditorOn(1);
    ASSERT_EQ(1, listViewRowCount(inputList()));
    typeName(L"vault (home)");
    save({savedBox});
    EXPECT_EQ(0, countInLog("Save Input item!"));
    EXPECT_EQ(Strings({L"pass|p1|password|vault-pw"}), storedInputsAfterClosing(L"vault (home)"));
}

TEST_F(SiteSaveTest, FailedSaveKeepsTheDialogModifiedAndSaveRetries)
{
    openOn({site(L"mail", {user, pass})});
    takeOverAt(1, L"n3w-secret");
    FileBlocker blocker(AppGlobals.currentUser->getDataFilePath());
    ASSERT_TRUE(blocker.held());
    save({{IDS_CAPTION_ERROR, IDS_SAVE_FAILED}});
    EXPECT_TRUE(editorOpen());
    EXPECT_EQ(1, editState().modified);
    blocker.release();
    save({savedBox});
    EXPECT_EQ(0, editState().modified);
    EXPECT_EQ(Strings({STORED_USER, L"pass|p1|password|n3w-secret"}), storedInputsAfterClosing(L"mail"));
}
