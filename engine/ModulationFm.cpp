// Frequency modulations: FM chirp, polynomial FM, FM, FM stereo, FSK, FSK(2),
// multi tone and multi carrier.
//
// The frequency branches produce an instantaneous offset f (Hz) and advance
// the running phase by 2*pi*f/r; multi tone and multi carrier sum unit
// phasors and set amplitude and phase from the sum.
#include <cmath>

#include "app/Keywords.h"
#include "app/Log.h"
#include "engine/Modulation.h"
#include "engine/ModulationTypes.h"
#include "engine/Random.h"
#include "engine/SignalMath.h"
#include "platform/CLocale.h"

namespace {

constexpr double kTwoPi = 2.0 * PiConstant;

int Fail(const char* message) { return ModulationFail(message); }

inline void AdvancePhase(double f, double r, double* amplitude, double* phase) {
  *amplitude = 1.0;
  *phase = *phase + kTwoPi * f / r;
}

inline bool Bit(int k) { return ModulationBitStream[k] == '1'; }

// Sets amplitude and phase from an I/Q sum (rounded to float32 precision as
// every magnitude/phase conversion of the engine).
inline void SetFromIq(double i, double q, double* amplitude, double* phase) {
  IqToMagPhase(&i, &q, 1, amplitude, phase);
}

// Chirp frequencies by ramp type. Rise is n < R, on R <= n <= R + N, fall
// n > R + N; m = n - R counts the on samples.
inline bool InRise(const ModulationSample& x) { return x.n < x.R; }
inline bool InFall(const ModulationSample& x) { return x.n > x.R + x.N; }

double ChirpUp(const ModulationSample& x) {
  const double W = x.W;
  if (InRise(x)) return -W / 2.0;
  if (InFall(x)) return W / 2.0;
  return W * (static_cast<double>(x.n - x.R) / x.N - 0.5);
}

double ChirpDown(const ModulationSample& x) {
  const double W = x.W;
  if (InRise(x)) return W / 2.0;
  if (InFall(x)) return -W / 2.0;
  return W * (0.5 - static_cast<double>(x.n - x.R) / x.N);
}

double ChirpSine(const ModulationSample& x) {
  if (InRise(x) || InFall(x)) return 0.0;
  return (x.W / 2.0) * std::sin(kTwoPi * (x.n - x.R) / x.N);
}

// From -W/2 to +W/2, exponential in frequency (W in Hz).
double ChirpExp(const ModulationSample& x) {
  const double W = x.W;
  if (InRise(x)) return -W / 2.0;
  if (InFall(x)) return W / 2.0;
  return std::exp(ModState.chirpLogW1 * (x.n - x.R) / x.N) - 1.0 - W / 2.0;
}

// The same curve through powers of ten.
double ChirpExp10(const ModulationSample& x) {
  const double W = x.W;
  if (InRise(x)) return -W / 2.0;
  if (InFall(x)) return W / 2.0;
  return std::pow(10.0, ModState.chirpLog10W1 * (x.n - x.R) / x.N) - 1.0 - W / 2.0;
}

// Up to the exact half of the on time and down again: the switch comes at
// 2m < N, so with an odd N the middle sample lies on the falling slope and
// the sweep never leaves +-W/2.
double ChirpTriangular(const ModulationSample& x) {
  const double W = x.W;
  const int N = x.N;
  const int m = x.n - x.R;
  if (InRise(x) || InFall(x)) return -W / 2.0;
  if (2 * static_cast<int64_t>(m) < N) return (W / 2.0) * (4.0 * m / N - 1.0);
  return (W / 2.0) * (1.0 - 4.0 * (m - N / 2.0) / N);
}

double ChirpInvTriangular(const ModulationSample& x) {
  const double W = x.W;
  const int N = x.N;
  const int m = x.n - x.R;
  if (InRise(x) || InFall(x)) return W / 2.0;
  if (2 * static_cast<int64_t>(m) < N) return (W / 2.0) * (1.0 - 4.0 * m / N);
  return (W / 2.0) * (4.0 * (m - N / 2.0) / N - 1.0);
}

// A ramp type without a curve: no frequency offset.
double ChirpNone(const ModulationSample&) { return 0.0; }

double PolynomialFrequency(const ModulationSample& x) {
  const ModulationState& st = ModState;
  double v;
  if (x.n < x.R)
    v = -1.0;
  else if (x.n > x.R + x.N)
    v = 1.0;
  else
    v = 2.0 * (x.n - x.R) / x.N - 1.0;
  double f = 0.0;
  double power = 1.0;
  for (int k = 0; k < 7; ++k) {
    f += st.polyTerms[k] * st.polyMultiplier * power;
    power *= v;
  }
  return f;
}

double StereoFrequency(const ModulationSample& x) {
  const ModulationState& st = ModState;
  const double n = x.n;
  const double r = x.r;
  double rt = st.stereoRightLevel * std::sin(kTwoPi * (st.stereoRightTone * 1000.0 / r) * n);
  double lt = st.stereoLeftLevel * std::sin(kTwoPi * (st.stereoLeftTone * 1000.0 / r) * n);
  // 38 kHz difference subcarrier and 19 kHz pilot of the broadcast multiplex
  double d = ((lt - rt) / 2.0) * std::sin(kTwoPi * (38000.0 / r) * n);
  double mux = (st.stereoAudio / 100.0) * ((lt + rt) / 2.0 + d) +
               (st.stereoPilot / 100.0) * std::sin(kTwoPi * (19000.0 / r) * n);
  return mux * st.stereoDeviation * 1000.0;
}

// FSK(2): bit k lasts s1 ('0') or s2 ('1') samples one after the other. The
// bit of sample n is the first whose running end E reaches n (trunc(E) >= n),
// else the last bit. Samples come in increasing n, and every bit before the
// one found for an earlier sample ended before that sample, so the walk
// resumes at the cursor: the same sums in the same order as a walk from the
// first bit.
double Fsk2Frequency(const ModulationSample& x) {
  ModulationState& st = ModState;
  if (x.n < st.fsk2LastN || st.fsk2LastN < 0) {
    // durations cut to whole microseconds, kept as fractional sample counts
    st.fsk2S1 = std::trunc(st.fsk2T1) * 1e-6 * x.r;
    st.fsk2S2 = std::trunc(st.fsk2T2) * 1e-6 * x.r;
    st.fsk2Bit = 0;
    st.fsk2End = Bit(0) ? st.fsk2S2 : st.fsk2S1;
  }
  st.fsk2LastN = x.n;
  const int last = ModulationBitCount - 1;
  while (std::trunc(st.fsk2End) < x.n && st.fsk2Bit < last) {
    ++st.fsk2Bit;
    st.fsk2End += Bit(st.fsk2Bit) ? st.fsk2S2 : st.fsk2S1;
  }
  return (Bit(st.fsk2Bit) ? st.fsk2F2 : st.fsk2F1) * 1e6;
}

void MultiTone(const ModulationSample& x, double* amplitude, double* phase) {
  const ModulationState& st = ModState;
  double i = 0.0, q = 0.0;
  for (double fj : st.toneFreq) {
    if (std::fabs(fj) < 1e-6) continue;
    double theta = kTwoPi * (fj * 1e6 / x.r) * x.n;
    i += std::cos(theta);
    q += std::sin(theta);
  }
  SetFromIq(i, q, amplitude, phase);
}

void MultiCarrier(const ModulationSample& x, double* amplitude, double* phase) {
  const ModulationState& st = ModState;
  const int nc = st.carrierCount;
  const double centre = (nc - 1) / 2.0;
  double i = 0.0, q = 0.0;
  for (int k = 0; k < nc; ++k) {
    double fk = st.carrierSpacing * 1000.0 * (k - centre);
    double theta = kTwoPi * (fk / x.r) * x.n + st.carrierPhase[k % kMultiCarrierPhases];
    i += std::cos(theta);
    q += std::sin(theta);
  }
  *amplitude = 1.0;
  SetFromIq(i, q, amplitude, phase);
}

}  // namespace

int ModulationReadFmParams(int pulseIndex, int code, double chirpWidth) {
  ModulationState& st = ModState;
  ModulationParamReader p{pulseIndex};
  switch (code) {
    case MOD_FMCHIRP:
      p.Int("Ramp Type", &st.rampType);
      if (!p.ok) return Fail("*** Invalid FM chirp modulation parameter.");
      Log_Message(1, cz::FormatC(" - Chirp Dev:%8.6f MHz", chirpWidth / 1e6).c_str());
      st.chirpLogW1 = std::log(chirpWidth + 1.0);
      st.chirpLog10W1 = std::log10(chirpWidth + 1.0);
      return 1;
    case MOD_FMCHIRPPOLY: {
      p.Double("Multiplier", &st.polyMultiplier);
      static const char* const kTerms[7] = {"Term 0", "Term 1", "Term 2", "Term 3",
                                            "Term 4", "Term 5", "Term 6"};
      for (int k = 0; k < 7; ++k) p.Double(kTerms[k], &st.polyTerms[k]);
      if (!p.ok) return Fail("*** Invalid polynomial FM parameter.");
      return 1;
    }
    case MOD_FM:
      p.Double("Mod Freq [kHz]", &st.fmFreq);
      p.Double("Deviation [kHz]", &st.fmDeviation);
      if (!p.ok) return Fail("*** Invalid FM parameter.");
      return 1;
    case MOD_FMSTEREO:
      p.Double("Right Tone [kHz]", &st.stereoRightTone);
      p.Double("Left Tone [kHz]", &st.stereoLeftTone);
      p.Double("Right Audio Level", &st.stereoRightLevel);
      p.Double("Left Audio Level", &st.stereoLeftLevel);
      p.Double("Deviation [kHz]", &st.stereoDeviation);
      p.Double("MUX Pilot Level [%]", &st.stereoPilot);
      p.Double("MUX Audio Level [%]", &st.stereoAudio);
      if (!p.ok) return Fail("*** Invalid FM Stereo parameter.");
      return 1;
    case MOD_FSK:
      p.Double("Deviation [MHz]", &st.fskDeviation);
      if (!p.ok) return Fail("*** Invalid FSK modulation parameter.");
      return 1;
    case MOD_FSK2: {
      double t1 = 0.0, t2 = 0.0;
      p.Double("f1 [MHz]", &st.fsk2F1);
      p.Double("f2 [MHz]", &st.fsk2F2);
      p.Double("T1 [us]", &t1);
      p.Double("T2 [us]", &t2);
      if (!p.ok) return Fail("*** Invalid FSK2 modulation parameter.");
      st.fsk2T1 = t1;
      st.fsk2T2 = t2;
      st.fsk2LastN = -1;
      return 1;
    }
    case MOD_MULTI: {
      static const char* const kTones[5] = {"f1 [MHz]", "f2 [MHz]", "f3 [MHz]", "f4 [MHz]",
                                            "f5 [MHz]"};
      for (int k = 0; k < 5; ++k) p.Double(kTones[k], &st.toneFreq[k]);
      if (!p.ok) return Fail("*** Invalid multi tone modulation parameter.");
      return 1;
    }
    case MOD_FMMULTICW:
      p.Double("Spacing [kHz]", &st.carrierSpacing);
      p.Int("Carriers", &st.carrierCount);
      p.Int("Random phase", &st.carrierRandomPhase);
      if (!p.ok) return Fail("*** Invalid multi carrier modulation parameter.");
      for (double& phi : st.carrierPhase)
        phi = st.carrierRandomPhase == 0 ? kTwoPi * (RandomRand() % 365) / 365.0 : 0.0;
      return 1;
    default:
      return 1;
  }
}

namespace {

// One rule per type (and per ramp type of the chirp), chosen once per
// repetition so that a sample runs one short function.
template <double (*Frequency)(const ModulationSample&)>
int ChirpRule(const ModulationSample& x, double* amplitude, double* phase) {
  if (x.N == 0) return Fail("*** Error: Chirp width is zero !");
  AdvancePhase(Frequency(x), x.r, amplitude, phase);
  return 1;
}

int FmRule(const ModulationSample& x, double* amplitude, double* phase) {
  const ModulationState& st = ModState;
  AdvancePhase(st.fmDeviation * 1000.0 * std::sin(kTwoPi * (st.fmFreq * 1000.0 / x.r) * x.n), x.r,
               amplitude, phase);
  return 1;
}

int StereoRule(const ModulationSample& x, double* amplitude, double* phase) {
  AdvancePhase(StereoFrequency(x), x.r, amplitude, phase);
  return 1;
}

int FskRule(const ModulationSample& x, double* amplitude, double* phase) {
  const double d = ModState.fskDeviation;
  AdvancePhase(Bit(x.s) ? d * 1e6 : -d * 1e6, x.r, amplitude, phase);
  return 1;
}

int Fsk2Rule(const ModulationSample& x, double* amplitude, double* phase) {
  AdvancePhase(Fsk2Frequency(x), x.r, amplitude, phase);
  return 1;
}

int MultiToneRule(const ModulationSample& x, double* amplitude, double* phase) {
  MultiTone(x, amplitude, phase);
  return 1;
}

int MultiCarrierRule(const ModulationSample& x, double* amplitude, double* phase) {
  MultiCarrier(x, amplitude, phase);
  return 1;
}

}  // namespace

ModulationSampleFn ModulationFmRule(int code) {
  switch (code) {
    case MOD_FMCHIRP:
      switch (ModState.rampType) {
        case 0: return ChirpRule<ChirpUp>;
        case 1: return ChirpRule<ChirpDown>;
        case 2: return ChirpRule<ChirpSine>;
        case 3: return ChirpRule<ChirpExp>;
        case 4: return ChirpRule<ChirpExp10>;
        case 5: return ChirpRule<ChirpTriangular>;
        case 6: return ChirpRule<ChirpInvTriangular>;
        default: return ChirpRule<ChirpNone>;
      }
    case MOD_FMCHIRPPOLY: return ChirpRule<PolynomialFrequency>;
    case MOD_FM: return FmRule;
    case MOD_FMSTEREO: return StereoRule;
    case MOD_FSK: return FskRule;
    case MOD_FSK2: return Fsk2Rule;
    case MOD_MULTI: return MultiToneRule;
    case MOD_FMMULTICW: return MultiCarrierRule;
    default: return nullptr;
  }
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define MODULATION_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define MODULATION_KERNEL_CLONES
#endif

// Phase steps of the linear ramps over on samples m0 .. m0 + count - 1
// (m = n - R): 2*pi*f/r with f = W*(m/N - 0.5) (up) or W*(0.5 - m/N) (down).
MODULATION_KERNEL_CLONES
void LinearUpSteps(int m0, int count, double N, double W, double r, double* __restrict step) {
  for (int k = 0; k < count; ++k) step[k] = kTwoPi * (W * (static_cast<double>(m0 + k) / N - 0.5)) / r;
}

MODULATION_KERNEL_CLONES
void LinearDownSteps(int m0, int count, double N, double W, double r, double* __restrict step) {
  for (int k = 0; k < count; ++k) step[k] = kTwoPi * (W * (0.5 - static_cast<double>(m0 + k) / N)) / r;
}

// Adds the steps to the phase in sample order, leaving the running phase in
// their place; the chirps hold the amplitude at 1.
void AccumulateSteps(int count, double* amplitude, double* steps, double* phase) {
  double p = *phase;
  for (int k = 0; k < count; ++k) {
    p = p + steps[k];
    steps[k] = p;
    amplitude[k] = 1.0;
  }
  *phase = p;
}

// Splits samples x.n .. x.n + count - 1 into rise, on and fall runs; the
// edges take the constant steps 2*pi*fRise/r and 2*pi*fFall/r.
template <void (*OnSteps)(int, int, double, double, double, double*)>
int LinearChirpBlock(const ModulationSample& x, int count, double* amplitude, double* phaseOut, double* phase,
                     double fRise, double fFall) {
  if (x.N == 0) return Fail("*** Error: Chirp width is zero !");
  const int n0 = x.n;
  const int n1 = n0 + count;  // end, exclusive
  const int onBegin = n0 < x.R ? (n1 < x.R ? n1 : x.R) : n0;
  const int onEnd = n1 < x.R + x.N + 1 ? n1 : x.R + x.N + 1;  // exclusive
  const double riseStep = kTwoPi * fRise / x.r;
  const double fallStep = kTwoPi * fFall / x.r;
  int k = 0;
  for (; k < onBegin - n0; ++k) phaseOut[k] = riseStep;
  if (onEnd > onBegin) {
    OnSteps(onBegin - x.R, onEnd - onBegin, static_cast<double>(x.N), x.W, x.r, phaseOut + k);
    k += onEnd - onBegin;
  }
  for (; k < count; ++k) phaseOut[k] = fallStep;
  AccumulateSteps(count, amplitude, phaseOut, phase);
  return 1;
}

int ChirpUpBlock(const ModulationSample& x, int count, double* amplitude, double* phaseOut, double* phase) {
  return LinearChirpBlock<LinearUpSteps>(x, count, amplitude, phaseOut, phase, -x.W / 2.0, x.W / 2.0);
}

int ChirpDownBlock(const ModulationSample& x, int count, double* amplitude, double* phaseOut, double* phase) {
  return LinearChirpBlock<LinearDownSteps>(x, count, amplitude, phaseOut, phase, x.W / 2.0, -x.W / 2.0);
}

// The other curves: the scalar frequency per sample, without the per-sample
// call through the rule.
template <double (*Frequency)(const ModulationSample&)>
int ChirpBlock(const ModulationSample& x0, int count, double* amplitude, double* phaseOut, double* phase) {
  if (x0.N == 0) return Fail("*** Error: Chirp width is zero !");
  ModulationSample x = x0;
  for (int k = 0; k < count; ++k) {
    x.n = x0.n + k;
    phaseOut[k] = kTwoPi * Frequency(x) / x.r;
  }
  AccumulateSteps(count, amplitude, phaseOut, phase);
  return 1;
}

}  // namespace

ModulationBlockFn ModulationFmBlockRule(int code) {
  switch (code) {
    case MOD_FMCHIRP:
      switch (ModState.rampType) {
        case 0: return ChirpUpBlock;
        case 1: return ChirpDownBlock;
        case 2: return ChirpBlock<ChirpSine>;
        case 3: return ChirpBlock<ChirpExp>;
        case 4: return ChirpBlock<ChirpExp10>;
        case 5: return ChirpBlock<ChirpTriangular>;
        case 6: return ChirpBlock<ChirpInvTriangular>;
        default: return ChirpBlock<ChirpNone>;
      }
    case MOD_FMCHIRPPOLY: return ChirpBlock<PolynomialFrequency>;
    default: return nullptr;
  }
}
