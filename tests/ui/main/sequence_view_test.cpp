// The Sequence View page driven offscreen: built page, a draw from a small
// temporary I/Q file, navigation that never reads past the file, short
// files, mode and Y zoom, and the cursor readouts.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/Keywords.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "engine/EngineHost.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/CLocale.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/SequenceViewPage.h"
#include "tests/support/TempDir.h"
#include "ui/main/PanelBuild.h"
#include "ui/main/SequenceViewPage.h"
#include "wavelib/WaveLib.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

class SequenceViewPageTest : public cz::test::SequenceViewPage {
 protected:
  void SetUp() override {
    SequenceViewPage::SetUp();
    // Small buffers so that reads cross buffer boundaries.
    ASSERT_EQ(SetBufferSlotBytes(4096), 1);
  }

  // A temporary I/Q file of n samples, sample k = f(k); left positioned at
  // its end, as the builder leaves it.
  FILE* MakeFile(int64_t n, double (*fi)(int64_t), double (*fq)(int64_t)) {
    file_.reset(std::fopen(dir_.File("WV-DATA.TMP").c_str(), "w+b"));
    EXPECT_NE(file_.get(), nullptr);
    std::fwrite("IQF", 1, 3, file_.get());
    for (int64_t k = 0; k < n; ++k) {
      const float v[2] = {static_cast<float>(fi(k)), static_cast<float>(fq(k))};
      std::fwrite(v, sizeof v[0], 2, file_.get());
    }
    std::fflush(file_.get());
    return file_.get();
  }

  std::unique_ptr<FILE, FileCloser> file_;
};

double ToneI(int64_t k) { return 0.8 * std::cos(2.0 * 3.141592653589793 * 0.01 * k); }
double ToneQ(int64_t k) { return 0.8 * std::sin(2.0 * 3.141592653589793 * 0.01 * k); }
double Half(int64_t) { return 0.5; }
double MinusQuarter(int64_t) { return -0.25; }

}  // namespace

TEST_F(SequenceViewPageTest, BuiltWithValuesNotPositions) {
  int value = 0;
  ASSERT_GE(GetValueFromIndex(TAB_VIEW, TAB_VIEW_RING_IQVIEW, 2, &value), 0);
  EXPECT_EQ(value, VIEW_PHASE);
  GetCtrlVal(TAB_VIEW, TAB_VIEW_RING_IQVIEW, &value);
  EXPECT_EQ(value, VIEW_IQ);
  GetCtrlVal(TAB_VIEW, TAB_VIEW_RING_FFTVIEW, &value);
  EXPECT_EQ(value, FFT_RING_ALL);
  double slide = 0, incr = 0;
  GetCtrlVal(TAB_VIEW, TAB_VIEW_SLIDE_POS, &slide);
  GetCtrlAttribute(TAB_VIEW, TAB_VIEW_SLIDE_POS, ATTR_INCR_VALUE, &incr);
  EXPECT_DOUBLE_EQ(slide, 0.5);
  EXPECT_DOUBLE_EQ(incr, 0.02);
  int cursors = 0;
  GetCtrlAttribute(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, ATTR_NUM_CURSORS, &cursors);
  EXPECT_EQ(cursors, 2);
  EXPECT_EQ(Text(TAB_VIEW_STR_CSR1), "xxx");
  EXPECT_EQ(Text(TAB_VIEW_TXT_FFT), "FFT Spectrum     MAX PK");
  // Before any build a draw has nothing to show.
  EXPECT_EQ(DrawSequenceView(), 0);
  EXPECT_EQ(CountLines("*** No data because start index is equal to stop index."), 1);
}

TEST_F(SequenceViewPageTest, DrawsAToneFile) {
  FILE* f = MakeFile(5000, ToneI, ToneQ);
  SetSequenceViewData(0, 4999, 100e6, f, 5000);
  ASSERT_EQ(DrawSequenceView(), 1);
  EXPECT_EQ(Text(TAB_VIEW_STR_TSTART), "0.000 \xC2\xB5s (1)");
  EXPECT_EQ(Text(TAB_VIEW_STR_TSTOP), "50.000 \xC2\xB5s (5000)");
  EXPECT_EQ(Text(TAB_VIEW_STR_TDIV), "5.000 \xC2\xB5s/div");
  EXPECT_EQ(Text(TAB_VIEW_STR_FFTSPAN), "Span: 100.000 MHz");
  // The spectrum's ticks read in the span's unit, -50 .. +50 MHz.
  const std::vector<std::string> ticks = UiTest_AxisValueLabels(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_BOTTOM_XAXIS);
  ASSERT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.front(), "-50");
  EXPECT_EQ(ticks.back(), "50");
  EXPECT_FALSE(UiTest_AxisValueLabels(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, VAL_LEFT_YAXIS).empty());
  EXPECT_EQ(Text(TAB_VIEW_TXT_CONSTELL), "I/Q Plane Density Plot");
  EXPECT_EQ(CountLines("Drawing sample 1 - 5000."), 1);
  EXPECT_EQ(g_SequenceView.pointCount, 1000);
  EXPECT_NEAR(g_SequenceView.meanFreq[10], 0.02, 1e-5);  // 1 MHz at 100 MHz
  EXPECT_EQ(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM).size(), 499u);
  EXPECT_EQ(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_SCALE).size(), 1000u);
  // The spectrum's peak display point stands at +1 MHz: all 5,000 samples
  // of amplitude 0.8 give 20 log10(0.8 x 5000) = 72.0 dB below a reference
  // of 80, and the cursor reads that level wherever it is let go.
  int best = 0;
  for (int e = 0; e < 500; ++e)
    if (g_SequenceView.spectrum[e] > g_SequenceView.spectrum[best]) best = e;
  EXPECT_NEAR((best / 500.0 - 0.5) * 100.0, 1.0, 0.2);
  EXPECT_NEAR(g_SequenceView.spectrum[best], 20.0 * std::log10(0.8 * 5000), 0.01);
  EXPECT_DOUBLE_EQ(g_SequenceView.spectrumReference, 80.0);
  for (double y : {-10.0, -55.0, -95.0}) {
    ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM, 1, best + 0.3, y, 2), 1);
    EXPECT_EQ(Text(TAB_VIEW_STR_FFTMARKER1), cz::FormatC("+ %7.3fMHz %5.1fdB", ((best + 0.3) / 500.0 - 0.5) * 100.0,
                                                          20.0 * std::log10(0.8 * 5000)));
  }
  EXPECT_EQ(Text(TAB_VIEW_TXT_FFTMAX), "0");

  // A viewport below 2,000 samples is a vector diagram.
  SetSequenceViewData(0, 1998, 100e6, f, 5000);
  ASSERT_EQ(DrawSequenceView(), 1);
  EXPECT_EQ(Text(TAB_VIEW_TXT_CONSTELL), "I/Q Plane Vector Diagram");
}

TEST_F(SequenceViewPageTest, NavigationNeverReadsPastTheFile) {
  FILE* f = MakeFile(3000, Half, MinusQuarter);
  SetSequenceViewData(0, 999, 10e6, f, 3000);
  ASSERT_EQ(DrawSequenceView(), 1);
  for (int k = 0; k < 20; ++k) UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHFWD);
  EXPECT_EQ(g_SequenceView.lastSample, 2999);
  EXPECT_EQ(g_SequenceView.firstSample, 2000);
  EXPECT_EQ(CountLines("*** "), 0);
  const int draws = CountLines("Drawing sample");
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHFWD);  // at the end: no redraw
  EXPECT_EQ(CountLines("Drawing sample"), draws);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMOUT);
  EXPECT_EQ(g_SequenceView.width, 2000);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMOUT);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMOUT);
  EXPECT_EQ(g_SequenceView.width, 3000);
  EXPECT_EQ(g_SequenceView.firstSample, 0);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
  EXPECT_EQ(g_SequenceView.width, 500);
  UiTest_EnterValue(TAB_VIEW, TAB_VIEW_SLIDE_POS, 1.0);
  EXPECT_EQ(g_SequenceView.lastSample, 2999);
  EXPECT_EQ(g_SequenceView.firstSample, 2500);
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHBEGIN);
  EXPECT_EQ(g_SequenceView.firstSample, 0);
  EXPECT_EQ(g_SequenceView.lastSample, 499);
  double slide = 0;
  GetCtrlVal(TAB_VIEW, TAB_VIEW_SLIDE_POS, &slide);
  EXPECT_NEAR(slide, 250.0 / 3000.0, 1e-12);
  EXPECT_EQ(CountLines("*** "), 0);
  // The viewport's mean values reach the I/Q readouts through the time cursor.
  SetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 2, 60.0, 5.0);
  ASSERT_EQ(UiTest_DragGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, 1, 30.0, 10.0, 3), 1);
  // Sample numbers count from 1, as the time axis does: 30 µs at 10 MHz is
  // where sample 301 starts.
  EXPECT_EQ(Text(TAB_VIEW_STR_CSR1), "+    30.000\xC2\xB5s (    301)");
  EXPECT_EQ(Text(TAB_VIEW_STR_CSR2), "x    60.000\xC2\xB5s (    601)");
  EXPECT_EQ(Text(TAB_VIEW_STR_CSR_DELTA), "||    30.000\xC2\xB5s   33333.3Hz");
  EXPECT_EQ(Text(TAB_VIEW_STR_IQMARKER1), "I:0.50   Q:-0.25");
  EXPECT_EQ(Text(TAB_VIEW_STR_IQMARKER2), "Mag:0.56   Ph:-26.6");
  // Near the origin the phase reads 0.
  SetGraphCursor(TAB_VIEW, TAB_VIEW_GRAPH_IQ, 1, -0.05, 0.05);
  IqGraphCb(TAB_VIEW, TAB_VIEW_GRAPH_IQ, EVENT_COMMIT, nullptr, 0, 0);
  EXPECT_EQ(Text(TAB_VIEW_STR_IQMARKER2), "Mag:0.07   Ph:0.0");
  // Zoom to the cursors: 30 µs at 10 MHz are 300 samples, widened to 500.
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOM_CSR);
  EXPECT_EQ(g_SequenceView.width, 500);
  EXPECT_EQ(g_SequenceView.firstSample, 300);
}

TEST_F(SequenceViewPageTest, ShortFilesFailCleanly) {
  // The file holds 2,000 samples but the build claims 3,000.
  FILE* f = MakeFile(2000, Half, Half);
  SetSequenceViewData(1500, 2499, 10e6, f, 3000);
  g_SequenceView.fftScope = 1;
  EXPECT_EQ(DrawSequenceView(), 0);
  EXPECT_EQ(CountLines("*** Failed to read data for graphics preview."), 1);
  EXPECT_EQ(g_SequenceView.pointCount, 0);
  EXPECT_FALSE(GetBufferSlot(kViewReadSlot)->readBuffer);  // slot released
  g_SequenceView.fftScope = 0;
  SetSequenceViewData(0, 999, 10e6, f, 3000);
  EXPECT_EQ(DrawSequenceView(), 0);
  EXPECT_EQ(CountLines("*** Failed to read remaining data for FFT preview."), 1);
  EXPECT_FALSE(GetBufferSlot(kViewReadSlot)->readBuffer);
  // A file of one sample has nothing to draw.
  SetSequenceViewData(0, 0, 10e6, MakeFile(1, Half, Half), 1);
  EXPECT_EQ(DrawSequenceView(), 0);
  EXPECT_EQ(CountLines("*** No data because start index is equal to stop index."), 1);
  // A past-the-end viewport is cut to the file.
  SetSequenceViewData(-20, 99999, 10e6, MakeFile(700, Half, Half), 700);
  EXPECT_EQ(DrawSequenceView(), 1);
  EXPECT_EQ(g_SequenceView.firstSample, 0);
  EXPECT_EQ(g_SequenceView.lastSample, 699);
  EXPECT_EQ(g_SequenceView.width, 700);  // no wider than the file
  double slide = -1;
  GetCtrlVal(TAB_VIEW, TAB_VIEW_SLIDE_POS, &slide);
  EXPECT_DOUBLE_EQ(slide, 0.5);
}

TEST_F(SequenceViewPageTest, ModesTextsAndYZoom) {
  FILE* f = MakeFile(3000, ToneI, ToneQ);
  SetSequenceViewData(0, 2999, 10e6, f, 3000);
  ASSERT_EQ(DrawSequenceView(), 1);
  EXPECT_EQ(Text(TAB_VIEW_TEXT_TRC1), "I(t)");
  const int draws = CountLines("Drawing sample");
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN_Y);  // nothing in "I / Q"
  EXPECT_EQ(CountLines("Drawing sample"), draws);
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_IQVIEW, 2), 1);  // "Phase"
  EXPECT_EQ(g_Settings.ViewMode, VIEW_PHASE);
  EXPECT_EQ(CountLines("Drawing sample"), draws);  // the time graph only
  EXPECT_EQ(Text(TAB_VIEW_TEXT_TRC2), "Phi(t)");
  EXPECT_EQ(Text(TAB_VIEW_TXT_MAX2), " 1.0 Pi");
  EXPECT_EQ(Text(TAB_VIEW_TXT_MIN2), "-1.0 Pi");
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMOUT_Y);
  EXPECT_EQ(Text(TAB_VIEW_TXT_MAX2), " 2.0 Pi");
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_IQVIEW, 3), 1);  // "Frequency"
  EXPECT_EQ(Text(TAB_VIEW_TXT_MAX2), " 5.0 MHz");
  EXPECT_EQ(Text(TAB_VIEW_TXT_XXX2), "Frq");
  EXPECT_FALSE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQPT).empty());
  // The spectrum scope redraws everything.
  ASSERT_EQ(UiTest_ChooseRingIndex(TAB_VIEW, TAB_VIEW_RING_FFTVIEW, 1), 1);
  EXPECT_EQ(g_SequenceView.fftScope, 1);
  EXPECT_EQ(CountLines("Drawing sample"), draws + 2);  // zoom out Y and the scope
  // Readout toggles.
  UiTest_ClickCtrl(TAB_VIEW, TAB_VIEW_CHK_MKRON);
  int visible = 0;
  GetCtrlAttribute(TAB_VIEW, TAB_VIEW_STR_CSR1, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 1);
  GetCtrlAttribute(TAB_VIEW, TAB_VIEW_STR_FFTBP, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 0);
  // New and loaded projects empty the graphs.
  ClearSequenceView();
  EXPECT_TRUE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQPT).empty());
  EXPECT_TRUE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_SPECTRUM).empty());
}

TEST_F(SequenceViewPageTest, InsertedPageKeepsRingsAxesAndCursors) {
  const int host = NewPanel(0, "", 0, 0, 700, 1000);
  const int tab = NewCtrl(host, CTRL_TAB, "", 0, 0);
  const TabPageDef look = {"Sequence View", 0xE0E0E0, 0x303030, "Arial", 14, nullptr};
  const int index = PanelBuild_InsertPage(host, tab, BuildSequenceViewPanel, look);
  ASSERT_GE(index, 0);
  int page = 0;
  ASSERT_GE(GetPanelHandleFromTabPage(host, tab, index, &page), 0);
  int count = 0, value = 0;
  GetNumListItems(page, TAB_VIEW_RING_IQVIEW, &count);
  EXPECT_EQ(count, 4);
  GetCtrlVal(page, TAB_VIEW_RING_IQVIEW, &value);
  EXPECT_EQ(value, VIEW_IQ);
  GetCtrlAttribute(page, TAB_VIEW_GRAPH_SPECTRUM, ATTR_NUM_CURSORS, &count);
  EXPECT_EQ(count, 2);
  double x = 0, y = 0;
  ASSERT_GE(GetGraphCursor(page, TAB_VIEW_GRAPH_SPECTRUM, 2, &x, &y), 0);
  EXPECT_NEAR(x, 333.333333, 1e-6);
  EXPECT_NEAR(y, -66.666667, 1e-6);
  int color = 0;
  GetCursorAttribute(page, TAB_VIEW_GRAPH_IQPT, 2, ATTR_CURSOR_COLOR, &color);
  EXPECT_EQ(color, 0xFF6600);
  int mode = 0;
  double lo = 0, hi = 0;
  GetAxisScalingMode(page, TAB_VIEW_GRAPH_SPECTRUM, VAL_LEFT_YAXIS, &mode, &lo, &hi);
  EXPECT_EQ(mode, VAL_MANUAL);
  EXPECT_DOUBLE_EQ(lo, -100.0);
  EXPECT_DOUBLE_EQ(hi, 0.0);
}

TEST_F(SequenceViewPageTest, TimeTraceExtentsAndOverviewBar) {
  // 300,000 samples; a viewport of 500 is at most 1/500 of the file: the
  // overview marks it with a grey line.
  FILE* f = MakeFile(300000, ToneI, ToneQ);
  SetSequenceViewData(1000, 1499, 10e6, f, 300000);
  g_SequenceView.fftScope = 1;
  ASSERT_EQ(DrawSequenceView(), 1);
  int markerLines = 0, rects = 0;
  for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQPT)) {
    if (p.kind == "rect") ++rects;
    if (p.kind == "line" && p.color == 0x808080 && p.y.size() == 2 && p.y[0] == 22.2 && p.y[1] == 22.8) ++markerLines;
  }
  EXPECT_EQ(rects, 1);
  EXPECT_EQ(markerLines, 1);
  // The time axis covers the viewport in µs.
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int xMode = 0, yMode = 0;
  GetAxisRange(TAB_VIEW, TAB_VIEW_GRAPH_IQPT, &xMode, &xMin, &xMax, &yMode, &yMin, &yMax);
  EXPECT_DOUBLE_EQ(xMin, 100.0);
  EXPECT_DOUBLE_EQ(xMax, 150.0);
  EXPECT_DOUBLE_EQ(yMax, 23.0);

  // 5,000 samples in "I / Q": per point a vertical line over the group's
  // I extent inside the upper band, never joined across points.
  SetSequenceViewData(0, 4999, 10e6, f, 300000);
  ASSERT_EQ(DrawSequenceView(), 1);
  int extents = 0, outside = 0, dots = 0;
  for (const UiTest_Plot& p : UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQPT)) {
    if (p.kind == "point" && p.color == 0x285291) ++dots;
    if (p.kind != "line" || p.color != 0x285291) continue;
    ASSERT_EQ(p.x.size(), 2u);
    if (p.x[0] == p.x[1]) ++extents;
    if (std::fmin(p.y[0], p.y[1]) < 17.0 - 4.0 - 1e-9 || std::fmax(p.y[0], p.y[1]) > 17.0 + 4.0 + 1e-9) ++outside;
  }
  EXPECT_EQ(extents + dots, 1000);  // small extents (near the peaks) are dots
  EXPECT_GT(extents, 500);
  EXPECT_EQ(outside, 0);  // amplitude 0.8: 17 +- 4
  EXPECT_EQ(g_SequenceView.pointCount, 1000);
  EXPECT_LE(UiTest_GetPlots(TAB_VIEW, TAB_VIEW_GRAPH_IQ).size(), 5u + 81u * 81u);
}

TEST_F(SequenceViewPageTest, AWaveformBuildDrawsTheView) {
  char error[kWaveLibErrorTextBytes];
  ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
  ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
  ResetProject();
  g_Settings.Project.pepLevel = 0;
  SetEngineBuildHost(nullptr);
  SequenceView_InstallBuildHost();
  // 10 µs blank, then 10 µs CW at 100 MHz: 2,000 samples, the second half at full scale.
  SequenceRecord& seq = SequenceTable[SequenceCount++];
  InitSequenceRecord(&seq);
  seq.name = "S";
  seq.clock = 100e6;
  ASSERT_TRUE(seq.waveFile.AssignExact(dir_.File("out.wv")));
  seq.entries[0].fillerType = SYNC_BLANK;
  seq.entries[0].fillerTime = 10e-6;
  seq.entries[1].fillerType = SYNC_CW;
  seq.entries[1].fillerTime = 20e-6;
  ASSERT_EQ(BuildWaveform(0, 1, 1, -1, 0, 0.0), 1);
  EXPECT_EQ(CountLines("*** "), 0);
  EXPECT_EQ(g_SequenceView.totalSamples, 2000);
  EXPECT_EQ(g_SequenceView.width, 2000);
  EXPECT_DOUBLE_EQ(g_SequenceView.frequencyRange, 50e6);
  EXPECT_EQ(Text(TAB_VIEW_STR_TSTOP), "20.000 \xC2\xB5s (2000)");
  ASSERT_EQ(g_SequenceView.pointCount, 1000);
  EXPECT_NEAR(g_SequenceView.maxI[100], 0.0, 1e-6);
  EXPECT_NEAR(g_SequenceView.minI[900], 1.0, 1e-4);
  SetEngineBuildHost(nullptr);
  CloseTempFiles();
  ResetProject();
}
