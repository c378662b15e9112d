// User-interface run-time: a sample panel built by the panel building rules
// with every control kind, inserted as a tab page, driven as a user would.
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"

namespace {

// Control ids of the sample page, written by the builder.
int S_NUM, S_STR, S_RING, S_TEXTBOX, S_MSG, S_CMD, S_CHK, S_RADIO, S_TOGGLE, S_LED, S_TREE, S_TABLE, S_GRAPH,
    S_CANVAS, S_SLIDE, S_PICTBTN, S_DECO, S_PICT;
int MAIN_TAB;
int g_events[32];
int g_lastEvent, g_lastData1, g_lastData2;

int CountCb(int, int, int event, void*, int d1, int d2)
{
    if (event >= 0 && event < 32) ++g_events[event];
    g_lastEvent = event;
    g_lastData1 = d1;
    g_lastData2 = d2;
    return 0;
}

#define TRY(call)                \
    do {                         \
        int s_ = (call);         \
        if (s_ < 0) return s_;   \
    } while (0)

// Closing size adjustment of the building rules.
int FitPanel(int panel, bool topLevel, int top, int left, int height, int width)
{
    TRY(SetPanelAttribute(panel, ATTR_SCALE_CONTENTS_ON_RESIZE, 1));
    int p = 0;
    TRY(GetSystemAttribute(ATTR_RESOLUTION_ADJUSTMENT, &p));
    if (p == -1) p = 0;
    if (p != 0) {
        int mon = 0, h = 0, w = 0;
        TRY(GetMonitorFromPanel(panel, &mon));
        TRY(GetMonitorAttribute(mon, ATTR_SYSTEM_MONITOR_HEIGHT, &h));
        TRY(GetMonitorAttribute(mon, ATTR_SYSTEM_MONITOR_WIDTH, &w));
        float fv = float(1.0 + (h / 1160.0 - 1.0) * 0.01 * p);
        float fh = float(1.0 + (w / 1920.0 - 1.0) * 0.01 * p);
        TRY(SetPanelAttribute(panel, ATTR_HEIGHT, int(fv * height)));
        TRY(SetPanelAttribute(panel, ATTR_WIDTH, int(fh * width)));
        TRY(SetPanelAttribute(panel, ATTR_TOP, int(fv * top)));
        TRY(SetPanelAttribute(panel, ATTR_LEFT, int(fh * left)));
    }
    if (topLevel) {
        TRY(SetPanelAttribute(panel, ATTR_TOP, VAL_AUTO_CENTER));
        TRY(SetPanelAttribute(panel, ATTR_LEFT, VAL_AUTO_CENTER));
    }
    return SetPanelAttribute(panel, ATTR_SCALE_CONTENTS_ON_RESIZE, 0);
}

int NewCtrlWith(int panel, int kind, const char* label, int top, int left, int* id)
{
    int c = NewCtrl(panel, kind, label, top, left);
    if (c < 0) return c;
    *id = c;
    return c;
}

// A page builder: every control kind, statuses tested, first negative returned.
int BuildSamplePage(int parent)
{
    int panel = NewPanel(parent, "", 15, 203, 607, 795);
    if (panel < 0) return panel;
    TRY(SetPanelAttribute(panel, ATTR_CONSTANT_NAME, "TAB_SAMPLE"));
    TRY(SetPanelAttribute(panel, ATTR_BACKCOLOR, 0xE0E0E0));

    TRY(NewCtrlWith(panel, CTRL_NUMERIC, "Level", 20, 10, &S_NUM));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_CONSTANT_NAME, "NUM_LEVEL"));
    TRY(InstallCtrlCallback(panel, S_NUM, CountCb, nullptr));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_CTRL_MODE, VAL_HOT));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_DATA_TYPE, VAL_DOUBLE));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_TEXT_FONT, "Arial"));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_DFLT_VALUE, 1.5));
    TRY(DefaultCtrl(panel, S_NUM));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_MIN_VALUE, 0.0));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_MAX_VALUE, 100.0));
    TRY(SetCtrlAttribute(panel, S_NUM, ATTR_PRECISION, 3));

    TRY(NewCtrlWith(panel, CTRL_STRING, "Name", 60, 10, &S_STR));
    TRY(InstallCtrlCallback(panel, S_STR, CountCb, nullptr));
    TRY(SetCtrlAttribute(panel, S_STR, ATTR_MAX_ENTRY_LENGTH, 8));
    TRY(SetCtrlAttribute(panel, S_STR, ATTR_TEXT_BGCOLOR, 0xF7F7F7));

    TRY(NewCtrlWith(panel, CTRL_RING, "View", 100, 10, &S_RING));
    TRY(InstallCtrlCallback(panel, S_RING, CountCb, nullptr));
    TRY(InsertListItem(panel, S_RING, -1, "I / Q", 3));
    TRY(InsertListItem(panel, S_RING, -1, "Log Mag", 2));
    TRY(InsertListItem(panel, S_RING, -1, "Phase", 1));
    TRY(InsertListItem(panel, S_RING, -1, "Frequency", 4));

    TRY(NewCtrlWith(panel, CTRL_TEXT_BOX, "Log", 140, 10, &S_TEXTBOX));
    TRY(SetCtrlAttribute(panel, S_TEXTBOX, ATTR_TEXT_FONT, "Courier New"));
    TRY(NewCtrlWith(panel, CTRL_TEXT_MSG, "-", 240, 10, &S_MSG));
    TRY(SetCtrlAttribute(panel, S_MSG, ATTR_TEXT_JUSTIFY, VAL_RIGHT_JUSTIFIED));
    TRY(NewCtrlWith(panel, CTRL_COMMAND_BUTTON, "Go", 270, 10, &S_CMD));
    TRY(InstallCtrlCallback(panel, S_CMD, CountCb, nullptr));
    TRY(NewCtrlWith(panel, CTRL_CHECK_BOX, "Enable", 300, 10, &S_CHK));
    TRY(InstallCtrlCallback(panel, S_CHK, CountCb, nullptr));
    TRY(NewCtrlWith(panel, CTRL_RADIO_BUTTON, "Use", 320, 10, &S_RADIO));
    TRY(NewCtrlWith(panel, CTRL_TOGGLE_BUTTON, "", 340, 10, &S_TOGGLE));
    TRY(SetCtrlAttribute(panel, S_TOGGLE, ATTR_ON_TEXT, "Mkr ON"));
    TRY(SetCtrlAttribute(panel, S_TOGGLE, ATTR_OFF_TEXT, "Mkr OFF"));
    TRY(NewCtrlWith(panel, CTRL_LED, "", 370, 10, &S_LED));
    TRY(NewCtrlWith(panel, CTRL_DECORATION, "", 380, 300, &S_DECO));
    TRY(NewCtrlWith(panel, CTRL_PICTURE, "", 380, 420, &S_PICT));

    int bitmap = 0;
    TRY(NewCtrlWith(panel, CTRL_PICTURE_BUTTON, "", 390, 10, &S_PICTBTN));
    TRY(NewBitmap(16, 16, 0x3060C0, &bitmap));
    TRY(SetCtrlBitmap(panel, S_PICTBTN, bitmap));
    TRY(DiscardBitmap(bitmap));

    TRY(NewCtrlWith(panel, CTRL_TREE, "", 20, 200, &S_TREE));
    TRY(InstallCtrlCallback(panel, S_TREE, CountCb, nullptr));
    TRY(NewCtrlWith(panel, CTRL_TABLE, "", 20, 420, &S_TABLE));
    TRY(InstallCtrlCallback(panel, S_TABLE, CountCb, nullptr));
    TRY(InsertTableColumns(panel, S_TABLE, -1, 1, VAL_CELL_NUMERIC));
    TRY(InsertTableColumns(panel, S_TABLE, -1, 1, VAL_CELL_STRING));
    TRY(SetTableColumnAttribute(panel, S_TABLE, 1, ATTR_LABEL_TEXT, "Value"));
    TRY(InsertTableRows(panel, S_TABLE, -1, 10, VAL_USE_MASTER_CELL_TYPE));

    TRY(NewCtrlWith(panel, CTRL_GRAPH, "", 200, 200, &S_GRAPH));
    TRY(InstallCtrlCallback(panel, S_GRAPH, CountCb, nullptr));
    TRY(SetCtrlAttribute(panel, S_GRAPH, ATTR_NUM_CURSORS, 2));
    TRY(SetAxisRange(panel, S_GRAPH, VAL_MANUAL, 0.0, 100.0, VAL_MANUAL, 0.0, 23.0));
    TRY(NewCtrlWith(panel, CTRL_CANVAS, "", 420, 200, &S_CANVAS));
    TRY(NewCtrlWith(panel, CTRL_NUMERIC_HSLIDE, "", 580, 10, &S_SLIDE));
    TRY(SetCtrlAttribute(panel, S_SLIDE, ATTR_MAX_VALUE, 100.0));
    SetNumericColorRamp(panel, S_SLIDE, nullptr, 0xFF0000, 0);
    TRY(SetCtrlAttribute(panel, S_MSG, ATTR_ZPLANE_POSITION, 0));
    TRY(FitPanel(panel, false, 15, 203, 607, 795));
    return panel;
}

int BuildMain(int parent)
{
    int panel = NewPanel(parent, "", 29, 17, 675, 1000);
    if (panel < 0) return panel;
    TRY(SetPanelAttribute(panel, ATTR_CONSTANT_NAME, "PANEL_MAIN"));
    TRY(NewCtrlWith(panel, CTRL_TAB, "", 21, 201, &MAIN_TAB));
    int page = BuildSamplePage(0);
    if (page < 0) return page;
    TRY(InsertPanelAsTabPage(panel, MAIN_TAB, -1, page));
    DiscardPanel(page);
    TRY(SetTabPageAttribute(panel, MAIN_TAB, 0, ATTR_LABEL_TEXT, " Log "));
    TRY(SetCtrlAttribute(panel, MAIN_TAB, ATTR_WIDTH, 799));
    TRY(SetCtrlAttribute(panel, MAIN_TAB, ATTR_HEIGHT, 633));
    int bar = NewMenuBar(panel);
    if (bar < 0) return bar;
    TRY(FitPanel(panel, true, 29, 17, 675, 1000));
    return panel;
}

class UiTest : public cz::test::OffscreenAppTest {
protected:
    void SetUp() override
    {
        OffscreenAppTest::SetUp();
        for (int& e : g_events) e = 0;
        main = BuildMain(0);
        ASSERT_GT(main, 0);
        ASSERT_EQ(0, GetPanelHandleFromTabPage(main, MAIN_TAB, 0, &page));
    }
    int main = 0, page = 0;
};

TEST_F(UiTest, ValuesAndAttributesRoundTripOnTheInsertedPage)
{
    // Program values are kept exactly and never clamped or rounded.
    ASSERT_EQ(0, SetCtrlVal(page, S_NUM, 1.23456789012e-7));
    double d = 0;
    ASSERT_EQ(0, GetCtrlVal(page, S_NUM, &d));
    EXPECT_EQ(1.23456789012e-7, d);
    ASSERT_EQ(0, SetCtrlVal(page, S_NUM, 250.0));
    ASSERT_EQ(0, GetCtrlVal(page, S_NUM, &d));
    EXPECT_EQ(250.0, d);
    // Defaults set before insertion came along with the copy.
    ASSERT_EQ(0, DefaultCtrl(page, S_NUM));
    ASSERT_EQ(0, GetCtrlVal(page, S_NUM, &d));
    EXPECT_EQ(1.5, d);
    char buf[64];
    ASSERT_EQ(0, GetCtrlAttribute(page, S_NUM, ATTR_CONSTANT_NAME, buf, sizeof buf));
    EXPECT_STREQ("NUM_LEVEL", buf);
    ASSERT_EQ(0, GetCtrlAttribute(page, S_NUM, ATTR_TEXT_FONT, buf, sizeof buf));
    EXPECT_STREQ("Arial", buf);
    int v = 0;
    ASSERT_EQ(0, GetCtrlAttribute(page, S_STR, ATTR_TEXT_BGCOLOR, &v));
    EXPECT_EQ(0xF7F7F7, v);
    ASSERT_EQ(0, SetCtrlVal(page, S_STR, "longer than eight"));
    ASSERT_EQ(0, GetCtrlVal(page, S_STR, buf, sizeof buf));
    EXPECT_STREQ("longer than eight", buf);
    // Wrong types and unknown ids are negative statuses.
    EXPECT_EQ(UI_ERR_BAD_TYPE, SetCtrlAttribute(page, S_NUM, ATTR_TEXT_FONT, 3));
    EXPECT_EQ(UI_ERR_BAD_CONTROL, SetCtrlVal(page, 9999, 1));
    EXPECT_EQ(UI_ERR_BAD_PANEL, SetCtrlVal(9999, S_NUM, 1));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableCellVal(page, S_TABLE, Cell(1, 11), 1.0));
    EXPECT_EQ(UI_ERR_BAD_ITEM, SetTreeItemAttribute(page, S_TREE, 5, ATTR_MARK_STATE, 1));
    int tabs = 0;
    ASSERT_EQ(0, GetNumTabPages(main, MAIN_TAB, &tabs));
    EXPECT_EQ(1, tabs);
    ASSERT_EQ(0, GetTabPageAttribute(main, MAIN_TAB, 0, ATTR_LABEL_TEXT, buf, sizeof buf));
    EXPECT_STREQ(" Log ", buf);
}

TEST_F(UiTest, UserInputIsCoercedAndModesDecideEvents)
{
    ASSERT_EQ(1, UiTest_EnterValue(page, S_NUM, 250.0));
    double d = 0;
    GetCtrlVal(page, S_NUM, &d);
    EXPECT_EQ(100.0, d);
    EXPECT_EQ(1, g_events[EVENT_COMMIT]);
    ASSERT_EQ(1, UiTest_EnterValue(page, S_STR, "longer than eight"));
    char buf[64];
    GetCtrlVal(page, S_STR, buf, sizeof buf);
    EXPECT_STREQ("longer t", buf);
    // Normal mode: the user may operate it, nothing is raised.
    SetCtrlAttribute(page, S_NUM, ATTR_CTRL_MODE, VAL_NORMAL);
    g_events[EVENT_COMMIT] = 0;
    EXPECT_EQ(1, UiTest_EnterValue(page, S_NUM, 5.0));
    EXPECT_EQ(0, g_events[EVENT_COMMIT]);
    // Validating mode refuses out-of-range input and keeps the old value.
    SetCtrlAttribute(page, S_NUM, ATTR_CTRL_MODE, VAL_VALIDATE);
    EXPECT_EQ(0, UiTest_EnterValue(page, S_NUM, -1.0));
    GetCtrlVal(page, S_NUM, &d);
    EXPECT_EQ(5.0, d);
    // Indicator and dimmed controls refuse the user.
    SetCtrlAttribute(page, S_NUM, ATTR_CTRL_MODE, VAL_INDICATOR);
    EXPECT_EQ(0, UiTest_EnterValue(page, S_NUM, 7.0));
    SetCtrlAttribute(page, S_CMD, ATTR_DIMMED, 1);
    EXPECT_EQ(0, UiTest_ClickCtrl(page, S_CMD));
}

TEST_F(UiTest, ProgrammaticChangesRaiseNoEvents)
{
    SetCtrlVal(page, S_NUM, 3.0);
    SetCtrlVal(page, S_STR, "x");
    SetCtrlVal(page, S_RING, 2);
    SetCtrlVal(page, S_CHK, 1);
    SetGraphCursor(page, S_GRAPH, 1, 10.0, 5.0);
    SetTableCellVal(page, S_TABLE, Cell(1, 1), 4.0);
    InsertTreeItem(page, S_TREE, VAL_SIBLING, -1, VAL_LAST, "a", "a", nullptr, 1);
    SetTreeItemAttribute(page, S_TREE, 0, ATTR_MARK_STATE, 1);
    SetActiveTableCell(page, S_TABLE, Cell(1, 2));
    ProcessSystemEvents();
    for (int e : g_events) EXPECT_EQ(0, e);
}

TEST_F(UiTest, RingValueIsNotItsIndex)
{
    ASSERT_EQ(0, SetCtrlVal(page, S_RING, 1));
    int index = -1, value = 0;
    ASSERT_EQ(0, GetCtrlIndex(page, S_RING, &index));
    EXPECT_EQ(2, index);
    ASSERT_EQ(1, UiTest_ChooseRingIndex(page, S_RING, 0));
    ASSERT_EQ(0, GetCtrlVal(page, S_RING, &value));
    EXPECT_EQ(3, value);
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetCtrlVal(page, S_RING, 7));
    char label[32];
    ASSERT_EQ(0, GetIndexFromLabel(page, S_RING, &index, "Frequency"));
    ASSERT_EQ(0, GetLabelFromIndex(page, S_RING, index, label, sizeof label));
    EXPECT_STREQ("Frequency", label);
}

int g_innerCommits = 0, g_gotEvent = 0, g_gotCtrl = 0;
int InnerCb(int, int, int event, void*, int, int)
{
    if (event == EVENT_COMMIT) ++g_innerCommits;
    return 0;
}
int LongOperationCb(int panel, int, int event, void*, int, int)
{
    if (event != EVENT_COMMIT) return 0;
    // The user presses Stop while this callback runs.
    UiTest_ClickCtrl(panel, S_CHK);
    ProcessSystemEvents();
    int p = 0, c = 0;
    g_gotEvent = GetUserEvent(VAL_NO_WAIT, &p, &c);
    g_gotCtrl = c;
    return 0;
}

TEST_F(UiTest, InputDuringACallbackIsQueuedNotDispatched)
{
    InstallCtrlCallback(page, S_CHK, InnerCb, nullptr);
    InstallCtrlCallback(page, S_CMD, LongOperationCb, nullptr);
    g_innerCommits = 0;
    ASSERT_EQ(1, UiTest_ClickCtrl(page, S_CMD));
    EXPECT_EQ(0, g_innerCommits);
    EXPECT_EQ(EVENT_COMMIT, g_gotEvent);
    EXPECT_EQ(S_CHK, g_gotCtrl);
    EXPECT_EQ(0, UiTest_QueuedUserEvents());
    // Outside a callback the same click dispatches.
    UiTest_ClickCtrl(page, S_CHK);
    EXPECT_EQ(1, g_innerCommits);
}

int RefuseMarkCb(int, int, int event, void*, int, int) { return event == EVENT_MARK_STATE_CHANGE ? 1 : 0; }

TEST_F(UiTest, TreeTagsAreUniqueAndMarkChangesCanBeRefused)
{
    char tag1[UI_TAG_LEN], tag2[UI_TAG_LEN];
    int root = InsertTreeItem(page, S_TREE, VAL_SIBLING, -1, VAL_LAST, "Pulse Library", "_PULSELIB", nullptr, 0);
    int a = InsertTreeItem(page, S_TREE, VAL_CHILD, root, VAL_LAST, "P1", "P1", tag1, 7);
    int b = InsertTreeItem(page, S_TREE, VAL_CHILD, root, VAL_LAST, "P1", "P1", tag2, 8);
    InsertTreeItem(page, S_TREE, VAL_CHILD, a, VAL_LAST, "Timing", nullptr, nullptr, 0);
    ASSERT_GE(b, 0);
    EXPECT_STRNE(tag1, tag2);
    int found = -1, parent = -1, level = -1, value = 0;
    ASSERT_EQ(0, GetTreeItemFromTag(page, S_TREE, tag2, &found));
    ASSERT_EQ(0, GetValueFromIndex(page, S_TREE, found, &value));
    EXPECT_EQ(8, value);
    ASSERT_EQ(0, GetTreeItemParent(page, S_TREE, found, &parent));
    EXPECT_EQ(root, parent);
    ASSERT_EQ(0, GetTreeItemLevel(page, S_TREE, found, &level));
    EXPECT_EQ(1, level);
    // A click on the item reaches the callback with a point that finds it again.
    ASSERT_EQ(1, UiTest_ClickTreeItem(page, S_TREE, found, false));
    EXPECT_EQ(1, g_events[EVENT_LEFT_CLICK]);
    int hit = -1;
    ASSERT_EQ(0, GetTreeItemFromPoint(page, S_TREE, MakePoint(g_lastData2, g_lastData1), &hit, nullptr));
    // (the last event was the selection change; the click came first)
    SetTreeItemAttribute(page, S_TREE, a, ATTR_MARK_TYPE, VAL_MARK_CHECK);
    EXPECT_EQ(1, UiTest_SetMarkState(page, S_TREE, a, 1));
    InstallCtrlCallback(page, S_TREE, RefuseMarkCb, nullptr);
    EXPECT_EQ(0, UiTest_SetMarkState(page, S_TREE, a, 0));
    int mark = 0;
    GetTreeItemAttribute(page, S_TREE, a, ATTR_MARK_STATE, &mark);
    EXPECT_EQ(1, mark);
    // Deleting an item takes its children; its tag becomes free again.
    ASSERT_EQ(0, DeleteTreeItem(page, S_TREE, a));
    int count = 0;
    GetNumTreeItems(page, S_TREE, &count);
    EXPECT_EQ(2, count);
}

TEST_F(UiTest, TableCellsAreTypedAndCommitsCarryRowAndColumn)
{
    ASSERT_EQ(0, SetTableCellVal(page, S_TABLE, Cell(1, 3), 2.5));
    ASSERT_EQ(0, SetTableCellVal(page, S_TABLE, Cell(2, 3), "abc"));
    EXPECT_EQ(UI_ERR_BAD_TYPE, SetTableCellVal(page, S_TABLE, Cell(1, 3), "abc"));
    SetTableCellAttribute(page, S_TABLE, Cell(1, 4), ATTR_MAX_VALUE, 10.0);
    ASSERT_EQ(1, UiTest_CommitTableCell(page, S_TABLE, Cell(1, 4), 99.0));
    EXPECT_EQ(EVENT_COMMIT, g_lastEvent);
    EXPECT_EQ(4, g_lastData1);
    EXPECT_EQ(1, g_lastData2);
    double d = 0;
    GetTableCellVal(page, S_TABLE, Cell(1, 4), &d);
    EXPECT_EQ(10.0, d);
    SetTableCellAttribute(page, S_TABLE, Cell(1, 5), ATTR_CELL_DIMMED, 1);
    EXPECT_EQ(0, UiTest_CommitTableCell(page, S_TABLE, Cell(1, 5), 1.0));
    ASSERT_EQ(1, UiTest_ClickTableCell(page, S_TABLE, Cell(2, 6), false));
    Point cell{0, 0};
    ASSERT_EQ(0, GetTableCellFromPoint(page, S_TABLE, MakePoint(g_lastData2, g_lastData1), &cell));
    EXPECT_EQ(2, cell.x);
    EXPECT_EQ(6, cell.y);
    ASSERT_EQ(0, DeleteTableRows(page, S_TABLE, 1, 4));
    int rows = 0;
    GetNumTableRows(page, S_TABLE, &rows);
    EXPECT_EQ(6, rows);
    GetTableCellVal(page, S_TABLE, Cell(1, 1), &d); // old row 5 moved up
    EXPECT_EQ(0.0, d);
}

TEST_F(UiTest, GraphKeepsADisplayListAndCursorsDrag)
{
    SetCtrlAttribute(page, S_GRAPH, ATTR_REFRESH_GRAPH, 0);
    int line = PlotLine(page, S_GRAPH, 0, 0, 1, 1, 0x808000);
    PlotPoint(page, S_GRAPH, 50.0, 10.0, VAL_SOLID_SQUARE, 0xFFFF00);
    PlotOval(page, S_GRAPH, -1, -1, 1, 1, 0x808080, VAL_TRANSPARENT);
    ASSERT_GT(line, 0);
    auto plots = UiTest_GetPlots(page, S_GRAPH);
    ASSERT_EQ(3u, plots.size());
    EXPECT_EQ("point", plots[1].kind);
    EXPECT_EQ(VAL_SOLID_SQUARE, plots[1].pointStyle);
    ASSERT_EQ(0, DeleteGraphPlot(page, S_GRAPH, line, VAL_DELAYED_DRAW));
    EXPECT_EQ(2u, UiTest_GetPlots(page, S_GRAPH).size());
    ASSERT_EQ(1, UiTest_DragGraphCursor(page, S_GRAPH, 2, 66.5, 7.5, 4));
    EXPECT_EQ(4, g_events[EVENT_VAL_CHANGED]);
    EXPECT_EQ(1, g_events[EVENT_COMMIT]);
    double x = 0, y = 0;
    int active = 0;
    GetGraphCursor(page, S_GRAPH, 2, &x, &y);
    EXPECT_EQ(66.5, x);
    GetActiveGraphCursor(page, S_GRAPH, &active);
    EXPECT_EQ(2, active);
    // A snapping cursor lands on the nearest plotted point.
    SetCursorAttribute(page, S_GRAPH, 1, ATTR_CURSOR_MODE, VAL_SNAP_TO_POINT);
    UiTest_DragGraphCursor(page, S_GRAPH, 1, 48.0, 11.0, 1);
    GetGraphCursor(page, S_GRAPH, 1, &x, &y);
    EXPECT_EQ(50.0, x);
    EXPECT_EQ(10.0, y);
    EXPECT_EQ(UI_ERR_NO_CURSOR, GetGraphCursor(page, S_GRAPH, 3, &x, &y));
}

TEST_F(UiTest, CanvasRecordsOperationsIntoItsBuffer)
{
    SetCtrlAttribute(page, S_CANVAS, ATTR_PEN_FILL_COLOR, 0x00FF00);
    ASSERT_EQ(0, CanvasClear(page, S_CANVAS, MakeRect(0, 0, -1, -1)));
    ASSERT_EQ(0, CanvasDrawRect(page, S_CANVAS, MakeRect(10, 10, 20, 20), VAL_DRAW_INTERIOR));
    Point tri[3] = {{50, 50}, {60, 50}, {55, 60}};
    ASSERT_EQ(0, CanvasDrawPoly(page, S_CANVAS, 3, tri, 1, VAL_DRAW_FRAME));
    auto ops = UiTest_GetCanvasOps(page, S_CANVAS);
    ASSERT_EQ(3u, ops.size());
    EXPECT_EQ("rect", ops[1].kind);
    EXPECT_EQ(3u, ops[2].points.size());
    EXPECT_EQ(0x00FF00, UiTest_CanvasPixel(page, S_CANVAS, 15, 15));
}

TEST_F(UiTest, TextBoxAppendsAndCounts)
{
    for (int i = 0; i < 100; ++i) SetCtrlVal(page, S_TEXTBOX, ("line " + std::to_string(i)).c_str());
    int n = 0;
    GetNumTextBoxLines(page, S_TEXTBOX, &n);
    EXPECT_EQ(100, n);
    char buf[32];
    GetTextBoxLine(page, S_TEXTBOX, 99, buf, sizeof buf);
    EXPECT_STREQ("line 99", buf);
    ASSERT_EQ(0, SetCtrlAttribute(page, S_TEXTBOX, ATTR_FIRST_VISIBLE_LINE, 90));
    int first = 0;
    GetCtrlAttribute(page, S_TEXTBOX, ATTR_FIRST_VISIBLE_LINE, &first);
    EXPECT_EQ(90, first);
    ResetTextBox(page, S_TEXTBOX, "");
    GetNumTextBoxLines(page, S_TEXTBOX, &n);
    EXPECT_EQ(0, n);
}

int g_closeEvents = 0;
int ClosePanelCb(int, int event, void*, int, int)
{
    if (event == EVENT_CLOSE) ++g_closeEvents;
    return 0;
}
int g_menuItem = 0;
void MenuCb(int, int item, void*, int) { g_menuItem = item; }

TEST_F(UiTest, CloseBoxRaisesThePanelEventAndMenusDispatch)
{
    InstallPanelCallback(main, ClosePanelCb, nullptr);
    DisplayPanel(main);
    g_closeEvents = 0;
    ASSERT_EQ(1, UiTest_PressCloseBox(main));
    EXPECT_EQ(1, g_closeEvents);
    int visible = 0;
    GetPanelAttribute(main, ATTR_VISIBLE, &visible);
    EXPECT_EQ(1, visible);
    int bar = GetPanelMenuBar(main);
    ASSERT_GT(bar, 0);
    int menu = NewMenu(bar, "__File", -1);
    int exitItem = NewMenuItem(bar, menu, "E__xit", -1, 0, MenuCb, nullptr);
    ASSERT_GT(exitItem, 0);
    ASSERT_EQ(0, SetMenuBarAttribute(bar, exitItem, ATTR_CHECKED, 1));
    int checked = 0;
    GetMenuBarAttribute(bar, exitItem, ATTR_CHECKED, &checked);
    EXPECT_EQ(1, checked);
    ASSERT_EQ(1, UiTest_ChooseMenuItem(bar, exitItem));
    EXPECT_EQ(exitItem, g_menuItem);
}

TEST_F(UiTest, PopupsAnswerFromTheQueueAndRecordTheirTexts)
{
    UiTest_QueueConfirm(false);
    UiTest_QueueFile("/tmp/x.prj");
    UiTest_QueueMessageOk();
    EXPECT_EQ(0, ConfirmPopup("Warning", "Do you want to exit Cadenza ?\nUnsaved changes will be lost."));
    char path[UI_MAX_PATH];
    int r = FileSelectPopup("/tmp", "*.prj", "", "Save Project File", VAL_SAVE_BUTTON, 0, 1, 1, 1, path, sizeof path);
    EXPECT_GE(r, VAL_EXISTING_FILE_SELECTED);
    EXPECT_STREQ("/tmp/x.prj", path);
    EXPECT_EQ(0, MessagePopup("Error", "Failed to save project file."));
    const auto& rec = UiTest_Popups();
    ASSERT_EQ(3u, rec.size());
    EXPECT_EQ("Do you want to exit Cadenza ?\nUnsaved changes will be lost.", rec[0].text);
    EXPECT_EQ("Save Project File", rec[1].title);
    EXPECT_EQ("Failed to save project file.", rec[2].text);
    UiTest_QueueCancel();
    EXPECT_EQ(VAL_NO_FILE_SELECTED, FileSelectPopup("", "*.prj", "", "Load", VAL_LOAD_BUTTON, 0, 1, 1, 0, path, sizeof path));
    // A popup with no answer fails loudly (here: recorded by a local handler).
    static int unanswered = 0;
    UiTest_SetUnansweredPopupHandler([](const char*, const char*, const char*) { ++unanswered; });
    EXPECT_EQ(UI_ERR_NO_ANSWER, MessagePopup("Info", "unexpected"));
    EXPECT_EQ(1, unanswered);
}

TEST_F(UiTest, FailingNthCallMakesTheBuilderReturnThatStatus)
{
    UiTest_Reset();
    ASSERT_GT(BuildMain(0), 0);
    const int total = int(UiTest_CallCount());
    for (int n : {1, 7, 40, total}) {
        UiTest_Reset();
        UiTest_FailNthCall(n, -42);
        EXPECT_EQ(-42, BuildMain(0)) << "call " << n;
    }
    UiTest_Reset();
    UiTest_FailNthCall(0, 0);
    EXPECT_GT(BuildMain(0), 0);
}

struct ResolutionCase {
    int adjustment, monitorW, monitorH, height, width;
};

TEST_F(UiTest, ResolutionAdjustmentScalesAndCentres)
{
    const ResolutionCase cases[] = {
        {100, 1280, 1024, 595, 666}, {100, 1920, 1200, 698, 1000}, {50, 1920, 1080, 651, 1000},
        {100, 1920, 1160, 675, 1000}, {0, 1280, 1024, 675, 1000},   {-1, 1280, 1024, 675, 1000},
    };
    for (const auto& k : cases) {
        UiTest_Reset();
        UiTest_SetMonitorSize(k.monitorW, k.monitorH);
        ASSERT_EQ(0, SetSystemAttribute(ATTR_RESOLUTION_ADJUSTMENT, k.adjustment));
        int p = BuildMain(0);
        ASSERT_GT(p, 0);
        int h = 0, w = 0, top = 0, left = 0, tabW = 0;
        GetPanelAttribute(p, ATTR_HEIGHT, &h);
        GetPanelAttribute(p, ATTR_WIDTH, &w);
        GetPanelAttribute(p, ATTR_TOP, &top);
        GetPanelAttribute(p, ATTR_LEFT, &left);
        EXPECT_EQ(k.height, h) << k.adjustment << " " << k.monitorW << "x" << k.monitorH;
        EXPECT_EQ(k.width, w) << k.adjustment << " " << k.monitorW << "x" << k.monitorH;
        EXPECT_EQ((k.monitorH - h) / 2, top);
        EXPECT_EQ((k.monitorW - w) / 2, left);
        // the controls scale with the panel
        GetCtrlAttribute(p, MAIN_TAB, ATTR_WIDTH, &tabW);
        if (k.width == 666) {
            EXPECT_EQ(532, tabW); // 799 x 666 / 1000
        }
    }
}

TEST_F(UiTest, GrabWritesAPng)
{
    DisplayPanel(main);
    PlotLine(page, S_GRAPH, 0, 0, 100, 23, 0xFFFF00);
    cz::test::TempDir dir;
    std::string path = dir.path() + "/main.png";
    ASSERT_EQ(1, UiTest_GrabPanelPng(main, path.c_str()));
    auto bytes = cz::test::ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ('P', bytes[1]);
}

} // namespace
