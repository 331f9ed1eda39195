#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "PackerTestSupport.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

using namespace std::string_literals;

using Tree = std::vector<std::pair<std::string, std::string>>;

class Unpack : public ::testing::Test {
 protected:
  // Writes `archive` beside the destination folder "dest" and unpacks it there.
  std::int32_t Run(const std::string& archive) {
    WriteFile(root_.Path() + "a.qvp", archive);
    MakeDirs(Dest());
    log_ = EventLog{};
    return RunPacker(SystemFileSystem(), Entpacken, root_.Path() + "a.qvp", Dest(), log_);
  }
  std::string Dest() const { return root_.Path() + "dest" + Sep(); }
  char Sep() const { return root_.Path().back(); }
  Tree DestTree() const { return TreeOf(Dest()); }

  TempDir root_;
  EventLog log_;
};

TEST_F(Unpack, WorkedExampleRecreatesTheTree) {
  EXPECT_EQ(Run(ExampleArchive()), 0);
  EXPECT_EQ(DestTree(), (Tree{{"Demo/", ""},
                              {"Demo/Bilder/", ""},
                              {"Demo/Bilder/x.bmp", Bytes(300, 7)},
                              {"Demo/a.txt", "Hallo"}}));
  // The total counts the 52 header bytes too, so the chunks stay below 100.
  EXPECT_EQ(log_.order, (std::vector<std::string>{"P0", "P1", "P85", "P100", "S0"}));
  EXPECT_EQ(log_.statuses.at(0).second, "OK");
}

// Code page 1252 names come out as UTF-8, its undefined bytes as their C1 controls.
TEST_F(Unpack, NamesAreConvertedFromTheCodePage) {
  EXPECT_EQ(Run(FolderRecord("Gr\xFC\xDF"
                             "e",
                             1) +
                FileRecord("\xDC"
                           "bersicht.txt",
                           2, "x") +
                FileRecord("\x80\x81\x9D", 2, "")),
            0);
  EXPECT_EQ(DestTree(), (Tree{{"Gr\u00FC\u00DF"
                               "e/",
                               ""},
                              {"Gr\u00FC\u00DF"
                               "e/\u00DCbersicht.txt",
                               "x"},
                              {"Gr\u00FC\u00DF"
                               "e/\u20AC\u0081\u009D",
                               ""}}));
}

// The archive's size comes from the open archive: a wildcard character in its name
// matches nothing else.
TEST_F(Unpack, ArchiveNameWithWildcardsIsTakenLiterally) {
  if (Sep() == '\\') GTEST_SKIP() << "Windows names cannot hold wildcards";
  WriteFile(root_.Path() + "a!.qvp", "");
  WriteFile(root_.Path() + "a?.qvp", ExampleArchive());
  MakeDirs(Dest());
  EXPECT_EQ(RunPacker(SystemFileSystem(), Entpacken, root_.Path() + "a?.qvp", Dest(), log_), 0);
  EXPECT_EQ(log_.progress, (std::vector<std::int32_t>{0, 1, 85, 100}));
}

TEST_F(Unpack, EmptyArchiveCreatesNothing) {
  EXPECT_EQ(Run(""), 0);
  EXPECT_TRUE(DestTree().empty());
  EXPECT_EQ(log_.order, (std::vector<std::string>{"P0", "P100", "S0"}));
}

TEST_F(Unpack, DestinationWithoutTrailingDelimiterStaysInside) {
  WriteFile(root_.Path() + "a.qvp", ExampleArchive());
  MakeDirs(Dest());
  const std::string dest = Dest().substr(0, Dest().size() - 1);
  EXPECT_EQ(RunPacker(SystemFileSystem(), Entpacken, root_.Path() + "a.qvp", dest, log_), 0);
  EXPECT_EQ(DestTree().size(), 4u);
}

TEST_F(Unpack, MembersAreCopiedInChunksOfHalfAMebibyte) {
  const std::string exact = Bytes(524288, 1);
  const std::string oneMore = Bytes(524289, 2);
  EXPECT_EQ(Run(FolderRecord("R", 1) + FileRecord("empty", 1, "") + FileRecord("exact", 1, exact) +
                FileRecord("more", 1, oneMore)),
            0);
  // One chunk for the empty member, one for 524,288 bytes, two for 524,289.
  ASSERT_EQ(log_.progress.size(), 6u);
  EXPECT_TRUE(log_.ProgressIsWellFormed());
  EXPECT_LT(log_.progress[4], 100);
  EXPECT_EQ(log_.progress[5], 100);
  EXPECT_EQ(ReadFile(Dest() + "R" + Sep() + "exact"), exact);
  EXPECT_EQ(ReadFile(Dest() + "R" + Sep() + "more"), oneMore);
  EXPECT_EQ(ReadFile(Dest() + "R" + Sep() + "empty"), "");
}

TEST_F(Unpack, ReusesFoldersReplacesFilesAndFollowsLevels) {
  MakeDirs(Dest() + "Demo" + Sep() + "Bilder");
  WriteFile(Dest() + "Demo" + Sep() + "a.txt", "a much longer old content");
  // After the deeper subtree a level-1 record continues in Demo; level 0 in the destination.
  EXPECT_EQ(Run(ExampleArchive() + FileRecord("b.txt", 1, "b") + FileRecord("c.txt", 0, "c") +
                FileRecord("a.txt", 5, "twice")),
            0);
  EXPECT_EQ(DestTree(), (Tree{{"Demo/", ""},
                              {"Demo/Bilder/", ""},
                              {"Demo/Bilder/x.bmp", Bytes(300, 7)},
                              {"Demo/a.txt", "Hallo"},
                              {"Demo/b.txt", "b"},
                              {"a.txt", "twice"},
                              {"c.txt", "c"}}));
}

// The archive is read through before anything is written: data that the archive does
// not hold, or a size the format excludes, ends the run with status 14 and an untouched
// destination.
TEST_F(Unpack, DamagedDataEndsWithStatus14BeforeAnythingIsWritten) {
  const std::string member = FileRecord("a.txt", 1, "0123456789");
  for (const std::string& bad :
       {member.substr(0, member.size() - 7), "0101x80000000data"s, "0101xFFFFFFFFdata"s}) {
    EXPECT_EQ(Run(FolderRecord("R", 1) + bad), status::kSizeMismatch);
    EXPECT_TRUE(DestTree().empty());
    EXPECT_EQ(log_.order, (std::vector<std::string>{"P0", "S14"}));
    EXPECT_EQ(TQVRPacker::LastFailure().error.reason, FileReason::Damaged);
  }
}

// Cutting a small archive anywhere gives a status, never a hang, and writes nothing
// unless the archive is whole up to the cut.
TEST_F(Unpack, EveryTruncationPointEndsCleanly) {
  const std::string archive = ExampleArchive();
  const std::size_t boundaries[] = {0, 8, 30, 40, 57 + 300};
  for (std::size_t cut = 0; cut <= archive.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    std::filesystem::remove_all(Dest());
    const std::int32_t status = Run(archive.substr(0, cut));
    const bool atBoundary =
        std::find(std::begin(boundaries), std::end(boundaries), cut) != std::end(boundaries);
    if (atBoundary) {
      EXPECT_EQ(status, 0);
    } else {
      EXPECT_TRUE(status == 11 || status == 14) << status;
      EXPECT_EQ(log_.progress, std::vector<std::int32_t>{0});
      EXPECT_TRUE(DestTree().empty());
    }
    const Tree outside = TreeOf(root_.Path());
    for (const auto& [name, content] : outside) {
      EXPECT_TRUE(name == "a.qvp" || name.starts_with("dest/")) << name;
    }
  }
}

#ifndef _WIN32
// A real race: while a large member is written, a second thread swaps the folders of
// its path for links to a folder outside, again and again. Every folder of the path is
// held open while its members are created, so nothing outside is ever created, changed
// or removed, however the swaps fall.
TEST_F(Unpack, FoldersSwappedForLinksDuringTheRunNeverLeadOutside) {
  const std::string outside = root_.Path() + "outside" + Sep();
  WriteFile(outside + "after.bin", "a file of the same name outside");
  MakeDirs(outside + "Programm");
  const auto snapshot = [&] {
    std::map<std::string, std::string> tree;
    for (const auto& [path, content] : TreeOf(outside)) tree[path] = content;
    return tree;
  };
  const auto before = snapshot();
  const std::string archive = FolderRecord("Demo", 1) + FolderRecord("Intern", 2) +
                              FolderRecord("Programm", 3) +
                              FileRecord("large.bin", 4, std::string(24 << 20, 'x')) +
                              FileRecord("after.bin", 4, "new") + FileRecord("after.bin", 3, "new");
  for (const std::string swapped : {"Intern", "Intern/Programm", "Intern/Programm"}) {
    std::filesystem::remove_all(Dest());
    {
      // Joined on every way out of the run: a swap that wins makes the unpack end with a
      // status or an error, either of which is a right answer here.
      std::jthread swapper([&](std::stop_token stop) {
        const std::string folder = Dest() + "Demo" + Sep() + swapped;
        for (int i = 0; !stop.stop_requested(); ++i) {
          std::error_code ec;
          std::filesystem::rename(folder, folder + "-" + std::to_string(i), ec);
          if (!ec) std::filesystem::create_directory_symlink(outside, folder, ec);
        }
      });
      try {
        Run(archive);
      } catch (const std::exception&) {
      }
    }
    EXPECT_EQ(snapshot(), before) << swapped;
  }
}
#endif

}  // namespace
}  // namespace qvr::test
