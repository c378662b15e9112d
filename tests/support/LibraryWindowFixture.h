// A small main window for the library tree and command tests: the library
// tree with its five roots and its buttons, the tab control with its eight
// pages, the menu items the library and project commands answer to, the
// pulse editor's five sub-panels and the controls those commands touch.
// The record tables, settings and log are reset for every test.
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
    ModuleCount = 0;
  }

  void BuildWindow() {
    PANEL_MAIN = NewPanel(0, "Torvane Q7 Cadenza", 0, 0, 900, 1200);
    ASSERT_GT(PANEL_MAIN, 0);
    PANEL_MAIN_TREE_PULSES = NewCtrl(PANEL_MAIN, CTRL_TREE, "", 10, 10);
    SetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, ATTR_HEIGHT, 850);
    SetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, ATTR_WIDTH, 250);
    InstallCtrlCallback(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, LibraryTreeCb, nullptr);
    const char* roots[][2] = {{"_PULSELIB", "Pulse Library"}, {"_SEQLIB", "Sequence Library"},
                              {"_MULTISEG", "Multi Segment Waveform"}, {"_RFLIST", "RF List"},
                              {"_PLUGINS", "Plug-in"}};
    for (auto& root : roots) {
      const int item = InsertTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, VAL_SIBLING, -1, VAL_LAST, root[1],
                                      root[0], nullptr, 0);
      SetTreeItemAttribute(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, item, ATTR_IMAGE_INDEX, IMAGE_ROOT);
      SetTreeItemAttribute(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, item, ATTR_COLLAPSED, 0);
    }
    struct Button { int* id; CtrlCallbackPtr cb; };
    const Button buttons[] = {{&PANEL_MAIN_CMD_ADD_P, AddPulseButtonCb}, {&PANEL_MAIN_CMD_ADD, AddSequenceButtonCb},
                              {&PANEL_MAIN_CMD_COPY, CopyLibraryItemCb}, {&PANEL_MAIN_CMD_DEL, DeleteLibraryItemCb},
                              {&PANEL_MAIN_CMD_SENTRY_UP, MoveLibraryItemUpCb},
                              {&PANEL_MAIN_CMD_SENTRY_DOWN, MoveLibraryItemDownCb}};
    int left = 10;
    for (const Button& b : buttons) {
      *b.id = NewCtrl(PANEL_MAIN, CTRL_COMMAND_BUTTON, "", 870, left);
      InstallCtrlCallback(PANEL_MAIN, *b.id, b.cb, nullptr);
      left += 40;
    }

    PANEL_MAIN_TAB = NewCtrl(PANEL_MAIN, CTRL_TAB, "", 10, 280);
    const char* pages[] = {"Pulse Editor", "Sequence Editor", "Sequence View", "Multi Segment",
                           "RF List", "Transfer", " Log ", "Plugin Info"};
    int* handles[] = {&TAB_PEDIT, &TAB_SEDIT, &TAB_VIEW, &TAB_MSEG, &TAB_RFLIST, &TAB_INSTR, &TAB_LOG, &TAB_INFO};
    for (int page = 0; page < kMainTabPages; ++page) {
      PANEL_MAIN_TAB_PAGE_INDEX[page] = InsertTabPage(PANEL_MAIN, PANEL_MAIN_TAB, -1, pages[page]);
      GetPanelHandleFromTabPage(PANEL_MAIN, PANEL_MAIN_TAB, page, handles[page]);
    }
    TAB_SEDIT_CMD_GENERATE = NewCtrl(TAB_SEDIT, CTRL_COMMAND_BUTTON, "Generate", 10, 10);
    TAB_RFLIST_CMD_UPLOAD = NewCtrl(TAB_RFLIST, CTRL_COMMAND_BUTTON, "Upload", 10, 10);
    TAB_LOG_TEX_LOG = NewCtrl(TAB_LOG, CTRL_TEXT_BOX, "", 30, 0);
    TAB_LOG_CMD_CLR = NewCtrl(TAB_LOG, CTRL_COMMAND_BUTTON, "", 3, 3);
    InstallCtrlCallback(TAB_LOG, TAB_LOG_CMD_CLR, ClearLogCb, nullptr);
    TAB_INFO_STR_NAME = NewCtrl(TAB_INFO, CTRL_STRING, "Name", 55, 112);
    TAB_INFO_STR_VERSION = NewCtrl(TAB_INFO, CTRL_STRING, "Version", 125, 112);
    TAB_INFO_STR_AUTHOR = NewCtrl(TAB_INFO, CTRL_STRING, "Author", 187, 112);
    TAB_INFO_TXT_COMMENT = NewCtrl(TAB_INFO, CTRL_TEXT_BOX, "Comment", 287, 112);

    struct SubPanel { int* handle; int* first; int kind; };
    const SubPanel subPanels[] = {{&P_TIM, &P_TIM_RING_PREDELAY, CTRL_RING}, {&P_JIT, &P_JIT_RADIO_JITTER1, CTRL_RADIO_BUTTON},
                                  {&P_MOD, &P_MOD_TREE_MOD, CTRL_TREE}, {&P_MISC, &P_MISC_NUM_LEVEL, CTRL_NUMERIC},
                                  {&P_MARKER, &P_MARKER_R_M1_DELAY, CTRL_RADIO_BUTTON}};
    for (const SubPanel& s : subPanels) {
      *s.handle = NewPanel(TAB_PEDIT, "", 120, 30, 400, 700);
      *s.first = NewCtrl(*s.handle, s.kind, "", 10, 10);
    }
    ABOUT = NewPanel(0, "About", 100, 100, 300, 400);

    const int bar = NewMenuBar(PANEL_MAIN);
    menuBar_ = bar;
    struct Item { int* menu; int* id; const char* label; MenuCallbackPtr cb; };
    MBAR_FILE = NewMenu(bar, "__File", -1);
    MBAR_PULSE = NewMenu(bar, "__Create", -1);
    MBAR_PRJ = NewMenu(bar, "__Project", -1);
    MBAR_HELP = NewMenu(bar, "__Help", -1);
    const Item items[] = {{&MBAR_FILE, &MBAR_FILE_NEWPRJ, "New Project", NewProjectCb},
                          {&MBAR_FILE, &MBAR_FILE_LOADPRJ, "Load Project...", LoadProjectCb},
                          {&MBAR_PULSE, &MBAR_PULSE_PNEW, "New __Pulse", NewPulseCb},
                          {&MBAR_PULSE, &MBAR_PULSE_PIMPORT, "__Import Pulses From Project...", ImportPulsesCb},
                          {&MBAR_PULSE, &MBAR_PULSE_SNEW, "New __Sequence", NewSequenceCb},
                          {&MBAR_PULSE, &MBAR_PULSE_SEGNEW, "New __Multi Segment", NewMultiSegmentCb},
                          {&MBAR_PULSE, &MBAR_PULSE_RFLISTNEW, "New __RF List", NewRfListCb},
                          {&MBAR_PRJ, &MBAR_PRJ_HIDE, "__Hide Tree Entries", HideTreeEntriesCb},
                          {&MBAR_HELP, &MBAR_HELP_ABOUT, "__About", ShowAboutCb}};
    for (const Item& item : items) *item.id = NewMenuItem(bar, *item.menu, item.label, -1, 0, item.cb, nullptr);
    SetMenuBarAttribute(bar, MBAR_PRJ_HIDE, ATTR_CHECKED, 0);
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
    GetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, page, ATTR_VISIBLE, &visible);
    return visible;
  }
  int ActivePage() const {
    int page = -1;
    GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &page);
    return page;
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
