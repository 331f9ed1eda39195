#include "BmpReader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Exceptions.h"

namespace qvr {
namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
// Larger pictures make no sense as a tile and would only exhaust memory.
constexpr std::int64_t kMaxPixels = 64ll * 1024 * 1024;

}  // namespace

void DecodeBmp(const std::vector<std::uint8_t>& bytes, const std::string& path, Bitmap& picture) {
  auto fail = [&](const std::string& why) {
    throw Exception("cannot read the picture '" + path + "': " + why);
  };
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') fail("not a BMP file");
  const std::uint32_t dataOffset = U32(bytes, 10);
  const std::uint32_t headerSize = U32(bytes, 14);
  if (headerSize < 40 || 14 + static_cast<std::size_t>(headerSize) > bytes.size()) {
    fail("unsupported BMP header");
  }
  const auto width = static_cast<std::int32_t>(U32(bytes, 18));
  const auto rawHeight = static_cast<std::int32_t>(U32(bytes, 22));
  const std::uint16_t bitCount = U16(bytes, 28);
  const std::uint32_t compression = U32(bytes, 30);
  if (bitCount != 24 && bitCount != 32) {
    fail(std::to_string(bitCount) + " bits per pixel (only 24 and 32 are supported)");
  }
  if (compression == kBiBitfields && bitCount == 32) {
    // Masks follow a 40-byte header, or lie inside a larger one at the same place.
    if (bytes.size() < 66 || U32(bytes, 54) != 0x00FF0000 || U32(bytes, 58) != 0x0000FF00 ||
        U32(bytes, 62) != 0x000000FF) {
      fail("unsupported colour masks");
    }
  } else if (compression != kBiRgb) {
    fail("compressed BMP files are not supported");
  }
  const bool topDown = rawHeight < 0;
  const std::int64_t height = std::llabs(static_cast<std::int64_t>(rawHeight));
  if (width <= 0 || height == 0 || width * height > kMaxPixels) fail("unsupported picture size");

  const std::size_t bytesPerPixel = bitCount / 8u;
  const std::size_t stride =
      (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
  if (dataOffset > bytes.size() ||
      bytes.size() - dataOffset < stride * static_cast<std::size_t>(height)) {
    fail("the file is truncated");
  }
  picture.SetSize(width, static_cast<int>(height));
  for (int y = 0; y < static_cast<int>(height); ++y) {
    const std::size_t fileRow =
        topDown ? static_cast<std::size_t>(y) : static_cast<std::size_t>(height - 1 - y);
    const std::uint8_t* row = bytes.data() + dataOffset + fileRow * stride;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * bytesPerPixel;
      picture.SetPixel(x, y, MakeRgb(pixel[2], pixel[1], pixel[0]));
    }
  }
}

void ReadBmpFile(const std::string& path, Bitmap& picture) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw Exception("cannot open the picture '" + path + "': " + std::strerror(errno));
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (std::ferror(file.get())) {
    throw Exception("cannot read the picture '" + path + "': " + std::strerror(errno));
  }
  DecodeBmp(bytes, path, picture);
}

}  // namespace qvr
