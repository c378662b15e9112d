// The multi-segment editor: the logic behind the Multi Segment tab page
// (TAB_MSEG). It shows one MultiSegmentRecord at a time (CurrentMultiSegment),
// writes its header controls and its 64 segment rows, stores the user's edits
// straight into the record in the table, inserts, deletes and moves segments,
// and runs Trigger, Apply, Query and Generate against the selected instrument.
//
// The segment table has 64 rows (row r shows slot r - 1) and six columns:
// "No", "Rep", "Sequence", "Samples", "Tstart", "Tstop". Times are held in
// seconds and shown in microseconds; the clock is held in Hz and shown in MHz.
#pragma once

#include <cstdint>

struct MultiSegmentRecord;

// Segment-table colours.
inline constexpr int kMswRowColor = 0xD0D0D0;
inline constexpr int kMswHighlightColor = 0xB0B0F0;
inline constexpr int kMswGreyText = 0x808080;
inline constexpr int kMswBlackText = 0x000000;

// ---- display ------------------------------------------------------------------

// Shows waveform index (0 .. MultiSegmentCount - 1) and makes it current;
// out of range: nothing.
void ShowMultiSegment(int index);
// ShowMultiSegment(CurrentMultiSegment).
void RefreshMultiSegmentEditor();
// The current waveform when TAB_MSEG shows it (the record ShowMultiSegment
// showed last, by ID), else nullptr.
MultiSegmentRecord* ShownMultiSegment();
// Writes table row (1..64).
void SetMultiSegmentRow(int row, int32_t samples, const char* label, const char* repetition, double startTime,
                        double stopTime, int32_t sequencerOn);
// Empties row (1..64): empty indicator cells, dimmed.
void ClearMultiSegmentRow(int row);
// Row 1..64 highlighted, every other row plain; -1 for none.
void HighlightMultiSegmentRow(int row);
// Dimming of the page by the busy state and the current record's modes.
void DimMultiSegmentControls(int busy);
// Start-up: 64 rows of string cells in the segment table, the header fields
// without frames, and the page idle.
void InitMultiSegmentPage();

// ---- segment operations on a record (no widgets) ------------------------------

// Segments in use (slots before the first free one).
int MswUsedSlots(const MultiSegmentRecord& rec);
// New segment with the active row r (0: none): duplicates the segment of row
// r in place (rows r and r+1 then hold it), or with no active row in 1..n
// appends a copy of the last one. 0 when all 64 slots are in use or the
// waveform has no segments.
int MswDuplicateSegment(MultiSegmentRecord* rec, int activeRow);
// Deletes row r (1..64): the later segments move up one row.
int MswDeleteSegment(MultiSegmentRecord* rec, int row);
// Swaps row r with the row above / below when both are used.
int MswMoveSegmentUp(MultiSegmentRecord* rec, int row);
int MswMoveSegmentDown(MultiSegmentRecord* rec, int row);
// Commit of a table cell: column 2 (repetition text, empty = "1"), 3
// (blank filler label or a sequence name) or 6 (stop time in microseconds,
// taken only when positive and finite). 1 when the column is one of these.
// In column 3, item is the chosen position in the ring (0 the blank filler,
// 1 + s sequence slot s), which keeps apart sequences of one name; -1 takes
// the first sequence of the name in text.
int MswCommitCell(MultiSegmentRecord* rec, int column, int row, const char* text, int item = -1);

// ---- control callbacks of TAB_MSEG ----------------------------------------------

int MultiSegmentSettingsCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int MultiSegmentModeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int MultiSegmentTableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int NewMultiSegmentEntryCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int DeleteMultiSegmentEntryCb(int panel, int control, int event, void* callbackData, int eventData1,
                              int eventData2);
int MoveMultiSegmentEntryUpCb(int panel, int control, int event, void* callbackData, int eventData1,
                              int eventData2);
int MoveMultiSegmentEntryDownCb(int panel, int control, int event, void* callbackData, int eventData1,
                                int eventData2);
int MultiSegmentTriggerCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int MultiSegmentApplyCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int MultiSegmentQueryCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int MultiSegmentGenerateCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
