// The typed parameter table on a two-column table control: yes/no and text
// rows, the read-only switch, and where the shown rows end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editors/ParamTable.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/UserInterface.h"
#include "tests/support/OffscreenApp.h"

namespace {

ModulationParamRow Row(uint32_t key, const char* name, const char* type, const char* value, const char* min = "",
                       const char* max = "") {
  ModulationParamRow r;
  r.key = key;
  r.name = name;
  r.type = type;
  r.value = value;
  r.editable = 1;
  r.min = min;
  r.max = max;
  return r;
}

class ParamTableTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    panel_ = NewPanel(0, "Modulation", 0, 0, 400, 500);
    ASSERT_GT(panel_, 0);
    table_ = NewCtrl(panel_, CTRL_TABLE, "", 0, 0);
    ASSERT_GT(table_, 0);
    ASSERT_GE(InsertTableColumns(panel_, table_, 1, 2, VAL_CELL_NUMERIC), 0);
    rows_.assign(kModParamRows, ModulationParamRow());
  }
  void TearDown() override {
    DiscardPanel(panel_);
    OffscreenAppTest::TearDown();
  }
  int Fill() { return ParamTable_Fill(panel_, table_, rows_.data()); }
  int ShownRows() {
    int n = -1;
    GetNumTableRows(panel_, table_, &n);
    return n;
  }
  std::string Shown(int tableRow) {
    char text[kParamTableTextSize] = "";
    GetTableCellVal(panel_, table_, Cell(2, tableRow), text, sizeof text);
    return text;
  }
  int Colour(int tableRow) {
    int c = 0;
    GetTableCellAttribute(panel_, table_, Cell(2, tableRow), ATTR_TEXT_BGCOLOR, &c);
    return c;
  }
  int Mode(int tableRow) {
    int m = 0;
    GetTableCellAttribute(panel_, table_, Cell(2, tableRow), ATTR_CELL_MODE, &m);
    return m;
  }

  int panel_ = 0, table_ = 0;
  std::vector<ModulationParamRow> rows_;
};

// Runs first in this program: the module has never been filled.
TEST_F(ParamTableTest, EveryOperationFailsBeforeTheFirstFill) {
  int i = 7;
  char text[kParamTableTextSize] = "x";
  EXPECT_EQ(ParamTable_GetYesNo(1, &i), 0);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(ParamTable_GetText(1, text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(ParamTable_SetEditable(1, 0), 0);
  EXPECT_EQ(ParamTable_SetString(1, "a"), 0);
  EXPECT_EQ(ParamTable_CheckLimits(), 0);
}

TEST_F(ParamTableTest, YesNoRowsShowReadAndWrite) {
  rows_[0] = Row(1, "On", "YESNO", "1");
  rows_[1] = Row(2, "Spelled", "YESNO", "yes");  // only "1" means yes
  rows_[2] = Row(3, "Off", "YESNO", "0");
  rows_[3] = Row(4, "Count", "INT", "5", "0", "10");
  ASSERT_EQ(Fill(), 1);
  EXPECT_EQ(Shown(1), "yes");
  EXPECT_EQ(Shown(2), "no");
  EXPECT_EQ(Shown(3), "no");

  int v = 9;
  EXPECT_EQ(ParamTable_GetYesNo(1, &v), 1);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(ParamTable_GetYesNo(2, &v), 1);
  EXPECT_EQ(v, 0);
  v = 9;
  EXPECT_EQ(ParamTable_GetYesNo(4, &v), 0) << "an INT row is no yes/no row";
  EXPECT_EQ(v, 9) << "out is left alone on failure";
  EXPECT_EQ(ParamTable_GetYesNo(99, &v), 0);
  EXPECT_EQ(v, 9);

  // Any value but 1 writes "no"; GetInt and GetText read the same cell.
  ASSERT_EQ(ParamTable_SetInt(3, 1), 1);
  EXPECT_EQ(Shown(3), "yes");
  ASSERT_EQ(ParamTable_SetInt(1, 2), 1);
  EXPECT_EQ(Shown(1), "no");
  EXPECT_EQ(ParamTable_GetInt(3, &v), 1);
  EXPECT_EQ(v, 1);
  char text[kParamTableTextSize] = "";
  EXPECT_EQ(ParamTable_GetText(3, text), 1);
  EXPECT_STREQ(text, "yes");
}

TEST_F(ParamTableTest, TextRowsCutAtTheirMaximumAndReadBack) {
  rows_[0] = Row(1, "Ten", "STRING", "abc", "", "10");
  rows_[1] = Row(2, "Unlimited", "STRING", "", "", "0");
  rows_[2] = Row(3, "Long", "STRING", "", "", "80");
  rows_[3] = Row(4, "Count", "INT", "-12", "-100", "100");
  rows_[4] = Row(5, "Scheme", "LIST", "O-QPSK", "QPSK|O-QPSK|C-QPSK|D-QPSK");
  rows_[5] = Row(6, "Gain", "DOUBLE", "1.5", "0", "10");
  ASSERT_EQ(Fill(), 1);
  EXPECT_EQ(Shown(1), "abc");

  const std::string hundred = std::string(50, 'a') + std::string(50, 'b');
  ASSERT_EQ(ParamTable_SetString(1, hundred.c_str()), 1);
  EXPECT_EQ(Shown(1), std::string(10, 'a'));
  ASSERT_EQ(ParamTable_SetString(2, hundred.c_str()), 1);
  EXPECT_EQ(Shown(2), hundred.substr(0, 63));
  ASSERT_EQ(ParamTable_SetString(3, hundred.c_str()), 1);
  EXPECT_EQ(Shown(3), hundred.substr(0, 63));
  EXPECT_EQ(ParamTable_SetString(4, "7"), 0) << "only STRING rows take a text";

  char text[kParamTableTextSize] = "x";
  EXPECT_EQ(ParamTable_GetText(1, text), 1);
  EXPECT_STREQ(text, "aaaaaaaaaa");
  EXPECT_EQ(ParamTable_GetText(4, text), 1);
  EXPECT_STREQ(text, "-12");
  EXPECT_EQ(ParamTable_GetText(5, text), 1);
  EXPECT_STREQ(text, "O-QPSK");
  EXPECT_EQ(ParamTable_GetText(6, text), 0) << "a DOUBLE row has no text";
  EXPECT_STREQ(text, "");

  // A STRING row read as a number; a text that is no number counts as 0.
  int v = -1;
  ASSERT_EQ(ParamTable_SetString(1, "42x"), 1);
  EXPECT_EQ(ParamTable_GetInt(1, &v), 1);
  EXPECT_EQ(v, 42);
  ASSERT_EQ(ParamTable_SetString(1, "none"), 1);
  EXPECT_EQ(ParamTable_GetInt(1, &v), 1);
  EXPECT_EQ(v, 0);
}

TEST_F(ParamTableTest, SetEditableSwitchesTheCellAndTheRow) {
  rows_[0] = Row(1, "Gain", "DOUBLE", "1.5", "0", "10");
  rows_[1] = Row(2, "Label", "STRING", "x", "", "20");
  rows_[2] = Row(3, "Fixed", "INT", "3", "0", "5");
  rows_[2].editable = 0;
  ASSERT_EQ(Fill(), 1);
  EXPECT_EQ(Colour(3), kParamNameColor);
  EXPECT_EQ(Mode(3), VAL_INDICATOR);
  EXPECT_EQ(Mode(1), VAL_VALIDATE);

  // A yellow cell turns grey whatever its value; the next check colours it again.
  ASSERT_EQ(ParamTable_SetDouble(1, 11.0), 1);
  EXPECT_EQ(Colour(1), kParamLimitColor);
  ASSERT_EQ(ParamTable_SetEditable(1, 0), 1);
  EXPECT_EQ(rows_[0].editable, 0u);
  EXPECT_EQ(Colour(1), kParamNameColor);
  EXPECT_EQ(Mode(1), VAL_INDICATOR);
  EXPECT_EQ(ParamTable_CheckLimits(), 0);
  EXPECT_EQ(Colour(1), kParamLimitColor);
  // Back within the limits a read-only cell keeps the darker grey.
  ASSERT_EQ(ParamTable_SetDouble(1, 10.0), 1);
  EXPECT_EQ(Colour(1), kParamNameColor);
  EXPECT_EQ(ParamTable_CheckLimits(), 1);

  // Any non-zero value makes a row editable; every row type is accepted.
  ASSERT_EQ(ParamTable_SetEditable(3, 5), 1);
  EXPECT_EQ(rows_[2].editable, 1u);
  EXPECT_EQ(Colour(3), kParamValueColor);
  EXPECT_EQ(Mode(3), VAL_VALIDATE);
  ASSERT_EQ(ParamTable_SetEditable(2, 0), 1);
  EXPECT_EQ(Mode(2), VAL_INDICATOR);
  EXPECT_EQ(ParamTable_SetEditable(4, 1), 0) << "no such key";
}

TEST_F(ParamTableTest, ShownRowsEndAtAnEmptyNameOrKeyZero) {
  rows_[0] = Row(1, "First", "INT", "1", "0", "10");
  rows_[1] = Row(2, "", "STRING", "hidden", "", "20");
  rows_[2] = Row(3, "Third", "INT", "50", "0", "10");  // outside, but not shown
  rows_[3] = Row(1, "Duplicate", "STRING", "dup", "", "20");
  ASSERT_EQ(Fill(), 1);
  EXPECT_EQ(ShownRows(), 1);
  // Rows after the end are still found by key; the write reaches no cell.
  EXPECT_EQ(ParamTable_SetString(2, "text"), 1);
  EXPECT_EQ(ParamTable_SetInt(3, 4), 1);
  EXPECT_EQ(ShownRows(), 1);
  EXPECT_EQ(ParamTable_CheckLimits(), 1) << "only shown rows are checked";
  // Of two rows with key 1 the first one counts.
  int v = 0;
  EXPECT_EQ(ParamTable_GetInt(1, &v), 1);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(ParamTable_SetString(1, "x"), 0);

  // A refill replaces the rows; a first key of 0 leaves an empty table in which
  // every lookup fails and the limits check passes.
  rows_[0].key = 0;
  ASSERT_EQ(Fill(), 1);
  EXPECT_EQ(ShownRows(), 0);
  EXPECT_EQ(ParamTable_GetInt(1, &v), 0);
  EXPECT_EQ(ParamTable_SetEditable(2, 1), 0);
  EXPECT_EQ(ParamTable_CheckLimits(), 1);
}

}  // namespace
