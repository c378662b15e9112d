// Report Generation dialog driven offscreen: the built panel's initial
// state, Accept storing the format, file and boxes into the current
// sequence, and Cancel or the close box storing nothing.
#include <gtest/gtest.h>

#include <string>

#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/Records.h"
#include "editors/PluginTrees.h"
#include "editors/ReportDialog.h"
#include "editors/SequenceFilter.h"
#include "tests/support/OffscreenApp.h"
#include "ui/dialogs/ReportDialog.h"

namespace {

class ReportDialogTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    ResetProject();
    DATALOG = BuildReportGenerationPanel(0);
    ASSERT_GT(DATALOG, 0);
  }
  void TearDown() override {
    DiscardPanel(DATALOG);
    DATALOG = 0;
    ModuleCount = 0;
    ResetProject();
    OffscreenAppTest::TearDown();
  }
  static int Visible() {
    int v = 0;
    GetPanelAttribute(DATALOG, ATTR_VISIBLE, &v);
    return v;
  }
  static SequenceRecord& OneSequence() {
    InitSequenceRecord(&SequenceTable[0]);
    SequenceCount = 1;
    CurrentSequence = 0;
    ReportDialogSequenceId = SequenceTable[0].id;  // the dialog was opened for it
    return SequenceTable[0];
  }
};

TEST_F(ReportDialogTest, BuiltHiddenWithTheInitialValues) {
  EXPECT_EQ(Visible(), 0);
  int count = 0;
  GetNumListItems(DATALOG, DATALOG_RING_REPORTTYPE, &count);
  ASSERT_EQ(count, 2);
  char label[64];
  GetLabelFromIndex(DATALOG, DATALOG_RING_REPORTTYPE, 0, label, sizeof label);
  EXPECT_STREQ(label, "OFF");
  GetLabelFromIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1, label, sizeof label);
  EXPECT_STREQ(label, "Text");
  char file[256];
  GetCtrlVal(DATALOG, DATALOG_STR_REPORTFILE, file, sizeof file);
  EXPECT_STREQ(file, "c:\\report.txt");
  for (int* box : kReportFlagBoxes) {
    int on = -1;
    GetCtrlVal(DATALOG, *box, &on);
    EXPECT_EQ(on, 0);
  }
  char title[64];
  GetPanelAttribute(DATALOG, ATTR_TITLE, title, sizeof title);
  EXPECT_STREQ(title, "Report Generation");
}

TEST_F(ReportDialogTest, AcceptStoresThePluginByName) {
  ModuleCount = 4;
  for (int i = 0; i < 4; ++i) ModuleTable[i] = ModuleEntry{};
  ModuleTable[0].Type = "modulation";
  ModuleTable[3].Type = "report";
  ModuleTable[3].Name = "Fennick-EXCEL-1.0";
  FillReportTypeRing();
  SequenceRecord& seq = OneSequence();

  DisplayPanel(DATALOG);
  UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 2);
  UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, "trial-3.xlsx");
  UiTest_ClickCtrl(DATALOG, DATALOG_CHK_REP_ON);
  UiTest_ClickCtrl(DATALOG, DATALOG_CHK_REP_SENTRY);
  UiTest_ClickCtrl(DATALOG, DATALOG_CMD_ACCEPT);

  EXPECT_EQ(seq.reportOn, 1);
  EXPECT_EQ(seq.reportPlugin, "Fennick-EXCEL-1.0");
  EXPECT_EQ(seq.reportFile, "trial-3.xlsx");
  for (int i = 0; i < kReportColumns; ++i)
    EXPECT_EQ(seq.reportColumns[i], i == REPORT_ON || i == REPORT_ENTRY_NUMBER ? 1 : 0) << i;
  EXPECT_EQ(Visible(), 0);

  // "OFF" switches the report off and keeps the plug-in's name.
  DisplayPanel(DATALOG);
  UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 0);
  UiTest_ClickCtrl(DATALOG, DATALOG_CMD_ACCEPT);
  EXPECT_EQ(seq.reportOn, 0);
  EXPECT_EQ(seq.reportPlugin, "Fennick-EXCEL-1.0");

  // "Text" empties it.
  UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1);
  UiTest_ClickCtrl(DATALOG, DATALOG_CMD_ACCEPT);
  EXPECT_EQ(seq.reportOn, 1);
  EXPECT_TRUE(seq.reportPlugin.empty());
}

TEST_F(ReportDialogTest, CancelAndCloseBoxStoreNothing) {
  SequenceRecord& seq = OneSequence();
  DisplayPanel(DATALOG);
  UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1);
  UiTest_ClickCtrl(DATALOG, DATALOG_CHK_REP_DELAY);
  UiTest_ClickCtrl(DATALOG, DATALOG_CMD_CANCEL);
  EXPECT_EQ(Visible(), 0);
  DisplayPanel(DATALOG);
  UiTest_PressCloseBox(DATALOG);
  EXPECT_EQ(Visible(), 0);
  EXPECT_EQ(seq.reportOn, 0);
  EXPECT_EQ(seq.reportColumns[REPORT_DELAY], 0);

  // Accept without a sequence changes nothing and leaves the dialog open.
  SequenceCount = 0;
  CurrentSequence = -1;
  DisplayPanel(DATALOG);
  UiTest_ClickCtrl(DATALOG, DATALOG_CMD_ACCEPT);
  EXPECT_EQ(Visible(), 1);
}

TEST_F(ReportDialogTest, ShowSettingsWritesFileAndBoxes) {
  SequenceRecord& seq = OneSequence();
  seq.reportFile = "r.txt";
  seq.reportColumns[REPORT_FILLERS] = 1;
  ReportDialog_ShowSettings(seq);
  char file[256];
  GetCtrlVal(DATALOG, DATALOG_STR_REPORTFILE, file, sizeof file);
  EXPECT_STREQ(file, "r.txt");
  int on = 0;
  GetCtrlVal(DATALOG, DATALOG_CHK_REP_FILLERS, &on);
  EXPECT_EQ(on, 1);
}

}  // namespace
