// Numbers in texts: every text the program writes or parses (project file,
// settings, waveform tags, SCPI, reports) uses the C locale, whatever locale
// the user runs under. Qt sets the process locale from the environment, so
// the application calls UseCLocaleForNumbers() right after it creates its
// application object; the helpers below do not depend on that and switch the
// calling thread to the C locale for the duration of each call.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace cz {

// setlocale(LC_NUMERIC, "C") for the whole process.
void UseCLocaleForNumbers();

// snprintf / vsnprintf in the C locale. Same result as the C functions.
int SnprintfC(char* buf, std::size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int VsnprintfC(char* buf, std::size_t size, const char* fmt, va_list ap);
// Formatted into a std::string.
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A real as text that reads back exactly: "%f" where that is exact (so
// ordinary values keep their usual six decimals), otherwise the shortest
// text that round-trips ("2.5e-07").
std::string ExactRealC(double value);
// A real in fixed point with at least minDigits decimals and as many more
// (up to 15) as reading it back exactly needs ("0.00001", "300", "0.100"
// for 3); ShortestRealC for a value no fixed text of 15 decimals holds.
std::string FixedRealC(double value, int minDigits);
// The shortest of "%.15g", "%.16g" and "%.17g" that reads back as value
// ("0.1", "1.3333333333333333", "0.30000000000000004"); "inf" and "nan"
// as "%g" writes them.
std::string ShortestRealC(double value);
// fmt (one double conversion, "%8.6f") where its text reads back as value,
// otherwise ShortestRealC, so that a value is never written rounded.
std::string FormatRealExactC(const char* fmt, double value);

// strtod / strtol in the C locale.
double StrtodC(const char* text, char** end);
long StrtolC(const char* text, char** end, int base);

// sscanf in the C locale.
int SscanfC(const char* text, const char* fmt, ...) __attribute__((format(scanf, 2, 3)));

// RAII: the calling thread uses the C locale while the object lives.
class CLocaleScope {
 public:
  CLocaleScope();
  ~CLocaleScope();
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  void* previous_;
};

}  // namespace cz
