// Placeholder store: everything in memory, nothing on disk.
#include "QOVICommon.h"

struct QOVIInputItem::Impl { std::wstring id, name, type, value; };
struct QOVIWebItem::Impl { std::wstring webName, url, formId, formName; };
struct QOVIPasswordBank::Impl {};
struct QOVIUserInfo::Impl { int bank = 1, bubble = 1; QOVIPasswordBank* pwdBank = nullptr; std::wstring name, path; };

QOVIInputItem::QOVIInputItem(Impl* impl) : impl_(impl) {}
QOVIInputItem::~QOVIInputItem() { delete impl_; }
const std::wstring& QOVIInputItem::getstrId() const { return impl_->id; }
const std::wstring& QOVIInputItem::getstrName() const { return impl_->name; }
const std::wstring& QOVIInputItem::getstrType() const { return impl_->type; }
const std::wstring& QOVIInputItem::getstrValue() const { return impl_->value; }

QOVIWebItem::QOVIWebItem(Impl* impl) : impl_(impl) {}
QOVIWebItem::~QOVIWebItem() { delete impl_; }
const std::wstring& QOVIWebItem::getstrWebName() const { return impl_->webName; }
const std::wstring& QOVIWebItem::getstrURL() const { return impl_->url; }
const std::wstring& QOVIWebItem::getstrFormId() const { return impl_->formId; }
const std::wstring& QOVIWebItem::getstrFormName() const { return impl_->formName; }

QOVIPasswordBank::QOVIPasswordBank(Impl* impl) : impl_(impl) {}
QOVIPasswordBank::~QOVIPasswordBank() { delete impl_; }
COMMON_RESULT QOVIPasswordBank::getWebItems(std::vector<QOVIWebItem*>&, const std::wstring&, const std::wstring&) { return COMMON_OK; }
COMMON_RESULT QOVIPasswordBank::getInputItems(std::vector<QOVIInputItem*>&, const std::wstring&) { return COMMON_OK; }
int QOVIPasswordBank::isWebItemExist(const std::wstring&, const std::wstring&) { return 0; }
int QOVIPasswordBank::isWebItemExist(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
                                     const std::wstring&, const std::wstring&, const std::wstring&) { return 0; }
COMMON_RESULT QOVIPasswordBank::modifyWebItemName(const std::wstring&, const std::wstring&) { return COMMON_ERR_NOT_FOUND; }
COMMON_RESULT QOVIPasswordBank::modifyInputItemValue(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&) { return COMMON_ERR_NOT_FOUND; }
COMMON_RESULT QOVIPasswordBank::removeWebItem(const std::wstring&, const std::wstring&) { return COMMON_ERR_NOT_FOUND; }
COMMON_RESULT QOVIPasswordBank::removeInputItem(const std::wstring&, const std::wstring&, const std::wstring&) { return COMMON_ERR_NOT_FOUND; }
COMMON_RESULT QOVIPasswordBank::addWebItem(const QOVINewWebItem&, std::wstring*) { return COMMON_ERR_IO; }

QOVIUserInfo::QOVIUserInfo(Impl* impl) : impl_(impl) {}
QOVIUserInfo::~QOVIUserInfo() { delete impl_->pwdBank; delete impl_; }
COMMON_RESULT QOVIUserInfo::load(int) { return COMMON_OK; }
COMMON_RESULT QOVIUserInfo::save(int) { return COMMON_OK; }
int QOVIUserInfo::getPWDBankEnable() { return impl_->bank; }
int QOVIUserInfo::getBubbleEnable() { return impl_->bubble; }
void QOVIUserInfo::setPWDBankEnable(int enable) { impl_->bank = enable; }
void QOVIUserInfo::setBubbleEnable(int enable) { impl_->bubble = enable; }
QOVIPasswordBank* QOVIUserInfo::getPWDBankInfo() { return impl_->pwdBank; }
const std::wstring& QOVIUserInfo::getUserName() const { return impl_->name; }
const std::wstring& QOVIUserInfo::getDataFilePath() const { return impl_->path; }

static QOVIUserInfo* currentUser;

int createQOVIAppUserDirectory() { return 0; }
QOVIUserInfo* QOVIUserInfoManager::getCurrentLogonUser()
{
    if (!currentUser) {
        currentUser = new QOVIUserInfo(new QOVIUserInfo::Impl);
        currentUser->impl()->pwdBank = new QOVIPasswordBank(new QOVIPasswordBank::Impl);
    }
    return currentUser;
}
void QOVIUserInfoManager::releaseUsers() { delete currentUser; currentUser = nullptr; }
void QOVILog::debugLog(const wchar_t*, int, const std::wstring&) {}
void QOVILog::endLog() {}
