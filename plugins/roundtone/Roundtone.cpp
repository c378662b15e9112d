// Roundtone: an FM chirp across the whole pulse, steep at both ends and slow
// in the middle, plus a linear part, limited to +/-Fmax.
//
// With v running from -1 at the first sample to +1 at the last:
//   f(v) = Bc*v / (2*sqrt(1 - v^2)) + Bl*v/2      [MHz], |f| <= Fmax
// Bc is the sweep of the line through v = 0 with the curve's slope there, Bl
// the sweep of the linear part. The amplitude stays 1; there are no markers.
// The texts fill the host's whole buffer, the rest with NULs.
#include <cmath>
#include <cstring>

#include "ModSkel.h"

namespace {

// 2*pi * 1e6: MHz to radians per second.
constexpr double kTwoPiMega = 6283185.307179586;

const char kComment[] =
    "This plugin creates a Roundtone shaped FM chirp.   \n"
    "Parameters:                                         \n"
    "  Fmax [MHz]     maximum frequency deviation        \n"
    "  Bc   [MHz]     total sweep, line with slope @ x=0 \n"
    "  Bl   [MHz]     total sweep, linear component      \n";

const char kErrPulseLength[] = "Invalid pulse length. Use a pulse of at least 1 sample.";

enum { kRowBc, kRowBl, kRowFmax, kRowCount };

const ModSkelConfRow kRows[kRowCount] = {
    {"Bc [MHz]", 1.8, 0.1, 100.0},
    {"Bl [MHz]", 5.5, 0.1, 100.0},
    {"Fmax [MHz]", 10.0, 0.1, 100.0},
};

// Ranges a value is kept in; Fmax = 0 is kept (an unmodulated pulse) although
// the row offers 0.1 as its minimum. Everything else becomes 0.1 MHz.
struct RowRule {
  double lo;
  double hi;
};
const RowRule kRules[kRowCount] = {{0.1, 100.0}, {0.1, 100.0}, {0.0, 100.0}};
constexpr double kFallback = 0.1;

ModSkelError g_error;
ModSkelTiming g_timing;

// Bc, Bl, Fmax in MHz.
double g_conf[kRowCount];

}  // namespace

extern "C" {

int mod_type(char* text) { return ModSkel_CopyTextPadded(text, CZ_TYPE_MODULATION, CZ_MOD_TEXT_SIZE); }
int mod_ver(char* text) { return ModSkel_CopyTextPadded(text, "1.0.0", CZ_MOD_TEXT_SIZE); }
int mod_name(char* text) { return ModSkel_CopyTextPadded(text, "Roundtone", CZ_MOD_TEXT_SIZE); }
int mod_author(char* text) { return ModSkel_CopyTextPadded(text, "Torvane", CZ_MOD_TEXT_SIZE); }
int mod_comment(char* text) { return ModSkel_CopyTextPadded(text, kComment, CZ_MOD_COMMENT_SIZE); }

void mod_error(char* text) { ModSkel_TakeError(&g_error, text, 1); }

int mod_init(void) {
  ModSkel_ClearError(&g_error);
  g_conf[kRowBc] = 1.8;
  g_conf[kRowBl] = 5.5;
  g_conf[kRowFmax] = 10.0;
  return 1;
}

int mod_setparam(const char* key, void* value) { return ModSkel_SetTiming(&g_timing, key, value); }

int mod_getconf(int row, char* type, char* label, void* dflt, void* min, void* max) {
  return ModSkel_GetConf(kRows, kRowCount, row, type, label, dflt, min, max);
}

// 1 when the value was kept, 0 when it was replaced (NaN included) or the
// row is unknown.
int mod_setconf(int row, void* value) {
  if (row < 0 || row >= kRowCount || value == nullptr) return 0;
  double v;
  std::memcpy(&v, value, sizeof v);
  if (v >= kRules[row].lo && v <= kRules[row].hi) {
    g_conf[row] = v;
    return 1;
  }
  g_conf[row] = kFallback;
  return 0;
}

int mod_engine(double* amp, double* phase, int i) {
  if (amp == nullptr || phase == nullptr) {
    ModSkel_SetError(&g_error, kModSkelErrArgument);
    return 0;
  }
  const int n = g_timing.trise + g_timing.ton + g_timing.tfall;
  // v = 2i/N - 1 and the phase step f/srate need N > 0 and srate > 0.
  if (!(g_timing.srate > 0.0)) {
    ModSkel_SetError(&g_error, kModSkelErrSampleRate);
    return 0;
  }
  if (n <= 0) {
    ModSkel_SetError(&g_error, kErrPulseLength);
    return 0;
  }
  const double bc = g_conf[kRowBc];
  const double bl = g_conf[kRowBl];
  const double fmax = g_conf[kRowFmax];

  *amp = 1.0;
  const double v = 2.0 * i / n - 1.0;
  double f;
  if (v <= -1.0) {
    f = -fmax;
  } else if (v >= 1.0) {
    f = fmax;
  } else {
    f = bc * v / (2.0 * std::sqrt(1.0 - v * v)) + bl * v / 2.0;
    if (f > fmax) f = fmax;
    if (f < -fmax) f = -fmax;
  }
  *phase += f * kTwoPiMega / g_timing.srate;
  return 1;
}

}  // extern "C"
