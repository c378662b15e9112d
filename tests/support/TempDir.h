// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace cz::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing '/'.
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole-file helpers for assertions.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The build folder and the source folder: CADENZA_BUILD_DIR and
// CADENZA_SOURCE_DIR when set (CTest sets them), else the folders this test
// program was configured with, so that it runs from any working folder.
std::string BuildDir();
std::string SourceDir();

}  // namespace cz::test
