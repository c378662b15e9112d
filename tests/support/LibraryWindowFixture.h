// The main window for the library tree and command tests: the program's own
// main window and menu bar, completed with the tab pages, buttons and pulse
// editor sub-panels that later builders add. The record tables, settings
// and log are reset for every test.
//
// Header-only; the test links cadenza_all.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryCommands.h"
#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/ProjectCommands.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "tests/support/OffscreenApp.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/main/MainPanel.h"
#include "tests/support/TempDir.h"

namespace cz::test {

// Every log line since the fixture's set-up.
inline std::vector<std::string>& LoggedLines() {
  static std::vector<std::string> lines;
  return lines;
}
inline void CollectLogLine(const char* text) { LoggedLines().push_back(text ? text : ""); }
inline std::vector<std::string>& StatusLines() {
  static std::vector<std::string> lines;
  return lines;
}
inline void CollectStatusLine(const char* text) { StatusLines().push_back(text ? text : ""); }

// Number of logged lines that end with text (the time stamp comes first).
inline int LoggedCount(const std::string& text) {
  int n = 0;
  for (const std::string& line : LoggedLines())
    if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0) ++n;
  return n;
}

class LibraryWindowTest : public OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    setenv("HOME", home_.path().c_str(), 1);
    LoggedLines().clear();
    StatusLines().clear();
    Log_SetLogSink(&CollectLogLine);
    Log_SetStatusSink(&CollectStatusLine);
    ResetTables();
    BuildWindow();
  }
  void TearDown() override {
    ResetTables();
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    OffscreenAppTest::TearDown();
  }

  static void ResetTables() {
    ResetProject();
    DataSourceCount = 0;
    CurrentPulse = CurrentSequence = CurrentMultiSegment = CurrentRfList = -1;
    g_Settings.LastPrj.Clear();
    g_Settings.Project.hideEntries = 0;
    LastProjectLoadFailed = 0;
    LastProjectRecordsLost = 0;
    ModuleCount = 0;
  }

  // The program's main window with its tab pages, plus stand-ins for the
  // pulse editor's five sub-panels that the start-up builds.
  void BuildWindow() {
    PANEL_MAIN = BuildMainPanel(0);
    ASSERT_GT(PANEL_MAIN, 0);
    menuBar_ = GetPanelMenuBar(PANEL_MAIN);
    ASSERT_GT(menuBar_, 0);
    const char* pages[] = {"Pulse Editor", "Sequence Editor", "Sequence View", "Multi Segment",
                           "RF List", "Transfer", " Log ", "Plugin Info"};
    int* handles[] = {&TAB_PEDIT, &TAB_SEDIT, &TAB_VIEW, &TAB_MSEG, &TAB_RFLIST, &TAB_INSTR, &TAB_LOG, &TAB_INFO};
    for (int page = 0; page < kMainTabPages; ++page) {
      if (MainTabIndex(page) < 0)
        PANEL_MAIN_TAB_PAGE_INDEX[page] = InsertTabPage(PANEL_MAIN, PANEL_MAIN_TAB, -1, pages[page]);
      ASSERT_GE(GetPanelHandleFromTabPage(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(page), handles[page]), 0);
    }

    struct SubPanel { int* handle; int* first; int kind; };
    const SubPanel subPanels[] = {{&P_TIM, &P_TIM_RING_PREDELAY, CTRL_RING}, {&P_JIT, &P_JIT_RADIO_JITTER1, CTRL_RADIO_BUTTON},
                                  {&P_MOD, &P_MOD_TREE_MOD, CTRL_TREE}, {&P_MISC, &P_MISC_NUM_LEVEL, CTRL_NUMERIC},
                                  {&P_MARKER, &P_MARKER_R_M1_DELAY, CTRL_RADIO_BUTTON}};
    for (const SubPanel& sub : subPanels) {
      *sub.handle = NewPanel(TAB_PEDIT, "", 120, 30, 400, 700);
      *sub.first = NewCtrl(*sub.handle, sub.kind, "", 10, 10);
    }
    ABOUT = BuildAboutPanel(0);
    ASSERT_GT(ABOUT, 0);
    SetMenuBarAttribute(menuBar_, MBAR_PRJ_HIDE, ATTR_CHECKED, 0);
    DisplayPanel(PANEL_MAIN);
    HideEditorPages();
  }

  // ---- helpers

  int Tree() const { return PANEL_MAIN_TREE_PULSES; }
  int MenuBar() const { return menuBar_; }
  void Choose(int item) { ASSERT_EQ(1, UiTest_ChooseMenuItem(menuBar_, item)); }
  void Press(int button) { ASSERT_EQ(1, UiTest_ClickCtrl(PANEL_MAIN, button)); }

  int Root(const char* tag) const {
    int item = -1;
    GetTreeItemFromTag(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, tag, &item);
    return item;
  }
  // Labels of the children of the root tagged tag, in order.
  std::vector<std::string> Children(const char* tag) const {
    std::vector<std::string> labels;
    int root = Root(tag), n = 0;
    GetTreeItemNumChildren(PANEL_MAIN, Tree(), root, &n);
    for (int k = 0; k < n; ++k) {
      int child = -1;
      char label[256] = "";
      GetTreeItemChild(PANEL_MAIN, Tree(), root, k, &child);
      GetLabelFromIndex(PANEL_MAIN, Tree(), child, label, sizeof label);
      labels.push_back(label);
    }
    return labels;
  }
  // The k-th child of the root tagged tag, -1 when none.
  int Child(const char* tag, int k) const {
    int child = -1;
    GetTreeItemChild(PANEL_MAIN, Tree(), Root(tag), k, &child);
    return child;
  }
  // Makes item the active tree item, as a click would.
  void Activate(int item) { ASSERT_GE(SetActiveTreeItem(PANEL_MAIN, Tree(), item), 0); }
  void Click(int item) { ASSERT_EQ(1, UiTest_ClickTreeItem(PANEL_MAIN, Tree(), item, false)); }

  int PageVisible(int page) const {
    int visible = -1;
    GetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(page), ATTR_VISIBLE, &visible);
    return visible;
  }
  // Page number of the active tab page, -1 when none.
  int ActivePage() const {
    int index = -1;
    GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &index);
    for (int page = 0; page < kMainTabPages; ++page)
      if (MainTabIndex(page) == index) return page;
    return -1;
  }
  // Visibility of pages 0..7 as a string of '0'/'1'.
  std::string Pages() const {
    std::string s;
    for (int page = 0; page < kMainTabPages; ++page) s += PageVisible(page) ? '1' : '0';
    return s;
  }
  static int PanelVisible(int panel) {
    int visible = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
    return visible;
  }
  static int Dimmed(int panel, int control) {
    int dimmed = -1;
    GetCtrlAttribute(panel, control, ATTR_DIMMED, &dimmed);
    return dimmed;
  }

  // Appends a pulse or sequence with this name as the commands would.
  static int AddPulse(const char* name) {
    InitPulseRecord(&PulseTable[PulseCount]);
    PulseTable[PulseCount].name = name;
    return PulseCount++;
  }
  static int AddSequence(const char* name) {
    InitSequenceRecord(&SequenceTable[SequenceCount]);
    SequenceTable[SequenceCount].name = name;
    return SequenceCount++;
  }

  TempDir home_;
  int menuBar_ = 0;
};

}  // namespace cz::test
