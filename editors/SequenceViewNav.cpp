// The Sequence View's navigation (back, forward, begin, position, zoom in,
// zoom out, zoom to the time cursors) and its cursor readouts.
//
// Viewport arithmetic works on sample indexes; halves truncate toward zero.
// Every change redraws the whole view; the new viewport stays stored when
// the redraw fails, so the next operation starts from it.
#include <algorithm>
#include <cmath>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "engine/SignalMath.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

namespace {

// No viewport is wider than the file: a width kept from an earlier,
// longer waveform is cut to this one's. 0 when there is no file to move in.
int FitWidth(SequenceViewState* s) {
  if (s->totalSamples < 1) return 0;
  s->width = std::clamp<int64_t>(s->width, 1, s->totalSamples);
  return 1;
}

// The viewport of the kept width moved inside the file, its first sample
// kept where it can be.
int KeepInside(SequenceViewState* s) {
  s->firstSample = std::clamp<int64_t>(s->firstSample, 0, s->totalSamples - s->width);
  s->lastSample = s->firstSample + s->width - 1;
  return 1;
}

// A viewport of width w (at most the file) about centre c, moved back
// inside the file.
void Place(SequenceViewState* s, int64_t c, int64_t w) {
  w = std::clamp<int64_t>(w, 1, std::max<int64_t>(s->totalSamples, 1));
  s->width = w;
  s->firstSample = c - w / 2;
  s->lastSample = s->firstSample + w - 1;
  if (s->firstSample < 0) {
    s->firstSample = 0;
    s->lastSample = w - 1;
  } else if (s->lastSample > s->totalSamples - 1) {
    s->lastSample = s->totalSamples - 1;
    s->firstSample = s->lastSample - w + 1;
  }
}

int64_t Centre(const SequenceViewState& s) { return s.firstSample + (s.lastSample - s.firstSample) / 2; }

// Sample index (from 0) that starts nearest to a time in µs.
int64_t SampleAt(double us, double rate) {
  const double k = std::round(us * 1e-6 * rate);
  return std::isfinite(k) ? static_cast<int64_t>(std::clamp(k, -9e18, 9e18)) : 0;
}

// Redraws after a change, logging a failed draw.
int Redraw(int changed) {
  if (changed && DrawSequenceView() == 0) Log_Message(1, "*** Error while drawing sequence data.");
  return 0;
}

}  // namespace

// Back and forward step by a fifth of the width (a width below 5 does not
// move); the far edge follows so that the width is kept.
int ViewNav_Back(SequenceViewState* s) {
  if (!FitWidth(s) || s->firstSample == 0) return 0;
  s->firstSample = std::max<int64_t>(s->firstSample - static_cast<int64_t>(0.2 * s->width), 0);
  s->lastSample = s->firstSample + s->width - 1;
  return KeepInside(s);
}

int ViewNav_Forward(SequenceViewState* s) {
  if (!FitWidth(s) || s->lastSample == s->totalSamples - 1) return 0;
  s->lastSample = std::min<int64_t>(s->lastSample + static_cast<int64_t>(0.2 * s->width), s->totalSamples - 1);
  s->firstSample = s->lastSample - s->width + 1;
  return KeepInside(s);
}

int ViewNav_Begin(SequenceViewState* s) {
  if (!FitWidth(s)) return 0;
  s->firstSample = 0;
  return KeepInside(s);
}

int ViewNav_Position(SequenceViewState* s, double fraction) {
  if (!FitWidth(s) || !std::isfinite(fraction)) return 0;
  Place(s, static_cast<int64_t>(static_cast<double>(s->totalSamples) * fraction), s->width);
  return 1;
}

int ViewNav_ZoomIn(SequenceViewState* s) {
  if (!FitWidth(s) || s->width <= kViewMinZoomWidth) return 0;
  Place(s, Centre(*s), std::max<int64_t>(s->width / 2, kViewMinZoomWidth));
  return 1;
}

int ViewNav_ZoomOut(SequenceViewState* s) {
  if (!FitWidth(s) || s->width >= s->totalSamples) return 0;
  Place(s, Centre(*s), std::min<int64_t>(2 * s->width, s->totalSamples));
  return 1;
}

// The samples from the one the left cursor names to the one the right
// cursor names, at least 500 and at most the file, moved inside the file
// (a cursor beyond either end of the file never makes a viewport start
// before it or run past it).
int ViewNav_ZoomCursors(SequenceViewState* s, double x1us, double x2us) {
  if (!FitWidth(s) || !std::isfinite(x1us) || !std::isfinite(x2us)) return 0;
  const int64_t lo = SampleAt(std::min(x1us, x2us), s->sampleRate);
  const int64_t hi = SampleAt(std::max(x1us, x2us), s->sampleRate);
  const int64_t width = std::min<int64_t>(std::max<int64_t>(hi - lo, kViewMinZoomWidth), s->totalSamples);
  s->width = width;
  s->firstSample = lo;
  return KeepInside(s);
}

int64_t ViewNav_SampleNumber(const SequenceViewState& s, double xus) {
  return std::clamp<int64_t>(SampleAt(xus, s.sampleRate), 0, std::max<int64_t>(s.totalSamples - 1, 0)) + 1;
}

void ViewNav_PlaceTimeCursors(const SequenceViewState& s) {
  if (!(s.sampleRate > 0.0) || s.lastSample < s.firstSample) return;
  const double t0 = static_cast<double>(s.firstSample) / s.sampleRate * 1e6;
  const double tLast = static_cast<double>(s.lastSample) / s.sampleRate * 1e6;
  const double tw = static_cast<double>(s.lastSample - s.firstSample + 1) / s.sampleRate * 1e6;
  for (int cursor = 1; cursor <= 2; ++cursor) {
    double x = 0.0, y = 0.0;
    if (GetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, cursor, &x, &y) < 0) continue;
    if (x >= t0 && x <= tLast) continue;
    SetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, cursor, t0 + tw * cursor / 3.0, y);
  }
}

int ViewNav_PointAt(const SequenceViewState& s, double xus) {
  if (s.pointCount <= 0 || !(s.sampleRate > 0.0) || !std::isfinite(xus)) return -1;
  const int64_t k = SampleAt(xus, s.sampleRate);
  const int64_t* start = s.pointStart;
  if (k < start[0] || k >= start[s.pointCount]) return -1;
  return static_cast<int>(std::upper_bound(start, start + s.pointCount + 1, k) - start) - 1;
}

int SequenceViewBackCb(int, int, int event, void*, int, int) {
  return event == EVENT_COMMIT ? Redraw(ViewNav_Back(&g_SequenceView)) : 0;
}

int SequenceViewForwardCb(int, int, int event, void*, int, int) {
  return event == EVENT_COMMIT ? Redraw(ViewNav_Forward(&g_SequenceView)) : 0;
}

int SequenceViewBeginCb(int, int, int event, void*, int, int) {
  return event == EVENT_COMMIT ? Redraw(ViewNav_Begin(&g_SequenceView)) : 0;
}

int SequenceViewPositionCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  double fraction = 0.0;
  if (GetCtrlVal(panel, control, &fraction) < 0) return 0;
  return Redraw(ViewNav_Position(&g_SequenceView, fraction));
}

int SequenceViewZoomInCb(int, int, int event, void*, int, int) {
  return event == EVENT_COMMIT ? Redraw(ViewNav_ZoomIn(&g_SequenceView)) : 0;
}

int SequenceViewZoomOutCb(int, int, int event, void*, int, int) {
  return event == EVENT_COMMIT ? Redraw(ViewNav_ZoomOut(&g_SequenceView)) : 0;
}

int SequenceViewZoomCursorCb(int panel, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  if (GetGraphCursor(panel, TAB_VIEW_GRAPH_IQPT, 1, &x1, &y1) < 0 ||
      GetGraphCursor(panel, TAB_VIEW_GRAPH_IQPT, 2, &x2, &y2) < 0)
    return 0;
  return Redraw(ViewNav_ZoomCursors(&g_SequenceView, x1, x2));
}

void SequenceView_ShowReadouts(int panel) {
  int on = 0;
  GetCtrlVal(panel, TAB_VIEW_CHK_MKRON, &on);
  for (int id : {TAB_VIEW_STR_CSR1, TAB_VIEW_STR_CSR2, TAB_VIEW_STR_CSR_DELTA})
    SetCtrlAttribute(panel, id, ATTR_VISIBLE, on != 0 ? 1 : 0);
  on = 0;
  GetCtrlVal(panel, TAB_VIEW_CHK_MKRON_2, &on);
  for (int id : {TAB_VIEW_STR_FFTMARKER1, TAB_VIEW_STR_FFTMARKER2, TAB_VIEW_STR_FFTBP})
    SetCtrlAttribute(panel, id, ATTR_VISIBLE, on != 0 ? 1 : 0);
}

int SequenceViewMarkersCb(int panel, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) SequenceView_ShowReadouts(panel);
  return 0;
}

// Time cursors: both times with the numbers of the samples they stand on
// (counted from 1 and rounded to the nearest, as the time axis names the
// viewport's first sample), the difference and its frequency; the I/Q
// cursor follows the active time cursor to the I/Q of the sample it names
// (outside the viewport it stays). With no waveform shown the readouts are
// empty.
int IqPointGraphCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT && event != EVENT_VAL_CHANGED) return 0;
  const SequenceViewState& s = g_SequenceView;
  if (!s.shown) {
    for (int id : {TAB_VIEW_STR_CSR1, TAB_VIEW_STR_CSR2, TAB_VIEW_STR_CSR_DELTA}) SetCtrlVal(TAB_VIEW, id, "");
    return 0;
  }
  double x1 = 0, x2 = 0, y = 0;
  char text[80];
  if (GetGraphCursor(panel, control, 1, &x1, &y) < 0) return 0;
  cz::SnprintfC(text, sizeof text, "+ %9.3f\xC2\xB5s (%7lld)", x1, static_cast<long long>(ViewNav_SampleNumber(s, x1)));
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_CSR1, text);
  if (GetGraphCursor(panel, control, 2, &x2, &y) < 0) return 0;
  cz::SnprintfC(text, sizeof text, "x %9.3f\xC2\xB5s (%7lld)", x2, static_cast<long long>(ViewNav_SampleNumber(s, x2)));
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_CSR2, text);
  // Both cursors at one time have no frequency to show.
  if (x2 != x1)
    cz::SnprintfC(text, sizeof text, "|| %9.3f\xC2\xB5s   %2.1fHz", x2 - x1, 1000000.0 / (x2 - x1));
  else
    cz::SnprintfC(text, sizeof text, "|| %9.3f\xC2\xB5s   ---Hz", 0.0);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_CSR_DELTA, text);

  int active = 0;
  double x = 0;
  if (GetActiveGraphCursor(panel, control, &active) < 0 || GetGraphCursor(panel, control, active, &x, &y) < 0)
    return 0;
  double i = 0, q = 0;
  if (ViewNav_PointAt(s, x) >= 0 && SequenceView_ReadSample(s, ViewNav_SampleNumber(s, x) - 1, &i, &q)) {
    SetGraphCursor(panel, TAB_VIEW_GRAPH_IQ, 1, i, q);
    IqGraphCb(panel, TAB_VIEW_GRAPH_IQ, EVENT_COMMIT, nullptr, 0, 0);
  }
  return 0;
}

// I/Q cursor: I and Q, magnitude and phase in degrees (phase 0 below a
// magnitude of 0.1, where the angle means nothing).
int IqGraphCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT && event != EVENT_VAL_CHANGED) return 0;
  if (!g_SequenceView.shown) {
    for (int id : {TAB_VIEW_STR_IQMARKER1, TAB_VIEW_STR_IQMARKER2}) SetCtrlVal(TAB_VIEW, id, "");
    return 0;
  }
  double i = 0, q = 0;
  if (GetGraphCursor(panel, control, 1, &i, &q) < 0) return 0;
  double mag = 0, phase = 0;
  IqToMagPhase(&i, &q, 1, &mag, &phase);
  if (mag < 0.1) phase = 0.0;
  char text[64];
  cz::SnprintfC(text, sizeof text, "I:%3.2f   Q:%3.2f", i, q);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_IQMARKER1, text);
  cz::SnprintfC(text, sizeof text, "Mag:%3.2f   Ph:%2.1f", mag, phase / PiConstant * 180.0);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_IQMARKER2, text);
  return 0;
}
