// Graph functions: plotting into the display list, deleting plots, axes,
// cursors and graph attributes. Plotting with refresh held (ATTR_REFRESH_GRAPH
// 0) only records; setting refresh back to 1 redraws once.
#include "platform/ui/UiModel.h"

#include <QWidget>

#include <algorithm>

namespace cz::ui {

namespace {

Ctrl* Graph(int panel, int control, int* st)
{
    Ctrl* c = FindCtrl(panel, control, st);
    if (c && c->kind != CTRL_GRAPH) {
        *st = UI_ERR_WRONG_KIND;
        return nullptr;
    }
    return c;
}

int AddPlot(Ctrl& c, Plot p)
{
    p.handle = c.graph.nextPlot++;
    p.xAxis = c.graph.activeXAxis;
    p.yAxis = c.graph.activeYAxis;
    c.graph.plots.push_back(std::move(p));
    UpdateGraphWidget(c);
    return c.graph.plots.back().handle;
}

bool ValidAxis(int axis) { return axis >= 0 && axis < 4; }

} // namespace

int SetGraphAttr(Ctrl& c, int attr, const AttrValue& v)
{
    GraphData& g = c.graph;
    const int iv = int(v.num);
    if (c.kind == CTRL_CANVAS) {
        switch (attr) {
        case ATTR_PEN_COLOR: c.canvas.penColor = iv; return 0;
        case ATTR_PEN_FILL_COLOR: c.canvas.fillColor = iv; return 0;
        case ATTR_PEN_WIDTH: c.canvas.penWidth = std::max(1, iv); return 0;
        default: return UI_ERR_BAD_ATTRIBUTE;
        }
    }
    switch (attr) {
    case ATTR_REFRESH_GRAPH:
        g.refresh = iv != 0;
        UpdateGraphWidget(c);
        return 0;
    case ATTR_NUM_CURSORS:
        if (iv < 0 || iv > 10) return UI_ERR_BAD_VALUE;
        g.cursors.resize(size_t(iv));
        g.activeCursor = std::clamp(g.activeCursor, 1, std::max(1, iv));
        UpdateGraphWidget(c);
        return 0;
    case ATTR_ACTIVE_XAXIS:
        if (iv != VAL_BOTTOM_XAXIS && iv != VAL_TOP_XAXIS) return UI_ERR_BAD_VALUE;
        g.activeXAxis = iv;
        return 0;
    case ATTR_ACTIVE_YAXIS:
        if (iv != VAL_LEFT_YAXIS && iv != VAL_RIGHT_YAXIS) return UI_ERR_BAD_VALUE;
        g.activeYAxis = iv;
        return 0;
    case ATTR_XNAME: g.axes[VAL_BOTTOM_XAXIS].name = v.text; break;
    case ATTR_YNAME: g.axes[VAL_LEFT_YAXIS].name = v.text; break;
    case ATTR_XDIVISIONS: g.axes[VAL_BOTTOM_XAXIS].divisions = iv; break;
    case ATTR_YDIVISIONS: g.axes[VAL_LEFT_YAXIS].divisions = iv; break;
    case ATTR_XLABEL_VISIBLE: g.axes[VAL_BOTTOM_XAXIS].labelsVisible = iv != 0; break;
    case ATTR_YLABEL_VISIBLE: g.axes[VAL_LEFT_YAXIS].labelsVisible = iv != 0; break;
    case ATTR_XSCALING: g.axes[VAL_BOTTOM_XAXIS].scaling = iv; break;
    case ATTR_YSCALING: g.axes[VAL_LEFT_YAXIS].scaling = iv; break;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
    UpdateGraphWidget(c);
    return 0;
}

int GetGraphAttr(Ctrl& c, int attr, AttrValue* v)
{
    const GraphData& g = c.graph;
    auto num = [&](double d) { v->num = d; return 0; };
    auto txt = [&](const std::string& s) { v->isText = true; v->text = s; return 0; };
    if (c.kind == CTRL_CANVAS) {
        switch (attr) {
        case ATTR_PEN_COLOR: return num(c.canvas.penColor);
        case ATTR_PEN_FILL_COLOR: return num(c.canvas.fillColor);
        case ATTR_PEN_WIDTH: return num(c.canvas.penWidth);
        default: return UI_ERR_BAD_ATTRIBUTE;
        }
    }
    switch (attr) {
    case ATTR_REFRESH_GRAPH: return num(g.refresh);
    case ATTR_NUM_CURSORS: return num(double(g.cursors.size()));
    case ATTR_ACTIVE_XAXIS: return num(g.activeXAxis);
    case ATTR_ACTIVE_YAXIS: return num(g.activeYAxis);
    case ATTR_XNAME: return txt(g.axes[VAL_BOTTOM_XAXIS].name);
    case ATTR_YNAME: return txt(g.axes[VAL_LEFT_YAXIS].name);
    case ATTR_XDIVISIONS: return num(g.axes[VAL_BOTTOM_XAXIS].divisions);
    case ATTR_YDIVISIONS: return num(g.axes[VAL_LEFT_YAXIS].divisions);
    case ATTR_XLABEL_VISIBLE: return num(g.axes[VAL_BOTTOM_XAXIS].labelsVisible);
    case ATTR_YLABEL_VISIBLE: return num(g.axes[VAL_LEFT_YAXIS].labelsVisible);
    case ATTR_XSCALING: return num(g.axes[VAL_BOTTOM_XAXIS].scaling);
    case ATTR_YSCALING: return num(g.axes[VAL_LEFT_YAXIS].scaling);
    case ATTR_XAXIS_MIN: case ATTR_XAXIS_MAX: case ATTR_YAXIS_MIN: case ATTR_YAXIS_MAX: {
        // the range shown, also under autoscaling
        double lo, hi;
        AxisRange(g, attr == ATTR_XAXIS_MIN || attr == ATTR_XAXIS_MAX ? VAL_BOTTOM_XAXIS : VAL_LEFT_YAXIS, &lo, &hi);
        return num(attr == ATTR_XAXIS_MIN || attr == ATTR_YAXIS_MIN ? lo : hi);
    }
    case ATTR_NUM_PLOTS: return num(double(g.plots.size()));
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}

} // namespace cz::ui

using namespace cz::ui;

int PlotLine(int panel, int control, double x1, double y1, double x2, double y2, int color)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    Plot p;
    p.kind = PLOT_LINE;
    p.x1 = x1; p.y1 = y1; p.x2 = x2; p.y2 = y2;
    p.color = color;
    return AddPlot(*c, std::move(p));
}

int PlotPoint(int panel, int control, double x, double y, int pointStyle, int color)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    Plot p;
    p.kind = PLOT_POINT;
    p.x1 = x; p.y1 = y;
    p.pointStyle = pointStyle;
    p.color = color;
    return AddPlot(*c, std::move(p));
}

int PlotOval(int panel, int control, double x1, double y1, double x2, double y2, int color, int fillColor)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    Plot p;
    p.kind = PLOT_OVAL;
    p.x1 = x1; p.y1 = y1; p.x2 = x2; p.y2 = y2;
    p.color = color;
    p.fillColor = fillColor;
    return AddPlot(*c, std::move(p));
}

int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2, int color, int fillColor)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    Plot p;
    p.kind = PLOT_RECT;
    p.x1 = x1; p.y1 = y1; p.x2 = x2; p.y2 = y2;
    p.color = color;
    p.fillColor = fillColor;
    return AddPlot(*c, std::move(p));
}

int PlotText(int panel, int control, double x, double y, const char* text, const char* font, int color, int bgColor)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!text) return UI_ERR_BAD_VALUE;
    Plot p;
    p.kind = PLOT_TEXT;
    p.x1 = x; p.y1 = y;
    p.text = text;
    p.font = font ? font : "";
    p.color = color;
    p.fillColor = bgColor;
    return AddPlot(*c, std::move(p));
}

int PlotXY(int panel, int control, const double* x, const double* y, int count, int plotStyle,
           int pointStyle, int lineStyle, int color)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (count < 0 || (count > 0 && (!x || !y))) return UI_ERR_BAD_VALUE;
    Plot p;
    p.kind = PLOT_XY;
    p.xs.assign(x, x + count);
    p.ys.assign(y, y + count);
    p.plotStyle = plotStyle;
    p.pointStyle = pointStyle;
    p.lineStyle = lineStyle;
    p.color = color;
    return AddPlot(*c, std::move(p));
}

int PlotY(int panel, int control, const double* y, int count, double x0, double dx, int plotStyle,
          int pointStyle, int lineStyle, int color)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (count < 0 || (count > 0 && !y)) return UI_ERR_BAD_VALUE;
    Plot p;
    p.kind = PLOT_XY;
    p.xs.resize(size_t(count));
    for (int i = 0; i < count; ++i) p.xs[size_t(i)] = x0 + i * dx;
    p.ys.assign(y, y + count);
    p.plotStyle = plotStyle;
    p.pointStyle = pointStyle;
    p.lineStyle = lineStyle;
    p.color = color;
    return AddPlot(*c, std::move(p));
}

int DeleteGraphPlot(int panel, int control, int plot, int refresh)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    auto& plots = c->graph.plots;
    if (plot == VAL_ALL_PLOTS) {
        plots.clear();
    } else {
        auto it = std::find_if(plots.begin(), plots.end(), [plot](const Plot& p) { return p.handle == plot; });
        if (it == plots.end()) return UI_ERR_BAD_PLOT;
        plots.erase(it);
    }
    if (refresh == VAL_IMMEDIATE_DRAW && c->widget) c->widget->repaint();
    else if (refresh != VAL_NO_DRAW) UpdateGraphWidget(*c);
    return 0;
}

int SetPlotAttribute(int panel, int control, int plot, int attr, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    for (Plot& p : c->graph.plots) {
        if (p.handle != plot) continue;
        switch (attr) {
        case ATTR_TRACE_COLOR: p.color = value; break;
        case ATTR_PLOT_STYLE: p.plotStyle = value; break;
        case ATTR_TRACE_POINT_STYLE: p.pointStyle = value; break;
        case ATTR_LINE_STYLE: p.lineStyle = value; break;
        case ATTR_PLOT_THICKNESS: p.thickness = std::max(1, value); break;
        case ATTR_PLOT_YAXIS: p.yAxis = value == VAL_RIGHT_YAXIS ? VAL_RIGHT_YAXIS : VAL_LEFT_YAXIS; break;
        case ATTR_PLOT_XAXIS: p.xAxis = value == VAL_TOP_XAXIS ? VAL_TOP_XAXIS : VAL_BOTTOM_XAXIS; break;
        default: return UI_ERR_BAD_ATTRIBUTE;
        }
        UpdateGraphWidget(*c);
        return 0;
    }
    return UI_ERR_BAD_PLOT;
}

int GetPlotAttribute(int panel, int control, int plot, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    for (const Plot& p : c->graph.plots) {
        if (p.handle != plot) continue;
        switch (attr) {
        case ATTR_TRACE_COLOR: *value = p.color; return 0;
        case ATTR_PLOT_STYLE: *value = p.plotStyle; return 0;
        case ATTR_TRACE_POINT_STYLE: *value = p.pointStyle; return 0;
        case ATTR_LINE_STYLE: *value = p.lineStyle; return 0;
        case ATTR_PLOT_THICKNESS: *value = p.thickness; return 0;
        case ATTR_PLOT_YAXIS: *value = p.yAxis; return 0;
        case ATTR_PLOT_XAXIS: *value = p.xAxis; return 0;
        default: return UI_ERR_BAD_ATTRIBUTE;
        }
    }
    return UI_ERR_BAD_PLOT;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!ValidAxis(axis)) return UI_ERR_BAD_VALUE;
    Axis& a = c->graph.axes[axis];
    if (mode == VAL_MANUAL) {
        if (!(min < max)) return UI_ERR_BAD_VALUE;
        a.min = min;
        a.max = max;
    } else if (mode == VAL_LOCK) {
        // Keeps the range shown now, an autoscaled one included.
        AxisRange(c->graph, axis, &a.min, &a.max);
    } else if (mode != VAL_AUTOSCALE) {
        return UI_ERR_BAD_VALUE;
    }
    a.mode = mode == VAL_LOCK ? VAL_MANUAL : mode;
    UpdateGraphWidget(*c);
    return 0;
}

int GetAxisScalingMode(int panel, int control, int axis, int* mode, double* min, double* max)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!ValidAxis(axis)) return UI_ERR_BAD_VALUE;
    const Axis& a = c->graph.axes[axis];
    if (mode) *mode = a.mode;
    double lo, hi;
    AxisRange(c->graph, axis, &lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return 0;
}

int SetAxisRange(int panel, int control, int xMode, double xMin, double xMax, int yMode, double yMin, double yMax)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if ((xMode == VAL_MANUAL && !(xMin < xMax)) || (yMode == VAL_MANUAL && !(yMin < yMax))) return UI_ERR_BAD_VALUE;
    auto valid = [](int mode) { return mode == VAL_MANUAL || mode == VAL_AUTOSCALE || mode == VAL_LOCK; };
    if (!valid(xMode) || !valid(yMode)) return UI_ERR_BAD_VALUE;
    auto apply = [](Axis& a, int mode, double lo, double hi) {
        if (mode == VAL_LOCK) return;
        a.mode = mode;
        if (mode == VAL_MANUAL) { a.min = lo; a.max = hi; }
    };
    apply(c->graph.axes[c->graph.activeXAxis], xMode, xMin, xMax);
    apply(c->graph.axes[c->graph.activeYAxis], yMode, yMin, yMax);
    UpdateGraphWidget(*c);
    return 0;
}

int GetAxisRange(int panel, int control, int* xMode, double* xMin, double* xMax, int* yMode, double* yMin, double* yMax)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    const GraphData& g = c->graph;
    double x0, x1, y0, y1;
    AxisRange(g, g.activeXAxis, &x0, &x1);
    AxisRange(g, g.activeYAxis, &y0, &y1);
    if (xMode) *xMode = g.axes[g.activeXAxis].mode;
    if (xMin) *xMin = x0;
    if (xMax) *xMax = x1;
    if (yMode) *yMode = g.axes[g.activeYAxis].mode;
    if (yMin) *yMin = y0;
    if (yMax) *yMax = y1;
    return 0;
}

int SetAxisAttribute(int panel, int control, int axis, int attr, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!ValidAxis(axis)) return UI_ERR_BAD_VALUE;
    Axis& a = c->graph.axes[axis];
    switch (attr) {
    case ATTR_XDIVISIONS: case ATTR_YDIVISIONS: a.divisions = value; break;
    case ATTR_XLABEL_VISIBLE: case ATTR_YLABEL_VISIBLE: a.labelsVisible = value != 0; break;
    case ATTR_XSCALING: case ATTR_YSCALING: a.scaling = value; break;
    case ATTR_GRID_VISIBLE: a.gridVisible = value != 0; break;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
    UpdateGraphWidget(*c);
    return 0;
}

int SetAxisAttribute(int panel, int control, int axis, int attr, double value)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!ValidAxis(axis) || !std::isfinite(value)) return UI_ERR_BAD_VALUE;
    Axis& a = c->graph.axes[axis];
    switch (attr) {
    case ATTR_AXIS_LABEL_GAIN:
        if (value == 0.0) return UI_ERR_BAD_VALUE;
        a.labelGain = value;
        break;
    case ATTR_AXIS_LABEL_OFFSET: a.labelOffset = value; break;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
    UpdateGraphWidget(*c);
    return 0;
}

int SetAxisAttribute(int panel, int control, int axis, int attr, const char* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!ValidAxis(axis) || !value) return UI_ERR_BAD_VALUE;
    if (attr != ATTR_XNAME && attr != ATTR_YNAME && attr != ATTR_LABEL_TEXT) return UI_ERR_BAD_ATTRIBUTE;
    c->graph.axes[axis].name = value;
    UpdateGraphWidget(*c);
    return 0;
}

int GetAxisAttribute(int panel, int control, int axis, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!ValidAxis(axis) || !value) return UI_ERR_BAD_VALUE;
    const Axis& a = c->graph.axes[axis];
    switch (attr) {
    case ATTR_XDIVISIONS: case ATTR_YDIVISIONS: *value = a.divisions; return 0;
    case ATTR_XLABEL_VISIBLE: case ATTR_YLABEL_VISIBLE: *value = a.labelsVisible; return 0;
    case ATTR_XSCALING: case ATTR_YSCALING: *value = a.scaling; return 0;
    case ATTR_GRID_VISIBLE: *value = a.gridVisible; return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}

int GetAxisAttribute(int panel, int control, int axis, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (!ValidAxis(axis)) return UI_ERR_BAD_VALUE;
    if (attr != ATTR_XNAME && attr != ATTR_YNAME && attr != ATTR_LABEL_TEXT) return UI_ERR_BAD_ATTRIBUTE;
    return CopyOut(buffer, bufferSize, c->graph.axes[axis].name);
}

namespace {
GraphCursor* Cursor(int panel, int control, int cursor, int* st, Ctrl** out = nullptr)
{
    Ctrl* c = Graph(panel, control, st);
    if (!c) return nullptr;
    if (cursor < 1 || cursor > int(c->graph.cursors.size())) {
        *st = UI_ERR_NO_CURSOR;
        return nullptr;
    }
    if (out) *out = c;
    return &c->graph.cursors[size_t(cursor - 1)];
}
} // namespace

int SetCursorAttribute(int panel, int control, int cursor, int attr, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = nullptr;
    GraphCursor* k = Cursor(panel, control, cursor, &st, &c);
    if (!k) return st;
    switch (attr) {
    case ATTR_CURSOR_MODE: k->mode = value; break;
    case ATTR_CROSS_HAIR_STYLE: k->style = value; break;
    case ATTR_CURSOR_COLOR: k->color = value; break;
    case ATTR_CURSOR_POINT_STYLE: k->pointStyle = value; break;
    case ATTR_CURSOR_ENABLED: k->enabled = value != 0; break;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
    UpdateGraphWidget(*c);
    return 0;
}

int GetCursorAttribute(int panel, int control, int cursor, int attr, int* value)
{
    UI_CALL();
    int st;
    GraphCursor* k = Cursor(panel, control, cursor, &st);
    if (!k) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    switch (attr) {
    case ATTR_CURSOR_MODE: *value = k->mode; return 0;
    case ATTR_CROSS_HAIR_STYLE: *value = k->style; return 0;
    case ATTR_CURSOR_COLOR: *value = k->color; return 0;
    case ATTR_CURSOR_POINT_STYLE: *value = k->pointStyle; return 0;
    case ATTR_CURSOR_ENABLED: *value = k->enabled; return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y)
{
    UI_CALL();
    int st;
    Ctrl* c = nullptr;
    GraphCursor* k = Cursor(panel, control, cursor, &st, &c);
    if (!k) return st;
    k->x = x;
    k->y = y;
    UpdateGraphWidget(*c);
    return 0;
}

int GetGraphCursor(int panel, int control, int cursor, double* x, double* y)
{
    UI_CALL();
    int st;
    GraphCursor* k = Cursor(panel, control, cursor, &st);
    if (!k) return st;
    if (x) *x = k->x;
    if (y) *y = k->y;
    return 0;
}

int GetActiveGraphCursor(int panel, int control, int* cursor)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (c->graph.cursors.empty()) return UI_ERR_NO_CURSOR;
    if (cursor) *cursor = c->graph.activeCursor;
    return 0;
}

int SetActiveGraphCursor(int panel, int control, int cursor)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (cursor < 1 || cursor > int(c->graph.cursors.size())) return UI_ERR_NO_CURSOR;
    c->graph.activeCursor = cursor;
    return 0;
}

int RefreshGraph(int panel, int control)
{
    UI_CALL();
    int st;
    Ctrl* c = Graph(panel, control, &st);
    if (!c) return st;
    if (c->widget) c->widget->update();
    return 0;
}
