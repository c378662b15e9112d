// Panels, tab pages, menus, popups and the user-event queue: copied pages
// keep their control ids, child panels draw their frame and title bar, menu
// choices run or queue, every unknown handle gives a negative status, and
// the failing-call hook stops a call before it does anything.
#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>

#include <string>
#include <vector>

#include "tests/platform/ui/UiEvents.h"
#include "tests/support/TempDir.h"

namespace {

using cz::test::CountOf;
using cz::test::LastOf;
using cz::test::Recorded;

class PanelTest : public cz::test::UiPanelTest {};

int g_panelEvents = 0, g_lastPanelEvent = 0;
int PanelCb(int, int event, void*, int, int)
{
    ++g_panelEvents;
    g_lastPanelEvent = event;
    return 0;
}

TEST_F(PanelTest, InsertedPagesAreCopiesWithTheSameControlIds)
{
    const int tab = Make(CTRL_TAB);
    SetCtrlAttribute(panel, tab, ATTR_HEIGHT, 300);
    SetCtrlAttribute(panel, tab, ATTR_WIDTH, 400);
    const int source = NewPanel(0, "Source", 0, 0, 200, 300);
    const int num = NewCtrl(source, CTRL_NUMERIC, "Level", 10, 10);
    const int str = NewCtrl(source, CTRL_STRING, "Name", 40, 10);
    SetCtrlVal(source, num, 0.1234567890123);
    SetCtrlAttribute(source, str, ATTR_MAX_ENTRY_LENGTH, 5);
    InstallCtrlCallback(source, str, cz::test::RecordCb, nullptr);
    ASSERT_EQ(0, InsertPanelAsTabPage(panel, tab, -1, source));
    ASSERT_EQ(1, InsertPanelAsTabPage(panel, tab, -1, source));
    ASSERT_EQ(0, DiscardPanel(source));
    int page0 = 0, page1 = 0;
    ASSERT_EQ(0, GetPanelHandleFromTabPage(panel, tab, 0, &page0));
    ASSERT_EQ(0, GetPanelHandleFromTabPage(panel, tab, 1, &page1));
    EXPECT_NE(page0, page1);
    // The builder's ids address the copies; each copy has its own values.
    double d = 0;
    ASSERT_EQ(0, GetCtrlVal(page0, num, &d));
    EXPECT_EQ(0.1234567890123, d);
    SetCtrlVal(page1, num, 2.0);
    GetCtrlVal(page0, num, &d);
    EXPECT_EQ(0.1234567890123, d);
    EXPECT_EQ(1, UiTest_EnterValue(page1, str, "abcdefgh"));
    char buf[16];
    GetCtrlVal(page1, str, buf, sizeof buf);
    EXPECT_STREQ("abcde", buf);
    EXPECT_EQ(page1, LastOf(EVENT_COMMIT).panel);
    int parent = 0;
    GetPanelAttribute(page1, ATTR_PANEL_PARENT, &parent);
    EXPECT_EQ(panel, parent);
    EXPECT_EQ(UI_ERR_GENERAL, DiscardPanel(page1)); // pages go with their tab control
    char label[16];
    GetTabPageAttribute(panel, tab, 0, ATTR_LABEL_TEXT, label, sizeof label);
    EXPECT_STREQ("Source", label);
}

TEST_F(PanelTest, PagesHideDimAndChangeByUser)
{
    const int tab = Make(CTRL_TAB);
    for (const char* label : {"One", "Two", "Three"}) ASSERT_GE(InsertTabPage(panel, tab, -1, label), 0);
    int active = -1, count = 0;
    GetActiveTabPage(panel, tab, &active);
    GetNumTabPages(panel, tab, &count);
    EXPECT_EQ(0, active);
    EXPECT_EQ(3, count);
    ASSERT_EQ(0, SetActiveTabPage(panel, tab, 2));
    EXPECT_EQ(0u, Recorded().size());
    ASSERT_EQ(0, SetTabPageAttribute(panel, tab, 0, ATTR_VISIBLE, 0));
    ASSERT_EQ(0, SetTabPageAttribute(panel, tab, 1, ATTR_DIMMED, 1));
    EXPECT_EQ(0, UiTest_ChooseTabPage(panel, tab, 0));
    EXPECT_EQ(0, UiTest_ChooseTabPage(panel, tab, 1));
    SetTabPageAttribute(panel, tab, 1, ATTR_DIMMED, 0);
    ASSERT_EQ(1, UiTest_ChooseTabPage(panel, tab, 1));
    cz::test::RecordedEvent e = LastOf(EVENT_ACTIVE_TAB_CHANGE);
    EXPECT_EQ(2, e.data1);
    EXPECT_EQ(1, e.data2);
    int visible = 1;
    GetTabPageAttribute(panel, tab, 0, ATTR_VISIBLE, &visible);
    EXPECT_EQ(0, visible);
    // Inserting in front keeps the same page active.
    ASSERT_EQ(0, InsertTabPage(panel, tab, 0, "Zero"));
    GetActiveTabPage(panel, tab, &active);
    EXPECT_EQ(2, active);
    ASSERT_EQ(0, DeleteTabPage(panel, tab, 1, 3));
    GetNumTabPages(panel, tab, &count);
    EXPECT_EQ(1, count);
    GetActiveTabPage(panel, tab, &active);
    EXPECT_EQ(0, active);
    EXPECT_EQ(UI_ERR_BAD_INDEX, SetActiveTabPage(panel, tab, 1));
    int page = 0;
    EXPECT_EQ(UI_ERR_BAD_INDEX, GetPanelHandleFromTabPage(panel, tab, 4, &page));
}

TEST_F(PanelTest, ChildPanelsDrawTheirFrameAndTitleBar)
{
    SetPanelAttribute(panel, ATTR_BACKCOLOR, 0xE0E0E0);
    const int child = NewPanel(panel, "Jitter", 100, 100, 80, 160);
    ASSERT_GT(child, 0);
    SetPanelAttribute(child, ATTR_BACKCOLOR, 0xFFFFFF);
    SetPanelAttribute(child, ATTR_FRAME_THICKNESS, 3);
    SetPanelAttribute(child, ATTR_FRAME_COLOR, 0x0000FF);
    SetPanelAttribute(child, ATTR_TITLEBAR_THICKNESS, 18);
    InstallPanelCallback(child, PanelCb, nullptr);
    ASSERT_EQ(0, DisplayPanel(child));
    ProcessDrawEvents();
    const QImage img = UiTest_Widget(panel, 0)->grab().toImage();
    auto rgb = [&](int x, int y) { return int(img.pixel(x, y) & 0xFFFFFF); };
    // The client area sits at the panel's place; frame and title bar lie
    // outside it, above and around.
    EXPECT_EQ(0xFFFFFF, rgb(150, 140));
    EXPECT_EQ(0x0000FF, rgb(98, 140));          // left frame
    EXPECT_EQ(0x0000FF, rgb(150, 100 - 18 - 2)); // top frame above the title bar
    EXPECT_NE(0xE0E0E0, rgb(101, 100 - 9));     // title bar
    EXPECT_NE(0xFFFFFF, rgb(101, 100 - 9));
    EXPECT_EQ(0xE0E0E0, rgb(150, 60));          // the parent beyond it
    // Without a title bar only the frame is drawn above the client area.
    SetPanelAttribute(child, ATTR_TITLEBAR_VISIBLE, 0);
    ProcessDrawEvents();
    const QImage flat = UiTest_Widget(panel, 0)->grab().toImage();
    EXPECT_EQ(0x0000FF, int(flat.pixel(150, 98) & 0xFFFFFF));
    EXPECT_EQ(0xE0E0E0, int(flat.pixel(150, 92) & 0xFFFFFF));
    // The close box on the title bar raises the close event; the panel stays.
    SetPanelAttribute(child, ATTR_TITLEBAR_VISIBLE, 1);
    ProcessDrawEvents();
    QWidget* frame = UiTest_Widget(child, 0);
    ASSERT_NE(nullptr, frame);
    const QPointF box(frame->width() - 3 - 6, 3 + 9); // right end of the title bar
    QMouseEvent press(QEvent::MouseButtonPress, box, frame->mapToGlobal(box), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    g_panelEvents = 0;
    QCoreApplication::sendEvent(frame, &press);
    EXPECT_EQ(1, g_panelEvents);
    EXPECT_EQ(EVENT_CLOSE, g_lastPanelEvent);
    int visible = 0;
    GetPanelAttribute(child, ATTR_VISIBLE, &visible);
    EXPECT_EQ(1, visible);
    ASSERT_EQ(0, HidePanel(child));
    EXPECT_FALSE(frame->isVisible());
    // Discarding the parent discards the child.
    ASSERT_EQ(0, DiscardPanel(panel));
    EXPECT_EQ(UI_ERR_BAD_PANEL, DisplayPanel(child));
    panel = 0;
}

int g_menuChosen = 0;
void MenuCb(int, int item, void*, int) { g_menuChosen = item; }

int g_bar = 0, g_item = 0;
// A long command during which the user picks a menu item.
int LongCommandCb(int, int, int event, void*, int, int)
{
    if (event == EVENT_COMMIT) {
        UiTest_ChooseMenuItem(g_bar, g_item);
        ProcessSystemEvents();
    }
    return 0;
}

TEST_F(PanelTest, MenuItemsRunTheirCallbacksOrQueueDuringOne)
{
    const int bar = NewMenuBar(panel);
    ASSERT_GT(bar, 0);
    const int file = NewMenu(bar, "__File", -1);
    const int save = NewMenuItem(bar, file, "__Save", -1, 0, MenuCb, nullptr);
    ASSERT_GT(InsertSeparator(bar, file, -1), 0);
    const int exitItem = NewMenuItem(bar, file, "E__xit", -1, 0, MenuCb, nullptr);
    const int first = NewMenuItem(bar, file, "New", save, 0, MenuCb, nullptr);
    ASSERT_GT(first, 0);
    QMenu* menu = nullptr;
    for (QMenu* m : UiTest_Widget(panel, 0)->findChildren<QMenu*>())
        if (m->title() == QStringLiteral("&File")) menu = m;
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(4, menu->actions().size());
    EXPECT_EQ(QStringLiteral("New"), menu->actions()[0]->text());
    EXPECT_EQ(QStringLiteral("E&xit"), menu->actions()[3]->text());
    EXPECT_TRUE(menu->actions()[2]->isSeparator());
    // Check marks and dimming.
    ASSERT_EQ(0, SetMenuBarAttribute(bar, save, ATTR_CHECKED, 1));
    EXPECT_TRUE(menu->actions()[1]->isChecked());
    ASSERT_EQ(0, SetMenuBarAttribute(bar, exitItem, ATTR_DIMMED, 1));
    EXPECT_EQ(0, UiTest_ChooseMenuItem(bar, exitItem));
    EXPECT_EQ(0, g_menuChosen);
    SetMenuBarAttribute(bar, exitItem, ATTR_DIMMED, 0);
    // The action itself triggers the callback as a user's choice does.
    menu->actions()[3]->trigger();
    EXPECT_EQ(exitItem, g_menuChosen);
    // During a running callback the choice is queued with its panel.
    g_bar = bar;
    g_item = save;
    g_menuChosen = 0;
    const int run = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Run", 10, 10);
    InstallCtrlCallback(panel, run, LongCommandCb, nullptr);
    ASSERT_EQ(1, UiTest_ClickCtrl(panel, run));
    EXPECT_EQ(0, g_menuChosen);
    int p = 0, item = 0;
    EXPECT_EQ(EVENT_MENU, GetUserEvent(VAL_NO_WAIT, &p, &item));
    EXPECT_EQ(panel, p);
    EXPECT_EQ(save, item);
    // A discarded menu takes its items along.
    ASSERT_EQ(0, DiscardMenuItem(bar, file));
    EXPECT_EQ(UI_ERR_BAD_MENU, UiTest_ChooseMenuItem(bar, save));
    EXPECT_EQ(UI_ERR_BAD_MENU, SetMenuBarAttribute(bar, exitItem, ATTR_CHECKED, 1));
    EXPECT_EQ(UI_ERR_BAD_MENU, NewMenu(bar + 5, "x", -1));
}

TEST_F(PanelTest, PopupsWithoutAnAnswerFailAndAreRecorded)
{
    static int unanswered = 0;
    unanswered = 0;
    UiTest_SetUnansweredPopupHandler([](const char*, const char*, const char*) { ++unanswered; });
    EXPECT_EQ(UI_ERR_NO_ANSWER, ConfirmPopup("Warning", "Delete entry?"));
    EXPECT_EQ(1, unanswered);
    ASSERT_EQ(1u, UiTest_Popups().size());
    EXPECT_EQ("confirm", UiTest_Popups()[0].kind);
    EXPECT_EQ("Delete entry?", UiTest_Popups()[0].text);
    // Prompt: a text answer, then a cancel.
    char reply[8];
    UiTest_QueuePrompt("Pulse 12345678");
    ASSERT_EQ(0, PromptPopup("Name", "New name:", reply, 7));
    EXPECT_STREQ("Pulse 1", reply);
    UiTest_QueuePrompt(nullptr);
    EXPECT_LT(PromptPopup("Name", "New name:", reply, 7), 0);
    // A path longer than the caller's buffer is refused, never cut.
    UiTest_QueueFile("/a/rather/long/path/name.prj");
    char path[8];
    EXPECT_EQ(UI_ERR_BUFFER_TOO_SMALL, FileSelectPopup("", "*.prj", "", "Load", VAL_LOAD_BUTTON, 0, 1, 1, 0, path, sizeof path));
    cz::test::TempDir dir;
    UiTest_QueueFile(dir.path().c_str());
    char folder[UI_MAX_PATH];
    EXPECT_EQ(VAL_EXISTING_FILE_SELECTED, DirSelectPopup("/tmp", "Folder", 1, 0, folder, sizeof folder));
    EXPECT_EQ(dir.path(), folder);
    EXPECT_EQ(0, UiTest_PendingAnswers());
}

TEST_F(PanelTest, UnknownHandlesIdsAndItemsGiveNegativeStatuses)
{
    const int num = Make(CTRL_NUMERIC);
    int i = 0;
    double d = 0;
    EXPECT_EQ(UI_ERR_BAD_PANEL, SetCtrlVal(panel + 100, num, 1.0));
    EXPECT_EQ(UI_ERR_BAD_CONTROL, SetCtrlVal(panel, num + 100, 1.0));
    EXPECT_EQ(UI_ERR_BAD_PANEL, GetPanelAttribute(-3, ATTR_TOP, &i));
    EXPECT_EQ(UI_ERR_BAD_ATTRIBUTE, SetCtrlAttribute(panel, num, 9999, 1));
    EXPECT_EQ(UI_ERR_BAD_TYPE, SetCtrlAttribute(panel, num, ATTR_LABEL_TEXT, 1));
    EXPECT_EQ(UI_ERR_BAD_VALUE, GetCtrlVal(panel, num, static_cast<double*>(nullptr)));
    EXPECT_EQ(UI_ERR_WRONG_KIND, InsertListItem(panel, num, -1, "x", 1));
    EXPECT_EQ(UI_ERR_WRONG_KIND, InsertTreeItem(panel, num, VAL_SIBLING, -1, VAL_LAST, "x", "", nullptr, 0));
    EXPECT_EQ(UI_ERR_WRONG_KIND, PlotLine(panel, num, 0, 0, 1, 1, 0));
    EXPECT_EQ(UI_ERR_WRONG_KIND, CanvasDrawLine(panel, num, MakePoint(0, 0), MakePoint(1, 1)));
    EXPECT_EQ(UI_ERR_WRONG_KIND, GetNumTabPages(panel, num, &i));
    EXPECT_EQ(UI_ERR_BAD_BITMAP, SetCtrlBitmap(panel, num, 77));
    EXPECT_EQ(UI_ERR_BAD_MENU, NewMenuItem(42, 1, "x", -1, 0, nullptr, nullptr));
    EXPECT_EQ(UI_ERR_BAD_PANEL, UiTest_PressCloseBox(panel + 100));
    EXPECT_EQ(UI_ERR_BAD_CONTROL, UiTest_EnterValue(panel, num + 1, 1.0));
    EXPECT_EQ(UI_ERR_BAD_BITMAP, GetUserBitmapFromText("not an image", &i));
    EXPECT_EQ(UI_ERR_BAD_VALUE, NewPanel(0, "", 0, 0, -1, 10));
    EXPECT_EQ(UI_ERR_BAD_VALUE, NewCtrl(panel, 999, "", 0, 0));
    EXPECT_EQ(UI_ERR_BAD_PANEL, DiscardPanel(panel + 100));
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(0.0, d);
}

TEST_F(PanelTest, TheFailingCallDoesNothingAndTheNextOneWorks)
{
    const int str = Make(CTRL_STRING);
    SetCtrlVal(panel, str, "kept");
    UiTest_FailNthCall(2, -33);
    EXPECT_EQ(0, SetCtrlAttribute(panel, str, ATTR_MAX_ENTRY_LENGTH, 10)); // call 1
    EXPECT_EQ(-33, SetCtrlVal(panel, str, "lost"));                        // call 2
    char buf[16];
    EXPECT_EQ(0, GetCtrlVal(panel, str, buf, sizeof buf));                 // call 3
    EXPECT_STREQ("kept", buf);
    // Driver actions are the user's, not counted.
    const long before = UiTest_CallCount();
    UiTest_EnterValue(panel, str, "typed");
    EXPECT_EQ(before, UiTest_CallCount());
    // Without a status given the hook uses its own.
    UiTest_FailNthCall(1, 0);
    EXPECT_EQ(UI_ERR_INJECTED, SetCtrlVal(panel, str, "x"));
}

TEST_F(PanelTest, GrabOfAChildPanelWritesAPngOfItsSize)
{
    const int child = NewPanel(panel, "", 50, 50, 40, 60);
    SetPanelAttribute(child, ATTR_TITLEBAR_VISIBLE, 0);
    SetPanelAttribute(child, ATTR_FRAME_THICKNESS, 0);
    DisplayPanel(child);
    cz::test::TempDir dir;
    const std::string path = dir.File("child.png");
    ASSERT_EQ(1, UiTest_GrabPanelPng(child, path.c_str()));
    QImage img(QString::fromStdString(path));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(60, img.width());
    EXPECT_EQ(40, img.height());
    EXPECT_EQ(0, UiTest_GrabPanelPng(child, (dir.path() + "/missing/x.png").c_str()));
    EXPECT_EQ(0, UiTest_GrabPanelPng(child + 100, path.c_str()));
}

TEST_F(PanelTest, ProgrammaticPanelChangesRaiseNoEvents)
{
    InstallPanelCallback(panel, PanelCb, nullptr);
    g_panelEvents = 0;
    SetPanelAttribute(panel, ATTR_TOP, 40);
    SetPanelAttribute(panel, ATTR_WIDTH, 500);
    HidePanel(panel);
    DisplayPanel(panel);
    ProcessSystemEvents();
    EXPECT_EQ(0, g_panelEvents);
    EXPECT_EQ(1, UiTest_PressCloseBox(panel));
    EXPECT_EQ(EVENT_CLOSE, g_lastPanelEvent);
    int visible = 0;
    GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
    EXPECT_EQ(1, visible);
}

} // namespace

namespace {

void ExpectDrawnAsModelled(const char* when)
{
    for (int p : UiTest_Panels()) {
        for (const UiTest_VisibilityFault& f : UiTest_VisibilityFaults(p)) {
            ADD_FAILURE() << when << ": " << f.where << " drawn " << f.drawn << ", expected " << f.expected;
        }
    }
}

} // namespace

TEST_F(PanelTest, ControlsBuiltHiddenStayHiddenInEveryKindOfPanel)
{
    // One labelled control of every kind, every other one hidden, on a
    // panel not shown yet; the same panel is then a child panel's parent
    // and the source of a tab page.
    const int source = NewPanel(0, "Source", 10, 10, 300, 500);
    std::vector<int> ids;
    for (int kind = CTRL_STRING; kind < CTRL_KIND_COUNT; ++kind) {
        const int id = NewCtrl(source, kind, "Label", 20 + 10 * kind, 10);
        ASSERT_GT(id, 0);
        SetCtrlAttribute(source, id, ATTR_CONSTANT_NAME, ("KIND_" + std::to_string(kind)).c_str());
        if (kind % 2) {
            ASSERT_EQ(0, SetCtrlAttribute(source, id, ATTR_VISIBLE, 0));
        }
        ids.push_back(id);
    }
    ExpectDrawnAsModelled("before anything is shown");
    const int tab = Make(CTRL_TAB, "", 10, 10);
    ASSERT_EQ(0, InsertPanelAsTabPage(panel, tab, -1, source));
    int page = 0;
    ASSERT_EQ(0, GetPanelHandleFromTabPage(panel, tab, 0, &page));
    const int child = NewPanel(source, "Child", 200, 200, 50, 80);
    const int inChild = NewCtrl(child, CTRL_PICTURE, "", 5, 5);
    SetCtrlAttribute(child, inChild, ATTR_VISIBLE, 0);
    ExpectDrawnAsModelled("with the page in front");
    DisplayPanel(source);
    DisplayPanel(child);
    ExpectDrawnAsModelled("with the source and its child shown");

    // On the page, a hidden control is hidden and stays so until made visible.
    for (size_t i = 0; i < ids.size(); ++i) {
        const bool hidden = (CTRL_STRING + int(i)) % 2 != 0;
        EXPECT_EQ(!hidden, UiTest_Widget(page, ids[i])->isVisible()) << "kind " << CTRL_STRING + int(i);
    }
    for (int id : ids) SetCtrlAttribute(page, id, ATTR_VISIBLE, 1);
    ExpectDrawnAsModelled("with every control of the page made visible");
    for (int id : ids) EXPECT_TRUE(UiTest_Widget(page, id)->isVisible());
    SetCtrlAttribute(panel, tab, ATTR_VISIBLE, 0);
    ExpectDrawnAsModelled("with the tab control hidden");
    HidePanel(source);
    ExpectDrawnAsModelled("with the source hidden");
}
