// The skin: images from the resources, how a button is painted, sizes that
// follow the display's DPI, the skinned buttons' mouse state machine on the
// real buttons of all three windows, and every window under a high-contrast
// theme.
#include <algorithm>
#include <map>
#include <set>
#include "QOVIPWDBankIputItemEditDlg.h"
#include "SettingsPage.h"
#include "StartUp.h"
#include "UiFixture.h"

using namespace qovitest;

namespace {

const COLORREF FILL = RGB(10, 200, 10);  // what the canvas holds where nothing was drawn

// A 32-bit top-down DIB to render into and read pixels from.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB}};
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        SelectObject(dc_, bitmap_);
        std::fill(bits_, bits_ + width * height, (GetRValue(FILL) << 16) | (GetGValue(FILL) << 8) | GetBValue(FILL));
    }
    ~Canvas() { DeleteDC(dc_), DeleteObject(bitmap_); }
    HDC dc() const { return dc_; }
    COLORREF pixel(int x, int y) const
    {
        GdiFlush();
        const DWORD value = bits_[y * width_ + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    // Bounding box of the pixels match() holds for, inset pixels from the edges.
    template <typename Match>
    RECT boxOf(Match match, int inset) const
    {
        RECT box = {width_, height_, -1, -1};
        for (int y = inset; y < height_ - inset; ++y)
            for (int x = inset; x < width_ - inset; ++x)
                if (match(pixel(x, y)))
                    box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                           std::max<LONG>(box.bottom, y + 1)};
        return box;
    }

    // The rows from first up to last, left to right.
    std::vector<COLORREF> rows(int first, int last) const
    {
        std::vector<COLORREF> pixels;
        for (int i = first * width_; i < last * width_; ++i)
            pixels.push_back(pixel(i % width_, i / width_));
        return pixels;
    }
    // The centre of what is blue, to a fraction of a pixel: each pixel weighs
    // by how much bluer than red it is, which the fill and the grey faces are not.
    double blueCentreX() const
    {
        double sum = 0, x = 0;
        for (int row = 0; row < height_; ++row)
            for (int column = 0; column < width_; ++column) {
                const double weight = std::max(0, GetBValue(pixel(column, row)) - GetRValue(pixel(column, row)));
                sum += weight, x += weight * (column + 0.5);
            }
        return x / sum;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    DWORD* bits_ = nullptr;
};

bool isDark(COLORREF c) { return GetRValue(c) < 60 && GetGValue(c) < 60 && GetBValue(c) < 60; }
bool isGrey(COLORREF c) { return GetRValue(c) > 150 && GetRValue(c) < 215 && GetRValue(c) == GetBValue(c); }
bool isBlue(COLORREF c) { return GetBValue(c) > 150 && GetRValue(c) < 120; }

}  // namespace

// --------------------------------------------------------------- images --

// A load replaces the image, also when it fails; decoded pixels stay
// readable through heap churn; the background stretches over any client
// size; an empty holder draws nothing and raises nothing.
TEST(SkinImages, LoadsReplaceTheImageAndBackgroundsStretchOverTheClientArea)
{
    SkinImage image, kept;
    kept.load(IDP_HELP_ICON, SkinImageKind::Png);
    image.load(IDI_APP_SMALL, SkinImageKind::Icon);
    EXPECT_NE(nullptr, image.image());
    for (int i = 0; i < 300; ++i)  // heap churn over the freed resource copies
        image.load(i % 2 ? IDP_BUTTON_PRESSED : IDP_SMALL_BUTTON_HOVER, SkinImageKind::Png);
    image.load(9999, SkinImageKind::Png);
    EXPECT_EQ(nullptr, image.image());
    image.load(IDP_HELP_ICON, static_cast<SkinImageKind>(7));
    EXPECT_EQ(nullptr, image.image());
    Canvas icon(20, 20);
    Gdiplus::Graphics(icon.dc()).DrawImage(kept.image(), 0, 0, 20, 20);
    EXPECT_TRUE(isBlue(icon.pixel(4, 10)));
    EXPECT_EQ(FILL, icon.pixel(0, 0));  // the icon's transparent corner
    drawSkinBackground(GetDesktopWindow(), icon.dc(), image);
    EXPECT_EQ(FILL, icon.pixel(0, 0));

    image.load(IDP_MAIN_BACKGROUND, SkinImageKind::Png);
    for (SIZE size : {SIZE{1030, 838}, SIZE{258, 210}}) {
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, size.cx, size.cy, nullptr, nullptr,
                                      nullptr, nullptr);
        Canvas canvas(size.cx, size.cy);
        drawSkinBackground(window, canvas.dc(), image);
        // The header band near the top, the white body and the footer band near the bottom, all scaled.
        EXPECT_EQ(RGB(233, 234, 227), canvas.pixel(size.cx / 2, size.cy * 50 / 419));
        EXPECT_EQ(RGB(255, 255, 255), canvas.pixel(size.cx / 2, size.cy * 250 / 419));
        EXPECT_EQ(RGB(233, 234, 227), canvas.pixel(size.cx / 2, size.cy * 387 / 419));
        DestroyWindow(window);
    }
}

// ------------------------------------------------- painting and scaling --

using SkinButtonTest = UiFixture;

namespace {

// Height of the ink a font leaves for text.
int inkHeight(HFONT font, const std::wstring& text)
{
    Canvas canvas(600, 120);
    SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), TRANSPARENT);
    TextOutW(canvas.dc(), 4, 4, text.c_str(), static_cast<int>(text.size()));
    const RECT ink = canvas.boxOf(isDark, 0);
    return ink.bottom - ink.top;
}

}  // namespace

// Sizes follow the display: the title fonts take the smaller DPI and grow in
// step with it, bold, both windows' titles within their band; the edit
// dialog's columns grow with the scale and fit the list at 96 DPI. The real
// buttons of the three windows draw, in each look, a picture of their own
// (the footer's text buttons' one reaching below the client area, further
// at a higher DPI), and a label centred that grows with the DPI (grey when
// unavailable), or the help icon centred inside the frame, growing likewise.
TEST_F(SkinButtonTest, SizesFollowTheDisplayAndButtonsDrawImageLabelOrIcon)
{
    for (int dpi : {96, 120, 144, 192}) {
        EXPECT_EQ(titleFontHeightFor(dpi, dpi), titleFontHeightFor(dpi + 48, dpi)) << dpi;
        EXPECT_EQ(titleFontHeightFor(dpi, dpi), titleFontHeightFor(dpi, dpi + 24)) << dpi;
        EXPECT_NEAR(titleFontHeightFor(96, 96) * dpi / 96.0, titleFontHeightFor(dpi, dpi), 0.99) << dpi;
    }
    store({site(L"mail")});
    const int savedHeight = AppGlobals.titleFontHeight;
    std::map<std::string, int> measured;  // at 96 DPI; then the 144 DPI ones must be half as large again
    for (float scale : {1.0f, 1.5f}) {  // the windows stay open for the buttons
        closeEditor();
        closeMainWindow();
        AppGlobals.titleFontHeight = titleFontHeightFor(int(96 * scale), int(96 * scale));
        openMainWindow(1);
        AppGlobals.dpiScale = scale;  // as the display would give it
        openEditorOn(0);
        for (HWND title : {GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_TITLE), GetDlgItem(editor, IDC_SITE_EDIT_TITLE)}) {
            const HFONT font = reinterpret_cast<HFONT>(SendMessageW(title, WM_GETFONT, 0, 0));
            LOGFONTW made = {};
            GetObjectW(font, sizeof made, &made);
            EXPECT_GE(made.lfWeight, FW_BOLD);
            RECT band;
            GetClientRect(title, &band);
            const int ink = inkHeight(font, windowText(title) + L"gjpqy");
            EXPECT_LE(ink, band.bottom * scale) << "the title fits its band";
            EXPECT_GT(ink, band.bottom * scale / 2) << "the title fills its band";
            const int at96 = measured.emplace("title", ink).first->second;
            EXPECT_NEAR(ink, at96 * scale, 2);
        }
        for (int column : {0, 2}) {
            const int width = ListView_GetColumnWidth(inputList(), column);
            EXPECT_NEAR(measured.emplace("column" + std::to_string(column), width).first->second * scale, width, 1);
        }
        RECT list;
        GetClientRect(inputList(), &list);
        EXPECT_LE((ListView_GetColumnWidth(inputList(), 0) + ListView_GetColumnWidth(inputList(), 2)) / scale,
                  list.right) << "no row wider than the list at 96 DPI";
    }
    AppGlobals.titleFontHeight = savedHeight;
    enum Label { NONE, BLACK, GREY, NO_IMAGE };  // NO_IMAGE: black, the normal image missing
    const HWND footer = AppGlobals.hMainDialog, list = AppGlobals.hSiteListPage;
    const struct {
        const char* what; HWND window; int id; float scale; int width, height, available; Label label;
    } cases[] = {
        {"footer text, 96 dpi", footer, IDC_MAIN_APPLY, 1.0f, 67, 21, 1, BLACK},
        {"footer text, 144 dpi", footer, IDC_MAIN_APPLY, 1.5f, 100, 32, 1, BLACK},
        {"list button", list, IDC_SITE_LIST_OPEN, 1.0f, 64, 25, 1, BLACK},
        {"list button unavailable", list, IDC_SITE_LIST_DELETE, 1.0f, 64, 25, 0, GREY},
        {"edit dialog text", editor, IDC_SITE_EDIT_SAVE, 1.0f, 67, 21, 1, BLACK},
        {"edit dialog list button unavailable", editor, IDC_SITE_EDIT_REMOVE, 1.0f, 64, 25, 0, GREY},
        {"missing image", editor, IDC_SITE_EDIT_CLOSE, 1.0f, 80, 24, 1, NO_IMAGE},
        {"footer help, 96 dpi", footer, IDC_MAIN_HELP, 1.0f, 30, 22, 1, NONE},
        {"footer help, 144 dpi", footer, IDC_MAIN_HELP, 1.5f, 45, 33, 1, NONE},
        {"edit dialog help, 96 dpi", editor, IDC_SITE_EDIT_HELP, 1.0f, 30, 22, 1, NONE},
    };
    // GetWindowSubclass, which comctl32 exports by ordinal only.
    const auto getWindowSubclass = reinterpret_cast<BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"comctl32.dll"), MAKEINTRESOURCEA(411))));
    std::map<std::string, double> size, below, iconX;  // label height or icon side; rows below; icon centre
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AppGlobals.dpiScale = c.scale;
        DWORD_PTR reference = 0;
        int index = 0;
        while (index < SKIN_MAX_BUTTONS && !getWindowSubclass(GetDlgItem(c.window, c.id), SkinButtonProc, index, &reference))
            ++index;
        ASSERT_NE(0u, reference) << "the button is skinned";
        const SkinButtonSet& set = *reinterpret_cast<const SkinButtonSet*>(reference);
        SkinButtonGroup& group = *set.group();
        SkinButtonSlot slot = set.slots[index];
        slot.normalImage = c.label == NO_IMAGE ? 9999 : slot.normalImage;
        group.available[index] = c.available;
        // Each look draws its own picture, edge to edge.
        std::set<std::vector<COLORREF>> looks;
        for (SkinButtonLook look : {SkinButtonLook{0, 1, 0}, SkinButtonLook{0, 0, 1}, SkinButtonLook()}) {
            group.looks[index] = look;
            Canvas face(c.width, c.height);
            renderSkinButton(face.dc(), c.width, c.height, slot, group, index);
            looks.insert(face.rows(c.height / 2, c.height / 2 + 1));
        }
        EXPECT_EQ(3u, looks.size());
        Canvas canvas(c.width, c.height + 6);
        renderSkinButton(canvas.dc(), c.width, c.height, slot, group, index);
        EXPECT_EQ(c.label != NO_IMAGE, canvas.pixel(0, c.height / 2) != FILL) << "the image's border";
        below[c.what] = canvas.boxOf([](COLORREF p) { return p != FILL; }, 0).bottom - c.height;
        const RECT dark = canvas.boxOf(isDark, 3);
        EXPECT_EQ(c.label == BLACK || c.label == NO_IMAGE, dark.left < dark.right);
        if (c.label == GREY) {
            EXPECT_GT(canvas.boxOf(isGrey, 3).right, 0);
        } else if (c.label != NONE) {
            EXPECT_NEAR(c.width / 2.0, (dark.left + dark.right) / 2.0, 2.5);
            EXPECT_NEAR(c.height / 2.0, (dark.top + dark.bottom) / 2.0, 3.0);
            size[c.what] = dark.bottom - dark.top;
        } else {
            const RECT icon = canvas.boxOf(isBlue, 1);  // inside the picture's frame
            EXPECT_NEAR(c.width / 2.0, (icon.left + icon.right) / 2.0, 0.5);
            EXPECT_NEAR(c.height / 2.0, (icon.top + icon.bottom) / 2.0, 0.5);
            EXPECT_NEAR(icon.right - icon.left, icon.bottom - icon.top, 1) << "square";
            EXPECT_TRUE(icon.left > 1 && icon.right < c.width - 1 && icon.top > 1 && icon.bottom < c.height - 1);
            size[c.what] = icon.right - icon.left;
            iconX[c.what] = canvas.blueCentreX();
        }
    }
    EXPECT_NEAR(1.5, size["footer text, 144 dpi"] / size["footer text, 96 dpi"], 0.25) << "the label grows";
    EXPECT_NEAR(1.5, size["footer help, 144 dpi"] / size["footer help, 96 dpi"], 0.1) << "the icon grows";
    EXPECT_GT(below["footer text, 144 dpi"], below["footer text, 96 dpi"]);
    EXPECT_GT(below["footer text, 96 dpi"], below["edit dialog text"]);
    EXPECT_LT(iconX["footer help, 96 dpi"], iconX["edit dialog help, 96 dpi"]) << "the footer's icon sits left of the other's";
    AppGlobals.dpiScale = 1.0f;
}

// ------------------------------------------------- the mouse state machine --

namespace {

const int ON = 5, ON2 = 6, OFF = 2000;  // x of points on and far right of any button

std::string look(const SkinButtonLook& l)
{
    return l.normal + l.hover + l.pressed != 1 ? "inconsistent" : l.normal ? "normal" : l.hover ? "hover" : "pressed";
}

// Sends one mouse message and tells whether it left the button to repaint.
bool repaintedBy(HWND button, UINT message, int x)
{
    ValidateRect(button, nullptr);
    sendMouse(button, message, x, 5, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0);
    return GetUpdateRect(button, nullptr, FALSE) != FALSE;
}

}  // namespace

// One sequence of mouse messages on a button of each set, releases outside
// (no click) until the last; each set repaints by its rule: at the
// transitions (main window, edit dialog, whose disabled buttons follow the
// mouse as well) or after every move (list page, whose disabled buttons
// ignore the mouse and show the arrow). The final click inside runs the
// owner's action, which asks its question.
TEST_F(SkinButtonTest, LooksRepaintsAndClicksFollowEachSetsRules)
{
    store({site(L"mail"), site(L"shop")});
    openMainWindow(1);
    openEditorOn(0);
    selectRows(siteList(), {0, 1});  // list page: Open disabled, Delete enabled
    selectRows(inputList(), {0, 1});  // edit dialog: likewise
    enum Rule { TRANSITIONS, EVERY_MOVE, IGNORED };
    const struct { UINT message; int x; const char* look; bool atTransitions, everyMove; } steps[] = {
        {WM_MOUSEMOVE, ON, "hover", true, true},
        {WM_MOUSEMOVE, ON2, "hover", false, true},
        {WM_LBUTTONDOWN, ON, "pressed", true, true},
        {WM_LBUTTONUP, OFF, "pressed", false, false},   // the release changes no look
        {WM_MOUSEMOVE, ON, "hover", true, true},        // the first move after a press repaints
        {WM_LBUTTONDOWN, ON, "pressed", true, true},
        {WM_MOUSEMOVE, ON, "pressed", true, true},
        {WM_MOUSEMOVE, ON2, "pressed", false, true},
        {WM_MOUSEMOVE, OFF, "normal", true, true},      // dragged out
        {WM_MOUSEMOVE, OFF + 1, "normal", false, true},
        {WM_MOUSEMOVE, ON, "pressed", true, true},      // and back
        {WM_MOUSEMOVE, OFF, "normal", true, true},
        {WM_LBUTTONUP, OFF, "normal", false, false},
        {WM_MOUSEMOVE, ON, "hover", false, true},       // inside was painted since the press: still drawn pressed
        {WM_MOUSELEAVE, 0, "normal", true, true},
    };
    const struct { const char* name; HWND button; SkinButtonGroup& group; int slot; Rule rule; UINT question; } sets[] = {
        {"main window", GetDlgItem(AppGlobals.hMainDialog, IDC_MAIN_CLOSE), AppGlobals.mainState->buttons, 1,
         TRANSITIONS, IDS_CONFIRM_CLOSE},
        {"list page", GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_DELETE), listState().buttons, 1, EVERY_MOVE,
         IDS_CONFIRM_DELETE_SITES},
        {"edit dialog, disabled", GetDlgItem(editor, IDC_SITE_EDIT_OPEN), editState().buttons, 2, TRANSITIONS, 0},
        {"list page, disabled", GetDlgItem(AppGlobals.hSiteListPage, IDC_SITE_LIST_OPEN), listState().buttons, 0,
         IGNORED, 0},
    };
    for (const auto& set : sets) {
        {
            ModalAnswerer answerer;  // no click: no box may come
            for (const auto& step : steps) {
                SCOPED_TRACE(testing::Message() << set.name << ": message " << step.message << " at " << step.x);
                const bool repaint = set.rule == TRANSITIONS ? step.atTransitions : set.rule == EVERY_MOVE && step.everyMove;
                EXPECT_EQ(repaint, repaintedBy(set.button, step.message, step.x));
                EXPECT_EQ(set.rule == IGNORED ? "normal" : step.look, look(set.group.looks[set.slot]));
                EXPECT_EQ("normal", look(set.group.looks[set.slot ? 0 : 1])) << "another button's look";
            }
            EXPECT_EQ(0, set.group.looks[set.slot].tracking);
            SetCursor(nullptr);
            SendMessageW(set.button, WM_SETCURSOR, reinterpret_cast<WPARAM>(set.button), HTCLIENT);
            EXPECT_EQ(LoadCursorW(nullptr, set.rule == IGNORED ? IDC_ARROW : IDC_HAND), GetCursor());
        }
        ModalAnswerer answerer;
        if (set.question)
            answerer.expectBox(IDCANCEL, text(IDS_CAPTION_INFO), text(set.question));
        sendMouse(set.button, WM_LBUTTONDOWN, ON, 5, MK_LBUTTON);
        EXPECT_EQ(set.rule == IGNORED ? nullptr : set.button, GetCapture());
        sendMouse(set.button, WM_LBUTTONUP, ON, 5);
        EXPECT_EQ(nullptr, GetCapture());
        sendMouse(set.button, WM_MOUSELEAVE, 0, 0);
    }
}

// -------------------------------------------------------- high contrast --

namespace {

// A high-contrast scheme as Windows' own themes give it: every system colour
// is the background or the text colour, but for the highlight, its text and
// the grey text.
struct Scheme { const char* name; COLORREF colours[5]; };  // background, text, highlight, its text, grey text
const Scheme schemes[] = {
    {"black on white", {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0x37, 0, 0x6E), RGB(255, 255, 255), RGB(0x60, 0, 0)}},
    {"white on black", {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0x1A, 0xEB, 0xFF), RGB(0, 0, 0), RGB(0x3F, 0xF2, 0x3F)}},
};
enum { BACKGROUND, TEXT, GREY = 4 };
// The role of each system colour from COLOR_SCROLLBAR to COLOR_MENUBAR, as
// the index of the scheme's colour.
const char ROLES[] = "0000001111110230141111110120020";
const int SYSTEM_COLOURS = sizeof ROLES - 1;

// Sets a scheme's colours at once, as a theme switch does, and puts the
// colours it found back when it goes.
struct SchemeColours {
    int indexes[SYSTEM_COLOURS];
    COLORREF saved[SYSTEM_COLOURS], colours[SYSTEM_COLOURS];
    explicit SchemeColours(const Scheme& s)
    {
        for (int i = 0; i < SYSTEM_COLOURS; ++i)
            indexes[i] = i, saved[i] = GetSysColor(i), colours[i] = s.colours[ROLES[i] - '0'];
        SetSysColors(SYSTEM_COLOURS, indexes, colours);
    }
    ~SchemeColours() { SetSysColors(SYSTEM_COLOURS, indexes, saved); }
    // One of the scheme's colours, or its black and white mixed, as at the
    // edges of smoothed text.
    bool gives(COLORREF c) const
    {
        const bool grey = std::abs(GetRValue(c) - GetGValue(c)) <= 2 && std::abs(GetGValue(c) - GetBValue(c)) <= 2;
        return grey || std::find(colours, colours + SYSTEM_COLOURS, c) != colours + SYSTEM_COLOURS;
    }
};

}  // namespace

using HighContrastTest = UiFixture;

// Under a high-contrast theme, black on white and white on black, the parts
// of every window are drawn mostly in the theme's background, with their
// text, frame or outline in its text colour (grey for an unavailable button)
// and nothing in a colour the theme did not give, but for pictures. The
// switch reaches the windows already open, list views too, through the main
// window alone; switched off, they show the skin again, pixel for pixel.
// The brushes for the controls' backgrounds follow too, none left behind.
TEST_F(HighContrastTest, EveryWindowDrawsInTheThemesColoursAndFollowsEachSwitchAtOnce)
{
    store({site(L"mail"), site(L"shop")});
    openMainWindow(1);
    openEditorOn(0);
    HWND input = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_INPUT_ITEM_EDIT), editor, InputItemEditProc, 0);
    ShowWindow(input, SW_SHOWNA);
    selectRows(inputList(), {0, 1});  // Open unavailable
    const HWND main = AppGlobals.hMainDialog, sites = AppGlobals.hSiteListPage, page = AppGlobals.hSettingsPage;
    // The windows open when the theme switches first, then the other page.
    const struct { HWND window; int tab; } views[] = {{main, 1}, {editor, -1}, {input, -1}, {main, 0}};
    // Each part (0: the whole window): some pixels in its ink, at most a
    // share in colours the scheme does not give, and more than half of the
    // rest in the background. Only pictures take colours of their own (the
    // help icon, the rows' icons), and, in the input item dialog, the default
    // button's frame, which Wine's buttons draw blue whatever the colours
    // (Windows draws them in the theme's colours).
    const double ONLY = 0, WINDOW = 0.01, ICONS = 0.02, HELP = 0.5;
    const struct { int view; HWND parent; int id; double foreign; int ink = TEXT; } parts[] = {
        {0, main, 0, WINDOW}, {0, main, IDC_MAIN_TITLE, ONLY}, {0, main, IDC_MAIN_APPLY, ONLY},
        {0, main, IDC_MAIN_HELP, HELP}, {0, sites, IDC_SITE_LIST_LABEL, ONLY}, {0, sites, IDC_SITE_LIST, ICONS},
        {0, sites, IDC_SITE_LIST_OPEN, ONLY}, {1, editor, 0, WINDOW}, {1, editor, IDC_SITE_EDIT_TITLE, ONLY},
        {1, editor, IDC_SITE_EDIT_NAME_LABEL, ONLY}, {1, editor, IDC_SITE_EDIT_INPUTS, ONLY},
        {1, editor, IDC_SITE_EDIT_OPEN, ONLY, GREY}, {1, editor, IDC_SITE_EDIT_HELP, HELP}, {2, input, 0, WINDOW},
        {2, input, IDC_INPUT_EDIT_VALUE, ONLY}, {3, main, 0, WINDOW}, {3, page, IDC_SETTINGS_PWDBANK, ONLY},
        {3, page, IDC_SETTINGS_DESCRIPTION, ONLY}, {1, editor, IDC_SITE_EDIT_NAME, ONLY},
    };
    // A view as it shows now, children and all, row by row.
    RECT client[4];
    auto show = [&](int view) {
        if (views[view].tab >= 0)
            SendDlgItemMessageW(main, IDC_MAIN_TAB, TCM_SETCURFOCUS, views[view].tab, 0);
        pumpMessages();
        const RECT& r = client[view];
        GetClientRect(views[view].window, &client[view]);
        Canvas canvas(r.right, r.bottom);
        HDC dc = GetDC(views[view].window);
        BitBlt(canvas.dc(), 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
        ReleaseDC(views[view].window, dc);
        return canvas.rows(0, r.bottom);
    };
    // However often the controls repaint, each window holds one brush for
    // them, in the colour they lie on; all go with the window. The skin's
    // colours: the header band, RGB(233, 234, 227), and white.
    const struct { HBRUSH* brush; COLORREF skin; } brushes[] = {
        {&AppGlobals.mainState->titleBrush, 0xE3EAE9}, {&AppGlobals.settingsPageState->backgroundBrush, 0xFFFFFF},
        {&editState().captionBrush, 0xE3EAE9}};
    std::set<HGDIOBJ> made = {AppGlobals.mainState->titleFont, editState().captionFont};
    auto checkBrushes = [&](const Scheme* scheme) {
        for (const auto& b : brushes) {
            LOGBRUSH colour = {0, CLR_INVALID};  // as it stays when the brush is gone
            GetObject(*b.brush, sizeof colour, &colour);
            EXPECT_EQ(scheme ? scheme->colours[BACKGROUND] : b.skin, colour.lbColor);
            made.insert(*b.brush);
        }
    };
    // The skin as a full repaint draws it: the small buttons' translucent
    // corners darken with every repaint over themselves.
    for (HWND window : {main, editor, input})
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    const std::vector<COLORREF> skin[] = {show(0), show(1), show(2), show(3)};
    for (const Scheme& scheme : schemes) {
        show(0);
        {
            SchemeColours colours(scheme);
            // Wine cannot switch Windows' high contrast (SPI_SETHIGHCONTRAST
            // fails, the query says off): the skin is given the answer, and
            // the main window hears of the switch as Windows tells it.
            overrideHighContrast(HighContrastAnswer::On);
            SendMessageW(main, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
            const std::vector<COLORREF> shots[] = {show(0), show(1), show(2), show(3)};
            for (const auto& part : parts) {
                SCOPED_TRACE(testing::Message() << scheme.name << ", view " << part.view << ", control " << part.id);
                RECT area = client[part.view];
                if (part.id && GetWindowRect(GetDlgItem(part.parent, part.id), &area))
                    MapWindowPoints(HWND_DESKTOP, views[part.view].window, reinterpret_cast<POINT*>(&area), 2);
                int background = 0, inked = 0, foreign = 0, all = 0;
                for (int y = area.top; y < area.bottom; ++y)
                    for (int x = area.left; x < area.right; ++x, ++all) {
                        const COLORREF c = shots[part.view][y * client[part.view].right + x];
                        background += c == scheme.colours[BACKGROUND], inked += c == scheme.colours[part.ink],
                            foreign += !colours.gives(c);
                    }
                EXPECT_GT(background, all * (1 - part.foreign) / 2);
                EXPECT_GE(inked, 8);
                EXPECT_LE(foreign, all * part.foreign);
            }
            checkBrushes(&scheme);
        }
        overrideHighContrast(HighContrastAnswer::Off);
        SendMessageW(main, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        for (int view = 0; view < 4; ++view)
            EXPECT_TRUE(show(view) == skin[view]) << scheme.name << ", view " << view << " back in the skin";
        checkBrushes(nullptr);
    }
    overrideHighContrast(HighContrastAnswer::AskWindows);
    closeEditor();
    closeMainWindow();
    for (HGDIOBJ object : made)
        EXPECT_EQ(0u, GetObjectType(object));
}
