#include "packer/ArchiveWriter.h"

#include <algorithm>
#include <utility>

#include "packer/ArchiveFormat.h"

namespace qvr::archive {

ArchiveWriter::ArchiveWriter(OpenFile& archive, std::span<unsigned char> buffer,
                             std::int64_t& doneBytes, std::function<void()> onChunk)
    : archive_(archive), buffer_(buffer), doneBytes_(doneBytes), onChunk_(std::move(onChunk)) {}

void ArchiveWriter::Done(std::uint32_t size) {
  doneBytes_ += size;
  onChunk_();
}

PackerOutcome ArchiveWriter::WriteOut(const unsigned char* data, std::uint32_t size) {
  if (Result<void> written = archive_.Write(data, size); !written) {
    return WithStatus(status::kArchiveIo, written.TakeError());
  }
  return {};
}

PackerOutcome ArchiveWriter::Flush(bool report) {
  const std::uint32_t length = std::exchange(pending_, 0);
  std::vector<std::uint32_t> chunks = std::exchange(pendingChunks_, {});
  if (length == 0) return {};
  if (PackerOutcome written = WriteOut(buffer_.data(), length); !written) return written;
  // Also after a later file failed: these chunks were read before it and are written.
  if (report) {
    for (const std::uint32_t size : chunks) Done(size);
  }
  return {};
}

PackerOutcome ArchiveWriter::AppendRecord(std::uint32_t reserve) {
  const auto length = static_cast<std::uint32_t>(recordText_.size());
  if (pending_ + length + reserve > buffer_.size()) {
    if (PackerOutcome flushed = Flush(); !flushed) return flushed;
  }
  std::copy(recordText_.begin(), recordText_.end(), buffer_.begin() + pending_);
  pending_ += length;
  return {};
}

PackerOutcome ArchiveWriter::AddFolder(std::string_view name, std::uint32_t level) {
  FormatFolderRecord(recordText_, name, level);
  return AppendRecord(0);
}

PackerOutcome ArchiveWriter::AddFile(OpenFile& source, std::string_view name, std::uint32_t level,
                                     std::uint64_t listedSize) {
  const auto changed = [&source](const char* what) {
    return WithStatus(status::kSizeMismatch,
                      FileError{"pack", source.Path(), FileReason::Other, what});
  };
  FormatFileRecord(recordText_, name, level, static_cast<std::uint32_t>(listedSize));
  // A gathered file keeps at least one byte of room behind it, so that growth since the
  // listing always shows, also for an empty file that would fill the buffer exactly.
  const bool gather = recordText_.size() + listedSize < buffer_.size();
  if (PackerOutcome appended =
          AppendRecord(gather ? static_cast<std::uint32_t>(listedSize) + 1 : 0);
      !appended) {
    return appended;
  }
  if (!gather) {
    if (PackerOutcome flushed = Flush(); !flushed) return flushed;
  }
  std::uint64_t copied = 0;
  do {
    // A gathered file is read behind the pending records, asking for all the room left,
    // so that a file grown since it was listed shows as more than its size.
    const std::span<unsigned char> room = gather ? buffer_.subspan(pending_) : buffer_;
    Result<std::uint32_t> got = source.Read(room.data(), static_cast<std::uint32_t>(room.size()));
    if (!got) return WithStatus(status::kFileIo, got.TakeError());
    if (*got == 0 && copied < listedSize) {
      return changed("the file became shorter while it was packed");
    }
    copied += *got;
    if (gather) {
      pending_ += *got;
      pendingChunks_.push_back(*got);
      continue;
    }
    if (PackerOutcome written = WriteOut(room.data(), *got); !written) return written;
    Done(*got);
  } while (copied < listedSize);
  if (copied != listedSize) return changed("the file changed its size while it was packed");
  return {};
}

}  // namespace qvr::archive
