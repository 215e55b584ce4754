#include "Console.h"

#include <windows.h>

namespace qovibank {

static void write(DWORD which, const std::wstring& text)
{
    HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || text.empty())
        return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes = toUtf8(text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    wipe(bytes);
}

void writeOut(const std::wstring& text) { write(STD_OUTPUT_HANDLE, text); }
void writeErr(const std::wstring& text) { write(STD_ERROR_HANDLE, text); }

std::string toUtf8(const std::wstring& text)
{
    std::string result;
    if (text.empty())
        return result;
    result.resize(text.size() * 3);
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0],
                                   static_cast<int>(result.size()), nullptr, nullptr);
    result.resize(size > 0 ? static_cast<size_t>(size) : 0);
    return result;
}

std::wstring fromUtf8(const std::string& text)
{
    std::wstring result;
    fromUtf8Checked(text, result);
    return result;
}

bool fromUtf8Checked(const std::string& text, std::wstring& out)
{
    out.clear();
    if (text.empty())
        return true;
    out.resize(text.size());
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                     &out[0], static_cast<int>(out.size()));
    if (length <= 0) {
        length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                     static_cast<int>(out.size()));
        out.resize(length > 0 ? static_cast<size_t>(length) : 0);
        return false;
    }
    out.resize(static_cast<size_t>(length));
    return true;
}

void wipe(std::string& text)
{
    text.resize(text.capacity());
    SecureZeroMemory(&text[0], text.size());
    text.clear();
}

void wipe(std::wstring& text)
{
    text.resize(text.capacity());
    SecureZeroMemory(&text[0], text.size() * sizeof(wchar_t));
    text.clear();
}

std::wstring errorText(unsigned long error)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(error);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

}  // namespace qovibank
