// Instrument flows meeting one another: a multi-segment Generate stopped in
// its first segment, or while the instrument assembles the waveform or
// starts the ARB, then built again over segment files the instrument
// kept (each segment's question before anything is sent), also for a target
// name with quotes and a comma; the instrument lost in the middle of a
// multi-segment upload (raw socket and VXI-11) or its assembly, started
// again and the next Generate; both paths uploaded after a failed Generate
// and a new identification; a repetition being typed when Generate is
// pressed; the Transfer page's browser on names with commas that uploads
// made, and its Transfer to PC cut by a lost instrument; an RF list with
// Activate to an instrument replaced by another model. Offscreen through the
// program's own menus, clicks, table cells and scripted popups, with the
// simulator on 127.0.0.1.
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QLineEdit>
#include <QTableView>

#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/LogSinks.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "instrument/FileBrowser.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/ui/TestDriver.h"
#include "platform/visa/Visa.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StartupHome.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/dialogs/InstrumentManagerDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/TransferPage.h"

namespace {

using cz::test::FileExists;
using cz::test::WriteFileBytes;

// What the user does when a log line holding a text appears: press Stop on
// the Multi Segment page, or pull the instrument's plug (the simulator ends).
struct LogAction {
  std::string text;
  int skip = 0;  // matching lines to let pass first
  bool stop = false;
  cz::test::SimFixture* kill = nullptr;
};
LogAction g_action;

// Steps taken in turn while the instrument file browser runs; Cancel ends it
// once they are used up.
std::vector<std::function<void(int)>> g_browserSteps;
void BrowserStep(int panel) {
  if (g_browserSteps.empty()) {
    UiTest_ClickCtrl(panel, PANEL_FB_ARBFILECANCEL);
    return;
  }
  const std::function<void(int)> step = g_browserSteps.front();
  g_browserSteps.erase(g_browserSteps.begin());
  step(panel);
}
// Labels of a browser list (column 1 of the file list is the name, 0 the size).
std::vector<std::string> BrowserItems(int panel, int control, int column) {
  std::vector<std::string> out;
  int count = 0;
  GetNumTreeItems(panel, control, &count);
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    GetTreeCellAttribute(panel, control, i, column, ATTR_LABEL_TEXT, text, sizeof text);
    out.push_back(text);
  }
  return out;
}
int BrowserIndex(int panel, int control, const std::string& name) {
  const std::vector<std::string> items = BrowserItems(panel, control, 1);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i] == name) return static_cast<int>(i);
  return -1;
}

void ActingLogSink(const char* text) {
  LogWindowSink(text);

  if (g_action.text.empty() || std::string(text).find(g_action.text) == std::string::npos) return;
  if (g_action.skip-- > 0) return;
  g_action.text.clear();
  if (g_action.stop) UiTest_ClickCtrl(TAB_MSEG, TAB_MSEG_CMD_STOP);
  if (g_action.kill != nullptr) g_action.kill->Stop();
}

class InstrumentFlowsTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  void SetUp() override {
    StartupHomeTest::SetUp();
    g_action = LogAction();
    cz::test::SimOptions probe;
    probe.vxi11 = false;
    ASSERT_TRUE(sim_.Start(probe)) << sim_.Error();
    port_ = sim_.Port();
    StartModel("Kaldra", "KLD-M64,KLD-RFA30,KLD-M16");
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               "[INSTR]\r\nSelect = \"" + sim_.SocketResource() + "\"\r\n[DEV]\r\nDevice1 = \"" +
                                   sim_.SocketResource() + "\"\r\n[PRG]\r\nTempDir = \"" + home_ +
                                   "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n"));
  }
  void TearDown() override {
    g_action = LogAction();
    g_browserSteps.clear();
    FileBrowser_SetLoopHook(nullptr);
    StartupHomeTest::TearDown();
    Visa_SetVxi11CorePort(0);
  }
  void StartModel(const char* model, const char* options) {
    cz::test::SimOptions opt;
    opt.model = model;
    opt.options = options;
    opt.vxi11 = vxi11_;
    opt.port = port_;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    ASSERT_EQ(sim_.Port(), port_);
    if (vxi11_) Visa_SetVxi11CorePort(sim_.Vxi11Port());
  }
  // The instrument over VXI-11 from now on (the program not yet started).
  void UseVxi11() {
    vxi11_ = true;
    StartModel("Kaldra", "KLD-M64,KLD-RFA30,KLD-M16");
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               "[INSTR]\r\nSelect = \"" + sim_.Vxi11Resource() + "\"\r\n[DEV]\r\nDevice1 = \"" +
                                   sim_.Vxi11Resource() + "\"\r\n[PRG]\r\nTempDir = \"" + home_ +
                                   "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n"));
  }
  void Start() {
    ASSERT_EQ(InitApplication(), 1);
    ASSERT_EQ(InstrumentCapabilities.MultiSegment, 1);
    Log_SetLogSink(ActingLogSink);
    Choose(MBAR_FILE_NEWPRJ);
  }
  int Count(std::size_t from, const std::string& part) const {
    const std::vector<std::string> r = sim_.Received();
    int n = 0;
    for (std::size_t k = from; k < r.size(); ++k) n += r[k].find(part) != std::string::npos;
    return n;
  }
  // Two sequences of one pulse, each writing its own file, and a
  // multi-segment waveform of both; the segment files stay on the
  // instrument after the build when keep is set.
  void TwoSegmentWaveform(bool keep) {
    Choose(MBAR_PULSE_PNEW);
    for (const char* name : {"first.wv", "second.wv"}) {
      Choose(MBAR_PULSE_SNEW);
      ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, dir_.File(name).c_str()), 1);
    }
    ASSERT_EQ(SequenceCount, 2);
    if (keep) {
      Choose(MBAR_OPT_PREF);
      int on = 0;
      GetCtrlVal(GENWV, GENWV_CHK_REMMSEG, &on);
      if (on) Click(GENWV, GENWV_CHK_REMMSEG);
      Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
      ASSERT_EQ(g_Settings.Project.removeSegments, 0);
    }
    Choose(MBAR_PULSE_SEGNEW);
    Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
    Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
    const int table = TAB_MSEG_TABLE_SETTINGS;
    ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 2), false), 1);
    ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 2), 2), 1);
    UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false);
    ASSERT_EQ(MultiSegmentTable[0].segments[1].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  }
  std::string Segment(int k) const {
    return "-seg" + std::to_string(k) + ".wv'";
  }
  // Deselects and selects the instrument again in the instrument manager,
  // which identifies what answers at its address.
  void IdentifyAgain() {
    Choose(MBAR_INSTR_INSTRSETUP);
    int group = -1, device = -1;
    GetTreeItemFromTag(INSTRMAN, INSTRMAN_TREE_INSTR, kManualBranchTag, &group);
    GetTreeItemChild(INSTRMAN, INSTRMAN_TREE_INSTR, group, 0, &device);
    ASSERT_GE(device, 0);
    ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, device, true), 1);
    ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, device, true), 1);
    Click(INSTRMAN, INSTRMAN_CMD_EXIT);
  }
  // The instrument goes away at the log line holding text (after skip
  // such lines).
  void LostInTheMiddleThenBack(const char* text = "File transfer to instrument", int skip = 1);
  int Appended(std::size_t from) const { return Count(from, "SOUR:BB:ARB:WSEG:CONF:SEGM:APP"); }

  cz::test::SimFixture sim_;
  uint16_t port_ = 0;
  bool vxi11_ = false;
};

// Stop during the first segment's upload, answered Yes: the build ends as a
// user break with the first segment whole on the instrument. The next Generate asks about the segment
// file the instrument kept and builds both; the one after asks about both
// before sending anything, and a No for the second sends nothing at all.
// A Generate after that builds again.
TEST_F(InstrumentFlowsTest, MultiSegmentStoppedThenBuiltOverTheSegmentsTheInstrumentKept) {
  Start();
  TwoSegmentWaveform(true);

  std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  g_action.text = "File transfer to instrument";
  g_action.stop = true;
  UiTest_QueueMessageOk();    // the user clock raised to the sequences' clock
  UiTest_QueueConfirm(true);  // Abort MSW Creation ?
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  EXPECT_TRUE(g_action.text.empty()) << "Stop was pressed";
  ASSERT_EQ(UiTest_Popups().size(), 2u) << Log();
  EXPECT_EQ(UiTest_Popups()[1].title, "Abort MSW Creation ?");
  for (const auto& p : UiTest_Popups()) EXPECT_NE(p.title, "Error") << p.text;
  EXPECT_EQ(Appended(from), 1) << Log();
  EXPECT_EQ(Count(from, ":MMEM:DATA"), 1);
  EXPECT_EQ(Count(from, Segment(2)), 0);
  EXPECT_EQ(Status(), "User break");
  EXPECT_EQ(Count(from, "WSEG:CLO") + Count(from, "ARB:STAT ON"), 0) << "a user break assembles nothing";
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 0);
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_STOP), 1);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);

  // Again: only the kept first segment is asked about.
  from = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 1u) << Log();
  EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
  EXPECT_EQ(Appended(from), 2) << Log();
  EXPECT_EQ(Status(), "Done.");

  // Both kept now: Yes for the first, No for the second sends nothing.
  from = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  UiTest_QueueConfirm(false);
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 2u) << Log();
  for (const auto& p : UiTest_Popups()) EXPECT_EQ(p.text, "File exists on instrument. Delete ?");
  for (const char* change : {"PRES", ":MMEM:DATA", "MMEM:DEL", "WSEG", "ARB:STAT"})
    EXPECT_EQ(Count(from, change), 0) << change;
  EXPECT_EQ(Status(), "Upload cancelled: the file on the instrument was kept.");
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 0);

  // And the next build asks anew and goes through.
  from = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  UiTest_QueueConfirm(true);
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  EXPECT_EQ(UiTest_Popups().size(), 2u) << Log();
  EXPECT_EQ(Appended(from), 2) << Log();
  EXPECT_EQ(Status(), "Done.");
}

// The page's Stop pressed while the instrument puts the waveform together:
// answered No, the build goes on and starts the ARB; answered Yes, the ARB
// is not started, the segment files stay (the next build asks about them)
// and the build ends as a user break, never "Done.". Stop pressed as the
// ARB starts ends the wait for it as a user break.
TEST_F(InstrumentFlowsTest, StopWhileTheWaveformIsAssembledOrStartedIsObeyed) {
  Start();
  TwoSegmentWaveform(false);
  struct Case {
    const char* at;
    bool yes;
    int kept;  // segment files the build before left on the instrument
    int arbStarts;
    const char* status;
  };
  const Case cases[] = {
      {"WSEG:CLO", false, 0, 1, "Done."},
      {"WSEG:CLO", true, 0, 0, "User break"},
      {"BB:ARB:STAT ON", true, 2, 1, "User break"},
  };
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.at) + (c.yes ? ", Yes" : ", No"));
    const std::size_t from = sim_.Received().size();
    UiTest_ClearPopups();
    if (first) UiTest_QueueMessageOk();  // the user clock raised to the sequences' clock
    first = false;
    g_action = LogAction();
    g_action.text = c.at;
    g_action.stop = true;
    for (int k = 0; k < c.kept; ++k) UiTest_QueueConfirm(true);  // File exists on instrument. Delete ?
    UiTest_QueueConfirm(c.yes);                                  // Abort MSW Creation ?
    Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
    EXPECT_TRUE(g_action.text.empty()) << "Stop was pressed";
    ASSERT_FALSE(UiTest_Popups().empty()) << Log();
    EXPECT_EQ(UiTest_Popups().back().title, "Abort MSW Creation ?");
    EXPECT_EQ(Count(from, ":MMEM:DATA"), 2);
    for (const auto& p : UiTest_Popups()) EXPECT_NE(p.title, "Error") << p.text;
    EXPECT_EQ(Count(from, "WSEG:CLO"), 1) << Log();
    EXPECT_EQ(Count(from, "BB:ARB:STAT ON"), c.arbStarts) << Log();
    EXPECT_EQ(Status(), c.status);
    EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 0);
    EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_STOP), 1);
  }
}

// The instrument goes away while the second segment is sent: the build
// fails with its popup and leaves the page idle; with the instrument back
// at its address the next Generate builds the whole waveform.
TEST_F(InstrumentFlowsTest, InstrumentLostInTheMiddleOfAMultiSegmentUploadThenBack) {
  LostInTheMiddleThenBack();
}

TEST_F(InstrumentFlowsTest, InstrumentLostWhileTheMultiSegmentWaveformIsAssembledThenBack) {
  LostInTheMiddleThenBack("WSEG:CLO", 0);
}

TEST_F(InstrumentFlowsTest, InstrumentLostInTheMiddleOfAMultiSegmentUploadOverVxi11ThenBack) {
  UseVxi11();
  LostInTheMiddleThenBack();
}

void InstrumentFlowsTest::LostInTheMiddleThenBack(const char* text, int skip) {
  Start();
  TwoSegmentWaveform(false);

  UiTest_ClearPopups();
  g_action.text = text;
  g_action.skip = skip;
  g_action.kill = &sim_;
  UiTest_QueueMessageOk();  // the user clock raised to the sequences' clock
  UiTest_QueueMessageOk();
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  EXPECT_TRUE(g_action.text.empty()) << "the instrument went away";
  EXPECT_FALSE(sim_.Running());
  ASSERT_GE(UiTest_Popups().size(), 1u) << Log();
  EXPECT_EQ(UiTest_Popups().back().title, "Error");
  EXPECT_EQ(Status().rfind("Error", 0), 0u) << Status();
  EXPECT_NE(Status(), "Done.");
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 0);
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_STOP), 1);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);

  StartModel("Kaldra", "KLD-M64,KLD-RFA30,KLD-M16");
  UiTest_ClearPopups();
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Appended(0), 2) << Log();
  EXPECT_EQ(Count(0, ":MMEM:DATA"), 2);
  EXPECT_EQ(Count(0, "MMEM:DEL"), 2);  // the segment files, after the assembly
  EXPECT_EQ(Count(0, "ARB:STAT ON"), 1);
  EXPECT_EQ(Status(), "Done.");
}

// Both paths load the linked waveform; a Generate into a folder that does
// not exist fails; the instrument is replaced by a two-path model with
// Unix-style paths. The upload sends it nothing; once identified, both
// linked names take its style, the earlier waveform goes to both paths
// without a question, and the next upload asks once: No sends nothing, Yes
// replaces the file.
TEST_F(InstrumentFlowsTest, BothPathsUploadAfterAFailedGenerateAndANewIdentification) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  const std::string wave = dir_.File("both.wv");
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, wave.c_str()), 1);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_TRUE(FileExists(wave)) << Log();
  const std::string built = cz::test::ReadFileBytes(wave);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_B);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  if (!g_Settings.BBLinkFB) Click(TAB_INSTR, TAB_INSTR_CB_LINK_B);
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  ASSERT_EQ(Status(), "Transfer Complete.") << Log();
  ASSERT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_B), "D:\\both.wv");

  // A Generate onto a folder fails and keeps the earlier file.
  ASSERT_EQ(mkdir(dir_.File("folder.wv").c_str(), 0755), 0);
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, dir_.File("folder.wv").c_str()), 1);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_EQ(Status().rfind("Error", 0), 0u) << Status();
  EXPECT_EQ(cz::test::ReadFileBytes(wave), built);

  StartModel("Ostrel", "");
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_EQ(Status(), "Error: Instrument Changed. Identify It Again.");
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;

  IdentifyAgain();
  ASSERT_EQ(InstrumentCapabilities.UnixPaths, 1);
  ASSERT_GT(InstrumentCapabilities.ArbSamplesB, 0);
  const std::string a = Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A);
  const std::string b = Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_B);
  EXPECT_EQ(a.find("/"), 0u) << a;
  EXPECT_EQ(b, a);
  EXPECT_NE(a.find("both.wv"), std::string::npos) << a;
  EXPECT_EQ(g_Settings.RemoteFileB.str(), b);

  std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Count(from, ":MMEM:DATA '" + a + "',#"), 2) << Log();
  EXPECT_EQ(Count(from, "[" + std::to_string(built.size()) + " bytes"), 2) << "the earlier waveform";
  EXPECT_EQ(Status(), "Transfer Complete.");

  for (bool yes : {false, true}) {
    SCOPED_TRACE(yes);
    from = sim_.Received().size();
    UiTest_ClearPopups();
    UiTest_QueueConfirm(yes);
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    ASSERT_EQ(UiTest_Popups().size(), 1u) << Log();
    EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
    EXPECT_EQ(Count(from, ":MMEM:DATA"), yes ? 2 : 0);
    EXPECT_EQ(Status(), yes ? "Transfer Complete." : "Upload cancelled: the file on the instrument was kept.");
  }
}

// Sequencer mode: a repetition count typed into the second segment's cell
// (no Return) and Generate pressed at once: the build appends the segment
// with the count the user typed, and the record keeps it.
TEST_F(InstrumentFlowsTest, ARepetitionBeingTypedWhenGenerateIsPressedIsBuilt) {
  Start();
  TwoSegmentWaveform(false);
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_MSEG, TAB_MSEG_RING_SEQMODE, 1), 1);  // "Sequencer"
  ASSERT_EQ(MultiSegmentTable[0].sequencerMode, 1);
  const int table = TAB_MSEG_TABLE_SETTINGS;
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_REP, 2), false), 1);
  auto* view = qobject_cast<QTableView*>(UiTest_Widget(TAB_MSEG, table));
  ASSERT_NE(view, nullptr);
  view->resize(600, 400);
  const QModelIndex rep = view->model()->index(1, MSW_COL_REP - 1);
  view->setCurrentIndex(rep);
  view->edit(rep);
  auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(rep));
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("5"));

  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // the user clock raised to the sequences' clock
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  QApplication::processEvents();
  EXPECT_EQ(Status(), "Done.") << Log();
  EXPECT_EQ(Count(0, "SOUR:BB:ARB:WSEG:SEQ:APP ON,1,5,"), 1) << Log();
  EXPECT_STREQ(MultiSegmentTable[0].segments[1].repetition.c_str(), "5");
  EXPECT_STREQ(MultiSegmentTable[0].segments[0].repetition.c_str(), "1");
}

// Uploads make "D:\\take,2.wv" and "D:\\take.wv"; the Transfer page's
// browser lists both under their own names and sizes, Transfer to PC
// replaces a local file with the right one, Delete removes only the chosen
// file, and OK sets path A's name. The next upload asks about that file.
TEST_F(InstrumentFlowsTest, BrowserFilesWithCommasThatUploadsMade) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  std::string built[2];
  const char* names[] = {"take,2.wv", "take.wv"};
  for (int k = 0; k < 2; ++k) {
    ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, dir_.File(names[k]).c_str()), 1);
    // The second waveform is longer, so that the files differ.
    if (k == 1) SequenceTable[CurrentSequence].entries[0].repetitions = 3;
    UiTest_ClearPopups();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    ASSERT_TRUE(FileExists(dir_.File(names[k]))) << Log();
    built[k] = cz::test::ReadFileBytes(dir_.File(names[k]));
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    ASSERT_EQ(Status(), "Transfer Complete.") << Log();
    ASSERT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), std::string("D:\\") + names[k]);
  }
  ASSERT_NE(built[0].size(), built[1].size());

  Click(TAB_INSTR, TAB_INSTR_CB_NLINK_A);
  ASSERT_EQ(g_Settings.BBLinkFA, 0);
  const std::string back = dir_.File("back,1.wv");
  ASSERT_TRUE(WriteFileBytes(back, "old"));
  const std::size_t from = sim_.Received().size();
  FileBrowser_SetLoopHook(BrowserStep);
  // The browser runs inside the page's callback: each click is seen on the
  // next turn of its loop, as the user's next click would be.
  auto dimmed = [](int p, int control) {
    int value = -1;
    GetCtrlAttribute(p, control, ATTR_DIMMED, &value);
    return value;
  };
  auto clickFile = [](const char* name) {
    return [name](int p) {
      const int item = BrowserIndex(p, PANEL_FB_FILES, name);
      ASSERT_GE(item, 0) << name;
      EXPECT_EQ(UiTest_ClickTreeItem(p, PANEL_FB_FILES, item, false), 1);
    };
  };
  g_browserSteps = {
      [&](int p) {
        const int take2 = BrowserIndex(p, PANEL_FB_FILES, "take,2.wv");
        const int take = BrowserIndex(p, PANEL_FB_FILES, "take.wv");
        ASSERT_GE(take2, 0);
        ASSERT_GE(take, 0);
        EXPECT_EQ(BrowserItems(p, PANEL_FB_FILES, 0)[static_cast<std::size_t>(take2)],
                  std::to_string(built[0].size()));
        EXPECT_EQ(BrowserItems(p, PANEL_FB_FILES, 0)[static_cast<std::size_t>(take)],
                  std::to_string(built[1].size()));
        EXPECT_EQ(UiTest_ClickTreeItem(p, PANEL_FB_FILES, take2, false), 1);
      },
      [&](int p) {
        EXPECT_EQ(dimmed(p, PANEL_FB_ARBFILECOPY), 0) << "Transfer to PC offered";
        UiTest_QueueFile(back.c_str());
        EXPECT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY), 1);
      },
      [&](int p) {
        EXPECT_TRUE(cz::test::ReadFileBytes(back) == built[0]) << "the file back from the instrument";
        for (const auto& pop : UiTest_Popups())
          EXPECT_EQ(pop.kind, "file") << pop.title << ": " << pop.text;
        clickFile("take,2.wv")(p);
      },
      [&](int p) {
        EXPECT_EQ(dimmed(p, PANEL_FB_ARBFILEDELETE), 0) << "Delete offered";
        UiTest_QueueConfirm(true);
        EXPECT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILEDELETE), 1);
      },
      [&](int p) {
        EXPECT_EQ(BrowserIndex(p, PANEL_FB_FILES, "take,2.wv"), -1);
        EXPECT_GE(BrowserIndex(p, PANEL_FB_FILES, "take.wv"), 0);
        clickFile("take.wv")(p);
      },
      [&](int p) { EXPECT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILEOK), 1); },
  };
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_FSEL_INSTR_A);
  EXPECT_TRUE(g_browserSteps.empty());
  EXPECT_EQ(Count(from, "MMEM:DEL 'D:\\take,2.wv'") + Count(from, "MMEM:DEL 'take,2.wv'"), 1) << Log();
  EXPECT_EQ(Count(from, "MMEM:DEL"), 1);
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), "D:\\take.wv");
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "D:\\take.wv");

  // Path A sends the shown source file to the chosen name, after the question.
  const std::size_t before = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  ASSERT_EQ(UiTest_Popups().size(), 1u) << Log();
  EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
  EXPECT_EQ(Count(before, ":MMEM:DATA 'D:\\take.wv',#"), 1) << Log();
  EXPECT_EQ(Status(), "Transfer Complete.");
}

// A target name with an apostrophe, a comma and double quotes: the
// segment files a build left on the instrument are found by the next build,
// which asks about each before anything is sent; No keeps them.
TEST_F(InstrumentFlowsTest, SegmentFilesOfATargetNameWithQuotesAndCommasAreAskedAbout) {
  Start();
  TwoSegmentWaveform(true);
  const std::string target = "it's, \"done\"";
  ASSERT_EQ(UiTest_EnterValue(TAB_MSEG, TAB_MSEG_STR_MSNAME, target.c_str()), 1);
  ASSERT_EQ(MultiSegmentTable[0].targetName.str(), target);

  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // the user clock raised to the sequences' clock
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(Status(), "Done.") << Log();
  EXPECT_EQ(Count(0, ":MMEM:DATA 'D:\\it''s, \"done\"-seg2.wv',#"), 1) << Log();

  const std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  UiTest_QueueConfirm(false);
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 2u) << Log();
  EXPECT_EQ(Count(from, ":MMEM:DATA"), 0);
  EXPECT_EQ(Count(from, "PRES"), 0);
  EXPECT_EQ(Status(), "Upload cancelled: the file on the instrument was kept.");
}

// An RF list with Activate ticked whose file is already on the instrument:
// the instrument is replaced by another model before the next upload, which
// asks nothing and sends nothing; identified again, the list goes to the new
// model's own folder (nothing there yet: no question), and a second upload
// asks about it first, No leaving the instrument as it was.
TEST_F(InstrumentFlowsTest, RfListWithActivateToAnInstrumentThatWasReplaced) {
  Start();
  Choose(MBAR_PULSE_RFLISTNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_LEN, 3), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_SETLEN);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_MIN, 1.0), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_FILLLIST);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_STR_FILE, "hop,1.lsw"), 1);
  int on = 0;
  GetCtrlVal(TAB_RFLIST, TAB_RFLIST_CB_ACTIVATE, &on);
  if (!on) Click(TAB_RFLIST, TAB_RFLIST_CB_ACTIVATE);
  ASSERT_EQ(RfListTable[CurrentRfList].activate, 1);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);  // RF List Activation
  Click(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD);
  ASSERT_EQ(Count(0, "LIST:SEL 'D:\\hop,1.lsw'"), 1) << Log();
  ASSERT_EQ(Count(0, "LIST:TRIG:EXEC"), 1) << Log();

  StartModel("Nerrin", "NRN-M32A,OPT-HDD");
  UiTest_ClearPopups();
  Click(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Status(), "Error: Instrument Changed. Identify It Again.");
  for (const std::string& m : sim_.Received())
    EXPECT_TRUE(m == "*CLS" || m == "*IDN?" || m == "*OPT?" || m == ":SYST:ERR?") << m;

  IdentifyAgain();
  ASSERT_EQ(InstrumentCapabilities.UnixPaths, 1);
  std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);  // RF List Activation
  Click(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD);
  ASSERT_EQ(UiTest_Popups().size(), 1u) << Log();
  EXPECT_EQ(UiTest_Popups()[0].title, "RF List Activation");
  EXPECT_EQ(Count(from, "LIST:SEL '/hdd/hop,1.lsw'"), 1) << Log();
  EXPECT_EQ(Status().find("Error"), std::string::npos) << Status();

  from = sim_.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);  // File already exists on instrument. Proceed ?
  Click(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD);
  ASSERT_EQ(UiTest_Popups().size(), 1u) << Log();
  EXPECT_EQ(UiTest_Popups()[0].text, "File already exists on instrument. Proceed ?");
  for (const char* change : {"FREQ:MODE", "OUTP", "PRES", "MMEM:DEL", "LIST:SEL", "LIST:FREQ"})
    EXPECT_EQ(Count(from, change), 0) << change;
  EXPECT_EQ(Status(), "Upload cancelled: the file on the instrument was kept.");
}

// Transfer to PC onto a file the user keeps, and the instrument goes away
// while the file comes in: the local file keeps its bytes, no partial file
// is left beside it, and the browser says the transfer failed. With the
// instrument back, the same transfer replaces the file.
TEST_F(InstrumentFlowsTest, TransferToPcCutByALostInstrumentKeepsTheLocalFile) {
  Start();
  std::string big(24u << 20, '\0');
  for (std::size_t k = 0; k < big.size(); ++k) big[k] = static_cast<char>(k * 7 + k / 4096);
  const std::string source = dir_.File("big-source.bin");
  ASSERT_TRUE(WriteFileBytes(source, big));
  // The file is put on the instrument beside the program (a second session).
  auto putOnInstrument = [&] {
    ASSERT_EQ(VisaDev_Open(1, sim_.SocketResource().c_str()), 1);
    ASSERT_EQ(VisaDev_UploadFile(1, source.c_str(), "D:\\big.wv"), 1);
    VisaDev_Close(1);
  };
  putOnInstrument();
  const std::string keep = dir_.File("keep.wv");
  ASSERT_TRUE(WriteFileBytes(keep, "old"));

  auto transferToPc = [&](bool fails) {
    FileBrowser_SetLoopHook(BrowserStep);
    g_browserSteps = {
        [](int p) {
          const int item = BrowserIndex(p, PANEL_FB_FILES, "big.wv");
          ASSERT_GE(item, 0);
          EXPECT_EQ(UiTest_ClickTreeItem(p, PANEL_FB_FILES, item, false), 1);
        },
        [&, fails](int p) {
          UiTest_QueueFile(keep.c_str());
          if (fails) UiTest_QueueMessageOk();  // File transfer failed.
          EXPECT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY), 1);
        },
        [](int) {},
    };
    Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
    Click(TAB_INSTR, TAB_INSTR_CB_NLINK_A);
    UiTest_ClearPopups();
    Click(TAB_INSTR, TAB_INSTR_CMD_FSEL_INSTR_A);
    FileBrowser_SetLoopHook(nullptr);
  };

  g_action.text = "Data length is";
  g_action.kill = &sim_;
  transferToPc(true);
  EXPECT_TRUE(g_action.text.empty()) << "the instrument went away";
  bool failed = false;
  for (const auto& p : UiTest_Popups()) failed = failed || p.text == "File transfer failed.";
  EXPECT_TRUE(failed) << Log();
  EXPECT_EQ(cz::test::ReadFileBytes(keep), "old");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.File(""))) files += entry.is_regular_file();
  EXPECT_EQ(files, 2) << "big-source.bin and keep.wv only";

  StartModel("Kaldra", "KLD-M64,KLD-RFA30,KLD-M16");
  putOnInstrument();
  transferToPc(false);
  EXPECT_TRUE(cz::test::ReadFileBytes(keep) == big) << "the file from the instrument";
}

}  // namespace
