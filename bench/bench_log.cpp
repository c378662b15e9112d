// The log window while a build logs: one Log_Message per pulse repetition
// and parameter look-up, 70,000 lines for 10,000 repetitions, appended to
// the Log tab's text box through LogWindowSink (offscreen); once into an
// empty box, once into a box already holding the newest lines it keeps,
// where every thousand lines the oldest thousand are dropped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/Log.h"
#include "app/LogSinks.h"
#include "app/PanelIds.h"
#include "app/Settings.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kLines = 70000;

void SetUpLogWindow() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  InitUserInterface(0, nullptr);
  TAB_LOG = NewPanel(0, "Log", 0, 0, 600, 900);
  TAB_LOG_TEX_LOG = NewCtrl(TAB_LOG, CTRL_TEXT_BOX, "", 10, 10);
  SetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_HEIGHT, 560);
  SetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_WIDTH, 880);
  DisplayPanel(TAB_LOG);
  g_Settings.AllowTrace = 1;
  Log_SetLogSink(LogWindowSink);
}

void BM_LogWindow70000Lines(benchmark::State& state) {
  SetUpLogWindow();
  for (auto _ : state) {
    state.PauseTiming();
    ResetTextBox(TAB_LOG, TAB_LOG_TEX_LOG, "");
    state.ResumeTiming();
    for (int i = 0; i < kLines; ++i) {
      const std::string n = std::to_string(i);
      if (i % 7 == 0)
        Log_Message(3, "  Repetition ", n.c_str(), " of pulse 'Barker13'");
      else
        Log_Message(4, "    parameter ", n.c_str(), " = ", "1.000000e+06");
    }
  }
  Log_SetLogSink(nullptr);
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_LogWindow70000Lines)->Unit(benchmark::kMillisecond)->Iterations(3);

void LogBuildLines(int count) {
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    if (i % 7 == 0)
      Log_Message(3, "  Repetition ", n.c_str(), " of pulse 'Barker13'");
    else
      Log_Message(4, "    parameter ", n.c_str(), " = ", "1.000000e+06");
  }
}

void BM_LogWindow70000LinesBeyondTheBound(benchmark::State& state) {
  SetUpLogWindow();
  for (auto _ : state) {
    state.PauseTiming();
    ResetTextBox(TAB_LOG, TAB_LOG_TEX_LOG, "");
    LogBuildLines(kLogWindowLines);
    ProcessDrawEvents();
    state.ResumeTiming();
    LogBuildLines(kLines);
  }
  Log_SetLogSink(nullptr);
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_LogWindow70000LinesBeyondTheBound)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
