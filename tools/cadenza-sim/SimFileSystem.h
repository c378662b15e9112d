// The simulated instrument's file system: directories and files held in
// memory, addressed by drive-style ("D:\waves\a.wv") or Unix-style
// ("/var/user/a.wv") paths. Internally every path is a key with '/' as
// separator: "D:/waves/a.wv" for drive paths, "/var/user/a.wv" otherwise.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cz::sim {

struct SimDirEntry {
  std::string name;
  bool isDir = false;
  uint64_t size = 0;
};

class SimFileSystem {
 public:
  explicit SimFileSystem(uint64_t capacityBytes) : capacity_(capacityBytes) {}

  // Creates a directory and all its parents ("D:/", "/var/nerrin").
  void AddDirectories(const std::string& key);

  // Resolves an instrument path against the current directory into a key.
  // "..", "." and repeated separators are folded; false for an empty path.
  bool Resolve(const std::string& path, std::string* key) const;

  // The instrument's spelling of a key: "D:\waves" or "/var/user".
  static std::string Display(const std::string& key);

  bool IsDir(const std::string& key) const;
  bool IsFile(const std::string& key) const;

  // Each returns false when the operation is not possible (missing parent,
  // name in use, directory not empty, root, not enough free space).
  bool MakeDir(const std::string& key);
  bool RemoveDir(const std::string& key);
  bool Delete(const std::string& key);
  bool WriteFile(const std::string& key, std::string data);

  // The file's bytes, nullptr when there is no such file.
  const std::string* ReadFile(const std::string& key) const;

  // Entries of a directory: ".", ".." and then the names in byte order.
  std::vector<SimDirEntry> List(const std::string& dirKey) const;

  uint64_t UsedBytes() const { return used_; }
  uint64_t FreeBytes() const { return used_ >= capacity_ ? 0 : capacity_ - used_; }

  const std::string& Cwd() const { return cwd_; }
  void SetCwd(const std::string& key) { cwd_ = key; }

  // The parent key of a key and its last component ("D:/a/b" -> "D:/a", "b").
  static std::string Parent(const std::string& key);
  static std::string BaseName(const std::string& key);

 private:
  struct Node {
    bool isDir = false;
    std::string data;
  };
  std::map<std::string, Node> nodes_;
  std::string cwd_ = "/";
  uint64_t capacity_;
  uint64_t used_ = 0;
};

// Case-insensitive glob match ('*' any run, '?' one character).
bool SimGlobMatch(const std::string& pattern, const std::string& name);

}  // namespace cz::sim
