// BankFile.h - the bank file on disk: envelope, atomic replacement, damage.
//
// A bank file is one line of plain JSON, the header,
//   {"cipher":"AES-256-GCM","format":"QOVI password bank","key":"<base64>",
//    "nonce":"<base64>","saveId":"<hex>","version":3}
// followed by the encrypted content (BankFormat.h) and its 16-byte GCM tag.
// "key" is the content key protected by DPAPI; the header line is the GCM's
// additional data, so it is authenticated with the content: any change to
// the file is detected. "saveId" is new at every save.
//
// Nothing in the header is acted on before the tag holds: a flipped bit in
// "version" is damage, not a newer file. A later version keeps this
// envelope, so that older versions authenticate its files first and only
// then refuse them as newer.
#pragma once

#include "Crypto.h"
#include "QOVIText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qovi {

// The version written; every older one is still read (BankFormat.h).
const int kFormatVersion = 3;

enum class FileStatus {
    Ok,
    Missing,
    Damaged,            // fails authentication or does not parse, or is not this user's: keep it aside
    NewerFormat,        // authenticated, but a later version's file: leave it alone
    IoError,            // could not be read or written now; the file is as it was
    CryptoUnavailable,  // the platform's cryptography failed now; says nothing about the file
};

// A file's exact bytes in short: its size and a fast hash (not a secret and
// not a defence against forgery; it tells whether a file is still the one
// this process read or wrote).
struct Fingerprint {
    uint64_t size = 0;
    uint64_t hash = 0;
    bool valid = false;
    bool operator==(const Fingerprint& other) const
    {
        return valid && other.valid && size == other.size && hash == other.hash;
    }
};

struct FileContent {
    std::string saveId;
    int version = 0;
    ContentKey key;
    bool keyRejected = false;  // Damaged because this user's data protection refused the key
    Fingerprint fingerprint;  // of the bytes as read
    std::string buffer;       // the file, its content decrypted in place; wiped at destruction
    size_t offset = 0;        // where the content starts in the buffer
    size_t size = 0;          // its length

    FileContent() = default;
    FileContent(const FileContent&) = delete;
    FileContent& operator=(const FileContent&) = delete;
    ~FileContent() { wipe(buffer); }
    const char* payload() const { return buffer.data() + offset; }
};

// Reads the whole file into content.buffer (reusing its capacity) and takes
// its fingerprint; nothing is decrypted yet.
FileStatus readRaw(const std::wstring& path, FileContent& content);
// Authenticates and decrypts what readRaw read. why tells what was wrong.
FileStatus decrypt(FileContent& content, std::string& why);

// Encrypts the payload in place (afterwards it holds no plain text, whether
// the write succeeded or not) under the key, made first when the key is not
// valid yet, and replaces the file atomically: a temporary file beside it,
// flushed, then ReplaceFileW (the old file becomes the backup), or
// MoveFileExW when there is no file yet. When the replacement fails halfway
// and leaves no bank file, the temporary file is kept: it is the newest
// generation, and the next load or save puts it in place. saveId and
// fingerprint receive those of the new file.
FileStatus writeBankFile(const std::wstring& path, std::string& payload, ContentKey& key, std::string& saveId,
                         Fingerprint& fingerprint);

// Renames a damaged file to "<path>.damaged-<local time>" (never replacing
// anything); returns the new path, empty when the rename failed.
std::wstring keepAside(const std::wstring& path);

// Temporary files that saves left beside the bank file, newest first.
std::vector<std::wstring> leftoverTemporaries(const std::wstring& path);

// Puts a generation read from another file in place as the bank file, which
// must be missing: the file itself is renamed (move) or copied and flushed
// first (copy). False when that failed; the source is then as it was.
bool putInPlace(const std::wstring& from, const std::wstring& path, bool copy);

}  // namespace qovi
