// The archives the setup benchmark installs: the product's folders with a generated
// payload, packed once by the packer and kept in the work folder for later runs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

namespace qvr::bench {

struct ArchiveShape {
  std::string name;  // "small", "large"
  int files = 0;     // payload files, besides the program, picture and fonts
  std::uint32_t fileSize = 0;
  int filesPerFolder = 0;  // the payload spread over folders of this many files
};

// The folder (ending with a backslash) that holds `QVRKDV2.QVP` of `shape` below
// `work`, packed first where no earlier run left it complete. Throws on a failure.
std::string PrepareArchive(FileSystem& fs, const std::string& work, const ArchiveShape& shape);

// Opens `name` in `parent` anew: whatever stood there is removed first.
std::unique_ptr<Folder> FreshFolder(Folder& parent, const std::string& name);

}  // namespace qvr::bench
