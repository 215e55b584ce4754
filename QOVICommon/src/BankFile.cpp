#include "BankFile.h"

#include "Crypto.h"
#include "DataFolder.h"
#include "Faults.h"
#include "Log.h"
#include "QOVIText.h"

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
// Far beyond any real bank (ten thousand sites take about 3 MB); a larger
// file is not read into memory.
static const LONGLONG kMaxFileSize = 0x40000000;
// ReadFile and WriteFile take at most a DWORD at a time: big files go in
// chunks of 16 MiB, well below that and large enough to cost nothing.
static const DWORD kChunkBytes = 1 << 24;

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { close(); }
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

HANDLE openFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    if (injectedFailure(Call::Open))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

HANDLE openForReading(const std::wstring& path)
{
    return openFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                    FILE_FLAG_SEQUENTIAL_SCAN);
}

bool moveFile(const std::wstring& from, const std::wstring& to, DWORD flags)
{
    return !injectedFailure(Call::Move) && MoveFileExW(from.c_str(), to.c_str(), flags);
}

FileStatus openStatus(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileStatus::Missing : FileStatus::IoError;
}

uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

// A fast 64-bit hash, four lanes of 8-byte words.
uint64_t hashBytes(const char* data, size_t size)
{
    const uint64_t p1 = 0x9E3779B185EBCA87ull, p2 = 0xC2B2AE3D27D4EB4Full, p3 = 0x165667B19E3779F9ull;
    uint64_t lanes[4] = {p1 + p2, p2, 0, 0 - p1};
    size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int l = 0; l < 4; ++l) {
            uint64_t word;
            memcpy(&word, data + i + 8 * l, 8);
            lanes[l] = rotl(lanes[l] + word * p2, 31) * p1;
        }
    }
    uint64_t h = size * p3;
    for (uint64_t lane : lanes)
        h = rotl(h ^ (rotl(lane * p2, 31) * p1), 27) * p1 + p3;
    for (; i < size; ++i)
        h = rotl(h ^ (static_cast<unsigned char>(data[i]) * p3), 11) * p1;
    h ^= h >> 33;
    h *= p2;
    h ^= h >> 29;
    return h;
}

// The header line and the rest are hashed apart, so that a save can take
// the fingerprint of the two pieces it writes without joining them.
Fingerprint fingerprintOf(const char* header, size_t headerSize, const char* rest, size_t restSize)
{
    Fingerprint print;
    print.size = headerSize + restSize;
    print.hash = hashBytes(header, headerSize) ^ rotl(hashBytes(rest, restSize), 17);
    print.valid = true;
    return print;
}

Fingerprint fingerprintOf(const std::string& bytes)
{
    size_t end = bytes.find('\n');
    size_t split = end == std::string::npos ? bytes.size() : end + 1;
    return fingerprintOf(bytes.data(), split, bytes.data() + split, bytes.size() - split);
}

// Reads into what the buffer already holds (ciphertext of an earlier read
// or save): only bytes beyond its present size are filled first. A buffer
// too small is made anew, the old one wiped (a save that failed halfway
// may have left plain text in it), with room for a larger header: a save
// reads the file into its buffer and then writes its plain text there, so
// the buffer a bank's first save makes serves every save after it.
FileStatus readAll(const std::wstring& path, std::string& bytes)
{
    Handle file(openForReading(path));
    if (!file.valid()) {
        bytes.clear();
        return openStatus(GetLastError());
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxFileSize) {
        bytes.clear();
        return FileStatus::IoError;
    }
    if (bytes.capacity() < static_cast<size_t>(size.QuadPart)) {
        wipe(bytes);
        std::string().swap(bytes);
        bytes.reserve(static_cast<size_t>(size.QuadPart) + kMaxHeader);
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kChunkBytes));
        if (injectedFailure(Call::Read) || !ReadFile(file.get(), &bytes[done], want, &got, nullptr))
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
    unsigned long long version = 0;
    std::vector<unsigned char> wrappedKey, nonce;
};

// Takes the header apart. Only its shape is checked here; what it says is
// believed once the content authenticates under it.
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
        if (!parsed.is_object() || parsed.value("format", std::string()) != kFormatName ||
            parsed.value("cipher", std::string()) != kCipher) {
            why = "not a password bank file";
            return FileStatus::Damaged;
        }
        auto version = parsed.find("version");
        header.saveId = parsed.value("saveId", std::string());
        if (version == parsed.end() || !version->is_number_unsigned() || header.saveId.empty() ||
            !fromBase64(parsed.value("key", std::string()), header.wrappedKey) ||
            !fromBase64(parsed.value("nonce", std::string()), header.nonce) || header.nonce.size() != kNonceSize) {
            why = "an incomplete header";
            return FileStatus::Damaged;
        }
        header.version = version->get<unsigned long long>();
    } catch (const std::exception& error) {
        why = std::string("an unreadable header: ") + error.what();
        return FileStatus::Damaged;
    }
    return FileStatus::Ok;
}

bool writeAll(HANDLE file, const char* data, size_t size)
{
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, kChunkBytes));
        DWORD written = 0;
        if (injectedFailure(Call::Write) || !WriteFile(file, data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

bool flush(HANDLE file) { return !injectedFailure(Call::Flush) && FlushFileBuffers(file); }

std::wstring temporaryPath(const std::wstring& path)
{
    return path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

std::wstring lastErrorText(DWORD error) { return L" (error " + std::to_wstring(error) + L")"; }

BOOL replaceFile(const std::wstring& path, const std::wstring& temporary, const std::wstring& backup)
{
    if (injectedFailure(Call::Replace))
        return FALSE;
    if (injectedFailure(Call::ReplaceHalf)) {
        // As when the old file became the backup but the new one could not follow.
        MoveFileExW(path.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING);
        SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
        return FALSE;
    }
    return ReplaceFileW(path.c_str(), temporary.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr);
}

// Puts the flushed temporary file in place of the bank file in one step.
bool replaceWith(const std::wstring& path, const std::wstring& temporary)
{
    if (!fileExists(path)) {
        // ReplaceFileW needs an existing target (Wine's fails without one).
        if (moveFile(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        QOVILog::debugLog(kSource, __LINE__, L"Could not move the new bank file in place" + lastErrorText(GetLastError()));
        return false;
    }
    if (replaceFile(path, temporary, backupPath(path)))
        return true;
    DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The old file is already the backup; only the second rename is left.
        if (moveFile(temporary, path, MOVEFILE_WRITE_THROUGH))
            return true;
        error = GetLastError();
    }
    QOVILog::debugLog(kSource, __LINE__, L"Could not replace the bank file" + lastErrorText(error));
    return false;
}

}  // namespace

FileStatus readRaw(const std::wstring& path, FileContent& content)
{
    content.offset = content.size = 0;
    content.fingerprint = Fingerprint();
    FileStatus status = readAll(path, content.buffer);
    if (status == FileStatus::Ok)
        content.fingerprint = fingerprintOf(content.buffer);
    return status;
}

FileStatus decrypt(FileContent& content, std::string& why)
{
    content.keyRejected = false;
    Header header;
    FileStatus status = parseHeader(content.buffer, header, why);
    if (status != FileStatus::Ok)
        return status;
    content.key.wrapped = header.wrappedKey;
    CryptoStatus unwrapped = unprotectKey(header.wrappedKey, content.key.bytes);
    if (unwrapped != CryptoStatus::Ok) {
        content.key.clear();
        content.keyRejected = unwrapped == CryptoStatus::Rejected;
        why = unwrapped == CryptoStatus::Unavailable ? "the system's data protection is unavailable"
                                                     : "the key does not unwrap for this user";
        return unwrapped == CryptoStatus::Unavailable ? FileStatus::CryptoUnavailable : FileStatus::Damaged;
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
    if (header.version > static_cast<unsigned long long>(kFormatVersion) || header.version == 0) {
        wipe(content.buffer);
        content.key.clear();
        content.offset = 0;
        why = header.version ? "written by a newer version" : "an unknown version";
        return header.version ? FileStatus::NewerFormat : FileStatus::Damaged;
    }
    content.size = content.buffer.size() - content.offset - kTagSize;
    content.saveId = header.saveId;
    content.version = static_cast<int>(header.version);
    return FileStatus::Ok;
}

FileStatus writeBankFile(const std::wstring& path, std::string& payload, ContentKey& key, std::string& saveId,
                         Fingerprint& fingerprint)
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
    Handle file(openFile(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    if (!file.valid()) {
        QOVILog::debugLog(kSource, __LINE__, L"Could not create the temporary bank file" + lastErrorText(GetLastError()));
        return FileStatus::IoError;
    }
    bool written = writeAll(file.get(), headerLine.data(), headerLine.size()) &&
                   writeAll(file.get(), sealed.data(), sealed.size()) && flush(file.get());
    DWORD error = GetLastError();
    file.close();
    if (!written) {
        QOVILog::debugLog(kSource, __LINE__, L"Could not write the temporary bank file" + lastErrorText(error));
        DeleteFileW(temporary.c_str());
        return FileStatus::IoError;
    }
    if (!replaceWith(path, temporary)) {
        if (fileExists(path)) {
            DeleteFileW(temporary.c_str());
        } else {
            QOVILog::debugLog(kSource, __LINE__,
                              L"Kept the new generation as " + temporary + L"; the next load puts it in place.");
        }
        return FileStatus::IoError;
    }
    saveId = header["saveId"].get<std::string>();
    fingerprint = fingerprintOf(headerLine.data(), headerLine.size(), sealed.data(), sealed.size());
    return FileStatus::Ok;
}

std::wstring keepAside(const std::wstring& path)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L".damaged-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    // Kept files are never replaced: a thousand names in one second are
    // more than any folder gathers, and beyond them the rename fails.
    const int kNameAttempts = 1000;
    for (int attempt = 1; attempt < kNameAttempts; ++attempt) {
        std::wstring target = path + stamp;
        if (attempt > 1)
            target += L"-" + std::to_wstring(attempt);
        // Without MOVEFILE_REPLACE_EXISTING: an earlier kept file is never replaced.
        if (moveFile(path, target, MOVEFILE_WRITE_THROUGH))
            return target;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return std::wstring();
    }
    return std::wstring();
}

std::vector<std::wstring> leftoverTemporaries(const std::wstring& path)
{
    std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    struct Leftover {
        std::wstring path;
        FILETIME written;
    };
    std::vector<Leftover> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L".*.tmp").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                found.push_back({folder + data.cFileName, data.ftLastWriteTime});
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(found.begin(), found.end(), [](const Leftover& a, const Leftover& b) {
        return CompareFileTime(&a.written, &b.written) > 0;
    });
    std::vector<std::wstring> paths;
    for (Leftover& leftover : found)
        paths.push_back(std::move(leftover.path));
    return paths;
}

bool putInPlace(const std::wstring& from, const std::wstring& path, bool copy)
{
    if (!copy)
        return moveFile(from, path, MOVEFILE_WRITE_THROUGH);
    std::wstring temporary = temporaryPath(path);
    bool copied = CopyFileW(from.c_str(), temporary.c_str(), FALSE) != FALSE;
    if (copied) {
        Handle file(openFile(temporary, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
        copied = file.valid() && flush(file.get());
    }
    if (copied && moveFile(temporary, path, MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

}  // namespace qovi
