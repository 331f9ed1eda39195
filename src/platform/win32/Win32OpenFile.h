// An open file of the Windows file-system layer, held by its handle.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/Folder.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Entry.h"
#include "platform/win32/Win32Security.h"

namespace qvr::win32 {

class Win32OpenFile final : public OpenFile {
 public:
  // `path` names the file for messages; `volume` is the serial number of its volume.
  Win32OpenFile(UniqueFileHandle handle, std::string path, std::uint64_t volume)
      : handle_(std::move(handle)), path_(std::move(path)), volume_(volume) {}

  const std::string& Path() const override { return path_; }
  Result<EntryInfo> Info() override { return InfoOf(handle_.Get(), path_, volume_); }
  Result<Owner> ReadOwner() override { return OwnerOf(handle_.Get(), path_); }
  Result<void> SetRights(Rights rights, Grant grant) override {
    return SetRightsOf(handle_.Get(), path_, rights, grant, false);
  }
  Result<std::uint32_t> Read(void* buffer, std::uint32_t count) override;
  Result<void> Write(const void* buffer, std::uint32_t count) override;
  Result<void> Seek(std::uint64_t offset) override;
  Result<std::uint64_t> Size() override;

 private:
  UniqueFileHandle handle_;
  std::string path_;
  std::uint64_t volume_;
};

}  // namespace qvr::win32
