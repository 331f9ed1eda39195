// The native windows of the standard controls: BUTTON, STATIC and EDIT of the
// system, and two small classes of our own for the panel and the stretched picture.
#pragma once

#include <windows.h>

#include "framework/Backend.h"
#include "framework/win32/WinHandles.h"
#include "platform/win32/GdiHandles.h"

namespace qvr {

class Win32ControlPeer : public ControlPeer {
 public:
  // Raises Exception when the window cannot be created.
  explicit Win32ControlPeer(TControl& control);

  void Changed(ControlChange what) override;
  NativeWindow Handle() const override { return window_.Get(); }

  // The picture of an image control; null for others or a missing resource.
  HBITMAP Picture() const { return picture_.Get(); }

  static void RegisterClasses();

 private:
  // An auto-sized label takes the size of its text.
  void FitToText();

  TControl& control_;
  // Declared before the window so that the window, which draws with them, goes first.
  gdi::UniqueFont font_;
  gdi::UniqueBitmap picture_;
  UniqueWindow window_;
};

}  // namespace qvr
