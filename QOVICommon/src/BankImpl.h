// BankImpl.h - the objects behind the public classes.
//
// Every site and input item object made since the last load is owned by the
// bank and freed only by the next load or by releaseUsers, so pointers
// handed out stay valid after a removal. What is listed is kept apart
// (sites, and each site's inputs).
//
// A loaded site starts as a view of its record in the bank's content: its
// name and keys are read from it when first asked for, its input items when
// first asked for, and an unchanged site is saved by copying its record.
// Loading a big bank thus costs little more than reading its file.
//
// To merge with what another process saved, each object remembers what this
// process changed since the content it last loaded or saved (its "base"):
// sites added here, the base name of renamed sites, numbers of removed input
// items, values changed here, uids of removed sites, changed settings.
#pragma once

#include "BankFile.h"
#include "BankFormat.h"
#include "Crypto.h"
#include "QOVICommon.h"
#include "Records.h"

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qovi {

// Objects made in blocks, never moved, destroyed together: one allocation
// for many sites, and a pointer stays valid until clear.
template <typename T>
class Pool {
public:
    Pool() = default;
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
    ~Pool() { clear(); }

    template <typename... Args>
    T* make(Args&&... args)
    {
        if (blocks_.empty() || used_ == kBlock) {
            blocks_.push_back(static_cast<T*>(::operator new(sizeof(T) * kBlock)));
            used_ = 0;
        }
        T* made = new (blocks_.back() + used_) T(std::forward<Args>(args)...);
        ++used_;
        return made;
    }
    void clear()
    {
        for (size_t b = 0; b < blocks_.size(); ++b) {
            size_t count = b + 1 == blocks_.size() ? used_ : kBlock;
            for (size_t i = 0; i < count; ++i)
                blocks_[b][i].~T();
            ::operator delete(blocks_[b]);
        }
        blocks_.clear();
        used_ = 0;
    }
    template <typename F>
    void forEach(F visit)
    {
        for (size_t b = 0; b < blocks_.size(); ++b) {
            size_t count = b + 1 == blocks_.size() ? used_ : kBlock;
            for (size_t i = 0; i < count; ++i)
                visit(blocks_[b][i]);
        }
    }

private:
    static const size_t kBlock = 512;
    std::vector<T*> blocks_;
    size_t used_ = 0;
};

}  // namespace qovi

struct QOVIInputItem::Impl {
    qovi::InputRecord data;
    bool valueChanged = false;
};

namespace qovi {

// A site's fields once read from its record (or given), and what changed
// of them here.
struct SiteFields {
    std::string uid;
    std::wstring webName, url, formId, formName;
    std::vector<QOVIInputItem*> inputs;  // listed input items, in order
    std::wstring baseName;               // the name in the base
    std::vector<int> removedInputs;      // numbers of input items removed here
};

}  // namespace qovi

// A loaded site is a few words until something reads it: its fields are
// made when first asked for, so a bank of many sites costs little more
// memory than its content until its sites are read.
struct QOVIWebItem::Impl {
    QOVIPasswordBank::Impl* bank = nullptr;
    // The site's record in the bank's content, while the site is as stored
    // there; empty for a site made or changed here.
    qovi::RecordView stored;
    // Owned by the bank; null until the head is read (headRead).
    qovi::SiteFields* fields = nullptr;
    bool headRead = false;    // uid, names and keys read from stored
    bool inputsRead = false;  // input items read from stored
    bool listed = true;       // false once removed from the bank
    bool placed = false;      // met in the saved content during a merge
    bool added = false;       // made here, not in the base
    bool addedIfNew = false;  // added as a new account: dropped when a merge finds it saved

    // Reads what is not read yet; each returns the site's fields.
    qovi::SiteFields& head();
    qovi::SiteFields& whole();
    // The site is about to change: read whole, and saved anew from now on.
    qovi::SiteFields& detachFromRecord();
    std::string_view uidView() const;
    // The position of a listed input item of the site, or the count of them.
    size_t inputIndex(const QOVIInputItem* input);
    bool renamedHere() const { return headRead && fields->webName != fields->baseName; }
    bool changedHere() const;
    // Its record for a save, with its size in front.
    size_t recordBytes() const;
    void appendRecord(std::string& out) const;
    // Takes another record as stored, as it is there.
    void takeStoredRecord(qovi::RecordView record);
};

// The owner of the decrypted content and of everything that points into
// it: the site and input item objects, the stored records the unchanged
// sites are views of, and the indexes, whose keys view the sites' own
// strings. Load, save and merge change it only through these operations,
// and each keeps the indexes in step with the names and URLs it changes.
class QOVIPasswordBank::Impl {
public:
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() { clear(); }

    // Everything goes: objects, content (wiped), indexes.
    void clear();
    // Takes a content buffer, checked and listed as records, as the base:
    // one site per record, viewing it, made when the list is first used.
    void adopt(std::string&& newContent, std::vector<qovi::RecordView>&& records);
    // Takes what another process saved as the base and re-applies this
    // process's changes since the previous base on top (Merge.cpp). Objects
    // still listed are updated in place. Returns the old content, wiped.
    std::string merge(std::string&& newContent, const std::vector<qovi::RecordView>& records);
    // The base is now what memory holds.
    void markSaved();

    // The listed sites, in order (the holes of removed sites gone first).
    const std::vector<QOVIWebItem*>& compactedList();
    size_t count() { return unmade.empty() ? compactedList().size() : unmade.size(); }
    QOVIWebItem* find(const std::wstring& webName);
    // The site when it is one of this bank's and still listed, else null.
    QOVIWebItem* listedSite(const QOVIWebItem* site);
    // Every listed site with this URL.
    std::vector<QOVIWebItem*> withUrl(const std::wstring& url);

    // A listed site gets a new name (free in the bank), its index entry with it.
    void rename(QOVIWebItem* site, const std::wstring& newName);
    // A listed site leaves the list and the indexes.
    void remove(QOVIWebItem* site);
    COMMON_RESULT add(const QOVINewWebItem& site, bool ifNew, std::wstring* givenName);
    // A new input object, owned by the bank.
    QOVIInputItem* makeInput(qovi::InputRecord&& record);
    // New, empty fields for a site, owned by the bank.
    qovi::SiteFields* makeFields() { return fieldObjects.make(); }

private:
    struct SiteBox {
        QOVIWebItem::Impl impl;
        QOVIWebItem item{&impl};
    };
    struct InputBox {
        QOVIInputItem::Impl impl;
        QOVIInputItem item{&impl};
    };

    // New site objects, owned by the bank but not listed.
    QOVIWebItem* makeSite(qovi::RecordView record);
    QOVIWebItem* makeSite(qovi::SiteRecord&& record);
    std::wstring uniqueName(const std::wstring& wanted);
    // Makes the indexes when they are needed and missing.
    void index();
    // Rebuilds the indexes after the list changed as a whole. Names clash
    // only after a merge (or in a foreign file): sites this process added
    // or renamed, then later duplicates, get a " (n)" suffix.
    void reindex();
    // Forgets the indexes before names or URLs change as a whole.
    void dropIndexes();
    // Takes a new content as what stored records point into; sites still
    // stored in the old one read it first. Returns the old one, wiped.
    std::string replaceContent(std::string&& newContent);

    // Listed sites in order. A removed site only leaves a hole (listed is
    // false) until the next pass over the list: removing many sites one by
    // one costs no more than one pass.
    std::vector<QOVIWebItem*> sites;
    size_t holes = 0;
    // The records of a load whose sites are not made yet: compactedList
    // makes them, so a start-up that never lists the sites makes no object
    // for each. While there are any, sites is empty.
    std::vector<qovi::RecordView> unmade;
    // Indexes of the listed sites, made when first needed.
    bool indexed = false;
    std::unordered_map<std::wstring_view, QOVIWebItem*> byName;
    std::unordered_multimap<std::wstring_view, QOVIWebItem*> byUrl;
    std::vector<std::string> removedSites;  // uids of base sites removed here
    // The decrypted content the stored records are in; wiped when it goes.
    std::string content;
    qovi::Pool<SiteBox> siteObjects;
    qovi::Pool<qovi::SiteFields> fieldObjects;
    qovi::Pool<InputBox> inputObjects;
};

struct QOVIUserInfo::Impl {
    std::wstring userName;
    std::wstring filePath;
    int pwdBankEnable = 1, bubbleEnable = 1;
    int basePwdBankEnable = 1, baseBubbleEnable = 1;
    bool loaded = false;     // false until a load succeeds; save refuses until then
    QOVILoadReport report;   // what the last load found
    bool lastSaveMerged = false;
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
    // Takes a file's content (its buffer, decrypted, in the current version
    // and scanned) as the base; the bank takes the view's records.
    void adopt(qovi::FileContent& file, qovi::ContentView& view);
    // The parts of load that run with the bank lock held.
    COMMON_RESULT loadLocked();
    COMMON_RESULT restoreGeneration(bool damaged, const std::string& bankWhy);
    COMMON_RESULT failed(qovi::FileStatus status, const std::string& why);
    // Takes what another process saved as the base and re-applies this
    // process's changes on top: its settings here, its bank's in the bank.
    void merge(qovi::FileContent& file, const qovi::ContentView& saved);
    // Fills buffer with the plain content of the file to write.
    void payload(std::string& buffer);
};

namespace qovi {

inline const InputRecord& recordOf(const QOVIInputItem* input) { return input->impl()->data; }
inline const InputRecord& recordOf(const InputRecord& input) { return input; }

// The user name of a site (isUserNameType).
template <typename Inputs>
const std::wstring& userNameOf(const Inputs& inputs)
{
    static const std::wstring none;
    for (const auto& input : inputs) {
        const InputRecord& d = recordOf(input);
        if (isUserNameType(d.type))
            return d.value;
    }
    return none;
}

// Whether a saved site holds the account a new site with this URL and these
// input items stands for: an account is a URL and a user name.
template <typename Inputs>
bool holdsAccount(QOVIWebItem::Impl& saved, const std::wstring& url, const Inputs& inputs)
{
    return saved.head().url == url && userNameOf(saved.whole().inputs) == userNameOf(inputs);
}

// Runs a store call for a caller outside the store: an exception (out of
// memory, above all) becomes COMMON_ERR_INTERNAL and a log line under the
// caller's source path, and never crosses the DLL's border.
template <typename F>
COMMON_RESULT guarded(const wchar_t* source, F body)
{
    try {
        return body();
    } catch (const std::exception&) {
        QOVILog::debugLog(source, __LINE__, L"A store call failed: out of memory or an internal error.");
        return COMMON_ERR_INTERNAL;
    }
}

// A new site uid: a random prefix per process and a counter.
std::string newSiteUid();

}  // namespace qovi
