// A FileSystem for test fakes that change one or two operations: every call goes on to
// a real file system unless the fake overrides it.
#pragma once

#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace qvr::test {

class ForwardingFileSystem : public FileSystem {
 public:
  // `real` must outlive this object.
  explicit ForwardingFileSystem(FileSystem& real = SystemFileSystem()) : real_(real) {}

  char Delimiter() const override { return real_.Delimiter(); }
  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             std::uint32_t attributeMask,
                                             DirEntry& first) override {
    return real_.FindFirst(pattern, attributeMask, first);
  }
  bool FileExists(const std::string& path) override { return real_.FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return real_.DirectoryExists(path); }
  bool CreateDirectory(const std::string& path) override { return real_.CreateDirectory(path); }
  bool ForceDirectories(const std::string& path) override { return real_.ForceDirectories(path); }
  std::unique_ptr<OpenFile> CreateExclusive(const std::string& path) override {
    return real_.CreateExclusive(path);
  }
  std::unique_ptr<OpenFile> OpenShared(const std::string& path) override {
    return real_.OpenShared(path);
  }
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return real_.CopyFile(from, to, failIfExists);
  }
  bool RestrictToAdministrators(const std::string& folder) override {
    return real_.RestrictToAdministrators(folder);
  }
  std::string LastErrorText() const override { return real_.LastErrorText(); }

 protected:
  FileSystem& real_;
};

}  // namespace qvr::test
