// The file-system layer: the few file operations the packer and the setup need, behind
// one interface so that the Win32 and POSIX backends and the test fakes (fault
// injection) are interchangeable.
//
// A path is looked up only where a caller names one (the archive, the destination, the
// packed folder); everything below the folder opened there is reached through its held
// handle (platform/Folder.h), so a folder swapped for a link while a run goes on cannot
// lead it elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileError.h"
#include "platform/Folder.h"

namespace qvr {

// Whether a link standing at a path that a caller names is followed there. Input may be
// named through one (the folder to pack, the folder of an archive); a folder that is
// written to and secured may not.
enum class LinkAtPath : std::uint8_t { Refused, Followed };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The path delimiter of this file system: '\\' on Windows, '/' on POSIX.
  virtual char Delimiter() const = 0;
  // Whether two names name the same entry of a folder: Windows ignores case.
  virtual bool SameName(std::string_view a, std::string_view b) const = 0;

  // True for an existing file that is not a folder; a link to a file counts.
  virtual bool FileExists(const std::string& path) = 0;
  // True for an existing folder. A path may end with a delimiter. Links among the folders
  // above it are followed, as the caller named them; one at the path itself is not: a
  // link to a folder is not a folder.
  virtual bool DirectoryExists(const std::string& path) = 0;

  // Opens the folder at `path` (which may end with a delimiter). Links among the folders
  // above it are followed, as the caller named them; one standing at the path itself only
  // where `link` says so, else IsLink.
  virtual Result<std::unique_ptr<Folder>> OpenFolder(const std::string& path,
                                                     LinkAtPath link = LinkAtPath::Refused) = 0;
  // Opens the file at `path` for reading; others may go on reading and writing it. The
  // file is input, so a link to it is followed.
  virtual Result<std::unique_ptr<OpenFile>> OpenShared(const std::string& path) = 0;
};

// The file system of the platform this program runs on.
FileSystem& SystemFileSystem();

}  // namespace qvr
