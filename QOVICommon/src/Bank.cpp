// The password bank: sites, input items, and how keys find them.
#include "BankImpl.h"

#include "BankFormat.h"
#include "Crypto.h"
#include "Log.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

static const wchar_t kSource[] = L".\\QOVICommon\\src\\Bank";

// ------------------------------------------------------------------ items --

QOVIInputItem::QOVIInputItem(Impl* impl) : impl_(impl) {}
QOVIInputItem::~QOVIInputItem() { delete impl_; }
const std::wstring& QOVIInputItem::getstrId() const { return impl_->data.id; }
const std::wstring& QOVIInputItem::getstrName() const { return impl_->data.name; }
const std::wstring& QOVIInputItem::getstrType() const { return impl_->data.type; }
const std::wstring& QOVIInputItem::getstrValue() const { return impl_->data.value; }

QOVIWebItem::QOVIWebItem(Impl* impl) : impl_(impl) {}
QOVIWebItem::~QOVIWebItem() { delete impl_; }
const std::wstring& QOVIWebItem::getstrWebName() const { return impl_->webName; }
const std::wstring& QOVIWebItem::getstrURL() const { return impl_->url; }
const std::wstring& QOVIWebItem::getstrFormId() const { return impl_->formId; }
const std::wstring& QOVIWebItem::getstrFormName() const { return impl_->formName; }

bool QOVIWebItem::Impl::changedHere() const
{
    if (renamedHere() || !removedInputs.empty())
        return true;
    for (const QOVIInputItem* input : inputs) {
        if (input->impl()->valueChanged)
            return true;
    }
    return false;
}

const std::string& QOVIWebItem::Impl::serialized()
{
    if (line.empty()) {
        std::vector<const qovi::InputRecord*> records;
        records.reserve(inputs.size());
        for (const QOVIInputItem* input : inputs)
            records.push_back(&input->impl()->data);
        line = qovi::serializeSite(uid, webName, url, formId, formName, records);
    }
    return line;
}

namespace qovi {

std::string newSiteUid()
{
    static std::string prefix;
    static unsigned long long counter;
    if (prefix.empty()) {
        unsigned char random[8];
        if (!randomBytes(random, sizeof random)) {
            // Still unique on this machine: process id and start time.
            unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
            memcpy(random, &seed, sizeof random);
        }
        prefix = toHex(random, sizeof random) + "-";
    }
    return prefix + std::to_string(++counter);
}

}  // namespace qovi

// --------------------------------------------------------- bank internals --

void QOVIPasswordBank::Impl::clear()
{
    sites.clear();
    byName.clear();
    byUrl.clear();
    removedSites.clear();
    siteObjects.clear();
    inputObjects.clear();
}

QOVIWebItem* QOVIPasswordBank::Impl::find(const std::wstring& webName) const
{
    auto found = byName.find(webName);
    return found == byName.end() ? nullptr : found->second;
}

QOVIInputItem* QOVIPasswordBank::Impl::makeInput(qovi::InputRecord&& record)
{
    auto* impl = new QOVIInputItem::Impl;
    impl->data = std::move(record);
    inputObjects.emplace_back(new QOVIInputItem(impl));
    return inputObjects.back().get();
}

QOVIWebItem* QOVIPasswordBank::Impl::makeSite(qovi::SiteRecord&& record)
{
    auto* impl = new QOVIWebItem::Impl;
    siteObjects.emplace_back(new QOVIWebItem(impl));
    impl->uid = std::move(record.uid);
    impl->webName = std::move(record.webName);
    impl->baseName = impl->webName;
    impl->url = std::move(record.url);
    impl->formId = std::move(record.formId);
    impl->formName = std::move(record.formName);
    impl->line = std::move(record.line);
    impl->inputs.reserve(record.inputs.size());
    for (qovi::InputRecord& input : record.inputs)
        impl->inputs.push_back(makeInput(std::move(input)));
    return siteObjects.back().get();
}

std::wstring QOVIPasswordBank::Impl::uniqueName(const std::wstring& wanted) const
{
    if (!byName.count(wanted))
        return wanted;
    for (unsigned n = 2;; ++n) {
        std::wstring candidate = wanted + L" (" + std::to_wstring(n) + L")";
        if (!byName.count(candidate))
            return candidate;
    }
}

void QOVIPasswordBank::Impl::reindex()
{
    byName.clear();
    byUrl.clear();
    byName.reserve(sites.size());
    std::vector<QOVIWebItem*> toName;
    for (QOVIWebItem* site : sites) {
        QOVIWebItem::Impl& s = *site->impl();
        if (s.added || s.renamedHere() || !byName.emplace(s.webName, site).second)
            toName.push_back(site);
    }
    for (QOVIWebItem* site : toName) {
        QOVIWebItem::Impl& s = *site->impl();
        std::wstring name = uniqueName(s.webName);
        if (name != s.webName) {
            s.webName = name;
            s.invalidate();
        }
        byName.emplace(s.webName, site);
    }
    for (QOVIWebItem* site : sites)
        byUrl.emplace(site->impl()->url, site);
}

void QOVIPasswordBank::Impl::markSaved()
{
    removedSites.clear();
    for (QOVIWebItem* site : sites) {
        QOVIWebItem::Impl& s = *site->impl();
        s.added = s.addedIfNew = false;
        s.baseName = s.webName;
        s.removedInputs.clear();
        for (QOVIInputItem* input : s.inputs)
            input->impl()->valueChanged = false;
    }
}

// ----------------------------------------------------------- key matching --

namespace {

// The listed input item the keys name (see the header for the rules).
COMMON_RESULT findInput(const QOVIWebItem::Impl& site, const std::wstring& key1, const std::wstring& key2,
                        size_t& index)
{
    auto pick = [&](auto matches) -> COMMON_RESULT {
        size_t count = 0;
        for (size_t i = 0; i < site.inputs.size(); ++i) {
            if (matches(site.inputs[i]->impl()->data)) {
                index = i;
                ++count;
            }
        }
        return count == 0 ? COMMON_ERR_NOT_FOUND : count == 1 ? COMMON_OK : COMMON_ERR_AMBIGUOUS;
    };
    if (!key1.empty()) {
        return pick([&](const qovi::InputRecord& input) {
            return input.name == key1 && (key2.empty() || input.id == key2);
        });
    }
    COMMON_RESULT byName = pick([&](const qovi::InputRecord& input) { return input.name == key2; });
    if (byName != COMMON_ERR_NOT_FOUND || key2.empty())
        return byName;
    return pick([&](const qovi::InputRecord& input) { return input.id == key2; });
}

std::wstring hostOf(const std::wstring& url)
{
    size_t start = url.find(L"://");
    start = start == std::wstring::npos ? 0 : start + 3;
    size_t end = url.find_first_of(L"/?#", start);
    std::wstring host = url.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    size_t at = host.rfind(L'@');
    if (at != std::wstring::npos)
        host.erase(0, at + 1);
    if (!host.empty() && host[0] != L'[') {
        size_t colon = host.find(L':');
        if (colon != std::wstring::npos)
            host.erase(colon);
    }
    return host.empty() ? url : host;
}

template <typename F>
auto guarded(F body) -> decltype(body())
{
    try {
        return body();
    } catch (const std::exception&) {
        QOVILog::debugLog(kSource, __LINE__, L"A bank operation failed: out of memory or an internal error.");
        return decltype(body())(COMMON_ERR_INTERNAL);
    }
}

}  // namespace

// --------------------------------------------------------------- the bank --

QOVIPasswordBank::QOVIPasswordBank(Impl* impl) : impl_(impl) {}
QOVIPasswordBank::~QOVIPasswordBank() { delete impl_; }

COMMON_RESULT QOVIPasswordBank::getWebItems(std::vector<QOVIWebItem*>& items, const std::wstring& url,
                                            const std::wstring& webName)
{
    return guarded([&]() -> COMMON_RESULT {
        for (QOVIWebItem* site : impl_->sites) {
            const QOVIWebItem::Impl& s = *site->impl();
            if ((url.empty() || s.url == url) && (webName.empty() || s.webName == webName))
                items.push_back(site);
        }
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::getInputItems(std::vector<QOVIInputItem*>& items, const std::wstring& webName)
{
    return guarded([&]() -> COMMON_RESULT {
        QOVIWebItem* site = impl_->find(webName);
        if (!site)
            return COMMON_ERR_NOT_FOUND;
        items.insert(items.end(), site->impl()->inputs.begin(), site->impl()->inputs.end());
        return COMMON_OK;
    });
}

int QOVIPasswordBank::isWebItemExist(const std::wstring& webName, const std::wstring& url)
{
    QOVIWebItem* site = impl_->find(webName);
    return site && (url.empty() || site->impl()->url == url) ? 1 : 0;
}

int QOVIPasswordBank::isWebItemExist(const std::wstring& url, const std::wstring& formId,
                                     const std::wstring& formName, const std::wstring& inputId,
                                     const std::wstring& inputName, const std::wstring& inputType,
                                     const std::wstring& value)
{
    auto range = impl_->byUrl.equal_range(url);
    for (auto it = range.first; it != range.second; ++it) {
        const QOVIWebItem::Impl& s = *it->second->impl();
        if (s.formId != formId || s.formName != formName)
            continue;
        for (const QOVIInputItem* input : s.inputs) {
            const qovi::InputRecord& d = input->impl()->data;
            if (d.id == inputId && d.name == inputName && d.type == inputType && d.value == value)
                return 1;
        }
    }
    return 0;
}

COMMON_RESULT QOVIPasswordBank::modifyWebItemName(const std::wstring& webName, const std::wstring& newName)
{
    return guarded([&]() -> COMMON_RESULT {
        if (newName.empty())
            return COMMON_ERR_INVALID_ARG;
        QOVIWebItem* site = impl_->find(webName);
        if (!site)
            return COMMON_ERR_NOT_FOUND;
        if (newName == webName)
            return COMMON_OK;
        if (impl_->find(newName))
            return COMMON_ERR_EXISTS;
        impl_->byName.erase(webName);
        site->impl()->webName = newName;
        impl_->byName.emplace(site->impl()->webName, site);
        site->impl()->invalidate();
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::modifyInputItemValue(const std::wstring& webName, const std::wstring& key1,
                                                     const std::wstring& key2, const std::wstring& value)
{
    return guarded([&]() -> COMMON_RESULT {
        QOVIWebItem* site = impl_->find(webName);
        if (!site)
            return COMMON_ERR_NOT_FOUND;
        size_t index = 0;
        COMMON_RESULT found = findInput(*site->impl(), key1, key2, index);
        if (found != COMMON_OK)
            return found;
        QOVIInputItem::Impl& input = *site->impl()->inputs[index]->impl();
        if (input.data.value == value)
            return COMMON_OK;
        std::wstring copy = value;  // allocate first: a failure leaves the old value whole
        qovi::wipe(input.data.value);
        input.data.value = std::move(copy);
        input.valueChanged = true;
        site->impl()->invalidate();
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::removeWebItem(const std::wstring& webName, const std::wstring& url)
{
    return guarded([&]() -> COMMON_RESULT {
        QOVIWebItem* site = impl_->find(webName);
        if (!site || (!url.empty() && site->impl()->url != url))
            return COMMON_ERR_NOT_FOUND;
        QOVIWebItem::Impl& s = *site->impl();
        if (!s.added)
            impl_->removedSites.push_back(s.uid);
        impl_->sites.erase(std::find(impl_->sites.begin(), impl_->sites.end(), site));
        impl_->byName.erase(std::wstring_view(s.webName));
        auto range = impl_->byUrl.equal_range(s.url);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second == site) {
                impl_->byUrl.erase(it);
                break;
            }
        }
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::removeInputItem(const std::wstring& webName, const std::wstring& key1,
                                                const std::wstring& key2)
{
    return guarded([&]() -> COMMON_RESULT {
        QOVIWebItem* site = impl_->find(webName);
        if (!site)
            return COMMON_ERR_NOT_FOUND;
        QOVIWebItem::Impl& s = *site->impl();
        size_t index = 0;
        COMMON_RESULT found = findInput(s, key1, key2, index);
        if (found != COMMON_OK)
            return found;
        if (!s.added)
            s.removedInputs.push_back(s.inputs[index]->impl()->data.n);
        s.inputs.erase(s.inputs.begin() + static_cast<std::ptrdiff_t>(index));
        s.invalidate();
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::addWebItem(const QOVINewWebItem& site, std::wstring* givenName)
{
    return guarded([&]() -> COMMON_RESULT { return impl_->add(site, false, givenName); });
}

COMMON_RESULT QOVIPasswordBank::addNewAccount(const QOVINewWebItem& site, std::wstring* givenName)
{
    return guarded([&]() -> COMMON_RESULT { return impl_->add(site, true, givenName); });
}

COMMON_RESULT QOVIPasswordBank::Impl::add(const QOVINewWebItem& site, bool ifNew, std::wstring* givenName)
{
    if (site.url.empty())
        return COMMON_ERR_INVALID_ARG;
    qovi::SiteRecord record;
    int n = 0;
    for (const QOVINewInputItem& input : site.inputs) {
        record.inputs.emplace_back();
        qovi::InputRecord& r = record.inputs.back();
        r.n = ++n;
        r.id = input.id;
        r.name = input.name;
        r.type = input.type;
        r.value = input.value;
    }
    if (ifNew) {
        auto range = byUrl.equal_range(site.url);
        for (auto it = range.first; it != range.second; ++it) {
            if (qovi::holdsAccount(*it->second->impl(), site.url, site.formId, site.formName, record.inputs))
                return COMMON_ERR_EXISTS;
        }
    }
    record.uid = qovi::newSiteUid();
    record.webName = uniqueName(site.webName.empty() ? hostOf(site.url) : site.webName);
    record.url = site.url;
    record.formId = site.formId;
    record.formName = site.formName;
    QOVIWebItem* made = makeSite(std::move(record));
    made->impl()->added = true;
    made->impl()->addedIfNew = ifNew;
    sites.push_back(made);
    byName.emplace(made->impl()->webName, made);
    byUrl.emplace(made->impl()->url, made);
    if (givenName)
        *givenName = made->impl()->webName;
    return COMMON_OK;
}
