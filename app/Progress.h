// Progress displays and user break for long operations.
//
// Long operations (waveform generation, multi-segment builds, transfers) run
// inside a user-interface callback on the one UI thread. They keep the
// window painted and see the user's Stop or Cancel through these functions:
// the main window's task and total bars, the Stop polls of the Sequence
// Editor and the Multi Segment tab, and a progress dialog with a
// remaining-time estimate and a Cancel button. Nothing here starts a thread.
//
// Every drain of the run-time's user-event queue (the bars, the polls, the
// dialog hooks) looks for the commits of the two Stop buttons and of the
// dialog's Cancel and latches them; each poll reads and clears its own
// latch, so a press is never lost to another drain. Drains pump the event
// loop (ProcessSystemEvents) at most once per kProgressPumpIntervalMs and
// otherwise only take what is already queued. Times come from the
// run-time's clock, Timer().
#pragma once

inline constexpr double kProgressPumpIntervalMs = 15.0;
inline constexpr int kProgressMaxEventsPerBar = 50;  // events a bar update takes at most

// Main-window bars (percent, 0..100).
void ShowProgressBars(int visible);
void SetTotalProgress(double percent);
void SetTaskProgress(double percent);
// Progress hook of the waveform-file writer: the same as SetTaskProgress.
void WaveWriterProgressHook(double percent);
// Progress hook of the resampler: SetTaskProgress, then 0 (= go on).
int ResamplerProgressHook(double percent);

// 1 when TAB_SEDIT CMD_STOP / TAB_MSEG CMD_STOP was pressed since the last
// poll, or while an exit waits to run (app/ExitRequest.h), else 0. Other
// drained events are discarded. The dialog's Cancel polls below count a
// waiting exit as Cancel the same way.
int SequenceStopPressed();
int MultiSegmentStopPressed();

// The progress dialog: a "Progress" panel with the slider NUMERICSLIDE
// (0..100, its label the operation's text), the button BT_CANCEL "Cancel"
// and the text ZEIT_MSG. Returns the panel handle or a negative error.
int BuildProgressPanel(int parent);

int Progress_Open(const char* text);      // 0 when already open or not built
int Progress_SetTotal(double total);      // 0 (refused) for a negative total
int Progress_SetText(const char* text);
int Progress_Update(double value);        // 0 when the total is 0
int Progress_CancelPressed();             // 1 when Cancel was pressed
int Progress_EnableCancel(int enable);    // 1 undims Cancel, other values dim it
int Progress_Close();                     // 0 when not open
// Progress_Update, then a drain; 1 when Cancel was pressed (= stop).
int ProgressDialogHook(double value);

// Keeps the windows painted while the program waits on something outside
// (an instrument's reply, a block it stores, a first byte that comes late):
// the event loop runs when a pump is due. Inside a callback input is queued
// as during any long command (and an exit or a termination signal noted for
// later); outside one only drawing is done, so that no callback starts in the
// middle of the wait. Returns 0 (= go on waiting). Does nothing until the
// start-up enables it (EnableWindowLive), so that the units calling it stay
// usable without a window (tests, tools).
int KeepWindowLive();
void EnableWindowLive(int on);

// The remaining-time text for a fraction done (0..1) after elapsed seconds:
// "Remaining Time --:--" at 0, else "Remaining Time %02i:%02i".
void Progress_FormatRemaining(double ratio, double elapsedSeconds, char* out, int capacity);
