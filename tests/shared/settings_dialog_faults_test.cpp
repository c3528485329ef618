// The settings dialog when things go wrong: the module running out of memory
// anywhere on the dialog's path, and a message the dialog never asked for.
// Whatever fails, the host's event is answered, the host's window takes
// input again, a dialog that could not load the settings never shows, and no
// setting changes that the user did not click.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/resource.h"
#include "shared/module_test.h"

namespace shared {
namespace {

constexpr int kOk = 1;

// Stored before the dialog opens, in the store's order: on and off mixed, so
// that a box shown unchecked, or a "0" written over a "1", shows.
const std::vector<int> kBefore = {1, 0, 1, 1, 0, 1, 1};
const std::vector<int> kBoxes = {IDC_COLOR,     IDC_LTYPE,    IDC_LAYER,     IDC_DECIMAL_PLACE,
                                 IDC_TOLERANCE, IDC_DIM_SIZE, IDC_HOLE_LAYER};
constexpr std::size_t kClicked = 4;  // tolerance, off before

std::u16string Text(int flag) { return flag != 0 ? u"1" : u"0"; }

class SharedSettingsDialogFaults : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    // With its trace off the simulated host allocates nothing, so that
    // every allocation made to fail below is the module's.
    host().SetTracing(false);
    if (platform().WithoutWindows().empty()) {
      window_ = platform().ShowHostWindow();
      ASSERT_NE(window_, nullptr);
    }
  }
  void TearDown() override {
    platform().FailModuleAllocation(0);
    ModuleTest::TearDown();
  }

  // After every ending, good or bad.
  void ExpectAnsweredAndHostTakingInput() {
    EXPECT_EQ(host().LastExecuteResult(), 3);
    EXPECT_TRUE(host().CommandActive());
    if (window_ != nullptr) {
      EXPECT_TRUE(window_->IsEnabled()) << "the host's window was left disabled";
    }
  }

  std::unique_ptr<HostWindow> window_;
};

TEST_F(SharedSettingsDialogFaults, EachAllocationFailingInTurnChangesNoSettingTheUserDidNotClick) {
  int failedBeforeShowing = 0;
  int failedAfterShowing = 0;
  for (long failing = 1;; ++failing) {
    SCOPED_TRACE("the module's allocation " + std::to_string(failing) + " fails");
    StoreSettings(kBefore);
    ASSERT_TRUE(host().RunCommand());
    std::vector<int> shownBoxes;

    platform().FailModuleAllocation(failing);
    const DialogRun run = platform().PressExitAndPlay([&shownBoxes](DialogUser& user) {
      for (int box : kBoxes) shownBoxes.push_back(user.IsChecked(box) ? 1 : 0);
      // The user switches tolerance on and confirms.
      user.Click(kBoxes[kClicked]);
      user.Click(kOk);
    });
    const bool failed = platform().ModuleAllocationFailed();
    platform().FailModuleAllocation(0);

    ExpectAnsweredAndHostTakingInput();
    // A dialog that shows, shows the settings as stored.
    if (run.shown) {
      EXPECT_EQ(shownBoxes, kBefore);
    }
    const std::vector<std::u16string> stored = StoredSettings();
    for (std::size_t i = 0; i < kBefore.size(); ++i) {
      if (i == kClicked) {
        EXPECT_TRUE(stored[i] == u"0" || stored[i] == u"1") << Utf8(stored[i]);
      } else {
        EXPECT_EQ(stored[i], Text(kBefore[i])) << "setting " << i << " changed unclicked";
      }
    }
    (run.shown ? failedAfterShowing : failedBeforeShowing) += failed ? 1 : 0;
    if (!failed) {
      // Past the path's last allocation: everything went through.
      EXPECT_TRUE(run.shown);
      EXPECT_EQ(stored[kClicked], u"1");
      break;
    }
    ASSERT_LT(failing, 10000) << "the dialog's path never stops allocating";
  }
  // Loading the dialog allocates, and so does what follows (the click,
  // saving, reloading): each of those allocations has been made to fail.
  EXPECT_GT(failedBeforeShowing, 0);
  EXPECT_GT(failedAfterShowing, 0);
}

TEST_F(SharedSettingsDialogFaults, AStrayInitDialogChangesNothing) {
  StoreSettings(kBefore);
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = platform().PressExitAndPlay([](DialogUser& user) {
    // Stored behind the open dialog's back: an initialisation run again
    // would show it.
    StoreText(u"mIsColor", u"0");
    // The dialog is initialised already and takes nothing of another
    // program's lParam for its own.
    EXPECT_EQ(user.SendInitDialog(0x1234), 0);
    EXPECT_EQ(user.SendInitDialog(0), 0);
    EXPECT_TRUE(user.IsChecked(IDC_COLOR)) << "the settings were loaded again";
    // Still the same dialog: a click reaches it and is stored.
    user.Click(kBoxes[kClicked]);
    EXPECT_EQ(Stored(u"mIsTolerance"), u"1");
    user.Click(kOk);
  });
  EXPECT_TRUE(run.shown);
  EXPECT_TRUE(run.endedByPlay);
  ExpectAnsweredAndHostTakingInput();
  // OK stored the dialog's own copy, colour on included.
  EXPECT_EQ(StoredSettings(),
            (std::vector<std::u16string>{u"1", u"0", u"1", u"1", u"1", u"1", u"1"}));
}

}  // namespace
}  // namespace shared
