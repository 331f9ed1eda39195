#include "framework/Dialogs.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Texts.h"

namespace qvr {

const char* ButtonText(TMsgDlgBtn button) {
  switch (button) {
    case mbYes:
      return texts::kButtonYes;
    case mbNo:
      return texts::kButtonNo;
    case mbOK:
      return texts::kButtonOk;
    case mbCancel:
      return texts::kButtonCancel;
  }
  return "";
}

TModalResult ButtonResult(TMsgDlgBtn button) {
  switch (button) {
    case mbYes:
      return mrYes;
    case mbNo:
      return mrNo;
    case mbOK:
      return mrOk;
    case mbCancel:
      return mrCancel;
  }
  return mrNone;
}

std::string DialogCaption(TMsgDlgType type, const std::string& title) {
  switch (type) {
    case mtWarning:
      return texts::kCaptionWarning;
    case mtError:
      return texts::kCaptionError;
    case mtInformation:
      return texts::kCaptionInformation;
    case mtConfirmation:
      return texts::kCaptionConfirmation;
    case mtCustom:
      return title;
  }
  return title;
}

DialogIcon DialogIconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning:
      return DialogIcon::Warning;
    case mtError:
      return DialogIcon::Error;
    case mtInformation:
      return DialogIcon::Information;
    case mtConfirmation:
      return DialogIcon::Question;
    case mtCustom:
      return DialogIcon::None;
  }
  return DialogIcon::None;
}

TModalResult MessageDlg(const TForm& owner, const std::string& text, TMsgDlgType type,
                        const std::vector<TMsgDlgBtn>& buttons) {
  TApplication& app = owner.Application();
  MessageDialogRequest request{
      DialogCaption(type, app.Title), text, DialogIconOf(type), {}, &owner};
  for (TMsgDlgBtn b : {mbYes, mbNo, mbOK, mbCancel}) {
    if (std::find(buttons.begin(), buttons.end(), b) != buttons.end()) {
      request.buttons.push_back(b);
    }
  }
  return app.Backend().ShowMessageDialog(request);
}

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace qvr
