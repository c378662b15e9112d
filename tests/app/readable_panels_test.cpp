// Every panel and dialog of the program, built as start-up builds them (and
// the two dialogs built on demand), offscreen: no text of any control is
// wider or taller than the box it is drawn in at the run-time's font.
// CADENZA_PANEL_SHOTS=<folder> also saves every panel there as a PNG.
#include <QFont>
#include <QFontInfo>
#include <QWidget>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "app/Progress.h"
#include "instrument/FileBrowser.h"
#include "tests/support/StartupHome.h"

namespace {

using ReadablePanelsTest = cz::test::StartupHomeTest;

TEST_F(ReadablePanelsTest, EveryTextFitsItsBox) {
  ASSERT_EQ(InitApplication(), 1);
  const int progress = BuildProgressPanel(0);
  const int browser = BuildFileBrowserPanel(0);
  ASSERT_GT(progress, 0);
  ASSERT_GT(browser, 0);
  // With every page shown, as a user can get it, all page labels fit the bar.
  for (int page = 0; page < kMainTabPages; ++page)
    if (MainTabIndex(page) >= 0) SetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(page), ATTR_VISIBLE, 1);

  const char* shots = std::getenv("CADENZA_PANEL_SHOTS");
  int panels = 0;
  for (int panel : UiTest_Panels()) {
    ++panels;
    for (const UiTest_ClippedText& t : UiTest_ClippedTexts(panel))
      ADD_FAILURE() << t.where << " \"" << t.text << "\" needs " << t.textWidth << " x " << t.textHeight
                    << ", its box holds " << t.boxWidth << " x " << t.boxHeight;
    if (shots && *shots) {
      char name[64] = "";
      GetPanelAttribute(panel, ATTR_CONSTANT_NAME, name, sizeof name);
      UiTest_GrabPanelPng(panel, (std::string(shots) + "/" + std::to_string(panel) + "_" + name + ".png").c_str());
    }
  }
  EXPECT_GE(panels, 29);  // main window, pages, sub-panels, dialogs
}

}  // namespace
