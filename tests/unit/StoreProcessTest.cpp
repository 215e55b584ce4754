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

class StoreProcessTest : public StoreTest {};

// This process loads and holds every site listed, the other one changes the
// bank and saves, then this one changes it and saves: the file must hold both
// sets of changes, and each object this process handed out stands for its
// own site still. The bubble starts off, so that it can be switched on.
TEST_F(StoreProcessTest, ChangesOfTwoProcessesOneAfterTheOtherAreBothKept)
{
    typedef std::vector<QOVIWebItem*> Held;
    // ours: what this process does to the bank, the user and the sites it holds; expected: the
    // settings, then each site's name and values.
    struct Case { const char* what; const wchar_t* theirs; void (*ours)(QOVIPasswordBank*, QOVIUserInfo*, const Held&);
                  const wchar_t* expected; } cases[] = {
        {"their addition and setting, our rename", L"add F https://F fu fp bubble 1",
         [](auto b, auto, auto&) { b->modifyWebItemName(L"A", L"A2"); }, L"11 A2,u,p B,u,p C,u,p D,u,p E,u,p F,fu,fp"},
        {"they switch the bubble on, we the bank off", L"bubble 1",
         [](auto, auto u, auto&) { u->setPWDBankEnable(0); }, L"00 A,u,p B,u,p C,u,p D,u,p E,u,p"},
        // The bubble tells of the bank: never saved on with the bank off.
        {"they switch the bank off, we the bubble on", L"pwdbank 0",
         [](auto, auto u, auto&) { u->setBubbleEnable(1); }, L"00 A,u,p B,u,p C,u,p D,u,p E,u,p"},
        // Each of this process's sites is found once, by its uid.
        {"their removals around their change, our change of the last", L"remove B remove D value C password pass c2",
         [](auto b, auto, auto& held) {
             std::vector<QOVIInputItem*> items;
             b->getInputItems(items, held[4]);
             b->modifyInputItemValue(held[4], items[1], L"e2");
         },
         L"10 A,u,p C,u,c2 E,u,e2"},
        {"their value change and rename, our item removal", L"value A password pass a2 rename B B2",
         [](auto b, auto, auto&) { b->removeInputItem(L"A", L"username", L""); }, L"10 A,a2 B2,u,p C,u,p D,u,p E,u,p"},
        {"both add a site of one name", L"add N https://n1 n1 p1",
         [](auto b, auto, auto&) { b->removeWebItem(L"B", L""), b->addWebItem(loginSite(L"N", L"https://n2", L"n2", L"p2")); },
         L"10 A,u,p C,u,p D,u,p E,u,p N,n1,p1 N (2),n2,p2"},
        {"they remove a site we changed", L"remove A",
         [](auto b, auto, auto&) { b->modifyInputItemValue(L"A", L"username", L"", L"2"); },
         L"10 B,u,p C,u,p D,u,p E,u,p A,2,p"},
        {"they change a site we remove", L"value A password pass a2",
         [](auto b, auto, auto&) { b->removeWebItem(L"A", L""); }, L"10 B,u,p C,u,p D,u,p E,u,p"},
    };
    const std::wstring names[] = {L"A", L"B", L"C", L"D", L"E"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startAfresh();
        ASSERT_EQ(COMMON_OK, user()->load(1));
        for (const std::wstring& name : names)
            ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(name, L"https://" + name, L"u", L"p")));
        user()->setBubbleEnable(0);
        ASSERT_EQ(COMMON_OK, user()->save(1));
        const Held held = sites();

        std::string output;  // the other process loads, applies its operations, saves
        ASSERT_EQ(0, run(exe(L"StoreTestHelper.exe"), L"edit " + std::wstring(c.theirs), &output)) << output;
        c.ours(bank(), user(), held);
        ASSERT_EQ(COMMON_OK, user()->save(1));
        EXPECT_EQ(c.expected, brief()) << "in memory";
        EXPECT_EQ(L"A", held[0]->getstrWebName().substr(0, 1));  // held objects stay readable
        for (QOVIWebItem* site : sites())
            for (size_t i = 0; i < held.size(); ++i)
                EXPECT_TRUE(site->getstrWebName() != names[i] || site == held[i]) << qovitest::narrow(names[i]);
        ASSERT_EQ(COMMON_OK, reload());
        EXPECT_EQ(c.expected, brief()) << "on disk";
    }
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
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((spellings[1] + L"\\accounts0.csv").c_str()))
        << qovitest::narrow(spellings[1]);

    // The store's test build counts into these each process that finds a
    // lock busy, and each that reaches its save, which then waits for the gate.
    HANDLE waiting = CreateSemaphoreW(nullptr, 0, 100, L"QOVITestLockWaiters");
    HANDLE loaded = CreateSemaphoreW(nullptr, 0, 100, L"QOVITestAtSaveGate");
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, L"QOVITestSaveGate");
    qovitest::ChildProcess imports[3];
    // The bank's lock, held as a store in another process would hold it.
    HANDLE lock = CreateFileW((bankFile() + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, 0, nullptr);
    OVERLAPPED whole = {};
    ASSERT_TRUE(LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole));
    for (int i = 0; i < 3; ++i) {
        qovitest::ScopedEnvironment folder(L"QOVI_DATA_DIR", spellings[i]);
        ASSERT_TRUE(imports[i].start(exe(L"qovibank.exe"), L"import \"" + files[i] + L"\""));
    }
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(waiting, 60000)) << "not every import waits at the lock";
    CloseHandle(lock);
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
