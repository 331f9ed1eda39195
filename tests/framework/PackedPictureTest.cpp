#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/PackedPicture.h"

namespace qvr {
namespace {

std::optional<std::string> Unpack(const std::vector<std::uint8_t>& packed) {
  const auto bytes = UnpackPicture(packed);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

TEST(PackedPictureTest, UnpacksLiteralsAndCopiesAndRefusesDamage) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> packed;
    std::optional<std::string> bytes;
  } cases[] = {
      {"literal bytes", {3, 0, 0, 0, 0x02, 'a', 'b', 'c'}, "abc"},
      {"a copy overlapping itself", {6, 0, 0, 0, 0x00, 'x', 0x82, 1, 0}, "xxxxxx"},
      {"one pixel repeated", {9, 0, 0, 0, 0x02, 'b', 'g', 'r', 0x83, 3, 0}, "bgrbgrbgr"},
      {"a copy from further back", {7, 0, 0, 0, 0x03, 'a', 'b', 'c', 'd', 0x80, 4, 0}, "abcdabc"},
      {"a long copy", {201, 0, 0, 0, 0x00, 'z', 0xFF, 70, 0, 1, 0}, std::string(201, 'z')},
      {"nothing", {0, 0, 0, 0}, ""},
      {"no size", {3, 0, 0}, std::nullopt},
      {"a literal cut short", {3, 0, 0, 0, 0x02, 'a', 'b'}, std::nullopt},
      {"a distance cut short", {4, 0, 0, 0, 0x00, 'a', 0x80, 1}, std::nullopt},
      {"a long length cut short", {4, 0, 0, 0, 0x00, 'a', 0xFF, 1}, std::nullopt},
      {"a copy from before the start", {4, 0, 0, 0, 0x00, 'a', 0x80, 2, 0}, std::nullopt},
      {"a copy of distance 0", {4, 0, 0, 0, 0x00, 'a', 0x80, 0, 0}, std::nullopt},
      {"more bytes than the size", {2, 0, 0, 0, 0x02, 'a', 'b', 'c'}, std::nullopt},
      {"a copy past the size", {3, 0, 0, 0, 0x00, 'a', 0x80, 1, 0}, std::nullopt},
      {"fewer bytes than the size", {4, 0, 0, 0, 0x02, 'a', 'b', 'c'}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Unpack(c.packed), c.bytes) << c.what;
}

}  // namespace
}  // namespace qvr
