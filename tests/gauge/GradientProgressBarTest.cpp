#include "gauge/GradientProgressBar.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "gauge/MemoryCanvas.h"

namespace qvr {
namespace {

constexpr TColor kPink = 8388863;  // red 255, green 0, blue 128

class RecordingSurface : public ControlSurface {
 public:
  bool CanDraw() const override { return canDraw; }
  void Present(const Bitmap& buffer, int left, int top) override {
    ++presents;
    lastLeft = left;
    lastTop = top;
    lastWidth = buffer.Width();
  }
  void Changed(GaugeChange change) override { changes.push_back(change); }
  bool canDraw = true;
  std::vector<GaugeChange> changes;
  int presents = 0;
  int lastLeft = -1;
  int lastTop = -1;
  int lastWidth = -1;
};

// The install dialog's StatusGauge as its design sets it up.
void SetUpStatusGauge(TGradientProgressBar& bar) {
  bar.BeginLoading();
  bar.SetBounds(8, 407, 529, 25);
  bar.SetBackgroundColor(clWhite);
  bar.SetBarColor1(clLime);
  bar.SetBarColor3(kPink);
  bar.SetPosTextSuffix("%");
  bar.SetFont(TFont{"MS Sans Serif", -11, true, clWindowText});
  bar.EndLoading();
  bar.Paint();
}

// Columns of a row in which the bar shows something other than the background.
int CountNonBackground(const Bitmap& buffer, int y, int from, int to, TColor background) {
  int count = 0;
  for (int x = from; x < to; ++x) count += buffer.Pixel(x, y) != background ? 1 : 0;
  return count;
}

TEST(GaugeArithmetic, MulDivRoundsHalfAwayFromZeroWithA64BitProduct) {
  struct Case {
    std::int32_t number, numerator, denominator, expected;
  };
  const Case cases[] = {
      {132, -255, 264, -128},            // -127.5
      {131, 255, 263, 127},              // 127.02
      {1, 3, 2, 2},                      // 1.5
      {-1, 3, 2, -2},                    // -1.5
      {1, 3, -2, -2},                    // -1.5
      {-1, -3, 2, 2},                    // 1.5
      {2, 1, 3, 1},                      // 0.67
      {1, 1, 3, 0},                      // 0.33
      {100000, 100000, 1000, 10000000},  // product beyond 32 bits
      {5, 1, 0, -1},                     // no divisor
      {INT_MAX, INT_MAX, 1, -1},         // result beyond 32 bits
      {INT_MIN, 1, 1, INT_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
        << c.number << " * " << c.numerator << " / " << c.denominator;
  }
}

TEST(GaugeArithmetic, RoundHalfEvenGoesToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(263.5), 264);
  EXPECT_EQ(RoundHalfEven(12.5), 12);
  EXPECT_EQ(RoundHalfEven(37.5), 38);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(5.27), 5);
  EXPECT_EQ(RoundHalfEven(66.67), 67);
}

TEST(GradientColor, SpansStartToEndAndRejectsIndicesOutsideTheRun) {
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  EXPECT_EQ(bar.GradientColor(clLime, clYellow, 264, 1), clLime);
  EXPECT_EQ(bar.GradientColor(clLime, clYellow, 264, 264), clYellow);
  EXPECT_EQ(bar.GradientColor(clLime, clYellow, 264, 132), MakeRgb(127, 255, 0));
  EXPECT_EQ(bar.GradientColor(clYellow, kPink, 265, 133), MakeRgb(255, 127, 64));
  EXPECT_EQ(bar.GradientColor(clRed, clBlue, 1, 1), clRed);
  // System colours are resolved before they are mixed.
  EXPECT_EQ(bar.GradientColor(clBtnFace, clBlack, 2, 1), MakeRgb(240, 240, 240));

  for (const int index : {0, 265, -1}) {
    try {
      bar.GradientColor(clLime, clYellow, 264, index);
      FAIL() << "index " << index << " accepted";
    } catch (const ERangeError& error) {
      EXPECT_EQ(error.Message(), "ColorIndex can't be less than 1 or greater than 264");
    }
  }
}

TEST(GradientProgressBar, StartsWithTheControlDefaultsAndPaintsNothing) {
  RecordingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetSurface(&surface);
  EXPECT_EQ(bar.Width(), 200);
  EXPECT_EQ(bar.Height(), 20);
  EXPECT_EQ(bar.BackgroundColor(), clBtnFace);
  EXPECT_EQ(bar.BarColor1(), clGreen);
  EXPECT_EQ(bar.BarColor2(), clYellow);
  EXPECT_EQ(bar.BarColor3(), clRed);
  EXPECT_EQ(bar.BarColorStyle(), cs3Colors);
  EXPECT_EQ(bar.BorderColor1(), clBtnShadow);
  EXPECT_EQ(bar.BorderColor2(), clBtnHighlight);
  EXPECT_EQ(bar.Direction(), pdLeftToRight);
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_TRUE(bar.ShowBorder());
  EXPECT_TRUE(bar.ShowPosText());
  EXPECT_FALSE(bar.Percentage());
  EXPECT_TRUE(bar.BarBitmap().Empty());
  EXPECT_EQ(surface.presents, 0);
  EXPECT_EQ(bar.GradientColorCalls(), 0u);
}

TEST(GradientProgressBar, StatusGaugeFillLengths) {
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  SetUpStatusGauge(bar);
  struct Case {
    int position, filled;
  };
  for (const Case c : {Case{1, 5}, Case{50, 264}, Case{100, 527}, Case{0, 0}}) {
    bar.SetPosition(c.position);
    // Row 2 lies inside the frame and above the text.
    EXPECT_EQ(CountNonBackground(bar.Buffer(), 2, 1, 528, clWhite), c.filled)
        << "position " << c.position;
    EXPECT_EQ(bar.Buffer().Pixel(1, 2) != clWhite, c.filled > 0);
  }
}

TEST(GradientProgressBar, StatusGaugeGradientColumns) {
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  SetUpStatusGauge(bar);
  bar.SetShowBorder(false);
  bar.SetShowPosText(false);
  bar.SetPosition(100);
  struct Case {
    int column;
    TColor color;
  };
  const Case cases[] = {
      {0, MakeRgb(0, 255, 0)},     {131, MakeRgb(127, 255, 0)},  {263, MakeRgb(255, 255, 0)},
      {264, MakeRgb(255, 255, 0)}, {396, MakeRgb(255, 127, 64)}, {528, MakeRgb(255, 0, 128)},
  };
  for (const Case& c : cases) {
    for (const int y : {0, 12, 24}) {
      EXPECT_EQ(bar.Buffer().Pixel(c.column, y), c.color) << "column " << c.column << " row " << y;
    }
  }
}

TEST(GradientProgressBar, PositionWriteReusesTheBarPictureOtherWritesRebuildIt) {
  RecordingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetSurface(&surface);
  SetUpStatusGauge(bar);
  const std::uint64_t afterDesign = bar.GradientColorCalls();
  EXPECT_EQ(afterDesign, 529u);  // only the framework paint after loading built the picture

  for (int position = 1; position <= 100; ++position) bar.SetPosition(position);
  EXPECT_EQ(bar.GradientColorCalls(), afterDesign);

  bar.SetPosTextPrefix("");
  EXPECT_EQ(bar.GradientColorCalls(), afterDesign + 529);
  bar.SetFont(bar.Font());
  EXPECT_EQ(bar.GradientColorCalls(), afterDesign + 2 * 529);
  bar.Paint();
  EXPECT_EQ(bar.GradientColorCalls(), afterDesign + 3 * 529);

  // One colour needs no picture at all.
  bar.SetBarColorStyle(cs1Color);
  EXPECT_EQ(bar.GradientColorCalls(), afterDesign + 3 * 529);
}

TEST(GradientProgressBar, PositionWriteBeforeAnyFullPaintShowsNoBarColours) {
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetPosition(100);
  EXPECT_EQ(bar.GradientColorCalls(), 0u);
  for (const int x : {5, 100, 190}) EXPECT_NE(bar.Buffer().Pixel(x, 3), clGreen);
}

TEST(GradientProgressBar, IgnoredPositionWritesStoreAndPaintNothing) {
  RecordingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetSurface(&surface);
  bar.SetPosition(40);
  ASSERT_EQ(surface.presents, 1);
  for (const int ignored : {40, 101, -1, INT_MAX, INT_MIN}) {
    bar.SetPosition(ignored);
    EXPECT_EQ(bar.Position(), 40) << ignored;
  }
  EXPECT_EQ(surface.presents, 1);
  bar.SetPosition(100);
  bar.SetPosition(0);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(surface.presents, 3);

  // Writes of every other property paint again even with the same value.
  bar.SetBackgroundColor(bar.BackgroundColor());
  bar.SetMax(bar.Max());
  EXPECT_EQ(surface.presents, 5);

  // Min above Max: no value lies between them.
  bar.SetMin(60);
  bar.SetMax(50);
  for (const int ignored : {49, 50, 55, 60, 61}) bar.SetPosition(ignored);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.Min(), 60);
  EXPECT_EQ(bar.Max(), 50);
}

TEST(GradientProgressBar, MinAndMaxWritesNeverAdjustPosition) {
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  SetUpStatusGauge(bar);
  bar.SetPosition(80);

  bar.SetMax(50);
  EXPECT_EQ(bar.Position(), 80);
  EXPECT_EQ(bar.PosText(), "80%");
  EXPECT_EQ(CountNonBackground(bar.Buffer(), 2, 1, 528, clWhite), 527);

  bar.SetMax(100);
  bar.SetMin(90);
  EXPECT_EQ(bar.Position(), 80);
  EXPECT_EQ(CountNonBackground(bar.Buffer(), 2, 1, 528, clWhite), 0);

  bar.SetMin(80);
  bar.SetMax(80);
  EXPECT_EQ(CountNonBackground(bar.Buffer(), 2, 1, 528, clWhite), 0);
}

TEST(GradientProgressBar, PositionText) {
  struct Case {
    std::int32_t min, max, position;
    bool percentage;
    const char* text;
  };
  const Case cases[] = {
      {0, 8, 1, true, "<12%>"},           {0, 8, 3, true, "<38%>"},
      {50, 150, 100, true, "<67%>"},      {0, 100, 50, false, "<50%>"},
      {-100, 0, -50, true, "<0%>"},  // no Max: no percentage
      {-200, -100, -150, true, "<150%>"}, {0, INT_MAX, INT_MAX, false, "<2147483647%>"},
      {0, 1, 1, true, "<100%>"},
  };
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetPosTextPrefix("<");
  bar.SetPosTextSuffix("%>");
  for (const Case& c : cases) {
    bar.SetMin(INT_MIN);
    bar.SetMax(INT_MAX);
    bar.SetPosition(c.position);
    bar.SetMin(c.min);
    bar.SetMax(c.max);
    bar.SetPercentage(c.percentage);
    EXPECT_EQ(bar.PosText(), c.text) << c.min << ".." << c.max << " at " << c.position;
  }
}

TEST(GradientProgressBar, HalfFullWithAnOffsetMin) {
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  SetUpStatusGauge(bar);
  bar.SetMin(50);
  bar.SetMax(150);
  bar.SetPercentage(true);
  bar.SetPosition(100);
  EXPECT_EQ(bar.PosText(), "67%");
  EXPECT_EQ(CountNonBackground(bar.Buffer(), 2, 1, 528, clWhite), 264);
}

struct DirectionCase {
  TProgressDirection direction;
  TRect filled;  // with Width 20, Height 10, no frame, Position 25 of 100
};

// Names the case in test listings by its direction (the default would print raw bytes).
void PrintTo(const DirectionCase& c, std::ostream* os) {
  static const char* const kNames[] = {"pdLeftToRight", "pdRightToLeft", "pdBottomToTop",
                                       "pdTopToBottom"};
  *os << kNames[c.direction];
}

class FillByDirection : public testing::TestWithParam<DirectionCase> {};

TEST_P(FillByDirection, FillsFromItsStartEdge) {
  const DirectionCase& c = GetParam();
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetBounds(0, 0, 20, 10);
  bar.SetShowBorder(false);
  bar.SetShowPosText(false);
  bar.SetBackgroundColor(clWhite);
  bar.SetBarColorStyle(cs1Color);
  bar.SetBarColor1(clRed);
  bar.SetDirection(c.direction);
  bar.SetPosition(25);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool inside =
          x >= c.filled.Left && x < c.filled.Right && y >= c.filled.Top && y < c.filled.Bottom;
      ASSERT_EQ(bar.Buffer().Pixel(x, y), inside ? clRed : clWhite) << x << "," << y;
    }
  }
}

// Horizontally 25% of 20 is 5 columns; vertically 2.5 of 10 rows rounds to 2.
INSTANTIATE_TEST_SUITE_P(GradientProgressBar, FillByDirection,
                         testing::Values(DirectionCase{pdLeftToRight, {0, 0, 5, 10}},
                                         DirectionCase{pdRightToLeft, {15, 0, 20, 10}},
                                         DirectionCase{pdBottomToTop, {0, 8, 20, 10}},
                                         DirectionCase{pdTopToBottom, {0, 0, 20, 2}}));

TEST(GradientProgressBar, GradientRunsFollowTheDirection) {
  struct Case {
    TProgressDirection direction;
    TBarColorStyle style;
    TColor first, middleA, middleB, last;  // lines 0, 9, 10 and 20 of 21
  };
  const TColor c1 = clRed, c2 = clLime, c3 = clBlue;
  const Case cases[] = {
      {pdLeftToRight, cs3Colors, c1, c2, c2, c3},
      {pdRightToLeft, cs3Colors, c3, c2, c2, c1},
      {pdTopToBottom, cs3Colors, c1, c2, c2, c3},
      {pdBottomToTop, cs3Colors, c3, c2, c2, c1},
      {pdLeftToRight, cs2Colors, c1, MakeRgb(140, 115, 0), MakeRgb(127, 128, 0), c2},
      {pdRightToLeft, cs2Colors, c2, MakeRgb(115, 140, 0), MakeRgb(128, 127, 0), c1},
      {pdTopToBottom, cs2Colors, c1, MakeRgb(140, 115, 0), MakeRgb(127, 128, 0), c2},
      {pdBottomToTop, cs2Colors, c2, MakeRgb(115, 140, 0), MakeRgb(128, 127, 0), c1},
  };
  for (const Case& c : cases) {
    const bool horizontal = c.direction == pdLeftToRight || c.direction == pdRightToLeft;
    TGradientProgressBar bar(nullptr, MemoryGraphics());
    bar.SetBounds(0, 0, horizontal ? 21 : 7, horizontal ? 7 : 21);
    bar.SetShowBorder(false);
    bar.SetShowPosText(false);
    bar.SetBarColor1(c1);
    bar.SetBarColor2(c2);
    bar.SetBarColor3(c3);
    bar.SetBarColorStyle(c.style);
    bar.SetDirection(c.direction);
    bar.SetPosition(100);
    auto line = [&](int i) {
      return horizontal ? bar.Buffer().Pixel(i, 3) : bar.Buffer().Pixel(3, i);
    };
    const std::string label = std::to_string(c.direction) + "/" + std::to_string(c.style);
    EXPECT_EQ(line(0), c.first) << label;
    EXPECT_EQ(line(9), c.middleA) << label;
    EXPECT_EQ(line(10), c.middleB) << label;
    EXPECT_EQ(line(20), c.last) << label;
    // Every line is one colour across the bar.
    for (int across = 0; across < 7; ++across) {
      EXPECT_EQ(horizontal ? bar.Buffer().Pixel(4, across) : bar.Buffer().Pixel(across, 4), line(4))
          << label;
    }
  }
}

TEST(GradientProgressBar, NarrowGradients) {
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetShowBorder(false);
  bar.SetShowPosText(false);
  bar.SetBarColor1(clRed);
  bar.SetBarColor2(clLime);
  bar.SetBarColor3(clBlue);
  bar.SetBounds(0, 0, 1, 5);
  bar.SetPosition(100);
  EXPECT_EQ(bar.Buffer().Pixel(0, 2), clLime);  // run 1 is empty, run 2 starts with BarColor2
  bar.SetBarColorStyle(cs2Colors);
  EXPECT_EQ(bar.Buffer().Pixel(0, 2), clRed);  // a single line takes its start colour
  bar.SetBounds(0, 0, 0, 5);
  EXPECT_TRUE(bar.Buffer().Empty());
}

TEST(GradientProgressBar, FramePixels) {
  const TColor top = MakeRgb(1, 2, 3);
  const TColor bottom = MakeRgb(4, 5, 6);
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetBounds(0, 0, 12, 6);
  bar.SetShowPosText(false);
  bar.SetBorderColor1(top);
  bar.SetBorderColor2(bottom);
  const Bitmap& b = bar.Buffer();
  for (int x = 0; x < 12; ++x) EXPECT_EQ(b.Pixel(x, 0), top) << x;
  for (int y = 0; y < 6; ++y) EXPECT_EQ(b.Pixel(0, y), top) << y;
  for (int x = 1; x < 12; ++x) EXPECT_EQ(b.Pixel(x, 5), bottom) << x;
  for (int y = 1; y < 6; ++y) EXPECT_EQ(b.Pixel(11, y), bottom) << y;
  // Default colours resolve through the system colours: a sunken frame.
  bar.SetBorderColor1(clBtnShadow);
  bar.SetBorderColor2(clBtnHighlight);
  EXPECT_EQ(b.Pixel(3, 0), MakeRgb(160, 160, 160));
  EXPECT_EQ(b.Pixel(3, 5), MakeRgb(255, 255, 255));
  // Without the frame the bar reaches every edge.
  bar.SetBarColorStyle(cs1Color);
  bar.SetShowBorder(false);
  bar.SetPosition(100);
  for (const auto& [x, y] : {std::pair{0, 0}, {11, 0}, {0, 5}, {11, 5}}) {
    EXPECT_EQ(b.Pixel(x, y), clGreen);
  }
}

TEST(GradientProgressBar, TilesThePictureFromTheTopLeftCorner) {
  auto picture = MemoryGraphics().CreateBitmap();
  picture->SetSize(3, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) picture->SetPixel(x, y, MakeRgb(10 * x, 100 + y, 7));
  }
  for (const TProgressDirection direction : {pdLeftToRight, pdBottomToTop}) {
    TGradientProgressBar bar(nullptr, MemoryGraphics());
    bar.SetBounds(0, 0, 10, 5);
    bar.SetShowBorder(false);
    bar.SetShowPosText(false);
    bar.SetDirection(direction);
    const std::uint64_t callsBefore = bar.GradientColorCalls();
    bar.SetBarBitmap(*picture);
    bar.SetBarColorStyle(cs1Color);  // no effect while a picture is set
    bar.SetPosition(100);
    EXPECT_EQ(bar.GradientColorCalls(), callsBefore);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 10; ++x) {
        ASSERT_EQ(bar.Buffer().Pixel(x, y), MakeRgb(10 * (x % 3), 100 + y % 2, 7)) << x << "," << y;
      }
    }
    // The control keeps its own copy.
    picture->SetPixel(0, 0, clBlack);
    bar.Paint();
    EXPECT_EQ(bar.Buffer().Pixel(0, 0), MakeRgb(0, 100, 7));
    picture->SetPixel(0, 0, MakeRgb(0, 100, 7));

    // An empty picture brings the colour styles back.
    auto empty = MemoryGraphics().CreateBitmap();
    bar.SetBarBitmap(*empty);
    EXPECT_TRUE(bar.BarBitmap().Empty());
    EXPECT_EQ(bar.Buffer().Pixel(4, 2), clGreen);
  }
}

TEST(GradientProgressBar, LoadingPaintsFrameAndTextButNoBar) {
  RecordingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetSurface(&surface);
  bar.BeginLoading();
  bar.SetBounds(0, 0, 50, 20);
  bar.SetBarColorStyle(cs1Color);
  bar.SetBorderColor1(clRed);
  bar.SetPosition(100);
  EXPECT_EQ(surface.presents, 4);
  EXPECT_EQ(bar.Buffer().Pixel(0, 0), clRed);
  EXPECT_NE(bar.Buffer().Pixel(3, 3), clGreen);
  bar.EndLoading();
  bar.Paint();
  EXPECT_EQ(bar.Buffer().Pixel(3, 3), clGreen);
}

TEST(GradientProgressBar, PresentsOnlyWhenVisibleOnADrawableSurface) {
  RecordingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetVisible(false);
  bar.SetBarColor1(clRed);  // composes without a surface
  bar.SetSurface(&surface);
  bar.SetBarColor1(clRed);
  EXPECT_EQ(surface.presents, 0);
  surface.canDraw = false;
  bar.SetVisible(true);
  EXPECT_EQ(surface.presents, 0);
  surface.canDraw = true;
  bar.SetBounds(8, 407, 529, 25);
  EXPECT_EQ(surface.presents, 1);
  EXPECT_EQ(surface.lastLeft, 8);
  EXPECT_EQ(surface.lastTop, 407);
  EXPECT_EQ(surface.lastWidth, 529);
}

// What a screen reader learns: every showing and hiding, and PercentDone each time it
// changes, never for a write that leaves it where it was.
TEST(GradientProgressBar, TellsItsSurfaceOfShowingAndOfEachWholePercent) {
  using enum GaugeChange;
  RecordingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  bar.SetSurface(&surface);
  struct Step {
    const char* what;
    std::function<void()> write;
    int percent;
    std::vector<GaugeChange> told;
  } steps[] = {
      {"hide", [&] { bar.SetVisible(false); }, 0, {Hidden}},
      {"hide again", [&] { bar.SetVisible(false); }, 0, {}},
      {"show", [&] { bar.SetVisible(true); }, 0, {Shown}},
      {"Max 400", [&] { bar.SetMax(400); }, 0, {}},
      {"0.25 %", [&] { bar.SetPosition(1); }, 0, {}},
      {"0.5 % rounds to even", [&] { bar.SetPosition(2); }, 0, {}},
      {"0.75 %", [&] { bar.SetPosition(3); }, 1, {PercentDone}},
      {"1 %", [&] { bar.SetPosition(4); }, 1, {}},
      {"Max 200", [&] { bar.SetMax(200); }, 2, {PercentDone}},
      {"above Max, ignored", [&] { bar.SetPosition(250); }, 2, {}},
      {"Max below Position", [&] { bar.SetMax(3); }, 100, {PercentDone}},
      {"Min above Position", [&] { bar.SetMin(10); }, 0, {PercentDone}},
      {"Max equal to Min", [&] { bar.SetMax(10); }, 0, {}},
  };
  for (Step& step : steps) {
    surface.changes.clear();
    step.write();
    EXPECT_EQ(bar.PercentDone(), step.percent) << step.what;
    EXPECT_EQ(surface.changes, step.told) << step.what;
  }
}

TEST(GradientProgressBar, TextIsCentredInEveryDirection) {
  for (const TProgressDirection direction :
       {pdLeftToRight, pdRightToLeft, pdBottomToTop, pdTopToBottom}) {
    TGradientProgressBar bar(nullptr, MemoryGraphics());
    SetUpStatusGauge(bar);
    bar.SetDirection(direction);
    bar.SetPosition(7);
    const TSize extent = MemoryGraphics().CreateBitmap()->TextExtent("7%");
    const int left = 529 / 2 - extent.cx / 2;
    const int top = 25 / 2 - extent.cy / 2;
    int inked = 0;
    for (int y = 1; y < 24; ++y) {
      for (int x = 1; x < 528; ++x) {
        if (bar.Buffer().Pixel(x, y) != clBlack) continue;
        ++inked;
        EXPECT_TRUE(x >= left && x < left + extent.cx && y >= top && y < top + extent.cy)
            << x << "," << y;
      }
    }
    EXPECT_GT(inked, 10);
    bar.SetShowPosText(false);
    EXPECT_EQ(CountNonBackground(bar.Buffer(), 12, left, left + extent.cx, clBlack), extent.cx);
  }
}

}  // namespace
}  // namespace qvr
