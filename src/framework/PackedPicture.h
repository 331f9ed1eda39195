// The pictures among the program's resources are stored packed, not as plain
// bitmaps: a row of one colour, or a row like one before it, shrinks to a few bytes,
// and the two background pictures to some 10 KB each instead of 290 KB.
// scripts/make-bitmaps.py packs them.
//
// A packed picture is the size of the unpacked bytes (4 bytes, little-endian), then
// tokens until the end:
//   0x00-0x7F  N + 1 bytes follow, taken as they are
//   0x80-0xFE  a copy of N - 0x80 + 3 bytes from D bytes back, D in the next 2 bytes
//   0xFF       a copy of 130 + L bytes, L in the next 2 bytes, then D as above
// A copy may overlap what it writes: D = 3 repeats one 24-bit pixel.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qvr {

// The unpacked bytes; empty when `packed` is damaged: a token cut short, a copy from
// before the start, or more or fewer bytes than its size says.
std::optional<std::vector<std::uint8_t>> UnpackPicture(std::span<const std::uint8_t> packed);

}  // namespace qvr
