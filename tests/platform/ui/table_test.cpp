// Table control: typed cells, range fills, column/row/cell attributes, cell
// modes and dimming, user commits through the driver and the cell editors,
// ring cells opened by a click callback, queued commits, 10,000 rows.
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>

#include <string>
#include <vector>

#include "tests/platform/ui/UiEvents.h"

namespace {

using cz::test::CountOf;
using cz::test::LastOf;
using cz::test::Recorded;
using cz::test::RecorderAnswer;

class TableTest : public cz::test::UiPanelTest {
protected:
    void SetUp() override
    {
        UiPanelTest::SetUp();
        table = Make(CTRL_TABLE);
        SetCtrlAttribute(panel, table, ATTR_HEIGHT, 300);
        SetCtrlAttribute(panel, table, ATTR_WIDTH, 500);
        ASSERT_EQ(1, InsertTableColumns(panel, table, -1, 1, VAL_CELL_NUMERIC));
        ASSERT_EQ(2, InsertTableColumns(panel, table, -1, 1, VAL_CELL_STRING));
        ASSERT_EQ(1, InsertTableRows(panel, table, -1, 5, VAL_USE_MASTER_CELL_TYPE));
    }
    std::string Text(int col, int row)
    {
        char buf[64] = "";
        GetTableCellVal(panel, table, Cell(col, row), buf, sizeof buf);
        return buf;
    }
    double Num(int col, int row)
    {
        double d = -1;
        GetTableCellVal(panel, table, Cell(col, row), &d);
        return d;
    }
    QComboBox* OpenDropDown() { return UiTest_Widget(panel, table)->findChild<QComboBox*>(); }
    int table = 0;
};

TEST_F(TableTest, CellsAreTypedAndRangesFillInEitherOrder)
{
    EXPECT_EQ(0, SetTableCellVal(panel, table, Cell(1, 1), 2.5));
    EXPECT_EQ(UI_ERR_BAD_TYPE, SetTableCellVal(panel, table, Cell(1, 1), "text"));
    EXPECT_EQ(UI_ERR_BAD_TYPE, SetTableCellVal(panel, table, Cell(2, 1), 1.0));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableCellVal(panel, table, Cell(3, 1), 1.0));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableCellVal(panel, table, Cell(1, 6), 1.0));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableCellVal(panel, table, Cell(0, 1), 1.0));

    const double column[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(0, SetTableCellRangeVals(panel, table, MakeRect(1, 1, -1, 1), column, 1));
    EXPECT_EQ(5.0, Num(1, 5));
    const char* texts[4] = {"r2", "r3", "r4", "r5"};
    ASSERT_EQ(0, SetTableCellRangeVals(panel, table, MakeRect(2, 2, 4, 1), texts, 0));
    EXPECT_EQ("r4", Text(2, 4));
    EXPECT_EQ(UI_ERR_BAD_TYPE, SetTableCellRangeVals(panel, table, MakeRect(1, 1, 1, 2), column, 1));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableCellRangeVals(panel, table, MakeRect(4, 1, 3, 1), column, 1));

    // Two numeric columns: row-major and column-major orders differ.
    ASSERT_EQ(3, InsertTableColumns(panel, table, -1, 1, VAL_CELL_NUMERIC));
    ASSERT_EQ(0, DeleteTableColumns(panel, table, 2, 1));
    const double grid[4] = {11, 12, 21, 22};
    ASSERT_EQ(0, SetTableCellRangeVals(panel, table, MakeRect(1, 1, 2, 2), grid, 1));
    EXPECT_EQ(12.0, Num(2, 1));
    ASSERT_EQ(0, SetTableCellRangeVals(panel, table, MakeRect(1, 1, 2, 2), grid, 0));
    EXPECT_EQ(21.0, Num(2, 1));
    double back[4] = {};
    ASSERT_EQ(0, GetTableCellRangeVals(panel, table, MakeRect(1, 1, 2, 2), back, 1));
    EXPECT_EQ(21.0, back[1]); // row 1, column 2 of the column-major fill
    EXPECT_EQ(12.0, back[2]);
    ASSERT_EQ(0, FillTableCellRange(panel, table, MakeRect(3, 2, -1, 1), 7.0));
    EXPECT_EQ(7.0, Num(2, 5));
    EXPECT_EQ(4.0, Num(1, 4));
    EXPECT_EQ(0u, Recorded().size());
}

TEST_F(TableTest, RowsInsertAndDeleteKeepValuesAndLabels)
{
    for (int r = 1; r <= 5; ++r) SetTableCellVal(panel, table, Cell(1, r), double(r));
    SetTableRowAttribute(panel, table, 4, ATTR_LABEL_TEXT, "four");
    ASSERT_EQ(2, InsertTableRows(panel, table, 2, 2, VAL_USE_MASTER_CELL_TYPE));
    EXPECT_EQ(1.0, Num(1, 1));
    EXPECT_EQ(0.0, Num(1, 2));
    EXPECT_EQ(2.0, Num(1, 4));
    EXPECT_EQ(5.0, Num(1, 7));
    int type = -1;
    GetTableCellAttribute(panel, table, Cell(2, 3), ATTR_CELL_TYPE, &type);
    EXPECT_EQ(VAL_CELL_STRING, type);
    ASSERT_EQ(0, DeleteTableRows(panel, table, 1, 3));
    EXPECT_EQ(2.0, Num(1, 1));
    int rows = 0;
    GetNumTableRows(panel, table, &rows);
    EXPECT_EQ(4, rows);
    ASSERT_EQ(0, DeleteTableRows(panel, table, 1, -1));
    GetNumTableRows(panel, table, &rows);
    EXPECT_EQ(0, rows);
    EXPECT_EQ(UI_ERR_BAD_CELL, DeleteTableRows(panel, table, 1, 1));
    EXPECT_EQ(UI_ERR_BAD_VALUE, InsertTableRows(panel, table, 3, 1, VAL_CELL_NUMERIC));
}

TEST_F(TableTest, ColumnAttributesReachExistingAndNewCells)
{
    ASSERT_EQ(0, SetTableColumnAttribute(panel, table, 1, ATTR_PRECISION, 4));
    ASSERT_EQ(0, SetTableColumnAttribute(panel, table, 1, ATTR_CELL_MODE, VAL_INDICATOR));
    ASSERT_EQ(0, SetTableColumnAttribute(panel, table, 2, ATTR_LABEL_TEXT, "Name  "));
    InsertTableRows(panel, table, -1, 1, VAL_USE_MASTER_CELL_TYPE);
    int precision = 0, mode = 0;
    GetTableCellAttribute(panel, table, Cell(1, 6), ATTR_PRECISION, &precision);
    GetTableCellAttribute(panel, table, Cell(1, 2), ATTR_CELL_MODE, &mode);
    EXPECT_EQ(4, precision);
    EXPECT_EQ(VAL_INDICATOR, mode);
    char label[16];
    GetTableColumnAttribute(panel, table, 2, ATTR_LABEL_TEXT, label, sizeof label);
    EXPECT_STREQ("Name  ", label);
    // The view shows the value with the cell's precision and the label
    // without the trailing blanks that only pad it.
    SetTableCellVal(panel, table, Cell(1, 6), 3.14159265);
    ProcessDrawEvents();
    auto* view = qobject_cast<QTableView*>(UiTest_Widget(panel, table));
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(QStringLiteral("3.1416"), view->model()->index(5, 0).data().toString());
    EXPECT_EQ(QStringLiteral("Name"), view->model()->headerData(1, Qt::Horizontal).toString());
    EXPECT_EQ(3.14159265, Num(1, 6));
    // Cell attributes of a single cell: colours and a range.
    ASSERT_EQ(0, SetTableCellAttribute(panel, table, Cell(2, 1), ATTR_TEXT_BGCOLOR, 0xFFB0B0));
    int bg = 0;
    GetTableCellAttribute(panel, table, Cell(2, 1), ATTR_TEXT_BGCOLOR, &bg);
    EXPECT_EQ(0xFFB0B0, bg);
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableColumnAttribute(panel, table, 3, ATTR_PRECISION, 1));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableRowAttribute(panel, table, 7, ATTR_LABEL_TEXT, "x"));
}

TEST_F(TableTest, UserCommitsFollowModesRangesAndDimming)
{
    SetTableCellAttribute(panel, table, Cell(1, 1), ATTR_MIN_VALUE, 0.0);
    SetTableCellAttribute(panel, table, Cell(1, 1), ATTR_MAX_VALUE, 10.0);
    EXPECT_EQ(1, UiTest_CommitTableCell(panel, table, Cell(1, 1), 25.0));
    EXPECT_EQ(10.0, Num(1, 1));
    cz::test::RecordedEvent e = LastOf(EVENT_COMMIT);
    EXPECT_EQ(1, e.data1);
    EXPECT_EQ(1, e.data2);
    // The program's value is not clamped.
    SetTableCellVal(panel, table, Cell(1, 1), 25.0);
    EXPECT_EQ(25.0, Num(1, 1));
    SetTableCellAttribute(panel, table, Cell(1, 1), ATTR_CELL_MODE, VAL_VALIDATE);
    EXPECT_EQ(0, UiTest_CommitTableCell(panel, table, Cell(1, 1), 11.0));
    SetTableCellAttribute(panel, table, Cell(1, 2), ATTR_CELL_MODE, VAL_NORMAL);
    EXPECT_EQ(1, UiTest_CommitTableCell(panel, table, Cell(1, 2), 3.0));
    EXPECT_EQ(3.0, Num(1, 2));
    SetTableCellAttribute(panel, table, Cell(1, 3), ATTR_CELL_DIMMED, 1);
    EXPECT_EQ(0, UiTest_CommitTableCell(panel, table, Cell(1, 3), 3.0));
    SetTableCellAttribute(panel, table, Cell(1, 4), ATTR_CELL_MODE, VAL_INDICATOR);
    EXPECT_EQ(0, UiTest_CommitTableCell(panel, table, Cell(1, 4), 3.0));
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    // Integer cells truncate what the user gives.
    SetTableCellAttribute(panel, table, Cell(1, 5), ATTR_DATA_TYPE, VAL_INTEGER);
    UiTest_CommitTableCell(panel, table, Cell(1, 5), 7.9);
    int v = 0;
    GetTableCellVal(panel, table, Cell(1, 5), &v);
    EXPECT_EQ(7, v);
    // String cells keep the maximum entry length.
    SetTableCellAttribute(panel, table, Cell(2, 1), ATTR_MAX_ENTRY_LENGTH, 4);
    EXPECT_EQ(1, UiTest_CommitTableCell(panel, table, Cell(2, 1), "abcdef"));
    EXPECT_EQ("abcd", Text(2, 1));
    EXPECT_EQ(UI_ERR_BAD_CELL, UiTest_CommitTableCell(panel, table, Cell(3, 1), 1.0));
}

TEST_F(TableTest, TypingIntoTheCellEditorParsesOrRefuses)
{
    EXPECT_EQ(1, UiTest_TypeTableCell(panel, table, Cell(1, 2), "1.5e3"));
    EXPECT_EQ(1500.0, Num(1, 2));
    EXPECT_EQ(2, LastOf(EVENT_COMMIT).data1);
    // No number: refused, the value stays and nothing commits.
    EXPECT_EQ(1, UiTest_TypeTableCell(panel, table, Cell(1, 2), "12abc"));
    EXPECT_EQ(1500.0, Num(1, 2));
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    // Confirming the shown text unchanged keeps the full value.
    SetTableCellVal(panel, table, Cell(1, 3), 0.123456789);
    EXPECT_EQ(1, UiTest_TypeTableCell(panel, table, Cell(1, 3), "0.12"));
    EXPECT_EQ(0.123456789, Num(1, 3));
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    EXPECT_EQ(1, UiTest_TypeTableCell(panel, table, Cell(2, 3), "name"));
    EXPECT_EQ("name", Text(2, 3));
    EXPECT_EQ(2, CountOf(EVENT_COMMIT));
    // Indicator cells open no editor.
    SetTableCellAttribute(panel, table, Cell(2, 4), ATTR_CELL_MODE, VAL_INDICATOR);
    EXPECT_EQ(0, UiTest_TypeTableCell(panel, table, Cell(2, 4), "x"));
}

// What a menu command saw of the cell being typed in, and how many commits
// the table had raised by then.
struct MenuLook {
    int panel = 0, table = 0;
    std::string text;
    int commits = -1;
};

void LookAtCellCb(int, int, void* data, int)
{
    auto* look = static_cast<MenuLook*>(data);
    char buf[64] = "";
    GetTableCellVal(look->panel, look->table, Cell(2, 1), buf, sizeof buf);
    look->text = buf;
    look->commits = CountOf(EVENT_COMMIT);
}

// A menu item takes no focus from the cell being typed in: the command
// still sees the typed text, committed before it runs. An editor left with
// its text unchanged commits nothing.
TEST_F(TableTest, AMenuCommandCommitsTheCellBeingTypedFirst)
{
    MenuLook look{panel, table, "", -1};
    const int bar = NewMenuBar(panel);
    ASSERT_GT(bar, 0);
    const int menu = NewMenu(bar, "File", -1);
    const int item = NewMenuItem(bar, menu, "Save", -1, 0, LookAtCellCb, &look);
    ASSERT_GT(item, 0);
    SetTableCellVal(panel, table, Cell(2, 1), "old");

    auto* view = qobject_cast<QTableView*>(UiTest_Widget(panel, table));
    ASSERT_NE(view, nullptr);
    view->resize(500, 300);
    const QModelIndex index = view->model()->index(0, 1);
    view->setCurrentIndex(index);
    view->edit(index);
    auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(index));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("old"));
    edit->setText(QStringLiteral("typed"));
    ASSERT_EQ(1, UiTest_ChooseMenuItem(bar, item));
    EXPECT_EQ(look.text, "typed");
    EXPECT_EQ(look.commits, 1);
    EXPECT_EQ(1, LastOf(EVENT_COMMIT).data1);
    EXPECT_EQ(2, LastOf(EVENT_COMMIT).data2);

    view->edit(index);
    ASSERT_NE(view->indexWidget(index), nullptr);
    ASSERT_EQ(1, UiTest_ChooseMenuItem(bar, item));
    EXPECT_EQ(look.text, "typed");
    EXPECT_EQ(look.commits, 1);
}

// A command button, like a menu item, sees the cell being typed in as
// committed before its own commit. A press while another callback runs
// (a build polling Stop) waits in the queue and commits no cell under it.
struct ButtonLook {
    int panel = 0, table = 0, inner = 0;
    std::string text;
    int cellCommits = -1;
};
ButtonLook* g_buttonLook = nullptr;

int LookAtCellOnPressCb(int panel, int control, int event, void*, int, int)
{
    if (event != EVENT_COMMIT || !g_buttonLook) return 0;
    Recorded().push_back({panel, control, event, 0, 0});
    char buf[64] = "";
    GetTableCellVal(g_buttonLook->panel, g_buttonLook->table, Cell(2, 1), buf, sizeof buf);
    g_buttonLook->text = buf;
    g_buttonLook->cellCommits = 0;
    for (const auto& e : Recorded()) g_buttonLook->cellCommits += e.control == g_buttonLook->table && e.event == EVENT_COMMIT;
    return 0;
}

// A long command during which the user types into the cell and presses
// another button.
int PressWhileRunningCb(int, int, int event, void*, int, int)
{
    if (event != EVENT_COMMIT || !g_buttonLook) return 0;
    auto* view = qobject_cast<QTableView*>(UiTest_Widget(g_buttonLook->panel, g_buttonLook->table));
    const QModelIndex index = view->model()->index(0, 1);
    view->setCurrentIndex(index);
    view->edit(index);
    if (auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(index))) edit->setText(QStringLiteral("later"));
    UiTest_ClickCtrl(g_buttonLook->panel, g_buttonLook->inner);
    return 0;
}

TEST_F(TableTest, AButtonCommitsTheCellBeingTypedFirstUnlessACallbackRuns)
{
    ButtonLook look{panel, table, 0, "", -1};
    g_buttonLook = &look;
    const int button = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Go", 320, 10);
    ASSERT_GT(button, 0);
    ASSERT_EQ(0, InstallCtrlCallback(panel, button, LookAtCellOnPressCb, nullptr));
    look.inner = button;
    const int outer = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Long", 320, 100);
    ASSERT_GT(outer, 0);
    ASSERT_EQ(0, InstallCtrlCallback(panel, outer, PressWhileRunningCb, nullptr));
    SetTableCellVal(panel, table, Cell(2, 1), "old");

    auto* view = qobject_cast<QTableView*>(UiTest_Widget(panel, table));
    ASSERT_NE(view, nullptr);
    view->resize(500, 300);
    const QModelIndex index = view->model()->index(0, 1);
    const auto typeWithoutReturn = [&](const char* text) {
        view->setCurrentIndex(index);
        view->edit(index);
        auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(index));
        ASSERT_NE(edit, nullptr);
        edit->setText(QString::fromUtf8(text));
    };
    typeWithoutReturn("typed");
    ASSERT_EQ(1, UiTest_ClickCtrl(panel, button));
    EXPECT_EQ(look.text, "typed");
    EXPECT_EQ(look.cellCommits, 1);

    // Typed again while the long command runs, then a press: the cell keeps
    // its text and raises nothing under the running command.
    look.text.clear();
    ASSERT_EQ(1, UiTest_ClickCtrl(panel, outer));
    EXPECT_TRUE(look.text.empty());  // the inner press only waits in the queue
    EXPECT_EQ(Text(2, 1), "typed");
    EXPECT_EQ(CountOf(EVENT_COMMIT), 2);  // the table's one commit and the first press
    g_buttonLook = nullptr;
}

// The click callback of the pulse data table: a click on column 2 makes the
// cell an operable ring of three kinds; a commit turns it back to text.
int RingOnClickCb(int panel, int control, int event, void* data, int d1, int d2)
{
    cz::test::RecordCb(panel, control, event, data, d1, d2);
    if (event == EVENT_LEFT_CLICK) {
        Point cell{0, 0};
        GetActiveTableCell(panel, control, &cell);
        if (cell.x != 2) return 0;
        SetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, VAL_CELL_RING);
        DeleteTableCellRingItems(panel, control, cell, 0, -1);
        for (const char* kind : {"Off", "Pattern", "Random"}) InsertTableCellRingItem(panel, control, cell, -1, kind);
        SetTableCellVal(panel, control, cell, "Off");
        SetTableCellAttribute(panel, control, cell, ATTR_CELL_MODE, VAL_HOT);
    } else if (event == EVENT_COMMIT) {
        char text[32] = "";
        GetTableCellVal(panel, control, Cell(d2, d1), text, sizeof text);
        SetTableCellAttribute(panel, control, Cell(d2, d1), ATTR_CELL_TYPE, VAL_CELL_STRING);
        SetTableCellVal(panel, control, Cell(d2, d1), (std::string("chosen ") + text).c_str());
    }
    return cz::test::RecorderAnswer();
}

TEST_F(TableTest, AClickMadeRingOpensItsDropDownAndThePickCommits)
{
    InstallCtrlCallback(panel, table, RingOnClickCb, nullptr);
    ASSERT_EQ(1, UiTest_ClickTableCell(panel, table, Cell(2, 3), false));
    int count = 0;
    ASSERT_EQ(0, GetNumTableCellRingItems(panel, table, Cell(2, 3), &count));
    EXPECT_EQ(3, count);
    QComboBox* combo = OpenDropDown();
    ASSERT_NE(nullptr, combo);
    ASSERT_EQ(3, combo->count());
    EXPECT_EQ(QStringLiteral("Random"), combo->itemText(2));
    EXPECT_EQ(0, combo->currentIndex()); // shows the cell's value "Off"
    // The pick in the editor commits (row, column) as a user edit.
    ASSERT_EQ(1, UiTest_ChooseTableCellRingItem(panel, table, Cell(2, 3), 1));
    cz::test::RecordedEvent e = LastOf(EVENT_COMMIT);
    EXPECT_EQ(3, e.data1);
    EXPECT_EQ(2, e.data2);
    EXPECT_EQ("chosen Pattern", Text(2, 3));
    EXPECT_EQ(nullptr, OpenDropDown());
    // The numeric column makes no ring; a swallowed click opens nothing.
    UiTest_ClickTableCell(panel, table, Cell(1, 3), false);
    EXPECT_EQ(nullptr, OpenDropDown());
    RecorderAnswer() = 1;
    UiTest_ClickTableCell(panel, table, Cell(2, 4), false);
    EXPECT_EQ(nullptr, OpenDropDown());
    EXPECT_EQ(3, CountOf(EVENT_LEFT_CLICK));
}

TEST_F(TableTest, RingCellsTakeOnlyTheirItems)
{
    SetTableCellAttribute(panel, table, Cell(2, 1), ATTR_CELL_TYPE, VAL_CELL_RING);
    EXPECT_EQ(0, InsertTableCellRingItem(panel, table, Cell(2, 1), -1, "no"));
    EXPECT_EQ(1, InsertTableCellRingItem(panel, table, Cell(2, 1), -1, "yes"));
    EXPECT_EQ("no", Text(2, 1)); // the first item is shown until one is set
    EXPECT_EQ(0, UiTest_CommitTableCell(panel, table, Cell(2, 1), "maybe"));
    EXPECT_EQ("no", Text(2, 1));
    EXPECT_EQ(1, UiTest_CommitTableCell(panel, table, Cell(2, 1), "yes"));
    EXPECT_EQ("yes", Text(2, 1));
    EXPECT_EQ(UI_ERR_BAD_INDEX, UiTest_ChooseTableCellRingItem(panel, table, Cell(2, 1), 2));
    EXPECT_EQ(1, UiTest_ChooseTableCellRingItem(panel, table, Cell(2, 1), 0));
    EXPECT_EQ("no", Text(2, 1));
    EXPECT_EQ(2, CountOf(EVENT_COMMIT));
    // Dimmed ring cells open nothing; other cells are no rings.
    SetTableCellAttribute(panel, table, Cell(2, 1), ATTR_CELL_DIMMED, 1);
    EXPECT_EQ(0, UiTest_ChooseTableCellRingItem(panel, table, Cell(2, 1), 1));
    EXPECT_EQ(0, UiTest_ChooseTableCellRingItem(panel, table, Cell(2, 2), 0));
    EXPECT_EQ(UI_ERR_WRONG_KIND, InsertTableCellRingItem(panel, table, Cell(2, 2), -1, "x"));
    EXPECT_EQ(UI_ERR_BAD_INDEX, InsertTableCellRingItem(panel, table, Cell(2, 1), 5, "x"));
}

TEST_F(TableTest, RingCellItemsOfOneLabelStayApartByPosition)
{
    const Point cell = Cell(2, 1);
    SetTableCellAttribute(panel, table, cell, ATTR_CELL_TYPE, VAL_CELL_RING);
    for (const char* label : {"Blank", "X", "X"}) InsertTableCellRingItem(panel, table, cell, -1, label);
    int item = -1;
    ASSERT_EQ(0, GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item));
    EXPECT_EQ(0, item);
    // A text selects the first item of that label; a position selects exactly.
    SetTableCellVal(panel, table, cell, "X");
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    EXPECT_EQ(1, item);
    ASSERT_EQ(0, SetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, 2));
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    EXPECT_EQ(2, item);
    EXPECT_EQ("X", Text(2, 1));
    EXPECT_EQ(UI_ERR_BAD_INDEX, SetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, 3));
    // The user's pick in the drop-down keeps its position; the drop-down opens on it.
    ASSERT_EQ(1, UiTest_ChooseTableCellRingItem(panel, table, cell, 1));
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    EXPECT_EQ(1, item);
    ASSERT_EQ(1, UiTest_ChooseTableCellRingItem(panel, table, cell, 2));
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    EXPECT_EQ(2, item);
    // Items inserted or deleted before the active one move it along.
    InsertTableCellRingItem(panel, table, cell, 0, "Y");
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    EXPECT_EQ(3, item);
    DeleteTableCellRingItems(panel, table, cell, 0, 2);
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    EXPECT_EQ(1, item);
    DeleteTableCellRingItems(panel, table, cell, 0, -1);
    GetTableCellAttribute(panel, table, cell, ATTR_CTRL_INDEX, &item);
    EXPECT_EQ(-1, item);
    // Other cells have no ring position.
    EXPECT_EQ(UI_ERR_WRONG_KIND, GetTableCellAttribute(panel, table, Cell(2, 2), ATTR_CTRL_INDEX, &item));
}

TEST_F(TableTest, ButtonCellsCommitOnClick)
{
    SetTableCellAttribute(panel, table, Cell(2, 2), ATTR_CELL_TYPE, VAL_CELL_BUTTON);
    SetTableCellVal(panel, table, Cell(2, 2), "OFF");
    ASSERT_EQ(1, UiTest_ClickTableCell(panel, table, Cell(2, 2), false));
    EXPECT_EQ(1, CountOf(EVENT_LEFT_CLICK));
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    EXPECT_EQ("OFF", Text(2, 2));
    SetTableCellAttribute(panel, table, Cell(2, 2), ATTR_CELL_DIMMED, 1);
    UiTest_ClickTableCell(panel, table, Cell(2, 2), false);
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
}

int g_table = 0;

// A long operation: the user picks a ring item meanwhile.
int LongRunCb(int panel, int, int event, void*, int, int)
{
    if (event != EVENT_COMMIT) return 0;
    UiTest_ChooseTableCellRingItem(panel, g_table, Cell(2, 1), 1);
    ProcessSystemEvents();
    return 0;
}

TEST_F(TableTest, APickDuringARunningCallbackIsQueued)
{
    g_table = table;
    SetTableCellAttribute(panel, table, Cell(2, 1), ATTR_CELL_TYPE, VAL_CELL_RING);
    InsertTableCellRingItem(panel, table, Cell(2, 1), -1, "a");
    InsertTableCellRingItem(panel, table, Cell(2, 1), -1, "b");
    const int run = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Run", 350, 10);
    InstallCtrlCallback(panel, run, LongRunCb, nullptr);
    ASSERT_EQ(1, UiTest_ClickCtrl(panel, run));
    EXPECT_EQ(0, CountOf(EVENT_COMMIT)); // not dispatched into a second callback
    EXPECT_EQ("b", Text(2, 1));
    int p = 0, c = 0;
    EXPECT_EQ(EVENT_COMMIT, GetUserEvent(VAL_NO_WAIT, &p, &c));
    EXPECT_EQ(panel, p);
    EXPECT_EQ(table, c);
    EXPECT_EQ(0, GetUserEvent(VAL_NO_WAIT, &p, &c));
}

TEST_F(TableTest, TenThousandRowsFillAndShow)
{
    ASSERT_EQ(0, DeleteTableRows(panel, table, 1, -1));
    ASSERT_EQ(1, InsertTableRows(panel, table, -1, 10000, VAL_USE_MASTER_CELL_TYPE));
    std::vector<double> entry(10000);
    for (int i = 0; i < 10000; ++i) entry[size_t(i)] = i + 1;
    ASSERT_EQ(0, SetTableCellRangeVals(panel, table, MakeRect(1, 1, 10000, 1), entry.data(), 1));
    ProcessDrawEvents();
    EXPECT_EQ(10000.0, Num(1, 10000));
    auto* view = qobject_cast<QTableView*>(UiTest_Widget(panel, table));
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(10000, view->model()->rowCount());
    EXPECT_EQ(QStringLiteral("10000.00"), view->model()->index(9999, 0).data().toString());
    // The cell under a point of the first row.
    const QRect r = view->visualRect(view->model()->index(0, 1));
    const QPoint at = view->viewport()->mapTo(view, r.center());
    Point cell{0, 0};
    ASSERT_EQ(0, GetTableCellFromPoint(panel, table, MakePoint(at.x(), at.y()), &cell));
    EXPECT_EQ(2, cell.x);
    EXPECT_EQ(1, cell.y);
    GetTableCellFromPoint(panel, table, MakePoint(-5, -5), &cell);
    EXPECT_EQ(0, cell.x);
}

// Rows appended piece by piece into reserved room (a large table filled in
// parts) keep every value, and the view shows them all once flushed.
TEST_F(TableTest, RowsAppendedInPiecesIntoReservedRoomKeepTheirValues)
{
    ASSERT_EQ(0, DeleteTableRows(panel, table, 1, -1));
    ASSERT_EQ(0, ReserveTableRows(panel, table, 3000));
    EXPECT_EQ(UI_ERR_BAD_VALUE, ReserveTableRows(panel, table, -1));
    ASSERT_EQ(0, SetCtrlAttribute(panel, table, ATTR_TABLE_RUN_STATE, 1));
    for (int first = 1; first <= 3000; first += 700) {
        const int rows = std::min(700, 3001 - first);
        ASSERT_EQ(first, InsertTableRows(panel, table, -1, rows, VAL_USE_MASTER_CELL_TYPE));
        std::vector<double> entry(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i) entry[size_t(i)] = first + i;
        ASSERT_EQ(0, SetTableCellRangeVals(panel, table, MakeRect(first, 1, rows, 1), entry.data(), 1));
        ProcessDrawEvents();
    }
    SetCtrlAttribute(panel, table, ATTR_TABLE_RUN_STATE, 0);
    ProcessDrawEvents();
    for (int row : {1, 700, 701, 2999, 3000}) EXPECT_EQ(double(row), Num(1, row)) << row;
    EXPECT_EQ(3000, qobject_cast<QTableView*>(UiTest_Widget(panel, table))->model()->rowCount());
}

TEST_F(TableTest, UnknownTablesAndCellsGiveNegativeStatuses)
{
    double d = 0;
    const int num = NewCtrl(panel, CTRL_NUMERIC, "", 350, 10);
    EXPECT_EQ(UI_ERR_WRONG_KIND, InsertTableRows(panel, num, -1, 1, VAL_CELL_NUMERIC));
    EXPECT_EQ(UI_ERR_WRONG_KIND, ReserveTableRows(panel, num, 10));
    EXPECT_EQ(UI_ERR_BAD_CONTROL, GetTableCellVal(panel, 999, Cell(1, 1), &d));
    EXPECT_EQ(UI_ERR_BAD_PANEL, GetTableCellVal(999, table, Cell(1, 1), &d));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetActiveTableCell(panel, table, Cell(3, 3)));
    EXPECT_EQ(UI_ERR_BAD_TYPE, GetTableCellVal(panel, table, Cell(2, 1), &d));
    EXPECT_EQ(UI_ERR_BAD_CELL, UiTest_ClickTableCell(panel, table, Cell(1, 9), false));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableCellRangeAttribute(panel, table, MakeRect(0, 1, 1, 1), ATTR_CELL_DIMMED, 1));
}

} // namespace

namespace {

// Cells carry their own look and ring items through rows added at the end
// and rows removed before them; a new row starts from the column's look,
// never from a neighbour's.
TEST_F(TableTest, CellsKeepTheirOwnLookThroughAppendsAndRemovals)
{
    ASSERT_EQ(0, SetTableCellAttribute(panel, table, Cell(1, 4), ATTR_CELL_JUSTIFY, VAL_CENTER_JUSTIFIED));
    ASSERT_EQ(0, SetTableCellAttribute(panel, table, Cell(2, 5), ATTR_CELL_TYPE, VAL_CELL_RING));
    ASSERT_GE(InsertTableCellRingItem(panel, table, Cell(2, 5), -1, "alpha"), 0);
    ASSERT_GE(InsertTableCellRingItem(panel, table, Cell(2, 5), -1, "beta"), 0);
    SetTableCellVal(panel, table, Cell(1, 4), 4.0);
    ASSERT_EQ(6, InsertTableRows(panel, table, -1, 3, VAL_USE_MASTER_CELL_TYPE));
    int justify = -1, items = -1;
    GetTableCellAttribute(panel, table, Cell(1, 7), ATTR_CELL_JUSTIFY, &justify);
    EXPECT_NE(VAL_CENTER_JUSTIFIED, justify);
    GetTableCellAttribute(panel, table, Cell(1, 4), ATTR_CELL_JUSTIFY, &justify);
    EXPECT_EQ(VAL_CENTER_JUSTIFIED, justify);
    ASSERT_EQ(0, DeleteTableRows(panel, table, 2, 2));  // rows 4 and 5 become 2 and 3
    EXPECT_EQ(4.0, Num(1, 2));
    GetTableCellAttribute(panel, table, Cell(1, 2), ATTR_CELL_JUSTIFY, &justify);
    EXPECT_EQ(VAL_CENTER_JUSTIFIED, justify);
    GetNumTableCellRingItems(panel, table, Cell(2, 3), &items);
    EXPECT_EQ(2, items);
    int type = -1;
    GetTableCellAttribute(panel, table, Cell(2, 4), ATTR_CELL_TYPE, &type);
    EXPECT_EQ(VAL_CELL_STRING, type);
    int rows = 0;
    GetNumTableRows(panel, table, &rows);
    EXPECT_EQ(6, rows);
}

} // namespace
