// What a screen reader finds in the setup's windows (Win32 backend under Wine, read
// inside the process): the install dialog and its progress bar before and during a real
// installation, across a change of density, the events of the whole run, and the
// background screen.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleacc.h>

#include <map>
#include <optional>
#include <string>

#include "framework/Application.h"
#include "framework/win32/Win32Backend.h"
#include "gauge/win32/GdiCanvas.h"
#include "packer/QVRPacker.h"
#include "setup/InstallPaths.h"
#include "setup/UnitInstall.h"
#include "setup/UnitMain.h"
#include "setup/win32/WindowlessSurface.h"
#include "support/TempDir.h"
#include "support/win32/AccessibleProbe.h"
#include "support/win32/StepDriver.h"

namespace qvr {
namespace {

using test::AccessibleNode;

constexpr char kBarName[] = "Dateien werden installiert ...";

// Links that are saved nowhere: the shortcut is not what is looked at here.
class NoShellLinks : public ShellLinkBinding {
 public:
  explicit NoShellLinks(std::string desktop) : desktop_(std::move(desktop)) {}
  std::unique_ptr<ShellLinkObject> CreateShellLink() override { return std::make_unique<Link>(); }
  std::optional<std::string> SpecialFolderPath(NativeWindow, int) override { return desktop_; }

 private:
  struct Link : ShellLinkObject {
    void SetPath(const std::string&) override {}
    void SetWorkingDirectory(const std::string&) override {}
    void SetArguments(const std::string&) override {}
    void SetDescription(const std::string&) override {}
    void SetShowCmd(std::int32_t) override {}
    void SetHotkey(std::uint16_t) override {}
    void SetIconLocation(const std::string&, int) override {}
    std::int32_t Save(const std::string&, bool) override { return 0; }
  };
  std::string desktop_;
};

class SetupAccessibilityTest : public ::testing::Test {
 protected:
  SetupAccessibilityTest() { app.Title = "Setup"; }
  ~SetupAccessibilityTest() override { TQVRPacker::SetMessagePump(nullptr); }

  void SetUp() override {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no display to create windows on";
    DestroyWindow(probe);
    app.Initialize();
    TQVRPacker::SetMessagePump([this] { app.ProcessMessages(); });
  }

  // Lets the windows be shown and painted.
  void Settle() {
    for (int i = 0; i < 10; ++i) {
      app.ProcessMessages();
      Sleep(10);
    }
  }

  Win32Backend backend;
  TApplication app{backend};
  test::StepDriver driver;
  test::TempDir tmp;
};

// An archive beside the setup whose unpack reports its progress far more often than once
// per percent: 400 small files, one data chunk each.
void MakeArchive(const std::string& root) {
  const std::string tree = root + "source\\" + kProductFolderName + "\\";
  for (int i = 0; i < 400; ++i) {
    test::WriteFile(tree + "Daten\\Spielberichte\\" + std::to_string(i) + ".txt",
                    std::string(2048, static_cast<char>('a' + i % 26)));
  }
  TQVRPacker packer;
  packer.QuellPfad = tree;
  packer.ZielPfad = SetupPfad + kArchivName;
  std::int32_t status = -1;
  packer.OnStatus = [&](std::int32_t code, const std::string&) { status = code; };
  packer.Starten();
  ASSERT_EQ(status, 0);
}

void SetInstallPaths(const std::string& root) {
  SetupPfad = root + "medium\\";
  LaufwerkPfad = root + "drive\\";
  InstallPfad = LaufwerkPfad + kInstallFolderName + "\\";
  const std::string product = InstallPfad + kProductFolderName + "\\";
  ProgrammPfad = product + "Intern\\Programm\\";
  BilderPfad = product + "Daten\\Programm\\Bilder\\";
  FontsPfad = product + "Daten\\Programm\\Fonts\\";
  WinFontsPfad = root + "fonts\\";
  for (const std::string& folder : {SetupPfad, LaufwerkPfad, WinFontsPfad}) test::MakeDirs(folder);
}

// The dialog's children are the standard object's, in its order and with its names, and
// then the bar; returns the bar.
AccessibleNode BarOf(HWND dialog) {
  const AccessibleNode read = test::ReadClientArea(dialog);
  const AccessibleNode standard = test::ReadClientArea(dialog, true);
  EXPECT_EQ(read.name, "QVR-KELVADOR V2");
  EXPECT_EQ(read.role, standard.role);
  if (read.children.size() != standard.children.size() + 1) {
    ADD_FAILURE() << read.children.size() << " children, the standard object has "
                  << standard.children.size();
    return {};
  }
  std::vector<AccessibleNode> windows(read.children.begin(), read.children.end() - 1);
  EXPECT_EQ(test::RolesAndNames(windows), test::RolesAndNames(standard.children));
  return read.children.back();
}

TEST_F(SetupAccessibilityTest, TheBarIsAProgressBarOfTheDialogBeforeAndDuringAnInstallation) {
  SetInstallPaths(tmp.Path());
  MakeArchive(tmp.Path());
  NoShellLinks links(tmp.Path());
  TFormInstall form(app, GdiGraphics(), SystemFileSystem(), links,
                    {[] { return std::string("TEST"); },
                     [](const std::string&, const std::string&, const std::string&, bool,
                        std::string&) { return -1; }});
  WindowlessSurface surface(form, form.StatusGauge, form.Label4.Caption());
  form.StatusGauge.SetSurface(&surface);
  form.Show();
  Settle();
  const auto dialog = static_cast<HWND>(form.WindowHandle());

  // Before "Install >>": a hidden bar at its place, named after the installing text.
  const AccessibleNode before = BarOf(dialog);
  EXPECT_EQ(before.role, ROLE_SYSTEM_PROGRESSBAR);
  EXPECT_EQ(before.name, kBarName);
  EXPECT_EQ(before.value, "0 %");
  EXPECT_EQ(before.state, STATE_SYSTEM_INVISIBLE);
  const RECT at96 = test::OnScreen(dialog, 8, 407, 529, 25);
  EXPECT_TRUE(EqualRect(&before.location, &at96));

  // The bar read at 0, at 50 (before and after the dialog moves to a display of 144
  // pixels per inch) and at 100 %, as the packer reports them.
  std::map<std::string, AccessibleNode> seen;
  int progressEvents = 0;
  int positionChanges = 0;
  const TOnProgress progress = form.QVRPacker1.OnProgress;
  form.QVRPacker1.OnProgress = [&](std::int32_t value) {
    const std::int32_t was = form.StatusGauge.Position();
    progress(value);
    ++progressEvents;
    if (form.StatusGauge.Position() != was) ++positionChanges;
    const std::string at = std::to_string(value);
    if ((value == 0 || value == 50 || value == 100) && !seen.count(at)) seen[at] = BarOf(dialog);
    if (value == 50 && !seen.count("50 at 144")) {
      RECT suggested;
      GetWindowRect(dialog, &suggested);
      SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));
      seen["50 at 144"] = BarOf(dialog);
    }
  };
  form.OnStep = [&](InstallStep step) {
    if (step != InstallStep::FinalMessage) return;
    driver.Post([] {
      PostMessageW(FindWindowW(L"QvrMessageDialog", L"Warnung"), WM_COMMAND,
                   MAKEWPARAM(IDNO, BN_CLICKED), 0);
    });
  };
  test::WinEventRecorder events;
  app.RunHandler([&form] { form.InstallButtonClick(&form.InstallButton); }, &form);
  ASSERT_TRUE(app.Terminated()) << "the final message was not answered";

  const RECT at144 = test::OnScreen(dialog, 12, 611, 794, 38);
  const struct {
    const char* at;
    const char* value;
    const RECT& location;
  } expected[] = {
      {"0", "0 %", at96},
      {"50", "50 %", at96},
      {"50 at 144", "50 %", at144},
      {"100", "100 %", at144},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.at);
    ASSERT_TRUE(seen.count(e.at));
    const AccessibleNode& bar = seen[e.at];
    EXPECT_EQ(bar.role, ROLE_SYSTEM_PROGRESSBAR);
    EXPECT_EQ(bar.name, kBarName);
    EXPECT_EQ(bar.value, e.value);
    EXPECT_EQ(bar.state, 0);
    EXPECT_TRUE(EqualRect(&bar.location, &e.location));
  }

  // One value change per percent the bar went through, not one per chunk; shown once.
  EXPECT_GT(progressEvents, 101);
  EXPECT_EQ(positionChanges, 100);
  const LONG bar = before.childId;
  EXPECT_EQ(events.Count(EVENT_OBJECT_VALUECHANGE, dialog, bar), positionChanges);
  EXPECT_EQ(events.Count(EVENT_OBJECT_SHOW, dialog, bar), 1);
  EXPECT_EQ(events.Count(EVENT_OBJECT_HIDE, dialog, bar), 0);
}

TEST_F(SetupAccessibilityTest, TheBackgroundIsReadByItsTitleWithoutItsPictures) {
  TForm1 background(app);
  background.Show();
  Settle();
  const auto window = static_cast<HWND>(background.WindowHandle());
  const AccessibleNode read = test::ReadClientArea(window);
  const AccessibleNode standard = test::ReadClientArea(window, true);
  EXPECT_EQ(read.name, "QVR-LORWENTHASCOP V1.0");
  EXPECT_EQ(read.role, standard.role);
  EXPECT_EQ(standard.children.size(), 2u);
  EXPECT_TRUE(read.children.empty());
}

}  // namespace
}  // namespace qvr
