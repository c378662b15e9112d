// Amplitude modulations: VSB8 and VSB16 level sets, ASK with normal or
// position coding, and AM with its single and double sideband forms.
#include <cmath>

#include "app/Keywords.h"
#include "engine/Modulation.h"
#include "engine/ModulationTypes.h"
#include "engine/SignalMath.h"

namespace {

constexpr double kTwoPi = 2.0 * PiConstant;

// VSB amplitude constants, used exactly as written (four significant
// decimals): levels +7 .. -7 in sevenths (VSB8) and +15 .. -15 in fifteenths
// (VSB16), as magnitudes times sqrt(2) on the diagonal.
constexpr double kVsbScale = 1.4142;
constexpr double kVsb8[8] = {1.4142, 1.0102, 0.6061, 0.2021, 0.2021, 0.6061, 1.0102, 1.4142};
constexpr double kVsb16[16] = {1.4142, 1.2257, 1.037,  0.8485, 0.66,   0.4713, 0.2828, 0.0943,
                               0.0943, 0.2828, 0.4713, 0.66,   0.8485, 1.037,  1.2257, 1.4142};

inline bool Bit(int k) { return ModulationBitStream[k] == '1'; }

// Symbol value of bits b(k) .. b(k + count - 1), most significant first.
inline int SymbolValue(int k, int count) {
  int v = 0;
  for (int j = 0; j < count; ++j) v = (v << 1) | (Bit(k + j) ? 1 : 0);
  return v;
}

void Vsb(const ModulationSample& x, int bits, const double* levels, double* amplitude, double* phase) {
  const int v = SymbolValue(bits * x.s, bits);
  const int half = 1 << (bits - 1);
  *phase = v < half ? PiConstant / 4.0 : -3.0 * PiConstant / 4.0;
  *amplitude = levels[v] / kVsbScale;
}

void Ask(const ModulationSample& x, double* amplitude, double* phase) {
  const ModulationState& st = ModState;
  const bool one = Bit(x.s) != (st.askInvert != 0);
  const double low = 1.0 - st.askDepth / 100.0;
  *phase = 0.0;
  bool high = one;
  if (st.askCoding == 1) {
    // position coding: a '1' is high in its first half, a '0' in its second
    const double u = ModulationSymbolPosition(x.n, x.s);
    if (u > 0.5) high = !one;
  }
  *amplitude = high ? 1.0 : low;
}

void Am(const ModulationSample& x, double* amplitude, double* phase) {
  const ModulationState& st = ModState;
  const double m = st.amDepth / 100.0;
  const double theta = kTwoPi * (st.amFreq * 1000.0 / x.r) * x.n;
  double i, q;
  switch (st.amType) {
    case 0:
      *amplitude = 0.5 + 0.5 * m * std::sin(theta);
      *phase = PiConstant / 2.0;
      return;
    // I + jQ: a positive frequency lies above the carrier, so the lower
    // sideband turns clockwise (Q = I advanced by a quarter turn), the upper
    // one anticlockwise.
    case 1:
      i = 0.5 + 0.5 * m * std::sin(theta);
      q = 0.5 + 0.5 * m * std::sin(theta + PiConstant / 2.0);
      break;
    case 2:
      i = 0.5 + 0.5 * m * std::sin(theta);
      q = 0.5 + 0.5 * m * std::sin(theta - PiConstant / 2.0);
      break;
    case 3:
      i = 0.0;
      q = (0.5 + 0.5 * m * std::sin(theta - PiConstant / 2.0)) -
          (0.5 + 0.5 * m * std::sin(theta + PiConstant / 2.0));
      break;
    default:
      return;
  }
  IqToMagPhase(&i, &q, 1, amplitude, phase);
}

}  // namespace

int ModulationReadAmParams(int pulseIndex, int code) {
  ModulationState& st = ModState;
  ModulationParamReader p{pulseIndex};
  switch (code) {
    case MOD_ASK:
      p.Double("Depth [%]", &st.askDepth);
      p.Int("Coding", &st.askCoding);
      if (!p.ok) return ModulationFail("*** Invalid ASK modulation parameter.");
      // Pulses stored without the row are not inverted.
      if (!GetModParamInt(pulseIndex, "Invert", &st.askInvert)) st.askInvert = 0;
      return 1;
    case MOD_AM: {
      double type = 0.0;
      p.Double("Mod Freq [kHz]", &st.amFreq);
      p.Double("Depth [%]", &st.amDepth);
      p.Double("AM Type", &type);
      if (!p.ok) return ModulationFail("*** Invalid AM modulation parameter.");
      // Read as a number and truncated; values beyond the int range match no
      // AM type either.
      const double t = std::trunc(type);
      st.amType = (t >= -1.0 && t <= 4.0) ? static_cast<int32_t>(t) : -1;
      return 1;
    }
    default:
      return 1;
  }
}

namespace {

int Vsb8Rule(const ModulationSample& x, double* amplitude, double* phase) {
  Vsb(x, 3, kVsb8, amplitude, phase);
  return 1;
}
int Vsb16Rule(const ModulationSample& x, double* amplitude, double* phase) {
  Vsb(x, 4, kVsb16, amplitude, phase);
  return 1;
}
int AskRule(const ModulationSample& x, double* amplitude, double* phase) {
  Ask(x, amplitude, phase);
  return 1;
}
int AmRule(const ModulationSample& x, double* amplitude, double* phase) {
  Am(x, amplitude, phase);
  return 1;
}

}  // namespace

ModulationSampleFn ModulationAmRule(int code) {
  switch (code) {
    case MOD_VSB: return Vsb8Rule;
    case MOD_VSB16: return Vsb16Rule;
    case MOD_ASK: return AskRule;
    case MOD_AM: return AmRule;
    default: return nullptr;
  }
}
