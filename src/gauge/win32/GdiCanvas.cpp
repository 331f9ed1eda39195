#include "gauge/win32/GdiCanvas.h"

#include <algorithm>
#include <string>

#include "base/Exceptions.h"
#include "gauge/MemoryCanvas.h"
#include "platform/win32/Gdi.h"
#include "platform/win32/SystemErrors.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace {

// A DIB section's 32-bit pixel holds blue in its low byte, the reverse of an RGB TColor.
std::uint32_t ToDibPixel(TColor rgb) {
  return static_cast<std::uint32_t>((RedOf(rgb) << 16) | (GreenOf(rgb) << 8) | BlueOf(rgb));
}

std::string LastErrorText(const char* call) {
  return std::string(call) + " failed: " + SystemErrorText(GetLastError());
}

}  // namespace

std::unique_ptr<Bitmap> GdiGraphicsBackend::CreateBitmap() {
  return std::make_unique<GdiBitmap>(*this);
}

TColor GdiGraphicsBackend::ColorToRgb(TColor color) const {
  return gdi::ColorRef(color);
}

Graphics& GdiGraphics() {
  static GdiGraphicsBackend backend;
  return backend;
}

GdiBitmap::GdiBitmap(const Graphics& graphics)
    : graphics_(graphics), dc_(CreateCompatibleDC(nullptr)) {
  if (dc_.Get() == nullptr) throw Exception(LastErrorText("CreateCompatibleDC"));
  SetFont(font_);
}

void GdiBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  bitmapSelection_ = gdi::ScopedSelection();
  bitmap_ = gdi::UniqueBitmap();
  bits_ = nullptr;
  width_ = 0;
  height_ = 0;
  if (width == 0 || height == 0) {
    width_ = width;
    height_ = height;
    return;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  gdi::UniqueBitmap bitmap(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) throw Exception(LastErrorText("CreateDIBSection"));
  bitmap_ = std::move(bitmap);
  bits_ = bits;
  width_ = width;
  height_ = height;
  bitmapSelection_ = gdi::ScopedSelection(dc_.Get(), bitmap_.Get());
}

void GdiBitmap::FillRect(const TRect& rect, TColor color) {
  // A reversed rectangle would be mirrored by GDI instead of left empty.
  if (Empty() || rect.Left >= rect.Right || rect.Top >= rect.Bottom) return;
  gdi::UniqueBrush brush(CreateSolidBrush(graphics_.ColorToRgb(color)));
  if (!brush) return;
  const RECT area{rect.Left, rect.Top, rect.Right, rect.Bottom};
  ::FillRect(dc_.Get(), &area, brush.Get());
}

void GdiBitmap::Line(int x0, int y0, int x1, int y1, TColor color) {
  if (Empty()) return;
  gdi::UniquePen pen(CreatePen(PS_SOLID, 1, graphics_.ColorToRgb(color)));
  if (!pen) return;
  gdi::ScopedSelection selection(dc_.Get(), pen.Get());
  MoveToEx(dc_.Get(), x0, y0, nullptr);
  LineTo(dc_.Get(), x1, y1);
}

void GdiBitmap::Draw(int x, int y, const Bitmap& source) {
  if (Empty() || source.Empty()) return;
  if (const auto* gdiSource = dynamic_cast<const GdiBitmap*>(&source)) {
    BitBlt(dc_.Get(), x, y, gdiSource->width_, gdiSource->height_, gdiSource->dc_.Get(), 0, 0,
           SRCCOPY);
    return;
  }
  GdiFlush();
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min(x + source.Width(), width_);
  const int bottom = std::min(y + source.Height(), height_);
  for (int row = top; row < bottom; ++row) {
    std::uint32_t* line = Row(row);
    for (int column = left; column < right; ++column) {
      line[column] = ToDibPixel(source.Pixel(column - x, row - y));
    }
  }
}

void GdiBitmap::SetFont(const FontSpec& font) {
  gdi::UniqueFont handle = gdi::CreatePixelFont(font.Name, font.Height, font.Bold);
  if (!handle) throw Exception(LastErrorText("CreateFontW"));
  fontSelection_ = gdi::ScopedSelection();
  fontHandle_ = std::move(handle);
  fontSelection_ = gdi::ScopedSelection(dc_.Get(), fontHandle_.Get());
  font_ = font;
}

TSize GdiBitmap::TextExtent(std::string_view text) {
  const std::wstring wide = Utf8ToWide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc_.Get(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return {size.cx, size.cy};
}

void GdiBitmap::PrintText(int x, int y, std::string_view text) {
  if (Empty()) return;
  const std::wstring wide = Utf8ToWide(text);
  SetBkMode(dc_.Get(), TRANSPARENT);
  SetTextColor(dc_.Get(), graphics_.ColorToRgb(font_.Color));
  TextOutW(dc_.Get(), x, y, wide.c_str(), static_cast<int>(wide.size()));
}

std::uint32_t* GdiBitmap::Row(int y) const {
  return static_cast<std::uint32_t*>(bits_) + static_cast<std::size_t>(y) * width_;
}

TColor GdiBitmap::Pixel(int x, int y) const {
  GdiFlush();
  const std::uint32_t value = Row(y)[x];
  return MakeRgb(static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                 static_cast<int>(value & 0xFF));
}

void GdiBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  GdiFlush();
  Row(y)[x] = ToDibPixel(graphics_.ColorToRgb(color));
}

void GdiBitmap::BlitTo(HDC target, int x, int y) const {
  if (Empty()) return;
  BitBlt(target, x, y, width_, height_, dc_.Get(), 0, 0, SRCCOPY);
}

}  // namespace qvr
