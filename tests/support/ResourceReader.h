// ResourceReader.h - the tool's resources (linked into the test executable)
// read as the resource loader holds them, one language at a time: unlike
// FindResourceExW these never fall back to another language.
#pragma once

#include <windows.h>
#include <set>
#include <string>

// The languages a resource exists in.
std::set<LANGID> languagesOf(LPCWSTR type, int id);
// The bytes of a resource in exactly that language; empty when it has none.
std::string resourceBytes(LPCWSTR type, int id, LANGID language);
// A string of one language's string table.
std::wstring stringIn(LANGID language, int id);

// A dialog made from one language's template with a procedure that does
// nothing, hidden; a page gets a main dialog of the same language as parent.
class LanguageDialog {
public:
    LanguageDialog(LANGID language, int id);
    ~LanguageDialog();
    LanguageDialog(const LanguageDialog&) = delete;
    LanguageDialog& operator=(const LanguageDialog&) = delete;
    HWND dialog = nullptr;

private:
    HWND host_ = nullptr;
};
