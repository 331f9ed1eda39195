// A window backend without windows, for tests: controls keep their state in the
// portable objects, message dialogs are answered from a script, and beeps, boxes,
// termination and the end of the program at once are recorded in order.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/Backend.h"
#include "framework/Dialogs.h"

namespace qvr {

class HeadlessBackend : public WindowBackend {
 public:
  // The answer of the next message dialog; dialogs take the answers in order.
  void QueueAnswer(TModalResult answer) { answers_.push_back(answer); }

  // Every dialog shown, in order.
  const std::vector<MessageDialogRequest>& Dialogs() const { return dialogs_; }
  // Dialogs that came when no answer was queued. Boxes with the single button "OK"
  // answer themselves and take no queued answer.
  const std::vector<MessageDialogRequest>& UnexpectedDialogs() const { return unexpected_; }
  int Beeps() const { return beeps_; }
  int ProcessMessagesCalls() const { return pumps_; }
  bool TerminatingCalled() const { return terminating_; }
  std::optional<int> HaltCode() const { return haltCode_; }
  int ModalShowings() const { return modalShowings_; }

  // One line per observable event ("beep", "dialog <caption>", "terminate",
  // "halt <code>"); tests may append their own fakes' calls to it.
  std::vector<std::string>& Log() { return log_; }

  // Runs while a form is shown modally; without it a modal showing returns at once.
  std::function<void(TForm& form)> OnModal;

  void Initialize(TApplication& app) override;
  std::unique_ptr<FormPeer> CreateFormPeer(TForm& form) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(TControl& control) override;
  void ProcessMessages() override;
  void RunMessageLoop(TApplication& app) override;
  void RunModal(TForm& form) override;
  void Terminating() override;
  TModalResult ShowMessageDialog(const MessageDialogRequest& request) override;
  void Beep() override;
  // Records the code and throws ProgramHalt.
  [[noreturn]] void Halt(int exitCode) override;

 private:
  std::deque<TModalResult> answers_;
  std::vector<MessageDialogRequest> dialogs_;
  std::vector<MessageDialogRequest> unexpected_;
  std::vector<std::string> log_;
  std::optional<int> haltCode_;
  int beeps_ = 0;
  int pumps_ = 0;
  int modalShowings_ = 0;
  bool terminating_ = false;
};

}  // namespace qvr
