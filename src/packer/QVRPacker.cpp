#include "packer/QVRPacker.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "packer/ArchiveReader.h"
#include "packer/PackerStatus.h"

namespace qvr {
namespace {

using archive::kChunkSize;
using archive::kMaxLevel;

// One open folder listing of the walk: the folder, its listing and the entry it holds.
struct Listing {
  std::unique_ptr<Folder> owned;  // a subfolder the walk opened
  Folder* folder = nullptr;       // the folder listed: `owned`, or the packed folder
  std::unique_ptr<DirectorySearch> search;
  DirEntry entry;
};

// Everything a run works with. Shared by all packer instances: one run at a time.
struct RunState {
  std::string rootName;     // the packed folder's name in the archive's code page
  std::string encodedName;  // the current entry's name in the archive's code page
  std::string recordText;
  std::string relativePath;  // empty or ending with the delimiter
  std::int32_t status = 0;
  std::int32_t depth = 0;
  std::int64_t totalBytes = 0;
  std::int64_t doneBytes = 0;
  std::int64_t memberCopied = 0;
  std::int64_t memberSize = 0;
  std::unique_ptr<OpenFile> input;
  std::unique_ptr<OpenFile> output;
  std::uint32_t bytesRead = 0;
  std::uint32_t bytesWritten = 0;
  std::uint32_t pending = 0;  // archive bytes gathered in the transfer buffer (packing)
  // The file chunks among them, each reported as done once the write succeeded.
  std::vector<std::uint32_t> pendingChunks;
  std::string sourcePath;  // QuellPfad, ending with the delimiter when it names a folder
  std::string targetPath;  // ZielPfad, ending with the delimiter when it names a folder
  // Packing: the packed folder and one open listing per depth below it.
  std::unique_ptr<Folder> source;
  std::array<Listing, kMaxLevel> listings;
  // Unpacking: the destination, and the folders of the current path below it, each held
  // open while its entries are created, so that none can be swapped for a link meanwhile.
  std::unique_ptr<Folder> target;
  std::vector<std::unique_ptr<Folder>> openFolders;
  TPackerFailure failure;
  bool active = false;
};

RunState run;
// One static transfer buffer for record texts and data chunks: no allocation per chunk.
alignas(64) unsigned char transferBuffer[kChunkSize];
std::function<void()> messagePump;

// Marks the run active and, however it ends (status or error), closes every file and
// listing it left open.
class RunScope {
 public:
  RunScope() {
    if (run.active) throw Exception("TQVRPacker.Starten: a run is already active");
    run.active = true;
  }
  ~RunScope() {
    run.input.reset();
    run.output.reset();
    for (Listing& l : run.listings) l = Listing{};
    run.source.reset();
    run.openFolders.clear();
    run.target.reset();
    run.active = false;
  }
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

void LeaveFolder(std::string& relativePath, char delimiter) {
  if (relativePath.empty()) return;
  relativePath.pop_back();
  const std::size_t found = relativePath.rfind(delimiter);
  relativePath.erase(found == std::string::npos ? 0 : found + 1);
}

bool IsDotEntry(const std::string& name) {
  return name == "." || name == "..";
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

// Sets the status of the run, unless an earlier failure set it, and keeps what went wrong.
void Fail(std::int32_t status, std::string operation, std::string path, std::string text) {
  if (run.status != 0) return;
  run.status = status;
  run.failure = TPackerFailure{std::move(operation), std::move(path), std::move(text)};
}

// The walk of the source tree shared by the size count and the pack: depth first, a
// folder before its contents, one open folder and listing per depth, each subfolder
// opened through its parent's handle. `onFolder` returns whether the walk enters the
// folder; a set status closes every listing, deepest first. A folder that cannot be
// opened or listed has no entries.
template <class OnFolder, class OnFile>
void WalkSource(FileSystem& fs, OnFolder onFolder, OnFile onFile) {
  const char delimiter = fs.Delimiter();
  auto startListing = [](Listing& l, Folder* folder) {
    l.folder = folder;
    l.search = folder ? folder->List() : nullptr;
  };

  run.depth = 1;
  run.relativePath.clear();
  startListing(run.listings[0], run.source.get());
  while (run.depth > 0) {
    Listing& l = run.listings[run.depth - 1];
    if (!l.search || !l.search->Next(l.entry) || run.status != 0) {
      l = Listing{};
      --run.depth;
      LeaveFolder(run.relativePath, delimiter);
      continue;
    }
    if (IsDotEntry(l.entry.name)) continue;
    if (l.entry.attributes == attr::kDirectory) {
      if (!onFolder(l.entry)) continue;
      run.relativePath += l.entry.name;
      run.relativePath.push_back(delimiter);
      Listing& inner = run.listings[run.depth++];
      inner.owned = l.folder->OpenFolder(l.entry.name);
      startListing(inner, inner.owned.get());
    } else {
      onFile(*l.folder, l.entry);
    }
  }
}

}  // namespace

TQVRPacker::TQVRPacker(TComponent* owner, FileSystem& fileSystem)
    : TComponent(owner), PackModus(Packen), fs_(fileSystem) {}

void TQVRPacker::SetMessagePump(std::function<void()> pump) {
  messagePump = std::move(pump);
}

const TPackerFailure& TQVRPacker::LastFailure() {
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
  run.status = 0;
  run.failure = TPackerFailure{};
  run.doneBytes = 0;
  run.totalBytes = 0;
  Progress(0);

  const char delimiter = fs_.Delimiter();
  if (IsBlank(QuellPfad) || IsBlank(ZielPfad)) {
    Fail(status::kNoPaths, "start", "", "no source or destination path was given");
  } else if (PackModus == Packen) {
    const std::size_t folderPart = FolderPartLength(ZielPfad, delimiter);
    // Each folder is looked up once, here; the run goes on through the handles.
    if (!(run.source = fs_.OpenFolder(QuellPfad))) {
      Fail(status::kSourceNotFound, "find the folder", QuellPfad, fs_.LastErrorText());
    } else if (ZielPfad.back() == delimiter) {
      Fail(status::kArchiveNameMissing, "create the archive", ZielPfad,
           "the archive path names a folder, not a file");
    } else if (folderPart == 0) {
      Fail(status::kTargetNotFound, "find the folder of", ZielPfad,
           "the archive path names no folder");
    } else if (!(run.target = fs_.OpenFolder(ZielPfad.substr(0, folderPart)))) {
      Fail(status::kTargetNotFound, "find the folder", ZielPfad.substr(0, folderPart),
           fs_.LastErrorText());
    } else {
      run.sourcePath = WithDelimiter(QuellPfad, delimiter);
      run.targetPath = ZielPfad;
      // A root name the format cannot hold fails before anything is walked or created.
      const std::string folder = run.sourcePath.substr(0, run.sourcePath.size() - 1);
      const std::string rootName = folder.substr(FolderPartLength(folder, delimiter));
      if (rootName.empty()) {
        Fail(status::kArchiveNotCreated, "pack", run.sourcePath,
             "a drive root has no folder name to store in the archive");
      } else if (std::string problem = archive::EncodeName(rootName, ArchiveCodePage,
                                                           archive::kWriterRules, run.rootName);
                 !problem.empty()) {
        Fail(status::kArchiveNotCreated, "pack", run.sourcePath, std::move(problem));
      } else {
        GesamtgroesseErmitteln();
        OrdnerPacken(ZielPfad.substr(folderPart));
      }
    }
  } else {
    if (!fs_.FileExists(QuellPfad)) {
      Fail(status::kArchiveNotFound, "find the archive", QuellPfad, fs_.LastErrorText());
    } else if (!ZielOrdner && !(run.target = fs_.OpenFolder(ZielPfad))) {
      Fail(status::kTargetNotFound, "find the folder", ZielPfad, fs_.LastErrorText());
    } else {
      run.sourcePath = QuellPfad;
      run.targetPath = WithDelimiter(ZielPfad, delimiter);
      DateiEntpacken();
    }
  }
  StatusMelden(run.status);
}

void TQVRPacker::DateiEntpacken() {
  char* const buffer = reinterpret_cast<char*>(transferBuffer);
  run.doneBytes = 0;

  run.input = fs_.OpenShared(run.sourcePath);
  if (!run.input) {
    Fail(status::kArchiveNotCreated, "open the archive", run.sourcePath, fs_.LastErrorText());
    return;
  }
  // From the open file itself: a name looked up again could match something else.
  std::uint64_t archiveSize = 0;
  if (!run.input->Size(archiveSize)) {
    Fail(status::kArchiveNotCreated, "read the size of the archive", run.sourcePath,
         fs_.LastErrorText());
    return;
  }
  run.totalBytes = static_cast<std::int64_t>(archiveSize);
  archive::ArchiveReader reader(fs_, *run.input, ArchiveCodePage, run.sourcePath, run.targetPath,
                                "unpack");
  while (run.status == 0 && reader.Next()) UnpackRecord(reader, buffer);
  if (const archive::ReadFailure& f = reader.Failure(); reader.Failed()) {
    Fail(f.status, f.operation, f.path, f.text);
  } else if (run.status == 0) {
    Progress(100);
  }
  run.input.reset();
}

// One record, created in the folder that the record's path leads to: the folders of the
// path stay open from record to record and are cut back to the record's level.
void TQVRPacker::UnpackRecord(archive::ArchiveReader& reader, char* buffer) {
  const archive::Record& record = reader.Current();
  run.openFolders.resize(reader.Depth() - (record.folder ? 1 : 0));
  Folder& folder = run.openFolders.empty() ? (ZielOrdner ? *ZielOrdner : *run.target)
                                           : *run.openFolders.back();
  if (record.folder) {
    // A link standing in the destination is not entered: it fails the creation.
    std::unique_ptr<Folder> created = folder.CreateFolder(record.name);
    if (!created) {
      const std::string path = run.targetPath + reader.Path();
      throw EInOutError("Cannot create the folder \"" + path.substr(0, path.size() - 1) +
                            "\": " + fs_.LastErrorText(),
                        0);
    }
    run.openFolders.push_back(std::move(created));
    return;
  }
  if (!reader.CheckSize()) return;
  const std::string member = run.targetPath + reader.Path();
  run.output = folder.Create(record.name, IfExists::Replace);
  if (!run.output) {
    Fail(status::kFileNotOpened, "create", member, fs_.LastErrorText());
    return;
  }
  reader.CopyData(buffer, kChunkSize, [this, &member](const char* data, std::uint32_t size) {
    if (!run.output->Write(data, size, run.bytesWritten) || run.bytesWritten != size) {
      Fail(status::kFileIo, "write", member, fs_.LastErrorText());
      return false;
    }
    run.doneBytes += run.bytesWritten;
    ReportProgress();
    return true;
  });
  run.output.reset();
}

void TQVRPacker::GesamtgroesseErmitteln() {
  run.totalBytes = 0;
  WalkSource(
      fs_, [](const DirEntry&) { return run.depth < kMaxLevel; },
      [](Folder&, const DirEntry& entry) {
        run.totalBytes += static_cast<std::int64_t>(entry.size);
      });
}

// The archive is written through the transfer buffer: records and files that fit
// beside them are gathered there and go out in one write once the next does not fit,
// instead of two small writes per file. Larger files go out in whole chunks. Gathered
// files count as done only once that write has succeeded; then each raises its own
// progress event, as a file copied alone does.
bool TQVRPacker::FlushArchive() {
  if (run.pending == 0) return true;
  const std::uint32_t length = std::exchange(run.pending, 0);
  if (!run.output->Write(transferBuffer, length, run.bytesWritten) || run.bytesWritten != length) {
    run.pendingChunks.clear();
    Fail(status::kArchiveIo, "write to the archive", run.targetPath, fs_.LastErrorText());
    return false;
  }
  // Also after a later file failed: these chunks were read before it and are written.
  for (const std::uint32_t size : run.pendingChunks) {
    run.doneBytes += size;
    ReportProgress();
  }
  run.pendingChunks.clear();
  return true;
}

bool TQVRPacker::AppendRecord(std::uint32_t reserve) {
  const auto length = static_cast<std::uint32_t>(run.recordText.size());
  if (run.pending + length + reserve > kChunkSize && !FlushArchive()) return false;
  std::copy(run.recordText.begin(), run.recordText.end(), transferBuffer + run.pending);
  run.pending += length;
  return true;
}

bool TQVRPacker::PackFolder(const DirEntry& entry) {
  const std::string path = run.sourcePath + run.relativePath + entry.name;
  if (std::string problem =
          archive::EncodeName(entry.name, ArchiveCodePage, archive::kWriterRules, run.encodedName);
      !problem.empty()) {
    Fail(status::kArchiveIo, "store", path, std::move(problem));
    return false;
  }
  if (run.depth >= kMaxLevel) {
    Fail(status::kArchiveIo, "store", path, "the folder tree is deeper than 250 levels");
    return false;
  }
  archive::FormatFolderRecord(run.recordText, run.encodedName,
                              static_cast<std::uint32_t>(run.depth));
  return AppendRecord(0);
}

void TQVRPacker::PackFile(Folder& folder, const DirEntry& entry) {
  const std::string path = run.sourcePath + run.relativePath + entry.name;
  if (std::string problem =
          archive::EncodeName(entry.name, ArchiveCodePage, archive::kWriterRules, run.encodedName);
      !problem.empty()) {
    Fail(status::kArchiveIo, "store", path, std::move(problem));
    return;
  }
  if (entry.size > static_cast<std::uint64_t>(archive::kMaxFileSize)) {
    Fail(status::kSizeMismatch, "store", path,
         "the file is 2 GiB or larger, which the format cannot hold");
    return;
  }
  run.input = folder.Open(entry.name);
  if (!run.input) {
    // Only a bare folder is entered; one with further attributes is packed as a file,
    // and the system's "is a directory" or "access denied" would not tell why.
    Fail(status::kFileNotOpened, "open", path,
         (entry.attributes & attr::kDirectory) != 0
             ? "it is a folder with further attributes (read-only, hidden, system or archive), "
               "which is packed as a file"
             : fs_.LastErrorText());
    return;
  }
  archive::FormatFileRecord(run.recordText, run.encodedName, static_cast<std::uint32_t>(run.depth),
                            static_cast<std::uint32_t>(entry.size));
  run.memberSize = static_cast<std::int64_t>(entry.size);
  run.memberCopied = 0;
  // A gathered file keeps at least one byte of room behind it, so that growth since the
  // listing always shows, also for an empty file that would fill the buffer exactly.
  const bool gather = run.recordText.size() + entry.size < kChunkSize;
  if (!AppendRecord(gather ? static_cast<std::uint32_t>(entry.size) + 1 : 0) ||
      (!gather && !FlushArchive())) {
    run.input.reset();
    return;
  }
  do {
    // A gathered file is read behind the pending records, asking for all the room left,
    // so that a file grown since it was listed shows as more than its size.
    unsigned char* const chunk = gather ? transferBuffer + run.pending : transferBuffer;
    if (!run.input->Read(chunk, kChunkSize - (gather ? run.pending : 0), run.bytesRead)) {
      Fail(status::kFileIo, "read", path, fs_.LastErrorText());
      break;
    }
    if (run.bytesRead == 0 && run.memberCopied < run.memberSize) {
      Fail(status::kSizeMismatch, "pack", path, "the file became shorter while it was packed");
      break;
    }
    if (gather) {
      run.pending += run.bytesRead;
      run.pendingChunks.push_back(run.bytesRead);
      run.memberCopied += run.bytesRead;
      continue;
    }
    if (!run.output->Write(chunk, run.bytesRead, run.bytesWritten) ||
        run.bytesWritten != run.bytesRead) {
      Fail(status::kArchiveIo, "write to the archive", run.targetPath, fs_.LastErrorText());
      break;
    }
    run.memberCopied += run.bytesWritten;
    run.doneBytes += run.bytesWritten;
    ReportProgress();
  } while (run.memberCopied < run.memberSize);
  run.input.reset();
  if (run.memberCopied != run.memberSize) {
    Fail(status::kSizeMismatch, "pack", path, "the file changed its size while it was packed");
  }
}

void TQVRPacker::OrdnerPacken(const std::string& archiveName) {
  run.depth = 1;
  run.relativePath.clear();
  run.doneBytes = 0;

  run.output = run.target->Create(archiveName, IfExists::Replace);
  if (!run.output) {
    Fail(status::kArchiveNotCreated, "create the archive", run.targetPath, fs_.LastErrorText());
    return;
  }
  run.pending = 0;
  run.pendingChunks.clear();
  archive::FormatFolderRecord(run.recordText, run.rootName, 1);
  try {
    if (AppendRecord(0)) {
      WalkSource(
          fs_, [this](const DirEntry& entry) { return PackFolder(entry); },
          [this](Folder& folder, const DirEntry& entry) { PackFile(folder, entry); });
    }
  } catch (...) {
    // An error raised by a handler ends the run; what was gathered before it stays in
    // the archive, written without raising another event.
    run.pendingChunks.clear();
    FlushArchive();
    throw;
  }
  // Also after a failure: what was packed up to it stays in the archive.
  FlushArchive();
  run.output.reset();
  if (run.status == 0) Progress(100);
}

}  // namespace qvr
