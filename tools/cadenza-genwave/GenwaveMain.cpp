// cadenza-genwave --project FILE.prj --sequence NAME [--out FILE.wv]
//
// Loads a project file with the program's own reader (modulation plug-ins
// from the program's plug-in folder, the build tree's or the install's),
// finds the sequence by its name and builds it as the Sequence Editor's
// Generate does, without drawing and without a report, into --out or else
// the sequence's own waveform file (a relative one taken from the home
// path, as in the program). The message log goes to standard output, its
// failure lines ("*** " log lines, "Error: " status texts) to standard
// error instead, each once. Exit status 0 on success (and for --help and
// --version), 1 on failure; a file option's value that looks like an option
// is refused.
//
// The temporary sample files are made in a fresh folder under $TMPDIR (or
// /tmp), "cadenza-genwave-<pid>-XXXXXX", locked for the run and deleted with
// it at exit; the folders of runs that are gone (killed, or ended by a power
// cut) are removed at the next start. The project is read from a copy there,
// which every line names by the file the user gave. The waveform file is on
// the disk when the tool ends. SIGINT, SIGTERM and
// SIGHUP stop the build as the program's Stop does, so that the folder goes
// too; the signal then ends the tool as it would have (a second one at once).
#include <unistd.h>

#include <climits>
#include <csignal>
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
#include "engine/EngineHost.h"
#include "engine/Random.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/DeadTemps.h"
#include "platform/ProgramInfo.h"
#include "wavelib/WaveLib.h"

namespace fs = std::filesystem;

namespace {

constexpr double kWaveLibVersion = 2.2;
constexpr int kSelfTestSlot = 5;
// ms the tool waits at most for its waveform file to reach the disk.
constexpr int kFlushWaitMs = 60000;
// The run folders' names: the prefix, the process ID, "-XXXXXX".
constexpr const char* kRunFolderPrefix = "cadenza-genwave-";

// The help text; its layout is the one the manual page is made from
// (cmake/manpage.py).
constexpr const char* kUsage =
    "usage: cadenza-genwave --project FILE.prj --sequence NAME [--out FILE.wv]\n"
    "       cadenza-genwave --help | --version\n"
    "\n"
    "Builds one sequence of a Cadenza project file into its waveform file without\n"
    "the window, as the Sequence Editor's Generate does (no drawing, no report).\n"
    "The modulation plug-ins are those of the program. The message log goes to\n"
    "standard output, its failure lines to standard error; the temporary sample\n"
    "files are made in a folder of their own under TMPDIR and removed at the end.\n"
    "SIGINT, SIGTERM and SIGHUP stop the build as the program's Stop does.\n"
    "\n"
    "Options:\n"
    "  --project FILE.prj  the project file (it is read, never written)\n"
    "  --sequence NAME     the name of the sequence to build\n"
    "  --out FILE.wv       the waveform file to write, instead of the sequence's own\n"
    "                      file; a relative name is taken from the home path, as the\n"
    "                      program takes a sequence's file name\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0                   the waveform file was written (or help or version shown)\n"
    "  1                   a failure, named on standard error\n"
    "\n"
    "Environment:\n"
    "  TMPDIR              the folder for the temporary sample files (else /tmp)\n"
    "  HOME                the user's folder, which holds the home path ~/Cadenza/\n";

// Whether a failure line has been written to standard error.
bool g_failureShown = false;
// The project's copy in the run's folder and the path the user gave for it.
std::string g_copyPath;
std::string g_userPath;

// The line with every mention of the project's copy replaced by the user's path.
std::string AsUserSees(const char* text) {
  std::string line = text;
  if (g_copyPath.empty()) return line;
  for (std::size_t at = line.find(g_copyPath); at != std::string::npos;
       at = line.find(g_copyPath, at + g_userPath.size()))
    line.replace(at, g_copyPath.size(), g_userPath);
  return line;
}

void ShowFailure(const std::string& line) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  g_failureShown = true;
}

void LogToStdout(const char* text) {
  const std::string line = AsUserSees(text);
  if (line.find("*** ") != std::string::npos) {
    ShowFailure(line);
    return;
  }
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

void StatusToStdout(const char* text) {
  if (text[0] == '\0') return;
  const std::string line = AsUserSees(text);
  if (line.rfind("Error: ", 0) == 0) {
    ShowFailure(line);
    return;
  }
  std::printf("Status: %s\n", line.c_str());
}

int UsageError(const std::string& what) {
  std::fprintf(stderr, "cadenza-genwave: %s\n%s", what.c_str(), kUsage);
  return 1;
}

int FindSequenceByName(const char* name) {
  for (int i = 0; i < SequenceCount; ++i)
    if (std::strcmp(SequenceTable[i].name.c_str(), name) == 0) return i;
  return -1;
}

// The termination signal taken (0: none yet); the build's Stop poll.
volatile std::sig_atomic_t g_signal = 0;

extern "C" void OnTerminationSignal(int number) { g_signal = number; }

int StopOnSignal() { return g_signal != 0 ? 1 : 0; }

// The first SIGINT, SIGTERM or SIGHUP is taken as Stop; the handler is reset
// by it, so that a second one ends the tool at once.
void WatchTerminationSignals() {
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
  EngineHost host = ConsoleEngineHost();
  host.stopPressed = StopOnSignal;
  SetEngineHost(&host);
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

// Ends a failed run; the fallback names the failure when no line did.
int Fail(const char* fallback) {
  if (!g_failureShown) ShowFailure(fallback);
  std::fflush(stdout);
  return 1;
}

}  // namespace

static int Run(int argc, char** argv) {
  const char* project = nullptr;
  const char* sequence = nullptr;
  const char* out = nullptr;
  if (cz::AnswerHelpOrVersion(argc, argv, "cadenza-genwave", kUsage)) return 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char** value = std::strcmp(arg, "--project") == 0    ? &project
                         : std::strcmp(arg, "--sequence") == 0 ? &sequence
                         : std::strcmp(arg, "--out") == 0      ? &out
                                                               : nullptr;
    if (value == nullptr) return UsageError(std::string("unknown option '") + arg + "'");
    if (i + 1 >= argc) return UsageError(std::string("option '") + arg + "' needs a value");
    // A file is never named by what looks like an option ("./-x.wv" is a file).
    if (value != &sequence && cz::LooksLikeOption(argv[i + 1]))
      return UsageError(std::string("option '") + arg + "' needs a file name, not '" + argv[i + 1] + "'");
    *value = argv[++i];
  }
  if (project == nullptr) return UsageError("missing option '--project'");
  if (sequence == nullptr) return UsageError("missing option '--sequence'");

  Log_SetLogSink(LogToStdout);
  Log_SetStatusSink(StatusToStdout);
  char initError[kWaveLibErrorTextBytes + 64] = {0};
  if (!WaveLib_Init(initError, kWaveLibVersion)) return Fail(initError);
  RandomSeedUniformAtStartup();

  RunTempDir temp;
  const std::string tmp = std::getenv("TMPDIR") != nullptr && std::getenv("TMPDIR")[0] != '\0' ? std::getenv("TMPDIR") : "/tmp";
  cz::RemoveDeadRunFolders(tmp, kRunFolderPrefix, TempFolderLockName());
  std::string pattern = tmp + "/" + kRunFolderPrefix + std::to_string(getpid()) + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    Log_Message(1, "*** Cannot create a temporary folder.");
    return Fail("*** Cannot create a temporary folder.");
  }
  temp.path = pattern;
  // The lock tells a later run that this folder is in use.
  if (LockTempFolder(temp.path.c_str()) != 1) return Fail("*** Cannot lock the temporary folder.");
  if (!g_Settings.TempDir.AssignExact(temp.path)) {
    Log_Message(1, "*** Temporary folder path too long.");
    return Fail("*** Temporary folder path too long.");
  }
  LoadPlugins();  // the program's own plug-in folder, as the program finds it

  // The reader leaves a ".bak" copy beside the file it loads; loading a copy
  // in the run's folder keeps the user's project folder untouched.
  std::error_code copyError;
  const std::string copy = temp.path + "/" + fs::path(project).filename().string();
  if (!fs::copy_file(project, copy, copyError)) {
    // The system's reason: a missing file, a folder, no permission.
    Log_Message(5, "*** Cannot load project '", project, "': ", copyError.message().c_str(), ".");
    return Fail("*** Cannot load project.");
  }
  g_copyPath = copy;
  g_userPath = project;
  if (!LoadProject(PulseTable, SequenceTable, copy.c_str(), 0)) {
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
  FinishFileFlushes(kFlushWaitMs);
  ShutdownPlugins();
  if (!ok) return Fail("*** Waveform build failed.");
  std::fflush(stdout);
  return 0;
}

int main(int argc, char** argv) {
  WatchTerminationSignals();
  const int status = Run(argc, argv);
  if (g_signal != 0) {
    // The run's folder is gone: the signal ends the tool as it would have.
    std::fflush(stdout);
    std::signal(g_signal, SIG_DFL);
    std::raise(g_signal);
  }
  return status;
}
