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
  Result<std::vector<DirEntry>> entries = folder.List();
  return entries ? *entries : std::vector<DirEntry>{};
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
  for (Result<std::uint32_t> got = file.Read(buffer, sizeof buffer); got && *got > 0;
       got = file.Read(buffer, sizeof buffer)) {
    content.append(buffer, *got);
  }
  return content;
}

bool WriteAll(OpenFile& file, const std::string& bytes) {
  return static_cast<bool>(file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

// The reason a call failed, or "ok".
template <typename T>
std::string Why(const Result<T>& result) {
  return result ? "ok" : DescribeReason(result.Error().reason);
}
std::string Because(FileReason reason) {
  return DescribeReason(reason);
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
  std::unique_ptr<Folder> top_ = fs_.OpenFolder(dir_.Path()).Take();
  std::string Path(const std::string& relative) const {
    std::string path = dir_.Path() + relative;
    std::replace(path.begin(), path.end(), '/', fs_.Delimiter());
    return path;
  }
  std::unique_ptr<Folder> Sub(const std::string& name) {
    Result<std::unique_ptr<Folder>> folder = top_->OpenOrCreateFolder(name);
    return folder ? folder.Take() : nullptr;
  }
};

TEST_F(FileSystemTest, ListingHoldsEveryEntryOnceWithoutDotEntries) {
  for (const char* name : {"b.txt", "a", "C.DAT", "b_"}) WriteFile(Path(name), name);
  MakeDirs(Path("sub"));
  WriteFile(Path("sub/inner"), "not listed");

  ASSERT_NE(top_, nullptr);
  EXPECT_EQ(top_->Path(), dir_.Path());
  std::vector<std::string> names = Names(ListAll(*top_));
#ifdef _WIN32
  std::sort(names.begin(), names.end());
#endif
  // Byte order on POSIX, so that a packed archive does not depend on the disk.
  EXPECT_EQ(names, (std::vector<std::string>{"C.DAT", "a", "b.txt", "b_", "sub"}));
  EXPECT_TRUE(Names(ListAll(*Sub("empty"))).empty());
}

TEST_F(FileSystemTest, AttributesSizesAndIdentities) {
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

  // Two handles of one entry say the same identity; another entry says another.
  auto once = top_->OpenFolder("folder");
  auto again = top_->OpenFolder("folder");
  auto file = top_->Open("plain");
  ASSERT_TRUE(once && again && file);
  const Result<EntryInfo> a = (*once)->Info(), b = (*again)->Info(), f = (*file)->Info();
  ASSERT_TRUE(a && b && f);
  EXPECT_EQ(a->kind, EntryKind::Folder);
  EXPECT_EQ(f->kind, EntryKind::File);
  EXPECT_EQ(f->links, 1u);
  EXPECT_EQ(a->id, b->id);
  EXPECT_FALSE(a->id == f->id);
  // Whoever runs the tests made them.
  const Result<Owner> owner = (*file)->ReadOwner();
  ASSERT_TRUE(owner);
  EXPECT_NE(*owner, Owner::OtherUser);
}

#ifndef _WIN32
TEST_F(FileSystemTest, SizesBeyondFourGibibytesAreReportedWhole) {
  WriteFile(Path("sparse"), "");
  const std::uint64_t size = (5ULL << 30) + 7;
  sfs::resize_file(Path("sparse"), size);
  EXPECT_EQ(Find(ListAll(*top_), "sparse")->size, size);
}
#endif

TEST_F(FileSystemTest, FilesAreWrittenReadBackAndSoughtIn) {
  const std::string bytes("binary\0data\r\n\xff", 14);
  {
    auto out = top_->Create("f.bin", IfExists::Fail);
    ASSERT_TRUE(out);
    EXPECT_TRUE(WriteAll(**out, bytes));
  }
  EXPECT_EQ(Why(top_->Create("f.bin", IfExists::Fail)), Because(FileReason::Exists));
  {
    // Replacing truncates the old content.
    auto out = top_->Create("f.bin", IfExists::Replace);
    ASSERT_TRUE(out);
    EXPECT_TRUE(WriteAll(**out, "new file"));
  }
  auto in = top_->Open("f.bin");
  ASSERT_TRUE(in);
  EXPECT_EQ(ReadAll(**in), "new file");
  char c;
  EXPECT_EQ(*(*in)->Read(&c, 1), 0u);
  ASSERT_TRUE((*in)->Seek(4));
  EXPECT_EQ(ReadAll(**in), "file");
  EXPECT_EQ(*(*in)->Size(), 8u);
  auto byPath = fs_.OpenShared(Path("f.bin"));
  ASSERT_TRUE(byPath);
  EXPECT_EQ(ReadAll(**byPath), "new file");
}

TEST_F(FileSystemTest, ExclusiveFileRefusesOthersAndKeepsItsContent) {
  WriteFile(Path("other"), "intruder");
  auto holder = top_->Create("held", IfExists::Replace);
  ASSERT_TRUE(holder);
  ASSERT_TRUE(WriteAll(**holder, "precious"));

  EXPECT_EQ(Why(top_->Create("held", IfExists::Replace)), Because(FileReason::InUse));
  EXPECT_EQ(Why(top_->Open("held")), Because(FileReason::InUse));
  EXPECT_EQ(Why(top_->Remove("held")), Because(FileReason::InUse));
  EXPECT_FALSE(fs_.OpenShared(Path("held")));
  holder->reset();

  EXPECT_EQ(ReadFile(Path("held")), "precious");
  EXPECT_TRUE(top_->Open("held"));
}

TEST_F(FileSystemTest, SharedReadersCoexistButKeepOutAnExclusiveWriter) {
  WriteFile(Path("shared"), "abc");
  auto first = top_->Open("shared");
  auto second = fs_.OpenShared(Path("shared"));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(ReadAll(**first), "abc");
  EXPECT_EQ(ReadAll(**second), "abc");
  EXPECT_FALSE(top_->Create("shared", IfExists::Replace));
  EXPECT_EQ(ReadFile(Path("shared")), "abc");
}

TEST_F(FileSystemTest, FailuresSayWhatWasDoneWhereAndWhy) {
  MakeDirs(Path("folder"));
  WriteFile(Path("file"), "f");
  const Result<std::unique_ptr<OpenFile>> missing = fs_.OpenShared(Path("missing"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().reason, FileReason::NotFound);
  EXPECT_EQ(missing.Error().path, Path("missing"));
  const std::string text = missing.Error().ReasonText();
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '.');
#ifndef _WIN32
  EXPECT_EQ(missing.Error().Message(),
            "could not open \"" + Path("missing") + "\": No such file or directory");
#endif
  const struct {
    const char* what;
    std::string why;
    FileReason reason;
  } cases[] = {
      {"open a missing file", Why(top_->Open("missing")), FileReason::NotFound},
      {"open a folder as a file", Why(top_->Open("folder")), FileReason::IsFolder},
      {"open a folder by path", Why(fs_.OpenShared(Path("folder"))), FileReason::IsFolder},
      {"replace a folder", Why(top_->Create("folder", IfExists::Replace)), FileReason::IsFolder},
      {"open a missing folder", Why(top_->OpenFolder("missing")), FileReason::NotFound},
      {"open a missing folder by path", Why(fs_.OpenFolder(Path("missing"))), FileReason::NotFound},
      {"open a file as a folder", Why(top_->OpenFolder("file")), FileReason::NotFolder},
      {"open a file as a folder by path", Why(fs_.OpenFolder(Path("file"))), FileReason::NotFolder},
      {"create a folder over a file", Why(top_->CreateFolder("file")), FileReason::Exists},
      {"open or create a folder over a file", Why(top_->OpenOrCreateFolder("file")),
       FileReason::NotFolder},
      {"remove what is not there", Why(top_->Remove("missing")), FileReason::NotFound},
  };
  for (const auto& c : cases) EXPECT_EQ(c.why, Because(c.reason)) << c.what;
  // A name is one entry of the folder, never a path that a lookup could take elsewhere.
  std::vector<std::string> names{"", ".", "..", "folder/x", std::string("fol\0der", 7)};
#ifdef _WIN32
  names.insert(names.end(), {"folder\\x", "C:x"});
#endif
  for (const std::string& name : names) {
    EXPECT_FALSE(top_->Create(name, IfExists::Replace)) << name;
    EXPECT_FALSE(top_->OpenFolder(name)) << name;
    EXPECT_FALSE(top_->RemoveTree(name)) << name;
    EXPECT_FALSE(top_->Rename("file", *top_, name)) << name;
  }
  EXPECT_TRUE(sfs::is_directory(PathOf(Path("folder"))));
  EXPECT_TRUE(fs_.FileExists(Path("file")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("file")));
  EXPECT_FALSE(fs_.FileExists(Path("folder")));
  EXPECT_TRUE(fs_.DirectoryExists(Path("folder/")));
  EXPECT_FALSE(fs_.FileExists(Path("nothing")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("nothing")));
}

TEST_F(FileSystemTest, PlainFilesAreCopiedWithoutOverwriting) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
  WriteFile(Path("from/big"), big);
  WriteFile(Path("from/font"), "new content");
  WriteFile(Path("to/font"), "old");
  auto from = fs_.OpenFolder(Path("from"));
  auto to = fs_.OpenFolder(Path("to/"));
  ASSERT_TRUE(from && to);

  EXPECT_EQ(Why(CopyPlainFile(**from, "font", **to)), Because(FileReason::Exists));
  EXPECT_EQ(ReadFile(Path("to/font")), "old");
  ASSERT_TRUE(CopyPlainFile(**from, "big", **to));
  EXPECT_TRUE(ReadFile(Path("to/big")) == big);
  EXPECT_EQ(Why(CopyPlainFile(**from, "missing", **to)), Because(FileReason::NotFound));
  EXPECT_FALSE(sfs::exists(PathOf(Path("to/missing"))));
}

TEST_F(FileSystemTest, FoldersAreCreatedOpenedAndRenamed) {
  auto a = top_->CreateFolder("a");
  ASSERT_TRUE(a);
  auto b = (*a)->CreateFolder("b");
  ASSERT_TRUE(b);
  EXPECT_EQ((*b)->Path(), Path("a/b/"));
  EXPECT_TRUE(fs_.DirectoryExists(Path("a/b")));
  EXPECT_EQ(Why((*a)->CreateFolder("b")), Because(FileReason::Exists));
  EXPECT_TRUE((*a)->OpenOrCreateFolder("b"));
  EXPECT_TRUE(fs_.OpenFolder(Path("a/b/")));

  // Moved into another held folder under a new name; an entry of that name stays.
  WriteFile(Path("a/f"), "f");
  auto c = top_->CreateFolder("c");
  ASSERT_TRUE(c);
  b->reset();  // a held folder cannot be renamed on Windows
  ASSERT_TRUE((*a)->Rename("b", **c, "b2"));
  ASSERT_TRUE((*a)->Rename("f", **c, "f2"));
  EXPECT_TRUE(sfs::is_directory(PathOf(Path("c/b2"))));
  EXPECT_EQ(ReadFile(Path("c/f2")), "f");
  WriteFile(Path("a/f"), "second");
  EXPECT_EQ(Why((*a)->Rename("f", **c, "f2")), Because(FileReason::Exists));
  EXPECT_EQ(ReadFile(Path("c/f2")), "f");
  EXPECT_EQ(Why((*a)->Rename("missing", **c, "m")), Because(FileReason::NotFound));
}

TEST_F(FileSystemTest, RemovalTakesWholeTreesAndNeverWhatALinkLeadsTo) {
  WriteFile(Path("outside/kept"), "kept");
  WriteFile(Path("tree/sub/deep/file"), "x");
  WriteFile(Path("tree/top"), "y");
  sfs::create_hard_link(PathOf(Path("outside/kept")), PathOf(Path("tree/sub/hard")));
  MakeDirs(Path("empty"));
  EXPECT_EQ(Why(top_->Remove("tree")), Because(FileReason::Exists));  // not empty
  EXPECT_TRUE(top_->RemoveTree("tree"));
  EXPECT_FALSE(sfs::exists(PathOf(Path("tree"))));
  EXPECT_TRUE(top_->RemoveTree("tree"));  // nothing left to remove
  EXPECT_TRUE(top_->Remove("empty"));
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
  EXPECT_EQ(Why(fs_.OpenFolder(Path("dirlink"))), Because(FileReason::IsLink));
  EXPECT_EQ(Why(fs_.OpenFolder(Path("dirlink/"))), Because(FileReason::IsLink));
  EXPECT_EQ(Why(top_->OpenFolder("dirlink")), Because(FileReason::IsLink));
  EXPECT_EQ(Why(top_->OpenOrCreateFolder("dirlink")), Because(FileReason::IsLink));
  EXPECT_EQ(Why(top_->CreateFolder("dirlink")), Because(FileReason::Exists));
  EXPECT_EQ(Why(top_->Open("filelink")), Because(FileReason::IsLink));
  auto copies = Sub("copies");
  EXPECT_EQ(Why(CopyPlainFile(*top_, "filelink", *copies)), Because(FileReason::IsLink));
  EXPECT_EQ(Why(CopyPlainFile(*top_, "hardlink", *copies)), Because(FileReason::OtherNames));
  EXPECT_TRUE(ListAll(*copies).empty());
  // The archive is input: a link to it is followed.
  EXPECT_TRUE(fs_.FileExists(Path("filelink")));
  {
    auto archive = fs_.OpenShared(Path("filelink"));
    ASSERT_TRUE(archive);
    EXPECT_EQ(ReadAll(**archive), "target content");
  }

  // Replacing drops a hard link and creates a file of its own; a symbolic link is
  // dropped as well where the system can remove it without touching its target.
  for (const char* link : {"hardlink", "filelink"}) {
    if (auto replaced = top_->Create(link, IfExists::Replace)) {
      EXPECT_TRUE(WriteAll(**replaced, "new"));
      replaced->reset();
      EXPECT_FALSE(sfs::is_symlink(PathOf(Path(link)))) << link;
      EXPECT_EQ(ReadFile(Path(link)), "new") << link;
    }
    EXPECT_EQ(ReadFile(Path("target/file")), "target content") << link;
  }
#ifndef _WIN32
  EXPECT_EQ(Find(ListAll(*top_), "dirlink")->attributes, attr::kReparsePoint);
  // A link is renamed itself, never what it leads to.
  ASSERT_TRUE(top_->Rename("dirlink", *copies, "moved-link"));
  EXPECT_TRUE(sfs::is_symlink(PathOf(Path("copies/moved-link"))));

  // The held folder is renamed and a link to a folder outside takes its name, as a
  // second process could do between two calls: the next file still lands in the folder
  // that was opened.
  auto sub = Sub("sub");
  ASSERT_NE(sub, nullptr);
  sfs::rename(PathOf(Path("sub")), PathOf(Path("moved")));
  MakeSymlink(Path("target"), Path("sub"));
  auto file = sub->Create("file", IfExists::Replace);
  ASSERT_TRUE(file);
  EXPECT_TRUE(WriteAll(**file, "inside"));
  EXPECT_EQ(ReadFile(Path("moved/file")), "inside");
  EXPECT_EQ(ReadFile(Path("target/file")), "target content");
  EXPECT_TRUE(top_->RemoveTree("sub"));
  EXPECT_TRUE(sfs::exists(PathOf(Path("target/file"))));
#endif
}

#ifndef _WIN32
// The owner and mode are set on the opened entry itself; a link and a second name of a
// file elsewhere are not changed. Modes are explicit, whatever the umask.
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
  const mode_t umask = ::umask(0);
  auto intern = top_->OpenFolder("Intern");
  ASSERT_TRUE(intern);
  ASSERT_TRUE((*intern)->SetRights(Rights::Administrators, Grant::Own));
  ASSERT_TRUE((*intern)->PassOnRights("Programm", Rights::Administrators));
  EXPECT_TRUE((*intern)->PassOnRights("missing", Rights::Administrators));
  auto created = (*intern)->CreateFolder("Neu");
  ASSERT_TRUE(created);
  ASSERT_TRUE((*created)->Create("neu.dll", IfExists::Fail));
  const auto perms = [&](const char* p) { return sfs::status(Path(p)).permissions(); };
  const auto readOnly = sfs::perms::owner_all | sfs::perms::group_read | sfs::perms::group_exec |
                        sfs::perms::others_read | sfs::perms::others_exec;
  for (const char* p : {"Intern", "Intern/Programm", "Intern/Programm/prog", "Intern/Neu"}) {
    EXPECT_EQ(perms(p), readOnly) << p;
  }
  EXPECT_EQ(
      perms("Intern/Neu/neu.dll"),
      readOnly & ~(sfs::perms::owner_exec | sfs::perms::group_exec | sfs::perms::others_exec));
  EXPECT_EQ(perms("outside"), sfs::perms::all | sfs::perms::set_uid);
  EXPECT_EQ(perms("hard-outside"), sfs::perms::all | sfs::perms::set_uid);

  // Where users keep data, they may add entries and change what lies inside, but not
  // rename or remove what others put there.
  auto data = top_->CreateFolder("Daten", Rights::UserData);
  ASSERT_TRUE(data);
  const auto shared = sfs::perms::all | sfs::perms::sticky_bit;
  EXPECT_EQ(perms("Daten"), shared);
  WriteFile(Path("Daten/report"), "r");
  sfs::permissions(Path("Daten/report"), sfs::perms::owner_read | sfs::perms::owner_write);
  ASSERT_TRUE((*data)->PassOnRights("report", Rights::UserData));
  const auto writable = sfs::perms::owner_read | sfs::perms::owner_write | sfs::perms::group_read |
                        sfs::perms::group_write | sfs::perms::others_read |
                        sfs::perms::others_write;
  EXPECT_EQ(perms("Daten/report"), writable);
  ASSERT_TRUE((*data)->CreateFolder("Neu"));
  ASSERT_TRUE((*data)->Create("neu.txt", IfExists::Fail));
  EXPECT_EQ(perms("Daten/Neu"), shared);
  EXPECT_EQ(perms("Daten/neu.txt"), writable);
  ::umask(umask);
}
#endif

}  // namespace
}  // namespace qvr
