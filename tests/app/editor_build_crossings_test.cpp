// The Pulse Editor, builds, reports and dialogs meeting the other units:
// jitter rules on frequency and period targets through a build, a sequence
// the waveform file cannot hold inside a multi-segment build, a pulse whose
// plug-in is missing copied and imported over restarts (with a parameter
// below 1e-6), a report plug-in that knows only the documented report
// protocol, a temporary folder accepted in Preferences before the restart,
// Cancel in the Report dialog, sequence dialogs left open across Load
// Project, the upload after a failed Generate, and an import of plug-in
// pulses while the editor shows another pulse. Offscreen, through the
// program's own callbacks, with the real plug-ins, a test report plug-in
// and the instrument simulator on 127.0.0.1.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/TempFiles.h"
#include "editors/BasebandFilter.h"
#include "editors/ReportDialog.h"
#include "engine/ModulationTypes.h"
#include "engine/Tessera_GenerateWave.h"
#include "instrument/Identify.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/TransferPage.h"
#include "ui/pulse/JitterPanel.h"
#include "ui/pulse/ModulationPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

// A pulse's stored parameter entries as "type|name|value" lines.
std::vector<std::string> Entries(const PulseRecord& p) {
  std::vector<std::string> out;
  for (int k = 0; k < p.modParams.StoredCount(); ++k) {
    const ModulationParamEntry& e = p.modParams[k];
    if (!e.IsFree()) out.push_back(e.type.str() + "|" + e.name.str() + "|" + e.value.str());
  }
  return out;
}

class EditorBuildCrossingsTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  // The program's plug-ins, as copies in a folder of this test, so that a
  // restart can run without them.
  std::string PluginFolder() const override { return dir_.File("plugins"); }
  void SetUp() override {
    StartupHomeTest::SetUp();
    for (const char* name : {"fennick.so", "bendsweep.so"})
      std::filesystem::copy_file(cz::test::BuildDir() + "/Plugins/" + name, dir_.File("plugins") + "/" + name);
    WriteHomeSettings("");
  }
  void WriteHomeSettings(const std::string& instrument) {
    std::string ini;
    if (!instrument.empty())
      ini = "[INSTR]\r\nSelect = \"" + instrument + "\"\r\n[DEV]\r\nDevice1 = \"" + instrument + "\"\r\n";
    ini += "[PRG]\r\nTempDir = \"" + home_ + "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n";
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", ini));
  }
  void Start() {
    ASSERT_EQ(InitApplication(), 1);
    Choose(MBAR_FILE_NEWPRJ);
  }
  // The program ends and starts again with the plug-ins of folder.
  void Restart(const std::string& folder) {
    TearDownApplication();
    SetPluginFolder(folder);
    UiTest_ClearPopups();
    ASSERT_EQ(InitApplication(), 1);
  }

  // A new pulse named name of 10 us on time, 1 us edges and 40 us off with
  // the modulation of this label.
  static void NewPulse(const char* name, const char* modulation) {
    Choose(MBAR_PULSE_PNEW);
    ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, name), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 10.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_RISE, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_FALL, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 40.0), 1);
    ChooseModulation(modulation);
  }
  // The row of the parameter table named name (1-based), -1 when none.
  static int ParamRow(const char* name) {
    int rows = 0;
    GetNumTableRows(P_MOD, P_MOD_TABLE_CONF, &rows);
    for (int r = 1; r <= rows; ++r) {
      char text[256] = "";
      GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(1, r), text, sizeof text);
      if (std::string(text) == name) return r;
    }
    return -1;
  }
  // A new sequence of the current pulse writing into wave.
  static void NewSequence(const std::string& wave) {
    Choose(MBAR_PULSE_SNEW);
    ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, wave.c_str()), 1);
  }
  static void Generate(bool fails = false) {
    UiTest_ClearPopups();
    if (fails) UiTest_QueueMessageOk();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  }

  static int RingIndexOf(int control, int value) {
    int count = 0;
    GetNumListItems(P_JIT, control, &count);
    for (int k = 0; k < count; ++k) {
      int v = -1;
      GetValueFromIndex(P_JIT, control, k, &v);
      if (v == value) return k;
    }
    return -1;
  }
  // Jitter block 1 on target with rules typed into its table.
  static void RuleJitter(int target, const std::vector<const char*>& rules) {
    int on = 0;
    GetCtrlVal(P_JIT, P_JIT_RADIO_JITTER1, &on);
    if (!on) Click(P_JIT, P_JIT_RADIO_JITTER1);
    ASSERT_EQ(UiTest_ChooseRingIndex(P_JIT, P_JIT_RING_JITTER1_MODE, RingIndexOf(P_JIT_RING_JITTER1_MODE, target)), 1);
    ASSERT_EQ(UiTest_ChooseRingIndex(P_JIT, P_JIT_RING_JITTER1_DTYPE, kJitterDistRules), 1);
    for (std::size_t r = 0; r < rules.size(); ++r)
      ASSERT_EQ(UiTest_TypeTableCell(P_JIT, P_JIT_TABLE_JITVAL, Cell(2, static_cast<int>(r) + 1), rules[r]), 1);
  }
  // Jitter 1 of the sequence's first entry drawn for each repetition.
  static void IndividualJitter() {
    ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_JITTER1, 1), false), 1);
    ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_JITTER1, 1), 2), 1);
  }
  // A text report of the given columns only.
  static void TextReport(const std::string& path, std::vector<int> boxes) {
    Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
    ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
    ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, path.c_str()), 1);
    for (int box : boxes) Click(DATALOG, box);
    Click(DATALOG, DATALOG_CMD_ACCEPT);
  }
};

// Rules on the frequency offset (MHz) and on the PRI (us) are read in the
// unit their target shows, through a build and its report.
TEST_F(EditorBuildCrossingsTest, JitterRulesOnFrequencyAndPriTargetsBuildInTheirUnits) {
  Start();
  NewPulse("hop", "FM chirp");
  // The period as a PRI of 52 us.
  Click(P_TIM, P_TIM_RADIO_PRF);
  ASSERT_EQ(UiTest_ChooseRingIndex(P_TIM, P_TIM_RING_PRFPRI, 1), 1);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_PRF, 52.0), 1);
  ASSERT_EQ(PulseTable[0].prfPri, 1);
  RuleJitter(JIT_FREQUENCY, {"2:1.5:1", "2:-3:1"});
  // Block 2 on the PRI: 8 us longer for every pulse.
  {
    int on = 0;
    GetCtrlVal(P_JIT, P_JIT_RADIO_JITTER2, &on);
    if (!on) Click(P_JIT, P_JIT_RADIO_JITTER2);
    ASSERT_EQ(UiTest_ChooseRingIndex(P_JIT, P_JIT_RING_JITTER2_MODE, RingIndexOf(P_JIT_RING_JITTER2_MODE, JIT_PRI)), 1);
    ASSERT_EQ(UiTest_ChooseRingIndex(P_JIT, P_JIT_RING_JITTER2_DTYPE, kJitterDistRules), 1);
    int selected = 0;
    GetCtrlVal(P_JIT, P_JIT_CMD_JIT2, &selected);
    if (!selected) Click(P_JIT, P_JIT_CMD_JIT2);
    ASSERT_EQ(UiTest_TypeTableCell(P_JIT, P_JIT_TABLE_JITVAL, Cell(2, 1), "4:8:1"), 1);
  }
  ASSERT_EQ(PulseTable[0].jitter[0].rules.count(), 2);
  ASSERT_EQ(PulseTable[0].jitter[1].rules.count(), 1);

  const std::string wave = dir_.File("hop.wv");
  const std::string report = dir_.File("hop.txt");
  NewSequence(wave);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "4"), 1);
  IndividualJitter();
  ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_JITTER1 + 1, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_JITTER1 + 1, 1), 2), 1);
  TextReport(report, {DATALOG_CHK_REP_ON, DATALOG_CHK_REP_PRFPRI, DATALOG_CHK_REP_FREQ});
  Generate();
  ASSERT_TRUE(FileExists(wave)) << Log();
  EXPECT_EQ(Status(), "Waveform Creation Finished Successfully.");
  // 4 x 60 us at the sequence's clock.
  EXPECT_EQ(LastBuildSamples, static_cast<int32_t>(std::lround(4 * 60e-6 * SequenceTable[0].clock))) << Log();
  const std::vector<std::string> rows = ReportRows(report);
  ASSERT_EQ(rows.size(), 4u) << ReadFileBytes(report);
  const char* const freq[] = {"1.500", "1.500", "-3.000", "-3.000"};
  for (int r = 0; r < 4; ++r) {
    EXPECT_NE(rows[r].find("60.000 us"), std::string::npos) << rows[r];
    EXPECT_NE(rows[r].find(freq[r]), std::string::npos) << rows[r];
  }
}

// A sequence the waveform file cannot hold, as the second segment of a
// multi-segment build: the build stops before that segment is sent or
// appended, says so, and runs once the sequence is mended.
TEST_F(EditorBuildCrossingsTest, MultiSegmentBuildStopsAtASegmentTheFileCannotHold) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-RFA30,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  WriteHomeSettings(sim.SocketResource());
  Start();
  ASSERT_EQ(InstrumentCapabilities.MultiSegment, 1);
  NewPulse("p", "FM chirp");
  NewSequence(dir_.File("first.wv"));
  NewSequence(dir_.File("second.wv"));
  ASSERT_EQ(SequenceCount, 2);
  // The second sequence ends with a blank filler to 30 s: 3e9 samples.
  SequenceTable[1].entries[1].fillerType = SYNC_BLANK;
  SequenceTable[1].entries[1].fillerTime = 30.0;
  ASSERT_TRUE(WriteFileBytes(dir_.File("second.wv"), "old"));

  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), 2), 1);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(1, 1), false);
  ASSERT_EQ(MultiSegmentTable[0].segments[1].sequenceId, static_cast<int32_t>(SequenceTable[1].id));

  auto appended = [&sim] {
    int n = 0;
    for (const std::string& m : sim.Received()) n += m.rfind("SOUR:BB:ARB:WSEG:CONF:SEGM:APP", 0) == 0;
    return n;
  };
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // the user clock raised to the sequences' clock
  UiTest_QueueMessageOk();  // the failure
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 2u) << Log();
  EXPECT_EQ(UiTest_Popups()[1].title, "Error") << UiTest_Popups()[1].text;
  EXPECT_EQ(Status().rfind("Error", 0), 0u) << Status();
  EXPECT_NE(Log().find("*** Entry 2 ('blank filler'): the waveform would exceed"), std::string::npos) << Log();
  EXPECT_EQ(appended(), 1) << "only the first segment";
  for (const std::string& m : sim.Received())
    EXPECT_EQ(m.find("-seg2.wv',#"), std::string::npos) << "the second segment was not sent";
  EXPECT_EQ(ReadFileBytes(dir_.File("second.wv")), "old");
  int dimmed = -1;
  GetCtrlAttribute(TAB_MSEG, TAB_MSEG_CMD_GENERATE, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0) << "idle again";

  // The filler removed: the next build sends and appends both segments.
  SequenceTable[1].entries[1].fillerType = -1;
  const int before = appended();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);  // the first segment's file from the failed build is replaced
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
  EXPECT_EQ(appended() - before, 2) << Log();
  EXPECT_EQ(Status(), "Done.");
}

// A pulse whose plug-in is missing at start, copied and imported: the
// copies keep the stored entries, and with the plug-in back they build with
// them; a value below 1e-6 stays exact through copy, save and load.
TEST_F(EditorBuildCrossingsTest, CopiesOfAPulseWhosePluginIsMissingKeepItsEntries) {
  Start();
  NewPulse("bend", "Bendsweep");
  const int row = ParamRow("f0 [kHz]");
  ASSERT_GT(row, 0);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), 2.5e-7), 1);
  // Another cell edited afterwards keeps the first one exact.
  const int v1 = ParamRow("V1 []");
  ASSERT_GT(v1, 0);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, v1), 0.25), 1);
  const int k = PulseTable[0].modParams.Find("f0 [kHz]", "DOUBLE");
  ASSERT_GE(k, 0);
  EXPECT_EQ(std::strtod(PulseTable[0].modParams[k].value.c_str(), nullptr), 2.5e-7)
      << PulseTable[0].modParams[k].value.c_str();
  const std::vector<std::string> entries = Entries(PulseTable[0]);
  const std::string project = dir_.File("bend.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(project));

  // Without the plug-in: the pulse copied, and imported from its project.
  mkdir(dir_.File("none").c_str(), 0755);
  Restart(dir_.File("none"));
  UiTest_QueueFile(project.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(PulseCount, 1) << Log();
  ClickLibraryItem(kPulseLibraryTag, 0);
  ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, PANEL_MAIN_CMD_COPY), 1);
  ASSERT_EQ(PulseCount, 2);
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 3) << Log();
  for (int p = 0; p < PulseCount; ++p) {
    ClickLibraryItem(kPulseLibraryTag, p);
    EXPECT_EQ(Entries(PulseTable[p]), entries) << p;
    EXPECT_STREQ(PulseTable[p].pluginName.c_str(), "Bendsweep");
  }
  const std::string copies = dir_.File("copies.prj");
  UiTest_QueueFile(copies.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);

  // With the plug-in back: every copy has the entries, and builds.
  Restart(PluginFolder());
  UiTest_QueueFile(copies.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(PulseCount, 3);
  for (int p = 0; p < PulseCount; ++p) {
    EXPECT_EQ(Entries(PulseTable[p]), entries) << p;
    ClickLibraryItem(kPulseLibraryTag, p);
    double value = 0.0;
    GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), &value);
    EXPECT_EQ(value, 2.5e-7) << p;
  }
  ClickLibraryItem(kPulseLibraryTag, 2);
  NewSequence(dir_.File("copy.wv"));
  Generate();
  EXPECT_TRUE(FileExists(dir_.File("copy.wv"))) << Log();
}

// A report plug-in written to the documented protocol alone, which refuses
// every tag it does not know: the pulse still reaches it whole, and the
// build succeeds.
TEST_F(EditorBuildCrossingsTest, AReportPluginThatRefusesUnknownTagsStillReports) {
  std::filesystem::copy_file(cz::test::BuildDir() + "/tests/app/StrictReport/strict_report.so",
                             dir_.File("plugins") + "/strict_report.so");
  const std::string journal = dir_.File("journal.txt");
  setenv("CADENZA_PLUGIN_JOURNAL", journal.c_str(), 1);
  Start();
  NewPulse("p", "FM chirp");
  NewSequence(dir_.File("strict.wv"));
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  int item = -1, count = 0;
  GetNumListItems(DATALOG, DATALOG_RING_REPORTTYPE, &count);
  for (int k = 0; k < count && item < 0; ++k) {
    char label[256] = "";
    GetLabelFromIndex(DATALOG, DATALOG_RING_REPORTTYPE, k, label, sizeof label);
    if (std::string(label) == "Strict Report") item = k;
  }
  ASSERT_GE(item, 0);
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, item), 1);
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, dir_.File("strict.xlsx").c_str()), 1);
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  ASSERT_STREQ(SequenceTable[0].reportPlugin.c_str(), "Strict Report");

  Generate();
  unsetenv("CADENZA_PLUGIN_JOURNAL");
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text << "\n" << Log();
  EXPECT_EQ(Status(), "Waveform Creation Finished Successfully.");
  EXPECT_TRUE(FileExists(dir_.File("strict.wv")));
  const std::string calls = ReadFileBytes(journal);
  int entries = 0;
  for (std::size_t at = calls.find("mod_setvalue finishentry"); at != std::string::npos;
       at = calls.find("mod_setvalue finishentry", at + 1))
    ++entries;
  EXPECT_EQ(entries, 1) << calls;
  EXPECT_EQ(calls.find("mod_error"), std::string::npos) << calls;
}

// A temporary folder accepted in Preferences is the next start's, as the
// dialog says: until then Generate and a multi-segment build with a blank
// segment keep using the folder in use, which the program cleans up at its
// end, and put nothing into the accepted one.
TEST_F(EditorBuildCrossingsTest, BuildsKeepTheTemporaryFolderInUseUntilTheNextStart) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-RFA30,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  WriteHomeSettings(sim.SocketResource());
  Start();
  const std::string inUse = home_ + "/Temp";
  const std::string later = dir_.File("later temp");
  ASSERT_EQ(ActiveTempDir.str(), inUse);
  // The folder picked in the browser (whose item tag is its full path),
  // which shows it as the dialog opens.
  mkdir(later.c_str(), 0755);
  Choose(MBAR_OPT_PREF);
  ASSERT_GT(g_TempDirBrowserCtrl, 0);
  int item = -1;
  ASSERT_EQ(GetTreeItemFromTag(GENERAL, g_TempDirBrowserCtrl, later.c_str(), &item), 0);
  ASSERT_GE(item, 0);
  ASSERT_EQ(UiTest_ClickTreeItem(GENERAL, g_TempDirBrowserCtrl, item, false), 1);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "The new settings are effective after restarting the application.");
  ASSERT_EQ(g_Settings.TempDir.str(), later);

  NewPulse("p", "FM chirp");
  const std::string wave = dir_.File("kept.wv");
  NewSequence(wave);
  Generate();
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text << "\n" << Log();
  EXPECT_EQ(Status(), "Waveform Creation Finished Successfully.");
  EXPECT_TRUE(FileExists(wave));
  EXPECT_TRUE(std::filesystem::is_empty(later));

  // A sequence segment and a blank segment to 1 ms.
  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), false);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2), 0), 1);
  UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(1, 1), false);
  MultiSegmentRecord& msw = MultiSegmentTable[0];
  ASSERT_EQ(msw.segments[1].type, SEGMENT_BLANK);
  msw.segments[1].stopTime = 1e-3;
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // the user clock raised to the sequence's
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  EXPECT_EQ(Status(), "Done.") << Log();
  int appended = 0;
  for (const std::string& m : sim.Received()) appended += m.rfind("SOUR:BB:ARB:WSEG:CONF:SEGM:APP", 0) == 0;
  EXPECT_EQ(appended, 2) << Log();
  EXPECT_TRUE(std::filesystem::is_empty(later));

  // The next start uses the accepted folder; the old one is left clean.
  Restart(PluginFolder());
  EXPECT_EQ(ActiveTempDir.str(), later);
  EXPECT_TRUE(FileExists(later + "/WV-DATA.TMP"));
  EXPECT_FALSE(FileExists(inUse + "/WV-DATA.TMP"));
  EXPECT_FALSE(FileExists(inUse + "/tmp_seg_blank.wv"));
}

// Cancel in the Report Generation dialog: what was changed there is not
// applied by the next Accept made for another reason, and the dialog opens
// again with the stored settings.
TEST_F(EditorBuildCrossingsTest, ReportDialogCancelIsNotAppliedByTheNextAccept) {
  Start();
  NewPulse("p", "FM chirp");
  const std::string wave = dir_.File("report.wv");
  NewSequence(wave);
  const std::string kept = dir_.File("kept.txt");
  TextReport(kept, {DATALOG_CHK_REP_ON});
  const SequenceRecord& seq = SequenceTable[0];
  ASSERT_EQ(seq.reportOn, 1);
  ASSERT_EQ(seq.reportFile.str(), kept);
  const int onTime = seq.reportColumns[REPORT_ON];

  // Report off, another file and the On column changed, then Cancel.
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 0), 1);
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, dir_.File("cancelled.txt").c_str()), 1);
  Click(DATALOG, DATALOG_CHK_REP_ON);
  Click(DATALOG, DATALOG_CMD_CANCEL);
  EXPECT_EQ(seq.reportOn, 1);
  EXPECT_EQ(seq.reportFile.str(), kept);

  // Opened again: the stored settings; the Delay column added and accepted.
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  int ring = -1, box = -1;
  GetCtrlIndex(DATALOG, DATALOG_RING_REPORTTYPE, &ring);
  EXPECT_EQ(ring, 1);
  EXPECT_EQ(Text(DATALOG, DATALOG_STR_REPORTFILE), kept);
  GetCtrlVal(DATALOG, DATALOG_CHK_REP_ON, &box);
  EXPECT_EQ(box, onTime);
  Click(DATALOG, DATALOG_CHK_REP_DELAY);
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  EXPECT_EQ(seq.reportOn, 1);
  EXPECT_EQ(seq.reportFile.str(), kept);
  EXPECT_EQ(seq.reportColumns[REPORT_ON], onTime);
  EXPECT_EQ(seq.reportColumns[REPORT_DELAY], 1);

  Generate();
  EXPECT_TRUE(FileExists(kept)) << Log();
  EXPECT_FALSE(FileExists(dir_.File("cancelled.txt")));
}

// The Report Generation and Baseband Filter dialogs of a sequence left open
// while another project is loaded (or a new one made): nothing of the old
// sequence reaches the new project's sequences, whatever is pressed in them.
TEST_F(EditorBuildCrossingsTest, SequenceDialogsLeftOpenDoNotReachTheNextProject) {
  Start();
  // Project B: one sequence without report or filter.
  NewPulse("b", "FM chirp");
  NewSequence(dir_.File("b.wv"));
  const std::string projectB = dir_.File("b.prj");
  UiTest_QueueFile(projectB.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(projectB));

  for (int viaNew = 0; viaNew < 2; ++viaNew) {
    SCOPED_TRACE(viaNew ? "New Project" : "Load Project");
    // Project A: its sequence with a text report and the filter on, both
    // dialogs shown.
    UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_NEWPRJ);
    NewPulse("a", "FM chirp");
    NewSequence(dir_.File("a.wv"));
    TextReport(dir_.File("a.txt"), {DATALOG_CHK_REP_DELAY});
    Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
    int on = 0;
    GetCtrlVal(FILTER, FILTER_CMD_BBFILTER, &on);
    if (!on) Click(FILTER, FILTER_CMD_BBFILTER);
    Click(FILTER, FILTER_CMD_APPLY);
    ASSERT_EQ(SequenceTable[0].filterOn, 1);
    Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);

    if (viaNew) {
      UiTest_QueueConfirm(true);
      Choose(MBAR_FILE_NEWPRJ);
      Choose(MBAR_PULSE_PNEW);
      Choose(MBAR_PULSE_SNEW);
    } else {
      UiTest_QueueFile(projectB.c_str());
      UiTest_QueueConfirm(true);
      Choose(MBAR_FILE_LOADPRJ);
    }
    ASSERT_EQ(SequenceCount, 1);
    const SequenceRecord& seq = SequenceTable[0];
    ASSERT_EQ(seq.reportOn, 0);
    ASSERT_EQ(seq.filterOn, 0);
    // Accept in either dialog, if the user can still reach it.
    for (int panel : {DATALOG, FILTER}) {
      int visible = 0;
      GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
      EXPECT_EQ(visible, 0) << "the old sequence's dialog is closed";
      if (visible) Click(panel, panel == DATALOG ? DATALOG_CMD_ACCEPT : FILTER_CMD_ACCEPT);
    }
    EXPECT_EQ(seq.reportOn, 0);
    EXPECT_TRUE(seq.reportFile.empty()) << seq.reportFile.c_str();
    EXPECT_EQ(seq.reportColumns[REPORT_DELAY], 0);
    EXPECT_EQ(seq.filterOn, 0);
  }
}

// Generate ends without a new waveform (its report cannot be opened) after
// an earlier build: the Transfer page's upload still sends the earlier
// waveform, whole, under its name.
TEST_F(EditorBuildCrossingsTest, UploadAfterAFailedGenerateSendsTheEarlierWaveform) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-RFA30,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  WriteHomeSettings(sim.SocketResource());
  Start();
  NewPulse("p", "FM chirp");
  const std::string wave = dir_.File("earlier.wv");
  NewSequence(wave);
  Generate();
  ASSERT_TRUE(FileExists(wave)) << Log();
  const std::string built = ReadFileBytes(wave);

  TextReport(dir_.File("no/such/folder/report.txt"), {});
  Generate(true);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(Status(), "Error: Report Initialization Failed. See log.");
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_LOCFILE), wave);

  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Status(), "Transfer Complete.") << Log();
  const std::string remote = g_Settings.RemoteFileA.str();
  EXPECT_NE(remote.find("earlier.wv"), std::string::npos) << remote;
  bool sent = false;
  for (const std::string& m : sim.Received())
    sent = sent || (m.rfind(":MMEM:DATA '" + remote + "',#", 0) == 0 &&
                    m.find("[" + std::to_string(built.size()) + " bytes") != std::string::npos);
  EXPECT_TRUE(sent) << "the earlier waveform, " << built.size() << " bytes";
}

// Pulses of a plug-in imported while the Pulse Editor shows a pulse of a
// built-in modulation: an edit of the shown pulse's parameter table
// afterwards stores the shown pulse's own rows.
TEST_F(EditorBuildCrossingsTest, ImportOfPluginPulsesLeavesTheShownPulsesTableItsOwn) {
  Start();
  NewPulse("bend", "Bendsweep");
  const std::string source = dir_.File("bend.prj");
  UiTest_QueueFile(source.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(source));

  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("chirp", "FM chirp");
  const std::vector<std::string> chirp = Entries(PulseTable[0]);
  ASSERT_FALSE(chirp.empty());
  UiTest_QueueFile(source.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 2);
  ASSERT_EQ(CurrentPulse, 0);

  const int row = ParamRow("RF Bandwidth [MHz]");
  ASSERT_GT(row, 0);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), 7.5), 1);
  const std::vector<std::string> stored = Entries(PulseTable[0]);
  ASSERT_EQ(stored.size(), chirp.size());
  for (std::size_t k = 0; k < stored.size(); ++k)
    EXPECT_EQ(stored[k].substr(0, stored[k].rfind('|')), chirp[k].substr(0, chirp[k].rfind('|')));
  const int k = PulseTable[0].modParams.Find("RF Bandwidth [MHz]", "DOUBLE");
  ASSERT_GE(k, 0);
  EXPECT_STREQ(PulseTable[0].modParams[k].value.c_str(), "7.500000");

}

}  // namespace

namespace {

// Paths typed into the fields that name files, longer than the 255 bytes a
// record holds though within the field's characters (accented names): the
// commit refuses each whole and the field shows the stored path again; no
// field cuts one, which would name another file. The next Generate writes
// the file stored before, and no file of a cut name.
TEST_F(EditorBuildCrossingsTest, APathTooLongForItsRecordIsRefusedNeverCut) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-RFA30,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  WriteHomeSettings(sim.SocketResource());
  Start();
  std::string accented;
  for (int i = 0; i < 150; ++i) accented += "\xC3\xA9";  // 150 characters, 300 bytes
  NewPulse("p", "FM chirp");
  const std::string wave = dir_.File("kept.wv");
  NewSequence(wave);
  const std::string tooLong = dir_.File(accented + ".wv");
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, tooLong.c_str()), 1);
  EXPECT_EQ(SequenceTable[0].waveFile.str(), wave);
  EXPECT_EQ(Text(TAB_SEDIT, TAB_SEDIT_STR_FILE), wave);
  // Refusals count characters: the folder's (one byte each), then as many
  // two-byte ones as the rest of the 255 bytes holds.
  const std::size_t folder = dir_.File("").size();
  const std::string fit = std::to_string(folder + (255 - folder) / 2) + " of these fit.";
  EXPECT_EQ(Status(), "Error: Waveform file path too long: " + std::to_string(folder + 153) + " characters, at most " + fit);
  Generate();
  EXPECT_TRUE(FileExists(wave)) << Log();
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find("\xC3\xA9"), std::string::npos) << entry.path();

  // The report file: Accept says so and keeps the dialog open.
  TextReport(dir_.File("kept.txt"), {});
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, dir_.File(accented + ".txt").c_str()), 1);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text,
            "The path of the report file is too long: " + std::to_string(folder + 154) + " characters, at most " + fit);
  EXPECT_EQ(SequenceTable[0].reportFile.str(), dir_.File("kept.txt"));
  int visible = 0;
  GetPanelAttribute(DATALOG, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 1);
  Click(DATALOG, DATALOG_CMD_CANCEL);

  // Files on the instrument: the RF list's, the multi-segment target, path A's.
  Choose(MBAR_PULSE_RFLISTNEW);
  const std::string list = RfListTable[0].remoteFile.str();
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_STR_FILE, ("D:\\" + accented).c_str()), 1);
  EXPECT_EQ(RfListTable[0].remoteFile.str(), list);
  EXPECT_EQ(Text(TAB_RFLIST, TAB_RFLIST_STR_FILE), list);
  Choose(MBAR_PULSE_SEGNEW);
  const std::string target = MultiSegmentTable[0].targetName.str();
  ASSERT_EQ(UiTest_EnterValue(TAB_MSEG, TAB_MSEG_STR_MSNAME, accented.c_str()), 1);
  EXPECT_EQ(MultiSegmentTable[0].targetName.str(), target);
  EXPECT_EQ(Text(TAB_MSEG, TAB_MSEG_STR_MSNAME), target);
  EXPECT_EQ(Status(), "Error: Target name too long: 150 characters, at most 127 of these fit.");
  if (g_Settings.BBModeA == 0) Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  if (g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_NLINK_A);
  const std::string remote = g_Settings.RemoteFileA.str();
  ASSERT_EQ(UiTest_EnterValue(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A, ("D:\\" + accented + ".wv").c_str()), 1);
  EXPECT_EQ(g_Settings.RemoteFileA.str(), remote);
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), remote);
  EXPECT_EQ(Status(), "Error: Instrument file name too long: 156 characters, at most 129 of these fit.");
}

// A report file stored relative to the home path, within the 255 bytes the
// sequence holds but longer than that under the home path (accented names):
// Generate writes the report there with the waveform. The build once failed
// ("Report Initialization Failed.") on a path the Report dialog had taken.
TEST_F(EditorBuildCrossingsTest, AReportStoredUnderTheHomePathIsWrittenHoweverLongItsFullPath) {
  Start();
  std::string accented;
  for (int i = 0; i < 120; ++i) accented += "\xC3\xA9";  // 120 characters, 240 bytes
  NewPulse("p", "FM chirp");
  const std::string wave = dir_.File("reported.wv");
  NewSequence(wave);
  ASSERT_TRUE(std::filesystem::create_directories(home_ + "/Reports"));
  const std::string stored = "Reports\\" + accented + ".txt";
  TextReport(stored, {DATALOG_CHK_REP_ON});
  ASSERT_EQ(SequenceTable[0].reportFile.str(), stored);
  const std::string written = home_ + "/Reports/" + accented + ".txt";
  ASSERT_GT(written.size(), 255u);
  Generate();
  EXPECT_TRUE(UiTest_Popups().empty()) << Log();
  EXPECT_EQ(Status(), "Waveform Creation Finished Successfully.") << Log();
  EXPECT_TRUE(FileExists(wave));
  EXPECT_FALSE(ReportRows(written).empty()) << Log();
}

// The default paths on the instrument in Preferences, typed longer than the
// 255 bytes the project holds (accented names, within the field's
// characters): Accept refuses the dialog whole with a message and stays open,
// taking nothing of it; the field once cut such a path into the name of
// another folder, which Accept stored. A path of exactly 255 bytes is taken
// whole.
TEST_F(EditorBuildCrossingsTest, ADefaultPathTooLongForTheProjectIsRefusedNeverCut) {
  Start();
  std::string accented;
  for (int i = 0; i < 130; ++i) accented += "\xC3\xA9";  // 130 characters, 260 bytes
  const std::string lin = g_Settings.Project.pathLin.str(), win = g_Settings.Project.pathWin.str();
  ASSERT_EQ(g_Settings.Project.swapIq, 0);
  Choose(MBAR_OPT_PREF);
  Click(GENWV, GENWV_CHK_IQSWAP);
  auto accept = [](std::size_t popups) {
    UiTest_ClearPopups();
    for (std::size_t k = 0; k < popups; ++k) UiTest_QueueMessageOk();
    Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
    EXPECT_EQ(UiTest_Popups().size(), popups);
    int visible = 0;
    GetPanelAttribute(PREFERENCE, ATTR_VISIBLE, &visible);
    return visible;
  };
  const struct {
    int control;
    std::string typed;
    const char* counts;  // what the message says of the characters
  } tooLong[] = {{GENWV_STR_DEF_LIN, "/hdd/" + accented, "135 characters, at most 130"},
                 {GENWV_STR_DEF_WIN, "D:\\" + accented + "\\", "134 characters, at most 129"}};
  for (const auto& t : tooLong) {
    ASSERT_EQ(UiTest_EnterValue(GENWV, t.control, t.typed.c_str()), 1);
    EXPECT_EQ(Text(GENWV, t.control), t.typed) << "the field keeps the whole path";
    EXPECT_EQ(accept(1), 1) << t.typed;
    ASSERT_FALSE(UiTest_Popups().empty());
    EXPECT_EQ(UiTest_Popups()[0].text,
              std::string("The path of the default folder on the instrument is too long: ") + t.counts + " of these fit.");
    EXPECT_EQ(g_Settings.Project.pathLin.str(), lin);
    EXPECT_EQ(g_Settings.Project.pathWin.str(), win);
    EXPECT_EQ(g_Settings.Project.swapIq, 0) << "nothing of the refused dialog is taken";
    ASSERT_EQ(UiTest_EnterValue(GENWV, t.control, t.control == GENWV_STR_DEF_LIN ? lin.c_str() : win.c_str()), 1);
  }
  const std::string whole = "D:\\" + accented.substr(0, 252);  // 255 bytes
  ASSERT_EQ(UiTest_EnterValue(GENWV, GENWV_STR_DEF_WIN, whole.c_str()), 1);
  EXPECT_EQ(accept(0), 0);
  EXPECT_EQ(g_Settings.Project.pathWin.str(), whole);
  EXPECT_EQ(g_Settings.Project.swapIq, 1);
}

}  // namespace
