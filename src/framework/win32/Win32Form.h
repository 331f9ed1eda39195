// The top-level window of a form.
#pragma once

#include <windows.h>

#include "framework/Backend.h"
#include "framework/win32/WinHandles.h"

namespace qvr {

class Win32FormPeer : public FormPeer {
 public:
  // Raises Exception when the window cannot be created.
  explicit Win32FormPeer(TForm& form);

  void Changed(ControlChange what) override;
  NativeWindow Handle() const override { return window_.Get(); }
  TBounds OuterBounds() const override;
  void Invalidate(const TBounds& area) override;

  static void RegisterWindowClass();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void PlaceForFirstShow();
  // Sizes the window so that its client area is the form's ClientWidth x ClientHeight.
  void FitClientSize();
  void DpiChanged(int dpi, const RECT& suggested);

  TForm& form_;
  UniqueWindow window_;
  bool shownOnce_ = false;
  // The control that had the keyboard when the form was last deactivated.
  HWND lastFocus_ = nullptr;
};

}  // namespace qvr
