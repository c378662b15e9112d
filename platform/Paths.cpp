#include "platform/Paths.h"

#include <cctype>

namespace cz {

namespace {
bool HasDriveLetter(std::string_view p) {
  return p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
}
}  // namespace

std::string HostPath(std::string_view stored) {
  if (!stored.empty() && stored[0] == '/') return std::string(stored);
  std::string out;
  out.reserve(stored.size() + 1);
  if (HasDriveLetter(stored)) {
    stored.remove_prefix(2);
    if (stored.empty() || (stored[0] != '\\' && stored[0] != '/')) out.push_back('/');
  }
  for (char c : stored) out.push_back(c == '\\' ? '/' : c);
  return out;
}

std::string RelativeHostPath(std::string_view stored) {
  std::string out(stored);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

bool IsAbsolutePath(std::string_view path) {
  if (path.empty()) return false;
  if (path[0] == '/' || path[0] == '\\') return true;
  return HasDriveLetter(path);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (IsAbsolutePath(name) || folder.empty()) return HostPath(name);
  std::string out = WithTrailingSlash(folder);
  std::string tail = HostPath(name);
  std::size_t skip = 0;
  while (skip < tail.size() && tail[skip] == '/') ++skip;
  out.append(tail, skip, std::string::npos);
  return out;
}

std::string DirName(std::string_view path) {
  std::string host = HostPath(path);
  std::size_t slash = host.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return "/";
  return host.substr(0, slash);
}

std::string BaseName(std::string_view path) {
  std::string host = HostPath(path);
  std::size_t slash = host.find_last_of('/');
  return slash == std::string::npos ? host : host.substr(slash + 1);
}

std::string WithTrailingSlash(std::string_view folder) {
  std::string out = HostPath(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out;
}

}  // namespace cz
