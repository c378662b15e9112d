// The data source editor: the callbacks of the DATAEDIT dialog that add,
// delete, reorder, name and edit the project's user data sources, and the
// table operations behind them. The records, the bit-text parser and the
// ID look-up are in app/DataSource.h.
#pragma once

#include <string>

#include "app/DataSource.h"

// Refills TREE_DATA under the "_DATA" root from DataSourceTable and marks
// (and activates) the item of CurrentDataSource.
void RebuildDataSourceTree();
// Shows the record of a tree item in the fields, or dims and empties them
// for the root, another level or a negative index.
void SelectDataSource(int panel, int tree, int item);
// The source the fields show (the current source, while it is the one they
// were filled from), or nullptr.
const DataSourceRecord* ShownDataSource();
// The IDs of the table were given anew in place (a save numbers them 1..n):
// the fields go on showing shown, a ShownDataSource taken before.
void KeepShownDataSource(const DataSourceRecord* shown);

// P_MOD CMD_RESET_2 and Project > Data Sources: rebuild the tree, show the dialog.
int ShowDataSourcesButtonCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
void ShowDataSourcesCb(int menuBar, int menuItem, void* callbackData, int panel);
// DATAEDIT callbacks.
int CloseDataSourcesCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int AddDataSourceCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int DeleteDataSourceCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int MoveDataSourceUpCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int MoveDataSourceDownCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int DataSourceTextCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int DataSourceTreeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// ---- Table operations, free of the dialog

// Appends a source with the defaults (smallest free ID, "new_<ID>"). Its
// index, or -1 when the table is full.
int DataSourceAppend();
// Index of the source in use with this ID; -1 when none.
int DataSourceIndexById(uint32_t id);
// "This data source is used in pulses:\n" and one "<name>\n" per pulse with a
// User row of this source, in table order; empty when no pulse uses it. At
// most 1,021 characters.
std::string DataSourceUsersMessage(uint32_t id);
// Removes the source at index, the later ones moving up. 0 for a bad index.
int DataSourceRemoveAt(int index);
// Swaps the source at index with its neighbour (delta -1 up, +1 down). The
// new index, or -1 when it cannot move.
int DataSourceMove(int index, int delta);
// Index of another source (table order) named exactly like the one at index; -1 when none.
int DataSourceDuplicateName(int index);
// Bit count of a bit text as the dialog shows it: "%d", or "-" when it
// cannot be parsed.
std::string DataSourceBitCountText(const char* text);
