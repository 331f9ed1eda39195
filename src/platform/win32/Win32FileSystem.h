// The file-system layer on Windows: the wide file functions, with the program's UTF-8
// names converted at each call, so that any name Windows can hold works, whatever the
// system's ANSI code page. Paths are looked up here; everything below a folder is
// reached through a Win32Folder.
#pragma once

#include "platform/FileSystem.h"

namespace qvr::win32 {

class Win32FileSystem final : public FileSystem {
 public:
  char Delimiter() const override { return '\\'; }
  bool SameName(std::string_view a, std::string_view b) const override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  Result<std::unique_ptr<Folder>> OpenFolder(const std::string& path,
                                             LinkAtPath link = LinkAtPath::Refused) override;
  Result<std::unique_ptr<OpenFile>> OpenShared(const std::string& path) override;
};

}  // namespace qvr::win32
