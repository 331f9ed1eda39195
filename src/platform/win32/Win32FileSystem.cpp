#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/FileErrors.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Entry.h"
#include "platform/win32/Win32Folder.h"
#include "platform/win32/Win32OpenFile.h"
#include "platform/win32/Win32Paths.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace win32 {
namespace {

constexpr const char* kOpenFolder = "open the folder";

bool IsDelimiter(char c) {
  return c == '\\' || c == '/';
}

// Length of the part of a path that names a root: "C:\" (or "C:"), "\\srv\share\"
// (or without the final delimiter), a lone "\"; 0 for a relative path.
std::size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') {
    return path.size() >= 3 && IsDelimiter(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsDelimiter(path[0]) && IsDelimiter(path[1])) {
    const std::size_t server = path.find_first_of("\\/", 2);
    if (server == std::string::npos) return path.size();
    const std::size_t share = path.find_first_of("\\/", server + 1);
    return share == std::string::npos ? path.size() : share + 1;
  }
  return !path.empty() && IsDelimiter(path[0]) ? 1 : 0;
}

std::string WithoutTrailingDelimiters(const std::string& path) {
  std::string result = path;
  const std::size_t root = RootLength(path);
  while (result.size() > root && IsDelimiter(result.back())) result.pop_back();
  return result;
}

std::string WithDelimiter(std::string path) {
  if (path.empty() || !IsDelimiter(path.back())) path.push_back('\\');
  return path;
}

// An entry opened by its path, links on the way and at the end followed as the caller
// named them.
UniqueFileHandle OpenByPath(const std::string& path, DWORD access, DWORD share) {
  return UniqueFileHandle(::CreateFileW(Utf8ToWide(path).c_str(), access, share, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// An administrator holds these privileges but has them switched off. With them the file
// system lets an open with backup intent reach, and set owner and DACL of, entries whose
// owner shut the Administrators out. Best effort, once: without them such entries fail.
void EnableOwnershipPrivileges() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw)) return;
  const UniqueFileHandle token(raw);
  for (const char* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME}) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) {
      ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
  }
}

// A path taken apart into the folder above it, opened by path only to reach the entry
// relative to it, and the entry's name; a root has no folder above and an empty name.
struct Located {
  std::string root;  // the whole path where it is a root
  UniqueFileHandle folder;
  std::wstring name;
};

Result<Located> Locate(const char* operation, const std::string& path) {
  std::wstring absolute = Utf8ToWide(FullPath(path));
  // A final path names each entry by its long name.
  if (std::wstring longer = LongPath(absolute); !longer.empty()) absolute = std::move(longer);
  const std::string full = WithoutTrailingDelimiters(WideToUtf8(absolute));
  if (full.empty()) return ErrorOf(operation, path, ERROR_INVALID_NAME);
  Located located;
  const std::size_t root = RootLength(full);
  if (full.size() <= root) {
    located.root = full;
    return located;
  }
  const std::size_t slash = full.find_last_of('\\');  // the system's form has no '/'
  // A relative open asks no access of the folder it starts from: without any, this handle
  // conflicts with nobody who holds the folder.
  located.folder = OpenByPath(full.substr(0, std::max(slash + 1, root)), SYNCHRONIZE, kShareAll);
  if (!located.folder) return LastErrorOf(operation, path);
  located.name = Utf8ToWide(full.substr(slash + 1));
  return located;
}

// The folder at `path` opened for `access`, a link standing there followed like those on
// the way to it.
Result<UniqueFileHandle> OpenFollowingLink(const std::string& path, ACCESS_MASK access,
                                           ULONG share) {
  UniqueFileHandle folder = OpenByPath(path, access, share);
  if (!folder) return LastErrorOf(kOpenFolder, path);
  Result<EntryInformation> info = ReadInformation(folder.Get(), kOpenFolder, path);
  if (!info) return info.TakeError();
  if (!info->IsFolder()) return Refusal(kOpenFolder, path, FileReason::NotFolder);
  return folder;
}

// The folder at `path` opened for `access`: a root by its path, anything else relative
// to the folder above, refusing a link unless `link` says it is followed.
Result<UniqueFileHandle> OpenFolderByPath(const std::string& path, ACCESS_MASK access, ULONG share,
                                          LinkAtPath link) {
  if (link == LinkAtPath::Followed) return OpenFollowingLink(path, access, share);
  Result<Located> located = Locate(kOpenFolder, path);
  if (!located) return located.TakeError();
  if (located->root.empty()) {
    std::wstring finalPath;
    return OpenPlainFolder(located->folder.Get(), finalPath, located->name, access, share, path);
  }
  // A drive or share root is no link.
  UniqueFileHandle root = OpenByPath(WithDelimiter(located->root), access, share);
  if (!root) return LastErrorOf(kOpenFolder, path);
  return root;
}

}  // namespace

bool Win32FileSystem::SameName(std::string_view a, std::string_view b) const {
  return SamePath(Utf8ToWide(a), Utf8ToWide(b));
}

bool Win32FileSystem::FileExists(const std::string& path) {
  const UniqueFileHandle entry = OpenByPath(path, FILE_READ_ATTRIBUTES, kShareAll);
  if (!entry) return false;
  Result<EntryInformation> info = ReadInformation(entry.Get(), "read the attributes of", path);
  return info && !info->IsFolder();
}

bool Win32FileSystem::DirectoryExists(const std::string& path) {
  return static_cast<bool>(
      OpenFolderByPath(path, FILE_READ_ATTRIBUTES, kShareAll, LinkAtPath::Refused));
}

Result<std::unique_ptr<Folder>> Win32FileSystem::OpenFolder(const std::string& path,
                                                            LinkAtPath link) {
  [[maybe_unused]] static const bool enabled = (EnableOwnershipPrivileges(), true);
  Result<UniqueFileHandle> folder = OpenFolderByPath(path, kFolderAccess, kShareReadWrite, link);
  if (!folder) return folder.TakeError();
  const std::uint64_t volume = VolumeOf(folder->Get());
  return std::make_unique<Win32Folder>(folder.Take(), WithDelimiter(path), volume);
}

Result<std::unique_ptr<OpenFile>> Win32FileSystem::OpenShared(const std::string& path) {
  UniqueFileHandle file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, kShareReadWrite,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    FileError error = LastErrorOf("open", path);
    // Without backup semantics a folder answers "access denied".
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    if (error.reason == FileReason::AccessDenied && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Refusal("open", path, FileReason::IsFolder);
    }
    return error;
  }
  const std::uint64_t volume = VolumeOf(file.Get());
  return std::make_unique<Win32OpenFile>(std::move(file), path, volume);
}

}  // namespace win32

FileSystem& SystemFileSystem() {
  static win32::Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace qvr
