// The file-system layer on Windows: the wide file functions, with the program's UTF-8
// names converted at each call, so that any name Windows can hold works, whatever the
// system's ANSI code page. Paths are looked up here; everything below a folder is
// reached through a Win32Folder.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace qvr {

// The absolute form of a path, as the system resolves it against the current folder;
// empty when it cannot.
std::string FullPath(const std::string& path);

// The path the system resolved for an open handle ("\\?\C:\..."), every link on the way
// followed; empty when it gives none.
std::wstring FinalPath(HANDLE handle);

// What the layer reads of an open entry: its attributes and how many names it has.
struct EntryInformation {
  DWORD attributes = 0;
  DWORD links = 0;
};
// Reads it from the handle, remembering no failure. Not with GetFileInformationByHandle,
// which also asks the volume for its serial number: under Wine that is a request to the
// mount manager in another process, about 400 us a call against 2 us for these two.
bool QueryEntryInformation(HANDLE entry, EntryInformation& info);

// Whether two names or paths name the same entry: the file system ignores case.
bool SamePath(std::wstring_view a, std::wstring_view b);

class Win32FileSystem final : public FileSystem {
 public:
  char Delimiter() const override { return '\\'; }
  bool SameName(std::string_view a, std::string_view b) const override;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;

  std::unique_ptr<Folder> OpenFolder(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenShared(const std::string& path) override;

  std::string LastErrorText() const override;
};

}  // namespace qvr
