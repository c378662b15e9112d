// Library commands: new, copy, delete and move of pulses, sequences,
// multi-segment waveforms and RF lists.
#include "app/LibraryCommands.h"

#include <new>
#include <string>
#include <utility>

#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "editors/MultiSegmentEditor.h"
#include "editors/PulseEditor.h"
#include "editors/RfListEditor.h"
#include "editors/SequenceFilter.h"
#include "editors/SequenceTable.h"
#include "engine/ModulationTypes.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

int NewPulseNameCounter = 1;
int NewSequenceNameCounter = 1;
int NewMultiSegmentNameCounter = 1;
int NewRfListNameCounter = 1;

namespace {

constexpr const char* kInvalidSelection = "Invalid item selection for moove operation.";
constexpr const char* kCopySuffix = "-new";

// Limits of the tables and the texts with which a full table refuses.
struct TableLimitRow {
  LibraryKind kind;
  int limit;
  const char* newRefusal;   // log line of New
  const char* copyRefusal;  // "Error" popup of Copy
};
const TableLimitRow kTableLimits[] = {
    {LIBRARY_PULSE, kMaxPulses, "*** Max. number of pulses reached.", "Max. number of pulses reached."},
    {LIBRARY_SEQUENCE, kMaxSequences, "*** Max. number of sequences reached.",
     "Max. number of sequences reached."},
    {LIBRARY_MULTI_SEGMENT, kMaxMultiSegments, "*** Max. number of multi segment waveforms reached.",
     "Max. number of multi segment waveforms reached."},
    {LIBRARY_RF_LIST, kMaxRfLists, "*** Max. number of RF Lists reached.", "Max. number of RF lists reached."},
};

const TableLimitRow& LimitOf(LibraryKind kind) {
  for (const TableLimitRow& row : kTableLimits)
    if (row.kind == kind) return row;
  return kTableLimits[0];
}

// Records in use of the kind's table (slots 0 .. count - 1).
int CountOf(LibraryKind kind) {
  switch (kind) {
    case LIBRARY_PULSE: return PulseCount;
    case LIBRARY_SEQUENCE: return SequenceCount;
    case LIBRARY_MULTI_SEGMENT: return MultiSegmentCount;
    case LIBRARY_RF_LIST: return RfListCount;
    default: return 0;
  }
}

// A full table refuses before anything is looked at or changed.
bool TableFull(LibraryKind kind) { return CountOf(kind) >= LimitOf(kind).limit; }

// Position of the record with the selection's ID, -1 when none. IDs are
// unique within a table while names are not (a copy keeps its source's
// name until renamed), so the ID is the only safe key. -1 also covers a
// stale tree whose item names a record deleted since the last rebuild.
int PositionOf(const LibrarySelection& sel) {
  if (sel.value < 0) return -1;
  const uint32_t id = static_cast<uint32_t>(sel.value);
  switch (sel.kind) {
    case LIBRARY_PULSE: return FindPulseById(id);
    case LIBRARY_SEQUENCE: return FindSequenceById(id);
    case LIBRARY_MULTI_SEGMENT: return FindMultiSegmentById(id);
    case LIBRARY_RF_LIST: return FindRfListById(id);
    default: return -1;
  }
}

// Plug-in items and roots are no records: the commands refuse them.
bool IsRecordKind(LibraryKind kind) {
  return kind == LIBRARY_PULSE || kind == LIBRARY_SEQUENCE || kind == LIBRARY_MULTI_SEGMENT ||
         kind == LIBRARY_RF_LIST;
}

// "name-new" within a field of capacity N: the source name is cut (on a
// character boundary) so that the whole suffix always fits.
template <std::size_t N>
void NameCopy(cz::Text<N>* out, const cz::Text<N>& source) {
  const std::size_t room = cz::Text<N>::kMaxLength - std::char_traits<char>::length(kCopySuffix);
  const std::size_t keep = cz::Utf8PrefixLength(source.view(), room);
  std::string name(source.view().substr(0, keep));
  name += kCopySuffix;
  out->Assign(name);
}

// The modulation parameter table follows the new pulse; a failure is shown
// on the status line and the command still completes.
void ReportNewPulseParams(int position) {
  if (!InitModParams(position)) Log_Status(1, "Error: Cannot initialize parameters.");
  if (!LoadPulseModParams(position)) Log_Status(1, "Error: Cannot read pulse parameters.");
  if (!ShowModParamTable()) Log_Status(1, "Error: Cannot set parameter table.");
}

// Moves the records after position down one slot, the record at position
// going to the end; the caller lowers the count.
// Swapping (rather than copying) moves the heap buffers with their records,
// so nothing is duplicated or freed twice; the record that ends up at the old
// last slot is re-initialised by the next command that fills that slot.
template <typename Record>
void CloseGap(Record* table, int count, int position) {
  for (int i = position; i + 1 < count; ++i) std::swap(table[i], table[i + 1]);
}

// A current selection after the record at position was removed: it follows
// the record it showed; none when that record was the one removed (its
// index would now name the next record).
void FollowDeletion(int32_t* current, int position, int newCount) {
  if (*current == position)
    *current = -1;
  else if (*current > position)
    --*current;
  if (*current >= newCount) *current = -1;
}

// A current selection after the records at a and b were exchanged.
void FollowSwap(int32_t* current, int a, int b) {
  if (*current == a)
    *current = b;
  else if (*current == b)
    *current = a;
}

// ------------------------------------------------------------------- copy

void CopyPulse(int source, int target) {
  PulseRecord& src = PulseTable[source];
  PulseRecord& dst = PulseTable[target];
  InitPulseRecord(&dst);
  const uint32_t id = dst.id;
  // The heap parts are moved aside so that the plain copy cannot fail, then
  // copied one by one, each failure leaving only that part absent.
  PulseEnvelope envelope = std::move(src.envelope);
  ModulationParamStore params = std::move(src.modParams);
  CappedVector<double, kJitterListMax> values[kJitterBlocks];
  CappedVector<JitterRule, kJitterListMax> rules[kJitterBlocks];
  for (int b = 0; b < kJitterBlocks; ++b) {
    values[b] = std::move(src.jitter[b].values);
    rules[b] = std::move(src.jitter[b].rules);
  }
  dst = src;
  src.envelope = std::move(envelope);
  src.modParams = std::move(params);
  for (int b = 0; b < kJitterBlocks; ++b) {
    src.jitter[b].values = std::move(values[b]);
    src.jitter[b].rules = std::move(rules[b]);
  }
  dst.id = id;
  try {
    dst.envelope = src.envelope;
  } catch (const std::bad_alloc&) {
    dst.envelope.Free();
    Log_Message(1, "*** Failed to allocate memory for custom shape data.");
  }
  for (int b = 0; b < kJitterBlocks; ++b) {
    try {
      dst.jitter[b].values = src.jitter[b].values;
    } catch (const std::bad_alloc&) {
      dst.jitter[b].values.Clear();
      Log_Message(1, "*** Failed to allocate memory for jitter table data.");
    }
    try {
      dst.jitter[b].rules = src.jitter[b].rules;
    } catch (const std::bad_alloc&) {
      dst.jitter[b].rules.Clear();
      Log_Message(1, "*** Failed to allocate memory for jitter rules data.");
    }
  }
  try {
    dst.modParams = src.modParams;
  } catch (const std::bad_alloc&) {
    dst.modParams.Clear();
  }
  NameCopy(&dst.name, src.name);
}

// The user filter coefficients are the only heap part of a sequence; a
// failed copy leaves the copy without a user filter.
void CopySequence(int source, int target) {
  SequenceRecord& src = SequenceTable[source];
  SequenceRecord& dst = SequenceTable[target];
  InitSequenceRecord(&dst);
  const uint32_t id = dst.id;
  UserFilterCoefficients filter = std::move(src.userFilter);
  dst = src;
  src.userFilter = std::move(filter);
  dst.id = id;
  try {
    dst.userFilter = src.userFilter;
  } catch (const std::bad_alloc&) {
    dst.userFilter.Free();
  }
  NameCopy(&dst.name, src.name);
}

void CopyMultiSegment(int source, int target) {
  MultiSegmentRecord& dst = MultiSegmentTable[target];
  InitMultiSegmentRecord(&dst);
  const uint32_t id = dst.id;
  dst = MultiSegmentTable[source];
  dst.id = id;
  NameCopy(&dst.name, MultiSegmentTable[source].name);
}

// An RF list holds up to 10,000 points; a failed copy leaves the copy's
// points at the defaults (no point in use).
void CopyRfList(int source, int target) {
  RfListRecord& dst = RfListTable[target];
  InitRfListRecord(&dst);
  const uint32_t id = dst.id;
  try {
    dst = RfListTable[source];
  } catch (const std::bad_alloc&) {
    dst.points.Reset();
  }
  dst.id = id;
  NameCopy(&dst.name, RfListTable[source].name);
}

// ----------------------------------------------------------------- delete

// A pulse is refused while any of the 128 entry slots of any sequence names
// it; every such sequence is logged once so that the user can find them.
void DeletePulse(int position) {
  const PulseRecord& pulse = PulseTable[position];
  bool used = false;
  for (int s = 0; s < SequenceCount; ++s) {
    const SequenceRecord& sequence = SequenceTable[s];
    for (const SequenceEntry& entry : sequence.entries) {
      if (entry.pulseId >= 0 && static_cast<uint32_t>(entry.pulseId) == pulse.id) {
        Log_Message(2, "Pulse used in sequence: ", sequence.name.c_str());
        used = true;
        break;
      }
    }
  }
  if (used) {
    MessagePopup("Error", "The pulse you want to delete is currently used in sequences.\nSee log window for details.");
    return;
  }
  if (!ConfirmDelete("pulse", pulse.name.c_str())) return;
  FreePulseBuffers(&PulseTable[position]);
  CloseGap(PulseTable, PulseCount, position);
  --PulseCount;
  FollowDeletion(&CurrentPulse, position, PulseCount);
  HideEditorPages();
  RebuildLibraryTree();
}

// A sequence is refused while a sequence segment of a multi-segment waveform
// names it; the log line gives each waveform's first such segment (1-based).
// After a deletion the sequence now at the same position (or the new last
// one) is shown, so the Sequence Editor never shows a removed record.
void DeleteSequence(int position) {
  const SequenceRecord& sequence = SequenceTable[position];
  bool used = false;
  for (int m = 0; m < MultiSegmentCount; ++m) {
    const MultiSegmentRecord& mseg = MultiSegmentTable[m];
    for (int k = 0; k < kMaxSegments; ++k) {
      const MultiSegmentEntry& segment = mseg.segments[k];
      if (segment.type == SEGMENT_SEQUENCE && segment.sequenceId >= 0 &&
          static_cast<uint32_t>(segment.sequenceId) == sequence.id) {
        const std::string line = cz::FormatC("Sequence '%s' is used in MSEG '%s' at index %d",
                                             sequence.name.c_str(), mseg.name.c_str(), k + 1);
        Log_Message(1, line.c_str());
        used = true;
        break;
      }
    }
  }
  if (used) {
    MessagePopup("Error", "The sequence you want to delete is currently used in MSEGs.\nSee log window for details.");
    return;
  }
  if (!ConfirmDelete("sequence", sequence.name.c_str())) return;
  // The Report and Baseband Filter dialogs close with the sequence they hold.
  if (position == CurrentSequence || SequenceDialogSlot(ReportDialogSequenceId) == position ||
      SequenceDialogSlot(FilterDialogSequenceId) == position)
    CloseSequenceDialogs();
  FreeSequenceBuffers(&SequenceTable[position]);
  CloseGap(SequenceTable, SequenceCount, position);
  --SequenceCount;
  if (SequenceCount > 0) {
    const int shown = position < SequenceCount ? position : SequenceCount - 1;
    RebuildLibraryTree();
    CurrentSequence = shown;
    SelectSequenceTreeItem(SequenceTable[shown].id);
    RefreshSequenceEditor(shown);
    ShowOnlyEditorPage(PAGE_SEQUENCE_EDITOR);
    DimGenerateButton(1);
  } else {
    RebuildLibraryTree();
    HideEditorPages();
  }
}

// Nothing refers to multi-segment waveforms or RF lists: no reference check.
void DeleteMultiSegment(int position) {
  if (!ConfirmDelete("multi-segment waveform", MultiSegmentTable[position].name.c_str())) return;
  CloseGap(MultiSegmentTable, MultiSegmentCount, position);
  --MultiSegmentCount;
  FollowDeletion(&CurrentMultiSegment, position, MultiSegmentCount);
  HideEditorPages();
  RebuildLibraryTree();
}

void DeleteRfList(int position) {
  if (!ConfirmDelete("RF List", RfListTable[position].name.c_str())) return;
  CloseGap(RfListTable, RfListCount, position);
  --RfListCount;
  FollowDeletion(&CurrentRfList, position, RfListCount);
  HideEditorPages();
  SetCtrlAttribute(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD, ATTR_DIMMED, 1);
  RebuildLibraryTree();
}

// ------------------------------------------------------------------- move

// Whether the record at position has an item in the tree.
bool PulseShown(int position) {
  return !(g_Settings.Project.hideEntries != 0 && PulseTable[position].hidden == 1);
}
bool SequenceShown(int position) {
  return !(g_Settings.Project.hideEntries != 0 && SequenceTable[position].hidden == 1);
}

// The nearest position before (step -1) or after (step +1) whose record is
// shown, or -1.
int VisibleNeighbour(int position, int step, int count, bool (*shown)(int)) {
  for (int i = position + step; i >= 0 && i < count; i += step)
    if (shown(i)) return i;
  return -1;
}

// Move Up (step -1) and Move Down (step +1) of the selected record. Pulses
// and sequences trade places with the nearest record the tree shows, so a
// move never looks like nothing happened because of hidden records in
// between; the current selections follow the two records.
void MoveSelected(int step) {
  const LibrarySelection sel = GetLibrarySelection();
  if (!IsRecordKind(sel.kind)) {
    Log_Message(1, kInvalidSelection);
    return;
  }
  const int position = PositionOf(sel);
  const int count = CountOf(sel.kind);
  if (position < 0) return;
  int neighbour = -1;
  switch (sel.kind) {
    case LIBRARY_PULSE: neighbour = VisibleNeighbour(position, step, count, PulseShown); break;
    case LIBRARY_SEQUENCE: neighbour = VisibleNeighbour(position, step, count, SequenceShown); break;
    default: neighbour = position + step; break;
  }
  if (neighbour < 0 || neighbour >= count) return;
  switch (sel.kind) {
    case LIBRARY_PULSE:
      std::swap(PulseTable[position], PulseTable[neighbour]);
      FollowSwap(&CurrentPulse, position, neighbour);
      RebuildLibraryTree();
      SelectPulseTreeItem(PulseTable[neighbour].id);
      break;
    case LIBRARY_SEQUENCE:
      std::swap(SequenceTable[position], SequenceTable[neighbour]);
      FollowSwap(&CurrentSequence, position, neighbour);
      RebuildLibraryTree();
      SelectSequenceTreeItem(SequenceTable[neighbour].id);
      break;
    case LIBRARY_MULTI_SEGMENT:
      std::swap(MultiSegmentTable[position], MultiSegmentTable[neighbour]);
      FollowSwap(&CurrentMultiSegment, position, neighbour);
      RebuildLibraryTree();
      SelectMultiSegmentTreeItem(MultiSegmentTable[neighbour].id);
      break;
    case LIBRARY_RF_LIST:
      std::swap(RfListTable[position], RfListTable[neighbour]);
      FollowSwap(&CurrentRfList, position, neighbour);
      RebuildLibraryTree();
      SelectRfListTreeItem(RfListTable[neighbour].id);
      break;
    default: break;
  }
}

}  // namespace

// --------------------------------------------------------------- callbacks

void NewPulseCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_PULSE_PNEW) return;
  if (TableFull(LIBRARY_PULSE)) {
    Log_Message(1, LimitOf(LIBRARY_PULSE).newRefusal);
    return;
  }
  Log_Message(1, "Creating new pulse entry...");
  const int position = PulseCount;
  PulseRecord& pulse = PulseTable[position];
  InitPulseRecord(&pulse);
  pulse.name = cz::FormatC("new-%d", NewPulseNameCounter);
  ++NewPulseNameCounter;
  ++PulseCount;
  RebuildLibraryTree();
  SetCurrentPulse(position);
  ReportNewPulseParams(position);
  SelectPulseTreeItem(pulse.id);
  ShowOnlyEditorPage(PAGE_PULSE_EDITOR);
  DimGenerateButton(1);
  ShowPulseEditorPage("Timing");
  ShowPulseInEditor();
}

void NewSequenceCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_PULSE_SNEW) return;
  if (TableFull(LIBRARY_SEQUENCE)) {
    Log_Message(1, LimitOf(LIBRARY_SEQUENCE).newRefusal);
    return;
  }
  Log_Message(1, "Creating new sequence entry...");
  const int position = SequenceCount;
  SequenceRecord& sequence = SequenceTable[position];
  InitSequenceRecord(&sequence);
  sequence.name = cz::FormatC("new-%d", NewSequenceNameCounter);
  ++NewSequenceNameCounter;
  ++SequenceCount;
  RebuildLibraryTree();
  if (PulseCount > 0) {
    // First entry: the last pulse of the library once, marker 1 only.
    SequenceEntry& first = sequence.entries[0];
    first.pulseId = static_cast<int32_t>(PulseTable[PulseCount - 1].id);
    first.repetitions = 1;
    first.markerMask = 1;
    first.fillerType = 0;
    first.fillerTime = 0.0;
    first.overlay = 0;
    for (uint8_t& mode : first.jitterMode) mode = 0;
  }
  CurrentSequence = position;
  SelectSequenceTreeItem(sequence.id);
  RefreshSequenceEditor(position);
  ShowOnlyEditorPage(PAGE_SEQUENCE_EDITOR);
  DimGenerateButton(sequence.waveFile.empty() ? 1 : 0);
}

void NewMultiSegmentCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_PULSE_SEGNEW) return;
  if (TableFull(LIBRARY_MULTI_SEGMENT)) {
    Log_Message(1, LimitOf(LIBRARY_MULTI_SEGMENT).newRefusal);
    return;
  }
  Log_Message(1, "Creating new multi segment waveform...");
  const int position = MultiSegmentCount;
  MultiSegmentRecord& mseg = MultiSegmentTable[position];
  InitMultiSegmentRecord(&mseg);
  mseg.name = cz::FormatC("new%d", NewMultiSegmentNameCounter);
  ++NewMultiSegmentNameCounter;
  ++MultiSegmentCount;
  RebuildLibraryTree();
  CurrentMultiSegment = position;
  ShowMultiSegment(position);
  SelectMultiSegmentTreeItem(mseg.id);
  ShowOnlyEditorPage(PAGE_MULTI_SEGMENT);
}

void NewRfListCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_PULSE_RFLISTNEW) return;
  if (TableFull(LIBRARY_RF_LIST)) {
    Log_Message(1, LimitOf(LIBRARY_RF_LIST).newRefusal);
    return;
  }
  Log_Message(1, "Creating new RF list...");
  const int position = RfListCount;
  RfListRecord& list = RfListTable[position];
  InitRfListRecord(&list);
  list.name = cz::FormatC("new%d", NewRfListNameCounter);
  ++NewRfListNameCounter;
  ++RfListCount;
  RebuildLibraryTree();
  CurrentRfList = position;
  SelectRfListTreeItem(list.id);
  ShowOnlyEditorPage(PAGE_RF_LIST);
  ShowRfList(position);
}

int AddPulseButtonCb(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2) {
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event == EVENT_COMMIT) NewPulseCb(GetPanelMenuBar(panel), MBAR_PULSE_PNEW, nullptr, panel);
  return 0;
}

int AddSequenceButtonCb(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2) {
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event == EVENT_COMMIT) NewSequenceCb(GetPanelMenuBar(panel), MBAR_PULSE_SNEW, nullptr, panel);
  return 0;
}

int CopyLibraryItemCb(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2) {
  (void)panel;
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  const LibrarySelection sel = GetLibrarySelection();
  if (!IsRecordKind(sel.kind)) {
    Log_Message(1, kInvalidSelection);
    return 0;
  }
  if (TableFull(sel.kind)) {
    MessagePopup("Error", LimitOf(sel.kind).copyRefusal);
    return 0;
  }
  const int source = PositionOf(sel);
  if (source < 0) {
    RebuildLibraryTree();
    return 0;
  }
  // The copy is made at the count before the count is raised, so that the
  // slot's stale ID takes no part in the new ID.
  switch (sel.kind) {
    case LIBRARY_PULSE: CopyPulse(source, PulseCount); ++PulseCount; break;
    case LIBRARY_SEQUENCE: CopySequence(source, SequenceCount); ++SequenceCount; break;
    case LIBRARY_MULTI_SEGMENT: CopyMultiSegment(source, MultiSegmentCount); ++MultiSegmentCount; break;
    case LIBRARY_RF_LIST: CopyRfList(source, RfListCount); ++RfListCount; break;
    default: break;
  }
  RebuildLibraryTree();
  return 0;
}

int DeleteLibraryItemCb(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2) {
  (void)panel;
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  const LibrarySelection sel = GetLibrarySelection();
  if (!IsRecordKind(sel.kind)) return 0;
  const int position = PositionOf(sel);
  if (position < 0) {
    RebuildLibraryTree();
    return 0;
  }
  switch (sel.kind) {
    case LIBRARY_PULSE: DeletePulse(position); break;
    case LIBRARY_SEQUENCE: DeleteSequence(position); break;
    case LIBRARY_MULTI_SEGMENT: DeleteMultiSegment(position); break;
    case LIBRARY_RF_LIST: DeleteRfList(position); break;
    default: break;
  }
  return 0;
}

int MoveLibraryItemUpCb(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2) {
  (void)panel;
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event == EVENT_COMMIT) MoveSelected(-1);
  return 0;
}

int MoveLibraryItemDownCb(int panel, int control, int event, void* callbackData, int eventData1,
                          int eventData2) {
  (void)panel;
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event == EVENT_COMMIT) MoveSelected(+1);
  return 0;
}

bool ConfirmDelete(const char* kind, const char* name) {
  const std::string question = cz::FormatC("Are you sure you want to delete the %s '%s' ?", kind, name);
  return ConfirmPopup("Delete Item", question.c_str()) == 1;
}
