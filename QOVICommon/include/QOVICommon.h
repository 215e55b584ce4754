// QOVICommon.h - the per-user credential store of the QOVI suite.
//
// One process-wide set of users, each with settings (password bank on/off,
// bubble on/off) and a password bank: web sites (QOVIWebItem), each with the
// input items of its log-in form (QOVIInputItem). Strings are UTF-16 wide
// strings passed by const reference. Every COMMON_RESULT is 0 on success.
//
// Ownership: every object handed out (users, the bank, items in vectors)
// belongs to the store. Items stay valid until the next load() of their user
// or releaseUsers(); an item removed from the bank is no longer listed, but
// its object stays valid until then too, so a pointer a window still holds
// never dangles.
//
// Threads: the store is meant for one thread per process. Several processes
// may share one bank: load and save hold a named lock, and save merges this
// process's own changes into whatever another process saved meanwhile.
#pragma once

#include <string>
#include <vector>

#if defined(QOVICOMMON_STATIC)
#define QOVICOMMON_API
#elif defined(QOVICOMMON_BUILD)
#define QOVICOMMON_API __declspec(dllexport)
#else
#define QOVICOMMON_API __declspec(dllimport)
#endif

#ifdef _MSC_VER
#pragma warning(push)
#pragma warning(disable : 4251) // std members of exported classes: one CRT per process
#endif

typedef int COMMON_RESULT;

enum : COMMON_RESULT {
    COMMON_OK = 0,
    COMMON_ERR_NOT_FOUND = 1,     // no item matches the keys
    COMMON_ERR_INVALID_ARG = 2,   // an empty or otherwise unusable key or value
    COMMON_ERR_EXISTS = 3,        // the name is taken by another site
    COMMON_ERR_IO = 4,            // the file could not be read or written
    COMMON_ERR_CORRUPT = 5,       // the file is damaged or cannot be decrypted; it was kept aside
    COMMON_ERR_LOCKED = 6,        // another process held the bank lock too long
    COMMON_ERR_NOT_LOADED = 7,    // save before a successful load
};

// Creates the data folder of the user running the process (and the data
// root above it). Returns 0 when the folder exists afterwards. The data root
// is %LOCALAPPDATA%\MERIDOX\QOVI, or the folder named by the environment
// variable QOVI_DATA_DIR when that is set.
QOVICOMMON_API int createQOVIAppUserDirectory();

class QOVICOMMON_API QOVIInputItem {
public:
    const std::wstring& getstrId() const;
    const std::wstring& getstrName() const;
    const std::wstring& getstrType() const;   // "text", "password" or another form input type
    const std::wstring& getstrValue() const;  // the saved value, in plain

    QOVIInputItem(const QOVIInputItem&) = delete;
    QOVIInputItem& operator=(const QOVIInputItem&) = delete;

    struct Impl;
    explicit QOVIInputItem(Impl* impl);
    ~QOVIInputItem();
    Impl* impl() const { return impl_; }

private:
    Impl* impl_;
};

class QOVICOMMON_API QOVIWebItem {
public:
    const std::wstring& getstrWebName() const;  // unique within a bank, case-sensitive
    const std::wstring& getstrURL() const;
    const std::wstring& getstrFormId() const;
    const std::wstring& getstrFormName() const;

    QOVIWebItem(const QOVIWebItem&) = delete;
    QOVIWebItem& operator=(const QOVIWebItem&) = delete;

    struct Impl;
    explicit QOVIWebItem(Impl* impl);
    ~QOVIWebItem();
    Impl* impl() const { return impl_; }

private:
    Impl* impl_;
};

// What a new site is made of (import, the suite's browser side).
struct QOVINewInputItem {
    std::wstring id, name, type, value;
};
struct QOVINewWebItem {
    std::wstring webName, url, formId, formName;
    std::vector<QOVINewInputItem> inputs;
};

class QOVICOMMON_API QOVIPasswordBank {
public:
    // Appends every site, in store order. The two keys filter by URL and web
    // name when not empty; the tool passes two empty strings.
    COMMON_RESULT getWebItems(std::vector<QOVIWebItem*>& items, const std::wstring& url,
                              const std::wstring& webName);
    // Appends the input items of the site with that web name, in store order.
    COMMON_RESULT getInputItems(std::vector<QOVIInputItem*>& items, const std::wstring& webName);

    // Nonzero when a site has this web name (the second key, when not empty,
    // must also equal its URL).
    int isWebItemExist(const std::wstring& webName, const std::wstring& url);
    // 1 when a saved site with this URL, form id and form name already holds
    // an input item of this id, name and type with exactly this value (the
    // same account saved twice), otherwise 0.
    int isWebItemExist(const std::wstring& url, const std::wstring& formId,
                       const std::wstring& formName, const std::wstring& inputId,
                       const std::wstring& inputName, const std::wstring& inputType,
                       const std::wstring& value);

    // The edit operations change memory only; QOVIUserInfo::save writes them.
    COMMON_RESULT modifyWebItemName(const std::wstring& webName, const std::wstring& newName);
    // Input item keys (key1, key2) after the site's web name: a non-empty key
    // must match (key1 the item's name, key2 its id); an empty key1 with a
    // non-empty key2 matches the item whose name or id equals key2. A key that
    // matches no item, or more than one, changes nothing and returns an error.
    COMMON_RESULT modifyInputItemValue(const std::wstring& webName, const std::wstring& key1,
                                       const std::wstring& key2, const std::wstring& value);
    COMMON_RESULT removeWebItem(const std::wstring& webName, const std::wstring& url);
    COMMON_RESULT removeInputItem(const std::wstring& webName, const std::wstring& key1,
                                  const std::wstring& key2);

    // Adds a site; a web name that is taken gets " (2)", " (3)", ... appended.
    // The name the site got is written to *givenName when that is not null.
    COMMON_RESULT addWebItem(const QOVINewWebItem& site, std::wstring* givenName = nullptr);

    QOVIPasswordBank(const QOVIPasswordBank&) = delete;
    QOVIPasswordBank& operator=(const QOVIPasswordBank&) = delete;

    struct Impl;
    explicit QOVIPasswordBank(Impl* impl);
    ~QOVIPasswordBank();
    Impl* impl() const { return impl_; }

private:
    Impl* impl_;
};

class QOVICOMMON_API QOVIUserInfo {
public:
    // Reads the user's file. A missing file gives the defaults: password bank
    // on, bubble on, no sites. A damaged or undecryptable file is kept aside
    // under a new name, logged, and an error is returned; the user then holds
    // the defaults, and save refuses to write until a load succeeds.
    COMMON_RESULT load(int flags);
    // Writes settings and bank atomically (flags: 1 = both). Changes another
    // process saved since our load are kept; ours are applied on top.
    COMMON_RESULT save(int flags);

    int getPWDBankEnable();
    int getBubbleEnable();
    void setPWDBankEnable(int enable);
    void setBubbleEnable(int enable);
    QOVIPasswordBank* getPWDBankInfo();

    const std::wstring& getUserName() const;
    // Full path of the user's data file.
    const std::wstring& getDataFilePath() const;

    QOVIUserInfo(const QOVIUserInfo&) = delete;
    QOVIUserInfo& operator=(const QOVIUserInfo&) = delete;

    struct Impl;
    explicit QOVIUserInfo(Impl* impl);
    ~QOVIUserInfo();
    Impl* impl() const { return impl_; }

private:
    Impl* impl_;
};

class QOVICOMMON_API QOVIUserInfoManager {
public:
    // The account running the process; the same object on every call until
    // releaseUsers(). Never null.
    static QOVIUserInfo* getCurrentLogonUser();
    // Frees every user and what it handed out; harmless when called again.
    static void releaseUsers();
};

class QOVICOMMON_API QOVILog {
public:
    // One line: time, process id, source path, line and text. Never pass a
    // secret. The log file lives in the data root and is size-bounded.
    static void debugLog(const wchar_t* file, int line, const std::wstring& text);
    static void endLog();
};

#ifdef _MSC_VER
#pragma warning(pop)
#endif
