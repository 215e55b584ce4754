// BankImpl.h - the objects behind the public classes.
//
// Every site and input item object made since the last load is owned by the
// bank (siteObjects, inputObjects) and freed only by the next load or by
// releaseUsers, so pointers handed out stay valid after a removal. What is
// listed is kept apart (sites, and each site's inputs).
//
// To merge with what another process saved, each object remembers what this
// process changed since the content it last loaded or saved (its "base"):
// sites added here, the base name of renamed sites, numbers of removed input
// items, values changed here, uids of removed sites, changed settings.
#pragma once

#include "BankFile.h"
#include "Crypto.h"
#include "QOVICommon.h"
#include "Records.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct QOVIInputItem::Impl {
    qovi::InputRecord data;
    bool valueChanged = false;
};

struct QOVIWebItem::Impl {
    std::string uid;
    std::wstring webName, url, formId, formName;
    std::vector<QOVIInputItem*> inputs;  // listed input items, in order

    bool added = false;               // made here, not in the base
    bool addedIfNew = false;          // added as a new account: dropped when a merge finds it saved
    std::wstring baseName;            // the name in the base
    std::vector<int> removedInputs;   // numbers of input items removed here
    std::string line;                 // serialized form; empty once anything changed

    ~Impl() { qovi::wipe(line); }
    bool renamedHere() const { return webName != baseName; }
    bool changedHere() const;
    void invalidate() { qovi::wipe(line); }
    // The line, serialized anew when the site changed.
    const std::string& serialized();
};

struct QOVIPasswordBank::Impl {
    std::vector<std::unique_ptr<QOVIWebItem>> siteObjects;
    std::vector<std::unique_ptr<QOVIInputItem>> inputObjects;
    std::vector<QOVIWebItem*> sites;  // listed sites, in order
    // Indexes of the listed sites. The keys view the sites' own strings, so
    // a site's name or URL leaves its index before it changes.
    std::unordered_map<std::wstring_view, QOVIWebItem*> byName;
    std::unordered_multimap<std::wstring_view, QOVIWebItem*> byUrl;
    std::vector<std::string> removedSites;  // uids of base sites removed here

    void clear();
    QOVIWebItem* find(const std::wstring& webName) const;
    // New objects, owned by the bank but not listed.
    QOVIWebItem* makeSite(qovi::SiteRecord&& record);
    QOVIInputItem* makeInput(qovi::InputRecord&& record);
    std::wstring uniqueName(const std::wstring& wanted) const;
    COMMON_RESULT add(const QOVINewWebItem& site, bool ifNew, std::wstring* givenName);
    // Rebuilds the indexes after the list changed as a whole. Names clash
    // only after a merge (or in a foreign file): sites this process added
    // or renamed, then later duplicates, get a " (n)" suffix.
    void reindex();
    // The base is now what memory holds.
    void markSaved();
};

struct QOVIUserInfo::Impl {
    std::wstring userName;
    std::wstring filePath;
    int pwdBankEnable = 1, bubbleEnable = 1;
    int basePwdBankEnable = 1, baseBubbleEnable = 1;
    bool loaded = false;     // false until a load succeeds; save refuses until then
    QOVILoadReport report;   // what the last load found
    std::string baseSaveId;  // saveId of the file content the base is; empty when there was no file
    // The bank file as this process last read or wrote it: while the file
    // on disk still is exactly that, a save may make it the backup.
    qovi::Fingerprint baseFingerprint;
    qovi::ContentKey key;    // the content key of that file, used again by saves
    // Kept from save to save: a new buffer of the bank's size on every save
    // costs more than the encryption. Between saves it holds only ciphertext.
    std::string saveBuffer;
    QOVIPasswordBank bank{new QOVIPasswordBank::Impl};

    ~Impl() { reset(); }
    void reset();
    // Takes a file's content as the base; file gives its saveId, key,
    // fingerprint and buffer.
    void adopt(qovi::BankContent&& content, qovi::FileContent& file);
    // The parts of load that run with the bank lock held.
    COMMON_RESULT loadLocked();
    COMMON_RESULT restoreGeneration(bool damaged, const std::string& bankWhy);
    COMMON_RESULT failed(qovi::FileStatus status, const std::string& why);
    // Takes what another process saved as the base and re-applies this
    // process's changes on top.
    void merge(qovi::BankContent&& saved);
    // Fills buffer with the plain content of the file to write.
    void payload(std::string& buffer);
};

namespace qovi {

inline const InputRecord& recordOf(const QOVIInputItem* input) { return input->impl()->data; }
inline const InputRecord& recordOf(const InputRecord& input) { return input; }

// Whether a saved site holds the account a new site with these keys and
// input items stands for: the same URL and form, and the new site's first
// "text" item (or, without one, every item of it) among the saved site's
// items with the same id, name, type and value.
template <typename Inputs>
bool holdsAccount(const QOVIWebItem::Impl& saved, const std::wstring& url, const std::wstring& formId,
                  const std::wstring& formName, const Inputs& inputs)
{
    if (saved.url != url || saved.formId != formId || saved.formName != formName)
        return false;
    auto has = [&](const InputRecord& wanted) {
        for (const QOVIInputItem* input : saved.inputs) {
            const InputRecord& d = input->impl()->data;
            if (d.id == wanted.id && d.name == wanted.name && d.type == wanted.type && d.value == wanted.value)
                return true;
        }
        return false;
    };
    for (const auto& input : inputs) {
        if (recordOf(input).type == L"text")
            return has(recordOf(input));
    }
    bool any = false;
    for (const auto& input : inputs) {
        if (!has(recordOf(input)))
            return false;
        any = true;
    }
    return any;
}

// A new site uid: a random prefix per process and a counter.
std::string newSiteUid();

}  // namespace qovi
