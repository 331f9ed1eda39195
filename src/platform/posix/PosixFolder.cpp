#include "platform/posix/PosixFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qvr::posix {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// What stands at `name`, not followed; false when nothing does.
bool Stat(int dirFd, const std::string& name, struct stat& st) {
  return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Why `name` could not be opened as a folder: a link, a file, or the system's errno. With
// O_DIRECTORY and O_NOFOLLOW, Linux answers ENOTDIR for a link as for a file.
FileError NoFolder(int dirFd, const std::string& name, const std::string& path, int error) {
  struct stat st {};
  if ((error == ELOOP || error == ENOTDIR) && Stat(dirFd, name, st)) {
    return Refusal("open the folder", path,
                   S_ISLNK(st.st_mode) ? FileReason::IsLink : FileReason::NotFolder);
  }
  return ErrorOf("open the folder", path, error);
}

}  // namespace

Result<std::unique_ptr<Folder>> OpenFolderNamed(int dirFd, const std::string& name,
                                                std::string path) {
  UniqueFd fd(::openat(dirFd, name.c_str(), kFolderFlags));
  if (!fd) return NoFolder(dirFd, name, path, errno);
  if (path.empty() || path.back() != '/') path.push_back('/');
  return std::make_unique<PosixFolder>(std::move(fd), std::move(path));
}

mode_t PosixFolder::PassedOnMode(bool folder) {
  if (!passesOn_) {
    struct stat st {};
    // A sticky folder that everybody may write to is where users keep their data.
    const bool users = ::fstat(fd_.Get(), &st) == 0 && (st.st_mode & 01002) == 01002;
    passesOn_ = users ? Rights::UserData : Rights::Administrators;
  }
  if (folder) return passesOn_ == Rights::UserData ? 01777 : 0755;
  return passesOn_ == Rights::UserData ? 0666 : 0644;
}

Result<std::vector<DirEntry>> PosixFolder::ListAll() {
  // A description of its own: reading must not move the held one's position.
  const int listed = ::openat(fd_.Get(), ".", kFolderFlags);
  DIR* dir = listed < 0 ? nullptr : ::fdopendir(listed);
  if (dir == nullptr) {
    const FileError error = ErrorOf("list", path_, errno);
    if (listed >= 0) ::close(listed);
    return error;
  }
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* d = ::readdir(dir)) {
    names.emplace_back(d->d_name);
    errno = 0;
  }
  const int readError = errno;
  ::closedir(dir);
  if (readError != 0) return ErrorOf("list", path_, readError);
  // In byte order, so that what is built from a listing does not depend on the file
  // system's hashing.
  std::sort(names.begin(), names.end());
  std::vector<DirEntry> entries;
  entries.reserve(names.size());
  for (std::string& name : names) {
    struct stat st {};
    // An entry removed since it was read is simply no longer there.
    if (!Stat(fd_.Get(), name, st)) continue;
    entries.push_back({std::move(name),
                       S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0,
                       AttributesOf(st.st_mode)});
  }
  return entries;
}

Result<std::unique_ptr<Folder>> PosixFolder::OpenFolderAt(const std::string& name) {
  return OpenFolderNamed(fd_.Get(), name, PathOf(name));
}

Result<std::unique_ptr<Folder>> PosixFolder::CreateFolderAt(const std::string& name,
                                                            std::optional<Rights> rights) {
  // Nobody but the program's user can enter it until it has its rights.
  if (::mkdirat(fd_.Get(), name.c_str(), 0700) != 0) {
    return ErrorOf("create the folder", PathOf(name), errno);
  }
  Result<std::unique_ptr<Folder>> folder = OpenFolderAt(name);
  if (!folder) return folder;
  // Still the folder made here, not one somebody else put in its place meanwhile.
  struct stat st {};
  auto& created = static_cast<PosixFolder&>(**folder);
  if (::fstat(created.fd_.Get(), &st) != 0 || st.st_uid != ::geteuid() ||
      (st.st_mode & 07777) != 0700) {
    return Refusal("create the folder", PathOf(name), FileReason::Exists);
  }
  if (rights) {
    if (Result<void> set = created.SetRights(*rights, Grant::Own); !set) return set.TakeError();
  } else if (::fchmod(created.fd_.Get(), PassedOnMode(true)) != 0) {
    return ErrorOf("create the folder", PathOf(name), errno);
  }
  return folder;
}

Result<std::unique_ptr<OpenFile>> PosixFolder::OpenFileAt(const std::string& name, Access access) {
  UniqueFd fd;
  int error = OpenRegularAt(fd_.Get(), name.c_str(), O_RDONLY, 0, fd);
  // For its rights alone the file is not read: no lock keeps others from it.
  if (error == 0 && access == Access::Read) error = Lock(fd, LOCK_SH);
  if (error != 0) return ErrorOf("open", PathOf(name), error);
  return std::make_unique<PosixOpenFile>(std::move(fd), PathOf(name));
}

Result<std::unique_ptr<OpenFile>> PosixFolder::CreateFileAt(const std::string& name) {
  // O_EXCL: whatever stands there, a link leading nowhere included, fails the creation.
  UniqueFd fd;
  const mode_t mode = PassedOnMode(false);
  mode_t created = 0;
  int error = OpenRegularAt(fd_.Get(), name.c_str(), O_RDWR | O_CREAT | O_EXCL, mode, fd, &created);
  if (error == 0) error = Lock(fd, LOCK_EX);
  // Given again where the umask took some of it.
  if (error == 0 && (created & 07777) != mode && ::fchmod(fd.Get(), mode) != 0) error = errno;
  if (error != 0) return ErrorOf("create", PathOf(name), error);
  return std::make_unique<PosixOpenFile>(std::move(fd), PathOf(name));
}

Result<void> PosixFolder::RemoveAt(const std::string& name, bool folder) {
  // By name in its folder, which is held: a link swapped in is removed itself, or fails
  // where a folder is asked for; unlinkat never follows one.
  if (folder) {
    if (::unlinkat(fd_.Get(), name.c_str(), AT_REMOVEDIR) != 0) {
      return ErrorOf("remove the folder", PathOf(name), errno);
    }
    return {};
  }
  // A file that another handle holds keeps its data, as on Windows.
  UniqueFd held;
  int error = OpenRegularAt(fd_.Get(), name.c_str(), O_RDONLY, 0, held);
  if (error == 0) {
    error = Lock(held, LOCK_EX);
  } else if (error == ELOOP || error == ENXIO) {
    error = 0;  // a link or a pipe: nothing to hold
  }
  if (error == 0 && ::unlinkat(fd_.Get(), name.c_str(), 0) != 0) error = errno;
  if (error != 0) return ErrorOf("remove", PathOf(name), error);
  return {};
}

Result<void> PosixFolder::RenameAt(const std::string& name, Folder& to,
                                   const std::string& newName) {
  auto* target = dynamic_cast<PosixFolder*>(&to);
  if (target == nullptr) return ErrorOf("rename", PathOf(name), EXDEV);
  if (::renameat2(fd_.Get(), name.c_str(), target->fd_.Get(), newName.c_str(), RENAME_NOREPLACE) !=
      0) {
    return ErrorOf("rename", PathOf(name), errno);
  }
  return {};
}

}  // namespace qvr::posix
