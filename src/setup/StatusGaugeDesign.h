// The design of the install dialog's progress bar, StatusGauge: its place, colours, text
// and font at 96 pixels per inch. The dialog, the paint benchmark and the drawing tests
// all take it from here.
#pragma once

#include "gauge/GradientProgressBar.h"

namespace qvr {

void ApplyStatusGaugeDesign(TGradientProgressBar& bar);

}  // namespace qvr
