// What the program knows of itself: its version, and where its parts lie.
//
// A program run from the build tree keeps its plug-ins in "Plugins" beside
// its executable (build/cadenza, build/Plugins) or beside its folder
// (build/tools/cadenza-genwave, build/Plugins). An installed program finds
// its plug-ins and its data (the examples) at the install's folders relative
// to the folder of its executable (bin/../lib/cadenza/plugins,
// bin/../share/cadenza), so that a copy installed under any prefix, or into
// a staging folder, finds its own. The relative paths are those of the
// build's install rules.
//
// An installed program never writes into its own folders (executables,
// plug-ins, data): the writers of user files refuse a path inside them, and
// the commands that would save over an installed example save elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace cz {

// The project's version, "major.minor.patch" ("0.1.0"); the About text shows
// "major.minor" with the release date "dd.mm.yyyy".
const char* ProgramVersion();
const char* ProgramVersionMajorMinor();
const char* ProgramReleaseDate();

// Folder of the running executable (no trailing '/'); "" when unknown.
std::string ProgramFolder();
// Whether the program runs from an install: no "Plugins" folder beside it
// and the install's plug-in folder at its place relative to the executable.
bool ProgramInstalled();
// The folder the plug-in loader scans by default: the build tree's
// "Plugins" (beside the executable or its folder), else the install's
// plug-in folder, else "Plugins" beside the executable.
std::string DefaultPluginFolder();
// The install's data folder (share/cadenza: examples/demo/...); "" when the
// program does not run from an install.
std::string ProgramDataFolder();

// Whether hostPath (an absolute host path; links in its existing part
// followed) lies inside a folder of the installed program: the folder of the
// executables, the plug-in folder or the data folder. Always false for a
// program run from the build tree.
bool InsideInstallFolders(std::string_view hostPath);
// The reason writers give for such a path.
inline constexpr const char* kInstallFolderReason = "the folder belongs to the installed program";

// The information options every program of the project answers before it
// does anything else: "--help" or "-h" among the arguments prints usage on
// standard output, "--version" prints "<name> <version>". 1 when one was
// answered (the caller then ends with status 0, having written nothing
// else), 0 otherwise.
int AnswerHelpOrVersion(int argc, char** argv, const char* name, const char* usage);
// Whether a command-line value looks like an option ("-x", "--x"): a value
// that names a file never does ("./-x" does not).
bool LooksLikeOption(const char* value);

// Tests: the layout as if the executable were in folder ("" restores the
// executable's own folder).
void SetProgramFolder(std::string_view folder);

}  // namespace cz
