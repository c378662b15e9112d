// Bitmaps: decoded from text (base64 of a PNG/BMP/XPM file, or XPM text),
// loaded from files or made in one colour; attached to pictures, picture
// buttons, tab pages, trees and canvases by copy, so a bitmap can be
// discarded right after it is attached.
#include "platform/ui/UiModel.h"

#include <QByteArray>
#include <QTabWidget>
#include <QWidget>

using namespace cz::ui;

static int Store(QImage img, int* bitmap)
{
    if (img.isNull()) return UI_ERR_BAD_BITMAP;
    int h = RT().nextBitmap++;
    RT().bitmaps[h] = std::move(img);
    *bitmap = h;
    return 0;
}

int GetUserBitmapFromText(const char* encoded, int* bitmap)
{
    UI_CALL();
    if (!encoded || !bitmap) return UI_ERR_BAD_VALUE;
    *bitmap = 0;
    QByteArray text(encoded);
    QImage img;
    if (text.trimmed().startsWith("/* XPM */")) img.loadFromData(text, "XPM");
    if (img.isNull()) {
        auto decoded = QByteArray::fromBase64Encoding(text.simplified().replace(' ', ""), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded) img.loadFromData(*decoded);
    }
    return Store(img, bitmap);
}

int NewBitmapFromFile(const char* path, int* bitmap)
{
    UI_CALL();
    if (!path || !bitmap) return UI_ERR_BAD_VALUE;
    QImage img(QStr(path));
    if (img.isNull()) return UI_ERR_FILE;
    return Store(img, bitmap);
}

int NewBitmap(int width, int height, int color, int* bitmap)
{
    UI_CALL();
    if (width <= 0 || height <= 0 || !bitmap) return UI_ERR_BAD_VALUE;
    QImage img(width, height, QImage::Format_ARGB32);
    img.fill((color & VAL_TRANSPARENT) ? QColor(Qt::transparent) : QColor::fromRgb(QRgb(color)));
    return Store(img, bitmap);
}

int DiscardBitmap(int bitmap)
{
    UI_CALL();
    return RT().bitmaps.erase(bitmap) ? 0 : UI_ERR_BAD_BITMAP;
}

int SetCtrlBitmap(int panel, int control, int bitmap)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    QImage img;
    if (bitmap) {
        auto it = RT().bitmaps.find(bitmap);
        if (it == RT().bitmaps.end()) return UI_ERR_BAD_BITMAP;
        img = it->second;
    }
    switch (c->kind) {
    case CTRL_PICTURE: case CTRL_PICTURE_BUTTON: case CTRL_COMMAND_BUTTON: case CTRL_TOGGLE_BUTTON:
        c->pixmap = QPixmap::fromImage(img);
        ApplyValue(*c);
        return 0;
    case CTRL_CANVAS:
        EnsureCanvasImage(*c);
        CanvasDrawBitmap(panel, control, bitmap, Rect{0, 0, -1, -1}, Rect{0, 0, -1, -1});
        return 0;
    default:
        return UI_ERR_WRONG_KIND;
    }
}

int SetTabPageBitmap(int panel, int tabControl, int pageIndex, int bitmap)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, tabControl, &st);
    if (!c) return st;
    if (c->kind != CTRL_TAB) return UI_ERR_WRONG_KIND;
    if (pageIndex < 0 || pageIndex >= int(c->tab.pages.size())) return UI_ERR_BAD_INDEX;
    auto it = RT().bitmaps.find(bitmap);
    if (it == RT().bitmaps.end()) return UI_ERR_BAD_BITMAP;
    if (auto* tw = qobject_cast<QTabWidget*>(c->widget.data())) tw->setTabIcon(pageIndex, QIcon(QPixmap::fromImage(it->second)));
    return 0;
}
