// Small value types shared by the forms, the controls and the backends.
#pragma once

#include <cstdint>
#include <string>

#include "base/Colors.h"
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

// Every size of a form's design is given for this density; a form and its controls
// are scaled from it to the density of the display they are shown on.
inline constexpr int kDesignPixelsPerInch = 96;

// Bounds scaled by numerator / denominator, each value with MulDiv.
inline TBounds ScaleBounds(const TBounds& b, int numerator, int denominator) {
  return {MulDiv(b.Left, numerator, denominator), MulDiv(b.Top, numerator, denominator),
          MulDiv(b.Width, numerator, denominator), MulDiv(b.Height, numerator, denominator)};
}

// A font by face name; Height is negative for a character height in pixels.
struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  bool Bold = false;
  TColor Color = clWindowText;
  friend bool operator==(const TFont&, const TFont&) = default;
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
