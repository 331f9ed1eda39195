// libFuzzer target for the unpacker: any input is an archive. It is unpacked on an
// in-memory file system that aborts when anything is written outside the destination,
// so a crash, a hang or an escape from the destination is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "MemoryFile.h"
#include "base/Exceptions.h"
#include "packer/QVRPacker.h"

namespace {

constexpr const char* kArchive = "/in/a.qvp";
constexpr const char* kDest = "/dest/";

// Every path the unpacker writes must lie below the destination, without "." or ".."
// components or empty ones.
void CheckInside(const std::string& path) {
  const std::string dest = kDest;
  if (path.compare(0, dest.size(), dest) != 0) std::abort();
  std::size_t start = dest.size();
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") std::abort();
    start = end + 1;
  }
}

std::string Bare(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

class MemoryFileSystem;

// A folder of the memory file system: it writes only below itself, by name.
class MemoryFolder final : public qvr::Folder {
 public:
  MemoryFolder(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  const std::string& Path() const override { return path_; }
  qvr::Result<qvr::EntryInfo> Info() override { return qvr::EntryInfo{qvr::EntryKind::Folder, 1, {}}; }
  qvr::Result<qvr::Owner> ReadOwner() override { return qvr::Owner::CurrentUser; }
  qvr::Result<void> SetRights(qvr::Rights, qvr::Grant) override { std::abort(); }

 protected:
  qvr::Result<std::vector<qvr::DirEntry>> ListAll() override { std::abort(); }
  qvr::Result<std::unique_ptr<qvr::Folder>> OpenFolderAt(const std::string& name) override;
  qvr::Result<std::unique_ptr<qvr::Folder>> CreateFolderAt(const std::string& name,
                                                           std::optional<qvr::Rights>) override;
  qvr::Result<std::unique_ptr<qvr::OpenFile>> OpenFileAt(const std::string&, qvr::Access) override {
    std::abort();
  }
  qvr::Result<std::unique_ptr<qvr::OpenFile>> CreateFileAt(const std::string& name) override;
  qvr::Result<void> RemoveAt(const std::string& name, bool folder) override;
  qvr::Result<void> RenameAt(const std::string&, qvr::Folder&, const std::string&) override {
    std::abort();
  }

 private:
  MemoryFileSystem& fs_;
  std::string path_;  // ends with '/'
};

class MemoryFileSystem final : public qvr::FileSystem {
 public:
  explicit MemoryFileSystem(std::string archive) {
    files_[kArchive] = std::move(archive);
    folders_ = {"/in", Bare(kDest)};
  }
  char Delimiter() const override { return '/'; }
  bool SameName(std::string_view a, std::string_view b) const override { return a == b; }
  bool FileExists(const std::string& path) override { return files_.count(path) != 0; }
  bool DirectoryExists(const std::string& path) override { return folders_.count(Bare(path)) != 0; }
  qvr::Result<std::unique_ptr<qvr::Folder>> OpenFolder(const std::string& path,
                                                       qvr::LinkAtPath) override {
    if (!folders_.count(Bare(path))) return Missing(path);
    return std::make_unique<MemoryFolder>(*this, Bare(path) + "/");
  }
  qvr::Result<std::unique_ptr<qvr::OpenFile>> OpenShared(const std::string& path) override {
    const auto it = files_.find(path);
    if (it == files_.end()) return Missing(path);
    return std::make_unique<qvr::fuzz::MemoryFile>(path, it->second, false);
  }
  static qvr::FileError Missing(const std::string& path) {
    return qvr::Refusal("open", path, qvr::FileReason::NotFound);
  }
  // What the unpack wrote: everything but the archive and the two folders there at first.
  bool Untouched() const { return files_.size() == 1 && folders_.size() == 2; }

  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
};

qvr::Result<std::unique_ptr<qvr::Folder>> MemoryFolder::OpenFolderAt(const std::string& name) {
  const std::string path = path_ + name;
  CheckInside(path);
  if (!fs_.folders_.count(path)) return MemoryFileSystem::Missing(path);
  return std::make_unique<MemoryFolder>(fs_, path + "/");
}

qvr::Result<std::unique_ptr<qvr::Folder>> MemoryFolder::CreateFolderAt(const std::string& name,
                                                                       std::optional<qvr::Rights>) {
  const std::string path = path_ + name;
  CheckInside(path);
  if (fs_.files_.count(path) || fs_.folders_.count(path)) {
    return qvr::Refusal("create the folder", path, qvr::FileReason::Exists);
  }
  fs_.folders_.insert(path);
  return std::make_unique<MemoryFolder>(fs_, path + "/");
}

qvr::Result<std::unique_ptr<qvr::OpenFile>> MemoryFolder::CreateFileAt(const std::string& name) {
  const std::string path = path_ + name;
  CheckInside(path);
  if (fs_.files_.count(path) || fs_.folders_.count(path)) {
    return qvr::Refusal("create", path, qvr::FileReason::Exists);
  }
  return std::make_unique<qvr::fuzz::MemoryFile>(path, fs_.files_[path], true);
}

qvr::Result<void> MemoryFolder::RemoveAt(const std::string& name, bool folder) {
  const std::string path = path_ + name;
  CheckInside(path);
  if (folder || fs_.folders_.count(path)) {
    return qvr::Refusal("remove", path, qvr::FileReason::IsFolder);
  }
  fs_.files_.erase(path);
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem fs(std::string(reinterpret_cast<const char*>(data), size));
  qvr::TQVRPacker packer(nullptr, fs);
  packer.PackModus = qvr::Entpacken;
  packer.QuellPfad = kArchive;
  packer.ZielPfad = kDest;
  int statuses = 0;
  std::int32_t last = 0;
  packer.OnStatus = [&](std::int32_t, const std::string&) { ++statuses; };
  packer.OnProgress = [&](std::int32_t p) {
    if (p < last || p > 100) std::abort();
    last = p;
  };
  try {
    packer.Starten();
    if (statuses != 1) std::abort();
  } catch (const qvr::EInOutError&) {
  }
  // A damaged archive is known before anything is written.
  const qvr::PackerFailure& failure = qvr::TQVRPacker::LastFailure();
  if (failure.status != 0 && failure.error.reason == qvr::FileReason::Damaged && !fs.Untouched()) {
    std::abort();
  }
  return 0;
}
