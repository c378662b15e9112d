// The plug-in loader and the module table.
//
// At start-up LoadPlugins scans the program's plug-in folder (the build
// tree's "Plugins" beside the executable, or the installed program's
// lib/cadenza/plugins: platform/ProgramInfo.h) once for "*.so" libraries (in file-name order, so module numbers are
// stable), checks each against the plug-in contract
// (plugins/include/cadenza_plugin.h), initialises it and binds its entry
// points into ModuleTable. Refused libraries are unloaded and leave only
// their log lines. Accepted libraries stay loaded until the process ends;
// ShutdownPlugins gives each its mod_shutdown at exit.
//
// The index of an entry is the module number used everywhere else (tree item
// values, the report type ring minus 2, the report plug-in index).
#pragma once

#include <string>

#include "platform/BoundedText.h"
#include "plugins/include/cadenza_plugin.h"

struct ModuleEntry {
  cz::Text<CZ_MOD_TEXT_SIZE> Name;        // unique among loaded modules (exact comparison)
  cz::Text<CZ_MOD_TEXT_SIZE> Version;
  cz::Text<CZ_MOD_TEXT_SIZE> Author;      // empty when not exported
  cz::Text<CZ_MOD_COMMENT_SIZE> Comment;  // sanitised; empty when not exported
  cz::Text<CZ_MOD_TEXT_SIZE> Type;        // contains "modulation", "jitter", "filter" or "report"

  mod_engine_fn Engine = nullptr;          // modulation modules
  mod_engine_2_fn Engine2 = nullptr;       // modulation, only when mod_engine is absent
  mod_setparam_fn SetParam = nullptr;      // mod_setparam of a modulation module
  mod_error_fn Error = nullptr;            // every module
  mod_getconf_fn GetConf = nullptr;        // optional
  mod_setconf_fn SetConf = nullptr;        // optional
  mod_setparam_fn ReportSetParam = nullptr;  // mod_setparam of a report module
  mod_setvalue_fn SetValue = nullptr;      // report modules
  mod_shutdown_fn Shutdown = nullptr;      // optional
};

extern ModuleEntry ModuleTable[CZ_MAX_MODULES];
extern int ModuleCount;

// Empties the table and loads every library of the default folder: the
// program's plug-in folder, or the one set by SetPluginFolder.
void LoadPlugins();
// Chooses the folder LoadPlugins scans; an empty folder restores the default.
void SetPluginFolder(const std::string& folder);
// The folder LoadPlugins scans.
std::string PluginFolder();

// Calls mod_shutdown of every entry that has one, in index order. Libraries
// are not unloaded.
void ShutdownPlugins();

// Replaces in place every byte other than LF, CR and 32..125 by a blank.
// A null or empty text is left alone.
void SanitizeModuleText(char* text);

// Module number of the module with exactly this name, or -1.
int FindModuleByName(const char* name);
