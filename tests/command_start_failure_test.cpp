// The start function when loading the settings throws: nothing reaches the
// host, the command still opens at the source prompt, and the start function
// gives 0. Each registry call of a load in turn is made to throw, as running
// out of memory would make the load throw wherever it happens to be.
#include <new>
#include <string>

#include "command_fixture.h"

namespace {

// The registry calls logged so far, closes left out (they never throw).
std::size_t CallsMade() {
  std::size_t calls = 0;
  for (const testreg::LogEntry& entry : testreg::Log()) {
    if (entry.function != "RegCloseKey") ++calls;
  }
  return calls;
}

using StartFailureTest = CommandTest;

TEST_F(StartFailureTest, AThrowingLoadStillOpensTheSourceStep) {
  host().RunCommand();  // a load on an empty registry, to count its calls
  const std::size_t calls = CallsMade();
  ASSERT_GT(calls, 7u);  // seven reads at least, and the defaults written
  for (std::size_t nth = 1; nth <= calls; ++nth) {
    SCOPED_TRACE("registry call " + std::to_string(nth) + " throws");
    testreg::Reset();
    host().Reset();
    SettingsFlags = {};
    ASSERT_EQ(host().Register(Startup), 0);
    testreg::ThrowOnCall(nth);

    EXPECT_NO_THROW(host().RunCommand());

    EXPECT_EQ(CallsMade(), nth - 1) << "the load went on after the throw";
    ASSERT_FALSE(host().Callbacks().empty());
    EXPECT_EQ(host().Callbacks().back().which, "start");
    EXPECT_EQ(host().Callbacks().back().result, 0);
    EXPECT_TRUE(host().CommandActive());
    EXPECT_EQ(host().CallsTo("VekCtlSetExecuteFunc").size(), 1u);
    EXPECT_EQ(host().CurrentPrompt().rfind(u"속성참조할 원본형상지시", 0), 0u);
    EXPECT_EQ(regstandin::OpenHandleCount(), 0u) << "a key stayed open";
  }
}

TEST_F(StartFailureTest, TheNextRunLoadsAgain) {
  testreg::ThrowOnCall(1, "RegOpenKeyExW");
  EXPECT_NO_THROW(host().RunCommand());
  EXPECT_EQ(SettingsFlags.mIsColor, 0);  // as before the first load

  EXPECT_NO_THROW(host().RunCommand());
  EXPECT_EQ(SettingsFlags.mIsColor, 1);
  EXPECT_EQ(Stored(u"IsHoleLayerChanged"), u"0");
}

}  // namespace
