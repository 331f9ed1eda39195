// A held folder on POSIX systems: every entry is reached with the *at functions relative
// to the folder's descriptor, one name at a time, with O_NOFOLLOW, so no link standing
// anywhere below is ever followed.
#pragma once

#include <string>

#include "platform/FileSystem.h"
#include "platform/posix/PosixFile.h"

namespace qvr::posix {

class PosixFolder final : public Folder {
 public:
  // `fd` is an open folder; `path` names it for messages and ends with '/'.
  PosixFolder(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  // Opens `name` relative to `dirFd` as a plain folder, refusing a link or a file.
  static std::unique_ptr<PosixFolder> OpenAt(int dirFd, const std::string& name,
                                             std::string path);

  const std::string& Path() const override { return path_; }
  std::unique_ptr<DirectorySearch> List() override;
  EntryKind Lookup(std::string_view name) override;
  std::unique_ptr<Folder> OpenFolder(std::string_view name) override;
  std::unique_ptr<Folder> CreateFolder(std::string_view name,
                                       std::optional<Rights> rights) override;
  std::unique_ptr<OpenFile> Create(std::string_view name, IfExists ifExists) override;
  std::unique_ptr<OpenFile> Open(std::string_view name, Names names) override;
  bool Remove(std::string_view name) override;
  bool SetRights(Rights rights) override;
  bool PassOnRights(std::string_view name, Rights rights) override;

 private:
  UniqueFd fd_;
  std::string path_;
};

}  // namespace qvr::posix
