// A font as a form's design or the gauge gives it, for the framework and the gauge alike.
#pragma once

#include <string>

#include "base/Colors.h"

namespace qvr {

// A font by face name and height in pixels (negative: the character height, e.g. -11
// for 8 point), bold or not, with its text colour.
struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  bool Bold = false;
  TColor Color = clWindowText;
  friend bool operator==(const TFont&, const TFont&) = default;
};

}  // namespace qvr
