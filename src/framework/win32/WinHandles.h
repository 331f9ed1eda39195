// Move-only owners of the window system's handles that the framework holds:
// windows, a window's device context and a paint cycle. Memory device contexts and
// GDI objects have their owners in platform/win32/GdiHandles.h.
#pragma once

#include <windows.h>

#include <utility>

#include "platform/win32/UniqueHandle.h"

namespace qvr {

struct WindowTraits {
  static HWND Invalid() noexcept { return nullptr; }
  // A child window is gone already when its parent was destroyed first.
  static void Close(HWND window) noexcept {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
using UniqueWindow = UniqueHandle<WindowTraits>;

// GetDC / ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint / EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
  ~PaintScope() { EndPaint(window_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

}  // namespace qvr
