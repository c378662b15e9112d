// Window coefficient sets, kernel design, band-limited noise, cyclic convolution.
#include "engine/Windows.h"

#include <cmath>
#include <cstring>

#include "app/Log.h"
#include "engine/PulseNoise.h"
#include "engine/SignalMath.h"
#include "platform/CLocale.h"

namespace {

// Cosine-sum coefficients c0..c(m-1). The Hamming and flat-top values are
// this program's own and are kept so that stored waveforms reproduce.
constexpr WindowInfo kWindowTable[] = {
    {WINDOW_RIFEVINCENT, 3, {0.375, -0.5, 0.125, 0.0, 0.0}},
    {WINDOW_HANN, 2, {0.5, -0.5, 0.0, 0.0, 0.0}},
    {WINDOW_HAMMING, 2, {0.53836, -0.46164, 0.0, 0.0, 0.0}},
    {WINDOW_RECT, 1, {1.0, 0.0, 0.0, 0.0, 0.0}},
    {WINDOW_BLACKMANN, 3, {0.42, -0.5, 0.08, 0.0, 0.0}},
    {WINDOW_BLACKHARRIS, 4, {0.35875, -0.48829, 0.14128, -0.01168, 0.0}},
    {WINDOW_FLATTOP, 5, {0.215508, -0.41593, 0.278, -0.083617, 0.0069394}},
};

constexpr int kLastTablePoint = kKernelTablePoints - 1;  // 19,999 intervals

// Offset that keeps t away from the removable singularity at 0.
constexpr double kTimeOffset = 1e-7;

// The single-step noise source: the pulse computation's block source, one
// output at a time.
PulseNoise g_noise;

// Root-raised cosine at t (radians, already offset), roll-off alpha, symbol
// time T (input samples).
double RootRaisedCosine(double t, double alpha, double T) {
  if (alpha == 0.0) return std::sin(t) / (t * std::sqrt(T));  // limit alpha -> 0: sinc
  const double u = 4.0 * alpha * t / PiConstant;
  return 4.0 * alpha / (PiConstant * std::sqrt(T)) * (std::cos((1.0 + alpha) * t) + std::sin((1.0 - alpha) * t) / u) /
         (1.0 - u * u);
}

// Raised cosine of roll-off alpha at t (radians, already offset):
// sinc(t) * cos(alpha*t) / (1 - (2*alpha*t/pi)^2), flat up to (1 - alpha)
// times the cut-off and zero from (1 + alpha) times it on; in frequency it
// is the square of the root-raised cosine of the same alpha. Where the
// denominator vanishes (|v| = 1) the quotient tends to pi/4.
double RaisedCosine(double t, double alpha) {
  const double v = 2.0 * alpha * t / PiConstant;
  const double sinc = std::sin(t) / t;
  if (std::fabs(std::fabs(v) - 1.0) < 1e-6) return sinc * PiConstant / 4.0;
  return sinc * std::cos(alpha * t) / (1.0 - v * v);
}

// The shapes have removable singularities where their denominators vanish
// (u = +-1, v = +-1); a table point that falls on one takes the mean of its
// two neighbours at +-1e-6 instead of a division by zero.
double ShapeValue(int shape, double t, double x, double alpha, double T) {
  double value = 0.0;
  switch (shape) {
    case FILTER_SINC:
      value = std::sin(t) / t;
      break;
    case FILTER_RRCOS:
      value = RootRaisedCosine(t, alpha, T);
      if (!std::isfinite(value)) value = 0.5 * (RootRaisedCosine(t - 1e-6, alpha, T) + RootRaisedCosine(t + 1e-6, alpha, T));
      break;
    case FILTER_RCOS:
      value = RaisedCosine(t, alpha);
      break;
    case FILTER_GAUSS:
      value = alpha * alpha * std::sqrt(2.0 * PiConstant / std::log(2.0)) *
              std::exp(-2.0 * PiConstant * PiConstant * alpha * alpha * x * x / std::log(2.0));
      break;
    default:
      break;
  }
  return value;
}

// Coefficient x at the fractional position u (0 <= u <= n - 1): the cubic
// through the four neighbours (Catmull-Rom, a straight line continued
// beyond both ends). It passes through every coefficient with a continuous
// slope, so that the table's linear interpolation between its points,
// which straddle the coefficients, stays within a few 1e-4 of them even at
// the sharp peak of a short filter; it is exact on straight lines.
double InterpolateCubic(const double* x, int n, double u) {
  if (n == 1 || u <= 0.0) return x[0];
  if (u >= n - 1) return x[n - 1];
  const int j = static_cast<int>(u);
  const double f = u - j;
  const double p0 = j > 0 ? x[j - 1] : 2.0 * x[0] - x[1];
  const double p1 = x[j], p2 = x[j + 1];
  const double p3 = j + 2 < n ? x[j + 2] : 2.0 * x[n - 1] - x[n - 2];
  return p1 + 0.5 * f * ((p2 - p0) + f * ((2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) + f * (3.0 * (p1 - p2) + p3 - p0)));
}

void ClearTable(double* table) {
  if (table != nullptr) std::memset(table, 0, sizeof(double) * kKernelTablePoints);
}

void ClearTables(double* a, double* b, double* c, double* d) {
  ClearTable(a);
  ClearTable(b);
  ClearTable(c);
  ClearTable(d);
}

void Differences(const double* kernel, double* diff) {
  if (diff == nullptr) return;
  for (int k = 0; k < kLastTablePoint; ++k) diff[k] = kernel[k + 1] - kernel[k];
  diff[kLastTablePoint] = diff[kLastTablePoint - 1];
}

}  // namespace

int IsComplexFilter(int filter) { return filter >= FILTER_CXSINC && filter <= FILTER_CXGAUSS ? 1 : 0; }

int GetWindowCoefficients(const double** coefficients, int* count, int window) {
  for (const WindowInfo& row : kWindowTable) {
    if (row.code != window) continue;
    if (coefficients != nullptr) *coefficients = row.coeffs;
    if (count != nullptr) *count = row.count;
    return 1;
  }
  Log_Message(1, "*** Unknown window function.");
  if (coefficients != nullptr) *coefficients = nullptr;
  if (count != nullptr) *count = 0;
  return 0;
}

double WindowValue(const double* coefficients, int count, double n, double span) {
  double w = 0.0;
  for (int j = 0; j < count; ++j) w += coefficients[j] * std::cos(2.0 * PiConstant * j * n / span);
  return w;
}

int DesignFilterKernel(int window, int filter, double alpha, int L, const double* userI, const double* userQ,
                       int userLength, int userOversampling, double* kernelI, double* kernelQ, double* diffI,
                       double* diffQ, double cutoff, double designClock) {
  if (kernelI == nullptr || kernelQ == nullptr) {
    Log_Message(1, "*** Filter kernel memory missing.");
    return 0;
  }
  ClearTables(kernelI, kernelQ, diffI, diffQ);
  if (filter < FILTER_SINC || filter > FILTER_USER) {
    Log_Message(1, "*** Unknown filter function.");
    return 0;
  }
  const double* coeffs = nullptr;
  int count = 0;
  if (!GetWindowCoefficients(&coeffs, &count, window)) return 0;
  if (L < kMinKernelLength || L > kMaxKernelLength) {
    char text[96];
    cz::SnprintfC(text, sizeof text, "*** Filter window length %d out of range (%d .. %d).", L, kMinKernelLength,
                  kMaxKernelLength);
    Log_Message(1, text);
    return 0;
  }
  const int h = (L - 1) / 2;
  const double delta = 2.0 * h / kLastTablePoint;

  if (filter == FILTER_USER) {
    if (userI == nullptr || userQ == nullptr || userLength < 1) {
      Log_Message(1, "*** User filter has no coefficients.");
      return 0;
    }
    // A kernel of zeros would filter every sample to silence, which the
    // normalisation cannot undo: such a filter is refused.
    bool anyNonZero = false;
    for (int k = 0; k < userLength; ++k) {
      if (!std::isfinite(userI[k]) || !std::isfinite(userQ[k])) {
        Log_Message(1, "*** User filter coefficients must be finite numbers.");
        return 0;
      }
      anyNonZero = anyNonZero || userI[k] != 0.0 || userQ[k] != 0.0;
    }
    if (!anyNonZero) {
      Log_Message(1, "*** User filter coefficients are all zero.");
      return 0;
    }
    if (userLength > L) {
      char text[128];
      cz::SnprintfC(text, sizeof text, "*** User filter with %d coefficients is longer than the filter window (%d).",
                    userLength, L);
      Log_Message(1, text);
      return 0;
    }
    if (userOversampling < 1) {
      Log_Message(1, "*** User filter oversampling must be 1 or more.");
      return 0;
    }
    // The user kernel, centred in the table: coefficient j lies at the tap
    // offset (j - (n - 1)/2)/userOversampling input samples, so that a
    // symmetric filter delays nothing. Each table point in its span takes
    // the cubic interpolation of the coefficients there, and the window of
    // the whole table (centred on the kernel as well).
    const double centre = 0.5 * (userLength - 1);
    for (int k = 0; k < kKernelTablePoints; ++k) {
      const double u = (k * delta - h) * userOversampling + centre;  // in coefficients
      if (u < -1e-9 || u > userLength - 1 + 1e-9) continue;
      const double w = WindowValue(coeffs, count, k, kLastTablePoint);
      kernelI[k] = InterpolateCubic(userI, userLength, u) * w;
      kernelQ[k] = InterpolateCubic(userQ, userLength, u) * w;
      // Coefficients near the largest double overflow when interpolated.
      if (!std::isfinite(kernelI[k]) || !std::isfinite(kernelQ[k])) {
        ClearTables(kernelI, kernelQ, diffI, diffQ);
        Log_Message(1, "*** User filter coefficients must be finite numbers.");
        return 0;
      }
    }
  } else {
    if (!(designClock > 0.0) || !std::isfinite(designClock)) {
      Log_Message(1, "*** Invalid filter design clock.");
      return 0;
    }
    const int shape = IsComplexFilter(filter) ? filter - 4 : filter;
    // The Gaussian's bandwidth-time product sets its width: at 0 or below
    // there is no kernel.
    if (shape == FILTER_GAUSS && !(alpha > 0.0 && std::isfinite(alpha))) {
      Log_Message(1, cz::FormatC("*** Gaussian filter BT %g is invalid: it must be above 0.", alpha).c_str());
      return 0;
    }
    const double fc = cutoff / designClock;  // cycles per input sample
    if (shape != FILTER_GAUSS && (!(fc > 0.0) || !std::isfinite(fc))) {
      Log_Message(1, "*** Invalid filter cut-off frequency.");
      return 0;
    }
    const double T = 1.0 / (2.0 * fc);
    for (int k = 0; k < kKernelTablePoints; ++k) {
      const double x = k * delta - h;
      const double t = 2.0 * PiConstant * fc * x + kTimeOffset;
      const double w = WindowValue(coeffs, count, k, kLastTablePoint);
      const double value = ShapeValue(shape, t, x, alpha, T);
      if (IsComplexFilter(filter)) {
        const double tc = filter == FILTER_CXGAUSS ? 2.0 * PiConstant * fc * x : t;
        kernelI[k] = value * std::cos(tc) * w;
        kernelQ[k] = value * std::sin(tc) * w;
      } else {
        kernelI[k] = value * w;
        kernelQ[k] = value * w;
      }
    }
  }
  // A kernel of zeros (a Gaussian far narrower than the table's spacing, say)
  // would filter every sample to silence, and one that is not finite would
  // spoil every sample: both are refused.
  bool anyNonZero = false;
  for (int k = 0; k < kKernelTablePoints; ++k) {
    if (!std::isfinite(kernelI[k]) || !std::isfinite(kernelQ[k])) {
      ClearTables(kernelI, kernelQ, diffI, diffQ);
      Log_Message(1, "*** Filter kernel is not finite: check the filter settings.");
      return 0;
    }
    anyNonZero = anyNonZero || kernelI[k] != 0.0 || kernelQ[k] != 0.0;
  }
  if (!anyNonZero) {
    Log_Message(1, "*** Filter kernel is all zero: check the filter settings.");
    return 0;
  }
  Differences(kernelI, diffI);
  Differences(kernelQ, diffQ);
  return 1;
}

int FilteredNoise(double* noiseI, double* noiseQ, int init, double bandwidth, double fs) {
  if (noiseI == nullptr || noiseQ == nullptr) return 0;
  if (init && !PulseNoise_Init(&g_noise, bandwidth, fs, 1.0)) return 0;
  // Before any initialisation the source runs silent: all its state is 0.
  PulseNoise_Run(&g_noise, 1, noiseI, noiseQ);
  return 1;
}

int CyclicConvolve(const double* x, int n, const double* taps, int L, double* y) {
  const int h = (L - 1) / 2;
  if (x == nullptr || taps == nullptr || y == nullptr || n < 1 || L < 1 || L > n) return h;
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int k = -h; k <= h; ++k) {
      int idx = (i + k) % n;
      if (idx < 0) idx += n;
      sum += x[idx] * taps[k + h];
    }
    y[i] = sum;
  }
  return h;
}
