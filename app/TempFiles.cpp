// Temporary sample files of the run and the buffer self test.
#include "app/TempFiles.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/Settings.h"
#include "engine/EngineHost.h"
#include "engine/Random.h"
#include "platform/Paths.h"

// The two file handles and the buffer self test belong to the waveform
// builder, which writes and reads these files.
cz::Text<256> ActiveTempDir;

namespace {

constexpr const char* kTempFileNames[] = {"WV-DATA.TMP", "WV-DATA2.TMP", "MKR-DATA.TMP", "MKR-DATA2.TMP"};

std::string TempPath(const char* dir, const char* name) { return cz::HostPath(cz::JoinPath(dir, name)); }

}  // namespace

const char* TempDirInUse() { return !ActiveTempDir.empty() ? ActiveTempDir.c_str() : g_Settings.TempDir.c_str(); }

int CreateTempFiles(const char* tempDir) {
  ActiveTempDir.Clear();
  if (tempDir == nullptr || tempDir[0] == '\0') return 0;
  std::error_code ec;
  const std::filesystem::path dir(cz::HostPath(tempDir));
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir, ec)) {
    Log_Message(3, "*** Cannot create directory '", tempDir, "'.");
    return 0;
  }
  ActiveTempDir = tempDir;
  Log_Message(3, "Creating temporary files in '", tempDir, "'...");
  TempIqFile = std::fopen(TempPath(tempDir, "WV-DATA.TMP").c_str(), "w+b");
  TempMarkerFile = std::fopen(TempPath(tempDir, "MKR-DATA.TMP").c_str(), "w+b");
  return TempIqFile != nullptr && TempMarkerFile != nullptr ? 1 : 0;
}

void CloseTempFiles() {
  EngineHost_TempFilesClosed();
  if (TempIqFile != nullptr) std::fclose(TempIqFile);
  if (TempMarkerFile != nullptr) std::fclose(TempMarkerFile);
  TempIqFile = nullptr;
  TempMarkerFile = nullptr;
}

void DeleteTempFiles() {
  // Without a directory of this run there is nothing of ours to delete.
  if (ActiveTempDir.empty()) return;
  for (const char* name : kTempFileNames) {
    std::error_code ec;
    std::filesystem::remove(TempPath(ActiveTempDir.c_str(), name), ec);
  }
}
