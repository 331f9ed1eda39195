#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "PackerTestSupport.h"
#include "packer/ArchiveReader.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

using Tree = std::vector<std::pair<std::string, std::string>>;

class Pack : public ::testing::Test {
 protected:
  std::string Src() const { return root_.Path() + "Demo" + Sep(); }
  std::string Archive() const { return root_.Path() + "out.qvp"; }
  char Sep() const { return root_.Path().back(); }
  std::int32_t Run(FileSystem& fs = SystemFileSystem()) {
    log_ = EventLog{};
    return RunPacker(fs, Packen, Src(), Archive(), log_);
  }
  void MakeExample() {
    WriteFile(Src() + "a.txt", "Hallo");
    WriteFile(Src() + "Bilder" + Sep() + "x.bmp", Bytes(300, 7));
  }

  TempDir root_;
  EventLog log_;
};

TEST_F(Pack, WorkedExampleGivesTheRecordsOfTheFormat) {
  MakeExample();
  EXPECT_EQ(Run(), 0);
  const std::string bytes = ReadFile(Archive());
  EXPECT_EQ(bytes.substr(0, 8), "8401Demo");
  // Listing order depends on the file system: compare the parsed records, and require
  // each folder before its contents.
  const auto records = ParseArchive(bytes);
  ASSERT_EQ(records.size(), 4u);
  const ParsedRecord a{false, 1, "a.txt", "Hallo"};
  const ParsedRecord bilder{true, 1, "Bilder", ""};
  const ParsedRecord x{false, 2, "x.bmp", Bytes(300, 7)};
  const auto at = [&](const ParsedRecord& r) {
    return std::find(records.begin(), records.end(), r) - records.begin();
  };
  EXPECT_LT(at(a), 4);
  EXPECT_EQ(at(x), at(bilder) + 1);
  EXPECT_NE(bytes.find("0502x.bmp0000012C"), std::string::npos);
  EXPECT_EQ(bytes.size(), 357u);
  // 305 bytes in all, written with their records in one write: each file still raises
  // its own event once written, the last reaches 100 already, and one more 100 follows.
  EXPECT_EQ(log_.progress.back(), 100);
  EXPECT_EQ(log_.progress.size(), 4u);
  EXPECT_EQ(log_.progress[2], 100);
  EXPECT_EQ(log_.order.back(), "S0");
}

TEST_F(Pack, EmptyFolderIsTheRootRecordAlone) {
  MakeDirs(Src());
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ReadFile(Archive()), "8401Demo");
  EXPECT_EQ(log_.order, (std::vector<std::string>{"P0", "P100", "S0"}));
}

TEST_F(Pack, EmptyFilesNeedOneChunkAndNeverDivideByZero) {
  WriteFile(Src() + "e1", "");
  WriteFile(Src() + "e2", "");
  WriteFile(Archive(), "an older archive that is replaced");
  EXPECT_EQ(Run(), 0);
  const std::string bytes = ReadFile(Archive());
  EXPECT_EQ(bytes.size(), 8u + 2 * 14u);
  EXPECT_NE(bytes.find("0201e100000000"), std::string::npos);
  EXPECT_EQ(log_.progress, (std::vector<std::int32_t>{0, 100, 100, 100}));
}

TEST_F(Pack, ChunksOfHalfAMebibyte) {
  WriteFile(Src() + "big", Bytes(524289, 3));
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(log_.progress, (std::vector<std::int32_t>{0, 99, 100, 100}));
  EXPECT_EQ(ParseArchive(ReadFile(Archive())).at(1).data, Bytes(524289, 3));
}

TEST_F(Pack, SourceWithoutTrailingDelimiterPacksTheSame) {
  MakeExample();
  log_ = EventLog{};
  EXPECT_EQ(RunPacker(SystemFileSystem(), Packen, root_.Path() + "Demo", Archive(), log_), 0);
  EXPECT_EQ(ReadFile(Archive()).substr(0, 8), "8401Demo");
  EXPECT_EQ(ReadFile(Archive()).size(), 357u);
}

// Generated trees come back byte for byte, also when unpacked over an earlier copy.
TEST_F(Pack, RoundTripOfGeneratedTrees) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::filesystem::remove_all(Src());
    MakeDirs(Src());
    unsigned state = seed;
    auto next = [&](unsigned n) {
      state = state * 1103515245u + 12345u;
      return (state >> 8) % n;
    };
    std::vector<std::string> folders{""};
    for (int i = 0; i < 25; ++i) {
      const std::string parent = folders[next(static_cast<unsigned>(folders.size()))];
      if (next(3) == 0) {
        folders.push_back(parent + "dir" + std::to_string(i) + Sep());
        MakeDirs(Src() + folders.back());
      } else {
        const std::size_t size = next(5) == 0 ? 600000 + next(1000) : next(3000);
        WriteFile(Src() + parent + "f" + std::to_string(i) + ".bin", Bytes(size, seed * 100 + i));
      }
    }
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(log_.ProgressIsWellFormed());
    const std::string dest = root_.Path() + "dest" + Sep();
    MakeDirs(dest);
    for (int pass = 0; pass < 2; ++pass) {
      EventLog unpackLog;
      EXPECT_EQ(RunPacker(SystemFileSystem(), Entpacken, Archive(), dest, unpackLog), 0);
      EXPECT_TRUE(unpackLog.ProgressIsWellFormed());
    }
    EXPECT_EQ(TreeOf(dest + "Demo"), TreeOf(Src()));
    std::filesystem::remove_all(dest);
  }
}

// Names are stored in code page 1252: "\u00DC" is the one byte DC.
TEST_F(Pack, NamesBeyondAsciiAreStoredInTheCodePage) {
  WriteFile(Src() + "\u00DCbersicht.txt", "x");
  WriteFile(Src() + "Schriftarten" + Sep() +
                "Gr\u00FC\u00DF"
                "e.dat",
            "yz");
  EXPECT_EQ(Run(), 0);
  const std::string bytes = ReadFile(Archive());
  EXPECT_NE(bytes.find("0D01\xDC\x62\x65\x72sicht.txt00000001x"), std::string::npos);
  EXPECT_NE(bytes.find("8C01Schriftarten0902Gr\xFC\xDF"
                       "e.dat00000002yz"),
            std::string::npos);
}

// Whatever system packs, the archive is for a setup on Windows: a name the setup's reader
// refuses is refused when packing, also where this system could hold it.
TEST_F(Pack, NamesTheArchiveCannotHoldEndWithStatus11AndThePath) {
  struct Case {
    std::string name;
    const char* why;
  };
  const Case cases[] = {
      {std::string(128, 'n'), "1252"},
      {"\u03A9mega.txt", "1252"},
      {"aux.txt", "device"},
      {"CON", "device"},
      {"com\u00B9.dat", "device"},
      {"end.", "dot or a space"},
      {"trail ", "dot or a space"},
      {"a<b", "Windows does not allow"},
      {"what?", "Windows does not allow"},
      {"pipe|", "Windows does not allow"},
      {"quote\"", "Windows does not allow"},
      {"tab\t", "control character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Where this system cannot hold the name itself (Windows drops a trailing dot and
    // takes "aux" for a device), nothing of that name is there to pack.
    try {
      WriteFile(Src() + c.name, "x");
    } catch (const std::runtime_error&) {
    }
    const auto listed = std::filesystem::directory_iterator(PathOf(Src()));
    if (std::none_of(begin(listed), end(listed),
                     [&](const auto& e) { return Utf8Of(e.path().filename()) == c.name; })) {
      std::filesystem::remove_all(PathOf(Src()));
      continue;
    }
    EXPECT_EQ(Run(), status::kArchiveIo);
    EXPECT_EQ(TQVRPacker::LastFailure().error.path, Src() + c.name);
    EXPECT_NE(TQVRPacker::LastFailure().error.ReasonText().find(c.why), std::string::npos)
        << TQVRPacker::LastFailure().error.ReasonText();
    EXPECT_NE(log_.progress.back(), 100);
    std::filesystem::remove(PathOf(Src() + c.name));
    // The setup's reader refuses the same name in an archive made elsewhere.
    std::string bytes;
    if (!CodePage::Windows1252().FromUtf8(c.name, bytes) || bytes.size() > 127) continue;
    const std::string record = FileRecord(bytes, 1, "x");
    WriteFile(Archive(), record);
    auto archive = SystemFileSystem().OpenShared(Archive());
    ASSERT_TRUE(archive);
    archive::ArchiveReader reader(**archive, record.size(), CodePage::Windows1252(),
                                  archive::NameRules::Windows, '\\', "", "read");
    EXPECT_FALSE(reader.Next());
    ASSERT_TRUE(reader.Failure());
    EXPECT_EQ(reader.Failure()->error.reason, FileReason::Damaged);
  }
}

TEST_F(Pack, TreeDeeperThan250LevelsEndsWithStatus11) {
  if (SystemFileSystem().Delimiter() == '\\') GTEST_SKIP() << "paths that deep pass MAX_PATH";
  std::string deep = Src();
  for (int i = 0; i < 250; ++i) deep += std::string("d") + Sep();
  WriteFile(deep + "f", "x");
  EXPECT_EQ(Run(), status::kArchiveIo);
  EXPECT_NE(TQVRPacker::LastFailure().error.ReasonText().find("250"), std::string::npos);
  // Without the file the deepest folder is at level 250 and must fit.
}

TEST_F(Pack, DriveRootHasNoNameToStore) {
  const std::string rootFolder = SystemFileSystem().Delimiter() == '\\' ? "C:\\" : "/";
  log_ = EventLog{};
  EXPECT_EQ(RunPacker(SystemFileSystem(), Packen, rootFolder, Archive(), log_),
            status::kArchiveNotCreated);
  EXPECT_FALSE(std::filesystem::exists(Archive()));
}

TEST_F(Pack, ArchiveInsideTheSourceIsNotPackedIntoItself) {
  MakeExample();
  log_ = EventLog{};
  EXPECT_EQ(RunPacker(SystemFileSystem(), Packen, Src(), Src() + "self.qvp", log_),
            status::kFileNotOpened);
  EXPECT_EQ(TQVRPacker::LastFailure().error.path, Src() + "self.qvp");
}

TEST_F(Pack, ReadOnlyFolderIsTakenAsAFile) {
  MakeExample();
  MakeDirs(Src() + "ro");
  namespace sfs = std::filesystem;
  sfs::permissions(Src() + "ro",
                   sfs::perms::owner_write | sfs::perms::group_write | sfs::perms::others_write,
                   sfs::perm_options::remove);
  bool marked = false;
  const auto listing = (*SystemFileSystem().OpenFolder(Src()))->List();
  for (const DirEntry& entry : *listing) {
    marked |= entry.name == "ro" && entry.attributes != attr::kDirectory;
  }
  if (!marked) GTEST_SKIP() << "no read-only bit on folders here";
  EXPECT_EQ(Run(), status::kFileNotOpened);
  EXPECT_EQ(TQVRPacker::LastFailure().error.path, Src() + "ro");
  EXPECT_NE(TQVRPacker::LastFailure().error.ReasonText().find("folder with further attributes"),
            std::string::npos)
      << TQVRPacker::LastFailure().error.ReasonText();
  sfs::permissions(Src() + "ro", sfs::perms::owner_write, sfs::perm_options::add);
}

TEST_F(Pack, SizesTheFormatCannotHoldOrThatChangeEndWithStatus14) {
  struct Case {
    const char* what;
    std::uint64_t listed;
    std::size_t actual;
    std::size_t filler = 0;  // a file "e" packed before it, of this size
  };
  const Case cases[] = {
      {"two gibibytes", 0x80000000ull, 10},
      {"four gibibytes", 0x100000000ull, 10},
      {"shrunk after listing", 700000, 600000},
      {"shrunk to nothing", 5, 0},
      {"grown after listing", 10, 20},
      // Root record, "e" with its 524,250 bytes and the record of f.bin fill the
      // gathering buffer exactly.
      {"grown from empty behind a full buffer", 0, 20, 524250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(Src());
    WriteFile(Src() + "f.bin", Bytes(c.actual, 5));
    if (c.filler > 0) WriteFile(Src() + "e", Bytes(c.filler, 6));
    FaultyFileSystem fs(SystemFileSystem());
    fs.ReportSize("f.bin", c.listed);
    EXPECT_EQ(Run(fs), status::kSizeMismatch);
    EXPECT_TRUE(log_.ProgressIsWellFormed());
    EXPECT_NE(TQVRPacker::LastFailure().error.path.find("f.bin"), std::string::npos);
  }
}

}  // namespace
}  // namespace qvr::test
