#include "GaugePreview.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <utility>

#include "BmpReader.h"
#include "base/Exceptions.h"
#include "gauge/MemoryCanvas.h"

namespace qvr {
namespace {

constexpr int kMaxSide = 16384;

const std::pair<const char*, TColor> kColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
};

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  const std::string other(b);
  return a.size() == other.size() &&
         std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

template <typename Number>
std::optional<Number> ParseNumber(const std::string& text, int base = 10) {
  Number value{};
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value, base);
  if (text.empty() || error != std::errc() || end != last) return std::nullopt;
  return value;
}

std::int32_t IntegerOption(const std::string& option, const std::string& text) {
  const auto value = ParseNumber<std::int32_t>(text);
  if (!value) throw Exception(option + ": '" + text + "' is no 32-bit integer");
  return *value;
}

int SideOption(const std::string& option, const std::string& text) {
  const std::int32_t value = IntegerOption(option, text);
  if (value < 1 || value > kMaxSide) {
    throw Exception(option + ": " + text + " lies outside 1.." + std::to_string(kMaxSide));
  }
  return value;
}

TColor ColorOption(const std::string& option, const std::string& text) {
  const auto color = ParseColor(text);
  if (!color) {
    throw Exception(option + ": '" + text +
                    "' is no colour (use a name such as clWhite, or a number such as 0x8000FF)");
  }
  return *color;
}

TBarColorStyle StyleOption(const std::string& text) {
  if (text == "1" || EqualsIgnoringCase(text, "cs1Color")) return cs1Color;
  if (text == "2" || EqualsIgnoringCase(text, "cs2Colors")) return cs2Colors;
  if (text == "3" || EqualsIgnoringCase(text, "cs3Colors")) return cs3Colors;
  throw Exception("--style: '" + text + "' is none of 1, 2, 3, cs1Color, cs2Colors, cs3Colors");
}

TProgressDirection DirectionOption(const std::string& text) {
  if (EqualsIgnoringCase(text, "ltr") || EqualsIgnoringCase(text, "pdLeftToRight")) {
    return pdLeftToRight;
  }
  if (EqualsIgnoringCase(text, "rtl") || EqualsIgnoringCase(text, "pdRightToLeft")) {
    return pdRightToLeft;
  }
  if (EqualsIgnoringCase(text, "btt") || EqualsIgnoringCase(text, "pdBottomToTop")) {
    return pdBottomToTop;
  }
  if (EqualsIgnoringCase(text, "ttb") || EqualsIgnoringCase(text, "pdTopToBottom")) {
    return pdTopToBottom;
  }
  throw Exception("--direction: '" + text + "' is none of ltr, rtl, btt, ttb");
}

}  // namespace

std::optional<TColor> ParseColor(const std::string& text) {
  for (const auto& [name, color] : kColorNames) {
    if (EqualsIgnoringCase(text, name)) return color;
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseNumber<std::uint32_t>(text.substr(2), 16);
  }
  return ParseNumber<std::uint32_t>(text);
}

std::string PreviewUsage() {
  return R"(Usage: gauge-preview [options] OUTPUT.png
Renders the gradient progress bar with the given properties to a PNG picture.
Defaults are the control's own, except the font, which is the setup's (bold, -11).

  --width N            width in pixels (default 200)
  --height N           height in pixels (default 20)
  --min N              value of an empty bar (default 0)
  --max N              value of a full bar (default 100)
  --position N         current value (default 0); ignored outside min..max
  --background COLOR   colour of the unfilled part (default clBtnFace)
  --color1 COLOR       colour where filling starts (default clGreen)
  --color2 COLOR       middle or far-end colour (default clYellow)
  --color3 COLOR       far-end colour with three colours (default clRed)
  --border1 COLOR      top and left frame lines (default clBtnShadow)
  --border2 COLOR      bottom and right frame lines (default clBtnHighlight)
  --style S            1, 2, 3 or cs1Color, cs2Colors, cs3Colors (default 3)
  --direction D        ltr, rtl, btt, ttb or pdLeftToRight, ... (default ltr)
  --no-border          no frame; the bar uses the whole control
  --no-text            no position text
  --percentage         the text shows Position / Max as a percentage
  --prefix TEXT        text before the value
  --suffix TEXT        text after the value
  --bitmap FILE.bmp    a 24- or 32-bit BMP picture tiled over the bar
  --font-name NAME     font name (default "MS Sans Serif")
  --font-height N      font height in pixels, negative for character height (default -11)
  --bold, --regular    font weight (default bold)
  --font-color COLOR   text colour (default clWindowText)
  --help               show this text

COLOR is a name (clWhite, clLime, clBtnFace, ...) or a TColor number, decimal or 0x hex
(0x00BBGGRR; 0x8000FF is red 255, green 0, blue 128).

Example, the setup's own bar at 50:
  gauge-preview --width 529 --height 25 --background clWhite --color1 clLime \
                --color3 0x8000FF --suffix % --position 50 out.png
)";
}

PreviewOptions ParsePreviewArguments(const std::vector<std::string>& arguments) {
  PreviewOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    std::optional<std::string> inlineValue;
    if (option.rfind("--", 0) == 0) {
      const auto equals = option.find('=');
      if (equals != std::string::npos) {
        inlineValue = option.substr(equals + 1);
        option.resize(equals);
      }
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= arguments.size()) throw Exception(option + " needs a value");
      return arguments[++i];
    };
    auto flag = [&]() {
      if (inlineValue) throw Exception(option + " takes no value");
    };

    if (option == "--help" || option == "-h") {
      flag();
      options.help = true;
    } else if (option == "--width") {
      options.width = SideOption(option, value());
    } else if (option == "--height") {
      options.height = SideOption(option, value());
    } else if (option == "--min") {
      options.min = IntegerOption(option, value());
    } else if (option == "--max") {
      options.max = IntegerOption(option, value());
    } else if (option == "--position") {
      options.position = IntegerOption(option, value());
    } else if (option == "--background") {
      options.background = ColorOption(option, value());
    } else if (option == "--color1") {
      options.color1 = ColorOption(option, value());
    } else if (option == "--color2") {
      options.color2 = ColorOption(option, value());
    } else if (option == "--color3") {
      options.color3 = ColorOption(option, value());
    } else if (option == "--border1") {
      options.border1 = ColorOption(option, value());
    } else if (option == "--border2") {
      options.border2 = ColorOption(option, value());
    } else if (option == "--style") {
      options.style = StyleOption(value());
    } else if (option == "--direction") {
      options.direction = DirectionOption(value());
    } else if (option == "--no-border") {
      flag();
      options.showBorder = false;
    } else if (option == "--no-text") {
      flag();
      options.showText = false;
    } else if (option == "--percentage") {
      flag();
      options.percentage = true;
    } else if (option == "--prefix") {
      options.prefix = value();
    } else if (option == "--suffix") {
      options.suffix = value();
    } else if (option == "--bitmap") {
      options.bitmapPath = value();
    } else if (option == "--font-name") {
      options.font.Name = value();
    } else if (option == "--font-height") {
      options.font.Height = IntegerOption(option, value());
    } else if (option == "--bold") {
      flag();
      options.font.Bold = true;
    } else if (option == "--regular") {
      flag();
      options.font.Bold = false;
    } else if (option == "--font-color") {
      options.font.Color = ColorOption(option, value());
    } else if (option.size() > 1 && option[0] == '-') {
      throw Exception("unknown option " + option + " (see --help)");
    } else if (options.output.empty()) {
      options.output = option;
    } else {
      throw Exception("more than one output file: '" + options.output + "' and '" + option + "'");
    }
  }
  if (!options.help && options.output.empty()) {
    throw Exception("no output file given (see --help)");
  }
  return options;
}

std::unique_ptr<Bitmap> RenderPreview(const PreviewOptions& options,
                                      std::vector<std::string>& warnings) {
  Graphics& graphics = MemoryGraphics();
  TGradientProgressBar bar(nullptr, graphics);
  // The order in which a form's design applies the properties; each write paints.
  bar.SetBounds(0, 0, options.width, options.height);
  bar.SetBackgroundColor(options.background);
  if (!options.bitmapPath.empty()) {
    const auto picture = graphics.CreateBitmap();
    ReadBmpFile(options.bitmapPath, *picture);
    bar.SetBarBitmap(*picture);
  }
  bar.SetBarColor1(options.color1);
  bar.SetBarColor2(options.color2);
  bar.SetBarColor3(options.color3);
  bar.SetBarColorStyle(options.style);
  bar.SetBorderColor1(options.border1);
  bar.SetBorderColor2(options.border2);
  bar.SetDirection(options.direction);
  bar.SetMax(options.max);
  bar.SetMin(options.min);
  bar.SetPercentage(options.percentage);
  bar.SetPosTextPrefix(options.prefix);
  bar.SetPosTextSuffix(options.suffix);
  bar.SetShowBorder(options.showBorder);
  bar.SetShowPosText(options.showText);
  bar.SetFont(options.font);
  if (options.position != bar.Position() &&
      (options.position < options.min || options.position > options.max)) {
    warnings.push_back("position " + std::to_string(options.position) + " lies outside " +
                       std::to_string(options.min) + ".." + std::to_string(options.max) +
                       "; the control ignores it and keeps " + std::to_string(bar.Position()));
  }
  bar.SetPosition(options.position);
  // What the window shows once it has been painted after the writes.
  bar.Paint();

  auto picture = graphics.CreateBitmap();
  picture->SetSize(bar.Width(), bar.Height());
  picture->Draw(0, 0, bar.Buffer());
  return picture;
}

}  // namespace qvr
