// The top-level window of a form.
#pragma once

#include <windows.h>

#include "framework/Backend.h"
#include "framework/win32/Win32Accessible.h"
#include "framework/win32/WinHandles.h"

namespace qvr {

class Win32FormPeer : public FormPeer, private AccessibleSource {
 public:
  // Raises Exception when the window cannot be created.
  explicit Win32FormPeer(TForm& form);

  void Changed(ControlChange what) override;
  NativeWindow Handle() const override { return window_.Get(); }
  TBounds OuterBounds() const override;
  void Invalidate(const TBounds& area) override;
  void AccessibleElementChanged(std::size_t element, AccessibleEvent event) override;

  static void RegisterWindowClass();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void PlaceForFirstShow();
  // Sizes the window so that its client area is the form's ClientWidth x ClientHeight.
  void FitClientSize();
  void DpiChanged(int dpi, const RECT& suggested);

  bool IsDecoration(HWND child) const override;
  const std::vector<DescribeAccessible>& Elements() const override;
  std::size_t ChildWindowCount() const override;

  TForm& form_;
  // Outlives the window, which may be asked for it until it is destroyed.
  AccessibleClientArea accessible_{*this};
  UniqueWindow window_;
  bool shownOnce_ = false;
  // The control that had the keyboard when the form was last deactivated.
  HWND lastFocus_ = nullptr;
};

}  // namespace qvr
