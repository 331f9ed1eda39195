// The archive's record encoding, shared by the unpacker, the packer and `qvrpack list`.
//
// An archive is a plain sequence of records. A folder record is two hex digits of the
// name length plus 128, two hex digits of the level and the name; a file record is two
// hex digits of the name length, two of the level, the name, eight hex digits of the
// size and then the file's bytes. The writer emits uppercase digits; the reader accepts
// both cases but nothing else (no blanks, signs or prefixes).
//
// Names in an archive are bytes of a single-byte Windows code page (1252 unless the
// maker chose another); inside the program they are UTF-8. Reading a record converts
// its name to UTF-8, and EncodeName converts a name for writing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace qvr {

namespace archive {

inline constexpr std::uint32_t kChunkSize = 0x80000;  // 524,288 bytes
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kSizeFieldSize = 8;
inline constexpr std::size_t kMaxNameLength = 127;
inline constexpr int kMaxLevel = 250;
inline constexpr std::int64_t kMaxFileSize = 0x7FFFFFFF;

// Which names a file system can hold safely: Windows adds its reserved characters,
// device names and the trailing dot or space that it would silently drop.
enum class NameRules { Posix, Windows };

inline NameRules RulesFor(const FileSystem& fs) {
  return fs.Delimiter() == '\\' ? NameRules::Windows : NameRules::Posix;
}

// An archive is made for a setup that unpacks it on Windows, whichever system packs it:
// the writer refuses every name that Windows' rules refuse.
inline constexpr NameRules kWriterRules = NameRules::Windows;

// Decodes exactly `digits.size()` hex digits (0-9, a-f, A-F). False on anything else.
bool ParseHex(std::string_view digits, std::uint32_t& value);

struct RecordHeader {
  bool folder = false;
  std::uint32_t level = 0;
  std::uint32_t nameLength = 0;
};

// Decodes the four header characters. False when they are not hex digits.
bool DecodeHeader(const char* header, RecordHeader& out);

// Why the UTF-8 `name` cannot be taken from an archive (or given to one) as one entry
// below a folder, or null when it can. The length limit is EncodeName's: it counts
// the archive's bytes.
const char* NameProblem(std::string_view name, NameRules rules);

// The archive's bytes for the UTF-8 `name` in `bytes`. Returns why the archive cannot
// hold the name (NameProblem, a character the code page has no byte for, more than 127
// bytes), or an empty text when it can.
std::string EncodeName(std::string_view name, const CodePage& codePage, NameRules rules,
                       std::string& bytes);

// Keeps the first `level` components of `relativePath` (each ending with `delimiter`).
void CutPath(std::string& relativePath, std::uint32_t level, char delimiter);

// Assemble a record header into `out` (replacing its content, reusing its capacity).
// `name` is in the archive's code page (EncodeName). The caller has checked the limits:
// name 1 to 127 bytes, level 1 to 250, size below 2 GiB.
void FormatFolderRecord(std::string& out, std::string_view name, std::uint32_t level);
void FormatFileRecord(std::string& out, std::string_view name, std::uint32_t level,
                      std::uint32_t size);

// A record as read up to its data.
struct Record {
  bool folder = false;
  std::uint32_t level = 0;
  std::string name;        // UTF-8
  std::uint32_t size = 0;  // file records only
};

}  // namespace archive
}  // namespace qvr
