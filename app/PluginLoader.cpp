#include "app/PluginLoader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/Log.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/ui/UserInterface.h"

ModuleEntry ModuleTable[CZ_MAX_MODULES];
int ModuleCount = 0;

namespace {

std::string g_folder;  // empty = the program's own plug-in folder

// Restores the working directory when the scan ends, on every path.
class WorkingDirectoryGuard {
 public:
  WorkingDirectoryGuard() {
    char buf[4096];
    if (getcwd(buf, sizeof buf) != nullptr) saved_ = buf;
  }
  ~WorkingDirectoryGuard() {
    if (!saved_.empty() && chdir(saved_.c_str()) != 0)
      Log_Message(3, "*** Cannot return to the working directory '", saved_.c_str(), "'.");
  }
  WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
  WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;
  bool ok() const { return !saved_.empty(); }

 private:
  std::string saved_;
};

// One library being checked. Unless Keep() is called it is unloaded when the
// object ends, after its mod_shutdown when its mod_init has succeeded.
class Candidate {
 public:
  explicit Candidate(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Candidate() {
    if (handle_ == nullptr) return;
    if (initialised_ && shutdown_ != nullptr) shutdown_();
    dlclose(handle_);
  }
  Candidate(const Candidate&) = delete;
  Candidate& operator=(const Candidate&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  template <typename Fn>
  Fn Bind(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }
  void MarkInitialised(mod_shutdown_fn shutdown) {
    initialised_ = true;
    shutdown_ = shutdown;
  }
  void Keep() { handle_ = nullptr; }  // accepted libraries stay loaded for the run

 private:
  void* handle_;
  bool initialised_ = false;
  mod_shutdown_fn shutdown_ = nullptr;
};

// Calls a text export into a zeroed buffer and forces the terminator, so a
// plug-in that writes nothing leaves an empty text, one that writes too much
// a terminated one.
template <std::size_t N>
void CallText(mod_text_fn fn, cz::Text<N>& out) {
  char buf[N];
  std::memset(buf, 0, sizeof buf);
  fn(buf);
  buf[N - 1] = '\0';
  out.Assign(buf);
}

// Type words match as substrings, case-sensitive ("modulation filter" has both).
bool Contains(const cz::Text<CZ_MOD_TEXT_SIZE>& text, const char* word) {
  return std::strstr(text.c_str(), word) != nullptr;
}

// Regular "*.so" files of the folder, not hidden, sorted by name.
std::vector<std::string> LibraryNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.empty() || name[0] == '.' || name.size() < 4 || name.compare(name.size() - 3, 3, ".so") != 0)
      continue;
    struct stat st {};
    if (stat(cz::JoinPath(folder, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// Refusal lines are the log's record of why a library is missing.
void Refuse(const char* reason) { Log_Message(1, reason); }

// Checks one library against the contract; on success fills entry and
// returns true. Every refusal logs its one line.
// Order of the checks: mod_type (its text decides which entry points are
// required), mod_ver, mod_name (unique), the optional author and comment,
// then every required export; mod_init runs last, so the only library that
// is ever initialised is one the table will keep.
bool LoadModule(const std::string& path, ModuleEntry& entry) {
  Candidate lib(path);
  if (!lib.loaded()) {
    Refuse("  *** Failed to load DLL. Probably incompatible format.");
    return false;
  }
  entry = ModuleEntry{};

  auto type = lib.Bind<mod_text_fn>("mod_type");
  if (type == nullptr) {
    Refuse("  *** Invalid module (cannot determine type). Unloading.");
    return false;
  }
  CallText(type, entry.Type);
  bool modulation = Contains(entry.Type, CZ_TYPE_MODULATION);
  bool report = Contains(entry.Type, CZ_TYPE_REPORT);
  if (!modulation && !Contains(entry.Type, CZ_TYPE_JITTER) && !Contains(entry.Type, CZ_TYPE_FILTER) && !report) {
    Log_Message(3, "  *** Invalid module type (", entry.Type.c_str(), "). Unloading.");
    return false;
  }

  auto ver = lib.Bind<mod_text_fn>("mod_ver");
  if (ver == nullptr) {
    Refuse("  *** Failed to get module version information. Unloading.");
    return false;
  }
  CallText(ver, entry.Version);

  auto name = lib.Bind<mod_text_fn>("mod_name");
  if (name == nullptr) {
    Refuse("  *** Failed to get module name. Unloading.");
    return false;
  }
  CallText(name, entry.Name);
  if (FindModuleByName(entry.Name.c_str()) >= 0) {
    Refuse("  *** Module with the same name was already loaded. Unloading.");
    return false;
  }

  if (auto author = lib.Bind<mod_text_fn>("mod_author")) CallText(author, entry.Author);
  if (auto comment = lib.Bind<mod_text_fn>("mod_comment")) CallText(comment, entry.Comment);
  SanitizeModuleText(entry.Comment.data());

  // Every required export is checked before mod_init runs, so a refused
  // library never sees an init without its shutdown.
  auto init = lib.Bind<mod_init_fn>("mod_init");
  if (init == nullptr) {
    Refuse("  *** Failed to locate module init function. Unloading.");
    return false;
  }
  entry.Shutdown = lib.Bind<mod_shutdown_fn>("mod_shutdown");
  if (modulation) {
    entry.Engine = lib.Bind<mod_engine_fn>("mod_engine");
    if (entry.Engine == nullptr) entry.Engine2 = lib.Bind<mod_engine_2_fn>("mod_engine_2");
    if (entry.Engine == nullptr && entry.Engine2 == nullptr) {
      Refuse("  *** Failed to locate module mod_engine() function. Unloading.");
      return false;
    }
    entry.SetParam = lib.Bind<mod_setparam_fn>("mod_setparam");
    if (entry.SetParam == nullptr) {
      Refuse("  *** Failed to locate module mod_setparam() function. Unloading.");
      return false;
    }
  }
  if (report) {
    entry.ReportSetParam = lib.Bind<mod_setparam_fn>("mod_setparam");
    if (entry.ReportSetParam == nullptr) {
      Refuse("  *** Failed to locate module mod_setparam() function. Unloading.");
      return false;
    }
    entry.SetValue = lib.Bind<mod_setvalue_fn>("mod_setvalue");
    if (entry.SetValue == nullptr) {
      Refuse("  *** Failed to locate module mod_setvalue() function. Unloading.");
      return false;
    }
  }
  entry.Error = lib.Bind<mod_error_fn>("mod_error");
  if (entry.Error == nullptr) {
    Refuse("  *** Failed to locate module error function. Unloading.");
    return false;
  }
  entry.GetConf = lib.Bind<mod_getconf_fn>("mod_getconf");
  entry.SetConf = lib.Bind<mod_setconf_fn>("mod_setconf");

  if (init() == 0) {
    Refuse("  *** Init failed. Unloading.");
    return false;
  }
  lib.MarkInitialised(entry.Shutdown);

  Log_Message(4, "    loaded as '", entry.Name.c_str(), "' ,", entry.Version.c_str());
  lib.Keep();
  return true;
}

}  // namespace

void SetPluginFolder(const std::string& folder) { g_folder = folder; }

std::string PluginFolder() {
  if (!g_folder.empty()) return g_folder;
  return cz::DefaultPluginFolder();
}

// The scan runs inside the plug-in folder, as plug-ins that open their own
// files by relative names expect, and returns to the caller's working
// directory on every path. A 33rd library is skipped before it is opened.
void LoadPlugins() {
  ModuleCount = 0;
  WorkingDirectoryGuard cwd;
  if (!cwd.ok()) MessagePopup("Error", "Cannot get application directory.");

  // Plug-ins that open files by relative names find them in their own folder.
  std::string folder = PluginFolder();
  if (chdir(folder.c_str()) != 0) MessagePopup("Error", "Cannot set plugin search directory.");
  Log_Message(3, "Searching for plugins under ", folder.c_str(), "...");

  for (const std::string& file : LibraryNames(folder)) {
    std::string path = cz::JoinPath(folder, file);
    if (ModuleCount >= CZ_MAX_MODULES) {
      Log_Message(3, "  *** Module table full (32 modules). Skipping ", path.c_str(), ".");
      continue;
    }
    Log_Message(3, "  Found module ", path.c_str(), ", Attempting to load...");
    if (LoadModule(path, ModuleTable[ModuleCount])) ++ModuleCount;
    else ModuleTable[ModuleCount] = ModuleEntry{};
  }
}

void ShutdownPlugins() {
  for (int i = 0; i < ModuleCount; ++i)
    if (ModuleTable[i].Shutdown != nullptr) ModuleTable[i].Shutdown();
}

void SanitizeModuleText(char* text) {
  if (text == nullptr) return;
  for (unsigned char* p = reinterpret_cast<unsigned char*>(text); *p != 0; ++p)
    if (*p != 10 && *p != 13 && (*p < 32 || *p > 125)) *p = ' ';
}

int FindModuleByName(const char* name) {
  if (name == nullptr) return -1;
  for (int i = 0; i < ModuleCount; ++i)
    if (std::strcmp(ModuleTable[i].Name.c_str(), name) == 0) return i;
  return -1;
}
