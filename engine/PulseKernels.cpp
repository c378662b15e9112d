// Vectorised block kernels of the pulse computation.
#include "engine/PulseKernels.h"

#include <cmath>
#include <cstring>

// The vector variants of cos and sin in the C library's vector math library
// (x86-64 vector function ABI): declaring the functions "simd" lets the
// vectoriser call _ZGVbN2v_cos / _ZGVdN4v_cos and the like for whole
// vectors of arguments, without fast-math.
extern "C" {
__attribute__((simd("notinbranch"))) double cos(double) noexcept;
__attribute__((simd("notinbranch"))) double sin(double) noexcept;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PULSE_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PULSE_KERNEL_CLONES
#endif

// Cosine and sine run in two loops: one loop holding both would be merged
// into scalar sincos calls before vectorisation.
PULSE_KERNEL_CLONES
void PulseKernel_Carrier(const double* __restrict phase, const double* __restrict amp, double* __restrict i,
                         double* __restrict q, int m) {
  for (int j = 0; j < m; ++j) i[j] = amp[j] * cos(phase[j]);
  for (int j = 0; j < m; ++j) q[j] = amp[j] * sin(phase[j]);
}

// The maximum is exact whatever the order of the comparisons, so four lanes
// keep running maxima that are merged at the end. A NaN magnitude never
// compares greater and so never replaces a lane's maximum.
typedef double Lanes4 __attribute__((vector_size(32)));

PULSE_KERNEL_CLONES
double PulseKernel_Peak(const double* __restrict i, const double* __restrict q, int m, double peak) {
  double mag[kPulseBlockSamples];
  Lanes4 best = {peak, peak, peak, peak};
  for (int start = 0; start < m; start += kPulseBlockSamples) {
    const int n = m - start < kPulseBlockSamples ? m - start : kPulseBlockSamples;
    for (int j = 0; j < n; ++j) mag[j] = std::sqrt(i[start + j] * i[start + j] + q[start + j] * q[start + j]);
    int j = 0;
    for (; j + 4 <= n; j += 4) {
      Lanes4 v;
      std::memcpy(&v, mag + j, sizeof v);
      best = v > best ? v : best;
    }
    for (; j < n; ++j)
      if (mag[j] > peak) peak = mag[j];
  }
  for (int k = 0; k < 4; ++k)
    if (best[k] > peak) peak = best[k];
  return peak;
}

void PulseKernel_PackIq(const double* __restrict first, const double* __restrict second,
                        unsigned char* __restrict out, int m) {
  for (int j = 0; j < m; ++j) {
    const float pair[2] = {static_cast<float>(first[j]), static_cast<float>(second[j])};
    std::memcpy(out + 8 * j, pair, 8);
  }
}
