#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/win32/SystemErrors.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WinText.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

int g_closed = 0;
int g_lastClosed = 0;

struct CountingTraits {
  static int Invalid() noexcept { return -1; }
  static void Close(int handle) noexcept {
    ++g_closed;
    g_lastClosed = handle;
  }
};

TEST(UniqueHandleTest, ClosesEachHandleExactlyOnceAcrossMoves) {
  g_closed = 0;
  {
    UniqueHandle<CountingTraits> a(7);
    UniqueHandle<CountingTraits> b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), 7);
    UniqueHandle<CountingTraits> c(9);
    c = std::move(b);  // closes 9
    EXPECT_EQ(g_closed, 1);
    EXPECT_EQ(g_lastClosed, 9);
    EXPECT_EQ(c.Release(), 7);
    c.Reset(11);
  }
  EXPECT_EQ(g_closed, 2);
  EXPECT_EQ(g_lastClosed, 11);
  UniqueHandle<CountingTraits> empty;
  empty.Reset();
  EXPECT_EQ(g_closed, 2);
}

TEST(WinTextTest, RoundTripsUmlautsAndEmptyText) {
  const std::string utf8 = "Best\xC3\xA4tigen \xE2\x82\xAC";
  const std::wstring wide = L"Best\u00E4tigen \u20AC";
  EXPECT_EQ(Utf8ToWide(utf8), wide);
  EXPECT_EQ(WideToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(Utf8ToAnsi(""), "");
  EXPECT_EQ(AnsiToUtf8("Setup.exe"), "Setup.exe");
  if (::GetACP() == 1252) {
    EXPECT_EQ(AnsiToUtf8("\xE4\xDF"), "\u00E4\u00DF");
    EXPECT_EQ(Utf8ToAnsi("\u00E4\u00DF"), "\xE4\xDF");
  }
}

// The system's message ends with a line break and a full stop; the text for a sentence
// of ours has neither, and a code without a message still says which it was.
TEST(SystemErrorsTest, MessagesAreTrimmedForASentenceAndUnknownCodesNamed) {
  const std::string message = SystemMessage(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(message.empty());
  EXPECT_EQ(message.back(), '\n');
  const std::string text = SystemErrorText(ERROR_ACCESS_DENIED);
  EXPECT_EQ(message.rfind(text, 0), 0u) << message;
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(SystemErrorText(0x2000FFFF), "Windows error 536936447");
}

// The table of code page 1252 reads every byte as Windows itself does, the five
// undefined ones included.
TEST(WinTextTest, CodePage1252TableAgreesWithWindows) {
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t wide[2] = {};
    ASSERT_EQ(::MultiByteToWideChar(1252, 0, &byte, 1, wide, 2), 1);
    EXPECT_EQ(CodePage::Windows1252().ToUtf8(std::string(1, byte)),
              WideToUtf8(std::wstring_view(wide, 1)))
        << b;
  }
}

// Names beyond ASCII and beyond the ANSI code page reach the file system whole.
TEST(Win32FileSystemTest, NamesAreUtf8) {
  FileSystem& fs = SystemFileSystem();
  test::TempDir dir;
  const std::string name = "\u00DCbergabe-\u03A9";
  auto top = fs.OpenFolder(dir.Path());
  ASSERT_TRUE(top);
  auto folder = (*top)->CreateFolder(name);
  ASSERT_TRUE(folder);
  EXPECT_EQ((*folder)->Path(), dir.Path() + name + "\\");
  EXPECT_TRUE(fs.DirectoryExists(dir.Path() + name));
  const std::string file = "Gr\u00FC\u00DFe.txt";
  EXPECT_TRUE((*folder)->Create(file, IfExists::Fail));
  EXPECT_TRUE(CopyPlainFile(**folder, file, **top));
  EXPECT_TRUE(fs.FileExists(dir.Path() + file));
  EXPECT_TRUE(fs.SameName(name, "\u00FCBERGABE-\u03C9"));
  const auto listing = (*top)->List();
  ASSERT_TRUE(listing);
  EXPECT_TRUE(std::any_of(listing->begin(), listing->end(),
                          [&](const DirEntry& entry) { return entry.name == name; }));
  // A short name ("PROGRA~1") stands for the long one that the system's final paths give.
  wchar_t shortPath[MAX_PATH];
  ASSERT_NE(::GetShortPathNameW(Utf8ToWide((*folder)->Path()).c_str(), shortPath, MAX_PATH), 0u);
  EXPECT_TRUE(fs.OpenFolder(WideToUtf8(shortPath))) << WideToUtf8(shortPath);
  EXPECT_TRUE(fs.DirectoryExists(WideToUtf8(shortPath)));
}

TEST(Win32FileSystemTest, DriveRootsCountAsExistingFolders) {
  FileSystem& fs = SystemFileSystem();
  EXPECT_TRUE(fs.DirectoryExists("C:\\"));
  EXPECT_FALSE(fs.FileExists("C:\\"));
  const auto root = fs.OpenFolder("C:\\");
  ASSERT_TRUE(root);
  EXPECT_EQ((*root)->Path(), "C:\\");
  EXPECT_TRUE((*root)->OpenFolder("windows"));
  // A drive letter that is not mapped has no folders.
  char missing[] = "?:\\qvr-test\\";
  const DWORD drives = ::GetLogicalDrives();
  for (char letter = 'Z'; letter > 'C'; --letter) {
    if ((drives & (1u << (letter - 'A'))) == 0) missing[0] = letter;
  }
  ASSERT_NE(missing[0], '?');
  const auto none = fs.OpenFolder(missing);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.Error().reason, FileReason::NotFound) << none.Error().Message();
  EXPECT_FALSE(none.Error().systemText.empty());
  EXPECT_FALSE(fs.DirectoryExists(missing));
}

// A held folder shares no deletion: nobody renames or removes it, but this program's own
// later opens of it, for listing, for its rights or as a rename's target, still succeed.
TEST(Win32FileSystemTest, HeldFolderCannotBeRenamedButIsStillReached) {
  FileSystem& fs = SystemFileSystem();
  test::TempDir dir;
  const std::wstring held = Utf8ToWide(dir.Path() + "held");
  const std::wstring moved = Utf8ToWide(dir.Path() + "moved");
  test::WriteFile(dir.Path() + "f", "f");
  test::WriteFile(dir.Path() + "g", "g");
  auto top = fs.OpenFolder(dir.Path());
  ASSERT_TRUE(top);
  auto folder = (*top)->CreateFolder("held");
  ASSERT_TRUE(folder);
  EXPECT_FALSE(::MoveFileW(held.c_str(), moved.c_str()));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE((*top)->Remove("held").Failed(FileReason::InUse));
  EXPECT_TRUE((*top)->Rename("held", **top, "moved").Failed(FileReason::InUse));
  auto again = (*top)->OpenFolder("held");
  auto byPath = fs.OpenFolder(dir.Path() + "held");
  ASSERT_TRUE(again && byPath);
  // One folder, whichever handle: the volume of one and the index of the other agree.
  const Result<EntryInfo> a = (*folder)->Info(), b = (*byPath)->Info(), t = (*top)->Info();
  ASSERT_TRUE(a && b && t);
  EXPECT_EQ(a->id, b->id);
  EXPECT_FALSE(a->id == t->id);
  EXPECT_EQ(a->kind, EntryKind::Folder);
  EXPECT_TRUE((*folder)->SetRights(Rights::Administrators, Grant::Own));
  EXPECT_TRUE((*top)->PassOnRights("held", Rights::Administrators));
  // Moved into the held folder, by the name it has there; an entry of that name stays.
  ASSERT_TRUE((*top)->Rename("f", **again, "f2"));
  EXPECT_EQ(test::ReadFile(dir.Path() + "held\\f2"), "f");
  EXPECT_TRUE((*top)->Rename("g", **folder, "F2").Failed(FileReason::Exists));
  EXPECT_EQ(test::ReadFile(dir.Path() + "g"), "g");
  folder->reset();
  again->reset();
  byPath->reset();
  EXPECT_TRUE(::MoveFileW(held.c_str(), moved.c_str()));
}

// Replacing and removing take a read-only file as POSIX does, but leave the attribute
// alone where the file has a second name: that may be a file elsewhere.
TEST(Win32FileSystemTest, ReadOnlyFilesAreReplacedAndRemovedUnlessTheyHaveMoreNames) {
  FileSystem& fs = SystemFileSystem();
  test::TempDir dir;
  for (const char* name : {"ro", "tree\\sub\\ro", "outside"}) {
    test::WriteFile(dir.Path() + name, "old");
    ASSERT_TRUE(
        ::SetFileAttributesW(Utf8ToWide(dir.Path() + name).c_str(), FILE_ATTRIBUTE_READONLY));
  }
  ASSERT_TRUE(::CreateHardLinkW(Utf8ToWide(dir.Path() + "twin").c_str(),
                                Utf8ToWide(dir.Path() + "outside").c_str(), nullptr));
  auto top = fs.OpenFolder(dir.Path());
  ASSERT_TRUE(top);
  const auto replaced = (*top)->Create("ro", IfExists::Replace);
  EXPECT_TRUE(replaced) << replaced.Error().Message();
  const auto removed = (*top)->RemoveTree("tree");
  EXPECT_TRUE(removed) << removed.Error().Message();
  EXPECT_FALSE(std::filesystem::exists(test::PathOf(dir.Path() + "tree")));
  EXPECT_FALSE((*top)->Create("twin", IfExists::Replace));
  EXPECT_NE(
      ::GetFileAttributesW(Utf8ToWide(dir.Path() + "outside").c_str()) & FILE_ATTRIBUTE_READONLY,
      0u);
}

// Wine takes a POSIX link for what it leads to, even where the link itself is asked for:
// removing or renaming through such a handle would remove or move the target. The final
// path tells it apart.
TEST(Win32FileSystemTest, LinksPlantedFromPosixAreNeverRemovedOrMovedThrough) {
  FileSystem& fs = SystemFileSystem();
  test::TempDir dir;
  test::WriteFile(dir.Path() + "target\\file", "target content");
  test::MakeSymlink(dir.Path() + "target", dir.Path() + "dirlink");
  test::MakeSymlink(dir.Path() + "target\\file", dir.Path() + "filelink");
  test::MakeSymlink(dir.Path() + "nowhere", dir.Path() + "dangling");
  test::MakeDirs(dir.Path() + "elsewhere");
  auto top = fs.OpenFolder(dir.Path());
  auto elsewhere = fs.OpenFolder(dir.Path() + "elsewhere");
  ASSERT_TRUE(top && elsewhere);
  const auto refusedAsLink = [](const Result<void>& result) {
    return result || result.Failed(FileReason::IsLink);
  };
  for (const char* link : {"dirlink", "filelink"}) {
    const auto removed = (*top)->Remove(link);
    EXPECT_TRUE(refusedAsLink(removed)) << link << ": " << removed.Error().Message();
  }
  for (const char* link : {"filelink", "dangling"}) {
    const auto created = (*top)->Create(link, IfExists::Replace);
    EXPECT_TRUE(created || created.Failed(FileReason::IsLink)) << link;
  }
  // A link is moved itself or not at all.
  test::MakeSymlink(dir.Path() + "target", dir.Path() + "dirlink2");
  test::MakeSymlink(dir.Path() + "target\\file", dir.Path() + "filelink2");
  for (const char* link : {"dirlink2", "filelink2", "dangling"}) {
    const auto renamed = (*top)->Rename(link, **elsewhere, link);
    EXPECT_TRUE(refusedAsLink(renamed)) << link;
    if (renamed) {
      EXPECT_TRUE(std::filesystem::is_symlink(test::PathOf(dir.Path() + "elsewhere\\" + link)));
    }
  }
  EXPECT_EQ(test::ReadFile(dir.Path() + "target\\file"), "target content");
  EXPECT_FALSE(fs.FileExists(dir.Path() + "nowhere"));
  // Named by the caller, a link at the path is followed where that is asked for.
  const auto followed = fs.OpenFolder(dir.Path() + "dirlink\\", LinkAtPath::Followed);
  ASSERT_TRUE(followed);
  EXPECT_TRUE((*followed)->Open("file"));
  EXPECT_TRUE(
      fs.OpenFolder(dir.Path() + "filelink", LinkAtPath::Followed).Failed(FileReason::NotFolder));
}

// Owner and DACL of `path` as SDDL, as the system keeps them.
std::string SecurityOf(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (::GetNamedSecurityInfoW(Utf8ToWide(path).c_str(), SE_FILE_OBJECT, what, nullptr, nullptr,
                              nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return "unreadable";
  }
  char* text = nullptr;
  ::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, what, &text,
                                                         nullptr);
  std::string sddl = text != nullptr ? text : "unconvertible";
  ::LocalFree(text);
  ::LocalFree(descriptor);
  return sddl;
}

// The rights go on each entry through its own handle; a link and a second name of a file
// elsewhere keep theirs. Wine keeps no descriptors of files: it turns a DACL into the
// POSIX mode and makes one up from the mode when asked, so there the changed entries are
// told by the lost access for Everyone (WD) that the mode gave them before.
TEST(ProgramTreeSecurityTest, RightsAreSetThroughHandlesAndPassedOnWithoutFollowingLinks) {
  FileSystem& fs = SystemFileSystem();
  test::TempDir dir;
  const std::string root = dir.Path();
  test::WriteFile(root + "outside", "x");
  test::WriteFile(root + "hard-outside", "y");
  test::WriteFile(root + "Intern\\Programm\\QVR-Kelvador.exe", "MZ");
  test::MakeSymlink(root + "outside", root + "Intern\\Programm\\link");
  ASSERT_TRUE(::CreateHardLinkW(Utf8ToWide(root + "Intern\\Programm\\hard").c_str(),
                                Utf8ToWide(root + "hard-outside").c_str(), nullptr));
  const std::string outside = SecurityOf(root + "outside");
  const std::string hardOutside = SecurityOf(root + "hard-outside");

  auto top = fs.OpenFolder(root);
  ASSERT_TRUE(top);
  auto intern = (*top)->OpenFolder("Intern");
  ASSERT_TRUE(intern);
  ASSERT_TRUE((*intern)->SetRights(Rights::Administrators, Grant::Own));
  ASSERT_TRUE((*intern)->PassOnRights("Programm", Rights::Administrators));
  auto data = (*top)->CreateFolder("Daten", Rights::UserData);
  ASSERT_TRUE(data);
  test::WriteFile(root + "Daten\\report", "r");
  ASSERT_TRUE((*data)->PassOnRights("report", Rights::UserData));

  const struct {
    const char* path;
    const char* security;
  } changed[] = {
      {"Intern", "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"},
      {"Intern\\Programm", "O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)"},
      {"Intern\\Programm\\QVR-Kelvador.exe",
       "O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)"},
      {"Daten",
       "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;;0x1200af;;;AU)"
       "(A;OICIIO;0x1301bf;;;AU)"},
      // The owner stays: what users keep there remains theirs.
      {"Daten\\report", "D:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"},
  };
  const bool kept = SecurityOf(root + "Intern").rfind("O:BA", 0) == 0;
  for (const auto& entry : changed) {
    const std::string security = SecurityOf(root + entry.path);
    if (kept) {
      EXPECT_NE(security.find(entry.security), std::string::npos) << entry.path << ": " << security;
    } else {
      EXPECT_EQ(security.find(";;;WD)"), std::string::npos) << entry.path << ": " << security;
    }
  }
  EXPECT_NE(outside.find(";;;WD)"), std::string::npos) << outside;
  // Read through the held folder and a file held for its rights, neither with READ_CONTROL.
  // Wine makes the owner up from the POSIX owner: the user running the tests.
  auto program = (*intern)->OpenFolder("Programm");
  ASSERT_TRUE(program);
  auto exe = (*program)->Open("QVR-Kelvador.exe", Access::Rights);
  ASSERT_TRUE(exe);
  const Owner owner = kept ? Owner::Administrators : Owner::CurrentUser;
  for (Entry* entry : {static_cast<Entry*>(intern->get()), static_cast<Entry*>(exe->get())}) {
    const Result<Owner> read = entry->ReadOwner();
    ASSERT_TRUE(read) << read.Error().Message();
    EXPECT_EQ(*read, owner) << entry->Path();
  }
  EXPECT_EQ(SecurityOf(root + "outside"), outside);
  EXPECT_EQ(SecurityOf(root + "hard-outside"), hardOutside);
}

}  // namespace
}  // namespace qvr
