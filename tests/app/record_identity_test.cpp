// Records keep their identity across the program, offscreen through the
// real callbacks: a ring or table ring that lists records by name stores
// the record at the chosen position, also where two records share a name
// (Copy twice, an import under a name the project already has), and the
// choice survives a save and a load.
#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DataSource.h"
#include "app/Keywords.h"
#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/ProjectFile.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "editors/DataSourceEditor.h"
#include "editors/BasebandFilter.h"
#include "editors/ModDataTable.h"
#include "editors/MultiSegmentEditor.h"
#include "editors/PulseEditor.h"
#include "editors/ReportDialog.h"
#include "editors/SequenceFilter.h"
#include "editors/SequenceTable.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/StartupHome.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/pulse/TimingPanel.h"

namespace {

class RecordIdentityTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  std::string PluginFolder() const override { return cz::test::BuildDir() + "/Plugins"; }
  void SetUp() override {
    StartupHomeTest::SetUp();
    ASSERT_EQ(InitApplication(), 1);
    UiTest_ClearPopups();
    Choose(MBAR_FILE_NEWPRJ);
  }

  // Copies the k-th record under the library root tagged tag.
  static void CopyLibraryItem(const char* tag, int k) {
    ClickLibraryItem(tag, k);
    Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  }
  // Opens the ring of a table cell with a click and picks its item-th entry.
  static void ChooseCellItem(int panel, int table, Point cell, int item) {
    ASSERT_GE(UiTest_ClickTableCell(panel, table, cell, false), 0);
    ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel, table, cell, item), 1);
  }
  static int Visible(int panel) {
    int visible = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
    return visible;
  }
  // Opens the Report dialog (Text, a report file) and the Baseband Filter
  // dialog (filter on) of the shown sequence without accepting either.
  void OpenAndEditSequenceDialogs(const std::string& report) {
    Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
    ASSERT_EQ(Visible(DATALOG), 1);
    ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
    ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, report.c_str()), 1);
    Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
    ASSERT_EQ(Visible(FILTER), 1);
    ASSERT_EQ(UiTest_EnterValue(FILTER, FILTER_CMD_BBFILTER, 1), 1);
  }
  // A stray Accept on each dialog, as a user's click would raise it.
  static void AcceptBoth() {
    ReportAcceptCb(DATALOG, DATALOG_CMD_ACCEPT, EVENT_COMMIT, nullptr, 0, 0);
    FilterAcceptCb(FILTER, FILTER_CMD_ACCEPT, EVENT_COMMIT, nullptr, 0, 0);
  }
  // The Data Source Editor: a click on its k-th source, a new name for the
  // shown source, and the name field.
  static void ClickSource(int k) {
    ASSERT_EQ(UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, k + 1, false), 1);
  }
  static void RenameShownSource(const char* name) {
    ASSERT_EQ(UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_NAME, name), 1);
  }
  static std::string ShownSourceName() {
    char name[256] = "";
    GetCtrlVal(DATAEDIT, DATAEDIT_STR_NAME, name, sizeof name);
    return name;
  }
  // Adds a data source in the open Data Source Editor.
  void AddSource(const char* name, const char* bits) {
    Click(DATAEDIT, DATAEDIT_CMD_ADD);
    ClickSource(DataSourceCount - 1);
    RenameShownSource(name);
    ASSERT_EQ(UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_DATA, bits), 1);
  }
  std::string LogText() const {
    std::vector<char> text(1 << 20, '\0');
    GetCtrlVal(TAB_LOG, TAB_LOG_TEX_LOG, text.data(), static_cast<int>(text.size()));
    return text.data();
  }
  static int ActiveRingItem(int panel, int table, Point cell) {
    int item = -1;
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    return item;
  }
  void SaveAndReload(const std::string& name) {
    const std::string project = dir_.File(name);
    UiTest_QueueFile(project.c_str());
    Choose(MBAR_FILE_SAVEPRJAS);
    UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_NEWPRJ);
    ASSERT_EQ(PulseCount, 0);
    UiTest_QueueFile(project.c_str());
    UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_LOADPRJ);
  }
};

TEST_F(RecordIdentityTest, MultiSegmentRingStoresTheChosenOfTwoCopiedSequences) {
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 1);
  const std::string name = SequenceTable[0].name.str();
  CopyLibraryItem(kSequenceLibraryTag, 0);
  CopyLibraryItem(kSequenceLibraryTag, 0);
  ASSERT_EQ(SequenceCount, 3);
  ASSERT_EQ(SequenceTable[1].name, SequenceTable[2].name);
  ASSERT_NE(SequenceTable[1].id, SequenceTable[2].id);
  // The second copy gets a different length, so that a build tells them apart.
  SequenceTable[2].entries[0].repetitions = 5;

  Choose(MBAR_PULSE_SEGNEW);
  ASSERT_EQ(MultiSegmentCount, 1);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  MultiSegmentRecord& ms = MultiSegmentTable[0];
  ASSERT_EQ(ms.SegmentsInUse(), 2);
  // Ring items: the blank filler, then the sequences in library order. The
  // choice is taken over when the next cell is clicked.
  const int table = TAB_MSEG_TABLE_SETTINGS;
  ChooseCellItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1), 3);
  ChooseCellItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 2), 2);
  EXPECT_EQ(ms.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[2].id));
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false), 0);
  EXPECT_EQ(ms.segments[1].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  // Opened again, each ring shows its own sequence, not the first of the name.
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1), false), 0);
  EXPECT_EQ(ActiveRingItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1)), 3);
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false), 0);
  EXPECT_EQ(ms.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[2].id));
  // The blank filler is still chosen by its item.
  ChooseCellItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1), 0);
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false), 0);
  EXPECT_EQ(ms.segments[0].type, SEGMENT_BLANK);
  ChooseCellItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1), 3);
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false), 0);
  EXPECT_EQ(ms.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[2].id));

  const uint32_t second = SequenceTable[2].id, first = SequenceTable[1].id;
  SaveAndReload("mseg.prj");
  ASSERT_EQ(MultiSegmentCount, 1);
  ASSERT_EQ(SequenceCount, 3);
  EXPECT_EQ(MultiSegmentTable[0].segments[0].sequenceId, static_cast<int32_t>(second));
  EXPECT_EQ(MultiSegmentTable[0].segments[1].sequenceId, static_cast<int32_t>(first));
  EXPECT_EQ(SequenceTable[FindSequenceById(second)].entries[0].repetitions, 5);
}

TEST_F(RecordIdentityTest, SequenceEntryRingStoresTheChosenOfTwoPulsesOfOneName) {
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(PulseCount, 1);
  CopyLibraryItem(kPulseLibraryTag, 0);
  CopyLibraryItem(kPulseLibraryTag, 0);
  ASSERT_EQ(PulseCount, 3);
  ASSERT_EQ(PulseTable[1].name, PulseTable[2].name);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 1);
  SequenceRecord& seq = SequenceTable[0];
  // Ring items: the two fillers, then the pulses in library order.
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 4);
  EXPECT_EQ(seq.entries[0].pulseId, static_cast<int32_t>(PulseTable[2].id));
  ASSERT_GE(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), false), 0);
  ASSERT_GE(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), false), 0);
  EXPECT_EQ(ActiveRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1)), 4);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 3), 1);
  EXPECT_EQ(seq.entries[0].pulseId, static_cast<int32_t>(PulseTable[1].id));
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 4);

  // A pulse imported under a name the project already has: a project file
  // of its own whose single pulse is named like the first pulse.
  const std::string original = PulseTable[0].name.str();
  const uint32_t copyId = PulseTable[2].id;
  const std::string other = dir_.File("other.prj");
  UiTest_QueueFile(other.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_EQ(PulseCount, 3);
  UiTest_QueueFile(other.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 6);
  EXPECT_EQ(PulseTable[3].name.str(), original);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 5);
  EXPECT_EQ(seq.entries[0].pulseId, static_cast<int32_t>(PulseTable[3].id));
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 4);
  EXPECT_EQ(seq.entries[0].pulseId, static_cast<int32_t>(copyId));
  // A filler is still chosen by its item.
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 1);
  EXPECT_TRUE(seq.entries[0].IsFiller());
  ChooseCellItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_OBJECT, 1), 4);

  SaveAndReload("entries.prj");
  ASSERT_EQ(SequenceCount, 1);
  EXPECT_EQ(SequenceTable[0].entries[0].pulseId, static_cast<int32_t>(copyId));
}

TEST_F(RecordIdentityTest, DataRowRingStoresTheChosenOfTwoSourcesOfOneName) {
  Choose(MBAR_PRJ_DSRC);
  Click(DATAEDIT, DATAEDIT_CMD_ADD);
  Click(DATAEDIT, DATAEDIT_CMD_ADD);
  ASSERT_EQ(DataSourceCount, 2);
  DataSourceTable[0].name = "same";
  DataSourceTable[0].data = "1010";
  DataSourceTable[1].name = "same";
  DataSourceTable[1].data = "1110001";
  Click(DATAEDIT, DATAEDIT_CMD_EXIT);

  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("BPSK");
  PulseRecord& pulse = PulseTable[0];
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_TYPE, 1), 3);  // "User"
  ASSERT_EQ(pulse.dataRows[0].kind, DSRC_USER);
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 1);
  EXPECT_EQ(pulse.dataRows[0].source, static_cast<int>(DataSourceTable[1].id));
  EXPECT_EQ(pulse.dataRows[0].bits, 7);
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_BITS, 1), false), 0);
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), false), 0);
  EXPECT_EQ(ActiveRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1)), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 0), 1);
  EXPECT_EQ(pulse.dataRows[0].source, static_cast<int>(DataSourceTable[0].id));
  EXPECT_EQ(pulse.dataRows[0].bits, 4);
  // The drop-down closed with the choice: the cell is clicked again.
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 1);

  SaveAndReload("sources.prj");
  ASSERT_EQ(PulseCount, 1);
  ASSERT_EQ(DataSourceCount, 2);
  const int slot = DataSourceIndexById(static_cast<uint32_t>(PulseTable[0].dataRows[0].source));
  ASSERT_GE(slot, 0);
  EXPECT_EQ(DataSourceTable[slot].data.str(), "1110001");
  EXPECT_EQ(PulseTable[0].dataRows[0].bits, 7);
}

TEST_F(RecordIdentityTest, ReportAndFilterDialogsFollowTheProject) {
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 2);
  const std::string project = dir_.File("two.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);

  // Load Project with both dialogs open on the second sequence: they close,
  // and nothing of the old project's dialogs reaches the loaded project.
  ClickLibraryItem(kSequenceLibraryTag, 1);
  ASSERT_EQ(CurrentSequence, 1);
  OpenAndEditSequenceDialogs(dir_.File("old.txt"));
  UiTest_QueueFile(project.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_EQ(Visible(DATALOG), 0);
  EXPECT_EQ(Visible(FILTER), 0);
  AcceptBoth();
  for (int s = 0; s < SequenceCount; ++s) {
    EXPECT_EQ(SequenceTable[s].reportOn, 0) << s;
    EXPECT_EQ(SequenceTable[s].filterOn, 0) << s;
  }

  // Opened again they hold the sequence now shown; Accept writes into it.
  ClickLibraryItem(kSequenceLibraryTag, 1);
  OpenAndEditSequenceDialogs(dir_.File("new.txt"));
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  Click(FILTER, FILTER_CMD_ACCEPT);
  EXPECT_EQ(SequenceTable[1].reportOn, 1);
  EXPECT_EQ(SequenceTable[1].reportFile.str(), dir_.File("new.txt"));
  EXPECT_EQ(SequenceTable[1].filterOn, 1);
  EXPECT_EQ(SequenceTable[0].reportOn, 0);
  EXPECT_EQ(SequenceTable[0].filterOn, 0);

  // Clicking another sequence brings open dialogs up to date with it.
  OpenAndEditSequenceDialogs(dir_.File("other.txt"));
  ClickLibraryItem(kSequenceLibraryTag, 0);
  ASSERT_EQ(CurrentSequence, 0);
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  EXPECT_EQ(SequenceTable[0].reportOn, 0);
  EXPECT_EQ(SequenceTable[1].reportFile.str(), dir_.File("new.txt"));

  // Import Pulses and New Project close them too.
  OpenAndEditSequenceDialogs(dir_.File("import.txt"));
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  EXPECT_EQ(Visible(DATALOG), 0);
  EXPECT_EQ(Visible(FILTER), 0);
  AcceptBoth();
  EXPECT_EQ(SequenceTable[0].reportOn, 0);
  EXPECT_EQ(SequenceTable[0].filterOn, 0);

  // Deleting the shown sequence closes them; a stray Accept writes nowhere.
  ClickLibraryItem(kSequenceLibraryTag, 0);
  OpenAndEditSequenceDialogs(dir_.File("gone.txt"));
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(SequenceCount, 1);
  EXPECT_EQ(Visible(DATALOG), 0);
  EXPECT_EQ(Visible(FILTER), 0);
  AcceptBoth();
  EXPECT_EQ(SequenceTable[0].reportFile.str(), dir_.File("new.txt"));
  // The last one as well.
  OpenAndEditSequenceDialogs(dir_.File("last.txt"));
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(SequenceCount, 0);
  EXPECT_EQ(Visible(DATALOG), 0);
  EXPECT_EQ(Visible(FILTER), 0);

  ClickLibraryItem(kPulseLibraryTag, 0);
  Choose(MBAR_PULSE_SNEW);
  OpenAndEditSequenceDialogs(dir_.File("fresh.txt"));
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  EXPECT_EQ(Visible(DATALOG), 0);
  EXPECT_EQ(Visible(FILTER), 0);
}

TEST_F(RecordIdentityTest, DataSourceEditorStaysRightAfterASaveThatRenumbers) {
  Choose(MBAR_PRJ_DSRC);
  Click(DATAEDIT, DATAEDIT_CMD_ADD);
  Click(DATAEDIT, DATAEDIT_CMD_ADD);
  ASSERT_EQ(DataSourceCount, 2);
  ClickSource(0);
  RenameShownSource("A");
  ClickSource(1);
  RenameShownSource("B");
  ASSERT_EQ(DataSourceTable[1].name.str(), "B");
  const uint32_t idB = DataSourceTable[1].id;
  // A pulse uses B.
  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("BPSK");
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_TYPE, 1), 3);  // "User"
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 1);
  ASSERT_EQ(PulseTable[0].dataRows[0].source, static_cast<int>(idB));

  // B up, then Save As with the editor open: the save renumbers the IDs.
  Choose(MBAR_PRJ_DSRC);
  ClickSource(1);
  Click(DATAEDIT, DATAEDIT_CMD_SENTRY_UP);
  ASSERT_EQ(DataSourceTable[0].name.str(), "B");
  UiTest_QueueFile(dir_.File("renumbered.prj").c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_EQ(DataSourceTable[0].id, 1u);
  EXPECT_EQ(PulseTable[0].dataRows[0].source, 1);

  // "B" shows B's fields, and Delete is refused: a pulse uses it.
  ClickSource(0);
  EXPECT_EQ(ShownSourceName(), "B");
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  Click(DATAEDIT, DATAEDIT_CMD_DEL);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_NE(UiTest_Popups().front().text.find("This data source is used in pulses:"), std::string::npos);
  ASSERT_EQ(DataSourceCount, 2);
  // An edit of "A" goes into A.
  ClickSource(1);
  EXPECT_EQ(ShownSourceName(), "A");
  RenameShownSource("A2");
  EXPECT_EQ(DataSourceTable[0].name.str(), "B");
  EXPECT_EQ(DataSourceTable[1].name.str(), "A2");
  // Delete of the unused "A2" removes A2 and nothing else.
  ClickSource(1);
  UiTest_QueueConfirm(true);
  Click(DATAEDIT, DATAEDIT_CMD_DEL);
  ASSERT_EQ(DataSourceCount, 1);
  EXPECT_EQ(DataSourceTable[0].name.str(), "B");
  EXPECT_EQ(PulseTable[0].dataRows[0].source, static_cast<int>(DataSourceTable[0].id));
}

// A save that renumbers the sources while the editor shows one: what the
// user types next, without another click, still goes into the source
// shown, and the tree names it so.
TEST_F(RecordIdentityTest, DataSourceEditsAfterASaveThatRenumbersReachTheSourceShown) {
  Choose(MBAR_PRJ_DSRC);
  AddSource("gone", "1");
  AddSource("kept", "10");
  AddSource("shown", "110");
  ClickSource(0);
  UiTest_QueueConfirm(true);
  Click(DATAEDIT, DATAEDIT_CMD_DEL);
  ASSERT_EQ(DataSourceCount, 2);
  ClickSource(1);
  ASSERT_EQ(ShownSourceName(), "shown");
  const uint32_t before = DataSourceTable[1].id;
  UiTest_QueueFile(dir_.File("renumbered.prj").c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_NE(DataSourceTable[1].id, before) << "the save gave the sources new IDs";
  EXPECT_EQ(ShownSourceName(), "shown");

  RenameShownSource("renamed");
  ASSERT_EQ(UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_DATA, "1111"), 1);
  EXPECT_EQ(DataSourceTable[1].name.str(), "renamed");
  EXPECT_EQ(DataSourceTable[1].data.str(), "1111");
  EXPECT_EQ(DataSourceTable[0].name.str(), "kept");
  EXPECT_EQ(DataSourceTable[0].data.str(), "10");
  int active = -1;
  char label[64] = "";
  GetActiveTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, &active);
  GetLabelFromIndex(DATAEDIT, DATAEDIT_TREE_DATA, active, label, sizeof label);
  EXPECT_STREQ(label, "renamed");
}

TEST_F(RecordIdentityTest, ImportPulsesBringsTheDataSourcesItsPulsesUse) {
  // Their project: sources "unused" and "theirs", a BPSK pulse on "theirs".
  Choose(MBAR_PRJ_DSRC);
  AddSource("unused", "1");
  AddSource("theirs", "1111000011110000");
  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("BPSK");
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_TYPE, 1), 3);  // "User"
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 1);
  ASSERT_EQ(PulseTable[0].dataRows[0].source, static_cast<int>(DataSourceTable[1].id));
  ASSERT_EQ(PulseTable[0].dataRows[0].bits, 16);
  const std::string theirs = dir_.File("theirs.prj");
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);

  // Our project has a source of its own and one named "theirs" too.
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  ASSERT_EQ(DataSourceCount, 0);
  Choose(MBAR_PRJ_DSRC);
  AddSource("mine", "1010");
  AddSource("theirs", "0");
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 1);
  // Only the source the pulse uses came along, renamed on the clash.
  ASSERT_EQ(DataSourceCount, 3);
  const DataSourceRecord& added = DataSourceTable[2];
  EXPECT_EQ(added.name.str(), "theirs-new");
  EXPECT_EQ(added.data.str(), "1111000011110000");
  EXPECT_EQ(DataSourceTable[0].name.str(), "mine");
  EXPECT_EQ(DataSourceTable[1].data.str(), "0");
  EXPECT_EQ(PulseTable[0].dataRows[0].kind, DSRC_USER);
  EXPECT_EQ(PulseTable[0].dataRows[0].source, static_cast<int>(added.id));
  EXPECT_NE(LogText().find("theirs-new"), std::string::npos) << LogText();
  // The open editor lists it.
  ClickSource(2);
  EXPECT_EQ(ShownSourceName(), "theirs-new");

  // A second import adds its own copy again under the next free name.
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 2);
  ASSERT_EQ(DataSourceCount, 4);
  EXPECT_EQ(DataSourceTable[3].name.str(), "theirs-new2");
  EXPECT_EQ(PulseTable[1].dataRows[0].source, static_cast<int>(DataSourceTable[3].id));
  EXPECT_EQ(PulseTable[0].dataRows[0].source, static_cast<int>(added.id));

  // Saved and loaded, the pulses still modulate with the file's bits.
  SaveAndReload("imported.prj");
  ASSERT_EQ(PulseCount, 2);
  for (int p = 0; p < 2; ++p) {
    const int slot = DataSourceIndexById(static_cast<uint32_t>(PulseTable[p].dataRows[0].source));
    ASSERT_GE(slot, 0) << p;
    EXPECT_EQ(DataSourceTable[slot].data.str(), "1111000011110000") << p;
  }
}

TEST_F(RecordIdentityTest, ImportPulsesLeavesTheShownPulsesParameterTableAlone) {
  // Their project: a pulse of the plug-in "Bendsweep".
  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("Bendsweep");
  ASSERT_EQ(PulseTable[0].modulation, kModulationPlugin);
  const std::string theirs = dir_.File("plugin.prj");
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);

  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("FM chirp");
  const PulseRecord& chirp = PulseTable[0];
  ASSERT_EQ(chirp.modulation, MOD_FMCHIRP);
  const int rows = ModParamRowCount();
  ASSERT_GT(rows, 0);
  std::vector<std::string> names;
  for (int r = 0; r < rows; ++r) names.push_back(ModulationParamTable[r].name.str());
  const int stored = chirp.modParams.LeadingCount();

  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 2);
  EXPECT_EQ(PulseTable[1].pluginName.str(), "Bendsweep");
  ASSERT_EQ(ModParamRowCount(), rows);
  for (int r = 0; r < rows; ++r) EXPECT_EQ(ModulationParamTable[r].name.str(), names[r]) << r;

  // The next edit of the shown pulse's table stores the chirp's own rows.
  double value = 0.0;
  ASSERT_GE(GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(2, 1), &value), 0);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, 1), value * 2.0), 1);
  EXPECT_EQ(chirp.modParams.LeadingCount(), stored);
  for (const std::string& name : names) EXPECT_GE(chirp.modParams.Find(name.c_str()), 0) << name;
  EXPECT_EQ(PulseTable[1].pluginName.str(), "Bendsweep");
}

// An editor never outlives the record it shows: after its record is
// deleted its page leaves the front with its tab (the Log page comes
// forward) and a value typed into it anyway reaches no other record; the
// Sequence Editor shows the sequence that took the place, and an edit goes
// to that one. The same after a project is loaded over the shown records.
TEST_F(RecordIdentityTest, AnEditorGoesWithTheRecordItShowed) {
  const auto front = [] {
    int index = -1;
    GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &index);
    return index;
  };
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_PNEW);
  ClickLibraryItem(kPulseLibraryTag, 1);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 7.0), 1);
  ASSERT_DOUBLE_EQ(PulseTable[1].onTime, 7e-6);
  const std::string second = PulseTable[1].name.str();
  const double rise = PulseTable[1].riseTime;
  ClickLibraryItem(kPulseLibraryTag, 0);
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(PulseCount, 1);
  EXPECT_EQ(front(), MainTabIndex(PAGE_LOG));
  EXPECT_EQ(CurrentPulse, -1);
  UiTest_EnterValue(P_TIM, P_TIM_NUM_RISE, 2.0);
  EXPECT_EQ(PulseTable[0].name.str(), second);
  EXPECT_DOUBLE_EQ(PulseTable[0].onTime, 7e-6);
  EXPECT_DOUBLE_EQ(PulseTable[0].riseTime, rise);

  // A multi-segment waveform and an RF list, each the first of two.
  Choose(MBAR_PULSE_SEGNEW);
  Choose(MBAR_PULSE_SEGNEW);
  Choose(MBAR_PULSE_RFLISTNEW);
  Choose(MBAR_PULSE_RFLISTNEW);
  const std::string msKept = MultiSegmentTable[1].name.str(), rfKept = RfListTable[1].name.str();
  const struct {
    const char* tag;
    int panel, name;
  } lists[] = {{kMultiSegmentLibraryTag, TAB_MSEG, TAB_MSEG_STR_NAME}, {kRfListLibraryTag, TAB_RFLIST, TAB_RFLIST_STR_NAME}};
  for (const auto& l : lists) {
    ClickLibraryItem(l.tag, 0);
    UiTest_QueueConfirm(true);
    Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
    EXPECT_EQ(front(), MainTabIndex(PAGE_LOG)) << l.tag;
    UiTest_EnterValue(l.panel, l.name, "typed");
  }
  ASSERT_EQ(MultiSegmentCount, 1);
  ASSERT_EQ(RfListCount, 1);
  EXPECT_EQ(MultiSegmentTable[0].name.str(), msKept);
  EXPECT_EQ(RfListTable[0].name.str(), rfKept);
  EXPECT_EQ(CurrentMultiSegment, -1);
  EXPECT_EQ(CurrentRfList, -1);

  // The sequence that takes the deleted one's place is the one shown.
  Choose(MBAR_PULSE_SNEW);
  Choose(MBAR_PULSE_SNEW);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(SequenceCount, 1);
  EXPECT_EQ(Text(TAB_SEDIT, TAB_SEDIT_STR_NAME), SequenceTable[0].name.str());
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_COMMENT, "kept"), 1);
  EXPECT_EQ(SequenceTable[0].comment.str(), "kept");

  // A loaded project puts its own records where the shown ones were.
  ClickLibraryItem(kPulseLibraryTag, 0);
  SaveAndReload("replaced.prj");
  ASSERT_EQ(PulseCount, 1);
  EXPECT_EQ(front(), MainTabIndex(PAGE_LOG));
  UiTest_EnterValue(P_TIM, P_TIM_NUM_RISE, 3.0);
  EXPECT_DOUBLE_EQ(PulseTable[0].riseTime, rise);
  EXPECT_DOUBLE_EQ(PulseTable[0].onTime, 7e-6);
}

// A seeded random user: new, copy, delete (yes and no), move, clicks and
// keys in the library tree and the Data Source Editor, names typed at and
// beyond their limits, values typed into the front editor, save and load.
// After every step the front editor shows its current record (the name
// field holds the record's name) and the tree's highlight on a record of
// that kind is that record; a typed value changes no record but the one
// shown; the Data Source Editor shows the source it writes.
TEST_F(RecordIdentityTest, ARandomUserSeesTheRecordEveryEditWrites) {
  // A popup with no scripted answer answers "No" (or just closes).
  struct Unanswered {
    Unanswered() { UiTest_SetUnansweredPopupHandler([](const char*, const char*, const char*) {}); }
    ~Unanswered() { UiTest_SetUnansweredPopupHandler(nullptr); }
  } unanswered;
  const int tree = PANEL_MAIN_TREE_PULSES;
  const auto front = [] {
    int index = -1;
    GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &index);
    for (int page = 0; page < kMainTabPages; ++page)
      if (MainTabIndex(page) == index) return page;
    return -1;
  };
  // Every record's editable values, by kind and ID.
  const auto snapshot = [] {
    std::map<std::string, std::string> all;
    for (int i = 0; i < PulseCount; ++i)
      all["p" + std::to_string(PulseTable[i].id)] = PulseTable[i].name.str() + "|" + PulseTable[i].comment.str() +
                                                     "|" + std::to_string(PulseTable[i].riseTime) + "|" +
                                                     std::to_string(PulseTable[i].onTime);
    for (int i = 0; i < SequenceCount; ++i)
      all["s" + std::to_string(SequenceTable[i].id)] =
          SequenceTable[i].name.str() + "|" + SequenceTable[i].comment.str() + "|" + std::to_string(SequenceTable[i].clock);
    for (int i = 0; i < MultiSegmentCount; ++i)
      all["m" + std::to_string(MultiSegmentTable[i].id)] =
          MultiSegmentTable[i].name.str() + "|" + MultiSegmentTable[i].comment.str();
    for (int i = 0; i < RfListCount; ++i)
      all["r" + std::to_string(RfListTable[i].id)] = RfListTable[i].name.str() + "|" + RfListTable[i].comment.str() +
                                                      "|" + std::to_string(RfListTable[i].dwell);
    for (int i = 0; i < DataSourceCount; ++i)
      all["d" + std::to_string(DataSourceTable[i].id)] =
          DataSourceTable[i].name.str() + "|" + DataSourceTable[i].comment.str();
    return all;
  };
  // The front editor: its name field, and the key and ID of its current record.
  struct Editor {
    int page, panel, name, comment, number;
    char kind;
  };
  const Editor editors[] = {
      {PAGE_PULSE_EDITOR, TAB_PEDIT, TAB_PEDIT_STR_NAME, TAB_PEDIT_STR_COMMENT, 0, 'p'},
      {PAGE_SEQUENCE_EDITOR, TAB_SEDIT, TAB_SEDIT_STR_NAME, TAB_SEDIT_STR_COMMENT, TAB_SEDIT_NUM_ARBCLK, 's'},
      {PAGE_MULTI_SEGMENT, TAB_MSEG, TAB_MSEG_STR_NAME, TAB_MSEG_STR_COMMENT, 0, 'm'},
      {PAGE_RF_LIST, TAB_RFLIST, TAB_RFLIST_STR_NAME, TAB_RFLIST_STR_COMMENT, TAB_RFLIST_NUM_DWELL, 'r'},
  };
  const auto frontEditor = [&]() -> const Editor* {
    for (const Editor& e : editors)
      if (e.page == front()) return &e;
    return nullptr;
  };
  // The current record of the editor's kind: its ID and name, or 0.
  const auto current = [](char kind, std::string* name) -> uint32_t {
    switch (kind) {
      case 'p': if (CurrentPulse < 0 || CurrentPulse >= PulseCount) return 0;
        *name = PulseTable[CurrentPulse].name.str(); return PulseTable[CurrentPulse].id;
      case 's': if (CurrentSequence < 0 || CurrentSequence >= SequenceCount) return 0;
        *name = SequenceTable[CurrentSequence].name.str(); return SequenceTable[CurrentSequence].id;
      case 'm': if (CurrentMultiSegment < 0 || CurrentMultiSegment >= MultiSegmentCount) return 0;
        *name = MultiSegmentTable[CurrentMultiSegment].name.str(); return MultiSegmentTable[CurrentMultiSegment].id;
      default: if (CurrentRfList < 0 || CurrentRfList >= RfListCount) return 0;
        *name = RfListTable[CurrentRfList].name.str(); return RfListTable[CurrentRfList].id;
    }
  };
  const auto randomName = [](std::mt19937& rng) {
    std::string name;
    const int length = std::uniform_int_distribution<int>(0, 70)(rng);
    while (static_cast<int>(name.size()) < length) name += rng() % 5 == 0 ? "\xC3\xA9" : std::string(1, char('a' + rng() % 26));
    return name;
  };
  const auto drainAnswers = [] {
    while (UiTest_PendingAnswers() > 0) MessagePopup("drain", "drain");
  };
  const int stepsPerSeed = 150;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_NEWPRJ);
    drainAnswers();
    for (int step = 0; step < stepsPerSeed; ++step) {
      const int action = std::uniform_int_distribution<int>(0, 23)(rng);
      SCOPED_TRACE("step " + std::to_string(step) + " action " + std::to_string(action));
      const std::map<std::string, std::string> before = snapshot();
      bool typed = false;    // a value went into an editor's field
      std::string typedKey;  // the record that editor showed
      int items = 0;
      GetNumTreeItems(PANEL_MAIN, tree, &items);
      switch (action) {
        case 0: if (PulseCount < 12) Choose(MBAR_PULSE_PNEW); break;
        case 1: if (SequenceCount < 8) Choose(MBAR_PULSE_SNEW); break;
        case 2: if (MultiSegmentCount < 6) Choose(MBAR_PULSE_SEGNEW); break;
        case 3: if (RfListCount < 6) Choose(MBAR_PULSE_RFLISTNEW); break;
        case 4: case 5: case 6:
          UiTest_ClickTreeItem(PANEL_MAIN, tree, static_cast<int>(rng() % static_cast<unsigned>(items)), false);
          break;
        case 7: case 8:
          UiTest_PressKey(PANEL_MAIN, tree, rng() % 2 ? UITEST_KEY_DOWN : UITEST_KEY_UP);
          break;
        case 9: if (PulseCount < 12 && SequenceCount < 8) UiTest_ClickCtrl(PANEL_MAIN, PANEL_MAIN_CMD_COPY); break;
        case 10:
          UiTest_QueueConfirm(rng() % 3 != 0);
          if (rng() % 2) UiTest_PressKey(PANEL_MAIN, tree, UITEST_KEY_DELETE);
          else UiTest_ClickCtrl(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
          break;
        case 11: UiTest_ClickCtrl(PANEL_MAIN, rng() % 2 ? PANEL_MAIN_CMD_SENTRY_UP : PANEL_MAIN_CMD_SENTRY_DOWN); break;
        case 12: case 13: case 14: {
          // A value typed into the front editor.
          const Editor* e = frontEditor();
          if (e == nullptr) break;
          typed = true;
          std::string name;
          typedKey = std::string(1, e->kind) + std::to_string(current(e->kind, &name));
          const int field = static_cast<int>(rng() % 3);
          if (field == 0) UiTest_EnterValue(e->panel, e->name, randomName(rng).c_str());
          else if (field == 1) UiTest_EnterValue(e->panel, e->comment, randomName(rng).c_str());
          else if (e->kind == 'p') UiTest_EnterValue(P_TIM, P_TIM_NUM_RISE, double(rng() % 20));
          else if (e->number > 0) UiTest_EnterValue(e->panel, e->number, 1.0 + double(rng() % 200));
          break;
        }
        case 15: Choose(MBAR_PRJ_DSRC); break;
        case 16: if (DataSourceCount < 10) Click(DATAEDIT, DATAEDIT_CMD_ADD); break;
        case 17: {
          int n = 0;
          GetNumTreeItems(DATAEDIT, DATAEDIT_TREE_DATA, &n);
          if (rng() % 2) UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, static_cast<int>(rng() % static_cast<unsigned>(n)), false);
          else UiTest_PressKey(DATAEDIT, DATAEDIT_TREE_DATA, rng() % 2 ? UITEST_KEY_DOWN : UITEST_KEY_UP);
          break;
        }
        case 18:
          UiTest_QueueConfirm(rng() % 3 != 0);
          if (rng() % 2) UiTest_PressKey(DATAEDIT, DATAEDIT_TREE_DATA, UITEST_KEY_DELETE);
          else UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_DEL);
          break;
        case 19:
          typed = true;
          typedKey = CurrentDataSource >= 0 && CurrentDataSource < DataSourceCount
                         ? "d" + std::to_string(DataSourceTable[CurrentDataSource].id)
                         : std::string();
          UiTest_EnterValue(DATAEDIT, rng() % 2 ? DATAEDIT_STR_NAME : DATAEDIT_STR_COMMENT, randomName(rng).c_str());
          break;
        case 20: Choose(MBAR_PRJ_HIDE); break;
        case 21:
          if (rng() % 4 == 0) SaveAndReload("walk" + std::to_string(seed) + ".prj");
          break;
        case 22:
          if (PulseCount < 12 && access(dir_.File("walk" + std::to_string(seed) + ".prj").c_str(), F_OK) == 0) {
            UiTest_QueueFile(dir_.File("walk" + std::to_string(seed) + ".prj").c_str());
            Choose(MBAR_PULSE_PIMPORT);
          }
          break;
        default: {
          // The modulation type tree of the front pulse, by key.
          const Editor* e = frontEditor();
          if (e == nullptr || e->kind != 'p') break;
          typed = true;
          std::string name;
          typedKey = "p" + std::to_string(current('p', &name));
          UiTest_PressKey(P_MOD, P_MOD_TREE_MOD, rng() % 2 ? UITEST_KEY_DOWN : UITEST_KEY_UP);
          break;
        }
      }
      drainAnswers();
      const std::map<std::string, std::string> after = snapshot();

      // A typed value changed no record but the one its editor showed.
      if (typed) {
        for (const auto& [key, values] : after) {
          const auto was = before.find(key);
          if (was != before.end() && was->second != values) {
            EXPECT_EQ(key, typedKey) << "changed " << was->second << " -> " << values;
          }
        }
      }
      // The front editor shows its current record, and a highlighted record
      // of its kind is that record.
      if (const Editor* e = frontEditor()) {
        std::string name;
        const uint32_t id = current(e->kind, &name);
        EXPECT_NE(id, 0u) << "front page " << e->page << " without a current record";
        EXPECT_EQ(Text(e->panel, e->name), name) << "front page " << e->page;
        const LibrarySelection sel = GetLibrarySelection();
        const char kinds[] = {0, 'p', 's', 'm', 'r', 0};
        if (sel.kind > LIBRARY_NONE && sel.kind < LIBRARY_PLUGIN && kinds[sel.kind] == e->kind) {
          EXPECT_EQ(static_cast<uint32_t>(sel.value), id) << "highlight of page " << e->page;
        }
      }
      if (Visible(DATAEDIT) == 1) {
        if (CurrentDataSource >= 0 && CurrentDataSource < DataSourceCount) {
          EXPECT_EQ(ShownSourceName(), DataSourceTable[CurrentDataSource].name.str());
          int active = -1, value = 0;
          GetActiveTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, &active);
          GetValueFromIndex(DATAEDIT, DATAEDIT_TREE_DATA, active, &value);
          EXPECT_EQ(static_cast<uint32_t>(value), DataSourceTable[CurrentDataSource].id) << "data source highlight";
        } else {
          int dimmed = 0;
          GetCtrlAttribute(DATAEDIT, DATAEDIT_STR_NAME, ATTR_DIMMED, &dimmed);
          EXPECT_EQ(dimmed, 1);
        }
      }
      if (HasFailure()) return;
    }
  }
}

}  // namespace
