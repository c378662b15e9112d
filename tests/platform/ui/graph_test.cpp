// Graph and canvas controls: the graph's display list and plot deletion,
// axis scaling (manual, autoscale, lock), names and log scaling, cursors
// free and snapping, events while dragged; the canvas's recorded drawing.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <cmath>
#include <vector>

#include "tests/platform/ui/UiEvents.h"

namespace {

using cz::test::CountOf;
using cz::test::Recorded;

class GraphTest : public cz::test::UiPanelTest {
protected:
    void SetUp() override
    {
        UiPanelTest::SetUp();
        graph = Make(CTRL_GRAPH);
        SetCtrlAttribute(panel, graph, ATTR_HEIGHT, 200);
        SetCtrlAttribute(panel, graph, ATTR_WIDTH, 300);
        SetAxisRange(panel, graph, VAL_MANUAL, 0.0, 100.0, VAL_MANUAL, -1.0, 1.0);
    }
    int graph = 0;
};

TEST_F(GraphTest, DisplayListKeepsPlotsUntilDeleted)
{
    const int line = PlotLine(panel, graph, 0, 0, 10, 1, 0xFF0000);
    const int point = PlotPoint(panel, graph, 5, 0.5, VAL_SOLID_CIRCLE, 0x00FF00);
    const int rect = PlotRectangle(panel, graph, 1, -1, 2, 1, 0x0000FF, 0x202020);
    const int text = PlotText(panel, graph, 3, 0, "Marker 1", "Arial", 0xFFFFFF, VAL_TRANSPARENT);
    const double y[4] = {0.1, 0.2, 0.3, 0.4};
    const int trace = PlotY(panel, graph, y, 4, 10.0, 0.5, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 0xFFFF00);
    ASSERT_GT(line, 0);
    EXPECT_LT(line, point);
    EXPECT_LT(rect, text);
    std::vector<UiTest_Plot> plots = UiTest_GetPlots(panel, graph);
    ASSERT_EQ(5u, plots.size());
    EXPECT_EQ("rect", plots[2].kind);
    EXPECT_EQ(0x202020, plots[2].fillColor);
    EXPECT_EQ("Marker 1", plots[3].text);
    ASSERT_EQ(4u, plots[4].x.size());
    EXPECT_EQ(11.5, plots[4].x[3]);
    // Plots copy their arrays.
    int n = 0;
    GetCtrlAttribute(panel, graph, ATTR_NUM_PLOTS, &n);
    EXPECT_EQ(5, n);
    ASSERT_EQ(0, DeleteGraphPlot(panel, graph, point, VAL_DELAYED_DRAW));
    EXPECT_EQ(UI_ERR_BAD_PLOT, DeleteGraphPlot(panel, graph, point, VAL_DELAYED_DRAW));
    plots = UiTest_GetPlots(panel, graph);
    ASSERT_EQ(4u, plots.size());
    EXPECT_EQ(rect, plots[1].handle);
    ASSERT_EQ(0, SetPlotAttribute(panel, graph, trace, ATTR_TRACE_COLOR, 0x123456));
    int colour = 0;
    GetPlotAttribute(panel, graph, trace, ATTR_TRACE_COLOR, &colour);
    EXPECT_EQ(0x123456, colour);
    EXPECT_EQ(UI_ERR_BAD_PLOT, SetPlotAttribute(panel, graph, 999, ATTR_TRACE_COLOR, 0));
    ASSERT_EQ(0, DeleteGraphPlot(panel, graph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW));
    EXPECT_TRUE(UiTest_GetPlots(panel, graph).empty());
    // A handle is never given twice.
    EXPECT_GT(PlotLine(panel, graph, 0, 0, 1, 1, 0), trace);
}

TEST_F(GraphTest, AxesScaleManuallyOrToThePlotsAndLock)
{
    const double x[3] = {2.0, 4.0, 8.0}, y[3] = {-3.0, 5.0, 1.0};
    PlotXY(panel, graph, x, y, 3, VAL_SCATTER, VAL_SOLID_SQUARE, VAL_SOLID, 0xFFFFFF);
    double lo = 0, hi = 0;
    GetCtrlAttribute(panel, graph, ATTR_YAXIS_MAX, &hi);
    EXPECT_EQ(1.0, hi);
    ASSERT_EQ(0, SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0, 0));
    int mode = -1;
    ASSERT_EQ(0, GetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, &mode, &lo, &hi));
    EXPECT_EQ(VAL_AUTOSCALE, mode);
    EXPECT_EQ(-3.0, lo);
    EXPECT_EQ(5.0, hi);
    GetCtrlAttribute(panel, graph, ATTR_YAXIS_MIN, &lo);
    EXPECT_EQ(-3.0, lo);
    // Lock keeps the range shown now while more plots arrive.
    ASSERT_EQ(0, SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_LOCK, 0, 0));
    PlotPoint(panel, graph, 3.0, 50.0, VAL_X, 0xFFFFFF);
    GetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(VAL_MANUAL, mode);
    EXPECT_EQ(5.0, hi);
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_MANUAL, 2.0, 2.0));
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetAxisScalingMode(panel, graph, 4, VAL_MANUAL, 0.0, 1.0));
    // SetAxisRange with VAL_LOCK leaves that axis alone.
    ASSERT_EQ(0, SetAxisRange(panel, graph, VAL_LOCK, 0, 0, VAL_MANUAL, 0.0, 2.0));
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    int xm = 0, ym = 0;
    GetAxisRange(panel, graph, &xm, &x0, &x1, &ym, &y0, &y1);
    EXPECT_EQ(100.0, x1);
    EXPECT_EQ(2.0, y1);
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetAxisRange(panel, graph, 9, 0, 1, VAL_MANUAL, 0, 1));
}

TEST_F(GraphTest, AxisNamesDivisionsAndScalingRoundTrip)
{
    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_XNAME, "Time [us]"));
    ASSERT_EQ(0, SetAxisAttribute(panel, graph, VAL_RIGHT_YAXIS, ATTR_YNAME, "Phase"));
    char name[32];
    GetCtrlAttribute(panel, graph, ATTR_XNAME, name, sizeof name);
    EXPECT_STREQ("Time [us]", name);
    GetAxisAttribute(panel, graph, VAL_RIGHT_YAXIS, ATTR_YNAME, name, sizeof name);
    EXPECT_STREQ("Phase", name);
    ASSERT_EQ(0, SetAxisAttribute(panel, graph, VAL_BOTTOM_XAXIS, ATTR_XDIVISIONS, 4));
    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_YSCALING, VAL_LOG));
    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_YLABEL_VISIBLE, 0));
    int v = 0;
    GetCtrlAttribute(panel, graph, ATTR_XDIVISIONS, &v);
    EXPECT_EQ(4, v);
    GetAxisAttribute(panel, graph, VAL_LEFT_YAXIS, ATTR_YSCALING, &v);
    EXPECT_EQ(VAL_LOG, v);
    GetAxisAttribute(panel, graph, VAL_LEFT_YAXIS, ATTR_YLABEL_VISIBLE, &v);
    EXPECT_EQ(0, v);
    EXPECT_EQ(UI_ERR_BAD_VALUE, GetAxisAttribute(panel, graph, 7, ATTR_XNAME, name, sizeof name));
}

// Labels in another unit than the plots: display points 0 .. 500 read as
// -50 .. +50 (MHz), zero exactly; a gain of 0 or a non-finite value is refused.
TEST_F(GraphTest, AxisLabelsReadGainTimesValuePlusOffset)
{
    SetCtrlAttribute(panel, graph, ATTR_WIDTH, 440);
    SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_MANUAL, 0.0, 500.0);
    SetCtrlAttribute(panel, graph, ATTR_XDIVISIONS, 10);
    ASSERT_EQ(0, SetAxisAttribute(panel, graph, VAL_BOTTOM_XAXIS, ATTR_AXIS_LABEL_GAIN, 100e6 / 500 / 1e6));
    ASSERT_EQ(0, SetAxisAttribute(panel, graph, VAL_BOTTOM_XAXIS, ATTR_AXIS_LABEL_OFFSET, -50.0));
    const std::vector<std::string> labels = UiTest_AxisValueLabels(panel, graph, VAL_BOTTOM_XAXIS);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ("-50", labels.front());
    EXPECT_EQ("50", labels.back());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "0"), labels.end());
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetAxisAttribute(panel, graph, VAL_BOTTOM_XAXIS, ATTR_AXIS_LABEL_GAIN, 0.0));
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetAxisAttribute(panel, graph, VAL_BOTTOM_XAXIS, ATTR_AXIS_LABEL_OFFSET, NAN));
}

TEST_F(GraphTest, HeldRefreshDrawsOnlyWhenReleased)
{
    QWidget* w = UiTest_Widget(panel, graph);
    ASSERT_NE(nullptr, w);
    SetCtrlAttribute(panel, graph, ATTR_PLOT_BGCOLOR, 0x000000);
    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_REFRESH_GRAPH, 0));
    PlotRectangle(panel, graph, 0.0, -1.0, 100.0, 1.0, 0xFF0000, 0xFF0000);
    int refresh = 1;
    GetCtrlAttribute(panel, graph, ATTR_REFRESH_GRAPH, &refresh);
    EXPECT_EQ(0, refresh);
    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_REFRESH_GRAPH, 1));
    const QImage img = w->grab().toImage();
    EXPECT_EQ(QColor(0xFF, 0, 0).rgb(), img.pixel(img.width() / 2, img.height() / 2) | 0xFF000000u);
}

TEST_F(GraphTest, CursorsSnapOrMoveFreelyAndDragRaisesEvents)
{
    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_NUM_CURSORS, 2));
    const double x[3] = {10.0, 50.0, 90.0}, y[3] = {0.5, -0.5, 0.25};
    PlotXY(panel, graph, x, y, 3, VAL_SCATTER, VAL_SOLID_SQUARE, VAL_SOLID, 0xFFFFFF);
    ASSERT_EQ(0, SetCursorAttribute(panel, graph, 1, ATTR_CURSOR_MODE, VAL_SNAP_TO_POINT));
    // The program's position is kept as set, snapping or not.
    ASSERT_EQ(0, SetGraphCursor(panel, graph, 1, 47.0, 0.0));
    double cx = 0, cy = 0;
    GetGraphCursor(panel, graph, 1, &cx, &cy);
    EXPECT_EQ(47.0, cx);
    EXPECT_EQ(0u, Recorded().size());
    // Dragged by the user: value-changed per step, one commit on release,
    // and a snapping cursor lands on the nearest point.
    ASSERT_EQ(1, UiTest_DragGraphCursor(panel, graph, 1, 85.0, 0.1, 4));
    EXPECT_EQ(4, CountOf(EVENT_VAL_CHANGED));
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    GetGraphCursor(panel, graph, 1, &cx, &cy);
    EXPECT_EQ(90.0, cx);
    EXPECT_EQ(0.25, cy);
    ASSERT_EQ(1, UiTest_DragGraphCursor(panel, graph, 2, 33.3, 0.7, 1));
    GetGraphCursor(panel, graph, 2, &cx, &cy);
    EXPECT_EQ(33.3, cx);
    EXPECT_EQ(0.7, cy);
    int active = 0;
    GetActiveGraphCursor(panel, graph, &active);
    EXPECT_EQ(2, active);
    EXPECT_EQ(UI_ERR_NO_CURSOR, SetGraphCursor(panel, graph, 3, 0, 0));
    EXPECT_EQ(UI_ERR_NO_CURSOR, UiTest_DragGraphCursor(panel, graph, 0, 0, 0, 1));
}

TEST_F(GraphTest, MouseDragMovesTheCursorAndCommitsOnRelease)
{
    SetCtrlAttribute(panel, graph, ATTR_NUM_CURSORS, 1);
    SetCursorAttribute(panel, graph, 1, ATTR_CROSS_HAIR_STYLE, VAL_VERTICAL_LINE);
    QWidget* w = UiTest_Widget(panel, graph);
    ASSERT_NE(nullptr, w);
    const QPointF from(60, 80), to(200, 90);
    QMouseEvent press(QEvent::MouseButtonPress, from, w->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, w->mapToGlobal(to), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    double first = 0, cy = 0;
    GetGraphCursor(panel, graph, 1, &first, &cy);
    QCoreApplication::sendEvent(w, &move);
    QCoreApplication::sendEvent(w, &release);
    double last = 0;
    GetGraphCursor(panel, graph, 1, &last, &cy);
    EXPECT_GT(last, first);
    EXPECT_GT(first, 0.0);
    EXPECT_LT(last, 100.0);
    EXPECT_EQ(2, CountOf(EVENT_VAL_CHANGED));
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    // No cursors: a press moves nothing and raises nothing.
    SetCtrlAttribute(panel, graph, ATTR_NUM_CURSORS, 0);
    QCoreApplication::sendEvent(w, &press);
    QCoreApplication::sendEvent(w, &release);
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
}

class CanvasTest : public cz::test::UiPanelTest {};

TEST_F(CanvasTest, DrawingIsRecordedAndLandsInTheBuffer)
{
    const int canvas = Make(CTRL_CANVAS);
    SetCtrlAttribute(panel, canvas, ATTR_HEIGHT, 50);
    SetCtrlAttribute(panel, canvas, ATTR_WIDTH, 80);
    SetCtrlAttribute(panel, canvas, ATTR_PEN_FILL_COLOR, 0x00FF00);
    ASSERT_EQ(0, CanvasDrawRect(panel, canvas, MakeRect(10, 10, 20, 20), VAL_DRAW_INTERIOR));
    SetCtrlAttribute(panel, canvas, ATTR_PEN_COLOR, 0xFF0000);
    const Point tri[3] = {{50, 5}, {70, 5}, {60, 25}};
    ASSERT_EQ(0, CanvasDrawPoly(panel, canvas, 3, tri, 1, VAL_DRAW_FRAME));
    ASSERT_EQ(0, CanvasDrawLine(panel, canvas, MakePoint(0, 45), MakePoint(79, 45)));
    std::vector<UiTest_CanvasOp> ops = UiTest_GetCanvasOps(panel, canvas);
    ASSERT_EQ(3u, ops.size());
    EXPECT_EQ("rect", ops[0].kind);
    EXPECT_EQ(0x00FF00, ops[0].fillColor);
    EXPECT_EQ(VAL_DRAW_INTERIOR, ops[0].drawMode);
    ASSERT_EQ(3u, ops[1].points.size());
    EXPECT_EQ(60, ops[1].points[2].x);
    EXPECT_EQ(0xFF0000, ops[2].penColor);
    EXPECT_EQ(0x00FF00, UiTest_CanvasPixel(panel, canvas, 20, 20));
    EXPECT_EQ(0xFF0000, UiTest_CanvasPixel(panel, canvas, 40, 45));
    EXPECT_EQ(0xFFFFFF, UiTest_CanvasPixel(panel, canvas, 5, 5));
    EXPECT_LT(UiTest_CanvasPixel(panel, canvas, 80, 5), 0);
    // Clearing all forgets the recorded operations and the drawing.
    ASSERT_EQ(0, CanvasClear(panel, canvas, MakeRect(0, 0, -1, -1)));
    ops = UiTest_GetCanvasOps(panel, canvas);
    ASSERT_EQ(1u, ops.size());
    EXPECT_EQ("clear", ops[0].kind);
    EXPECT_EQ(0xFFFFFF, UiTest_CanvasPixel(panel, canvas, 20, 20));
    EXPECT_EQ(UI_ERR_BAD_VALUE, CanvasDrawPoly(panel, canvas, 2, nullptr, 0, VAL_DRAW_FRAME));
    EXPECT_EQ(UI_ERR_BAD_BITMAP, CanvasDrawBitmap(panel, canvas, 999, MakeRect(0, 0, -1, -1), MakeRect(0, 0, -1, -1)));
    int bitmap = 0;
    ASSERT_EQ(0, NewBitmap(4, 4, 0x0000FF, &bitmap));
    ASSERT_EQ(0, CanvasDrawBitmap(panel, canvas, bitmap, MakeRect(0, 0, -1, -1), MakeRect(30, 30, -1, -1)));
    EXPECT_EQ(0x0000FF, UiTest_CanvasPixel(panel, canvas, 31, 31));
    EXPECT_EQ(0, DiscardBitmap(bitmap));
    EXPECT_EQ(UI_ERR_BAD_BITMAP, DiscardBitmap(bitmap));
}

} // namespace
