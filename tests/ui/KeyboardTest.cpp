// Every action by keyboard. Real key messages go to the window with the focus
// through the program's message loop code (the main window) or through the
// dialog manager as a modal dialog's loop passes them (the web site edit
// dialog); the keyboard state holds the modifiers, as it does for real keys.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <windowsx.h>
#include <gtest/gtest.h>
#include <functional>
#include <vector>
#include "FPGlobal.h"
#include "SiteFixture.h"

using namespace qovitest;

namespace {

struct Chord {
    UINT key;
    bool ctrl, shift, alt;
};
Chord key(UINT vk) { return {vk, false, false, false}; }
Chord ctrl(UINT vk) { return {vk, true, false, false}; }
Chord ctrlShift(UINT vk) { return {vk, true, true, false}; }
Chord shift(UINT vk) { return {vk, false, true, false}; }
Chord alt(UINT vk) { return {vk, false, false, true}; }
std::vector<Chord> times(size_t count, Chord chord) { return std::vector<Chord>(count, chord); }

enum class Start { Settings, Sites, Editor };

// A message box (its text) or, with text 0, a dialog; answered with button.
struct Modal {
    int text;
    int button;
};
const Modal dialogClosed = {0, IDCANCEL};

// Public: the table's checks reach it through a reference.
class KeyboardTest : public SiteFixture {
public:
    void SetUp() override
    {
        storeSettings(1, 1);
        storeSites({site(L"Alpha", userAndPassword()), site(L"Beta", userAndPassword()),
                    site(L"Bravo", userAndPassword())});
    }

    void open(Start start)
    {
        openMainWindow();
        showPage(start == Start::Settings ? 0 : 1);
        if (start == Start::Editor)
            openEditorOn(0);
    }
    // Chooses a tab as a click on it does.
    void showPage(int page)
    {
        HWND tabs = control(IDC_MAIN_TAB);
        TabCtrl_SetCurSel(tabs, page);
        NMHDR notify = {tabs, IDC_MAIN_TAB, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(AppGlobals.hMainDialog, WM_NOTIFY, IDC_MAIN_TAB, reinterpret_cast<LPARAM>(&notify));
    }
    HWND control(int id) const
    {
        for (HWND window : {editor, AppGlobals.hMainDialog, AppGlobals.hSettingsPage, AppGlobals.hSiteListPage})
            if (HWND found = window ? GetDlgItem(window, id) : nullptr)
                return found;
        return nullptr;
    }

    // One message as the loop of the window under test passes it.
    void deliver(MSG msg)
    {
        const bool handled = editor ? IsDialogMessageW(editor, &msg) != FALSE : preprocessMessage(msg);
        if (!handled) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // A press and release of the chord to the focused window, then what they posted.
    void press(const Chord& chord)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = chord.ctrl ? 0x80 : 0;
        keys[VK_SHIFT] = chord.shift ? 0x80 : 0;
        keys[VK_MENU] = chord.alt ? 0x80 : 0;
        SetKeyboardState(keys);
        const LPARAM down = 1 | (MapVirtualKeyW(chord.key, MAPVK_VK_TO_VSC) << 16) | (chord.alt ? 1 << 29 : 0);
        const LPARAM up = down | (1 << 30) | (1u << 31);
        const UINT pressed = chord.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, released = chord.alt ? WM_SYSKEYUP : WM_KEYUP;
        deliver({GetFocus(), pressed, chord.key, down});
        deliver({GetFocus(), released, chord.key, up});
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            deliver(msg);
        keys[VK_CONTROL] = keys[VK_SHIFT] = keys[VK_MENU] = 0;
        SetKeyboardState(keys);
    }

    using SiteFixture::inputElements;
    using SiteFixture::siteRows;
    std::vector<int> selectedSites() const { return listViewSelectedRows(siteList()); }
    bool enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }
    bool shown(HWND page) const { return IsWindowVisible(page) != FALSE; }
    int helps() const { return countInLog("OnQOVIHelp Start"); }
};

struct KeyCase {
    const char* what;
    Start start;
    int focus;                  // the control with the focus at the start
    std::vector<Chord> keys;    // pressed in turn
    std::vector<int> trail;     // the control with the focus after each chord (0: any); empty: not checked
    std::vector<Modal> modals;  // boxes and dialogs that open, in order, and their answers
    int helps;                  // help openings
    std::function<void(KeyboardTest&)> check;  // what else holds afterwards
};

}  // namespace

TEST_F(KeyboardTest, KeysDoWhatTheirWindowsPromise)
{
    const KeyCase cases[] = {
        {"Tab runs through the settings page and the footer", Start::Settings, IDC_MAIN_TAB,
         times(6, key(VK_TAB)),
         {IDC_SETTINGS_PWDBANK, IDC_SETTINGS_BUBBLE, IDC_MAIN_APPLY, IDC_MAIN_CLOSE, IDC_MAIN_HELP, IDC_MAIN_TAB}},
        {"Shift+Tab runs back through the footer and the list page", Start::Sites, IDC_MAIN_TAB,
         times(7, shift(VK_TAB)),
         {IDC_MAIN_HELP, IDC_MAIN_CLOSE, IDC_MAIN_APPLY, IDC_SITE_LIST_DELETE, IDC_SITE_LIST_OPEN, IDC_SITE_LIST,
          IDC_MAIN_TAB}},
        {"Ctrl+Tab and its kin switch pages, the focus following from a page", Start::Settings,
         IDC_SETTINGS_PWDBANK, {ctrl(VK_TAB), ctrlShift(VK_TAB), ctrl(VK_NEXT), ctrl(VK_PRIOR)},
         {IDC_SITE_LIST, IDC_SETTINGS_PWDBANK, IDC_SITE_LIST, IDC_SETTINGS_PWDBANK}},
        {"Ctrl+Tab leaves the focus on a footer button", Start::Sites, IDC_MAIN_CLOSE, {ctrl(VK_TAB)},
         {IDC_MAIN_CLOSE}, {}, 0,
         [](KeyboardTest& t) { EXPECT_TRUE(t.shown(AppGlobals.hSettingsPage)); }},
        {"The arrow keys on the tab control switch pages", Start::Settings, IDC_MAIN_TAB, {key(VK_RIGHT)},
         {IDC_MAIN_TAB}, {}, 0,
         [](KeyboardTest& t) {
             EXPECT_TRUE(t.shown(AppGlobals.hSiteListPage));
             EXPECT_FALSE(t.shown(AppGlobals.hSettingsPage));
         }},
        {"Shift+Down selects two sites: Open goes, Delete stays", Start::Sites, IDC_SITE_LIST, {shift(VK_DOWN)},
         {}, {}, 0,
         [](KeyboardTest& t) {
             EXPECT_EQ(std::vector<int>({0, 1}), t.selectedSites());
             EXPECT_FALSE(t.enabled(IDC_SITE_LIST_OPEN));
             EXPECT_TRUE(t.enabled(IDC_SITE_LIST_DELETE));
         }},
        {"Down then selects one site and both buttons come back", Start::Sites, IDC_SITE_LIST,
         {shift(VK_DOWN), key(VK_DOWN)}, {}, {}, 0,
         [](KeyboardTest& t) {
             EXPECT_EQ(std::vector<int>({2}), t.selectedSites());
             EXPECT_TRUE(t.enabled(IDC_SITE_LIST_OPEN));
         }},
        {"Typing finds a site by the first letters of its name", Start::Sites, IDC_SITE_LIST,
         {key('B'), key('R')}, {}, {}, 0,
         [](KeyboardTest& t) { EXPECT_EQ(std::vector<int>({2}), t.selectedSites()); }},
        {"Delete in the site list asks, then deletes the selected site", Start::Sites, IDC_SITE_LIST,
         {key(VK_DELETE)}, {}, {{IDS_CONFIRM_DELETE_SITES, IDOK}}, 0,
         [](KeyboardTest& t) {
             EXPECT_EQ(std::vector<std::wstring>({L"Beta", L"Bravo"}), t.siteRows());
             EXPECT_FALSE(t.enabled(IDC_SITE_LIST_DELETE));
         }},
        {"Enter in the site list opens the selected site", Start::Sites, IDC_SITE_LIST,
         {key(VK_DOWN), key(VK_RETURN)}, {}, {dialogClosed}, 0,
         [](KeyboardTest&) { EXPECT_EQ(L"https://Beta.example/login", AppGlobals.selectedSiteUrl); }},
        {"Alt and an access key reach the list's label and the list page's button", Start::Sites, IDC_MAIN_TAB,
         {alt('W'), alt('D')}, {IDC_SITE_LIST, 0}, {{IDS_CONFIRM_DELETE_SITES, IDCANCEL}}},
        {"An access key clicks its check box", Start::Settings, IDC_MAIN_TAB, {alt('B')}, {}, {}, 0,
         [](KeyboardTest& t) { EXPECT_EQ(BST_UNCHECKED, Button_GetCheck(t.control(IDC_SETTINGS_BUBBLE))); }},
        {"Space presses the focused footer button", Start::Sites, IDC_MAIN_CLOSE, {key(VK_SPACE)}, {},
         {{IDS_CONFIRM_CLOSE, IDCANCEL}}},
        {"Enter presses the focused button of the list page", Start::Sites, IDC_SITE_LIST_DELETE,
         {key(VK_RETURN)}, {}, {{IDS_CONFIRM_DELETE_SITES, IDCANCEL}}, 0,
         [](KeyboardTest& t) { EXPECT_EQ(3u, t.siteRows().size()); }},
        {"Esc asks the close question", Start::Settings, IDC_SETTINGS_BUBBLE, {key(VK_ESCAPE)}, {},
         {{IDS_CONFIRM_CLOSE, IDCANCEL}}, 0,
         [](KeyboardTest&) { EXPECT_TRUE(IsWindow(AppGlobals.hMainDialog)); }},
        {"F1 on the site list opens help", Start::Sites, IDC_SITE_LIST, {key(VK_F1)}, {}, {}, 1},
        {"F1 on a check box opens help", Start::Settings, IDC_SETTINGS_PWDBANK, {key(VK_F1)}, {}, {}, 1},
        {"F1 on a footer button opens help", Start::Settings, IDC_MAIN_APPLY, {key(VK_F1)}, {}, {}, 1},
        {"Delete in the input list asks, then removes the selected item", Start::Editor, IDC_SITE_EDIT_INPUTS,
         {key(VK_DELETE)}, {}, {{IDS_CONFIRM_REMOVE_INPUTS, IDOK}}, 0,
         [](KeyboardTest& t) { EXPECT_EQ(std::vector<std::wstring>({L"pass"}), t.inputElements()); }},
        {"Enter in the input list opens the selected item", Start::Editor, IDC_SITE_EDIT_INPUTS,
         {key(VK_DOWN), key(VK_RETURN)}, {}, {dialogClosed}, 0,
         [](KeyboardTest&) { EXPECT_EQ(L"password", AppGlobals.selectedInputType); }},
        {"Shift+Down in the input list: Open goes, Remove stays", Start::Editor, IDC_SITE_EDIT_INPUTS,
         {shift(VK_DOWN)}, {}, {}, 0,
         [](KeyboardTest& t) {
             EXPECT_FALSE(t.enabled(IDC_SITE_EDIT_OPEN));
             EXPECT_TRUE(t.enabled(IDC_SITE_EDIT_REMOVE));
         }},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.start);
        SetFocus(control(c.focus));
        const int helpsBefore = helps();
        {
            ModalAnswerer answerer;
            for (const Modal& modal : c.modals) {
                if (modal.text)
                    answerer.expectBox(modal.button, L"", text(modal.text));
                else
                    answerer.expectDialog([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
            }
            for (size_t i = 0; i < c.keys.size(); ++i) {
                press(c.keys[i]);
                if (i < c.trail.size() && c.trail[i]) {
                    EXPECT_EQ(c.trail[i], GetDlgCtrlID(GetFocus())) << "after key " << i;
                }
            }
            answerer.verifyAllAnswered();
        }
        EXPECT_EQ(c.helps, helps() - helpsBefore);
        if (c.check)
            c.check(*this);
        closeEditor();
        destroyMainWindow();
    }
}

namespace {

// The name a screen reader gets for a control through Microsoft Active
// Accessibility. Wine names an edit by the label before it but not a list
// view, which Windows names the same way: for a list, that label stands in.
std::wstring accessibleName(HWND control)
{
    IAccessible* accessible = nullptr;
    std::wstring name;
    if (AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&accessible)) == S_OK) {
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        if (accessible->get_accName(self, &text) == S_OK && text)
            name = text;
        SysFreeString(text);
        accessible->Release();
    }
    wchar_t className[64] = {};
    GetClassNameW(control, className, 64);
    HWND label = GetWindow(control, GW_HWNDPREV);
    if (name.empty() && lstrcmpW(className, WC_LISTVIEWW) == 0 && label &&
        (SendMessageW(label, WM_GETDLGCODE, 0, 0) & DLGC_STATIC))
        name = windowText(label);
    return name;
}

}  // namespace

TEST_F(KeyboardTest, EveryControlTabReachesHasAName)
{
    for (Start start : {Start::Settings, Start::Sites, Start::Editor}) {
        open(start);
        HWND window = editor ? editor : AppGlobals.hMainDialog;
        HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
        HWND control = first;
        do {
            EXPECT_NE(L"", accessibleName(control)) << GetDlgCtrlID(control);
            control = GetNextDlgTabItem(window, control, FALSE);
        } while (control && control != first);
        closeEditor();
        destroyMainWindow();
    }
}

namespace {

// Wine keeps no UI state: WM_QUERYUISTATE always says every cue is shown.
// The button's answer is replaced here to play Windows' hidden focus cues.
LRESULT CALLBACK answerUiState(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR state)
{
    if (message == WM_QUERYUISTATE)
        return *reinterpret_cast<const LRESULT*>(state);
    return DefSubclassProc(window, message, wParam, lParam);
}

// Dark pixels along the row where the focus rectangle runs, inside the
// picture's frame.
int focusRowDarkPixels(HWND button)
{
    RECT client;
    GetClientRect(button, &client);
    HDC dc = GetDC(button);
    int dark = 0;
    for (int x = 3; x < client.right - 3; ++x)
        dark += GetRValue(GetPixel(dc, x, 3)) < 0x40;
    ReleaseDC(button, dc);
    return dark;
}

}  // namespace

TEST_F(KeyboardTest, AFocusedSkinnedButtonDrawsItsFocusWhileCuesAreShown)
{
    open(Start::Settings);
    HWND apply = control(IDC_MAIN_APPLY);
    LRESULT uiState = 0;
    SetWindowSubclass(apply, answerUiState, 0, reinterpret_cast<DWORD_PTR>(&uiState));
    const struct { int focus; LRESULT uiState; bool drawn; } cases[] = {
        {IDC_MAIN_APPLY, 0, true}, {IDC_MAIN_APPLY, UISF_HIDEFOCUS, false}, {IDC_MAIN_CLOSE, 0, false},
    };
    for (const auto& c : cases) {
        SetFocus(control(c.focus));
        uiState = c.uiState;
        ValidateRect(apply, nullptr);
        SendMessageW(apply, WM_UPDATEUISTATE, MAKEWPARAM(c.uiState ? UIS_SET : UIS_CLEAR, UISF_HIDEFOCUS), 0);
        EXPECT_TRUE(GetUpdateRect(apply, nullptr, FALSE)) << "a change of the cues repaints";
        UpdateWindow(apply);
        EXPECT_EQ(c.drawn, focusRowDarkPixels(apply) > 10) << c.focus << " " << c.uiState;
    }
    RemoveWindowSubclass(apply, answerUiState, 0);
    destroyMainWindow();
}
