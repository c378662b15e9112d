// The user's steps through the running program, for scenario tests that
// start the whole program offscreen: menu items, clicks, texts the panels
// show, the library tree and the modulation tree. A fixture derives from
// ProgramSteps beside its own base (StartupHomeTest, say) and calls these as
// its own.
#pragma once

#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/pulse/ModulationPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace cz::test {

struct ProgramSteps {
  static int Bar() { return GetPanelMenuBar(PANEL_MAIN); }
  static void Choose(int item) { ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), item), 1); }
  static void Click(int panel, int control) { ASSERT_EQ(UiTest_ClickCtrl(panel, control), 1); }
  // The control's text (up to 1 MiB, the log page included).
  static std::string Text(int panel, int control) {
    std::vector<char> text(1 << 20, '\0');
    GetCtrlVal(panel, control, text.data(), static_cast<int>(text.size()));
    return text.data();
  }
  static std::string Log() { return Text(TAB_LOG, TAB_LOG_TEX_LOG); }
  static std::string Status() { return Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR); }
  static int Dimmed(int panel, int control) {
    int dimmed = -1;
    GetCtrlAttribute(panel, control, ATTR_DIMMED, &dimmed);
    return dimmed;
  }

  // The library tree: the records under the root tagged tag, the k-th of
  // them (-1 when none), and a click on it.
  static int LibraryCount(const char* tag) {
    int root = -1, n = 0;
    GetTreeItemFromTag(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, tag, &root);
    GetTreeItemNumChildren(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, root, &n);
    return n;
  }
  static int LibraryItem(const char* tag, int k) {
    int root = -1, item = -1;
    GetTreeItemFromTag(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, tag, &root);
    GetTreeItemChild(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, root, k, &item);
    return item;
  }
  static void ClickLibraryItem(const char* tag, int k) {
    const int item = LibraryItem(tag, k);
    ASSERT_GE(item, 0) << tag << " " << k;
    ASSERT_EQ(UiTest_ClickTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, item, false), 1);
  }

  // A click on the modulation tree's item with this label.
  static void ChooseModulation(const char* label) {
    int item = -1;
    for (int k = 0; k < 200 && item < 0; ++k) {
      char text[128] = "";
      if (GetLabelFromIndex(P_MOD, P_MOD_TREE_MOD, k, text, sizeof text) < 0) break;
      if (std::string(text) == label) item = k;
    }
    ASSERT_GE(item, 0) << label;
    ASSERT_EQ(UiTest_ClickTreeItem(P_MOD, P_MOD_TREE_MOD, item, false), 1);
  }

  // settings.ini of a program started in `home`: its temporary folder
  // there, no project to load, none saved on exit, then the [PRG] lines
  // `more`; `resource` selected as the instrument (none when empty).
  static std::string StartSettings(const std::string& home, const std::string& resource = "",
                                   const std::string& more = "") {
    const std::string select = resource.empty() ? std::string()
                                                : "[INSTR]\r\nSelect = \"" + resource + "\"\r\n[DEV]\r\nDevice1 = \"" +
                                                      resource + "\"\r\n";
    return select + "[PRG]\r\nTempDir = \"" + home + "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n" + more;
  }

  // A 100 us pulse (1 us edges, 10 us on, 88 us off: 10,000 samples at
  // 100 MHz) in a new sequence of `repetitions`, written to `wave`.
  static void PulseTrain(int repetitions, const std::string& wave) {
    Choose(MBAR_PULSE_PNEW);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 10.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_RISE, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_FALL, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 88.0), 1);
    Choose(MBAR_PULSE_SNEW);
    UiTest_QueueFile(wave.c_str());
    Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
    Repetitions(repetitions);
  }
  // The current sequence's first entry repeated `repetitions` times.
  static void Repetitions(int repetitions) {
    ASSERT_EQ(UiTest_CommitTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1),
                                     static_cast<double>(repetitions)),
              1);
    ASSERT_EQ(SequenceTable[CurrentSequence].entries[0].repetitions, repetitions);
  }

  // The data lines of a text report: every line that starts with a number.
  static std::vector<std::string> ReportRows(const std::string& path) {
    std::vector<std::string> rows;
    const std::string text = ReadFileBytes(path);
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(at, end - at);
      const std::size_t first = line.find_first_not_of(' ');
      if (first != std::string::npos && std::isdigit(static_cast<unsigned char>(line[first]))) rows.push_back(line);
      at = end + 1;
    }
    return rows;
  }
};

// A home whose settings select a simulated two-path generator on 127.0.0.1
// (raw socket), with a temporary folder of its own and no project to load.
class SimulatedHomeTest : public StartupHomeTest, public ProgramSteps {
 protected:
  void SetUp() override {
    StartupHomeTest::SetUp();
    SimOptions opt;
    opt.model = "Kaldra";
    opt.options = "KLD-M64,KLD-RFA30,KLD-M16";
    opt.vxi11 = false;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", StartSettings(home_, sim_.SocketResource())));
  }

  SimFixture sim_;
};

}  // namespace cz::test
