// The Sequence View's draw: viewport clamping, the read pass
// (SequenceViewPass.cpp), the text fields, the I/Q plane (vector diagram or
// density plot), the colour scale and the hand-over to the spectrum, time
// graph and readouts.
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "editors/PulseDiagram.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewPass.h"
#include "editors/SequenceViewIds.h"
#include "engine/EngineHost.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

static_assert(std::endian::native == std::endian::little, "the temporary I/Q file is read as little-endian floats");

SequenceViewState g_SequenceView;

namespace {

// Colours 0xRRGGBB: frame grey, vector-diagram lines olive, points yellow.
constexpr int kGrey = 0x808080;
constexpr int kOlive = 0x808000;
constexpr int kYellow = 0xFFFF00;
// The file's "IQF" tag.
constexpr int kTagBytes = 3;

// Colour stops of the density scale, one per decade from 1e-4 to 1.
constexpr int kDensityStops[5][3] = {{0, 0, 192}, {0, 160, 160}, {192, 0, 0}, {208, 80, 0}, {255, 255, 0}};

// A time text in engineering units; sample < 0 leaves the index out of the
// format ("%4.3f %s/div").
void SetTimeText(int control, const char* format, double seconds, long long sample) {
  double mantissa = 0.0;
  int exponent = 0;
  ToEngineeringUnits(seconds, &mantissa, &exponent);
  char text[96];
  if (sample >= 0)
    cz::SnprintfC(text, sizeof text, format, mantissa, TimeUnitText(exponent), sample);
  else
    cz::SnprintfC(text, sizeof text, format, mantissa, TimeUnitText(exponent));
  SetCtrlVal(TAB_VIEW, control, text);
}

// Start, stop and time per division (10 divisions), the slide at the
// viewport's centre as a fraction of the file, the spectrum span in MHz.
// Sample numbers in the texts count from 1.
void WriteViewportTexts(const SequenceViewState& s, int64_t span) {
  const double rate = s.sampleRate;
  SetTimeText(TAB_VIEW_STR_TSTART, "%4.3f %s (%lld)", s.firstSample / rate, s.firstSample + 1);
  SetTimeText(TAB_VIEW_STR_TSTOP, "%4.3f %s (%lld)", (s.lastSample + 1) / rate, s.lastSample + 1);
  SetTimeText(TAB_VIEW_STR_TDIV, "%4.3f %s/div", span / 10.0 / rate, -1);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_SLIDE_POS,
             (s.width * 0.5 + static_cast<double>(s.firstSample)) / static_cast<double>(s.totalSamples));
  char text[64];
  cz::SnprintfC(text, sizeof text, "Span: %4.3f MHz", rate / 1000000.0);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTSPAN, text);
  // The spectrum's display points 0 .. 500 read as frequencies in the
  // span's unit, -rate/2 .. +rate/2.
  SetAxisAttribute(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_BOTTOM_XAXIS, ATTR_AXIS_LABEL_GAIN, rate / 500.0 / 1e6);
  SetAxisAttribute(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_BOTTOM_XAXIS, ATTR_AXIS_LABEL_OFFSET, -rate / 2.0 / 1e6);
}

// The colour scale beside the density plot: 1,000 lines over 1e-4 .. 1.
void DrawColourScale() {
  const int graph = TAB_VIEW_GRAPH_SCALE;
  DeleteGraphPlot(TAB_VIEW, graph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  SetCtrlAttribute(TAB_VIEW, graph, ATTR_REFRESH_GRAPH, 0);
  for (int i = 1; i <= 1000; ++i)
    PlotLine(TAB_VIEW, graph, 0.0, i, 1.0, i, DensityPlotColor(std::pow(10.0, i / 250.0 - 4.0)));
  SetCtrlAttribute(TAB_VIEW, graph, ATTR_REFRESH_GRAPH, 1);
}

// The unit circle and two corner marks at (1, 1) and (-1, -1): full scale.
void DrawIqFrame() {
  const int graph = TAB_VIEW_GRAPH_IQ;
  PlotOval(TAB_VIEW, graph, 1.0, 1.0, -1.0, -1.0, kGrey, VAL_TRANSPARENT);
  PlotLine(TAB_VIEW, graph, 1.0, 1.0, 0.95, 1.0, kGrey);
  PlotLine(TAB_VIEW, graph, 1.0, 1.0, 1.0, 0.95, kGrey);
  PlotLine(TAB_VIEW, graph, -1.0, -1.0, -0.95, -1.0, kGrey);
  PlotLine(TAB_VIEW, graph, -1.0, -1.0, -1.0, -0.95, kGrey);
}

// The density grid normalised to its largest cell; cells at or below 1e-5
// of it stay empty, so at most 81 x 81 points are plotted.
void DrawDensity(SequenceViewState* s) {
  double largest = 0.0;
  for (const auto& row : s->density)
    for (double v : row) largest = std::fmax(largest, v);
  if (std::fabs(largest) > 1e-5)
    for (auto& row : s->density)
      for (double& v : row) v /= largest;
  for (int r = 0; r < kViewDensityCells; ++r)
    for (int c = 0; c < kViewDensityCells; ++c) {
      const double v = s->density[r][c];
      if (v > 1e-5)
        PlotPoint(TAB_VIEW, TAB_VIEW_GRAPH_IQ, (r - 40) / 40.0, (c - 40) / 40.0, VAL_SOLID_SQUARE,
                  DensityPlotColor(v));
    }
}

// The vector diagram: every sample of the viewport as a square, joined to
// the one before it (the first to itself).
void DrawVectorDiagram(const std::vector<float>& iq) {
  const size_t n = iq.size() / 2;
  for (size_t k = 0; k < n; ++k) {
    const double i = iq[2 * k], q = iq[2 * k + 1];
    const size_t from = k > 0 ? k - 1 : 0;
    PlotLine(TAB_VIEW, TAB_VIEW_GRAPH_IQ, iq[2 * from], iq[2 * from + 1], i, q, kOlive);
    PlotPoint(TAB_VIEW, TAB_VIEW_GRAPH_IQ, i, q, VAL_SOLID_SQUARE, kYellow);
  }
}

// A cancelled draw: the graphs keep the viewport they showed, and the time
// graph says so.
void ShowCancelled(SequenceViewState* s) {
  Log_Message(1, "Drawing of the waveform view cancelled.");
  const char* said = "Drawing cancelled: the view shows the samples it showed before.";
  if (s->shown) {
    s->firstSample = s->shownFirst;
    s->lastSample = s->shownLast;
    s->width = s->shownWidth;
    WriteViewportTexts(*s, s->lastSample - s->firstSample + 1);
  } else {
    said = "Drawing cancelled.";
    ClearSequenceView();
  }
  int xMode = 0, yMode = 0;
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  GetAxisRange(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, &xMode, &x0, &x1, &yMode, &y0, &y1);
  PlotText(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, x0 + 0.02 * (x1 - x0), 20.0, said, "Arial", kGrey, VAL_TRANSPARENT);
}

int FailPass(const char* message) {
  Log_Message(1, message);
  return 0;
}

}  // namespace

// Linear blend between the two stops of the value's decade.
int DensityPlotColor(double value) {
  const double v = std::fmin(std::fmax(value, 1e-4), 1.0);
  const double y = std::log10(v) + 4.0;
  const int i = static_cast<int>(y);
  const int j = i + 1 < 5 ? i + 1 : i;
  const double f = y - i;
  int rgb[3];
  for (int c = 0; c < 3; ++c)
    rgb[c] = static_cast<int>((1.0 - f) * kDensityStops[i][c] + f * kDensityStops[j][c]);
  return rgb[0] * 65536 + rgb[1] * 256 + rgb[2];
}

int SequenceView_ReadSample(const SequenceViewState& s, int64_t k, double* i, double* q) {
  if (s.iqFile == nullptr || k < 0 || k >= s.totalSamples) return 0;
  float v[2];
  if (pread(fileno(s.iqFile), v, sizeof v, static_cast<off_t>(kTagBytes + sizeof v * k)) != sizeof v) return 0;
  *i = v[0];
  *q = v[1];
  return 1;
}

// Called by the builder after each build, before it draws.
void SetSequenceViewData(int64_t first, int64_t last, double rate, FILE* file, int64_t total) {
  SequenceViewState& s = g_SequenceView;
  s.firstSample = first;
  s.lastSample = last;
  s.sampleRate = rate;
  s.iqFile = file;
  s.totalSamples = total;
  s.width = last - first + 1;
  s.frequencyRange = rate * 0.5;
  s.phaseRange = 1.0;
  s.newWaveform = true;
  ViewPass_DropFileCache();
}

void SequenceView_InstallBuildHost() {
  EngineBuildHost host = GetEngineBuildHost();
  host.setSequenceViewData = SetSequenceViewData;
  host.drawSequenceView = DrawSequenceView;
  host.tempFilesClosed = InvalidateSequenceView;
  SetEngineBuildHost(&host);
}

int ClearSequenceView() {
  SequenceViewState& s = g_SequenceView;
  s.shown = false;
  s.spectrumShown = false;
  for (int id : {TAB_VIEW_STR_CSR1, TAB_VIEW_STR_CSR2, TAB_VIEW_STR_CSR_DELTA, TAB_VIEW_STR_IQMARKER1,
                 TAB_VIEW_STR_IQMARKER2})
    SetCtrlVal(TAB_VIEW, id, "");
  Spectrum_ClearReadouts();
  DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_IQ, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  return DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
}

void InvalidateSequenceView() {
  SequenceViewState& s = g_SequenceView;
  s.iqFile = nullptr;
  s.totalSamples = 0;
  s.firstSample = 0;
  s.lastSample = 0;
  s.pointCount = 0;
  s.newWaveform = false;
  s.shown = false;
  s.spectrumShown = false;
  ViewPass_DropFileCache();
  if (TAB_VIEW > 0) ClearSequenceView();
}

// The one read pass (SequenceViewPass.cpp), then the graphs. Every failure
// returns 0 after its "*** " log line with the I/Q plane and the spectrum
// cleared.
int DrawSequenceView() {
  SequenceViewState& s = g_SequenceView;
  // 1. The viewport inside the file.
  if (s.lastSample >= s.totalSamples) s.lastSample = s.totalSamples - 1;
  if (s.firstSample >= s.totalSamples) s.firstSample = s.totalSamples - 1;
  if (s.lastSample < 0) s.lastSample = 0;
  if (s.firstSample < 0) s.firstSample = 0;
  // Nor is the width kept for navigation wider than the file.
  if (s.totalSamples > 0 && s.width > s.totalSamples) s.width = s.totalSamples;
  if (s.firstSample >= s.lastSample) return FailPass("*** No data because start index is equal to stop index.");
  if (!(s.sampleRate > 0.0)) return FailPass("*** No sample rate for the waveform view.");

  // The file and its tag (read where it lies: the builder's position in the
  // file stays).
  const int64_t span = s.lastSample - s.firstSample + 1;
  if (s.iqFile == nullptr) return FailPass("*** Error initializing temporary data file buffer.");
  unsigned char tag[kTagBytes];
  if (pread(fileno(s.iqFile), tag, kTagBytes, 0) != kTagBytes)
    return FailPass("*** Cannot read from temporary waveform file.");

  char line[96];
  cz::SnprintfC(line, sizeof line, "Drawing sample %lld - %lld.", static_cast<long long>(s.firstSample + 1),
                static_cast<long long>(s.firstSample + span));
  Log_Message(1, line);
  ViewPassOutput out;
  const int result = ViewPass_Run(&s, &out);
  if (result == VIEW_PASS_CANCELLED) {
    ShowCancelled(&s);
    return 1;
  }
  if (result != VIEW_PASS_DONE) {
    s.pointCount = 0;
    s.spectrumShown = false;
    Spectrum_ClearReadouts();
    WriteViewportTexts(s, span);
    DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_IQ, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    return 0;
  }
  static_cast<ViewPicture&>(s) = *out.picture;

  // Texts, cleared graphs, colour scale once per run, I/Q frame.
  WriteViewportTexts(s, span);
  DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_IQ, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_IQ, ATTR_REFRESH_GRAPH, 0);
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, ATTR_REFRESH_GRAPH, 0);
  if (s.colourScalePending) {
    DrawColourScale();
    s.colourScalePending = false;
  }
  DrawIqFrame();
  const bool vector = span < kViewDensityFrom;
  if (vector) DrawVectorDiagram(out.samples);
  else DrawDensity(&s);
  s.spectrumShown = false;
  if (out.spectrumMissing == SPECTRUM_MADE) s.spectrumShown = Spectrum_Plot(TAB_VIEW) >= 0;
  else Spectrum_PlotMissing(TAB_VIEW, out.spectrumMissing, s.fftScope);
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_IQ, ATTR_REFRESH_GRAPH, 1);
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, ATTR_REFRESH_GRAPH, 1);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_TXT_CONSTELL, vector ? "I/Q Plane Vector Diagram" : "I/Q Plane Density Plot");

  // Time graph and readouts follow; after a build the time cursors stand
  // on the new waveform first.
  s.shown = true;
  s.shownFirst = s.firstSample;
  s.shownLast = s.lastSample;
  s.shownWidth = s.width;
  if (s.newWaveform) {
    ViewNav_PlaceTimeCursors(s);
    s.newWaveform = false;
  }
  SequenceViewModeCb(TAB_VIEW, TAB_VIEW_RING_IQVIEW, EVENT_COMMIT, nullptr, 0, 0);
  SpectrumGraphCb(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, EVENT_COMMIT, nullptr, 0, 0);
  IqGraphCb(TAB_VIEW, TAB_VIEW_GRAPH_IQ, EVENT_COMMIT, nullptr, 0, 0);
  return 1;
}
