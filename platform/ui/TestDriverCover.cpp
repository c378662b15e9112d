// Test driver: the input controls of a panel that a filled control drawn
// after them covers (see UiTest_CoveredControls).
#include "platform/ui/TestDriver.h"
#include "platform/ui/UiModel.h"

#include <QCoreApplication>
#include <QWidget>

using namespace cz::ui;

namespace {

// What a user operates: everything but texts, decorations, pictures and LEDs.
bool IsInput(const Ctrl& c)
{
    return c.kind != CTRL_TEXT_MSG && c.kind != CTRL_DECORATION && c.kind != CTRL_PICTURE && c.kind != CTRL_LED;
}

// Whether cover, drawn in front of control, hides it: a decoration with a
// background hides any control, a text message on a background colour (a
// band, a group box) any control but a graph or canvas, over whose plot
// area readouts are laid on purpose.
bool Hides(const Ctrl& cover, const Ctrl& control)
{
    if (cover.kind == CTRL_DECORATION) return !(LookInt(cover.look, ATTR_BACKCOLOR, VAL_TRANSPARENT) & VAL_TRANSPARENT);
    if (cover.kind != CTRL_TEXT_MSG || control.kind == CTRL_GRAPH || control.kind == CTRL_CANVAS) return false;
    return !(LookInt(cover.look, ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT) & VAL_TRANSPARENT);
}

// Drawn after: later among the children of their common parent widget.
bool DrawnAfter(const QWidget* over, const QWidget* under)
{
    const QObject* parent = under->parentWidget();
    if (parent == nullptr || over->parentWidget() != parent) return false;
    const QObjectList& order = parent->children();
    return order.indexOf(const_cast<QWidget*>(over)) > order.indexOf(const_cast<QWidget*>(under));
}

} // namespace

std::vector<UiTest_CoveredCtrl> UiTest_CoveredControls(int panel)
{
    EnsureApp();
    FlushDirty();
    QCoreApplication::processEvents();
    std::vector<UiTest_CoveredCtrl> out;
    const Panel* p = FindPanel(panel);
    if (!p) return out;
    for (const auto& [id, c] : p->ctrls) {
        if (!IsInput(c) || !c.visible) continue;
        struct Part {
            const QWidget* widget;
            const char* name;
        } const parts[] = {
            {c.widget.data(), ""},
            {!c.label.empty() && LookInt(c.look, ATTR_LABEL_VISIBLE, 1) ? c.labelWidget.data() : nullptr, " label"},
        };
        for (const Part& part : parts) {
            if (part.widget == nullptr) continue;
            for (const auto& [coverId, cover] : p->ctrls) {
                const QWidget* w = cover.widget.data();
                if (coverId == id || !cover.visible || w == nullptr || !Hides(cover, c)) continue;
                if (!DrawnAfter(w, part.widget) || !w->geometry().intersects(part.widget->geometry())) continue;
                out.push_back({panel, id, coverId, p->constName + "." + c.constName + part.name + " under " +
                                                       p->constName + "." + cover.constName});
            }
        }
    }
    return out;
}
