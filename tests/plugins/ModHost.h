// A small host for the modulation plug-ins: loads build/Plugins/<name>.so with
// dlopen, binds the exports by name and drives one pulse repetition the way
// the waveform engine does (nine mod_setparam keys, the configuration rows,
// then one engine call per sample 0 .. R+N+F with amplitude reset to 1 and
// the phase carried from call to call).
#pragma once

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugins/include/cadenza_plugin.h"
#include "tests/support/TempDir.h"

namespace cz::test {

struct DlClose {
  void operator()(void* h) const {
    if (h != nullptr) dlclose(h);
  }
};

struct ModLib {
  std::unique_ptr<void, DlClose> handle;
  std::string load_error;
  mod_text_fn type = nullptr, ver = nullptr, name = nullptr, author = nullptr, comment = nullptr;
  mod_init_fn init = nullptr;
  mod_error_fn error = nullptr;
  mod_setparam_fn setparam = nullptr;
  mod_engine_fn engine = nullptr;
  mod_engine_2_fn engine2 = nullptr;
  mod_getconf_fn getconf = nullptr;
  mod_setconf_fn setconf = nullptr;

  void* Symbol(const char* sym) const { return handle ? dlsym(handle.get(), sym) : nullptr; }

  // Calls mod_error into a fresh host buffer.
  std::string TakeError() const {
    char buf[CZ_MOD_ERROR_SIZE];
    std::memset(buf, 'x', sizeof buf);
    error(buf);
    return std::string(buf, strnlen(buf, sizeof buf));
  }
};

inline std::string PluginPath(const std::string& name) {
  return BuildDir() + "/Plugins/" + name + ".so";
}

// Loads a plug-in and binds its exports; handle is null on failure. The
// library stays loaded for the whole test program, as in the host, so its
// state carries over from one test to the next: every test starts with
// mod_init.
inline ModLib OpenModLib(const std::string& name) {
  ModLib m;
  m.handle.reset(dlopen(PluginPath(name).c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!m.handle) {
    const char* e = dlerror();
    m.load_error = e ? e : "dlopen failed";
    return m;
  }
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
  // As the loader does: mod_engine_2 only where mod_engine is absent.
  if (m.engine == nullptr) bind(m.engine2, "mod_engine_2");
  bind(m.getconf, "mod_getconf");
  bind(m.setconf, "mod_setconf");
  return m;
}

// One pulse repetition as the engine hands it over.
struct PulseSetup {
  int trise = 0;
  int ton = 0;
  int tfall = 0;
  double srate = 10e6;
  double levon = 0.0;
  double levoff = -60.0;
  double levdroop = 0.0;
  std::string mbits;
  // Values stored in the pulse by row number; rows not named get the default
  // the plug-in reports.
  std::map<int, double> conf;
};

struct ConfRowSeen {
  std::string type;
  std::string label;
  double dflt = 0, min = 0, max = 0;
};

struct SampleOut {
  double amp = 0;
  double phase = 0;  // running phase after the call, radians
  unsigned char marker = 0;
};

struct PulseRun {
  std::vector<ConfRowSeen> rows;
  std::vector<int> setconf_results;
  std::vector<SampleOut> samples;  // the samples computed before any failure
  int failed_sample = -1;          // sample whose engine call returned 0
  std::string error;               // mod_error text after that failure
};

// Sends the nine keys in the host's order.
inline void SendParams(const ModLib& m, PulseSetup p) {
  m.setparam(CZ_KEY_TRISE, &p.trise);
  m.setparam(CZ_KEY_TON, &p.ton);
  m.setparam(CZ_KEY_TFALL, &p.tfall);
  m.setparam(CZ_KEY_SRATE, &p.srate);
  m.setparam(CZ_KEY_LEVON, &p.levon);
  m.setparam(CZ_KEY_LEVOFF, &p.levoff);
  m.setparam(CZ_KEY_LEVDROOP, &p.levdroop);
  // The host's bit stream buffer: 10,002 bytes.
  std::vector<char> bits(p.mbits.begin(), p.mbits.end());
  bits.push_back('\0');
  m.setparam(CZ_KEY_MBITS, bits.data());
  m.setparam(CZ_KEY_DONE, nullptr);
}

// Reads the rows until mod_getconf says 0 (at most 255).
inline std::vector<ConfRowSeen> ReadConf(const ModLib& m) {
  std::vector<ConfRowSeen> rows;
  if (m.getconf == nullptr) return rows;
  for (int r = 0; r < CZ_CONF_MAX_ROWS; ++r) {
    char type[CZ_CONF_TYPE_SIZE] = {};
    char label[CZ_CONF_LABEL_SIZE] = {};
    alignas(double) char dflt[CZ_CONF_VALUE_SIZE] = {};
    alignas(double) char min[CZ_CONF_VALUE_SIZE] = {};
    alignas(double) char max[CZ_CONF_VALUE_SIZE] = {};
    if (m.getconf(r, type, label, dflt, min, max) == 0) break;
    ConfRowSeen row;
    row.type = type;
    row.label = label;
    std::memcpy(&row.dflt, dflt, sizeof(double));
    std::memcpy(&row.min, min, sizeof(double));
    std::memcpy(&row.max, max, sizeof(double));
    rows.push_back(row);
  }
  return rows;
}

// Reads and writes back the rows and calls the engine for every sample; stops at the first engine call that returns 0 and
// fetches the error text, as the host does.
inline PulseRun RunAfterParams(const ModLib& m, const PulseSetup& p) {
  PulseRun run;
  run.rows = ReadConf(m);
  if (m.setconf != nullptr) {
    for (std::size_t r = 0; r < run.rows.size(); ++r) {
      auto it = p.conf.find(static_cast<int>(r));
      double v = it != p.conf.end() ? it->second : run.rows[r].dflt;
      run.setconf_results.push_back(m.setconf(static_cast<int>(r), &v));
    }
  }
  const int last = p.trise + p.ton + p.tfall;
  double phase = 0.0;
  for (int n = 0; n <= last; ++n) {
    double amp = 1.0;
    unsigned char marker = 0;
    const int ok = m.engine2 ? m.engine2(&marker, &amp, &phase, n) : m.engine(&amp, &phase, n);
    if (ok == 0) {
      run.failed_sample = n;
      run.error = m.TakeError();
      break;
    }
    run.samples.push_back({amp, phase, marker});
  }
  return run;
}

// One whole repetition: the nine keys, then RunAfterParams.
inline PulseRun RunPulse(const ModLib& m, const PulseSetup& p) {
  SendParams(m, p);
  return RunAfterParams(m, p);
}

}  // namespace cz::test
