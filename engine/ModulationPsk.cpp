// Phase modulations: BPSK and C-BPSK with normal or differential coding, the
// polyphase codes Frank and P1 to P4, QPSK with its offset, continuous and
// differential forms, MSK and 8PSK.
#include <cmath>

#include <string_view>

#include "app/Keywords.h"
#include "app/PulseRecord.h"
#include "engine/Modulation.h"
#include "engine/SignalMath.h"

namespace {

constexpr double kTwoPi = 2.0 * PiConstant;
constexpr double kMinGain = 0.01;
constexpr double kMinMskRateKhz = 0.01;

inline bool Bit(int k) { return ModulationBitStream[k] == '1'; }
inline int Dibit(int first, int second) { return (Bit(first) ? 2 : 0) | (Bit(second) ? 1 : 0); }

// Position within the current symbol, 0 at its start and 1 at its end. A
// repetition of a single sample has no symbol length; it sits at the start.
inline double SymbolPosition(const ModulationSample& x) { return ModulationSymbolPosition(x.n, x.s); }

// Amplitude of a sample at phase phi on the ellipse with the semi-axis Gain I
// along the in-phase axis and Gain Q along the quadrature axis:
// gI*gQ / sqrt(gI^2 sin^2 + gQ^2 cos^2), so phase 0 has gI and pi/2 has gQ.
// Finite for every pair of gains (both are at least 0.01).
inline double GainAmplitude(double phi) {
  const double gI = ModState.pskGainI;
  const double gQ = ModState.pskGainQ;
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  return gI * gQ / std::sqrt(gI * gI * s * s + gQ * gQ * c * c);
}

// ---- BPSK ---------------------------------------------------------------------

// C-BPSK weight of the sample between the levels 0 ('0') and 1 ('1'): each
// side of a change between two symbols covers half of it, meeting at 0.5 on
// the boundary; at the ends "cos" swings fully, "linear" by half.
double CbpskWeight(const ModulationSample& x) {
  const ModulationState& st = ModState;
  const bool one = Bit(x.s);
  const double steady = one ? 1.0 : 0.0;
  const double h = st.bpskTransition / 200.0;
  const double u = SymbolPosition(x);
  const bool cosShape = st.bpskShape == 0;
  // Without a transition zone every sample is steady (no division by h).
  if (h <= 0.0 || (u >= h && u <= 1.0 - h)) return steady;
  if (u < h) {
    const double v = u / h;
    if (x.s > 0) {
      if (Bit(x.s - 1) == one) return steady;
      if (cosShape) return one ? 0.5 + 0.5 * std::sin(PiConstant * v / 2.0)
                               : 0.5 - 0.5 * std::sin(PiConstant * v / 2.0);
      return one ? 0.5 + 0.5 * v : 0.5 - 0.5 * v;
    }
    if (cosShape) return one ? 0.5 - 0.5 * std::cos(PiConstant * v) : 0.5 + 0.5 * std::cos(PiConstant * v);
    return one ? 0.5 + 0.5 * v : 0.5 - 0.5 * v;
  }
  const double v = (u - (1.0 - h)) / h;
  if (x.s < st.symbolCount - 1) {
    if (Bit(x.s + 1) == one) return steady;
    if (cosShape) return one ? 0.5 + 0.5 * std::cos(PiConstant * v / 2.0)
                             : 0.5 - 0.5 * std::cos(PiConstant * v / 2.0);
    return one ? 1.0 - 0.5 * v : 0.5 * v;
  }
  if (cosShape) return one ? 0.5 + 0.5 * std::cos(PiConstant * v) : 0.5 - 0.5 * std::cos(PiConstant * v);
  return one ? 1.0 - 0.5 * v : 0.5 * v;
}

void Bpsk(const ModulationSample& x, double* amplitude, double* phase) {
  ModulationState& st = ModState;
  const double pr = kTwoPi * st.bpskPhase / 360.0;
  if (st.bpskType == 0) {
    *amplitude = 1.0;
    if (st.bpskCoding == 1) {
      if (x.first) {
        st.bpskDiffPhase = Bit(x.s) ? pr : 0.0;
      } else if (x.s != x.sPrev && Bit(x.s)) {
        st.bpskDiffPhase = st.bpskDiffPhase == 0.0 ? pr : 0.0;
      }
      *phase = st.bpskDiffPhase;
    } else {
      *phase = Bit(x.s) ? pr : 0.0;
    }
  } else if (st.bpskType == 1) {
    *amplitude = 1.0;
    *phase = pr * CbpskWeight(x);
  }
}

// ---- Polyphase ----------------------------------------------------------------

int Polyphase(const ModulationSample& x, double* amplitude, double* phase) {
  ModulationState& st = ModState;
  const int M = st.polyLength;
  if (M == 0) return ModulationFail("*** Invalid code length.");
  double chips;
  switch (st.polyType) {
    case 0: case 1: case 2: chips = static_cast<double>(M) * M; break;
    case 3: case 4: chips = M; break;
    default: return ModulationFail("*** Polyphase code type not supported.");
  }
  const int64_t span = static_cast<int64_t>(x.R) + x.N + x.F;
  const double c = span / chips;
  if (std::trunc(c) == 0.0) return ModulationFail("*** Higher sample clock rate required.");
  // The chip of sample n, floor(n * chips / span) exactly: a chip that starts
  // on a sample owns it.
  const int k = static_cast<int>(static_cast<int64_t>(x.n) * static_cast<int64_t>(chips) / span);
  if (x.first) st.polyPrevChip = -1;
  if (k != st.polyPrevChip) {
    const double q = k / M;
    const double p = k % M;
    const double kd = k;
    const double md = M;
    switch (st.polyType) {
      case 0: st.polyChipPhase = kTwoPi * q * p / md; break;
      case 1: st.polyChipPhase = -(PiConstant / md) * (md - (2.0 * q + 1.0)) * (q * md + p); break;
      case 2: st.polyChipPhase = ((PiConstant / 2.0) * (md - 1.0) / md - PiConstant * p / md) * (md - 2.0 * q - 1.0); break;
      case 3: st.polyChipPhase = PiConstant * kd * kd / md; break;
      default: st.polyChipPhase = (PiConstant / md) * kd * (kd - md); break;
    }
    st.polyPrevChip = k;
  }
  *amplitude = 1.0;
  *phase = st.polyChipPhase;
  return 1;
}

// ---- QPSK ---------------------------------------------------------------------

// Constellation angle of a dibit for the angle A (degrees): 00 A, 01 180 - A,
// 10 A - 180, 11 -A.
double QpskAngle(int dibit) {
  const double a = ModState.qpskAngle;
  switch (dibit) {
    case 0: return PiConstant * a / 180.0;
    case 1: return PiConstant * (180.0 - a) / 180.0;
    case 2: return PiConstant * (a - 180.0) / 180.0;
    default: return -PiConstant * a / 180.0;
  }
}

void Qpsk(const ModulationSample& x, double* amplitude, double* phase) {
  ModulationState& st = ModState;
  const int dibit = Dibit(2 * x.s, 2 * x.s + 1);
  switch (st.pskType) {
    case 0: {
      *phase = QpskAngle(dibit) + kTwoPi * st.pskOffset / 360.0 + kTwoPi * x.s * st.pskRotation / 360.0;
      *amplitude = GainAmplitude(*phase);
      break;
    }
    case 1: {
      // The first bit of each dibit runs half a symbol ahead of the second.
      // Symbol of the sample half a symbol later: floor((2n + S) / 2S), which
      // is floor((2n * count + span) / (2 span)) in integers.
      int ahead = 0;
      if (st.symbolSpan > 0) {
        ahead = static_cast<int>((2 * static_cast<int64_t>(x.n) * st.symbolCount + st.symbolSpan) /
                                 (2 * st.symbolSpan));
      }
      if (ahead > st.symbolCount - 1) ahead = st.symbolCount - 1;
      if (ahead < 0) ahead = 0;
      static const double kOffsetPhase[4] = {-3.0 * PiConstant / 4.0, 3.0 * PiConstant / 4.0,
                                             -PiConstant / 4.0, PiConstant / 4.0};
      *amplitude = 1.0;
      *phase = kOffsetPhase[Dibit(2 * ahead, 2 * x.s + 1)];
      break;
    }
    case 2: {
      // The symbol's angle spread over its samples as a phase ramp; with less
      // than one sample per symbol each sample takes the whole angle.
      const double theta = QpskAngle(dibit) + kTwoPi * st.pskOffset / 360.0 +
                           kTwoPi * x.s * st.pskRotation / 360.0;
      double steps = std::trunc(st.samplesPerSymbol);
      if (steps < 1.0) steps = 1.0;
      *phase = *phase + theta / steps;
      *amplitude = GainAmplitude(*phase);
      break;
    }
    case 3: {
      static const double kStep[4] = {0.0, PiConstant / 2.0, -PiConstant / 2.0, PiConstant};
      *amplitude = 1.0;
      if (x.s != st.previousSymbol) {
        *phase = *phase + kStep[dibit];
        st.previousSymbol = x.s;
      }
      break;
    }
    default:
      break;
  }
}

// ---- MSK ----------------------------------------------------------------------

// Each bit turns the phase by exactly +-pi/2 over S = r/Rs samples; the
// rounding remainder of a bit is added at the start of the next.
void Msk(const ModulationSample& x, double* amplitude, double* phase) {
  ModulationState& st = ModState;
  const double S = st.samplesPerSymbol;
  const double kd = std::trunc(x.n / S);
  const double limit = 2.0 * st.symbolCount;
  if (kd < limit) {
    const int k = static_cast<int>(kd);
    if (k != st.previousSymbol) {
      *phase = *phase + (st.mskTarget - st.mskAccumulated);
      st.mskAccumulated = 0.0;
      st.mskTarget = Bit(k) ? PiConstant / 2.0 : -PiConstant / 2.0;
      st.mskStep = st.mskTarget / S;
      st.previousSymbol = k;
    }
    *phase = *phase + st.mskStep;
    st.mskAccumulated = st.mskAccumulated + st.mskStep;
  }
  *amplitude = 1.0;
}

// ---- 8PSK ---------------------------------------------------------------------

void Psk8(const ModulationSample& x, double* amplitude, double* phase) {
  const ModulationState& st = ModState;
  if (st.pskType != 0) return;
  static const double kAngle[8] = {3.0 * PiConstant / 4.0, PiConstant,  PiConstant / 2.0,
                                   PiConstant / 4.0,       -PiConstant / 2.0, -3.0 * PiConstant / 4.0,
                                   -PiConstant / 4.0,      0.0};
  const int k = 3 * x.s;
  const int tribit = (Bit(k) ? 4 : 0) | (Bit(k + 1) ? 2 : 0) | (Bit(k + 2) ? 1 : 0);
  *phase = kAngle[tribit] + kTwoPi * st.pskOffset / 360.0 + kTwoPi * x.s * st.pskRotation / 360.0;
  *amplitude = GainAmplitude(*phase);
}

bool StoredTextIs(int pulseIndex, const char* label, const char* text) {
  const PulseRecord& pulse = PulseTable[pulseIndex];
  const int k = pulse.modParams.Find(label);
  return k >= 0 && pulse.modParams[k].value == std::string_view(text);
}

void ReadGains(ModulationParamReader& p) {
  ModulationState& st = ModState;
  p.Double("Gain I", &st.pskGainI);
  p.Double("Gain Q", &st.pskGainQ);
}

void RaiseGains() {
  ModulationState& st = ModState;
  if (st.pskGainI < kMinGain) st.pskGainI = kMinGain;
  if (st.pskGainQ < kMinGain) st.pskGainQ = kMinGain;
}

}  // namespace

int ModulationReadPskParams(int pulseIndex, int code) {
  ModulationState& st = ModState;
  ModulationParamReader p{pulseIndex};
  switch (code) {
    case MOD_BARKER:
      p.Int("Type", &st.bpskType);
      p.Double("Phase [deg]", &st.bpskPhase);
      p.Int("Trans. Shape", &st.bpskShape);
      p.Double("Transition [%]", &st.bpskTransition);
      p.Int("Coding", &st.bpskCoding);
      if (!p.ok) return ModulationFail("*** Invalid BPSK modulation parameter.");
      st.bpskDiffPhase = 0.0;
      return 1;
    case MOD_POLYPHASE:
      p.Int("Type", &st.polyType);
      p.Int("M (Length)", &st.polyLength);
      if (!p.ok) return ModulationFail("*** Invalid Polyphase modulation parameter.");
      st.polyPrevChip = -1;
      st.polyChipPhase = 0.0;
      return 1;
    case MOD_QPSK:
      p.Int("Type", &st.pskType);
      p.Double("Rotation [deg]", &st.pskRotation);
      ReadGains(p);
      p.Double("Phase Ofs [deg]", &st.pskOffset);
      p.Double("Angle [deg]", &st.qpskAngle);
      if (!p.ok) return ModulationFail("*** Invalid QPSK modulation parameter.");
      RaiseGains();
      return 1;
    case MOD_MSK: {
      double rate = 0.0;
      p.Double("Symbol Rate [kHz]", &rate);
      if (!p.ok) return ModulationFail("*** Invalid MSK modulation parameter.");
      if (rate < kMinMskRateKhz) rate = kMinMskRateKhz;
      st.mskRate = rate * 1000.0;
      st.mskStep = 0.0;
      st.mskTarget = 0.0;
      st.mskAccumulated = 0.0;
      return 1;
    }
    case MOD_8PSK:
      p.Int("Type", &st.pskType);
      // The default value is the item's text "8PSK", whose leading digit
      // would read as item 8 and switch the modulation off; it means item 0.
      if (p.ok && StoredTextIs(pulseIndex, "Type", "8PSK")) st.pskType = 0;
      p.Double("Rotation [deg]", &st.pskRotation);
      ReadGains(p);
      p.Double("Phase Ofs [deg]", &st.pskOffset);
      if (!p.ok) return ModulationFail("*** Invalid 8PSK modulation parameter.");
      RaiseGains();
      return 1;
    default:
      return 1;
  }
}

namespace {

int BpskRule(const ModulationSample& x, double* amplitude, double* phase) {
  Bpsk(x, amplitude, phase);
  return 1;
}
int QpskRule(const ModulationSample& x, double* amplitude, double* phase) {
  Qpsk(x, amplitude, phase);
  return 1;
}
int MskRule(const ModulationSample& x, double* amplitude, double* phase) {
  Msk(x, amplitude, phase);
  return 1;
}
int Psk8Rule(const ModulationSample& x, double* amplitude, double* phase) {
  Psk8(x, amplitude, phase);
  return 1;
}

}  // namespace

ModulationSampleFn ModulationPskRule(int code) {
  switch (code) {
    case MOD_BARKER: return BpskRule;
    case MOD_POLYPHASE: return Polyphase;
    case MOD_QPSK: return QpskRule;
    case MOD_MSK: return MskRule;
    case MOD_8PSK: return Psk8Rule;
    default: return nullptr;
  }
}
