// Vectorised block kernels of the pulse computation.
#include "engine/PulseKernels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PULSE_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#define PULSE_KERNEL_AVX2 1
#include <immintrin.h>
// The vector variants of cos and sin in the C library's vector math library,
// called by name (x86-64 vector function ABI: arguments and results in the
// vector registers): two per call in SSE2 registers, four in AVX2 ones.
extern "C" __m128d _ZGVbN2v_cos(__m128d) noexcept;
extern "C" __m128d _ZGVbN2v_sin(__m128d) noexcept;
#pragma GCC push_options
#pragma GCC target("avx2")
extern "C" __m256d _ZGVdN4v_cos(__m256d) noexcept;
extern "C" __m256d _ZGVdN4v_sin(__m256d) noexcept;
#pragma GCC pop_options
#else
#define PULSE_KERNEL_CLONES
#endif

namespace {

// Single cos and sin calls kept apart, so that the compiler never merges
// them into one sincos call (a function of its own).
__attribute__((noinline)) double ScalarCos(double x) { return std::cos(x); }
__attribute__((noinline)) double ScalarSin(double x) { return std::sin(x); }

#if defined(PULSE_KERNEL_AVX2)
bool HaveAvx2();

// With AVX2: four samples per call, then two, then one.
__attribute__((target("avx2"))) void CarrierAvx2(const double* phase, const double* amp, double* i, double* q,
                                                 int m) {
  int j = 0;
  for (; j + 4 <= m; j += 4) {
    const __m256d x = _mm256_loadu_pd(phase + j);
    const __m256d a = _mm256_loadu_pd(amp + j);
    _mm256_storeu_pd(i + j, _mm256_mul_pd(_ZGVdN4v_cos(x), a));
    _mm256_storeu_pd(q + j, _mm256_mul_pd(_ZGVdN4v_sin(x), a));
  }
  if (m - j >= 2) {
    const __m128d x = _mm_loadu_pd(phase + j);
    const __m128d a = _mm_loadu_pd(amp + j);
    _mm_storeu_pd(i + j, _mm_mul_pd(_ZGVbN2v_cos(x), a));
    _mm_storeu_pd(q + j, _mm_mul_pd(_ZGVbN2v_sin(x), a));
    j += 2;
  }
  if (j < m) {
    i[j] = ScalarCos(phase[j]) * amp[j];
    q[j] = ScalarSin(phase[j]) * amp[j];
  }
}

// Without: two samples per call, then one.
void CarrierSse2(const double* phase, const double* amp, double* i, double* q, int m) {
  int j = 0;
  for (; j + 2 <= m; j += 2) {
    const __m128d x = _mm_loadu_pd(phase + j);
    const __m128d a = _mm_loadu_pd(amp + j);
    _mm_storeu_pd(i + j, _mm_mul_pd(_ZGVbN2v_cos(x), a));
    _mm_storeu_pd(q + j, _mm_mul_pd(_ZGVbN2v_sin(x), a));
  }
  if (j < m) {
    i[j] = ScalarCos(phase[j]) * amp[j];
    q[j] = ScalarSin(phase[j]) * amp[j];
  }
}
#endif

}  // namespace

// The same calls for every sample whatever the compiler's optimisation, so
// that every build of the program computes the same carrier.
void PulseKernel_Carrier(const double* __restrict phase, const double* __restrict amp, double* __restrict i,
                         double* __restrict q, int m) {
#if defined(PULSE_KERNEL_AVX2)
  if (HaveAvx2()) CarrierAvx2(phase, amp, i, q, m);
  else CarrierSse2(phase, amp, i, q, m);
#else
  for (int j = 0; j < m; ++j) i[j] = amp[j] * ScalarCos(phase[j]);
  for (int j = 0; j < m; ++j) q[j] = amp[j] * ScalarSin(phase[j]);
#endif
}

// The maximum is exact whatever the order of the comparisons, so four lanes
// keep running maxima that are merged at the end. A NaN magnitude never
// compares greater and so never replaces a lane's maximum.
typedef double Lanes4 __attribute__((vector_size(32)));

// The square root is monotonic, so the largest magnitude is the root of the
// largest I^2 + Q^2: one root per block.
PULSE_KERNEL_CLONES
double PulseKernel_Peak(const double* __restrict i, const double* __restrict q, int m, double peak) {
  double square[kPulseBlockSamples];
  Lanes4 best = {0.0, 0.0, 0.0, 0.0};
  double largest = 0.0;
  for (int start = 0; start < m; start += kPulseBlockSamples) {
    const int n = m - start < kPulseBlockSamples ? m - start : kPulseBlockSamples;
    for (int j = 0; j < n; ++j) square[j] = i[start + j] * i[start + j] + q[start + j] * q[start + j];
    int j = 0;
    for (; j + 4 <= n; j += 4) {
      Lanes4 v;
      std::memcpy(&v, square + j, sizeof v);
      best = v > best ? v : best;
    }
    for (; j < n; ++j)
      if (square[j] > largest) largest = square[j];
  }
  for (int k = 0; k < 4; ++k)
    if (best[k] > largest) largest = best[k];
  const double magnitude = std::sqrt(largest);
  return magnitude > peak ? magnitude : peak;
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

int64_t PulseKernel_PhaseRun(double phi, double step, double* delta) {
  // phi lies in the binade [2^(e-1), 2^e) of its magnitude, where doubles
  // are the multiples of u = 2^(e-53); so is phi + step, rounded, as long as
  // it stays inside, and rounding to those multiples commutes with adding
  // phi, itself one of them. A step exactly between two multiples would
  // round to the even one, which depends on phi: no run then.
  const double magnitude = std::fabs(phi);
  if (!(magnitude >= 0x1p-900 && magnitude < 0x1p900) || !std::isfinite(step)) return 0;
  int e = 0;
  std::frexp(magnitude, &e);
  const double u = std::ldexp(1.0, e - 53);
  const double units = step / u;  // exact: a power of two apart
  if (!(std::fabs(units) < 0x1p52)) return 0;
  const double whole = std::nearbyint(units);
  if (std::fabs(units - whole) == 0.5) return 0;
  *delta = whole * u;
  // Whole steps before the phase would leave the binade, with one unit of
  // margin at its lower end: the sum before rounding, within half a unit of
  // the rounded phase, then stays inside too.
  const int64_t at = static_cast<int64_t>(magnitude / u);  // 2^52 .. 2^53 - 1
  const bool outward = (units > 0) == (phi > 0);
  const int64_t room = outward ? (int64_t{1} << 53) - 1 - at : at - (int64_t{1} << 52) - 1;
  if (room < 0) return 0;
  const int64_t stepUnits = static_cast<int64_t>(std::fabs(whole));
  return stepUnits == 0 ? INT64_MAX : room / stepUnits;
}

void PulseKernel_AdvancePhase(double* phi, double step, int64_t m) {
  double p = *phi;
  while (m > 0) {
    double delta = 0.0;
    const int64_t run = PulseKernel_PhaseRun(p, step, &delta);
    if (run >= 2) {
      const int64_t k = std::min(run, m);
      p = p + static_cast<double>(k) * delta;
      m -= k;
    } else {
      p += step;
      --m;
    }
  }
  *phi = p;
}

#if defined(PULSE_KERNEL_AVX2)
namespace {

bool HaveAvx2() {
  static const bool have = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
  return have;
}

bool HaveAvx2Fma() {
  static const bool have = HaveAvx2() && __builtin_cpu_supports("fma") != 0;
  return have;
}

// lo + hi*z.
__attribute__((target("avx2,fma"))) inline __m256d Pair(__m256d z, double lo, double hi) {
  return _mm256_fmadd_pd(_mm256_set1_pd(hi), z, _mm256_set1_pd(lo));
}

// Cosine and sine of four phases |x| <= 2^20 (checked by the caller): the
// quadrant k = round(x*2/pi), r = x - k*pi/2 with pi/2 in three parts
// (fused multiply-adds, so that every product is exact), and the Taylor
// series of sin r and cos r to the 17th and 18th power (|r| <= pi/4 + a
// rounding: the first term left out is below 1e-19), evaluated by Estrin's
// scheme: within a few units of 2^-53 of the true values, as the C
// library's vector functions are.
__attribute__((target("avx2,fma"))) inline void FastSinCos(__m256d x, __m256d* sine, __m256d* cosine) {
  const __m256d k = _mm256_round_pd(_mm256_mul_pd(x, _mm256_set1_pd(0.6366197723675814)),
                                    _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m256d r = _mm256_fnmadd_pd(k, _mm256_set1_pd(1.5707963267948966), x);
  r = _mm256_fnmadd_pd(k, _mm256_set1_pd(6.123233995736766e-17), r);
  r = _mm256_fnmadd_pd(k, _mm256_set1_pd(-1.4973849048591698e-33), r);
  // The two series in r^2 by Estrin's scheme (short dependency chains).
  const __m256d z = _mm256_mul_pd(r, r);
  const __m256d z2 = _mm256_mul_pd(z, z);
  const __m256d z4 = _mm256_mul_pd(z2, z2);
  const __m256d s01 = Pair(z, -0.16666666666666666, 0.008333333333333333);
  const __m256d s23 = Pair(z, -0.0001984126984126984, 2.7557319223985893e-06);
  const __m256d s45 = Pair(z, -2.505210838544172e-08, 1.6059043836821613e-10);
  const __m256d s67 = Pair(z, -7.647163731819816e-13, 2.8114572543455206e-15);
  const __m256d ps = _mm256_fmadd_pd(_mm256_fmadd_pd(s67, z2, s45), z4, _mm256_fmadd_pd(s23, z2, s01));
  const __m256d s = _mm256_fmadd_pd(_mm256_mul_pd(ps, z), r, r);
  const __m256d c01 = Pair(z, -0.5, 0.041666666666666664);
  const __m256d c23 = Pair(z, -0.001388888888888889, 2.48015873015873e-05);
  const __m256d c45 = Pair(z, -2.755731922398589e-07, 2.08767569878681e-09);
  const __m256d c67 = Pair(z, -1.1470745597729725e-11, 4.779477332387385e-14);
  const __m256d c8 = _mm256_set1_pd(-1.5619206968586225e-16);
  const __m256d pc = _mm256_fmadd_pd(_mm256_fmadd_pd(_mm256_fmadd_pd(c8, z2, c67), z2, c45), z4,
                                     _mm256_fmadd_pd(c23, z2, c01));
  const __m256d c = _mm256_fmadd_pd(pc, z, _mm256_set1_pd(1.0));
  // Quadrant q = k mod 4: sin x = s, c, -s, -c and cos x = c, -s, -c, s.
  const __m256i q = _mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(k));
  const __m256d odd = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(q, _mm256_set1_epi64x(1)),
                                                              _mm256_set1_epi64x(1)));
  const __m256i sign = _mm256_set1_epi64x(INT64_MIN);
  const __m256d sinSign = _mm256_castsi256_pd(_mm256_and_si256(_mm256_slli_epi64(q, 62), sign));
  const __m256d cosSign =
      _mm256_castsi256_pd(_mm256_and_si256(_mm256_slli_epi64(_mm256_add_epi64(q, _mm256_set1_epi64x(1)), 62), sign));
  *sine = _mm256_xor_pd(_mm256_blendv_pd(s, c, odd), sinSign);
  *cosine = _mm256_xor_pd(_mm256_blendv_pd(c, s, odd), cosSign);
}

// The float32 values of four products, each certain: every double within
// `margin` (2^-44 times the level) of the product rounds to the same
// float32. The product of the C library's cosine or sine then rounds to it
// too: it lies far closer than that to ours (2^-48.4 at most, measured over
// 2*10^8 phases of all sizes, against 2^-47 that the turns below may add).
// A mask bit is cleared for each value that is not certain.
__attribute__((target("avx2,fma"))) inline __m128 CertainFloats(__m256d y, __m256d margin, int* certain) {
  const __m128 f = _mm256_cvtpd_ps(y);
  const __m128i lo = _mm_castps_si128(_mm256_cvtpd_ps(_mm256_sub_pd(y, margin)));
  const __m128i hi = _mm_castps_si128(_mm256_cvtpd_ps(_mm256_add_pd(y, margin)));
  const __m128i same = _mm_and_si128(_mm_cmpeq_epi32(lo, _mm_castps_si128(f)), _mm_cmpeq_epi32(hi, _mm_castps_si128(f)));
  *certain &= _mm_movemask_ps(_mm_castsi128_ps(same));
  return f;
}

// The running phases of `groups` groups of four samples into phase[]: in
// runs of PulseKernel_PhaseRun where it can (no chain of additions), else
// step by step. Each phase + 0.0 + 0.0, as the step-by-step loop forms it.
// turn[g] is 4*delta where group g's phases are exactly those of group g-1
// plus 4*delta (one run), else 0.0 (flagged by follows[g] = 0).
__attribute__((target("avx2,fma"))) void LevelPhasesAvx2(double* phiInOut, double step, int groups, double* phase,
                                                         double* turn, unsigned char* follows) {
  double phi = *phiInOut;
  const __m256d zero = _mm256_setzero_pd();
  const __m256d four = _mm256_set1_pd(4.0);
  for (int g = 0; g < groups;) {
    double delta = 0.0;
    const int64_t run = PulseKernel_PhaseRun(phi, step, &delta);
    if (run >= 4) {
      // phi + k*delta is exact: k*delta is a whole multiple of the phase's
      // last place, and the sum stays in its binade.
      const int64_t n = std::min<int64_t>(run / 4, groups - g);
      const __m256d base = _mm256_set1_pd(phi);
      const __m256d d = _mm256_set1_pd(delta);
      __m256d counts = _mm256_setr_pd(1.0, 2.0, 3.0, 4.0);
      for (int64_t k = 0; k < n; ++k, ++g) {
        _mm256_storeu_pd(phase + 4 * g,
                         _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(base, _mm256_mul_pd(counts, d)), zero), zero));
        counts = _mm256_add_pd(counts, four);
        turn[g] = 4.0 * delta;
        follows[g] = k > 0 ? 1 : 0;
      }
      phi = phi + static_cast<double>(4 * n) * delta;
    } else {
      for (int j = 0; j < 4; ++j) {
        phi += step;
        phase[4 * g + j] = phi + 0.0 + 0.0;
      }
      turn[g] = 0.0;
      follows[g] = 0;
      ++g;
    }
  }
  *phiInOut = phi;
}

// Groups of four samples of PulseKernel_LevelBlock: in the AVX2 clone of
// PulseKernel_Carrier the first 4*(m/4) samples of a block take the 4-wide
// cos and sin, as here; the product is cos*level as there. Without i and q
// (nobody needs the doubles) the groups first take FastSinCos, and those
// whose float32 values are not all certain the library's functions after.
// Within a run of exact phase steps the cosines and sines of a group are
// those of the group before turned by 4*delta (a rotation: four products),
// taken afresh from FastSinCos every kFreshGroups groups: each turn adds at
// most about 2^-51, sixteen of them 2^-47, inside the margin of the float32
// check.
constexpr int kFreshGroups = 16;

__attribute__((target("avx2,fma"))) void LevelGroupsAvx2(double* phiInOut, double step, double level, int groups,
                                                         bool swapIq, double* i, double* q, unsigned char* out,
                                                         bool near = false) {
  alignas(32) double phase[kPulseBlockSamples];
  double turn[kPulseBlockSamples / 4];
  unsigned char follows[kPulseBlockSamples / 4];
  LevelPhasesAvx2(phiInOut, step, groups, phase, turn, follows);
  const __m256d amp = _mm256_set1_pd(level);
  const __m256d margin = _mm256_set1_pd(std::fabs(level) * 0x1p-44);
  const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(INT64_MAX));
  const __m256d fastLimit = _mm256_set1_pd(0x1p20);
  auto store = [&](int g, __m128 fi, __m128 fq) {
    if (out == nullptr) return;
    const __m128 first = swapIq ? fq : fi;
    const __m128 second = swapIq ? fi : fq;
    _mm_storeu_ps(reinterpret_cast<float*>(out + 32 * g), _mm_unpacklo_ps(first, second));
    _mm_storeu_ps(reinterpret_cast<float*>(out + 32 * g + 16), _mm_unpackhi_ps(first, second));
  };
  // A level of zero (or so small that its margin is none) has products
  // whose sign alone is the cosine's: those go to the library's functions.
  uint64_t uncertain[kPulseBlockSamples / 4 / 64 + 1] = {};
  // With `near` the doubles themselves come from the fast functions.
  const bool fast = (i == nullptr || near) && std::fabs(level) >= 0x1p-900;
  __m256d sine = _mm256_setzero_pd(), cosine = _mm256_setzero_pd();
  __m256d turnSine = _mm256_setzero_pd(), turnCosine = _mm256_set1_pd(1.0);
  double turning = 0.0;  // the angle of turnSine / turnCosine
  int fresh = 0;         // groups since the last fresh FastSinCos
  for (int g = 0; g < groups; ++g) {
    if (!fast) {
      uncertain[g / 64] |= uint64_t{1} << (g % 64);
      continue;
    }
    const __m256d x = _mm256_load_pd(phase + 4 * g);
    if (follows[g] != 0 && fresh < kFreshGroups) {
      if (turn[g] != turning) {
        turning = turn[g];
        FastSinCos(_mm256_set1_pd(turning), &turnSine, &turnCosine);
      }
      const __m256d c = _mm256_fmsub_pd(cosine, turnCosine, _mm256_mul_pd(sine, turnSine));
      sine = _mm256_fmadd_pd(sine, turnCosine, _mm256_mul_pd(cosine, turnSine));
      cosine = c;
      ++fresh;
    } else {
      FastSinCos(x, &sine, &cosine);
      fresh = 1;
    }
    int certain = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_and_pd(x, magnitude), fastLimit, _CMP_LE_OQ));
    if (near) {
      _mm256_storeu_pd(i + 4 * g, _mm256_mul_pd(cosine, amp));
      _mm256_storeu_pd(q + 4 * g, _mm256_mul_pd(sine, amp));
      if (certain != 0xF) uncertain[g / 64] |= uint64_t{1} << (g % 64);
      continue;
    }
    const __m128 fi = CertainFloats(_mm256_mul_pd(cosine, amp), margin, &certain);
    const __m128 fq = CertainFloats(_mm256_mul_pd(sine, amp), margin, &certain);
    store(g, fi, fq);
    if (certain != 0xF) uncertain[g / 64] |= uint64_t{1} << (g % 64);
  }
  for (int w = 0; w * 64 < groups; ++w) {
    for (uint64_t bits = uncertain[w]; bits != 0; bits &= bits - 1) {
      const int g = 64 * w + __builtin_ctzll(bits);
      const __m256d x = _mm256_load_pd(phase + 4 * g);
      const __m256d vi = _mm256_mul_pd(_ZGVdN4v_cos(x), amp);
      const __m256d vq = _mm256_mul_pd(_ZGVdN4v_sin(x), amp);
      if (i != nullptr) {
        _mm256_storeu_pd(i + 4 * g, vi);
        _mm256_storeu_pd(q + 4 * g, vq);
      }
      store(g, _mm256_cvtpd_ps(vi), _mm256_cvtpd_ps(vq));
    }
  }
}

}  // namespace
#endif

bool PulseKernel_LevelBlockAvailable() {
#if defined(PULSE_KERNEL_AVX2)
  return HaveAvx2Fma();
#else
  return false;
#endif
}

#if defined(PULSE_KERNEL_AVX2)
namespace {

void LevelBlock(double* phi, double step, double level, int m, bool swapIq, double* i, double* q, unsigned char* out,
                bool near) {
  const int whole = m - m % 4;
  LevelGroupsAvx2(phi, step, level, whole / 4, swapIq, i, q, out, near);
  if (whole < m) {
    // The last one to three samples: the carrier kernel gives them the
    // variants they take at the end of any block.
    double phase[4], amp[4], ti[4], tq[4];
    for (int j = 0; j < m - whole; ++j) {
      *phi += step;
      phase[j] = *phi + 0.0 + 0.0;
      amp[j] = level;
    }
    PulseKernel_Carrier(phase, amp, ti, tq, m - whole);
    if (out != nullptr) PulseKernel_PackIq(swapIq ? tq : ti, swapIq ? ti : tq, out + 8 * whole, m - whole);
    if (i != nullptr) {
      std::memcpy(i + whole, ti, 8 * static_cast<size_t>(m - whole));
      std::memcpy(q + whole, tq, 8 * static_cast<size_t>(m - whole));
    }
  }
}

}  // namespace
#endif

void PulseKernel_LevelBlock(double* phi, double step, double level, int m, bool swapIq, double* i, double* q,
                            unsigned char* out) {
#if defined(PULSE_KERNEL_AVX2)
  LevelBlock(phi, step, level, m, swapIq, i, q, out, false);
#else
  (void)phi, (void)step, (void)level, (void)m, (void)swapIq, (void)i, (void)q, (void)out;
#endif
}

void PulseKernel_LevelCarrier(double* phi, double step, double level, int m, double* i, double* q) {
#if defined(PULSE_KERNEL_AVX2)
  LevelBlock(phi, step, level, m, false, i, q, nullptr, true);
#else
  (void)phi, (void)step, (void)level, (void)m, (void)i, (void)q;
#endif
}
