// cadenza-genwave --project FILE.prj --sequence NAME [--out FILE.wv]
//
// Loads a project file with the program's own reader (modulation plug-ins
// from the build tree's Plugins folder), finds the sequence by its name and
// builds it as the Sequence Editor's Generate does, without drawing and
// without a report, into --out or else the sequence's own waveform file
// (a relative one taken from the home path, as in the program).
// The message log goes to standard output. Exit status 0 on success, 1 on
// failure; the line that names the failure is repeated on standard error.
//
// The temporary sample files are made in a fresh folder under $TMPDIR (or
// /tmp) and deleted with it at exit; the project is read from a copy there.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/ProjectFile.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/Random.h"
#include "engine/Tessera_GenerateWave.h"
#include "wavelib/WaveLib.h"

namespace fs = std::filesystem;

namespace {

constexpr double kWaveLibVersion = 2.2;
constexpr int kSelfTestSlot = 5;

// The last line that names a failure: a "*** " log line or an "Error: "
// status text.
std::string g_failure;

void LogToStdout(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  if (std::strstr(text, "*** ") != nullptr) g_failure = text;
}

void StatusToStdout(const char* text) {
  if (text[0] == '\0') return;
  std::printf("Status: %s\n", text);
  if (std::strncmp(text, "Error: ", 7) == 0 && g_failure.empty()) g_failure = text;
}

void Usage() {
  std::fputs("usage: cadenza-genwave --project FILE.prj --sequence NAME [--out FILE.wv]\n", stderr);
}

// The build tree keeps its plug-ins in <build>/Plugins, beside the tools
// folder: the first "Plugins" folder above the executable's own folder.
std::string PluginFolderBesideTools() {
  std::error_code ec;
  fs::path dir = fs::read_symlink("/proc/self/exe", ec).parent_path();
  for (int up = 0; up < 3 && !ec && !dir.empty(); ++up) {
    dir = dir.parent_path();
    if (fs::is_directory(dir / "Plugins", ec)) return (dir / "Plugins").string();
  }
  return std::string();
}

int FindSequenceByName(const char* name) {
  for (int i = 0; i < SequenceCount; ++i)
    if (std::strcmp(SequenceTable[i].name.c_str(), name) == 0) return i;
  return -1;
}

// The temporary folder of this run; removed with its files at exit.
struct RunTempDir {
  std::string path;
  ~RunTempDir() {
    CloseTempFiles();
    DeleteTempFiles();
    if (!path.empty()) {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  }
};

int Fail(const char* fallback) {
  const std::string& line = g_failure.empty() ? std::string(fallback) : g_failure;
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", line.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* project = nullptr;
  const char* sequence = nullptr;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--project") == 0 && hasValue) {
      project = argv[++i];
    } else if (std::strcmp(argv[i], "--sequence") == 0 && hasValue) {
      sequence = argv[++i];
    } else if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
      out = argv[++i];
    } else {
      Usage();
      return 1;
    }
  }
  if (project == nullptr || sequence == nullptr) {
    Usage();
    return 1;
  }

  Log_SetLogSink(LogToStdout);
  Log_SetStatusSink(StatusToStdout);
  char initError[kWaveLibErrorTextBytes + 64] = {0};
  if (!WaveLib_Init(initError, kWaveLibVersion)) return Fail(initError);
  RandomSeedUniformAtStartup();

  RunTempDir temp;
  std::string pattern = (std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp");
  pattern += "/cadenza-genwave-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    Log_Message(1, "*** Cannot create a temporary folder.");
    return Fail("*** Cannot create a temporary folder.");
  }
  temp.path = pattern;
  if (!g_Settings.TempDir.AssignExact(temp.path)) {
    Log_Message(1, "*** Temporary folder path too long.");
    return Fail("*** Temporary folder path too long.");
  }
  const std::string plugins = PluginFolderBesideTools();
  if (!plugins.empty()) SetPluginFolder(plugins);
  LoadPlugins();

  // The reader leaves a ".bak" copy beside the file it loads; loading a copy
  // in the run's folder keeps the user's project folder untouched.
  std::error_code copyError;
  const std::string copy = temp.path + "/" + fs::path(project).filename().string();
  if (!fs::copy_file(project, copy, copyError) || !LoadProject(PulseTable, SequenceTable, copy.c_str(), 0)) {
    Log_Message(3, "*** Cannot load project '", project, "'.");
    return Fail("*** Cannot load project.");
  }
  const int index = FindSequenceByName(sequence);
  if (index < 0) {
    Log_Message(3, "*** No sequence named '", sequence, "' in the project.");
    return Fail("*** Sequence not found.");
  }
  if (out != nullptr) {
    // A relative name is taken from the home path, as the program takes
    // the sequence's own file name.
    const std::string target = ResolvedLocalPath(out);
    if (target.empty() || !SequenceTable[index].waveFile.AssignExact(target)) {
      Log_Message(3, "*** Output path '", out, "' cannot be used.");
      return Fail("*** Output path cannot be used.");
    }
  }

  if (!CreateTempFiles(temp.path.c_str()) || !TestTempBuffers(kSelfTestSlot)) {
    Log_Message(1, "*** Failed to open temporary files.");
    return Fail("*** Failed to open temporary files.");
  }

  const int ok = BuildWaveform(index, 0, 1, -1, 0, 0.0);
  ShutdownPlugins();
  if (!ok) return Fail("*** Waveform build failed.");
  std::fflush(stdout);
  return 0;
}
