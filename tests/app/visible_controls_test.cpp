// Every control of every panel is drawn exactly when the run-time says it
// is visible, takes input exactly when neither it nor its panel is dimmed
// (a dimmed field drawn in the platform's disabled colours), and lies in
// front of every filled frame or band that overlaps it: after
// start-up, after each page of the main window is shown and after each
// dialog is opened. Controls built hidden (the Sequence Editor's lock
// pictures, among others) stay hidden until made visible.
#include <QImage>
#include <QWidget>

#include <string>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "engine/EngineHost.h"
#include "instrument/FileBrowser.h"
#include "tests/support/StartupHome.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/pulse/TimingPanel.h"

namespace {

class VisibleControlsTest : public cz::test::StartupHomeTest {
 protected:
  // Walks every control of every panel; returns how many panels it saw.
  int ExpectDrawnAsModelled(const std::string& when) {
    int panels = 0;
    for (int panel : UiTest_Panels()) {
      ++panels;
      for (const UiTest_VisibilityFault& f : UiTest_VisibilityFaults(panel))
        ADD_FAILURE() << when << ": " << f.where << " is " << (f.drawn ? "drawn" : "not drawn")
                      << " while its visible attribute and panel say " << (f.expected ? "drawn" : "hidden");
      for (const UiTest_DimmingFault& f : UiTest_DimmingFaults(panel))
        ADD_FAILURE() << when << ": " << f.where << " " << f.fault;
      for (const UiTest_CoveredCtrl& f : UiTest_CoveredControls(panel))
        ADD_FAILURE() << when << ": " << f.where << ", which hides it";
    }
    return panels;
  }
  static void Choose(int item) { ASSERT_EQ(UiTest_ChooseMenuItem(GetPanelMenuBar(PANEL_MAIN), item), 1); }
  static void Click(int panel, int control) { ASSERT_EQ(UiTest_ClickCtrl(panel, control), 1); }

 public:
  void ExpectDrawnAsModelledNow(const std::string& when) { ExpectDrawnAsModelled(when); }

 protected:
  static int Attr(int panel, int control, int attr) {
    int v = -1;
    GetCtrlAttribute(panel, control, attr, &v);
    return v;
  }
};

TEST_F(VisibleControlsTest, HiddenControlsStayHiddenOnEveryPageAndDialog) {
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_GE(ExpectDrawnAsModelled("after start-up"), 27);

  // The records that bring up the editor pages, as a user makes them.
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  Choose(MBAR_PULSE_SEGNEW);
  Choose(MBAR_PULSE_RFLISTNEW);
  UiTest_ClearPopups();
  ExpectDrawnAsModelled("after making one record of each kind");

  // Every page of the main window in front, one after the other.
  for (int page = 0; page < kMainTabPages; ++page) {
    const int index = MainTabIndex(page);
    if (index < 0) continue;
    SetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, index, ATTR_VISIBLE, 1);
    ASSERT_EQ(UiTest_ChooseTabPage(PANEL_MAIN, PANEL_MAIN_TAB, index), 1) << "page " << page;
    ExpectDrawnAsModelled("with page " + std::to_string(page) + " in front");
    if (TAB_SEDIT > 0 && page == PAGE_SEQUENCE_EDITOR) {
      // The lock pictures are built hidden and only hold the images.
      EXPECT_EQ(Attr(TAB_SEDIT, TAB_SEDIT_PIC_LOCK, ATTR_VISIBLE), 0);
      EXPECT_EQ(Attr(TAB_SEDIT, TAB_SEDIT_PIC_UNLOCK, ATTR_VISIBLE), 0);
      EXPECT_FALSE(UiTest_Widget(TAB_SEDIT, TAB_SEDIT_PIC_LOCK)->isVisible());
      EXPECT_FALSE(UiTest_Widget(TAB_SEDIT, TAB_SEDIT_PIC_UNLOCK)->isVisible());
    }
  }

  // The dialogs the menus open, then every other window the program holds
  // (those built on demand included), each shown on its own.
  for (int item : {MBAR_OPT_PREF, MBAR_INSTR_INSTRSETUP, MBAR_HELP_ABOUT, MBAR_PRJ_DSRC}) {
    if (item <= 0) continue;
    Choose(item);
    ExpectDrawnAsModelled("after menu item " + std::to_string(item));
  }
  // The Data Source Editor with a new source that "+" left unselected: its
  // fields are dimmed, as the walk checks, and refuse the focus.
  UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_ADD);
  ASSERT_EQ(Attr(DATAEDIT, DATAEDIT_STR_NAME, ATTR_DIMMED), 1);
  EXPECT_EQ(UiTest_FocusCtrl(DATAEDIT, DATAEDIT_STR_NAME), 0);
  EXPECT_FALSE(UiTest_Widget(DATAEDIT, DATAEDIT_STR_NAME)->isEnabled());
  ExpectDrawnAsModelled("after a new data source");
  EXPECT_GT(BuildProgressPanel(0), 0);
  EXPECT_GT(BuildFileBrowserPanel(0), 0);
  for (int panel : UiTest_Panels()) {
    QWidget* top = UiTest_Widget(panel, 0);
    if (!top || !top->isWindow() || panel == PANEL_MAIN) continue;
    int shown = 0;
    GetPanelAttribute(panel, ATTR_VISIBLE, &shown);
    DisplayPanel(panel);
    char name[64] = "";
    GetPanelAttribute(panel, ATTR_CONSTANT_NAME, name, sizeof name);
    ExpectDrawnAsModelled(std::string("with window ") + name + " shown");
    if (!shown) HidePanel(panel);
  }
}

// While Generate builds, the Sequence Editor is dimmed but for Stop, and
// every dimmed control looks dimmed: the entry table's Mode and marker
// buttons ("---", "ALL", "1ST", "OFF") and its other cells, the lock
// button and the other picture buttons, the fields and their labels. The
// walk runs at the build's first Stop poll, over every panel.
VisibleControlsTest* g_walker = nullptr;
int g_pollsWalked = 0;
int WalkAtFirstPoll() {
  if (g_pollsWalked++ == 0) g_walker->ExpectDrawnAsModelledNow("during a build");
  return 0;
}

TEST_F(VisibleControlsTest, EveryControlLooksDimmedWhileGenerateBuilds) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 1000.0), 1);  // long enough to be polled
  Choose(MBAR_PULSE_SNEW);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_NEW);
  Click(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_NEW);
  const SequenceRecord& seq = SequenceTable[0];
  ASSERT_EQ(seq.EntriesInUse(), 3);
  // Markers of every field: OFF, 1ST, ALL; an overlay on the last entry.
  for (int clicks = 0; clicks < 3; ++clicks)
    ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_MARKER1 + 2, 2), false), 1);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_MARKER1 + 3, 3), false), 1);
  ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_MODE, 3), false), 1);
  UiTest_QueueFile(dir_.File("dimmed.wv").c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  ASSERT_EQ(UiTest_ChooseTabPage(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(PAGE_SEQUENCE_EDITOR)), 1);
  ExpectDrawnAsModelled("before the build");

  const EngineHost windowHost = GetEngineHost();
  EngineHost walking = windowHost;
  walking.stopPressed = WalkAtFirstPoll;
  SetEngineHost(&walking);
  g_walker = this;
  g_pollsWalked = 0;
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  SetEngineHost(&windowHost);
  g_walker = nullptr;
  EXPECT_GT(g_pollsWalked, 0);
  EXPECT_TRUE(UiTest_Popups().empty());
  ExpectDrawnAsModelled("after the build");
}

// The Multi Segment page as the user sees it: the Name and Comment typed
// into its header are drawn (dark text on the field's colour inside the
// header frame), in a grab of the page kept in the build folder.
TEST_F(VisibleControlsTest, TheMultiSegmentHeaderShowsItsNameAndComment) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_SEGNEW);
  UiTest_ClearPopups();
  ASSERT_EQ(UiTest_EnterValue(TAB_MSEG, TAB_MSEG_STR_NAME, "Search and Track"), 1);
  ASSERT_EQ(UiTest_EnterValue(TAB_MSEG, TAB_MSEG_STR_COMMENT, "Two dwells, one track"), 1);
  ASSERT_EQ(UiTest_ChooseTabPage(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(PAGE_MULTI_SEGMENT)), 1);
  const std::string png = cz::test::BuildDir() + "/multi_segment_page.png";
  ASSERT_EQ(UiTest_GrabPanelPng(TAB_MSEG, png.c_str()), 1);
  const QImage grab(QString::fromStdString(png));
  ASSERT_FALSE(grab.isNull());
  for (int field : {TAB_MSEG_STR_NAME, TAB_MSEG_STR_COMMENT}) {
    const QRect box = UiTest_Widget(TAB_MSEG, field)->geometry().adjusted(2, 2, -2, -2);
    int ink = 0, face = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
      for (int x = box.left(); x <= box.right(); ++x) {
        const QRgb p = grab.pixel(x, y);
        ink += qGray(p) < 0x70;
        face += (p & 0xFFFFFF) == 0xF7F7F7;
      }
    EXPECT_GT(ink, 20) << "no text drawn in field " << field;
    EXPECT_GT(face, box.width() * box.height() / 2) << "field " << field << " not drawn on its own colour";
  }
}

}  // namespace
