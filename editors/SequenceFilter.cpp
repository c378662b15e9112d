// Filter and report settings of the shown sequence in their dialogs.
//
// Both dialogs mirror the shown sequence after every refresh, except an
// open dialog that holds that sequence already (it keeps the user's choices
// not yet accepted); their values go back into the record only when the
// user applies or accepts in the dialog.
#include "editors/SequenceFilter.h"

#include <string>
#include <vector>

#include "app/PanelIds.h"
#include "editors/BasebandFilter.h"
#include "editors/ReportDialog.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/SequenceEditorPage.h"

uint32_t ReportDialogSequenceId = 0;
uint32_t FilterDialogSequenceId = 0;

namespace {

bool CurrentValid() { return CurrentSequence >= 0 && CurrentSequence < SequenceCount; }

// Unmarks every marked item of TREE_FILTER, so that at most the one item
// of the sequence's filter type is marked afterwards.
void UnmarkFilterTree() {
  int count = 0;
  if (GetNumTreeItems(FILTER, FILTER_TREE_FILTER, &count) < 0) return;
  for (int item = 0; item < count; ++item) {
    int marked = 0;
    if (GetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, item, ATTR_MARK_STATE, &marked) >= 0 && marked != 0)
      SetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, item, ATTR_MARK_STATE, 0);
  }
}

// The numeric fields; the cut-off is kept in Hz and shown in MHz.
void LoadFilterFields(const SequenceRecord& seq) {
  SetCtrlVal(FILTER, FILTER_CMD_BBFILTER, seq.filterOn);
  SetCtrlVal(FILTER, FILTER_RING_WINDOW, seq.window);
  SetCtrlVal(FILTER, FILTER_NUM_OVS, seq.oversampling);
  SetCtrlVal(FILTER, FILTER_NUM_FREQ, seq.cutoff / 1000000.0);
  SetCtrlVal(FILTER, FILTER_NUM_ALPHA, seq.alpha);
  SetCtrlVal(FILTER, FILTER_NUM_IMPULSE, seq.userFilter.Length());
  SetCtrlVal(FILTER, FILTER_NUM_IMPULSEOVS, seq.userOversampling);
  SetCtrlVal(FILTER, FILTER_STR_USRCMT, seq.userComment.c_str());
}

}  // namespace

int SequenceDialogSlot(uint32_t id) {
  return id == 0 ? -1 : FindSequenceById(id);
}

void CloseSequenceDialogs() {
  if (DATALOG > 0) HidePanel(DATALOG);
  if (FILTER > 0) HidePanel(FILTER);
  ReportDialogSequenceId = 0;
  FilterDialogSequenceId = 0;
}

int ReportRingIndex(const SequenceRecord& seq, const char* const* labels, int labelCount) {
  if (seq.reportOn == 0) return 0;
  if (seq.reportPlugin.empty()) return 1;
  for (int k = 2; k < labelCount; ++k)
    if (labels[k] != nullptr && seq.reportPlugin == std::string_view(labels[k])) return k;
  return -1;
}

int SequenceFilterCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid() || FILTER <= 0) return 0;
  const SequenceRecord& seq = SequenceTable[CurrentSequence];
  // The dialog shows the sequence again: an import not yet applied is gone.
  BasebandFilter_DiscardImport();
  LoadFilterFields(seq);
  FilterDialogSequenceId = seq.id;
  UnmarkFilterTree();
  // A type outside 1..9, or a tag the tree does not hold, leaves no item
  // marked, the graph as it was and the dialog unshown.
  const char* tag = BasebandFilter_TagOfType(seq.filterType);
  int item = -1;
  if (tag == nullptr || GetTreeItemFromTag(FILTER, FILTER_TREE_FILTER, tag, &item) < 0 || item < 0) return 0;
  SetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, item, ATTR_MARK_STATE, 1);
  SetActiveTreeItem(FILTER, FILTER_TREE_FILTER, item);
  // The fields the marked filter does not use are dimmed as a user's mark would.
  BasebandFilter_DimFieldsForItem(item);
  if (seq.filterType == FILTER_TYPE_USER && seq.userFilter.Length() > 1)
    BasebandFilter_PlotCoefficients(seq.userFilter.I(), seq.userFilter.Q());
  else
    BasebandFilter_PlotCoefficients({}, {});
  if (panel == TAB_SEDIT && control == TAB_SEDIT_CMD_FILTER) DisplayPanel(FILTER);
  return 0;
}

namespace {

// The format ring's items are "OFF", "Text" and then one per loaded report
// plug-in, labelled with its name; a sequence names its plug-in by label.
// The item of the sequence's report (0, "OFF", for a plug-in that is not
// loaded: no report is made with it) and the ring's item count.
int SequenceReportItem(const SequenceRecord& seq, int* itemCount) {
  int count = 0;
  GetNumListItems(DATALOG, DATALOG_RING_REPORTTYPE, &count);
  std::vector<std::string> labels(static_cast<std::size_t>(count > 0 ? count : 0));
  std::vector<const char*> pointers;
  for (int k = 0; k < count; ++k) {
    char label[256] = "";
    GetLabelFromIndex(DATALOG, DATALOG_RING_REPORTTYPE, k, label, sizeof label);
    labels[static_cast<std::size_t>(k)] = label;
    pointers.push_back(labels[static_cast<std::size_t>(k)].c_str());
  }
  if (itemCount != nullptr) *itemCount = count;
  const int index = ReportRingIndex(seq, pointers.data(), count);
  return index < 0 ? 0 : index;
}

}  // namespace

int LoadSequenceReportSettings(const SequenceRecord& seq) {
  if (DATALOG <= 0) return 0;
  // The record keeps the settings of a plug-in that is not loaded for the
  // run that has the plug-in again.
  int count = 0;
  const int index = SequenceReportItem(seq, &count);
  if (index < count) SetCtrlIndex(DATALOG, DATALOG_RING_REPORTTYPE, index);
  ReportDialog_ShowSettings(seq);
  ReportDialogSequenceId = seq.id;
  return index;
}

int ShowSequenceInDialogs(const SequenceRecord& seq) {
  // An open dialog that holds this sequence already keeps what the user
  // chose in it and has not accepted yet: an edit of the sequence's table
  // refreshes the page, not the dialog.
  const auto showsIt = [&](int panel, uint32_t held) {
    int visible = 0;
    return panel > 0 && held == seq.id && GetPanelAttribute(panel, ATTR_VISIBLE, &visible) >= 0 && visible != 0;
  };
  if (!showsIt(FILTER, FilterDialogSequenceId)) SequenceFilterCb(0, 0, EVENT_COMMIT, nullptr, 0, 0);
  if (DATALOG <= 0) return 0;
  if (showsIt(DATALOG, ReportDialogSequenceId)) return SequenceReportItem(seq, nullptr);
  return LoadSequenceReportSettings(seq);
}

int SequenceReportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || DATALOG <= 0) return 0;
  // The dialog opens on the shown sequence and holds it until Accept.
  if (CurrentValid()) LoadSequenceReportSettings(SequenceTable[CurrentSequence]);
  DisplayPanel(DATALOG);
  return 0;
}
