#include "BankLock.h"

#include "Log.h"
#include "Text.h"

#include <windows.h>

namespace qovi {

static const wchar_t kSource[] = L".\\QOVICommon\\src\\BankLock";

static std::wstring lockName(const std::wstring& bankFile)
{
    // Mutex names cannot hold backslashes: use a hash of the case-folded path.
    std::wstring folded = bankFile;
    if (!folded.empty())
        CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    unsigned long long hash = 14695981039346656037ull;
    for (wchar_t c : folded) {
        hash ^= static_cast<unsigned short>(c);
        hash *= 1099511628211ull;
    }
    return L"Local\\QOVIPasswordBank-" + fromUtf8(toHex(&hash, sizeof hash));
}

BankLock::BankLock(const std::wstring& bankFile, unsigned long timeoutMs)
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, lockName(bankFile).c_str());
    if (!mutex) {
        QOVILog::debugLog(kSource, __LINE__, L"Could not create the bank lock.");
        return;
    }
    mutex_ = mutex;
    DWORD result = WaitForSingleObject(mutex, timeoutMs);
    if (result == WAIT_ABANDONED)
        QOVILog::debugLog(kSource, __LINE__, L"The previous holder of the bank lock ended without releasing it.");
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (!held_)
        QOVILog::debugLog(kSource, __LINE__, L"Timed out waiting for the bank lock.");
}

BankLock::~BankLock()
{
    if (held_)
        ReleaseMutex(static_cast<HANDLE>(mutex_));
    if (mutex_)
        CloseHandle(static_cast<HANDLE>(mutex_));
}

}  // namespace qovi
