// Temporary sample files of the run and the buffer self test.
#include "app/TempFiles.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "engine/Random.h"
#include "platform/Paths.h"

// Weak: the waveform builder, which writes and reads these files, owns the
// same two handles and the self test; its definitions win when it is linked.
__attribute__((weak)) FILE* TempIqFile = nullptr;
__attribute__((weak)) FILE* TempMarkerFile = nullptr;
cz::Text<256> ActiveTempDir;

namespace {

constexpr const char* kTempFileNames[] = {"WV-DATA.TMP", "WV-DATA2.TMP", "MKR-DATA.TMP", "MKR-DATA2.TMP"};
constexpr int kSelfTestBytes = 24003;

std::string TempPath(const char* dir, const char* name) { return cz::HostPath(cz::JoinPath(dir, name)); }

// Fails the self test: logs, releases the slot.
int SelfTestFails(int slot, const char* message) {
  Log_Message(1, message);
  ReleaseBuf(slot);
  return 0;
}

}  // namespace

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

__attribute__((weak)) int TestTempBuffers(int slot) {
  std::vector<unsigned char> pattern(kSelfTestBytes);
  for (unsigned char& b : pattern) b = static_cast<unsigned char>(static_cast<int>(RandomInRange(0.0, 255.0)));

  if (!InitBuf(slot, TempIqFile, 1, 1)) {
    Log_Message(1, "*** Init of temporary file buffer failed.");
    return 0;
  }
  for (unsigned char b : pattern)
    if (WriteBytes(slot, 1, &b) != 1) return SelfTestFails(slot, "*** Failed to write temporary file buffer.");
  ReleaseBuf(slot);

  // In place: each byte read is rewritten as its complement where it came from.
  if (!InitBuf(slot, TempIqFile, 1, 1)) return SelfTestFails(slot, "*** Failed to initialize buffer.");
  for (unsigned char expected : pattern) {
    unsigned char b = 0;
    if (ReadBytes(slot, 1, &b) != 1) return SelfTestFails(slot, "*** Failed to read temporary file buffer.");
    const unsigned char complement = static_cast<unsigned char>(~b);
    if (WriteBytes(slot, 1, &complement) != 1) return SelfTestFails(slot, "*** Cannot write to buffer.");
    if (b != expected) return SelfTestFails(slot, "*** Invalid data read from file buffer.");
  }
  ReleaseBuf(slot);

  if (!InitBuf(slot, TempIqFile, 1, 1)) return SelfTestFails(slot, "*** Failed to initialize buffer.");
  for (unsigned char expected : pattern) {
    unsigned char b = 0;
    if (ReadBytes(slot, 1, &b) != 1) return SelfTestFails(slot, "*** Failed to read temporary file buffer.");
    if (b != static_cast<unsigned char>(~expected))
      return SelfTestFails(slot, "*** Invalid data read from file buffer.");
  }
  ReleaseBuf(slot);
  return 1;
}
