#include "QOVIPWDBankIputItemEditDlg.h"

#include <commctrl.h>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "ListView.h"
#include "QOVICommon.h"
#include "QOVIPWDBankInfoEditDlg.h"
#include "resource.h"

static const wchar_t LOG_PATH[] = L".\\Src\\Src\\QOVIPWDBankIputItemEditDlg.cpp";

// Values pass through buffers of this size; the edit takes at most one less,
// so nothing is cut.
static const int VALUE_CHARS = 260;
// The label: a row label of at most 259 characters in a short format;
// wsprintfW writes no more than 1024.
static const int LABEL_CHARS = 1024;

namespace {

// A read buffer for texts that may be a password; wiped when it goes.
struct SecretBuffer {
    wchar_t text[VALUE_CHARS] = {};
    SecretBuffer() = default;
    ~SecretBuffer() { SecureZeroMemory(text, sizeof text); }
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
};

}  // namespace

// Wipes what the string held before it takes the new value, so a password
// it held does not linger in a freed buffer.
static void replaceSecret(std::wstring& target, const std::wstring& value)
{
    qovi::wipe(target);
    target = value;
}

// The web site edit dialog's input item list and its first selected row:
// the item being edited (the dialog is modal, so the selection holds still).
static HWND siteInputList() { return GetDlgItem(AppGlobals.hSiteEditDialog, IDC_SITE_EDIT_INPUTS); }

static void readListText(HWND list, int row, int column, std::wstring& text)
{
    SecretBuffer buffer;
    if (row >= 0) {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = buffer.text;
        item.cchTextMax = VALUE_CHARS;
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
    replaceSecret(text, buffer.text);
}

// Hands a value taken over to the edit dialog, which shows it in the row and
// has Save write it to the row's item.
static void handOver(int row, const std::wstring& value, const std::wstring& shown)
{
    if (SiteEditState* site = AppGlobals.siteEditState)
        site->takeValueOver(row, value, shown);
}

static void readWindowText(HWND window, std::wstring& text)
{
    SecretBuffer buffer;
    GetWindowTextW(window, buffer.text, VALUE_CHARS);
    replaceSecret(text, buffer.text);
}

// ------------------------------------------------------------ the state --

InputItemEditState::~InputItemEditState()
{
    qovi::wipe(oldValue);
    qovi::wipe(newValue);
}

void InputItemEditState::initInputItemEdit(HWND dialog)
{
    HWND list = siteInputList();
    int row = firstSelectedRow(list);
    readListText(list, row, 0, itemLabel);
    readListText(list, row, 2, oldValue);
    // The label gives the edit its access key and its name; each language
    // places the key in its own way around the row's label.
    wchar_t label[LABEL_CHARS] = {};
    wsprintfW(label, loadResString(IDS_INPUT_EDIT_LABEL).c_str(), itemLabel.c_str());
    SetDlgItemTextW(dialog, IDC_INPUT_EDIT_LABEL, label);

    // Masking follows the item's type, whatever the template says.
    HWND edit = GetDlgItem(dialog, IDC_INPUT_EDIT_VALUE);
    if (AppGlobals.selectedInputType != INPUT_TYPE_PASSWORD) {
        SendMessageW(edit, EM_SETPASSWORDCHAR, 0, 0);
        SetWindowTextW(edit, oldValue.c_str());
        return;
    }
    // The list shows a password masked: the change is measured against the
    // stored value, and the edit shows a new password taken over for this
    // very item and not saved yet, else the stored one. (pendingPasswordValue
    // may hold a value taken over for another item.)
    SendMessageW(edit, EM_SETPASSWORDCHAR, PASSWORD_MASK, 0);
    replaceSecret(oldValue, AppGlobals.selectedInputValue);
    SiteEditState* site = AppGlobals.siteEditState;
    const std::wstring* pending = site ? site->takenOverValue(row) : nullptr;
    SetWindowTextW(edit, (pending ? *pending : AppGlobals.selectedInputValue).c_str());
}

// A user name is checked against the site's saved entries: the same account
// must not be saved twice.
static bool userNameTaken(const std::wstring& value)
{
    QOVIUserInfo* user = AppGlobals.currentUser;
    QOVIPasswordBank* bank = user ? user->getPWDBankInfo() : nullptr;
    return bank && bank->isWebItemExist(AppGlobals.selectedSiteUrl, AppGlobals.selectedSiteFormId,
                                        AppGlobals.selectedSiteFormName, AppGlobals.selectedInputId,
                                        AppGlobals.selectedInputName, AppGlobals.selectedInputType, value) == 1;
}

void InputItemEditState::saveInputItem(HWND dialog)
{
    HWND edit = GetDlgItem(dialog, IDC_INPUT_EDIT_VALUE);
    readWindowText(edit, newValue);
    HWND list = siteInputList();
    int row = firstSelectedRow(list);
    const std::wstring& type = AppGlobals.selectedInputType;

    if (newValue.empty()) {
        if (type == INPUT_TYPE_PASSWORD)
            showErrorMessage(IDS_CAPTION_ERROR, IDS_PASSWORD_EMPTY, 0, nullptr, nullptr);
        else if (type == INPUT_TYPE_TEXT)
            showErrorMessage(IDS_CAPTION_ERROR, IDS_USER_NAME_EMPTY, 0, nullptr, nullptr);
        return;
    }
    if (newValue == oldValue) {
        EndDialog(dialog, IDC_INPUT_EDIT_SAVE);
        return;
    }
    // Both windows count as modified from here on, even when the store then
    // refuses the user name.
    PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
    PostMessageW(AppGlobals.hSiteEditDialog, WM_PWDBANK_MODIFIED, 0, 0);

    if (type == INPUT_TYPE_TEXT) {
        if (userNameTaken(newValue)) {
            showErrorMessage(IDS_CAPTION_ERROR, IDS_NAME_EXISTS, 0, nullptr, nullptr);
            SetWindowTextW(edit, oldValue.c_str());
            return;
        }
        QOVILog::debugLog(LOG_PATH, __LINE__, L"Save the user name!");
        replaceSecret(AppGlobals.selectedInputValue, newValue);
        handOver(row, newValue, newValue);
        EndDialog(dialog, IDC_INPUT_EDIT_SAVE);
        return;
    }
    // Any type but "text" counts as a secret: held as the pending password
    // too, and wiped with it when the edit dialog closes.
    replaceSecret(AppGlobals.selectedInputValue, newValue);
    replaceSecret(AppGlobals.pendingPasswordValue, newValue);
    handOver(row, newValue, type == INPUT_TYPE_PASSWORD ? std::wstring(newValue.size(), PASSWORD_MASK) : newValue);
    EndDialog(dialog, IDC_INPUT_EDIT_SAVE);
}

// ------------------------------------------------------ the procedure --

static void onInputEditInitDialog(HWND dialog)
{
    if (InputItemEditState* state = createDialogState(AppGlobals.inputEditState))
        state->initInputItemEdit(dialog);
    SendDlgItemMessageW(dialog, IDC_INPUT_EDIT_VALUE, EM_LIMITTEXT, VALUE_CHARS - 1, 0);
}

static void onInputEditDestroy()
{
    destroyDialogState(AppGlobals.inputEditState);
}

static INT_PTR onInputEditCommand(HWND dialog, WORD id)
{
    InputItemEditState* state = AppGlobals.inputEditState;
    switch (id) {
    case IDCANCEL:
    case IDC_SITE_EDIT_CLOSE:
        EndDialog(dialog, id);
        return TRUE;
    case IDC_INPUT_EDIT_SAVE:
        if (state)
            state->saveInputItem(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

static INT_PTR inputItemEditMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        onInputEditInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return onInputEditCommand(dialog, LOWORD(wParam));
    case WM_DESTROY:
        onInputEditDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK InputItemEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedCall(L"InputItemEditProc", [&] { return inputItemEditMessage(dialog, message, wParam, lParam); });
}
