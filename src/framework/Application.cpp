#include "framework/Application.h"

#include <cstdlib>
#include <exception>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Texts.h"

namespace qvr {

TApplication::TApplication(WindowBackend& backend) : backend_(backend) {}

void TApplication::Initialize() {
  backend_.Initialize(*this);
}

void TApplication::Run() {
  if (mainForm_ != nullptr && !terminated_) mainForm_->Show();
  backend_.RunMessageLoop(*this);
}

void TApplication::Terminate() {
  terminated_ = true;
  backend_.Terminating();
}

void TApplication::ProcessMessages() {
  backend_.ProcessMessages();
}

void TApplication::Halt(int exitCode) {
  backend_.Halt(exitCode);
  std::abort();  // not reached: backends never return from Halt
}

void TApplication::RegisterForm(TForm& form) {
  if (mainForm_ == nullptr) mainForm_ = &form;
}

void TApplication::UnregisterForm(TForm& form) {
  if (mainForm_ == &form) mainForm_ = nullptr;
}

void TApplication::ShowException(const std::string& message, const TCustomForm* owner) {
  backend_.ShowMessageDialog({Title, ErrorBoxText(message), DialogIcon::Error, {mbOK}, owner});
}

void TApplication::RunHandler(const std::function<void()>& handler, const TCustomForm* owner) {
  try {
    if (handler) handler();
  } catch (const ProgramHalt&) {
    throw;
  } catch (const std::exception& e) {
    ShowException(e.what(), owner);
  } catch (...) {
    ShowException(texts::kUnknownError, owner);
  }
}

std::string TitleFromExeName(const std::string& exeName) {
  const auto slash = exeName.find_last_of("\\/:");
  std::string name = slash == std::string::npos ? exeName : exeName.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace qvr
