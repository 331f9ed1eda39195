#include "shell/ShortcutLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace qvr {
namespace {

using ::testing::ElementsAre;

// Records every call on the shell-link object; the save's result is scripted.
struct LinkScript {
  std::vector<std::string> calls;
  std::int32_t saveResult = 0;
  bool failCreate = false;
  bool lacksPersistFile = false;
  int liveLinks = 0;
  std::optional<std::string> folderPath;
  NativeWindow folderOwner = nullptr;
  int folderAsked = -1;
};

class FakeLink final : public ShellLinkObject {
 public:
  explicit FakeLink(LinkScript& script) : s_(script) { ++s_.liveLinks; }
  ~FakeLink() override { --s_.liveLinks; }
  void SetPath(const std::string& v) override { s_.calls.push_back("Path=" + v); }
  void SetWorkingDirectory(const std::string& v) override { s_.calls.push_back("WorkDir=" + v); }
  void SetArguments(const std::string& v) override { s_.calls.push_back("Args=" + v); }
  void SetDescription(const std::string& v) override { s_.calls.push_back("Desc=" + v); }
  void SetShowCmd(std::int32_t v) override { s_.calls.push_back("ShowCmd=" + std::to_string(v)); }
  void SetHotkey(std::uint16_t v) override {
    char text[16];
    std::snprintf(text, sizeof text, "Hotkey=0x%04X", v);
    s_.calls.push_back(text);
  }
  void SetIconLocation(const std::string& file, int index) override {
    s_.calls.push_back("Icon=" + file + "," + std::to_string(index));
  }
  std::int32_t Save(const std::string& fileName, bool remember) override {
    if (s_.lacksPersistFile) throw EIntfCastError("Interface not supported");
    s_.calls.push_back("Save=" + fileName + (remember ? ",remember" : ",forget"));
    return s_.saveResult;
  }

 private:
  LinkScript& s_;
};

class FakeShell final : public ShellLinkBinding {
 public:
  explicit FakeShell(LinkScript& script) : s_(script) {}
  std::unique_ptr<ShellLinkObject> CreateShellLink() override {
    if (s_.failCreate) throw EOleSysError("Class not registered", -2147221164);
    return std::make_unique<FakeLink>(s_);
  }
  std::optional<std::string> SpecialFolderPath(NativeWindow owner, int folder) override {
    s_.folderOwner = owner;
    s_.folderAsked = folder;
    return s_.folderPath;
  }

 private:
  LinkScript& s_;
};

class TestForm final : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
  NativeWindow WindowHandle() const override { return const_cast<TestForm*>(this); }
};

class ShortcutLinkTest : public ::testing::Test {
 protected:
  LinkScript script;
  FakeShell shell{script};
  TestForm form{nullptr};
  TShortcutLink link{&form, shell};
};

TEST_F(ShortcutLinkTest, PassesEveryPropertyInOrderAndSavesUnderTheFileName) {
  link.ShortcutFile = "C:\\Users\\me\\Desktop\\QVR.lnk";
  link.Target = "C:\\QVR-SOFTWARE\\QVR-Kelvador.exe";
  link.WorkingDir = "C:\\QVR-SOFTWARE\\";
  link.Description = "Kelvador";
  link.Arguments = "/x";
  link.IconLocation = "C:\\QVR-SOFTWARE\\QVR.bmp";
  link.IconNumber = 65535;
  link.SetHotKey("k");
  link.SetShowCmd(TShowCmd::scShowMinimized);

  link.CreateShortcut();

  EXPECT_THAT(script.calls,
              ElementsAre("Path=C:\\QVR-SOFTWARE\\QVR-Kelvador.exe", "WorkDir=C:\\QVR-SOFTWARE\\",
                          "Args=/x", "Desc=Kelvador", "ShowCmd=7", "Hotkey=0x064B",
                          "Icon=C:\\QVR-SOFTWARE\\QVR.bmp,65535",
                          "Save=C:\\Users\\me\\Desktop\\QVR.lnk,remember"));
  EXPECT_EQ(script.liveLinks, 0);
}

TEST_F(ShortcutLinkTest, FreshComponentPassesEmptyTextsShowCommandZeroAndNoHotKey) {
  EXPECT_EQ(link.ShowCmd(), TShowCmd::scShowNormal);
  link.CreateShortcut();
  EXPECT_THAT(script.calls, ElementsAre("Path=", "WorkDir=", "Args=", "Desc=", "ShowCmd=0",
                                        "Icon=,0", "Save=,remember"));
  // The never-set hot key reads as a space from now on.
  EXPECT_EQ(link.HotKey(), " ");
}

TEST_F(ShortcutLinkTest, HotKeyTakesTheFirstCharacterUpperCasedAndWritesCtrlAlt) {
  struct Case {
    std::string assigned, readBack, written;
  };
  const Case cases[] = {
      {"k", "K", "Hotkey=0x064B"},
      {"kelvador", "K", "Hotkey=0x064B"},
      {"Z", "Z", "Hotkey=0x065A"},
      {"7", "7", "Hotkey=0x0637"},
      {"!", "!", "Hotkey=0x0621"},
      // Only a to z are upper-cased; the first character, not its first byte.
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9", "Hotkey=0x06E9"},
      // Kept, but no key code: it would spill into the modifier byte.
      {"\xE2\x82\xAC", "\xE2\x82\xAC", ""},
      // Beyond 16 bits, and a broken sequence (U+FFFD, no key code).
      {"\xF0\x9F\x98\x80", " ", ""},
      {"\xE9", "\xEF\xBF\xBD", ""},
      {"", " ", ""},
      {" ", " ", ""},
      {"\t", " ", ""},
      {std::string(1, '\0'), " ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("assigned \"" + c.assigned + "\"");
    script.calls.clear();
    link.SetHotKey(c.assigned);
    EXPECT_EQ(link.HotKey(), c.readBack);
    link.CreateShortcut();
    std::string written;
    for (const auto& call : script.calls) {
      if (call.rfind("Hotkey=", 0) == 0) written = call;
    }
    EXPECT_EQ(written, c.written);
  }
}

TEST_F(ShortcutLinkTest, ShowCommandStoresWindowsValuesAndIgnoresUnknownOrdinals) {
  struct Case {
    TShowCmd assigned;
    TShowCmd readBack;
    std::string written;
  };
  const Case cases[] = {
      {TShowCmd::scShowMaximized, TShowCmd::scShowMaximized, "ShowCmd=3"},
      {TShowCmd::scShowNormal, TShowCmd::scShowNormal, "ShowCmd=9"},
      {TShowCmd::scShowMinimized, TShowCmd::scShowMinimized, "ShowCmd=7"},
      // An ordinal outside the type keeps the minimised value of the previous case.
      {static_cast<TShowCmd>(5), TShowCmd::scShowMinimized, "ShowCmd=7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.assigned));
    script.calls.clear();
    link.SetShowCmd(c.assigned);
    EXPECT_EQ(link.ShowCmd(), c.readBack);
    link.CreateShortcut();
    EXPECT_EQ(script.calls.at(4), c.written);
  }
}

TEST_F(ShortcutLinkTest, FailuresRaiseAndReleaseTheLinkObject) {
  script.saveResult = static_cast<std::int32_t>(0x80070003u);
  try {
    link.CreateShortcut();
    ADD_FAILURE() << "no error raised";
  } catch (const EShortcutError& e) {
    EXPECT_EQ(e.Message(), "Unable to create .lnk file");
  }
  EXPECT_EQ(script.liveLinks, 0);

  // A save that reports anything but S_OK, S_FALSE included, is a failure.
  script.saveResult = 1;
  EXPECT_THROW(link.CreateShortcut(), EShortcutError);

  script.lacksPersistFile = true;
  EXPECT_THROW(link.CreateShortcut(), EIntfCastError);
  EXPECT_EQ(script.liveLinks, 0);

  script.failCreate = true;
  EXPECT_THROW(link.CreateShortcut(), EOleSysError);
}

TEST_F(ShortcutLinkTest, DesktopFolderComesFromTheShellForTheOwnerFormsWindow) {
  script.folderPath = "C:\\users\\me\\Desktop";
  std::string path;
  link.GetDesktopFolder(path);
  EXPECT_EQ(path, "C:\\users\\me\\Desktop");
  EXPECT_EQ(script.folderAsked, 16);
  EXPECT_EQ(script.folderOwner, form.WindowHandle());

  script.folderPath.reset();
  path = "unchanged";
  link.GetSpecialFolder(0x1234, path);
  EXPECT_EQ(path, "unchanged");
  EXPECT_EQ(script.folderAsked, 0x1234);
}

TEST_F(ShortcutLinkTest, SpecialFolderNeedsAFormAsOwner) {
  TComponent plainOwner;
  std::string path = "kept";
  TShortcutLink onComponent(&plainOwner, shell);
  EXPECT_THROW(onComponent.GetDesktopFolder(path), EInvalidCast);
  TShortcutLink withoutOwner(nullptr, shell);
  EXPECT_THROW(withoutOwner.GetSpecialFolder(16, path), EInvalidCast);
  EXPECT_EQ(path, "kept");
  EXPECT_EQ(script.folderAsked, -1);
}

#ifndef _WIN32
TEST(ShortcutLinkNative, WithoutTheShellCreatingALinkIsACOMError) {
  TShortcutLink link(nullptr);
  link.ShortcutFile = "/tmp/never-written.lnk";
  EXPECT_THROW(link.CreateShortcut(), EOleSysError);
}
#endif

}  // namespace
}  // namespace qvr
