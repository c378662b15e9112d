// Bendsweep: a non-linear frequency chirp with square-root shaped edges.
//
//   f(t) = f0 + R*t + (Q/P)*t - (Q/P^2)*t^2
//
// P is the length of the chirp window, which opens on the rising edge where
// the envelope reaches V1 and closes on the falling edge where it falls to V2.
// With u = t/P the quadratic part is Q*u - Q*u^2: 0 at both ends of the window
// and Q/4 in its middle. All four markers are set on every sample.
#include <cmath>
#include <cstring>

#include "ModSkel.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

const char kComment[] =
    "This plugin creates a Bendsweep:            \n"
    "  f(t) = f0 + R*t + (Q/P)*t - (Q/P^2)*(t^2) \n"
    "Parameters:                                 \n"
    "  P    [s]      Pulse width                 \n"
    "  f0   [kHz]    Initial frequency offset  \t \n"
    "  R    [kHz/us] linear component            \n"
    "  Q    [MHz]    Maximum deviation           \n"
    "  V1   []       Start level for modulation  \n"
    "                 within rising edge 0...1   \n"
    "  V2   []       Stop level 0...1            \n";

// Rows as the user sees them (kHz, kHz/us, MHz, level 0..1).
enum { kRowF0, kRowRate, kRowDeviation, kRowStartLevel, kRowStopLevel, kRowCount };

const ModSkelConfRow kRows[kRowCount] = {
    {"f0 [kHz]", 100.0, -10000.0, 10000.0},
    {"R [kHz/us]", 500.0, 0.0, 1000.0},
    {"Q [MHz]", 2.5, 0.0, 300.0},
    {"V1 []", 0.5, 0.0, 1.0},
    {"V2 []", 0.5, 0.0, 1.0},
};

// The same rows in internal units: scale from the row's unit, the range a
// value must lie in, and what replaces a value outside it.
struct RowRule {
  double scale;
  double lo;
  double hi;
  double fallback;
};
const RowRule kRules[kRowCount] = {
    // f0 keeps the row's own limits, -10 MHz .. +10 MHz, so that a negative
    // start offset the row offers is used as given.
    {1e3, -1e7, 1e7, 1e5},
    {1e9, 0.0, 1e12, 5e11},
    {1e6, 0.0, 3e8, 2.5e6},
    {1.0, 0.0, 1.0, 0.5},
    {1.0, 0.0, 1.0, 0.5},
};

ModSkelError g_error;
ModSkelTiming g_timing;

// f0 [Hz], R [Hz/s], Q [Hz], V1, V2 [0..1].
double g_conf[kRowCount];

}  // namespace

extern "C" {

int mod_type(char* text) { return ModSkel_CopyText(text, CZ_TYPE_MODULATION, kModSkelTextBound); }
int mod_ver(char* text) { return ModSkel_CopyText(text, "1.0.0", kModSkelTextBound); }
int mod_name(char* text) { return ModSkel_CopyText(text, "Bendsweep", kModSkelTextBound); }
int mod_author(char* text) { return ModSkel_CopyText(text, "Torvane", kModSkelTextBound); }
int mod_comment(char* text) { return ModSkel_CopyText(text, kComment, kModSkelCommentBound); }

void mod_error(char* text) { ModSkel_TakeError(&g_error, text, 0); }

int mod_init(void) {
  ModSkel_ClearError(&g_error);
  for (double& v : g_conf) v = 0.0;
  return 1;
}

int mod_setparam(const char* key, void* value) { return ModSkel_SetTiming(&g_timing, key, value); }

int mod_getconf(int row, char* type, char* label, void* dflt, void* min, void* max) {
  return ModSkel_GetConf(kRows, kRowCount, row, type, label, dflt, min, max);
}

// Converts the row's value to its internal unit; a value outside the row's
// range (NaN included) is replaced. The result is always 0.
int mod_setconf(int row, void* value) {
  if (row < 0 || row >= kRowCount || value == nullptr) return 0;
  double shown;
  std::memcpy(&shown, value, sizeof shown);
  const RowRule& rule = kRules[row];
  const double v = shown * rule.scale;
  g_conf[row] = (v >= rule.lo && v <= rule.hi) ? v : rule.fallback;
  return 0;
}

int mod_engine_2(unsigned char* marker, double* amp, double* phase, int i) {
  if (marker == nullptr || amp == nullptr || phase == nullptr) {
    ModSkel_SetError(&g_error, kModSkelErrArgument);
    return 0;
  }
  const int trise = g_timing.trise;
  const int ton = g_timing.ton;
  const int tfall = g_timing.tfall;
  const double srate = g_timing.srate;
  const double f0 = g_conf[kRowF0];
  const double rate = g_conf[kRowRate];
  const double dev = g_conf[kRowDeviation];
  const double v1 = g_conf[kRowStartLevel];
  const double v2 = g_conf[kRowStopLevel];

  // On the square-root edges the envelope passes V1 at sample V1^2 * trise
  // and V2 at V2^2 * tfall before the end of the fall (truncated to samples).
  const int start = static_cast<int>(v1 * v1 * trise);
  const int end = trise + ton + tfall - static_cast<int>(v2 * v2 * tfall);

  if (!(srate > 0.0)) {
    ModSkel_SetError(&g_error, kModSkelErrSampleRate);
    return 0;
  }

  *amp = 1.0;
  if (trise > 0 && i >= 0 && i < trise) *amp = std::sqrt(static_cast<double>(i) / trise);
  if (tfall > 0 && i >= trise + ton && i < trise + ton + tfall)
    *amp = std::sqrt(1.0 - static_cast<double>(i - trise - ton) / tfall);

  if (i >= start && i < end) {
    const double u = static_cast<double>(i - start) / (end - start);
    const double t = (i - start) / srate;
    const double f = f0 + rate * t + dev * u - dev * (u * u);
    *phase += kTwoPi * f / srate;
  }
  *marker = 15;
  return 1;
}

}  // extern "C"
