// Sample-rate conversion and filtering of a whole temporary I/Q file into
// another one through the buffered slots (Shared/FileIO/FileIOBufferedIO.h).
//
// The waveform is treated as periodic: taps before its start take its last
// samples, taps behind its end its first samples (indices taken modulo the
// input length, so even a waveform shorter than the kernel is read only
// inside itself). Output sample j sits at input position t = j*N/M and is
//   I = sum_i hI(t - i) xI(i),  Q = sum_i hQ(t - i) xQ(i)      real shapes, user filter
//   I = sum_i hI xI - hQ xQ,    Q = sum_i hI xQ + hQ xI         complex ("cx") shapes
// over the taps i = ceil(t - h) .. floor(t + h), h = (L - 1)/2, with the
// kernel h(.) read from the 20,000-point tables of DesignFilterKernel
// (engine/Windows.h) by linear interpolation.
//
// Where the fractional positions repeat (N/M a fraction with a small
// denominator, such as 400 -> 600 MHz with an even input length, or a whole
// oversampling factor) each phase's interpolated coefficients are computed
// once per run, and two outputs share one pass over the input. Where they
// drift slowly (400 -> 600 MHz with an odd length) the coefficients are
// taken from cached linear pieces of the interpolated kernel. Every output
// stays within rounding of the per-tap formula above. Input streams through
// a 5,000-sample window that keeps the last L samples (and three more) when
// it is refilled; output goes out in blocks.
//
// Internal errors are logged as "*** Internal Error: " and
// ".\Tessera_Resampler <step>".
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// Progress in percent (0..100, whole numbers); 0 = go on, any other value
// stops the run. Called at the first output sample, whenever the whole
// percentage grows and at least every 10,000 output samples.
using ResamplerProgressFn = int (*)(double percent);

// Steps named in the internal-error lines.
inline constexpr int kResamplerErrRestart = 586;   // restarting the source slot
inline constexpr int kResamplerErrHeader = 595;    // re-reading the source's 3-byte header
inline constexpr int kResamplerErrArgs = 612;      // missing result or progress pointers

// Input samples held by the streaming window (at least 2*L for long kernels).
inline constexpr int kResamplerWindowSamples = 5000;

// A stretch of input samples at one level whose pairs nobody needs formed:
// sample first + k, up to `last`, is float32(level*cos(phi + k*delta)),
// float32(level*sin(the same)), as the pulse computation forms its off
// level (the phases exactly linear); a level of 0 is a stretch of zeros.
struct ResampleLevel {
  double level = 0.0;
  double phi = 0.0;
  double delta = 0.0;
  int64_t last = -1;
};

// Where ResampleStream takes its input samples 0 .. N-1 from.
class ResampleSource {
 public:
  virtual ~ResampleSource() = default;
  // Samples first .. first+count-1 as float32 pairs into out; the number of
  // samples read (count but at the end of the data), or -1 after a logged
  // failure.
  virtual int64_t Pairs(int64_t first, int32_t count, float* out) = 0;
  // True when Pairs takes any order (else samples are asked for in order,
  // after one pass over both ends).
  virtual bool RandomAccess() const { return false; }
  // True, with *stretch, when sample `first` begins such a stretch (as far
  // as it reaches).
  virtual bool Level(int64_t first, ResampleLevel* stretch) {
    (void)first, (void)stretch;
    return false;
  }
};

// Magnitude bounds of outputs over a level stretch, per unit of its level:
// output j lies within level*lo[j mod classes] .. level*hi[j mod classes].
struct ResampleSkipBounds {
  int64_t classes = 1;
  std::vector<double> lo, hi;
};

// Where ResampleStream puts its outputs.
class ResampleSink {
 public:
  virtual ~ResampleSink() = default;
  // The next count outputs, float32 pairs. 1, or 0 after a logged failure.
  virtual int Outputs(const float* iq, int32_t count) = 0;
  // The next count outputs (output `first` on) lie over one level stretch:
  // true when the sink takes them uncomputed, their magnitudes within
  // `level` times bounds (kept by the sink); they then convert to int16 zero
  // once divided by any peak of at least `peak`. False: they are computed.
  virtual bool Skip(int64_t first, int32_t count, double level, double peak,
                    const std::shared_ptr<const ResampleSkipBounds>& bounds) {
    (void)first, (void)count, (void)level, (void)peak, (void)bounds;
    return false;
  }
};

// ResampleFile between a source and a sink. Outputs whose taps all lie in
// one level stretch of the source (repeating phases of a real kernel) are
// left to the sink uncomputed where it takes them and they convert to int16
// zero for certain; *rms leaves them out.
int ResampleStream(int filter, int window, double alpha, int64_t inputSamples, double cutoff, double designClock,
                   int L, int64_t outputSamples, ResampleSource& source, ResampleSink& sink, double* peak,
                   double* rms, ResamplerProgressFn progressHook, const double* userI, const double* userQ,
                   int userLength, int userOversampling);

// Resamples inputSamples I/Q samples of sourceSlot (open for reading, its
// 3-byte "IQF" header already read) to outputSamples samples written as
// float32 I, Q to destinationSlot (open for writing, header written), with
// the kernel of DesignFilterKernel (filter, window, alpha, L, cutoff,
// designClock, user coefficients). *peak receives the largest magnitude
// sqrt(I^2 + Q^2), *rms the RMS sqrt(sum(I^2 + Q^2)/outputSamples), both of
// the values before their float32 rounding. progressHook is required.
// Returns 1, or 0 with a logged reason (bad lengths, a rejected kernel
// design, read/write failures, a stop from the progress hook).
int ResampleFile(int filter, int window, double alpha, int64_t inputSamples, double cutoff, double designClock, int L,
                 int64_t outputSamples, int sourceSlot, int destinationSlot, double* peak, double* rms,
                 ResamplerProgressFn progressHook, const double* userI, const double* userQ, int userLength,
                 int userOversampling);
