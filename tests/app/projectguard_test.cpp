// The project commands never lose work: a Save As that fails, project files
// whose records clash or cannot all be loaded, the library tree's selection
// across rebuilds, and the questions before a project is dropped. Run
// through the program's own start-up, menus, tree clicks and scripted
// popups, with a restart where the scenario crosses one.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryCommands.h"
#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "app/ProjectFile.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/pulse/LevelPanel.h"
#include "ui/main/RfListPage.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

constexpr int kMarkColour = 0x50C0C0;

class ProjectGuardTest : public cz::test::StartupHomeTest {
 protected:
  void SetUp() override {
    StartupHomeTest::SetUp();
    WriteSettings("");
  }

  void WriteSettings(const std::string& lastPrj, bool autosave = false) {
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               "[PRG]\r\nTempDir = \"" + home_ + "/Temp\"\r\nLastPrj = \"" + lastPrj +
                                   "\"\r\nSavePrjOnExit = " + (autosave ? "True" : "False") + "\r\n"));
  }

  // Ends the program as the user would (File > Exit) and starts it again
  // with the last project loaded.
  void Restart() {
    UiTest_ClearPopups();
    if (!g_Settings.SavePrjOnExit) UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_EXIT);
    TearDownApplication();
    SkipProjectLoad = 0;
    ASSERT_EQ(InitApplication(), 1);
  }

  static int Bar() { return GetPanelMenuBar(PANEL_MAIN); }
  static void Choose(int item) { ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), item), 1); }
  static void Press(int control) { ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, control), 1); }
  static int Tree() { return PANEL_MAIN_TREE_PULSES; }
  static std::string Title() {
    char title[512] = "";
    GetPanelAttribute(PANEL_MAIN, ATTR_TITLE, title, sizeof title);
    return title;
  }
  static int Item(const char* tag, int k) {
    int root = -1, item = -1;
    GetTreeItemFromTag(PANEL_MAIN, Tree(), tag, &root);
    GetTreeItemChild(PANEL_MAIN, Tree(), root, k, &item);
    return item;
  }
  static int Count(const char* tag) {
    int root = -1, n = 0;
    GetTreeItemFromTag(PANEL_MAIN, Tree(), tag, &root);
    GetTreeItemNumChildren(PANEL_MAIN, Tree(), root, &n);
    return n;
  }
  static void ClickItem(const char* tag, int k) {
    const int item = Item(tag, k);
    ASSERT_GE(item, 0) << tag << " " << k;
    ASSERT_EQ(UiTest_ClickTreeItem(PANEL_MAIN, Tree(), item, false), 1);
  }
  static std::string Label(int item) {
    char label[256] = "";
    GetLabelFromIndex(PANEL_MAIN, Tree(), item, label, sizeof label);
    return label;
  }
  static bool Marked(int item) {
    int colour = 0;
    GetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_LABEL_BGCOLOR, &colour);
    return colour == kMarkColour;
  }
  // The positions (under their root) of the marked items of a root.
  static std::vector<int> MarkedUnder(const char* tag) {
    std::vector<int> marked;
    for (int k = 0; k < Count(tag); ++k)
      if (Marked(Item(tag, k))) marked.push_back(k);
    return marked;
  }
  static int ActiveItem() {
    int item = -1;
    GetActiveTreeItem(PANEL_MAIN, Tree(), &item);
    return item;
  }
  static std::string Log() {
    std::vector<char> text(1 << 20, '\0');
    GetCtrlVal(TAB_LOG, TAB_LOG_TEX_LOG, text.data(), static_cast<int>(text.size()));
    return text.data();
  }
  static bool Logged(const std::string& line) { return Log().find(line) != std::string::npos; }

  void NewPulse(const char* name) {
    Choose(MBAR_PULSE_PNEW);
    ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, name), 1);
  }
  std::string Projects() const { return home_ + "/Projects"; }
};

// ------------------------------------------------------------- Save As

// A Save As into a folder that does not exist fails; the project keeps the
// file it had: the title, LastPrj and settings.ini still name it, the next
// Save writes the later edits into it, and the next start opens it.
TEST_F(ProjectGuardTest, FailedSaveAsKeepsTheProjectsFile) {
  ASSERT_EQ(InitApplication(), 1);
  NewPulse("first");
  const std::string good = dir_.File("good.prj");
  UiTest_QueueFile(good.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(good));
  ASSERT_EQ(g_Settings.LastPrj.str(), good);

  NewPulse("second");
  UiTest_ClearPopups();
  const std::string nowhere = dir_.File("no/such/folder/other.prj");
  UiTest_QueueFile(nowhere.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(UiTest_Popups()[1].title, "Error");
  EXPECT_EQ(UiTest_Popups()[1].text, "Failed to save project file.");
  EXPECT_FALSE(FileExists(nowhere));
  EXPECT_EQ(g_Settings.LastPrj.str(), good);
  EXPECT_EQ(Title(), "Torvane Q7 Cadenza (good.prj)");
  EXPECT_NE(ReadFileBytes(home_ + "/settings.ini").find("LastPrj = \"" + good + "\""), std::string::npos);

  UiTest_ClearPopups();
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_NE(ReadFileBytes(good).find("name=\"second\""), std::string::npos);

  // The next start opens good.prj with both pulses.
  NewPulse("third");
  g_Settings.SavePrjOnExit = 1;
  Restart();
  ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(g_Settings.LastPrj.str(), good);
  ASSERT_EQ(PulseCount, 3);
  EXPECT_STREQ(PulseTable[2].name.c_str(), "third");
  EXPECT_EQ(Title(), "Torvane Q7 Cadenza (good.prj)");
}

// ------------------------------------------------------------ tree selection

// Copy, Hide Tree Entries and a rename of a multi-segment waveform rebuild
// the tree; the record the user works on stays marked and its item active,
// so that the next Move and Delete act on it.
TEST_F(ProjectGuardTest, TreeKeepsItsSelectionAcrossRebuilds) {
  ASSERT_EQ(InitApplication(), 1);
  NewPulse("alpha");
  NewPulse("beta");
  ClickItem(kPulseLibraryTag, 0);
  ASSERT_EQ(CurrentPulse, 0);

  // Copy of a pulse: alpha stays marked, expanded and active.
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(PulseCount, 3);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 0));
  int collapsed = 1;
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Item(kPulseLibraryTag, 0), ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(collapsed, 0);
  // ... and Move Down moves alpha, the record the editor shows.
  Press(PANEL_MAIN_CMD_SENTRY_DOWN);
  EXPECT_FALSE(Logged("Invalid item selection for moove operation."));
  EXPECT_STREQ(PulseTable[1].name.c_str(), "alpha");
  EXPECT_EQ(CurrentPulse, 1);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});

  // A pulse page clicked, then a copy: the pulse stays active.
  const int alpha = Item(kPulseLibraryTag, 1);
  int jitter = -1;
  ASSERT_GE(GetTreeItemChild(PANEL_MAIN, Tree(), alpha, 2, &jitter), 0);
  ASSERT_EQ(Label(jitter), "Jitter");
  ASSERT_EQ(UiTest_ClickTreeItem(PANEL_MAIN, Tree(), jitter, false), 1);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(PulseCount, 4);
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 1));
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});

  // Hide Tree Entries with another pulse hidden: alpha keeps mark and item;
  // beta (hidden) has no item. Toggled back, both are there and alpha is
  // still the marked, active one.
  ClickItem(kPulseLibraryTag, 0);  // beta
  ASSERT_STREQ(PulseTable[CurrentPulse].name.c_str(), "beta");
  ASSERT_EQ(UiTest_ClickCtrl(P_MISC, P_MISC_CMD_P_HIDE), 1);
  ASSERT_EQ(PulseTable[0].hidden, 1);
  ClickItem(kPulseLibraryTag, 1);  // alpha
  Choose(MBAR_PRJ_HIDE);
  ASSERT_EQ(Count(kPulseLibraryTag), 3);
  EXPECT_EQ(Label(Item(kPulseLibraryTag, 0)), "alpha");
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 0));
  Choose(MBAR_PRJ_HIDE);
  ASSERT_EQ(Count(kPulseLibraryTag), 4);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 1));
  // Delete acts on the active item: alpha is used by no sequence, so it asks.
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  Press(PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Are you sure you want to delete this pulse ?");

  // A sequence, a multi-segment waveform and an RF list: Copy keeps each
  // marked and active; the pulse keeps its mark all along.
  Choose(MBAR_PULSE_SNEW);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_EQ(MarkedUnder(kSequenceLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kSequenceLibraryTag, 0));
  Choose(MBAR_PULSE_RFLISTNEW);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(RfListCount, 2);
  EXPECT_EQ(MarkedUnder(kRfListLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kRfListLibraryTag, 0));
  Choose(MBAR_PULSE_SEGNEW);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(MultiSegmentCount, 2);
  EXPECT_EQ(MarkedUnder(kMultiSegmentLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kMultiSegmentLibraryTag, 0));

  // Renaming the multi-segment waveform keeps it marked and active; Move
  // Down then moves it below its copy.
  ASSERT_EQ(UiTest_EnterValue(TAB_MSEG, TAB_MSEG_STR_NAME, "burst set"), 1);
  EXPECT_EQ(Label(Item(kMultiSegmentLibraryTag, 0)), "burst set");
  EXPECT_EQ(MarkedUnder(kMultiSegmentLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kMultiSegmentLibraryTag, 0));
  Press(PANEL_MAIN_CMD_SENTRY_DOWN);
  EXPECT_STREQ(MultiSegmentTable[1].name.c_str(), "burst set");
  EXPECT_EQ(CurrentMultiSegment, 1);

  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});
  EXPECT_EQ(MarkedUnder(kSequenceLibraryTag), std::vector<int>{0});
  EXPECT_EQ(MarkedUnder(kRfListLibraryTag), std::vector<int>{0});
  EXPECT_FALSE(Logged("Invalid item selection for moove operation."));

  // New Project drops every mark: the next project's records are unmarked.
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("fresh");
  Choose(MBAR_PULSE_SNEW);
  EXPECT_EQ(MarkedUnder(kSequenceLibraryTag), std::vector<int>{0});
  Choose(MBAR_PULSE_RFLISTNEW);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{0});
  EXPECT_EQ(MarkedUnder(kMultiSegmentLibraryTag), std::vector<int>{});
}

}  // namespace
