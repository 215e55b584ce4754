// Crypto.h - the encryption of the bank file.
//
// Each save draws a fresh 256-bit key and 96-bit nonce, encrypts and
// authenticates the content with AES-256-GCM (CNG), and stores the key
// protected for the logged-on user with DPAPI (CryptProtectData). Reading
// needs that user's DPAPI to give the key back, and the GCM tag to match,
// so a copied, damaged or altered file is refused as a whole.
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

// AES-256-GCM. seal appends ciphertext and tag to out; aad is authenticated,
// not encrypted. open decrypts cipher (its last kTagSize bytes are the tag)
// into plain.
CryptoStatus seal(const unsigned char* key, const unsigned char* nonce, const std::string& aad,
                  const std::string& plain, std::string& out);
CryptoStatus open(const unsigned char* key, const unsigned char* nonce, const std::string& aad,
                  const char* cipher, size_t size, std::string& plain);

std::string toBase64(const std::vector<unsigned char>& bytes);
bool fromBase64(const std::string& text, std::vector<unsigned char>& bytes);

}  // namespace qovi
