// The program's exit, asked for while something else runs.
//
// A termination signal, the main window's close box and File > Exit can
// arrive while a callback works (a build, an upload, a question) or while
// the start-up still runs. None of them ends the program from there: the
// request is recorded, the long operations see it through their Stop and
// Cancel polls and end through their user-break paths, and the exit itself
// runs once, from the top of the event loop, when no callback is running
// (Exit_RunPending, called by the program's entry).
#pragma once

enum ExitKind {
  kExitNone = 0,
  kExitAsked = 1,  // File > Exit or the close box: the exit asks its questions
  kExitQuiet = 2,  // a termination signal: no questions, every popup declined
};

// Records a request; a quiet one outranks an asked one, and nothing is
// recorded once the exit has ended the event loop. A quiet request declines
// every popup from now on (an open question counts as Cancel or No). Each
// new request wakes the entry (Exit_SetWake).
void Exit_Request(int kind);
// The kind of the request waiting to run (kExitNone when none).
int Exit_Pending();
// 1 once the exit has ended the event loop: the project is cleared then, so
// nothing may save it any more.
int Exit_Done();
// Marks the exit as done (the event loop is ending).
void Exit_MarkDone();

// The start-up sets 1 while it runs: an exit asked for then waits for its end.
void Exit_SetStartupRunning(int running);
int Exit_StartupRunning();

// Runs the waiting request (callers make sure no callback runs): a quiet
// one as QuitWithoutQuestions, an asked one as File > Exit does, whose "No"
// keeps the program running. A request made meanwhile runs next. Does
// nothing while it already runs.
void Exit_RunPending();
// Called by each Exit_Request (the entry schedules Exit_RunPending).
void Exit_SetWake(void (*wake)());

// The run-time's hook for input taken while a callback runs: the main
// window's close box and File > Exit record an asked exit.
void Exit_NoteDeferredEvent(int event, int panel, int item);

// For a new start-up: no request, not done, popups shown again.
void Exit_Reset();
