// Import.h - what an import file changes in a bank.
//
// An account is a URL and a user name: the value of a site's first "text" or
// "email" item, empty when it has none. A new account is added; an account
// already saved with the same password stays as it is; one saved with
// another password keeps the saved one, or takes the file's when replace is
// asked for. The same account twice in the file is added once.
#pragma once

#include "Exchange.h"

#include <string>
#include <utility>
#include <vector>

namespace qovibank {

struct ImportCounts {
    size_t added = 0;      // new sites
    size_t replaced = 0;   // saved passwords replaced by the file's
    size_t unchanged = 0;  // already saved with the same password
    size_t kept = 0;       // already saved with another password, which was kept
    size_t repeated = 0;   // rows that repeat an earlier row of the file
    size_t skipped = 0;    // rows that are not logins
    size_t rejected = 0;   // rows that cannot be imported
};

struct ImportPlan {
    struct Replacement {
        const QOVIWebItem* site;      // the saved site
        const QOVIInputItem* item;    // and its password item
        const ImportEntry* entry;
        const std::wstring* password;  // the file's
    };
    COMMON_RESULT result = COMMON_OK;  // not OK when the bank could not be read: no plan then
    std::vector<const ImportEntry*> additions;
    std::vector<Replacement> replacements;
    std::vector<std::pair<size_t, std::wstring>> reports;  // a line of the file and what became of it
    ImportCounts counts;                                    // all but added and replaced
};

// Decides, for every entry of the file, what it changes in the bank; changes nothing.
ImportPlan planImport(const ImportFile& file, QOVIPasswordBank& bank, bool replace);

// The lines that close an import.
std::wstring importSummary(const ImportCounts& counts, bool dryRun);

}  // namespace qovibank
