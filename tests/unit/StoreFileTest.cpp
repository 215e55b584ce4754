// The bank file on disk: secrecy, damage, generations, interrupted saves.
#include "StoreFixture.h"

#include <algorithm>

using namespace storetest;

namespace {

std::string utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// Files of the user folder other than the bank file and its backup.
std::vector<std::wstring> strayFiles(const std::wstring& folder)
{
    std::vector<std::wstring> names = qovitest::listFolder(folder);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::wstring& name) {
                                   return name == L"PasswordBank.qovi" || name == L"PasswordBank.qovi.bak";
                               }),
                names.end());
    return names;
}

class StoreFileTest : public StoreTest {
protected:
    void saveOneSite(const std::wstring& password = L"first")
    {
        ASSERT_EQ(COMMON_OK, user()->load(1));
        ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"Keep", L"https://keep.example", L"kim", password)));
        ASSERT_EQ(COMMON_OK, user()->save(1));
    }
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

    std::vector<std::wstring> files = {logFile()};
    for (const std::wstring& name : qovitest::listFolder(userFolder()))
        files.push_back(userFolder() + L"\\" + name);
    ASSERT_EQ(3u, files.size());  // the log, the bank file, the backup: no leftovers
    for (const std::wstring& file : files) {
        std::string bytes = qovitest::readFileBytes(file);
        ASSERT_FALSE(bytes.empty()) << qovitest::narrow(file);
        for (const std::wstring& secret : secrets) {
            EXPECT_EQ(std::string::npos, bytes.find(qovitest::narrow(secret))) << qovitest::narrow(file);
            EXPECT_EQ(std::string::npos, bytes.find(utf16Bytes(secret))) << qovitest::narrow(file);
        }
    }
}

// Whatever is wrong with the file, load keeps it aside untouched and reports
// it, save refuses until a load succeeds, and later saves never touch it.
TEST_F(StoreFileTest, DamagedFileIsKeptAsideAndNeverOverwritten)
{
    struct Case {
        const char* what;
        std::string (*damage)(std::string);
    } cases[] = {
        {"truncated", [](std::string b) { return b.substr(0, b.size() / 2); }},
        {"one bit flipped in the content", [](std::string b) { b[b.size() - 40] ^= 1; return b; }},
        {"header changed", [](std::string b) {
             size_t at = b.find("\"saveId\":\"") + 10;
             b[at] = b[at] == '0' ? '1' : '0';
             return b;
         }},
        {"key blob changed", [](std::string b) {
             size_t at = b.find("\"key\":\"") + 40;
             b[at] = b[at] == 'A' ? 'B' : 'A';
             return b;
         }},
        {"empty", [](std::string) { return std::string(); }},
        {"not a bank file", [](std::string) { return std::string("name,url\nx,y\n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qovitest::TempFolder caseRoot;
        qovitest::ScopedEnvironment caseDir(L"QOVI_DATA_DIR", caseRoot.path());
        QOVIUserInfoManager::releaseUsers();
        QOVILog::endLog();
        saveOneSite();
        std::string damaged = c.damage(qovitest::readFileBytes(bankFile()));
        ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), damaged));

        EXPECT_EQ(COMMON_ERR_CORRUPT, reload());
        EXPECT_TRUE(sites().empty());
        EXPECT_FALSE(qovitest::fileExists(bankFile()));
        std::vector<std::wstring> kept = strayFiles(userFolder());
        ASSERT_EQ(1u, kept.size());
        EXPECT_EQ(0u, kept[0].find(L"PasswordBank.qovi.damaged-")) << qovitest::narrow(kept[0]);
        std::wstring keptPath = userFolder() + L"\\" + kept[0];
        EXPECT_EQ(damaged, qovitest::readFileBytes(keptPath));
        EXPECT_EQ(COMMON_ERR_NOT_LOADED, user()->save(1));

        ASSERT_EQ(COMMON_OK, reload());
        bank()->addWebItem(loginSite(L"New", L"https://new.example", L"nina", L"pw"));
        ASSERT_EQ(COMMON_OK, user()->save(1));
        ASSERT_EQ(COMMON_OK, user()->save(1));
        EXPECT_EQ(damaged, qovitest::readFileBytes(keptPath));
        EXPECT_EQ(kept, strayFiles(userFolder()));
        QOVIUserInfoManager::releaseUsers();
        QOVILog::endLog();
        std::string log = qovitest::readFileBytes(caseRoot.path() + L"\\QOVI.log");
        EXPECT_NE(std::string::npos, log.find("kept as " + qovitest::narrow(keptPath))) << log;
    }
}

TEST_F(StoreFileTest, FileChangedAfterLoadIsKeptAsideBySave)
{
    saveOneSite();
    // Another writer leaves garbage after this process loaded.
    ASSERT_EQ(COMMON_OK, reload());
    bank()->modifyInputItemValue(L"Keep", L"password", L"pass", L"mine");
    ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), "garbage"));
    EXPECT_EQ(COMMON_ERR_CORRUPT, user()->save(1));
    std::vector<std::wstring> kept = strayFiles(userFolder());
    ASSERT_EQ(1u, kept.size());
    EXPECT_EQ("garbage", qovitest::readFileBytes(userFolder() + L"\\" + kept[0]));
    // Saving again writes this process's bank; the kept file stays.
    ASSERT_EQ(COMMON_OK, user()->save(1));
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(L"mine", value(L"Keep", 1));
    EXPECT_EQ(kept, strayFiles(userFolder()));
}

TEST_F(StoreFileTest, FileOfANewerVersionIsLeftAlone)
{
    saveOneSite();
    std::string bytes = qovitest::readFileBytes(bankFile());
    size_t at = bytes.find("\"version\":1");
    ASSERT_NE(std::string::npos, at);
    bytes.replace(at, 11, "\"version\":2");
    ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), bytes));

    EXPECT_EQ(COMMON_ERR_NEWER_FORMAT, reload());
    EXPECT_EQ(COMMON_ERR_NOT_LOADED, user()->save(1));
    EXPECT_EQ(bytes, qovitest::readFileBytes(bankFile()));
    EXPECT_TRUE(strayFiles(userFolder()).empty());
}

TEST_F(StoreFileTest, SaveKeepsThePreviousGenerationAsBackup)
{
    saveOneSite(L"first");
    std::string firstGeneration = qovitest::readFileBytes(bankFile());
    bank()->modifyInputItemValue(L"Keep", L"password", L"pass", L"second");
    ASSERT_EQ(COMMON_OK, user()->save(1));
    EXPECT_EQ(firstGeneration, qovitest::readFileBytes(bankFile() + L".bak"));

    // The backup is a complete bank of its own.
    QOVIUserInfoManager::releaseUsers();
    ASSERT_TRUE(qovitest::writeFileBytes(bankFile(), firstGeneration));
    ASSERT_EQ(COMMON_OK, user()->load(1));
    EXPECT_EQ(L"first", value(L"Keep", 1));
}

// A save is: write "<file>.<pid>.tmp", flush, rename the file to the backup,
// rename the temporary file to the file. A process killed between the two
// renames leaves no bank file but a complete temporary one; one killed while
// writing leaves a partial temporary file.
TEST_F(StoreFileTest, LeftoversOfAnInterruptedSaveAreSettled)
{
    saveOneSite(L"old");
    std::string oldGeneration = qovitest::readFileBytes(bankFile());
    bank()->modifyInputItemValue(L"Keep", L"password", L"pass", L"new");
    ASSERT_EQ(COMMON_OK, user()->save(1));
    std::string newGeneration = qovitest::readFileBytes(bankFile());

    // Killed between the renames: the complete new generation is taken.
    ASSERT_TRUE(MoveFileExW(bankFile().c_str(), (bankFile() + L".4242.tmp").c_str(), MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(qovitest::writeFileBytes(bankFile() + L".4343.tmp", newGeneration.substr(0, 100)));
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(L"new", value(L"Keep", 1));
    EXPECT_TRUE(strayFiles(userFolder()).empty());

    // Killed while writing: the partial file goes, the bank stays.
    ASSERT_TRUE(qovitest::writeFileBytes(bankFile() + L".4444.tmp", oldGeneration.substr(0, 300)));
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(L"new", value(L"Keep", 1));
    EXPECT_TRUE(strayFiles(userFolder()).empty());
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

    std::string log = qovitest::readFileBytes(logFile());
    std::string pid = "[" + std::to_string(GetCurrentProcessId()) + "] ";
    std::string first = log.substr(0, log.find("\r\n") + 2);
    ASSERT_EQ(24u + pid.size(), first.find(".\\Src\\Src\\")) << first;
    EXPECT_EQ(pid, first.substr(24, pid.size()));
    EXPECT_EQ(".\\Src\\Src\\QOVIPWDBankInfoSettingDlg(412): Delete the web item!\r\n", first.substr(24 + pid.size()));
    for (size_t i : {4u, 7u})
        EXPECT_EQ('-', first[i]);
    EXPECT_EQ(' ', first[10]);
    EXPECT_EQ('.', first[19]);
    EXPECT_NE(std::string::npos, log.find(".\\Src\\Src\\Other(7): two  lines\r\n")) << log;
    EXPECT_EQ(2, std::count(log.begin(), log.end(), '\n'));
}

TEST_F(StoreFileTest, LogSizeIsBounded)
{
    const std::wstring text(1000, L'x');
    for (int i = 0; i < 2500; ++i)
        QOVILog::debugLog(L"bench", i, text);
    QOVILog::endLog();
    std::string current = qovitest::readFileBytes(logFile());
    std::string previous = qovitest::readFileBytes(logFile() + L".1");
    EXPECT_LE(current.size(), 1100000u);
    EXPECT_GE(previous.size(), 1u << 20);
    EXPECT_LE(previous.size(), 1100000u);
    EXPECT_NE(std::string::npos, current.find("bench(2499): "));
}

}  // namespace
