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
// Errors raised by Starten instead of a status: EArchiveError (a malformed archive: a
// field that is not hexadecimal, or a name that is not one plain entry of a folder),
// EInOutError (a folder of the archive cannot be created).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Component.h"
#include "packer/ArchiveFormat.h"
#include "packer/PackerStatus.h"
#include "platform/FileSystem.h"

namespace qvr {
namespace archive {
class ArchiveReader;
}

enum TPackModeSet : std::uint8_t { Packen = 0, Entpacken = 1 };

using TOnProgress = std::function<void(std::int32_t Progress)>;
using TOnStatus = std::function<void(std::int32_t StatusCode, const std::string& StatusText)>;

// What went wrong in the last run that ended with a non-zero status, for tools that
// tell the user: the operation ("open", "create the archive", ...), the path it
// concerned, and the operating system's text or the reason the archive cannot hold it.
struct TPackerFailure {
  std::string Operation;
  std::string Path;
  std::string ErrorText;
};

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

  // The last run's failure; empty fields after a run with status 0.
  static const TPackerFailure& LastFailure();
  // Progress figures of the current (or last) run: file data bytes moved so far and
  // the denominator of the percentage (sum of the file sizes, or the archive's size).
  static std::int64_t DoneBytes();
  static std::int64_t TotalBytes();

 private:
  void StatusMelden(std::int32_t code);
  void DateiEntpacken();
  void GesamtgroesseErmitteln();
  void OrdnerPacken(const std::string& archiveName);
  void UnpackRecord(archive::ArchiveReader& reader, char* buffer);
  void PackFile(Folder& folder, const DirEntry& entry);
  bool PackFolder(const DirEntry& entry);
  bool AppendRecord(std::uint32_t reserve);
  bool FlushArchive();
  void ReportProgress();
  void Progress(std::int32_t value);

  FileSystem& fs_;
};

}  // namespace qvr
