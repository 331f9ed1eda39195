// Pieces the POSIX backend's file system and folders share: the held descriptor, the
// system's errors as values, what any held entry offers (its identity, owner and
// rights), and an open regular file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>

#include "platform/Folder.h"

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

// The system's error `error` (an errno) of `operation` on `path`.
FileError ErrorOf(const char* operation, std::string path, int error);

// Attribute bits in the Windows manner for what lstat or fstat reported.
std::uint32_t AttributesOf(mode_t mode);

// What every held entry offers, through its descriptor.
Result<EntryInfo> InfoOf(int fd, const std::string& path);
Result<Owner> OwnerOf(int fd, const std::string& path);
Result<void> SetRightsOf(int fd, const std::string& path, Rights rights, Grant grant);

// Opens the regular file `name` relative to the folder `dirFd` (or a path with AT_FDCWD)
// without blocking (a FIFO would hang the caller), without following a link standing
// there, and insists on a regular file, whose mode it gives in `opened`. Returns 0 or the
// errno; ENXIO stands for an entry that is no regular file.
int OpenRegularAt(int dirFd, const char* name, int flags, mode_t mode, UniqueFd& fd,
                  mode_t* opened = nullptr);
// flock without waiting; a lock held by another open file maps to EBUSY, the
// counterpart of a Windows sharing violation. File systems without locks are usable
// unprotected. Returns 0 or the errno.
int Lock(const UniqueFd& fd, int operation);

// An open file, held by its descriptor.
class PosixOpenFile final : public OpenFile {
 public:
  PosixOpenFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  const std::string& Path() const override { return path_; }
  Result<EntryInfo> Info() override { return InfoOf(fd_.Get(), path_); }
  Result<Owner> ReadOwner() override { return OwnerOf(fd_.Get(), path_); }
  Result<void> SetRights(Rights rights, Grant grant) override {
    return SetRightsOf(fd_.Get(), path_, rights, grant);
  }
  Result<std::uint32_t> Read(void* buffer, std::uint32_t count) override;
  Result<void> Write(const void* buffer, std::uint32_t count) override;
  Result<void> Seek(std::uint64_t offset) override;
  Result<std::uint64_t> Size() override;

 private:
  UniqueFd fd_;
  std::string path_;
};

}  // namespace qvr::posix
