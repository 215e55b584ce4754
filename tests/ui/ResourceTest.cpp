// The program's resources as the loader sees them: skin pictures, icons,
// the en-US dialogs with the controls the code uses, and every shipped
// language with every dialog and string of en-US, texts that fit their
// controls, glyphs for CJK texts and English for a language not shipped.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <cwctype>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>
#include "AppGlobals.h"
#include "Skin.h"
#include "StartUp.h"
#include "TestSupport.h"
#include "resource.h"

using namespace qovitest;

namespace {

struct Language { const wchar_t* locale; LANGID id; };

// One entry per file under res/lang/. The locale name must give the LANGID
// of the file's LANGUAGE line, or the loader never picks the file.
const Language shippedLanguages[] = {
    {L"en-US", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)},
    {L"de-DE", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)},
    {L"fr-FR", MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)},
    {L"es-ES", MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN)},
    {L"pt-BR", MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN)},
    {L"it-IT", MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN)},
    {L"ja-JP", MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)},
    {L"ko-KR", MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN)},
    {L"zh-CN", MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)},
    {L"zh-TW", MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL)},
};
const LANGID ENGLISH_US = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID NEUTRAL = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

const int dialogIds[] = {IDD_MAIN, IDD_SETTINGS_PAGE, IDD_SITE_LIST_PAGE, IDD_SITE_EDIT, IDD_INPUT_ITEM_EDIT};

// The string ids the code loads.
const std::set<int> usedStringIds = {
    IDS_MAIN_CAPTION, IDS_BUTTON_APPLY, IDS_BUTTON_CLOSE_EDIT, IDS_BUTTON_CLOSE, IDS_CAPTION_ERROR,
    IDS_CAPTION_INFO, IDS_TAB_SETTINGS, IDS_TAB_SITES, IDS_SAVED, IDS_SAVE_FAILED, IDS_CONFIRM_CLOSE,
    IDS_DESC_PWDBANK_ON, IDS_DESC_BUBBLE_ON, IDS_DESC_BOTH_OFF, IDS_CONFIRM_REMOVE_INPUTS,
    IDS_INPUT_COLUMN_ITEM, IDS_INPUT_COLUMN_VALUE, IDS_CONFIRM_DELETE_SITES, IDS_SITE_COLUMN_NAME,
    IDS_BUTTON_OPEN, IDS_BUTTON_DELETE, IDS_NAME_EXISTS, IDS_NAME_EMPTY, IDS_USER_NAME_EMPTY,
    IDS_PASSWORD_EMPTY, IDS_ROW_USER_NAME, IDS_ROW_PASSWORD, IDS_BANK_RESTORED, IDS_BANK_RESTORED_MISSING,
    IDS_BANK_UNREADABLE, IDS_BANK_BUSY, IDS_BANK_READ_FAILED, IDS_BANK_FOLDER_UNUSABLE, IDS_BANK_NEWER,
    IDS_BUTTON_HELP, IDS_INPUT_EDIT_LABEL,
};

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::set<LANGID>*>(param)->insert(language);
    return TRUE;
}

// The languages a resource exists in, exactly: FindResourceExW may fall back
// to another language, this does not.
std::set<LANGID> languagesOf(LPCWSTR type, int id)
{
    std::set<LANGID> found;
    EnumResourceLanguagesW(AppGlobals.hInstance, type, MAKEINTRESOURCEW(id), collectLanguage,
                           reinterpret_cast<LONG_PTR>(&found));
    return found;
}

std::string resourceBytes(LPCWSTR type, int id, LANGID language)
{
    if (!languagesOf(type, id).count(language))
        return {};
    HRSRC info = FindResourceExW(AppGlobals.hInstance, type, MAKEINTRESOURCEW(id), language);
    HGLOBAL loaded = info ? LoadResource(AppGlobals.hInstance, info) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(AppGlobals.hInstance, info)) : std::string();
}

// String id of one language's table: blocks of 16 counted strings.
std::wstring stringIn(LANGID language, int id)
{
    const std::string block = resourceBytes(RT_STRING, id / 16 + 1, language);
    if (block.empty())
        return {};
    const WORD* entry = reinterpret_cast<const WORD*>(block.data());
    for (int i = 0; i < id % 16; ++i)
        entry += 1 + *entry;
    return std::wstring(reinterpret_cast<const wchar_t*>(entry + 1), *entry);
}

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<int>*>(param)->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Every string id one language's table holds.
std::set<int> stringIdsIn(LANGID language)
{
    std::vector<int> blocks;
    std::set<int> ids;
    EnumResourceNamesW(AppGlobals.hInstance, RT_STRING, collectName, reinterpret_cast<LONG_PTR>(&blocks));
    for (int block : blocks)
        for (int id = (block - 1) * 16; id < block * 16; ++id)
            if (!stringIn(language, id).empty())
                ids.insert(id);
    return ids;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The dialog built from one language's template, hidden.
HWND createDialogIn(LANGID language, int id, HWND parent = nullptr)
{
    const std::string tmpl = resourceBytes(RT_DIALOG, id, language);
    return tmpl.empty() ? nullptr
                        : CreateDialogIndirectParamW(AppGlobals.hInstance,
                                                     reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), parent,
                                                     PlainDialogProc, 0);
}

// A dialog with its parent when it is a page of the main window.
struct LanguageDialog {
    HWND host = nullptr, dialog = nullptr;
    LanguageDialog(LANGID language, int id)
    {
        if (id == IDD_SETTINGS_PAGE || id == IDD_SITE_LIST_PAGE)
            host = createDialogIn(language, IDD_MAIN);
        dialog = createDialogIn(language, id, host);
    }
    ~LanguageDialog()
    {
        if (dialog)
            DestroyWindow(dialog);
        if (host)
            DestroyWindow(host);
    }
};

std::wstring className(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> childrenOf(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

RECT childRect(HWND parent, HWND child)
{
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE clientSize(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

// Decodes a copy of the bytes as the skin does: a stream on global memory.
std::unique_ptr<Gdiplus::Bitmap> decodePng(int id)
{
    const std::string bytes = resourceBytes(L"PNG", id, ENGLISH_US);
    HGLOBAL block = bytes.empty() ? nullptr : GlobalAlloc(GMEM_MOVEABLE, bytes.size());
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

Gdiplus::Color pixel(Gdiplus::Bitmap& bitmap, int x, int y)
{
    Gdiplus::Color c;
    bitmap.GetPixel(x, y, &c);
    return c;
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
        EXPECT_LE(resourceBytes(L"PNG", c.id, ENGLISH_US).size(), 16000u)
            << "skin pictures are decoded at every paint; keep them small";
        std::unique_ptr<Gdiplus::Bitmap> image = decodePng(c.id);
        ASSERT_TRUE(image) << "no PNG resource in language 1033";
        EXPECT_EQ(c.width, static_cast<int>(image->GetWidth()));
        EXPECT_EQ(c.height, static_cast<int>(image->GetHeight()));
    }
    // The second copies are byte-identical to the first ones.
    const int pairs[][2] = {{IDP_EDIT_BACKGROUND, IDP_MAIN_BACKGROUND}, {IDP_BUTTON2_NORMAL, IDP_BUTTON_NORMAL},
                            {IDP_BUTTON2_HOVER, IDP_BUTTON_HOVER}, {IDP_BUTTON2_PRESSED, IDP_BUTTON_PRESSED}};
    for (const auto& pair : pairs)
        EXPECT_TRUE(resourceBytes(L"PNG", pair[0], ENGLISH_US) == resourceBytes(L"PNG", pair[1], ENGLISH_US))
            << pair[0];
}

// The title labels' brush and the controls placed on the picture rely on
// the background's bands; the small pictures have transparent edges.
TEST(Resources, PicturesHaveTheirColours)
{
    struct Case { int id, x, y; BYTE a, r, g, b; };
    const Case cases[] = {
        {IDP_MAIN_BACKGROUND, 257, 9, 255, 0, 0, 0},          // black strip
        {IDP_MAIN_BACKGROUND, 257, 56, 255, 233, 234, 227},   // header band
        {IDP_MAIN_BACKGROUND, 257, 112, 255, 112, 216, 250},  // light blue band
        {IDP_MAIN_BACKGROUND, 257, 250, 255, 255, 255, 255},  // white body
        {IDP_MAIN_BACKGROUND, 257, 376, 255, 204, 204, 204},  // grey line
        {IDP_MAIN_BACKGROUND, 257, 387, 255, 233, 234, 227},  // footer band
        {IDP_MAIN_BACKGROUND, 257, 399, 255, 68, 68, 68},     // dark grey line
    };
    std::unique_ptr<Gdiplus::Bitmap> background = decodePng(IDP_MAIN_BACKGROUND);
    ASSERT_TRUE(background);
    for (const Case& c : cases)
        EXPECT_EQ(Gdiplus::Color::MakeARGB(c.a, c.r, c.g, c.b), pixel(*background, c.x, c.y).GetValue()) << c.y;
    // The emblem sits at the left of the header band: not band-coloured there.
    Gdiplus::Color emblem = pixel(*background, 52, 40);
    EXPECT_GT(emblem.GetB(), emblem.GetR());

    std::unique_ptr<Gdiplus::Bitmap> help = decodePng(IDP_HELP_ICON);
    ASSERT_TRUE(help);
    for (POINT corner : {POINT{0, 0}, POINT{19, 0}, POINT{0, 19}, POINT{19, 19}})
        EXPECT_EQ(0, pixel(*help, corner.x, corner.y).GetA()) << corner.x << "," << corner.y;
    Gdiplus::Color disc = pixel(*help, 4, 10);
    EXPECT_EQ(255, disc.GetA());
    EXPECT_GT(disc.GetB(), disc.GetR() + 60) << "a blue disc";

    for (int id : {IDP_SMALL_BUTTON_NORMAL, IDP_SMALL_BUTTON_HOVER, IDP_SMALL_BUTTON_PRESSED}) {
        std::unique_ptr<Gdiplus::Bitmap> button = decodePng(id);
        ASSERT_TRUE(button);
        const BYTE corner = pixel(*button, 63, 24).GetA();
        EXPECT_TRUE(corner > 0 && corner < 255) << id << ": a half-transparent corner";
        EXPECT_EQ(255, pixel(*button, 32, 12).GetA()) << id;
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
        std::string group = resourceBytes(RT_GROUP_ICON, c.group, NEUTRAL);
        ASSERT_GE(group.size(), 6u);
        WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
        ASSERT_EQ(c.sizes.size(), count);
        ASSERT_EQ(6 + count * sizeof(GroupEntry), group.size());
        for (WORD i = 0; i < count; ++i) {
            const GroupEntry* entry = reinterpret_cast<const GroupEntry*>(group.data() + 6) + i;
            EXPECT_EQ(c.sizes[i], entry->width);
            EXPECT_EQ(c.sizes[i], entry->height);
            std::string image = resourceBytes(RT_ICON, entry->id, NEUTRAL);
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

// ---------------------------------------------------------- en-US dialogs --
// The other languages are held to these by Languages.EveryDialogHasTheControlsOfEnglish.

namespace {

enum class Kind { Tab, List, CheckBox, PushButton, Edit, Static };

struct ControlCase { int id; Kind kind; };

void expectControl(HWND dialog, const ControlCase& c)
{
    SCOPED_TRACE(c.id);
    HWND control = GetDlgItem(dialog, c.id);
    ASSERT_TRUE(control);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    const wchar_t* expectedClass = L"Button";
    switch (c.kind) {
    case Kind::Tab:
        expectedClass = WC_TABCONTROLW;
        break;
    case Kind::List:
        // Rows mirror the store's order and the code selects several at once.
        expectedClass = WC_LISTVIEWW;
        EXPECT_EQ(LVS_REPORT, style & LVS_TYPEMASK);
        EXPECT_EQ(0, style & (LVS_SINGLESEL | LVS_SORTASCENDING | LVS_SORTDESCENDING));
        EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
        break;
    case Kind::CheckBox:
        // Without BS_NOTIFY the click is the check box's only WM_COMMAND.
        EXPECT_EQ(BS_AUTOCHECKBOX, style & BS_TYPEMASK);
        EXPECT_EQ(0, style & BS_NOTIFY);
        break;
    case Kind::PushButton:
        EXPECT_LE(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        EXPECT_TRUE(style & WS_TABSTOP);
        break;
    case Kind::Edit:
        // Masking is switched on by the code for password items only.
        expectedClass = L"Edit";
        EXPECT_TRUE(style & ES_AUTOHSCROLL);
        EXPECT_EQ(0, style & ES_PASSWORD);
        break;
    case Kind::Static:
        expectedClass = L"Static";
        break;
    }
    EXPECT_EQ(0, lstrcmpiW(expectedClass, className(control).c_str())) << narrow(className(control));
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        LanguageDialog d(ENGLISH_US, c.dialog);
        ASSERT_TRUE(d.dialog);
        LONG style = GetWindowLongW(d.dialog, GWL_STYLE);
        EXPECT_EQ(c.child, (style & WS_CHILD) != 0);
        EXPECT_EQ(!c.child, (style & WS_CAPTION) == WS_CAPTION);
        for (const ControlCase& control : c.controls)
            expectControl(d.dialog, control);
    }
}

// The controls sit on the bands of the background picture they belong to,
// and the pages inside the tab control's display area. Pixels at 96 DPI,
// where the picture is drawn unscaled; a few pixels of slack for fonts.
TEST(Resources, SkinnedDialogsLineUpWithTheBackground)
{
    LanguageDialog main(ENGLISH_US, IDD_MAIN), edit(ENGLISH_US, IDD_SITE_EDIT);
    ASSERT_TRUE(main.dialog && edit.dialog);
    for (HWND dialog : {main.dialog, edit.dialog}) {
        EXPECT_NEAR(515, clientSize(dialog).cx, 4);
        EXPECT_NEAR(419, clientSize(dialog).cy, 4);
    }
    struct Band { HWND dialog; int top, bottom; std::vector<int> ids; };  // band rows, inclusive
    const Band bands[] = {
        {main.dialog, 19, 94, {IDC_MAIN_TITLE}},
        {main.dialog, 376, 398, {IDC_MAIN_APPLY, IDC_MAIN_CLOSE, IDC_MAIN_HELP}},
        {edit.dialog, 19, 94, {IDC_SITE_EDIT_TITLE}},
        {edit.dialog, 376, 398, {IDC_SITE_EDIT_SAVE, IDC_SITE_EDIT_CLOSE, IDC_SITE_EDIT_HELP}},
        {edit.dialog, 130, 375, {IDC_SITE_EDIT_NAME_LABEL, IDC_SITE_EDIT_NAME, IDC_SITE_EDIT_INPUTS_LABEL,
                                 IDC_SITE_EDIT_INPUTS, IDC_SITE_EDIT_OPEN, IDC_SITE_EDIT_REMOVE}},
    };
    for (const Band& band : bands)
        for (int id : band.ids) {
            SCOPED_TRACE(id);
            RECT r = childRect(band.dialog, GetDlgItem(band.dialog, id));
            EXPECT_GE(r.top, band.top);
            EXPECT_LE(r.bottom, band.bottom + 1);
            EXPECT_LE(r.right, 515);
        }
    // The title line starts right of the emblem.
    EXPECT_GE(childRect(main.dialog, GetDlgItem(main.dialog, IDC_MAIN_TITLE)).left, 84);

    HWND tab = GetDlgItem(main.dialog, IDC_MAIN_TAB);
    TCITEMW item = {TCIF_TEXT};
    item.pszText = const_cast<wchar_t*>(L"Settings");
    SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    RECT display = childRect(main.dialog, tab);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (int page : {IDD_SETTINGS_PAGE, IDD_SITE_LIST_PAGE}) {
        SCOPED_TRACE(page);
        HWND child = createDialogIn(ENGLISH_US, page, main.dialog);
        ASSERT_TRUE(child);
        RECT r = childRect(main.dialog, child);
        EXPECT_GE(r.left, display.left);
        EXPECT_GE(r.top, display.top);
        EXPECT_LE(r.right, display.right);
        EXPECT_LE(r.bottom, display.bottom);
        EXPECT_GE(r.top, 130) << "on the white body";
        DestroyWindow(child);
    }
}

// ------------------------------------------------------------ completeness --

TEST(Languages, EveryStringInEveryLanguageKeepsItsRules)
{
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        // Every id the code loads, and nothing else: a mistyped id loads nowhere.
        EXPECT_EQ(usedStringIds, stringIdsIn(language.id));
        for (int id : usedStringIds)
            EXPECT_LT(stringIn(language.id, id).size(), static_cast<size_t>(STRING_BUFFER_CHARS)) << id;
        // Column headers go through wsprintfW as the format.
        for (int id : {IDS_INPUT_COLUMN_ITEM, IDS_INPUT_COLUMN_VALUE, IDS_SITE_COLUMN_NAME})
            EXPECT_EQ(std::wstring::npos, stringIn(language.id, id).find(L'%')) << id;
        // A second start finds the main window by this caption; message
        // boxes are "#32770" windows too and must not be taken for it.
        const std::wstring caption = stringIn(language.id, IDS_MAIN_CAPTION);
        LanguageDialog main(language.id, IDD_MAIN);
        ASSERT_TRUE(main.dialog);
        EXPECT_EQ(caption, windowText(main.dialog));
        for (int id : {IDS_CAPTION_ERROR, IDS_CAPTION_INFO})
            EXPECT_NE(caption, stringIn(language.id, id)) << id;
    }
}

TEST(Languages, EveryDialogHasTheControlsOfEnglish)
{
    std::set<LANGID> listed;
    for (const Language& language : shippedLanguages) {
        EXPECT_EQ(language.id, LANGIDFROMLCID(LocaleNameToLCID(language.locale, 0)))
            << narrow(language.locale) << ": the LANGUAGE line does not match the locale name";
        listed.insert(language.id);
    }
    // Id, class and style of each control, in template order.
    using Controls = std::vector<std::tuple<int, std::string, LONG>>;
    auto controlsOf = [](HWND dialog) {
        Controls controls;
        for (HWND child : childrenOf(dialog))
            controls.emplace_back(GetDlgCtrlID(child), narrow(className(child)), GetWindowLongW(child, GWL_STYLE));
        return controls;
    };
    for (int id : dialogIds) {
        SCOPED_TRACE(id);
        EXPECT_EQ(listed, languagesOf(RT_DIALOG, id)) << "a language file is not listed here, or lacks the dialog";
        LanguageDialog english(ENGLISH_US, id);
        ASSERT_TRUE(english.dialog);
        for (const Language& language : shippedLanguages) {
            SCOPED_TRACE(narrow(language.locale));
            LanguageDialog translated(language.id, id);
            ASSERT_TRUE(translated.dialog) << "the template does not load";
            EXPECT_EQ(GetWindowLongW(english.dialog, GWL_STYLE), GetWindowLongW(translated.dialog, GWL_STYLE));
            EXPECT_EQ(controlsOf(english.dialog), controlsOf(translated.dialog));
        }
    }
}

// The labels and buttons of each window, and the skinned buttons' labels from
// the string table, each have an access key no other has in that window. The
// title lines and the settings page's description are no labels (they show
// no prefix); OK and Cancel of the input item dialog keep Enter and Esc.
TEST(Languages, AccessKeysAreUniqueInEveryWindow)
{
    struct Window { std::vector<int> dialogs, skinnedLabels; };
    const Window windows[] = {
        {{IDD_MAIN, IDD_SETTINGS_PAGE, IDD_SITE_LIST_PAGE},
         {IDS_BUTTON_APPLY, IDS_BUTTON_CLOSE, IDS_BUTTON_OPEN, IDS_BUTTON_DELETE}},
        {{IDD_SITE_EDIT}, {IDS_BUTTON_APPLY, IDS_BUTTON_CLOSE_EDIT, IDS_BUTTON_OPEN, IDS_BUTTON_DELETE}},
        {{IDD_INPUT_ITEM_EDIT}, {IDS_INPUT_EDIT_LABEL}},  // the label's text: 1321 around a row's label
    };
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        for (const Window& window : windows) {
            std::vector<std::wstring> texts;
            for (int id : window.skinnedLabels)
                texts.push_back(stringIn(language.id, id));
            for (int id : window.dialogs) {
                LanguageDialog d(language.id, id);
                for (HWND control : childrenOf(d.dialog)) {
                    const LONG style = GetWindowLongW(control, GWL_STYLE);
                    const UINT code = static_cast<UINT>(SendMessageW(control, WM_GETDLGCODE, 0, 0));
                    const bool label = (code & DLGC_STATIC) && !(style & SS_NOPREFIX);
                    const bool checkBox = (code & DLGC_BUTTON) && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
                    if ((label && GetDlgCtrlID(control) != IDC_INPUT_EDIT_LABEL) || checkBox)
                        texts.push_back(windowText(control));
                }
            }
            std::set<wchar_t> keys;
            for (const std::wstring& text : texts) {
                const size_t at = text.find(L'&');  // none of the texts holds "&&"
                const wchar_t key = at == std::wstring::npos || at + 1 == text.size() ? 0 : towupper(text[at + 1]);
                EXPECT_NE(0, key) << "no access key: " << narrow(text);
                EXPECT_TRUE(key == 0 || keys.insert(key).second) << "access key taken twice: " << narrow(text);
            }
        }
    }
}

// ----------------------------------------------------------------- layout --

namespace {

// Height of TEXT drawn with FONT into WIDTH pixels, wrapped at words when
// WRAP, and its widest line.
SIZE measure(HFONT font, const std::wstring& text, int width, bool wrap, bool prefix)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, width, 0};
    UINT flags = DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE) | (prefix ? 0 : DT_NOPREFIX);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {r.right, r.bottom};
}

// Room a check box leaves its text: the box and the gap after it.
int checkBoxTextWidth(int clientWidth) { return clientWidth - GetSystemMetrics(SM_CXMENUCHECK) - 4; }

struct Fit { std::string what; SIZE text; SIZE room; };

void expectFits(const Fit& fit)
{
    EXPECT_LE(fit.text.cx, fit.room.cx) << fit.what << " is too wide";
    EXPECT_LE(fit.text.cy, fit.room.cy) << fit.what << " is too tall";
}

// Every text of one dialog of one language: what the template holds and
// what the code puts into its controls.
std::vector<Fit> fitsOf(LANGID language, HWND dialog)
{
    std::vector<Fit> fits;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    // The title lines get the bold title font (at 96 DPI) from the code.
    HFONT titleFont = createSkinFont(titleFontHeightFor(96, 96), FW_BOLD, skinFaceName);
    for (HWND control : childrenOf(dialog)) {
        const int controlId = GetDlgCtrlID(control);
        const std::wstring name = className(control);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const SIZE room = clientSize(control);
        const std::string what = std::to_string(controlId) + " \"" + narrow(windowText(control)) + "\"";
        if (lstrcmpiW(name.c_str(), L"Static") == 0) {
            const bool title = controlId == IDC_MAIN_TITLE || controlId == IDC_SITE_EDIT_TITLE;
            const bool wrap = (style & SS_TYPEMASK) == SS_LEFT && !(style & SS_CENTERIMAGE);
            std::vector<std::wstring> texts = {windowText(control)};
            if (controlId == IDC_SETTINGS_DESCRIPTION)
                texts = {stringIn(language, IDS_DESC_PWDBANK_ON), stringIn(language, IDS_DESC_BUBBLE_ON),
                         stringIn(language, IDS_DESC_BOTH_OFF)};
            if (controlId == IDC_INPUT_EDIT_LABEL)  // the row's label and a colon
                texts = {stringIn(language, IDS_ROW_USER_NAME) + L":", stringIn(language, IDS_ROW_PASSWORD) + L":"};
            for (const std::wstring& text : texts)
                fits.push_back({what + " / " + narrow(text),
                                measure(title ? titleFont : font, text, room.cx, wrap, !(style & SS_NOPREFIX)), room});
        } else if (controlId == IDC_SITE_EDIT_INPUTS) {
            // The first column is 100 pixels wide at 96 DPI and shows the row
            // labels; the list view cuts longer ones with "..." and leaves a
            // few pixels of margin at each side.
            HFONT listFont = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
            for (int id : {IDS_ROW_USER_NAME, IDS_ROW_PASSWORD, IDS_INPUT_COLUMN_ITEM}) {
                const std::wstring text = stringIn(language, id);
                fits.push_back({what + " / " + narrow(text), measure(listFont, text, 0, false, false), {100 - 12, room.cy}});
            }
        } else if (lstrcmpiW(name.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
            SIZE text = measure(font, windowText(control), room.cx, false, true);
            fits.push_back({what, text, {checkBoxTextWidth(room.cx), room.cy}});
        } else if (lstrcmpiW(name.c_str(), L"Button") == 0 && !windowText(control).empty()) {
            SIZE text = measure(font, windowText(control), room.cx, false, true);
            fits.push_back({what, {text.cx + 2 * GetSystemMetrics(SM_CXEDGE) + 4, text.cy}, room});
        }
    }
    DeleteObject(titleFont);
    return fits;
}

}  // namespace

// Texts are measured with the font the control shows them in, at 96 DPI,
// in the room the template gives them; wrapping labels may use their height.
TEST(Languages, TextsFitTheirControls)
{
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        for (int id : dialogIds) {
            SCOPED_TRACE(id);
            LanguageDialog d(language.id, id);
            ASSERT_TRUE(d.dialog);
            for (const Fit& fit : fitsOf(language.id, d.dialog))
                expectFits(fit);
        }
    }
}

// The skin draws the button labels with GDI+ in "MS Shell Dlg", centred on
// one line, the access key's "&" taken out; a label wider than its button is
// cut at both ends. MeasureString includes the padding DrawString leaves.
TEST(Languages, SkinnedButtonLabelsFitTheirButtons)
{
    struct Case { int dialog, button, label; };
    const Case cases[] = {
        {IDD_MAIN, IDC_MAIN_APPLY, IDS_BUTTON_APPLY},           {IDD_MAIN, IDC_MAIN_CLOSE, IDS_BUTTON_CLOSE},
        {IDD_SITE_LIST_PAGE, IDC_SITE_LIST_OPEN, IDS_BUTTON_OPEN}, {IDD_SITE_LIST_PAGE, IDC_SITE_LIST_DELETE, IDS_BUTTON_DELETE},
        {IDD_SITE_EDIT, IDC_SITE_EDIT_SAVE, IDS_BUTTON_APPLY},  {IDD_SITE_EDIT, IDC_SITE_EDIT_CLOSE, IDS_BUTTON_CLOSE_EDIT},
        {IDD_SITE_EDIT, IDC_SITE_EDIT_OPEN, IDS_BUTTON_OPEN},   {IDD_SITE_EDIT, IDC_SITE_EDIT_REMOVE, IDS_BUTTON_DELETE},
    };
    Gdiplus::FontFamily family(skinFaceName.c_str(), nullptr);
    ASSERT_EQ(Gdiplus::Ok, family.GetLastStatus()) << "no font for \"MS Shell Dlg\" in GDI+";
    Gdiplus::Font font(&family, skinLabelEmSize(1.0f), Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    Gdiplus::StringFormat format;
    format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixShow);
    HDC dc = GetDC(nullptr);
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        for (const Case& c : cases) {
            LanguageDialog d(language.id, c.dialog);
            ASSERT_TRUE(d.dialog);
            const SIZE room = clientSize(GetDlgItem(d.dialog, c.button));
            const std::wstring label = stringIn(language.id, c.label);
            Gdiplus::Graphics graphics(dc);
            Gdiplus::RectF bounds;
            graphics.MeasureString(label.c_str(), static_cast<INT>(label.size()), &font, Gdiplus::PointF(0, 0),
                                   &format, &bounds);
            // The picture's frame and a pixel of air at each side.
            EXPECT_LE(bounds.Width + 6, static_cast<float>(room.cx)) << c.button << " \"" << narrow(label) << "\"";
            EXPECT_LE(bounds.Height, static_cast<float>(room.cy) + 2) << c.button;
        }
    }
    ReleaseDC(nullptr, dc);
}

namespace {

const int SAMPLE_WIDTH = 240, SAMPLE_HEIGHT = 40;

// The pixels of TEXT drawn black on white, by GDI with FONT or, without a
// font, by GDI+ as the skinned buttons draw their labels.
std::vector<DWORD> samplePixels(const std::wstring& text, HFONT font)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), SAMPLE_WIDTH, -SAMPLE_HEIGHT, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, SAMPLE_WIDTH, SAMPLE_HEIGHT, WHITENESS);
    if (font) {
        HGDIOBJ oldFont = SelectObject(dc, font);
        TextOutW(dc, 2, 2, text.c_str(), static_cast<int>(text.size()));
        SelectObject(dc, oldFont);
    } else {
        Gdiplus::Graphics graphics(dc);
        Gdiplus::FontFamily family(skinFaceName.c_str(), nullptr);
        Gdiplus::Font label(&family, skinLabelEmSize(1.0f), Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        Gdiplus::SolidBrush black(Gdiplus::Color(255, 0, 0, 0));
        graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), &label, Gdiplus::PointF(2, 2), &black);
    }
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + SAMPLE_WIDTH * SAMPLE_HEIGHT);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

}  // namespace

// Chinese, Japanese and Korean texts come out as glyphs, not as the boxes of
// characters the font lacks: compared with as many characters no font has
// (U+FFFF), in the dialogs' font and in the skin's GDI+ labels.
TEST(Languages, CjkTextsDrawGlyphsNotBoxes)
{
    const LANGID cjk[] = {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN),
                          MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
                          MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL)};
    for (LANGID language : cjk) {
        SCOPED_TRACE(language);
        LanguageDialog main(language, IDD_MAIN);
        ASSERT_TRUE(main.dialog);
        HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(main.dialog, WM_GETFONT, 0, 0));
        for (int id : {IDS_CAPTION_INFO, IDS_BUTTON_CLOSE}) {
            const std::wstring text = stringIn(language, id);
            const std::wstring missing(text.size(), L'\xFFFF');
            EXPECT_TRUE(samplePixels(missing, dialogFont) != samplePixels(text, dialogFont))
                << "dialog font draws boxes: " << narrow(text);
            EXPECT_TRUE(samplePixels(missing, nullptr) != samplePixels(text, nullptr))
                << "GDI+ label draws boxes: " << narrow(text);
            EXPECT_TRUE(samplePixels(L"", nullptr) != samplePixels(text, nullptr))
                << "GDI+ label draws nothing: " << narrow(text);
        }
    }
}

// ----------------------------------------------------- choosing the language --

namespace {

// Makes the thread load resources of LCID as the program does after
// selectUILanguage. Windows follows the preferred UI languages; Wine follows
// the thread locale; both are set so the same test holds on both.
void useThreadLanguage(const wchar_t* locale)
{
    wchar_t list[LOCALE_NAME_MAX_LENGTH + 2] = {};
    lstrcpynW(list, locale, LOCALE_NAME_MAX_LENGTH);
    ULONG count = 1;
    SetThreadPreferredUILanguages(MUI_LANGUAGE_NAME, list, &count);
    LCID lcid = LocaleNameToLCID(locale, 0);
    SetThreadUILanguage(LANGIDFROMLCID(lcid));
    SetThreadLocale(lcid);
}

// Puts the thread's language back as the test found it.
class ThreadLanguageGuard {
public:
    ThreadLanguageGuard() : locale_(GetThreadLocale()) {}
    ~ThreadLanguageGuard()
    {
        SetThreadPreferredUILanguages(0, nullptr, nullptr);
        SetThreadUILanguage(LANGIDFROMLCID(locale_));
        SetThreadLocale(locale_);
    }
private:
    LCID locale_;
};

}  // namespace

// The thread's UI language picks its own block; a language that is not
// shipped gets English.
TEST(Languages, ThreadLanguagePicksItsOwnBlockOrEnglish)
{
    struct Case { const wchar_t* locale; LANGID expected; };
    const Case cases[] = {
        {L"de-DE", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)},
        {L"ja-JP", MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)},
        {L"zh-TW", MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL)},
        {L"nl-NL", ENGLISH_US},
        {L"sv-SE", ENGLISH_US},
        {L"en-US", ENGLISH_US},
    };
    ThreadLanguageGuard guard;
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.locale));
        useThreadLanguage(c.locale);
        const std::wstring caption = stringIn(c.expected, IDS_MAIN_CAPTION);
        ASSERT_FALSE(caption.empty());
        wchar_t loaded[150] = {};
        LoadStringW(AppGlobals.hInstance, IDS_MAIN_CAPTION, loaded, 150);
        EXPECT_EQ(caption, loaded);
        HWND main = createDialogFromResources(AppGlobals.hInstance, IDD_MAIN, PlainDialogProc);
        ASSERT_TRUE(main);
        EXPECT_EQ(caption, windowText(main));
        DestroyWindow(main);
    }
}

// Start-up as the program does it, under the user's UI language of this
// run. The test runs again with LC_ALL set to German and to Dutch; those runs
// name the user's language (QOVI_USER_LANGUAGE) and the language whose texts
// they expect (QOVI_EXPECTED_UI_LANGUAGE).
TEST(LanguageStartUp, UserLanguagePicksItsOwnBlockOrEnglish)
{
    auto namedLanguage = [](const char* variable) -> LANGID {
        const char* name = std::getenv(variable);
        if (!name)
            return 0;
        std::wstring locale(name, name + strlen(name));
        return LANGIDFROMLCID(LocaleNameToLCID(locale.c_str(), 0));
    };
    ThreadLanguageGuard guard;
    const LANGID userLanguage = GetUserDefaultUILanguage();
    if (LANGID named = namedLanguage("QOVI_USER_LANGUAGE")) {
        ASSERT_EQ(named, userLanguage) << "LC_ALL did not set the user's UI language";
    }
    const int titleFontHeight = AppGlobals.titleFontHeight;
    LANGID selected = 0;
    selectUILanguage(&selected);
    AppGlobals.titleFontHeight = titleFontHeight;
    EXPECT_EQ(userLanguage, selected);

    LANGID expected = ENGLISH_US;
    for (const Language& language : shippedLanguages)
        if (language.id == userLanguage)
            expected = userLanguage;
    if (LANGID named = namedLanguage("QOVI_EXPECTED_UI_LANGUAGE")) {
        ASSERT_EQ(named, expected);
    }
    wchar_t loaded[150] = {};
    LoadStringW(AppGlobals.hInstance, IDS_MAIN_CAPTION, loaded, 150);
    EXPECT_EQ(stringIn(expected, IDS_MAIN_CAPTION), loaded);
    HWND edit = createDialogFromResources(AppGlobals.hInstance, IDD_SITE_EDIT, PlainDialogProc);
    ASSERT_TRUE(edit);
    LanguageDialog reference(expected, IDD_SITE_EDIT);
    ASSERT_TRUE(reference.dialog);
    EXPECT_EQ(windowText(reference.dialog), windowText(edit));
    DestroyWindow(edit);
}
