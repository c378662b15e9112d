// Built-in intra-pulse modulation types, their parameter definitions, and the
// one working table of parameter rows shared by the pulse editor, the project
// reader and the engine.
//
// A parameter's label is its key everywhere: values are stored in the pulse
// under the label, written to the project file under it and looked up by the
// engine by it. Values are texts: decimal numbers for DOUBLE and INT rows,
// "%d" of the item index for LIST and of 0/1 for YESNO rows, free text for
// STRING rows.
#pragma once

#include <cstdint>

#include "platform/BoundedText.h"

// Type codes (the keyword and display name of each live with the keyword
// converters). 100 names a modulation plug-in.
inline constexpr int kModulationPluginCode = 100;
// Largest amplitude factor magnitude a plug-in's engine may return.
inline constexpr double kPluginAmplitudeLimit = 1.0;
inline constexpr int kModulationTableEnd = 18;  // code of the row that ends the table

inline constexpr int kModParamRows = 255;  // rows of the working table and of a pulse

// One typed parameter. Key counts from 1; key 0 ends an array.
struct ModulationParamRow {
  uint32_t key = 0;
  cz::Text<64> name;
  cz::Text<16> type;  // "DOUBLE", "INT", "YESNO", "LIST", "STRING"
  int32_t precision = 0;
  cz::Text<64> value;
  uint32_t editable = 0;
  cz::Text<64> min;  // LIST: the items separated by "|"
  cz::Text<64> max;
};

// A built-in definition as the constant tables hold it.
struct ModulationParamDef {
  uint32_t key;
  const char* name;
  const char* type;
  int32_t precision;
  const char* value;
  const char* min;
  const char* max;
};

struct ModulationTypeInfo {
  int32_t code;
  int32_t needsData;         // 1 = consumes the pulse's data bits
  const char* groupTag;      // "_INT", "_AM", "_FM", "_PSK", "_OTHER"; "" for the end row
  const ModulationParamDef* definitions;  // ends with a key-0 row
  int32_t definitionLength;  // rows including the end row
  int32_t bitsPerSymbol;     // 0..4
};

inline constexpr int kModulationTypeCount = 19;  // end row included
extern const ModulationTypeInfo ModulationTypeTable[kModulationTypeCount];

// The working table; an end row (key 0) follows the last used row unless all
// 255 are used.
extern ModulationParamRow ModulationParamTable[kModParamRows];

// The row of the built-in type with this code, or nullptr (also for the end
// row's code and for the plug-in code).
const ModulationTypeInfo* FindModulationType(int code);

// Number of leading working rows in use (rows before the first key 0).
int ModParamRowCount();

int ClearPulseModParams(int pulse);
int GetModParamDouble(int pulse, const char* label, double* out);
int GetModParamInt(int pulse, const char* label, int* out);
int InitModParams(int pulse);
int LoadPulseModParams(int pulse);
int StorePulseModParams(int pulse);
int ReadModParamTable();
int ShowModParamTable();
int QueryPluginParams(int module, int pulse);
int PushPluginParams(int module);
