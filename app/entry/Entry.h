// Pieces of the program's entry that stand in for the platform: one
// instance per user, the termination signals, unattended runs.
#pragma once

// ---- one instance per user
// Takes the per-user lock (QLockFile in the user's runtime directory, or,
// when that is not the user's own, in a folder of the user's inside the
// home, or else under a name holding the user ID in the temporary folder; a
// lock left by a process that no longer runs is taken over). 1 when this is
// the only instance of the user. Otherwise asks the running instance,
// through a local socket beside the lock, to bring its main window to the
// front, and returns 0.
int Entry_AcquireInstance();
// Listens on the local socket; each request runs raise(). The lock and the
// socket are released at process exit.
void Entry_ListenForRaise(void (*raise)());

// ---- SIGTERM, SIGINT and SIGHUP
// The handler only writes to a pipe; the event loop reads it and calls
// onSignal on the UI thread. Set up once per process; a later call only
// changes onSignal.
int Entry_WatchTerminationSignals(void (*onSignal)());

// ---- the run
// Watches the termination signals, runs the start-up, the event loop and
// the tear-down. A signal, the close box or File > Exit that comes during
// the start-up or while a callback runs is only recorded (app/ExitRequest.h);
// the exit runs once, from a timer of the event loop that finds no callback
// running and the start-up over. started (may be null) runs once the
// start-up has completed. 1 when the start-up failed (after its popup), else 0.
int Entry_Run(void (*started)());
