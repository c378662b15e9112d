// The report template workbook, read by the report plug-in (loaded by the
// program's plug-in loader): the workbook package (zip, shared strings,
// sheets), the definitions of its first sheet, then one reported entry whose
// sequence comment carries the tag "T1", and the workbook saved and closed.
// The input is the template file.
#include <string>

#include "app/PluginLoader.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
int g_report = -1;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  SetPluginFolder(CADENZA_FUZZ_PLUGIN_DIR);
  LoadPlugins();
  g_report = FindModuleByName("Fennick-EXCEL-1.0");
  FUZZ_CHECK(g_report >= 0 && ModuleTable[g_report].SetValue && ModuleTable[g_report].ReportSetParam);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  const ModuleEntry& m = ModuleTable[g_report];
  std::string path = cz::fuzz::WriteScratch("template.xlsx", data, size);
  m.ReportSetParam("filename", path.data());
  char error[CZ_MOD_ERROR_SIZE];
  if (m.SetValue("initreport", nullptr) == 1) {
    const double clock = 100e6;
    const int one = 1;
    m.SetValue("initentry", nullptr);
    m.SetValue("set_seqname", "S");
    m.SetValue("set_comment", "Radar {REPORT PLUGIN: T1}");
    m.SetValue("set_filename", "run TRIAL-1.wv");
    m.SetValue("set_clock", &clock);
    m.SetValue("set_repcnt", &one);
    m.SetValue("finishentry", nullptr);
    m.SetValue("closereport", nullptr);
  }
  m.Error(error);
  return 0;
}
