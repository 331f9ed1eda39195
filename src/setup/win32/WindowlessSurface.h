// Lets the windowless gradient progress bar draw on the form that hosts it: the
// bar's buffer is copied onto the form's device context at the bar's bounds. To
// assistive technology the bar is a progress bar of the form, with its value in
// percent, as the system's own progress control is.
#pragma once

#include <cstddef>
#include <string>

#include "gauge/GradientProgressBar.h"

namespace qvr {

class TForm;

class WindowlessSurface : public ControlSurface {
 public:
  // A screen reader names the bar `name`; the surface still has to be given to the
  // gauge (SetSurface).
  WindowlessSurface(TForm& form, const TGradientProgressBar& gauge, std::string name);
  ~WindowlessSurface() override;
  WindowlessSurface(const WindowlessSurface&) = delete;
  WindowlessSurface& operator=(const WindowlessSurface&) = delete;

  // Only while the form's window exists and is shown.
  bool CanDraw() const override;
  void Present(const Bitmap& buffer, int left, int top) override;
  void Changed(GaugeChange change) override;

 private:
  TForm& form_;
  std::size_t element_;
};

}  // namespace qvr
