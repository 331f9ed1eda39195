#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "framework/Application.h"
#include "framework/headless/HeadlessBackend.h"
#include "gauge/Canvas.h"
#include "setup/InstallPaths.h"
#include "setup/UnitInstall.h"
#include "support/FaultyFileSystem.h"
#include "support/ForwardingFileSystem.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

namespace fsys = std::filesystem;
using test::MakeDirs;
using test::MakeSymlink;
using test::ReadFile;
using test::WriteFile;

// Records the link the completion writes, in the order of the calls.
class FakeShellLinks : public ShellLinkBinding {
 public:
  explicit FakeShellLinks(std::vector<std::string>& log) : log_(log) {}

  std::optional<std::string> desktop;
  std::int32_t saveResult = 0;
  std::vector<std::string> calls;

  std::unique_ptr<ShellLinkObject> CreateShellLink() override {
    return std::make_unique<Link>(*this);
  }
  std::optional<std::string> SpecialFolderPath(NativeWindow, int folder) override {
    calls.push_back("folder " + std::to_string(folder));
    return desktop;
  }

 private:
  class Link : public ShellLinkObject {
   public:
    explicit Link(FakeShellLinks& owner) : o_(owner) {}
    void SetPath(const std::string& v) override { o_.calls.push_back("path " + v); }
    void SetWorkingDirectory(const std::string& v) override { o_.calls.push_back("dir " + v); }
    void SetArguments(const std::string& v) override { o_.calls.push_back("args " + v); }
    void SetDescription(const std::string& v) override { o_.calls.push_back("desc " + v); }
    void SetShowCmd(std::int32_t v) override { o_.calls.push_back("show " + std::to_string(v)); }
    void SetHotkey(std::uint16_t v) override { o_.calls.push_back("hotkey " + std::to_string(v)); }
    void SetIconLocation(const std::string& f, int i) override {
      o_.calls.push_back("icon " + f + "," + std::to_string(i));
    }
    std::int32_t Save(const std::string& file, bool remember) override {
      o_.calls.push_back("save " + file + (remember ? " remember" : ""));
      o_.log_.push_back("shortcut");
      return o_.saveResult;
    }

   private:
    FakeShellLinks& o_;
  };
  std::vector<std::string>& log_;
};

// A path written with '/' in the platform's own delimiter.
std::string N(std::string path) {
  for (char& c : path) {
    if (c == '/') c = SystemFileSystem().Delimiter();
  }
  return path;
}

// Everything under a folder with its content, to tell whether anything changed.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fsys::recursive_directory_iterator(root)) {
    tree[e.path().string()] = e.is_regular_file() ? ReadFile(e.path().string()) : "<dir>";
  }
  return tree;
}

class InstallSequenceTest : public ::testing::Test {
 protected:
  InstallSequenceTest() {
    const std::string r = tmp.Path();
    SetupPfad = r + N("medium/");
    LaufwerkPfad = r + N("drive/");
    InstallPfad = LaufwerkPfad + N("QVR-SOFTWARE/");
    const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
    ProgrammPfad = product + N("Intern/Programm/");
    BilderPfad = product + N("Daten/Programm/Bilder/");
    FontsPfad = product + N("Daten/Programm/Fonts/");
    WinFontsPfad = r + N("windows/Fonts/");
    MakeDirs(SetupPfad);
    MakeDirs(LaufwerkPfad);
    MakeDirs(WinFontsPfad);
    links.desktop = r + "Desktop";
    app.Title = "Setup";
  }

  ~InstallSequenceTest() override { TQVRPacker::SetMessagePump(nullptr); }

  void TearDown() override {
    for (const auto& d : backend.UnexpectedDialogs()) ADD_FAILURE() << "unexpected box: " << d.text;
  }

  // Packs a small product tree into the archive beside the setup.
  void MakeArchive() {
    const std::string src = tmp.Path() + N("source/QVR-Kelvador [DV2.95]/");
    WriteFile(src + N("Intern/Programm/QVR-Kelvador.exe"), "MZ program");
    WriteFile(src + N("Daten/Programm/Bilder/QVR.bmp"), "BM icon");
    WriteFile(src + N("Daten/Programm/Fonts/QVRSans.ttf"), "new sans");
    WriteFile(src + N("Daten/Programm/Fonts/QVRSerif.ttf"), "new serif");
    TQVRPacker packer;
    packer.QuellPfad = src;
    packer.ZielPfad = SetupPfad + "QVRKDV2.QVP";
    std::int32_t status = -1;
    packer.OnStatus = [&](std::int32_t code, const std::string&) { status = code; };
    packer.Starten();
    ASSERT_EQ(status, 0);
  }

  // Runs the sequence; an end of the program at once unwinds to here.
  void Install() {
    try {
      dialog.InstallButton.Click();
    } catch (const ProgramHalt&) {
    }
  }

  std::vector<std::string> Dialogs() const {
    std::vector<std::string> texts;
    for (const auto& d : backend.Dialogs()) texts.push_back(d.caption + ": " + d.text);
    return texts;
  }

  test::TempDir tmp;
  HeadlessBackend backend;
  TApplication app{backend};
  FakeShellLinks links{backend.Log()};
  test::FaultyFileSystem files{SystemFileSystem()};
  TFormInstall dialog{
      app, MemoryGraphics(), files, links,
      RestartCalls{[] { return std::string("PC-42"); },
                   [this](const std::string& computer, const std::string& user,
                          const std::string& password, bool restart, std::string& errorText) {
                     backend.Log().push_back("restart " + computer + "|" + user + "|" + password +
                                             "|" + (restart ? "reboot" : "shutdown"));
                     errorText = "Exception in WmiCloseWin";
                     return -1;
                   }}};
};

constexpr char kFinalText[] =
    " Die Installation wurde erfolgreich abgeschlossen.\r"
    "Wenn es sich hier um eine Erstinstallation handelt, wurden neue Schriften installiert.\r"
    "Damit diese im Spielbericht sichtbar sind muss Windows neu gestartet werden.";

TEST_F(InstallSequenceTest, StartsInTheWelcomeState) {
  EXPECT_EQ(dialog.Caption(), "QVR-KELVADOR V2");
  EXPECT_EQ(dialog.BorderStyle, bsDialog);
  EXPECT_FALSE(dialog.BorderIcons);
  EXPECT_TRUE(dialog.Label1.Visible());
  EXPECT_FALSE(dialog.Label4.Visible());
  EXPECT_FALSE(dialog.StatusGauge.Visible());
  EXPECT_TRUE(dialog.InstallButton.Visible());
  EXPECT_TRUE(dialog.AbbruchButton.Visible());
  EXPECT_EQ(dialog.InstallButton.Caption(), "Install >>");
  EXPECT_EQ(dialog.AbbruchButton.Caption(), "Abbrechen");
  const auto lines = dialog.Memo1.Lines();
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines.front(), "Liebe Kundin, Lieber Kunde,");
  EXPECT_EQ(lines[10], "haben, können wir versteckte Fehler nicht ausschließen und sind Ihnen");
  EXPECT_EQ(lines.back(), "Ihr QVR-Team");
  EXPECT_FALSE(dialog.Memo1.Enabled());
  EXPECT_EQ(dialog.Memo1.Alignment, taCenter);
  EXPECT_EQ(dialog.StatusGauge.BarColor3(), 0x008000FFu);
  EXPECT_EQ(dialog.StatusGauge.PosTextSuffix(), "%");
  EXPECT_EQ(dialog.QVRPacker1.PackModus, Entpacken);
  EXPECT_EQ(dialog.ShortcutLink1.HotKey(), " ");
}

TEST_F(InstallSequenceTest, SuccessfulInstallCopiesFontsWritesShortcutAndRestartsOnYes) {
  MakeArchive();
  WriteFile(WinFontsPfad + "QVRSans.ttf", "old sans");
  backend.QueueAnswer(mrYes);
  int pumpsDuringRun = 0;
  TQVRPacker::SetMessagePump([&] { ++pumpsDuringRun; });
  Install();

  EXPECT_EQ(ReadFile(ProgrammPfad + "QVR-Kelvador.exe"), "MZ program");
  EXPECT_EQ(ReadFile(WinFontsPfad + "QVRSans.ttf"), "old sans");
  EXPECT_EQ(ReadFile(WinFontsPfad + "QVRSerif.ttf"), "new serif");
  EXPECT_EQ(dialog.StatusGauge.Position(), 100);
  EXPECT_GT(pumpsDuringRun, 0);

  EXPECT_EQ(links.calls,
            (std::vector<std::string>{
                "folder 16", "path " + ProgrammPfad + "QVR-Kelvador.exe", "dir " + ProgrammPfad,
                "args ", "desc ", "show 0", "icon " + BilderPfad + "QVR.bmp,0",
                "save " + tmp.Path() + "Desktop\\QVR-Kelvador Series [DV2.95].lnk remember"}));

  EXPECT_EQ(Dialogs(), std::vector<std::string>{std::string("Warnung: ") + kFinalText});
  EXPECT_EQ(backend.Dialogs()[0].buttons, (std::vector<TMsgDlgBtn>{mbYes, mbNo}));
  EXPECT_EQ(backend.Dialogs()[0].owner, &dialog);
  // The reboot is requested only after the shortcut is written, then the setup ends.
  EXPECT_EQ(backend.Log(), (std::vector<std::string>{"shortcut", "beep", "dialog Warnung",
                                                     "restart PC-42|||reboot", "terminate"}));
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(backend.HaltCode());
}

TEST_F(InstallSequenceTest, AnswerNoToTheFinalMessageEndsWithoutRestart) {
  MakeArchive();
  backend.QueueAnswer(mrNo);
  Install();
  EXPECT_EQ(backend.Log(),
            (std::vector<std::string>{"shortcut", "beep", "dialog Warnung", "terminate"}));
  EXPECT_EQ(ReadFile(WinFontsPfad + "QVRSans.ttf"), "new sans");
}

TEST_F(InstallSequenceTest, InstallingStateHidesTheButtonsForGoodAndRunsOnce) {
  MakeArchive();
  bool checked = false;
  backend.OnModal = nullptr;
  TQVRPacker::SetMessagePump([&] {
    checked = true;
    EXPECT_TRUE(dialog.StatusGauge.Visible());
    EXPECT_TRUE(dialog.Label4.Visible());
    EXPECT_FALSE(dialog.Label1.Visible());
    EXPECT_FALSE(dialog.InstallButton.Visible());
    EXPECT_FALSE(dialog.AbbruchButton.Visible());
    // Queued input (the second click of a double-click) reaches the hidden button.
    dialog.InstallButton.Click();
  });
  backend.QueueAnswer(mrNo);
  Install();
  EXPECT_TRUE(checked);
  EXPECT_FALSE(dialog.InstallButton.Visible());
  EXPECT_FALSE(dialog.AbbruchButton.Visible());
  EXPECT_EQ(backend.Log(),
            (std::vector<std::string>{"shortcut", "beep", "dialog Warnung", "terminate"}));
}

TEST_F(InstallSequenceTest, ExistingProductFolderAndCancelChangeNothing) {
  MakeArchive();
  MakeDirs(InstallPfad + "QVR-Kelvador [DV2.95]");
  WriteFile(InstallPfad + N("QVR-Kelvador [DV2.95]/alt.txt"), "alt");
  const auto before = Snapshot(tmp.Path());
  backend.QueueAnswer(mrCancel);
  Install();
  EXPECT_EQ(Snapshot(tmp.Path()), before);
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(links.calls.empty());
  EXPECT_EQ(Dialogs(),
            std::vector<std::string>{
                "Bestätigen: Dieses Programm ist auf Ihrem Computer schon installiert!!!\r"
                "Betätigen Sie ABBRECHEN um die Installation abzubrechen.\r"
                "Betätigen Sie JA um mit der Installation fortzufahren."});
  EXPECT_EQ(backend.Dialogs()[0].buttons, (std::vector<TMsgDlgBtn>{mbYes, mbCancel}));
  EXPECT_EQ(backend.Log().front(), "beep");
}

TEST_F(InstallSequenceTest, ExistingProductFolderAndYesInstallsOverIt) {
  MakeArchive();
  WriteFile(InstallPfad + N("QVR-Kelvador [DV2.95]/alt.txt"), "alt");
  backend.QueueAnswer(mrYes);  // unpack over it
  backend.QueueAnswer(mrNo);   // no restart
  Install();
  EXPECT_EQ(ReadFile(ProgrammPfad + "QVR-Kelvador.exe"), "MZ program");
  EXPECT_EQ(ReadFile(InstallPfad + N("QVR-Kelvador [DV2.95]/alt.txt")), "alt");
  EXPECT_EQ(backend.Dialogs().size(), 2u);
  EXPECT_TRUE(app.Terminated());
}

// A program folder some user created before the setup ran is closed to other users
// after the unpack; the data folder keeps what it had. A failure is shown, then the
// installation goes on.
TEST_F(InstallSequenceTest, ProgramFolderIsClosedToOtherUsers) {
  MakeArchive();
  const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
  MakeDirs(ProgrammPfad);
  MakeDirs(product + "Daten");
  for (const char* folder : {"Intern", "Daten"}) {
    fsys::permissions(product + folder, fsys::perms::all);
  }
  backend.QueueAnswer(mrYes);  // install over the planted folder
  backend.QueueAnswer(mrNo);   // no restart
  Install();
  EXPECT_EQ(files.Calls(test::FaultyFileSystem::Op::RestrictToAdministrators), 1);
  if (SystemFileSystem().Delimiter() == '/') {
    const auto othersWrite = fsys::perms::group_write | fsys::perms::others_write;
    EXPECT_EQ(fsys::status(product + "Intern").permissions() & othersWrite, fsys::perms::none);
    EXPECT_EQ(fsys::status(ProgrammPfad + "QVR-Kelvador.exe").permissions() & othersWrite,
              fsys::perms::none);
    EXPECT_EQ(fsys::status(product + "Daten").permissions(), fsys::perms::all);
  }
}

TEST_F(InstallSequenceTest, ProgramFolderThatCannotBeClosedIsReported) {
  MakeArchive();
  files.FailAt(test::FaultyFileSystem::Op::RestrictToAdministrators, 1);
  backend.QueueAnswer(mrNo);
  Install();
  ASSERT_EQ(backend.Dialogs().size(), 2u);
  EXPECT_EQ(backend.Dialogs()[0].icon, DialogIcon::Error);
  EXPECT_NE(backend.Dialogs()[0].text.find("Der Programmordner " +
                                           ProgrammPfad.substr(0, ProgrammPfad.size() - 9)),
            std::string::npos)
      << backend.Dialogs()[0].text;
  EXPECT_NE(backend.Dialogs()[0].text.find("Injected failure"), std::string::npos);
  EXPECT_EQ(ReadFile(WinFontsPfad + "QVRSans.ttf"), "new sans");
  EXPECT_TRUE(app.Terminated());
}

TEST_F(InstallSequenceTest, FileNamedLikeTheProductFolderAsksNothing) {
  MakeArchive();
  WriteFile(InstallPfad + "QVR-Kelvador [DV2.95]", "kein Ordner");
  Install();
  // The product folder cannot be unpacked over a file: the run ends with an error,
  // which leaves no status, so no final message either.
  EXPECT_TRUE(backend.Dialogs().empty());
  EXPECT_FALSE(app.Terminated());
}

TEST_F(InstallSequenceTest, MissingArchiveShowsCodeFiveAndEndsAtOnce) {
  Install();
  EXPECT_EQ(backend.HaltCode(), 5);
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  const auto& box = backend.Dialogs()[0];
  EXPECT_EQ(box.caption, "Setup");
  EXPECT_EQ(box.text, "FehlerCode = 5\rDie Installation wird abgebrochen!!!");
  EXPECT_EQ(box.icon, DialogIcon::None);
  EXPECT_EQ(box.buttons, std::vector<TMsgDlgBtn>{mbOK});
  EXPECT_EQ(backend.Log(), (std::vector<std::string>{"beep", "dialog Setup", "halt 5"}));
  // The root created before the run stays; fonts and shortcut never come.
  EXPECT_TRUE(fsys::is_directory(InstallPfad));
  EXPECT_TRUE(links.calls.empty());
  EXPECT_FALSE(app.Terminated());
}

TEST_F(InstallSequenceTest, StatusTextNeverReachesTheUser) {
  // A root that cannot be created (a file is in its way) gives the packer's status 4.
  WriteFile(SetupPfad + "QVRKDV2.QVP", "");
  WriteFile(tmp.Path() + N("drive/QVR-SOFTWARE"), "blocker");
  Install();
  EXPECT_EQ(backend.HaltCode(), 4);
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  EXPECT_EQ(backend.Dialogs()[0].text, "FehlerCode = 4\rDie Installation wird abgebrochen!!!");
  EXPECT_EQ(backend.Dialogs()[0].text.find("Zielpfad"), std::string::npos);
}

TEST_F(InstallSequenceTest, ErrorInTheRunStillInstallsFontsAndShortcutButEndsNothing) {
  WriteFile(SetupPfad + "QVRKDV2.QVP", "this is no archive at all, just text");
  FontsPfad = tmp.Path() + N("fonts/");
  WriteFile(FontsPfad + "Extra.ttf", "extra");
  Install();
  EXPECT_EQ(ReadFile(WinFontsPfad + "Extra.ttf"), "extra");
  EXPECT_EQ(backend.Log(), std::vector<std::string>{"shortcut"});
  EXPECT_TRUE(backend.Dialogs().empty());
  EXPECT_FALSE(app.Terminated());
  EXPECT_FALSE(backend.HaltCode());
  EXPECT_TRUE(dialog.Label4.Visible());
  EXPECT_FALSE(dialog.InstallButton.Visible());
}

TEST_F(InstallSequenceTest, ShortcutErrorIsShownWithAFullStopAndTheFinalMessageFollows) {
  MakeArchive();
  links.saveResult = -2147024891;
  backend.QueueAnswer(mrNo);
  Install();
  ASSERT_EQ(backend.Dialogs().size(), 2u);
  const auto& error = backend.Dialogs()[0];
  EXPECT_EQ(error.caption, "Setup");
  EXPECT_EQ(error.text, "Unable to create .lnk file.");
  EXPECT_EQ(error.icon, DialogIcon::Error);
  EXPECT_EQ(error.owner, &dialog);
  EXPECT_EQ(error.buttons, std::vector<TMsgDlgBtn>{mbOK});
  // The error box comes without a beep; the final message with one.
  EXPECT_EQ(backend.Log(), (std::vector<std::string>{"shortcut", "dialog Setup", "beep",
                                                     "dialog Warnung", "terminate"}));
}

TEST_F(InstallSequenceTest, UnknownDesktopWritesTheShortcutIntoTheRoot) {
  MakeArchive();
  links.desktop.reset();
  backend.QueueAnswer(mrNo);
  Install();
  EXPECT_EQ(links.calls.back(), "save \\QVR-Kelvador Series [DV2.95].lnk remember");
}

TEST_F(InstallSequenceTest, CloseAsksAndEndsOnlyOnYes) {
  backend.QueueAnswer(mrNo);
  dialog.AbbruchButton.Click();
  EXPECT_FALSE(app.Terminated());
  backend.QueueAnswer(mrCancel);  // Escape or the close box
  dialog.Close();
  EXPECT_FALSE(app.Terminated());
  backend.QueueAnswer(mrYes);
  dialog.Close();
  EXPECT_TRUE(app.Terminated());

  ASSERT_EQ(backend.Dialogs().size(), 3u);
  for (const auto& box : backend.Dialogs()) {
    EXPECT_EQ(box.caption, "Bestätigen");
    EXPECT_EQ(box.text, "Sind Sie sicher das sie die Installation abbrechen möchten?");
    EXPECT_EQ(box.buttons, (std::vector<TMsgDlgBtn>{mbYes, mbNo}));
  }
  EXPECT_EQ(backend.Beeps(), 3);
  EXPECT_TRUE(dialog.InstallButton.Visible());
}

TEST_F(InstallSequenceTest, ModalShowingEndsThroughTheCloseHandling) {
  backend.OnModal = [&](TForm& form) {
    backend.QueueAnswer(mrNo);
    form.Close();
    EXPECT_EQ(form.ModalResult, mrNone);
    backend.QueueAnswer(mrYes);
    form.Close();
  };
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_TRUE(app.Terminated());
}

// Links a user planted below the installation root before the setup ran, each leading
// to the file "secret.ttf" outside. Where a folder is a link the unpack stops with an
// error, after which the completion still runs.
struct PlantedLink {
  const char* what;
  void (*plant)(const std::string& product, const std::string& outside);
  bool asked;     // the product folder stands there: the setup asks before it goes on
  bool unpacked;  // the unpack ends with status 0 despite the link
};

void PrintTo(const PlantedLink& link, std::ostream* out) {
  *out << link.what;
}

class PlantedLinks : public InstallSequenceTest,
                     public ::testing::WithParamInterface<PlantedLink> {};

TEST_P(PlantedLinks, NeverLeadTheFontCopyOutsideTheProductFonts) {
  const PlantedLink& link = GetParam();
  MakeArchive();
  const std::string outside = tmp.Path() + N("outside/");
  WriteFile(outside + "secret.ttf", "secret");
  link.plant(InstallPfad + N("QVR-Kelvador [DV2.95]/"), outside);
  if (link.asked) backend.QueueAnswer(mrYes);
  if (link.unpacked) backend.QueueAnswer(mrNo);
  Install();
  std::vector<std::string> copied;
  for (const auto& e : fsys::directory_iterator(WinFontsPfad)) {
    copied.push_back(e.path().filename().string());
  }
  std::sort(copied.begin(), copied.end());
  const std::vector<std::string> productFonts{"QVRSans.ttf", "QVRSerif.ttf"};
  EXPECT_EQ(copied, link.unpacked ? productFonts : std::vector<std::string>());
  EXPECT_EQ(app.Terminated(), link.unpacked);
}

INSTANTIATE_TEST_SUITE_P(
    InstallSequence, PlantedLinks,
    ::testing::Values(PlantedLink{"hard link among the fonts",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Daten/Programm/Fonts"));
                                    fsys::create_hard_link(
                                        outside + "secret.ttf",
                                        product + N("Daten/Programm/Fonts/evil.ttf"));
                                  },
                                  true, true},
                      PlantedLink{"file link among the fonts",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Daten/Programm/Fonts"));
                                    MakeSymlink(outside + "secret.ttf",
                                                product + N("Daten/Programm/Fonts/evil.ttf"));
                                  },
                                  true, true},
                      PlantedLink{"the product folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(outside + N("Daten/Programm/Fonts"));
                                    fsys::copy_file(outside + "secret.ttf",
                                                    outside + N("Daten/Programm/Fonts/evil.ttf"));
                                    const fsys::path folder = product.substr(0, product.size() - 1);
                                    MakeDirs(folder.parent_path().string());
                                    MakeSymlink(outside, folder.string());
                                  },
                                  false, false},
                      PlantedLink{"the font folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Daten/Programm"));
                                    MakeSymlink(outside, product + N("Daten/Programm/Fonts"));
                                  },
                                  true, false}));

// A file system whose font-folder listing is scripted, as another file system
// might return it; everything else goes to the real one.
class ScriptedListing : public test::ForwardingFileSystem {
 public:
  ScriptedListing(FileSystem& real, std::vector<DirEntry> entries)
      : ForwardingFileSystem(real), entries_(std::move(entries)) {}
  std::string pattern;

  std::unique_ptr<DirectorySearch> FindFirst(const std::string& p, std::uint32_t mask,
                                             DirEntry& first) override {
    pattern = p;
    mask_ = mask;
    if (entries_.empty()) return nullptr;
    first = entries_.front();
    return std::make_unique<Search>(entries_);
  }
  bool CopyFile(const std::string& from, const std::string&, bool failIfExists) override {
    copies.push_back(from.substr(from.find_last_of("/\\") + 1) +
                     (failIfExists ? " fail-if-exists" : ""));
    return false;
  }

  std::vector<std::string> copies;
  std::uint32_t mask_ = 0;

 private:
  class Search : public DirectorySearch {
   public:
    explicit Search(const std::vector<DirEntry>& e) : entries_(e) {}
    bool Next(DirEntry& entry) override {
      if (++index_ >= entries_.size()) return false;
      entry = entries_[index_];
      return true;
    }

   private:
    const std::vector<DirEntry>& entries_;
    std::size_t index_ = 0;
  };
  std::vector<DirEntry> entries_;
};

TEST(DirectoryListTest, ListsEverythingButDotEntriesAndPlainFolders) {
  ScriptedListing fs(SystemFileSystem(), {{"first.ttf", 10, attr::kArchive},
                                          {".", 0, attr::kDirectory},
                                          {"..", 0, attr::kDirectory},
                                          {"Sub", 0, attr::kDirectory},
                                          {"Archived", 0, attr::kDirectory | attr::kArchive},
                                          {"hidden.fon", 5, attr::kHidden | attr::kArchive},
                                          {"plain.ttf", 7, 0}});
  HeadlessBackend backend;
  TApplication app(backend);
  TFormInstall dialog(app, MemoryGraphics(), fs);
  std::vector<std::string> list{"kept"};
  dialog.DirectoryList(list, "/fonts/");
  EXPECT_EQ(fs.pattern, "/fonts/*.*");
  EXPECT_EQ(fs.mask_, 63u);
  EXPECT_EQ(list,
            (std::vector<std::string>{"kept", "first.ttf", "Archived", "hidden.fon", "plain.ttf"}));

  ScriptedListing empty(SystemFileSystem(), {});
  TFormInstall other(app, MemoryGraphics(), empty);
  std::vector<std::string> none;
  other.DirectoryList(none, "/missing/");
  EXPECT_TRUE(none.empty());
}

TEST(DirectoryListTest, EveryListedNameIsCopiedWithFailIfExistsAndFailuresAreIgnored) {
  ScriptedListing fs(SystemFileSystem(), {{"a.ttf", 1, attr::kArchive},
                                          {"Sub", 0, attr::kDirectory | attr::kArchive},
                                          {"b.ttf", 1, attr::kArchive}});
  HeadlessBackend backend;
  TApplication app(backend);
  std::vector<std::string> log;
  FakeShellLinks links(log);
  links.desktop = "/desk";
  test::TempDir tmp;
  SetupPfad = tmp.Path();
  InstallPfad = tmp.Path() + N("root/");
  FontsPfad = tmp.Path() + N("fonts/");
  MakeDirs(FontsPfad);
  WriteFile(SetupPfad + "QVRKDV2.QVP", "garbage");
  TFormInstall dialog(app, MemoryGraphics(), fs, links);
  dialog.InstallButton.Click();
  EXPECT_EQ(fs.copies, (std::vector<std::string>{"a.ttf fail-if-exists", "Sub fail-if-exists",
                                                 "b.ttf fail-if-exists"}));
  EXPECT_EQ(log, std::vector<std::string>{"shortcut"});
}

}  // namespace
}  // namespace qvr
