#include "Faults.h"

#include "QOVIText.h"

#include <windows.h>

#include <cwchar>

namespace qovi {

namespace {

struct Kind {
    const wchar_t* name;
    DWORD error;  // what the real call reports in the case we stand in for
};

const Kind kKinds[static_cast<int>(Call::Count)] = {
    {L"open", ERROR_SHARING_VIOLATION},
    {L"read", ERROR_READ_FAULT},
    {L"write", ERROR_DISK_FULL},
    {L"flush", ERROR_WRITE_FAULT},
    {L"replace", ERROR_UNABLE_TO_REMOVE_REPLACED},
    {L"replace-half", ERROR_UNABLE_TO_MOVE_REPLACEMENT_2},
    {L"move", ERROR_ACCESS_DENIED},
    {L"dpapi", static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)},
    {L"dpapi-rejected", static_cast<DWORD>(NTE_BAD_KEY_STATE)},
    {L"lock", ERROR_LOCK_VIOLATION},
};

struct Plan {
    int failAt[static_cast<int>(Call::Count)] = {};  // 0: never
    int seen[static_cast<int>(Call::Count)] = {};
};

Plan plan;

LONG logRotations = 0;

}  // namespace

void armInjectedFailures()
{
    checkHeaps();
    plan = Plan();
    std::wstring spec = environmentVariable(L"QOVI_TEST_FAIL_CALLS");
    size_t start = 0;
    while (start < spec.size()) {
        size_t end = spec.find(L',', start);
        if (end == std::wstring::npos)
            end = spec.size();
        std::wstring item = spec.substr(start, end - start);
        size_t colon = item.rfind(L':');
        if (colon != std::wstring::npos) {
            std::wstring name = item.substr(0, colon);
            int n = static_cast<int>(wcstol(item.c_str() + colon + 1, nullptr, 10));
            for (int k = 0; k < static_cast<int>(Call::Count); ++k) {
                if (name == kKinds[k].name)
                    plan.failAt[k] = n;
            }
        }
        start = end + 1;
    }
}

bool injectedFailure(Call kind)
{
    int k = static_cast<int>(kind);
    if (plan.failAt[k] <= 0 || ++plan.seen[k] != plan.failAt[k])
        return false;
    SetLastError(kKinds[k].error);
    return true;
}

void noteLogRotation() { InterlockedIncrement(&logRotations); }

void noteLockWait()
{
    if (HANDLE waiters = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, L"QOVITestLockWaiters")) {
        ReleaseSemaphore(waiters, 1, nullptr);
        CloseHandle(waiters);
    }
}

void waitAtSaveGate()
{
    HANDLE gate = OpenEventW(SYNCHRONIZE, FALSE, L"QOVITestSaveGate");
    if (!gate)
        return;
    if (HANDLE arrived = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, L"QOVITestAtSaveGate")) {
        ReleaseSemaphore(arrived, 1, nullptr);
        CloseHandle(arrived);
    }
    WaitForSingleObject(gate, INFINITE);
    CloseHandle(gate);
}

}  // namespace qovi

extern "C" __declspec(dllexport) long qoviTestLogRotations() { return qovi::logRotations; }
