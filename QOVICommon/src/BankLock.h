// BankLock.h - the named lock that load and save hold around a bank file.
#pragma once

#include <string>

namespace qovi {

// A named mutex per bank file (the name is derived from the file's full
// path), so every process of the session that opens the same bank
// serializes its loads and saves. A holder that died leaves the mutex
// abandoned; the next waiter then owns it, and since saves are atomic the
// file is whole.
class BankLock {
public:
    explicit BankLock(const std::wstring& bankFile, unsigned long timeoutMs = 15000);
    ~BankLock();
    BankLock(const BankLock&) = delete;
    BankLock& operator=(const BankLock&) = delete;

    bool held() const { return held_; }

private:
    void* mutex_ = nullptr;
    bool held_ = false;
};

}  // namespace qovi
