// The Data Source Editor dialog as built: dimmed empty fields, the root item,
// typing limits, and a close box that leaves the dialog open.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/OffscreenApp.h"
#include "ui/dialogs/DataSourceDialog.h"

namespace {

class DataSourceDialogTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    panel_ = BuildDataSourceEditorPanel(0);
    ASSERT_GT(panel_, 0);
  }
  std::string Text(int control) const {
    char text[2048] = "";
    GetCtrlVal(panel_, control, text, sizeof text);
    return text;
  }
  int panel_ = 0;
};

TEST_F(DataSourceDialogTest, StartsWithDimmedEmptyFieldsAndTheRoot) {
  char title[64] = "";
  GetPanelAttribute(panel_, ATTR_TITLE, title, sizeof title);
  EXPECT_STREQ("Data Source Editor", title);
  int visible = -1;
  GetPanelAttribute(panel_, ATTR_VISIBLE, &visible);
  EXPECT_EQ(0, visible);
  for (int control : {DATAEDIT_STR_NAME, DATAEDIT_STR_COMMENT, DATAEDIT_STR_DATA}) {
    int dimmed = 0;
    GetCtrlAttribute(panel_, control, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(1, dimmed);
    EXPECT_EQ("", Text(control));
  }
  EXPECT_EQ("0", Text(DATAEDIT_STR_BITS));
  int root = -1, value = -1;
  ASSERT_GE(GetTreeItemFromTag(panel_, DATAEDIT_TREE_DATA, kDataSourceRootTag, &root), 0);
  EXPECT_EQ(0, root);
  GetValueFromIndex(panel_, DATAEDIT_TREE_DATA, root, &value);
  EXPECT_EQ(0, value);
  char label[64] = "";
  GetLabelFromIndex(panel_, DATAEDIT_TREE_DATA, root, label, sizeof label);
  EXPECT_STREQ("Data Sources", label);
}

TEST_F(DataSourceDialogTest, TypingLimitsAndCloseBox) {
  for (int control : {DATAEDIT_STR_NAME, DATAEDIT_STR_COMMENT, DATAEDIT_STR_DATA})
    SetCtrlAttribute(panel_, control, ATTR_DIMMED, 0);
  UiTest_EnterValue(panel_, DATAEDIT_STR_COMMENT, std::string(300, 'c').c_str());
  EXPECT_EQ(255u, Text(DATAEDIT_STR_COMMENT).size());
  UiTest_EnterValue(panel_, DATAEDIT_STR_DATA, std::string(1100, '1').c_str());
  EXPECT_EQ(1023u, Text(DATAEDIT_STR_DATA).size());

  DisplayPanel(panel_);
  UiTest_PressCloseBox(panel_);
  int visible = 0;
  GetPanelAttribute(panel_, ATTR_VISIBLE, &visible);
  EXPECT_EQ(1, visible);
}

}  // namespace
