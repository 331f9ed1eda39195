#include "platform/win32/Win32FileSystem.h"

#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/SystemErrors.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WinText.h"

// The interface's method names collide with the ANSI/wide selector macros.
#undef CopyFile
#undef CreateDirectory

namespace qvr {
namespace {

// GetLastError of the last failed operation of this thread, taken at the failing
// call before any clean-up can overwrite it, or the reason this layer refused the
// operation itself when the system has no fitting text for it.
thread_local DWORD t_lastError = ERROR_SUCCESS;
thread_local const char* t_lastReason = nullptr;

void Remember(DWORD error) {
  t_lastError = error;
  t_lastReason = nullptr;
}
void RememberLastError() {
  Remember(::GetLastError());
}
void RememberReason(const char* reason) {
  t_lastError = ERROR_SUCCESS;
  t_lastReason = reason;
}

DWORD Attributes(const std::string& path) {
  return ::GetFileAttributesW(Utf8ToWide(path).c_str());
}

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

bool HasWildcard(const std::string& pattern) {
  const std::size_t nameStart = pattern.find_last_of("\\/:");
  return pattern.find_first_of("*?", nameStart == std::string::npos ? 0 : nameStart) !=
         std::string::npos;
}

// The Win32 search itself ignores the attribute mask; the runtime's search on top
// of it leaves out entries with hidden, system, volume or folder bits not asked for.
bool PassesMask(DWORD attributes, std::uint32_t mask) {
  constexpr std::uint32_t kFiltered =
      attr::kHidden | attr::kSystem | attr::kVolumeId | attr::kDirectory;
  return (attributes & kFiltered & ~mask) == 0;
}

// Advances the search to the next entry that passes the mask; false when there is none.
bool FindNextPassing(HANDLE handle, std::uint32_t mask, WIN32_FIND_DATAW& data) {
  do {
    if (!::FindNextFileW(handle, &data)) {
      RememberLastError();
      return false;
    }
  } while (!PassesMask(data.dwFileAttributes, mask));
  return true;
}

DirEntry ToEntry(const WIN32_FIND_DATAW& data) {
  DirEntry entry;
  entry.name = WideToUtf8(data.cFileName);
  entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.attributes = data.dwFileAttributes;
  return entry;
}

class Win32Search final : public DirectorySearch {
 public:
  Win32Search(UniqueFindHandle handle, std::uint32_t mask)
      : handle_(std::move(handle)), mask_(mask) {}

  bool Next(DirEntry& entry) override {
    WIN32_FIND_DATAW data;
    if (!FindNextPassing(handle_.Get(), mask_, data)) return false;
    entry = ToEntry(data);
    return true;
  }

 private:
  UniqueFindHandle handle_;
  std::uint32_t mask_;
};

// Marks an entry opened with DELETE access to be removed when its last handle closes.
bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

class Win32OpenFile final : public OpenFile {
 public:
  explicit Win32OpenFile(UniqueFileHandle handle) : handle_(std::move(handle)) {}

  // Removes the file when it is closed; it must have been opened with DELETE access.
  void DeleteOnClose() { MarkForDeletion(handle_.Get()); }

  bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) override {
    DWORD done = 0;
    const BOOL ok = ::ReadFile(handle_.Get(), buffer, count, &done, nullptr);
    got = done;
    if (!ok) RememberLastError();
    return ok != FALSE;
  }

  bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) override {
    DWORD done = 0;
    const BOOL ok = ::WriteFile(handle_.Get(), buffer, count, &done, nullptr);
    written = done;
    if (!ok) RememberLastError();
    return ok != FALSE;
  }

  bool Size(std::uint64_t& size) override {
    LARGE_INTEGER value;
    if (!::GetFileSizeEx(handle_.Get(), &value)) {
      RememberLastError();
      return false;
    }
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
  }

 private:
  UniqueFileHandle handle_;
};

std::unique_ptr<OpenFile> Open(const std::string& path, DWORD access, DWORD share,
                               DWORD disposition) {
  UniqueFileHandle handle(::CreateFileW(Utf8ToWide(path).c_str(), access, share, nullptr,
                                        disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    RememberLastError();
    return nullptr;
  }
  return std::make_unique<Win32OpenFile>(std::move(handle));
}

// A path the system writes into a buffer: `call(buffer, size)` answers its length, or
// the size it needs when the buffer is too small. Empty when the system gives none.
template <typename Call>
std::string SystemPath(Call call) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = call(path.data(), static_cast<DWORD>(path.size()));
  if (length >= path.size()) {
    path.resize(length);
    length = call(path.data(), length);
  }
  path.resize(length < path.size() ? length : 0);
  return WideToUtf8(path);
}

// The path the system resolved for an open handle, links among its folders followed.
std::string FinalPath(HANDLE handle) {
  return SystemPath([handle](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(handle, buffer, size, 0);
  });
}

bool SameName(const std::string& a, const std::string& b) {
  const std::wstring wa = Utf8ToWide(a);
  const std::wstring wb = Utf8ToWide(b);
  return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, wa.data(), static_cast<int>(wa.size()),
                          wb.data(), static_cast<int>(wb.size())) == CSTR_EQUAL;
}

// Whether `handle`, opened from `path`, is the entry of that name in its folder rather
// than what a link of that name leads to. Wine follows a POSIX symbolic link even when
// told to open the link itself, and removing through such a handle removes the target.
bool IsEntryAt(HANDLE handle, const std::string& path) {
  const std::string full = FullPath(path);
  const std::size_t slash = full.find_last_of('\\');
  if (slash == std::string::npos || slash + 1 == full.size()) return false;
  const std::string folderPath = full.substr(0, std::max(slash, RootLength(full) - 1) + 1);
  UniqueFileHandle folder(::CreateFileW(Utf8ToWide(folderPath).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
  if (!folder) return false;
  std::string expected = FinalPath(folder.Get());
  if (expected.empty()) return false;
  if (expected.back() != '\\') expected.push_back('\\');
  expected += full.substr(slash + 1);
  return SameName(FinalPath(handle), expected);
}

// A new file; an entry of that name, a link included, makes it fail.
UniqueFileHandle CreateNewFile(const std::string& path) {
  UniqueFileHandle handle(
      ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) RememberLastError();  // leaves GetLastError as it is
  return handle;
}

// Removes the file of that name, the link itself where it is a link. Opened without
// sharing, so a file that another handle holds is refused as the old replacing did.
bool RemoveFileEntry(const std::string& path) {
  UniqueFileHandle handle(::CreateFileW(Utf8ToWide(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) {
    RememberLastError();
    return false;
  }
  if (!IsEntryAt(handle.Get(), path)) {
    RememberReason(reason::kLinkNotRemovable);
    return false;
  }
  if (!MarkForDeletion(handle.Get())) {
    RememberLastError();
    return false;
  }
  return true;
}

// A new file in place of whatever file stands at `path`. Replacing is removing and
// creating anew, so a hard link or a file link standing there is dropped instead of
// written through, and the new file gets the rights its folder passes on, not those
// of whatever stood there.
UniqueFileHandle CreateReplacing(const std::string& path) {
  UniqueFileHandle handle = CreateNewFile(path);
  if (!handle && ::GetLastError() == ERROR_FILE_EXISTS) {
    if (!RemoveFileEntry(path)) return {};
    handle = CreateNewFile(path);
  }
  return handle;
}

// A file to copy from: a plain file with one name, the entry at that path itself and
// not what a link there leads to.
UniqueFileHandle OpenPlainFile(const std::string& path) {
  UniqueFileHandle handle(
      ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!handle || !::GetFileInformationByHandle(handle.Get(), &info)) {
    RememberLastError();
    return {};
  }
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      info.nNumberOfLinks != 1 || !IsEntryAt(handle.Get(), path)) {
    RememberReason(reason::kNotPlainFile);
    return {};
  }
  return handle;
}

// The program tree's rights: owned by Administrators; SYSTEM and Administrators full
// control, Users read and execute (0x1200A9); protected from what the folder above
// passes on, and passed on to everything inside.
constexpr char kProgramTreeSecurity[] =
    "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

struct LocalMemoryDeleter {
  void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};

// An administrator holds these rights but has them switched off: with them the owner
// and the ACL can be set also on an entry whose owner shut the Administrators out.
void EnableOwnershipPrivileges() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw)) return;
  const UniqueFileHandle token(raw);
  for (const char* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) {
      ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
  }
}

bool SetSecurity(const std::string& path, SECURITY_INFORMATION what, PSID owner, PACL dacl) {
  std::wstring wide = Utf8ToWide(path);
  const DWORD error =
      ::SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr);
  if (error != ERROR_SUCCESS) Remember(error);
  return error == ERROR_SUCCESS;
}

// Whether the entry at `path` is itself what opening it reaches: no link Wine follows.
bool IsOwnEntry(const std::string& path) {
  const UniqueFileHandle handle(
      ::CreateFileW(Utf8ToWide(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return handle && IsEntryAt(handle.Get(), path);
}

// Gives everything inside `folder` to `owner` with only the rights its folder passes on.
bool ResetContents(const std::string& folder, PSID owner, PACL empty) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle search(::FindFirstFileW(Utf8ToWide(folder + "\\*").c_str(), &data));
  if (!search) {
    RememberLastError();
    return false;
  }
  do {
    const std::string name = WideToUtf8(data.cFileName);
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    // A link is neither followed nor changed: what it leads to is not the program's.
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !IsOwnEntry(path)) continue;
    if (!SetSecurity(path,
                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                         UNPROTECTED_DACL_SECURITY_INFORMATION,
                     owner, empty)) {
      return false;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        !ResetContents(path, owner, empty)) {
      return false;
    }
  } while (::FindNextFileW(search.Get(), &data));
  if (::GetLastError() != ERROR_NO_MORE_FILES) {
    RememberLastError();
    return false;
  }
  return true;
}

}  // namespace

std::string FullPath(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  return SystemPath([&wide](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
  });
}

std::unique_ptr<DirectorySearch> Win32FileSystem::FindFirst(const std::string& pattern,
                                                            std::uint32_t attributeMask,
                                                            DirEntry& first) {
  const std::string searched = HasWildcard(pattern) ? pattern : WithoutTrailingDelimiters(pattern);
  WIN32_FIND_DATAW data;
  UniqueFindHandle handle(::FindFirstFileW(Utf8ToWide(searched).c_str(), &data));
  if (!handle) {
    RememberLastError();
    return nullptr;
  }
  if (!PassesMask(data.dwFileAttributes, attributeMask) &&
      !FindNextPassing(handle.Get(), attributeMask, data)) {
    return nullptr;
  }
  first = ToEntry(data);
  return std::make_unique<Win32Search>(std::move(handle), attributeMask);
}

bool Win32FileSystem::FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    RememberLastError();
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    RememberReason(reason::kFolderNotFile);
    return false;
  }
  return true;
}

bool Win32FileSystem::DirectoryExists(const std::string& path) {
  const DWORD attributes = Attributes(WithoutTrailingDelimiters(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    RememberLastError();
    return false;
  }
  // A junction or folder link is not entered: it may lead out of the tree.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    RememberReason(reason::kFileNotFolder);
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    RememberReason(reason::kLinkNotFollowed);
    return false;
  }
  return true;
}

bool Win32FileSystem::CreateDirectory(const std::string& path) {
  if (!::CreateDirectoryW(Utf8ToWide(WithoutTrailingDelimiters(path)).c_str(), nullptr)) {
    RememberLastError();
    return false;
  }
  return true;
}

bool Win32FileSystem::ForceDirectories(const std::string& path) {
  const std::string bare = WithoutTrailingDelimiters(path);
  if (bare.empty()) {
    Remember(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const DWORD attributes = Attributes(bare);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
    Remember(ERROR_ALREADY_EXISTS);
    return false;
  }
  // A drive root or a share that is not there cannot be created.
  const std::size_t root = RootLength(bare);
  if (bare.size() <= root) {
    RememberLastError();
    return false;
  }
  const std::size_t slash = bare.find_last_of("\\/");
  if (slash != std::string::npos && !ForceDirectories(bare.substr(0, std::max(slash, root)))) {
    return false;
  }
  if (::CreateDirectoryW(Utf8ToWide(bare).c_str(), nullptr)) return true;
  const DWORD error = ::GetLastError();
  const DWORD now = Attributes(bare);
  if (error == ERROR_ALREADY_EXISTS && now != INVALID_FILE_ATTRIBUTES &&
      (now & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return true;
  }
  Remember(error);
  return false;
}

std::unique_ptr<OpenFile> Win32FileSystem::CreateExclusive(const std::string& path) {
  UniqueFileHandle handle = CreateReplacing(path);
  if (!handle) return nullptr;
  return std::make_unique<Win32OpenFile>(std::move(handle));
}

std::unique_ptr<OpenFile> Win32FileSystem::OpenShared(const std::string& path) {
  return Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

bool Win32FileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  UniqueFileHandle source = OpenPlainFile(from);
  if (!source) return false;
  UniqueFileHandle target = failIfExists ? CreateNewFile(to) : CreateReplacing(to);
  if (!target) return false;
  Win32OpenFile reader(std::move(source));
  Win32OpenFile writer(std::move(target));
  if (CopyContents(reader, writer)) return true;
  // Like a failed system copy, no half-copied destination is left behind.
  writer.DeleteOnClose();
  return false;
}

bool Win32FileSystem::RestrictToAdministrators(const std::string& folder) {
  const std::string root = WithoutTrailingDelimiters(folder);
  if (!DirectoryExists(root)) return false;
  if (!IsOwnEntry(root)) {
    RememberReason(reason::kLinkNotFollowed);
    return false;
  }
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kProgramTreeSecurity, SDDL_REVISION_1,
                                                              &raw, nullptr)) {
    RememberLastError();
    return false;
  }
  const std::unique_ptr<void, LocalMemoryDeleter> descriptor(raw);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  ACL empty;
  if (!::GetSecurityDescriptorOwner(raw, &owner, &defaulted) ||
      !::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted) ||
      !::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) {
    RememberLastError();
    return false;
  }
  EnableOwnershipPrivileges();
  // The folder first: a user who owned it could otherwise give its rights back.
  return SetSecurity(root,
                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                         PROTECTED_DACL_SECURITY_INFORMATION,
                     owner, dacl) &&
         ResetContents(root, owner, &empty);
}

std::string Win32FileSystem::LastErrorText() const {
  if (t_lastReason != nullptr) return t_lastReason;
  return SystemErrorText(t_lastError);
}

FileSystem& SystemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace qvr
