// The Pulse Editor with a custom I/Q envelope of the allowed maximum
// (1,000,000 points; 100,000 for comparison): showing the pulse, which fills
// the amplitude and I/Q tables and the shape graph, and committing the
// name, comment and level fields, which leave the envelope as it is.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "editors/EnvelopeImport.h"
#include "editors/JitterPage.h"
#include "editors/ModDataTable.h"
#include "editors/PluginTrees.h"
#include "editors/PulseEditor.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/MainPanel.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/JitterPanel.h"
#include "ui/pulse/LevelPanel.h"
#include "ui/pulse/PulsePanels.h"

namespace {

// The main window's Pulse Editor page with its sub-panels, wired as the
// start-up wires them, and one pulse with an I/Q envelope of `points`,
// current and shown. false when a panel cannot be built.
bool EditorWithEnvelope(int points) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  InitUserInterface(0, nullptr);
  UiTest_Reset();
  Log_SetLogSink([](const char*) {});
  Log_SetStatusSink([](const char*) {});
  ResetProject();
  ModuleCount = 0;
  CurrentPulse = -1;
  PANEL_MAIN = BuildMainPanel(0);
  if (PANEL_MAIN <= 0 ||
      GetPanelHandleFromTabPage(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(PAGE_PULSE_EDITOR), &TAB_PEDIT) < 0)
    return false;
  struct Sub {
    int* handle;
    int (*builder)(int);
  };
  const Sub subs[] = {{&P_TIM, BuildPulseTimingPanel}, {&P_JIT, BuildJitterPanel},
                      {&P_MOD, BuildPulseModulationPanel}, {&P_MISC, BuildPulseMiscPanel},
                      {&P_MARKER, BuildPulseMarkerPanel}};
  for (const Sub& sub : subs)
    if ((*sub.handle = sub.builder(TAB_PEDIT)) <= 0) return false;
  if (EnvelopePages_FetchHandles(P_TIM) != 0) return false;
  InitJitterControlTable();
  ResetPulseDataTable();
  FillModulationTypeTree();
  AttachPulseEditorPage();
  DisplayPanel(PANEL_MAIN);

  PulseRecord& p = PulseTable[PulseCount++];
  InitPulseRecord(&p);
  p.name = "envelope";
  p.customEnvelopeOn = 1;
  std::vector<double> i(static_cast<std::size_t>(points)), q(static_cast<std::size_t>(points));
  for (int k = 0; k < points; ++k) {
    i[static_cast<std::size_t>(k)] = std::cos(k * 1e-3);
    q[static_cast<std::size_t>(k)] = std::sin(k * 1e-3);
  }
  if (!p.envelope.SetIq(std::move(i), std::move(q))) return false;
  SetCurrentPulse(0);
  ShowPulseInEditor();
  ProcessDrawEvents();
  return true;
}

// Selecting the pulse after one without an envelope: the tables, the plot
// and the figures are filled from the record.
void BM_ShowPulseWithEnvelope(benchmark::State& state) {
  if (!EditorWithEnvelope(static_cast<int>(state.range(0)))) {
    state.SkipWithError("pulse editor not built");
    return;
  }
  PulseRecord& plain = PulseTable[PulseCount++];
  InitPulseRecord(&plain);
  plain.name = "plain";
  plain.id = 2;
  for (auto _ : state) {
    state.PauseTiming();
    SetCurrentPulse(1);
    ShowPulseInEditor();
    ProcessDrawEvents();
    state.ResumeTiming();
    SetCurrentPulse(0);
    ShowPulseInEditor();
    ProcessDrawEvents();
  }
  state.counters["points"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ShowPulseWithEnvelope)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// A commit of one field of the page as the user types it.
// The handles are read after the editor is built.
void CommitField(benchmark::State& state, const int* panelHandle, const int* controlId, bool text) {
  if (!EditorWithEnvelope(static_cast<int>(state.range(0)))) {
    state.SkipWithError("pulse editor not built");
    return;
  }
  const int panel = *panelHandle, control = *controlId;
  int n = 0;
  for (auto _ : state) {
    ++n;
    const int taken = text ? UiTest_EnterValue(panel, control, ("comment " + std::to_string(n)).c_str())
                           : UiTest_EnterValue(panel, control, -1.0 * (n % 50) * 0.01);
    if (taken != 1) {
      state.SkipWithError(("the field took no input: " + std::to_string(taken)).c_str());
      break;
    }
    ProcessDrawEvents();
  }
  state.counters["points"] = static_cast<double>(state.range(0));
}

void BM_CommentCommit(benchmark::State& state) { CommitField(state, &TAB_PEDIT, &TAB_PEDIT_STR_COMMENT, true); }
BENCHMARK(BM_CommentCommit)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_LevelCommit(benchmark::State& state) { CommitField(state, &P_MISC, &P_MISC_NUM_LEVEL, false); }
BENCHMARK(BM_LevelCommit)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_NameCommit(benchmark::State& state) { CommitField(state, &TAB_PEDIT, &TAB_PEDIT_STR_NAME, true); }
BENCHMARK(BM_NameCommit)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
