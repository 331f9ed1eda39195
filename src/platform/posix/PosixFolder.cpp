#include "platform/posix/PosixFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace qvr::posix {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// One name of an entry directly inside a folder: nothing a lookup could take elsewhere.
bool IsEntryName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

template <typename T>
T Refuse(int error, T result = {}) {
  Remember(error);
  return result;
}

// The names in the folder `fd` ("." and ".." left out), in byte order so that what
// is built from a listing does not depend on the file system's hashing.
bool ReadNames(int fd, std::vector<std::string>& names) {
  // A description of its own: reading must not move the held one's position.
  const int listed = ::openat(fd, ".", kFolderFlags);
  DIR* dir = listed < 0 ? nullptr : ::fdopendir(listed);
  if (dir == nullptr) {
    RememberErrno();
    if (listed >= 0) ::close(listed);
    return false;
  }
  errno = 0;
  while (const dirent* d = ::readdir(dir)) {
    std::string name = d->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
    errno = 0;
  }
  const int readError = errno;
  ::closedir(dir);
  if (readError != 0) return Refuse(readError, false);
  std::sort(names.begin(), names.end());
  return true;
}

class ListedSearch final : public DirectorySearch {
 public:
  explicit ListedSearch(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}
  bool Next(DirEntry& entry) override {
    if (next_ >= entries_.size()) return Refuse(ENOENT, false);
    entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<DirEntry> entries_;
  std::size_t next_ = 0;
};

bool Describe(int dirFd, const char* name, DirEntry& entry) {
  struct stat st {};
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  entry.name = name;
  entry.attributes = AttributesOf(st.st_mode);
  entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  return true;
}

// Why `name` could not be opened as a folder: a link, a file, or the system's errno.
void RememberWhyNoFolder(int dirFd, const char* name, int error) {
  struct stat st {};
  if ((error == ELOOP || error == ENOTDIR) &&
      ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    RememberReason(S_ISLNK(st.st_mode) ? reason::kLinkNotFollowed : reason::kFileNotFolder);
    return;
  }
  Remember(error);
}

// The program's own user stands for the administrators.
bool TakeOwnership(int fd) {
  return ::fchown(fd, ::geteuid(), ::getegid()) == 0;
}

// What a folder of `rights` passes on to an entry inside: write for the program's user
// alone, or for everybody where users keep their data.
bool PassOn(int fd, const struct stat& st, Rights rights) {
  if (rights == Rights::UserData) {
    return ::fchmod(fd, (st.st_mode & 0777) | (S_ISDIR(st.st_mode) ? 0777 : 0666)) == 0;
  }
  // Taking ownership first: it clears set-user and set-group bits, which stay cleared.
  return TakeOwnership(fd) && ::fchmod(fd, st.st_mode & 0755) == 0;
}

bool PassOnRightsIn(int fd, Rights rights);

// One entry inside a folder whose rights pass on. Only what is opened is changed: a
// link is never opened, and a file with a second name may be a file elsewhere.
bool PassOnRightsTo(int dirFd, const std::string& name, Rights rights) {
  struct stat listed {};
  if (::fstatat(dirFd, name.c_str(), &listed, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT || Refuse(errno, false);
  }
  if (!S_ISDIR(listed.st_mode) && !S_ISREG(listed.st_mode)) return true;
  const UniqueFd fd(::openat(dirFd, name.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (!fd) return errno == ELOOP || errno == ENOENT || Refuse(errno, false);
  if (::fstat(fd.Get(), &st) != 0) return Refuse(errno, false);
  // Swapped since it was looked at: the entry is not the one listed.
  if (st.st_ino != listed.st_ino || st.st_dev != listed.st_dev) return true;
  if (S_ISREG(st.st_mode) && st.st_nlink != 1) return true;
  if (!PassOn(fd.Get(), st, rights)) return Refuse(errno, false);
  return !S_ISDIR(st.st_mode) || PassOnRightsIn(fd.Get(), rights);
}

bool PassOnRightsIn(int fd, Rights rights) {
  std::vector<std::string> names;
  if (!ReadNames(fd, names)) return false;
  return std::all_of(names.begin(), names.end(),
                     [&](const std::string& name) { return PassOnRightsTo(fd, name, rights); });
}

bool RemoveIn(int dirFd, const std::string& name) {
  struct stat st {};
  if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT || Refuse(errno, false);
  }
  if (S_ISDIR(st.st_mode)) {
    const UniqueFd fd(::openat(dirFd, name.c_str(), kFolderFlags));
    std::vector<std::string> names;
    if (!fd) return Refuse(errno, false);
    if (!ReadNames(fd.Get(), names)) return false;
    for (const std::string& inner : names) {
      if (!RemoveIn(fd.Get(), inner)) return false;
    }
    // By name in its folder, which is held: a link swapped in now fails, as no folder.
    return ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0 || Refuse(errno, false);
  }
  // A link is removed itself: unlinkat never follows one.
  return ::unlinkat(dirFd, name.c_str(), 0) == 0 || Refuse(errno, false);
}

}  // namespace

std::unique_ptr<PosixFolder> PosixFolder::OpenAt(int dirFd, const std::string& name,
                                                 std::string path) {
  UniqueFd fd(::openat(dirFd, name.c_str(), kFolderFlags));
  if (!fd) {
    RememberWhyNoFolder(dirFd, name.c_str(), errno);
    return nullptr;
  }
  if (path.empty() || path.back() != '/') path.push_back('/');
  return std::make_unique<PosixFolder>(std::move(fd), std::move(path));
}

std::unique_ptr<DirectorySearch> PosixFolder::List() {
  std::vector<std::string> names;
  if (!ReadNames(fd_.Get(), names)) return nullptr;
  // "." and ".." first, as a Windows listing yields them.
  std::vector<DirEntry> entries{{".", 0, attr::kDirectory}, {"..", 0, attr::kDirectory}};
  for (const std::string& name : names) {
    DirEntry entry;
    // An entry removed since it was read is simply no longer there.
    if (Describe(fd_.Get(), name.c_str(), entry)) entries.push_back(std::move(entry));
  }
  return std::make_unique<ListedSearch>(std::move(entries));
}

EntryKind PosixFolder::Lookup(std::string_view name) {
  struct stat st {};
  if (!IsEntryName(name) ||
      ::fstatat(fd_.Get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return EntryKind::None;
  }
  if (S_ISLNK(st.st_mode)) return EntryKind::Link;
  if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
  return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

std::unique_ptr<Folder> PosixFolder::OpenFolder(std::string_view name) {
  if (!IsEntryName(name)) return Refuse<std::unique_ptr<Folder>>(EINVAL);
  const std::string entry(name);
  return OpenAt(fd_.Get(), entry, path_ + entry);
}

std::unique_ptr<Folder> PosixFolder::CreateFolder(std::string_view name,
                                                  std::optional<Rights> rights) {
  if (!IsEntryName(name)) return Refuse<std::unique_ptr<Folder>>(EINVAL);
  const std::string entry(name);
  // With rights of its own, nobody but the program's user can enter it until it has them.
  const bool created = ::mkdirat(fd_.Get(), entry.c_str(), rights ? 0700 : 0777) == 0;
  if (!created && errno != EEXIST) return Refuse<std::unique_ptr<Folder>>(errno);
  std::unique_ptr<PosixFolder> folder = OpenAt(fd_.Get(), entry, path_ + entry);
  if (folder && created && rights && !folder->SetRights(*rights)) return nullptr;
  return folder;
}

std::unique_ptr<OpenFile> PosixFolder::Create(std::string_view name, IfExists ifExists) {
  if (!IsEntryName(name)) return Refuse<std::unique_ptr<OpenFile>>(EINVAL);
  const std::string entry(name);
  struct stat st {};
  if (::fstatat(fd_.Get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (ifExists == IfExists::Fail) return Refuse<std::unique_ptr<OpenFile>>(EEXIST);
    if (S_ISDIR(st.st_mode)) return Refuse<std::unique_ptr<OpenFile>>(EISDIR);
    // The old name is removed rather than truncated, so a link standing there is dropped,
    // never written through; a file another handle holds keeps its data.
    if (S_ISREG(st.st_mode)) {
      UniqueFd old;
      if (int error = OpenRegularAt(fd_.Get(), entry.c_str(), O_RDONLY, 0, old);
          error != 0 || (error = Lock(old, LOCK_EX)) != 0) {
        return Refuse<std::unique_ptr<OpenFile>>(error);
      }
    }
    if (::unlinkat(fd_.Get(), entry.c_str(), 0) != 0) {
      return Refuse<std::unique_ptr<OpenFile>>(errno);
    }
  } else if (errno != ENOENT) {
    return Refuse<std::unique_ptr<OpenFile>>(errno);
  }
  // Whatever was planted since makes the creation fail instead of being followed.
  UniqueFd fd;
  if (int error = OpenRegularAt(fd_.Get(), entry.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666, fd);
      error != 0 || (error = Lock(fd, LOCK_EX)) != 0) {
    return Refuse<std::unique_ptr<OpenFile>>(error);
  }
  return std::make_unique<PosixOpenFile>(std::move(fd));
}

std::unique_ptr<OpenFile> PosixFolder::Open(std::string_view name, Names names) {
  if (!IsEntryName(name)) return Refuse<std::unique_ptr<OpenFile>>(EINVAL);
  const std::string entry(name);
  UniqueFd fd;
  if (const int error = OpenRegularAt(fd_.Get(), entry.c_str(), O_RDONLY, 0, fd)) {
    if (error != ELOOP) return Refuse<std::unique_ptr<OpenFile>>(error);
    RememberReason(names == Names::One ? reason::kNotPlainFile : reason::kLinkNotFollowed);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return Refuse<std::unique_ptr<OpenFile>>(errno);
  // A second name may be a hard link planted to a file elsewhere.
  if (names == Names::One && st.st_nlink != 1) {
    RememberReason(reason::kNotPlainFile);
    return nullptr;
  }
  if (const int error = Lock(fd, LOCK_SH)) return Refuse<std::unique_ptr<OpenFile>>(error);
  return std::make_unique<PosixOpenFile>(std::move(fd));
}

bool PosixFolder::Remove(std::string_view name) {
  if (!IsEntryName(name)) return Refuse(EINVAL, false);
  return RemoveIn(fd_.Get(), std::string(name));
}

bool PosixFolder::SetRights(Rights rights) {
  // Sticky where users keep data: everybody may add entries, only their owner may rename
  // or remove them, so what the program put there stays where it is.
  const mode_t mode = rights == Rights::UserData ? 01777 : 0755;
  if (!TakeOwnership(fd_.Get()) || ::fchmod(fd_.Get(), mode) != 0) return Refuse(errno, false);
  return true;
}

bool PosixFolder::PassOnRights(std::string_view name, Rights rights) {
  if (!IsEntryName(name)) return Refuse(EINVAL, false);
  return PassOnRightsTo(fd_.Get(), std::string(name), rights);
}

}  // namespace qvr::posix
