#include "platform/ProgramInfo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Set by the build for this file: the project's version and release date,
// and the install's plug-in and data folders relative to its bin folder.
#ifndef CADENZA_VERSION_TEXT
#define CADENZA_VERSION_TEXT "0.0.0"
#endif
#ifndef CADENZA_VERSION_MAJOR_MINOR
#define CADENZA_VERSION_MAJOR_MINOR "0.0"
#endif
#ifndef CADENZA_RELEASE_DATE
#define CADENZA_RELEASE_DATE "01.01.1970"
#endif
#ifndef CADENZA_PLUGINS_FROM_BIN
#define CADENZA_PLUGINS_FROM_BIN "../lib/cadenza/plugins"
#endif
#ifndef CADENZA_DATA_FROM_BIN
#define CADENZA_DATA_FROM_BIN "../share/cadenza"
#endif

namespace cz {

namespace {

constexpr const char* kBuildPluginFolder = "Plugins";

std::string g_programFolder;  // set by tests; "" = the executable's own

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  const std::string exe(buf, static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string ParentOf(const std::string& folder) {
  const std::size_t slash = folder.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : folder.substr(0, slash);
}

// The path with every link and "." / ".." of its existing part resolved and
// the part that does not exist yet appended as given.
std::string RealPath(const std::string& path) {
  std::string head = path, tail;
  while (!head.empty()) {
    char buf[PATH_MAX];
    if (::realpath(head.c_str(), buf) != nullptr) return std::string(buf) + tail;
    const std::size_t slash = head.rfind('/');
    if (slash == std::string::npos) break;
    tail = head.substr(slash) + tail;
    head = head.substr(0, slash);
  }
  return path;
}

// folder + "/" + relative with "." and ".." taken lexically (the executable's
// folder is a real one), without a trailing '/'.
std::string Below(const std::string& folder, const char* relative) {
  std::string joined = std::filesystem::path(folder + "/" + relative).lexically_normal().string();
  while (joined.size() > 1 && joined.back() == '/') joined.pop_back();
  return joined;
}

std::string InstallPluginFolder() { return Below(ProgramFolder(), CADENZA_PLUGINS_FROM_BIN); }

}  // namespace

const char* ProgramVersion() { return CADENZA_VERSION_TEXT; }
const char* ProgramVersionMajorMinor() { return CADENZA_VERSION_MAJOR_MINOR; }
const char* ProgramReleaseDate() { return CADENZA_RELEASE_DATE; }

std::string ProgramFolder() { return g_programFolder.empty() ? ExecutableFolder() : g_programFolder; }

void SetProgramFolder(std::string_view folder) { g_programFolder = std::string(folder); }

bool ProgramInstalled() {
  const std::string folder = ProgramFolder();
  return !folder.empty() && !IsFolder(folder + "/" + kBuildPluginFolder) && IsFolder(InstallPluginFolder());
}

std::string DefaultPluginFolder() {
  const std::string folder = ProgramFolder();
  const std::string beside = folder + "/" + kBuildPluginFolder;
  if (IsFolder(beside)) return beside;
  if (ProgramInstalled()) return InstallPluginFolder();
  const std::string above = ParentOf(folder) + "/" + kBuildPluginFolder;
  if (IsFolder(above)) return above;
  return beside;
}

std::string ProgramDataFolder() {
  return ProgramInstalled() ? Below(ProgramFolder(), CADENZA_DATA_FROM_BIN) : std::string();
}

int AnswerHelpOrVersion(int argc, char** argv, const char* name, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg == nullptr) continue;
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      std::fputs(usage, stdout);
    } else if (std::strcmp(arg, "--version") == 0) {
      std::printf("%s %s\n", name, ProgramVersion());
    } else {
      continue;
    }
    std::fflush(stdout);
    return 1;
  }
  return 0;
}

bool LooksLikeOption(const char* value) { return value != nullptr && value[0] == '-' && value[1] != '\0'; }

bool InsideInstallFolders(std::string_view hostPath) {
  if (hostPath.empty() || !ProgramInstalled()) return false;
  std::string path(hostPath);
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
    path = std::string(cwd) + "/" + path;
  }
  path = RealPath(path);
  const std::string folders[] = {ProgramFolder(), InstallPluginFolder(), ProgramDataFolder()};
  for (const std::string& f : folders) {
    if (!IsFolder(f)) continue;
    const std::string real = RealPath(f);
    if (path == real || (path.size() > real.size() && path.compare(0, real.size(), real) == 0 &&
                         (real == "/" || path[real.size()] == '/')))
      return true;
  }
  return false;
}

}  // namespace cz
