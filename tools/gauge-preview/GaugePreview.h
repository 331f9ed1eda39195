// gauge-preview: renders a TGradientProgressBar with given properties on the memory
// backend, so that the bar can be looked at without Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gauge/Canvas.h"
#include "gauge/GradientProgressBar.h"

namespace qvr {

struct PreviewOptions {
  int width = 200;
  int height = 20;
  std::int32_t min = 0;
  std::int32_t max = 100;
  std::int32_t position = 0;
  TColor background = clBtnFace;
  TColor color1 = clGreen;
  TColor color2 = clYellow;
  TColor color3 = clRed;
  TColor border1 = clBtnShadow;
  TColor border2 = clBtnHighlight;
  TBarColorStyle style = cs3Colors;
  TProgressDirection direction = pdLeftToRight;
  bool showBorder = true;
  bool showText = true;
  bool percentage = false;
  std::string prefix;
  std::string suffix;
  std::string bitmapPath;
  // The setup's font: bold "MS Sans Serif", 8 point.
  TFont font{"MS Sans Serif", -11, true, clWindowText};
  std::string output;
  bool help = false;
};

// Raises Exception with a message for the user on an unknown option or a bad value.
PreviewOptions ParsePreviewArguments(const std::vector<std::string>& arguments);

// A colour by name (clWhite, clBtnFace, ...) or number (decimal or 0x hex TColor).
std::optional<TColor> ParseColor(const std::string& text);

std::string PreviewUsage();

// Renders the control as the host would show it after its last write. Notes for the
// user (such as a position the control ignores) are appended to warnings.
std::unique_ptr<Bitmap> RenderPreview(const PreviewOptions& options,
                                      std::vector<std::string>& warnings);

}  // namespace qvr
