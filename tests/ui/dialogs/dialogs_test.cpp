// The About and Preferences dialogs, built offscreen.
#include <string>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "platform/ProgramInfo.h"
#include "tests/support/OffscreenApp.h"
#include "ui/dialogs/DialogPanels.h"

namespace {

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

class DialogTest : public cz::test::OffscreenAppTest {};

TEST_F(DialogTest, PreferencesDefaultsPagesAndCloseBoxActsAsCancel) {
  const int panel = BuildPreferencesPanel(0);
  ASSERT_GT(panel, 0);
  char title[64] = "";
  GetPanelAttribute(panel, ATTR_TITLE, title, sizeof title);
  EXPECT_STREQ(title, "Preferences ");
  int pages = 0;
  GetNumTabPages(panel, PREFERENCE_TAB_SETTINGS, &pages);
  ASSERT_EQ(pages, 2);
  char label[64] = "";
  GetTabPageAttribute(panel, PREFERENCE_TAB_SETTINGS, 0, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, " General ");
  GetTabPageAttribute(panel, PREFERENCE_TAB_SETTINGS, 1, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, "Project Settings");

  int general = 0, genwv = 0;
  ASSERT_GE(GetPanelHandleFromTabPage(panel, PREFERENCE_TAB_SETTINGS, 0, &general), 0);
  ASSERT_GE(GetPanelHandleFromTabPage(panel, PREFERENCE_TAB_SETTINGS, 1, &genwv), 0);
  EXPECT_EQ(CtrlText(general, GENERAL_STR_TEMPDIR), "C:\\");
  EXPECT_EQ(CtrlInt(general, GENERAL_STR_TEMPDIR, ATTR_CTRL_MODE), VAL_INDICATOR);
  EXPECT_EQ(UiTest_EnterValue(general, GENERAL_STR_TEMPDIR, "/elsewhere"), 0) << "the folder is not typed in";
  int on = -1;
  GetCtrlVal(general, GENERAL_CHK_TRACE, &on);
  EXPECT_EQ(on, 1);
  GetCtrlVal(general, GENERAL_CHK_AUTOSAVE, &on);
  EXPECT_EQ(on, 0);
  for (int id : {GENWV_CHK_ZEROCRF, GENWV_CHK_MARKERS, GENWV_CHK_IQSWAP, GENWV_CHK_REMMSEG, GENWV_CHK_NOPRES}) {
    GetCtrlVal(genwv, id, &on);
    EXPECT_EQ(on, 0);
  }
  EXPECT_EQ(CtrlText(genwv, GENWV_STR_DEF_LIN), "/hdd");
  EXPECT_EQ(CtrlText(genwv, GENWV_STR_DEF_WIN), "d:\\");
  for (int id : {GENWV_STR_DEF_LIN, GENWV_STR_DEF_WIN}) EXPECT_EQ(CtrlInt(genwv, id, ATTR_MAX_ENTRY_LENGTH), 1023);
  EXPECT_EQ(CtrlInt(general, GENERAL_STR_TEMPDIR, ATTR_MAX_ENTRY_LENGTH), 255);

  // The close box runs Cancel: the dialog is hidden.
  PREFERENCE = panel;
  GENERAL = general;
  DisplayPanel(panel);
  ASSERT_EQ(UiTest_PressCloseBox(panel), 1);
  int visible = -1;
  GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 0);
  PREFERENCE = 0;
  GENERAL = 0;
}

TEST_F(DialogTest, AboutTextFromTheFirstLineAndCloseBoxHides) {
  ABOUT = BuildAboutPanel(0);
  ASSERT_GT(ABOUT, 0);
  int visible = -1;
  GetPanelAttribute(ABOUT, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 0) << "hidden when built";
  int lines = 1;
  for (const char* p = AboutText(); *p; ++p) lines += *p == '\n';
  EXPECT_EQ(lines, 28);
  ResetTextBox(ABOUT, ABOUT_TEXTBOX_ABOUT, AboutText());
  SetCtrlAttribute(ABOUT, ABOUT_TEXTBOX_ABOUT, ATTR_FIRST_VISIBLE_LINE, 0);
  DisplayPanel(ABOUT);
  EXPECT_EQ(CtrlInt(ABOUT, ABOUT_TEXTBOX_ABOUT, ATTR_FIRST_VISIBLE_LINE), 0);
  char first[128] = "";
  GetTextBoxLine(ABOUT, ABOUT_TEXTBOX_ABOUT, 1, first, sizeof first);
  // The build's own version (major.minor) and release date.
  EXPECT_EQ(std::string(first), std::string("V ") + cz::ProgramVersionMajorMinor() + ", " + cz::ProgramReleaseDate());
  EXPECT_TRUE(std::string(cz::ProgramVersion()).rfind(cz::ProgramVersionMajorMinor(), 0) == 0);
  ASSERT_EQ(UiTest_PressCloseBox(ABOUT), 1);
  GetPanelAttribute(ABOUT, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 0);
  DisplayPanel(ABOUT);
  ASSERT_EQ(UiTest_ClickCtrl(ABOUT, ABOUT_CMD_CLOSEABOUT), 1);
  GetPanelAttribute(ABOUT, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 0);
  ABOUT = 0;
}

}  // namespace
