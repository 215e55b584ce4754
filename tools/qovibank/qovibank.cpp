// qovibank - console tool on the password bank of the current user.
//
//   qovibank import [--dry-run] [--replace] FILE
//   qovibank export [--format json|csv] [--output FILE]
//   qovibank list
//   qovibank settings [--pwdbank on|off] [--bubble on|off]
//
// It works on the same store, and the same QOVI_DATA_DIR, as the settings
// tool. Exit codes: 0 done; 1 import done but some rows were rejected;
// 2 bad command line; 3 the input or output file could not be used (nothing
// was saved); 4 the store could not be loaded or saved.
#include "Console.h"
#include "Exchange.h"
#include "Import.h"
#include "QOVICommon.h"

#include <windows.h>

#include <map>
#include <unordered_set>

using namespace qovibank;

namespace {

const wchar_t kSource[] = L".\\tools\\qovibank\\qovibank";

enum Exit { Done = 0, SomeRejected = 1, Usage = 2, BadFile = 3, StoreFailed = 4 };

const wchar_t kUsage[] =
    L"usage: qovibank import [--dry-run] [--replace] FILE\n"
    L"       qovibank export [--format json|csv] [--output FILE]\n"
    L"       qovibank list\n"
    L"       qovibank settings [--pwdbank on|off] [--bubble on|off]\n"
    L"Import reads the CSV or tab-separated export of a browser or password manager\n"
    L"(Chrome, Edge, Firefox, Safari, Bitwarden, KeePassXC, 1Password, LastPass, ...)\n"
    L"or a JSON file made by export. An account already saved with another password\n"
    L"keeps the saved one unless --replace is given; --dry-run saves nothing.\n"
    L"Exit codes: 0 done, 1 rows rejected, 2 usage, 3 bad file, 4 store error.\n";

int usage(const std::wstring& problem)
{
    if (!problem.empty())
        writeErr(L"qovibank: " + problem + L"\n");
    writeErr(kUsage);
    return Usage;
}

std::wstring resultText(COMMON_RESULT result)
{
    switch (result) {
    case COMMON_ERR_IO: return L"the bank file could not be read or written";
    case COMMON_ERR_CORRUPT: return L"the bank file is damaged or cannot be decrypted; it was kept aside (see QOVI.log)";
    case COMMON_ERR_LOCKED: return L"another program holds the bank lock";
    case COMMON_ERR_NEWER_FORMAT: return L"the bank file was written by a newer version";
    case COMMON_ERR_CRYPTO: return L"the system's encryption is unavailable";
    default: return L"error " + std::to_wstring(result);
    }
}

// Options after the command: "--name value" pairs, each name at most once.
bool readOptions(int argc, wchar_t** argv, int first, const std::vector<std::wstring>& allowed,
                 std::map<std::wstring, std::wstring>& options, std::wstring& problem)
{
    for (int i = first; i < argc; i += 2) {
        std::wstring name = argv[i];
        bool known = false;
        for (const std::wstring& option : allowed)
            known = known || option == name;
        if (!known) {
            problem = L"unknown option '" + name + L"'";
            return false;
        }
        if (i + 1 >= argc) {
            problem = L"option " + name + L" needs a value";
            return false;
        }
        if (!options.emplace(name, argv[i + 1]).second) {
            problem = L"option " + name + L" given twice";
            return false;
        }
    }
    return true;
}

// What the last load found, for stderr; empty when there is nothing to say.
std::wstring loadText(const QOVILoadReport& report, COMMON_RESULT result)
{
    switch (report.outcome) {
    case QOVI_LOAD_OK:
        return std::wstring();
    case QOVI_LOAD_RESTORED:
        return L"warning: the password bank file was " +
               (report.keptAside.empty() ? std::wstring(L"missing") : L"damaged (kept as " + report.keptAside + L")") +
               L"; the previous saved state was restored from " + report.restoredFrom;
    case QOVI_LOAD_NOTHING_READABLE:
        return L"cannot load the password bank: it is damaged and no earlier saved state could be read; the damaged "
               L"file was kept as " + report.keptAside + L", and the bank is empty now";
    case QOVI_LOAD_BUSY:
        return L"cannot load the password bank: another program is using it; try again";
    case QOVI_LOAD_FOLDER_UNUSABLE:
        return L"cannot load the password bank: the data folder cannot be used: " + report.folder;
    case QOVI_LOAD_NEWER_VERSION:
        return L"cannot load the password bank: " + resultText(result) + L"; it was left as it is";
    case QOVI_LOAD_FAILED:
        break;
    }
    return L"cannot load the password bank: " + resultText(result) + L"; no file was changed; try again";
}

QOVIUserInfo* loadUser(COMMON_RESULT& result)
{
    // Without the folder the load fails too, and its text below says why.
    if (createQOVIAppUserDirectory() != COMMON_OK)
        QOVILog::debugLog(kSource, __LINE__, L"The user's data folder could not be created.");
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    result = user->load(1);
    std::wstring text = loadText(user->getLastLoadReport(), result);
    if (!text.empty())
        writeErr(L"qovibank: " + text + L"\n");
    return user;
}

bool readWholeFile(const std::wstring& path, std::string& bytes, std::wstring& problem)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem = L"cannot open " + path + L": " + errorText(GetLastError());
        return false;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    if (size.QuadPart > 256 * 1024 * 1024) {
        CloseHandle(file);
        problem = path + L" is too large for an import";
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    BOOL ok = bytes.empty() || ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    if (!ok || got != bytes.size()) {
        problem = L"cannot read " + path;
        wipe(bytes);
        return false;
    }
    return true;
}

// How many of these sites the bank still lists; false when it cannot say.
bool countListed(QOVIPasswordBank* bank, const std::vector<QOVIWebItem*>& sites, size_t& count)
{
    std::vector<QOVIWebItem*> listed;
    if (bank->getWebItems(listed, L"", L"") != COMMON_OK)
        return false;
    std::unordered_set<QOVIWebItem*> present(listed.begin(), listed.end());
    count = 0;
    for (QOVIWebItem* site : sites)
        count += present.count(site);
    return true;
}

// Makes the plan's changes in memory; what the store refuses is rejected.
// The sites added are listed in added. Not OK when the bank itself failed:
// then nothing may be saved.
COMMON_RESULT applyPlan(QOVIPasswordBank& bank, ImportPlan& plan, std::vector<QOVIWebItem*>& added)
{
    for (const ImportEntry* entry : plan.additions) {
        std::wstring name;
        COMMON_RESULT result = bank.addNewAccount(entry->site, &name);
        if (result == COMMON_OK) {
            if ((result = bank.getWebItems(added, L"", name)) != COMMON_OK)
                return result;
            ++plan.counts.added;
        } else if (result == COMMON_ERR_EXISTS) {
            ++plan.counts.unchanged;
        } else {
            ++plan.counts.rejected;
            plan.reports.emplace_back(entry->line, L"rejected: the store refused the site");
        }
    }
    for (const ImportPlan::Replacement& change : plan.replacements) {
        if (bank.modifyInputItemValue(change.site, change.item, *change.password) == COMMON_OK) {
            ++plan.counts.replaced;
        } else {
            ++plan.counts.rejected;
            plan.reports.emplace_back(change.entry->line, L"rejected: the store refused the new password");
        }
    }
    return COMMON_OK;
}

int importFile(int argc, wchar_t** argv)
{
    std::wstring path;
    bool dryRun = false, replace = false;
    for (int i = 2; i < argc; ++i) {
        std::wstring argument = argv[i];
        if (argument == L"--dry-run")
            dryRun = true;
        else if (argument == L"--replace")
            replace = true;
        else if (argument.compare(0, 2, L"--") == 0)
            return usage(L"unknown option '" + argument + L"'");
        else if (!path.empty())
            return usage(L"import takes one file name");
        else
            path = argument;
    }
    if (path.empty())
        return usage(L"import takes one file name");
    std::string bytes;
    std::wstring problem;
    if (!readWholeFile(path, bytes, problem)) {
        writeErr(L"qovibank: " + problem + L"; nothing was imported\n");
        return BadFile;
    }
    ImportFile file;
    bool parsed = readImport(path, bytes, file, problem);
    wipe(bytes);
    if (!parsed) {
        writeErr(L"qovibank: " + path + L": " + problem + L"; nothing was imported\n");
        return BadFile;
    }
    for (const std::wstring& note : file.notes)
        writeErr(L"qovibank: " + path + L": " + note + L"\n");

    COMMON_RESULT result;
    QOVIUserInfo* user = loadUser(result);
    if (result != COMMON_OK)
        return StoreFailed;
    QOVIPasswordBank* bank = user->getPWDBankInfo();
    ImportPlan plan = planImport(file, *bank, replace);
    std::vector<QOVIWebItem*> addedSites;
    ImportCounts& counts = plan.counts;
    result = plan.result;
    if (dryRun) {
        counts.added = plan.additions.size();
        counts.replaced = plan.replacements.size();
    } else if (result == COMMON_OK) {
        result = applyPlan(*bank, plan, addedSites);
    }
    if (result != COMMON_OK) {
        writeErr(L"qovibank: cannot read the password bank: " + resultText(result) + L"; nothing was imported\n");
        return StoreFailed;
    }
    for (const auto& report : plan.reports)
        writeErr(L"qovibank: " + path + L": line " + std::to_wstring(report.first) + L": " + report.second + L"\n");
    if (counts.added + counts.replaced > 0 && !dryRun) {
        result = user->save(1);
        if (result != COMMON_OK) {
            writeErr(L"qovibank: cannot save the password bank: " + resultText(result) + L"; nothing was imported\n");
            return StoreFailed;
        }
        // Accounts another program saved meanwhile were left out by the save.
        size_t kept = 0;
        if (countListed(bank, addedSites, kept)) {
            counts.unchanged += counts.added - kept;
            counts.added = kept;
        } else {
            writeErr(L"qovibank: saved, but the count of added sites may include some another program added first\n");
        }
    }
    QOVILog::debugLog(kSource, __LINE__,
                      std::wstring(dryRun ? L"Dry run of an import: " : L"Imported: ") + std::to_wstring(counts.added) +
                          L" added, " + std::to_wstring(counts.replaced) + L" replaced, " +
                          std::to_wstring(counts.unchanged + counts.kept + counts.repeated) + L" already there, " +
                          std::to_wstring(counts.skipped) + L" skipped, " + std::to_wstring(counts.rejected) +
                          L" rejected.");
    writeOut(importSummary(counts, dryRun));
    return counts.rejected ? SomeRejected : Done;
}

// Every site with its input items; false (and said) when the bank cannot be read.
bool allSites(QOVIPasswordBank* bank, std::vector<ExportSite>& sites)
{
    std::vector<QOVIWebItem*> items;
    COMMON_RESULT result = bank->getWebItems(items, L"", L"");
    for (size_t i = 0; i < items.size() && result == COMMON_OK; ++i) {
        ExportSite site{items[i], {}};
        result = bank->getInputItems(site.inputs, items[i]);
        sites.push_back(std::move(site));
    }
    if (result != COMMON_OK)
        writeErr(L"qovibank: cannot read the password bank: " + resultText(result) + L"\n");
    return result == COMMON_OK;
}

// A file that could not be written whole is deleted: it would hold some of
// the passwords in plain and look like a complete export.
bool writeWholeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    DWORD error = ok ? ERROR_SUCCESS : GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(path.c_str());
        SetLastError(error);
    }
    return ok;
}

// Standard output that cannot take the text (a full disk, a closed pipe)
// fails the command.
bool writeOutOrComplain(const std::wstring& text)
{
    if (writeOut(text))
        return true;
    DWORD error = GetLastError();
    writeErr(L"qovibank: cannot write to the standard output: " + errorText(error) + L"\n");
    return false;
}

int exportFile(int argc, wchar_t** argv)
{
    std::map<std::wstring, std::wstring> options;
    std::wstring problem;
    if (!readOptions(argc, argv, 2, {L"--format", L"--output"}, options, problem))
        return usage(problem);
    std::wstring format = options.count(L"--format") ? options[L"--format"] : L"json";
    if (format != L"json" && format != L"csv")
        return usage(L"the format must be json or csv");

    COMMON_RESULT result;
    QOVIUserInfo* user = loadUser(result);
    if (result != COMMON_OK)
        return StoreFailed;
    std::vector<ExportSite> sites;
    if (!allSites(user->getPWDBankInfo(), sites))
        return StoreFailed;
    std::vector<std::wstring> lossy;
    std::string text = format == L"json" ? writeJson(sites) : writeCsv(sites, lossy);
    for (const std::wstring& name : lossy)
        writeErr(L"qovibank: warning: the input items of site \"" + name +
                 L"\" do not fit the CSV columns (one user name, one password); use --format json to keep them all\n");
    writeErr(L"qovibank: warning: the exported file holds your passwords in plain text; keep it safe and delete it "
             L"when done\n");
    bool written = true;
    if (options.count(L"--output")) {
        written = writeWholeFile(options[L"--output"], text);
        if (!written)
            writeErr(L"qovibank: cannot write " + options[L"--output"] + L": " + errorText(GetLastError()) + L"\n");
    } else {
        std::wstring wide = fromUtf8(text);
        written = writeOutOrComplain(wide);
        wipe(wide);
    }
    wipe(text);
    QOVILog::debugLog(kSource, __LINE__,
                      (written ? L"Exported " : L"Failed to export ") + std::to_wstring(sites.size()) +
                          L" sites as " + format + L".");
    return written ? Done : BadFile;
}

// A name, URL or user name may hold tabs and line breaks that would split
// or forge lines of the list: control characters and the backslash are
// written as escapes, so every line is one site.
std::wstring escaped(const std::wstring& text)
{
    std::wstring result;
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'\t' || c == L'\n' || c == L'\r') {
            result += L'\\';
            result += c == L'\t' ? L't' : c == L'\n' ? L'n' : c == L'\r' ? L'r' : L'\\';
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029) {
            static const wchar_t digits[] = L"0123456789ABCDEF";
            result += L"\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                result += digits[(c >> shift) & 15];
        } else {
            result += c;
        }
    }
    return result;
}

int listSites(int argc, wchar_t**)
{
    if (argc != 2)
        return usage(L"list takes no options");
    COMMON_RESULT result;
    QOVIUserInfo* user = loadUser(result);
    if (result != COMMON_OK)
        return StoreFailed;
    // One line per site: name, URL and user names, separated by tabs. The
    // values of other input items (passwords above all) are never shown.
    std::vector<ExportSite> sites;
    if (!allSites(user->getPWDBankInfo(), sites))
        return StoreFailed;
    std::wstring text;
    for (const ExportSite& site : sites) {
        std::wstring users;
        for (const QOVIInputItem* input : site.inputs) {
            if (isUserNameType(input->getstrType()))
                users += (users.empty() ? L"" : L", ") + escaped(input->getstrValue());
        }
        text += escaped(site.site->getstrWebName()) + L"\t" + escaped(site.site->getstrURL()) + L"\t" + users + L"\n";
    }
    return writeOutOrComplain(text) ? Done : BadFile;
}

bool onOff(const std::wstring& value, int& flag)
{
    if (value == L"on" || value == L"off") {
        flag = value == L"on" ? 1 : 0;
        return true;
    }
    return false;
}

int settings(int argc, wchar_t** argv)
{
    std::map<std::wstring, std::wstring> options;
    std::wstring problem;
    if (!readOptions(argc, argv, 2, {L"--pwdbank", L"--bubble"}, options, problem))
        return usage(problem);
    int pwdBank = -1, bubble = -1;
    if (options.count(L"--pwdbank") && !onOff(options[L"--pwdbank"], pwdBank))
        return usage(L"--pwdbank takes on or off");
    if (options.count(L"--bubble") && !onOff(options[L"--bubble"], bubble))
        return usage(L"--bubble takes on or off");

    COMMON_RESULT result;
    QOVIUserInfo* user = loadUser(result);
    if (result != COMMON_OK)
        return StoreFailed;
    if (pwdBank >= 0)
        user->setPWDBankEnable(pwdBank);
    if (bubble >= 0)
        user->setBubbleEnable(bubble);
    if (!options.empty()) {
        result = user->save(1);
        if (result != COMMON_OK) {
            writeErr(L"qovibank: cannot save the settings: " + resultText(result) + L"\n");
            return StoreFailed;
        }
        QOVILog::debugLog(kSource, __LINE__, L"Changed the settings.");
    }
    writeOut(std::wstring(L"pwdbank: ") + (user->getPWDBankEnable() ? L"on" : L"off") + L"\nbubble: " +
             (user->getBubbleEnable() ? L"on" : L"off") + L"\n");
    return Done;
}

int run(int argc, wchar_t** argv)
{
    if (argc < 2)
        return usage(L"");
    std::wstring command = argv[1];
    if (command == L"import")
        return importFile(argc, argv);
    if (command == L"export")
        return exportFile(argc, argv);
    if (command == L"list")
        return listSites(argc, argv);
    if (command == L"settings")
        return settings(argc, argv);
    if (command == L"--help" || command == L"-h" || command == L"help") {
        writeOut(kUsage);
        return Done;
    }
    return usage(L"unknown command '" + command + L"'");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int code;
    try {
        code = run(argc, argv);
    } catch (const std::exception&) {
        writeErr(L"qovibank: out of memory or an internal error\n");
        code = StoreFailed;
    }
    QOVIUserInfoManager::releaseUsers();
    QOVILog::endLog();
    return code;
}
