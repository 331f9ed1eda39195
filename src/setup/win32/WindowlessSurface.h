// Lets the windowless gradient progress bar draw on the form that hosts it: the
// bar's buffer is copied onto the form's device context at the bar's bounds.
#pragma once

#include "gauge/GradientProgressBar.h"

namespace qvr {

class TForm;

class WindowlessSurface : public ControlSurface {
 public:
  explicit WindowlessSurface(TForm& form) : form_(form) {}
  // Only while the form's window exists and is shown.
  bool CanDraw() const override;
  void Present(const Bitmap& buffer, int left, int top) override;

 private:
  TForm& form_;
};

}  // namespace qvr
