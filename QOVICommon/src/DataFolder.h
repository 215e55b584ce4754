// DataFolder.h - where the store keeps its files.
#pragma once

#include <string>

namespace qovi {

// The data root: QOVI_DATA_DIR when set (made absolute), otherwise
// %LOCALAPPDATA%\MERIDOX\QOVI. Empty when neither can be determined.
std::wstring dataRoot();

// The account name of the user running the process.
std::wstring accountName();

// The per-user folder below the root: the account name with characters a
// file name cannot hold replaced by '_'.
std::wstring userFolder(const std::wstring& root, const std::wstring& account);

// The user's bank file in that folder, and the names around it.
std::wstring bankFilePath(const std::wstring& folder);
inline std::wstring backupPath(const std::wstring& bankFile) { return bankFile + L".bak"; }

// Creates the folder and its missing parents; true when it exists afterwards.
bool ensureFolder(const std::wstring& folder);

bool fileExists(const std::wstring& path);

}  // namespace qovi
