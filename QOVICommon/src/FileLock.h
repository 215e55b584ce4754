// FileLock.h - the lock that load and save hold around a bank file, and the
// log around its rotation.
#pragma once

#include <string>

namespace qovi {

// An exclusive file-system lock (LockFileEx) on "<file>.lock" beside
// the file it guards. The file system decides what is one file, so the same
// folder reached through a symbolic link, a junction, a substituted drive
// or a short name is one lock. The lock file stays: deleting it could let
// two processes lock two different files. A holder that dies loses its lock
// with its handle; since saves are atomic, the bank file is whole.
class FileLock {
public:
    enum State { Held, Busy, Unusable };

    // Waits at most timeoutMs for the lock. Logs nothing: the log takes
    // one of these itself.
    explicit FileLock(const std::wstring& lockedFile, unsigned long timeoutMs = 15000);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    State state() const { return state_; }
    bool held() const { return state_ == Held; }

private:
    void* file_;
    State state_ = Unusable;
};

}  // namespace qovi
