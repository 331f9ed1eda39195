#include "setup/UnitInstall.h"

#include <exception>

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "setup/InstallPaths.h"
#include "shell/wmiclose.h"

namespace qvr {
namespace {

// Every text of the install dialog that the user sees. Lines are separated by a CR; a
// control's caption keeps them as CR LF.
constexpr char kCaption[] = "QVR-KELVADOR V2";
constexpr char kInfoCaption[] = "Allgemeine Informationen:";
constexpr char kInstallingCaption[] = "Dateien werden installiert ...";
constexpr char kInstallButtonCaption[] = "Install >>";
constexpr char kAbbruchButtonCaption[] = "Abbrechen";

const std::vector<std::string> kWelcomeText = {
    "Liebe Kundin, Lieber Kunde,",
    "",
    "Sie installieren gerade die neueste BETA-VERSION von",
    "",
    "QVR-KELVADOR SERIES V2",
    "",
    "Das Programm ist voll funktionstüchtig und beinhaltet alle derzeitigen",
    "Funktionen. Leider ist noch keine Beschreibung vorhanden, Sie finden",
    "aber Hinweise und Tips, wenn Sie mit dem Mauspfeil über die ent-",
    "sprechenden Felder fahren. Obwohl wir sehr sorgfältig programmiert",
    "haben, können wir versteckte Fehler nicht ausschließen und sind Ihnen",
    "deshalb dankbar wenn Sie uns diese über unsere Webseite melden.",
    "",
    "Ihr QVR-Team",
};

constexpr char kAddress[] = "QVR Software, Markt 1, 12345 Musterstadt\rwww.qvr-software.example";

constexpr char kSchonInstalliert[] =
    "Dieses Programm ist auf Ihrem Computer schon installiert!!!\r"
    "Betätigen Sie ABBRECHEN um die Installation abzubrechen.\r"
    "Betätigen Sie JA um mit der Installation fortzufahren.";

constexpr char kAbbrechenFrage[] = "Sind Sie sicher das sie die Installation abbrechen möchten?";

std::string FehlerCodeText(std::int32_t statusCode) {
  return "FehlerCode = " + std::to_string(statusCode) + "\rDie Installation wird abgebrochen!!!";
}

// The final message: each line centred in 50 characters.
std::string ErfolgText() {
  return CentreText("Die Installation wurde erfolgreich abgeschlossen.", 50, ' ') + "\r" +
         CentreText(
             "Wenn es sich hier um eine Erstinstallation handelt, wurden neue Schriften "
             "installiert.",
             50, ' ') +
         "\r" +
         CentreText("Damit diese im Spielbericht sichtbar sind muss Windows neu gestartet werden.",
                    50, ' ');
}

// The file-system layer's own reasons, as the setup tells them; the system's texts are
// in the language of the system already.
std::string GermanReason(const std::string& reason) {
  static const std::pair<const char*, const char*> kReasons[] = {
      {qvr::reason::kFileNotFolder, "es ist eine Datei, kein Ordner"},
      {qvr::reason::kFolderNotFile, "es ist ein Ordner, keine Datei"},
      {qvr::reason::kLinkNotFollowed, "es ist eine Verknüpfung, der nicht gefolgt wird"},
      {qvr::reason::kLinkNotRemovable,
       "es ist eine Verknüpfung, die sich hier nicht entfernen lässt, ohne ihr Ziel zu ändern"},
      {qvr::reason::kNotPlainFile,
       "es ist eine Verknüpfung oder eine Datei mit mehr als einem Namen, die nicht kopiert "
       "wird"},
  };
  for (const auto& [english, german] : kReasons) {
    if (reason == english) return german;
  }
  return reason;
}

std::string UngeschuetztText(const std::string& folder, const std::string& reason) {
  return "Der Ordner " + folder +
         " kann nicht vor Änderungen durch andere Benutzer geschützt werden: " +
         GermanReason(reason) + "\rDie Installation wird abgebrochen!!!";
}

std::string NichtFreigegebenText(const std::string& folder, const std::string& reason) {
  return "Der Datenordner " + folder +
         " kann nicht für die Benutzer freigegeben werden: " + GermanReason(reason);
}

// The exit code when the installation root cannot be closed to other users; a failure
// status of the packer ends the setup with that status.
constexpr int kExitUngeschuetzt = 20;

const TFont kBoldTimes{"Times New Roman", -16, true, clWindowText};

}  // namespace

RestartCalls SystemRestartCalls() {
  return {[] { return LocalComputerName(); },
          [](const std::string& computerName, const std::string& userName,
             const std::string& password, bool restart, std::string& errorText) {
            return WmiCloseWin(computerName, userName, password, restart, errorText);
          }};
}

TFormInstall::TFormInstall(TApplication& app, Graphics& graphics, FileSystem& fileSystem,
                           ShellLinkBinding& shellLinks, RestartCalls restart)
    : TForm(app),
      Panel1(*this, nullptr),
      Label1(*this, &Panel1),
      Label4(*this, &Panel1),
      Memo1(*this, &Panel1),
      Label3(*this, &Panel1),
      InstallButton(*this, nullptr),
      AbbruchButton(*this, nullptr),
      StatusGauge(this, graphics),
      ShortcutLink1(this, shellLinks),
      QVRPacker1(this, fileSystem),
      fs_(fileSystem),
      restart_(std::move(restart)) {
  SetCaption(kCaption);
  BorderStyle = bsDialog;
  BorderIcons = false;
  ClientWidth = 550;
  ClientHeight = 443;
  Color = clBtnFace;
  Font = TFont{"MS Sans Serif", -11, false, clWindowText};
  Position = poMainFormCenter;
  OnClose = [this](TComponent* sender, TCloseAction& action) { FormClose(sender, action); };

  Panel1.SetBounds(8, 8, 529, 393);
  Panel1.SetFont({"Times New Roman", -16, false, clWindowText});

  Label1.SetBounds(8, 16, 178, 19);
  Label1.SetCaption(kInfoCaption);
  Label1.SetFont(kBoldTimes);

  Label4.SetBounds(160, 24, 188, 19);
  Label4.SetCaption(kInstallingCaption);
  Label4.SetFont(kBoldTimes);
  Label4.SetVisible(false);

  Memo1.SetBounds(8, 48, 513, 281);
  Memo1.Alignment = taCenter;
  Memo1.ReadOnly = true;
  Memo1.SetEnabled(false);
  Memo1.SetFont({"MS Sans Serif", -13, true, clWindowText});
  Memo1.SetLines(kWelcomeText);

  Label3.SetBounds(48, 344, 435, 35);
  Label3.Alignment = taCenter;
  Label3.WordWrap = true;
  Label3.AutoSize = false;
  Label3.SetFont(kBoldTimes);
  Label3.SetCaption(kAddress);

  InstallButton.SetBounds(462, 407, 75, 25);
  InstallButton.SetCaption(kInstallButtonCaption);
  InstallButton.OnClick = [this](TComponent* sender) { InstallButtonClick(sender); };

  AbbruchButton.SetBounds(382, 407, 75, 25);
  AbbruchButton.SetCaption(kAbbruchButtonCaption);
  AbbruchButton.OnClick = [this](TComponent* sender) { AbbruchButtonClick(sender); };

  StatusGauge.BeginLoading();
  StatusGauge.SetVisible(false);
  StatusGauge.SetBounds(8, 407, 529, 25);
  StatusGauge.SetBackgroundColor(clWhite);
  StatusGauge.SetBarColor1(clLime);
  StatusGauge.SetBarColor3(0x008000FF);
  StatusGauge.SetPosTextSuffix("%");
  StatusGauge.SetFont({"MS Sans Serif", -11, true, clWindowText});
  StatusGauge.EndLoading();
  AddWindowlessControl([this] { StatusGauge.Paint(); },
                       [this](int from, int to) { StatusGauge.ScaleForDpi(from, to); });

  ShortcutLink1.SetHotKey(" ");
  ShortcutLink1.IconNumber = 0;

  QVRPacker1.PackModus = Entpacken;
  QVRPacker1.OnProgress = [this](std::int32_t progress) { QVRPacker1Progress(progress); };
  QVRPacker1.OnStatus = [this](std::int32_t code, const std::string& text) {
    QVRPacker1Status(code, text);
  };
}

void TFormInstall::SetGaugeVisible(bool visible) {
  StatusGauge.SetVisible(visible);
  // The gauge has no window: hiding it leaves its picture until the form repaints.
  if (!visible)
    Invalidate({StatusGauge.Left, StatusGauge.Top, StatusGauge.Width(), StatusGauge.Height()});
}

void TFormInstall::InstallButtonClick(TComponent*) {
  // Hiding the button does not stop queued input: a double-click or a second Enter
  // can reach this handler while the packer lets messages through between chunks.
  if (installing_) return;
  installing_ = true;
  Step(InstallStep::InstallingState);
  SetGaugeVisible(true);
  Label1.SetVisible(false);
  Label4.SetVisible(true);
  AbbruchButton.SetVisible(false);
  InstallButton.SetVisible(false);

  Step(InstallStep::ExistenceTest);
  if (fs_.DirectoryExists(InstallPfad + kProductFolderName)) {
    Application().Backend().Beep();
    if (MessageDlg(*this, kSchonInstalliert, mtConfirmation, {mbYes, mbCancel}) == mrCancel) {
      Application().Terminate();
      return;
    }
  }

  // Before a byte is unpacked: nothing the administrator later runs, loads or copies
  // into Windows may stay changeable by other users. A root that cannot be made is not
  // checked here: the packer reports its destination status.
  Step(InstallStep::Protection);
  if (!tree_.Secure()) {
    Application().ShowException(UngeschuetztText(tree_.FailedPath(), tree_.Reason()), this);
    Application().Halt(kExitUngeschuetzt);
  }

  QVRPacker1.QuellPfad = SetupPfad + kArchivName;
  QVRPacker1.ZielPfad = InstallPfad;
  QVRPacker1.ZielOrdner = tree_.Root();
  Step(InstallStep::Unpack);
  try {
    QVRPacker1.Starten();
  } catch (const ProgramHalt&) {
    throw;
  } catch (...) {
    // A damaged archive ends the run with an error instead of a status; the
    // completion still installs fonts and shortcut of whatever was unpacked.
  }

  Step(InstallStep::DataFolder);
  if (!tree_.OpenDataToUsers()) {
    Application().ShowException(NichtFreigegebenText(tree_.FailedPath(), tree_.Reason()), this);
  }
  Completion();
}

void TFormInstall::AbbruchButtonClick(TComponent*) {
  Close();
}

void TFormInstall::FormClose(TComponent*, TCloseAction& action) {
  Application().Backend().Beep();
  if (MessageDlg(*this, kAbbrechenFrage, mtConfirmation, {mbYes, mbNo}) == mrYes) {
    Application().Terminate();
  } else {
    action = caNone;
  }
}

void TFormInstall::QVRPacker1Progress(std::int32_t Progress) {
  StatusGauge.SetPosition(Progress);
}

void TFormInstall::QVRPacker1Status(std::int32_t StatusCode, const std::string&) {
  if (StatusCode == 0) {
    unpackSucceeded_ = true;
    return;
  }
  Application().Backend().Beep();
  MessageDlg(*this, FehlerCodeText(StatusCode), mtCustom, {mbOK});
  // Whatever was unpacked so far stays; the exit code tells a calling script why.
  Application().Halt(StatusCode);
}

void TFormInstall::DirectoryList(std::vector<std::string>& List, Folder& Folder) {
  const auto listing = Folder.List();
  DirEntry entry;
  while (listing && listing->Next(entry)) {
    if (entry.name == "." || entry.name == "..") continue;
    // A folder with no other attribute bit is skipped; one with more bits is listed.
    if (entry.attributes == attr::kDirectory) continue;
    List.push_back(entry.name);
  }
}

void TFormInstall::CopyFonts() {
  // Through the handles of the tree the setup secured: only the fonts the archive brought
  // are in it, and nothing a user adds or swaps reaches the Windows font folder.
  const std::unique_ptr<Folder> fonts =
      tree_.Open({kProductFolderName, kDatenFolderName, kProgrammFolderName, kFontsFolderName});
  const std::unique_ptr<Folder> windowsFonts = fonts ? fs_.OpenFolder(WinFontsPfad) : nullptr;
  if (!windowsFonts) return;
  std::vector<std::string> names;
  DirectoryList(names, *fonts);
  // Existing fonts stay as they are; a failed copy is no reason to stop.
  for (const std::string& name : names) CopyPlainFile(*fonts, name, *windowsFonts);
}

void TFormInstall::WriteShortcut() {
  try {
    ShortcutLink1.WorkingDir = ProgrammPfad;
    std::string desktop;
    ShortcutLink1.GetDesktopFolder(desktop);
    ShortcutLink1.ShortcutFile = desktop + "\\" + kVerknuepfungName;
    ShortcutLink1.Target = ProgrammPfad + "QVR-Kelvador.exe";
    ShortcutLink1.IconLocation = BilderPfad + "QVR.bmp";
    ShortcutLink1.CreateShortcut();
  } catch (const std::exception& e) {
    Application().ShowException(e.what(), this);
  }
}

void TFormInstall::Completion() {
  Step(InstallStep::Fonts);
  CopyFonts();
  Step(InstallStep::Shortcut);
  WriteShortcut();
  if (!unpackSucceeded_) return;

  Step(InstallStep::FinalMessage);
  Application().Backend().Beep();
  if (MessageDlg(*this, ErfolgText(), mtWarning, {mbYes, mbNo}) == mrYes) {
    std::string errorText;
    restart_.wmiCloseWin(restart_.localComputerName(), "", "", true, errorText);
  }
  Application().Terminate();
}

}  // namespace qvr
