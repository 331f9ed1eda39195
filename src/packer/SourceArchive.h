// The archive of an unpack, opened once and read through before anything is written: a
// missing, unopenable or damaged archive is known, with the status the run ends with,
// before a single folder or file has changed. The unpack then reads the same open file,
// never the path again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "packer/ArchiveFormat.h"
#include "packer/PackerStatus.h"
#include "platform/FileSystem.h"

namespace qvr {

class SourceArchive {
 public:
  // Status 5 where `path` names no file (a link to one counts).
  static PackerOutcome Find(FileSystem& fs, const std::string& path);
  // Status 10 where the archive cannot be opened, 11 or 14 where a record is damaged or
  // the archive ends inside one.
  static Result<SourceArchive, PackerFailure> Open(FileSystem& fs, const std::string& path,
                                                   const CodePage& codePage);

  OpenFile& File() { return *file_; }
  std::uint64_t Size() const { return size_; }
  // Whether the archive holds the folder that `names` lead to from its root's parent
  // (the root folder's own name first), as `fs` compares names.
  bool HoldsFolder(const std::vector<std::string_view>& names, const FileSystem& fs) const;

 private:
  SourceArchive(std::unique_ptr<OpenFile> file, std::uint64_t size,
                std::vector<std::string> folders)
      : file_(std::move(file)), size_(size), folders_(std::move(folders)) {}

  std::unique_ptr<OpenFile> file_;
  std::uint64_t size_;
  std::vector<std::string> folders_;  // each folder record's path, ending with the delimiter
};

}  // namespace qvr
