// Test helpers for the intra-pulse modulation: a pulse in slot 0 of the pulse
// table with a type's default parameters (some overridden), data rows, a
// captured log, and one repetition run sample by sample the way the pulse
// computation calls ComputeModulation.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/DataSource.h"
#include "app/Log.h"
#include "app/PulseRecord.h"
#include "engine/Modulation.h"
#include "engine/ModulationTypes.h"
#include "tests/support/LogLines.h"

namespace cz::test {

// The captured log (LogLines.h), under the names the modulation tests use.
inline std::vector<std::string>& ModLog() { return LogLines(); }
inline void CaptureModLog(const char* text) { KeepLogLine(text); }
inline bool ModLogHas(const std::string& text) { return LogLinesWith(text) > 0; }
inline int ModLogCount(const std::string& text) { return LogLinesWith(text); }

using ParamOverrides = std::vector<std::pair<std::string, std::string>>;

// Pulse 0 of type code with the type's default parameters, the overrides
// applied (by label) and no data rows; the log is captured and cleared.
inline PulseRecord& SetUpModPulse(int code, const ParamOverrides& overrides = {}) {
  Log_SetLogSink(CaptureModLog);
  ModLog().clear();
  PulseCount = 0;
  InitPulseRecord(&PulseTable[0]);
  PulseCount = 1;
  PulseRecord& p = PulseTable[0];
  p.name = "mod";
  p.modulation = static_cast<int8_t>(code);
  const ModulationTypeInfo* type = FindModulationType(code);
  int k = 0;
  if (type != nullptr) {
    for (; type->definitions[k].key != 0; ++k) {
      const ModulationParamDef& d = type->definitions[k];
      std::string value = d.value;
      for (const auto& o : overrides)
        if (o.first == d.name) value = o.second;
      p.modParams.Set(k, d.type, d.name, value);
    }
  }
  return p;
}

// Data row `row` (0-based) of pulse 0.
inline void SetDataRow(int row, int kind, int source, int bits) {
  ModulationDataRow& d = PulseTable[0].dataRows[row];
  d.kind = static_cast<uint8_t>(kind);
  d.source = static_cast<int8_t>(source);
  d.bits = bits;
}

// Makes the user data sources exactly the given (ID, bit text) pairs.
inline void SetUserSources(const std::vector<std::pair<int, std::string>>& sources) {
  DataSourceCount = 0;
  for (const auto& s : sources) {
    DataSourceRecord& d = DataSourceTable[DataSourceCount++];
    d = DataSourceRecord();
    d.id = static_cast<uint32_t>(s.first);
    d.data = s.second;
  }
}

// Pulse 0 takes its bits from user source 1 holding bits (all of them).
inline void UseBits(const std::string& bits) {
  SetUserSources({{1, bits}});
  SetDataRow(0, DSRC_USER, 1, static_cast<int>(bits.size()));
}

struct ModRun {
  int ok = 1;
  int failedAt = -1;  // sample of the failing call
  std::vector<double> amp, phase;
  std::vector<unsigned char> marker;
};

// Runs samples n = 0 .. R + N + F of pulse 0 with the caller's conventions:
// amplitude preset to 1 and the marker cleared before every call, the phase
// kept across the repetition starting at startPhase.
inline ModRun RunModRepetition(int R, int N, int F, double rate, double chirpWidth = 0.0,
                               double startPhase = 0.0) {
  ModRun run;
  double phase = startPhase;
  for (int n = 0; n <= R + N + F; ++n) {
    double amp = 1.0;
    unsigned char marker = 0;
    if (!ComputeModulation(0, &amp, &phase, n, R, N, F, rate, PulseTable[0], chirpWidth, n == 0,
                           &marker)) {
      run.ok = 0;
      run.failedAt = n;
      return run;
    }
    run.amp.push_back(amp);
    run.phase.push_back(phase);
    run.marker.push_back(marker);
  }
  return run;
}

}  // namespace cz::test
