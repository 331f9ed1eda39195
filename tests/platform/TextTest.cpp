#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace qvr {
namespace {

constexpr char32_t kBad = kReplacementCharacter;

TEST(Text, Utf8DecodesAndBrokenSequencesReadAsReplacementCharacters) {
  struct Case {
    std::string text;
    std::u32string codes;
  };
  const Case cases[] = {
      {"Gr\u00FC\u00DFe", U"Gr\u00FC\u00DFe"},
      {"\u20AC \U0001F600", U"\u20AC \U0001F600"},
      {"a\xFF"
       "b",
       {U'a', kBad, U'b'}},
      {"\xE2\x82", {kBad}},  // cut short: one for the sequence
      {"\xE2\x82"
       "x",
       {kBad, U'x'}},
      {"\xC0\xAF", {kBad, kBad}},                      // overlong
      {"\xED\xA0\x80", {kBad, kBad, kBad}},            // a surrogate
      {"\xF4\x90\x80\x80", {kBad, kBad, kBad, kBad}},  // above U+10FFFF
      {"\xFC", {kBad}},                                // code page 1252 bytes are no UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeUtf8(c.text), c.codes) << c.text;
    EXPECT_EQ(CharacterCount(c.text), c.codes.size()) << c.text;
    EXPECT_EQ(IsValidUtf8(c.text), c.codes.find(kBad) == std::u32string::npos) << c.text;
  }
  EXPECT_TRUE(IsValidUtf8("\uFFFD"));
}

TEST(Text, Utf16RoundTripsAndLoneSurrogatesBecomeReplacementCharacters) {
  const std::string text = "Best\u00E4tigen \u20AC \U0001F600";
  EXPECT_EQ(Utf8ToUtf16(text), u"Best\u00E4tigen \u20AC \U0001F600");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b', 0xDC00}), "a\uFFFDb\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xFF"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16(""), u"");
}

TEST(CodePage, Windows1252EveryByteRoundTrips) {
  const CodePage& page = CodePage::Windows1252();
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = page.ToUtf8(all);
  EXPECT_EQ(CharacterCount(utf8), 256u);
  std::string back;
  ASSERT_TRUE(page.FromUtf8(utf8, back));
  EXPECT_EQ(back, all);
  // The defined specials, and the five undefined bytes as their C1 controls.
  EXPECT_EQ(page.ToUtf8("\x80\x8A\x9F\xDC\xFF"), "\u20AC\u0160\u0178\u00DC\u00FF");
  EXPECT_EQ(page.ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
  EXPECT_FALSE(page.FromUtf8("\u0100", back));
  EXPECT_FALSE(page.FromUtf8("\xFC", back));
}

TEST(CodePage, OtherSingleByteCodePagesComeFromTheSystem) {
  const std::optional<CodePage> centralEuropean = CodePage::ForNumber(1250);
  ASSERT_TRUE(centralEuropean.has_value());
  EXPECT_EQ(centralEuropean->Number(), 1250u);
  EXPECT_EQ(centralEuropean->ToUtf8("\xA5\xB3\x81"), "\u0104\u0142\u0081");
  std::string bytes;
  EXPECT_TRUE(centralEuropean->FromUtf8("\u0141\u00F3d\u017A", bytes));
  EXPECT_EQ(bytes,
            "\xA3\xF3"
            "d\x9F");
  for (const unsigned number : {0u, 1u, 42u, 932u, 65001u, 99999u}) {
    EXPECT_FALSE(CodePage::ForNumber(number).has_value()) << number;
  }
}

}  // namespace
}  // namespace qvr
