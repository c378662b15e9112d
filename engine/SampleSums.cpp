// One-pass statistics of the final samples (see SampleSums.h).
#include "engine/SampleSums.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "wavelib/WaveLib.h"

namespace {

// One sample into lane l; the same operations as the vector path, in the
// same order (std::min and std::max keep the old value for a NaN).
inline void AddOne(SquareSum& s, const unsigned char* pair, int l) {
  float v[2];
  std::memcpy(v, pair, 8);
  const double i = v[0], q = v[1];
  const double p = i * i + q * q;
  s.lane[l] += p;
  s.largest[l] = std::max(s.largest[l], p);
  s.lo[2 * l] = std::min(s.lo[2 * l], v[0]);
  s.hi[2 * l] = std::max(s.hi[2 * l], v[0]);
  s.lo[2 * l + 1] = std::min(s.lo[2 * l + 1], v[1]);
  s.hi[2 * l + 1] = std::max(s.hi[2 * l + 1], v[1]);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define SAMPLE_SUMS_AVX2 1

// Groups of four samples whose first sample lies in lane 0; returns how
// many samples were taken (a multiple of 4). The squares of a group are
// paired by _mm256_hadd_pd into lane order 0, 2, 1, 3, in which the sums
// and maxima are kept here. min_ps(x, lo) is (x < lo ? x : lo) and
// max_ps(x, hi) is (x > hi ? x : hi), as std::min(lo, x) and std::max(hi, x).
__attribute__((target("avx2"))) int64_t AddGroupsAvx2(SquareSum& s, const unsigned char* iq, int64_t count) {
  __m256d sum = _mm256_setr_pd(s.lane[0], s.lane[2], s.lane[1], s.lane[3]);
  __m256d best = _mm256_setr_pd(s.largest[0], s.largest[2], s.largest[1], s.largest[3]);
  __m256 lo = _mm256_loadu_ps(s.lo);
  __m256 hi = _mm256_loadu_ps(s.hi);
  int64_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m256 v = _mm256_loadu_ps(reinterpret_cast<const float*>(iq + 8 * k));
    lo = _mm256_min_ps(v, lo);
    hi = _mm256_max_ps(v, hi);
    const __m256d a = _mm256_cvtps_pd(_mm256_castps256_ps128(v));
    const __m256d b = _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1));
    const __m256d p = _mm256_hadd_pd(_mm256_mul_pd(a, a), _mm256_mul_pd(b, b));
    sum = _mm256_add_pd(sum, p);
    best = _mm256_max_pd(p, best);
  }
  double out[4];
  _mm256_storeu_pd(out, sum);
  s.lane[0] = out[0], s.lane[2] = out[1], s.lane[1] = out[2], s.lane[3] = out[3];
  _mm256_storeu_pd(out, best);
  s.largest[0] = out[0], s.largest[2] = out[1], s.largest[1] = out[2], s.largest[3] = out[3];
  _mm256_storeu_ps(s.lo, lo);
  _mm256_storeu_ps(s.hi, hi);
  return k;
}

bool HaveAvx2() {
  static const bool have = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
  return have;
}
#endif

}  // namespace

void SquareSum::Add(const void* data, int64_t count) {
  const unsigned char* iq = static_cast<const unsigned char*>(data);
  int64_t k = 0;
  for (; k < count && next % 4 != 0; ++k, ++next) AddOne(*this, iq + 8 * k, static_cast<int>(next % 4));
  int64_t groups = 0;
#if defined(SAMPLE_SUMS_AVX2)
  if (HaveAvx2()) groups = AddGroupsAvx2(*this, iq + 8 * k, count - k);
#endif
  k += groups;
  next += groups;
  for (; k < count; ++k, ++next) AddOne(*this, iq + 8 * k, static_cast<int>(next % 4));
}

namespace {

// n sums lane = fl(lane + p), one after the other, for squares p that may be
// anywhere in pLo .. pHi: into *lane where every result is certain; false
// (lane unchanged) otherwise. A lane is a multiple of its last place u, so
// fl(lane + p) = lane + k u for every p with p/u in (k - 1/2, k + 1/2), as
// long as the sum stays in the lane's binade: those adds are taken at once.
bool AddRunToLane(double* lane, int64_t n, double pLo, double pHi) {
  // Zeros leave a lane of zero or more as it is.
  if (pLo == 0.0 && pHi == 0.0 && !std::signbit(*lane)) return true;
  double L = *lane;
  while (n > 0) {
    const double a = L + pLo;
    const double b = L + pHi;
    if (a != b || !std::isfinite(a)) return false;
    if (L >= 0x1p-900 && L < 0x1p1000) {
      int e = 0;
      std::frexp(L, &e);  // L in [2^(e-1), 2^e)
      const double u = std::ldexp(1.0, e - 53);
      const double lo = pLo / u, hi = pHi / u;  // exact: u is a power of two
      const double k = std::nearbyint(lo);
      if (lo > k - 0.5 && hi < k + 0.5 && k >= 0.0 && k < 0x1p52) {
        const int64_t units = static_cast<int64_t>(L / u);  // 2^52 .. 2^53 - 1
        const int64_t step = static_cast<int64_t>(k);
        const int64_t fit = step == 0 ? n : ((int64_t{1} << 53) - 1 - units) / step;
        const int64_t take = std::min(n, fit);
        if (take > 0) {
          L = static_cast<double>(units + take * step) * u;
          n -= take;
          continue;
        }
      }
    }
    // One add, certain by itself.
    L = a;
    --n;
  }
  *lane = L;
  return true;
}

}  // namespace

void SquareSum::AddConstant(float i, float q, int64_t count) {
  if (count <= 0) return;
  const double di = i, dq = q;
  const double p = di * di + dq * dq;
  for (int l = 0; l < 4; ++l) {
    // Samples of the run that fall into lane l.
    const int64_t first = (l - next % 4 + 4) % 4;
    if (first >= count) continue;
    const int64_t n = (count - first + 3) / 4;
    AddRunToLane(&lane[l], n, p, p);  // exact squares: always certain
    largest[l] = std::max(largest[l], p);
    lo[2 * l] = std::min(lo[2 * l], i);
    hi[2 * l] = std::max(hi[2 * l], i);
    lo[2 * l + 1] = std::min(lo[2 * l + 1], q);
    hi[2 * l + 1] = std::max(hi[2 * l + 1], q);
  }
  next += count;
}

bool SquareSum::AddBounded(int64_t count, double pLo, double pHi) {
  if (count <= 0) return true;
  if (!(pLo > 0.0 && pLo <= pHi)) return false;
  double lanes[4] = {lane[0], lane[1], lane[2], lane[3]};
  for (int l = 0; l < 4; ++l) {
    const int64_t first = (l - next % 4 + 4) % 4;
    if (first >= count) continue;
    const int64_t n = (count - first + 3) / 4;
    // A square that might be the lane's largest is not known well enough.
    if (!(largest[l] >= pHi) || !AddRunToLane(&lanes[l], n, pLo, pHi)) return false;
  }
  for (int l = 0; l < 4; ++l) lane[l] = lanes[l];
  next += count;
  return true;
}

bool SquareSum::AddBoundedClasses(int64_t count, int64_t classes, int64_t phase, const double* pLo,
                                  const double* pHi) {
  if (count <= 0) return true;
  if (classes < 1) return false;
  for (int64_t c = 0; c < classes; ++c)
    if (!(pLo[c] >= 0.0 && pLo[c] <= pHi[c])) return false;
  double lanes[4] = {lane[0], lane[1], lane[2], lane[3]};
  std::vector<int64_t> seen(static_cast<size_t>(classes));
  for (int l = 0; l < 4; ++l) {
    const int64_t first = (l - next % 4 + 4) % 4;
    if (first >= count) continue;
    const int64_t n = (count - first + 3) / 4;
    // The lane's classes repeat after `cycle` of its samples: how often
    // each comes.
    const int64_t cycle = classes / std::gcd<int64_t>(classes, 4);
    std::fill(seen.begin(), seen.end(), 0);
    for (int64_t i = 0; i < std::min(n, cycle); ++i) {
      const int64_t c = (phase + first + 4 * i) % classes;
      seen[static_cast<size_t>(c)] += n / cycle + (i < n % cycle ? 1 : 0);
    }
    double L = lanes[l];
    bool whole = L >= 0x1p-900 && L < 0x1p1000;
    int64_t units = 0, total = 0;
    double u = 0.0;
    if (whole) {
      int e = 0;
      std::frexp(L, &e);
      u = std::ldexp(1.0, e - 53);
      units = static_cast<int64_t>(L / u);
    }
    for (int64_t c = 0; c < classes && whole; ++c) {
      if (seen[static_cast<size_t>(c)] == 0) continue;
      if (!(largest[l] >= pHi[c])) return false;
      const double lo = pLo[c] / u, hi = pHi[c] / u;
      const double k = std::nearbyint(lo);
      whole = lo > k - 0.5 && hi < k + 0.5 && k >= 0.0 && k < 0x1p40;
      if (whole) total += seen[static_cast<size_t>(c)] * static_cast<int64_t>(k);
    }
    if (whole && units + total <= (int64_t{1} << 53) - 1) {
      // Every add of the lane is its class's whole number of units.
      lanes[l] = static_cast<double>(units + total) * u;
      continue;
    }
    // One add after the other, each certain by itself.
    for (int64_t i = 0; i < n; ++i) {
      const int64_t c = (phase + first + 4 * i) % classes;
      if (!(largest[l] >= pHi[c])) return false;
      const double a = L + pLo[c], b = L + pHi[c];
      if (a != b) return false;
      L = a;
    }
    lanes[l] = L;
  }
  for (int l = 0; l < 4; ++l) lane[l] = lanes[l];
  next += count;
  return true;
}

double SquareSum::Peak() const {
  double m = largest[0];
  for (int l = 1; l < 4; ++l) m = std::max(m, largest[l]);
  return std::sqrt(m);
}

bool SquareSum::Silent() const {
  for (int k = 0; k < 8; ++k)
    if (WaveLib_SampleToInt16(lo[k]) != 0 || WaveLib_SampleToInt16(hi[k]) != 0) return false;
  return true;
}
