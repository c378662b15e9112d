// Large files for the tests that measure how the window keeps up with long
// commands: written in 1 MiB pieces, so that a file of hundreds of
// megabytes never needs its size in memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cz::test {

// A waveform file of `samples` I/Q pairs (4 bytes each) at 100 MHz whose
// header the tag reader takes ("{TYPE: ...}{CLOCK: ...}{SAMPLES: ...}" and
// the data block); the samples are a repeating ramp. False when it cannot
// be written whole.
inline bool WriteLargeWaveFile(const std::string& path, std::int64_t samples) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::int64_t bytes = samples * 4;
  const std::string header = "{TYPE: Kaldra-WV,0}{CLOCK: 100000000}{SAMPLES: " + std::to_string(samples) +
                             "}{WAVEFORM-" + std::to_string(bytes + 1) + ": #";
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  std::vector<unsigned char> piece(1 << 20);
  for (std::size_t k = 0; k < piece.size(); ++k) piece[k] = static_cast<unsigned char>(k * 13 + k / 4096);
  for (std::int64_t left = bytes; ok && left > 0;) {
    const std::size_t n = left < static_cast<std::int64_t>(piece.size()) ? static_cast<std::size_t>(left) : piece.size();
    ok = std::fwrite(piece.data(), 1, n, f) == n;
    left -= static_cast<std::int64_t>(n);
  }
  ok = ok && std::fputc('}', f) != EOF;
  return std::fclose(f) == 0 && ok;
}

// A text file of `points` lines "I Q" (a slow spiral inside the unit
// circle, six decimals), as an I/Q envelope is imported from.
inline bool WriteIqTextFile(const std::string& path, int points) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = true;
  for (int k = 0; ok && k < points; ++k) {
    const double r = 0.25 + 0.5 * k / points, phase = 0.001 * k;
    ok = std::fprintf(f, "%.6f %.6f\n", r * std::cos(phase), r * std::sin(phase)) > 0;
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace cz::test
