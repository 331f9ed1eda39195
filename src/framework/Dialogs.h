// The standard message dialog: the kind chooses caption and icon, the buttons come
// from a set, the answer is the button pressed. Escape and the close box answer
// mrCancel. A lone carriage return separates lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Component.h"
#include "framework/Types.h"

namespace qvr {

class TForm;

enum TMsgDlgType : std::uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : std::uint8_t { mbYes, mbNo, mbOK, mbCancel };
enum class DialogIcon : std::uint8_t { None, Warning, Error, Information, Question };

// One box as the backend shows it; buttons in the order they appear.
struct MessageDialogRequest {
  std::string caption;
  std::string text;
  DialogIcon icon = DialogIcon::None;
  std::vector<TMsgDlgBtn> buttons;
  // The form that asks: the box stays above it, whichever program is active.
  // Null when no form asks (an error before any window exists).
  const TCustomForm* owner = nullptr;
};

// "&Ja", "&Nein", "OK", "Abbrechen".
const char* ButtonText(TMsgDlgBtn button);
TModalResult ButtonResult(TMsgDlgBtn button);

// The caption of a kind; the application's title for mtCustom.
std::string DialogCaption(TMsgDlgType type, const std::string& title);
DialogIcon DialogIconOf(TMsgDlgType type);

// Shows a box owned by `owner`, the form that asks, through its application's
// backend; buttons appear in the standard order (yes, no, OK, cancel) whatever
// order `buttons` lists them in.
TModalResult MessageDlg(const TForm& owner, const std::string& text, TMsgDlgType type,
                        const std::vector<TMsgDlgBtn>& buttons);

// The text of the error box: a full stop is appended when the last character has a
// higher code than the full stop, so "failed" ends with "." and "failed!" does not.
std::string ErrorBoxText(const std::string& message);

}  // namespace qvr
