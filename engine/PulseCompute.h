// The pulse computation: one repetition of one pulse, sample by sample, into
// the temporary sample files (one float32 I/Q pair on the I/Q slot and one
// marker byte on the marker slot per sample).
//
// A repetition is delay, rise, on time, fall and blank (or the rest of the
// PRF/PRI period). Its edges lie at the samples nearest to their exact
// times, counted from the repetition's exact start, which the entry carries
// from one repetition to the next (CarryRepetition): so every repetition
// starts within half a sample of its exact time, jitter included, and the
// repetition rate is the one set. Per sample:
// carrier phase (a running sum, one step of 2*pi*offset/fs per sample, the
// first sample included), intra-pulse modulation (ComputeModulation, from
// the first rise sample to the first blank sample), custom envelope, edge
// shape, on and off levels with droop, band-limited noise, combining with
// the samples already in the files, the running peak, and the marker byte.
//
// Marker byte: bit 0 = marker 1 .. bit 3 = marker 4. Marker m is raised
// when the entry enables it for this repetition (its two bits in the marker
// mask) and the pulse's flag for the sample's segment (delay, rise, on,
// fall, off) is set, and on the first total/10 samples when its restart flag
// is set. Bits set by a modulation plug-in stay set.
//
// Jitter values act on their block's target (JitterParam): OnPeriod, Delay,
// Rise, Fall (s, added), Level and AttOff (dB, the level factor times
// 10^(-v/20)), Frequency and ChirpDev (Hz, added), BlankPeriod (s, added to
// the blank time when the PRF mode is off), PRF (Hz) and PRI (s),
// Phase (degrees, added), Skip (trunc(v) != 0: no samples).
#pragma once

#include <cmath>
#include <cstdint>

#include "app/PulseRecord.h"

// Phase (rad) at the end of the last computed repetition: the running phase
// plus the last sample's modulation phase. Pulses with "continue" start
// from it.
extern double LastPulsePhase;

// Edge shapes of the rise and fall, x in 0..1 (pi = PiConstant):
// 0.5*sin(pi*x - pi/2) + 0.5, and its square.
double EdgeShapeRaisedCosine(double x);
double EdgeShapeCosSquared(double x);
// Shape of an edge type (0 linear, 1 raised cosine, 2 cos squared,
// 3 square root); other codes are linear.
double EdgeShape(int edgeType, double x);

// Sample counts of one repetition.
struct PulseCounts {
  int32_t delay = 0;
  int32_t rise = 0;
  int32_t on = 0;
  int32_t fall = 0;
  int32_t blank = 0;
  int32_t total = 0;  // after the cut to the room when combining
};

// Computes one repetition.
//   pulseIndex   the pulse's position in PulseTable (for the modulation)
//   clock        sample rate fs, Hz
//   jitterValues the values of the four jitter blocks for this repetition
//   samples, duration  out: the repetition's length (0 when skipped)
//   peak         in/out: running maximum of sqrt(I^2 + Q^2)
//   timingOnly   non-zero: lengths, duration and levels only; nothing is
//                written or reported
//   markerMask   two bits per marker (bits 0-1 marker 1 .. 6-7 marker 4)
//   report       non-zero: hand the repetition's values to the report driver
//   repetition   1-based, of repetitions
//   combineMode  0 write, 1 add to, 2 multiply with, 3+ keep the samples
//                already in the files; room = samples the repetition may use
//                when combining
//   startTime    where the repetition starts in the sequence, s
//   startFraction  the repetition's exact start minus its first sample, in
//                samples, -0.5 <= f < 0.5 (0 for the first repetition)
//   exactLength  out, optional: the repetition's exact length in samples
//                (0 when skipped), for CarryRepetition
// Returns 1 (also for a skipped repetition) or 0 after logging the reason.
int ComputePulse(int pulseIndex, const PulseRecord* pulse, int iqSlot, int markerSlot, double clock,
                 const double jitterValues[kJitterBlocks], int32_t* samples, double* duration, double* peak,
                 int timingOnly, uint8_t markerMask, int report, int segmentNumber, int repetition,
                 int repetitions, int combineMode, int32_t room, double startTime, int entryNumber,
                 int sequenceIndex, int multiSegmentIndex, double timeOffset, double startFraction = 0.0,
                 double* exactLength = nullptr);

// Whole sample nearest to a position of at least -0.5 samples; a tie goes
// to the later sample (as lround does for the positive times of a waveform).
inline int64_t NearestSample(double position) { return static_cast<int64_t>(std::floor(position + 0.5)); }

// Moves an entry's exact time on by one repetition of `length` exact
// samples: *fraction (the exact start minus the first sample, as handed to
// ComputePulse) becomes that of the next repetition; returns the
// repetition's whole-sample count, the one ComputePulse gives it.
int64_t CarryRepetition(double* fraction, double length);
// Whole samples of `repetitions` repetitions of `length` exact samples
// each, carried as the build carries them.
int64_t RepeatedSamples(double length, int64_t repetitions);

// The counts of the last ComputePulse call that got past its set-up (also
// in timing-only mode); zeros after a skipped repetition.
const PulseCounts& LastPulseCounts();
