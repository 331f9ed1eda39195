#include "platform/FileSystem.h"

#include <vector>

namespace qvr {

bool CopyContents(OpenFile& from, OpenFile& to) {
  std::vector<char> buffer(1 << 18);
  for (;;) {
    std::uint32_t got = 0;
    std::uint32_t written = 0;
    if (!from.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), got)) return false;
    if (got == 0) return true;
    if (!to.Write(buffer.data(), got, written)) return false;
  }
}

bool PassOnRightsToAll(Folder& folder, Rights rights) {
  const std::unique_ptr<DirectorySearch> listing = folder.List();
  if (!listing) return false;
  DirEntry entry;
  while (listing->Next(entry)) {
    if (entry.name == "." || entry.name == "..") continue;
    if (!folder.PassOnRights(entry.name, rights)) return false;
  }
  return true;
}

bool CopyPlainFile(Folder& from, std::string_view name, Folder& to) {
  const std::unique_ptr<OpenFile> source = from.Open(name, Names::One);
  if (!source) return false;
  // Failing where an entry exists is one atomic step: no other file can be overwritten.
  std::unique_ptr<OpenFile> target = to.Create(name, IfExists::Fail);
  if (!target) return false;
  if (CopyContents(*source, *target)) return true;
  target.reset();
  to.Remove(name);
  return false;
}

}  // namespace qvr
