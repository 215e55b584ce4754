// Several processes on one bank: merging saves, the lock, parallel imports.
#include "StoreFixture.h"

using namespace storetest;

namespace {

// The same folder on a second drive letter mapped to drive C, as subst maps
// one. Wine 8 accepts DefineDosDeviceW but does not follow the mapping, so
// ./run maps Y: in the test prefix's dosdevices instead.
std::wstring otherDrive(const std::wstring& folder)
{
    if (GetFileAttributesW(L"Y:\\") == INVALID_FILE_ATTRIBUTES)
        DefineDosDeviceW(0, L"Y:", L"C:\\");
    return L"Y:" + folder.substr(2);
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
    ~HeldLock() { CloseHandle(file_); }

private:
    HANDLE file_;
};

class StoreProcessTest : public StoreTest {};

// This process loads, the other one changes the bank and saves, then this
// one changes it and saves: the file must hold both sets of changes. The
// bubble starts off, so that it can be switched on.
TEST_F(StoreProcessTest, ChangesOfTwoProcessesOneAfterTheOtherAreBothKept)
{
    // A site as describe() shows it, with a user name item when user is given.
    auto shown = [](const wchar_t* name, const wchar_t* host, const wchar_t* user, const wchar_t* password) {
        return L"[" + std::wstring(name) + L"|https://" + host + L".example|loginForm|login]\n" +
               (user ? L"  (user|username|text|" + std::wstring(user) + L")\n" : L"") +
               L"  (pass|password|password|" + password + L")\n";
    };
    const std::wstring on = L"pwdbank=1 bubble=0\n", off = L"pwdbank=0 bubble=0\n",
                       a = shown(L"A", L"a", L"alice", L"pa"), b = shown(L"B", L"b", L"bob", L"pb");
    struct Case {
        const char* what;
        const wchar_t* theirs;
        void (*ours)(QOVIUserInfo*);
        std::wstring expected;
    } cases[] = {
        {"their addition and setting, our rename", L"add C https://c.example carl pc bubble 1",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->modifyWebItemName(L"A", L"A2"); },
         L"pwdbank=1 bubble=1\n" + shown(L"A2", L"a", L"alice", L"pa") + b + shown(L"C", L"c", L"carl", L"pc")},
        {"they switch the bubble on, we the bank off", L"bubble 1", [](QOVIUserInfo* u) { u->setPWDBankEnable(0); },
         off + a + b},
        // The bubble tells of the bank: never saved on with the bank off.
        {"they switch the bank off, we the bubble on", L"pwdbank 0", [](QOVIUserInfo* u) { u->setBubbleEnable(1); },
         off + a + b},
        {"their value change and rename, our item removal", L"value A password pass new-a rename B B2",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->removeInputItem(L"A", L"username", L""); },
         on + shown(L"A", L"a", nullptr, L"new-a") + shown(L"B2", L"b", L"bob", L"pb")},
        {"both add a site of one name", L"add N https://n1.example n1 p1",
         [](QOVIUserInfo* u) {
             u->getPWDBankInfo()->removeWebItem(L"B", L"");
             u->getPWDBankInfo()->addWebItem(loginSite(L"N", L"https://n2.example", L"n2", L"p2"));
         },
         on + a + shown(L"N", L"n1", L"n1", L"p1") + shown(L"N (2)", L"n2", L"n2", L"p2")},
        {"they remove a site we changed", L"remove A",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->modifyInputItemValue(L"A", L"username", L"user", L"alice2"); },
         on + b + shown(L"A", L"a", L"alice2", L"pa")},
        {"they change a site we remove", L"value A password pass new-a",
         [](QOVIUserInfo* u) { u->getPWDBankInfo()->removeWebItem(L"A", L""); }, on + b},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startAfresh();
        ASSERT_EQ(COMMON_OK, user()->load(1));
        bank()->addWebItem(loginSite(L"A", L"https://a.example", L"alice", L"pa"));
        bank()->addWebItem(loginSite(L"B", L"https://b.example", L"bob", L"pb"));
        user()->setBubbleEnable(0);
        ASSERT_EQ(COMMON_OK, user()->save(1));
        std::vector<QOVIWebItem*> held = sites();

        std::string output;  // the other process loads, applies its operations, saves
        ASSERT_EQ(0, run(exe(L"StoreTestHelper.exe"), L"edit " + std::wstring(c.theirs), &output)) << output;
        c.ours(user());
        ASSERT_EQ(COMMON_OK, user()->save(1));
        EXPECT_EQ(c.expected, describe(user())) << "in memory";
        EXPECT_EQ(L"A", held[0]->getstrWebName().substr(0, 1));  // held objects stay readable
        ASSERT_EQ(COMMON_OK, reload());
        EXPECT_EQ(c.expected, describe(user())) << "on disk";
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
    ASSERT_EQ(0, run(exe(L"StoreTestHelper.exe"), L"edit remove B remove D value C password pass newc"));
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

// Three imports at once, one through another spelling of the data folder
// (another drive), of files with the same accounts and one of their own,
// all wait at a lock held through the folder's own spelling (the lock is the
// file system's, not a name). Let go, each loads, and the store's
// test build holds it before its save until all three have loaded: the two
// later saves merge what was saved since their load, keep it, and add each
// account once (the check for accounts already saved holds against it).
TEST_F(StoreProcessTest, ParallelImportsThroughAnySpellingWaitForTheLockAndAddEachAccountOnce)
{
    const int shared = 200;
    std::string csv = "name,url,username,password\n";
    for (int i = 0; i < shared; ++i)
        csv += "S" + std::to_string(i) + ",https://s" + std::to_string(i) + ".example,u" + std::to_string(i) + ",p\n";
    std::wstring files[3];
    for (int i = 0; i < 3; ++i) {
        files[i] = root.file(L"accounts" + std::to_wstring(i) + L".csv");
        std::string own = "Own,https://own" + std::to_string(i) + ".example,me,p\n";
        ASSERT_TRUE(qovitest::writeFileBytes(files[i], csv + own));
    }
    ASSERT_EQ(COMMON_OK, user()->load(1));
    const std::wstring spellings[] = {root.path(), otherDrive(root.path()), root.path()};
    ASSERT_TRUE(qovitest::fileExists(spellings[1] + L"\\accounts0.csv")) << qovitest::narrow(spellings[1]);

    // The store's test build counts into these each process that finds a
    // lock busy, and each that reaches its save, which then waits for the gate.
    HANDLE waiting = CreateSemaphoreW(nullptr, 0, 100, L"QOVITestLockWaiters");
    HANDLE loaded = CreateSemaphoreW(nullptr, 0, 100, L"QOVITestAtSaveGate");
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, L"QOVITestSaveGate");
    qovitest::ChildProcess imports[3];
    {
        HeldLock lock(bankFile());
        for (int i = 0; i < 3; ++i) {
            qovitest::ScopedEnvironment folder(L"QOVI_DATA_DIR", spellings[i]);
            ASSERT_TRUE(imports[i].start(exe(L"qovibank.exe"), L"import \"" + files[i] + L"\""));
        }
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(waiting, 60000)) << "not every import waits at the lock";
    }
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(loaded, 60000)) << "not every import loads before the saves";
    SetEvent(gate);
    for (qovitest::ChildProcess& import : imports)
        EXPECT_EQ(0, import.wait(60000));
    for (HANDLE handle : {waiting, loaded, gate})
        CloseHandle(handle);
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(static_cast<size_t>(shared + 3), sites().size());
    for (const wchar_t* own : {L"Own", L"Own (2)", L"Own (3)"})
        EXPECT_NE(0, bank()->isWebItemExist(own, L"")) << qovitest::narrow(own);
}

}  // namespace
