// The Sequence Editor's entry table and its refresh.
//
// RefreshSequenceEditor is the one function that brings the Sequence Editor
// page (and the sequence's settings in the Report Generation and Baseband
// Filter dialogs) up to date with a sequence record. On the way it compiles
// the sequence: the entries are laid out on a time line, each pulse entry
// taking repetitions x the duration of one repetition as the pulse
// computation gives it in its timing-only mode, so that the table shows the
// times and sample counts a build produces. Times are handed over in
// seconds; the table shows microseconds.
#pragma once

#include <cstdint>
#include <vector>

#include "app/Records.h"

inline constexpr int kSequenceTableRows = kMaxSequenceEntries;  // row r shows entry r - 1

// Object labels of the two filler kinds, exactly as the table shows them.
inline constexpr const char* kBlankFillerLabel = "T   -->|  (blank filler)";
inline constexpr const char* kCwFillerLabel = "T   -->|  (CW filler)";
inline constexpr const char* kNoJitterText = "---";

// Cell colours of the table.
inline constexpr int kSequenceGreyText = 0x808080;
inline constexpr int kSequenceRowBackground = 0xD0D0D0;
inline constexpr int kSequenceFillerObjectBackground = 0xB0B0F0;
inline constexpr int kMarkerOffColor = 0xFFB0B0;
inline constexpr int kMarkerOnceColor = 0xFFFFB0;  // "1ST" and "LAST"
inline constexpr int kMarkerAllColor = 0xB0FFB0;

// Overlay mode text: 0 "---", 1 "ADD", 2 "MULT", any other "???".
const char* OverlayModeText(int mode);
// The 2-bit field of marker m (1..4) in a marker mask: bits 2(m-1), 2(m-1)+1.
int MarkerField(int mask, int marker);
// mask with marker m's field replaced by field (0..3).
int WithMarkerField(int mask, int marker, int field);
// Field text (0 "OFF", 1 "1ST", 2 "LAST", 3 "ALL") and its button colour.
const char* MarkerFieldText(int field);
int MarkerFieldColor(int field);
// Object label of a filler kind (0 blank, otherwise CW).
const char* FillerLabel(int fillerKind);

// One row as the compile lays it out.
struct SequenceRowLayout {
  int entry = 0;             // entry index, row = entry + 1
  bool filler = false;
  int pulseIndex = -1;       // PulseTable index of a pulse entry
  double start = 0.0;        // s
  double stop = 0.0;         // s
  int32_t samples = 0;       // limited to the int32 range
  bool compileFailed = false;
};

// Lays out the entries of seq at its sample rate, up to the first empty
// entry or the first pulse entry whose pulse is not in PulseTable. A filler
// whose end time lies before the time line is raised to it in the record;
// a filler covers the whole samples the build writes up to its end time
// (FillerSampleCount), and its row and the time line follow them.
// A pulse whose timing cannot be realised gets 0 samples and no duration
// (the pulse computation has logged why) and does not move the time line.
std::vector<SequenceRowLayout> CompileSequence(SequenceRecord* seq, int sequenceIndex);

// Writes row (1..128) of TABLE_SETTINGS on TAB_SEDIT; times in seconds.
// fillerFlag non-zero makes the Tstop cell editable in black.
void FillSequenceTable(int row, double startTime, double stopTime, int samples, const char* objectLabel,
                       int repetitions, const char* jitter1, const char* jitter2, const char* jitter3,
                       const char* jitter4, int fillerFlag, int markerMask, int overlayMode);
// Rows firstRow .. firstRow + rowCount - 1: empty text cells, indicator
// mode, dimmed. Rows outside 1..128 are left out.
void BlankSequenceTableRows(int firstRow, int rowCount);

// Start-up: TABLE_SETTINGS gets exactly its 128 rows.
void ResetSequenceTableRows();

// Shows sequence index (0 .. SequenceCount - 1) on TAB_SEDIT and makes it
// CurrentSequence; any other index does nothing at all.
void RefreshSequenceEditor(int index);
// The current sequence when TAB_SEDIT shows it (the record that
// RefreshSequenceEditor showed last, by ID), else nullptr: the page's
// callbacks write only into the record the page was filled from.
SequenceRecord* ShownSequence();
