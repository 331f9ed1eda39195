// The paint of a progress report (a Position write, which reuses the cached bar picture)
// against a full paint that rebuilds the gradient, for the setup's 529 x 25 bar.
#include <benchmark/benchmark.h>

#include "gauge/GradientProgressBar.h"
#include "gauge/MemoryCanvas.h"
#include "setup/StatusGaugeDesign.h"

namespace qvr {
namespace {

// Stands in for the window: presents by touching the buffer, as a blit would read it.
class CountingSurface : public ControlSurface {
 public:
  bool CanDraw() const override { return true; }
  void Present(const Bitmap& buffer, int, int) override {
    benchmark::DoNotOptimize(buffer.Pixel(buffer.Width() - 1, buffer.Height() - 1));
  }
};

void SetUpStatusGauge(TGradientProgressBar& bar, CountingSurface& surface) {
  bar.SetSurface(&surface);
  ApplyStatusGaugeDesign(bar);
}

void BM_PositionWritePaint(benchmark::State& state) {
  CountingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  SetUpStatusGauge(bar, surface);
  int position = 0;
  for (auto _ : state) {
    position = position == 100 ? 1 : position + 1;
    bar.SetPosition(position);
  }
}
BENCHMARK(BM_PositionWritePaint);

void BM_FullPaint(benchmark::State& state) {
  CountingSurface surface;
  TGradientProgressBar bar(nullptr, MemoryGraphics());
  SetUpStatusGauge(bar, surface);
  bar.SetPosition(50);
  for (auto _ : state) bar.Paint();
}
BENCHMARK(BM_FullPaint);

}  // namespace
}  // namespace qvr
