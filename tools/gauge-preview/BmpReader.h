// Reads an uncompressed 24- or 32-bit Windows BMP file into a bitmap of any backend.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gauge/Canvas.h"

namespace qvr {

// Decodes the file's bytes into picture (resized to the file's size). Raises Exception
// with a message naming path when the bytes are no BMP of a supported kind.
void DecodeBmp(const std::vector<std::uint8_t>& bytes, const std::string& path, Bitmap& picture);

// Reads and decodes the file at path; raises Exception naming path on any failure.
void ReadBmpFile(const std::string& path, Bitmap& picture);

}  // namespace qvr
