#include "editors/ParamTable.h"

#include <climits>
#include <cstring>
#include <string>

#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kNameColumn = 1;
constexpr int kValueColumn = 2;

// The table and rows of the last fill.
int g_panel = 0;
int g_control = 0;
ModulationParamRow* g_rows = nullptr;

bool IsType(const ModulationParamRow& row, const char* type) { return row.type == type; }

// Position of the first row with this key before the end row, or -1.
int FindRow(int key) {
  if (g_rows == nullptr) return -1;
  for (int p = 0; p < kModParamRows; ++p) {
    if (g_rows[p].key == 0) return -1;
    if (g_rows[p].key == static_cast<uint32_t>(key)) return p;
  }
  return -1;
}

Point ValueCell(int position) { return Cell(kValueColumn, position + 1); }

double TextToDouble(const char* text) { return cz::StrtodC(text, nullptr); }
// Beyond the int range the value saturates rather than wrapping ("4294967297"
// must not read as 1).
int TextToInt(const char* text) {
  const long v = cz::StrtolC(text, nullptr, 10);
  return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}

// Text of the cell as shown (ring cells: the shown item's label).
std::string CellText(int position) {
  char buf[kParamTableTextSize] = {0};
  GetTableCellVal(g_panel, g_control, ValueCell(position), buf, sizeof buf);
  return std::string(buf);
}

// Index of the item a ring cell shows, 0 when it shows none.
int RingIndexOf(int position, const std::string& label) {
  int count = 0;
  GetNumTableCellRingItems(g_panel, g_control, ValueCell(position), &count);
  const ModulationParamRow& row = g_rows[position];
  if (IsType(row, "YESNO")) return label == "yes" ? 1 : 0;
  // LIST items are the pieces of the row's min text.
  std::string items = row.min.str();
  int index = 0;
  std::size_t start = 0;
  while (index < count) {
    std::size_t bar = items.find('|', start);
    std::string item = items.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (item == label) return index;
    if (bar == std::string::npos) break;
    start = bar + 1;
    ++index;
  }
  return 0;
}

void ShowRingItem(int position, int index) {
  char label[kParamTableTextSize] = {0};
  const ModulationParamRow& row = g_rows[position];
  if (IsType(row, "YESNO")) {
    cz::CopyText(label, sizeof label, index == 1 ? "yes" : "no");
  } else {
    std::string items = row.min.str();
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
      std::size_t bar = items.find('|', start);
      if (bar == std::string::npos) return;  // no such item: nothing changes
      start = bar + 1;
    }
    std::size_t bar = items.find('|', start);
    cz::CopyText(label, sizeof label, items.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
  }
  SetTableCellVal(g_panel, g_control, ValueCell(position), label);
}

// Colours a numeric value cell by the cell's own limits. Returns true when the
// value lies within them.
bool ColourByLimits(int position) {
  const ModulationParamRow& row = g_rows[position];
  Point cell = ValueCell(position);
  bool within = true;
  if (IsType(row, "DOUBLE")) {
    double v = 0, lo = 0, hi = 0;
    GetTableCellVal(g_panel, g_control, cell, &v);
    GetTableCellAttribute(g_panel, g_control, cell, ATTR_MIN_VALUE, &lo);
    GetTableCellAttribute(g_panel, g_control, cell, ATTR_MAX_VALUE, &hi);
    within = !(v < lo || v > hi);
  } else if (IsType(row, "INT")) {
    int v = 0, lo = 0, hi = 0;
    GetTableCellVal(g_panel, g_control, cell, &v);
    GetTableCellAttribute(g_panel, g_control, cell, ATTR_MIN_VALUE, &lo);
    GetTableCellAttribute(g_panel, g_control, cell, ATTR_MAX_VALUE, &hi);
    within = !(v < lo || v > hi);
  } else {
    return true;
  }
  int colour = !within ? kParamLimitColor : (row.editable ? kParamValueColor : kParamNameColor);
  SetTableCellAttribute(g_panel, g_control, cell, ATTR_TEXT_BGCOLOR, colour);
  return within;
}

void SetUpValueCell(int position) {
  const ModulationParamRow& row = g_rows[position];
  Point cell = ValueCell(position);
  SetTableCellAttribute(g_panel, g_control, cell, ATTR_TEXT_BGCOLOR, kParamValueColor);
  if (IsType(row, "DOUBLE")) {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_TYPE, VAL_CELL_NUMERIC);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_DATA_TYPE, VAL_DOUBLE);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_FORMAT, 0);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_PRECISION, row.precision);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_INCR_VALUE, 0.1);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_MIN_VALUE, TextToDouble(row.min.c_str()));
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_MAX_VALUE, TextToDouble(row.max.c_str()));
    SetTableCellVal(g_panel, g_control, cell, TextToDouble(row.value.c_str()));
  } else if (IsType(row, "INT")) {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_TYPE, VAL_CELL_NUMERIC);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_DATA_TYPE, VAL_INTEGER);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_FORMAT, 0);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_INCR_VALUE, 1);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_MIN_VALUE, TextToInt(row.min.c_str()));
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_MAX_VALUE, TextToInt(row.max.c_str()));
    SetTableCellVal(g_panel, g_control, cell, TextToInt(row.value.c_str()));
  } else if (IsType(row, "STRING")) {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_TYPE, VAL_CELL_STRING);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_MAX_ENTRY_LENGTH, TextToInt(row.max.c_str()));
    SetTableCellVal(g_panel, g_control, cell, row.value.c_str());
  } else if (IsType(row, "YESNO")) {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_TYPE, VAL_CELL_RING);
    InsertTableCellRingItem(g_panel, g_control, cell, -1, "no");
    InsertTableCellRingItem(g_panel, g_control, cell, -1, "yes");
    SetTableCellVal(g_panel, g_control, cell, TextToInt(row.value.c_str()) == 1 ? "yes" : "no");
  } else if (IsType(row, "LIST")) {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_TYPE, VAL_CELL_RING);
    std::string items = row.min.str();
    std::size_t start = 0;
    for (;;) {
      std::size_t bar = items.find('|', start);
      std::string item = items.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
      InsertTableCellRingItem(g_panel, g_control, cell, -1, item.c_str());
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
    SetTableCellVal(g_panel, g_control, cell, row.value.c_str());
  }
  if (row.editable == 0) {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_MODE, VAL_INDICATOR);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_TEXT_BGCOLOR, kParamNameColor);
  } else {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_MODE, VAL_VALIDATE);
  }
}

}  // namespace

int ParamTable_Fill(int panel, int control, ModulationParamRow* rows) {
  g_panel = panel;
  g_control = control;
  g_rows = rows;
  DeleteTableRows(panel, control, 1, -1);
  if (rows == nullptr) return 1;
  for (int p = 0; p < kModParamRows; ++p) {
    const ModulationParamRow& row = rows[p];
    if (row.key == 0 || row.name.empty()) break;
    int n = p + 1;
    InsertTableRows(panel, control, n, 1, VAL_CELL_NUMERIC);
    Point name = Cell(kNameColumn, n);
    SetTableCellAttribute(panel, control, name, ATTR_CELL_TYPE, VAL_CELL_STRING);
    SetTableCellAttribute(panel, control, name, ATTR_CELL_MODE, VAL_INDICATOR);
    SetTableCellAttribute(panel, control, name, ATTR_TEXT_BGCOLOR, kParamNameColor);
    SetTableCellVal(panel, control, name, row.name.c_str());
    SetUpValueCell(p);
  }
  return 1;
}

int ParamTable_GetDouble(int key, double* out) {
  if (out == nullptr) return 0;
  *out = 0.0;
  int p = FindRow(key);
  if (p < 0 || !IsType(g_rows[p], "DOUBLE")) return 0;
  GetTableCellVal(g_panel, g_control, ValueCell(p), out);
  return 1;
}

int ParamTable_GetInt(int key, int* out) {
  if (out == nullptr) return 0;
  *out = 0;
  int p = FindRow(key);
  if (p < 0) return 0;
  const ModulationParamRow& row = g_rows[p];
  if (IsType(row, "INT")) {
    GetTableCellVal(g_panel, g_control, ValueCell(p), out);
  } else if (IsType(row, "LIST")) {
    *out = RingIndexOf(p, CellText(p));
  } else if (IsType(row, "YESNO")) {
    *out = CellText(p).find("yes") != std::string::npos ? 1 : 0;
  } else if (IsType(row, "STRING")) {
    *out = TextToInt(CellText(p).c_str());
  } else {
    return 0;
  }
  return 1;
}

int ParamTable_GetText(int key, char* out) {
  if (out == nullptr) return 0;
  out[0] = '\0';
  int p = FindRow(key);
  if (p < 0) return 0;
  const ModulationParamRow& row = g_rows[p];
  if (IsType(row, "INT")) {
    int v = 0;
    GetTableCellVal(g_panel, g_control, ValueCell(p), &v);
    cz::SnprintfC(out, kParamTableTextSize, "%d", v);
  } else if (IsType(row, "STRING") || IsType(row, "LIST") || IsType(row, "YESNO")) {
    cz::CopyText(out, kParamTableTextSize, CellText(p));
  } else {
    return 0;
  }
  return 1;
}

int ParamTable_GetYesNo(int key, int* out) {
  int p = FindRow(key);
  if (p < 0 || out == nullptr || !IsType(g_rows[p], "YESNO")) return 0;
  *out = CellText(p).find("yes") != std::string::npos ? 1 : 0;
  return 1;
}

int ParamTable_SetDouble(int key, double value) {
  int p = FindRow(key);
  if (p < 0 || !IsType(g_rows[p], "DOUBLE")) return 0;
  SetTableCellVal(g_panel, g_control, ValueCell(p), value);
  ColourByLimits(p);
  return 1;
}

int ParamTable_SetInt(int key, int value) {
  int p = FindRow(key);
  if (p < 0) return 0;
  const ModulationParamRow& row = g_rows[p];
  if (IsType(row, "INT")) {
    SetTableCellVal(g_panel, g_control, ValueCell(p), value);
    ColourByLimits(p);
  } else if (IsType(row, "LIST")) {
    if (value >= 0) ShowRingItem(p, value);
  } else if (IsType(row, "YESNO")) {
    ShowRingItem(p, value == 1 ? 1 : 0);
  } else {
    return 0;
  }
  return 1;
}

int ParamTable_SetString(int key, const char* text) {
  int p = FindRow(key);
  if (p < 0) return 0;
  char buf[64] = {0};
  cz::CopyText(buf, sizeof buf, text ? text : "");
  int n = TextToInt(g_rows[p].max.c_str());
  if (n > 0 && n < 64) buf[cz::Utf8PrefixLength(buf, static_cast<std::size_t>(n))] = '\0';
  if (!IsType(g_rows[p], "STRING")) return 0;
  SetTableCellVal(g_panel, g_control, ValueCell(p), buf);
  return 1;
}

int ParamTable_CheckLimits() {
  if (g_rows == nullptr) return 0;
  bool all = true;
  for (int p = 0; p < kModParamRows; ++p) {
    const ModulationParamRow& row = g_rows[p];
    if (row.key == 0 || row.name.empty()) break;
    if (IsType(row, "DOUBLE") || IsType(row, "INT")) all = ColourByLimits(p) && all;
  }
  return all ? 1 : 0;
}

int ParamTable_SetEditable(int key, int editable) {
  int p = FindRow(key);
  if (p < 0) return 0;
  g_rows[p].editable = editable ? 1u : 0u;
  Point cell = ValueCell(p);
  if (editable) {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_MODE, VAL_VALIDATE);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_TEXT_BGCOLOR, kParamValueColor);
  } else {
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_CELL_MODE, VAL_INDICATOR);
    SetTableCellAttribute(g_panel, g_control, cell, ATTR_TEXT_BGCOLOR, kParamNameColor);
  }
  return 1;
}
