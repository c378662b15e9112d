// The working table of modulation parameters and its copies to and from the
// pulse records, the engine's look-up by label, and the bridge between a
// plug-in's configuration rows and parameter rows.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "editors/ParamTable.h"
#include "engine/ModulationTypes.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

ModulationParamRow ModulationParamTable[kModParamRows];

namespace {

bool ValidPulseSlot(int pulse) { return pulse >= 0 && pulse < kMaxPulses; }

// Decimal number at the start of a text; 0 for text that is no number.
double TextToDouble(const char* text) { return cz::StrtodC(text, nullptr); }
// Beyond the int range the value saturates rather than wrapping ("4294967297"
// must not read as 1).
int TextToInt(const char* text) {
  const long v = cz::StrtolC(text, nullptr, 10);
  return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}

void ClearWorkingKeys() {
  for (ModulationParamRow& row : ModulationParamTable) row.key = 0;
}

void FillEditorTable() { ParamTable_Fill(P_MOD, P_MOD_TABLE_CONF, ModulationParamTable); }

// Caption of the editor's parameter table; it names a plug-in that is not
// loaded instead.
constexpr const char* kTableCaption = "Modulation Parameters";

void ShowTableCaption(const char* caption) {
  if (P_MOD > 0 && P_MOD_TABLE_CONF > 0) SetCtrlAttribute(P_MOD, P_MOD_TABLE_CONF, ATTR_LABEL_TEXT, caption);
}

bool PluginMissing(const PulseRecord& p) {
  return p.modulation == kModulationPluginCode && FindModuleByName(p.pluginName.c_str()) < 0;
}

// A pulse whose plug-in is not loaded: its own stored entries, as texts
// that cannot be edited, under a caption saying that the plug-in is missing.
// Without the plug-in there are no types, limits or lists to edit them by.
void ShowStoredEntriesReadOnly(const PulseRecord& p) {
  int r = 0;
  for (int k = 0; k < p.modParams.StoredCount() && r < kModParamRows; ++k) {
    const ModulationParamEntry& e = p.modParams[k];
    if (e.IsFree()) continue;
    ModulationParamRow& row = ModulationParamTable[r];
    row.key = static_cast<uint32_t>(r + 1);
    row.name = e.name.view();
    row.type = "STRING";
    row.precision = 0;
    row.value = e.value.view();
    row.editable = 0;
    row.min = "0";
    row.max = "255";
    ++r;
  }
  ShowTableCaption(cz::FormatC("Plug-in '%s' is not loaded: stored values, read-only", p.pluginName.c_str()).c_str());
  FillEditorTable();
}

bool TypeContains(const ModulationParamRow& row, const char* word) {
  return std::strstr(row.type.c_str(), word) != nullptr;
}

// Shared by the double and int look-ups: logs the request and finds the
// value text of the first entry with that label.
const char* LookUpParam(int pulse, const char* label) {
  const PulseRecord& p = PulseTable[pulse];
  Log_Message(5, " (Requesting '", label, "' from '", p.name.c_str(), "')");
  int k = p.modParams.Find(label);
  if (k < 0) {
    Log_Message(1, "** Setting not found. Returning zero.");
    return nullptr;
  }
  return p.modParams[k].value.c_str();
}

}  // namespace

int ModParamRowCount() {
  int n = 0;
  while (n < kModParamRows && ModulationParamTable[n].key != 0) ++n;
  return n;
}

int ClearPulseModParams(int pulse) {
  if (!ValidPulseSlot(pulse)) return 0;
  PulseTable[pulse].modParams.Clear();
  return 1;
}

int GetModParamDouble(int pulse, const char* label, double* out) {
  if (out == nullptr) return 0;
  *out = 0.0;
  if (!ValidPulseSlot(pulse) || label == nullptr) return 0;
  const char* value = LookUpParam(pulse, label);
  if (value == nullptr) return 0;
  const double v = TextToDouble(value);
  // "nan", "inf" or a number beyond the double range (a damaged project)
  // would turn every sample of the pulse into no number.
  if (!std::isfinite(v)) {
    Log_Message(3, " *** '", label, "' is not a finite number.");
    return 0;
  }
  *out = v;
  return 1;
}

int GetModParamInt(int pulse, const char* label, int* out) {
  if (out == nullptr) return 0;
  *out = 0;
  if (!ValidPulseSlot(pulse) || label == nullptr) return 0;
  const char* value = LookUpParam(pulse, label);
  if (value == nullptr) return 0;
  *out = TextToInt(value);
  return 1;
}

int InitModParams(int pulse) {
  ClearWorkingKeys();
  if (pulse < 0 || pulse >= PulseCount) return 0;
  const PulseRecord& p = PulseTable[pulse];

  if (p.modulation != kModulationPluginCode) {
    const ModulationTypeInfo* type = FindModulationType(p.modulation);
    if (type == nullptr) return 0;
    for (int k = 0; k < type->definitionLength && k < kModParamRows; ++k) {
      const ModulationParamDef& d = type->definitions[k];
      ModulationParamRow& row = ModulationParamTable[k];
      row.key = d.key;
      row.name = d.name;
      row.type = d.type;
      row.precision = d.precision;
      row.value = d.value;
      row.editable = 1;
      row.min = d.min;
      row.max = d.max;
    }
    ShowTableCaption(kTableCaption);
    FillEditorTable();
    return 1;
  }

  int module = FindModuleByName(p.pluginName.c_str());
  if (module < 0) {
    ShowStoredEntriesReadOnly(p);
    return 1;
  }
  ShowTableCaption(kTableCaption);
  if (QueryPluginParams(module, pulse)) {
    FillEditorTable();
    return 1;
  }
  Log_Message(1, "** Parameter initialization failed.");
  ModulationParamTable[0].key = 0;
  FillEditorTable();
  return 0;
}

int LoadPulseModParams(int pulse) {
  if (!ValidPulseSlot(pulse)) return 0;
  const PulseRecord& p = PulseTable[pulse];
  if (PluginMissing(p)) return 1;  // the working rows are the stored entries already
  for (int r = 0; r < kModParamRows && ModulationParamTable[r].key != 0; ++r) {
    ModulationParamRow& row = ModulationParamTable[r];
    int k = p.modParams.Find(row.name.view(), row.type.view());
    // A row without a stored value ends the copy: it and the later rows keep
    // their current values.
    if (k < 0) break;
    row.value = p.modParams[k].value.view();
  }
  return 1;
}

int StorePulseModParams(int pulse) {
  if (!ValidPulseSlot(pulse)) return 0;
  // The entries of a pulse whose plug-in is not loaded are kept as they
  // are: the working table only shows them.
  if (PluginMissing(PulseTable[pulse])) return 1;
  ClearPulseModParams(pulse);
  PulseRecord& p = PulseTable[pulse];
  for (int r = 0; r < kModParamRows && ModulationParamTable[r].key != 0; ++r) {
    const ModulationParamRow& row = ModulationParamTable[r];
    p.modParams.Set(r, row.type.view(), row.name.view(), row.value.view());
  }
  return 1;
}

int ReadModParamTable() {
  for (int r = 0; r < kModParamRows && ModulationParamTable[r].key != 0; ++r) {
    ModulationParamRow& row = ModulationParamTable[r];
    int key = static_cast<int>(row.key);
    if (TypeContains(row, "DOUBLE")) {
      double v = 0.0;
      if (ParamTable_GetDouble(key, &v)) row.value = cz::ExactRealC(v);
    } else if (TypeContains(row, "INT") || TypeContains(row, "YESNO") || TypeContains(row, "LIST")) {
      int v = 0;
      if (ParamTable_GetInt(key, &v)) row.value = cz::FormatC("%d", v);
    } else if (TypeContains(row, "STRING")) {
      char text[kParamTableTextSize] = {0};
      if (ParamTable_GetText(key, text)) row.value = text;
    }
  }
  return 1;
}

int ShowModParamTable() {
  for (int r = 0; r < kModParamRows && ModulationParamTable[r].key != 0; ++r) {
    const ModulationParamRow& row = ModulationParamTable[r];
    int key = static_cast<int>(row.key);
    if (TypeContains(row, "DOUBLE"))
      ParamTable_SetDouble(key, TextToDouble(row.value.c_str()));
    else if (TypeContains(row, "INT") || TypeContains(row, "YESNO") || TypeContains(row, "LIST"))
      ParamTable_SetInt(key, TextToInt(row.value.c_str()));
    else if (TypeContains(row, "STRING"))
      ParamTable_SetString(key, row.value.c_str());
  }
  return 1;
}

int QueryPluginParams(int module, int pulse) {
  if (module < 0 || module >= CZ_MAX_MODULES || !ValidPulseSlot(pulse)) return 0;
  ClearWorkingKeys();
  const ModuleEntry& m = ModuleTable[module];
  if (m.GetConf == nullptr) return 1;

  // Host buffers of the contract's sizes, cleared before each call and
  // terminated afterwards so that a careless plug-in cannot leave stale text.
  char type[CZ_CONF_TYPE_SIZE];
  char label[CZ_CONF_LABEL_SIZE];
  alignas(double) char dflt[CZ_CONF_VALUE_SIZE];
  alignas(double) char min[CZ_CONF_VALUE_SIZE];
  alignas(double) char max[CZ_CONF_VALUE_SIZE];
  for (int r = 0; r < kModParamRows; ++r) {
    std::memset(type, 0, sizeof type);
    std::memset(label, 0, sizeof label);
    std::memset(dflt, 0, sizeof dflt);
    std::memset(min, 0, sizeof min);
    std::memset(max, 0, sizeof max);
    if (m.GetConf(r, type, label, dflt, min, max) == 0) return 1;
    type[sizeof type - 1] = '\0';
    label[sizeof label - 1] = '\0';
    dflt[sizeof dflt - 1] = '\0';

    ModulationParamRow& row = ModulationParamTable[r];
    row.key = static_cast<uint32_t>(r + 1);
    row.name = label;  // the row's field keeps 63 characters
    row.precision = 0;
    row.editable = 1;
    double dv, dmin, dmax;
    int iv, imin, imax;
    if (std::strcmp(type, CZ_CONF_DBL) == 0 || std::strcmp(type, CZ_CONF_DBL6) == 0) {
      std::memcpy(&dv, dflt, sizeof dv);
      std::memcpy(&dmin, min, sizeof dmin);
      std::memcpy(&dmax, max, sizeof dmax);
      row.type = "DOUBLE";
      row.precision = std::strcmp(type, CZ_CONF_DBL) == 0 ? 3 : 6;
      row.value = cz::ExactRealC(dv);
      row.min = cz::ExactRealC(dmin);
      row.max = cz::ExactRealC(dmax);
    } else if (std::strcmp(type, CZ_CONF_INT) == 0) {
      std::memcpy(&iv, dflt, sizeof iv);
      std::memcpy(&imin, min, sizeof imin);
      std::memcpy(&imax, max, sizeof imax);
      row.type = "INT";
      row.value = cz::FormatC("%d", iv);
      row.min = cz::FormatC("%d", imin);
      row.max = cz::FormatC("%d", imax);
    } else if (std::strcmp(type, CZ_CONF_BOOL) == 0) {
      std::memcpy(&iv, dflt, sizeof iv);
      row.type = "YESNO";
      row.value = cz::FormatC("%d", iv);
      row.min = "0";
      row.max = "0";
    } else if (std::strcmp(type, CZ_CONF_STR) == 0) {
      row.type = "STRING";
      row.value = dflt;
      row.min = "0";
      row.max = "255";
    } else {
      row.key = 0;  // the refused row is not part of the table
      Log_Message(2, "** Invalid parameter type for ", label);
      return 0;
    }
  }
  return 1;  // 255 rows: the table is full and no end row follows
}

int PushPluginParams(int module) {
  if (module < 0 || module >= CZ_MAX_MODULES) return 0;
  const ModuleEntry& m = ModuleTable[module];
  if (m.SetConf == nullptr) return 1;
  for (int r = 0; r < kModParamRows && ModulationParamTable[r].key != 0; ++r) {
    ModulationParamRow& row = ModulationParamTable[r];
    if (TypeContains(row, "DOUBLE")) {
      double v = TextToDouble(row.value.c_str());
      m.SetConf(r, &v);
    } else if (TypeContains(row, "INT") || TypeContains(row, "YESNO")) {
      int v = TextToInt(row.value.c_str());
      m.SetConf(r, &v);
    } else if (TypeContains(row, "STRING")) {
      // The plug-in gets a copy, so it cannot write past or into our row.
      char text[sizeof row.value] = {0};
      std::memcpy(text, row.value.c_str(), row.value.size());
      m.SetConf(r, text);
    }
  }
  return 1;
}
