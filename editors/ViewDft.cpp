// Any-length DFT in bounded steps over FFTW's single-precision transforms:
// one call for short lengths, the four-step split n = n1 x n2 for long
// composite ones, Bluestein's chirp convolution for the rest.
//
// Four-step (input x[n2 j1 + j2], row j1, column j2 of an n1 x n2 array):
// transform each column over j1, multiply element (k1, j2) by
// e^(-2 pi i k1 j2 / n), transform each row over j2; element (k1, k2) then
// holds X[k1 + n1 k2]. The inverse runs the same stages backwards with the
// opposite sign and turns that order back into the natural one, which is
// what the chirp convolution needs between its forward and inverse steps.
#include "editors/ViewDft.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

using cfloat = std::complex<float>;

constexpr double kTwoPi = 6.283185307179586476925;
// Elements one batch of short transforms or one twiddle step covers
// (512 kB): a few milliseconds of work, also for the strided columns.
constexpr int64_t kStepElements = int64_t{1} << 16;
// Twiddle factors advance by a rotation and are set again from the exact
// angle this often, so that the rounding of the recurrence stays near 1e-14.
constexpr int64_t kTwiddleReseed = 256;

fftwf_complex* Raw(cfloat* p) { return reinterpret_cast<fftwf_complex*>(p); }

struct PlanDeleter {
  void operator()(fftwf_plan_s* p) const { fftwf_destroy_plan(p); }
};
using Plan = std::unique_ptr<fftwf_plan_s, PlanDeleter>;

// The caller's tick, fed with the fraction of the estimated work done.
struct Steps {
  ViewDftTick tick = nullptr;
  void* context = nullptr;
  double done = 0.0, total = 1.0;
  // true when the caller asks to stop.
  bool Advance(double units) {
    done += units;
    return tick != nullptr && tick(context, std::min(done / total, 1.0)) != 0;
  }
};

// count transforms of length len; transform t starts at base + t * dist and
// its elements lie stride apart. In batches of about kStepElements.
int Batches(cfloat* base, int64_t len, int64_t count, int64_t stride, int64_t dist, int sign, Steps* steps) {
  const int64_t batch = std::clamp<int64_t>(kStepElements / len, 1, count);
  const int length = static_cast<int>(len);
  const auto plan = [&](int64_t howMany) {
    return Plan(fftwf_plan_many_dft(1, &length, static_cast<int>(howMany), Raw(base), nullptr, static_cast<int>(stride),
                                    static_cast<int>(dist), Raw(base), nullptr, static_cast<int>(stride),
                                    static_cast<int>(dist), sign, FFTW_ESTIMATE | FFTW_UNALIGNED));
  };
  Plan full = plan(batch), rest;
  if (!full) return VIEW_DFT_NO_MEMORY;
  for (int64_t t = 0; t < count; t += batch) {
    const int64_t m = std::min(batch, count - t);
    cfloat* p = base + t * dist;
    if (m < batch && !rest && !(rest = plan(m))) return VIEW_DFT_NO_MEMORY;
    fftwf_execute_dft(m == batch ? full.get() : rest.get(), Raw(p), Raw(p));
    if (steps->Advance(static_cast<double>(m * len))) return VIEW_DFT_STOPPED;
  }
  return VIEW_DFT_DONE;
}

// Element (r, c) of a rows x cols array times e^(sign 2 pi i r c / n).
int Twiddle(cfloat* d, int64_t rows, int64_t cols, int64_t n, int sign, Steps* steps) {
  int64_t sinceTick = 0;
  for (int64_t r = 1; r < rows; ++r) {  // row 0 is multiplied by 1
    const double rotation = sign * kTwoPi * static_cast<double>(r) / static_cast<double>(n);
    const std::complex<double> turn(std::cos(rotation), std::sin(rotation));
    cfloat* row = d + r * cols;
    for (int64_t c0 = 0; c0 < cols; c0 += kTwiddleReseed) {
      const double angle = sign * kTwoPi * static_cast<double>((r * c0) % n) / static_cast<double>(n);
      std::complex<double> w(std::cos(angle), std::sin(angle));
      const int64_t c1 = std::min(cols, c0 + kTwiddleReseed);
      for (int64_t c = c0; c < c1; ++c) {
        row[c] = cfloat(std::complex<double>(row[c]) * w);
        w *= turn;
      }
    }
    sinceTick += cols;
    if (sinceTick >= kStepElements) {
      if (steps->Advance(static_cast<double>(sinceTick))) return VIEW_DFT_STOPPED;
      sinceTick = 0;
    }
  }
  return steps->Advance(static_cast<double>(sinceTick + cols)) ? VIEW_DFT_STOPPED : VIEW_DFT_DONE;
}

// The divisor d <= sqrt(n) nearest to sqrt(n) whose cofactor n / d is within
// the limit; 0 when there is none.
int64_t SplitFactor(int64_t n, int64_t limit) {
  int64_t d = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
  while (d * d > n) --d;
  while ((d + 1) * (d + 1) <= n) ++d;
  for (; d >= 2 && n / d <= limit; --d)
    if (n % d == 0) return d;
  return 0;
}

// Natural order in, element (k1, k2) = X[k1 + n1 k2] out.
int FourStepForward(cfloat* d, int64_t n1, int64_t n2, Steps* steps) {
  int r = Batches(d, n1, n2, n2, 1, FFTW_FORWARD, steps);
  if (r == VIEW_DFT_DONE) r = Twiddle(d, n1, n2, n1 * n2, -1, steps);
  if (r == VIEW_DFT_DONE) r = Batches(d, n2, n1, 1, n2, FFTW_FORWARD, steps);
  return r;
}

// The forward's order in, natural order out; unnormalised (n times the
// inverse).
int FourStepInverse(cfloat* d, int64_t n1, int64_t n2, Steps* steps) {
  int r = Batches(d, n2, n1, 1, n2, FFTW_BACKWARD, steps);
  if (r == VIEW_DFT_DONE) r = Twiddle(d, n1, n2, n1 * n2, +1, steps);
  if (r == VIEW_DFT_DONE) r = Batches(d, n1, n2, n2, 1, FFTW_BACKWARD, steps);
  return r;
}

bool FiveSmooth(int64_t m) {
  for (int64_t p : {2, 3, 5})
    while (m % p == 0) m /= p;
  return m == 1;
}

// e^(-i pi j^2 / n), with j^2 taken modulo 2n exactly.
std::complex<double> Chirp(int64_t j, int64_t n) {
  const double angle = -kTwoPi * 0.5 * static_cast<double>((j * j) % (2 * n)) / static_cast<double>(n);
  return {std::cos(angle), std::sin(angle)};
}

// X[k] = w[k] sum_j (x[j] w[j]) conj(w[k - j]) with w[j] = e^(-i pi j^2 / n):
// a circular convolution of length m >= 2n - 1, done with two forward
// transforms, a product and one inverse transform. Natural order out.
int Bluestein(cfloat* x, int64_t n, int64_t limit, Steps* steps) {
  int64_t m = 2 * n - 1, m1 = 0;
  for (; m <= 4 * n; ++m)
    if (FiveSmooth(m) && (m1 = SplitFactor(m, limit)) != 0) break;
  if (m1 == 0) return VIEW_DFT_NO_MEMORY;
  const int64_t m2 = m / m1;
  std::unique_ptr<cfloat, ViewDftDeleter> a(ViewDft_Alloc(m)), b(ViewDft_Alloc(m));
  if (!a || !b) return VIEW_DFT_NO_MEMORY;
  steps->total = static_cast<double>(2 * n + 10 * m);
  std::fill(a.get() + n, a.get() + m, cfloat(0.0f, 0.0f));
  std::fill(b.get() + n, b.get() + m - n + 1, cfloat(0.0f, 0.0f));
  for (int64_t j = 0; j < n; ++j) {
    const std::complex<double> w = Chirp(j, n);
    a.get()[j] = cfloat(std::complex<double>(x[j]) * w);
    b.get()[j] = cfloat(std::conj(w));
    if (j > 0) b.get()[m - j] = b.get()[j];
    if ((j + 1) % kStepElements == 0 && steps->Advance(static_cast<double>(kStepElements))) return VIEW_DFT_STOPPED;
  }
  int r = FourStepForward(a.get(), m1, m2, steps);
  if (r == VIEW_DFT_DONE) r = FourStepForward(b.get(), m1, m2, steps);
  if (r != VIEW_DFT_DONE) return r;
  for (int64_t k = 0; k < m; ++k) a.get()[k] *= b.get()[k];
  b.reset();
  if (steps->Advance(static_cast<double>(m))) return VIEW_DFT_STOPPED;
  if ((r = FourStepInverse(a.get(), m1, m2, steps)) != VIEW_DFT_DONE) return r;
  const double scale = 1.0 / static_cast<double>(m);
  for (int64_t k = 0; k < n; ++k) {
    x[k] = cfloat(std::complex<double>(a.get()[k]) * Chirp(k, n) * scale);
    if ((k + 1) % kStepElements == 0 && steps->Advance(static_cast<double>(kStepElements))) return VIEW_DFT_STOPPED;
  }
  return VIEW_DFT_DONE;
}

}  // namespace

std::complex<float>* ViewDft_Alloc(int64_t count) {
  if (count <= 0) return nullptr;
  return reinterpret_cast<cfloat*>(fftwf_malloc(sizeof(cfloat) * static_cast<size_t>(count)));
}

void ViewDft_Free(std::complex<float>* data) {
  if (data != nullptr) fftwf_free(data);
}

int ViewDft_Forward(std::complex<float>* data, int64_t n, ViewDftLayout* layout, ViewDftTick tick, void* context,
                    int64_t directLimit) {
  Steps steps;
  steps.tick = tick;
  steps.context = context;
  steps.total = static_cast<double>(3 * n);
  const int64_t limit = std::max<int64_t>(directLimit, 16);
  *layout = ViewDftLayout{};
  layout->n = n;
  layout->cols = n;
  if (n <= limit) {
    Plan plan(fftwf_plan_dft_1d(static_cast<int>(n), Raw(data), Raw(data), FFTW_FORWARD,
                                FFTW_ESTIMATE | FFTW_UNALIGNED));
    if (!plan) return VIEW_DFT_NO_MEMORY;
    fftwf_execute(plan.get());
    return steps.Advance(static_cast<double>(3 * n)) ? VIEW_DFT_STOPPED : VIEW_DFT_DONE;
  }
  if (const int64_t n1 = SplitFactor(n, limit); n1 != 0) {
    layout->rows = n1;
    layout->cols = n / n1;
    layout->rowStep = 1;
    layout->colStep = n1;
    return FourStepForward(data, n1, n / n1, &steps);
  }
  return Bluestein(data, n, limit, &steps);
}
