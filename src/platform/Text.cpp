#include "platform/Text.h"

#include <algorithm>

namespace qvr {
namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// Windows-1252 from 0x80 to 0x9F; from 0xA0 on it is Latin-1. The five bytes it leaves
// undefined (81, 8D, 8F, 90, 9D) stand for their C1 controls, as Windows reads them.
constexpr std::array<char32_t, 32> kWindows1252From80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

CodePage::UpperHalf Windows1252UpperHalf() {
  CodePage::UpperHalf upper{};
  for (std::size_t i = 0; i < upper.size(); ++i) {
    upper[i] = i < kWindows1252From80.size() ? kWindows1252From80[i] : char32_t(0x80 + i);
  }
  return upper;
}

}  // namespace

char32_t NextCodePoint(std::string_view text, std::size_t& position) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(position++);
  if (lead < 0x80) return lead;
  // The allowed range of the second byte excludes overlong forms, surrogates and
  // code points above U+10FFFF; the later bytes are plain continuation bytes.
  int continuation = 0;
  char32_t code = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (InRange(lead, 0xC2, 0xDF)) {
    continuation = 1, code = lead & 0x1F;
  } else if (InRange(lead, 0xE0, 0xEF)) {
    continuation = 2, code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (InRange(lead, 0xF0, 0xF4)) {
    continuation = 3, code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kReplacementCharacter;
  }
  for (int k = 0; k < continuation; ++k) {
    if (position >= text.size() || !InRange(byte(position), low, high)) {
      return kReplacementCharacter;
    }
    code = (code << 6) | (byte(position++) & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return code;
}

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string codes;
  codes.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) codes.push_back(NextCodePoint(text, i));
  return codes;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacementCharacter;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    // U+FFFD written out (EF BF BD) is valid; a broken sequence yields it from fewer bytes.
    if (NextCodePoint(text, i) == kReplacementCharacter && i - start != 3) return false;
  }
  return true;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) NextCodePoint(text, i);
  return count;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = NextCodePoint(text, i);
    if (code >= 0x10000) {
      code -= 0x10000;
      wide.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      wide.push_back(static_cast<char16_t>(code));
    }
  }
  return wide;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    AppendUtf8(out, code);  // a lone surrogate comes out as U+FFFD
  }
  return out;
}

void AppendHex(std::string& out, std::uint32_t value, int digits) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out.push_back(kHexDigits[(value >> shift) & 0xF]);
  }
}

const CodePage& CodePage::Windows1252() {
  static const CodePage page(1252, Windows1252UpperHalf());
  return page;
}

std::optional<CodePage> CodePage::ForNumber(unsigned number) {
  if (number == 1252) return Windows1252();
  UpperHalf upper{};
  if (!LoadSystemCodePage(number, upper)) return std::nullopt;
  return CodePage(number, upper);
}

std::string CodePage::ToUtf8(std::string_view bytes) const {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte < 0x80 ? char32_t(byte) : upper_[byte - 0x80]);
  }
  return out;
}

bool CodePage::FromUtf8(std::string_view text, std::string& bytes) const {
  bytes.clear();
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    const char32_t code = NextCodePoint(text, i);
    if (code < 0x80) {
      bytes.push_back(static_cast<char>(code));
      continue;
    }
    if (code == kReplacementCharacter && i - start != 3) return false;
    const auto found = std::find(upper_.begin(), upper_.end(), code);
    if (found == upper_.end()) return false;
    bytes.push_back(static_cast<char>(0x80 + (found - upper_.begin())));
  }
  return true;
}

}  // namespace qvr
