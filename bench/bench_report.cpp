// Builds whose every repetition is reported, in one process on one core:
//   R1 10,000 repetitions of a 10 us pulse (1 us edges, 40 us off) at
//      100 MHz into a text report of five columns, the frequency jittered
//      on every repetition                                       < 1.7 s
//   R2 R1 without jitter                                         < 1.7 s
//   R3 R1 into a workbook through the report plug-in (routine 2: one cell
//      per repetition on the trial sheet, the workbook saved at the end)
//                                                                < 2.3 s
//   R4 R3 without jitter                                         < 2.3 s
// Each iteration is one whole build: the report opened, the waveform
// computed and written, the report closed (and the workbook saved).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "bench/BuildBench.h"
#include "editors/ReportDriver.h"
#include "engine/EngineHost.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/Paths.h"
#include "platform/sheet/Workbook.h"

namespace {

constexpr const char* kPlugin = "Fennick-EXCEL-1.0";
constexpr int kRepetitions = 10000;

using cz::bench::g_lastError;

cz::bench::BuildFolder g_folder;

// The Plugins folder of the build: beside the folder of this program.
std::string BuildPlugins() {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return std::string();
  exe[n] = '\0';
  return cz::DirName(cz::DirName(exe)) + "/Plugins";
}

void Prepare() {
  static bool loaded = false;
  g_folder.Prepare("bench-report", cz::bench::KeepLastError);
  if (loaded) return;
  loaded = true;
  SetPluginFolder(BuildPlugins());
  LoadPlugins();
  Report_InstallEngineHooks();
}

// A radar pulse (10 us on, 1 us edges, 40 us off) kRepetitions times; jitter: the
// frequency offset drawn anew on every repetition.
void SetUpSequence(bool jitter, bool workbook) {
  ResetProject();
  g_Settings.Project.pepLevel = 0;
  PulseRecord& p = PulseTable[0];
  InitPulseRecord(&p);
  PulseCount = 1;
  p.name = "P";
  p.onTime = 10e-6;
  p.riseTime = p.fallTime = 1e-6;
  p.offTime = 40e-6;
  if (jitter) {
    JitterBlock& j = p.jitter[0];
    j.enabled = 1;
    j.target = JIT_FREQUENCY;
    j.distribution = JDIST_WHITENOISE;
    j.p1 = -1e3;
    j.p2 = 1e3;
    j.p3 = 1.0;  // Hz steps
  }
  SequenceRecord& s = SequenceTable[0];
  InitSequenceRecord(&s);
  SequenceCount = 1;
  s.name = "R";
  s.comment = "{REPORT PLUGIN: R2}";
  s.clock = 100e6;
  s.waveFile.AssignExact(g_folder.File("TRIAL-1 bench.wv"));
  s.entries[0].pulseId = static_cast<int32_t>(p.id);
  s.entries[0].repetitions = kRepetitions;
  s.entries[0].jitterMode[0] = jitter ? JMODE_INDIVIDUAL : JMODE_OFF;
  s.reportOn = 1;
  s.reportFile.AssignExact(g_folder.File(workbook ? "report.xlsx" : "report.txt"));
  s.reportPlugin = workbook ? kPlugin : "";
  for (int flag : {REPORT_ENTRY_NUMBER, REPORT_REP_NUMBER, REPORT_REP_COUNT, REPORT_FREQUENCY, REPORT_START_TIME})
    s.reportColumns[flag] = 1;
  if (workbook) {
    // Data from row 3, column 2; tag R2 runs routine 2 on sheet 2 (trial 1).
    cz::sheet::Workbook book;
    book.Sheet(1)->SetNumber(1, 1, 3);
    book.Sheet(1)->SetNumber(2, 1, 2);
    book.Sheet(1)->SetNumber(3, 1, 2);
    book.Sheet(1)->SetText(3, 2, "R2");
    book.Sheet(1)->SetNumber(3, 3, 2);
    book.AddSheet("Trial 1");
    std::string why;
    if (!book.SaveAs(g_folder.File("report.xlsx"), &why)) std::abort();
  }
}

void RunReportedBuilds(benchmark::State& state, bool jitter, bool workbook) {
  Prepare();
  if (workbook && FindModuleByName(kPlugin) < 0) {
    state.SkipWithError("the report plug-in is not loaded");
    return;
  }
  SetUpSequence(jitter, workbook);
  const SequenceRecord& s = SequenceTable[0];
  for (auto _ : state) {
    state.PauseTiming();
    std::remove(g_folder.File("report.txt").c_str());
    state.ResumeTiming();
    char error[kReportErrorTextSize] = "";
    if (!Report_OpenOrClose(1, s.reportFile.c_str(), s.reportPlugin.c_str(), error, sizeof error)) {
      state.SkipWithError((std::string("report not opened: ") + error).c_str());
      return;
    }
    Report_WriteHeader(0);
    if (!BuildWaveform(0, 0, 1, -1, 1, 0.0)) {
      state.SkipWithError(("build failed: " + g_lastError).c_str());
      return;
    }
  }
  state.counters["repetitions"] = kRepetitions;
}

void BM_R1_TextReportJitter(benchmark::State& state) { RunReportedBuilds(state, true, false); }
void BM_R2_TextReport(benchmark::State& state) { RunReportedBuilds(state, false, false); }
void BM_R3_WorkbookJitter(benchmark::State& state) { RunReportedBuilds(state, true, true); }
void BM_R4_Workbook(benchmark::State& state) { RunReportedBuilds(state, false, true); }

}  // namespace

BENCHMARK(BM_R1_TextReportJitter)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_R2_TextReport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_R3_WorkbookJitter)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_R4_Workbook)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
