// Console.h - output of qovibank, and text conversion.
#pragma once

#include <string>

namespace qovibank {

// To a console through WriteConsoleW, to a file or pipe as UTF-8.
void writeOut(const std::wstring& text);
void writeErr(const std::wstring& text);

std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
// False when the bytes are not valid UTF-8.
bool fromUtf8Checked(const std::string& text, std::wstring& out);

// Overwrites a buffer that held passwords, then empties it.
void wipe(std::string& text);
void wipe(std::wstring& text);

// The system's message for a Win32 error code, without the line break.
std::wstring errorText(unsigned long error);

}  // namespace qovibank
