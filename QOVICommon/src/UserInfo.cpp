// Users, their settings, and loading and saving their bank.
#include "BankImpl.h"

#include "BankFile.h"
#include "BankFormat.h"
#include "BankLock.h"
#include "DataFolder.h"
#include "Log.h"

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

// A file that cannot be read as this user's bank is never overwritten: it
// is renamed out of the way and stays there for whoever can recover it.
COMMON_RESULT keepDamaged(const std::wstring& path, const std::string& why)
{
    std::wstring kept = qovi::keepAside(path);
    if (kept.empty()) {
        QOVILog::debugLog(kSource, __LINE__,
                          L"The password bank file is unreadable (" + widen(why) + L") and could not be renamed: " + path);
    } else {
        QOVILog::debugLog(kSource, __LINE__,
                          L"The password bank file is unreadable (" + widen(why) + L"); kept as " + kept);
        if (qovi::fileExists(qovi::backupPath(path)))
            QOVILog::debugLog(kSource, __LINE__, L"The previous generation is in " + qovi::backupPath(path));
    }
    return COMMON_ERR_CORRUPT;
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

template <typename F>
COMMON_RESULT guarded(F body)
{
    try {
        return body();
    } catch (const std::exception&) {
        QOVILog::debugLog(kSource, __LINE__, L"A load or save failed: out of memory or an internal error.");
        return COMMON_ERR_INTERNAL;
    }
}

}  // namespace

// ------------------------------------------------------------- internals --

void QOVIUserInfo::Impl::reset()
{
    bank.impl()->clear();
    pwdBankEnable = bubbleEnable = 1;
    basePwdBankEnable = baseBubbleEnable = 1;
    loaded = false;
    baseSaveId.clear();
    key.clear();
    // Plain text is left in it only by a save that failed halfway.
    qovi::wipe(saveBuffer);
    std::string().swap(saveBuffer);
}

void QOVIUserInfo::Impl::adopt(qovi::BankContent&& content)
{
    pwdBankEnable = basePwdBankEnable = content.pwdBankEnable;
    bubbleEnable = baseBubbleEnable = content.bubbleEnable;
    QOVIPasswordBank::Impl& b = *bank.impl();
    b.sites.reserve(content.sites.size());
    b.siteObjects.reserve(content.sites.size());
    for (qovi::SiteRecord& record : content.sites)
        b.sites.push_back(b.makeSite(std::move(record)));
    b.reindex();
}

void QOVIUserInfo::Impl::payload(std::string& text)
{
    QOVIPasswordBank::Impl& b = *bank.impl();
    std::string settings = qovi::serializeSettings(pwdBankEnable, bubbleEnable, b.sites.size());
    size_t size = settings.size() + 1;
    for (QOVIWebItem* site : b.sites)
        size += site->impl()->serialized().size() + 1;
    // The exact size, and room for the tag the encryption appends: the
    // buffer does not grow while it holds plain text, so no copy of it is
    // left unwiped.
    text.clear();
    text.reserve(size + qovi::kTagSize);
    text += settings;
    text += '\n';
    for (QOVIWebItem* site : b.sites) {
        text += site->impl()->line;
        text += '\n';
    }
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

COMMON_RESULT QOVIUserInfo::load(int)
{
    return guarded([&]() -> COMMON_RESULT {
        Impl& user = *impl_;
        user.reset();
        std::wstring root = qovi::dataRoot();
        if (root.empty()) {
            QOVILog::debugLog(kSource, __LINE__, L"No data folder: the local application data folder is unknown.");
            return COMMON_ERR_IO;
        }
        user.filePath = qovi::bankFilePath(qovi::userFolder(root, user.userName));

        qovi::BankLock lock(user.filePath);
        if (!lock.held())
            return COMMON_ERR_LOCKED;
        qovi::settleInterruptedSaves(user.filePath);
        qovi::FileContent file;
        std::string why;
        qovi::FileStatus status = qovi::readBankFile(user.filePath, file, why);
        if (status == qovi::FileStatus::Missing) {
            user.loaded = true;
            QOVILog::debugLog(kSource, __LINE__, L"No password bank yet: the defaults apply.");
            return COMMON_OK;
        }
        if (status == qovi::FileStatus::Damaged)
            return keepDamaged(user.filePath, why);
        if (status != qovi::FileStatus::Ok) {
            QOVILog::debugLog(kSource, __LINE__, L"Could not load the password bank: " + widen(why));
            return resultOf(status);
        }
        qovi::BankContent content;
        if (!qovi::parsePayload(file.payload(), file.size, content, true, why))
            return keepDamaged(user.filePath, why);
        user.adopt(std::move(content));
        user.baseSaveId = file.saveId;
        user.key = file.key;
        // The read buffer is the size of the next save's content and its
        // pages are already in memory: the first save reuses it.
        qovi::wipe(file.buffer);
        user.saveBuffer.swap(file.buffer);
        user.loaded = true;
        QOVILog::debugLog(kSource, __LINE__,
                          L"Loaded the password bank: " + std::to_wstring(user.bank.impl()->sites.size()) + L" sites.");
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIUserInfo::save(int)
{
    return guarded([&]() -> COMMON_RESULT {
        Impl& user = *impl_;
        if (!user.loaded)
            return COMMON_ERR_NOT_LOADED;
        if (!qovi::ensureFolder(folderOf(user.filePath))) {
            QOVILog::debugLog(kSource, __LINE__, L"Could not create the data folder " + folderOf(user.filePath));
            return COMMON_ERR_IO;
        }
        qovi::BankLock lock(user.filePath);
        if (!lock.held())
            return COMMON_ERR_LOCKED;
        qovi::settleInterruptedSaves(user.filePath);

        std::string currentId;
        qovi::FileStatus status = qovi::readSaveId(user.filePath, currentId);
        if (status == qovi::FileStatus::IoError)
            return COMMON_ERR_IO;
        bool unchanged = status == qovi::FileStatus::Missing ||
                         (status == qovi::FileStatus::Ok && currentId == user.baseSaveId);
        if (!unchanged) {
            qovi::FileContent file;
            std::string why;
            status = qovi::readBankFile(user.filePath, file, why);
            if (status == qovi::FileStatus::Damaged)
                return keepDamaged(user.filePath, why);
            if (status != qovi::FileStatus::Ok && status != qovi::FileStatus::Missing) {
                QOVILog::debugLog(kSource, __LINE__, L"Could not read the password bank to merge: " + widen(why));
                return resultOf(status);
            }
            if (status == qovi::FileStatus::Ok) {
                qovi::BankContent saved;
                if (!qovi::parsePayload(file.payload(), file.size, saved, true, why))
                    return keepDamaged(user.filePath, why);
                user.merge(std::move(saved));
                user.baseSaveId = file.saveId;
                user.key = file.key;
                QOVILog::debugLog(kSource, __LINE__, L"Merged this process's changes into a newer saved bank.");
            }
        }

        user.payload(user.saveBuffer);
        std::string saveId;
        // Encrypted in place: afterwards the buffer holds no plain text.
        status = qovi::writeBankFile(user.filePath, user.saveBuffer, user.key, saveId);
        if (status != qovi::FileStatus::Ok)
            return resultOf(status);
        user.baseSaveId = saveId;
        user.basePwdBankEnable = user.pwdBankEnable;
        user.baseBubbleEnable = user.bubbleEnable;
        user.bank.impl()->markSaved();
        QOVILog::debugLog(kSource, __LINE__,
                          L"Saved the password bank: " + std::to_wstring(user.bank.impl()->sites.size()) + L" sites.");
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
    try {
        std::wstring root = qovi::dataRoot();
        if (root.empty())
            return COMMON_ERR_IO;
        std::wstring folder = qovi::userFolder(root, qovi::accountName());
        if (qovi::ensureFolder(folder))
            return COMMON_OK;
        QOVILog::debugLog(kSource, __LINE__, L"Could not create the data folder " + folder);
        return COMMON_ERR_IO;
    } catch (const std::exception&) {
        return COMMON_ERR_INTERNAL;
    }
}
