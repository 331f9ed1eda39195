#include "framework/PackedPicture.h"

#include <algorithm>
#include <cstddef>

namespace qvr {
namespace {

// The little-endian number of `count` bytes at `in`, which then moves past them.
bool ReadNumber(std::span<const std::uint8_t> packed, std::size_t& in, std::size_t count,
                std::uint32_t& value) {
  if (packed.size() - in < count) return false;
  value = 0;
  for (std::size_t i = 0; i < count; ++i) value |= std::uint32_t{packed[in + i]} << (8 * i);
  in += count;
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> UnpackPicture(std::span<const std::uint8_t> packed) {
  std::size_t in = 0;
  std::uint32_t size = 0;
  if (!ReadNumber(packed, in, 4, size)) return std::nullopt;
  std::vector<std::uint8_t> out(size);
  std::size_t at = 0;
  while (in < packed.size()) {
    const std::uint8_t token = packed[in++];
    if (token < 0x80) {
      const std::size_t count = token + 1u;
      if (packed.size() - in < count || size - at < count) return std::nullopt;
      std::copy_n(packed.begin() + static_cast<std::ptrdiff_t>(in), count, out.begin() + at);
      in += count;
      at += count;
      continue;
    }
    std::uint32_t length = token - 0x80u + 3;
    if (token == 0xFF) {
      if (!ReadNumber(packed, in, 2, length)) return std::nullopt;
      length += 130;
    }
    std::uint32_t distance = 0;
    if (!ReadNumber(packed, in, 2, distance)) return std::nullopt;
    if (distance == 0 || distance > at || size - at < length) return std::nullopt;
    // Byte by byte, as the copy may read what it has just written.
    for (const std::size_t end = at + length; at < end; ++at) out[at] = out[at - distance];
  }
  if (at != size) return std::nullopt;
  return out;
}

}  // namespace qvr
