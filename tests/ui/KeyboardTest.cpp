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
#include "UiFixture.h"

using namespace qovitest;

namespace {

enum { CTRL = 1, SHIFT = 2, ALT = 4 };
struct KeyPress { UINT key; int held; };  // held: CTRL, SHIFT, ALT

enum class Start { Settings, Sites, Editor };

// A message box (its text) or, with text 0, a dialog, and the button that answers it.
struct Modal { int text, button; };

// The name a screen reader gets through Microsoft Active Accessibility. Wine
// names an edit by the label before it but not a list view, which Windows
// names the same way: for a list, that label stands in.
std::wstring accessibleName(HWND control)
{
    std::wstring name;
    IAccessible* accessible = nullptr;
    if (AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&accessible)) == S_OK) {
        VARIANT self = {};
        self.vt = VT_I4;  // CHILDID_SELF
        BSTR text = nullptr;
        if (accessible->get_accName(self, &text) == S_OK && text)
            name = text;
        SysFreeString(text);
        accessible->Release();
    }
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    HWND label = GetWindow(control, GW_HWNDPREV);
    if (name.empty() && lstrcmpW(className, WC_LISTVIEWW) == 0 && label &&
        (SendMessageW(label, WM_GETDLGCODE, 0, 0) & DLGC_STATIC))
        name = windowText(label);
    return name;
}

// Public: the table's checks reach it through a reference.
class KeyboardTest : public UiFixture {
public:
    void SetUp() override { store({site(L"Alpha"), site(L"Beta"), site(L"Bravo")}); }
    void open(Start start)
    {
        openMainWindow(start == Start::Settings ? 0 : 1);
        if (start == Start::Editor)
            openEditorOn(0);
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
        if (!(editor ? IsDialogMessageW(editor, &msg) != FALSE : preprocessMessage(msg))) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // Press and release to the focused window, then what they posted.
    void press(const KeyPress& keyPress)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        for (auto [key, bit] : {std::pair<int, int>{VK_CONTROL, CTRL}, {VK_SHIFT, SHIFT}, {VK_MENU, ALT}})
            keys[key] = (keyPress.held & bit) ? 0x80 : 0;
        SetKeyboardState(keys);
        const bool alt = (keyPress.held & ALT) != 0;
        const LPARAM down = 1 | (MapVirtualKeyW(keyPress.key, MAPVK_VK_TO_VSC) << 16) | (alt ? 1 << 29 : 0);
        const UINT pressed = alt ? WM_SYSKEYDOWN : WM_KEYDOWN, released = alt ? WM_SYSKEYUP : WM_KEYUP;
        deliver({GetFocus(), pressed, keyPress.key, down});
        deliver({GetFocus(), released, keyPress.key, down | (3u << 30)});
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            deliver(msg);
        keys[VK_CONTROL] = keys[VK_SHIFT] = keys[VK_MENU] = 0;
        SetKeyboardState(keys);
    }
    using UiFixture::inputElements;
    using UiFixture::siteList;
    // A real click on a row of a list, inside its first 40 pixels: press and release.
    void clickRow(int id, int row) const
    {
        RECT r = {LVIR_BOUNDS};
        SendMessageW(control(id), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP})
            sendMouse(control(id), message, r.left + 40, (r.top + r.bottom) / 2, message == WM_LBUTTONUP ? 0 : MK_LBUTTON);
    }
};

struct KeyCase {
    const char* what;
    Start start;
    int focus;                   // the control given the focus at the start (0: as the windows set it up)
    std::vector<KeyPress> keys;  // pressed in turn
    std::vector<int> trail;      // the focus after each key, named for assistive technology (0: any)
    std::vector<Modal> modals;   // boxes and dialogs that open, in order
    int helps;                   // help openings
    std::function<void(KeyboardTest&)> check;  // what else holds afterwards
};

}  // namespace

TEST_F(KeyboardTest, KeysDoWhatTheirWindowsPromise)
{
    const KeyPress tab = {VK_TAB, 0}, backTab = {VK_TAB, SHIFT}, down = {VK_DOWN, 0}, enter = {VK_RETURN, 0},
                del = {VK_DELETE, 0}, f1 = {VK_F1, 0};
    const Modal deleteSitesCancelled = {IDS_CONFIRM_DELETE_SITES, IDCANCEL}, dialogClosed = {0, IDCANCEL},
                deleteSites = {IDS_CONFIRM_DELETE_SITES, IDOK}, removeInputs = {IDS_CONFIRM_REMOVE_INPUTS, IDOK},
                closeCancelled = {IDS_CONFIRM_CLOSE, IDCANCEL};
    const KeyCase cases[] = {
        {"Tab runs through the settings page and the footer", Start::Settings, IDC_MAIN_TAB,
         {tab, tab, tab, tab, tab, tab},
         {IDC_SETTINGS_PWDBANK, IDC_SETTINGS_BUBBLE, IDC_MAIN_APPLY, IDC_MAIN_CLOSE, IDC_MAIN_HELP, IDC_MAIN_TAB}},
        {"Shift+Tab runs back through the footer and the list page", Start::Sites, IDC_MAIN_TAB,
         {backTab, backTab, backTab, backTab, backTab, backTab, backTab, backTab},
         {IDC_MAIN_HELP, IDC_MAIN_CLOSE, IDC_MAIN_APPLY, IDC_SITE_LIST_DELETE, IDC_SITE_LIST_OPEN, IDC_SITE_LIST,
          IDC_SITE_SEARCH, IDC_MAIN_TAB}},
        {"Tab runs through the web site edit dialog from its input list; a click on a row gives a list the keys",
         Start::Editor, 0, {tab, tab, tab, tab, tab, tab, tab},
         {IDC_SITE_EDIT_OPEN, IDC_SITE_EDIT_REMOVE, IDC_SITE_EDIT_SAVE, IDC_SITE_EDIT_CLOSE, IDC_SITE_EDIT_HELP,
          IDC_SITE_EDIT_NAME, IDC_SITE_EDIT_INPUTS}, {}, 0,
         [](KeyboardTest& t) {
             for (int id : {IDC_SITE_LIST, IDC_SITE_EDIT_INPUTS}) {
                 SetFocus(t.control(IDC_SITE_EDIT_NAME));
                 t.clickRow(id, 1);
                 EXPECT_EQ(t.control(id), GetFocus());
             }
         }},
        {"Ctrl+Tab and its kin switch pages, the focus following from a page", Start::Settings,
         IDC_SETTINGS_PWDBANK, {{VK_TAB, CTRL}, {VK_TAB, CTRL | SHIFT}, {VK_NEXT, CTRL}, {VK_PRIOR, CTRL}},
         {IDC_SITE_SEARCH, IDC_SETTINGS_PWDBANK, IDC_SITE_SEARCH, IDC_SETTINGS_PWDBANK}},
        {"Ctrl+F from the settings page and from the site list puts the keys in the search box", Start::Settings,
         IDC_SETTINGS_BUBBLE, {{'F', CTRL}, tab, {'F', CTRL}, {'B', 0}}, {IDC_SITE_SEARCH, IDC_SITE_LIST, IDC_SITE_SEARCH},
         {}, 0, [](KeyboardTest& t) { EXPECT_EQ(Strings({L"Beta", L"Bravo"}), columnOf(t.siteList(), 1)); }},
        {"The arrow keys on the tab control switch pages", Start::Settings, IDC_MAIN_TAB, {{VK_RIGHT, 0}},
         {IDC_MAIN_TAB}, {}, 0, [](KeyboardTest&) { EXPECT_TRUE(IsWindowVisible(AppGlobals.hSiteListPage)); }},
        {"Shift+Down selects two sites (their buttons follow as any selection change)", Start::Sites, IDC_SITE_LIST,
         {{VK_DOWN, SHIFT}}, {}, {}, 0,
         [](KeyboardTest& t) { EXPECT_EQ(std::vector<int>({0, 1}), selectedRows(t.siteList())); }},
        {"Ctrl+A selects every site", Start::Sites, IDC_SITE_LIST, {{'A', CTRL}}, {}, {}, 0,
         [](KeyboardTest& t) { EXPECT_EQ(std::vector<int>({0, 1, 2}), selectedRows(t.siteList())); }},
        {"Enter in the site list opens the selected site", Start::Sites, IDC_SITE_LIST, {down, enter}, {},
         {dialogClosed}, 0,
         [](KeyboardTest&) { EXPECT_EQ(L"https://Beta.example/login", AppGlobals.selectedSiteUrl); }},
        {"Alt and an access key reach the list's label and the list page's button", Start::Sites, IDC_MAIN_TAB,
         {{'W', ALT}, {'D', ALT}}, {IDC_SITE_LIST, 0}, {deleteSitesCancelled}},
        {"An access key clicks its check box", Start::Settings, IDC_MAIN_TAB, {{'B', ALT}}, {}, {}, 0,
         [](KeyboardTest& t) { EXPECT_EQ(BST_UNCHECKED, Button_GetCheck(t.control(IDC_SETTINGS_BUBBLE))); }},
        {"Space presses the focused footer button, and Esc asks the close question", Start::Sites, IDC_MAIN_CLOSE,
         {{VK_SPACE, 0}, {VK_ESCAPE, 0}}, {}, {closeCancelled, closeCancelled}},
        {"Enter on Delete deletes, the list taking the focus from the disabled button; typing and Delete there too",
         Start::Sites, IDC_SITE_LIST_DELETE, {enter, {'B', 0}, {'E', 0}, del}, {IDC_SITE_LIST, 0, 0, IDC_SITE_LIST},
         {deleteSites, deleteSites}, 0, [](KeyboardTest& t) { EXPECT_EQ(Strings({L"Bravo"}), columnOf(t.siteList(), 1)); }},
        {"Space on Remove removes, the list taking the focus from the disabled button; Delete in it too",
         Start::Editor, IDC_SITE_EDIT_REMOVE, {{VK_SPACE, 0}, {'P', 0}, del}, {IDC_SITE_EDIT_INPUTS, 0, IDC_SITE_EDIT_INPUTS},
         {removeInputs, removeInputs}, 0, [](KeyboardTest& t) { EXPECT_EQ(Strings(), t.inputElements()); }},
        {"F1 opens help from the site list, a list page button and a footer button", Start::Sites, IDC_SITE_LIST,
         {f1, tab, f1, tab, tab, f1}, {}, {}, 3},
        {"Enter in the input list opens the selected item", Start::Editor, IDC_SITE_EDIT_INPUTS, {down, enter},
         {}, {dialogClosed}, 0, [](KeyboardTest&) { EXPECT_EQ(L"password", AppGlobals.selectedInputType); }},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.start);
        if (c.focus)
            SetFocus(control(c.focus));
        const int helpsBefore = countInLog("OnQOVIHelp Start");
        {
            ModalAnswerer answerer;
            for (const Modal& modal : c.modals)
                modal.text ? answerer.expectBox(modal.button, L"", text(modal.text))
                           : answerer.expectDialog([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
            for (size_t i = 0; i < c.keys.size(); ++i) {
                press(c.keys[i]);
                if (i < c.trail.size() && c.trail[i]) {
                    EXPECT_EQ(c.trail[i], GetDlgCtrlID(GetFocus())) << "after key " << i;
                    EXPECT_NE(L"", accessibleName(GetFocus())) << c.trail[i];
                }
            }
        }
        EXPECT_EQ(c.helps, countInLog("OnQOVIHelp Start") - helpsBefore);
        if (c.check)
            c.check(*this);
        closeEditor();
        closeMainWindow();
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
        EXPECT_EQ(c.focus == IDC_MAIN_APPLY, (SendMessageW(apply, BM_GETSTATE, 0, 0) & BST_FOCUS) != 0);
        UpdateWindow(apply);
        // The dotted line of the focus rectangle, three pixels in: inside the picture's frame.
        RECT client;
        GetClientRect(apply, &client);
        HDC dc = GetDC(apply);
        int dark = 0;
        for (int x = 3; x < client.right - 3; ++x)
            dark += GetRValue(GetPixel(dc, x, 3)) < 0x40;
        ReleaseDC(apply, dc);
        EXPECT_EQ(c.drawn, dark > 10) << c.focus << " " << c.uiState;
    }
    RemoveWindowSubclass(apply, answerUiState, 0);
}
