// Test driver: user actions in the user's place, clock and failing-call
// hooks, read-back of plots and canvas operations, panel grabs.
#include "platform/ui/TestDriver.h"
#include "platform/ui/UiModel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QApplication>
#include <QPushButton>
#include <QStackedWidget>
#include <QAbstractSpinBox>
#include <QStyleOptionButton>
#include <QStyleOptionSpinBox>
#include <QStyleOptionComboBox>
#include <QStyleOptionHeader>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>

using namespace cz::ui;

void UiTest_Reset()
{
    EnsureApp();
    CloseUserInterface();
    Runtime& rt = RT();
    rt.resolutionAdjustment = 0;
    rt.fakeMonitorWidth = rt.fakeMonitorHeight = 0;
    rt.fakeClock = true;
    rt.fakeNow = 0.0;
    rt.totalDelay = 0.0;
    rt.callCount = 0;
    rt.failAt = 0;
    rt.callbackDepth = 0;
    rt.focusPanel = rt.focusCtrl = 0;
    rt.deferredHook = nullptr;
    rt.commandHook = nullptr;
    UiTest_ClearPopups();
    UiTest_SetScriptedPopups(true);
    DeclinePopups(0);
}

void UiTest_UseFakeClock(bool on) { RT().fakeClock = on; }
void UiTest_AdvanceClock(double seconds) { RT().fakeNow += seconds; }
double UiTest_TotalDelay() { return RT().totalDelay; }

void UiTest_FailNthCall(int n, int status)
{
    Runtime& rt = RT();
    rt.failAt = n > 0 ? rt.callCount + n : 0;
    rt.failStatus = status < 0 ? status : UI_ERR_INJECTED;
}

long UiTest_CallCount() { return RT().callCount; }

void UiTest_SetMonitorSize(int width, int height)
{
    RT().fakeMonitorWidth = width;
    RT().fakeMonitorHeight = height;
}

static Ctrl* Find(int panel, int control, int* st)
{
    EnsureApp();
    FlushDirty();
    return FindCtrl(panel, control, st);
}

static bool TakesFocus(const Ctrl& c)
{
    return c.kind != CTRL_TEXT_MSG && c.kind != CTRL_DECORATION && c.kind != CTRL_PICTURE && c.kind != CTRL_LED;
}

// A mouse press gives the control the focus, with the focus events; false
// when their callbacks discarded the control or made it inoperable.
static bool TakeFocus(int panel, int control)
{
    UserMoveFocus(panel, control);
    Ctrl* c = FindCtrl(panel, control);
    if (!c) return false;
    if (c->widget) {
        FocusQuiet quiet; // a press focuses without moving an item view's current item
        c->widget->setFocus(Qt::MouseFocusReason);
    }
    return UserCanOperate(*c);
}

int UiTest_FocusCtrl(int panel, int control)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (!UserCanOperate(*c) || !TakesFocus(*c)) return 0;
    TakeFocus(panel, control);
    return 1;
}

int UiTest_PressKey(int panel, int control, int key)
{
    const int qtKey = key == UITEST_KEY_ESCAPE ? Qt::Key_Escape
                      : key == UITEST_KEY_RETURN ? Qt::Key_Return
                      : key == UITEST_KEY_DELETE ? Qt::Key_Delete
                      : key == UITEST_KEY_UP     ? Qt::Key_Up
                      : key == UITEST_KEY_DOWN   ? Qt::Key_Down
                                                 : 0;
    if (!qtKey) return UI_ERR_BAD_VALUE;
    QWidget* target = nullptr;
    if (control > 0) {
        int st;
        Ctrl* c = Find(panel, control, &st);
        if (!c) return st;
        if (!UserCanOperate(*c) || !TakesFocus(*c) || !TakeFocus(panel, control)) return 0;
        // The window is drawn before the key arrives: a tree's highlight
        // stands on its active item.
        FlushDirty();
        c = FindCtrl(panel, control);
        if (!c || !c->widget) return 0;
        // The key goes where the focus went: a numeric's line edit, say.
        target = c->widget;
        QWidget* focused = target->window()->focusWidget();
        if (focused && target->isAncestorOf(focused)) target = focused;
    } else {
        Panel* p = FindPanel(panel);
        if (!p) return UI_ERR_BAD_PANEL;
        QWidget* top = PanelTopWidget(*p);
        target = top ? top->window() : nullptr;
        if (!target) return 0;
        if (QWidget* focused = target->focusWidget()) {
            FocusQuiet quiet;
            focused->clearFocus();
        }
    }
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
    if (target) QApplication::sendEvent(target, &release);
    return 1;
}

int UiTest_FocusedCtrl(int* panel)
{
    if (panel) *panel = RT().focusPanel;
    return RT().focusCtrl;
}

int UiTest_TableCellPictureSize(int panel, int control, Point cell, int* width, int* height)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TABLE) return UI_ERR_WRONG_KIND;
    if (cell.y < 1 || cell.y > c->table.rows || cell.x < 1 || cell.x > c->table.cols) return UI_ERR_BAD_CELL;
    if (!width || !height) return UI_ERR_BAD_VALUE;
    const TableCell& k = c->table.at(cell.y, cell.x);
    *width = k.Picture().width();
    *height = k.Picture().height();
    return 0;
}

int UiTest_ClickCtrl(int panel, int control)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (!UserCanOperate(*c)) return 0;
    switch (c->kind) {
    case CTRL_CHECK_BOX: case CTRL_RADIO_BUTTON: case CTRL_TOGGLE_BUTTON:
        return UserSetNumeric(*c, c->num != 0 ? 0.0 : 1.0, true);
    case CTRL_COMMAND_BUTTON: case CTRL_PICTURE_BUTTON:
        // The press focuses the button; a callback of the control losing the
        // focus may dim it, and a dimmed button takes no click.
        if (!TakeFocus(panel, control)) return 0;
        c = FindCtrl(panel, control);
        // Through the widget, as a real click.
        if (auto* b = qobject_cast<QAbstractButton*>(c->widget.data())) b->click();
        else RaiseCtrlEvent(panel, control, EVENT_COMMIT, 0, 0);
        return 1;
    default:
        RaiseCtrlEvent(panel, control, EVENT_LEFT_CLICK, c->height / 2, c->width / 2);
        return 1;
    }
}

int UiTest_CommitCtrl(int panel, int control)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (!UserCanOperate(*c)) return 0;
    RaiseCtrlEvent(panel, control, EVENT_COMMIT, 0, 0);
    return 1;
}

int UiTest_EnterValue(int panel, int control, int value) { return UiTest_EnterValue(panel, control, double(value)); }

int UiTest_EnterValue(int panel, int control, double value)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind == CTRL_RING) {
        for (size_t i = 0; i < c->items.size(); ++i)
            if (c->items[i].num == value) return UserChooseIndex(*c, int(i));
        return UI_ERR_BAD_VALUE;
    }
    return UserSetNumeric(*c, value, true);
}

int UiTest_EnterValue(int panel, int control, const char* value)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    return UserSetText(*c, value, true);
}

int UiTest_ChooseRingIndex(int panel, int control, int index)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_RING) return UI_ERR_WRONG_KIND;
    if (index < 0 || index >= int(c->items.size())) return UI_ERR_BAD_INDEX;
    return UserChooseIndex(*c, index);
}

int UiTest_ChooseMenuItem(int menuBar, int menuItem)
{
    EnsureApp();
    auto it = RT().menuBars.find(menuBar);
    if (it == RT().menuBars.end()) return UI_ERR_BAD_MENU;
    auto e = it->second.entries.find(menuItem);
    if (e == it->second.entries.end() || e->second.menu == 0 || e->second.separator) return UI_ERR_BAD_MENU;
    if (e->second.dimmed) return 0;
    RaiseMenuEvent(menuBar, menuItem);
    return 1;
}

int UiTest_ClickTreeItem(int panel, int control, int index, bool doubleClick)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TREE) return UI_ERR_WRONG_KIND;
    if (index < 0 || index >= int(c->tree.items.size())) return UI_ERR_BAD_ITEM;
    if (!UserCanOperate(*c)) return 0;
    if (!TakeFocus(panel, control)) return 0;
    c = FindCtrl(panel, control);
    if (index >= int(c->tree.items.size())) return 0;
    // Make the item visible so that the click lands on it.
    for (int i = index - 1, lvl = c->tree.items[size_t(index)].level; i >= 0; --i)
        if (c->tree.items[size_t(i)].level < lvl) {
            c->tree.items[size_t(i)].collapsed = false;
            lvl = c->tree.items[size_t(i)].level;
        }
    FlushTree(*c);
    int x = c->width / 2, y = 2;
    if (auto* w = dynamic_cast<QTreeWidget*>(c->widget.data())) {
        w->resize(c->width, c->height);
        QTreeWidgetItemIterator it(w);
        while (*it) {
            if ((*it)->data(0, Qt::UserRole + 1).toInt() == index) {
                w->scrollToItem(*it);
                QRect r = w->visualItemRect(*it);
                QPoint p = w->viewport()->mapTo(w, r.center());
                x = p.x();
                y = p.y();
                break;
            }
            ++it;
        }
    }
    // The press highlights the item, as the mouse does.
    c->tree.active = index;
    MarkDirty(*c);
    RaiseCtrlEvent(panel, control, doubleClick ? EVENT_LEFT_DOUBLE_CLICK : EVENT_LEFT_CLICK, y, x);
    if ((c = FindCtrl(panel, control)) != nullptr) {
        RaiseCtrlEvent(panel, control, EVENT_SELECTION_CHANGE, index, 0);
        if (doubleClick) RaiseCtrlEvent(panel, control, EVENT_COMMIT, index, 0);
    }
    return 1;
}

int UiTest_SetMarkState(int panel, int control, int index, int state)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TREE) return UI_ERR_WRONG_KIND;
    return TreeSetMarkStateAsUser(panel, control, index, state);
}

int UiTest_ExpandTreeItem(int panel, int control, int index, bool expand)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TREE) return UI_ERR_WRONG_KIND;
    if (index < 0 || index >= int(c->tree.items.size())) return UI_ERR_BAD_ITEM;
    if (!UserCanOperate(*c)) return 0;
    c->tree.items[size_t(index)].collapsed = !expand;
    if (expand) LoadFolderChildren(*c, index);
    MarkDirty(*c);
    RaiseCtrlEvent(panel, control, expand ? EVENT_EXPAND : EVENT_COLLAPSE, index, 0);
    return 1;
}

int UiTest_ClickTableCell(int panel, int control, Point cell, bool doubleClick)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TABLE) return UI_ERR_WRONG_KIND;
    if (cell.y < 1 || cell.y > c->table.rows || cell.x < 1 || cell.x > c->table.cols) return UI_ERR_BAD_CELL;
    if (!UserCanOperate(*c)) return 0;
    if (!TakeFocus(panel, control)) return 0;
    c = FindCtrl(panel, control);
    if (cell.y > c->table.rows || cell.x > c->table.cols) return 0;
    FlushTable(*c);
    int x = 0, y = 0;
    if (auto* w = dynamic_cast<QAbstractItemView*>(c->widget.data())) {
        w->resize(c->width, c->height);
        QModelIndex mi = w->model()->index(cell.y - 1, cell.x - 1);
        w->scrollTo(mi);
        QPoint p = w->viewport()->mapTo(w, w->visualRect(mi).center());
        x = p.x();
        y = p.y();
    }
    if (!doubleClick) return TableUserClick(*c, cell, y, x, false);
    if (!TableUserActivate(panel, control, cell)) return 1;
    RaiseCtrlEvent(panel, control, EVENT_LEFT_DOUBLE_CLICK, y, x);
    return 1;
}

int UiTest_ChooseTableCellRingItem(int panel, int control, Point cell, int index)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TABLE) return UI_ERR_WRONG_KIND;
    if (cell.y < 1 || cell.y > c->table.rows || cell.x < 1 || cell.x > c->table.cols) return UI_ERR_BAD_CELL;
    const TableCell& k = c->table.at(cell.y, cell.x);
    if (k.type != VAL_CELL_RING) return 0;
    if (index < 0 || index >= int(k.Ring().size())) return UI_ERR_BAD_INDEX;
    if (auto* w = c->widget.data()) w->resize(c->width, c->height);
    auto* combo = qobject_cast<QComboBox*>(OpenTableCellEditor(*c, cell));
    if (!combo || index >= combo->count()) return 0;
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index); // as the user's pick in the drop-down
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 1;
}

int UiTest_TypeTableCell(int panel, int control, Point cell, const char* text)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TABLE) return UI_ERR_WRONG_KIND;
    if (cell.y < 1 || cell.y > c->table.rows || cell.x < 1 || cell.x > c->table.cols) return UI_ERR_BAD_CELL;
    if (!text) return UI_ERR_BAD_VALUE;
    if (auto* w = c->widget.data()) w->resize(c->width, c->height);
    auto* edit = qobject_cast<QLineEdit*>(OpenTableCellEditor(*c, cell));
    if (!edit) return 0;
    edit->setText(QStr(text));
    SubmitTableCellEditor(*c, edit);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 1;
}

int UiTest_CommitTableCell(int panel, int control, Point cell, double value)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    return TableCommitAsUser(panel, control, cell, value, nullptr);
}

int UiTest_CommitTableCell(int panel, int control, Point cell, const char* value)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    return TableCommitAsUser(panel, control, cell, 0.0, value ? value : "");
}

int UiTest_DragGraphCursor(int panel, int control, int cursor, double x, double y, int steps)
{
    int st;
    Ctrl* c = Find(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_GRAPH) return UI_ERR_WRONG_KIND;
    if (cursor < 1 || cursor > int(c->graph.cursors.size())) return UI_ERR_NO_CURSOR;
    if (!UserCanOperate(*c)) return 0;
    c->graph.activeCursor = cursor;
    const GraphCursor start = c->graph.cursors[size_t(cursor - 1)];
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        c = FindCtrl(panel, control);
        if (!c || cursor > int(c->graph.cursors.size())) return 0;
        GraphCursor& k = c->graph.cursors[size_t(cursor - 1)];
        k.x = start.x + (x - start.x) * i / steps;
        k.y = start.y + (y - start.y) * i / steps;
        SnapCursor(*c, k);
        UpdateGraphWidget(*c);
        RaiseCtrlEvent(panel, control, EVENT_VAL_CHANGED, 0, 0);
    }
    RaiseCtrlEvent(panel, control, EVENT_COMMIT, 0, 0);
    return 1;
}

int UiTest_ChooseTabPage(int panel, int tabControl, int index)
{
    int st;
    Ctrl* c = Find(panel, tabControl, &st);
    if (!c) return st;
    if (c->kind != CTRL_TAB) return UI_ERR_WRONG_KIND;
    if (index < 0 || index >= int(c->tab.pages.size())) return UI_ERR_BAD_INDEX;
    if (!UserCanOperate(*c)) return 0;
    Panel* page = FindPanel(c->tab.pages[size_t(index)]);
    if (page && (!LookInt(page->pageAttrs, ATTR_VISIBLE, 1) || LookInt(page->pageAttrs, ATTR_DIMMED, 0))) return 0;
    int old = c->tab.active;
    c->tab.active = index;
    RefreshTabWidget(*FindPanel(panel), *c);
    if (old != index) RaiseCtrlEvent(panel, tabControl, EVENT_ACTIVE_TAB_CHANGE, old, index);
    return 1;
}

int UiTest_PressCloseBox(int panel)
{
    EnsureApp();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (p->window) p->window->close(); // the window's close event raises EVENT_CLOSE
    else RaisePanelEvent(panel, EVENT_CLOSE, 0, 0);
    return 1;
}

int UiTest_QueuedUserEvents() { return int(RT().userEvents.size()); }
bool UiTest_InCallback() { return RT().callbackDepth > 0; }
int UiTest_CallbackDepth() { return RT().callbackDepth; }

std::vector<UiTest_Plot> UiTest_GetPlots(int panel, int control)
{
    std::vector<UiTest_Plot> out;
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_GRAPH) return out;
    static const char* kinds[] = {"line", "point", "oval", "rect", "text", "xy"};
    for (const Plot& p : c->graph.plots) {
        UiTest_Plot t;
        t.handle = p.handle;
        t.kind = kinds[p.kind];
        t.color = p.color;
        t.fillColor = p.fillColor;
        t.pointStyle = p.pointStyle;
        if (p.kind == PLOT_XY) {
            t.x = p.xs;
            t.y = p.ys;
        } else if (p.kind == PLOT_POINT || p.kind == PLOT_TEXT) {
            t.x = {p.x1};
            t.y = {p.y1};
        } else {
            t.x = {p.x1, p.x2};
            t.y = {p.y1, p.y2};
        }
        t.text = p.text;
        out.push_back(std::move(t));
    }
    return out;
}

std::vector<UiTest_CanvasOp> UiTest_GetCanvasOps(int panel, int control)
{
    std::vector<UiTest_CanvasOp> out;
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_CANVAS) return out;
    for (const CanvasOp& op : c->canvas.ops)
        out.push_back({op.kind, op.rect, op.points, op.penColor, op.fillColor, op.drawMode});
    return out;
}

int UiTest_CanvasPixel(int panel, int control, int x, int y)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_CANVAS) return UI_ERR_BAD_CONTROL;
    EnsureCanvasImage(*c);
    if (!c->canvas.image.valid(x, y)) return UI_ERR_BAD_VALUE;
    return int(c->canvas.image.pixel(x, y) & 0xFFFFFF);
}

QWidget* UiTest_Widget(int panel, int control)
{
    FlushDirty();
    if (control == 0) {
        Panel* p = FindPanel(panel);
        return p ? PanelTopWidget(*p) : nullptr;
    }
    Ctrl* c = FindCtrl(panel, control);
    return c ? c->widget.data() : nullptr;
}

int UiTest_GrabPanelPng(int panel, const char* path)
{
    EnsureApp();
    Panel* p = FindPanel(panel);
    if (!p || !path) return 0;
    FlushDirty();
    QWidget* w = PanelTopWidget(*p);
    if (!w) return 0;
    QCoreApplication::processEvents();
    QPixmap pix = w->grab();
    return !pix.isNull() && pix.save(QStr(path), "PNG") ? 1 : 0;
}

std::vector<int> UiTest_Panels()
{
    std::vector<int> out;
    for (const auto& [handle, p] : RT().panels) out.push_back(handle);
    return out;
}

namespace {

// Width and height a text needs at a font: its widest line, its lines.
QSize TextNeeds(const QFont& font, const QString& text)
{
    const QFontMetrics fm(font);
    const QStringList lines = text.split(QLatin1Char('\n'));
    int w = 0;
    for (const QString& l : lines) w = std::max(w, fm.horizontalAdvance(l));
    return QSize(w, fm.height() + (int(lines.size()) - 1) * fm.lineSpacing());
}

// What a button-like widget shows: the caption without its mnemonic mark.
QString Shown(const QString& caption)
{
    QString out;
    for (int i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

struct FitCheck {
    const Panel& panel;
    QRect visible; // the part of the panel that its window or tab page shows
    std::vector<UiTest_ClippedText>& out;

    void Add(const Ctrl& c, const char* part, const QString& text, QSize need, QSize box)
    {
        out.push_back({panel.handle, c.id, panel.constName + "." + c.constName + " " + part, StdStr(text),
                       need.width(), need.height(), box.width(), box.height()});
    }
    void Check(const Ctrl& c, const char* part, const QString& text, const QFont& font, QSize box)
    {
        if (text.trimmed().isEmpty()) return;
        const QSize need = TextNeeds(font, text);
        if (need.width() > box.width() || need.height() > box.height()) Add(c, part, text, need, box);
    }
    // Part of a text's rectangle that is covered (by its control) or cut off
    // (by the panel's or the tab bar's edge); area is what it may use.
    void Within(const Ctrl& c, const char* part, const QString& text, QRect r, QRect area)
    {
        if (area.contains(r)) return;
        Add(c, part, text, r.size(), r.intersected(area).size());
    }
    void Clear(const Ctrl& c, const char* part, const QString& text, QRect r, QRect body)
    {
        const QRect covered = r.intersected(body);
        if (!covered.isEmpty()) Add(c, part, text, r.size(), QSize(r.width() - covered.width(), r.height()));
    }
};

void CheckCtrl(FitCheck& fit, const Ctrl& c)
{
    QWidget* w = c.widget.data();
    if (!w) return;
    if (QLabel* l = c.labelWidget.data(); l && !c.label.empty() && LookInt(c.look, ATTR_LABEL_VISIBLE, 1)) {
        const QString text = Shown(l->text());
        fit.Check(c, "label", text, l->font(), l->contentsRect().size());
        // A label beside its control must not run under it, nor off the panel.
        fit.Clear(c, "label under its control", text, l->geometry(), QRect(c.left, c.top, c.width, c.height));
        fit.Within(c, "label off the panel", text, l->geometry(), fit.visible);
    }
    switch (c.kind) {
    case CTRL_TEXT_MSG: {
        auto* l = static_cast<QLabel*>(w);
        if (l->text().isEmpty()) break;
        fit.Check(c, "text", l->text(), l->font(), l->contentsRect().size());
        // Where the text is drawn must lie in the part of the panel shown.
        const QSize need = TextNeeds(l->font(), l->text()).boundedTo(l->contentsRect().size());
        const QRect drawn = QStyle::alignedRect(Qt::LeftToRight, l->alignment(), need, l->contentsRect());
        fit.Within(c, "text off the panel", l->text(), drawn.translated(l->pos()), fit.visible);
        break;
    }
    case CTRL_COMMAND_BUTTON: case CTRL_TOGGLE_BUTTON: case CTRL_PICTURE_BUTTON: {
        auto* b = static_cast<QPushButton*>(w);
        if (!b->icon().isNull()) break;
        QStyleOptionButton o;
        o.initFrom(b);
        o.text = b->text();
        const QSize box = b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b).size();
        if (c.kind == CTRL_TOGGLE_BUTTON) {
            fit.Check(c, "on text", QStr(LookText(c.look, ATTR_ON_TEXT, "On")), b->font(), box);
            fit.Check(c, "off text", QStr(LookText(c.look, ATTR_OFF_TEXT, "Off")), b->font(), box);
        } else {
            fit.Check(c, "caption", Shown(b->text()), b->font(), box);
        }
        if (!b->text().isEmpty()) fit.Within(c, "caption off the panel", Shown(b->text()), b->geometry(), fit.visible);
        break;
    }
    case CTRL_CHECK_BOX: case CTRL_RADIO_BUTTON: {
        auto* b = static_cast<QAbstractButton*>(w);
        QStyleOptionButton o;
        o.initFrom(b);
        o.text = b->text();
        const QStyle::SubElement e = c.kind == CTRL_CHECK_BOX ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
        fit.Check(c, "label", Shown(b->text()), b->font(), b->style()->subElementRect(e, &o, b).size());
        if (!b->text().isEmpty()) fit.Within(c, "label off the panel", Shown(b->text()), b->geometry(), fit.visible);
        break;
    }
    case CTRL_NUMERIC: {
        // The value as shown, in the field beside the arrows.
        auto* sb = qobject_cast<QAbstractSpinBox*>(w);
        if (!sb) break;
        QStyleOptionSpinBox o;
        o.initFrom(sb);
        o.buttonSymbols = sb->buttonSymbols();
        o.frame = sb->hasFrame();
        const QSize box = sb->style()->subControlRect(QStyle::CC_SpinBox, &o, QStyle::SC_SpinBoxEditField, sb).size();
        fit.Check(c, "value", sb->text(), sb->font(), box);
        break;
    }
    case CTRL_RING: {
        auto* cb = static_cast<QComboBox*>(w);
        QStyleOptionComboBox o;
        o.initFrom(cb);
        o.editable = false;
        o.frame = cb->hasFrame();
        const QSize box = cb->style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, cb).size();
        for (int i = 0; i < cb->count(); ++i) fit.Check(c, "item", cb->itemText(i), cb->font(), box);
        break;
    }
    case CTRL_TABLE: case CTRL_TREE: {
        QHeaderView* h = nullptr;
        if (auto* t = qobject_cast<QTableView*>(w)) h = t->horizontalHeader();
        else if (auto* t = qobject_cast<QTreeView*>(w)) h = t->header();
        if (!h || h->isHidden()) break;
        QAbstractItemModel* m = h->model();
        for (int i = 0; m && i < h->count(); ++i) {
            if (h->isSectionHidden(i)) continue;
            QStyleOptionHeader o;
            o.initFrom(h);
            o.rect = QRect(0, 0, h->sectionSize(i), h->height() > 0 ? h->height() : h->sizeHint().height());
            o.section = i;
            o.text = m->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
            const QVariant f = m->headerData(i, Qt::Horizontal, Qt::FontRole);
            const QFont font = f.canConvert<QFont>() ? f.value<QFont>() : h->font();
            fit.Check(c, "column label", o.text, font, h->style()->subElementRect(QStyle::SE_HeaderLabel, &o, h).size());
        }
        break;
    }
    case CTRL_TAB: {
        auto* tw = static_cast<QTabWidget*>(w);
        QTabBar* bar = tw->tabBar();
        for (int i = 0; i < bar->count(); ++i) {
            if (!bar->isTabVisible(i)) continue;
            fit.Within(c, "page label off the tab bar", bar->tabText(i), bar->tabRect(i), bar->rect());
        }
        break;
    }
    case CTRL_GRAPH: {
        const std::vector<GraphText> texts = GraphTexts(c, w->size(), w->font());
        const GraphText* before = nullptr; // the label drawn before on the same axis
        for (const GraphText& t : texts) {
            const bool name = t.kind == GraphText::AXIS_NAME;
            fit.Check(c, name ? "axis name" : "graph text", t.text, w->font(), t.box.size().toSize());
            if (name) continue;
            fit.Within(c, "graph text cut", t.text, t.box.toAlignedRect(), t.clip.toAlignedRect());
            if (t.kind != GraphText::VALUE_LABEL) continue;
            if (before && before->axis == t.axis && before->box.intersects(t.box))
                fit.Clear(c, "value label over the one before", t.text, t.box.toAlignedRect(),
                          before->box.toAlignedRect());
            before = &t;
        }
        break;
    }
    default: break;
    }
}

// The part of a panel's client area that its window, frame or tab page
// shows, in client coordinates.
QRect VisibleArea(const Panel& p)
{
    QWidget* client = p.client.data();
    if (!client) return QRect(0, 0, p.width, p.height);
    // Only the shown page of a stack is laid out: a page's own size is
    // stale, the stack's is not.
    QRect area = client->rect();
    for (QWidget* w = client; w->parentWidget() && !w->isWindow(); w = w->parentWidget()) {
        QWidget* parent = w->parentWidget();
        if (qobject_cast<QStackedWidget*>(parent->parentWidget())) continue;
        area &= QRect(client->mapFrom(parent, QPoint(0, 0)), parent->size());
    }
    return area;
}

} // namespace

std::vector<UiTest_ClippedText> UiTest_ClippedTexts(int panel)
{
    EnsureApp();
    FlushDirty();
    std::vector<UiTest_ClippedText> out;
    Panel* p = FindPanel(panel);
    if (!p) return out;
    // Widgets lay themselves out only while shown: show the panel's window
    // with the tab pages that hold the panel in front, as a user would
    // see it, and put everything back afterwards (no events are raised).
    FocusQuiet quiet;
    std::vector<std::pair<QTabWidget*, int>> shownPages;
    std::vector<QWidget*> shown; // windows and child panels shown for the check
    for (Panel* at = p; at;) {
        QWidget* top = PanelTopWidget(*at);
        if (!at->tabOwnerPanel && top && top->isHidden()) shown.push_back(top);
        if (!at->tabOwnerPanel && at->client && at->client != top && at->client->isHidden()) shown.push_back(at->client);
        if (Ctrl* owner = FindCtrl(at->tabOwnerPanel, at->tabOwnerCtrl)) {
            auto* tw = qobject_cast<QTabWidget*>(owner->widget.data());
            const auto& pages = owner->tab.pages;
            const int index = int(std::find(pages.begin(), pages.end(), at->handle) - pages.begin());
            if (tw && index < tw->count() && tw->currentIndex() != index) {
                QSignalBlocker block(tw);
                shownPages.emplace_back(tw, tw->currentIndex());
                tw->setCurrentIndex(index);
            }
            at = FindPanel(at->tabOwnerPanel);
        } else {
            at = at->parent ? FindPanel(at->parent) : nullptr;
        }
    }
    for (QWidget* w : shown) w->show();
    QCoreApplication::processEvents();
    FitCheck fit{*p, VisibleArea(*p), out};
    for (const auto& [id, c] : p->ctrls) CheckCtrl(fit, c);
    for (auto it = shownPages.rbegin(); it != shownPages.rend(); ++it) {
        QSignalBlocker block(it->first);
        it->first->setCurrentIndex(it->second);
    }
    for (QWidget* w : shown) w->hide();
    return out;
}

std::vector<UiTest_ClippedCell> UiTest_ClippedTableCells(int panel, int control)
{
    EnsureApp();
    FlushDirty();
    std::vector<UiTest_ClippedCell> out;
    Ctrl* c = FindCtrl(panel, control);
    auto* t = c && c->kind == CTRL_TABLE ? qobject_cast<QTableView*>(c->widget.data()) : nullptr;
    if (!t || !t->model()) return out;
    QAbstractItemModel* m = t->model();
    const int grid = t->showGrid() ? 1 : 0;
    // The item view's text margin on either side (as the common style
    // draws item texts), and the button's contents inside a button cell.
    const int margin = t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1;
    for (int row = 0; row < m->rowCount(); ++row) {
        if (t->isRowHidden(row)) continue;
        for (int col = 0; col < m->columnCount(); ++col) {
            if (t->isColumnHidden(col)) continue;
            const QModelIndex mi = m->index(row, col);
            const QString text = m->data(mi, Qt::DisplayRole).toString();
            if (text.trimmed().isEmpty()) continue;
            const QVariant f = m->data(mi, Qt::FontRole);
            const QFont font = f.canConvert<QFont>() ? f.value<QFont>() : t->font();
            const QRect cell(0, 0, t->columnWidth(col) - grid, t->rowHeight(row) - grid);
            int box = cell.width() - 2 * margin;
            if (c->table.at(row + 1, col + 1).type == VAL_CELL_BUTTON) {
                QStyleOptionButton o;
                o.initFrom(t);
                o.rect = cell.adjusted(1, 1, -1, -1);
                o.text = text;
                box = t->style()->subElementRect(QStyle::SE_PushButtonContents, &o, t).width();
            }
            const int need = TextNeeds(font, text).width();
            if (need > box) out.push_back({Point{col + 1, row + 1}, StdStr(text), need, box});
        }
    }
    return out;
}

namespace {

// Whether the model shows a panel: see UiTest_VisibilityFaults.
bool PanelShownByModel(const Panel& p, int depth = 0)
{
    if (depth > 64) return false;
    if (p.tabOwnerPanel) {
        const Ctrl* owner = FindCtrl(p.tabOwnerPanel, p.tabOwnerCtrl);
        const Panel* ownerPanel = FindPanel(p.tabOwnerPanel);
        if (!owner || !ownerPanel || !owner->visible) return false;
        const auto& pages = owner->tab.pages;
        const auto at = std::find(pages.begin(), pages.end(), p.handle);
        if (at == pages.end() || int(at - pages.begin()) != owner->tab.active) return false;
        return PanelShownByModel(*ownerPanel, depth + 1);
    }
    if (!p.visible) return false;
    if (!p.parent) return true;
    const Panel* parent = FindPanel(p.parent);
    return parent && PanelShownByModel(*parent, depth + 1);
}

} // namespace

std::vector<UiTest_VisibilityFault> UiTest_VisibilityFaults(int panel)
{
    EnsureApp();
    FlushDirty();
    QCoreApplication::processEvents();
    std::vector<UiTest_VisibilityFault> out;
    const Panel* p = FindPanel(panel);
    if (!p) return out;
    const bool panelShown = PanelShownByModel(*p);
    for (const auto& [id, c] : p->ctrls) {
        const std::string where = p->constName + "." + c.constName;
        if (const QWidget* w = c.widget.data()) {
            const bool expected = panelShown && c.visible;
            if (w->isVisible() != expected) out.push_back({panel, id, where, w->isVisible(), expected});
        }
        if (const QLabel* l = c.labelWidget.data()) {
            const bool expected = panelShown && c.visible && !c.label.empty() && LookInt(c.look, ATTR_LABEL_VISIBLE, 1);
            if (l->isVisible() != expected) out.push_back({panel, id, where + " label", l->isVisible(), expected});
        }
    }
    return out;
}

namespace {

// Whether the model lets a panel's controls take input: the panel, the
// panels around it and the tab control that holds a page are not dimmed.
bool PanelEnabledByModel(const Panel& p, int depth = 0)
{
    if (p.dimmed || depth > 64) return false;
    if (p.tabOwnerPanel) {
        const Ctrl* owner = FindCtrl(p.tabOwnerPanel, p.tabOwnerCtrl);
        const Panel* ownerPanel = FindPanel(p.tabOwnerPanel);
        return owner && ownerPanel && !owner->dimmed && PanelEnabledByModel(*ownerPanel, depth + 1);
    }
    const Panel* parent = p.parent ? FindPanel(p.parent) : nullptr;
    return !p.parent || (parent && PanelEnabledByModel(*parent, depth + 1));
}

bool IsEntryKind(int kind)
{
    return kind == CTRL_STRING || kind == CTRL_NUMERIC || kind == CTRL_TEXT_BOX || kind == CTRL_RING;
}

bool IsButtonKind(int kind)
{
    return kind == CTRL_COMMAND_BUTTON || kind == CTRL_PICTURE_BUTTON || kind == CTRL_TOGGLE_BUTTON;
}

// How the platform draws what is dimmed: in its disabled colours, which are
// greys, with ink no darker than its disabled text. A part of a control
// looks dimmed when every pixel keeps to both: no colour beyond the grey of
// the disabled palette, no ink darker than the disabled text (anti-aliased
// ink blends with the lighter face and is never darker than the ink).
struct DimmedLook {
    int maxChroma = 0; // largest max(r, g, b) - min(r, g, b) allowed
    int minGray = 0;   // darkest qGray allowed
};

DimmedLook PlatformDimmedLook()
{
    constexpr int kTolerance = 16; // levels of 255
    const QPalette p = QApplication::palette();
    DimmedLook look;
    look.minGray = 255;
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::Window,
                                     QPalette::Base, QPalette::Button}) {
        const QColor c = p.color(QPalette::Disabled, role);
        look.maxChroma = std::max(look.maxChroma, std::max({c.red(), c.green(), c.blue()}) -
                                                      std::min({c.red(), c.green(), c.blue()}));
        if (role == QPalette::WindowText || role == QPalette::Text || role == QPalette::ButtonText)
            look.minGray = std::min(look.minGray, qGray(c.rgb()));
    }
    look.maxChroma += kTolerance;
    look.minGray -= kTolerance;
    return look;
}

// The first pixel of area that does not look dimmed, as "#rrggbb at x,y";
// empty when every pixel does. The area is cut to the image.
std::string NotDimmedPixel(const QImage& image, QRect area, const DimmedLook& look)
{
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int chroma = std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
            if (chroma > look.maxChroma || qGray(c.rgb()) < look.minGray)
                return c.name().toStdString() + " at " + std::to_string(x) + "," + std::to_string(y);
        }
    return std::string();
}

// Inside the frame a button or a cell draws round its face.
constexpr int kFrameInset = 3;

} // namespace

std::vector<UiTest_DimmingFault> UiTest_DimmingFaults(int panel)
{
    EnsureApp();
    FlushDirty();
    QCoreApplication::processEvents();
    std::vector<UiTest_DimmingFault> out;
    const Panel* p = FindPanel(panel);
    if (!p) return out;
    const bool panelEnabled = PanelEnabledByModel(*p);
    const QColor field = QApplication::palette().color(QPalette::Disabled, QPalette::Base);
    const DimmedLook dimmedLook = PlatformDimmedLook();
    for (const auto& [id, c] : p->ctrls) {
        const std::string where = p->constName + "." + c.constName;
        QWidget* w = c.widget.data();
        if (!w) continue;
        const bool expected = panelEnabled && !c.dimmed;
        if (w->isEnabled() != expected)
            out.push_back({panel, id, where, expected ? "takes no input while its attribute says undimmed"
                                                      : "takes input while dimmed"});
        if (const QLabel* l = c.labelWidget.data(); l && l->isEnabled() != expected)
            out.push_back({panel, id, where + " label", expected ? "drawn dimmed" : "not drawn dimmed"});
        // A dimmed entry field shows the platform's disabled field colour
        // just inside its frame.
        if (!expected && IsEntryKind(c.kind) && w->isEnabled() == expected && w->width() > 6 && w->height() > 6) {
            const QColor at = w->grab().toImage().pixelColor(2, 2);
            if (at.rgb() != field.rgb())
                out.push_back({panel, id, where, "dimmed on the field colour " + at.name().toStdString() +
                                                     " instead of " + field.name().toStdString()});
        }
        // A dimmed button shows its caption or picture, and its face, in
        // the disabled colours.
        if (!expected && IsButtonKind(c.kind) && !w->isEnabled() && w->isVisible()) {
            const QImage image = w->grab().toImage();
            const QRect inside = image.rect().adjusted(kFrameInset, kFrameInset, -kFrameInset, -kFrameInset);
            if (const std::string at = NotDimmedPixel(image, inside, dimmedLook); !at.empty())
                out.push_back({panel, id, where, "dimmed but drawn in full colour (" + at + ")"});
        }
        // Every cell of a dimmed table, and every dimmed cell, likewise:
        // text, face and picture of the cells in view.
        if (c.kind == CTRL_TABLE && w->isVisible())
            if (auto* view = qobject_cast<QTableView*>(w); view && view->model()) {
                QImage image;
                QAbstractItemModel* m = view->model();
                const QRect shown = view->viewport()->rect();
                for (int row = 0; row < m->rowCount() && row < c.table.rows; ++row)
                    for (int col = 0; col < m->columnCount() && col < c.table.cols; ++col) {
                        const TableCell& cell = c.table.cells[size_t(row) * size_t(c.table.cols) + size_t(col)];
                        if (expected && !cell.dimmed) continue;
                        const QRect r = view->visualRect(m->index(row, col));
                        if (!r.isValid() || !shown.contains(r)) continue;
                        if (image.isNull()) image = view->viewport()->grab().toImage();
                        const QRect inside = r.adjusted(kFrameInset, kFrameInset, -kFrameInset, -kFrameInset);
                        if (const std::string at = NotDimmedPixel(image, inside, dimmedLook); !at.empty()) {
                            out.push_back({panel, id, where + " cell " + std::to_string(col + 1) + "," +
                                                          std::to_string(row + 1),
                                           "dimmed but drawn in full colour (" + at + ")"});
                        }
                    }
            }
    }
    return out;
}

std::vector<std::string> UiTest_AxisValueLabels(int panel, int control, int axis)
{
    std::vector<std::string> out;
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_GRAPH || !c->widget) return out;
    const QSize size(std::max(1, c->width), std::max(1, c->height));
    for (const GraphText& t : GraphTexts(*c, size, c->widget->font()))
        if (t.kind == GraphText::VALUE_LABEL && t.axis == axis) out.push_back(StdStr(t.text));
    return out;
}

std::string UiTest_TreeCellToolTip(int panel, int control, int item, int column)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_TREE) return std::string();
    QCoreApplication::processEvents();
    return TreeCellToolTip(*c, item, column);
}
