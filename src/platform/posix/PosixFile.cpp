#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qvr::posix {
namespace {

FileReason ReasonOf(int error) {
  switch (error) {
    case ENOENT:
      return FileReason::NotFound;
    case ELOOP:
      return FileReason::IsLink;
    case ENOTDIR:
      return FileReason::NotFolder;
    case EISDIR:
      return FileReason::IsFolder;
    case ENXIO:
      return FileReason::NotFile;
    case EBUSY:
    case ETXTBSY:
      return FileReason::InUse;
    case EACCES:
    case EPERM:
      return FileReason::AccessDenied;
    case EEXIST:
    case ENOTEMPTY:
      return FileReason::Exists;
    case ENOSPC:
    case EDQUOT:
      return FileReason::NoSpace;
    default:
      return FileReason::Other;
  }
}

// Where the layer's words say more than the system's ("Too many levels of symbolic
// links" for a link that O_NOFOLLOW refused, "No such device or address" for a FIFO,
// and which of file and folder it is).
bool SaysMore(FileReason reason) {
  return reason == FileReason::IsLink || reason == FileReason::NotFile ||
         reason == FileReason::NotFolder || reason == FileReason::IsFolder;
}

// ACLs would let others in beside the mode bits; what an entry's own rights say is all.
bool RemoveAcls(int fd, bool folder) {
  const auto remove = [fd](const char* name) {
    return ::fremovexattr(fd, name) == 0 || errno == ENODATA || errno == ENOTSUP;
  };
  return remove("system.posix_acl_access") && (!folder || remove("system.posix_acl_default"));
}

}  // namespace

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) {
    const int saved = errno;
    ::close(fd_);
    errno = saved;
  }
  fd_ = fd;
}

FileError ErrorOf(const char* operation, std::string path, int error) {
  const FileReason reason = ReasonOf(error);
  return FileError{operation, std::move(path), reason,
                   SaysMore(reason) ? std::string() : std::generic_category().message(error)};
}

std::uint32_t AttributesOf(mode_t mode) {
  std::uint32_t attributes;
  if (S_ISLNK(mode)) {
    attributes = attr::kReparsePoint;
  } else if (S_ISDIR(mode)) {
    attributes = attr::kDirectory;
  } else if (S_ISREG(mode)) {
    attributes = attr::kArchive;
  } else {
    // Pipes, sockets and devices: nothing a caller can copy like a file.
    attributes = attr::kSystem;
  }
  if (!S_ISLNK(mode) && (mode & S_IWUSR) == 0) attributes |= attr::kReadOnly;
  return attributes;
}

Result<EntryInfo> InfoOf(int fd, const std::string& path) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ErrorOf("read the attributes of", path, errno);
  const EntryKind kind = S_ISDIR(st.st_mode)   ? EntryKind::Folder
                         : S_ISREG(st.st_mode) ? EntryKind::File
                                               : EntryKind::Other;
  return EntryInfo{kind,
                   static_cast<std::uint32_t>(st.st_nlink),
                   {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}};
}

Result<Owner> OwnerOf(int fd, const std::string& path) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ErrorOf("read the owner of", path, errno);
  // root stands for the administrators.
  if (st.st_uid == 0) return Owner::Administrators;
  return st.st_uid == ::geteuid() ? Owner::CurrentUser : Owner::OtherUser;
}

Result<void> SetRightsOf(int fd, const std::string& path, Rights rights, Grant grant) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ErrorOf("set the rights of", path, errno);
  const bool folder = S_ISDIR(st.st_mode);
  // Sticky where users keep data: everybody may add entries, only their owner may rename
  // or remove them, so what the program put there stays where it is. A file keeps its
  // execute bits; set-user and set-group bits go (taking ownership clears them too).
  mode_t mode;
  if (rights == Rights::UserData) {
    mode = folder ? 01777 : (st.st_mode & 0777) | 0666;
  } else {
    mode = folder ? 0755 : st.st_mode & 0755;
  }
  // The program's own user stands for the administrators.
  const bool takeOwnership = rights == Rights::Administrators || grant == Grant::Own;
  if ((takeOwnership && ::fchown(fd, ::geteuid(), ::getegid()) != 0) || ::fchmod(fd, mode) != 0 ||
      !RemoveAcls(fd, folder)) {
    return ErrorOf("set the rights of", path, errno);
  }
  return {};
}

int OpenRegularAt(int dirFd, const char* name, int flags, mode_t mode, UniqueFd& fd,
                  mode_t* opened) {
  fd = UniqueFd(::openat(dirFd, name, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
  if (!fd) return errno;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return ENXIO;
  if (opened != nullptr) *opened = st.st_mode;
  const int status = ::fcntl(fd.Get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) return errno;
  return 0;
}

int Lock(const UniqueFd& fd, int operation) {
  if (::flock(fd.Get(), operation | LOCK_NB) == 0) return 0;
  if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS) return 0;
  return errno == EWOULDBLOCK ? EBUSY : errno;
}

Result<std::uint32_t> PosixOpenFile::Read(void* buffer, std::uint32_t count) {
  std::uint32_t got = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (got < count) {
    const ssize_t n = ::read(fd_.Get(), bytes + got, count - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrorOf("read", path_, errno);
    }
    if (n == 0) break;
    got += static_cast<std::uint32_t>(n);
  }
  return got;
}

Result<void> PosixOpenFile::Write(const void* buffer, std::uint32_t count) {
  std::uint32_t written = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (written < count) {
    const ssize_t n = ::write(fd_.Get(), bytes + written, count - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrorOf("write", path_, errno);
    }
    written += static_cast<std::uint32_t>(n);
  }
  return {};
}

Result<void> PosixOpenFile::Seek(std::uint64_t offset) {
  if (::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return ErrorOf("seek in", path_, errno);
  }
  return {};
}

Result<std::uint64_t> PosixOpenFile::Size() {
  struct stat st {};
  if (::fstat(fd_.Get(), &st) != 0) return ErrorOf("read the size of", path_, errno);
  return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace qvr::posix
