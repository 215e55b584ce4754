#include "SiteEditSave.h"

#include <string>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "ListView.h"
#include "QOVICommon.h"
#include "QOVIPWDBankInfoEditDlg.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "SettingsPage.h"
#include "resource.h"

// Save logs as part of the edit dialog's module, under that module's path and
// at fixed lines, one per key case: readers of the suite's log know its lines
// by these, wherever the code stands.
static const wchar_t LOG_PATH[] = L".\\Src\\Src\\QOVIPWDBankInfoEditDlg.cpp";
static const int LOG_LINE_WEB_NAME_SAVED = 593;
static const int LOG_LINES_INPUT_REMOVED[] = {619, 624, 629};
static const int LOG_LINES_VALUE_WRITTEN[] = {690, 718, 747};
static const wchar_t* const LOG_TEXTS_INPUT[] = {L"delete Input item!", L"Save Input item!", L"Save Input item!"};

// The key case of an input item chooses its log line: by name and id, by name
// alone when it has no id, or a nameless one. The store is told the item
// itself.
enum InputKeyCase { KEY_NAMELESS, KEY_NO_ID, KEY_NAME_AND_ID };

static InputKeyCase keyCaseOf(const std::wstring& name, const std::wstring& id)
{
    return name.empty() ? KEY_NAMELESS : id.empty() ? KEY_NO_ID : KEY_NAME_AND_ID;
}

static QOVIPasswordBank* passwordBank() { return AppGlobals.currentUser->getPWDBankInfo(); }

// The typed name is refused: the box, then the name box as it was typed and
// with the focus, so the user can correct it.
static void refuseTypedName(HWND nameBox, const std::wstring& typedName, UINT textId)
{
    showErrorMessage(IDS_CAPTION_ERROR, textId, 0, nullptr, nullptr);
    SetWindowTextW(nameBox, typedName.c_str());
    giveFocus(nameBox);
}

// The store refused a change: Save ends here and saves nothing. What was
// not sent yet stays pending, so the next Save tries it again.
static void refuseChange() { showErrorMessage(IDS_CAPTION_ERROR, IDS_CHANGE_REFUSED, 0, nullptr, nullptr); }

// What Save reads before it changes anything.
struct SaveRequest {
    int siteRow;      // the list page's row of the site, or -1
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
    if (state.typedName.empty()) {
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
    const COMMON_RESULT renamed = passwordBank()->modifyWebItemName(state.site, state.typedName);
    if (renamed == COMMON_ERR_EXISTS) {
        refuseTypedName(nameBox, state.typedName, IDS_NAME_EXISTS);
        return false;
    }
    if (renamed != COMMON_OK) {
        refuseChange();
        return false;
    }
    if (request.siteRow >= 0 && AppGlobals.siteListState)
        AppGlobals.siteListState->renameRow(request.siteRow, state.typedName);
    state.storedName = state.typedName;
    QOVILog::debugLog(LOG_PATH, LOG_LINE_WEB_NAME_SAVED, L"Save the web name!");
    return true;
}

// Every item taken out of the list since the last save, each as the object
// it was. Once sent they are in the in-memory bank; a retry does not repeat
// them. False when the store refused one: it and those after it stay.
static bool removeDeletedInputs(SiteEditState& state)
{
    size_t sent = 0;
    for (; sent < state.removedItems.size(); ++sent) {
        const RemovedInputItem& removed = state.removedItems[sent];
        const InputKeyCase keyCase = keyCaseOf(removed.name, removed.id);
        QOVILog::debugLog(LOG_PATH, LOG_LINES_INPUT_REMOVED[keyCase], LOG_TEXTS_INPUT[keyCase]);
        if (passwordBank()->removeInputItem(state.site, removed.item) != COMMON_OK)
            break;
    }
    state.removedItems.erase(state.removedItems.begin(), state.removedItems.begin() + static_cast<std::ptrdiff_t>(sent));
    return state.removedItems.empty();
}

// No row is left: the site goes from the bank and its row from the list
// page, once. False when the store refused.
static bool removeSite(SiteEditState& state, int siteRow)
{
    if (state.siteRemoved)
        return true;
    if (passwordBank()->removeWebItem(state.site) != COMMON_OK)
        return false;
    state.siteRemoved = true;
    if (SiteListPageState* page = AppGlobals.siteListState) {
        page->removeRow(siteRow);
        page->followSelection();
    }
    return true;
}

// Exactly the values taken over in the input item edit dialog, each to the
// item it was taken over for, in list order; an item whose row was removed
// gets nothing. The usual two-row site is written without log lines; with any
// other number of rows each write logs its key case. False when the store
// refused one: then every value stays taken over for the next Save.
static bool writeTakenOverValues(SiteEditState& state)
{
    const int rows = rowCount(state.listView);
    for (int row = 0; row < rows; ++row) {
        const QOVIInputItem* item = state.inputItemOfRow(row);
        const std::wstring* value = state.takenOverValue(row);
        if (!item || !value)
            continue;
        const InputKeyCase keyCase = keyCaseOf(item->getstrName(), item->getstrId());
        if (rows != 2)
            QOVILog::debugLog(LOG_PATH, LOG_LINES_VALUE_WRITTEN[keyCase], LOG_TEXTS_INPUT[keyCase]);
        if (passwordBank()->modifyInputItemValue(state.site, item, *value) != COMMON_OK)
            return false;
    }
    state.forgetTakenOverValues();
    return true;
}

// Saves the user's data; the dialog ends only when the site itself went.
static void saveUser(SiteEditState& state, HWND dialog)
{
    QOVIUserInfo* user = AppGlobals.currentUser;
    const bool saved = user->save(1) == COMMON_OK;
    // A save that merged another program's changes changed the bank in
    // memory even when writing it then failed: the list page and the name
    // box show the bank as it is now.
    if (user->getLastSaveMerged()) {
        if (AppGlobals.siteListState)
            AppGlobals.siteListState->refill();
        if (AppGlobals.settingsPageState)
            AppGlobals.settingsPageState->showUserSwitches(AppGlobals.hSettingsPage);
        state.followMergedName(dialog);
    }
    if (saved) {
        notifyPasswordListener();
        showInfoMessage(IDS_CAPTION_INFO, IDS_SAVED, 0, nullptr, nullptr);
        state.modified = 0;
        if (rowCount(state.listView) == 0)
            EndDialog(dialog, IDC_SITE_EDIT_SAVE);
    } else {
        // modified stays set: the next Save tries again.
        showErrorMessage(IDS_CAPTION_ERROR, IDS_SAVE_FAILED, 0, nullptr, nullptr);
    }
}

void saveSiteEdits(SiteEditState& state, HWND dialog)
{
    SaveRequest request = {};
    // The row the site has now: a save that merged another program's changes
    // has listed the page afresh since the dialog opened.
    SiteListPageState* page = AppGlobals.siteListState;
    request.siteRow = page && state.site ? page->rowOf(state.site) : firstSelectedRow(siteListView());
    // Whole: a site may have a name longer than can be typed.
    state.typedName = controlText(GetDlgItem(dialog, IDC_SITE_EDIT_NAME));
    request.nameChanged = state.typedName != state.storedName;
    // Asked on every Save, whether or not the name changed.
    request.nameTaken = passwordBank()->isWebItemExist(state.typedName, L"") != 0;
    request.nameBlank = state.typedName.find_first_not_of(L' ') == std::wstring::npos;
    request.rows = rowCount(state.listView);

    // With no row left the typed name does not matter: the site goes.
    if (request.rows != 0 && !applyTypedName(state, dialog, request))
        return;
    const bool applied = removeDeletedInputs(state) && (request.rows != 0 || removeSite(state, request.siteRow)) &&
                         writeTakenOverValues(state);
    if (!applied) {
        refuseChange();
        return;
    }
    if (state.modified)
        saveUser(state, dialog);
}
