// The timing, level, modulation and custom-envelope panels as built: their
// defaults, ranges, items, page order and the failure of a page builder.
#include <gtest/gtest.h>

#include <string>

#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/PulseEditorFixture.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/LevelPanel.h"
#include "ui/pulse/ModulationPanel.h"
#include "ui/pulse/PulsePanels.h"
#include "ui/pulse/TimingPanel.h"

namespace {

class PulsePanelsTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    parent_ = NewPanel(0, "", 0, 0, 600, 800);
    ASSERT_GT(parent_, 0);
  }
  static double Num(int panel, int control) { return cz::test::CtrlNum(panel, control); }
  static int Int(int panel, int control) { return cz::test::CtrlInt(panel, control); }
  static std::string Text(int panel, int control) { return cz::test::CtrlText(panel, control); }
  static int Attr(int panel, int control, int attr) { return cz::test::CtrlAttr(panel, control, attr); }
  int parent_ = 0;
};

TEST_F(PulsePanelsTest, TimingPanelStartsWithTheDefaultPulse) {
  const int panel = BuildPulseTimingPanel(parent_);
  ASSERT_GT(panel, 0);
  EXPECT_EQ(0.0, Num(panel, P_TIM_NUM_PREDELAY));
  EXPECT_EQ(10.0, Num(panel, P_TIM_NUM_ON));
  EXPECT_EQ(50.0, Num(panel, P_TIM_NUM_BLANK));
  for (int ring : {P_TIM_RING_PREDELAY, P_TIM_RING_RISE, P_TIM_RING_ON, P_TIM_RING_FALL, P_TIM_RING_BLANK})
    EXPECT_EQ(UNIT_US, Int(panel, ring));
  EXPECT_EQ(EDGE_LINEAR, Int(panel, P_TIM_RING_ERISE));
  EXPECT_EQ(1, Int(panel, P_TIM_RADIO_BLANK));
  EXPECT_EQ(0, Int(panel, P_TIM_RADIO_PRF));
  EXPECT_EQ(1, Attr(panel, P_TIM_NUM_PRF, ATTR_DIMMED));
  EXPECT_EQ(1000.0, Num(panel, P_TIM_NUM_PRF));
  EXPECT_EQ("Hz", Text(panel, P_TIM_TXT_UNIT));
  // The time inputs stop at 0 and 1000 in their unit; the PRF at 10 MHz.
  ASSERT_EQ(1, UiTest_EnterValue(panel, P_TIM_NUM_ON, 5000.0));
  EXPECT_EQ(1000.0, Num(panel, P_TIM_NUM_ON));
  ASSERT_EQ(1, UiTest_EnterValue(panel, P_TIM_NUM_RISE, -1.0));
  EXPECT_EQ(0.0, Num(panel, P_TIM_NUM_RISE));
  SetCtrlAttribute(panel, P_TIM_NUM_PRF, ATTR_DIMMED, 0);
  ASSERT_EQ(1, UiTest_EnterValue(panel, P_TIM_NUM_PRF, 2e7));
  EXPECT_EQ(1e7, Num(panel, P_TIM_NUM_PRF));

  // Pages in their fixed order, each a panel with its own controls.
  ASSERT_EQ(0, EnvelopePages_FetchHandles(panel));
  char label[64] = "";
  GetTabPageAttribute(panel, P_TIM_TAB_IMPORT, 0, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ("Import", label);
  GetTabPageAttribute(panel, P_TIM_TAB_IMPORT, 3, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ("View", label);
  EXPECT_EQ(IMPORT_LEVEL, Int(T_IMP, T_IMP_RING_IMPORTMODE));
  EXPECT_EQ(1, Int(T_IMP, T_IMP_NUM_IMP_COL_ENV));
  EXPECT_EQ(2, Int(T_IMP, T_IMP_NUM_IMP_COL_ENV_2));
  // The column numbers validate their range: 500 is refused.
  EXPECT_EQ(0, UiTest_EnterValue(T_IMP, T_IMP_NUM_IMP_COL_ENV, 500));
  EXPECT_EQ(1, Int(T_IMP, T_IMP_NUM_IMP_COL_ENV));
  for (const char* text : {"0"}) {
    EXPECT_EQ(text, Text(T_VIEW, T_VIEW_STR_ENVPOINTS));
    EXPECT_EQ(text, Text(T_VIEW, T_VIEW_STR_ENVMIN));
    EXPECT_EQ(text, Text(T_VIEW, T_VIEW_STR_ENVMAX));
  }
  int rows = 0, columns = 0;
  GetNumTableRows(T_ENV, T_ENV_TABLE_ARBENVEL, &rows);
  GetNumTableColumns(T_IQ, T_IQ_TABLE_ARBENVEL, &columns);
  EXPECT_EQ(1, rows);
  EXPECT_EQ(3, columns);
}

TEST_F(PulsePanelsTest, FailingPageBuilderEndsTheBuildWithItsStatus) {
  // Calls from the start of the build: fail one well inside the pages.
  UiTest_FailNthCall(0, 0);
  const long before = UiTest_CallCount();
  ASSERT_GT(BuildPulseTimingPanel(parent_), 0);
  const long calls = UiTest_CallCount() - before;
  UiTest_FailNthCall(static_cast<int>(calls - 5), UI_ERR_INJECTED);
  EXPECT_EQ(UI_ERR_INJECTED, BuildPulseTimingPanel(parent_));
}

TEST_F(PulsePanelsTest, LevelPanelStartsWithTheDefaultLevels) {
  const int panel = BuildPulseMiscPanel(parent_);
  ASSERT_GT(panel, 0);
  EXPECT_EQ(0.0, Num(panel, P_MISC_NUM_LEVEL));
  EXPECT_EQ(100.0, Num(panel, P_MISC_NUM_LEVELOFF));
  EXPECT_EQ(20.0, Num(panel, P_MISC_NUM_AWGNLEV));
  EXPECT_EQ(100.0, Num(panel, P_MISC_NUM_AWGNBW));
  EXPECT_EQ(6, Attr(panel, P_MISC_NUM_FREQ, ATTR_PRECISION));
  for (int check : {P_MISC_CHK_AWGN, P_MISC_CHK_CONTPHASE, P_MISC_CMD_P_HIDE}) EXPECT_EQ(0, Int(panel, check));
  ASSERT_EQ(1, UiTest_EnterValue(panel, P_MISC_NUM_AWGNBW, 0.0));
  EXPECT_EQ(0.0001, Num(panel, P_MISC_NUM_AWGNBW));
  ASSERT_EQ(1, UiTest_EnterValue(panel, P_MISC_NUM_LEVELDROOP, -100.0));
  EXPECT_EQ(-80.0, Num(panel, P_MISC_NUM_LEVELDROOP));
}

TEST_F(PulsePanelsTest, ModulationPanelHasItsGroupsAndEmptyTables) {
  const int panel = BuildPulseModulationPanel(parent_);
  ASSERT_GT(panel, 0);
  int items = 0;
  GetNumTreeItems(panel, P_MOD_TREE_MOD, &items);
  EXPECT_EQ(6, items);
  const char* tags[] = {"_INT", "_AM", "_FM", "_PSK", "_OTHER", "_PLUGIN"};
  const int levels[] = {0, 1, 1, 1, 1, 0};
  for (int i = 0; i < 6; ++i) {
    int item = -1, level = -1;
    GetTreeItemFromTag(panel, P_MOD_TREE_MOD, tags[i], &item);
    ASSERT_EQ(i, item) << tags[i];
    GetTreeItemLevel(panel, P_MOD_TREE_MOD, item, &level);
    EXPECT_EQ(levels[i], level) << tags[i];
  }
  int rows = -1, columns = 0, mode = -1;
  GetNumTableRows(panel, P_MOD_TABLE_DATA, &rows);
  GetNumTableColumns(panel, P_MOD_TABLE_DATA, &columns);
  EXPECT_EQ(0, rows);
  EXPECT_EQ(4, columns);
  GetNumTableRows(panel, P_MOD_TABLE_CONF, &rows);
  EXPECT_EQ(0, rows);
  // Only the Bits column takes typed input.
  for (int column = 1; column <= 4; ++column) {
    GetTableColumnAttribute(panel, P_MOD_TABLE_DATA, column, ATTR_CELL_MODE, &mode);
    EXPECT_EQ(column == 3 ? VAL_HOT : VAL_INDICATOR, mode) << column;
  }
}

}  // namespace
