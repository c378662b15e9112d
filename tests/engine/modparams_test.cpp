// Modulation types, the working parameter table and its copies to and from
// pulses, plug-in configuration rows, and the typed parameter table control.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "editors/ParamTable.h"
#include "engine/ModulationTypes.h"
#include "platform/ui/UserInterface.h"

namespace {

std::vector<std::string> g_log;
void Capture(const char* t) { g_log.emplace_back(t); }

// A fake plug-in's configuration rows, served through the module table.
struct FakeRow {
  const char* type;
  std::string label;
  double d[3];
  int i[3];
  const char* text;
};
std::vector<FakeRow> g_rows;
std::vector<std::string> g_setconf;  // "row:value" per mod_setconf call

int FakeGetConf(int row, char* type, char* label, void* dflt, void* min, void* max) {
  if (row < 0 || row >= static_cast<int>(g_rows.size())) return 0;
  const FakeRow& r = g_rows[static_cast<std::size_t>(row)];
  std::snprintf(type, CZ_CONF_TYPE_SIZE, "%s", r.type);
  std::snprintf(label, CZ_CONF_LABEL_SIZE, "%s", r.label.c_str());
  if (std::strncmp(r.type, "DBL", 3) == 0) {
    std::memcpy(dflt, &r.d[0], sizeof(double));
    std::memcpy(min, &r.d[1], sizeof(double));
    std::memcpy(max, &r.d[2], sizeof(double));
  } else if (std::strcmp(r.type, "STR") == 0) {
    std::snprintf(static_cast<char*>(dflt), CZ_CONF_VALUE_SIZE, "%s", r.text);
  } else {
    std::memcpy(dflt, &r.i[0], sizeof(int));
    std::memcpy(min, &r.i[1], sizeof(int));
    std::memcpy(max, &r.i[2], sizeof(int));
  }
  return 1;
}

int FakeSetConf(int row, void* value) {
  const FakeRow& r = g_rows[static_cast<std::size_t>(row)];
  char buf[128];
  if (std::strncmp(r.type, "DBL", 3) == 0)
    std::snprintf(buf, sizeof buf, "%d:%g", row, *static_cast<double*>(value));
  else if (std::strcmp(r.type, "STR") == 0)
    std::snprintf(buf, sizeof buf, "%d:%s", row, static_cast<char*>(value));
  else
    std::snprintf(buf, sizeof buf, "%d:%d", row, *static_cast<int*>(value));
  g_setconf.emplace_back(buf);
  return 1;
}

class ModParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_rows.clear();
    g_setconf.clear();
    Log_SetLogSink(Capture);
    PulseCount = 0;
    InitPulseRecord(&PulseTable[0]);
    PulseCount = 1;
    PulseTable[0].name = "p1";
    ModuleCount = 1;
    ModuleTable[0] = ModuleEntry();
    ModuleTable[0].Name = "fake";
    ModuleTable[0].GetConf = FakeGetConf;
    ModuleTable[0].SetConf = FakeSetConf;
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    ModuleCount = 0;
    ModuleTable[0] = ModuleEntry();
  }
};

}  // namespace

TEST(ModulationTypeTable, RowsGroupsAndDefinitions) {
  ASSERT_EQ(kModulationTypeCount, 19);
  const int codes[] = {0, 7, 3, 6, 15, 5, 9, 14, 10, 2, 13, 1, 12, 4, 17, 16, 8, 11, 18};
  const int bits[] = {0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 2, 2, 3, 3, 4, 0};
  const int params[] = {0, 3, 3, 2, 7, 1, 4, 3, 5, 2, 8, 5, 2, 6, 1, 5, 0, 0, 0};
  for (int r = 0; r < 19; ++r) {
    const ModulationTypeInfo& t = ModulationTypeTable[r];
    EXPECT_EQ(t.code, codes[r]) << r;
    EXPECT_EQ(t.bitsPerSymbol, bits[r]) << r;
    EXPECT_EQ(t.definitionLength, params[r] + 1) << r;
    EXPECT_EQ(t.definitions[t.definitionLength - 1].key, 0u) << r;
    for (int k = 0; k + 1 < t.definitionLength; ++k) EXPECT_EQ(t.definitions[k].key, static_cast<uint32_t>(k + 1));
  }
  EXPECT_EQ(FindModulationType(18), nullptr);
  EXPECT_EQ(FindModulationType(100), nullptr);
  const ModulationTypeInfo* chirp = FindModulationType(2);
  ASSERT_NE(chirp, nullptr);
  EXPECT_STREQ(chirp->groupTag, "_FM");
  EXPECT_STREQ(chirp->definitions[1].name, "Ramp Type");
  EXPECT_STREQ(chirp->definitions[1].min, "ramp up|ramp dn|sine|exp|exp 10|triangular|inv trian");
  EXPECT_STREQ(FindModulationType(14)->definitions[1].type, "INT");
  EXPECT_STREQ(FindModulationType(10)->definitions[4].name, "f5 [MHz]");
  EXPECT_STREQ(FindModulationType(13)->definitions[7].name, "Term 6");
  EXPECT_STREQ(FindModulationType(4)->definitions[4].name, "Phase Ofs [deg]");
}

TEST_F(ModParamsTest, BuiltInRoundTripThroughThePulse) {
  PulseTable[0].modulation = 4;  // QPSK
  ASSERT_EQ(InitModParams(0), 1);
  EXPECT_EQ(ModParamRowCount(), 6);
  EXPECT_EQ(ModulationParamTable[5].name, "Angle [deg]");
  EXPECT_EQ(ModulationParamTable[5].value, "45");
  ModulationParamTable[1].value = "90.5";
  ASSERT_EQ(StorePulseModParams(0), 1);
  EXPECT_EQ(PulseTable[0].modParams.LeadingCount(), 6);
  EXPECT_EQ(PulseTable[0].modParams[1].name, "Rotation [deg]");
  EXPECT_EQ(PulseTable[0].modParams[1].type, "DOUBLE");

  ASSERT_EQ(InitModParams(0), 1);
  EXPECT_EQ(ModulationParamTable[1].value, "0.00");
  ASSERT_EQ(LoadPulseModParams(0), 1);
  EXPECT_EQ(ModulationParamTable[1].value, "90.5");

  double d = -1;
  EXPECT_EQ(GetModParamDouble(0, "Rotation [deg]", &d), 1);
  EXPECT_DOUBLE_EQ(d, 90.5);
  ASSERT_FALSE(g_log.empty());
  EXPECT_NE(g_log.back().find(" (Requesting 'Rotation [deg]' from 'p1')"), std::string::npos);
  EXPECT_EQ(GetModParamDouble(0, "Nope", &d), 0);
  EXPECT_EQ(d, 0.0);
  EXPECT_NE(g_log.back().find("** Setting not found. Returning zero."), std::string::npos);
  PulseTable[0].modParams.Set(0, "LIST", "Type", "abc");
  int i = -1;
  EXPECT_EQ(GetModParamInt(0, "Type", &i), 1);  // text that is no number reads as 0
  EXPECT_EQ(i, 0);
}

TEST_F(ModParamsTest, LoadStopsAtTheFirstMissingRow) {
  PulseTable[0].modulation = 6;  // FM: two rows
  ASSERT_EQ(InitModParams(0), 1);
  PulseTable[0].modParams.Set(0, "DOUBLE", "Mod Freq [kHz]", "7");
  // No stored "Deviation [kHz]": the second row keeps its default.
  ASSERT_EQ(LoadPulseModParams(0), 1);
  EXPECT_EQ(ModulationParamTable[0].value, "7");
  EXPECT_EQ(ModulationParamTable[1].value, "1.000");
  // The stored type must match as well.
  PulseTable[0].modParams.Set(0, "INT", "Mod Freq [kHz]", "9");
  ASSERT_EQ(LoadPulseModParams(0), 1);
  EXPECT_EQ(ModulationParamTable[0].value, "7");
}

TEST_F(ModParamsTest, TypesWithoutParametersAndBadIndices) {
  for (int code : {0, 8, 11}) {
    PulseTable[0].modulation = static_cast<int8_t>(code);
    EXPECT_EQ(InitModParams(0), 1);
    EXPECT_EQ(ModulationParamTable[0].key, 0u);
  }
  PulseTable[0].modulation = 18;  // the end row's code is no type
  EXPECT_EQ(InitModParams(0), 0);
  EXPECT_EQ(InitModParams(1), 0);  // beyond PulseCount
  EXPECT_EQ(ClearPulseModParams(256), 0);
  EXPECT_EQ(LoadPulseModParams(-1), 0);
}

TEST_F(ModParamsTest, PluginRowsBecomeParameterRowsAndGoBack) {
  g_rows = {
      {"DBL", "Gain", {1.5, 0.0, 10.0}, {}, nullptr},
      {"DBL6", "Offset", {0.25, -1.0, 1.0}, {}, nullptr},
      {"INT", "Count", {}, {3, 1, 9}, nullptr},
      {"BOOL", "Enabled", {}, {1, 0, 0}, nullptr},
      {"STR", std::string(70, 'L'), {}, {}, "text"},
  };
  PulseTable[0].modulation = kModulationPluginCode;
  PulseTable[0].pluginName = "fake";
  ASSERT_EQ(InitModParams(0), 1);
  ASSERT_EQ(ModParamRowCount(), 5);
  EXPECT_EQ(ModulationParamTable[0].type, "DOUBLE");
  EXPECT_EQ(ModulationParamTable[0].precision, 3);
  EXPECT_EQ(ModulationParamTable[0].value, "1.500000");
  EXPECT_EQ(ModulationParamTable[1].precision, 6);
  EXPECT_EQ(ModulationParamTable[2].type, "INT");
  EXPECT_EQ(ModulationParamTable[2].max, "9");
  EXPECT_EQ(ModulationParamTable[3].type, "YESNO");
  EXPECT_EQ(ModulationParamTable[3].value, "1");
  EXPECT_EQ(ModulationParamTable[3].min, "0");
  EXPECT_EQ(ModulationParamTable[3].max, "0");
  EXPECT_EQ(ModulationParamTable[4].name.size(), 63u);  // 70-character label kept to 63
  EXPECT_EQ(ModulationParamTable[4].max, "255");

  ASSERT_EQ(StorePulseModParams(0), 1);
  PulseTable[0].modParams.Set(2, "INT", "Count", "7");
  ASSERT_EQ(InitModParams(0), 1);
  ASSERT_EQ(LoadPulseModParams(0), 1);
  ASSERT_EQ(PushPluginParams(0), 1);
  EXPECT_EQ(g_setconf, (std::vector<std::string>{"0:1.5", "1:0.25", "2:7", "3:1", "4:text"}));
  EXPECT_EQ(PushPluginParams(32), 0);
}

TEST_F(ModParamsTest, PluginEdgeCases) {
  PulseTable[0].modulation = kModulationPluginCode;
  PulseTable[0].pluginName = "fake";
  // No mod_getconf: an empty table and success.
  ModuleTable[0].GetConf = nullptr;
  EXPECT_EQ(InitModParams(0), 1);
  EXPECT_EQ(ModulationParamTable[0].key, 0u);
  ModuleTable[0].GetConf = FakeGetConf;

  // 255 rows fill the table; row 256 is never asked for.
  for (int r = 0; r < 300; ++r) g_rows.push_back({"INT", "r" + std::to_string(r), {}, {r, 0, 1000}, nullptr});
  EXPECT_EQ(QueryPluginParams(0, 0), 1);
  EXPECT_EQ(ModParamRowCount(), 255);
  EXPECT_EQ(ModulationParamTable[254].name, "r254");

  // An unknown row type refuses the whole configuration.
  g_rows = {{"INT", "ok", {}, {1, 0, 2}, nullptr}, {"FLOAT", "bad", {}, {}, nullptr}};
  g_log.clear();
  EXPECT_EQ(InitModParams(0), 0);
  EXPECT_EQ(ModulationParamTable[0].key, 0u);
  bool invalid = false, failed = false;
  for (const std::string& l : g_log) {
    invalid |= l.find("** Invalid parameter type for bad") != std::string::npos;
    failed |= l.find("** Parameter initialization failed.") != std::string::npos;
  }
  EXPECT_TRUE(invalid);
  EXPECT_TRUE(failed);

  // No module of that name: success with an empty working table.
  PulseTable[0].pluginName = "missing";
  PulseTable[0].modParams.Clear();
  EXPECT_EQ(InitModParams(0), 1);
  EXPECT_EQ(ModulationParamTable[0].key, 0u);

  // With stored entries: the working table shows them read-only, loading
  // and storing leave them as they are.
  PulseTable[0].modParams.Set(0, "DOUBLE", "Gain", "2.5e-07");
  PulseTable[0].modParams.Set(1, "LIST", "Shape", "2");
  EXPECT_EQ(InitModParams(0), 1);
  ASSERT_EQ(ModParamRowCount(), 2);
  EXPECT_EQ(ModulationParamTable[0].name, "Gain");
  EXPECT_EQ(ModulationParamTable[0].value, "2.5e-07");
  EXPECT_EQ(ModulationParamTable[0].editable, 0u);
  EXPECT_EQ(ModulationParamTable[1].name, "Shape");
  EXPECT_EQ(LoadPulseModParams(0), 1);
  EXPECT_EQ(StorePulseModParams(0), 1);
  EXPECT_EQ(PulseTable[0].modParams[0].type, "DOUBLE");
  EXPECT_EQ(PulseTable[0].modParams[0].value, "2.5e-07");
  EXPECT_EQ(PulseTable[0].modParams[1].type, "LIST");
  EXPECT_EQ(PulseTable[0].modParams[1].value, "2");
}

TEST_F(ModParamsTest, EditorTableShowsAndReadsTypedCells) {
  int panel = NewPanel(0, "test", 0, 0, 300, 400);
  ASSERT_GT(panel, 0);
  int table = NewCtrl(panel, CTRL_TABLE, "", 0, 0);
  ASSERT_GT(table, 0);
  ASSERT_GE(InsertTableColumns(panel, table, 1, 2, VAL_CELL_NUMERIC), 0);
  P_MOD = panel;
  P_MOD_TABLE_CONF = table;

  PulseTable[0].modulation = 2;  // FM chirp: DOUBLE and LIST
  ASSERT_EQ(InitModParams(0), 1);
  int rows = 0;
  GetNumTableRows(panel, table, &rows);
  EXPECT_EQ(rows, 2);
  char text[kParamTableTextSize];
  GetTableCellVal(panel, table, Cell(1, 2), text, sizeof text);
  EXPECT_STREQ(text, "Ramp Type");
  int index = -1;
  EXPECT_EQ(ParamTable_GetInt(2, &index), 1);  // "ramp up" is item 0
  EXPECT_EQ(index, 0);

  // A stored LIST value "2" selects the third item.
  ModulationParamTable[1].value = "2";
  ModulationParamTable[0].value = "700";  // above its maximum of 600
  ASSERT_EQ(ShowModParamTable(), 1);
  GetTableCellVal(panel, table, Cell(2, 2), text, sizeof text);
  EXPECT_STREQ(text, "sine");
  int colour = 0;
  GetTableCellAttribute(panel, table, Cell(2, 1), ATTR_TEXT_BGCOLOR, &colour);
  EXPECT_EQ(colour, kParamLimitColor);
  EXPECT_EQ(ParamTable_CheckLimits(), 0);

  SetTableCellVal(panel, table, Cell(2, 1), 12.5);
  EXPECT_EQ(ParamTable_CheckLimits(), 1);
  ASSERT_EQ(ReadModParamTable(), 1);
  EXPECT_EQ(ModulationParamTable[0].value, "12.500000");
  EXPECT_EQ(ModulationParamTable[1].value, "2");

  // Wrong row types and unknown keys fail without touching anything.
  double d = 1;
  EXPECT_EQ(ParamTable_GetDouble(2, &d), 0);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(ParamTable_SetInt(1, 3), 0);
  EXPECT_EQ(ParamTable_SetDouble(9, 1.0), 0);
  P_MOD = 0;
  P_MOD_TABLE_CONF = -1;
  DiscardPanel(panel);
}
