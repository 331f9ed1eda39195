#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "PackerTestSupport.h"
#include "base/Exceptions.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

using Op = FaultyFileSystem::Op;

struct Fault {
  const char* what;
  Op op;
  int nth;
  int status;
  // Instead of failing, the nth read yields at most this many bytes and the next none.
  int shortRead = -1;
};

void Inject(FaultyFileSystem& fs, const Fault& f) {
  if (f.shortRead >= 0) {
    fs.ShortReadAt(f.nth, static_cast<std::uint32_t>(f.shortRead));
    fs.ShortReadAt(f.nth + 1, 0);
  } else {
    fs.FailAt(f.op, f.nth);
  }
}

// A failed run ends with its one status, raises no 100 and tells what went wrong.
void ExpectFailedRun(const EventLog& log) {
  EXPECT_EQ(log.statuses.size(), 1u);
  EXPECT_EQ(std::count(log.progress.begin(), log.progress.end(), 100), 0);
  EXPECT_FALSE(TQVRPacker::LastFailure().error.ReasonText().empty());
}

// The files a failed run held are closed again: they can be replaced at once, also on
// Windows, where an open exclusive file cannot.
void ExpectClosed(const std::string& path) {
  if (std::filesystem::exists(path)) {
    EXPECT_NO_THROW(WriteFile(path, "replaced")) << path;
  }
}

TEST(FaultInjection, PackFailuresEndWithTheirStatus) {
  // One file larger than a chunk. Writes: the gathered root and file records, then the
  // file's two chunks; reads: the chunks.
  const Fault faults[] = {
      {"archive cannot be created", Op::Create, 1, status::kArchiveNotCreated},
      {"the records cannot be written", Op::Write, 1, status::kArchiveIo},
      {"a chunk cannot be written", Op::Write, 2, status::kArchiveIo},
      {"the last chunk cannot be written", Op::Write, 3, status::kArchiveIo},
      {"a source file cannot be opened", Op::Open, 1, status::kFileNotOpened},
      {"a source file cannot be read", Op::Read, 1, status::kFileIo},
      {"a source file cannot be read on", Op::Read, 2, status::kFileIo},
      {"a source file ends early", Op::Read, 2, status::kSizeMismatch, 0},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.what);
    TempDir root;
    const std::string src = root.Path() + "Demo" + root.Path().back();
    WriteFile(src + "big.bin", Bytes(600000, 9));
    FaultyFileSystem fs(SystemFileSystem());
    Inject(fs, f);
    EventLog log;
    EXPECT_EQ(RunPacker(fs, Packen, src, root.Path() + "out.qvp", log), f.status);
    ExpectFailedRun(log);
    EXPECT_FALSE(TQVRPacker::LastFailure().error.path.empty());
    EXPECT_EQ(std::filesystem::exists(root.Path() + "out.qvp"), f.status != 10);
    ExpectClosed(root.Path() + "out.qvp");
    ExpectClosed(src + "big.bin");
  }
}

TEST(FaultInjection, UnpackFailuresEndWithTheirStatus) {
  // The example is read whole at once: read through (read 1, then 2 at its end), then
  // unpacked (read 3, then 4). Up to a.txt's size field it is 25 bytes.
  const Fault faults[] = {
      {"archive cannot be opened", Op::OpenShared, 1, status::kArchiveNotCreated},
      {"the archive cannot be read through", Op::Read, 1, status::kArchiveIo},
      {"the archive's end cannot be read", Op::Read, 2, status::kArchiveIo},
      {"the archive cannot be read from its start again", Op::Seek, 1, status::kArchiveIo},
      {"the archive cannot be read", Op::Read, 3, status::kArchiveIo},
      {"a member cannot be created", Op::Create, 1, status::kFileNotOpened},
      {"a member cannot be written", Op::Write, 1, status::kFileIo},
      {"the archive yields no more data", Op::Read, 3, status::kSizeMismatch, 25},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.what);
    TempDir root;
    WriteFile(root.Path() + "a.qvp", ExampleArchive());
    FaultyFileSystem fs(SystemFileSystem());
    Inject(fs, f);
    EventLog log;
    EXPECT_EQ(RunPacker(fs, Entpacken, root.Path() + "a.qvp", root.Path(), log), f.status);
    ExpectFailedRun(log);
    ExpectClosed(root.Path() + "a.qvp");
    ExpectClosed(root.Path() + "Demo" + root.Path().back() + "a.txt");
  }
}

// Small files are gathered with their records; a failing write of them is still status 11
// and what came before the failing file stays in the archive.
TEST(FaultInjection, GatheredFilesAndLaterFailures) {
  TempDir root;
  const std::string src = root.Path() + "Demo" + root.Path().back();
  WriteFile(src + "a.txt", "Hallo");
  FaultyFileSystem fs(SystemFileSystem());
  fs.FailAt(Op::Write, 1);
  EventLog log;
  EXPECT_EQ(RunPacker(fs, Packen, src, root.Path() + "out.qvp", log), status::kArchiveIo);
  EXPECT_EQ(ReadFile(root.Path() + "out.qvp"), "");
  // Nothing reached the archive, so nothing was reported done.
  EXPECT_EQ(log.progress, std::vector<std::int32_t>{0});

  WriteFile(src + "b.txt", "b");
  FaultyFileSystem second(SystemFileSystem());
  second.FailFromPath(Op::Open, "b.txt");
  EXPECT_EQ(RunPacker(second, Packen, src, root.Path() + "out.qvp", log), status::kFileNotOpened);
  // Listing order is the file system's: a.txt may come before b.txt or not.
  const std::string packed = ReadFile(root.Path() + "out.qvp");
  EXPECT_TRUE(packed == "8401Demo0501a.txt00000005Hallo" || packed == "8401Demo") << packed;
}

// A handler's error ends the run; the records and files written before it stay.
TEST(FaultInjection, HandlerErrorKeepsWhatWasPackedBeforeIt) {
  TempDir root;
  const std::string src = root.Path() + "Demo" + root.Path().back();
  WriteFile(src + "a.txt", "Hallo");
  TQVRPacker packer;
  packer.QuellPfad = src;
  packer.ZielPfad = root.Path() + "out.qvp";
  packer.OnProgress = [](std::int32_t p) {
    if (p > 0) throw std::runtime_error("stop");
  };
  EXPECT_THROW(packer.Starten(), std::runtime_error);
  EXPECT_EQ(ReadFile(root.Path() + "out.qvp"), "8401Demo0501a.txt00000005Hallo");
}

TEST(FaultInjection, ShortReadsOfHeadersAreCompleted) {
  TempDir root;
  WriteFile(root.Path() + "a.qvp", ExampleArchive());
  FaultyFileSystem fs(SystemFileSystem());
  fs.ShortReadAt(1, 1);
  fs.ShortReadAt(4, 3);
  fs.ShortReadAt(6, 2);
  EventLog log;
  EXPECT_EQ(RunPacker(fs, Entpacken, root.Path() + "a.qvp", root.Path(), log), 0);
  EXPECT_EQ(TreeOf(root.Path() + "Demo").size(), 3u);
  EXPECT_EQ(ReadFile(root.Path() + "Demo" + root.Path().back() + "a.txt"), "Hallo");
}

TEST(FaultInjection, UnlistableFolderIsPackedEmpty) {
  TempDir root;
  const char sep = root.Path().back();
  const std::string src = root.Path() + "Demo" + sep;
  WriteFile(src + "a.txt", "Hallo");
  WriteFile(src + "Bilder" + sep + "x.bmp", "x");
  FaultyFileSystem fs(SystemFileSystem());
  fs.FailFromPath(Op::List, std::string("Bilder") + sep);
  EventLog log;
  EXPECT_EQ(RunPacker(fs, Packen, src, root.Path() + "out.qvp", log), 0);
  const auto records = ParseArchive(ReadFile(root.Path() + "out.qvp"));
  EXPECT_EQ(records.size(), 3u);
  EXPECT_NE(std::find(records.begin(), records.end(), ParsedRecord{true, 1, "Bilder", ""}),
            records.end());
}

TEST(FaultInjection, FolderCreationFailureIsRaisedWithoutStatus) {
  TempDir root;
  WriteFile(root.Path() + "a.qvp", ExampleArchive());
  FaultyFileSystem fs(SystemFileSystem());
  fs.FailAt(Op::CreateFolder, 2);
  EventLog log;
  EXPECT_THROW(RunPacker(fs, Entpacken, root.Path() + "a.qvp", root.Path(), log), EInOutError);
  EXPECT_TRUE(log.statuses.empty());
  // What was written before the failure stays.
  EXPECT_EQ(ReadFile(root.Path() + "Demo" + root.Path().back() + "a.txt"), "Hallo");
  ExpectClosed(root.Path() + "a.qvp");
}

}  // namespace
}  // namespace qvr::test
