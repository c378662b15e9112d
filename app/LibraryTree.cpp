// Library tree: the rebuild from the record tables, the click that selects a
// record and brings up its editor page, and the hide mode.
#include "app/LibraryTree.h"

#include <cstring>

#include "app/Log.h"
#include "app/LogSinks.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "editors/MultiSegmentEditor.h"
#include "editors/PluginTrees.h"
#include "editors/PulseEditor.h"
#include "editors/RfListEditor.h"
#include "editors/SequenceTable.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/UserInterface.h"

namespace {

// The five editor pages of a pulse, in tree order, with the sub-panel each
// displays and the control that takes the input focus.
struct PulsePageRow {
  const char* label;
  int* panel;
  int* firstControl;
};
const PulsePageRow kPulsePages[] = {
    {"Timing", &P_TIM, &P_TIM_RING_PREDELAY},
    {"Settings", &P_MISC, &P_MISC_NUM_LEVEL},
    {"Jitter", &P_JIT, &P_JIT_RADIO_JITTER1},
    {"Modulation", &P_MOD, &P_MOD_TREE_MOD},
    {"Marker", &P_MARKER, &P_MARKER_R_M1_DELAY},
};

// Editor pages in the order they are hidden.
const int kEditorPages[] = {PAGE_PULSE_EDITOR, PAGE_SEQUENCE_EDITOR, PAGE_SEQUENCE_VIEW,
                            PAGE_PLUGIN_INFO,  PAGE_MULTI_SEGMENT,   PAGE_RF_LIST};

// Every item function addresses PANEL_MAIN's library tree; item indexes
// are valid only until the next insert or delete.
int Tree() { return PANEL_MAIN_TREE_PULSES; }

// Pages are addressed by page number; a page whose builder is not part of
// the program has no tab and is passed over.
void SetPageVisible(int page, int visible) {
  const int index = MainTabIndex(page);
  if (index >= 0) SetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, index, ATTR_VISIBLE, visible);
}

void SetActivePage(int page) {
  const int index = MainTabIndex(page);
  if (index >= 0) SetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, index);
}

// Removes every child (with its descendants) of the root tagged rootTag.
void DeleteRootChildren(const char* rootTag) {
  int root = -1;
  if (GetTreeItemFromTag(PANEL_MAIN, Tree(), rootTag, &root) < 0 || root < 0) return;
  for (;;) {
    int child = -1;
    if (GetTreeItemChild(PANEL_MAIN, Tree(), root, 0, &child) < 0 || child < 0) return;
    if (DeleteTreeItem(PANEL_MAIN, Tree(), child) < 0) return;
  }
}

// Appends a record item under the root tagged rootTag; the index of the new
// item, or -1 when the root is missing or the insert fails.
// The root is looked up by its tag each time because inserts under the
// roots above it move its index. The tag base is the record name; the tree
// makes it unique, so records of the same name still get items of their own.
int AppendRecordItem(const char* rootTag, const char* name, uint32_t id, int image) {
  int root = -1;
  if (GetTreeItemFromTag(PANEL_MAIN, Tree(), rootTag, &root) < 0 || root < 0) return -1;
  const int item = InsertTreeItem(PANEL_MAIN, Tree(), VAL_CHILD, root, VAL_LAST, name, name,
                                  nullptr, static_cast<int>(id));
  if (item < 0) return -1;
  SetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_IMAGE_INDEX, image);
  SetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_COLLAPSED_IMAGE_INDEX, image);
  return item;
}

// The project header's hide flag: it travels with the project file.
bool HideMode() { return g_Settings.Project.hideEntries != 0; }

// The root (level 0) item above item, or -1.
int RootOf(int item) {
  int root = item;
  for (;;) {
    int parent = -1;
    if (GetTreeItemParent(PANEL_MAIN, Tree(), root, &parent) < 0) return -1;
    if (parent < 0) return root;
    root = parent;
  }
}

int ItemLevel(int item) {
  int level = -1;
  if (GetTreeItemLevel(PANEL_MAIN, Tree(), item, &level) < 0) return -1;
  return level;
}

int ItemValue(int item) {
  int value = 0;
  if (GetValueFromIndex(PANEL_MAIN, Tree(), item, &value) < 0) return -1;
  return value;
}

LibraryKind KindOfRoot(int root) {
  char tag[UI_TAG_LEN] = "";
  if (root < 0 || GetTreeItemTag(PANEL_MAIN, Tree(), root, tag, sizeof tag) < 0) return LIBRARY_NONE;
  if (std::strcmp(tag, kPulseLibraryTag) == 0) return LIBRARY_PULSE;
  if (std::strcmp(tag, kSequenceLibraryTag) == 0) return LIBRARY_SEQUENCE;
  if (std::strcmp(tag, kMultiSegmentLibraryTag) == 0) return LIBRARY_MULTI_SEGMENT;
  if (std::strcmp(tag, kRfListLibraryTag) == 0) return LIBRARY_RF_LIST;
  if (std::strcmp(tag, kPluginLibraryTag) == 0) return LIBRARY_PLUGIN;
  return LIBRARY_NONE;
}

// What item stands for; for a pulse's page item, its pulse.
LibrarySelection SelectionOf(int item) {
  LibrarySelection sel;
  if (item < 0) return sel;
  const int level = ItemLevel(item);
  if (level < 1) return sel;
  const LibraryKind kind = KindOfRoot(RootOf(item));
  if (kind == LIBRARY_NONE) return sel;
  int recordItem = item;
  if (kind == LIBRARY_PULSE && level >= 2) {
    if (GetTreeItemParent(PANEL_MAIN, Tree(), item, &recordItem) < 0 || recordItem < 0) return sel;
  }
  sel.kind = kind;
  sel.item = recordItem;
  sel.value = ItemValue(recordItem);
  return sel;
}

// The marks and the active item of the tree, by record ID, so that a
// rebuild puts them back on the same records: the editor that is open keeps
// its marked item, and Copy, Delete and Move keep working on the item the
// user chose.
struct TreeSelectionState {
  struct Mark {
    bool present = false;
    uint32_t id = 0;
    int collapsed = 1;
  };
  Mark marks[4];               // by root, in the order of kRecordRoots
  LibraryKind activeKind = LIBRARY_NONE;
  int activeValue = -1;        // the active record's ID
  int activePage = -1;         // 0..4 when a pulse's page item was active
};

struct RecordRoot {
  const char* tag;
  LibraryKind kind;
  void (*select)(uint32_t id);
  int (*find)(uint32_t id);  // table position of the record with the ID, -1 when none
};
const RecordRoot kRecordRoots[] = {
    {kPulseLibraryTag, LIBRARY_PULSE, &SelectPulseTreeItem, &FindPulseById},
    {kSequenceLibraryTag, LIBRARY_SEQUENCE, &SelectSequenceTreeItem, &FindSequenceById},
    {kMultiSegmentLibraryTag, LIBRARY_MULTI_SEGMENT, &SelectMultiSegmentTreeItem, &FindMultiSegmentById},
    {kRfListLibraryTag, LIBRARY_RF_LIST, &SelectRfListTreeItem, &FindRfListById},
};

// Marks and active item of records that hide mode keeps out of the tree:
// they come back with their records when hide mode is switched off. A
// record deleted meanwhile is forgotten, so its ID never marks a new record.
TreeSelectionState g_HiddenSelection;

// Records of the kind with the ID in the table.
bool RecordExists(LibraryKind kind, int id) {
  if (id < 0) return false;
  for (const RecordRoot& root : kRecordRoots)
    if (root.kind == kind) return root.find(static_cast<uint32_t>(id)) >= 0;
  return false;
}

// The record item under the root tagged rootTag whose value is id, or -1.
int RecordItem(const char* rootTag, int id) {
  int root = -1, children = 0;
  if (GetTreeItemFromTag(PANEL_MAIN, Tree(), rootTag, &root) < 0 || root < 0) return -1;
  if (GetTreeItemNumChildren(PANEL_MAIN, Tree(), root, &children) < 0) return -1;
  for (int n = 0; n < children; ++n) {
    int item = -1;
    if (GetTreeItemChild(PANEL_MAIN, Tree(), root, n, &item) < 0 || item < 0) continue;
    if (ItemValue(item) == id) return item;
  }
  return -1;
}

TreeSelectionState ReadTreeSelection() {
  TreeSelectionState state;
  for (int r = 0; r < 4; ++r) {
    int root = -1, children = 0;
    if (GetTreeItemFromTag(PANEL_MAIN, Tree(), kRecordRoots[r].tag, &root) < 0 || root < 0) continue;
    GetTreeItemNumChildren(PANEL_MAIN, Tree(), root, &children);
    for (int n = 0; n < children; ++n) {
      int item = -1, colour = VAL_TRANSPARENT;
      if (GetTreeItemChild(PANEL_MAIN, Tree(), root, n, &item) < 0 || item < 0) continue;
      GetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_LABEL_BGCOLOR, &colour);
      const int value = ItemValue(item);
      if (colour == VAL_TRANSPARENT || value < 0) continue;
      state.marks[r].present = true;
      state.marks[r].id = static_cast<uint32_t>(value);
      GetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_COLLAPSED, &state.marks[r].collapsed);
      break;
    }
  }
  int active = -1;
  if (GetActiveTreeItem(PANEL_MAIN, Tree(), &active) >= 0 && active >= 0) {
    const LibrarySelection sel = SelectionOf(active);
    if (sel.kind != LIBRARY_NONE && sel.kind != LIBRARY_PLUGIN) {
      state.activeKind = sel.kind;
      state.activeValue = sel.value;
      if (sel.item != active) {
        int children = 0;
        GetTreeItemNumChildren(PANEL_MAIN, Tree(), sel.item, &children);
        for (int n = 0; n < children; ++n) {
          int child = -1;
          if (GetTreeItemChild(PANEL_MAIN, Tree(), sel.item, n, &child) >= 0 && child == active) state.activePage = n;
        }
      }
    }
  }
  return state;
}

// The state read from the tree, completed by the marks and the active item
// of records that were hidden at the last rebuild and still exist.
TreeSelectionState WithHiddenSelection(TreeSelectionState state) {
  // A tree without record items is a new window or a cleared project:
  // nothing of an earlier one is carried over.
  int items = 0;
  for (const RecordRoot& root : kRecordRoots) {
    int node = -1, children = 0;
    if (GetTreeItemFromTag(PANEL_MAIN, Tree(), root.tag, &node) >= 0 && node >= 0)
      GetTreeItemNumChildren(PANEL_MAIN, Tree(), node, &children);
    items += children;
  }
  if (items == 0) return state;
  for (int r = 0; r < 4; ++r) {
    const TreeSelectionState::Mark& kept = g_HiddenSelection.marks[r];
    if (!state.marks[r].present && kept.present && RecordExists(kRecordRoots[r].kind, static_cast<int>(kept.id)))
      state.marks[r] = kept;
  }
  if (state.activeKind == LIBRARY_NONE && g_HiddenSelection.activeKind != LIBRARY_NONE &&
      RecordExists(g_HiddenSelection.activeKind, g_HiddenSelection.activeValue)) {
    state.activeKind = g_HiddenSelection.activeKind;
    state.activeValue = g_HiddenSelection.activeValue;
    state.activePage = g_HiddenSelection.activePage;
  }
  return state;
}

// Marks again the records that are still shown; a record that was deleted
// leaves its root unmarked, one that is hidden now is kept for later.
void RestoreTreeSelection(const TreeSelectionState& state) {
  g_HiddenSelection = TreeSelectionState();
  for (int r = 0; r < 4; ++r) {
    const TreeSelectionState::Mark& mark = state.marks[r];
    if (!mark.present) continue;
    const int item = RecordItem(kRecordRoots[r].tag, static_cast<int>(mark.id));
    if (item < 0) {
      if (RecordExists(kRecordRoots[r].kind, static_cast<int>(mark.id))) g_HiddenSelection.marks[r] = mark;
      continue;
    }
    kRecordRoots[r].select(mark.id);
    if (kRecordRoots[r].kind == LIBRARY_PULSE)
      SetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_COLLAPSED, mark.collapsed);
  }
  // The marking made items active on the way; the item that was active
  // before is active again, or none when its record has no item now.
  int active = -1;
  for (const RecordRoot& root : kRecordRoots) {
    if (root.kind != state.activeKind) continue;
    active = RecordItem(root.tag, state.activeValue);
    int page = -1;
    if (active >= 0 && state.activePage >= 0 &&
        GetTreeItemChild(PANEL_MAIN, Tree(), active, state.activePage, &page) >= 0 && page >= 0)
      active = page;
  }
  if (active < 0 && RecordExists(state.activeKind, state.activeValue)) {
    g_HiddenSelection.activeKind = state.activeKind;
    g_HiddenSelection.activeValue = state.activeValue;
    g_HiddenSelection.activePage = state.activePage;
  }
  SetActiveTreeItem(PANEL_MAIN, Tree(), active);
}

void ReportModParamFailures(int position) {
  if (!InitModParams(position)) Log_Status(1, "Error: Cannot initialize parameters.");
  if (!LoadPulseModParams(position)) Log_Status(1, "Error: Cannot set pulse parameters.");
  if (!ShowModParamTable()) Log_Status(1, "Error: Cannot set parameter table.");
}

// A click on a pulse (level 1) or one of its pages (level 2). A second
// click on the expanded item of the current pulse only folds it away; any
// other click selects the pulse and shows the requested editor page. A key
// that moved onto the item selects it the same way, never folds it, and
// leaves the highlight on the item it reached (a page item included).
void ClickPulse(int item, const LibrarySelection& sel, bool byKey) {
  const int level = ItemLevel(item);
  char page[UI_MAX_PATH] = "Timing";
  if (level >= 2) GetLabelFromIndex(PANEL_MAIN, Tree(), item, page, sizeof page);
  if (sel.value < 0) return;
  const int position = FindPulseById(static_cast<uint32_t>(sel.value));
  if (position < 0) return;
  if (position == CurrentPulse && level == 1 && !byKey) {
    int collapsed = 1;
    GetTreeItemAttribute(PANEL_MAIN, Tree(), sel.item, ATTR_COLLAPSED, &collapsed);
    if (!collapsed) {
      SetTreeItemAttribute(PANEL_MAIN, Tree(), sel.item, ATTR_COLLAPSED, 1);
      return;
    }
  }
  SetCurrentPulse(position);
  ReportModParamFailures(position);
  SelectPulseTreeItem(PulseTable[position].id);
  SetPageVisible(PAGE_PULSE_EDITOR, 1);
  for (int hidden : {PAGE_SEQUENCE_VIEW, PAGE_SEQUENCE_EDITOR, PAGE_PLUGIN_INFO, PAGE_MULTI_SEGMENT,
                     PAGE_RF_LIST})
    SetPageVisible(hidden, 0);
  SetActiveTreeItem(PANEL_MAIN, Tree(), byKey ? item : sel.item);
  SetActivePage(PAGE_PULSE_EDITOR);
  ShowPulseEditorPage(page);
  ShowPulseInEditor();
}

// Generate stays dimmed for a sequence without a waveform file name.
void ClickSequence(const LibrarySelection& sel) {
  if (sel.value < 0) return;
  const int position = FindSequenceById(static_cast<uint32_t>(sel.value));
  if (position < 0) return;
  CurrentSequence = position;
  SelectSequenceTreeItem(SequenceTable[position].id);
  RefreshSequenceEditor(position);
  SetPageVisible(PAGE_PULSE_EDITOR, 0);
  SetPageVisible(PAGE_SEQUENCE_VIEW, 0);
  SetPageVisible(PAGE_SEQUENCE_EDITOR, 1);
  for (int hidden : {PAGE_PLUGIN_INFO, PAGE_MULTI_SEGMENT, PAGE_RF_LIST}) SetPageVisible(hidden, 0);
  DimGenerateButton(SequenceTable[position].waveFile.empty() ? 1 : 0);
  SetActivePage(PAGE_SEQUENCE_EDITOR);
}

void ClickMultiSegment(const LibrarySelection& sel) {
  if (sel.value < 0) return;
  const int position = FindMultiSegmentById(static_cast<uint32_t>(sel.value));
  if (position < 0 || position >= MultiSegmentCount) return;
  CurrentMultiSegment = position;
  SelectMultiSegmentTreeItem(MultiSegmentTable[position].id);
  ShowOnlyEditorPage(PAGE_MULTI_SEGMENT);
  ShowMultiSegment(position);
}

void ClickRfList(const LibrarySelection& sel) {
  if (sel.value < 0) return;
  const int position = FindRfListById(static_cast<uint32_t>(sel.value));
  if (position < 0 || position >= RfListCount) return;
  CurrentRfList = position;
  SelectRfListTreeItem(RfListTable[position].id);
  ShowOnlyEditorPage(PAGE_RF_LIST);
  ShowRfList(position);
}

}  // namespace

// A hidden page goes out of view with its contents: when the front page was
// one of them, the Log page comes to the front, as after a new or loaded
// project, so that no editor stays drawn (and editable) without its tab.
void HideEditorPages() {
  int front = -1;
  GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &front);
  bool frontHidden = false;
  for (int page : kEditorPages) {
    SetPageVisible(page, 0);
    frontHidden = frontHidden || (front >= 0 && MainTabIndex(page) == front);
  }
  if (frontHidden) SetActivePage(PAGE_LOG);
}

void ShowOnlyEditorPage(int page) {
  for (int other : kEditorPages)
    if (other != page) SetPageVisible(other, 0);
  SetPageVisible(page, 1);
  SetActivePage(page);
}

void ActivateMainPage(int page) { SetActivePage(page); }

void DimGenerateButton(int dimmed) {
  SetCtrlAttribute(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE, ATTR_DIMMED, dimmed);
}

void ShowPulseEditorPage(const char* page) {
  const PulsePageRow* shown = &kPulsePages[0];
  for (const PulsePageRow& row : kPulsePages)
    if (page != nullptr && std::strcmp(page, row.label) == 0) shown = &row;
  for (const PulsePageRow& row : kPulsePages)
    if (&row != shown && *row.panel > 0) HidePanel(*row.panel);
  if (*shown->panel > 0) DisplayPanel(*shown->panel);
  for (const PulsePageRow& row : kPulsePages)
    if (*row.panel > 0) SetActiveCtrl(*row.panel, *row.firstControl);
}

LibrarySelection GetLibrarySelection() {
  int item = -1;
  if (GetActiveTreeItem(PANEL_MAIN, Tree(), &item) < 0) return LibrarySelection{};
  return SelectionOf(item);
}

void ClearLibraryTree() {
  for (const char* root : {kPulseLibraryTag, kSequenceLibraryTag, kMultiSegmentLibraryTag, kRfListLibraryTag})
    DeleteRootChildren(root);
  g_HiddenSelection = TreeSelectionState();
}

void RebuildLibraryTree() {
  const TreeSelectionState selection = WithHiddenSelection(ReadTreeSelection());
  for (const char* root : {kPulseLibraryTag, kSequenceLibraryTag, kMultiSegmentLibraryTag, kRfListLibraryTag})
    DeleteRootChildren(root);
  const bool hide = HideMode();

  // Page items carry running numbers that nothing reads.
  int pageValue = PulseCount + SequenceCount;
  for (int p = 0; p < PulseCount; ++p) {
    const PulseRecord& pulse = PulseTable[p];
    if (hide && pulse.hidden == 1) continue;
    const int image = pulse.modulation == kModulationPluginCode ? IMAGE_PLUGIN_PULSE : IMAGE_PULSE;
    const int item = AppendRecordItem(kPulseLibraryTag, pulse.name.c_str(), pulse.id, image);
    if (item < 0) continue;
    SetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT);
    SetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_COLLAPSED, 1);
    for (const PulsePageRow& row : kPulsePages) {
      const int pageItem = InsertTreeItem(PANEL_MAIN, Tree(), VAL_CHILD, item, VAL_LAST, row.label,
                                          nullptr, nullptr, pageValue++);
      if (pageItem < 0) continue;
      SetTreeItemAttribute(PANEL_MAIN, Tree(), pageItem, ATTR_IMAGE_INDEX, IMAGE_PULSE_PAGE);
      SetTreeItemAttribute(PANEL_MAIN, Tree(), pageItem, ATTR_COLLAPSED_IMAGE_INDEX, IMAGE_PULSE_PAGE);
    }
  }
  for (int s = 0; s < SequenceCount; ++s) {
    const SequenceRecord& sequence = SequenceTable[s];
    if (hide && sequence.hidden == 1) continue;
    AppendRecordItem(kSequenceLibraryTag, sequence.name.c_str(), sequence.id, IMAGE_SEQUENCE);
  }
  for (int m = 0; m < MultiSegmentCount; ++m)
    AppendRecordItem(kMultiSegmentLibraryTag, MultiSegmentTable[m].name.c_str(), MultiSegmentTable[m].id,
                     IMAGE_LIST);
  for (int r = 0; r < RfListCount; ++r)
    AppendRecordItem(kRfListLibraryTag, RfListTable[r].name.c_str(), RfListTable[r].id, IMAGE_LIST);
  RestoreTreeSelection(selection);
  ProcessDrawEvents();
}

int LibraryTreeCb(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2) {
  (void)callbackData;
  // A key that moved the highlight selects as a click does (eventData1 =
  // the item); the selection change that follows a click is the click's.
  const bool byKey = event == EVENT_SELECTION_CHANGE && eventData2 == 1;
  int item = -1;
  if (byKey) {
    item = eventData1;
  } else if (event != EVENT_LEFT_CLICK ||
             GetTreeItemFromPoint(panel, control, MakePoint(eventData2, eventData1), &item, nullptr) < 0) {
    return 0;
  }
  if (item < 0) return 0;
  const LibrarySelection sel = SelectionOf(item);
  if (sel.kind != LIBRARY_NONE) ClearStatusLineError();
  switch (sel.kind) {
    case LIBRARY_PULSE: ClickPulse(item, sel, byKey); break;
    case LIBRARY_SEQUENCE: ClickSequence(sel); break;
    case LIBRARY_MULTI_SEGMENT: ClickMultiSegment(sel); break;
    case LIBRARY_RF_LIST: ClickRfList(sel); break;
    case LIBRARY_PLUGIN:
      ShowPluginInfo(sel.value);
      ShowOnlyEditorPage(PAGE_PLUGIN_INFO);
      break;
    case LIBRARY_NONE: break;
  }
  // The keyboard stays in the tree for the next key; the pulse editor's
  // pages keep their first controls as the ones that take the focus.
  if (byKey) SetActiveCtrl(panel, control);
  return 0;
}

void HideTreeEntriesCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_PRJ_HIDE) return;
  int checked = 0;
  GetMenuBarAttribute(menuBar, menuItem, ATTR_CHECKED, &checked);
  const int32_t hide = checked ? 0 : 1;
  g_Settings.Project.hideEntries = hide;
  SetMenuBarAttribute(menuBar, menuItem, ATTR_CHECKED, hide);
  RebuildLibraryTree();
}
