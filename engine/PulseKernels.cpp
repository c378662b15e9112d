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
#define PULSE_KERNEL_AVX2 1
#include <immintrin.h>
// The same vector variants called by name, four arguments per call in the
// AVX2 registers (the vector function ABI: argument and result in ymm0).
#pragma GCC push_options
#pragma GCC target("avx2")
extern "C" __m256d _ZGVdN4v_cos(__m256d) noexcept;
extern "C" __m256d _ZGVdN4v_sin(__m256d) noexcept;
#pragma GCC pop_options
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

#if defined(PULSE_KERNEL_AVX2)
namespace {
bool HaveAvx2();

// Four pairs per step; _mm256_cvtpd_ps rounds as the conversion to float does.
__attribute__((target("avx2"))) int PackGroupsAvx2(const double* first, const double* second, unsigned char* out,
                                                   int m) {
  int j = 0;
  for (; j + 4 <= m; j += 4) {
    const __m128 f = _mm256_cvtpd_ps(_mm256_loadu_pd(first + j));
    const __m128 s = _mm256_cvtpd_ps(_mm256_loadu_pd(second + j));
    _mm_storeu_ps(reinterpret_cast<float*>(out + 8 * j), _mm_unpacklo_ps(f, s));
    _mm_storeu_ps(reinterpret_cast<float*>(out + 8 * j + 16), _mm_unpackhi_ps(f, s));
  }
  return j;
}
}  // namespace
#endif

void PulseKernel_PackIq(const double* __restrict first, const double* __restrict second,
                        unsigned char* __restrict out, int m) {
  int j = 0;
#if defined(PULSE_KERNEL_AVX2)
  if (HaveAvx2()) j = PackGroupsAvx2(first, second, out, m);
#endif
  for (; j < m; ++j) {
    const float pair[2] = {static_cast<float>(first[j]), static_cast<float>(second[j])};
    std::memcpy(out + 8 * j, pair, 8);
  }
}

#if defined(PULSE_KERNEL_AVX2)
namespace {

bool HaveAvx2() {
  static const bool have = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
  return have;
}

// Groups of four samples of PulseKernel_LevelBlock: in the AVX2 clone of
// PulseKernel_Carrier the first 4*(m/4) samples of a block take the 4-wide
// cos and sin, as here; the product is cos*level as there.
__attribute__((target("avx2"))) void LevelGroupsAvx2(double* phiInOut, double step, double level, int groups,
                                                     bool swapIq, double* i, double* q, unsigned char* out) {
  double phi = *phiInOut;
  const __m256d zero = _mm256_setzero_pd();
  const __m256d amp = _mm256_set1_pd(level);
  for (int g = 0; g < groups; ++g) {
    const double p0 = phi + step;
    const double p1 = p0 + step;
    const double p2 = p1 + step;
    const double p3 = p2 + step;
    phi = p3;
    const __m256d phase = _mm256_add_pd(_mm256_add_pd(_mm256_setr_pd(p0, p1, p2, p3), zero), zero);
    const __m256d vi = _mm256_mul_pd(_ZGVdN4v_cos(phase), amp);
    const __m256d vq = _mm256_mul_pd(_ZGVdN4v_sin(phase), amp);
    _mm256_storeu_pd(i + 4 * g, vi);
    _mm256_storeu_pd(q + 4 * g, vq);
    const __m128 fi = _mm256_cvtpd_ps(vi);
    const __m128 fq = _mm256_cvtpd_ps(vq);
    const __m128 first = swapIq ? fq : fi;
    const __m128 second = swapIq ? fi : fq;
    _mm_storeu_ps(reinterpret_cast<float*>(out + 32 * g), _mm_unpacklo_ps(first, second));
    _mm_storeu_ps(reinterpret_cast<float*>(out + 32 * g + 16), _mm_unpackhi_ps(first, second));
  }
  *phiInOut = phi;
}

}  // namespace
#endif

bool PulseKernel_LevelBlockAvailable() {
#if defined(PULSE_KERNEL_AVX2)
  return HaveAvx2();
#else
  return false;
#endif
}

void PulseKernel_LevelBlock(double* phi, double step, double level, int m, bool swapIq, double* i, double* q,
                            unsigned char* out) {
#if defined(PULSE_KERNEL_AVX2)
  const int whole = m - m % 4;
  LevelGroupsAvx2(phi, step, level, whole / 4, swapIq, i, q, out);
  if (whole < m) {
    // The last one to three samples: the carrier kernel gives them the
    // variants they take at the end of any block.
    double phase[4], amp[4];
    for (int j = 0; j < m - whole; ++j) {
      *phi += step;
      phase[j] = *phi + 0.0 + 0.0;
      amp[j] = level;
    }
    PulseKernel_Carrier(phase, amp, i + whole, q + whole, m - whole);
    PulseKernel_PackIq(swapIq ? q + whole : i + whole, swapIq ? i + whole : q + whole, out + 8 * whole, m - whole);
  }
#else
  (void)phi, (void)step, (void)level, (void)m, (void)swapIq, (void)i, (void)q, (void)out;
#endif
}
