// What assistive technology (a screen reader, a magnifier) learns of a control that has
// no window of its own: the window system describes windows by itself, but knows
// nothing of what a form draws on its own surface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/Types.h"

namespace qvr {

enum class AccessibleRole : std::uint8_t { ProgressBar };

struct AccessibleElement {
  AccessibleRole role = AccessibleRole::ProgressBar;
  std::string name;
  // What it shows, in words ("42 %" for a progress bar).
  std::string value;
  // In the form's client area.
  TBounds bounds;
  bool visible = true;
};

// Tells what an element is and shows at the moment it is asked.
using DescribeAccessible = std::function<AccessibleElement()>;

enum class AccessibleEvent : std::uint8_t { ValueChanged, Shown, Hidden };

}  // namespace qvr
