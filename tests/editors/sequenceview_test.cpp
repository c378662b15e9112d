// Sequence View arithmetic without widgets: the transform against a direct
// DFT, spectrum levels, band levels and buffer sizing, the reduction to
// display points, the 1-2-5 steps and SI texts, and the viewport
// operations.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editors/SequenceView.h"
#include "editors/ViewSummary.h"
#include "engine/SignalMath.h"
#include "tests/support/IqFiles.h"
#include "tests/support/TempDir.h"

namespace {

using cfloat = std::complex<float>;

// Direct DFT in double precision, the reference for the transform.
std::vector<std::complex<double>> DirectDft(const std::vector<cfloat>& x) {
  const size_t n = x.size();
  std::vector<std::complex<double>> out(n);
  for (size_t k = 0; k < n; ++k) {
    std::complex<double> sum = 0.0;
    for (size_t j = 0; j < n; ++j)
      sum += std::complex<double>(x[j]) * std::polar(1.0, -2.0 * PiConstant * static_cast<double>((j * k) % n) / n);
    out[k] = sum;
  }
  return out;
}

std::vector<double> Tone(int64_t count, double cyclesPerSample, double amplitude) {
  std::vector<double> d(2 * count);
  for (int64_t j = 0; j < count; ++j) {
    d[2 * j] = amplitude * std::cos(2.0 * PiConstant * cyclesPerSample * j);
    d[2 * j + 1] = amplitude * std::sin(2.0 * PiConstant * cyclesPerSample * j);
  }
  return d;
}

// The spectrum of interleaved I/Q values through the view's buffer.
int64_t SpectrumOf(const std::vector<double>& iq, SequenceViewState* state) {
  SpectrumBuffer buffer;
  const int64_t n = static_cast<int64_t>(iq.size() / 2);
  if (SpectrumBuffer_Prepare(&buffer, n, n, 1) != 1) return -1;
  for (int64_t j = 0; j < n; ++j) SpectrumBuffer_Add(&buffer, iq[2 * j], iq[2 * j + 1]);
  return Spectrum_Compute(&buffer, state);
}

int Loudest(const SequenceViewState& s) {
  int best = 0;
  for (int e = 0; e < kViewSpectrumPoints; ++e)
    if (s.spectrum[e] > s.spectrum[best]) best = e;
  return best;
}

int StopAtOnce(void*, double) { return 1; }

}  // namespace

// Every path of the transform (one call, the split, the chirp convolution
// for lengths with a large prime factor) against a direct DFT; the short
// direct limit reaches the long paths with short lengths.
TEST(SequenceViewDft, MatchesADirectDftOnEveryPath) {
  struct Row {
    int64_t n, limit;
  };
  const Row rows[] = {{1, 64}, {8, 64}, {61, 64}, {1000, 64}, {4096, 64}, {997, 64}, {1018, 64}, {3000, 512}};
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (const Row& row : rows) {
    std::vector<cfloat> x(static_cast<size_t>(row.n));
    for (cfloat& v : x) v = cfloat(u(gen), u(gen));
    const auto expected = DirectDft(x);
    double largest = 0.0;
    for (const auto& v : expected) largest = std::max(largest, std::abs(v));
    std::vector<cfloat> data = x;
    ViewDftLayout layout;
    ASSERT_EQ(ViewDft_Forward(data.data(), row.n, &layout, nullptr, nullptr, row.limit), VIEW_DFT_DONE) << row.n;
    std::vector<int> seen(static_cast<size_t>(row.n), 0);
    for (int64_t j = 0; j < row.n; ++j) {
      const int64_t k = ViewDft_Bin(layout, j);
      ASSERT_TRUE(k >= 0 && k < row.n) << row.n;
      ++seen[static_cast<size_t>(k)];
      EXPECT_LT(std::abs(std::complex<double>(data[static_cast<size_t>(j)]) - expected[static_cast<size_t>(k)]),
                2e-6 * largest + 1e-6)
          << "n " << row.n << " bin " << k;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), row.n) << "every bin once, n " << row.n;
  }
  std::vector<cfloat> data(4096, cfloat(1.0f, 0.0f));
  ViewDftLayout layout;
  EXPECT_EQ(ViewDft_Forward(data.data(), 4096, &layout, StopAtOnce, nullptr, 64), VIEW_DFT_STOPPED);
}

TEST(SequenceViewFft, ToneLandsOnItsBinAtTwentyLogN) {
  // A full-scale tone of +100 bins in 4,096 samples reads 20 log10(4096) =
  // 72.2 dB at the point of +100/4096 of the rate, below a reference of 80.
  SequenceViewState state;
  ASSERT_EQ(SpectrumOf(Tone(4096, 100.0 / 4096.0, 1.0), &state), 4096);
  const int best = Loudest(state);
  EXPECT_NEAR(state.spectrum[best], 20.0 * std::log10(4096.0), 0.01);
  EXPECT_DOUBLE_EQ(state.spectrumReference, 80.0);
  EXPECT_NEAR(best / 500.0 - 0.5, 100.0 / 4096.0, 0.5 / 500.0);
  EXPECT_FALSE(state.spectrumSilent);
}

// The read-out of the display point holding a tone, (x / 500 - 0.5) of
// the rate, lies within half a point of the tone's bin frequency (modulo
// the rate: a tone just below +rate/2 is nearest to point 0 at -rate/2);
// DC reads 0 exactly. Any length, the band edges included.
TEST(SequenceViewFft, PeakPointReadsTheTonesFrequency) {
  std::mt19937 gen(5);
  for (int64_t n : {1024, 3000, 4096, 65536, 99991}) {
    std::uniform_int_distribution<int64_t> bin(-n / 2, n / 2 - 1);
    for (int64_t offset : {int64_t{0}, n / 4, -n / 4, n / 2 - 3, -n / 2 + 1, bin(gen), bin(gen)}) {
      SequenceViewState state;
      ASSERT_EQ(SpectrumOf(Tone(n, static_cast<double>(offset) / static_cast<double>(n), 0.5), &state), n);
      const int best = Loudest(state);
      const double readOut = best / 500.0 - 0.5;
      EXPECT_LE(std::fabs(std::remainder(readOut - static_cast<double>(offset) / static_cast<double>(n), 1.0)),
                0.5 / 500.0 + 1e-12)
          << "N " << n << " bin offset " << offset << " point " << best;
      EXPECT_NEAR(state.spectrum[best], 20.0 * std::log10(0.5 * n), 0.01) << "N " << n << " offset " << offset;
      if (offset == 0) {
        EXPECT_EQ(readOut, 0.0) << "N " << n;
      }
    }
  }
}

TEST(SequenceViewFft, BufferSizingSkipsShortAndRefusesHugeCounts) {
  SequenceViewState state;
  SpectrumBuffer b;
  EXPECT_EQ(SpectrumBuffer_Prepare(&b, 50, 100000, 1), 0);    // too few samples
  EXPECT_EQ(SpectrumBuffer_Prepare(&b, 50, 100000, 0), 0);    // whatever the scope
  ASSERT_EQ(SpectrumBuffer_Prepare(&b, 51, 100000, 1), 1);    // zero-filled to 1,024
  EXPECT_EQ(b.capacity, 1024);
  for (int j = 0; j < 51; ++j) SpectrumBuffer_Add(&b, 1.0, 0.0);
  EXPECT_EQ(Spectrum_Compute(&b, &state), 1024);
  EXPECT_EQ(SpectrumBuffer_Prepare(&b, 1000, kViewFftSampleLimit, 0), 0);  // whole file too long
  EXPECT_FALSE(b.data);
  ASSERT_EQ(SpectrumBuffer_Prepare(&b, 3000, 10, 1), 1);  // viewport scope counts the span
  for (int j = 0; j < 3000; ++j) SpectrumBuffer_Add(&b, 0.5, 0.5);
  EXPECT_EQ(Spectrum_Compute(&b, &state), 3000);  // every sample
  // More samples than the capacity are never stored.
  SpectrumBuffer_Add(&b, 1.0, 1.0);
  EXPECT_EQ(b.count, 3000);
}

TEST(SequenceViewFft, ReferenceBandLevelAndSilence) {
  SequenceViewState s;
  // Constant amplitude a gives a single level 20 log10(1024 a) at DC.
  const auto referenceFor = [&](double amplitude) {
    std::vector<double> iq(2048, 0.0);
    for (int j = 0; j < 1024; ++j) iq[2 * j] = amplitude;
    SpectrumOf(iq, &s);
    return s.spectrumReference;
  };
  EXPECT_DOUBLE_EQ(referenceFor(1000.0 / 1024.0), 70.0);               // exactly 60 dB -> 70
  EXPECT_DOUBLE_EQ(referenceFor(std::pow(10.0, -1.5) / 1024.0), -30.0);  // -30 dB -> -30
  // Two equal lines: the band level is their power sum (+3.01 dB), from
  // either cursor order; beyond the 500 points the edge points count.
  std::vector<double> two = Tone(4096, 0.25, 0.5);
  const std::vector<double> other = Tone(4096, -0.125, 0.5);
  for (size_t j = 0; j < two.size(); ++j) two[j] += other[j];
  ASSERT_EQ(SpectrumOf(two, &s), 4096);
  const double line = 20.0 * std::log10(0.5 * 4096);
  EXPECT_NEAR(s.spectrum[375], line, 0.01);
  EXPECT_NEAR(s.spectrum[188], line, 0.01);  // -1/8 of the rate: (0.375 * 500) rounded
  EXPECT_NEAR(Spectrum_BandLevel(s, 150.0, 400.0), line + 10.0 * std::log10(2.0), 0.01);
  EXPECT_DOUBLE_EQ(Spectrum_BandLevel(s, 400.0, 150.0), Spectrum_BandLevel(s, 150.0, 400.0));
  EXPECT_NEAR(Spectrum_BandLevel(s, -40.0, 800.0), line + 10.0 * std::log10(2.0), 0.01);
  EXPECT_NEAR(Spectrum_BandLevel(s, 374.6, 375.4), line, 0.01);
  EXPECT_EQ(Spectrum_PointAt(-3.0), 0);
  EXPECT_EQ(Spectrum_PointAt(499.7), 499);
  // All zeros: silent, the reference at 0 so that the trace lies at the bottom.
  ASSERT_EQ(SpectrumOf(std::vector<double>(6000, 0.0), &s), 3000);
  EXPECT_TRUE(s.spectrumSilent);
  EXPECT_DOUBLE_EQ(s.spectrumReference, 0.0);
}

// The extent of a run is that of its samples, joined runs that of the
// whole; a point's mean frequency counts the step into it from the sample
// before, the viewport's first sample none.
TEST(SequenceViewReduce, ExtentsJoinAndPointSums) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> iq(2 * 3000);
  for (float& v : iq) v = u(gen);
  ViewExtent whole, a, b;
  ViewExtent_Run(iq.data(), 3000, &whole);
  ViewExtent_Run(iq.data(), 1234, &a);
  ViewExtent_Run(iq.data() + 2 * 1234, 3000 - 1234, &b);
  ViewExtent_Join(&a, b);
  for (auto field : {&ViewExtent::loI, &ViewExtent::hiI, &ViewExtent::loQ, &ViewExtent::hiQ, &ViewExtent::loMag,
                     &ViewExtent::hiMag, &ViewExtent::loPhase, &ViewExtent::hiPhase, &ViewExtent::lastPhase})
    EXPECT_EQ(a.*field, whole.*field);
  EXPECT_NEAR(a.stepSum, whole.stepSum, 1e-3);
  float hiI = -2, loMag = 2;
  for (int k = 0; k < 3000; ++k) {
    hiI = std::max(hiI, iq[2 * k]);
    loMag = std::min(loMag, std::hypot(iq[2 * k], iq[2 * k + 1]));
  }
  EXPECT_EQ(whole.hiI, hiI);
  EXPECT_NEAR(whole.loMag, loMag, 1e-6);
  // Garbage samples count as 0 or the bound.
  const float odd[] = {std::nanf(""), INFINITY, -1e30f, 0.5f};
  ViewExtent e;
  ViewExtent_Run(odd, 2, &e);
  EXPECT_EQ(e.loI, -16.0f);
  EXPECT_EQ(e.hiI, 0.0f);
  EXPECT_EQ(e.hiQ, 16.0f);

  // 0.37 rad per sample wraps past +-pi every 17 samples: a steady mean
  // frequency in every point, the first point one step short.
  ViewPicture p;
  const int64_t span = 5000;
  std::vector<float> rot(2 * span);
  for (int64_t k = 0; k < span; ++k) {
    rot[2 * k] = static_cast<float>(0.9 * std::cos(0.37 * k));
    rot[2 * k + 1] = static_cast<float>(0.9 * std::sin(0.37 * k));
  }
  p.pointCount = ViewPoints_Bounds(0, span, 1, p.pointStart);
  ViewPointSum sum;
  for (int i = 0; i < p.pointCount; ++i) {
    for (int64_t k = p.pointStart[i]; k < p.pointStart[i + 1]; k += 2) {
      const int64_t n = std::min<int64_t>(2, p.pointStart[i + 1] - k);
      ViewExtent_Run(rot.data() + 2 * k, n, &e);
      ViewPointSum_Add(&sum, e, n);
    }
    ViewPointSum_Close(&sum, &p, i);
  }
  ASSERT_EQ(p.pointCount, 1000);
  EXPECT_NEAR(p.meanFreq[0], 0.37 / PiConstant * 4.0 / 5.0, 1e-5);
  for (int i = 1; i < p.pointCount; ++i) ASSERT_NEAR(p.meanFreq[i], 0.37 / PiConstant, 1e-5) << i;
  EXPECT_NEAR(p.maxMag[500], 0.9, 1e-6);
  double hiPhase = -4.0;
  for (int64_t k = p.pointStart[500]; k < p.pointStart[501]; ++k)
    hiPhase = std::max(hiPhase, std::remainder(0.37 * static_cast<double>(k), 2 * PiConstant));
  EXPECT_NEAR(p.maxPhase[500], hiPhase / PiConstant, 1e-5);
}

TEST(SequenceViewReduce, PhaseDensityCellsAndPointBounds) {
  for (double a = -3.14159; a < 3.1416; a += 0.0137)
    for (float r : {1e-3f, 0.5f, 1.0f}) {
      const float i = r * static_cast<float>(std::cos(a)), q = r * static_cast<float>(std::sin(a));
      ASSERT_NEAR(ViewPhase(q, i), std::atan2(q, i), 1e-6) << a;
    }
  EXPECT_EQ(ViewPhase(0.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(ViewPhase(0.0f, -1.0f), static_cast<float>(PiConstant));  // (-1, 0) is +pi
  double grid[kViewDensityCells][kViewDensityCells] = {};
  const float samples[] = {1.7f, -3.0f, 0.0f, 0.0f, std::nanf(""), 0.99f};
  ViewDensity_Add(samples, 3, grid);
  EXPECT_EQ(grid[80][0], 1.0);
  EXPECT_EQ(grid[40][40], 1.0);
  EXPECT_EQ(grid[40][79], 1.0);

  // Every sample of a viewport in exactly one point, to its last sample.
  int64_t start[kViewPointSlots + 1];
  struct Row {
    int64_t first, span, align;
    int32_t points;
  };
  const Row rows[] = {{0, 2, 1, 2},          {7, 100, 1, 100},     {0, 999, 1, 999},          {3, 1000, 1, 1000},
                      {0, 1001, 1, 1000},    {5, 1999, 1, 1000},   {1, 100000, 1, 1000},      {11, 3333333, 1024, 1000},
                      {1000, 99999000, 1024, 1000}, {0, 2048000, 1024, 1000}};
  for (const Row& row : rows) {
    ASSERT_EQ(ViewPoints_Bounds(row.first, row.span, row.align, start), row.points) << row.span;
    EXPECT_EQ(start[0], row.first);
    EXPECT_EQ(start[row.points], row.first + row.span);
    for (int i = 1; i <= row.points; ++i) ASSERT_LT(start[i - 1], start[i]) << row.span << " point " << i;
    for (int i = 1; i < row.points && row.align > 1; ++i) ASSERT_EQ(start[i] % row.align, 0) << row.span;
  }
}

// The summary of a file gives the extents and density counts of its
// samples for every block-aligned range, also when its making was stopped
// and taken up again.
TEST(SequenceViewSummary, RangesMatchTheirSamplesAfterAStopAndAResume) {
  const int64_t total = kDensityBlock + 300001;  // two density grids, the last short
  std::mt19937 gen(9);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> iq(static_cast<size_t>(2 * total));
  for (float& v : iq) v = u(gen) * u(gen);
  cz::test::TempDir dir;
  const cz::test::IqFile file = cz::test::WriteIqFile(dir.File("WV-DATA.TMP"), total, [&](int64_t k) {
    return std::pair<double, double>(iq[static_cast<size_t>(2 * k)], iq[static_cast<size_t>(2 * k + 1)]);
  });
  ViewFileId id;
  ASSERT_EQ(ViewFileId_Of(file.get(), &id), 1);
  ViewSummary summary;
  ASSERT_EQ(ViewSummary_Start(&summary, id, total), 1);
  EXPECT_EQ(ViewSummary_Extend(&summary, file.get(), StopAtOnce, nullptr), 0);
  EXPECT_GT(summary.done, 0);
  EXPECT_FALSE(summary.Complete());
  ASSERT_EQ(ViewSummary_Extend(&summary, file.get(), nullptr, nullptr), 1);
  ASSERT_TRUE(summary.Complete());
  const int64_t b = kSummaryBlock;
  const std::pair<int64_t, int64_t> ranges[] = {{0, total},        {b, 2 * b},           {3 * b, 777 * b},
                                                {64 * b, total},   {0, kDensityBlock},   {1000 * b, 1001 * b}};
  for (const auto& [from, to] : ranges) {
    ViewExtent expected;
    ViewExtent_Run(iq.data() + 2 * from, to - from, &expected);
    const ViewExtent got = ViewSummary_Extent(summary, from, to);
    for (auto field : {&ViewExtent::loI, &ViewExtent::hiI, &ViewExtent::loQ, &ViewExtent::hiQ, &ViewExtent::loMag,
                       &ViewExtent::hiMag, &ViewExtent::loPhase, &ViewExtent::hiPhase, &ViewExtent::firstPhase,
                       &ViewExtent::lastPhase})
      EXPECT_EQ(got.*field, expected.*field) << from << " .. " << to;
    EXPECT_NEAR(got.stepSum, expected.stepSum, 1e-5 * static_cast<double>(to - from)) << from << " .. " << to;
  }
  const int64_t piece = kViewPieceSamples;
  for (const auto& [from, to] : {std::pair<int64_t, int64_t>{0, total}, {kDensityBlock, total}, {0, kDensityBlock},
                                 {3 * piece, total}, {piece, 19 * piece}}) {
    static double expected[kViewDensityCells][kViewDensityCells], got[kViewDensityCells][kViewDensityCells];
    std::memset(expected, 0, sizeof expected);
    std::memset(got, 0, sizeof got);
    ViewDensity_Add(iq.data() + 2 * from, to - from, expected);
    std::vector<std::pair<int64_t, int64_t>> unlisted;
    ViewSummary_AddDensity(summary, from, to, got, &unlisted);
    EXPECT_TRUE(unlisted.empty());
    EXPECT_EQ(std::memcmp(expected, got, sizeof got), 0) << from << " .. " << to;
  }
}

TEST(SequenceViewColours, DensityScaleStops) {
  EXPECT_EQ(DensityPlotColor(1.0), 0xFFFF00);
  EXPECT_EQ(DensityPlotColor(5.0), 0xFFFF00);
  EXPECT_EQ(DensityPlotColor(1e-4), 0x0000C0);
  EXPECT_EQ(DensityPlotColor(0.0), 0x0000C0);
  EXPECT_EQ(DensityPlotColor(1e-2), 0xC00000);
  EXPECT_EQ(DensityPlotColor(1e-3), 0x00A0A0);
  EXPECT_EQ(DensityPlotColor(0.1), 0xD05000);
}

TEST(SequenceViewScales, OneTwoFiveSteps) {
  EXPECT_DOUBLE_EQ(RoundUp125(1.0), 2.0);
  EXPECT_DOUBLE_EQ(RoundUp125(2.0), 5.0);
  EXPECT_DOUBLE_EQ(RoundUp125(3.0), 5.0);
  EXPECT_DOUBLE_EQ(RoundUp125(-3.0), -5.0);
  EXPECT_DOUBLE_EQ(RoundUp125(0.0), 0.0);
  EXPECT_DOUBLE_EQ(RoundDown125(5.0), 2.0);
  EXPECT_DOUBLE_EQ(RoundDown125(2.0), 1.0);
  EXPECT_DOUBLE_EQ(RoundDown125(4.5), 2.0);
  EXPECT_DOUBLE_EQ(RoundDown125(10.0), 10.0);

  SequenceViewState s;
  s.sampleRate = 100e6;
  s.phaseRange = 1.0;
  std::vector<double> walk;
  for (int k = 0; k < 4; ++k) {
    SequenceView_ZoomY(&s, VIEW_PHASE, +1);
    walk.push_back(s.phaseRange);
  }
  EXPECT_EQ(walk, (std::vector<double>{2.0, 5.0, 10.0, 10.0}));
  s.phaseRange = 0.02;
  SequenceView_ZoomY(&s, VIEW_PHASE, -1);
  EXPECT_DOUBLE_EQ(s.phaseRange, 0.01);
  SequenceView_ZoomY(&s, VIEW_PHASE, -1);
  EXPECT_DOUBLE_EQ(s.phaseRange, 0.01);

  s.frequencyRange = 50e6;
  SequenceView_ZoomY(&s, VIEW_FREQUENCY, -1);
  EXPECT_DOUBLE_EQ(s.frequencyRange, 20e6);
  SequenceView_ZoomY(&s, VIEW_FREQUENCY, +1);
  EXPECT_DOUBLE_EQ(s.frequencyRange, 50e6);
  for (int k = 0; k < 30; ++k) SequenceView_ZoomY(&s, VIEW_FREQUENCY, -1);
  EXPECT_DOUBLE_EQ(s.frequencyRange, 50e3);
  EXPECT_EQ(SequenceView_ZoomY(&s, VIEW_IQ, -1), 0);
  EXPECT_EQ(SequenceView_ZoomY(&s, VIEW_LOG_MAG, +1), 0);
}

TEST(SequenceViewScales, SiTexts) {
  char out[32];
  const auto si = [&](double v, const char* unit) {
    FormatSiValue(out, v, unit);
    return std::string(out);
  };
  EXPECT_EQ(si(1.0, "Pi"), " 1.0 Pi");
  EXPECT_EQ(si(-1.0, "Pi"), "-1.0 Pi");
  EXPECT_EQ(si(0.5, "Pi"), "500.0 mPi");
  EXPECT_EQ(si(5e6, "Hz"), " 5.0 MHz");
  EXPECT_EQ(si(-25e3, "Hz"), "-25.0 kHz");
  EXPECT_EQ(si(1.25e-6, "Hz"), " 1.25 uHz");
  EXPECT_EQ(si(0.0, "Hz"), "  0.0  Hz");
  FormatSiValue(nullptr, 1.0, "Hz");  // nothing, no crash
  std::strcpy(out, "kept");
  FormatSiValue(out, 1.0, nullptr);
  EXPECT_STREQ(out, "kept");
}

TEST(SequenceViewNavigation, MovesStayInsideTheFile) {
  SequenceViewState s;
  s.totalSamples = 15000;
  s.sampleRate = 100e6;
  s.firstSample = 0;
  s.lastSample = 9999;
  s.width = 10000;
  EXPECT_EQ(ViewNav_Back(&s), 0);  // already at sample 0
  ASSERT_EQ(ViewNav_Forward(&s), 1);
  EXPECT_EQ(s.firstSample, 2000);
  EXPECT_EQ(s.lastSample, 11999);
  ViewNav_Forward(&s);
  ViewNav_Forward(&s);
  EXPECT_EQ(s.lastSample, 14999);  // never past the last sample
  EXPECT_EQ(s.firstSample, 5000);
  EXPECT_EQ(ViewNav_Forward(&s), 0);
  ASSERT_EQ(ViewNav_Back(&s), 1);
  EXPECT_EQ(s.firstSample, 3000);
  // Zoom out to the whole file, then nothing more.
  ASSERT_EQ(ViewNav_ZoomOut(&s), 1);
  EXPECT_EQ(s.width, 15000);
  EXPECT_EQ(s.firstSample, 0);
  EXPECT_EQ(s.lastSample, 14999);
  EXPECT_EQ(ViewNav_ZoomOut(&s), 0);
  // Zoom in halves down to 500 samples about the centre.
  int steps = 0;
  while (ViewNav_ZoomIn(&s) == 1) ++steps;
  EXPECT_EQ(steps, 5);  // 7500, 3750, 1875, 937, 500
  EXPECT_EQ(s.width, 500);
  EXPECT_EQ(s.lastSample - s.firstSample + 1, 500);
  EXPECT_NEAR((s.firstSample + s.lastSample) / 2.0, 7499.0, 4.0);
  // A position near the end keeps the width and ends at the last sample.
  ViewNav_Position(&s, 0.995);
  EXPECT_EQ(s.lastSample, 14999);
  EXPECT_EQ(s.firstSample, 14500);
  ViewNav_Position(&s, 0.0);
  EXPECT_EQ(s.firstSample, 0);
  EXPECT_EQ(s.lastSample, 499);
  s.firstSample = 700;
  ViewNav_Begin(&s);
  EXPECT_EQ(s.firstSample, 0);
  EXPECT_EQ(s.lastSample, 499);
}

TEST(SequenceViewNavigation, ZoomToCursorsAndPointLookup) {
  SequenceViewState s;
  s.totalSamples = 100000;
  s.sampleRate = 100e6;
  // 2 µs apart at 100 MHz are 200 samples: widened to 500; either order.
  ViewNav_ZoomCursors(&s, 18.5, 16.0);
  EXPECT_EQ(s.firstSample, 1600);
  EXPECT_EQ(s.lastSample, 2099);
  EXPECT_EQ(s.width, 500);
  ViewNav_ZoomCursors(&s, 500.0, 1200.0);  // ends at the last sample at the latest
  EXPECT_EQ(s.width, 70000);
  EXPECT_EQ(s.lastSample, 99999);
  EXPECT_EQ(s.firstSample, 30000);

  // The point holding the sample a time names (the nearest): 1,000 samples
  // from 1,000 are one point each.
  s.firstSample = 1000;
  s.lastSample = 1999;
  s.pointCount = ViewPoints_Bounds(1000, 1000, 1, s.pointStart);
  EXPECT_EQ(ViewNav_PointAt(s, 10.0), 0);
  EXPECT_EQ(ViewNav_PointAt(s, 15.0), 500);
  EXPECT_EQ(ViewNav_PointAt(s, 19.994), 999);
  EXPECT_EQ(ViewNav_PointAt(s, 9.98), -1);
  EXPECT_EQ(ViewNav_PointAt(s, 20.5), -1);
  s.pointCount = 0;
  EXPECT_EQ(ViewNav_PointAt(s, 15.0), -1);
}

// No command makes a viewport wider than the file or starting before it:
// a width kept from a longer waveform (10,000 samples on a 200-sample
// file), cursors far beyond the file (300 and 400 us) and every operation
// in any order, over files shorter and longer than the narrowest zoom.
TEST(SequenceViewNavigation, EveryCommandKeepsTheViewportInsideTheFile) {
  SequenceViewState s;
  s.sampleRate = 100e6;
  s.totalSamples = 200;
  s.firstSample = 0;
  s.lastSample = 199;
  s.width = 10000;
  ASSERT_EQ(ViewNav_ZoomCursors(&s, 300.0, 400.0), 1);
  EXPECT_EQ(s.firstSample, 0);
  EXPECT_EQ(s.lastSample, 199);
  EXPECT_EQ(s.width, 200);

  std::mt19937 gen(11);
  for (int64_t total : {int64_t{2}, int64_t{200}, int64_t{499}, int64_t{501}, int64_t{15000}}) {
    std::uniform_real_distribution<double> us(-50.0, total / 100.0 + 50.0);
    std::uniform_int_distribution<int> op(0, 6);
    s.totalSamples = total;
    s.width = 10000;
    for (int k = 0; k < 400; ++k) {
      switch (op(gen)) {
        case 0: ViewNav_Back(&s); break;
        case 1: ViewNav_Forward(&s); break;
        case 2: ViewNav_Begin(&s); break;
        case 3: ViewNav_Position(&s, std::uniform_real_distribution<double>(0.0, 1.0)(gen)); break;
        case 4: ViewNav_ZoomIn(&s); break;
        case 5: ViewNav_ZoomOut(&s); break;
        default: ViewNav_ZoomCursors(&s, us(gen), us(gen)); break;
      }
      ASSERT_GE(s.firstSample, 0) << "file " << total << ", step " << k;
      ASSERT_LE(s.lastSample, total - 1) << "file " << total << ", step " << k;
      ASSERT_EQ(s.lastSample - s.firstSample + 1, s.width) << "file " << total << ", step " << k;
      ASSERT_LE(s.width, total) << "file " << total << ", step " << k;
    }
  }
  // Without a file there is nothing to move.
  s.totalSamples = 0;
  for (auto* move : {ViewNav_Back, ViewNav_Forward, ViewNav_Begin, ViewNav_ZoomIn, ViewNav_ZoomOut})
    EXPECT_EQ(move(&s), 0);
  EXPECT_EQ(ViewNav_ZoomCursors(&s, 1.0, 2.0), 0);
}

// The readouts name the sample the time axis names for the same time:
// counted from 1, the one that starts nearest to the cursor, inside the file.
TEST(SequenceViewNavigation, CursorSampleNumbersAreTheAxisNumbers) {
  SequenceViewState s;
  s.sampleRate = 100e6;
  s.totalSamples = 60000;
  EXPECT_EQ(ViewNav_SampleNumber(s, 0.0), 1);           // "0.000 µs (1)"
  EXPECT_EQ(ViewNav_SampleNumber(s, 300.0), 30001);     // 300 us is 29,999.99... samples
  EXPECT_EQ(ViewNav_SampleNumber(s, 400.0), 40001);
  EXPECT_EQ(ViewNav_SampleNumber(s, 0.004), 1);
  EXPECT_EQ(ViewNav_SampleNumber(s, 0.006), 2);
  EXPECT_EQ(ViewNav_SampleNumber(s, -3.0), 1);
  EXPECT_EQ(ViewNav_SampleNumber(s, 600.0), 60000);     // the end of the file: its last sample
  EXPECT_EQ(ViewNav_SampleNumber(s, 9e300), 60000);
}
