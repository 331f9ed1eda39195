// A FileSystem decorator for tests: passes every call on to a real file system (its
// folders and files included), counts and logs the calls, makes chosen calls fail and
// runs chosen actions just before a call, as a second process acting between two calls
// would, so that error paths and races can be driven without a broken disk.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace qvr::test {

class FaultyFileSystem final : public FileSystem {
 public:
  enum class Op {
    FileExists,
    DirectoryExists,
    OpenFolder,  // by path, and by name in a folder
    OpenShared,
    List,
    ListNext,
    Lookup,
    CreateFolder,
    Create,
    Open,
    Remove,
    SetRights,
    PassOnRights,
    Read,
    Write,
  };

  // `real` must outlive this object; folders, listings and files opened through this
  // object must not outlive it.
  explicit FaultyFileSystem(FileSystem& real) : real_(real) {}

  // The nth call of `op` from now on (1 = the next one) fails. Read and Write are counted
  // across all open files. Several calls may be marked.
  void FailAt(Op op, int nth);
  // Every call of `op` whose path contains `substring` fails. The path of a call in a
  // folder is the folder's path and the name; for Read, Write and ListNext it is the
  // path the file or listing was opened with.
  void FailFromPath(Op op, std::string substring);
  // The nth Read from now on returns at most `maxBytes` (possibly 0) and succeeds.
  void ShortReadAt(int nth, std::uint32_t maxBytes);
  // Listings report `size` for every entry named `name`, as a listing taken before the
  // file changed would.
  void ReportSize(std::string name, std::uint64_t size) { sizes_[std::move(name)] = size; }
  // Runs `action` just before the first call of `op` whose path contains `substring`.
  void ActBefore(Op op, std::string substring, std::function<void()> action);
  // Calls of `op` since construction or the last Reset, failed ones included.
  int Calls(Op op) const;
  // Every call but Read, Write and ListNext, in order, as "Op path", failed ones included.
  const std::vector<std::string>& Log() const { return log_; }
  // Back to the state after construction: counters, planned faults and actions, the log.
  void Reset();

  char Delimiter() const override { return real_.Delimiter(); }
  bool SameName(std::string_view a, std::string_view b) const override {
    return real_.SameName(a, b);
  }
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::unique_ptr<Folder> OpenFolder(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenShared(const std::string& path) override;
  // After an injected fault a text that names the operation and the path.
  std::string LastErrorText() const override;

 private:
  friend class FaultyFolder;
  friend class FaultySearch;
  friend class FaultyFile;

  static constexpr std::size_t kOps = static_cast<std::size_t>(Op::Write) + 1;

  // Counts and logs the call, runs its action and tells whether it is to fail.
  bool CountAndCheck(Op op, const std::string& path);
  // Remembers whether the last failure came from the real file system.
  template <typename T>
  T Real(T result) {
    if (!result) injectedLast_ = false;
    return result;
  }
  std::unique_ptr<Folder> Wrap(std::unique_ptr<Folder> folder);
  std::unique_ptr<OpenFile> Wrap(std::unique_ptr<OpenFile> file, std::string path);

  struct Action {
    Op op;
    std::string substring;
    std::function<void()> run;
  };

  FileSystem& real_;
  std::array<int, kOps> calls_{};
  std::array<std::set<int>, kOps> failAt_{};
  std::array<std::vector<std::string>, kOps> failPaths_{};
  std::map<int, std::uint32_t> shortReads_;
  std::map<std::string, std::uint64_t> sizes_;
  std::vector<Action> actions_;
  std::vector<std::string> log_;
  bool injectedLast_ = false;
  std::string injectedText_;
};

}  // namespace qvr::test
