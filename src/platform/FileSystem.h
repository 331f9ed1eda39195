// The file-system layer: the few file operations the packer and the setup need,
// behind one interface so that the Win32 and POSIX backends and the test fakes
// (fault injection) are interchangeable.
//
// Names and paths are UTF-8 (the rule is in platform/Text.h): the Windows backend
// converts them for the wide functions, the POSIX backend passes the bytes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

// One entry of a directory search.
struct DirEntry {
  std::string name;        // bare name, no path
  std::uint64_t size = 0;  // 64-bit size; 0 for folders
  std::uint32_t attributes = 0;
};

// An open directory search. Closes its search handle when destroyed.
class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;
  // Advances to the next entry; false when there is none (or the search failed).
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

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The path delimiter of this file system: '\\' on Windows, '/' on POSIX.
  virtual char Delimiter() const = 0;

  // Starts a search. `pattern` is either a folder followed by "*.*" (lists the
  // folder; Windows-like backends yield "." and ".." first) or the path of one
  // entry. Entries with hidden, system, volume-label or folder bits outside
  // `attributeMask` are left out. On success `first` holds the first entry.
  // Returns null when the search cannot be started or finds nothing.
  virtual std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                                     std::uint32_t attributeMask,
                                                     DirEntry& first) = 0;

  // True for an existing file that is not a folder.
  virtual bool FileExists(const std::string& path) = 0;
  // True for an existing folder. A path may end with a delimiter. Symbolic links
  // are never followed: a link to a folder is not a folder.
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Creates one folder level; its parent must exist.
  virtual bool CreateDirectory(const std::string& path) = 0;
  // Creates a folder and every missing parent.
  virtual bool ForceDirectories(const std::string& path) = 0;

  // Creates a file for reading and writing, exclusively (no other handle may open it
  // while this one is open), with normal attributes. An existing entry of that name
  // that is no folder is removed first and a new file takes its place: a symbolic
  // link, a hard link or another reparse point is never written through. Where the
  // link cannot be removed without harming its target, the creation fails.
  virtual std::unique_ptr<OpenFile> CreateExclusive(const std::string& path) = 0;
  // Opens an existing file for reading; others may go on reading and writing it.
  virtual std::unique_ptr<OpenFile> OpenShared(const std::string& path) = 0;

  // Copies a plain file: a source that is a link of any kind (symbolic, hard, another
  // reparse point) is refused, so a copy never reads through one. With `failIfExists`
  // an existing destination is left unchanged and the copy fails; without, it is
  // replaced as CreateExclusive replaces. A failed copy leaves no destination behind.
  virtual bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;

  // Closes a folder tree to standard users, so that only administrators can change what
  // lies in it. Windows: the folder and everything in it become owned by the
  // Administrators group, and the folder gets a protected ACL (SYSTEM and Administrators
  // full control, Users read and execute) that everything in it inherits. POSIX: write
  // permission for group and others is removed throughout. Links inside the tree are
  // neither followed nor changed.
  virtual bool RestrictToAdministrators(const std::string& folder) = 0;

  // A readable description of the last failure of this thread's file operations,
  // for messages ("Permission denied", "The system cannot find the path specified").
  virtual std::string LastErrorText() const = 0;
};

// Copies what is left to read of `from` into `to`. False when a read or a write fails.
bool CopyContents(OpenFile& from, OpenFile& to);

// The file system of the platform this program runs on.
FileSystem& SystemFileSystem();

}  // namespace qvr
