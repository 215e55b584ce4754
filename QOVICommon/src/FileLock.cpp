#include "FileLock.h"

#include "Faults.h"

#include <windows.h>

namespace qovi {

// LockFileEx cannot wait with a time-out, so a busy lock is tried again
// after a pause that grows to this.
static const DWORD kLongestPauseMs = 50;

static bool tryLock(HANDLE file)
{
    OVERLAPPED whole = {};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole) != FALSE;
}

FileLock::FileLock(const std::wstring& lockedFile, unsigned long timeoutMs)
{
    HANDLE file = injectedFailure(Call::Open)
                      ? INVALID_HANDLE_VALUE
                      : CreateFileW((lockedFile + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    file_ = file;
    if (file == INVALID_HANDLE_VALUE) {
        // Another process may be creating or opening it at this moment.
        state_ = GetLastError() == ERROR_SHARING_VIOLATION ? Busy : Unusable;
        return;
    }
    if (injectedFailure(Call::Lock)) {
        state_ = Busy;  // as after a wait that timed out
        return;
    }
    ULONGLONG start = GetTickCount64();
    DWORD pause = 1;
    while (!tryLock(file)) {
        if (pause == 1)
            noteLockWait();
        if (GetTickCount64() - start >= timeoutMs) {
            state_ = Busy;
            return;
        }
        Sleep(pause);
        pause = pause * 2 > kLongestPauseMs ? kLongestPauseMs : pause * 2;
    }
    state_ = Held;
}

FileLock::~FileLock()
{
    HANDLE file = static_cast<HANDLE>(file_);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (state_ == Held) {
        OVERLAPPED whole = {};
        UnlockFileEx(file, 0, 1, 0, &whole);
    }
    CloseHandle(file);
}

}  // namespace qovi
