// The pulse editor for its tests: the main window's Pulse Editor page with
// the five real sub-panels and the custom-envelope pages, wired as the
// start-up wires them, the record tables reset and the log collected.
//
// Header-only; the test links cadenza_all.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "editors/JitterPage.h"
#include "editors/ModDataTable.h"
#include "editors/PluginTrees.h"
#include "editors/PulseEditor.h"
#include "tests/support/OffscreenApp.h"
#include "ui/main/MainPanel.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/MarkerPanel.h"
#include "ui/pulse/PulsePanels.h"

namespace cz::test {

// Values and attributes of controls as the tests read them.
inline double CtrlNum(int panel, int control) {
  double v = 0.0;
  GetCtrlVal(panel, control, &v);
  return v;
}
inline int CtrlInt(int panel, int control) {
  int v = 0;
  GetCtrlVal(panel, control, &v);
  return v;
}
inline std::string CtrlText(int panel, int control) {
  char text[1024] = "";
  GetCtrlVal(panel, control, text, sizeof text);
  return text;
}
inline int CtrlAttr(int panel, int control, int attr) {
  int v = -1;
  GetCtrlAttribute(panel, control, attr, &v);
  return v;
}

class PulseEditorTest : public OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    Log().clear();
    Status().clear();
    Log_SetLogSink(&CollectLog);
    Log_SetStatusSink(&CollectStatus);
    ResetProject();
    ModuleCount = 0;
    CurrentPulse = -1;
    PANEL_MAIN = BuildMainPanel(0);
    ASSERT_GT(PANEL_MAIN, 0);
    ASSERT_GE(GetPanelHandleFromTabPage(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(PAGE_PULSE_EDITOR), &TAB_PEDIT), 0);
    struct Sub {
      int* handle;
      int (*builder)(int);
    };
    const Sub subs[] = {{&P_TIM, BuildPulseTimingPanel}, {&P_JIT, BuildJitterPanel},
                        {&P_MOD, BuildPulseModulationPanel}, {&P_MISC, BuildPulseMiscPanel},
                        {&P_MARKER, BuildPulseMarkerPanel}};
    for (const Sub& sub : subs) {
      *sub.handle = sub.builder(TAB_PEDIT);
      ASSERT_GT(*sub.handle, 0);
    }
    ASSERT_EQ(0, EnvelopePages_FetchHandles(P_TIM));
    InitJitterControlTable();
    ResetPulseDataTable();
    FillModulationTypeTree();
    AttachPulseEditorPage();
    DisplayPanel(PANEL_MAIN);
  }
  void TearDown() override {
    ResetProject();
    CurrentPulse = -1;
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    OffscreenAppTest::TearDown();
  }

  static std::vector<std::string>& Log() {
    static std::vector<std::string> lines;
    return lines;
  }
  static std::vector<std::string>& Status() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void CollectLog(const char* text) { Log().emplace_back(text ? text : ""); }
  static void CollectStatus(const char* text) { Status().emplace_back(text ? text : ""); }
  // Log lines that end with text (after their time stamp).
  static int Logged(const std::string& text) {
    int n = 0;
    for (const std::string& line : Log())
      if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0) ++n;
    return n;
  }
  static bool StatusShown(const std::string& text) {
    for (const std::string& line : Status())
      if (line == text) return true;
    return false;
  }

  // Appends a pulse with defaults and this name, makes it current and shows it.
  static PulseRecord& ShowNewPulse(const char* name) {
    const int index = PulseCount++;
    InitPulseRecord(&PulseTable[index]);
    PulseTable[index].name = name;
    SetCurrentPulse(index);
    ShowPulseInEditor();
    return PulseTable[index];
  }

  static double Num(int panel, int control) { return CtrlNum(panel, control); }
  static int Int(int panel, int control) { return CtrlInt(panel, control); }
  static std::string Text(int panel, int control) { return CtrlText(panel, control); }
  static std::string CellText(int panel, int table, int column, int row) {
    char text[256] = "";
    GetTableCellVal(panel, table, Cell(column, row), text, sizeof text);
    return text;
  }
  static int Rows(int panel, int table) {
    int rows = 0;
    GetNumTableRows(panel, table, &rows);
    return rows;
  }
  static int Attr(int panel, int control, int attr) { return CtrlAttr(panel, control, attr); }
  static int TreeItem(const char* tag) {
    int item = -1;
    GetTreeItemFromTag(P_MOD, P_MOD_TREE_MOD, tag, &item);
    return item;
  }
};

}  // namespace cz::test
