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
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"

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

}  // namespace
