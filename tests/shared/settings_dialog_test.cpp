// The settings dialog as the user meets it: opened with the host's exit
// button, its boxes showing the registry, each click stored at once, and the
// five ways to end it (OK, Enter, Cancel, Esc, the close box). The same
// cases play the headless stand-in on Linux and Windows' real dialog manager
// under Wine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "settings/resource.h"
#include "shared/applied_flags.h"
#include "shared/module_test.h"

namespace shared {
namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kHoleLayerBox = IDC_HOLE_LAYER;
constexpr int kColourBox = IDC_COLOR;
constexpr int kLineTypeBox = IDC_LTYPE;
constexpr int kLayerBox = IDC_LAYER;
constexpr int kDecimalPlaceBox = IDC_DECIMAL_PLACE;
constexpr int kToleranceBox = IDC_TOLERANCE;
constexpr int kDimSizeBox = IDC_DIM_SIZE;

// The boxes in the store's order, as kSettingNames.
const std::vector<int> kBoxes = {kColourBox,    kLineTypeBox, kLayerBox,    kDecimalPlaceBox,
                                 kToleranceBox, kDimSizeBox,  kHoleLayerBox};

std::vector<int> CheckMarks(DialogUser& user) {
  std::vector<int> marks;
  marks.reserve(kBoxes.size());
  for (int box : kBoxes) marks.push_back(user.IsChecked(box) ? 1 : 0);
  return marks;
}

class SharedSettingsDialog : public ModuleTest {
 protected:
  // The exit button's event is answered with 3 once the dialog has gone,
  // and the command stays in its step.
  void ExpectAnsweredAndStillInStep(const DialogRun& run) {
    EXPECT_TRUE(run.shown) << "no dialog appeared";
    EXPECT_TRUE(run.endedByPlay) << "the dialog did not end as the user ended it";
    EXPECT_EQ(host().LastExecuteResult(), 3);
    EXPECT_TRUE(host().CommandActive());
  }

  DialogRun Play(const std::function<void(DialogUser&)>& play) {
    return platform().PressExitAndPlay(play);
  }
};

TEST_F(SharedSettingsDialog, OpeningWithNoKeyWritesTheDefaultsAndShowsThem) {
  ASSERT_TRUE(host().RunCommand());
  platform().DeleteKeyTree(kSettingsKey);

  const DialogRun run = Play([](DialogUser& user) {
    EXPECT_EQ(StoredSettings(), kDefaultTexts);
    EXPECT_EQ(CheckMarks(user), (std::vector<int>{1, 1, 1, 1, 0, 0, 0}));
    EXPECT_FALSE(user.HasControl(12006));
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);
  EXPECT_EQ(StoredSettings(), kDefaultTexts);
}

TEST_F(SharedSettingsDialog, BoxesShowTheStoredSettingsAndTheFocusIsOnOk) {
  StoreSettings({0, 1, 0, 1, 1, 0, 1});
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = Play([](DialogUser& user) {
    EXPECT_EQ(CheckMarks(user), (std::vector<int>{0, 1, 0, 1, 1, 0, 1}));
    // OnInitDialog leaves the focus to the dialog manager: the first tab
    // stop in template order.
    EXPECT_EQ(user.FocusedControl(), kOk);
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);
}

TEST_F(SharedSettingsDialog, EachClickIsStoredAtOnceAndCancelKeepsTheLoadedSettings) {
  ASSERT_TRUE(host().RunCommand());  // defaults: colour on, tolerance off

  const DialogRun run = Play([](DialogUser& user) {
    user.Click(kToleranceBox);
    EXPECT_TRUE(user.IsChecked(kToleranceBox));
    EXPECT_EQ(Stored(u"mIsTolerance"), u"1");
    user.Click(kColourBox);
    EXPECT_FALSE(user.IsChecked(kColourBox));
    EXPECT_EQ(Stored(u"mIsColor"), u"0");
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);

  EXPECT_EQ(StoredSettings(),
            (std::vector<std::u16string>{u"0", u"1", u"1", u"1", u"1", u"0", u"0"}));
  // Not reloaded: the colour is still copied in this run.
  EXPECT_EQ(AppliedFigureFlags(), (std::vector<int>{1, 1, 1, 0}));
  // The next start loads what the clicks stored.
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{0, 1, 1, 1, 1, 0, 0}));
}

class SharedSettingsDialogBox : public SharedSettingsDialog,
                                public ::testing::WithParamInterface<size_t> {};

TEST_P(SharedSettingsDialogBox, ClickedTwiceStoresTheFlippedStateThenTheFirst) {
  const size_t i = GetParam();
  ASSERT_TRUE(host().RunCommand());
  const std::u16string& first = kDefaultTexts[i];
  const std::u16string flipped = first == u"1" ? u"0" : u"1";

  const DialogRun run = Play([&](DialogUser& user) {
    user.Click(kBoxes[i]);
    EXPECT_EQ(Stored(kSettingNames[i]), flipped);
    EXPECT_EQ(user.IsChecked(kBoxes[i]), flipped == u"1");
    user.Click(kBoxes[i]);
    EXPECT_EQ(Stored(kSettingNames[i]), first);
    EXPECT_EQ(user.IsChecked(kBoxes[i]), first == u"1");
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);
  EXPECT_EQ(StoredSettings(), kDefaultTexts);
}

INSTANTIATE_TEST_SUITE_P(EveryBox, SharedSettingsDialogBox, ::testing::Range<size_t>(0, 7),
                         [](const ::testing::TestParamInfo<size_t>& row) {
                           return Utf8(kSettingNames[row.param]);
                         });

TEST_F(SharedSettingsDialog, OkStoresAllSevenAndReloadsThem) {
  StoreText(u"mIsTolerance", u"2");
  StoreText(u"mIsDimSize", u"-1");
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = Play([](DialogUser& user) {
    // Texts other than "1" show as on and are not rewritten by opening.
    EXPECT_EQ(CheckMarks(user), (std::vector<int>{1, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(Stored(u"mIsTolerance"), u"2");
    EXPECT_EQ(Stored(u"mIsDimSize"), u"-1");
    user.Click(kColourBox);
    user.Click(kHoleLayerBox);
    user.Click(kOk);
  });
  ExpectAnsweredAndStillInStep(run);

  EXPECT_EQ(StoredSettings(),
            (std::vector<std::u16string>{u"0", u"1", u"1", u"1", u"1", u"1", u"1"}));
  // Reloaded: this run already goes by the new settings.
  PickFigureSource();
  EXPECT_EQ(host().CurrentPrompt(),
            u"변경할 형상 범위지시<현재=선종ㆍ레이어>  : (종료버튼:설정창)");
  EXPECT_EQ(SelectFigureTargets(), (std::vector<int>{0, 1, 1, 1}));
}

TEST_F(SharedSettingsDialog, OkWithoutAClickRewritesTheTexts) {
  StoreText(u"mIsDecimalPlace", u"7");
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = Play([](DialogUser& user) { user.Click(kOk); });
  ExpectAnsweredAndStillInStep(run);
  EXPECT_EQ(StoredSettings(), kDefaultTexts);
}

struct EndingRow {
  const char* name;
  void (*end)(DialogUser&);
  bool reloads;
};

void PrintTo(const EndingRow& row, std::ostream* os) { *os << row.name; }

class SharedSettingsDialogEnding : public SharedSettingsDialog,
                                   public ::testing::WithParamInterface<EndingRow> {};

// The line type box is clicked, then the dialog ended: the click is stored
// either way, and only OK reloads it into the running command.
TEST_P(SharedSettingsDialogEnding, DecidesWhetherTheRunGoesByTheClicks) {
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = Play([](DialogUser& user) {
    user.Click(kLineTypeBox);
    GetParam().end(user);
  });
  ExpectAnsweredAndStillInStep(run);

  EXPECT_EQ(Stored(u"mIsLType"), u"0");
  PickFigureSource();
  EXPECT_EQ(host().CurrentPrompt(),
            GetParam().reloads
                ? u"변경할 형상 범위지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)"
                : u"변경할 형상 범위지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)")
      << Utf8(host().CurrentPrompt());
  EXPECT_EQ(SelectFigureTargets(), (std::vector<int>{1, GetParam().reloads ? 0 : 1, 1, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, SharedSettingsDialogEnding,
    ::testing::Values(EndingRow{"Ok", [](DialogUser& u) { u.Click(kOk); }, true},
                      EndingRow{"Enter", [](DialogUser& u) { u.PressEnter(); }, true},
                      EndingRow{"Cancel", [](DialogUser& u) { u.Click(kCancel); }, false},
                      EndingRow{"Escape", [](DialogUser& u) { u.PressEscape(); }, false},
                      EndingRow{"CloseBox", [](DialogUser& u) { u.PressCloseBox(); }, false}),
    [](const ::testing::TestParamInfo<EndingRow>& row) { return row.param.name; });

TEST_F(SharedSettingsDialog, OpeningConvertsALegacyType) {
  ASSERT_TRUE(host().RunCommand());
  StoreText(u"Type", u"1");

  const DialogRun run = Play([](DialogUser& user) {
    EXPECT_EQ(Stored(u"Type"), u"<missing>");
    EXPECT_EQ(CheckMarks(user), (std::vector<int>{0, 0, 1, 1, 0, 0, 0}));
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);

  EXPECT_EQ(StoredSettings(),
            (std::vector<std::u16string>{u"0", u"0", u"1", u"1", u"0", u"0", u"0"}));
  // The dialog has its own copy: the command's settings are as loaded.
  EXPECT_EQ(AppliedFigureFlags(), (std::vector<int>{1, 1, 1, 0}));
}

TEST_F(SharedSettingsDialog, OpensFromTheFigureRangeStep) {
  ASSERT_TRUE(host().RunCommand());
  PickFigureSource();

  const DialogRun run = Play([](DialogUser& user) {
    user.Click(kColourBox);
    user.Click(kOk);
  });
  ExpectAnsweredAndStillInStep(run);
  EXPECT_EQ(SelectFigureTargets(), (std::vector<int>{0, 1, 1, 0}));
}

TEST_F(SharedSettingsDialog, OpensFromTheAnnotationStep) {
  ASSERT_TRUE(host().RunCommand());
  PickAnnotationSource();
  const auto prompt = host().CurrentPrompt();

  const DialogRun run = Play([](DialogUser& user) {
    user.Click(kDimSizeBox);
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);
  EXPECT_EQ(host().CurrentPrompt(), prompt);
  EXPECT_EQ(Stored(u"mIsDimSize"), u"1");
}

// ---- Among the host's windows.

// Within a few pixels: the dialog's size is odd or even in pixels as the
// font makes it, and centring halves it.
void ExpectCentredOn(const ScreenRect& dialog, const ScreenRect& on) {
  EXPECT_LE(std::abs(dialog.CentreX() - on.CentreX()), 2)
      << "dialog " << dialog.left << "," << dialog.top << " to " << dialog.right << ","
      << dialog.bottom << "; centre of " << on.left << "," << on.top << " to " << on.right << ","
      << on.bottom;
  EXPECT_LE(std::abs(dialog.CentreY() - on.CentreY()), 2);
}

TEST_P(SharedSettingsDialogEnding, IsOwnedByTheActiveHostWindowWhichItDisablesWhileOpen) {
  if (!platform().WithoutWindows().empty()) GTEST_SKIP() << platform().WithoutWindows();
  const auto window = platform().ShowHostWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->IsActive());
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = Play([&](DialogUser& user) {
    EXPECT_EQ(user.Owner(), window->Handle());
    EXPECT_FALSE(window->IsEnabled()) << "the host takes input while its dialog is open";
    ExpectCentredOn(user.Bounds(), window->Bounds());
    GetParam().end(user);
  });
  ExpectAnsweredAndStillInStep(run);

  EXPECT_TRUE(window->IsEnabled());
  EXPECT_TRUE(window->IsActive());
}

// A floating palette of the host is active: the dialog goes to the palette,
// and the host's main window, which owns the palette, takes no input either
// while the dialog is open.
TEST_F(SharedSettingsDialog, FromAnActivePopupOfTheHostDisablesThePopupAndTheHostWindow) {
  if (!platform().WithoutWindows().empty()) GTEST_SKIP() << platform().WithoutWindows();
  const auto window = platform().ShowHostWindow();
  ASSERT_NE(window, nullptr);
  const auto palette = window->ShowOwnedPopup();
  ASSERT_NE(palette, nullptr);
  ASSERT_TRUE(palette->IsActive());
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = Play([&](DialogUser& user) {
    EXPECT_EQ(user.Owner(), palette->Handle());
    EXPECT_FALSE(palette->IsEnabled());
    EXPECT_FALSE(window->IsEnabled()) << "the host's main window takes input under its dialog";
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);

  EXPECT_TRUE(window->IsEnabled());
  EXPECT_TRUE(palette->IsEnabled());
  EXPECT_TRUE(palette->IsActive());
}

TEST_F(SharedSettingsDialog, WithNoActiveWindowIsCentredOnTheWorkArea) {
  if (!platform().WithoutWindows().empty()) GTEST_SKIP() << platform().WithoutWindows();
  ASSERT_TRUE(host().RunCommand());

  const DialogRun run = Play([&](DialogUser& user) {
    EXPECT_EQ(user.Owner(), 0u);
    ExpectCentredOn(user.Bounds(), platform().WorkArea());
    user.Click(kCancel);
  });
  ExpectAnsweredAndStillInStep(run);
}

}  // namespace
}  // namespace shared
