// Modulation data table: the rows of the current pulse shown with the named
// tables, cell commits, ring cells and row insertion and deletion.
#include <gtest/gtest.h>

#include <string>

#include "app/DataSource.h"
#include "app/PulsePanelIds.h"
#include "editors/ModDataTable.h"
#include "editors/PulseEditor.h"
#include "tests/support/OffscreenApp.h"

namespace {

class ModDataTableTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    // TABLE_DATA as the modulation page builds it: four text columns, only
    // the Bits cells editable.
    P_MOD = NewPanel(0, "Modulation", 0, 0, 400, 700);
    P_MOD_TABLE_DATA = NewCtrl(P_MOD, CTRL_TABLE, "", 10, 10);
    SetCtrlAttribute(P_MOD, P_MOD_TABLE_DATA, ATTR_HEIGHT, 300);
    SetCtrlAttribute(P_MOD, P_MOD_TABLE_DATA, ATTR_WIDTH, 600);
    SetCtrlAttribute(P_MOD, P_MOD_TABLE_DATA, ATTR_CALLBACK_FUNCTION_POINTER, PulseDataTableCb);
    const int modes[] = {VAL_INDICATOR, VAL_INDICATOR, VAL_HOT, VAL_INDICATOR};
    for (int c = 1; c <= 4; ++c) {
      InsertTableColumns(P_MOD, P_MOD_TABLE_DATA, -1, 1, VAL_CELL_STRING);
      SetTableColumnAttribute(P_MOD, P_MOD_TABLE_DATA, c, ATTR_CELL_MODE, modes[c - 1]);
      SetTableColumnAttribute(P_MOD, P_MOD_TABLE_DATA, c, ATTR_COLUMN_WIDTH, 100);
    }
    ASSERT_GE(ResetPulseDataTable(), 0);
    DataTableRingCell = DataTableCell{};
    DataSourceCount = 0;
    PulseCount = 1;
    InitPulseRecord(&PulseTable[0]);
    SetCurrentPulse(0);
  }
  void TearDown() override {
    PulseCount = 0;
    DataSourceCount = 0;
    SetCurrentPulse(-1);
    P_MOD = 0;
    P_MOD_TABLE_DATA = -1;
    OffscreenAppTest::TearDown();
  }
  static std::string CellText(int column, int row) {
    char text[256] = "";
    GetTableCellVal(P_MOD, P_MOD_TABLE_DATA, Cell(column, row), text, sizeof text);
    return text;
  }
  static void AddSource(uint32_t id, const char* name, const char* bits, const char* comment = "") {
    DataSourceRecord& s = DataSourceTable[DataSourceCount++];
    s.id = id;
    s.name = name;
    s.data = bits;
    s.comment = comment;
  }
  static int CellType(int column, int row) {
    int type = -1;
    GetTableCellAttribute(P_MOD, P_MOD_TABLE_DATA, Cell(column, row), ATTR_CELL_TYPE, &type);
    return type;
  }
  static PulseRecord& Pulse() { return PulseTable[0]; }
};

TEST_F(ModDataTableTest, ANewPulseShowsThirtyTwoOffRows) {
  int rows = 0;
  GetNumTableRows(P_MOD, P_MOD_TABLE_DATA, &rows);
  EXPECT_EQ(kModDataRows, rows);
  FillPulseDataTable(Pulse());
  for (int r = 1; r <= kModDataRows; ++r) {
    EXPECT_EQ("Off", CellText(1, r));
    EXPECT_EQ("", CellText(2, r));
    EXPECT_EQ("0", CellText(3, r));
    EXPECT_EQ("", CellText(4, r));
  }
}

TEST_F(ModDataTableTest, NamedTablesGiveTheShownTexts) {
  AddSource(5, "header", "1 0 #xF", "frame start");
  Pulse().dataRows[0] = {DSRC_PATTERN, 9, 13};
  Pulse().dataRows[1] = {DSRC_RANDOM, 7, 100};
  Pulse().dataRows[2] = {DSRC_USER, 5, 6};
  Pulse().dataRows[3] = {DSRC_USER, 6, 1};  // no such source
  FillPulseDataTable(Pulse());
  EXPECT_EQ("Barker R13", CellText(2, 1));
  EXPECT_EQ("PRBS 7", CellText(2, 2));
  EXPECT_EQ("Random", CellText(1, 2));
  EXPECT_EQ("header", CellText(2, 3));
  EXPECT_EQ("frame start", CellText(4, 3));
  EXPECT_EQ("", CellText(2, 4));
  EXPECT_EQ("1", CellText(3, 4));
}

TEST_F(ModDataTableTest, KindAndSourceCommits) {
  ModulationDataRow& row = Pulse().dataRows[0];
  row = {DSRC_RANDOM, 3, 40};
  // Random -> Pattern: source 0 ("All 0"), bits unchanged.
  EXPECT_EQ(1, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_TYPE, "Pattern"));
  EXPECT_EQ(DSRC_PATTERN, row.kind);
  EXPECT_EQ(0, row.source);
  EXPECT_EQ(40, row.bits);
  EXPECT_STREQ("All 0", ModDataSourceName(row));
  EXPECT_EQ(0, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_TYPE, "Pattern"));
  // An unknown kind name is Off.
  EXPECT_EQ(1, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_TYPE, "pattern"));
  EXPECT_EQ(DSRC_OFF, row.kind);

  // User: choosing a source takes its bit count; duplicate names give the first.
  AddSource(3, "same", "1 0 #xF");
  AddSource(4, "same", "1");
  EXPECT_EQ(1, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_TYPE, "User"));
  EXPECT_STREQ("", ModDataSourceName(row));
  EXPECT_EQ(1, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_SOURCE, "same"));
  EXPECT_EQ(3, row.source);
  EXPECT_EQ(6, row.bits);
  // The same source again re-reads the count but reports no change.
  row.bits = 99;
  EXPECT_EQ(0, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_SOURCE, "same"));
  EXPECT_EQ(6, row.bits);

  // Bits: leading blanks, a sign, digits up to the first other character.
  EXPECT_EQ(1, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_BITS, "  -12x"));
  EXPECT_EQ(-12, row.bits);
  EXPECT_EQ(1, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_BITS, "abc"));
  EXPECT_EQ(0, row.bits);
  EXPECT_EQ(1, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_BITS, "99999999999999"));
  EXPECT_EQ(INT32_MAX, row.bits);
  EXPECT_EQ(0, ModDataCommitCell(&Pulse(), 1, MODDATA_COL_COMMENT, "note"));
}

TEST_F(ModDataTableTest, InsertAndDeleteRows) {
  for (int r = 0; r < kModDataRows; ++r) Pulse().dataRows[r] = {DSRC_PATTERN, 1, r + 1};
  EXPECT_EQ(1, ModDataInsertRow(&Pulse(), 1));
  EXPECT_EQ(DSRC_OFF, Pulse().dataRows[0].kind);
  EXPECT_EQ(0, Pulse().dataRows[0].bits);
  EXPECT_EQ(1, Pulse().dataRows[1].bits);
  EXPECT_EQ(31, Pulse().dataRows[31].bits);  // the old row 32 is gone

  EXPECT_EQ(1, ModDataDeleteRow(&Pulse(), 31));
  EXPECT_EQ(31, Pulse().dataRows[30].bits);
  EXPECT_EQ(DSRC_OFF, Pulse().dataRows[31].kind);
  Pulse().dataRows[31] = {DSRC_RANDOM, 2, 5};
  EXPECT_EQ(1, ModDataDeleteRow(&Pulse(), 32));
  EXPECT_EQ(DSRC_OFF, Pulse().dataRows[31].kind);
  EXPECT_EQ(31, Pulse().dataRows[30].bits);
  EXPECT_EQ(0, ModDataInsertRow(&Pulse(), 0));
  EXPECT_EQ(0, ModDataDeleteRow(&Pulse(), 33));
}

// The Delete key (the button's commit with VAL_DELETE_KEY_PRESS) asks
// first, naming the row; No keeps it, an Off row is not asked about, and a
// click on the button deletes at once.
TEST_F(ModDataTableTest, TheDeleteKeyAsksBeforeARowGoes) {
  for (int r = 0; r < 3; ++r) Pulse().dataRows[r] = {DSRC_PATTERN, static_cast<int8_t>(r + 1), r + 10};
  FillPulseDataTable(Pulse());
  const struct {
    int row, data1, answer;  // answer -1: no question
    const char* question;
    int firstBits;           // bits of rows 1 and 2 afterwards
    int secondBits;
  } steps[] = {
      {2, VAL_DELETE_KEY_PRESS, 0, "Are you sure you want to delete the data row 2 'Pattern 1010...' ?", 10, 11},
      {2, VAL_DELETE_KEY_PRESS, 1, "Are you sure you want to delete the data row 2 'Pattern 1010...' ?", 10, 12},
      {5, VAL_DELETE_KEY_PRESS, -1, nullptr, 10, 12},
      {1, 0, -1, nullptr, 12, 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.row);
    UiTest_ClearPopups();
    SetActiveTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(MODDATA_COL_COMMENT, step.row));
    if (step.answer >= 0) UiTest_QueueConfirm(step.answer == 1);
    PulseDataDeleteCb(P_MOD, 0, EVENT_COMMIT, nullptr, step.data1, 0);
    ASSERT_EQ(UiTest_Popups().size(), step.question ? 1u : 0u);
    if (step.question) {
      EXPECT_EQ(UiTest_Popups()[0].text, step.question);
    }
    EXPECT_EQ(Pulse().dataRows[0].bits, step.firstBits);
    EXPECT_EQ(Pulse().dataRows[1].bits, step.secondBits);
  }
}

TEST_F(ModDataTableTest, ClickedCellsBecomeRingsAndCommitThroughThem) {
  FillPulseDataTable(Pulse());
  // The Data Source cell of an Off row makes no ring.
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(2, 4), false), 0);
  EXPECT_EQ(VAL_CELL_STRING, CellType(2, 4));

  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(1, 4), false), 0);
  EXPECT_EQ(VAL_CELL_RING, CellType(1, 4));
  int items = 0;
  GetNumTableCellRingItems(P_MOD, P_MOD_TABLE_DATA, Cell(1, 4), &items);
  EXPECT_EQ(4, items);
  ASSERT_EQ(1, UiTest_ChooseTableCellRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(1, 4), 2));  // "Random"
  EXPECT_EQ(DSRC_RANDOM, Pulse().dataRows[3].kind);
  EXPECT_EQ("PRBS 9", CellText(2, 4));

  // Another cell: the Type ring turns back into text with the row's kind.
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(2, 4), false), 0);
  EXPECT_EQ(VAL_CELL_STRING, CellType(1, 4));
  EXPECT_EQ("Random", CellText(1, 4));
  EXPECT_EQ(VAL_CELL_RING, CellType(2, 4));
  GetNumTableCellRingItems(P_MOD, P_MOD_TABLE_DATA, Cell(2, 4), &items);
  EXPECT_EQ(8, items);
  ASSERT_EQ(1, UiTest_ChooseTableCellRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(2, 4), 7));
  EXPECT_EQ(7, Pulse().dataRows[3].source);
  EXPECT_EQ("PRBS 7", CellText(2, 4));

  // Insert and delete at the active row.
  SetActiveTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(3, 4));
  EXPECT_EQ(0, PulseDataAddCb(P_MOD, 0, EVENT_COMMIT, nullptr, 0, 0));
  EXPECT_EQ(DSRC_RANDOM, Pulse().dataRows[4].kind);
  EXPECT_EQ(DSRC_OFF, Pulse().dataRows[3].kind);
  SetActiveTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(3, 4));
  EXPECT_EQ(0, PulseDataDeleteCb(P_MOD, 0, EVENT_COMMIT, nullptr, 0, 0));
  EXPECT_EQ(DSRC_RANDOM, Pulse().dataRows[3].kind);

  // Without a current pulse clicks and commits are swallowed.
  SetCurrentPulse(-1);
  EXPECT_EQ(-1, PulseDataTableCb(P_MOD, P_MOD_TABLE_DATA, EVENT_COMMIT, nullptr, 4, 1));
  EXPECT_EQ(-1, PulseDataAddCb(P_MOD, 0, EVENT_COMMIT, nullptr, 0, 0));
}

// A Data Source ring left open on row 4 when Delete moves a User row up
// into row 4: the refresh leaves plain text, and no item of the old row's
// list reaches the row that now stands there.
TEST_F(ModDataTableTest, ARingLeftOpenIsClosedWhenTheRowsChange) {
  AddSource(3, "mine", "1011");
  Pulse().dataRows[3] = {DSRC_PATTERN, 1, 4};
  Pulse().dataRows[4] = {DSRC_USER, 3, 4};
  FillPulseDataTable(Pulse());
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(2, 4), false), 0);
  ASSERT_EQ(VAL_CELL_RING, CellType(2, 4));
  SetActiveTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(3, 4));
  ASSERT_EQ(0, PulseDataDeleteCb(P_MOD, 0, EVENT_COMMIT, nullptr, 0, 0));
  ASSERT_EQ(DSRC_USER, Pulse().dataRows[3].kind);
  EXPECT_EQ("mine", CellText(2, 4));
  EXPECT_EQ(VAL_CELL_STRING, CellType(2, 4));
  EXPECT_EQ(0, UiTest_ChooseTableCellRingItem(P_MOD, P_MOD_TABLE_DATA, Cell(2, 4), 0));
  EXPECT_EQ(3, Pulse().dataRows[3].source);

  // The same when another pulse is shown: its row 4 is no open ring.
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(1, 4), false), 0);
  ASSERT_EQ(VAL_CELL_RING, CellType(1, 4));
  PulseRecord& other = PulseTable[PulseCount++];
  InitPulseRecord(&other);
  other.dataRows[3] = {DSRC_RANDOM, 7, 9};
  SetCurrentPulse(1);
  FillPulseDataTable(other);
  EXPECT_EQ(VAL_CELL_STRING, CellType(1, 4));
  EXPECT_EQ("Random", CellText(1, 4));
  // A click on another cell writes nothing of the first pulse into row 4.
  ASSERT_GE(UiTest_ClickTableCell(P_MOD, P_MOD_TABLE_DATA, Cell(3, 6), false), 0);
  EXPECT_EQ("Random", CellText(1, 4));
  EXPECT_EQ("PRBS 7", CellText(2, 4));
  EXPECT_EQ(DSRC_RANDOM, other.dataRows[3].kind);
}

}  // namespace
