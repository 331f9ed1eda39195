#include "platform/posix/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/PosixFile.h"
#include "platform/posix/PosixFolder.h"

namespace qvr {
namespace {

std::string WithoutTrailingDelimiters(const std::string& path) {
  std::string result = path;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

}  // namespace

bool PosixFileSystem::FileExists(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    posix::RememberErrno();
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    posix::RememberReason(reason::kFolderNotFile);
    return false;
  }
  return true;
}

bool PosixFileSystem::DirectoryExists(const std::string& path) {
  const std::string bare = WithoutTrailingDelimiters(path);
  struct stat st {};
  if (bare.empty() || ::lstat(bare.c_str(), &st) != 0) {
    posix::Remember(bare.empty() ? ENOENT : errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    posix::RememberReason(S_ISLNK(st.st_mode) ? reason::kLinkNotFollowed
                                              : reason::kFileNotFolder);
    return false;
  }
  return true;
}

std::unique_ptr<Folder> PosixFileSystem::OpenFolder(const std::string& path) {
  // Without trailing delimiters: "link/" would make the system follow the link.
  const std::string bare = WithoutTrailingDelimiters(path);
  if (bare.empty()) {
    posix::Remember(ENOENT);
    return nullptr;
  }
  return posix::PosixFolder::OpenAt(AT_FDCWD, bare, bare);
}

std::unique_ptr<OpenFile> PosixFileSystem::OpenShared(const std::string& path) {
  posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  int error = 0;
  if (!fd || ::fstat(fd.Get(), &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    error = EINVAL;
  } else if (const int flags = ::fcntl(fd.Get(), F_GETFL);
             flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error = errno;
  } else {
    error = posix::Lock(fd, LOCK_SH);
  }
  if (error != 0) {
    posix::Remember(error);
    return nullptr;
  }
  return std::make_unique<posix::PosixOpenFile>(std::move(fd));
}

std::string PosixFileSystem::LastErrorText() const {
  return posix::LastErrorText();
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace qvr
