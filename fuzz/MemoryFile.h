// A file held in memory, for the fuzz targets: what the packer reads and writes goes to a
// string, and every way to change rights aborts, as a fuzzed run must never ask for one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Folder.h"

namespace qvr::fuzz {

class MemoryFile final : public OpenFile {
 public:
  // `data` outlives the file; a read-only file refuses every write.
  MemoryFile(std::string path, std::string& data, bool writable)
      : path_(std::move(path)), data_(data), writable_(writable) {}

  const std::string& Path() const override { return path_; }
  Result<EntryInfo> Info() override { return EntryInfo{EntryKind::File, 1, {}}; }
  Result<Owner> ReadOwner() override { return Owner::CurrentUser; }
  Result<void> SetRights(Rights, Grant) override { std::abort(); }
  Result<std::uint32_t> Read(void* buffer, std::uint32_t count) override {
    const auto got = static_cast<std::uint32_t>(
        std::min<std::size_t>(count, data_.size() - std::min(position_, data_.size())));
    data_.copy(static_cast<char*>(buffer), got, position_);
    position_ += got;
    return got;
  }
  Result<void> Write(const void* buffer, std::uint32_t count) override {
    if (!writable_) return Refusal("write", path_, FileReason::AccessDenied);
    data_.append(static_cast<const char*>(buffer), count);
    return {};
  }
  Result<void> Seek(std::uint64_t offset) override {
    position_ = offset;
    return {};
  }
  Result<std::uint64_t> Size() override { return static_cast<std::uint64_t>(data_.size()); }

 private:
  std::string path_;
  std::string& data_;
  bool writable_;
  std::size_t position_ = 0;
};

}  // namespace qvr::fuzz
