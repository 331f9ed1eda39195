// TQVRPacker: packs a folder tree into one archive file and unpacks such an archive
// into a folder. Configured through its properties, run by one synchronous call,
// Starten, which reports progress through OnProgress and ends every normal run with
// exactly one OnStatus.
//
// The run state lives at file scope of QVRPacker.cpp (one static transfer buffer),
// so only one run can be active in a process at a time.
//
// Events: an event without a handler is not raised, so a caller may leave out either.
// An error raised by a handler ends the run and reaches the caller of Starten; every
// file of the run is closed then, and no OnStatus follows.
//
// An unpack reads the archive through before it writes anything: a damaged archive ends
// the run with status 11 (a malformed record) or 14 (the archive ends inside a file's
// data) and leaves the destination as it was. The one error Starten raises instead of a
// status is EInOutError: a folder of the archive cannot be created.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Component.h"
#include "packer/ArchiveFormat.h"
#include "packer/PackerStatus.h"
#include "packer/SourceArchive.h"
#include "platform/FileSystem.h"

namespace qvr {
namespace archive {
class ArchiveReader;
class ArchiveWriter;
}  // namespace archive

enum TPackModeSet : std::uint8_t { Packen = 0, Entpacken = 1 };

using TOnProgress = std::function<void(std::int32_t Progress)>;
using TOnStatus = std::function<void(std::int32_t StatusCode, const std::string& StatusText)>;

class TQVRPacker : public TComponent {
 public:
  // The packer works on `fileSystem`, the platform's own unless a test injects one.
  explicit TQVRPacker(TComponent* owner = nullptr, FileSystem& fileSystem = SystemFileSystem());

  // Packen: the folder to pack and the archive file to create.
  // Entpacken: the archive file and the destination folder.
  // Folder paths may be given with or without a trailing delimiter.
  std::string QuellPfad;
  std::string ZielPfad;
  TPackModeSet PackModus = Packen;
  // Entpacken into a folder the caller holds open already, so that the destination it
  // checked is the one written to; ZielPfad then names it in messages only. Without it
  // the packer opens ZielPfad itself.
  Folder* ZielOrdner = nullptr;
  // Entpacken from an archive the caller opened and read through already; QuellPfad then
  // names it in messages only. Without it the packer opens and checks QuellPfad itself.
  SourceArchive* QuellArchiv = nullptr;
  // The code page of the names in the archive. Packing refuses a name it cannot hold
  // (status 11, or 10 for the packed folder's own name).
  CodePage ArchiveCodePage = CodePage::Windows1252();
  TOnProgress OnProgress;
  TOnStatus OnStatus;

  void Starten();

  // The status text of a code (PackerStatuses); "" for a code outside the table.
  static std::string StatusText(std::int32_t code);

  // Lets the application process its pending window messages after every chunk.
  // The window framework installs it; without one nothing happens.
  static void SetMessagePump(std::function<void()> pump);

  // The last run's failure: status 0 and an empty error after a run that succeeded.
  static const PackerFailure& LastFailure();
  // Progress figures of the current (or last) run: file data bytes moved so far and
  // the denominator of the percentage (sum of the file sizes, or the archive's size).
  static std::int64_t DoneBytes();
  static std::int64_t TotalBytes();

 private:
  void StatusMelden(std::int32_t code);
  // The run: the checks of the paths, then the unpack or the pack.
  PackerOutcome Run();
  PackerOutcome DateiEntpacken(SourceArchive& archive, Folder& target);
  PackerOutcome UnpackRecord(archive::ArchiveReader& reader, FolderPath& folders);
  void GesamtgroesseErmitteln(Folder& source);
  PackerOutcome OrdnerPacken(Folder& source, const std::string& rootName, Folder& target,
                             const std::string& archiveName);
  Result<bool, PackerFailure> PackFolder(archive::ArchiveWriter& writer, Folder& folder,
                                         const DirEntry& entry, std::uint32_t level);
  PackerOutcome PackFile(archive::ArchiveWriter& writer, Folder& folder, const DirEntry& entry,
                         std::uint32_t level);
  void ReportProgress();
  void Progress(std::int32_t value);

  FileSystem& fs_;
};

}  // namespace qvr
