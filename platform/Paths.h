// Local path helpers.
//
// Stored paths come in the program's historical form: '\' separators, a
// drive letter ("C:\...") or a leading '\' meaning absolute. On this host a
// stored local path is turned into a host path when it is used: '\' becomes
// '/', a leading drive letter is dropped (the rest is taken from the root),
// and a leading '/' is absolute as well. Instrument-side paths ("D:\",
// "/var/...", remote file names) never pass through these helpers.
#pragma once

#include <string>
#include <string_view>

namespace cz {

// Stored local path -> host path ('\' -> '/', "C:\x" -> "/x").
std::string HostPath(std::string_view stored);

// True for "/x", "\x" and "C:\x" / "C:/x".
bool IsAbsolutePath(std::string_view path);

// Joins a folder and a name with exactly one '/' between them; an absolute
// name is returned as it is. Both are taken as stored paths.
std::string JoinPath(std::string_view folder, std::string_view name);

// The folder part of a path without its trailing separator ("" for a bare name).
std::string DirName(std::string_view path);
// The file-name part of a path.
std::string BaseName(std::string_view path);

// Ensures one trailing '/'.
std::string WithTrailingSlash(std::string_view folder);

}  // namespace cz
