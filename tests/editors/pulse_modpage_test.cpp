// The modulation page: choosing a type in the tree, its parameter rows,
// the data controls' dimming, the tree marks and the parameter commits.
#include <gtest/gtest.h>

#include <string>

#include "app/Keywords.h"
#include "editors/PulseModPage.h"
#include "engine/ModulationTypes.h"
#include "platform/CLocale.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/PulseEditorFixture.h"
#include "ui/pulse/ModulationPanel.h"

namespace {

using cz::test::PulseEditorTest;

class PulseModPageTest : public PulseEditorTest {
 protected:
  // The first built-in type whose need of data bits is `needsData`.
  static int TypeWithData(bool needsData) {
    for (const ModulationTypeInfo& row : ModulationTypeTable) {
      if (row.code == kModulationTableEnd) break;
      if (row.code != 0 && (row.needsData != 0) == needsData && row.definitions != nullptr &&
          row.definitions[0].key != 0)
        return row.code;
    }
    return -1;
  }
  static int Marked(int item) {
    int state = 0;
    GetTreeItemAttribute(P_MOD, P_MOD_TREE_MOD, item, ATTR_MARK_STATE, &state);
    return state;
  }
};

TEST_F(PulseModPageTest, ChoosingATypeLoadsItsRowsAndDimsTheDataControls) {
  PulseRecord& p = ShowNewPulse("p1");
  const int withData = TypeWithData(true), withoutData = TypeWithData(false);
  ASSERT_GT(withData, 0);
  ASSERT_GT(withoutData, 0);
  const int dataItem = TreeItem(ModulationToKeyword(withData));
  ASSERT_GE(dataItem, 0);
  ASSERT_EQ(1, UiTest_ClickTreeItem(P_MOD, P_MOD_TREE_MOD, dataItem, false));
  EXPECT_EQ(withData, p.modulation);
  EXPECT_EQ(1, Marked(dataItem));
  EXPECT_GT(Rows(P_MOD, P_MOD_TABLE_CONF), 0);
  EXPECT_EQ(ModulationTypeTable[0].code, 0);
  EXPECT_EQ(ModParamRowCount(), Rows(P_MOD, P_MOD_TABLE_CONF));
  EXPECT_GT(p.modParams.LeadingCount(), 0);
  EXPECT_EQ(0, Attr(P_MOD, P_MOD_TABLE_DATA, ATTR_DIMMED));

  const int plainItem = TreeItem(ModulationToKeyword(withoutData));
  ASSERT_EQ(1, UiTest_ClickTreeItem(P_MOD, P_MOD_TREE_MOD, plainItem, false));
  EXPECT_EQ(withoutData, p.modulation);
  EXPECT_EQ(0, Marked(dataItem));
  EXPECT_EQ(1, Attr(P_MOD, P_MOD_TABLE_DATA, ATTR_DIMMED));
  EXPECT_EQ(1, Attr(P_MOD, P_MOD_CMD_ADD, ATTR_DIMMED));
  EXPECT_EQ(1, ModulationNeedsData(kModulationPlugin));
  EXPECT_EQ(-1, ModulationNeedsData(kModulationTableEnd));
}

TEST_F(PulseModPageTest, GroupsAndTheCurrentTypeChangeNothing) {
  PulseRecord& p = ShowNewPulse("p1");
  const int type = TypeWithData(false);
  ASSERT_EQ(1, ChooseModulationTreeItem(TreeItem(ModulationToKeyword(type))));
  // An edited value survives a click on the pulse's own type.
  ASSERT_TRUE(p.modParams.Mutable(0) != nullptr);
  p.modParams.Mutable(0)->value = "12345";
  EXPECT_EQ(0, ChooseModulationTreeItem(TreeItem(ModulationToKeyword(type))));
  EXPECT_EQ("12345", std::string(p.modParams[0].value.c_str()));
  for (const char* tag : {"_INT", "_AM", "_FM", "_PSK", "_OTHER", "_PLUGIN"}) {
    ASSERT_GE(TreeItem(tag), 0) << tag;
    ASSERT_EQ(1, UiTest_ClickTreeItem(P_MOD, P_MOD_TREE_MOD, TreeItem(tag), false));
    EXPECT_EQ(type, p.modulation) << tag;
  }
}

TEST_F(PulseModPageTest, ShowMarksTheTypeAndTableCommitsFollowTheType) {
  PulseRecord& p = ShowNewPulse("p1");
  // Type 0 ("OFF"): commits of the parameter table do nothing.
  Status().clear();
  ModulationParamTableCb(P_MOD, P_MOD_TABLE_CONF, EVENT_COMMIT, nullptr, 1, 2);
  EXPECT_TRUE(Status().empty());
  const int type = TypeWithData(true);
  p.modulation = static_cast<int8_t>(type);
  ShowPulseInEditor();
  const int item = TreeItem(ModulationToKeyword(type));
  EXPECT_EQ(1, Marked(item));
  int active = -1;
  GetActiveTreeItem(P_MOD, P_MOD_TREE_MOD, &active);
  EXPECT_EQ(item, active);
  // A plug-in that is not loaded: nothing marked, commits ignored.
  p.modulation = kModulationPlugin;
  p.pluginName = "absent";
  ShowPulseInEditor();
  EXPECT_EQ(0, Marked(item));
  EXPECT_EQ(0, Attr(P_MOD, P_MOD_TABLE_DATA, ATTR_DIMMED));
  ModulationParamTableCb(P_MOD, P_MOD_TABLE_CONF, EVENT_COMMIT, nullptr, 1, 2);
  EXPECT_EQ(0, Logged("Changing plugin settings for 'absent'..."));
}

TEST_F(PulseModPageTest, OutOfLimitValuesAreStoredAndReported) {
  PulseRecord& p = ShowNewPulse("p1");
  ASSERT_EQ(1, ChooseModulationTreeItem(TreeItem(ModulationToKeyword(TypeWithData(false)))));
  int row = -1;
  for (int r = 0; r < ModParamRowCount(); ++r)
    if (ModulationParamTable[r].type == "DOUBLE") {
      row = r;
      break;
    }
  ASSERT_GE(row, 0);
  const double max = cz::StrtodC(ModulationParamTable[row].max.c_str(), nullptr);
  ASSERT_GE(SetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(2, row + 1), max * 2.0 + 1.0), 0);
  Status().clear();
  ModulationParamTableCb(P_MOD, P_MOD_TABLE_CONF, EVENT_COMMIT, nullptr, row + 1, 2);
  EXPECT_TRUE(StatusShown("Error: Parameters Out Of Limits"));
  const int entry = p.modParams.Find(ModulationParamTable[row].name.c_str());
  ASSERT_GE(entry, 0);
  EXPECT_DOUBLE_EQ(max * 2.0 + 1.0, cz::StrtodC(p.modParams[entry].value.c_str(), nullptr));
}

}  // namespace
