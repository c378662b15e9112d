// The log outputs of the main window, attached by the start-up with
// Log_SetLogSink(LogWindowSink) and Log_SetStatusSink(StatusLineSink).
#pragma once

// Appends the line to TAB_LOG TEX_LOG and scrolls it into view; drops it
// while g_Settings.AllowTrace is off.
void LogWindowSink(const char* text);
// Shows the text in PANEL_MAIN TXT_ERR; a text containing "Error" flashes
// the background red for 300 ms.
void StatusLineSink(const char* text);
