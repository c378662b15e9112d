// The routines around a waveform build: blank and CW fillers, the seek to an
// earlier entry's start for overlaying entries, the failure clean-up, the
// report close calls, the temporary files and the buffer self test.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/BuildInternal.h"
#include "engine/BuildStore.h"
#include "engine/EngineHost.h"
#include "engine/Random.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/PrivateFile.h"

FILE* TempIqFile = nullptr;
FILE* TempMarkerFile = nullptr;

namespace build_detail {

namespace {
std::string g_tempFailure;  // see BuildWaveform_TempFailure
}  // namespace

void LogTempFolderFailure() {
  const int error = TakeBufferWriteError();
  // One reason per build: the writes that fail after the first (the
  // release of the other slot) fail for the same one.
  if (error == 0 || !g_tempFailure.empty()) return;
  g_tempFailure = cz::FormatC("Temporary folder '%s': %s.", TempDirInUse(), std::strerror(error));
  Log_Message(2, "*** ", g_tempFailure.c_str());
}

void NoteTempFileFailure(const std::string& folder, const std::string& reason) {
  TakeBufferWriteError();
  g_tempFailure = cz::FormatC("Temporary folder '%s': %s.", folder.c_str(), reason.c_str());
  Log_Message(2, "*** ", g_tempFailure.c_str());
}

void ForgetTempFolderFailure() {
  TakeBufferWriteError();
  g_tempFailure.clear();
}

void LogInternalError(int step) {
  LogTempFolderFailure();
  // The folder's reason says what went wrong; the step was no fault of ours.
  if (!g_tempFailure.empty()) return;
  char where[64];
  cz::SnprintfC(where, sizeof where, ".\\Tessera_GenerateWave %d", step);
  Log_Message(2, "*** Internal Error: ", where);
}

void LogF(const char* fmt, ...) {
  char line[cz::kLogLineMax + 1];
  va_list ap;
  va_start(ap, fmt);
  cz::VsnprintfC(line, sizeof line, fmt, ap);
  va_end(ap);
  Log_Message(1, line);
}

std::string TempFilePath(const char* name) {
  return cz::HostPath(cz::JoinPath(TempDirInUse(), name));
}

bool SlotInUse(int slot) {
  const BufferSlot* s = GetBufferSlot(slot);
  return s != nullptr && (s->readBuffer || s->writeBuffer);
}

void WriterProgress(int percent) { EngineHost_SetTaskProgress(percent); }

int ResamplerProgress(double percent) {
  EngineHost_SetTaskProgress(percent);
  return 0;
}

}  // namespace build_detail

using namespace build_detail;

namespace {

// One poll block of filler samples (I, Q interleaved) and marker bytes.
struct FillerBlock {
  float iq[2 * kPollSamples];
  unsigned char markers[kPollSamples];
};

// Writes n copies of the pair (i, q) and, when markerSlot >= 0, n zero
// marker bytes; kind names the filler in the failure messages.
int WriteFiller(int iqSlot, int markerSlot, int32_t n, float i, float q) {
  if (n < 0) return 0;
  static FillerBlock block;
  for (int k = 0; k < kPollSamples; ++k) {
    block.iq[2 * k] = i;
    block.iq[2 * k + 1] = q;
  }
  std::memset(block.markers, 0, sizeof block.markers);
  for (int32_t k = 0; k < n; k += kPollSamples) {
    if (EngineHost_StopPressed()) {
      Log_Message(1, "*** User break during waveform creation.");
      EngineHost_NoteUserBreak();
      return 0;
    }
    EngineHost_SetTaskProgress(static_cast<int>(100.0 * k / n));
    const int32_t count = n - k < kPollSamples ? n - k : kPollSamples;
    // A build's entries written to its store: the pair and its count.
    PulseSampleSink* const sink = GetPulseSampleSink();
    if (sink != nullptr && iqSlot == kSlotTempIq && markerSlot == kSlotTempMarker) {
      if (!sink->Constant(i, q, count)) {
        Log_Message(1, "*** Failed to write pulse data.");
        return 0;
      }
      continue;
    }
    if (WriteBytes(iqSlot, 8 * count, block.iq) != 8 * count) {
      Log_Message(1, "*** Failed to write pulse data.");
      return 0;
    }
    if (markerSlot >= 0 && WriteBytes(markerSlot, count, block.markers) != count) {
      Log_Message(1, "*** Failed to write marker data.");
      return 0;
    }
    // A build's entries: the blocks are taken as the pulses' are (a filler
    // leaves the peak as it is).
    if (iqSlot == kSlotTempIq && markerSlot == kSlotTempMarker)
      Prepared().Add(reinterpret_cast<const unsigned char*>(block.iq), block.markers, count, 1.0);
  }
  return 1;
}

// Bytes in the file behind a slot (its pending writes flushed), -1 unknown.
off_t SlotFileSize(int slot) {
  const BufferSlot* s = GetBufferSlot(slot);
  struct stat st;
  if (s == nullptr || s->file == nullptr || fstat(fileno(s->file), &st) != 0) return -1;
  return st.st_size;
}

}  // namespace

int64_t FillerSampleCount(double endTime, double timeLine, double clock) {
  if (!(endTime > timeLine) || !(clock > 0.0)) return 0;
  const double n = (endTime - timeLine) * clock + 0.5;
  // Far beyond any file: kept in range here, refused by the caller.
  constexpr double kLimit = 4.0e18;
  return n < kLimit ? static_cast<int64_t>(n) : static_cast<int64_t>(kLimit);
}

int WriteBlankFiller(int iqSlot, int markerSlot, int32_t n) { return WriteFiller(iqSlot, markerSlot, n, 0.0f, 0.0f); }

int WriteCwFiller(int iqSlot, int markerSlot, int32_t n) {
  // The swap option exchanges I and Q in the temporary files.
  const bool swap = g_Settings.Project.swapIq != 0;
  return WriteFiller(iqSlot, markerSlot < 0 ? -1 : markerSlot, n, swap ? 0.0f : 1.0f, swap ? 1.0f : 0.0f);
}

// Both slots restart at the beginning of their files (pending writes
// flushed); the I/Q header is read and written back; then both continue at
// sample n, the bytes in front of it kept as they are.
int SeekSequenceStart(int iqSlot, int markerSlot, int32_t n) {
  if (n < 0) return 0;
  if (!RestartAtBegining(iqSlot) || !RestartAtBegining(markerSlot)) {
    Log_Message(1, "*** Failed to initialize buffers.");
    return 0;
  }
  char header[3];
  if (ReadBytes(iqSlot, 3, header) != 3 || WriteBytes(iqSlot, 3, header) != 3) {
    Log_Message(1, "*** Failed to initialize buffers.");
    return 0;
  }
  const off_t iqBytes = SlotFileSize(iqSlot);
  const off_t markerBytes = SlotFileSize(markerSlot);
  const off_t iqPos = 3 + 8 * static_cast<off_t>(n);
  if (iqBytes < iqPos || markerBytes < n || !RestartAtPosition(iqSlot, iqPos) ||
      !RestartAtPosition(markerSlot, n)) {
    Log_Message(1, "*** Failed to access start point in sequence.");
    return 0;
  }
  return 1;
}

void ReleaseWaveBuffers(FILE* iqFile, FILE* markerFile, FILE* iq2File, FILE* marker2File) {
  EngineHost_ShowProgressBars(0);
  bool failed = false;
  if (iqFile != nullptr && SlotInUse(kSlotTempIq) && !ReleaseBuf(kSlotTempIq)) failed = true;
  if (markerFile != nullptr && SlotInUse(kSlotTempMarker) && !ReleaseBuf(kSlotTempMarker)) failed = true;
  if (iq2File != nullptr) {
    if (SlotInUse(kSlotResampledIq)) ReleaseBuf(kSlotResampledIq);
    fclose(iq2File);
  }
  if (marker2File != nullptr) {
    if (SlotInUse(kSlotResampledMarker)) ReleaseBuf(kSlotResampledMarker);
    fclose(marker2File);
  }
  if (failed) Log_Message(1, "*** Failed to release temporary buffers.");
  LogTempFolderFailure();
  EngineHost_SetStatus("Error: Waveform Creation Failed. See Log.");
}

const char* BuildWaveform_TempFailure() { return build_detail::g_tempFailure.c_str(); }

int CloseMswReport() {
  char error[kReportErrorTextSize];
  if (!EngineHost_ReportClose(error, sizeof error)) {
    Log_Message(1, "*** An error ocured during report cleanup.");
    Log_Message(1, error);
    return 0;
  }
  return 1;
}

int CloseSequenceReport(int32_t reportOpen, int result) {
  if (reportOpen == 0) return result;
  return CloseMswReport() ? result : 0;
}

// ---- temporary files ----------------------------------------------------------

namespace build_detail {

namespace {

// The temporary files this run made, by name: only these are rewritten in
// place by later builds.
struct MadeTempFile {
  const char* name;
  cz::PrivateFileId id;
};
MadeTempFile g_madeTempFiles[] = {
    {"WV-DATA.TMP", {}}, {"MKR-DATA.TMP", {}}, {"WV-DATA2.TMP", {}}, {"MKR-DATA2.TMP", {}}};

cz::PrivateFileId* MadeId(const char* name) {
  for (MadeTempFile& f : g_madeTempFiles)
    if (std::strcmp(f.name, name) == 0) return &f.id;
  return nullptr;
}

// name in folder, the file of this run reopened (reuse) or made anew.
FILE* OpenPrivateTempFile(const std::string& folder, const char* name, bool reuse) {
  const std::string path = cz::HostPath(cz::JoinPath(folder.c_str(), name));
  std::string reason;
  FILE* file = reuse ? cz::ReopenPrivateFile(path, MadeId(name), &reason)
                     : cz::CreatePrivateFile(path, MadeId(name), &reason);
  if (file == nullptr) NoteTempFileFailure(folder, reason);
  return file;
}

}  // namespace

FILE* OpenTempSampleFile(const char* name) { return OpenPrivateTempFile(TempDirInUse(), name, true); }

int TrimTempSampleFile(FILE* file, off_t bytes) {
  if (file == nullptr) return 0;
  // A file of that length already is left alone: cutting it would wait for
  // the write-back of its last page.
  struct stat st;
  if (fstat(fileno(file), &st) == 0 && st.st_size == bytes) return 1;
  return ftruncate(fileno(file), bytes) == 0;
}

int TrimTempSampleFiles(int64_t samples) {
  const int iq = TrimTempSampleFile(TempIqFile, 3 + 8 * static_cast<off_t>(samples));
  const int markers = TrimTempSampleFile(TempMarkerFile, static_cast<off_t>(samples));
  return iq && markers;
}

int RecreateTempSampleFiles() {
  if (!ResetTempSampleFiles(TEMP_FILES_REUSE)) {
    Log_Message(1, "*** Failed to initialize temporary file.");
    return 0;
  }
  return 1;
}

}  // namespace build_detail

int ResetTempSampleFiles(TempFilesAction action, const char* dir) {
  // Whoever holds the old handles (the Sequence View) lets go of them first,
  // so that nothing reads a closed stream afterwards.
  EngineHost_TempFilesClosed();
  if (TempIqFile != nullptr) fclose(TempIqFile);
  if (TempMarkerFile != nullptr) fclose(TempMarkerFile);
  TempIqFile = nullptr;
  TempMarkerFile = nullptr;
  if (action == TEMP_FILES_CLOSE) return 1;
  const std::string folder = dir != nullptr && dir[0] != '\0' ? dir : TempDirInUse();
  const bool reuse = action == TEMP_FILES_REUSE;
  TempIqFile = build_detail::OpenPrivateTempFile(folder, "WV-DATA.TMP", reuse);
  if (TempIqFile != nullptr) TempMarkerFile = build_detail::OpenPrivateTempFile(folder, "MKR-DATA.TMP", reuse);
  return TempIqFile != nullptr && TempMarkerFile != nullptr ? 1 : 0;
}

// ---- buffer self test -----------------------------------------------------------

namespace {

// Reads every byte of the bound slot and compares it with expect(k); with
// rewrite, writes each byte's complement back in place.
template <typename Expect>
int CheckPattern(int slot, int32_t count, bool rewrite, Expect expect) {
  for (int32_t k = 0; k < count; ++k) {
    unsigned char b = 0;
    if (ReadBytes(slot, 1, &b) != 1) {
      Log_Message(1, "*** Failed to read temporary file buffer.");
      return 0;
    }
    if (rewrite) {
      const unsigned char c = static_cast<unsigned char>(~b);
      if (WriteBytes(slot, 1, &c) != 1) {
        Log_Message(1, "*** Cannot write to buffer.");
        return 0;
      }
    }
    if (b != expect(k)) {
      Log_Message(1, "*** Invalid data read from file buffer.");
      return 0;
    }
  }
  return 1;
}

}  // namespace

int TestTempBuffers(int slot) {
  constexpr int32_t kPatternBytes = 24003;
  std::vector<unsigned char> pattern(kPatternBytes);
  for (auto& b : pattern) b = static_cast<unsigned char>(static_cast<int>(RandomInRange(0.0, 255.0)));

  if (TempIqFile == nullptr || !InitBuf(slot, TempIqFile, 1, 1)) {
    Log_Message(1, "*** Init of temporary file buffer failed.");
    return 0;
  }
  // A write the disk refuses (a full temporary folder) is named with the
  // folder and the system's reason, as a build names it.
  ForgetTempFolderFailure();
  for (int32_t k = 0; k < kPatternBytes; ++k) {
    if (WriteBytes(slot, 1, &pattern[k]) != 1) {
      Log_Message(1, "*** Failed to write temporary file buffer.");
      ReleaseBuf(slot);
      LogTempFolderFailure();
      return 0;
    }
  }
  if (!ReleaseBuf(slot)) {
    Log_Message(1, "*** Failed to write temporary file buffer.");
    LogTempFolderFailure();
    return 0;
  }

  if (!InitBuf(slot, TempIqFile, 1, 1)) {
    Log_Message(1, "*** Failed to initialize buffer.");
    return 0;
  }
  int ok = CheckPattern(slot, kPatternBytes, true, [&](int32_t k) { return pattern[k]; });
  ReleaseBuf(slot);
  if (!ok) return 0;

  if (!InitBuf(slot, TempIqFile, 1, 1)) {
    Log_Message(1, "*** Failed to initialize buffer.");
    return 0;
  }
  ok = CheckPattern(slot, kPatternBytes, false,
                    [&](int32_t k) { return static_cast<unsigned char>(~pattern[k]); });
  ReleaseBuf(slot);
  return ok;
}
