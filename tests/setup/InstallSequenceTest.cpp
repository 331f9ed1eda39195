#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#ifndef _WIN32
#include <fcntl.h>
#endif
#include <optional>

#include "framework/Application.h"
#include "framework/headless/HeadlessBackend.h"
#include "gauge/Canvas.h"
#include "setup/InstallPaths.h"
#include "setup/UnitInstall.h"
#include "support/FaultyFileSystem.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

namespace fsys = std::filesystem;
using test::MakeDirs;
using test::MakeSymlink;
using test::ReadFile;
using test::WriteFile;
using Op = test::FaultyFileSystem::Op;

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
    WriteFile(src + N("Daten/Spielberichte/Beispiel.txt"), "report");
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
  std::vector<InstallStep> steps;
  dialog.OnStep = [&](InstallStep step) { steps.push_back(step); };
  Install();
  EXPECT_EQ(steps, (std::vector<InstallStep>{
                       InstallStep::InstallingState, InstallStep::ExistenceTest,
                       InstallStep::Protection, InstallStep::Unpack, InstallStep::DataFolder,
                       InstallStep::Fonts, InstallStep::Shortcut, InstallStep::FinalMessage}));

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
  // A failed font copy is no reason to stop.
  files.FailFromPath(Op::Create, WinFontsPfad + "QVRSerif.ttf");
  backend.QueueAnswer(mrNo);
  Install();
  EXPECT_EQ(backend.Log(),
            (std::vector<std::string>{"shortcut", "beep", "dialog Warnung", "terminate"}));
  EXPECT_EQ(ReadFile(WinFontsPfad + "QVRSans.ttf"), "new sans");
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "QVRSerif.ttf"));
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

// The tree is the administrators' before the first byte is unpacked: the root, the
// product folder and what of the tree existed get their rights, the program folder and
// the fonts go, and only then does the packer create anything.
TEST_F(InstallSequenceTest, TreeIsSecuredBeforeTheFirstByte) {
  MakeArchive();
  const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
  WriteFile(ProgrammPfad + "version.dll", "planted beside the program");
  WriteFile(FontsPfad + "Planted.ttf", "planted font");
  WriteFile(BilderPfad + "QVR.bmp", "old icon");
  WriteFile(product + N("Daten/Spielberichte/Alt.txt"), "a user's report");
  backend.QueueAnswer(mrYes);  // install over the planted folder
  backend.QueueAnswer(mrNo);   // no restart
  Install();

  const std::vector<std::string>& log = files.Log();
  const auto at = [&](const std::string& call) {
    return std::find(log.begin(), log.end(), call) - log.begin();
  };
  // The packer's run begins where it opens the archive.
  const auto firstCreate = at("OpenShared " + SetupPfad + "QVRKDV2.QVP");
  const std::string root = InstallPfad;
  EXPECT_LT(at("SetRights " + root), firstCreate);
  EXPECT_LT(at("SetRights " + product), firstCreate);
  EXPECT_LT(at("Remove " + product + "Intern"), firstCreate);
  EXPECT_LT(at("SetRights " + product + N("Daten/Programm/")), firstCreate);
  EXPECT_LT(at("Remove " + product + N("Daten/Programm/Fonts")), firstCreate);
  EXPECT_LT(at("PassOnRights " + product + N("Daten/Programm/Bilder")), firstCreate);
  // After the run Daten becomes the users' data folder; Programm in it does not.
  const std::vector<std::string> after(log.begin() + firstCreate, log.end());
  const auto afterRun = [&](const std::string& call) {
    return std::find(after.begin(), after.end(), call) != after.end();
  };
  EXPECT_TRUE(afterRun("SetRights " + product + N("Daten/")));
  EXPECT_TRUE(afterRun("PassOnRights " + product + N("Daten/Spielberichte")));
  EXPECT_FALSE(afterRun("PassOnRights " + product + N("Daten/Programm")));

  // The program folder and the fonts hold the archive's files alone.
  EXPECT_FALSE(fsys::exists(ProgrammPfad + "version.dll"));
  EXPECT_FALSE(fsys::exists(FontsPfad + "Planted.ttf"));
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "Planted.ttf"));
  EXPECT_EQ(ReadFile(BilderPfad + "QVR.bmp"), "BM icon");
  EXPECT_EQ(ReadFile(product + N("Daten/Spielberichte/Alt.txt")), "a user's report");
  if (SystemFileSystem().Delimiter() == '/') {
    const auto othersWrite = fsys::perms::group_write | fsys::perms::others_write;
    for (const std::string& path : {root, product, ProgrammPfad, ProgrammPfad + "QVR-Kelvador.exe",
                                    FontsPfad, BilderPfad + "QVR.bmp"}) {
      EXPECT_EQ(fsys::status(path).permissions() & othersWrite, fsys::perms::none) << path;
    }
    EXPECT_EQ(fsys::status(product + "Daten").permissions(),
              fsys::perms::all | fsys::perms::sticky_bit);
    EXPECT_EQ(
        fsys::status(product + N("Daten/Spielberichte/Beispiel.txt")).permissions() & othersWrite,
        othersWrite);
  }
}

TEST_F(InstallSequenceTest, TreeThatCannotBeSecuredIsReportedAndNothingIsInstalled) {
  MakeArchive();
  files.FailAt(Op::SetRights, 1);
  Install();
  EXPECT_EQ(backend.HaltCode(), 20);
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  const auto& box = backend.Dialogs()[0];
  EXPECT_EQ(box.icon, DialogIcon::Error);
  EXPECT_EQ(box.owner, &dialog);
  EXPECT_EQ(box.text, "Der Ordner " + InstallPfad +
                          " kann nicht vor Änderungen durch andere Benutzer geschützt werden: "
                          "Injected failure of SetRights (call 1) on " +
                          InstallPfad + "\rDie Installation wird abgebrochen!!!");
  EXPECT_EQ(files.Calls(Op::OpenShared), 0);
  EXPECT_TRUE(links.calls.empty());
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "QVRSans.ttf"));
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
  const std::string src = tmp.Path() + N("source/QVR-Kelvador [DV2.95]/");
  WriteFile(src + N("Daten/Programm/Fonts/Extra.ttf"), "extra");
  TQVRPacker packer;
  packer.QuellPfad = src;
  packer.ZielPfad = SetupPfad + "QVRKDV2.QVP";
  packer.Starten();
  // A record header that is no hexadecimal number follows the fonts.
  std::ofstream(SetupPfad + "QVRKDV2.QVP", std::ios::app) << "this is no record";
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
// to a folder or file outside. The setup removes a link where it takes the folder away
// (the program folder, the fonts), and refuses to install where a folder it keeps is a
// link: nothing outside is ever changed, and no file outside reaches the font folder.
// Wine deletes what a symbolic link leads to when the link is deleted, so there the
// setup refuses every symbolic link it would have to remove.
enum class Outcome { Installed, Refused, RefusedOnWine };

struct PlantedLink {
  const char* what;
  void (*plant)(const std::string& product, const std::string& outside);
  bool asked;  // the product folder stands there: the setup asks before it goes on
  Outcome outcome;
};

void PrintTo(const PlantedLink& link, std::ostream* out) {
  *out << link.what;
}

class PlantedLinks : public InstallSequenceTest,
                     public ::testing::WithParamInterface<PlantedLink> {};

TEST_P(PlantedLinks, NeverLeadTheSetupOutsideItsTree) {
  const PlantedLink& link = GetParam();
  MakeArchive();
  const std::string outside = tmp.Path() + N("outside/");
  WriteFile(outside + "secret.ttf", "secret");
  WriteFile(outside + "QVR-Kelvador.exe", "the user's program");
  link.plant(InstallPfad + N("QVR-Kelvador [DV2.95]/"), outside);
  const auto before = Snapshot(outside);
#ifdef _WIN32
  const bool installed = link.outcome == Outcome::Installed;
#else
  const bool installed = link.outcome != Outcome::Refused;
#endif
  if (link.asked) backend.QueueAnswer(mrYes);
  if (installed) backend.QueueAnswer(mrNo);
  Install();
  std::vector<std::string> copied;
  for (const auto& e : fsys::directory_iterator(WinFontsPfad)) {
    copied.push_back(e.path().filename().string());
  }
  std::sort(copied.begin(), copied.end());
  const std::vector<std::string> productFonts{"QVRSans.ttf", "QVRSerif.ttf"};
  EXPECT_EQ(copied, installed ? productFonts : std::vector<std::string>());
  EXPECT_EQ(Snapshot(outside), before);
  EXPECT_EQ(app.Terminated(), installed);
  if (installed) {
    EXPECT_EQ(ReadFile(ProgrammPfad + "QVR-Kelvador.exe"), "MZ program");
  } else {
    EXPECT_EQ(backend.HaltCode(), 20);
    EXPECT_TRUE(links.calls.empty());
  }
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
                                  true, Outcome::Installed},
                      PlantedLink{"hard link to a program outside",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Intern/Programm"));
                                    fsys::create_hard_link(
                                        outside + "QVR-Kelvador.exe",
                                        product + N("Intern/Programm/QVR-Kelvador.exe"));
                                  },
                                  true, Outcome::Installed},
                      PlantedLink{"file link among the fonts",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Daten/Programm/Fonts"));
                                    MakeSymlink(outside + "secret.ttf",
                                                product + N("Daten/Programm/Fonts/evil.ttf"));
                                  },
                                  true, Outcome::RefusedOnWine},
                      PlantedLink{"the font folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Daten/Programm"));
                                    MakeSymlink(outside, product + N("Daten/Programm/Fonts"));
                                  },
                                  true, Outcome::RefusedOnWine},
                      PlantedLink{"the program folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product);
                                    MakeSymlink(outside, product + "Intern");
                                  },
                                  true, Outcome::RefusedOnWine},
                      PlantedLink{"the data folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product);
                                    MakeSymlink(outside, product + "Daten");
                                  },
                                  true, Outcome::Refused},
                      PlantedLink{"the product folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(outside + N("Daten/Programm/Fonts"));
                                    fsys::copy_file(outside + "secret.ttf",
                                                    outside + N("Daten/Programm/Fonts/evil.ttf"));
                                    const fsys::path folder = product.substr(0, product.size() - 1);
                                    MakeDirs(folder.parent_path().string());
                                    MakeSymlink(outside, folder.string());
                                  },
                                  false, Outcome::Refused}));

// A second process that swaps a folder of the tree for a link to a folder outside,
// between two calls of the setup. The folder the setup holds stays the one it checked.
struct Swap {
  const char* what;
  Op before;           // the swap happens just before this call ...
  const char* path;    // ... on a path that contains this
  const char* folder;  // below the product folder: what is renamed and replaced
  bool installed;
};

void PrintTo(const Swap& swap, std::ostream* out) {
  *out << swap.what;
}

class SwappedForALink : public InstallSequenceTest, public ::testing::WithParamInterface<Swap> {};

TEST_P(SwappedForALink, NothingOutsideChanges) {
  const Swap& swap = GetParam();
  MakeArchive();
  const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
  const std::string outside = tmp.Path() + N("outside/");
  WriteFile(outside + "QVR-Kelvador.exe", "the user's program");
  WriteFile(outside + "secret.ttf", "secret");
  const auto before = Snapshot(outside);
  files.ActBefore(swap.before, swap.path, [&] {
    std::error_code held;  // a folder held without delete sharing cannot be renamed
    fsys::rename(product + N(swap.folder), product + N(swap.folder) + "-weg", held);
    if (!held) MakeSymlink(outside, product + N(swap.folder));
  });
  if (swap.installed) backend.QueueAnswer(mrNo);
  Install();
  EXPECT_EQ(Snapshot(outside), before);
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "secret.ttf"));
  EXPECT_EQ(app.Terminated(), swap.installed);
}

INSTANTIATE_TEST_SUITE_P(
    InstallSequence, SwappedForALink,
    ::testing::Values(Swap{"the program folder, while its program is created", Op::Create,
                           "QVR-Kelvador.exe", "Intern/Programm", true},
                      Swap{"the program folder's parent, while the program is created", Op::Create,
                           "QVR-Kelvador.exe", "Intern", true},
                      Swap{"the font folder, before the fonts are listed", Op::List, "Fonts",
                           "Daten/Programm/Fonts", true},
                      Swap{"the data folder, before the fonts are opened", Op::OpenFolder,
                           "Daten/Programm/Fonts", "Daten", true}));

#ifndef _WIN32
// A standard user, before the setup runs and while it runs. The setup runs as root, as an
// administrator; the user is "nobody". Afterwards no folder of the tree but the data
// folder lets the user add, replace or rename anything.
struct UserAttempt {
  const char* what;
  // Relative to the product folder: a file the user tries to create there, or with
  // `rename` the entry the user tries to rename away.
  const char* target;
  bool rename;
};

class StandardUser : public InstallSequenceTest {
 protected:
  void SetUp() override {
    if (!test::CanActAsOtherUser()) GTEST_SKIP() << "the tests do not run as root here";
    // The drive root lets every user create folders, as Windows' does.
    fsys::permissions(tmp.Path(), fsys::perms::all);
    fsys::permissions(LaufwerkPfad, fsys::perms::all | fsys::perms::sticky_bit);
  }

  // Prepared before the setup runs: the whole tree, with a library beside the program.
  void PrepareTree() {
    ASSERT_TRUE(test::AsOtherUser([&] {
      std::error_code ec;
      fsys::create_directories(ProgrammPfad, ec);
      fsys::create_directories(FontsPfad, ec);
      return !ec && ::creat((ProgrammPfad + "version.dll").c_str(), 0666) >= 0 &&
             ::creat((FontsPfad + "Planted.ttf").c_str(), 0666) >= 0;
    }));
  }

  static bool Try(const std::string& product, const UserAttempt& attempt) {
    const std::string path = product + attempt.target;
    return test::AsOtherUser([&] {
      if (attempt.rename) return ::rename(path.c_str(), (path + "-weg").c_str()) == 0;
      return ::creat(path.c_str(), 0644) >= 0;
    });
  }
};

TEST_F(StandardUser, CanChangeNothingTheAdministratorRunsLoadsOrCopies) {
  MakeArchive();
  const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
  PrepareTree();
  const UserAttempt attempts[] = {
      {"a library beside the program", "Intern/Programm/version.dll", false},
      {"the program replaced", "Intern/Programm/QVR-Kelvador.exe", true},
      {"a font beside the product's", "Daten/Programm/Fonts/Planted.ttf", false},
      {"a second product folder", "../Anderes", false},
      {"the product folder renamed", "", true},
      {"the program folder renamed", "Intern", true},
      {"the font folder renamed", "Daten/Programm/Fonts", true},
  };
  int pumps = 0;
  TQVRPacker::SetMessagePump([&] {
    if (pumps++ > 0) return;
    for (const UserAttempt& attempt : attempts) EXPECT_FALSE(Try(product, attempt)) << attempt.what;
  });
  backend.QueueAnswer(mrYes);
  backend.QueueAnswer(mrNo);
  Install();
  EXPECT_TRUE(app.Terminated());
  EXPECT_GT(pumps, 0);
  for (const UserAttempt& attempt : attempts) EXPECT_FALSE(Try(product, attempt)) << attempt.what;
  EXPECT_FALSE(fsys::exists(ProgrammPfad + "version.dll"));
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "Planted.ttf"));
  // The data folder is the users': they keep their data there.
  EXPECT_TRUE(Try(product, {"a report", "Daten/Spielberichte/Neu.txt", false}));
  EXPECT_TRUE(Try(product, {"a new folder", "Daten/Eigenes", false}));
}

// A failed unpack leaves the tree as closed as it was before the first byte.
TEST_F(StandardUser, FailedUnpackLeavesNothingWritable) {
  MakeArchive();
  PrepareTree();
  files.FailFromPath(Op::Create, "QVRSerif.ttf");
  backend.QueueAnswer(mrYes);
  Install();
  EXPECT_EQ(backend.HaltCode(), 12);
  const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
  for (const char* target : {"../Anderes", "Neu", "Intern/Neu", "Intern/Programm/version.dll",
                             "Daten/Neu", "Daten/Programm/Fonts/Neu.ttf"}) {
    EXPECT_FALSE(Try(product, {target, target, false})) << target;
  }
}
#endif

// A folder whose listing is scripted, as another file system might return it.
class ScriptedFolder final : public Folder {
 public:
  explicit ScriptedFolder(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}

  const std::string& Path() const override { return path_; }
  std::unique_ptr<DirectorySearch> List() override {
    if (entries_.empty()) return nullptr;
    return std::make_unique<Search>(entries_);
  }
  EntryKind Lookup(std::string_view) override { return EntryKind::None; }
  std::unique_ptr<Folder> OpenFolder(std::string_view) override { return nullptr; }
  std::unique_ptr<Folder> CreateFolder(std::string_view, std::optional<Rights>) override {
    return nullptr;
  }
  std::unique_ptr<OpenFile> Create(std::string_view, IfExists) override { return nullptr; }
  std::unique_ptr<OpenFile> Open(std::string_view, Names) override { return nullptr; }
  bool Remove(std::string_view) override { return false; }
  bool SetRights(Rights) override { return false; }
  bool PassOnRights(std::string_view, Rights) override { return false; }

 private:
  class Search : public DirectorySearch {
   public:
    explicit Search(const std::vector<DirEntry>& e) : entries_(e) {}
    bool Next(DirEntry& entry) override {
      if (index_ >= entries_.size()) return false;
      entry = entries_[index_++];
      return true;
    }

   private:
    const std::vector<DirEntry>& entries_;
    std::size_t index_ = 0;
  };
  std::vector<DirEntry> entries_;
  std::string path_ = "/fonts/";
};

TEST(DirectoryListTest, ListsEverythingButDotEntriesAndPlainFolders) {
  ScriptedFolder fonts({{"first.ttf", 10, attr::kArchive},
                        {".", 0, attr::kDirectory},
                        {"..", 0, attr::kDirectory},
                        {"Sub", 0, attr::kDirectory},
                        {"Archived", 0, attr::kDirectory | attr::kArchive},
                        {"hidden.fon", 5, attr::kHidden | attr::kArchive},
                        {"plain.ttf", 7, 0}});
  HeadlessBackend backend;
  TApplication app(backend);
  TFormInstall dialog(app, MemoryGraphics());
  std::vector<std::string> list{"kept"};
  dialog.DirectoryList(list, fonts);
  EXPECT_EQ(list,
            (std::vector<std::string>{"kept", "first.ttf", "Archived", "hidden.fon", "plain.ttf"}));

  ScriptedFolder unlisted({});
  std::vector<std::string> none;
  dialog.DirectoryList(none, unlisted);
  EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace qvr
