// The Sequence View shows every sample of the file, driven through the
// page's own callbacks offscreen: a full-scale sample at the first, a
// middle and the last sample of 10^6- and 10^8-sample files at every zoom
// the navigation reaches, in every trace mode; the I/Q plane holds every
// sample of a short viewport once and its readout names the sample under
// the cursor; spectra of every sample against numpy.fft.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "platform/CLocale.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/IqFiles.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/SequenceViewPage.h"

namespace {

using cz::test::IqFile;

constexpr double kRate = 100e6;
constexpr int kIColour = 0x285291;
constexpr int kMagnitudeColour = 0xAA4EDE;
constexpr int kYellow = 0xFFFF00;

class SequenceViewSamplesTest : public cz::test::SequenceViewPage {
 protected:
  // The point of the time graph holding sample k; -1 when none does.
  static int PointOf(int64_t k) {
    const SequenceViewState& s = g_SequenceView;
    for (int i = 0; i < s.pointCount; ++i)
      if (s.pointStart[i] <= k && k < s.pointStart[i + 1]) return i;
    return -1;
  }
  // A plot of the colour reaches full scale (22 units, the top of every
  // trace's band: I = 1, 0 dB, magnitude 1) at x.
  static bool FullScaleAt(double x, int colour) {
    for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQPT)) {
      if (p.color != colour) continue;
      for (size_t v = 0; v < p.x.size(); ++v)
        if (std::fabs(p.x[v] - x) <= 1e-9 * std::fmax(1.0, std::fabs(x)) && p.y[v] >= 22.0 - 1e-6) return true;
    }
    return false;
  }
  // The spectrum's 499 segments join points 0 .. 499, each from its level
  // below the reference, the highest of them within 10 dB of the top.
  static void ExpectEveryPointDrawn(const std::string& what) {
    const SequenceViewState& s = g_SequenceView;
    std::vector<int> from(kViewSpectrumPoints, 0);
    double top = -HUGE_VAL;
    for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM)) {
      if (p.kind != "line") continue;
      const int e = static_cast<int>(p.x[0]);
      ASSERT_TRUE(e >= 0 && e + 1 < kViewSpectrumPoints && p.x[1] == e + 1) << what;
      ++from[static_cast<size_t>(e)];
      EXPECT_NEAR(p.y[0], std::max(s.spectrum[e] - s.spectrumReference, -100.0), 1e-9) << what;
      top = std::max({top, p.y[0], p.y[1]});
    }
    EXPECT_EQ(std::count(from.begin(), from.end() - 1, 1), kViewSpectrumPoints - 1) << what;
    EXPECT_TRUE(top > -10.0 && top <= 0.0) << what << ": highest point " << top << " dB below the top";
  }
  static double Number(const std::string& text, const std::string& after) {
    const size_t at = text.rfind(after);
    return at == std::string::npos ? std::nan("") : std::strtod(text.c_str() + at + after.size(), nullptr);
  }
};

// Whole file, then each zoom in down to 500 samples; at every width the
// viewport is moved onto each full-scale sample with the position slide
// and every mode is looked at.
TEST_F(SequenceViewSamplesTest, AFullScaleSampleShowsAtEveryZoomInEveryMode) {
  struct Mode {
    int ringIndex;
    int colour;
  };
  const Mode modes[] = {{0, kIColour}, {1, kMagnitudeColour}, {2, kMagnitudeColour}, {3, kMagnitudeColour}};
  for (int64_t total : {int64_t{1000000}, int64_t{100000000}}) {
    const std::vector<int64_t> spikes = {0, total / 2 + 7, total - 1};
    std::vector<cz::test::IqSample> samples;
    for (int64_t k : spikes) samples.push_back({k, 1.0f, 0.0f});
    const IqFile file = cz::test::SparseIqFile(dir_.File("WV-DATA.TMP"), total, samples);
    ASSERT_TRUE(file);
    ASSERT_EQ(ShowBuilt(file.get(), total, kRate), 1);
    while (g_SequenceView.width < total) ASSERT_EQ(UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMOUT), 1);
    std::vector<int64_t> widths;
    for (;;) {
      widths.push_back(g_SequenceView.width);
      for (int64_t k : spikes) {
        ASSERT_EQ(UiTest_EnterValue(TAB_VIEW, TAB_VIEW_SLIDE_POS, (static_cast<double>(k) + 0.5) / total), 1);
        ASSERT_LE(g_SequenceView.firstSample, k);
        ASSERT_GE(g_SequenceView.lastSample, k);
        const int point = PointOf(k);
        ASSERT_GE(point, 0) << "width " << g_SequenceView.width << " sample " << k;
        const double x = static_cast<double>(g_SequenceView.pointStart[point]) / kRate * 1e6;
        for (const Mode& m : modes) {
          ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_IQVIEW, m.ringIndex), 1);
          EXPECT_TRUE(FullScaleAt(x, m.colour)) << "file " << total << ", width " << g_SequenceView.width
                                                << ", sample " << k << ", mode index " << m.ringIndex;
        }
        ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_IQVIEW, 0), 1);
      }
      if (g_SequenceView.width <= kViewMinZoomWidth) break;
      ASSERT_EQ(UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN), 1);
    }
    EXPECT_EQ(widths.front(), total);
    EXPECT_EQ(widths.back(), kViewMinZoomWidth);
    EXPECT_EQ(CountLines("*** Failed"), 0);
  }
}

// Sample k holds ((k mod 4000) / 4000, -(k mod 10000) / 10000), sample 1
// (0.1, -0.1): the pairs of any 4,000 samples differ, so each plotted
// square names one sample.
TEST_F(SequenceViewSamplesTest, TheIqPlaneHoldsEverySampleOnceAndReadsTheSampleUnderTheCursor) {
  const auto sample = [](int64_t k) {
    return k == 1 ? std::pair<double, double>(0.1, -0.1)
                  : std::pair<double, double>((k % 4000) / 4000.0, -(k % 10000) / 10000.0);
  };
  const IqFile file = cz::test::WriteIqFile(dir_.File("WV-DATA.TMP"), 200000, sample);
  ASSERT_TRUE(file);
  for (int64_t span : {100, 999, 1500, 1999}) {
    for (int64_t first : {0, 37}) {
      SetSequenceViewData(first, first + span - 1, kRate, file.get(), 200000);
      ASSERT_EQ(DrawSequenceView(), 1);
      std::vector<int> seen(static_cast<size_t>(span), 0);
      for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQ)) {
        if (p.kind != "point" || p.color != kYellow) continue;
        int64_t named = -1;
        for (int64_t k = 0; k < span && named < 0; ++k) {
          const auto [i, q] = sample(first + k);
          if (p.x[0] == static_cast<float>(i) && p.y[0] == static_cast<float>(q)) named = k;
        }
        ASSERT_GE(named, 0) << "a square at " << p.x[0] << ", " << p.y[0];
        ++seen[static_cast<size_t>(named)];
      }
      EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), span) << "view of " << span << " from " << first;
    }
  }
  // The time cursor on samples 0, 1 and 150,001 (counted from 0): the I/Q
  // readout gives that sample's own values, in a narrow and a wide view.
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON);
  struct Row {
    int64_t first, last, k;
    const char* readout;
  };
  const Row rows[] = {{0, 99, 0, "I:0.00   Q:0.00"},   {0, 99, 1, "I:0.10   Q:-0.10"},
                      {0, 199999, 1, "I:0.10   Q:-0.10"}, {0, 199999, 150001, "I:0.50   Q:-0.00"}};
  for (const Row& row : rows) {
    SetSequenceViewData(row.first, row.last, kRate, file.get(), 200000);
    ASSERT_EQ(DrawSequenceView(), 1);
    SetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 2, 0.5, 5.0);
    ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 1, row.k / kRate * 1e6, 10.0, 2), 1);
    EXPECT_EQ(Text(TAB_VIEW_STR_CSR1), cz::FormatC("+ %9.3f\xC2\xB5s (%7lld)", row.k / kRate * 1e6,
                                                   static_cast<long long>(row.k + 1)));
    EXPECT_EQ(Text(TAB_VIEW_STR_IQMARKER1), row.readout) << "sample " << row.k;
  }
}

// Tones at fs/4 (0.3), DC (0.2) and one bin above -fs/2 (0.25), in the
// second half of the file only: the spectrum of every sample ("All") has
// numpy's levels at its peaks within 0.5 dB; the cursors read the
// spectrum's level and the band level is the power of the bins between
// them; every point is drawn. "Viewport" on the second half alone does the
// same. An all-zero file lies at the bottom and says so.
TEST_F(SequenceViewSamplesTest, SpectraOfEverySampleMatchNumpyAtTheirPeaks) {
  for (int64_t n : {int64_t{3000}, int64_t{1000000}, int64_t{1} << 20}) {
    const double edge = -0.5 + 1.0 / static_cast<double>(n);
    const auto sample = [&](int64_t k) {
      if (k < n / 2) return std::pair<double, double>(0.0, 0.0);
      const double a = 2.0 * 3.141592653589793 * std::remainder(edge * static_cast<double>(k), 1.0);
      const double b = 2.0 * 3.141592653589793 * 0.25 * static_cast<double>(k % 4);
      return std::pair<double, double>(0.2 + 0.3 * std::cos(b) + 0.25 * std::cos(a), 0.3 * std::sin(b) + 0.25 * std::sin(a));
    };
    const std::string path = dir_.File("WV-DATA.TMP");
    const IqFile file = cz::test::WriteIqFile(path, n, sample);
    ASSERT_TRUE(file);
    const int quarter = 375, dc = 250, low = 0;
    const SequenceViewState& s = g_SequenceView;
    std::string out;
    const auto expectPeaks = [&](const std::string& range, const std::string& what) {
      ASSERT_EQ(cz::test::RunDspReference("spectrum " + cz::test::Quoted(path) + range +
                                              cz::FormatC(" peak 0.25 peak 0 peak %.12f band %.6f %.6f", edge,
                                                          (quarter - 2.5) / 500.0 - 0.5, (quarter + 2.5) / 500.0 - 0.5),
                                          &out),
                0)
          << out;
      EXPECT_NEAR(s.spectrum[quarter], cz::test::ReferenceValue(out, "peak0"), 0.5) << what << ": " << out;
      EXPECT_NEAR(s.spectrum[dc], cz::test::ReferenceValue(out, "peak1"), 0.5) << what << ": " << out;
      EXPECT_NEAR(s.spectrum[low], cz::test::ReferenceValue(out, "peak2"), 0.5) << what << ": " << out;
      EXPECT_NEAR(s.spectrum[quarter], 20.0 * std::log10(0.3 * n / 2), 0.5) << what;
      ExpectEveryPointDrawn(what);
    };
    SetSequenceViewData(n / 2, n - 1, kRate, file.get(), n);
    ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_FFTVIEW, 1), 1);  // "Viewport"
    expectPeaks(cz::FormatC(" range %lld %lld", static_cast<long long>(n / 2), static_cast<long long>(n)),
                "viewport of " + std::to_string(n / 2));
    ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_FFTVIEW, 0), 1);
    ASSERT_EQ(ShowBuilt(file.get(), n, kRate), 1);
    expectPeaks("", "file of " + std::to_string(n));
    // Cursors two points either side of the fs/4 line, let go anywhere.
    UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON_2);
    ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, 2, quarter + 2.0, -80.0, 2), 1);
    ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, 1, quarter - 2.0, -3.0, 2), 1);
    EXPECT_NEAR(Number(Text(TAB_VIEW_STR_FFTBP), "|| "), cz::test::ReferenceValue(out, "band0"), 0.15) << out;
    ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, 1, quarter + 0.2, -97.0, 2), 1);
    EXPECT_NEAR(Number(Text(TAB_VIEW_STR_FFTMARKER1), "MHz"), cz::test::ReferenceValue(out, "peak0"), 0.5);
    UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON_2);
  }
  const IqFile zeros = cz::test::SparseIqFile(dir_.File("WV-DATA.TMP"), 5000, {});
  ASSERT_EQ(ShowBuilt(zeros.get(), 5000, kRate), 1);
  int atBottom = 0;
  std::vector<std::string> said;
  for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM)) {
    if (p.kind == "text") said.push_back(p.text);
    if (p.kind == "line" && p.y[0] == -100.0 && p.y[1] == -100.0) ++atBottom;
  }
  EXPECT_EQ(atBottom, 499);
  EXPECT_EQ(said, std::vector<std::string>{"Every sample in range is 0."});
}

}  // namespace
