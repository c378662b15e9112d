// Data source editor: adding, deleting (refused while pulses use a source),
// moving, naming and bit texts, driven through the dialog.
#include <gtest/gtest.h>

#include <string>

#include "app/DataSource.h"
#include "app/PanelIds.h"
#include "editors/DataSourceEditor.h"
#include "editors/PulseEditor.h"
#include "tests/support/OffscreenApp.h"
#include "ui/dialogs/DataSourceDialog.h"

namespace {

class DataSourceEditorTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    DataSourceCount = 0;
    CurrentDataSource = -1;
    PulseCount = 0;
    SetCurrentPulse(-1);
    DATAEDIT = BuildDataSourceEditorPanel(0);
    ASSERT_GT(DATAEDIT, 0);
    RebuildDataSourceTree();
  }
  void TearDown() override {
    DataSourceCount = 0;
    CurrentDataSource = -1;
    PulseCount = 0;
    DATAEDIT = 0;
    OffscreenAppTest::TearDown();
  }
  static void Add() { ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_ADD)); }
  // Tree item of the source at index (the root is item 0).
  static void Click(int index) {
    ASSERT_EQ(1, UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, index + 1, false));
  }
  static int Dimmed(int control) {
    int dimmed = -1;
    GetCtrlAttribute(DATAEDIT, control, ATTR_DIMMED, &dimmed);
    return dimmed;
  }
  static std::string Text(int control) {
    char text[2048] = "";
    GetCtrlVal(DATAEDIT, control, text, sizeof text);
    return text;
  }
  static std::string Popup(std::size_t fromEnd = 0) {
    const auto& popups = UiTest_Popups();
    return popups.size() > fromEnd ? popups[popups.size() - 1 - fromEnd].title + "|" +
                                         popups[popups.size() - 1 - fromEnd].text
                                   : "";
  }
};

TEST_F(DataSourceEditorTest, AddTakesTheSmallestFreeIdAndAppends) {
  Add();
  EXPECT_EQ(1, DataSourceCount);
  EXPECT_EQ(1u, DataSourceTable[0].id);
  EXPECT_EQ("new_1", DataSourceTable[0].name.str());
  EXPECT_EQ(-1, CurrentDataSource);  // a new source is not selected
  Add();
  Click(0);
  UiTest_QueueConfirm(true);
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_DEL));
  ASSERT_EQ(1, DataSourceCount);
  EXPECT_EQ(2u, DataSourceTable[0].id);
  Add();
  EXPECT_EQ(1u, DataSourceTable[1].id);  // ID 1 again, at the end
  int children = 0, root = 0;
  GetTreeItemFromTag(DATAEDIT, DATAEDIT_TREE_DATA, kDataSourceRootTag, &root);
  GetTreeItemNumChildren(DATAEDIT, DATAEDIT_TREE_DATA, root, &children);
  EXPECT_EQ(2, children);

  while (DataSourceCount < kMaxDataSources) DataSourceAppend();
  Add();  // a 65th is silently refused
  EXPECT_EQ(kMaxDataSources, DataSourceCount);
}

TEST_F(DataSourceEditorTest, DeleteIsRefusedWhileAPulseUsesTheSource) {
  Add();
  Add();
  PulseCount = 3;
  for (int p = 0; p < 3; ++p) InitPulseRecord(&PulseTable[p]);
  PulseTable[0].name = "alpha";
  PulseTable[1].name = "beta";
  PulseTable[2].name = "gamma";
  PulseTable[0].dataRows[2] = {DSRC_USER, 2, 8};
  PulseTable[2].dataRows[0] = {DSRC_USER, 2, 8};
  PulseTable[2].dataRows[5] = {DSRC_USER, 2, 4};
  PulseTable[1].dataRows[0] = {DSRC_PATTERN, 2, 4};  // a pattern id, not the source
  Click(1);
  UiTest_QueueMessageOk();
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_DEL));
  EXPECT_EQ("Error|This data source is used in pulses:\nalpha\ngamma\n", Popup());
  EXPECT_EQ(2, DataSourceCount);

  // Declined confirmation: nothing happens.
  Click(0);
  UiTest_QueueConfirm(false);
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_DEL));
  EXPECT_EQ("Delete Item|Are you sure you want to delete the data source 'new_1' ?", Popup());
  EXPECT_EQ(2, DataSourceCount);
  EXPECT_EQ(0, CurrentDataSource);

  UiTest_QueueConfirm(true);
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_DEL));
  EXPECT_EQ(1, DataSourceCount);
  EXPECT_EQ(-1, CurrentDataSource);
  EXPECT_EQ(1, Dimmed(DATAEDIT_STR_NAME));
  EXPECT_EQ(1, Dimmed(DATAEDIT_STR_DATA));
  EXPECT_EQ("", Text(DATAEDIT_STR_NAME));
}

// A key that moves the highlight shows that source in the fields, and
// Delete (key or button) asks about and deletes the highlighted source.
TEST_F(DataSourceEditorTest, KeysShowAndDeleteTheHighlightedSource) {
  for (int i = 0; i < 3; ++i) Add();
  DisplayPanel(DATAEDIT);
  Click(0);
  ASSERT_EQ(1, UiTest_PressKey(DATAEDIT, DATAEDIT_TREE_DATA, UITEST_KEY_DOWN));
  EXPECT_EQ(1, CurrentDataSource);
  EXPECT_EQ("new_2", Text(DATAEDIT_STR_NAME));
  int image = -1;
  GetTreeItemAttribute(DATAEDIT, DATAEDIT_TREE_DATA, 2, ATTR_IMAGE_INDEX, &image);
  EXPECT_EQ(DSRC_IMAGE_EDITED, image);
  // An edit lands on the source shown.
  ASSERT_EQ(1, UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_COMMENT, "second"));
  EXPECT_EQ("second", DataSourceTable[1].comment.str());
  EXPECT_EQ("", DataSourceTable[0].comment.str());

  UiTest_QueueConfirm(true);
  ASSERT_EQ(1, UiTest_PressKey(DATAEDIT, DATAEDIT_TREE_DATA, UITEST_KEY_DELETE));
  EXPECT_EQ("Delete Item|Are you sure you want to delete the data source 'new_2' ?", Popup());
  ASSERT_EQ(2, DataSourceCount);
  EXPECT_EQ(1u, DataSourceTable[0].id);
  EXPECT_EQ(3u, DataSourceTable[1].id);
  // Up onto the root shows no source.
  Click(0);
  ASSERT_EQ(1, UiTest_PressKey(DATAEDIT, DATAEDIT_TREE_DATA, UITEST_KEY_UP));
  EXPECT_EQ(-1, CurrentDataSource);
  EXPECT_EQ(1, Dimmed(DATAEDIT_STR_NAME));
}

TEST_F(DataSourceEditorTest, MovesKeepTheShownSourceShown) {
  for (int i = 0; i < 3; ++i) Add();
  Click(0);
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_SENTRY_UP));  // at the top: nothing
  EXPECT_EQ(1u, DataSourceTable[0].id);
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_SENTRY_DOWN));
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_SENTRY_DOWN));
  EXPECT_EQ(2u, DataSourceTable[0].id);
  EXPECT_EQ(3u, DataSourceTable[1].id);
  EXPECT_EQ(1u, DataSourceTable[2].id);
  EXPECT_EQ(2, CurrentDataSource);
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_SENTRY_DOWN));  // at the bottom: nothing
  EXPECT_EQ(1u, DataSourceTable[2].id);
  EXPECT_EQ("new_1", Text(DATAEDIT_STR_NAME));
  int image = -1;
  GetTreeItemAttribute(DATAEDIT, DATAEDIT_TREE_DATA, 3, ATTR_IMAGE_INDEX, &image);
  EXPECT_EQ(DSRC_IMAGE_EDITED, image);
}

TEST_F(DataSourceEditorTest, NamesCommentsAndBitTexts) {
  Add();
  Add();
  Click(1);
  EXPECT_EQ(0, Dimmed(DATAEDIT_STR_NAME));
  ASSERT_EQ(1, UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_DATA, "1 0 #xF"));
  EXPECT_EQ("1 0 #xF", DataSourceTable[1].data.str());
  EXPECT_EQ("6", Text(DATAEDIT_STR_BITS));
  ASSERT_EQ(1, UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_DATA, "1\t0"));
  EXPECT_EQ("2", Text(DATAEDIT_STR_BITS));

  // The name of another source: accepted with one warning per commit.
  UiTest_QueueMessageOk();
  ASSERT_EQ(1, UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_NAME, "new_1"));
  EXPECT_EQ("new_1", DataSourceTable[1].name.str());
  EXPECT_EQ("Warning|The data source name already exists.\n"
            "Reusing the same data source name is possible but not suggested.",
            Popup());
  UiTest_QueueMessageOk();
  ASSERT_EQ(1, UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_COMMENT, "second"));
  EXPECT_EQ("second", DataSourceTable[1].comment.str());
  EXPECT_EQ(0, UiTest_PendingAnswers());

  // A name longer than the record's 63 bytes is refused whole (never cut),
  // and the field shows the stored name again; the stored name still
  // matches the other source's, with its warning.
  for (const std::string& typed : {std::string(80, 'n'), std::string(62, 'n') + "\xC3\xA9"}) {
    UiTest_QueueMessageOk();
    ASSERT_EQ(1, UiTest_EnterValue(DATAEDIT, DATAEDIT_STR_NAME, typed.c_str()));
    EXPECT_EQ("new_1", DataSourceTable[1].name.str());
    EXPECT_EQ("new_1", Text(DATAEDIT_STR_NAME));
  }
  EXPECT_EQ(0, UiTest_PendingAnswers());

  // A bit text longer than the text box holds stays whole when shown.
  const std::string hex = "#x" + std::string(1100, 'F');
  DataSourceTable[0].data = hex;
  Click(0);
  EXPECT_EQ("4096", Text(DATAEDIT_STR_BITS));
  EXPECT_EQ(hex, DataSourceTable[0].data.str());

  // The root: nothing shown, fields dimmed.
  ASSERT_EQ(1, UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, 0, false));
  EXPECT_EQ(-1, CurrentDataSource);
  EXPECT_EQ(1, Dimmed(DATAEDIT_STR_COMMENT));
  EXPECT_EQ("", Text(DATAEDIT_STR_BITS));
  // Edits without a shown source do nothing.
  EXPECT_EQ(0, DataSourceTextCb(DATAEDIT, DATAEDIT_STR_NAME, EVENT_COMMIT, nullptr, 0, 0));
}

TEST_F(DataSourceEditorTest, DialogShowsAndHides) {
  HidePanel(DATAEDIT);
  EXPECT_EQ(0, ShowDataSourcesButtonCb(0, 0, EVENT_COMMIT, nullptr, 0, 0));
  int visible = 0;
  GetPanelAttribute(DATAEDIT, ATTR_VISIBLE, &visible);
  EXPECT_EQ(1, visible);
  ASSERT_EQ(1, UiTest_ClickCtrl(DATAEDIT, DATAEDIT_CMD_EXIT));
  GetPanelAttribute(DATAEDIT, ATTR_VISIBLE, &visible);
  EXPECT_EQ(0, visible);
  MBAR_PRJ_DSRC = 77;
  ShowDataSourcesCb(0, 76, nullptr, 0);  // not its item
  GetPanelAttribute(DATAEDIT, ATTR_VISIBLE, &visible);
  EXPECT_EQ(0, visible);
  ShowDataSourcesCb(0, 77, nullptr, 0);
  GetPanelAttribute(DATAEDIT, ATTR_VISIBLE, &visible);
  EXPECT_EQ(1, visible);
  MBAR_PRJ_DSRC = -1;
}

TEST_F(DataSourceEditorTest, ReopeningAfterANewProjectShowsNoStaleSource) {
  Add();
  Add();
  Click(1);
  ASSERT_EQ(1, CurrentDataSource);
  DataSourceCount = 0;  // the project was cleared
  EXPECT_EQ(0, ShowDataSourcesButtonCb(0, 0, EVENT_COMMIT, nullptr, 0, 0));
  EXPECT_EQ(-1, CurrentDataSource);
  EXPECT_EQ(1, Dimmed(DATAEDIT_STR_NAME));
  EXPECT_EQ("", Text(DATAEDIT_STR_NAME));
}

}  // namespace
