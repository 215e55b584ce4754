// StoreBench - load and save of password banks against plain file calls.
//
// For banks of 10 to 100,000 sites it measures, as medians of
// several runs in one process:
//   load        releaseUsers, then QOVIUserInfo::load of the saved bank
//   save        one value changed after a load, then save(1): the usual
//               save of the settings tool
//   first save  save(1) right after adding every site (all serialized anew)
//   merge save  save(1) after another process saved meanwhile (see Peer)
// and the floor for the same number of bytes as the bank file:
//   read        CreateFileW, ReadFile into a new buffer, CloseHandle (a
//               load keeps what it read, so its buffer is new too; on
//               this machine touching new memory costs far more than
//               copying into memory touched before)
//   write       CreateFileW, WriteFile, FlushFileBuffers, CloseHandle
//               (a save must reach the disk, so the floor flushes too)
#include "QOVICommon.h"
#include "TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

double now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timed(const std::function<void()>& work)
{
    double start = now();
    work();
    return now() - start;
}

void check(COMMON_RESULT result, const char* what)
{
    if (result != COMMON_OK) {
        fprintf(stderr, "StoreBench: %s failed with %d\n", what, result);
        ExitProcess(1);
    }
}

// The other process of a merging save: a second StoreBench, started once
// before anything is timed, that saves a settings change to the bank
// whenever it is asked. Wine starts a process by forking the one that asks,
// after which every page that process writes first takes a copy-on-write
// fault: a process started just before the merging save would bill the
// save for them.
struct PeerRequest {
    wchar_t root[MAX_PATH];  // empty: the peer ends
    int bubble;
    int result;
};

class Peer {
public:
    Peer()
    {
        const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PeerRequest),
                                      (L"QOVIStoreBenchPeer." + suffix).c_str());
        request_ = static_cast<PeerRequest*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(PeerRequest)));
        go_ = CreateEventW(nullptr, FALSE, FALSE, (L"QOVIStoreBenchPeerGo." + suffix).c_str());
        done_ = CreateEventW(nullptr, FALSE, FALSE, (L"QOVIStoreBenchPeerDone." + suffix).c_str());
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring commandLine = L"\"" + std::wstring(exe) + L"\" peer " + suffix;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(exe, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                           &startup, &info)) {
            process_ = info.hProcess;
            CloseHandle(info.hThread);
        }
    }
    ~Peer()
    {
        if (process_ && request_) {
            request_->root[0] = 0;
            SetEvent(go_);
            WaitForSingleObject(process_, 10000);
        }
        if (process_)
            CloseHandle(process_);
        if (request_)
            UnmapViewOfFile(request_);
        for (HANDLE handle : {mapping_, go_, done_})
            if (handle)
                CloseHandle(handle);
    }
    // Has the peer switch the bubble in the bank under root and save.
    bool save(const std::wstring& root, int bubble)
    {
        if (!process_ || !request_)
            return false;
        lstrcpynW(request_->root, root.c_str(), MAX_PATH);
        request_->bubble = bubble;
        request_->result = -1;
        SetEvent(go_);
        return WaitForSingleObject(done_, 60000) == WAIT_OBJECT_0 && request_->result == COMMON_OK;
    }

private:
    HANDLE mapping_ = nullptr, go_ = nullptr, done_ = nullptr, process_ = nullptr;
    PeerRequest* request_ = nullptr;
};

int runPeer(const std::wstring& suffix)
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, (L"QOVIStoreBenchPeer." + suffix).c_str());
    auto* request = mapping ? static_cast<PeerRequest*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, (L"QOVIStoreBenchPeerGo." + suffix).c_str());
    HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, (L"QOVIStoreBenchPeerDone." + suffix).c_str());
    if (!request || !go || !done)
        return 1;
    while (WaitForSingleObject(go, INFINITE) == WAIT_OBJECT_0 && request->root[0]) {
        SetEnvironmentVariableW(L"QOVI_DATA_DIR", request->root);
        QOVIUserInfoManager::releaseUsers();
        QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
        request->result = user->load(1);
        if (request->result == COMMON_OK) {
            user->setBubbleEnable(request->bubble);
            request->result = user->save(1);
        }
        QOVIUserInfoManager::releaseUsers();
        SetEvent(done);
    }
    QOVILog::endLog();
    return 0;
}

QOVINewWebItem siteNumber(int i)
{
    std::wstring n = std::to_wstring(i);
    return QOVINewWebItem{L"Site number " + n, L"https://www.site-" + n + L".example/account/login", L"loginForm",
                          L"login",
                          {{L"email", L"username", L"text", L"someone." + n + L"@mail.example"},
                           {L"password", L"password", L"password", L"Pw!" + n + L"-x7Qm2vT9"}}};
}

struct Figures {
    int sites;
    LONGLONG bytes;
    double load, read, save, write, firstSave, mergeSave;
};

Figures measure(Peer& peer, const std::wstring& root, int sites, int runs)
{
    SetEnvironmentVariableW(L"QOVI_DATA_DIR", root.c_str());
    QOVIUserInfoManager::releaseUsers();
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    check(user->load(1), "load of the empty bank");
    for (int i = 0; i < sites; ++i)
        check(user->getPWDBankInfo()->addWebItem(siteNumber(i)), "addWebItem");
    Figures figures = {sites, 0, 0, 0, 0, 0, 0, 0};
    figures.firstSave = timed([&] { check(user->save(1), "first save"); });
    std::wstring path = user->getDataFilePath();

    std::vector<double> loads, saves, merges;
    for (int run = 0; run < runs; ++run) {
        QOVIUserInfoManager::releaseUsers();
        user = QOVIUserInfoManager::getCurrentLogonUser();
        loads.push_back(timed([&] { check(user->load(1), "load"); }));
        user->getPWDBankInfo()->modifyInputItemValue(L"Site number 0", L"password", L"password",
                                                     L"changed " + std::to_wstring(run));
        saves.push_back(timed([&] { check(user->save(1), "save"); }));
    }
    for (int run = 0; run < 3; ++run) {
        user->getPWDBankInfo()->modifyInputItemValue(L"Site number 1", L"password", L"password",
                                                     L"merged " + std::to_wstring(run));
        if (!peer.save(root, run % 2))
            break;
        merges.push_back(timed([&] { check(user->save(1), "merge save"); }));
    }
    figures.load = median(loads);
    figures.save = median(saves);
    figures.mergeSave = merges.empty() ? -1 : median(merges);

    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    figures.bytes = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::string bytes(static_cast<size_t>(figures.bytes), 'x');
    std::wstring plain = root + L"\\plain.bin";
    std::vector<double> writes, reads;
    for (int run = 0; run < runs; ++run) {
        writes.push_back(timed([&] {
            HANDLE file = CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            FlushFileBuffers(file);
            CloseHandle(file);
        }));
        reads.push_back(timed([&] {
            HANDLE file = CreateFileW(plain.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD got = 0;
            std::string fresh(bytes.size(), '\0');
            ReadFile(file, &fresh[0], static_cast<DWORD>(fresh.size()), &got, nullptr);
            CloseHandle(file);
        }));
    }
    figures.write = median(writes);
    figures.read = median(reads);
    QOVIUserInfoManager::releaseUsers();
    return figures;
}


}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wstring(argv[1]) == L"peer")
        return runPeer(argv[2]);
    Peer peer;
    qovitest::TempFolder folder;
    const std::wstring& base = folder.path();

    printf("Store: load and save of a bank, against plain file calls on as many bytes (medians, ms)\n");
    printf("%7s %10s | %8s %8s %6s | %8s %8s %6s | %10s %10s\n", "sites", "file bytes", "load", "read", "ratio",
           "save", "write", "ratio", "first save", "merge save");
    bool withinTarget = true;
    for (int sites : {10, 1000, 10000, 100000}) {
        std::wstring root = base + L"\\" + std::to_wstring(sites);
        CreateDirectoryW(root.c_str(), nullptr);
        Figures f = measure(peer, root, sites, sites >= 10000 ? 5 : 9);
        printf("%7d %10lld | %8.2f %8.2f %6.1f | %8.2f %8.2f %6.1f | %10.2f %10.2f\n", f.sites, f.bytes, f.load,
               f.read, f.load / f.read, f.save, f.write, f.save / f.write, f.firstSave, f.mergeSave);
        fflush(stdout);
        if (sites == 10000)
            withinTarget = f.save <= 3 * f.write;
    }
    printf("Target: a 10,000-site save within 3x the write floor: %s\n", withinTarget ? "met" : "NOT met");
    fflush(stdout);
    QOVILog::endLog();
    SetEnvironmentVariableW(L"QOVI_DATA_DIR", nullptr);
    return 0;
}
