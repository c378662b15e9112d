// ComputeModulation: the frame every intra-pulse modulation shares. The first
// sample of a repetition builds the bit stream, reads the type's parameters,
// sets up the symbol timing and configures a plug-in; every sample then
// finds its symbol and runs the type's rule. The block form hands the
// samples after the first to the type's block rule where it has one.
#include <cmath>
#include <cstring>

#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "engine/Modulation.h"
#include "engine/ModulationTypes.h"
#include "platform/CLocale.h"

ModulationState ModState;

void ModulationParamReader::Double(const char* label, double* out) {
  if (ok && !GetModParamDouble(pulse, label, out)) ok = false;
}

void ModulationParamReader::Int(const char* label, int32_t* out) {
  int v = 0;
  if (ok && !GetModParamInt(pulse, label, &v)) ok = false;
  if (ok) *out = v;
}

int ModulationFail(const char* message) {
  Log_Message(1, message);
  return 0;
}

namespace {

// Prepares the symbol timing: bits per symbol from the type table, then the
// symbol count and samples per symbol for the types that cut the bits into
// symbols.
int SetUpSymbols(int code, int R, int N, int F) {
  ModulationState& st = ModState;
  const ModulationTypeInfo* type = FindModulationType(code);
  st.bitsPerSymbol = type != nullptr ? type->bitsPerSymbol : 0;
  st.symbolCount = 0;
  st.samplesPerSymbol = 0.0;
  st.symbolSpan = 0;
  if (st.bitsPerSymbol == 0) return 1;

  Log_Message(1, "Using intra pulse modulation.");
  if (ModulationBitCount == 0) {
    Log_Message(1, "*** No data bits provided.");
    return 0;
  }
  st.symbolCount = ModulationBitCount / st.bitsPerSymbol;
  Log_Message(1, cz::FormatC("  Data bits: %d, Bits/Symbol: %d", ModulationBitCount,
                             st.bitsPerSymbol).c_str());
  if (st.symbolCount == 0) {
    Log_Message(1, "*** Not enough data bits provided for one single symbol.");
    return 0;
  }
  st.samplesPerSymbol = static_cast<double>(R + N + F) / st.symbolCount;
  st.symbolSpan = static_cast<int64_t>(R) + N + F;
  return 1;
}

// Finds the plug-in of the pulse and hands it the repetition: the nine
// mod_setparam keys, then its configuration rows overlaid with the values
// stored in the pulse.
int SetUpPlugin(int pulseIndex, const PulseRecord& pulse, int R, int N, int F, double r) {
  ModulationState& st = ModState;
  st.module = -1;
  st.engine = nullptr;
  st.engine2 = nullptr;
  st.error = nullptr;
  int module = FindModuleByName(pulse.pluginName.c_str());
  // A module without an engine (a report or filter module of that name)
  // cannot serve a pulse either.
  if (module < 0 || (ModuleTable[module].Engine == nullptr && ModuleTable[module].Engine2 == nullptr)) {
    Log_Message(1, "*** No matching external module found.");
    return 0;
  }
  const ModuleEntry& m = ModuleTable[module];
  st.module = module;

  // Copies, so that a plug-in writing through a pointer cannot reach the
  // caller's counts or the pulse record.
  int rise = R, on = N, fall = F;
  double rate = r, levOn = pulse.attOn, levOff = pulse.attOff, levDroop = pulse.droop;
  if (m.SetParam != nullptr) {
    m.SetParam(CZ_KEY_TRISE, &rise);
    m.SetParam(CZ_KEY_TON, &on);
    m.SetParam(CZ_KEY_TFALL, &fall);
    m.SetParam(CZ_KEY_SRATE, &rate);
    m.SetParam(CZ_KEY_LEVON, &levOn);
    m.SetParam(CZ_KEY_LEVOFF, &levOff);
    m.SetParam(CZ_KEY_LEVDROOP, &levDroop);
    m.SetParam(CZ_KEY_MBITS, ModulationBitStream);
    m.SetParam(CZ_KEY_DONE, nullptr);
  }
  if (!QueryPluginParams(module, pulseIndex)) {
    Log_Message(1, "*** Cannot read configuration from plugin.");
    return 0;
  }
  if (!LoadPulseModParams(pulseIndex)) {
    Log_Message(1, "*** Cannot set pulse parameters.");
    return 0;
  }
  if (!PushPluginParams(module)) {
    Log_Message(1, "*** Cannot initialize plugin parameters.");
    return 0;
  }
  st.engine2 = m.Engine2;
  st.engine = m.Engine2 != nullptr ? nullptr : m.Engine;
  st.error = m.Error;
  return 1;
}

int FirstSample(int pulseIndex, const PulseRecord& pulse, int R, int N, int F, double r,
                double chirpWidth) {
  ModulationState& st = ModState;
  st.code = pulse.modulation;
  st.rule = nullptr;
  st.blockRule = nullptr;
  st.module = -1;
  st.engine = nullptr;
  st.engine2 = nullptr;
  if (!BuildModulationBitStream(pulse)) return 0;
  if (!ModulationReadFmParams(pulseIndex, st.code, chirpWidth)) return 0;
  if (!ModulationReadPskParams(pulseIndex, st.code)) return 0;
  if (!ModulationReadAmParams(pulseIndex, st.code)) return 0;
  if (!SetUpSymbols(st.code, R, N, F)) return 0;
  // MSK runs on its own symbol rate rather than the pulse length.
  if (st.code == MOD_MSK) {
    st.samplesPerSymbol = r / st.mskRate;
    st.symbolSpan = 0;
  }
  st.previousSymbol = -1;
  st.rule = ModulationFmRule(st.code);
  if (st.rule == nullptr) st.rule = ModulationPskRule(st.code);
  if (st.rule == nullptr) st.rule = ModulationAmRule(st.code);
  st.blockRule = ModulationFmBlockRule(st.code);
  if (st.code == kModulationPluginCode) return SetUpPlugin(pulseIndex, pulse, R, N, F, r);
  return 1;
}

int PluginSample(int n, double* amplitude, double* phase, unsigned char* marker) {
  const ModulationState& st = ModState;
  int ok;
  if (st.engine2 != nullptr) {
    unsigned char scratch = 0;
    ok = st.engine2(marker != nullptr ? marker : &scratch, amplitude, phase, n);
  } else if (st.engine != nullptr) {
    ok = st.engine(amplitude, phase, n);
  } else {
    Log_Message(1, "*** No matching external module found.");
    return 0;
  }
  if (ok != 0) {
    // A value no sample can carry ends the pulse here, before it reaches the
    // samples, the peak or the file: the amplitude is a factor of at most
    // 1.0 in magnitude, the phase any finite angle.
    const bool ampOk = std::isfinite(*amplitude) && std::fabs(*amplitude) <= kPluginAmplitudeLimit;
    if (ampOk && std::isfinite(*phase)) return 1;
    const char* name = st.module >= 0 && st.module < ModuleCount ? ModuleTable[st.module].Name.c_str() : "?";
    Log_Message(1, cz::FormatC("*** Module '%s' returned an unusable %s (%.9g) at sample %d.", name,
                               ampOk ? "phase" : "amplitude", ampOk ? *phase : *amplitude, n)
                       .c_str());
    return 0;
  }
  char text[CZ_MOD_ERROR_SIZE] = {0};
  if (st.error != nullptr) st.error(text);
  text[sizeof text - 1] = '\0';
  Log_Message(2, "*** Module error: ", text);
  return 0;
}

}  // namespace

namespace {

// Quotient and remainder rounded toward minus infinity (b > 0).
inline int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0 && a < 0) ? 1 : 0); }

inline int ClampToInt(double v) {
  if (v < -1.0) return -1;
  if (v > 2147483647.0) return 2147483647;
  return static_cast<int>(v);
}

}  // namespace

int ModulationSymbolOf(int64_t n) {
  const ModulationState& st = ModState;
  if (st.symbolSpan > 0) {
    const int64_t s = FloorDiv(n * st.symbolCount, st.symbolSpan);
    return s < -1 ? -1 : static_cast<int>(s);  // n <= span, so s <= symbolCount
  }
  if (st.samplesPerSymbol == 0.0) return 0;
  return ClampToInt(std::trunc(static_cast<double>(n) / st.samplesPerSymbol));
}

double ModulationSymbolPosition(int64_t n, int s) {
  const ModulationState& st = ModState;
  if (st.symbolSpan > 0) {
    // (n - s * span / count) / (span / count), kept in integers until the end
    return static_cast<double>(n * st.symbolCount - static_cast<int64_t>(s) * st.symbolSpan) /
           static_cast<double>(st.symbolSpan);
  }
  const double S = st.samplesPerSymbol;
  if (S == 0.0) return 0.0;
  return (static_cast<double>(n) - s * S) / S;
}

int ComputeModulation(int pulseIndex, double* amplitude, double* phase, int n, int R, int N, int F,
                      double r, const PulseRecord& pulse, double chirpWidth, int firstSample,
                      unsigned char* marker) {
  if (firstSample && !FirstSample(pulseIndex, pulse, R, N, F, r, chirpWidth)) return 0;
  ModulationState& st = ModState;

  ModulationSample x{n, R, N, F, r, chirpWidth, 0, 0, firstSample};
  const double S = st.samplesPerSymbol;
  if (S != 0.0) {
    x.s = ModulationSymbolOf(n);
    if (x.s > st.symbolCount - 1) x.s = st.symbolCount - 1;
    if (x.s < 0) x.s = 0;
    // Only differential BPSK looks back; the others skip the division.
    if (st.code == MOD_BARKER) {
      x.sPrev = ModulationSymbolOf(static_cast<int64_t>(n) - 1);
      if (x.sPrev < 0) x.sPrev = 0;
    }
  }

  if (st.rule != nullptr) return st.rule(x, amplitude, phase);
  if (st.code == kModulationPluginCode) return PluginSample(n, amplitude, phase, marker);
  return 1;  // OFF and unknown codes leave amplitude and phase alone
}

int ComputeModulationBlock(int pulseIndex, double* amplitude, double* phase, double* phaseOut, int n0, int count,
                           int R, int N, int F, double r, const PulseRecord& pulse, double chirpWidth,
                           unsigned char* marker) {
  for (int k = 0; k < count; ++k) {
    const int n = n0 + k;
    // Block rules belong to types without symbols: s and sPrev stay 0.
    if (n > 0 && ModState.blockRule != nullptr) {
      const ModulationSample x{n, R, N, F, r, chirpWidth, 0, 0, 0};
      return ModState.blockRule(x, count - k, amplitude + k, phaseOut + k, phase);
    }
    // OFF and unknown codes leave amplitude and phase alone.
    if (n > 0 && ModState.rule == nullptr && ModState.code != kModulationPluginCode) {
      for (; k < count; ++k) phaseOut[k] = *phase;
      return 1;
    }
    if (!ComputeModulation(pulseIndex, amplitude + k, phase, n, R, N, F, r, pulse, chirpWidth, n == 0, marker + k))
      return 0;
    phaseOut[k] = *phase;
  }
  return 1;
}
