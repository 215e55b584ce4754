// Exchange.h - the files qovibank imports and exports.
//
// CSV: a header row, then one row per site. The columns browsers export are
// understood: name (or title), url, username, password, note (or notes),
// and Firefox's httpRealm, formActionOrigin, guid and time columns, which
// are ignored; url, username and password are required. Our own optional
// columns carry what a browser does not know: form_id, form_name,
// username_field and password_field (the input items' names, "username"
// and "password" when absent), username_id and password_id. Each row
// becomes a site with a "text" item for the user name and a "password"
// item. Notes are not kept: the store has no place for them.
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

struct ImportFile {
    std::vector<ImportEntry> entries;
    std::vector<std::wstring> notes;  // harmless remarks, such as ignored columns
};

// Parse a whole file (UTF-8, a byte order mark allowed). False with a
// message that names the line when the file as a whole is unusable.
bool readCsv(const std::string& bytes, ImportFile& file, std::wstring& error);
bool readJson(const std::string& bytes, ImportFile& file, std::wstring& error);
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
