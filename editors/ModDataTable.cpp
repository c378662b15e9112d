// The modulation data table: named source tables, row edits and the
// TABLE_DATA callbacks with their ring cells.
#include "editors/ModDataTable.h"

#include <climits>
#include <cstring>
#include <string>

#include "app/LibraryCommands.h"
#include "app/PulsePanelIds.h"
#include "editors/PulseEditor.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

const DataSourceKindInfo DataSourceKindTable[] = {
    {DSRC_OFF, "Off"}, {DSRC_PATTERN, "Pattern"}, {DSRC_RANDOM, "Random"}, {DSRC_USER, "User"}, {0, ""}};
const BuiltinPattern* const DataPatternTable = kBuiltinPatterns;
const PrbsSourceInfo PrbsSourceTable[] = {{0, "PRBS 9"},  {1, "PRBS 11"}, {2, "PRBS 15"}, {3, "PRBS 16"},
                                          {4, "PRBS 20"}, {5, "PRBS 21"}, {6, "PRBS 23"}, {7, "PRBS 7"},
                                          {0, ""}};
DataTableCell DataTableRingCell;

namespace {

constexpr int kCellText = 256;  // longest cell text read back (names are 63 characters)

const DataSourceRecord* UserSourceById(int id) {
  for (int i = 0; i < DataSourceCount; ++i)
    if (static_cast<int>(DataSourceTable[i].id) == id) return &DataSourceTable[i];
  return nullptr;
}

bool ValidRow(int row) { return row >= 1 && row <= kModDataRows; }

// Slot of the item-th entry (0-based) of a User source ring, which lists the
// data sources with an ID in table order; -1 when there is none.
int UserSourceSlotOfItem(int item) {
  for (int i = 0; i < DataSourceCount && item >= 0; ++i)
    if (DataSourceTable[i].id != 0 && item-- == 0) return i;
  return -1;
}

// Ring position of the data source with this ID; -1 when none.
int UserSourceItemOf(int id) {
  int item = 0;
  for (int i = 0; i < DataSourceCount; ++i) {
    if (DataSourceTable[i].id == 0) continue;
    if (static_cast<int>(DataSourceTable[i].id) == id) return item;
    ++item;
  }
  return -1;
}

// Leading blanks, an optional sign, then digits up to the first other
// character; 0 without digits. Held to the int32 range.
int32_t ParseBitCount(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  return static_cast<int32_t>(v);
}

// Display text of column 1 or 2 of a row.
const char* CellText(const ModulationDataRow& row, int column) {
  return column == MODDATA_COL_TYPE ? ModDataKindName(row.kind) : ModDataSourceName(row);
}

// Turns the remembered ring cell back into a text cell with its row's text
// and the mode its column was built with.
void RestoreRingCell(int panel, int table, const PulseRecord& pulse) {
  const DataTableCell cell = DataTableRingCell;
  if ((cell.column != MODDATA_COL_TYPE && cell.column != MODDATA_COL_SOURCE) || !ValidRow(cell.row)) return;
  const Point at = Cell(cell.column, cell.row);
  int mode = VAL_INDICATOR;
  GetTableColumnAttribute(panel, table, cell.column, ATTR_CELL_MODE, &mode);
  SetTableCellAttribute(panel, table, at, ATTR_CELL_TYPE, VAL_CELL_STRING);
  SetTableCellVal(panel, table, at, CellText(pulse.dataRows[cell.row - 1], cell.column));
  SetTableCellAttribute(panel, table, at, ATTR_CELL_MODE, mode);
}

// Makes the cell an operable ring of the given item labels, showing value.
template <typename Next>
void MakeRingCell(int panel, int table, Point at, const char* value, Next next) {
  SetTableCellAttribute(panel, table, at, ATTR_CELL_TYPE, VAL_CELL_RING);
  DeleteTableCellRingItems(panel, table, at, 0, -1);
  for (const char* label = next(); label != nullptr; label = next())
    InsertTableCellRingItem(panel, table, at, -1, label);
  SetTableCellVal(panel, table, at, value);
  SetTableCellAttribute(panel, table, at, ATTR_CELL_MODE, VAL_HOT);
}

void OpenRing(int panel, int table, const PulseRecord& pulse, Point at) {
  if (!ValidRow(at.y)) return;
  const ModulationDataRow& row = pulse.dataRows[at.y - 1];
  int i = 0;
  if (at.x == MODDATA_COL_TYPE) {
    MakeRingCell(panel, table, at, ModDataKindName(row.kind), [&]() -> const char* {
      return DataSourceKindTable[i].name[0] != '\0' ? DataSourceKindTable[i++].name : nullptr;
    });
  } else if (at.x == MODDATA_COL_SOURCE && row.kind != DSRC_OFF) {
    const char* value = ModDataSourceName(row);
    switch (row.kind) {
      case DSRC_PATTERN:
        MakeRingCell(panel, table, at, value, [&]() -> const char* {
          return DataPatternTable[i].name[0] != '\0' ? DataPatternTable[i++].name : nullptr;
        });
        break;
      case DSRC_RANDOM:
        MakeRingCell(panel, table, at, value, [&]() -> const char* {
          return PrbsSourceTable[i].name[0] != '\0' ? PrbsSourceTable[i++].name : nullptr;
        });
        break;
      case DSRC_USER: {
        MakeRingCell(panel, table, at, value, [&]() -> const char* {
          while (i < DataSourceCount && DataSourceTable[i].id == 0) ++i;
          return i < DataSourceCount ? DataSourceTable[i++].name.c_str() : nullptr;
        });
        // The row's own source is the active item, not the first of its name.
        const int item = UserSourceItemOf(row.source);
        if (item >= 0) SetTableCellAttribute(panel, table, at, ATTR_CTRL_INDEX, item);
        break;
      }
      default: break;
    }
  }
}

}  // namespace

const char* ModDataKindName(int kind) {
  for (const DataSourceKindInfo* k = DataSourceKindTable; k->name[0] != '\0'; ++k)
    if (k->kind == static_cast<int8_t>(kind)) return k->name;
  return "";
}

const char* ModDataSourceName(const ModulationDataRow& row) {
  switch (row.kind) {
    case DSRC_PATTERN:
      for (const BuiltinPattern* p = DataPatternTable; p->name[0] != '\0'; ++p)
        if (p->id == row.source) return p->name;
      break;
    case DSRC_RANDOM:
      for (const PrbsSourceInfo* p = PrbsSourceTable; p->name[0] != '\0'; ++p)
        if (p->id == row.source) return p->name;
      break;
    case DSRC_USER:
      if (const DataSourceRecord* source = UserSourceById(row.source)) return source->name.c_str();
      break;
    default: break;
  }
  return "";
}

int ModDataKindFromName(const char* text) {
  for (const DataSourceKindInfo* k = DataSourceKindTable; k->name[0] != '\0'; ++k)
    if (std::strcmp(k->name, text) == 0) return k->kind;
  return DSRC_OFF;
}

int ModDataSourceFromName(int kind, const char* text) {
  switch (kind) {
    case DSRC_PATTERN:
      for (const BuiltinPattern* p = DataPatternTable; p->name[0] != '\0'; ++p)
        if (std::strcmp(p->name, text) == 0) return p->id;
      break;
    case DSRC_RANDOM:
      for (const PrbsSourceInfo* p = PrbsSourceTable; p->name[0] != '\0'; ++p)
        if (std::strcmp(p->name, text) == 0) return p->id;
      break;
    case DSRC_USER:
      // Names need not be unique: the first in table order is taken.
      for (int i = 0; i < DataSourceCount; ++i)
        if (std::strcmp(DataSourceTable[i].name.c_str(), text) == 0) return static_cast<int>(DataSourceTable[i].id);
      break;
    default: break;
  }
  return 0;
}

int ModDataInsertRow(PulseRecord* pulse, int row) {
  if (pulse == nullptr || !ValidRow(row)) return 0;
  for (int r = kModDataRows - 1; r >= row; --r) pulse->dataRows[r] = pulse->dataRows[r - 1];
  pulse->dataRows[row - 1] = ModulationDataRow{};
  return 1;
}

int ModDataDeleteRow(PulseRecord* pulse, int row) {
  if (pulse == nullptr || !ValidRow(row)) return 0;
  for (int r = row; r < kModDataRows; ++r) pulse->dataRows[r - 1] = pulse->dataRows[r];
  pulse->dataRows[kModDataRows - 1] = ModulationDataRow{};
  return 1;
}

int ModDataCommitCell(PulseRecord* pulse, int row, int column, const char* text, int item) {
  if (pulse == nullptr || !ValidRow(row) || text == nullptr) return 0;
  ModulationDataRow& r = pulse->dataRows[row - 1];
  switch (column) {
    case MODDATA_COL_TYPE: {
      const int kind = ModDataKindFromName(text);
      if (kind == r.kind) return 0;
      r.kind = static_cast<uint8_t>(kind);
      r.source = 0;  // the bit count stays
      return 1;
    }
    case MODDATA_COL_SOURCE: {
      int source = ModDataSourceFromName(r.kind, text);
      const int slot = r.kind == DSRC_USER ? UserSourceSlotOfItem(item) : -1;
      if (slot >= 0 && std::strcmp(DataSourceTable[slot].name.c_str(), text) == 0)
        source = static_cast<int>(DataSourceTable[slot].id);
      if (r.kind == DSRC_USER && source != 0) {
        // A chosen user source gives the row its current number of bits.
        const DataSourceRecord* record = UserSourceById(source);
        int count = 0;
        char bits[kDataBitsBufferSize];
        if (record != nullptr && ParseDataBits(record->data.c_str(), &count, bits)) r.bits = count;
      }
      if (source == r.source) return 0;
      r.source = static_cast<int8_t>(source);
      return 1;
    }
    case MODDATA_COL_BITS: {
      const int32_t bits = ParseBitCount(text);
      if (bits == r.bits) return 0;
      r.bits = bits;
      return 1;
    }
    default: return 0;
  }
}

int ResetPulseDataTable() {
  DeleteTableRows(P_MOD, P_MOD_TABLE_DATA, 1, -1);
  return InsertTableRows(P_MOD, P_MOD_TABLE_DATA, 1, kModDataRows, VAL_CELL_STRING);
}

void FillPulseDataTable(const PulseRecord& pulse) {
  const int panel = P_MOD, table = P_MOD_TABLE_DATA;
  // The rows are written anew (after a commit, an inserted or deleted row,
  // another pulse): an open ring would offer the list of a row that no
  // longer stands there, so it becomes text again and is forgotten.
  RestoreRingCell(panel, table, pulse);
  DataTableRingCell = DataTableCell{};
  for (int r = 1; r <= kModDataRows; ++r) {
    const ModulationDataRow& row = pulse.dataRows[r - 1];
    const char* kind = ModDataKindName(row.kind);
    if (kind[0] != '\0') SetTableCellVal(panel, table, Cell(MODDATA_COL_TYPE, r), kind);
    SetTableCellVal(panel, table, Cell(MODDATA_COL_SOURCE, r), "");
    SetTableCellVal(panel, table, Cell(MODDATA_COL_SOURCE, r), ModDataSourceName(row));
    SetTableCellVal(panel, table, Cell(MODDATA_COL_BITS, r), cz::FormatC("%d", row.bits).c_str());
    const DataSourceRecord* source = row.kind == DSRC_USER ? UserSourceById(row.source) : nullptr;
    SetTableCellVal(panel, table, Cell(MODDATA_COL_COMMENT, r), source != nullptr ? source->comment.c_str() : "");
  }
}

int PulseDataTableCb(int panel, int control, int event, void*, int eventData1, int eventData2) {
  if (event != EVENT_LEFT_CLICK && event != EVENT_LEFT_DOUBLE_CLICK && event != EVENT_COMMIT) return 0;
  PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr) return -1;  // swallowed
  if (event == EVENT_COMMIT) {
    char text[kCellText] = "";
    if (GetTableCellVal(panel, control, Cell(eventData2, eventData1), text, sizeof text) < 0) return 0;
    int item = -1;
    if (GetTableCellAttribute(panel, control, Cell(eventData2, eventData1), ATTR_CTRL_INDEX, &item) < 0) item = -1;
    if (ModDataCommitCell(pulse, eventData1, eventData2, text, item)) FillPulseDataTable(*pulse);
    return 0;
  }
  Point at{0, 0};
  if (GetTableCellFromPoint(panel, control, MakePoint(eventData2, eventData1), &at) < 0) return 0;
  if (at.x != DataTableRingCell.column || at.y != DataTableRingCell.row) RestoreRingCell(panel, control, *pulse);
  OpenRing(panel, control, *pulse, at);
  DataTableRingCell.column = at.x;
  DataTableRingCell.row = at.y;
  return 0;
}

namespace {

// Insert or delete at the table's active row.
int EditActiveRow(int event, int (*edit)(PulseRecord*, int)) {
  if (event != EVENT_COMMIT) return 0;
  PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr) return -1;
  Point active{0, 0};
  if (GetActiveTableCell(P_MOD, P_MOD_TABLE_DATA, &active) < 0) return 0;
  if (edit(pulse, active.y)) FillPulseDataTable(*pulse);
  return 0;
}

}  // namespace

int PulseDataAddCb(int, int, int event, void*, int, int) { return EditActiveRow(event, ModDataInsertRow); }

// The Delete key removes a data row only after the question naming it
// ("data row 2 'Pattern Barker R13'"); an Off row loses nothing and is not
// asked about.
int PulseDataDeleteCb(int, int, int event, void*, int eventData1, int) {
  PulseRecord* pulse = CurrentPulseRecord();
  Point active{0, 0};
  if (event == EVENT_COMMIT && eventData1 == VAL_DELETE_KEY_PRESS && pulse != nullptr &&
      GetActiveTableCell(P_MOD, P_MOD_TABLE_DATA, &active) >= 0 && ValidRow(active.y) &&
      pulse->dataRows[active.y - 1].kind != DSRC_OFF) {
    const ModulationDataRow& row = pulse->dataRows[active.y - 1];
    const std::string what = std::string(ModDataKindName(row.kind)) + " " + ModDataSourceName(row);
    if (!ConfirmDelete(cz::FormatC("data row %d", active.y).c_str(), what.c_str())) return 0;
  }
  return EditActiveRow(event, ModDataDeleteRow);
}
