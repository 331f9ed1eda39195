// A FileSystem decorator for tests: passes every primitive on to a real file system (its
// folders and files included), counts and logs the calls, makes chosen calls fail and
// runs chosen actions just before a call, as a second process acting between two calls
// would, so that error paths and races can be driven without a broken disk.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
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
    CreateFolder,
    Open,
    Create,
    Remove,
    Rename,
    ReadOwner,
    SetRights,
    Read,
    Write,
    Seek,
  };

  // `real` must outlive this object; folders and files opened through this object must
  // not outlive it.
  explicit FaultyFileSystem(FileSystem& real) : real_(real) {}

  // The nth call of `op` from now on (1 = the next one) fails for `reason`. Read, Write and
  // Seek are counted across all open files. Several calls may be marked.
  void FailAt(Op op, int nth, FileReason reason = FileReason::Other);
  // Every call of `op` whose path contains `substring` fails for `reason`. The path of a
  // call in a folder is the folder's path and the name; for Read, Write and Seek it is
  // the path of the file.
  void FailFromPath(Op op, std::string substring, FileReason reason = FileReason::Other);
  // The nth Read from now on returns at most `maxBytes` (possibly 0) and succeeds.
  void ShortReadAt(int nth, std::uint32_t maxBytes);
  // Listings report `size` for every entry named `name`, as a listing taken before the
  // file changed would.
  void ReportSize(std::string name, std::uint64_t size) { sizes_[std::move(name)] = size; }
  // ReadOwner answers `owner` for every entry whose path contains `substring`.
  void ReportOwner(std::string substring, Owner owner) { owners_[std::move(substring)] = owner; }
  // Runs `action` just before the first call of `op` whose path contains `substring`.
  void ActBefore(Op op, std::string substring, std::function<void()> action);
  // Calls of `op` since construction or the last Reset, failed ones included.
  int Calls(Op op) const;
  // Every call but Read, Write and Seek, in order, as "Op path", failed ones included.
  const std::vector<std::string>& Log() const { return log_; }
  // Back to the state after construction: counters, planned faults and actions, the log.
  void Reset();

  char Delimiter() const override { return real_.Delimiter(); }
  bool SameName(std::string_view a, std::string_view b) const override {
    return real_.SameName(a, b);
  }
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  Result<std::unique_ptr<Folder>> OpenFolder(const std::string& path,
                                             LinkAtPath link = LinkAtPath::Refused) override;
  Result<std::unique_ptr<OpenFile>> OpenShared(const std::string& path) override;

 private:
  template <class Real>
  friend class FaultyEntry;
  friend class FaultyFolder;
  friend class FaultyFile;

  static constexpr std::size_t kOps = static_cast<std::size_t>(Op::Seek) + 1;

  // Counts and logs the call and runs its action; the injected error where it is to fail.
  std::optional<FileError> Check(Op op, const std::string& path);
  // What a folder or file of the real file system answers through this one.
  Result<Owner> ReadOwner(Entry& real);
  Result<void> SetRights(Entry& real, Rights rights, Grant grant);
  Result<std::unique_ptr<Folder>> Wrap(Result<std::unique_ptr<Folder>> folder);
  Result<std::unique_ptr<OpenFile>> Wrap(Result<std::unique_ptr<OpenFile>> file);

  struct Action {
    Op op;
    std::string substring;
    std::function<void()> run;
  };

  FileSystem& real_;
  std::array<int, kOps> calls_{};
  std::array<std::map<int, FileReason>, kOps> failAt_{};
  std::array<std::vector<std::pair<std::string, FileReason>>, kOps> failPaths_{};
  std::map<int, std::uint32_t> shortReads_;
  std::map<std::string, std::uint64_t> sizes_;
  std::map<std::string, Owner> owners_;
  std::vector<Action> actions_;
  std::vector<std::string> log_;
};

}  // namespace qvr::test
