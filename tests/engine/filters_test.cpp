// Window sets, kernel design and the noise source: window symmetry and the
// coefficient sets, the kernel tables' symmetry, pass band and stop band
// (the filter mask), the complex shapes' moved pass band, the user kernel's
// placement, the refusals, band-limited noise and the cyclic convolution.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "app/Log.h"
#include "engine/Random.h"
#include "engine/SignalMath.h"
#include "engine/Windows.h"

namespace {

std::vector<std::string> g_log;
void CaptureLog(const char* text) { g_log.emplace_back(text); }

struct Tables {
  std::vector<double> kI = std::vector<double>(kKernelTablePoints, 9.0);
  std::vector<double> kQ = std::vector<double>(kKernelTablePoints, 9.0);
  std::vector<double> dI = std::vector<double>(kKernelTablePoints, 9.0);
  std::vector<double> dQ = std::vector<double>(kKernelTablePoints, 9.0);
};

int Design(Tables& t, int window, int filter, double alpha, int L, double cutoff, double clock,
           const std::vector<double>& userI = {}, const std::vector<double>& userQ = {}, int userOvs = 1) {
  return DesignFilterKernel(window, filter, alpha, L, userI.empty() ? nullptr : userI.data(),
                            userQ.empty() ? nullptr : userQ.data(), static_cast<int>(userI.size()), userOvs,
                            t.kI.data(), t.kQ.data(), t.dI.data(), t.dQ.data(), cutoff, clock);
}

// Response of the tabulated kernel at f cycles per input sample:
// H(f) = sum_k h(x_k) e^{-j 2 pi f x_k} * D over the table, with
// h = kI (real shapes, kQ empty) or kI + j kQ (complex shapes).
std::complex<double> Response(const std::vector<double>& kI, const std::vector<double>& kQ, int L, double f) {
  const int h = (L - 1) / 2;
  const double d = 2.0 * h / 19999.0;
  std::complex<double> sum = 0.0;
  for (int k = 0; k < kKernelTablePoints; ++k) {
    const double x = k * d - h;
    sum += std::complex<double>(kI[k], kQ.empty() ? 0.0 : kQ[k]) * std::polar(1.0, -2.0 * PiConstant * f * x);
  }
  return sum * d;
}

class FiltersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    Log_SetLogSink(CaptureLog);
  }
  void TearDown() override { Log_SetLogSink(nullptr); }
  bool Logged(const std::string& text) const {
    for (const std::string& line : g_log)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
};

TEST_F(FiltersTest, WindowSetsAndSymmetry) {
  const int counts[] = {3, 2, 2, 1, 3, 4, 5};
  // Window value at the ends (sum of c_j) and at the centre (alternating sum).
  const double ends[] = {0.0, 0.0, 0.07672, 1.0, 0.0, 0.00006, 0.0009004};
  const double centres[] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 0.9999944};
  for (int w = 1; w <= 7; ++w) {
    const double* c = nullptr;
    int n = 0;
    ASSERT_EQ(GetWindowCoefficients(&c, &n, w), 1);
    EXPECT_EQ(n, counts[w - 1]);
    EXPECT_NEAR(WindowValue(c, n, 0, 100), ends[w - 1], 1e-12) << w;
    EXPECT_NEAR(WindowValue(c, n, 50, 100), centres[w - 1], 1e-12) << w;
    for (int k = 0; k <= 100; ++k) EXPECT_NEAR(WindowValue(c, n, k, 100), WindowValue(c, n, 100 - k, 100), 1e-14);
  }
  for (int w : {0, 8, -1}) {
    g_log.clear();
    const double* c = reinterpret_cast<const double*>(1);
    int n = 5;
    EXPECT_EQ(GetWindowCoefficients(&c, &n, w), 0);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(Logged("*** Unknown window function."));
  }
}

TEST_F(FiltersTest, RealKernelsAreSymmetricWithTheirDifferences) {
  for (int filter : {FILTER_SINC, FILTER_RRCOS, FILTER_RCOS, FILTER_GAUSS}) {
    Tables t;
    ASSERT_EQ(Design(t, WINDOW_RIFEVINCENT, filter, 0.35, 201, 100e6, 400e6), 1) << filter;
    for (int k = 0; k < kKernelTablePoints; ++k) {
      ASSERT_TRUE(std::isfinite(t.kI[k])) << filter << " " << k;
      EXPECT_EQ(t.kI[k], t.kQ[k]);
      EXPECT_NEAR(t.kI[k], t.kI[19999 - k], 1e-6 * std::abs(t.kI[10000]));
    }
    for (int k = 0; k < 19999; ++k) ASSERT_EQ(t.dI[k], t.kI[k + 1] - t.kI[k]);
    EXPECT_EQ(t.dI[19999], t.dI[19998]);
    EXPECT_EQ(t.dQ[19999], t.dQ[19998]);
  }
  // Root-raised cosine with roll-off 0 is the sinc divided by sqrt(T), not NaN.
  Tables r, s;
  ASSERT_EQ(Design(r, WINDOW_HANN, FILTER_RRCOS, 0.0, 101, 50e6, 200e6), 1);
  ASSERT_EQ(Design(s, WINDOW_HANN, FILTER_SINC, 0.0, 101, 50e6, 200e6), 1);
  for (int k = 0; k < kKernelTablePoints; k += 37) EXPECT_NEAR(r.kI[k], s.kI[k] / std::sqrt(2.0), 1e-12);
}

TEST_F(FiltersTest, SincMaskAndTheMovedComplexPassBand) {
  // Cut-off 0.2 cycles per input sample, 201 taps, Rife-Vincent window.
  Tables t;
  ASSERT_EQ(Design(t, WINDOW_RIFEVINCENT, FILTER_SINC, 0.0, 201, 80e6, 400e6), 1);
  const std::vector<double> real;
  const double dc = std::abs(Response(t.kI, real, 201, 0.0));
  EXPECT_NEAR(dc, 1.0 / (2.0 * 0.2), 0.01);  // the sinc's integral
  for (double f : {0.05, 0.1, 0.17}) EXPECT_NEAR(std::abs(Response(t.kI, real, 201, f)) / dc, 1.0, 1e-3) << f;
  for (double f : {0.23, 0.3, 0.45}) EXPECT_LT(std::abs(Response(t.kI, real, 201, f)) / dc, 1e-3) << f;

  // cxsinc: the same mask moved up by the cut-off, 0 .. 0.4; nothing below 0.
  Tables c;
  ASSERT_EQ(Design(c, WINDOW_RIFEVINCENT, FILTER_CXSINC, 0.0, 201, 80e6, 400e6), 1);
  for (double f : {0.05, 0.2, 0.37}) EXPECT_NEAR(std::abs(Response(c.kI, c.kQ, 201, f)) / dc, 1.0, 1e-3) << f;
  for (double f : {-0.03, -0.2, 0.43}) EXPECT_LT(std::abs(Response(c.kI, c.kQ, 201, f)) / dc, 1e-3) << f;
}

// Raised cosine of roll-off a at cut-off fc (cycles per sample), the
// textbook spectrum normalised to 1 at DC: flat to (1 - a)fc, a half cosine
// down to 0 at (1 + a)fc.
double RaisedCosineSpectrum(double f, double a, double fc) {
  f = std::abs(f);
  if (f <= (1.0 - a) * fc) return 1.0;
  if (f >= (1.0 + a) * fc) return 0.0;
  return 0.5 * (1.0 + std::cos(PiConstant * (f - (1.0 - a) * fc) / (2.0 * a * fc)));
}

TEST_F(FiltersTest, RaisedCosineIsTheSquareOfTheRootRaisedCosine) {
  // Cut-off 10 MHz at 100 MHz (0.1 cycles per sample), 401 taps.
  const std::vector<double> real;
  for (double a : {0.25, 0.5, 1.0}) {
    Tables rc, rrc;
    ASSERT_EQ(Design(rc, WINDOW_RIFEVINCENT, FILTER_RCOS, a, 401, 10e6, 100e6), 1);
    ASSERT_EQ(Design(rrc, WINDOW_RIFEVINCENT, FILTER_RRCOS, a, 401, 10e6, 100e6), 1);
    for (int k = 0; k < kKernelTablePoints; ++k) ASSERT_TRUE(std::isfinite(rc.kI[k])) << a << " " << k;
    const double dc = std::abs(Response(rc.kI, real, 401, 0.0));
    const double dcRoot = std::abs(Response(rrc.kI, real, 401, 0.0));
    for (double f = 0.0; f <= 0.3; f += 0.01) {
      const double h = std::abs(Response(rc.kI, real, 401, f)) / dc;
      const double root = std::abs(Response(rrc.kI, real, 401, f)) / dcRoot;
      EXPECT_NEAR(h, root * root, 0.01) << "alpha " << a << " f " << f;
      EXPECT_NEAR(h, RaisedCosineSpectrum(f, a, 0.1), 0.01) << "alpha " << a << " f " << f;
    }
  }
  // Roll-off 1: 0.794 at 0.06 and 0.146 at 0.15 cycles per sample.
  Tables t;
  ASSERT_EQ(Design(t, WINDOW_RIFEVINCENT, FILTER_RCOS, 1.0, 401, 10e6, 100e6), 1);
  const double dc = std::abs(Response(t.kI, real, 401, 0.0));
  EXPECT_NEAR(std::abs(Response(t.kI, real, 401, 0.06)) / dc, 0.794, 0.005);
  EXPECT_NEAR(std::abs(Response(t.kI, real, 401, 0.15)) / dc, 0.146, 0.005);
}

TEST_F(FiltersTest, UserKernelIsCentredAtItsOwnRate) {
  // 21 coefficients 1.0, 1.1 .. 3.0: coefficient j lies at the tap offset
  // (j - 10)/ovs input samples, whatever the oversampling, and the
  // interpolation between them is exact on a straight line; nothing outside.
  std::vector<double> ui(21), uq(21);
  for (int k = 0; k < 21; ++k) {
    ui[k] = 1.0 + 0.1 * k;
    uq[k] = -0.5;
  }
  const double d = 200.0 / 19999.0;
  for (int ovs : {1, 2, 4}) {
    Tables t;
    ASSERT_EQ(Design(t, WINDOW_RECT, FILTER_USER, 0.0, 201, 0.0, 100e6, ui, uq, ovs), 1);
    double weight = 0.0, moment = 0.0;
    for (int k = 0; k < kKernelTablePoints; ++k) {
      const double x = k * d - 100.0;
      const double u = x * ovs + 10.0;
      if (u < 0.0 || u > 20.0) {
        ASSERT_EQ(t.kI[k], 0.0) << ovs << " " << k;
        continue;
      }
      ASSERT_NEAR(t.kI[k], 1.0 + 0.1 * u, 1e-12) << ovs << " " << k;
      ASSERT_DOUBLE_EQ(t.kQ[k], -0.5);
      weight += t.kQ[k];
      moment += t.kQ[k] * x;
    }
    // The constant Q kernel is centred on offset 0 and spans 20/ovs samples.
    EXPECT_NEAR(moment / weight, 0.0, 0.01) << ovs;
    EXPECT_NEAR(weight * d / -0.5, 20.0 / ovs, 0.02) << ovs;
  }
  // A windowed user kernel takes the table's window, centred on it.
  Tables w;
  ASSERT_EQ(Design(w, WINDOW_HANN, FILTER_USER, 0.0, 201, 0.0, 100e6, ui, uq, 4), 1);
  const double* c = nullptr;
  int n = 0;
  GetWindowCoefficients(&c, &n, WINDOW_HANN);
  EXPECT_NEAR(w.kQ[9800], -0.5 * WindowValue(c, n, 9800, 19999), 1e-15);
  EXPECT_NEAR(w.kQ[9800], w.kQ[19999 - 9800], 1e-15);
}

TEST_F(FiltersTest, DesignRefusesWhatWouldGiveASilentKernel) {
  Tables t;
  EXPECT_EQ(Design(t, 9, FILTER_SINC, 0.0, 201, 80e6, 400e6), 0);
  EXPECT_TRUE(Logged("*** Unknown window function."));
  for (int k = 0; k < kKernelTablePoints; k += 999) EXPECT_EQ(t.kI[k], 0.0);  // cleared, never stale
  g_log.clear();
  EXPECT_EQ(Design(t, WINDOW_HANN, 0, 0.0, 201, 80e6, 400e6), 0);
  EXPECT_EQ(Design(t, WINDOW_HANN, 10, 0.0, 201, 80e6, 400e6), 0);
  EXPECT_TRUE(Logged("*** Unknown filter function."));
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_SINC, 0.0, 2, 80e6, 400e6), 0);
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_SINC, 0.0, 201, 0.0, 400e6), 0);
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_SINC, 0.0, 201, 80e6, 0.0), 0);
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_USER, 0.0, 201, 0.0, 100e6), 0);  // no coefficients
  const std::vector<double> tooLong(202, 0.1);
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_USER, 0.0, 201, 0.0, 100e6, tooLong, tooLong), 0);
  const std::vector<double> fits(201, 0.1);
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_USER, 0.0, 201, 0.0, 100e6, fits, fits, 0), 0);
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_USER, 0.0, 201, 0.0, 100e6, fits, fits), 1);
  // Coefficients that are all zero would silence every sample.
  g_log.clear();
  const std::vector<double> zeros(5, 0.0), oneTap{0.0, 0.0, -0.5, 0.0, 0.0};
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_USER, 0.0, 201, 0.0, 100e6, zeros, zeros), 0);
  EXPECT_TRUE(Logged("*** User filter coefficients are all zero."));
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_USER, 0.0, 201, 0.0, 100e6, zeros, oneTap), 1);
  // A Gaussian of BT 0 or below has no kernel, one far narrower than the
  // table's spacing is all zeros, one of infinite BT not finite.
  for (double bt : {0.0, -0.3, 1e6, 1e200}) {
    g_log.clear();
    EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_GAUSS, bt, 201, 0.0, 100e6), 0) << bt;
    EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_CXGAUSS, bt, 201, 10e6, 100e6), 0) << bt;
    EXPECT_TRUE(Logged(bt <= 0.0 ? "*** Gaussian filter BT" : "*** Filter kernel is")) << bt;
  }
  EXPECT_EQ(Design(t, WINDOW_HANN, FILTER_GAUSS, 0.3, 201, 0.0, 100e6), 1);
  // The difference arrays are optional.
  EXPECT_EQ(DesignFilterKernel(WINDOW_HANN, FILTER_SINC, 0.0, 201, nullptr, nullptr, 0, 1, t.kI.data(), t.kQ.data(),
                               nullptr, nullptr, 80e6, 400e6),
            1);
}

TEST_F(FiltersTest, FilteredNoiseIsBandLimited) {
  double i = 0.0, q = 0.0;
  EXPECT_EQ(FilteredNoise(&i, &q, 1, 0.0, 100e6), 0);
  EXPECT_EQ(FilteredNoise(&i, &q, 1, 60e6, 100e6), 0);
  EXPECT_EQ(FilteredNoise(&i, &q, 1, 10e6, 0.0), 0);
  EXPECT_EQ(FilteredNoise(nullptr, &q, 0, 10e6, 100e6), 0);
  EXPECT_EQ(FilteredNoise(&i, &q, 1, 50e6, 100e6), 1);  // fs/2 is accepted

  RandomSeedRand(3);
  ASSERT_EQ(FilteredNoise(&i, &q, 1, 5e6, 100e6), 1);
  const int n = 100000;
  std::vector<double> vi(n), vq(n);
  for (int k = 0; k < n; ++k) ASSERT_EQ(FilteredNoise(&vi[k], &vq[k], 0, 0.0, 0.0), 1);
  double p0 = 0.0, p1 = 0.0, cross = 0.0;
  for (int k = 0; k + 1 < n; ++k) {
    p0 += vi[k] * vi[k];
    p1 += vi[k] * vi[k + 1];
    cross += vi[k] * vq[k];
  }
  // A low pass of 5 % of the sample rate: neighbours almost equal, I and Q
  // independent.
  EXPECT_GT(p1 / p0, 0.95);
  EXPECT_LT(std::abs(cross / p0), 0.05);
}

// Every initialisation starts the noise as noisy as it will stay: the
// first pair of a repetition carries the full power at the narrowest
// bandwidth as at the widest (a filter started from rest would begin near
// silence and take thousands of samples to reach it).
TEST_F(FiltersTest, FilteredNoiseStartsAtItsFullPowerFromTheNarrowestToTheWidestBand) {
  const double fs = 100e6;
  double i = 0.0, q = 0.0;
  EXPECT_EQ(FilteredNoise(&i, &q, 1, fs / 1000 * 0.99, fs), 0);
  EXPECT_EQ(FilteredNoise(&i, &q, 1, fs / 1000, fs), 1);
  RandomSeedRand(11);
  for (double bw : {fs / 1000, fs / 20, fs / 2}) {
    const int starts = 2000, later = 1000;
    double first = 0.0, after = 0.0;
    for (int k = 0; k < starts; ++k) {
      ASSERT_EQ(FilteredNoise(&i, &q, 1, bw, fs), 1);
      first += i * i + q * q;
      for (int n = 0; n < later; ++n) FilteredNoise(&i, &q, 0, 0.0, 0.0);
      after += i * i + q * q;
    }
    EXPECT_NEAR(first / starts, 1.0, 0.1) << bw;
    EXPECT_NEAR(after / starts, 1.0, 0.1) << bw;
  }
}

TEST_F(FiltersTest, CyclicConvolutionWraps) {
  const double x[] = {1.0, 2.0, 3.0, 4.0, 5.0};
  const double taps[] = {0.0, 0.0, 1.0};  // picks x[i + 1]
  double y[5] = {};
  EXPECT_EQ(CyclicConvolve(x, 5, taps, 3, y), 1);
  const double shifted[] = {2.0, 3.0, 4.0, 5.0, 1.0};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(y[k], shifted[k]);
  const double avg[] = {1.0, 1.0, 1.0};
  CyclicConvolve(x, 5, avg, 3, y);
  EXPECT_EQ(y[0], 5.0 + 1.0 + 2.0);
  EXPECT_EQ(y[4], 4.0 + 5.0 + 1.0);
  double untouched[2] = {7.0, 7.0};
  CyclicConvolve(x, 2, avg, 3, untouched);  // L > n
  EXPECT_EQ(untouched[0], 7.0);
}

}  // namespace
