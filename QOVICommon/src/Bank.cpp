// The password bank: sites, input items, and how keys find them.
#include "BankImpl.h"

#include "BankFormat.h"
#include "Crypto.h"
#include "Log.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

static const wchar_t kSource[] = L".\\QOVICommon\\src\\Bank";

bool isUserNameType(const std::wstring& type) { return type == L"text" || type == L"email"; }

// ------------------------------------------------------------------ items --

// The bank owns the objects behind both (BankImpl.h): nothing to free here.
QOVIInputItem::QOVIInputItem(Impl* impl) : impl_(impl) {}
QOVIInputItem::~QOVIInputItem() = default;
const std::wstring& QOVIInputItem::getstrId() const { return impl_->data.id; }
const std::wstring& QOVIInputItem::getstrName() const { return impl_->data.name; }
const std::wstring& QOVIInputItem::getstrType() const { return impl_->data.type; }
const std::wstring& QOVIInputItem::getstrValue() const { return impl_->data.value; }

QOVIWebItem::QOVIWebItem(Impl* impl) : impl_(impl) {}
QOVIWebItem::~QOVIWebItem() = default;
const std::wstring& QOVIWebItem::getstrWebName() const { return impl_->head().webName; }
const std::wstring& QOVIWebItem::getstrURL() const { return impl_->head().url; }
const std::wstring& QOVIWebItem::getstrFormId() const { return impl_->head().formId; }
const std::wstring& QOVIWebItem::getstrFormName() const { return impl_->head().formName; }

qovi::SiteFields& QOVIWebItem::Impl::head()
{
    if (!headRead) {
        qovi::SiteRecord record;
        qovi::decodeHead(stored, record);
        if (!fields)
            fields = bank->makeFields();
        fields->uid = std::move(record.uid);
        fields->webName = std::move(record.webName);
        fields->url = std::move(record.url);
        fields->formId = std::move(record.formId);
        fields->formName = std::move(record.formName);
        fields->baseName = fields->webName;
        headRead = true;
    }
    return *fields;
}

qovi::SiteFields& QOVIWebItem::Impl::whole()
{
    qovi::SiteFields& f = head();
    if (!inputsRead) {
        qovi::SiteRecord record;
        qovi::decodeRecord(stored, record);
        f.inputs.reserve(record.inputs.size());
        for (qovi::InputRecord& input : record.inputs)
            f.inputs.push_back(bank->makeInput(std::move(input)));
        inputsRead = true;
    }
    return f;
}

qovi::SiteFields& QOVIWebItem::Impl::detachFromRecord()
{
    qovi::SiteFields& f = whole();
    stored = qovi::RecordView();
    return f;
}

size_t QOVIWebItem::Impl::inputIndex(const QOVIInputItem* input)
{
    const std::vector<QOVIInputItem*>& inputs = whole().inputs;
    return static_cast<size_t>(std::find(inputs.begin(), inputs.end(), input) - inputs.begin());
}

std::string_view QOVIWebItem::Impl::uidView() const
{
    return headRead ? std::string_view(fields->uid) : qovi::recordUid(stored);
}

bool QOVIWebItem::Impl::changedHere() const
{
    if (!headRead)
        return false;  // nothing is changed without being read first
    if (renamedHere() || !fields->removedInputs.empty())
        return true;
    for (const QOVIInputItem* input : fields->inputs) {
        if (input->impl()->valueChanged)
            return true;
    }
    return false;
}

namespace {

std::vector<const qovi::InputRecord*> recordsOf(const std::vector<QOVIInputItem*>& inputs)
{
    std::vector<const qovi::InputRecord*> records;
    records.reserve(inputs.size());
    for (const QOVIInputItem* input : inputs)
        records.push_back(&input->impl()->data);
    return records;
}

}  // namespace

size_t QOVIWebItem::Impl::recordBytes() const
{
    if (!stored.empty())
        return qovi::kRecordSizeBytes + stored.size;
    const qovi::SiteFields& f = *fields;
    return qovi::kRecordSizeBytes + qovi::recordSize(f.uid, f.webName, f.url, f.formId, f.formName, recordsOf(f.inputs));
}

void QOVIWebItem::Impl::appendRecord(std::string& out) const
{
    if (stored.empty()) {
        const qovi::SiteFields& f = *fields;
        qovi::encodeRecord(f.uid, f.webName, f.url, f.formId, f.formName, recordsOf(f.inputs), out);
        return;
    }
    qovi::appendRecord(stored, out);
}

void QOVIWebItem::Impl::takeStoredRecord(qovi::RecordView record)
{
    // What was read of the old record is read again from the new one; input
    // objects already handed out stay, matched by their number.
    bool same = !stored.empty() && stored.size == record.size && memcmp(stored.data, record.data, record.size) == 0;
    bool hadHead = headRead, hadInputs = inputsRead;
    stored = record;
    if (same)
        return;
    headRead = inputsRead = false;
    if (hadHead)
        head();
    if (!hadInputs)
        return;
    qovi::SiteRecord saved;
    qovi::decodeRecord(record, saved);
    std::vector<QOVIInputItem*> kept;
    kept.reserve(saved.inputs.size());
    std::vector<QOVIInputItem*>& inputs = fields->inputs;
    for (qovi::InputRecord& input : saved.inputs) {
        auto ours = std::find_if(inputs.begin(), inputs.end(),
                                 [&](QOVIInputItem* item) { return item->impl()->data.n == input.n; });
        if (ours == inputs.end()) {
            kept.push_back(bank->makeInput(std::move(input)));
        } else {
            qovi::wipe((*ours)->impl()->data.value);
            (*ours)->impl()->data = std::move(input);
            kept.push_back(*ours);
        }
    }
    inputs = std::move(kept);
    inputsRead = true;
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
    std::vector<qovi::RecordView>().swap(unmade);
    holes = 0;
    dropIndexes();
    removedSites.clear();
    siteObjects.clear();
    fieldObjects.clear();
    inputObjects.clear();
    qovi::wipe(content);
    std::string().swap(content);
}

void QOVIPasswordBank::Impl::adopt(std::string&& newContent, std::vector<qovi::RecordView>&& records)
{
    clear();
    unmade = std::move(records);
    // The records stay where they are: the buffer they are in becomes the
    // content.
    replaceContent(std::move(newContent));
}

const std::vector<QOVIWebItem*>& QOVIPasswordBank::Impl::compactedList()
{
    if (!unmade.empty()) {
        // Listed only once all are made: when memory runs out halfway, the
        // records stay unmade and the next call makes them all again.
        std::vector<QOVIWebItem*> made;
        made.reserve(unmade.size());
        for (qovi::RecordView record : unmade)
            made.push_back(makeSite(record));
        sites.swap(made);
        std::vector<qovi::RecordView>().swap(unmade);
    }
    if (holes > 0) {
        sites.erase(std::remove_if(sites.begin(), sites.end(), [](QOVIWebItem* site) { return !site->impl()->listed; }),
                    sites.end());
        holes = 0;
    }
    return sites;
}

QOVIWebItem* QOVIPasswordBank::Impl::listedSite(const QOVIWebItem* site)
{
    if (!site || site->impl()->bank != this || !site->impl()->listed)
        return nullptr;
    return const_cast<QOVIWebItem*>(site);  // one of the bank's own objects
}

void QOVIPasswordBank::Impl::rename(QOVIWebItem* site, const std::wstring& newName)
{
    index();
    std::wstring name = newName;  // allocate first: a failure leaves the site as it was
    qovi::SiteFields& s = site->impl()->detachFromRecord();
    byName.erase(std::wstring_view(s.webName));
    s.webName = std::move(name);
    byName.emplace(s.webName, site);
}

void QOVIPasswordBank::Impl::remove(QOVIWebItem* site)
{
    QOVIWebItem::Impl& s = *site->impl();
    if (!s.added)
        removedSites.emplace_back(s.uidView());
    s.listed = false;
    ++holes;
    if (!indexed)
        return;  // made later, of the listed sites
    // Indexed: every listed site's head is read.
    byName.erase(std::wstring_view(s.fields->webName));
    auto range = byUrl.equal_range(s.fields->url);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == site) {
            byUrl.erase(it);
            break;
        }
    }
}

QOVIWebItem* QOVIPasswordBank::Impl::find(const std::wstring& webName)
{
    index();
    auto found = byName.find(webName);
    return found == byName.end() ? nullptr : found->second;
}

QOVIInputItem* QOVIPasswordBank::Impl::makeInput(qovi::InputRecord&& record)
{
    InputBox* box = inputObjects.make();
    box->impl.data = std::move(record);
    return &box->item;
}

QOVIWebItem* QOVIPasswordBank::Impl::makeSite(qovi::RecordView record)
{
    SiteBox* box = siteObjects.make();
    box->impl.bank = this;
    box->impl.stored = record;
    return &box->item;
}

QOVIWebItem* QOVIPasswordBank::Impl::makeSite(qovi::SiteRecord&& record)
{
    SiteBox* box = siteObjects.make();
    box->impl.bank = this;
    box->impl.headRead = box->impl.inputsRead = true;
    qovi::SiteFields& s = *(box->impl.fields = makeFields());
    s.uid = std::move(record.uid);
    s.webName = std::move(record.webName);
    s.baseName = s.webName;
    s.url = std::move(record.url);
    s.formId = std::move(record.formId);
    s.formName = std::move(record.formName);
    s.inputs.reserve(record.inputs.size());
    for (qovi::InputRecord& input : record.inputs)
        s.inputs.push_back(makeInput(std::move(input)));
    return &box->item;
}

std::wstring QOVIPasswordBank::Impl::uniqueName(const std::wstring& wanted)
{
    index();
    if (!byName.count(wanted))
        return wanted;
    for (unsigned n = 2;; ++n) {
        std::wstring candidate = wanted + L" (" + std::to_wstring(n) + L")";
        if (!byName.count(candidate))
            return candidate;
    }
}

std::vector<QOVIWebItem*> QOVIPasswordBank::Impl::withUrl(const std::wstring& url)
{
    index();
    std::vector<QOVIWebItem*> found;
    auto range = byUrl.equal_range(url);
    for (auto it = range.first; it != range.second; ++it)
        found.push_back(it->second);
    return found;
}

void QOVIPasswordBank::Impl::dropIndexes()
{
    byName.clear();
    byUrl.clear();
    indexed = false;
}

void QOVIPasswordBank::Impl::index()
{
    if (!indexed)
        reindex();
}

void QOVIPasswordBank::Impl::reindex()
{
    byName.clear();
    byUrl.clear();
    const std::vector<QOVIWebItem*>& list = compactedList();
    byName.reserve(list.size());
    byUrl.reserve(list.size());
    std::vector<QOVIWebItem*> toName;
    for (QOVIWebItem* site : list) {
        QOVIWebItem::Impl& s = *site->impl();
        const std::wstring& name = s.head().webName;
        if (s.added || s.renamedHere() || !byName.emplace(name, site).second)
            toName.push_back(site);
    }
    indexed = true;
    for (QOVIWebItem* site : toName) {
        qovi::SiteFields& s = *site->impl()->fields;
        std::wstring name = uniqueName(s.webName);
        if (name != s.webName) {
            site->impl()->detachFromRecord().webName = name;
        }
        byName.emplace(s.webName, site);
    }
    for (QOVIWebItem* site : list)
        byUrl.emplace(site->impl()->fields->url, site);
}

std::string QOVIPasswordBank::Impl::replaceContent(std::string&& newContent)
{
    // Sites still stored in the old content (removed ones handed out before
    // among them) read themselves whole before it goes.
    const char* begin = content.data();
    const char* end = begin + content.size();
    siteObjects.forEach([&](SiteBox& box) {
        QOVIWebItem::Impl& s = box.impl;
        if (!s.stored.empty() && s.stored.data >= begin && s.stored.data < end)
            s.detachFromRecord();
    });
    std::string old = std::move(content);
    qovi::wipe(old);
    content = std::move(newContent);
    return old;
}

void QOVIPasswordBank::Impl::markSaved()
{
    removedSites.clear();
    for (QOVIWebItem* site : compactedList()) {
        QOVIWebItem::Impl& s = *site->impl();
        s.added = s.addedIfNew = false;
        if (!s.headRead)
            continue;  // unread, so unchanged
        s.fields->baseName = s.fields->webName;
        s.fields->removedInputs.clear();
        for (QOVIInputItem* input : s.fields->inputs)
            input->impl()->valueChanged = false;
    }
}

// ----------------------------------------------------------- key matching --

namespace {

// The listed input item the keys name (see the header for the rules).
COMMON_RESULT findInput(const qovi::SiteFields& site, const std::wstring& key1, const std::wstring& key2,
                        QOVIInputItem*& found)
{
    auto pick = [&](auto matches) -> COMMON_RESULT {
        size_t count = 0;
        for (QOVIInputItem* input : site.inputs) {
            if (matches(input->impl()->data)) {
                found = input;
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

}  // namespace

// --------------------------------------------------------------- the bank --

QOVIPasswordBank::QOVIPasswordBank(Impl* impl) : impl_(impl) {}
QOVIPasswordBank::~QOVIPasswordBank() { delete impl_; }

COMMON_RESULT QOVIPasswordBank::getWebItems(std::vector<QOVIWebItem*>& items, const std::wstring& url,
                                            const std::wstring& webName)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        // A name names one site at most: found by the index, not by a pass
        // over the list (an import asks once per site it adds).
        if (!webName.empty()) {
            QOVIWebItem* site = impl_->find(webName);
            if (site && (url.empty() || site->impl()->head().url == url))
                items.push_back(site);
            return COMMON_OK;
        }
        const std::vector<QOVIWebItem*>& list = impl_->compactedList();
        if (url.empty()) {
            items.insert(items.end(), list.begin(), list.end());
            return COMMON_OK;
        }
        for (QOVIWebItem* site : list) {
            const qovi::SiteFields& s = site->impl()->head();
            if ((url.empty() || s.url == url) && (webName.empty() || s.webName == webName))
                items.push_back(site);
        }
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::getInputItems(std::vector<QOVIInputItem*>& items, const std::wstring& webName)
{
    return qovi::guarded(kSource, [&]() { return getInputItems(items, impl_->find(webName)); });
}

int QOVIPasswordBank::isWebItemExist(const std::wstring& webName, const std::wstring& url)
{
    QOVIWebItem* site = impl_->find(webName);
    return site && (url.empty() || site->impl()->head().url == url) ? 1 : 0;
}

int QOVIPasswordBank::isWebItemExist(const std::wstring& url, const std::wstring& formId,
                                     const std::wstring& formName, const std::wstring& inputId,
                                     const std::wstring& inputName, const std::wstring& inputType,
                                     const std::wstring& value)
{
    for (QOVIWebItem* site : impl_->withUrl(url)) {
        qovi::SiteFields& s = site->impl()->whole();
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

// The name-keyed operations find the site and its input item by their keys
// (finding may make the indexes, so inside the guard) and then act as the
// object-keyed ones below.

COMMON_RESULT QOVIPasswordBank::modifyWebItemName(const std::wstring& webName, const std::wstring& newName)
{
    return qovi::guarded(kSource, [&]() { return modifyWebItemName(impl_->find(webName), newName); });
}

COMMON_RESULT QOVIPasswordBank::modifyInputItemValue(const std::wstring& webName, const std::wstring& key1,
                                                     const std::wstring& key2, const std::wstring& value)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        QOVIWebItem* site = impl_->find(webName);
        QOVIInputItem* input = nullptr;
        COMMON_RESULT found = site ? findInput(site->impl()->whole(), key1, key2, input) : COMMON_ERR_NOT_FOUND;
        return found == COMMON_OK ? modifyInputItemValue(site, input, value) : found;
    });
}

COMMON_RESULT QOVIPasswordBank::removeWebItem(const std::wstring& webName, const std::wstring& url)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        QOVIWebItem* site = impl_->find(webName);
        if (!site || (!url.empty() && site->impl()->head().url != url))
            return COMMON_ERR_NOT_FOUND;
        return removeWebItem(site);
    });
}

COMMON_RESULT QOVIPasswordBank::removeInputItem(const std::wstring& webName, const std::wstring& key1,
                                                const std::wstring& key2)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        QOVIWebItem* site = impl_->find(webName);
        QOVIInputItem* input = nullptr;
        COMMON_RESULT found = site ? findInput(site->impl()->whole(), key1, key2, input) : COMMON_ERR_NOT_FOUND;
        return found == COMMON_OK ? removeInputItem(site, input) : found;
    });
}

COMMON_RESULT QOVIPasswordBank::getInputItems(std::vector<QOVIInputItem*>& items, const QOVIWebItem* site)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        QOVIWebItem* found = impl_->listedSite(site);
        if (!found)
            return COMMON_ERR_NOT_FOUND;
        const qovi::SiteFields& s = found->impl()->whole();
        items.insert(items.end(), s.inputs.begin(), s.inputs.end());
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::modifyWebItemName(const QOVIWebItem* site, const std::wstring& newName)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        if (newName.empty())
            return COMMON_ERR_INVALID_ARG;
        QOVIWebItem* s = impl_->listedSite(site);
        if (!s)
            return COMMON_ERR_NOT_FOUND;
        if (newName == s->impl()->head().webName)
            return COMMON_OK;
        if (impl_->find(newName))
            return COMMON_ERR_EXISTS;
        impl_->rename(s, newName);
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::modifyInputItemValue(const QOVIWebItem* site, const QOVIInputItem* input,
                                                     const std::wstring& value)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        QOVIWebItem* found = impl_->listedSite(site);
        QOVIWebItem::Impl* s = found ? found->impl() : nullptr;
        size_t index = s ? s->inputIndex(input) : 0;
        if (!s || index == s->fields->inputs.size())
            return COMMON_ERR_NOT_FOUND;
        QOVIInputItem::Impl& item = *s->fields->inputs[index]->impl();
        if (item.data.value == value)
            return COMMON_OK;
        std::wstring copy = value;  // allocate first: a failure leaves the old value whole
        s->detachFromRecord();
        qovi::wipe(item.data.value);
        item.data.value = std::move(copy);
        item.valueChanged = true;
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::removeWebItem(const QOVIWebItem* site)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        QOVIWebItem* s = impl_->listedSite(site);
        if (!s)
            return COMMON_ERR_NOT_FOUND;
        impl_->remove(s);
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::removeInputItem(const QOVIWebItem* site, const QOVIInputItem* input)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT {
        QOVIWebItem* found = impl_->listedSite(site);
        QOVIWebItem::Impl* s = found ? found->impl() : nullptr;
        size_t index = s ? s->inputIndex(input) : 0;
        if (!s || index == s->fields->inputs.size())
            return COMMON_ERR_NOT_FOUND;
        qovi::SiteFields& f = s->detachFromRecord();
        if (!s->added)
            f.removedInputs.push_back(f.inputs[index]->impl()->data.n);
        f.inputs.erase(f.inputs.begin() + static_cast<std::ptrdiff_t>(index));
        return COMMON_OK;
    });
}

COMMON_RESULT QOVIPasswordBank::addWebItem(const QOVINewWebItem& site, std::wstring* givenName)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT { return impl_->add(site, false, givenName); });
}

COMMON_RESULT QOVIPasswordBank::addNewAccount(const QOVINewWebItem& site, std::wstring* givenName)
{
    return qovi::guarded(kSource, [&]() -> COMMON_RESULT { return impl_->add(site, true, givenName); });
}

COMMON_RESULT QOVIPasswordBank::Impl::add(const QOVINewWebItem& site, bool ifNew, std::wstring* givenName)
{
    if (site.url.empty())
        return COMMON_ERR_INVALID_ARG;
    compactedList();  // the loaded sites are made first: the new one goes after them
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
        index();
        auto range = byUrl.equal_range(site.url);
        for (auto it = range.first; it != range.second; ++it) {
            if (qovi::holdsAccount(*it->second->impl(), site.url, record.inputs))
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
    const qovi::SiteFields& f = *made->impl()->fields;
    byName.emplace(f.webName, made);
    byUrl.emplace(f.url, made);
    if (givenName)
        *givenName = f.webName;
    return COMMON_OK;
}
