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

// Another run of the setup, as a process of its own: its own window backend, application
// and dialog over `files`, and gone, with every folder it held, when it goes.
struct SetupAgain {
  explicit SetupAgain(FileSystem& files = SystemFileSystem())
      : dialog(app, MemoryGraphics(), files, links,
               RestartCalls{[] { return std::string(); },
                            [](const std::string&, const std::string&, const std::string&, bool,
                               std::string&) { return -1; }}) {}
  // "Install >>" with these answers; the exit code, none where it ended normally.
  std::optional<int> Install(std::initializer_list<TModalResult> answers) {
    for (const TModalResult answer : answers) backend.QueueAnswer(answer);
    try {
      dialog.InstallButton.Click();
    } catch (const ProgramHalt&) {
    }
    return backend.HaltCode();
  }

  HeadlessBackend backend;
  TApplication app{backend};
  std::vector<std::string> log;
  FakeShellLinks links{log};
  TFormInstall dialog;
};

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
    WriteFile(src + "Liesmich.txt", "read me");  // unpacked after Intern
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
                       InstallStep::ArchiveCheck, InstallStep::TreeCheck, InstallStep::Protection,
                       InstallStep::Unpack, InstallStep::Finish, InstallStep::Fonts,
                       InstallStep::Shortcut, InstallStep::FinalMessage}));

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

// Everything is checked before anything changes, and the tree is the administrators'
// before the first byte is unpacked: the root and the product folder get their rights,
// the earlier program folder and fonts go aside, and only then does the packer create
// anything. What lay there beyond the archive's files is kept out of the program's reach.
TEST_F(InstallSequenceTest, TreeIsCheckedThenSecuredBeforeTheFirstByte) {
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
  const auto firstChange = std::find_if(log.begin(), log.end(),
                                        [](const std::string& call) {
                                          const std::string op = call.substr(0, call.find(' '));
                                          return !op.starts_with("Open") && op != "ReadOwner" &&
                                                 op != "List" && !op.ends_with("Exists");
                                        }) -
                           log.begin();
  EXPECT_LT(at("OpenShared " + SetupPfad + "QVRKDV2.QVP"), firstChange);
  EXPECT_LT(at("ReadOwner " + product), firstChange);
  EXPECT_LT(at("OpenFolder " + product + N("Daten/Programm/Fonts")), firstChange);
  // The unpack begins where it creates the first member.
  const auto unpack =
      std::find_if(log.begin(), log.end(),
                   [&](const std::string& call) { return call.starts_with("Create " + product); }) -
      log.begin();
  EXPECT_LT(at("SetRights " + InstallPfad), unpack);
  EXPECT_LT(at("SetRights " + product), unpack);
  EXPECT_LT(at("Rename " + product + "Intern"), unpack);
  EXPECT_LT(at("Rename " + product + N("Daten/Programm/Fonts")), unpack);
  EXPECT_LT(at("CreateFolder " + product + "Intern"), unpack);

  // The program folder and the fonts hold the archive's files alone; the rest is kept.
  const std::string kept = product + N("Frühere Dateien/");
  EXPECT_FALSE(fsys::exists(ProgrammPfad + "version.dll"));
  EXPECT_FALSE(fsys::exists(FontsPfad + "Planted.ttf"));
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "Planted.ttf"));
  EXPECT_EQ(ReadFile(kept + N("Intern/Programm/version.dll")), "planted beside the program");
  EXPECT_EQ(ReadFile(kept + N("Fonts/Planted.ttf")), "planted font");
  EXPECT_FALSE(fsys::exists(kept + N("Intern/Programm/QVR-Kelvador.exe")));
  EXPECT_FALSE(fsys::exists(product + "Vorherige Installation"));
  EXPECT_EQ(ReadFile(BilderPfad + "QVR.bmp"), "BM icon");
  EXPECT_EQ(ReadFile(product + N("Daten/Spielberichte/Alt.txt")), "a user's report");
  if (SystemFileSystem().Delimiter() == '/') {
    const auto othersWrite = fsys::perms::group_write | fsys::perms::others_write;
    for (const std::string& path :
         {InstallPfad, product, ProgrammPfad, ProgrammPfad + "QVR-Kelvador.exe", FontsPfad,
          FontsPfad + "QVRSans.ttf", kept}) {
      EXPECT_EQ(fsys::status(path).permissions() & othersWrite, fsys::perms::none) << path;
    }
    // Daten and everything in it but the fonts is the users'.
    for (const std::string& path : {product + "Daten", product + N("Daten/Programm"), BilderPfad}) {
      EXPECT_EQ(fsys::status(path).permissions(), fsys::perms::all | fsys::perms::sticky_bit)
          << path;
    }
    for (const std::string& path :
         {product + N("Daten/Spielberichte/Beispiel.txt"), BilderPfad + "QVR.bmp"}) {
      EXPECT_EQ(fsys::status(path).permissions() & othersWrite, othersWrite) << path;
    }
  }
}

TEST_F(InstallSequenceTest, TreeThatCannotBeSecuredIsReportedAndNothingIsInstalled) {
  MakeArchive();
  files.FailAt(Op::CreateFolder, 1);
  Install();
  EXPECT_EQ(backend.HaltCode(), 20);
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  const auto& box = backend.Dialogs()[0];
  EXPECT_EQ(box.icon, DialogIcon::Error);
  EXPECT_EQ(box.owner, &dialog);
  const std::string root = InstallPfad.substr(0, InstallPfad.size() - 1);
  EXPECT_EQ(box.text, "Der Ordner " + root +
                          " kann nicht vor Änderungen durch andere Benutzer geschützt werden: "
                          "Injected failure of CreateFolder (call 1) on " +
                          root + "\rDie Installation wird abgebrochen!!!");
  EXPECT_EQ(backend.Log().front(), "beep");
  EXPECT_EQ(files.Calls(Op::Create), 0);
  EXPECT_TRUE(links.calls.empty());
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "QVRSans.ttf"));
}

// A folder that another user made may be held open by that user, who could take it back
// whatever rights the setup gives it.
TEST_F(InstallSequenceTest, FolderOfAnotherUserIsRefusedAndNothingWrittenIntoIt) {
  MakeArchive();
  MakeDirs(InstallPfad);
  files.ReportOwner("QVR-SOFTWARE", Owner::OtherUser);
  Install();
  EXPECT_EQ(backend.HaltCode(), 20);
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  EXPECT_EQ(backend.Dialogs()[0].text,
            "Der Ordner " + InstallPfad.substr(0, InstallPfad.size() - 1) +
                " wurde von einem anderen Benutzer angelegt, der ihn weiter ändern könnte.\r"
                "Entfernen Sie ihn oder benennen Sie ihn um und starten Sie die Installation "
                "erneut.\rDie Installation wird abgebrochen!!!");
  EXPECT_TRUE(fsys::is_empty(InstallPfad));
  EXPECT_EQ(files.Calls(Op::SetRights), 0);
}

TEST_F(InstallSequenceTest, FileNamedLikeTheProductFolderAsksNothingAndIsRefused) {
  MakeArchive();
  WriteFile(InstallPfad + "QVR-Kelvador [DV2.95]", "kein Ordner");
  Install();
  // No question: a file is no earlier installation. A file where a folder belongs ends
  // the setup before anything changes.
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  EXPECT_NE(backend.Dialogs()[0].text.find(
                "QVR-Kelvador [DV2.95] kann nicht vor Änderungen durch andere Benutzer "
                "geschützt werden: es ist eine Datei, kein Ordner"),
            std::string::npos)
      << backend.Dialogs()[0].text;
  EXPECT_EQ(backend.HaltCode(), 20);
  EXPECT_EQ(ReadFile(InstallPfad + "QVR-Kelvador [DV2.95]"), "kein Ordner");
}

TEST_F(InstallSequenceTest, MissingArchiveShowsCodeFiveAndChangesNothing) {
  Install();
  EXPECT_EQ(backend.HaltCode(), 5);
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  const auto& box = backend.Dialogs()[0];
  EXPECT_EQ(box.caption, "Setup");
  EXPECT_EQ(box.text, "FehlerCode = 5\rDie Installation wird abgebrochen!!!");
  EXPECT_EQ(box.icon, DialogIcon::None);
  EXPECT_EQ(box.buttons, std::vector<TMsgDlgBtn>{mbOK});
  EXPECT_EQ(backend.Log(), (std::vector<std::string>{"beep", "dialog Setup", "halt 5"}));
  EXPECT_FALSE(fsys::exists(InstallPfad));
  EXPECT_TRUE(links.calls.empty());
  EXPECT_FALSE(app.Terminated());
}

TEST_F(InstallSequenceTest, StatusTextNeverReachesTheUser) {
  MakeArchive();
  files.FailFromPath(Op::Create, "QVR.bmp");
  Install();
  EXPECT_EQ(backend.HaltCode(), 12);
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  EXPECT_EQ(backend.Dialogs()[0].text, "FehlerCode = 12\rDie Installation wird abgebrochen!!!");
  EXPECT_EQ(backend.Dialogs()[0].text.find("Datei"), std::string::npos);
}

// An earlier installation, made by the setup, with what the program keeps beside itself,
// a font somebody added and the users' own data; then a reinstallation that fails. The
// earlier program, settings and fonts are back, the users' data is theirs as it was, and
// the box comes only once they are.
struct ReinstallFailure {
  const char* what;
  void (*cause)(InstallSequenceTest& test, test::FaultyFileSystem& files);
  int exitCode;
  const char* boxHas;
};

void PrintTo(const ReinstallFailure& failure, std::ostream* out) {
  *out << failure.what;
}

class Reinstall : public InstallSequenceTest,
                  public ::testing::WithParamInterface<ReinstallFailure> {
 protected:
  // The first installation, and what was added to it since.
  void InstallEarlier() {
    MakeArchive();
    ASSERT_EQ(SetupAgain().Install({mrNo}), std::nullopt);
    WriteFile(ProgrammPfad + "settings.ini", "the program's settings");
    WriteFile(FontsPfad + "Added.ttf", "a font added later");
    WriteFile(Product() + N("Daten/Spielberichte/Mein.txt"), "a user's report");
  }
  std::string Product() const { return InstallPfad + N("QVR-Kelvador [DV2.95]/"); }
  // What the earlier installation is: its program and fonts whole, the users' report.
  std::map<std::string, std::string> Earlier() const {
    std::map<std::string, std::string> earlier = Snapshot(Product() + "Intern");
    earlier.merge(Snapshot(FontsPfad));
    earlier[WinFontsPfad] = std::to_string(
        std::distance(fsys::directory_iterator(WinFontsPfad), fsys::directory_iterator()));
    earlier["report"] = ReadFile(Product() + N("Daten/Spielberichte/Mein.txt"));
    return earlier;
  }
};

TEST_P(Reinstall, FailureLeavesTheEarlierInstallationAsItWas) {
  const ReinstallFailure& failure = GetParam();
  InstallEarlier();
  const auto before = Earlier();
  test::FaultyFileSystem secondFiles{SystemFileSystem()};
  SetupAgain again(secondFiles);
  failure.cause(*this, secondFiles);
  EXPECT_EQ(again.Install({mrYes}), failure.exitCode);
  const auto& boxes = again.backend.Dialogs();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[1].text.find(failure.boxHas), std::string::npos) << boxes[1].text;
  EXPECT_EQ(Earlier(), before);
  EXPECT_FALSE(fsys::exists(Product() + "Vorherige Installation"));
  EXPECT_FALSE(fsys::exists(Product() + N("Frühere Dateien")));
  EXPECT_TRUE(again.links.calls.empty());
  if (SystemFileSystem().Delimiter() == '/') {
    EXPECT_EQ(fsys::status(Product() + "Daten").permissions(),
              fsys::perms::all | fsys::perms::sticky_bit);
  }
}

INSTANTIATE_TEST_SUITE_P(
    InstallSequence, Reinstall,
    ::testing::Values(
        ReinstallFailure{"missing archive",
                         [](InstallSequenceTest&, test::FaultyFileSystem&) {
                           fsys::remove(SetupPfad + "QVRKDV2.QVP");
                         },
                         5, "FehlerCode = 5"},
        ReinstallFailure{"unopenable archive",
                         [](InstallSequenceTest&, test::FaultyFileSystem& files) {
                           files.FailAt(Op::OpenShared, 1, FileReason::AccessDenied);
                         },
                         10, "FehlerCode = 10"},
        ReinstallFailure{"damaged archive",
                         [](InstallSequenceTest&, test::FaultyFileSystem&) {
                           std::ofstream(SetupPfad + "QVRKDV2.QVP", std::ios::app) << "no record";
                         },
                         11, "FehlerCode = 11"},
        ReinstallFailure{"a file where a folder belongs",
                         [](InstallSequenceTest&, test::FaultyFileSystem&) {
                           fsys::remove_all(BilderPfad);
                           WriteFile(BilderPfad.substr(0, BilderPfad.size() - 1), "kein Ordner");
                         },
                         20, "es ist eine Datei, kein Ordner"},
        ReinstallFailure{"a member that cannot be created, before the program",
                         [](InstallSequenceTest&, test::FaultyFileSystem& files) {
                           files.FailFromPath(Op::Create, "Beispiel.txt");
                         },
                         12, "FehlerCode = 12"},
        ReinstallFailure{"a full disk after the program",
                         [](InstallSequenceTest&, test::FaultyFileSystem& files) {
                           files.FailFromPath(Op::Write, "Liesmich.txt", FileReason::NoSpace);
                         },
                         13, "FehlerCode = 13"},
        ReinstallFailure{"a folder that cannot be created",
                         [](InstallSequenceTest&, test::FaultyFileSystem& files) {
                           files.FailFromPath(Op::CreateFolder, "Spielberichte");
                         },
                         21, "Die Installation ist fehlgeschlagen: could not CreateFolder"}));

// A successful reinstallation keeps what lay beside the program and the fonts beyond the
// archive's files in one place, each reinstallation's beside the last.
TEST_F(Reinstall, SuccessKeepsTheLeftoversOutOfTheProgramsReach) {
  InstallEarlier();
  const std::string kept = Product() + N("Frühere Dateien/");
  for (const char* run : {"Intern", "Intern (2)"}) {
    SCOPED_TRACE(run);
    SetupAgain again;
    EXPECT_EQ(again.Install({mrYes, mrNo}), std::nullopt);
    EXPECT_TRUE(again.app.Terminated());
    EXPECT_EQ(ReadFile(kept + N(run) + N("/Programm/settings.ini")), "the program's settings");
    EXPECT_FALSE(fsys::exists(kept + N(run) + N("/Programm/QVR-Kelvador.exe")));
    EXPECT_FALSE(fsys::exists(ProgrammPfad + "settings.ini"));
    EXPECT_EQ(ReadFile(Product() + N("Daten/Spielberichte/Mein.txt")), "a user's report");
    EXPECT_FALSE(fsys::exists(Product() + "Vorherige Installation"));
    WriteFile(ProgrammPfad + "settings.ini", "the program's settings");
  }
  EXPECT_EQ(ReadFile(kept + N("Fonts/Added.ttf")), "a font added later");
  EXPECT_FALSE(fsys::exists(kept + N("Fonts/QVRSans.ttf")));
}

// A run cut off while the earlier folders were aside: the next run takes them for the
// earlier installation and what stands in their place for a partial new one.
TEST_F(Reinstall, RunCutOffLeavesTheEarlierFoldersWhereTheNextRunFindsThem) {
  InstallEarlier();
  const auto before = Earlier();
  const std::string aside = Product() + N("Vorherige Installation/");
  MakeDirs(aside);
  fsys::rename(Product() + "Intern", aside + "Intern");
  fsys::rename(FontsPfad, aside + "Fonts");
  WriteFile(ProgrammPfad + "half.bin", "a partial new program");
  test::FaultyFileSystem secondFiles{SystemFileSystem()};
  secondFiles.FailFromPath(Op::Create, "Liesmich.txt");
  EXPECT_EQ(SetupAgain(secondFiles).Install({mrYes}), 12);
  EXPECT_EQ(Earlier(), before);
  EXPECT_FALSE(fsys::exists(aside));
}

// The archive is read through before anything changes: a record that is no hexadecimal
// number, after the fonts, ends the setup with its status and installs nothing.
TEST_F(InstallSequenceTest, DamagedArchiveEndsWithItsStatusBeforeAnythingIsInstalled) {
  const std::string src = tmp.Path() + N("source/QVR-Kelvador [DV2.95]/");
  WriteFile(src + N("Daten/Programm/Fonts/Extra.ttf"), "extra");
  TQVRPacker packer;
  packer.QuellPfad = src;
  packer.ZielPfad = SetupPfad + "QVRKDV2.QVP";
  packer.Starten();
  std::ofstream(SetupPfad + "QVRKDV2.QVP", std::ios::app) << "this is no record";
  Install();
  EXPECT_EQ(backend.HaltCode(), 11);
  EXPECT_EQ(backend.Log(), (std::vector<std::string>{"beep", "dialog Setup", "halt 11"}));
  EXPECT_FALSE(fsys::exists(InstallPfad));
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "Extra.ttf"));
  EXPECT_TRUE(links.calls.empty());
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
// to a folder or file outside. Where a folder of the tree is a link the setup refuses to
// install; links inside the program folder and the fonts go aside with them, never
// followed: nothing outside is ever changed, and no file outside reaches the font folder.
struct PlantedLink {
  const char* what;
  void (*plant)(const std::string& product, const std::string& outside);
  bool asked;  // the product folder stands there: the setup asks before it goes on
  bool installed;
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
  if (link.asked) backend.QueueAnswer(mrYes);
  if (link.installed) backend.QueueAnswer(mrNo);
  Install();
  std::vector<std::string> copied;
  for (const auto& e : fsys::directory_iterator(WinFontsPfad)) {
    copied.push_back(e.path().filename().string());
  }
  std::sort(copied.begin(), copied.end());
  const std::vector<std::string> productFonts{"QVRSans.ttf", "QVRSerif.ttf"};
  EXPECT_EQ(copied, link.installed ? productFonts : std::vector<std::string>());
  EXPECT_EQ(Snapshot(outside), before);
  EXPECT_EQ(app.Terminated(), link.installed);
  if (link.installed) {
    EXPECT_EQ(ReadFile(ProgrammPfad + "QVR-Kelvador.exe"), "MZ program");
  } else {
    EXPECT_EQ(backend.HaltCode(), 20);
    EXPECT_TRUE(links.calls.empty());
    EXPECT_NE(backend.Dialogs().back().text.find("es ist eine symbolische Verknüpfung"),
              std::string::npos);
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
                                  true, true},
                      PlantedLink{"hard link to a program outside",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Intern/Programm"));
                                    fsys::create_hard_link(
                                        outside + "QVR-Kelvador.exe",
                                        product + N("Intern/Programm/QVR-Kelvador.exe"));
                                  },
                                  true, true},
                      PlantedLink{"file link among the fonts",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Daten/Programm/Fonts"));
                                    MakeSymlink(outside + "secret.ttf",
                                                product + N("Daten/Programm/Fonts/evil.ttf"));
                                  },
                                  true, true},
                      PlantedLink{"the font folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product + N("Daten/Programm"));
                                    MakeSymlink(outside, product + N("Daten/Programm/Fonts"));
                                  },
                                  true, false},
                      PlantedLink{"the program folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product);
                                    MakeSymlink(outside, product + "Intern");
                                  },
                                  true, false},
                      PlantedLink{"the data folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(product);
                                    MakeSymlink(outside, product + "Daten");
                                  },
                                  true, false},
                      PlantedLink{"the product folder is a link",
                                  [](const std::string& product, const std::string& outside) {
                                    MakeDirs(outside + N("Daten/Programm/Fonts"));
                                    fsys::copy_file(outside + "secret.ttf",
                                                    outside + N("Daten/Programm/Fonts/evil.ttf"));
                                    const fsys::path folder = product.substr(0, product.size() - 1);
                                    MakeDirs(folder.parent_path().string());
                                    MakeSymlink(outside, folder.string());
                                  },
                                  false, false}));

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
  files.ActBefore(swap.before, N(swap.path), [&] {
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
                      Swap{"the font folder, before the fonts are listed", Op::List,
                           "Daten/Programm/Fonts", "Daten/Programm/Fonts", true},
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

  // An earlier installation by the setup, run again over by a second dialog whose file
  // system `faults` may make fail.
  void InstallTwice(int exitCode, const std::function<void(test::FaultyFileSystem&)>& faults,
                    const std::function<void()>& whileUnpacking) {
    MakeArchive();
    ASSERT_EQ(SetupAgain().Install({mrNo}), std::nullopt);
    test::FaultyFileSystem secondFiles{SystemFileSystem()};
    faults(secondFiles);
    SetupAgain again(secondFiles);
    int pumps = 0;
    TQVRPacker::SetMessagePump([&] {
      if (pumps++ == 0) whileUnpacking();
    });
    EXPECT_EQ(again.Install({mrYes, mrNo}).value_or(0), exitCode);
    EXPECT_GT(pumps, 0);
  }

  static bool Try(const std::string& product, const UserAttempt& attempt) {
    const std::string path = product + attempt.target;
    return test::AsOtherUser([&] {
      if (attempt.rename) return ::rename(path.c_str(), (path + "-weg").c_str()) == 0;
      return ::creat(path.c_str(), 0644) >= 0;
    });
  }
};

const UserAttempt kForbidden[] = {
    {"a library beside the program", "Intern/Programm/version.dll", false},
    {"the program replaced", "Intern/Programm/QVR-Kelvador.exe", true},
    {"a font beside the product's", "Daten/Programm/Fonts/Planted.ttf", false},
    {"a second product folder", "../Anderes", false},
    {"the product folder renamed", "", true},
    {"the program folder renamed", "Intern", true},
    {"the font folder renamed", "Daten/Programm/Fonts", true},
    {"the data folder renamed", "Daten", true},
    {"something among what was kept", "Frühere Dateien/Neu", false},
};

TEST_F(StandardUser, CanChangeNothingTheAdministratorRunsLoadsOrCopies) {
  const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
  InstallTwice(
      0, [](test::FaultyFileSystem&) {},
      [&] {
        for (const UserAttempt& attempt : kForbidden) {
          EXPECT_FALSE(Try(product, attempt)) << attempt.what;
        }
      });
  for (const UserAttempt& attempt : kForbidden) {
    EXPECT_FALSE(Try(product, attempt)) << attempt.what;
  }
  EXPECT_FALSE(fsys::exists(WinFontsPfad + "Planted.ttf"));
  // The data folder is the users': they keep their data there and update the product's.
  EXPECT_TRUE(Try(product, {"a report", "Daten/Spielberichte/Neu.txt", false}));
  EXPECT_TRUE(Try(product, {"a new folder", "Daten/Eigenes", false}));
  EXPECT_TRUE(Try(product, {"a list of the product", "Daten/Programm/Liste.txt", false}));
}

// A failed reinstallation leaves the tree as closed, and the data as open, as it was.
TEST_F(StandardUser, FailedReinstallLeavesNothingWritableButTheData) {
  const std::string product = InstallPfad + N("QVR-Kelvador [DV2.95]/");
  InstallTwice(
      12, [](test::FaultyFileSystem& faults) { faults.FailFromPath(Op::Create, "QVRSerif.ttf"); },
      [] {});
  for (const char* target : {"../Anderes", "Neu", "Intern/Neu", "Intern/Programm/version.dll",
                             "Daten/Programm/Fonts/Neu.ttf"}) {
    EXPECT_FALSE(Try(product, {target, target, false})) << target;
  }
  EXPECT_TRUE(Try(product, {"a report", "Daten/Neu.txt", false}));
}
#endif

// A folder whose listing is scripted, as another file system might return it; it holds
// nothing else.
class ScriptedFolder final : public Folder {
 public:
  explicit ScriptedFolder(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}

  const std::string& Path() const override { return path_; }
  Result<EntryInfo> Info() override { return EntryInfo{EntryKind::Folder, 1, {}}; }
  Result<Owner> ReadOwner() override { return Owner::CurrentUser; }
  Result<void> SetRights(Rights, Grant) override { return None(); }

 protected:
  Result<std::vector<DirEntry>> ListAll() override {
    if (entries_.empty()) return None();
    return entries_;
  }
  Result<std::unique_ptr<Folder>> OpenFolderAt(const std::string&) override { return None(); }
  Result<std::unique_ptr<Folder>> CreateFolderAt(const std::string&,
                                                 std::optional<Rights>) override {
    return None();
  }
  Result<std::unique_ptr<OpenFile>> OpenFileAt(const std::string&, Access) override {
    return None();
  }
  Result<std::unique_ptr<OpenFile>> CreateFileAt(const std::string&) override { return None(); }
  Result<void> RemoveAt(const std::string&, bool) override { return None(); }
  Result<void> RenameAt(const std::string&, Folder&, const std::string&) override { return None(); }

 private:
  FileError None() const { return Refusal("script", path_, FileReason::NotFound); }
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
