// Compile and display of a sequence on the Sequence Editor page.
//
// Cell look by column: "Item ", the times and "Samples  " are grey
// indicators; "Mode" and the marker columns are button cells; "Rep." and a
// filler's Tstop are editable numerics; the object and jitter columns are
// plain text until a click opens them as rings (SequenceEditing.cpp).
#include "editors/SequenceTable.h"

#include <algorithm>
#include <climits>
#include <string>

#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/PulseRecord.h"
#include "editors/SequenceEditing.h"
#include "editors/SequenceEntries.h"
#include "editors/SequenceFilter.h"
#include "engine/PulseCompute.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

constexpr double kSecondsPerMicrosecond = 1e-06;  // times are shown in us
// The most samples a waveform file holds.
constexpr double kMostFileSamples = 2147483647.0;

// Marker field texts and button colours, by field value 0..3.
struct MarkerFieldLook {
  const char* text;
  int color;
};
constexpr MarkerFieldLook kMarkerFields[4] = {
    {"OFF", kMarkerOffColor}, {"1ST", kMarkerOnceColor}, {"LAST", kMarkerOnceColor}, {"ALL", kMarkerAllColor}};

// Sample counts of long entries (up to 10,000 repetitions of a long pulse)
// can pass the int32 range of the table cells: they show the largest value.
int32_t ClampToInt32(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

int Table() { return TAB_SEDIT_TABLE_SETTINGS; }

void SetCellText(int row, int column, const char* text) {
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_CELL_TYPE, VAL_CELL_STRING);
  SetTableCellVal(TAB_SEDIT, Table(), Cell(column, row), text != nullptr ? text : "");
}

void SetCellNumber(int row, int column, int dataType, double value) {
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_CELL_TYPE, VAL_CELL_NUMERIC);
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_DATA_TYPE, dataType);
  SetTableCellVal(TAB_SEDIT, Table(), Cell(column, row), value);
}

void SetCellLook(int row, int column, int mode, int textColor) {
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_CELL_MODE, mode);
  if (textColor >= 0) SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_TEXT_COLOR, textColor);
}

void SetButtonCell(int row, int column, const char* text, int color) {
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_CELL_TYPE, VAL_CELL_BUTTON);
  SetTableCellVal(TAB_SEDIT, Table(), Cell(column, row), text);
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_CELL_MODE, VAL_HOT);
  if (color >= 0) SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_TEXT_BGCOLOR, color);
}

// Background of every cell of rows row..lastRow.
void GreyRows(int row, int lastRow) {
  if (row < 1 || lastRow > kSequenceTableRows || lastRow < row) return;
  SetTableCellRangeAttribute(TAB_SEDIT, Table(), MakeRect(row, 1, lastRow - row + 1, SEQ_COLUMNS),
                             ATTR_TEXT_BGCOLOR, kSequenceRowBackground);
}

// The table needs its 128 rows (start-up inserts them); a table built
// without them gets them here, so a refresh never writes past its end.
void EnsureRows() {
  int rows = 0;
  if (GetNumTableRows(TAB_SEDIT, Table(), &rows) < 0) return;
  if (rows < kSequenceTableRows)
    InsertTableRows(TAB_SEDIT, Table(), -1, kSequenceTableRows - rows, VAL_USE_MASTER_CELL_TYPE);
}

// Name, comment, copyright, file, the sample rate in MHz and the hide
// button's picture (lock for a hidden sequence).
void ShowHeader(const SequenceRecord& seq) {
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_NAME, seq.name.c_str());
  ResetTextBox(TAB_SEDIT, TAB_SEDIT_STR_COMMENT, seq.comment.c_str());
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_COPYRIGHT, seq.copyright.c_str());
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_FILE, seq.waveFile.c_str());
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_NUM_ARBCLK, seq.clock / 1000000.0);
  // The two hidden pictures hold the same images as these texts.
  int bitmap = 0;
  if (GetUserBitmapFromText(seq.hidden != 0 ? kIconSequenceLocked : kIconSequenceUnlocked, &bitmap) >= 0) {
    SetCtrlBitmap(TAB_SEDIT, TAB_SEDIT_CMD_S_HIDE, bitmap);
    DiscardBitmap(bitmap);
  }
}

// The time columns hold the stop time of the longest sequence the clock
// allows (a waveform file of 2,147,483,647 samples; a longer list shown
// counts too) and the samples column that count, whole, as the cells show
// them ("%.2f" us, integers). The room they need beyond their design width
// comes from the pulse object column, down to the width of the longer
// filler label; what is still missing then the table scrolls.
void FitCountColumns(const SequenceRecord& seq, const std::vector<SequenceRowLayout>& rows) {
  double longest = seq.clock > 0.0 ? kMostFileSamples / seq.clock : 0.0;  // s
  for (const SequenceRowLayout& r : rows) longest = std::max(longest, r.stop);
  const std::string time = cz::FormatC("%.2f", longest / kSecondsPerMicrosecond);
  const std::string samples = cz::FormatC("%d", INT32_MAX);
  int timeWidth = 0, sampleWidth = 0, fillerWidth = 0;
  if (GetTableColumnWidthForText(TAB_SEDIT, Table(), SEQ_COL_TSTOP, time.c_str(), &timeWidth) < 0 ||
      GetTableColumnWidthForText(TAB_SEDIT, Table(), SEQ_COL_SAMPLES, samples.c_str(), &sampleWidth) < 0 ||
      GetTableColumnWidthForText(TAB_SEDIT, Table(), SEQ_COL_OBJECT, kBlankFillerLabel, &fillerWidth) < 0)
    return;
  timeWidth = std::max(timeWidth, kSequenceCountColumnWidth);
  sampleWidth = std::max(sampleWidth, kSequenceCountColumnWidth);
  const int growth = 2 * (timeWidth - kSequenceCountColumnWidth) + (sampleWidth - kSequenceCountColumnWidth);
  const int objectWidth = std::max(kSequenceObjectColumnWidth - growth, std::min(fillerWidth, kSequenceObjectColumnWidth));
  SetTableColumnAttribute(TAB_SEDIT, Table(), SEQ_COL_TSTART, ATTR_COLUMN_WIDTH, timeWidth);
  SetTableColumnAttribute(TAB_SEDIT, Table(), SEQ_COL_TSTOP, ATTR_COLUMN_WIDTH, timeWidth);
  SetTableColumnAttribute(TAB_SEDIT, Table(), SEQ_COL_SAMPLES, ATTR_COLUMN_WIDTH, sampleWidth);
  SetTableColumnAttribute(TAB_SEDIT, Table(), SEQ_COL_OBJECT, ATTR_COLUMN_WIDTH, objectWidth);
}

// Writes the compiled rows; the object cell of a filler row is light blue,
// everything else grey, and a filler's Mode and choice columns are dimmed.
// A failed compile is named on the status line; its row is still shown.
void FillRows(SequenceRecord* seq, int index) {
  const std::vector<SequenceRowLayout> rows = CompileSequence(seq, index);
  FitCountColumns(*seq, rows);
  for (const SequenceRowLayout& r : rows) {
    const int row = r.entry + 1;
    const SequenceEntry& e = seq->entries[r.entry];
    // Each row is greyed before it is written (the marker buttons and a
    // filler's object cell then get their own colours); the rows below
    // are greyed when their turn comes or after the list.
    GreyRows(row, row);
    if (!r.filler) {
      const PulseRecord& pulse = PulseTable[r.pulseIndex];
      if (r.compileFailed) Log_Status(3, "** Error compiling '", pulse.name.c_str(), "'");
      SetTableCellAttribute(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, row), ATTR_TEXT_BGCOLOR, kSequenceRowBackground);
      FillSequenceTable(row, r.start, r.stop, r.samples, pulse.name.c_str(), e.repetitions,
                        JitterModeToKeyword(e.jitterMode[0]), JitterModeToKeyword(e.jitterMode[1]),
                        JitterModeToKeyword(e.jitterMode[2]), JitterModeToKeyword(e.jitterMode[3]), 0, e.markerMask,
                        e.overlay);
    } else {
      SetTableCellAttribute(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, row), ATTR_TEXT_BGCOLOR,
                            kSequenceFillerObjectBackground);
      FillSequenceTable(row, r.start, r.stop, r.samples, FillerLabel(e.fillerType), 0, kNoJitterText, kNoJitterText,
                        kNoJitterText, kNoJitterText, 1, e.markerMask, 0);
      SetTableCellAttribute(TAB_SEDIT, Table(), Cell(SEQ_COL_MODE, row), ATTR_CELL_DIMMED, 1);
      SetTableCellRangeAttribute(TAB_SEDIT, Table(), MakeRect(row, SEQ_COL_REPS, 1, SEQ_COLUMNS - SEQ_COL_REPS + 1),
                                 ATTR_CELL_DIMMED, 1);
    }
  }
  const int first = static_cast<int>(rows.size()) + 1;
  BlankSequenceTableRows(first, kSequenceTableRows - first + 1);
  GreyRows(first, kSequenceTableRows);
}

}  // namespace

const char* OverlayModeText(int mode) {
  switch (mode) {
    case 0: return "---";
    case 1: return "ADD";
    case 2: return "MULT";
    default: return "???";
  }
}

int MarkerField(int mask, int marker) {
  if (marker < 1 || marker > 4) return 0;
  return (mask >> (2 * (marker - 1))) & 3;
}

int WithMarkerField(int mask, int marker, int field) {
  if (marker < 1 || marker > 4) return mask;
  const int shift = 2 * (marker - 1);
  return (mask & ~(3 << shift)) | ((field & 3) << shift);
}

const char* MarkerFieldText(int field) { return kMarkerFields[field & 3].text; }
int MarkerFieldColor(int field) { return kMarkerFields[field & 3].color; }
const char* FillerLabel(int fillerKind) { return fillerKind == SYNC_BLANK ? kBlankFillerLabel : kCwFillerLabel; }

std::vector<SequenceRowLayout> CompileSequence(SequenceRecord* seq, int sequenceIndex) {
  std::vector<SequenceRowLayout> rows;
  if (seq == nullptr) return rows;
  // An overlay (ADD, MULT) starts where the last entry that is not an
  // overlay started and does not move the time line; fillers always move it.
  double timeLine = 0.0;  // where the next entry that is not an overlay starts, s
  double shown = 0.0;     // start time shown for the entry, s
  // A stored project may hold an overlay on the first entry, which has
  // nothing to lie on: it is shown and kept as a plain entry.
  SequenceEntries_ClearFirstOverlay(seq);
  for (int i = 0; i < kMaxSequenceEntries; ++i) {
    SequenceEntry& e = seq->entries[i];
    SequenceRowLayout r;
    r.entry = i;
    if (e.pulseId != -1) {
      const int p = e.pulseId >= 0 ? FindPulseById(static_cast<uint32_t>(e.pulseId)) : -1;
      if (p < 0) break;
      int32_t n = 0;
      double d = 0.0, peak = 0.0, length = 0.0;
      const int ok = ComputePulse(p, &PulseTable[p], -1, -1, seq->clock, nullptr, &n, &d, &peak, 1, 0, 0, 1, 1, 1, 0,
                                  0, 0.0, i + 1, sequenceIndex, -1, 0.0, 0.0, &length);
      if (!ok) length = 0.0;
      // The repetitions as the build lays them: each starts at the sample
      // nearest to its exact time.
      const double samples = static_cast<double>(RepeatedSamples(length, e.repetitions > 0 ? e.repetitions : 0));
      const double duration = seq->clock > 0.0 ? samples / seq->clock : 0.0;
      if (e.overlay == 0) {
        shown = timeLine;
        timeLine += duration;
      }
      r.pulseIndex = p;
      r.start = shown;
      r.stop = shown + duration;
      r.samples = ClampToInt32(samples);
      r.compileFailed = !ok;
    } else if (e.fillerType == SYNC_BLANK || e.fillerType == SYNC_CW) {
      if (!(e.fillerTime >= timeLine)) e.fillerTime = timeLine;
      // Counted and laid out as the build writes it: a whole number of
      // samples, the time line moving on by their duration.
      const int64_t n = FillerSampleCount(e.fillerTime, timeLine, seq->clock);
      const double duration = seq->clock > 0.0 ? static_cast<double>(n) / seq->clock : e.fillerTime - timeLine;
      r.filler = true;
      r.samples = ClampToInt32(static_cast<double>(n));
      shown = timeLine;
      timeLine += duration;
      r.start = shown;
      r.stop = shown + duration;
    } else {
      break;
    }
    rows.push_back(r);
  }
  return rows;
}

void FillSequenceTable(int row, double startTime, double stopTime, int samples, const char* objectLabel,
                       int repetitions, const char* jitter1, const char* jitter2, const char* jitter3,
                       const char* jitter4, int fillerFlag, int markerMask, int overlayMode) {
  if (row < 1 || row > kSequenceTableRows) return;
  SetCellText(row, SEQ_COL_ITEM, std::to_string(row).c_str());
  SetCellLook(row, SEQ_COL_ITEM, VAL_INDICATOR, kSequenceGreyText);
  SetButtonCell(row, SEQ_COL_MODE, OverlayModeText(overlayMode), -1);
  SetCellNumber(row, SEQ_COL_TSTART, VAL_DOUBLE, startTime / kSecondsPerMicrosecond);
  SetCellLook(row, SEQ_COL_TSTART, VAL_INDICATOR, kSequenceGreyText);
  SetCellNumber(row, SEQ_COL_TSTOP, VAL_DOUBLE, stopTime / kSecondsPerMicrosecond);
  // A filler's end time is edited in its Tstop cell.
  if (fillerFlag != 0) SetCellLook(row, SEQ_COL_TSTOP, VAL_HOT, VAL_BLACK);
  else SetCellLook(row, SEQ_COL_TSTOP, VAL_INDICATOR, kSequenceGreyText);
  SetCellNumber(row, SEQ_COL_SAMPLES, VAL_INTEGER, samples);
  SetCellLook(row, SEQ_COL_SAMPLES, VAL_INDICATOR, kSequenceGreyText);
  SetCellText(row, SEQ_COL_OBJECT, objectLabel);
  SetCellLook(row, SEQ_COL_OBJECT, VAL_INDICATOR, -1);
  SetCellNumber(row, SEQ_COL_REPS, VAL_INTEGER, repetitions);
  SetCellLook(row, SEQ_COL_REPS, VAL_HOT, -1);
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, row), ATTR_MIN_VALUE, 0.0);
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, row), ATTR_MAX_VALUE, 10000.0);
  SetTableCellAttribute(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, row), ATTR_INCR_VALUE, 1.0);
  const char* jitter[4] = {jitter1, jitter2, jitter3, jitter4};
  for (int k = 0; k < 4; ++k) {
    SetCellText(row, SEQ_COL_JITTER1 + k, jitter[k]);
    SetCellLook(row, SEQ_COL_JITTER1 + k, VAL_INDICATOR, -1);
  }
  for (int m = 1; m <= 4; ++m) {
    const int field = MarkerField(markerMask, m);
    SetButtonCell(row, SEQ_COL_MARKER1 + m - 1, MarkerFieldText(field), MarkerFieldColor(field));
  }
  SetTableCellRangeAttribute(TAB_SEDIT, Table(), MakeRect(row, 1, 1, SEQ_COLUMNS), ATTR_CELL_DIMMED, 0);
}

void BlankSequenceTableRows(int firstRow, int rowCount) {
  const int first = firstRow < 1 ? 1 : firstRow;
  const int last = firstRow + rowCount - 1 > kSequenceTableRows ? kSequenceTableRows : firstRow + rowCount - 1;
  for (int row = first; row <= last; ++row)
    for (int column = 1; column <= SEQ_COLUMNS; ++column) {
      SetCellText(row, column, "");
      SetCellLook(row, column, VAL_INDICATOR, -1);
      SetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), ATTR_CELL_DIMMED, 1);
    }
}

void ResetSequenceTableRows() {
  DeleteTableRows(TAB_SEDIT, Table(), 1, -1);
  InsertTableRows(TAB_SEDIT, Table(), -1, kSequenceTableRows, VAL_USE_MASTER_CELL_TYPE);
}

namespace {
// ID of the sequence TAB_SEDIT shows; 0 when none (IDs start at 1).
uint32_t g_shownSequenceId = 0;
}  // namespace

SequenceRecord* ShownSequence() {
  if (CurrentSequence < 0 || CurrentSequence >= SequenceCount) return nullptr;
  SequenceRecord& seq = SequenceTable[CurrentSequence];
  return seq.id == g_shownSequenceId ? &seq : nullptr;
}

void RefreshSequenceEditor(int index) {
  if (index < 0 || index >= SequenceCount) return;
  CurrentSequence = index;
  SequenceRecord& seq = SequenceTable[index];
  g_shownSequenceId = seq.id;
  ShowHeader(seq);
  const int reportItem = ShowSequenceInDialogs(seq);
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_LOG, seq.reportOn != 0 && reportItem > 0 ? 1 : 0);
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_FILTER, seq.filterOn != 0 ? 1 : 0);
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_WVINFO, "");

  // The table is hidden while its 128 rows are rewritten; the active cell
  // is kept by row and column, whatever entry now stands there. Every row
  // is written as plain text again, so no cell stays open: the remembered
  // edit cell is dropped, and a later click never writes the text of an
  // entry that has moved, gone, or belongs to the sequence shown before.
  SequenceEditCell = SequenceCellRef{};
  Point active{0, 0};
  GetActiveTableCell(TAB_SEDIT, Table(), &active);
  SetCtrlAttribute(TAB_SEDIT, Table(), ATTR_VISIBLE, 0);
  EnsureRows();
  FillRows(&seq, index);
  SetCtrlAttribute(TAB_SEDIT, Table(), ATTR_VISIBLE, 1);
  if (active.x > 0 && active.y > 0) SetActiveTableCell(TAB_SEDIT, Table(), active);
}
