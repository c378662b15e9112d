// The data source editor's callbacks and table operations.
#include "editors/DataSourceEditor.h"

#include <cstring>
#include <vector>

#include "app/PanelIds.h"
#include "app/PulseRecord.h"
#include "app/TypedText.h"
#include "editors/ModDataTable.h"
#include "editors/PulseEditor.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/dialogs/DataSourceDialog.h"

namespace {

constexpr std::size_t kUsersMessageMax = 1021;  // characters of the refusal at most

int RootItem(int panel, int tree) {
  int root = -1;
  if (GetTreeItemFromTag(panel, tree, kDataSourceRootTag, &root) < 0) return -1;
  return root;
}

// The source item that delete and move act on: the tree's active item,
// below the "_DATA" root. Its ID, or 0 when there is none.
uint32_t ActiveSourceId(int panel, int tree) {
  int item = -1, level = 0;
  if (GetActiveTreeItem(panel, tree, &item) < 0 || item < 0) return 0;
  if (GetTreeItemLevel(panel, tree, item, &level) < 0 || level < 1) return 0;
  int top = item;
  for (int parent = -1; GetTreeItemParent(panel, tree, top, &parent) >= 0 && parent >= 0;) top = parent;
  char tag[UI_TAG_LEN] = "";
  if (GetTreeItemTag(panel, tree, top, tag, sizeof tag) < 0 || std::strcmp(tag, kDataSourceRootTag) != 0) return 0;
  int value = 0;
  if (GetValueFromIndex(panel, tree, item, &value) < 0 || value <= 0) return 0;
  return static_cast<uint32_t>(value);
}

// ID of the source the fields show; 0 when they show none (IDs start at 1).
uint32_t g_shownId = 0;

bool ValidCurrent() { return CurrentDataSource >= 0 && CurrentDataSource < DataSourceCount; }

// The current source when the fields show it, else nullptr: an edit is
// written only into the record the fields were filled from.
DataSourceRecord* ShownCurrent() {
  if (!ValidCurrent() || DataSourceTable[CurrentDataSource].id != g_shownId) return nullptr;
  return &DataSourceTable[CurrentDataSource];
}

// The fields of a shown source are operable; without one they are dimmed.
void DimFields(int panel, int dimmed) {
  for (int control : {DATAEDIT_CMD_DEL, DATAEDIT_STR_NAME, DATAEDIT_STR_COMMENT, DATAEDIT_STR_DATA})
    SetCtrlAttribute(panel, control, ATTR_DIMMED, dimmed);
}

// No source shown: fields dimmed and empty.
void ShowNoSource(int panel) {
  DimFields(panel, 1);
  SetCtrlVal(panel, DATAEDIT_STR_NAME, "");
  SetCtrlVal(panel, DATAEDIT_STR_COMMENT, "");
  ResetTextBox(panel, DATAEDIT_STR_DATA, "");
  CurrentDataSource = -1;
  g_shownId = 0;
  RebuildDataSourceTree();
  SetCtrlVal(panel, DATAEDIT_STR_BITS, "");
}

// The pulse editor's data table shows source names and comments.
void RefreshPulseDataTable() {
  if (const PulseRecord* pulse = CurrentPulseRecord()) FillPulseDataTable(*pulse);
}

}  // namespace

// ---- Table operations

int DataSourceAppend() {
  if (DataSourceCount >= kMaxDataSources) return -1;
  InitDataSource(&DataSourceTable[DataSourceCount]);
  return DataSourceCount++;
}

int DataSourceIndexById(uint32_t id) {
  for (int i = 0; i < DataSourceCount; ++i)
    if (DataSourceTable[i].id == id) return i;
  return -1;
}

std::string DataSourceUsersMessage(uint32_t id) {
  std::string message = "This data source is used in pulses:\n";
  bool used = false;
  for (int p = 0; p < PulseCount; ++p) {
    const PulseRecord& pulse = PulseTable[p];
    for (const ModulationDataRow& row : pulse.dataRows) {
      if (row.kind != DSRC_USER || row.source != static_cast<int>(id)) continue;
      message += pulse.name.view();
      message += '\n';
      used = true;
      break;  // one line per pulse
    }
  }
  if (!used) return std::string();
  if (message.size() > kUsersMessageMax)
    message.resize(cz::Utf8PrefixLength(message, kUsersMessageMax));
  return message;
}

int DataSourceRemoveAt(int index) {
  if (index < 0 || index >= DataSourceCount) return 0;
  for (int i = index + 1; i < DataSourceCount; ++i) DataSourceTable[i - 1] = DataSourceTable[i];
  --DataSourceCount;
  return 1;
}

int DataSourceMove(int index, int delta) {
  const int to = index + delta;
  if (index < 0 || index >= DataSourceCount || to < 0 || to >= DataSourceCount) return -1;
  std::swap(DataSourceTable[index], DataSourceTable[to]);
  return to;
}

int DataSourceDuplicateName(int index) {
  if (index < 0 || index >= DataSourceCount) return -1;
  for (int i = 0; i < DataSourceCount; ++i)
    if (i != index && DataSourceTable[i].name == DataSourceTable[index].name) return i;
  return -1;
}

std::string DataSourceBitCountText(const char* text) {
  int count = 0;
  std::vector<char> bits(kDataBitsBufferSize);
  if (!ParseDataBits(text, &count, bits.data())) return "-";
  return cz::FormatC("%d", count);
}

// ---- Tree and selection

void RebuildDataSourceTree() {
  const int panel = DATAEDIT, tree = DATAEDIT_TREE_DATA;
  if (panel <= 0) return;
  const int root = RootItem(panel, tree);
  if (root < 0) return;
  for (int child = -1; GetTreeItemChild(panel, tree, root, 0, &child) >= 0 && child >= 0;)
    if (DeleteTreeItem(panel, tree, child) < 0) break;
  int current = -1;
  for (int i = 0; i < DataSourceCount; ++i) {
    const DataSourceRecord& source = DataSourceTable[i];
    const int item = InsertTreeItem(panel, tree, VAL_CHILD, root, VAL_LAST, source.name.c_str(),
                                    source.name.c_str(), nullptr, static_cast<int>(source.id));
    if (item < 0) break;
    SetTreeCellAttribute(panel, tree, item, 1, ATTR_LABEL_TEXT, source.comment.c_str());
    SetTreeCellAttribute(panel, tree, item, 0, ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT);
    SetTreeCellAttribute(panel, tree, item, 1, ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT);
    const int image = i == CurrentDataSource ? DSRC_IMAGE_EDITED : DSRC_IMAGE_SOURCE;
    SetTreeItemAttribute(panel, tree, item, ATTR_IMAGE_INDEX, image);
    SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, image);
    if (i == CurrentDataSource) current = item;
  }
  SetTreeItemAttribute(panel, tree, root, ATTR_COLLAPSED, 0);
  // Delete and move act on the active item: it stays the shown source.
  if (current >= 0) SetActiveTreeItem(panel, tree, current);
  ProcessDrawEvents();
}

void SelectDataSource(int panel, int tree, int item) {
  int level = 0;
  if (item >= 0) {
    if (GetTreeItemLevel(panel, tree, item, &level) < 0) return;
  }
  if (item < 0 || level != 1) {
    ShowNoSource(panel);
    return;
  }
  int count = 0;
  GetNumTreeItems(panel, tree, &count);
  for (int i = 1; i < count; ++i) {
    int image = -1;
    if (i != item && GetTreeItemAttribute(panel, tree, i, ATTR_IMAGE_INDEX, &image) >= 0 &&
        image == DSRC_IMAGE_EDITED) {
      SetTreeItemAttribute(panel, tree, i, ATTR_IMAGE_INDEX, DSRC_IMAGE_SOURCE);
      SetTreeItemAttribute(panel, tree, i, ATTR_COLLAPSED_IMAGE_INDEX, DSRC_IMAGE_SOURCE);
    }
  }
  SetTreeItemAttribute(panel, tree, item, ATTR_IMAGE_INDEX, DSRC_IMAGE_EDITED);
  SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, DSRC_IMAGE_EDITED);
  DimFields(panel, 0);
  int id = 0;
  if (GetValueFromIndex(panel, tree, item, &id) < 0 || id <= 0) return;
  const int index = DataSourceIndexById(static_cast<uint32_t>(id));
  if (index < 0) return;
  const DataSourceRecord& source = DataSourceTable[index];
  SetCtrlVal(panel, DATAEDIT_STR_NAME, source.name.c_str());
  SetCtrlVal(panel, DATAEDIT_STR_COMMENT, source.comment.c_str());
  ResetTextBox(panel, DATAEDIT_STR_DATA, source.data.c_str());
  CurrentDataSource = index;
  g_shownId = source.id;
  // The count comes from the record itself: a bit text longer than the text
  // box holds (from a project file) is shown, never cut by reading it back.
  SetCtrlVal(panel, DATAEDIT_STR_BITS, DataSourceBitCountText(source.data.c_str()).c_str());
}

const DataSourceRecord* ShownDataSource() { return ShownCurrent(); }

void KeepShownDataSource(const DataSourceRecord* shown) {
  if (shown != nullptr && ValidCurrent() && shown == &DataSourceTable[CurrentDataSource]) g_shownId = shown->id;
}

// ---- Callbacks

namespace {

// Rebuilds the tree and shows the dialog. The fields are brought in line
// with CurrentDataSource first: after a project was cleared or loaded they
// could still hold a source of the old project, and an edit would then be
// written into whichever record now has that index.
void ShowDataSourceDialog() {
  RebuildDataSourceTree();
  const int panel = DATAEDIT, tree = DATAEDIT_TREE_DATA;
  const int root = RootItem(panel, tree);
  if (ValidCurrent() && root >= 0)
    SelectDataSource(panel, tree, root + 1 + CurrentDataSource);
  else
    ShowNoSource(panel);
  DisplayPanel(panel);
}

}  // namespace

int ShowDataSourcesButtonCb(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT && DATAEDIT > 0) ShowDataSourceDialog();
  return 0;
}

void ShowDataSourcesCb(int, int menuItem, void*, int) {
  if (menuItem == MBAR_PRJ_DSRC && DATAEDIT > 0) ShowDataSourceDialog();
}

int CloseDataSourcesCb(int panel, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) HidePanel(panel);
  return 0;
}

int AddDataSourceCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  if (DataSourceAppend() >= 0) {
    RebuildDataSourceTree();
    RefreshPulseDataTable();
  }
  return 0;
}

int DeleteDataSourceCb(int panel, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  const uint32_t id = ActiveSourceId(panel, DATAEDIT_TREE_DATA);
  if (id == 0) return 0;
  const std::string users = DataSourceUsersMessage(id);
  if (!users.empty()) {
    MessagePopup("Error", users.c_str());
    return 0;
  }
  const int index = DataSourceIndexById(id);
  if (index < 0) return 0;
  const std::string question =
      "Are you sure you want to delete the data source '" + DataSourceTable[index].name.str() + "' ?";
  if (ConfirmPopup("Delete Item", question.c_str()) != 1) return 0;
  DataSourceRemoveAt(index);
  ShowNoSource(panel);
  // The Pulse Editor's source ring listed the sources by position: it is
  // closed, so that no item of the old list names a source now.
  RefreshPulseDataTable();
  return 0;
}

namespace {

int MoveActive(int panel, int event, int delta) {
  if (event != EVENT_COMMIT) return 0;
  const uint32_t id = ActiveSourceId(panel, DATAEDIT_TREE_DATA);
  if (id == 0) return 0;
  const int from = DataSourceIndexById(id);
  const int to = DataSourceMove(from, delta);
  if (to < 0) return 0;
  // The shown source keeps being shown at its new place.
  if (CurrentDataSource == from)
    CurrentDataSource = to;
  else if (CurrentDataSource == to)
    CurrentDataSource = from;
  RebuildDataSourceTree();
  // An open source ring of the Pulse Editor lists the old order: it is
  // closed, so that an item picked names the source the user saw.
  RefreshPulseDataTable();
  return 0;
}

}  // namespace

int MoveDataSourceUpCb(int panel, int, int event, void*, int, int) { return MoveActive(panel, event, -1); }

int MoveDataSourceDownCb(int panel, int, int event, void*, int, int) { return MoveActive(panel, event, +1); }

int DataSourceTextCb(int panel, int control, int event, void*, int, int) {
  DataSourceRecord* shown = ShownCurrent();
  if (shown == nullptr) return 0;
  DataSourceRecord& source = *shown;
  if (event == EVENT_COMMIT && (control == DATAEDIT_STR_NAME || control == DATAEDIT_STR_COMMENT)) {
    // A text the record cannot hold whole is refused (the reason on the
    // status line); the fields show what is stored.
    TakeTypedText(&source.name, TypedCtrlText(panel, DATAEDIT_STR_NAME), "Data source name");
    TakeTypedText(&source.comment, TypedCtrlText(panel, DATAEDIT_STR_COMMENT), "Comment");
    SetCtrlVal(panel, DATAEDIT_STR_NAME, source.name.c_str());
    SetCtrlVal(panel, DATAEDIT_STR_COMMENT, source.comment.c_str());
    if (DataSourceDuplicateName(CurrentDataSource) >= 0)
      MessagePopup("Warning",
                   "The data source name already exists.\n"
                   "Reusing the same data source name is possible but not suggested.");
    RebuildDataSourceTree();
    RefreshPulseDataTable();
    return 0;
  }
  if ((event == EVENT_VAL_CHANGED || event == EVENT_COMMIT) && control == DATAEDIT_STR_DATA) {
    std::vector<char> text(kDataTextSize);
    if (GetCtrlVal(panel, DATAEDIT_STR_DATA, text.data(), static_cast<int>(text.size())) < 0) return 0;
    source.data = text.data();
    SetCtrlVal(panel, DATAEDIT_STR_BITS, DataSourceBitCountText(source.data.c_str()).c_str());
  }
  return 0;
}

int DataSourceTreeCb(int panel, int control, int event, void*, int eventData1, int eventData2) {
  if (event == EVENT_LEFT_CLICK) {
    int item = -1, column = 0;
    if (GetTreeItemFromPoint(panel, control, MakePoint(eventData2, eventData1), &item, &column) >= 0)
      SelectDataSource(panel, control, item);
  } else if (event == EVENT_SELECTION_CHANGE && eventData2 == 1) {
    // The highlight moved by keyboard: the shown source follows it, so that
    // Delete and the fields act on the highlighted source.
    SelectDataSource(panel, control, eventData1);
  }
  return 0;
}
