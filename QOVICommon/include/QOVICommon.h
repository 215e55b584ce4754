// QOVICommon.h - the per-user credential store of the QOVI suite.
//
// One process-wide set of users, each with settings (password bank on/off,
// bubble on/off) and a password bank: web sites (QOVIWebItem), each with the
// input items of its log-in form (QOVIInputItem). Strings are UTF-16 wide
// strings passed by const reference. Every COMMON_RESULT is 0 on success,
// and every answer is meant to be looked at: the calls are [[nodiscard]].
//
// Users: the current logon user is the account that runs the process.
// QOVIUserInfoManager::getCurrentLogonUser returns the same object on every
// call until releaseUsers, which frees every user and everything they handed
// out; calling releaseUsers again is harmless.
//
// Ownership: every object handed out (users, the bank, items in vectors)
// belongs to the store; callers never delete them. Items stay valid until the
// next load() of their user or releaseUsers(); an item removed from the bank
// is no longer listed, but its object stays valid until then too, so a
// pointer a window still holds never dangles. A save may update the fields of
// items that are still listed (with what another process saved meanwhile).
//
// Memory first: setters and edit operations change memory only; save(1)
// writes settings and bank together.
//
// Threads: the store is meant for one thread per process. Several processes
// may share one bank: load and save hold a file lock, and save merges this
// process's own changes into whatever another process saved meanwhile.
//
// Files: the data root is %LOCALAPPDATA%\MERIDOX\QOVI, or the folder named by
// the environment variable QOVI_DATA_DIR when that is set (read at every load
// and log open). Below it:
//   <data root>\QOVI.log                     the log (see QOVILog)
//   <data root>\<account>\PasswordBank.qovi   the user's settings and bank
//   ...\PasswordBank.qovi.bak                 the previous generation
//   ...\PasswordBank.qovi.damaged-<time>      a file that could not be read,
//                                             kept aside and never overwritten
//   ...\PasswordBank.qovi.lock               the lock loads and saves take
// The bank file is versioned, authenticated and encrypted as a whole (site
// names, URLs, user names and passwords alike) with a key protected for the
// logged-on user by DPAPI. Saves are atomic: a crash or a killed process
// leaves the old or the new generation, never a torn file.
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
    COMMON_ERR_NOT_FOUND = 1,      // no site or input item matches the keys
    COMMON_ERR_INVALID_ARG = 2,    // an empty or otherwise unusable key or value
    COMMON_ERR_EXISTS = 3,         // the name is taken by another site
    COMMON_ERR_IO = 4,             // the file could not be read or written; nothing changed on disk
    COMMON_ERR_CORRUPT = 5,        // the file is damaged or cannot be decrypted; it was kept aside
    COMMON_ERR_LOCKED = 6,         // another process held the bank lock too long
    COMMON_ERR_NOT_LOADED = 7,     // save before a successful load
    COMMON_ERR_NEWER_FORMAT = 8,   // the file was written by a newer version; left as it is
    COMMON_ERR_AMBIGUOUS = 9,      // the keys match more than one input item; nothing changed
    COMMON_ERR_CRYPTO = 10,        // the platform's encryption is unavailable; the file was left as it is
    COMMON_ERR_INTERNAL = 11,      // out of memory or another unexpected failure
};

// Whether an input item of this type holds a user name: "text" or "email".
// A site's user name is the value of its first such item, empty without one.
[[nodiscard]] QOVICOMMON_API bool isUserNameType(const std::wstring& type);

// Creates the data folder of the user running the process (and the data
// root above it). Returns 0 when the folder exists afterwards.
[[nodiscard]] QOVICOMMON_API int createQOVIAppUserDirectory();

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

// Sites are identified by their web name: exact, case-sensitive, unique
// within the bank. Every comparison below is exact and case-sensitive.
class QOVICOMMON_API QOVIPasswordBank {
public:
    // Appends every site, in store order. The two keys filter by URL and web
    // name when not empty; the tool passes two empty strings.
    [[nodiscard]] COMMON_RESULT getWebItems(std::vector<QOVIWebItem*>& items, const std::wstring& url,
                              const std::wstring& webName);
    // Appends the input items of the site with that web name, in store order.
    [[nodiscard]] COMMON_RESULT getInputItems(std::vector<QOVIInputItem*>& items, const std::wstring& webName);

    // Nonzero when a site has this web name (the second key, when not empty,
    // must also equal its URL).
    [[nodiscard]] int isWebItemExist(const std::wstring& webName, const std::wstring& url);
    // 1 when a saved site with this URL, form id and form name already holds
    // an input item of this id, name and type with exactly this value (the
    // same account saved twice), otherwise 0.
    [[nodiscard]] int isWebItemExist(const std::wstring& url, const std::wstring& formId,
                       const std::wstring& formName, const std::wstring& inputId,
                       const std::wstring& inputName, const std::wstring& inputType,
                       const std::wstring& value);

    // Renames a site. COMMON_ERR_EXISTS when another site has the new name,
    // COMMON_ERR_INVALID_ARG when it is empty; the same name is a success.
    [[nodiscard]] COMMON_RESULT modifyWebItemName(const std::wstring& webName, const std::wstring& newName);

    // Input item keys (key1, key2) follow the site's web name:
    //   key1 not empty: the item whose name is key1 and, when key2 is not
    //                   empty, whose id is key2;
    //   key1 empty:     the item whose name is key2 (an empty key2 thus means
    //                   the nameless item); when no name matches and key2 is
    //                   not empty, the item whose id is key2.
    // Keys that match no item give COMMON_ERR_NOT_FOUND, keys that match more
    // than one COMMON_ERR_AMBIGUOUS; either way nothing changes.
    [[nodiscard]] COMMON_RESULT modifyInputItemValue(const std::wstring& webName, const std::wstring& key1,
                                       const std::wstring& key2, const std::wstring& value);
    // Removes the site with all its items (the URL, when not empty, must match).
    [[nodiscard]] COMMON_RESULT removeWebItem(const std::wstring& webName, const std::wstring& url);
    [[nodiscard]] COMMON_RESULT removeInputItem(const std::wstring& webName, const std::wstring& key1,
                                  const std::wstring& key2);

    // Adds a site at the end. An empty web name becomes the URL's host name;
    // a web name that is taken gets " (2)", " (3)", ... appended. The name
    // the site got is written to *givenName when that is not null.
    // COMMON_ERR_INVALID_ARG when the URL is empty.
    [[nodiscard]] COMMON_RESULT addWebItem(const QOVINewWebItem& site, std::wstring* givenName = nullptr);
    // Adds a site as addWebItem does unless the same account is already
    // saved: an account is a URL and a user name (the value of the first
    // "text" or "email" item, empty without one). COMMON_ERR_EXISTS when it
    // is.
    // The check holds again when save merges what another process saved
    // meanwhile: an account that process saved first is dropped here, so
    // that parallel imports of one file add each account once.
    [[nodiscard]] COMMON_RESULT addNewAccount(const QOVINewWebItem& site, std::wstring* givenName = nullptr);

    // The same operations on a site and an input item this bank listed
    // (getWebItems, getInputItems): a window names what it listed, whatever
    // its rows show. COMMON_ERR_NOT_FOUND when the site is no longer listed
    // (removed, or dropped by a merging save) or is not this bank's, or the
    // input item is not one of the site's listed items; nothing changes then.
    [[nodiscard]] COMMON_RESULT getInputItems(std::vector<QOVIInputItem*>& items, const QOVIWebItem* site);
    [[nodiscard]] COMMON_RESULT modifyWebItemName(const QOVIWebItem* site, const std::wstring& newName);
    [[nodiscard]] COMMON_RESULT modifyInputItemValue(const QOVIWebItem* site, const QOVIInputItem* input,
                                                     const std::wstring& value);
    [[nodiscard]] COMMON_RESULT removeWebItem(const QOVIWebItem* site);
    [[nodiscard]] COMMON_RESULT removeInputItem(const QOVIWebItem* site, const QOVIInputItem* input);

    QOVIPasswordBank(const QOVIPasswordBank&) = delete;
    QOVIPasswordBank& operator=(const QOVIPasswordBank&) = delete;

    struct Impl;
    explicit QOVIPasswordBank(Impl* impl);
    ~QOVIPasswordBank();
    Impl* impl() const { return impl_; }

private:
    Impl* impl_;
};

// What the last load() of a user found. Whatever it was, no file is lost:
// an unreadable file is renamed to PasswordBank.qovi.damaged-<time> and
// never touched again, and a failure that may pass leaves every file as it is.
enum QOVILoadOutcome {
    QOVI_LOAD_OK = 0,            // the bank was read, or there was none yet (the defaults)
    QOVI_LOAD_RESTORED,          // the bank file was unreadable or missing: the newest earlier generation
                                 // that could be read was loaded and put in place
    QOVI_LOAD_NOTHING_READABLE,  // neither the bank file nor an earlier generation could be read: they
                                 // were kept aside, and the user holds an empty bank that save writes
    QOVI_LOAD_BUSY,              // another program held the bank too long; nothing was loaded
    QOVI_LOAD_FOLDER_UNUSABLE,   // the data folder cannot be created or used; nothing was loaded
    QOVI_LOAD_FAILED,            // reading or the system's encryption failed in a way that may pass
    QOVI_LOAD_NEWER_VERSION,     // the file was written by a newer version; nothing was loaded
};

struct QOVILoadReport {
    QOVILoadOutcome outcome = QOVI_LOAD_OK;
    std::wstring keptAside;     // RESTORED, NOTHING_READABLE: where the unreadable file was kept (empty
                                // when the bank file was missing)
    std::wstring restoredFrom;  // RESTORED: the file the bank was read from
    std::wstring folder;        // FOLDER_UNUSABLE: the folder that cannot be used
};

class QOVICOMMON_API QOVIUserInfo {
public:
    // Reads the user's file (flags are reserved; pass 1). Every item handed
    // out before is freed. A missing file gives the defaults: password bank
    // on, bubble on, no sites. getLastLoadReport() tells what was found.
    // Results: 0 for QOVI_LOAD_OK and QOVI_LOAD_RESTORED; COMMON_ERR_CORRUPT
    // for QOVI_LOAD_NOTHING_READABLE (the defaults are loaded and save
    // works); otherwise COMMON_ERR_LOCKED, COMMON_ERR_IO, COMMON_ERR_CRYPTO
    // or COMMON_ERR_NEWER_FORMAT, after which the user holds the defaults
    // and save refuses (COMMON_ERR_NOT_LOADED) until a load succeeds.
    [[nodiscard]] COMMON_RESULT load(int flags);
    const QOVILoadReport& getLastLoadReport() const;
    // Writes settings and bank together, atomically (flags are reserved;
    // pass 1). When another process saved since this process loaded, its
    // content is the base and this process's own changes since the load are
    // applied on top: settings it changed (the bubble off whenever the
    // merged bank is off), renames, removed sites and items,
    // changed values and added sites. A site this process changed but another
    // removed is kept with this process's changes. A name clash from the
    // merge is made unique as addWebItem does. Afterwards memory holds the
    // merged bank. Only a file this process read or wrote itself becomes the
    // backup; a bank file found damaged is kept aside instead, and the save
    // goes on.
    [[nodiscard]] COMMON_RESULT save(int flags);
    // Nonzero when the last save merged what another process had saved
    // meanwhile, whether or not writing the result then succeeded: memory
    // holds the merged bank either way, so sites, names or values may differ
    // from what this process last listed (every object it holds stays
    // valid, but a site the merge dropped is no longer listed).
    [[nodiscard]] int getLastSaveMerged() const;

    int getPWDBankEnable();
    int getBubbleEnable();
    void setPWDBankEnable(int enable);  // stored as 1 for any nonzero value
    void setBubbleEnable(int enable);
    QOVIPasswordBank* getPWDBankInfo();  // never null

    // The account name of the user.
    const std::wstring& getUserName() const;
    // Full path of the user's data file (set by load).
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

// The log: <data root>\QOVI.log, UTF-8, one line per debugLog call:
//   2024-05-01 12:34:56.789 [4321] .\Src\Src\QOVIPWDBankInfoSettingDlg(412): Delete the web item!
// that is local time with milliseconds, the process id in brackets, the
// source path and line as given, ": " and the text, ended by CR LF (line
// breaks inside the text become spaces). Several processes may append to it.
// When it grows past 1 MiB it is renamed to QOVI.log.1 (replacing the older
// one) and a new file is started. The store logs its own events there too,
// with source paths under .\QOVICommon\; it never logs a value, a user name
// value or a password.
class QOVICOMMON_API QOVILog {
public:
    // Opens the log on first use (and again when QOVI_DATA_DIR changed the
    // data root since). Never pass a secret.
    static void debugLog(const wchar_t* file, int line, const std::wstring& text);
    // The same line count times, written at once: for an operation that
    // logs a line per item over thousands of items.
    static void debugLogLines(const wchar_t* file, int line, const std::wstring& text, int count);
    // Closes the log file; the next debugLog opens it again.
    static void endLog();
};

#ifdef _MSC_VER
#pragma warning(pop)
#endif
