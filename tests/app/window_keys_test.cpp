// Keys in the real window after a real start-up, delivered as the window
// system delivers them (QTest on the window: the shortcut override, the
// focus widget, then its parents and the panel), never sent to a widget:
// Tab leaves a comment box without writing a tab, and in the sequence table
// Delete edits the cell, Tab commits and moves on to the next editable cell,
// and Delete on a cell that takes no edit removes the entry only after a
// question naming it.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <string>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/StartupHome.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

class WindowKeysTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  void SetUp() override {
    StartupHomeTest::SetUp();
    ASSERT_EQ(InitApplication(), 1);
    // The offscreen run-time keeps its windows off the window system; this
    // one is shown there, active, so that keys come the way of a keyboard's.
    QWidget* main = UiTest_Widget(PANEL_MAIN, 0)->window();
    main->setAttribute(Qt::WA_DontShowOnScreen, false);
    main->hide();
    main->show();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
  }
  // The key as the main window receives it from the window system.
  static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(UiTest_Widget(PANEL_MAIN, 0)->window()->windowHandle(), key, modifiers);
    QApplication::processEvents();
  }
  static void Type(const char* text) {
    for (const char* c = text; *c; ++c) QTest::keyClick(UiTest_Widget(PANEL_MAIN, 0)->window()->windowHandle(), *c);
    QApplication::processEvents();
  }
  static QWidget* Focused() { return QApplication::focusWidget(); }
};

TEST_F(WindowKeysTest, TabLeavesTheCommentBoxes) {
  const struct {
    int* newItem;  // the menu item that shows the page
    int* panel;
    int* control;
  } boxes[] = {{&MBAR_PULSE_PNEW, &TAB_PEDIT, &TAB_PEDIT_STR_COMMENT},
               {&MBAR_PULSE_SNEW, &TAB_SEDIT, &TAB_SEDIT_STR_COMMENT}};
  for (const auto& box : boxes) {
    Choose(*box.newItem);
    UiTest_ClearPopups();
    QWidget* edit = UiTest_Widget(*box.panel, *box.control);
    ASSERT_TRUE(edit->isVisible());
    ASSERT_EQ(UiTest_FocusCtrl(*box.panel, *box.control), 1);
    ASSERT_EQ(Focused(), edit);
    Type("gain");
    Key(Qt::Key_Tab);
    EXPECT_NE(Focused(), edit) << "Tab moves the focus on";
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focused(), edit) << "Shift+Tab comes back";
    Key(Qt::Key_Tab);
    EXPECT_EQ(Text(*box.panel, *box.control), "gain");
  }
  EXPECT_EQ(PulseTable[0].comment.str(), "gain");
  EXPECT_EQ(SequenceTable[0].comment.str(), "gain");
}

TEST_F(WindowKeysTest, KeysInTheSequenceTable) {
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_NEW);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_NEW);
  const SequenceRecord& s = SequenceTable[0];
  ASSERT_EQ(s.EntriesInUse(), 3);
  const int table = TAB_SEDIT_TABLE_SETTINGS;

  // Delete in the Rep. cell of entry 2 clears the cell for typing; "12",
  // Tab, "3", Return stores 12 in entry 2 and 3 in entry 3.
  ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, table, MakePoint(SEQ_COL_REPS, 2), false), 1);
  Key(Qt::Key_Delete);
  EXPECT_EQ(s.EntriesInUse(), 3);
  EXPECT_TRUE(UiTest_Popups().empty());
  Type("12");
  Key(Qt::Key_Tab);
  Type("3");
  Key(Qt::Key_Return);
  EXPECT_EQ(s.entries[1].repetitions, 12);
  EXPECT_EQ(s.entries[2].repetitions, 3);
  Point active{0, 0};
  GetActiveTableCell(TAB_SEDIT, table, &active);
  EXPECT_EQ(active.y, 3);
  EXPECT_EQ(active.x, SEQ_COL_REPS);
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  GetActiveTableCell(TAB_SEDIT, table, &active);
  EXPECT_EQ(active.y, 2) << "Shift+Tab goes back to the editable cell before";

  // Delete on a cell that takes no edit asks, naming the entry: No keeps it.
  ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, table, MakePoint(SEQ_COL_ITEM, 2), false), 1);
  UiTest_QueueConfirm(false);
  Key(Qt::Key_Delete);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Are you sure you want to delete the entry 2 '" + PulseTable[0].name.str() + "' ?");
  EXPECT_EQ(s.EntriesInUse(), 3);
  EXPECT_EQ(s.entries[1].repetitions, 12);
  UiTest_QueueConfirm(true);
  Key(Qt::Key_Delete);
  EXPECT_EQ(s.EntriesInUse(), 2);
  EXPECT_EQ(s.entries[1].repetitions, 3);
  // The button deletes at once, as it always did.
  Click(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_DEL);
  EXPECT_EQ(s.EntriesInUse(), 1);
  EXPECT_EQ(UiTest_Popups().size(), 2u);
}

}  // namespace
