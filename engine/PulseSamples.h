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

// Blocks of a repetition: from sample a of the repetition to the end that
// this returns, at most kPulseBlockSamples and never across a multiple of
// 2,000 (Stop poll and progress) or the first sample after the delay.
int32_t PulseBlockEnd(int32_t a, int32_t total, int32_t delay);

// Samples first .. first+count-1 of a repetition at one level with the
// running carrier phase (the delay, or the blank behind its first sample,
// without noise or combining): per sample phi += step, then I =
// level*cos(phi + 0.0 + 0.0), Q = level*sin(the same), Q first with swapIq.
struct PulseLevelBlock {
  double phi;    // the running phase before the first sample
  double step;   // rad per sample
  double level;  // the off level
  int32_t first;
  int32_t count;
  bool swapIq;
  double peak;   // the running peak in front of the block
};
// Forms the float32 pairs of the first of such samples into out (8 bytes a
// pair), bit for bit those ComputePulseSamples forms: whole blocks of it
// (PulseBlockEnd) while they fit into `most` pairs (at least
// kPulseBlockSamples); *run is moved on behind them. Returns the pairs
// formed.
int32_t PulseLevelSamples(PulseLevelBlock* run, unsigned char* out, int32_t most);

// Where ComputePulseSamples and the fillers hand their blocks in place of
// the two slots (the builder's store of a waveform written straight to its
// file).
class PulseSampleSink {
 public:
  virtual ~PulseSampleSink() = default;
  // The next count samples as the temporary files would hold them: float32
  // pairs (8 bytes each) and marker bytes; peak is the running peak after
  // them. 1, or 0 after logging why.
  virtual int Samples(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak) = 0;
  // The next samples are those of a level block, with these marker bytes:
  // true when the sink takes them as described (their pairs are never
  // formed), false when it needs them handed to Samples.
  virtual bool TakeLevel(const PulseLevelBlock& block, const unsigned char* markers) = 0;
  // The next count samples are the pair (i, q) with marker byte 0 (the
  // fillers). 1 / 0.
  virtual int Constant(float i, float q, int32_t count) = 0;
};
// Null (the default): the blocks go to the slots.
void SetPulseSampleSink(PulseSampleSink* sink);
PulseSampleSink* GetPulseSampleSink();

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
