// A FileSystem decorator for tests: passes every call on to a real file system,
// counts the calls per operation and makes chosen calls fail, so that the error
// paths of the packer and the setup can be driven without a broken disk.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace qvr::test {

class FaultyFileSystem final : public FileSystem {
 public:
  enum class Op {
    FindFirst,
    FindNext,
    FileExists,
    DirectoryExists,
    CreateDirectory,
    ForceDirectories,
    CreateExclusive,
    OpenShared,
    Read,
    Write,
    CopyFile,
    RestrictToAdministrators,
  };

  // `real` must outlive this object; searches and files opened through this
  // object must not outlive it.
  explicit FaultyFileSystem(FileSystem& real) : real_(real) {}

  // The nth call of `op` from now on (1 = the next one) fails. Read and Write
  // are counted across all open files. Several calls may be marked.
  void FailAt(Op op, int nth);
  // Every call of `op` whose path contains `substring` fails (for Read and Write
  // the path the file was opened with, for FindNext the search pattern, for
  // CopyFile either path).
  void FailFromPath(Op op, std::string substring);
  // The nth Read from now on returns at most `maxBytes` (possibly 0) and succeeds.
  void ShortReadAt(int nth, std::uint32_t maxBytes);
  // Calls of `op` since construction or the last Reset, failed ones included.
  int Calls(Op op) const;
  // Back to the state after construction: counters, planned faults and the log
  // of written paths are cleared.
  void Reset();
  // Every path passed to CreateDirectory, ForceDirectories, CreateExclusive and
  // as the destination of CopyFile, in call order, also when the call failed.
  const std::vector<std::string>& WrittenPaths() const { return writtenPaths_; }

  char Delimiter() const override { return real_.Delimiter(); }
  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             std::uint32_t attributeMask, DirEntry& first) override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  bool ForceDirectories(const std::string& path) override;
  std::unique_ptr<OpenFile> CreateExclusive(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenShared(const std::string& path) override;
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool RestrictToAdministrators(const std::string& folder) override;
  // After an injected fault a text that names the operation and the path.
  std::string LastErrorText() const override;

 private:
  friend class FaultySearch;
  friend class FaultyFile;

  static constexpr std::size_t kOps = static_cast<std::size_t>(Op::RestrictToAdministrators) + 1;

  // Counts the call and tells whether it is to fail; records the fault text.
  bool CountAndCheck(Op op, const std::string& path, const std::string& otherPath = {});
  // Remembers whether the last failure came from the real file system.
  template <typename T>
  T Real(T result) {
    if (!result) injectedLast_ = false;
    return result;
  }

  FileSystem& real_;
  std::array<int, kOps> calls_{};
  std::array<std::set<int>, kOps> failAt_{};
  std::array<std::vector<std::string>, kOps> failPaths_{};
  std::map<int, std::uint32_t> shortReads_;
  std::vector<std::string> writtenPaths_;
  bool injectedLast_ = false;
  std::string injectedText_;
};

}  // namespace qvr::test
