// Tree control: insert relations and positions, unique tags, parents, levels
// and children, values, mark states and their refusal, collapse, items from
// a point, deletion with descendants, and the folder browser's lazy levels.
#include <QTreeWidget>

#include <sys/stat.h>

#include <set>
#include <string>

#include "tests/platform/ui/UiEvents.h"
#include "tests/support/TempDir.h"

namespace {

using cz::test::CountOf;
using cz::test::LastOf;
using cz::test::Recorded;
using cz::test::RecorderAnswer;

class TreeTest : public cz::test::UiPanelTest {
protected:
    void SetUp() override
    {
        UiPanelTest::SetUp();
        tree = Make(CTRL_TREE);
        SetCtrlAttribute(panel, tree, ATTR_HEIGHT, 300);
    }
    int Add(int relation, int relative, int position, const char* label, int value = 0)
    {
        return InsertTreeItem(panel, tree, relation, relative, position, label, label, nullptr, value);
    }
    std::string Label(int index)
    {
        char buf[64] = "";
        GetLabelFromIndex(panel, tree, index, buf, sizeof buf);
        return buf;
    }
    std::string Order()
    {
        int n = 0;
        GetNumTreeItems(panel, tree, &n);
        std::string all;
        for (int i = 0; i < n; ++i) {
            if (i) all += ' ';
            all += Label(i);
        }
        return all;
    }
    int tree = 0;
};

TEST_F(TreeTest, RelationsAndPositionsPlaceItemsInDisplayOrder)
{
    ASSERT_EQ(0, Add(VAL_SIBLING, -1, VAL_LAST, "A"));
    ASSERT_EQ(1, Add(VAL_SIBLING, -1, VAL_LAST, "B"));
    ASSERT_EQ(0, Add(VAL_SIBLING, -1, VAL_FIRST, "Z"));           // Z A B
    ASSERT_EQ(2, Add(VAL_CHILD, 1, VAL_LAST, "a2"));               // Z A a2 B
    ASSERT_EQ(2, Add(VAL_CHILD, 1, VAL_FIRST, "a1"));              // Z A a1 a2 B
    ASSERT_EQ(4, Add(VAL_SIBLING, 3, VAL_NEXT, "a3"));             // after a2
    ASSERT_EQ(2, Add(VAL_SIBLING, 2, VAL_PREV, "a0"));             // before a1
    ASSERT_EQ(4, Add(VAL_CHILD, 3, VAL_LAST, "a1x"));              // under a1
    // B follows the whole subtree of A when a sibling goes after A.
    ASSERT_EQ(7, Add(VAL_SIBLING, 1, VAL_NEXT, "A+"));
    EXPECT_EQ("Z A a0 a1 a1x a2 a3 A+ B", Order());
    EXPECT_EQ(UI_ERR_BAD_ITEM, Add(VAL_CHILD, 9, VAL_LAST, "x"));
    EXPECT_EQ(UI_ERR_BAD_VALUE, Add(7, 0, VAL_LAST, "x"));

    int parent = 0, level = 0, count = 0, child = 0, next = 0;
    GetTreeItemParent(panel, tree, 4, &parent);
    GetTreeItemLevel(panel, tree, 4, &level);
    EXPECT_EQ(3, parent);
    EXPECT_EQ(2, level);
    GetTreeItemParent(panel, tree, 8, &parent);
    EXPECT_EQ(-1, parent);
    GetTreeItemNumChildren(panel, tree, 1, &count);
    EXPECT_EQ(4, count); // a0 a1 a2 a3, not a1x
    GetTreeItemChild(panel, tree, 1, 2, &child);
    EXPECT_EQ(5, child);
    GetTreeItemChild(panel, tree, 1, 4, &child);
    EXPECT_EQ(-1, child);
    GetTreeItemNextSibling(panel, tree, 3, &next);
    EXPECT_EQ(5, next); // a1 -> a2, over a1x
    GetTreeItemNextSibling(panel, tree, 8, &next);
    EXPECT_EQ(-1, next);
}

TEST_F(TreeTest, TagsAreMadeUniqueAndFreedWithTheirItems)
{
    char tag[UI_TAG_LEN];
    ASSERT_EQ(0, InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "Pulse", "_P", tag, 1));
    EXPECT_STREQ("_P", tag);
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "Pulse", "_P", tag, 2);
    EXPECT_STREQ("_P#1", tag);
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "Pulse", "_P", tag, 3);
    EXPECT_STREQ("_P#2", tag);
    // No tag base: the label is the base.
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "Pulse", nullptr, tag, 4);
    EXPECT_STREQ("Pulse", tag);
    int index = 0;
    GetTreeItemFromTag(panel, tree, "_P#2", &index);
    EXPECT_EQ(2, index);
    GetTreeItemFromTag(panel, tree, "missing", &index);
    EXPECT_EQ(-1, index);
    GetTreeItemFromValue(panel, tree, 4, &index);
    EXPECT_EQ(3, index);
    // A deleted item's tag can be given again.
    ASSERT_EQ(0, DeleteTreeItem(panel, tree, 0));
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "Pulse", "_P", tag, 5);
    EXPECT_STREQ("_P", tag);
    ASSERT_EQ(0, GetTreeItemTag(panel, tree, 1, tag, sizeof tag));
    EXPECT_STREQ("_P#2", tag);
}

// Many items of one label (file sizes of a catalogue) each get a tag of
// their own; a cleared tree counts from "#1" again.
TEST_F(TreeTest, ManyEqualLabelsGetTagsOfTheirOwn)
{
    char tag[UI_TAG_LEN];
    std::set<std::string> tags;
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(i, InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "64", nullptr, tag, i));
        tags.insert(tag);
    }
    EXPECT_EQ(tags.size(), 3000u);
    EXPECT_EQ(tags.count("64"), 1u);
    EXPECT_EQ(tags.count("64#2999"), 1u);
    // A label that looks like a given tag is not given that tag twice.
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "64#3000", nullptr, tag, 0);
    EXPECT_STREQ("64#3000", tag);
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "64", nullptr, tag, 0);
    EXPECT_STREQ("64#3001", tag);
    ASSERT_EQ(0, ClearTreeItems(panel, tree));
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "64", nullptr, tag, 0);
    EXPECT_STREQ("64", tag);
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "64", nullptr, tag, 0);
    EXPECT_STREQ("64#1", tag);
}

TEST_F(TreeTest, DeleteTakesDescendantsAndKeepsTheActiveItem)
{
    Add(VAL_SIBLING, -1, VAL_LAST, "A");
    Add(VAL_CHILD, 0, VAL_LAST, "a1");
    Add(VAL_CHILD, 1, VAL_LAST, "a1x");
    Add(VAL_SIBLING, -1, VAL_LAST, "B", 7);
    ASSERT_EQ(0, SetActiveTreeItem(panel, tree, 3));
    ASSERT_EQ(0, DeleteTreeItem(panel, tree, 0));
    EXPECT_EQ("B", Order());
    int active = -1, value = 0;
    GetActiveTreeItem(panel, tree, &active);
    EXPECT_EQ(0, active);
    GetCtrlVal(panel, tree, &value);
    EXPECT_EQ(7, value);
    // The active item itself deleted: none is active.
    DeleteTreeItem(panel, tree, 0);
    GetActiveTreeItem(panel, tree, &active);
    EXPECT_EQ(-1, active);
    EXPECT_EQ(UI_ERR_BAD_ITEM, DeleteTreeItem(panel, tree, 0));
    EXPECT_EQ(0u, Recorded().size());
}

TEST_F(TreeTest, MarkStatesChangeByUserUnlessTheCallbackRefuses)
{
    Add(VAL_SIBLING, -1, VAL_LAST, "A");
    ASSERT_EQ(0, SetTreeItemAttribute(panel, tree, 0, ATTR_MARK_TYPE, VAL_MARK_CHECK));
    EXPECT_EQ(1, UiTest_SetMarkState(panel, tree, 0, 1));
    cz::test::RecordedEvent e = LastOf(EVENT_MARK_STATE_CHANGE);
    EXPECT_EQ(0, e.data1);
    EXPECT_EQ(1, e.data2);
    int state = 0;
    GetTreeItemAttribute(panel, tree, 0, ATTR_MARK_STATE, &state);
    EXPECT_EQ(1, state);
    RecorderAnswer() = 1;
    EXPECT_EQ(0, UiTest_SetMarkState(panel, tree, 0, 0));
    GetTreeItemAttribute(panel, tree, 0, ATTR_MARK_STATE, &state);
    EXPECT_EQ(1, state);
    // The check box in the widget follows the model again after a refusal.
    ProcessDrawEvents();
    auto* w = qobject_cast<QTreeWidget*>(UiTest_Widget(panel, tree));
    ASSERT_NE(nullptr, w);
    ASSERT_EQ(1, w->topLevelItemCount());
    EXPECT_EQ(Qt::Checked, w->topLevelItem(0)->checkState(0));
    // Clicking the check box in the widget goes the same way.
    RecorderAnswer() = 0;
    w->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    GetTreeItemAttribute(panel, tree, 0, ATTR_MARK_STATE, &state);
    EXPECT_EQ(0, state);
    EXPECT_EQ(3, CountOf(EVENT_MARK_STATE_CHANGE));
    // Dimmed trees refuse without asking.
    SetCtrlAttribute(panel, tree, ATTR_DIMMED, 1);
    EXPECT_EQ(0, UiTest_SetMarkState(panel, tree, 0, 1));
    EXPECT_EQ(3, CountOf(EVENT_MARK_STATE_CHANGE));
    EXPECT_EQ(UI_ERR_BAD_ITEM, UiTest_SetMarkState(panel, tree, 4, 1));
}

TEST_F(TreeTest, CollapseClicksAndItemsFromPoints)
{
    Add(VAL_SIBLING, -1, VAL_LAST, "A", 10);
    Add(VAL_CHILD, 0, VAL_LAST, "a1", 11);
    Add(VAL_SIBLING, -1, VAL_LAST, "B", 20);
    int collapsed = 0;
    GetTreeItemAttribute(panel, tree, 0, ATTR_COLLAPSED, &collapsed);
    EXPECT_EQ(1, collapsed);
    ASSERT_EQ(0, SetTreeItemAttribute(panel, tree, 0, ATTR_COLLAPSED, 0));
    ProcessDrawEvents();
    auto* w = qobject_cast<QTreeWidget*>(UiTest_Widget(panel, tree));
    ASSERT_NE(nullptr, w);
    EXPECT_TRUE(w->topLevelItem(0)->isExpanded());
    // The item under the middle of row 2 is a1 (index 1) in column 0.
    const QRect r = w->visualItemRect(w->topLevelItem(0)->child(0));
    const QPoint at = w->viewport()->mapTo(w, r.center());
    int index = -1, column = -1;
    ASSERT_EQ(0, GetTreeItemFromPoint(panel, tree, MakePoint(at.x(), at.y()), &index, &column));
    EXPECT_EQ(1, index);
    EXPECT_EQ(0, column);
    GetTreeItemFromPoint(panel, tree, MakePoint(5, 290), &index, &column);
    EXPECT_EQ(-1, index);
    // A user's click selects and raises the selection change; a double
    // click commits the item.
    ASSERT_EQ(1, UiTest_ClickTreeItem(panel, tree, 2, false));
    EXPECT_EQ(2, LastOf(EVENT_SELECTION_CHANGE).data1);
    int value = 0;
    GetCtrlVal(panel, tree, &value);
    EXPECT_EQ(20, value);
    ASSERT_EQ(1, UiTest_ClickTreeItem(panel, tree, 1, true));
    EXPECT_EQ(1, LastOf(EVENT_COMMIT).data1);
    // Collapse by the user raises the event and is kept in the model.
    ASSERT_EQ(1, UiTest_ExpandTreeItem(panel, tree, 0, false));
    EXPECT_EQ(0, LastOf(EVENT_COLLAPSE).data1);
    GetTreeItemAttribute(panel, tree, 0, ATTR_COLLAPSED, &collapsed);
    EXPECT_EQ(1, collapsed);
}

// A key that moves the highlight selects the item as a click does: the
// active item follows and the selection change says it came from a key.
// Return on an item is its double click (a group opens, the item commits)
// and never presses the panel's default button.
TEST_F(TreeTest, KeysSelectAsClicksAndReturnIsADoubleClick)
{
    Add(VAL_SIBLING, -1, VAL_LAST, "A", 10);
    Add(VAL_CHILD, 0, VAL_LAST, "a1", 11);
    Add(VAL_SIBLING, -1, VAL_LAST, "B", 20);
    const int close = Make(CTRL_COMMAND_BUTTON, "Close", 10, 300);
    ASSERT_EQ(0, SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, close));
    ASSERT_EQ(1, UiTest_ClickTreeItem(panel, tree, 0, false));
    Recorded().clear();

    // A is collapsed: Down goes to B.
    ASSERT_EQ(1, UiTest_PressKey(panel, tree, UITEST_KEY_DOWN));
    int active = -1;
    GetActiveTreeItem(panel, tree, &active);
    EXPECT_EQ(2, active);
    ASSERT_EQ(1, CountOf(EVENT_SELECTION_CHANGE));
    EXPECT_EQ(2, LastOf(EVENT_SELECTION_CHANGE).data1);
    EXPECT_EQ(1, LastOf(EVENT_SELECTION_CHANGE).data2);
    EXPECT_EQ(0, CountOf(EVENT_LEFT_CLICK));
    // Down on the last item moves nothing and raises nothing.
    ASSERT_EQ(1, UiTest_PressKey(panel, tree, UITEST_KEY_DOWN));
    EXPECT_EQ(1, CountOf(EVENT_SELECTION_CHANGE));

    // Return on B commits B; the default button stays unpressed.
    ASSERT_EQ(1, UiTest_PressKey(panel, tree, UITEST_KEY_RETURN));
    EXPECT_EQ(2, LastOf(EVENT_COMMIT).data1);
    EXPECT_EQ(EVENT_COMMIT, Recorded().back().event);
    EXPECT_EQ(tree, Recorded().back().control);
    // Return on the group A opens it, and Down then reaches its child.
    ASSERT_EQ(1, UiTest_PressKey(panel, tree, UITEST_KEY_UP));
    Recorded().clear();
    ASSERT_EQ(1, UiTest_PressKey(panel, tree, UITEST_KEY_RETURN));
    int collapsed = 1;
    GetTreeItemAttribute(panel, tree, 0, ATTR_COLLAPSED, &collapsed);
    EXPECT_EQ(0, collapsed);
    EXPECT_EQ(0, LastOf(EVENT_EXPAND).data1);
    EXPECT_EQ(0, LastOf(EVENT_COMMIT).data1);
    for (const cz::test::RecordedEvent& e : Recorded()) EXPECT_NE(close, e.control);
    ASSERT_EQ(1, UiTest_PressKey(panel, tree, UITEST_KEY_DOWN));
    GetActiveTreeItem(panel, tree, &active);
    EXPECT_EQ(1, active);

    // A dimmed tree takes no key.
    SetCtrlAttribute(panel, tree, ATTR_DIMMED, 1);
    Recorded().clear();
    EXPECT_EQ(0, UiTest_PressKey(panel, tree, UITEST_KEY_DOWN));
    EXPECT_EQ(0u, Recorded().size());
}

// The item a click's point names is the item clicked, also in a tree
// scrolled down: the tree drawn again keeps its place.
TEST_F(TreeTest, AClickInAScrolledTreeNamesTheItemClicked)
{
    for (int i = 0; i < 20; ++i) {
        const int parent = Add(VAL_SIBLING, -1, VAL_LAST, ("item" + std::to_string(i)).c_str(), i);
        for (int k = 0; k < 5; ++k) Add(VAL_CHILD, parent, VAL_LAST, "page", 100 + k);
    }
    static int named = -1;
    const auto lookUp = [](int p, int c, int event, void*, int y, int x) {
        if (event == EVENT_LEFT_CLICK) GetTreeItemFromPoint(p, c, MakePoint(x, y), &named, nullptr);
        return 0;
    };
    ASSERT_EQ(0, InstallCtrlCallback(panel, tree, lookUp, nullptr));
    for (int item : {114, 60, 86, 3, 61, 109, 10, 115, 13}) {
        named = -1;
        ASSERT_EQ(1, UiTest_ClickTreeItem(panel, tree, item, false));
        EXPECT_EQ(item, named);
    }
}

TEST_F(TreeTest, ColumnsCellsAndValuesRoundTrip)
{
    ASSERT_EQ(0, SetCtrlAttribute(panel, tree, ATTR_TREE_COLUMNS, 3));
    Add(VAL_SIBLING, -1, VAL_LAST, "row", -5);
    ASSERT_EQ(0, SetTreeCellAttribute(panel, tree, 0, 2, ATTR_LABEL_TEXT, "third"));
    ASSERT_EQ(0, SetTreeCellAttribute(panel, tree, 0, 1, ATTR_LABEL_BGCOLOR, 0x00FF00));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTreeCellAttribute(panel, tree, 0, 3, ATTR_LABEL_TEXT, "x"));
    char buf[16];
    ASSERT_EQ(0, GetTreeCellAttribute(panel, tree, 0, 2, ATTR_LABEL_TEXT, buf, sizeof buf));
    EXPECT_STREQ("third", buf);
    int colour = 0, bg0 = 0, value = 0;
    GetTreeCellAttribute(panel, tree, 0, 1, ATTR_LABEL_BGCOLOR, &colour);
    GetTreeCellAttribute(panel, tree, 0, 0, ATTR_LABEL_BGCOLOR, &bg0);
    EXPECT_EQ(0x00FF00, colour);
    EXPECT_EQ(VAL_TRANSPARENT, bg0);
    GetValueFromIndex(panel, tree, 0, &value);
    EXPECT_EQ(-5, value);
    ASSERT_EQ(0, SetTreeItemAttribute(panel, tree, 0, ATTR_CTRL_VAL, 9));
    GetTreeItemAttribute(panel, tree, 0, ATTR_CTRL_VAL, &value);
    EXPECT_EQ(9, value);
    ProcessDrawEvents();
    auto* w = qobject_cast<QTreeWidget*>(UiTest_Widget(panel, tree));
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(QStringLiteral("third"), w->topLevelItem(0)->text(2));
}

TEST_F(TreeTest, FolderBrowserReadsDeeperLevelsOnExpand)
{
    cz::test::TempDir dir;
    const std::string root = dir.path();
    for (const char* sub : {"/a", "/a/b", "/a/b/c", "/a/b/c/d", "/e"}) ASSERT_EQ(0, ::mkdir((root + sub).c_str(), 0700));
    ASSERT_EQ(0, MakeFolderBrowser(panel, tree, root.c_str()));
    // The root and its two sub-folders; nothing deeper is read yet.
    EXPECT_EQ(3, [&] { int n = 0; GetNumTreeItems(panel, tree, &n); return n; }());
    int a = -1;
    GetTreeItemFromTag(panel, tree, (root + "/a").c_str(), &a);
    ASSERT_EQ(1, a);
    ProcessDrawEvents();
    auto* w = qobject_cast<QTreeWidget*>(UiTest_Widget(panel, tree));
    ASSERT_NE(nullptr, w);
    // "a" has sub-folders and shows an expand mark before they are read;
    // "e" has none.
    QTreeWidgetItem* top = w->topLevelItem(0);
    ASSERT_EQ(2, top->childCount());
    EXPECT_EQ(QTreeWidgetItem::ShowIndicator, top->child(0)->childIndicatorPolicy());
    EXPECT_NE(QTreeWidgetItem::ShowIndicator, top->child(1)->childIndicatorPolicy());
    // The user expanding "a" reads "b"; expanding "b" reads "c", then "d".
    top->child(0)->setExpanded(true);
    int b = -1, c = -1, d = -1;
    GetTreeItemFromTag(panel, tree, (root + "/a/b").c_str(), &b);
    ASSERT_EQ(2, b);
    EXPECT_EQ(1, LastOf(EVENT_EXPAND).data1);
    ASSERT_EQ(1, UiTest_ExpandTreeItem(panel, tree, b, true));
    GetTreeItemFromTag(panel, tree, (root + "/a/b/c").c_str(), &c);
    ASSERT_EQ(3, c);
    ASSERT_EQ(0, SetTreeItemAttribute(panel, tree, c, ATTR_COLLAPSED, 0));
    GetTreeItemFromTag(panel, tree, (root + "/a/b/c/d").c_str(), &d);
    EXPECT_EQ(4, d);
    int level = 0;
    GetTreeItemLevel(panel, tree, d, &level);
    EXPECT_EQ(4, level);
    // Expanding again reads nothing twice; "e" stays after a's subtree.
    UiTest_ExpandTreeItem(panel, tree, 1, false);
    UiTest_ExpandTreeItem(panel, tree, 1, true);
    int n = 0, e = -1;
    GetNumTreeItems(panel, tree, &n);
    EXPECT_EQ(6, n);
    GetTreeItemFromTag(panel, tree, (root + "/e").c_str(), &e);
    EXPECT_EQ(5, e);
    EXPECT_EQ(UI_ERR_FILE, MakeFolderBrowser(panel, tree, (root + "/missing").c_str()));

    // Revealing a folder reads and opens the levels down to it and makes it
    // the active item; a missing tail stops at the nearest folder.
    ASSERT_EQ(0, MakeFolderBrowser(panel, tree, root.c_str()));
    const int deep = RevealFolder(panel, tree, (root + "/a/b/c/").c_str());
    int found = -1, active = -1, collapsed = -1;
    GetTreeItemFromTag(panel, tree, (root + "/a/b/c").c_str(), &found);
    ASSERT_GT(deep, 0);
    EXPECT_EQ(found, deep);
    GetActiveTreeItem(panel, tree, &active);
    EXPECT_EQ(active, deep);
    GetTreeItemFromTag(panel, tree, (root + "/a/b").c_str(), &found);
    GetTreeItemAttribute(panel, tree, found, ATTR_COLLAPSED, &collapsed);
    EXPECT_EQ(0, collapsed);
    GetTreeItemFromTag(panel, tree, (root + "/e").c_str(), &found);
    EXPECT_EQ(found, RevealFolder(panel, tree, (root + "/e/gone").c_str()));
    EXPECT_EQ(UI_ERR_FILE, RevealFolder(panel, tree, "relative/path"));
}

} // namespace
