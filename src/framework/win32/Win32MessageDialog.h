// The standard message dialog as a real window: a STATIC text, an optional system
// icon and BUTTON children with the German texts, so that keyboard mnemonics
// (Alt+J, Alt+N) and tools that look for the buttons by their texts work on every
// system language.
#pragma once

#include <windows.h>

#include "framework/Dialogs.h"

namespace qvr {

// Shows the box centred on the screen, owned by the request's form and brought to
// the front, disables the program's other windows while it is up and returns the
// button pressed; Escape and the close box give mrCancel.
TModalResult ShowWin32MessageDialog(const MessageDialogRequest& request);

void RegisterMessageDialogClass();

}  // namespace qvr
