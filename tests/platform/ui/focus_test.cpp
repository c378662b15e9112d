// Focus events and the table's active-cell event: raised only for what the
// user does, with the other control in data1, never re-entering a callback;
// a callback that dims the next control on focus loss stops its click.
#include <QLineEdit>

#include "tests/platform/ui/UiEvents.h"

namespace {

using cz::test::CountOf;
using cz::test::LastOf;
using cz::test::Recorded;

class FocusTest : public cz::test::UiPanelTest {};

TEST_F(FocusTest, UserFocusMovesRaiseLostThenGotWithTheOtherControl)
{
    const int a = Make(CTRL_STRING, "A", 10, 10);
    const int b = Make(CTRL_NUMERIC, "B", 40, 10);
    const int msg = Make(CTRL_TEXT_MSG, "", 70, 10);

    ASSERT_EQ(1, UiTest_FocusCtrl(panel, a));
    ASSERT_EQ(1u, Recorded().size());
    EXPECT_EQ(EVENT_GOT_FOCUS, Recorded()[0].event);
    EXPECT_EQ(0, Recorded()[0].data1); // nothing had the focus

    Recorded().clear();
    ASSERT_EQ(1, UiTest_FocusCtrl(panel, b));
    ASSERT_EQ(2u, Recorded().size());
    EXPECT_EQ(a, Recorded()[0].control);
    EXPECT_EQ(EVENT_LOST_FOCUS, Recorded()[0].event);
    EXPECT_EQ(b, Recorded()[0].data1);
    EXPECT_EQ(b, Recorded()[1].control);
    EXPECT_EQ(EVENT_GOT_FOCUS, Recorded()[1].event);
    EXPECT_EQ(a, Recorded()[1].data1);
    EXPECT_EQ(b, GetActiveCtrl(panel));

    // Focusing the control that has it, a static text or a dimmed control: nothing.
    Recorded().clear();
    EXPECT_EQ(1, UiTest_FocusCtrl(panel, b));
    EXPECT_EQ(0, UiTest_FocusCtrl(panel, msg));
    SetCtrlAttribute(panel, a, ATTR_DIMMED, 1);
    EXPECT_EQ(0, UiTest_FocusCtrl(panel, a));
    EXPECT_TRUE(Recorded().empty());
}

TEST_F(FocusTest, ProgrammaticFocusAndOtherPanelsRaiseNothingOrZero)
{
    const int a = Make(CTRL_STRING, "A", 10, 10);
    const int b = Make(CTRL_STRING, "B", 40, 10);
    ASSERT_EQ(0, SetActiveCtrl(panel, a));
    ASSERT_EQ(0, SetActiveCtrl(panel, b));
    EXPECT_TRUE(Recorded().empty());
    // The run-time still knows where the focus is: the user's next move
    // takes it from b.
    const int other = NewPanel(0, "Other", 50, 50, 200, 200);
    const int c = NewCtrl(other, CTRL_STRING, "C", 10, 10);
    InstallCtrlCallback(other, c, cz::test::RecordCb, nullptr);
    DisplayPanel(other);
    ASSERT_EQ(1, UiTest_FocusCtrl(other, c));
    ASSERT_EQ(2u, Recorded().size());
    EXPECT_EQ(b, Recorded()[0].control);
    EXPECT_EQ(EVENT_LOST_FOCUS, Recorded()[0].event);
    EXPECT_EQ(0, Recorded()[0].data1); // another panel's control
    EXPECT_EQ(0, Recorded()[1].data1);
}

// A list that dims its buttons whenever it loses the focus makes them
// unclickable: the press moves the focus first. Keeping them for a move to
// the button lets the click through.
int g_list = 0, g_button = 0, g_commits = 0;
bool g_keepForButton = false;
int ListCb(int panel, int, int event, void*, int data1, int)
{
    if (event == EVENT_LOST_FOCUS && !(g_keepForButton && data1 == g_button))
        SetCtrlAttribute(panel, g_button, ATTR_DIMMED, 1);
    return 0;
}
int ButtonCb(int, int, int event, void*, int, int)
{
    g_commits += event == EVENT_COMMIT;
    return 0;
}

TEST_F(FocusTest, AButtonDimmedByTheFocusLossTakesNoClick)
{
    g_list = NewCtrl(panel, CTRL_TREE, "", 10, 10);
    g_button = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Delete", 200, 10);
    InstallCtrlCallback(panel, g_list, ListCb, nullptr);
    InstallCtrlCallback(panel, g_button, ButtonCb, nullptr);
    InsertTreeItem(panel, g_list, VAL_SIBLING, -1, VAL_LAST, "item", nullptr, nullptr, 0);
    for (bool keep : {false, true}) {
        g_keepForButton = keep;
        g_commits = 0;
        SetCtrlAttribute(panel, g_button, ATTR_DIMMED, 0);
        ASSERT_EQ(1, UiTest_ClickTreeItem(panel, g_list, 0, false));
        EXPECT_EQ(keep ? 1 : 0, UiTest_ClickCtrl(panel, g_button)) << keep;
        EXPECT_EQ(keep ? 1 : 0, g_commits) << keep;
    }
}

int g_inner = 0;
int NestingCb(int panel, int control, int event, void*, int, int)
{
    if (event != EVENT_COMMIT) return 0;
    // A user focus move while this callback runs is not dispatched.
    UiTest_FocusCtrl(panel, g_inner);
    Recorded().push_back({panel, control, event, UiTest_CallbackDepth(), 0});
    return 0;
}

TEST_F(FocusTest, FocusMovesDuringACallbackAreNotDispatched)
{
    const int button = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Go", 10, 10);
    g_inner = Make(CTRL_STRING, "Inner", 40, 10);
    InstallCtrlCallback(panel, button, NestingCb, nullptr);
    ASSERT_EQ(1, UiTest_ClickCtrl(panel, button));
    EXPECT_EQ(0, CountOf(EVENT_GOT_FOCUS));
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    EXPECT_EQ(g_inner, GetActiveCtrl(panel)); // the focus did move
}

TEST_F(FocusTest, ActiveCellChangesByUserOnlyAndOnlyWhenItMoves)
{
    const int table = Make(CTRL_TABLE);
    SetCtrlAttribute(panel, table, ATTR_HEIGHT, 200);
    SetCtrlAttribute(panel, table, ATTR_WIDTH, 300);
    InsertTableColumns(panel, table, -1, 2, VAL_CELL_STRING);
    InsertTableRows(panel, table, -1, 3, VAL_USE_MASTER_CELL_TYPE);

    ASSERT_EQ(0, SetActiveTableCell(panel, table, Cell(1, 1)));
    EXPECT_EQ(0, CountOf(EVENT_ACTIVE_CELL_CHANGE));

    ASSERT_EQ(1, UiTest_ClickTableCell(panel, table, Cell(2, 3), false));
    ASSERT_EQ(1, CountOf(EVENT_ACTIVE_CELL_CHANGE));
    EXPECT_EQ(3, LastOf(EVENT_ACTIVE_CELL_CHANGE).data1); // row
    EXPECT_EQ(2, LastOf(EVENT_ACTIVE_CELL_CHANGE).data2); // column
    // The active-cell event comes before the click's.
    int order = 0;
    for (size_t i = 0; i < Recorded().size(); ++i)
        if (Recorded()[i].event == EVENT_ACTIVE_CELL_CHANGE) order = int(i);
    for (size_t i = 0; i < Recorded().size(); ++i) {
        if (Recorded()[i].event == EVENT_LEFT_CLICK) {
            EXPECT_LT(order, int(i));
        }
    }

    // Clicking the same cell again, and typing into it, keep it active.
    ASSERT_EQ(1, UiTest_ClickTableCell(panel, table, Cell(2, 3), false));
    ASSERT_EQ(1, UiTest_CommitTableCell(panel, table, Cell(2, 3), "x"));
    EXPECT_EQ(1, CountOf(EVENT_ACTIVE_CELL_CHANGE));
    // Editing another cell makes it active first.
    ASSERT_EQ(1, UiTest_CommitTableCell(panel, table, Cell(1, 2), "y"));
    EXPECT_EQ(2, CountOf(EVENT_ACTIVE_CELL_CHANGE));
    Point active{0, 0};
    GetActiveTableCell(panel, table, &active);
    EXPECT_EQ(1, active.x);
    EXPECT_EQ(2, active.y);

    // An indicator table takes no click and raises nothing.
    SetCtrlAttribute(panel, table, ATTR_CTRL_MODE, VAL_INDICATOR);
    EXPECT_EQ(0, UiTest_ClickTableCell(panel, table, Cell(1, 1), false));
    EXPECT_EQ(2, CountOf(EVENT_ACTIVE_CELL_CHANGE));
}

} // namespace

// The dialog keys that no control takes press the buttons the panel names:
// Escape its cancel button, Return its default button (a focused button
// itself; never from a table or a text box, which take the key), Delete the
// delete button of the focused tree or table, unless dimmed.
TEST_F(FocusTest, EscapeReturnAndDeletePressTheButtonsThePanelNames)
{
    const int name = Make(CTRL_STRING, "Name", 10, 10);
    const int text = Make(CTRL_TEXT_BOX, "Text", 40, 10);
    const int tree = Make(CTRL_TREE, "", 130, 10);
    const int table = Make(CTRL_TABLE, "", 290, 10);
    const int ok = Make(CTRL_COMMAND_BUTTON, "OK", 10, 300);
    const int cancel = Make(CTRL_COMMAND_BUTTON, "Cancel", 40, 300);
    const int del = Make(CTRL_COMMAND_BUTTON, "Delete", 70, 300);
    InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "item", nullptr, nullptr, 0);
    InsertTableColumns(panel, table, -1, 1, VAL_CELL_STRING);
    InsertTableRows(panel, table, -1, 2, VAL_USE_MASTER_CELL_TYPE);
    ASSERT_EQ(0, SetPanelAttribute(panel, ATTR_CANCEL_CTRL, cancel));
    ASSERT_EQ(0, SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, ok));
    ASSERT_EQ(0, SetCtrlAttribute(panel, tree, ATTR_DELETE_KEY_CTRL, del));
    ASSERT_EQ(0, SetCtrlAttribute(panel, table, ATTR_DELETE_KEY_CTRL, del));
    const auto commitsOf = [](int control) {
        int n = 0;
        for (const cz::test::RecordedEvent& e : Recorded()) n += e.event == EVENT_COMMIT && e.control == control;
        return n;
    };
    const auto press = [&](int control, int key) {
        Recorded().clear();
        EXPECT_EQ(1, UiTest_PressKey(panel, control, key));
    };

    // Return in a field commits the typed text first, then presses OK.
    UiTest_FocusCtrl(panel, name);
    static_cast<QLineEdit*>(UiTest_Widget(panel, name))->setText("typed");
    press(name, UITEST_KEY_RETURN);
    ASSERT_EQ(2, CountOf(EVENT_COMMIT));
    EXPECT_EQ(name, Recorded()[Recorded().size() - 2].control);
    EXPECT_EQ(1, commitsOf(ok));
    press(cancel, UITEST_KEY_RETURN); // a focused button presses itself
    EXPECT_EQ(1, commitsOf(cancel));
    EXPECT_EQ(0, commitsOf(ok));
    for (int taker : {text, table}) {
        press(taker, UITEST_KEY_RETURN);
        EXPECT_EQ(0, CountOf(EVENT_COMMIT)) << taker;
    }
    press(text, UITEST_KEY_ESCAPE);
    EXPECT_EQ(1, commitsOf(cancel));
    press(0, UITEST_KEY_ESCAPE); // no control focused
    EXPECT_EQ(1, commitsOf(cancel));

    for (int list : {tree, table}) {
        press(list, UITEST_KEY_DELETE);
        EXPECT_EQ(1, commitsOf(del)) << list;
    }
    press(name, UITEST_KEY_DELETE); // a field's own key
    EXPECT_EQ(0, commitsOf(del));

    // A dimmed button is not pressed by its key.
    SetCtrlAttribute(panel, del, ATTR_DIMMED, 1);
    SetCtrlAttribute(panel, cancel, ATTR_DIMMED, 1);
    press(tree, UITEST_KEY_DELETE);
    press(name, UITEST_KEY_ESCAPE);
    EXPECT_EQ(0, commitsOf(del) + commitsOf(cancel));
}
