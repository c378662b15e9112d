// The RF list editor on the RF List page, driven offscreen as a user would:
// the page as built and prepared, the record shown with its dimmed rows and
// limit colours, edits stored back, row buttons, fills, import and report
// through the file dialog, and the upload to the simulated instrument
// (127.0.0.1) with a refused size, a lost instrument, failed activations
// and points of a loaded project outside the table's ranges.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractSpinBox>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "editors/RfListEditor.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTypes.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"
#include "ui/main/RfListPage.h"

namespace {

std::vector<std::string> g_log;
std::vector<std::string> g_status;
void OnLog(const char* text) { g_log.emplace_back(text); }
void OnStatus(const char* text) { g_status.emplace_back(text); }
bool Logged(const std::string& part) {
  return std::any_of(g_log.begin(), g_log.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}
bool StatusWas(const std::string& text) { return std::find(g_status.begin(), g_status.end(), text) != g_status.end(); }

class RfListEditorTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    ResetProject();
    ResetInstrumentCapabilities();
    InstrumentCapabilities.Type = INSTR_KALDRA;
    InstrumentCapabilities.RfListMax = 10000;
    InstrumentCapabilities.UnixPaths = 0;
    panel_ = BuildRfListPanel(0);
    ASSERT_GT(panel_, 0);
    TAB_RFLIST = panel_;
    ASSERT_EQ(PrepareRfListPage(), 0);
    g_log.clear();
    g_status.clear();
    Log_SetLogSink(OnLog);
    Log_SetStatusSink(OnStatus);
    RfListRecord& r = RfListTable[0];
    InitRfListRecord(&r);
    r.name = "Hop";
    for (int i = 0; i < 3; ++i) r.points.Set(i, 1.0 + i, -10.0 * (i + 1));
    RfListCount = 1;
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    DiscardPanel(panel_);
    TAB_RFLIST = 0;
    CurrentRfList = -1;
    ResetProject();
    OffscreenAppTest::TearDown();
  }
  RfListRecord& List() { return RfListTable[0]; }
  int Dimmed(int control) const {
    int d = -1;
    GetCtrlAttribute(panel_, control, ATTR_DIMMED, &d);
    return d;
  }
  int CellAttr(int column, int row, int attr) const {
    int v = -1;
    GetTableCellAttribute(panel_, TAB_RFLIST_TABLE_RFLIST, Cell(column, row), attr, &v);
    return v;
  }
  double CellValue(int column, int row) const {
    double v = -1;
    GetTableCellVal(panel_, TAB_RFLIST_TABLE_RFLIST, Cell(column, row), &v);
    return v;
  }
  int panel_ = 0;
  cz::test::TempDir dir_;
};

TEST(RfListPageBuild, OneRowWhenBuiltAndDefaultsOfTheFields) {
  cz::test::OffscreenApp();
  const int panel = BuildRfListPanel(0);
  ASSERT_GT(panel, 0);
  int rows = 0;
  GetNumTableRows(panel, TAB_RFLIST_TABLE_RFLIST, &rows);
  EXPECT_EQ(rows, 1);
  int len = 0, mode = 0, path = 0, activate = -1;
  double dwell = 0, step = 0, max = 0;
  GetCtrlVal(panel, TAB_RFLIST_NUM_LEN, &len);
  GetCtrlVal(panel, TAB_RFLIST_NUM_DWELL, &dwell);
  GetCtrlVal(panel, TAB_RFLIST_NUM_STEP_2, &step);
  GetCtrlVal(panel, TAB_RFLIST_NUM_LMAX, &max);
  GetCtrlVal(panel, TAB_RFLIST_RING_DMODE, &mode);
  GetCtrlVal(panel, TAB_RFLIST_RING_BB, &path);
  GetCtrlVal(panel, TAB_RFLIST_CB_ACTIVATE, &activate);
  EXPECT_EQ(len, 1);
  EXPECT_DOUBLE_EQ(dwell, 1.0);
  EXPECT_DOUBLE_EQ(step, 0.1);
  EXPECT_DOUBLE_EQ(max, 1.0);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(path, 1);
  EXPECT_EQ(activate, 0);
  // Typed values are brought into the ranges.
  UiTest_EnterValue(panel, TAB_RFLIST_NUM_LEN, 20000);
  GetCtrlVal(panel, TAB_RFLIST_NUM_LEN, &len);
  EXPECT_EQ(len, 10000);
  UiTest_EnterValue(panel, TAB_RFLIST_NUM_STEP, 0.0);
  GetCtrlVal(panel, TAB_RFLIST_NUM_STEP, &step);
  EXPECT_DOUBLE_EQ(step, 0.001);
  DiscardPanel(panel);
  UiTest_Reset();
}

TEST_F(RfListEditorTest, StartUpRowsAreNumberedAndTheEntryColumnIsReadOnly) {
  int rows = 0;
  GetNumTableRows(panel_, TAB_RFLIST_TABLE_RFLIST, &rows);
  EXPECT_EQ(rows, kMaxRfListPoints);
  EXPECT_EQ(CellValue(RFLIST_COL_ENTRY, 1), 1.0);
  EXPECT_EQ(CellValue(RFLIST_COL_ENTRY, kMaxRfListPoints), 10000.0);
  EXPECT_EQ(UiTest_CommitTableCell(panel_, TAB_RFLIST_TABLE_RFLIST, Cell(RFLIST_COL_ENTRY, 5), 7.0), 0);
  EXPECT_EQ(CellAttr(RFLIST_COL_FREQUENCY, 9999, ATTR_PRECISION), 6);
  EXPECT_EQ(CellAttr(RFLIST_COL_LEVEL, 9999, ATTR_PRECISION), 2);
}

TEST_F(RfListEditorTest, ShowDimsRowsBeyondTheListAndColoursPointsWithinTheLimits) {
  List().limMin = 1.5;
  List().limMax = 3.0;
  List().limMin2 = -40.0;
  List().limMax2 = 0.0;
  ShowRfList(0);
  EXPECT_EQ(CurrentRfList, 0);
  EXPECT_EQ(CellValue(RFLIST_COL_FREQUENCY, 2), 2.0);
  EXPECT_EQ(CellValue(RFLIST_COL_LEVEL, 3), -30.0);
  EXPECT_EQ(CellAttr(RFLIST_COL_FREQUENCY, 3, ATTR_CELL_DIMMED), 0);
  EXPECT_EQ(CellAttr(RFLIST_COL_FREQUENCY, 4, ATTR_CELL_DIMMED), 1);
  EXPECT_EQ(CellAttr(RFLIST_COL_LEVEL, 10000, ATTR_CELL_MODE), VAL_INDICATOR);
  EXPECT_EQ(CellAttr(RFLIST_COL_ENTRY, 1, ATTR_TEXT_BGCOLOR), 0xC0C0C0);
  EXPECT_EQ(CellAttr(RFLIST_COL_ENTRY, 2, ATTR_TEXT_BGCOLOR), 0x00FF00);
  EXPECT_EQ(CellAttr(RFLIST_COL_LEVEL, 3, ATTR_TEXT_BGCOLOR), 0x00FF00);
  EXPECT_EQ(Dimmed(TAB_RFLIST_NUM_MAX), 1) << "mode All Same uses the minimum only";
  EXPECT_EQ(Dimmed(TAB_RFLIST_CMD_UPLOAD), 0);

  ShowRfList(5);  // no such list
  EXPECT_EQ(CurrentRfList, 0);
  InstrumentCapabilities.Type = INSTR_LUMBRIX;
  ShowRfList(0);
  EXPECT_EQ(Dimmed(TAB_RFLIST_CMD_UPLOAD), 1);
  EXPECT_EQ(Dimmed(TAB_RFLIST_CMD_RESET), 1);
}

TEST_F(RfListEditorTest, EditsGoBackIntoTheRecord) {
  ShowRfList(0);
  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_DWELL, 12.5);
  EXPECT_DOUBLE_EQ(List().dwell, 12.5);
  UiTest_ChooseRingIndex(panel_, TAB_RFLIST_RING_DMODE_2, 1);
  EXPECT_EQ(List().mode2, 2);
  EXPECT_EQ(Dimmed(TAB_RFLIST_NUM_MAX_2), 0);
  // Typing a frequency into the first free row lengthens the list.
  UiTest_CommitTableCell(panel_, TAB_RFLIST_TABLE_RFLIST, Cell(RFLIST_COL_FREQUENCY, 3), 0.0);
  EXPECT_EQ(List().points.InUse(), 2);
  EXPECT_EQ(CellAttr(RFLIST_COL_FREQUENCY, 3, ATTR_CELL_DIMMED), 1);
  UiTest_EnterValue(panel_, TAB_RFLIST_STR_FILE, "");
  EXPECT_TRUE(List().remoteFile.empty());
  EXPECT_EQ(Dimmed(TAB_RFLIST_CMD_UPLOAD), 1) << "no remote file, nothing to send to";
  // A name too long for the record is refused, never cut.
  UiTest_EnterValue(panel_, TAB_RFLIST_STR_NAME, std::string(80, 'n').c_str());
  EXPECT_EQ(List().name.view(), "Hop");
}

TEST_F(RfListEditorTest, RowButtonsAndFillsActOnTheActiveRow) {
  ShowRfList(0);
  SetActiveTableCell(panel_, TAB_RFLIST_TABLE_RFLIST, Cell(RFLIST_COL_FREQUENCY, 1));
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_RFLIST_DOWN);
  EXPECT_EQ(List().points.Frequency(1), 1.0);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_RFLIST_DEL);
  EXPECT_EQ(List().points.InUse(), 2);
  EXPECT_EQ(CellValue(RFLIST_COL_FREQUENCY, 1), 1.0);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_RFLIST_ADD);
  EXPECT_EQ(List().points.InUse(), 3);

  // Both Fill buttons share one callback; the control tells the column.
  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_MIN_2, -7.0);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_FILLLIST_2);
  EXPECT_EQ(List().points.Level(2), -7.0);
  EXPECT_EQ(List().points.Frequency(2), 3.0);
  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_MIN, 0.5);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_FILLLIST);
  EXPECT_EQ(List().points.Frequency(2), 0.5);

  UiTest_ChooseRingIndex(panel_, TAB_RFLIST_RING_DMODE, 2);
  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_MIN, 1.0);
  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_MAX, 1.2);
  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_STEP, 0.1);
  // 1.0, 1.1 and 1.2 GHz make three points, (1.2 - 1.0) / 0.1 falling a
  // rounding below 2: enough for the three entries, the maximum included.
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_FILLLIST);
  EXPECT_FALSE(StatusWas("Error: Not Enough Random Numbers. Check Settings."));
  std::vector<double> filled;
  for (int i = 0; i < 3; ++i) filled.push_back(List().points.Frequency(i));
  std::sort(filled.begin(), filled.end());
  EXPECT_EQ(filled.back(), 1.2);
  EXPECT_NEAR(filled[0], 1.0, 1e-12);
  EXPECT_NEAR(filled[1], 1.1, 1e-12);
  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_MAX, 1.1);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_FILLLIST);
  EXPECT_TRUE(StatusWas("Error: Not Enough Random Numbers. Check Settings."));

  UiTest_EnterValue(panel_, TAB_RFLIST_NUM_LEN, 5);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_SETLEN);
  EXPECT_EQ(List().points.InUse(), 5);
  EXPECT_EQ(CellValue(RFLIST_COL_LEVEL, 5), -30.0);
}

// A new list's settings lie inside their fields; a setting outside (an
// older project's length and steps of 0) is shown as stored and the command
// that uses it refuses it: Set Length rather than emptying the list, a Fill
// whose undimmed step is 0.
TEST_F(RfListEditorTest, ASettingOutsideItsFieldIsShownAndRefused) {
  EXPECT_EQ(List().length, 1);
  EXPECT_DOUBLE_EQ(List().step, 0.1);
  EXPECT_DOUBLE_EQ(List().step2, 0.1);
  List().length = 0;
  ShowRfList(0);
  const auto* spin = qobject_cast<const QAbstractSpinBox*>(UiTest_Widget(panel_, TAB_RFLIST_NUM_LEN));
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(spin->text().toStdString(), "0");
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_SETLEN);
  EXPECT_TRUE(StatusWas("Error: Set Length 0 lies outside 1 to 10000. The list is unchanged."));
  EXPECT_EQ(List().points.InUse(), 3);
  EXPECT_EQ(List().points.Frequency(2), 3.0);

  List().step2 = 0.0;
  List().min2 = -7.0;
  List().mode2 = 2;
  ShowRfList(0);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_FILLLIST_2);
  EXPECT_TRUE(StatusWas("Error: Level Step 0 dBm lies outside 0.001 to 10 dBm. The list is unchanged."));
  EXPECT_NE(List().points.Level(0), -7.0);
  List().mode2 = 1;  // "All Same": the step is dimmed and not used
  ShowRfList(0);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_FILLLIST_2);
  EXPECT_EQ(List().points.Level(0), -7.0);
}

TEST_F(RfListEditorTest, ImportAndReportGoThroughTheFileDialog) {
  ShowRfList(0);
  const std::string in = dir_.File("in.txt");
  cz::test::WriteFileBytes(in, "0.5 -1\n\n0.75\n");
  UiTest_QueueFile(in.c_str());
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_IMPORT);
  EXPECT_TRUE(Logged("** Error in line 3."));
  EXPECT_TRUE(StatusWas("Error: Invalid Data for Import."));
  // A failed import leaves the list as it was.
  EXPECT_EQ(List().points.Frequency(0), 1.0);
  EXPECT_EQ(List().points.Frequency(1), 2.0);
  EXPECT_EQ(CellValue(RFLIST_COL_FREQUENCY, 1), 1.0);

  cz::test::WriteFileBytes(in, "0.5 -1\n0.6 -2\n");
  UiTest_QueueFile(in.c_str());
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_IMPORT);
  EXPECT_TRUE(Logged("2 Entries imported."));
  // Only an existing file is read.
  const std::size_t lines = g_log.size();
  UiTest_QueueFile(dir_.File("missing.txt").c_str());
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_IMPORT);
  EXPECT_EQ(g_log.size(), lines);
  EXPECT_EQ(List().points.Frequency(1), 0.6);

  const std::string out = dir_.File("report.txt");
  UiTest_QueueFile(out.c_str());
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_PRINTLIST);
  EXPECT_TRUE(StatusWas("RF List Saved."));
  const std::string report = cz::test::ReadFileBytes(out);
  EXPECT_NE(report.find("RF List : Hop\n"), std::string::npos);
  EXPECT_NE(report.find("    3           3.000000             -30.00         F\n"), std::string::npos);
  UiTest_QueueFile(dir_.File("no/dir/r.txt").c_str());
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_PRINTLIST);
  EXPECT_TRUE(StatusWas("Error: Failed to Open Output File."));
}

// "Export list data to text file", then Import on the same file: the list
// comes back exactly, also values the report's columns would round and a
// report whose heading was cut off.
TEST_F(RfListEditorTest, AnExportedListImportsBackExactly) {
  const std::string out = dir_.File("export.txt");
  for (int n : {1, 3, kMaxRfListPoints}) {
    RfListPoints points;
    const double firsts[][2] = {{1.5, -10.0}, {2.25, -20.5}, {5.999999, 3.33}};
    for (int i = 0; i < n; ++i) {
      if (i < 3) points.Set(i, firsts[i][0], firsts[i][1]);
      else points.Set(i, 1.0 + i / 3.0 / kMaxRfListPoints, -100.0 + i * 0.0123);
    }
    List().points = points;
    ShowRfList(0);
    UiTest_QueueFile(out.c_str());
    UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_PRINTLIST);
    ASSERT_TRUE(StatusWas("RF List Saved.")) << n;
    const std::string report = cz::test::ReadFileBytes(out);
    const std::string cut = dir_.File("cut.txt");
    cz::test::WriteFileBytes(cut, report.substr(report.find("=\n") + 2));
    for (const std::string& file : {out, cut}) {
      List().points = RfListPoints();
      g_log.clear();
      UiTest_QueueFile(file.c_str());
      UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_IMPORT);
      EXPECT_TRUE(Logged(cz::FormatC("%d Entries imported.", n))) << n << " " << file;
      EXPECT_TRUE(List().points == points) << n << " " << file;
    }
  }
  EXPECT_EQ(CellValue(RFLIST_COL_FREQUENCY, 3), 5.999999);
}

class RfListUploadTest : public RfListEditorTest {
 protected:
  void SetUp() override {
    RfListEditorTest::SetUp();
    char visaError[256];
    ASSERT_EQ(VisaDev_Init(visaError, sizeof visaError), 1);
    ASSERT_TRUE(sim_.Start()) << sim_.Error();
    g_Settings.Select = sim_.SocketResource();
    List().remoteFile = "lists\\hop.lsw";
    g_Settings.Project.pathWin = "D:\\";
    ShowRfList(0);
  }
  void TearDown() override {
    VisaDev_CloseAll();
    RfListEditorTest::TearDown();
  }
  bool Received(const std::string& message) const {
    const std::vector<std::string> r = sim_.Received();
    return std::find(r.begin(), r.end(), message) != r.end();
  }
  // Upload with activation to a simulator started anew with `fault`.
  void UploadActivatingWithFault(const char* fault) {
    cz::test::SimOptions failing;
    failing.faults = {fault};
    ASSERT_TRUE(sim_.Start(failing)) << sim_.Error();
    g_Settings.Select = sim_.SocketResource();
    g_log.clear();
    UiTest_QueueConfirm(true);  // activation
    ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD), 1);
  }
  // The instrument's answer to `query`, asked through session 1 (open).
  static std::string Answer(const char* query) {
    char reply[64] = "";
    EXPECT_EQ(VisaDev_Query(1, query, reply, sizeof reply), 1) << query;
    return reply;
  }
  cz::test::SimFixture sim_;
};

TEST_F(RfListUploadTest, TheListReachesTheInstrumentUnderTheDefaultDirectory) {
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD), 1);
  EXPECT_TRUE(StatusWas("Sending RF List..."));
  EXPECT_EQ(g_status.back(), "");
  EXPECT_TRUE(Received("SOUR1:LIST:SEL 'D:\\lists\\hop.lsw'; *OPC?"));
  EXPECT_EQ(List().points.Frequency(0), 1.0) << "the record keeps GHz";
  EXPECT_EQ(VisaDev_IsOpen(0), 0);

  // Exactly the maximum is sent, one point more is refused before sending.
  InstrumentCapabilities.RfListMax = 2;
  const std::size_t before = sim_.Received().size();
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_EQ(g_status.back(), "Error: Too Many Entries for This Instrument.");
  EXPECT_EQ(sim_.Received().size(), before);
  InstrumentCapabilities.RfListMax = 3;
  UiTest_QueueConfirm(true);  // the list file is there from the first upload
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_EQ(g_status.back(), "");
}

TEST_F(RfListUploadTest, ALostInstrumentIsReportedAndTheMessageStays) {
  sim_.Stop();
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_EQ(g_status.back(), "Error: Failed to Open VISA Device.");
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_FSEL_RFLIST);
  EXPECT_EQ(g_status.back(), "Error: Failed to Open VISA Device.");
  EXPECT_EQ(List().remoteFile.view(), "lists\\hop.lsw");

  cz::test::SimOptions dropping;
  dropping.faults = {"drop@LIST:FREQ"};
  ASSERT_TRUE(sim_.Start(dropping)) << sim_.Error();
  g_Settings.Select = sim_.SocketResource();
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_EQ(g_status.back(), "Error: Transfer Failed.") << "a failed transfer is not cleared away";
  EXPECT_TRUE(Logged("*** RF list transfer failed."));
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
}

}  // namespace

namespace {

// Messages the simulator received from index `from` on that hold `part`.
int CountSince(const cz::test::SimFixture& sim, std::size_t from, const std::string& part) {
  const std::vector<std::string> r = sim.Received();
  int n = 0;
  for (std::size_t i = from; i < r.size(); ++i) n += r[i].find(part) != std::string::npos ? 1 : 0;
  return n;
}

// Both questions of an activating upload come before anything that changes
// the instrument: No to the existing file ends the upload as cancelled with
// the playing signal and the instrument's list untouched; No to the
// activation still creates the list, with no CW switch, RF off or preset.
TEST_F(RfListUploadTest, QuestionsComeFirstAndNoKeepsTheInstrumentAsItWas) {
  List().activate = 1;
  const char* const teardown[] = {"FREQ:MODE CW", "OUTP1:STAT OFF", "BB:ARB:PRESET"};
  UiTest_QueueConfirm(false);  // activation
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD), 1);
  EXPECT_EQ(g_status.back(), "");
  EXPECT_TRUE(Logged("Upload complete but list not activated"));
  for (const char* t : teardown) EXPECT_EQ(CountSince(sim_, 0, t), 0) << t;
  EXPECT_EQ(CountSince(sim_, 0, "SOUR1:LIST:SEL 'D:\\lists\\hop.lsw'"), 1);

  ASSERT_EQ(VisaDev_Open(1, sim_.SocketResource().c_str()), 1);
  cz::test::TempDir dir;
  auto listBytes = [&] {
    const std::string local = dir.File("hop.lsw");
    return VisaDev_DownloadFile(1, local.c_str(), "D:\\lists\\hop.lsw") == 1 ? cz::test::ReadFileBytes(local)
                                                                             : std::string("<missing>");
  };
  const std::string before = listBytes();
  ASSERT_NE(before, "<missing>");

  // Path A plays with its RF output on.
  ASSERT_EQ(VisaDev_Write(1, "OUTP1:STAT ON; *OPC?"), 1);
  List().points.Set(0, 2.5, -5.0);
  std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);  // the file on the instrument
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD);
  ASSERT_EQ(UiTest_Popups().size(), 1u) << "the activation question is not asked after No";
  EXPECT_EQ(UiTest_Popups()[0].text, "File already exists on instrument. Proceed ?");
  EXPECT_EQ(g_status.back(), "Upload cancelled: the file on the instrument was kept.");
  EXPECT_FALSE(StatusWas("Error: Transfer Failed."));
  EXPECT_TRUE(Logged("Upload cancelled: the file on the instrument was kept."));
  for (const char* t :
       {"FREQ:MODE CW", "OUTP1:STAT", "BB:ARB:PRESET", "MMEM:DEL", "LIST:SEL", "LIST:FREQ", "MMEM:CDIR"})
    EXPECT_EQ(CountSince(sim_, from, t), 0) << t;
  EXPECT_EQ(listBytes(), before);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
  char state[32] = "";
  ASSERT_EQ(VisaDev_Query(1, "OUTP1:STAT?", state, sizeof state), 1);
  EXPECT_STREQ(state, "1") << "the RF output the user kept is still on";

  // Yes to both: the list is replaced and activated.
  from = sim_.Received().size();
  UiTest_QueueConfirm(true);
  UiTest_QueueConfirm(true);
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_EQ(g_status.back(), "");
  EXPECT_EQ(CountSince(sim_, from, "SOUR1:FREQ:MODE CW"), 1);
  EXPECT_EQ(CountSince(sim_, from, "OUTP1:STAT ON"), 1);
  EXPECT_NE(listBytes(), before);
  VisaDev_Close(1);
}

// An activating upload of the list typed on the page: the dwell time reaches
// the instrument as typed, whatever its decimals, and reads back unchanged.
TEST_F(RfListUploadTest, TheDwellTimeReachesTheInstrumentAsTyped) {
  ASSERT_EQ(UiTest_EnterValue(panel_, TAB_RFLIST_CB_ACTIVATE, 1), 1);
  ASSERT_EQ(List().activate, 1);
  ASSERT_EQ(VisaDev_Open(1, sim_.SocketResource().c_str()), 1);
  bool first = true;
  for (double dwellMs : {0.04, 0.25, 12.345}) {
    SCOPED_TRACE(dwellMs);
    ASSERT_EQ(UiTest_EnterValue(panel_, TAB_RFLIST_NUM_DWELL, dwellMs), 1);
    ASSERT_EQ(List().dwell, dwellMs);
    if (!first) UiTest_QueueConfirm(true);  // the list file from the upload before
    UiTest_QueueConfirm(true);              // activation
    first = false;
    ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD), 1);
    EXPECT_EQ(g_status.back(), "");
    EXPECT_TRUE(Logged("RF List creation finished"));
    char reply[64] = "";
    ASSERT_EQ(VisaDev_Query(1, "SOUR1:LIST:DWEL?", reply, sizeof reply), 1);
    EXPECT_NEAR(cz::StrtodC(reply, nullptr) * 1000.0, dwellMs, 1e-9) << reply;
    ASSERT_EQ(VisaDev_Query(1, "SOUR1:FREQ:MODE?", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "LIST");
  }
  VisaDev_Close(1);
  // A stored dwell time no instrument takes is refused before anything is sent.
  List().dwell = std::nan("");
  const std::size_t before = sim_.Received().size();
  UiTest_ClearPopups();
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_EQ(g_status.back(), "Error: Transfer Failed.");
  EXPECT_TRUE(Logged("*** RF list dwell time of nan ms refused: it must be a positive number of ms."));
  EXPECT_EQ(CountSince(sim_, before, "SOUR1:"), 0);
}

// A hand-edited project's point outside the table's ranges is loaded, said
// so, and kept through edits of the page; the upload names it with its range
// and sends nothing. Points within the ranges (bounds included) go out.
TEST_F(RfListUploadTest, PointsOfAProjectOutsideTheTableRangesAreNotSent) {
  const struct Row {
    const char *f, *l;
    const char* refusal;  // nullptr: the list is sent
  } rows[] = {{"50", "-10", "frequency 50 GHz lies outside 0 to 6 GHz"},
              {"6.0000001", "-10", "frequency 6.0000001 GHz lies outside 0 to 6 GHz"},
              {"2", "30.5", "level 30.5 dBm lies outside -130 to 30 dBm"},
              {"-1", "31", "frequency -1 GHz lies outside 0 to 6 GHz and level 31 dBm lies outside -130 to 30 dBm"},
              {"6", "30", nullptr},
              {"1e-6", "-130", nullptr}};
  const std::string project = dir_.File("edited.prj");
  bool sent = false;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.f) + " GHz, " + row.l + " dBm");
    ASSERT_TRUE(cz::test::WriteFileBytes(project, std::string("<TV_CZ_DB><RFLIST_DB><RFLIST name=\"e\"><Entry1 f=\"1\" "
                                                              "l=\"0\"/><Entry2 f=\"") + row.f + "\" l=\"" + row.l +
                                                      "\"/><RfFile>a.lsw</RfFile></RFLIST></RFLIST_DB></TV_CZ_DB>"));
    g_log.clear();
    ASSERT_EQ(LoadProject(PulseTable, SequenceTable, project.c_str(), 0), 1);
    const std::string entry = row.refusal ? std::string("entry 2 ") + row.refusal : "";
    EXPECT_EQ(Logged(row.refusal ? "*** RF list 'e': " + entry + "; kept as stored" : "kept as stored"), !!row.refusal);
    ShowRfList(0);
    ASSERT_EQ(UiTest_EnterValue(panel_, TAB_RFLIST_NUM_DWELL, 12.5), 1);  // every row written back
    EXPECT_EQ(List().points.Frequency(1), cz::StrtodC(row.f, nullptr));
    EXPECT_EQ(List().points.Level(1), cz::StrtodC(row.l, nullptr));
    const std::size_t before = sim_.Received().size();
    if (sent) UiTest_QueueConfirm(true);  // the list file of the row before
    ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD), 1);
    EXPECT_EQ(g_status.back(), row.refusal ? "Error: E" + entry.substr(1) + ". The list is not sent." : "");
    EXPECT_EQ(Logged("*** RF list 'e': " + entry + "; the list is not sent."), !!row.refusal);
    EXPECT_EQ(CountSince(sim_, before, "SOUR1:LIST:FREQ"), row.refusal ? 0 : 1);
    EXPECT_EQ(sim_.Received().size() == before, !!row.refusal) << "nothing reaches the instrument";
    sent = sent || !row.refusal;
  }
}

// An activation that fails after the RF output went on switches it off
// again and says so with the step that failed, a connection lost at that
// step included (the session is opened again for the "OFF").
TEST_F(RfListUploadTest, AFailedActivationLeavesTheRfOutputOff) {
  List().activate = 1;
  ShowRfList(0);
  struct Case {
    const char* fault;
    const char* status;
  };
  const Case cases[] = {
      {"opc0@LIST:DWEL", "Error: Transfer Failed at Dwell Time. RF Output Is Off."},
      {"error=-221,\"Settings conflict\"@LIST:LEAR", "Error: Transfer Failed at List Learning. RF Output Is Off."},
      {"opc0@LIST:TRIG:EXEC", "Error: Transfer Failed at List Trigger. RF Output Is Off."},
      {"drop@LIST:MODE", "Error: Transfer Failed at List Mode. RF Output Is Off."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    UploadActivatingWithFault(c.fault);
    EXPECT_EQ(g_status.back(), c.status);
    EXPECT_TRUE(Logged("*** RF list transfer failed."));
    EXPECT_EQ(CountSince(sim_, 0, "OUTP1:STAT ON"), 1);
    ASSERT_EQ(VisaDev_Open(1, sim_.SocketResource().c_str()), 1);
    EXPECT_EQ(Answer("OUTP1:STAT?"), "0");
    EXPECT_TRUE(Logged("RF output switched off after the failure."));
    VisaDev_Close(1);
    EXPECT_EQ(VisaDev_IsOpen(0), 0);
  }
}

// An activation that fails while the ARB plays the test signal of the list
// learning (its start refused, the ARB busy beyond the polls, the learning
// refused) stops the ARB again with the RF output: the next carrier the
// user switches on is not modulated by the test signal. The next upload
// activates the list.
TEST_F(RfListUploadTest, AFailedActivationLeavesTheArbOff) {
  List().activate = 1;
  ShowRfList(0);
  struct Case {
    const char* fault;
    const char* status;
  };
  const Case cases[] = {
      {"error=-221,\"Settings conflict\"*1@BB:ARB:STATE ON", "Error: Transfer Failed at ARB Start. RF Output Is Off."},
      {"busy=12*1", "Error: Transfer Failed at ARB Start. RF Output Is Off."},
      {"error=-221,\"Settings conflict\"*1@LIST:LEAR", "Error: Transfer Failed at List Learning. RF Output Is Off."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    UploadActivatingWithFault(c.fault);
    EXPECT_EQ(g_status.back(), c.status);
    EXPECT_TRUE(Logged("ARB switched off after the failure."));
    ASSERT_EQ(VisaDev_Open(1, sim_.SocketResource().c_str()), 1);
    EXPECT_EQ(Answer("SOUR1:BB:ARB:STAT?"), "0");
    EXPECT_EQ(Answer("OUTP1:STAT?"), "0");

    // Again, with the fault used up: the list runs, the ARB is off.
    UiTest_QueueConfirm(true);  // the list file from the failed upload
    UiTest_QueueConfirm(true);  // activation
    ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_UPLOAD), 1);
    EXPECT_EQ(g_status.back(), "");
    EXPECT_EQ(Answer("SOUR1:FREQ:MODE?"), "LIST");
    EXPECT_EQ(Answer("SOUR1:BB:ARB:STAT?"), "0");
    VisaDev_Close(1);
  }
}

}  // namespace

namespace {

// The RF List page's import: a file with a byte-order mark and a line of
// more than 1,023 characters gives one point per line; a file that cannot be
// read leaves the list as it was.
TEST_F(RfListEditorTest, ImportReadsMarkedFilesAndWideLinesAndKeepsTheListAfterAFailure) {
  ShowRfList(0);
  const std::string in = dir_.File("wide.txt");
  cz::test::WriteFileBytes(in, "\xEF\xBB\xBF" "1.5 -10" + std::string(1016, ' ') + "4.0 -40.0\r\n2.5 -20\r\n");
  UiTest_QueueFile(in.c_str());
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_IMPORT);
  EXPECT_TRUE(Logged("2 Entries imported."));
  EXPECT_EQ(List().points.Frequency(0), 1.5);
  EXPECT_EQ(List().points.Frequency(1), 2.5);
  EXPECT_EQ(List().points.Frequency(2), 3.0) << "the entry after the imported ones keeps its value";
  EXPECT_EQ(CellValue(RFLIST_COL_FREQUENCY, 1), 1.5);

  const RfListPoints before = List().points;
  UiTest_QueueFile(dir_.path().c_str());
  UiTest_ClickCtrl(panel_, TAB_RFLIST_CMD_IMPORT);
  EXPECT_TRUE(StatusWas("Error: Cannot Read Input File."));
  EXPECT_TRUE(List().points == before);
}

}  // namespace
