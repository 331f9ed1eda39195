// A held folder on POSIX systems: every entry is reached with the *at functions relative
// to the folder's descriptor, one name at a time, with O_NOFOLLOW, so no link standing
// anywhere below is ever followed.
#pragma once

#include <optional>
#include <string>

#include "platform/Folder.h"
#include "platform/posix/PosixFile.h"

namespace qvr::posix {

class PosixFolder final : public Folder {
 public:
  // `fd` is an open folder; `path` names it for messages and ends with '/'.
  PosixFolder(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  const std::string& Path() const override { return path_; }
  Result<EntryInfo> Info() override { return InfoOf(fd_.Get(), path_); }
  Result<Owner> ReadOwner() override { return OwnerOf(fd_.Get(), path_); }
  Result<void> SetRights(Rights rights, Grant grant) override {
    passesOn_.reset();
    return SetRightsOf(fd_.Get(), path_, rights, grant);
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
  // The mode of a new entry: what this folder passes on, whatever the umask.
  mode_t PassedOnMode(bool folder);

  UniqueFd fd_;
  std::string path_;
  std::optional<Rights> passesOn_;  // read from the folder's mode when first needed
};

// Opens `name` relative to `dirFd` (AT_FDCWD for a path) as a plain folder, refusing a
// link or a file, and shows it as `path`.
Result<std::unique_ptr<Folder>> OpenFolderNamed(int dirFd, const std::string& name,
                                                std::string path);

}  // namespace qvr::posix
