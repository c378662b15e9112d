// The pulse editor's modulation page P_MOD: the choice of the intra-pulse
// modulation type in TREE_MOD, the parameter table commit, the reset to the
// type's defaults, and the tree marking when a pulse is shown.
//
// TREE_MOD holds the built-in types under "_INT" (in the groups "_AM",
// "_FM", "_PSK", "_OTHER"; each item's value is the type code) and one item
// per modulation plug-in under "_PLUGIN" (value = module number). The item
// of the current pulse's type carries mark state 1; roots and group items
// cannot be chosen.
#pragma once

// TREE_MOD: a left click, or a key that moved the highlight (selection change
// with eventData2 1), chooses the item's type.
int ModulationTypeTreeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// TABLE_CONF: commit only.
int ModulationParamTableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// CMD_RESET: commit only; also run by a type change.
int ModulationParamResetCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// Marks, reveals and activates the tree item of the current pulse's type
// (no item for a plug-in that is not loaded); every other item unmarked
// and every branch collapsed first.
void MarkModulationTypeTree();

// Chooses a modulation for the current pulse as a click on tree item
// `item` does: 1 when the type changed (the parameters were reset to the
// new type's defaults and the tree rebuilt), 0 when nothing changed.
int ChooseModulationTreeItem(int item);

// 1 when the type code takes data bits from the data rows (plug-ins do),
// 0 when not, -1 for a code that the type table does not know.
int ModulationNeedsData(int code);
