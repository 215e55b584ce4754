// Import: reading a file by its kind, and what it changes in a bank.
#include "Import.h"
#include "Console.h"

#include <map>

namespace qovibank {

ImportFile::~ImportFile()
{
    for (ImportEntry& entry : entries) {
        for (QOVINewInputItem& input : entry.site.inputs)
            wipe(input.value);
    }
}

bool readImport(const std::wstring& path, std::string& bytes, ImportFile& file, std::wstring& error)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    if (looksLikeJson(bytes))
        return readJson(bytes, file, error);
    return readCsv(bytes, csvDelimiter(path, bytes), file, error);
}

namespace {

const std::wstring kNone;

const std::wstring& valueOf(const QOVINewWebItem& site, bool user)
{
    for (const QOVINewInputItem& input : site.inputs) {
        if (user ? isUserNameType(input.type) : input.type == L"password")
            return input.value;
    }
    return kNone;
}

const QOVIInputItem* itemOf(const std::vector<QOVIInputItem*>& items, bool user)
{
    for (const QOVIInputItem* item : items) {
        if (user ? isUserNameType(item->getstrType()) : item->getstrType() == L"password")
            return item;
    }
    return nullptr;
}

std::wstring counted(size_t count, const wchar_t* one, const wchar_t* many)
{
    return std::to_wstring(count) + L" " + (count == 1 ? one : many);
}

}  // namespace

ImportPlan planImport(const ImportFile& file, QOVIPasswordBank& bank, bool replace)
{
    ImportPlan plan;
    ImportCounts& counts = plan.counts;
    counts.skipped = file.skipped;
    // The saved sites by URL, gathered once rather than searched per entry.
    std::vector<QOVIWebItem*> sites;
    if ((plan.result = bank.getWebItems(sites, L"", L"")) != COMMON_OK)
        return plan;
    std::multimap<std::wstring, const QOVIWebItem*> saved;
    for (const QOVIWebItem* site : sites)
        saved.emplace(site->getstrURL(), site);
    // The first entry of each account in the file.
    std::map<std::pair<std::wstring, std::wstring>, const ImportEntry*> accounts;

    for (const ImportEntry& entry : file.entries) {
        auto report = [&](const std::wstring& text) { plan.reports.emplace_back(entry.line, text); };
        if (!entry.rejected.empty()) {
            ++counts.rejected;
            report(L"rejected: " + entry.rejected);
            continue;
        }
        const std::wstring& user = valueOf(entry.site, true);
        const std::wstring& password = valueOf(entry.site, false);
        auto first = accounts.emplace(std::make_pair(entry.site.url, user), &entry);
        if (!first.second) {
            const ImportEntry& earlier = *first.first->second;
            if (valueOf(earlier.site, false) == password) {
                ++counts.repeated;
            } else {
                ++counts.rejected;
                report(L"rejected: the same account as line " + std::to_wstring(earlier.line) +
                       L" with another password");
            }
            continue;
        }
        // The saved sites of this account: one with the same password, or the first.
        const QOVIWebItem* other = nullptr;
        const QOVIInputItem* otherPassword = nullptr;
        bool same = false;
        auto range = saved.equal_range(entry.site.url);
        for (auto it = range.first; it != range.second && !same; ++it) {
            std::vector<QOVIInputItem*> items;
            if ((plan.result = bank.getInputItems(items, it->second)) != COMMON_OK)
                return plan;
            const QOVIInputItem* savedUser = itemOf(items, true);
            if ((savedUser ? savedUser->getstrValue() : kNone) != user)
                continue;
            const QOVIInputItem* savedPassword = itemOf(items, false);
            same = (savedPassword ? savedPassword->getstrValue() : kNone) == password;
            if (!other) {
                other = it->second;
                otherPassword = savedPassword;
            }
        }
        if (same) {
            ++counts.unchanged;
        } else if (!other) {
            plan.additions.push_back(&entry);
        } else if (replace && otherPassword) {
            plan.replacements.push_back(ImportPlan::Replacement{other, otherPassword, &entry, &password});
            report(L"already saved with a different password: replaced with the file's");
        } else {
            ++counts.kept;
            report(L"already saved with a different password: kept the saved one");
        }
    }
    return plan;
}

std::wstring importSummary(const ImportCounts& counts, bool dryRun)
{
    std::wstring text = dryRun ? L"Dry run: nothing was saved.\n" : L"";
    text += counted(counts.added, L"site", L"sites") + (dryRun ? L" to add.\n" : L" added.\n");
    auto line = [&](size_t count, const wchar_t* one, const wchar_t* many) {
        if (count)
            text += counted(count, one, many) + L".\n";
    };
    line(counts.unchanged, L"already saved with the same password: unchanged",
         L"already saved with the same password: unchanged");
    line(counts.kept, L"already saved with a different password: kept the saved one",
         L"already saved with a different password: kept the saved ones");
    const wchar_t* replaced = dryRun ? L"already saved with a different password: to replace with the file's"
                                     : L"already saved with a different password: replaced with the file's";
    line(counts.replaced, replaced, replaced);
    line(counts.repeated, L"row repeated in the file: taken once", L"rows repeated in the file: taken once");
    line(counts.skipped, L"row that is not a login: skipped", L"rows that are not logins: skipped");
    line(counts.rejected, L"row rejected", L"rows rejected");
    return text;
}

}  // namespace qovibank
