#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qvr::posix {
namespace {

// errno of the last failed operation of this thread (errno itself is clobbered by the
// clean-up that follows a failure), or the reason this layer answered no itself.
thread_local int t_lastError = 0;
thread_local const char* t_lastReason = nullptr;

}  // namespace

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) {
    const int saved = errno;
    ::close(fd_);
    errno = saved;
  }
  fd_ = fd;
}

void Remember(int error) {
  t_lastError = error;
  t_lastReason = nullptr;
}

void RememberErrno() {
  Remember(errno);
}

void RememberReason(const char* reason) {
  t_lastError = 0;
  t_lastReason = reason;
}

std::string LastErrorText() {
  if (t_lastReason != nullptr) return t_lastReason;
  return std::generic_category().message(t_lastError);
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

int OpenRegularAt(int dirFd, const char* name, int flags, mode_t mode, UniqueFd& fd) {
  fd = UniqueFd(::openat(dirFd, name, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
  if (!fd) return errno;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  const int status = ::fcntl(fd.Get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) return errno;
  return 0;
}

int Lock(const UniqueFd& fd, int operation) {
  if (::flock(fd.Get(), operation | LOCK_NB) == 0) return 0;
  if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS) return 0;
  return errno == EWOULDBLOCK ? EBUSY : errno;
}

bool PosixOpenFile::Read(void* buffer, std::uint32_t count, std::uint32_t& got) {
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

bool PosixOpenFile::Write(const void* buffer, std::uint32_t count, std::uint32_t& written) {
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

bool PosixOpenFile::Size(std::uint64_t& size) {
  struct stat st {};
  if (::fstat(fd_.Get(), &st) != 0) {
    RememberErrno();
    return false;
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

}  // namespace qvr::posix
