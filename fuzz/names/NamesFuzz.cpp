// libFuzzer target for the name rules: any input is an entry name in UTF-8 (after one
// byte that picks the rules and a level). A name the rules accept for the archive must
// be one plain entry of a folder, checked here against an oracle of its own, and must
// come back unchanged through a record; cutting a path of such names keeps whole
// components only.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "MemoryFile.h"
#include "packer/ArchiveFormat.h"
#include "packer/ArchiveReader.h"
#include "platform/Text.h"

namespace {

using qvr::archive::NameRules;

// What Windows would map to a device, whatever the folder: the stem before the first
// dot, trailing blanks removed, in any case.
bool IsDevice(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  std::transform(stem.begin(), stem.end(), stem.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// Whether an accepted name could land outside its folder or somewhere else than it says,
// or would not fit its record (`bytes`: the name in the archive's code page).
bool Escapes(std::string_view name, std::string_view bytes, NameRules rules) {
  if (name.empty() || bytes.empty() || bytes.size() > qvr::archive::kMaxNameLength) return true;
  if (name == "." || name == "..") return true;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 32) return true;
    if (rules == NameRules::Windows &&
        std::string_view("<>\"|?*").find(c) != std::string_view::npos) {
      return true;
    }
  }
  return rules == NameRules::Windows &&
         (name.back() == '.' || name.back() == ' ' || IsDevice(name));
}

// The record of an accepted name reads back as the same entry.
void CheckRoundTrip(const std::string& name, const std::string& encoded, NameRules rules,
                    std::uint32_t level, bool folder) {
  std::string bytes;
  if (folder) {
    qvr::archive::FormatFolderRecord(bytes, encoded, level);
  } else {
    qvr::archive::FormatFileRecord(bytes, encoded, level, 0);
  }
  const std::size_t length = bytes.size();
  qvr::fuzz::MemoryFile archive("a.qvp", bytes, false);
  // An accepted name must read back.
  qvr::archive::ArchiveReader reader(archive, length, qvr::CodePage::Windows1252(), rules, '\\', "",
                                     "read");
  if (!reader.Next()) std::abort();
  const qvr::archive::Record& record = reader.Current();
  if (record.name != name || record.level != level || record.folder != folder) std::abort();
  // The record is all of the bytes.
  if (reader.Next() || reader.Failure()) std::abort();
}

// Cutting a path of `count` accepted names keeps the first `level` of them whole.
void CheckCut(const std::string& name, std::uint32_t count, std::uint32_t level) {
  std::string path;
  for (std::uint32_t i = 0; i < count; ++i) path += name + '\\';
  qvr::archive::CutPath(path, level, '\\');
  std::string expected;
  for (std::uint32_t i = 0; i < std::min(count, level); ++i) expected += name + '\\';
  if (path != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const std::string name(reinterpret_cast<const char*>(data) + 1, size - 1);
  const NameRules rules = (control & 1) != 0 ? NameRules::Windows : NameRules::Posix;
  const std::uint32_t level = 1 + (control >> 2) % qvr::archive::kMaxLevel;
  std::string encoded;
  if (!qvr::archive::EncodeName(name, qvr::CodePage::Windows1252(), rules, encoded).empty()) {
    return 0;
  }
  if (Escapes(name, encoded, rules)) std::abort();
  CheckRoundTrip(name, encoded, rules, level, (control & 2) != 0);
  CheckCut(name, (control >> 4) % 6, (control >> 1) % 8);
  return 0;
}
