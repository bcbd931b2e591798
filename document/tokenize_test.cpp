#include "document/tokenize.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "document/text_format.h"
#include "document/test_support.h"

namespace qv3 {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(TokenizeLineTest, SplitsAtSpacesAndGroupsQuotes) {
  EXPECT_THAT(TokenizeLine("loop \"My  loop\" 1.5   2.0"),
              ElementsAre("loop", "My  loop", "1.5", "2.0"));
  EXPECT_THAT(TokenizeLine("master_eq \"\""), ElementsAre("master_eq", ""));
  EXPECT_THAT(TokenizeLine("   "), IsEmpty());
  EXPECT_THAT(TokenizeLine(""), IsEmpty());
  // Tabs are not separators.
  EXPECT_THAT(TokenizeLine("a\tb c"), ElementsAre("a\tb", "c"));
}

TEST(TokenizeLineTest, QuoteEdgeCases) {
  // A missing closing quote ends the token at the end of the line.
  EXPECT_THAT(TokenizeLine("marker \"open name 12.5"), ElementsAre("marker", "open name 12.5"));
  // A quote in the middle of a plain token belongs to it.
  EXPECT_THAT(TokenizeLine("ab\"c d"), ElementsAre("ab\"c", "d"));
  // After a closing quote the next token starts at once.
  EXPECT_THAT(TokenizeLine("\"abc\"def"), ElementsAre("abc", "def"));
  EXPECT_THAT(TokenizeLine("\""), ElementsAre(""));
}

TEST(TokenizeLineTest, LineEndsGiveNoStrayToken) {
  EXPECT_THAT(TokenizeLine("audio_file_path \"/a b/c.wav\"\r\n"),
              ElementsAre("audio_file_path", "/a b/c.wav"));
  EXPECT_THAT(TokenizeLine("master_pitch 100\r"), ElementsAre("master_pitch", "100"));
  // Cut at the first line feed.
  EXPECT_THAT(TokenizeLine("a b\nc d"), ElementsAre("a", "b"));
  // A lone CR inside a quoted name reads as a blank.
  EXPECT_THAT(TokenizeLine("\"x\ry\" z"), ElementsAre("x y", "z"));
}

TEST(TokenizeLineTest, VeryLongLineIsOneToken) {
  std::string big(100000, 'x');
  auto tokens = TokenizeLine("key \"" + big + "\"");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[1].size(), 100000u);
}

TEST(TextFormatTest, FixedSixDecimals) {
  EXPECT_EQ(FormatFixed(12.5, 6), "12.500000");
  EXPECT_EQ(FormatFixed(0.0, 6), "0.000000");
  EXPECT_EQ(FormatFixed(-1.0, 6), "-1.000000");
  EXPECT_EQ(FormatFixed(1.0000005, 6), "1.000001");
  EXPECT_EQ(FormatFixed(1e300, 6).size(), 301u + 7u);
}

TEST(TextFormatTest, IntegersLikeAtoiWithoutOverflow) {
  EXPECT_EQ(ParseInt32("123"), 123);
  EXPECT_EQ(ParseInt32("-45xyz"), -45);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt32("abc"), 0);
  EXPECT_EQ(ParseInt32(""), 0);
  EXPECT_EQ(ParseInt32("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseInt32("-99999999999999999999"), INT32_MIN);
}

TEST(TextFormatTest, DoublesLikeAtofButFinite) {
  EXPECT_EQ(ParseFiniteDouble("12.500000"), 12.5);
  EXPECT_EQ(ParseFiniteDouble("-3"), -3.0);
  EXPECT_EQ(ParseFiniteDouble("+2.5"), 2.5);
  EXPECT_EQ(ParseFiniteDouble("1e2"), 100.0);
  EXPECT_EQ(ParseFiniteDouble("4.5abc"), 4.5);
  EXPECT_EQ(ParseFiniteDouble("abc"), 0.0);
  EXPECT_EQ(ParseFiniteDouble("nan"), std::nullopt);
  EXPECT_EQ(ParseFiniteDouble("-inf"), std::nullopt);
  EXPECT_EQ(ParseFiniteDouble("Infinity"), std::nullopt);
  EXPECT_EQ(ParseFiniteDouble("1e999"), std::nullopt);
}

TEST(TextFormatTest, NumbersIgnoreACommaLocale) {
  testing::CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma decimal locale available";
  EXPECT_EQ(FormatFixed(12.5, 6), "12.500000");
  EXPECT_EQ(ParseFiniteDouble("12.5"), 12.5);
}

TEST(TextFormatTest, SanitizeQuotedText) {
  EXPECT_EQ(SanitizeQuotedText("say \"hi\"\r\nthere"), "say 'hi'  there");
}

}  // namespace
}  // namespace qv3
