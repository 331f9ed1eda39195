// The program's UTF-8 text at the Win32 edge (the rule is in platform/Text.h): UTF-16
// for the wide functions, the system's ANSI code page for the few ANSI calls left.
#pragma once

#include <string>
#include <string_view>

namespace qvr {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// ANSI means the system's active code page (CP_ACP). A character it cannot hold
// becomes the system's default character.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

}  // namespace qvr
