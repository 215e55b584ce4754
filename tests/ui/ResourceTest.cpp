// The program's resources as the loader sees them: the skin pictures, and
// every shipped language with every dialog and string of en-US and skinned
// button labels that fit.
#include <algorithm>
#include <cwctype>
#include <tuple>
#include "ResourceReader.h"
#include "UiFixture.h"

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

}  // namespace

// ----------------------------------------------------------------- skin --

// Sizes and the second copies (byte for byte); their colours show where the
// skin paints them (SkinTest).
TEST(Resources, SkinPicturesHaveTheirSizesAndCopies)
{
    const struct { int id, width, height, copyOf; } cases[] = {
        {IDP_MAIN_BACKGROUND, 515, 419, 0}, {IDP_EDIT_BACKGROUND, 515, 419, IDP_MAIN_BACKGROUND},
        {IDP_BUTTON_NORMAL, 67, 21, 0}, {IDP_BUTTON2_NORMAL, 67, 21, IDP_BUTTON_NORMAL},
        {IDP_BUTTON_HOVER, 67, 21, 0}, {IDP_BUTTON2_HOVER, 67, 21, IDP_BUTTON_HOVER},
        {IDP_BUTTON_PRESSED, 67, 21, 0}, {IDP_BUTTON2_PRESSED, 67, 21, IDP_BUTTON_PRESSED},
        {IDP_SMALL_BUTTON_NORMAL, 64, 25, 0}, {IDP_SMALL_BUTTON_HOVER, 64, 25, 0},
        {IDP_SMALL_BUTTON_PRESSED, 64, 25, 0}, {IDP_HELP_ICON, 20, 20, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const std::string bytes = resourceBytes(L"PNG", c.id, ENGLISH_US);
        EXPECT_LE(bytes.size(), 16000u) << "skin pictures are decoded at every paint; keep them small";
        EXPECT_TRUE(!c.copyOf || bytes == resourceBytes(L"PNG", c.copyOf, ENGLISH_US));
        SkinImage image;
        image.load(c.id, SkinImageKind::Png);
        ASSERT_TRUE(image.image()) << "no PNG resource in language 1033";
        EXPECT_EQ(c.width * 1000 + c.height, int(image.image()->GetWidth() * 1000 + image.image()->GetHeight()));
    }
}

// --------------------------------------------------------------- languages --

// Every language: every string id the code loads, within the load buffer, headers without "%"
// (they are wsprintfW formats), the main dialog's caption (by which a second
// start finds the first) equal to string 1001 and unlike the boxes' captions;
// every dialog with the controls of en-US (id, class and style, in order);
// the skinned labels (GDI+, centred on one line, cut at both ends when too
// wide) fitting their buttons with room for the picture's frame.
TEST(Languages, EveryLanguageHasTheStringsAndControlsOfEnglishAndLabelsThatFit)
{
    auto controlsOf = [](HWND dialog) {
        std::vector<std::tuple<int, std::wstring, LONG>> controls;
        for (HWND child : childrenOf(dialog))
            controls.emplace_back(GetDlgCtrlID(child), className(child), GetWindowLongW(child, GWL_STYLE));
        return controls;
    };
    const int skinnedLabels[][2] = {{IDC_MAIN_APPLY, IDS_BUTTON_APPLY},      {IDC_MAIN_CLOSE, IDS_BUTTON_CLOSE},
                                    {IDC_SITE_LIST_OPEN, IDS_BUTTON_OPEN},   {IDC_SITE_LIST_DELETE, IDS_BUTTON_DELETE},
                                    {IDC_SITE_EDIT_SAVE, IDS_BUTTON_APPLY},  {IDC_SITE_EDIT_CLOSE, IDS_BUTTON_CLOSE_EDIT},
                                    {IDC_SITE_EDIT_OPEN, IDS_BUTTON_OPEN},   {IDC_SITE_EDIT_REMOVE, IDS_BUTTON_DELETE}};
    Gdiplus::FontFamily family(skinFaceName.c_str(), nullptr);
    Gdiplus::Font labelFont(&family, skinLabelEmSize(1.0f), Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    HDC screen = GetDC(nullptr);
    Gdiplus::Graphics graphics(screen);
    std::set<LANGID> listed;
    for (const Language& language : shippedLanguages) {
        SCOPED_TRACE(narrow(language.locale));
        EXPECT_EQ(language.id, LANGIDFROMLCID(LocaleNameToLCID(language.locale, 0))) << "not the LANGUAGE line's";
        listed.insert(language.id);
        for (int id : usedStringIds) {
            const size_t length = stringIn(language.id, id).size();
            EXPECT_TRUE(length > 0 && length < STRING_BUFFER_CHARS) << id;
        }
        for (int id : {IDS_INPUT_COLUMN_ITEM, IDS_INPUT_COLUMN_VALUE, IDS_SITE_COLUMN_NAME})
            EXPECT_EQ(std::wstring::npos, stringIn(language.id, id).find(L'%')) << id;
        const std::wstring caption = stringIn(language.id, IDS_MAIN_CAPTION);
        EXPECT_TRUE(caption != stringIn(language.id, IDS_CAPTION_ERROR) &&
                    caption != stringIn(language.id, IDS_CAPTION_INFO));
        for (int id : dialogIds) {
            SCOPED_TRACE(id);
            LanguageDialog english(ENGLISH_US, id), d(language.id, id);
            ASSERT_TRUE(d.dialog) << "the template does not load";
            EXPECT_TRUE(id != IDD_MAIN || caption == windowText(d.dialog));
            EXPECT_EQ(GetWindowLongW(english.dialog, GWL_STYLE), GetWindowLongW(d.dialog, GWL_STYLE));
            EXPECT_TRUE(controlsOf(english.dialog) == controlsOf(d.dialog));
            for (const auto& label : skinnedLabels) {
                RECT room = {};
                GetClientRect(GetDlgItem(d.dialog, label[0]), &room);
                std::wstring text = stringIn(language.id, label[1]);
                text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());  // drawn as an underline
                Gdiplus::RectF bounds;
                graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), &labelFont, Gdiplus::PointF(0, 0),
                                       &bounds);
                EXPECT_TRUE(!room.right || (bounds.Width + 6 <= room.right && bounds.Height <= room.bottom + 2))
                    << "\"" << narrow(text) << "\"";
            }
        }
    }
    for (int id : dialogIds)
        EXPECT_EQ(listed, languagesOf(RT_DIALOG, id)) << id << ": a language file is not listed here, or lacks it";
    ReleaseDC(nullptr, screen);
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
