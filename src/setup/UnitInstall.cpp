#include "setup/UnitInstall.h"

#include <exception>
#include <iterator>

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "packer/SourceArchive.h"
#include "setup/InstallPaths.h"
#include "setup/StatusGaugeDesign.h"
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

// Why a folder or file failed, as the setup tells it: the system's own texts are in the
// language of the system already.
std::string GermanReason(const FileError& error) {
  static constexpr std::pair<FileReason, const char*> kReasons[] = {
      {FileReason::NotFound, "es ist nicht vorhanden"},
      {FileReason::IsLink, "es ist eine symbolische Verknüpfung"},
      {FileReason::NotFolder, "es ist eine Datei, kein Ordner"},
      {FileReason::IsFolder, "es ist ein Ordner, keine Datei"},
      {FileReason::NotFile, "es ist weder eine Datei noch ein Ordner"},
      {FileReason::OtherNames, "es ist eine Datei mit mehr als einem Namen"},
      {FileReason::InUse, "ein anderes Programm verwendet es"},
      {FileReason::AccessDenied, "der Zugriff wurde verweigert"},
      {FileReason::Exists, "ein Eintrag dieses Namens ist schon vorhanden"},
      {FileReason::NoSpace, "der Datenträger ist voll"},
      {FileReason::OtherOwner, "ein anderer Benutzer hat es angelegt"},
      {FileReason::Changed, "es wurde während der Installation ausgetauscht"},
      {FileReason::Damaged, "es ist beschädigt"},
  };
  for (const auto& [reason, german] : kReasons) {
    if (reason == error.reason) return german;
  }
  return error.ReasonText();
}

// A folder as the boxes name it: without a closing delimiter, however it was reached.
std::string FolderName(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string UngeschuetztText(const FileError& error) {
  const std::string folder = FolderName(error.path);
  if (error.reason == FileReason::OtherOwner) {
    return "Der Ordner " + folder +
           " wurde von einem anderen Benutzer angelegt, der ihn weiter ändern könnte.\r"
           "Entfernen Sie ihn oder benennen Sie ihn um und starten Sie die Installation "
           "erneut.\rDie Installation wird abgebrochen!!!";
  }
  return "Der Ordner " + folder +
         " kann nicht vor Änderungen durch andere Benutzer geschützt werden: " +
         GermanReason(error) + "\rDie Installation wird abgebrochen!!!";
}

// After a failure or a successful unpack, what could not be done with the earlier
// installation: it stays in Vorherige Installation, where the next run finds it.
std::string NichtZurueckText(const FileError& error) {
  return "Die frühere Installation konnte nicht zurückgelegt werden (" + FolderName(error.path) +
         ": " + GermanReason(error) + ").\rSie liegt in \"" + Describe(TreeFolder::Earlier).name +
         "\" und wird bei der nächsten Installation übernommen.";
}

std::string NichtAufgeraeumtText(const FileError& error) {
  return "Die frühere Installation konnte nicht aufgeräumt werden (" + FolderName(error.path) +
         ": " + GermanReason(error) + ").";
}

std::string FehlerText(const std::string& message) {
  return "Die Installation ist fehlgeschlagen: " + message +
         "\rDie Installation wird abgebrochen!!!";
}

constexpr const char* kStepNames[] = {
    "InstallingState", "ExistenceTest", "ArchiveCheck", "TreeCheck", "Protection",
    "Unpack",          "Finish",        "Fonts",        "Shortcut",  "FinalMessage"};
static_assert(std::size(kStepNames) == static_cast<std::size_t>(InstallStep::FinalMessage) + 1);

const TFont kBoldTimes{"Times New Roman", -16, true, clWindowText};

}  // namespace

const char* StepName(InstallStep step) {
  return kStepNames[static_cast<std::size_t>(step)];
}

std::optional<InstallStep> StepNamed(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kStepNames); ++i) {
    if (name == kStepNames[i]) return static_cast<InstallStep>(i);
  }
  return std::nullopt;
}

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
  ApplyStatusGaugeDesign(StatusGauge);
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
  ShowInstallingState();

  Step(InstallStep::ExistenceTest);
  if (!ConfirmOverEarlier()) {
    Application().Terminate();
    return;
  }

  // Everything is checked before anything changes: the archive, read through to its end,
  // then every folder of the tree, each opened once and held from here on.
  Step(InstallStep::ArchiveCheck);
  const std::string archivePath = SetupPfad + kArchivName;
  if (PackerOutcome found = SourceArchive::Find(fs_, archivePath); !found) {
    EndWithStatus(found.Error().status);
  }
  Result<SourceArchive, PackerFailure> archive =
      SourceArchive::Open(fs_, archivePath, QVRPacker1.ArchiveCodePage);
  if (!archive) EndWithStatus(archive.Error().status);
  Step(InstallStep::TreeCheck);
  if (Result<void> checked = tree_.Check(LaufwerkPfad); !checked) EndUnprotected(checked.Error());

  // Nothing the administrator later runs, loads or copies into Windows may stay
  // changeable by other users; the earlier installation is kept aside until the new one
  // is complete. An error that escapes from here on is a failure like any other.
  try {
    Step(InstallStep::Protection);
    const auto inArchive = [this, &archive](TreeFolder folder) {
      return archive->HoldsFolder(NamesBelowRoot(folder), fs_);
    };
    if (Result<void> prepared = tree_.Prepare(inArchive); !prepared) {
      RestoreEarlier();
      EndUnprotected(prepared.Error());
    }
    QVRPacker1.QuellPfad = archivePath;
    QVRPacker1.ZielPfad = InstallPfad;
    QVRPacker1.QuellArchiv = &*archive;
    QVRPacker1.ZielOrdner = &tree_.Root();
    Step(InstallStep::Unpack);
    QVRPacker1.Starten();
  } catch (const std::exception& e) {
    RestoreEarlier();
    EndWithError(e.what());
  }
  QVRPacker1.QuellArchiv = nullptr;
  if (status_ != 0) {
    RestoreEarlier();
    EndWithStatus(status_);
  }

  // The new installation is complete: the earlier one may go.
  Step(InstallStep::Finish);
  if (Result<void> finished = tree_.Finish(); !finished) {
    Application().ShowException(NichtAufgeraeumtText(finished.Error()), this);
  }
  Completion();
}

void TFormInstall::RestoreEarlier() {
  if (Result<void> restored = tree_.Restore(); !restored) {
    Application().ShowException(NichtZurueckText(restored.Error()), this);
  }
}

void TFormInstall::ShowInstallingState() {
  SetGaugeVisible(true);
  Label1.SetVisible(false);
  Label4.SetVisible(true);
  AbbruchButton.SetVisible(false);
  InstallButton.SetVisible(false);
}

bool TFormInstall::ConfirmOverEarlier() {
  if (!fs_.DirectoryExists(InstallPfad + kProductFolderName)) return true;
  Application().Backend().Beep();
  return MessageDlg(*this, kSchonInstalliert, mtConfirmation, {mbYes, mbCancel}) != mrCancel;
}

void TFormInstall::EndWithStatus(std::int32_t status) {
  Application().Backend().Beep();
  MessageDlg(*this, FehlerCodeText(status), mtCustom, {mbOK});
  // The exit code tells a calling script why.
  Application().Halt(status);
}

void TFormInstall::EndUnprotected(const FileError& error) {
  Application().Backend().Beep();
  Application().ShowException(UngeschuetztText(error), this);
  Application().Halt(kExitUngeschuetzt);
}

void TFormInstall::EndWithError(const std::string& message) {
  Application().Backend().Beep();
  Application().ShowException(FehlerText(message), this);
  Application().Halt(kExitFehler);
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

// Recorded for the sequence, which shows a failure once the earlier installation is back.
void TFormInstall::QVRPacker1Status(std::int32_t StatusCode, const std::string&) {
  status_ = StatusCode;
}

void TFormInstall::DirectoryList(std::vector<std::string>& List, Folder& Folder) {
  Result<std::vector<DirEntry>> entries = Folder.List();
  if (!entries) return;
  for (const DirEntry& entry : *entries) {
    // A folder with no other attribute bit is skipped; one with more bits is listed.
    if (entry.attributes != attr::kDirectory) List.push_back(entry.name);
  }
}

void TFormInstall::CopyFonts() {
  // From the fonts folder the setup made and held: only the fonts the archive brought are
  // in it, and nothing a user adds or swaps reaches the Windows font folder.
  Folder* const fonts = tree_.Fonts();
  if (fonts == nullptr) return;  // the archive brings none
  Result<std::unique_ptr<Folder>> windowsFonts = fs_.OpenFolder(WinFontsPfad);
  if (!windowsFonts) return;
  std::vector<std::string> names;
  DirectoryList(names, *fonts);
  // Existing fonts stay as they are; a failed copy is no reason to stop.
  for (const std::string& name : names) {
    static_cast<void>(CopyPlainFile(*fonts, name, **windowsFonts));
  }
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

  Step(InstallStep::FinalMessage);
  Application().Backend().Beep();
  if (MessageDlg(*this, ErfolgText(), mtWarning, {mbYes, mbNo}) == mrYes) {
    std::string errorText;
    restart_.wmiCloseWin(restart_.localComputerName(), "", "", true, errorText);
  }
  Application().Terminate();
}

}  // namespace qvr
