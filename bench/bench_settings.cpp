// settings.ini load time against its size: a damaged or foreign file of n
// distinct keys (about 10 bytes each) in one section must load in time
// linear in n (target: 100,000 keys, 1 MB, well under a second on one core).
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Log.h"
#include "app/Settings.h"

namespace {

void Quiet(const char*) {}

bool WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// A scratch folder made the working directory: its settings.ini names
// <folder>/home/ as the home path, whose settings.ini holds n keys.
struct SettingsFolder {
  std::string dir, home, oldCwd;

  explicit SettingsFolder(long n) {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) oldCwd = cwd;
    char tmpl[] = "/tmp/cadenza-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir = tmpl;
    home = dir + "/home/";
    std::string mk = home;
    mk.pop_back();
    if (mkdir(mk.c_str(), 0700) != 0) return;
    WriteText(dir + "/settings.ini", "[General]\r\nHomePath = \"" + home + "\"\r\n");
    std::string text = "[PRG]\r\nTempDir = \"" + home + "Temp/\"\r\n[DEV]\r\n";
    char line[64];
    for (long i = 0; i < n; ++i) {
      std::snprintf(line, sizeof line, "K%06ld = %ld\r\n", i, i);
      text += line;
    }
    WriteText(home + "settings.ini", text);
    if (chdir(dir.c_str()) != 0) dir.clear();
  }
  ~SettingsFolder() {
    if (!oldCwd.empty() && chdir(oldCwd.c_str()) != 0) return;
    std::remove((home + "settings.ini").c_str());
    std::remove(home.substr(0, home.size() - 1).c_str());
    std::remove((dir + "/settings.ini").c_str());
    std::remove(dir.c_str());
  }
};

void BM_LoadSettingsKeys(benchmark::State& state) {
  Log_SetLogSink(Quiet);
  SettingsFolder folder(state.range(0));
  if (folder.dir.empty()) {
    state.SkipWithError("cannot make the scratch folder");
    return;
  }
  AppSettings s;
  for (auto _ : state) benchmark::DoNotOptimize(LoadSettings(s));
  state.SetItemsProcessed(state.iterations() * state.range(0));
  Log_SetLogSink(nullptr);
}
BENCHMARK(BM_LoadSettingsKeys)->Arg(20000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
