// The main window's host: the Sequence Editor's Stop button and the task bar.
#include "app/Progress.h"
#include "engine/EngineHost.h"

namespace {
void WindowSetTaskProgress(double percent) { SetTaskProgress(percent); }
}  // namespace

EngineHost MainWindowEngineHost() {
  EngineHost host = ConsoleEngineHost();
  host.stopPressed = SequenceStopPressed;
  host.setTaskProgress = WindowSetTaskProgress;
  return host;
}
