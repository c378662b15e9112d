#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace cz::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "cadenza-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

std::string BuildDir() {
  const char* b = std::getenv("CADENZA_BUILD_DIR");
  return b && *b ? std::string(b) : std::string(CADENZA_TEST_BUILD_DIR);
}

std::string SourceDir() {
  const char* s = std::getenv("CADENZA_SOURCE_DIR");
  return s && *s ? std::string(s) : std::string(CADENZA_TEST_SOURCE_DIR);
}

}  // namespace cz::test
