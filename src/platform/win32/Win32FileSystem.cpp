#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WinText.h"

// The interface's method names collide with the ANSI/wide selector macros.
#undef CopyFile
#undef CreateDirectory

namespace qvr {
namespace {

// GetLastError of the last failed operation of this thread, taken at the failing
// call before any clean-up can overwrite it.
thread_local DWORD t_lastError = ERROR_SUCCESS;

void RememberLastError() {
  t_lastError = ::GetLastError();
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

class Win32OpenFile final : public OpenFile {
 public:
  explicit Win32OpenFile(UniqueFileHandle handle) : handle_(std::move(handle)) {}

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

}  // namespace

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
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::DirectoryExists(const std::string& path) {
  const DWORD attributes = Attributes(WithoutTrailingDelimiters(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    RememberLastError();
    return false;
  }
  // A junction or folder link is not entered: it may lead out of the tree.
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
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
    t_lastError = ERROR_PATH_NOT_FOUND;
    return false;
  }
  const DWORD attributes = Attributes(bare);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
    t_lastError = ERROR_ALREADY_EXISTS;
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
  t_lastError = error;
  return false;
}

std::unique_ptr<OpenFile> Win32FileSystem::CreateExclusive(const std::string& path) {
  return Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
}

std::unique_ptr<OpenFile> Win32FileSystem::OpenShared(const std::string& path) {
  return Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

bool Win32FileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (!::CopyFileW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(), failIfExists ? TRUE : FALSE)) {
    RememberLastError();
    return false;
  }
  return true;
}

std::string Win32FileSystem::LastErrorText() const {
  wchar_t buffer[512];
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, t_lastError, 0, buffer, 512, nullptr);
  std::string text = WideToUtf8(std::wstring_view(buffer, length));
  while (!text.empty() &&
         (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) text = "Windows error " + std::to_string(t_lastError);
  return text;
}

FileSystem& SystemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace qvr
