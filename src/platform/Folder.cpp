#include "platform/Folder.h"

#include <optional>

namespace qvr {
namespace {

// Not in a name: the delimiters, and on Windows a drive or stream colon; NUL nowhere,
// as the system functions would cut the name there.
#ifdef _WIN32
constexpr std::string_view kNotInName("/\\:\0", 4);
#else
constexpr std::string_view kNotInName("/\0", 2);
#endif

bool IsDotName(std::string_view name) {
  return name == "." || name == "..";
}

// Why `name` is refused before any system call: it is not one plain entry of `folder`.
std::optional<FileError> RefuseName(const char* operation, const Folder& folder,
                                    std::string_view name) {
  if (IsEntryName(name)) return std::nullopt;
  return FileError{operation, folder.Path() + std::string(name), FileReason::Other,
                   "it is not the name of one entry of the folder"};
}

// An entry that the rights walk leaves as it is: gone, or leading elsewhere.
bool LeftAsItIs(const FileError& error) {
  switch (error.reason) {
    case FileReason::NotFound:
    case FileReason::IsLink:
    case FileReason::NotFile:
    case FileReason::OtherNames:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsEntryName(std::string_view name) {
  return !name.empty() && !IsDotName(name) && name.find_first_of(kNotInName) == name.npos;
}

Result<std::vector<DirEntry>> Folder::List() {
  Result<std::vector<DirEntry>> entries = ListAll();
  if (entries) {
    std::erase_if(*entries, [](const DirEntry& entry) { return IsDotName(entry.name); });
  }
  return entries;
}

Result<std::unique_ptr<Folder>> Folder::OpenFolder(std::string_view name) {
  if (auto refused = RefuseName("open the folder", *this, name)) return *std::move(refused);
  return OpenFolderAt(std::string(name));
}

Result<std::unique_ptr<Folder>> Folder::CreateFolder(std::string_view name,
                                                     std::optional<Rights> rights) {
  if (auto refused = RefuseName("create the folder", *this, name)) return *std::move(refused);
  return CreateFolderAt(std::string(name), rights);
}

Result<std::unique_ptr<Folder>> Folder::OpenOrCreateFolder(std::string_view name) {
  if (auto refused = RefuseName("create the folder", *this, name)) return *std::move(refused);
  const std::string entry(name);
  Result<std::unique_ptr<Folder>> created = CreateFolderAt(entry, std::nullopt);
  return created.Failed(FileReason::Exists) ? OpenFolderAt(entry) : std::move(created);
}

Result<std::unique_ptr<OpenFile>> Folder::Open(std::string_view name, Access access) {
  if (auto refused = RefuseName("open", *this, name)) return *std::move(refused);
  return OpenFileAt(std::string(name), access);
}

Result<std::unique_ptr<OpenFile>> Folder::Create(std::string_view name, IfExists ifExists) {
  if (auto refused = RefuseName("create", *this, name)) return *std::move(refused);
  const std::string entry(name);
  Result<std::unique_ptr<OpenFile>> created = CreateFileAt(entry);
  if (ifExists == IfExists::Fail || !created.Failed(FileReason::Exists)) return created;
  if (Result<void> removed = RemoveAt(entry, false); !removed) return removed.TakeError();
  return CreateFileAt(entry);
}

Result<void> Folder::Remove(std::string_view name) {
  if (auto refused = RefuseName("remove", *this, name)) return *std::move(refused);
  const std::string entry(name);
  Result<void> removed = RemoveAt(entry, false);
  return removed.Failed(FileReason::IsFolder) ? RemoveAt(entry, true) : removed;
}

Result<void> Folder::RemoveTree(std::string_view name) {
  if (auto refused = RefuseName("remove", *this, name)) return *std::move(refused);
  const std::string entry(name);
  Result<void> removed = RemoveAt(entry, false);
  if (removed.Failed(FileReason::NotFound)) return {};
  if (!removed.Failed(FileReason::IsFolder)) return removed;
  {
    Result<std::unique_ptr<Folder>> folder = OpenFolderAt(entry);
    if (!folder) return folder.Failed(FileReason::NotFound) ? Result<void>() : folder.TakeError();
    Result<std::vector<DirEntry>> inside = (*folder)->List();
    if (!inside) return inside.TakeError();
    for (const DirEntry& child : *inside) {
      if (Result<void> done = (*folder)->RemoveTree(child.name); !done) return done;
    }
  }
  // Once it is closed: a held folder shares no deletion, not even with this program.
  return RemoveAt(entry, true);
}

Result<void> Folder::Rename(std::string_view name, Folder& to, std::string_view newName) {
  if (auto refused = RefuseName("rename", *this, name)) return *std::move(refused);
  if (auto refused = RefuseName("rename", to, newName)) return *std::move(refused);
  return RenameAt(std::string(name), to, std::string(newName));
}

Result<void> Folder::PassOnRights(std::string_view name, Rights rights) {
  if (auto refused = RefuseName("set the rights of", *this, name)) return *std::move(refused);
  return PassOnRightsTo(DirEntry{std::string(name), 0, attr::kDirectory}, rights);
}

// Opened as what the listing says it is; where it has changed since, it is opened as the
// other. Only what is opened is changed.
Result<void> Folder::PassOnRightsTo(const DirEntry& entry, Rights rights) {
  if ((entry.attributes & attr::kDirectory) != 0) {
    Result<std::unique_ptr<Folder>> folder = OpenFolderAt(entry.name);
    if (folder) {
      if (Result<void> set = (*folder)->SetRights(rights, Grant::PassedOn); !set) return set;
      Result<std::vector<DirEntry>> inside = (*folder)->List();
      if (!inside) return inside.TakeError();
      for (const DirEntry& child : *inside) {
        if (Result<void> done = (*folder)->PassOnRightsTo(child, rights); !done) return done;
      }
      return {};
    }
    if (!folder.Failed(FileReason::NotFolder)) {
      return LeftAsItIs(folder.Error()) ? Result<void>() : folder.TakeError();
    }
  }
  Result<std::unique_ptr<OpenFile>> file = OpenFileAt(entry.name, Access::Rights);
  if (file.Failed(FileReason::IsFolder)) {
    return PassOnRightsTo(DirEntry{entry.name, 0, attr::kDirectory}, rights);
  }
  if (!file) return LeftAsItIs(file.Error()) ? Result<void>() : file.TakeError();
  // A second name may be a file elsewhere.
  Result<EntryInfo> info = (*file)->Info();
  if (!info) return info.TakeError();
  if (info->links != 1) return {};
  return (*file)->SetRights(rights, Grant::PassedOn);
}

Result<void> CopyContents(OpenFile& from, OpenFile& to) {
  std::vector<char> buffer(1 << 18);
  for (;;) {
    Result<std::uint32_t> got = from.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (!got) return got.TakeError();
    if (*got == 0) return {};
    if (Result<void> written = to.Write(buffer.data(), *got); !written) return written;
  }
}

Result<void> CopyPlainFile(Folder& from, std::string_view name, Folder& to) {
  Result<std::unique_ptr<OpenFile>> source = from.Open(name);
  if (!source) return source.TakeError();
  Result<EntryInfo> info = (*source)->Info();
  if (!info) return info.TakeError();
  if (info->links != 1) return Refusal("copy", (*source)->Path(), FileReason::OtherNames);
  // Failing where an entry exists is one atomic step: no other file can be overwritten.
  Result<std::unique_ptr<OpenFile>> created = to.Create(name, IfExists::Fail);
  if (!created) return created.TakeError();
  std::unique_ptr<OpenFile> target = created.Take();
  Result<void> copied = CopyContents(**source, *target);
  if (!copied) {
    target.reset();
    static_cast<void>(to.Remove(name));
  }
  return copied;
}

}  // namespace qvr
