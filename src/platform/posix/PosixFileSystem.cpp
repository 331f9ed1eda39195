#include "platform/posix/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/PosixFile.h"
#include "platform/posix/PosixFolder.h"

namespace qvr {
namespace posix {
namespace {

// Without trailing delimiters: "link/" would make the system follow the link.
std::string WithoutTrailingDelimiters(const std::string& path) {
  std::string result = path;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

}  // namespace

bool PosixFileSystem::FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PosixFileSystem::DirectoryExists(const std::string& path) {
  const std::string bare = WithoutTrailingDelimiters(path);
  struct stat st {};
  return !bare.empty() && ::lstat(bare.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Result<std::unique_ptr<Folder>> PosixFileSystem::OpenFolder(const std::string& path,
                                                            LinkAtPath link) {
  const std::string bare = WithoutTrailingDelimiters(path);
  if (bare.empty()) return ErrorOf("open the folder", path, ENOENT);
  if (link == LinkAtPath::Refused) return OpenFolderNamed(AT_FDCWD, bare, bare);
  UniqueFd fd(::open(bare.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return ErrorOf("open the folder", path, errno);
  return std::make_unique<PosixFolder>(std::move(fd), bare.back() == '/' ? bare : bare + '/');
}

Result<std::unique_ptr<OpenFile>> PosixFileSystem::OpenShared(const std::string& path) {
  // The file is input: a link to it is followed.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  int error = 0;
  if (!fd || ::fstat(fd.Get(), &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    error = ENXIO;
  } else if (const int flags = ::fcntl(fd.Get(), F_GETFL);
             flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error = errno;
  } else {
    error = Lock(fd, LOCK_SH);
  }
  if (error != 0) return ErrorOf("open", path, error);
  return std::make_unique<PosixOpenFile>(std::move(fd), path);
}

}  // namespace posix

FileSystem& SystemFileSystem() {
  static posix::PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace qvr
