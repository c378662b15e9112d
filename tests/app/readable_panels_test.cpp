// Every panel and dialog of the program, built as start-up builds them (and
// the two dialogs built on demand), offscreen: no text of any control is
// wider or taller than the box it is drawn in at the run-time's font, right
// after start-up and with the texts a waveform build writes.
// CADENZA_PANEL_SHOTS=<folder> also saves every panel there as a PNG.
#include <QFont>
#include <QFontInfo>
#include <QWidget>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "editors/SequenceViewIds.h"
#include "instrument/FileBrowser.h"
#include "tests/support/StartupHome.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

class ReadablePanelsTest : public cz::test::StartupHomeTest {
 protected:
  // Builds the dialogs that the program builds only on demand, shows every
  // page of the main window and checks every panel; returns how many.
  int CheckEveryPanel(const std::string& shotPrefix) {
    if (progress_ <= 0) progress_ = BuildProgressPanel(0);
    if (browser_ <= 0) browser_ = BuildFileBrowserPanel(0);
    EXPECT_GT(progress_, 0);
    EXPECT_GT(browser_, 0);
    // With every page shown, as a user can get it, all page labels fit the bar.
    for (int page = 0; page < kMainTabPages; ++page)
      if (MainTabIndex(page) >= 0) SetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(page), ATTR_VISIBLE, 1);
    const char* shots = std::getenv("CADENZA_PANEL_SHOTS");
    int panels = 0;
    for (int panel : UiTest_Panels()) {
      ++panels;
      cz::test::ExpectTextsFit(panel);
      if (shots && *shots) {
        char name[64] = "";
        GetPanelAttribute(panel, ATTR_CONSTANT_NAME, name, sizeof name);
        UiTest_GrabPanelPng(panel, (std::string(shots) + "/" + shotPrefix + std::to_string(panel) + "_" + name + ".png").c_str());
      }
    }
    return panels;
  }
  static void Choose(int item) { ASSERT_EQ(UiTest_ChooseMenuItem(GetPanelMenuBar(PANEL_MAIN), item), 1); }

  int progress_ = 0, browser_ = 0;
};

TEST_F(ReadablePanelsTest, EveryTextFitsItsBoxAfterStartUp) {
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_GE(CheckEveryPanel("start_"), 29);  // main window, pages, sub-panels, dialogs

  // The faces come from fonts-liberation, whatever the display: the named
  // Windows faces and the run-time's default alike.
  auto family = [](int panel, int control) { return QFontInfo(UiTest_Widget(panel, control)->font()).family(); };
  EXPECT_EQ(family(TAB_SEDIT, TAB_SEDIT_STR_NAME), QStringLiteral("Liberation Sans"));
  EXPECT_EQ(family(TAB_VIEW, TAB_VIEW_STR_CSR1), QStringLiteral("Liberation Mono"));
  EXPECT_EQ(family(TAB_VIEW, TAB_VIEW_TXT_X1), QStringLiteral("Liberation Sans"));
}

TEST_F(ReadablePanelsTest, EveryTextFitsItsBoxAfterABuild) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(PulseCount, 1);
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(SequenceCount, 1);
  UiTest_QueueFile(dir_.File("readable.wv").c_str());
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FSEL), 1);
  UiTest_ClearPopups();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  ASSERT_TRUE(cz::test::FileExists(dir_.File("readable.wv")));
  // The readouts and the span carry what the build wrote.
  char span[256] = "";
  GetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTSPAN, span, sizeof span);
  EXPECT_STRNE(span, "0");
  CheckEveryPanel("built_");
}

}  // namespace
