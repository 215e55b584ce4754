#include "QOVIPWDBankInfoEditDlg.h"
#include "QOVIPWDBankInfoSettingDlg.h"

#include <commctrl.h>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "ListView.h"
#include "QOVICommon.h"
#include "QOVIPWDBankIputItemEditDlg.h"
#include "SiteEditSave.h"
#include "resource.h"

static const wchar_t LOG_PATH[] = L".\\Src\\Src\\QOVIPWDBankInfoEditDlg.cpp";
// The line readers of the suite's log know "Get Input item information." by.
static const int LOG_LINE_INPUT_ITEMS = 329;

// The dialog's five buttons; the dialog runs their clicks (WM_COMMAND).
enum { SAVE_SLOT, CLOSE_SLOT, OPEN_SLOT, REMOVE_SLOT, HELP_SLOT, SITE_EDIT_BUTTON_COUNT };
static const SkinButtonSlot siteEditSlots[SITE_EDIT_BUTTON_COUNT] = {
    {IDC_SITE_EDIT_SAVE, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED, IDS_BUTTON_APPLY, 1, false, 0.0f,
     false},
    {IDC_SITE_EDIT_CLOSE, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED, IDS_BUTTON_CLOSE_EDIT, 1, false,
     0.0f, false},
    {IDC_SITE_EDIT_OPEN, IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED, IDS_BUTTON_OPEN,
     0, false, 0.0f, true},
    {IDC_SITE_EDIT_REMOVE, IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED,
     IDS_BUTTON_DELETE, 0, false, 0.0f, true},
    {IDC_SITE_EDIT_HELP, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED, 0, 1, false, 0.5f, false},
};

static SkinButtonGroup* siteEditButtonGroup()
{
    return AppGlobals.siteEditState ? &AppGlobals.siteEditState->buttons : nullptr;
}

static const SkinButtonSet siteEditButtons = {siteEditSlots, SITE_EDIT_BUTTON_COUNT, siteEditButtonGroup, false,
                                              false};

// Column widths at 96 DPI: the row label ("User name", "Password" and their
// translations), and the value, which takes the rest of the list. Column 1
// holds the item's name for the program only and is hidden.
static const int LABEL_COLUMN_WIDTH = 100;
static const int VALUE_COLUMN_WIDTH = 290;

// ------------------------------------------------------------- helpers --

static int scaledWidth(int base) { return static_cast<int>(AppGlobals.dpiScale * static_cast<double>(base) + 0.5); }

// ------------------------------------------------------------ the state --

SiteEditState::SiteEditState()
{
    captionFont = createSkinFont(AppGlobals.titleFontHeight, FW_BOLD, skinFaceName);
    backgroundImage.load(IDP_EDIT_BACKGROUND, SkinImageKind::Png);
}

SiteEditState::~SiteEditState()
{
    if (inputsLabelDC)
        ReleaseDC(inputsLabel, inputsLabelDC);
    if (nameLabelDC)
        ReleaseDC(nameLabel, nameLabelDC);
    if (captionFont)
        DeleteObject(captionFont);
    if (captionBrush)
        DeleteObject(captionBrush);
    forgetTakenOverValues();
}

void SiteEditState::followSelection()
{
    buttons.followSelectedRows(OPEN_SLOT, REMOVE_SLOT, selectedCount(listView));
}

void SiteEditState::loadSiteName(HWND dialog)
{
    const int row = firstSelectedRow(siteListView());
    SiteListPageState* page = AppGlobals.siteListState;
    if (page && row >= 0 && static_cast<size_t>(row) < page->webItems.size())
        site = page->webItems[row];
    storedName = site ? site->getstrWebName() : std::wstring();
    SetDlgItemTextW(dialog, IDC_SITE_EDIT_NAME, storedName.c_str());
}

void SiteEditState::followMergedName(HWND dialog)
{
    if (!site || site->getstrWebName() == storedName)
        return;
    storedName = site->getstrWebName();
    SetDlgItemTextW(dialog, IDC_SITE_EDIT_NAME, storedName.c_str());
}

bool SiteEditState::fillInputList()
{
    SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT);
    // Columns can be neither clicked nor resized.
    EnableWindow(reinterpret_cast<HWND>(SendMessageW(listView, LVM_GETHEADER, 0, 0)), FALSE);
    insertColumn(listView, 0, scaledWidth(LABEL_COLUMN_WIDTH), headerText(IDS_INPUT_COLUMN_ITEM));
    insertColumn(listView, 1, 0, L" ");
    insertColumn(listView, 2, scaledWidth(VALUE_COLUMN_WIDTH), headerText(IDS_INPUT_COLUMN_VALUE));

    QOVILog::debugLog(LOG_PATH, LOG_LINE_INPUT_ITEMS, L"Get Input item information.");
    if (AppGlobals.currentUser->getPWDBankInfo()->getInputItems(inputItems, site) != COMMON_OK) {
        inputItems.clear();
        return false;
    }

    const std::wstring userNameLabel = loadResString(IDS_ROW_USER_NAME);
    const std::wstring passwordLabel = loadResString(IDS_ROW_PASSWORD);
    wchar_t empty[] = L"";
    int userNameRows = 0;
    // Row i is made for element i. The list stops at the first password item
    // or at a second text item; later elements stay behind the last row.
    for (size_t i = 0; i < inputItems.size(); ++i) {
        const int row = static_cast<int>(i);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = empty;
        SendMessageW(listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

        const QOVIInputItem& input = *inputItems[i];
        const std::wstring& name = input.getstrName();
        const std::wstring& type = input.getstrType();
        // A nameless item of another type keeps a row labelled as a user name
        // with no value, so the user can still remove it.
        if (name.empty()) {
            setRowText(listView, row, 0, userNameLabel);
            setRowText(listView, row, 1, userNameLabel);
        }
        if (type == INPUT_TYPE_TEXT) {
            if (userNameRows == 1)
                break;
            setRowText(listView, row, 0, userNameLabel);
            setRowText(listView, row, 1, name.empty() ? input.getstrId() : name);
            setRowText(listView, row, 2, input.getstrValue());
            ++userNameRows;
        } else if (type == INPUT_TYPE_PASSWORD) {
            setRowText(listView, row, 0, passwordLabel);
            setRowText(listView, row, 1, name);
            setRowText(listView, row, 2, std::wstring(input.getstrValue().size(), PASSWORD_MASK));
            break;
        }
    }

    // Rows that got no label go, each with its element.
    for (int row = 0; row < rowCount(listView);) {
        if (rowText(listView, row, 0).empty()) {
            SendMessageW(listView, LVM_DELETEITEM, row, 0);
            inputItems.erase(inputItems.begin() + row);
        } else {
            ++row;
        }
    }

    LVITEMW selected = {};
    selected.state = LVIS_SELECTED;
    selected.stateMask = LVIS_SELECTED;
    SendMessageW(listView, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
    return true;
}

void SiteEditState::deleteSelectedInputs(HWND dialog)
{
    const int count = selectedCount(listView);
    if (count == 0)
        return;
    HWND list = listView;
    const int answer = showMessageBox(IDS_CAPTION_INFO, IDS_CONFIRM_REMOVE_INPUTS, MB_OKCANCEL | MB_ICONQUESTION,
                                      nullptr, nullptr);
    // The box has no owner; make sure the dialog is still the one that asked.
    if (AppGlobals.siteEditState != this)
        return;
    if (answer != IDOK) {
        giveFocus(list);
        return;
    }

    // The dialog stays enabled under the box, so the selection may have
    // changed: each pass takes the row selected now and stops when none is.
    // Row r and element r go together, whatever column 1 of the row shows.
    int removed = 0;
    for (int pass = 0; pass < count; ++pass) {
        const int row = firstSelectedRow(list);
        if (row < 0 || static_cast<size_t>(row) >= inputItems.size())
            break;
        const QOVIInputItem& input = *inputItems[row];
        removedItems.push_back(RemovedInputItem{&input, input.getstrName(), input.getstrId()});
        inputItems.erase(inputItems.begin() + row);
        SendMessageW(list, LVM_DELETEITEM, row, 0);
        UpdateWindow(list);
        ++removed;
    }
    if (removed > 0) {
        PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
        PostMessageW(dialog, WM_PWDBANK_MODIFIED, 0, 0);
        modified = 1;
    }
    // Normally nothing is selected any more and both buttons go grey, the
    // focused one too, which loses the focus: the list takes it.
    followSelection();
    giveFocus(list);
}

void SiteEditState::openSelectedInput(HWND dialog)
{
    const int selected = selectedCount(listView);
    if (const QOVIInputItem* input = inputItemOfRow(firstSelectedRow(listView))) {
        AppGlobals.selectedInputName = input->getstrName();
        qovi::wipe(AppGlobals.selectedInputValue);
        AppGlobals.selectedInputValue = input->getstrValue();
        AppGlobals.selectedInputType = input->getstrType();
        AppGlobals.selectedInputId = input->getstrId();
    }
    if (selected == 1) {
        helpAllowed = 0;
        DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_INPUT_ITEM_EDIT), dialog, InputItemEditProc, 0);
        if (AppGlobals.siteEditState == this)
            helpAllowed = 1;
    } else if (selected >= 2) {
        giveFocus(listView);
    }
}

const QOVIInputItem* SiteEditState::inputItemOfRow(int row) const
{
    if (row < 0 || row >= rowCount(listView) || static_cast<size_t>(row) >= inputItems.size())
        return nullptr;
    return inputItems[row];
}

void SiteEditState::takeValueOver(int row, const std::wstring& value, const std::wstring& shown)
{
    const QOVIInputItem* item = inputItemOfRow(row);
    if (!item)
        return;
    setRowText(listView, row, 2, shown);
    for (TakenOverValue& taken : takenOverValues) {
        if (taken.item == item) {
            qovi::wipe(taken.value);
            taken.value = value;
            return;
        }
    }
    // At most one entry per listed item: with room for all of them from the
    // start the vector never moves its values (a short string is copied when
    // moved, and its old place would be freed unwiped).
    if (takenOverValues.empty())
        takenOverValues.reserve(inputItems.size());
    takenOverValues.push_back(TakenOverValue{item, std::wstring()});
    takenOverValues.back().value = value;
}

const std::wstring* SiteEditState::takenOverValue(int row) const
{
    const QOVIInputItem* item = inputItemOfRow(row);
    for (const TakenOverValue& taken : takenOverValues) {
        if (item && taken.item == item)
            return &taken.value;
    }
    return nullptr;
}

void SiteEditState::forgetTakenOverValues()
{
    for (TakenOverValue& taken : takenOverValues)
        qovi::wipe(taken.value);
    takenOverValues.clear();
}

// ---------------------------------------------------------- the dialog --

// The input item last opened belongs to the previous opening: nothing of it
// may reach this site's Save.
static void forgetSelectedInput()
{
    AppGlobals.selectedInputName.clear();
    qovi::wipe(AppGlobals.selectedInputValue);
    AppGlobals.selectedInputType.clear();
    AppGlobals.selectedInputId.clear();
}

static void onSiteEditInitDialog(HWND dialog)
{
    forgetSelectedInput();
    SiteEditState* state = createDialogState(AppGlobals.siteEditState);
    if (!state)
        return;
    state->listView = GetDlgItem(dialog, IDC_SITE_EDIT_INPUTS);
    attachListKeyboard(state->listView, 0);  // typing finds a row by its label
    state->loadSiteName(dialog);
    const bool listed = state->fillInputList();
    attachSkinButtons(dialog, siteEditButtons, state->buttons);
    AppGlobals.hSiteEditDialog = dialog;
    state->inputsLabel = GetDlgItem(dialog, IDC_SITE_EDIT_INPUTS_LABEL);
    state->nameLabel = GetDlgItem(dialog, IDC_SITE_EDIT_NAME_LABEL);
    state->inputsLabelDC = GetDC(state->inputsLabel);
    state->nameLabelDC = GetDC(state->nameLabel);
    SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDI_APP_SMALL))));
    SendDlgItemMessageW(dialog, IDC_SITE_EDIT_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(state->captionFont), TRUE);
    SendDlgItemMessageW(dialog, IDC_SITE_EDIT_NAME, EM_LIMITTEXT, SITE_NAME_CHARS - 1, 0);
    giveFocus(state->listView);
    // Row 0 is selected: both buttons are usable, unless the list is empty.
    state->followSelection();
    // Last: the box has no owner, and the dialog may be gone after it.
    if (!listed)
        showErrorMessage(IDS_CAPTION_ERROR, IDS_SITES_UNREADABLE, 0, nullptr, nullptr);
}

// IDC_SITE_EDIT_CLOSE: the dialog ends without saving.
static void onSiteEditClose(HWND dialog)
{
    EndDialog(dialog, IDC_SITE_EDIT_CLOSE);
    giveFocus(siteListView());
}

// Esc and the close box: the dialog ends without saving. The posted WM_PAINT
// makes the list page run its (empty) paint once more when the modal loop has
// ended, which validates what the dialog left invalid over it; nothing is
// drawn and nothing is lost if it does not come.
static void onSiteEditCancel(HWND dialog)
{
    EndDialog(dialog, IDCANCEL);
    PostMessageW(AppGlobals.hSiteListPage, WM_PAINT, 0, 0);
}

// The return values are the dialog manager's: TRUE for the commands that end
// or may end the dialog, FALSE for those that leave it running.
static INT_PTR onSiteEditCommand(HWND dialog, int id)
{
    SiteEditState* state = AppGlobals.siteEditState;
    if (id == IDCANCEL) {
        onSiteEditCancel(dialog);
        return TRUE;
    }
    if (id == IDC_SITE_EDIT_HELP) {
        OnQOVIHelp();
        return FALSE;
    }
    if (!state)
        return FALSE;
    switch (id) {
    case IDC_SITE_EDIT_REMOVE:
        state->deleteSelectedInputs(dialog);
        return FALSE;
    case IDC_SITE_EDIT_OPEN:
        state->openSelectedInput(dialog);
        return FALSE;
    case IDC_SITE_EDIT_SAVE:
        saveSiteEdits(*state, dialog);
        return TRUE;
    case IDC_SITE_EDIT_CLOSE:
        onSiteEditClose(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

// A double click and Enter open the selected input item; Delete removes the
// selected items as IDC_SITE_EDIT_REMOVE does; IDC_SITE_EDIT_OPEN and IDC_SITE_EDIT_REMOVE follow every change
// of the selection, by mouse or keyboard, and every click in the list.
static INT_PTR onSiteEditNotify(HWND dialog, const NMHDR* header)
{
    SiteEditState* state = AppGlobals.siteEditState;
    if (!state || header->idFrom != IDC_SITE_EDIT_INPUTS)
        return FALSE;
    if (header->code == static_cast<UINT>(NM_DBLCLK) || header->code == static_cast<UINT>(NM_RETURN)) {
        AppGlobals.hSiteEditDialog = dialog;
        state->openSelectedInput(dialog);
        return FALSE;
    }
    if (isSelectionChange(header) || header->code == static_cast<UINT>(NM_CLICK)) {
        state->followSelection();
        return TRUE;
    }
    if (header->code == static_cast<UINT>(LVN_KEYDOWN) &&
        reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) {
        state->deleteSelectedInputs(dialog);
        return TRUE;
    }
    return FALSE;
}

// Everything but the title gets the body's colours; the title gets the header
// band's with a brush that replaces the last.
static INT_PTR onSiteEditCtlColorStatic(HDC dc, HWND control)
{
    SiteEditState* state = AppGlobals.siteEditState;
    if (!state)
        return reinterpret_cast<INT_PTR>(skinBodyBrush());
    // Labels IDC_SITE_EDIT_NAME_LABEL and IDC_SITE_EDIT_INPUTS_LABEL have DCs
    // of their own, kept since set-up; they get
    // the window colour as background so that whatever is drawn through them
    // sits on the page's colour. The labels themselves draw with the DC this
    // message brings and the white brush returned below.
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    if (control == state->inputsLabel)
        SetBkColor(state->inputsLabelDC, window);
    else if (control == state->nameLabel)
        SetBkColor(state->nameLabelDC, window);
    if (GetDlgCtrlID(control) != IDC_SITE_EDIT_TITLE) {
        colourSkinControl(dc, SkinArea::Body);
        return reinterpret_cast<INT_PTR>(skinBodyBrush());
    }
    if (state->captionBrush)
        DeleteObject(state->captionBrush);
    state->captionBrush = CreateSolidBrush(colourSkinControl(dc, SkinArea::HeaderBand));
    return reinterpret_cast<INT_PTR>(state->captionBrush);
}

// Every way the dialog ends passes here: no new password outlives it, and the
// list page puts its buttons back to their normal look.
static void onSiteEditDestroy()
{
    destroyDialogState(AppGlobals.siteEditState);
    qovi::wipe(AppGlobals.pendingPasswordValue);
    AppGlobals.hSiteEditDialog = nullptr;
    PostMessageW(AppGlobals.hSiteListPage, WM_PWDBANK_EDITOR_CLOSED, 0, 0);
}

static INT_PTR siteEditMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SiteEditState* state = AppGlobals.siteEditState;
    switch (message) {
    case WM_INITDIALOG:
        // FALSE: the focus is set, on the input list, not on the first control.
        onSiteEditInitDialog(dialog);
        return FALSE;
    case WM_COMMAND:
        return onSiteEditCommand(dialog, LOWORD(wParam));
    case WM_NOTIFY:
        return onSiteEditNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
        return onSiteEditCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
        if (state)
            drawSkinBackground(dialog, reinterpret_cast<HDC>(wParam), state->backgroundImage);
        return TRUE;
    case WM_HELP:
        if (state && state->helpAllowed)
            OnQOVIHelp();
        return FALSE;
    case WM_PWDBANK_MODIFIED:
        if (state)
            state->modified = 1;
        return FALSE;
    case WM_DESTROY:
        onSiteEditDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SiteEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedCall(L"SiteEditProc", [&] { return siteEditMessage(dialog, message, wParam, lParam); });
}
