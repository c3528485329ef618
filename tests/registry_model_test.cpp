// The registry model the .reg text and the stand-in share (regtext::Tree),
// and what the stand-in adds on top of it: handles that notice their key is
// gone, the masks and options in the call log, and thrown failures.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "support/reg_text.h"
#include "tests/test_registry.h"

namespace {

using regtext::ValueList;

regtext::Value Text(std::u16string_view text) {
  return {regtext::kTypeString, regtext::StringBytes(text)};
}

std::vector<std::u16string> NamesOf(const ValueList& values) {
  std::vector<std::u16string> names;
  for (const regtext::NamedValue& value : values) names.push_back(value.name);
  return names;
}

std::u16string TextAt(const ValueList& values, std::u16string_view name) {
  const regtext::NamedValue* value = values.Find(name);
  return value == nullptr ? u"<missing>" : regtext::TextOf(value->value.bytes);
}

TEST(ValueListTest, FindsNamesFoldingAsciiOnly) {
  ValueList values;
  values.Store(u"mIsColor", Text(u"1"));
  values.Store(u"\u00E9t\u00E9", Text(u"2"));
  const std::vector<std::pair<std::u16string, std::u16string>> rows = {
      {u"mIsColor", u"1"},        {u"MISCOLOR", u"1"},      {u"miscolor", u"1"},
      {u"mIsColo", u"<missing>"}, {u"\u00E9T\u00E9", u"2"}, {u"\u00C9t\u00E9", u"<missing>"},
  };
  for (const auto& [name, text] : rows) EXPECT_EQ(TextAt(values, name), text) << name.size();
}

TEST(ValueListTest, KeepsTheOrderAndCaseOfTheFirstStore) {
  ValueList values;
  for (const char16_t* name : {u"b", u"A", u"c", u"d"}) values.Store(name, Text(name));
  values.Store(u"a", Text(u"again"));  // an overwrite keeps "A" and its place
  EXPECT_TRUE(values.Erase(u"C"));
  EXPECT_FALSE(values.Erase(u"c"));
  values.Store(u"C", Text(u"new"));  // erased and stored again: last
  EXPECT_EQ(NamesOf(values), (std::vector<std::u16string>{u"b", u"A", u"d", u"C"}));
  EXPECT_EQ(TextAt(values, u"A"), u"again");
  EXPECT_EQ(values.size(), 4u);
}

TEST(ValueListTest, ACopyHasItsOwnIndex) {
  ValueList original;
  for (const char16_t* name : {u"one", u"two", u"three"}) original.Store(name, Text(name));
  ValueList copy = original;
  original.Erase(u"two");
  original.Store(u"one", Text(u"changed"));
  EXPECT_EQ(TextAt(copy, u"TWO"), u"two");
  EXPECT_EQ(TextAt(copy, u"one"), u"one");
  EXPECT_EQ(NamesOf(copy), (std::vector<std::u16string>{u"one", u"two", u"three"}));

  ValueList moved = std::move(copy);
  EXPECT_EQ(TextAt(moved, u"Three"), u"three");
  copy = moved;  // assigned back after the move
  EXPECT_TRUE(copy.Erase(u"three"));
  EXPECT_EQ(TextAt(moved, u"three"), u"three");
}

TEST(TreeTest, DetachHandsOverTheKeyWithEverythingBelow) {
  regtext::Tree tree;
  tree.FindCreating({u"A", u"B", u"C"}).values.Store(u"x", Text(u"1"));
  std::unique_ptr<regtext::Tree::Key> detached = tree.Detach({u"a", u"b"});
  ASSERT_NE(detached, nullptr);
  EXPECT_EQ(detached->name, u"B");
  ASSERT_NE(detached->Child(u"c"), nullptr);
  EXPECT_EQ(TextAt(detached->Child(u"c")->values, u"x"), u"1");
  EXPECT_EQ(tree.Find({u"A", u"B"}), nullptr);
  EXPECT_NE(tree.Find({u"A"}), nullptr);
  EXPECT_EQ(tree.Detach({u"A", u"B"}), nullptr);
  EXPECT_EQ(tree.Detach({}), nullptr);
}

class StandinModelTest : public ::testing::Test {
 protected:
  void SetUp() override { testreg::Reset(); }
  void TearDown() override { testreg::Reset(); }

  static HKEY Create(const char16_t* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    return key;
  }

  static LSTATUS Query(HKEY key, const char16_t* name) {
    DWORD size = 0;
    return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size);
  }
};

TEST_F(StandinModelTest, AHandleOnARemovedKeyDoesNotReachItsSuccessor) {
  HKEY key = Create(u"K\\Sub");
  HKEY parent = Create(u"K");
  ASSERT_TRUE(testreg::RemoveKey(u"k"));
  testreg::SetString(u"K\\Sub", u"v", u"new");  // the same path, a new key
  EXPECT_EQ(Query(key, u"v"), regstandin::ERROR_KEY_DELETED);
  EXPECT_EQ(Query(parent, u"v"), regstandin::ERROR_KEY_DELETED);
  EXPECT_EQ(regstandin::OpenHandlePaths(), (std::vector<std::u16string>{u"K\\Sub", u"K"}));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
}

TEST_F(StandinModelTest, AnImportThatRemovesAKeyLeavesItsHandlesDeleted) {
  HKEY key = Create(u"Gone");
  HKEY kept = Create(u"Kept");
  std::string error;
  ASSERT_TRUE(testreg::ImportRegText(
      "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_CURRENT_USER\\gone]\r\n", error))
      << error;
  EXPECT_EQ(Query(key, u"x"), regstandin::ERROR_KEY_DELETED);
  EXPECT_EQ(Query(kept, u"x"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  RegCloseKey(kept);
}

TEST_F(StandinModelTest, NamesWithLoneSurrogatesSurviveSaveAndLoad) {
  const std::u16string key = std::u16string(u"K") + char16_t(0xD800);
  const std::u16string name = std::u16string{char16_t(0xDC01), u'v'};
  testreg::SetString(key, name, u"1");
  const std::string text = testreg::ExportRegText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\K\xED\xA0\x80]"), std::string::npos) << text;
  testreg::Reset();
  std::string error;
  ASSERT_TRUE(testreg::ImportRegText(text, error)) << error;
  EXPECT_EQ(testreg::GetString(key, name), u"1");
  EXPECT_EQ(testreg::ExportRegText(), text);
}

TEST_F(StandinModelTest, TheLogKeepsAccessAndOptionsOfOpensAndCreates) {
  HKEY created = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, u"K", 0, nullptr, 1, KEY_READ, nullptr, &created, nullptr);
  HKEY opened = nullptr;
  RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, 0x20006, &opened);
  HKEY old = nullptr;
  RegOpenKeyW(HKEY_CURRENT_USER, u"K", &old);
  for (HKEY key : {created, opened, old}) RegCloseKey(key);

  const std::vector<testreg::LogEntry> log = testreg::Log();
  ASSERT_EQ(log.size(), 6u);
  const std::vector<std::pair<REGSAM, DWORD>> expected = {{KEY_READ, 1}, {0x20006, 0}, {0, 0},
                                                          {0, 0},        {0, 0},       {0, 0}};
  for (std::size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].access, expected[i].first) << testreg::Describe(log[i]);
    EXPECT_EQ(log[i].options, expected[i].second) << testreg::Describe(log[i]);
  }
  EXPECT_EQ(testreg::Describe(log[0]), "RegCreateKeyExW K options=1 access=0x20019 -> 0");
  EXPECT_EQ(testreg::Describe(log[1]), "RegOpenKeyExW K options=0 access=0x20006 -> 0");
  EXPECT_EQ(testreg::Describe(log[2]), "RegOpenKeyW K -> 0");
}

TEST_F(StandinModelTest, ThrowOnCallThrowsOnceAtTheCountedCall) {
  struct Row {
    std::size_t nth;
    std::string function;
    std::size_t throwsAt;  // index of the call below that throws
  };
  const std::vector<Row> rows = {
      {1, "", 0}, {2, "", 1}, {3, "", 2}, {1, "RegSetValueExW", 1}, {2, "RegOpenKeyExW", 3}};
  for (const Row& row : rows) {
    testreg::Reset();
    testreg::ThrowOnCall(row.nth, row.function);
    std::vector<bool> threw;
    HKEY key = nullptr;
    auto attempt = [&](auto call) {
      try {
        call();
        threw.push_back(false);
      } catch (const std::bad_alloc&) {
        threw.push_back(true);
      }
    };
    const auto bytes = regtext::StringBytes(u"1");
    attempt([&] { key = Create(u"K"); });
    attempt([&] { RegSetValueExW(key, u"v", 0, REG_SZ, bytes.data(), DWORD(bytes.size())); });
    RegCloseKey(key);  // never counted
    for (int i = 0; i < 3; ++i) {
      attempt([&] {
        RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_READ, &key);
        RegCloseKey(key);
      });
    }
    std::vector<bool> expected(5, false);
    expected[row.throwsAt] = true;
    EXPECT_EQ(threw, expected) << row.nth << " " << row.function;
  }
}

TEST_F(StandinModelTest, AThrownCallChangesAndLogsNothingAndResetDisarms) {
  testreg::ThrowOnCall(1, "RegCreateKeyExW");
  HKEY key = nullptr;
  EXPECT_THROW(RegCreateKeyExW(HKEY_CURRENT_USER, u"K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &key, nullptr),
               std::bad_alloc);
  EXPECT_FALSE(testreg::KeyExists(u"K"));
  EXPECT_TRUE(testreg::Log().empty());
  EXPECT_EQ(regstandin::OpenHandleCount(), 0u);

  testreg::ThrowOnCall(1);
  testreg::Reset();
  EXPECT_NO_THROW(RegCloseKey(Create(u"K")));
}

}  // namespace
