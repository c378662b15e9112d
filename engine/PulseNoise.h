// Band-limited complex Gaussian noise of the pulse computation, in blocks.
//
// Gaussian numbers (GaussianNoise's Box-Muller from the 15-bit generator,
// drawn in the same order: one I number, then one Q number per output), less
// the generator's small mean, pass through a 12th-order Butterworth low pass
// per component with its -3 dB point at bandwidth/2, so that the complex
// noise fills -bandwidth/2 .. +bandwidth/2 and its spectrum's -3 dB width is
// the bandwidth. The filter is six second-order sections designed by the
// bilinear transform (cut-off pre-warped, so the -3 dB point is exact up to
// bandwidth = fs/2), in direct form I. A recursive filter costs the same for
// every bandwidth, down to kPulseNoiseNarrowest of the sample rate; its
// stop band falls by 72 dB an octave.
//
// The output is scaled from the filter's own noise gain (the energy of its
// impulse response) and the generator's variance: E[I^2 + Q^2] is the
// square of the gain for every bandwidth. Each Init starts the filter in
// its stationary state (the past it would have after endless noise, drawn
// from that state's covariance), so the first output is as noisy as any
// later one.
#pragma once

#include <cstdint>

#include "engine/PulseKernels.h"

// Narrowest bandwidth the source makes, as a fraction of the sample rate;
// the widest is one half.
inline constexpr double kPulseNoiseNarrowest = 1e-3;

// Second-order sections of the low pass.
inline constexpr int kPulseNoiseSections = 6;
// State of the cascade per component: the two last inputs of the first
// section, then the two last outputs of each section.
inline constexpr int kPulseNoiseStates = 2 + 2 * kPulseNoiseSections;

struct PulseNoise {
  // Design: bandwidth and fs (Hz) it was made for (0 before the first).
  double bandwidth = 0.0;
  double fs = 0.0;
  // Per section y = (x + 2 x1 + x2) - a1*y1 - a2*y2 (its gain b0 gathered
  // into the scale).
  double a1[kPulseNoiseSections];
  double a2[kPulseNoiseSections];
  // Output factor that makes E[I^2 + Q^2] = 1 before the gain.
  double scale;
  // F with F F^T = the stationary covariance of the state for a unit input
  // variance (state order as kPulseNoiseStates).
  double start[kPulseNoiseStates][kPulseNoiseStates];

  // Running state, [k][0] I and [k][1] Q: x1 the first section's last
  // input, w1[s] the sum of section s's last two inputs, y1[s], y2[s] its
  // last two outputs.
  double x1[2];
  double w1[kPulseNoiseSections][2];
  double y1[kPulseNoiseSections][2];
  double y2[kPulseNoiseSections][2];
  double gain;
  // The block being computed: per output the table entries of its two
  // Gaussian numbers (I's radius and cosine, then Q's), the generator's
  // values mod 1000.
  uint16_t drawn[4 * kPulseBlockSamples];
};

// The narrowest bandwidth (Hz) the source makes at sample rate fs (Hz).
double PulseNoise_NarrowestBandwidth(double fs);
// 1 when the source makes bandwidth (Hz) at sample rate fs (Hz): from the
// narrowest (a typed value a rounding below it included) to fs/2; else 0.
int PulseNoise_BandwidthFits(double bandwidth, double fs);

// Sets the source up for bandwidth (Hz) at sample rate fs (Hz) with the
// output gain (linear): the design (kept while bandwidth and fs stay), then
// the stationary start, drawing 14 I numbers and then 14 Q numbers. 0 when
// PulseNoise_BandwidthFits refuses them, with the source unchanged.
int PulseNoise_Init(PulseNoise* noise, double bandwidth, double fs, double gain);

// The next m (1..kPulseBlockSamples) outputs.
void PulseNoise_Run(PulseNoise* noise, int m, double* outI, double* outQ);

// One Gaussian number exactly as GaussianNoise draws it, from a table of
// the 1,000 values each uniform can take.
double PulseNoise_Gaussian();
