#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

namespace qvr {
namespace {

// errno of the last failed operation of this thread (errno itself is clobbered by
// the clean-up that follows a failure), or the reason this layer answered no itself.
thread_local int t_lastError = 0;
thread_local const char* t_lastReason = nullptr;

void Remember(int error) {
  t_lastError = error;
  t_lastReason = nullptr;
}
void RememberReason(const char* reason) {
  t_lastError = 0;
  t_lastReason = reason;
}
void RememberErrno() {
  Remember(errno);
}

// A held open file description. Closing it also releases its flock.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(); }

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  void Close() {
    if (fd_ >= 0) {
      const int saved = errno;
      ::close(fd_);
      errno = saved;
    }
    fd_ = -1;
  }
  int fd_;
};

std::uint32_t AttributesOf(const struct stat& st) {
  std::uint32_t attributes;
  if (S_ISLNK(st.st_mode)) {
    attributes = attr::kReparsePoint;
  } else if (S_ISDIR(st.st_mode)) {
    attributes = attr::kDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attributes = attr::kArchive;
  } else {
    // Pipes, sockets and devices: nothing a caller can copy like a file.
    attributes = attr::kSystem;
  }
  if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) attributes |= attr::kReadOnly;
  return attributes;
}

bool StatEntry(const std::string& path, std::string name, DirEntry& entry) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  entry.name = std::move(name);
  entry.attributes = AttributesOf(st);
  entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  return true;
}

// The search leaves out what the caller did not ask for, as the Windows runtime's
// search does: only these bits take part in the filter.
bool PassesMask(const DirEntry& entry, std::uint32_t mask) {
  constexpr std::uint32_t kFiltered =
      attr::kHidden | attr::kSystem | attr::kVolumeId | attr::kDirectory;
  return (entry.attributes & kFiltered & ~mask) == 0;
}

bool HasWildcard(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

bool WildcardMatch(const char* pattern, const char* name) {
  for (; *pattern != '\0'; ++pattern, ++name) {
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (*pattern == '\0') return true;
      for (; *name != '\0'; ++name) {
        if (WildcardMatch(pattern, name)) return true;
      }
      return false;
    }
    if (*name == '\0' || (*pattern != '?' && *pattern != *name)) return false;
  }
  return *name == '\0';
}

// "*.*" means every entry, also names without a dot.
bool MatchesPattern(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  return WildcardMatch(pattern.c_str(), name.c_str());
}

std::string WithoutTrailingDelimiters(const std::string& path) {
  std::string result = path;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

class ListedSearch final : public DirectorySearch {
 public:
  explicit ListedSearch(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}
  bool Next(DirEntry& entry) override {
    if (next_ >= entries_.size()) {
      Remember(ENOENT);
      return false;
    }
    entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<DirEntry> entries_;
  std::size_t next_ = 1;  // the first entry went out with FindFirst
};

// Lists `folder` (empty or ending with '/') like a Windows search: "." and ".."
// first, then the rest sorted by name so that the order does not depend on the
// file system's hashing.
bool ListFolder(const std::string& folder, const std::string& namePattern,
                std::vector<DirEntry>& entries) {
  const std::string opened = folder.empty() ? std::string(".") : folder;
  DIR* dir = ::opendir(opened.c_str());
  if (dir == nullptr) {
    RememberErrno();
    return false;
  }
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* d = ::readdir(dir)) {
    std::string name = d->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
    errno = 0;
  }
  const int readError = errno;
  ::closedir(dir);
  if (readError != 0) {
    Remember(readError);
    return false;
  }
  std::sort(names.begin(), names.end());
  names.insert(names.begin(), {".", ".."});

  for (std::string& name : names) {
    if (!MatchesPattern(namePattern, name)) continue;
    DirEntry entry;
    const std::string path = name == "." ? opened : folder + name;
    // An entry removed since readdir is simply no longer there.
    if (StatEntry(path, std::move(name), entry)) entries.push_back(std::move(entry));
  }
  return true;
}

std::unique_ptr<OpenFile> FailOpen(int error) {
  Remember(error);
  return nullptr;
}

class PosixOpenFile final : public OpenFile {
 public:
  explicit PosixOpenFile(Fd fd) : fd_(std::move(fd)) {}

  bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) override {
    got = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (got < count) {
      const ssize_t n = ::read(fd_.Get(), bytes + got, count - got);
      if (n < 0) {
        if (errno == EINTR) continue;
        RememberErrno();
        return false;
      }
      if (n == 0) break;
      got += static_cast<std::uint32_t>(n);
    }
    return true;
  }

  bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) override {
    written = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (written < count) {
      const ssize_t n = ::write(fd_.Get(), bytes + written, count - written);
      if (n < 0) {
        if (errno == EINTR) continue;
        RememberErrno();
        return false;
      }
      written += static_cast<std::uint32_t>(n);
    }
    return true;
  }

  bool Size(std::uint64_t& size) override {
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) {
      RememberErrno();
      return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
  }

 private:
  Fd fd_;
};

// Opens without blocking (a FIFO would otherwise hang the caller) and without
// following a final symbolic link, then insists on a regular file.
int OpenRegular(const std::string& path, int flags, mode_t mode, Fd& fd) {
  fd = Fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
  if (!fd) return errno;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  const int status = ::fcntl(fd.Get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) return errno;
  return 0;
}

// A lock held by another open file maps to "busy", the counterpart of a Windows
// sharing violation. A file system without lock support (some network and FUSE
// mounts) must still be usable: there the files are simply not protected.
int Lock(const Fd& fd, int operation) {
  if (::flock(fd.Get(), operation | LOCK_NB) == 0) return 0;
  if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS) return 0;
  return errno == EWOULDBLOCK ? EBUSY : errno;
}

// A new file at `path`, locked exclusively; any entry of that name, a link included,
// makes it fail, in one atomic step. Returns 0 or the errno.
int CreateNewLocked(const std::string& path, mode_t mode, Fd& fd) {
  if (const int error = OpenRegular(path, O_RDWR | O_CREAT | O_EXCL, mode, fd)) return error;
  return Lock(fd, LOCK_EX);
}

// A new file in place of whatever entry that is no folder stands at `path`, locked
// exclusively. The old name is removed rather than truncated, so a symbolic or hard
// link standing there is dropped, never written through; a file another handle holds
// is refused and keeps its data. Returns 0 or the errno.
int CreateReplacing(const std::string& path, mode_t mode, Fd& fd) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (S_ISREG(st.st_mode)) {
      Fd old;
      if (const int error = OpenRegular(path, O_RDONLY, 0, old)) return error;
      if (const int error = Lock(old, LOCK_EX)) return error;
    }
    if (::unlink(path.c_str()) != 0) return errno;
  } else if (errno != ENOENT) {
    return errno;
  }
  // A link planted after the removal fails the creation instead of being followed.
  return CreateNewLocked(path, mode, fd);
}

}  // namespace

std::unique_ptr<DirectorySearch> PosixFileSystem::FindFirst(const std::string& pattern,
                                                            std::uint32_t attributeMask,
                                                            DirEntry& first) {
  const std::size_t slash = pattern.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
  const std::string namePart = slash == std::string::npos ? pattern : pattern.substr(slash + 1);

  std::vector<DirEntry> found;
  if (HasWildcard(namePart)) {
    if (!ListFolder(folder, namePart, found)) return nullptr;
  } else {
    const std::string path = WithoutTrailingDelimiters(pattern);
    const std::size_t nameStart = path.rfind('/');
    DirEntry entry;
    if (!StatEntry(path, nameStart == std::string::npos ? path : path.substr(nameStart + 1),
                   entry)) {
      RememberErrno();
      return nullptr;
    }
    found.push_back(std::move(entry));
  }

  std::erase_if(found, [&](const DirEntry& e) { return !PassesMask(e, attributeMask); });
  if (found.empty()) {
    Remember(ENOENT);
    return nullptr;
  }
  first = found.front();
  return std::make_unique<ListedSearch>(std::move(found));
}

bool PosixFileSystem::FileExists(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    RememberErrno();
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    RememberReason(reason::kFolderNotFile);
    return false;
  }
  return true;
}

bool PosixFileSystem::DirectoryExists(const std::string& path) {
  const std::string bare = WithoutTrailingDelimiters(path);
  struct stat st {};
  if (bare.empty() || ::lstat(bare.c_str(), &st) != 0) {
    Remember(bare.empty() ? ENOENT : errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    RememberReason(S_ISLNK(st.st_mode) ? reason::kLinkNotFollowed : reason::kFileNotFolder);
    return false;
  }
  return true;
}

bool PosixFileSystem::CreateDirectory(const std::string& path) {
  const std::string bare = WithoutTrailingDelimiters(path);
  if (bare.empty()) {
    Remember(ENOENT);
    return false;
  }
  if (::mkdir(bare.c_str(), 0777) != 0) {
    RememberErrno();
    return false;
  }
  return true;
}

bool PosixFileSystem::ForceDirectories(const std::string& path) {
  const std::string bare = WithoutTrailingDelimiters(path);
  if (bare.empty()) {
    Remember(ENOENT);
    return false;
  }
  // Links among the parents are followed here, as the kernel follows them when it
  // creates the last level: a home folder that is a link must still work.
  struct stat st {};
  if (::stat(bare.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    Remember(EEXIST);
    return false;
  }
  const std::size_t slash = bare.rfind('/');
  if (slash != std::string::npos && slash > 0 && !ForceDirectories(bare.substr(0, slash))) {
    return false;
  }
  if (::mkdir(bare.c_str(), 0777) == 0) return true;
  const int error = errno;
  if (error == EEXIST && ::stat(bare.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  Remember(error);
  return false;
}

std::unique_ptr<OpenFile> PosixFileSystem::CreateExclusive(const std::string& path) {
  Fd fd;
  if (const int error = CreateReplacing(path, 0666, fd)) return FailOpen(error);
  return std::make_unique<PosixOpenFile>(std::move(fd));
}

std::unique_ptr<OpenFile> PosixFileSystem::OpenShared(const std::string& path) {
  Fd fd;
  if (const int error = OpenRegular(path, O_RDONLY, 0, fd)) return FailOpen(error);
  if (const int error = Lock(fd, LOCK_SH)) return FailOpen(error);
  return std::make_unique<PosixOpenFile>(std::move(fd));
}

bool PosixFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  Fd in;
  if (int error = OpenRegular(from, O_RDONLY, 0, in); error != 0 || (error = Lock(in, LOCK_SH))) {
    Remember(error);
    return false;
  }
  struct stat st {};
  if (::fstat(in.Get(), &st) != 0) {
    RememberErrno();
    return false;
  }
  // A second name may be a hard link planted to a file the copy must not spread.
  if (st.st_nlink != 1) {
    RememberReason(reason::kNotPlainFile);
    return false;
  }
  // "Fail if it exists" is the atomic creation alone: no window in which another
  // writer's file could be overwritten.
  Fd out;
  const mode_t mode = st.st_mode & 0777;
  if (const int error =
          failIfExists ? CreateNewLocked(to, mode, out) : CreateReplacing(to, mode, out)) {
    Remember(error);
    return false;
  }
  PosixOpenFile reader(std::move(in));
  PosixOpenFile writer(std::move(out));
  if (CopyContents(reader, writer)) return true;
  // Like the Windows copy, no half-copied destination is left behind.
  const int error = t_lastError;
  ::unlink(to.c_str());
  Remember(error);
  return false;
}

bool PosixFileSystem::RestrictToAdministrators(const std::string& folder) {
  if (!DirectoryExists(folder)) return false;
  // FTW_PHYS: a link is reported as itself and never followed.
  const int result = ::nftw(
      WithoutTrailingDelimiters(folder).c_str(),
      [](const char* path, const struct stat* st, int kind, FTW*) {
        if (kind == FTW_SL || kind == FTW_SLN) return 0;
        if (kind == FTW_DNR || kind == FTW_NS) return errno != 0 ? errno : EACCES;
        return ::chmod(path, st->st_mode & 07755) == 0 ? 0 : errno;
      },
      16, FTW_PHYS);
  if (result != 0) {
    Remember(result > 0 ? result : errno);
    return false;
  }
  return true;
}

std::string PosixFileSystem::LastErrorText() const {
  if (t_lastReason != nullptr) return t_lastReason;
  return std::generic_category().message(t_lastError);
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace qvr
