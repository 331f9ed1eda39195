// Helpers shared by the Win32 forms, controls and message dialog.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Types.h"
#include "platform/win32/GdiHandles.h"

namespace qvr {

class TApplication;
class TControl;

HINSTANCE ProgramInstance();

// The RGB value of a colour; system colours come from GetSysColor.
COLORREF ResolveColor(TColor color);
HBRUSH SystemBrush(TColor color);

// Text for a window: UTF-16, and a lone CR, which separates lines in our texts,
// as CR LF, the only line break that STATIC and EDIT windows know.
std::wstring WindowText(const std::string& text);

// A font by face name and pixel height, as a form's design gives it.
gdi::UniqueFont MakeFont(const TFont& font);

// The control that owns a child window, or null for a window of another kind.
TControl* ControlOf(HWND window);
void SetControlOf(HWND window, TControl* control);

// The messages a window with child controls handles for them: button clicks and the
// colours of labels and read-only text. True when the message was handled.
bool HandleChildMessage(UINT message, WPARAM wParam, LPARAM lParam, HBRUSH background,
                        LRESULT& result);

// Enables or disables every other visible top-level window of this thread for the
// life of the object, as a modal window needs.
class ModalOwnerLock {
 public:
  explicit ModalOwnerLock(HWND modal);
  ~ModalOwnerLock();
  ModalOwnerLock(const ModalOwnerLock&) = delete;
  ModalOwnerLock& operator=(const ModalOwnerLock&) = delete;

 private:
  static BOOL CALLBACK Collect(HWND window, LPARAM self);
  HWND modal_;
  std::vector<HWND> disabled_;
};

}  // namespace qvr
