// The Sequence View: the waveform of the last build, read back from the
// temporary I/Q file ("IQF" tag, then float32 I, float32 Q per sample,
// little-endian, full scale 1.0; sample k at byte 3 + 8k).
//
// One viewport (a run of consecutive samples) is shown at a time. Every
// redraw reduces the viewport to at most 1,000 display points per trace that
// between them cover each of its samples once (one point per sample up to
// 1,000 samples, else each point's minimum and maximum), draws the I/Q plane
// (every sample in a vector diagram below 2,000 samples, a density plot of
// every sample from 2,000 on) and the spectrum of every sample in range, and
// then redraws the time graph and the cursor readouts from the stored
// points. Viewports of up to 1,024,000 samples are read from the file,
// where their samples lie (the builder's position in the file stays); wider
// ones come from a summary of the file made on their first draw. The time
// graph never touches the file; the I/Q readout reads the one sample the
// time cursor names.
//
// All functions run on the user-interface thread. Control callbacks take the
// run-time's (panel, control, event, data, data1, data2) and return 0.
#pragma once

#include <cstdint>
#include <cstdio>
#include <complex>
#include <memory>

#include "editors/ViewDft.h"

// ---- Constants of the view ------------------------------------------------
inline constexpr int kViewPointSlots = 1000;       // display points per trace
inline constexpr int kViewSpectrumPoints = 500;    // spectrum display points
inline constexpr int kViewDensityCells = 81;       // density grid, -1..+1 per axis
inline constexpr int64_t kViewDensityFrom = 2000;  // vector diagram below, density plot from
inline constexpr int64_t kViewFftMinSpan = 50;     // no spectrum for a viewport of this many or fewer
inline constexpr int64_t kViewFftSampleLimit = 5242880;  // spectra of this many samples are refused
inline constexpr int64_t kViewFftMinCount = 1024;  // shorter spectra are zero-filled to this
inline constexpr int64_t kViewMinZoomWidth = 500;  // narrowest viewport of the zoom operations
inline constexpr int kViewReadSlot = 5;            // WV-DATA.TMP's buffer slot, left unbound: the view reads where samples lie
// A pass whose work passes this many sample reads (or reductions) opens the
// progress window "Preparing waveform view..." with Cancel; shorter passes
// take some tens of milliseconds at most.
inline constexpr int64_t kViewProgressWork = int64_t{1} << 21;

// RING_IQVIEW values (not positions) and RING_FFTVIEW values.
enum SequenceViewMode { VIEW_PHASE = 1, VIEW_LOG_MAG = 2, VIEW_IQ = 3, VIEW_FREQUENCY = 4 };
enum SequenceViewFftRing { FFT_RING_ALL = 1, FFT_RING_VIEWPORT = 2 };

// What one read pass makes of the viewport: its display points and the
// density grid. Point i covers the samples pointStart[i] .. pointStart[i+1]
// - 1; together the points cover every sample of the viewport once. A view
// of at most kViewPointSlots samples has one point per sample (minimum =
// maximum = the sample's value).
struct ViewPicture {
  int32_t pointCount = 0;
  int64_t pointStart[kViewPointSlots + 1] = {};
  double maxI[kViewPointSlots] = {};
  double minI[kViewPointSlots] = {};
  double maxQ[kViewPointSlots] = {};
  double minQ[kViewPointSlots] = {};
  double maxMag[kViewPointSlots] = {};
  double minMag[kViewPointSlots] = {};
  double maxPhase[kViewPointSlots] = {};  // units of pi, (-1, 1]
  double minPhase[kViewPointSlots] = {};
  double meanFreq[kViewPointSlots] = {};  // mean phase step per sample, units of pi
  double density[kViewDensityCells][kViewDensityCells] = {};  // [row by I][column by Q]
};

// The view's one record of state; it lives for the whole run. Sample
// indexes count from 0; lastSample is inclusive.
struct SequenceViewState : ViewPicture {
  int64_t firstSample = 0;
  int64_t lastSample = 0;
  int64_t width = 10000;        // viewport width kept by navigation
  double sampleRate = 0.0;      // Hz
  FILE* iqFile = nullptr;       // the builder's temporary I/Q file (never opened or closed here)
  int64_t totalSamples = 0;
  int32_t fftScope = 0;         // 0 whole file ("All"), 1 viewport
  double frequencyRange = 1.0;  // Hz, half-height of the frequency trace
  double phaseRange = 1.0;      // units of pi, half-height of the phase trace
  double spectrumReference = 0.0;  // dB, top of the spectrum display (multiple of 10)
  bool colourScalePending = true;
  bool newWaveform = false;     // set by a build: the next draw brings the time cursors onto it
  bool shown = false;           // the graphs show this file (a draw succeeded since the last clear)
  bool spectrumShown = false;   // GRAPH_SPECTRUM holds the spectrum its readouts describe
  // The viewport the graphs show (a cancelled draw goes back to it).
  int64_t shownFirst = 0, shownLast = 0, shownWidth = 0;

  // Spectrum display points: the largest level of the bins nearest to each
  // point (dB) and their summed power |X|^2; silent when every sample in
  // scope is 0.
  double spectrum[kViewSpectrumPoints] = {};
  double spectrumPower[kViewSpectrumPoints] = {};
  bool spectrumSilent = false;
};
extern SequenceViewState g_SequenceView;

// Called between steps of long work with the fraction done; non-zero stops.
typedef int (*ViewTick)(void* context, double fraction);

// ---- Drawing (SequenceViewDraw.cpp) ---------------------------------------
// Stores the viewport first..last, the rate, the file and its sample count;
// width = last - first + 1, frequency range = rate / 2, phase range = 1.
// Draws nothing; the next draw brings time cursors that lie outside the
// new viewport onto it, and what the view kept of the previous file (its
// summary, its whole-file spectrum) is dropped. Matches the waveform
// builder's host entry.
void SetSequenceViewData(int64_t first, int64_t last, double rate, FILE* file, int64_t total);
// Deletes every plot of GRAPH_IQPT, GRAPH_IQ and GRAPH_SPECTRUM and empties
// the cursor readouts, which would describe a waveform no longer shown; the
// state, the other texts and the colour scale stay. Status of the last
// deletion.
int ClearSequenceView();
// One read pass and a full redraw: 1 drawn (or cancelled by the user, the
// graphs then saying what they show), 0 failed (reason logged).
int DrawSequenceView();
// Lets go of the temporary I/Q file before the builder closes it (every
// build creates the temporary files again, whether or not it gets as far as
// drawing; the exit closes them): the handle, the viewport and the display
// points are dropped and the plots cleared, so the view holds nothing of a
// waveform it can no longer read. Until the next build hands over its file,
// a redraw ends with "no data" as before the first build.
void InvalidateSequenceView();
// Makes the waveform builder hand its temporary I/Q file to the view, draw
// it after a build and invalidate the view whenever it closes the temporary
// files (the build host's view entries; its other entries stay as
// installed).
void SequenceView_InstallBuildHost();
// Colour of a relative density v (clamped to 1e-4..1): dark blue at 1e-4
// through cyan, red and orange to yellow at 1, one decade per colour step.
int DensityPlotColor(double value);
// Sample k (from 0) of the shown file; 1, or 0 when it cannot be read.
int SequenceView_ReadSample(const SequenceViewState& s, int64_t k, double* i, double* q);

// ---- Reduction to display points (SequenceViewReduce.cpp) ----------------
// Extremes of a run of consecutive samples. Phases are radians in
// (-pi, pi]; the step from one sample to the next is the phase difference
// moved into [-pi, pi].
struct ViewExtent {
  float loI, hiI, loQ, hiQ, loMag, hiMag, loPhase, hiPhase;
  float firstPhase, lastPhase;  // of the run's first and last sample
  float stepSum;                // the steps between the run's samples
};
// The run's extent; count >= 1, iq holds I, Q pairs. Non-finite values
// count as 0, values beyond +-16 as +-16.
void ViewExtent_Run(const float* iq, int64_t count, ViewExtent* out);
// The extent of a run followed directly by the run of b (the step between
// them is counted).
void ViewExtent_Join(ViewExtent* a, const ViewExtent& b);
// Phase of (i, q) in radians, (-pi, pi], within 6e-7 of atan2.
float ViewPhase(float q, float i);
// Adds the samples to the density grid: cell row trunc(40 I + 40), column
// trunc(40 Q + 40), each limited to 0 .. 80.
void ViewDensity_Add(const float* iq, int64_t count, double grid[kViewDensityCells][kViewDensityCells]);
// The cell of one sample in that grid, row * 81 + column; of count samples
// into cells.
int ViewDensity_Cell(float i, float q);
void ViewDensity_Cells(const float* iq, int64_t count, int32_t* cells);

// Display points of a viewport of span samples from first: one per sample
// up to kViewPointSlots samples, else kViewPointSlots points of about equal
// numbers of samples; with blockAlign > 1 the inner boundaries fall on
// multiples of it (so that a summary of such blocks serves every point but
// the first and last). Writes start[0 .. count] and returns count.
int32_t ViewPoints_Bounds(int64_t first, int64_t span, int64_t blockAlign, int64_t start[kViewPointSlots + 1]);
// Accumulates a point from runs in file order.
struct ViewPointSum {
  ViewExtent extent{};
  double steps = 0.0;      // steps inside the point and into it from the sample before
  int64_t samples = 0;
  bool hasPrevious = false;  // a sample before the point's first is known
  float previousPhase = 0.0f;
};
void ViewPointSum_Add(ViewPointSum* sum, const ViewExtent& run, int64_t samples);
// Stores the point as number index of picture and starts the next one,
// which follows on from this point's last sample.
void ViewPointSum_Close(ViewPointSum* sum, ViewPicture* picture, int index);

// ---- Spectrum (SequenceViewSpectrum.cpp) -----------------------------------
// Why a draw has no spectrum to show.
enum SpectrumMissing { SPECTRUM_MADE = 0, SPECTRUM_TOO_FEW, SPECTRUM_TOO_MANY, SPECTRUM_NO_MEMORY, SPECTRUM_CANCELLED };

// The samples of one spectrum as complex floats (I real, Q imaginary), in
// file order.
struct SpectrumBuffer {
  std::unique_ptr<std::complex<float>[], ViewDftDeleter> data;
  int64_t capacity = 0;
  int64_t count = 0;
  int missing = SPECTRUM_MADE;     // SpectrumMissing: why there is no spectrum
};
// Sizes the buffer for a viewport of span samples in a file of total (scope
// 0 whole file, 1 viewport). 1 when the spectrum is to be made; 0 when it
// is skipped (span <= 50) or refused (too many samples, no memory), logged
// and named in buffer->missing.
int SpectrumBuffer_Prepare(SpectrumBuffer* buffer, int64_t span, int64_t total, int32_t scope);
inline void SpectrumBuffer_Add(SpectrumBuffer* b, double i, double q) {
  if (b->count < b->capacity) b->data[b->count++] = std::complex<float>(static_cast<float>(i), static_cast<float>(q));
}
// Transforms the buffer (zero-filled to 1,024; every sample taken), stores
// the 500 display points, their powers and the reference into state and
// returns the transform length N; 0 when stopped by tick (the buffer's
// missing then says so) or short of memory.
int64_t Spectrum_Compute(SpectrumBuffer* buffer, SequenceViewState* state, ViewTick tick = nullptr,
                         void* context = nullptr);
// Plots the stored spectrum points 0..499 on GRAPH_SPECTRUM relative to the
// reference (levels below the graph along its bottom) and writes TXT_FFTMAX
// / TXT_FFTMIN; a silent spectrum says so.
int Spectrum_Plot(int panel);
// Says on GRAPH_SPECTRUM why it holds no spectrum (missing, scope as above).
void Spectrum_PlotMissing(int panel, int missing, int32_t scope);
// Empties the three spectrum readouts.
void Spectrum_ClearReadouts();
// The display point at a cursor position (nearest, within 0 .. 499).
int Spectrum_PointAt(double x);
// Band level between two cursor positions (either order): 10 log10 of the
// summed power of the bins of the points from one to the other, dB.
double Spectrum_BandLevel(const SequenceViewState& state, double x1, double x2);
int SpectrumGraphCb(int panel, int control, int event, void* data, int data1, int data2);

// ---- Time traces (SequenceViewTrace.cpp) ----------------------------------
double RoundUp125(double x);
double RoundDown125(double x);
// value with an SI prefix and unit into out (at least 32 bytes); nothing
// when out or unit is null.
void FormatSiValue(char* out, double value, const char* unit);
// Redraws GRAPH_IQPT and its texts from the stored display points.
int SequenceView_DrawTimeGraph(int panel);
// The Y range step of a zoom: mode and direction (+1 out, -1 in). 1 when a
// range changed.
int SequenceView_ZoomY(SequenceViewState* state, int mode, int direction);
int SequenceViewModeCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewZoomInYCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewZoomOutYCb(int panel, int control, int event, void* data, int data1, int data2);

// ---- Navigation and cursors (SequenceViewNav.cpp) ------------------------
// Viewport operations on state; 1 when the viewport changed (to be
// redrawn), 0 when the operation does nothing.
int ViewNav_Back(SequenceViewState* s);
int ViewNav_Forward(SequenceViewState* s);
int ViewNav_Begin(SequenceViewState* s);
int ViewNav_Position(SequenceViewState* s, double fraction);
int ViewNav_ZoomIn(SequenceViewState* s);
int ViewNav_ZoomOut(SequenceViewState* s);
// Cursor times in µs, either order.
int ViewNav_ZoomCursors(SequenceViewState* s, double x1us, double x2us);
// The display point holding the sample a time-graph position x (µs) names
// (ViewNav_SampleNumber); -1 outside the points.
int ViewNav_PointAt(const SequenceViewState& s, double xus);

int SequenceViewBackCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewForwardCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewBeginCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewPositionCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewZoomInCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewZoomOutCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewZoomCursorCb(int panel, int control, int event, void* data, int data1, int data2);
int SequenceViewMarkersCb(int panel, int control, int event, void* data, int data1, int data2);
int IqPointGraphCb(int panel, int control, int event, void* data, int data1, int data2);
int IqGraphCb(int panel, int control, int event, void* data, int data1, int data2);
// Shows or hides the two groups of readouts by CHK_MKRON / CHK_MKRON_2.
void SequenceView_ShowReadouts(int panel);
// The number (from 1, as the time axis counts) of the sample of the file
// that starts nearest to a time in µs.
int64_t ViewNav_SampleNumber(const SequenceViewState& s, double xus);
// Brings each time cursor that lies outside the viewport's samples onto
// it: cursor 1 at a third, cursor 2 at two thirds of the viewport.
void ViewNav_PlaceTimeCursors(const SequenceViewState& s);
