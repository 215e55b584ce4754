// Exchange.h - the files qovibank imports and exports.
//
// CSV, or tab-separated values: a header row, then one row per account.
// Columns are recognised by what they hold, under the names the common
// browsers and password managers export (one table in CsvFile.cpp); a url,
// a user name and a password column are required. Our own export adds the
// columns a browser does not know: form_id, form_name, username_field and
// password_field (the input items' names), username_id and password_id.
// Each row becomes a site with a "text" item for the user name (none when
// it is empty, unless our own columns name the item) and a "password" item.
// Notes and the other columns are not kept: the store has no place for them.
//
// JSON: our export, which holds every field of every site:
//   {"format":"qovibank","version":1,"sites":[{"name":"...","url":"...",
//     "formId":"...","formName":"...","inputs":[{"id":"...","name":"...",
//     "type":"text","value":"..."}]}]}
#pragma once

#include "QOVICommon.h"

#include <string>
#include <vector>

namespace qovibank {

struct ImportEntry {
    size_t line = 0;       // where the row or site starts in the file
    QOVINewWebItem site;
    std::wstring rejected;  // why the entry cannot be imported; empty when it can
};

// A parsed file. It holds passwords in plain and wipes them when it goes.
struct ImportFile {
    std::vector<ImportEntry> entries;
    std::vector<std::wstring> notes;  // harmless remarks, such as ignored columns
    size_t skipped = 0;               // rows that are not logins (notes, cards, identities)

    ImportFile() = default;
    ImportFile(const ImportFile&) = delete;
    ImportFile& operator=(const ImportFile&) = delete;
    ~ImportFile();
};

// Parses a whole import file: our JSON when it looks like JSON, tab-separated
// values when it is named .tsv or its header line holds tabs and no commas,
// CSV otherwise; UTF-8 with or without a byte order mark (taken off bytes).
// False when the file as a whole is unusable, with a message that names the
// line and never quotes a value from the file.
bool readImport(const std::wstring& path, std::string& bytes, ImportFile& file, std::wstring& error);

bool readCsv(const std::string& bytes, wchar_t delimiter, ImportFile& file, std::wstring& error);
bool readJson(const std::string& bytes, ImportFile& file, std::wstring& error);
// The delimiter of a CSV or tab-separated file.
wchar_t csvDelimiter(const std::wstring& path, const std::string& bytes);
// True when the text looks like JSON rather than CSV.
bool looksLikeJson(const std::string& bytes);

struct ExportSite {
    const QOVIWebItem* site;
    std::vector<QOVIInputItem*> inputs;
};

std::string writeJson(const std::vector<ExportSite>& sites);
// Sites whose items do not fit the CSV columns are named in lossy.
std::string writeCsv(const std::vector<ExportSite>& sites, std::vector<std::wstring>& lossy);

}  // namespace qovibank
