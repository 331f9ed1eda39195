#include "FaultyFileSystem.h"

#include <algorithm>
#include <utility>

namespace qvr::test {
namespace {

using Op = FaultyFileSystem::Op;

const char* OpName(Op op) {
  static constexpr const char* kNames[] = {
      "FileExists", "DirectoryExists", "OpenFolder", "OpenShared", "List",      "CreateFolder",
      "Open",       "Create",          "Remove",     "Rename",     "ReadOwner", "SetRights",
      "Read",       "Write",           "Seek",
  };
  return kNames[static_cast<std::size_t>(op)];
}

std::size_t Index(Op op) {
  return static_cast<std::size_t>(op);
}

}  // namespace

// What a file and a folder answer alike: passed through, owner and rights by the owner.
template <class Real>
class FaultyEntry : public Real {
 public:
  FaultyEntry(FaultyFileSystem& owner, std::unique_ptr<Real> real)
      : owner_(owner), real_(std::move(real)) {}

  const std::string& Path() const override { return real_->Path(); }
  Result<EntryInfo> Info() override { return real_->Info(); }
  Result<Owner> ReadOwner() override { return owner_.ReadOwner(*real_); }
  Result<void> SetRights(Rights rights, Grant grant) override {
    return owner_.SetRights(*real_, rights, grant);
  }

 protected:
  FaultyFileSystem& owner_;
  std::unique_ptr<Real> real_;
};

class FaultyFile final : public FaultyEntry<OpenFile> {
 public:
  using FaultyEntry::FaultyEntry;

  Result<std::uint32_t> Read(void* buffer, std::uint32_t count) override {
    if (auto failed = owner_.Check(Op::Read, Path())) return *std::move(failed);
    const auto shortRead = owner_.shortReads_.find(owner_.Calls(Op::Read));
    if (shortRead != owner_.shortReads_.end()) {
      count = std::min(count, shortRead->second);
      owner_.shortReads_.erase(shortRead);
    }
    return real_->Read(buffer, count);
  }
  Result<void> Write(const void* buffer, std::uint32_t count) override {
    if (auto failed = owner_.Check(Op::Write, Path())) return *std::move(failed);
    return real_->Write(buffer, count);
  }
  Result<void> Seek(std::uint64_t offset) override {
    if (auto failed = owner_.Check(Op::Seek, Path())) return *std::move(failed);
    return real_->Seek(offset);
  }
  Result<std::uint64_t> Size() override { return real_->Size(); }
};

class FaultyFolder final : public FaultyEntry<Folder> {
 public:
  using FaultyEntry::FaultyEntry;

 protected:
  Result<std::vector<DirEntry>> ListAll() override {
    if (auto failed = owner_.Check(Op::List, Path())) return *std::move(failed);
    Result<std::vector<DirEntry>> entries = real_->ListAll();
    if (!entries) return entries;
    for (DirEntry& entry : *entries) {
      if (const auto size = owner_.sizes_.find(entry.name); size != owner_.sizes_.end()) {
        entry.size = size->second;
      }
    }
    return entries;
  }
  Result<std::unique_ptr<Folder>> OpenFolderAt(const std::string& name) override {
    if (auto failed = Check(Op::OpenFolder, name)) return *std::move(failed);
    return owner_.Wrap(real_->OpenFolderAt(name));
  }
  Result<std::unique_ptr<Folder>> CreateFolderAt(const std::string& name,
                                                 std::optional<Rights> rights) override {
    if (auto failed = Check(Op::CreateFolder, name)) return *std::move(failed);
    return owner_.Wrap(real_->CreateFolderAt(name, rights));
  }
  Result<std::unique_ptr<OpenFile>> OpenFileAt(const std::string& name, Access access) override {
    if (auto failed = Check(Op::Open, name)) return *std::move(failed);
    return owner_.Wrap(real_->OpenFileAt(name, access));
  }
  Result<std::unique_ptr<OpenFile>> CreateFileAt(const std::string& name) override {
    if (auto failed = Check(Op::Create, name)) return *std::move(failed);
    return owner_.Wrap(real_->CreateFileAt(name));
  }
  Result<void> RemoveAt(const std::string& name, bool folder) override {
    if (auto failed = Check(Op::Remove, name)) return *std::move(failed);
    return real_->RemoveAt(name, folder);
  }
  Result<void> RenameAt(const std::string& name, Folder& to, const std::string& newName) override {
    if (auto failed = Check(Op::Rename, name)) return *std::move(failed);
    auto* faulty = dynamic_cast<FaultyFolder*>(&to);
    return real_->RenameAt(name, faulty ? *faulty->real_ : to, newName);
  }

 private:
  std::optional<FileError> Check(Op op, const std::string& name) {
    return owner_.Check(op, PathOf(name));
  }
};

void FaultyFileSystem::FailAt(Op op, int nth, FileReason reason) {
  failAt_[Index(op)][calls_[Index(op)] + nth] = reason;
}

void FaultyFileSystem::FailFromPath(Op op, std::string substring, FileReason reason) {
  failPaths_[Index(op)].emplace_back(std::move(substring), reason);
}

void FaultyFileSystem::ShortReadAt(int nth, std::uint32_t maxBytes) {
  shortReads_[calls_[Index(Op::Read)] + nth] = maxBytes;
}

void FaultyFileSystem::ActBefore(Op op, std::string substring, std::function<void()> action) {
  actions_.push_back({op, std::move(substring), std::move(action)});
}

int FaultyFileSystem::Calls(Op op) const {
  return calls_[Index(op)];
}

void FaultyFileSystem::Reset() {
  calls_ = {};
  failAt_ = {};
  failPaths_ = {};
  shortReads_.clear();
  sizes_.clear();
  owners_.clear();
  actions_.clear();
  log_.clear();
}

std::optional<FileError> FaultyFileSystem::Check(Op op, const std::string& path) {
  const std::size_t i = Index(op);
  const int call = ++calls_[i];
  if (op != Op::Read && op != Op::Write && op != Op::Seek) {
    log_.push_back(std::string(OpName(op)) + " " + path);
  }
  const auto action = std::find_if(actions_.begin(), actions_.end(), [&](const Action& a) {
    return a.op == op && path.find(a.substring) != std::string::npos;
  });
  if (action != actions_.end()) {
    const std::function<void()> run = std::move(action->run);
    actions_.erase(action);
    run();
  }
  std::optional<FileReason> reason;
  if (const auto planned = failAt_[i].find(call); planned != failAt_[i].end()) {
    reason = planned->second;
    failAt_[i].erase(planned);
  }
  for (const auto& [part, why] : failPaths_[i]) {
    if (path.find(part) != std::string::npos) reason = why;
  }
  if (!reason) return std::nullopt;
  return FileError{OpName(op), path, *reason,
                   std::string("Injected failure of ") + OpName(op) + " (call " +
                       std::to_string(call) + ") on " + path};
}

Result<Owner> FaultyFileSystem::ReadOwner(Entry& real) {
  if (auto failed = Check(Op::ReadOwner, real.Path())) return *std::move(failed);
  for (const auto& [part, owner] : owners_) {
    if (real.Path().find(part) != std::string::npos) return owner;
  }
  return real.ReadOwner();
}

Result<void> FaultyFileSystem::SetRights(Entry& real, Rights rights, Grant grant) {
  if (auto failed = Check(Op::SetRights, real.Path())) return *std::move(failed);
  return real.SetRights(rights, grant);
}

Result<std::unique_ptr<Folder>> FaultyFileSystem::Wrap(Result<std::unique_ptr<Folder>> folder) {
  if (!folder) return folder;
  return std::make_unique<FaultyFolder>(*this, folder.Take());
}

Result<std::unique_ptr<OpenFile>> FaultyFileSystem::Wrap(Result<std::unique_ptr<OpenFile>> file) {
  if (!file) return file;
  return std::make_unique<FaultyFile>(*this, file.Take());
}

bool FaultyFileSystem::FileExists(const std::string& path) {
  return !Check(Op::FileExists, path) && real_.FileExists(path);
}

bool FaultyFileSystem::DirectoryExists(const std::string& path) {
  return !Check(Op::DirectoryExists, path) && real_.DirectoryExists(path);
}

Result<std::unique_ptr<Folder>> FaultyFileSystem::OpenFolder(const std::string& path,
                                                             LinkAtPath link) {
  if (auto failed = Check(Op::OpenFolder, path)) return *std::move(failed);
  return Wrap(real_.OpenFolder(path, link));
}

Result<std::unique_ptr<OpenFile>> FaultyFileSystem::OpenShared(const std::string& path) {
  if (auto failed = Check(Op::OpenShared, path)) return *std::move(failed);
  return Wrap(real_.OpenShared(path));
}

}  // namespace qvr::test
