// The jitter and marker pages as built: initial values, ranges, ring item
// values and the marker grid's independent buttons.
#include <gtest/gtest.h>

#include <string>

#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "tests/support/OffscreenApp.h"
#include "ui/pulse/JitterPanel.h"
#include "ui/pulse/MarkerPanel.h"

namespace {

class PulsePagesTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    parent_ = NewPanel(0, "Pulse Editor", 0, 0, 640, 800);
    jit_ = BuildJitterPanel(parent_);
    marker_ = BuildPulseMarkerPanel(parent_);
    ASSERT_GT(jit_, 0);
    ASSERT_GT(marker_, 0);
  }
  int Int(int panel, int control) const {
    int v = -99;
    GetCtrlVal(panel, control, &v);
    return v;
  }
  double Double(int control) const {
    double v = -99.0;
    GetCtrlVal(jit_, control, &v);
    return v;
  }
  std::string Text(int panel, int control) const {
    char text[256] = "";
    GetCtrlVal(panel, control, text, sizeof text);
    return text;
  }
  int Attr(int panel, int control, int attr) const {
    int v = -99;
    GetCtrlAttribute(panel, control, attr, &v);
    return v;
  }
  int parent_ = 0, jit_ = 0, marker_ = 0;
};

TEST_F(PulsePagesTest, JitterPageStartsWithSourcesOffTargetsDimmedAndAnEmptyTable) {
  const int radios[] = {P_JIT_RADIO_JITTER1, P_JIT_RADIO_JITTER2, P_JIT_RADIO_JITTER3, P_JIT_RADIO_JITTER4};
  const int targets[] = {P_JIT_RING_JITTER1_MODE, P_JIT_RING_JITTER2_MODE, P_JIT_RING_JITTER3_MODE,
                         P_JIT_RING_JITTER4_MODE};
  const int dists[] = {P_JIT_RING_JITTER1_DTYPE, P_JIT_RING_JITTER2_DTYPE, P_JIT_RING_JITTER3_DTYPE,
                       P_JIT_RING_JITTER4_DTYPE};
  const int toggles[] = {P_JIT_CMD_JIT1, P_JIT_CMD_JIT2, P_JIT_CMD_JIT3, P_JIT_CMD_JIT4};
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(0, Int(jit_, radios[n]));
    EXPECT_EQ(0, Int(jit_, targets[n]));
    char label[64] = "";
    int index = -1;
    GetCtrlIndex(jit_, targets[n], &index);
    GetLabelFromIndex(jit_, targets[n], index, label, sizeof label);
    EXPECT_STREQ("On Time [us]", label);
    EXPECT_EQ(0, Int(jit_, dists[n]));
    EXPECT_EQ(1, Attr(jit_, targets[n], ATTR_DIMMED));
    EXPECT_EQ(1, Attr(jit_, dists[n], ATTR_DIMMED));
    EXPECT_EQ(n == 0 ? 1 : 0, Int(jit_, toggles[n]));
    EXPECT_EQ(0x00CC66, Attr(jit_, toggles[n], ATTR_ON_COLOR));
  }
  EXPECT_DOUBLE_EQ(-1.0, Double(P_JIT_NUM_JITTER_MIN));
  EXPECT_DOUBLE_EQ(1.0, Double(P_JIT_NUM_JITTER_MAX));
  EXPECT_DOUBLE_EQ(0.1, Double(P_JIT_NUM_JITTER_STEP));
  EXPECT_EQ(1, Int(jit_, P_JIT_NUM_JITTER_NCNT));
  EXPECT_EQ(1, Attr(jit_, P_JIT_NUM_JITTER_MIN, ATTR_DIMMED));
  EXPECT_DOUBLE_EQ(1.0, Double(P_JIT_NUM_SCALE_GAIN));
  EXPECT_DOUBLE_EQ(0.0, Double(P_JIT_NUM_SCALE_OFFSET));
  EXPECT_EQ(1, Int(jit_, P_JIT_NUM_IMP_COL));
  for (int field : {P_JIT_STR_JITPOINTS, P_JIT_STR_JITMIN, P_JIT_STR_JITMAX}) EXPECT_EQ("0", Text(jit_, field));
  EXPECT_EQ("  Jitter Details  ", Text(jit_, P_JIT_TXT_UNIT_2));
  int rows = 0, columns = 0;
  GetNumTableRows(jit_, P_JIT_TABLE_JITVAL, &rows);
  GetNumTableColumns(jit_, P_JIT_TABLE_JITVAL, &columns);
  EXPECT_EQ(1, rows);
  EXPECT_EQ(2, columns);
  Point active{0, 0};
  GetActiveTableCell(jit_, P_JIT_TABLE_JITVAL, &active);
  EXPECT_EQ(2, active.x);
  EXPECT_EQ(1, active.y);
}

TEST_F(PulsePagesTest, JitterRingsAndRangesDeliverRecordValues) {
  // The first target item is the delay, code 7: list order is not code order.
  SetCtrlAttribute(jit_, P_JIT_RING_JITTER1_MODE, ATTR_DIMMED, 0);
  ASSERT_EQ(1, UiTest_ChooseRingIndex(jit_, P_JIT_RING_JITTER1_MODE, 0));
  EXPECT_EQ(7, Int(jit_, P_JIT_RING_JITTER1_MODE));
  ASSERT_EQ(1, UiTest_ChooseRingIndex(jit_, P_JIT_RING_JITTER1_MODE, 12));
  EXPECT_EQ(12, Int(jit_, P_JIT_RING_JITTER1_MODE));
  int items = 0;
  GetNumListItems(jit_, P_JIT_RING_JITTER1_DTYPE, &items);
  EXPECT_EQ(9, items);

  // The validating tool numerics never take a value outside their range:
  // the gain cannot reach 0.
  UiTest_EnterValue(jit_, P_JIT_NUM_SCALE_GAIN, 0.0);
  EXPECT_DOUBLE_EQ(1.0, Double(P_JIT_NUM_SCALE_GAIN));
  UiTest_EnterValue(jit_, P_JIT_NUM_SCALE_GAIN, 0.001);
  EXPECT_DOUBLE_EQ(0.001, Double(P_JIT_NUM_SCALE_GAIN));
  UiTest_EnterValue(jit_, P_JIT_NUM_SCALE_OFFSET, -500.0);
  EXPECT_DOUBLE_EQ(0.0, Double(P_JIT_NUM_SCALE_OFFSET));
  UiTest_EnterValue(jit_, P_JIT_NUM_IMP_COL, 101);
  EXPECT_EQ(1, Int(jit_, P_JIT_NUM_IMP_COL));
  SetCtrlAttribute(jit_, P_JIT_NUM_JITTER_NCNT, ATTR_DIMMED, 0);
  UiTest_EnterValue(jit_, P_JIT_NUM_JITTER_NCNT, 20000);
  EXPECT_EQ(10000, Int(jit_, P_JIT_NUM_JITTER_NCNT));

  // "Value" cells take 63 characters; "Entry" cells take no edit.
  UiTest_TypeTableCell(jit_, P_JIT_TABLE_JITVAL, Cell(2, 1), std::string(80, '1').c_str());
  char value[128] = "";
  GetTableCellVal(jit_, P_JIT_TABLE_JITVAL, Cell(2, 1), value, sizeof value);
  EXPECT_EQ(63u, std::string(value).size());
  EXPECT_EQ(0, UiTest_TypeTableCell(jit_, P_JIT_TABLE_JITVAL, Cell(1, 1), "5"));
}

TEST_F(PulsePagesTest, MarkerGridButtonsAreIndependent) {
  for (int m = 0; m < kMarkers; ++m)
    for (int p = 0; p < kMarkerParts; ++p) {
      EXPECT_EQ(0, Int(marker_, *kMarkerGrid[m][p]));
      EXPECT_EQ(0, Attr(marker_, *kMarkerGrid[m][p], ATTR_DIMMED));
    }
  EXPECT_EQ(P_MARKER_R_M1_DELAY, *kMarkerGrid[0][MARKER_DELAY]);
  // Without a pulse the commit callback changes nothing; the buttons keep
  // their states side by side.
  ASSERT_EQ(1, UiTest_ClickCtrl(marker_, P_MARKER_R_M1_ON));
  ASSERT_EQ(1, UiTest_ClickCtrl(marker_, P_MARKER_R_M2_ON));
  ASSERT_EQ(1, UiTest_ClickCtrl(marker_, P_MARKER_R_M1_FALL));
  EXPECT_EQ(1, Int(marker_, P_MARKER_R_M1_ON));
  EXPECT_EQ(1, Int(marker_, P_MARKER_R_M2_ON));
  EXPECT_EQ(1, Int(marker_, P_MARKER_R_M1_FALL));
  EXPECT_EQ("(10% of PRI)", Text(marker_, P_MARKER_TEXTMSG_18));
  EXPECT_EQ("Marker 4", Text(marker_, P_MARKER_TEXTMSG_16));

  int mode = -1;
  double lo = -1.0, hi = -1.0;
  GetAxisScalingMode(marker_, P_MARKER_GRAPH_BURST, VAL_BOTTOM_XAXIS, &mode, &lo, &hi);
  EXPECT_EQ(VAL_MANUAL, mode);
  EXPECT_DOUBLE_EQ(100.0, hi);
  PlotLine(marker_, P_MARKER_GRAPH_BURST, 0.0, 0.0, 500.0, 900.0, 0);
  GetAxisScalingMode(marker_, P_MARKER_GRAPH_BURST, VAL_LEFT_YAXIS, &mode, &lo, &hi);
  EXPECT_EQ(VAL_MANUAL, mode);
  EXPECT_DOUBLE_EQ(0.0, lo);
  EXPECT_DOUBLE_EQ(100.0, hi);
}

}  // namespace
