#include "platform/win32/Win32FileSystem.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/FileErrors.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Folder.h"
#include "platform/win32/Win32OpenFile.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// As a Win32Folder holds a folder: listed, reached through, and not renamed meanwhile.
constexpr DWORD kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

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

// A path the system writes into a buffer: `call(buffer, size)` answers its length, or
// the size it needs when the buffer is too small. Empty when the system gives none.
template <typename Call>
std::wstring SystemPath(Call call) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = call(path.data(), static_cast<DWORD>(path.size()));
  if (length >= path.size()) {
    path.resize(length);
    length = call(path.data(), length);
  }
  path.resize(length < path.size() ? length : 0);
  return path;
}

// An entry opened by its path, links on the way and at the end followed as the caller
// named them.
UniqueFileHandle OpenByPath(const std::string& path, DWORD access, DWORD share) {
  UniqueFileHandle handle(::CreateFileW(Utf8ToWide(path).c_str(), access, share, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) RememberLastError();
  return handle;
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
  std::string name;
};

// The long form of an existing path ("C:\PROGRA~1" becomes "C:\Program Files"): a final
// path names each entry by its long name. Empty when the system gives none.
std::wstring LongPath(const std::wstring& path) {
  return SystemPath([&path](wchar_t* buffer, DWORD size) {
    return ::GetLongPathNameW(path.c_str(), buffer, size);
  });
}

bool Locate(const std::string& path, Located& located) {
  std::wstring absolute = Utf8ToWide(FullPath(path));
  if (std::wstring longer = LongPath(absolute); !longer.empty()) absolute = std::move(longer);
  const std::string full = WithoutTrailingDelimiters(WideToUtf8(absolute));
  if (full.empty()) {
    RememberError(ERROR_INVALID_NAME);
    return false;
  }
  const std::size_t root = RootLength(full);
  if (full.size() <= root) {
    located.root = full;
    return true;
  }
  const std::size_t slash = full.find_last_of('\\');  // the system's form has no '/'
  // A relative open asks no access of the folder it starts from: without any, this handle
  // conflicts with nobody who holds the folder.
  located.folder = OpenByPath(full.substr(0, std::max(slash + 1, root)), SYNCHRONIZE, kShareAll);
  located.name = full.substr(slash + 1);
  return located.folder.Valid();
}

std::string WithDelimiter(std::string path) {
  if (path.empty() || !IsDelimiter(path.back())) path.push_back('\\');
  return path;
}

}  // namespace

std::string FullPath(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  return WideToUtf8(SystemPath([&wide](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
  }));
}

std::wstring FinalPath(HANDLE handle) {
  return SystemPath([handle](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(handle, buffer, size, 0);
  });
}

bool QueryEntryInformation(HANDLE entry, EntryInformation& info) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  FILE_STANDARD_INFO standard;
  if (!::GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(entry, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  info = {tag.FileAttributes, standard.NumberOfLinks};
  return true;
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool Win32FileSystem::SameName(std::string_view a, std::string_view b) const {
  return SamePath(Utf8ToWide(a), Utf8ToWide(b));
}

bool Win32FileSystem::FileExists(const std::string& path) {
  const UniqueFileHandle entry = OpenByPath(path, FILE_READ_ATTRIBUTES, kShareAll);
  EntryInformation info;
  if (!entry) return false;
  if (!QueryEntryInformation(entry.Get(), info)) {
    RememberLastError();
    return false;
  }
  if ((info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    RememberReason(reason::kFolderNotFile);
    return false;
  }
  return true;
}

bool Win32FileSystem::DirectoryExists(const std::string& path) {
  Located located;
  if (!Locate(path, located)) return false;
  if (!located.root.empty()) {
    return OpenByPath(WithDelimiter(located.root), FILE_READ_ATTRIBUTES, kShareAll).Valid();
  }
  return Win32Folder(std::move(located.folder), {}).HoldsPlainFolder(located.name);
}

std::unique_ptr<Folder> Win32FileSystem::OpenFolder(const std::string& path) {
  [[maybe_unused]] static const bool enabled = (EnableOwnershipPrivileges(), true);
  Located located;
  if (!Locate(path, located)) return nullptr;
  if (!located.root.empty()) {
    // A drive or share root is no link.
    UniqueFileHandle root =
        OpenByPath(WithDelimiter(located.root), kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!root) return nullptr;
    return std::make_unique<Win32Folder>(std::move(root), WithDelimiter(path));
  }
  return Win32Folder(std::move(located.folder), {})
      .OpenFolderShownAs(located.name, WithDelimiter(path));
}

std::unique_ptr<OpenFile> Win32FileSystem::OpenShared(const std::string& path) {
  UniqueFileHandle file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    RememberLastError();
    return nullptr;
  }
  return std::make_unique<Win32OpenFile>(std::move(file));
}

std::string Win32FileSystem::LastErrorText() const {
  return LastFileErrorText();
}

FileSystem& SystemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace qvr
