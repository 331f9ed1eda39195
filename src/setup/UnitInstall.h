// The install dialog: the welcome text, the buttons "Install >>" and "Abbrechen",
// and the whole install sequence run synchronously by "Install >>": the test for an
// earlier installation, the installation root, unpacking with the packer, the font
// copy, the desktop shortcut and the final message with the restart offer.
//
// Paths come from the installation path globals; every file operation goes through
// the injected file system, so the sequence runs on any file system in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "gauge/GradientProgressBar.h"
#include "packer/QVRPacker.h"
#include "platform/FileSystem.h"
#include "setup/InstallTree.h"
#include "shell/ShellLinkBinding.h"
#include "shell/ShortcutLink.h"

namespace qvr {

inline constexpr char kArchivName[] = "QVRKDV2.QVP";
inline constexpr char kVerknuepfungName[] = "QVR-Kelvador Series [DV2.95].lnk";

// The restart request of the completion: LocalComputerName and WmiCloseWin unless
// a test puts its own in place.
struct RestartCalls {
  std::function<std::string()> localComputerName;
  std::function<int(const std::string& computerName, const std::string& userName,
                    const std::string& password, bool restart, std::string& errorText)>
      wmiCloseWin;
};
RestartCalls SystemRestartCalls();

// The steps of the install sequence, in their order.
enum class InstallStep : std::uint8_t {
  InstallingState,  // buttons hidden, bar shown
  ExistenceTest,    // the question before installing over an earlier installation
  ArchiveCheck,     // the archive read through
  TreeCheck,        // every folder of the tree opened and checked
  Protection,       // the tree made the administrators', the earlier folders moved aside
  Unpack,
  Finish,  // the earlier folders' leftovers kept, the rest of them removed
  Fonts,
  Shortcut,
  FinalMessage,  // from its beep until it is answered
};

// The name of a step ("Unpack"), and the step of a name.
const char* StepName(InstallStep step);
std::optional<InstallStep> StepNamed(std::string_view name);

// The setup's own exit codes beside the packer's statuses.
inline constexpr int kExitUngeschuetzt = 20;  // a folder of the tree cannot be secured
inline constexpr int kExitFehler = 21;        // an error ended the unpack without a status

class TFormInstall : public TForm {
 public:
  TFormInstall(TApplication& app, Graphics& graphics, FileSystem& fileSystem = SystemFileSystem(),
               ShellLinkBinding& shellLinks = DefaultShellLinkBinding(),
               RestartCalls restart = SystemRestartCalls());

  TPanel Panel1;
  TLabel Label1;
  TLabel Label4;
  TMemo Memo1;
  TLabel Label3;
  TButton InstallButton;
  TButton AbbruchButton;
  TGradientProgressBar StatusGauge;
  TShortcutLink ShortcutLink1;
  TQVRPacker QVRPacker1;

  // Raised as each step of the install sequence begins, for whoever follows it (the
  // setup benchmark times the steps); the setup itself sets none.
  std::function<void(InstallStep)> OnStep;

  void InstallButtonClick(TComponent* sender);
  void AbbruchButtonClick(TComponent* sender);
  void FormClose(TComponent* sender, TCloseAction& action);
  void QVRPacker1Progress(std::int32_t Progress);
  void QVRPacker1Status(std::int32_t StatusCode, const std::string& StatusText);

  // Adds the names of the plain files directly inside Folder to List, in the order the
  // file system returns them.
  void DirectoryList(std::vector<std::string>& List, Folder& Folder);

 private:
  void ShowInstallingState();
  void SetGaugeVisible(bool visible);
  // Whether to go on over an earlier installation; asked only where there is one.
  bool ConfirmOverEarlier();
  // After a failure: the earlier program and fonts back in their place.
  void RestoreEarlier();
  // Each a way out of the sequence: its box, then the end of the program with its code.
  [[noreturn]] void EndWithStatus(std::int32_t status);
  [[noreturn]] void EndUnprotected(const FileError& error);
  [[noreturn]] void EndWithError(const std::string& message);
  // Fonts, shortcut and the final message, after a successful unpack.
  void Completion();
  void CopyFonts();
  void WriteShortcut();
  void Step(InstallStep step) {
    if (OnStep) OnStep(step);
  }

  FileSystem& fs_;
  // Held from the check until the setup ends.
  InstallTree tree_{fs_};
  RestartCalls restart_;
  std::int32_t status_ = -1;  // of the packer's run
  // Set by the first "Install >>"; the installing state never ends before the program.
  bool installing_ = false;
};

}  // namespace qvr
