// Writes an archive for the packer: the records, the files' data, and the accounting of
// what is done. Records, and files that fit beside them, are gathered in the transfer
// buffer and go out in one write once the next does not fit, instead of two small writes
// per file; larger files go out in whole chunks. A file's bytes count as done once they
// are written, and every chunk done is reported, a gathered one as well as one written
// alone.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "packer/PackerStatus.h"
#include "platform/Folder.h"

namespace qvr::archive {

class ArchiveWriter {
 public:
  // Writes to `archive` through `buffer`, adds every chunk done to `doneBytes` and then
  // calls `onChunk`.
  ArchiveWriter(OpenFile& archive, std::span<unsigned char> buffer, std::int64_t& doneBytes,
                std::function<void()> onChunk);

  // `name` is in the archive's code page; the caller has checked the format's limits.
  PackerOutcome AddFolder(std::string_view name, std::uint32_t level);
  // The file `source` with its record; `listedSize` is what the listing said. A file that
  // grew or shrank since fails with status 14, a failed read with 13, a failed write to
  // the archive with 11.
  PackerOutcome AddFile(OpenFile& source, std::string_view name, std::uint32_t level,
                        std::uint64_t listedSize);
  // Writes what is gathered. After a failure of a handler, `report` false writes it
  // without reporting it.
  PackerOutcome Flush(bool report = true);

 private:
  // Appends the record in recordText_, keeping `reserve` bytes free behind it.
  PackerOutcome AppendRecord(std::uint32_t reserve);
  PackerOutcome WriteOut(const unsigned char* data, std::uint32_t size);
  void Done(std::uint32_t size);

  OpenFile& archive_;
  std::span<unsigned char> buffer_;
  std::int64_t& doneBytes_;
  std::function<void()> onChunk_;
  std::string recordText_;
  std::uint32_t pending_ = 0;  // bytes gathered in the buffer
  // The file chunks among them, each reported as done once the write succeeded.
  std::vector<std::uint32_t> pendingChunks_;
};

}  // namespace qvr::archive
