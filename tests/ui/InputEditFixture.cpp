#include "InputEditFixture.h"

#include <commctrl.h>
#include "FPGlobal.h"
#include "QOVIPWDBankIputItemEditDlg.h"

using namespace qovitest;

// ------------------------------------------------------------ ModalSteps --

ModalSteps::ModalSteps()
{
    window_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowSubclass(window_, proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

ModalSteps::~ModalSteps()
{
    RemoveWindowSubclass(window_, proc, 0);
    DestroyWindow(window_);
}

void ModalSteps::post(std::function<void()> steps)
{
    steps_ = std::move(steps);
    PostMessageW(window_, WM_APP, 0, 0);
}

LRESULT CALLBACK ModalSteps::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    if (message != WM_APP)
        return DefSubclassProc(window, message, wParam, lParam);
    // Taken out first: the actions may open a dialog that posts the next ones.
    std::function<void()> steps = std::move(reinterpret_cast<ModalSteps*>(self)->steps_);
    steps();
    return 0;
}

// ------------------------------------------------------ InputEditFixture --

std::function<void(HWND)> InputEditFixture::inDialog(std::function<void(HWND)> actions)
{
    return [this, actions](HWND dialog) { steps.post([dialog, actions] { actions(dialog); }); };
}

void InputEditFixture::selectInput(int row) { selectListViewRows(inputList(), {row}); }

INT_PTR InputEditFixture::openInputDialog(int row)
{
    selectInput(row);
    const QOVIInputItem& item = *editState().inputItems[row];
    AppGlobals.selectedInputName = item.getstrName();
    AppGlobals.selectedInputValue = item.getstrValue();
    AppGlobals.selectedInputType = item.getstrType();
    AppGlobals.selectedInputId = item.getstrId();
    return DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_INPUT_ITEM_EDIT), editor, InputItemEditProc, 0);
}

void InputEditFixture::clickOpen() { clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_OPEN)); }

void InputEditFixture::takeOver(HWND inputDialog, const std::wstring& value)
{
    typeInputValue(inputDialog, value);
    pressButton(inputDialog, IDC_INPUT_EDIT_SAVE);
}

void InputEditFixture::clickSave() { clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_SAVE)); }

std::pair<int, int> InputEditFixture::takeMarks()
{
    pumpMessages();
    std::pair<int, int> marks(AppGlobals.mainState->dirty, AppGlobals.siteEditState ? editState().modified : -1);
    AppGlobals.mainState->dirty = 0;
    if (AppGlobals.siteEditState)
        editState().modified = 0;
    return marks;
}

std::vector<std::wstring> InputEditFixture::storedInputsAfterClosing(const std::wstring& site)
{
    closeEditor();
    destroyMainWindow();
    QOVIUserInfoManager::releaseUsers();
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    EXPECT_EQ(0, user->load(1));
    std::vector<QOVIInputItem*> items;
    user->getPWDBankInfo()->getInputItems(items, site);
    std::vector<std::wstring> inputs;
    for (const QOVIInputItem* item : items)
        inputs.push_back(item->getstrName() + L"|" + item->getstrId() + L"|" + item->getstrType() + L"|" +
                         item->getstrValue());
    QOVIUserInfoManager::releaseUsers();
    return inputs;
}

std::vector<std::wstring> InputEditFixture::storedSitesAfterClosing()
{
    closeEditor();
    destroyMainWindow();
    return reload().siteNames;
}

std::string InputEditFixture::dataFileBytes() const
{
    return readFileBytes(AppGlobals.currentUser->getDataFilePath());
}

std::wstring InputEditFixture::text(UINT id) const { return loadResString(id); }

HWND inputValueEdit(HWND inputDialog) { return GetDlgItem(inputDialog, IDC_INPUT_EDIT_VALUE); }

void typeInputValue(HWND inputDialog, const std::wstring& value)
{
    SetWindowTextW(inputValueEdit(inputDialog), value.c_str());
}

void pressButton(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
