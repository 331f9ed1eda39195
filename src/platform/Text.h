// Text inside the program, and the one converter of each kind.
//
// The rule: a std::string holds UTF-8, everywhere. User-visible texts, file names and
// paths, system messages and command-line arguments are all UTF-8 once they are inside.
// Text in any other encoding is converted where it crosses the program's edge, and
// only there:
//   - archive names are bytes of a single-byte Windows code page (CodePage below); the
//     archive format converts them as it reads or writes a record;
//   - the Win32 wide ("W") functions take UTF-16: Utf8ToUtf16 and Utf16ToUtf8, wrapped
//     for wchar_t in platform/win32/WinText.h;
//   - the few ANSI ("A") calls that remain take the system's ANSI code page: AnsiToUtf8
//     and Utf8ToAnsi in platform/win32/WinText.h, at the call;
//   - POSIX file names are taken as the bytes the file system reports, which are UTF-8
//     on the systems this is built for.
// Bytes that are not valid UTF-8 read as U+FFFD, one per broken sequence; no converter
// raises.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvr {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point that starts at `position`, which then moves past it. A broken
// sequence yields U+FFFD and moves past its longest valid beginning (at least one byte).
char32_t NextCodePoint(std::string_view text, std::size_t& position);
std::u32string DecodeUtf8(std::string_view text);
void AppendUtf8(std::string& out, char32_t code);
bool IsValidUtf8(std::string_view text);
// Characters (code points) in UTF-8 text, as a user counts them.
std::size_t CharacterCount(std::string_view text);

// An unpaired surrogate becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// `value` as `digits` upper-case hex digits (the lowest ones), appended to `out`.
void AppendHex(std::string& out, std::uint32_t value, int digits);

// A single-byte Windows code page whose lower half is ASCII: every byte stands for one
// character. A byte the code page leaves undefined stands for the C1 control of the
// same value (0x81 for U+0081), as Windows converts it, so every byte string reads.
class CodePage {
 public:
  using UpperHalf = std::array<char32_t, 128>;  // the characters of bytes 0x80 to 0xFF

  // Windows-1252, from the table in this unit.
  static const CodePage& Windows1252();
  // The code page `number`: 1252 from the table, others as the system converts them.
  // Empty for a number that is no single-byte code page with ASCII in its lower half.
  static std::optional<CodePage> ForNumber(unsigned number);

  unsigned Number() const { return number_; }
  std::string ToUtf8(std::string_view bytes) const;
  // False when `text` is not valid UTF-8 or holds a character the code page has no
  // byte for; `bytes` is then incomplete.
  bool FromUtf8(std::string_view text, std::string& bytes) const;

 private:
  CodePage(unsigned number, const UpperHalf& upper) : number_(number), upper_(upper) {}

  unsigned number_;
  UpperHalf upper_;
};

// The upper half of a single-byte code page as the system converts it (platform part);
// undefined bytes as their C1 controls. False when the system does not know `number`
// as a single-byte code page with ASCII in its lower half.
bool LoadSystemCodePage(unsigned number, CodePage::UpperHalf& upper);

}  // namespace qvr
