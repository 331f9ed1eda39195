#include "QvrPackTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "packer/PackerStatus.h"
#include "support/TempDir.h"

namespace qvr::tool {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result Tool(const std::vector<std::string>& args, bool terminal = false) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = RunQvrPack(args, SystemFileSystem(), out, err, terminal);
  return {code, out.str(), err.str()};
}

// Demo holding a.txt and Bilder with x.bmp, in that order.
const std::string kExample = "8401Demo0501a.txt00000005Hallo8601Bilder0502x.bmp00000003xyz";

TEST(QvrPack, ListPrintsEveryRecordWithoutWriting) {
  TempDir dir;
  const char sep = dir.Path().back();
  WriteFile(dir.Path() + "a.qvp", kExample + "0100c00000001c");
  const Result r = Tool({"list", dir.Path() + "a.qvp"});
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string s(1, sep);
  EXPECT_EQ(r.out,
            "kind    level        size  path\n"
            "folder      1           -  Demo" +
                s +
                "\n"
                "file        1           5  Demo" +
                s +
                "a.txt\n"
                "folder      1           -  Demo" +
                s + "Bilder" + s +
                "\n"
                "file        2           3  Demo" +
                s + "Bilder" + s +
                "x.bmp\n"
                "file        0           1  c\n");
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "Demo"));
}

TEST(QvrPack, PackListUnpackWithRelativePathsAndNoTrailingDelimiter) {
  TempDir dir;
  const char sep = dir.Path().back();
  WriteFile(dir.Path() + "Demo" + sep + "a.txt", "Hallo");
  test::MakeDirs(dir.Path() + "dest");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const Result packed = Tool({"pack", "Demo", "out.qvp"});
  const Result unpacked =
      Tool({"--quiet", "unpack", std::string(".").append(1, sep).append("out.qvp"), "dest"});
  std::filesystem::current_path(previous);
  EXPECT_EQ(packed.code, 0) << packed.err;
  EXPECT_EQ(ReadFile(dir.Path() + "out.qvp"), "8401Demo0501a.txt00000005Hallo");
  EXPECT_EQ(unpacked.code, 0) << unpacked.err;
  EXPECT_EQ(ReadFile(dir.Path() + "dest" + sep + "Demo" + sep + "a.txt"), "Hallo");
  EXPECT_EQ(packed.err, "");  // not a terminal: no progress bar
}

TEST(QvrPack, ExitStatusesAndMessages) {
  TempDir dir;
  const std::string d = dir.Path();
  WriteFile(d + "a.qvp", kExample);
  WriteFile(d + "bad.qvp", "8401Demo8201..");
  WriteFile(d + "short.qvp", "8401Demo0101x00000009abc");
  test::MakeDirs(d + "sub");
  WriteFile(d + "Demo", "a file where the archive wants a folder");
  // The archive is input and may be reached through a link; a destination may not.
  test::MakeSymlink(d + "a.qvp", d + "link.qvp");
  test::MakeSymlink(d + "sub", d + "sublink");
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string errHas;
  };
  std::vector<Case> cases = {
      {{}, kExitUsage, "Usage"},
      {{"pack", d}, kExitUsage, "Usage"},
      {{"--frobnicate", "list", d + "a.qvp"}, kExitUsage, "unknown option"},
      {{"--codepage", "65001", "list", d + "a.qvp"}, kExitUsage, "65001 is no single-byte"},
      {{"list", d + "a.qvp", "--codepage"}, kExitUsage, "--codepage needs a number"},
      {{"pack", d + "none", d + "x.qvp"},
       status::kSourceNotFound,
       "Der zu packende Ordner wurde nicht gefunden"},
      {{"pack", d, d + "no" + d.back() + "x.qvp"},
       status::kTargetNotFound,
       "Zielpfad nicht gefunden"},
      {{"pack", d + "sub", d + "new" + d.back()},
       status::kArchiveNameMissing,
       "Zieldateiname fehlt"},
      {{"unpack", d + "none.qvp", d},
       status::kArchiveNotFound,
       "Zu entpackende Datei nicht gefunden"},
      {{"unpack", d + "a.qvp", d + "none"}, status::kTargetNotFound, "none"},
      {{"unpack", d + "bad.qvp", d + "sub"}, kExitMalformedArchive, "byte offset 8"},
      {{"list", d + "bad.qvp"}, kExitMalformedArchive, "byte offset 8"},
      {{"unpack", d + "short.qvp", d + "none"}, status::kTargetNotFound, "could not"},
      {{"list", d + "short.qvp"},
       status::kSizeMismatch,
       "Dateigr\xC3\xB6\xC3\x9F"
       "endifferenzfehler"},
      {{"unpack", d + "a.qvp", d}, kExitFolderNotCreated, "Demo"},
      {{"list", d + "none.qvp"}, status::kArchiveNotFound, "none.qvp"},
      {{"list", d + "link.qvp"}, status::kOk, ""},
      {{"-q", "unpack", d + "link.qvp", d + "sub"}, status::kOk, ""},
      {{"unpack", d + "a.qvp", d + "sublink"}, status::kTargetNotFound, "link"},
  };
#ifndef _WIN32
  // A tree packed here goes to a setup on Windows, which refuses a device name.
  WriteFile(d + "Linux" + d.back() + "aux.txt", "x");
  cases.push_back({{"pack", d + "Linux", d + "linux.qvp"}, status::kArchiveIo, "aux.txt"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args[0] + " " + c.args.back());
    const Result r = Tool(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    if (c.code == kExitMalformedArchive) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    if (c.code != status::kOk && c.code != kExitUsage && c.code != kExitMalformedArchive &&
        c.code != kExitFolderNotCreated) {
      EXPECT_NE(r.err.find("status " + std::to_string(c.code)), std::string::npos) << r.err;
    }
  }
}

TEST(QvrPack, HelpVersionAndProgressBar) {
  const Result help = Tool({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
  EXPECT_NE(help.out.find("  20  malformed archive"), std::string::npos);
  for (const PackerStatusEntry& entry : PackerStatuses()) {
    if (entry.help == nullptr) continue;
    const std::string row = (entry.code < 10 ? "\n   " : "\n  ") + std::to_string(entry.code);
    EXPECT_NE(help.out.find(row + "  "), std::string::npos) << entry.code;
  }
  const Result version = Tool({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("qvrpack ", 0), 0u);

  TempDir dir;
  WriteFile(dir.Path() + "a.qvp", kExample);
  const Result bar = Tool({"unpack", dir.Path() + "a.qvp", dir.Path()}, true);
  EXPECT_EQ(bar.code, 0);
  EXPECT_NE(bar.err.find("100%"), std::string::npos) << bar.err;
  const Result quiet = Tool({"unpack", "-q", dir.Path() + "a.qvp", dir.Path()}, true);
  EXPECT_EQ(quiet.err, "");
}

// The names' code page: 1252 unless --codepage says otherwise, in both directions; a
// name the code page cannot hold is refused with its path.
TEST(QvrPack, NamesAreConvertedToAndFromTheCodePage) {
  TempDir dir;
  const std::string name = "\u0141\u00F3d\u017A.txt";
  WriteFile(dir.Path() + "Demo" + dir.Path().back() + name, "x");
  const std::string archive = dir.Path() + "a.qvp";
  const Result refused = Tool({"pack", dir.Path() + "Demo", archive});
  EXPECT_EQ(refused.code, status::kArchiveIo);
  EXPECT_NE(refused.err.find(name + "\": "), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("code page 1252"), std::string::npos) << refused.err;

  const Result packed = Tool({"--codepage", "1250", "pack", dir.Path() + "Demo", archive});
  EXPECT_EQ(packed.code, 0) << packed.err;
  EXPECT_EQ(ReadFile(archive),
            "8401Demo0801\xA3\xF3"
            "d\x9F.txt00000001x");
  EXPECT_NE(Tool({"list", "--codepage", "1250", archive}).out.find(name), std::string::npos);
  EXPECT_NE(Tool({"list", archive}).out.find("\u00A3\u00F3d\u0178.txt"), std::string::npos);
  EXPECT_NE(Tool({"--help"}).out.find("--codepage N"), std::string::npos);
}

// "--" ends the options: a path that starts with "-" is taken as a path, and "--" itself
// is no argument.
TEST(QvrPack, DoubleDashEndsTheOptions) {
  TempDir dir;
  test::MakeDirs(dir.Path() + "-src");
  WriteFile(dir.Path() + "-src" + dir.Path().back() + "a.txt", "Hallo");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const Result packed = Tool({"-q", "pack", "--", "-src", "-out.qvp"});
  const Result listed = Tool({"--", "list", "--help"});
  std::filesystem::current_path(previous);
  EXPECT_EQ(packed.code, 0) << packed.err;
  EXPECT_EQ(ReadFile(dir.Path() + "-out.qvp"), "8401-src0501a.txt00000005Hallo");
  EXPECT_EQ(listed.code, status::kArchiveNotFound) << listed.err;
  EXPECT_NE(listed.err.find("--help"), std::string::npos) << listed.err;
}

}  // namespace
}  // namespace qvr::tool
