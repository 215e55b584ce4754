// The input item edit dialog and the web site edit dialog's Save on a real
// bank: values taken over (or not), the name checks, removed rows and sites,
// and the save itself, made to fail for real. Every box is answered and
// checked here; what was saved is read back by a fresh load.
#include "UiFixture.h"

using namespace qovitest;

namespace {

const QOVINewInputItem nameless{L"e1", L"", L"email", L"alice@example.org"};
const QOVINewInputItem user{L"u1", L"user", L"text", L"alice"};
const QOVINewInputItem pass{L"p1", L"pass", L"password", L"secret12"};
// How a fresh load shows those items (name|id|type|value).
const wchar_t STORED_NAMELESS[] = L"|e1|email|alice@example.org";
const wchar_t STORED_USER[] = L"user|u1|text|alice";
const wchar_t STORED_PASS[] = L"pass|p1|password|secret12";
const Box SAVED = {IDOK, IDS_CAPTION_INFO, IDS_SAVED}, REMOVE = {IDOK, IDS_CAPTION_INFO, IDS_CONFIRM_REMOVE_INPUTS};

class SiteSaveTest : public UiFixture {
protected:
    void openOn(const std::vector<QOVINewWebItem>& sites)
    {
        store(sites);
        openMainWindow(1);
        openEditorOn(0);
    }
    // Opens the row in the input item dialog (IDC_SITE_EDIT_OPEN), runs actions
    // there and answers the error boxes expected with OK.
    void inInputDialog(int row, std::function<void(HWND)> actions, std::initializer_list<UINT> errors = {})
    {
        ModalAnswerer answerer;
        answerer.expectDialog(actions);
        for (UINT error : errors)
            answerer.expectBox(IDOK, text(IDS_CAPTION_ERROR), text(error));
        selectRows(inputList(), {row});
        clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_OPEN));
    }
    void save(std::initializer_list<Box> boxes = {})
    {
        pumpMessages();
        clickAnswering(editor, IDC_SITE_EDIT_SAVE, boxes);
    }
    std::wstring shown(int row) const { return rowText(inputList(), row, 2); }
    std::wstring handedOver(int row) const
    {
        const std::wstring* value = editState().takenOverValue(row);
        return value ? *value : L"<none>";
    }
};

}  // namespace

// --------------------------------------------------- the input item dialog --

// The dialog shows the row's label and the value (a password's stored one,
// masked); what it refuses (an empty value) or leaves unchanged marks
// nothing, shows nothing new in the row and hands nothing to Save. The edit
// dialog opens no help while it is open.
TEST_F(SiteSaveTest, InputDialogShowsTheItemAndTakesNothingItRefusesOrThatIsUnchanged)
{
    openOn({site(L"mail", {nameless, user, pass})});
    const int OTHER = 0, USER = 1, PASSWORD = 2;
    const struct { int row; const wchar_t* shown; wchar_t mask; const wchar_t* typed; UINT how, error; bool ends; } cases[] = {
        {USER, L"alice", 0, L"", IDC_INPUT_EDIT_SAVE, IDS_USER_NAME_EMPTY, false},
        {PASSWORD, L"secret12", L'*', L"", IDC_INPUT_EDIT_SAVE, IDS_PASSWORD_EMPTY, false},
        {OTHER, L"", 0, L"", IDC_INPUT_EDIT_SAVE, 0, false},  // another type: refused without a word
        {USER, L"alice", 0, L"alice", IDC_INPUT_EDIT_SAVE, 0, true},
        {PASSWORD, L"secret12", L'*', L"secret12", IDC_INPUT_EDIT_SAVE, 0, true},
        {USER, L"alice", 0, L"changed", IDC_SITE_EDIT_CLOSE, 0, true},
        {PASSWORD, L"secret12", L'*', L"changed", VK_ESCAPE, 0, false},  // the key itself, turned into IDCANCEL
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " typed \"" << narrow(c.typed) << "\" by " << c.how);
        const std::wstring before = shown(c.row);
        std::wstring label, value;
        wchar_t mask = L'?';
        inInputDialog(c.row, [&](HWND dialog) {
            HWND edit = GetDlgItem(dialog, IDC_INPUT_EDIT_VALUE);
            label = windowText(GetDlgItem(dialog, IDC_INPUT_EDIT_LABEL));
            value = windowText(edit);
            mask = static_cast<wchar_t>(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0));
            EXPECT_EQ(259, SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
            SendMessageW(editor, WM_HELP, 0, 0);
            SetWindowTextW(edit, c.typed);
            if (c.how == VK_ESCAPE)
                PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
            else
                press(dialog, c.how);
            EXPECT_EQ(c.ends, IsWindowEnabled(editor) != FALSE) << "ended: its owner is enabled again";
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }, c.error ? std::initializer_list<UINT>{c.error} : std::initializer_list<UINT>{});
        EXPECT_EQ(L"&" + rowText(inputList(), c.row, 0) + L":", label);  // its access key first
        EXPECT_EQ(c.shown + std::wstring(L"|") + c.mask, value + L"|" + mask);
        EXPECT_EQ(std::make_pair(0, 0), takeMarks());
        EXPECT_EQ(before + L"|<none>|", shown(c.row) + L"|" + handedOver(c.row) + L"|" + AppGlobals.pendingPasswordValue);
    }
    EXPECT_EQ(0, countInLog("OnQOVIHelp Start"));
    SendMessageW(editor, WM_HELP, 0, 0);
    EXPECT_EQ(1, countInLog("OnQOVIHelp Start"));
}

// A new password shows masked and is held in plain; reopened, the password
// row offers it, and IDC_INPUT_EDIT_SAVE at once counts as a change. A user name another
// entry of this log-in form holds is refused and the old one put back; a new
// one shows in plain and leaves the pending password alone. A value of
// another type is held as pending too, but never offered for the password.
// Each value is handed to Save for its own item, and none is logged.
TEST_F(SiteSaveTest, InputDialogTakesValuesOverShownByTypeAndHandsThemToSave)
{
    QOVINewWebItem work = site(L"mail", {{L"u1", L"user", L"text", L"bert"}, {L"p1", L"pass", L"password", L"pw"}});
    work.webName = L"mail work";  // the same log-in form, saved for another account
    openOn({site(L"mail", {nameless, user, pass}), work});
    std::wstring offered, restored;
    auto offer = [&](HWND dialog, int button) {
        offered = windowText(GetDlgItem(dialog, IDC_INPUT_EDIT_VALUE));
        press(dialog, button);
    };
    inInputDialog(2, [](HWND dialog) { takeOver(dialog, L"n3w!p"); });
    EXPECT_EQ(L"*****|n3w!p", shown(2) + L"|" + AppGlobals.pendingPasswordValue);
    EXPECT_EQ(std::make_pair(1, 1), takeMarks());
    inInputDialog(2, [&](HWND dialog) { offer(dialog, IDC_INPUT_EDIT_SAVE); });
    EXPECT_EQ(L"n3w!p", offered);
    EXPECT_EQ(std::make_pair(1, 1), takeMarks());
    inInputDialog(1, [&](HWND dialog) {
        takeOver(dialog, L"bert");
        restored = windowText(GetDlgItem(dialog, IDC_INPUT_EDIT_VALUE));
        takeOver(dialog, L"carl");
    }, {IDS_NAME_EXISTS});
    EXPECT_EQ(L"alice", restored);
    EXPECT_EQ(L"carl|n3w!p", shown(1) + L"|" + AppGlobals.pendingPasswordValue);
    inInputDialog(0, [](HWND dialog) { takeOver(dialog, L"bob@example.org"); });
    EXPECT_EQ(L"bob@example.org|bob@example.org", shown(0) + L"|" + AppGlobals.pendingPasswordValue);
    inInputDialog(2, [&](HWND dialog) { offer(dialog, IDCANCEL); });
    EXPECT_EQ(L"n3w!p", offered);
    EXPECT_EQ(Strings({L"bob@example.org", L"carl", L"n3w!p"}), Strings({handedOver(0), handedOver(1), handedOver(2)}));
    EXPECT_EQ(1, countInLog("IputItemEditDlg.cpp(") + countInLog("carl") + countInLog("n3w!p"));
}

// ------------------------------------------------------------------ Save --

// An unchanged name saves nothing without a word; an empty one is refused
// before anything is marked; a name of spaces or another site's is marked,
// then refused, and nothing reaches the store. A new name shows in the list
// page's row while the saved box is up; Save tells the listener, leaves
// Apply armed and the dialog open, and a second Save shows nothing. A failed
// save keeps the change pending for the next Save.
TEST_F(SiteSaveTest, NamesAreCheckedAndANewOneRenamesTheRowAndTheSite)
{
    openOn({site(L"mail", {user, pass}), site(L"shop", {user, pass})});
    const std::string before = dataFileBytes();
    const struct { const wchar_t* typed; UINT error; int marked; } cases[] = {
        {L"mail", 0, 0}, {L"", IDS_NAME_EMPTY, 0}, {L"   ", IDS_NAME_EMPTY, 1}, {L"shop", IDS_NAME_EXISTS, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.typed));
        SetDlgItemTextW(editor, IDC_SITE_EDIT_NAME, c.typed);
        c.error ? save({{IDOK, IDS_CAPTION_ERROR, c.error}}) : save();
        EXPECT_EQ(std::make_pair(c.marked, c.marked), takeMarks());
        EXPECT_EQ(c.typed, windowText(GetDlgItem(editor, IDC_SITE_EDIT_NAME)));
        EXPECT_EQ(Strings({L"mail", L"shop"}), columnOf(siteList(), 1));
    }
    EXPECT_EQ(before, dataFileBytes());
    EXPECT_EQ(0, listenerNotices());

    SetDlgItemTextW(editor, IDC_SITE_EDIT_NAME, L"mail (old)");
    Strings rowsDuringTheBox;
    {
        ModalAnswerer answerer;
        answerer.expectBox(IDOK, text(IDS_CAPTION_INFO), text(IDS_SAVED), [&] { rowsDuringTheBox = columnOf(siteList(), 1); });
        clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_SAVE));
    }
    EXPECT_EQ(Strings({L"mail (old)", L"shop"}), rowsDuringTheBox);
    EXPECT_EQ(1, listenerNotices());
    EXPECT_EQ(std::make_pair(1, 0), takeMarks());
    EXPECT_EQ(1, countInLog("QOVIPWDBankInfoEditDlg.cpp(593): Save the web name!"));
    save();
    // A failed save keeps the dialog modified, and the next Save saves.
    SetDlgItemTextW(editor, IDC_SITE_EDIT_NAME, L"mail (home)");
    HANDLE held = holdFile(AppGlobals.currentUser->getDataFilePath());
    save({{IDOK, IDS_CAPTION_ERROR, IDS_SAVE_FAILED}});
    CloseHandle(held);
    save({SAVED});
    EXPECT_EQ(2, listenerNotices());
    EXPECT_EQ(Strings({L"mail (home)", L"shop"}), stored().sites);
}

// Each case is one site edited and saved: a fresh load then shows exactly the
// removals and the values taken over, each on its own item, and the other
// site untouched. The windows name sites and items to the store by the
// objects they listed: every site is named longer than the name box takes,
// its name differing from the others' only past that length; two items of a
// site may share a name. A long-named site deleted on the list page is gone
// once applied.
TEST_F(SiteSaveTest, RemovedRowsAndValuesTakenOverReachTheStoreByTheirOwnKeys)
{
    const struct {
        std::vector<QOVINewInputItem> inputs;
        std::initializer_list<int> removed;
        std::vector<std::pair<int, const wchar_t*>> takenOver;  // row, value
        Strings stored;
        const char* logLine;  // and how often Save logs it
        int logged;
    } cases[] = {
        {{user, pass}, {1}, {}, {STORED_USER}, "EditDlg.cpp(629): Save Input item!", 1},
        {{nameless, user, pass}, {0, 2}, {}, {STORED_USER}, "EditDlg.cpp(619): delete Input item!", 1},
        // Two rows: written without log lines, and no value is ever logged.
        {{user, pass}, {}, {{0, L"bert"}, {1, L"n3w-secret"}}, {L"user|u1|text|bert", L"pass|p1|password|n3w-secret"},
         "n3w-secret", 0},
        {{nameless, pass}, {}, {{1, L"n3w-secret"}}, {STORED_NAMELESS, L"pass|p1|password|n3w-secret"}, "Input item!", 0},
        {{nameless, pass}, {}, {{0, L"bob@example.org"}}, {L"|e1|email|bob@example.org", STORED_PASS}, "Input item!", 0},
        {{nameless, user, pass}, {}, {{2, L"n3w-secret"}}, {STORED_NAMELESS, STORED_USER, L"pass|p1|password|n3w-secret"},
         "EditDlg.cpp(747): Save Input item!", 1},
        {{{L"", L"pw", L"text", L"alice"}, {L"", L"pw", L"password", L"old"}}, {}, {{1, L"n3w"}},
         {L"pw||text|alice", L"pw||password|n3w"}, "Input item!", 0},
    };
    const std::wstring longName(300, L'l');
    std::vector<QOVINewWebItem> sites;
    for (size_t i = 0; i < std::size(cases); ++i)
        sites.push_back(site(longName + std::to_wstring(i), cases[i].inputs));
    sites.push_back(site(L"untouched", {user, pass}));
    sites.push_back(site(longName + L"gone", {user, pass}));
    store(sites);
    openMainWindow(1);
    selectRows(siteList(), {static_cast<int>(sites.size()) - 1});
    clickAnswering(AppGlobals.hSiteListPage, IDC_SITE_LIST_DELETE, {{IDOK, IDS_CAPTION_INFO, IDS_CONFIRM_DELETE_SITES}});
    pumpMessages();
    clickAnswering(AppGlobals.hMainDialog, IDC_MAIN_APPLY, {SAVED});
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(i);
        openEditorOn(static_cast<int>(i));
        const int logged = countInLog(c.logLine);
        if (c.removed.size() > 0) {
            selectRows(inputList(), c.removed);
            clickAnswering(editor, IDC_SITE_EDIT_REMOVE, {REMOVE});
        }
        for (const auto& value : c.takenOver)
            inInputDialog(value.first, [&value](HWND dialog) { takeOver(dialog, value.second); });
        save({SAVED});
        EXPECT_EQ(std::make_pair(1, 0), takeMarks());
        EXPECT_EQ(c.logged, countInLog(c.logLine) - logged);
        save();  // saved: nothing is written twice, no box
        closeEditor();
    }
    Stored bank = stored();
    EXPECT_EQ(std::size(cases) + 1, bank.sites.size());
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].stored, bank.inputs[longName + std::to_wstring(i)]) << i;
    EXPECT_EQ(Strings({STORED_USER, STORED_PASS}), bank.inputs[L"untouched"]);
}

// With no row left the site goes: from the bank and, through the list page's
// own operations, from its rows and elements; the dialog ends once saved. A
// site that had no row from the start goes from the bank and the page
// without a save, and the dialog stays.
TEST_F(SiteSaveTest, ASiteWithoutRowsGoesFromTheBankAndTheListPage)
{
    openOn({site(L"mail", {user, pass}), site(L"hidden", {{L"h1", L"token", L"hidden", L"x"}}), site(L"shop", {user, pass})});
    selectRows(inputList(), {0, 1});
    clickAnswering(editor, IDC_SITE_EDIT_REMOVE, {REMOVE});
    save({SAVED});
    EXPECT_FALSE(IsWindowVisible(editor)) << "ended";
    EXPECT_EQ(Strings({L"hidden", L"shop"}), columnOf(siteList(), 1));
    EXPECT_EQ(Strings({L"hidden", L"shop"}), siteElements());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_OPEN)));
    closeEditor();
    openEditorOn(0);
    const std::string before = dataFileBytes();
    for (int round = 0; round < 2; ++round) {  // the second finds no selected row on the page
        save();
        EXPECT_EQ(Strings({L"shop"}), columnOf(siteList(), 1));
        EXPECT_EQ(Strings({L"shop"}), siteElements());
        EXPECT_TRUE(IsWindowVisible(editor));
    }
    EXPECT_EQ(before, dataFileBytes());
    EXPECT_EQ(Strings({L"hidden", L"shop"}), stored().sites);
}
