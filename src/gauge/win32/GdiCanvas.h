// The GDI backend of the drawing layer: each bitmap is a 32-bit top-down DIB section
// selected into its own memory device context, so GDI draws into it and the pixels can
// be read back directly. System colours come from GetSysColor.
//
// A host presents a control's buffer on a window with BlitTo (or BitBlt from Dc()).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "gauge/Canvas.h"
#include "platform/win32/GdiHandles.h"

namespace qvr {

class GdiGraphicsBackend : public Graphics {
 public:
  std::unique_ptr<Bitmap> CreateBitmap() override;
  TColor ColorToRgb(TColor color) const override;
};

Graphics& GdiGraphics();

class GdiBitmap : public Bitmap {
 public:
  // Raises Exception when the memory device context cannot be created.
  explicit GdiBitmap(const Graphics& graphics);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Raises Exception when the DIB section cannot be created.
  void SetSize(int width, int height) override;

  void FillRect(const TRect& rect, TColor color) override;
  void Line(int x0, int y0, int x1, int y1, TColor color) override;
  void Draw(int x, int y, const Bitmap& source) override;

  void SetFont(const TFont& font) override;
  const TFont& Font() const override { return font_; }
  TSize TextExtent(std::string_view text) override;
  void PrintText(int x, int y, std::string_view text) override;

  TColor Pixel(int x, int y) const override;
  void SetPixel(int x, int y, TColor color) override;

  HDC Dc() const { return dc_.Get(); }
  // Copies the whole bitmap onto another device context, e.g. a window's.
  void BlitTo(HDC target, int x, int y) const;

 private:
  std::uint32_t* Row(int y) const;

  const Graphics& graphics_;
  int width_ = 0;
  int height_ = 0;
  void* bits_ = nullptr;
  TFont font_;
  gdi::UniqueDc dc_;
  gdi::UniqueBitmap bitmap_;
  gdi::UniqueFont fontHandle_;
  // Declared after the objects they select, so they put the originals back first.
  gdi::ScopedSelection bitmapSelection_;
  gdi::ScopedSelection fontSelection_;
};

}  // namespace qvr
