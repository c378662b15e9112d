// The reduction of samples to the Sequence View's display points: the
// extremes of runs of samples (I, Q, magnitude, phase), their phase steps,
// the density grid of the I/Q plane, and where the points of a viewport
// begin.
#include <algorithm>
#include <cmath>

#include "editors/SequenceView.h"

// GCC's function multi-versioning; clang 14 leaves the plain name of such a
// function undefined for the other units, so there one version is built.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VIEW_REDUCE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VIEW_REDUCE_CLONES
#endif

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr double kPiD = 3.14159265358979323846;
// Samples are limited to +-16 (16 times full scale) before they are
// reduced; a value that is no number counts as 0.
constexpr float kSampleBound = 16.0f;

// atan(a) = a P(a^2) on [0, 1]: a least-squares fit on Chebyshev nodes
// (numpy), error below 6e-7 rad in single precision.
constexpr float kAtan[] = {0.999999328f, -0.333263745f, 0.198798722f, -0.134804056f,
                           0.0837415566f, -0.0368986293f, 0.00782548295f};

inline float Sane(float v) {
  const float bounded = v < kSampleBound ? v : kSampleBound;
  return v > -kSampleBound ? bounded : (v == v ? -kSampleBound : 0.0f);
}

// A phase difference moved into [-pi, pi].
inline double Wrap(double step) {
  if (step > kPiD) step -= 2.0 * kPiD;
  if (step < -kPiD) step += 2.0 * kPiD;
  return step;
}

inline int Cell(float v) {
  const float c = v < 0.0f ? 0.0f : v;
  return static_cast<int>(c < kViewDensityCells - 1 ? c : kViewDensityCells - 1);
}

inline int CellOf(float i, float q) {
  return Cell(40.0f * Sane(i) + 40.0f) * kViewDensityCells + Cell(40.0f * Sane(q) + 40.0f);
}

// Branch-free, so that the loops below run on vector registers.
inline float Phase(float q, float i) {
  const float ai = std::fabs(i), aq = std::fabs(q);
  const float hi = ai > aq ? ai : aq, lo = ai > aq ? aq : ai;
  const float a = hi > 0.0f ? lo / (hi > 0.0f ? hi : 1.0f) : 0.0f;
  const float s = a * a;
  float p = kAtan[6];
  for (int k = 5; k >= 0; --k) p = p * s + kAtan[k];
  float r = a * p;
  r = aq > ai ? 0.5f * kPi - r : r;
  r = i < 0.0f ? kPi - r : r;
  return q < 0.0f ? -r : r;
}

// Samples reduced at a time: their magnitudes and phases are made first,
// then the extremes and steps over them.
constexpr int64_t kBatch = 256;

// The extremes of n values into *lo and *hi: eight lanes compared element
// by element (on vector registers), then across the lanes.
inline void Extremes(const float* v, int64_t n, float* lo, float* hi) {
  constexpr int kLanes = 8;
  float l[kLanes], h[kLanes];
  for (int j = 0; j < kLanes; ++j) {
    l[j] = *lo;
    h[j] = *hi;
  }
  int64_t k = 0;
  for (; k + kLanes <= n; k += kLanes)
    for (int j = 0; j < kLanes; ++j) {
      l[j] = v[k + j] < l[j] ? v[k + j] : l[j];
      h[j] = v[k + j] > h[j] ? v[k + j] : h[j];
    }
  for (; k < n; ++k) {
    l[0] = v[k] < l[0] ? v[k] : l[0];
    h[0] = v[k] > h[0] ? v[k] : h[0];
  }
  for (int j = 0; j < kLanes; ++j) {
    *lo = l[j] < *lo ? l[j] : *lo;
    *hi = h[j] > *hi ? h[j] : *hi;
  }
}

}  // namespace

float ViewPhase(float q, float i) { return Phase(q, i); }

// Made twice, for processors with AVX2 (eight lanes, chosen when the
// program loads) and for any x86-64.
VIEW_REDUCE_CLONES void ViewExtent_Run(const float* iq, int64_t count, ViewExtent* out) {
  float loI = kSampleBound, hiI = -kSampleBound, loQ = kSampleBound, hiQ = -kSampleBound;
  float loMag = 2.0f * kSampleBound, hiMag = 0.0f, loPh = kPi, hiPh = -kPi;
  float previous = 0.0f, first = 0.0f;
  double steps = 0.0;
  float vi[kBatch], vq[kBatch], mag[kBatch], ph[kBatch];
  for (int64_t at = 0; at < count; at += kBatch) {
    const int64_t n = std::min(kBatch, count - at);
    const float* x = iq + 2 * at;
    for (int64_t k = 0; k < n; ++k) {
      vi[k] = Sane(x[2 * k]);
      vq[k] = Sane(x[2 * k + 1]);
    }
    for (int64_t k = 0; k < n; ++k) {
      mag[k] = std::sqrt(vi[k] * vi[k] + vq[k] * vq[k]);
      ph[k] = Phase(vq[k], vi[k]);
    }
    Extremes(vi, n, &loI, &hiI);
    Extremes(vq, n, &loQ, &hiQ);
    Extremes(mag, n, &loMag, &hiMag);
    Extremes(ph, n, &loPh, &hiPh);
    if (at == 0) first = previous = ph[0];
    // The steps between the run's samples; summed in single precision over
    // a batch (256 steps of at most pi), in double across batches.
    float sum = static_cast<float>(Wrap(static_cast<double>(ph[0]) - previous));
    for (int64_t k = 1; k < n; ++k) {
      float step = ph[k] - ph[k - 1];
      step = step > kPi ? step - 2.0f * kPi : step;
      step = step < -kPi ? step + 2.0f * kPi : step;
      sum += step;
    }
    steps += sum;
    previous = ph[n - 1];
  }
  *out = ViewExtent{loI, hiI, loQ, hiQ, loMag, hiMag, loPh, hiPh, first, previous, static_cast<float>(steps)};
}

void ViewExtent_Join(ViewExtent* a, const ViewExtent& b) {
  a->stepSum = static_cast<float>(static_cast<double>(a->stepSum) + b.stepSum +
                                  Wrap(static_cast<double>(b.firstPhase) - a->lastPhase));
  a->loI = std::min(a->loI, b.loI);
  a->hiI = std::max(a->hiI, b.hiI);
  a->loQ = std::min(a->loQ, b.loQ);
  a->hiQ = std::max(a->hiQ, b.hiQ);
  a->loMag = std::min(a->loMag, b.loMag);
  a->hiMag = std::max(a->hiMag, b.hiMag);
  a->loPhase = std::min(a->loPhase, b.loPhase);
  a->hiPhase = std::max(a->hiPhase, b.hiPhase);
  a->lastPhase = b.lastPhase;
}

int ViewDensity_Cell(float i, float q) { return CellOf(i, q); }

VIEW_REDUCE_CLONES void ViewDensity_Cells(const float* iq, int64_t count, int32_t* cells) {
  for (int64_t k = 0; k < count; ++k) cells[k] = CellOf(iq[2 * k], iq[2 * k + 1]);
}

void ViewDensity_Add(const float* iq, int64_t count, double grid[kViewDensityCells][kViewDensityCells]) {
  double* cells = &grid[0][0];
  int32_t batch[kBatch];
  for (int64_t at = 0; at < count; at += kBatch) {
    const int64_t n = std::min(kBatch, count - at);
    ViewDensity_Cells(iq + 2 * at, n, batch);
    for (int64_t k = 0; k < n; ++k) cells[batch[k]] += 1.0;
  }
}

int32_t ViewPoints_Bounds(int64_t first, int64_t span, int64_t blockAlign, int64_t start[kViewPointSlots + 1]) {
  const int64_t n = std::min<int64_t>(span, kViewPointSlots);
  start[0] = first;
  start[n] = first + span;
  for (int64_t i = 1; i < n; ++i) {
    int64_t b = first + i * span / n;
    if (blockAlign > 1) b = (b + blockAlign / 2) / blockAlign * blockAlign;
    // Every point keeps at least one sample, whatever the alignment did.
    start[i] = std::clamp(b, start[i - 1] + 1, first + span - (n - i));
  }
  return static_cast<int32_t>(n);
}

void ViewPointSum_Add(ViewPointSum* sum, const ViewExtent& run, int64_t samples) {
  if (samples <= 0) return;
  if (sum->samples == 0) {
    sum->extent = run;
    sum->steps = run.stepSum + (sum->hasPrevious ? Wrap(static_cast<double>(run.firstPhase) - sum->previousPhase) : 0.0);
  } else {
    sum->steps += Wrap(static_cast<double>(run.firstPhase) - sum->extent.lastPhase) + run.stepSum;
    ViewExtent_Join(&sum->extent, run);
  }
  sum->samples += samples;
}

void ViewPointSum_Close(ViewPointSum* sum, ViewPicture* p, int index) {
  const ViewExtent& e = sum->extent;
  p->maxI[index] = e.hiI;
  p->minI[index] = e.loI;
  p->maxQ[index] = e.hiQ;
  p->minQ[index] = e.loQ;
  p->maxMag[index] = e.hiMag;
  p->minMag[index] = e.loMag;
  p->maxPhase[index] = e.hiPhase / kPiD;
  p->minPhase[index] = e.loPhase / kPiD;
  p->meanFreq[index] = sum->samples > 0 ? sum->steps / static_cast<double>(sum->samples) / kPiD : 0.0;
  sum->hasPrevious = sum->samples > 0 || sum->hasPrevious;
  if (sum->samples > 0) sum->previousPhase = e.lastPhase;
  sum->samples = 0;
  sum->steps = 0.0;
}
