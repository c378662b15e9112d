// Menu bars, menus and items. Labels mark the mnemonic with "__" before the
// letter; a chosen item runs its callback, or is queued as a user event
// while another callback runs.
#include "platform/ui/UiModel.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace cz::ui {

namespace {

MenuBar* Bar(int handle)
{
    auto it = RT().menuBars.find(handle);
    return it == RT().menuBars.end() ? nullptr : &it->second;
}

void ApplyBarFont(MenuBar& b)
{
    if (!b.bar) return;
    QFont f = RuntimeFont(LookText(b.look, ATTR_MENU_BAR_FONT, "NIDialog"), LookInt(b.look, ATTR_MENU_BAR_POINT_SIZE, 13));
    f.setBold(LookInt(b.look, ATTR_MENU_BAR_BOLD, 0));
    f.setItalic(LookInt(b.look, ATTR_MENU_BAR_ITALIC, 0));
    f.setUnderline(LookInt(b.look, ATTR_MENU_BAR_UNDERLINE, 0));
    f.setStrikeOut(LookInt(b.look, ATTR_MENU_BAR_STRIKEOUT, 0));
    b.bar->setFont(f);
}

void ApplyEntry(MenuEntry& e)
{
    if (e.action) {
        e.action->setText(MnemonicLabel(e.label));
        e.action->setCheckable(e.checked != 0 || e.action->isCheckable());
        e.action->setChecked(e.checked != 0);
        e.action->setEnabled(!e.dimmed);
    }
    if (e.qmenu) {
        e.qmenu->setTitle(MnemonicLabel(e.label));
        e.qmenu->setEnabled(!e.dimmed);
    }
}

} // namespace

void AttachMenuBarWidget(MenuBar& b)
{
    Panel* p = FindPanel(b.panel);
    if (!p || !p->window) return;
    if (!b.bar) b.bar = new QMenuBar(p->window);
    b.bar->setParent(p->window);
    b.bar->show();
    ApplyBarFont(b);
    ApplyPanelGeometry(*p);
}

} // namespace cz::ui

using namespace cz::ui;

int NewMenuBar(int panel)
{
    UI_CALL();
    Panel* p = nullptr;
    if (panel != 0 && !(p = FindPanel(panel))) return UI_ERR_BAD_PANEL;
    Runtime& rt = RT();
    int handle = rt.nextMenuBar++;
    MenuBar& b = rt.menuBars[handle];
    b.handle = handle;
    b.bar = new QMenuBar();
    if (p) {
        if (p->menuBar) {
            if (MenuBar* old = Bar(p->menuBar)) old->panel = 0;
        }
        p->menuBar = handle;
        b.panel = panel;
        AttachMenuBarWidget(b);
    }
    return handle;
}

int DiscardMenuBar(int menuBar)
{
    UI_CALL();
    MenuBar* b = Bar(menuBar);
    if (!b) return UI_ERR_BAD_MENU;
    if (Panel* p = FindPanel(b->panel)) {
        p->menuBar = 0;
    }
    if (b->bar) b->bar->deleteLater();
    int panel = b->panel;
    RT().menuBars.erase(menuBar);
    if (Panel* p = FindPanel(panel)) ApplyPanelGeometry(*p);
    return 0;
}

int SetPanelMenuBar(int panel, int menuBar)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    MenuBar* b = menuBar ? Bar(menuBar) : nullptr;
    if (menuBar && !b) return UI_ERR_BAD_MENU;
    if (MenuBar* old = Bar(p->menuBar)) {
        old->panel = 0;
        if (old->bar) old->bar->hide();
    }
    p->menuBar = menuBar;
    if (b) {
        b->panel = panel;
        AttachMenuBarWidget(*b);
    }
    ApplyPanelGeometry(*p);
    return 0;
}

int NewMenu(int menuBar, const char* label, int before)
{
    UI_CALL();
    MenuBar* b = Bar(menuBar);
    if (!b) return UI_ERR_BAD_MENU;
    int id = b->nextId++;
    MenuEntry& e = b->entries[id];
    e.id = id;
    e.label = label ? label : "";
    e.qmenu = new QMenu(MnemonicLabel(e.label), b->bar);
    auto pos = std::find(b->menus.begin(), b->menus.end(), before);
    QAction* beforeAction = nullptr;
    if (pos != b->menus.end()) beforeAction = b->entries[*pos].qmenu->menuAction();
    b->menus.insert(pos, id);
    b->bar->insertMenu(beforeAction, e.qmenu);
    return id;
}

static int AddItem(int menuBar, int menu, const char* label, int before, bool separator, MenuCallbackPtr cb, void* data,
                   int shortcut)
{
    MenuBar* b = Bar(menuBar);
    if (!b) return UI_ERR_BAD_MENU;
    auto m = b->entries.find(menu);
    if (m == b->entries.end() || m->second.menu != 0 || !m->second.qmenu) return UI_ERR_BAD_MENU;
    int id = b->nextId++;
    MenuEntry& e = b->entries[id];
    e.id = id;
    e.menu = menu;
    e.separator = separator;
    e.label = label ? label : "";
    e.callback = cb;
    e.callbackData = data;
    e.shortcut = shortcut;
    QAction* beforeAction = nullptr;
    auto bi = b->entries.find(before);
    if (before > 0 && bi != b->entries.end() && bi->second.menu == menu) beforeAction = bi->second.action;
    QMenu* qm = m->second.qmenu;
    if (separator) {
        e.action = new QAction(qm);
        e.action->setSeparator(true);
    } else {
        e.action = new QAction(MnemonicLabel(e.label), qm);
        const int bar = menuBar;
        QObject::connect(e.action, &QAction::triggered, e.action, [bar, id] { RaiseMenuEvent(bar, id); });
    }
    qm->insertAction(beforeAction, e.action);
    return id;
}

int NewMenuItem(int menuBar, int menu, const char* label, int before, int shortcutKey, MenuCallbackPtr callback,
                void* callbackData)
{
    UI_CALL();
    return AddItem(menuBar, menu, label, before, false, callback, callbackData, shortcutKey);
}

int InsertSeparator(int menuBar, int menu, int before)
{
    UI_CALL();
    return AddItem(menuBar, menu, "", before, true, nullptr, nullptr, 0);
}

int DiscardMenuItem(int menuBar, int menuItem)
{
    UI_CALL();
    MenuBar* b = Bar(menuBar);
    if (!b) return UI_ERR_BAD_MENU;
    auto it = b->entries.find(menuItem);
    if (it == b->entries.end()) return UI_ERR_BAD_MENU;
    if (it->second.action) it->second.action->deleteLater();
    if (it->second.qmenu) it->second.qmenu->deleteLater();
    b->menus.erase(std::remove(b->menus.begin(), b->menus.end(), menuItem), b->menus.end());
    b->entries.erase(it);
    // A discarded menu takes its items with it.
    for (auto e = b->entries.begin(); e != b->entries.end();)
        e = e->second.menu == menuItem ? b->entries.erase(e) : std::next(e);
    return 0;
}

static int MenuAttr(int menuBar, int menuId, int attr, const AttrValue& v, MenuCallbackPtr cb, bool isCb)
{
    MenuBar* b = Bar(menuBar);
    if (!b) return UI_ERR_BAD_MENU;
    if (menuId == 0) {
        if (attr == ATTR_CONSTANT_NAME) { if (!v.isText) return UI_ERR_BAD_TYPE; b->constName = v.text; return 0; }
        if (attr < ATTR_MENU_BAR_FONT || attr > ATTR_MENU_BAR_STRIKEOUT) return UI_ERR_BAD_ATTRIBUTE;
        if ((attr == ATTR_MENU_BAR_FONT) != v.isText) return UI_ERR_BAD_TYPE;
        b->look[attr] = v;
        ApplyBarFont(*b);
        return 0;
    }
    auto it = b->entries.find(menuId);
    if (it == b->entries.end()) return UI_ERR_BAD_MENU;
    MenuEntry& e = it->second;
    if (isCb) {
        if (attr != ATTR_CALLBACK_FUNCTION_POINTER) return UI_ERR_BAD_TYPE;
        e.callback = cb;
        return 0;
    }
    switch (attr) {
    case ATTR_CONSTANT_NAME: if (!v.isText) return UI_ERR_BAD_TYPE; e.constName = v.text; return 0;
    case ATTR_LABEL_TEXT: case ATTR_ITEM_NAME: if (!v.isText) return UI_ERR_BAD_TYPE; e.label = v.text; break;
    case ATTR_CHECKED: if (v.isText) return UI_ERR_BAD_TYPE; e.checked = v.num != 0; break;
    case ATTR_DIMMED: if (v.isText) return UI_ERR_BAD_TYPE; e.dimmed = v.num != 0; break;
    case ATTR_SHORTCUT_KEY: if (v.isText) return UI_ERR_BAD_TYPE; e.shortcut = int(v.num); return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
    ApplyEntry(e);
    return 0;
}

int SetMenuBarAttribute(int menuBar, int menuId, int attr, int value)
{
    UI_CALL();
    return MenuAttr(menuBar, menuId, attr, AttrValue{false, double(value), {}}, nullptr, false);
}

int SetMenuBarAttribute(int menuBar, int menuId, int attr, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return MenuAttr(menuBar, menuId, attr, AttrValue{true, 0.0, value}, nullptr, false);
}

int SetMenuBarAttribute(int menuBar, int menuId, int attr, MenuCallbackPtr callback)
{
    UI_CALL();
    return MenuAttr(menuBar, menuId, attr, AttrValue{}, callback, true);
}

int GetMenuBarAttribute(int menuBar, int menuId, int attr, int* value)
{
    UI_CALL();
    MenuBar* b = Bar(menuBar);
    if (!b) return UI_ERR_BAD_MENU;
    if (!value) return UI_ERR_BAD_VALUE;
    if (menuId == 0) {
        if (attr <= ATTR_MENU_BAR_FONT || attr > ATTR_MENU_BAR_STRIKEOUT) return UI_ERR_BAD_ATTRIBUTE;
        *value = LookInt(b->look, attr, attr == ATTR_MENU_BAR_POINT_SIZE ? 13 : 0);
        return 0;
    }
    auto it = b->entries.find(menuId);
    if (it == b->entries.end()) return UI_ERR_BAD_MENU;
    switch (attr) {
    case ATTR_CHECKED: *value = it->second.checked; return 0;
    case ATTR_DIMMED: *value = it->second.dimmed; return 0;
    case ATTR_SHORTCUT_KEY: *value = it->second.shortcut; return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}

int GetMenuBarAttribute(int menuBar, int menuId, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    MenuBar* b = Bar(menuBar);
    if (!b) return UI_ERR_BAD_MENU;
    if (menuId == 0) {
        if (attr == ATTR_CONSTANT_NAME) return CopyOut(buffer, bufferSize, b->constName);
        if (attr == ATTR_MENU_BAR_FONT) return CopyOut(buffer, bufferSize, LookText(b->look, attr, "NIDialog"));
        return UI_ERR_BAD_ATTRIBUTE;
    }
    auto it = b->entries.find(menuId);
    if (it == b->entries.end()) return UI_ERR_BAD_MENU;
    if (attr == ATTR_CONSTANT_NAME) return CopyOut(buffer, bufferSize, it->second.constName);
    if (attr == ATTR_LABEL_TEXT || attr == ATTR_ITEM_NAME) return CopyOut(buffer, bufferSize, it->second.label);
    return UI_ERR_BAD_ATTRIBUTE;
}
