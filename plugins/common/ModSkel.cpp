#include "ModSkel.h"

#include <cmath>
#include <cstring>

const char kModSkelErrSampleRate[] = "Invalid sample rate. Use a sample rate above 0.";
const char kModSkelErrArgument[] = "Invalid engine argument (null pointer).";

int ModSkel_CopyText(char* dst, const char* src, std::size_t bound) {
  if (dst == nullptr || bound == 0) return 0;
  if (src == nullptr) src = "";
  std::size_t n = std::strlen(src);
  if (n > bound - 1) n = bound - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  return 1;
}

int ModSkel_CopyTextPadded(char* dst, const char* src, std::size_t size) {
  if (dst == nullptr || size == 0) return 0;
  if (src == nullptr) src = "";
  std::size_t n = std::strlen(src);
  if (n > size - 1) n = size - 1;
  std::memcpy(dst, src, n);
  std::memset(dst + n, 0, size - n);
  return 1;
}

void ModSkel_ClearError(ModSkelError* err) { err->text[0] = '\0'; }

void ModSkel_SetError(ModSkelError* err, const char* text) {
  ModSkel_CopyText(err->text, text, sizeof err->text);
}

void ModSkel_TakeError(ModSkelError* err, char* out, int padded) {
  if (padded)
    ModSkel_CopyTextPadded(out, err->text, CZ_MOD_ERROR_SIZE);
  else
    ModSkel_CopyText(out, err->text, kModSkelTextBound);
  err->text[0] = '\0';
}

int ModSkel_SetTiming(ModSkelTiming* timing, const char* key, const void* value) {
  if (key == nullptr || value == nullptr) return 0;
  if (std::strcmp(key, CZ_KEY_TRISE) == 0) {
    std::memcpy(&timing->trise, value, sizeof(int));
  } else if (std::strcmp(key, CZ_KEY_TON) == 0) {
    std::memcpy(&timing->ton, value, sizeof(int));
  } else if (std::strcmp(key, CZ_KEY_TFALL) == 0) {
    std::memcpy(&timing->tfall, value, sizeof(int));
  } else if (std::strcmp(key, CZ_KEY_SRATE) == 0) {
    std::memcpy(&timing->srate, value, sizeof(double));
  } else {
    return 0;
  }
  return 1;
}

int ModSkel_StoreBits(ModSkelBitText* bits, const char* text) {
  if (text == nullptr) text = "";
  // strnlen stops at the buffer's capacity, so an unterminated or longer
  // text is never read past what can be kept.
  std::size_t n = strnlen(text, sizeof bits->text);
  const int whole = n < sizeof bits->text;
  if (!whole) n = sizeof bits->text - 1;
  std::memcpy(bits->text, text, n);
  bits->text[n] = '\0';
  return whole;
}

int ModSkel_ParseBits(const char* text, unsigned char* out, int max_bits) {
  int count = 0;
  for (const char* p = text; *p != '\0' && count < max_bits; ++p) {
    if (*p == '1')
      out[count++] = 1;
    else if (*p == '0')
      out[count++] = 0;
  }
  return count;
}

int ModSkel_GetConf(const ModSkelConfRow* rows, int count, int row, char* type, char* label,
                    void* dflt, void* min, void* max) {
  if (row < 0 || row >= count) return 0;
  if (type == nullptr || label == nullptr || dflt == nullptr || min == nullptr || max == nullptr)
    return 0;
  const ModSkelConfRow& r = rows[row];
  ModSkel_CopyText(type, CZ_CONF_DBL, kModSkelConfTextBound);
  ModSkel_CopyText(label, r.label, kModSkelConfTextBound);
  // The value buffers are bytes of the host; memcpy needs no alignment.
  std::memcpy(dflt, &r.dflt, sizeof(double));
  std::memcpy(min, &r.min, sizeof(double));
  std::memcpy(max, &r.max, sizeof(double));
  return 1;
}

ModSkelHalfMicro ModSkel_HalfMicroCell(int sample, double srate) {
  constexpr long long kCellsPerSecond = 2000000;  // 0.5 us cells
  ModSkelHalfMicro pos{0, 0};
  if (srate >= 1.0 && srate < 4.0e12 && std::floor(srate) == srate) {
    const long long rate = static_cast<long long>(srate);
    const long long num = static_cast<long long>(sample) * kCellsPerSecond;  // |num| < 2^53
    long long cell = num / rate;
    long long rem = num % rate;
    if (rem < 0) {  // floor for negative samples
      --cell;
      rem += rate;
    }
    pos.cell = cell;
    pos.on_edge = rem == 0;
    return pos;
  }
  const double cells = static_cast<double>(sample) * static_cast<double>(kCellsPerSecond) / srate;
  const double tolerance = 1e-6 * static_cast<double>(kCellsPerSecond) / srate;
  if (!(std::fabs(cells) < 1e18)) {  // far outside any burst
    pos.cell = cells < 0 ? -1 : (1LL << 60);
    return pos;
  }
  const double cell = std::floor(cells + tolerance);
  pos.cell = static_cast<long long>(cell);
  pos.on_edge = std::fabs(cells - cell) <= tolerance;
  return pos;
}
