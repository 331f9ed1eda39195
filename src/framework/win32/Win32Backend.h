// The window backend of the real program: Win32 windows, the message loop, the
// modal loop, the message dialog, the system beep and COM for the main thread.
#pragma once

#include <optional>

#include "framework/Backend.h"
#include "platform/win32/ComInitializer.h"

namespace qvr {

class Win32Backend : public WindowBackend {
 public:
  Win32Backend();
  ~Win32Backend() override;

  // Joins the thread to a COM apartment, for the life of the backend, and lets the
  // application's error box show what escapes a window procedure.
  void Initialize(TApplication& app) override;
  std::unique_ptr<FormPeer> CreateFormPeer(TForm& form) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(TControl& control) override;
  void ProcessMessages() override;
  void RunMessageLoop(TApplication& app) override;
  void RunModal(TForm& form) override;
  void Terminating() override;
  TModalResult ShowMessageDialog(const MessageDialogRequest& request) override;
  void Beep() override;
  // Runs the finalisations of static objects (std::exit) and ends the process.
  [[noreturn]] void Halt(int exitCode) override;

 private:
  std::optional<ComInitializer> com_;
};

}  // namespace qvr
