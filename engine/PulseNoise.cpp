// Block noise source of the pulse computation.
#include "engine/PulseNoise.h"

#include <cmath>
#include <cstring>

#include "engine/Random.h"
#include "engine/SignalMath.h"
#include "engine/Windows.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PULSE_NOISE_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define PULSE_NOISE_CLONES
#endif

namespace {

// Box-Muller as GaussianNoise computes it, u1 = (r1 mod 1000 + 1)/1001 and
// u2 likewise: value = sqrt(-2 ln u1) * cos(2 pi u2). Each uniform takes one
// of 1,000 values, so both factors come from tables made with the same
// expressions, and the product is the same double.
struct GaussTables {
  double radius[1000];
  double cosine[1000];
  GaussTables() {
    for (int k = 0; k < 1000; ++k) {
      const double u = (k + 1) / 1001.0;
      radius[k] = std::sqrt(-2.0 * std::log(u));
      cosine[k] = std::cos(2.0 * PiConstant * u);
    }
  }
};

const GaussTables& Tables() {
  static const GaussTables tables;
  return tables;
}

// Outputs of m successive positions of the window: out[j] = sum over the taps
// of line[j + n]*taps[n], added in tap order, then /5 and times gain.
// Sixteen outputs at a time keep their sums in two 8-lane vectors; every
// lane adds its products in the same order as the scalar sum, and nothing
// is fused, so each output is the scalar sum bit for bit.
typedef double Lanes8 __attribute__((vector_size(64)));

PULSE_NOISE_CLONES
void Filter(const double* __restrict line, const double* __restrict taps, int m, double gain,
            double* __restrict out) {
  int j = 0;
  for (; j + 16 <= m; j += 16) {
    Lanes8 a0 = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    Lanes8 a1 = a0;
    for (int n = 0; n < kPulseNoiseTaps; ++n) {
      const double t = taps[n];
      const Lanes8 tv = {t, t, t, t, t, t, t, t};
      Lanes8 x0, x1;
      std::memcpy(&x0, line + j + n, sizeof x0);
      std::memcpy(&x1, line + j + n + 8, sizeof x1);
      a0 += x0 * tv;
      a1 += x1 * tv;
    }
    a0 = a0 / 5.0 * gain;
    a1 = a1 / 5.0 * gain;
    std::memcpy(out + j, &a0, sizeof a0);
    std::memcpy(out + j + 8, &a1, sizeof a1);
  }
  for (; j < m; ++j) {
    double acc = 0.0;
    for (int n = 0; n < kPulseNoiseTaps; ++n) acc += line[j + n] * taps[n];
    out[j] = acc / 5.0 * gain;
  }
}

}  // namespace

double PulseNoise_Gaussian() {
  const GaussTables& t = Tables();
  const int r1 = RandomRand() % 1000;
  const int r2 = RandomRand() % 1000;
  return t.radius[r1] * t.cosine[r2];
}

int PulseNoise_Init(PulseNoise* noise, double bandwidth, double fs, double gain) {
  if (noise == nullptr || !(fs > 0.0) || !(bandwidth > 0.0) || bandwidth > fs / 2.0) return 0;
  for (int n = 0; n < kPulseNoiseTaps; ++n) noise->lineI[n] = PulseNoise_Gaussian();
  for (int n = 0; n < kPulseNoiseTaps; ++n) noise->lineQ[n] = PulseNoise_Gaussian();
  const double* coeffs = nullptr;
  int count = 0;
  GetWindowCoefficients(&coeffs, &count, WINDOW_RIFEVINCENT);
  for (int n = 0; n < kPulseNoiseTaps; ++n) {
    const double z = PiConstant * (bandwidth / fs) * (n - 50) + 1e-32;
    noise->taps[n] = WindowValue(coeffs, count, n, kPulseNoiseTaps - 1) * std::sin(z) / z;
  }
  noise->gain = gain;
  return 1;
}

void PulseNoise_Run(PulseNoise* noise, int m, double* outI, double* outQ) {
  if (m < 1) return;
  if (m > kPulseBlockSamples) m = kPulseBlockSamples;
  // Output j draws its I and Q numbers after it is formed; they enter the
  // window of output j + 1 and later, so they can be drawn ahead in order.
  for (int j = 0; j < m; ++j) {
    noise->lineI[kPulseNoiseTaps + j] = PulseNoise_Gaussian();
    noise->lineQ[kPulseNoiseTaps + j] = PulseNoise_Gaussian();
  }
  Filter(noise->lineI, noise->taps, m, noise->gain, outI);
  Filter(noise->lineQ, noise->taps, m, noise->gain, outQ);
  // Slide both windows on by m.
  std::memmove(noise->lineI, noise->lineI + m, sizeof(double) * kPulseNoiseTaps);
  std::memmove(noise->lineQ, noise->lineQ + m, sizeof(double) * kPulseNoiseTaps);
}
