// Signal-math routines of the engine.
#include "engine/SignalMath.h"

#include <cmath>
#include <memory>
#include <new>

#include "engine/Random.h"

void IqToMagPhase(const double* i, const double* q, unsigned n, double* mag, double* phase) {
  if (i == nullptr || q == nullptr || mag == nullptr || phase == nullptr) return;
  for (unsigned k = 0; k < n; ++k) {
    const double re = i[k];
    const double im = q[k];
    double ph;
    if (im == 0.0) {
      // The real axis is decided explicitly: the negative axis (and the
      // origin) is pi, never -pi from a negative zero.
      ph = re > 0.0 ? 0.0 : PiConstant;
    } else {
      ph = std::atan2(im, re);
    }
    mag[k] = static_cast<double>(static_cast<float>(std::sqrt(re * re + im * im)));
    phase[k] = static_cast<double>(static_cast<float>(ph));
  }
}

void MagPhaseToIq(const double* mag, const double* phase, unsigned n, double* i, double* q) {
  if (i == nullptr || q == nullptr || mag == nullptr || phase == nullptr) return;
  for (unsigned k = 0; k < n; ++k) {
    i[k] = mag[k] * std::cos(phase[k]);
    q[k] = mag[k] * std::sin(phase[k]);
  }
}

void ResampleQuadratic(const double* x, double inStep, int n, double* y, double outStep, int m) {
  if (x == nullptr || y == nullptr || m < 1) return;
  if (n < 1) {
    for (int k = 0; k < m; ++k) y[k] = 0.0;
    return;
  }
  if (n == 1 || !(inStep > 0.0) || !(outStep > 0.0)) {
    for (int k = 0; k < m; ++k) y[k] = x[0];
    return;
  }
  for (int k = 0; k < m; ++k) {
    const double p = k * outStep / inStep;
    if (p >= n - 1) {
      y[k] = x[n - 1];
      continue;
    }
    const int j = static_cast<int>(p);
    const double f = (k * outStep - j * inStep) / inStep;
    if (n == 2) {
      y[k] = x[0] + f * (x[1] - x[0]);  // two points: the straight line
    } else if (j == 0) {
      y[k] = x[0] + f * (x[1] - x[0]) + 0.5 * f * (f - 1.0) * (x[2] - 2.0 * x[1] + x[0]);
    } else if (j == n - 2) {
      y[k] = x[j] + f * (x[j + 1] - x[j]) + 0.5 * f * (f - 1.0) * (x[j + 1] - 2.0 * x[j] + x[j - 1]);
    } else {
      y[k] = x[j] + f * (x[j + 1] - x[j]) + 0.25 * f * (f - 1.0) * (x[j + 2] - x[j + 1] - x[j] + x[j - 1]);
    }
  }
}

void MakeSincKernel(int half, double a, double b, int windowed, double* h) {
  if (h == nullptr || half < 0) return;
  h[half] = 1.0;
  for (int k = 1; k <= half; ++k) {
    const double t = 2.0 * PiConstant * k * a / b;
    double value = t == 0.0 ? 1.0 : std::sin(t) / t;
    if (windowed) {
      const double u = k * PiConstant / half;
      value *= std::sin(u) / u;
    }
    h[half + k] = value;
    h[half - k] = value;
  }
}

void MakeSincKernelCentered(int length, int samplesPerSymbol, double a, double* h, double* centre) {
  if (h == nullptr || length < 1 || samplesPerSymbol == 0) return;
  const int half = (length - 1) / 2;
  for (int k = 0; k < length; ++k) h[k] = 0.0;
  MakeSincKernel(half, a / samplesPerSymbol, 1.0, 0, h);
  if (centre != nullptr) *centre = half;
}

int MakeGaussKernel(int n, int samplesPerSymbol, double bt, double* h, double* centre) {
  if (h == nullptr || n < 1 || samplesPerSymbol == 0) return n / 2;
  // Integer division toward zero, as the symbol grid is centred on whole samples.
  const int offset = n / (-2 * samplesPerSymbol);
  const double scale = (2.0 / std::log(2.0)) * bt * bt;
  for (int k = 0; k < n; ++k) {
    const double t = static_cast<double>(k) / samplesPerSymbol + offset;
    h[k] = std::exp(-scale * t * t * PiConstant * PiConstant);
  }
  if (centre != nullptr) *centre = n / 2;
  return n / 2;
}

void MakeGaussPulseKernel(int n, int samplesPerSymbol, double bt, double* h, double* centre) {
  if (h == nullptr || n < 1 || samplesPerSymbol == 0) return;
  std::unique_ptr<double[]> g(new (std::nothrow) double[n + 50]());
  if (!g) return;
  MakeGaussKernel(n, samplesPerSymbol, bt, h, nullptr);
  const int dFirst = 1 - (samplesPerSymbol + 1) / 2;
  const int dLast = samplesPerSymbol / 2;
  for (int j = 0; j < n; ++j) {
    double sum = 0.0;
    for (int d = dFirst; d <= dLast; ++d) {
      const int idx = j + d;
      if (idx < 0 || idx >= n) continue;
      if (d <= 0) {
        sum -= h[idx];
      } else {
        sum += h[idx];
      }
    }
    g[j] = sum;
  }
  for (int j = 0; j < n; ++j) h[j] = g[j];
  if (centre != nullptr) *centre = n / 2 + 0.5 - 1.0;
}

double Cot(double x) { return 1.0 / std::tan(x); }

int GaussianNoise(int n, double* out) {
  if (out == nullptr) return 0;
  for (int k = 0; k < n; ++k) {
    // u1 lies in [1/1001, 1000/1001], so the logarithm is always finite.
    const double u1 = (RandomRand() % 1000 + 1) / 1001.0;
    const double u2 = (RandomRand() % 1000 + 1) / 1001.0;
    out[k] = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * PiConstant * u2);
  }
  return 1;
}

int NormalizeRms(int n, double* x, double target) {
  if (x == nullptr || n < 1) return 1;
  double sum = 0.0;
  for (int k = 0; k < n; ++k) sum += x[k] * x[k];
  if (!(sum > 0.0)) return 1;  // silence (or NaN) has no RMS to scale
  const double g = target / std::sqrt(sum / n);
  for (int k = 0; k < n; ++k) x[k] *= g;
  return 1;
}
