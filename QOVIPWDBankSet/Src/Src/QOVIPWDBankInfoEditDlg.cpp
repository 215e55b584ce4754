#include "QOVIPWDBankInfoEditDlg.h"

#include <commctrl.h>
#include <cstring>
#include <cwchar>
#include <new>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "ListView.h"
#include "QOVICommon.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "QOVIPWDBankIputItemEditDlg.h"
#include "resource.h"

static const wchar_t LOG_PATH[] = L".\\Src\\Src\\QOVIPWDBankInfoEditDlg.cpp";

// In the order of the state's button slots.
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
const int OPEN_SLOT = 2;
const int REMOVE_SLOT = 3;

// ------------------------------------------------------------- helpers --

static int scaledWidth(int base) { return static_cast<int>(AppGlobals.dpiScale * static_cast<double>(base) + 0.5); }

static HWND siteListView() { return GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST); }

// ------------------------------------------------------------ the state --

SiteEditState::SiteEditState()
{
    captionFont = createSkinFont(AppGlobals.titleFontHeight, FW_BOLD, skinFaceName);
    backgroundImage.load(IDP_EDIT_BACKGROUND, SkinImageKind::Png);
    helpImage.load(IDP_HELP_ICON, SkinImageKind::Png);
}

SiteEditState::~SiteEditState()
{
    if (inputsLabelDC)
        ReleaseDC(inputsLabel, inputsLabelDC);
    if (nameLabelDC)
        ReleaseDC(nameLabel, nameLabelDC);
    backgroundImage.release();
    helpImage.release();
    if (captionFont) {
        DeleteObject(captionFont);
        captionFont = nullptr;
    }
    if (captionBrush) {
        DeleteObject(captionBrush);
        captionBrush = nullptr;
    }
    forgetTakenOverValues();
}

int SiteEditState::buttonIndex(HWND button)
{
    SiteEditState* state = AppGlobals.siteEditState;
    if (!state)
        return 0;
    for (int slot = 0; slot < SITE_EDIT_BUTTON_COUNT - 1; ++slot) {
        if (button == state->buttons[slot])
            return slot;
    }
    return SITE_EDIT_BUTTON_COUNT - 1;
}

void SiteEditState::setEditEnabled(bool enabled)
{
    EnableWindow(buttons[OPEN_SLOT], enabled ? TRUE : FALSE);
    editEnabled = enabled ? 1 : 0;
}

void SiteEditState::setDeleteEnabled(bool enabled)
{
    EnableWindow(buttons[REMOVE_SLOT], enabled ? TRUE : FALSE);
    deleteEnabled = enabled ? 1 : 0;
}

void SiteEditState::followSelection()
{
    const int selected = selectedCount(listView);
    setEditEnabled(selected == 1);
    setDeleteEnabled(selected >= 1);
    InvalidateRect(buttons[OPEN_SLOT], nullptr, TRUE);
    InvalidateRect(buttons[REMOVE_SLOT], nullptr, TRUE);
}

void SiteEditState::loadSiteName(HWND dialog)
{
    HWND sites = siteListView();
    const int row = firstSelectedRow(sites);
    storedName[0] = L'\0';
    if (row >= 0) {
        LVITEMW item = {};
        item.iSubItem = 1;
        item.pszText = storedName;
        item.cchTextMax = SITE_NAME_CHARS;
        SendMessageW(sites, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
    SetDlgItemTextW(dialog, IDC_SITE_EDIT_NAME, storedName);
}

void SiteEditState::fillInputList()
{
    SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT);
    // Columns can be neither clicked nor resized.
    EnableWindow(reinterpret_cast<HWND>(SendMessageW(listView, LVM_GETHEADER, 0, 0)), FALSE);
    insertColumn(listView, 0, scaledWidth(100), headerText(IDS_INPUT_COLUMN_ITEM));
    insertColumn(listView, 1, 0, L" ");  // the item's name, hidden
    insertColumn(listView, 2, scaledWidth(290), headerText(IDS_INPUT_COLUMN_VALUE));

    QOVILog::debugLog(LOG_PATH, 329, L"Get Input item information.");
    AppGlobals.currentUser->getPWDBankInfo()->getInputItems(inputItems, storedName);

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
        const std::wstring& id = input.getstrId();
        nameLength = static_cast<int>(name.size());
        idLength = static_cast<int>(id.size());

        if (name.empty()) {
            setRowText(listView, row, 0, userNameLabel);
            setRowText(listView, row, 1, userNameLabel);
        }
        if (type == L"text") {
            if (userNameRows == 1)
                break;
            setRowText(listView, row, 0, userNameLabel);
            setRowText(listView, row, 1, name.empty() ? id : name);
            setRowText(listView, row, 2, input.getstrValue());
            ++userNameRows;
        } else if (type == L"password") {
            // One asterisk per UTF-16 code unit of the value.
            setRowText(listView, row, 0, passwordLabel);
            setRowText(listView, row, 1, name);
            setRowText(listView, row, 2, std::wstring(input.getstrValue().size(), L'*'));
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
        SendMessageW(list, WM_SETFOCUS, 0, 0);
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
        lastDeletedName = input.getstrName();
        lastDeletedId = input.getstrId();
        removedItems.push_back(RemovedInputItem{lastDeletedName, lastDeletedId});
        inputItems.erase(inputItems.begin() + row);
        SendMessageW(list, LVM_DELETEITEM, row, 0);
        UpdateWindow(list);
        ++removed;
    }
    if (removed > 0) {
        itemsDeleted = 1;
        PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
        PostMessageW(dialog, WM_PWDBANK_MODIFIED, 0, 0);
        modified = 1;
    }
    // Normally nothing is selected any more and both buttons go grey.
    followSelection();
    SendMessageW(list, WM_SETFOCUS, 0, 0);
}

void SiteEditState::openSelectedInput(HWND dialog)
{
    const int selected = selectedCount(listView);
    const int row = firstSelectedRow(listView);
    if (row >= 0 && static_cast<size_t>(row) < inputItems.size()) {
        const QOVIInputItem& input = *inputItems[row];
        AppGlobals.selectedInputName = input.getstrName();
        wipeString(AppGlobals.selectedInputValue);
        AppGlobals.selectedInputValue = input.getstrValue();
        AppGlobals.selectedInputType = input.getstrType();
        AppGlobals.selectedInputId = input.getstrId();
    }
    if (selected == 1) {
        helpAllowed = 0;
        DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_INPUT_ITEM_EDIT), dialog, InputItemEditProc, 0);
        if (AppGlobals.siteEditState == this)
            helpAllowed = 1;
    } else if (selected >= 2) {
        SendMessageW(listView, WM_SETFOCUS, 0, 0);
    }
}

void SiteEditState::closeSiteEdit(HWND dialog)
{
    EndDialog(dialog, IDC_SITE_EDIT_CLOSE);
    SendMessageW(siteListView(), WM_SETFOCUS, 0, 0);
    wipeString(AppGlobals.pendingPasswordValue);
    itemsDeleted = 0;
    removedItems.clear();
    forgetTakenOverValues();
}

void SiteEditState::paintSiteEditBackground(HWND dialog, HDC dc) { drawSkinBackground(dialog, dc, backgroundImage); }

// ------------------------------------------------------- the five buttons --

static SkinButtonContext siteEditContext(SiteEditState& state, int slot)
{
    int available = 1;
    if (slot == OPEN_SLOT)
        available = state.editEnabled;
    else if (slot == REMOVE_SLOT)
        available = state.deleteEnabled;
    return SkinButtonContext{&state.looks[slot], &state.repaint, &siteEditSlots[slot], available, &state.helpImage};
}

void paintSiteEditButton(SiteEditState& state, HWND button)
{
    paintSkinButton(button, siteEditContext(state, SiteEditState::buttonIndex(button)));
}

// The click is sent, not posted: its whole action (a message box or the
// input item dialog included) has run before the capture is released.
static LRESULT onSiteEditButtonUp(HWND button, LPARAM lParam, int slot)
{
    if (isPointInButton(button, lParam))
        SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(siteEditSlots[slot].controlId, BN_CLICKED), 0);
    ReleaseCapture();
    return 1;
}

static LRESULT siteEditButtonMessage(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    SiteEditState* state = AppGlobals.siteEditState;
    if (!state)
        return DefSubclassProc(button, message, wParam, lParam);
    const int slot = SiteEditState::buttonIndex(button);
    if (message == WM_LBUTTONUP)
        return onSiteEditButtonUp(button, lParam, slot);
    if (message == WM_PAINT) {
        paintSiteEditButton(*state, button);
        return 1;
    }
    LRESULT result = 0;
    if (handleSkinButtonMessage(button, message, wParam, lParam, siteEditContext(*state, slot), &result))
        return result;
    return DefSubclassProc(button, message, wParam, lParam);
}

LRESULT CALLBACK SiteEditButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(button, SiteEditButtonProc, 0);
        return DefSubclassProc(button, message, wParam, lParam);
    }
    try {
        return siteEditButtonMessage(button, message, wParam, lParam);
    } catch (...) {
        logUnexpectedException(L"SiteEditButtonProc");
        return 0;
    }
}

// ---------------------------------------------------------- the dialog --

// The input item last opened belongs to the previous opening: nothing of it
// may reach this site's Save.
static void forgetSelectedInput()
{
    AppGlobals.selectedInputName.clear();
    wipeString(AppGlobals.selectedInputValue);
    AppGlobals.selectedInputType.clear();
    AppGlobals.selectedInputId.clear();
}

static void onSiteEditInitDialog(HWND dialog)
{
    forgetSelectedInput();
    SiteEditState* state = new (std::nothrow) SiteEditState();
    AppGlobals.siteEditState = state;
    if (!state)
        return;
    state->listView = GetDlgItem(dialog, IDC_SITE_EDIT_INPUTS);
    state->loadSiteName(dialog);
    state->fillInputList();
    for (int slot = 0; slot < SITE_EDIT_BUTTON_COUNT; ++slot) {
        state->buttons[slot] = GetDlgItem(dialog, siteEditSlots[slot].controlId);
        SetWindowSubclass(state->buttons[slot], SiteEditButtonProc, 0, 0);
    }
    for (SkinButtonLook& look : state->looks)
        look = SkinButtonLook();
    AppGlobals.hSiteEditDialog = dialog;
    state->inputsLabel = GetDlgItem(dialog, IDC_SITE_EDIT_INPUTS_LABEL);
    state->nameLabel = GetDlgItem(dialog, IDC_SITE_EDIT_NAME_LABEL);
    state->inputsLabelDC = GetDC(state->inputsLabel);
    state->nameLabelDC = GetDC(state->nameLabel);
    SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDI_APP_SMALL))));
    SendDlgItemMessageW(dialog, IDC_SITE_EDIT_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(state->captionFont), TRUE);
    SendDlgItemMessageW(dialog, IDC_SITE_EDIT_NAME, EM_LIMITTEXT, SITE_NAME_CHARS - 1, 0);
    SendMessageW(state->listView, WM_SETFOCUS, 0, 0);
    // Both stay enabled even over an empty list; without a selected row they do nothing.
    state->setEditEnabled(true);
    state->setDeleteEnabled(true);
}

// Esc and the close box: the dialog ends without saving.
static void onSiteEditCancel(HWND dialog)
{
    EndDialog(dialog, IDCANCEL);
    wipeString(AppGlobals.pendingPasswordValue);
    PostMessageW(AppGlobals.hSiteListPage, WM_PAINT, 0, 0);
}

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
        state->saveSiteEdits(dialog);
        return TRUE;
    case IDC_SITE_EDIT_CLOSE:
        state->closeSiteEdit(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

static INT_PTR onSiteEditNotify(HWND dialog, const NMHDR* header)
{
    SiteEditState* state = AppGlobals.siteEditState;
    if (!state || header->idFrom != IDC_SITE_EDIT_INPUTS)
        return FALSE;
    if (header->code == static_cast<UINT>(NM_DBLCLK)) {
        AppGlobals.hSiteEditDialog = dialog;
        state->openSelectedInput(dialog);
        return FALSE;
    }
    if (header->code == static_cast<UINT>(NM_CLICK)) {
        state->followSelection();
        return TRUE;
    }
    return FALSE;
}

// Labels 328 and 329 and everything else but the title get the white page;
// the title gets the header band colour with a brush that replaces the last.
static INT_PTR onSiteEditCtlColorStatic(HDC dc, HWND control)
{
    SiteEditState* state = AppGlobals.siteEditState;
    if (!state)
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    if (control == state->inputsLabel)
        SetBkColor(state->inputsLabelDC, window);
    else if (control == state->nameLabel)
        SetBkColor(state->nameLabelDC, window);
    if (GetDlgCtrlID(control) != IDC_SITE_EDIT_TITLE)
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    SetBkColor(dc, SKIN_HEADER_COLOR);
    if (state->captionBrush)
        DeleteObject(state->captionBrush);
    state->captionBrush = CreateSolidBrush(SKIN_HEADER_COLOR);
    return reinterpret_cast<INT_PTR>(state->captionBrush);
}

// Every way the dialog ends passes here: no new password outlives it, and the
// list page puts its buttons back to their normal look.
static void onSiteEditDestroy()
{
    if (AppGlobals.siteEditState) {
        delete AppGlobals.siteEditState;
        AppGlobals.siteEditState = nullptr;
    }
    wipeString(AppGlobals.pendingPasswordValue);
    AppGlobals.hSiteEditDialog = nullptr;
    PostMessageW(AppGlobals.hSiteListPage, WM_PWDBANK_EDITOR_CLOSED, 0, 0);
}

static INT_PTR siteEditMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SiteEditState* state = AppGlobals.siteEditState;
    switch (message) {
    case WM_INITDIALOG:
        onSiteEditInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return onSiteEditCommand(dialog, LOWORD(wParam));
    case WM_NOTIFY:
        return onSiteEditNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
        return onSiteEditCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
        if (state)
            state->paintSiteEditBackground(dialog, reinterpret_cast<HDC>(wParam));
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
    try {
        return siteEditMessage(dialog, message, wParam, lParam);
    } catch (...) {
        logUnexpectedException(L"SiteEditProc");
        return FALSE;
    }
}

// ------------------------------------------------------------------ Save --

void SiteEditState::takeValueOver(const QOVIInputItem* item, const std::wstring& value)
{
    for (TakenOverValue& taken : takenOverValues) {
        if (taken.item == item) {
            wipeString(taken.value);
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

const std::wstring* SiteEditState::takenOverValue(const QOVIInputItem* item) const
{
    for (const TakenOverValue& taken : takenOverValues) {
        if (taken.item == item)
            return &taken.value;
    }
    return nullptr;
}

void SiteEditState::forgetTakenOverValues()
{
    for (TakenOverValue& taken : takenOverValues)
        wipeString(taken.value);
    takenOverValues.clear();
}

// How Save names an input item towards the store, after the site's name: by
// name and id, by name alone when it has no id, and a nameless one by its id
// (with an empty first key the store looks for the second among names, then
// among ids).
enum InputKeyCase { KEY_NAMELESS, KEY_NO_ID, KEY_NAME_AND_ID };

struct InputKeys {
    InputKeyCase keyCase;
    std::wstring first, second;
};

static InputKeys inputKeys(const std::wstring& name, const std::wstring& id)
{
    if (name.empty())
        return InputKeys{KEY_NAMELESS, std::wstring(), id};
    if (id.empty())
        return InputKeys{KEY_NO_ID, name, std::wstring()};
    return InputKeys{KEY_NAME_AND_ID, name, id};
}

// The Save command's log lines keep fixed line numbers, one per key case:
// readers of the suite's log know them by these.
static const int LOG_LINE_WEB_NAME_SAVED = 593;
static const int LOG_LINES_INPUT_REMOVED[] = {619, 624, 629};
static const int LOG_LINES_VALUE_WRITTEN[] = {690, 718, 747};
static const wchar_t* const LOG_TEXTS_INPUT[] = {L"delete Input item!", L"Save Input item!", L"Save Input item!"};

static QOVIPasswordBank* passwordBank() { return AppGlobals.currentUser->getPWDBankInfo(); }

// The typed name is refused: the box, then the name box as it was typed and
// with the focus, so the user can correct it.
static void refuseTypedName(HWND nameBox, const wchar_t* typedName, UINT textId)
{
    showErrorMessage(IDS_CAPTION_ERROR, textId, 0, nullptr, nullptr);
    SetWindowTextW(nameBox, typedName);
    SendMessageW(nameBox, WM_SETFOCUS, 0, 0);
}

// What Save reads before it changes anything.
struct SaveRequest {
    int siteRow;      // the list page's selected row: this site, or -1
    bool nameChanged;
    bool nameTaken;   // another site has the typed name
    bool nameBlank;   // the typed name is empty or only spaces
    int rows;         // rows of the input list
};

// Renames the site when the typed name differs and is acceptable. False when
// the name was refused: then Save ends here, with nothing sent to the store.
static bool applyTypedName(SiteEditState& state, HWND dialog, const SaveRequest& request)
{
    HWND nameBox = GetDlgItem(dialog, IDC_SITE_EDIT_NAME);
    if (state.typedName[0] == L'\0') {
        refuseTypedName(nameBox, state.typedName, IDS_NAME_EMPTY);
        return false;
    }
    if (!request.nameChanged)
        return true;
    // A changed name counts as a change even when it is refused below.
    PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
    state.modified = 1;
    if (request.nameTaken) {
        refuseTypedName(nameBox, state.typedName, IDS_NAME_EXISTS);
        return false;
    }
    if (request.nameBlank) {
        refuseTypedName(nameBox, state.typedName, IDS_NAME_EMPTY);
        return false;
    }
    if (request.siteRow >= 0)
        setRowText(siteListView(), request.siteRow, 1, state.typedName);
    passwordBank()->modifyWebItemName(state.storedName, state.typedName);
    memcpy(state.storedName, state.typedName, sizeof state.storedName);
    QOVILog::debugLog(LOG_PATH, LOG_LINE_WEB_NAME_SAVED, L"Save the web name!");
    return true;
}

// Every item taken out of the list since the last save, each by its own name
// and id. Once sent they are in the in-memory bank; a retry does not repeat them.
static void removeDeletedInputs(SiteEditState& state)
{
    for (const RemovedInputItem& removed : state.removedItems) {
        InputKeys keys = inputKeys(removed.name, removed.id);
        QOVILog::debugLog(LOG_PATH, LOG_LINES_INPUT_REMOVED[keys.keyCase], LOG_TEXTS_INPUT[keys.keyCase]);
        passwordBank()->removeInputItem(state.storedName, keys.first, keys.second);
    }
    state.removedItems.clear();
}

// No row is left: the site goes from the bank and its row from the list page,
// keeping the page's rows and elements in step.
static void removeSite(SiteEditState& state, int siteRow)
{
    passwordBank()->removeWebItem(state.storedName, L"");
    HWND sites = siteListView();
    SiteListPageState* page = AppGlobals.siteListState;
    if (siteRow >= 0) {
        SendMessageW(sites, LVM_DELETEITEM, siteRow, 0);
        if (page && static_cast<size_t>(siteRow) < page->webItems.size())
            page->webItems.erase(page->webItems.begin() + siteRow);
    }
    if (page && selectedCount(sites) == 0) {
        page->setButtonEnabled(0, false);
        page->setButtonEnabled(1, false);
        InvalidateRect(AppGlobals.hSiteListPage, nullptr, TRUE);
    }
}

// Exactly the values taken over in the input item edit dialog, each to the
// item it was taken over for, in list order; an item whose row was removed
// gets nothing. The usual two-row site is written without log lines; with any
// other number of rows each write logs its key case.
static void writeTakenOverValues(SiteEditState& state)
{
    const int rows = rowCount(state.listView);
    for (int row = 0; row < rows && static_cast<size_t>(row) < state.inputItems.size(); ++row) {
        const QOVIInputItem& item = *state.inputItems[row];
        const std::wstring* value = state.takenOverValue(&item);
        if (!value)
            continue;
        InputKeys keys = inputKeys(item.getstrName(), item.getstrId());
        if (rows != 2)
            QOVILog::debugLog(LOG_PATH, LOG_LINES_VALUE_WRITTEN[keys.keyCase], LOG_TEXTS_INPUT[keys.keyCase]);
        passwordBank()->modifyInputItemValue(state.storedName, keys.first, keys.second, *value);
    }
    state.forgetTakenOverValues();
}

// Saves the user's data; the dialog ends only when the site itself went.
static void saveUser(SiteEditState& state, HWND dialog)
{
    if (AppGlobals.currentUser->save(1) == 0) {
        notifyPasswordListener();
        showInfoMessage(IDS_CAPTION_INFO, IDS_SAVED, 0, nullptr, nullptr);
        state.modified = 0;
        if (rowCount(state.listView) == 0)
            EndDialog(dialog, IDC_SITE_EDIT_SAVE);
    } else {
        // modified stays set: the next Save tries again.
        showErrorMessage(IDS_CAPTION_ERROR, IDS_SAVE_FAILED, 0, nullptr, nullptr);
    }
    state.itemsDeleted = 0;
}

void SiteEditState::saveSiteEdits(HWND dialog)
{
    SaveRequest request = {};
    request.siteRow = firstSelectedRow(siteListView());
    GetDlgItemTextW(dialog, IDC_SITE_EDIT_NAME, typedName, SITE_NAME_CHARS);
    request.nameChanged = wcscmp(typedName, storedName) != 0;
    // Asked on every Save, whether or not the name changed.
    request.nameTaken = passwordBank()->isWebItemExist(typedName, L"") != 0;
    request.nameBlank = std::wstring(typedName).find_first_not_of(L' ') == std::wstring::npos;
    request.rows = rowCount(listView);

    // With no row left the typed name does not matter: the site goes.
    if (request.rows != 0 && !applyTypedName(*this, dialog, request))
        return;
    if (itemsDeleted)
        removeDeletedInputs(*this);
    if (request.rows == 0)
        removeSite(*this, request.siteRow);
    writeTakenOverValues(*this);
    if (modified)
        saveUser(*this, dialog);
}
