#include "framework/headless/HeadlessBackend.h"

#include "framework/Application.h"
#include "framework/Forms.h"

namespace qvr {

void HeadlessBackend::Initialize(TApplication&) {}

std::unique_ptr<FormPeer> HeadlessBackend::CreateFormPeer(TForm&) {
  return nullptr;
}

std::unique_ptr<ControlPeer> HeadlessBackend::CreateControlPeer(TControl&) {
  return nullptr;
}

void HeadlessBackend::ProcessMessages() {
  ++pumps_;
}

void HeadlessBackend::RunMessageLoop(TApplication&) {}

void HeadlessBackend::RunModal(TForm& form) {
  ++modalShowings_;
  if (OnModal) OnModal(form);
}

void HeadlessBackend::Terminating() {
  terminating_ = true;
  log_.push_back("terminate");
}

TModalResult HeadlessBackend::ShowMessageDialog(const MessageDialogRequest& request) {
  dialogs_.push_back(request);
  log_.push_back("dialog " + request.caption);
  // A box with the single button "OK" has only one answer and takes none from the queue.
  if (request.buttons.size() == 1 && request.buttons.front() == mbOK) return mrOk;
  if (answers_.empty()) {
    unexpected_.push_back(request);
    return mrCancel;
  }
  const TModalResult answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void HeadlessBackend::Beep() {
  ++beeps_;
  log_.push_back("beep");
}

void HeadlessBackend::Halt(int exitCode) {
  haltCode_ = exitCode;
  log_.push_back("halt " + std::to_string(exitCode));
  throw ProgramHalt{exitCode};
}

}  // namespace qvr
