#include "packer/ArchiveFormat.h"

#include <array>

namespace qvr::archive {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The names Windows maps to devices whatever the folder, also with an extension
// ("nul.txt") and with trailing blanks before it. `name` is UTF-8.
bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper;
  for (char c : stem) upper.push_back(UpperAscii(c));
  static constexpr std::array<std::string_view, 6> kFixed = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view d : kFixed) {
    if (upper == d) return true;
  }
  if (!upper.starts_with("COM") && !upper.starts_with("LPT")) return false;
  // Digits 0-9 and the superscripts one, two and three.
  const std::string_view number = std::string_view(upper).substr(3);
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\u00B9" ||
         number == "\u00B2" || number == "\u00B3";
}

}  // namespace

bool ParseHex(std::string_view digits, std::uint32_t& value) {
  if (digits.empty() || digits.size() > 8) return false;
  std::uint32_t v = 0;
  for (char c : digits) {
    const int d = HexValue(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<std::uint32_t>(d);
  }
  value = v;
  return true;
}

bool DecodeHeader(const char* header, RecordHeader& out) {
  std::uint32_t length = 0;
  std::uint32_t level = 0;
  if (!ParseHex(std::string_view(header, 2), length) ||
      !ParseHex(std::string_view(header + 2, 2), level)) {
    return false;
  }
  out.folder = length > 128;
  out.nameLength = length & 127;
  out.level = level;
  return true;
}

const char* NameProblem(std::string_view name, NameRules rules) {
  if (name.empty()) return "the name is empty";
  if (name == "." || name == "..") return "the name refers to a folder by a relative name";
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/') return "the name holds a path delimiter";
    if (c == ':') return "the name holds a colon";
    if (u < 32) return "the name holds a control character";
    if (rules == NameRules::Windows &&
        std::string_view("<>\"|?*").find(c) != std::string_view::npos) {
      return "the name holds a character that Windows does not allow";
    }
  }
  if (rules == NameRules::Windows) {
    if (name.back() == '.' || name.back() == ' ') return "the name ends with a dot or a space";
    if (IsDeviceName(name)) return "the name is a reserved device name";
  }
  return nullptr;
}

std::string EncodeName(std::string_view name, const CodePage& codePage, NameRules rules,
                       std::string& bytes) {
  if (!IsValidUtf8(name)) return "the name is not valid UTF-8";
  if (const char* problem = NameProblem(name, rules)) return problem;
  if (!codePage.FromUtf8(name, bytes)) {
    return "the name holds a character that the archive's code page " +
           std::to_string(codePage.Number()) + " cannot hold";
  }
  if (bytes.size() > kMaxNameLength) {
    return "the name is longer than 127 bytes in the archive's code page " +
           std::to_string(codePage.Number());
  }
  return {};
}

void CutPath(std::string& relativePath, std::uint32_t level, char delimiter) {
  std::size_t position = 0;
  for (std::uint32_t i = 0; i < level; ++i) {
    const std::size_t found = relativePath.find(delimiter, position);
    if (found == std::string::npos) break;
    position = found + 1;
  }
  relativePath.erase(position);
}

void FormatFolderRecord(std::string& out, std::string_view name, std::uint32_t level) {
  out.clear();
  AppendHex(out, static_cast<std::uint32_t>(name.size()) + 128, 2);
  AppendHex(out, level, 2);
  out.append(name);
}

void FormatFileRecord(std::string& out, std::string_view name, std::uint32_t level,
                      std::uint32_t size) {
  out.clear();
  AppendHex(out, static_cast<std::uint32_t>(name.size()), 2);
  AppendHex(out, level, 2);
  out.append(name);
  AppendHex(out, size, 8);
}

}  // namespace qvr::archive
