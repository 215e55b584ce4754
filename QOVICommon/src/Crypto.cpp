#include "Crypto.h"

#include "Faults.h"
#include "QOVIText.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>

#ifndef STATUS_AUTH_TAG_MISMATCH
#define STATUS_AUTH_TAG_MISMATCH static_cast<NTSTATUS>(0xC000A002L)
#endif

namespace qovi {

namespace {

// The platform's cryptography is loaded on first use: a user without a bank
// file yet never needs it, and under Wine bcrypt.dll brings a TLS library of
// megabytes into the process when it loads.
FARPROC platformEntry(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);
    if (!module)
        module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

// Without the library, every call fails as the platform's would.
template <typename... Args>
NTSTATUS WINAPI bcryptMissing(Args...)
{
    return static_cast<NTSTATUS>(0xC0000225L);  // STATUS_NOT_FOUND
}

template <typename... Args>
BOOL WINAPI crypt32Missing(Args...)
{
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

template <typename... Args>
auto bcryptEntry(NTSTATUS(WINAPI*)(Args...), const char* name) -> NTSTATUS(WINAPI*)(Args...)
{
    auto found = reinterpret_cast<NTSTATUS(WINAPI*)(Args...)>(
        reinterpret_cast<void*>(platformEntry(L"bcrypt.dll", name)));
    return found ? found : &bcryptMissing<Args...>;
}

template <typename... Args>
auto crypt32Entry(BOOL(WINAPI*)(Args...), const char* name) -> BOOL(WINAPI*)(Args...)
{
    auto found = reinterpret_cast<BOOL(WINAPI*)(Args...)>(reinterpret_cast<void*>(platformEntry(L"crypt32.dll", name)));
    return found ? found : &crypt32Missing<Args...>;
}

#define BCRYPT(function) bcryptEntry(&::function, #function)
#define CRYPT32(function) crypt32Entry(&::function, #function)

}  // namespace

// Mixed into DPAPI so that a blob protected by another program for the same
// user does not unwrap as ours, and ours not as theirs.
static const char kEntropy[] = "QOVI password bank key v1";

bool randomBytes(void* buffer, size_t size)
{
    return BCRYPT_SUCCESS(BCRYPT(BCryptGenRandom)(nullptr, static_cast<PUCHAR>(buffer), static_cast<ULONG>(size),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

CryptoStatus protectKey(const unsigned char* key, std::vector<unsigned char>& blob)
{
    DATA_BLOB in = {static_cast<DWORD>(kKeySize), const_cast<BYTE*>(key)};
    DATA_BLOB entropy = {static_cast<DWORD>(sizeof kEntropy - 1),
                         reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
    DATA_BLOB out = {};
    if (injectedFailure(Call::Dpapi))
        return CryptoStatus::Unavailable;
    if (!CRYPT32(CryptProtectData)(&in, L"QOVI password bank", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return CryptoStatus::Unavailable;
    blob.assign(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    return CryptoStatus::Ok;
}

// A blob that fails its own check, or is another user's or another
// machine's, is a file this user cannot read: damage. Any other failure
// (the protection service unreachable, out of memory) may pass.
static bool blobRejected(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS:
    case ERROR_INVALID_DATA:
    case static_cast<DWORD>(NTE_BAD_DATA):
    case static_cast<DWORD>(NTE_BAD_KEY_STATE):
    case static_cast<DWORD>(NTE_BAD_KEY):
    case static_cast<DWORD>(NTE_BAD_SIGNATURE):
    case static_cast<DWORD>(NTE_BAD_HASH):
    case static_cast<DWORD>(NTE_BAD_VER):
        return true;
    default:
        return false;
    }
}

CryptoStatus unprotectKey(const std::vector<unsigned char>& blob, unsigned char* key)
{
    DATA_BLOB in = {static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
    DATA_BLOB entropy = {static_cast<DWORD>(sizeof kEntropy - 1),
                         reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
    DATA_BLOB out = {};
    if (injectedFailure(Call::Dpapi))
        return CryptoStatus::Unavailable;
    // A failure that names no error of its own reads as damage.
    SetLastError(ERROR_SUCCESS);
    if (injectedFailure(Call::DpapiRejected) ||
        !CRYPT32(CryptUnprotectData)(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return blobRejected(GetLastError()) ? CryptoStatus::Rejected : CryptoStatus::Unavailable;
    CryptoStatus status = CryptoStatus::Rejected;
    if (out.cbData == kKeySize) {
        memcpy(key, out.pbData, kKeySize);
        status = CryptoStatus::Ok;
    }
    wipeBytes(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return status;
}

namespace {

// An AES-GCM key handle for one operation; the algorithm handle is opened
// per operation, which costs little next to the file access around it.
class GcmKey {
public:
    explicit GcmKey(const unsigned char* key)
    {
        if (!BCRYPT_SUCCESS(BCRYPT(BCryptOpenAlgorithmProvider)(&algorithm_, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
            algorithm_ = nullptr;
            return;
        }
        if (!BCRYPT_SUCCESS(BCRYPT(BCryptSetProperty)(algorithm_, BCRYPT_CHAINING_MODE,
                                              reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                                              sizeof BCRYPT_CHAIN_MODE_GCM, 0)))
            return;
        if (!BCRYPT_SUCCESS(BCRYPT(BCryptGenerateSymmetricKey)(algorithm_, &key_, nullptr, 0, const_cast<PUCHAR>(key),
                                                       static_cast<ULONG>(kKeySize), 0)))
            key_ = nullptr;
    }
    ~GcmKey()
    {
        if (key_)
            BCRYPT(BCryptDestroyKey)(key_);
        if (algorithm_)
            BCRYPT(BCryptCloseAlgorithmProvider)(algorithm_, 0);
    }
    GcmKey(const GcmKey&) = delete;
    GcmKey& operator=(const GcmKey&) = delete;
    BCRYPT_KEY_HANDLE handle() const { return key_; }

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_KEY_HANDLE key_ = nullptr;
};

void describe(BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO& info, const unsigned char* nonce, const std::string& aad,
              unsigned char* tag)
{
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = const_cast<PUCHAR>(nonce);
    info.cbNonce = static_cast<ULONG>(kNonceSize);
    info.pbAuthData = reinterpret_cast<PUCHAR>(const_cast<char*>(aad.data()));
    info.cbAuthData = static_cast<ULONG>(aad.size());
    info.pbTag = tag;
    info.cbTag = static_cast<ULONG>(kTagSize);
}

}  // namespace

CryptoStatus seal(const unsigned char* key, const unsigned char* nonce, const std::string& aad, std::string& text)
{
    GcmKey gcm(key);
    if (!gcm.handle())
        return CryptoStatus::Unavailable;
    unsigned char tag[kTagSize];
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    describe(info, nonce, aad, tag);
    ULONG written = 0;
    PUCHAR data = text.empty() ? nullptr : reinterpret_cast<PUCHAR>(&text[0]);
    // GCM is a stream mode: the ciphertext is exactly as long as the plain text.
    NTSTATUS status = BCRYPT(BCryptEncrypt)(gcm.handle(), data, static_cast<ULONG>(text.size()), &info, nullptr, 0, data,
                                    static_cast<ULONG>(text.size()), &written, 0);
    if (!BCRYPT_SUCCESS(status) || written != text.size())
        return CryptoStatus::Unavailable;
    text.append(reinterpret_cast<const char*>(tag), kTagSize);
    return CryptoStatus::Ok;
}

CryptoStatus open(const unsigned char* key, const unsigned char* nonce, const std::string& aad, char* data,
                  size_t size)
{
    if (size < kTagSize)
        return CryptoStatus::Rejected;
    GcmKey gcm(key);
    if (!gcm.handle())
        return CryptoStatus::Unavailable;
    size_t length = size - kTagSize;
    unsigned char tag[kTagSize];
    memcpy(tag, data + length, kTagSize);
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    describe(info, nonce, aad, tag);
    ULONG written = 0;
    PUCHAR bytes = length ? reinterpret_cast<PUCHAR>(data) : nullptr;
    NTSTATUS status = BCRYPT(BCryptDecrypt)(gcm.handle(), bytes, static_cast<ULONG>(length), &info, nullptr, 0, bytes,
                                    static_cast<ULONG>(length), &written, 0);
    if (status == STATUS_AUTH_TAG_MISMATCH)
        return CryptoStatus::Rejected;
    if (!BCRYPT_SUCCESS(status) || written != length)
        return CryptoStatus::Unavailable;
    return CryptoStatus::Ok;
}

void ContentKey::clear()
{
    wipeBytes(bytes, sizeof bytes);
    wrapped.clear();
    valid = false;
}

CryptoStatus makeContentKey(ContentKey& key)
{
    key.clear();
    if (!randomBytes(key.bytes, sizeof key.bytes))
        return CryptoStatus::Unavailable;
    CryptoStatus status = protectKey(key.bytes, key.wrapped);
    if (status != CryptoStatus::Ok) {
        key.clear();
        return status;
    }
    key.valid = true;
    return CryptoStatus::Ok;
}

std::string toBase64(const std::vector<unsigned char>& bytes)
{
    if (bytes.empty())
        return std::string();
    DWORD size = 0;
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    CRYPT32(CryptBinaryToStringA)(bytes.data(), static_cast<DWORD>(bytes.size()), flags, nullptr, &size);
    std::string text(size, '\0');
    if (!CRYPT32(CryptBinaryToStringA)(bytes.data(), static_cast<DWORD>(bytes.size()), flags, &text[0], &size))
        return std::string();
    text.resize(size);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool fromBase64(const std::string& text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (text.empty())
        return false;
    DWORD size = 0;
    if (!CRYPT32(CryptStringToBinaryA)(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, nullptr, &size,
                              nullptr, nullptr))
        return false;
    bytes.resize(size);
    if (!CRYPT32(CryptStringToBinaryA)(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, bytes.data(),
                              &size, nullptr, nullptr))
        return false;
    bytes.resize(size);
    return true;
}

}  // namespace qovi
