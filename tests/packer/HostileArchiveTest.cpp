#include <gtest/gtest.h>

#include <filesystem>

#include "PackerTestSupport.h"
#include "base/Exceptions.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

namespace sfs = std::filesystem;
using Tree = std::vector<std::pair<std::string, std::string>>;

struct Hostile {
  const char* what;
  std::string badRecord;  // follows a harmless first record of 15 bytes
  bool windowsOnly;
  // 11: refused when the archive is read through, before anything is written. 12: an
  // empty file name is no danger; its creation fails like any other.
  int status = status::kArchiveIo;
};

// Records that would write outside the destination or somewhere else than they say.
const Hostile kHostile[] = {
    {"parent folder", "8201..", false},
    {"parent file", FileRecord("..", 1, "x"), false},
    {"current folder", "8101.", false},
    {"empty file name", "800100000001x", false, status::kFileNotOpened},
    {"empty name without size", "0001", false},
    {"traversal with slash", FileRecord("../x", 1, "x"), false},
    {"traversal with backslash", FileRecord("..\\x", 1, "x"), false},
    {"absolute posix path", "8401/tmp", false},
    {"drive", FileRecord("C:x", 1, "x"), false},
    {"stream", FileRecord("a:b", 1, "x"), false},
    {"control character", FileRecord("a\nb", 1, "x"), false},
    {"header with blank", " 401abcd", false},
    {"header with sign", "+401abcd", false},
    {"size with prefix", "0101x0x000001x", false},
    {"size with blank", "0101x 0000001x", false},
    {"lowercase is fine but not letters past f", "0101x0000000g", false},
    {"device", FileRecord("CON", 1, "x"), true},
    {"device with extension", FileRecord("nul.txt", 1, "x"), true},
    {"device with superscript", FileRecord("COM\xB9", 1, "x"), true},
    {"reserved character", FileRecord("a?b", 1, "x"), true},
    {"trailing dot", "8201a.", true},
    {"trailing space", FileRecord("a ", 1, "x"), true},
};

TEST(HostileArchive, RefusedWithTheRecordOffsetAndNothingWritten) {
  const bool windows = SystemFileSystem().Delimiter() == '\\';
  for (const Hostile& h : kHostile) {
    if (h.windowsOnly && !windows) continue;
    SCOPED_TRACE(h.what);
    TempDir root;
    MakeDirs(root.Path() + "dest");
    const std::string prefix = FileRecord("ok", 0, "x");  // 15 bytes
    WriteFile(root.Path() + "a.qvp", prefix + h.badRecord);
    EventLog log;
    EXPECT_EQ(
        RunPacker(SystemFileSystem(), Entpacken, root.Path() + "a.qvp", root.Path() + "dest", log),
        h.status);
    Tree expected{{"a.qvp", prefix + h.badRecord}, {"dest/", ""}};
    if (h.status == status::kArchiveIo) {
      const std::string message = TQVRPacker::LastFailure().error.Message();
      EXPECT_NE(message.find("offset 15"), std::string::npos) << message;
    } else {
      expected.push_back({"dest/ok", "x"});
    }
    EXPECT_EQ(TreeOf(root.Path()), expected);
  }
}

// On POSIX hosts the Windows-only names are plain names and unpack as such.
TEST(HostileArchive, WindowsOnlyNamesArePlainElsewhere) {
  if (SystemFileSystem().Delimiter() == '\\') GTEST_SKIP() << "Windows refuses them";
  TempDir root;
  WriteFile(root.Path() + "a.qvp", FileRecord("CON", 0, "x") + FileRecord("a?b", 0, "y"));
  EventLog log;
  EXPECT_EQ(RunPacker(SystemFileSystem(), Entpacken, root.Path() + "a.qvp", root.Path(), log), 0);
  EXPECT_EQ(ReadFile(root.Path() + "CON"), "x");
}

// Levels past the current depth leave the path as it is; the tree grows one folder per
// record and every folder stays inside the destination.
TEST(HostileArchive, DeepLevelsStayInside) {
  TempDir root;
  std::string archive;
  for (int i = 0; i < 40; ++i) archive += FolderRecord("d", 0xFF);
  archive += FileRecord("end", 0xFF, "deep");
  WriteFile(root.Path() + "a.qvp", archive);
  MakeDirs(root.Path() + "dest");
  EventLog log;
  EXPECT_EQ(
      RunPacker(SystemFileSystem(), Entpacken, root.Path() + "a.qvp", root.Path() + "dest", log),
      0);
  std::string deepest = root.Path() + "dest";
  for (int i = 0; i < 40; ++i) deepest += std::string(1, root.Path().back()) + "d";
  EXPECT_EQ(ReadFile(deepest + root.Path().back() + "end"), "deep");
}

TEST(HostileArchive, AFolderThatCannotBeCreatedRaisesAnInputOutputError) {
  TempDir root;
  MakeDirs(root.Path() + "dest");
  WriteFile(root.Path() + "dest" + root.Path().back() + "Demo", "a file in the way");
  WriteFile(root.Path() + "a.qvp", ExampleArchive());
  EventLog log;
  EXPECT_THROW(
      RunPacker(SystemFileSystem(), Entpacken, root.Path() + "a.qvp", root.Path() + "dest", log),
      EInOutError);
  EXPECT_TRUE(log.statuses.empty());
}

// Links planted in the destination before the unpack, each leading to `outside`. A link
// at a member's path is replaced by the member (under Wine a symbolic link to a file is
// refused with status 12 instead); a link standing for a folder stops the unpack. Either
// way nothing outside the destination changes.
struct HostileDestination {
  const char* what;
  void (*plant)(const std::string& demo, const std::string& outside);
  bool refused;      // the unpack ends with an input/output error
  bool fileSymlink;  // Wine cannot remove it without deleting its target: status 12 there
};

const HostileDestination kHostileDestinations[] = {
    {"hard link at a member",
     [](const std::string& demo, const std::string& outside) {
       MakeDirs(demo);
       sfs::create_hard_link(outside + "victim", demo + "a.txt");
     },
     false, false},
    {"hard link at a member one level down",
     [](const std::string& demo, const std::string& outside) {
       MakeDirs(demo + "Bilder");
       sfs::create_hard_link(outside + "victim", sfs::path(demo) / "Bilder" / "x.bmp");
     },
     false, false},
    {"file link at a member",
     [](const std::string& demo, const std::string& outside) {
       MakeDirs(demo);
       MakeSymlink(outside + "victim", demo + "a.txt");
     },
     false, true},
    {"dangling link at a member",
     [](const std::string& demo, const std::string& outside) {
       MakeDirs(demo);
       MakeSymlink(outside + "new.txt", demo + "a.txt");
     },
     false, true},
    {"folder link as the root folder",
     [](const std::string& demo, const std::string& outside) {
       MakeDirs(sfs::path(demo).parent_path().parent_path().string());
       MakeSymlink(outside, sfs::path(demo).parent_path().string());
     },
     true, true},
    {"folder link as a subfolder",
     [](const std::string& demo, const std::string& outside) {
       MakeDirs(demo);
       MakeSymlink(outside, demo + "Bilder");
     },
     true, true},
};

TEST(HostileDestination, NothingOutsideTheDestinationChanges) {
  const bool windows = SystemFileSystem().Delimiter() == '\\';
  for (const HostileDestination& h : kHostileDestinations) {
    SCOPED_TRACE(h.what);
    TempDir root;
    const char sep = root.Path().back();
    const std::string outside = root.Path() + "outside" + sep;
    const std::string dest = root.Path() + "dest" + sep;
    WriteFile(outside + "victim", "keep");
    h.plant(dest + "Demo" + sep, outside);
    const Tree before = TreeOf(outside);
    WriteFile(root.Path() + "a.qvp", ExampleArchive());
    EventLog log;
    if (h.refused) {
      EXPECT_THROW(RunPacker(SystemFileSystem(), Entpacken, root.Path() + "a.qvp", dest, log),
                   EInOutError);
    } else {
      const int status = windows && h.fileSymlink ? 12 : 0;
      EXPECT_EQ(RunPacker(SystemFileSystem(), Entpacken, root.Path() + "a.qvp", dest, log), status);
      if (status == 0) {
        EXPECT_EQ(TreeOf(dest), (Tree{{"Demo/", ""},
                                      {"Demo/Bilder/", ""},
                                      {"Demo/Bilder/x.bmp", Bytes(300, 7)},
                                      {"Demo/a.txt", "Hallo"}}));
        EXPECT_FALSE(sfs::is_symlink(dest + "Demo" + sep + "a.txt"));
      }
    }
    EXPECT_EQ(TreeOf(outside), before);
  }
}

}  // namespace
}  // namespace qvr::test
