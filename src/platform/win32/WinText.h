// Conversions between the program's 8-bit texts and the UTF-16 of the Win32 "W"
// functions. User-visible texts are UTF-8 in the source; file names are in the
// ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace qvr {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// ANSI means the system's active code page (CP_ACP).
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace qvr
