// Entry list operations of the Sequence Editor.
//
// The entries in use are dense from entry 0; every operation moves whole
// SequenceEntry values (all nine fields together). After an operation the
// active cell stays on its row number, so the selection does not follow a
// moved entry: pressing the same button again acts on what now stands there.
#include "editors/SequenceEntries.h"

#include <utility>

#include "app/Keywords.h"
#include "app/LibraryCommands.h"
#include "app/Log.h"
#include "app/PulseRecord.h"
#include "editors/SequenceTable.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

// The page writes only into the sequence it shows.
bool CurrentValid() { return ShownSequence() != nullptr; }

// Row of the active cell of TABLE_SETTINGS on panel; 0 when none.
int ActiveRow(int panel) {
  Point cell{0, 0};
  if (GetActiveTableCell(panel, TAB_SEDIT_TABLE_SETTINGS, &cell) < 0) return 0;
  return cell.y;
}

// The Delete key removes an entry only after the question naming it
// ("entry 2 'Burst'"); an empty row loses nothing and is not asked about.
bool ConfirmKeyDelete(const SequenceRecord& seq, int row) {
  if (row < 1 || row > kMaxSequenceEntries) return true;
  const SequenceEntry& e = seq.entries[row - 1];
  const int p = e.IsPulse() ? FindPulseById(static_cast<uint32_t>(e.pulseId)) : -1;
  const char* what = p >= 0                      ? PulseTable[p].name.c_str()
                     : e.IsPulse()               ? "unknown pulse"
                     : e.fillerType == SYNC_CW   ? "CW filler"
                     : e.fillerType == SYNC_BLANK ? "blank filler"
                                                  : nullptr;
  return what == nullptr || ConfirmDelete(cz::FormatC("entry %d", row).c_str(), what);
}

}  // namespace

int SequenceEntries_ClearFirstOverlay(SequenceRecord* seq) {
  SequenceEntry& first = seq->entries[0];
  if (first.overlay == 0 || !first.IsPulse()) return SEQ_ENTRY_CHANGED;
  first.overlay = 0;
  Log_Message(1, "Overlay of the first entry reset to \"---\": an overlay needs an entry before it.");
  return SEQ_ENTRY_CHANGED;
}

// A first entry keeps filler kind 0 beside its pulse (the pulse ID makes it
// a pulse entry); marker mask 1 lets marker 1 through on the first
// repetition only.
int SequenceEntries_Insert(SequenceRecord* seq, int row) {
  const int n = seq->EntriesInUse();
  if (n == 0) {
    if (PulseCount <= 0) return SEQ_ENTRY_NO_PULSES;
    SequenceEntry& first = seq->entries[0];
    first = SequenceEntry{};
    first.pulseId = static_cast<int32_t>(PulseTable[0].id);
    first.repetitions = 1;
    first.fillerType = 0;
    first.fillerTime = 0.0;
    first.markerMask = 1;
    first.overlay = 0;
    return SEQ_ENTRY_CHANGED;
  }
  if (n >= kMaxSequenceEntries) return SEQ_ENTRY_FULL;
  if (row < 1 || row > n) row = n;
  // Entries row - 1 .. n - 1 move down one slot, the last first.
  for (int j = n; j >= row; --j) seq->entries[j] = seq->entries[j - 1];
  return SEQ_ENTRY_CHANGED;
}

// A row below the last used entry only moves empty entries.
int SequenceEntries_Delete(SequenceRecord* seq, int row) {
  if (row < 1 || row > kMaxSequenceEntries) return SEQ_ENTRY_UNCHANGED;
  for (int j = row - 1; j < kMaxSequenceEntries - 1; ++j) seq->entries[j] = seq->entries[j + 1];
  seq->entries[kMaxSequenceEntries - 1] = SequenceEntry{};
  return SequenceEntries_ClearFirstOverlay(seq);
}

int SequenceEntries_MoveUp(SequenceRecord* seq, int row) {
  if (row < 2 || row > kMaxSequenceEntries || seq->entries[row - 1].IsEmpty()) return SEQ_ENTRY_UNCHANGED;
  std::swap(seq->entries[row - 2], seq->entries[row - 1]);
  return SequenceEntries_ClearFirstOverlay(seq);
}

int SequenceEntries_MoveDown(SequenceRecord* seq, int row) {
  if (row < 1 || row > kMaxSequenceEntries - 1) return SEQ_ENTRY_UNCHANGED;
  if (seq->entries[row - 1].IsEmpty() || seq->entries[row].IsEmpty()) return SEQ_ENTRY_UNCHANGED;
  std::swap(seq->entries[row - 1], seq->entries[row]);
  return SequenceEntries_ClearFirstOverlay(seq);
}

int SequenceEntryNewCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  SequenceRecord& seq = SequenceTable[CurrentSequence];
  switch (SequenceEntries_Insert(&seq, ActiveRow(panel))) {
    case SEQ_ENTRY_NO_PULSES: MessagePopup("Error", "No pulses defined yet."); break;
    case SEQ_ENTRY_FULL: Log_Status(1, "Maximum number of entries reached."); break;
    case SEQ_ENTRY_CHANGED: RefreshSequenceEditor(CurrentSequence); break;
    default: break;
  }
  return 0;
}

int SequenceEntryDeleteCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  SequenceRecord& seq = SequenceTable[CurrentSequence];
  const int row = ActiveRow(panel);
  if (eventData1 == VAL_DELETE_KEY_PRESS && !ConfirmKeyDelete(seq, row)) return 0;
  if (SequenceEntries_Delete(&seq, row) == SEQ_ENTRY_CHANGED) RefreshSequenceEditor(CurrentSequence);
  return 0;
}

int SequenceEntryUpCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  if (SequenceEntries_MoveUp(&SequenceTable[CurrentSequence], ActiveRow(panel)) == SEQ_ENTRY_CHANGED)
    RefreshSequenceEditor(CurrentSequence);
  return 0;
}

int SequenceEntryDownCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  if (SequenceEntries_MoveDown(&SequenceTable[CurrentSequence], ActiveRow(panel)) == SEQ_ENTRY_CHANGED)
    RefreshSequenceEditor(CurrentSequence);
  return 0;
}
