// The instrument file browser on a large catalogue: Browse on an instrument
// folder of many waveforms of one size, until the dialog shows the list
// (the catalogue read over a raw socket, every row inserted, the window's
// list filled). The simulated instrument answers in this process, on
// 127.0.0.1, from threads of its own.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/Log.h"
#include "instrument/FileBrowser.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"
#include "tools/cadenza-sim/SimInstrument.h"
#include "tools/cadenza-sim/SimServer.h"

namespace {

constexpr int kFileBytes = 64;  // every file of the folder has this size

// One simulated instrument per file count, kept for all iterations.
struct Catalogue {
  std::unique_ptr<cz::sim::SimInstrument> instrument;
  std::unique_ptr<cz::sim::SimServer> server;
  int files = 0;
};

Catalogue& InstrumentWithFiles(int files) {
  static Catalogue c;
  if (c.files == files) return c;
  VisaDev_CloseAll();
  c.server.reset();
  c.instrument = std::make_unique<cz::sim::SimInstrument>(cz::sim::SimConfig{});
  const std::string bytes(kFileBytes, 'x');
  for (int i = 0; i < files; ++i) c.instrument->WriteFileData(cz::FormatC("D:\\w%06d.wv", i), bytes);
  c.server = std::make_unique<cz::sim::SimServer>(*c.instrument);
  std::string why;
  if (!c.server->Start(cz::sim::SimServerOptions{}, &why)) std::abort();
  c.files = files;
  return c;
}

int g_shownFiles = 0;

// The first turn of the dialog's loop: the window shows the list, then
// Cancel ends the dialog.
void ShowThenCancel(int panel) {
  ProcessDrawEvents();
  GetNumTreeItems(panel, PANEL_FB_FILES, &g_shownFiles);
  UiTest_ClickCtrl(panel, PANEL_FB_ARBFILECANCEL);
}

void BM_BrowseSameSizeFiles(benchmark::State& state) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  InitUserInterface(0, nullptr);
  UiTest_Reset();
  // The log lines (the catalogue's reply is logged in pieces) go nowhere.
  Log_SetLogSink([](const char*) {});
  Log_SetStatusSink([](const char*) {});
  char error[256];
  VisaDev_Init(error, sizeof error);
  const int files = static_cast<int>(state.range(0));
  Catalogue& c = InstrumentWithFiles(files);
  const std::string resource = cz::FormatC("TCPIP0::127.0.0.1::%u::SOCKET", unsigned(c.server->SocketPort()));
  if (VisaDev_Open(0, resource.c_str()) != 1) {
    state.SkipWithError("the simulated instrument cannot be opened");
    return;
  }
  FileBrowser_SetLoopHook(ShowThenCancel);
  for (auto _ : state) {
    char path[kFileBrowserPathSize] = "";
    char chosen[kFileBrowserPathSize] = "";
    g_shownFiles = 0;
    FileBrowser_Run(0, path, chosen, "*.wv");
    if (g_shownFiles != files) {
      state.SkipWithError("the list does not show every file");
      break;
    }
  }
  FileBrowser_SetLoopHook(nullptr);
  VisaDev_Close(0);
  state.counters["files"] = files;
}
BENCHMARK(BM_BrowseSameSizeFiles)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
