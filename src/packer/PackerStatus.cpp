#include "packer/PackerStatus.h"

namespace qvr {
namespace {

constexpr PackerStatusEntry kStatuses[] = {
    {status::kOk, "OK", "success"},
    {status::kNoPaths, "Kein Quell/Zielpfad angegeben", "no source or destination path given"},
    {status::kSourceNotFound, "Der zu packende Ordner wurde nicht gefunden",
     "the folder to pack was not found"},
    {status::kArchiveNameMissing, "Zieldateiname fehlt", "the archive path names a folder"},
    {status::kTargetNotFound, "Zielpfad nicht gefunden",
     "the destination folder (or the archive's folder) was not found"},
    {status::kArchiveNotFound, "Zu entpackende Datei nicht gefunden",
     "the archive to unpack was not found"},
    {status::kFileAccess, "Fehler beim Dateizugriff", nullptr},
    {status::kArchiveNotCreated, "Fehler beim Erzeugen der Pack-Zieldatei",
     "the archive cannot be created or opened; also when the folder to pack is a\n"
     "drive root or has a name the archive cannot hold"},
    {status::kArchiveIo, "Fehler beim Schreiben in die Pack-Zieldatei",
     "a write to the archive or a read from it failed or the archive ends inside a\n"
     "record; also when an entry cannot be stored: a name longer than 127 bytes, one\n"
     "with a character the code page cannot hold, one Windows does not allow (on\n"
     "every system: a device name such as aux.txt, a trailing dot or space, a\n"
     "character of <>:\"/\\|?* or a control character), or a tree deeper than 250\n"
     "levels"},
    {status::kFileNotOpened, "Fehler beim Öffnen einer Datei",
     "a file cannot be opened (packing) or created (unpacking); also a folder with\n"
     "attributes beyond the plain folder attribute, which is packed as a file"},
    {status::kFileIo, "Fehler beim Lesen einer Datei",
     "a read from a file (packing) or a write to a file (unpacking) failed"},
    {status::kSizeMismatch, "Dateigrößendifferenzfehler",
     "a file's size does not come out: it is 2 GiB or larger, it changed while it\n"
     "was packed, or the archive ends inside a file's data"},
    {status::kUserAbort, "Benutzerabbruch", nullptr},
};

}  // namespace

std::span<const PackerStatusEntry> PackerStatuses() {
  return kStatuses;
}

}  // namespace qvr
