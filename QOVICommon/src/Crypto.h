// Crypto.h - the encryption of the bank file.
//
// A bank file's content is encrypted and authenticated with AES-256-GCM
// (CNG) under a random 256-bit content key, with a fresh random 96-bit nonce
// at every save. The file stores the content key protected for the
// logged-on user with DPAPI (CryptProtectData). Reading needs that user's
// DPAPI to give the key back, and the GCM tag to match, so a copied, damaged
// or altered file is refused as a whole. A process keeps the key of the file
// it read for its later saves, so DPAPI runs once per new file, not per save.
#pragma once

#include <string>
#include <vector>

namespace qovi {

enum class CryptoStatus {
    Ok,
    Rejected,     // the data does not decrypt or authenticate: damaged, altered, another user's
    Unavailable,  // the platform's cryptography failed; says nothing about the data
};

const size_t kKeySize = 32;
const size_t kNonceSize = 12;
const size_t kTagSize = 16;

bool randomBytes(void* buffer, size_t size);

// DPAPI, for the logged-on user, with the store's own entropy.
CryptoStatus protectKey(const unsigned char* key, std::vector<unsigned char>& blob);
// The key is written to key (kKeySize bytes) when the blob gives one of that size.
CryptoStatus unprotectKey(const std::vector<unsigned char>& blob, unsigned char* key);

// A content key, and the same key as DPAPI protected it for the file.
struct ContentKey {
    unsigned char bytes[kKeySize] = {};
    std::vector<unsigned char> wrapped;
    bool valid = false;

    ContentKey() = default;
    ContentKey(const ContentKey&) = default;
    ContentKey& operator=(const ContentKey&) = default;
    ~ContentKey() { clear(); }
    void clear();
};

// A new random content key, protected by DPAPI.
CryptoStatus makeContentKey(ContentKey& key);

// AES-256-GCM, in place: the bank's content is megabytes, and a second
// buffer of that size costs more than the encryption. aad is authenticated,
// not encrypted. seal encrypts text and appends the tag; open decrypts
// data[0, size - kTagSize) and checks the tag in its last kTagSize bytes.
CryptoStatus seal(const unsigned char* key, const unsigned char* nonce, const std::string& aad, std::string& text);
CryptoStatus open(const unsigned char* key, const unsigned char* nonce, const std::string& aad, char* data,
                  size_t size);

std::string toBase64(const std::vector<unsigned char>& bytes);
bool fromBase64(const std::string& text, std::vector<unsigned char>& bytes);

}  // namespace qovi
