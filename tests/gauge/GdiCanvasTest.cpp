#include "gauge/win32/GdiCanvas.h"
#include "setup/StatusGaugeDesign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>

#include "gauge/GradientProgressBar.h"
#include "gauge/MemoryCanvas.h"

namespace qvr {
namespace {

// The memory backend with this system's colours, so both backends mix the same inputs.
MemoryGraphicsBackend& MemoryWithSystemColors() {
  static MemoryGraphicsBackend backend([] {
    SystemColorTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
      table[i] = GdiGraphics().ColorToRgb(kSystemColorFlag | static_cast<TColor>(i));
    }
    return table;
  }());
  return backend;
}

using Setup = std::function<void(TGradientProgressBar&, Graphics&)>;

void StatusGauge(TGradientProgressBar& bar, Graphics&) {
  ApplyStatusGaugeDesign(bar);
}

TRect TextBox(TGradientProgressBar& bar, Graphics& graphics) {
  auto probe = graphics.CreateBitmap();
  probe->SetFont(bar.Font());
  const TSize extent = probe->TextExtent(bar.PosText());
  const int x = bar.Width() / 2 - extent.cx / 2;
  const int y = bar.Height() / 2 - extent.cy / 2;
  return {x, y, x + extent.cx, y + extent.cy};
}

struct Case {
  const char* name;
  Setup setup;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class GdiMatchesMemory : public testing::TestWithParam<Case> {};

TEST_P(GdiMatchesMemory, BarAndFramePixelsOutsideTheText) {
  TGradientProgressBar gdiBar(nullptr, GdiGraphics());
  TGradientProgressBar memoryBar(nullptr, MemoryWithSystemColors());
  GetParam().setup(gdiBar, GdiGraphics());
  GetParam().setup(memoryBar, MemoryWithSystemColors());
  const Bitmap& gdi = gdiBar.Buffer();
  const Bitmap& memory = memoryBar.Buffer();
  ASSERT_EQ(gdi.Width(), memory.Width());
  ASSERT_EQ(gdi.Height(), memory.Height());
  TRect text{};
  if (gdiBar.ShowPosText()) {
    const TRect a = TextBox(gdiBar, GdiGraphics());
    const TRect b = TextBox(memoryBar, MemoryWithSystemColors());
    text = {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
  }
  int compared = 0;
  for (int y = 0; y < gdi.Height(); ++y) {
    for (int x = 0; x < gdi.Width(); ++x) {
      if (x >= text.Left && x < text.Right && y >= text.Top && y < text.Bottom) continue;
      ASSERT_EQ(gdi.Pixel(x, y), memory.Pixel(x, y)) << x << "," << y;
      ++compared;
    }
  }
  EXPECT_GT(compared, gdi.Width() * gdi.Height() / 2);
}

void Small(TGradientProgressBar& bar, TProgressDirection direction, TBarColorStyle style) {
  bar.SetBounds(0, 0, 61, 33);
  bar.SetBarColor1(clRed);
  bar.SetBarColor2(clLime);
  bar.SetBarColor3(clBlue);
  bar.SetBarColorStyle(style);
  bar.SetDirection(direction);
  bar.SetShowPosText(false);
  bar.SetPosition(37);
}

INSTANTIATE_TEST_SUITE_P(
    Gauge, GdiMatchesMemory,
    testing::Values(Case{"StatusGaugeAt1",
                         [](TGradientProgressBar& bar, Graphics& g) {
                           StatusGauge(bar, g);
                           bar.SetPosition(1);
                         }},
                    Case{"StatusGaugeAt50",
                         [](TGradientProgressBar& bar, Graphics& g) {
                           StatusGauge(bar, g);
                           bar.SetPosition(50);
                         }},
                    Case{"StatusGaugeAt100WithoutFrame",
                         [](TGradientProgressBar& bar, Graphics& g) {
                           StatusGauge(bar, g);
                           bar.SetShowBorder(false);
                           bar.SetPosition(100);
                         }},
                    Case{"RightToLeft", [](TGradientProgressBar& b,
                                           Graphics&) { Small(b, pdRightToLeft, cs3Colors); }},
                    Case{"BottomToTop", [](TGradientProgressBar& b,
                                           Graphics&) { Small(b, pdBottomToTop, cs3Colors); }},
                    Case{"TopToBottom", [](TGradientProgressBar& b,
                                           Graphics&) { Small(b, pdTopToBottom, cs2Colors); }},
                    Case{"OneColour", [](TGradientProgressBar& b,
                                         Graphics&) { Small(b, pdLeftToRight, cs1Color); }},
                    Case{"TiledPicture",
                         [](TGradientProgressBar& bar, Graphics& graphics) {
                           auto picture = graphics.CreateBitmap();
                           picture->SetSize(7, 5);
                           for (int y = 0; y < 5; ++y) {
                             for (int x = 0; x < 7; ++x)
                               picture->SetPixel(x, y, MakeRgb(30 * x, 40 * y, 99));
                           }
                           bar.SetBarBitmap(*picture);
                           Small(bar, pdLeftToRight, cs3Colors);
                         }},
                    Case{"PictureFromTheOtherBackend",
                         [](TGradientProgressBar& bar, Graphics&) {
                           auto picture = MemoryGraphics().CreateBitmap();
                           picture->SetSize(3, 4);
                           for (int y = 0; y < 4; ++y) {
                             for (int x = 0; x < 3; ++x)
                               picture->SetPixel(x, y, MakeRgb(80 * x, 50 * y, 7));
                           }
                           bar.SetBarBitmap(*picture);
                           Small(bar, pdTopToBottom, cs1Color);
                         }}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(GdiCanvas, DrawsTextTransparentlyInTheFontColour) {
  TGradientProgressBar bar(nullptr, GdiGraphics());
  StatusGauge(bar, GdiGraphics());
  bar.SetPosition(50);
  const TRect box = TextBox(bar, GdiGraphics());
  int ink = 0;
  int background = 0;
  for (int y = box.Top; y < box.Bottom; ++y) {
    for (int x = box.Left; x < box.Right; ++x) {
      const TColor pixel = bar.Buffer().Pixel(x, y);
      ink += pixel == clBlack ? 1 : 0;
      background += pixel == clWhite ? 1 : 0;
    }
  }
  EXPECT_GT(ink, 10);
  EXPECT_GT(background, 10);  // the unfilled part shows between the glyphs
  EXPECT_GT(box.Right - box.Left, 10);
}

TEST(GdiCanvas, BlitsTheWholeBufferOntoAnotherDeviceContext) {
  GdiBitmap source(GdiGraphics());
  source.SetSize(4, 3);
  source.FillRect({0, 0, 4, 3}, clRed);
  source.SetPixel(3, 2, clBlue);
  GdiBitmap target(GdiGraphics());
  target.SetSize(10, 10);
  target.FillRect({0, 0, 10, 10}, clWhite);
  source.BlitTo(target.Dc(), 5, 6);
  EXPECT_EQ(target.Pixel(5, 6), clRed);
  EXPECT_EQ(target.Pixel(8, 8), clBlue);
  EXPECT_EQ(target.Pixel(4, 6), clWhite);
  EXPECT_EQ(target.Pixel(9, 9), clWhite);
}

TEST(GdiCanvas, ReleasesItsGdiObjects) {
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (before == 0) GTEST_SKIP() << "this system does not count GDI objects per process";
  for (int i = 0; i < 300; ++i) {
    TGradientProgressBar bar(nullptr, GdiGraphics());
    StatusGauge(bar, GdiGraphics());
    bar.SetPosition(i % 101);
  }
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before + 5);
}

}  // namespace
}  // namespace qvr
