// QOVIText.h - UTF-8/UTF-16 conversion, hex, wiping of secret buffers and
// the environment, shared by the store, the tool and qovibank.
#pragma once

#include <string>
#include <vector>

namespace qovi {

// UTF-16 to UTF-8 and back. Unpaired surrogates become U+FFFD; invalid
// UTF-8 gives false from fromUtf8Checked and U+FFFD from fromUtf8.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const char* text, size_t size);
inline std::wstring fromUtf8(const std::string& text) { return fromUtf8(text.data(), text.size()); }
bool fromUtf8Checked(const char* text, size_t size, std::wstring& out);

std::string toHex(const void* bytes, size_t size);

// Overwrites every character the string's buffer can hold, then empties it.
// Used for buffers that held a password or another secret in plain.
void wipe(std::string& text);
void wipe(std::wstring& text);
void wipe(std::vector<unsigned char>& bytes);
void wipeBytes(void* bytes, size_t size);

// The environment variable's value, empty when it is not set.
std::wstring environmentVariable(const wchar_t* name);

}  // namespace qovi
