// The shipped languages as the resource loader sees them: every dialog and
// string in every language, the same controls as en-US, texts that fit
// their controls, and English for a language that is not shipped.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
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

const int dialogIds[] = {IDD_MAIN, IDD_SETTINGS_PAGE, IDD_SITE_LIST_PAGE, IDD_SITE_EDIT, IDD_INPUT_ITEM_EDIT};

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

const void* resourceIn(LPCWSTR type, int id, LANGID language)
{
    if (!languagesOf(type, id).count(language))
        return nullptr;
    HRSRC info = FindResourceExW(AppGlobals.hInstance, type, MAKEINTRESOURCEW(id), language);
    HGLOBAL loaded = info ? LoadResource(AppGlobals.hInstance, info) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

// String id of one language's table: blocks of 16 counted strings.
std::wstring stringIn(LANGID language, int id)
{
    const WORD* entry = static_cast<const WORD*>(resourceIn(RT_STRING, id / 16 + 1, language));
    if (!entry)
        return {};
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
std::vector<int> stringIdsIn(LANGID language)
{
    std::vector<int> blocks, ids;
    EnumResourceNamesW(AppGlobals.hInstance, RT_STRING, collectName, reinterpret_cast<LONG_PTR>(&blocks));
    for (int block : blocks)
        for (int id = (block - 1) * 16; id < block * 16; ++id)
            if (!stringIn(language, id).empty())
                ids.push_back(id);
    return ids;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The dialog built from one language's template, hidden.
HWND createDialogIn(LANGID language, int id, HWND parent = nullptr)
{
    auto* tmpl = static_cast<const DLGTEMPLATE*>(resourceIn(RT_DIALOG, id, language));
    return tmpl ? CreateDialogIndirectParamW(AppGlobals.hInstance, tmpl, parent, PlainDialogProc, 0) : nullptr;
}

// A dialog with its parent when it is a page of the main window.
struct LanguageDialog {
    HWND host = nullptr, dialog = nullptr;
    LanguageDialog(LANGID language, int id)
    {
        bool page = id == IDD_SETTINGS_PAGE || id == IDD_SITE_LIST_PAGE;
        if (page)
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

// Id, class and style of each control, in template order.
using ControlSignature = std::tuple<int, std::wstring, LONG>;
std::vector<ControlSignature> controlsOf(HWND dialog)
{
    std::vector<ControlSignature> controls;
    for (HWND child : childrenOf(dialog))
        controls.emplace_back(GetDlgCtrlID(child), className(child), GetWindowLongW(child, GWL_STYLE));
    return controls;
}

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

const Language* shippedLanguage(LANGID id)
{
    for (const Language& language : shippedLanguages)
        if (language.id == id)
            return &language;
    return nullptr;
}

}  // namespace

// ------------------------------------------------------------ completeness --

TEST(Languages, TableMatchesTheLanguagesOfTheResources)
{
    std::set<LANGID> listed;
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        EXPECT_EQ(language.id, LANGIDFROMLCID(LocaleNameToLCID(language.locale, 0)))
            << "the LANGUAGE line does not match the locale name";
        listed.insert(language.id);
    }
    EXPECT_EQ(listed, languagesOf(RT_DIALOG, IDD_MAIN)) << "a language file is not listed here, or not included";
}

TEST(Languages, EveryDialogExistsInEveryLanguage)
{
    std::set<LANGID> listed;
    for (const Language& language : shippedLanguages)
        listed.insert(language.id);
    for (int id : dialogIds) {
        SCOPED_TRACE(id);
        EXPECT_EQ(listed, languagesOf(RT_DIALOG, id));
        for (const Language& language : shippedLanguages) {
            LanguageDialog d(language.id, id);
            EXPECT_TRUE(d.dialog) << narrow(language.locale) << ": the template does not load";
        }
    }
}

TEST(Languages, EveryStringExistsInEveryLanguage)
{
    const std::vector<int> ids = stringIdsIn(ENGLISH_US);
    // The ids the code loads; ResourceTest checks the English table has them.
    ASSERT_EQ(27u, ids.size());
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        for (int id : ids) {
            std::wstring text = stringIn(language.id, id);
            EXPECT_FALSE(text.empty()) << "string " << id << " is missing";
            EXPECT_LT(text.size(), static_cast<size_t>(STRING_BUFFER_CHARS)) << id;
        }
        // Nothing beyond the English ids either: a mistyped id loads nowhere.
        EXPECT_EQ(ids, stringIdsIn(language.id));
    }
}

TEST(Languages, StringsKeepTheirRules)
{
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
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

TEST(Languages, DialogsHaveTheControlsOfEnglish)
{
    for (int id : dialogIds) {
        SCOPED_TRACE(id);
        LanguageDialog english(ENGLISH_US, id);
        ASSERT_TRUE(english.dialog);
        const std::vector<ControlSignature> expected = controlsOf(english.dialog);
        const LONG expectedStyle = GetWindowLongW(english.dialog, GWL_STYLE);
        for (const Language& language : shippedLanguages) {
            SCOPED_TRACE(narrow(language.locale));
            LanguageDialog translated(language.id, id);
            ASSERT_TRUE(translated.dialog);
            EXPECT_EQ(expectedStyle, GetWindowLongW(translated.dialog, GWL_STYLE));
            const std::vector<ControlSignature> controls = controlsOf(translated.dialog);
            ASSERT_EQ(expected.size(), controls.size());
            for (size_t i = 0; i < controls.size(); ++i) {
                EXPECT_EQ(std::get<0>(expected[i]), std::get<0>(controls[i])) << "control " << i;
                EXPECT_EQ(std::get<1>(expected[i]), std::get<1>(controls[i])) << std::get<0>(controls[i]);
                EXPECT_EQ(std::get<2>(expected[i]), std::get<2>(controls[i])) << std::get<0>(controls[i]);
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

SIZE clientSize(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
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
// one line; a label wider than its button is cut at both ends. MeasureString
// includes the padding DrawString leaves.
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
                                   &bounds);
            // The picture's frame and a pixel of air at each side.
            EXPECT_LE(bounds.Width + 6, static_cast<float>(room.cx)) << c.button << " \"" << narrow(label) << "\"";
            EXPECT_LE(bounds.Height, static_cast<float>(room.cy) + 2) << c.button;
        }
    }
    ReleaseDC(nullptr, dc);
}

// The first column of the edit dialog's input list is 100 pixels wide at
// 96 DPI and shows the row labels; the list view cuts longer ones with "...".
TEST(Languages, RowLabelsFitTheFirstInputColumn)
{
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        LanguageDialog d(language.id, IDD_SITE_EDIT);
        ASSERT_TRUE(d.dialog);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(d.dialog, IDC_SITE_EDIT_INPUTS), WM_GETFONT, 0, 0));
        for (int id : {IDS_ROW_USER_NAME, IDS_ROW_PASSWORD, IDS_INPUT_COLUMN_ITEM}) {
            const std::wstring text = stringIn(language.id, id);
            // The list view leaves a few pixels of margin at each side.
            EXPECT_LE(measure(font, text, 0, false, false).cx + 12, 100) << narrow(text);
        }
    }
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
    if (LANGID named = namedLanguage("QOVI_USER_LANGUAGE"))
        ASSERT_EQ(named, userLanguage) << "LC_ALL did not set the user's UI language";
    const int titleFontHeight = AppGlobals.titleFontHeight;
    LANGID selected = 0;
    selectUILanguage(&selected);
    AppGlobals.titleFontHeight = titleFontHeight;
    EXPECT_EQ(userLanguage, selected);

    const Language* shipped = shippedLanguage(userLanguage);
    const LANGID expected = shipped ? shipped->id : ENGLISH_US;
    if (LANGID named = namedLanguage("QOVI_EXPECTED_UI_LANGUAGE"))
        ASSERT_EQ(named, expected);
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
