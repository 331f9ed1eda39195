#include "setup/win32/WindowlessSurface.h"

#include <windows.h>

#include <string>
#include <utility>

#include "framework/Forms.h"
#include "framework/win32/WinHandles.h"
#include "gauge/win32/GdiCanvas.h"

namespace qvr {
namespace {

AccessibleEvent EventOf(GaugeChange change) {
  switch (change) {
    case GaugeChange::PercentDone:
      return AccessibleEvent::ValueChanged;
    case GaugeChange::Shown:
      return AccessibleEvent::Shown;
    case GaugeChange::Hidden:
      return AccessibleEvent::Hidden;
  }
  return AccessibleEvent::ValueChanged;
}

}  // namespace

WindowlessSurface::WindowlessSurface(TForm& form, const TGradientProgressBar& gauge,
                                     std::string name)
    : form_(form), element_(form.AddAccessibleElement([&gauge, name = std::move(name)] {
        // "42 %": the percentage as a German text writes it.
        return AccessibleElement{AccessibleRole::ProgressBar,
                                 name,
                                 std::to_string(gauge.PercentDone()) + " %",
                                 {gauge.Left, gauge.Top, gauge.Width(), gauge.Height()},
                                 gauge.Visible()};
      })) {}

WindowlessSurface::~WindowlessSurface() {
  form_.RemoveAccessibleElement(element_);
}

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

void WindowlessSurface::Changed(GaugeChange change) {
  form_.AccessibleElementChanged(element_, EventOf(change));
}

}  // namespace qvr
