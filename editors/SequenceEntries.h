// Adding, deleting and reordering the entries of the shown sequence: the
// four entry buttons of the Sequence Editor page. The entry acted on is the
// one in the row of TABLE_SETTINGS's active cell (row r shows entry r - 1).
//
// The operations on a record are free functions (no widgets), the callbacks
// read the active row, call them and refresh the page.
#pragma once

#include "app/Records.h"

// Results of the record operations.
enum SequenceEntryResult {
  SEQ_ENTRY_UNCHANGED = 0,
  SEQ_ENTRY_CHANGED = 1,
  SEQ_ENTRY_NO_PULSES = 2,  // empty sequence and no pulse to start it with
  SEQ_ENTRY_FULL = 3        // 128 entries already
};

// Empty sequence: entry 0 becomes the first pulse of PulseTable once,
// marker 1 "1ST" only. Otherwise a copy of entry row - 1 goes right after
// it; a row outside 1..n (n entries in use; 0 = no active cell) copies the
// last entry.
int SequenceEntries_Insert(SequenceRecord* seq, int row);
// Entries row .. 127 move up one slot; the last slot becomes empty.
// Rows outside 1..128 change nothing.
int SequenceEntries_Delete(SequenceRecord* seq, int row);
// Swaps entry row - 1 with the one above (row 2..128, entry in use) / below
// (row 1..127, both in use).
int SequenceEntries_MoveUp(SequenceRecord* seq, int row);
int SequenceEntries_MoveDown(SequenceRecord* seq, int row);

// An overlay (ADD, MULT) lies on the entry before it, so the first entry
// holds none: a first pulse entry with an overlay is reset to "---", and
// the log says so. Returns SEQ_ENTRY_CHANGED, for the operations above.
int SequenceEntries_ClearFirstOverlay(SequenceRecord* seq);

// Control callbacks of CMD_SENTRY_NEW, CMD_SENTRY_DEL, CMD_SENTRY_UP and
// CMD_SENTRY_DOWN; commit only, with a valid CurrentSequence. Return 0.
int SequenceEntryNewCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int SequenceEntryDeleteCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int SequenceEntryUpCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int SequenceEntryDownCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
