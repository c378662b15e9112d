// Reading back a waveform file and the temporary sample files in tests:
// the tag header, the int16 I/Q block, and the float/marker temporary data.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace cz::test {

struct ParsedWave {
  bool ok = false;
  std::string header;      // every byte before the data block's '#', "{WAVEFORM-n: #" included
  std::string dateTag;     // "{DATE:...}" as written
  std::vector<int16_t> i;  // samples of the block
  std::vector<int16_t> q;
  std::size_t dataBytes = 0;
  bool closed = false;     // "}" right behind the data and nothing after it
};

// The value of tag name ("{name:value}") in a header, or "" when absent.
inline std::string WaveTag(const std::string& header, const std::string& name) {
  const std::string open = "{" + name + ":";
  const auto at = header.find(open);
  if (at == std::string::npos) return std::string();
  const auto end = header.find('}', at);
  return end == std::string::npos ? std::string() : header.substr(at + open.size(), end - at - open.size());
}

inline ParsedWave ParseWaveFile(const std::string& path) {
  ParsedWave w;
  const std::string bytes = ReadFileBytes(path);
  const auto block = bytes.find("{WAVEFORM-");
  if (block == std::string::npos) return w;
  const auto hash = bytes.find('#', block);
  if (hash == std::string::npos) return w;
  w.header = bytes.substr(0, hash + 1);
  const long declared = std::strtol(bytes.c_str() + block + 10, nullptr, 10);
  if (declared < 1) return w;
  w.dataBytes = static_cast<std::size_t>(declared - 1);
  if (hash + 1 + w.dataBytes + 1 > bytes.size()) return w;
  const std::size_t n = w.dataBytes / 4;
  w.i.resize(n);
  w.q.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    std::memcpy(&w.i[k], bytes.data() + hash + 1 + 4 * k, 2);
    std::memcpy(&w.q[k], bytes.data() + hash + 3 + 4 * k, 2);
  }
  w.closed = bytes.size() == hash + 2 + w.dataBytes && bytes.back() == '}';
  const auto date = bytes.find("{DATE:");
  if (date != std::string::npos) w.dateTag = bytes.substr(date, bytes.find('}', date) - date + 1);
  w.ok = true;
  return w;
}

// The float32 I/Q pairs of a temporary I/Q file ("IQF" + pairs); empty when
// the tag is wrong.
inline std::vector<float> ReadTempIq(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  if (bytes.size() < 3 || bytes.compare(0, 3, "IQF") != 0) return {};
  std::vector<float> v((bytes.size() - 3) / 4);
  std::memcpy(v.data(), bytes.data() + 3, v.size() * 4);
  return v;
}

inline std::vector<uint8_t> ReadTempMarkers(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace cz::test
