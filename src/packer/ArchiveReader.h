// Walks an archive record by record for the unpacker and `qvrpack list`: each record's
// path below the archive's root, the size limit of a file record, and its data chunk by
// chunk, with the status and the error of whatever fails. A malformed record (a field
// that is not hexadecimal, a name that is not one plain entry of a folder) fails with
// status 11 and FileReason::Damaged, the message naming the record's byte offset.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packer/ArchiveFormat.h"
#include "packer/PackerStatus.h"
#include "platform/Folder.h"

namespace qvr::archive {

class ArchiveReader {
 public:
  // `file` is the open archive of `size` bytes, read from its start, its names in
  // `codePage`. A failure of a member names it as `memberRoot` (the destination folder, or
  // "") plus its path, and `verb` as the operation ("unpack", "list").
  ArchiveReader(OpenFile& file, std::uint64_t size, const CodePage& codePage, NameRules rules,
                char delimiter, std::string memberRoot, const char* verb);

  // Reads every record to the end, skipping the data, and goes back to the start: the
  // failure an unpack would end with, found before anything is written. The path of
  // every folder record goes to `folders` where it is given.
  std::optional<PackerFailure> ReadThrough(std::vector<std::string>* folders = nullptr);

  // Reads the next record: true when there is one. False at the end of the archive or
  // when reading failed (Failure() tells).
  bool Next();
  const Record& Current() const { return record_; }
  // The current record's path below the archive's root (UTF-8): a folder's ends with the
  // delimiter, a file's ends with its name.
  const std::string& Path() const { return path_; }
  // How many folders below the archive's root the current record's path passes through:
  // for a folder record its own included.
  std::size_t Depth() const { return depth_; }

  // Passes the current file's data to `sink` one chunk at a time through `buffer` (at
  // least one call, also for an empty file). False when the archive fails or ends early,
  // or when `sink` fails, whose failure is kept.
  bool CopyData(char* buffer, std::uint32_t bufferSize,
                const std::function<PackerOutcome(const char* data, std::uint32_t size)>& sink);
  // Moves past the current file's data without reading it; false where the archive ends
  // before the data does.
  bool SkipData();

  const std::optional<PackerFailure>& Failure() const { return failure_; }

 private:
  bool Fail(std::int32_t status, FileError error);
  bool Fail(PackerFailure failure);
  bool Malformed(const std::string& what);
  bool ArchiveEnds(const char* where);
  // Reads until `count` bytes are in or the archive ends; how many came. Records are read
  // ahead in blocks, so that a small record costs no call of its own.
  Result<std::uint32_t> ReadFully(char* buffer, std::uint32_t count);
  // For a file record: false, with the failure kept, when its size is one the format
  // excludes (2 GiB or more).
  bool CheckSize();
  std::string MemberPath() const { return memberRoot_ + path_; }

  OpenFile& file_;
  std::uint64_t size_;
  const CodePage& codePage_;
  NameRules rules_;
  char delimiter_;
  std::string memberRoot_;
  const char* verb_;
  std::vector<char> ahead_ = std::vector<char>(64 * 1024);
  std::size_t aheadPos_ = 0;       // what of ahead_ is handed out
  std::size_t aheadEnd_ = 0;       // what of ahead_ holds bytes of the archive
  std::uint64_t offset_ = 0;       // of the next byte handed out
  std::uint64_t recordStart_ = 0;  // of the current record
  Record record_;
  std::string folder_;     // the current folder's path, ending with the delimiter
  std::size_t depth_ = 0;  // the folders in folder_
  std::string path_;
  std::optional<PackerFailure> failure_;
};

}  // namespace qvr::archive
