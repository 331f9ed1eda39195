#include "shell/wmiclose.h"

#include <gtest/gtest.h>

#include <climits>

namespace qvr {
namespace {

TEST(GroupThousands, GroupsFromTheLastDigit) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "0"},
      {"999", "999"},
      {"-999", "-999"},
      {"1000", "1,000"},
      {"-1234", "-1,234"},
      {"123456", "123,456"},
      {"1234567", "1,234,567"},
      {"-2147483648", "-2,147,483,648"},
  };
  for (const auto& [digits, grouped] : cases) {
    EXPECT_EQ(GroupThousands(digits, ','), grouped) << digits;
  }
  EXPECT_EQ(GroupThousands("1234567", '.'), "1.234.567");
}

#ifndef _WIN32
TEST(GroupThousands, NativeSeparatorIsAComma) {
  EXPECT_EQ(IntToGroupedText(1314), "1,314");
  EXPECT_EQ(IntToGroupedText(INT_MIN), "-2,147,483,648");
}
#endif

TEST(CentreText, CentresWithTheOddSurplusOnTheRight) {
  EXPECT_EQ(FillText(3, '*'), "***");
  EXPECT_EQ(FillText(0, '*'), "");
  EXPECT_EQ(FillText(-2, '*'), "");

  EXPECT_EQ(CentreText("ab", 5, '*'), "*ab**");
  EXPECT_EQ(CentreText("abc", 6, '-'), "--abc-");
  EXPECT_EQ(CentreText("", 4, '.'), "....");
  EXPECT_EQ(CentreText("abcd", 4, '.'), "abcd");
  EXPECT_EQ(CentreText("abcdef", 4, '.'), "abcdef");
}

// An umlaut is one character: a line with umlauts gets the fill of its ASCII twin.
TEST(CentreText, CountsCharactersNotBytes) {
  const std::pair<const char*, const char*> twins[] = {
      {"Gr\u00FC\u00DFe", "Gruse"},
      {"\u00C4\u00D6\u00DC", "AOU"},
      {"Stra\u00DFe \u20AC", "Strase E"},
  };
  for (const auto& [umlauts, ascii] : twins) {
    const std::string centred = CentreText(umlauts, 12, ' ');
    const std::string twin = CentreText(ascii, 12, ' ');
    EXPECT_EQ(centred.find_first_not_of(' '), twin.find_first_not_of(' ')) << umlauts;
    EXPECT_EQ(centred.size() - centred.find_last_not_of(' '),
              twin.size() - twin.find_last_not_of(' '))
        << umlauts;
  }
  EXPECT_EQ(CentreText("\u00FCber", 4, '.'), "\u00FCber");
}

TEST(CentreText, FinalMessageLines) {
  EXPECT_EQ(CentreText("Die Installation wurde erfolgreich abgeschlossen.", 50, ' '),
            " Die Installation wurde erfolgreich abgeschlossen.");
  const std::string longer[] = {
      "Wenn es sich hier um eine Erstinstallation handelt, wurden neue Schriften installiert.",
      "Damit diese im Spielbericht sichtbar sind muss Windows neu gestartet werden.",
  };
  for (const auto& line : longer) EXPECT_EQ(CentreText(line, 50, ' '), line);
}

}  // namespace
}  // namespace qvr
