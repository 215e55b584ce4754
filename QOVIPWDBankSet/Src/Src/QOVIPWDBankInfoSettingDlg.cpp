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

// The page's two buttons; the page runs their clicks (WM_COMMAND). Unlike the
// other sets they have no repaint flags, and while disabled they ignore the
// mouse.
enum { OPEN_SLOT, DELETE_SLOT, SITE_LIST_BUTTON_COUNT };
static const SkinButtonSlot siteListSlots[SITE_LIST_BUTTON_COUNT] = {
    {IDC_SITE_LIST_OPEN, IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED, IDS_BUTTON_OPEN, 0,
     false, 0.0f, true},
    {IDC_SITE_LIST_DELETE, IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED,
     IDS_BUTTON_DELETE, 0, false, 0.0f, true},
};

static SkinButtonGroup* siteListButtonGroup()
{
    return AppGlobals.siteListState ? &AppGlobals.siteListState->buttons : nullptr;
}

static const SkinButtonSet siteListButtons = {siteListSlots, SITE_LIST_BUTTON_COUNT, siteListButtonGroup, true, true};

// Column 0 shows the row icon (24 pixels and a margin); column 1 the site's
// name, as wide as the rest of the list. Not scaled: the list's own size is
// in dialog units and grows with the DPI, these widths do not.
static const int ICON_COLUMN_WIDTH = 28;
static const int NAME_COLUMN_WIDTH = 460;
static const int ROW_ICON_SIZE = 24;

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

void SiteListPageState::followSelection()
{
    buttons.followSelectedRows(OPEN_SLOT, DELETE_SLOT, selectedCount(listView));
}

void SiteListPageState::fillSiteList()
{
    imageList = ImageList_Create(ROW_ICON_SIZE, ROW_ICON_SIZE, ILC_COLOR32 | ILC_MASK, 2, 0);
    ImageList_ReplaceIcon(imageList, -1, LoadIconW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDI_APP_SMALL)));
    SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
    SendMessageW(listView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(imageList));
    // Columns can be neither clicked nor resized.
    EnableWindow(reinterpret_cast<HWND>(SendMessageW(listView, LVM_GETHEADER, 0, 0)), FALSE);
    insertColumn(listView, 0, ICON_COLUMN_WIDTH, L"");
    insertColumn(listView, 1, NAME_COLUMN_WIDTH, headerText(IDS_SITE_COLUMN_NAME));
    // Once a session, at start-up, where readers of the suite's log look for
    // it, although the rows themselves come later.
    QOVILog::debugLog(LOG_PATH, __LINE__, L"Get Web item information");
    buttons.setAvailable(OPEN_SLOT, false);
    buttons.setAvailable(DELETE_SLOT, false);
}

void SiteListPageState::ensureFilled()
{
    if (!filled)
        listSites();
}

void SiteListPageState::refill()
{
    if (filled)
        listSites();
}

void SiteListPageState::listSites()
{
    filled = true;
    ListRedrawPause pause(listView);
    SendMessageW(listView, LVM_DELETEALLITEMS, 0, 0);
    webItems.clear();
    const bool read = AppGlobals.currentUser->getPWDBankInfo()->getWebItems(webItems, L"", L"") == COMMON_OK;
    if (!read)
        webItems.clear();

    wchar_t empty[] = L"";
    for (size_t i = 0; i < webItems.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = empty;
        item.iImage = 0;
        SendMessageW(listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        setRowText(listView, static_cast<int>(i), 1, webItems[i]->getstrWebName());
    }

    const bool anyRow = rowCount(listView) > 0;
    if (anyRow) {
        LVITEMW selected = {};
        selected.state = LVIS_SELECTED;
        selected.stateMask = LVIS_SELECTED;
        SendMessageW(listView, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
    }
    buttons.setAvailable(OPEN_SLOT, anyRow);
    buttons.setAvailable(DELETE_SLOT, anyRow);
    // Last: the box has no owner, and this state may be gone after it.
    if (!read)
        showErrorMessage(IDS_CAPTION_ERROR, IDS_SITES_UNREADABLE, 0, nullptr, nullptr);
}

int SiteListPageState::rowOf(const QOVIWebItem* site) const
{
    for (size_t row = 0; row < webItems.size(); ++row) {
        if (webItems[row] == site)
            return static_cast<int>(row);
    }
    return -1;
}

void SiteListPageState::removeRow(int row)
{
    if (row >= 0 && static_cast<size_t>(row) < webItems.size())
        removeRows({row});
}

// Rows go from the last up, each with its element, so that the rows not yet
// removed keep their numbers; with every row selected the list empties at once.
void SiteListPageState::removeRows(const std::vector<int>& rows)
{
    if (rows.size() == webItems.size()) {
        SendMessageW(listView, LVM_DELETEALLITEMS, 0, 0);
        webItems.clear();
        return;
    }
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        SendMessageW(listView, LVM_DELETEITEM, *row, 0);
    size_t next = 0, kept = 0;
    for (size_t i = 0; i < webItems.size(); ++i) {
        if (next < rows.size() && static_cast<size_t>(rows[next]) == i)
            ++next;
        else
            webItems[kept++] = webItems[i];
    }
    webItems.resize(kept);
}

void SiteListPageState::renameRow(int row, const std::wstring& name) { setRowText(listView, row, 1, name); }

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
    giveFocus(listView);
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
        giveFocus(list);
        return;
    }

    // The selection may have changed while the box was open: the rows
    // selected now go, at most as many as were asked about.
    std::vector<int> rows = selectedRows(list);
    if (rows.size() > static_cast<size_t>(count))
        rows.resize(static_cast<size_t>(count));
    QOVIPasswordBank* bank = AppGlobals.currentUser->getPWDBankInfo();
    // Each row's own site goes; a row whose site the store refuses stays.
    std::vector<int> deleted;
    deleted.reserve(rows.size());
    {
        ListRedrawPause pause(list);  // the list shows the result once, when it ends
        for (int row : rows) {
            if (static_cast<size_t>(row) < webItems.size() && bank->removeWebItem(webItems[row]) == COMMON_OK)
                deleted.push_back(row);
        }
        // A line per site, written at once.
        QOVILog::debugLogLines(LOG_PATH, __LINE__, L"Delete the web item!", static_cast<int>(deleted.size()));
        removeRows(deleted);
    }
    if (!deleted.empty())
        PostMessageW(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED, 0, 0);
    // Normally nothing is selected any more and both buttons go grey.
    followSelection();
    giveFocus(list);
    // Last: the box has no owner, and this state may be gone after it.
    if (deleted.size() < rows.size())
        showErrorMessage(IDS_CAPTION_ERROR, IDS_DELETE_REFUSED, 0, nullptr, nullptr);
}

// ------------------------------------------------------------ the page --

static void onSiteListInitDialog(HWND page)
{
    SiteListPageState* state = new (std::nothrow) SiteListPageState();
    AppGlobals.siteListState = state;
    if (!state)
        return;
    state->listView = GetDlgItem(page, IDC_SITE_LIST);
    attachListKeyboard(state->listView, 1);  // typing finds a site by its name
    attachSkinButtons(page, siteListButtons, state->buttons);
    // The page is made hidden, under the settings page: the focus stays where
    // the main dialog put it, and the list takes it with a click, Tab or
    // Ctrl+Tab once the page shows.
    state->fillSiteList();
}

// Sent before the page becomes visible: the rows are there when it shows.
static void onSiteListShow(BOOL shown)
{
    if (shown && AppGlobals.siteListState)
        AppGlobals.siteListState->ensureFilled();
}

// A double click and Enter open the selected site; Delete asks to delete the
// selected sites; the buttons follow every change of the selection, by mouse
// or keyboard.
static INT_PTR onSiteListNotify(const NMHDR* header)
{
    if (header->idFrom != IDC_SITE_LIST)
        return FALSE;
    SiteListPageState* state = AppGlobals.siteListState;
    if (header->code == static_cast<UINT>(NM_DBLCLK) || header->code == static_cast<UINT>(NM_RETURN)) {
        if (state) {
            state->openSelectedSite();
            bringMainWindowForward();
        }
        return TRUE;
    }
    if (!state)
        return TRUE;
    if (header->code == LVN_DELETEALLITEMS) {
        // No LVN_DELETEITEM for each row of a list emptied at once: the rows
        // hold nothing to free.
        SetWindowLongPtrW(GetParent(header->hwndFrom), DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    if (isSelectionChange(header)) {
        state->followSelection();
        return TRUE;
    }
    if (header->code == static_cast<UINT>(LVN_KEYDOWN) &&
        reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) {
        state->deleteSelectedSites();
        return TRUE;
    }
    return FALSE;
}

// A click on button 301 or 302.
static void onSiteListCommand(int id)
{
    SiteListPageState* state = AppGlobals.siteListState;
    if (!state)
        return;
    if (id == IDC_SITE_LIST_OPEN) {
        state->openSelectedSite();
        bringMainWindowForward();
    } else if (id == IDC_SITE_LIST_DELETE) {
        state->deleteSelectedSites();
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
    case WM_COMMAND:
        onSiteListCommand(LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        return onSiteListNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_SHOWWINDOW:
        onSiteListShow(static_cast<BOOL>(wParam));
        return FALSE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(page, &paint);
        EndPaint(page, &paint);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        // The list's label lies on the body of the background.
        colourSkinControl(reinterpret_cast<HDC>(wParam), SkinArea::Body);
        return reinterpret_cast<INT_PTR>(skinBodyBrush());
    case WM_ERASEBKGND:
        // Not a colour message: any nonzero value says "erased", and the
        // stock brush is such a value. Nothing is painted: the main window's
        // background shows around the list, its label and the buttons.
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_PWDBANK_EDITOR_CLOSED:
        // The edit dialog has gone: neither button may stay shown hovered or pressed.
        if (AppGlobals.siteListState)
            AppGlobals.siteListState->buttons.showAllNormal();
        return FALSE;
    case WM_DESTROY:
        onSiteListDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SiteListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedCall(L"SiteListPageProc", [&] { return siteListPageMessage(page, message, wParam, lParam); });
}
