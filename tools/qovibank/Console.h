// Console.h - output of qovibank, and text conversion.
#pragma once

#include <string>
#include "QOVIText.h"

namespace qovibank {

// To a console through WriteConsoleW, to a file or pipe as UTF-8. False when
// not all of the text was written (no standard handle, a full disk, a closed
// pipe); GetLastError then tells why.
bool writeOut(const std::wstring& text);
bool writeErr(const std::wstring& text);

// Text conversion and wiping are the store's own (compiled in from its sources).
using qovi::fromUtf8;
using qovi::toUtf8;
using qovi::wipe;
// False when the bytes are not valid UTF-8.
inline bool fromUtf8Checked(const std::string& text, std::wstring& out)
{
    return qovi::fromUtf8Checked(text.data(), text.size(), out);
}

// The system's message for a Win32 error code, without the line break.
std::wstring errorText(unsigned long error);

}  // namespace qovibank
