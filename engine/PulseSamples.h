// The sample loop of the pulse computation (used by ComputePulse).
#pragma once

#include <cstdint>

#include "app/PulseRecord.h"
#include "engine/PulseCompute.h"

// Levels and carrier of one repetition, prepared by the set-up.
struct PulseLevels {
  double on = 1.0;          // on level factor (jitter applied)
  double off = 0.0;         // off level factor (jitter applied)
  double droopDb = 0.0;     // droop over the on time, dB
  double noiseGain = 1.0;   // noise level factor
  double deviation = 0.0;   // chirp width handed to the modulation, Hz
  double offset = 0.0;      // carrier frequency offset, Hz
  double startPhase = 0.0;  // rad
};

// Marker bits per segment (MarkerPart order delay, rise, on, fall, off) and
// of the restart span, already masked by the entry's marker mask.
struct PulseMarkerBits {
  uint8_t segment[5] = {0, 0, 0, 0, 0};
  uint8_t restart = 0;
};

// Computes and writes the counts.total samples of one repetition; the noise
// bandwidth has been checked. *endPhase receives the running phase plus the
// last sample's modulation phase. 1, or 0 after logging the reason.
int ComputePulseSamples(int pulseIndex, const PulseRecord& pulse, int iqSlot, int markerSlot, double fs,
                        const PulseCounts& counts, const PulseLevels& levels, const PulseMarkerBits& markers,
                        int combineMode, bool swapIq, double* peak, double* endPhase);

// Observer of the blocks that ComputePulseSamples writes (the builder sets
// one while it writes the temporary files): the packed I/Q pairs and marker
// bytes as written, and the running peak after the block. Null: none.
// Where the samples of the next ComputePulseSamples call start in the
// build's waveform (sample index), for that call only. A noisy repetition
// that starts where the last noisy one ended, with the same bandwidth and
// clock, continues its noise: the noise of a build is one band-limited
// process wherever its samples follow each other. Any other noisy
// repetition (and every one without a start given) starts the noise afresh,
// in its stationary state.
void SetPulseSamplesStart(int64_t firstSample);
// Forgets the running noise (a build starts with it).
void ResetPulseNoise();

using PulseSamplesTap = void (*)(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak);
void SetPulseSamplesTap(PulseSamplesTap tap);
