// The input item edit dialog (55) over the real web site edit dialog on a real
// bank. Each test acts inside the dialog's own modal loop, answers every box,
// and checks the editor's row, AppGlobals, the marks both windows got and the
// value handed to the editor's Save.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "FPGlobal.h"
#include "SiteFixture.h"

using namespace qovitest;

namespace {

// Rows of the site below: a nameless item of another type (labelled as a
// user name, no value shown), the user name, the password.
const int OTHER_ROW = 0, USER_ROW = 1, PASSWORD_ROW = 2;

class InputItemEditTest : public SiteFixture {
protected:
    void SetUp() override
    {
        storeSites({site(L"mail", {{L"e1", L"", L"email", L"alice@example.org"},
                                   {L"u1", L"user", L"text", L"alice"},
                                   {L"p1", L"pass", L"password", L"secret12"}})});
        openSitesPage();
        openEditorOn(0);
        takeMarks();
    }
    std::wstring shown(int row) const { return listViewText(inputList(), row, 2); }
    // The value handed to Save for the item of the row, or "<none>".
    std::wstring handedOver(int row) const
    {
        const std::wstring* value = editState().takenOverValue(row);
        return value ? *value : L"<none>";
    }
    bool stillModal() const { return !IsWindowEnabled(editor); }
};

const std::pair<int, int> noMarks(0, 0);
const std::pair<int, int> bothMarked(1, 1);

}  // namespace

TEST_F(InputItemEditTest, OpensWithTheRowLabelTheValueAndMaskingByType)
{
    const struct { int row; const wchar_t* shown; wchar_t mask; } cases[] = {
        {USER_ROW, L"alice", 0},
        {PASSWORD_ROW, L"secret12", L'*'},  // the stored value, not the list's asterisks
        {OTHER_ROW, L"", 0},                // what the list shows: nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        std::wstring label, value;
        wchar_t mask = L'?';
        LRESULT limit = 0;
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([&](HWND dialog) {
            label = windowText(GetDlgItem(dialog, IDC_INPUT_EDIT_LABEL));
            value = windowText(inputValueEdit(dialog));
            mask = static_cast<wchar_t>(SendMessageW(inputValueEdit(dialog), EM_GETPASSWORDCHAR, 0, 0));
            limit = SendMessageW(inputValueEdit(dialog), EM_GETLIMITTEXT, 0, 0);
            pressButton(dialog, IDC_SITE_EDIT_CLOSE);
        }));
        EXPECT_EQ(IDC_SITE_EDIT_CLOSE, openInputDialog(c.row));
        answerer.verifyAllAnswered();
        EXPECT_EQ(L"&" + listViewText(inputList(), c.row, 0) + L":", label);  // its access key first
        EXPECT_EQ(c.shown, value);
        EXPECT_EQ(c.mask, mask);
        EXPECT_EQ(259, limit);
        EXPECT_EQ(nullptr, AppGlobals.inputEditState);
    }
}

TEST_F(InputItemEditTest, EmptyValueIsRefusedByTypeAndTheDialogStaysOpen)
{
    const struct { int row; UINT error; } cases[] = {
        {USER_ROW, IDS_USER_NAME_EMPTY},
        {PASSWORD_ROW, IDS_PASSWORD_EMPTY},
        {OTHER_ROW, 0},  // another type: refused without a word
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        bool stayedOpen = false;
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([&](HWND dialog) {
            takeOver(dialog, L"");
            stayedOpen = stillModal();
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }));
        if (c.error)
            answerer.expectBox(IDOK, text(IDS_CAPTION_ERROR), text(c.error));
        EXPECT_EQ(IDCANCEL, openInputDialog(c.row));  // not 341: only the cancel ended it
        answerer.verifyAllAnswered();
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(noMarks, takeMarks());
        EXPECT_EQ(L"<none>", handedOver(c.row));
    }
}

// A new password shows as asterisks and is held in plain; reopened, the
// password row offers it and 341 at once counts as a change; a new user name
// then shows in plain and leaves the pending password alone.
TEST_F(InputItemEditTest, TakenOverValuesShowByTypeAndAreHandedToSave)
{
    std::wstring reopened;
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([](HWND dialog) { takeOver(dialog, L"n3w!p"); }))
        .expectDialog(inDialog([&](HWND dialog) {
            reopened = windowText(inputValueEdit(dialog));
            pressButton(dialog, IDC_INPUT_EDIT_SAVE);  // at once: differs from the stored "secret12"
        }))
        .expectDialog(inDialog([](HWND dialog) { takeOver(dialog, L"bert"); }));
    EXPECT_EQ(IDC_INPUT_EDIT_SAVE, openInputDialog(PASSWORD_ROW));
    EXPECT_EQ(L"*****", shown(PASSWORD_ROW));
    EXPECT_EQ(L"alice", shown(USER_ROW));
    EXPECT_EQ(L"n3w!p", AppGlobals.selectedInputValue);
    EXPECT_EQ(L"n3w!p", AppGlobals.pendingPasswordValue);
    EXPECT_EQ(L"n3w!p", handedOver(PASSWORD_ROW));
    EXPECT_EQ(L"<none>", handedOver(USER_ROW));
    EXPECT_EQ(bothMarked, takeMarks());
    EXPECT_EQ(0, countInLog("Save the user name!"));  // only a user name is logged

    clickOpen();
    EXPECT_EQ(L"n3w!p", reopened);
    EXPECT_EQ(bothMarked, takeMarks());
    EXPECT_EQ(L"n3w!p", handedOver(PASSWORD_ROW));

    EXPECT_EQ(IDC_INPUT_EDIT_SAVE, openInputDialog(USER_ROW));
    answerer.verifyAllAnswered();
    EXPECT_EQ(L"bert", shown(USER_ROW));
    EXPECT_EQ(L"*****", shown(PASSWORD_ROW));
    EXPECT_EQ(L"bert", AppGlobals.selectedInputValue);
    EXPECT_EQ(L"n3w!p", AppGlobals.pendingPasswordValue);
    EXPECT_EQ(L"bert", handedOver(USER_ROW));
    EXPECT_EQ(bothMarked, takeMarks());
    EXPECT_EQ(1, countInLog("QOVIPWDBankIputItemEditDlg.cpp("));
    EXPECT_EQ(1, countInLog("Save the user name!"));
    EXPECT_EQ(0, countInLog("bert"));  // never a value
}

// The pending password offered is the one taken over for the password item
// itself. pendingPasswordValue also takes values of other types: a dialog that
// offered it whenever it is not empty would show that value here, and 341
// would make it the password.
TEST_F(InputItemEditTest, ValueOfAnotherTypeIsNotOfferedAsThePendingPassword)
{
    std::wstring offered;
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([](HWND dialog) { takeOver(dialog, L"bob@example.org"); }))
        .expectDialog(inDialog([&](HWND dialog) {
            offered = windowText(inputValueEdit(dialog));
            pressButton(dialog, IDC_INPUT_EDIT_SAVE);
        }));
    selectInput(OTHER_ROW);
    clickOpen();
    EXPECT_EQ(L"bob@example.org", AppGlobals.pendingPasswordValue);
    EXPECT_EQ(L"bob@example.org", shown(OTHER_ROW));  // another type shows in plain
    selectInput(PASSWORD_ROW);
    clickOpen();
    answerer.verifyAllAnswered();
    EXPECT_EQ(L"secret12", offered);
    EXPECT_EQ(L"<none>", handedOver(PASSWORD_ROW));
    EXPECT_EQ(L"bob@example.org", handedOver(OTHER_ROW));
    EXPECT_EQ(L"********", shown(PASSWORD_ROW));
}

TEST_F(InputItemEditTest, UserNameAnotherEntryOfTheSiteHoldsIsRefusedAndTheOldOneRestored)
{
    // The same log-in form saved once more, for another account.
    QOVINewWebItem second = site(L"mail", {{L"u1", L"user", L"text", L"bert"}, {L"p1", L"pass", L"password", L"pw"}});
    second.webName = L"mail work";
    ASSERT_EQ(0, AppGlobals.currentUser->getPWDBankInfo()->addWebItem(second));
    AppGlobals.selectedSiteUrl = second.url;
    AppGlobals.selectedSiteFormId = second.formId;
    AppGlobals.selectedSiteFormName = second.formName;

    std::wstring restored;
    bool stayedOpen = false;
    int handedBefore = -1;
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([&](HWND dialog) {
        takeOver(dialog, L"bert");
        restored = windowText(inputValueEdit(dialog));
        stayedOpen = stillModal();
        handedBefore = static_cast<int>(editState().takenOverValues.size());
        takeOver(dialog, L"carl");  // nobody's: taken over
    }));
    answerer.expectBox(IDOK, text(IDS_CAPTION_ERROR), text(IDS_NAME_EXISTS));
    EXPECT_EQ(IDC_INPUT_EDIT_SAVE, openInputDialog(USER_ROW));
    answerer.verifyAllAnswered();
    EXPECT_EQ(L"alice", restored);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(0, handedBefore);
    EXPECT_EQ(L"carl", shown(USER_ROW));
    EXPECT_EQ(L"carl", handedOver(USER_ROW));
    EXPECT_EQ(bothMarked, takeMarks());  // the refused name marked both windows as well
    EXPECT_EQ(1, countInLog("Save the user name!"));
}

// An unchanged value taken over (341), Esc and 326 all change nothing.
TEST_F(InputItemEditTest, UnchangedValueEscapeAndCancelChangeNothing)
{
    const struct { int row; UINT how; INT_PTR result; } cases[] = {
        {USER_ROW, IDC_INPUT_EDIT_SAVE, IDC_INPUT_EDIT_SAVE}, {PASSWORD_ROW, IDC_INPUT_EDIT_SAVE, IDC_INPUT_EDIT_SAVE},
        {USER_ROW, VK_ESCAPE, IDCANCEL},  {PASSWORD_ROW, VK_ESCAPE, IDCANCEL},
        {USER_ROW, IDC_SITE_EDIT_CLOSE, IDC_SITE_EDIT_CLOSE}, {PASSWORD_ROW, IDC_SITE_EDIT_CLOSE, IDC_SITE_EDIT_CLOSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " by " << c.how);
        const std::wstring before = shown(c.row);
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([&](HWND dialog) {
            if (c.how == IDC_INPUT_EDIT_SAVE) {
                pressButton(dialog, IDC_INPUT_EDIT_SAVE);
                return;
            }
            typeInputValue(dialog, L"changed");
            if (c.how == VK_ESCAPE)  // the key itself: the dialog turns it into IDCANCEL
                PostMessageW(inputValueEdit(dialog), WM_KEYDOWN, VK_ESCAPE, 0);
            else
                pressButton(dialog, IDC_SITE_EDIT_CLOSE);
        }));
        EXPECT_EQ(c.result, openInputDialog(c.row));
        answerer.verifyAllAnswered();
        EXPECT_EQ(noMarks, takeMarks());
        EXPECT_EQ(before, shown(c.row));
        EXPECT_EQ(L"", AppGlobals.pendingPasswordValue);
        EXPECT_EQ(L"<none>", handedOver(c.row));
    }
}
