#include "app/Progress.h"

#include <cmath>
#include <cstdio>
#include <thread>

#include "app/ExitRequest.h"
#include "app/PanelIds.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kBarFrameColor = 0xE0E0E0;
constexpr double kMaxRemainingSeconds = 1e9;  // keeps the minute count printable

// The progress dialog.
struct ProgressState {
  int panel = -1;          // -1 = closed
  double start = 0.0;      // Timer() when opened, seconds
  double total = 1.0;      // the value that counts as 100 %
  int slider = 0;          // NUMERICSLIDE
  int cancel = 0;          // BT_CANCEL
  int timeText = 0;        // ZEIT_MSG
};
ProgressState g_dialog;

// Presses seen by any drain, each cleared by its own poll.
bool g_sequenceStop = false;
bool g_multiSegmentStop = false;
bool g_cancel = false;

bool g_pumped = false;
double g_lastPump = 0.0;

void Yield() { std::this_thread::yield(); }

// Lets the run-time paint and collect input into the user-event queue, at
// most once per pump interval (a build polls every 2,000 samples).
void PumpIfDue() {
  double now = Timer();
  if (g_pumped && now >= g_lastPump && (now - g_lastPump) * 1000.0 < kProgressPumpIntervalMs) return;
  g_pumped = true;
  g_lastPump = now;
  ProcessSystemEvents();
}

// The drawing-only pump outside callbacks, at the same pace.
bool g_drawn = false;
double g_lastDraw = 0.0;

void DrawIfDue() {
  double now = Timer();
  if (g_drawn && now >= g_lastDraw && (now - g_lastDraw) * 1000.0 < kProgressPumpIntervalMs) return;
  g_drawn = true;
  g_lastDraw = now;
  ProcessDrawEvents();
}

void Latch(int panel, int control) {
  if (panel == TAB_SEDIT && control == TAB_SEDIT_CMD_STOP) g_sequenceStop = true;
  if (panel == TAB_MSEG && control == TAB_MSEG_CMD_STOP) g_multiSegmentStop = true;
  if (g_dialog.panel > 0 && panel == g_dialog.panel && control == g_dialog.cancel) g_cancel = true;
}

// Takes up to maxEvents queued user events (all when negative) without
// waiting, latching Stop and Cancel presses and discarding the rest.
void Drain(int maxEvents) {
  PumpIfDue();
  for (int n = 0; maxEvents < 0 || n < maxEvents; ++n) {
    int panel = 0, control = 0;
    int event = GetUserEvent(VAL_NO_WAIT, &panel, &control);
    if (event <= 0) break;
    if (event == EVENT_COMMIT) Latch(panel, control);
    Yield();
  }
}

bool Take(bool& latch) {
  bool pressed = latch;
  latch = false;
  return pressed;
}

// The bars take at most 50 events per update so a burst of clicks cannot
// stall the sample loop; the rest waits for the next drain.
void SetBar(int control, double percent) {
  SetCtrlVal(PANEL_MAIN, control, percent);
  Yield();
  Drain(kProgressMaxEventsPerBar);
}

}  // namespace

void ShowProgressBars(int visible) {
  for (int bar : {PANEL_MAIN_PROG_TOTAL, PANEL_MAIN_PROG_TASK}) {
    SetCtrlAttribute(PANEL_MAIN, bar, ATTR_VISIBLE, visible ? 1 : 0);
    SetCtrlAttribute(PANEL_MAIN, bar, ATTR_FRAME_COLOR, kBarFrameColor);
  }
  // A long operation starts: a Sequence Editor Stop latched after the
  // previous one ended belongs to no operation. The Multi Segment page's
  // Stop is kept: a segment's own build and upload show the bars again, and
  // the press is the segment loop's to answer (it drops stale presses when
  // the multi-segment build starts).
  if (visible) g_sequenceStop = false;
}

void SetTotalProgress(double percent) { SetBar(PANEL_MAIN_PROG_TOTAL, percent); }
void SetTaskProgress(double percent) { SetBar(PANEL_MAIN_PROG_TASK, percent); }
void WaveWriterProgressHook(double percent) { SetTaskProgress(percent); }

int ResamplerProgressHook(double percent) {
  SetTaskProgress(percent);
  return 0;
}

static bool g_windowLive = false;

void EnableWindowLive(int on) { g_windowLive = on != 0; }

int KeepWindowLive() {
  if (!g_windowLive) return 0;
  if (CallbackRunning()) {
    PumpIfDue();
  } else {
    DrawIfDue();
  }
  return 0;
}

// Called every 2,000 samples by the sample loops: cheap while no pump is
// due, since it then only empties the already-collected queue.
// An exit waiting to run is every long operation's Stop and Cancel.
int SequenceStopPressed() {
  Drain(-1);
  return Take(g_sequenceStop) || Exit_Pending() != kExitNone ? 1 : 0;
}

int MultiSegmentStopPressed() {
  Drain(-1);
  return Take(g_multiSegmentStop) || Exit_Pending() != kExitNone ? 1 : 0;
}

// A small top-level panel, centred: the slider (percent, indicator only),
// Cancel at the bottom right and the remaining-time text beside it. The
// constant names let tests and tooltips find the three controls.
int BuildProgressPanel(int parent) {
  int panel = NewPanel(parent, "Progress", VAL_AUTO_CENTER, VAL_AUTO_CENTER, 110, 360);
  if (panel < 0) return panel;
  int slider = NewCtrl(panel, CTRL_NUMERIC_HSLIDE, "", 30, 20);
  int cancel = slider < 0 ? slider : NewCtrl(panel, CTRL_COMMAND_BUTTON, "Cancel", 72, 270);
  int text = cancel < 0 ? cancel : NewCtrl(panel, CTRL_TEXT_MSG, "", 78, 20);
  int status = text;
  if (status >= 0) status = SetCtrlAttribute(panel, slider, ATTR_DATA_TYPE, VAL_DOUBLE);
  if (status >= 0) status = SetCtrlAttribute(panel, slider, ATTR_MIN_VALUE, 0.0);
  if (status >= 0) status = SetCtrlAttribute(panel, slider, ATTR_MAX_VALUE, 100.0);
  if (status >= 0) status = SetCtrlAttribute(panel, slider, ATTR_WIDTH, 320);
  if (status >= 0) status = SetCtrlAttribute(panel, slider, ATTR_CTRL_MODE, VAL_INDICATOR);
  if (status >= 0) status = SetCtrlAttribute(panel, text, ATTR_WIDTH, 220);
  if (status >= 0) status = SetCtrlAttribute(panel, text, ATTR_CONSTANT_NAME, "ZEIT_MSG");
  if (status >= 0) status = SetCtrlAttribute(panel, slider, ATTR_CONSTANT_NAME, "NUMERICSLIDE");
  if (status >= 0) status = SetCtrlAttribute(panel, cancel, ATTR_CONSTANT_NAME, "BT_CANCEL");
  if (status < 0) {
    DiscardPanel(panel);
    return status;
  }
  g_dialog.slider = slider;
  g_dialog.cancel = cancel;
  g_dialog.timeText = text;
  return panel;
}

int Progress_Open(const char* text) {
  if (g_dialog.panel > 0) return 0;
  double start = Timer();
  int panel = BuildProgressPanel(0);
  if (panel < 0) return 0;
  g_dialog.panel = panel;
  g_dialog.start = start;
  SetCtrlAttribute(panel, g_dialog.slider, ATTR_LABEL_TEXT, text ? text : "");
  SetCtrlVal(panel, g_dialog.slider, 0.0);
  SetCtrlVal(panel, g_dialog.timeText, "");
  DisplayPanel(panel);
  g_dialog.total = 1.0;
  g_cancel = false;
  return 1;
}

int Progress_SetTotal(double total) {
  // A negative (or NaN) total would make every later ratio meaningless.
  if (!(total >= 0.0)) return 0;
  g_dialog.total = total;
  return 1;
}

int Progress_SetText(const char* text) {
  SetCtrlAttribute(g_dialog.panel, g_dialog.slider, ATTR_LABEL_TEXT, text ? text : "");
  ProcessDrawEvents();
  return 1;
}

void Progress_FormatRemaining(double ratio, double elapsedSeconds, char* out, int capacity) {
  if (out == nullptr || capacity <= 0) return;
  if (!(ratio > 0.0)) {
    cz::SnprintfC(out, static_cast<std::size_t>(capacity), "Remaining Time --:--");
    return;
  }
  if (ratio > 1.0) ratio = 1.0;
  // Linear extrapolation: the whole run takes elapsed / ratio.
  double remaining = elapsedSeconds / ratio - elapsedSeconds;
  if (!(remaining > 0.0)) remaining = 0.0;
  if (remaining > kMaxRemainingSeconds) remaining = kMaxRemainingSeconds;
  int s = static_cast<int>(std::trunc(remaining));
  cz::SnprintfC(out, static_cast<std::size_t>(capacity), "Remaining Time %02i:%02i", s / 60, s % 60);
}

// The slider shows value / total in percent (at most 100); the time text is
// the linear extrapolation of the elapsed time by the fraction done. A value
// of 0 only shows "--:--": nothing can be extrapolated yet.
int Progress_Update(double value) {
  if (g_dialog.total == 0.0) return 0;
  if (g_dialog.panel <= 0) return 1;
  double ratio = value < g_dialog.total ? value / g_dialog.total : 1.0;
  char text[64];
  if (ratio > 0.0) {
    Progress_FormatRemaining(ratio, Timer() - g_dialog.start, text, sizeof text);
    SetCtrlVal(g_dialog.panel, g_dialog.slider, ratio * 100.0);
  } else {
    Progress_FormatRemaining(0.0, 0.0, text, sizeof text);  // the slider keeps its value
  }
  SetCtrlVal(g_dialog.panel, g_dialog.timeText, text);
  ProcessDrawEvents();
  return 1;
}

// Takes one event only: other events taken on the way are dropped.
int Progress_CancelPressed() {
  Drain(1);
  if (g_dialog.panel <= 0) return 0;
  return Take(g_cancel) || Exit_Pending() != kExitNone ? 1 : 0;
}

int Progress_EnableCancel(int enable) {
  SetCtrlAttribute(g_dialog.panel, g_dialog.cancel, ATTR_DIMMED, enable == 1 ? 0 : 1);
  return 1;
}

int Progress_Close() {
  if (g_dialog.panel <= 0) return 0;
  DiscardPanel(g_dialog.panel);
  g_dialog.panel = -1;
  g_cancel = false;
  return 1;
}

int ProgressDialogHook(double value) {
  Progress_Update(value);
  Drain(-1);
  if (g_dialog.panel <= 0) return 0;
  return Take(g_cancel) || Exit_Pending() != kExitNone ? 1 : 0;
}
