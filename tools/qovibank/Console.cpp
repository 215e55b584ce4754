#include "Console.h"

#include <windows.h>

namespace qovibank {

// Consoles take a limited number of characters per WriteConsoleW call.
const size_t kConsoleChunk = 8192;

static bool write(DWORD which, const std::wstring& text)
{
    HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        for (size_t at = 0; at < text.size(); at += written) {
            size_t count = text.size() - at < kConsoleChunk ? text.size() - at : kConsoleChunk;
            // Never split a surrogate pair between two calls.
            if (count < text.size() - at && IS_HIGH_SURROGATE(text[at + count - 1]))
                --count;
            if (!WriteConsoleW(handle, text.data() + at, static_cast<DWORD>(count), &written, nullptr) ||
                written == 0)
                return false;
        }
        return true;
    }
    std::string bytes = toUtf8(text);
    bool ok = true;
    DWORD error = ERROR_SUCCESS;
    for (size_t at = 0; ok && at < bytes.size(); at += written) {
        ok = WriteFile(handle, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written, nullptr) &&
             written > 0;
        if (!ok)
            error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
    }
    wipe(bytes);
    SetLastError(error);
    return ok;
}

bool writeOut(const std::wstring& text) { return write(STD_OUTPUT_HANDLE, text); }
bool writeErr(const std::wstring& text) { return write(STD_ERROR_HANDLE, text); }

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
