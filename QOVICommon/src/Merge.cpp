// Merging what another process saved with what this process changed.
//
// The file's content becomes the base; on top of it go this process's own
// changes since its previous base: settings it changed, renames, removed
// sites and input items, changed values, added sites. Objects that are still
// listed are updated in place, so pointers held by callers stay valid.
#include "BankImpl.h"

#include <algorithm>

namespace {

// A site this process changed, merged with what the other process saved of
// it (its record there).
void mergeSite(QOVIPasswordBank::Impl& bank, QOVIWebItem::Impl& site, qovi::RecordView record)
{
    qovi::SiteRecord saved;
    qovi::decodeRecord(record, saved);
    // Changed here, so read whole already.
    qovi::SiteFields& fields = *site.fields;
    // Nothing in this process changes a site's URL or form keys.
    fields.url = std::move(saved.url);
    fields.formId = std::move(saved.formId);
    fields.formName = std::move(saved.formName);
    if (!site.renamedHere())
        fields.webName = saved.webName;
    fields.baseName = std::move(saved.webName);

    std::vector<QOVIInputItem*> inputs;
    inputs.reserve(saved.inputs.size());
    for (qovi::InputRecord& record : saved.inputs) {
        if (std::find(fields.removedInputs.begin(), fields.removedInputs.end(), record.n) != fields.removedInputs.end())
            continue;
        auto ours = std::find_if(fields.inputs.begin(), fields.inputs.end(),
                                 [&](QOVIInputItem* input) { return input->impl()->data.n == record.n; });
        if (ours == fields.inputs.end()) {
            inputs.push_back(bank.makeInput(std::move(record)));
            continue;
        }
        QOVIInputItem::Impl& input = *(*ours)->impl();
        input.data.id = std::move(record.id);
        input.data.name = std::move(record.name);
        input.data.type = std::move(record.type);
        if (!input.valueChanged) {
            qovi::wipe(input.data.value);
            input.data.value = std::move(record.value);
        }
        inputs.push_back(*ours);
    }
    // An item the other process removed stays when this one changed its value.
    for (QOVIInputItem* input : fields.inputs) {
        if (input->impl()->valueChanged && std::find(inputs.begin(), inputs.end(), input) == inputs.end())
            inputs.push_back(input);
    }
    fields.inputs = std::move(inputs);
    if (!site.changedHere())
        site.stored = record;  // its fields are the saved ones again
}

// Accounts added here as new that the other process saved meanwhile (two
// imports of one file at once) are dropped: each account is added once.
void dropSavedAccounts(std::vector<QOVIWebItem*>& merged)
{
    bool any = false;
    for (const QOVIWebItem* site : merged)
        any = any || site->impl()->addedIfNew;
    if (!any)
        return;
    std::unordered_multimap<std::wstring_view, QOVIWebItem::Impl*> saved;
    for (QOVIWebItem* site : merged) {
        if (!site->impl()->added)
            saved.emplace(site->impl()->head().url, site->impl());
    }
    auto savedElsewhere = [&](QOVIWebItem* site) {
        if (!site->impl()->addedIfNew)
            return false;
        const qovi::SiteFields& s = *site->impl()->fields;  // made here, so never unread
        auto range = saved.equal_range(s.url);
        for (auto it = range.first; it != range.second; ++it) {
            if (qovi::holdsAccount(*it->second, s.url, s.inputs))
                return true;
        }
        return false;
    };
    for (QOVIWebItem* site : merged) {
        if (savedElsewhere(site))
            site->impl()->listed = false;
    }
    merged.erase(std::remove_if(merged.begin(), merged.end(), [](QOVIWebItem* site) { return !site->impl()->listed; }),
                 merged.end());
}

}  // namespace

void QOVIUserInfo::Impl::merge(qovi::FileContent& file, const qovi::ContentView& saved)
{
    if (pwdBankEnable == basePwdBankEnable)
        pwdBankEnable = saved.pwdBankEnable;
    basePwdBankEnable = saved.pwdBankEnable;
    if (bubbleEnable == baseBubbleEnable)
        bubbleEnable = saved.bubbleEnable;
    baseBubbleEnable = saved.bubbleEnable;
    // The bubble tells of the password bank: with the bank off it is off,
    // whichever process switched which.
    if (!pwdBankEnable)
        bubbleEnable = 0;
    // The old content, wiped, takes the next save's plain text.
    saveBuffer = bank.impl()->merge(std::move(file.buffer), saved.sites);
}

std::string QOVIPasswordBank::Impl::merge(std::string&& newContent, const std::vector<qovi::RecordView>& records)
{
    // Names and URLs change below; the indexes are made again when needed.
    dropIndexes();
    const std::vector<QOVIWebItem*>& list = compactedList();
    for (QOVIWebItem* site : list)
        site->impl()->placed = false;
    std::vector<std::string_view> removed(removedSites.begin(), removedSites.end());
    std::sort(removed.begin(), removed.end());
    // Both lists are mostly in one order: each saved record is looked for at
    // the site after the last one found first, and in a list of positions
    // sorted by uid only when that is not it. Gives the position in list,
    // or its size. The uids are read from the sites at each comparison and
    // never kept: restoring a site reads its record again, and a view kept
    // from before would point into the string that reading replaced.
    auto uidAt = [&](size_t i) { return list[i]->impl()->uidView(); };
    std::vector<size_t> byUid;
    auto lookUp = [&](std::string_view uid, size_t next) -> size_t {
        if (next < list.size() && uidAt(next) == uid)
            return next;
        if (byUid.empty()) {
            byUid.resize(list.size());
            for (size_t i = 0; i < list.size(); ++i)
                byUid[i] = i;
            std::sort(byUid.begin(), byUid.end(), [&](size_t a, size_t b) { return uidAt(a) < uidAt(b); });
        }
        auto found = std::lower_bound(byUid.begin(), byUid.end(), uid,
                                      [&](size_t i, std::string_view wanted) { return uidAt(i) < wanted; });
        return found != byUid.end() && uidAt(*found) == uid ? *found : list.size();
    };

    std::vector<QOVIWebItem*> merged;
    merged.reserve(records.size() + list.size());
    size_t next = 0;
    for (qovi::RecordView record : records) {
        std::string_view uid = qovi::recordUid(record);
        if (std::binary_search(removed.begin(), removed.end(), uid))
            continue;
        size_t position = lookUp(uid, next);
        if (position == list.size()) {
            merged.push_back(makeSite(record));
            continue;
        }
        next = position + 1;
        QOVIWebItem* site = list[position];
        QOVIWebItem::Impl& s = *site->impl();
        if (s.changedHere())
            mergeSite(*this, s, record);
        else
            s.takeStoredRecord(record);
        s.placed = true;
        merged.push_back(site);
    }
    for (QOVIWebItem* site : list) {
        if (site->impl()->placed)
            continue;
        QOVIWebItem::Impl& s = *site->impl();
        if (s.added) {
            merged.push_back(site);
        } else if (s.changedHere()) {
            // Removed by the other process, changed here: kept, and from now
            // on it counts as added here, so a repeated merge keeps it too.
            s.added = true;
            merged.push_back(site);
        } else {
            s.listed = false;  // the other process removed it
        }
    }
    dropSavedAccounts(merged);
    sites = std::move(merged);
    holes = 0;
    std::string old = replaceContent(std::move(newContent));
    // Only a site added or renamed here can clash with a name the other
    // process saved; otherwise the names are read when first needed.
    for (QOVIWebItem* site : sites) {
        if (site->impl()->added || site->impl()->renamedHere()) {
            reindex();
            break;
        }
    }
    return old;
}
