#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "setup/InstallPaths.h"

namespace qvr {
namespace {

struct PathsCase {
  const char* program;
  const char* windir;
  const char* setup;
  const char* drive;
  const char* install;
  const char* winFonts;
};

// Names the case in test listings by its inputs (the default would print raw bytes).
void PrintTo(const PathsCase& c, std::ostream* os) {
  *os << "program " << c.program << ", windir \"" << c.windir << "\"";
}

class InstallPathsTest : public ::testing::TestWithParam<PathsCase> {
 protected:
  void TearDown() override { FinalizeInstallPaths(); }
};

TEST_P(InstallPathsTest, DerivesEveryPathFromProgramAndWindir) {
  const PathsCase& c = GetParam();
  InitInstallPaths(c.program, [&] { return std::string(c.windir); });
  const std::string product = std::string(c.install) + "QVR-Kelvador [DV2.95]\\";
  EXPECT_EQ(SetupPfad, c.setup);
  EXPECT_EQ(LaufwerkPfad, c.drive);
  EXPECT_EQ(InstallPfad, c.install);
  EXPECT_EQ(ProgrammPfad, product + "Intern\\Programm\\");
  EXPECT_EQ(BilderPfad, product + "Daten\\Programm\\Bilder\\");
  EXPECT_EQ(FontsPfad, product + "Daten\\Programm\\Fonts\\");
  EXPECT_EQ(WinFontsPfad, c.winFonts);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, InstallPathsTest,
    ::testing::Values(PathsCase{"D:\\Setup.exe", "C:\\WINDOWS", "D:\\", "C:\\",
                                "C:\\QVR-SOFTWARE\\", "C:\\WINDOWS\\Fonts\\"},
                      PathsCase{"E:\\Setup.exe", "C:\\WINDOWS", "E:\\", "C:\\",
                                "C:\\QVR-SOFTWARE\\", "C:\\WINDOWS\\Fonts\\"},
                      // The root goes on the Windows drive, whatever drive the setup runs from.
                      PathsCase{"D:\\Install\\Setup.exe", "D:\\WIN", "D:\\Install\\", "D:\\",
                                "D:\\QVR-SOFTWARE\\", "D:\\WIN\\Fonts\\"},
                      PathsCase{"C:\\a\\b\\Setup.exe", "\\\\srv\\share\\WINDOWS", "C:\\a\\b\\",
                                "\\\\srv\\share\\", "\\\\srv\\share\\QVR-SOFTWARE\\",
                                "\\\\srv\\share\\WINDOWS\\Fonts\\"},
                      // No windir: the root of the current drive, nothing reported.
                      PathsCase{"\\\\srv\\cd\\Setup.exe", "", "\\\\srv\\cd\\", "\\",
                                "\\QVR-SOFTWARE\\", "\\Fonts\\"},
                      PathsCase{"Setup.exe", "C:\\WINDOWS\\", "", "C:\\", "C:\\QVR-SOFTWARE\\",
                                "C:\\WINDOWS\\\\Fonts\\"},
                      PathsCase{"D:Setup.exe", "WINDOWS", "D:", "\\", "\\QVR-SOFTWARE\\",
                                "WINDOWS\\Fonts\\"}));

TEST(InstallPathsTest, ReadsWindirTwiceFirstForTheDriveThenForTheFonts) {
  std::vector<std::string> answers{"E:\\W", "F:\\W"};
  int reads = 0;
  InitInstallPaths("D:\\Setup.exe", [&] { return answers.at(reads++); });
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(LaufwerkPfad, "E:\\");
  EXPECT_EQ(WinFontsPfad, "F:\\W\\Fonts\\");

  FinalizeInstallPaths();
  for (const std::string* path : {&SetupPfad, &LaufwerkPfad, &InstallPfad, &ProgrammPfad,
                                  &BilderPfad, &FontsPfad, &WinFontsPfad}) {
    EXPECT_TRUE(path->empty());
  }
}

TEST(InstallPathsTest, DriveAndFolderParts) {
  const struct {
    const char* path;
    const char* drive;
    const char* folder;
  } cases[] = {
      {"C:\\WINDOWS\\", "C:", "C:\\WINDOWS\\"},
      {"C:", "C:", "C:"},
      {"\\\\srv\\share\\dir\\file", "\\\\srv\\share", "\\\\srv\\share\\dir\\"},
      {"\\\\srv\\share\\", "\\\\srv\\share", "\\\\srv\\share\\"},
      {"\\\\srv\\share", "\\\\srv\\share", "\\\\srv\\"},
      {"\\\\srv\\", "\\\\srv", "\\\\srv\\"},
      {"\\dir\\file", "", "\\dir\\"},
      {"dir/file", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFileDrive(c.path), c.drive) << c.path;
    EXPECT_EQ(ExtractFilePath(c.path), c.folder) << c.path;
  }
}

}  // namespace
}  // namespace qvr
