// The waveform-file library: the frame (initialisation, version, progress
// hook), the waveform file writer and the tag reader, plus the helpers that
// every writer of the library shares (int16 conversion, DATE tag, marker run
// lists, "<name>.part" output files).
//
// Waveform file ("{TYPE: Kaldra-WV,0}"): ASCII tags without separators,
//   {TYPE: Kaldra-WV,0}{COMMENT:...}{COPYRIGHT:...}{DATE:yyyy-mm-dd;hh:mm:ss}
//   {CLOCK:%4.3f}{CLOCK MARKER:%4.3f}{LEVEL OFFS:%f,%f}{SAMPLES:%ld}
//   [{CONTROL LENGTH:%ld}{MARKER LIST 1: 0:0;100:1;...}..{MARKER LIST 4: ...}]
//   {WAVEFORM-<4*samples+1>: #<int16 I, int16 Q little-endian per sample>}
// COMMENT and COPYRIGHT only when given and not empty; the marker lists only
// with exactly one marker source.
//
// All functions report 1 success / 0 failure and log the reason ("*** ...").
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// ---- frame ------------------------------------------------------------------

// Library version 2.20; WaveLib_Init accepts requested versions up to 2.2.
inline constexpr int kWaveLibVersionMajor = 2;
inline constexpr int kWaveLibVersionMinor = 20;
// Size an errorText buffer of WaveLib_Init must at least have.
inline constexpr int kWaveLibErrorTextBytes = 44;

// Progress in percent 0..100, called synchronously inside a writer.
using WaveProgressHookFn = void (*)(int percent);

// Checks the requested version (above 2.2: errorText "*** Init failed:
// E00010 (Incorrect version)", result 0), seeds the noise generator, empties
// errorText, clears the progress hook, resets the ten buffer slots and marks
// the buffered-file unit initialised.
int WaveLib_Init(char* errorText, double requestedVersion);
// Stores 2 and 20.
void WaveLib_GetVersion(int* major, int* minor);
void WaveLib_SetProgressHook(WaveProgressHookFn hook);
void WaveLib_ClearProgressHook();

// ---- waveform file writer -----------------------------------------------------

// What a caller hands to the writer. Samples come either from iData and qData
// (no temporary I/Q file) or from a temporary I/Q file with both arrays null;
// markers from `markers` or from a temporary marker file (exactly one of the
// two, else no marker lists).
struct WaveDescriptor {
  double arbClock = 0.0;        // sample clock, Hz (CLOCK tag)
  double markerClock = 0.0;     // marker clock, Hz (CLOCK MARKER tag)
  int32_t samples = 0;          // I/Q samples and marker bytes
  double rmsOffset = 0.0;       // dB, 20*log10(1/RMS) at full scale 1.0
  double peakOffset = 0.0;      // dB, 20*log10(1/peak magnitude)
  const char* comment = nullptr;    // COMMENT tag when not empty, written as is
  const char* copyright = nullptr;  // COPYRIGHT tag when not empty
  int32_t statisticsValid = 0;  // non-zero: the offsets are used as given
  const float* iData = nullptr;  // `samples` I values, full scale 1.0
  const float* qData = nullptr;  // `samples` Q values
  const unsigned char* markers = nullptr;  // `samples` marker bytes
};

// Writes the waveform file `path` ("<path>.part" first, renamed over `path`
// only when complete; on failure the partial file is removed and an existing
// file stays as it was). tempIqFile / tempMarkerFile: open temporary files
// (read through buffer slots 0 and 3) or null. Without statisticsValid the
// offsets are computed from the in-memory arrays and stored into *d.
int WaveLib_WriteWaveform(WaveDescriptor* d, const char* path, FILE* tempIqFile, FILE* tempMarkerFile);

// ---- tag reader ---------------------------------------------------------------

inline constexpr int kWaveInfoTextBytes = 1024;

// Filled by WaveLib_GetFileInfo; the start values are set by the reader.
struct WaveFileInfo {
  char fileName[kWaveInfoTextBytes];   // name without its directory
  int64_t fileSize;                    // bytes
  char fileDate[kWaveInfoTextBytes];   // creation (else modification) date, local, "%04d-%02d-%02d"
  char typeText[kWaveInfoTextBytes];   // "Kaldra waveform file", ... or "unknown file format"
  char comment[kWaveInfoTextBytes];    // COMMENT tag value
  char copyright[kWaveInfoTextBytes];  // COPYRIGHT tag value
  char date[kWaveInfoTextBytes];       // DATE tag value as written
  int32_t samples;                     // SAMPLES tag, or derived from the block; -1
  int32_t blockLength;                 // number in the data block's tag; -1
  double clock;                        // CLOCK tag, Hz; -1.0
  double playTime;                     // samples / clock, s; -1.0
  double peakOffset;                   // second LEVEL OFFS number, dB; 0.0
  double rmsOffset;                    // first LEVEL OFFS number, dB; 0.0
  int32_t blockKind;                   // 0 WAVEFORM, 1 UWAVEFORM or IWAVEFORM; 0
};

// Reads the tag header of a waveform, data-list or control-list file up to
// its first data block. 1 when the file was found and opened (whatever its
// content), 0 otherwise ("*** File I/O error.").
int WaveLib_GetFileInfo(const char* path, WaveFileInfo* info);

// ---- shared by the writers of this library --------------------------------------

// Reports progress through the hook, when one is set.
void WaveLib_Progress(int percent);

// Waveform sample conversion: -32767 below -1, 32767 above 1 and for NaN,
// else trunc(x*32767 + 0.5) toward zero (1.0 -> 32767, -1.0 -> -32766).
inline int16_t WaveLib_SampleToInt16(float x) {
  if (x < -1.0f) return -32767;
  if (!(x <= 1.0f)) return 32767;
  return static_cast<int16_t>(static_cast<int32_t>(static_cast<double>(x) * 32767.0 + 0.5));
}

// "{DATE:%04d-%02d-%02d;%02d:%02d:%02d}" with the local time now; returns
// the length written into buf (buf holds at least 32 bytes).
int WaveLib_FormatDateTag(char* buf, int size);

// Output file written under "<path>.part" and renamed over path by Commit.
// Without Commit (failure, early return) the partial file is closed and
// removed; an existing file at path is never touched before Commit.
class WavePartFile {
 public:
  WavePartFile() = default;
  ~WavePartFile();
  WavePartFile(const WavePartFile&) = delete;
  WavePartFile& operator=(const WavePartFile&) = delete;

  // Creates "<path>.part" for binary writing; 0 when it cannot be created.
  int Open(const char* path);
  FILE* file() const { return file_; }
  // Writes n bytes; 0 on a short write (the error is remembered).
  int Write(const void* data, std::size_t n);
  int WriteText(const char* text);
  // A write has failed; later writes are dropped and Commit fails.
  bool failed() const { return failed_; }
  // Flushes, closes and renames over the destination; 0 on any failure
  // (then the partial file is removed).
  int Commit();

 private:
  void Discard();
  FILE* file_ = nullptr;
  std::string partPath_;
  std::string destPath_;
  bool failed_ = false;
};

// Run list of one bit of a marker or control byte stream, written as
//   <open tag>idx:state;idx:state;...}
// (an entry at index 0, then one per change of state; "%ld:%d" entries).
// Feed the bytes in file order, in blocks of any size.
class WaveRunListWriter {
 public:
  explicit WaveRunListWriter(WavePartFile& out) : out_(out) {}
  // Writes openTag (for example "{MARKER LIST 1: ") and starts a list over
  // the bits of `mask`.
  int Begin(const char* openTag, unsigned mask);
  void Feed(const unsigned char* bytes, std::size_t n);
  // Writes the entries still buffered and "}"; 0 on a write failure.
  int End();

 private:
  void Entry(int64_t index, int state);
  int FlushText();
  WavePartFile& out_;
  unsigned mask_ = 0;
  int previous_ = -1;  // -1 before the first entry
  int64_t index_ = 0;
  std::string text_;
};
