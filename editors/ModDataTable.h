// The modulation data table of the pulse editor (P_MOD TABLE_DATA): the 32
// data rows of the current pulse, each naming a bit source and the number
// of bits taken from it, edited through rings shown in the clicked cell.
//
// The named tables (row kinds, built-in patterns, pseudo-random sources) end
// with a row whose name is empty and are walked up to it.
#pragma once

#include <cstdint>

#include "app/DataSource.h"
#include "app/PulseRecord.h"

// Columns of TABLE_DATA.
enum ModDataColumn { MODDATA_COL_TYPE = 1, MODDATA_COL_SOURCE = 2, MODDATA_COL_BITS = 3, MODDATA_COL_COMMENT = 4 };

struct DataSourceKindInfo {
  int32_t kind;   // DataSourceKind
  char name[16];
};
struct PrbsSourceInfo {
  int32_t id;     // pseudo-random generator number 0..7
  char name[16];
};

// "Off", "Pattern", "Random", "User", then the end row.
extern const DataSourceKindInfo DataSourceKindTable[];
// The built-in patterns "All 0" .. "Barker R13" (the table of app/DataSource.h).
extern const BuiltinPattern* const DataPatternTable;
// "PRBS 9" .. "PRBS 7", then the end row.
extern const PrbsSourceInfo PrbsSourceTable[];

// The cell (x = column, y = row) last turned into a ring by a click; -1/-1 at start.
struct DataTableCell {
  int column = -1;
  int row = -1;
};
extern DataTableCell DataTableRingCell;

// Deletes every row of P_MOD TABLE_DATA and inserts 32 rows of text cells.
// Returns the status of the insertion.
int ResetPulseDataTable();
// Writes the 32 rows of TABLE_DATA from the record (cell values only).
void FillPulseDataTable(const PulseRecord& pulse);

// TABLE_DATA: left click / double click (ring editing) and commit (store).
int PulseDataTableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// P_MOD CMD_ADD / CMD_DEL: insert an Off row at / delete the active row.
int PulseDataAddCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int PulseDataDeleteCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// ---- Row logic, free of the panel

// Display texts of a row: its kind's name ("" for an unknown kind) and its
// source's name ("" for Off or no match).
const char* ModDataKindName(int kind);
const char* ModDataSourceName(const ModulationDataRow& row);
// Kind whose name equals the text exactly; 0 (Off) when none.
int ModDataKindFromName(const char* text);
// Source id for a row of this kind whose source name equals the text (the
// first user data source of that name for User rows); 0 when none.
int ModDataSourceFromName(int kind, const char* text);

// Row r (1..32) becomes Off after rows r..31 move down one (row 32 is lost).
// 0 for r outside 1..32, else 1.
int ModDataInsertRow(PulseRecord* pulse, int row);
// Rows r+1..32 move up one and row 32 becomes Off. 0 for r outside 1..32.
int ModDataDeleteRow(PulseRecord* pulse, int row);
// Stores the text committed in a cell of row r (1..32). 1 when the row
// changed, 0 otherwise (a User source chosen again still re-reads its bit
// count). Comment and unknown columns store nothing. For the source of a
// User row, item is the chosen position in its ring (the k-th data source
// with an ID), which keeps apart sources of one name; -1 (or a position
// whose name differs from text) takes the source by its name.
int ModDataCommitCell(PulseRecord* pulse, int row, int column, const char* text, int item = -1);
