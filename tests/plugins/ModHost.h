// A small host for the modulation plug-ins: loads build/Plugins/<name>.so,
// binds the exports by name and drives one pulse repetition as the waveform
// engine does: the nine mod_setparam keys, the configuration rows read and
// written back, then the engine for samples 0 .. R+N+F with the amplitude
// reset to 1 and the phase carried from call to call.
#pragma once

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plugins/include/cadenza_plugin.h"
#include "tests/support/TempDir.h"

namespace cz::test {

// The library stays loaded for the whole test program, as in the host, so
// its state carries over between tests: each test starts with init().
struct ModLib {
  void* handle = nullptr;
  mod_text_fn type = nullptr, ver = nullptr, name = nullptr, author = nullptr, comment = nullptr;
  mod_init_fn init = nullptr;
  mod_error_fn error = nullptr;
  mod_setparam_fn setparam = nullptr;
  mod_engine_fn engine = nullptr;
  mod_engine_2_fn engine2 = nullptr;
  mod_getconf_fn getconf = nullptr;
  mod_setconf_fn setconf = nullptr;

  void* Symbol(const char* sym) const { return dlsym(handle, sym); }
  std::string TakeError() const {
    char buf[CZ_MOD_ERROR_SIZE];
    error(buf);
    return buf;
  }
};

inline ModLib OpenModLib(const std::string& file) {
  ModLib m;
  m.handle = dlopen((BuildDir() + "/Plugins/" + file + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m.handle == nullptr) return m;
  auto bind = [&](auto& fn, const char* sym) { fn = reinterpret_cast<std::decay_t<decltype(fn)>>(m.Symbol(sym)); };
  bind(m.type, "mod_type");
  bind(m.ver, "mod_ver");
  bind(m.name, "mod_name");
  bind(m.author, "mod_author");
  bind(m.comment, "mod_comment");
  bind(m.init, "mod_init");
  bind(m.error, "mod_error");
  bind(m.setparam, "mod_setparam");
  bind(m.engine, "mod_engine");
  if (m.engine == nullptr) bind(m.engine2, "mod_engine_2");  // as the loader binds it
  bind(m.getconf, "mod_getconf");
  bind(m.setconf, "mod_setconf");
  return m;
}

struct PulseSetup {
  int trise = 0, ton = 0, tfall = 0;  // samples
  double srate = 10e6;                // Hz
  std::string mbits;
  std::map<int, double> conf;  // values stored in the pulse; other rows get their default
};

struct ConfRow {
  std::string type, label;
  double dflt = 0, min = 0, max = 0;
};

struct Sample {
  double amp, phase;  // phase: the running phase after the call
  unsigned char marker;
};

struct PulseRun {
  std::vector<ConfRow> rows;
  std::vector<int> setconf_results;
  std::vector<Sample> samples;  // computed before any failure
  int failed_sample = -1;       // the call that returned 0
  std::string error;            // mod_error after it
};

inline void SendParams(const ModLib& m, PulseSetup p) {
  double lev_on = 0.0, lev_off = -60.0, droop = 0.0;
  m.setparam(CZ_KEY_TRISE, &p.trise);
  m.setparam(CZ_KEY_TON, &p.ton);
  m.setparam(CZ_KEY_TFALL, &p.tfall);
  m.setparam(CZ_KEY_SRATE, &p.srate);
  m.setparam(CZ_KEY_LEVON, &lev_on);
  m.setparam(CZ_KEY_LEVOFF, &lev_off);
  m.setparam(CZ_KEY_LEVDROOP, &droop);
  m.setparam(CZ_KEY_MBITS, p.mbits.data());
  m.setparam(CZ_KEY_DONE, nullptr);
}

inline std::vector<ConfRow> ReadConf(const ModLib& m) {
  std::vector<ConfRow> rows;
  for (int r = 0; m.getconf != nullptr && r < CZ_CONF_MAX_ROWS; ++r) {
    char type[CZ_CONF_TYPE_SIZE] = {}, label[CZ_CONF_LABEL_SIZE] = {};
    alignas(double) char v[3][CZ_CONF_VALUE_SIZE] = {};
    if (m.getconf(r, type, label, v[0], v[1], v[2]) == 0) break;
    ConfRow row{type, label};
    std::memcpy(&row.dflt, v[0], sizeof(double));
    std::memcpy(&row.min, v[1], sizeof(double));
    std::memcpy(&row.max, v[2], sizeof(double));
    rows.push_back(row);
  }
  return rows;
}

// The rows, then the engine per sample; stops at the first failed call and
// fetches the error text, as the host does.
inline PulseRun RunAfterParams(const ModLib& m, const PulseSetup& p) {
  PulseRun run;
  run.rows = ReadConf(m);
  for (std::size_t r = 0; m.setconf != nullptr && r < run.rows.size(); ++r) {
    auto it = p.conf.find(static_cast<int>(r));
    double v = it != p.conf.end() ? it->second : run.rows[r].dflt;
    run.setconf_results.push_back(m.setconf(static_cast<int>(r), &v));
  }
  double phase = 0.0;
  for (int n = 0; n <= p.trise + p.ton + p.tfall; ++n) {
    double amp = 1.0;
    unsigned char marker = 0;
    if ((m.engine2 ? m.engine2(&marker, &amp, &phase, n) : m.engine(&amp, &phase, n)) == 0) {
      run.failed_sample = n;
      run.error = m.TakeError();
      break;
    }
    run.samples.push_back({amp, phase, marker});
  }
  return run;
}

inline PulseRun RunPulse(const ModLib& m, const PulseSetup& p) {
  SendParams(m, p);
  return RunAfterParams(m, p);
}

}  // namespace cz::test
