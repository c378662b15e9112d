// User-interface run-time speed: a 10,000-row table column, 70,000 text-box
// lines and a 100,000-point graph, each including the repaint that shows it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include <QWidget>

#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"

namespace {

int OffscreenPanel(int kind, int height, int width, int* control)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    InitUserInterface(0, nullptr);
    UiTest_Reset();
    int panel = NewPanel(0, "bench", 0, 0, height + 20, width + 20);
    *control = NewCtrl(panel, kind, "", 10, 10);
    SetCtrlAttribute(panel, *control, ATTR_HEIGHT, height);
    SetCtrlAttribute(panel, *control, ATTR_WIDTH, width);
    DisplayPanel(panel);
    return panel;
}

void BM_TableColumnFill10000(benchmark::State& state)
{
    int table = 0;
    int panel = OffscreenPanel(CTRL_TABLE, 400, 600, &table);
    InsertTableColumns(panel, table, -1, 15, VAL_CELL_NUMERIC);
    InsertTableRows(panel, table, -1, 10000, VAL_USE_MASTER_CELL_TYPE);
    ProcessDrawEvents();
    double v = 0.0;
    for (auto _ : state) {
        for (int row = 1; row <= 10000; ++row) SetTableCellVal(panel, table, Cell(3, row), v + row * 0.5);
        v += 1.0;
        ProcessDrawEvents();
        UiTest_Widget(panel, table)->repaint();
    }
}
BENCHMARK(BM_TableColumnFill10000)->Unit(benchmark::kMillisecond);

void BM_TextBoxAppend70000(benchmark::State& state)
{
    int box = 0;
    int panel = OffscreenPanel(CTRL_TEXT_BOX, 400, 600, &box);
    const std::string line = "12:00:00   Drawing sample 1 - 100000.";
    for (auto _ : state) {
        ResetTextBox(panel, box, "");
        ProcessDrawEvents();
        for (int i = 0; i < 70000; ++i) SetCtrlVal(panel, box, line.c_str());
        SetCtrlAttribute(panel, box, ATTR_FIRST_VISIBLE_LINE, 70000 - 20);
        ProcessDrawEvents();
        UiTest_Widget(panel, box)->repaint();
    }
}
BENCHMARK(BM_TextBoxAppend70000)->Unit(benchmark::kMillisecond);

void BM_GraphPoints100000(benchmark::State& state)
{
    int graph = 0;
    int panel = OffscreenPanel(CTRL_GRAPH, 305, 707, &graph);
    SetAxisRange(panel, graph, VAL_MANUAL, -1.0, 1.0, VAL_MANUAL, -1.0, 1.0);
    for (auto _ : state) {
        SetCtrlAttribute(panel, graph, ATTR_REFRESH_GRAPH, 0);
        DeleteGraphPlot(panel, graph, VAL_ALL_PLOTS, VAL_NO_DRAW);
        for (int i = 0; i < 100000; ++i) {
            double t = i * 1e-5;
            PlotPoint(panel, graph, t * 2 - 1, (i % 997) / 498.5 - 1, VAL_SIMPLE_DOT, 0xFFFF00);
        }
        SetCtrlAttribute(panel, graph, ATTR_REFRESH_GRAPH, 1);
        UiTest_Widget(panel, graph)->repaint();
    }
}
BENCHMARK(BM_GraphPoints100000)->Unit(benchmark::kMillisecond);

} // namespace
