// ResampleFile through real temporary files and buffer slots: the builder's
// 400 -> 600 MHz conversion of a CW filler, agreement with the plain
// per-tap formula on random signals (every output within 1 LSB after the
// int16 conversion), a tone keeping its frequency, complex pass bands, the
// periodic extension of short waveforms, progress and refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "engine/Tessera_Resampler.h"
#include "engine/Windows.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/TempDir.h"

namespace {

using Cx = std::complex<double>;
constexpr double kPi = 3.141592653589793;

std::vector<std::string> g_log;
void CaptureLog(const char* text) { g_log.emplace_back(text); }
bool Logged(const std::string& piece) {
  for (const std::string& line : g_log)
    if (line.find(piece) != std::string::npos) return true;
  return false;
}

int GoOn(double) { return 0; }

std::vector<double> g_percents;
int Record(double p) {
  g_percents.push_back(p);
  return 0;
}
int StopAtFive(double p) { return p >= 5.0 ? 1 : 0; }

// The waveform file's int16 conversion of a full-scale value.
int Int16(double x) {
  if (std::isnan(x) || x > 1.0) return 32767;
  if (x < -1.0) return -32767;
  return static_cast<int>(std::trunc(x * 32767.0 + 0.5));
}

struct Config {
  int filter = FILTER_SINC;
  int window = WINDOW_RIFEVINCENT;
  double alpha = 0.0;
  double cutoff = 264e6;
  double clock = 600e6;
  int L = 201;
  std::vector<double> userI, userQ;
  int userOvs = 1;
};

struct Result {
  int ok = 0;
  std::vector<Cx> y;
  double peak = -1.0, rms = -1.0;
};

class ResamplerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBufferSlots();
    SetBufferUnitInitialized(1);
    g_log.clear();
    Log_SetLogSink(CaptureLog);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    ResetBufferSlots();
  }

  // Writes x as an "IQF" temporary file through slot 5, resamples it from
  // slot 5 to slot 7 and reads the destination back. fileSamples < 0 writes
  // all of x; otherwise only that many samples (a short source).
  Result Run(const std::vector<Cx>& x, int64_t m, const Config& c, ResamplerProgressFn hook = GoOn,
             int64_t fileSamples = -1) {
    Result r;
    FILE* src = std::fopen(dir_.File("WV-DATA.TMP").c_str(), "w+b");
    FILE* dst = std::fopen(dir_.File("WV-DATA2.TMP").c_str(), "w+b");
    EXPECT_TRUE(src != nullptr && dst != nullptr);
    EXPECT_EQ(InitBuf(5, src, 0, 1), 1);
    EXPECT_EQ(WriteBytes(5, 3, "IQF"), 3);
    const size_t write = fileSamples < 0 ? x.size() : static_cast<size_t>(fileSamples);
    for (size_t k = 0; k < write; ++k) {
      const float pair[2] = {static_cast<float>(x[k].real()), static_cast<float>(x[k].imag())};
      EXPECT_EQ(WriteBytes(5, 8, pair), 8);
    }
    EXPECT_EQ(ReleaseBuf(5), 1);
    EXPECT_EQ(InitBuf(5, src, 1, 0), 1);
    char header[3];
    EXPECT_EQ(ReadBytes(5, 3, header), 3);
    EXPECT_EQ(InitBuf(7, dst, 0, 1), 1);
    EXPECT_EQ(WriteBytes(7, 3, "IQF"), 3);
    r.ok = ResampleFile(c.filter, c.window, c.alpha, static_cast<int64_t>(x.size()), c.cutoff, c.clock, c.L, m, 5, 7,
                        &r.peak, &r.rms, hook, c.userI.empty() ? nullptr : c.userI.data(),
                        c.userQ.empty() ? nullptr : c.userQ.data(), static_cast<int>(c.userI.size()), c.userOvs);
    EXPECT_EQ(ReleaseBuf(5), 1);
    EXPECT_EQ(ReleaseBuf(7), 1);
    std::fclose(src);
    std::fclose(dst);
    const std::string bytes = cz::test::ReadFileBytes(dir_.File("WV-DATA2.TMP"));
    EXPECT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes.substr(0, 3), "IQF");
    for (size_t off = 3; off + 8 <= bytes.size(); off += 8) {
      float pair[2];
      std::memcpy(pair, bytes.data() + off, 8);
      r.y.emplace_back(pair[0], pair[1]);
    }
    return r;
  }

  cz::test::TempDir dir_;
};

// The plain formula, tap by tap, over the whole signal held in memory.
std::vector<Cx> DirectFormula(const std::vector<Cx>& xIn, int64_t m, const Config& c) {
  std::vector<double> kI(kKernelTablePoints), kQ(kKernelTablePoints), dI(kKernelTablePoints), dQ(kKernelTablePoints);
  EXPECT_EQ(DesignFilterKernel(c.window, c.filter, c.alpha, c.L, c.userI.empty() ? nullptr : c.userI.data(),
                               c.userQ.empty() ? nullptr : c.userQ.data(), static_cast<int>(c.userI.size()),
                               c.userOvs, kI.data(), kQ.data(), dI.data(), dQ.data(), c.cutoff, c.clock),
            1);
  const int64_t n = static_cast<int64_t>(xIn.size());
  // The float32 samples of the file, kept as two real arrays: g++ 12 at -O2
  // drops the float rounding inside a complex<double> constructor.
  std::vector<double> xr(n), xq(n);
  for (int64_t i = 0; i < n; ++i) {
    xr[i] = static_cast<float>(xIn[i].real());
    xq[i] = static_cast<float>(xIn[i].imag());
  }
  const int h = (c.L - 1) / 2;
  const double P = 19999.0 / (2.0 * h);
  const double ratio = static_cast<double>(m) / static_cast<double>(n);
  const bool complexShape = IsComplexFilter(c.filter);
  std::vector<Cx> y(m);
  for (int64_t j = 0; j < m; ++j) {
    const double t = j / ratio;
    double sI = 0.0, sQ = 0.0;
    for (int64_t i = static_cast<int64_t>(std::ceil(t - h)); i <= static_cast<int64_t>(std::floor(t + h)); ++i) {
      const double pos = (t - i + h) * P;
      if (pos < 0.0 || pos > 19999.0) continue;
      const int k = static_cast<int>(pos);
      const double f = pos - k;
      const double hI = kI[k] + f * dI[k];
      const double hQ = kQ[k] + f * dQ[k];
      const int64_t w = ((i % n) + n) % n;
      if (complexShape) {
        sI += hI * xr[w] - hQ * xq[w];
        sQ += hI * xq[w] + hQ * xr[w];
      } else {
        sI += hI * xr[w];
        sQ += hQ * xq[w];
      }
    }
    y[j] = Cx(sI, sQ);
  }
  return y;
}

std::vector<Cx> RandomSignal(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-0.7, 0.7);
  std::vector<Cx> x(n);
  for (Cx& v : x) v = Cx(u(gen), u(gen));
  return x;
}

// Compares ResampleFile with the direct formula after peak normalisation and
// int16 conversion; also the returned peak and RMS.
void ExpectMatchesFormula(const Result& r, const std::vector<Cx>& ref) {
  ASSERT_EQ(r.ok, 1);
  ASSERT_EQ(r.y.size(), ref.size());
  double peak = 0.0, sum = 0.0;
  for (const Cx& v : ref) {
    peak = std::max(peak, std::abs(v));
    sum += std::norm(v);
  }
  EXPECT_NEAR(r.peak, peak, 1e-9 * peak);
  EXPECT_NEAR(r.rms, std::sqrt(sum / ref.size()), 1e-9 * peak);
  int worst = 0;
  for (size_t j = 0; j < ref.size(); ++j) {
    worst = std::max(worst, std::abs(Int16(r.y[j].real() / r.peak) - Int16(ref[j].real() / peak)));
    worst = std::max(worst, std::abs(Int16(r.y[j].imag() / r.peak) - Int16(ref[j].imag() / peak)));
  }
  EXPECT_LE(worst, 1);
}

TEST_F(ResamplerTest, CwFillerAt400MHzBecomesFullScaleCwAt600MHz) {
  const std::vector<Cx> cw(1001, Cx(1.0, 0.0));
  const Result r = Run(cw, 1502, Config{});
  ASSERT_EQ(r.ok, 1);
  ASSERT_EQ(r.y.size(), 1502u);
  for (size_t j = 0; j < r.y.size(); ++j) {
    ASSERT_EQ(Int16(r.y[j].real() / r.peak), 32767) << "sample " << j;
    ASSERT_EQ(Int16(r.y[j].imag() / r.peak), 0) << "sample " << j;
  }
}

TEST_F(ResamplerTest, AgreesWithTheDirectFormulaOnRandomSignals) {
  // 400 -> 600 MHz, odd length: no two outputs share a fractional position.
  {
    const auto x = RandomSignal(3001, 1);
    const Config c;
    ExpectMatchesFormula(Run(x, 4502, c), DirectFormula(x, 4502, c));
  }
  // A long odd length: the fractional positions drift slowly through the
  // kernel's linear cells.
  {
    const auto x = RandomSignal(60001, 11);
    const Config c;
    ExpectMatchesFormula(Run(x, 90002, c), DirectFormula(x, 90002, c));
  }
  // Oversampling 2 over several window refills, with a rectangular window
  // whose end taps do not vanish.
  {
    const auto x = RandomSignal(12000, 12);
    Config c;
    c.window = WINDOW_RECT;
    c.cutoff = 40e6;
    c.clock = 100e6;
    ExpectMatchesFormula(Run(x, 24000, c), DirectFormula(x, 24000, c));
  }
  // Even length: three repeating phases.
  {
    const auto x = RandomSignal(3000, 2);
    const Config c;
    ExpectMatchesFormula(Run(x, 4500, c), DirectFormula(x, 4500, c));
  }
  // User filter, different I and Q coefficients, oversampling 2; a Hamming
  // window, whose ends do not vanish.
  {
    const auto x = RandomSignal(2500, 3);
    Config c;
    c.filter = FILTER_USER;
    c.window = WINDOW_HAMMING;
    std::mt19937 gen(4);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int k = 0; k < 61; ++k) {
      c.userI.push_back(u(gen));
      c.userQ.push_back(u(gen));
    }
    c.userOvs = 2;
    ExpectMatchesFormula(Run(x, 5000, c), DirectFormula(x, 5000, c));
  }
  // Complex raised cosine at 5/4 and at an irregular ratio; rectangular window.
  for (int64_t m : {2500, 2777}) {
    const auto x = RandomSignal(2000, 5);
    Config c;
    c.filter = FILTER_CXRCOS;
    c.window = WINDOW_RECT;
    c.alpha = 0.35;
    c.cutoff = 20e6;
    c.clock = 100e6;
    c.L = 63;
    ExpectMatchesFormula(Run(x, m, c), DirectFormula(x, m, c));
  }
}

TEST_F(ResamplerTest, WaveformsShorterThanTheKernelWrapAroundInsideThemselves) {
  for (size_t n : {1u, 2u, 7u, 50u, 200u}) {
    const auto x = RandomSignal(n, static_cast<unsigned>(n));
    const Config c;
    const int64_t m = static_cast<int64_t>(n) * 3 / 2 + 1;
    ExpectMatchesFormula(Run(x, m, c), DirectFormula(x, m, c));
  }
  // A constant of any length stays constant.
  const Result r = Run(std::vector<Cx>(40, Cx(0.5, -0.25)), 60, Config{});
  ASSERT_EQ(r.ok, 1);
  for (const Cx& v : r.y) EXPECT_NEAR(std::arg(v), std::arg(Cx(0.5, -0.25)), 1e-6);
}

TEST_F(ResamplerTest, ToneKeepsItsFrequency) {
  // A tone periodic in the waveform (37 cycles in 2,000 samples) is also
  // periodic across the wrap, so the output is 37 cycles in 3,000 samples.
  const int n = 2000, m = 3000, cycles = 37;
  std::vector<Cx> x(n);
  for (int i = 0; i < n; ++i) x[i] = std::polar(0.8, 2.0 * kPi * cycles * i / n);
  const Result r = Run(x, m, Config{});
  ASSERT_EQ(r.ok, 1);
  Cx acc = 0.0;
  double minMag = 1e9, maxMag = 0.0;
  for (int j = 0; j + 1 < m; ++j) {
    acc += r.y[j + 1] * std::conj(r.y[j]);
    minMag = std::min(minMag, std::abs(r.y[j]));
    maxMag = std::max(maxMag, std::abs(r.y[j]));
  }
  EXPECT_NEAR(std::arg(acc) / (2.0 * kPi), static_cast<double>(cycles) / m, 1e-7);
  EXPECT_LT((maxMag - minMag) / maxMag, 1e-4);
}

TEST_F(ResamplerTest, ComplexShapesFilterTheComplexSignal) {
  // cxsinc with a cut-off of 0.1 cycles per sample passes 0 .. 0.2: a tone at
  // +0.1 goes through, its mirror at -0.1 is stopped. Filtering I and Q each
  // with a real kernel could not tell them apart.
  const int n = 4000;
  Config c;
  c.filter = FILTER_CXSINC;
  c.cutoff = 10e6;
  c.clock = 100e6;
  for (int sign : {+1, -1}) {
    std::vector<Cx> x(n);
    for (int i = 0; i < n; ++i) x[i] = std::polar(0.5, sign * 2.0 * kPi * 400.0 * i / n);
    const Result r = Run(x, n, c);
    ASSERT_EQ(r.ok, 1);
    double ratio = 0.0;
    for (int j = 0; j < n; ++j) ratio = std::max(ratio, std::abs(r.y[j]) / 0.5);
    const double passGain = 1.0 / (2.0 * 0.1);  // the sinc's integral, 1/(2 fc)
    if (sign > 0) {
      EXPECT_NEAR(ratio, passGain, 0.02 * passGain);
    } else {
      EXPECT_LT(ratio, 1e-3 * passGain);
    }
  }
}

TEST_F(ResamplerTest, ReportsProgressAndStopsWhenAsked) {
  g_percents.clear();
  const auto x = RandomSignal(20000, 9);
  ASSERT_EQ(Run(x, 30000, Config{}, Record).ok, 1);
  ASSERT_FALSE(g_percents.empty());
  EXPECT_EQ(g_percents.front(), 0.0);
  for (size_t k = 1; k < g_percents.size(); ++k) EXPECT_GE(g_percents[k], g_percents[k - 1]);
  EXPECT_EQ(g_percents.back(), 99.0);
  EXPECT_GE(g_percents.size(), 100u);
  EXPECT_EQ(Run(x, 30000, Config{}, StopAtFive).ok, 0);
}

// A symmetric 21-tap user filter (a Hann-windowed sinc) at the oversampling
// of the conversion: the filtered impulse keeps its place and its response
// is the coefficients' own, by scipy.signal.freqz.
TEST_F(ResamplerTest, UserFilterIsCentredAndKeepsItsResponse) {
  std::vector<double> c(21);
  for (int k = 0; k < 21; ++k) {
    const double x = k - 10.0;
    c[k] = (x == 0.0 ? 0.5 : std::sin(0.5 * kPi * x) / (kPi * x)) * (0.5 + 0.5 * std::cos(kPi * x / 11.0));
  }
  const std::string coeffs = dir_.File("coeffs.txt");
  {
    FILE* f = std::fopen(coeffs.c_str(), "w");
    ASSERT_NE(f, nullptr);
    for (double v : c) std::fprintf(f, "%.17g\n", v);
    std::fclose(f);
  }
  std::vector<Cx> x(300, Cx(0.0, 0.0));
  x[100] = Cx(1.0, 0.0);
  for (int ovs : {1, 2, 4}) {
    Config u;
    u.filter = FILTER_USER;
    u.window = WINDOW_RECT;
    u.userI = c;
    u.userQ = c;
    u.userOvs = ovs;
    const Result r = Run(x, 300 * ovs, u);
    ASSERT_EQ(r.ok, 1) << ovs;
    // Output sample 100*ovs + m - 10 holds coefficient m.
    for (int m = 0; m < 21; ++m)
      EXPECT_NEAR(r.y[static_cast<size_t>(100 * ovs + m - 10)].real(), c[m], 2e-4) << ovs << " " << m;
    std::string out;
    ASSERT_EQ(cz::test::RunDspReference("response " + cz::test::Quoted(coeffs) + " " +
                                            cz::test::Quoted(dir_.File("WV-DATA2.TMP")),
                                        &out),
              0)
        << out;
    EXPECT_NEAR(cz::test::ReferenceValue(out, "centre"), 100.0 * ovs, 1e-3) << ovs << " " << out;
    EXPECT_LT(cz::test::ReferenceValue(out, "maxdiff"), 1e-3) << ovs << " " << out;
  }
}

TEST_F(ResamplerTest, RefusesBadSetUpWithAReason) {
  const auto x = RandomSignal(300, 10);
  EXPECT_EQ(Run(x, 0, Config{}).ok, 0);
  EXPECT_TRUE(Logged("*** Wrong length values provided to resampler routine!"));

  Config badWindow;
  badWindow.window = 8;
  EXPECT_EQ(Run(x, 450, badWindow).ok, 0);
  EXPECT_TRUE(Logged("*** Unknown window function."));

  Config badFilter;
  badFilter.filter = 10;
  EXPECT_EQ(Run(x, 450, badFilter).ok, 0);
  EXPECT_TRUE(Logged("*** Unknown filter function."));

  Config shortKernel;
  shortKernel.L = 2;
  EXPECT_EQ(Run(x, 450, shortKernel).ok, 0);

  Config noUser;
  noUser.filter = FILTER_USER;
  EXPECT_EQ(Run(x, 450, noUser).ok, 0);

  Config longUser;
  longUser.filter = FILTER_USER;
  longUser.userI.assign(202, 0.01);
  longUser.userQ.assign(202, 0.01);
  EXPECT_EQ(Run(x, 450, longUser).ok, 0);

  // A Gaussian of BT 0 would filter everything to silence.
  Config flat;
  flat.filter = FILTER_GAUSS;
  flat.alpha = 0.0;
  EXPECT_EQ(Run(x, 450, flat).ok, 0);
  EXPECT_TRUE(Logged("*** Gaussian filter BT 0 is invalid: it must be above 0."));

  g_log.clear();
  EXPECT_EQ(Run(x, 450, Config{}, nullptr).ok, 0);
  EXPECT_TRUE(Logged("*** Internal Error: .\\Tessera_Resampler 612"));

  // The source file holds fewer samples than announced.
  g_log.clear();
  EXPECT_EQ(Run(x, 450, Config{}, GoOn, 250).ok, 0);
  EXPECT_TRUE(Logged("*** Read failed for sample no. 250"));
}

}  // namespace
