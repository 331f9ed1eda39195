// The drawing layer of the gradient progress bar: bitmaps with a canvas, and the
// backend that creates them. The control draws only through these few operations,
// so the same painting code runs on GDI (Windows) and on a portable memory backend.
//
// Types for the hosting window framework (colours: TColor and cl... of base/Colors.h,
// which the backend resolves with ColorToRgb):
//   FontSpec     name, height in pixels (negative: character height as in a form's
//                design, e.g. -11 for 8 point), bold and colour of a text font.
//   Bitmap       a picture of Width x Height pixels with its canvas operations. Every
//                rectangle excludes its right column and bottom row; every line excludes
//                its end point. Texts are UTF-8.
//   Graphics     a backend: creates bitmaps and resolves system colours. MemoryGraphics()
//                is portable; on Windows GdiGraphics() (win32/GdiCanvas.h) draws with GDI.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Colors.h"

namespace qvr {

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

struct TSize {
  int cx = 0;
  int cy = 0;
};

struct FontSpec {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  bool Bold = false;
  TColor Color = clWindowText;

  bool operator==(const FontSpec&) const = default;
};

class Bitmap {
 public:
  virtual ~Bitmap() = default;
  Bitmap() = default;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  // A new size leaves the content undefined; the same size keeps it. Negative sizes count as 0.
  virtual void SetSize(int width, int height) = 0;

  virtual void FillRect(const TRect& rect, TColor color) = 0;
  virtual void Line(int x0, int y0, int x1, int y1, TColor color) = 0;
  // Copies source with its top-left corner at (x, y); whatever falls outside is clipped.
  virtual void Draw(int x, int y, const Bitmap& source) = 0;

  virtual void SetFont(const FontSpec& font) = 0;
  virtual const FontSpec& Font() const = 0;
  virtual TSize TextExtent(std::string_view text) = 0;
  // Draws text in the canvas font with a transparent background.
  virtual void PrintText(int x, int y, std::string_view text) = 0;

  // The RGB colour (high byte 0) at (x, y), which must lie inside the bitmap.
  virtual TColor Pixel(int x, int y) const = 0;
  virtual void SetPixel(int x, int y, TColor color) = 0;
};

class Graphics {
 public:
  virtual ~Graphics() = default;
  virtual std::unique_ptr<Bitmap> CreateBitmap() = 0;
  // RGB colours pass with their high byte cleared; system colours are looked up.
  virtual TColor ColorToRgb(TColor color) const = 0;
};

// The portable backend with the default colours of a standard Windows installation.
Graphics& MemoryGraphics();

}  // namespace qvr
