// Text to integer as the settings are read: the runtime's _wtoi. On Linux
// the stand-in answers; under Wine the runtime itself does, and the stand-in
// is held against it for every UTF-16 code unit.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/crt.h"
#include "shared/platform.h"
#include "standin/wtoi_model.h"
#include "test_names.h"

namespace shared {
namespace {

struct Row {
  std::u16string text;
  int32_t expected;
};

void PrintTo(const Row& row, std::ostream* os) { *os << Escaped(row.text); }

class SharedWtoi : public ::testing::TestWithParam<Row> {};

TEST_P(SharedWtoi, ReadsAsTheWindowsRuntimeDoes) {
  EXPECT_EQ(_wtoi(AsWide(GetParam().text.c_str())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SharedWtoi,
    ::testing::Values(
        Row{u"1", 1}, Row{u"0", 0}, Row{u" 12", 12}, Row{u"\t\r\n\v\f 7", 7}, Row{u"+1", 1},
        Row{u"-1", -1}, Row{u"-0", 0}, Row{u"0x1", 0}, Row{u"", 0}, Row{u"a1", 0}, Row{u"+", 0},
        Row{u"+-1", 0}, Row{u"- 1", 0}, Row{u"12abc", 12}, Row{u"007", 7},
        Row{u"2147483647", 2147483647}, Row{u"2147483648", INT32_MAX},
        Row{u"-2147483648", INT32_MIN}, Row{u"-2147483649", INT32_MIN},
        Row{u"4294967297", INT32_MAX}, Row{u"99999999999999999999", INT32_MAX},
        Row{u"-99999999999999999999999999", INT32_MIN},
        // Every script's decimal digits, mixed freely.
        Row{u"\uFF11", 1}, Row{u"\uFF11\uFF12", 12}, Row{u"\u0661", 1}, Row{u"\u0967", 1},
        Row{u"\u0E55\u0035", 55}, Row{u"-\u1819", -9}, Row{u"1\u17E2", 12},
        // Digits that are not decimal digits of a block the runtime knows.
        Row{u"\u00B9", 0}, Row{u"\u2460", 0}, Row{u"\u1090", 0}, Row{u"1\u00B2", 1},
        // Unicode white space before the sign, but not after it.
        Row{u"\u30005", 5}, Row{u"\u00A0-5", -5}, Row{u"\u2003\u20285", 5}, Row{u"\u16805", 5},
        Row{u"\u205F\u202F5", 5}, Row{u"-\u30005", 0}, Row{u"\u00855", 0}, Row{u"\u001F5", 0},
        Row{u"\u200B5", 0}, Row{u"\uFEFF5", 0}));

// The model's answer for texts made around one code unit, beside the
// runtime's: alone, before a digit, after a digit, and after a sign.
TEST(SharedWtoiModel, AgreesWithTheRuntimeForEveryCodeUnit) {
  const std::string without = CurrentPlatform().WithoutRealRuntime();
  if (!without.empty()) GTEST_SKIP() << without;

  int differences = 0;
  for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) {
    const char16_t c = static_cast<char16_t>(unit);
    const std::u16string texts[] = {{c}, {c, u'7'}, {u'1', c}, {u'-', c, u'7'}};
    for (const std::u16string& text : texts) {
      const int32_t runtime = _wtoi(AsWide(text.c_str()));
      const int32_t model = crtstandin::WideToInt(text.c_str());
      if (runtime != model && ++differences <= 20) {
        ADD_FAILURE() << Escaped(text) << ": runtime " << runtime << ", stand-in " << model;
      }
    }
  }
  EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace shared
