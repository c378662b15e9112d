// Frame of the whole-build benchmarks: a folder of their own ($TMPDIR, else
// /tmp) holding the temporary sample files and the waveform files, removed
// with everything in it when the program ends; the waveform library started,
// the generators seeded, every log and status line into one sink. And B1's
// pulse train, which several benchmarks build in varied sizes.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Log.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/Random.h"
#include "wavelib/WaveLib.h"

namespace cz::bench {

// The last "*** " line, shown when a build fails.
inline std::string g_lastError;

inline void KeepLastError(const char* text) {
  if (std::strstr(text, "*** ") != nullptr) g_lastError = text;
}

class BuildFolder {
 public:
  BuildFolder() = default;
  BuildFolder(const BuildFolder&) = delete;
  BuildFolder& operator=(const BuildFolder&) = delete;
  ~BuildFolder() {
    if (dir_.empty()) return;
    CloseTempFiles();
    DeleteTempFiles();
    if (DIR* d = opendir(dir_.c_str())) {
      while (const dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) unlink(File(e->d_name).c_str());
      closedir(d);
    }
    rmdir(dir_.c_str());
  }

  // The first call makes "<name>-XXXXXX" and sets the program up in it;
  // later calls do nothing.
  void Prepare(const char* name, LogSinkFn sink) {
    if (!dir_.empty()) return;
    char error[kWaveLibErrorTextBytes];
    WaveLib_Init(error, 2.2);
    RandomSeedUniform(1);
    RandomSeedRand(1);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir_ = pattern;
    g_Settings.TempDir.AssignExact(dir_);
    CreateTempFiles(dir_.c_str());
    Log_SetLogSink(sink);
    Log_SetStatusSink(sink);
  }

  std::string File(const char* name) const { return dir_ + "/" + name; }
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_;
};

// B1's pulse train as the only pulse and sequence of a new project: a 10 us
// linear FM chirp of 20 MHz (50 ns raised-cosine edges, 1 MHz offset) at a
// PRI of 100 us, in `entries` entries of `repetitions` each, marker 1 on
// every repetition, written to `waveFile`. The pulse is returned for the
// callers' variations.
inline PulseRecord& SetUpChirpTrain(double clock, int entries, int repetitions, const std::string& waveFile) {
  constexpr int kModFmChirp = 2;
  ResetProject();
  g_Settings.Project.pepLevel = 0;
  g_Settings.Project.allowMarkers = 1;
  PulseRecord& p = PulseTable[0];
  InitPulseRecord(&p);
  PulseCount = 1;
  p.name = "chirp";
  p.riseTime = p.fallTime = 50e-9;
  p.riseEdge = p.fallEdge = 1;  // raised cosine
  p.onTime = 10e-6;
  p.offTime = 0.0;
  p.prfMode = 1;
  p.prfPri = 1;
  p.prfValue = 100e-6;  // PRI
  p.freqOffset = 1e6;
  p.modulation = kModFmChirp;
  p.modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "20.000000");
  p.modParams.Set(1, "LIST", "Ramp Type", "0");  // ramp up
  SequenceRecord& s = SequenceTable[0];
  InitSequenceRecord(&s);
  SequenceCount = 1;
  s.name = "B";
  s.clock = clock;
  s.waveFile.AssignExact(waveFile);
  for (int e = 0; e < entries; ++e) {
    s.entries[e].pulseId = static_cast<int32_t>(p.id);
    s.entries[e].repetitions = repetitions;
    s.entries[e].markerMask = 3;  // marker 1 on every repetition
  }
  return p;
}

}  // namespace cz::bench
