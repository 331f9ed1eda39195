// Small value types shared by the forms, the controls and the backends.
#pragma once

#include <cstdint>
#include <string>

#include "base/Colors.h"
#include "base/DensitySize.h"
#include "base/Font.h"
#include "base/MulDiv.h"

namespace qvr {

// Bounds in the parent's client area (outer bounds on the screen for a form).
struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TBounds&, const TBounds&) = default;
};

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

// The answer of a modal form or message dialog; the values are the Windows dialog IDs.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

}  // namespace qvr
