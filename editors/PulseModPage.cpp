// The modulation page of the pulse editor: the type tree, the parameter
// table commit and the reset to the type's defaults.
#include "editors/PulseModPage.h"

#include <cstring>
#include <string>

#include "app/Keywords.h"
#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "editors/ParamTable.h"
#include "editors/PulseEditor.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/UserInterface.h"
#include "ui/pulse/ModulationPanel.h"

namespace {

constexpr const char* kSetParamsFailed = "Error: Cannot Set Pulse Parameters";

int ItemCount() {
  int n = 0;
  if (GetNumTreeItems(P_MOD, P_MOD_TREE_MOD, &n) < 0) return 0;
  return n;
}

std::string ItemTag(int item) {
  char tag[UI_TAG_LEN] = "";
  if (item < 0 || GetTreeItemTag(P_MOD, P_MOD_TREE_MOD, item, tag, sizeof tag) < 0) return std::string();
  return tag;
}

int ItemParent(int item) {
  int parent = -1;
  if (GetTreeItemParent(P_MOD, P_MOD_TREE_MOD, item, &parent) < 0) return -1;
  return parent;
}

// Roots and group items are the tree's own; every other item is a type.
bool IsTypeItem(int item) {
  int level = -1;
  if (GetTreeItemLevel(P_MOD, P_MOD_TREE_MOD, item, &level) < 0 || (level != 1 && level != 2)) return false;
  const std::string tag = ItemTag(item);
  for (const char* group : kModTreeGroupTags)
    if (tag == group) return false;
  return tag != kModTreeInternalTag && tag != kModTreePluginTag;
}

// The tag of the item's top-level ancestor.
std::string RootTag(int item) {
  int root = item;
  for (int parent = ItemParent(root); parent >= 0; parent = ItemParent(root)) root = parent;
  return ItemTag(root);
}

void SetMark(int item, int marked) {
  SetTreeItemAttribute(P_MOD, P_MOD_TREE_MOD, item, ATTR_MARK_STATE, marked);
  SetTreeItemAttribute(P_MOD, P_MOD_TREE_MOD, item, ATTR_LABEL_BOLD, marked);
}

void ClearMarks() {
  const int n = ItemCount();
  for (int item = 0; item < n; ++item) {
    int state = 0;
    if (GetTreeItemAttribute(P_MOD, P_MOD_TREE_MOD, item, ATTR_MARK_STATE, &state) >= 0 && state == 1 &&
        IsTypeItem(item))
      SetMark(item, 0);
  }
}

int ItemValue(int item) {
  int value = -1;
  if (GetValueFromIndex(P_MOD, P_MOD_TREE_MOD, item, &value) < 0) return -1;
  return value;
}

// The item of a built-in type under "_INT" (by its type code), or of a
// loaded plug-in under "_PLUGIN" (by its module name); -1 when none.
int FindTypeItem(int code, const char* pluginName) {
  const int n = ItemCount();
  for (int item = 0; item < n; ++item) {
    if (!IsTypeItem(item)) continue;
    const std::string root = RootTag(item);
    if (code == kModulationPlugin) {
      const int module = ItemValue(item);
      if (root == kModTreePluginTag && module >= 0 && module < ModuleCount &&
          std::strcmp(ModuleTable[module].Name.c_str(), pluginName) == 0)
        return item;
    } else if (root == kModTreeInternalTag && ItemValue(item) == code) {
      return item;
    }
  }
  return -1;
}

// The loaded module with this exact name, -1 when none.
int FindModule(const char* name) {
  for (int i = 0; i < ModuleCount; ++i)
    if (std::strcmp(ModuleTable[i].Name.c_str(), name) == 0) return i;
  return -1;
}

}  // namespace

// Walks the type table up to its end row; plug-ins always take data.
int ModulationNeedsData(int code) {
  if (code == kModulationPlugin) return 1;
  for (const ModulationTypeInfo& row : ModulationTypeTable) {
    if (row.code == kModulationTableEnd) break;
    if (row.code == code) return row.needsData ? 1 : 0;
  }
  return -1;
}

// Collapses the whole tree, then reveals only the current type's branch.
void MarkModulationTypeTree() {
  const PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr || P_MOD <= 0) return;
  ClearMarks();
  const int n = ItemCount();
  for (int item = 0; item < n; ++item) SetTreeItemAttribute(P_MOD, P_MOD_TREE_MOD, item, ATTR_COLLAPSED, 1);
  const int item = FindTypeItem(pulse->modulation, pulse->pluginName.c_str());
  if (item < 0) return;  // a plug-in that is not loaded: nothing is marked
  SetMark(item, 1);
  for (int parent = ItemParent(item); parent >= 0; parent = ItemParent(parent))
    SetTreeItemAttribute(P_MOD, P_MOD_TREE_MOD, parent, ATTR_COLLAPSED, 0);
  SetActiveTreeItem(P_MOD, P_MOD_TREE_MOD, item);
}

// Steps of a click: marks first, then the type from the item (built-in by
// its keyword tag under "_INT", else the plug-in module of its value);
// the same type keeps its parameters, another one gets its defaults.
int ChooseModulationTreeItem(int item) {
  PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr || item < 0 || !IsTypeItem(item)) return 0;
  ClearMarks();
  SetMark(item, 1);
  int type = pulse->modulation;
  std::string plugin = pulse->pluginName.c_str();
  if (RootTag(item) == kModTreeInternalTag) {
    type = ModulationFromKeyword(ItemTag(item).c_str());
  } else {
    const int module = ItemValue(item);
    if (module < 0 || module >= ModuleCount) return 0;
    type = kModulationPlugin;
    plugin = ModuleTable[module].Name.c_str();
  }
  // A click on the pulse's own type keeps its parameter values.
  if (type == pulse->modulation && plugin == pulse->pluginName.c_str()) return 0;
  pulse->modulation = static_cast<int8_t>(type);
  pulse->pluginName = plugin.c_str();
  DimModulationDataControls();
  const int index = GetCurrentPulse();
  if (!ClearPulseModParams(index)) Log_Status(1, "Error: Cannot Clear Pulse Parameters.");
  ModulationParamResetCb(P_MOD, P_MOD_CMD_RESET, EVENT_COMMIT, nullptr, 0, 0);
  RebuildLibraryTree();
  SelectPulseTreeItem(pulse->id);
  return 1;
}

int ModulationTypeTreeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)callbackData;
  int item = -1;
  if (event == EVENT_SELECTION_CHANGE && eventData2 == 1)
    item = eventData1;
  else if (event != EVENT_LEFT_CLICK ||
           GetTreeItemFromPoint(panel, control, MakePoint(eventData2, eventData1), &item, nullptr) < 0)
    return 0;
  if (item < 0) return 0;
  ChooseModulationTreeItem(item);
  return 0;
}

int ModulationParamResetCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || CurrentPulseRecord() == nullptr) return 0;
  const int index = GetCurrentPulse();
  // Both steps run: a failed set-up still stores what the table holds.
  if (!InitModParams(index)) Log_Status(1, kSetParamsFailed);
  if (!StorePulseModParams(index)) Log_Status(1, kSetParamsFailed);
  return 0;
}

int ModulationParamTableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  const PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr || pulse->modulation == 0) return 0;
  if (pulse->modulation == kModulationPlugin) {
    // A pulse whose plug-in is not loaded keeps its stored settings.
    if (FindModule(pulse->pluginName.c_str()) < 0) return 0;
    Log_Message(3, "Changing plugin settings for '", pulse->pluginName.c_str(), "'...");
  }
  const int index = GetCurrentPulse();
  if (!ReadModParamTable()) Log_Status(1, kSetParamsFailed);
  if (!StorePulseModParams(index)) Log_Status(1, kSetParamsFailed);
  // Values outside their limits are kept; the cells are coloured.
  if (!ParamTable_CheckLimits()) Log_Status(1, "Error: Parameters Out Of Limits");
  return 0;
}
