// Several processes on one bank: merging saves, and a save killed midway.
#include "StoreFixture.h"

#include <algorithm>
#include <cstring>

using namespace storetest;

namespace {

// The same folder by another name: under Wine its path on the drive that
// maps the Unix root, on Windows its short (8.3) name.
std::wstring otherSpelling(const std::wstring& folder)
{
    typedef char*(CDECL * UnixName)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name"));
    std::wstring other;
    if (char* name = unixName ? unixName(folder.c_str()) : nullptr) {
        other = L"Z:" + std::wstring(name, name + strlen(name));
        std::replace(other.begin(), other.end(), L'/', L'\\');
        HeapFree(GetProcessHeap(), 0, name);
    } else {
        wchar_t shortName[MAX_PATH] = {};
        GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
        other = shortName;
    }
    return other == folder ? std::wstring() : other;
}

// Holds the bank's lock as a store in another process would.
class HeldLock {
public:
    explicit HeldLock(const std::wstring& bankFile)
        : file_(CreateFileW((bankFile + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, 0, nullptr))
    {
        OVERLAPPED whole = {};
        EXPECT_TRUE(LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole));
    }
    ~HeldLock() { release(); }
    void release()
    {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE file_;
};

class StoreProcessTest : public StoreTest {
protected:
    // The other process: loads, applies the operations, saves.
    long other(const std::wstring& operations)
    {
        std::string output;
        long code = run(exe(L"StoreTestHelper.exe"), L"edit " + operations, &output);
        EXPECT_EQ(0, code) << output;
        return code;
    }
};

// This process loads, the other one changes the bank and saves, then this
// one changes it and saves: the file must hold both sets of changes.
TEST_F(StoreProcessTest, ChangesOfTwoProcessesOneAfterTheOtherAreBothKept)
{
    struct Case {
        const char* what;
        const wchar_t* theirs;
        void (*ours)(QOVIUserInfo*);
        const wchar_t* expected;
    } cases[] = {
        {"their addition, our rename", L"add C https://c.example carl pc",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->modifyWebItemName(L"A", L"A2"); },
         L"pwdbank=1 bubble=1\n[A2|https://a.example|f|login]\n  (user|username|text|alice)\n"
         L"  (pass|password|password|pa)\n[B|https://b.example|f|login]\n  (user|username|text|bob)\n"
         L"  (pass|password|password|pb)\n[C|https://c.example|loginForm|login]\n  (user|username|text|carl)\n"
         L"  (pass|password|password|pc)\n"},
        {"their removal, our value change", L"remove A",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->modifyInputItemValue(L"B", L"password", L"pass", L"new-b"); },
         L"pwdbank=1 bubble=1\n[B|https://b.example|f|login]\n  (user|username|text|bob)\n"
         L"  (pass|password|password|new-b)\n"},
        {"both change settings", L"bubble 0",
         [](QOVIUserInfo* u) { u->setPWDBankEnable(0); },
         L"pwdbank=0 bubble=0\n[A|https://a.example|f|login]\n  (user|username|text|alice)\n"
         L"  (pass|password|password|pa)\n[B|https://b.example|f|login]\n  (user|username|text|bob)\n"
         L"  (pass|password|password|pb)\n"},
        {"their value change and rename, our item removal", L"value A password pass new-a rename B B2",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->removeInputItem(L"A", L"username", L""); },
         L"pwdbank=1 bubble=1\n[A|https://a.example|f|login]\n  (pass|password|password|new-a)\n"
         L"[B2|https://b.example|f|login]\n  (user|username|text|bob)\n  (pass|password|password|pb)\n"},
        {"both add a site of one name", L"add N https://n1.example n1 p1",
         [](QOVIUserInfo* u) {
             u->getPWDBankInfo()->removeWebItem(L"B", L"");
             u->getPWDBankInfo()->addWebItem(loginSite(L"N", L"https://n2.example", L"n2", L"p2"));
         },
         L"pwdbank=1 bubble=1\n[A|https://a.example|f|login]\n  (user|username|text|alice)\n"
         L"  (pass|password|password|pa)\n[N|https://n1.example|loginForm|login]\n  (user|username|text|n1)\n"
         L"  (pass|password|password|p1)\n[N (2)|https://n2.example|loginForm|login]\n  (user|username|text|n2)\n"
         L"  (pass|password|password|p2)\n"},
        {"they remove a site we changed", L"remove A",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->modifyInputItemValue(L"A", L"username", L"user", L"alice2"); },
         L"pwdbank=1 bubble=1\n[B|https://b.example|f|login]\n  (user|username|text|bob)\n"
         L"  (pass|password|password|pb)\n[A|https://a.example|f|login]\n  (user|username|text|alice2)\n"
         L"  (pass|password|password|pa)\n"},
        {"they change a site we remove", L"value A password pass new-a",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->removeWebItem(L"A", L""); },
         L"pwdbank=1 bubble=1\n[B|https://b.example|f|login]\n  (user|username|text|bob)\n"
         L"  (pass|password|password|pb)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qovitest::TempFolder caseRoot;
        qovitest::ScopedEnvironment caseDir(L"QOVI_DATA_DIR", caseRoot.path());
        QOVIUserInfoManager::releaseUsers();
        ASSERT_EQ(COMMON_OK, user()->load(1));
        for (const wchar_t* name : {L"A", L"B"}) {
            std::wstring lower(1, static_cast<wchar_t>(towlower(name[0])));
            bank()->addWebItem(QOVINewWebItem{name, L"https://" + lower + L".example", L"f", L"login",
                                              {{L"user", L"username", L"text", lower == L"a" ? L"alice" : L"bob"},
                                               {L"pass", L"password", L"password", L"p" + lower}}});
        }
        ASSERT_EQ(COMMON_OK, user()->save(1));
        std::vector<QOVIWebItem*> held = sites();

        ASSERT_EQ(0, other(c.theirs));
        c.ours(user());
        ASSERT_EQ(COMMON_OK, user()->save(1));
        EXPECT_EQ(c.expected, describe(user())) << "in memory";
        EXPECT_EQ(L"A", held[0]->getstrWebName().substr(0, 1));  // held objects stay readable
        ASSERT_EQ(COMMON_OK, reload());
        EXPECT_EQ(c.expected, describe(user())) << "on disk";
        QOVIUserInfoManager::releaseUsers();
        QOVILog::endLog();
    }
}

// The other process removes two sites and changes one between them while
// this one holds every site listed and changes the last: the merge finds
// each of this process's sites once, by its uid, and keeps every object it
// handed out standing for its own site.
TEST_F(StoreProcessTest, MergeFindsEverySiteAfterRemovalsAroundAChange)
{
    ASSERT_EQ(COMMON_OK, user()->load(1));
    for (const wchar_t* name : {L"A", L"B", L"C", L"D", L"E"})
        ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(name, std::wstring(L"https://") + name, L"u", L"p")));
    ASSERT_EQ(COMMON_OK, user()->save(1));
    std::vector<QOVIWebItem*> held = sites();
    ASSERT_EQ(0, other(L"remove B remove D value C password pass newc"));
    std::vector<QOVIInputItem*> items;
    ASSERT_EQ(COMMON_OK, bank()->getInputItems(items, held[4]));
    ASSERT_EQ(COMMON_OK, bank()->modifyInputItemValue(held[4], items[1], L"newe"));
    ASSERT_EQ(COMMON_OK, user()->save(1));
    std::wstring names;
    for (QOVIWebItem* site : sites())
        names += site->getstrWebName() + L" ";
    EXPECT_EQ(L"A C E ", names);
    EXPECT_EQ(L"newc", value(L"C", 1));
    EXPECT_EQ(L"newe", value(L"E", 1));
    EXPECT_EQ(COMMON_OK, bank()->removeWebItem(held[4])) << "the object handed out for E is E";
}

// Through any spelling of the data folder, a process waits for the lock of
// one held through another: the lock is the file system's, not a name.
TEST_F(StoreProcessTest, OneLockWhateverTheSpellingOfTheFolder)
{
    ASSERT_EQ(COMMON_OK, user()->load(1));
    std::wstring other = otherSpelling(root.path());
    if (other.empty())
        GTEST_SKIP() << "the folder has no other spelling here";
    HeldLock lock(bankFile());
    qovitest::ChildProcess settings;
    {
        qovitest::ScopedEnvironment otherDir(L"QOVI_DATA_DIR", other);
        ASSERT_TRUE(settings.start(exe(L"qovibank.exe"), L"settings --bubble off"));
    }
    Sleep(1500);
    EXPECT_TRUE(settings.running()) << "saved past the lock";
    lock.release();
    EXPECT_EQ(0, settings.wait(20000));
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(0, user()->getBubbleEnable());
}

// Three imports of one file at once add every account once: the check for
// accounts already saved holds against what the others saved first.
TEST_F(StoreProcessTest, ParallelImportsOfOneFileAddEachAccountOnce)
{
    const int rows = 2000;
    std::string csv = "name,url,username,password\n";
    for (int i = 0; i < rows; ++i)
        csv += "S" + std::to_string(i) + ",https://s" + std::to_string(i) + ".example,u" + std::to_string(i) + ",p\n";
    std::wstring file = root.file(L"accounts.csv");
    ASSERT_TRUE(qovitest::writeFileBytes(file, csv));
    ASSERT_EQ(COMMON_OK, user()->load(1));

    qovitest::ChildProcess imports[3];
    {
        HeldLock lock(bankFile());  // all three load before any saves
        for (qovitest::ChildProcess& import : imports)
            ASSERT_TRUE(import.start(exe(L"qovibank.exe"), L"import \"" + file + L"\""));
        Sleep(500);
    }
    for (qovitest::ChildProcess& import : imports)
        EXPECT_EQ(0, import.wait(60000));
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(static_cast<size_t>(rows), sites().size());
}

}  // namespace
