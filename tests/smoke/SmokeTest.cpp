#include <gtest/gtest.h>

TEST(Smoke, LongDoubleIsExtendedPrecision) {
  // Progress percentages are computed in 80-bit floating point.
  EXPECT_EQ(std::numeric_limits<long double>::digits, 64);
}
