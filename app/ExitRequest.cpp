// The program's exit, recorded where it is asked for and run from the top
// of the event loop.
#include "app/ExitRequest.h"

#include "app/Log.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "platform/ui/UserInterface.h"

namespace {

struct ExitState {
  int pending = kExitNone;
  bool done = false;     // the event loop is ending; the project is cleared
  bool running = false;  // Exit_RunPending is on the stack
  bool startup = false;
  void (*wake)() = nullptr;
};
ExitState g_exit;

}  // namespace

void Exit_Request(int kind) {
  if (g_exit.done || (kind != kExitAsked && kind != kExitQuiet)) return;
  if (kind <= g_exit.pending) return;  // a second signal, or an Exit after one
  g_exit.pending = kind;
  if (kind == kExitQuiet) {
    Log_Message(1, "Termination requested: the running command stops, then the program ends.");
    DeclinePopups(1);
  }
  if (g_exit.wake) g_exit.wake();
}

int Exit_Pending() { return g_exit.pending; }
int Exit_Done() { return g_exit.done ? 1 : 0; }

void Exit_MarkDone() {
  g_exit.done = true;
  g_exit.pending = kExitNone;
}

void Exit_SetStartupRunning(int running) { g_exit.startup = running != 0; }
int Exit_StartupRunning() { return g_exit.startup ? 1 : 0; }

void Exit_RunPending() {
  if (g_exit.running || g_exit.startup) return;
  g_exit.running = true;
  // An asked exit answered "No" keeps the program; a signal that came during
  // its questions (which it declined) runs next, without questions.
  while (!g_exit.done && g_exit.pending != kExitNone) {
    const int kind = g_exit.pending;
    g_exit.pending = kExitNone;
    if (kind == kExitQuiet)
      QuitWithoutQuestions();
    else
      ExitWithQuestions();
  }
  g_exit.running = false;
}

void Exit_SetWake(void (*wake)()) { g_exit.wake = wake; }

void Exit_NoteDeferredEvent(int event, int panel, int item) {
  if (PANEL_MAIN <= 0 || panel != PANEL_MAIN) return;
  if (event == EVENT_CLOSE || (event == EVENT_MENU && item == MBAR_FILE_EXIT)) Exit_Request(kExitAsked);
}

void Exit_Reset() {
  void (*wake)() = g_exit.wake;
  g_exit = ExitState{};
  g_exit.wake = wake;
  DeclinePopups(0);
}
