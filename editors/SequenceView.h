// The Sequence View: the waveform of the last build, read back from the
// temporary I/Q file ("IQF" tag, then float32 I, float32 Q per sample,
// little-endian, full scale 1.0; sample k at byte 3 + 8k).
//
// One viewport (a run of consecutive samples) is shown at a time. Every
// redraw reads the viewport once through buffer slot 5, reduces it to at most
// 999 display points per trace, draws the I/Q plane (vector diagram below
// 2,000 samples, density plot from 2,000 on), feeds the spectrum stage and
// then redraws the time graph and the cursor readouts from the stored points.
// The time graph and the readouts never touch the file.
//
// All functions run on the user-interface thread. Control callbacks take the
// run-time's (panel, control, event, data, data1, data2) and return 0.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

// ---- Constants of the view ------------------------------------------------
inline constexpr int kViewPointSlots = 1000;       // display point arrays
inline constexpr int kViewSpectrumPoints = 500;    // spectrum display points
inline constexpr int kViewDensityCells = 81;       // density grid, -1..+1 per axis
inline constexpr int64_t kViewDensityFrom = 2000;  // vector diagram below, density plot from
inline constexpr int64_t kViewProgressFrom = 102400;  // progress window beyond this first sample / span
inline constexpr int64_t kViewFftMinSpan = 50;     // no spectrum for a viewport of this many or fewer
inline constexpr int64_t kViewFftSampleLimit = 5242880;  // spectra of this many samples are refused
inline constexpr int64_t kViewFftMinCount = 1024;  // shorter spectra are zero-filled to this
inline constexpr int64_t kViewMinZoomWidth = 500;  // narrowest viewport of the zoom operations
inline constexpr int kViewReadSlot = 5;            // buffer slot of the read pass

// RING_IQVIEW values (not positions) and RING_FFTVIEW values.
enum SequenceViewMode { VIEW_PHASE = 1, VIEW_LOG_MAG = 2, VIEW_IQ = 3, VIEW_FREQUENCY = 4 };
enum SequenceViewFftRing { FFT_RING_ALL = 1, FFT_RING_VIEWPORT = 2 };

// The view's one record of state; it lives for the whole run. Sample
// indexes count from 0; lastSample is inclusive.
struct SequenceViewState {
  int64_t firstSample = 0;
  int64_t lastSample = 0;
  int64_t width = 10000;        // viewport width kept by navigation
  double sampleRate = 0.0;      // Hz
  FILE* iqFile = nullptr;       // the builder's temporary I/Q file (never opened or closed here)
  int64_t totalSamples = 0;
  int32_t pointCount = 0;       // display points of the last read pass (at most 999)
  int32_t fftScope = 0;         // 0 whole file ("All"), 1 viewport
  double frequencyRange = 1.0;  // Hz, half-height of the frequency trace
  double phaseRange = 1.0;      // units of pi, half-height of the phase trace
  double spectrumReference = 0.0;  // dB, top of the spectrum display (multiple of 10)
  bool colourScalePending = true;
  bool newWaveform = false;     // set by a build: the next draw brings the time cursors onto it
  bool shown = false;           // the graphs show this file (a draw succeeded since the last clear)
  bool spectrumShown = false;   // GRAPH_SPECTRUM holds the spectrum its readouts describe

  // Display points, index = point number from 0.
  double meanI[kViewPointSlots] = {};
  double meanQ[kViewPointSlots] = {};
  double maxI[kViewPointSlots] = {};
  double minI[kViewPointSlots] = {};
  double maxQ[kViewPointSlots] = {};
  double minQ[kViewPointSlots] = {};
  double peakLog[kViewPointSlots] = {};     // log10 of the peak magnitude, floored at 1e-5
  double closeMag[kViewPointSlots] = {};    // magnitude of the group's last sample
  double closePhase[kViewPointSlots] = {};  // phase of the group's last sample, units of pi
  double meanFreq[kViewPointSlots] = {};    // mean phase step per sample, units of pi
  double density[kViewDensityCells][kViewDensityCells] = {};  // [row by I][column by Q]
  double spectrum[kViewSpectrumPoints] = {};  // absolute levels, dB
};
extern SequenceViewState g_SequenceView;

// ---- Drawing (SequenceViewDraw.cpp) ---------------------------------------
// Stores the viewport first..last, the rate, the file and its sample count;
// width = last - first + 1, frequency range = rate / 2, phase range = 1.
// Draws nothing; the next draw brings time cursors that lie outside the
// new viewport onto it. Matches the waveform builder's host entry.
void SetSequenceViewData(int64_t first, int64_t last, double rate, FILE* file, int64_t total);
// Deletes every plot of GRAPH_IQPT, GRAPH_IQ and GRAPH_SPECTRUM and empties
// the cursor readouts, which would describe a waveform no longer shown; the
// state, the other texts and the colour scale stay. Status of the last
// deletion.
int ClearSequenceView();
// One read pass and a full redraw: 1 drawn, 0 failed (reason logged).
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

// The reduction of viewport samples to display points. A point closes at
// the first sample at which its number (from 1) <= the running position,
// which starts at 0 and grows by 1,000 / span after each sample.
struct ViewReducer {
  int64_t span = 0;
  double step = 0.0;       // 1,000 / span
  double position = 0.0;   // running position
  int32_t closed = 0;      // points closed so far
  bool density = false;    // span >= 2,000: count the density grid
  int64_t n = 0;           // samples in the current group
  double sumI = 0, sumQ = 0, sumStep = 0;
  double hiI = -9999.9, loI = 9999.9, hiQ = -9999.9, loQ = 9999.9, peak = 0;
  double previousPhase = 0.0;
  bool first = true;
};
// Starts a reduction of span samples and zeroes the density grid of state.
void ViewReducer_Init(ViewReducer* r, int64_t span, SequenceViewState* state);
// Adds one sample; 1 when it closed a point (then state's arrays at index
// r->closed - 1 hold that point), else 0.
int ViewReducer_Add(ViewReducer* r, double i, double q, SequenceViewState* state);

// ---- Spectrum (SequenceViewSpectrum.cpp) -----------------------------------
// In-place radix-2 transform of n complex values (re, im interleaved), n a
// power of two; direction +1 is the forward transform, no scaling.
void ComputeFft(double* data, int32_t n, int32_t direction);
void SwapDoubles(double* a, double* b);

// Why a draw has no spectrum to show.
enum SpectrumMissing { SPECTRUM_MADE = 0, SPECTRUM_TOO_FEW, SPECTRUM_TOO_MANY, SPECTRUM_NO_MEMORY };

// The samples of one spectrum, filled in file order by the read pass.
struct SpectrumBuffer {
  std::unique_ptr<double[]> data;  // complex pairs, capacity * 2 doubles
  int64_t capacity = 0;
  int64_t count = 0;
  int missing = SPECTRUM_MADE;     // SpectrumMissing: why there is no spectrum
};
// Sizes the buffer for a viewport of span samples in a file of total (scope
// 0 whole file, 1 viewport). 1 when the spectrum is to be made; 0 when it
// is skipped (span <= 50) or refused (too many samples, no memory), logged
// and named in buffer->missing.
int SpectrumBuffer_Prepare(SpectrumBuffer* buffer, int64_t span, int64_t total, int32_t scope);
// Says on GRAPH_SPECTRUM why it holds no spectrum (missing, scope as above).
void Spectrum_PlotMissing(int panel, int missing, int32_t scope);
// Empties the three spectrum readouts.
void Spectrum_ClearReadouts();
inline void SpectrumBuffer_Add(SpectrumBuffer* b, double i, double q) {
  if (b->count < b->capacity) {
    b->data[2 * b->count] = i;
    b->data[2 * b->count + 1] = q;
    ++b->count;
  }
}
// Transforms the buffer (zero-filled to 1,024, first power of two used),
// stores the 500 peak-hold points and the reference into state and returns
// the transform length N. The buffer afterwards holds N levels in dB.
int64_t Spectrum_Compute(SpectrumBuffer* buffer, SequenceViewState* state);
// Plots the stored spectrum points 1..498 on GRAPH_SPECTRUM relative to the
// reference and writes TXT_FFTMAX / TXT_FFTMIN.
int Spectrum_Plot(int panel);
// Band level of the stored points between two cursor positions (either
// order; clamped to the 500 slots), dB.
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
// The display point under a time-graph position x (µs); -1 outside.
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
