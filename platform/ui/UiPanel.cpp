// Panels: top-level windows, child panels and the panels behind tab pages.
// Geometry is absolute pixels (top, left, height x width of the client
// area); the close box raises the panel's close event and never closes the
// window by itself.
#include "platform/ui/UiModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <cmath>

namespace cz::ui {

namespace {

// Top-level window: an optional menu bar above the client area.
class PanelWindow : public QWidget {
public:
    explicit PanelWindow(int handle) : handle_(handle) {}
    void Arrange()
    {
        int y = 0;
        Panel* p = FindPanel(handle_);
        if (!p) return;
        if (p->menuBar) {
            auto it = RT().menuBars.find(p->menuBar);
            if (it != RT().menuBars.end() && it->second.bar) {
                QMenuBar* mb = it->second.bar;
                int h = mb->sizeHint().height();
                mb->setGeometry(0, 0, width(), h);
                y = h;
            }
        }
        if (p->client) p->client->setGeometry(0, y, p->width, p->height);
        setFixedSize(p->width, p->height + y);
    }

protected:
    void closeEvent(QCloseEvent* e) override
    {
        // The program decides what closing means (the panel's close event).
        e->ignore();
        RaisePanelEvent(handle_, EVENT_CLOSE, 0, 0);
    }
    // Keys that no control took: Escape, Return and Delete press the
    // buttons their panels name.
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->modifiers() & ~Qt::KeypadModifier) return QWidget::keyPressEvent(e);
        if (!HandleWindowKey(handle_, focusWidget(), e->key())) QWidget::keyPressEvent(e);
    }

private:
    int handle_;
};

// Frame and title bar of a child panel, drawn around its client area: the
// panel's top/left place the client area in the parent, the frame and the
// title bar lie outside it. The title bar shows the title and, when the close
// item is visible, a close box that raises the panel's close event; a
// movable panel is dragged by its title bar.
class ChildFrame : public QWidget {
public:
    ChildFrame(int handle, QWidget* parent) : QWidget(parent), handle_(handle) {}

    static int TitleBar(const Panel& p)
    {
        return LookInt(p.look, ATTR_TITLEBAR_VISIBLE, 1) ? std::max(0, LookInt(p.look, ATTR_TITLEBAR_THICKNESS, 20)) : 0;
    }
    static int FrameWidth(const Panel& p) { return std::max(0, LookInt(p.look, ATTR_FRAME_THICKNESS, 1)); }
    QRect CloseBox() const
    {
        const Panel* p = FindPanel(handle_);
        if (!p || !LookInt(p->look, ATTR_CLOSE_ITEM_VISIBLE, 1)) return {};
        const int tb = TitleBar(*p), fw = FrameWidth(*p);
        if (tb < 8) return {};
        const int s = tb - 6;
        return QRect(width() - fw - s - 3, fw + 3, s, s);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Panel* p = FindPanel(handle_);
        if (!p) return;
        QPainter pt(this);
        const int fw = FrameWidth(*p), tb = TitleBar(*p);
        const int frameColor = LookInt(p->look, ATTR_FRAME_COLOR, 0xC0C0C0);
        if (fw > 0 && !(frameColor & VAL_TRANSPARENT)) {
            const QColor base = QColor::fromRgb(QRgb(frameColor & 0xFFFFFF));
            const int style = LookInt(p->look, ATTR_FRAME_STYLE, VAL_OUTLINED_FRAME);
            const QColor topLeft = style == VAL_RAISED_FRAME ? base.lighter(140) : style == VAL_SUNKEN_FRAME ? base.darker(160) : base;
            const QColor bottomRight = style == VAL_RAISED_FRAME ? base.darker(160) : style == VAL_SUNKEN_FRAME ? base.lighter(140) : base;
            const int w = width(), h = height();
            pt.fillRect(0, 0, w, fw, topLeft);
            pt.fillRect(0, 0, fw, h, topLeft);
            pt.fillRect(0, h - fw, w, fw, bottomRight);
            pt.fillRect(w - fw, 0, fw, h, bottomRight);
        }
        if (tb > 0) {
            const QRect bar(fw, fw, width() - 2 * fw, tb);
            pt.fillRect(bar, QColor(0x3A, 0x5A, 0x8C));
            QFont f = font();
            f.setBold(true);
            f.setPixelSize(std::max(8, std::min(13, tb - 6)));
            pt.setFont(f);
            pt.setPen(Qt::white);
            const QRect box = CloseBox();
            pt.drawText(bar.adjusted(4, 0, box.isNull() ? -4 : -box.width() - 8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                        QStr(p->title));
            if (!box.isNull()) {
                pt.fillRect(box, QColor(0xD4, 0xD0, 0xC8));
                pt.setPen(QPen(Qt::black, 1.5));
                pt.drawLine(box.topLeft() + QPoint(3, 3), box.bottomRight() - QPoint(3, 3));
                pt.drawLine(box.topRight() + QPoint(-3, 3), box.bottomLeft() + QPoint(3, -3));
            }
        }
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        const Panel* p = FindPanel(handle_);
        if (!p || e->button() != Qt::LeftButton) return;
        const QPoint at = e->position().toPoint();
        if (CloseBox().contains(at)) {
            RaisePanelEvent(handle_, EVENT_CLOSE, 0, 0);
            return;
        }
        const int fw = FrameWidth(*p), tb = TitleBar(*p);
        if (tb > 0 && at.y() >= fw && at.y() < fw + tb && LookInt(p->look, ATTR_MOVABLE, 1)) {
            dragging_ = true;
            grab_ = at;
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        Panel* p = FindPanel(handle_);
        if (!dragging_ || !p) return;
        const QPoint d = e->position().toPoint() - grab_;
        p->top += d.y();
        p->left += d.x();
        ApplyPanelGeometry(*p);
    }
    void mouseReleaseEvent(QMouseEvent*) override
    {
        if (!dragging_) return;
        dragging_ = false;
        RaisePanelEvent(handle_, EVENT_PANEL_MOVE, 0, 0);
    }

private:
    int handle_;
    bool dragging_ = false;
    QPoint grab_;
};

const int kPanelLookAttrs[] = {
    ATTR_BACKCOLOR, ATTR_SCROLL_BAR_COLOR, ATTR_FRAME_COLOR, ATTR_TITLEBAR_VISIBLE,
    ATTR_TITLEBAR_THICKNESS, ATTR_FRAME_THICKNESS, ATTR_FRAME_STYLE, ATTR_SIZABLE,
    ATTR_CAN_MINIMIZE, ATTR_CAN_MAXIMIZE, ATTR_CLOSE_ITEM_VISIBLE, ATTR_MOVABLE,
    ATTR_SCROLL_BARS, ATTR_FLOATING, ATTR_CANCEL_CTRL, ATTR_DEFAULT_CTRL,
};

bool IsPanelLookAttr(int attr)
{
    for (int a : kPanelLookAttrs)
        if (a == attr) return true;
    return false;
}

int PanelLookDefault(int attr)
{
    switch (attr) {
    case ATTR_BACKCOLOR: return 0xE0E0E0;
    case ATTR_SCROLL_BAR_COLOR: return 0xC0C0C0;
    case ATTR_FRAME_COLOR: return 0xC0C0C0;
    case ATTR_TITLEBAR_VISIBLE: case ATTR_SIZABLE: case ATTR_CAN_MINIMIZE:
    case ATTR_CAN_MAXIMIZE: case ATTR_CLOSE_ITEM_VISIBLE: case ATTR_MOVABLE: return 1;
    case ATTR_TITLEBAR_THICKNESS: return 20;
    case ATTR_FRAME_THICKNESS: return 1;
    default: return 0;
    }
}

// Resizing with scale-contents-on-resize scales every control with the panel.
void ScaleControls(Panel& p, double fv, double fh)
{
    for (auto& [id, c] : p.ctrls) {
        c.top = int(std::lround(c.top * fv));
        c.left = int(std::lround(c.left * fh));
        c.height = int(std::lround(c.height * fv));
        c.width = int(std::lround(c.width * fh));
        if (c.labelTop != INT_MIN) c.labelTop = int(std::lround(c.labelTop * fv));
        if (c.labelLeft != INT_MIN) c.labelLeft = int(std::lround(c.labelLeft * fh));
        ApplyGeometry(c);
    }
}

int SetPanelGeometry(Panel& p, int attr, int value)
{
    int sw, sh;
    switch (attr) {
    case ATTR_TOP:
        if (value == VAL_AUTO_CENTER) {
            ScreenSize(&sw, &sh);
            value = (sh - p.height) / 2;
        }
        p.top = value;
        break;
    case ATTR_LEFT:
        if (value == VAL_AUTO_CENTER) {
            ScreenSize(&sw, &sh);
            value = (sw - p.width) / 2;
        }
        p.left = value;
        break;
    case ATTR_HEIGHT:
        if (value < 0) return UI_ERR_BAD_VALUE;
        if (p.scaleOnResize && p.height > 0) ScaleControls(p, double(value) / p.height, 1.0);
        p.height = value;
        break;
    case ATTR_WIDTH:
        if (value < 0) return UI_ERR_BAD_VALUE;
        if (p.scaleOnResize && p.width > 0) ScaleControls(p, 1.0, double(value) / p.width);
        p.width = value;
        break;
    }
    ApplyPanelGeometry(p);
    return 0;
}

} // namespace

void CreatePanelWidgets(Panel& p)
{
    QWidget* parentClient = nullptr;
    if (p.parent) {
        if (Panel* parent = FindPanel(p.parent)) parentClient = parent->client;
    }
    if (!parentClient) {
        auto* w = new PanelWindow(p.handle);
        w->setAttribute(Qt::WA_DontShowOnScreen, QGuiApplication::platformName() == "offscreen");
        p.window = w;
        p.client = new QWidget(w);
    } else {
        p.frame = new ChildFrame(p.handle, parentClient);
        p.frame->hide();
        p.client = new QWidget(p.frame);
    }
    p.client->setAutoFillBackground(true);
    ApplyPanelLook(p);
    ApplyPanelGeometry(p);
}

void ApplyPanelGeometry(Panel& p)
{
    if (p.window) {
        p.window->move(p.left, p.top);
        static_cast<PanelWindow*>(p.window.data())->Arrange();
    } else if (p.frame && p.client) {
        const int fw = ChildFrame::FrameWidth(p), tb = ChildFrame::TitleBar(p);
        p.frame->setGeometry(p.left - fw, p.top - fw - tb, p.width + 2 * fw, p.height + 2 * fw + tb);
        p.client->setGeometry(fw, fw + tb, p.width, p.height);
        p.frame->update();
    } else if (p.client && p.tabOwnerPanel == 0) {
        p.client->setGeometry(p.left, p.top, p.width, p.height);
    } else if (p.client) {
        p.client->resize(p.width, p.height);
    }
}

void ApplyPanelLook(Panel& p)
{
    if (!p.client) return;
    QPalette pal = p.client->palette();
    int bg = LookInt(p.look, ATTR_BACKCOLOR, PanelLookDefault(ATTR_BACKCOLOR));
    pal.setColor(QPalette::Window, QColor::fromRgb(QRgb(bg & 0xFFFFFF)));
    p.client->setPalette(pal);
    FocusQuiet quiet;
    p.client->setEnabled(!p.dimmed);
    if (p.frame) ApplyPanelGeometry(p); // frame and title bar sizes may have changed
    if (p.window) {
        p.window->setWindowTitle(QStr(p.title));
        Qt::WindowFlags f = Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        if (LookInt(p.look, ATTR_CAN_MINIMIZE, 1)) f |= Qt::WindowMinimizeButtonHint;
        if (LookInt(p.look, ATTR_CAN_MAXIMIZE, 1) && LookInt(p.look, ATTR_SIZABLE, 1))
            f |= Qt::WindowMaximizeButtonHint;
        if (p.window->windowFlags() != f) {
            bool shown = p.window->isVisible();
            p.window->setWindowFlags(f);
            if (shown) p.window->show();
        }
    }
}

QWidget* PanelTopWidget(const Panel& p)
{
    if (p.window) return p.window.data();
    if (p.frame) return p.frame.data();
    return p.client.data();
}

int DiscardPanelTree(int handle)
{
    Runtime& rt = RT();
    Panel* p = FindPanel(handle);
    if (!p) return UI_ERR_BAD_PANEL;
    std::vector<int> children;
    for (auto& [h, q] : rt.panels)
        if (q.parent == handle || q.tabOwnerPanel == handle) children.push_back(h);
    for (int h : children) DiscardPanelTree(h);
    p = FindPanel(handle);
    if (!p) return 0;
    if (p->menuBar) {
        auto it = rt.menuBars.find(p->menuBar);
        if (it != rt.menuBars.end()) it->second.panel = 0;
    }
    QWidget* top = PanelTopWidget(*p);
    if (top) {
        FocusQuiet quiet;
        top->hide();
        top->deleteLater();
    }
    for (auto it = rt.userEvents.begin(); it != rt.userEvents.end();)
        it = it->panel == handle ? rt.userEvents.erase(it) : it + 1;
    rt.panels.erase(handle);
    return 0;
}

} // namespace cz::ui

using namespace cz::ui;

int NewPanel(int parent, const char* title, int top, int left, int height, int width)
{
    UI_CALL();
    Runtime& rt = RT();
    if (parent != 0 && !FindPanel(parent)) return UI_ERR_BAD_PANEL;
    if (height < 0 || width < 0) return UI_ERR_BAD_VALUE;
    int handle = rt.nextPanel++;
    Panel& p = rt.panels[handle];
    p.handle = handle;
    p.parent = parent;
    p.title = title ? title : "";
    p.height = height;
    p.width = width;
    int sw, sh;
    ScreenSize(&sw, &sh);
    p.top = top == VAL_AUTO_CENTER ? (sh - height) / 2 : top;
    p.left = left == VAL_AUTO_CENTER ? (sw - width) / 2 : left;
    CreatePanelWidgets(p);
    return handle;
}

int DiscardPanel(int panel)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (p->tabOwnerPanel) return UI_ERR_GENERAL; // pages go with their tab control
    return DiscardPanelTree(panel);
}

int DisplayPanel(int panel)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    p->visible = true;
    if (p->window) {
        p->window->show();
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) p->window->raise();
    } else if (QWidget* w = p->tabOwnerPanel ? nullptr : PanelTopWidget(*p)) {
        p->client->show();
        w->show();
        w->raise();
    }
    return 0;
}

int HidePanel(int panel)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    p->visible = false;
    FocusQuiet quiet;
    if (QWidget* w = p->tabOwnerPanel ? nullptr : PanelTopWidget(*p)) w->hide();
    return 0;
}

int SetPanelAttribute(int panel, int attr, int value)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    switch (attr) {
    case ATTR_TOP: case ATTR_LEFT: case ATTR_HEIGHT: case ATTR_WIDTH:
        return SetPanelGeometry(*p, attr, value);
    case ATTR_VISIBLE:
        p->visible = value != 0;
        if (QWidget* w = p->tabOwnerPanel ? nullptr : PanelTopWidget(*p)) {
            FocusQuiet quiet;
            if (p->visible) p->client->show();
            w->setVisible(p->visible);
        }
        return 0;
    case ATTR_DIMMED:
        p->dimmed = value != 0;
        ApplyPanelLook(*p);
        return 0;
    case ATTR_SCALE_CONTENTS_ON_RESIZE:
        p->scaleOnResize = value != 0;
        return 0;
    case ATTR_ACTIVE:
        if (value && p->window) p->window->activateWindow();
        return 0;
    default:
        if (!IsPanelLookAttr(attr)) return UI_ERR_BAD_ATTRIBUTE;
        p->look[attr] = AttrValue{false, double(value), {}};
        ApplyPanelLook(*p);
        return 0;
    }
}

int SetPanelAttribute(int panel, int attr, double value)
{
    return SetPanelAttribute(panel, attr, int(value));
}

int SetPanelAttribute(int panel, int attr, const char* value)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    switch (attr) {
    case ATTR_TITLE:
        p->title = value ? value : "";
        ApplyPanelLook(*p);
        return 0;
    case ATTR_CONSTANT_NAME:
        p->constName = value ? value : "";
        return 0;
    default:
        return IsPanelLookAttr(attr) || attr == ATTR_TOP ? UI_ERR_BAD_TYPE : UI_ERR_BAD_ATTRIBUTE;
    }
}

int SetPanelAttribute(int panel, int attr, PanelCallbackPtr callback)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (attr != ATTR_CALLBACK_FUNCTION_POINTER) return UI_ERR_BAD_TYPE;
    p->callback = callback;
    return 0;
}

int SetPanelAttribute(int panel, int attr, void* callbackData)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (attr != ATTR_CALLBACK_DATA) return UI_ERR_BAD_TYPE;
    p->callbackData = callbackData;
    return 0;
}

int InstallPanelCallback(int panel, PanelCallbackPtr callback, void* callbackData)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    p->callback = callback;
    p->callbackData = callbackData;
    return 0;
}

int GetPanelAttribute(int panel, int attr, int* value)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (!value) return UI_ERR_BAD_VALUE;
    switch (attr) {
    case ATTR_TOP: *value = p->top; return 0;
    case ATTR_LEFT: *value = p->left; return 0;
    case ATTR_HEIGHT: *value = p->height; return 0;
    case ATTR_WIDTH: *value = p->width; return 0;
    case ATTR_VISIBLE: *value = p->visible ? 1 : 0; return 0;
    case ATTR_DIMMED: *value = p->dimmed ? 1 : 0; return 0;
    case ATTR_SCALE_CONTENTS_ON_RESIZE: *value = p->scaleOnResize ? 1 : 0; return 0;
    case ATTR_PANEL_PARENT: *value = p->tabOwnerPanel ? p->tabOwnerPanel : p->parent; return 0;
    case ATTR_PANEL_MENU_BAR: *value = p->menuBar; return 0;
    case ATTR_ACTIVE: *value = p->window && p->window->isActiveWindow() ? 1 : 0; return 0;
    default:
        if (!IsPanelLookAttr(attr)) return UI_ERR_BAD_ATTRIBUTE;
        *value = LookInt(p->look, attr, PanelLookDefault(attr));
        return 0;
    }
}

int GetPanelAttribute(int panel, int attr, double* value)
{
    if (!value) return UI_ERR_BAD_VALUE;
    int v = 0;
    int s = GetPanelAttribute(panel, attr, &v);
    if (s >= 0) *value = v;
    return s;
}

int GetPanelAttribute(int panel, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (attr == ATTR_TITLE) return CopyOut(buffer, bufferSize, p->title);
    if (attr == ATTR_CONSTANT_NAME) return CopyOut(buffer, bufferSize, p->constName);
    return UI_ERR_BAD_ATTRIBUTE;
}

int GetPanelMenuBar(int panel)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    return p->menuBar;
}

int GetActivePanel()
{
    UI_CALL();
    QWidget* w = QApplication::activeWindow();
    for (auto& [h, p] : RT().panels)
        if (w && p.window == w) return h;
    return 0;
}

int SetActivePanel(int panel)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (p->window) {
        p->window->raise();
        p->window->activateWindow();
    }
    return 0;
}
