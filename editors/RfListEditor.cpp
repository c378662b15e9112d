// The RF list editor: the current list on TAB_RFLIST and the callbacks of
// the page's controls. The record is changed in place; every operation
// redraws the page through ShowRfList.
#include "editors/RfListEditor.h"

#include <string>
#include <vector>

#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TypedText.h"
#include "editors/RfListEdit.h"
#include "engine/Random.h"
#include "instrument/FileBrowser.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/TransferTab.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/RfListPage.h"
#include "ui/main/TransferPage.h"
#include "wavelib/WaveLib.h"

namespace {

constexpr int kPoints = kMaxRfListPoints;
constexpr int kRowColor = 0xC0C0C0;      // every row
constexpr int kInLimitsColor = 0x00FF00;  // rows within both limit ranges

// ID of the list TAB_RFLIST shows; 0 when none (IDs start at 1).
uint32_t g_shownId = 0;

// The page's edits and commands go only into the list it was filled from.
bool CurrentValid() {
  return CurrentRfList >= 0 && CurrentRfList < RfListCount && RfListTable[CurrentRfList].id == g_shownId;
}
RfListRecord& Current() { return RfListTable[CurrentRfList]; }

// The row of the table's active cell (1-based; 0 when none).
int ActiveRow() {
  Point cell{0, 0};
  GetActiveTableCell(TAB_RFLIST, TAB_RFLIST_TABLE_RFLIST, &cell);
  return cell.y;
}

int TableRows() {
  int rows = 0;
  GetNumTableRows(TAB_RFLIST, TAB_RFLIST_TABLE_RFLIST, &rows);
  return rows < kPoints ? rows : kPoints;
}

void SetDimmed(int control, bool dimmed) { SetCtrlAttribute(TAB_RFLIST, control, ATTR_DIMMED, dimmed ? 1 : 0); }

// Max and Step mean nothing in mode 1 ("All Same").
void DimGeneratorFields(const RfListRecord& list) {
  SetDimmed(TAB_RFLIST_NUM_MAX, list.mode == 1);
  SetDimmed(TAB_RFLIST_NUM_STEP, list.mode == 1);
  SetDimmed(TAB_RFLIST_NUM_MAX_2, list.mode2 == 1);
  SetDimmed(TAB_RFLIST_NUM_STEP_2, list.mode2 == 1);
}

// The numeric, ring and check-box fields of the page and their record fields.
struct DoubleField {
  const int* control;
  double RfListRecord::*field;
};
const DoubleField kDoubleFields[] = {
    {&TAB_RFLIST_NUM_DWELL, &RfListRecord::dwell},    {&TAB_RFLIST_NUM_MIN, &RfListRecord::min},
    {&TAB_RFLIST_NUM_MAX, &RfListRecord::max},        {&TAB_RFLIST_NUM_STEP, &RfListRecord::step},
    {&TAB_RFLIST_NUM_MIN_2, &RfListRecord::min2},     {&TAB_RFLIST_NUM_MAX_2, &RfListRecord::max2},
    {&TAB_RFLIST_NUM_STEP_2, &RfListRecord::step2},   {&TAB_RFLIST_NUM_LMIN, &RfListRecord::limMin},
    {&TAB_RFLIST_NUM_LMAX, &RfListRecord::limMax},    {&TAB_RFLIST_NUM_LMIN_2, &RfListRecord::limMin2},
    {&TAB_RFLIST_NUM_LMAX_2, &RfListRecord::limMax2},
};
struct IntField {
  const int* control;
  int32_t RfListRecord::*field;
};
const IntField kIntFields[] = {
    {&TAB_RFLIST_CB_ACTIVATE, &RfListRecord::activate}, {&TAB_RFLIST_RING_BB, &RfListRecord::path},
    {&TAB_RFLIST_NUM_LEN, &RfListRecord::length},       {&TAB_RFLIST_RING_DMODE, &RfListRecord::mode},
    {&TAB_RFLIST_RING_DMODE_2, &RfListRecord::mode2},
};

void ShowHeader(const RfListRecord& list) {
  const int p = TAB_RFLIST;
  SetCtrlVal(p, TAB_RFLIST_STR_NAME, list.name.c_str());
  ResetTextBox(p, TAB_RFLIST_STR_COMMENT, list.comment.c_str());
  SetCtrlVal(p, TAB_RFLIST_STR_FILE, list.remoteFile.c_str());
  for (const DoubleField& f : kDoubleFields) SetCtrlVal(p, *f.control, list.*f.field);
  for (const IntField& f : kIntFields) SetCtrlVal(p, *f.control, static_cast<int>(list.*f.field));
}

// Points into the two value columns (one call per column), the rows beyond
// the list dimmed and read-only, the in-limit rows of the list green.
void ShowTable(const RfListRecord& list) {
  const int p = TAB_RFLIST, t = TAB_RFLIST_TABLE_RFLIST;
  const int rows = TableRows();
  if (rows <= 0) return;
  SetCtrlAttribute(p, t, ATTR_VISIBLE, 0);
  std::vector<double> frequency(static_cast<std::size_t>(rows)), level(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    const RfListPoint pt = list.points.Get(i);
    frequency[static_cast<std::size_t>(i)] = pt.frequency;
    level[static_cast<std::size_t>(i)] = pt.level;
  }
  SetTableCellRangeVals(p, t, MakeRect(1, RFLIST_COL_FREQUENCY, rows, 1), frequency.data(), 0);
  SetTableCellRangeVals(p, t, MakeRect(1, RFLIST_COL_LEVEL, rows, 1), level.data(), 0);
  const int n = list.points.InUse() < rows ? list.points.InUse() : rows;
  if (n > 0) {
    SetTableCellRangeAttribute(p, t, MakeRect(1, RFLIST_COL_FREQUENCY, n, 2), ATTR_CELL_DIMMED, 0);
    SetTableCellRangeAttribute(p, t, MakeRect(1, RFLIST_COL_FREQUENCY, n, 2), ATTR_CELL_MODE, VAL_HOT);
  }
  if (n < rows) {
    SetTableCellRangeAttribute(p, t, MakeRect(n + 1, RFLIST_COL_FREQUENCY, rows - n, 2), ATTR_CELL_DIMMED, 1);
    SetTableCellRangeAttribute(p, t, MakeRect(n + 1, RFLIST_COL_FREQUENCY, rows - n, 2), ATTR_CELL_MODE,
                               VAL_INDICATOR);
  }
  SetTableCellRangeAttribute(p, t, MakeRect(1, RFLIST_COL_ENTRY, rows, 3), ATTR_TEXT_BGCOLOR, kRowColor);
  // Runs of consecutive in-limit rows take one call each.
  for (int i = 0; i < n;) {
    if (!RfList_InLimits(list, i)) {
      ++i;
      continue;
    }
    int end = i + 1;
    while (end < n && RfList_InLimits(list, end)) ++end;
    SetTableCellRangeAttribute(p, t, MakeRect(i + 1, RFLIST_COL_ENTRY, end - i, 3), ATTR_TEXT_BGCOLOR,
                               kInLimitsColor);
    i = end;
  }
  SetCtrlAttribute(p, t, ATTR_VISIBLE, 1);
}

// Every control of the page into the record; the name only into *name.
void ReadPage(RfListRecord* list, std::string* name) {
  const int p = TAB_RFLIST;
  // Texts are taken whole or refused with the reason on the status line
  // (the redraw that follows shows the stored text again); a path is never cut.
  *name = TypedCtrlText(p, TAB_RFLIST_STR_NAME);
  TakeTypedText(&list->comment, TypedCtrlText(p, TAB_RFLIST_STR_COMMENT), "Comment");
  TakeTypedText(&list->remoteFile, TypedCtrlText(p, TAB_RFLIST_STR_FILE), "Remote file name");
  for (const DoubleField& f : kDoubleFields) GetCtrlVal(p, *f.control, &(list->*f.field));
  for (const IntField& f : kIntFields) {
    int value = 0;
    if (GetCtrlVal(p, *f.control, &value) >= 0) list->*f.field = value;
  }
  const int rows = TableRows();
  if (rows <= 0) return;
  std::vector<double> frequency(static_cast<std::size_t>(rows)), level(static_cast<std::size_t>(rows));
  if (GetTableCellRangeVals(p, TAB_RFLIST_TABLE_RFLIST, MakeRect(1, RFLIST_COL_FREQUENCY, rows, 1),
                            frequency.data(), 0) < 0 ||
      GetTableCellRangeVals(p, TAB_RFLIST_TABLE_RFLIST, MakeRect(1, RFLIST_COL_LEVEL, rows, 1), level.data(), 0) < 0)
    return;
  for (int i = 0; i < rows; ++i)
    list->points.Set(i, frequency[static_cast<std::size_t>(i)], level[static_cast<std::size_t>(i)]);
}

// A row button: the edit on the active row, then the page redrawn; the
// active cell stays where it was.
int EditActiveRow(int event, bool (*edit)(RfListPoints*, int)) {
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  edit(&Current().points, ActiveRow());
  ShowRfList(CurrentRfList);
  return 0;
}

void TaskProgressHook(int percent) { SetTaskProgress(percent); }

// The end of an upload, whatever its outcome; the status line keeps a
// failure's message.
void EndUpload(bool opened, bool failed) {
  WaveLib_ClearProgressHook();
  ShowProgressBars(0);
  if (!failed) Log_Status(1, "");
  if (opened) VisaDev_Close(0);
  DimLibraryControls(0);
}

// The points in use lie within the table's ranges; else nothing is sent:
// the log names the entries outside (the first few) and the status line
// the first of them.
bool PointsInRange(const RfListRecord& list) {
  constexpr std::size_t kLoggedEntries = 10;
  const std::vector<int> outside = RfListPointsOutsideRange(list.points);
  if (outside.empty()) return true;
  for (std::size_t k = 0; k < outside.size() && k < kLoggedEntries; ++k)
    Log_Message(1, cz::FormatC("*** RF list '%s': entry %d %s; the list is not sent.", list.name.c_str(),
                               outside[k] + 1, RfListPointOutsideRange(list.points.Get(outside[k])).c_str())
                       .c_str());
  if (outside.size() > kLoggedEntries)
    Log_Message(1, cz::FormatC("*** ... and %zu more entries outside their ranges.", outside.size() - kLoggedEntries)
                       .c_str());
  Log_Status(1, cz::FormatC("Error: Entry %d %s. The list is not sent.", outside[0] + 1,
                            RfListPointOutsideRange(list.points.Get(outside[0])).c_str())
                    .c_str());
  return false;
}

}  // namespace

void ShowRfList(int index) {
  if (index < 0 || index >= RfListCount) return;
  CurrentRfList = index;
  g_shownId = RfListTable[index].id;
  if (TAB_RFLIST <= 0) return;
  const RfListRecord& list = RfListTable[index];
  ShowHeader(list);
  DimRfListTransferButtons();
  DimGeneratorFields(list);
  ShowTable(list);
}

void DimRfListTransferButtons() {
  if (TAB_RFLIST <= 0 || !CurrentValid()) return;
  const bool dimmed = RfList_TransferDimmed(Current(), InstrumentCapabilities.Type);
  SetDimmed(TAB_RFLIST_CMD_UPLOAD, dimmed);
  SetDimmed(TAB_RFLIST_CMD_RESET, dimmed);
}

// Every edit rewrites the whole record from the page (all 10,000 rows
// included) and redraws it; a new name rebuilds the library tree.
int RfListEditCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  RfListRecord& list = Current();
  std::string name;
  ReadPage(&list, &name);
  DimRfListTransferButtons();
  DimGeneratorFields(list);
  if (name != list.name.view() && TakeTypedText(&list.name, name, "RF list name")) {
    RebuildLibraryTree();
    SelectRfListTreeItem(list.id);
  }
  ShowRfList(CurrentRfList);
  return 0;
}

int RfListDeleteRowCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  return EditActiveRow(event, RfList_DeleteRow);
}

int RfListInsertRowCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  return EditActiveRow(event, RfList_InsertRow);
}

int RfListMoveUpCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  return EditActiveRow(event, RfList_MoveUp);
}

int RfListMoveDownCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  return EditActiveRow(event, RfList_MoveDown);
}

// Existing points are overwritten; only this button reads the length setting.
int RfListSetLengthCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  // A length setting outside the field's range (a project may hold one) is
  // refused: it would empty the list.
  const int n = Current().length;
  if (n < 1 || n > kMaxRfListPoints) {
    Log_Status(1, cz::FormatC("Error: Set Length %d lies outside 1 to %d. The list is unchanged.", n, kMaxRfListPoints)
                      .c_str());
    return 0;
  }
  RfList_SetLength(&Current().points, Current().length);
  ShowRfList(CurrentRfList);
  return 0;
}

namespace {

// The generator fields a fill of the set uses (those not dimmed) lie within
// their ranges; else the status line names the first one that does not (an
// older project's step of 0, say) and false is returned.
bool GeneratorInRange(int set) {
  const struct {
    const int* control;
    const char* label;
  } fields[2][3] = {{{&TAB_RFLIST_NUM_MIN, "Frequency Min"},
                     {&TAB_RFLIST_NUM_MAX, "Frequency Max"},
                     {&TAB_RFLIST_NUM_STEP, "Frequency Step"}},
                    {{&TAB_RFLIST_NUM_MIN_2, "Level Min"},
                     {&TAB_RFLIST_NUM_MAX_2, "Level Max"},
                     {&TAB_RFLIST_NUM_STEP_2, "Level Step"}}};
  const bool frequency = set == RFLIST_FREQUENCY;
  for (const auto& f : fields[frequency ? 0 : 1]) {
    std::string message;
    if (UsedNumericOutsideRange(TAB_RFLIST, *f.control, f.label, frequency ? "GHz" : "dBm", &message)) {
      Log_Status(1, ("Error: " + message + " The list is unchanged.").c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int RfListFillCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  const int set = control == TAB_RFLIST_CMD_FILLLIST ? RFLIST_FREQUENCY : RFLIST_LEVEL;
  if (!GeneratorInRange(set)) return 0;
  const int result = RfList_Fill(&Current(), set, RandomInRange);
  if (result == RFLIST_FILL_NOTHING) return 0;
  if (result == RFLIST_FILL_POOL_SHORT) Log_Status(1, "Error: Not Enough Random Numbers. Check Settings.");
  ShowRfList(CurrentRfList);
  return 0;
}

int RfListImportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  char path[UI_MAX_PATH] = "";
  if (FileSelectPopup("", "*.txt", "*.txt; *.*", "Select import file", VAL_LOAD_BUTTON, 0, 0, 1, 0, path,
                      sizeof path) != VAL_EXISTING_FILE_SELECTED)
    return 0;
  int imported = 0, badLine = 0;
  const int result = RfList_ImportText(path, &Current().points, &imported, &badLine);
  if (result == RFLIST_IMPORT_OPEN_FAILED) {
    Log_Status(1, "Error: Cannot Open Input File.");
    return 0;
  }
  if (result == RFLIST_IMPORT_BAD_LINE) {
    Log_Message(1, cz::FormatC("** Error in line %d.", badLine).c_str());
    Log_Status(1, "Error: Invalid Data for Import.");
  } else if (result == RFLIST_IMPORT_READ_FAILED) {
    Log_Message(1, "*** Error reading input file. The list is unchanged.");
    Log_Status(1, "Error: Cannot Read Input File.");
  } else {
    Log_Message(1, cz::FormatC("%d Entries imported.", imported).c_str());
  }
  ShowRfList(CurrentRfList);
  return 0;
}

int RfListPrintCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  char path[UI_MAX_PATH] = "";
  const int chosen = FileSelectPopup("", "*.txt", "*.txt; *.*", "Save RF list report", VAL_SAVE_BUTTON, 0, 0, 1, 1,
                                     path, sizeof path);
  if (chosen != VAL_EXISTING_FILE_SELECTED && chosen != VAL_NEW_FILE_SELECTED) return 0;
  const ProjectHeader& project = g_Settings.Project;
  const RfListReportHeader header{project.projectName.c_str(), project.author.c_str(), project.date.c_str(),
                                  project.version.c_str()};
  std::string reason;
  if (!RfList_WriteReport(path, Current(), header, &reason)) {
    Log_Message(5, "*** Cannot write '", path, "': ", reason.c_str(), ".");
    Log_Status(1, "Error: Failed to Open Output File.");
    return 0;
  }
  Log_Status(1, "RF List Saved.");
  return 0;
}

int RfListSelectRemoteFileCb(int panel, int control, int event, void* callbackData, int eventData1,
                             int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  if (const int opened = OpenIdentifiedInstrument(0); opened != 1) {
    if (opened == 0) Log_Status(1, OpenFailureStatus(0));
    return 0;
  }
  char directory[kFileBrowserPathSize] = "";
  char file[kFileBrowserPathSize] = "";
  // 0 with an empty name: the browser could not run; nothing is chosen.
  if (FileBrowser_Run(0, directory, file, "*.lsw") == 0 && file[0] != '\0' &&
      Current().remoteFile.AssignExact(file))
    SetCtrlVal(TAB_RFLIST, TAB_RFLIST_STR_FILE, file);
  VisaDev_Close(0);
  return 0;
}

// Blocks the UI while the list goes out: the library is dimmed and both
// progress bars stand at 0 (the list transfer itself reports no progress).
// The instrument type is not tested here; CMD_UPLOAD is dimmed for the
// types that take no list.
int RfListUploadCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  const RfListRecord& list = Current();
  const int n = list.points.InUse();
  if (n > InstrumentCapabilities.RfListMax) {
    Log_Status(1, "Error: Too Many Entries for This Instrument.");
    return 0;
  }
  if (!PointsInRange(list)) return 0;
  const ProjectHeader& project = g_Settings.Project;
  const std::string remote = RfList_RemotePath(list.remoteFile.c_str(), InstrumentCapabilities.UnixPaths != 0,
                                               project.pathLin.c_str(), project.pathWin.c_str());
  Log_Status(1, "Sending RF List...");
  DimLibraryControls(1);
  ShowProgressBars(1);
  SetTotalProgress(0.0);
  SetTaskProgress(0.0);
  WaveLib_SetProgressHook(TaskProgressHook);
  // The transfer is given copies; the record keeps its values.
  std::vector<double> frequency(static_cast<std::size_t>(n)), level(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    frequency[static_cast<std::size_t>(i)] = list.points.Frequency(i);
    level[static_cast<std::size_t>(i)] = list.points.Level(i);
  }
  if (const int opened = OpenIdentifiedInstrument(0); opened != 1) {
    if (opened == 0) Log_Status(1, OpenFailureStatus(0));
    EndUpload(false, true);
    return 0;
  }
  const RfListUpload upload{n, frequency.data(), level.data(), list.dwell};
  const bool sent = VisaDev_CreateRfList(0, &upload, remote.c_str(), list.path,
                                         static_cast<std::uint16_t>(list.activate != 0)) == 1;
  if (!sent && VisaDev_UploadCancelled(0)) {
    Log_Status(1, kUploadCancelledText);
  } else if (!sent) {
    // An activation that failed after the RF output went on names its step
    // and says the output is off again.
    const TransferFailure failure = VisaDev_LastFailure(0);
    Log_Message(1, "*** RF list transfer failed.");
    Log_Status(1, TransferFailureStatus("Error: Transfer Failed.", failure.step, failure.rf).c_str());
  }
  EndUpload(true, !sent);
  return 0;
}

// The Transfer tab's reset ("*RST" to the selected instrument); it needs no
// list.
int RfListResetInstrumentCb(int panel, int control, int event, void* callbackData, int eventData1,
                            int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  DimLibraryControls(1);
  ResetInstrumentCb(TAB_INSTR, TAB_INSTR_CMD_RESET, EVENT_COMMIT, nullptr, 0, 0);
  // The reset ends with the library controls enabled again.
  DimRfListTransferButtons();
  return 0;
}
