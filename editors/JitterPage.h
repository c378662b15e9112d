// The pulse editor's jitter page P_JIT: the table of the four blocks'
// control ids, the enable / distribution / selection callbacks and the
// operations on the selected block's value list (import, rescale, clear).
//
// The selected block is the one whose CMD_JITn toggle is on; it is kept
// nowhere else. The record-to-controls display of the page belongs to the
// pulse editor (ShowPulseInEditor).
#pragma once

#include <string>
#include <vector>

#include "app/PulseRecord.h"

// Rows of JitterControlTable; entry n of a row (0..3) belongs to block n+1.
enum JitterControlGroup {
  JITTER_CTL_ENABLE = 0,  // RADIO_JITTER1..4
  JITTER_CTL_TARGET = 1,  // RING_JITTER1..4_MODE
  JITTER_CTL_SELECT = 2,  // CMD_JIT1..4
  JITTER_CTL_DIST = 3,    // RING_JITTER1..4_DTYPE
  JITTER_CTL_GROUPS = 4
};
// Filled once by InitJitterControlTable after P_JIT exists, then only read.
extern int JitterControlTable[JITTER_CTL_GROUPS][kJitterBlocks];

// Copies the sixteen block control ids of P_JIT into JitterControlTable.
void InitJitterControlTable();

// Index 0..3 of the first block whose CMD_JITn toggle is on; -1 when none.
int JitterSelectedBlock();

// Callbacks of P_JIT (commit only; all return 0).
int JitterEnableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int JitterSelectCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int JitterImportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int JitterRescaleCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int JitterClearAllCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// Panel callback of P_JIT: ignores every event.
int JitterPanelCb(int panel, int event, void* callbackData, int eventData1, int eventData2);

// ---- Value-list operations, free of the panel

// Outcome of reading a jitter value file.
enum JitterImportStatus {
  JITTER_IMPORT_OK = 1,
  JITTER_IMPORT_OPEN_FAILED = 0,   // the file cannot be opened
  JITTER_IMPORT_BAD_LINE = -1,     // a line holds fewer numbers than the column
  JITTER_IMPORT_TOO_MANY = -2,     // more values than a block holds
  JITTER_IMPORT_READ_FAILED = -3,  // the file could not be read to its end
  JITTER_IMPORT_NO_DATA = -4,      // not one value in the file
};

// Reads the column-th number (1..100) of every non-empty line of a text file
// into values, in file order. A UTF-8 byte-order mark at the start is
// skipped; lines end at CR, LF or CR LF and are cut after 1,023 characters;
// numbers are separated by blanks, tabs, commas or semicolons. A file with
// no value at all imports nothing. *errorLine receives the 1-based number of the failing line
// (empty lines counted). values is only written on success.
int JitterReadValueFile(const char* path, int column, std::vector<double>* values, int* errorLine);

// Replaces the block's value list by the file's values (record units, as
// read). Logs and reports failures as the page does; the block is unchanged
// on every failure. Returns a JitterImportStatus.
int JitterImportBlock(JitterBlock* block, const char* path, int column);

// v := v * gain + offset for every value of the list. 0 when the block has no
// values (nothing changed), else 1.
int JitterRescaleBlock(JitterBlock* block, double gain, double offset);

// Empties and releases the block's value and rule lists.
void JitterClearBlock(JitterBlock* block);
