// The one UTF-16 <-> UTF-8 codec of the scaffolding: generalized UTF-8, so a
// lone surrogate survives the trip, and bad bytes are U+FFFD or an error.
#include "support/utf.h"

#include <gtest/gtest.h>

#include <string>

#include "test_names.h"

namespace {

struct RoundTrip {
  std::u16string utf16;
  std::string utf8;
};

void PrintTo(const RoundTrip& row, std::ostream* os) { *os << Escaped(row.utf16); }

const RoundTrip kRoundTrips[] = {
    {u"", ""},
    {u"TARGET", "TARGET"},
    {u"\u00E9", "\xC3\xA9"},                    // two bytes
    {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},  // the two-/three-byte edge
    {u"선색ㆍ선종", "\xEC\x84\xA0\xEC\x83\x89\xE3\x86\x8D\xEC\x84\xA0\xEC\xA2\x85"},
    {u"\uFFFF", "\xEF\xBF\xBF"},
    {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a surrogate pair
    {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
    // Lone surrogates as their own code points, wherever they stand.
    {std::u16string{char16_t(0xD800)}, "\xED\xA0\x80"},
    {std::u16string{u'a', char16_t(0xDFFF), u'b'},
     "a\xED\xBF\xBF"
     "b"},
    {std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xED\xB0\x80\xED\xA0\x80"},  // reversed
    {std::u16string{char16_t(0xD83D)} + u"\U0001F600", "\xED\xA0\xBD\xF0\x9F\x98\x80"},
};

class UtfRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(UtfRoundTripTest, EncodesAndDecodesBackUnchanged) {
  const RoundTrip& row = GetParam();
  EXPECT_EQ(utf::ToUtf8(row.utf16), row.utf8);
  EXPECT_EQ(utf::FromUtf8(row.utf8), row.utf16);
}

INSTANTIATE_TEST_SUITE_P(Texts, UtfRoundTripTest, ::testing::ValuesIn(kRoundTrips));

struct BadBytes {
  const char* name;
  std::string utf8;
  utf::Decoded::Problem problem;  // of the first sequence
  std::u16string lenient;         // what FromUtf8 makes of the whole text
};

using Problem = utf::Decoded::Problem;

const BadBytes kBadBytes[] = {
    {"stray_continuation", "\x80x", Problem::kInvalid, u"\uFFFDx"},
    {"overlong_slash",
     "\xC0\xAF"
     "b",
     Problem::kInvalid, u"\uFFFD\uFFFDb"},
    {"overlong_three_bytes", "\xE0\x80\xAF", Problem::kInvalid, u"\uFFFD\uFFFD\uFFFD"},
    {"past_10FFFF", "\xF4\x90\x80\x80", Problem::kInvalid, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"no_lead_F5", "\xF5\x80", Problem::kInvalid, u"\uFFFD\uFFFD"},
    {"broken_by_ascii", "\xC3(", Problem::kInvalid, u"\uFFFD("},
    {"cut_short_at_end", "\xE2\x82", Problem::kTruncated, u"\uFFFD\uFFFD"},
    {"lead_alone_at_end", "\xF0", Problem::kTruncated, u"\uFFFD"},
};

class UtfBadBytesTest : public ::testing::TestWithParam<BadBytes> {};

TEST_P(UtfBadBytesTest, AreAnErrorStrictlyAndReplacementLeniently) {
  const BadBytes& row = GetParam();
  const utf::Decoded decoded = utf::DecodeAt(row.utf8, 0);
  EXPECT_EQ(decoded.problem, row.problem);
  EXPECT_EQ(decoded.length, 0u);
  EXPECT_EQ(utf::FromUtf8(row.utf8), row.lenient);
}

INSTANTIATE_TEST_SUITE_P(Bytes, UtfBadBytesTest, ::testing::ValuesIn(kBadBytes),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(UtfTest, DecodesOneCodePointAtAnOffset) {
  const std::string text = "a\xEC\x84\xA0\xF0\x9F\x98\x80";
  const utf::Decoded korean = utf::DecodeAt(text, 1);
  EXPECT_EQ(korean.problem, Problem::kNone);
  EXPECT_EQ(korean.codePoint, U'\uC120');
  EXPECT_EQ(korean.length, 3u);
  const utf::Decoded emoji = utf::DecodeAt(text, 4);
  EXPECT_EQ(emoji.codePoint, U'\U0001F600');
  EXPECT_EQ(emoji.length, 4u);
}

}  // namespace
