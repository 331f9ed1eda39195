#include "packer/ArchiveFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace qvr::archive {
namespace {

TEST(ArchiveFormat, ParseHexAcceptsOnlyPlainDigits) {
  struct Case {
    std::string text;
    bool ok;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"00", true, 0},
      {"7f", true, 127},
      {"FF", true, 255},
      {"0000012C", true, 300},
      {"7FFFFFFF", true, 0x7FFFFFFF},
      {"ffffffff", true, 0xFFFFFFFF},
      {" 1", false, 0},
      {"1 ", false, 0},
      {"+1", false, 0},
      {"-1", false, 0},
      {"0x", false, 0},
      {"0x00012C", false, 0},
      {"g0", false, 0},
      {"", false, 0},
      {std::string("1\0", 2), false, 0},
      {"$1F", false, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t value = 12345;
    EXPECT_EQ(ParseHex(c.text, value), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(ArchiveFormat, HeaderTellsFoldersFromFilesByBitSeven) {
  RecordHeader h;
  ASSERT_TRUE(DecodeHeader("8401", h));
  EXPECT_TRUE(h.folder);
  EXPECT_EQ(h.nameLength, 4u);
  EXPECT_EQ(h.level, 1u);
  ASSERT_TRUE(DecodeHeader("7ffa", h));
  EXPECT_FALSE(h.folder);
  EXPECT_EQ(h.nameLength, 127u);
  EXPECT_EQ(h.level, 250u);
  ASSERT_TRUE(DecodeHeader("8000", h));  // an empty file name; the name check refuses it
  EXPECT_FALSE(h.folder);
  EXPECT_EQ(h.nameLength, 0u);
  EXPECT_FALSE(DecodeHeader("84 1", h));
  EXPECT_FALSE(DecodeHeader("G401", h));
}

TEST(ArchiveFormat, NameChecks) {
  struct Case {
    std::string name;
    bool posixOk;
    bool windowsOk;
  };
  const Case cases[] = {
      {"a.txt", true, true},
      {"CONFIG.SYS", true, true},
      {"COM10", true, true},
      {"LPT", true, true},
      {"nul2.txt", true, true},
      {"a b", true, true},
      {"\u00FCber", true, true},
      {"\u0081\u009D", true, true},
      {std::string(127, 'n'), true, true},
      {"", false, false},
      {".", false, false},
      {"..", false, false},
      {"a/b", false, false},
      {"..\\x", false, false},
      {"C:", false, false},
      {"a:stream", false, false},
      {"a\x01", false, false},
      {"tab\t", false, false},
      {"a<b", true, false},
      {"what?", true, false},
      {"star*", true, false},
      {"pipe|", true, false},
      {"quote\"", true, false},
      {"CON", true, false},
      {"con.txt", true, false},
      {"Lpt1", true, false},
      {"com0.tar.gz", true, false},
      {"CONIN$", true, false},
      {"conout$.log", true, false},
      {"COM\u00B9", true, false},
      {"lpt\u00B3.x", true, false},
      {"COM\u00B9\u00B9", true, true},
      {"AUX .txt", true, false},
      {"name.", true, false},
      {"name ", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameProblem(c.name, NameRules::Posix) == nullptr, c.posixOk) << c.name;
    EXPECT_EQ(NameProblem(c.name, NameRules::Windows) == nullptr, c.windowsOk) << c.name;
  }
}

// Names are UTF-8 inside and code page bytes in the archive; the limit of 127 counts
// the archive's bytes.
TEST(ArchiveFormat, EncodeNameConvertsToTheCodePageOrSaysWhyNot) {
  struct Case {
    std::string name;
    std::string bytes;    // when it can be stored
    const char* problem;  // a part of the reason otherwise
  };
  const Case cases[] = {
      {"\u00DCbersicht.txt",
       "\xDC"
       "bersicht.txt",
       nullptr},
      {"Gr\u00FC\u00DFe \u20AC\u2122",
       "Gr\xFC\xDF"
       "e \x80\x99",
       nullptr},
      {"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D", nullptr},
      {std::string(127, 'n'), std::string(127, 'n'), nullptr},
      {std::string(128, 'n'), "", "longer than 127 bytes in the archive's code page 1252"},
      {"\u03A9.txt", "", "character that the archive's code page 1252 cannot hold"},
      {"\xC3.txt", "", "not valid UTF-8"},
      {"a/b", "", "path delimiter"},
  };
  for (const Case& c : cases) {
    std::string bytes;
    const std::string problem =
        EncodeName(c.name, CodePage::Windows1252(), NameRules::Windows, bytes);
    if (c.problem == nullptr) {
      EXPECT_EQ(problem, "") << c.name;
      EXPECT_EQ(bytes, c.bytes) << c.name;
      EXPECT_EQ(CodePage::Windows1252().ToUtf8(bytes), c.name);
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << ": " << problem;
    }
  }
  std::string bytes;
  std::string ue127;
  for (int i = 0; i < 127; ++i) ue127 += "\u00FC";
  EXPECT_EQ(EncodeName(ue127, CodePage::Windows1252(), NameRules::Posix, bytes), "");
  EXPECT_EQ(bytes, std::string(127, '\xFC'));
}

TEST(ArchiveFormat, CutPathKeepsTheFirstLevelComponents) {
  struct Case {
    const char* path;
    std::uint32_t level;
    const char* expected;
  };
  const Case cases[] = {
      {"a/b/c/", 0, ""},       {"a/b/c/", 1, "a/"},       {"a/b/c/", 2, "a/b/"},
      {"a/b/c/", 3, "a/b/c/"}, {"a/b/c/", 255, "a/b/c/"}, {"", 4, ""},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    CutPath(path, c.level, '/');
    EXPECT_EQ(path, c.expected) << c.path << " level " << c.level;
  }
  std::string windows = "Demo\\Bilder\\";
  CutPath(windows, 1, '\\');
  EXPECT_EQ(windows, "Demo\\");
}

TEST(ArchiveFormat, RecordsAreUppercaseAndZeroPadded) {
  std::string out = "old content";
  FormatFolderRecord(out, "Demo", 1);
  EXPECT_EQ(out, "8401Demo");
  FormatFileRecord(out, "x.bmp", 2, 300);
  EXPECT_EQ(out, "0502x.bmp0000012C");
  FormatFileRecord(out, "e", 10, 0);
  EXPECT_EQ(out, "010Ae00000000");
  const std::string longest(127, 'n');
  FormatFolderRecord(out, longest, 250);
  EXPECT_EQ(out.substr(0, 4), "FFFA");
  FormatFileRecord(out, longest, 1, 0x7FFFFFFF);
  EXPECT_EQ(out.substr(0, 4), "7F01");
  EXPECT_EQ(out.substr(4 + 127), "7FFFFFFF");
}

}  // namespace
}  // namespace qvr::archive
