// The bank file on disk: secrecy, generations, damage, failing calls, the log.
#include "StoreFixture.h"

#include <algorithm>
#include <functional>
#include <map>
#include <regex>

using namespace storetest;

namespace {

typedef std::map<std::wstring, std::string> Files;

// Every file of a folder with its bytes, but the lock file (its existence is
// no state of the bank).
Files snapshot(const std::wstring& folder)
{
    Files files;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L".." && name != L"PasswordBank.qovi.lock")
            files[name] = qovitest::readFileBytes(folder + L"\\" + name);
    }
    FindClose(find);
    return files;
}

// Whether a file holds these bytes; with keptAside, a file kept aside as damaged.
bool holding(const Files& files, const std::string& bytes, bool keptAside = true)
{
    return std::any_of(files.begin(), files.end(), [&](const Files::value_type& file) {
        return file.second == bytes && (!keptAside || file.first.find(L".damaged-") != std::wstring::npos);
    });
}

class StoreFileTest : public StoreTest {
protected:
    // Two saved generations: the backup holds the first, the file the second.
    void saveTwoGenerations()
    {
        ASSERT_EQ(COMMON_OK, user()->load(1));
        ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"Keep", L"https://keep.example", L"kim", L"first")));
        ASSERT_EQ(COMMON_OK, user()->save(1));
        first = describe();
        bank()->modifyInputItemValue(L"Keep", L"password", L"pass", L"second");
        bank()->addWebItem(loginSite(L"Two", L"https://two.example", L"tom", L"t2"));
        ASSERT_EQ(COMMON_OK, user()->save(1));
        second = describe();
    }

    QOVILoadOutcome outcome() { return user()->getLastLoadReport().outcome; }
    bool kept(const std::string& bytes) { return holding(snapshot(userFolder()), bytes); }

    std::wstring first, second;
};

TEST_F(StoreFileTest, NothingSecretIsReadableOnDisk)
{
    const std::vector<std::wstring> secrets = {L"Pw-7d1c8f", L"user-93ab51", L"Site-5be2f0", L"host-0c77a9",
                                               L"p\u00e4ss-\u5bc6\u7801"};
    ASSERT_EQ(COMMON_OK, user()->load(1));
    bank()->addWebItem(QOVINewWebItem{secrets[2], L"https://" + secrets[3] + L".example", L"f", L"n",
                                      {{L"u", L"username", L"text", secrets[1]},
                                       {L"p", L"password", L"password", secrets[0]},
                                       {L"q", L"other", L"password", secrets[4]}}});
    ASSERT_EQ(COMMON_OK, user()->save(1));
    bank()->modifyInputItemValue(secrets[2], L"password", L"p", secrets[0] + L"-2");
    ASSERT_EQ(COMMON_OK, user()->save(1));  // the first generation becomes the backup
    ASSERT_EQ(COMMON_OK, reload());
    ASSERT_EQ(secrets[0] + L"-2", value(secrets[2], 1));
    QOVIUserInfoManager::releaseUsers();
    QOVILog::endLog();

    Files files = snapshot(userFolder());
    ASSERT_EQ(2u, files.size());  // the bank file and the backup: no leftovers
    // Two saves under one key: never under one nonce (GCM would then give
    // the content and the key for its tags away).
    auto nonceOf = [](const std::string& file) { return file.substr(file.find("\"nonce\":"), 30); };
    EXPECT_NE(nonceOf(files.begin()->second), nonceOf(files.rbegin()->second));
    files[L"QOVI.log"] = qovitest::readFileBytes(logFile());
    for (const auto& file : files) {
        ASSERT_FALSE(file.second.empty()) << qovitest::narrow(file.first);
        for (const std::wstring& secret : secrets) {
            EXPECT_EQ(std::string::npos, file.second.find(qovitest::narrow(secret))) << qovitest::narrow(file.first);
            const std::string utf16(reinterpret_cast<const char*>(secret.data()), secret.size() * sizeof(wchar_t));
            EXPECT_EQ(std::string::npos, file.second.find(utf16)) << qovitest::narrow(file.first);
        }
    }
}

// However the bank file is damaged, the load keeps it aside untouched and
// restores the previous generation; when none reads (no backup, or a damaged
// one), it says so, starts with an empty bank and keeps every unreadable
// file. Two saves afterwards keep what was restored plus the new changes. A
// flipped bit anywhere is damage: in the version field too, which is
// believed only once the file authenticates.
TEST_F(StoreFileTest, DamagedBankFileGivesBackThePreviousGenerationOrAnEmptyBank)
{
    enum Backup { Readable, Missing, Damaged };
    struct Trial { std::string what; std::function<std::string(std::string)> damage; Backup backup; };
    auto notABank = [](std::string) { return std::string("name,url\nx,y\n"); };
    std::vector<Trial> trials = {
        {"version made 4", [](std::string b) { b[b.find("\"version\":") + 10] = '4'; return b; }, Readable},
        {"empty", [](std::string) { return std::string(); }, Readable},
        {"not a bank file", notABank, Readable},
        {"not a bank file, no backup", notABank, Missing},
        {"not a bank file, nor the backup", notABank, Damaged},
    };
    saveTwoGenerations();
    const size_t size = qovitest::readFileBytes(bankFile()).size();
    const size_t headerEnd = qovitest::readFileBytes(bankFile()).find('\n');
    for (size_t at = 0; at < size; at += at <= headerEnd ? 9 : 97)
        trials.push_back({"bit flipped at " + std::to_string(at), [at](std::string b) { b[at] ^= 0x10; return b; },
                          Readable});
    for (size_t keep : {size_t(1), headerEnd, headerEnd + 1, size / 2, size - 16, size - 1})
        trials.push_back({"cut to " + std::to_string(keep), [keep](std::string b) { return b.substr(0, keep); },
                          Readable});

    for (const Trial& trial : trials) {
        SCOPED_TRACE(trial.what);
        startAfresh();
        saveTwoGenerations();
        if (trial.backup == Missing)
            DeleteFileW((bankFile() + L".bak").c_str());
        if (trial.backup == Damaged)
            ASSERT_TRUE(qovitest::writeFileBytes(bankFile() + L".bak", "garbage"));
        std::string damaged = trial.damage(qovitest::readFileBytes(bankFile()));
        ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), damaged));

        const bool restored = trial.backup == Readable;
        EXPECT_EQ(restored ? COMMON_OK : COMMON_ERR_CORRUPT, reload());
        EXPECT_EQ(restored ? QOVI_LOAD_RESTORED : QOVI_LOAD_NOTHING_READABLE, outcome());
        EXPECT_EQ(restored ? first : L"pwdbank=1 bubble=1\n", describe());
        const QOVILoadReport& report = user()->getLastLoadReport();
        EXPECT_EQ(damaged, qovitest::readFileBytes(report.keptAside)) << qovitest::narrow(report.keptAside);
        // Two saves then keep what was restored plus both changes, and load
        // without anything to restore.
        bank()->addWebItem(loginSite(L"Three", L"https://three.example", L"tia", L"t3"));
        ASSERT_EQ(COMMON_OK, user()->save(1));
        bank()->modifyInputItemValue(L"Keep", L"username", L"user", L"kim2");
        ASSERT_EQ(COMMON_OK, user()->save(1));
        const std::wstring saved = describe();
        ASSERT_EQ(COMMON_OK, reload());
        EXPECT_EQ(saved, describe());
        EXPECT_EQ(QOVI_LOAD_OK, outcome());
        EXPECT_EQ(restored ? L"kim2" : L"<none>", value(L"Keep", 0));
        EXPECT_EQ(restored ? L"first" : L"<none>", value(L"Keep", 1));
        EXPECT_TRUE(kept(damaged));
        EXPECT_EQ(trial.backup == Damaged, kept("garbage"));
    }
}

// A file that changed on disk after the load is never made the backup: the
// save keeps it aside, writes this process's bank, and the backup keeps the
// generation before.
TEST_F(StoreFileTest, FileDamagedAfterTheLoadIsNeverMadeTheBackup)
{
    const struct { const char* what; std::string (*damage)(std::string); } cases[] = {
        {"garbage", [](std::string) { return std::string("garbage"); }},
        {"one bit of the content", [](std::string b) { b[b.size() - 40] ^= 1; return b; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startAfresh();
        saveTwoGenerations();
        std::string backup = qovitest::readFileBytes(bankFile() + L".bak");
        ASSERT_EQ(COMMON_OK, reload());
        bank()->modifyInputItemValue(L"Keep", L"password", L"pass", L"mine");
        std::string damaged = c.damage(qovitest::readFileBytes(bankFile()));
        ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), damaged));

        ASSERT_EQ(COMMON_OK, user()->save(1));
        EXPECT_EQ(backup, qovitest::readFileBytes(bankFile() + L".bak"));
        EXPECT_TRUE(kept(damaged));
        ASSERT_EQ(COMMON_OK, reload());
        EXPECT_EQ(L"mine", value(L"Keep", 1));
        EXPECT_EQ(2u, sites().size());
    }
}

// Files of the first version (JSON lines) and of the second (records of
// UTF-16 texts, as earlier releases wrote them) load and are saved in the
// current form; a later version's file is left alone.
TEST_F(StoreFileTest, OlderVersionsLoadAndANewerVersionIsLeftAlone)
{
    const std::string firstVersion =
        "{\"bubble\":0,\"pwdBank\":1,\"sites\":1}\n"
        "{\"formId\":\"f\",\"formName\":\"login\",\"inputs\":[{\"id\":\"u\",\"n\":1,\"name\":\"username\","
        "\"type\":\"text\",\"value\":\"al\\u00e9\"},{\"id\":\"p\",\"n\":2,\"name\":\"password\","
        "\"type\":\"password\",\"value\":\"pw\"}],\"name\":\"Old\",\"uid\":\"x-1\",\"url\":\"https://old.example\"}\n";
    const char secondVersionHex[] =
        "010000000000000001000000bf0000000300782d31030000004f006c00640013000000680074007400700073003a002f002f006f00"
        "6c0064002e006500780061006d0070006c006500010000006600050000006c006f00670069006e000200000001000000010000007500"
        "0800000075007300650072006e0061006d0065000400000074006500780074000300000061006c00e900020000000100000070000800"
        "0000700061007300730077006f007200640008000000700061007300730077006f00720064000200000070007700";
    std::string secondVersion;
    for (size_t i = 0; secondVersionHex[i]; i += 2)
        secondVersion += static_cast<char>(std::stoi(std::string(secondVersionHex + i, 2), nullptr, 16));
    const std::wstring expected = L"pwdbank=1 bubble=0\n[Old|https://old.example|f|login]\n"
                                  L"  (u|username|text|al\u00e9)\n  (p|password|password|pw)\n";
    ASSERT_EQ(COMMON_OK, user()->load(1));
    for (int version : {1, 2}) {
        ASSERT_TRUE(qovitest::writeFileBytes(bankFile(),
                                             qovitest::sealedBankFile(version, version == 1 ? firstVersion : secondVersion)));
        ASSERT_EQ(COMMON_OK, reload()) << version;
        EXPECT_EQ(expected, describe());
        ASSERT_EQ(COMMON_OK, user()->save(1));
        EXPECT_EQ(std::string::npos, qovitest::readFileBytes(bankFile()).find("\"version\":" + std::to_string(version)));
        ASSERT_EQ(COMMON_OK, reload());
        EXPECT_EQ(expected, describe());
    }

    ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), qovitest::sealedBankFile(4, "a later version's content")));
    Files before = snapshot(userFolder());
    EXPECT_EQ(COMMON_ERR_NEWER_FORMAT, reload());
    EXPECT_EQ(QOVI_LOAD_NEWER_VERSION, outcome());
    EXPECT_EQ(COMMON_ERR_NOT_LOADED, user()->save(1));
    EXPECT_TRUE(before == snapshot(userFolder()));
}

// Each file or crypto call of a save or a load is made to fail in turn
// (QOVI_TEST_FAIL_CALLS): afterwards a new process loads the old or the new
// generation, never less, and what a failed load read is left as it was.
TEST_F(StoreFileTest, EveryFailingCallOfASaveOrLoadLosesNoGeneration)
{
    const std::vector<std::wstring> kinds = {L"open", L"read", L"write", L"flush", L"replace", L"replace-half",
                                             L"move", L"dpapi", L"lock", L"replace-half:1,move"};
    enum Step { FirstSave, LaterSave, Load, LoadDamaged, LoadInterrupted };
    const char* names[] = {"first save", "later save", "load", "load of a damaged file", "load after a killed save"};
    for (Step step : {FirstSave, LaterSave, Load, LoadDamaged, LoadInterrupted}) {
        const bool save = step == FirstSave || step == LaterSave;
        for (const std::wstring& kind : kinds) {
            bool succeeded = false;
            for (int n = 1; !succeeded && n < 40; ++n) {
                SCOPED_TRACE(std::string(names[step]) + ", " + qovitest::narrow(kind) + ":" + std::to_string(n));
                startAfresh();
                if (step == FirstSave)
                    ASSERT_EQ(COMMON_OK, user()->load(1));
                else
                    saveTwoGenerations();
                // The generations a new process may find afterwards.
                const std::wstring before = step == FirstSave ? describe() : step == LoadDamaged ? first : second;
                std::wstring after = before;
                if (save) {
                    bank()->addWebItem(loginSite(L"New", L"https://new.example", L"nia", L"n1"));
                    after = describe();
                } else {
                    if (step == LoadDamaged)
                        ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), "damaged"));
                    if (step == LoadInterrupted)
                        ASSERT_TRUE(MoveFileExW(bankFile().c_str(), (bankFile() + L".77.tmp").c_str(), 0));
                    QOVIUserInfoManager::releaseUsers();
                }
                const Files files = snapshot(userFolder());
                COMMON_RESULT result;
                {
                    qovitest::ScopedEnvironment fail(L"QOVI_TEST_FAIL_CALLS", kind + L":" + std::to_wstring(n));
                    result = save ? user()->save(1) : user()->load(1);
                }
                succeeded = save ? result == COMMON_OK : outcome() == QOVI_LOAD_OK || outcome() == QOVI_LOAD_RESTORED;
                if (!save && succeeded)
                    EXPECT_EQ(before, describe());
                for (const auto& file : files) {
                    if (!save && !succeeded)
                        EXPECT_TRUE(holding(snapshot(userFolder()), file.second, false)) << "a failed load lost a file";
                }

                reload();
                std::wstring found = describe();
                if (save)
                    EXPECT_EQ(QOVI_LOAD_OK, outcome()) << "a failed save left the bank to be restored";
                if (save && succeeded)
                    EXPECT_EQ(after, found);
                else
                    EXPECT_TRUE(found == before || found == after) << qovitest::narrow(found);
                if (step == LoadDamaged)
                    EXPECT_TRUE(kept("damaged")) << "the damaged file is lost";
            }
            EXPECT_TRUE(succeeded) << names[step] << " never succeeds with " << qovitest::narrow(kind);
        }
    }
}

// A leftover of a save whose key the system refuses may be whole and the
// only copy of the newest generation: a load or a save keeps it aside.
TEST_F(StoreFileTest, LeftoverWhoseKeyIsRefusedIsKeptAside)
{
    for (bool load : {true, false}) {
        SCOPED_TRACE(load ? "load" : "save");
        startAfresh();
        saveTwoGenerations();
        std::string newest = qovitest::readFileBytes(bankFile());
        ASSERT_TRUE(MoveFileExW(bankFile().c_str(), (bankFile() + L".77.tmp").c_str(), 0));
        if (load)
            QOVIUserInfoManager::releaseUsers();
        qovitest::ScopedEnvironment fail(L"QOVI_TEST_FAIL_CALLS", L"dpapi-rejected:1");
        COMMON_RESULT result = load ? user()->load(1) : user()->save(1);
        EXPECT_TRUE(kept(newest)) << "result " << result;
    }
}

TEST_F(StoreFileTest, LogHasOneFormattedLinePerCallAndIsClosedByEndLog)
{
    QOVILog::debugLog(L".\\Src\\Src\\QOVIPWDBankInfoSettingDlg", 412, L"Delete the web item!");
    QOVILog::debugLog(L".\\Src\\Src\\Other", 7, L"two\r\nlines");
    // Open: another process cannot take the file for itself.
    HANDLE exclusive = CreateFileW(logFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, exclusive);
    QOVILog::endLog();
    exclusive = CreateFileW(logFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, exclusive);
    CloseHandle(exclusive);

    // Two lines "YYYY-MM-DD hh:mm:ss.mmm [pid] source(line): text"; each
    // line break character of a text is made a space.
    const std::string stamp =
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[)" + std::to_string(GetCurrentProcessId()) + R"(\] \.\\Src\\Src\\)";
    const std::regex lines(stamp + R"(QOVIPWDBankInfoSettingDlg\(412\): Delete the web item!\r\n)" + stamp +
                           R"(Other\(7\): two  lines\r\n)");
    std::string log = qovitest::readFileBytes(logFile());
    EXPECT_TRUE(std::regex_match(log, lines)) << log;
}

// The log rotates at 1 MiB into QOVI.log.1. When another process rotated
// it first, this process's handle points at QOVI.log.1: it then appends to
// the new QOVI.log instead of rotating again over the rotated lines.
// The log's decisions to rotate, counted by the tests' build of the store.
extern "C" __declspec(dllimport) long qoviTestLogRotations();

TEST_F(StoreFileTest, LogIsBoundedAndNoRotatedLinesAreLost)
{
    const long rotations = qoviTestLogRotations();
    const std::wstring text(1000, L'x');  // about a thousand lines to the MiB
    for (int i = 0; i < 900; ++i)
        QOVILog::debugLog(L"mine", i, text);
    ASSERT_TRUE(MoveFileExW(logFile().c_str(), (logFile() + L".1").c_str(), 0));  // the other process rotates
    ASSERT_TRUE(qovitest::writeFileBytes(logFile(), "theirs\r\n"));
    for (int i = 900; i < 1100; ++i)
        QOVILog::debugLog(L"mine", i, text);
    EXPECT_NE(std::string::npos, qovitest::readFileBytes(logFile() + L".1").find("mine(0): "));
    std::string current = qovitest::readFileBytes(logFile());
    EXPECT_EQ(0u, current.find("theirs\r\n"));
    EXPECT_NE(std::string::npos, current.find("mine(1099): "));
    EXPECT_EQ(rotations, qoviTestLogRotations()) << "rotated again what the other process had rotated";

    for (int i = 1100; i < 3000; ++i)
        QOVILog::debugLog(L"mine", i, text);
    QOVILog::endLog();
    current = qovitest::readFileBytes(logFile());
    std::string previous = qovitest::readFileBytes(logFile() + L".1");
    EXPECT_LE(current.size(), 1100000u);
    EXPECT_GE(previous.size(), 1u << 20);
    EXPECT_LE(previous.size(), 1100000u);
    EXPECT_NE(std::string::npos, current.find("mine(2999): "));
}

}  // namespace
