#include "QOVIPWDBankInfoSettingDlg.h"

#include <algorithm>
#include <unordered_set>
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

void SiteListPageState::setUpSiteList()
{
    // Once a session, at start-up, where readers of the suite's log look for
    // it, although the rows themselves come later.
    QOVILog::debugLog(LOG_PATH, __LINE__, L"Get Web item information");
    buttons.setAvailable(OPEN_SLOT, false);
    buttons.setAvailable(DELETE_SLOT, false);
}

// Made with the first rows: nobody sees the page before, and start-up does
// not wait for them.
void SiteListPageState::setUpColumns()
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
}

void SiteListPageState::ensureFilled()
{
    if (filled)
        return;
    setUpColumns();
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
    std::vector<QOVIWebItem*> sites;
    const bool read = AppGlobals.currentUser->getPWDBankInfo()->getWebItems(sites, L"", L"") == COMMON_OK;
    if (!read)
        sites.clear();
    listedSites.swap(sites);
    searchKeys.clear();
    showMatchingSites();
    // Last: the box has no owner, and this state may be gone after it.
    if (!read)
        showErrorMessage(IDS_CAPTION_ERROR, IDS_SITES_UNREADABLE, 0, nullptr, nullptr);
}

// Lower case as the user's language writes it, for every script.
static std::wstring foldedCase(const std::wstring& text)
{
    if (text.empty())
        return text;
    const int size = static_cast<int>(text.size());
    const DWORD flags = LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
    const int needed = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.c_str(), size, nullptr, 0, nullptr, nullptr, 0);
    if (needed <= 0)
        return text;
    std::wstring folded(static_cast<size_t>(needed), L'\0');
    LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.c_str(), size, &folded[0], needed, nullptr, nullptr, 0);
    return folded;
}

// What the search looks in: the name and the URL, folded, with a line break
// between them that no search text holds.
static std::wstring searchKeyOf(const QOVIWebItem* site)
{
    return foldedCase(site->getstrWebName()) + L"\n" + foldedCase(site->getstrURL());
}

void SiteListPageState::searchFor(const std::wstring& text)
{
    ensureFilled();
    std::wstring folded = foldedCase(text);
    folded.erase(std::remove(folded.begin(), folded.end(), L'\n'), folded.end());
    if (folded == searchText)
        return;
    searchText = std::move(folded);
    showMatchingSites();
}

void SiteListPageState::showMatchingSites()
{
    if (searchText.empty()) {
        webItems = listedSites;
    } else {
        // The keys are made at the first search after a listing, then kept.
        if (searchKeys.size() != listedSites.size()) {
            searchKeys.clear();
            searchKeys.reserve(listedSites.size());
            for (const QOVIWebItem* site : listedSites)
                searchKeys.push_back(searchKeyOf(site));
        }
        webItems.clear();
        for (size_t i = 0; i < listedSites.size(); ++i) {
            if (searchKeys[i].find(searchText) != std::wstring::npos)
                webItems.push_back(listedSites[i]);
        }
    }
    const bool anyRow = !webItems.empty();
    {
        ListRedrawPause pause(listView);
        // The list holds no rows of its own, only their count: it asks for
        // the rows it shows (LVN_GETDISPINFO), so any number of sites lists
        // at the cost of one screenful.
        SendMessageW(listView, LVM_SETITEMCOUNT, webItems.size(), 0);
        selectOnlyRows(listView, anyRow ? std::vector<int>{0} : std::vector<int>(), -1);
    }
    buttons.setAvailable(OPEN_SLOT, anyRow);
    buttons.setAvailable(DELETE_SLOT, anyRow);
}

void SiteListPageState::showRow(LVITEMW& item) const
{
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= webItems.size())
        return;
    // Column 0 shows the icon alone, column 1 the site's name alone. Column
    // 1's image stays I_IMAGECALLBACK, as a sub-item's is when none was ever
    // set: the name then starts where its column starts, with no room kept
    // for an image (I_IMAGENONE keeps that room).
    if (item.mask & LVIF_IMAGE)
        item.iImage = item.iSubItem == 0 ? 0 : I_IMAGECALLBACK;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        item.pszText[0] = L'\0';
        if (item.iSubItem == 1)
            lstrcpynW(item.pszText, webItems[static_cast<size_t>(item.iItem)]->getstrWebName().c_str(), item.cchTextMax);
    }
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

// The elements go in one pass; the rows are only counted anew. Rows still
// selected keep their selection at their new numbers.
void SiteListPageState::removeRows(const std::vector<int>& rows)
{
    std::vector<QOVIWebItem*> goneSites;
    goneSites.reserve(rows.size());
    for (int row : rows)
        goneSites.push_back(webItems[static_cast<size_t>(row)]);
    std::vector<int> stillSelected;
    // Usually every selected row goes, and no row is left to look for.
    const std::vector<int> selected =
        selectedCount(listView) > static_cast<int>(rows.size()) ? selectedRows(listView) : std::vector<int>();
    size_t next = 0, kept = 0, nextSelected = 0;
    for (size_t i = 0; i < webItems.size(); ++i) {
        const bool removed = next < rows.size() && static_cast<size_t>(rows[next]) == i;
        if (removed)
            ++next;
        while (nextSelected < selected.size() && static_cast<size_t>(selected[nextSelected]) < i)
            ++nextSelected;
        if (removed)
            continue;
        if (nextSelected < selected.size() && static_cast<size_t>(selected[nextSelected]) == i)
            stillSelected.push_back(static_cast<int>(kept));
        webItems[kept++] = webItems[i];
    }
    webItems.resize(kept);
    forgetSites(goneSites);
    SendMessageW(listView, LVM_SETITEMCOUNT, webItems.size(), LVSICF_NOSCROLL);
    // The keyboard goes on from where the first removed row was.
    const int focused = rows.empty() || webItems.empty() ? -1 : (std::min)(rows[0], static_cast<int>(kept) - 1);
    selectOnlyRows(listView, stillSelected, focused);
    InvalidateRect(listView, nullptr, TRUE);
}

// The sites leave the full listing too, in one pass, with their search keys.
void SiteListPageState::forgetSites(const std::vector<QOVIWebItem*>& sites)
{
    if (sites.empty())
        return;
    std::unordered_set<const QOVIWebItem*> gone(sites.begin(), sites.end());
    const bool keyed = searchKeys.size() == listedSites.size();
    size_t kept = 0;
    for (size_t i = 0; i < listedSites.size(); ++i) {
        if (gone.count(listedSites[i]))
            continue;
        if (keyed)
            searchKeys[kept].swap(searchKeys[i]);
        listedSites[kept++] = listedSites[i];
    }
    listedSites.resize(kept);
    if (keyed)
        searchKeys.resize(kept);
}

// The row stays shown even when its new name no longer matches the search:
// the shown rows change at the next change of the search text.
void SiteListPageState::renameRow(int row, const std::wstring&)
{
    if (row < 0 || static_cast<size_t>(row) >= webItems.size())
        return;
    const QOVIWebItem* site = webItems[static_cast<size_t>(row)];
    if (searchKeys.size() == listedSites.size()) {
        for (size_t i = 0; i < listedSites.size(); ++i) {
            if (listedSites[i] == site)
                searchKeys[i] = searchKeyOf(site);
        }
    }
    // The row shows the site's name as the store holds it.
    SendMessageW(listView, LVM_REDRAWITEMS, row, row);
}

void SiteListPageState::focusSearch()
{
    HWND search = GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_SEARCH);
    SendMessageW(search, EM_SETSEL, 0, -1);
    giveFocus(search);
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

HWND siteListView() { return GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST); }

static void onSiteListInitDialog(HWND page)
{
    SiteListPageState* state = createDialogState(AppGlobals.siteListState);
    if (!state)
        return;
    state->listView = GetDlgItem(page, IDC_SITE_LIST);
    attachListKeyboard(state->listView, 1);  // typing finds a site by its name
    attachSkinButtons(page, siteListButtons, state->buttons);
    // The page is made hidden, under the settings page: the focus stays where
    // the main dialog put it, and the list takes it with a click, Tab or
    // Ctrl+Tab once the page shows.
    state->setUpSiteList();
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
    if (header->code == LVN_GETDISPINFOW) {
        state->showRow(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))->item);
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

// A click on IDC_SITE_LIST_OPEN or IDC_SITE_LIST_DELETE.
static void onSiteListCommand(int id, int code, HWND control)
{
    SiteListPageState* state = AppGlobals.siteListState;
    if (!state)
        return;
    if (id == IDC_SITE_SEARCH) {
        if (code == EN_CHANGE)
            state->searchFor(controlText(control));
        return;
    }
    if (id == IDC_SITE_LIST_OPEN) {
        state->openSelectedSite();
        bringMainWindowForward();
    } else if (id == IDC_SITE_LIST_DELETE) {
        state->deleteSelectedSites();
    }
}

static void onSiteListDestroy()
{
    destroyDialogState(AppGlobals.siteListState);
}

static INT_PTR siteListPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onSiteListInitDialog(page);
        return TRUE;
    case WM_COMMAND:
        onSiteListCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
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
