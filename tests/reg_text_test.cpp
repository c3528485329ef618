// The regedit text format on its own: read into a plain tree, changed there,
// written out. What the tree writes is held to literal texts, byte for byte:
// the registry files of vekhost's two builds and their golden files are
// compared with it.
#include "support/reg_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

regtext::Tree TreeOf(const std::string& text) {
  std::vector<regtext::Change> changes;
  regtext::ParseError error;
  EXPECT_TRUE(regtext::Parse(text, changes, error)) << error.line << ": " << error.problem;
  regtext::Tree tree;
  tree.Apply(changes);
  return tree;
}

std::vector<std::u16string> Path(std::u16string_view path) {
  std::vector<std::u16string> parts;
  EXPECT_EQ(regtext::SplitPath(path, parts), regtext::PathProblem::kNone);
  return parts;
}

// Sections in the case-insensitive order of their names, each key with its
// parents, values in the order first stored and under their first spelling.
TEST(RegText, TheTreeWritesTheseTextsByteForByte) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {kHeader, kHeader},
      {kHeader + "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\Sorvane]\r\n"
                 "\"mIsColor\"=\"0\"\r\n\"mIsLType\"=\"1\"\r\n\"IsHoleLayerChanged\"=\"1\"\r\n",
       kHeader +
           "[HKEY_CURRENT_USER\\SOFTWARE]\r\n\r\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow]\r\n\r\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK]\r\n\r\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\Sorvane]\r\n"
           "\"mIsColor\"=\"0\"\r\n\"mIsLType\"=\"1\"\r\n\"IsHoleLayerChanged\"=\"1\"\r\n\r\n"},
      // Values in no particular order, every kind of data, a default value,
      // wrapped hex, keys listed out of order and in mixed case.
      {kHeader +
           "[HKEY_CURRENT_USER\\b]\r\n\"z\"=\"last\"\r\n\"a\"=dword:2A\r\n"
           "@=\"default\"\r\n\"Raw\"=hex(1):31,00\r\n"
           "\"Blob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
           "  ab,ab,ab,ab,ab,ab,ab,ab\r\n\r\n"
           "[HKEY_CURRENT_USER\\A\\c]\r\n\"Path\"=\"C:\\\\a \\\"b\\\" \xED\x95\x9C\"\r\n"
           "[HKEY_CURRENT_USER\\a\\B]\r\n",
       kHeader +
           "[HKEY_CURRENT_USER\\A]\r\n\r\n"
           "[HKEY_CURRENT_USER\\A\\B]\r\n\r\n"
           "[HKEY_CURRENT_USER\\A\\c]\r\n\"Path\"=\"C:\\\\a \\\"b\\\" \xED\x95\x9C\"\r\n\r\n"
           "[HKEY_CURRENT_USER\\b]\r\n\"z\"=\"last\"\r\n\"a\"=dword:0000002a\r\n"
           "@=\"default\"\r\n\"Raw\"=hex(1):31,00\r\n"
           "\"Blob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
           "  ab,ab,ab,ab,ab,ab,ab,ab\r\n\r\n"},
      // Overwrites keep the first spelling and place; removals of values and
      // of whole keys; values on the root.
      {kHeader + "[HKEY_CURRENT_USER\\K]\r\n\"One\"=\"1\"\r\n\"Two\"=\"2\"\r\n\"three\"=\"3\"\r\n"
                 "[HKEY_CURRENT_USER\\k]\r\n\"ONE\"=\"uno\"\r\n\"Two\"=-\r\n\"Two\"=\"zwei\"\r\n"
                 "[HKEY_CURRENT_USER\\K\\Gone\\Deeper]\r\n\"x\"=\"y\"\r\n"
                 "[-HKEY_CURRENT_USER\\K\\Gone]\r\n"
                 "[HKEY_CURRENT_USER]\r\n\"top\"=\"t\"\r\n",
       kHeader + "[HKEY_CURRENT_USER]\r\n\"top\"=\"t\"\r\n\r\n"
                 "[HKEY_CURRENT_USER\\K]\r\n\"One\"=\"uno\"\r\n\"three\"=\"3\"\r\n\"Two\"="
                 "\"zwei\"\r\n\r\n"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(TreeOf(text).Export(), expected) << text;
}

// Data of every shape is written so that reading it back gives its type and
// its exact bytes.
TEST(RegText, EveryValueComesBackWithItsTypeAndExactBytes) {
  const std::vector<regtext::NamedValue> values = {
      {u"terminated", {regtext::kTypeString, {'1', 0, 0, 0}}},
      {u"unterminated", {regtext::kTypeString, {'1', 0, '2', 0}}},
      {u"odd", {regtext::kTypeString, {'7', 0, '8'}}},
      {u"embedded NUL", {regtext::kTypeString, {'a', 0, 0, 0, 'b', 0, 0, 0}}},
      {u"empty", {regtext::kTypeString, {}}},
      {u"binary", {regtext::kTypeBinary, {0, 0xFF, 0, 0x10}}},
      {u"dword", {regtext::kTypeDword, {0x78, 0x56, 0x34, 0x12}}},
      {u"short dword", {regtext::kTypeDword, {1, 2, 3}}},
      {u"", {7, {'a', 0, 0, 0, 0, 0}}},
  };
  const std::string text = kHeader +
                           "[HKEY_CURRENT_USER\\K]\r\n"
                           "\"terminated\"=\"1\"\r\n"
                           "\"unterminated\"=hex(1):31,00,32,00\r\n"
                           "\"odd\"=hex(1):37,00,38\r\n"
                           "\"embedded NUL\"=hex(1):61,00,00,00,62,00,00,00\r\n"
                           "\"empty\"=hex(1):\r\n"
                           "\"binary\"=hex:00,ff,00,10\r\n"
                           "\"dword\"=dword:12345678\r\n"
                           "\"short dword\"=hex(4):01,02,03\r\n"
                           "@=hex(7):61,00,00,00,00,00\r\n\r\n";
  regtext::Tree tree;
  for (const regtext::NamedValue& value : values) {
    tree.FindCreating(Path(u"K")).values.Store(value.name, value.value);
  }
  EXPECT_EQ(tree.Export(), text);
  const regtext::Tree back = TreeOf(text);
  ASSERT_NE(back.Find(Path(u"K")), nullptr);
  for (const regtext::NamedValue& value : values) {
    const regtext::NamedValue* read = back.Find(Path(u"K"))->values.Find(value.name);
    ASSERT_NE(read, nullptr) << value.name.size();
    EXPECT_EQ(read->value, value.value) << read->name.size();
  }
}

TEST(RegText, ReplacingAKeyKeepsEverythingAroundIt) {
  regtext::Tree tree = TreeOf(kHeader +
                              "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"kept\"=\"1\"\r\n"
                              "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\Sorvane]\r\n"
                              "\"old\"=\"1\"\r\n"
                              "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\Sorvane\\Sub]\r\n");
  auto fresh = std::make_unique<regtext::Tree::Key>();
  fresh->values.Store(u"mIsColor", {regtext::kTypeString, regtext::StringBytes(u"1")});
  tree.Replace(Path(u"SOFTWARE\\DENMARROW\\VEK\\SORVANE"), std::move(fresh));
  EXPECT_EQ(tree.Export(), kHeader +
                               "[HKEY_CURRENT_USER\\SOFTWARE]\r\n\r\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow]\r\n\r\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK]\r\n\r\n"
                               // The replacement is named as the path spells it.
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Denmarrow\\VEK\\SORVANE]\r\n"
                               "\"mIsColor\"=\"1\"\r\n\r\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"kept\"=\"1\"\r\n\r\n");

  EXPECT_TRUE(tree.Remove(Path(u"SOFTWARE\\Denmarrow\\VEK\\Sorvane")));
  EXPECT_FALSE(tree.Remove(Path(u"SOFTWARE\\Denmarrow\\VEK\\Sorvane")));
  EXPECT_FALSE(tree.Remove({}));
  EXPECT_EQ(tree.Find(Path(u"SOFTWARE\\Denmarrow\\VEK\\Sorvane")), nullptr);
  ASSERT_NE(tree.Find(Path(u"software\\other")), nullptr);
  EXPECT_EQ(tree.Find(Path(u"software\\other"))->values.size(), 1u);
}

TEST(RegText, ABadTextGivesItsLineAndNoChanges) {
  std::vector<regtext::Change> changes;
  regtext::ParseError error;
  EXPECT_FALSE(regtext::Parse(kHeader + "[HKEY_CURRENT_USER\\S]\r\n\"a\"=\"b\"\r\n\"c\"=word:1\r\n",
                              changes, error));
  EXPECT_EQ(error.line, 5u);
  EXPECT_EQ(error.problem.rfind("expected \"text\", dword:", 0), 0u) << error.problem;
  EXPECT_TRUE(changes.empty());
}

// Continuations are joined the same whatever blanks lead the value or stand
// before each "\"; a value line that ends the text after "\" is an error.
TEST(RegText, ContinuedValuesJoinWhateverTheBlanks) {
  const struct {
    std::string lines;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"\"v\"=hex:01,\\\r\n  02\r\n", {1, 2}},
      {"      \"v\"=hex:01,\\\r\n  02,\\\r\n\t03\r\n", {1, 2, 3}},
      {"\"v\"=hex:01,   \\\r\n  02,\t\\  \r\n03\r\n", {1, 2, 3}},
      {"\t \"v\"=hex:01,\\\r\n\\\r\n\\\r\n02\r\n", {1, 2}},
  };
  for (const auto& c : cases) {
    const regtext::Tree tree = TreeOf(kHeader + "[HKEY_CURRENT_USER\\S]\r\n" + c.lines);
    const regtext::Tree::Key* key = tree.Find(Path(u"S"));
    ASSERT_NE(key, nullptr) << c.lines;
    const regtext::NamedValue* value = key->values.Find(u"v");
    ASSERT_NE(value, nullptr) << c.lines;
    EXPECT_EQ(value->value.bytes, c.bytes) << c.lines;
  }
  std::vector<regtext::Change> changes;
  regtext::ParseError error;
  EXPECT_FALSE(
      regtext::Parse(kHeader + "[HKEY_CURRENT_USER\\S]\r\n  \"v\"=hex:01,\\\r\n", changes, error));
  EXPECT_EQ(error.line, 4u);
}

// Every value of a section refers to the section's one path, so a deep key
// with many values costs the reader its size, not its size times its depth.
TEST(RegText, TheValuesOfASectionShareItsPath) {
  std::vector<regtext::Change> changes;
  regtext::ParseError error;
  ASSERT_TRUE(regtext::Parse(kHeader + "[HKEY_CURRENT_USER\\A\\B]\r\n\"x\"=\"1\"\r\n\"y\"=-\r\n"
                                       "[HKEY_CURRENT_USER\\C]\r\n\"z\"=\"2\"\r\n",
                             changes, error));
  ASSERT_EQ(changes.size(), 5u);
  EXPECT_EQ(*changes[0].path, Path(u"A\\B"));
  EXPECT_EQ(changes[1].path.get(), changes[0].path.get());
  EXPECT_EQ(changes[2].path.get(), changes[0].path.get());
  EXPECT_EQ(*changes[3].path, Path(u"C"));
  EXPECT_EQ(changes[4].path.get(), changes[3].path.get());
  regtext::Tree tree;
  tree.Apply(changes);
  ASSERT_NE(tree.Find(Path(u"A\\B")), nullptr);
  EXPECT_EQ(tree.Find(Path(u"A\\B"))->values.size(), 1u);
  EXPECT_EQ(tree.Find(Path(u"C"))->values.Find(u"z")->value.bytes, regtext::StringBytes(u"2"));
}

// A file read whole, or an error that names it.
TEST(RegText, ReadFileNamesAFileItCannotRead) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("sorvane-reg-text-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "user.reg").string();
  std::ofstream(file, std::ios::binary) << kHeader;
  std::string text;
  std::string error;
  ASSERT_TRUE(regtext::ReadFile(file, text, error)) << error;
  EXPECT_EQ(text, kHeader);
  const std::string missing = (folder / "missing.reg").string();
  EXPECT_FALSE(regtext::ReadFile(missing, text, error));
  EXPECT_EQ(error.rfind(missing + ": cannot be read", 0), 0u) << error;
  std::filesystem::remove_all(folder);
}

}  // namespace
