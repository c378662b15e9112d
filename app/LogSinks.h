// The log outputs of the main window, attached by the start-up with
// Log_SetLogSink(LogWindowSink) and Log_SetStatusSink(StatusLineSink).
#pragma once

// The newest lines the log window keeps; older lines are dropped, and the
// box's first line is then this notice.
inline constexpr int kLogWindowLines = 100000;
inline constexpr const char* kLogWindowDroppedNotice =
    "*** Older lines were dropped: the log window keeps the newest 100000 lines.";

// Appends the line to TAB_LOG TEX_LOG and scrolls it into view; drops it
// while g_Settings.AllowTrace is off. Beyond kLogWindowLines the oldest
// lines are dropped (a thousand at a time) under one notice line.
void LogWindowSink(const char* text);
// Runs without a user (CADENZA_UNATTENDED): every line the log window is
// given is also written to standard error, whether the window keeps it or not.
void LogWindowSink_CopyToStandardError(int on);
// Shows the text in PANEL_MAIN TXT_ERR; a text containing "Error" flashes
// the background red for 300 ms.
void StatusLineSink(const char* text);
// Empties the status line when it shows an error (a text containing
// "Error"): an error belongs to the command that gave it, and the next
// command, or showing another record, retires it. The start-up installs it
// as the run-time's user command hook.
void ClearStatusLineError();
