// The file-system layer on Windows: the wide file functions, with the program's UTF-8
// names converted at each call, so that any name Windows can hold works, whatever the
// system's ANSI code page. Paths are looked up here; everything below a folder is
// reached through a Win32Folder.
#pragma once

#include <windows.h>

#include <string>

#include "platform/FileSystem.h"

namespace qvr {

// The absolute form of a path, as the system resolves it against the current folder;
// empty when it cannot.
std::string FullPath(const std::string& path);

// The path the system resolved for an open handle ("\\?\C:\..."), every link on the way
// followed; empty when it gives none.
std::wstring FinalPath(HANDLE handle);

class Win32FileSystem final : public FileSystem {
 public:
  char Delimiter() const override { return '\\'; }

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;

  std::unique_ptr<Folder> OpenFolder(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenShared(const std::string& path) override;

  std::string LastErrorText() const override;
};

}  // namespace qvr
