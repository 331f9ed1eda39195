// Conversions between the program's 8-bit ANSI strings and UTF-16 at the Win32 edge.
#pragma once

#include <string>

namespace qvr {

// From the system's ANSI code page.
std::wstring AnsiToWide(const std::string& text);
// To the system's ANSI code page.
std::string WideToAnsi(const std::wstring& text);
// To UTF-8, for texts that end up in exception messages.
std::string WideToUtf8(const std::wstring& text);

}  // namespace qvr
