#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

namespace sfs = std::filesystem;
using test::MakeDirs;
using test::MakeSymlink;
using test::PathOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<DirEntry> ListAll(Folder& folder) {
  std::vector<DirEntry> entries;
  const auto listing = folder.List();
  for (DirEntry entry; listing && listing->Next(entry);) entries.push_back(entry);
  return entries;
}

std::vector<std::string> Names(const std::vector<DirEntry>& entries) {
  std::vector<std::string> names;
  for (const DirEntry& e : entries) names.push_back(e.name);
  return names;
}

const DirEntry* Find(const std::vector<DirEntry>& entries, const std::string& name) {
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const DirEntry& e) { return e.name == name; });
  return it == entries.end() ? nullptr : &*it;
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
  sfs::permissions(PathOf(path),
                   sfs::perms::owner_write | sfs::perms::group_write | sfs::perms::others_write,
                   sfs::perm_options::remove);
}

class FileSystemTest : public ::testing::Test {
 protected:
  FileSystem& fs_ = SystemFileSystem();
  TempDir dir_;
  std::unique_ptr<Folder> top_ = fs_.OpenFolder(dir_.Path());
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

  ASSERT_NE(top_, nullptr);
  EXPECT_EQ(top_->Path(), dir_.Path());
  const std::vector<DirEntry> entries = ListAll(*top_);
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
  // An empty folder still lists "." and "..".
  EXPECT_EQ(Names(ListAll(*top_->CreateFolder("empty"))), (std::vector<std::string>{".", ".."}));
  EXPECT_EQ(top_->Lookup("sub"), EntryKind::Folder);
  EXPECT_EQ(top_->Lookup("a"), EntryKind::File);
  EXPECT_EQ(top_->Lookup("missing"), EntryKind::None);
}

TEST_F(FileSystemTest, AttributesAndSizesOfFilesAndFolders) {
  WriteFile(Path("plain"), "12345");
  WriteFile(Path("locked"), "123");
  MakeReadOnly(Path("locked"));
  MakeDirs(Path("folder"));

  const std::vector<DirEntry> entries = ListAll(*top_);
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
  sfs::resize_file(Path("sparse"), size);
  EXPECT_EQ(Find(ListAll(*top_), "sparse")->size, size);
}
#endif

TEST_F(FileSystemTest, FilesAreWrittenAndReadBack) {
  const std::string bytes("binary\0data\r\n\xff", 14);
  {
    auto out = top_->Create("f.bin", IfExists::Fail);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteAll(*out, bytes));
  }
  EXPECT_EQ(top_->Create("f.bin", IfExists::Fail), nullptr);
  {
    // Replacing truncates the old content.
    auto out = top_->Create("f.bin", IfExists::Replace);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteAll(*out, "new"));
  }
  auto in = top_->Open("f.bin");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadAll(*in), "new");
  std::uint32_t got = 99;
  char c;
  EXPECT_TRUE(in->Read(&c, 1, got));
  EXPECT_EQ(got, 0u);
  auto byPath = fs_.OpenShared(Path("f.bin"));
  ASSERT_NE(byPath, nullptr);
  EXPECT_EQ(ReadAll(*byPath), "new");
}

TEST_F(FileSystemTest, ExclusiveFileRefusesOthersAndKeepsItsContent) {
  WriteFile(Path("other"), "intruder");
  auto holder = top_->Create("held", IfExists::Replace);
  ASSERT_NE(holder, nullptr);
  ASSERT_TRUE(WriteAll(*holder, "precious"));

  EXPECT_EQ(top_->Create("held", IfExists::Replace), nullptr);
  EXPECT_FALSE(fs_.LastErrorText().empty());
  EXPECT_EQ(top_->Open("held"), nullptr);
  EXPECT_EQ(fs_.OpenShared(Path("held")), nullptr);
  holder.reset();

  EXPECT_EQ(ReadFile(Path("held")), "precious");
  EXPECT_NE(top_->Open("held"), nullptr);
}

TEST_F(FileSystemTest, SharedReadersCoexistButKeepOutAnExclusiveWriter) {
  WriteFile(Path("shared"), "abc");
  auto first = top_->Open("shared");
  auto second = fs_.OpenShared(Path("shared"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ReadAll(*first), "abc");
  EXPECT_EQ(ReadAll(*second), "abc");
  EXPECT_EQ(top_->Create("shared", IfExists::Replace), nullptr);
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
  EXPECT_EQ(top_->Open("missing"), nullptr);
  EXPECT_EQ(top_->Open("folder"), nullptr);
  EXPECT_EQ(fs_.OpenShared(Path("folder")), nullptr);
  EXPECT_EQ(top_->Create("folder", IfExists::Replace), nullptr);
  EXPECT_EQ(fs_.OpenFolder(Path("missing")), nullptr);
  EXPECT_EQ(top_->OpenFolder("missing"), nullptr);
  // A name is one entry of the folder, never a path that a lookup could take elsewhere.
  std::vector<std::string> names{"", ".", "..", "folder/x"};
#ifdef _WIN32
  names.insert(names.end(), {"folder\\x", "C:x"});
#endif
  for (const std::string& name : names) {
    EXPECT_EQ(top_->Create(name, IfExists::Replace), nullptr) << name;
    EXPECT_EQ(top_->OpenFolder(name), nullptr) << name;
    EXPECT_FALSE(top_->Remove(name)) << name;
  }
  EXPECT_TRUE(sfs::is_directory(PathOf(Path("folder"))));
}

TEST_F(FileSystemTest, PlainFilesAreCopiedWithoutOverwriting) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
  WriteFile(Path("from/big"), big);
  WriteFile(Path("from/font"), "new content");
  WriteFile(Path("to/font"), "old");
  auto from = fs_.OpenFolder(Path("from"));
  auto to = fs_.OpenFolder(Path("to/"));
  ASSERT_NE(from, nullptr);
  ASSERT_NE(to, nullptr);

  EXPECT_FALSE(CopyPlainFile(*from, "font", *to));
  EXPECT_EQ(ReadFile(Path("to/font")), "old");
  ASSERT_TRUE(CopyPlainFile(*from, "big", *to));
  EXPECT_TRUE(ReadFile(Path("to/big")) == big);
  EXPECT_FALSE(CopyPlainFile(*from, "missing", *to));
  EXPECT_EQ(to->Lookup("missing"), EntryKind::None);
}

TEST_F(FileSystemTest, FoldersAreCreatedAndRecognised) {
  auto a = top_->CreateFolder("a");
  ASSERT_NE(a, nullptr);
  auto b = a->CreateFolder("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Path(), Path("a/b/"));
  EXPECT_TRUE(fs_.DirectoryExists(Path("a/b")));
  EXPECT_TRUE(fs_.DirectoryExists(Path("a/b/")));
  EXPECT_NE(a->CreateFolder("b"), nullptr);  // already there
  EXPECT_NE(fs_.OpenFolder(Path("a/b/")), nullptr);

  WriteFile(Path("file"), "f");
  EXPECT_EQ(top_->CreateFolder("file"), nullptr);
  EXPECT_EQ(top_->OpenFolder("file"), nullptr);
  EXPECT_EQ(fs_.LastErrorText(), reason::kFileNotFolder);
  EXPECT_EQ(fs_.OpenFolder(Path("file")), nullptr);
  EXPECT_TRUE(fs_.FileExists(Path("file")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("file")));
  EXPECT_FALSE(fs_.FileExists(Path("a")));
  EXPECT_FALSE(fs_.FileExists(Path("nothing")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("nothing")));
}

TEST_F(FileSystemTest, RemovalTakesWholeTreesAndNeverWhatALinkLeadsTo) {
  WriteFile(Path("outside/kept"), "kept");
  WriteFile(Path("tree/sub/deep/file"), "x");
  WriteFile(Path("tree/top"), "y");
  sfs::create_hard_link(PathOf(Path("outside/kept")), PathOf(Path("tree/sub/hard")));
  EXPECT_TRUE(top_->Remove("tree"));
  EXPECT_EQ(top_->Lookup("tree"), EntryKind::None);
  EXPECT_TRUE(top_->Remove("tree"));  // nothing left to remove
  EXPECT_EQ(ReadFile(Path("outside/kept")), "kept");
}

// A held folder keeps meaning the folder that was checked: a link put in its place is
// never followed, whatever happens to its name.
TEST_F(FileSystemTest, LinksAreNeverFollowedBelowAFolder) {
  WriteFile(Path("target/file"), "target content");
  MakeSymlink(Path("target"), Path("dirlink"));
  MakeSymlink(Path("target/file"), Path("filelink"));
  sfs::create_hard_link(PathOf(Path("target/file")), PathOf(Path("hardlink")));

  EXPECT_FALSE(fs_.DirectoryExists(Path("dirlink")));
  EXPECT_EQ(fs_.OpenFolder(Path("dirlink")), nullptr);
  EXPECT_EQ(fs_.OpenFolder(Path("dirlink/")), nullptr);
  EXPECT_EQ(top_->OpenFolder("dirlink"), nullptr);
  EXPECT_EQ(fs_.LastErrorText(), reason::kLinkNotFollowed);
  EXPECT_EQ(top_->Lookup("dirlink"), EntryKind::Link);
  EXPECT_EQ(top_->Lookup("filelink"), EntryKind::Link);
  EXPECT_EQ(top_->Lookup("hardlink"), EntryKind::File);
  EXPECT_EQ(top_->CreateFolder("dirlink"), nullptr);
  EXPECT_EQ(top_->Open("filelink"), nullptr);
  auto copies = top_->CreateFolder("copies");
  EXPECT_FALSE(CopyPlainFile(*top_, "filelink", *copies));
  EXPECT_FALSE(CopyPlainFile(*top_, "hardlink", *copies));
  EXPECT_EQ(fs_.LastErrorText(), reason::kNotPlainFile);
  EXPECT_EQ(ListAll(*copies).size(), 2u);  // "." and ".." alone
  // The archive is input: a link to it is followed.
  EXPECT_TRUE(fs_.FileExists(Path("filelink")));
  auto archive = fs_.OpenShared(Path("filelink"));
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(ReadAll(*archive), "target content");
  archive.reset();

  // Replacing drops a hard link and creates a file of its own; a symbolic link is
  // dropped as well where the system can remove it without touching its target.
  for (const char* link : {"hardlink", "filelink"}) {
    if (auto replaced = top_->Create(link, IfExists::Replace)) {
      EXPECT_TRUE(WriteAll(*replaced, "new"));
      replaced.reset();
      EXPECT_FALSE(sfs::is_symlink(PathOf(Path(link)))) << link;
      EXPECT_EQ(ReadFile(Path(link)), "new") << link;
    }
    EXPECT_EQ(ReadFile(Path("target/file")), "target content") << link;
  }
#ifndef _WIN32
  const std::vector<DirEntry> entries = ListAll(*top_);
  EXPECT_EQ(Find(entries, "dirlink")->attributes, attr::kReparsePoint);

  // The held folder is renamed and a link to a folder outside takes its name, as a
  // second process could do between two calls: the next file still lands in the folder
  // that was opened.
  auto sub = top_->CreateFolder("sub");
  ASSERT_NE(sub, nullptr);
  sfs::rename(PathOf(Path("sub")), PathOf(Path("moved")));
  MakeSymlink(Path("target"), Path("sub"));
  auto file = sub->Create("file", IfExists::Replace);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(WriteAll(*file, "inside"));
  EXPECT_EQ(ReadFile(Path("moved/file")), "inside");
  EXPECT_EQ(ReadFile(Path("target/file")), "target content");
  EXPECT_TRUE(top_->Remove("sub"));
  EXPECT_TRUE(sfs::exists(PathOf(Path("target/file"))));
#endif
}

#ifndef _WIN32
// The owner and mode are set on the opened entry itself; a link and a second name of a
// file elsewhere are not changed.
TEST_F(FileSystemTest, RightsAreSetThroughHandlesAndPassedOnWithoutFollowingLinks) {
  WriteFile(Path("outside"), "x");
  WriteFile(Path("hard-outside"), "y");
  WriteFile(Path("Intern/Programm/prog"), "MZ");
  MakeSymlink(Path("outside"), Path("Intern/Programm/link"));
  sfs::create_hard_link(Path("hard-outside"), Path("Intern/Programm/hard"));
  for (const char* p :
       {"outside", "hard-outside", "Intern", "Intern/Programm", "Intern/Programm/prog"}) {
    sfs::permissions(Path(p), sfs::perms::all | sfs::perms::set_uid);
  }
  auto intern = top_->OpenFolder("Intern");
  ASSERT_NE(intern, nullptr);
  ASSERT_TRUE(intern->SetRights(Rights::Administrators));
  ASSERT_TRUE(intern->PassOnRights("Programm", Rights::Administrators));
  EXPECT_TRUE(intern->PassOnRights("missing", Rights::Administrators));
  const auto perms = [&](const char* p) { return sfs::status(Path(p)).permissions(); };
  for (const char* p : {"Intern", "Intern/Programm", "Intern/Programm/prog"}) {
    EXPECT_EQ(perms(p), sfs::perms::owner_all | sfs::perms::group_read | sfs::perms::group_exec |
                            sfs::perms::others_read | sfs::perms::others_exec)
        << p;
  }
  EXPECT_EQ(perms("outside"), sfs::perms::all | sfs::perms::set_uid);
  EXPECT_EQ(perms("hard-outside"), sfs::perms::all | sfs::perms::set_uid);

  // Where users keep data, they may add entries and change what lies inside.
  auto data = top_->CreateFolder("Daten", Rights::UserData);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(perms("Daten"), sfs::perms::all | sfs::perms::sticky_bit);
  WriteFile(Path("Daten/report"), "r");
  sfs::permissions(Path("Daten/report"), sfs::perms::owner_read | sfs::perms::owner_write);
  ASSERT_TRUE(data->PassOnRights("report", Rights::UserData));
  EXPECT_EQ(perms("Daten/report"), sfs::perms::owner_read | sfs::perms::owner_write |
                                       sfs::perms::group_read | sfs::perms::group_write |
                                       sfs::perms::others_read | sfs::perms::others_write);
}
#endif

}  // namespace
}  // namespace qvr
