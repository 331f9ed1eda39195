#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>

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
  const std::string folder = "C:\\qvr-text-\u00DCbergabe-\u03A9\\";
  ASSERT_TRUE(fs.ForceDirectories(folder));
  EXPECT_TRUE(fs.DirectoryExists(folder));
  EXPECT_NE(fs.CreateExclusive(folder + "Gr\u00FC\u00DF"
                                        "e.txt"),
            nullptr);
  EXPECT_TRUE(fs.CopyFile(folder + "Gr\u00FC\u00DF"
                                   "e.txt",
                          folder + "\u20AC.txt", true));
  DirEntry entry;
  EXPECT_NE(fs.FindFirst(folder + "\u20AC.txt", attr::kAnyFile, entry), nullptr);
  EXPECT_EQ(entry.name, "\u20AC.txt");
  ::DeleteFileW(Utf8ToWide(folder + "Gr\u00FC\u00DF"
                                    "e.txt")
                    .c_str());
  ::DeleteFileW(Utf8ToWide(folder + "\u20AC.txt").c_str());
  ::RemoveDirectoryW(Utf8ToWide(folder).c_str());
}

TEST(Win32FileSystemTest, DriveRootsCountAsExistingFolders) {
  FileSystem& fs = SystemFileSystem();
  EXPECT_TRUE(fs.DirectoryExists("C:\\"));
  EXPECT_TRUE(fs.ForceDirectories("C:\\"));
  EXPECT_FALSE(fs.FileExists("C:\\"));
  // A drive letter that is not mapped cannot be forced into existence.
  char missing[] = "?:\\qvr-test\\";
  const DWORD drives = ::GetLogicalDrives();
  for (char letter = 'Z'; letter > 'C'; --letter) {
    if ((drives & (1u << (letter - 'A'))) == 0) missing[0] = letter;
  }
  ASSERT_NE(missing[0], '?');
  EXPECT_FALSE(fs.ForceDirectories(missing));
  EXPECT_FALSE(fs.LastErrorText().empty());
}

// Owner and DACL of `path` as SDDL, as the system keeps them.
std::string SecurityOf(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, what, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
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

// The program tree goes to the Administrators with a protected ACL that its contents
// inherit. Wine keeps no security descriptors of files (it derives one from the POSIX
// mode bits), so there the call must succeed and the descriptors are only reported.
TEST(ProgramTreeSecurityTest, OwnedByAdministratorsWithAProtectedInheritedAcl) {
  test::TempDir dir;
  const std::string intern = dir.Path() + "Intern";
  test::WriteFile(intern + "\\Programm\\QVR-Kelvador.exe", "MZ");
  ASSERT_TRUE(SystemFileSystem().RestrictToAdministrators(intern + "\\"))
      << SystemFileSystem().LastErrorText();
  const std::string folder = SecurityOf(intern);
  const std::string file = SecurityOf(intern + "\\Programm\\QVR-Kelvador.exe");
  if (folder.rfind("O:BA", 0) != 0) {
    std::printf("This system kept no descriptor: folder %s, file %s\n", folder.c_str(),
                file.c_str());
    return;
  }
  EXPECT_EQ(folder, "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
  EXPECT_EQ(file, "O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)");
}

}  // namespace
}  // namespace qvr
