#include "gauge/MemoryCanvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/Text.h"

namespace qvr {
namespace {

#include "gauge/FixedFont.inc"

constexpr int kGlyphWidth = 6;
constexpr int kGlyphHeight = 13;
// The character height (without internal leading) the built-in font is drawn for.
constexpr int kGlyphEm = 11;

}  // namespace

const SystemColorTable& DefaultSystemColors() {
  static const SystemColorTable table = {
      MakeRgb(200, 200, 200),  // scroll bar
      MakeRgb(0, 0, 0),        // desktop
      MakeRgb(153, 180, 209),  // active caption
      MakeRgb(191, 205, 219),  // inactive caption
      MakeRgb(240, 240, 240),  // menu
      MakeRgb(255, 255, 255),  // window
      MakeRgb(100, 100, 100),  // window frame
      MakeRgb(0, 0, 0),        // menu text
      MakeRgb(0, 0, 0),        // window text
      MakeRgb(0, 0, 0),        // caption text
      MakeRgb(180, 180, 180),  // active border
      MakeRgb(244, 247, 252),  // inactive border
      MakeRgb(171, 171, 171),  // application workspace
      MakeRgb(51, 153, 255),   // highlight
      MakeRgb(255, 255, 255),  // highlight text
      MakeRgb(240, 240, 240),  // button face
      MakeRgb(160, 160, 160),  // button shadow
      MakeRgb(109, 109, 109),  // grey text
      MakeRgb(0, 0, 0),        // button text
      MakeRgb(67, 78, 84),     // inactive caption text
      MakeRgb(255, 255, 255),  // button highlight
      MakeRgb(105, 105, 105),  // 3-D dark shadow
      MakeRgb(227, 227, 227),  // 3-D light
      MakeRgb(0, 0, 0),        // tooltip text
      MakeRgb(255, 255, 225),  // tooltip background
      MakeRgb(0, 0, 0),        // unused
      MakeRgb(0, 102, 204),    // hot-tracked item
      MakeRgb(185, 209, 234),  // active caption gradient
      MakeRgb(215, 228, 242),  // inactive caption gradient
      MakeRgb(51, 153, 255),   // menu highlight
      MakeRgb(240, 240, 240),  // menu bar
  };
  return table;
}

Graphics& MemoryGraphics() {
  static MemoryGraphicsBackend backend;
  return backend;
}

std::unique_ptr<Bitmap> MemoryGraphicsBackend::CreateBitmap() {
  return std::make_unique<MemoryBitmap>(*this);
}

TColor MemoryGraphicsBackend::ColorToRgb(TColor color) const {
  if (!IsSystemColor(color)) return color & 0x00FFFFFF;
  const TColor index = color & 0x00FFFFFF;
  return index < systemColors_.size() ? systemColors_[index] : clBlack;
}

void MemoryBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), clBlack);
}

void MemoryBitmap::FillRect(const TRect& rect, TColor color) {
  const int left = std::max(rect.Left, 0);
  const int top = std::max(rect.Top, 0);
  const int right = std::min(rect.Right, width_);
  const int bottom = std::min(rect.Bottom, height_);
  if (left >= right || top >= bottom) return;
  const TColor rgb = graphics_.ColorToRgb(color);
  for (int y = top; y < bottom; ++y) {
    std::fill_n(pixels_.data() + Index(left, y), right - left, rgb);
  }
}

void MemoryBitmap::Line(int x0, int y0, int x1, int y1, TColor color) {
  // An axis-parallel line is a one-pixel rectangle. The end point is excluded: x1 itself
  // for a rightward line, so the rectangle starts at x1 + 1 for a leftward one.
  if (y0 == y1) {
    if (x0 != x1) {
      FillRect(x1 > x0 ? TRect{x0, y0, x1, y0 + 1} : TRect{x1 + 1, y0, x0 + 1, y0 + 1}, color);
    }
    return;
  }
  if (x0 == x1) {
    FillRect(y1 > y0 ? TRect{x0, y0, x0 + 1, y1} : TRect{x0, y1 + 1, x0 + 1, y0 + 1}, color);
    return;
  }
  const TColor rgb = graphics_.ColorToRgb(color);
  // Slanted lines are not needed by the controls; a plain Bresenham line serves.
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  int x = x0;
  int y = y0;
  while (x != x1 || y != y1) {
    Plot(x, y, rgb);
    const int doubled = 2 * error;
    if (doubled >= dy) {
      error += dy;
      x += sx;
    }
    if (doubled <= dx) {
      error += dx;
      y += sy;
    }
  }
}

void MemoryBitmap::Draw(int x, int y, const Bitmap& source) {
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min(x + source.Width(), width_);
  const int bottom = std::min(y + source.Height(), height_);
  if (left >= right || top >= bottom) return;
  if (const auto* memory = dynamic_cast<const MemoryBitmap*>(&source)) {
    if (left == 0 && top == 0 && x == 0 && y == 0 && memory->width_ == width_ &&
        memory->height_ == height_) {
      pixels_ = memory->pixels_;
      return;
    }
    for (int row = top; row < bottom; ++row) {
      std::memcpy(&pixels_[Index(left, row)], &memory->pixels_[memory->Index(left - x, row - y)],
                  static_cast<std::size_t>(right - left) * sizeof(TColor));
    }
    return;
  }
  for (int row = top; row < bottom; ++row) {
    for (int column = left; column < right; ++column) {
      pixels_[Index(column, row)] = source.Pixel(column - x, row - y);
    }
  }
}

void MemoryBitmap::SetPixel(int x, int y, TColor color) {
  Plot(x, y, graphics_.ColorToRgb(color));
}

int MemoryBitmap::FontScale() const {
  const int em = font_.Height < 0 ? -font_.Height : font_.Height * kGlyphEm / kGlyphHeight;
  return std::max(1, (em + kGlyphEm / 2) / kGlyphEm);
}

TSize MemoryBitmap::TextExtent(std::string_view text) {
  const int scale = FontScale();
  const auto count = static_cast<int>(CharacterCount(text));
  return {count * kGlyphWidth * scale, kGlyphHeight * scale};
}

void MemoryBitmap::PrintText(int x, int y, std::string_view text) {
  const int scale = FontScale();
  const TColor rgb = graphics_.ColorToRgb(font_.Color);
  const auto& glyphs = font_.Bold ? kFixedFontBold : kFixedFontRegular;
  int originX = x;
  for (const char32_t code : DecodeUtf8(text)) {
    const auto& glyph = glyphs[code < 256 ? code : U'?'];
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int column = 0; column < kGlyphWidth; ++column) {
        if ((glyph[row] & (0x80 >> column)) == 0) continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) {
            Plot(originX + column * scale + dx, y + row * scale + dy, rgb);
          }
        }
      }
    }
    originX += kGlyphWidth * scale;
  }
}

}  // namespace qvr
