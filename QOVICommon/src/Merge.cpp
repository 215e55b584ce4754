// Merging what another process saved with what this process changed.
//
// The file's content becomes the base; on top of it go this process's own
// changes since its previous base: settings it changed, renames, removed
// sites and input items, changed values, added sites. Objects that are still
// listed are updated in place, so pointers held by callers stay valid.
#include "BankImpl.h"

#include <algorithm>
#include <unordered_set>

namespace {

void mergeSite(QOVIPasswordBank::Impl& bank, QOVIWebItem::Impl& site, qovi::SiteRecord&& saved)
{
    // Nothing in this process changes a site's URL or form keys.
    site.url = std::move(saved.url);
    site.formId = std::move(saved.formId);
    site.formName = std::move(saved.formName);
    if (!site.renamedHere())
        site.webName = saved.webName;
    site.baseName = std::move(saved.webName);

    std::vector<QOVIInputItem*> inputs;
    inputs.reserve(saved.inputs.size());
    for (qovi::InputRecord& record : saved.inputs) {
        if (std::find(site.removedInputs.begin(), site.removedInputs.end(), record.n) != site.removedInputs.end())
            continue;
        auto ours = std::find_if(site.inputs.begin(), site.inputs.end(),
                                 [&](QOVIInputItem* input) { return input->impl()->data.n == record.n; });
        if (ours == site.inputs.end()) {
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
    for (QOVIInputItem* input : site.inputs) {
        if (input->impl()->valueChanged && std::find(inputs.begin(), inputs.end(), input) == inputs.end())
            inputs.push_back(input);
    }
    site.inputs = std::move(inputs);

    site.invalidate();
    if (!site.changedHere())
        site.line = std::move(saved.line);
}

// Accounts added here as new that the other process saved meanwhile (two
// imports of one file at once) are dropped: each account is added once.
void dropSavedAccounts(std::vector<QOVIWebItem*>& merged)
{
    std::unordered_multimap<std::wstring_view, const QOVIWebItem::Impl*> saved;
    for (const QOVIWebItem* site : merged) {
        if (!site->impl()->added)
            saved.emplace(site->impl()->url, site->impl());
    }
    auto savedElsewhere = [&](const QOVIWebItem* site) {
        const QOVIWebItem::Impl& s = *site->impl();
        if (!s.addedIfNew)
            return false;
        auto range = saved.equal_range(s.url);
        for (auto it = range.first; it != range.second; ++it) {
            if (qovi::holdsAccount(*it->second, s.url, s.formId, s.formName, s.inputs))
                return true;
        }
        return false;
    };
    merged.erase(std::remove_if(merged.begin(), merged.end(), savedElsewhere), merged.end());
}

}  // namespace

void QOVIUserInfo::Impl::merge(qovi::BankContent&& saved)
{
    if (pwdBankEnable == basePwdBankEnable)
        pwdBankEnable = saved.pwdBankEnable;
    basePwdBankEnable = saved.pwdBankEnable;
    if (bubbleEnable == baseBubbleEnable)
        bubbleEnable = saved.bubbleEnable;
    baseBubbleEnable = saved.bubbleEnable;

    QOVIPasswordBank::Impl& b = *bank.impl();
    // Names and URLs change below; the indexes are rebuilt at the end.
    b.byName.clear();
    b.byUrl.clear();
    std::unordered_map<std::string, QOVIWebItem*> listed;
    listed.reserve(b.sites.size());
    for (QOVIWebItem* site : b.sites)
        listed.emplace(site->impl()->uid, site);
    std::unordered_set<std::string> removed(b.removedSites.begin(), b.removedSites.end());

    std::vector<QOVIWebItem*> merged;
    merged.reserve(saved.sites.size() + b.sites.size());
    std::unordered_set<QOVIWebItem*> placed;
    for (qovi::SiteRecord& record : saved.sites) {
        if (removed.count(record.uid))
            continue;
        auto ours = listed.find(record.uid);
        if (ours == listed.end()) {
            merged.push_back(b.makeSite(std::move(record)));
            continue;
        }
        mergeSite(b, *ours->second->impl(), std::move(record));
        merged.push_back(ours->second);
        placed.insert(ours->second);
    }
    for (QOVIWebItem* site : b.sites) {
        if (placed.count(site))
            continue;
        QOVIWebItem::Impl& s = *site->impl();
        if (s.added) {
            merged.push_back(site);
        } else if (s.changedHere()) {
            // Removed by the other process, changed here: kept, and from now
            // on it counts as added here, so a repeated merge keeps it too.
            s.added = true;
            s.invalidate();
            merged.push_back(site);
        }
        // Otherwise the other process removed it: no longer listed.
    }
    dropSavedAccounts(merged);
    b.sites = std::move(merged);
    b.reindex();
}
