// The file-system layer on POSIX systems. Names are raw bytes, the delimiter is '/',
// and the Windows notions the callers rely on (attribute words, share modes) are
// reproduced so that the packer behaves the same on every platform and an archive
// packed here is byte for byte reproducible.
#pragma once

#include "platform/FileSystem.h"

namespace qvr::posix {

class PosixFileSystem final : public FileSystem {
 public:
  char Delimiter() const override { return '/'; }
  bool SameName(std::string_view a, std::string_view b) const override { return a == b; }
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  Result<std::unique_ptr<Folder>> OpenFolder(const std::string& path,
                                             LinkAtPath link = LinkAtPath::Refused) override;
  Result<std::unique_ptr<OpenFile>> OpenShared(const std::string& path) override;
};

}  // namespace qvr::posix
