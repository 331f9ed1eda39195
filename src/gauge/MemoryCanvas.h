// The portable backend of the drawing layer: bitmaps as plain 32-bit pixel buffers
// (one TColor in RGB form per pixel, rows from the top) and texts in a built-in 6x13
// Latin-1 bitmap font with a bold variant. It draws exactly as GDI does for the
// operations the controls use, so tests and previews run without Windows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "gauge/Canvas.h"

namespace qvr {

inline constexpr int kSystemColorCount = 31;
using SystemColorTable = std::array<TColor, kSystemColorCount>;

// The system colours of a freshly installed Windows with the standard theme.
const SystemColorTable& DefaultSystemColors();

class MemoryGraphicsBackend : public Graphics {
 public:
  explicit MemoryGraphicsBackend(const SystemColorTable& systemColors = DefaultSystemColors())
      : systemColors_(systemColors) {}

  std::unique_ptr<Bitmap> CreateBitmap() override;
  // An unknown system colour number resolves to black, as the platform does.
  TColor ColorToRgb(TColor color) const override;

 private:
  SystemColorTable systemColors_;
};

class MemoryBitmap : public Bitmap {
 public:
  explicit MemoryBitmap(const Graphics& graphics) : graphics_(graphics) {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetSize(int width, int height) override;

  void FillRect(const TRect& rect, TColor color) override;
  void Line(int x0, int y0, int x1, int y1, TColor color) override;
  void Draw(int x, int y, const Bitmap& source) override;

  void SetFont(const TFont& font) override { font_ = font; }
  const TFont& Font() const override { return font_; }
  TSize TextExtent(std::string_view text) override;
  void PrintText(int x, int y, std::string_view text) override;

  TColor Pixel(int x, int y) const override { return pixels_[Index(x, y)]; }
  void SetPixel(int x, int y, TColor color) override;

  // The pixels row by row from the top, each an RGB TColor.
  const std::vector<TColor>& Pixels() const { return pixels_; }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }
  void Plot(int x, int y, TColor rgb) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[Index(x, y)] = rgb;
  }
  int FontScale() const;

  const Graphics& graphics_;
  int width_ = 0;
  int height_ = 0;
  std::vector<TColor> pixels_;
  TFont font_;
};

}  // namespace qvr
