// Held entries of the file system: a folder checked once, when it was opened, and held
// by its handle, through which every entry inside is opened, created, listed, removed,
// renamed and given its rights, one bare name at a time and never through a link.
//
// Each system supplies a few primitives on a held handle (the protected members of
// Folder, and Entry and OpenFile whole); everything else is written once, here, over
// them: the name rule, the listing without "." and "..", replacing a file, removing a
// tree, passing rights on, copying a file. A new operation on a folder is one primitive
// per system (posix/PosixFolder, win32/Win32Folder) and, where it combines primitives, a
// function here; the fault-injecting file system of the tests decorates the primitives.
//
// Names and paths are UTF-8 (platform/Text.h): the Windows backend converts them for the
// wide functions, the POSIX backend passes the bytes on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileError.h"

namespace qvr {

namespace test {
class FaultyFolder;
}

// Attribute bits as Windows reports them; the POSIX backend maps onto the same bits.
namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x01;
inline constexpr std::uint32_t kHidden = 0x02;
inline constexpr std::uint32_t kSystem = 0x04;
inline constexpr std::uint32_t kVolumeId = 0x08;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;
inline constexpr std::uint32_t kReparsePoint = 0x400;
}  // namespace attr

// One entry of a folder listing.
struct DirEntry {
  std::string name;        // bare name, no path
  std::uint64_t size = 0;  // 64-bit size; 0 for folders
  std::uint32_t attributes = 0;
};

// What an entry is, as seen through its own handle.
enum class EntryKind : std::uint8_t { File, Folder, Other };

// Which entry it is: two handles with the same identity hold the same entry.
struct EntryId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const EntryId&) const = default;
};

struct EntryInfo {
  EntryKind kind = EntryKind::Other;
  std::uint32_t links = 1;  // names of a file
  EntryId id;
};

// Whose an entry is. Windows: the owner's SID; POSIX: the owning user, root standing
// for the administrators.
enum class Owner : std::uint8_t { Administrators, System, CurrentUser, OtherUser };

// Who may change a folder and what lies in it. Windows: a security descriptor, its
// owner the Administrators group; POSIX: owner and mode, the program's own user standing
// for the administrators.
enum class Rights : std::uint8_t {
  // SYSTEM and Administrators full control, Users read and execute; passed on to
  // everything inside. POSIX: owned by the program's user, no write for group and others.
  Administrators,
  // The folder itself as with Administrators, so that nobody else can rename, replace or
  // remove what lies in it; but Authenticated Users may add entries, and what lies inside
  // is theirs to change (Modify). POSIX: sticky and writable for all, as a shared folder.
  UserData,
};

// Whether rights are an entry's own (protected from what its folder passes on) or what a
// folder of these rights passes on to it.
enum class Grant : std::uint8_t { Own, PassedOn };

// An entry held open by its handle: a file or a folder.
class Entry {
 public:
  virtual ~Entry() = default;
  // The path the entry was opened as, for messages; a folder's ends with the delimiter.
  virtual const std::string& Path() const = 0;
  virtual Result<EntryInfo> Info() = 0;
  virtual Result<Owner> ReadOwner() = 0;
  // Owner and rights, set through this handle. Own rights make the Administrators the
  // owner; passed-on rights do so for Rights::Administrators alone, so that what users
  // put into their data stays theirs.
  virtual Result<void> SetRights(Rights rights, Grant grant) = 0;
};

// An open file.
class OpenFile : public Entry {
 public:
  // Reads up to `count` bytes: how many were read, 0 at the end of the file.
  virtual Result<std::uint32_t> Read(void* buffer, std::uint32_t count) = 0;
  // Writes all `count` bytes.
  virtual Result<void> Write(const void* buffer, std::uint32_t count) = 0;
  // Moves to `offset` bytes from the start.
  virtual Result<void> Seek(std::uint64_t offset) = 0;
  virtual Result<std::uint64_t> Size() = 0;
};

// How a file inside a folder is opened.
enum class Access : std::uint8_t {
  Read,    // for reading; others may go on reading and writing it
  Rights,  // for its owner and rights alone: no data, so it conflicts with no other handle
};

// What Create does where an entry of that name exists.
enum class IfExists : std::uint8_t {
  Replace,  // an entry that is no folder is removed and a new file takes its place
  Fail,     // the creation fails and the entry stays as it is
};

// A held, checked folder. On Windows it is held without delete sharing, so that it cannot
// be renamed or removed while it is open.
class Folder : public Entry {
 public:
  // The entries, without "." and "..". Windows lists in the file system's order; POSIX
  // by name in byte order, so that what is built from a listing does not depend on the
  // disk.
  Result<std::vector<DirEntry>> List();

  // The folder `name`: a plain folder, never a link to one.
  Result<std::unique_ptr<Folder>> OpenFolder(std::string_view name);
  // A new folder `name`, with `rights` of its own set as it is created, or without them
  // what this folder passes on. Fails with Exists where any entry of that name is.
  Result<std::unique_ptr<Folder>> CreateFolder(std::string_view name,
                                               std::optional<Rights> rights = std::nullopt);
  // The folder `name`, created where nothing of that name is; a file or a link fails.
  Result<std::unique_ptr<Folder>> OpenOrCreateFolder(std::string_view name);

  // The file `name`; a link or a folder is refused.
  Result<std::unique_ptr<OpenFile>> Open(std::string_view name, Access access = Access::Read);
  // The file `name`, created new for reading and writing, exclusively (no other handle may
  // open it while this one is open), with normal attributes and what this folder passes
  // on. Replacing removes the old entry first, so a link standing there is dropped, never
  // written through; where a link cannot be removed without harming its target, or
  // another handle holds the file, the creation fails.
  Result<std::unique_ptr<OpenFile>> Create(std::string_view name, IfExists ifExists);

  // Removes one entry: a file, a link (itself, never what it leads to) or an empty folder.
  Result<void> Remove(std::string_view name);
  // Removes the entry `name` and, where it is a folder, everything in it; also done when
  // nothing of that name is there.
  Result<void> RemoveTree(std::string_view name);
  // Moves the entry `name` into `to` (a folder of the same file system) as `newName`;
  // fails with Exists where an entry of that name is there. A link moves itself.
  Result<void> Rename(std::string_view name, Folder& to, std::string_view newName);

  // Gives the entry `name` and, where it is a folder, everything in it what a folder of
  // `rights` passes on. Each entry is changed through its own handle, a folder before its
  // contents are listed. A link and a file with more than one name are left unchanged:
  // what they lead to may lie elsewhere. Done when nothing of that name is there.
  Result<void> PassOnRights(std::string_view name, Rights rights);

 protected:
  // The primitives, each on one bare name (the name rule has been applied) relative to
  // this folder's handle, never following a link standing at the name.
  // Every entry the system lists; "." and ".." may be among them.
  virtual Result<std::vector<DirEntry>> ListAll() = 0;
  virtual Result<std::unique_ptr<Folder>> OpenFolderAt(const std::string& name) = 0;
  virtual Result<std::unique_ptr<Folder>> CreateFolderAt(const std::string& name,
                                                         std::optional<Rights> rights) = 0;
  virtual Result<std::unique_ptr<OpenFile>> OpenFileAt(const std::string& name, Access access) = 0;
  // A new file: Exists where any entry of that name is, a link leading nowhere included.
  virtual Result<std::unique_ptr<OpenFile>> CreateFileAt(const std::string& name) = 0;
  // One entry: with `folder` an empty plain folder, else anything but one. A file that
  // another handle holds is refused.
  virtual Result<void> RemoveAt(const std::string& name, bool folder) = 0;
  virtual Result<void> RenameAt(const std::string& name, Folder& to,
                                const std::string& newName) = 0;

  // `path` of an entry inside, for messages.
  std::string PathOf(std::string_view name) const { return Path() + std::string(name); }

 private:
  // The tests' fault injection passes every primitive on to a real folder.
  friend class test::FaultyFolder;

  Result<void> PassOnRightsTo(const DirEntry& entry, Rights rights);
};

// Whether `name` is one plain entry of a folder: not empty, not "." or "..", no
// delimiter, no NUL, nothing a lookup could take elsewhere. Windows' further rules (a
// drive colon) are its backend's.
bool IsEntryName(std::string_view name);

// Copies what is left to read of `from` into `to`.
Result<void> CopyContents(OpenFile& from, OpenFile& to);

// Copies the plain file `name` of `from` (one name, no link) into `to` under the same
// name, unless an entry of that name is there: that stays as it is. A failed copy
// leaves nothing behind.
Result<void> CopyPlainFile(Folder& from, std::string_view name, Folder& to);

// The folders below `base` along a path, each opened through the one above and held: the
// unpack walks down one folder per level of the current record and back up to the next
// record's level.
class FolderPath {
 public:
  explicit FolderPath(Folder& base) : base_(base) {}

  Folder& Current() { return held_.empty() ? base_ : *held_.back(); }
  std::size_t Depth() const { return held_.size(); }
  // Closes the folders below `depth`.
  void CutTo(std::size_t depth) {
    if (depth < held_.size()) held_.resize(depth);
  }
  void Enter(std::unique_ptr<Folder> folder) { held_.push_back(std::move(folder)); }

 private:
  Folder& base_;
  std::vector<std::unique_ptr<Folder>> held_;
};

}  // namespace qvr
