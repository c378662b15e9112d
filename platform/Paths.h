// Local path helpers.
//
// Stored paths may come in the program's historical form: '\' separators, a
// drive letter ("C:\...") or a leading '\' meaning absolute. On this host
// such a stored local path is turned into a host path when it is used: '\'
// becomes '/', a leading drive letter is dropped (the rest is taken from the
// root). A path that starts with '/' is a host path already (a file dialog
// returns such paths, and they are stored as they are): it is used as it
// stands, and a '\' in it is part of a name ("Radar\v2.prj" is a legal
// file name here). Instrument-side paths ("D:\", "/var/...", remote file
// names) never pass through these helpers.
#pragma once

#include <string>
#include <string_view>

namespace cz {

// Stored local path -> host path ('\' -> '/', "C:\x" -> "/x"); a path that
// starts with '/' unchanged.
std::string HostPath(std::string_view stored);

// A relative stored path with '/' for its '\', to be put behind a host
// folder ("Projects\a.prj" -> "Projects/a.prj").
std::string RelativeHostPath(std::string_view stored);

// True for "/x", "\x" and "C:\x" / "C:/x".
bool IsAbsolutePath(std::string_view path);

// Joins a folder and a name with exactly one '/' between them; an absolute
// name is returned as a host path. Both are taken as stored paths.
std::string JoinPath(std::string_view folder, std::string_view name);

// The folder part of a path without its trailing separator ("" for a bare name).
std::string DirName(std::string_view path);
// The file-name part of a path.
std::string BaseName(std::string_view path);

// Ensures one trailing '/'.
std::string WithTrailingSlash(std::string_view folder);

}  // namespace cz
