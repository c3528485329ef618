// Counts the shared cases a test program ran and says so at its end, so that
// both sides of the suite show how much of it they held to.
#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#include "shared/platform.h"

namespace shared {
namespace {

bool IsShared(const ::testing::TestInfo& test) {
  const std::string_view suite = test.test_suite_name();
  return suite.starts_with("Shared") || suite.find("/Shared") != std::string_view::npos;
}

class SharedSummary : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& test) override {
    if (!IsShared(test)) return;
    if (test.result()->Skipped()) {
      ++skipped_;
    } else {
      ++ran_;
      if (test.result()->Failed()) ++failed_;
    }
  }

  void OnTestProgramEnd(const ::testing::UnitTest&) override {
    if (ran_ + skipped_ == 0) return;
    // A summary that cannot be printed changes no test's result.
    (void)std::printf("shared suite on %s: %d cases ran, %d failed, %d skipped\n",
                      CurrentPlatform().Name(), ran_, failed_, skipped_);
    (void)std::fflush(stdout);
  }

  int ran_ = 0;
  int failed_ = 0;
  int skipped_ = 0;
};

// Listeners are taken until the tests start; gtest owns and deletes this one.
const bool kInstalled = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new SharedSummary);
  return true;
}();

}  // namespace
}  // namespace shared
