// The one reader of whole inputs: each outcome, and the bound exactly.
#include "support/whole_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class WholeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("whole-file-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path Write(const std::string& text) {
    fs::path path = folder_ / "input";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  fs::path folder_;
};

TEST_F(WholeFileTest, ReadsUpToTheBoundAndRefusesOneByteMore) {
  struct Case {
    size_t size;
    size_t limit;
    wholefile::Outcome outcome;
  };
  // 65536 is the reader's buffer: the bound on either side of one buffer.
  for (const Case& c :
       {Case{0, 0, wholefile::Outcome::kRead}, Case{1, 0, wholefile::Outcome::kTooLarge},
        Case{10, 10, wholefile::Outcome::kRead}, Case{11, 10, wholefile::Outcome::kTooLarge},
        Case{65536, 65536, wholefile::Outcome::kRead},
        Case{65537, 65536, wholefile::Outcome::kTooLarge},
        Case{200000, 200000, wholefile::Outcome::kRead},
        Case{200000, 199999, wholefile::Outcome::kTooLarge}}) {
    const std::string text(c.size, 'x');
    std::string read = "left over";
    const wholefile::Result result = wholefile::Read(Write(text), c.limit, read);
    EXPECT_EQ(result.outcome, c.outcome) << c.size << " bytes, bound " << c.limit;
    if (c.outcome == wholefile::Outcome::kRead) {
      EXPECT_EQ(read, text);
    }
  }
}

TEST_F(WholeFileTest, TellsAMissingFileAndAFolderApart) {
  std::string text;
  EXPECT_EQ(wholefile::Read(folder_ / "none", 100, text).outcome, wholefile::Outcome::kMissing);
  EXPECT_EQ(wholefile::Read(folder_, 100, text).outcome, wholefile::Outcome::kFolder);
}

TEST_F(WholeFileTest, ReadsAStreamToItsEndWithinTheBound) {
  const fs::path path = Write("a stream\n");
  for (const auto& [limit, outcome] :
       {std::pair{9u, wholefile::Outcome::kRead}, std::pair{8u, wholefile::Outcome::kTooLarge}}) {
    std::FILE* stream = std::fopen(path.string().c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    std::string text;
    EXPECT_EQ(wholefile::Read(stream, limit, text).outcome, outcome) << limit;
    if (outcome == wholefile::Outcome::kRead) {
      EXPECT_EQ(text, "a stream\n");
    }
    EXPECT_EQ(std::fclose(stream), 0);
  }
}

}  // namespace
