// The Info dialog: built hidden, its text replaced by each request, and
// hidden again by the close button and by the window's close box alike.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/OffscreenApp.h"
#include "ui/dialogs/InfoDialog.h"

namespace {

class InfoDialogTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    INFO = BuildInfoPanel(0);
    ASSERT_GT(INFO, 0);
  }
  void TearDown() override {
    DiscardPanel(INFO);
    INFO = 0;
    OffscreenAppTest::TearDown();
  }
  int Visible() const {
    int v = -1;
    GetPanelAttribute(INFO, ATTR_VISIBLE, &v);
    return v;
  }
};

TEST_F(InfoDialogTest, TextIsReplacedAndBothCloseWaysHideIt) {
  char title[32] = "";
  GetPanelAttribute(INFO, ATTR_TITLE, title, sizeof title);
  EXPECT_STREQ(title, "Info");
  EXPECT_EQ(Visible(), 0);
  int mode = -1;
  GetCtrlAttribute(INFO, INFO_TEXTBOX, ATTR_CTRL_MODE, &mode);
  EXPECT_EQ(mode, VAL_INDICATOR);

  ResetTextBox(INFO, INFO_TEXTBOX, "Wave File Data\nfirst");
  ResetTextBox(INFO, INFO_TEXTBOX, "Wave File Data\nsecond");
  int lines = 0;
  GetNumTextBoxLines(INFO, INFO_TEXTBOX, &lines);
  EXPECT_EQ(lines, 2);

  DisplayPanel(INFO);
  EXPECT_EQ(Visible(), 1);
  EXPECT_EQ(UiTest_ClickCtrl(INFO, INFO_CMD_CLOSEINFO), 1);
  EXPECT_EQ(Visible(), 0);
  DisplayPanel(INFO);
  UiTest_PressCloseBox(INFO);
  EXPECT_EQ(Visible(), 0);
}

// Each build takes a close-box slot; the slots of discarded dialogs are
// taken again, so building the dialog anew never runs out.
TEST_F(InfoDialogTest, BuiltAgainAndAgainAfterDiscards) {
  for (int i = 0; i < 40; ++i) {
    DiscardPanel(INFO);
    INFO = BuildInfoPanel(0);
    ASSERT_GT(INFO, 0) << "build " << i;
  }
  DisplayPanel(INFO);
  UiTest_PressCloseBox(INFO);
  EXPECT_EQ(Visible(), 0);
}

}  // namespace
