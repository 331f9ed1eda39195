// A folder of the Windows file-system layer, held by its handle, without delete sharing.
// Every entry inside is opened relative to that handle, one bare name at a time, never
// through a reparse point, and checked to be the entry itself (platform/win32/Win32Entry).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Folder.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Entry.h"
#include "platform/win32/Win32Security.h"

namespace qvr::win32 {

class Win32Folder final : public Folder {
 public:
  // Takes a folder handle opened with kFolderAccess and shown as `path`, which ends with
  // '\'; `volume` is the serial number of its volume.
  Win32Folder(UniqueFileHandle handle, std::string path, std::uint64_t volume)
      : handle_(std::move(handle)), path_(std::move(path)), volume_(volume) {}

  const std::string& Path() const override { return path_; }
  Result<EntryInfo> Info() override { return InfoOf(handle_.Get(), path_, volume_); }
  Result<Owner> ReadOwner() override { return OwnerOf(handle_.Get(), path_); }
  Result<void> SetRights(Rights rights, Grant grant) override {
    return SetRightsOf(handle_.Get(), path_, rights, grant, true);
  }

 protected:
  Result<std::vector<DirEntry>> ListAll() override;
  Result<std::unique_ptr<Folder>> OpenFolderAt(const std::string& name) override;
  Result<std::unique_ptr<Folder>> CreateFolderAt(const std::string& name,
                                                 std::optional<Rights> rights) override;
  Result<std::unique_ptr<OpenFile>> OpenFileAt(const std::string& name, Access access) override;
  Result<std::unique_ptr<OpenFile>> CreateFileAt(const std::string& name) override;
  Result<void> RemoveAt(const std::string& name, bool folder) override;
  Result<void> RenameAt(const std::string& name, Folder& to, const std::string& newName) override;

 private:
  UniqueFileHandle handle_;
  std::string path_;
  std::uint64_t volume_;
  std::wstring finalPath_;  // read when first needed, again when a folder above was renamed
};

}  // namespace qvr::win32
