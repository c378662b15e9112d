// Records keep their identity where commands cross: copies moved and
// deleted under the rings that chose them, dialogs left open while their
// sequence is copied, moved or hidden, a load that renumbers followed by an
// import, and the question before a project that lost records is saved over
// (through a link, at Exit). Offscreen through the program's own start-up,
// menus, tree clicks, table cells and scripted popups.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DataSource.h"
#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "app/ProjectFile.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "editors/DataSourceEditor.h"
#include "editors/BasebandFilter.h"
#include "editors/ModDataTable.h"
#include "editors/ReportDialog.h"
#include "editors/SequenceFilter.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaveFileCheck.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

class IdentityCrossingsTest : public cz::test::StartupHomeTest {
 protected:
  std::string PluginFolder() const override { return cz::test::BuildDir() + "/Plugins"; }
  void SetUp() override {
    StartupHomeTest::SetUp();
    WriteSettings("");
    mkdir(Projects().c_str(), 0755);
  }
  void WriteSettings(const std::string& lastPrj, bool autosave = false) {
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               "[PRG]\r\nTempDir = \"" + home_ + "/Temp\"\r\nLastPrj = \"" + lastPrj +
                                   "\"\r\nSavePrjOnExit = " + (autosave ? "True" : "False") + "\r\n"));
  }
  void Start() {
    ASSERT_EQ(InitApplication(), 1);
    UiTest_ClearPopups();
  }
  std::string Projects() const { return home_ + "/Projects"; }

  static void Choose(int item) { ASSERT_EQ(UiTest_ChooseMenuItem(GetPanelMenuBar(PANEL_MAIN), item), 1); }
  static void Click(int panel, int control) { ASSERT_EQ(UiTest_ClickCtrl(panel, control), 1); }
  static int Item(const char* tag, int k) {
    int root = -1, item = -1;
    GetTreeItemFromTag(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, tag, &root);
    GetTreeItemChild(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, root, k, &item);
    return item;
  }
  static void ClickItem(const char* tag, int k) {
    const int item = Item(tag, k);
    ASSERT_GE(item, 0) << tag << " " << k;
    ASSERT_EQ(UiTest_ClickTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, item, false), 1);
  }
  static void ChooseCellItem(int panel, int table, Point cell, int item) {
    ASSERT_GE(UiTest_ClickTableCell(panel, table, cell, false), 0);
    ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel, table, cell, item), 1);
  }
  static int ActiveRingItem(int panel, int table, Point cell) {
    if (UiTest_ClickTableCell(panel, table, cell, false) < 0) return -2;
    int item = -1;
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    return item;
  }
  static int Visible(int panel) {
    int visible = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
    return visible;
  }
  static void ChooseModulation(const char* label) {
    for (int k = 0; k < 200; ++k) {
      char text[128] = "";
      if (GetLabelFromIndex(P_MOD, P_MOD_TREE_MOD, k, text, sizeof text) < 0) break;
      if (std::string(text) != label) continue;
      ASSERT_EQ(UiTest_ClickTreeItem(P_MOD, P_MOD_TREE_MOD, k, false), 1);
      return;
    }
    FAIL() << label;
  }
  static void ClickSource(int k) {
    ASSERT_EQ(UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, k + 1, false), 1);
  }
  static std::string ShownSourceName() {
    char name[256] = "";
    GetCtrlVal(DATAEDIT, DATAEDIT_STR_NAME, name, sizeof name);
    return name;
  }
  static std::string ShownSourceData() {
    char data[4096] = "";
    GetCtrlVal(DATAEDIT, DATAEDIT_STR_DATA, data, sizeof data);
    return data;
  }
  void AddSource(const char* name, const char* bits) {
    Click(DATAEDIT, DATAEDIT_CMD_ADD);
    ClickSource(DataSourceCount - 1);
    ASSERT_EQ(UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_NAME, name), 1);
    ASSERT_EQ(UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_DATA, bits), 1);
  }
  // Generates the shown sequence into wave; its I/Q samples.
  static cz::test::ParsedWave Generate(const std::string& wave) {
    UiTest_QueueFile(wave.c_str());
    EXPECT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FSEL), 1);
    UiTest_ClearPopups();
    EXPECT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
    EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
    cz::test::ParsedWave parsed = cz::test::ParseWaveFile(wave);
    EXPECT_TRUE(parsed.ok) << wave;
    return parsed;
  }
  // Bits of the user data source a pulse's data row names.
  static std::string RowBits(int pulse, int row) {
    const int slot = DataSourceIndexById(static_cast<uint32_t>(PulseTable[pulse].dataRows[row].source));
    return slot < 0 ? std::string("<none>") : DataSourceTable[slot].data.str();
  }
};

// ------------------------------------------------- copies moved and deleted

// Copy a sequence twice and a pulse twice; a multi-segment waveform's
// segments and a sequence's entry choose the second copies. Moving and
// deleting the records around them keeps every reference on the record
// chosen, each ring shows it at its new position, and a save and load
// keep it.
TEST_F(IdentityCrossingsTest, CopiesMovedAndDeletedUnderTheRingsThatChoseThem) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  ClickItem(kPulseLibraryTag, 0);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(PulseCount, 3);
  const uint32_t secondPulse = PulseTable[2].id;
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 1);
  // Ring items: two fillers, then the pulses in library order.
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 4);
  ASSERT_EQ(SequenceTable[0].entries[0].pulseId, static_cast<int32_t>(secondPulse));
  ClickItem(kSequenceLibraryTag, 0);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(SequenceCount, 3);
  const uint32_t firstCopy = SequenceTable[1].id, secondCopy = SequenceTable[2].id;
  SequenceTable[2].entries[0].repetitions = 7;

  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  const int table = TAB_MSEG_TABLE_SETTINGS;
  ChooseCellItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1), 3);  // second copy
  ChooseCellItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 2), 2);  // first copy
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false), 0);
  ASSERT_EQ(MultiSegmentTable[0].segments[0].sequenceId, static_cast<int32_t>(secondCopy));
  ASSERT_EQ(MultiSegmentTable[0].segments[1].sequenceId, static_cast<int32_t>(firstCopy));

  // The second copy moves up twice (to the top), the first copy down.
  ClickItem(kSequenceLibraryTag, 2);
  ASSERT_EQ(SequenceTable[CurrentSequence].id, secondCopy);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_UP);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_UP);
  ASSERT_EQ(SequenceTable[0].id, secondCopy);
  // The original (now second) is deleted: no segment uses it.
  ClickItem(kSequenceLibraryTag, 1);
  ASSERT_NE(SequenceTable[CurrentSequence].id, firstCopy);
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(SequenceCount, 2);
  ASSERT_EQ(SequenceTable[0].id, secondCopy);
  ASSERT_EQ(SequenceTable[1].id, firstCopy);

  // The multi-segment page shown again: each ring shows its own sequence at
  // its new place, and a click through the cells changes nothing.
  ClickItem(kMultiSegmentLibraryTag, 0);
  EXPECT_EQ(ActiveRingItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1)), 1);
  EXPECT_EQ(ActiveRingItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 2)), 2);
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false), 0);
  EXPECT_EQ(MultiSegmentTable[0].segments[0].sequenceId, static_cast<int32_t>(secondCopy));
  EXPECT_EQ(MultiSegmentTable[0].segments[1].sequenceId, static_cast<int32_t>(firstCopy));

  // The pulses: the first copy moves below the second and the original
  // goes; the entry still names the second copy, shown at its new item.
  ClickItem(kPulseLibraryTag, 1);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_DOWN);
  ASSERT_EQ(PulseTable[1].id, secondPulse);
  ClickItem(kPulseLibraryTag, 0);
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(PulseCount, 2);
  ASSERT_EQ(PulseTable[0].id, secondPulse);
  for (int s = 0; s < SequenceCount; ++s)
    EXPECT_EQ(SequenceTable[s].entries[0].pulseId, static_cast<int32_t>(secondPulse)) << s;
  ClickItem(kSequenceLibraryTag, 1);
  EXPECT_EQ(ActiveRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1)), 2);
  ASSERT_GE(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), false), 0);
  EXPECT_EQ(SequenceTable[1].entries[0].pulseId, static_cast<int32_t>(secondPulse));

  // Saved and loaded: the same records.
  const std::string project = Projects() + "/moved.prj";
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  UiTest_QueueFile(project.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(SequenceCount, 2);
  const MultiSegmentRecord& ms = MultiSegmentTable[0];
  const int a = FindSequenceById(static_cast<uint32_t>(ms.segments[0].sequenceId));
  const int b = FindSequenceById(static_cast<uint32_t>(ms.segments[1].sequenceId));
  ASSERT_EQ(a, 0);
  ASSERT_EQ(b, 1);
  EXPECT_EQ(SequenceTable[a].entries[0].repetitions, 7);
  EXPECT_NE(SequenceTable[b].entries[0].repetitions, 7);
}

// ----------------------------------------------------- dialogs left open

// The Report and Baseband Filter dialogs stay with their sequence while it
// is copied, moved and hidden: Accept writes into it, never into the copy
// or the record now at its old place.
TEST_F(IdentityCrossingsTest, DialogsOpenWhileTheirSequenceIsCopiedMovedAndHidden) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 2);
  ClickItem(kSequenceLibraryTag, 1);
  const uint32_t held = SequenceTable[1].id;
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
  const std::string report = dir_.File("held.txt");
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, report.c_str()), 1);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
  ASSERT_EQ(UiTest_EnterValue(FILTER, FILTER_CMD_BBFILTER, 1), 1);

  // Copy, then Move Up: the held sequence is now first, its copy third.
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(SequenceCount, 3);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_UP);
  ASSERT_EQ(SequenceTable[0].id, held);
  // Hide Tree Entries with the held sequence hidden.
  SequenceTable[0].hidden = 1;
  Choose(MBAR_PRJ_HIDE);
  Choose(MBAR_PRJ_HIDE);

  Click(DATALOG, DATALOG_CMD_ACCEPT);
  Click(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(SequenceTable[0].reportOn, 1);
  EXPECT_EQ(SequenceTable[0].reportFile.str(), report);
  EXPECT_EQ(SequenceTable[0].filterOn, 1);
  for (int s = 1; s < 3; ++s) {
    EXPECT_EQ(SequenceTable[s].reportOn, 0) << s;
    EXPECT_EQ(SequenceTable[s].filterOn, 0) << s;
  }
  // The page shows the held sequence: its LEDs are on.
  ASSERT_EQ(SequenceTable[CurrentSequence].id, held);
  int led = 0;
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_LOG, &led);
  EXPECT_EQ(led, 1);
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_FILTER, &led);
  EXPECT_EQ(led, 1);
}

// -------------------------------------- a renumbering load, then an import

// A project whose data sources and pulses clash is loaded with the Data
// Source Editor open; pulses whose sources clash by name with it are
// imported. Every data row modulates with the bits it had in its own file,
// the open editor shows each source's own fields, and a save and load keep
// it all.
TEST_F(IdentityCrossingsTest, RenumberingLoadThenImportWithClashingSourceNames) {
  Start();
  // Their project, saved through the program: sources "s" (1100) and "t"
  // (101), a BPSK pulse on "t".
  Choose(MBAR_PRJ_DSRC);
  AddSource("s", "1100");
  AddSource("t", "101");
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "theirs"), 1);
  ChooseModulation("BPSK");
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_TYPE, 1), 3);  // "User"
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 1);
  ASSERT_EQ(RowBits(0, 0), "101");
  Choose(MBAR_PULSE_SNEW);
  const cz::test::ParsedWave built = Generate(dir_.File("theirs.wv"));
  ASSERT_FALSE(built.i.empty());
  const std::string theirs = Projects() + "/theirs.prj";
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);

  // Our project, as a hand edit leaves it: two pulses with one ID, each on
  // a source of its own; sources named like theirs.
  const std::string ours = Projects() + "/ours.prj";
  ASSERT_TRUE(WriteFileBytes(
      ours,
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n"
      "<PULSE name=\"p\" id=\"4\"/>\r\n"
      "<PULSE name=\"q\" id=\"4\"/>\r\n</PULSE_DB>\r\n<SEQUENCE_DB>\r\n"
      "<SEQUENCE name=\"s\" id=\"1\"><Entry1 pid=\"4\" rep=\"1\"/></SEQUENCE>\r\n</SEQUENCE_DB>\r\n"
      "<DATASRC_DB>\r\n<DATASRC name=\"t\"><data>0000</data></DATASRC>\r\n"
      "<DATASRC name=\"s\"><data>1</data></DATASRC>\r\n</DATASRC_DB>\r\n</TV_CZ_DB>\r\n"));
  Choose(MBAR_PRJ_DSRC);
  ClickSource(0);
  UiTest_ClearPopups();
  UiTest_QueueFile(ours.c_str());
  UiTest_QueueConfirm(true);
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(UiTest_PendingAnswers(), 0);
  ASSERT_EQ(PulseCount, 2);
  ASSERT_NE(PulseTable[0].id, PulseTable[1].id);
  ASSERT_EQ(DataSourceCount, 2);
  EXPECT_EQ(Visible(DATAEDIT), 1);
  ClickSource(1);
  EXPECT_EQ(ShownSourceName(), "s");
  EXPECT_EQ(ShownSourceData(), "1");

  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 3);
  ASSERT_EQ(DataSourceCount, 3);
  EXPECT_EQ(RowBits(2, 0), "101");
  EXPECT_EQ(DataSourceTable[2].name.str(), "t-new");
  // The open editor lists the import; each item shows its own source.
  for (int k = 0; k < 3; ++k) {
    ClickSource(k);
    EXPECT_EQ(ShownSourceName(), DataSourceTable[k].name.str()) << k;
    EXPECT_EQ(ShownSourceData(), DataSourceTable[k].data.str()) << k;
  }
  // The imported pulse shown: its ring shows "t-new", the third source.
  ClickItem(kPulseLibraryTag, 2);
  ChooseModulation("BPSK");
  EXPECT_EQ(ActiveRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1)), 2);
  EXPECT_EQ(RowBits(2, 0), "101");
  // A sequence of the imported pulse builds the samples their project built.
  Choose(MBAR_PULSE_SNEW);
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 4);
  ASSERT_EQ(SequenceTable[SequenceCount - 1].entries[0].pulseId, static_cast<int32_t>(PulseTable[2].id));
  const cz::test::ParsedWave again = Generate(dir_.File("ours.wv"));
  EXPECT_TRUE(again.i == built.i && again.q == built.q);

  // The renumbered project saved: no question (nothing was lost); loaded
  // again, same bits, same IDs.
  UiTest_ClearPopups();
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  const uint32_t ids[] = {PulseTable[0].id, PulseTable[1].id, PulseTable[2].id};
  UiTest_QueueFile(ours.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(PulseCount, 3);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(PulseTable[k].id, ids[k]) << k;
  EXPECT_EQ(RowBits(2, 0), "101");
  EXPECT_EQ(SequenceTable[0].entries[0].pulseId, static_cast<int32_t>(ids[0]));
}

// -------------------------------------- an import under a plug-in pulse

// The Pulse Editor shows a pulse of one modulation plug-in while pulses of
// another plug-in are imported: the shown pulse's next edit stores its own
// parameters, and its sequence builds the same samples as before.
TEST_F(IdentityCrossingsTest, ImportUnderAPluginPulseKeepsItsParameters) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("Bendsweep");
  const std::string theirs = Projects() + "/bend.prj";
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);

  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("Roundtone");
  ASSERT_EQ(PulseTable[0].pluginName.str(), "Roundtone");
  Choose(MBAR_PULSE_SNEW);
  const cz::test::ParsedWave before = Generate(dir_.File("before.wv"));
  ClickItem(kPulseLibraryTag, 0);
  const int stored = PulseTable[0].modParams.LeadingCount();
  std::vector<std::string> names;
  for (int r = 0; r < ModParamRowCount(); ++r) names.push_back(ModulationParamTable[r].name.str());

  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 2);
  ASSERT_EQ(PulseTable[1].pluginName.str(), "Bendsweep");
  // An edit of the shown pulse's first parameter, then back.
  double value = 0.0;
  ASSERT_GE(GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(2, 1), &value), 0);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, 1), value * 2.0), 1);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, 1), value), 1);
  EXPECT_EQ(PulseTable[0].pluginName.str(), "Roundtone");
  EXPECT_EQ(PulseTable[0].modParams.LeadingCount(), stored);
  for (const std::string& name : names) EXPECT_GE(PulseTable[0].modParams.Find(name.c_str()), 0) << name;

  ClickItem(kSequenceLibraryTag, 0);
  const cz::test::ParsedWave after = Generate(dir_.File("after.wv"));
  EXPECT_TRUE(after.i == before.i && after.q == before.q);
  // The imported pulse shown: its own plug-in's rows.
  ClickItem(kPulseLibraryTag, 1);
  EXPECT_EQ(PulseTable[1].pluginName.str(), "Bendsweep");
}

// ------------------------------------------------ the tree's selection

// The pulse the editor shows stays the tree's active item through Import
// Pulses (with clashing names), a failed Save As and Hide Tree Entries,
// so that Move Down and Delete act on it.
TEST_F(IdentityCrossingsTest, TreeSelectionSurvivesImportAndAFailedSaveAs) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "alpha"), 1);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "beta"), 1);
  const std::string other = Projects() + "/other.prj";
  UiTest_QueueFile(other.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ClickItem(kPulseLibraryTag, 0);
  ASSERT_EQ(CurrentPulse, 0);
  const uint32_t alpha = PulseTable[0].id;

  UiTest_QueueFile(other.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 4);
  int active = -1;
  GetActiveTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, &active);
  EXPECT_EQ(active, Item(kPulseLibraryTag, 0));
  UiTest_ClearPopups();
  UiTest_QueueFile(dir_.File("no/such/folder/x.prj").c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_SAVEPRJAS);
  EXPECT_EQ(g_Settings.LastPrj.str(), other);
  Choose(MBAR_PRJ_HIDE);
  Choose(MBAR_PRJ_HIDE);
  GetActiveTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, &active);
  EXPECT_EQ(active, Item(kPulseLibraryTag, 0));

  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_DOWN);
  EXPECT_EQ(PulseTable[1].id, alpha);
  EXPECT_EQ(CurrentPulse, 1);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(PulseCount, 3);
  for (int k = 0; k < PulseCount; ++k) EXPECT_NE(PulseTable[k].id, alpha) << k;
}

// ------------------------------------------------ clashing IDs on load

// A record that clashes gets a fresh ID; a reference in the file to an ID
// that no record carries must not start naming the renumbered record: it
// is refused as before, and the multi-segment page shows each segment on
// its own sequence.
TEST_F(IdentityCrossingsTest, RenumberedRecordsDoNotTakeOverDanglingReferences) {
  Start();
  const std::string path = Projects() + "/dangling.prj";
  const std::string doc =
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n"
      "<PULSE name=\"a\" id=\"3\"/>\r\n<PULSE name=\"b\" id=\"3\"/>\r\n<PULSE name=\"c\"/>\r\n"
      "</PULSE_DB>\r\n<SEQUENCE_DB>\r\n"
      "<SEQUENCE name=\"s1\" id=\"2\"><Entry1 pid=\"3\" rep=\"1\"/><Entry2 pid=\"1\" rep=\"2\"/>"
      "<Entry3 pid=\"2\" rep=\"3\"/></SEQUENCE>\r\n"
      "<SEQUENCE name=\"s2\" id=\"2\"><Entry1 pid=\"3\" rep=\"4\"/></SEQUENCE>\r\n"
      "</SEQUENCE_DB>\r\n<MULTISEG_DB>\r\n"
      "<MSEG name=\"m\"><Entry1 sid=\"2\" stype=\"0\"/><Entry2 sid=\"1\" stype=\"0\"/></MSEG>\r\n"
      "</MULTISEG_DB>\r\n</TV_CZ_DB>\r\n";
  ASSERT_TRUE(WriteFileBytes(path, doc));
  UiTest_QueueFile(path.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(PulseCount, 3);
  ASSERT_EQ(SequenceCount, 2);
  // b and c take IDs that no reference of the file names.
  EXPECT_EQ(PulseTable[0].id, 3u);
  for (int k = 1; k < 3; ++k) {
    EXPECT_NE(PulseTable[k].id, 1u) << k;
    EXPECT_NE(PulseTable[k].id, 2u) << k;
  }
  EXPECT_NE(SequenceTable[1].id, 1u);
  // The entries naming no pulse of the file are refused; the one naming a
  // stays.
  const SequenceRecord& s1 = SequenceTable[0];
  ASSERT_EQ(s1.EntriesInUse(), 1);
  EXPECT_EQ(s1.entries[0].pulseId, 3);
  EXPECT_EQ(LastProjectRecordsLost, 2);
  // The second segment names no sequence of the file.
  const MultiSegmentRecord& m = MultiSegmentTable[0];
  EXPECT_EQ(m.segments[0].sequenceId, 2);
  EXPECT_NE(m.segments[1].type, SEGMENT_SEQUENCE);
  ClickItem(kMultiSegmentLibraryTag, 0);
  EXPECT_EQ(ActiveRingItem(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_SEQUENCE, 1)), 1);
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, Cell(MSW_COL_NO, 1), false), 0);
  EXPECT_EQ(m.segments[0].sequenceId, 2);
  EXPECT_NE(m.segments[1].type, SEGMENT_SEQUENCE);
  // The file lost entries: Save asks, and "no" keeps it.
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_SAVEPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(ReadFileBytes(path), doc);
}

// ------------------------------------------ a project that lost records

std::string LossyProject() {
  return "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n<PULSE name=\"\" id=\"1\"/>\r\n"
         "<PULSE name=\"kept\" id=\"2\"/>\r\n</PULSE_DB>\r\n</TV_CZ_DB>\r\n";
}

// Save As onto the file the project lost records of, named through a link
// or another spelling of its path, asks as Save As onto its own name does.
TEST_F(IdentityCrossingsTest, SaveAsOntoTheLossyFileByAnotherNameAsks) {
  const std::string path = Projects() + "/lossy.prj";
  ASSERT_TRUE(WriteFileBytes(path, LossyProject()));
  WriteSettings(path);
  SkipProjectLoad = 0;
  UiTest_QueueMessageOk();
  Start();
  ASSERT_GT(LastProjectRecordsLost, 0);
  const std::string link = dir_.File("link.prj");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  for (const std::string& other : {link, Projects() + "/./lossy.prj", Projects() + "/../Projects/lossy.prj"}) {
    UiTest_ClearPopups();
    UiTest_QueueFile(other.c_str());
    UiTest_QueueConfirm(false);
    Choose(MBAR_FILE_SAVEPRJAS);
    ASSERT_EQ(UiTest_Popups().size(), 2u) << other;
    EXPECT_EQ(UiTest_Popups()[1].kind, "confirm") << other;
    EXPECT_EQ(ReadFileBytes(path), LossyProject()) << other;
    EXPECT_EQ(g_Settings.LastPrj.str(), path);
    EXPECT_EQ(UiTest_PendingAnswers(), 0);
    UiTest_ClearPopups();
  }
  // A Save As that fails leaves the question in place for the next Save.
  UiTest_QueueFile(dir_.File("no/such/folder/x.prj").c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_SAVEPRJAS);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_SAVEPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].kind, "confirm");
  EXPECT_EQ(ReadFileBytes(path), LossyProject());
  // Another file is written without a question; the lossy one stays.
  const std::string fresh = Projects() + "/fresh.prj";
  UiTest_QueueFile(fresh.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  EXPECT_TRUE(FileExists(fresh));
  EXPECT_EQ(ReadFileBytes(path), LossyProject());
}

// "No" to "Save anyway ?" at Exit with save-on-exit keeps the file and
// still lets the user leave: a second question asks whether to exit
// without saving; "no" keeps the program, "yes" ends it, the file intact.
TEST_F(IdentityCrossingsTest, NoToSaveAnywayAtExitStillLetsTheUserLeave) {
  const std::string path = Projects() + "/lossy.prj";
  ASSERT_TRUE(WriteFileBytes(path, LossyProject()));
  WriteSettings(path, true);
  SkipProjectLoad = 0;
  UiTest_QueueMessageOk();
  Start();
  ASSERT_EQ(g_Settings.SavePrjOnExit, 1);
  ASSERT_EQ(PulseCount, 1);

  UiTest_QueueConfirm(false);
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_EXIT);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_NE(UiTest_Popups()[0].text.find("Save anyway ?"), std::string::npos);
  EXPECT_EQ(UiTest_Popups()[1].kind, "confirm");
  EXPECT_NE(UiTest_Popups()[1].text.find("exit"), std::string::npos) << UiTest_Popups()[1].text;
  EXPECT_EQ(PulseCount, 1) << "the program goes on";
  EXPECT_EQ(ReadFileBytes(path), LossyProject());

  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_EXIT);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(PulseCount, 0) << "the program ended";
  EXPECT_EQ(ReadFileBytes(path), LossyProject());
}

// A start-up whose last project failed to load, then work done, then Exit
// with save-on-exit: the work is not dropped without a word. Exit asks
// before writing over the file; "no" then asks whether to leave without a
// save. Untouched, the program ends without a question and the file stays.
TEST_F(IdentityCrossingsTest, ExitAfterAFailedStartUpLoadDoesNotDropTheWorkSilently) {
  const std::string path = Projects() + "/broken.prj";
  const std::string bytes = "<?xml version=\"1.0\"?>\n<TV_CZ_DB><PULSE_DB><PULSE id=\"1\"";
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  WriteSettings(path, true);
  SkipProjectLoad = 0;
  Start();
  ASSERT_EQ(LastProjectLoadFailed, 1);
  // Untouched: Exit ends the program; the file is kept.
  Choose(MBAR_FILE_EXIT);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(ReadFileBytes(path), bytes);
  TearDownApplication();

  Start();
  ASSERT_EQ(LastProjectLoadFailed, 1);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "work"), 1);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_EXIT);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_NE(UiTest_Popups()[0].text.find("could not be loaded"), std::string::npos) << UiTest_Popups()[0].text;
  ASSERT_EQ(PulseCount, 1) << "the program goes on with the work";
  EXPECT_EQ(ReadFileBytes(path), bytes);
  // "Yes" to the save: the work is in the file and the program ends.
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_EXIT);
  EXPECT_EQ(PulseCount, 0);
  EXPECT_NE(ReadFileBytes(path).find("name=\"work\""), std::string::npos);
}

// ------------------------------------------------- two pulses of one name

// Copy twice leaves two pulses of one name (as an import under a name the
// project has does). Editing the second one's comment or fields is not an
// attempt to rename it: no "unique name" error, and the edit is stored. A
// rename onto the other's name is still refused.
TEST_F(IdentityCrossingsTest, EditsOfOneOfTwoPulsesOfOneNameAreNotRefused) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  ClickItem(kPulseLibraryTag, 0);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(PulseCount, 3);
  ASSERT_EQ(PulseTable[1].name, PulseTable[2].name);
  ClickItem(kPulseLibraryTag, 2);
  ASSERT_EQ(CurrentPulse, 2);
  UiTest_ClearPopups();
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_COMMENT, "second copy"), 1);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(PulseTable[2].comment.str(), "second copy");
  EXPECT_EQ(PulseTable[1].comment.str(), PulseTable[0].comment.str());

  // Renamed, then renamed back onto the other copy's name: refused.
  const std::string shared = PulseTable[1].name.str();
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "own"), 1);
  EXPECT_EQ(PulseTable[2].name.str(), "own");
  UiTest_QueueMessageOk();
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, shared.c_str()), 1);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "The Pulse Name Should Be Unique.\nSetting Back to Previous Name.");
  EXPECT_EQ(PulseTable[2].name.str(), "own");
}

// ------------------------------------------- dialogs open during an edit

// The Report and Baseband Filter dialogs are open on the shown sequence
// with choices not yet accepted; the user edits the sequence's table (a
// repetition count, a new entry). Accept then stores what the dialogs
// show: the edit of the table did not put the record's old values back
// into them.
TEST_F(IdentityCrossingsTest, TableEditsLeaveTheOpenDialogsChoicesAlone) {
  Start();
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  const std::string report = dir_.File("typed.txt");
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, report.c_str()), 1);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
  ASSERT_EQ(UiTest_EnterValue(FILTER, FILTER_CMD_BBFILTER, 1), 1);

  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "3"), 1);
  ASSERT_GE(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 2), false), 0);
  ASSERT_EQ(SequenceTable[0].entries[0].repetitions, 3);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_NEW);
  ASSERT_EQ(Visible(DATALOG), 1);
  ASSERT_EQ(Visible(FILTER), 1);

  Click(DATALOG, DATALOG_CMD_ACCEPT);
  Click(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(SequenceTable[0].reportOn, 1);
  EXPECT_EQ(SequenceTable[0].reportFile.str(), report);
  EXPECT_EQ(SequenceTable[0].filterOn, 1);
  EXPECT_EQ(SequenceTable[0].entries[0].repetitions, 3);

  // Another sequence shown: the dialogs show (and hold) that one.
  Choose(MBAR_PULSE_SNEW);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
  int on = -1;
  GetCtrlVal(FILTER, FILTER_CMD_BBFILTER, &on);
  EXPECT_EQ(on, 0);
  ClickItem(kSequenceLibraryTag, 0);
  GetCtrlVal(FILTER, FILTER_CMD_BBFILTER, &on);
  EXPECT_EQ(on, 1);
}

}  // namespace
