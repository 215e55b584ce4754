// The input item edit dialog (55) opened modally over a web site edit dialog
// (54) made from the real template, with its input item list filled as the
// edit dialog fills it. Each test acts inside the dialog's own modal loop,
// answers every box, and checks the list row, AppGlobals and what was posted.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <functional>
#include "FPGlobal.h"
#include "QOVIPWDBankIputItemEditDlg.h"
#include "UiFixture.h"
#include "resource.h"

using namespace qovitest;

namespace {

int siteEditModifiedPosts;

// Dialog 54 as far as dialog 55 sees it: its list and what it is posted.
INT_PTR CALLBACK siteEditStandInProc(HWND, UINT message, WPARAM, LPARAM)
{
    if (message == WM_PWDBANK_MODIFIED)
        ++siteEditModifiedPosts;
    return message == WM_INITDIALOG;
}

// Runs a test's actions inside a modal loop: the answerer may only post, so
// it posts to this window, and the actions run when the loop dispatches that.
class ModalSteps {
public:
    ModalSteps()
    {
        window_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowSubclass(window_, proc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    ~ModalSteps()
    {
        RemoveWindowSubclass(window_, proc, 0);
        DestroyWindow(window_);
    }
    void post(std::function<void()> steps)
    {
        steps_ = std::move(steps);
        PostMessageW(window_, WM_APP, 0, 0);
    }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
    {
        if (message != WM_APP)
            return DefSubclassProc(window, message, wParam, lParam);
        std::function<void()> steps = std::move(reinterpret_cast<ModalSteps*>(self)->steps_);
        steps();
        return 0;
    }
    HWND window_ = nullptr;
    std::function<void()> steps_;
};

struct Row {
    const wchar_t* name;
    const wchar_t* id;
    const wchar_t* type;
    const wchar_t* value;  // stored, in plain
};

const Row userRow = {L"user", L"u1", L"text", L"anna"};
const Row passwordRow = {L"pass", L"p1", L"password", L"secret"};
const Row otherRow = {L"", L"e1", L"email", L"anna@example.org"};

class InputItemEditTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        openMainWindow();
        siteEditModifiedPosts = 0;
        siteEdit = createDialogFromResources(AppGlobals.hInstance, IDD_SITE_EDIT, siteEditStandInProc,
                                             AppGlobals.hMainDialog);
        ASSERT_NE(nullptr, siteEdit);
        AppGlobals.hSiteEditDialog = siteEdit;
        list = GetDlgItem(siteEdit, IDC_SITE_EDIT_INPUTS);
        for (int column = 0; column < 3; ++column) {
            LVCOLUMNW header = {};
            header.mask = LVCF_WIDTH;
            header.cx = 100;
            SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&header));
        }
    }
    void TearDown() override
    {
        DestroyWindow(siteEdit);
        AppGlobals.hSiteEditDialog = nullptr;
    }

    // A row as the edit dialog shows the item: its label, its name (hidden),
    // the value in plain or masked.
    void addRow(const Row& item)
    {
        std::wstring type = item.type;
        std::wstring label = loadResString(type == L"password" ? IDS_ROW_PASSWORD : IDS_ROW_USER_NAME);
        std::wstring value = item.value;
        if (type == L"password")
            value.assign(value.size(), L'*');
        if (type != L"text" && type != L"password")
            value.clear();  // a nameless item of another type shows no value
        int row = listViewRowCount(list);
        LVITEMW entry = {};
        entry.mask = LVIF_TEXT;
        entry.iItem = row;
        entry.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry));
        setCell(row, 0, label);
        setCell(row, 1, *item.name ? item.name : label.c_str());
        setCell(row, 2, value);
    }
    void setCell(int row, int column, const std::wstring& text)
    {
        LVITEMW entry = {};
        entry.iSubItem = column;
        entry.pszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&entry));
    }
    // What the edit dialog does before it opens dialog 55 on a row.
    void select(int row, const Row& item)
    {
        selectListViewRows(list, {row});
        AppGlobals.selectedInputName = item.name;
        AppGlobals.selectedInputValue = item.value;
        AppGlobals.selectedInputType = item.type;
        AppGlobals.selectedInputId = item.id;
    }
    INT_PTR openDialog()
    {
        return DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_INPUT_ITEM_EDIT), siteEdit,
                               InputItemEditProc, 0);
    }
    // The answer to dialog 55 opening: the actions, run in its modal loop.
    std::function<void(HWND)> inDialog(std::function<void(HWND)> actions)
    {
        return [this, actions](HWND dialog) { steps.post([dialog, actions] { actions(dialog); }); };
    }
    // Drops what was posted and reports it: main dialog marked, edit dialog marked.
    std::pair<int, int> takePosts()
    {
        pumpMessages();
        std::pair<int, int> posts(AppGlobals.mainState->dirty, siteEditModifiedPosts);
        AppGlobals.mainState->dirty = 0;
        siteEditModifiedPosts = 0;
        return posts;
    }
    std::wstring text(UINT id) { return loadResString(id); }
    // Dialog 55 has not ended while it keeps its owner disabled.
    bool stillModal() { return !IsWindowEnabled(siteEdit); }

    HWND siteEdit = nullptr;
    HWND list = nullptr;
    ModalSteps steps;
};

HWND valueEdit(HWND dialog) { return GetDlgItem(dialog, IDC_INPUT_EDIT_VALUE); }
void typeValue(HWND dialog, const std::wstring& value) { SetWindowTextW(valueEdit(dialog), value.c_str()); }
void press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

const std::pair<int, int> nothingPosted(0, 0);
const std::pair<int, int> bothMarked(1, 1);

}  // namespace

TEST_F(InputItemEditTest, OpensWithTheRowLabelTheValueAndMaskingByType)
{
    addRow(userRow);
    addRow(passwordRow);
    addRow(otherRow);
    const struct { int row; Row item; const wchar_t* shown; wchar_t mask; } cases[] = {
        {0, userRow, L"anna", 0},
        {1, passwordRow, L"secret", L'*'},  // the stored value, not the list's asterisks
        {2, otherRow, L"", 0},              // what the list shows: nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        select(c.row, c.item);
        std::wstring label, shown;
        wchar_t mask = L'?';
        LRESULT limit = 0;
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([&](HWND dialog) {
            label = windowText(GetDlgItem(dialog, IDC_INPUT_EDIT_LABEL));
            shown = windowText(valueEdit(dialog));
            mask = static_cast<wchar_t>(SendMessageW(valueEdit(dialog), EM_GETPASSWORDCHAR, 0, 0));
            limit = SendMessageW(valueEdit(dialog), EM_GETLIMITTEXT, 0, 0);
            press(dialog, IDC_SITE_EDIT_CLOSE);
        }));
        INT_PTR result = openDialog();
        answerer.verifyAllAnswered();
        EXPECT_EQ(IDC_SITE_EDIT_CLOSE, result);
        EXPECT_EQ(listViewText(list, c.row, 0) + L":", label);
        EXPECT_EQ(c.shown, shown);
        EXPECT_EQ(c.mask, mask);
        EXPECT_EQ(259, limit);
        EXPECT_EQ(nullptr, AppGlobals.inputEditState);
    }
}

TEST_F(InputItemEditTest, UnchangedValueClosesWith341AndPostsNothing)
{
    addRow(userRow);
    addRow(passwordRow);
    const struct { int row; Row item; const wchar_t* listed; } cases[] = {
        {0, userRow, L"anna"},
        {1, passwordRow, L"******"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        select(c.row, c.item);
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([](HWND dialog) { press(dialog, IDC_INPUT_EDIT_SAVE); }));
        INT_PTR result = openDialog();
        answerer.verifyAllAnswered();
        EXPECT_EQ(IDC_INPUT_EDIT_SAVE, result);
        EXPECT_EQ(nothingPosted, takePosts());
        EXPECT_EQ(c.listed, listViewText(list, c.row, 2));
        EXPECT_EQ(c.item.value, AppGlobals.selectedInputValue);
        EXPECT_EQ(L"", AppGlobals.pendingPasswordValue);
    }
}

TEST_F(InputItemEditTest, EmptyValueIsRefusedByTypeAndTheDialogStaysOpen)
{
    addRow(userRow);
    addRow(passwordRow);
    addRow(otherRow);
    const struct { int row; Row item; UINT error; } cases[] = {
        {0, userRow, IDS_USER_NAME_EMPTY},
        {1, passwordRow, IDS_PASSWORD_EMPTY},
        {2, otherRow, 0},  // another type: refused without a word
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        select(c.row, c.item);
        bool stayedOpen = false;
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([&](HWND dialog) {
            typeValue(dialog, L"");
            press(dialog, IDC_INPUT_EDIT_SAVE);
            stayedOpen = stillModal();
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }));
        if (c.error)
            answerer.expectBox(IDOK, text(IDS_CAPTION_ERROR), text(c.error));
        INT_PTR result = openDialog();
        answerer.verifyAllAnswered();
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_EQ(nothingPosted, takePosts());
        EXPECT_EQ(c.item.value, AppGlobals.selectedInputValue);
    }
}

TEST_F(InputItemEditTest, NewPasswordShowsAsAsterisksAndIsHeldInPlain)
{
    addRow(userRow);
    addRow(passwordRow);
    select(1, passwordRow);
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([](HWND dialog) {
        typeValue(dialog, L"n3w!p");
        press(dialog, IDC_INPUT_EDIT_SAVE);
    }));
    INT_PTR result = openDialog();
    answerer.verifyAllAnswered();
    EXPECT_EQ(IDC_INPUT_EDIT_SAVE, result);
    EXPECT_EQ(L"*****", listViewText(list, 1, 2));
    EXPECT_EQ(L"anna", listViewText(list, 0, 2));
    EXPECT_EQ(L"n3w!p", AppGlobals.selectedInputValue);
    EXPECT_EQ(L"n3w!p", AppGlobals.pendingPasswordValue);
    EXPECT_EQ(bothMarked, takePosts());
    EXPECT_EQ(0, countInLog("Save the user name!"));  // only a user name is logged
}

TEST_F(InputItemEditTest, ReopenedPasswordShowsThePendingOneAndCountsItAsAChange)
{
    addRow(userRow);
    addRow(passwordRow);
    setCell(1, 2, L"*****");
    select(1, passwordRow);
    AppGlobals.pendingPasswordValue = L"n3w!p";
    std::wstring shown;
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([&](HWND dialog) {
        shown = windowText(valueEdit(dialog));
        press(dialog, IDC_INPUT_EDIT_SAVE);  // at once: differs from the stored "secret"
    }));
    INT_PTR result = openDialog();
    answerer.verifyAllAnswered();
    EXPECT_EQ(L"n3w!p", shown);
    EXPECT_EQ(IDC_INPUT_EDIT_SAVE, result);
    EXPECT_EQ(bothMarked, takePosts());
    EXPECT_EQ(L"n3w!p", AppGlobals.pendingPasswordValue);
    EXPECT_EQ(L"*****", listViewText(list, 1, 2));
}

TEST_F(InputItemEditTest, NewUserNameShowsInPlainAndLeavesThePendingPassword)
{
    addRow(userRow);
    addRow(passwordRow);
    select(0, userRow);
    AppGlobals.pendingPasswordValue = L"n3w!p";
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([](HWND dialog) {
        typeValue(dialog, L"bert");
        press(dialog, IDC_INPUT_EDIT_SAVE);
    }));
    INT_PTR result = openDialog();
    answerer.verifyAllAnswered();
    EXPECT_EQ(IDC_INPUT_EDIT_SAVE, result);
    EXPECT_EQ(L"bert", listViewText(list, 0, 2));
    EXPECT_EQ(L"bert", AppGlobals.selectedInputValue);
    EXPECT_EQ(L"n3w!p", AppGlobals.pendingPasswordValue);
    EXPECT_EQ(bothMarked, takePosts());
    EXPECT_EQ(1, countInLog("QOVIPWDBankIputItemEditDlg.cpp("));
    EXPECT_EQ(1, countInLog("Save the user name!"));
    EXPECT_EQ(0, countInLog("bert"));  // never a value
}

TEST_F(InputItemEditTest, UserNameAnotherEntryOfTheSiteHoldsIsRefusedAndTheOldOneRestored)
{
    // The same log-in form saved twice, once per account.
    QOVINewWebItem site{L"Mail", L"https://mail.example.org/login", L"f", L"login", {}};
    site.inputs = {{L"u1", L"user", L"text", L"anna"}, {L"p1", L"pass", L"password", L"secret"}};
    QOVINewWebItem second = site;
    second.webName = L"Mail work";
    second.inputs[0].value = L"bert";
    QOVIUserInfo* user = AppGlobals.currentUser;
    ASSERT_EQ(0, user->getPWDBankInfo()->addWebItem(site));
    ASSERT_EQ(0, user->getPWDBankInfo()->addWebItem(second));
    AppGlobals.selectedSiteUrl = site.url;
    AppGlobals.selectedSiteFormId = site.formId;
    AppGlobals.selectedSiteFormName = site.formName;
    addRow(userRow);
    addRow(passwordRow);
    select(0, userRow);

    std::wstring restored;
    bool stayedOpen = false;
    ModalAnswerer answerer;
    answerer.expectDialog(inDialog([&](HWND dialog) {
        typeValue(dialog, L"bert");
        press(dialog, IDC_INPUT_EDIT_SAVE);
        restored = windowText(valueEdit(dialog));
        stayedOpen = stillModal();
        typeValue(dialog, L"carl");  // nobody's: taken over
        press(dialog, IDC_INPUT_EDIT_SAVE);
    }));
    answerer.expectBox(IDOK, text(IDS_CAPTION_ERROR), text(IDS_NAME_EXISTS));
    INT_PTR result = openDialog();
    answerer.verifyAllAnswered();
    EXPECT_EQ(L"anna", restored);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(IDC_INPUT_EDIT_SAVE, result);
    EXPECT_EQ(L"carl", listViewText(list, 0, 2));
    EXPECT_EQ(L"carl", AppGlobals.selectedInputValue);
    EXPECT_EQ(std::make_pair(1, 2), takePosts());  // the refused name was posted too
    EXPECT_EQ(1, countInLog("Save the user name!"));
}

TEST_F(InputItemEditTest, EscapeAndCancelChangeNothing)
{
    addRow(userRow);
    addRow(passwordRow);
    const struct { int row; Row item; const wchar_t* listed; bool escape; INT_PTR result; } cases[] = {
        {0, userRow, L"anna", true, IDCANCEL},
        {1, passwordRow, L"******", true, IDCANCEL},
        {0, userRow, L"anna", false, IDC_SITE_EDIT_CLOSE},
        {1, passwordRow, L"******", false, IDC_SITE_EDIT_CLOSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << (c.escape ? " Esc" : " 326"));
        select(c.row, c.item);
        ModalAnswerer answerer;
        answerer.expectDialog(inDialog([&](HWND dialog) {
            typeValue(dialog, L"changed");
            if (c.escape)  // the key itself: the dialog turns it into IDCANCEL
                PostMessageW(valueEdit(dialog), WM_KEYDOWN, VK_ESCAPE, 0);
            else
                press(dialog, IDC_SITE_EDIT_CLOSE);
        }));
        INT_PTR result = openDialog();
        answerer.verifyAllAnswered();
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(nothingPosted, takePosts());
        EXPECT_EQ(c.listed, listViewText(list, c.row, 2));
        EXPECT_EQ(c.item.value, AppGlobals.selectedInputValue);
        EXPECT_EQ(L"", AppGlobals.pendingPasswordValue);
    }
}
