// Canvas control: drawing operations go into an image back buffer the size
// of the control and are recorded in order.
#include "platform/ui/UiModel.h"

#include <QPainter>
#include <QWidget>

namespace cz::ui {

namespace {

QColor Rgb(int c) { return QColor::fromRgb(QRgb(c & 0xFFFFFF)); }

class CanvasWidget : public QWidget {
public:
    CanvasWidget(int panel, int control, QWidget* parent) : QWidget(parent), panel_(panel), control_(control) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c) return;
        EnsureCanvasImage(*c);
        QPainter(this).drawImage(0, 0, c->canvas.image);
    }

private:
    int panel_, control_;
};

Ctrl* Canvas(int panel, int control, int* st)
{
    Ctrl* c = FindCtrl(panel, control, st);
    if (c && c->kind != CTRL_CANVAS) {
        *st = UI_ERR_WRONG_KIND;
        return nullptr;
    }
    if (c) EnsureCanvasImage(*c);
    return c;
}

QRect ToQRect(const Ctrl& c, Rect r)
{
    int h = r.height < 0 ? c.height - r.top : r.height;
    int w = r.width < 0 ? c.width - r.left : r.width;
    return QRect(r.left, r.top, w, h);
}

void Record(Ctrl& c, const char* kind, Rect r, int drawMode, std::vector<Point> points = {})
{
    CanvasOp op;
    op.kind = kind;
    op.rect = r;
    op.points = std::move(points);
    op.penColor = c.canvas.penColor;
    op.fillColor = c.canvas.fillColor;
    op.drawMode = drawMode;
    c.canvas.ops.push_back(std::move(op));
    if (c.widget) c.widget->update();
}

void SetupPainter(QPainter& p, const Ctrl& c, int drawMode)
{
    p.setPen(drawMode == VAL_DRAW_INTERIOR ? QPen(Qt::NoPen) : QPen(Rgb(c.canvas.penColor), c.canvas.penWidth));
    p.setBrush(drawMode == VAL_DRAW_FRAME ? QBrush(Qt::NoBrush) : QBrush(Rgb(c.canvas.fillColor)));
}

} // namespace

QWidget* NewCanvasWidget(int panel, int control, QWidget* parent) { return new CanvasWidget(panel, control, parent); }

void EnsureCanvasImage(Ctrl& c)
{
    QSize want(std::max(1, c.width), std::max(1, c.height));
    if (c.canvas.image.size() == want) return;
    QImage img(want, QImage::Format_RGB32);
    img.fill(Rgb(LookInt(c.look, ATTR_BACKCOLOR, 0xFFFFFF)));
    if (!c.canvas.image.isNull()) QPainter(&img).drawImage(0, 0, c.canvas.image);
    c.canvas.image = img;
}

} // namespace cz::ui

using namespace cz::ui;

int CanvasClear(int panel, int control, Rect area)
{
    UI_CALL();
    int st;
    Ctrl* c = Canvas(panel, control, &st);
    if (!c) return st;
    QPainter p(&c->canvas.image);
    int bg = LookInt(c->look, ATTR_BACKCOLOR, 0xFFFFFF);
    p.fillRect(ToQRect(*c, area), QColor::fromRgb(QRgb(bg & 0xFFFFFF)));
    if (area.top == 0 && area.left == 0 && area.height < 0 && area.width < 0) c->canvas.ops.clear();
    Record(*c, "clear", area, 0);
    return 0;
}

int CanvasDrawRect(int panel, int control, Rect rect, int drawMode)
{
    UI_CALL();
    int st;
    Ctrl* c = Canvas(panel, control, &st);
    if (!c) return st;
    QPainter p(&c->canvas.image);
    SetupPainter(p, *c, drawMode);
    QRect r = ToQRect(*c, rect);
    if (drawMode == VAL_DRAW_INTERIOR) p.fillRect(r, Rgb(c->canvas.fillColor));
    else p.drawRect(r.adjusted(0, 0, -1, -1));
    Record(*c, "rect", rect, drawMode);
    return 0;
}

int CanvasDrawPoly(int panel, int control, int count, const Point* points, int wrap, int drawMode)
{
    UI_CALL();
    int st;
    Ctrl* c = Canvas(panel, control, &st);
    if (!c) return st;
    if (count < 0 || (count > 0 && !points)) return UI_ERR_BAD_VALUE;
    QPolygon poly;
    for (int i = 0; i < count; ++i) poly << QPoint(points[i].x, points[i].y);
    QPainter p(&c->canvas.image);
    SetupPainter(p, *c, drawMode);
    if (wrap || drawMode != VAL_DRAW_FRAME) p.drawPolygon(poly);
    else p.drawPolyline(poly);
    Record(*c, "poly", Rect{0, 0, 0, 0}, drawMode, std::vector<Point>(points, points + count));
    return 0;
}

int CanvasDrawLine(int panel, int control, Point from, Point to)
{
    UI_CALL();
    int st;
    Ctrl* c = Canvas(panel, control, &st);
    if (!c) return st;
    QPainter p(&c->canvas.image);
    p.setPen(QPen(Rgb(c->canvas.penColor), c->canvas.penWidth));
    p.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
    Record(*c, "line", Rect{0, 0, 0, 0}, VAL_DRAW_FRAME, {from, to});
    return 0;
}

int CanvasDrawText(int panel, int control, const char* text, const char* font, Rect bounds, int justify)
{
    UI_CALL();
    int st;
    Ctrl* c = Canvas(panel, control, &st);
    if (!c) return st;
    if (!text) return UI_ERR_BAD_VALUE;
    QPainter p(&c->canvas.image);
    QFont f = RuntimeFont(font ? font : "", 13);
    p.setFont(f);
    p.setPen(Rgb(c->canvas.penColor));
    int align = justify == VAL_RIGHT_JUSTIFIED ? Qt::AlignRight : justify == VAL_CENTER_JUSTIFIED ? Qt::AlignHCenter : Qt::AlignLeft;
    p.drawText(ToQRect(*c, bounds), align | Qt::AlignVCenter, QStr(text));
    Record(*c, "text", bounds, 0);
    return 0;
}

int CanvasDrawBitmap(int panel, int control, int bitmap, Rect source, Rect dest)
{
    UI_CALL();
    int st;
    Ctrl* c = Canvas(panel, control, &st);
    if (!c) return st;
    auto it = RT().bitmaps.find(bitmap);
    if (it == RT().bitmaps.end()) return UI_ERR_BAD_BITMAP;
    const QImage& img = it->second;
    QRect src = source.height < 0 || source.width < 0 ? img.rect() : QRect(source.left, source.top, source.width, source.height);
    QRect dst = dest.height < 0 || dest.width < 0 ? QRect(dest.left, dest.top, src.width(), src.height())
                                                   : QRect(dest.left, dest.top, dest.width, dest.height);
    QPainter(&c->canvas.image).drawImage(dst, img, src);
    Record(*c, "bitmap", dest, 0);
    return 0;
}
