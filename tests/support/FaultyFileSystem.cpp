#include "FaultyFileSystem.h"

#include <algorithm>
#include <utility>

namespace qvr::test {
namespace {

const char* OpName(FaultyFileSystem::Op op) {
  using Op = FaultyFileSystem::Op;
  switch (op) {
    case Op::FindFirst:
      return "FindFirst";
    case Op::FindNext:
      return "FindNext";
    case Op::FileExists:
      return "FileExists";
    case Op::DirectoryExists:
      return "DirectoryExists";
    case Op::CreateDirectory:
      return "CreateDirectory";
    case Op::ForceDirectories:
      return "ForceDirectories";
    case Op::CreateExclusive:
      return "CreateExclusive";
    case Op::OpenShared:
      return "OpenShared";
    case Op::Read:
      return "Read";
    case Op::Write:
      return "Write";
    case Op::CopyFile:
      return "CopyFile";
    case Op::RestrictToAdministrators:
      return "RestrictToAdministrators";
  }
  return "?";
}

std::size_t Index(FaultyFileSystem::Op op) {
  return static_cast<std::size_t>(op);
}

}  // namespace

class FaultySearch final : public DirectorySearch {
 public:
  FaultySearch(FaultyFileSystem& owner, std::unique_ptr<DirectorySearch> real, std::string pattern)
      : owner_(owner), real_(std::move(real)), pattern_(std::move(pattern)) {}

  bool Next(DirEntry& entry) override {
    if (owner_.CountAndCheck(FaultyFileSystem::Op::FindNext, pattern_)) return false;
    return owner_.Real(real_->Next(entry));
  }

 private:
  FaultyFileSystem& owner_;
  std::unique_ptr<DirectorySearch> real_;
  std::string pattern_;
};

class FaultyFile final : public OpenFile {
 public:
  FaultyFile(FaultyFileSystem& owner, std::unique_ptr<OpenFile> real, std::string path)
      : owner_(owner), real_(std::move(real)), path_(std::move(path)) {}

  bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) override {
    got = 0;
    if (owner_.CountAndCheck(FaultyFileSystem::Op::Read, path_)) return false;
    const auto shortRead = owner_.shortReads_.find(owner_.Calls(FaultyFileSystem::Op::Read));
    if (shortRead != owner_.shortReads_.end()) {
      count = std::min(count, shortRead->second);
      owner_.shortReads_.erase(shortRead);
    }
    return owner_.Real(real_->Read(buffer, count, got));
  }

  bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) override {
    written = 0;
    if (owner_.CountAndCheck(FaultyFileSystem::Op::Write, path_)) return false;
    return owner_.Real(real_->Write(buffer, count, written));
  }

  bool Size(std::uint64_t& size) override { return owner_.Real(real_->Size(size)); }

 private:
  FaultyFileSystem& owner_;
  std::unique_ptr<OpenFile> real_;
  std::string path_;
};

void FaultyFileSystem::FailAt(Op op, int nth) {
  failAt_[Index(op)].insert(calls_[Index(op)] + nth);
}

void FaultyFileSystem::FailFromPath(Op op, std::string substring) {
  failPaths_[Index(op)].push_back(std::move(substring));
}

void FaultyFileSystem::ShortReadAt(int nth, std::uint32_t maxBytes) {
  shortReads_[calls_[Index(Op::Read)] + nth] = maxBytes;
}

int FaultyFileSystem::Calls(Op op) const {
  return calls_[Index(op)];
}

void FaultyFileSystem::Reset() {
  calls_ = {};
  failAt_ = {};
  failPaths_ = {};
  shortReads_.clear();
  writtenPaths_.clear();
  injectedLast_ = false;
  injectedText_.clear();
}

bool FaultyFileSystem::CountAndCheck(Op op, const std::string& path, const std::string& otherPath) {
  const std::size_t i = Index(op);
  const int call = ++calls_[i];
  bool fail = failAt_[i].erase(call) > 0;
  for (const std::string& part : failPaths_[i]) {
    if (path.find(part) != std::string::npos || otherPath.find(part) != std::string::npos) {
      fail = true;
    }
  }
  if (fail) {
    injectedLast_ = true;
    injectedText_ = std::string("Injected failure of ") + OpName(op) + " (call " +
                    std::to_string(call) + ") on " + path;
  }
  return fail;
}

std::unique_ptr<DirectorySearch> FaultyFileSystem::FindFirst(const std::string& pattern,
                                                             std::uint32_t attributeMask,
                                                             DirEntry& first) {
  if (CountAndCheck(Op::FindFirst, pattern)) return nullptr;
  auto search = Real(real_.FindFirst(pattern, attributeMask, first));
  if (!search) return nullptr;
  return std::make_unique<FaultySearch>(*this, std::move(search), pattern);
}

bool FaultyFileSystem::FileExists(const std::string& path) {
  if (CountAndCheck(Op::FileExists, path)) return false;
  return Real(real_.FileExists(path));
}

bool FaultyFileSystem::DirectoryExists(const std::string& path) {
  if (CountAndCheck(Op::DirectoryExists, path)) return false;
  return Real(real_.DirectoryExists(path));
}

bool FaultyFileSystem::CreateDirectory(const std::string& path) {
  writtenPaths_.push_back(path);
  if (CountAndCheck(Op::CreateDirectory, path)) return false;
  return Real(real_.CreateDirectory(path));
}

bool FaultyFileSystem::ForceDirectories(const std::string& path) {
  writtenPaths_.push_back(path);
  if (CountAndCheck(Op::ForceDirectories, path)) return false;
  return Real(real_.ForceDirectories(path));
}

std::unique_ptr<OpenFile> FaultyFileSystem::CreateExclusive(const std::string& path) {
  writtenPaths_.push_back(path);
  if (CountAndCheck(Op::CreateExclusive, path)) return nullptr;
  auto file = Real(real_.CreateExclusive(path));
  if (!file) return nullptr;
  return std::make_unique<FaultyFile>(*this, std::move(file), path);
}

std::unique_ptr<OpenFile> FaultyFileSystem::OpenShared(const std::string& path) {
  if (CountAndCheck(Op::OpenShared, path)) return nullptr;
  auto file = Real(real_.OpenShared(path));
  if (!file) return nullptr;
  return std::make_unique<FaultyFile>(*this, std::move(file), path);
}

bool FaultyFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  writtenPaths_.push_back(to);
  if (CountAndCheck(Op::CopyFile, from, to)) return false;
  return Real(real_.CopyFile(from, to, failIfExists));
}

bool FaultyFileSystem::RestrictToAdministrators(const std::string& folder) {
  if (CountAndCheck(Op::RestrictToAdministrators, folder)) return false;
  return Real(real_.RestrictToAdministrators(folder));
}

std::string FaultyFileSystem::LastErrorText() const {
  return injectedLast_ ? injectedText_ : real_.LastErrorText();
}

}  // namespace qvr::test
