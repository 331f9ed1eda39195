// One pixel size of a design that follows the display density: forms, controls and
// windowless controls keep one per size they scale.
#pragma once

#include "base/MulDiv.h"

namespace qvr {

// Every size of a form's design is given for this density; a form and its controls
// are scaled from it to the density of the display they are shown on.
inline constexpr int kDesignPixelsPerInch = 96;

// The pixels at a density are always scaled from the size as it was given, with the
// density it was given at, never from an earlier scaling: any chain of density
// changes then ends on the pixels of a start at the last density.
class DensitySize {
 public:
  // `pixels` is the size now, at density `from`; returns it at density `to`. A size
  // other than the one last returned was given anew, at `from`.
  int Rescale(int pixels, int from, int to) {
    if (pixels != shown_) {
      given_ = pixels;
      givenAt_ = from;
    }
    shown_ = MulDiv(given_, to, givenAt_);
    return shown_;
  }

 private:
  int given_ = 0;
  int givenAt_ = kDesignPixelsPerInch;
  int shown_ = 0;
};

}  // namespace qvr
