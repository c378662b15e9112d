// The Sequence View's time graph: two traces of the stored display points
// against time in µs, the overview bar, the scale texts per view mode and
// the 1-2-5 Y zoom of the phase and frequency traces.
//
// Vertical layout, 0 .. 23 units: overview bar 22.2 .. 22.8; upper trace
// 12 .. 22 (centre 17; dB traces 2 .. 22 or 12 .. 22); lower trace 1 .. 11
// (centre 6).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Settings.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

namespace {

// Trace colours 0xRRGGBB.
constexpr int kMagnitudeColor = 0xAA4EDE;
constexpr int kIColor = 0x285291;
constexpr int kQColor = 0xA93326;
constexpr int kPhaseColor = 0x3080A0;
constexpr int kFrequencyColor = 0xF4A66D;
constexpr int kGrey = 0x808080;
constexpr int kBarColor = 0x008000;
constexpr int kViewportFill = 0x606060;

// Fixed scale texts of a mode; null where the range text is computed.
struct ModeTexts {
  int mode;
  const char* trace1;
  const char* max1;
  const char* min1;
  const char* linlog1;
  const char* trace2;
  const char* max2;
  const char* min2;
  const char* linlog2;
  const char* unit2;
};
const ModeTexts kModeTexts[] = {
    {VIEW_PHASE, "Am(t)", "1", "0", "Lin", "Phi(t)", nullptr, nullptr, "Lin", "Rad"},
    {VIEW_LOG_MAG, "Am(t)", "0", "", "Log", "", "", "-100", "", ""},
    {VIEW_IQ, "I(t)", "+1.0", "-1.0", "Lin", "Q(t)", "+1.0", "-1.0", "Lin", "Mag"},
    {VIEW_FREQUENCY, "P(t)", "0", "-100", "Log", "F(t)", nullptr, nullptr, "Lin", "Frq"},
};

// Time axis of the viewport in µs: t0 its start, tw its length; display
// point i lies at the time of its first sample.
struct TimeAxis {
  double t0, tw;
  const int64_t* start;
  int32_t n;
  double rate;
  bool single;  // one sample per point
  double X(int i) const { return static_cast<double>(start[i]) / rate * 1000000.0; }
};

void WriteModeTexts(int panel, int mode, const SequenceViewState& s) {
  const ModeTexts* t = nullptr;
  for (const ModeTexts& row : kModeTexts)
    if (row.mode == mode) t = &row;
  if (t == nullptr) return;
  char max2[32], min2[32];
  const double range = mode == VIEW_PHASE ? s.phaseRange : s.frequencyRange;
  const char* unit = mode == VIEW_PHASE ? "Pi" : "Hz";
  FormatSiValue(max2, range, unit);
  FormatSiValue(min2, -range, unit);
  SetCtrlVal(panel, TAB_VIEW_TEXT_TRC1, t->trace1);
  SetCtrlVal(panel, TAB_VIEW_TXT_MAX1, t->max1);
  SetCtrlVal(panel, TAB_VIEW_TXT_MIN1, t->min1);
  SetCtrlVal(panel, TAB_VIEW_TXT_LINLOG1, t->linlog1);
  SetCtrlVal(panel, TAB_VIEW_TXT_XXX1, "Mag");
  SetCtrlVal(panel, TAB_VIEW_TEXT_TRC2, t->trace2);
  SetCtrlVal(panel, TAB_VIEW_TXT_MAX2, t->max2 != nullptr ? t->max2 : max2);
  SetCtrlVal(panel, TAB_VIEW_TXT_MIN2, t->min2 != nullptr ? t->min2 : min2);
  SetCtrlVal(panel, TAB_VIEW_TXT_LINLOG2, t->linlog2);
  SetCtrlVal(panel, TAB_VIEW_TXT_XXX2, t->unit2);
}

// A trace joined from point to point (point 0 joins itself at t0).
void PlotJoined(int panel, const TimeAxis& ax, const double* y, int color) {
  const int graph = TAB_VIEW_GRAPH_IQPT;
  for (int i = 0; i < ax.n; ++i)
    PlotLine(panel, graph, i == 0 ? ax.t0 : ax.X(i - 1), i == 0 ? y[0] : y[i - 1], ax.X(i), y[i], color);
}

// A band trace around centre 6 clamped to +-5; a segment with both ends
// beyond the band is left out.
void PlotClamped(int panel, const TimeAxis& ax, const double* a, int color) {
  const int graph = TAB_VIEW_GRAPH_IQPT;
  for (int i = 0; i < ax.n; ++i) {
    const double a0 = i == 0 ? a[0] : a[i - 1], a1 = a[i];
    if (std::fabs(a0) > 5.0 && std::fabs(a1) > 5.0) continue;
    PlotLine(panel, graph, i == 0 ? ax.t0 : ax.X(i - 1), 6.0 + std::clamp(a0, -5.0, 5.0), ax.X(i),
             6.0 + std::clamp(a1, -5.0, 5.0), color);
  }
}

// A dB trace: a dot per point and from point 1 on a joined line.
void PlotDb(int panel, const TimeAxis& ax, const double* y, int color) {
  const int graph = TAB_VIEW_GRAPH_IQPT;
  for (int i = 0; i < ax.n; ++i) {
    PlotPoint(panel, graph, ax.X(i), y[i], VAL_SIMPLE_DOT, color);
    if (i >= 1) PlotLine(panel, graph, ax.X(i - 1), y[i - 1], ax.X(i), y[i], color);
  }
}

void ZeroLine(int panel, const TimeAxis& ax, double centre) {
  if (ax.n > 0) PlotLine(panel, TAB_VIEW_GRAPH_IQPT, ax.t0, centre, ax.X(ax.n - 1), centre, kGrey);
}

// The extent of a point from yLo to yHi (graph units): a vertical line, or
// a dot when it is below a quarter unit (a few pixels).
void PlotExtent(int panel, double x, double yHi, double yLo, int color) {
  if (std::fabs(yHi - yLo) > 0.25)
    PlotLine(panel, TAB_VIEW_GRAPH_IQPT, x, yHi, x, yLo, color);
  else
    PlotPoint(panel, TAB_VIEW_GRAPH_IQPT, x, yHi, VAL_SIMPLE_DOT, color);
}

// Extents of every point, for points of several samples.
void PlotExtents(int panel, const TimeAxis& ax, const double* hi, const double* lo, int color) {
  for (int i = 0; i < ax.n; ++i) PlotExtent(panel, ax.X(i), hi[i], lo[i], color);
}

// The same inside the band 1 .. 11 (+-5 about 6): an extent wholly beyond
// one edge is left out, one across it is cut at the edge.
void PlotClampedExtents(int panel, const TimeAxis& ax, const double* hi, const double* lo, int color) {
  for (int i = 0; i < ax.n; ++i) {
    if ((hi[i] > 5.0 && lo[i] > 5.0) || (hi[i] < -5.0 && lo[i] < -5.0)) continue;
    PlotExtent(panel, ax.X(i), 6.0 + std::clamp(hi[i], -5.0, 5.0), 6.0 + std::clamp(lo[i], -5.0, 5.0), color);
  }
}

double Log10Floor(double magnitude) { return std::log10(std::fmax(magnitude, 1e-5)); }

// The two traces of a mode from the stored display points. A point of one
// sample is that sample; a point of several is drawn over its extent, so
// that every sample shows whatever the zoom. dB traces use log10 L of the
// magnitude (-5 .. 0): "Log Mag" 4L + 22 (-100 dB at 2, 0 dB at 22),
// "Frequency" power 2L + 22 (-100 dB at 12), each joined through the
// points' largest magnitudes. I and Q are 5 units per full scale about 17
// and 6; phase and frequency fill +-5 units at their range; the linear
// magnitude 10 units per full scale from 12.
void DrawTraces(int panel, int mode, const TimeAxis& ax, const SequenceViewState& s) {
  static double y1[kViewPointSlots], y2[kViewPointSlots], y3[kViewPointSlots], y4[kViewPointSlots];
  const int n = ax.n;
  switch (mode) {
    case VIEW_LOG_MAG:
    case VIEW_FREQUENCY: {
      const double scale = mode == VIEW_LOG_MAG ? 4.0 : 2.0;
      for (int i = 0; i < n; ++i) {
        y1[i] = scale * Log10Floor(s.maxMag[i]) + 22.0;
        y2[i] = scale * Log10Floor(s.minMag[i]) + 22.0;
      }
      if (mode == VIEW_FREQUENCY) {
        ZeroLine(panel, ax, 6.0);
        for (int i = 0; i < n; ++i) y3[i] = s.meanFreq[i] * 5.0 * (s.sampleRate / 2.0) / s.frequencyRange;
        PlotClamped(panel, ax, y3, kFrequencyColor);
      }
      PlotDb(panel, ax, y1, kMagnitudeColor);
      if (!ax.single) PlotExtents(panel, ax, y1, y2, kMagnitudeColor);
      break;
    }
    case VIEW_IQ:
      ZeroLine(panel, ax, 17.0);
      ZeroLine(panel, ax, 6.0);
      for (int i = 0; i < n; ++i) {
        y1[i] = 5.0 * s.maxI[i] + 17.0;
        y2[i] = 5.0 * s.minI[i] + 17.0;
        y3[i] = 5.0 * s.maxQ[i] + 6.0;
        y4[i] = 5.0 * s.minQ[i] + 6.0;
      }
      if (ax.single) {
        PlotJoined(panel, ax, y1, kIColor);
        PlotJoined(panel, ax, y3, kQColor);
        for (int i = 0; i < n; ++i) {
          PlotPoint(panel, TAB_VIEW_GRAPH_IQPT, ax.X(i), y1[i], VAL_SOLID_SQUARE, kIColor);
          PlotPoint(panel, TAB_VIEW_GRAPH_IQPT, ax.X(i), y3[i], VAL_SOLID_SQUARE, kQColor);
        }
      } else {
        PlotExtents(panel, ax, y1, y2, kIColor);
        PlotExtents(panel, ax, y3, y4, kQColor);
      }
      break;
    case VIEW_PHASE:
      ZeroLine(panel, ax, 6.0);
      for (int i = 0; i < n; ++i) {
        y1[i] = 12.0 + 10.0 * s.maxMag[i];
        y2[i] = 12.0 + 10.0 * s.minMag[i];
        y3[i] = s.maxPhase[i] * 5.0 / s.phaseRange;
        y4[i] = s.minPhase[i] * 5.0 / s.phaseRange;
      }
      if (ax.single) {
        PlotClamped(panel, ax, y3, kPhaseColor);
        PlotJoined(panel, ax, y1, kMagnitudeColor);
      } else {
        PlotClampedExtents(panel, ax, y3, y4, kPhaseColor);
        PlotExtents(panel, ax, y1, y2, kMagnitudeColor);
      }
      break;
    default:
      break;
  }
}

}  // namespace

// The smallest value of the 1-2-5 series strictly above x (sign kept).
double RoundUp125(double x) {
  if (x == 0.0) return 0.0;
  if (x < 0.0) return -RoundUp125(-x);
  const double p = std::pow(10.0, std::floor(std::log10(x)));
  const double m = x / p;
  return m < 2.0 ? 2.0 * p : m < 5.0 ? 5.0 * p : 10.0 * p;
}

// The 1-2-5 value below x; a power of ten stays.
double RoundDown125(double x) {
  if (x == 0.0) return 0.0;
  if (x < 0.0) return -RoundDown125(-x);
  const double p = std::pow(10.0, std::floor(std::log10(x)));
  const double m = x / p;
  return m > 5.0 ? 5.0 * p : m > 2.0 ? 2.0 * p : p;
}

// "%6.3f" of the scaled value with trailing zeros dropped (one kept after
// the point), then the prefix text (" k", " M" ...) and the unit.
void FormatSiValue(char* out, double value, const char* unit) {
  if (out == nullptr || unit == nullptr) return;
  struct Prefix {
    double from, scale;
    const char* text;
  };
  static const Prefix kPrefixes[] = {{1e9, 1e-9, " G"}, {1e6, 1e-6, " M"}, {1e3, 1e-3, " k"},
                                     {1.0, 1.0, " "},   {1e-3, 1e3, " m"}, {1e-6, 1e6, " u"},
                                     {1e-9, 1e9, " n"}, {1e-12, 1e12, " p"}};
  const double a = std::fabs(value);
  char number[40] = "  0.0 ";
  const char* prefix = " ";
  for (const Prefix& p : kPrefixes)
    if (a >= p.from) {
      cz::SnprintfC(number, sizeof number, "%6.3f", value * p.scale);
      prefix = p.text;
      break;
    }
  if (std::strchr(number, '.') != nullptr) {
    size_t len = std::strlen(number);
    while (len > 0 && number[len - 1] == '0') number[--len] = '\0';
    if (len > 0 && number[len - 1] == '.') std::strcat(number, "0");
  }
  cz::SnprintfC(out, 32, "%s%s%s", number, prefix, unit);
}

int SequenceView_DrawTimeGraph(int panel) {
  const SequenceViewState& s = g_SequenceView;
  const int graph = TAB_VIEW_GRAPH_IQPT;
  DeleteGraphPlot(panel, graph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  SetCtrlAttribute(panel, graph, ATTR_REFRESH_GRAPH, 0);
  int mode = VIEW_IQ;
  GetCtrlVal(panel, TAB_VIEW_RING_IQVIEW, &mode);
  g_Settings.ViewMode = mode;
  WriteModeTexts(panel, mode, s);
  // Nothing to place on a time axis before a waveform was shown.
  if (s.sampleRate > 0.0 && s.totalSamples >= 2 && s.lastSample > s.firstSample) {
    TimeAxis ax;
    const int64_t span = s.lastSample - s.firstSample + 1;
    ax.start = s.pointStart;
    ax.rate = s.sampleRate;
    ax.n = s.pointCount;
    ax.single = s.pointCount == span;
    ax.t0 = s.firstSample / s.sampleRate * 1000000.0;
    ax.tw = span / s.sampleRate * 1000000.0;
    SetAxisRange(panel, graph, VAL_MANUAL, ax.t0, ax.t0 + ax.tw, VAL_MANUAL, 0.0, 23.0);
    PlotRectangle(panel, graph, ax.t0, 22.4, ax.t0 + ax.tw, 22.6, kBarColor, kBarColor);
    const double lastIndex = static_cast<double>(s.totalSamples - 1);
    const double left = ax.t0 + ax.tw * s.firstSample / lastIndex;
    const double right = ax.t0 + ax.tw * s.lastSample / lastIndex;
    if (right - left > ax.tw / 500.0)
      PlotRectangle(panel, graph, left, 22.2, right, 22.8, kBarColor, kViewportFill);
    else
      PlotLine(panel, graph, left, 22.2, left, 22.8, kGrey);
    if (ax.n > 0) DrawTraces(panel, mode, ax, s);
  }
  SetCtrlAttribute(panel, graph, ATTR_REFRESH_GRAPH, 1);
  IqPointGraphCb(panel, graph, EVENT_COMMIT, nullptr, 0, 0);
  return 1;
}

// Phase range (units of pi) walks 0.01 .. 10; frequency range (Hz) walks
// rate / 2,000 .. rate / 2. Other modes have no Y scale to change.
int SequenceView_ZoomY(SequenceViewState* s, int mode, int direction) {
  if (mode == VIEW_FREQUENCY) {
    s->frequencyRange = direction > 0 ? std::min(RoundUp125(s->frequencyRange * 1.1), s->sampleRate * 0.5)
                                      : std::max(RoundDown125(s->frequencyRange * 0.9), s->sampleRate / 2000.0);
    return 1;
  }
  if (mode == VIEW_PHASE) {
    s->phaseRange = direction > 0 ? std::min(RoundUp125(s->phaseRange * 1.1), 10.0)
                                  : std::max(RoundDown125(s->phaseRange * 0.9), 0.01);
    return 1;
  }
  return 0;
}

int SequenceViewModeCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  SequenceView_ShowReadouts(panel);
  if (control == TAB_VIEW_RING_IQVIEW) SequenceView_DrawTimeGraph(panel);
  if (control == TAB_VIEW_RING_FFTVIEW) {
    int scope = 0;
    GetCtrlVal(panel, control, &scope);
    if (scope == FFT_RING_ALL) g_SequenceView.fftScope = 0;
    if (scope == FFT_RING_VIEWPORT) g_SequenceView.fftScope = 1;
    if (DrawSequenceView() == 0) Log_Message(1, "*** Error while drawing sequence data.");
  }
  return 0;
}

namespace {
int ZoomY(int panel, int direction) {
  int mode = 0;
  GetCtrlVal(panel, TAB_VIEW_RING_IQVIEW, &mode);
  if (SequenceView_ZoomY(&g_SequenceView, mode, direction) && DrawSequenceView() == 0)
    Log_Message(1, "*** Error while drawing sequence data.");
  return 0;
}
}  // namespace

int SequenceViewZoomInYCb(int panel, int, int event, void*, int, int) {
  return event == EVENT_COMMIT ? ZoomY(panel, -1) : 0;
}

int SequenceViewZoomOutYCb(int panel, int, int event, void*, int, int) {
  return event == EVENT_COMMIT ? ZoomY(panel, +1) : 0;
}
