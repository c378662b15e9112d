// In-memory instrument file system with drive-style and Unix-style paths.
#include "tools/cadenza-sim/SimFileSystem.h"

#include <cctype>

namespace cz::sim {

namespace {

bool IsDriveKey(const std::string& key) { return key.size() >= 3 && key[1] == ':' && key[2] == '/'; }

// "D:/" for drive keys, "/" otherwise.
std::string RootOf(const std::string& key) { return IsDriveKey(key) ? key.substr(0, 3) : std::string("/"); }

std::vector<std::string> Components(const std::string& text) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : text) {
    if (c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

}  // namespace

bool SimGlobMatch(const std::string& pattern, const std::string& name) {
  std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  };
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string SimFileSystem::Parent(const std::string& key) {
  const std::string root = RootOf(key);
  if (key.size() <= root.size()) return root;
  std::size_t slash = key.rfind('/');
  if (slash == std::string::npos || slash < root.size()) return root;
  return key.substr(0, slash);
}

std::string SimFileSystem::BaseName(const std::string& key) {
  const std::string root = RootOf(key);
  if (key.size() <= root.size()) return std::string();
  return key.substr(key.rfind('/') + 1);
}

std::string SimFileSystem::Display(const std::string& key) {
  if (!IsDriveKey(key)) return key;
  std::string out = key;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

void SimFileSystem::AddDirectories(const std::string& key) {
  std::string root = RootOf(key);
  nodes_[root].isDir = true;
  std::string cur = root;
  for (const std::string& part : Components(key.substr(root.size()))) {
    cur += (cur.back() == '/' ? "" : "/") + part;
    nodes_[cur].isDir = true;
  }
}

bool SimFileSystem::Resolve(const std::string& path, std::string* key) const {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty()) return false;
  std::string base;
  std::string rest;
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    std::string drive = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])))) + ":/";
    rest = p.substr(2);
    // A bare drive ("D:") names the drive's root, as the instruments read it.
    if (rest.empty() || rest[0] == '/')
      base = drive;
    else
      base = cwd_.compare(0, 3, drive) == 0 ? cwd_ : drive;
  } else if (p[0] == '/') {
    base = RootOf(cwd_);
    rest = p;
  } else {
    base = cwd_;
    rest = p;
  }
  const std::string root = RootOf(base);
  std::vector<std::string> parts = Components(base.substr(root.size()));
  for (const std::string& c : Components(rest)) {
    if (c == ".") continue;
    if (c == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(c);
  }
  std::string out = root;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
  *key = out;
  return true;
}

bool SimFileSystem::IsDir(const std::string& key) const {
  auto it = nodes_.find(key);
  return it != nodes_.end() && it->second.isDir;
}

bool SimFileSystem::IsFile(const std::string& key) const {
  auto it = nodes_.find(key);
  return it != nodes_.end() && !it->second.isDir;
}

bool SimFileSystem::MakeDir(const std::string& key) {
  if (nodes_.count(key) || !IsDir(Parent(key)) || BaseName(key).empty()) return false;
  nodes_[key].isDir = true;
  return true;
}

bool SimFileSystem::RemoveDir(const std::string& key) {
  if (!IsDir(key) || BaseName(key).empty()) return false;
  if (List(key).size() > 2) return false;  // more than "." and ".."
  nodes_.erase(key);
  if (cwd_ == key) cwd_ = Parent(key);
  return true;
}

bool SimFileSystem::Delete(const std::string& key) {
  auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.isDir) return false;
  used_ -= it->second.data.size();
  nodes_.erase(it);
  return true;
}

bool SimFileSystem::WriteFile(const std::string& key, std::string data) {
  if (!IsDir(Parent(key)) || IsDir(key) || BaseName(key).empty()) return false;
  uint64_t old = IsFile(key) ? nodes_[key].data.size() : 0;
  if (data.size() > old && data.size() - old > FreeBytes()) return false;
  used_ = used_ - old + data.size();
  Node& n = nodes_[key];
  n.isDir = false;
  n.data = std::move(data);
  return true;
}

const std::string* SimFileSystem::ReadFile(const std::string& key) const {
  auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.isDir) return nullptr;
  return &it->second.data;
}

std::vector<SimDirEntry> SimFileSystem::List(const std::string& dirKey) const {
  std::vector<SimDirEntry> out;
  out.push_back({".", true, 0});
  out.push_back({"..", true, 0});
  const std::string prefix = dirKey.back() == '/' ? dirKey : dirKey + "/";
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
    if (it->first.compare(0, prefix.size(), prefix) != 0) break;
    const std::string name = it->first.substr(prefix.size());
    if (name.empty() || name.find('/') != std::string::npos) continue;
    out.push_back({name, it->second.isDir, it->second.isDir ? 0 : it->second.data.size()});
  }
  return out;
}

}  // namespace cz::sim
