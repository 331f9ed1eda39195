#include "QvrPackTool.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

#include "ToolConsole.h"
#include "base/Exceptions.h"
#include "packer/ArchiveReader.h"
#include "packer/PackerStatus.h"

#ifndef QVR_VERSION
#define QVR_VERSION "0.0.0"
#endif

namespace qvr::tool {
namespace {

constexpr const char* kUsage =
    "Usage: qvrpack [--codepage N] pack FOLDER ARCHIVE\n"
    "       qvrpack [--codepage N] unpack ARCHIVE DESTFOLDER\n"
    "       qvrpack [--codepage N] list ARCHIVE\n"
    "       qvrpack --help | --version\n";

constexpr const char* kHelp =
    "Packs a folder tree into one archive file, unpacks such an archive into a folder,\n"
    "or lists the records of an archive without writing anything.\n"
    "\n"
    "  pack FOLDER ARCHIVE       pack FOLDER (it becomes the archive's root folder)\n"
    "  unpack ARCHIVE DESTFOLDER recreate the archive's tree inside DESTFOLDER, which must exist\n"
    "  list ARCHIVE              print each record: kind, level, size and the path it unpacks to\n"
    "\n"
    "Options:\n"
    "  -q, --quiet   no progress bar (it is only shown while standard error is a terminal)\n"
    "  --codepage N  the code page of the names in the archive: 1252 (Western European,\n"
    "                the default) or another single-byte Windows code page, such as 1250\n"
    "  --help        this text\n"
    "  --version     the version\n"
    "  --            every later argument is a path, also one that starts with \"-\"\n"
    "\n"
    "Names: the archive stores each name as bytes of the code page, as a setup on Windows\n"
    "with that ANSI code page reads them (\"\u00DC\" is the byte DC in code page 1252).\n"
    "pack converts the names from UTF-8 and refuses a name the code page cannot hold\n"
    "(status 11); unpack and list convert them back to UTF-8. A byte the code page leaves\n"
    "undefined (81, 8D, 8F, 90 and 9D in 1252) reads as the control character of the same\n"
    "number, as Windows reads it.\n"
    "\n"
    "Folders may be given with or without a trailing delimiter; relative paths are taken\n"
    "from the current folder.\n"
    "\n"
    "Exit status:\n";

// The tool's own exit statuses beside the packer's; "\n" where a line wraps.
struct ToolExit {
  int code;
  const char* help;
};
constexpr ToolExit kToolExits[] = {
    {kExitUsage, "usage error"},
    {kExitMalformedArchive,
     "malformed archive: a record that is not hexadecimal or whose name would write\n"
     "outside the destination (the message names the record's byte offset)"},
    {kExitFolderNotCreated, "a folder of the archive cannot be created"},
};

void AppendExitLine(std::string& text, int code, const std::string& help) {
  char number[16];
  std::snprintf(number, sizeof number, "%4d  ", code);
  text += number;
  for (const char c : help) {
    if (c == '\n') {
      text += "\n      ";
    } else {
      text += c;
    }
  }
  text += '\n';
}

// The exit statuses for --help: every status a run of the packer ends with, and the
// tool's own; where both share a code, the message tells which.
std::string ExitStatusHelp() {
  std::string text;
  for (const PackerStatusEntry& entry : PackerStatuses()) {
    if (entry.help == nullptr) continue;
    std::string help = entry.help;
    for (const ToolExit& own : kToolExits) {
      if (own.code == entry.code) {
        help = std::string(own.help) + ", or " + help + " (the message tells which)";
      }
    }
    AppendExitLine(text, entry.code, help);
  }
  for (const ToolExit& own : kToolExits) {
    if (TQVRPacker::StatusText(own.code).empty()) AppendExitLine(text, own.code, own.help);
  }
  return text;
}

// Fixed-width progress line: bar, percentage, bytes and rate.
void DrawBar(std::ostream& err, std::int32_t percent, std::int64_t done, std::int64_t total,
             double seconds) {
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '-');
  char line[160];
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  std::snprintf(line, sizeof line, "\r[%s] %3d%%  %s of %s  %s/s   ", bar.c_str(),
                static_cast<int>(percent), FormatBytes(done).c_str(), FormatBytes(total).c_str(),
                FormatBytes(static_cast<std::int64_t>(rate)).c_str());
  err << line << std::flush;
}

// The exit status for a failure, and what it says: a malformed record has the tool's own
// status, whose message names the record's byte offset.
int ReportFailure(std::ostream& err, const PackerFailure& failure) {
  if (failure.status == status::kArchiveIo && failure.error.reason == FileReason::Damaged) {
    err << "qvrpack: " << failure.error.systemText << "\n";
    return kExitMalformedArchive;
  }
  err << "qvrpack: status " << failure.status << ": " << TQVRPacker::StatusText(failure.status)
      << "\n";
  err << "qvrpack: " << failure.error.Message() << "\n";
  return failure.status;
}

// A code page number in decimal, as Windows numbers them.
std::optional<CodePage> ParseCodePage(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return CodePage::ForNumber(static_cast<unsigned>(std::stoul(text)));
}

std::string AsFolder(const std::string& path, char delimiter) {
  std::string full = AbsolutePath(path);
  if (!full.empty() && full.back() != delimiter) full.push_back(delimiter);
  return full;
}

int RunPacker(FileSystem& fs, TPackModeSet mode, const CodePage& codePage,
              const std::string& source, const std::string& target, std::ostream& err, bool bar) {
  ConsoleEvents events(err, bar);
  TQVRPacker packer(nullptr, fs);
  packer.PackModus = mode;
  packer.ArchiveCodePage = codePage;
  packer.QuellPfad = source;
  packer.ZielPfad = target;
  events.Attach(packer);
  try {
    packer.Starten();
  } catch (const EInOutError& e) {
    events.EndLine();
    err << "qvrpack: " << e.Message() << "\n";
    return kExitFolderNotCreated;
  }
  events.EndLine();
  const std::int32_t code = events.StatusCode();
  return code == 0 ? code : ReportFailure(err, TQVRPacker::LastFailure());
}

// Reads the archive record by record as the unpacker does, printing instead of writing.
int ListArchive(FileSystem& fs, const CodePage& codePage, const std::string& path,
                std::ostream& out, std::ostream& err) {
  if (!fs.FileExists(path)) {
    return ReportFailure(err, WithStatus(status::kArchiveNotFound,
                                         Refusal("find the archive", path, FileReason::NotFound)));
  }
  Result<std::unique_ptr<OpenFile>> file = fs.OpenShared(path);
  Result<std::uint64_t> size = file ? (*file)->Size() : file.Error();
  if (!size) return ReportFailure(err, WithStatus(status::kArchiveNotCreated, size.TakeError()));
  char line[64];
  std::snprintf(line, sizeof line, "%-6s  %5s  %10s  ", "kind", "level", "size");
  out << line << "path\n";
  archive::ArchiveReader reader(**file, *size, codePage, archive::RulesFor(fs), fs.Delimiter(), "",
                                "list");
  while (reader.Next()) {
    const archive::Record& record = reader.Current();
    if (record.folder) {
      std::snprintf(line, sizeof line, "%-6s  %5u  %10s  ", "folder", record.level, "-");
      out << line << reader.Path() << "\n";
      continue;
    }
    std::snprintf(line, sizeof line, "%-6s  %5u  %10lu  ", "file", record.level,
                  static_cast<unsigned long>(record.size));
    out << line << reader.Path() << "\n";
    if (!reader.SkipData()) break;
  }
  return reader.Failure() ? ReportFailure(err, *reader.Failure()) : status::kOk;
}

}  // namespace

ConsoleEvents::ConsoleEvents(std::ostream& err, bool progressBar)
    : err_(err), progressBar_(progressBar), start_(std::chrono::steady_clock::now()) {}

void ConsoleEvents::Attach(TQVRPacker& packer) {
  packer.OnProgress = [this](std::int32_t percent) { Progress(percent); };
  packer.OnStatus = [this](std::int32_t code, const std::string& text) { Status(code, text); };
}

void ConsoleEvents::Progress(std::int32_t percent) {
  if (!progressBar_) return;
  const auto now = std::chrono::steady_clock::now();
  // Redraw on a new percentage or five times a second, not once per chunk.
  if (percent == lastPercent_ && now - lastDraw_ < std::chrono::milliseconds(200)) return;
  lastPercent_ = percent;
  lastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  DrawBar(err_, percent, TQVRPacker::DoneBytes(), TQVRPacker::TotalBytes(), seconds);
  lineOpen_ = true;
}

void ConsoleEvents::Status(std::int32_t code, const std::string&) {
  status_ = code;
}

void ConsoleEvents::EndLine() {
  if (lineOpen_) err_ << "\n";
  lineOpen_ = false;
}

std::string FormatBytes(std::int64_t bytes) {
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%d B", static_cast<int>(bytes));
  } else if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
  } else if (bytes < 1024ll * 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
  } else {
    std::snprintf(text, sizeof text, "%.2f GiB",
                  static_cast<double>(bytes) / (1024.0 * 1024 * 1024));
  }
  return text;
}

int RunQvrPack(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
               std::ostream& err, bool terminal) {
  bool quiet = false;
  bool optionsEnded = false;
  bool codePageFollows = false;
  CodePage codePage = CodePage::Windows1252();
  std::vector<std::string> words;
  for (const std::string& arg : args) {
    // After "--" every argument is a path, also one that starts with "-".
    if (optionsEnded) {
      words.push_back(arg);
      continue;
    }
    if (codePageFollows) {
      codePageFollows = false;
      std::optional<CodePage> chosen = ParseCodePage(arg);
      if (!chosen) {
        err << "qvrpack: " << arg
            << " is no single-byte Windows code page that this system can convert\n";
        return kExitUsage;
      }
      codePage = *chosen;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      out << kUsage << "\n" << kHelp << ExitStatusHelp();
      return 0;
    }
    if (arg == "--version") {
      out << "qvrpack " << QVR_VERSION << "\n";
      return 0;
    }
    if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "--codepage") {
      codePageFollows = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      err << "qvrpack: unknown option " << arg << "\n" << kUsage;
      return kExitUsage;
    } else {
      words.push_back(arg);
    }
  }
  if (codePageFollows) {
    err << "qvrpack: --codepage needs a number\n" << kUsage;
    return kExitUsage;
  }
  const bool bar = terminal && !quiet;
  const char delimiter = fs.Delimiter();
  if (words.size() == 3 && words[0] == "pack") {
    return RunPacker(fs, Packen, codePage, AsFolder(words[1], delimiter), AbsolutePath(words[2]),
                     err, bar);
  }
  if (words.size() == 3 && words[0] == "unpack") {
    return RunPacker(fs, Entpacken, codePage, AbsolutePath(words[1]), AsFolder(words[2], delimiter),
                     err, bar);
  }
  if (words.size() == 2 && words[0] == "list") {
    return ListArchive(fs, codePage, AbsolutePath(words[1]), out, err);
  }
  err << (words.empty() ? "qvrpack: no command given\n" : "qvrpack: wrong command or arguments\n")
      << kUsage;
  return kExitUsage;
}

}  // namespace qvr::tool
