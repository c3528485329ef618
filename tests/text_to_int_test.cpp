// The settings' text-to-integer conversion must read texts the way the
// Windows runtime's _wtoi does, since users and older versions wrote them.
#include "settings/text_to_int.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "test_names.h"

namespace {

struct Row {
  std::u16string text;
  int32_t expected;
};

void PrintTo(const Row& row, std::ostream* os) { *os << Escaped(row.text); }

class WideTextToIntTest : public ::testing::TestWithParam<Row> {};

TEST_P(WideTextToIntTest, ReadsLikeTheWindowsRuntime) {
  EXPECT_EQ(WideTextToInt(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WideTextToIntTest,
    ::testing::Values(Row{u"1", 1}, Row{u"0", 0}, Row{u" 12", 12}, Row{u"\t\r\n 7", 7},
                      Row{u"+1", 1}, Row{u"-1", -1}, Row{u"-0", 0}, Row{u"2", 2}, Row{u"0x1", 0},
                      Row{u"", 0}, Row{u"a1", 0}, Row{u"+", 0}, Row{u"- 1", 0}, Row{u"12abc", 12},
                      Row{u"007", 7}, Row{u"2147483647", 2147483647},
                      Row{u"2147483648", 2147483647}, Row{u"-2147483648", INT32_MIN},
                      Row{u"-2147483649", INT32_MIN}, Row{u"99999999999999999999", 2147483647},
                      Row{u"-99999999999999999999999999", INT32_MIN},
                      // Full-width digits are not decimal digits to _wtoi.
                      Row{u"\uFF11", 0}));

}  // namespace
