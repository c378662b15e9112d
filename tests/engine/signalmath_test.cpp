// Signal-math routines: the real-axis phase rule and float32 rounding of the
// I/Q conversion, the quadratic interpolator (exact on quadratics, the short
// arrays), kernel shapes, Gaussian statistics and RMS scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Random.h"
#include "engine/SignalMath.h"

namespace {

double F32(double x) { return static_cast<double>(static_cast<float>(x)); }

TEST(IqToMagPhaseTest, RealAxisAndFloatRounding) {
  const double i[] = {0.0, -1.0, 0.0, 1.0, 2.0, -0.0, 0.3, -3.0};
  const double q[] = {0.0, 0.0, 1.0, 0.0, -0.0, 0.0, 0.4, -1e-300};
  double mag[8], ph[8];
  IqToMagPhase(i, q, 8, mag, ph);
  EXPECT_EQ(ph[0], F32(PiConstant));  // (0, 0) -> pi
  EXPECT_EQ(mag[0], 0.0);
  EXPECT_EQ(mag[1], 1.0);
  EXPECT_EQ(ph[1], F32(PiConstant));
  EXPECT_EQ(ph[2], F32(PiConstant / 2));
  EXPECT_EQ(ph[3], 0.0);
  EXPECT_EQ(ph[4], 0.0);  // a negative zero Q is still the positive real axis
  EXPECT_EQ(ph[5], F32(PiConstant));
  EXPECT_EQ(mag[6], F32(0.5));
  EXPECT_EQ(ph[6], F32(std::atan2(0.4, 0.3)));
  EXPECT_NE(ph[6], std::atan2(0.4, 0.3));  // rounded, not the double value
  EXPECT_LT(ph[7], -3.0);                  // just below the negative axis: -pi side
}

TEST(IqToMagPhaseTest, RoundTripThroughMagPhaseToIq) {
  std::vector<double> i, q;
  for (int k = 0; k < 64; ++k) {
    i.push_back(std::cos(0.37 * k) * (0.1 + k * 0.01));
    q.push_back(std::sin(0.37 * k) * (0.1 + k * 0.01));
  }
  std::vector<double> mag(64), ph(64), i2(64), q2(64);
  IqToMagPhase(i.data(), q.data(), 64, mag.data(), ph.data());
  MagPhaseToIq(mag.data(), ph.data(), 64, i2.data(), q2.data());
  for (int k = 0; k < 64; ++k) {
    EXPECT_NEAR(i2[k], i[k], 1e-6);
    EXPECT_NEAR(q2[k], q[k], 1e-6);
  }
}

TEST(ResampleQuadraticTest, ReproducesQuadraticsAndHoldsTheEnd) {
  const int n = 20;
  std::vector<double> x(n);
  const auto poly = [](double p) { return 0.75 * p * p - 2.0 * p + 3.0; };
  for (int k = 0; k < n; ++k) x[k] = poly(k * 0.5);  // spaced 0.5
  const int m = 50;
  std::vector<double> y(m);
  ResampleQuadratic(x.data(), 0.5, n, y.data(), 0.2, m);
  for (int k = 0; k < m; ++k) {
    const double p = k * 0.2;
    if (p / 0.5 >= n - 1) {
      EXPECT_EQ(y[k], x[n - 1]) << k;
    } else {
      EXPECT_NEAR(y[k], poly(p), 1e-12) << k;
    }
  }
  // Equal steps give the samples back.
  std::vector<double> same(n);
  ResampleQuadratic(x.data(), 0.5, n, same.data(), 0.5, n);
  for (int k = 0; k < n - 1; ++k) EXPECT_NEAR(same[k], x[k], 1e-12);
}

TEST(ResampleQuadraticTest, ShortArrays) {
  std::vector<double> y(6, -9.0);
  const double one[] = {0.25};
  ResampleQuadratic(one, 1.0, 1, y.data(), 0.5, 6);
  for (double v : y) EXPECT_EQ(v, 0.25);
  const double two[] = {1.0, 3.0};
  ResampleQuadratic(two, 1.0, 2, y.data(), 0.25, 6);
  const double line[] = {1.0, 1.5, 2.0, 2.5, 3.0, 3.0};
  for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(y[k], line[k]);
  ResampleQuadratic(two, 1.0, 0, y.data(), 0.25, 6);
  for (double v : y) EXPECT_EQ(v, 0.0);
}

TEST(KernelTest, SincShapes) {
  double h[21];
  MakeSincKernel(10, 0.25, 1.0, 0, h);
  EXPECT_EQ(h[10], 1.0);
  for (int k = 1; k <= 10; ++k) {
    EXPECT_EQ(h[10 + k], h[10 - k]);
    if (k % 2 == 0) {
      EXPECT_NEAR(h[10 + k], 0.0, 1e-15);  // zero crossings every 2 samples
    }
  }
  double w[21];
  MakeSincKernel(10, 0.25, 1.0, 1, w);
  EXPECT_NEAR(w[0], 0.0, 1e-15);  // the Lanczos window closes at the ends
  EXPECT_NEAR(w[11], h[11] * std::sin(PiConstant / 10) / (PiConstant / 10), 1e-15);

  double c[9];
  for (double& v : c) v = 7.0;
  double centre = -1.0;
  MakeSincKernelCentered(8, 2, 0.5, c, &centre);  // even length: 7 values used
  EXPECT_EQ(centre, 3.0);
  EXPECT_EQ(c[3], 1.0);
  EXPECT_EQ(c[7], 0.0);
  EXPECT_EQ(c[8], 7.0);
}

TEST(KernelTest, GaussianAndItsSymbolIntegral) {
  const int n = 33, sps = 4;
  const double bt = 0.5;
  std::vector<double> g(n);
  double centre = 0.0;
  EXPECT_EQ(MakeGaussKernel(n, sps, bt, g.data(), &centre), 16);
  EXPECT_EQ(centre, 16.0);
  EXPECT_EQ(g[16], 1.0);
  for (int d = 1; d <= 16; ++d) EXPECT_DOUBLE_EQ(g[16 + d], g[16 - d]);
  EXPECT_NEAR(g[20], std::exp(-(2.0 / std::log(2.0)) * bt * bt * PiConstant * PiConstant), 1e-15);

  // The pulse kernel is antisymmetric about its centre n/2 - 0.5 = 15.5.
  std::vector<double> p(n);
  MakeGaussPulseKernel(n, sps, bt, p.data(), &centre);
  EXPECT_EQ(centre, 15.5);
  for (int d = 0; d < 10; ++d) EXPECT_NEAR(p[15 - d], -p[16 + d], 1e-12);
  EXPECT_NEAR(p[16], g[17] + g[18] - g[15] - g[16], 1e-15);
}

TEST(GaussianNoiseTest, StatisticsOfTheSeededGenerator) {
  RandomSeedRand(1);
  const int n = 1000000;
  std::vector<double> v(n);
  ASSERT_EQ(GaussianNoise(n, v.data()), 1);
  double sum = 0.0, sum2 = 0.0, peak = 0.0;
  for (double x : v) {
    sum += x;
    sum2 += x * x;
    peak = std::max(peak, std::abs(x));
  }
  const double mean = sum / n;
  EXPECT_NEAR(sum2 / n - mean * mean, 0.99563, 0.0099563);
  EXPECT_LT(peak, 3.72);  // u1 >= 1/1001 bounds sqrt(-2 ln u1)
  // The same seed gives the same numbers.
  RandomSeedRand(1);
  double again[4];
  GaussianNoise(4, again);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(again[k], v[k]);

  EXPECT_EQ(GaussianNoise(5, nullptr), 0);
  EXPECT_EQ(GaussianNoise(0, again), 1);
  EXPECT_EQ(GaussianNoise(-3, again), 1);
}

TEST(NormalizeRmsTest, ScalesAndLeavesSilenceAlone) {
  double x[] = {1.0, -3.0, 2.0, 0.5};
  EXPECT_EQ(NormalizeRms(4, x, 0.5), 1);
  double s = 0.0;
  for (double v : x) s += v * v;
  EXPECT_NEAR(std::sqrt(s / 4), 0.5, 1e-15);
  EXPECT_NEAR(x[1] / x[0], -3.0, 1e-15);

  double zero[] = {0.0, 0.0, 0.0};
  EXPECT_EQ(NormalizeRms(3, zero, 1.0), 1);
  for (double v : zero) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(NormalizeRms(0, zero, 1.0), 1);
  EXPECT_NEAR(Cot(PiConstant / 4), 1.0, 1e-15);
}

}  // namespace
