// The host's exit button: in the source, figure range and annotation steps it
// opens the settings dialog and the step stays; in the dimension step it ends
// the command without a dialog.
#include <climits>
#include <string>

#include "command_dialog_fixture.h"
#include "test_names.h"

namespace {

class ExitButtonTest : public CommandWithDialogTest {
 protected:
  void SetUp() override {
    CommandWithDialogTest::SetUp();
    drawing().AddSegment(10, 42);
    drawing().AddElement(100, 2, 10);   // figure
    drawing().AddElement(200, 33, 10);  // annotation
    drawing().AddElement(300, 13, 10);  // dimension
  }

  // The user switches the line type off and confirms.
  void PlayDialog() {
    dlgstandin::SetDriver([this](dlgstandin::OpenDialog& dialog) {
      ++dialogs_;
      EXPECT_EQ(dialog.TemplateId(), 23000);
      EXPECT_TRUE(dialog.IsChecked(12002));
      ASSERT_TRUE(dialog.Click(12002));
      dialog.Click(IDOK);
    });
  }

  int dialogs_ = 0;
};

struct StepRow {
  const char* step;
  VekId source;  // 0: stay in the source step
  std::u16string promptAfterOk;
};

void PrintTo(const StepRow& row, std::ostream* os) { *os << row.step; }

class DialogStepTest : public ExitButtonTest, public ::testing::WithParamInterface<StepRow> {};

TEST_P(DialogStepTest, ExitOpensTheDialogAndOkReloadsTheSettings) {
  host().RunCommand();
  if (GetParam().source != 0) {
    ASSERT_TRUE(host().Pick(GetParam().source));
  }
  PlayDialog();

  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(host().LastExecuteResult(), 3);
  EXPECT_TRUE(host().CommandActive());
  EXPECT_EQ(Stored(u"mIsLType"), u"0");
  EXPECT_EQ(SettingsFlags.mIsLType, 0);

  // The step's own prompt is shown anew only when a step opens: the next run
  // shows the new settings.
  host().RunCommand();
  EXPECT_EQ(host().CurrentPrompt(), GetParam().promptAfterOk);
}

const auto kDialogSteps = ::testing::Values(
    StepRow{"source", 0, u"속성참조할 원본형상지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)"},
    StepRow{"figure range", 100,
            u"속성참조할 원본형상지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)"},
    StepRow{"annotations", 200,
            u"속성참조할 원본형상지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)"});

INSTANTIATE_TEST_SUITE_P(Steps, DialogStepTest, kDialogSteps);

using OtherEventTest = DialogStepTest;

// Only the exit button opens the dialog, and only a completed range (kind 0)
// applies; any other kind, below or above either, leaves the step waiting.
TEST_P(OtherEventTest, OpensNoDialogAndLeavesTheStepWaiting) {
  host().RunCommand();
  if (GetParam().source != 0) {
    ASSERT_TRUE(host().Pick(GetParam().source));
  }
  PlayDialog();
  for (int32_t kind : {INT32_MIN, -1, 1, 6, 8, 100}) {
    ASSERT_TRUE(host().SendEvent(kind));
    EXPECT_EQ(host().LastExecuteResult(), 3) << kind;
  }
  EXPECT_EQ(dialogs_, 0);
  EXPECT_TRUE(host().CallsTo("VekIddOpenSelIdData").empty());
  EXPECT_TRUE(host().Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, OtherEventTest, kDialogSteps);

// A source outside any segment switches layer copying off in memory; OK in
// the dialog reloads the flags from the registry, which still says on, and
// the range applied afterwards copies the layer again.
TEST_F(ExitButtonTest, OkAfterASourceOutsideAnySegmentBringsLayerCopyingBack) {
  drawing().AddElement(500, 2, kVekNoId);
  drawing().layerOfNoSegment = 8;
  drawing().AddSegment(20, 1);
  drawing().AddElement(201, 0, 20);
  host().RunCommand();
  ASSERT_TRUE(host().Pick(500));
  ASSERT_EQ(SettingsFlags.mIsLayer, 0);

  dlgstandin::SetDriver([](dlgstandin::OpenDialog& dialog) { dialog.Click(IDOK); });
  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(SettingsFlags.mIsLayer, 1);
  EXPECT_EQ(Stored(u"mIsLayer"), u"1");

  ASSERT_TRUE(host().SelectRange({201}));
  EXPECT_EQ(drawing().segment(20).layer, 8);
}

// Registry failures are never the user's business: with a key that cannot be
// written, the start, a click and OK show nothing but the prompt.
TEST_F(ExitButtonTest, AKeyThatCannotBeWrittenShowsTheUserNothing) {
  testreg::Refuse(kSettingsKey, testreg::Operation::Create);
  host().RunCommand();
  const std::vector<sim::Message> shown = {
      {sim::MessageKind::kPrompt,
       u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)"}};
  EXPECT_EQ(host().Messages(), shown);

  PlayDialog();
  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(host().Messages(), shown);
  EXPECT_EQ(host().CurrentPrompt(), shown[0].text);
  EXPECT_EQ(host().LastExecuteResult(), 3);
  EXPECT_FALSE(testreg::KeyExists(kSettingsKey));
  // Nothing was stored, so the reload after OK gives the defaults again.
  EXPECT_EQ(SettingsFlags.mIsLType, 1);
}

TEST_F(ExitButtonTest, DimensionStepEndsWithoutADialog) {
  host().RunCommand();
  ASSERT_TRUE(host().Pick(300));
  PlayDialog();

  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(dialogs_, 0);
  EXPECT_EQ(host().LastExecuteResult(), 0);
  EXPECT_FALSE(host().CommandActive());
}

TEST_F(ExitButtonTest, DialogThatCannotShowStillLeavesTheStepWaiting) {
  host().RunCommand();
  // No driver: the dialog fails to show.
  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(host().LastExecuteResult(), 3);
  EXPECT_TRUE(host().CommandActive());
  EXPECT_EQ(Stored(u"mIsLType"), u"1");
}

}  // namespace
