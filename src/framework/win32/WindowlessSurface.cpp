#include "framework/win32/WindowlessSurface.h"

#include <windows.h>

#include <vector>

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
  // A bitmap of another drawing backend: through a top-down 32-bit DIB.
  const int w = buffer.Width();
  const int h = buffer.Height();
  if (w <= 0 || h <= 0) return;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const TColor c = buffer.Pixel(x, y);
      pixels[static_cast<std::size_t>(y) * w + x] =
          (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    }
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc.Get(), left, top, w, h, 0, 0, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
}

}  // namespace qvr
