#include "gauge/GradientProgressBar.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Exceptions.h"

namespace qvr {

double RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  if (fraction > 0.5) return lower + 1;
  if (fraction < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

TGradientProgressBar::TGradientProgressBar(TComponent* owner, Graphics& graphics)
    : TComponent(owner),
      graphics_(graphics),
      buffer_(graphics.CreateBitmap()),
      barBitmap_(graphics.CreateBitmap()),
      barImage_(graphics.CreateBitmap()) {
  buffer_->SetFont(font_);
}

TGradientProgressBar::~TGradientProgressBar() = default;

void TGradientProgressBar::SetBounds(int left, int top, int width, int height) {
  Left = left;
  Top = top;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  Paint();
}

void TGradientProgressBar::SetVisible(bool visible) {
  const bool changed = visible != visible_;
  visible_ = visible;
  if (visible) Paint();
  if (changed && surface_ != nullptr) {
    surface_->Changed(visible ? GaugeChange::Shown : GaugeChange::Hidden);
  }
}

void TGradientProgressBar::SetFont(const TFont& font) {
  font_ = font;
  buffer_->SetFont(font);
  Paint();
}

void TGradientProgressBar::ScaleForDpi(int from, int to) {
  font_.Height = givenFontHeight_.Rescale(font_.Height, from, to);
  buffer_->SetFont(font_);
  SetBounds(givenLeft_.Rescale(Left, from, to), givenTop_.Rescale(Top, from, to),
            givenWidth_.Rescale(width_, from, to), givenHeight_.Rescale(height_, from, to));
}

void TGradientProgressBar::SetBackgroundColor(TColor value) {
  backgroundColor_ = value;
  Paint();
}

void TGradientProgressBar::SetBarBitmap(const Bitmap& picture) {
  if (&picture != barBitmap_.get()) {
    barBitmap_->SetSize(picture.Width(), picture.Height());
    barBitmap_->Draw(0, 0, picture);
  }
  Paint();
}

void TGradientProgressBar::SetBarColor1(TColor value) {
  barColor1_ = value;
  Paint();
}

void TGradientProgressBar::SetBarColor2(TColor value) {
  barColor2_ = value;
  Paint();
}

void TGradientProgressBar::SetBarColor3(TColor value) {
  barColor3_ = value;
  Paint();
}

void TGradientProgressBar::SetBarColorStyle(TBarColorStyle value) {
  barColorStyle_ = value;
  Paint();
}

void TGradientProgressBar::SetBorderColor1(TColor value) {
  borderColor1_ = value;
  Paint();
}

void TGradientProgressBar::SetBorderColor2(TColor value) {
  borderColor2_ = value;
  Paint();
}

void TGradientProgressBar::SetDirection(TProgressDirection value) {
  direction_ = value;
  Paint();
}

void TGradientProgressBar::SetMax(std::int32_t value) {
  max_ = value;
  Paint();
  NotePercentDone();
}

void TGradientProgressBar::SetMin(std::int32_t value) {
  min_ = value;
  Paint();
  NotePercentDone();
}

void TGradientProgressBar::SetPercentage(bool value) {
  percentage_ = value;
  Paint();
}

void TGradientProgressBar::SetPosition(std::int32_t value) {
  if (value == position_ || value > max_ || value < min_) return;
  position_ = value;
  // Progress reports arrive in quick succession: they reuse the cached bar picture.
  struct RebuildRestorer {
    bool& flag;
    ~RebuildRestorer() { flag = true; }
  } restorer{rebuildBarImage_};
  rebuildBarImage_ = false;
  Paint();
  NotePercentDone();
}

void TGradientProgressBar::SetPosTextPrefix(const std::string& value) {
  posTextPrefix_ = value;
  Paint();
}

void TGradientProgressBar::SetPosTextSuffix(const std::string& value) {
  posTextSuffix_ = value;
  Paint();
}

void TGradientProgressBar::SetShowBorder(bool value) {
  showBorder_ = value;
  Paint();
}

void TGradientProgressBar::SetShowPosText(bool value) {
  showPosText_ = value;
  Paint();
}

void TGradientProgressBar::Paint() {
  buffer_->SetSize(width_, height_);
  if (!loading_) DrawBar(rebuildBarImage_);
  if (showBorder_) DrawBorder();
  if (showPosText_) DrawPosText();
  if (visible_ && surface_ != nullptr && surface_->CanDraw()) {
    surface_->Present(*buffer_, Left, Top);
  }
}

std::int64_t TGradientProgressBar::FilledLength(int length) const {
  if (position_ <= min_ || max_ == min_) return 0;
  const double range = std::abs(static_cast<double>(max_) - static_cast<double>(min_));
  const double share = (static_cast<double>(position_) - static_cast<double>(min_)) / range;
  return static_cast<std::int64_t>(RoundHalfEven(share * length));
}

int TGradientProgressBar::PercentDone() const {
  return static_cast<int>(std::min<std::int64_t>(FilledLength(100), 100));
}

void TGradientProgressBar::NotePercentDone() {
  const int percent = PercentDone();
  if (percent == percentDone_) return;
  percentDone_ = percent;
  if (surface_ != nullptr) surface_->Changed(GaugeChange::PercentDone);
}

void TGradientProgressBar::DrawBar(bool rebuild) {
  const int w = width_;
  const int h = height_;
  const bool picture = !barBitmap_->Empty();
  if (!picture && barColorStyle_ == cs1Color) {
    buffer_->FillRect({0, 0, w, h}, barColor1_);
  } else {
    if (rebuild) {
      barImage_->SetSize(w, h);
      if (picture) {
        TileBarBitmap();
      } else {
        BuildGradient();
      }
    }
    buffer_->Draw(0, 0, *barImage_);
  }

  const TRect inner = showBorder_ ? TRect{1, 1, w - 1, h - 1} : TRect{0, 0, w, h};
  const bool horizontal = direction_ == pdLeftToRight || direction_ == pdRightToLeft;
  const int length = horizontal ? inner.Right - inner.Left : inner.Bottom - inner.Top;
  // The rest only grows beyond the length when Position lies above a lowered Max with a
  // frame wider than the control; such a strip is clipped away, so it is capped here.
  const std::int64_t rest64 = length - FilledLength(length);
  if (rest64 <= 0) return;
  const int rest = static_cast<int>(std::min<std::int64_t>(rest64, 1 << 30));
  TRect strip = inner;
  switch (direction_) {
    case pdLeftToRight:
      strip.Left = inner.Right - rest;
      break;
    case pdRightToLeft:
      strip.Right = inner.Left + rest;
      break;
    case pdBottomToTop:
      strip.Bottom = inner.Top + rest;
      break;
    case pdTopToBottom:
      strip.Top = inner.Bottom - rest;
      break;
  }
  buffer_->FillRect(strip, backgroundColor_);
}

void TGradientProgressBar::BuildGradient() {
  const int w = width_;
  const int h = height_;
  const bool horizontal = direction_ == pdLeftToRight || direction_ == pdRightToLeft;
  const bool forward = direction_ == pdLeftToRight || direction_ == pdTopToBottom;
  const bool threeColors = barColorStyle_ == cs3Colors;
  const int total = horizontal ? w : h;
  const int n1 = threeColors ? total / 2 : total;
  const int n2 = total - n1;

  TColor start1 = barColor1_;
  TColor end1 = barColor2_;
  TColor start2 = barColor2_;
  TColor end2 = barColor3_;
  if (!forward) {
    start1 = threeColors ? barColor3_ : barColor2_;
    end1 = threeColors ? barColor2_ : barColor1_;
    start2 = barColor2_;
    end2 = barColor1_;
  }

  auto drawLine = [&](int at, TColor color) {
    if (horizontal) {
      barImage_->Line(at, 0, at, h, color);
    } else {
      barImage_->Line(0, at, w, at, color);
    }
  };
  for (int i = 0; i < n1; ++i) drawLine(i, GradientColor(start1, end1, n1, i + 1));
  if (threeColors) {
    for (int i = n1; i < total; ++i) drawLine(i, GradientColor(start2, end2, n2, i - n1 + 1));
  }
}

TColor TGradientProgressBar::GradientColor(TColor startColor, TColor endColor, int count,
                                           int index) {
  ++gradientColorCalls_;
  if (index < 1 || index > count) {
    throw ERangeError("ColorIndex can't be less than 1 or greater than " + std::to_string(count));
  }
  const TColor start = graphics_.ColorToRgb(startColor);
  const TColor end = graphics_.ColorToRgb(endColor);
  auto channel = [&](int from, int to) {
    if (count == 1) return from;
    return (from + MulDiv(index - 1, to - from, count - 1)) & 0xFF;
  };
  return MakeRgb(channel(RedOf(start), RedOf(end)), channel(GreenOf(start), GreenOf(end)),
                 channel(BlueOf(start), BlueOf(end)));
}

void TGradientProgressBar::TileBarBitmap() {
  const int bw = barBitmap_->Width();
  const int bh = barBitmap_->Height();
  const int columns = width_ / bw + 1;
  const int rows = height_ / bh + 1;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) barImage_->Draw(c * bw, r * bh, *barBitmap_);
  }
}

void TGradientProgressBar::DrawBorder() {
  const int w = width_;
  const int h = height_;
  buffer_->Line(w - 1, 0, 0, 0, borderColor1_);
  buffer_->Line(0, 0, 0, h, borderColor1_);
  buffer_->Line(1, h - 1, w - 1, h - 1, borderColor2_);
  buffer_->Line(w - 1, h - 1, w - 1, 0, borderColor2_);
}

std::string TGradientProgressBar::PosText() const {
  std::int64_t value = position_;
  if (percentage_) {
    // Without a Max there is no percentage to show; 0 keeps the text short and numeric.
    value = max_ == 0 ? 0
                      : static_cast<std::int64_t>(RoundHalfEven(static_cast<double>(position_) /
                                                                static_cast<double>(max_) * 100));
  }
  return posTextPrefix_ + std::to_string(value) + posTextSuffix_;
}

void TGradientProgressBar::DrawPosText() {
  const std::string text = PosText();
  const TSize extent = buffer_->TextExtent(text);
  const int x = width_ / 2 - extent.cx / 2;
  const int y = height_ / 2 - extent.cy / 2;
  buffer_->PrintText(x, y, text);
}

}  // namespace qvr
