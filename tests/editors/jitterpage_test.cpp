// Jitter page: value files read into a block (good and bad lines), rescale
// and clear, and the page's callbacks writing the blocks of the current
// pulse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PulsePanelIds.h"
#include "editors/JitterPage.h"
#include "editors/PulseEditor.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"
#include "ui/pulse/JitterPanel.h"
#include "ui/pulse/MarkerPanel.h"
#include "ui/pulse/PulsePanels.h"

namespace {

std::vector<std::string> g_log, g_status;
void CollectLog(const char* text) { g_log.push_back(text ? text : ""); }
void CollectStatus(const char* text) { g_status.push_back(text ? text : ""); }

bool Logged(const std::string& text) {
  for (const std::string& line : g_log)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

class JitterFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_status.clear();
    Log_SetLogSink(CollectLog);
    Log_SetStatusSink(CollectStatus);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir_.File(name);
    cz::test::WriteFileBytes(path, text);
    return path;
  }
  cz::test::TempDir dir_;
};

TEST_F(JitterFileTest, ReadsTheChosenColumnSkippingEmptyLines) {
  std::vector<double> values;
  int line = -1;
  EXPECT_EQ(JITTER_IMPORT_OK, JitterReadValueFile(Write("a.txt", "1.5\n\n2.5\n").c_str(), 1, &values, &line));
  EXPECT_EQ((std::vector<double>{1.5, 2.5}), values);
  // CR LF, CR alone, commas, tabs and a last line without an end.
  EXPECT_EQ(JITTER_IMPORT_OK,
            JitterReadValueFile(Write("b.txt", "1, 10\r\n2\t20\r3;30").c_str(), 2, &values, &line));
  EXPECT_EQ((std::vector<double>{10.0, 20.0, 30.0}), values);
  // Only empty lines: nothing to import, the list given stays.
  EXPECT_EQ(JITTER_IMPORT_NO_DATA, JitterReadValueFile(Write("c.txt", "\n\n\n").c_str(), 1, &values, &line));
  EXPECT_EQ((std::vector<double>{10.0, 20.0, 30.0}), values);
}

TEST_F(JitterFileTest, BadLinesAndMissingFilesLeaveTheBlockAlone) {
  JitterBlock block;
  block.values.Assign(std::vector<double>{7.0});
  // Column 2 of a line with one number: line 3 (the empty line counts).
  EXPECT_EQ(JITTER_IMPORT_BAD_LINE, JitterImportBlock(&block, Write("bad.txt", "1 2\n\n3\n4 5\n").c_str(), 2));
  EXPECT_TRUE(Logged("** Error in line 3."));
  ASSERT_FALSE(g_status.empty());
  EXPECT_EQ("Import Failed - See Log For Details.", g_status.back());
  EXPECT_EQ((std::vector<double>{7.0}), block.values.vec());

  EXPECT_EQ(JITTER_IMPORT_BAD_LINE, JitterImportBlock(&block, Write("txt.txt", "1\nabc\n").c_str(), 1));
  EXPECT_TRUE(Logged("** Error in line 2."));

  EXPECT_EQ(JITTER_IMPORT_OPEN_FAILED, JitterImportBlock(&block, dir_.File("none.txt").c_str(), 1));
  EXPECT_EQ("Cannot open input file.", g_status.back());
  EXPECT_EQ((std::vector<double>{7.0}), block.values.vec());

  // More values than a block holds is refused, not cut.
  std::string many;
  for (std::size_t i = 0; i <= kJitterListMax; ++i) many += "1\n";
  EXPECT_EQ(JITTER_IMPORT_TOO_MANY, JitterImportBlock(&block, Write("many.txt", many).c_str(), 1));
  EXPECT_EQ((std::vector<double>{7.0}), block.values.vec());

  EXPECT_EQ(JITTER_IMPORT_OK, JitterImportBlock(&block, Write("ok.txt", "1e-6\n-2e-6\n").c_str(), 1));
  EXPECT_EQ((std::vector<double>{1e-6, -2e-6}), block.values.vec());
}

TEST(JitterBlockTest, RescaleAndClear) {
  JitterBlock block;
  EXPECT_EQ(0, JitterRescaleBlock(&block, 2.0, 1.0));
  block.values.Assign(std::vector<double>{1.0, 3.0});
  block.rules.Assign(std::vector<JitterRule>{JitterRule("r")});
  EXPECT_EQ(1, JitterRescaleBlock(&block, 2.0, 1.0));
  EXPECT_EQ((std::vector<double>{3.0, 7.0}), block.values.vec());
  JitterClearBlock(&block);
  EXPECT_TRUE(block.values.empty());
  EXPECT_TRUE(block.rules.empty());
  EXPECT_EQ(0, JitterRescaleBlock(&block, 2.0, 1.0));
}

// The pulse editor page with its sub-panels and one pulse shown.
class JitterPageTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    g_log.clear();
    g_status.clear();
    Log_SetLogSink(CollectLog);
    Log_SetStatusSink(CollectStatus);
    TAB_PEDIT = NewPanel(0, "Pulse Editor", 0, 0, 640, 800);
    P_TIM = BuildPulseTimingPanel(TAB_PEDIT);
    P_JIT = BuildJitterPanel(TAB_PEDIT);
    P_MOD = BuildPulseModulationPanel(TAB_PEDIT);
    P_MISC = BuildPulseMiscPanel(TAB_PEDIT);
    P_MARKER = BuildPulseMarkerPanel(TAB_PEDIT);
    ASSERT_GT(P_JIT, 0);
    InitJitterControlTable();
    PulseCount = 1;
    InitPulseRecord(&PulseTable[0]);
    SetCurrentPulse(0);
    ShowPulseInEditor();
  }
  void TearDown() override {
    PulseCount = 0;
    SetCurrentPulse(-1);
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    P_TIM = P_JIT = P_MOD = P_MISC = P_MARKER = TAB_PEDIT = 0;
    OffscreenAppTest::TearDown();
  }
  static int Toggle(int n) {
    int on = -1;
    GetCtrlVal(P_JIT, JitterControlTable[JITTER_CTL_SELECT][n], &on);
    return on;
  }
  cz::test::TempDir dir_;
};

TEST_F(JitterPageTest, SelectionTogglesKeepExactlyOneOn) {
  EXPECT_EQ(0, JitterSelectedBlock());
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JIT3));
  EXPECT_EQ(0, Toggle(0));
  EXPECT_EQ(0, Toggle(1));
  EXPECT_EQ(1, Toggle(2));
  EXPECT_EQ(0, Toggle(3));
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JIT3));
  EXPECT_EQ(1, Toggle(2));
  EXPECT_EQ(2, JitterSelectedBlock());
}

TEST_F(JitterPageTest, EnableAndDistributionAreWrittenToTheirBlock) {
  PulseRecord& pulse = PulseTable[0];
  pulse.jitter[1].values.Assign(std::vector<double>{4.0});
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_RADIO_JITTER2));
  EXPECT_EQ(1, pulse.jitter[1].enabled);
  EXPECT_EQ(0, pulse.jitter[0].enabled);
  ASSERT_EQ(1, UiTest_ChooseRingIndex(P_JIT, P_JIT_RING_JITTER2_DTYPE, 6));
  EXPECT_EQ(6, pulse.jitter[1].distribution);
  EXPECT_EQ(1, pulse.jitter[1].enabled);
  EXPECT_EQ((std::vector<double>{4.0}), pulse.jitter[1].values.vec());  // lists stay
}

TEST_F(JitterPageTest, ImportRescaleAndClearActOnTheSelectedBlock) {
  PulseRecord& pulse = PulseTable[0];
  pulse.jitter[2].enabled = 1;
  pulse.jitter[2].distribution = 5;
  ShowPulseInEditor();
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JIT3));
  const std::string path = dir_.File("list.txt");
  cz::test::WriteFileBytes(path, "1\n\n3\n");
  UiTest_QueueFile(path.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_IMP));
  EXPECT_EQ((std::vector<double>{1.0, 3.0}), pulse.jitter[2].values.vec());
  EXPECT_TRUE(pulse.jitter[0].values.empty());

  SetCtrlVal(P_JIT, P_JIT_NUM_SCALE_GAIN, 2.0);
  SetCtrlVal(P_JIT, P_JIT_NUM_SCALE_OFFSET, 1.0);
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_RESCALE));
  EXPECT_EQ((std::vector<double>{3.0, 7.0}), pulse.jitter[2].values.vec());

  // A cancelled file choice changes nothing.
  UiTest_QueueCancel();
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_IMP));
  EXPECT_EQ(2, pulse.jitter[2].values.count());

  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_CLEARALL));
  EXPECT_TRUE(pulse.jitter[2].values.empty());
  // An import after a clear fills the block again.
  UiTest_QueueFile(path.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_IMP));
  EXPECT_EQ(2, pulse.jitter[2].values.count());
}

TEST_F(JitterPageTest, CallbacksWithoutACurrentPulseDoNothing) {
  SetCurrentPulse(-1);
  EXPECT_EQ(0, JitterEnableCb(P_JIT, P_JIT_RADIO_JITTER1, EVENT_COMMIT, nullptr, 0, 0));
  EXPECT_EQ(0, JitterClearAllCb(P_JIT, P_JIT_CMD_JITTER_CLEARALL, EVENT_COMMIT, nullptr, 0, 0));
  EXPECT_EQ(0, PulseTable[0].jitter[0].enabled);
  EXPECT_EQ(0, JitterPanelCb(P_JIT, EVENT_CLOSE, nullptr, 0, 0));
}

}  // namespace
