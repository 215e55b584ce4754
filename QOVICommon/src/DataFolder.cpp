#include "DataFolder.h"

#include "QOVIText.h"

#include <windows.h>
#include <shlobj.h>

namespace qovi {

static std::wstring withoutTrailingSeparators(std::wstring path)
{
    // Keep the separator of a drive root ("C:\") and of a UNC prefix.
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

std::wstring dataRoot()
{
    std::wstring configured = environmentVariable(L"QOVI_DATA_DIR");
    if (!configured.empty()) {
        DWORD size = GetFullPathNameW(configured.c_str(), 0, nullptr, nullptr);
        if (size == 0)
            return withoutTrailingSeparators(configured);
        std::wstring full(size, L'\0');
        DWORD length = GetFullPathNameW(configured.c_str(), size, &full[0], nullptr);
        full.resize(length < size ? length : 0);
        return withoutTrailingSeparators(full.empty() ? configured : full);
    }
    PWSTR localAppData = nullptr;
    std::wstring root;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &localAppData)))
        root = std::wstring(localAppData) + L"\\MERIDOX\\QOVI";
    CoTaskMemFree(localAppData);
    return root;
}

std::wstring accountName()
{
    // An account name has at most 256 characters (UNLEN), and the terminator.
    const DWORD kNameChars = 256 + 1;
    wchar_t name[kNameChars];
    DWORD size = kNameChars;
    if (!GetUserNameW(name, &size) || size == 0)
        return std::wstring();
    return std::wstring(name, size - 1);
}

std::wstring userFolder(const std::wstring& root, const std::wstring& account)
{
    std::wstring name = account;
    for (wchar_t& c : name) {
        if (c < 32 || wcschr(L"\\/:*?\"<>|", c))
            c = L'_';
    }
    // Windows drops trailing dots and spaces from file names.
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    if (name.empty())
        name = L"user";
    return root + L"\\" + name;
}

std::wstring bankFilePath(const std::wstring& folder) { return folder + L"\\PasswordBank.qovi"; }

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ensureFolder(const std::wstring& folder)
{
    if (folder.empty())
        return false;
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t separator = folder.find_last_of(L"\\/");
    if (separator != std::wstring::npos && separator > 0) {
        std::wstring parent = folder.substr(0, separator);
        // "C:" and "\\server\share" prefixes need no creating.
        if (parent.size() > 2 && parent.back() != L':')
            ensureFolder(parent);
    }
    if (CreateDirectoryW(folder.c_str(), nullptr))
        return true;
    attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace qovi
