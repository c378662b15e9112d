// The typed parameter table: shows an array of ModulationParamRow in a
// two-column table control (name, value), with a value cell whose kind
// follows the row's type: numeric with limits (DOUBLE, INT), text (STRING),
// a "no"/"yes" ring (YESNO) or a ring of the listed items (LIST).
//
// The module remembers the panel, control and the caller's row array (not a
// copy) from the last fill; the caller keeps the array alive. Rows are
// addressed by key; table row n shows array position n - 1. Every operation
// returns 1 for success and 0 for failure and reports nothing else.
#pragma once

#include "engine/ModulationTypes.h"

// Buffer size that holds any text a value cell can give back (a STRING
// cell's entry length is at most 255 characters).
inline constexpr int kParamTableTextSize = 256;

// Cell backgrounds.
inline constexpr int kParamNameColor = 0xA0A0A0;    // name cells, read-only values
inline constexpr int kParamValueColor = 0xE0E0E0;   // editable values within limits
inline constexpr int kParamLimitColor = 0xFFFF00;   // numeric values outside limits

int ParamTable_Fill(int panel, int control, ModulationParamRow* rows);
int ParamTable_GetDouble(int key, double* out);
int ParamTable_GetInt(int key, int* out);
int ParamTable_GetText(int key, char* out);  // out holds kParamTableTextSize bytes
int ParamTable_GetYesNo(int key, int* out);
int ParamTable_SetDouble(int key, double value);
int ParamTable_SetInt(int key, int value);
int ParamTable_SetString(int key, const char* text);
int ParamTable_CheckLimits();
int ParamTable_SetEditable(int key, int editable);
