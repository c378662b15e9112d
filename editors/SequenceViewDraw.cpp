// The Sequence View's read pass: viewport clamping, the text fields, the
// I/Q plane (vector diagram or density plot), the colour scale and the
// reduction of the viewport to display points.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "editors/PulseDiagram.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "engine/EngineHost.h"
#include "engine/SignalMath.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

static_assert(std::endian::native == std::endian::little, "the temporary I/Q file is read as little-endian floats");

SequenceViewState g_SequenceView;

namespace {

// Colours 0xRRGGBB: frame grey, vector-diagram lines olive, points yellow.
constexpr int kGrey = 0x808080;
constexpr int kOlive = 0x808000;
constexpr int kYellow = 0xFFFF00;
// The file's "IQF" tag, and one sample: float32 I then float32 Q.
constexpr int kTagBytes = 3;
constexpr int kSampleBytes = 8;

// Colour stops of the density scale, one per decade from 1e-4 to 1.
constexpr int kDensityStops[5][3] = {{0, 0, 192}, {0, 160, 160}, {192, 0, 0}, {208, 80, 0}, {255, 255, 0}};

// The next sample of the read slot, widened to double; 0 on a short read.
int ReadSample(double* i, double* q) {
  unsigned char raw[kSampleBytes];
  if (ReadBytes(kViewReadSlot, kSampleBytes, raw) != kSampleBytes) return 0;
  float fi = 0.0f, fq = 0.0f;
  std::memcpy(&fi, raw, 4);
  std::memcpy(&fq, raw + 4, 4);
  *i = fi;
  *q = fq;
  return 1;
}

// The progress window of a long pass: shows a value only when it exceeds
// the threshold, which then moves two percent beyond it.
struct PassProgress {
  bool open = false;
  int threshold = -1;
  void Show(int value) {
    if (!open || value <= threshold) return;
    Progress_Update(value);
    threshold = value + 2;
  }
};

// Releases the read slot and closes the progress window on every exit.
struct PassGuard {
  bool slotBound = false;
  PassProgress* progress = nullptr;
  ~PassGuard() {
    if (slotBound) ReleaseBuf(kViewReadSlot);
    if (progress != nullptr && progress->open) Progress_Close();
  }
};

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

void ViewReducer_Init(ViewReducer* r, int64_t span, SequenceViewState* state) {
  *r = ViewReducer{};
  r->span = span;
  r->step = span > 0 ? 1000.0 / static_cast<double>(span) : 0.0;
  r->density = span >= kViewDensityFrom;
  std::memset(state->density, 0, sizeof state->density);
}

int ViewReducer_Add(ViewReducer* r, double i, double q, SequenceViewState* s) {
  r->sumI += i;
  r->sumQ += q;
  r->hiI = std::fmax(r->hiI, i);
  r->loI = std::fmin(r->loI, i);
  r->hiQ = std::fmax(r->hiQ, q);
  r->loQ = std::fmin(r->loQ, q);
  r->peak = std::fmax(r->peak, std::sqrt(i * i + q * q));
  if (r->density) {
    const int row = std::clamp(static_cast<int>(40.0 * i + 40.0), 0, kViewDensityCells - 1);
    const int col = std::clamp(static_cast<int>(40.0 * q + 40.0), 0, kViewDensityCells - 1);
    s->density[row][col] += 1.0;
  }
  double mag = 0.0, phase = 0.0;
  IqToMagPhase(&i, &q, 1, &mag, &phase);
  const int idx = r->closed;
  if (idx < kViewPointSlots) {
    s->closeMag[idx] = mag;
    s->closePhase[idx] = phase / PiConstant;
  }
  // Phase in [0, 2pi); the step to the previous sample unwrapped into [-pi, pi].
  if (phase < 0.0) phase += 2.0 * PiConstant;
  double step = r->first ? 0.0 : phase - r->previousPhase;
  if (step > PiConstant) step -= 2.0 * PiConstant;
  if (step < -PiConstant) step += 2.0 * PiConstant;
  r->sumStep += step;
  r->previousPhase = phase;
  r->first = false;
  ++r->n;

  // Point number closed + 1 closes when the running position (tested before
  // it grows) has reached it; the samples after the last closing sample
  // belong to no point.
  int closedNow = 0;
  if (static_cast<double>(r->closed + 1) <= r->position && idx < kViewPointSlots) {
    const double n = static_cast<double>(r->n);
    s->meanI[idx] = r->sumI / n;
    s->meanQ[idx] = r->sumQ / n;
    s->maxI[idx] = r->hiI;
    s->minI[idx] = r->loI;
    s->maxQ[idx] = r->hiQ;
    s->minQ[idx] = r->loQ;
    s->peakLog[idx] = std::log10(std::fmax(r->peak, 1e-5));
    s->meanFreq[idx] = (r->sumStep / n) / PiConstant;
    ++r->closed;
    r->n = 0;
    r->sumI = r->sumQ = r->sumStep = 0.0;
    r->hiI = r->hiQ = -9999.9;
    r->loI = r->loQ = 9999.9;
    r->peak = 0.0;
    closedNow = 1;
  }
  r->position += r->step;
  return closedNow;
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
  if (TAB_VIEW > 0) ClearSequenceView();
}

// The one read pass. Every failure returns 0 after its "*** " log line; the
// guard releases the slot and closes the progress window, the spectrum
// buffer frees itself, and the automatic refresh of GRAPH_IQ and
// GRAPH_SPECTRUM stays off until the next successful draw.
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

  // 2.-3. Bind the read slot (it starts at the beginning of the file) and
  // read the tag.
  const int64_t first = s.firstSample;
  const int64_t last = s.lastSample;
  const int64_t span = last - first + 1;
  PassProgress progress;
  PassGuard guard;
  guard.progress = &progress;
  if (s.iqFile == nullptr || InitBuf(kViewReadSlot, s.iqFile, 1, 0) == 0)
    return FailPass("*** Error initializing temporary data file buffer.");
  guard.slotBound = true;
  unsigned char tag[kTagBytes];
  if (ReadBytes(kViewReadSlot, kTagBytes, tag) < kTagBytes)
    return FailPass("*** Cannot read from temporary waveform file.");

  // 4.-7. Texts, cleared graphs, colour scale once per run, I/Q frame.
  WriteViewportTexts(s, span);
  DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_IQ, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  DeleteGraphPlot(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  s.spectrumShown = false;
  Spectrum_ClearReadouts();
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_IQ, ATTR_REFRESH_GRAPH, 0);
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, ATTR_REFRESH_GRAPH, 0);
  if (s.colourScalePending) {
    DrawColourScale();
    s.colourScalePending = false;
  }
  DrawIqFrame();

  // 8.-11. Spectrum buffer, log line, progress window.
  const bool needProgress = first > kViewProgressFrom || span > kViewProgressFrom;
  SpectrumBuffer spectrum;
  const bool haveSpectrum = SpectrumBuffer_Prepare(&spectrum, span, s.totalSamples, s.fftScope) != 0;
  const bool wholeFile = haveSpectrum && s.fftScope == 0;
  char line[96];
  cz::SnprintfC(line, sizeof line, "Drawing sample %lld - %lld.", static_cast<long long>(first + 1),
                static_cast<long long>(first + span));
  Log_Message(1, line);
  if (needProgress && Progress_Open("Preparing waveform view...") != 0) {
    progress.open = true;
    Progress_SetTotal(100);
    Progress_EnableCancel(0);
  }

  // 12. Reach the viewport: read through for a whole-file spectrum, else seek.
  double i = 0.0, q = 0.0;
  if (wholeFile) {
    for (int64_t k = 0; k < first; ++k) {
      progress.Show(static_cast<int>(25 * k / first));
      if (!ReadSample(&i, &q))
        return FailPass("*** Failed to read data while trying to reach viewport starting point.");
      SpectrumBuffer_Add(&spectrum, i, q);
    }
  } else if (RestartAtPosition(kViewReadSlot, static_cast<off_t>(kTagBytes + kSampleBytes * first)) == 0) {
    return FailPass("*** Failed to read data while trying to reach viewport starting point.");
  }
  progress.threshold = 25;

  // 13. The viewport, reduced to display points.
  s.pointCount = 0;
  ViewReducer reducer;
  ViewReducer_Init(&reducer, span, &s);
  const bool vector = span < kViewDensityFrom;
  double lastI = 0.0, lastQ = 0.0;
  bool anyPoint = false;
  for (int64_t k = 0; k < span; ++k) {
    progress.Show(25 + static_cast<int>(75 * k / span));
    if (!ReadSample(&i, &q)) return FailPass("*** Failed to read data for graphics preview.");
    if (haveSpectrum) SpectrumBuffer_Add(&spectrum, i, q);
    if (ViewReducer_Add(&reducer, i, q, &s) && vector) {
      PlotLine(TAB_VIEW, TAB_VIEW_GRAPH_IQ, anyPoint ? lastI : i, anyPoint ? lastQ : q, i, q, kOlive);
      PlotPoint(TAB_VIEW, TAB_VIEW_GRAPH_IQ, i, q, VAL_SOLID_SQUARE, kYellow);
      lastI = i;
      lastQ = q;
      anyPoint = true;
    }
  }

  s.pointCount = reducer.closed;

  // 14. The rest of the file for a whole-file spectrum.
  if (wholeFile) {
    for (int64_t k = last + 1; k < s.totalSamples; ++k) {
      if (!ReadSample(&i, &q)) return FailPass("*** Failed to read remaining data for FFT preview.");
      SpectrumBuffer_Add(&spectrum, i, q);
    }
  }

  // 15.-18. Release, spectrum, density plot, refresh.
  ReleaseBuf(kViewReadSlot);
  guard.slotBound = false;
  if (progress.open) {
    Progress_Close();
    progress.open = false;
  }
  if (haveSpectrum) {
    Spectrum_Compute(&spectrum, &s);
    s.spectrumShown = Spectrum_Plot(TAB_VIEW) >= 0;
    spectrum.data.reset();
  } else {
    Spectrum_PlotMissing(TAB_VIEW, spectrum.missing, s.fftScope);
  }
  if (!vector) DrawDensity(&s);
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_IQ, ATTR_REFRESH_GRAPH, 1);
  SetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, ATTR_REFRESH_GRAPH, 1);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_TXT_CONSTELL, vector ? "I/Q Plane Vector Diagram" : "I/Q Plane Density Plot");

  // 19. Time graph and readouts follow; after a build the time cursors
  // stand on the new waveform first.
  s.shown = true;
  if (s.newWaveform) {
    ViewNav_PlaceTimeCursors(s);
    s.newWaveform = false;
  }
  SequenceViewModeCb(TAB_VIEW, TAB_VIEW_RING_IQVIEW, EVENT_COMMIT, nullptr, 0, 0);
  SpectrumGraphCb(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, EVENT_COMMIT, nullptr, 0, 0);
  IqGraphCb(TAB_VIEW, TAB_VIEW_GRAPH_IQ, EVENT_COMMIT, nullptr, 0, 0);
  return 1;
}
