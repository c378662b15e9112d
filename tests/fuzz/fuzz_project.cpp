// The project file reader (LoadProject): a file loaded as the project, then
// the same file imported into it (its pulses and the data sources they use
// appended). The four modulation plug-ins are loaded, as in the program, so
// that a plug-in pulse's module is looked up and asked for its parameters.
// Whatever the file, the tables stay within their limits and the file read
// is left as it was.
#include "app/DataSource.h"
#include "app/PluginLoader.h"
#include "app/ProjectFile.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup(true);
  SetPluginFolder(CADENZA_FUZZ_PLUGIN_DIR);
  LoadPlugins();
  for (const char* name : {"Skywhisk", "Bendsweep", "Replyrun", "Roundtone"}) FUZZ_CHECK(FindModuleByName(name) >= 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  ClearProject();
  DataSourceCount = 0;
  const std::string path = cz::fuzz::WriteScratch("fuzz.prj", data, size);
  LoadProject(PulseTable, SequenceTable, path.c_str(), 0);
  LoadProject(PulseTable, SequenceTable, path.c_str(), 1);
  FUZZ_CHECK(PulseCount >= 0 && PulseCount <= kMaxPulses);
  FUZZ_CHECK(SequenceCount >= 0 && SequenceCount <= kMaxSequences);
  FUZZ_CHECK(MultiSegmentCount >= 0 && MultiSegmentCount <= kMaxMultiSegments);
  FUZZ_CHECK(RfListCount >= 0 && RfListCount <= kMaxRfLists);
  FUZZ_CHECK(DataSourceCount >= 0 && DataSourceCount <= kMaxDataSources);
  FUZZ_CHECK(cz::fuzz::ReadScratch("fuzz.prj") == cz::fuzz::Text(data, size));
  return 0;
}
