// Band-limited complex Gaussian noise of the pulse computation, in blocks.
//
// The same source as FilteredNoise (engine/Windows.h), computed a block of
// outputs at a time so that the 101-tap filter runs vectorised across the
// outputs: two delay lines of Gaussian numbers (GaussianNoise, drawn in the
// same order: one I number, then one Q number per output), the 101 taps
// w(n)*sin(z)/z of the Rife-Vincent window with z = pi*(bandwidth/fs)*(n-50)
// + 1e-32, and each output sum_n line[n]*tap[n] / 5 accumulated in tap
// order. Given the same 15-bit generator state the outputs are bit for bit
// those of FilteredNoise; here each is also multiplied by the noise gain.
//
// The delay lines are one window per line that slides once per block (the
// numbers of a block are drawn ahead into its tail), never shifted per
// sample.
#pragma once

#include "engine/PulseKernels.h"

inline constexpr int kPulseNoiseTaps = 101;

struct PulseNoise {
  double taps[kPulseNoiseTaps];
  // Delay lines, oldest first: [0, 101) the current window, then the
  // numbers drawn ahead for the block being computed.
  double lineI[kPulseNoiseTaps + kPulseBlockSamples];
  double lineQ[kPulseNoiseTaps + kPulseBlockSamples];
  double gain;
};

// Sets the source up for bandwidth (Hz, 0 < bandwidth <= fs/2) at sample
// rate fs (Hz) with the output gain (linear): fills both delay lines (101 I
// numbers, then 101 Q numbers) and the taps. 0 for an invalid fs or
// bandwidth, with the source unchanged.
int PulseNoise_Init(PulseNoise* noise, double bandwidth, double fs, double gain);

// The next m (1..kPulseBlockSamples) outputs, each followed by the move of
// the delay lines by one place.
void PulseNoise_Run(PulseNoise* noise, int m, double* outI, double* outQ);

// One Gaussian number exactly as GaussianNoise draws it, from a table of
// the 1,000 values each uniform can take.
double PulseNoise_Gaussian();
