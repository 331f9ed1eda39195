// The archive of an unpack, opened once and read through before anything is written: a
// missing, unopenable or damaged archive is known, with the status the run ends with,
// before a single folder or file has changed. The unpack then reads the same open file,
// never the path again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

 private:
  SourceArchive(std::unique_ptr<OpenFile> file, std::uint64_t size)
      : file_(std::move(file)), size_(size) {}

  std::unique_ptr<OpenFile> file_;
  std::uint64_t size_;
};

}  // namespace qvr
