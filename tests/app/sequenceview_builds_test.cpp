// The Sequence View after multi-segment builds, offscreen against the
// instrument simulator on 127.0.0.1: a build of blank segments only, of a
// CW sequence only, and of both recreates the temporary sample files; every
// navigation and zoom control of the view afterwards reads nothing and shows
// nothing, and the next sequence build draws again.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/TempFiles.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/CLocale.h"
#include "instrument/Identify.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/SimFixture.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/SequenceViewPage.h"
#include "ui/pulse/TimingPanel.h"

namespace {

using cz::test::WriteFileBytes;

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class SequenceViewBuildsTest : public cz::test::SimulatedHomeTest {
 protected:


  // Generate on the Sequence Editor for library sequence k: the view draws.
  void GenerateSequence(int k) {
    ClickLibraryItem(kSequenceLibraryTag, k);
    UiTest_ClearPopups();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text << Log();
    ASSERT_NE(g_SequenceView.iqFile, nullptr);
    EXPECT_EQ(g_SequenceView.iqFile, TempIqFile);
    EXPECT_FALSE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQ).empty());
    const int64_t whole = g_SequenceView.lastSample - g_SequenceView.firstSample + 1;
    Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
    EXPECT_LT(g_SequenceView.lastSample - g_SequenceView.firstSample + 1, whole);
    EXPECT_FALSE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQ).empty());
  }

  // Generate on the Multi Segment page: the build completes. A user clock
  // below a sequence's is raised, with a message.
  void GenerateMultiSegment(bool clockRaised) {
    UiTest_ClearPopups();
    if (clockRaised) UiTest_QueueMessageOk();
    Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
    ASSERT_EQ(Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR), "Done.") << Log();
    EXPECT_EQ(UiTest_PendingAnswers(), 0);
  }

  // Every navigation and zoom control of the view, as the user reaches them:
  // none reads the temporary file, none plots anything.
  void EveryViewControlShowsNothing(const char* after) {
    EXPECT_EQ(g_SequenceView.iqFile, nullptr) << after;
    EXPECT_EQ(g_SequenceView.pointCount, 0) << after;
    const int draws = Occurrences(Log(), "Drawing sample");
    for (int button : {TAB_VIEW_CMD_GRAPHZOOMIN, TAB_VIEW_CMD_GRAPHZOOMOUT, TAB_VIEW_CMD_GRAPHFWD,
                       TAB_VIEW_CMD_GRAPHREV, TAB_VIEW_CMD_GRAPHBEGIN, TAB_VIEW_CMD_GRAPHZOOM_CSR,
                       TAB_VIEW_CMD_GRAPHZOOMIN_Y, TAB_VIEW_CMD_GRAPHZOOMOUT_Y, TAB_VIEW_CMD_GRAPHZOOMIN})
      Click(TAB_VIEW, button);
    for (double slide : {0.0, 0.5, 1.0}) UiTest_EnterValue(TAB_VIEW, TAB_VIEW_SLIDE_POS, slide);
    for (int index : {1, 2, 0}) UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_IQVIEW, index);
    for (int index : {1, 0}) UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_FFTVIEW, index);
    UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON);
    UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON);
    UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 1, 1.0, 0.0, 2);
    Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOM_CSR);
    EXPECT_EQ(Occurrences(Log(), "Drawing sample"), draws) << after << ": nothing read";
    EXPECT_EQ(Log().find("*** Cannot read from temporary waveform file."), std::string::npos) << after;
    EXPECT_EQ(Log().find("*** Failed to read data"), std::string::npos) << after;
    for (int graph : {TAB_VIEW_GRAPH_IQ, TAB_VIEW_GRAPH_IQPT, TAB_VIEW_GRAPH_SPECTRUM})
      EXPECT_TRUE(UiTest_GetPlots(TAB_VIEW, graph).empty()) << after << ", graph " << graph;
  }

};

TEST_F(SequenceViewBuildsTest, MultiSegmentBuildsOfBlankCwAndBothLeaveTheViewEmpty) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(InstrumentCapabilities.MultiSegment, 1);
  Choose(MBAR_FILE_NEWPRJ);

  // A pulse and a sequence of three of it.
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 10.0), 1);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 40.0), 1);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "3"), 1);
  UiTest_QueueFile(dir_.File("pulses.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  // A second sequence of 20 us CW only.
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 2);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 1), 1);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_TSTOP, 1), "20"), 1);
  ASSERT_EQ(SequenceTable[1].entries[0].fillerType, SYNC_CW);
  UiTest_QueueFile(dir_.File("cw.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  GenerateSequence(0);

  // Blank only: one segment turned into a blank of 100 us (sequencer mode,
  // where its stop time takes an edit).
  Choose(MBAR_PULSE_SEGNEW);
  MultiSegmentRecord& msw = MultiSegmentTable[0];
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_MSEG, TAB_MSEG_RING_SEQMODE, 1), 1);
  ASSERT_EQ(msw.sequencerMode, 1);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 1), 0), 1);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_TSTOP, 1), false), 1);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_TSTOP, 1), "100"), 1);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_NO, 1), false);
  ASSERT_EQ(msw.segments[0].type, SEGMENT_BLANK);
  ASSERT_DOUBLE_EQ(msw.segments[0].stopTime, 100e-6);
  ASSERT_TRUE(msw.segments[1].IsFree());
  GenerateMultiSegment(false);
  EveryViewControlShowsNothing("a blank-only build");
  GenerateSequence(0);

  // CW only: the one segment is the CW sequence.
  ClickLibraryItem(kMultiSegmentLibraryTag, 0);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 1), 2), 1);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_NO, 1), false);
  ASSERT_EQ(msw.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  GenerateMultiSegment(true);  // the 10 MHz user clock is raised to the sequence's
  EXPECT_DOUBLE_EQ(msw.clock, 100e6);
  EveryViewControlShowsNothing("a CW-only build");
  GenerateSequence(1);

  // Both: the CW sequence, a blank up to 200 us, the pulse sequence.
  ClickLibraryItem(kMultiSegmentLibraryTag, 0);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(msw.SegmentsInUse(), 3);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 2), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 2), 0), 1);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_TSTOP, 2), false), 1);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_TSTOP, 2), "200"), 1);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 3), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 3), 1), 1);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_NO, 1), false);
  ASSERT_EQ(msw.segments[1].type, SEGMENT_BLANK);
  ASSERT_EQ(msw.segments[2].sequenceId, static_cast<int32_t>(SequenceTable[0].id));
  GenerateMultiSegment(false);
  EveryViewControlShowsNothing("a mixed build");

  // The next sequence build draws again from the recreated file.
  GenerateSequence(0);
  EXPECT_EQ(Log().find("*** Cannot read from temporary waveform file."), std::string::npos);
  EXPECT_EQ(Log().find("*** Error initializing temporary data file buffer."), std::string::npos);
}

// A temporary folder accepted in Preferences is used from the next start:
// until then every build of this run (sequence, multi-segment with a blank
// segment, sequence again) writes its temporary files into the folder this
// run locked, never into the new one, and the view reads them from there.
TEST_F(SequenceViewBuildsTest, AnAcceptedTemporaryFolderWaitsForTheNextStart) {
  ASSERT_EQ(InitApplication(), 1);
  const std::string temp = home_ + "/Temp";
  ASSERT_EQ(ActiveTempDir.str(), temp);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 10.0), 1);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 40.0), 1);
  Choose(MBAR_PULSE_SNEW);
  UiTest_QueueFile(dir_.File("pulses.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);

  const std::string later = dir_.File("later temp");
  std::filesystem::create_directories(later);
  Choose(MBAR_OPT_PREF);
  ASSERT_GT(g_TempDirBrowserCtrl, 0);
  // The dialog reads the folders again when it opens: the new one is there.
  int item = -1;
  ASSERT_EQ(GetTreeItemFromTag(GENERAL, g_TempDirBrowserCtrl, later.c_str(), &item), 0);
  ASSERT_GE(item, 0);
  ASSERT_EQ(UiTest_ClickTreeItem(GENERAL, g_TempDirBrowserCtrl, item, false), 1);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups().back().text, "The new settings are effective after restarting the application.");
  ASSERT_EQ(g_Settings.TempDir.str(), later);

  GenerateSequence(0);
  Choose(MBAR_PULSE_SEGNEW);
  MultiSegmentRecord& msw = MultiSegmentTable[0];
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_MSEG, TAB_MSEG_RING_SEQMODE, 1), 1);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 2), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 2), 0), 1);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_TSTOP, 2), false), 1);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_TSTOP, 2), "300"), 1);
  ASSERT_EQ(msw.segments[1].type, SEGMENT_BLANK);
  GenerateMultiSegment(true);  // the 10 MHz user clock is raised to the sequence's
  EveryViewControlShowsNothing("a build after the temporary folder was changed");
  GenerateSequence(0);

  for (const char* name : {"WV-DATA.TMP", "MKR-DATA.TMP", "WV-DATA2.TMP", "MKR-DATA2.TMP", "tmp_seg_blank.wv"})
    EXPECT_FALSE(std::filesystem::exists(later + "/" + name)) << name;
  EXPECT_TRUE(std::filesystem::exists(temp + "/WV-DATA.TMP"));
  EXPECT_TRUE(std::filesystem::is_empty(later));
}

// Generate with the temporary folder, then the text report, on a full
// disk: the popup says which folder or file and the system's reason, and
// the status line shows the failure.
TEST_F(SequenceViewBuildsTest, GenerateOnAFullDiskSaysWhere) {
  cz::test::SmallDisk disk(256);
  CZ_SKIP_WITHOUT(disk);
  ASSERT_EQ(InitApplication(), 1);
  const std::string temp = ActiveTempDir.str();
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 1000.0), 1);  // us: far more samples than the disk holds
  Choose(MBAR_PULSE_SNEW);
  UiTest_QueueFile(dir_.File("pulses.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  ClickLibraryItem(kSequenceLibraryTag, 0);

  ASSERT_TRUE(ActiveTempDir.AssignExact(disk.path()));
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_FALSE(UiTest_Popups().empty()) << Log();
  EXPECT_EQ(UiTest_Popups().back().text,
            "Waveform creation failed.\nTemporary folder '" + disk.path() + "': No space left on device.");
  EXPECT_EQ(Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR).rfind("Error", 0), 0u) << Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("pulses.wv")));

  ASSERT_TRUE(ActiveTempDir.AssignExact(temp));
  ResetTempSampleFiles(TEMP_FILES_EMPTY);
  ASSERT_TRUE(disk.Fill());
  SequenceTable[0].reportOn = 1;
  SequenceTable[0].reportColumns[REPORT_ENTRY_NUMBER] = 1;
  SequenceTable[0].reportFile = disk.File("report.txt");
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_FALSE(UiTest_Popups().empty()) << Log();
  EXPECT_EQ(UiTest_Popups().back().text, "Waveform creation failed.\nCannot write report file '" +
                                             disk.File("report.txt") + "': No space left on device.");
  EXPECT_NE(Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR), "Waveform Creation Finished Successfully.");
  CloseTempFiles();
}

// The view follows each new waveform. A 600 us sequence with the time
// readouts on and the cursors at 300 and 400 us; the pulse shortened to
// 2 us and generated again: both cursors stand on the new waveform, every
// readout is the new waveform's (the sample numbers inside it, the I/Q
// readout the mean of the display point under the active cursor), and
// Zoom to cursors keeps the viewport inside the 200-sample file.
TEST_F(SequenceViewBuildsTest, CursorsAndReadoutsFollowANewWaveform) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 500.0), 1);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 100.0), 1);
  Choose(MBAR_PULSE_SNEW);
  UiTest_QueueFile(dir_.File("follow.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  GenerateSequence(0);
  Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMOUT);  // the whole file again
  const SequenceViewState& view = g_SequenceView;
  ASSERT_EQ(view.totalSamples, 60000);
  ASSERT_EQ(view.lastSample, 59999);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON);
  ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 2, 400.0, 5.0, 2), 1);
  ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 1, 300.0, 10.0, 2), 1);
  EXPECT_EQ(Text(TAB_VIEW, TAB_VIEW_STR_CSR1), "+   300.000\xC2\xB5s (  30001)");
  EXPECT_EQ(Text(TAB_VIEW, TAB_VIEW_STR_CSR2), "x   400.000\xC2\xB5s (  40001)");

  ClickLibraryItem(kPulseLibraryTag, 0);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 2.0), 1);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 0.0), 1);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text << Log();
  ASSERT_EQ(view.totalSamples, 200);
  ASSERT_EQ(view.firstSample, 0);
  ASSERT_EQ(view.lastSample, 199);
  double x1 = -1, x2 = -1, y = 0;
  ASSERT_GE(GetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 1, &x1, &y), 0);
  ASSERT_GE(GetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 2, &x2, &y), 0);
  for (double x : {x1, x2}) {
    EXPECT_GE(x, 0.0);
    EXPECT_LE(x, 1.99);
  }
  const auto sampleShown = [](const std::string& text) {
    const std::size_t open = text.rfind('(');
    return open == std::string::npos ? -1L : std::strtol(text.c_str() + open + 1, nullptr, 10);
  };
  for (int id : {TAB_VIEW_STR_CSR1, TAB_VIEW_STR_CSR2}) {
    const long sample = sampleShown(Text(TAB_VIEW, id));
    EXPECT_GE(sample, 1) << Text(TAB_VIEW, id);
    EXPECT_LE(sample, 200) << Text(TAB_VIEW, id);
  }
  EXPECT_EQ(Text(TAB_VIEW, TAB_VIEW_STR_CSR1),
            cz::FormatC("+ %9.3f\xC2\xB5s (%7lld)", x1, static_cast<long long>(std::llround(x1 * 100.0)) + 1));
  int active = 0;
  double xa = 0;
  ASSERT_GE(GetActiveGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, &active), 0);
  ASSERT_GE(GetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, active, &xa, &y), 0);
  ASSERT_GE(ViewNav_PointAt(view, xa), 0);
  double i = 0, q = 0;
  ASSERT_EQ(SequenceView_ReadSample(view, ViewNav_SampleNumber(view, xa) - 1, &i, &q), 1);
  EXPECT_EQ(Text(TAB_VIEW, TAB_VIEW_STR_IQMARKER1), cz::FormatC("I:%3.2f   Q:%3.2f", i, q));

  Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOM_CSR);
  EXPECT_GE(view.firstSample, 0);
  EXPECT_LE(view.lastSample, 199);
  EXPECT_LE(view.width, 200);
  double slide = -1;
  GetCtrlVal(TAB_VIEW, TAB_VIEW_SLIDE_POS, &slide);
  EXPECT_GE(slide, 0.0);
  EXPECT_LE(slide, 1.0);
  EXPECT_EQ(Log().find("*** No data because"), std::string::npos);
}

// With range "All" a waveform of 5,242,880 samples gets no spectrum: the
// readouts of the spectrum before it are emptied and the graph says why.
TEST_F(SequenceViewBuildsTest, NoSpectrumLeavesNoSpectrumReadouts) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 1), 1);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_TSTOP, 1), "10"), 1);
  UiTest_QueueFile(dir_.File("cw.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  GenerateSequence(0);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON_2);
  ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, 1, 200.0, -20.0, 2), 1);
  const std::vector<int> readouts = {TAB_VIEW_STR_FFTMARKER1, TAB_VIEW_STR_FFTMARKER2, TAB_VIEW_STR_FFTBP};
  for (int id : readouts) EXPECT_FALSE(Text(TAB_VIEW, id).empty()) << id;
  for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM)) EXPECT_NE(p.kind, "text");

  // 52,428.8 us at 100 MHz: 5,242,880 samples.
  ClickLibraryItem(kSequenceLibraryTag, 0);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_TSTOP, 1), "52428.8"), 1);
  GenerateSequence(0);
  ASSERT_EQ(g_SequenceView.totalSamples, kViewFftSampleLimit);
  EXPECT_NE(Log().find("*** No FFT created."), std::string::npos);
  for (int id : readouts) EXPECT_EQ(Text(TAB_VIEW, id), "") << id;
  ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, 2, 300.0, -30.0, 2), 1);
  for (int id : readouts) EXPECT_EQ(Text(TAB_VIEW, id), "") << id;
  std::vector<std::string> said;
  for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM)) {
    EXPECT_EQ(p.kind, "text");
    said.push_back(p.text);
  }
  EXPECT_EQ(said, (std::vector<std::string>{"No spectrum of 5,242,880 samples or more.",
                                            "Choose Range Viewport and zoom in."}));
  for (const UiTest_ClippedText& t : UiTest_ClippedTexts(TAB_VIEW))
    if (t.control == TAB_VIEW_GRAPH_SPECTRUM) ADD_FAILURE() << t.where << " '" << t.text << "' cut";
  // "Viewport" of the view's 100,000 samples draws a spectrum with readouts.
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_FFTVIEW, 1), 1);
  for (int id : readouts) EXPECT_FALSE(Text(TAB_VIEW, id).empty()) << id;
}

}  // namespace
