// Cell and header editing of the Sequence Editor.
//
// Only one table cell is open (a ring) at a time: SequenceEditCell. A click
// on another cell turns the open one back into plain text before it opens
// the new one; a refresh rewrites every row as text, leaves no open cell
// and drops SequenceEditCell.
// Editable cells use the hot mode, because the run-time raises a cell's
// commit only for hot and validating cells.
#include "editors/SequenceEditing.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "app/Keywords.h"
#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/TypedText.h"
#include "editors/SequenceTable.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/SequenceEditorPage.h"

SequenceCellRef SequenceEditCell;

namespace {

constexpr double kSecondsPerMicrosecond = 0.000001;  // the table shows us, the record keeps s
constexpr int kMaxRepetitions = 10000;               // "Rep." range 0..10,000
// Jitter mode ring items, in this order, values 0..5.
constexpr int kJitterModeCount = 6;
// The pulse-object ring: the two fillers, then pulse slot p at item 2 + p.
constexpr int kPulseRingFirst = 2;

// The page writes only into the sequence it shows.
bool CurrentValid() { return ShownSequence() != nullptr; }
int Table() { return TAB_SEDIT_TABLE_SETTINGS; }
bool IsJitterColumn(int column) { return column >= SEQ_COL_JITTER1 && column < SEQ_COL_JITTER1 + 4; }
bool IsMarkerColumn(int column) { return column >= SEQ_COL_MARKER1 && column < SEQ_COL_MARKER1 + 4; }
bool RowValid(int row) { return row >= 1 && row <= kSequenceTableRows; }

// Name of the entry's pulse (first match by ID); "" when it has none.
const char* PulseNameOf(const SequenceEntry& e) {
  const int p = e.pulseId >= 0 ? FindPulseById(static_cast<uint32_t>(e.pulseId)) : -1;
  return p >= 0 ? PulseTable[p].name.c_str() : "";
}

// A plain text cell the user cannot edit; text null keeps the cell's text
// (a ring cell keeps its chosen item as its text).
void SetTextCell(int panel, Point cell, const char* text) {
  SetTableCellAttribute(panel, Table(), cell, ATTR_CELL_TYPE, VAL_CELL_STRING);
  SetTableCellAttribute(panel, Table(), cell, ATTR_CELL_MODE, VAL_INDICATOR);
  if (text != nullptr) SetTableCellVal(panel, Table(), cell, text);
}

// The open cell shows its entry's text again, not editable. Closing the
// pulse-object ring also restores the row's Tstop cell: editable in black
// for a filler, grey indicator for a pulse.
void CloseEditCell(int panel, const SequenceRecord& seq) {
  const SequenceCellRef open = SequenceEditCell;
  if (!RowValid(open.row)) return;
  // A dimmed cell (a row after the list) has no entry text to show.
  int dimmed = 0;
  GetTableCellAttribute(panel, Table(), Cell(open.column, open.row), ATTR_CELL_DIMMED, &dimmed);
  if (dimmed != 0) return;
  const SequenceEntry& e = seq.entries[open.row - 1];
  if (open.column == SEQ_COL_OBJECT) {
    SetTextCell(panel, Cell(open.column, open.row), e.IsPulse() ? PulseNameOf(e) : FillerLabel(e.fillerType));
    const Point tstop = Cell(SEQ_COL_TSTOP, open.row);
    SetTableCellAttribute(panel, Table(), tstop, ATTR_CELL_MODE, e.IsPulse() ? VAL_INDICATOR : VAL_HOT);
    SetTableCellAttribute(panel, Table(), tstop, ATTR_TEXT_COLOR, e.IsPulse() ? kSequenceGreyText : VAL_BLACK);
  } else if (IsJitterColumn(open.column)) {
    SetTextCell(panel, Cell(open.column, open.row), JitterModeToKeyword(e.jitterMode[open.column - SEQ_COL_JITTER1]));
  }
}

// The clicked cell becomes an editable ring: the pulse object offers both
// fillers and every pulse in library order, a jitter cell the six modes.
// Other columns open nothing.
void OpenEditCell(int panel, Point cell, const SequenceEntry& e) {
  if (cell.x == SEQ_COL_OBJECT) {
    SetTableCellAttribute(panel, Table(), cell, ATTR_CELL_TYPE, VAL_CELL_RING);
    DeleteTableCellRingItems(panel, Table(), cell, 0, -1);
    InsertTableCellRingItem(panel, Table(), cell, -1, kBlankFillerLabel);
    InsertTableCellRingItem(panel, Table(), cell, -1, kCwFillerLabel);
    for (int p = 0; p < PulseCount; ++p) InsertTableCellRingItem(panel, Table(), cell, -1, PulseTable[p].name.c_str());
    // A filler entry has no pulse: its ring opens on its own filler kind. A
    // pulse entry opens on its own pulse's item, not on the first of its name.
    SetTableCellVal(panel, Table(), cell, e.IsPulse() ? PulseNameOf(e) : FillerLabel(e.fillerType));
    const int p = e.IsPulse() ? FindPulseById(static_cast<uint32_t>(e.pulseId)) : -1;
    if (p >= 0) SetTableCellAttribute(panel, Table(), cell, ATTR_CTRL_INDEX, kPulseRingFirst + p);
    SetTableCellAttribute(panel, Table(), cell, ATTR_CELL_MODE, VAL_HOT);
  } else if (IsJitterColumn(cell.x)) {
    SetTableCellAttribute(panel, Table(), cell, ATTR_CELL_TYPE, VAL_CELL_RING);
    DeleteTableCellRingItems(panel, Table(), cell, 0, -1);
    for (int mode = 0; mode < kJitterModeCount; ++mode)
      InsertTableCellRingItem(panel, Table(), cell, -1, JitterModeToKeyword(mode));
    SetTableCellVal(panel, Table(), cell, JitterModeToKeyword(e.jitterMode[cell.x - SEQ_COL_JITTER1]));
    SetTableCellAttribute(panel, Table(), cell, ATTR_CELL_MODE, VAL_HOT);
  }
}

// A left click or double click at (x, y) in the table. Dimmed cells (the
// filler rows' choice columns and the rows after the list) take none.
// "Mode" cycles the overlay of a pulse entry and refreshes, since the
// start times of the following rows move; a marker click only rewrites its
// own cell and never touches the open cell.
void Click(int panel, int y, int x) {
  Point cell{0, 0};
  if (GetTableCellFromPoint(panel, Table(), MakePoint(x, y), &cell) < 0 || cell.x <= 0 || cell.y <= 0) return;
  int dimmed = 0;
  GetTableCellAttribute(panel, Table(), cell, ATTR_CELL_DIMMED, &dimmed);
  if (dimmed != 0 || !RowValid(cell.y)) return;
  SequenceRecord& seq = SequenceTable[CurrentSequence];
  SequenceEntry& e = seq.entries[cell.y - 1];

  if (cell.x == SEQ_COL_MODE) {
    if (e.pulseId == -1) return;
    const int next = NextOverlayMode(e.overlay, cell.y);
    if (next != e.overlay) {
      e.overlay = static_cast<uint8_t>(next);
      RefreshSequenceEditor(CurrentSequence);
    }
  } else if (IsMarkerColumn(cell.x)) {
    const int marker = cell.x - SEQ_COL_MARKER1 + 1;
    const int field = NextMarkerField(MarkerField(e.markerMask, marker));
    e.markerMask = WithMarkerField(e.markerMask, marker, field);
    SetTableCellVal(panel, Table(), cell, MarkerFieldText(field));
    SetTableCellAttribute(panel, Table(), cell, ATTR_TEXT_BGCOLOR, MarkerFieldColor(field));
    return;
  }
  if (cell.x != SequenceEditCell.column || cell.y != SequenceEditCell.row) CloseEditCell(panel, seq);
  OpenEditCell(panel, cell, e);
  SequenceEditCell.column = cell.x;
  SequenceEditCell.row = cell.y;
}

// After a ring's choice is stored, its cell is plain text again.
void CloseOpenRing(int panel) {
  if (RowValid(SequenceEditCell.row))
    SetTextCell(panel, Cell(SequenceEditCell.column, SequenceEditCell.row), nullptr);
}

// A committed cell of row (1-based, entry row - 1). The filler end time is
// not checked here: a time before the time line is raised to it by the
// refresh. A jitter choice changes no times, so it needs no refresh.
void Commit(int panel, int row, int column) {
  if (!RowValid(row)) return;
  SequenceEntry& e = SequenceTable[CurrentSequence].entries[row - 1];
  const Point cell = Cell(column, row);
  if (column == SEQ_COL_TSTOP) {
    double us = 0.0;
    if (GetTableCellVal(panel, Table(), cell, &us) < 0) return;
    e.fillerTime = us * kSecondsPerMicrosecond;
    RefreshSequenceEditor(CurrentSequence);
  } else if (column == SEQ_COL_OBJECT) {
    char text[256] = "";
    if (GetTableCellVal(panel, Table(), cell, text, sizeof text) < 0) return;
    // The chosen position tells pulses of one name apart; when it does not
    // match the label (no position known), the label decides: a filler, or
    // the first pulse of that name.
    int item = -1;
    if (GetTableCellAttribute(panel, Table(), cell, ATTR_CTRL_INDEX, &item) < 0) item = -1;
    int p = item - kPulseRingFirst;
    if (p < 0 || p >= PulseCount || PulseTable[p].name != std::string_view(text)) p = -1;
    const bool blank = p < 0 && std::strcmp(text, kBlankFillerLabel) == 0;
    if (blank || (p < 0 && std::strcmp(text, kCwFillerLabel) == 0)) {
      e.pulseId = -1;
      e.fillerType = blank ? SYNC_BLANK : SYNC_CW;
      e.repetitions = 0;
      for (uint8_t& mode : e.jitterMode) mode = 0;
      e.markerMask = 0;
      e.overlay = 0;  // a filler always moves the time line: it overlays nothing
    } else {
      // A pulse; a filler's end time no longer applies, a filler's 0
      // repetitions become 1, and a former filler starts without an overlay.
      if (p < 0) {
        p = 0;
        while (p < PulseCount && PulseTable[p].name != std::string_view(text)) ++p;
      }
      if (p < PulseCount) {
        if (!e.IsPulse()) e.overlay = 0;
        e.pulseId = static_cast<int32_t>(PulseTable[p].id);
        e.fillerTime = 0.0;
        if (e.repetitions == 0) e.repetitions = 1;
        SelectPulseTreeItem(PulseTable[p].id);
      }
    }
    CloseOpenRing(panel);
    RefreshSequenceEditor(CurrentSequence);
  } else if (column == SEQ_COL_REPS) {
    double reps = 0.0;
    if (GetTableCellVal(panel, Table(), cell, &reps) < 0) return;
    e.repetitions = LimitRepetitions(reps);
    RefreshSequenceEditor(CurrentSequence);
  } else if (IsJitterColumn(column)) {
    char text[64] = "";
    if (GetTableCellVal(panel, Table(), cell, text, sizeof text) < 0) return;
    e.jitterMode[column - SEQ_COL_JITTER1] = static_cast<uint8_t>(JitterModeFromKeyword(text));
    CloseOpenRing(panel);
  }
}

// Reads the header fields into seq, each on its own: a text that does not
// fit its record field, or a comment or copyright whose braces do not pair
// (both go into the waveform file's tags), is refused with the reason on
// the status line, and its field shows the stored text again. A path is
// never cut.
void ReadHeader(int panel, SequenceRecord* seq) {
  if (!TakeTypedTagText(&seq->comment, TypedCtrlText(panel, TAB_SEDIT_STR_COMMENT), "Comment"))
    ResetTextBox(panel, TAB_SEDIT_STR_COMMENT, seq->comment.c_str());
  if (!TakeTypedTagText(&seq->copyright, TypedCtrlText(panel, TAB_SEDIT_STR_COPYRIGHT), "Copyright"))
    SetCtrlVal(panel, TAB_SEDIT_STR_COPYRIGHT, seq->copyright.c_str());
  if (!TakeTypedText(&seq->waveFile, TypedCtrlText(panel, TAB_SEDIT_STR_FILE), "Waveform file path"))
    SetCtrlVal(panel, TAB_SEDIT_STR_FILE, seq->waveFile.c_str());
  double mhz = 0.0;
  GetCtrlVal(panel, TAB_SEDIT_NUM_ARBCLK, &mhz);
  seq->clock = mhz * 1000000.0;
}

}  // namespace

int NextOverlayMode(int mode, int row) {
  if (mode == 1) return 2;
  if (mode != 0) return 0;
  return row == 1 ? 0 : 1;
}

int NextMarkerField(int field) { return (field + 1) & 3; }

int LimitRepetitions(double value) {
  if (!(value > 0.0)) return 0;
  if (value > kMaxRepetitions) return kMaxRepetitions;
  return static_cast<int>(value);
}

int SequenceTableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData;
  if (!CurrentValid()) return 0;
  if (event == EVENT_LEFT_CLICK || event == EVENT_LEFT_DOUBLE_CLICK) Click(panel, eventData1, eventData2);
  else if (event == EVENT_COMMIT) Commit(panel, eventData1, eventData2);
  return 0;
}

int SequenceEditCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  SequenceRecord& seq = SequenceTable[CurrentSequence];
  if (control == TAB_SEDIT_CMD_S_HIDE) {
    seq.hidden = seq.hidden == 0 ? 1 : 0;
    RefreshSequenceEditor(CurrentSequence);
    return 0;
  }
  const std::string name = TypedCtrlText(panel, TAB_SEDIT_STR_NAME);
  ReadHeader(panel, &seq);
  DimGenerateButton(seq.waveFile.empty() ? 1 : 0);
  if (seq.name != std::string_view(name)) {
    if (!TakeTypedText(&seq.name, name, "Sequence name")) {
      SetCtrlVal(panel, TAB_SEDIT_STR_NAME, seq.name.c_str());
    } else {
      RebuildLibraryTree();
      SelectSequenceTreeItem(seq.id);
    }
  }
  if (control == TAB_SEDIT_NUM_ARBCLK) RefreshSequenceEditor(CurrentSequence);
  return 0;
}
