// The file-system layer: the few file operations the packer and the setup need,
// behind one interface so that the Win32 and POSIX backends and the test fakes
// (fault injection) are interchangeable.
//
// Everything below a folder is reached through a Folder: a held handle of a folder
// that was checked once, when it was opened, and through which every entry inside is
// opened, created, listed, removed or given its rights, one name at a time and never
// through a link. A path is looked up only where a caller names one (the archive, the
// destination, the packed folder); no name below it is ever looked up again by path,
// so a folder swapped for a link while a run goes on cannot lead it elsewhere.
//
// Names and paths are UTF-8 (the rule is in platform/Text.h): the Windows backend
// converts them for the wide functions, the POSIX backend passes the bytes on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qvr {

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
// Read-only, hidden, system, volume label, folder and archive: every entry.
inline constexpr std::uint32_t kAnyFile = 63;
}  // namespace attr

// Why the layer itself refused or answered no, where the system has no fitting text;
// LastErrorText then returns one of these.
namespace reason {
inline constexpr char kFileNotFolder[] = "it is a file, not a folder";
inline constexpr char kFolderNotFile[] = "it is a folder, not a file";
inline constexpr char kLinkNotFollowed[] = "it is a link, which is not followed";
inline constexpr char kLinkNotRemovable[] =
    "it is a link that cannot be removed here without changing its target";
inline constexpr char kNotPlainFile[] =
    "it is a link or a file with more than one name, which is not copied";
}  // namespace reason

// One entry of a folder listing.
struct DirEntry {
  std::string name;        // bare name, no path
  std::uint64_t size = 0;  // 64-bit size; 0 for folders
  std::uint32_t attributes = 0;
};

// An open folder listing. Closes what it holds when destroyed.
class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;
  // Advances to the next entry, the first one included; false when there is none (or
  // the listing failed).
  virtual bool Next(DirEntry& entry) = 0;
};

// An open file. Closes its handle when destroyed.
class OpenFile {
 public:
  virtual ~OpenFile() = default;
  // Reads up to `count` bytes. False on failure; `got` is 0 at the end of the file.
  virtual bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) = 0;
  // Writes `count` bytes. False on failure.
  virtual bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) = 0;
  // The file's current size. False on failure.
  virtual bool Size(std::uint64_t& size) = 0;
};

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

// What Create does where an entry of that name exists.
enum class IfExists : std::uint8_t {
  Replace,  // an entry that is no folder is removed and a new file takes its place
  Fail,     // the creation fails and the entry stays as it is
};

// What an entry is, as seen without following it.
enum class EntryKind : std::uint8_t {
  None,    // nothing of that name
  File,    // a plain file
  Folder,  // a plain folder
  Link,    // a symbolic link, a junction or another reparse point
  Other,   // a device, a pipe or a socket
};

// Which files Open accepts.
enum class Names : std::uint8_t {
  Any,  // a file, whatever number of names it has
  One,  // a plain file with one name: a hard link may be a second name of a file elsewhere
};

// A held, checked folder. Every operation takes one bare name of an entry directly
// inside it and never follows a link there: a symbolic link, a junction or another
// reparse point is never entered, opened or written through. On Windows the folder is
// held without delete sharing, so that it cannot be renamed or removed while it is open.
class Folder {
 public:
  virtual ~Folder() = default;

  // The folder's path as it was opened, ending with the delimiter; for messages.
  virtual const std::string& Path() const = 0;

  // Lists the entries. Windows-like backends yield "." and ".." first, the POSIX
  // backend reproduces them and then lists by name in byte order. Null when the folder
  // cannot be listed.
  virtual std::unique_ptr<DirectorySearch> List() = 0;
  // What stands at `name`; a link is reported as one, never followed.
  virtual EntryKind Lookup(std::string_view name) = 0;

  // Opens the folder `name`. Null when it is missing or anything but a plain folder: a
  // file, or a link to a folder.
  virtual std::unique_ptr<Folder> OpenFolder(std::string_view name) = 0;
  // Opens the folder `name`, creating it where nothing of that name is. A created folder
  // gets `rights`, set as it is created, or without them what this folder passes on. An
  // existing folder is opened as it is; a file or a link of that name fails the call.
  virtual std::unique_ptr<Folder> CreateFolder(std::string_view name,
                                               std::optional<Rights> rights = std::nullopt) = 0;

  // Creates the file `name` for reading and writing, exclusively (no other handle may
  // open it while this one is open), with normal attributes and what this folder passes
  // on. Replacing removes the old entry, so a link standing there is dropped, never
  // written through; where a link cannot be removed without harming its target, or
  // another handle holds the file, the creation fails.
  virtual std::unique_ptr<OpenFile> Create(std::string_view name, IfExists ifExists) = 0;
  // Opens the file `name` for reading; others may go on reading and writing it. A link,
  // a folder, or with Names::One a file with more than one name, is refused.
  virtual std::unique_ptr<OpenFile> Open(std::string_view name, Names names = Names::Any) = 0;

  // Removes the entry `name` and, where it is a folder, everything in it; true when
  // nothing of that name is left, also when there was none. A link is removed itself,
  // never what it leads to; where that cannot be done without harming the target, the
  // removal fails.
  virtual bool Remove(std::string_view name) = 0;

  // Gives this folder `rights` of its own: protected from what its folder passes on and
  // passed on to what is created inside. The owner becomes the Administrators group.
  virtual bool SetRights(Rights rights) = 0;
  // Gives the entry `name` and, where it is a folder, everything in it what a folder of
  // `rights` passes on: with Administrators the owner becomes the Administrators group,
  // with UserData the owner stays. Each entry is changed through its own handle, a folder
  // before its contents are listed. A link and a file with more than one name are left
  // unchanged: what they lead to may lie elsewhere. True when nothing of that name is
  // there.
  virtual bool PassOnRights(std::string_view name, Rights rights) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The path delimiter of this file system: '\\' on Windows, '/' on POSIX.
  virtual char Delimiter() const = 0;
  // Whether two names name the same entry of a folder: Windows ignores case.
  virtual bool SameName(std::string_view a, std::string_view b) const = 0;

  // True for an existing file that is not a folder; a link to a file counts.
  virtual bool FileExists(const std::string& path) = 0;
  // True for an existing folder. A path may end with a delimiter. A link standing at
  // the path is not followed: a link to a folder is not a folder.
  virtual bool DirectoryExists(const std::string& path) = 0;

  // Opens the folder at `path` (which may end with a delimiter). Links among the folders
  // above it are followed, as the caller named them; one standing at the path itself is
  // not: null then, as for a file or a missing folder.
  virtual std::unique_ptr<Folder> OpenFolder(const std::string& path) = 0;
  // Opens the file at `path` for reading; others may go on reading and writing it. The
  // file is input, so a link to it is followed.
  virtual std::unique_ptr<OpenFile> OpenShared(const std::string& path) = 0;

  // A readable description of the last failure of this thread's file operations,
  // for messages ("Permission denied", "The system cannot find the path specified").
  virtual std::string LastErrorText() const = 0;
};

// Copies what is left to read of `from` into `to`. False when a read or a write fails.
bool CopyContents(OpenFile& from, OpenFile& to);

// Gives every entry of `folder` what it passes on with `rights` (Folder::PassOnRights).
bool PassOnRightsToAll(Folder& folder, Rights rights);

// Copies the plain file `name` of `from` (one name, no link) into `to` under the same
// name, unless an entry of that name is there: that stays as it is. A failed copy
// leaves nothing behind.
bool CopyPlainFile(Folder& from, std::string_view name, Folder& to);

// The file system of the platform this program runs on.
FileSystem& SystemFileSystem();

}  // namespace qvr
