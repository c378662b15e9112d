// Vectorised block kernels of the pulse computation.
#include "engine/PulseKernels.h"

#include <cmath>

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

PULSE_KERNEL_CLONES
double PulseKernel_Peak(const double* __restrict i, const double* __restrict q, int m, double peak) {
  double mag[kPulseBlockSamples];
  for (int start = 0; start < m; start += kPulseBlockSamples) {
    const int n = m - start < kPulseBlockSamples ? m - start : kPulseBlockSamples;
    for (int j = 0; j < n; ++j) mag[j] = std::sqrt(i[start + j] * i[start + j] + q[start + j] * q[start + j]);
    for (int j = 0; j < n; ++j)
      if (mag[j] > peak) peak = mag[j];
  }
  return peak;
}

void PulseKernel_PackIq(const double* __restrict first, const double* __restrict second, float* __restrict out,
                        int m) {
  for (int j = 0; j < m; ++j) {
    out[2 * j] = static_cast<float>(first[j]);
    out[2 * j + 1] = static_cast<float>(second[j]);
  }
}
