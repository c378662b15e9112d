// Block noise source of the pulse computation.
#include "engine/PulseNoise.h"

#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "engine/Random.h"
#include "engine/SignalMath.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PULSE_NOISE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PULSE_NOISE_CLONES
#endif

namespace {

constexpr int S = kPulseNoiseSections;
constexpr int N = kPulseNoiseStates;

// Box-Muller as GaussianNoise computes it, u1 = (r1 mod 1000 + 1)/1001 and
// u2 likewise: value = sqrt(-2 ln u1) * cos(2 pi u2). Each uniform takes one
// of 1,000 values, so both factors come from tables made with the same
// expressions, and the product is the same double.
//
// The mean and variance of the numbers follow from the tables exactly: r is
// 0 .. 32,767, so r mod 1000 takes the 768 values below 32,768 mod 1,000 33
// times in 32,768 and the others 32 times. That leaves a mean of -0.0073
// (the 1,000 cosines alone sum to -1, not 0), which a narrow low pass of
// unit DC gain would pass as a carrier at 0 Hz: it is taken off the input.
struct GaussTables {
  double radius[1000];
  double cosine[1000];
  double mean;
  double variance;
  GaussTables() {
    constexpr int kValues = kRandomRandMax + 1;
    constexpr int kOftener = kValues % 1000;
    double r = 0.0, r2 = 0.0, c = 0.0, c2 = 0.0;
    for (int k = 0; k < 1000; ++k) {
      const double u = (k + 1) / 1001.0;
      radius[k] = std::sqrt(-2.0 * std::log(u));
      cosine[k] = std::cos(2.0 * PiConstant * u);
      const double w = (k < kOftener ? kValues / 1000 + 1 : kValues / 1000) / static_cast<double>(kValues);
      r += w * radius[k], r2 += w * radius[k] * radius[k];
      c += w * cosine[k], c2 += w * cosine[k] * cosine[k];
    }
    mean = r * c;
    variance = r2 * c2 - mean * mean;
  }
};

const GaussTables& Tables() {
  static const GaussTables tables;
  return tables;
}

// The stopping rule of the impulse response: every value of its state has
// stayed below 1e-20 of its own sum of squares so far for this many samples
// (a response that merely crosses zero never does); the cap lies far beyond
// the some 50,000 samples of the narrowest bandwidth.
constexpr int kQuietSamples = 256;
constexpr long kMaxResponseSamples = 1L << 23;

// Butterworth sections for the cut-off fc = bandwidth/2: the analogue
// poles' damping q = 2 sin((2k+1) pi / 24), bilinear transform with
// K = tan(pi fc / fs); the most damped section first. A section's numerator
// is b0 (1 + z^-1)^2 with b0 = (1 + a1 + a2)/4 for a DC gain of 1; the six
// b0 are left to the output scale, which the design measures on the
// sections as they run.
void DesignSections(PulseNoise* n, double bandwidth, double fs) {
  const double K = std::tan(PiConstant * (bandwidth / 2.0) / fs);
  for (int s = 0; s < S; ++s) {
    const int k = S - 1 - s;
    const double q = 2.0 * std::sin((2 * k + 1) * PiConstant / (4.0 * S));
    const double norm = 1.0 / (1.0 + q * K + K * K);
    n->a1[s] = 2.0 * (K * K - 1.0) * norm;
    n->a2[s] = (1.0 - q * K + K * K) * norm;
  }
}

// One sample through the sections, scalar: the recursion of Filter.
struct Cascade {
  double x1 = 0.0;    // last input
  double w1[S] = {};  // per section its last input plus the one before
  double y1[S] = {}, y2[S] = {};
  double Step(const PulseNoise& n, double x) {
    double in = x, in1 = x1;
    for (int s = 0; s < S; ++s) {
      // (in + ((in1 + w1) - a2 y2)) - a1 y1 = in + 2 in1 + in2 - a2 y2 -
      // a1 y1, each product fused with its difference, as Filter forms it.
      const double y = std::fma(-n.a1[s], y1[s], in + std::fma(-n.a2[s], y2[s], in1 + w1[s]));
      w1[s] = in + in1;
      in1 = y1[s];
      y2[s] = y1[s], y1[s] = y;
      in = y;
    }
    x1 = x;
    return in;
  }
  // The state in kPulseNoiseStates order: x1, x2, then y1, y2 per section
  // (x2 = w1[0] - x1).
  void Get(double st[N]) const {
    st[0] = x1, st[1] = w1[0] - x1;
    for (int s = 0; s < S; ++s) st[2 + 2 * s] = y1[s], st[3 + 2 * s] = y2[s];
  }
};

// The stationary state covariance for a unit input variance, P = sum over
// j >= 1 of S_j S_j^T with S_j the state j samples after a unit impulse, and
// the impulse response's energy.
double StateCovariance(const PulseNoise& n, double P[N][N]) {
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) P[i][j] = 0.0;
  Cascade c;
  double energy = 0.0;
  int quiet = 0;
  for (long t = 0; t < kMaxResponseSamples && quiet < kQuietSamples; ++t) {
    if (t > 0) {
      double st[N];
      c.Get(st);
      bool small = t > 2;
      for (int i = 0; i < N; ++i) {
        for (int j = 0; j <= i; ++j) P[i][j] += st[i] * st[j];
        // Each value against its own sum: the sections' gains spread the
        // values over many decades.
        small = small && st[i] * st[i] <= 1e-20 * P[i][i];
      }
      quiet = small ? quiet + 1 : 0;
    }
    const double y = c.Step(n, t == 0 ? 1.0 : 0.0);
    energy += y * y;
  }
  for (int i = 0; i < N; ++i)
    for (int j = i + 1; j < N; ++j) P[i][j] = P[j][i];
  return energy;
}

// F with F F^T = P for a positive semi-definite P: Cholesky of P scaled to
// a unit diagonal (the values' sizes span many decades), with the largest
// remaining diagonal as pivot, stopped where what remains is a rounding
// (a narrow band's neighbouring values are nearly equal, so P is close to
// singular), then scaled back.
void StartFactor(double P[N][N], double F[N][N]) {
  double size[N];
  for (int i = 0; i < N; ++i) size[i] = P[i][i] > 0.0 ? std::sqrt(P[i][i]) : 0.0;
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) {
      P[i][j] = size[i] > 0.0 && size[j] > 0.0 ? P[i][j] / (size[i] * size[j]) : 0.0;
      F[i][j] = 0.0;
    }
  for (int k = 0; k < N; ++k) {
    int pivot = 0;
    for (int i = 1; i < N; ++i)
      if (P[i][i] > P[pivot][pivot]) pivot = i;
    if (!(P[pivot][pivot] > 1e-14)) break;
    const double root = std::sqrt(P[pivot][pivot]);
    double column[N];
    for (int i = 0; i < N; ++i) column[i] = P[i][pivot] / root;
    for (int i = 0; i < N; ++i) {
      F[i][k] = column[i] * size[i];
      for (int j = 0; j < N; ++j) P[i][j] -= column[i] * column[j];
    }
  }
}

void Design(PulseNoise* n, double bandwidth, double fs) {
  DesignSections(n, bandwidth, fs);
  double P[N][N];
  const double energy = StateCovariance(*n, P);
  StartFactor(P, n->start);
  n->scale = 1.0 / std::sqrt(2.0 * Tables().variance * energy);
  n->bandwidth = bandwidth;
  n->fs = fs;
}

// One component's stationary start: F z for N of the generator's numbers
// less their mean, whose covariance is then the variance times P, written
// into the running state of component c.
void DrawStart(PulseNoise* n, int c) {
  double z[N], st[N];
  const double mean = Tables().mean;
  for (int i = 0; i < N; ++i) z[i] = PulseNoise_Gaussian() - mean;
  for (int i = 0; i < N; ++i) {
    double sum = 0.0;
    for (int k = 0; k < N; ++k) sum += n->start[i][k] * z[k];
    st[i] = sum;
  }
  n->x1[c] = st[0];
  n->w1[0][c] = st[0] + st[1];
  for (int s = 0; s < S; ++s) {
    n->y1[s][c] = st[2 + 2 * s];
    n->y2[s][c] = st[3 + 2 * s];
    if (s + 1 < S) n->w1[s + 1][c] = st[2 + 2 * s] + st[3 + 2 * s];
  }
}

// I and Q side by side through the sections of Cascade::Step. A sample
// passes each section with one product waiting on the section's own last
// output (the rest of the sum is formed beside it), and every product fused
// with its difference: with the fused multiply-add of the processor where it
// has one, else with std::fma, which rounds the same.
typedef double Lanes2 __attribute__((vector_size(16)));

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PULSE_NOISE_FMA 1
__attribute__((target("avx2,fma"))) inline Lanes2 MinusProductPlus(Lanes2 a, Lanes2 b, Lanes2 c) {
  return reinterpret_cast<Lanes2>(_mm_fnmadd_pd(reinterpret_cast<__m128d>(a), reinterpret_cast<__m128d>(b),
                                                reinterpret_cast<__m128d>(c)));
}
#endif

// c - a*b rounded once, lane by lane.
inline Lanes2 MinusProductPlusPortable(Lanes2 a, Lanes2 b, Lanes2 c) {
  return Lanes2{std::fma(-a[0], b[0], c[0]), std::fma(-a[1], b[1], c[1])};
}

// The sections are stepped in a skew: in step t section s takes sample
// t - s, whose input the section in front made one step before, so that the
// six sections of a step wait on nothing of that step (sections go from the
// last to the first, each reading its input before the one in front moves
// on). Every section makes the same values in the same order as without the
// skew; after the last step all have taken the block's last sample.
template <Lanes2 (*Fused)(Lanes2, Lanes2, Lanes2)>
inline __attribute__((always_inline)) void FilterWith(PulseNoise* __restrict n, int m, double* __restrict outI,
                                                      double* __restrict outQ) {
  const GaussTables& t = Tables();
  const double mean = t.mean;
  Lanes2 a1[S], a2[S], w1[S], y1[S], y2[S];
  for (int s = 0; s < S; ++s) {
    a1[s] = Lanes2{n->a1[s], n->a1[s]};
    a2[s] = Lanes2{n->a2[s], n->a2[s]};
    w1[s] = Lanes2{n->w1[s][0], n->w1[s][1]};
    y1[s] = Lanes2{n->y1[s][0], n->y1[s][1]};
    y2[s] = Lanes2{n->y2[s][0], n->y2[s][1]};
  }
  Lanes2 x1 = {n->x1[0], n->x1[1]};
  const Lanes2 scale = {n->scale, n->scale};
  const Lanes2 gain = {n->gain, n->gain};
  // Section s >= 1 on its next sample: the input the section in front made
  // last (y1) and the one before (y2).
  const auto section = [&](int s) __attribute__((always_inline)) {
    const Lanes2 in = y1[s - 1], in1 = y2[s - 1];
    const Lanes2 y = Fused(a1[s], y1[s], in + Fused(a2[s], y2[s], in1 + w1[s]));
    w1[s] = in + in1;
    y2[s] = y1[s], y1[s] = y;
  };
  const auto first = [&](int j) __attribute__((always_inline)) {
    const uint16_t* k = n->drawn + 4 * j;
    const Lanes2 in = {t.radius[k[0]] * t.cosine[k[1]] - mean, t.radius[k[2]] * t.cosine[k[3]] - mean};
    const Lanes2 y = Fused(a1[0], y1[0], in + Fused(a2[0], y2[0], x1 + w1[0]));
    w1[0] = in + x1;
    x1 = in;
    y2[0] = y1[0], y1[0] = y;
  };
  // A gain of 1 leaves the product as it is.
  const bool unit = n->gain == 1.0;
  const auto output = [&](int j) __attribute__((always_inline)) {
    const Lanes2 out = unit ? y1[S - 1] * scale : y1[S - 1] * scale * gain;
    outI[j] = out[0];
    outQ[j] = out[1];
  };
  // Steps where some sections have no sample: the first S - 1 and the last.
  const auto partial = [&](int step) {
    for (int s = S - 1; s >= 1; --s) {
      if (step - s < 0 || step - s >= m) continue;
      section(s);
      if (s == S - 1) output(step - s);
    }
    if (step < m) first(step);
  };
  int step = 0;
  for (; step < S - 1; ++step) partial(step);
  for (; step < m; ++step) {
#pragma GCC unroll 8
    for (int s = S - 1; s >= 1; --s) section(s);
    output(step - (S - 1));
    first(step);
  }
  for (; step < m + S - 1; ++step) partial(step);
  for (int s = 0; s < S; ++s)
    for (int c = 0; c < 2; ++c) n->w1[s][c] = w1[s][c], n->y1[s][c] = y1[s][c], n->y2[s][c] = y2[s][c];
  n->x1[0] = x1[0], n->x1[1] = x1[1];
}

#if defined(PULSE_NOISE_FMA)
__attribute__((target("avx2,fma"))) void FilterFma(PulseNoise* n, int m, double* outI, double* outQ) {
  FilterWith<MinusProductPlus>(n, m, outI, outQ);
}

// The same instructions with the 32 vector registers of AVX-512, which hold
// the whole state of the sections.
__attribute__((target("avx512f,avx512vl,avx2,fma"))) inline Lanes2 MinusProductPlus32(Lanes2 a, Lanes2 b, Lanes2 c) {
  return reinterpret_cast<Lanes2>(_mm_fnmadd_pd(reinterpret_cast<__m128d>(a), reinterpret_cast<__m128d>(b),
                                                reinterpret_cast<__m128d>(c)));
}

__attribute__((target("avx512f,avx512vl,avx2,fma"))) void FilterFma32(PulseNoise* n, int m, double* outI,
                                                                         double* outQ) {
  FilterWith<MinusProductPlus32>(n, m, outI, outQ);
}

bool HaveFma() {
  static const bool have = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"));
  return have;
}

bool HaveAvx512() {
  static const bool have =
      HaveFma() && __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vl") != 0;
  return have;
}
#endif

void Filter(PulseNoise* n, int m, double* outI, double* outQ) {
#if defined(PULSE_NOISE_FMA)
  if (HaveAvx512()) {
    FilterFma32(n, m, outI, outQ);
    return;
  }
  if (HaveFma()) {
    FilterFma(n, m, outI, outQ);
    return;
  }
#endif
  FilterWith<MinusProductPlusPortable>(n, m, outI, outQ);
}

// The table entries of m outputs from their 4m generator values (I's two
// uniforms, then Q's), as PulseNoise_Gaussian takes them.
PULSE_NOISE_CLONES
void Draw(const int* __restrict r, int m, uint16_t* __restrict drawn) {
  for (int j = 0; j < 4 * m; ++j) drawn[j] = static_cast<uint16_t>(static_cast<uint32_t>(r[j]) % 1000u);
}

}  // namespace

double PulseNoise_Gaussian() {
  const GaussTables& t = Tables();
  const int r1 = RandomRand() % 1000;
  const int r2 = RandomRand() % 1000;
  return t.radius[r1] * t.cosine[r2];
}

double PulseNoise_NarrowestBandwidth(double fs) { return fs * kPulseNoiseNarrowest; }

int PulseNoise_BandwidthFits(double bandwidth, double fs) {
  if (!(fs > 0.0) || !std::isfinite(fs) || !(bandwidth > 0.0)) return 0;
  // The field shows MHz with four places: its value at the limit may lie a
  // rounding below it.
  return bandwidth >= PulseNoise_NarrowestBandwidth(fs) * (1.0 - 1e-9) && bandwidth <= fs / 2.0 ? 1 : 0;
}

int PulseNoise_Init(PulseNoise* noise, double bandwidth, double fs, double gain) {
  if (noise == nullptr || !PulseNoise_BandwidthFits(bandwidth, fs)) return 0;
  if (!(noise->bandwidth == bandwidth && noise->fs == fs)) Design(noise, bandwidth, fs);
  DrawStart(noise, 0);
  DrawStart(noise, 1);
  noise->gain = gain;
  return 1;
}

void PulseNoise_Run(PulseNoise* noise, int m, double* outI, double* outQ) {
  if (m < 1) return;
  if (m > kPulseBlockSamples) m = kPulseBlockSamples;
  // Four generator values a pair, in PulseNoise_Gaussian's order: I's two
  // uniforms, then Q's.
  int r[4 * kPulseBlockSamples];
  RandomRandFill(r, 4 * m);
  Draw(r, m, noise->drawn);
  Filter(noise, m, outI, outQ);
}
