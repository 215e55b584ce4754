// BankFile.h - the bank file on disk: envelope, atomic replacement, damage.
//
// A bank file is one line of plain JSON, the header,
//   {"cipher":"AES-256-GCM","format":"QOVI password bank","key":"<base64>",
//    "nonce":"<base64>","saveId":"<hex>","version":1}
// followed by the encrypted content (BankFormat.h) and its 16-byte GCM tag.
// "key" is the content key protected by DPAPI; the header line is the GCM's
// additional data, so it is authenticated with the content: any change to
// the file is detected. "saveId" is new at every save and tells a process
// whether the file changed since it read it.
#pragma once

#include "Crypto.h"
#include "Text.h"

#include <string>

namespace qovi {

const int kFormatVersion = 1;

enum class FileStatus {
    Ok,
    Missing,
    Damaged,       // unreadable as a bank file, or not for this user: keep it aside
    NewerFormat,   // a later version's file: leave it alone
    IoError,       // could not be read or written; the file is as it was
    CryptoUnavailable,
};

struct FileContent {
    std::string saveId;
    ContentKey key;
    std::string buffer;  // the file, its content decrypted in place; wiped at destruction
    size_t offset = 0;   // where the content starts in the buffer
    size_t size = 0;     // its length

    FileContent() = default;
    FileContent(const FileContent&) = delete;
    FileContent& operator=(const FileContent&) = delete;
    ~FileContent() { wipe(buffer); }
    const char* payload() const { return buffer.data() + offset; }
};

// Reads and decrypts the whole file. why tells what was wrong when not Ok.
FileStatus readBankFile(const std::wstring& path, FileContent& content, std::string& why);

// Reads only the header's saveId (cheap: the file may be large).
FileStatus readSaveId(const std::wstring& path, std::string& saveId);

// Encrypts the payload in place (afterwards it holds no plain text, whether
// the write succeeded or not) under the key, made first when the key is not
// valid yet, and replaces the file atomically: a temporary file beside it,
// flushed, then ReplaceFileW (the old file becomes the backup), or
// MoveFileExW when there is no file yet. saveId receives the new id.
FileStatus writeBankFile(const std::wstring& path, std::string& payload, ContentKey& key, std::string& saveId);

// Renames a damaged file to "<path>.damaged-<local time>" (never replacing
// anything); returns the new path, empty when the rename failed.
std::wstring keepAside(const std::wstring& path);

// Deals with what a process killed during a save left behind: when the bank
// file is missing and a complete temporary file exists, that one becomes the
// bank file (the kill came between the two renames of a replacement); every
// other temporary file is deleted. Called with the bank lock held.
void settleInterruptedSaves(const std::wstring& path);

}  // namespace qovi
