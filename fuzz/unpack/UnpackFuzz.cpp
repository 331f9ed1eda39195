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

class MemoryFile final : public qvr::OpenFile {
 public:
  MemoryFile(std::string& data, bool writable) : data_(data), writable_(writable) {}
  bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) override {
    got = static_cast<std::uint32_t>(std::min<std::size_t>(count, data_.size() - position_));
    data_.copy(static_cast<char*>(buffer), got, position_);
    position_ += got;
    return true;
  }
  bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) override {
    written = 0;
    if (!writable_) return false;
    data_.append(static_cast<const char*>(buffer), count);
    written = count;
    return true;
  }
  bool Size(std::uint64_t& size) override {
    size = data_.size();
    return true;
  }

 private:
  std::string& data_;
  bool writable_;
  std::size_t position_ = 0;
};

class MemoryFileSystem;

// A folder of the memory file system: it writes only below itself, by name.
class MemoryFolder final : public qvr::Folder {
 public:
  MemoryFolder(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  const std::string& Path() const override { return path_; }
  std::unique_ptr<qvr::DirectorySearch> List() override { return nullptr; }
  qvr::EntryKind Lookup(std::string_view name) override;
  std::unique_ptr<qvr::Folder> OpenFolder(std::string_view name) override;
  std::unique_ptr<qvr::Folder> CreateFolder(std::string_view name,
                                            std::optional<qvr::Rights>) override;
  std::unique_ptr<qvr::OpenFile> Create(std::string_view name, qvr::IfExists) override;
  std::unique_ptr<qvr::OpenFile> Open(std::string_view, qvr::Names) override { std::abort(); }
  bool Remove(std::string_view) override { std::abort(); }
  bool SetRights(qvr::Rights) override { std::abort(); }
  bool PassOnRights(std::string_view, qvr::Rights) override { std::abort(); }

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
  std::unique_ptr<qvr::Folder> OpenFolder(const std::string& path) override {
    if (!folders_.count(Bare(path))) return nullptr;
    return std::make_unique<MemoryFolder>(*this, Bare(path) + "/");
  }
  std::unique_ptr<qvr::OpenFile> OpenShared(const std::string& path) override {
    const auto it = files_.find(path);
    if (it == files_.end()) return nullptr;
    return std::make_unique<MemoryFile>(it->second, false);
  }
  std::string LastErrorText() const override { return "refused"; }

  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
};

qvr::EntryKind MemoryFolder::Lookup(std::string_view name) {
  const std::string path = path_ + std::string(name);
  if (fs_.folders_.count(path)) return qvr::EntryKind::Folder;
  return fs_.files_.count(path) ? qvr::EntryKind::File : qvr::EntryKind::None;
}

std::unique_ptr<qvr::Folder> MemoryFolder::OpenFolder(std::string_view name) {
  const std::string path = path_ + std::string(name);
  CheckInside(path);
  if (!fs_.folders_.count(path)) return nullptr;
  return std::make_unique<MemoryFolder>(fs_, path + "/");
}

std::unique_ptr<qvr::Folder> MemoryFolder::CreateFolder(std::string_view name,
                                                        std::optional<qvr::Rights>) {
  const std::string path = path_ + std::string(name);
  CheckInside(path);
  if (fs_.files_.count(path)) return nullptr;
  fs_.folders_.insert(path);
  return std::make_unique<MemoryFolder>(fs_, path + "/");
}

std::unique_ptr<qvr::OpenFile> MemoryFolder::Create(std::string_view name, qvr::IfExists) {
  const std::string path = path_ + std::string(name);
  CheckInside(path);
  if (fs_.folders_.count(path)) return nullptr;
  std::string& data = fs_.files_[path];
  data.clear();
  return std::make_unique<MemoryFile>(data, true);
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
  } catch (const qvr::EArchiveError&) {
  } catch (const qvr::EInOutError&) {
  }
  return 0;
}
