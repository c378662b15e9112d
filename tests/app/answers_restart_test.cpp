// What the user accepted, cancelled or was told, across restarts of the
// program in this process (offscreen, scripted popups): the Preferences
// pages, File > Exit with save-on-exit, projects whose plug-ins are not
// loaded at the next start, and Generate ending without a new waveform.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/TempFiles.h"
#include "editors/PulseModPage.h"
#include "editors/ReportDialog.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/TransferPage.h"
#include "ui/pulse/ModulationPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A pulse's stored parameter entries as "type|name|value" lines.
std::vector<std::string> Entries(const PulseRecord& p) {
  std::vector<std::string> out;
  for (int k = 0; k < p.modParams.StoredCount(); ++k) {
    const ModulationParamEntry& e = p.modParams[k];
    if (!e.IsFree()) out.push_back(e.type.str() + "|" + e.name.str() + "|" + e.value.str());
  }
  return out;
}

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

class AnswersRestartTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  // The program's plug-ins, as copies in a folder of this test, so that a
  // restart can run without some of them.
  std::string PluginFolder() const override { return dir_.File("plugins"); }
  void SetUp() override {
    StartupHomeTest::SetUp();
    for (const char* name : {"fennick.so", "bendsweep.so"})
      std::filesystem::copy_file(cz::test::BuildDir() + "/Plugins/" + name, dir_.File("plugins") + "/" + name);
    WriteHomeSettings("", false);
  }
  void WriteHomeSettings(const std::string& lastPrj, bool saveOnExit) {
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", "[PRG]\r\nTempDir = \"" + home_ + "/Temp\"\r\nLastPrj = \"" +
                                                            lastPrj + "\"\r\nSavePrjOnExit = " +
                                                            (saveOnExit ? "True" : "False") + "\r\nAllowTrace = True\r\n"));
  }
  // The program ends (settings saved as at exit) and starts again, the last
  // project loaded, with the plug-ins of folder.
  void Restart(const std::string& folder) {
    TearDownApplication();
    SetPluginFolder(folder);
    SkipProjectLoad = 0;
    UiTest_ClearPopups();
    ASSERT_EQ(InitApplication(), 1);
  }

  static int Flag(int panel, int control) {
    int on = -1;
    GetCtrlVal(panel, control, &on);
    return on;
  }
  // A pulse of 10 us on time and 40 us off with the modulation of this label.
  static void NewPulse(const char* modulation) {
    Choose(MBAR_PULSE_PNEW);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 10.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 40.0), 1);
    ChooseModulation(modulation);
  }
  // The Report Generation dialog of the shown sequence, accepted with the
  // format ring's item and the file.
  static void SetReport(int ringIndex, const std::string& file) {
    Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
    ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, ringIndex), 1);
    ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, file.c_str()), 1);
    Click(DATALOG, DATALOG_CMD_ACCEPT);
  }
  // The item of the browser on the General page for folder, as the browser
  // lists a folder (its tag is the full path).
  static int BrowserItem(const std::string& folder) {
    return InsertTreeItem(GENERAL, g_TempDirBrowserCtrl, VAL_SIBLING, -1, VAL_LAST, "folder", folder.c_str(),
                          nullptr, 0);
  }
};

// ---------------------------------------------------------------- Preferences

TEST_F(AnswersRestartTest, PreferencesCancelDiscardsAndAcceptKeepsOverRestarts) {
  ASSERT_EQ(InitApplication(), 1);
  const std::string temp = home_ + "/Temp";
  const std::string picked = dir_.File("picked");
  ASSERT_EQ(ActiveTempDir.str(), temp);
  const std::string pathLin = g_Settings.Project.pathLin.str();
  const int markers = g_Settings.Project.allowMarkers;
  ASSERT_EQ(g_Settings.Project.swapIq, 0);

  // A folder clicked in the browser fills the field only; Cancel drops it.
  Choose(MBAR_OPT_PREF);
  ASSERT_GT(g_TempDirBrowserCtrl, 0);
  ASSERT_EQ(UiTest_ClickTreeItem(GENERAL, g_TempDirBrowserCtrl, BrowserItem(picked), false), 1);
  EXPECT_EQ(Text(GENERAL, GENERAL_STR_TEMPDIR), picked);
  EXPECT_EQ(g_Settings.TempDir.str(), temp);
  // Project Settings typed and ticked, then cancelled as well.
  ASSERT_EQ(UiTest_EnterValue(GENWV, GENWV_STR_DEF_LIN, "/cancelled"), 1);
  Click(GENWV, GENWV_CHK_IQSWAP);
  ASSERT_EQ(Flag(GENWV, GENWV_CHK_IQSWAP), 1);
  Click(PREFERENCE, PREFERENCE_CMD_CANCEL);
  EXPECT_EQ(g_Settings.TempDir.str(), temp);
  EXPECT_EQ(Text(GENERAL, GENERAL_STR_TEMPDIR), temp);
  EXPECT_EQ(Text(GENWV, GENWV_STR_DEF_LIN), pathLin);
  EXPECT_EQ(Flag(GENWV, GENWV_CHK_IQSWAP), 0);

  // The next Accept, made for another reason, takes nothing cancelled over.
  Choose(MBAR_OPT_PREF);
  Click(GENWV, GENWV_CHK_MARKERS);
  UiTest_ClearPopups();
  Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(g_Settings.Project.allowMarkers, 1 - markers);
  EXPECT_EQ(g_Settings.Project.swapIq, 0);
  EXPECT_EQ(g_Settings.Project.pathLin.str(), pathLin);
  EXPECT_EQ(g_Settings.TempDir.str(), temp);

  // Saved and started again: the cancelled values are nowhere.
  Choose(MBAR_PULSE_PNEW);
  const std::string project = dir_.File("prefs.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(project));
  Restart(PluginFolder());
  EXPECT_EQ(ActiveTempDir.str(), temp);
  EXPECT_EQ(g_Settings.Project.swapIq, 0);
  EXPECT_EQ(g_Settings.Project.allowMarkers, 1 - markers);
  EXPECT_EQ(g_Settings.Project.pathLin.str(), pathLin);
  EXPECT_EQ(Text(GENWV, GENWV_STR_DEF_LIN), pathLin);

  // An accepted folder is announced and used from the next start.
  Choose(MBAR_OPT_PREF);
  ASSERT_EQ(UiTest_ClickTreeItem(GENERAL, g_TempDirBrowserCtrl, BrowserItem(picked), false), 1);
  UiTest_QueueMessageOk();
  Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "The new settings are effective after restarting the application.");
  EXPECT_EQ(g_Settings.TempDir.str(), picked);
  EXPECT_EQ(ActiveTempDir.str(), temp) << "the folder in use stays until the restart";
  Restart(PluginFolder());
  EXPECT_EQ(ActiveTempDir.str(), picked);
  EXPECT_TRUE(FileExists(picked + "/WV-DATA.TMP"));
}

// ---------------------------------------------------------------- Exit

TEST_F(AnswersRestartTest, ExitWithSaveOnExitKeepsTheSessionWhenTheSaveDialogIsCancelled) {
  WriteHomeSettings("", true);
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(g_Settings.SavePrjOnExit, 1);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "kept"), 1);

  // Cancel in "Save Project File", from the menu and from the close box:
  // the program goes on with its project.
  for (int viaCloseBox = 0; viaCloseBox < 2; ++viaCloseBox) {
    UiTest_ClearPopups();
    UiTest_QueueCancel();
    if (viaCloseBox)
      ASSERT_EQ(UiTest_PressCloseBox(PANEL_MAIN), 1);
    else
      Choose(MBAR_FILE_EXIT);
    ASSERT_EQ(UiTest_Popups().size(), 1u);
    EXPECT_EQ(UiTest_Popups()[0].title, "Save Project File");
    ASSERT_EQ(PulseCount, 1) << "the project is still there";
    EXPECT_STREQ(PulseTable[0].name.c_str(), "kept");
    EXPECT_TRUE(g_Settings.LastPrj.empty());
  }

  // A file chosen: saved, and the program ends; the next start has it.
  const std::string project = dir_.File("exit.prj");
  UiTest_ClearPopups();
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_EXIT);
  EXPECT_EQ(PulseCount, 0);
  ASSERT_TRUE(FileExists(project));
  Restart(PluginFolder());
  ASSERT_EQ(PulseCount, 1);
  EXPECT_STREQ(PulseTable[0].name.c_str(), "kept");
}

// ---------------------------------------------------------------- Generate

TEST_F(AnswersRestartTest, GenerateThatEndsWithoutANewWaveformSaysSoAndKeepsTheTransferFile) {
  ASSERT_EQ(InitApplication(), 1);
  NewPulse("FM chirp");
  Choose(MBAR_PULSE_SNEW);
  const std::string wave = dir_.File("kept.wv");
  UiTest_QueueFile(wave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  ASSERT_EQ(Status(), "Waveform Creation Finished Successfully.");
  ASSERT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_LOCFILE), wave);
  const std::string built = ReadFileBytes(wave);

  // A text report into a folder that does not exist, then a workbook report
  // without its template: each Generate says it failed, and the earlier
  // waveform stays the Transfer page's file. With logging to the log
  // window off the popup and the status line are the only signs.
  Choose(MBAR_OPT_PREF);
  if (Flag(GENERAL, GENERAL_CHK_TRACE) == 1) Click(GENERAL, GENERAL_CHK_TRACE);
  Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
  ASSERT_EQ(g_Settings.AllowTrace, 0);
  struct Case {
    int ring;
    std::string file;
  };
  for (const Case& c : {Case{1, dir_.File("no/such/folder/report.txt")}, Case{2, dir_.File("no-template.xlsx")}}) {
    SCOPED_TRACE(c.file);
    SetReport(c.ring, c.file);
    ASSERT_EQ(SequenceTable[0].reportOn, 1);
    UiTest_ClearPopups();
    UiTest_QueueMessageOk();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    ASSERT_EQ(UiTest_Popups().size(), 1u);
    EXPECT_EQ(UiTest_Popups()[0].title, "ERROR");
    EXPECT_EQ(UiTest_Popups()[0].text.rfind("Waveform creation failed.", 0), 0u) << UiTest_Popups()[0].text;
    EXPECT_EQ(Status(), "Error: Report Initialization Failed. See log.");
    EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_LOCFILE), wave);
    EXPECT_EQ(ReadFileBytes(wave), built);
    int dimmed = -1;
    GetCtrlAttribute(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 0) << "idle again";
  }

  // The report off again: the next Generate writes and names the file.
  SetReport(0, "");
  ASSERT_EQ(unlink(wave.c_str()), 0);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Status(), "Waveform Creation Finished Successfully.");
  EXPECT_TRUE(FileExists(wave));
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_LOCFILE), wave);
}

// ---------------------------------------------------------------- missing plug-ins

TEST_F(AnswersRestartTest, PluginsMissingAtStartChangeNoRecordAndAreNamedOnce) {
  ASSERT_EQ(InitApplication(), 1);
  NewPulse("FM chirp");
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "B"), 1);
  NewPulse("Bendsweep");
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "A"), 1);
  ASSERT_EQ(PulseCount, 2);
  ASSERT_EQ(PulseTable[1].modulation, kModulationPluginCode);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, 2), 250.0), 1);
  const std::vector<std::string> entriesA = Entries(PulseTable[1]);
  ASSERT_GE(entriesA.size(), 3u);
  const uint32_t idA = PulseTable[1].id;

  // Two sequences of pulse A whose workbook report goes through the plug-in.
  const std::string book = dir_.File("book.xlsx");
  for (const char* name : {"S1", "S2"}) {
    Choose(MBAR_PULSE_SNEW);
    ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_NAME, name), 1);
    UiTest_QueueFile(dir_.File(std::string(name) + ".wv").c_str());
    Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
    SetReport(2, book);
  }
  ASSERT_EQ(SequenceCount, 2);
  ASSERT_EQ(SequenceTable[0].entries[0].pulseId, static_cast<int32_t>(idA));
  ASSERT_EQ(SequenceTable[0].reportOn, 1);
  ASSERT_STREQ(SequenceTable[0].reportPlugin.c_str(), "Fennick-EXCEL-1.0");
  const std::string project = dir_.File("plugins.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(project));

  // Started without the plug-ins: one warning per plug-in names its users.
  mkdir(dir_.File("none").c_str(), 0755);
  Restart(dir_.File("none"));
  ASSERT_EQ(ModuleCount, 0);
  ASSERT_EQ(PulseCount, 2);
  const std::string log = Log();
  EXPECT_EQ(Occurrences(log, "** Plug-in 'Bendsweep' is not loaded; used by pulse 'A'"), 1) << log;
  EXPECT_EQ(Occurrences(log, "** Plug-in 'Fennick-EXCEL-1.0' is not loaded; used by sequence 'S1', sequence 'S2'"),
            1)
      << log;
  EXPECT_EQ(Occurrences(log, "is not loaded; used by"), 2) << log;

  // The sequence shows its report off; its record keeps the plug-in.
  ClickLibraryItem(kSequenceLibraryTag, 0);
  EXPECT_EQ(Flag(DATALOG, DATALOG_RING_REPORTTYPE), 0);
  EXPECT_EQ(Flag(TAB_SEDIT, TAB_SEDIT_LED_LOG), 0);
  EXPECT_EQ(SequenceTable[0].reportOn, 1);
  EXPECT_STREQ(SequenceTable[0].reportPlugin.c_str(), "Fennick-EXCEL-1.0");

  // Pulse B, then pulse A: A's own stored entries, read-only, under a note.
  ClickLibraryItem(kPulseLibraryTag, 0);
  ASSERT_EQ(CurrentPulse, 0);
  ClickLibraryItem(kPulseLibraryTag, 1);
  ASSERT_EQ(CurrentPulse, 1);
  int rows = 0;
  GetNumTableRows(P_MOD, P_MOD_TABLE_CONF, &rows);
  ASSERT_EQ(rows, static_cast<int>(entriesA.size()));
  for (int r = 0; r < rows; ++r) {
    char name[256] = "", value[256] = "";
    GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(1, r + 1), name, sizeof name);
    GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(2, r + 1), value, sizeof value);
    const ModulationParamEntry& e = PulseTable[1].modParams[r];
    EXPECT_EQ(name, e.name.str());
    EXPECT_EQ(value, e.value.str());
    int mode = -1;
    GetTableCellAttribute(P_MOD, P_MOD_TABLE_CONF, Cell(2, r + 1), ATTR_CELL_MODE, &mode);
    EXPECT_EQ(mode, VAL_INDICATOR) << name;
  }
  char caption[256] = "";
  GetCtrlAttribute(P_MOD, P_MOD_TABLE_CONF, ATTR_LABEL_TEXT, caption, sizeof caption);
  EXPECT_EQ(std::string(caption), "Plug-in 'Bendsweep' is not loaded: stored values, read-only");
  // Neither a commit on the table nor the reset touches them.
  ModulationParamTableCb(P_MOD, P_MOD_TABLE_CONF, EVENT_COMMIT, nullptr, 1, 2);
  Click(P_MOD, P_MOD_CMD_RESET);
  EXPECT_EQ(Entries(PulseTable[1]), entriesA);

  // Generate with the missing modulation plug-in fails and says so.
  ClickLibraryItem(kSequenceLibraryTag, 0);
  SetReport(0, "");  // this sequence's report switched off by the user
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "ERROR");
  EXPECT_EQ(Status().rfind("Error", 0), 0u) << Status();

  // Saved and started with the plug-ins again: everything the user did not
  // change is as it was.
  Choose(MBAR_FILE_SAVEPRJ);
  Restart(PluginFolder());
  ASSERT_EQ(PulseCount, 2);
  EXPECT_EQ(Entries(PulseTable[1]), entriesA);
  EXPECT_EQ(SequenceTable[0].reportOn, 0);
  EXPECT_EQ(SequenceTable[1].reportOn, 1);
  EXPECT_STREQ(SequenceTable[1].reportPlugin.c_str(), "Fennick-EXCEL-1.0");
  EXPECT_EQ(Occurrences(Log(), "is not loaded; used by"), 0);
  ClickLibraryItem(kSequenceLibraryTag, 1);
  int shown = -1;
  GetCtrlIndex(DATALOG, DATALOG_RING_REPORTTYPE, &shown);
  EXPECT_EQ(shown, 2) << "the plug-in's item";
  EXPECT_EQ(Flag(TAB_SEDIT, TAB_SEDIT_LED_LOG), 1);
  ClickLibraryItem(kPulseLibraryTag, 1);
  GetCtrlAttribute(P_MOD, P_MOD_TABLE_CONF, ATTR_LABEL_TEXT, caption, sizeof caption);
  EXPECT_STREQ(caption, "Modulation Parameters");
  int mode = -1;
  GetTableCellAttribute(P_MOD, P_MOD_TABLE_CONF, Cell(2, 2), ATTR_CELL_MODE, &mode);
  EXPECT_NE(mode, VAL_INDICATOR);
  double value = 0.0;
  GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(2, 2), &value);
  EXPECT_DOUBLE_EQ(value, 250.0);
}

}  // namespace
