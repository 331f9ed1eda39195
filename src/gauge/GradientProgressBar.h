// TGradientProgressBar: a windowless control that shows Position between Min and Max
// as a partly filled bar. The bar picture (a two- or three-colour gradient, one colour
// or a tiled picture) is laid out once over the whole control and the unfilled part is
// painted over it, so a growing Position uncovers a fixed gradient. A one-pixel frame
// and a centred text (prefix, value, suffix) are drawn on top.
//
// Contract with the hosting window framework:
//   - The host gives the control its parent's drawing surface with SetSurface. Paint
//     composes the whole control in an off-screen buffer and, while the control is
//     visible and the surface can draw, presents that buffer at (Left, Top) in one step.
//   - The host calls Paint whenever the control's area must be drawn (parent's paint
//     message, after showing or resizing); every property write paints at once.
//   - While the host applies a stored design it brackets the writes with BeginLoading
//     and EndLoading; paints in between leave out the bar and draw frame and text only.
//   - SetFont is the font change notification.
//   - The control tells its surface, for assistive technology, when it is shown or
//     hidden and when PercentDone changes: at most once per whole percent, however
//     often Position is written.
// A paint while the control is hidden or has no surface still composes the buffer, so
// the cached bar picture stays current, but presents nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Component.h"
#include "base/DensitySize.h"
#include "gauge/Canvas.h"

namespace qvr {

enum class GaugeChange : std::uint8_t { PercentDone, Shown, Hidden };

class ControlSurface {
 public:
  virtual ~ControlSurface() = default;
  virtual bool CanDraw() const = 0;
  virtual void Present(const Bitmap& buffer, int left, int top) = 0;
  // A host without assistive technology has nothing to tell.
  virtual void Changed(GaugeChange) {}
};

enum TProgressDirection : std::uint8_t {
  pdLeftToRight = 0,
  pdRightToLeft = 1,
  pdBottomToTop = 2,
  pdTopToBottom = 3,
};

enum TBarColorStyle : std::uint8_t {
  cs1Color = 0,
  cs2Colors = 1,
  cs3Colors = 2,
};

// Rounds to the nearest integer, a half going to the even neighbour.
double RoundHalfEven(double value);

class TGradientProgressBar : public TComponent {
 public:
  TGradientProgressBar(TComponent* owner, Graphics& graphics);
  ~TGradientProgressBar() override;

  int Left = 0;
  int Top = 0;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // A host's resize: paints with a rebuilt bar picture.
  void SetBounds(int left, int top, int width, int height);
  bool Visible() const { return visible_; }
  // Showing the control paints it with a rebuilt bar picture.
  void SetVisible(bool visible);
  void SetSurface(ControlSurface* surface) { surface_ = surface; }

  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  // The host moved from density `from` to `to`: bounds and font height laid out
  // for it, each scaled from the value as it was given (never from an earlier
  // scaling), then one paint.
  void ScaleForDpi(int from, int to);

  void BeginLoading() { loading_ = true; }
  void EndLoading() { loading_ = false; }
  bool Loading() const { return loading_; }

  TColor BackgroundColor() const { return backgroundColor_; }
  void SetBackgroundColor(TColor value);
  // The owned picture; empty while no picture is set.
  const Bitmap& BarBitmap() const { return *barBitmap_; }
  // Copies the picture (of any backend) into the owned one; an empty picture brings
  // the colour styles back.
  void SetBarBitmap(const Bitmap& picture);
  TColor BarColor1() const { return barColor1_; }
  void SetBarColor1(TColor value);
  TColor BarColor2() const { return barColor2_; }
  void SetBarColor2(TColor value);
  TColor BarColor3() const { return barColor3_; }
  void SetBarColor3(TColor value);
  TBarColorStyle BarColorStyle() const { return barColorStyle_; }
  void SetBarColorStyle(TBarColorStyle value);
  TColor BorderColor1() const { return borderColor1_; }
  void SetBorderColor1(TColor value);
  TColor BorderColor2() const { return borderColor2_; }
  void SetBorderColor2(TColor value);
  TProgressDirection Direction() const { return direction_; }
  void SetDirection(TProgressDirection value);
  std::int32_t Max() const { return max_; }
  void SetMax(std::int32_t value);
  std::int32_t Min() const { return min_; }
  void SetMin(std::int32_t value);
  bool Percentage() const { return percentage_; }
  void SetPercentage(bool value);
  std::int32_t Position() const { return position_; }
  // Ignored when the value equals Position or lies outside Min..Max. An accepted write
  // repaints with the cached bar picture.
  void SetPosition(std::int32_t value);
  const std::string& PosTextPrefix() const { return posTextPrefix_; }
  void SetPosTextPrefix(const std::string& value);
  const std::string& PosTextSuffix() const { return posTextSuffix_; }
  void SetPosTextSuffix(const std::string& value);
  bool ShowBorder() const { return showBorder_; }
  void SetShowBorder(bool value);
  bool ShowPosText() const { return showPosText_; }
  void SetShowPosText(bool value);

  void Paint();

  // The colour of line Index (1..Count) of a gradient run from StartColor to EndColor.
  // Raises ERangeError for an Index outside 1..Count.
  TColor GradientColor(TColor startColor, TColor endColor, int count, int index);
  // How many gradient colours have been computed so far (a cost counter for tests).
  std::uint64_t GradientColorCalls() const { return gradientColorCalls_; }

  // How much of Min..Max Position has reached, in whole percent from 0 to 100, rounded
  // as the filled length is: what a screen reader says of the bar.
  int PercentDone() const;

  // The text the control shows: prefix, value and suffix. With Percentage and Max 0 there
  // is no percentage to compute; the value then shows as 0.
  std::string PosText() const;
  // The off-screen buffer as of the last paint.
  const Bitmap& Buffer() const { return *buffer_; }

 private:
  void DrawBar(bool rebuild);
  void BuildGradient();
  void TileBarBitmap();
  void DrawBorder();
  void DrawPosText();
  std::int64_t FilledLength(int length) const;
  // Tells the surface when PercentDone differs from what it was last told.
  void NotePercentDone();

  Graphics& graphics_;
  std::unique_ptr<Bitmap> buffer_;
  std::unique_ptr<Bitmap> barBitmap_;
  std::unique_ptr<Bitmap> barImage_;
  bool rebuildBarImage_ = true;

  int width_ = 200;
  int height_ = 20;
  bool visible_ = true;
  bool loading_ = false;
  ControlSurface* surface_ = nullptr;
  TFont font_;
  // Left, Top, width, height and the font's height.
  DensitySize givenLeft_, givenTop_, givenWidth_, givenHeight_, givenFontHeight_;

  TColor backgroundColor_ = clBtnFace;
  TColor barColor1_ = clGreen;
  TColor barColor2_ = clYellow;
  TColor barColor3_ = clRed;
  TBarColorStyle barColorStyle_ = cs3Colors;
  TColor borderColor1_ = clBtnShadow;
  TColor borderColor2_ = clBtnHighlight;
  TProgressDirection direction_ = pdLeftToRight;
  std::int32_t max_ = 100;
  std::int32_t min_ = 0;
  bool percentage_ = false;
  std::int32_t position_ = 0;
  std::string posTextPrefix_;
  std::string posTextSuffix_;
  bool showBorder_ = true;
  bool showPosText_ = true;
  int percentDone_ = 0;

  std::uint64_t gradientColorCalls_ = 0;
};

}  // namespace qvr
