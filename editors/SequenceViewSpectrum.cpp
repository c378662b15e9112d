// The Sequence View's spectrum: buffer sizing, the transform of every
// sample in range (editors/ViewDft.h), the reduction of its bins to 500
// display points and the cursor readouts.
//
// Levels are 20 log10 |X[k]| without normalisation by N, so a full-scale
// tone on one bin reads 20 log10(N) dB; the display shows level - reference
// with the reference a multiple of 10 dB above the largest level.
#include <algorithm>
#include <cmath>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kSpectrumColor = 0xF4A66D;
constexpr int kMissingTextColor = 0xA0A0A0;
// Bins the levels pass takes between two ticks.
constexpr int64_t kBinsPerTick = int64_t{1} << 18;
// The graph's y axis spans this many dB below the reference.
constexpr double kSpectrumRangeDb = 100.0;

// The display point nearest to bin k of n: bin k stands for k / n of the
// rate, taken as k - n (a negative frequency) from k = n / 2 on as numpy's
// fftfreq does; point e for (e / 500 - 0.5) of the rate. Point 500 would be
// +rate/2, which is point 0 (-rate/2). In integers, so that DC is point
// 250 exactly.
int PointOfBin(int64_t k, int64_t n) {
  const int64_t signedBin = k < (n + 1) / 2 ? k : k - n;
  const int64_t e = ((2 * signedBin + n) * kViewSpectrumPoints + n) / (2 * n);
  return static_cast<int>(e >= kViewSpectrumPoints ? e - kViewSpectrumPoints : e);
}

}  // namespace

// The buffer holds at least 1,024 complex values so that short spectra can
// be zero-filled in place; it is the view's largest allocation (up to
// 40 MiB, and the chirp transform of a length without small factors takes
// about four times that while it runs), refused rather than thrown when
// memory is short.
int SpectrumBuffer_Prepare(SpectrumBuffer* buffer, int64_t span, int64_t total, int32_t scope) {
  buffer->data.reset();
  buffer->capacity = buffer->count = 0;
  buffer->missing = SPECTRUM_MADE;
  if (span <= kViewFftMinSpan) {
    Log_Message(1, "*** FFT calculation skipped. Not enough data points available.");
    buffer->missing = SPECTRUM_TOO_FEW;
    return 0;
  }
  const int64_t count = scope == 0 ? total : span;
  buffer->missing = SPECTRUM_TOO_MANY;
  if (count < kViewFftSampleLimit) {
    const int64_t capacity = std::max(count, kViewFftMinCount);
    buffer->data.reset(ViewDft_Alloc(capacity));
    if (buffer->data) {
      buffer->capacity = capacity;
      buffer->missing = SPECTRUM_MADE;
      return 1;
    }
    buffer->missing = SPECTRUM_NO_MEMORY;
  }
  Log_Message(1, "*** No FFT created. Too many data points or not enough memory.");
  Log_Message(1, "*** Retry using VIEWPORT and zoom in to smaller signal portion.");
  return 0;
}

int64_t Spectrum_Compute(SpectrumBuffer* buffer, SequenceViewState* state, ViewTick tick, void* context) {
  std::complex<float>* d = buffer->data.get();
  if (d == nullptr || buffer->capacity < kViewFftMinCount) return 0;
  int64_t n = buffer->count;
  if (n < kViewFftMinCount) {
    std::fill(d + n, d + kViewFftMinCount, std::complex<float>(0.0f, 0.0f));
    n = kViewFftMinCount;
  }
  ViewDftLayout layout;
  const int result = ViewDft_Forward(d, n, &layout, tick, context);
  if (result != VIEW_DFT_DONE) {
    buffer->missing = result == VIEW_DFT_STOPPED ? SPECTRUM_CANCELLED : SPECTRUM_NO_MEMORY;
    if (result != VIEW_DFT_STOPPED) Log_Message(1, "*** No FFT created. Too many data points or not enough memory.");
    return 0;
  }
  // Every bin goes to its nearest point: the point keeps the largest power
  // (the peak its trace shows) and the sum (the band level's share).
  double peak[kViewSpectrumPoints], sum[kViewSpectrumPoints];
  std::fill(peak, peak + kViewSpectrumPoints, 0.0);
  std::fill(sum, sum + kViewSpectrumPoints, 0.0);
  int64_t sinceTick = 0;
  for (int64_t r = 0; r < layout.rows; ++r) {
    const std::complex<float>* row = d + r * layout.cols;
    for (int64_t c = 0; c < layout.cols; ++c) {
      const double re = row[c].real(), im = row[c].imag();
      const double power = re * re + im * im;
      const int e = PointOfBin(r * layout.rowStep + c * layout.colStep, n);
      sum[e] += power;
      peak[e] = std::max(peak[e], power);
    }
    sinceTick += layout.cols;
    if (sinceTick >= kBinsPerTick && tick != nullptr) {
      sinceTick = 0;
      if (tick(context, 1.0) != 0) {
        buffer->missing = SPECTRUM_CANCELLED;
        return 0;
      }
    }
  }
  // Levels 20 log10(|X| + 1e-32) dB, without normalisation by N: a
  // full-scale tone on one bin reads 20 log10(N) dB.
  double largest = -HUGE_VAL;
  bool silent = true;
  for (int e = 0; e < kViewSpectrumPoints; ++e) {
    state->spectrum[e] = 20.0 * std::log10(std::sqrt(peak[e]) + 1e-32);
    state->spectrumPower[e] = sum[e];
    largest = std::max(largest, state->spectrum[e]);
    silent = silent && peak[e] == 0.0;
  }
  state->spectrumSilent = silent;
  state->spectrumReference =
      silent ? 0.0
      : largest >= 0.0 ? 10.0 * (1.0 + std::floor(largest / 10.0)) : 10.0 * std::trunc(largest / 10.0);
  return n;
}

// 499 segments joining points 0 .. 499 (x = point number, y = level -
// reference, so that the top of the graph is the reference); a level more
// than 100 dB below it is drawn along the bottom. A spectrum of zeros lies
// along the bottom and says so.
int Spectrum_Plot(int panel) {
  const SequenceViewState& s = g_SequenceView;
  const int graph = TAB_VIEW_GRAPH_SPECTRUM;
  char text[16];
  cz::SnprintfC(text, sizeof text, "%d", 0);
  SetCtrlVal(panel, TAB_VIEW_TXT_FFTMAX, text);
  cz::SnprintfC(text, sizeof text, "%d", -100);
  SetCtrlVal(panel, TAB_VIEW_TXT_FFTMIN, text);
  const auto y = [&](int e) { return std::max(s.spectrum[e] - s.spectrumReference, -kSpectrumRangeDb); };
  int status = 0;
  for (int e = 1; e < kViewSpectrumPoints; ++e) {
    status = PlotLine(panel, graph, e - 1, y(e - 1), e, y(e), kSpectrumColor);
    if (status < 0) return status;
  }
  if (s.spectrumSilent)
    status = PlotText(panel, graph, 20.0, -55.0, "Every sample in range is 0.", "Arial", kMissingTextColor,
                      VAL_TRANSPARENT);
  return status;
}

// Two lines in the middle left of the plot area, clear of the readouts
// over its top right (x in display points, y in dB below the reference),
// light grey as the page's other texts.
void Spectrum_PlotMissing(int panel, int missing, int32_t scope) {
  const char* why = nullptr;
  const char* remedy = nullptr;
  switch (missing) {
    case SPECTRUM_TOO_FEW:
      why = "No spectrum: 50 samples or fewer in view.";
      break;
    case SPECTRUM_TOO_MANY:
      why = "No spectrum of 5,242,880 samples or more.";
      remedy = scope == 0 ? "Choose Range Viewport and zoom in." : "Zoom in to fewer samples.";
      break;
    case SPECTRUM_CANCELLED:
      why = "Spectrum cancelled.";
      remedy = "Choose the range again to make it.";
      break;
    case SPECTRUM_NO_MEMORY:
      why = "No spectrum: not enough memory.";
      remedy = scope == 0 ? "Choose Range Viewport and zoom in." : "Zoom in to fewer samples.";
      break;
    default:
      return;
  }
  PlotText(panel, TAB_VIEW_GRAPH_SPECTRUM, 20.0, -55.0, why, "Arial", kMissingTextColor, VAL_TRANSPARENT);
  if (remedy != nullptr)
    PlotText(panel, TAB_VIEW_GRAPH_SPECTRUM, 20.0, -65.0, remedy, "Arial", kMissingTextColor, VAL_TRANSPARENT);
}

void Spectrum_ClearReadouts() {
  for (int id : {TAB_VIEW_STR_FFTMARKER1, TAB_VIEW_STR_FFTMARKER2, TAB_VIEW_STR_FFTBP}) SetCtrlVal(TAB_VIEW, id, "");
}

int Spectrum_PointAt(double x) {
  const double e = std::round(x);
  return e >= kViewSpectrumPoints - 1 ? kViewSpectrumPoints - 1 : e > 0.0 ? static_cast<int>(e) : 0;
}

double Spectrum_BandLevel(const SequenceViewState& state, double x1, double x2) {
  const int lo = Spectrum_PointAt(std::min(x1, x2)), hi = Spectrum_PointAt(std::max(x1, x2));
  double power = 0.0;
  for (int e = lo; e <= hi; ++e) power += state.spectrumPower[e];
  return 10.0 * std::log10(power + 1e-64);
}

// Spectrum cursors: frequency of point x is (x / 500 - 0.5) * rate; the
// level is that of the spectrum at the point nearest to the cursor, the
// band level the power of every bin from one cursor's point to the
// other's. Without a spectrum on the graph (skipped, refused, cleared) the
// readouts are empty.
int SpectrumGraphCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT && event != EVENT_VAL_CHANGED) return 0;
  if (!g_SequenceView.spectrumShown) {
    Spectrum_ClearReadouts();
    return 0;
  }
  double x1 = 0, x2 = 0, y = 0;
  if (GetGraphCursor(panel, control, 1, &x1, &y) < 0 || GetGraphCursor(panel, control, 2, &x2, &y) < 0) return 0;
  const SequenceViewState& s = g_SequenceView;
  const double toMhz = s.sampleRate / 1000000.0;
  char text[64];
  cz::SnprintfC(text, sizeof text, "+ %7.3fMHz %5.1fdB", (x1 / 500.0 - 0.5) * toMhz, s.spectrum[Spectrum_PointAt(x1)]);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTMARKER1, text);
  cz::SnprintfC(text, sizeof text, "x %7.3fMHz %5.1fdB", (x2 / 500.0 - 0.5) * toMhz, s.spectrum[Spectrum_PointAt(x2)]);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTMARKER2, text);
  cz::SnprintfC(text, sizeof text, "|| %5.1fdB", Spectrum_BandLevel(s, x1, x2));
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTBP, text);
  return 0;
}
