// Graph control: a retained display list of plots over four axes, with
// cursors that the user drags (value-changed while dragging, commit on
// release). Also the horizontal slide (used as a progress bar) and the LED.
#include "platform/ui/UiModel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

#include "platform/CLocale.h"

namespace cz::ui {

namespace {

QColor Rgb(int c) { return QColor::fromRgb(QRgb(c & 0xFFFFFF)); }

struct Frame {
    QRectF area;
    double xmin[4], xmax[4];
};

} // namespace

void AxisRange(const GraphData& g, int axis, double* lo, double* hi)
{
    const Axis& a = g.axes[axis];
    *lo = a.min;
    *hi = a.max;
    if (a.mode != VAL_AUTOSCALE) return;
    const bool isX = axis == VAL_BOTTOM_XAXIS || axis == VAL_TOP_XAXIS;
    double mn = HUGE_VAL, mx = -HUGE_VAL;
    for (const Plot& p : g.plots) {
        if ((isX ? p.xAxis : p.yAxis) != axis) continue;
        auto take = [&](double v) { if (std::isfinite(v)) { mn = std::min(mn, v); mx = std::max(mx, v); } };
        if (p.kind == PLOT_XY) {
            for (double v : isX ? p.xs : p.ys) take(v);
        } else {
            take(isX ? p.x1 : p.y1);
            if (p.kind != PLOT_POINT && p.kind != PLOT_TEXT) take(isX ? p.x2 : p.y2);
        }
    }
    if (mn <= mx) {
        if (mn == mx) { mn -= 1.0; mx += 1.0; }
        *lo = mn;
        *hi = mx;
    }
}

namespace {

// The top X and right Y axes are drawn only when made visible.
bool AxisShown(const Ctrl& c, int axis)
{
    if (axis == VAL_TOP_XAXIS) return LookInt(c.look, ATTR_TOP_XAXIS_VISIBLE, 0) != 0;
    if (axis == VAL_RIGHT_YAXIS) return LookInt(c.look, ATTR_RIGHT_YAXIS_VISIBLE, 0) != 0;
    return true;
}

// Height of the band, along the outer edge, that holds an axis name.
constexpr double kNameBand = 14;

// Room beside the plot area for an axis: its value labels and its name.
double AxisMargin(const Ctrl& c, int axis)
{
    if (!AxisShown(c, axis)) return 6;
    const Axis& a = c.graph.axes[axis];
    const bool isX = axis == VAL_BOTTOM_XAXIS || axis == VAL_TOP_XAXIS;
    double m = a.labelsVisible ? (isX ? 20 : 44) : 6;
    if (!a.name.empty()) m += kNameBand;
    return m;
}

Frame MakeFrame(const Ctrl& c, QSizeF size)
{
    const GraphData& g = c.graph;
    const double left = AxisMargin(c, VAL_LEFT_YAXIS), bottom = AxisMargin(c, VAL_BOTTOM_XAXIS);
    const double right = AxisMargin(c, VAL_RIGHT_YAXIS), top = AxisMargin(c, VAL_TOP_XAXIS);
    Frame f;
    f.area = QRectF(left, top, std::max(1.0, size.width() - left - right), std::max(1.0, size.height() - bottom - top));
    for (int a = 0; a < 4; ++a) AxisRange(g, a, &f.xmin[a], &f.xmax[a]);
    return f;
}

double Map(const Ctrl& c, const Frame& f, int axis, double v)
{
    const bool isX = axis == VAL_BOTTOM_XAXIS || axis == VAL_TOP_XAXIS;
    double lo = f.xmin[axis], hi = f.xmax[axis];
    if (c.graph.axes[axis].scaling == VAL_LOG && lo > 0 && hi > 0 && v > 0) {
        lo = std::log10(lo);
        hi = std::log10(hi);
        v = std::log10(v);
    }
    double t = hi != lo ? (v - lo) / (hi - lo) : 0.0;
    return isX ? f.area.left() + t * f.area.width() : f.area.bottom() - t * f.area.height();
}

double Unmap(const Ctrl& c, const Frame& f, int axis, double px)
{
    const bool isX = axis == VAL_BOTTOM_XAXIS || axis == VAL_TOP_XAXIS;
    double t = isX ? (px - f.area.left()) / f.area.width() : (f.area.bottom() - px) / f.area.height();
    double lo = f.xmin[axis], hi = f.xmax[axis];
    if (c.graph.axes[axis].scaling == VAL_LOG && lo > 0 && hi > 0)
        return std::pow(10.0, std::log10(lo) + t * (std::log10(hi) - std::log10(lo)));
    return lo + t * (hi - lo);
}

// The value labels of an axis, one per division: the text and the box it
// is drawn in (beside the plot area, outside it). A box is as wide as its
// text and kept inside the graph, so that the labels at the ends of an axis
// are not cut by the graph's edge.
struct ValueLabel {
    QString text;
    QRectF box;
    Qt::Alignment align;
    double at;  // the tick's place along the axis
    bool shown; // false where it would run into the label before it
};

std::vector<ValueLabel> ValueLabels(const Ctrl& c, const Frame& f, int axis, QSizeF size, const QFont& font)
{
    std::vector<ValueLabel> out;
    const Axis& a = c.graph.axes[axis];
    if (!AxisShown(c, axis)) return out;
    const QFontMetricsF fm(font);
    const int div = std::max(1, a.divisions);
    for (int i = 0; i <= div; ++i) {
        const double v = f.xmin[axis] + (f.xmax[axis] - f.xmin[axis]) * i / div;
        const double px = Map(c, f, axis, v);
        // A label at zero in its own unit reads 0, not the rounding error.
        double shown = a.labelGain * v + a.labelOffset;
        if (std::fabs(shown) < 1e-9 * std::fabs(a.labelGain * (f.xmax[axis] - f.xmin[axis]))) shown = 0.0;
        ValueLabel l{QString::fromStdString(cz::FormatC("%g", shown)), {}, {}, px, true};
        const double w = std::ceil(fm.horizontalAdvance(l.text)) + 2;
        switch (axis) {
        case VAL_BOTTOM_XAXIS: l.box = QRectF(px - w / 2, f.area.bottom() + 2, w, 16); l.align = Qt::AlignHCenter | Qt::AlignTop; break;
        case VAL_TOP_XAXIS: l.box = QRectF(px - w / 2, f.area.top() - 20, w, 16); l.align = Qt::AlignHCenter | Qt::AlignBottom; break;
        case VAL_LEFT_YAXIS: l.box = QRectF(f.area.left() - 44, px - 8, 40, 16); l.align = Qt::AlignRight | Qt::AlignVCenter; break;
        default: l.box = QRectF(f.area.right() + 6, px - 8, 38, 16); l.align = Qt::AlignLeft | Qt::AlignVCenter; break;
        }
        l.box.moveLeft(std::max(0.0, std::min(l.box.left(), size.width() - l.box.width())));
        l.box.moveTop(std::max(0.0, std::min(l.box.top(), size.height() - l.box.height())));
        out.push_back(l);
    }
    // Where the divisions are closer than the labels are large, every
    // label that would overlap the last one shown is left out.
    const ValueLabel* last = nullptr;
    for (ValueLabel& l : out) {
        if (last && last->box.intersects(l.box)) l.shown = false;
        else last = &l;
    }
    return out;
}

} // namespace

namespace {

// A plot text's font and box: (x, y) is the text's lower-left corner, so a
// label placed above a line stands clear of it.
QRectF PlotTextBox(const Ctrl& c, const Frame& f, const Plot& p, const QFont& graphFont, QFont* font)
{
    *font = p.font.empty() ? graphFont : RuntimeFont(p.font, LookInt(c.look, ATTR_TEXT_POINT_SIZE, 13));
    const QSizeF size = QFontMetricsF(*font).size(0, QStr(p.text));
    return QRectF(QPointF(Map(c, f, p.xAxis, p.x1), Map(c, f, p.yAxis, p.y1) - size.height()), size);
}

} // namespace

std::vector<GraphText> GraphTexts(const Ctrl& c, QSize size, const QFont& font)
{
    std::vector<GraphText> out;
    const Frame f = MakeFrame(c, QSizeF(size));
    for (int axis : {VAL_BOTTOM_XAXIS, VAL_LEFT_YAXIS, VAL_TOP_XAXIS, VAL_RIGHT_YAXIS}) {
        const Axis& a = c.graph.axes[axis];
        if (!AxisShown(c, axis)) continue;
        if (a.labelsVisible)
            for (const ValueLabel& l : ValueLabels(c, f, axis, QSizeF(size), font))
                if (l.shown) out.push_back({l.text, l.box, QRectF(QPointF(0, 0), QSizeF(size)), GraphText::VALUE_LABEL, axis});
        if (a.name.empty()) continue;
        const bool isX = axis == VAL_BOTTOM_XAXIS || axis == VAL_TOP_XAXIS;
        out.push_back({QStr(a.name), QRectF(0, 0, isX ? f.area.width() : f.area.height(), kNameBand), {}, GraphText::AXIS_NAME, axis});
    }
    for (const Plot& p : c.graph.plots) {
        if (p.kind != PLOT_TEXT) continue;
        QFont used;
        out.push_back({QStr(p.text), PlotTextBox(c, f, p, font, &used), f.area, GraphText::PLOT_TEXT, -1});
    }
    return out;
}

namespace {

void DrawPointMark(QPainter& pt, QPointF at, int style, const QColor& col)
{
    const double r = 2.5;
    pt.setPen(col);
    switch (style) {
    case VAL_SOLID_SQUARE: pt.fillRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r), col); break;
    case VAL_SOLID_CIRCLE: pt.setBrush(col); pt.drawEllipse(at, r, r); pt.setBrush(Qt::NoBrush); break;
    case VAL_EMPTY_CIRCLE: pt.drawEllipse(at, r, r); break;
    case VAL_SIMPLE_DOT: pt.drawPoint(at); break;
    case VAL_CROSS: pt.drawLine(QPointF(at.x() - r, at.y()), QPointF(at.x() + r, at.y()));
        pt.drawLine(QPointF(at.x(), at.y() - r), QPointF(at.x(), at.y() + r)); break;
    case VAL_X: pt.drawLine(at + QPointF(-r, -r), at + QPointF(r, r));
        pt.drawLine(at + QPointF(-r, r), at + QPointF(r, -r)); break;
    case VAL_NO_POINT: break;
    default: pt.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r)); break;
    }
}

// The top X and right Y axes: a tick at each division on the plot area's
// edge, the value labels outside it and the axis name beyond them.
void DrawFarAxes(QPainter& pt, const Ctrl& c, const Frame& f, const QColor& labelCol)
{
    for (int axis : {VAL_TOP_XAXIS, VAL_RIGHT_YAXIS}) {
        if (!AxisShown(c, axis)) continue;
        const Axis& a = c.graph.axes[axis];
        const bool isX = axis == VAL_TOP_XAXIS;
        pt.setPen(labelCol);
        for (const ValueLabel& l : ValueLabels(c, f, axis, QSizeF(pt.device()->width(), pt.device()->height()), pt.font())) {
            if (isX) pt.drawLine(QPointF(l.at, f.area.top()), QPointF(l.at, f.area.top() - 4));
            else pt.drawLine(QPointF(f.area.right(), l.at), QPointF(f.area.right() + 4, l.at));
            if (a.labelsVisible && l.shown) pt.drawText(l.box, l.align, l.text);
        }
        if (a.name.empty()) continue;
        if (isX) {
            pt.drawText(QRectF(f.area.left(), 0, f.area.width(), kNameBand), Qt::AlignCenter, QStr(a.name));
        } else {
            pt.save();
            pt.translate(f.area.right() + AxisMargin(c, axis), f.area.center().y());
            pt.rotate(90);
            pt.drawText(QRectF(-f.area.height() / 2, 0, f.area.height(), kNameBand), Qt::AlignCenter, QStr(a.name));
            pt.restore();
        }
    }
}

class GraphWidget : public QWidget {
public:
    GraphWidget(int panel, int control, QWidget* parent) : QWidget(parent), panel_(panel), control_(control) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c) return;
        QPainter pt(this);
        pt.fillRect(rect(), Rgb(LookInt(c->look, ATTR_BACKCOLOR, 0xC0C0C0)));
        Frame f = MakeFrame(*c, size());
        pt.fillRect(f.area, Rgb(LookInt(c->look, ATTR_PLOT_BGCOLOR, 0x000000)));
        const GraphData& g = c->graph;
        const QColor grid = Rgb(LookInt(c->look, ATTR_GRID_COLOR, 0x606060));
        const QColor labelCol = Rgb(LookInt(c->look, ATTR_LABEL_COLOR, 0x000000));
        pt.setFont(font());
        auto showGrid = [&](int axis, int attr) {
            return LookInt(c->look, ATTR_GRID_VISIBLE, 1) && LookInt(c->look, attr, 1) && g.axes[axis].gridVisible;
        };
        // grid and value labels
        for (int axis : {VAL_BOTTOM_XAXIS, VAL_LEFT_YAXIS}) {
            const Axis& a = g.axes[axis];
            for (const ValueLabel& l : ValueLabels(*c, f, axis, size(), font())) {
                const double px = l.at;
                pt.setPen(grid);
                if (axis == VAL_BOTTOM_XAXIS) {
                    if (showGrid(VAL_BOTTOM_XAXIS, ATTR_XGRID_VISIBLE)) pt.drawLine(QPointF(px, f.area.top()), QPointF(px, f.area.bottom()));
                } else {
                    if (showGrid(VAL_LEFT_YAXIS, ATTR_YGRID_VISIBLE)) pt.drawLine(QPointF(f.area.left(), px), QPointF(f.area.right(), px));
                }
                if (a.labelsVisible && l.shown) {
                    pt.setPen(labelCol);
                    pt.drawText(l.box, l.align, l.text);
                }
            }
        }
        DrawFarAxes(pt, *c, f, labelCol);
        pt.setPen(labelCol);
        if (!g.axes[VAL_BOTTOM_XAXIS].name.empty())
            pt.drawText(QRectF(f.area.left(), height() - kNameBand, f.area.width(), kNameBand), Qt::AlignCenter,
                        QStr(g.axes[VAL_BOTTOM_XAXIS].name));
        if (!g.axes[VAL_LEFT_YAXIS].name.empty()) {
            pt.save();
            pt.translate(0, f.area.center().y());
            pt.rotate(-90);
            pt.drawText(QRectF(-f.area.height() / 2, 0, f.area.height(), kNameBand), Qt::AlignCenter,
                        QStr(g.axes[VAL_LEFT_YAXIS].name));
            pt.restore();
        }
        pt.setClipRect(f.area);
        for (const Plot& p : g.plots) DrawPlot(pt, *c, f, p);
        for (size_t i = 0; i < g.cursors.size(); ++i) {
            const GraphCursor& k = g.cursors[i];
            if (!k.enabled) continue;
            QPointF at(Map(*c, f, g.activeXAxis, k.x), Map(*c, f, g.activeYAxis, k.y));
            pt.setPen(Rgb(k.color));
            if (k.style == VAL_VERTICAL_LINE || k.style == VAL_LONG_CROSS)
                pt.drawLine(QPointF(at.x(), f.area.top()), QPointF(at.x(), f.area.bottom()));
            if (k.style == VAL_HORIZONTAL_LINE || k.style == VAL_LONG_CROSS)
                pt.drawLine(QPointF(f.area.left(), at.y()), QPointF(f.area.right(), at.y()));
            if (k.style == VAL_SHORT_CROSS || k.style == VAL_NO_CROSS) DrawPointMark(pt, at, k.pointStyle, Rgb(k.color));
        }
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c || !UserCanOperate(*c) || c->graph.cursors.empty()) return;
        Frame f = MakeFrame(*c, size());
        // pick the nearest cursor
        double best = 1e9;
        int pick = 0;
        for (size_t i = 0; i < c->graph.cursors.size(); ++i) {
            const GraphCursor& k = c->graph.cursors[i];
            double dx = Map(*c, f, c->graph.activeXAxis, k.x) - e->position().x();
            double dy = Map(*c, f, c->graph.activeYAxis, k.y) - e->position().y();
            double d = k.style == VAL_VERTICAL_LINE ? std::fabs(dx) : std::hypot(dx, dy);
            if (d < best) { best = d; pick = int(i) + 1; }
        }
        if (pick < 1) return;
        c->graph.activeCursor = pick;
        dragging_ = true;
        MoveTo(e->position());
    }
    void mouseMoveEvent(QMouseEvent* e) override { if (dragging_) MoveTo(e->position()); }
    void mouseReleaseEvent(QMouseEvent*) override
    {
        if (!dragging_) return;
        dragging_ = false;
        RaiseCtrlEvent(panel_, control_, EVENT_COMMIT, 0, 0);
    }

private:
    void MoveTo(QPointF pos)
    {
        Ctrl* c = FindCtrl(panel_, control_);
        // A callback may have removed the cursor meanwhile.
        if (!c || c->graph.activeCursor < 1 || c->graph.activeCursor > int(c->graph.cursors.size())) {
            dragging_ = false;
            return;
        }
        double x, y;
        GraphPixelToValue(*c, int(pos.x()), int(pos.y()), &x, &y);
        GraphCursor& k = c->graph.cursors[size_t(c->graph.activeCursor - 1)];
        k.x = x;
        k.y = y;
        SnapCursor(*c, k);
        update();
        RaiseCtrlEvent(panel_, control_, EVENT_VAL_CHANGED, 0, 0);
    }

    static void DrawPlot(QPainter& pt, const Ctrl& c, const Frame& f, const Plot& p)
    {
        const QColor col = Rgb(p.color);
        QPen pen(col, p.thickness);
        pen.setStyle(p.lineStyle == VAL_DASH ? Qt::DashLine : p.lineStyle == VAL_DOT ? Qt::DotLine : Qt::SolidLine);
        pt.setPen(pen);
        auto X = [&](double v) { return Map(c, f, p.xAxis, v); };
        auto Y = [&](double v) { return Map(c, f, p.yAxis, v); };
        switch (p.kind) {
        case PLOT_LINE: pt.drawLine(QPointF(X(p.x1), Y(p.y1)), QPointF(X(p.x2), Y(p.y2))); break;
        case PLOT_POINT: DrawPointMark(pt, QPointF(X(p.x1), Y(p.y1)), p.pointStyle, col); break;
        case PLOT_OVAL:
        case PLOT_RECT: {
            QRectF r = QRectF(QPointF(X(p.x1), Y(p.y1)), QPointF(X(p.x2), Y(p.y2))).normalized();
            pt.setBrush((p.fillColor & VAL_TRANSPARENT) ? QBrush(Qt::NoBrush) : QBrush(Rgb(p.fillColor)));
            if (p.kind == PLOT_OVAL) pt.drawEllipse(r);
            else pt.drawRect(r);
            pt.setBrush(Qt::NoBrush);
            break;
        }
        case PLOT_TEXT: {
            pt.save();
            QFont font;
            const QRectF r = PlotTextBox(c, f, p, pt.font(), &font);
            pt.setFont(font);
            if (!(p.fillColor & VAL_TRANSPARENT)) pt.fillRect(r, Rgb(p.fillColor));
            pt.drawText(r, QStr(p.text));
            pt.restore();
            break;
        }
        case PLOT_XY: {
            const size_t n = std::min(p.xs.size(), p.ys.size());
            if (p.plotStyle == VAL_SCATTER || p.plotStyle == VAL_CONNECTED_POINTS) {
                for (size_t i = 0; i < n; ++i) DrawPointMark(pt, QPointF(X(p.xs[i]), Y(p.ys[i])), p.pointStyle, col);
                if (p.plotStyle == VAL_SCATTER) break;
                pt.setPen(pen);
            }
            QVector<QPointF> line;
            line.reserve(int(n));
            for (size_t i = 0; i < n; ++i) line.append(QPointF(X(p.xs[i]), Y(p.ys[i])));
            pt.drawPolyline(line.constData(), int(line.size()));
            break;
        }
        }
    }

    int panel_, control_;
    bool dragging_ = false;
};

// Horizontal slide; as a progress bar it shows the value as a filled bar in
// the colour ramp's colour.
class SlideWidget : public QWidget {
public:
    SlideWidget(int panel, int control, QWidget* parent) : QWidget(parent), panel_(panel), control_(control) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c) return;
        QPainter pt(this);
        pt.fillRect(rect(), Rgb(LookInt(c->look, ATTR_BACKCOLOR, 0xE0E0E0)));
        double span = c->maxV - c->minV;
        double t = span > 0 ? std::clamp((c->num - c->minV) / span, 0.0, 1.0) : 0.0;
        int color = c->ramp.hiColor;
        if (!c->ramp.set) color = 0x4060C0;
        for (const ColorMapEntry& e : c->ramp.entries)
            if (c->num <= e.value) { color = e.color; break; }
        pt.fillRect(QRectF(0, 0, width() * t, height()), Rgb(color));
        int frame = LookInt(c->look, ATTR_FRAME_COLOR, 0xA0A0A0);
        if (!(frame & VAL_TRANSPARENT)) {
            pt.setPen(Rgb(frame));
            pt.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
    void mousePressEvent(QMouseEvent* e) override { Drag(e->position().x(), false); }
    void mouseMoveEvent(QMouseEvent* e) override { Drag(e->position().x(), false); }
    void mouseReleaseEvent(QMouseEvent* e) override { Drag(e->position().x(), true); }

private:
    void Drag(double x, bool release)
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c || !UserCanOperate(*c) || width() <= 0) return;
        double v = c->minV + (c->maxV - c->minV) * std::clamp(x / width(), 0.0, 1.0);
        if (c->incr > 0) v = c->minV + std::round((v - c->minV) / c->incr) * c->incr;
        c->num = std::clamp(v, c->minV, c->maxV);
        update();
        if (c->mode == VAL_HOT || c->mode == VAL_VALIDATE)
            RaiseCtrlEvent(panel_, control_, release ? EVENT_COMMIT : EVENT_VAL_CHANGED, 0, 0);
    }
    int panel_, control_;
};

class LedWidget : public QWidget {
public:
    LedWidget(int panel, int control, QWidget* parent) : QWidget(parent), panel_(panel), control_(control) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c) return;
        QPainter pt(this);
        pt.setRenderHint(QPainter::Antialiasing);
        int col = c->num != 0 ? LookInt(c->look, ATTR_ON_COLOR, 0x00C000) : LookInt(c->look, ATTR_OFF_COLOR, 0x004000);
        pt.setBrush(Rgb(col));
        pt.setPen(QColor(64, 64, 64));
        pt.drawEllipse(rect().adjusted(1, 1, -2, -2));
    }

private:
    int panel_, control_;
};

} // namespace

QWidget* NewGraphWidget(int panel, int control, QWidget* parent) { return new GraphWidget(panel, control, parent); }
QWidget* NewSlideWidget(int panel, int control, QWidget* parent) { return new SlideWidget(panel, control, parent); }
QWidget* NewLedWidget(int panel, int control, QWidget* parent) { return new LedWidget(panel, control, parent); }

void UpdateGraphWidget(Ctrl& c)
{
    if (c.widget && (c.kind != CTRL_GRAPH || c.graph.refresh)) c.widget->update();
}

bool GraphPixelToValue(Ctrl& c, int px, int py, double* x, double* y)
{
    QSizeF size = c.widget ? QSizeF(c.widget->size()) : QSizeF(c.width, c.height);
    Frame f = MakeFrame(c, size);
    *x = Unmap(c, f, c.graph.activeXAxis, px);
    *y = Unmap(c, f, c.graph.activeYAxis, py);
    return f.area.contains(QPointF(px, py));
}

void SnapCursor(Ctrl& c, GraphCursor& k)
{
    if (k.mode != VAL_SNAP_TO_POINT) return;
    const GraphData& g = c.graph;
    // Distances are measured in fractions of the shown axis ranges, so that
    // the nearest point is the one nearest on the screen.
    double xlo, xhi, ylo, yhi;
    AxisRange(g, g.activeXAxis, &xlo, &xhi);
    AxisRange(g, g.activeYAxis, &ylo, &yhi);
    double xs = std::fabs(xhi - xlo), ys = std::fabs(yhi - ylo);
    xs = xs > 0 ? xs : 1.0;
    ys = ys > 0 ? ys : 1.0;
    double best = HUGE_VAL, bx = k.x, by = k.y;
    auto consider = [&](double px, double py) {
        double d = std::hypot((px - k.x) / xs, (py - k.y) / ys);
        if (d < best) { best = d; bx = px; by = py; }
    };
    for (const Plot& p : g.plots) {
        if (p.kind == PLOT_POINT) consider(p.x1, p.y1);
        else if (p.kind == PLOT_XY)
            for (size_t i = 0; i < std::min(p.xs.size(), p.ys.size()); ++i) consider(p.xs[i], p.ys[i]);
    }
    k.x = bx;
    k.y = by;
}

} // namespace cz::ui
