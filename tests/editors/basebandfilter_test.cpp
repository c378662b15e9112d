// The Baseband Filter dialog: the coefficient line rule and file reader,
// the dialog's defaults, the single check mark with the dimming of unused
// fields, Apply/Accept/Cancel into the current sequence, and the import of
// user coefficients with their plot.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractSpinBox>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "editors/BasebandFilter.h"
#include "editors/SequenceFilter.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/FilterDialog.h"

namespace {

TEST(FilterCoefficients, LineRule) {
  struct Case {
    const char* line;
    double c1, c2;
  };
  const Case cases[] = {
      {"1\n", 1.0, 1.0},          {"2 3\n", 2.0, 3.0},         {"letters only\n", 0.0, 0.0},
      {"\n", 0.0, 0.0},           {"1.5e-3 7\n", 0.0015, 7.0}, {"1.5E-3\t7", 0.0015, 7.0},
      {"i=-.5; q=+2\n", -0.5, 2.0}, {"3e 4\n", 3.0, 4.0},       {"-inf 3", 0.0, 3.0},
  };
  for (const Case& c : cases) {
    double a = -9, b = -9;
    BasebandFilter_ParseLine(c.line, &a, &b);
    EXPECT_DOUBLE_EQ(a, c.c1) << c.line;
    EXPECT_DOUBLE_EQ(b, c.c2) << c.line;
  }
}

TEST(FilterCoefficients, FileReaderCountsLinesUpToTheLimit) {
  cz::test::TempDir dir;
  std::vector<double> c1, c2;
  cz::test::WriteFileBytes(dir.File("three.txt"), "1\n2 3\nabc\n");
  ASSERT_EQ(BasebandFilter_ReadCoefficients(dir.File("three.txt").c_str(), &c1, &c2), 3);
  EXPECT_EQ(c1, (std::vector<double>{1.0, 2.0, 0.0}));
  EXPECT_EQ(c2, (std::vector<double>{1.0, 3.0, 0.0}));

  std::string big;
  for (int i = 0; i < 12000; ++i) big += "0.25 -0.25\n";
  cz::test::WriteFileBytes(dir.File("big.txt"), big);
  EXPECT_EQ(BasebandFilter_ReadCoefficients(dir.File("big.txt").c_str(), &c1, &c2), 10000);

  // One physical line gives one pair: the text beyond 510 characters is dropped.
  cz::test::WriteFileBytes(dir.File("long.txt"), std::string(505, ' ') + "5 6 " + std::string(3000, '7') + "\n8 9\n");
  EXPECT_EQ(BasebandFilter_ReadCoefficients(dir.File("long.txt").c_str(), &c1, &c2), 2);
  EXPECT_EQ(c1, (std::vector<double>{5.0, 8.0}));
  EXPECT_EQ(c2, (std::vector<double>{6.0, 9.0}));

  cz::test::WriteFileBytes(dir.File("empty.txt"), "");
  EXPECT_EQ(BasebandFilter_ReadCoefficients(dir.File("empty.txt").c_str(), &c1, &c2), 0);
  EXPECT_EQ(BasebandFilter_ReadCoefficients(dir.File("none.txt").c_str(), &c1, &c2), -1);

  // A number beyond the range of a double (in either column, or 400 digits
  // long) refuses the file and names its line.
  int badLine = -1;
  cz::test::WriteFileBytes(dir.File("huge.txt"), "1 2\n3 -1e999\n");
  EXPECT_EQ(BasebandFilter_ReadCoefficients(dir.File("huge.txt").c_str(), &c1, &c2, &badLine), -3);
  EXPECT_EQ(badLine, 2);
  EXPECT_TRUE(c1.empty() && c2.empty());
  cz::test::WriteFileBytes(dir.File("digits.txt"), "0\n0\n" + std::string(400, '7') + "\n");
  EXPECT_EQ(BasebandFilter_ReadCoefficients(dir.File("digits.txt").c_str(), &c1, &c2, &badLine), -3);
  EXPECT_EQ(badLine, 3);
}

TEST(FilterTypes, TagsAndTheFieldsTheyUse) {
  for (int t = 1; t <= 9; ++t) EXPECT_EQ(BasebandFilter_TypeOfTag(BasebandFilter_TagOfType(t)), t);
  EXPECT_EQ(BasebandFilter_TypeOfTag("_FLT_RECT#1"), 0);
  EXPECT_EQ(BasebandFilter_TagOfType(10), nullptr);
  const FilterFieldState rect = BasebandFilter_FieldState("_FLT_U_RECT");
  EXPECT_TRUE(rect.alphaDimmed);
  EXPECT_FALSE(rect.freqDimmed);
  const FilterFieldState gauss = BasebandFilter_FieldState("_FLT_GAUSS");
  EXPECT_TRUE(gauss.freqDimmed && gauss.freqFromAlpha);
  EXPECT_FALSE(gauss.alphaDimmed);
  const FilterFieldState user = BasebandFilter_FieldState("_FLT_USER");
  EXPECT_TRUE(user.freqDimmed && user.alphaDimmed && !user.freqFromAlpha);
  const FilterFieldState cosine = BasebandFilter_FieldState("_FLT_RCOS");
  EXPECT_FALSE(cosine.freqDimmed || cosine.alphaDimmed);
}

std::vector<std::string> g_log, g_status;
void OnLog(const char* t) { g_log.emplace_back(t); }
void OnStatus(const char* t) { g_status.emplace_back(t); }

class FilterDialogTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    ResetProject();
    FILTER = BuildBasebandFilterPanel(0);
    ASSERT_GT(FILTER, 0);
    InitSequenceRecord(&SequenceTable[0]);
    SequenceCount = 1;
    CurrentSequence = 0;
    FilterDialogSequenceId = SequenceTable[0].id;  // the dialog was opened for it
    g_log.clear();
    g_status.clear();
    Log_SetLogSink(OnLog);
    Log_SetStatusSink(OnStatus);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    DiscardPanel(FILTER);
    FILTER = 0;
    CurrentSequence = -1;
    ResetProject();
    OffscreenAppTest::TearDown();
  }
  int Item(const char* tag) const {
    int item = -1;
    GetTreeItemFromTag(FILTER, FILTER_TREE_FILTER, tag, &item);
    return item;
  }
  int Marked(const char* tag) const {
    int state = -1;
    GetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, Item(tag), ATTR_MARK_STATE, &state);
    return state;
  }
  int Dimmed(int control) const {
    int d = -1;
    GetCtrlAttribute(FILTER, control, ATTR_DIMMED, &d);
    return d;
  }
  double Value(int control) const {
    double v = 0;
    GetCtrlVal(FILTER, control, &v);
    return v;
  }
  int Visible() const {
    int v = -1;
    GetPanelAttribute(FILTER, ATTR_VISIBLE, &v);
    return v;
  }
  SequenceRecord& Seq() { return SequenceTable[0]; }
  cz::test::TempDir dir_;
};

TEST_F(FilterDialogTest, DefaultsAndRangesAsBuilt) {
  int window = 0, ovs = 0, impulse = -1, enabled = -1;
  GetCtrlVal(FILTER, FILTER_RING_WINDOW, &window);
  GetCtrlVal(FILTER, FILTER_NUM_IMPULSEOVS, &ovs);
  GetCtrlVal(FILTER, FILTER_NUM_IMPULSE, &impulse);
  GetCtrlVal(FILTER, FILTER_CMD_BBFILTER, &enabled);
  EXPECT_EQ(window, 4);
  EXPECT_EQ(ovs, 1);
  EXPECT_EQ(impulse, 0);
  EXPECT_EQ(enabled, 0);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_FREQ), 1.0);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_ALPHA), 1.0);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_OVS), 1.0);
  EXPECT_EQ(Visible(), 0);
  UiTest_EnterValue(FILTER, FILTER_NUM_FREQ, 500.0);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_FREQ), 300.0);
  UiTest_EnterValue(FILTER, FILTER_NUM_ALPHA, -0.5);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_ALPHA), 0.0);
  int count = 0;
  GetNumTreeItems(FILTER, FILTER_TREE_FILTER, &count);
  EXPECT_EQ(count, 11);
  for (int t = 1; t <= 9; ++t) EXPECT_GE(Item(BasebandFilter_TagOfType(t)), 0) << t;
}

TEST_F(FilterDialogTest, OneCheckMarkMovesAndDimsUnusedFields) {
  UiTest_EnterValue(FILTER, FILTER_NUM_ALPHA, 0.5);
  ASSERT_EQ(UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, Item("_FLT_GAUSS"), 1), 1);
  EXPECT_EQ(Marked("_FLT_GAUSS"), 1);
  EXPECT_EQ(Dimmed(FILTER_NUM_FREQ), 1);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_FREQ), 50.0) << "BT 0.5 at 100 MHz";
  EXPECT_EQ(UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, Item("_FLT_GAUSS"), 0), 0)
      << "the checked item cannot be unchecked";
  EXPECT_EQ(Marked("_FLT_GAUSS"), 1);

  UiTest_ClickCtrl(FILTER, FILTER_CMD_APPLY);
  EXPECT_EQ(Seq().filterType, 4);
  EXPECT_DOUBLE_EQ(Seq().cutoff, 50000000.0);
  EXPECT_DOUBLE_EQ(Seq().alpha, 0.5);

  ASSERT_EQ(UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, Item("_FLT_U_RECT"), 1), 1);
  EXPECT_EQ(Marked("_FLT_GAUSS"), 0);
  EXPECT_EQ(Marked("_FLT_U_RECT"), 1);
  EXPECT_EQ(Dimmed(FILTER_NUM_FREQ), 0);
  EXPECT_EQ(Dimmed(FILTER_NUM_ALPHA), 1);
  ASSERT_EQ(UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, Item("_FLT_USER"), 1), 1);
  EXPECT_EQ(Dimmed(FILTER_NUM_FREQ), 1);
  EXPECT_EQ(Dimmed(FILTER_NUM_ALPHA), 1);
}

TEST_F(FilterDialogTest, ApplyAcceptAndCancel) {
  // Without a checked item only the switch and the window are stored.
  SetCtrlVal(FILTER, FILTER_CMD_BBFILTER, 1);
  SetCtrlVal(FILTER, FILTER_RING_WINDOW, 2);
  SetCtrlVal(FILTER, FILTER_NUM_OVS, 3.0);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_APPLY);
  EXPECT_EQ(Seq().filterOn, 1);
  EXPECT_EQ(Seq().window, 2);
  EXPECT_DOUBLE_EQ(Seq().oversampling, 1.0);

  UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, Item("_FLT_COS"), 1);
  SetCtrlVal(FILTER, FILTER_STR_USRCMT, "taps");
  SetCtrlVal(FILTER, FILTER_NUM_IMPULSEOVS, 8);
  DisplayPanel(FILTER);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(Visible(), 0);
  EXPECT_EQ(Seq().filterType, 3);
  EXPECT_DOUBLE_EQ(Seq().oversampling, 3.0);
  EXPECT_EQ(Seq().userOversampling, 8);
  EXPECT_EQ(Seq().userComment.view(), "taps");

  // The close box acts as Cancel: nothing is stored.
  SetCtrlVal(FILTER, FILTER_NUM_OVS, 9.0);
  DisplayPanel(FILTER);
  UiTest_PressCloseBox(FILTER);
  EXPECT_EQ(Visible(), 0);
  EXPECT_DOUBLE_EQ(Seq().oversampling, 3.0);

  // No current sequence: nothing happens.
  CurrentSequence = -1;
  UiTest_ClickCtrl(FILTER, FILTER_CMD_APPLY);
  EXPECT_DOUBLE_EQ(Seq().oversampling, 3.0);
}

// A new sequence's cut-off lies inside the field. A stored one outside it
// (an older project's 10 Hz) is shown as it is and refused on Accept, the
// dialog staying open with nothing stored; a dimmed field is not asked.
TEST_F(FilterDialogTest, AStoredValueOutsideItsFieldIsShownAndRefused) {
  EXPECT_DOUBLE_EQ(Seq().cutoff, 10e6);
  Seq().filterOn = 1;
  Seq().cutoff = 10.0;
  SequenceFilterCb(0, 0, EVENT_COMMIT, nullptr, 0, 0);
  DisplayPanel(FILTER);
  ASSERT_EQ(Marked("_FLT_RCOS"), 1);
  const auto* spin = qobject_cast<const QAbstractSpinBox*>(UiTest_Widget(FILTER, FILTER_NUM_FREQ));
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(spin->text().toStdString(), "0.00001");
  UiTest_QueueMessageOk();
  UiTest_ClickCtrl(FILTER, FILTER_CMD_ACCEPT);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text,
            "Cutoff Frequency 0.00001 MHz lies outside 0.1 to 300 MHz.\nThe filter settings were not stored.");
  EXPECT_EQ(Visible(), 1);
  EXPECT_DOUBLE_EQ(Seq().cutoff, 10.0);
  UiTest_EnterValue(FILTER, FILTER_NUM_FREQ, 20.0);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(Visible(), 0);
  EXPECT_DOUBLE_EQ(Seq().cutoff, 20e6);
  EXPECT_EQ(UiTest_Popups().size(), 1u);

  // A Gaussian's cut-off shows BT x clock (1.0 x 600 MHz, beyond the field):
  // dimmed, it refuses nothing.
  Seq().clock = 600e6;
  Seq().alpha = 1.0;
  SequenceFilterCb(0, 0, EVENT_COMMIT, nullptr, 0, 0);
  UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, Item("_FLT_GAUSS"), 1);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_APPLY);
  EXPECT_EQ(Seq().filterType, 4);
  EXPECT_EQ(UiTest_Popups().size(), 1u);
}

TEST_F(FilterDialogTest, ImportFillsTheDialogAndApplyStoresTheCoefficients) {
  const std::string path = dir_.File("taps.txt");
  cz::test::WriteFileBytes(path, "0.5 -0.5\n1 0\n0.5\n");
  UiTest_QueueFile(path.c_str());
  UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT);
  EXPECT_EQ(Seq().userFilter.Length(), 0) << "the sequence gets them at Apply or Accept";
  EXPECT_EQ(BasebandFilter_PendingImportLength(), 3);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_IMPULSE), 3.0);
  const std::vector<UiTest_Plot> plots = UiTest_GetPlots(FILTER, FILTER_GRAPH_FILTER);
  ASSERT_EQ(plots.size(), 4u);
  EXPECT_EQ(plots[0].color, 0xA93326);
  EXPECT_EQ(plots[1].color, 0x285291);
  EXPECT_EQ(plots[2].x, (std::vector<double>{1.0, 2.0}));
  UiTest_ClickCtrl(FILTER, FILTER_CMD_APPLY);
  ASSERT_EQ(Seq().userFilter.Length(), 3);
  EXPECT_EQ(Seq().userFilter.Q(), (std::vector<double>{-0.5, 0.0, 0.5}));
  EXPECT_EQ(Seq().filterType, 2) << "the import does not choose the type";
  EXPECT_EQ(BasebandFilter_PendingImportLength(), -1);

  // An empty file says so and leaves the coefficients and their plot.
  const std::string empty = dir_.File("empty.txt");
  cz::test::WriteFileBytes(empty, "");
  UiTest_QueueFile(empty.c_str());
  UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT);
  EXPECT_EQ(Seq().userFilter.Length(), 3);
  ASSERT_FALSE(g_log.empty());
  EXPECT_NE(g_log.back().find("*** No data imported from file."), std::string::npos);
  EXPECT_EQ(g_status.back(), "Failed to import from filter file.");
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_IMPULSE), 3.0);
  EXPECT_EQ(UiTest_GetPlots(FILTER, FILTER_GRAPH_FILTER).size(), 4u);
}

// The coefficient graph's y axis spans the coefficients (integer taps up
// to 2,047 are not cut at +-1.1), 0 included and 5 % beyond the extremes,
// +-1.1 when they are all 0; both axes are named and their names fit.
TEST_F(FilterDialogTest, TheCoefficientGraphScalesToItsCoefficientsAndNamesItsAxes) {
  std::string integers;
  for (int k = 0; k < 64; ++k) integers += std::to_string(std::lround(2047.0 * std::sin(3.141592653589793 * k / 64.0))) + "\n";
  struct Row {
    std::string taps;
    double low, high;
  };
  const Row rows[] = {{integers, 0.0, 2047.0 * 1.05}, {"0.5 -0.5\n1 0\n0.5\n", -0.575, 1.075}, {"0\n0 0\n", -1.1, 1.1}};
  for (const Row& row : rows) {
    const std::string path = dir_.File("taps.txt");
    cz::test::WriteFileBytes(path, row.taps);
    UiTest_QueueFile(path.c_str());
    UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT);
    int mode = 0;
    double low = 0, high = 0;
    GetAxisScalingMode(FILTER, FILTER_GRAPH_FILTER, VAL_LEFT_YAXIS, &mode, &low, &high);
    EXPECT_EQ(mode, VAL_MANUAL);
    EXPECT_NEAR(low, row.low, 1e-9) << row.taps.substr(0, 20);
    EXPECT_NEAR(high, row.high, 1e-9) << row.taps.substr(0, 20);
  }
  for (int axis : {ATTR_XNAME, ATTR_YNAME}) {
    char name[64] = "";
    GetCtrlAttribute(FILTER, FILTER_GRAPH_FILTER, axis, name, sizeof name);
    EXPECT_STRNE(name, "");
  }
  cz::test::ExpectTextsFit(FILTER);
}

// The dialog reopened on a sequence with 5 user coefficients: neither a
// failed import nor a good one followed by Cancel changes them; Accept
// stores the imported ones; an import waits for its own sequence only.
TEST_F(FilterDialogTest, CancelAndFailedImportsKeepTheCoefficients) {
  const std::vector<double> five{0.1, 0.2, 0.3, 0.2, 0.1};
  Seq().filterType = FILTER_TYPE_USER;
  ASSERT_TRUE(Seq().userFilter.Set(five, five));
  const auto reopen = [] {
    SequenceFilterCb(0, 0, EVENT_COMMIT, nullptr, 0, 0);
    DisplayPanel(FILTER);
  };
  reopen();
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_IMPULSE), 5.0);
  const std::string empty = dir_.File("empty.txt");
  cz::test::WriteFileBytes(empty, "");
  UiTest_QueueFile(empty.c_str());
  UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT);
  EXPECT_EQ(g_status.back(), "Failed to import from filter file.");
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_IMPULSE), 5.0);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_CANCEL);
  EXPECT_EQ(Seq().userFilter.I(), five);

  const std::string taps = dir_.File("taps.txt");
  cz::test::WriteFileBytes(taps, "1 1\n-1 -1\n");
  reopen();
  UiTest_QueueFile(taps.c_str());
  UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT);
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_IMPULSE), 2.0);
  UiTest_PressCloseBox(FILTER);
  EXPECT_EQ(Seq().userFilter.I(), five);
  reopen();
  EXPECT_DOUBLE_EQ(Value(FILTER_NUM_IMPULSE), 5.0);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_APPLY);  // nothing imported: the five stay
  EXPECT_EQ(Seq().userFilter.I(), five);

  // Another sequence shown in between: the import is dropped with the dialog's
  // values and never lands in the other sequence.
  UiTest_QueueFile(taps.c_str());
  UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT);
  InitSequenceRecord(&SequenceTable[1]);
  SequenceCount = 2;
  CurrentSequence = 1;
  SequenceFilterCb(0, 0, EVENT_COMMIT, nullptr, 0, 0);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(SequenceTable[1].userFilter.Length(), 0);
  EXPECT_EQ(Seq().userFilter.I(), five);

  CurrentSequence = 0;
  reopen();
  UiTest_QueueFile(taps.c_str());
  UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT);
  UiTest_ClickCtrl(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(Visible(), 0);
  EXPECT_EQ(Seq().userFilter.I(), (std::vector<double>{1.0, -1.0}));
}

}  // namespace
