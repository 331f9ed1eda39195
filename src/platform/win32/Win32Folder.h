// A folder of the Windows file-system layer, held by its handle. Every entry inside is
// opened relative to that handle (NtCreateFile with the folder as root directory), one
// bare name at a time, never through a reparse point, and checked through the handle it
// was opened with. Wine takes a POSIX symbolic link for what it leads to even where a
// reparse point is asked for, and reports no reparse point for it; there only the
// opened handle's final path tells, so every entry opened is compared with the folder's
// final path and its own name, and refused where it is something else.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/win32/UniqueHandle.h"
// After windows.h, which UniqueHandle.h includes.
#include <winternl.h>

namespace qvr {

class Win32Folder final : public Folder {
 public:
  // Takes a folder handle opened for listing (FILE_LIST_DIRECTORY, FILE_TRAVERSE,
  // FILE_READ_ATTRIBUTES, SYNCHRONIZE) and shown as `path`, which ends with '\'.
  Win32Folder(UniqueFileHandle handle, std::string path);

  // OpenFolder and DirectoryExists for the file system, which names the new folder's
  // path itself.
  std::unique_ptr<Win32Folder> OpenFolderShownAs(std::string_view name, std::string path);
  bool HoldsPlainFolder(std::string_view name);

  const std::string& Path() const override { return path_; }
  std::unique_ptr<DirectorySearch> List() override;
  EntryKind Lookup(std::string_view name) override;
  std::unique_ptr<Folder> OpenFolder(std::string_view name) override;
  std::unique_ptr<Folder> CreateFolder(std::string_view name,
                                       std::optional<Rights> rights = std::nullopt) override;
  std::unique_ptr<OpenFile> Create(std::string_view name, IfExists ifExists) override;
  std::unique_ptr<OpenFile> Open(std::string_view name, Names names = Names::Any) override;
  bool Remove(std::string_view name) override;
  bool SetRights(Rights rights) override;
  bool PassOnRights(std::string_view name, Rights rights) override;

 private:
  struct Request;
  struct Listed;
  struct Inheritance;

  // `name` opened relative to the folder handle `folder` as `request` asks, never through
  // a reparse point.
  static NTSTATUS OpenRelative(HANDLE folder, std::wstring_view name, const Request& request,
                               UniqueFileHandle& entry);
  // The folder `folder` once more, with other access: the same folder, wherever it was
  // moved meanwhile.
  static UniqueFileHandle Reopen(HANDLE folder, ACCESS_MASK access, ULONG share);
  // `name` opened relative to this folder and made sure to be the entry itself. Where it
  // is what a link of that name leads to (Wine follows POSIX links), the handle is closed
  // again and STATUS_STOPPED_ON_SYMLINK answered.
  NTSTATUS OpenEntry(const std::wstring& name, const Request& request, UniqueFileHandle& entry);
  // Whether `entry` is this folder's entry `name` and not what a link of that name leads to.
  bool IsOwnEntry(HANDLE entry, const std::wstring& name);
  // Every entry of this folder, read at once.
  bool ReadEntries(std::vector<Listed>& entries);
  // Removes the file `name` that stands where a new file is to be created.
  bool RemoveForReplacing(const std::wstring& name);
  bool RemoveEntry(const std::wstring& name);
  bool RemoveContents();
  bool PassOnTo(const std::wstring& name, const Inheritance& inheritance);
  bool PassOnToContents(const Inheritance& inheritance);
  std::string PathOf(const std::wstring& name) const;

  UniqueFileHandle handle_;
  std::string path_;
  std::wstring finalPath_;  // read when first needed, again when an ancestor was renamed
};

}  // namespace qvr
