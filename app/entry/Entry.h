// Pieces of the program's entry that stand in for the platform: one
// instance per user, the termination signals, unattended runs.
#pragma once

// ---- one instance per user
// Takes the per-user lock (QLockFile in the user's runtime directory; a
// lock left by a process that no longer runs is taken over). 1 when this
// is the only instance. Otherwise asks the running instance, through a
// local socket beside the lock, to bring its main window to the front, and
// returns 0.
int Entry_AcquireInstance();
// Listens on the local socket; each request runs raise(). The lock and the
// socket are released at process exit.
void Entry_ListenForRaise(void (*raise)());

// ---- SIGTERM and SIGINT
// The handler only writes to a pipe; the event loop reads it and calls
// onSignal on the UI thread.
int Entry_WatchTerminationSignals(void (*onSignal)());
