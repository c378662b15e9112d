// The users' main road through the whole program, offscreen, with scripted
// popups and the instrument simulator on 127.0.0.1: start-up with a selected
// instrument, a new project, a pulse with timing and a modulation, a
// sequence of it, Generate with a text report, the Sequence View, the
// upload on the Transfer page, save and reload (the same file again), an RF
// list upload, a multi-segment build of two sequences, and Exit with the
// project saved on the way out.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTableView>

#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/Progress.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "editors/BasebandFilter.h"
#include "editors/ReportDialog.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "engine/EngineHost.h"
#include "engine/ModulationTypes.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentManager.h"
#include "instrument/InstrumentTransfer.h"
#include "ui/dialogs/InstrumentManagerDialog.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/InfoDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/SequenceViewPage.h"
#include "ui/main/TransferPage.h"
#include "ui/pulse/ModulationPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

// A waveform file without its {DATE:...} tag, the one part that follows the clock.
std::string WithoutDate(std::string file) {
  const std::size_t at = file.find("{DATE:");
  if (at != std::string::npos) file.erase(at, file.find('}', at) + 1 - at);
  return file;
}

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class MainRoadTest : public cz::test::SimulatedHomeTest {
 protected:
  std::string PluginFolder() const override { return cz::test::BuildDir() + "/Plugins"; }

  static int PageVisible(int page) {
    int visible = -1;
    GetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(page), ATTR_VISIBLE, &visible);
    return visible;
  }
  std::vector<std::string> Received() const { return sim_.Received(); }
  bool Sent(const std::string& prefix) const {
    const std::vector<std::string> r = Received();
    return std::any_of(r.begin(), r.end(), [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
  }

  // New pulse with 10 us on time, 1 us edges and 40 us off, its modulation
  // chosen by its label in the modulation tree.
  void NewPulse(const char* modulation) {
    Choose(MBAR_PULSE_PNEW);
    ASSERT_EQ(PulseCount, 1);
    EXPECT_EQ(PageVisible(PAGE_PULSE_EDITOR), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 10.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_RISE, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_FALL, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 40.0), 1);
    ChooseModulation(modulation);
  }

};

TEST_F(MainRoadTest, PulseSequenceGenerateViewTransferSaveReload) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  ASSERT_EQ(InstrumentCapabilities.Connected, 1);

  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("FM chirp");
  const PulseRecord& pulse = PulseTable[0];
  EXPECT_EQ(pulse.modulation, 2);
  EXPECT_NEAR(pulse.onTime, 10e-6, 1e-12);
  EXPECT_NEAR(pulse.riseTime, 1e-6, 1e-12);

  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 1);
  EXPECT_EQ(PageVisible(PAGE_SEQUENCE_EDITOR), 1);
  EXPECT_EQ(SequenceTable[0].entries[0].pulseId, static_cast<int32_t>(pulse.id));
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "3"), 1);
  EXPECT_EQ(SequenceTable[0].entries[0].repetitions, 3);

  // The waveform file and a text report.
  const std::string wave = dir_.File("road.wv");
  UiTest_QueueFile(wave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  EXPECT_EQ(Text(TAB_SEDIT, TAB_SEDIT_STR_FILE), wave);
  EXPECT_EQ(Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 0);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  const std::string report = dir_.File("road.txt");
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, report.c_str()), 1);
  Click(DATALOG, DATALOG_CHK_REP_ON);
  Click(DATALOG, DATALOG_CHK_REP_SENTRY);
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  EXPECT_EQ(SequenceTable[0].reportOn, 1);

  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  ASSERT_TRUE(FileExists(wave)) << Log();
  const std::string built = ReadFileBytes(wave);
  EXPECT_NE(built.find("{TYPE:"), std::string::npos);
  EXPECT_EQ(Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 0) << "idle again";
  ASSERT_TRUE(FileExists(report)) << Log();
  const std::string reportText = ReadFileBytes(report);
  EXPECT_NE(reportText.find("Entry"), std::string::npos) << reportText;
  EXPECT_NE(reportText.find("10.000"), std::string::npos) << reportText;

  // The Sequence View shows the build; the Transfer page has the file.
  EXPECT_EQ(PageVisible(PAGE_SEQUENCE_VIEW), 1);
  EXPECT_GT(g_SequenceView.totalSamples, 0);
  EXPECT_FALSE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQ).empty());
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_LOCFILE), wave);

  // The view moves over the built samples: zoom in, step forward, back to the start.
  const int64_t whole = g_SequenceView.lastSample - g_SequenceView.firstSample + 1;
  Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
  EXPECT_LT(g_SequenceView.lastSample - g_SequenceView.firstSample + 1, whole) << Log();
  const std::string start = Text(TAB_VIEW, TAB_VIEW_STR_TSTART);
  Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHFWD);
  EXPECT_GT(g_SequenceView.firstSample, 0);
  EXPECT_NE(Text(TAB_VIEW, TAB_VIEW_STR_TSTART), start);
  Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHBEGIN);
  EXPECT_EQ(g_SequenceView.firstSample, 0);
  EXPECT_EQ(Log().find("*** Error while drawing"), std::string::npos);

  // Waveform information.
  Click(TAB_SEDIT, TAB_SEDIT_CMD_WVINFO);
  int infoVisible = 0;
  GetPanelAttribute(INFO, ATTR_VISIBLE, &infoVisible);
  EXPECT_EQ(infoVisible, 1);

  // Transfer: load and run on path A, file name linked to the local file.
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  EXPECT_EQ(g_Settings.BBModeA, 2);
  EXPECT_NE(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A).find("road.wv"), std::string::npos);
  for (int box : {TAB_INSTR_CB_SETFREQ_A, TAB_INSTR_CB_SETLEV_A}) {
    int on = 0;
    GetCtrlVal(TAB_INSTR, box, &on);
    if (!on) Click(TAB_INSTR, box);
  }
  ASSERT_EQ(UiTest_EnterValue(TAB_INSTR, TAB_INSTR_NUM_F_A, 2.5), 1);
  ASSERT_EQ(UiTest_EnterValue(TAB_INSTR, TAB_INSTR_NUM_LEV_A, -10.0), 1);
  ASSERT_EQ(UiTest_EnterValue(TAB_INSTR, TAB_INSTR_RFSTATE_A, 1), 1);
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR), "Transfer Complete.");
  const std::string remote = g_Settings.RemoteFileA.str();
  EXPECT_NE(remote.find("road.wv"), std::string::npos);
  EXPECT_TRUE(Sent(":MMEM:DATA '" + remote + "',#"));
  EXPECT_TRUE(Sent("SOUR1:BB:ARB:WAV:SEL '" + remote + "'"));
  EXPECT_TRUE(Sent("SOUR1:BB:ARB:STAT ON"));
  EXPECT_TRUE(Sent("SOUR1:FREQ 2.500000 GHz"));
  EXPECT_TRUE(Sent("SOUR1:POW -10.000000 dBm"));
  EXPECT_TRUE(Sent("OUTP1:STAT ON"));

  // Save, new project, load again: the same waveform file builds byte-identical.
  const std::string project = dir_.File("road.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(project));
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  EXPECT_EQ(PulseCount, 0);
  for (int page : {PAGE_PULSE_EDITOR, PAGE_SEQUENCE_EDITOR, PAGE_SEQUENCE_VIEW, PAGE_MULTI_SEGMENT, PAGE_RF_LIST})
    EXPECT_EQ(PageVisible(page), 0) << "page " << page;
  int active = -1;
  GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &active);
  EXPECT_EQ(active, MainTabIndex(PAGE_LOG));
  ASSERT_EQ(unlink(wave.c_str()), 0);
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(SequenceCount, 1);
  ASSERT_EQ(PulseCount, 1);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  EXPECT_EQ(PageVisible(PAGE_SEQUENCE_EDITOR), 1);
  EXPECT_EQ(Text(TAB_SEDIT, TAB_SEDIT_STR_FILE), wave);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_TRUE(FileExists(wave));
  EXPECT_TRUE(WithoutDate(ReadFileBytes(wave)) == WithoutDate(built)) << "the reloaded project builds the same file";
}

// Two sequences of the pulse, an RF list sent to the instrument, a
// multi-segment waveform of both sequences built and configured on it, and
// Exit with save-on-exit writing the project without a question.
TEST_F(MainRoadTest, RfListMultiSegmentAndExitWithAutosave) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(InstrumentCapabilities.Connected, 1);
  ASSERT_EQ(InstrumentCapabilities.MultiSegment, 1);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("Bendsweep");  // a modulation plug-in, called during every build
  EXPECT_EQ(PulseTable[0].modulation, kModulationPluginCode);
  EXPECT_STREQ(PulseTable[0].pluginName.c_str(), "Bendsweep");
  for (const char* name : {"first.wv", "second.wv"}) {
    Choose(MBAR_PULSE_SNEW);
    UiTest_QueueFile(dir_.File(name).c_str());
    Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  }
  ASSERT_EQ(SequenceCount, 2);
  // A waveform file name typed in: an empty one dims Generate.
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, ""), 1);
  EXPECT_EQ(Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, dir_.File("second.wv").c_str()), 1);
  EXPECT_EQ(Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 0);
  EXPECT_EQ(SequenceTable[1].waveFile.str(), dir_.File("second.wv"));
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "2"), 1);
  EXPECT_EQ(SequenceTable[1].entries[0].repetitions, 2);

  // RF list: three frequencies filled in and sent to the instrument.
  Choose(MBAR_PULSE_RFLISTNEW);
  ASSERT_EQ(RfListCount, 1);
  EXPECT_EQ(PageVisible(PAGE_RF_LIST), 1);
  EXPECT_EQ(Dimmed(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD), 0) << "an instrument with RF lists is selected";
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_LEN, 3), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_SETLEN);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_MIN, 1.0), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_FILLLIST);
  EXPECT_EQ(RfListTable[0].points.InUse(), 3);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD);
  const std::string list = RfListTable[0].remoteFile.str();
  EXPECT_TRUE(Sent("SOUR1:LIST:SEL '" + list + "'")) << Log();

  // Multi-segment waveform: the two sequences, built and set up on the instrument.
  Choose(MBAR_PULSE_SEGNEW);
  ASSERT_EQ(MultiSegmentCount, 1);
  EXPECT_EQ(PageVisible(PAGE_MULTI_SEGMENT), 1);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  const MultiSegmentRecord& msw = MultiSegmentTable[0];
  ASSERT_EQ(msw.SegmentsInUse(), 2);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), 2), 1);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(1, 1), false);
  EXPECT_EQ(msw.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[0].id));
  EXPECT_EQ(msw.segments[1].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 0);
  // Both sequences report into one text file: it opens with the banner.
  const std::string mswReport = dir_.File("msw.txt");
  for (int k = 0; k < 2; ++k) {
    ClickLibraryItem(kSequenceLibraryTag, k);
    Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
    ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
    ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, mswReport.c_str()), 1);
    Click(DATALOG, DATALOG_CMD_ACCEPT);
  }
  ClickLibraryItem(kMultiSegmentLibraryTag, 0);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // the 10 MHz user clock is raised to the sequences' 100 MHz
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 1u) << Log();
  EXPECT_EQ(UiTest_Popups()[0].title, "Cadenza");
  EXPECT_DOUBLE_EQ(msw.clock, 100e6);
  // Each segment was sent; the sequences' own waveform files stay on disk.
  EXPECT_TRUE(FileExists(dir_.File("first.wv")));
  EXPECT_EQ(Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR), "Done.");
  int appended = 0;
  for (const std::string& m : Received()) appended += m.rfind("SOUR:BB:ARB:WSEG:CONF:SEGM:APP", 0) == 0;
  EXPECT_EQ(appended, 2) << Log();
  EXPECT_TRUE(Sent("SOUR:BB:ARB:WSEG:CONF:SEL")) << Log();
  const std::string mswText = ReadFileBytes(mswReport);
  EXPECT_EQ(mswText.rfind("===== Multi Segment Waveform creation =====\n", 0), 0u) << mswText;
  EXPECT_EQ(Occurrences(mswText, "===== Multi Segment Waveform creation ====="), 1) << mswText;

  // Deselecting the instrument in the manager dims what needs one; selecting
  // it again brings the buttons back.
  Choose(MBAR_INSTR_INSTRSETUP);
  int group = -1, device = -1;
  GetTreeItemFromTag(INSTRMAN, INSTRMAN_TREE_INSTR, kManualBranchTag, &group);
  GetTreeItemChild(INSTRMAN, INSTRMAN_TREE_INSTR, group, 0, &device);
  ASSERT_GE(device, 0);
  ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, device, true), 1);
  EXPECT_EQ(InstrumentCapabilities.Connected, 0);
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_DEVICE), "");
  EXPECT_EQ(Dimmed(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD), 1);
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 1);
  ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, device, true), 1);
  EXPECT_EQ(InstrumentCapabilities.Connected, 1);
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_DEVICE), sim_.SocketResource());
  EXPECT_EQ(Dimmed(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD), 0);
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 0);
  Click(INSTRMAN, INSTRMAN_CMD_EXIT);

  // Save on exit, switched on in the preferences: Exit writes the project.
  const std::string project = dir_.File("exit.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(project));
  Choose(MBAR_OPT_PREF);
  int autosave = 0;
  GetCtrlVal(GENERAL, GENERAL_CHK_AUTOSAVE, &autosave);
  if (!autosave) Click(GENERAL, GENERAL_CHK_AUTOSAVE);
  Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
  EXPECT_EQ(g_Settings.SavePrjOnExit, 1);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_STR_NAME, "hop list"), 1);
  UiTest_ClearPopups();
  Choose(MBAR_FILE_EXIT);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_NE(ReadFileBytes(project).find("hop list"), std::string::npos) << "saved on the way out";
}

// The names a new project gives are relative to the home, and this program
// runs in another working folder: Generate writes into the home and Upload
// sends that file; an RF list goes out and its report is exported by a
// relative name; a multi-segment build of three segments, whose report
// closes and reopens on the way, reports into one relative file with one
// banner. Then a file beyond one transfer is warned of by Generate and
// refused by Upload with nothing sent.
TEST_F(MainRoadTest, RelativeNamesFromAnotherWorkingFolder) {
  ASSERT_NE(work_, home_);
  struct RestoreLimit {
    ~RestoreLimit() { VisaDev_SetMaxTransferBytes(0); }
  } restore;
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(InstrumentCapabilities.Connected, 1);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("FM chirp");
  Choose(MBAR_PULSE_SNEW);
  EXPECT_EQ(Text(TAB_SEDIT, TAB_SEDIT_STR_FILE), "Waveforms\\NewSequence.wv");
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  const std::string wave = home_ + "/Waveforms/NewSequence.wv";
  ASSERT_TRUE(FileExists(wave)) << Log();
  EXPECT_FALSE(FileExists(work_ + "/Waveforms/NewSequence.wv"));

  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);  // load
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  ASSERT_EQ(g_Settings.BBModeA, 1);
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Status(), "Transfer Complete.") << Log();
  EXPECT_NE(Log().find("Source   : '" + wave + "'"), std::string::npos) << Log();
  const std::string remote = g_Settings.RemoteFileA.str();
  EXPECT_NE(remote.find("NewSequence.wv"), std::string::npos) << remote;
  EXPECT_TRUE(Sent(":MMEM:DATA '" + remote + "',#")) << Log();
  const std::string crc = cz::FormatC("crc32 %08X]", cz::test::SimCrc32(ReadFileBytes(wave)));
  const std::vector<std::string> uploaded = Received();
  EXPECT_TRUE(std::any_of(uploaded.begin(), uploaded.end(),
                          [&](const std::string& m) { return m.find(crc) != std::string::npos; }))
      << "the file Generate wrote";

  Choose(MBAR_PULSE_RFLISTNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_LEN, 3), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_SETLEN);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_MIN, 1.0), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_FILLLIST);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_TRUE(Sent("SOUR1:LIST:SEL '" + RfListTable[0].remoteFile.str() + "'")) << Log();
  UiTest_QueueFile("hops.txt");
  Click(TAB_RFLIST, TAB_RFLIST_CMD_PRINTLIST);
  EXPECT_TRUE(FileExists(home_ + "/hops.txt")) << Log();
  EXPECT_FALSE(FileExists(work_ + "/hops.txt"));

  // Segments: the first sequence (reporting into "msw.txt"), a second one
  // without a report, the first again.
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, "Waveforms\\second.wv"), 1);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, "msw.txt"), 1);
  Click(DATALOG, DATALOG_CHK_REP_SENTRY);
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  ASSERT_EQ(SequenceTable[0].reportOn, 1);
  Choose(MBAR_PULSE_SEGNEW);
  for (int k = 0; k < 3; ++k) Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), 2), 1);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(1, 1), false);
  const MultiSegmentRecord& msw = MultiSegmentTable[0];
  ASSERT_EQ(msw.SegmentsInUse(), 3);
  EXPECT_EQ(msw.segments[1].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  EXPECT_EQ(msw.segments[2].sequenceId, static_cast<int32_t>(SequenceTable[0].id));
  const std::size_t beforeMsw = Received().size();
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // the user clock is raised to the sequences'
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  EXPECT_EQ(Status(), "Done.") << Log();
  int appended = 0;
  const std::vector<std::string> afterMsw = Received();
  for (std::size_t k = beforeMsw; k < afterMsw.size(); ++k)
    appended += afterMsw[k].rfind("SOUR:BB:ARB:WSEG:CONF:SEGM:APP", 0) == 0;
  EXPECT_EQ(appended, 3);
  EXPECT_TRUE(FileExists(home_ + "/Waveforms/second.wv"));
  const std::string mswText = ReadFileBytes(home_ + "/msw.txt");
  EXPECT_EQ(mswText.rfind("===== Multi Segment Waveform creation =====\n", 0), 0u) << mswText;
  EXPECT_EQ(Occurrences(mswText, "===== Multi Segment Waveform creation ====="), 1) << mswText;
  EXPECT_EQ(Occurrences(mswText, "Entry"), 2) << "one header per reported segment";
  EXPECT_FALSE(FileExists(work_ + "/msw.txt"));

  // One transfer carries fewer bytes than the file.
  VisaDev_SetMaxTransferBytes(1000);
  ClickLibraryItem(kSequenceLibraryTag, 1);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  const std::string second = home_ + "/Waveforms/second.wv";
  const std::string bytes = std::to_string(ReadFileBytes(second).size());
  const std::size_t exact = Log().find("Warning: The waveform file has " + bytes +
                                       " bytes; one transfer to the instrument carries at most 1000 bytes.");
  EXPECT_NE(exact, std::string::npos) << Log();
  // Said first before the build, as counted before anything is written.
  const std::size_t early = Log().find("Warning: The waveform file will have about ");
  EXPECT_LT(early, Log().find("Waveform Creation Finished Successfully.", early)) << Log();
  EXPECT_LT(early, exact);
  const std::size_t before = Received().size();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_EQ(Status(), "Error: Waveform Too Large for One Transfer.");
  EXPECT_NE(Log().find("*** Waveform file of " + bytes + " bytes is too large for one transfer of at most 1000 bytes."),
            std::string::npos);
  EXPECT_EQ(Received().size(), before) << "nothing sent";
}

// Typing into a table cell and going straight to the menu: the typed text
// is in the record before the command runs. A Multi Segment repetition typed
// (the editor still open) and a Sequence choice are saved by "Save Project
// As" and come back with the project.
TEST_F(MainRoadTest, WhatATableCellHoldsIsSavedByTheMenu) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("FM chirp");
  for (int k = 0; k < 2; ++k) Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 2);
  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_MSEG, TAB_MSEG_RING_SEQMODE, 1), 1);  // "Sequencer"
  const int table = TAB_MSEG_TABLE_SETTINGS;
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, table, Cell(3, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, table, Cell(3, 1), 2), 1);  // the second sequence
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, table, Cell(2, 1), false), 1);
  auto* view = qobject_cast<QTableView*>(UiTest_Widget(TAB_MSEG, table));
  ASSERT_NE(view, nullptr);
  const QModelIndex rep = view->model()->index(0, 1);
  view->setCurrentIndex(rep);
  view->edit(rep);
  auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(rep));
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("5"));

  const std::string project = dir_.File("typed.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(project));
  UiTest_QueueConfirm(true);  // "Unsaved changes will be lost."
  Choose(MBAR_FILE_NEWPRJ);
  ASSERT_EQ(MultiSegmentCount, 0);
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(MultiSegmentCount, 1);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_STREQ(MultiSegmentTable[0].segments[0].repetition.c_str(), "5");
  EXPECT_EQ(MultiSegmentTable[0].segments[0].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  EXPECT_EQ(UiTest_PendingAnswers(), 0);
}

// Start-up in the demo home, which loads the demo project as the last
// project: every record opens its editor from the tree, and a sequence
// builds at once into the home's "Waveforms" folder.
TEST_F(MainRoadTest, LastProjectOpensFromTheTreeAndBuilds) {
  // The demo home as the demo run copies it, in place of this test's home.
  std::filesystem::remove_all(home_);
  std::filesystem::copy(cz::test::SourceDir() + "/examples/demo", home_, std::filesystem::copy_options::recursive);
  SkipProjectLoad = 0;
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  ASSERT_GT(PulseCount, 0);
  ASSERT_GT(SequenceCount, 0);

  struct Root {
    const char* tag;
    int page;
  };
  for (const Root& root : {Root{kPulseLibraryTag, PAGE_PULSE_EDITOR}, Root{kSequenceLibraryTag, PAGE_SEQUENCE_EDITOR},
                           Root{kMultiSegmentLibraryTag, PAGE_MULTI_SEGMENT}, Root{kRfListLibraryTag, PAGE_RF_LIST}}) {
    const int children = LibraryCount(root.tag);
    EXPECT_GT(children, 0) << root.tag;
    for (int k = 0; k < children; ++k) {
      char label[128] = "";
      GetLabelFromIndex(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, LibraryItem(root.tag, k), label, sizeof label);
      ClickLibraryItem(root.tag, k);
      EXPECT_EQ(PageVisible(root.page), 1) << label;
      if (root.page == PAGE_PULSE_EDITOR) {
        EXPECT_EQ(Text(TAB_PEDIT, TAB_PEDIT_STR_NAME), label);
      } else if (root.page == PAGE_SEQUENCE_EDITOR) {
        EXPECT_EQ(Text(TAB_SEDIT, TAB_SEDIT_STR_NAME), label);
      } else if (root.page == PAGE_MULTI_SEGMENT) {
        EXPECT_EQ(Text(TAB_MSEG, TAB_MSEG_STR_NAME), label);
      } else {
        EXPECT_EQ(Text(TAB_RFLIST, TAB_RFLIST_STR_NAME), label);
      }
    }
    EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  }

  // Every sequence of the demo builds.
  for (int k = 0; k < LibraryCount(kSequenceLibraryTag); ++k) {
    ClickLibraryItem(kSequenceLibraryTag, k);
    const std::string file = SequenceTable[CurrentSequence].waveFile.str();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text << Log();
    char absolute[1024] = "";
    ASSERT_EQ(MakeAbsolutePath(file.c_str(), absolute, sizeof absolute), 1);
    EXPECT_TRUE(FileExists(cz::HostPath(absolute))) << absolute;
  }
  EXPECT_EQ(PageVisible(PAGE_SEQUENCE_VIEW), 1);
}

// Stop pressed as the user would while a build runs (the click is queued
// inside the Generate callback), then polled.
int PressStopThenPoll() {
  UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_STOP);
  return SequenceStopPressed();
}

// Every build creates the temporary files again. A build that stops before
// drawing, and a multi-segment build (which never draws), leave the Sequence
// View holding nothing of them: its graphs empty, and Zoom In on it reads
// no file. The next Generate draws again.
TEST_F(MainRoadTest, SequenceViewLetsGoOfTheTemporaryFilesOfLaterBuilds) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(InstrumentCapabilities.MultiSegment, 1);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("FM chirp");
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "3"), 1);
  UiTest_QueueFile(dir_.File("view.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);

  const auto generateAndZoom = [&]() {
    UiTest_ClearPopups();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
    ASSERT_NE(g_SequenceView.iqFile, nullptr);
    EXPECT_FALSE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQ).empty());
    EXPECT_FALSE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQPT).empty());
    const int64_t whole = g_SequenceView.lastSample - g_SequenceView.firstSample + 1;
    Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
    EXPECT_LT(g_SequenceView.lastSample - g_SequenceView.firstSample + 1, whole);
    EXPECT_FALSE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQ).empty());
  };
  const auto expectNothingShown = [&](const char* after) {
    EXPECT_EQ(g_SequenceView.iqFile, nullptr) << after;
    EXPECT_EQ(g_SequenceView.pointCount, 0) << after;
    for (int graph : {TAB_VIEW_GRAPH_IQ, TAB_VIEW_GRAPH_IQPT, TAB_VIEW_GRAPH_SPECTRUM})
      EXPECT_TRUE(UiTest_GetPlots(TAB_VIEW, graph).empty()) << after << ", graph " << graph;
    const int draws = Occurrences(Log(), "Drawing sample");
    Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
    EXPECT_EQ(Occurrences(Log(), "Drawing sample"), draws) << after << ": nothing read";
    EXPECT_EQ(Log().find("*** Cannot read from temporary waveform file."), std::string::npos) << after;
    for (int graph : {TAB_VIEW_GRAPH_IQ, TAB_VIEW_GRAPH_IQPT, TAB_VIEW_GRAPH_SPECTRUM})
      EXPECT_TRUE(UiTest_GetPlots(TAB_VIEW, graph).empty()) << after << ", graph " << graph;
  };
  generateAndZoom();

  // Generate again, Stop during the build, then Zoom In on the view still shown.
  const EngineHost windowHost = GetEngineHost();
  EngineHost stopping = windowHost;
  stopping.stopPressed = PressStopThenPoll;
  SetEngineHost(&stopping);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);  // "Abort Pulse Creation ?"
  UiTest_QueueMessageOk();    // "Waveform creation failed."
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  SetEngineHost(&windowHost);
  ASSERT_EQ(UiTest_Popups().size(), 2u) << Log();
  EXPECT_EQ(UiTest_Popups()[0].title, "Abort Pulse Creation ?");
  EXPECT_EQ(PageVisible(PAGE_SEQUENCE_VIEW), 1);
  expectNothingShown("a stopped build");
  generateAndZoom();

  // A multi-segment build of the sequence, then Zoom In on the view.
  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(MultiSegmentTable[0].segments[0].sequenceId, static_cast<int32_t>(SequenceTable[0].id));
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // the user clock is raised to the sequence's
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR), "Done.") << Log();
  expectNothingShown("a multi-segment build");
  ClickLibraryItem(kSequenceLibraryTag, 0);
  generateAndZoom();
  EXPECT_EQ(Log().find("*** Cannot read from temporary waveform file."), std::string::npos);
}

// Edits reach the other pages: a renamed pulse in the tree, the sequence
// table and the pulse's list of users; the baseband filter switched on in
// its dialog and used by Generate.
TEST_F(MainRoadTest, RenamedPulseAndFilteredBuild) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("FM chirp");
  Choose(MBAR_PULSE_SNEW);
  UiTest_QueueFile(dir_.File("filtered.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);

  ClickLibraryItem(kPulseLibraryTag, 0);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "Chirp A"), 1);
  EXPECT_STREQ(PulseTable[0].name.c_str(), "Chirp A");
  char label[128] = "";
  GetLabelFromIndex(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, LibraryItem(kPulseLibraryTag, 0), label, sizeof label);
  EXPECT_STREQ(label, "Chirp A");
  int users = 0;
  GetNumListItems(TAB_PEDIT, TAB_PEDIT_RING_USEDPULSE, &users);
  EXPECT_EQ(users, 1) << "the sequence uses the pulse";

  ClickLibraryItem(kSequenceLibraryTag, 0);
  char object[128] = "";
  GetTableCellVal(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), object, sizeof object);
  EXPECT_STREQ(object, "Chirp A");

  // Baseband filter on, accepted in its dialog, then Generate.
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
  int visible = 0;
  GetPanelAttribute(FILTER, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 1);
  ASSERT_EQ(UiTest_EnterValue(FILTER, FILTER_CMD_BBFILTER, 1), 1);
  Click(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(SequenceTable[0].filterOn, 1);
  int led = 0;
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_FILTER, &led);
  EXPECT_EQ(led, 1);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text << Log();
  EXPECT_TRUE(FileExists(dir_.File("filtered.wv"))) << Log();
}

}  // namespace
