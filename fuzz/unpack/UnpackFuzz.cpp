// libFuzzer target for the unpacker: any input is an archive. It is unpacked on an
// in-memory file system that aborts when anything is written outside the destination,
// so a crash, a hang or an escape from the destination is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
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

std::string Parent(const std::string& path) {
  return path.substr(0, path.rfind('/'));
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

class NoSearch final : public qvr::DirectorySearch {
 public:
  bool Next(qvr::DirEntry&) override { return false; }
};

class MemoryFileSystem final : public qvr::FileSystem {
 public:
  explicit MemoryFileSystem(std::string archive) {
    files_[kArchive] = std::move(archive);
    folders_ = {"/in", Bare(kDest)};
  }
  char Delimiter() const override { return '/'; }
  std::unique_ptr<qvr::DirectorySearch> FindFirst(const std::string& pattern, std::uint32_t,
                                                  qvr::DirEntry& first) override {
    const auto it = files_.find(pattern);
    if (it == files_.end()) return nullptr;
    first = qvr::DirEntry{pattern.substr(pattern.rfind('/') + 1), it->second.size(),
                          qvr::attr::kArchive};
    return std::make_unique<NoSearch>();
  }
  bool FileExists(const std::string& path) override { return files_.count(path) != 0; }
  bool DirectoryExists(const std::string& path) override { return folders_.count(Bare(path)) != 0; }
  bool CreateDirectory(const std::string& path) override {
    CheckInside(path);
    const std::string bare = Bare(path);
    if (!folders_.count(Parent(bare)) || folders_.count(bare) || files_.count(bare)) return false;
    folders_.insert(bare);
    return true;
  }
  bool ForceDirectories(const std::string&) override { std::abort(); }
  std::unique_ptr<qvr::OpenFile> CreateExclusive(const std::string& path) override {
    CheckInside(path);
    if (!folders_.count(Parent(path)) || folders_.count(path)) return nullptr;
    std::string& data = files_[path];
    data.clear();
    return std::make_unique<MemoryFile>(data, true);
  }
  std::unique_ptr<qvr::OpenFile> OpenShared(const std::string& path) override {
    const auto it = files_.find(path);
    if (it == files_.end()) return nullptr;
    return std::make_unique<MemoryFile>(it->second, false);
  }
  bool CopyFile(const std::string&, const std::string&, bool) override { std::abort(); }
  bool RestrictToAdministrators(const std::string&) override { std::abort(); }
  std::string LastErrorText() const override { return "refused"; }

 private:
  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
};

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
