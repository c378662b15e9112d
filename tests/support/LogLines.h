// The log's lines as a test sees them: install KeepLogLine with
// Log_SetLogSink, clear LogLines() before the step, then count.
#pragma once

#include <string>
#include <vector>

namespace cz::test {

inline std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}
inline void KeepLogLine(const char* text) { LogLines().emplace_back(text); }
// How many kept lines hold `piece`.
inline int LogLinesWith(const std::string& piece) {
  int n = 0;
  for (const std::string& line : LogLines()) n += line.find(piece) != std::string::npos;
  return n;
}

}  // namespace cz::test
