// Keyboard focus events: the run-time follows the widgets' focus changes and
// turns those a user makes (mouse press, Tab, Backtab, a mnemonic) into
// EVENT_LOST_FOCUS / EVENT_GOT_FOCUS for the controls concerned. Focus moved
// by the run-time itself (SetActiveCtrl, dimming, hiding or discarding the
// focused control) is recorded but raises nothing. The dialog keys (Escape,
// Return, Delete) that no control took press the buttons their panels name.
#include "platform/ui/UiModel.h"

#include <QApplication>
#include <QEvent>
#include <QAbstractButton>
#include <QFocusEvent>
#include <QObject>

namespace cz::ui {

namespace {

// The control whose widget is w or holds it (an editor inside a table, the
// line edit of a numeric), nearest first: a tab control holds the widgets of
// its pages, which belong to their own controls.
bool CtrlOfWidget(const QWidget* w, int* panel, int* control)
{
    for (const QWidget* x = w; x; x = x->parentWidget()) {
        for (auto& [ph, p] : RT().panels) {
            for (auto& [id, c] : p.ctrls) {
                if (c.widget.data() != x) continue;
                *panel = ph;
                *control = id;
                return true;
            }
        }
    }
    return false;
}

// The panel whose client area holds w; 0 when none.
int PanelOfWidget(const QWidget* w)
{
    for (const QWidget* x = w; x; x = x->parentWidget())
        for (auto& [ph, p] : RT().panels)
            if (p.client.data() == x) return ph;
    return 0;
}

bool ByUser(Qt::FocusReason reason)
{
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

class FocusWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::FocusIn && type != QEvent::FocusOut) || !object->isWidgetType())
            return false;
        const auto* fe = static_cast<QFocusEvent*>(event);
        Runtime& rt = RT();
        const bool user = ByUser(fe->reason()) && rt.focusQuiet == 0;
        int panel = 0, control = 0;
        if (type == QEvent::FocusIn) {
            if (!CtrlOfWidget(static_cast<QWidget*>(object), &panel, &control)) return false;
        } else {
            // Focus that goes to another control is handled by its FocusIn;
            // here only focus that leaves the controls (a tab bar, the panel).
            QWidget* now = QApplication::focusWidget();
            if (!now || CtrlOfWidget(now, &panel, &control)) return false;
            panel = PanelOfWidget(now);
            control = 0;
            if (!panel) return false;
        }
        if (user) {
            UserMoveFocus(panel, control);
        } else {
            rt.focusPanel = panel;
            rt.focusCtrl = control;
        }
        return false;
    }
};

// Presses a button of the panel as a click does, its commit carrying data1;
// false when it takes none.
bool PressAsUser(int panel, int control, int data1 = 0)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || !UserCanOperate(*c)) return false;
    auto* b = qobject_cast<QAbstractButton*>(c->widget.data());
    if (!b || !b->isEnabled()) return false;
    RT().pressData = data1;
    b->click();
    RT().pressData = 0;
    return true;
}

// The panel that names the button for attr: the panel itself or the first
// panel around it (the panel of a tab page's tab control, a child panel's
// parent) that names one.
int PanelNaming(int panel, int attr, int* button)
{
    for (int depth = 0; depth < 64 && panel; ++depth) {
        const Panel* p = FindPanel(panel);
        if (!p) return 0;
        *button = LookInt(p->look, attr, 0);
        if (*button > 0) return panel;
        panel = p->tabOwnerPanel ? p->tabOwnerPanel : p->parent;
    }
    return 0;
}

} // namespace

bool HandleWindowKey(int window, QWidget* origin, int key)
{
    int panel = 0, control = 0;
    const bool onCtrl = origin && CtrlOfWidget(origin, &panel, &control);
    if (!onCtrl) panel = origin ? PanelOfWidget(origin) : 0;
    if (!panel) panel = window;
    const Ctrl* c = onCtrl ? FindCtrl(panel, control) : nullptr;
    switch (key) {
    case Qt::Key_Delete: {
        // Only from the tree or table itself, not from a cell's editor.
        if (!c || (c->kind != CTRL_TREE && c->kind != CTRL_TABLE) || !UserCanOperate(*c)) return false;
        const int button = LookInt(c->look, ATTR_DELETE_KEY_CTRL, 0);
        return button > 0 && origin == c->widget.data() && PressAsUser(panel, button, VAL_DELETE_KEY_PRESS);
    }
    case Qt::Key_Escape: {
        int button = 0;
        const int owner = PanelNaming(panel, ATTR_CANCEL_CTRL, &button);
        return owner && PressAsUser(owner, button);
    }
    case Qt::Key_Return: case Qt::Key_Enter: {
        // A table confirms its cell and a text box takes a new line.
        if (c && (c->kind == CTRL_TABLE || c->kind == CTRL_TEXT_BOX)) return false;
        if (c && (c->kind == CTRL_COMMAND_BUTTON || c->kind == CTRL_PICTURE_BUTTON)) return PressAsUser(panel, control);
        int button = 0;
        const int owner = PanelNaming(panel, ATTR_DEFAULT_CTRL, &button);
        return owner && PressAsUser(owner, button);
    }
    default: return false;
    }
}

void InstallFocusWatch()
{
    static QPointer<FocusWatch> watch;
    if (watch || !QApplication::instance()) return;
    watch = new FocusWatch(QApplication::instance());
    QApplication::instance()->installEventFilter(watch);
}

void UserMoveFocus(int panel, int control)
{
    Runtime& rt = RT();
    const int oldPanel = rt.focusPanel, oldCtrl = rt.focusCtrl;
    if (oldPanel == panel && oldCtrl == control) return;
    rt.focusPanel = panel;
    rt.focusCtrl = control;
    if (Panel* p = FindPanel(panel); p && control > 0) p->look[ATTR_ACTIVE] = AttrValue{false, double(control), {}};
    const bool samePanel = oldPanel == panel;
    if (oldCtrl > 0 && FindCtrl(oldPanel, oldCtrl))
        RaiseCtrlEvent(oldPanel, oldCtrl, EVENT_LOST_FOCUS, samePanel ? control : 0, 0);
    // The callback may have moved the focus on or discarded the control.
    if (control > 0 && rt.focusPanel == panel && rt.focusCtrl == control && FindCtrl(panel, control))
        RaiseCtrlEvent(panel, control, EVENT_GOT_FOCUS, samePanel ? oldCtrl : 0, 0);
}

} // namespace cz::ui
