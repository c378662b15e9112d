// Scenarios where the table, dialog, tree and project commands meet: a
// Multi Segment cell still being typed in when a button or a menu takes
// over, the second of two sequences of one name under Hide Tree Entries and
// Move, the Report dialog cancelled after a table edit, an import whose data
// sources clash while the Data Source Editor and the Baseband Filter dialog
// are open, a project with clashing IDs saved over after "Save anyway ?", a
// missing plug-in at Generate, an exact parameter through Copy and Import,
// Delete after the shown sequence was hidden, and the source ring left open
// while the Data Source Editor moves and deletes sources.
// Offscreen through the program's own start-up, menus, tree clicks, table
// cells, dialog buttons and scripted popups.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>

#include "app/DataSource.h"
#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "app/ProjectFile.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "editors/BasebandFilter.h"
#include "editors/DataSourceEditor.h"
#include "editors/ModDataTable.h"
#include "editors/ReportDialog.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

class MergedCrossingsTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  std::string PluginFolder() const override { return cz::test::BuildDir() + "/Plugins"; }
  void SetUp() override {
    StartupHomeTest::SetUp();
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", "[PRG]\r\nTempDir = \"" + home_ +
                                                            "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n"));
    mkdir(Projects().c_str(), 0755);
  }
  void Start() {
    ASSERT_EQ(InitApplication(), 1);
    UiTest_ClearPopups();
  }
  std::string Projects() const { return home_ + "/Projects"; }

  static void ChooseCellItem(int panel, int table, Point cell, int item) {
    ASSERT_GE(UiTest_ClickTableCell(panel, table, cell, false), 0);
    ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel, table, cell, item), 1);
  }
  // Types text into a cell's editor without confirming it (no Return).
  static void TypeWithoutReturn(int panel, int table, Point cell, const char* text) {
    auto* view = qobject_cast<QAbstractItemView*>(UiTest_Widget(panel, table));
    ASSERT_NE(view, nullptr);
    view->resize(900, 400);
    ASSERT_GE(UiTest_ClickTableCell(panel, table, cell, false), 0);
    const QModelIndex index = view->model()->index(cell.y - 1, cell.x - 1);
    view->setCurrentIndex(index);
    view->edit(index);
    auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(index));
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromUtf8(text));
  }
  static int Visible(int panel) {
    int visible = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
    return visible;
  }
  static void ClickSource(int k) {
    ASSERT_EQ(UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, k + 1, false), 1);
  }
  static void AddSource(const char* name, const char* bits) {
    Click(DATAEDIT, DATAEDIT_CMD_ADD);
    ClickSource(DataSourceCount - 1);
    ASSERT_EQ(UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_NAME, name), 1);
    ASSERT_EQ(UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_DATA, bits), 1);
  }
  static int RowSourceSlot(int pulse, int row) {
    return DataSourceIndexById(static_cast<uint32_t>(PulseTable[pulse].dataRows[row].source));
  }
  // The library tree's active item and whether it is marked.
  static int ActiveItem() {
    int item = -1;
    GetActiveTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, &item);
    return item;
  }
};

// A repetition typed into a Multi Segment cell (no Return) is stored in
// its waveform before the main window's Copy button copies it and before
// Hide Tree Entries rebuilds the tree; the tree still points at the shown
// waveform for Move.
TEST_F(MergedCrossingsTest, AMultiSegmentCellBeingTypedIsKeptByCopyAndHide) {
  Start();
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  Choose(MBAR_PULSE_SNEW);
  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_MSEG, TAB_MSEG_RING_SEQMODE, 1), 1);  // "Sequencer"
  const int table = TAB_MSEG_TABLE_SETTINGS;
  ChooseCellItem(TAB_MSEG, table, Cell(MSW_COL_SEQUENCE, 1), 2);
  ASSERT_EQ(MultiSegmentTable[0].segments[0].sequenceId, static_cast<int32_t>(SequenceTable[1].id));

  TypeWithoutReturn(TAB_MSEG, table, Cell(MSW_COL_REP, 1), "5");
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  QApplication::processEvents();
  ASSERT_EQ(MultiSegmentCount, 2);
  EXPECT_STREQ(MultiSegmentTable[0].segments[0].repetition.c_str(), "5");
  EXPECT_STREQ(MultiSegmentTable[1].segments[0].repetition.c_str(), "5") << "the copy takes what was typed";
  EXPECT_EQ(MultiSegmentTable[1].segments[0].sequenceId, static_cast<int32_t>(SequenceTable[1].id));

  // The shown waveform typed in, then Hide Tree Entries twice.
  const int shown = CurrentMultiSegment;
  ASSERT_GE(shown, 0);
  // Shown again, typed, then Hide Tree Entries twice.
  ASSERT_GE(UiTest_ClickTableCell(TAB_MSEG, table, Cell(MSW_COL_NO, 1), false), 0);
  TypeWithoutReturn(TAB_MSEG, table, Cell(MSW_COL_REP, 1), "8");
  Choose(MBAR_PRJ_HIDE);
  Choose(MBAR_PRJ_HIDE);
  QApplication::processEvents();
  EXPECT_STREQ(MultiSegmentTable[shown].segments[0].repetition.c_str(), "8");
  EXPECT_STREQ(MultiSegmentTable[1 - shown].segments[0].repetition.c_str(), "5");
  // The tree still points at the shown waveform: Move Down moves it.
  EXPECT_EQ(CurrentMultiSegment, shown);
  const uint32_t id = MultiSegmentTable[shown].id;
  Click(PANEL_MAIN, shown == 0 ? PANEL_MAIN_CMD_SENTRY_DOWN : PANEL_MAIN_CMD_SENTRY_UP);
  EXPECT_EQ(MultiSegmentTable[1 - shown].id, id) << Log();
}

// Copy a sequence twice; the second copy is chosen in the tree; Hide Tree
// Entries twice; Move Up moves that copy, its Report dialog holds it, and a
// table edit made with the dialog open followed by Cancel writes no report.
TEST_F(MergedCrossingsTest, SecondOfTwoNamesakesThroughHideMoveAndACancelledReport) {
  Start();
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, dir_.File("w.wv").c_str()), 1);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(SequenceCount, 3);
  ASSERT_EQ(SequenceTable[1].name.str(), SequenceTable[2].name.str());
  const uint32_t second = SequenceTable[2].id;
  ClickLibraryItem(kSequenceLibraryTag, 2);
  ASSERT_EQ(SequenceTable[CurrentSequence].id, second);
  Choose(MBAR_PRJ_HIDE);
  Choose(MBAR_PRJ_HIDE);
  EXPECT_EQ(SequenceTable[CurrentSequence].id, second);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_UP);
  ASSERT_EQ(SequenceTable[1].id, second) << Log();
  EXPECT_EQ(SequenceTable[CurrentSequence].id, second);

  // The Report dialog: a text report chosen, the table edited, Cancel.
  const std::string report = dir_.File("cancelled.txt");
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, report.c_str()), 1);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "3"), 1);
  ASSERT_EQ(SequenceTable[1].entries[0].repetitions, 3);
  Click(DATALOG, DATALOG_CMD_CANCEL);
  EXPECT_EQ(SequenceTable[1].reportOn, 0);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_TRUE(FileExists(dir_.File("w.wv"))) << Log();
  EXPECT_FALSE(FileExists(report));

  // Again with a typed repetition still open when Accept is pressed: both
  // reach the sequence, and Generate writes the report.
  Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
  ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
  const std::string kept = dir_.File("kept.txt");
  ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, kept.c_str()), 1);
  Click(DATALOG, DATALOG_CHK_REP_ON);
  TypeWithoutReturn(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "4");
  Click(DATALOG, DATALOG_CMD_ACCEPT);
  QApplication::processEvents();
  EXPECT_EQ(SequenceTable[1].entries[0].repetitions, 4);
  EXPECT_EQ(SequenceTable[1].reportOn, 1);
  for (int s : {0, 2}) EXPECT_EQ(SequenceTable[s].reportOn, 0) << s;
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_TRUE(FileExists(kept)) << Log();
  EXPECT_FALSE(ReportRows(kept).empty()) << ReadFileBytes(kept);
}

// Pulses whose data sources clash by name are imported while the Data
// Source Editor and a sequence's Baseband Filter dialog are open: the
// editor lists every source with its own fields, the filter's choices not
// yet accepted stay and Accept writes into its sequence only.
TEST_F(MergedCrossingsTest, ImportWithClashingSourcesUnderOpenEditorAndFilterDialog) {
  Start();
  Choose(MBAR_FILE_NEWPRJ);
  // Their project: source "d" (110011) on a BPSK pulse.
  Choose(MBAR_PRJ_DSRC);
  AddSource("d", "110011");
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "bp"), 1);
  ChooseModulation("BPSK");
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_TYPE, 1), 3);  // "User"
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 0);
  const std::string theirs = Projects() + "/theirs.prj";
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(theirs));

  // Ours: source "d" (01) on a BPSK pulse of the same name, a sequence
  // with its filter dialog open and a choice not yet accepted.
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PRJ_DSRC);
  AddSource("d", "01");
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "bp"), 1);
  ChooseModulation("BPSK");
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_TYPE, 1), 3);
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 0);
  Choose(MBAR_PULSE_SNEW);
  Choose(MBAR_PULSE_SNEW);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  const uint32_t held = SequenceTable[0].id;
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
  int on = 0;
  GetCtrlVal(FILTER, FILTER_CMD_BBFILTER, &on);
  ASSERT_EQ(on, 0);
  Click(FILTER, FILTER_CMD_BBFILTER);
  Choose(MBAR_PRJ_DSRC);
  ClickSource(0);

  UiTest_ClearPopups();
  UiTest_QueueFile(theirs.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 2) << Log();
  ASSERT_EQ(DataSourceCount, 2);
  EXPECT_EQ(DataSourceTable[RowSourceSlot(0, 0)].data.str(), "01");
  EXPECT_EQ(DataSourceTable[RowSourceSlot(1, 0)].data.str(), "110011");
  EXPECT_EQ(Visible(DATAEDIT), 1);
  for (int k = 0; k < 2; ++k) {
    ClickSource(k);
    char name[256] = "", data[256] = "";
    GetCtrlVal(DATAEDIT, DATAEDIT_STR_NAME, name, sizeof name);
    GetCtrlVal(DATAEDIT, DATAEDIT_STR_DATA, data, sizeof data);
    EXPECT_EQ(std::string(name), DataSourceTable[k].name.str()) << k;
    EXPECT_EQ(std::string(data), DataSourceTable[k].data.str()) << k;
  }
  // The used imported source cannot be deleted from the open editor.
  ClickSource(1);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  UiTest_QueueConfirm(true);
  Click(DATAEDIT, DATAEDIT_CMD_DEL);
  EXPECT_EQ(DataSourceCount, 2);
  EXPECT_GE(RowSourceSlot(1, 0), 0);

  // The filter dialog, if still open, keeps its choice for its sequence.
  if (Visible(FILTER)) {
    GetCtrlVal(FILTER, FILTER_CMD_BBFILTER, &on);
    EXPECT_EQ(on, 1) << "the choice not yet accepted";
    Click(FILTER, FILTER_CMD_ACCEPT);
    const int slot = FindSequenceById(held);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(SequenceTable[slot].filterOn, 1);
    for (int s = 0; s < SequenceCount; ++s)
      if (s != slot) {
        EXPECT_EQ(SequenceTable[s].filterOn, 0) << s;
      }
  }
}

// A project whose pulses clash (one ID twice) and which lost a record is
// loaded, the renumbered pulse edited, saved over with "Save anyway ?" Yes,
// then loaded again: every kept record and the edit are there, the next
// load loses nothing, and the next Save asks no more.
TEST_F(MergedCrossingsTest, ClashingProjectEditedSavedAnywayAndReloaded) {
  Start();
  const std::string path = Projects() + "/clash.prj";
  ASSERT_TRUE(WriteFileBytes(
      path,
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n"
      "<PULSE name=\"p\" id=\"4\"/>\r\n<PULSE name=\"q\" id=\"4\"/>\r\n<PULSE name=\"\" id=\"5\"/>\r\n"
      "</PULSE_DB>\r\n<SEQUENCE_DB>\r\n"
      "<SEQUENCE name=\"s\" id=\"1\"><Entry1 pid=\"4\" rep=\"2\"/></SEQUENCE>\r\n"
      "<SEQUENCE name=\"t\" id=\"1\"><Entry1 pid=\"4\" rep=\"3\"/></SEQUENCE>\r\n"
      "</SEQUENCE_DB>\r\n</TV_CZ_DB>\r\n"));
  UiTest_QueueFile(path.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(UiTest_PendingAnswers(), 0);
  ASSERT_EQ(PulseCount, 2);
  ASSERT_EQ(SequenceCount, 2);
  ASSERT_NE(PulseTable[0].id, PulseTable[1].id);
  ASSERT_NE(SequenceTable[0].id, SequenceTable[1].id);
  ASSERT_GT(LastProjectRecordsLost, 0);

  // The second pulse edited through its own tree item; the second
  // sequence's entry given 6 repetitions.
  ClickLibraryItem(kPulseLibraryTag, 1);
  ASSERT_EQ(CurrentPulse, 1);
  ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "q2"), 1);
  EXPECT_EQ(PulseTable[1].name.str(), "q2");
  EXPECT_EQ(PulseTable[0].name.str(), "p");
  ClickLibraryItem(kSequenceLibraryTag, 1);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1), "6"), 1);
  ASSERT_EQ(SequenceTable[1].entries[0].repetitions, 6);

  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_SAVEPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_NE(UiTest_Popups()[0].text.find("Save anyway ?"), std::string::npos) << UiTest_Popups()[0].text;
  // Saved whole now: the next Save asks nothing.
  UiTest_ClearPopups();
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;

  const uint32_t pulseIds[] = {PulseTable[0].id, PulseTable[1].id};
  const uint32_t seqIds[] = {SequenceTable[0].id, SequenceTable[1].id};
  UiTest_ClearPopups();
  UiTest_QueueFile(path.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  EXPECT_EQ(LastProjectRecordsLost, 0);
  for (const auto& popup : UiTest_Popups())
    if (popup.kind != "file") {
      EXPECT_EQ(popup.kind, "confirm") << popup.text;
    }
  ASSERT_EQ(PulseCount, 2);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_EQ(PulseTable[1].name.str(), "q2");
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(PulseTable[k].id, pulseIds[k]) << k;
    EXPECT_EQ(SequenceTable[k].id, seqIds[k]) << k;
  }
  EXPECT_EQ(SequenceTable[0].entries[0].repetitions, 2);
  EXPECT_EQ(SequenceTable[1].entries[0].repetitions, 6);
  EXPECT_EQ(SequenceTable[0].entries[0].pulseId, static_cast<int32_t>(pulseIds[0]));
  EXPECT_EQ(SequenceTable[1].entries[0].pulseId, static_cast<int32_t>(pulseIds[0]));
  // And the file is saved without a question now.
  UiTest_ClearPopups();
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
}

// A sequence of a pulse whose modulation plug-in is not loaded: Generate
// builds nothing in its place and says so (status and popup); the earlier
// waveform file stays as it was.
TEST_F(MergedCrossingsTest, GenerateOfAPulseWhosePluginIsMissingFailsAndSaysSo) {
  Start();
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  const std::string wave = dir_.File("missing.wv");
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, wave.c_str()), 1);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_TRUE(FileExists(wave)) << Log();
  const std::string before = ReadFileBytes(wave);
  const std::string project = Projects() + "/missing.prj";
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  std::string text = ReadFileBytes(project);
  const std::string none = "mod=\"none\"";
  const std::size_t at = text.find(none);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, none.size(), "mod=\"ext\" extname=\"Nowhere\"");
  ASSERT_TRUE(WriteFileBytes(project, text));
  UiTest_QueueFile(project.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(PulseCount, 1);
  ASSERT_STREQ(PulseTable[0].pluginName.c_str(), "Nowhere");
  ClickLibraryItem(kPulseLibraryTag, 0);
  ClickLibraryItem(kSequenceLibraryTag, 0);
  UiTest_ClearPopups();
  for (int k = 0; k < 2; ++k) UiTest_QueueMessageOk();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  EXPECT_FALSE(UiTest_Popups().empty()) << Status() << "\n" << Log();
  EXPECT_EQ(Status().find("Successfully"), std::string::npos) << Status();
  EXPECT_EQ(ReadFileBytes(wave), before);
  EXPECT_STREQ(PulseTable[0].pluginName.c_str(), "Nowhere");
}

// A modulation parameter below 1e-6 survives Copy, Save, Import into
// another project and the imported pulse's editor.
TEST_F(MergedCrossingsTest, AnExactParameterSurvivesCopyImportAndTheEditor) {
  Start();
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("Polynomial FM");
  int rows = 0, row = -1;
  GetNumTableRows(P_MOD, P_MOD_TABLE_CONF, &rows);
  for (int r = 1; r <= rows && row < 0; ++r) {
    char text[256] = "";
    GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(1, r), text, sizeof text);
    if (std::string(text).find("1") != std::string::npos) row = r;
  }
  ASSERT_GT(row, 0);
  ASSERT_EQ(UiTest_TypeTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), "2.5e-7"), 1);
  const std::string stored = PulseTable[0].modParams[row - 1].value.str();
  ASSERT_EQ(std::strtod(stored.c_str(), nullptr), 2.5e-7) << stored;
  ClickLibraryItem(kPulseLibraryTag, 0);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(PulseCount, 2);
  const std::string project = Projects() + "/exact.prj";
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(PulseCount, 3) << Log();
  for (int p = 1; p < 3; ++p) {
    ClickLibraryItem(kPulseLibraryTag, p);
    double value = 0.0;
    GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), &value);
    EXPECT_EQ(value, 2.5e-7) << p;
    // Another cell committed: this one stays exact.
    ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), false), 0);
    ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, row == 1 ? 2 : 1), false), 0);
    bool found = false;
    for (int k = 0; k < PulseTable[p].modParams.StoredCount(); ++k)
      if (std::strtod(PulseTable[p].modParams[k].value.c_str(), nullptr) == 2.5e-7) found = true;
    EXPECT_TRUE(found) << p;
  }
}

// The shown sequence is hidden by its own Hide button while Hide Tree
// Entries is on: it leaves the tree at the next rebuild, and Delete and
// Move then act on no other record than one the user chose in the tree.
TEST_F(MergedCrossingsTest, DeleteAndMoveAfterTheShownSequenceWasHidden) {
  Start();
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  for (const char* name : {"s0", "s1", "s2"}) {
    Choose(MBAR_PULSE_SNEW);
    ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_NAME, name), 1);
  }
  ASSERT_EQ(SequenceCount, 3);
  ClickLibraryItem(kSequenceLibraryTag, 1);
  ASSERT_EQ(CurrentSequence, 1);
  Choose(MBAR_PRJ_HIDE);  // on
  Click(TAB_SEDIT, TAB_SEDIT_CMD_S_HIDE);
  ASSERT_EQ(SequenceTable[1].hidden, 1);
  // A rebuild: Hide Tree Entries off and on again.
  Choose(MBAR_PRJ_HIDE);
  Choose(MBAR_PRJ_HIDE);
  ASSERT_EQ(LibraryCount(kSequenceLibraryTag), 2);
  int active = -1;
  GetActiveTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, &active);
  std::vector<std::string> names;
  const auto Names = [] {
    std::vector<std::string> out;
    for (int s = 0; s < SequenceCount; ++s) out.push_back(SequenceTable[s].name.str());
    return out;
  };
  const std::vector<std::string> before = Names();
  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_UP);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_SENTRY_DOWN);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
  const std::vector<std::string> after = Names();
  // Whatever Delete did, it did not remove a record other than the one
  // shown in the editor without the user choosing it.
  for (const std::string& n : {std::string("s0"), std::string("s2")})
    EXPECT_NE(std::find(after.begin(), after.end(), n), after.end()) << n << " was deleted; active " << active;
  EXPECT_EQ(after.size() + (after.size() < before.size() ? 1 : 0), before.size());
  UiTest_ClearPopups();
}

// The source ring of a pulse's data row is open when the Data Source
// Editor moves or deletes sources of one name: the item then chosen is the
// source it named in the list the user saw, never the one that took its
// place, and the table shows each row's own source again.
TEST_F(MergedCrossingsTest, AnOpenSourceRingAfterTheDataSourceEditorMovesSources) {
  Start();
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PRJ_DSRC);
  AddSource("d", "1");
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();  // "The data source name already exists."
  AddSource("d", "11");
  AddSource("e", "111");
  ASSERT_EQ(DataSourceCount, 3);
  const uint32_t one = DataSourceTable[0].id, two = DataSourceTable[1].id;
  Choose(MBAR_PULSE_PNEW);
  ChooseModulation("BPSK");
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_TYPE, 1), 3);  // "User"
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 0);
  ASSERT_EQ(PulseTable[0].dataRows[0].source, static_cast<int8_t>(one));

  // The ring opened on the items d, d, e; then the second "d" moves up.
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), false), 0);
  ClickSource(1);
  Click(DATAEDIT, DATAEDIT_CMD_SENTRY_UP);
  ASSERT_EQ(DataSourceTable[0].id, two);
  // The user picks the second "d" of the list still shown (the one of
  // "11"), or the ring was closed and nothing is picked.
  const int picked = UiTest_ChooseTableCellRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 1);
  if (picked == 1) {
    EXPECT_EQ(PulseTable[0].dataRows[0].source, static_cast<int8_t>(two)) << "the source the item named";
  } else {
    EXPECT_EQ(PulseTable[0].dataRows[0].source, static_cast<int8_t>(one)) << "nothing picked";
  }
  // Opened again: the items in their new order; the first is "11".
  ChooseCellItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 0);
  EXPECT_EQ(PulseTable[0].dataRows[0].source, static_cast<int8_t>(two));
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_BITS, 1), false), 0);
  int item = -1;
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), false), 0);
  GetTableCellAttribute(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), ATTR_CTRL_INDEX, &item);
  EXPECT_EQ(item, 0);

  // The ring open again; "e" (unused) is deleted; the user picks "e" of the
  // list still shown: the row names no deleted source.
  ClickSource(2);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Click(DATAEDIT, DATAEDIT_CMD_DEL);
  ASSERT_EQ(DataSourceCount, 2);
  UiTest_ChooseTableCellRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_SOURCE, 1), 2);
  const int8_t source = PulseTable[0].dataRows[0].source;
  EXPECT_TRUE(source == static_cast<int8_t>(one) || source == static_cast<int8_t>(two)) << int(source);
}

}  // namespace
