// The keys of the program's dialogs after a real start-up: Escape closes
// each as its Cancel or Close button does, Return presses its default button,
// except from the text box that takes the new line.
#include <string>

#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "tests/support/StartupHome.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "ui/dialogs/InfoDialog.h"

namespace {

class DialogKeysTest : public cz::test::StartupHomeTest {
 protected:
  static void Choose(int item) { ASSERT_EQ(UiTest_ChooseMenuItem(GetPanelMenuBar(PANEL_MAIN), item), 1); }
  static int Visible(int panel) {
    int v = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &v);
    return v;
  }
};

TEST_F(DialogKeysTest, EscapeClosesAndReturnPressesTheDefaultOfEveryDialog) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  UiTest_ClearPopups();
  ASSERT_EQ(SequenceCount, 1);

  const struct {
    const char* name;
    int panel;
  } dialogs[] = {{"INSTRMAN", INSTRMAN}, {"PREFERENCE", PREFERENCE}, {"ABOUT", ABOUT}, {"DATAEDIT", DATAEDIT},
                 {"DATALOG", DATALOG},   {"FILTER", FILTER},         {"INFO", INFO}};
  for (const auto& d : dialogs) {
    ASSERT_GT(d.panel, 0) << d.name;
    for (int key : {UITEST_KEY_ESCAPE, UITEST_KEY_RETURN}) {
      DisplayPanel(d.panel);
      ASSERT_EQ(Visible(d.panel), 1) << d.name;
      EXPECT_EQ(UiTest_PressKey(d.panel, 0, key), 1) << d.name;
      EXPECT_EQ(Visible(d.panel), 0) << d.name << " after key " << key;
    }
  }
  EXPECT_EQ(UiTest_PendingAnswers(), 0);

  // Return in the data bits is a new line; Escape there still closes.
  Choose(MBAR_PRJ_DSRC);
  ASSERT_EQ(UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_ADD), 1);
  ASSERT_EQ(UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, 1, false), 1);
  ASSERT_EQ(UiTest_PressKey(DATAEDIT, DATAEDIT_STR_DATA, UITEST_KEY_RETURN), 1);
  EXPECT_EQ(Visible(DATAEDIT), 1);
  ASSERT_EQ(UiTest_PressKey(DATAEDIT, DATAEDIT_STR_DATA, UITEST_KEY_ESCAPE), 1);
  EXPECT_EQ(Visible(DATAEDIT), 0);
}

}  // namespace
