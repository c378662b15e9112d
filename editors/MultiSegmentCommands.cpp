// The multi-segment editor's segment operations (new, delete, move, cell
// commits) on the record, the entry buttons, and the instrument commands
// Trigger, Apply, Query and Generate.
#include <cmath>
#include <cstring>
#include <utility>

#include "app/LibraryCommands.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TypedText.h"
#include "editors/MultiSegmentEditor.h"
#include "editors/SequenceGenerate.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/MultiSegment.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/MultiSegmentPage.h"

namespace {

constexpr int kMswId = 0;

MultiSegmentRecord* Current() { return ShownMultiSegment(); }

// Row of the table's active cell, 0 when none.
int ActiveRow() {
  Point cell{0, 0};
  if (GetActiveTableCell(TAB_MSEG, TAB_MSEG_TABLE_SETTINGS, &cell) < 0) return 0;
  return cell.y;
}

void SwapSlots(MultiSegmentRecord* rec, int a, int b) { std::swap(rec->segments[a], rec->segments[b]); }

// The selected instrument, when it is still the model identified; another
// model is refused with its own status text.
int OpenInstrument() {
  const int opened = OpenIdentifiedInstrument(kMswId);
  if (opened == 1) return 1;
  if (opened == 0) Log_Status(1, OpenFailureStatus(kMswId));
  return 0;
}

// The device's last error into the log, then the status text.
void ReportDeviceFailure(const char* status) {
  char error[kVisaLastErrorSize] = {};
  VisaDev_GetLastError(kMswId, error);
  VisaDev_Close(kMswId);
  if (error[0] != '\0') Log_Message(1, error);
  Log_Status(1, status);
}

}  // namespace

// ---- segment operations -------------------------------------------------------------

int MswUsedSlots(const MultiSegmentRecord& rec) { return rec.SegmentsInUse(); }

int MswDuplicateSegment(MultiSegmentRecord* rec, int activeRow) {
  const int n = MswUsedSlots(*rec);
  if (n == 0 || n >= kMaxSegments) return 0;
  if (activeRow >= 1 && activeRow <= n) {
    for (int j = n; j >= activeRow; --j) rec->segments[j] = rec->segments[j - 1];
  } else {
    rec->segments[n] = rec->segments[n - 1];
  }
  return 1;
}

int MswDeleteSegment(MultiSegmentRecord* rec, int row) {
  if (row < 1 || row > kMaxSegments) return 0;
  for (int j = row - 1; j < kMaxSegments - 1; ++j) rec->segments[j] = rec->segments[j + 1];
  rec->segments[kMaxSegments - 1] = MultiSegmentEntry{};
  return 1;
}

int MswMoveSegmentUp(MultiSegmentRecord* rec, int row) {
  if (row < 2 || row > kMaxSegments || rec->segments[row - 1].IsFree()) return 0;
  SwapSlots(rec, row - 1, row - 2);
  return 1;
}

int MswMoveSegmentDown(MultiSegmentRecord* rec, int row) {
  if (row < 1 || row > kMaxSegments - 1 || rec->segments[row - 1].IsFree() || rec->segments[row].IsFree())
    return 0;
  SwapSlots(rec, row - 1, row);
  return 1;
}

int MswCommitCell(MultiSegmentRecord* rec, int column, int row, const char* text, int item) {
  if (column != MSW_COL_REP && column != MSW_COL_SEQUENCE && column != MSW_COL_TSTOP) return 0;
  // Only the segments in use take edits: the list stays without gaps.
  if (row < 1 || row > kMaxSegments || rec->segments[row - 1].IsFree()) return 1;
  MultiSegmentEntry& seg = rec->segments[row - 1];
  const char* t = text ? text : "";
  if (column == MSW_COL_REP) {
    // A text the record cannot hold whole is refused (the status line says
    // so); the row shows the stored repetitions again.
    TakeTypedText(&seg.repetition, *t ? t : "1", "Repetition text");
  } else if (column == MSW_COL_SEQUENCE) {
    // A position whose label no longer matches (the table changed under
    // the open ring) falls back to the name.
    if (item >= 1 && item <= SequenceCount && std::strcmp(SequenceTable[item - 1].name.c_str(), t) == 0) {
      seg.type = SEGMENT_SEQUENCE;
      seg.sequenceId = static_cast<int32_t>(SequenceTable[item - 1].id);
    } else if (std::strcmp(t, kMswBlankLabel) == 0) {
      seg.type = SEGMENT_BLANK;
      seg.sequenceId = 0;
    } else {
      for (int s = 0; s < SequenceCount; ++s)
        if (std::strcmp(SequenceTable[s].name.c_str(), t) == 0) {
          seg.type = SEGMENT_SEQUENCE;
          seg.sequenceId = static_cast<int32_t>(SequenceTable[s].id);
          break;
        }
    }
  } else {
    char* end = nullptr;
    const double us = cz::StrtodC(t, &end);
    if (end != t && std::isfinite(us) && us > 0.0) seg.stopTime = us / 1e6;
  }
  return 1;
}

// ---- entry buttons ------------------------------------------------------------------

int NewMultiSegmentEntryCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  MultiSegmentRecord* rec = Current();
  if (event != EVENT_COMMIT || rec == nullptr) return 0;
  if (rec->segments[0].IsFree()) {
    if (SequenceCount == 0) {
      MessagePopup("Error", "No sequences defined yet.");
      return 0;
    }
    MultiSegmentEntry& first = rec->segments[0];
    first = MultiSegmentEntry{};
    first.sequenceId = static_cast<int32_t>(SequenceTable[0].id);
    RefreshMultiSegmentEditor();
    return 0;
  }
  if (MswUsedSlots(*rec) >= kMaxSegments) {
    Log_Status(1, "Maximum number of entries reached.");
    return 0;
  }
  MswDuplicateSegment(rec, ActiveRow());
  RefreshMultiSegmentEditor();
  return 0;
}

int DeleteMultiSegmentEntryCb(int panel, int control, int event, void* callbackData, int eventData1,
                              int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData2;
  MultiSegmentRecord* rec = Current();
  if (event != EVENT_COMMIT || rec == nullptr) return 0;
  const int row = ActiveRow();
  // The Delete key removes a segment only after the question naming it as
  // the table numbers it ("segment 0 'Search'"); an empty row is not asked about.
  if (eventData1 == VAL_DELETE_KEY_PRESS && row >= 1 && row <= kMaxSegments && !rec->segments[row - 1].IsFree()) {
    const MultiSegmentEntry& seg = rec->segments[row - 1];
    const int s = seg.type == SEGMENT_SEQUENCE ? FindSequenceById(static_cast<uint32_t>(seg.sequenceId)) : -1;
    const char* what = seg.type == SEGMENT_BLANK ? "blank filler" : s >= 0 ? SequenceTable[s].name.c_str() : "???";
    if (!ConfirmDelete(cz::FormatC("segment %d", row - 1).c_str(), what)) return 0;
  }
  if (MswDeleteSegment(rec, row)) RefreshMultiSegmentEditor();
  return 0;
}

int MoveMultiSegmentEntryUpCb(int panel, int control, int event, void* callbackData, int eventData1,
                              int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  MultiSegmentRecord* rec = Current();
  if (event != EVENT_COMMIT || rec == nullptr) return 0;
  if (MswMoveSegmentUp(rec, ActiveRow())) RefreshMultiSegmentEditor();
  return 0;
}

int MoveMultiSegmentEntryDownCb(int panel, int control, int event, void* callbackData, int eventData1,
                                int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  MultiSegmentRecord* rec = Current();
  if (event != EVENT_COMMIT || rec == nullptr) return 0;
  if (MswMoveSegmentDown(rec, ActiveRow())) RefreshMultiSegmentEditor();
  return 0;
}

// ---- instrument commands ----------------------------------------------------------------

int MultiSegmentTriggerCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || Current() == nullptr) return 0;
  if (!OpenInstrument()) return -1;
  HighlightMultiSegmentRow(-1);
  if (!TriggerMsw(CurrentMultiSegment)) {
    ReportDeviceFailure("Trigger failed.");
    return -1;
  }
  VisaDev_Close(kMswId);
  return 0;
}

int MultiSegmentApplyCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  MultiSegmentRecord* rec = Current();
  if (event != EVENT_COMMIT || rec == nullptr) return 0;
  int next = 0;
  GetCtrlVal(panel, TAB_MSEG_NUM_NEXTSEG, &next);
  if (!OpenInstrument()) return -1;
  HighlightMultiSegmentRow(-1);
  if (!ApplyMswSettings(CurrentMultiSegment, next, rec->triggerMode, rec->extTriggerMode, rec->triggerSource,
                        rec->delay, rec->sequencerMode)) {
    ReportDeviceFailure("Multi Segment configuration failed.");
    return -1;
  }
  VisaDev_Close(kMswId);
  HighlightMultiSegmentRow(next + 1);
  return 0;
}

int MultiSegmentQueryCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || Current() == nullptr) return 0;
  if (!OpenInstrument()) return -1;
  HighlightMultiSegmentRow(-1);
  int segment = -1;
  if (!QueryMswSegment(CurrentMultiSegment, &segment)) {
    ReportDeviceFailure("Failed to read actual segment.");
    return -1;
  }
  VisaDev_Close(kMswId);
  if (segment == -1) Log_Status(1, "Failed to read actual segment.");
  else HighlightMultiSegmentRow(segment + 1);
  return 0;
}

int MultiSegmentGenerateCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || Current() == nullptr) return 0;
  RefreshMultiSegmentEditor();
  SetSequenceEditorBusy(1);
  DimMultiSegmentControls(1);
  if (!OpenInstrument()) {
    SetSequenceEditorBusy(0);
    DimMultiSegmentControls(0);
    return -1;
  }
  const int result = BuildMultiSegment(CurrentMultiSegment);
  const bool built = result == 1;
  VisaDev_Close(kMswId);
  // A build the user cancelled at a question or stopped before its first
  // segment is no failure.
  if (!built && result != kMswBuildStopped && !VisaDev_UploadCancelled(kMswId))
    MessagePopup("Error", "Creation of Multi-Segment Waveform Failed.\nSee Error Log For Details.");
  SetSequenceEditorBusy(0);
  DimMultiSegmentControls(0);
  return built ? 0 : -1;
}
