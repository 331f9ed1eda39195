// The application object: title, main form, message loop and termination, and the
// error box for an error that escapes an event handler.
#pragma once

#include <functional>
#include <string>

#include "base/Component.h"
#include "framework/Backend.h"

namespace qvr {

class TForm;

// Unwinds the stack of a backend that cannot end the process on the spot (the
// headless one) when the program is ended at once. Deliberately not derived from
// std::exception: handlers that swallow every error must let it pass.
struct ProgramHalt {
  int exitCode;
};

class TApplication : public TComponent {
 public:
  explicit TApplication(WindowBackend& backend);

  // The caption of plain messages and error boxes.
  std::string Title;

  WindowBackend& Backend() const { return backend_; }

  void Initialize();
  // Shows the main form and dispatches messages until Terminate.
  void Run();
  // Lets the running handler finish; then the modal loops and the message loop end.
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();
  // Ends the program at once (unit finalisations still run on a real process end).
  [[noreturn]] void Halt(int exitCode);

  // The first form created; the application ends when it closes.
  TForm* MainForm() const { return mainForm_; }
  void RegisterForm(TForm& form);
  void UnregisterForm(TForm& form);

  // Shows the error box: error icon, Title as caption, button "OK", owned by the
  // form that asks (none before any form exists).
  void ShowException(const std::string& message, const TCustomForm* owner = nullptr);
  // Runs an event handler of `owner`; an error that escapes it is shown in the
  // error box over that form. ProgramHalt passes through.
  void RunHandler(const std::function<void()>& handler, const TCustomForm* owner = nullptr);

 private:
  WindowBackend& backend_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
};

// The program's file name without folder and extension, for the default title.
std::string TitleFromExeName(const std::string& exeName);

}  // namespace qvr
