// Plug-in trees and the report-type ring, filled from module table rows,
// and the Plugin Info page reached through the library tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "editors/PluginTrees.h"
#include "tests/support/LibraryWindowFixture.h"

namespace {

using Labels = std::vector<std::string>;

class PluginTreesTest : public cz::test::LibraryWindowTest {
 protected:
  void SetUp() override {
    LibraryWindowTest::SetUp();
    // Modulation tree as the modulation sub-panel builds it.
    for (const char* root : {"_INT", "_PLUGIN"}) {
      InsertTreeItem(P_MOD, P_MOD_TREE_MOD, VAL_SIBLING, -1, VAL_LAST, root, root, nullptr, 0);
      if (std::string(root) == "_INT")
        for (const char* group : {"_AM", "_FM", "_PSK", "_OTHER"})
          InsertTreeItem(P_MOD, P_MOD_TREE_MOD, VAL_CHILD, 0, VAL_LAST, group, group, nullptr, 0);
    }
    DATALOG = NewPanel(0, "Report", 0, 0, 200, 300);
    DATALOG_RING_REPORTTYPE = NewCtrl(DATALOG, CTRL_RING, "", 10, 10);
    InsertListItem(DATALOG, DATALOG_RING_REPORTTYPE, -1, "OFF", 0);
    InsertListItem(DATALOG, DATALOG_RING_REPORTTYPE, -1, "Text", 1);
    FILTER = NewPanel(0, "Filter", 0, 0, 200, 300);
    FILTER_TREE_FILTER = NewCtrl(FILTER, CTRL_TREE, "", 10, 10);
    InsertTreeItem(FILTER, FILTER_TREE_FILTER, VAL_SIBLING, -1, VAL_LAST, "Filter", "_FILTER", nullptr, 0);
  }

  static void AddModule(const char* name, const char* type) {
    ModuleEntry& m = ModuleTable[ModuleCount++];
    m = ModuleEntry{};
    m.Name = name;
    m.Type = type;
    m.Version = std::string("V ") + name;
    m.Author = std::string("by ") + name;
    m.Comment = std::string("About ") + name + "\nsecond line";
  }

  static Labels ChildLabels(int panel, int tree, const char* tag) {
    Labels labels;
    int root = -1, n = 0;
    GetTreeItemFromTag(panel, tree, tag, &root);
    GetTreeItemNumChildren(panel, tree, root, &n);
    for (int k = 0; k < n; ++k) {
      int child = -1;
      char label[256] = "";
      GetTreeItemChild(panel, tree, root, k, &child);
      GetLabelFromIndex(panel, tree, child, label, sizeof label);
      labels.push_back(label);
    }
    return labels;
  }

  static Labels RingLabels() {
    Labels labels;
    int n = 0;
    GetNumListItems(DATALOG, DATALOG_RING_REPORTTYPE, &n);
    for (int i = 0; i < n; ++i) {
      char label[256] = "";
      GetLabelFromIndex(DATALOG, DATALOG_RING_REPORTTYPE, i, label, sizeof label);
      labels.push_back(label);
    }
    return labels;
  }

  static void FillAll() {
    FillPluginTree();
    FillModulationTypeTree();
    FillReportTypeRing();
    FillFilterTree();
  }
};

TEST_F(PluginTreesTest, EachModuleAppearsWhereItsExactTypeBelongs) {
  AddModule("Sky", "modulation");
  AddModule("Bend", "modulation");
  AddModule("Fennel", "report");
  AddModule("Jit", "jitter");
  AddModule("Flt", "filter");
  AddModule("Mixed", "modulation and report");
  InsertTreeItem(FILTER, FILTER_TREE_FILTER, VAL_CHILD, 0, VAL_LAST, "Plug-in", "_PLUGIN", nullptr, 0);
  FillAll();

  EXPECT_EQ((Labels{"Sky", "Bend", "Fennel", "Jit", "Flt", "Mixed"}), Children("_PLUGINS"));
  int value = -1, image = -1;
  GetValueFromIndex(PANEL_MAIN, Tree(), Child("_PLUGINS", 3), &value);
  EXPECT_EQ(3, value);
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Child("_PLUGINS", 3), ATTR_IMAGE_INDEX, &image);
  EXPECT_EQ(IMAGE_PLUGIN, image);
  RebuildLibraryTree();  // the library rebuild leaves them alone
  EXPECT_EQ(6u, Children("_PLUGINS").size());

  EXPECT_EQ((Labels{"Sky", "Bend"}), ChildLabels(P_MOD, P_MOD_TREE_MOD, "_PLUGIN"));
  EXPECT_EQ((Labels{"OFF", "Text", "Fennel"}), RingLabels());
  int ringValue = -1;
  GetValueFromIndex(DATALOG, DATALOG_RING_REPORTTYPE, 2, &ringValue);
  EXPECT_EQ(4, ringValue);  // module index 2 + 2
  EXPECT_EQ((Labels{"Flt"}), ChildLabels(FILTER, FILTER_TREE_FILTER, "_PLUGIN"));
  int flt = -1, mark = -1;
  GetTreeItemFromTag(FILTER, FILTER_TREE_FILTER, "Flt", &flt);
  GetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, flt, ATTR_MARK_TYPE, &mark);
  EXPECT_EQ(VAL_MARK_CHECK, mark);
}

TEST_F(PluginTreesTest, BuiltInModulationTypesStandUnderTheirGroups) {
  FillAll();
  EXPECT_EQ((Labels{"AM", "ASK"}), ChildLabels(P_MOD, P_MOD_TREE_MOD, "_AM"));
  EXPECT_EQ(8u, ChildLabels(P_MOD, P_MOD_TREE_MOD, "_FM").size());
  EXPECT_EQ((Labels{"BPSK", "Polyphase", "QPSK", "MSK", "8PSK"}), ChildLabels(P_MOD, P_MOD_TREE_MOD, "_PSK"));
  EXPECT_EQ((Labels{"VSB8", "VSB16"}), ChildLabels(P_MOD, P_MOD_TREE_MOD, "_OTHER"));
  EXPECT_EQ((Labels{"_AM", "_FM", "_PSK", "_OTHER", "OFF"}), ChildLabels(P_MOD, P_MOD_TREE_MOD, "_INT"));
  int bpsk = -1, value = -1, collapsed = -1;
  GetTreeItemFromTag(P_MOD, P_MOD_TREE_MOD, "barker", &bpsk);
  ASSERT_GE(bpsk, 0);
  GetValueFromIndex(P_MOD, P_MOD_TREE_MOD, bpsk, &value);
  EXPECT_EQ(1, value);
  int root = -1;
  GetTreeItemFromTag(P_MOD, P_MOD_TREE_MOD, "_INT", &root);
  GetTreeItemAttribute(P_MOD, P_MOD_TREE_MOD, root, ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(0, collapsed);

  // No plug-ins: the plug-in branches stay empty, the ring holds its two items,
  // and a filter tree without a plug-in branch gets nothing.
  EXPECT_TRUE(Children("_PLUGINS").empty());
  EXPECT_TRUE(ChildLabels(P_MOD, P_MOD_TREE_MOD, "_PLUGIN").empty());
  EXPECT_EQ((Labels{"OFF", "Text"}), RingLabels());
  int items = 0;
  GetNumTreeItems(FILTER, FILTER_TREE_FILTER, &items);
  EXPECT_EQ(1, items);
}

TEST_F(PluginTreesTest, ChoosingAPluginItemShowsItsTextsOnThePluginInfoPage) {
  AddModule("Sky", "modulation");
  AddModule("Bend", "modulation");
  FillPluginTree();
  Click(Child("_PLUGINS", 1));
  char text[256] = "";
  GetCtrlVal(TAB_INFO, TAB_INFO_STR_NAME, text, sizeof text);
  EXPECT_STREQ("Bend", text);
  GetCtrlVal(TAB_INFO, TAB_INFO_STR_VERSION, text, sizeof text);
  EXPECT_STREQ("V Bend", text);
  GetCtrlVal(TAB_INFO, TAB_INFO_STR_AUTHOR, text, sizeof text);
  EXPECT_STREQ("by Bend", text);
  GetCtrlVal(TAB_INFO, TAB_INFO_TXT_COMMENT, text, sizeof text);
  EXPECT_STREQ("About Bend\nsecond line", text);
  EXPECT_EQ("00000111", Pages());
  EXPECT_EQ(PAGE_PLUGIN_INFO, ActivePage());

  ShowPluginInfo(2);  // no such module
  ShowPluginInfo(-1);
  GetCtrlVal(TAB_INFO, TAB_INFO_STR_NAME, text, sizeof text);
  EXPECT_STREQ("Bend", text);
}

}  // namespace
