// Skywhisk: a pulse-position-modulated 112-bit squitter.
//
// Burst layout (seconds from the start of the pulse, each interval closed at
// its start and open at its end):
//   preamble  [0, 0.5 us) [1.0, 1.5 us) [3.5, 4.0 us) [4.5, 5.0 us)
//   data bit d (0..111) in [8 us + d us, 9 us + d us): a 0.5 us pulse in the
//   first half of the period for a 1, in the second half for a 0
//   end of burst at 120 us.
// Marker 1 flags the first preamble pulse, marker 2 the first data bit period.
// The amplitude is 0 or 1, the phase is held at 0.
#include <cstring>

#include "ModSkel.h"

namespace {

constexpr int kBits = kModSkelMaxBits;

// The first data bit starts at 8 us: half-microsecond cell 16.
constexpr long long kDataCell = 16;
constexpr double kMinOnTime = 120e-6;

const char kComment[] =
    "This plugin creates an Skywhisk pulse train.  \n"
    "Parameters:                                \n"
    "  none \n"
    "Data:                                      \n"
    "  112 bits \n";

const char kErrBits[] = "Invalid number of bits. Use 112.";
const char kErrEdges[] = "Use zero rise and fall time with this plugin.";
const char kErrOnTime[] = "Minimum on-time too short. Use 120us.";

ModSkelError g_error;
ModSkelTiming g_timing;
ModSkelBitText g_bit_text;
unsigned char g_bits[kBits];
int g_bits_parsed = 0;

// Parses "mbits" and checks the pulse once per repetition; the first failing
// check leaves its text. Returns 1 when the burst can be produced.
int PrepareBurst() {
  if (ModSkel_ParseBits(g_bit_text.text, g_bits, kBits) < kBits) {
    ModSkel_SetError(&g_error, kErrBits);
    return 0;
  }
  if (g_timing.trise != 0 || g_timing.tfall != 0) {
    ModSkel_SetError(&g_error, kErrEdges);
    return 0;
  }
  // Checked before the on time, which is measured in seconds through srate.
  if (!(g_timing.srate > 0.0)) {
    ModSkel_SetError(&g_error, kModSkelErrSampleRate);
    return 0;
  }
  if (static_cast<double>(g_timing.ton) / g_timing.srate < kMinOnTime) {
    ModSkel_SetError(&g_error, kErrOnTime);
    return 0;
  }
  g_bits_parsed = 1;
  return 1;
}

}  // namespace

extern "C" {

int mod_type(char* text) { return ModSkel_CopyText(text, CZ_TYPE_MODULATION, kModSkelTextBound); }
int mod_ver(char* text) { return ModSkel_CopyText(text, "1.0.0", kModSkelTextBound); }
int mod_name(char* text) { return ModSkel_CopyText(text, "Skywhisk", kModSkelTextBound); }
int mod_author(char* text) { return ModSkel_CopyText(text, "Torvane", kModSkelTextBound); }
int mod_comment(char* text) { return ModSkel_CopyText(text, kComment, kModSkelCommentBound); }

void mod_error(char* text) { ModSkel_TakeError(&g_error, text, 0); }

int mod_init(void) {
  ModSkel_ClearError(&g_error);
  ModSkel_StoreBits(&g_bit_text, "");
  g_bits_parsed = 0;
  return 1;
}

int mod_setparam(const char* key, void* value) {
  if (key == nullptr) return 0;
  if (ModSkel_SetTiming(&g_timing, key, value)) return 1;
  if (std::strcmp(key, CZ_KEY_MBITS) == 0) {
    ModSkel_StoreBits(&g_bit_text, static_cast<const char*>(value));
    return 1;
  }
  if (std::strcmp(key, CZ_KEY_DONE) == 0) {
    g_bits_parsed = 0;
    return 1;
  }
  return 0;
}

int mod_getconf(int, char*, char*, void*, void*, void*) { return 0; }
int mod_setconf(int, void*) { return 0; }

int mod_engine_2(unsigned char* marker, double* amp, double* phase, int sample) {
  if (marker == nullptr || amp == nullptr || phase == nullptr) {
    ModSkel_SetError(&g_error, kModSkelErrArgument);
    return 0;
  }
  *phase = 0.0;
  *marker = 0;
  *amp = 0.0;
  if (!g_bits_parsed && !PrepareBurst()) return 0;
  // Only a "srate" sent without the closing "done" can get here unchecked.
  if (!(g_timing.srate > 0.0)) {
    ModSkel_SetError(&g_error, kModSkelErrSampleRate);
    return 0;
  }

  // Every edge of the burst lies on the half-microsecond grid: preamble
  // cells 0, 2, 7, 9; bit d in cells 16 + 2d (first half) and 17 + 2d.
  const long long h = ModSkel_HalfMicroCell(sample, g_timing.srate).cell;
  if (h == 0) {
    *amp = 1.0;
    *marker = 1;
    return 1;
  }
  if (h == 2 || h == 7 || h == 9) {
    *amp = 1.0;
    return 1;
  }
  if (h < kDataCell || h >= kDataCell + 2 * kBits) return 1;
  const int d = static_cast<int>((h - kDataCell) / 2);
  if (d == 0) *marker = 2;
  const int first_half = (h - kDataCell) % 2 == 0;
  if ((g_bits[d] == 1 && first_half) || (g_bits[d] == 0 && !first_half)) *amp = 1.0;
  return 1;
}

}  // extern "C"
