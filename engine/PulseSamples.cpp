// The sample loop of one pulse repetition.
//
// Samples are computed in blocks of at most kPulseBlockSamples, in sample
// order. In the first pass over a block the modulation runs over the
// block's modulated samples in sample order (ComputeModulationBlock), then
// the running carrier phase, the restart markers, the custom envelope and
// the segment level go segment by segment; it leaves the amplitude, the
// total phase and the marker byte of each sample. The
// carrier, the noise, the combining, the peak and the float32 packing then
// run over the whole block, and the block goes to the two slots with one
// write each.
//
// Blocks end at every multiple of 2,000 samples (Stop poll and progress) and
// before the first rise sample, so that every draw of the 15-bit generator
// (noise numbers, multi-carrier start phases on the first modulated sample)
// comes in the order of a sample-by-sample computation.
#include "engine/PulseSamples.h"

#include <cmath>
#include <cstring>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "engine/EngineHost.h"
#include "engine/Modulation.h"
#include "engine/PulseKernels.h"
#include "engine/PulseNoise.h"
#include "engine/SignalMath.h"

namespace {

constexpr int32_t kPollSamples = 2000;
constexpr int B = kPulseBlockSamples;

// Per-block work arrays (one repetition is computed at a time).
struct BlockBuffers {
  double amp[B];
  double phase[B];
  double modPhase[B];
  double i[B];
  double q[B];
  double noiseI[B];
  double noiseQ[B];
  unsigned char marker[B];
  unsigned char oldMarker[B];
  unsigned char oldIq[8 * B];
  unsigned char packed[8 * B];
};
BlockBuffers g_buf;
PulseNoise g_noise;
PulseSamplesTap g_tap = nullptr;
PulseSampleSink* g_sink = nullptr;

// The noise of a build is one process: it runs on from one repetition to
// the next wherever the samples follow each other directly, with the same
// bandwidth and clock. Unit-power values (the gain is the repetition's).
struct NoiseRun {
  bool active = false;
  int64_t end = 0;      // sample index behind the last noisy sample
  double bandwidth = 0.0, fs = 0.0;
  double pendingI = 0.0, pendingQ = 0.0;  // the value of the next sample
};
NoiseRun g_noiseRun;
int64_t g_nextStart = -1;  // see SetPulseSamplesStart

// What the scalar pass needs, fixed for the repetition.
struct SampleContext {
  int pulseIndex;
  const PulseRecord* pulse;
  double fs;
  int32_t nD, nR, nOn, nF;
  int32_t onStart;    // nD + nR
  int32_t fallStart;  // nD + nR + nOn
  int32_t blankStart; // nD + nR + nOn + nF; also the last modulated sample
  double on, off, droopDb;
  double step;        // carrier phase step, rad per sample
  double deviation;
  int riseEdge, fallEdge;
  uint8_t segment[5];
  uint8_t restart;
  int32_t restartEnd;  // total / 10
  const double* envI;  // nullptr without a custom envelope
  const double* envQ;  // nullptr for an amplitude envelope
  int32_t envCount;
};

// State carried from sample to sample.
struct SampleState {
  double phi;       // running carrier phase
  double modPhase;  // modulation phase, kept across the modulated samples
  double onNow;     // on level after droop
};

// Custom envelope at sample i (nD <= i < blankStart): linear interpolation
// over the rise, on and fall samples.
void ApplyEnvelope(const SampleContext& x, int32_t i, double* amp, double* envPhase) {
  const int64_t span = static_cast<int64_t>(x.nR) + x.nOn + x.nF;
  const int32_t count = x.envCount;
  double vi = x.envI[0];
  double vq = x.envQ != nullptr ? x.envQ[0] : 0.0;
  // A one-sample span has no interpolation interval: it takes the first point.
  if (span > 1) {
    const double pos = static_cast<double>(i - x.nD) * static_cast<double>(count - 1) / static_cast<double>(span - 1);
    const int64_t k = static_cast<int64_t>(pos);
    const double f = pos - static_cast<double>(k);
    if (k >= count - 1) {
      vi = x.envI[count - 1];
      if (x.envQ != nullptr) vq = x.envQ[count - 1];
    } else {
      vi = (1 - f) * x.envI[k] + f * x.envI[k + 1];
      if (x.envQ != nullptr) vq = (1 - f) * x.envQ[k] + f * x.envQ[k + 1];
    }
  }
  if (x.envQ == nullptr) {
    *amp *= vi;
    return;
  }
  double mag = 0.0;
  double angle = 0.0;
  IqToMagPhase(&vi, &vq, 1, &mag, &angle);
  *amp *= mag;
  *envPhase = angle;
}

// Position of sample a + v in a block of m samples starting at a, limited
// to j .. m.
inline int BlockLimit(int32_t a, int m, int j, int32_t v) {
  const int64_t k = static_cast<int64_t>(v) - a;
  if (k < j) return j;
  return k > m ? m : static_cast<int>(k);
}

// Scalar pass over samples a .. a+m-1: amplitude, total phase, marker byte.
// The modulation runs first over the block's modulated samples (sample order
// as one call per sample); the levels then go segment by segment.
int PrepareBlock(const SampleContext& x, int32_t a, int m, SampleState& st, BlockBuffers& b) {
  for (int j = 0; j < m; ++j) {
    b.amp[j] = 1.0;
    b.modPhase[j] = 0.0;
    b.marker[j] = 0;
  }
  const int32_t lo = a > x.nD ? a : x.nD;
  const int32_t last = a + m - 1;
  const int32_t hi = last < x.blankStart ? last : x.blankStart;
  // Samples outside nD .. blankStart hold no modulation phase.
  if (lo > a) st.modPhase = 0.0;
  if (lo <= hi &&
      !ComputeModulationBlock(x.pulseIndex, b.amp + (lo - a), &st.modPhase, b.modPhase + (lo - a), lo - x.nD,
                              hi - lo + 1, x.nR, x.nOn, x.nF, x.fs, *x.pulse, x.deviation, b.marker + (lo - a))) {
    Log_Message(1, "*** Error during I/Q calculation. Stopped.");
    return 0;
  }
  if (hi < last) st.modPhase = 0.0;

  for (int j = 0, e = BlockLimit(a, m, 0, x.restartEnd); j < e; ++j) b.marker[j] |= x.restart;

  double phi = st.phi;
  int j = 0;
  for (int e = BlockLimit(a, m, j, x.nD); j < e; ++j) {
    phi += x.step;
    b.amp[j] = b.amp[j] * x.off;
    b.marker[j] |= x.segment[MARKER_DELAY];
    b.phase[j] = phi + b.modPhase[j] + 0.0;
  }
  for (int e = BlockLimit(a, m, j, x.onStart); j < e; ++j) {
    const int32_t i = a + j;
    phi += x.step;
    double amp = b.amp[j];
    double envPhase = 0.0;
    if (x.envI != nullptr) ApplyEnvelope(x, i, &amp, &envPhase);
    const double s = EdgeShape(x.riseEdge, static_cast<double>(i - x.nD) / x.nR);
    b.amp[j] = amp * (x.off + s * (st.onNow - x.off));
    b.marker[j] |= x.segment[MARKER_RISE];
    b.phase[j] = phi + b.modPhase[j] + envPhase;
  }
  for (int e = BlockLimit(a, m, j, x.fallStart); j < e; ++j) {
    const int32_t i = a + j;
    phi += x.step;
    double amp = b.amp[j];
    double envPhase = 0.0;
    if (x.envI != nullptr) ApplyEnvelope(x, i, &amp, &envPhase);
    if (x.droopDb != 0.0) {
      const int32_t k = i - x.onStart;
      st.onNow = x.on * std::pow(10.0, -x.droopDb * k / (x.nOn * 20.0));
    }
    b.amp[j] = amp * st.onNow;
    b.marker[j] |= x.segment[MARKER_ON];
    b.phase[j] = phi + b.modPhase[j] + envPhase;
  }
  for (int e = BlockLimit(a, m, j, x.blankStart); j < e; ++j) {
    const int32_t i = a + j;
    phi += x.step;
    double amp = b.amp[j];
    double envPhase = 0.0;
    if (x.envI != nullptr) ApplyEnvelope(x, i, &amp, &envPhase);
    const double s = EdgeShape(x.fallEdge, 1 - static_cast<double>(i - x.fallStart) / x.nF);
    b.amp[j] = amp * (x.off + s * (st.onNow - x.off));
    b.marker[j] |= x.segment[MARKER_FALL];
    b.phase[j] = phi + b.modPhase[j] + envPhase;
  }
  for (; j < m; ++j) {
    phi += x.step;
    b.amp[j] = b.amp[j] * x.off;
    b.marker[j] |= x.segment[MARKER_OFF];
    b.phase[j] = phi + b.modPhase[j] + 0.0;
  }
  st.phi = phi;
  return 1;
}

// Combines the block with the samples already in the files. Samples the
// files do not hold (a short read at the end of the existing data) are
// written as computed.
void CombineBlock(int iqSlot, int markerSlot, int m, int mode, bool swapIq, BlockBuffers& b) {
  int32_t got = ReadBytes(iqSlot, 8 * m, b.oldIq);
  if (got < 0) got = 0;
  const int whole = got / 8;
  int32_t gotMarkers = whole > 0 ? ReadBytes(markerSlot, whole, b.oldMarker) : 0;
  if (gotMarkers < 0) gotMarkers = 0;
  for (int j = 0; j < whole; ++j) {
    float stored[2];
    std::memcpy(stored, b.oldIq + 8 * j, 8);
    const double oldI = swapIq ? stored[1] : stored[0];
    const double oldQ = swapIq ? stored[0] : stored[1];
    if (mode == 1) {
      b.i[j] += oldI;
      b.q[j] += oldQ;
    } else if (mode == 2) {
      b.i[j] *= oldI;
      b.q[j] *= oldQ;
    } else {
      b.i[j] = oldI;
      b.q[j] = oldQ;
    }
    if (j >= gotMarkers) continue;
    if (mode == 1) b.marker[j] |= b.oldMarker[j];
    else if (mode == 2) b.marker[j] &= b.oldMarker[j];
    else b.marker[j] = b.oldMarker[j];
  }
}

// Samples of the delay, and of the blank behind its first sample (which the
// modulation still sees), carry neither modulation nor envelope: the level
// is the off level, the phase the running carrier phase, the marker byte
// that of the part. The same values as PrepareBlock gives them, in one loop.
void LevelMarkers(const SampleContext& x, int32_t a, int m, uint8_t part, BlockBuffers& b) {
  std::memset(b.marker, part, static_cast<size_t>(m));
  for (int j = 0, e = BlockLimit(a, m, 0, x.restartEnd); j < e; ++j) b.marker[j] |= x.restart;
}

void PrepareLevelBlock(const SampleContext& x, int32_t a, int m, uint8_t part, SampleState& st, BlockBuffers& b) {
  const double level = 1.0 * x.off;
  double phi = st.phi;
  for (int j = 0; j < m; ++j) {
    phi += x.step;
    b.amp[j] = level;
    b.phase[j] = phi + 0.0 + 0.0;
  }
  LevelMarkers(x, a, m, part, b);
  st.phi = phi;
  st.modPhase = 0.0;
}

}  // namespace

int ComputePulseSamples(int pulseIndex, const PulseRecord& pulse, int iqSlot, int markerSlot, double fs,
                        const PulseCounts& counts, const PulseLevels& levels, const PulseMarkerBits& markers,
                        int combineMode, bool swapIq, double* peak, double* endPhase) {
  SampleContext x{};
  x.pulseIndex = pulseIndex;
  x.pulse = &pulse;
  x.fs = fs;
  x.nD = counts.delay;
  x.nR = counts.rise;
  x.nOn = counts.on;
  x.nF = counts.fall;
  x.onStart = x.nD + x.nR;
  x.fallStart = x.onStart + x.nOn;
  x.blankStart = x.fallStart + x.nF;
  x.on = levels.on;
  x.off = levels.off;
  x.droopDb = levels.droopDb;
  x.step = 2 * PiConstant * levels.offset / fs;
  x.deviation = levels.deviation;
  x.riseEdge = pulse.riseEdge;
  x.fallEdge = pulse.fallEdge;
  std::memcpy(x.segment, markers.segment, sizeof x.segment);
  x.restart = markers.restart;
  x.restartEnd = counts.total / 10;
  x.envI = nullptr;
  x.envQ = nullptr;
  x.envCount = 0;
  if (pulse.customEnvelopeOn != 0 && !pulse.envelope.Empty()) {
    x.envI = pulse.envelope.Values().data();
    x.envCount = pulse.envelope.Count();
    if (pulse.envelope.HasQ()) x.envQ = pulse.envelope.QValues().data();
  }

  const bool noise = pulse.noiseOn != 0;
  const int64_t start = g_nextStart;
  g_nextStart = -1;
  NoiseRun& run = g_noiseRun;
  const double noiseGain = levels.noiseGain;
  if (noise) {
    const bool follows = run.active && start >= 0 && start == run.end && run.bandwidth == pulse.noiseBw &&
                         run.fs == fs;
    if (!follows) {
      // Started in its stationary state: its first value is as noisy as
      // any later one.
      if (!PulseNoise_Init(&g_noise, pulse.noiseBw, fs, 1.0)) {
        Log_Message(1, " *** Invalid noise bandwidth for the specified clock rate.");
        return 0;
      }
      PulseNoise_Run(&g_noise, 1, &run.pendingI, &run.pendingQ);
      run.bandwidth = pulse.noiseBw;
      run.fs = fs;
    }
    run.active = start >= 0;
    run.end = start + counts.total;
  }

  SampleState st{levels.startPhase, 0.0, levels.on};
  BlockBuffers& b = g_buf;
  PulseSampleSink* const sink = g_sink;
  const int32_t total = counts.total;
  for (int32_t a = 0; a < total;) {
    if (a % kPollSamples == 0) {
      if (EngineHost_StopPressed()) {
        Log_Message(1, "*** User break during waveform creation.");
        EngineHost_NoteUserBreak();
        return 0;
      }
      EngineHost_SetTaskProgress(std::trunc(100.0 * a / total));
    }
    const int32_t end = PulseBlockEnd(a, total, x.nD);
    const int m = end - a;

    // A block wholly in the delay or in the blank after its first sample.
    const bool level = end <= x.nD || a > x.blankStart;
    const uint8_t part = x.segment[a < x.nD ? MARKER_DELAY : MARKER_OFF];
    // A sink may take such a block without noise or combining as it
    // stands, its values never formed: the phase only moves on.
    if (sink != nullptr && level && !noise && combineMode == 0) {
      LevelMarkers(x, a, m, part, b);
      if (sink->TakeLevel(PulseLevelBlock{st.phi, x.step, 1.0 * x.off, a, m, swapIq, *peak}, b.marker)) {
        PulseKernel_AdvancePhase(&st.phi, x.step, m);
        st.modPhase = 0.0;
        a = end;
        continue;
      }
    }
    // Such a block is otherwise computed and packed in one pass, straight
    // into the slot's write buffer when it has the room.
    unsigned char* room = nullptr;
    bool packed = false;   // the pairs are packed
    bool carrier = false;  // I and Q hold the carrier
    // At the off level alone every magnitude is within a few units in the
    // last place of that level: below a peak above it the peak stays.
    const bool belowPeak = level && !noise && combineMode == 0 && std::fabs(x.off) * (1.0 + 1e-9) < *peak;
    if (level && combineMode == 0 && PulseKernel_LevelBlockAvailable()) {
      if (noise) {
        // The carrier's doubles, to which the noise is added (from the
        // faster cosine and sine: the noise covers their last places).
        PulseKernel_LevelCarrier(&st.phi, x.step, 1.0 * x.off, m, b.i, b.q);
        carrier = true;
      } else {
        if (sink == nullptr) room = WriteReserve(iqSlot, 8 * m);
        // The doubles are needed for the peak only.
        PulseKernel_LevelBlock(&st.phi, x.step, 1.0 * x.off, m, swapIq, belowPeak ? nullptr : b.i,
                               belowPeak ? nullptr : b.q, room != nullptr ? room : b.packed);
        packed = carrier = true;
      }
      LevelMarkers(x, a, m, part, b);
      st.modPhase = 0.0;
    }
    if (carrier) {
      // The carrier and the marker bytes are in place.
    } else if (level) {
      PrepareLevelBlock(x, a, m, part, st, b);
    } else if (!PrepareBlock(x, a, m, st, b)) {
      return 0;
    }
    if (!carrier) PulseKernel_Carrier(b.phase, b.amp, b.i, b.q, m);
    if (noise) {
      // Each sample takes the pair formed at the previous step.
      PulseNoise_Run(&g_noise, m, b.noiseI, b.noiseQ);
      b.i[0] += run.pendingI * noiseGain;
      b.q[0] += run.pendingQ * noiseGain;
      for (int j = 1; j < m; ++j) {
        b.i[j] += b.noiseI[j - 1] * noiseGain;
        b.q[j] += b.noiseQ[j - 1] * noiseGain;
      }
      run.pendingI = b.noiseI[m - 1];
      run.pendingQ = b.noiseQ[m - 1];
    }
    if (combineMode != 0) CombineBlock(iqSlot, markerSlot, m, combineMode, swapIq, b);
    if (!belowPeak) *peak = PulseKernel_Peak(b.i, b.q, m, *peak);
    // The pairs are packed straight into the slot's write buffer when it has
    // the room.
    if (!packed) {
      if (sink == nullptr) room = WriteReserve(iqSlot, 8 * m);
      const double* first = swapIq ? b.q : b.i;
      const double* second = swapIq ? b.i : b.q;
      PulseKernel_PackIq(first, second, room != nullptr ? room : b.packed, m);
    }
    if (sink != nullptr) {
      if (!sink->Samples(b.packed, b.marker, m, *peak)) return 0;
    } else {
      if ((room == nullptr && WriteBytes(iqSlot, 8 * m, b.packed) != 8 * m) ||
          WriteBytes(markerSlot, m, b.marker) != m) {
        Log_Message(1, "*** Cannot write temporary waveform data.");
        return 0;
      }
      if (g_tap != nullptr) g_tap(room != nullptr ? room : b.packed, b.marker, m, *peak);
    }
    a = end;
  }
  *endPhase = st.modPhase + st.phi;
  return 1;
}

void SetPulseSamplesTap(PulseSamplesTap tap) { g_tap = tap; }

void SetPulseSampleSink(PulseSampleSink* sink) { g_sink = sink; }

PulseSampleSink* GetPulseSampleSink() { return g_sink; }

int32_t PulseBlockEnd(int32_t a, int32_t total, int32_t delay) {
  int32_t end = total - a > B ? a + B : total;
  const int32_t nextPoll = (a / kPollSamples + 1) * kPollSamples;
  if (end > nextPoll) end = nextPoll;
  if (a < delay && end > delay) end = delay;
  return end;
}

int32_t PulseLevelSamples(PulseLevelBlock* run, unsigned char* out, int32_t most) {
  static double phase[B], amp[B], i[B], q[B];
  const int32_t last = run->first + run->count;
  int32_t formed = 0;
  while (run->first < last) {
    const int32_t a = run->first;
    const int32_t end = PulseBlockEnd(a, last, 0);
    const int m = end - a;
    if (formed + m > most) break;
    unsigned char* dest = out + 8 * static_cast<size_t>(formed);
    if (PulseKernel_LevelBlockAvailable()) {
      PulseKernel_LevelBlock(&run->phi, run->step, run->level, m, run->swapIq, nullptr, nullptr, dest);
    } else {
      for (int j = 0; j < m; ++j) {
        run->phi += run->step;
        amp[j] = run->level;
        phase[j] = run->phi + 0.0 + 0.0;
      }
      PulseKernel_Carrier(phase, amp, i, q, m);
      PulseKernel_PackIq(run->swapIq ? q : i, run->swapIq ? i : q, dest, m);
    }
    run->first = end;
    run->count -= m;
    formed += m;
  }
  return formed;
}

void SetPulseSamplesStart(int64_t firstSample) { g_nextStart = firstSample; }

void ResetPulseNoise() { g_noiseRun.active = false; }
