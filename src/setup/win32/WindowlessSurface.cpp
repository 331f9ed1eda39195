#include "setup/win32/WindowlessSurface.h"

#include <windows.h>

#include "framework/Forms.h"
#include "framework/win32/WinHandles.h"
#include "gauge/win32/GdiCanvas.h"

namespace qvr {

bool WindowlessSurface::CanDraw() const {
  const auto window = static_cast<HWND>(form_.WindowHandle());
  return window != nullptr && IsWindowVisible(window);
}

void WindowlessSurface::Present(const Bitmap& buffer, int left, int top) {
  const auto window = static_cast<HWND>(form_.WindowHandle());
  if (window == nullptr) return;
  WindowDc dc(window);
  if (const auto* gdi = dynamic_cast<const GdiBitmap*>(&buffer)) {
    gdi->BlitTo(dc.Get(), left, top);
    return;
  }
  // A bitmap of another drawing backend is copied into a GDI one first.
  GdiBitmap copy(GdiGraphics());
  copy.SetSize(buffer.Width(), buffer.Height());
  copy.Draw(0, 0, buffer);
  copy.BlitTo(dc.Get(), left, top);
}

}  // namespace qvr
