// SiteListBench.cpp - the web site list page over banks of 10, 1,000 and
// 10,000 sites (or the sizes given as arguments): loading the bank, filling
// the page's list when it is first shown, deleting every site through the
// page with the question answered OK (timed from the answer), and saving the
// emptied bank; then, on
// the bank filled again, deleting one site in twenty (500 of 10,000),
// scattered over the list. Prints two lines per size.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "AppGlobals.h"
#include "QOVICommon.h"
#include "TestSupport.h"
#include "ListView.h"
#include "QOVIPWDBankInfoSettingDlg.h"
#include "resource.h"

namespace {

double nowMs()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

double answeredAt;

// Presses OK on every message box of this thread as it comes up, and notes when.
LRESULT CALLBACK answerOk(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (GetDlgItem(window, 0xFFFF)) {
            answeredAt = nowMs();
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}


bool seedBank(int sites)
{
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    if (user->load(1) != 0)
        return false;
    QOVIPasswordBank* bank = user->getPWDBankInfo();
    for (int i = 0; i < sites; ++i) {
        QOVINewWebItem site;
        site.webName = L"site " + std::to_wstring(i);
        site.url = L"https://site" + std::to_wstring(i) + L".example/login";
        site.formId = L"login";
        site.formName = L"login";
        site.inputs = {{L"user", L"user", L"text", L"user" + std::to_wstring(i)},
                       {L"pass", L"pass", L"password", L"secret-" + std::to_wstring(i)}};
        if (bank->addWebItem(site) != 0)
            return false;
    }
    bool saved = user->save(1) == 0;
    QOVIUserInfoManager::releaseUsers();
    return saved;
}

// Deletes the selected rows through the page, the question answered OK; the
// ms from the answer to the list repainted (a user takes seconds to answer,
// and putting the box up costs Wine about as much as the whole deletion).
double deleteSelected()
{
    HHOOK hook = SetWindowsHookExW(WH_CBT, answerOk, nullptr, GetCurrentThreadId());
    AppGlobals.siteListState->deleteSelectedSites();
    UnhookWindowsHookEx(hook);
    pump();
    return nowMs() - answeredAt;
}

bool measure(int sites, HWND parent, bool scattered)
{
    if (!seedBank(sites))
        return false;
    double start = nowMs();
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    if (user->load(1) != 0)
        return false;
    AppGlobals.currentUser = user;
    double loaded = nowMs();

    HWND page = CreateDialogParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_SITE_LIST_PAGE), parent,
                                   SiteListPageProc, 0);
    if (!page || !AppGlobals.siteListState)
        return false;
    AppGlobals.hSiteListPage = page;
    ShowWindow(page, SW_SHOW);
    UpdateWindow(page);
    pump();
    double filled = nowMs();
    HWND list = GetDlgItem(page, IDC_SITE_LIST);
    int listed = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));

    // Typing in the search box: each keystroke filters every site anew.
    HWND search = GetDlgItem(page, IDC_SITE_SEARCH);
    std::vector<double> keystrokes;
    for (const wchar_t* typed : {L"s", L"si", L"site 1", L"site 12", L"site 123", L"site 12", L""}) {
        double typing = nowMs();
        SetWindowTextW(search, typed);
        pump();
        keystrokes.push_back(nowMs() - typing);
    }
    std::sort(keystrokes.begin(), keystrokes.end());
    const double keystroke = keystrokes[keystrokes.size() / 2];

    LVITEMW row = {};
    row.stateMask = LVIS_SELECTED;
    int chosen = 0;
    double selecting = nowMs();
    if (scattered) {
        for (int i = 0; i < listed; ++i) {
            row.state = i % 20 == 7 ? LVIS_SELECTED : 0;
            chosen += row.state ? 1 : 0;
            SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&row));
        }
    } else {
        // Select all, as Ctrl+A does: the page follows with its buttons.
        selectAllRows(list);
        pump();
        chosen = listed;
    }
    double selected = nowMs();
    double deleting = deleteSelected();
    int left = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    double deleted = nowMs();
    COMMON_RESULT saveResult = user->save(1);
    double saved = nowMs();

    if (scattered)
        std::printf("%6d sites: delete %d scattered %9.1f ms\n", sites, chosen, deleting);
    else
        std::printf("%6d sites: load %9.1f ms   list fill %9.1f ms   delete all %9.1f ms   save %9.1f ms   "
                    "select all %9.1f ms   search keystroke %9.1f ms\n",
                    sites, loaded - start, filled - loaded, deleting, saved - deleted, selected - selecting, keystroke);
    DestroyWindow(page);
    pump();
    AppGlobals.hSiteListPage = nullptr;
    AppGlobals.currentUser = nullptr;
    QOVIUserInfoManager::releaseUsers();
    if (listed != sites || left != listed - chosen || saveResult != 0) {
        std::printf("  unexpected: %d rows listed, %d left, save result %d\n", listed, left, saveResult);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {10, 1000, 10000, 100000};

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    AppGlobals.hInstance = GetModuleHandleW(nullptr);

    // The page's parent stands in for the main window; it receives the page's posts.
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 520, 260, nullptr, nullptr,
                                  AppGlobals.hInstance, nullptr);
    AppGlobals.hMainDialog = parent;

    std::printf("Web site list page: load, list fill, delete of every site (OK answered), save\n");
    int status = 0;
    for (int sites : sizes) {
        for (bool scattered : {false, true}) {
            qovitest::TempFolder root;
            SetEnvironmentVariableW(L"QOVI_DATA_DIR", root.path().c_str());
            createQOVIAppUserDirectory();
            if (!measure(sites, parent, scattered)) {
                std::printf("%6d sites: failed\n", sites);
                status = 1;
            }
            QOVILog::endLog();
        }
    }

    DestroyWindow(parent);
    Gdiplus::GdiplusShutdown(token);
    return status;
}
