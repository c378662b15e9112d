// Tree control. Items live in the model as one list in depth-first display
// order (each with its level); the widget is rebuilt from it when it changes.
#include "platform/ui/UiModel.h"

#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QToolTip>
#include <QTreeWidgetItemIterator>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

namespace cz::ui {

namespace {

constexpr int kIndexRole = Qt::UserRole + 1;

// One past the last descendant of item i.
int SubtreeEnd(const TreeData& t, int i)
{
    int lvl = t.items[size_t(i)].level;
    int j = i + 1;
    while (j < int(t.items.size()) && t.items[size_t(j)].level > lvl) ++j;
    return j;
}

int ParentOf(const TreeData& t, int i)
{
    int lvl = t.items[size_t(i)].level;
    for (int j = i - 1; j >= 0; --j)
        if (t.items[size_t(j)].level < lvl) return j;
    return -1;
}

// The base itself when free, else "base#n": the suffix search goes on from
// the last n given for this base (a freed suffix below it is not given
// again), so a list of many equal labels is tagged in linear time. The
// counts start again once the tree's tags were cleared.
std::string UniqueTag(TreeData& t, const std::string& base)
{
    if (t.tags.empty()) t.tagSuffix.clear();
    std::string tag = base;
    if (t.tags.count(tag)) {
        int& n = t.tagSuffix[base];
        do tag = base + "#" + std::to_string(++n);
        while (t.tags.count(tag));
    }
    t.tags.insert(tag);
    return tag;
}

class TreeView : public QTreeWidget {
public:
    TreeView(int panel, int control, QWidget* parent) : QTreeWidget(parent), panel_(panel), control_(control)
    {
        setHeaderHidden(true);
        setRootIsDecorated(true);
        connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* it, int col) {
            if (col != 0 || syncing) return;
            int index = it->data(0, kIndexRole).toInt();
            int state = it->checkState(0) == Qt::Checked ? 1 : 0;
            TreeSetMarkStateAsUser(panel_, control_, index, state);
        });
        connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* it) { Expand(it, true); });
        connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* it) { Expand(it, false); });
    }
    bool syncing = false;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        QTreeWidget::mousePressEvent(e);
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c || !UserCanOperate(*c)) return;
        QPoint p = e->position().toPoint();
        QTreeWidgetItem* it = itemAt(p);
        int picked = -1;
        if (it && e->button() == Qt::LeftButton) {
            picked = it->data(0, kIndexRole).toInt();
            if (picked == c->tree.active || picked < 0 || picked >= int(c->tree.items.size())) picked = -1;
            else c->tree.active = picked;
        }
        QPoint inCtrl = viewport()->mapTo(this, p);
        int ev = e->button() == Qt::RightButton ? EVENT_RIGHT_CLICK : EVENT_LEFT_CLICK;
        RaiseCtrlEvent(panel_, control_, ev, inCtrl.y(), inCtrl.x());
        if (picked >= 0 && FindCtrl(panel_, control_)) RaiseCtrlEvent(panel_, control_, EVENT_SELECTION_CHANGE, picked, 0);
    }
    // A key that moves the highlight (an arrow, Home, End, a page, a typed
    // letter) selects the item as a click does: it becomes the active item
    // and the selection change is raised, with data2 1 for the keyboard (no
    // click event comes with it). Return on an item is its double click: a
    // group opens or closes and the item commits; it never reaches the
    // panel's default button.
    void keyPressEvent(QKeyEvent* e) override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        if (!c || !UserCanOperate(*c) || (enter && !currentItem())) return QTreeWidget::keyPressEvent(e);
        if (enter) {
            e->accept();
            QTreeWidgetItem* it = currentItem();
            const int index = it->data(0, kIndexRole).toInt();
            if (index != c->tree.active) return;
            if (it->childCount() > 0 || it->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator)
                it->setExpanded(!it->isExpanded());
            if ((c = FindCtrl(panel_, control_)) != nullptr && c->tree.active == index)
                RaiseCtrlEvent(panel_, control_, EVENT_COMMIT, index, 0);
            return;
        }
        QTreeWidget::keyPressEvent(e);
        if ((c = FindCtrl(panel_, control_)) == nullptr) return;
        QTreeWidgetItem* now = currentItem();
        const int index = now ? now->data(0, kIndexRole).toInt() : -1;
        if (index < 0 || index >= int(c->tree.items.size()) || index == c->tree.active) return;
        // While a callback runs none can follow the move: the highlight
        // goes back to the active item.
        if (RT().callbackDepth > 0) {
            MarkDirty(*c);
            return;
        }
        c->tree.active = index;
        RaiseCtrlEvent(panel_, control_, EVENT_SELECTION_CHANGE, index, 1);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        QTreeWidget::mouseDoubleClickEvent(e);
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c || !UserCanOperate(*c)) return;
        QPoint inCtrl = viewport()->mapTo(this, e->position().toPoint());
        RaiseCtrlEvent(panel_, control_, EVENT_LEFT_DOUBLE_CLICK, inCtrl.y(), inCtrl.x());
        if (c->tree.active >= 0) RaiseCtrlEvent(panel_, control_, EVENT_COMMIT, c->tree.active, 0);
    }

    // A cell text cut by its column shows whole as its tooltip.
    bool viewportEvent(QEvent* e) override
    {
        if (e->type() != QEvent::ToolTip) return QTreeWidget::viewportEvent(e);
        auto* help = static_cast<QHelpEvent*>(e);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty() && CutText(index)) QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
        else QToolTip::hideText();
        return true;
    }

public:
    // Whether the cell's text is wider than the room its column leaves it.
    QModelIndex IndexOf(int item, int column) const
    {
        for (QTreeWidgetItemIterator wi(const_cast<TreeView*>(this)); *wi; ++wi)
            if ((*wi)->data(0, kIndexRole).toInt() == item) return indexFromItem(*wi, column);
        return {};
    }
    bool CutText(const QModelIndex& index) const
    {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = visualRect(index);
        const QSize need = itemDelegateForIndex(index)->sizeHint(option, index);
        return need.width() > option.rect.width();
    }

private:
    void Expand(QTreeWidgetItem* it, bool expand)
    {
        if (syncing) return;
        Ctrl* c = FindCtrl(panel_, control_);
        int index = it->data(0, kIndexRole).toInt();
        if (!c || index < 0 || index >= int(c->tree.items.size())) return;
        c->tree.items[size_t(index)].collapsed = !expand;
        if (expand && LoadFolderChildren(*c, index) > 0) MarkDirty(*c);
        RaiseCtrlEvent(panel_, control_, expand ? EVENT_EXPAND : EVENT_COLLAPSE, index, 0);
    }
    int panel_, control_;
};

Ctrl* Tree(int panel, int control, int* st)
{
    Ctrl* c = FindCtrl(panel, control, st);
    if (c && c->kind != CTRL_TREE) {
        *st = UI_ERR_WRONG_KIND;
        return nullptr;
    }
    return c;
}

TreeItem* Item(Ctrl* c, int index, int* st)
{
    if (index < 0 || index >= int(c->tree.items.size())) {
        *st = UI_ERR_BAD_ITEM;
        return nullptr;
    }
    return &c->tree.items[size_t(index)];
}

// Sub-folders of a folder, by name; unreadable folders are left out.
QStringList SubFolders(const QString& path)
{
    return QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name);
}

QBrush Brush(int rgb) { return (rgb & VAL_TRANSPARENT) ? QBrush() : QBrush(QColor::fromRgb(QRgb(rgb))); }

} // namespace

QWidget* NewTreeWidget(int panel, int control, QWidget* parent) { return new TreeView(panel, control, parent); }

void FlushTree(Ctrl& c)
{
    auto* w = dynamic_cast<TreeView*>(c.widget.data());
    if (!w) return;
    TreeData& t = c.tree;
    w->syncing = true;
    // The tree drawn again keeps its place, so that the item under a click
    // is still the one a look-up of the click's point names.
    const int scrollX = w->horizontalScrollBar()->value(), scrollY = w->verticalScrollBar()->value();
    w->clear();
    w->setColumnCount(std::max(1, t.columns));
    w->setHeaderHidden(!LookInt(c.look, ATTR_COLUMN_LABELS_VISIBLE, 0));
    QStringList headers;
    for (int col = 0; col < std::max(1, t.columns); ++col) {
        headers << QStr(LookText(t.columnAttrs[col], ATTR_LABEL_TEXT, ""));
        int width = LookInt(t.columnAttrs[col], ATTR_COLUMN_WIDTH, 0);
        if (width > 0) w->setColumnWidth(col, width);
    }
    w->setHeaderLabels(headers);
    std::vector<QTreeWidgetItem*> stack;
    const bool showMarks = LookInt(c.look, ATTR_SHOW_MARKS, 1) != 0;
    for (size_t i = 0; i < t.items.size(); ++i) {
        const TreeItem& it = t.items[i];
        stack.resize(size_t(std::max(0, it.level)));
        QTreeWidgetItem* q = stack.empty() || !stack.back() ? new QTreeWidgetItem(w) : new QTreeWidgetItem(stack.back());
        q->setData(0, kIndexRole, int(i));
        for (size_t col = 0; col < it.cellText.size(); ++col) q->setText(int(col), QStr(it.cellText[col]));
        for (const auto& [col, look] : it.cellAttrs) {
            q->setBackground(col, Brush(LookInt(look, ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT)));
            if (look.count(ATTR_LABEL_COLOR)) q->setForeground(col, Brush(LookInt(look, ATTR_LABEL_COLOR, 0)));
        }
        if (it.attrs.count(ATTR_LABEL_BGCOLOR)) q->setBackground(0, Brush(LookInt(it.attrs, ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT)));
        if (it.markType == VAL_MARK_CHECK && showMarks) q->setCheckState(0, it.markState ? Qt::Checked : Qt::Unchecked);
        int img = it.collapsed && it.collapsedImage >= 0 ? it.collapsedImage : it.image;
        if (img >= 0 && img < int(t.images.size())) q->setIcon(0, QIcon(t.images[size_t(img)]));
        q->setDisabled(it.dimmed);
        if (it.folderPending) q->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        stack.push_back(q);
    }
    // expansion after the whole tree exists
    QTreeWidgetItem* active = nullptr;
    QTreeWidgetItemIterator wi(w);
    while (*wi) {
        int i = (*wi)->data(0, kIndexRole).toInt();
        (*wi)->setExpanded(!t.items[size_t(i)].collapsed);
        if (i == t.active) {
            w->setCurrentItem(*wi);
            active = *wi;
        }
        ++wi;
    }
    w->doItemsLayout();
    w->horizontalScrollBar()->setValue(scrollX);
    w->verticalScrollBar()->setValue(scrollY);
    if (active) w->scrollToItem(active);
    w->syncing = false;
}

int LoadFolderChildren(Ctrl& c, int index)
{
    TreeData& t = c.tree;
    if (!t.folderBrowser || index < 0 || index >= int(t.items.size())) return 0;
    // Every reading lists the folder again: folders made or removed while the
    // program runs show the next time the item is expanded or re-read.
    int marked = t.items[size_t(index)].folderPending ? 1 : 0;
    t.items[size_t(index)].folderPending = false;
    // The tag of a folder item is its full path.
    const QString path = QStr(t.items[size_t(index)].tag);
    const int level = t.items[size_t(index)].level + 1;
    const int first = index + 1;
    const int end = SubtreeEnd(t, index);
    // The children read before, by tag, each with the extent of its subtree.
    std::map<std::string, std::pair<int, int>> known;
    for (int i = first; i < end; i = SubtreeEnd(t, i))
        if (t.items[size_t(i)].level == level) known.emplace(t.items[size_t(i)].tag, std::make_pair(i, SubtreeEnd(t, i)));
    const std::string activeTag = t.active >= first && t.active < end ? t.items[size_t(t.active)].tag : std::string();

    std::vector<TreeItem> merged;
    int added = 0;
    for (const QString& name : SubFolders(path)) {
        const QString full = QDir(path).absoluteFilePath(name);
        auto kept = known.find(StdStr(full));
        if (kept != known.end()) {
            const auto [from, to] = kept->second;
            TreeItem& head = t.items[size_t(from)];
            // A folder not read yet shows an expand mark only when it has
            // sub-folders now.
            if (to == from + 1) {
                const bool pending = !SubFolders(full).isEmpty();
                marked += pending != head.folderPending;
                head.folderPending = pending;
            }
            for (int i = from; i < to; ++i) merged.push_back(std::move(t.items[size_t(i)]));
            known.erase(kept);
            continue;
        }
        TreeItem it;
        it.level = level;
        it.cellText.assign(size_t(std::max(1, t.columns)), std::string());
        it.cellText[0] = StdStr(name);
        it.tag = UniqueTag(t, StdStr(full));
        // Shown with an expand mark only when it has sub-folders itself.
        it.folderPending = !SubFolders(full).isEmpty();
        merged.push_back(std::move(it));
        ++added;
    }
    // What is left of the old children is gone from the disk, with all below.
    int removed = 0;
    for (const auto& [tag, extent] : known) {
        for (int i = extent.first; i < extent.second; ++i) t.tags.erase(t.items[size_t(i)].tag);
        removed += extent.second - extent.first;
    }
    const int before = int(t.items.size());
    t.items.erase(t.items.begin() + first, t.items.begin() + end);
    t.items.insert(t.items.begin() + first, std::make_move_iterator(merged.begin()),
                   std::make_move_iterator(merged.end()));
    if (!activeTag.empty()) {
        // The chosen folder keeps its place; when it is gone, its parent is chosen.
        t.active = index;
        for (int i = first; i < first + int(merged.size()); ++i)
            if (t.items[size_t(i)].tag == activeTag) t.active = i;
    } else if (t.active >= end) {
        t.active += int(t.items.size()) - before;
    }
    if (added + removed + marked > 0) MarkDirty(c);
    return added + removed + marked;
}

int TreeSetMarkStateAsUser(int panel, int control, int index, int state)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || index < 0 || index >= int(c->tree.items.size())) return UI_ERR_BAD_ITEM;
    if (!UserCanOperate(*c)) {
        MarkDirty(*c);
        return 0;
    }
    // A mark-state callback returning 1 refuses the change.
    int refused = RaiseCtrlEvent(panel, control, EVENT_MARK_STATE_CHANGE, index, state);
    c = FindCtrl(panel, control);
    if (!c || index >= int(c->tree.items.size())) return 0;
    if (refused == 1) {
        MarkDirty(*c);
        return 0;
    }
    c->tree.items[size_t(index)].markState = state ? 1 : 0;
    MarkDirty(*c);
    return 1;
}

int SetTreeCtrlAttr(Ctrl& c, int attr, const AttrValue& v)
{
    switch (attr) {
    case ATTR_TREE_COLUMNS:
        if (v.num < 1) return UI_ERR_BAD_VALUE;
        c.tree.columns = int(v.num);
        MarkDirty(c);
        return 0;
    case ATTR_CTRL_INDEX:
        if (v.num < -1 || v.num >= double(c.tree.items.size())) return UI_ERR_BAD_INDEX;
        c.tree.active = int(v.num);
        MarkDirty(c);
        return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}

} // namespace cz::ui

using namespace cz::ui;

int InsertTreeItem(int panel, int control, int relation, int relativeIndex, int position, const char* label,
                   const char* tagBase, char* tagOut, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeData& t = c->tree;
    const int n = int(t.items.size());
    if (relativeIndex < -1 || relativeIndex >= n) return UI_ERR_BAD_ITEM;
    if (relation != VAL_SIBLING && relation != VAL_CHILD) return UI_ERR_BAD_VALUE;
    if (relation == VAL_CHILD && relativeIndex < 0) relation = VAL_SIBLING;
    int level = 0, at = 0;
    if (relation == VAL_CHILD) {
        level = t.items[size_t(relativeIndex)].level + 1;
        if (position == VAL_FIRST) at = relativeIndex + 1;
        else at = SubtreeEnd(t, relativeIndex);
    } else if (relativeIndex < 0) {
        level = 0;
        at = position == VAL_FIRST ? 0 : n;
    } else {
        level = t.items[size_t(relativeIndex)].level;
        int parent = ParentOf(t, relativeIndex);
        switch (position) {
        case VAL_PREV: at = relativeIndex; break;
        case VAL_NEXT: at = SubtreeEnd(t, relativeIndex); break;
        case VAL_FIRST: at = parent < 0 ? 0 : parent + 1; break;
        default: at = parent < 0 ? n : SubtreeEnd(t, parent); break;
        }
    }
    TreeItem it;
    it.level = level;
    it.value = value;
    it.cellText.assign(size_t(std::max(1, t.columns)), std::string());
    it.cellText[0] = label ? label : "";
    std::string base = tagBase && *tagBase ? tagBase : it.cellText[0];
    it.tag = UniqueTag(t, base);
    if (tagOut) CopyOut(tagOut, UI_TAG_LEN, it.tag);
    t.items.insert(t.items.begin() + at, std::move(it));
    if (t.active >= at) ++t.active;
    MarkDirty(*c);
    return at;
}

int DeleteTreeItem(int panel, int control, int index)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeData& t = c->tree;
    if (index < 0 || index >= int(t.items.size())) return UI_ERR_BAD_ITEM;
    int end = SubtreeEnd(t, index);
    for (int i = index; i < end; ++i) t.tags.erase(t.items[size_t(i)].tag);
    t.items.erase(t.items.begin() + index, t.items.begin() + end);
    if (t.active >= end) t.active -= end - index;
    else if (t.active >= index) t.active = -1;
    MarkDirty(*c);
    return 0;
}

int ClearTreeItems(int panel, int control)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    c->tree.items.clear();
    c->tree.tags.clear();
    c->tree.active = -1;
    MarkDirty(*c);
    return 0;
}

int GetNumTreeItems(int panel, int control, int* count)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (!count) return UI_ERR_BAD_VALUE;
    *count = int(c->tree.items.size());
    return 0;
}

int GetTreeItemFromTag(int panel, int control, const char* tag, int* index)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (!tag || !index) return UI_ERR_BAD_VALUE;
    *index = -1;
    for (size_t i = 0; i < c->tree.items.size(); ++i)
        if (c->tree.items[i].tag == tag) {
            *index = int(i);
            return 0;
        }
    return 0;
}

int GetTreeItemTag(int panel, int control, int index, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    return it ? CopyOut(buffer, bufferSize, it->tag) : st;
}

int GetTreeItemParent(int panel, int control, int index, int* parent)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (!Item(c, index, &st)) return st;
    if (!parent) return UI_ERR_BAD_VALUE;
    *parent = ParentOf(c->tree, index);
    return 0;
}

int GetTreeItemLevel(int panel, int control, int index, int* level)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (!level) return UI_ERR_BAD_VALUE;
    *level = it->level;
    return 0;
}

int GetTreeItemNumChildren(int panel, int control, int index, int* count)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (!count) return UI_ERR_BAD_VALUE;
    *count = 0;
    int end = SubtreeEnd(c->tree, index);
    for (int j = index + 1; j < end; ++j)
        if (c->tree.items[size_t(j)].level == it->level + 1) ++*count;
    return 0;
}

int GetTreeItemChild(int panel, int control, int index, int n, int* child)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (!child) return UI_ERR_BAD_VALUE;
    *child = -1;
    int end = SubtreeEnd(c->tree, index), k = 0;
    for (int j = index + 1; j < end; ++j)
        if (c->tree.items[size_t(j)].level == it->level + 1 && k++ == n) {
            *child = j;
            break;
        }
    return 0;
}

int GetTreeItemNextSibling(int panel, int control, int index, int* sibling)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (!sibling) return UI_ERR_BAD_VALUE;
    int j = SubtreeEnd(c->tree, index);
    *sibling = j < int(c->tree.items.size()) && c->tree.items[size_t(j)].level == it->level ? j : -1;
    return 0;
}

int GetTreeItemFromValue(int panel, int control, int value, int* index)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (!index) return UI_ERR_BAD_VALUE;
    *index = -1;
    for (size_t i = 0; i < c->tree.items.size(); ++i)
        if (c->tree.items[i].value == value) {
            *index = int(i);
            break;
        }
    return 0;
}

int GetTreeItemFromPoint(int panel, int control, Point point, int* index, int* column)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (!index) return UI_ERR_BAD_VALUE;
    FlushTree(*c);
    *index = -1;
    if (column) *column = -1;
    auto* w = dynamic_cast<QTreeWidget*>(c->widget.data());
    if (!w) return 0;
    QPoint vp = w->viewport()->mapFrom(w, QPoint(point.x, point.y));
    if (QTreeWidgetItem* it = w->itemAt(vp)) {
        *index = it->data(0, kIndexRole).toInt();
        if (column) *column = w->columnAt(vp.x());
    }
    return 0;
}

int GetActiveTreeItem(int panel, int control, int* index)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (!index) return UI_ERR_BAD_VALUE;
    *index = c->tree.active;
    return 0;
}

int SetActiveTreeItem(int panel, int control, int index)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (index < -1 || index >= int(c->tree.items.size())) return UI_ERR_BAD_ITEM;
    c->tree.active = index;
    MarkDirty(*c);
    return 0;
}

int SetTreeItemAttribute(int panel, int control, int index, int attr, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    switch (attr) {
    case ATTR_MARK_TYPE: it->markType = value; break;
    case ATTR_MARK_STATE: it->markState = value ? 1 : 0; break;
    case ATTR_COLLAPSED:
        it->collapsed = value != 0;
        if (!it->collapsed) LoadFolderChildren(*c, index);
        break;
    case ATTR_IMAGE_INDEX: it->image = value; break;
    case ATTR_COLLAPSED_IMAGE_INDEX: it->collapsedImage = value; break;
    case ATTR_CTRL_VAL: it->value = value; break;
    case ATTR_DIMMED: it->dimmed = value != 0; break;
    case ATTR_SELECTED: if (value) c->tree.active = index; break;
    case ATTR_LABEL_TEXT: case ATTR_ITEM_TAG: case ATTR_ITEM_LEVEL: return UI_ERR_BAD_TYPE;
    default: it->attrs[attr] = AttrValue{false, double(value), {}}; break;
    }
    MarkDirty(*c);
    return 0;
}

int SetTreeItemAttribute(int panel, int control, int index, int attr, const char* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    if (attr == ATTR_LABEL_TEXT) it->cellText[0] = value;
    else if (attr == ATTR_LABEL_FONT || attr == ATTR_TOOLTIP_TEXT) it->attrs[attr] = AttrValue{true, 0.0, value};
    else return UI_ERR_BAD_TYPE;
    MarkDirty(*c);
    return 0;
}

int GetTreeItemAttribute(int panel, int control, int index, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    switch (attr) {
    case ATTR_MARK_TYPE: *value = it->markType; return 0;
    case ATTR_MARK_STATE: *value = it->markState; return 0;
    case ATTR_COLLAPSED: *value = it->collapsed; return 0;
    case ATTR_IMAGE_INDEX: *value = it->image; return 0;
    case ATTR_COLLAPSED_IMAGE_INDEX: *value = it->collapsedImage; return 0;
    case ATTR_CTRL_VAL: *value = int(it->value); return 0;
    case ATTR_DIMMED: *value = it->dimmed; return 0;
    case ATTR_SELECTED: *value = c->tree.active == index; return 0;
    case ATTR_ITEM_LEVEL: *value = it->level; return 0;
    case ATTR_LABEL_BGCOLOR: *value = LookInt(it->attrs, attr, VAL_TRANSPARENT); return 0;
    default: *value = LookInt(it->attrs, attr, 0); return 0;
    }
}

int GetTreeItemAttribute(int panel, int control, int index, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (attr == ATTR_LABEL_TEXT) return CopyOut(buffer, bufferSize, it->cellText[0]);
    if (attr == ATTR_ITEM_TAG) return CopyOut(buffer, bufferSize, it->tag);
    return CopyOut(buffer, bufferSize, LookText(it->attrs, attr, ""));
}

int SetTreeCellAttribute(int panel, int control, int index, int column, int attr, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (column < 0 || column >= c->tree.columns) return UI_ERR_BAD_CELL;
    if (attr == ATTR_LABEL_TEXT) return UI_ERR_BAD_TYPE;
    it->cellAttrs[column][attr] = AttrValue{false, double(value), {}};
    MarkDirty(*c);
    return 0;
}

int SetTreeCellAttribute(int panel, int control, int index, int column, int attr, const char* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (column < 0 || column >= c->tree.columns) return UI_ERR_BAD_CELL;
    if (!value) return UI_ERR_BAD_VALUE;
    if (attr == ATTR_LABEL_TEXT) {
        if (int(it->cellText.size()) <= column) it->cellText.resize(size_t(column + 1));
        it->cellText[size_t(column)] = value;
    } else {
        it->cellAttrs[column][attr] = AttrValue{true, 0.0, value};
    }
    MarkDirty(*c);
    return 0;
}

int GetTreeCellAttribute(int panel, int control, int index, int column, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (column < 0 || column >= c->tree.columns || !value) return UI_ERR_BAD_CELL;
    *value = LookInt(it->cellAttrs[column], attr, attr == ATTR_LABEL_BGCOLOR ? VAL_TRANSPARENT : 0);
    return 0;
}

int GetTreeCellAttribute(int panel, int control, int index, int column, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeItem* it = Item(c, index, &st);
    if (!it) return st;
    if (column < 0 || column >= c->tree.columns) return UI_ERR_BAD_CELL;
    if (attr == ATTR_LABEL_TEXT)
        return CopyOut(buffer, bufferSize, column < int(it->cellText.size()) ? it->cellText[size_t(column)] : "");
    return CopyOut(buffer, bufferSize, LookText(it->cellAttrs[column], attr, ""));
}

int SetTreeColumnAttribute(int panel, int control, int column, int attr, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (column < 0 || column >= c->tree.columns) return UI_ERR_BAD_CELL;
    c->tree.columnAttrs[column][attr] = AttrValue{false, double(value), {}};
    MarkDirty(*c);
    return 0;
}

int SetTreeColumnAttribute(int panel, int control, int column, int attr, const char* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (column < 0 || column >= c->tree.columns) return UI_ERR_BAD_CELL;
    if (!value) return UI_ERR_BAD_VALUE;
    c->tree.columnAttrs[column][attr] = AttrValue{true, 0.0, value};
    MarkDirty(*c);
    return 0;
}

int GetTreeColumnAttribute(int panel, int control, int column, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (column < 0 || column >= c->tree.columns || !value) return UI_ERR_BAD_CELL;
    *value = LookInt(c->tree.columnAttrs[column], attr, 0);
    return 0;
}

int AddTreeImage(int panel, int control, int bitmap)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    auto it = RT().bitmaps.find(bitmap);
    if (it == RT().bitmaps.end()) return UI_ERR_BAD_BITMAP;
    c->tree.images.push_back(QPixmap::fromImage(it->second));
    MarkDirty(*c);
    return int(c->tree.images.size()) - 1;
}

std::string cz::ui::TreeCellToolTip(Ctrl& c, int item, int column)
{
    FlushTree(c);
    auto* w = dynamic_cast<TreeView*>(c.widget.data());
    if (!w) return std::string();
    const QModelIndex index = w->IndexOf(item, column);
    return index.isValid() && w->CutText(index) ? StdStr(index.data(Qt::DisplayRole).toString()) : std::string();
}

int RevealFolder(int panel, int control, const char* path)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeData& t = c->tree;
    if (!t.folderBrowser || t.items.empty() || !path) return UI_ERR_BAD_VALUE;
    if (!QDir::isAbsolutePath(QStr(path))) return UI_ERR_FILE;
    const QString target = QDir::cleanPath(QDir(QStr(path)).absolutePath());
    const QString root = QStr(t.items[0].tag);
    if (target != root && !target.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/')))
        return UI_ERR_FILE;
    // Down from the root, one folder level at a time, reading each level
    // and opening the folder on the way.
    int at = 0;
    while (QStr(t.items[size_t(at)].tag) != target) {
        LoadFolderChildren(*c, at);
        t.items[size_t(at)].collapsed = false;
        int next = -1;
        for (int i = at + 1; i < SubtreeEnd(t, at) && next < 0; ++i) {
            if (t.items[size_t(i)].level != t.items[size_t(at)].level + 1) continue;
            const QString tag = QStr(t.items[size_t(i)].tag);
            if (target == tag || target.startsWith(tag + QLatin1Char('/'))) next = i;
        }
        if (next < 0) break; // the rest of the path is no folder: the nearest one
        at = next;
    }
    t.active = at;
    MarkDirty(*c);
    return at;
}

int RefreshFolderBrowser(int panel, int control)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    TreeData& t = c->tree;
    if (!t.folderBrowser) return UI_ERR_BAD_VALUE;
    // Top down: each reading changes only what lies below its item, so the
    // walk goes on with the item's (new) first child.
    for (int i = 0; i < int(t.items.size()); ++i)
        if (i == 0 || !t.items[size_t(i)].collapsed) LoadFolderChildren(*c, i);
    return 0;
}

int MakeFolderBrowser(int panel, int control, const char* rootPath)
{
    UI_CALL();
    int st;
    Ctrl* c = Tree(panel, control, &st);
    if (!c) return st;
    if (!rootPath) return UI_ERR_BAD_VALUE;
    QDir root(QStr(rootPath));
    if (!root.exists()) return UI_ERR_FILE;
    TreeData& t = c->tree;
    t.items.clear();
    t.tags.clear();
    t.active = -1;
    t.folderBrowser = true;
    TreeItem top;
    top.cellText.assign(size_t(std::max(1, t.columns)), std::string());
    top.cellText[0] = StdStr(root.absolutePath());
    top.tag = UniqueTag(t, StdStr(root.absolutePath()));
    top.collapsed = false;
    top.folderPending = true;
    t.items.push_back(top);
    // The root shows its sub-folders; deeper levels are read when expanded.
    LoadFolderChildren(*c, 0);
    MarkDirty(*c);
    return 0;
}
