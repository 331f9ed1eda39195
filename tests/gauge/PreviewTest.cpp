#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "BmpReader.h"
#include "GaugePreview.h"
#include "PngWriter.h"
#include "base/Exceptions.h"
#include "gauge/MemoryCanvas.h"

namespace qvr {
namespace {

std::uint32_t BigEndian(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// Reads back what EncodePng writes, checking every checksum on the way.
struct DecodedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;
  TColor At(std::uint32_t x, std::uint32_t y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return MakeRgb(rgb[i], rgb[i + 1], rgb[i + 2]);
  }
};

DecodedPng DecodeStoredPng(const std::vector<std::uint8_t>& png) {
  DecodedPng out;
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
  std::vector<std::uint8_t> zlib;
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::uint32_t length = BigEndian(png, at);
    const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                           png.begin() + static_cast<std::ptrdiff_t>(at + 8));
    EXPECT_EQ(Crc32(png.data() + at + 4, length + 4), BigEndian(png, at + 8 + length)) << type;
    const auto data = png.begin() + static_cast<std::ptrdiff_t>(at + 8);
    if (type == "IHDR") {
      out.width = BigEndian(png, at + 8);
      out.height = BigEndian(png, at + 12);
      EXPECT_EQ(png[at + 16], 8);
      EXPECT_EQ(png[at + 17], 2);
    } else if (type == "IDAT") {
      zlib.insert(zlib.end(), data, data + length);
    }
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  std::vector<std::uint8_t> raw;
  std::size_t z = 2;
  for (bool last = false; !last;) {
    last = zlib.at(z) & 1;
    EXPECT_EQ(zlib[z] >> 1, 0) << "stored block expected";
    const std::size_t length = zlib[z + 1] | (zlib[z + 2] << 8);
    EXPECT_EQ(length ^ 0xFFFF, std::size_t(zlib[z + 3] | (zlib[z + 4] << 8)));
    raw.insert(raw.end(), zlib.begin() + static_cast<std::ptrdiff_t>(z + 5),
               zlib.begin() + static_cast<std::ptrdiff_t>(z + 5 + length));
    z += 5 + length;
  }
  EXPECT_EQ(Adler32(raw.data(), raw.size()), BigEndian(zlib, z));
  for (std::uint32_t y = 0; y < out.height; ++y) {
    const std::size_t row = y * (1 + std::size_t{out.width} * 3);
    EXPECT_EQ(raw.at(row), 0);
    out.rgb.insert(out.rgb.end(), raw.begin() + static_cast<std::ptrdiff_t>(row + 1),
                   raw.begin() + static_cast<std::ptrdiff_t>(row + 1 + out.width * 3));
  }
  return out;
}

DecodedPng RenderToPng(std::vector<std::string> arguments) {
  arguments.push_back("out.png");
  std::vector<std::string> warnings;
  const auto picture = RenderPreview(ParsePreviewArguments(arguments), warnings);
  EXPECT_TRUE(warnings.empty());
  return DecodeStoredPng(EncodePng(*picture));
}

const std::vector<std::string> kStatusGauge = {"--width",      "529",      "--height", "25",
                                               "--background", "clWhite",  "--color1", "clLime",
                                               "--color3",     "0x8000FF", "--suffix", "%"};

TEST(GaugePreview, SetupBarInThePng) {
  auto arguments = kStatusGauge;
  arguments.insert(arguments.end(), {"--position", "50"});
  const DecodedPng half = RenderToPng(arguments);
  ASSERT_EQ(half.width, 529u);
  ASSERT_EQ(half.height, 25u);
  int filled = 0;
  for (std::uint32_t x = 1; x < 528; ++x) filled += half.At(x, 2) != clWhite ? 1 : 0;
  EXPECT_EQ(filled, 264);
  EXPECT_EQ(half.At(0, 0), MakeRgb(160, 160, 160));
  EXPECT_EQ(half.At(528, 24), clWhite);
  EXPECT_EQ(half.At(131, 2), MakeRgb(127, 255, 0));
  EXPECT_EQ(half.At(263, 2), MakeRgb(255, 255, 0));
  EXPECT_EQ(half.At(264, 2), MakeRgb(255, 255, 0));
  EXPECT_EQ(half.At(265, 2), clWhite);

  arguments = kStatusGauge;
  arguments.insert(arguments.end(), {"--position", "100", "--no-border", "--no-text"});
  const DecodedPng full = RenderToPng(arguments);
  EXPECT_EQ(full.At(0, 12), MakeRgb(0, 255, 0));
  EXPECT_EQ(full.At(396, 12), MakeRgb(255, 127, 64));
  EXPECT_EQ(full.At(528, 12), MakeRgb(255, 0, 128));
}

TEST(GaugePreview, ParsesColoursByNameAndNumber) {
  EXPECT_EQ(ParseColor("clWhite"), clWhite);
  EXPECT_EQ(ParseColor("clbtnface"), clBtnFace);
  EXPECT_EQ(ParseColor("8388863"), 0x008000FFu);
  EXPECT_EQ(ParseColor("0x8000FF"), 0x008000FFu);
  EXPECT_EQ(ParseColor("0xFF00000F"), clBtnFace);
  for (const char* bad : {"", "clNothing", "0x", "12abc", "-1", "0x100000000"}) {
    EXPECT_FALSE(ParseColor(bad).has_value()) << bad;
  }
}

TEST(GaugePreview, RejectsBadArgumentsWithAClearMessage) {
  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  };
  const Case cases[] = {
      {{"--width", "0", "o.png"}, "--width: 0 lies outside 1..16384"},
      {{"--position", "fifty", "o.png"}, "--position: 'fifty' is no 32-bit integer"},
      {{"--color1", "pink", "o.png"}, "--color1: 'pink' is no colour"},
      {{"--style", "4", "o.png"}, "--style: '4' is none of"},
      {{"--direction", "up", "o.png"}, "--direction: 'up' is none of"},
      {{"--frobnicate", "o.png"}, "unknown option --frobnicate"},
      {{"--suffix"}, "--suffix needs a value"},
      {{"--no-border=yes", "o.png"}, "--no-border takes no value"},
      {{"a.png", "b.png"}, "more than one output file"},
      {{"--width", "10"}, "no output file given"},
  };
  for (const Case& c : cases) {
    try {
      ParsePreviewArguments(c.arguments);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const Exception& error) {
      EXPECT_EQ(error.Message().rfind(c.message, 0), 0u) << error.Message();
    }
  }
  EXPECT_TRUE(ParsePreviewArguments({"--help"}).help);
  const PreviewOptions options =
      ParsePreviewArguments({"--width=30", "--direction", "btt", "x.png"});
  EXPECT_EQ(options.width, 30);
  EXPECT_EQ(options.direction, pdBottomToTop);
  EXPECT_EQ(options.output, "x.png");
}

TEST(GaugePreview, WarnsAboutAPositionTheControlIgnores) {
  std::vector<std::string> warnings;
  const auto picture =
      RenderPreview(ParsePreviewArguments({"--position", "150", "o.png"}), warnings);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "position 150 lies outside 0..100; the control ignores it and keeps 0");
}

// A little-endian BMP file with the given header fields and pixel rows as stored.
std::vector<std::uint8_t> MakeBmp(int width, int height, int bits, std::uint32_t compression,
                                  const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> b(54 + rows.size(), 0);
  auto put = [&](std::size_t at, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, static_cast<std::uint32_t>(54 + rows.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, static_cast<std::uint32_t>(bits), 2);
  put(30, compression, 4);
  std::copy(rows.begin(), rows.end(), b.begin() + 54);
  return b;
}

TEST(BmpReader, ReadsBottomUp24AndTopDown32BitPictures) {
  auto picture = MemoryGraphics().CreateBitmap();
  // 2 x 2, 24 bits, bottom-up, rows padded to 8 bytes; pixels are blue, green, red.
  DecodeBmp(MakeBmp(2, 2, 24, 0, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}), "t.bmp",
            *picture);
  ASSERT_EQ(picture->Width(), 2);
  EXPECT_EQ(picture->Pixel(0, 0), MakeRgb(9, 8, 7));
  EXPECT_EQ(picture->Pixel(1, 0), MakeRgb(12, 11, 10));
  EXPECT_EQ(picture->Pixel(0, 1), MakeRgb(3, 2, 1));

  DecodeBmp(MakeBmp(1, -2, 32, 0, {1, 2, 3, 0, 4, 5, 6, 0}), "t.bmp", *picture);
  EXPECT_EQ(picture->Pixel(0, 0), MakeRgb(3, 2, 1));
  EXPECT_EQ(picture->Pixel(0, 1), MakeRgb(6, 5, 4));
}

TEST(BmpReader, RejectsWhatItCannotRead) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    const char* why;
  };
  const Case cases[] = {
      {{'B', 'M', 0}, "not a BMP file"},
      {MakeBmp(1, 1, 8, 0, {0, 0, 0, 0}), "8 bits per pixel"},
      {MakeBmp(1, 1, 24, 1, {0, 0, 0, 0}), "compressed BMP files"},
      {MakeBmp(4, 4, 24, 0, {0, 0, 0, 0}), "the file is truncated"},
      {MakeBmp(0, 1, 24, 0, {}), "unsupported picture size"},
      {MakeBmp(100000, 100000, 24, 0, {}), "unsupported picture size"},
  };
  auto picture = MemoryGraphics().CreateBitmap();
  for (const Case& c : cases) {
    try {
      DecodeBmp(c.bytes, "tile.bmp", *picture);
      ADD_FAILURE() << "accepted: " << c.why;
    } catch (const Exception& error) {
      const std::string expected = std::string("cannot read the picture 'tile.bmp': ") + c.why;
      EXPECT_EQ(error.Message().rfind(expected, 0), 0u) << error.Message();
    }
  }
  EXPECT_THROW(ReadBmpFile("/nonexistent/tile.bmp", *picture), Exception);
}

}  // namespace
}  // namespace qvr
