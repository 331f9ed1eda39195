#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using test::MakeDirs;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<DirEntry> ListAll(FileSystem& fs, const std::string& pattern, std::uint32_t mask) {
  std::vector<DirEntry> entries;
  DirEntry entry;
  auto search = fs.FindFirst(pattern, mask, entry);
  if (!search) return entries;
  do {
    entries.push_back(entry);
  } while (search->Next(entry));
  return entries;
}

std::vector<std::string> Names(const std::vector<DirEntry>& entries) {
  std::vector<std::string> names;
  for (const DirEntry& e : entries) names.push_back(e.name);
  return names;
}

const DirEntry* Find(const std::vector<DirEntry>& entries, const std::string& name) {
  for (const DirEntry& e : entries) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

std::string ReadAll(OpenFile& file) {
  std::string content;
  char buffer[7];
  std::uint32_t got = 0;
  while (file.Read(buffer, sizeof buffer, got) && got > 0) content.append(buffer, got);
  return content;
}

bool WriteAll(OpenFile& file, const std::string& bytes) {
  std::uint32_t written = 0;
  return file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), written) &&
         written == bytes.size();
}

void MakeReadOnly(const std::string& path) {
  std::filesystem::permissions(path,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
}

class FileSystemTest : public ::testing::Test {
 protected:
  FileSystem& fs_ = SystemFileSystem();
  TempDir dir_;
  std::string Path(const std::string& relative) const {
    std::string path = dir_.Path() + relative;
    std::replace(path.begin(), path.end(), '/', fs_.Delimiter());
    return path;
  }
};

TEST_F(FileSystemTest, ListingStartsWithDotEntriesAndHoldsEveryEntryOnce) {
  for (const char* name : {"b.txt", "a", "C.DAT", "b_"}) WriteFile(Path(name), name);
  MakeDirs(Path("sub"));
  WriteFile(Path("sub/inner"), "not listed");

  const std::vector<DirEntry> entries = ListAll(fs_, Path("*.*"), attr::kAnyFile);
  std::vector<std::string> names = Names(entries);
  ASSERT_EQ(names.size(), 7u);
  EXPECT_EQ(names[0], ".");
  EXPECT_EQ(names[1], "..");
  EXPECT_EQ(entries[0].attributes, attr::kDirectory);
  EXPECT_EQ(entries[1].attributes, attr::kDirectory);
#ifdef _WIN32
  std::sort(names.begin() + 2, names.end());
#endif
  // Byte order on POSIX, so that a packed archive does not depend on the disk.
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "C.DAT", "a", "b.txt", "b_", "sub"}));
}

TEST_F(FileSystemTest, AttributeMaskLeavesOutFoldersItDoesNotAskFor) {
  WriteFile(Path("file"), "x");
  MakeDirs(Path("sub"));
  EXPECT_EQ(Names(ListAll(fs_, Path("*.*"), 0)), std::vector<std::string>{"file"});
  EXPECT_EQ(Names(ListAll(fs_, Path("sub"), 0)), std::vector<std::string>{});
  EXPECT_EQ(Names(ListAll(fs_, Path("sub"), attr::kDirectory)), std::vector<std::string>{"sub"});
}

TEST_F(FileSystemTest, SearchForOnePathFindsThatEntryOrNothing) {
  WriteFile(Path("data.bin"), std::string(1234, 'z'));
  MakeDirs(Path("empty"));

  DirEntry entry;
  auto search = fs_.FindFirst(Path("data.bin"), attr::kAnyFile, entry);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(entry.name, "data.bin");
  EXPECT_EQ(entry.size, 1234u);
  EXPECT_EQ(entry.attributes, attr::kArchive);
  EXPECT_FALSE(search->Next(entry));

  EXPECT_EQ(fs_.FindFirst(Path("missing.bin"), attr::kAnyFile, entry), nullptr);
  EXPECT_EQ(fs_.FindFirst(Path("missing/*.*"), attr::kAnyFile, entry), nullptr);
  // An empty folder still lists "." and "..".
  EXPECT_EQ(Names(ListAll(fs_, Path("empty/*.*"), attr::kAnyFile)),
            (std::vector<std::string>{".", ".."}));
}

TEST_F(FileSystemTest, AttributesAndSizesOfFilesAndFolders) {
  WriteFile(Path("plain"), "12345");
  WriteFile(Path("locked"), "123");
  MakeReadOnly(Path("locked"));
  MakeDirs(Path("folder"));

  const std::vector<DirEntry> entries = ListAll(fs_, Path("*.*"), attr::kAnyFile);
  ASSERT_NE(Find(entries, "plain"), nullptr);
  EXPECT_EQ(Find(entries, "plain")->attributes, attr::kArchive);
  EXPECT_EQ(Find(entries, "plain")->size, 5u);
  EXPECT_EQ(Find(entries, "locked")->attributes, attr::kArchive | attr::kReadOnly);
  EXPECT_EQ(Find(entries, "locked")->size, 3u);
  EXPECT_EQ(Find(entries, "folder")->attributes, attr::kDirectory);
  EXPECT_EQ(Find(entries, "folder")->size, 0u);
}

#ifndef _WIN32
TEST_F(FileSystemTest, SizesBeyondFourGibibytesAreReportedWhole) {
  WriteFile(Path("sparse"), "");
  const std::uint64_t size = (5ULL << 30) + 7;
  std::filesystem::resize_file(Path("sparse"), size);
  DirEntry entry;
  ASSERT_NE(fs_.FindFirst(Path("sparse"), attr::kAnyFile, entry), nullptr);
  EXPECT_EQ(entry.size, size);
}
#endif

TEST_F(FileSystemTest, FilesAreWrittenAndReadBack) {
  const std::string bytes("binary\0data\r\n\xff", 14);
  {
    auto out = fs_.CreateExclusive(Path("f.bin"));
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteAll(*out, bytes));
  }
  {
    // Replacing truncates the old content.
    auto out = fs_.CreateExclusive(Path("f.bin"));
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteAll(*out, "new"));
  }
  auto in = fs_.OpenShared(Path("f.bin"));
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadAll(*in), "new");
  std::uint32_t got = 99;
  char c;
  EXPECT_TRUE(in->Read(&c, 1, got));
  EXPECT_EQ(got, 0u);
}

TEST_F(FileSystemTest, ExclusiveFileRefusesOthersAndKeepsItsContent) {
  WriteFile(Path("other"), "intruder");
  auto holder = fs_.CreateExclusive(Path("held"));
  ASSERT_NE(holder, nullptr);
  ASSERT_TRUE(WriteAll(*holder, "precious"));

  EXPECT_EQ(fs_.CreateExclusive(Path("held")), nullptr);
  EXPECT_FALSE(fs_.LastErrorText().empty());
  EXPECT_EQ(fs_.OpenShared(Path("held")), nullptr);
  EXPECT_FALSE(fs_.CopyFile(Path("other"), Path("held"), false));
  holder.reset();

  EXPECT_EQ(ReadFile(Path("held")), "precious");
  EXPECT_NE(fs_.OpenShared(Path("held")), nullptr);
}

TEST_F(FileSystemTest, SharedReadersCoexistButKeepOutAnExclusiveWriter) {
  WriteFile(Path("shared"), "abc");
  auto first = fs_.OpenShared(Path("shared"));
  auto second = fs_.OpenShared(Path("shared"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ReadAll(*first), "abc");
  EXPECT_EQ(ReadAll(*second), "abc");
  EXPECT_EQ(fs_.CreateExclusive(Path("shared")), nullptr);
  EXPECT_EQ(ReadFile(Path("shared")), "abc");
}

TEST_F(FileSystemTest, OpeningFailsForMissingFilesAndFolders) {
  MakeDirs(Path("folder"));
  EXPECT_EQ(fs_.OpenShared(Path("missing")), nullptr);
  const std::string text = fs_.LastErrorText();
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '.');
#ifndef _WIN32
  EXPECT_EQ(text, "No such file or directory");
#endif
  EXPECT_EQ(fs_.OpenShared(Path("folder")), nullptr);
  EXPECT_EQ(fs_.CreateExclusive(Path("folder")), nullptr);
  EXPECT_EQ(fs_.CreateExclusive(Path("missing/file")), nullptr);
}

TEST_F(FileSystemTest, CopyFileHonoursFailIfExists) {
  WriteFile(Path("src"), "new content");
  WriteFile(Path("old"), "old");

  EXPECT_FALSE(fs_.CopyFile(Path("src"), Path("old"), true));
  EXPECT_EQ(ReadFile(Path("old")), "old");

  EXPECT_TRUE(fs_.CopyFile(Path("src"), Path("old"), false));
  EXPECT_EQ(ReadFile(Path("old")), "new content");

  EXPECT_TRUE(fs_.CopyFile(Path("src"), Path("fresh"), true));
  EXPECT_EQ(ReadFile(Path("fresh")), "new content");

  EXPECT_FALSE(fs_.CopyFile(Path("missing"), Path("never"), false));
  EXPECT_FALSE(fs_.FileExists(Path("never")));
}

TEST_F(FileSystemTest, CopyFileCopiesMoreThanOneBufferFull) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
  WriteFile(Path("big"), big);
  ASSERT_TRUE(fs_.CopyFile(Path("big"), Path("copy"), true));
  EXPECT_TRUE(ReadFile(Path("copy")) == big);
}

TEST_F(FileSystemTest, FoldersAreCreatedAndRecognised) {
  EXPECT_TRUE(fs_.ForceDirectories(Path("a/b/c/")));
  EXPECT_TRUE(fs_.DirectoryExists(Path("a/b/c")));
  EXPECT_TRUE(fs_.DirectoryExists(Path("a/b/c/")));
  EXPECT_TRUE(fs_.ForceDirectories(Path("a/b/c")));  // already there

  EXPECT_FALSE(fs_.CreateDirectory(Path("x/y")));  // missing parent
  EXPECT_FALSE(fs_.DirectoryExists(Path("x")));
  EXPECT_TRUE(fs_.CreateDirectory(Path("x/")));
  EXPECT_FALSE(fs_.CreateDirectory(Path("x")));  // exists

  WriteFile(Path("file"), "f");
  EXPECT_FALSE(fs_.ForceDirectories(Path("file/below")));
  EXPECT_TRUE(fs_.FileExists(Path("file")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("file")));
  EXPECT_FALSE(fs_.FileExists(Path("x")));
  EXPECT_FALSE(fs_.FileExists(Path("nothing")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("nothing")));
}

#ifndef _WIN32
TEST_F(FileSystemTest, SymbolicLinksAreNeverFollowed) {
  MakeDirs(Path("target"));
  WriteFile(Path("target/file"), "target content");
  std::filesystem::create_directory_symlink(Path("target"), Path("dirlink"));
  std::filesystem::create_symlink(Path("target/file"), Path("filelink"));

  const std::vector<DirEntry> entries = ListAll(fs_, Path("*.*"), attr::kAnyFile);
  ASSERT_NE(Find(entries, "dirlink"), nullptr);
  EXPECT_EQ(Find(entries, "dirlink")->attributes, attr::kReparsePoint);
  EXPECT_EQ(Find(entries, "filelink")->attributes, attr::kReparsePoint);
  EXPECT_EQ(Find(entries, "filelink")->size, 0u);

  EXPECT_FALSE(fs_.DirectoryExists(Path("dirlink")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("dirlink/")));
  EXPECT_EQ(fs_.OpenShared(Path("filelink")), nullptr);
  EXPECT_FALSE(fs_.CopyFile(Path("filelink"), Path("copy"), false));
  std::filesystem::create_hard_link(Path("target/file"), Path("hardlink"));
  EXPECT_FALSE(fs_.CopyFile(Path("hardlink"), Path("copy"), false));
  EXPECT_EQ(fs_.LastErrorText(), reason::kNotPlainFile);
  EXPECT_FALSE(fs_.FileExists(Path("copy")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("filelink")));
  EXPECT_EQ(fs_.LastErrorText(), "it is a link, which is not followed");
  // Replacing drops the link and creates a file of its own.
  auto replaced = fs_.CreateExclusive(Path("filelink"));
  ASSERT_NE(replaced, nullptr);
  EXPECT_TRUE(WriteAll(*replaced, "new"));
  replaced.reset();
  EXPECT_FALSE(std::filesystem::is_symlink(Path("filelink")));
  EXPECT_EQ(ReadFile(Path("filelink")), "new");
  // A copy replaces a link the same way.
  EXPECT_TRUE(fs_.CopyFile(Path("filelink"), Path("hardlink"), false));
  EXPECT_EQ(ReadFile(Path("hardlink")), "new");
  EXPECT_EQ(ReadFile(Path("target/file")), "target content");
}
#endif

#ifndef _WIN32
TEST_F(FileSystemTest, ProgramTreeIsClosedToOtherUsersWithoutFollowingLinks) {
  namespace sfs = std::filesystem;
  WriteFile(Path("outside"), "x");
  WriteFile(Path("Intern/Programm/prog"), "MZ");
  sfs::create_symlink(Path("outside"), Path("Intern/Programm/link"));
  for (const char* p : {"outside", "Intern", "Intern/Programm", "Intern/Programm/prog"}) {
    sfs::permissions(Path(p), sfs::perms::all);
  }
  ASSERT_TRUE(fs_.RestrictToAdministrators(Path("Intern/")));
  const auto othersWrite = sfs::perms::group_write | sfs::perms::others_write;
  for (const char* p : {"Intern", "Intern/Programm", "Intern/Programm/prog"}) {
    EXPECT_EQ(sfs::status(Path(p)).permissions() & othersWrite, sfs::perms::none) << p;
  }
  EXPECT_EQ(sfs::status(Path("outside")).permissions(), sfs::perms::all);
  EXPECT_FALSE(fs_.RestrictToAdministrators(Path("outside")));
}
#endif

}  // namespace
}  // namespace qvr
