// The program's resources as the code finds them: skin pictures, icons,
// dialog templates and strings, loaded from this executable, which links
// the real resource script.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "AppGlobals.h"
#include "TestSupport.h"
#include "resource.h"

using namespace qovitest;

namespace {

const WORD ENGLISH_US = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::string resourceBytes(int id, const wchar_t* type, WORD language)
{
    HRSRC info = FindResourceExW(AppGlobals.hInstance, type, MAKEINTRESOURCEW(id), language);
    if (!info)
        return {};
    HGLOBAL loaded = LoadResource(AppGlobals.hInstance, info);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(AppGlobals.hInstance, info)) : std::string();
}

std::string pngBytes(int id) { return resourceBytes(id, L"PNG", ENGLISH_US); }

// Decodes a copy of the bytes as the skin does: a stream on global memory.
std::unique_ptr<Gdiplus::Bitmap> decodePng(const std::string& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!block)
        return nullptr;
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
        GlobalFree(block);
        return nullptr;
    }
    // Clone decodes into memory of the bitmap's own, so the stream can go.
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream));
    std::unique_ptr<Gdiplus::Bitmap> copy;
    if (decoded && decoded->GetLastStatus() == Gdiplus::Ok)
        copy.reset(decoded->Clone(0, 0, decoded->GetWidth(), decoded->GetHeight(), PixelFormat32bppARGB));
    decoded.reset();
    stream->Release();
    return copy;
}

struct Rgba { int r, g, b, a; };

Rgba pixel(Gdiplus::Bitmap& bitmap, int x, int y)
{
    Gdiplus::Color c;
    bitmap.GetPixel(x, y, &c);
    return {c.GetR(), c.GetG(), c.GetB(), c.GetA()};
}

std::wstring className(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring loadString(int id)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(AppGlobals.hInstance, id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

RECT childRect(HWND parent, int id)
{
    RECT r = {};
    HWND child = GetDlgItem(parent, id);
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

// ------------------------------------------------------------ skin images --

TEST(Resources, SkinPicturesDecodeAtTheirSizes)
{
    struct Case { int id, width, height; };
    const Case cases[] = {
        {IDP_MAIN_BACKGROUND, 515, 419}, {IDP_BUTTON_NORMAL, 67, 21}, {IDP_BUTTON_HOVER, 67, 21},
        {IDP_BUTTON_PRESSED, 67, 21}, {IDP_EDIT_BACKGROUND, 515, 419}, {IDP_BUTTON2_NORMAL, 67, 21},
        {IDP_BUTTON2_HOVER, 67, 21}, {IDP_BUTTON2_PRESSED, 67, 21}, {IDP_SMALL_BUTTON_NORMAL, 64, 25},
        {IDP_SMALL_BUTTON_HOVER, 64, 25}, {IDP_SMALL_BUTTON_PRESSED, 64, 25}, {IDP_HELP_ICON, 20, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        std::string bytes = pngBytes(c.id);
        ASSERT_FALSE(bytes.empty()) << "no PNG resource in language 1033";
        EXPECT_LE(bytes.size(), 16000u) << "skin pictures are decoded at every paint; keep them small";
        std::unique_ptr<Gdiplus::Bitmap> image = decodePng(bytes);
        ASSERT_TRUE(image);
        EXPECT_EQ(c.width, static_cast<int>(image->GetWidth()));
        EXPECT_EQ(c.height, static_cast<int>(image->GetHeight()));
    }
}

TEST(Resources, SecondCopiesAreByteIdentical)
{
    const int pairs[][2] = {{IDP_EDIT_BACKGROUND, IDP_MAIN_BACKGROUND}, {IDP_BUTTON2_NORMAL, IDP_BUTTON_NORMAL},
                            {IDP_BUTTON2_HOVER, IDP_BUTTON_HOVER}, {IDP_BUTTON2_PRESSED, IDP_BUTTON_PRESSED}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair[0]);
        EXPECT_FALSE(pngBytes(pair[0]).empty());
        EXPECT_TRUE(pngBytes(pair[0]) == pngBytes(pair[1]));
    }
}

// The title labels' brush and the controls placed on the picture rely on
// these bands.
TEST(Resources, BackgroundBandsHaveTheirColours)
{
    std::unique_ptr<Gdiplus::Bitmap> image = decodePng(pngBytes(IDP_MAIN_BACKGROUND));
    ASSERT_TRUE(image);
    struct Case { const char* band; int y; Rgba colour; };
    const Case cases[] = {
        {"black strip", 9, {0, 0, 0, 255}},          {"header band", 56, {233, 234, 227, 255}},
        {"light blue band", 112, {112, 216, 250, 255}}, {"white body", 250, {255, 255, 255, 255}},
        {"grey line", 376, {204, 204, 204, 255}},    {"footer band", 387, {233, 234, 227, 255}},
        {"dark grey line", 399, {68, 68, 68, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.band);
        Rgba p = pixel(*image, 257, c.y);
        EXPECT_EQ(c.colour.r, p.r);
        EXPECT_EQ(c.colour.g, p.g);
        EXPECT_EQ(c.colour.b, p.b);
        EXPECT_EQ(c.colour.a, p.a);
    }
    // The emblem sits at the left of the header band: not band-coloured there.
    Rgba emblem = pixel(*image, 52, 40);
    EXPECT_GT(emblem.b, emblem.r);
}

TEST(Resources, SmallPicturesHaveTransparentEdges)
{
    std::unique_ptr<Gdiplus::Bitmap> help = decodePng(pngBytes(IDP_HELP_ICON));
    ASSERT_TRUE(help);
    for (POINT corner : {POINT{0, 0}, POINT{19, 0}, POINT{0, 19}, POINT{19, 19}})
        EXPECT_EQ(0, pixel(*help, corner.x, corner.y).a) << corner.x << "," << corner.y;
    Rgba disc = pixel(*help, 4, 10);
    EXPECT_EQ(255, disc.a);
    EXPECT_GT(disc.b, disc.r + 60) << "a blue disc";

    for (int id : {IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED}) {
        std::unique_ptr<Gdiplus::Bitmap> button = decodePng(pngBytes(id));
        ASSERT_TRUE(button);
        Rgba corner = pixel(*button, 63, 24);
        EXPECT_GT(corner.a, 0) << id;
        EXPECT_LT(corner.a, 255) << id;
        EXPECT_EQ(255, pixel(*button, 32, 12).a) << id;
    }
}

// Icon groups 12 and 13 hold BMP images (not PNG) in the sizes the program
// asks for: the list rows use group 13 at 24 x 24.
TEST(Resources, IconGroupsHoldBitmapImagesOfTheirSizes)
{
    struct Case { int group; std::vector<int> sizes; };
    const Case cases[] = {{IDI_APP_LARGE, {32, 48}}, {IDI_APP_SMALL, {16, 24}}};
#pragma pack(push, 2)
    struct GroupEntry { BYTE width, height, colours, reserved; WORD planes, bitCount; DWORD bytes; WORD id; };
#pragma pack(pop)
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        std::string group = resourceBytes(c.group, RT_GROUP_ICON, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
        ASSERT_GE(group.size(), 6u);
        WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
        ASSERT_EQ(c.sizes.size(), count);
        ASSERT_EQ(6 + count * sizeof(GroupEntry), group.size());
        for (WORD i = 0; i < count; ++i) {
            const GroupEntry* entry = reinterpret_cast<const GroupEntry*>(group.data() + 6) + i;
            EXPECT_EQ(c.sizes[i], entry->width);
            EXPECT_EQ(c.sizes[i], entry->height);
            std::string image = resourceBytes(entry->id, RT_ICON, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
            ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
            EXPECT_EQ(sizeof(BITMAPINFOHEADER), *reinterpret_cast<const DWORD*>(image.data()));
            HICON icon = static_cast<HICON>(
                LoadImageW(AppGlobals.hInstance, MAKEINTRESOURCEW(c.group), IMAGE_ICON, c.sizes[i], c.sizes[i], 0));
            EXPECT_TRUE(icon);
            if (icon)
                DestroyIcon(icon);
        }
    }
}

// --------------------------------------------------------------- dialogs --

namespace {

enum class Kind { Tab, List, CheckBox, PushButton, Edit, Static };

struct ControlCase { int id; Kind kind; };

void expectControl(HWND dialog, const ControlCase& c)
{
    SCOPED_TRACE(c.id);
    HWND control = GetDlgItem(dialog, c.id);
    ASSERT_TRUE(control);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    std::wstring name = className(control);
    switch (c.kind) {
    case Kind::Tab:
        EXPECT_EQ(0, lstrcmpiW(WC_TABCONTROLW, name.c_str()));
        break;
    case Kind::List:
        // Rows mirror the store's order and the code selects several at once.
        EXPECT_EQ(0, lstrcmpiW(WC_LISTVIEWW, name.c_str()));
        EXPECT_EQ(LVS_REPORT, style & LVS_TYPEMASK);
        EXPECT_EQ(0, style & (LVS_SINGLESEL | LVS_SORTASCENDING | LVS_SORTDESCENDING));
        EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
        break;
    case Kind::CheckBox:
        // Without BS_NOTIFY the click is the check box's only WM_COMMAND.
        EXPECT_EQ(0, lstrcmpiW(L"Button", name.c_str()));
        EXPECT_EQ(BS_AUTOCHECKBOX, style & BS_TYPEMASK);
        EXPECT_EQ(0, style & BS_NOTIFY);
        break;
    case Kind::PushButton:
        EXPECT_EQ(0, lstrcmpiW(L"Button", name.c_str()));
        EXPECT_LE(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        EXPECT_TRUE(style & WS_TABSTOP);
        break;
    case Kind::Edit:
        // Masking is switched on by the code for password items only.
        EXPECT_EQ(0, lstrcmpiW(L"Edit", name.c_str()));
        EXPECT_TRUE(style & ES_AUTOHSCROLL);
        EXPECT_EQ(0, style & ES_PASSWORD);
        break;
    case Kind::Static:
        EXPECT_EQ(0, lstrcmpiW(L"Static", name.c_str()));
        break;
    }
}

}  // namespace

TEST(Resources, DialogsHaveEveryControlTheCodeUses)
{
    struct Case { int dialog; bool child; std::vector<ControlCase> controls; };
    const Case cases[] = {
        {IDD_MAIN, false,
         {{IDC_MAIN_TAB, Kind::Tab}, {IDC_MAIN_APPLY, Kind::PushButton}, {IDC_MAIN_CLOSE, Kind::PushButton},
          {IDC_MAIN_HELP, Kind::PushButton}, {IDC_MAIN_TITLE, Kind::Static}}},
        {IDD_SETTINGS_PAGE, true,
         {{IDC_SETTINGS_PWDBANK, Kind::CheckBox}, {IDC_SETTINGS_BUBBLE, Kind::CheckBox},
          {IDC_SETTINGS_DESCRIPTION, Kind::Static}}},
        {IDD_SITE_LIST_PAGE, true,
         {{IDC_SITE_LIST, Kind::List}, {IDC_SITE_LIST_OPEN, Kind::PushButton},
          {IDC_SITE_LIST_DELETE, Kind::PushButton}}},
        {IDD_SITE_EDIT, false,
         {{IDC_SITE_EDIT_TITLE, Kind::Static}, {IDC_SITE_EDIT_INPUTS, Kind::List}, {IDC_SITE_EDIT_NAME, Kind::Edit},
          {IDC_SITE_EDIT_REMOVE, Kind::PushButton}, {IDC_SITE_EDIT_OPEN, Kind::PushButton},
          {IDC_SITE_EDIT_SAVE, Kind::PushButton}, {IDC_SITE_EDIT_CLOSE, Kind::PushButton},
          {IDC_SITE_EDIT_NAME_LABEL, Kind::Static}, {IDC_SITE_EDIT_INPUTS_LABEL, Kind::Static},
          {IDC_SITE_EDIT_HELP, Kind::PushButton}}},
        {IDD_INPUT_ITEM_EDIT, false,
         {{IDC_INPUT_EDIT_VALUE, Kind::Edit}, {IDC_INPUT_EDIT_LABEL, Kind::Static},
          {IDC_INPUT_EDIT_SAVE, Kind::PushButton}, {IDC_SITE_EDIT_CLOSE, Kind::PushButton}}},
    };
    HWND host = createDialogFromResources(AppGlobals.hInstance, IDD_MAIN, PlainDialogProc);
    ASSERT_TRUE(host);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        HWND dialog = createDialogFromResources(AppGlobals.hInstance, c.dialog, PlainDialogProc,
                                                c.child ? host : nullptr);
        ASSERT_TRUE(dialog);
        LONG style = GetWindowLongW(dialog, GWL_STYLE);
        EXPECT_EQ(c.child, (style & WS_CHILD) != 0);
        EXPECT_EQ(!c.child, (style & WS_CAPTION) == WS_CAPTION);
        for (const ControlCase& control : c.controls)
            expectControl(dialog, control);
        DestroyWindow(dialog);
    }
    DestroyWindow(host);
}

// A second start finds the running main window by its caption.
TEST(Resources, MainCaptionIsString1001)
{
    HWND dialog = createDialogFromResources(AppGlobals.hInstance, IDD_MAIN, PlainDialogProc);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(loadString(IDS_MAIN_CAPTION), windowText(dialog));
    DestroyWindow(dialog);
}

// The controls sit on the bands of the background picture they belong to,
// and the pages inside the tab control's display area. Pixels at 96 DPI,
// where the picture is drawn unscaled; a few pixels of slack for fonts.
TEST(Resources, SkinnedDialogsLineUpWithTheBackground)
{
    HWND main = createDialogFromResources(AppGlobals.hInstance, IDD_MAIN, PlainDialogProc);
    HWND edit = createDialogFromResources(AppGlobals.hInstance, IDD_SITE_EDIT, PlainDialogProc);
    ASSERT_TRUE(main && edit);
    for (HWND dialog : {main, edit}) {
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_NEAR(515, client.right, 4);
        EXPECT_NEAR(419, client.bottom, 4);
    }
    struct Case { HWND dialog; int id; int top, bottom; };  // band rows, inclusive
    const Case cases[] = {
        {main, IDC_MAIN_TITLE, 19, 94},       {main, IDC_MAIN_APPLY, 376, 398},
        {main, IDC_MAIN_CLOSE, 376, 398},     {main, IDC_MAIN_HELP, 376, 398},
        {edit, IDC_SITE_EDIT_TITLE, 19, 94},  {edit, IDC_SITE_EDIT_SAVE, 376, 398},
        {edit, IDC_SITE_EDIT_CLOSE, 376, 398}, {edit, IDC_SITE_EDIT_HELP, 376, 398},
        {edit, IDC_SITE_EDIT_NAME_LABEL, 130, 375}, {edit, IDC_SITE_EDIT_NAME, 130, 375},
        {edit, IDC_SITE_EDIT_INPUTS_LABEL, 130, 375}, {edit, IDC_SITE_EDIT_INPUTS, 130, 375},
        {edit, IDC_SITE_EDIT_OPEN, 130, 375}, {edit, IDC_SITE_EDIT_REMOVE, 130, 375},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        RECT r = childRect(c.dialog, c.id);
        EXPECT_GE(r.top, c.top);
        EXPECT_LE(r.bottom, c.bottom + 1);
        EXPECT_LE(r.right, 515);
    }
    // The title line starts right of the emblem.
    EXPECT_GE(childRect(main, IDC_MAIN_TITLE).left, 84);

    HWND tab = GetDlgItem(main, IDC_MAIN_TAB);
    TCITEMW item = {TCIF_TEXT};
    item.pszText = const_cast<wchar_t*>(L"Settings");
    SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    RECT display = childRect(main, IDC_MAIN_TAB);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (int page : {IDD_SETTINGS_PAGE, IDD_SITE_LIST_PAGE}) {
        SCOPED_TRACE(page);
        HWND child = createDialogFromResources(AppGlobals.hInstance, page, PlainDialogProc, main);
        ASSERT_TRUE(child);
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_GE(r.left, display.left);
        EXPECT_GE(r.top, display.top);
        EXPECT_LE(r.right, display.right);
        EXPECT_LE(r.bottom, display.bottom);
        EXPECT_GE(r.top, 130) << "on the white body";
        DestroyWindow(child);
    }
    DestroyWindow(edit);
    DestroyWindow(main);
}

// --------------------------------------------------------------- strings --

TEST(Resources, EveryStringLoads)
{
    const int ids[] = {
        IDS_MAIN_CAPTION, IDS_BUTTON_APPLY, IDS_BUTTON_CLOSE_EDIT, IDS_BUTTON_CLOSE, IDS_CAPTION_ERROR,
        IDS_CAPTION_INFO, IDS_TAB_SETTINGS, IDS_TAB_SITES, IDS_SAVED, IDS_SAVE_FAILED, IDS_CONFIRM_CLOSE,
        IDS_DESC_PWDBANK_ON, IDS_DESC_BUBBLE_ON, IDS_DESC_BOTH_OFF, IDS_CONFIRM_REMOVE_INPUTS,
        IDS_INPUT_COLUMN_ITEM, IDS_INPUT_COLUMN_VALUE, IDS_CONFIRM_DELETE_SITES, IDS_SITE_COLUMN_NAME,
        IDS_BUTTON_OPEN, IDS_BUTTON_DELETE, IDS_NAME_EXISTS, IDS_NAME_EMPTY, IDS_USER_NAME_EMPTY,
        IDS_PASSWORD_EMPTY, IDS_ROW_USER_NAME, IDS_ROW_PASSWORD,
    };
    for (int id : ids) {
        std::wstring text = loadString(id);
        EXPECT_FALSE(text.empty()) << id;
        EXPECT_LT(text.size(), static_cast<size_t>(STRING_BUFFER_CHARS)) << id;
    }
    // Column headers go through wsprintfW as the format.
    for (int id : {IDS_INPUT_COLUMN_ITEM, IDS_INPUT_COLUMN_VALUE, IDS_SITE_COLUMN_NAME})
        EXPECT_EQ(std::wstring::npos, loadString(id).find(L'%')) << id;
    // Message boxes are "#32770" windows too: a box captioned like the main
    // window would be taken for a running instance.
    for (int id : {IDS_CAPTION_ERROR, IDS_CAPTION_INFO})
        EXPECT_NE(loadString(IDS_MAIN_CAPTION), loadString(id)) << id;
}
