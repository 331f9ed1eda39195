#include "setup/StatusGaugeDesign.h"

namespace qvr {

void ApplyStatusGaugeDesign(TGradientProgressBar& bar) {
  bar.SetBounds(8, 407, 529, 25);
  bar.SetBackgroundColor(clWhite);
  bar.SetBarColor1(clLime);
  bar.SetBarColor3(0x008000FF);  // red 255, green 0, blue 128
  bar.SetPosTextSuffix("%");
  bar.SetFont({"MS Sans Serif", -11, true, clWindowText});
}

}  // namespace qvr
