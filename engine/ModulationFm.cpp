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

double ChirpFrequency(const ModulationSample& x) {
  const ModulationState& st = ModState;
  const double W = x.W;
  const int N = x.N;
  const int m = x.n - x.R;
  const bool rise = x.n < x.R;
  const bool fall = x.n > x.R + N;
  switch (st.rampType) {
    case 0:  // ramp up
      if (rise) return -W / 2.0;
      if (fall) return W / 2.0;
      return W * (static_cast<double>(m) / N - 0.5);
    case 1:  // ramp dn
      if (rise) return W / 2.0;
      if (fall) return -W / 2.0;
      return W * (0.5 - static_cast<double>(m) / N);
    case 2:  // sine
      if (rise || fall) return 0.0;
      return (W / 2.0) * std::sin(kTwoPi * m / N);
    case 3:  // exp: from -W/2 to +W/2, exponential in frequency
      if (rise) return -W / 2.0;
      if (fall) return W / 2.0;
      return std::exp(st.chirpLogW1 * m / N) - 1.0 - W / 2.0;
    case 4:  // exp 10: the same curve through powers of ten
      if (rise) return -W / 2.0;
      if (fall) return W / 2.0;
      return std::pow(10.0, st.chirpLog10W1 * m / N) - 1.0 - W / 2.0;
    case 5:  // triangular: switch at the integer half, slopes about the exact half
      if (rise || fall) return -W / 2.0;
      if (m < N / 2) return (W / 2.0) * (4.0 * m / N - 1.0);
      return (W / 2.0) * (1.0 - 4.0 * (m - N / 2.0) / N);
    case 6:  // inv trian
      if (rise || fall) return W / 2.0;
      if (m < N / 2) return (W / 2.0) * (1.0 - 4.0 * m / N);
      return (W / 2.0) * (4.0 * (m - N / 2.0) / N - 1.0);
    default:
      return 0.0;
  }
}

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

int ModulationFmSample(const ModulationSample& x, double* amplitude, double* phase) {
  const ModulationState& st = ModState;
  switch (st.code) {
    case MOD_FMCHIRP:
      if (x.N == 0) return Fail("*** Error: Chirp width is zero !");
      AdvancePhase(ChirpFrequency(x), x.r, amplitude, phase);
      return 1;
    case MOD_FMCHIRPPOLY:
      if (x.N == 0) return Fail("*** Error: Chirp width is zero !");
      AdvancePhase(PolynomialFrequency(x), x.r, amplitude, phase);
      return 1;
    case MOD_FM:
      AdvancePhase(st.fmDeviation * 1000.0 * std::sin(kTwoPi * (st.fmFreq * 1000.0 / x.r) * x.n), x.r,
                   amplitude, phase);
      return 1;
    case MOD_FMSTEREO:
      AdvancePhase(StereoFrequency(x), x.r, amplitude, phase);
      return 1;
    case MOD_FSK:
      AdvancePhase(Bit(x.s) ? st.fskDeviation * 1e6 : -st.fskDeviation * 1e6, x.r, amplitude, phase);
      return 1;
    case MOD_FSK2:
      AdvancePhase(Fsk2Frequency(x), x.r, amplitude, phase);
      return 1;
    case MOD_MULTI:
      MultiTone(x, amplitude, phase);
      return 1;
    case MOD_FMMULTICW:
      MultiCarrier(x, amplitude, phase);
      return 1;
    default:
      return 1;
  }
}
