// Sequence View arithmetic without widgets: the transform against a direct
// DFT, spectrum levels and buffer sizing, the reduction to display points,
// the 1-2-5 steps and SI texts, and the viewport operations.
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editors/SequenceView.h"
#include "engine/SignalMath.h"

namespace {

// Direct DFT with 2 pi in full; the transform's constant 6.28318 differs by
// 5e-6 of a turn, far below what a wrong permutation or butterfly gives.
std::vector<std::complex<double>> DirectDft(const std::vector<double>& data, int n) {
  std::vector<std::complex<double>> out(n);
  for (int k = 0; k < n; ++k) {
    std::complex<double> sum = 0.0;
    for (int j = 0; j < n; ++j)
      sum += std::complex<double>(data[2 * j], data[2 * j + 1]) * std::polar(1.0, -2.0 * PiConstant * j * k / n);
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

}  // namespace

TEST(SequenceViewFft, MatchesDirectDftForRandomData) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {2, 8, 64, 256}) {
    std::vector<double> data(2 * n);
    for (double& v : data) v = u(gen);
    const auto expected = DirectDft(data, n);
    ComputeFft(data.data(), n, 1);
    for (int k = 0; k < n; ++k) {
      EXPECT_NEAR(data[2 * k], expected[k].real(), 2e-5 * n) << "n " << n << " bin " << k;
      EXPECT_NEAR(data[2 * k + 1], expected[k].imag(), 2e-5 * n) << "n " << n << " bin " << k;
    }
  }
}

TEST(SequenceViewFft, ToneLandsOnItsBinAtTwentyLogN) {
  SequenceViewState state;
  SpectrumBuffer buffer;
  // A full-scale tone of +100 bins in 4,096 samples: after the half swap its
  // level 20 log10(4096) = 72.2 dB lies at index 2048 + 100.
  ASSERT_EQ(SpectrumBuffer_Prepare(&buffer, 4096, 4096, 1), 1);
  const auto tone = Tone(4096, 100.0 / 4096.0, 1.0);
  for (int64_t j = 0; j < 4096; ++j) SpectrumBuffer_Add(&buffer, tone[2 * j], tone[2 * j + 1]);
  ASSERT_EQ(Spectrum_Compute(&buffer, &state), 4096);
  const double* level = buffer.data.get();
  int peak = 0;
  for (int k = 1; k < 4096; ++k)
    if (level[k] > level[peak]) peak = k;
  EXPECT_EQ(peak, 2048 + 100);
  EXPECT_NEAR(level[peak], 20.0 * std::log10(4096.0), 0.01);
  EXPECT_DOUBLE_EQ(state.spectrumReference, 80.0);
  // Display point of that index: step 4096 / 500; the largest point holds the peak.
  int best = 0;
  for (int e = 0; e < kViewSpectrumPoints; ++e)
    if (state.spectrum[e] > state.spectrum[best]) best = e;
  EXPECT_NEAR(state.spectrum[best], level[peak], 1e-12);
  EXPECT_NEAR(best, (2048 + 100) / (4096.0 / 500.0), 1.0);
  // A point is (x / 500 - 0.5) * rate: +100/4096 of the rate.
  EXPECT_NEAR(best / 500.0 - 0.5, 100.0 / 4096.0, 1.0 / 500.0);
}

// The read-out of the display point holding a tone, (x / 500 - 0.5) of
// the rate, lies within half a point of the tone's bin frequency k / N - 0.5
// (modulo the rate: a tone just below +rate/2 is nearest to point 0 at
// -rate/2); DC reads 0 exactly.
TEST(SequenceViewFft, PeakPointReadsTheTonesFrequency) {
  std::mt19937 gen(5);
  for (int64_t n : {1024, 4096, 65536}) {
    std::uniform_int_distribution<int64_t> bin(-n / 2, n / 2 - 1);
    for (int64_t offset : {int64_t{0}, n / 4, -n / 4, n / 2 - 3, bin(gen), bin(gen)}) {
      SequenceViewState state;
      SpectrumBuffer buffer;
      ASSERT_EQ(SpectrumBuffer_Prepare(&buffer, n, n, 1), 1);
      const auto tone = Tone(n, static_cast<double>(offset) / static_cast<double>(n), 0.5);
      for (int64_t j = 0; j < n; ++j) SpectrumBuffer_Add(&buffer, tone[2 * j], tone[2 * j + 1]);
      ASSERT_EQ(Spectrum_Compute(&buffer, &state), n);
      int best = 0;
      for (int e = 0; e < kViewSpectrumPoints; ++e)
        if (state.spectrum[e] > state.spectrum[best]) best = e;
      const double readOut = best / 500.0 - 0.5;
      EXPECT_LE(std::fabs(std::remainder(readOut - static_cast<double>(offset) / static_cast<double>(n), 1.0)),
                0.5 / 500.0)
          << "N " << n << " bin offset " << offset << " point " << best;
      if (offset == 0) EXPECT_EQ(readOut, 0.0) << "N " << n;
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
  EXPECT_EQ(Spectrum_Compute(&b, &state), 2048);
  // More samples than the capacity are never stored.
  SpectrumBuffer_Add(&b, 1.0, 1.0);
  EXPECT_EQ(b.count, 3000);
}

TEST(SequenceViewFft, ReferenceAndBandLevel) {
  SequenceViewState s;
  SpectrumBuffer b;
  // Constant amplitude a gives a single level 20 log10(1024 a) at DC.
  const auto levelFor = [&](double amplitude) {
    SpectrumBuffer_Prepare(&b, 1024, 0, 1);
    for (int j = 0; j < 1024; ++j) SpectrumBuffer_Add(&b, amplitude, 0.0);
    Spectrum_Compute(&b, &s);
    return s.spectrumReference;
  };
  EXPECT_DOUBLE_EQ(levelFor(1000.0 / 1024.0), 70.0);          // exactly 60 dB -> 70
  EXPECT_DOUBLE_EQ(levelFor(std::pow(10.0, -1.5) / 1024.0), -30.0);  // -30 dB -> -30
  for (int e = 0; e < kViewSpectrumPoints; ++e) s.spectrum[e] = -200.0;
  s.spectrum[10] = 0.0;
  s.spectrum[20] = 0.0;
  EXPECT_NEAR(Spectrum_BandLevel(s, 5.0, 25.0), 20.0 * std::log10(2.0), 1e-6);
  EXPECT_DOUBLE_EQ(Spectrum_BandLevel(s, 25.0, 5.0), Spectrum_BandLevel(s, 5.0, 25.0));
  // Cursors outside the 500 slots read the slots at the edges.
  EXPECT_NEAR(Spectrum_BandLevel(s, -40.0, 800.0), 20.0 * std::log10(2.0), 1e-6);
}

TEST(SequenceViewReduce, PointCountsAndGroups) {
  auto reduce = [](int64_t span, auto sample) {
    static SequenceViewState s;
    ViewReducer r;
    ViewReducer_Init(&r, span, &s);
    for (int64_t k = 0; k < span; ++k) {
      const auto [i, q] = sample(k);
      ViewReducer_Add(&r, i, q, &s);
    }
    return std::pair<int32_t, SequenceViewState*>(r.closed, &s);
  };
  const auto ramp = [](int64_t k) { return std::pair<double, double>(k * 1e-3, 0.0); };
  // 100 samples: the first point holds samples 0 and 1, every later one its own.
  auto [n100, s100] = reduce(100, ramp);
  EXPECT_EQ(n100, 99);
  EXPECT_DOUBLE_EQ(s100->meanI[0], 0.5e-3);
  EXPECT_DOUBLE_EQ(s100->meanI[1], 2e-3);
  EXPECT_DOUBLE_EQ(s100->maxI[0], 1e-3);
  EXPECT_DOUBLE_EQ(s100->minI[0], 0.0);
  EXPECT_EQ(reduce(100000, ramp).first, 999);
  EXPECT_EQ(reduce(1000, ramp).first, 999);
  EXPECT_EQ(reduce(2, ramp).first, 1);
}

TEST(SequenceViewReduce, SteadyRotationGivesSteadyFrequencyAcrossTheWrap) {
  SequenceViewState s;
  ViewReducer r;
  const int64_t span = 5000;
  ViewReducer_Init(&r, span, &s);
  // 0.37 rad per sample wraps past +-pi every 17 samples.
  for (int64_t k = 0; k < span; ++k) ViewReducer_Add(&r, 0.9 * std::cos(0.37 * k), 0.9 * std::sin(0.37 * k), &s);
  ASSERT_EQ(r.closed, 999);
  for (int p = 1; p < r.closed; ++p) ASSERT_NEAR(s.meanFreq[p], 0.37 / PiConstant, 1e-5) << p;
  EXPECT_NEAR(s.closeMag[500], 0.9, 1e-6);
  EXPECT_NEAR(std::pow(10.0, s.peakLog[500]), 0.9, 1e-6);
  // Density: a circle of radius 0.9 fills cells near the rim only.
  EXPECT_EQ(s.density[40][40], 0.0);
  EXPECT_GT(s.density[76][40], 0.0);
}

TEST(SequenceViewReduce, DensityBordersAndFloor) {
  SequenceViewState s;
  ViewReducer r;
  ViewReducer_Init(&r, 2000, &s);
  ViewReducer_Add(&r, 1.7, -3.0, &s);
  ViewReducer_Add(&r, 0.0, 0.0, &s);
  EXPECT_EQ(s.density[80][0], 1.0);
  EXPECT_EQ(s.density[40][40], 1.0);
  // Below 2,000 samples no density is counted.
  ViewReducer_Init(&r, 1999, &s);
  ViewReducer_Add(&r, 0.0, 0.0, &s);
  EXPECT_EQ(s.density[40][40], 0.0);
  // A silent group is floored at 1e-5 (-100 dB).
  ViewReducer_Init(&r, 100, &s);
  ViewReducer_Add(&r, 0.0, 0.0, &s);
  ViewReducer_Add(&r, 0.0, 0.0, &s);
  EXPECT_DOUBLE_EQ(s.peakLog[0], -5.0);
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

  s.firstSample = 1000;
  s.lastSample = 1999;
  s.pointCount = 999;
  EXPECT_EQ(ViewNav_PointAt(s, 10.0), 0);
  EXPECT_EQ(ViewNav_PointAt(s, 15.0), 499);
  EXPECT_EQ(ViewNav_PointAt(s, 9.0), -1);
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
