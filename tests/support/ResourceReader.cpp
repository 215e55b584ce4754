#include "ResourceReader.h"

#include "AppGlobals.h"
#include "resource.h"

static BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::set<LANGID>*>(found)->insert(language);
    return TRUE;
}

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

// A string table is stored in blocks of 16 counted strings.
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

static INT_PTR CALLBACK plainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

static HWND createDialogIn(LANGID language, int id, HWND parent)
{
    const std::string tmpl = resourceBytes(RT_DIALOG, id, language);
    return tmpl.empty() ? nullptr
                        : CreateDialogIndirectParamW(AppGlobals.hInstance,
                                                     reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), parent,
                                                     plainDialogProc, 0);
}

LanguageDialog::LanguageDialog(LANGID language, int id)
{
    if (id == IDD_SETTINGS_PAGE || id == IDD_SITE_LIST_PAGE)
        host_ = createDialogIn(language, IDD_MAIN, nullptr);
    dialog = createDialogIn(language, id, host_);
}

LanguageDialog::~LanguageDialog()
{
    if (dialog)
        DestroyWindow(dialog);
    if (host_)
        DestroyWindow(host_);
}
