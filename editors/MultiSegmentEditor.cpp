// The multi-segment editor: display of the current record on TAB_MSEG, the
// dimming rules, the header commit, the sequencing mode and the in-place
// editing of the segment table.
#include "editors/MultiSegmentEditor.h"

#include <cstring>
#include <string>

#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/TypedText.h"
#include "instrument/Identify.h"
#include "instrument/MultiSegment.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/MultiSegmentPage.h"

namespace {

// The cell being edited (column, row); (-1, -1) when none. g_editShown is
// the text the cell showed when it was clicked: a commit of that same text
// is no edit and stores nothing, so a length shown with two decimals or a
// sequence name that two sequences share is never written back.
int g_editColumn = -1;
int g_editRow = -1;
std::string g_editShown;

// ID of the waveform TAB_MSEG shows; 0 when none (IDs start at 1).
uint32_t g_shownId = 0;

MultiSegmentRecord* Current() { return ShownMultiSegment(); }

int Table() { return TAB_MSEG_TABLE_SETTINGS; }

Rect RowRange(int row) { return Rect{row, 1, 1, MSW_COLUMNS}; }

// One text cell of the segment table in indicator mode.
void WriteCell(int row, int column, const char* text, int color) {
  const Point cell = Cell(column, row);
  SetTableCellAttribute(TAB_MSEG, Table(), cell, ATTR_CELL_TYPE, VAL_CELL_STRING);
  SetTableCellAttribute(TAB_MSEG, Table(), cell, ATTR_CELL_MODE, VAL_INDICATOR);
  SetTableCellVal(TAB_MSEG, Table(), cell, text);
  SetTableCellAttribute(TAB_MSEG, Table(), cell, ATTR_TEXT_COLOR, color);
}

void Dim(int control, bool dimmed) {
  if (control >= 0) SetCtrlAttribute(TAB_MSEG, control, ATTR_DIMMED, dimmed ? 1 : 0);
}

int IntVal(int control) {
  int v = 0;
  GetCtrlVal(TAB_MSEG, control, &v);
  return v;
}

double DoubleVal(int control) {
  double v = 0.0;
  GetCtrlVal(TAB_MSEG, control, &v);
  return v;
}

// The cell takes an edit in hot mode: a typed text or a ring choice raises
// its commit as soon as the user makes it, so the record holds it before
// anything (Generate, a save, another record shown) refreshes the table.
void MakeEditable(Point cell) { SetTableCellAttribute(TAB_MSEG, Table(), cell, ATTR_CELL_MODE, VAL_HOT); }

// Column 3 as a ring of the blank filler and every library sequence, in
// table order: item 1 + s is sequence slot s, so that sequences of one name
// stay apart. The segment's own sequence is the active item.
void MakeSequenceRing(Point cell, const MultiSegmentEntry& seg) {
  SetTableCellAttribute(TAB_MSEG, Table(), cell, ATTR_CELL_TYPE, VAL_CELL_RING);
  DeleteTableCellRingItems(TAB_MSEG, Table(), cell, 0, -1);
  InsertTableCellRingItem(TAB_MSEG, Table(), cell, -1, kMswBlankLabel);
  for (int s = 0; s < SequenceCount; ++s)
    InsertTableCellRingItem(TAB_MSEG, Table(), cell, -1, SequenceTable[s].name.c_str());
  const int s = seg.type == SEGMENT_SEQUENCE ? FindSequenceById(static_cast<uint32_t>(seg.sequenceId)) : -1;
  // A segment whose sequence the library does not hold keeps showing "???"
  // with no item chosen: only a choice of the user changes it.
  if (s >= 0 || seg.type == SEGMENT_BLANK)
    SetTableCellAttribute(TAB_MSEG, Table(), cell, ATTR_CTRL_INDEX, s >= 0 ? s + 1 : 0);
  MakeEditable(cell);
}

// The commit of an edited cell: store, refresh, forget the edited cell.
// chosen: the cell raised its commit (a typed text, a ring choice); false
// when the user only left the cell, which stores a typed text that differs
// from the shown one but never a ring's item: a choice commits when made.
void CommitEditedCell(int column, int row, bool chosen) {
  MultiSegmentRecord* rec = Current();
  if (rec == nullptr || row < 1 || row > kMaxSegments) return;
  if (column != MSW_COL_REP && column != MSW_COL_SEQUENCE && column != MSW_COL_TSTOP) return;
  char text[4 * 256 + 4] = {};  // the cells take 255 characters
  GetTableCellVal(TAB_MSEG, Table(), Cell(column, row), text, sizeof text);
  int item = -1;
  if (column == MSW_COL_SEQUENCE &&
      GetTableCellAttribute(TAB_MSEG, Table(), Cell(column, row), ATTR_CTRL_INDEX, &item) < 0)
    item = -1;
  // A ring choice is resolved by its position, so it is taken even when its
  // text equals the shown one (two sequences of one name).
  const bool edited = column == MSW_COL_SEQUENCE
                          ? chosen
                          : column != g_editColumn || row != g_editRow || g_editShown != text;
  if (edited) MswCommitCell(rec, column, row, text, item);
  RefreshMultiSegmentEditor();
  g_editColumn = g_editRow = -1;
  g_editShown.clear();
}

void ClickCell(int x, int y) {
  Point cell{0, 0};
  if (GetTableCellFromPoint(TAB_MSEG, Table(), MakePoint(x, y), &cell) < 0 || cell.x < 1 || cell.y < 1) return;
  int dimmed = 0;
  GetTableCellAttribute(TAB_MSEG, Table(), cell, ATTR_CELL_DIMMED, &dimmed);
  if (dimmed || (cell.x == g_editColumn && cell.y == g_editRow)) return;
  if (g_editColumn == MSW_COL_REP || g_editColumn == MSW_COL_SEQUENCE || g_editColumn == MSW_COL_TSTOP)
    CommitEditedCell(g_editColumn, g_editRow, false);
  MultiSegmentRecord* rec = Current();
  if (rec != nullptr && cell.y <= kMaxSegments) {
    const MultiSegmentEntry& seg = rec->segments[cell.y - 1];
    if (cell.x == MSW_COL_SEQUENCE) {
      MakeSequenceRing(cell, seg);
    } else if (cell.x == MSW_COL_REP && rec->sequencerMode && seg.type == SEGMENT_SEQUENCE) {
      SetTableCellVal(TAB_MSEG, Table(), cell, seg.repetition.c_str());
      MakeEditable(cell);
    } else if (cell.x == MSW_COL_TSTOP && rec->sequencerMode && seg.type == SEGMENT_BLANK) {
      SetTableCellVal(TAB_MSEG, Table(), cell, cz::FormatC("%4.2f", seg.stopTime * 1e6).c_str());
      MakeEditable(cell);
    }
  }
  g_editColumn = cell.x;
  g_editRow = cell.y;
  char shown[256] = {};
  GetTableCellVal(TAB_MSEG, Table(), cell, shown, sizeof shown);
  g_editShown = shown;
}

}  // namespace

// ---- display ------------------------------------------------------------------

void InitMultiSegmentPage() {
  if (TAB_MSEG <= 0) return;
  DeleteTableRows(TAB_MSEG, Table(), 1, -1);
  InsertTableRows(TAB_MSEG, Table(), -1, kMaxSegments, VAL_CELL_STRING);
  for (int control : {TAB_MSEG_STR_NAME, TAB_MSEG_STR_COMMENT, TAB_MSEG_STR_MSNAME})
    SetCtrlAttribute(TAB_MSEG, control, ATTR_FRAME_COLOR, VAL_TRANSPARENT);
  DimMultiSegmentControls(0);
}

void ShowMultiSegment(int index) {
  if (index < 0 || index >= MultiSegmentCount || TAB_MSEG <= 0) return;
  CurrentMultiSegment = index;
  const MultiSegmentRecord& rec = MultiSegmentTable[index];
  g_shownId = rec.id;
  SetCtrlVal(TAB_MSEG, TAB_MSEG_STR_NAME, rec.name.c_str());
  // The comment is a text box, which SetCtrlVal appends to: replaced whole.
  ResetTextBox(TAB_MSEG, TAB_MSEG_STR_COMMENT, rec.comment.c_str());
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_ARBCLK, rec.clockMode);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_NUM_ARBCLK, rec.clock / 1e6);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_ARBLEV, rec.levelMode);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_STR_MSNAME, rec.targetName.c_str());
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_TRGMODE, rec.triggerMode);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_ETRGMODE, rec.extTriggerMode);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_TSRC, rec.triggerSource);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_NUM_DELAY, rec.delay);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_BB, rec.bbPath);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_SEQMODE, rec.sequencerMode ? 2 : 1);
  SetCtrlVal(TAB_MSEG, TAB_MSEG_RING_SEQLAST, rec.nextSegment);
  DimMultiSegmentControls(0);

  int rows = 0;
  GetNumTableRows(TAB_MSEG, Table(), &rows);
  if (rows < kMaxSegments) InsertTableRows(TAB_MSEG, Table(), -1, kMaxSegments - rows, VAL_CELL_STRING);
  SetCtrlAttribute(TAB_MSEG, Table(), ATTR_VISIBLE, 0);
  HighlightMultiSegmentRow(-1);
  for (int row = 1; row <= kMaxSegments; ++row) {
    const MultiSegmentEntry& seg = rec.segments[row - 1];
    if (seg.type == SEGMENT_BLANK) {
      SetMultiSegmentRow(row, 0, kMswBlankLabel, seg.repetition.c_str(), 0.0, seg.stopTime, 0);
    } else if (seg.type == SEGMENT_UNKNOWN) {
      SetMultiSegmentRow(row, 0, "???", seg.repetition.c_str(), 0.0, seg.stopTime, rec.sequencerMode);
    } else if (seg.IsFree()) {
      ClearMultiSegmentRow(row);
    } else {
      const int s = FindSequenceById(static_cast<uint32_t>(seg.sequenceId));
      SetMultiSegmentRow(row, 0, s >= 0 ? SequenceTable[s].name.c_str() : "???", seg.repetition.c_str(), 0.0,
                         0.0, rec.sequencerMode);
    }
  }
  SetCtrlAttribute(TAB_MSEG, Table(), ATTR_VISIBLE, 1);
  g_editColumn = g_editRow = -1;
  g_editShown.clear();
}

void RefreshMultiSegmentEditor() { ShowMultiSegment(CurrentMultiSegment); }

// The page's edits and commands go only into the record it was filled from.
MultiSegmentRecord* ShownMultiSegment() {
  if (CurrentMultiSegment < 0 || CurrentMultiSegment >= MultiSegmentCount) return nullptr;
  MultiSegmentRecord* rec = &MultiSegmentTable[CurrentMultiSegment];
  return rec->id == g_shownId ? rec : nullptr;
}

void SetMultiSegmentRow(int row, int32_t samples, const char* label, const char* repetition, double startTime,
                        double stopTime, int32_t sequencerOn) {
  if (TAB_MSEG <= 0 || row < 1 || row > kMaxSegments) return;
  const bool blank = label != nullptr && std::strcmp(label, kMswBlankLabel) == 0;
  SetTableCellRangeAttribute(TAB_MSEG, Table(), RowRange(row), ATTR_CELL_DIMMED, 0);
  WriteCell(row, MSW_COL_NO, cz::FormatC("%d", row - 1).c_str(), kMswGreyText);
  WriteCell(row, MSW_COL_REP, repetition ? repetition : "", sequencerOn && !blank ? kMswBlackText : kMswGreyText);
  WriteCell(row, MSW_COL_SEQUENCE, label ? label : "", kMswBlackText);
  WriteCell(row, MSW_COL_SAMPLES, samples == 0 ? "---" : cz::FormatC("%ld", static_cast<long>(samples)).c_str(),
            kMswGreyText);
  WriteCell(row, MSW_COL_TSTART, cz::FormatC("%4.2f", startTime * 1e6).c_str(), kMswGreyText);
  WriteCell(row, MSW_COL_TSTOP, cz::FormatC("%4.2f", stopTime * 1e6).c_str(), blank ? kMswBlackText : kMswGreyText);
}

void ClearMultiSegmentRow(int row) {
  if (TAB_MSEG <= 0 || row < 1 || row > kMaxSegments) return;
  for (int column = 1; column <= MSW_COLUMNS; ++column) WriteCell(row, column, "", kMswGreyText);
  SetTableCellRangeAttribute(TAB_MSEG, Table(), RowRange(row), ATTR_CELL_DIMMED, 1);
}

void HighlightMultiSegmentRow(int row) {
  if (TAB_MSEG <= 0) return;
  for (int r = 1; r <= kMaxSegments; ++r)
    SetTableCellRangeAttribute(TAB_MSEG, Table(), RowRange(r), ATTR_TEXT_BGCOLOR,
                               r == row ? kMswHighlightColor : kMswRowColor);
  ProcessDrawEvents();
}

void DimMultiSegmentControls(int busy) {
  if (TAB_MSEG <= 0) return;
  // Without a current waveform the record-dependent conditions count as
  // false: no user clock, no sequencer, no target name.
  const MultiSegmentRecord* rec = Current();
  const bool b = busy != 0;
  const bool user = rec != nullptr && rec->clockMode == 3;
  const bool seq = rec != nullptr && rec->sequencerMode != 0;
  const bool target = rec != nullptr && !rec->targetName.empty();
  const bool capable = InstrumentCapabilities.MultiSegment != 0;
  DimLibraryControls(b ? 1 : 0);
  Dim(TAB_MSEG_CMD_STOP, !b);
  for (int control : {TAB_MSEG_STR_NAME, TAB_MSEG_STR_COMMENT, TAB_MSEG_STR_MSNAME, TAB_MSEG_RING_SEQMODE,
                      TAB_MSEG_RING_ARBLEV, TAB_MSEG_RING_BB, TAB_MSEG_RING_TRGMODE, TAB_MSEG_CMD_SENTRY_NEW,
                      TAB_MSEG_CMD_SENTRY_DEL, TAB_MSEG_CMD_SENTRY_UP, TAB_MSEG_CMD_SENTRY_DOWN})
    Dim(control, b);
  for (int control : {TAB_MSEG_RING_ARBCLK, TAB_MSEG_RING_ETRGMODE, TAB_MSEG_RING_TSRC, TAB_MSEG_NUM_DELAY,
                      TAB_MSEG_NUM_NEXTSEG, TAB_MSEG_CMD_SET, TAB_MSEG_CMD_TRIG, TAB_MSEG_CMD_QUERY})
    Dim(control, b || seq);
  Dim(TAB_MSEG_NUM_ARBCLK, b || !user);
  Dim(TAB_MSEG_RING_SEQLAST, b || !seq);
  Dim(TAB_MSEG_CMD_GENERATE, b || !target || !capable);
}

// ---- callbacks of the header and the table ------------------------------------------

int MultiSegmentSettingsCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  MultiSegmentRecord* rec = Current();
  if (event != EVENT_COMMIT || rec == nullptr) return 0;
  // Texts are taken whole or refused (the reason on the status line); a
  // refused field shows the stored text again.
  const std::string name = TypedCtrlText(panel, TAB_MSEG_STR_NAME);
  if (!TakeTypedText(&rec->comment, TypedCtrlText(panel, TAB_MSEG_STR_COMMENT), "Comment"))
    ResetTextBox(panel, TAB_MSEG_STR_COMMENT, rec->comment.c_str());
  if (!TakeTypedText(&rec->targetName, TypedCtrlText(panel, TAB_MSEG_STR_MSNAME), "Target name"))
    SetCtrlVal(panel, TAB_MSEG_STR_MSNAME, rec->targetName.c_str());
  rec->sequencerMode = IntVal(TAB_MSEG_RING_SEQMODE) == 2 ? 1 : 0;
  rec->clockMode = IntVal(TAB_MSEG_RING_ARBCLK);
  rec->clock = DoubleVal(TAB_MSEG_NUM_ARBCLK) * 1e6;  // the control shows MHz
  rec->levelMode = IntVal(TAB_MSEG_RING_ARBLEV);
  rec->bbPath = IntVal(TAB_MSEG_RING_BB);
  rec->nextSegment = IntVal(TAB_MSEG_RING_SEQLAST);
  rec->triggerMode = IntVal(TAB_MSEG_RING_TRGMODE);
  rec->extTriggerMode = IntVal(TAB_MSEG_RING_ETRGMODE);
  rec->triggerSource = IntVal(TAB_MSEG_RING_TSRC);
  rec->delay = DoubleVal(TAB_MSEG_NUM_DELAY);
  DimMultiSegmentControls(0);
  if (rec->name != std::string_view(name)) {
    if (!TakeTypedText(&rec->name, name, "Multi-segment name")) SetCtrlVal(panel, TAB_MSEG_STR_NAME, rec->name.c_str());
    else RebuildLibraryTree();
  }
  return 0;
}

int MultiSegmentModeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)callbackData, (void)eventData1, (void)eventData2;
  MultiSegmentRecord* rec = Current();
  if (event != EVENT_COMMIT || rec == nullptr) return 0;
  int mode = 1;
  GetCtrlVal(panel, control, &mode);
  rec->sequencerMode = mode == 2 ? 1 : 0;
  if (rec->sequencerMode) {
    rec->clockMode = 3;       // "User"
    rec->extTriggerMode = 2;  // "Next"
    rec->triggerSource = 1;   // "Internal"
  }
  RefreshMultiSegmentEditor();
  return 0;
}

int MultiSegmentTableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData;
  if (Current() == nullptr) return 0;
  if (event == EVENT_LEFT_CLICK) ClickCell(eventData2, eventData1);
  else if (event == EVENT_COMMIT) CommitEditedCell(eventData2, eventData1, true);
  return 0;
}
