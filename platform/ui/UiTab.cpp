// Tab control: each page is a panel. Inserting a panel as a page copies it
// (controls keep their ids, values and attributes) into a new page panel.
#include "platform/ui/UiModel.h"

#include <QTabBar>
#include <QTabWidget>

namespace cz::ui {

namespace {

Ctrl* TabCtrl(int panel, int control, int* st)
{
    Ctrl* c = FindCtrl(panel, control, st);
    if (c && c->kind != CTRL_TAB) {
        *st = UI_ERR_WRONG_KIND;
        return nullptr;
    }
    return c;
}

Panel* Page(Ctrl* c, int index, int* st)
{
    if (index < 0 || index >= int(c->tab.pages.size())) {
        *st = UI_ERR_BAD_INDEX;
        return nullptr;
    }
    return FindPanel(c->tab.pages[size_t(index)]);
}

int InsertPage(int panel, int control, int index, int source, const char* label)
{
    int st;
    Ctrl* c = TabCtrl(panel, control, &st);
    if (!c) return st;
    if (source && !FindPanel(source)) return UI_ERR_BAD_PANEL;
    if (index < -1 || index > int(c->tab.pages.size())) return UI_ERR_BAD_INDEX;
    auto* tw = qobject_cast<QTabWidget*>(c->widget.data());
    QWidget* host = new QWidget();
    int page = CopyPanelInto(source, panel, control, host);
    c = FindCtrl(panel, control);
    Panel* pp = FindPanel(page);
    if (label) pp->pageAttrs[ATTR_LABEL_TEXT] = AttrValue{true, 0.0, label};
    int at = index < 0 ? int(c->tab.pages.size()) : index;
    c->tab.pages.insert(c->tab.pages.begin() + at, page);
    if (c->tab.active < 0) c->tab.active = 0;
    else if (at <= c->tab.active && c->tab.pages.size() > 1) ++c->tab.active;
    if (tw) {
        QSignalBlocker block(tw);
        tw->insertTab(at, host, QStr(LookText(pp->pageAttrs, ATTR_LABEL_TEXT, pp->title)));
    }
    RefreshTabWidget(*FindPanel(panel), *c);
    return at;
}

} // namespace

int CopyPanelInto(int source, int ownerPanel, int tabCtrl, QWidget* host)
{
    Runtime& rt = RT();
    int handle = rt.nextPanel++;
    Panel& p = rt.panels[handle];
    p.handle = handle;
    p.tabOwnerPanel = ownerPanel;
    p.tabOwnerCtrl = tabCtrl;
    p.visible = true;
    p.client = new QWidget(host);
    p.client->setAutoFillBackground(true);
    if (const Panel* src = FindPanel(source)) {
        p.title = src->title;
        p.constName = src->constName;
        p.callback = src->callback;
        p.callbackData = src->callbackData;
        p.height = src->height;
        p.width = src->width;
        p.look = src->look;
        p.nextCtrlId = src->nextCtrlId;
        p.zOrder = src->zOrder;
        p.tabOrder = src->tabOrder;
        p.pageAttrs[ATTR_LABEL_TEXT] = AttrValue{true, 0.0, src->title};
        for (const auto& [id, sc] : src->ctrls) {
            Ctrl& c = p.ctrls[id];
            c = sc;
            c.panel = handle;
            c.widget = nullptr;
            c.labelWidget = nullptr;
            c.textBoxReset = true;
            c.pendingAppend.clear();
            c.pendingAppendLines = 0;
            c.tab.pages.clear();
        }
        for (auto& [id, c] : p.ctrls) {
            CreateCtrlWidget(p, c);
            MarkDirty(c);
        }
        // Tab controls on the copied panel get copies of their pages too.
        for (const auto& [id, sc] : src->ctrls) {
            if (sc.kind != CTRL_TAB) continue;
            Ctrl& c = p.ctrls[id];
            c.tab.active = -1;
            for (int srcPage : sc.tab.pages) {
                const Panel* sp = FindPanel(srcPage);
                AttrMap attrs = sp ? sp->pageAttrs : AttrMap{};
                int at = InsertPage(handle, id, -1, srcPage, nullptr);
                if (at >= 0) FindPanel(FindCtrl(handle, id)->tab.pages[size_t(at)])->pageAttrs = attrs;
            }
            Ctrl& again = FindPanel(handle)->ctrls[id];
            again.tab.active = sc.tab.active;
            RefreshTabWidget(*FindPanel(handle), again);
        }
        ApplyZOrder(*FindPanel(handle));
        ApplyTabOrder(*FindPanel(handle)); // the page's own Tab order, not the order its widgets were made in
    }
    Panel& done = *FindPanel(handle);
    ApplyPanelLook(done);
    done.client->resize(done.width, done.height);
    return handle;
}

void RefreshTabWidget(Panel&, Ctrl& c)
{
    auto* tw = qobject_cast<QTabWidget*>(c.widget.data());
    if (!tw) return;
    QSignalBlocker block(tw);
    bool fontSet = false;
    for (size_t i = 0; i < c.tab.pages.size() && int(i) < tw->count(); ++i) {
        Panel* p = FindPanel(c.tab.pages[i]);
        if (!p) continue;
        const int k = int(i);
        // One font draws the whole bar: the first page's label font.
        if (!fontSet && (p->pageAttrs.count(ATTR_LABEL_FONT) || p->pageAttrs.count(ATTR_LABEL_POINT_SIZE))) {
            QFont f = RuntimeFont(LookText(p->pageAttrs, ATTR_LABEL_FONT, "NIDialog"),
                                  LookInt(p->pageAttrs, ATTR_LABEL_POINT_SIZE, 13));
            f.setBold(LookInt(p->pageAttrs, ATTR_LABEL_BOLD, 0) != 0);
            if (tw->tabBar()->font() != f) tw->tabBar()->setFont(f);
            fontSet = true;
        }
        tw->setTabText(k, QStr(LookText(p->pageAttrs, ATTR_LABEL_TEXT, p->title)));
        tw->setTabVisible(k, LookInt(p->pageAttrs, ATTR_VISIBLE, 1) != 0);
        tw->setTabEnabled(k, LookInt(p->pageAttrs, ATTR_DIMMED, 0) == 0);
        if (p->pageAttrs.count(ATTR_LABEL_COLOR))
            tw->tabBar()->setTabTextColor(k, QColor::fromRgb(QRgb(LookInt(p->pageAttrs, ATTR_LABEL_COLOR, 0) & 0xFFFFFF)));
        if (p->pageAttrs.count(ATTR_BACKCOLOR)) {
            p->look[ATTR_BACKCOLOR] = p->pageAttrs[ATTR_BACKCOLOR];
            ApplyPanelLook(*p);
        }
    }
    if (c.tab.active >= 0 && c.tab.active < tw->count()) tw->setCurrentIndex(c.tab.active);
}

int SetTabCtrlAttr(Ctrl& c, int attr, const AttrValue& v)
{
    if (attr != ATTR_ACTIVE_TAB_PAGE) return UI_ERR_BAD_ATTRIBUTE;
    int i = int(v.num);
    if (i < 0 || i >= int(c.tab.pages.size())) return UI_ERR_BAD_INDEX;
    c.tab.active = i;
    if (Panel* p = FindPanel(c.panel)) RefreshTabWidget(*p, c);
    return 0;
}

int GetTabCtrlAttr(Ctrl& c, int attr, AttrValue* v)
{
    if (attr == ATTR_ACTIVE_TAB_PAGE) { v->num = c.tab.active; return 0; }
    if (attr == ATTR_NUM_TAB_PAGES) { v->num = double(c.tab.pages.size()); return 0; }
    return UI_ERR_BAD_ATTRIBUTE;
}

} // namespace cz::ui

using namespace cz::ui;

int InsertPanelAsTabPage(int panel, int tabControl, int index, int sourcePanel)
{
    UI_CALL();
    if (!FindPanel(sourcePanel)) return UI_ERR_BAD_PANEL;
    return InsertPage(panel, tabControl, index, sourcePanel, nullptr);
}

int InsertTabPage(int panel, int tabControl, int index, const char* label)
{
    UI_CALL();
    return InsertPage(panel, tabControl, index, 0, label ? label : "");
}

int DeleteTabPage(int panel, int tabControl, int index, int count)
{
    UI_CALL();
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    int n = int(c->tab.pages.size());
    if (index < 0 || index >= n) return UI_ERR_BAD_INDEX;
    int last = count < 0 ? n : std::min(n, index + count);
    auto* tw = qobject_cast<QTabWidget*>(c->widget.data());
    for (int i = last - 1; i >= index; --i) {
        DiscardPanelTree(c->tab.pages[size_t(i)]);
        if (tw) {
            QWidget* w = tw->widget(i);
            tw->removeTab(i);
            if (w) w->deleteLater();
        }
    }
    c->tab.pages.erase(c->tab.pages.begin() + index, c->tab.pages.begin() + last);
    if (c->tab.active >= int(c->tab.pages.size())) c->tab.active = int(c->tab.pages.size()) - 1;
    return 0;
}

int GetPanelHandleFromTabPage(int panel, int tabControl, int index, int* pagePanel)
{
    UI_CALL();
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    if (!pagePanel) return UI_ERR_BAD_VALUE;
    Panel* p = Page(c, index, &st);
    if (!p) return st;
    *pagePanel = p->handle;
    return 0;
}

int GetNumTabPages(int panel, int tabControl, int* count)
{
    UI_CALL();
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    if (!count) return UI_ERR_BAD_VALUE;
    *count = int(c->tab.pages.size());
    return 0;
}

int SetActiveTabPage(int panel, int tabControl, int index)
{
    UI_CALL();
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    return SetTabCtrlAttr(*c, ATTR_ACTIVE_TAB_PAGE, AttrValue{false, double(index), {}});
}

int GetActiveTabPage(int panel, int tabControl, int* index)
{
    UI_CALL();
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    if (!index) return UI_ERR_BAD_VALUE;
    *index = c->tab.active;
    return 0;
}

static int PageAttr(int panel, int tabControl, int index, int attr, const AttrValue& v)
{
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    Panel* p = Page(c, index, &st);
    if (!p) return st;
    const bool text = attr == ATTR_LABEL_TEXT || attr == ATTR_LABEL_FONT;
    if (text != v.isText) return UI_ERR_BAD_TYPE;
    p->pageAttrs[attr] = v;
    RefreshTabWidget(*FindPanel(panel), *c);
    return 0;
}

int SetTabPageAttribute(int panel, int tabControl, int index, int attr, int value)
{
    UI_CALL();
    return PageAttr(panel, tabControl, index, attr, AttrValue{false, double(value), {}});
}

int SetTabPageAttribute(int panel, int tabControl, int index, int attr, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return PageAttr(panel, tabControl, index, attr, AttrValue{true, 0.0, value});
}

int GetTabPageAttribute(int panel, int tabControl, int index, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    Panel* p = Page(c, index, &st);
    if (!p) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    int dflt = attr == ATTR_VISIBLE ? 1 : attr == ATTR_BACKCOLOR ? 0xE0E0E0 : 0;
    *value = LookInt(p->pageAttrs, attr, dflt);
    return 0;
}

int GetTabPageAttribute(int panel, int tabControl, int index, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = TabCtrl(panel, tabControl, &st);
    if (!c) return st;
    Panel* p = Page(c, index, &st);
    if (!p) return st;
    return CopyOut(buffer, bufferSize, LookText(p->pageAttrs, attr, ""));
}
