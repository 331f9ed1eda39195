// The platform's MulDiv, portable: used for colour steps and for scaling design
// pixels to a display's density, so both round exactly as Windows does.
#pragma once

#include <cstdint>
#include <limits>

namespace qvr {

// number * numerator / denominator with a 64-bit product, rounded to the nearest
// integer with a half going away from zero; -1 when the denominator is 0 or the
// result does not fit 32 bits.
inline std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const std::uint64_t magnitude =
      product < 0 ? 0 - static_cast<std::uint64_t>(product) : static_cast<std::uint64_t>(product);
  const std::uint64_t divisor = denominator < 0 ? 0 - static_cast<std::uint64_t>(denominator)
                                                : static_cast<std::uint64_t>(denominator);
  const std::uint64_t quotient = (magnitude + divisor / 2) / divisor;
  if (quotient >
      static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1u : 0u)) {
    return -1;
  }
  return negative ? static_cast<std::int32_t>(0 - quotient) : static_cast<std::int32_t>(quotient);
}

}  // namespace qvr
