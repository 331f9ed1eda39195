// setup-run: the setup's real install sequence, headless, on this machine's file system.
// The drive root, the Windows folder and the medium are folders given on the command
// line; the boxes are answered from the arguments; every box and the exit code are
// printed. --stop-at holds the sequence as a step begins until a file appears, so that a
// second process can act at that moment.
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "framework/Application.h"
#include "framework/headless/HeadlessBackend.h"
#include "gauge/Canvas.h"
#include "setup/InstallPaths.h"
#include "setup/UnitInstall.h"

namespace qvr {
namespace {

constexpr char kUsage[] =
    "Usage: setup-run --drive DIR --windows DIR --medium DIR [--desktop DIR]\n"
    "                 [--answer ja|nein|abbrechen]... [--stop-at STEP --until FILE]\n";

constexpr char kHelp[] =
    "Runs the setup's install sequence as \"Install >>\" starts it, headless, on this\n"
    "machine's file system, with the setup's own packer, tree and rights.\n"
    "\n"
    "  --drive DIR      the root of the Windows drive: QVR-SOFTWARE is installed in it\n"
    "  --windows DIR    the Windows folder: the fonts go into DIR/Fonts\n"
    "  --medium DIR     the folder that holds QVRKDV2.QVP\n"
    "  --desktop DIR    where the shortcut is recorded (a text file; default: none)\n"
    "  --answer A       the answer to the next question: ja, nein or abbrechen; boxes\n"
    "                   with the single button OK answer themselves\n"
    "  --stop-at STEP   hold the sequence as STEP begins until --until FILE exists; the\n"
    "                   steps: InstallingState ExistenceTest ArchiveCheck TreeCheck\n"
    "                   Protection Unpack Finish Fonts Shortcut FinalMessage\n"
    "\n"
    "Prints \"step NAME\" as each step begins, \"box CAPTION: TEXT\" for every box (lines\n"
    "separated by \" | \"), and at the end \"exit CODE\": the setup's exit code (0 after\n"
    "the final message, the packer's status, 20 where the tree cannot be secured, 21\n"
    "where an error ended the unpack).\n";

// The shortcut, written as text into the desktop folder: what the shell's link object
// would have been told.
class RecordedShellLinks final : public ShellLinkBinding {
 public:
  explicit RecordedShellLinks(std::string desktop) : desktop_(std::move(desktop)) {}
  std::unique_ptr<ShellLinkObject> CreateShellLink() override { return std::make_unique<Link>(); }
  std::optional<std::string> SpecialFolderPath(NativeWindow, int) override {
    if (desktop_.empty()) return std::nullopt;
    return desktop_;
  }

 private:
  class Link final : public ShellLinkObject {
   public:
    void SetPath(const std::string& v) override { fields_ += "target=" + v + "\n"; }
    void SetWorkingDirectory(const std::string& v) override { fields_ += "dir=" + v + "\n"; }
    void SetArguments(const std::string&) override {}
    void SetDescription(const std::string&) override {}
    void SetShowCmd(std::int32_t) override {}
    void SetHotkey(std::uint16_t) override {}
    void SetIconLocation(const std::string& v, int) override { fields_ += "icon=" + v + "\n"; }
    std::int32_t Save(const std::string& file, bool) override {
      std::string path = file;
      for (char& c : path) c = c == '\\' ? '/' : c;
      std::ofstream out(path, std::ios::binary);
      out << fields_;
      return out ? 0 : -1;
    }

   private:
    std::string fields_;
  };
  std::string desktop_;
};

std::string OneLine(std::string text) {
  std::string line;
  for (const char c : text) line += c == '\r' ? std::string(" | ") : std::string(1, c);
  return line;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

struct Options {
  std::string drive, windows, medium, desktop, until;
  std::optional<InstallStep> stopAt;
  std::deque<TModalResult> answers;
};

// The options, or the exit code of a usage error or --help.
std::variant<Options, int> Parse(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      std::cout << kUsage << "\n" << kHelp;
      return 0;
    }
    if (i + 1 == args.size()) {
      std::cerr << "setup-run: " << arg << " needs a value\n" << kUsage;
      return 2;
    }
    const std::string& value = args[++i];
    if (arg == "--drive") {
      options.drive = WithSlash(value);
    } else if (arg == "--windows") {
      options.windows = WithSlash(value);
    } else if (arg == "--medium") {
      options.medium = WithSlash(value);
    } else if (arg == "--desktop") {
      options.desktop = value;
    } else if (arg == "--until") {
      options.until = value;
    } else if (arg == "--stop-at" && StepNamed(value)) {
      options.stopAt = StepNamed(value);
    } else if (arg == "--answer" && (value == "ja" || value == "nein" || value == "abbrechen")) {
      options.answers.push_back(value == "ja" ? mrYes : value == "nein" ? mrNo : mrCancel);
    } else {
      std::cerr << "setup-run: " << arg << " " << value << " is not understood\n" << kUsage;
      return 2;
    }
  }
  if (options.drive.empty() || options.windows.empty() || options.medium.empty() ||
      options.stopAt.has_value() != !options.until.empty()) {
    std::cerr << "setup-run: --drive, --windows and --medium are needed; --stop-at with --until\n"
              << kUsage;
    return 2;
  }
  return options;
}

int Run(const Options& options) {
  SetupPfad = options.medium;
  LaufwerkPfad = options.drive;
  InstallPfad = LaufwerkPfad + kInstallFolderName + "/";
  ProgrammPfad = TreePath(InstallPfad, TreeFolder::ProgramFiles, '/');
  BilderPfad = TreePath(InstallPfad, TreeFolder::Pictures, '/');
  FontsPfad = TreePath(InstallPfad, TreeFolder::Fonts, '/');
  WinFontsPfad = options.windows + "Fonts/";

  HeadlessBackend backend;
  for (const TModalResult answer : options.answers) backend.QueueAnswer(answer);
  TApplication app(backend);
  app.Title = "Setup";
  RecordedShellLinks links(options.desktop);
  TFormInstall dialog(app, MemoryGraphics(), SystemFileSystem(), links,
                      RestartCalls{[] { return std::string("localhost"); },
                                   [](const std::string&, const std::string&, const std::string&,
                                      bool, std::string&) {
                                     std::cout << "restart requested" << std::endl;
                                     return 0;
                                   }});
  dialog.OnStep = [&](InstallStep step) {
    std::cout << "step " << StepName(step) << std::endl;
    if (step != options.stopAt) return;
    while (!std::filesystem::exists(options.until)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  int code = 0;
  try {
    dialog.InstallButton.Click();
  } catch (const ProgramHalt& halt) {
    code = halt.exitCode;
  }
  for (const MessageDialogRequest& box : backend.Dialogs()) {
    std::cout << "box " << box.caption << ": " << OneLine(box.text) << "\n";
  }
  if (!backend.UnexpectedDialogs().empty()) std::cout << "unanswered questions\n";
  std::cout << "exit " << code << std::endl;
  return code;
}

}  // namespace
}  // namespace qvr

int main(int argc, char** argv) {
  const std::variant<qvr::Options, int> parsed =
      qvr::Parse(std::vector<std::string>(argv + 1, argv + argc));
  if (const int* code = std::get_if<int>(&parsed)) return *code;
  return qvr::Run(std::get<qvr::Options>(parsed));
}
