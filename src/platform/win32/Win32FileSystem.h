// The file-system layer on Windows: the wide file functions, with the program's UTF-8
// names converted at each call, so that any name Windows can hold works, whatever the
// system's ANSI code page.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace qvr {

// The absolute form of a path, as the system resolves it against the current folder;
// empty when it cannot.
std::string FullPath(const std::string& path);

class Win32FileSystem final : public FileSystem {
 public:
  char Delimiter() const override { return '\\'; }

  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             std::uint32_t attributeMask, DirEntry& first) override;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  bool ForceDirectories(const std::string& path) override;

  std::unique_ptr<OpenFile> CreateExclusive(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenShared(const std::string& path) override;

  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool RestrictToAdministrators(const std::string& folder) override;

  std::string LastErrorText() const override;
};

}  // namespace qvr
