#include "SiteEditSave.h"

#include <cstring>
#include <cwchar>
#include <string>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "ListView.h"
#include "QOVICommon.h"
#include "QOVIPWDBankInfoEditDlg.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "resource.h"

// Save logs as part of the edit dialog's module, under that module's path and
// at fixed lines, one per key case: readers of the suite's log know its lines
// by these, wherever the code stands.
static const wchar_t LOG_PATH[] = L".\\Src\\Src\\QOVIPWDBankInfoEditDlg.cpp";
static const int LOG_LINE_WEB_NAME_SAVED = 593;
static const int LOG_LINES_INPUT_REMOVED[] = {619, 624, 629};
static const int LOG_LINES_VALUE_WRITTEN[] = {690, 718, 747};
static const wchar_t* const LOG_TEXTS_INPUT[] = {L"delete Input item!", L"Save Input item!", L"Save Input item!"};

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

static QOVIPasswordBank* passwordBank() { return AppGlobals.currentUser->getPWDBankInfo(); }

static HWND siteListView() { return GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST); }

// The typed name is refused: the box, then the name box as it was typed and
// with the focus, so the user can correct it.
static void refuseTypedName(HWND nameBox, const wchar_t* typedName, UINT textId)
{
    showErrorMessage(IDS_CAPTION_ERROR, textId, 0, nullptr, nullptr);
    SetWindowTextW(nameBox, typedName);
    giveFocus(nameBox);
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
    if (request.siteRow >= 0 && AppGlobals.siteListState)
        AppGlobals.siteListState->renameRow(request.siteRow, state.typedName);
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

// No row is left: the site goes from the bank and its row from the list page.
static void removeSite(SiteEditState& state, int siteRow)
{
    passwordBank()->removeWebItem(state.storedName, L"");
    if (SiteListPageState* page = AppGlobals.siteListState) {
        page->removeRow(siteRow);
        page->followSelection();
    }
}

// Exactly the values taken over in the input item edit dialog, each to the
// item it was taken over for, in list order; an item whose row was removed
// gets nothing. The usual two-row site is written without log lines; with any
// other number of rows each write logs its key case.
static void writeTakenOverValues(SiteEditState& state)
{
    const int rows = rowCount(state.listView);
    for (int row = 0; row < rows; ++row) {
        const QOVIInputItem* item = state.inputItemOfRow(row);
        const std::wstring* value = state.takenOverValue(row);
        if (!item || !value)
            continue;
        InputKeys keys = inputKeys(item->getstrName(), item->getstrId());
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
        if (AppGlobals.currentUser->getLastSaveMerged()) {
            if (AppGlobals.siteListState)
                AppGlobals.siteListState->refill();
            state.followMergedName(dialog);
        }
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
    GetDlgItemTextW(dialog, IDC_SITE_EDIT_NAME, state.typedName, SITE_NAME_CHARS);
    request.nameChanged = wcscmp(state.typedName, state.storedName) != 0;
    // Asked on every Save, whether or not the name changed.
    request.nameTaken = passwordBank()->isWebItemExist(state.typedName, L"") != 0;
    request.nameBlank = std::wstring(state.typedName).find_first_not_of(L' ') == std::wstring::npos;
    request.rows = rowCount(state.listView);

    // With no row left the typed name does not matter: the site goes.
    if (request.rows != 0 && !applyTypedName(state, dialog, request))
        return;
    removeDeletedInputs(state);
    if (request.rows == 0)
        removeSite(state, request.siteRow);
    writeTakenOverValues(state);
    if (state.modified)
        saveUser(state, dialog);
}
