// RF list editor speed on the page with its 10,000 rows: showing a full
// list (both columns, dimming and limit colours) and taking an edit back,
// which reads all rows and shows the list again.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/PanelIds.h"
#include "app/Records.h"
#include "editors/RfListEditor.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/RfListPage.h"

namespace {

// The page built and prepared as at start-up, with one list of n points
// whose every other point lies within the limits.
void PreparePage(int n) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  InitUserInterface(0, nullptr);
  UiTest_Reset();
  TAB_RFLIST = BuildRfListPanel(0);
  PrepareRfListPage();
  DisplayPanel(TAB_RFLIST);
  RfListRecord& r = RfListTable[0];
  InitRfListRecord(&r);
  for (int i = 0; i < n; ++i) r.points.Set(i, 1.0 + (i % 2), -10.0);
  r.limMin = 0.5;
  r.limMax = 1.5;
  r.limMin2 = -20.0;
  r.limMax2 = 0.0;
  RfListCount = 1;
}

void BM_ShowRfList(benchmark::State& state) {
  PreparePage(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ShowRfList(0);
    ProcessDrawEvents();
  }
  DiscardPanel(TAB_RFLIST);
  TAB_RFLIST = 0;
}
BENCHMARK(BM_ShowRfList)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_RfListEdit(benchmark::State& state) {
  PreparePage(10000);
  ShowRfList(0);
  for (auto _ : state) {
    UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_DWELL, 2.0);
    ProcessDrawEvents();
  }
  DiscardPanel(TAB_RFLIST);
  TAB_RFLIST = 0;
}
BENCHMARK(BM_RfListEdit)->Unit(benchmark::kMillisecond);

}  // namespace
