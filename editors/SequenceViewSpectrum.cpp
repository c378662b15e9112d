// The Sequence View's spectrum: buffer sizing, the radix-2 transform, the
// peak-hold reduction to 500 display points and the cursor readouts.
//
// Levels are 20 log10 |X[k]| without normalisation by N, so a full-scale
// tone on one bin reads 20 log10(N) dB; the display shows level - reference
// with the reference a multiple of 10 dB at or above the largest level.
#include <algorithm>
#include <cmath>
#include <new>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kSpectrumColor = 0xF4A66D;
constexpr int kMissingTextColor = 0xA0A0A0;
// Start of every point's peak hold, below any level (the floor is -640 dB).
constexpr double kEmptyLevel = -640.0;

int64_t LargestPowerOfTwo(int64_t count) {
  int64_t n = 1;
  while (n * 2 <= count) n *= 2;
  return n;
}

}  // namespace

void SwapDoubles(double* a, double* b) {
  const double t = *a;
  *a = *b;
  *b = t;
}

void ComputeFft(double* data, int32_t n, int32_t direction) {
  if (data == nullptr || n < 2 || (n & (n - 1)) != 0) return;
  // Bit-reversal permutation; each lower-half pair also swaps its mirror
  // image in the upper half (rev(n-1-i) = n-1-rev(i)).
  const int32_t half = n / 2;
  int32_t j = 0;
  for (int32_t i = 0; i < half; ++i) {
    if (j > i) {
      SwapDoubles(&data[2 * i], &data[2 * j]);
      SwapDoubles(&data[2 * i + 1], &data[2 * j + 1]);
      if (j < half) {
        const int32_t mi = n - 1 - i, mj = n - 1 - j;
        SwapDoubles(&data[2 * mi], &data[2 * mj]);
        SwapDoubles(&data[2 * mi + 1], &data[2 * mj + 1]);
      }
    }
    int32_t m = half;
    while (m >= 1 && j >= m) {
      j -= m;
      m >>= 1;
    }
    j += m;
  }
  // Butterflies; the twiddle factor advances by a rotation of
  // direction * 6.28318 / M per index (that constant, not 2 pi in full).
  for (int32_t blockLength = 2; blockLength <= n; blockLength *= 2) {
    const double theta = direction * 6.28318 / blockLength;
    const double wStepRe = std::cos(theta), wStepIm = std::sin(theta);
    double wRe = 1.0, wIm = 0.0;
    const int32_t pairs = blockLength / 2;
    for (int32_t m = 0; m < pairs; ++m) {
      for (int32_t a = m; a < n; a += blockLength) {
        const int32_t b = a + pairs;
        // t = x[b] * conj(w)
        const double tRe = data[2 * b] * wRe + data[2 * b + 1] * wIm;
        const double tIm = data[2 * b + 1] * wRe - data[2 * b] * wIm;
        data[2 * b] = data[2 * a] - tRe;
        data[2 * b + 1] = data[2 * a + 1] - tIm;
        data[2 * a] += tRe;
        data[2 * a + 1] += tIm;
      }
      const double nextRe = wRe * wStepRe - wIm * wStepIm;
      wIm = wRe * wStepIm + wIm * wStepRe;
      wRe = nextRe;
    }
  }
}

// The buffer holds at least 1,024 complex values so that short spectra can
// be zero-filled in place; it is the view's only large allocation (up to
// 80 MiB), refused rather than thrown when memory is short.
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
    buffer->data.reset(new (std::nothrow) double[static_cast<size_t>(capacity) * 2]);
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

int64_t Spectrum_Compute(SpectrumBuffer* buffer, SequenceViewState* state) {
  double* d = buffer->data.get();
  if (d == nullptr || buffer->capacity < kViewFftMinCount) return 0;
  int64_t count = buffer->count;
  if (count < kViewFftMinCount) {
    std::fill(d + 2 * count, d + 2 * kViewFftMinCount, 0.0);
    count = kViewFftMinCount;
  }
  const int64_t n = LargestPowerOfTwo(count);
  ComputeFft(d, static_cast<int32_t>(n), 1);
  // Zero frequency to index N/2; index 0 is -rate/2.
  for (int64_t i = 0; i < n / 2; ++i) {
    SwapDoubles(&d[2 * i], &d[2 * (i + n / 2)]);
    SwapDoubles(&d[2 * i + 1], &d[2 * (i + n / 2) + 1]);
  }
  // Levels overwrite the first N doubles (value k is read before slot k is
  // written, and slot k <= 2k).
  double largest = -HUGE_VAL;
  for (int64_t k = 0; k < n; ++k) {
    const double re = d[2 * k], im = d[2 * k + 1];
    d[k] = 20.0 * std::log10(std::sqrt(re * re + im * im) + 1e-32);
    largest = std::max(largest, d[k]);
  }
  state->spectrumReference =
      largest >= 0.0 ? 10.0 * (1.0 + std::floor(largest / 10.0)) : 10.0 * std::trunc(largest / 10.0);

  // Peak hold: point e stands for the frequency (e / 500 - 0.5) * rate and
  // takes the largest level of the bins nearest to it, those with
  // k / N within half a point of e / 500; so the cursor read-out of a point
  // lies within half a point of every bin it holds and DC (bin N/2) is
  // point 250. The bins above point 499 lie nearest to +rate/2, which is
  // the frequency of point 0. N >= 1,024 gives every point two bins or more.
  for (int e = 0; e < kViewSpectrumPoints; ++e) state->spectrum[e] = kEmptyLevel;
  for (int64_t k = 0; k < n; ++k) {
    int64_t e = (2 * kViewSpectrumPoints * k + n) / (2 * n);  // trunc(k * 500 / N + 0.5)
    if (e >= kViewSpectrumPoints) e = 0;
    state->spectrum[e] = std::max(state->spectrum[e], d[k]);
  }
  return n;
}

// 497 segments joining points 1 .. 498 (x = point number, y = level -
// reference, so the top of the graph is the reference).
int Spectrum_Plot(int panel) {
  const SequenceViewState& s = g_SequenceView;
  const int graph = TAB_VIEW_GRAPH_SPECTRUM;
  char text[16];
  cz::SnprintfC(text, sizeof text, "%d", 0);
  SetCtrlVal(panel, TAB_VIEW_TXT_FFTMAX, text);
  cz::SnprintfC(text, sizeof text, "%d", -100);
  SetCtrlVal(panel, TAB_VIEW_TXT_FFTMIN, text);
  int status = 0;
  const double ref = s.spectrumReference;
  for (int e = 2; e < kViewSpectrumPoints - 1; ++e) {
    status = PlotLine(panel, graph, e - 1, s.spectrum[e - 1] - ref, e, s.spectrum[e] - ref, kSpectrumColor);
    if (status < 0) return status;
  }
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

double Spectrum_BandLevel(const SequenceViewState& state, double x1, double x2) {
  const auto slot = [](double x) {
    return static_cast<int>(std::clamp(std::trunc(x), 0.0, static_cast<double>(kViewSpectrumPoints - 1)));
  };
  const int lo = slot(std::min(x1, x2)), hi = slot(std::max(x1, x2));
  double sum = 0.0;
  for (int e = lo; e <= hi; ++e) sum += std::pow(10.0, state.spectrum[e] / 20.0);
  return 20.0 * std::log10(sum);
}

// Spectrum cursors: frequency of point x is (x / 500 - 0.5) * rate; the
// level is the cursor's y plus the reference. Without a spectrum on the
// graph (skipped, refused, cleared) the readouts are empty.
int SpectrumGraphCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT && event != EVENT_VAL_CHANGED) return 0;
  if (!g_SequenceView.spectrumShown) {
    Spectrum_ClearReadouts();
    return 0;
  }
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  if (GetGraphCursor(panel, control, 1, &x1, &y1) < 0 || GetGraphCursor(panel, control, 2, &x2, &y2) < 0) return 0;
  const SequenceViewState& s = g_SequenceView;
  const double toMhz = s.sampleRate / 1000000.0;
  char text[64];
  cz::SnprintfC(text, sizeof text, "+ %7.3fMHz %5.1fdB", (x1 / 500.0 - 0.5) * toMhz, y1 + s.spectrumReference);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTMARKER1, text);
  cz::SnprintfC(text, sizeof text, "x %7.3fMHz %5.1fdB", (x2 / 500.0 - 0.5) * toMhz, y2 + s.spectrumReference);
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTMARKER2, text);
  cz::SnprintfC(text, sizeof text, "|| %5.1fdB", Spectrum_BandLevel(s, x1, x2));
  SetCtrlVal(TAB_VIEW, TAB_VIEW_STR_FFTBP, text);
  return 0;
}
