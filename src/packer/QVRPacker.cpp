#include "packer/QVRPacker.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "packer/ArchiveReader.h"
#include "packer/ArchiveWriter.h"
#include "packer/PackerStatus.h"

namespace qvr {
namespace {

using archive::kChunkSize;
using archive::kMaxLevel;

// What a run keeps beyond one call: its outcome and the figures of its progress, which a
// progress display reads while the run goes on. Shared by all packer instances: one run
// at a time.
struct RunState {
  PackerFailure failure;
  std::int64_t totalBytes = 0;
  std::int64_t doneBytes = 0;
  bool active = false;
};

RunState run;
// One static transfer buffer for record texts and data chunks: no allocation per chunk.
alignas(64) unsigned char transferBuffer[kChunkSize];
std::function<void()> messagePump;

// Marks the run active, however it ends (status or error).
class RunScope {
 public:
  RunScope() {
    if (run.active) throw Exception("TQVRPacker.Starten: a run is already active");
    run = RunState{};
    run.active = true;
  }
  ~RunScope() { run.active = false; }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;
};

bool IsBlank(const std::string& s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string WithDelimiter(std::string path, char delimiter) {
  if (!path.empty() && path.back() != delimiter) path.push_back(delimiter);
  return path;
}

// Position just past the folder part of a path: after its last delimiter or, where the
// delimiter is a backslash, its drive colon. 0 when it has neither.
std::size_t FolderPartLength(const std::string& path, char delimiter) {
  const std::size_t found =
      delimiter == '\\' ? path.find_last_of("\\:") : path.find_last_of(delimiter);
  return found == std::string::npos ? 0 : found + 1;
}

// Percentage of the done bytes, the quotient taken in extended precision and truncated.
// Nothing to count (a total of 0) reads as complete; the value never passes 100.
std::int32_t Percent(std::int64_t done, std::int64_t total) {
  if (total <= 0) return 100;
  const long double quotient = static_cast<long double>(done) / static_cast<long double>(total);
  const long double percent = quotient * 100;
  if (percent >= 100) return 100;
  if (percent <= 0) return 0;
  return static_cast<std::int32_t>(percent);
}

PackerFailure Refused(std::int32_t status, const char* operation, std::string path,
                      std::string why) {
  return WithStatus(status,
                    FileError{operation, std::move(path), FileReason::Other, std::move(why)});
}

// The walk of the source tree shared by the size count and the pack: depth first, a
// folder before its contents, one open folder and listing per depth, each subfolder
// opened through its parent's handle. `onFolder(folder, entry, depth)` says whether the
// walk enters a folder, `onFile(folder, entry, depth)` takes a file; a failure of either
// ends the walk. A folder that cannot be opened or listed has no entries.
template <class OnFolder, class OnFile>
PackerOutcome WalkSource(Folder& source, OnFolder onFolder, OnFile onFile) {
  struct Level {
    std::unique_ptr<Folder> held;
    Folder* folder;
    std::vector<DirEntry> entries;
    std::size_t next = 0;
  };
  const auto listed = [](Folder& folder) {
    Result<std::vector<DirEntry>> entries = folder.List();
    return entries ? entries.Take() : std::vector<DirEntry>();
  };
  std::vector<Level> levels;
  levels.push_back({nullptr, &source, listed(source)});
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.entries.size()) {
      levels.pop_back();
      continue;
    }
    const DirEntry entry = level.entries[level.next++];
    Folder& folder = *level.folder;
    const auto depth = static_cast<std::uint32_t>(levels.size());
    // Only a bare folder is entered; one with further attributes is taken as a file.
    if (entry.attributes != attr::kDirectory) {
      if (PackerOutcome taken = onFile(folder, entry, depth); !taken) return taken;
      continue;
    }
    Result<bool, PackerFailure> enter = onFolder(folder, entry, depth);
    if (!enter) return enter.TakeError();
    if (!*enter) continue;
    Result<std::unique_ptr<Folder>> inner = folder.OpenFolder(entry.name);
    std::unique_ptr<Folder> held = inner ? inner.Take() : nullptr;
    std::vector<DirEntry> entries = held ? listed(*held) : std::vector<DirEntry>();
    Folder* const raw = held.get();
    levels.push_back({std::move(held), raw, std::move(entries)});
  }
  return {};
}

}  // namespace

TQVRPacker::TQVRPacker(TComponent* owner, FileSystem& fileSystem)
    : TComponent(owner), PackModus(Packen), fs_(fileSystem) {}

void TQVRPacker::SetMessagePump(std::function<void()> pump) {
  messagePump = std::move(pump);
}

const PackerFailure& TQVRPacker::LastFailure() {
  return run.failure;
}
std::int64_t TQVRPacker::DoneBytes() {
  return run.doneBytes;
}
std::int64_t TQVRPacker::TotalBytes() {
  return run.totalBytes;
}

std::string TQVRPacker::StatusText(std::int32_t code) {
  for (const PackerStatusEntry& entry : PackerStatuses()) {
    if (entry.code == code) return entry.text;
  }
  return "";
}

void TQVRPacker::Progress(std::int32_t value) {
  if (OnProgress) OnProgress(value);
}

void TQVRPacker::ReportProgress() {
  Progress(Percent(run.doneBytes, run.totalBytes));
  if (messagePump) messagePump();
}

void TQVRPacker::StatusMelden(std::int32_t code) {
  if (OnStatus) OnStatus(code, StatusText(code));
}

void TQVRPacker::Starten() {
  RunScope scope;
  Progress(0);
  if (PackerOutcome outcome = Run(); !outcome) run.failure = outcome.TakeError();
  if (run.failure.status == status::kFolderNotCreated) {
    throw EInOutError(run.failure.error.Message(), 0);
  }
  StatusMelden(run.failure.status);
}

PackerOutcome TQVRPacker::Run() {
  const char delimiter = fs_.Delimiter();
  if (IsBlank(QuellPfad) || IsBlank(ZielPfad)) {
    return Refused(status::kNoPaths, "start", "", "no source or destination path was given");
  }
  if (PackModus == Entpacken) {
    // Each is looked up once, here, unless the caller holds it already; the run goes on
    // through the handles. The archive is read through before anything is written.
    if (!QuellArchiv) {
      if (PackerOutcome found = SourceArchive::Find(fs_, QuellPfad); !found) return found;
    }
    std::unique_ptr<Folder> target;
    if (!ZielOrdner) {
      Result<std::unique_ptr<Folder>> found = fs_.OpenFolder(ZielPfad);
      if (!found) return WithStatus(status::kTargetNotFound, found.TakeError());
      target = found.Take();
    }
    std::optional<SourceArchive> opened;
    if (!QuellArchiv) {
      Result<SourceArchive, PackerFailure> archive =
          SourceArchive::Open(fs_, QuellPfad, ArchiveCodePage);
      if (!archive) return archive.TakeError();
      opened.emplace(archive.Take());
    }
    return DateiEntpacken(QuellArchiv ? *QuellArchiv : *opened, ZielOrdner ? *ZielOrdner : *target);
  }
  // The folders are input, named by the caller: a link to one is followed.
  Result<std::unique_ptr<Folder>> source = fs_.OpenFolder(QuellPfad, LinkAtPath::Followed);
  if (!source) return WithStatus(status::kSourceNotFound, source.TakeError());
  if (ZielPfad.back() == delimiter) {
    return Refused(status::kArchiveNameMissing, "create the archive", ZielPfad,
                   "the archive path names a folder, not a file");
  }
  const std::size_t folderPart = FolderPartLength(ZielPfad, delimiter);
  if (folderPart == 0) {
    return Refused(status::kTargetNotFound, "find the folder of", ZielPfad,
                   "the archive path names no folder");
  }
  Result<std::unique_ptr<Folder>> target =
      fs_.OpenFolder(ZielPfad.substr(0, folderPart), LinkAtPath::Followed);
  if (!target) return WithStatus(status::kTargetNotFound, target.TakeError());
  // A root name the format cannot hold fails before anything is walked or created.
  const std::string sourcePath = WithDelimiter(QuellPfad, delimiter);
  const std::string folder = sourcePath.substr(0, sourcePath.size() - 1);
  const std::string rootName = folder.substr(FolderPartLength(folder, delimiter));
  std::string encoded;
  if (rootName.empty()) {
    return Refused(status::kArchiveNotCreated, "pack", sourcePath,
                   "a drive root has no folder name to store in the archive");
  }
  if (std::string problem =
          archive::EncodeName(rootName, ArchiveCodePage, archive::kWriterRules, encoded);
      !problem.empty()) {
    return Refused(status::kArchiveNotCreated, "pack", sourcePath, std::move(problem));
  }
  GesamtgroesseErmitteln(**source);
  return OrdnerPacken(**source, encoded, **target, ZielPfad.substr(folderPart));
}

PackerOutcome TQVRPacker::DateiEntpacken(SourceArchive& archive, Folder& target) {
  run.doneBytes = 0;
  run.totalBytes = static_cast<std::int64_t>(archive.Size());
  if (Result<void> start = archive.File().Seek(0); !start) {
    return WithStatus(status::kArchiveIo, start.TakeError());
  }
  archive::ArchiveReader reader(archive.File(), archive.Size(), ArchiveCodePage,
                                archive::RulesFor(fs_), fs_.Delimiter(), target.Path(), "unpack");
  // The folders of the current record's path, each held open while its entries are
  // created, so that none can be swapped for a link meanwhile.
  FolderPath folders(target);
  while (reader.Next()) {
    if (PackerOutcome unpacked = UnpackRecord(reader, folders); !unpacked) return unpacked;
  }
  if (reader.Failure()) return *reader.Failure();
  Progress(100);
  return {};
}

// One record, created in the folder that the record's path leads to: the folders of the
// path stay open from record to record and are cut back to the record's level.
PackerOutcome TQVRPacker::UnpackRecord(archive::ArchiveReader& reader, FolderPath& folders) {
  const archive::Record& record = reader.Current();
  folders.CutTo(reader.Depth() - (record.folder ? 1 : 0));
  Folder& folder = folders.Current();
  if (record.folder) {
    // A link standing in the destination is not entered: it fails the creation.
    Result<std::unique_ptr<Folder>> created = folder.OpenOrCreateFolder(record.name);
    if (!created) return WithStatus(status::kFolderNotCreated, created.TakeError());
    folders.Enter(created.Take());
    return {};
  }
  Result<std::unique_ptr<OpenFile>> member = folder.Create(record.name, IfExists::Replace);
  if (!member) return WithStatus(status::kFileNotOpened, member.TakeError());
  OpenFile& output = **member;
  const bool copied =
      reader.CopyData(reinterpret_cast<char*>(transferBuffer), kChunkSize,
                      [this, &output](const char* data, std::uint32_t size) -> PackerOutcome {
                        if (Result<void> written = output.Write(data, size); !written) {
                          return WithStatus(status::kFileIo, written.TakeError());
                        }
                        run.doneBytes += size;
                        ReportProgress();
                        return {};
                      });
  if (!copied) return *reader.Failure();
  return {};
}

void TQVRPacker::GesamtgroesseErmitteln(Folder& source) {
  run.totalBytes = 0;
  static_cast<void>(WalkSource(
      source,
      [](Folder&, const DirEntry&, std::uint32_t depth) -> Result<bool, PackerFailure> {
        return depth < kMaxLevel;
      },
      [](Folder&, const DirEntry& entry, std::uint32_t) -> PackerOutcome {
        run.totalBytes += static_cast<std::int64_t>(entry.size);
        return {};
      }));
}

PackerOutcome TQVRPacker::OrdnerPacken(Folder& source, const std::string& rootName, Folder& target,
                                       const std::string& archiveName) {
  run.doneBytes = 0;
  Result<std::unique_ptr<OpenFile>> created = target.Create(archiveName, IfExists::Replace);
  if (!created) return WithStatus(status::kArchiveNotCreated, created.TakeError());
  archive::ArchiveWriter writer(**created, transferBuffer, run.doneBytes,
                                [this] { ReportProgress(); });
  PackerOutcome packed;
  try {
    packed = writer.AddFolder(rootName, 1);
    if (packed) {
      packed = WalkSource(
          source,
          [&](Folder& folder, const DirEntry& entry, std::uint32_t depth) {
            return PackFolder(writer, folder, entry, depth);
          },
          [&](Folder& folder, const DirEntry& entry, std::uint32_t depth) {
            return PackFile(writer, folder, entry, depth);
          });
    }
  } catch (...) {
    // An error raised by a handler ends the run; what was gathered before it stays in
    // the archive, written without raising another event.
    static_cast<void>(writer.Flush(false));
    throw;
  }
  // Also after a failure: what was packed up to it stays in the archive.
  PackerOutcome flushed = writer.Flush();
  if (!packed) return packed;
  if (!flushed) return flushed;
  Progress(100);
  return {};
}

Result<bool, PackerFailure> TQVRPacker::PackFolder(archive::ArchiveWriter& writer, Folder& folder,
                                                   const DirEntry& entry, std::uint32_t level) {
  const std::string path = folder.Path() + entry.name;
  std::string name;
  if (std::string problem =
          archive::EncodeName(entry.name, ArchiveCodePage, archive::kWriterRules, name);
      !problem.empty()) {
    return Refused(status::kArchiveIo, "store", path, std::move(problem));
  }
  if (level >= static_cast<std::uint32_t>(kMaxLevel)) {
    return Refused(status::kArchiveIo, "store", path, "the folder tree is deeper than 250 levels");
  }
  if (PackerOutcome added = writer.AddFolder(name, level); !added) return added.TakeError();
  return true;
}

PackerOutcome TQVRPacker::PackFile(archive::ArchiveWriter& writer, Folder& folder,
                                   const DirEntry& entry, std::uint32_t level) {
  const std::string path = folder.Path() + entry.name;
  std::string name;
  if (std::string problem =
          archive::EncodeName(entry.name, ArchiveCodePage, archive::kWriterRules, name);
      !problem.empty()) {
    return Refused(status::kArchiveIo, "store", path, std::move(problem));
  }
  if (entry.size > static_cast<std::uint64_t>(archive::kMaxFileSize)) {
    return Refused(status::kSizeMismatch, "store", path,
                   "the file is 2 GiB or larger, which the format cannot hold");
  }
  Result<std::unique_ptr<OpenFile>> input = folder.Open(entry.name);
  if (!input) {
    FileError error = input.TakeError();
    // Only a bare folder is entered; one with further attributes is packed as a file,
    // and the system's "is a directory" or "access denied" would not tell why.
    if ((entry.attributes & attr::kDirectory) != 0) {
      error.systemText =
          "it is a folder with further attributes (read-only, hidden, system or archive), "
          "which is packed as a file";
    }
    return WithStatus(status::kFileNotOpened, std::move(error));
  }
  return writer.AddFile(**input, name, level, entry.size);
}

}  // namespace qvr
