// Set-up of one pulse repetition: counts, levels, phase, report values.
// The sample loop lives in PulseSamples.cpp.
#include "engine/PulseCompute.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/Keywords.h"
#include "app/Log.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "engine/EngineHost.h"
#include "engine/ModulationTypes.h"
#include "engine/PulseNoise.h"
#include "engine/PulseSamples.h"
#include "engine/SignalMath.h"
#include "platform/CLocale.h"

double LastPulsePhase = 0.0;

namespace {

PulseCounts g_lastCounts;

int Fail(const char* message) {
  Log_Message(1, message);
  return 0;
}

// Sum of the values of the enabled blocks aimed at target, added to base in
// block order.
double AddJitter(double base, const PulseRecord& pulse, const double* values, int target) {
  for (int k = 0; k < kJitterBlocks; ++k)
    if (pulse.jitter[k].enabled == 1 && pulse.jitter[k].target == target) base += values[k];
  return base;
}

// Level factor 10^(-att/20), times 10^(-v/20) for every block aimed at target.
double LevelFactor(double attDb, const PulseRecord& pulse, const double* values, int target) {
  double factor = std::pow(10.0, -attDb / 20.0);
  for (int k = 0; k < kJitterBlocks; ++k)
    if (pulse.jitter[k].enabled == 1 && pulse.jitter[k].target == target)
      factor *= std::pow(10.0, -values[k] / 20.0);
  return factor;
}

// Largest whole-sample position a repetition may reach.
constexpr int64_t kMaxPosition = INT32_MAX;

// Positions in samples are counted from the repetition's exact start, which
// lies `fraction` samples after its first sample: the edge at the exact
// offset X lies at sample NearestSample(fraction + X) - NearestSample(fraction).
// So every edge of every repetition lies within half a sample of its exact
// time, and a fraction of a sample is carried rather than lost.
struct RepetitionEdges {
  double fraction = 0.0;
  int64_t first = 0;  // NearestSample(fraction)
  // Whole samples from the first sample to the exact offset x (samples);
  // false beyond kMaxPosition.
  bool At(double x, int64_t* position) const {
    const double p = std::floor(fraction + x + 0.5);
    if (!(p >= -1.0 && p < static_cast<double>(kMaxPosition))) return false;
    *position = static_cast<int64_t>(p) - first;
    return true;
  }
};

// Checks the four times in order and converts them to sample counts, the
// edges at their nearest samples. Too short: above 0 but less than one
// sample period (t*fs < 1 - 1e-9, so that a time of exactly 1/fs after
// rounding in its last bit still counts as one sample). *exactEnd receives
// the exact offset of the end of the fall.
int TimesToCounts(const double times[4], double fs, const RepetitionEdges& edges, int32_t counts[4],
                  double* exactEnd) {
  static const char* const kNames[4] = {"Delay time", "Rise time", "Pulse time", "Fall time"};
  for (int k = 0; k < 4; ++k) {
    const double t = times[k];
    if (!(t >= 0.0)) {
      Log_Message(3, " *** '", kNames[k], "' is negative or invalid. Check the pulse and its jitter settings.");
      return 0;
    }
    if (t > 0.0 && t * fs < 1.0 - 1e-9) {
      Log_Message(3, " *** '", kNames[k],
                  "' is too short for the specified clock rate. Use zero time or higher clock rate.");
      return 0;
    }
  }
  double x = 0.0;
  int64_t previous = 0;
  for (int k = 0; k < 4; ++k) {
    // A time within the tolerance below one period spans one whole period.
    x += times[k] > 0.0 ? std::max(times[k] * fs, 1.0) : 0.0;
    int64_t position = 0;
    if (!edges.At(x, &position)) {
      Log_Message(3, " *** '", kNames[k], "' is too long for the specified clock rate.");
      return 0;
    }
    counts[k] = static_cast<int32_t>(position - previous);
    previous = position;
  }
  *exactEnd = x;
  return 1;
}

// The exact length of the repetition in samples: the four times and the
// blank time with its jitter, or the PRF/PRI period. 1 / 0 (logged).
int ExactLength(const PulseRecord& pulse, const double* values, double fs, double pulseEnd, double* length) {
  if (pulse.prfMode == 0) {
    double blank = pulse.offTime * fs;
    for (int k = 0; k < kJitterBlocks; ++k)
      if (pulse.jitter[k].enabled == 1 && pulse.jitter[k].target == JIT_BLANKPERIOD) blank += values[k] * fs;
    if (!std::isfinite(blank)) return Fail(" *** Invalid pulse blank time. Double check parameters.");
    *length = pulseEnd + blank;
    return 1;
  }
  double prf = 0.0;
  double pri = 0.0;
  if (pulse.prfPri == 0) {
    if (pulse.prfValue == 0.0) return Fail(" *** PRF value is zero.");
    prf = pulse.prfValue;
    pri = 1.0 / prf;
  } else {
    if (pulse.prfValue == 0.0) return Fail(" *** PRI value is zero.");
    pri = pulse.prfValue;
    prf = 1.0 / pri;
  }
  bool jittered = false;
  double period = 0.0;
  for (int k = 0; k < kJitterBlocks; ++k) {
    if (pulse.jitter[k].enabled != 1) continue;
    if (pulse.jitter[k].target == JIT_PRI) {
      pri += values[k];
      if (!(pri > 0.0)) return Fail(" *** PRI value reached zero during jitter calculation.");
      period = pri * fs;
      jittered = true;
    } else if (pulse.jitter[k].target == JIT_PRF) {
      prf += values[k];
      if (!(prf > 0.0)) return Fail(" *** PRF value reached zero during jitter calculation.");
      period = fs / prf;
      jittered = true;
    }
  }
  if (!jittered) period = pulse.prfPri == 1 ? pri * fs : fs / prf;
  if (!std::isfinite(period)) return Fail(" *** Invalid pulse blank time. Double check parameters.");
  *length = period;
  return 1;
}

// Bits of the markers enabled by the entry's mask whose flag of one part
// (MarkerPart) is set.
uint8_t MarkerBits(const PulseRecord& pulse, uint8_t mask, int part) {
  uint8_t bits = 0;
  for (int m = 0; m < kMarkers; ++m)
    if (((mask >> (2 * m)) & 3) != 0 && (pulse.markers[m][part] & 1) != 0) bits |= static_cast<uint8_t>(1u << m);
  return bits;
}

}  // namespace

double EdgeShapeRaisedCosine(double x) { return 0.5 * std::sin(PiConstant * x - PiConstant / 2) + 0.5; }

double EdgeShapeCosSquared(double x) {
  const double s = 0.5 * std::sin(PiConstant * x - PiConstant / 2) + 0.5;
  return s * s;
}

double EdgeShape(int edgeType, double x) {
  switch (edgeType) {
    case EDGE_RCOS: return EdgeShapeRaisedCosine(x);
    case EDGE_RRCOS: return EdgeShapeCosSquared(x);
    case EDGE_SQROOT: return std::sqrt(x);
    default: return x;
  }
}

const PulseCounts& LastPulseCounts() { return g_lastCounts; }

int64_t CarryRepetition(double* fraction, double length) {
  const double next = *fraction + length;
  const int64_t samples = NearestSample(next) - NearestSample(*fraction);
  *fraction = next - static_cast<double>(NearestSample(next));
  return samples;
}

int64_t RepeatedSamples(double length, int64_t repetitions) {
  // More repetitions than any build takes (the editors show what is
  // entered): the nearest whole number to the exact total.
  constexpr int64_t kCarried = 1 << 16;
  if (repetitions > kCarried) {
    const double total = length * static_cast<double>(repetitions) + 0.5;
    return total < 4.0e18 ? static_cast<int64_t>(std::floor(total)) : static_cast<int64_t>(4.0e18);
  }
  double fraction = 0.0;
  int64_t total = 0;
  for (int64_t r = 0; r < repetitions; ++r) total += CarryRepetition(&fraction, length);
  return total;
}

int ComputePulse(int pulseIndex, const PulseRecord* pulse, int iqSlot, int markerSlot, double clock,
                 const double jitterValues[kJitterBlocks], int32_t* samples, double* duration, double* peak,
                 int timingOnly, uint8_t markerMask, int report, int segmentNumber, int repetition,
                 int repetitions, int combineMode, int32_t room, double startTime, int entryNumber,
                 int sequenceIndex, int multiSegmentIndex, double timeOffset, double startFraction,
                 double* exactLength) {
  if (sequenceIndex < 0 || sequenceIndex >= kMaxSequences) return Fail(" *** Sequence index out of range.");
  if (pulse == nullptr || samples == nullptr || duration == nullptr || peak == nullptr)
    return Fail(" *** Internal Error: missing pulse computation argument.");
  static const double kNoJitter[kJitterBlocks] = {0.0, 0.0, 0.0, 0.0};
  const double* jv = jitterValues != nullptr ? jitterValues : kNoJitter;
  const PulseRecord& p = *pulse;
  const double fs = clock;

  if (pulseIndex == 0 && repetition == 1) LastPulsePhase = 0.0;
  *samples = 0;
  *duration = 0.0;
  if (exactLength != nullptr) *exactLength = 0.0;
  g_lastCounts = PulseCounts{};
  // A skipped repetition produces nothing and leaves the running peak as it
  // is (the peak of the samples written so far stays valid).
  for (int k = 0; k < kJitterBlocks; ++k)
    if (p.jitter[k].enabled == 1 && p.jitter[k].target == JIT_SKIP && std::trunc(jv[k]) != 0.0) return 1;
  if (!(fs > 0.0) || !std::isfinite(fs)) return Fail(" *** Invalid sample clock rate.");

  const double times[4] = {AddJitter(p.delay, p, jv, JIT_DELAY), AddJitter(p.riseTime, p, jv, JIT_RISE),
                           AddJitter(p.onTime, p, jv, JIT_ONPERIOD), AddJitter(p.fallTime, p, jv, JIT_FALL)};
  RepetitionEdges edges;
  edges.fraction = std::isfinite(startFraction) ? startFraction : 0.0;
  edges.first = NearestSample(edges.fraction);
  int32_t counts[4] = {0, 0, 0, 0};
  double pulseEnd = 0.0;
  if (!TimesToCounts(times, fs, edges, counts, &pulseEnd)) return 0;
  const int64_t used = static_cast<int64_t>(counts[0]) + counts[1] + counts[2] + counts[3];
  double length = 0.0;
  if (!ExactLength(p, jv, fs, pulseEnd, &length)) return 0;
  // A repetition shorter than its pulse (a negative blank, a period below
  // delay + rise + on + fall) is refused; one shorter by a rounding error
  // only has no blank.
  if (length < pulseEnd) {
    if (length < pulseEnd - 1e-9 * std::max(1.0, pulseEnd))
      return Fail(" *** Invalid pulse blank time. Double check parameters.");
    length = pulseEnd;
  }
  // The repetition ends where the next one starts: at the nearest sample to
  // its exact start (the blank takes up the difference).
  const double next = edges.fraction + length;
  if (!(next < static_cast<double>(kMaxPosition)))
    return Fail(" *** Pulse repetition is too long for the specified clock rate.");
  const int64_t total0 = NearestSample(next) - edges.first;
  const int64_t blank = total0 - used;
  if (blank < 0) return Fail(" *** Invalid pulse blank time. Double check parameters.");
  if (exactLength != nullptr) *exactLength = length;
  int64_t total = total0;
  if (combineMode != 0 && total > room) total = room < 0 ? 0 : room;

  PulseCounts c;
  c.delay = counts[0];
  c.rise = counts[1];
  c.on = counts[2];
  c.fall = counts[3];
  c.blank = static_cast<int32_t>(blank);
  c.total = static_cast<int32_t>(total);
  g_lastCounts = c;
  *samples = c.total;
  *duration = c.total / fs;

  PulseLevels lv;
  lv.on = LevelFactor(p.attOn, p, jv, JIT_LEVEL);
  lv.off = LevelFactor(p.attOff, p, jv, JIT_ATTOFF);
  lv.droopDb = p.droop;
  const double droopFactor = std::pow(10.0, -p.droop / 20.0);
  lv.noiseGain = std::pow(10.0, -p.noiseAtt / 20.0);

  double deviation = 0.0;
  if (p.modulation == MOD_FMCHIRP) {
    if (!GetModParamDouble(pulseIndex, "RF Bandwidth [MHz]", &deviation))
      return Fail(" *** Failed to read pulse parameter.");
    deviation *= 1e6;
  }
  lv.deviation = AddJitter(deviation, p, jv, JIT_CHIRPDEV);
  lv.offset = AddJitter(p.freqOffset, p, jv, JIT_FREQUENCY);

  double phase = p.startPhase * PiConstant / 180.0;
  if (p.relativePhase != 0) phase += LastPulsePhase;
  for (int k = 0; k < kJitterBlocks; ++k)
    if (p.jitter[k].enabled == 1 && p.jitter[k].target == JIT_PHASE) phase += jv[k] * PiConstant / 180.0;
  lv.startPhase = phase;

  if (timingOnly) return 1;

  // Levels, phase and frequencies that are no finite numbers (a damaged
  // value, or an attenuation so large that its factor overflows) would
  // write a waveform of nothing but full scale or zeros.
  const struct {
    const char* name;
    double value;
  } kValues[] = {{"On level", lv.on},           {"Off level", lv.off},   {"Droop", droopFactor},
                 {"Noise level", p.noiseOn != 0 ? lv.noiseGain : 0.0}, {"Chirp deviation", lv.deviation},
                 {"Frequency offset", lv.offset}, {"Start phase", lv.startPhase}};
  for (const auto& v : kValues)
    if (!std::isfinite(v.value)) {
      Log_Message(3, " *** '", v.name, "' is not a finite number. Check the pulse and its jitter settings.");
      return 0;
    }

  // The noise bandwidth is checked before anything is reported or written.
  if (p.noiseOn != 0 && !PulseNoise_BandwidthFits(p.noiseBw, fs)) {
    if (p.noiseBw > fs / 2.0 || !(p.noiseBw > 0.0))
      Log_Message(1, cz::FormatC(" *** Noise bandwidth %.6f MHz is invalid: it must be above 0 and at most half "
                                 "the sample clock (%.6f MHz).", p.noiseBw / 1e6, fs / 2e6).c_str());
    else
      Log_Message(1, cz::FormatC(" *** Noise bandwidth %.6f MHz is narrower than the build can make at the sample "
                                 "clock of %.6f MHz: the narrowest is %.6f MHz.",
                                 p.noiseBw / 1e6, fs / 1e6, PulseNoise_NarrowestBandwidth(fs) / 1e6).c_str());
    return 0;
  }

  if (report) {
    ReportEntryValues v;
    v.sequenceIndex = sequenceIndex;
    v.multiSegmentIndex = multiSegmentIndex;
    v.entryNumber = entryNumber;
    v.segmentNumber = segmentNumber;
    v.repetition = repetition;
    v.repetitions = repetitions;
    v.delay = c.delay / fs;
    v.rise = c.rise / fs;
    v.on = c.on / fs;
    v.fall = c.fall / fs;
    v.off = c.blank / fs;
    // A repetition without samples has no rate; 0 stands for it.
    v.prfIsPri = p.prfPri == 1 ? 1 : 0;
    if (p.prfPri == 1) v.prfOrPri = *duration;
    else v.prfOrPri = *duration > 0.0 ? 1.0 / *duration : 0.0;
    v.frequency = lv.offset;
    v.phase = lv.startPhase * 180.0 / PiConstant;
    v.onLevel = -20.0 * std::log10(lv.on);
    v.offLevel = -20.0 * std::log10(lv.off);
    v.droop = -20.0 * std::log10(droopFactor);
    v.deviation = lv.deviation;
    v.pulseStart = startTime + v.delay;
    v.timeOffset = timeOffset;
    char errorText[kReportErrorTextSize] = {0};
    if (!EngineHost_ReportAddEntry(errorText, v)) {
      Log_Message(1, " *** Report error. See details below:");
      Log_Message(1, errorText);
      return 0;
    }
  }

  PulseMarkerBits mb;
  for (int part = 0; part < 5; ++part) mb.segment[part] = MarkerBits(p, markerMask, part);
  mb.restart = MarkerBits(p, markerMask, MARKER_RESTART);

  double endPhase = 0.0;
  if (!ComputePulseSamples(pulseIndex, p, iqSlot, markerSlot, fs, c, lv, mb, combineMode,
                           g_Settings.Project.swapIq != 0, peak, &endPhase))
    return 0;
  LastPulsePhase = endPhase;
  return 1;
}
