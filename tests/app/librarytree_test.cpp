// Library tree: rebuild from the tables, clicks that select records and pick
// editor pages, and the hide mode.
#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "engine/ModulationTypes.h"
#include "tests/support/LibraryWindowFixture.h"

namespace {

using cz::test::LibraryWindowTest;
using Labels = std::vector<std::string>;

class LibraryTreeTest : public LibraryWindowTest {};

TEST_F(LibraryTreeTest, RebuildShowsTheTablesUnderTheFiveRootsAndKeepsPluginItems) {
  int count = 0;
  GetNumTreeItems(PANEL_MAIN, Tree(), &count);
  EXPECT_EQ(5, count);
  for (const char* tag : {"_PULSELIB", "_SEQLIB", "_MULTISEG", "_RFLIST", "_PLUGINS"}) EXPECT_GE(Root(tag), 0) << tag;

  // A plug-in item stands for module 0 and is never rebuilt.
  InsertTreeItem(PANEL_MAIN, Tree(), VAL_CHILD, Root("_PLUGINS"), VAL_LAST, "Mod", "Mod", nullptr, 0);
  AddPulse("plain");
  const int chirp = AddPulse("chirp");
  PulseTable[chirp].modulation = kModulationPluginCode;
  AddSequence("seq");
  InitMultiSegmentRecord(&MultiSegmentTable[0]);
  MultiSegmentTable[0].name = "ms";
  MultiSegmentCount = 1;
  InitRfListRecord(&RfListTable[0]);
  RfListTable[0].name = "rf";
  RfListCount = 1;
  RebuildLibraryTree();
  RebuildLibraryTree();  // a second rebuild replaces, never duplicates

  EXPECT_EQ((Labels{"plain", "chirp"}), Children("_PULSELIB"));
  EXPECT_EQ((Labels{"seq"}), Children("_SEQLIB"));
  EXPECT_EQ((Labels{"ms"}), Children("_MULTISEG"));
  EXPECT_EQ((Labels{"rf"}), Children("_RFLIST"));
  EXPECT_EQ((Labels{"Mod"}), Children("_PLUGINS"));

  const int chirpItem = Child("_PULSELIB", 1);
  int value = 0, image = -1, pages = 0;
  GetValueFromIndex(PANEL_MAIN, Tree(), chirpItem, &value);
  EXPECT_EQ(static_cast<int>(PulseTable[chirp].id), value);
  GetTreeItemAttribute(PANEL_MAIN, Tree(), chirpItem, ATTR_IMAGE_INDEX, &image);
  EXPECT_EQ(IMAGE_PLUGIN_PULSE, image);
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Child("_PULSELIB", 0), ATTR_IMAGE_INDEX, &image);
  EXPECT_EQ(IMAGE_PULSE, image);
  GetTreeItemNumChildren(PANEL_MAIN, Tree(), chirpItem, &pages);
  EXPECT_EQ(5, pages);
  char label[64] = "";
  int marker = -1;
  GetTreeItemChild(PANEL_MAIN, Tree(), chirpItem, 4, &marker);
  GetLabelFromIndex(PANEL_MAIN, Tree(), marker, label, sizeof label);
  EXPECT_STREQ("Marker", label);
}

TEST_F(LibraryTreeTest, HideModeLeavesHiddenRecordsOutAndTogglesWithTheCheckMark) {
  AddPulse("a");
  const int b = AddPulse("b");
  AddPulse("c");
  PulseTable[b].hidden = 1;
  const int s = AddSequence("s1");
  SequenceTable[s].hidden = 1;
  RebuildLibraryTree();
  EXPECT_EQ((Labels{"a", "b", "c"}), Children("_PULSELIB"));

  Choose(MBAR_PRJ_HIDE);
  EXPECT_EQ(1, g_Settings.Project.hideEntries);
  int checked = -1;
  GetMenuBarAttribute(MenuBar(), MBAR_PRJ_HIDE, ATTR_CHECKED, &checked);
  EXPECT_EQ(1, checked);
  EXPECT_EQ((Labels{"a", "c"}), Children("_PULSELIB"));
  EXPECT_TRUE(Children("_SEQLIB").empty());
  EXPECT_EQ(3, PulseCount);  // the tables are untouched

  Choose(MBAR_PRJ_HIDE);
  EXPECT_EQ(0, g_Settings.Project.hideEntries);
  EXPECT_EQ((Labels{"a", "b", "c"}), Children("_PULSELIB"));
  EXPECT_EQ((Labels{"s1"}), Children("_SEQLIB"));
}

TEST_F(LibraryTreeTest, ClickOnAPulsePageShowsThePulseEditorWithOnlyThatSubPanel) {
  AddPulse("p0");
  const int p1 = AddPulse("p1");
  RebuildLibraryTree();
  int jitter = -1;
  GetTreeItemChild(PANEL_MAIN, Tree(), Child("_PULSELIB", 1), 2, &jitter);
  Click(jitter);

  EXPECT_EQ(p1, CurrentPulse);
  EXPECT_EQ("10000110", Pages());
  EXPECT_EQ(0, ActivePage());
  EXPECT_EQ(1, PanelVisible(P_JIT));
  for (int other : {P_TIM, P_MOD, P_MISC, P_MARKER}) EXPECT_EQ(0, PanelVisible(other));
  int bg = 0;
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Child("_PULSELIB", 1), ATTR_LABEL_BGCOLOR, &bg);
  EXPECT_EQ(0x50C0C0, bg);

  // The current pulse's item is expanded now: a click on it only collapses
  // it; the next click expands it again and shows the Timing page.
  const int item = Child("_PULSELIB", 1);
  int collapsed = -1;
  Click(item);
  GetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(1, collapsed);
  EXPECT_EQ(1, PanelVisible(P_JIT));
  Click(item);
  GetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(0, collapsed);
  EXPECT_EQ(1, PanelVisible(P_TIM));
  EXPECT_EQ(0, PanelVisible(P_JIT));
}

TEST_F(LibraryTreeTest, ClicksOnOtherKindsShowTheirPageAndStaleItemsChangeNothing) {
  const int s = AddSequence("seq");
  SequenceTable[s].waveFile.Clear();
  InitRfListRecord(&RfListTable[0]);
  RfListTable[0].name = "rf";
  RfListCount = 1;
  RebuildLibraryTree();

  Click(Child("_SEQLIB", 0));
  EXPECT_EQ(s, CurrentSequence);
  EXPECT_EQ("01000110", Pages());
  EXPECT_EQ(1, ActivePage());
  EXPECT_EQ(1, Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE));

  Click(Child("_RFLIST", 0));
  EXPECT_EQ(0, CurrentRfList);
  EXPECT_EQ("00001110", Pages());

  // A record gone from the table while its item is still shown.
  RfListCount = 0;
  CurrentRfList = -1;
  Click(Child("_RFLIST", 0));
  EXPECT_EQ(-1, CurrentRfList);
  EXPECT_EQ("00001110", Pages());

  Click(Root("_PULSELIB"));  // a root selects nothing
  EXPECT_EQ("00001110", Pages());
}

// Keys move through the tree as clicks do: the highlighted item's record is
// shown (a pulse's page item shows its page), the highlight stays where the
// key put it, a key onto the open pulse never folds it, and the keyboard
// stays in the tree.
TEST_F(LibraryTreeTest, KeysSelectTheHighlightedRecordAsAClickDoes) {
  AddPulse("p0");
  const int p1 = AddPulse("p1");
  AddSequence("A");
  const int b = AddSequence("B");
  RebuildLibraryTree();
  const auto press = [this](int key) { ASSERT_EQ(1, UiTest_PressKey(PANEL_MAIN, Tree(), key)); };
  const auto active = [this] {
    int item = -1;
    GetActiveTreeItem(PANEL_MAIN, Tree(), &item);
    return item;
  };
  const auto page = [this](int pulse, int n) {
    int item = -1;
    GetTreeItemChild(PANEL_MAIN, Tree(), Child("_PULSELIB", pulse), n, &item);
    return item;
  };

  Click(Child("_SEQLIB", 0));
  press(UITEST_KEY_DOWN);
  EXPECT_EQ(b, CurrentSequence);
  EXPECT_EQ(Child("_SEQLIB", 1), active());
  EXPECT_EQ("01000110", Pages());
  int bg = 0;
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Child("_SEQLIB", 1), ATTR_LABEL_BGCOLOR, &bg);
  EXPECT_EQ(0x50C0C0, bg);
  int focusPanel = 0;
  EXPECT_EQ(Tree(), UiTest_FocusedCtrl(&focusPanel));

  // The open pulse shows its pages: Down walks through them.
  Click(Child("_PULSELIB", 0));
  press(UITEST_KEY_DOWN);
  EXPECT_EQ(page(0, 0), active());
  EXPECT_EQ(1, PanelVisible(P_TIM));
  press(UITEST_KEY_DOWN);
  EXPECT_EQ(page(0, 1), active());
  EXPECT_EQ(0, CurrentPulse);
  EXPECT_EQ(1, PanelVisible(P_MISC));
  EXPECT_EQ(0, PanelVisible(P_TIM));
  press(UITEST_KEY_UP);
  press(UITEST_KEY_UP);
  EXPECT_EQ(Child("_PULSELIB", 0), active());
  int collapsed = -1;
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Child("_PULSELIB", 0), ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(0, collapsed);
  EXPECT_EQ(1, PanelVisible(P_TIM));
  EXPECT_EQ(Tree(), UiTest_FocusedCtrl(&focusPanel));

  // Past the last page: the next pulse opens and the first one folds.
  for (int k = 0; k < 6; ++k) press(UITEST_KEY_DOWN);
  EXPECT_EQ(p1, CurrentPulse);
  EXPECT_EQ(Child("_PULSELIB", 1), active());
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Child("_PULSELIB", 0), ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(1, collapsed);
  EXPECT_EQ("10000110", Pages());

  // A root highlighted shows nothing new and leaves nothing to act on.
  Click(Child("_SEQLIB", 0));
  press(UITEST_KEY_UP);
  EXPECT_EQ(Root("_SEQLIB"), active());
  EXPECT_EQ(0, CurrentSequence);
  EXPECT_EQ("01000110", Pages());
}

}  // namespace
