// A small PNG encoder for 8-bit RGB pictures. The image data is stored uncompressed
// (deflate blocks of type 0), which keeps the encoder short and exact; previews are small.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gauge/Canvas.h"

namespace qvr {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size);

std::vector<std::uint8_t> EncodePng(const Bitmap& picture);

// Writes the bytes to path; raises Exception naming the path when that fails.
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace qvr
