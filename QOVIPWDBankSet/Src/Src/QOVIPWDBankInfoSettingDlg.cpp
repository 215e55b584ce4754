#include "QOVIPWDBankInfoSettingDlg.h"

#include <new>
#include <string>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "ListView.h"
#include "QOVICommon.h"
#include "QOVIPWDBankInfoEditDlg.h"
#include "resource.h"

static const wchar_t LOG_PATH[] = L".\\Src\\Src\\QOVIPWDBankInfoSettingDlg.cpp";

static const SkinButtonSlot siteListSlots[SITE_LIST_BUTTON_COUNT] = {
    {IDC_SITE_LIST_OPEN, IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED, IDS_BUTTON_OPEN, 0,
     false, 0.0f, true},
    {IDC_SITE_LIST_DELETE, IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED,
     IDS_BUTTON_DELETE, 0, false, 0.0f, true},
};

// ------------------------------------------------------------- helpers --

// The main dialog is the page's parent: shown, brought to the front, repainted.
static void bringMainWindowForward()
{
    ShowWindow(AppGlobals.hMainDialog, SW_SHOW);
    SetForegroundWindow(AppGlobals.hMainDialog);
    UpdateWindow(AppGlobals.hMainDialog);
}

// ------------------------------------------------------------ the state --

SiteListPageState::~SiteListPageState()
{
    if (imageList) {
        HIMAGELIST attached = reinterpret_cast<HIMAGELIST>(
            SendMessageW(listView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(nullptr)));
        ImageList_Destroy(attached ? attached : imageList);
        imageList = nullptr;
    }
}

int SiteListPageState::buttonIndex(HWND button)
{
    SiteListPageState* state = AppGlobals.siteListState;
    if (!state)
        return 0;
    for (int slot = 0; slot < SITE_LIST_BUTTON_COUNT; ++slot) {
        if (button == state->buttons[slot])
            return slot;
    }
    return SITE_LIST_BUTTON_COUNT;
}

void SiteListPageState::setButtonEnabled(int slot, bool enabled)
{
    EnableWindow(buttons[slot], enabled ? TRUE : FALSE);
    (slot == 0 ? editEnabled : deleteEnabled) = enabled ? 1 : 0;
}

void SiteListPageState::followSelection()
{
    const int selected = selectedCount(listView);
    setButtonEnabled(0, selected == 1);
    setButtonEnabled(1, selected >= 1);
    for (HWND button : buttons)
        InvalidateRect(button, nullptr, TRUE);
}

void SiteListPageState::fillSiteList(HWND page)
{
    for (int slot = 0; slot < SITE_LIST_BUTTON_COUNT; ++slot)
        buttons[slot] = GetDlgItem(page, siteListSlots[slot].controlId);
    imageList = ImageList_Create(24, 24, ILC_COLOR32 | ILC_MASK, 2, 0);
    ImageList_ReplaceIcon(imageList, -1, LoadIconW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDI_APP_SMALL)));
    SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
    SendMessageW(listView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(imageList));
    // Columns can be neither clicked nor resized.
    EnableWindow(reinterpret_cast<HWND>(SendMessageW(listView, LVM_GETHEADER, 0, 0)), FALSE);
    insertColumn(listView, 0, 28, L"");
    insertColumn(listView, 1, 460, headerText(IDS_SITE_COLUMN_NAME));

    QOVILog::debugLog(LOG_PATH, __LINE__, L"Get Web item information");
    AppGlobals.currentUser->getPWDBankInfo()->getWebItems(webItems, L"", L"");

    wchar_t empty[] = L"";
    ListRedrawPause pause(listView);
    for (size_t i = 0; i < webItems.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = empty;
        item.iImage = 0;
        SendMessageW(listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        setRowText(listView, static_cast<int>(i), 1, webItems[i]->getstrWebName());
    }

    const bool anyRow = SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0) > 0;
    if (anyRow) {
        LVITEMW selected = {};
        selected.state = LVIS_SELECTED;
        selected.stateMask = LVIS_SELECTED;
        SendMessageW(listView, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
    }
    setButtonEnabled(0, anyRow);
    setButtonEnabled(1, anyRow);
}

void SiteListPageState::openSelectedSite()
{
    const int selected = selectedCount(listView);
    const int row = firstSelectedRow(listView);
    if (row >= 0 && static_cast<size_t>(row) < webItems.size()) {
        const QOVIWebItem* site = webItems[row];
        AppGlobals.selectedSiteUrl = site->getstrURL();
        AppGlobals.selectedSiteFormId = site->getstrFormId();
        AppGlobals.selectedSiteFormName = site->getstrFormName();
    }
    if (selected == 1) {
        DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_SITE_EDIT), AppGlobals.hSiteListPage,
                        SiteEditProc, 0);
        return;
    }
    SendMessageW(listView, WM_SETFOCUS, 0, 0);
}

void SiteListPageState::deleteSelectedSites()
{
    const int count = selectedCount(listView);
    if (count == 0)
        return;
    HWND list = listView;
    const int answer = showMessageBox(IDS_CAPTION_INFO, IDS_CONFIRM_DELETE_SITES, MB_OKCANCEL | MB_ICONQUESTION,
                                      nullptr, nullptr);
    // The box has no owner: the main window may have been closed meanwhile,
    // and this state with it.
    if (AppGlobals.siteListState != this)
        return;
    if (answer != IDOK) {
        SendMessageW(list, WM_SETFOCUS, 0, 0);
        return;
    }

    // The selection may have changed while the box was open: each pass takes
    // the row selected now, and the deletion stops when none is left.
    QOVIPasswordBank* bank = AppGlobals.currentUser->getPWDBankInfo();
    int removed = 0;
    {
        ListRedrawPause pause(list);  // the list shows the result at once when it ends
        for (int pass = 0; pass < count; ++pass) {
            const int row = firstSelectedRow(list);
            if (row < 0 || static_cast<size_t>(row) >= webItems.size())
                break;
            const std::wstring name = rowText(list, row, 1);
            deletingIndex = row;
            webItems.erase(webItems.begin() + deletingIndex);
            QOVILog::debugLog(LOG_PATH, __LINE__, L"Delete the web item!");
            bank->removeWebItem(name, L"");
            SendMessageW(list, LVM_DELETEITEM, deletingIndex, 0);
            ++removed;
        }
    }
    if (removed > 0)
        PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
    // Normally nothing is selected any more and both buttons go grey.
    followSelection();
    SendMessageW(list, WM_SETFOCUS, 0, 0);
}

// ------------------------------------------------------ the two buttons --

static SkinButtonContext siteListContext(SiteListPageState& state, int slot)
{
    const int available = slot == 0 ? state.editEnabled : state.deleteEnabled;
    return SkinButtonContext{&state.looks[slot], nullptr, &siteListSlots[slot], available, nullptr};
}

void paintSiteListButton(SiteListPageState& state, HWND button)
{
    const int slot = SiteListPageState::buttonIndex(button);
    if (slot < SITE_LIST_BUTTON_COUNT)
        paintSkinButton(button, siteListContext(state, slot));
}

// A release on an enabled button ends the press and, inside the button, runs
// its action. A disabled button keeps the capture it may hold.
static LRESULT onSiteListButtonUp(HWND button, LPARAM lParam, SiteListPageState& state)
{
    if (!IsWindowEnabled(button))
        return 1;
    ReleaseCapture();
    if (!isPointInButton(button, lParam))
        return 1;
    if (button == GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_OPEN)) {
        state.openSelectedSite();
        bringMainWindowForward();
        return 0;
    }
    if (button == GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_DELETE))
        state.deleteSelectedSites();
    return 1;
}

static LRESULT siteListButtonMessage(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    SiteListPageState* state = AppGlobals.siteListState;
    const int slot = SiteListPageState::buttonIndex(button);
    if (!state || slot >= SITE_LIST_BUTTON_COUNT)
        return DefSubclassProc(button, message, wParam, lParam);
    if (message == WM_LBUTTONUP)
        return onSiteListButtonUp(button, lParam, *state);
    if (message == WM_PAINT) {
        paintSiteListButton(*state, button);
        return 1;
    }
    LRESULT result = 0;
    if (handleSkinButtonMessage(button, message, wParam, lParam, siteListContext(*state, slot), &result))
        return result;
    return DefSubclassProc(button, message, wParam, lParam);
}

LRESULT CALLBACK SiteListButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR subclassId,
                                    DWORD_PTR)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(button, SiteListButtonProc, subclassId);
        return DefSubclassProc(button, message, wParam, lParam);
    }
    try {
        return siteListButtonMessage(button, message, wParam, lParam);
    } catch (...) {
        logUnexpectedException(L"SiteListButtonProc");
        return 0;
    }
}

// ------------------------------------------------------------ the page --

static void onSiteListInitDialog(HWND page)
{
    SiteListPageState* state = new (std::nothrow) SiteListPageState();
    AppGlobals.siteListState = state;
    if (!state)
        return;
    state->listView = GetDlgItem(page, IDC_SITE_LIST);
    state->fillSiteList(page);
    for (int slot = 0; slot < SITE_LIST_BUTTON_COUNT; ++slot)
        SetWindowSubclass(state->buttons[slot], SiteListButtonProc, siteListSlots[slot].controlId, 0);
    SendMessageW(state->listView, WM_SETFOCUS, 0, 0);
}

static INT_PTR onSiteListNotify(const NMHDR* header)
{
    if (header->idFrom != IDC_SITE_LIST)
        return FALSE;
    SiteListPageState* state = AppGlobals.siteListState;
    if (header->code == static_cast<UINT>(NM_DBLCLK)) {
        if (state) {
            state->openSelectedSite();
            bringMainWindowForward();
        }
        return TRUE;
    }
    if (!state)
        return TRUE;
    if (header->code == static_cast<UINT>(NM_CLICK)) {
        state->followSelection();
        return TRUE;
    }
    return FALSE;
}

// The edit dialog has gone: neither button may stay shown hovered or pressed.
// Tracking is left alone and nothing is repainted.
static void onEditorClosed()
{
    SiteListPageState* state = AppGlobals.siteListState;
    if (!state)
        return;
    for (SkinButtonLook& look : state->looks) {
        look.normal = 1;
        look.hover = 0;
        look.pressed = 0;
    }
}

static void onSiteListDestroy()
{
    if (AppGlobals.siteListState) {
        delete AppGlobals.siteListState;
        AppGlobals.siteListState = nullptr;
    }
}

static INT_PTR siteListPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onSiteListInitDialog(page);
        return TRUE;
    case WM_NOTIFY:
        return onSiteListNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(page, &paint);
        EndPaint(page, &paint);
        return TRUE;
    }
    case WM_ERASEBKGND:
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_PWDBANK_EDITOR_CLOSED:
        onEditorClosed();
        return FALSE;
    case WM_DESTROY:
        onSiteListDestroy();
        return FALSE;
    default:
        (void)wParam;
        return FALSE;
    }
}

INT_PTR CALLBACK SiteListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return siteListPageMessage(page, message, wParam, lParam);
    } catch (...) {
        logUnexpectedException(L"SiteListPageProc");
        return FALSE;
    }
}
