#include "packer/SourceArchive.h"

#include <algorithm>

#include "packer/ArchiveReader.h"

namespace qvr {

PackerOutcome SourceArchive::Find(FileSystem& fs, const std::string& path) {
  if (fs.FileExists(path)) return {};
  return WithStatus(
      status::kArchiveNotFound,
      Refusal("find the archive", path,
              fs.DirectoryExists(path) ? FileReason::IsFolder : FileReason::NotFound));
}

Result<SourceArchive, PackerFailure> SourceArchive::Open(FileSystem& fs, const std::string& path,
                                                         const CodePage& codePage) {
  Result<std::unique_ptr<OpenFile>> opened = fs.OpenShared(path);
  if (!opened) return WithStatus(status::kArchiveNotCreated, opened.TakeError());
  // From the open file itself: a name looked up again could match something else.
  Result<std::uint64_t> size = (*opened)->Size();
  if (!size) return WithStatus(status::kArchiveNotCreated, size.TakeError());
  archive::ArchiveReader reader(**opened, *size, codePage, archive::RulesFor(fs), fs.Delimiter(),
                                "", "unpack");
  std::vector<std::string> folders;
  if (std::optional<PackerFailure> damaged = reader.ReadThrough(&folders)) {
    return *std::move(damaged);
  }
  return SourceArchive(opened.Take(), *size, std::move(folders));
}

bool SourceArchive::HoldsFolder(const std::vector<std::string_view>& names,
                                const FileSystem& fs) const {
  std::string path;
  for (const std::string_view name : names) (path += name) += fs.Delimiter();
  return std::any_of(folders_.begin(), folders_.end(),
                     [&](const std::string& folder) { return fs.SameName(folder, path); });
}

}  // namespace qvr
