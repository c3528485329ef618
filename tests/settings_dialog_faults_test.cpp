// Running out of memory anywhere on the settings dialog's path, and messages
// the dialog never asked for. Whatever fails, the host's event is answered, a
// dialog that could not load the settings never shows, and no setting changes
// that the user did not click.
#include <array>
#include <string>

#include "command_dialog_fixture.h"
#include "counting_new.h"
#include "settings/settings_flags.h"

namespace {

// Stored before the dialog opens, in the order of kSettings: on and off
// mixed, so that a box shown unchecked, or a "0" written over a "1", shows.
const std::vector<int> kBefore = {1, 0, 1, 1, 0, 1, 1};
constexpr std::size_t kClicked = 4;  // tolerance, off before
constexpr int kClickedBox = 12005;

class DialogFaultTest : public CommandWithDialogTest {
 protected:
  void SetUp() override {
    CommandWithDialogTest::SetUp();
    // With its trace off the simulated host allocates nothing, so each
    // allocation counted below is the module's, the dialog manager's or the
    // registry's.
    host().SetTracing(false);
  }

  // The user switches tolerance on and confirms.
  void PlayClickAndOk(bool& shown, std::array<bool, 7>& boxes) {
    dlgstandin::SetDriver([&shown, &boxes](dlgstandin::OpenDialog& dialog) {
      shown = true;
      for (std::size_t i = 0; i < kSettings.size(); ++i) {
        boxes[i] = dialog.IsChecked(kSettings[i].boxId);
      }
      dialog.Click(kClickedBox);
      dialog.Click(IDOK);
    });
  }
};

TEST_F(DialogFaultTest, EachAllocationFailingInTurnChangesNoSettingTheUserDidNotClick) {
  int failedBeforeShowing = 0;
  int failedAfterShowing = 0;
  long failing = 1;
  for (;; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing) + " fails");
    StoreSettings(kBefore);
    ASSERT_TRUE(host().RunCommand());
    bool shown = false;
    std::array<bool, 7> boxes{};
    PlayClickAndOk(shown, boxes);

    counting_new::FailAfter(failing);
    ASSERT_TRUE(host().PressExit());
    const bool failed = counting_new::Failed();
    counting_new::FailAfter(0);

    EXPECT_EQ(host().LastExecuteResult(), 3);
    EXPECT_TRUE(host().CommandActive());
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
      SCOPED_TRACE("setting " + std::to_string(i));
      // A dialog that shows, shows the settings as stored.
      if (shown) {
        EXPECT_EQ(boxes[i], kBefore[i] != 0);
      }
      const std::u16string stored = Stored(kSettings[i].name);
      if (i == kClicked) {
        EXPECT_TRUE(stored == u"0" || stored == u"1");
      } else {
        EXPECT_EQ(stored, FlagText(kBefore[i]));
        EXPECT_EQ(SettingsFlags.*(kSettings[i].flag), kBefore[i]);
      }
    }
    (shown ? failedAfterShowing : failedBeforeShowing) += failed ? 1 : 0;
    if (!failed) {
      // Past the last allocation of the path: everything went through.
      EXPECT_TRUE(shown);
      EXPECT_EQ(Stored(kSettings[kClicked].name), u"1");
      EXPECT_EQ(SettingsFlags.mIsTolerance, 1);
      break;
    }
    ASSERT_LT(failing, 100000) << "the path never stops allocating";
  }
  // Both loading the dialog and what follows (the click, saving, reloading)
  // allocate, and each of those allocations has been made to fail.
  EXPECT_GT(failedBeforeShowing, 0);
  EXPECT_GT(failedAfterShowing, 0);
}

TEST_F(DialogFaultTest, AStrayInitDialogChangesNothing) {
  StoreSettings(kBefore);
  ASSERT_TRUE(host().RunCommand());
  std::size_t checksBefore = 0;
  dlgstandin::SetDriver([&](dlgstandin::OpenDialog& dialog) {
    regstandin::ClearLog();
    checksBefore = dlgstandin::CheckLog().size();
    // Another program's WM_INITDIALOG carries what it likes in lParam; the
    // dialog is already initialised and takes none of it as its object.
    EXPECT_EQ(dialog.SendMessage(WM_INITDIALOG, 0, 0x1234), 0);
    EXPECT_EQ(dialog.SendMessage(WM_INITDIALOG, 0, 0), 0);
    EXPECT_TRUE(regstandin::Log().empty()) << "the settings were read again";
    EXPECT_EQ(dlgstandin::CheckLog().size(), checksBefore) << "the boxes were set again";
    // Still the same dialog: the click reaches it and is stored.
    dialog.Click(kClickedBox);
    dialog.Click(IDOK);
  });

  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(host().LastExecuteResult(), 3);
  EXPECT_EQ(Stored(kSettings[kClicked].name), u"1");
  EXPECT_EQ(SettingsFlags.mIsTolerance, 1);
}

}  // namespace
