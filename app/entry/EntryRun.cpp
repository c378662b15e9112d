// The run of the program: start-up, event loop, tear-down, and the exit
// that waits until nothing else runs.
#include <QTimer>

#include <cstdio>

#include "app/ExitRequest.h"
#include "app/Startup.h"
#include "app/entry/Entry.h"
#include "platform/ui/UserInterface.h"

namespace {

// While a callback runs, the exit looks again after this long.
constexpr int kBusyRetryMs = 20;

bool g_inEventLoop = false;

void RunExitWhenIdle();

void ScheduleExit(int delayMs) { QTimer::singleShot(delayMs, &RunExitWhenIdle); }

// Runs from the event loop's timers, which also fire inside the pumps of a
// running callback and of the start-up: only at the top of the loop, with
// no callback running, does the exit go ahead. Before the loop runs,
// Entry_Run schedules it again.
void RunExitWhenIdle() {
  if (Exit_Pending() == kExitNone || Exit_Done()) return;
  if (!g_inEventLoop) return;
  if (CallbackRunning()) {
    ScheduleExit(kBusyRetryMs);
    return;
  }
  Exit_RunPending();
}

void WakeForExit() { ScheduleExit(0); }

// SIGTERM, SIGINT, SIGHUP: as File > Exit, without questions, once nothing runs.
void OnTerminationRequest() { Exit_Request(kExitQuiet); }

}  // namespace

int Entry_Run(void (*started)()) {
  Exit_SetWake(&WakeForExit);
  // A signal before the start-up's first pump waits in the pipe.
  Entry_WatchTerminationSignals(&OnTerminationRequest);
  if (!InitApplication()) {
    if (StartupEcho) {
      std::fputs("Initialization of application failed.\n", stdout);
      std::fflush(stdout);
    }
    return 1;
  }
  if (started) started();
  g_inEventLoop = true;
  if (Exit_Pending() != kExitNone) ScheduleExit(0);
  RunUserInterface();
  g_inEventLoop = false;
  TearDownApplication();
  return 0;
}
