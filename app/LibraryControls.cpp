// The two small library-tree operations that other units call while they
// work: dimming the library controls around long tasks and marking the tree
// item of a record.
#include <cstdint>

#include "app/PanelIds.h"
#include "app/Records.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kSelectedItemColour = 0x50C0C0;

// Root tags of the record branches of the library tree.
constexpr const char* kPulseRoot = "_PULSELIB";
constexpr const char* kSequenceRoot = "_SEQLIB";
constexpr const char* kMultiSegmentRoot = "_MULTISEG";
constexpr const char* kRfListRoot = "_RFLIST";

// Marks the child of rootTag whose value is id and makes it the active item;
// every other child loses the mark. With expandMatch the match is expanded
// and the others collapsed. Items carry the record ID as their value.
void MarkRecordItem(const char* rootTag, uint32_t id, bool expandMatch) {
  const int panel = PANEL_MAIN;
  const int tree = PANEL_MAIN_TREE_PULSES;
  int root = -1;
  if (GetTreeItemFromTag(panel, tree, rootTag, &root) < 0 || root < 0) return;
  int children = 0;
  if (GetTreeItemNumChildren(panel, tree, root, &children) < 0) return;
  for (int n = 0; n < children; ++n) {
    int item = -1;
    if (GetTreeItemChild(panel, tree, root, n, &item) < 0 || item < 0) continue;
    int value = 0;
    const bool match = GetValueFromIndex(panel, tree, item, &value) >= 0 &&
                       value >= 0 && static_cast<uint32_t>(value) == id;
    SetTreeItemAttribute(panel, tree, item, ATTR_LABEL_BGCOLOR, match ? kSelectedItemColour : VAL_TRANSPARENT);
    if (expandMatch) SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED, match ? 0 : 1);
    if (match) SetActiveTreeItem(panel, tree, item);
  }
}

}  // namespace

void DimLibraryControls(int32_t dimmed) {
  const int controls[] = {PANEL_MAIN_TREE_PULSES,   PANEL_MAIN_CMD_COPY, PANEL_MAIN_CMD_DEL,
                          PANEL_MAIN_CMD_SENTRY_UP, PANEL_MAIN_CMD_SENTRY_DOWN,
                          PANEL_MAIN_CMD_ADD,       PANEL_MAIN_CMD_ADD_P};
  for (int control : controls) SetCtrlAttribute(PANEL_MAIN, control, ATTR_DIMMED, dimmed);
}

void SelectPulseTreeItem(uint32_t id) {
  MarkRecordItem(kPulseRoot, id, true);
  ProcessDrawEvents();
}

void SelectSequenceTreeItem(uint32_t id) { MarkRecordItem(kSequenceRoot, id, false); }

void SelectMultiSegmentTreeItem(uint32_t id) { MarkRecordItem(kMultiSegmentRoot, id, false); }

void SelectRfListTreeItem(uint32_t id) { MarkRecordItem(kRfListRoot, id, false); }
