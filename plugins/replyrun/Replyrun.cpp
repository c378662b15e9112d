// Replyrun: a pulse-position-modulated reply of 56 or 112 data bits.
//
// Reply layout (seconds from the start of the pulse):
//   preamble  [0, 0.5 us] [1.0, 1.5 us] [3.5, 4.0 us] [4.5, 5.0 us], both
//   ends included
//   data bit i (0..n-1) in [8 us + i us, 9 us + i us): a 0.5 us pulse in the
//   first half of the period for a 1, in the second half for a 0
//   end of reply at 8 us + n us.
// Marker 1 flags the first preamble pulse, marker 2 the first half of the
// first data bit. The amplitude is 0 or 1, the phase is held at 0.
#include <cstring>

#include "ModSkel.h"

namespace {

constexpr int kMaxBits = kModSkelMaxBits;
constexpr int kShortReply = 56;

constexpr double kDataStart = 8e-6;
constexpr double kBitPeriod = 1e-6;

// Half-microsecond cells: the first cell of each preamble pulse, and of the
// first data bit (8 us).
constexpr long long kPreambleCell[4] = {0, 2, 7, 9};
constexpr long long kDataCell = 16;

const char kComment[] =
    "This plugin creates a Replyrun pulse train.  \n"
    "Parameters:                                         \n"
    "  none  \n";

const char kErrBits[] = "Invalid number of bits. Use 56 or 112.";
const char kErrEdges[] = "Use zero rise and fall time with this plugin.";
const char kErrOnTime[] = "Minimum on-time too short.";

ModSkelError g_error;
ModSkelTiming g_timing;
ModSkelBitText g_bit_text;
unsigned char g_bits[kMaxBits];
int g_bit_count = 0;
int g_bits_parsed = 0;

// Parses "mbits" and checks the pulse, once per repetition. The first
// failing check leaves its text; returns 1 when the reply can be produced.
int PrepareReply() {
  const int n = ModSkel_ParseBits(g_bit_text.text, g_bits, kMaxBits);
  if (n != kShortReply && n != kMaxBits) {
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
  if (static_cast<double>(g_timing.ton) / g_timing.srate < n * kBitPeriod + kDataStart) {
    ModSkel_SetError(&g_error, kErrOnTime);
    return 0;
  }
  g_bit_count = n;
  g_bits_parsed = 1;
  return 1;
}

}  // namespace

extern "C" {

int mod_type(char* text) { return ModSkel_CopyText(text, CZ_TYPE_MODULATION, kModSkelTextBound); }
int mod_ver(char* text) { return ModSkel_CopyText(text, "1.1.0", kModSkelTextBound); }
int mod_name(char* text) { return ModSkel_CopyText(text, "Replyrun", kModSkelTextBound); }
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

// No configuration rows: both entry points answer "no row" and change nothing.
int mod_getconf(int, char*, char*, void*, void*, void*) { return 0; }
int mod_setconf(int, void*) { return 0; }

int mod_engine_2(unsigned char* marker, double* amp, double* phase, int sample) {
  if (marker == nullptr || amp == nullptr || phase == nullptr) {
    ModSkel_SetError(&g_error, kModSkelErrArgument);
    return 0;
  }
  if (!g_bits_parsed && !PrepareReply()) return 0;
  // Only a "srate" sent without the closing "done" can get here unchecked.
  if (!(g_timing.srate > 0.0)) {
    ModSkel_SetError(&g_error, kModSkelErrSampleRate);
    return 0;
  }

  *phase = 0.0;
  *marker = 0;
  // Every edge of the reply lies on the half-microsecond grid: the preamble
  // pulses span cells [0, 1], [2, 3], [7, 8], [9, 10] with both ends
  // included (the end only when the sample falls exactly on it); bit i
  // takes cells 16 + 2i (first half) and 17 + 2i.
  const ModSkelHalfMicro pos = ModSkel_HalfMicroCell(sample, g_timing.srate);
  for (int k = 0; k < 4; ++k) {
    if (pos.cell == kPreambleCell[k] || (pos.cell == kPreambleCell[k] + 1 && pos.on_edge)) {
      *amp = 1.0;
      if (k == 0) *marker = 1;
      return 1;
    }
  }
  *amp = 0.0;
  if (pos.cell < kDataCell || pos.cell >= kDataCell + 2LL * g_bit_count) return 1;  // before or behind the bits

  const int i = static_cast<int>((pos.cell - kDataCell) / 2);
  const int first_half = (pos.cell - kDataCell) % 2 == 0;
  if (i == 0 && first_half) *marker = 2;
  if ((g_bits[i] == 1 && first_half) || (g_bits[i] == 0 && !first_half)) *amp = 1.0;
  return 1;
}

}  // extern "C"
