// Progress bars, Stop polls and the progress dialog, driven through the
// run-time's test driver with its fake clock: presses queued during a long
// callback reach the polls and nothing else runs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/PanelIds.h"
#include "app/Progress.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/PanelFind.h"

namespace {

int g_otherCallbacks = 0;
int OtherCb(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) ++g_otherCallbacks;
  return 0;
}

// What the long operation inside the Generate callback does.
enum class Build { kSequence, kSequenceAfterBar, kMultiSegment };
Build g_build = Build::kSequence;
int g_queuedStopAt = 0;    // position of the Stop press among the queued clicks
int g_stoppedAtSample = -1;
int g_otherButtons[60];
int g_mainPanel = 0;

void QueueClicks(int stopPanel, int stopControl) {
  for (int i = 0; i < 60; ++i) {
    if (i == g_queuedStopAt) UiTest_ClickCtrl(stopPanel, stopControl);
    UiTest_ClickCtrl(g_mainPanel, g_otherButtons[i]);
  }
  if (g_queuedStopAt >= 60) UiTest_ClickCtrl(stopPanel, stopControl);
}

// A sample loop as the waveform builder runs it: bar and poll every 2,000.
int GenerateCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  g_stoppedAtSample = -1;
  if (g_build == Build::kMultiSegment) {
    QueueClicks(TAB_MSEG, TAB_MSEG_CMD_STOP);
    // The segment's sequence build drains the queue first; the press must
    // still reach the multi-segment poll before the next segment.
    for (int i = 0; i < 10000; i += 2000)
      if (SequenceStopPressed()) g_stoppedAtSample = -2;  // wrong button
    if (MultiSegmentStopPressed()) g_stoppedAtSample = 0;
    return 0;
  }
  QueueClicks(TAB_SEDIT, TAB_SEDIT_CMD_STOP);
  for (int i = 0; i < 20000000; ++i) {
    if (i % 2000 != 0) continue;
    SetTaskProgress(100.0 * i / 20000000);
    if (g_build == Build::kSequenceAfterBar && i == 0) continue;  // only the bar drained
    if (SequenceStopPressed()) {
      g_stoppedAtSample = i;
      break;
    }
  }
  return 0;
}

using cz::test::FindProgressPanel;
int FindByName(int panel, const char* name) { return cz::test::FindCtrlByName(panel, name); }

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cz::test::OffscreenApp();
    g_otherCallbacks = 0;
    g_mainPanel = PANEL_MAIN = NewPanel(0, "Main", 0, 0, 400, 600);
    PANEL_MAIN_PROG_TASK = NewCtrl(PANEL_MAIN, CTRL_NUMERIC_HSLIDE, "", 10, 10);
    PANEL_MAIN_PROG_TOTAL = NewCtrl(PANEL_MAIN, CTRL_NUMERIC_HSLIDE, "", 40, 10);
    SetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_PROG_TASK, ATTR_DATA_TYPE, VAL_DOUBLE);
    generate_ = NewCtrl(PANEL_MAIN, CTRL_COMMAND_BUTTON, "Generate", 70, 10);
    InstallCtrlCallback(PANEL_MAIN, generate_, GenerateCb, nullptr);
    for (int i = 0; i < 60; ++i) {
      g_otherButtons[i] = NewCtrl(PANEL_MAIN, CTRL_COMMAND_BUTTON, "x", 100 + 4 * i, 10);
      InstallCtrlCallback(PANEL_MAIN, g_otherButtons[i], OtherCb, nullptr);
    }
    TAB_SEDIT = NewPanel(0, "Sequence Editor", 0, 0, 100, 100);
    TAB_SEDIT_CMD_STOP = NewCtrl(TAB_SEDIT, CTRL_COMMAND_BUTTON, "Stop", 10, 10);
    TAB_MSEG = NewPanel(0, "Multi Segment", 0, 0, 100, 100);
    TAB_MSEG_CMD_STOP = NewCtrl(TAB_MSEG, CTRL_COMMAND_BUTTON, "Stop", 10, 10);
    ShowProgressBars(1);  // no press left over from an earlier test
  }
  void TearDown() override { Progress_Close(); }
  int generate_ = 0;
};

TEST_F(ProgressTest, StopQueuedBehind60EventsStopsTheBuildAndNoOtherCallbackRuns) {
  g_build = Build::kSequence;
  g_queuedStopAt = 60;
  ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, generate_), 1);
  EXPECT_EQ(g_stoppedAtSample, 0) << "the first poll drains all 61 events";
  EXPECT_EQ(g_otherCallbacks, 0);
  EXPECT_EQ(UiTest_QueuedUserEvents(), 0);
}

TEST_F(ProgressTest, StopTakenByABarUpdateIsLatchedForThePoll) {
  // The bar takes at most 50 events: a press among them must not be lost.
  g_build = Build::kSequenceAfterBar;
  g_queuedStopAt = 10;
  ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, generate_), 1);
  EXPECT_EQ(g_stoppedAtSample, 2000);
  EXPECT_EQ(g_otherCallbacks, 0);
  // A press behind all 60 is out of the bar's reach but seen by the poll.
  g_build = Build::kSequenceAfterBar;
  g_queuedStopAt = 60;
  ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, generate_), 1);
  EXPECT_EQ(g_stoppedAtSample, 2000);
}

TEST_F(ProgressTest, MultiSegmentStopSurvivesTheSequencePollsOfItsSegment) {
  g_build = Build::kMultiSegment;
  g_queuedStopAt = 30;
  ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, generate_), 1);
  EXPECT_EQ(g_stoppedAtSample, 0);
  EXPECT_EQ(MultiSegmentStopPressed(), 0) << "a poll clears its latch";
  EXPECT_EQ(g_otherCallbacks, 0);
}

TEST_F(ProgressTest, DialogEstimatesTheRemainingTimeFromTheElapsedTime) {
  ASSERT_EQ(Progress_Open("Preparing waveform view..."), 1);
  EXPECT_EQ(Progress_Open("again"), 0) << "one dialog at a time";
  const int dialog = FindProgressPanel();
  ASSERT_GT(dialog, 0);
  const int slider = FindByName(dialog, "NUMERICSLIDE"), text = FindByName(dialog, "ZEIT_MSG");
  ASSERT_GT(slider, 0);
  ASSERT_GT(text, 0);
  char label[128] = "", shown[64] = "";
  GetCtrlAttribute(dialog, slider, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, "Preparing waveform view...");

  double value = -1.0;
  EXPECT_EQ(Progress_Update(0.0), 1);
  GetCtrlVal(dialog, text, shown, sizeof shown);
  GetCtrlVal(dialog, slider, &value);
  EXPECT_STREQ(shown, "Remaining Time --:--");
  EXPECT_EQ(value, 0.0);

  UiTest_AdvanceClock(30.0);
  EXPECT_EQ(Progress_Update(0.25), 1);
  GetCtrlVal(dialog, text, shown, sizeof shown);
  GetCtrlVal(dialog, slider, &value);
  EXPECT_STREQ(shown, "Remaining Time 01:30");
  EXPECT_EQ(value, 25.0);

  EXPECT_EQ(Progress_Update(7.0), 1);  // above the total: 100 %, nothing left
  GetCtrlVal(dialog, text, shown, sizeof shown);
  GetCtrlVal(dialog, slider, &value);
  EXPECT_STREQ(shown, "Remaining Time 00:00");
  EXPECT_EQ(value, 100.0);

  // A negative total is refused and the old one stays.
  EXPECT_EQ(Progress_SetTotal(100.0), 1);
  EXPECT_EQ(Progress_SetTotal(-5.0), 0);
  EXPECT_EQ(Progress_Update(50.0), 1);
  GetCtrlVal(dialog, slider, &value);
  EXPECT_EQ(value, 50.0);
  EXPECT_EQ(Progress_SetTotal(0.0), 1);
  EXPECT_EQ(Progress_Update(10.0), 0) << "a zero total makes updates do nothing";

  EXPECT_EQ(Progress_Close(), 1);
  EXPECT_EQ(Progress_Close(), 0);
  EXPECT_EQ(Progress_CancelPressed(), 0);
}

TEST(ProgressRemainingTime, MinutesAreNotLimitedToTwoDigitsAndNeverOverflow) {
  char text[64];
  Progress_FormatRemaining(0.5, 6000.0, text, sizeof text);
  EXPECT_STREQ(text, "Remaining Time 100:00");
  Progress_FormatRemaining(1e-300, 10.0, text, sizeof text);
  EXPECT_EQ(std::strncmp(text, "Remaining Time ", 15), 0);
}

// A Cancel among other queued clicks is seen by the dialog hook.
int g_cancelDialog = 0, g_cancelButton = 0, g_hookResult = -1;
int CancelProbeCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  for (int i = 0; i < 5; ++i) UiTest_ClickCtrl(g_mainPanel, g_otherButtons[i]);
  UiTest_ClickCtrl(g_cancelDialog, g_cancelButton);
  UiTest_ClickCtrl(g_mainPanel, g_otherButtons[5]);
  g_hookResult = ProgressDialogHook(0.5);
  return 0;
}

TEST_F(ProgressTest, CancelAmongQueuedClicksStopsTheHookAndDimmedCancelCannotBePressed) {
  ASSERT_EQ(Progress_Open("Working"), 1);
  g_cancelDialog = FindProgressPanel();
  g_cancelButton = FindByName(g_cancelDialog, "BT_CANCEL");
  ASSERT_GT(g_cancelButton, 0);
  InstallCtrlCallback(PANEL_MAIN, generate_, CancelProbeCb, nullptr);
  ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, generate_), 1);
  EXPECT_EQ(g_hookResult, 1);
  EXPECT_EQ(g_otherCallbacks, 0);
  EXPECT_EQ(ProgressDialogHook(0.6), 0) << "the press was taken once";

  Progress_EnableCancel(0);
  EXPECT_EQ(UiTest_ClickCtrl(g_cancelDialog, g_cancelButton), 0);
  Progress_EnableCancel(1);
  int dimmed = 1;
  GetCtrlAttribute(g_cancelDialog, g_cancelButton, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
}

}  // namespace
