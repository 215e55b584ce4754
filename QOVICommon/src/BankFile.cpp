#include "BankFile.h"

#include "Crypto.h"
#include "DataFolder.h"
#include "Log.h"
#include "Text.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

namespace qovi {

using nlohmann::json;

static const wchar_t kSource[] = L".\\QOVICommon\\src\\BankFile";
static const char kFormatName[] = "QOVI password bank";
static const char kCipher[] = "AES-256-GCM";
// A header is a few hundred bytes; anything longer is not one of ours.
static const size_t kMaxHeader = 16384;

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    void close()
    {
        if (valid())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

HANDLE openForReading(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

FileStatus openStatus(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileStatus::Missing : FileStatus::IoError;
}

FileStatus readAll(const std::wstring& path, std::string& bytes)
{
    Handle file(openForReading(path));
    if (!file.valid())
        return openStatus(GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x40000000)
        return FileStatus::IoError;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        if (!ReadFile(file.get(), &bytes[done], want, &got, nullptr))
            return FileStatus::IoError;
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return FileStatus::Ok;
}

struct Header {
    std::string text;  // the header line with its line break: the GCM's additional data
    std::string saveId;
    std::vector<unsigned char> wrappedKey, nonce;
};

FileStatus parseHeader(const std::string& bytes, Header& header, std::string& why)
{
    size_t end = bytes.find('\n');
    if (end == std::string::npos || end > kMaxHeader) {
        why = "no header line";
        return FileStatus::Damaged;
    }
    header.text.assign(bytes, 0, end + 1);
    try {
        json parsed = json::parse(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
        if (!parsed.is_object() || parsed.value("format", std::string()) != kFormatName) {
            why = "not a password bank file";
            return FileStatus::Damaged;
        }
        auto version = parsed.find("version");
        if (version == parsed.end() || !version->is_number_unsigned()) {
            why = "no format version";
            return FileStatus::Damaged;
        }
        if (version->get<unsigned long long>() > static_cast<unsigned long long>(kFormatVersion)) {
            why = "written by a newer version";
            return FileStatus::NewerFormat;
        }
        if (parsed.value("cipher", std::string()) != kCipher) {
            why = "an unknown cipher";
            return FileStatus::Damaged;
        }
        header.saveId = parsed.value("saveId", std::string());
        if (header.saveId.empty() || !fromBase64(parsed.value("key", std::string()), header.wrappedKey) ||
            !fromBase64(parsed.value("nonce", std::string()), header.nonce) || header.nonce.size() != kNonceSize) {
            why = "an incomplete header";
            return FileStatus::Damaged;
        }
    } catch (const std::exception& error) {
        why = std::string("an unreadable header: ") + error.what();
        return FileStatus::Damaged;
    }
    return FileStatus::Ok;
}

FileStatus decrypt(FileContent& content, std::string& why)
{
    Header header;
    FileStatus status = parseHeader(content.buffer, header, why);
    if (status != FileStatus::Ok)
        return status;
    content.key.wrapped = header.wrappedKey;
    if (unprotectKey(header.wrappedKey, content.key.bytes) != CryptoStatus::Ok) {
        content.key.clear();
        why = "the key does not unwrap for this user";
        return FileStatus::Damaged;
    }
    content.key.valid = true;
    content.offset = header.text.size();
    CryptoStatus crypto = open(content.key.bytes, header.nonce.data(), header.text, &content.buffer[content.offset],
                               content.buffer.size() - content.offset);
    if (crypto != CryptoStatus::Ok) {
        // A failed decryption may have left part of the plain text behind.
        wipe(content.buffer);
        content.key.clear();
        content.offset = 0;
        why = crypto == CryptoStatus::Unavailable ? "decryption is unavailable" : "the content does not authenticate";
        return crypto == CryptoStatus::Unavailable ? FileStatus::CryptoUnavailable : FileStatus::Damaged;
    }
    content.size = content.buffer.size() - content.offset - kTagSize;
    content.saveId = header.saveId;
    return FileStatus::Ok;
}

bool writeAll(HANDLE file, const char* data, size_t size)
{
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 24));
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

std::wstring temporaryPath(const std::wstring& path)
{
    return path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

std::wstring lastErrorText(DWORD error) { return L" (error " + std::to_wstring(error) + L")"; }

// Puts the flushed temporary file in place of the bank file in one step.
bool replaceWith(const std::wstring& path, const std::wstring& temporary)
{
    if (!fileExists(path)) {
        // ReplaceFileW needs an existing target (Wine's fails without one).
        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        QOVILog::debugLog(kSource, __LINE__, L"Could not move the new bank file in place" + lastErrorText(GetLastError()));
        return false;
    }
    std::wstring backup = backupPath(path);
    if (ReplaceFileW(path.c_str(), temporary.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
        return true;
    DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The old file is already the backup; only the second rename is left.
        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        error = GetLastError();
    }
    QOVILog::debugLog(kSource, __LINE__, L"Could not replace the bank file" + lastErrorText(error));
    return false;
}

}  // namespace

FileStatus readBankFile(const std::wstring& path, FileContent& content, std::string& why)
{
    FileStatus status = readAll(path, content.buffer);
    if (status != FileStatus::Ok) {
        why = status == FileStatus::Missing ? "no file" : "the file could not be read";
        return status;
    }
    return decrypt(content, why);
}

FileStatus readSaveId(const std::wstring& path, std::string& saveId)
{
    Handle file(openForReading(path));
    if (!file.valid())
        return openStatus(GetLastError());
    std::string bytes(kMaxHeader + 1, '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr))
        return FileStatus::IoError;
    bytes.resize(got);
    Header header;
    std::string why;
    FileStatus status = parseHeader(bytes, header, why);
    if (status == FileStatus::Ok)
        saveId = header.saveId;
    return status;
}

FileStatus writeBankFile(const std::wstring& path, std::string& payload, ContentKey& key, std::string& saveId)
{
    unsigned char nonce[kNonceSize], id[16];
    if (!randomBytes(nonce, sizeof nonce) || !randomBytes(id, sizeof id) ||
        (!key.valid && makeContentKey(key) != CryptoStatus::Ok)) {
        wipe(payload);
        QOVILog::debugLog(kSource, __LINE__, L"Could not make or protect the bank key.");
        return FileStatus::CryptoUnavailable;
    }
    json header = json::object();
    header["format"] = kFormatName;
    header["version"] = kFormatVersion;
    header["cipher"] = kCipher;
    header["saveId"] = toHex(id, sizeof id);
    header["key"] = toBase64(key.wrapped);
    header["nonce"] = toBase64(std::vector<unsigned char>(nonce, nonce + sizeof nonce));
    std::string headerLine = header.dump() + "\n";
    if (seal(key.bytes, nonce, headerLine, payload) != CryptoStatus::Ok) {
        wipe(payload);
        QOVILog::debugLog(kSource, __LINE__, L"Could not encrypt the bank.");
        return FileStatus::CryptoUnavailable;
    }
    const std::string& sealed = payload;

    std::wstring temporary = temporaryPath(path);
    Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!file.valid()) {
        QOVILog::debugLog(kSource, __LINE__, L"Could not create the temporary bank file" + lastErrorText(GetLastError()));
        return FileStatus::IoError;
    }
    bool written = writeAll(file.get(), headerLine.data(), headerLine.size()) &&
                   writeAll(file.get(), sealed.data(), sealed.size()) && FlushFileBuffers(file.get());
    DWORD error = GetLastError();
    file.close();
    if (!written || !replaceWith(path, temporary)) {
        if (!written)
            QOVILog::debugLog(kSource, __LINE__, L"Could not write the temporary bank file" + lastErrorText(error));
        DeleteFileW(temporary.c_str());
        return FileStatus::IoError;
    }
    saveId = header["saveId"].get<std::string>();
    return FileStatus::Ok;
}

std::wstring keepAside(const std::wstring& path)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L".damaged-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    for (int attempt = 1; attempt < 1000; ++attempt) {
        std::wstring target = path + stamp;
        if (attempt > 1)
            target += L"-" + std::to_wstring(attempt);
        // Without MOVEFILE_REPLACE_EXISTING: an earlier kept file is never replaced.
        if (MoveFileExW(path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return target;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return std::wstring();
    }
    return std::wstring();
}

void settleInterruptedSaves(const std::wstring& path)
{
    size_t separator = path.find_last_of(L'\\');
    std::wstring folder = path.substr(0, separator + 1);
    struct Leftover {
        std::wstring path;
        FILETIME written;
    };
    std::vector<Leftover> leftovers;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L".*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            leftovers.push_back({folder + data.cFileName, data.ftLastWriteTime});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(leftovers.begin(), leftovers.end(), [](const Leftover& a, const Leftover& b) {
        return CompareFileTime(&a.written, &b.written) > 0;
    });
    bool missing = !fileExists(path);
    for (const Leftover& leftover : leftovers) {
        if (missing) {
            // A temporary file is flushed before the replacement starts, so a
            // complete one is the generation that was being put in place.
            std::string why;
            FileStatus status;
            {
                FileContent content;
                status = readBankFile(leftover.path, content, why);
            }
            if (status == FileStatus::Ok &&
                MoveFileExW(leftover.path.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
                missing = false;
                QOVILog::debugLog(kSource, __LINE__, L"Finished a save that was interrupted: " + leftover.path);
                continue;
            }
        }
        DeleteFileW(leftover.path.c_str());
    }
}

}  // namespace qovi
