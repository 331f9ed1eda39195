// The drawing layer of the gradient progress bar: bitmaps with a canvas, and the
// backend that creates them. The control draws only through these few operations,
// so the same painting code runs on GDI (Windows) and on a portable memory backend.
//
// Types for the hosting window framework:
//   TColor       a 32-bit colour: 0x00BBGGRR is RGB (red in the low byte), 0xFF0000nn is
//                system colour number nn, which the backend resolves (ColorToRgb).
//   cl...        the named colours and system colours used by the controls.
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

namespace qvr {

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clMaroon = 0x00000080;
inline constexpr TColor clGreen = 0x00008000;
inline constexpr TColor clOlive = 0x00008080;
inline constexpr TColor clNavy = 0x00800000;
inline constexpr TColor clPurple = 0x00800080;
inline constexpr TColor clTeal = 0x00808000;
inline constexpr TColor clGray = 0x00808080;
inline constexpr TColor clSilver = 0x00C0C0C0;
inline constexpr TColor clRed = 0x000000FF;
inline constexpr TColor clLime = 0x0000FF00;
inline constexpr TColor clYellow = 0x0000FFFF;
inline constexpr TColor clBlue = 0x00FF0000;
inline constexpr TColor clFuchsia = 0x00FF00FF;
inline constexpr TColor clAqua = 0x00FFFF00;
inline constexpr TColor clWhite = 0x00FFFFFF;

inline constexpr TColor kSystemColorFlag = 0xFF000000;
inline constexpr TColor clScrollBar = 0xFF000000;
inline constexpr TColor clBackground = 0xFF000001;
inline constexpr TColor clActiveCaption = 0xFF000002;
inline constexpr TColor clInactiveCaption = 0xFF000003;
inline constexpr TColor clMenu = 0xFF000004;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowFrame = 0xFF000006;
inline constexpr TColor clMenuText = 0xFF000007;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clCaptionText = 0xFF000009;
inline constexpr TColor clActiveBorder = 0xFF00000A;
inline constexpr TColor clInactiveBorder = 0xFF00000B;
inline constexpr TColor clAppWorkSpace = 0xFF00000C;
inline constexpr TColor clHighlight = 0xFF00000D;
inline constexpr TColor clHighlightText = 0xFF00000E;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clBtnShadow = 0xFF000010;
inline constexpr TColor clGrayText = 0xFF000011;
inline constexpr TColor clBtnText = 0xFF000012;
inline constexpr TColor clInactiveCaptionText = 0xFF000013;
inline constexpr TColor clBtnHighlight = 0xFF000014;
inline constexpr TColor cl3DDkShadow = 0xFF000015;
inline constexpr TColor cl3DLight = 0xFF000016;
inline constexpr TColor clInfoText = 0xFF000017;
inline constexpr TColor clInfoBk = 0xFF000018;

inline constexpr bool IsSystemColor(TColor color) {
  return (color & 0xFF000000) == kSystemColorFlag;
}
inline constexpr TColor MakeRgb(int red, int green, int blue) {
  return static_cast<TColor>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
inline constexpr int RedOf(TColor color) {
  return color & 0xFF;
}
inline constexpr int GreenOf(TColor color) {
  return (color >> 8) & 0xFF;
}
inline constexpr int BlueOf(TColor color) {
  return (color >> 16) & 0xFF;
}

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
