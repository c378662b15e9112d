// The panel building rules and the main window, its menu bar and pages,
// built offscreen.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"
#include "ui/main/MainPanel.h"
#include "ui/main/PanelBuild.h"

namespace {

using cz::test::OffscreenAppTest;

std::string CtrlText(int panel, int control) {
  char buffer[4096] = "";
  GetCtrlVal(panel, control, buffer, sizeof buffer);
  return buffer;
}

int CtrlInt(int panel, int control, int attr) {
  int value = -12345;
  GetCtrlAttribute(panel, control, attr, &value);
  return value;
}

std::string MenuLabel(int bar, int id) {
  char buffer[256] = "";
  GetMenuBarAttribute(bar, id, ATTR_LABEL_TEXT, buffer, sizeof buffer);
  return buffer;
}

// ---------------------------------------------------------------- rules

TEST(PanelBuildAdjust, FactorsOfTheDesignMonitorAndTheRuntimeSetting) {
  const PanelRect main{29, 17, 675, 1000};
  for (int p : {0, -1}) {
    PanelRect r = PanelBuild_Adjust(main, p, 768, 1024);
    EXPECT_EQ(r.height, 675);
    EXPECT_EQ(r.width, 1000);
    EXPECT_EQ(r.top, 29);
  }
  PanelRect same = PanelBuild_Adjust(main, 100, 1160, 1920);
  EXPECT_EQ(same.height, 675);
  EXPECT_EQ(same.width, 1000);
  // Single-precision factors 0.8827586 and 0.6666667, truncated.
  PanelRect small = PanelBuild_Adjust(main, 100, 1024, 1280);
  EXPECT_EQ(small.height, 595);
  EXPECT_EQ(small.width, 666);
  EXPECT_EQ(small.top, 25);
  EXPECT_EQ(small.left, 11);
  PanelRect tall = PanelBuild_Adjust(main, 100, 1200, 1920);
  EXPECT_EQ(tall.height, 698);
  EXPECT_EQ(tall.width, 1000);
  PanelRect half = PanelBuild_Adjust(main, 50, 1080, 1920);
  EXPECT_EQ(half.height, 651);
  EXPECT_EQ(half.width, 1000);
}

class MainWindowTest : public OffscreenAppTest {
 protected:
  void TearDown() override {
    OffscreenAppTest::TearDown();
    PANEL_MAIN = 0;
  }
};

TEST_F(MainWindowTest, FirstNegativeStatusEndsTheBuildAndKeepsTheIdsWritten) {
  // Count the calls of a full build, then fail each of a spread of them.
  UiTest_Reset();
  const long before = UiTest_CallCount();
  const int full = BuildMainPanel(0);
  ASSERT_GT(full, 0);
  const long calls = UiTest_CallCount() - before;
  ASSERT_GT(calls, 100);
  for (long n : {1L, 2L, 10L, calls / 3, calls / 2, calls - 1}) {
    UiTest_Reset();
    PANEL_MAIN_CMD_COPY = -1;
    UiTest_FailNthCall(static_cast<int>(n), UI_ERR_INJECTED);
    EXPECT_EQ(BuildMainPanel(0), UI_ERR_INJECTED) << "call " << n;
    UiTest_FailNthCall(0, 0);
    if (n > 2) {
      EXPECT_GT(PANEL_MAIN_CMD_COPY, 0) << "the first control's id stays written, call " << n;
    }
  }
}

TEST_F(MainWindowTest, PanelControlsPagesAndTree) {
  PANEL_MAIN = BuildMainPanel(0);
  ASSERT_GT(PANEL_MAIN, 0);
  int w = 0, h = 0;
  GetPanelAttribute(PANEL_MAIN, ATTR_WIDTH, &w);
  GetPanelAttribute(PANEL_MAIN, ATTR_HEIGHT, &h);
  EXPECT_EQ(w, 1000);
  EXPECT_EQ(h, 675);

  EXPECT_EQ(CtrlText(PANEL_MAIN, PANEL_MAIN_TXT_ERR), "...");
  EXPECT_EQ(CtrlInt(PANEL_MAIN, PANEL_MAIN_PROG_TASK, ATTR_VISIBLE), 0);
  EXPECT_EQ(CtrlInt(PANEL_MAIN, PANEL_MAIN_PROG_TOTAL, ATTR_VISIBLE), 0);
  double progress = 0.0;
  GetCtrlVal(PANEL_MAIN, PANEL_MAIN_PROG_TASK, &progress);
  EXPECT_EQ(progress, 50.0);
  EXPECT_EQ(CtrlInt(PANEL_MAIN, PANEL_MAIN_STR_VERSION, ATTR_MAX_ENTRY_LENGTH), 63);
  EXPECT_EQ(CtrlInt(PANEL_MAIN, PANEL_MAIN_STR_PROJECT, ATTR_MAX_ENTRY_LENGTH), 255);

  // The pages that are part of the program, in page order, each at the
  // tab index the map names; " Log " is the active page.
  int pages = 0;
  GetNumTabPages(PANEL_MAIN, PANEL_MAIN_TAB, &pages);
  std::vector<std::string> labels;
  for (int i = 0; i < pages; ++i) {
    char label[64] = "";
    GetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, i, ATTR_LABEL_TEXT, label, sizeof label);
    labels.push_back(label);
  }
  const char* const names[kMainTabPages] = {"Pulse Editor", "Sequence Editor", "Sequence View", "Multi Segment",
                                            "RF List",      "Transfer",        " Log ",         "Plugin Info"};
  int present = 0, last = -1;
  for (int page = 0; page < kMainTabPages; ++page) {
    const int index = MainTabIndex(page);
    if (index < 0) continue;
    ++present;
    EXPECT_GT(index, last) << "pages keep their order";
    last = index;
    ASSERT_LT(index, pages);
    EXPECT_EQ(labels[index], names[page]);
  }
  EXPECT_EQ(present, pages);
  ASSERT_GE(MainTabIndex(PAGE_LOG), 0);
  int active = -1;
  GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &active);
  EXPECT_EQ(active, MainTabIndex(PAGE_LOG));

  // Five roots, in order, with their tags and the root image.
  const char* const tags[] = {"_PULSELIB", "_SEQLIB", "_MULTISEG", "_RFLIST", "_PLUGINS"};
  const char* const rootLabels[] = {"Pulse Library", "Sequence Library", "Multi Segment Waveform", "RF List",
                                    "Plug-in"};
  int count = 0;
  GetNumTreeItems(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, &count);
  ASSERT_EQ(count, 5);
  for (int i = 0; i < 5; ++i) {
    char tag[UI_TAG_LEN] = "", label[64] = "";
    GetTreeItemTag(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, i, tag, sizeof tag);
    GetLabelFromIndex(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, i, label, sizeof label);
    EXPECT_STREQ(tag, tags[i]);
    EXPECT_STREQ(label, rootLabels[i]);
    int level = -1, image = -1;
    GetTreeItemLevel(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, i, &level);
    GetTreeItemAttribute(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, i, ATTR_IMAGE_INDEX, &image);
    EXPECT_EQ(level, 0);
    EXPECT_EQ(image, IMAGE_ROOT);
  }

  // Log page: the text message and an empty log.
  int logPage = 0;
  ASSERT_GE(GetPanelHandleFromTabPage(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(PAGE_LOG), &logPage), 0);
  EXPECT_EQ(CtrlText(logPage, TAB_LOG_TEXTMSG), "Use CTRL-C to Copy From Window");
  EXPECT_EQ(CtrlText(logPage, TAB_LOG_TEX_LOG), "");
  EXPECT_EQ(CtrlInt(logPage, TAB_LOG_TEX_LOG, ATTR_CTRL_MODE), VAL_INDICATOR);
}

TEST_F(MainWindowTest, MenuBarItemsAndCheckMark) {
  PANEL_MAIN = BuildMainPanel(0);
  ASSERT_GT(PANEL_MAIN, 0);
  const int bar = GetPanelMenuBar(PANEL_MAIN);
  ASSERT_GT(bar, 0);
  struct Expected {
    int id;
    const char* label;
  } items[] = {
      {MBAR_FILE, "__File"},
      {MBAR_FILE_NEWPRJ, "New Project"},
      {MBAR_FILE_LOADPRJ, "Load Project..."},
      {MBAR_FILE_SAVEPRJ, "Save Project"},
      {MBAR_FILE_SAVEPRJAS, "Save Project As..."},
      {MBAR_FILE_EXIT, "E__xit"},
      {MBAR_PULSE, "__Create"},
      {MBAR_PULSE_PNEW, "New __Pulse"},
      {MBAR_PULSE_PIMPORT, "__Import Pulses From Project..."},
      {MBAR_PULSE_SNEW, "New __Sequence"},
      {MBAR_PULSE_SEGNEW, "New __Multi Segment"},
      {MBAR_PULSE_RFLISTNEW, "New __RF List"},
      {MBAR_PRJ, "__Project"},
      {MBAR_PRJ_DSRC, "__Data Sources..."},
      {MBAR_PRJ_HIDE, "__Hide Tree Entries"},
      {MBAR_INSTR, "__Instrument"},
      {MBAR_INSTR_INSTRSETUP, "__Manager..."},
      {MBAR_OPT, "__Options"},
      {MBAR_OPT_PREF, "__Preferences..."},
      {MBAR_HELP, "__Help"},
      {MBAR_HELP_ABOUT, "__About"},
  };
  for (const Expected& e : items) {
    EXPECT_GT(e.id, 0) << e.label;
    EXPECT_EQ(MenuLabel(bar, e.id), e.label);
  }
  int checked = -1, dimmed = -1;
  GetMenuBarAttribute(bar, MBAR_PRJ_HIDE, ATTR_CHECKED, &checked);
  EXPECT_EQ(checked, 1);
  GetMenuBarAttribute(bar, MBAR_FILE_EXIT, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
  GetMenuBarAttribute(bar, MBAR_FILE_SAVEPRJ, ATTR_CHECKED, &checked);
  EXPECT_EQ(checked, 0);
}

}  // namespace
