// Pieces the POSIX backend's file system and folders share: the held descriptor, the
// thread's last failure, and an open regular file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>

#include "platform/FileSystem.h"

namespace qvr::posix {

// A held open file description. Move-only; closing it also releases its flock.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes the held descriptor, if any (errno survives), and takes `fd`.
  void Reset(int fd = -1);

 private:
  int fd_;
};

// The last failure of this thread's file operations: an errno, or the reason the layer
// answered no itself (one of the reason:: texts).
void Remember(int error);
void RememberErrno();
void RememberReason(const char* reason);
std::string LastErrorText();

// Attribute bits in the Windows manner for what lstat or fstat reported.
std::uint32_t AttributesOf(mode_t mode);

// Opens the regular file `name` relative to the folder `dirFd` (or a path with AT_FDCWD)
// without blocking (a FIFO would hang the caller), without following a link standing
// there, and insists on a regular file. Returns 0 or the errno.
int OpenRegularAt(int dirFd, const char* name, int flags, mode_t mode, UniqueFd& fd);
// flock without waiting; a lock held by another open file maps to EBUSY, the
// counterpart of a Windows sharing violation. File systems without locks are usable
// unprotected. Returns 0 or the errno.
int Lock(const UniqueFd& fd, int operation);

// An open regular file.
class PosixOpenFile final : public OpenFile {
 public:
  explicit PosixOpenFile(UniqueFd fd) : fd_(std::move(fd)) {}
  bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) override;
  bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) override;
  bool Size(std::uint64_t& size) override;

 private:
  UniqueFd fd_;
};

}  // namespace qvr::posix
