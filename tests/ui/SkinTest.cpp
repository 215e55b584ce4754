// Skin images, scaling, and the skinned buttons' state machine and painting,
// on the real footer buttons of the real main dialog.
#include <windows.h>
#include <gtest/gtest.h>
#include <cmath>
#include "FPGlobal.h"
#include "Skin.h"
#include "StartUp.h"
#include "UiFixture.h"
#include "resource.h"

using namespace qovitest;

namespace {

// A 32-bit top-down DIB to render into and read pixels from.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(10, 200, 10)) : width_(width), height_(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF pixel(int x, int y) const
    {
        GdiFlush();
        DWORD value = bits_[y * width_ + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    // Bounding box of the pixels for which match() holds, at least inset
    // pixels from the edges; empty when none.
    RECT boxOf(bool (*match)(COLORREF), int inset = 0) const
    {
        RECT box = {width_, height_, -1, -1};
        for (int y = inset; y < height_ - inset; ++y)
            for (int x = inset; x < width_ - inset; ++x)
                if (match(pixel(x, y))) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    DWORD* bits_ = nullptr;
};

bool isDark(COLORREF c) { return GetRValue(c) < 90 && GetGValue(c) < 90 && GetBValue(c) < 90; }
bool isLabelGrey(COLORREF c)
{
    return GetRValue(c) < 215 && GetRValue(c) > 150 && std::abs(GetRValue(c) - GetBValue(c)) < 12;
}
bool isBlue(COLORREF c) { return GetBValue(c) > 150 && GetRValue(c) < 120; }

const SkinButtonSlot textSlot = {IDC_MAIN_APPLY, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED,
                                 IDS_BUTTON_APPLY, 1, true, 0.0f, false};
const SkinButtonSlot helpSlot = {IDC_MAIN_HELP, IDP_BUTTON_NORMAL, IDP_BUTTON_HOVER, IDP_BUTTON_PRESSED,
                                 0, 1, false, -0.5f, false};
const SkinButtonSlot listSlot = {IDC_SITE_LIST_DELETE, IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER,
                                 IDP_SMALL_BUTTON_PRESSED, IDS_BUTTON_DELETE, 0, false, 0.0f, true};

class DpiScale {
public:
    explicit DpiScale(float scale) : saved_(AppGlobals.dpiScale) { AppGlobals.dpiScale = scale; }
    ~DpiScale() { AppGlobals.dpiScale = saved_; }

private:
    float saved_;
};

}  // namespace

// ----------------------------------------------------------- images --

TEST(SkinImages, LoadKindsAndFailuresLeaveTheHolderAsExpected)
{
    SkinImage image;
    image.load(IDP_MAIN_BACKGROUND, SkinImageKind::Png);
    ASSERT_NE(nullptr, image.image());
    EXPECT_EQ(515u, image.image()->GetWidth());

    image.load(9999, SkinImageKind::Png);  // no such resource: the old image is gone too
    EXPECT_EQ(nullptr, image.image());
    image.load(IDP_HELP_ICON, static_cast<SkinImageKind>(7));
    EXPECT_EQ(nullptr, image.image());
    image.load(IDI_APP_SMALL, SkinImageKind::Icon);
    EXPECT_NE(nullptr, image.image());
    image.release();
    EXPECT_EQ(nullptr, image.image());

    Canvas canvas(40, 40);  // drawing an empty holder draws nothing and raises nothing
    drawSkinBackground(GetDesktopWindow(), canvas.dc(), image);
    EXPECT_EQ(RGB(10, 200, 10), canvas.pixel(20, 20));
}

TEST(SkinImages, ImagesStayUsableAcrossManyLoadsAndReleases)
{
    SkinImage kept;
    kept.load(IDP_HELP_ICON, SkinImageKind::Png);
    for (int i = 0; i < 500; ++i) {
        SkinImage image;
        image.load(i % 2 ? IDP_BUTTON_PRESSED : IDP_SMALL_BUTTON_HOVER, SkinImageKind::Png);
        ASSERT_NE(nullptr, image.image());
        image.load(IDP_BUTTON_NORMAL, SkinImageKind::Png);
    }
    // The decoded pixels are the image's own: the resource copy is long freed.
    Canvas canvas(20, 20, RGB(255, 255, 255));
    Gdiplus::Graphics graphics(canvas.dc());
    ASSERT_EQ(Gdiplus::Ok, graphics.DrawImage(kept.image(), 0, 0, 20, 20));
    EXPECT_TRUE(isBlue(canvas.pixel(4, 10)));
    EXPECT_EQ(RGB(255, 255, 255), canvas.pixel(0, 0));  // transparent corner
}

TEST(SkinImages, BackgroundStretchesOverAnyClientSize)
{
    SkinImage background;
    background.load(IDP_MAIN_BACKGROUND, SkinImageKind::Png);
    for (SIZE size : {SIZE{515, 419}, SIZE{1030, 838}, SIZE{258, 210}}) {
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, size.cx, size.cy, nullptr, nullptr,
                                      nullptr, nullptr);
        RECT client;
        GetClientRect(window, &client);
        Canvas canvas(client.right, client.bottom);
        drawSkinBackground(window, canvas.dc(), background);
        // Header band near the top and the footer band near the bottom, both scaled.
        EXPECT_EQ(RGB(233, 234, 227), canvas.pixel(client.right / 2, client.bottom * 50 / 419));
        EXPECT_EQ(RGB(233, 234, 227), canvas.pixel(client.right / 2, client.bottom * 387 / 419));
        EXPECT_EQ(RGB(255, 255, 255), canvas.pixel(client.right / 2, client.bottom * 250 / 419));
        DestroyWindow(window);
    }
}

// ---------------------------------------------------------- scaling --

TEST(SkinScaling, SizesFollowTheDpiScale)
{
    const struct { float scale, em, icon; int extra; } cases[] = {
        {1.0f, 13.5f, 16.0f, 1}, {1.25f, 16.75f, 20.0f, 1}, {1.5f, 20.0f, 24.0f, 2}, {2.0f, 26.5f, 32.0f, 2},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(c.em, skinLabelEmSize(c.scale));
        EXPECT_FLOAT_EQ(c.icon, skinHelpIconSide(c.scale));
        EXPECT_EQ(c.extra, skinFooterExtraHeight(c.scale));
    }
}

TEST(SkinScaling, DisplayValuesMatchThePrefixDpi)
{
    HDC screen = GetDC(nullptr);
    int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    wchar_t expected[16] = {};
    if (GetEnvironmentVariableW(L"QOVI_EXPECTED_DPI", expected, 16)) {
        EXPECT_EQ(_wtoi(expected), dpiX);
    }
    EXPECT_FLOAT_EQ(dpiX / 96.0f, displayDpiScale());
    LANGID language = 0;
    selectUILanguage(&language);
    EXPECT_EQ(GetUserDefaultUILanguage(), language);
    EXPECT_EQ(static_cast<int>(std::min(dpiX, dpiY) / 96.0 * 24.0), AppGlobals.titleFontHeight);
}

// --------------------------------------------------------- painting --

TEST(SkinPainting, TextButtonsDrawImageAndCentredLabel)
{
    for (float scale : {1.0f, 1.5f}) {
        DpiScale dpi(scale);
        SkinButtonGroup group;
        Canvas canvas(80, 24);
        renderSkinButton(canvas.dc(), 80, 24, textSlot, group, 0);
        EXPECT_EQ(RGB(10, 200, 10), canvas.pixel(40, 0)) << "row 0 stays: the image starts one pixel down";
        EXPECT_EQ(RGB(68, 68, 68), canvas.pixel(0, 12)) << "the image's border";
        RECT label = canvas.boxOf(isDark, 3);  // inside the image's border
        ASSERT_LT(label.left, label.right) << "no label drawn";
        EXPECT_NEAR(40, (label.left + label.right) / 2.0, 2.5);
        EXPECT_NEAR(12, (label.top + label.bottom) / 2.0, 3.0);
    }
}

TEST(SkinPainting, ListButtonLabelIsGreyWhileUnavailable)
{
    SkinButtonGroup group;
    for (int available : {1, 0}) {
        group.available[0] = available;
        Canvas canvas(64, 25);
        renderSkinButton(canvas.dc(), 64, 25, listSlot, group, 0);
        RECT dark = canvas.boxOf([](COLORREF c) { return GetRValue(c) < 60 && GetGValue(c) < 60; }, 3);
        RECT grey = canvas.boxOf(isLabelGrey, 3);
        if (available) {
            EXPECT_LT(dark.left, dark.right);
        } else {
            EXPECT_GE(dark.left, dark.right) << "no black label while unavailable";
            EXPECT_LT(grey.left, grey.right);
        }
    }
}

TEST(SkinPainting, HelpIconSizeAndPlaceFollowTheDpi)
{
    SkinButtonGroup group;
    group.helpIcon.load(IDP_HELP_ICON, SkinImageKind::Png);
    const struct { float scale; int width, height; } cases[] = {{1.0f, 30, 22}, {1.25f, 38, 28}, {1.5f, 45, 33}};
    for (const auto& c : cases) {
        DpiScale dpi(c.scale);
        Canvas canvas(c.width, c.height);
        renderSkinButton(canvas.dc(), c.width, c.height, helpSlot, group, 0);
        RECT blue = canvas.boxOf(isBlue);
        float side = 16.0f * c.scale;
        float x = (c.width - side - 0.5f) / 2, y = (c.height - side + 0.5f) / 2;
        EXPECT_NEAR(x, blue.left, 1.5) << c.scale;
        EXPECT_NEAR(y, blue.top, 1.5) << c.scale;
        EXPECT_NEAR(side, blue.right - blue.left, 2.0) << c.scale;
        EXPECT_NEAR(side, blue.bottom - blue.top, 2.0) << c.scale;
    }
}

TEST(SkinPainting, MissingImageDrawsOnlyTheLabel)
{
    SkinButtonSlot missing = textSlot;
    missing.normalImage = 9999;
    SkinButtonGroup group;
    Canvas canvas(80, 24);
    renderSkinButton(canvas.dc(), 80, 24, missing, group, 0);
    EXPECT_EQ(RGB(10, 200, 10), canvas.pixel(0, 12));
    RECT label = canvas.boxOf(isDark, 3);
    EXPECT_LT(label.left, label.right);
}

TEST(SkinPainting, FooterImageIsTallerAtHighDpi)
{
    // The footer text images reach trunc(dpiScale + 0.5) pixels below the button.
    for (const auto& c : {std::make_pair(1.0f, 1), std::make_pair(1.5f, 2)}) {
        const float scale = c.first;
        const int extra = c.second;
        DpiScale dpi(scale);
        SkinButtonGroup group;
        Canvas canvas(67, 40);
        renderSkinButton(canvas.dc(), 67, 21, textSlot, group, 0);
        EXPECT_NE(RGB(10, 200, 10), canvas.pixel(33, 21 + extra)) << scale;  // the image's bottom row
        EXPECT_EQ(RGB(10, 200, 10), canvas.pixel(33, 23 + extra)) << scale;
    }
}

// Wine takes the display DPI from the registry when a process starts, so the
// DPI-dependent cases run again in child processes at 120 and 144 DPI.
TEST(SkinScaling, TheDisplayDependentCasesHoldAt120And144Dpi)
{
    if (GetEnvironmentVariableW(L"QOVI_EXPECTED_DPI", nullptr, 0))
        GTEST_SKIP() << "already the child run";
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    for (DWORD dpi : {120u, 144u}) {
        HKEY desktop = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                                                 KEY_WRITE, nullptr, &desktop, nullptr));
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
        ScopedEnvironment expected(L"QOVI_EXPECTED_DPI", std::to_wstring(dpi));
        std::string output;
        long result = runProcess(exe, L"--gtest_filter=SkinScaling.DisplayValues*:MainWindowDpi.*", &output, 60000);
        RegDeleteValueW(desktop, L"LogPixels");
        RegCloseKey(desktop);
        EXPECT_EQ(0, result) << dpi << " dpi:\n" << output;
    }
}

TEST(MainWindowDpi, ScaleAndTitleFollowTheDisplay)
{
    wchar_t expected[16] = {};
    if (!GetEnvironmentVariableW(L"QOVI_EXPECTED_DPI", expected, 16))
        GTEST_SKIP() << "runs in the child processes at 120 and 144 dpi";
    const int dpi = _wtoi(expected);
    TempFolder data;
    ScopedEnvironment dataDir(L"QOVI_DATA_DIR", data.path());
    LANGID language = 0;
    selectUILanguage(&language);
    {
        MainWindowState startState(false);
        ASSERT_TRUE(startState.createMainWindow(AppGlobals.hInstance));
        EXPECT_FLOAT_EQ(dpi / 96.0f, AppGlobals.dpiScale);
        EXPECT_EQ(dpi * 24 / 96, AppGlobals.titleFontHeight);
        LOGFONTW title = {};
        GetObjectW(AppGlobals.mainState->titleFont, sizeof title, &title);
        EXPECT_EQ(dpi * 24 / 96, title.lfHeight);
        EXPECT_EQ(FW_BOLD, title.lfWeight);
        DestroyWindow(AppGlobals.hMainDialog);
        pumpMessages();
    }
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    QOVIUserInfoManager::releaseUsers();
}
