// Walks an archive record by record for the unpacker and `qvrpack list`: each record's
// path below the archive's root, the size limit of a file record, and its data chunk by
// chunk, with the status and text of whatever fails.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "packer/ArchiveFormat.h"
#include "platform/FileSystem.h"

namespace qvr::archive {

// Why a walk stopped: the packer's status code, what was done, on which path, and the
// file system's text or the reason.
struct ReadFailure {
  std::int32_t status = 0;
  std::string operation;
  std::string path;
  std::string text;
};

class ArchiveReader {
 public:
  // `file` is the open archive at `archivePath`, its names in `codePage`. A failure of a
  // member names it as `memberRoot` (the destination folder, or "") plus its path, and
  // `verb` as the operation ("unpack", "list").
  ArchiveReader(FileSystem& fs, OpenFile& file, const CodePage& codePage, std::string archivePath,
                std::string memberRoot, const char* verb);

  // Reads the next record: true when there is one. False at the end of the archive or
  // when reading failed (Failed() tells). Raises EArchiveError for a malformed record.
  bool Next();
  const Record& Current() const { return record_; }
  // The current record's path below the archive's root (UTF-8): a folder's ends with the
  // delimiter, a file's ends with its name.
  const std::string& Path() const { return path_; }
  // How many folders below the archive's root the current record's path passes through:
  // for a folder record its own included.
  std::size_t Depth() const { return depth_; }

  // For a file record: false, with the failure kept, when its size is one the format
  // excludes (2 GiB or more).
  bool CheckSize();
  // Passes the current file's data to `sink` one chunk at a time through `buffer` (at
  // least one call, also for an empty file). False when the archive fails or ends early,
  // or when `sink` returns false, which keeps its own failure.
  bool CopyData(char* buffer, std::uint32_t bufferSize,
                const std::function<bool(const char* data, std::uint32_t size)>& sink);
  bool SkipData(char* buffer, std::uint32_t bufferSize);

  bool Failed() const { return failure_.status != 0; }
  const ReadFailure& Failure() const { return failure_; }

 private:
  bool Fail(std::int32_t status, const char* operation, std::string path, std::string text);

  FileSystem& fs_;
  OpenFile& file_;
  const CodePage& codePage_;
  std::string archivePath_;
  std::string memberRoot_;
  const char* verb_;
  NameRules rules_;
  char delimiter_;
  std::uint64_t offset_ = 0;
  Record record_;
  std::string folder_;  // the current folder's path, ending with the delimiter
  std::size_t depth_ = 0;  // the folders in folder_
  std::string path_;
  ReadFailure failure_;
};

}  // namespace qvr::archive
