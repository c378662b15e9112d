// The two log outputs that the start-up attaches: the Log tab's text box
// for log lines and the main window's status line for status texts.
#include <cstdio>
#include <cstring>

#include "app/Log.h"
#include "app/LogSinks.h"
#include "app/PanelIds.h"
#include "app/Settings.h"
#include "platform/ui/UserInterface.h"

namespace {
constexpr int kFlashColor = 0xFF0000;
constexpr double kFlashSeconds = 0.3;
// A build logs a line per repetition and parameter look-up; one redraw per
// line would cost far more than the appends, so the box is redrawn at most
// once per interval (the event loop paints the rest when the build ends).
constexpr double kLogRedrawInterval = 0.02;  // seconds

// The log window keeps the newest lines only: a day of work logs a million
// lines, which the box would hold for good. Beyond kLogWindowLines the
// oldest kLogWindowDrop lines go at once (one edit of the box per thousand
// lines, not one per line), and the first line says that lines were
// dropped. Clear empties the box as before.
constexpr int kLogWindowDrop = 1000;

bool g_drawn = false;
double g_lastDraw = 0.0;
bool g_copyToStandardError = false;  // see LogWindowSink_CopyToStandardError

// Whether the box's first line is the notice of dropped lines.
bool StartsWithNotice() {
  char first[1100] = "";
  return GetTextBoxLine(TAB_LOG, TAB_LOG_TEX_LOG, 0, first, sizeof first) >= 0 &&
         std::strcmp(first, kLogWindowDroppedNotice) == 0;
}

// Drops the oldest lines beyond the bound; lines is the box's line count.
void KeepNewestLines(int lines) {
  if (lines <= kLogWindowLines) return;
  if (StartsWithNotice()) {
    if (lines - 1 > kLogWindowLines) DeleteTextBoxLines(TAB_LOG, TAB_LOG_TEX_LOG, 1, kLogWindowDrop);
    return;
  }
  DeleteTextBoxLines(TAB_LOG, TAB_LOG_TEX_LOG, 0, kLogWindowDrop);
  InsertTextBoxLine(TAB_LOG, TAB_LOG_TEX_LOG, 0, kLogWindowDroppedNotice);
}

void RedrawLogWindow() {
  double now = Timer();
  if (g_drawn && now >= g_lastDraw && now - g_lastDraw < kLogRedrawInterval) return;
  g_drawn = true;
  g_lastDraw = now;
  ProcessDrawEvents();
}
}  // namespace

void LogWindowSink(const char* text) {
  if (g_copyToStandardError) {
    std::fprintf(stderr, "%s\n", text ? text : "");
    std::fflush(stderr);
  }
  if (!g_Settings.AllowTrace) return;  // "Log Program Messages to Log Window" is off
  if (InsertTextBoxLine(TAB_LOG, TAB_LOG_TEX_LOG, -1, text ? text : "") < 0) return;
  int lines = 0, visible = 0;
  if (GetNumTextBoxLines(TAB_LOG, TAB_LOG_TEX_LOG, &lines) < 0) return;
  if (lines > kLogWindowLines) {
    KeepNewestLines(lines);
    GetNumTextBoxLines(TAB_LOG, TAB_LOG_TEX_LOG, &lines);
  }
  // Keep the new line as the bottom line in view.
  if (GetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_TEXT_BOX_VISIBLE_LINES, &visible) >= 0 && lines > visible)
    SetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_FIRST_VISIBLE_LINE, lines - visible);
  RedrawLogWindow();
}

void LogWindowSink_CopyToStandardError(int on) { g_copyToStandardError = on != 0; }

void StatusLineSink(const char* text) {
  const char* t = text ? text : "";
  int background = 0;
  bool known = GetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_TXT_ERR, ATTR_TEXT_BGCOLOR, &background) >= 0;
  SetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, t);
  if (t[0] != '\0' && std::strstr(t, "Error") != nullptr) {
    // Errors flash red for 300 ms; this blocks the UI thread for that time.
    SetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_TXT_ERR, ATTR_TEXT_BGCOLOR, kFlashColor);
    ProcessDrawEvents();
    Delay(kFlashSeconds);
    if (known) SetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_TXT_ERR, ATTR_TEXT_BGCOLOR, background);
  }
  ProcessDrawEvents();
}

void ClearStatusLineError() {
  char text[512] = "";
  if (GetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, text, sizeof text) >= 0 && std::strstr(text, "Error") != nullptr)
    Log_Status(1, "");
}
