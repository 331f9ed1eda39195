#include "FaultyFileSystem.h"

#include <algorithm>
#include <utility>

namespace qvr::test {
namespace {

using Op = FaultyFileSystem::Op;

const char* OpName(Op op) {
  static constexpr const char* kNames[] = {
      "FileExists", "DirectoryExists", "OpenFolder", "OpenShared", "List",
      "ListNext",   "Lookup",        "CreateFolder", "Create",   "Open",
      "Remove",     "SetRights",       "PassOnRights", "Read",     "Write",
  };
  return kNames[static_cast<std::size_t>(op)];
}

std::size_t Index(Op op) {
  return static_cast<std::size_t>(op);
}

}  // namespace

class FaultySearch final : public DirectorySearch {
 public:
  FaultySearch(FaultyFileSystem& owner, std::unique_ptr<DirectorySearch> real, std::string path)
      : owner_(owner), real_(std::move(real)), path_(std::move(path)) {}

  bool Next(DirEntry& entry) override {
    if (owner_.CountAndCheck(Op::ListNext, path_)) return false;
    if (!owner_.Real(real_->Next(entry))) return false;
    if (const auto size = owner_.sizes_.find(entry.name); size != owner_.sizes_.end()) {
      entry.size = size->second;
    }
    return true;
  }

 private:
  FaultyFileSystem& owner_;
  std::unique_ptr<DirectorySearch> real_;
  std::string path_;
};

class FaultyFile final : public OpenFile {
 public:
  FaultyFile(FaultyFileSystem& owner, std::unique_ptr<OpenFile> real, std::string path)
      : owner_(owner), real_(std::move(real)), path_(std::move(path)) {}

  bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) override {
    got = 0;
    if (owner_.CountAndCheck(Op::Read, path_)) return false;
    const auto shortRead = owner_.shortReads_.find(owner_.Calls(Op::Read));
    if (shortRead != owner_.shortReads_.end()) {
      count = std::min(count, shortRead->second);
      owner_.shortReads_.erase(shortRead);
    }
    return owner_.Real(real_->Read(buffer, count, got));
  }

  bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) override {
    written = 0;
    if (owner_.CountAndCheck(Op::Write, path_)) return false;
    return owner_.Real(real_->Write(buffer, count, written));
  }

  bool Size(std::uint64_t& size) override { return owner_.Real(real_->Size(size)); }

 private:
  FaultyFileSystem& owner_;
  std::unique_ptr<OpenFile> real_;
  std::string path_;
};

class FaultyFolder final : public Folder {
 public:
  FaultyFolder(FaultyFileSystem& owner, std::unique_ptr<Folder> real)
      : owner_(owner), real_(std::move(real)) {}

  const std::string& Path() const override { return real_->Path(); }

  std::unique_ptr<DirectorySearch> List() override {
    if (owner_.CountAndCheck(Op::List, Path())) return nullptr;
    auto search = owner_.Real(real_->List());
    if (!search) return nullptr;
    return std::make_unique<FaultySearch>(owner_, std::move(search), Path());
  }
  EntryKind Lookup(std::string_view name) override {
    return Check(Op::Lookup, name) ? EntryKind::None : real_->Lookup(name);
  }
  std::unique_ptr<Folder> OpenFolder(std::string_view name) override {
    if (Check(Op::OpenFolder, name)) return nullptr;
    return owner_.Wrap(owner_.Real(real_->OpenFolder(name)));
  }
  std::unique_ptr<Folder> CreateFolder(std::string_view name,
                                       std::optional<Rights> rights) override {
    if (Check(Op::CreateFolder, name)) return nullptr;
    return owner_.Wrap(owner_.Real(real_->CreateFolder(name, rights)));
  }
  std::unique_ptr<OpenFile> Create(std::string_view name, IfExists ifExists) override {
    if (Check(Op::Create, name)) return nullptr;
    return owner_.Wrap(owner_.Real(real_->Create(name, ifExists)), Path() + std::string(name));
  }
  std::unique_ptr<OpenFile> Open(std::string_view name, Names names) override {
    if (Check(Op::Open, name)) return nullptr;
    return owner_.Wrap(owner_.Real(real_->Open(name, names)), Path() + std::string(name));
  }
  bool Remove(std::string_view name) override {
    return !Check(Op::Remove, name) && owner_.Real(real_->Remove(name));
  }
  bool SetRights(Rights rights) override {
    return !owner_.CountAndCheck(Op::SetRights, Path()) && owner_.Real(real_->SetRights(rights));
  }
  bool PassOnRights(std::string_view name, Rights rights) override {
    return !Check(Op::PassOnRights, name) && owner_.Real(real_->PassOnRights(name, rights));
  }

 private:
  bool Check(Op op, std::string_view name) {
    return owner_.CountAndCheck(op, Path() + std::string(name));
  }

  FaultyFileSystem& owner_;
  std::unique_ptr<Folder> real_;
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
  actions_.clear();
  log_.clear();
  injectedLast_ = false;
  injectedText_.clear();
}

bool FaultyFileSystem::CountAndCheck(Op op, const std::string& path) {
  const std::size_t i = Index(op);
  const int call = ++calls_[i];
  if (op != Op::Read && op != Op::Write && op != Op::ListNext) {
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
  bool fail = failAt_[i].erase(call) > 0;
  for (const std::string& part : failPaths_[i]) {
    if (path.find(part) != std::string::npos) fail = true;
  }
  if (fail) {
    injectedLast_ = true;
    injectedText_ = std::string("Injected failure of ") + OpName(op) + " (call " +
                    std::to_string(call) + ") on " + path;
  }
  return fail;
}

std::unique_ptr<Folder> FaultyFileSystem::Wrap(std::unique_ptr<Folder> folder) {
  if (!folder) return nullptr;
  return std::make_unique<FaultyFolder>(*this, std::move(folder));
}

std::unique_ptr<OpenFile> FaultyFileSystem::Wrap(std::unique_ptr<OpenFile> file, std::string path) {
  if (!file) return nullptr;
  return std::make_unique<FaultyFile>(*this, std::move(file), std::move(path));
}

bool FaultyFileSystem::FileExists(const std::string& path) {
  return !CountAndCheck(Op::FileExists, path) && Real(real_.FileExists(path));
}

bool FaultyFileSystem::DirectoryExists(const std::string& path) {
  return !CountAndCheck(Op::DirectoryExists, path) && Real(real_.DirectoryExists(path));
}

std::unique_ptr<Folder> FaultyFileSystem::OpenFolder(const std::string& path) {
  if (CountAndCheck(Op::OpenFolder, path)) return nullptr;
  return Wrap(Real(real_.OpenFolder(path)));
}

std::unique_ptr<OpenFile> FaultyFileSystem::OpenShared(const std::string& path) {
  if (CountAndCheck(Op::OpenShared, path)) return nullptr;
  return Wrap(Real(real_.OpenShared(path)), path);
}

std::string FaultyFileSystem::LastErrorText() const {
  return injectedLast_ ? injectedText_ : real_.LastErrorText();
}

}  // namespace qvr::test
