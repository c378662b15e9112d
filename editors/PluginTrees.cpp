// Plug-in trees and the report-type ring, filled once at start-up from the
// module table, and the Plugin Info page.
#include "editors/PluginTrees.h"

#include <cstring>

#include "app/Keywords.h"
#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr const char* kModulationRootTag = "_INT";
constexpr const char* kModulationPluginTag = "_PLUGIN";
constexpr const char* kFilterPluginTag = "_PLUGIN";
constexpr int kModulationItemImage = 2;

// Exact comparison: a type text that merely contains a kind's word (the
// loader accepts those) is listed in the library tree only.
bool TypeIs(const ModuleEntry& module, const char* type) {
  return std::strcmp(module.Type.c_str(), type) == 0;
}

int FindItem(int panel, int tree, const char* tag) {
  int item = -1;
  if (GetTreeItemFromTag(panel, tree, tag, &item) < 0) return -1;
  return item;
}

// Appends a child of parent as its last child: transparent label background,
// collapsed, with image (-1 = none). The new item's index, or -1.
int AppendChild(int panel, int tree, int parent, const char* label, const char* tagBase, int value,
                int image) {
  const int item = InsertTreeItem(panel, tree, VAL_CHILD, parent, VAL_LAST, label, tagBase, nullptr, value);
  if (item < 0) return -1;
  SetTreeItemAttribute(panel, tree, item, ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT);
  SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED, 1);
  if (image >= 0) {
    SetTreeItemAttribute(panel, tree, item, ATTR_IMAGE_INDEX, image);
    SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, image);
  }
  return item;
}

}  // namespace

void FillPluginTree() {
  const int panel = PANEL_MAIN;
  const int tree = PANEL_MAIN_TREE_PULSES;
  if (FindItem(panel, tree, kPluginLibraryTag) < 0) return;
  SetTreeItemAttribute(panel, tree, FindItem(panel, tree, kPluginLibraryTag), ATTR_COLLAPSED, 1);
  for (int i = 0; i < ModuleCount; ++i) {
    // The root is looked up again: inserts under earlier roots move it.
    const int root = FindItem(panel, tree, kPluginLibraryTag);
    if (root < 0) return;
    const char* name = ModuleTable[i].Name.c_str();
    AppendChild(panel, tree, root, name, name, i, IMAGE_PLUGIN);
  }
}

// Built-in rows are walked up to the table's end row, never by a count; a
// row whose group item the panel lacks is skipped.
void FillModulationTypeTree() {
  const int panel = P_MOD;
  const int tree = P_MOD_TREE_MOD;
  for (int row = 0; row < kModulationTypeCount; ++row) {
    const ModulationTypeInfo& type = ModulationTypeTable[row];
    if (type.code == kModulationTableEnd || type.groupTag == nullptr || type.groupTag[0] == '\0') break;
    const int group = FindItem(panel, tree, type.groupTag);
    if (group < 0) continue;
    const int item = AppendChild(panel, tree, group, ModulationDisplayName(type.code),
                                 ModulationToKeyword(type.code), type.code, kModulationItemImage);
    if (item < 0) continue;
    SetTreeItemAttribute(panel, tree, FindItem(panel, tree, type.groupTag), ATTR_COLLAPSED, 1);
  }
  const int root = FindItem(panel, tree, kModulationRootTag);
  if (root >= 0) SetTreeItemAttribute(panel, tree, root, ATTR_COLLAPSED, 0);
  const int plugins = FindItem(panel, tree, kModulationPluginTag);
  if (plugins < 0) return;
  SetTreeItemAttribute(panel, tree, plugins, ATTR_COLLAPSED, 1);
  for (int i = 0; i < ModuleCount; ++i) {
    if (!TypeIs(ModuleTable[i], "modulation")) continue;
    const char* name = ModuleTable[i].Name.c_str();
    AppendChild(panel, tree, FindItem(panel, tree, kModulationPluginTag), name, name, i,
                kModulationItemImage);
  }
}

void FillReportTypeRing() {
  for (int i = 0; i < ModuleCount; ++i)
    if (TypeIs(ModuleTable[i], "report"))
      InsertListItem(DATALOG, DATALOG_RING_REPORTTYPE, -1, ModuleTable[i].Name.c_str(), i + 2);
}

// The filter panel may have no "_PLUGIN" branch; then nothing is added.
void FillFilterTree() {
  const int panel = FILTER;
  const int tree = FILTER_TREE_FILTER;
  if (FindItem(panel, tree, kFilterPluginTag) < 0) return;
  for (int i = 0; i < ModuleCount; ++i) {
    if (!TypeIs(ModuleTable[i], "filter")) continue;
    const char* name = ModuleTable[i].Name.c_str();
    const int item = AppendChild(panel, tree, FindItem(panel, tree, kFilterPluginTag), name, name, i, -1);
    if (item >= 0) SetTreeItemAttribute(panel, tree, item, ATTR_MARK_TYPE, VAL_MARK_CHECK);
  }
}

void ShowPluginInfo(int module) {
  if (module < 0 || module >= ModuleCount) return;
  const ModuleEntry& entry = ModuleTable[module];
  SetCtrlVal(TAB_INFO, TAB_INFO_STR_NAME, entry.Name.c_str());
  SetCtrlVal(TAB_INFO, TAB_INFO_STR_VERSION, entry.Version.c_str());
  SetCtrlVal(TAB_INFO, TAB_INFO_STR_AUTHOR, entry.Author.c_str());
  ResetTextBox(TAB_INFO, TAB_INFO_TXT_COMMENT, entry.Comment.c_str());
}
