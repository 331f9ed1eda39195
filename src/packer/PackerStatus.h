// The status codes that end every run of the packer: the code OnStatus reports (and
// qvrpack exits with), its German status text and the English line of qvrpack --help.
#pragma once

#include <cstdint>
#include <span>

#include "platform/FileError.h"

namespace qvr {
namespace status {

inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kNoPaths = 1;
inline constexpr std::int32_t kSourceNotFound = 2;
inline constexpr std::int32_t kArchiveNameMissing = 3;
inline constexpr std::int32_t kTargetNotFound = 4;
inline constexpr std::int32_t kArchiveNotFound = 5;
inline constexpr std::int32_t kFileAccess = 6;
inline constexpr std::int32_t kArchiveNotCreated = 10;
inline constexpr std::int32_t kArchiveIo = 11;
inline constexpr std::int32_t kFileNotOpened = 12;
inline constexpr std::int32_t kFileIo = 13;
inline constexpr std::int32_t kSizeMismatch = 14;
inline constexpr std::int32_t kUserAbort = 99;
// No status: a folder of the archive cannot be created, which Starten raises as an error.
inline constexpr std::int32_t kFolderNotCreated = -1;

}  // namespace status

// Why a run ends with a status other than 0: the status, and what went wrong where.
struct PackerFailure {
  std::int32_t status = 0;
  FileError error;
};

// A step of a run: done, or the failure that ends the run.
using PackerOutcome = Result<void, PackerFailure>;

inline PackerFailure WithStatus(std::int32_t status, FileError error) {
  return PackerFailure{status, std::move(error)};
}

struct PackerStatusEntry {
  std::int32_t code;
  const char* text;  // the German status text
  // The line of qvrpack --help, "\n" where it wraps; null for a code no run ends with.
  const char* help;
};

// Every status code, in ascending order.
std::span<const PackerStatusEntry> PackerStatuses();

}  // namespace qvr
