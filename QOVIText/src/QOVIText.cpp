#include "QOVIText.h"

#include <windows.h>

namespace qovi {

std::string toUtf8(const std::wstring& text)
{
    std::string result;
    if (text.empty())
        return result;
    // A UTF-16 code unit takes at most three UTF-8 bytes: one call, no size query.
    result.resize(text.size() * 3);
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0],
                                   static_cast<int>(result.size()), nullptr, nullptr);
    result.resize(size > 0 ? static_cast<size_t>(size) : 0);
    return result;
}

std::wstring fromUtf8(const char* text, size_t size)
{
    std::wstring result;
    if (size == 0)
        return result;
    result.resize(size);
    int length = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), &result[0], static_cast<int>(size));
    result.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return result;
}

bool fromUtf8Checked(const char* text, size_t size, std::wstring& out)
{
    out.clear();
    if (size == 0)
        return true;
    out.resize(size);
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(size), &out[0],
                                     static_cast<int>(size));
    if (length <= 0) {
        out.clear();
        return false;
    }
    out.resize(static_cast<size_t>(length));
    return true;
}

std::string toHex(const void* bytes, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string result(size * 2, '0');
    const unsigned char* data = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        result[2 * i] = digits[data[i] >> 4];
        result[2 * i + 1] = digits[data[i] & 15];
    }
    return result;
}

void wipeBytes(void* bytes, size_t size)
{
    if (bytes && size)
        SecureZeroMemory(bytes, size);
}

// A moved-from or shortened string keeps old characters beyond its size, so
// the whole capacity is overwritten, not just the current contents.
void wipe(std::string& text)
{
    text.resize(text.capacity());
    wipeBytes(&text[0], text.size());
    text.clear();
}

void wipe(std::wstring& text)
{
    text.resize(text.capacity());
    wipeBytes(&text[0], text.size() * sizeof(wchar_t));
    text.clear();
}

void wipe(std::vector<unsigned char>& bytes)
{
    bytes.resize(bytes.capacity());
    wipeBytes(bytes.data(), bytes.size());
    bytes.clear();
}

std::wstring environmentVariable(const wchar_t* name)
{
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(name, &value[0], size);
    value.resize(length < size ? length : 0);
    return value;
}

}  // namespace qovi
