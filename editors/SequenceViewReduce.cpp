// The reduction of samples to the Sequence View's display points: the
// extremes of runs of samples (I, Q, magnitude, phase), their phase steps,
// the density grid of the I/Q plane, and where the points of a viewport
// begin.
#include <algorithm>
#include <cmath>

#include "editors/SequenceView.h"

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
  if (v > -kSampleBound) return v < kSampleBound ? v : kSampleBound;
  return v == v ? -kSampleBound : 0.0f;
}

// A phase difference moved into [-pi, pi].
inline double Wrap(double step) {
  if (step > kPiD) step -= 2.0 * kPiD;
  if (step < -kPiD) step += 2.0 * kPiD;
  return step;
}

inline int Cell(double v) {
  if (v >= kViewDensityCells - 1) return kViewDensityCells - 1;
  return v >= 0.0 ? static_cast<int>(v) : 0;
}

}  // namespace

float ViewPhase(float q, float i) {
  const float ai = std::fabs(i), aq = std::fabs(q);
  const float hi = ai > aq ? ai : aq;
  const float a = hi > 0.0f ? (ai > aq ? aq : ai) / hi : 0.0f;
  const float s = a * a;
  float p = kAtan[6];
  for (int k = 5; k >= 0; --k) p = p * s + kAtan[k];
  float r = a * p;
  if (aq > ai) r = 0.5f * kPi - r;
  if (i < 0.0f) r = kPi - r;
  return q < 0.0f ? -r : r;
}

void ViewExtent_Run(const float* iq, int64_t count, ViewExtent* out) {
  float i = Sane(iq[0]), q = Sane(iq[1]);
  float mag = std::sqrt(i * i + q * q);
  float phase = ViewPhase(q, i);
  float loI = i, hiI = i, loQ = q, hiQ = q, loMag = mag, hiMag = mag, loPh = phase, hiPh = phase;
  const float first = phase;
  double steps = 0.0;
  for (int64_t k = 1; k < count; ++k) {
    i = Sane(iq[2 * k]);
    q = Sane(iq[2 * k + 1]);
    mag = std::sqrt(i * i + q * q);
    const float previous = phase;
    phase = ViewPhase(q, i);
    steps += Wrap(static_cast<double>(phase) - previous);
    loI = i < loI ? i : loI;
    hiI = i > hiI ? i : hiI;
    loQ = q < loQ ? q : loQ;
    hiQ = q > hiQ ? q : hiQ;
    loMag = mag < loMag ? mag : loMag;
    hiMag = mag > hiMag ? mag : hiMag;
    loPh = phase < loPh ? phase : loPh;
    hiPh = phase > hiPh ? phase : hiPh;
  }
  *out = ViewExtent{loI, hiI, loQ, hiQ, loMag, hiMag, loPh, hiPh, first, phase, static_cast<float>(steps)};
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

int ViewDensity_Cell(float i, float q) {
  return Cell(40.0 * Sane(i) + 40.0) * kViewDensityCells + Cell(40.0 * Sane(q) + 40.0);
}

void ViewDensity_Add(const float* iq, int64_t count, double grid[kViewDensityCells][kViewDensityCells]) {
  double* cells = &grid[0][0];
  for (int64_t k = 0; k < count; ++k) cells[ViewDensity_Cell(iq[2 * k], iq[2 * k + 1])] += 1.0;
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
