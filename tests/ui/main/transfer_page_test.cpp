// The Transfer page as built, and the instrument file browser run from its
// browse button: the dialog then runs nested in the button's callback, where
// clicks reach it only through the user-event queue.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "app/Settings.h"
#include "instrument/FileBrowser.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/TransferTab.h"
#include "platform/ui/TestDriver.h"
#include "ui/main/PanelBuild.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"
#include "ui/main/TransferPage.h"

namespace {

class TransferPageTest : public cz::test::InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    TAB_INSTR = BuildTransferPanel(0);
    ASSERT_GT(TAB_INSTR, 0);
  }
  void TearDown() override {
    FileBrowser_SetLoopHook(nullptr);
    TAB_INSTR = 0;
    InstrumentTest::TearDown();
  }
  static std::string Shown(int control) {
    char text[300] = "";
    GetCtrlVal(TAB_INSTR, control, text, sizeof text);
    return text;
  }
  static int Attr(int control, int attr) {
    int value = -1;
    GetCtrlAttribute(TAB_INSTR, control, attr, &value);
    return value;
  }
};

TEST_F(TransferPageTest, BuiltState) {
  int count = 0;
  for (int c = GetNextCtrl(TAB_INSTR, 0); c > 0; c = GetNextCtrl(TAB_INSTR, c)) ++count;
  EXPECT_EQ(count, 53);
  EXPECT_EQ(Shown(TAB_INSTR_NUM_F_A), "1.000000");
  EXPECT_EQ(Shown(TAB_INSTR_NUM_LEV_B), "-30.00");
  double low = 0, high = 0;
  GetCtrlAttribute(TAB_INSTR, TAB_INSTR_NUM_F_B, ATTR_MIN_VALUE, &low);
  GetCtrlAttribute(TAB_INSTR, TAB_INSTR_NUM_F_B, ATTR_MAX_VALUE, &high);
  EXPECT_DOUBLE_EQ(low, 0.0001);
  EXPECT_DOUBLE_EQ(high, 6.0);
  GetCtrlAttribute(TAB_INSTR, TAB_INSTR_NUM_LEV_A, ATTR_MIN_VALUE, &low);
  GetCtrlAttribute(TAB_INSTR, TAB_INSTR_NUM_LEV_A, ATTR_MAX_VALUE, &high);
  EXPECT_DOUBLE_EQ(low, -130.0);
  EXPECT_DOUBLE_EQ(high, 13.0);
  // Longer than the 255 bytes the names hold: a longer one is refused whole.
  EXPECT_EQ(Attr(TAB_INSTR_STR_INSTRFILE_A, ATTR_MAX_ENTRY_LENGTH), kPathEntryLength);
  EXPECT_EQ(Attr(TAB_INSTR_STR_INSTRFILE_B, ATTR_MAX_ENTRY_LENGTH), kPathEntryLength);
  int a = -1, b = -1;
  GetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_A, &a);
  GetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_B, &b);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  char label[32] = "";
  GetLabelFromIndex(TAB_INSTR, TAB_INSTR_RING_BBR_B, 2, label, sizeof label);
  EXPECT_STREQ(label, "--> A+B");
  GetCtrlAttribute(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, "Ignore");
  EXPECT_EQ(Shown(TAB_INSTR_STR_DEVICE), "-");
  EXPECT_EQ(Attr(TAB_INSTR_CB_SETFREQ_A, ATTR_CTRL_VAL), 1);
  EXPECT_EQ(Attr(TAB_INSTR_CB_SETLEV_B, ATTR_CTRL_VAL), 0);
  EXPECT_EQ(Attr(TAB_INSTR_CB_LINK_B, ATTR_CTRL_VAL), 1);
  EXPECT_EQ(Attr(TAB_INSTR_CMD_FSEL_INSTR_A, ATTR_DIMMED), 1);
  // The canvases start with the band's colour until the first redraw.
  EXPECT_EQ(UiTest_CanvasPixel(TAB_INSTR, TAB_INSTR_CANVA_BB, 200, 120), 0xDEE3EF);
  EXPECT_EQ(UiTest_CanvasPixel(TAB_INSTR, TAB_INSTR_CANVA_A_1, 40, 80), 0xDEE3EF);
  // The rings lie in front of the routing canvas, the bands behind all.
  EXPECT_LT(Attr(TAB_INSTR_RING_BBR_A, ATTR_ZPLANE_POSITION), Attr(TAB_INSTR_CANVA_BB, ATTR_ZPLANE_POSITION));
  EXPECT_EQ(Attr(TAB_INSTR_TEXTMSG_85, ATTR_ZPLANE_POSITION), 52);
}

TEST_F(TransferPageTest, RoutingDiagramFollowsTheRings) {
  AppSettings fresh;
  g_Settings = fresh;
  ResetInstrumentCapabilities();
  g_Settings.BBRoutingA = 2;
  g_Settings.BBRoutingB = 1;
  RefreshTransferTab();
  // A to A (arrow: bar + head), A to B (two bars + arrow), B to B (arrow).
  int rects = 0, heads = 0;
  for (const UiTest_CanvasOp& op : UiTest_GetCanvasOps(TAB_INSTR, TAB_INSTR_CANVA_BB)) {
    rects += op.kind == "rect";
    heads += op.kind == "poly";
  }
  EXPECT_EQ(rects, 5);
  EXPECT_EQ(heads, 3);
  EXPECT_EQ(UiTest_CanvasPixel(TAB_INSTR, TAB_INSTR_CANVA_BB, 10, 40), 0x808080);
  EXPECT_EQ(UiTest_CanvasPixel(TAB_INSTR, TAB_INSTR_CANVA_BB, 10, 205), 0x808080);
  // No B to A line while path B feeds only modulator B.
  EXPECT_NE(UiTest_CanvasPixel(TAB_INSTR, TAB_INSTR_CANVA_BB, 150, 70), 0x808080);
}

TEST_F(TransferPageTest, BrowseButtonRunsTheFileBrowserNested) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  AppSettings fresh;
  g_Settings = fresh;
  char info[kIdentifyInfoSize] = "";
  ASSERT_EQ(IdentifyInstrument(sim.SocketResource().c_str(), info, sizeof info), 1);
  ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
  cz::test::TempDir dir;
  ASSERT_TRUE(cz::test::WriteFileBytes(dir.File("w.wv"), "w"));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("w.wv").c_str(), "D:\\picked.wv"), 1);
  VisaDev_Close(0);

  g_Settings.BBModeA = 1;
  g_Settings.BBLinkFA = 0;
  RefreshTransferTab();
  ASSERT_EQ(Attr(TAB_INSTR_CMD_FSEL_INSTR_A, ATTR_DIMMED), 0);
  static int turn;
  turn = 0;
  FileBrowser_SetLoopHook([](int panel) {
    ++turn;
    EXPECT_TRUE(UiTest_InCallback());
    if (turn == 1) UiTest_ClickTreeItem(panel, PANEL_FB_FILES, 0, false);
    if (turn == 2) {
      char chosen[256] = "";
      GetCtrlVal(panel, PANEL_FB_FILENAME, chosen, sizeof chosen);
      EXPECT_STREQ(chosen, "D:\\picked.wv");
      UiTest_ClickCtrl(panel, PANEL_FB_ARBFILEOK);
    }
    if (turn > 50) UiTest_ClickCtrl(panel, PANEL_FB_ARBFILECANCEL);
  });
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_FSEL_INSTR_A), 1);
  EXPECT_LT(turn, 10);
  EXPECT_EQ(Shown(TAB_INSTR_STR_INSTRFILE_A), "D:\\picked.wv");
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "D:\\picked.wv");
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
  EXPECT_EQ(PANEL_FB, 0);
}

}  // namespace
