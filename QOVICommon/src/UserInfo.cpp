// Users, their settings, and loading and saving their bank.
#include "BankImpl.h"

#include "BankFile.h"
#include "BankFormat.h"
#include "FileLock.h"
#include "DataFolder.h"
#include "Faults.h"
#include "Log.h"

#include <windows.h>

#include <memory>

static const wchar_t kSource[] = L".\\QOVICommon\\src\\UserInfo";

namespace {

std::wstring widen(const std::string& text) { return qovi::fromUtf8(text); }

COMMON_RESULT resultOf(qovi::FileStatus status)
{
    switch (status) {
    case qovi::FileStatus::Ok:
    case qovi::FileStatus::Missing:
        return COMMON_OK;
    case qovi::FileStatus::Damaged:
        return COMMON_ERR_CORRUPT;
    case qovi::FileStatus::NewerFormat:
        return COMMON_ERR_NEWER_FORMAT;
    case qovi::FileStatus::CryptoUnavailable:
        return COMMON_ERR_CRYPTO;
    case qovi::FileStatus::IoError:
        break;
    }
    return COMMON_ERR_IO;
}

// A failure that may go away by itself: nothing is wrong with the file.
bool isTransient(qovi::FileStatus status)
{
    return status == qovi::FileStatus::IoError || status == qovi::FileStatus::CryptoUnavailable;
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// A file that cannot be read as this user's bank is never overwritten: it
// is renamed out of the way and stays there for whoever can recover it.
std::wstring keepDamaged(const std::wstring& path, const std::string& why)
{
    std::wstring kept = qovi::keepAside(path);
    QOVILog::debugLog(kSource, __LINE__,
                      L"The file " + path + L" is unreadable (" + widen(why) + L")" +
                          (kept.empty() ? L" and could not be renamed." : L"; kept as " + kept));
    return kept;
}

// Makes what readRaw read a bank: decrypted, in the current format, and
// checked record by record.
qovi::FileStatus openContent(qovi::FileContent& file, qovi::ContentView& view, std::string& why)
{
    qovi::FileStatus status = qovi::decrypt(file, why);
    if (status != qovi::FileStatus::Ok)
        return status;
    if (file.version < qovi::kFormatVersion) {
        std::string converted;
        const bool read = file.version == 1 ? qovi::convertVersion1(file.payload(), file.size, converted, why)
                                            : qovi::convertVersion2(file.payload(), file.size, converted, why);
        if (!read) {
            qovi::wipe(converted);  // what was converted before the fault holds passwords
            return qovi::FileStatus::Damaged;
        }
        qovi::wipe(file.buffer);
        file.buffer = std::move(converted);
        file.offset = 0;
        file.size = file.buffer.size();
    }
    return qovi::scanContent(file.payload(), file.size, view, why) ? qovi::FileStatus::Ok : qovi::FileStatus::Damaged;
}

qovi::FileStatus readContent(const std::wstring& path, qovi::FileContent& file, qovi::ContentView& view,
                             std::string& why)
{
    qovi::FileStatus status = qovi::readRaw(path, file);
    if (status != qovi::FileStatus::Ok) {
        why = status == qovi::FileStatus::Missing ? "no file" : "the file could not be read";
        return status;
    }
    return openContent(file, view, why);
}

// An unreadable leftover of a save. One that does not authenticate under
// its own key was torn midway and never was a generation: it is deleted.
// One whose key this user's data protection refuses may be whole (the
// system refuses keys while the user's master key cannot be used, after a
// password reset for one) and may be the only copy of the newest
// generation: it is kept aside like a damaged bank file.
void discardLeftover(const std::wstring& leftover, bool keyRejected)
{
    if (keyRejected)
        keepDamaged(leftover, "its key was refused by the system's data protection");
    else
        DeleteFileW(leftover.c_str());
}

// When the bank file is missing, the newest complete temporary file left by
// an interrupted save becomes it: that save was putting it in place.
// Torn ones are deleted (they never were a generation); one that cannot be
// judged now keeps everything as it is.
qovi::FileStatus finishInterruptedSave(const std::wstring& path)
{
    if (qovi::fileExists(path))
        return qovi::FileStatus::Ok;
    for (const std::wstring& leftover : qovi::leftoverTemporaries(path)) {
        // Authentication alone decides: a leftover that authenticates but
        // does not read goes in place, and the load then keeps it aside.
        qovi::FileContent file;
        std::string why;
        qovi::FileStatus status = qovi::readRaw(leftover, file);
        if (status == qovi::FileStatus::Ok)
            status = qovi::decrypt(file, why);
        if (status == qovi::FileStatus::Ok) {
            if (!qovi::putInPlace(leftover, path, false))
                return qovi::FileStatus::IoError;
            QOVILog::debugLog(kSource, __LINE__, L"Finished a save that was interrupted: " + leftover);
            return qovi::FileStatus::Ok;
        }
        if (status != qovi::FileStatus::Damaged)
            return status;
        discardLeftover(leftover, file.keyRejected);
    }
    return qovi::FileStatus::Ok;
}

// Once the bank file was read, temporary files beside it are saves that
// never got in place.
void deleteLeftovers(const std::wstring& path)
{
    for (const std::wstring& leftover : qovi::leftoverTemporaries(path))
        DeleteFileW(leftover.c_str());
}

}  // namespace

// ------------------------------------------------------------- internals --

void QOVIUserInfo::Impl::reset()
{
    bank.impl()->clear();
    pwdBankEnable = bubbleEnable = 1;
    basePwdBankEnable = baseBubbleEnable = 1;
    loaded = false;
    lastSaveMerged = false;
    baseSaveId.clear();
    baseFingerprint = qovi::Fingerprint();
    key.clear();
    // Plain text is left in it only by a save that failed halfway. Its
    // memory stays for the next save: new memory costs more to touch than
    // memory touched before costs to fill.
    qovi::wipe(saveBuffer);
}

void QOVIUserInfo::Impl::adopt(qovi::FileContent& file, qovi::ContentView& view)
{
    pwdBankEnable = basePwdBankEnable = view.pwdBankEnable;
    bubbleEnable = baseBubbleEnable = view.bubbleEnable;
    bank.impl()->adopt(std::move(file.buffer), std::move(view.sites));
    baseSaveId = file.saveId;
    baseFingerprint = file.fingerprint;
    key = file.key;
    loaded = true;
}

void QOVIUserInfo::Impl::payload(std::string& text)
{
    const std::vector<QOVIWebItem*>& sites = bank.impl()->compactedList();
    size_t size = qovi::kSettingsSize;
    for (QOVIWebItem* site : sites)
        size += site->impl()->recordBytes();
    // The exact size, and room for the tag the encryption appends: the
    // buffer does not grow while it holds plain text, so no copy of it is
    // left unwiped.
    text.clear();
    text.reserve(size + qovi::kTagSize);
    qovi::encodeSettings(pwdBankEnable, bubbleEnable, sites.size(), text);
    for (QOVIWebItem* site : sites)
        site->impl()->appendRecord(text);
}

COMMON_RESULT QOVIUserInfo::Impl::loadLocked()
{
    qovi::FileStatus status = finishInterruptedSave(filePath);
    if (isTransient(status))
        return failed(status, "a leftover of an interrupted save could not be read");
    qovi::FileContent file;
    qovi::ContentView content;
    std::string why;
    status = readContent(filePath, file, content, why);
    switch (status) {
    case qovi::FileStatus::Ok:
        adopt(file, content);
        deleteLeftovers(filePath);
        QOVILog::debugLog(kSource, __LINE__,
                          L"Loaded the password bank: " + std::to_wstring(bank.impl()->count()) + L" sites.");
        return COMMON_OK;
    case qovi::FileStatus::Missing:
    case qovi::FileStatus::Damaged:
        return restoreGeneration(status == qovi::FileStatus::Damaged, why);
    case qovi::FileStatus::NewerFormat:
        report.outcome = QOVI_LOAD_NEWER_VERSION;
        QOVILog::debugLog(kSource, __LINE__, L"The password bank was written by a newer version; left as it is.");
        return COMMON_ERR_NEWER_FORMAT;
    default:
        return failed(status, why);
    }
}

// The bank file is unreadable (damaged) or missing: the newest earlier
// generation that reads takes its place, a leftover of a save that never
// got in place first, then the backup. Unreadable leftovers are deleted
// (they never were a generation); an unreadable bank file or backup is
// kept aside. Nothing moves unless every file needed could be judged.
COMMON_RESULT QOVIUserInfo::Impl::restoreGeneration(bool damaged, const std::string& bankWhy)
{
    std::wstring backup = qovi::backupPath(filePath);
    if (!damaged && !qovi::fileExists(backup)) {
        loaded = true;
        QOVILog::debugLog(kSource, __LINE__, L"No password bank yet: the defaults apply.");
        return COMMON_OK;
    }
    std::vector<std::wstring> candidates = damaged ? qovi::leftoverTemporaries(filePath) : std::vector<std::wstring>();
    candidates.push_back(backup);
    struct Unreadable {
        std::wstring path;
        bool keyRejected;
    };
    std::vector<Unreadable> unreadable;
    for (const std::wstring& candidate : candidates) {
        qovi::FileContent file;
        qovi::ContentView content;
        std::string why;
        qovi::FileStatus status = readContent(candidate, file, content, why);
        if (status == qovi::FileStatus::Missing)
            continue;
        if (status == qovi::FileStatus::Damaged) {
            unreadable.push_back({candidate, file.keyRejected});
            continue;
        }
        if (status != qovi::FileStatus::Ok)
            return failed(status, why);
        if (damaged && (report.keptAside = keepDamaged(filePath, bankWhy)).empty())
            return failed(qovi::FileStatus::IoError, "the damaged bank file could not be renamed");
        for (const Unreadable& leftover : unreadable)
            discardLeftover(leftover.path, leftover.keyRejected);
        bool fromBackup = candidate == backup;
        if (!qovi::putInPlace(candidate, filePath, fromBackup))
            QOVILog::debugLog(kSource, __LINE__, L"Could not put the restored generation in place; the next save writes it.");
        adopt(file, content);
        report.outcome = QOVI_LOAD_RESTORED;
        report.restoredFrom = candidate;
        QOVILog::debugLog(kSource, __LINE__,
                          L"Restored the password bank from " + candidate + L": " +
                              std::to_wstring(bank.impl()->count()) + L" sites.");
        return COMMON_OK;
    }
    if (!damaged && unreadable.empty()) {
        loaded = true;  // the backup went away meanwhile
        return COMMON_OK;
    }
    // Nothing readable is left: an empty bank, which saves may write once
    // every unreadable file is out of the way.
    std::wstring keptBackup;
    if (!unreadable.empty() && unreadable.back().path == backup) {
        unreadable.pop_back();
        if ((keptBackup = keepDamaged(backup, "the backup does not read")).empty())
            return failed(qovi::FileStatus::IoError, "the damaged backup could not be renamed");
    }
    if (damaged && (report.keptAside = keepDamaged(filePath, bankWhy)).empty())
        return failed(qovi::FileStatus::IoError, "the damaged bank file could not be renamed");
    if (report.keptAside.empty())
        report.keptAside = keptBackup;
    for (const Unreadable& leftover : unreadable)
        discardLeftover(leftover.path, leftover.keyRejected);
    report.outcome = QOVI_LOAD_NOTHING_READABLE;
    loaded = true;
    QOVILog::debugLog(kSource, __LINE__, L"No readable generation of the password bank is left: starting empty.");
    return COMMON_ERR_CORRUPT;
}

COMMON_RESULT QOVIUserInfo::Impl::failed(qovi::FileStatus status, const std::string& why)
{
    report.outcome = QOVI_LOAD_FAILED;
    QOVILog::debugLog(kSource, __LINE__, L"Could not load the password bank now (" + widen(why) + L"); no file was changed.");
    return resultOf(status);
}

// ------------------------------------------------------------------ user --

QOVIUserInfo::QOVIUserInfo(Impl* impl) : impl_(impl) {}
QOVIUserInfo::~QOVIUserInfo() { delete impl_; }

int QOVIUserInfo::getPWDBankEnable() { return impl_->pwdBankEnable; }
int QOVIUserInfo::getBubbleEnable() { return impl_->bubbleEnable; }
void QOVIUserInfo::setPWDBankEnable(int enable) { impl_->pwdBankEnable = enable ? 1 : 0; }
void QOVIUserInfo::setBubbleEnable(int enable) { impl_->bubbleEnable = enable ? 1 : 0; }
QOVIPasswordBank* QOVIUserInfo::getPWDBankInfo() { return &impl_->bank; }
const std::wstring& QOVIUserInfo::getUserName() const { return impl_->userName; }
const std::wstring& QOVIUserInfo::getDataFilePath() const { return impl_->filePath; }
const QOVILoadReport& QOVIUserInfo::getLastLoadReport() const { return impl_->report; }
int QOVIUserInfo::getLastSaveMerged() const { return impl_->lastSaveMerged ? 1 : 0; }

COMMON_RESULT QOVIUserInfo::load(int)
{
    Impl& user = *impl_;
    COMMON_RESULT result = qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        qovi::armInjectedFailures();
        user.reset();
        user.report = QOVILoadReport();
        std::wstring root = qovi::dataRoot();
        std::wstring folder = root.empty() ? root : qovi::userFolder(root, user.userName);
        if (!folder.empty())
            user.filePath = qovi::bankFilePath(folder);
        if (folder.empty() || !qovi::ensureFolder(folder)) {
            user.report.outcome = QOVI_LOAD_FOLDER_UNUSABLE;
            user.report.folder = folder;
            QOVILog::debugLog(kSource, __LINE__, L"The data folder cannot be used: " + folder);
            return COMMON_ERR_IO;
        }
        qovi::FileLock lock(user.filePath);
        if (lock.state() != qovi::FileLock::Held) {
            bool busy = lock.state() == qovi::FileLock::Busy;
            QOVILog::debugLog(kSource, __LINE__, busy ? L"The password bank is busy: another program held its lock too long."
                                                      : L"The lock file of the password bank cannot be opened.");
            user.report.outcome = busy ? QOVI_LOAD_BUSY : QOVI_LOAD_FOLDER_UNUSABLE;
            user.report.folder = folder;
            return busy ? COMMON_ERR_LOCKED : COMMON_ERR_IO;
        }
        return user.loadLocked();
    });
    if (result == COMMON_ERR_INTERNAL) {
        user.report.outcome = QOVI_LOAD_FAILED;
        user.loaded = false;
    }
    return result;
}

COMMON_RESULT QOVIUserInfo::save(int)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        qovi::armInjectedFailures();
        Impl& user = *impl_;
        user.lastSaveMerged = false;
        if (!user.loaded)
            return COMMON_ERR_NOT_LOADED;
        if (!qovi::ensureFolder(folderOf(user.filePath))) {
            QOVILog::debugLog(kSource, __LINE__, L"Could not create the data folder " + folderOf(user.filePath));
            return COMMON_ERR_IO;
        }
        qovi::waitAtSaveGate();
        qovi::FileLock lock(user.filePath);
        if (lock.state() != qovi::FileLock::Held)
            return lock.state() == qovi::FileLock::Busy ? COMMON_ERR_LOCKED : COMMON_ERR_IO;
        qovi::FileStatus status = finishInterruptedSave(user.filePath);
        if (isTransient(status))
            return resultOf(status);

        // The file on disk: still what this process read or wrote (then it
        // may become the backup), another process's save (merged, then it
        // may become the backup), or damaged (kept aside, never the backup).
        qovi::FileContent current;
        current.buffer.swap(user.saveBuffer);
        status = qovi::readRaw(user.filePath, current);
        if (status == qovi::FileStatus::Ok && current.fingerprint == user.baseFingerprint) {
            user.saveBuffer.swap(current.buffer);
        } else if (status == qovi::FileStatus::Ok) {
            std::string why;
            qovi::ContentView saved;
            status = openContent(current, saved, why);
            if (status == qovi::FileStatus::Ok) {
                user.baseSaveId = current.saveId;
                user.key = current.key;
                user.merge(current, saved);
                user.lastSaveMerged = true;  // memory is merged, whether or not the write below succeeds
                QOVILog::debugLog(kSource, __LINE__, L"Merged this process's changes into a newer saved bank.");
            } else if (status == qovi::FileStatus::Damaged) {
                if (keepDamaged(user.filePath, why).empty())
                    return COMMON_ERR_IO;
            } else {
                if (status != qovi::FileStatus::NewerFormat)
                    QOVILog::debugLog(kSource, __LINE__, L"Could not read the password bank to merge: " + widen(why));
                return resultOf(status);
            }
        } else if (status != qovi::FileStatus::Missing) {
            return resultOf(status);
        }

        user.payload(user.saveBuffer);
        std::string saveId;
        qovi::Fingerprint written;
        // Encrypted in place: afterwards the buffer holds no plain text.
        status = qovi::writeBankFile(user.filePath, user.saveBuffer, user.key, saveId, written);
        if (status != qovi::FileStatus::Ok)
            return resultOf(status);
        user.baseSaveId = saveId;
        user.baseFingerprint = written;
        user.basePwdBankEnable = user.pwdBankEnable;
        user.baseBubbleEnable = user.bubbleEnable;
        user.bank.impl()->markSaved();
        QOVILog::debugLog(kSource, __LINE__,
                          L"Saved the password bank: " + std::to_wstring(user.bank.impl()->count()) + L" sites.");
        return COMMON_OK;
    });
}

// ----------------------------------------------------------------- users --

namespace {
std::unique_ptr<QOVIUserInfo> currentUser;
}

QOVIUserInfo* QOVIUserInfoManager::getCurrentLogonUser()
{
    if (!currentUser) {
        auto* impl = new QOVIUserInfo::Impl;
        impl->userName = qovi::accountName();
        impl->filePath = qovi::bankFilePath(qovi::userFolder(qovi::dataRoot(), impl->userName));
        currentUser.reset(new QOVIUserInfo(impl));
    }
    return currentUser.get();
}

void QOVIUserInfoManager::releaseUsers() { currentUser.reset(); }

int createQOVIAppUserDirectory()
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        std::wstring root = qovi::dataRoot();
        if (root.empty())
            return COMMON_ERR_IO;
        std::wstring folder = qovi::userFolder(root, qovi::accountName());
        if (qovi::ensureFolder(folder))
            return COMMON_OK;
        QOVILog::debugLog(kSource, __LINE__, L"Could not create the data folder " + folder);
        return COMMON_ERR_IO;
    });
}
