#include "platform/CLocale.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace cz {

namespace {
locale_t CLocaleHandle() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}
}  // namespace

void UseCLocaleForNumbers() { std::setlocale(LC_NUMERIC, "C"); }

CLocaleScope::CLocaleScope() : previous_(uselocale(CLocaleHandle())) {}
CLocaleScope::~CLocaleScope() { uselocale(static_cast<locale_t>(previous_)); }

int VsnprintfC(char* buf, std::size_t size, const char* fmt, va_list ap) {
  CLocaleScope scope;
  return std::vsnprintf(buf, size, fmt, ap);
}

int SnprintfC(char* buf, std::size_t size, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = VsnprintfC(buf, size, fmt, ap);
  va_end(ap);
  return n;
}

std::string FormatC(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list copy;
  va_copy(copy, ap);
  char small[256];
  int n = VsnprintfC(small, sizeof small, fmt, ap);
  va_end(ap);
  std::string out;
  if (n < 0) {
    va_end(copy);
    return out;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(n));
  } else {
    out.resize(static_cast<std::size_t>(n) + 1);
    VsnprintfC(out.data(), out.size(), fmt, copy);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(copy);
  return out;
}

std::string ExactRealC(double value) {
  std::string fixed = FormatC("%f", value);
  if (!std::isfinite(value) || StrtodC(fixed.c_str(), nullptr) == value) return fixed;
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

std::string FixedRealC(double value, int minDigits) {
  for (int digits = minDigits < 0 ? 0 : minDigits; digits <= 15; ++digits) {
    std::string text = FormatC("%.*f", digits, value);
    if (StrtodC(text.c_str(), nullptr) == value) return text;
  }
  return ShortestRealC(value);
}

std::string ShortestRealC(double value) {
  if (!std::isfinite(value)) return FormatC("%g", value);
  // std::to_chars prints what "%.*g" prints in the C locale, without the
  // locale switch.
  char buf[64];
  std::string text;
  for (int digits = 15; digits <= 17; ++digits) {
    text.assign(buf, std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits).ptr);
    double back = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    if (ec == std::errc() && end == text.data() + text.size() && back == value) break;
  }
  return text;
}

std::string FormatRealExactC(const char* fmt, double value) {
  std::string text = FormatC(fmt, value);
  char* end = nullptr;
  const double back = StrtodC(text.c_str(), &end);
  if (!std::isfinite(value) || (back == value && end != text.c_str())) return text;
  return ShortestRealC(value);
}

double StrtodC(const char* text, char** end) { return strtod_l(text, end, CLocaleHandle()); }
long StrtolC(const char* text, char** end, int base) { return strtol_l(text, end, base, CLocaleHandle()); }

int SscanfC(const char* text, const char* fmt, ...) {
  CLocaleScope scope;
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsscanf(text, fmt, ap);
  va_end(ap);
  return n;
}

}  // namespace cz
