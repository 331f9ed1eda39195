#include <gtest/gtest.h>

#include <filesystem>

#include "PackerTestSupport.h"
#include "base/Exceptions.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

TEST(PackerStatus, EveryCodeHasItsText) {
  const std::pair<int, const char*> table[] = {
      {0, "OK"},
      {1, "Kein Quell/Zielpfad angegeben"},
      {2, "Der zu packende Ordner wurde nicht gefunden"},
      {3, "Zieldateiname fehlt"},
      {4, "Zielpfad nicht gefunden"},
      {5, "Zu entpackende Datei nicht gefunden"},
      {6, "Fehler beim Dateizugriff"},
      {10, "Fehler beim Erzeugen der Pack-Zieldatei"},
      {11, "Fehler beim Schreiben in die Pack-Zieldatei"},
      {12,
       "Fehler beim \xC3\x96"
       "ffnen einer Datei"},
      {13, "Fehler beim Lesen einer Datei"},
      {14,
       "Dateigr\xC3\xB6\xC3\x9F"
       "endifferenzfehler"},
      {99, "Benutzerabbruch"},
  };
  for (const auto& [code, text] : table) EXPECT_EQ(TQVRPacker::StatusText(code), text) << code;
  for (int code : {-1, 7, 9, 15, 98, 100}) EXPECT_EQ(TQVRPacker::StatusText(code), "") << code;
}

// Each failing check reports its code after the progress 0 and touches no file.
TEST(PackerValidation, ChecksRunInOrderAndReportTheirCode) {
  TempDir dir;
  const std::string d = dir.Path();
  const char sep = d.back();
  MakeDirs(d + "src");
  WriteFile(d + "file.qvp", "");
  struct Case {
    const char* what;
    TPackModeSet mode;
    std::string source;
    std::string target;
    int code;
    const char* reason = "";  // in the failure's text, where the path exists as the wrong kind
  };
  const Case cases[] = {
      {"both empty", Packen, "", "", status::kNoPaths},
      {"blank source, packing", Packen, " \t\r\n", d + "out.qvp", status::kNoPaths},
      {"blank source, unpacking", Entpacken, "  ", d, status::kNoPaths},
      {"blank target", Entpacken, d + "file.qvp", "\x01 ", status::kNoPaths},
      {"missing source folder", Packen, d + "nothing" + sep, d + "out.qvp",
       status::kSourceNotFound},
      {"source is a file", Packen, d + "file.qvp", d + "out.qvp", status::kSourceNotFound,
       "it is a file, not a folder"},
      {"missing source before target check", Packen, d + "nothing" + sep, d,
       status::kSourceNotFound},
      {"target names a folder", Packen, d + "src" + sep, d, status::kArchiveNameMissing},
      {"target without folder part", Packen, d + "src" + sep, "out.qvp", status::kTargetNotFound},
      {"target folder missing", Packen, d + "src" + sep, d + "no" + sep + "out.qvp",
       status::kTargetNotFound},
      {"archive is a folder", Entpacken, d + "src", d, status::kArchiveNotFound,
       "it is a folder, not a file"},
      {"archive missing", Entpacken, d + "none.qvp", d, status::kArchiveNotFound},
      {"destination missing", Entpacken, d + "file.qvp", d + "dest" + sep, status::kTargetNotFound},
      {"destination is a file", Entpacken, d + "file.qvp", d + "file.qvp", status::kTargetNotFound,
       "it is a file, not a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EventLog log;
    EXPECT_EQ(RunPacker(SystemFileSystem(), c.mode, c.source, c.target, log), c.code);
    EXPECT_EQ(log.order, (std::vector<std::string>{"P0", Tag('S', c.code)}));
    EXPECT_EQ(log.statuses.at(0).second, TQVRPacker::StatusText(c.code));
    const std::string message = TQVRPacker::LastFailure().error.Message();
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }
  // Nothing was created: no destination folder, no archive.
  EXPECT_EQ(TreeOf(d).size(), 2u);
}

TEST(PackerEvents, RunsWithoutHandlersAndWithoutPump) {
  TempDir dir;
  WriteFile(dir.Path() + "a.qvp", ExampleArchive());
  TQVRPacker packer;
  packer.PackModus = Entpacken;
  packer.QuellPfad = dir.Path() + "a.qvp";
  packer.ZielPfad = dir.Path();
  packer.Starten();
  EXPECT_EQ(ReadFile(dir.Path() + "Demo" + dir.Path().back() + "a.txt"), "Hallo");
}

TEST(PackerEvents, PumpRunsOncePerChunk) {
  TempDir dir;
  WriteFile(dir.Path() + "a.qvp", ExampleArchive());
  int pumped = 0;
  TQVRPacker::SetMessagePump([&] { ++pumped; });
  EventLog log;
  RunPacker(SystemFileSystem(), Entpacken, dir.Path() + "a.qvp", dir.Path(), log);
  TQVRPacker::SetMessagePump(nullptr);
  EXPECT_EQ(pumped, 2);
  EXPECT_EQ(log.progress, (std::vector<std::int32_t>{0, 1, 85, 100}));
}

// An error raised by a handler ends the run without a status; the next run starts clean,
// and a run started from inside a handler is refused.
TEST(PackerEvents, HandlerErrorsEndTheRunAndLeaveNoStateBehind) {
  TempDir dir;
  WriteFile(dir.Path() + "a.qvp", ExampleArchive());
  TQVRPacker packer;
  packer.PackModus = Entpacken;
  packer.QuellPfad = dir.Path() + "a.qvp";
  packer.ZielPfad = dir.Path();
  int statuses = 0;
  packer.OnStatus = [&](std::int32_t, const std::string&) { ++statuses; };
  packer.OnProgress = [&](std::int32_t p) {
    if (p > 0) packer.Starten();
  };
  EXPECT_THROW(packer.Starten(), Exception);
  packer.OnProgress = [](std::int32_t p) {
    if (p > 0) throw std::runtime_error("stop");
  };
  EXPECT_THROW(packer.Starten(), std::runtime_error);
  EXPECT_EQ(statuses, 0);
  // The archive is closed again: it can be replaced.
  WriteFile(dir.Path() + "a.qvp", ExampleArchive());
  packer.OnProgress = nullptr;
  packer.Starten();
  EXPECT_EQ(statuses, 1);
}

}  // namespace
}  // namespace qvr::test
