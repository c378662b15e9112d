// The waveform-file library: the frame (initialisation, version, progress
// hook), the waveform file writer and the tag reader, plus the helpers that
// every writer of the library shares (int16 conversion, DATE tag, marker run
// lists, temporary output files).
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

#include <limits>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/FileReplace.h"

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
// Called between the blocks the writer moves (samples, marker bytes), far
// more often than the progress hook and without a value: a user interface
// keeps its windows painted there. Its result is not used; nothing in the
// file depends on it. nullptr: none (the default).
using WaveIdleHookFn = int (*)();
void WaveLib_SetIdleHook(WaveIdleHookFn hook);
void WaveLib_Idle();

// ---- waveform file writer -----------------------------------------------------

// One change of a marker byte stream: from sample `index` on (up to the
// next change) the bytes are `byte`.
struct WaveMarkerChange {
  int32_t index;
  uint8_t byte;
};

// What a caller hands to the writer. Samples come either from iData and qData
// (no temporary I/Q file) or from a temporary I/Q file with both arrays null;
// markers from `markers` or from a temporary marker file (exactly one of the
// two, else no marker lists).
//
// A caller that formed the file's data while it wrote the temporary files
// may hand it over ready (WaveLib_WriteWaveform only): `iqInt16`, the
// samples of the temporary I/Q file already converted, and `markerChanges`,
// the temporary marker file's bytes as their changes (the first at index 0,
// bits 0-3 significant). Each is used instead of reading its file; the files
// are still passed and select the sources and log lines as without them.
struct WaveDescriptor {
  double arbClock = 0.0;        // sample clock, Hz (CLOCK tag)
  double markerClock = 0.0;     // marker clock, Hz (CLOCK MARKER tag)
  int32_t samples = 0;          // I/Q samples and marker bytes
  double rmsOffset = 0.0;       // dB, 20*log10(1/RMS) at full scale 1.0
  double peakOffset = 0.0;      // dB, 20*log10(1/peak magnitude)
  // dB, peak over RMS of the samples when the caller knows it (with "PEP" the
  // RMS offset above is the peak's); NaN: the difference of the two offsets.
  double crestFactor = std::numeric_limits<double>::quiet_NaN();
  const char* comment = nullptr;    // COMMENT tag when not empty, written as is
  const char* copyright = nullptr;  // COPYRIGHT tag when not empty
  int32_t statisticsValid = 0;  // non-zero: the offsets are used as given
  const float* iData = nullptr;  // `samples` I values, full scale 1.0
  const float* qData = nullptr;  // `samples` Q values
  const unsigned char* markers = nullptr;  // `samples` marker bytes
  const int16_t* iqInt16 = nullptr;        // `samples` int16 I/Q pairs, or null
  const WaveMarkerChange* markerChanges = nullptr;  // or null
  int64_t markerChangeCount = 0;
};

// Writes the waveform file `path` (a temporary file beside it first, renamed
// over `path` only when complete; on failure the partial file is removed and an existing
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
  int64_t samples;                     // SAMPLES tag, or derived from the block; -1
  int64_t blockLength;                 // number in the data block's tag; -1
  double clock;                        // CLOCK tag, Hz; -1.0
  double playTime;                     // samples / clock, s; -1.0 unless both are known and the clock > 0
  double peakOffset;                   // second LEVEL OFFS number, dB; 0.0
  double rmsOffset;                    // first LEVEL OFFS number, dB; 0.0
  int32_t blockKind;                   // 0 WAVEFORM, 1 UWAVEFORM or IWAVEFORM; 0
  int64_t blockStart;                  // file offset of the data block's "#"; -1
};

// Reads the tag header of a waveform, data-list or control-list file up to
// its first data block. 1 when the file was found and opened (whatever its
// content), 0 otherwise ("*** File I/O error.").
int WaveLib_GetFileInfo(const char* path, WaveFileInfo* info);

// Why the waveform file whose header WaveLib_GetFileInfo read into info is
// cut short, as a power cut while it was being written may leave it: "it is
// empty", "it holds no data block", "its data block ends at byte <n>, past
// its end at byte <m>"; empty for a file that holds its whole data block.
std::string WaveLib_CutShortReason(const WaveFileInfo& info);
// The log line (without "*** ") that refuses such a file, naming it.
std::string WaveLib_CutShortText(const char* path, const std::string& reason);

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

// `count` float32 I/Q pairs (8 little-endian bytes each, any alignment) to
// int16 pairs, each value as WaveLib_SampleToInt16 converts it.
void WaveLib_PairsToInt16(const unsigned char* iq, int16_t* out, int32_t count);

// "{DATE:%04d-%02d-%02d;%02d:%02d:%02d}" with the local time now; returns
// the length written into buf (buf holds at least 32 bytes).
int WaveLib_FormatDateTag(char* buf, int size);

// "{LEVEL OFFS:<rms>,<peak>}" (dB, "%f"). An offset that prints as zero is
// written 0.000000, never -0.000000 (a level a rounding error above 1).
std::string WaveLib_LevelOffsTag(double rmsOffset, double peakOffset);

// "{<name>" + text + "}" for a text tag (name with its colon and any blank,
// "COMMENT:"). Braces of text that pair are written as they are; an
// unpaired one would end the tag early or swallow the tags after it, so it
// is written as a parenthesis, and the log says so.
std::string WaveLib_TextTag(const char* name, const char* text);

// Copies a text read from a file into dst (capacity cap, cut on a
// character boundary) for a text tag: an unpaired brace becomes a
// parenthesis, and the log names `what` ("COMMENT line 3") with the count.
void WaveLib_TakeTagText(char* dst, std::size_t cap, const char* text, const char* what);
template <std::size_t N>
inline void WaveLib_TakeTagText(char (&dst)[N], const char* text, const char* what) {
  WaveLib_TakeTagText(dst, N, text, what);
}

// Output file written to a temporary file beside the real destination (links
// followed, see cz::ReplacingFile) and renamed over it by Commit, which
// leaves its flush to the disk to a short-lived thread. Without
// Commit (failure, early return) the partial file is closed and removed; an
// existing file at path is never touched before Commit, and a read-only one
// is not replaced. Open and Commit log the system's reason of a failure.
class WavePartFile {
 public:
  WavePartFile() = default;
  ~WavePartFile();
  WavePartFile(const WavePartFile&) = delete;
  WavePartFile& operator=(const WavePartFile&) = delete;

  // Creates the temporary file for binary writing; 0 when it cannot be created.
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
  void StartWriteBack();
  std::unique_ptr<char[]> buffer_;  // the stream's buffer (outlives the stream)
  cz::ReplacingFile out_;
  FILE* file_ = nullptr;
  std::string destPath_;
  bool failed_ = false;
  int writeError_ = 0;      // errno of the first failed write
  bool replacing_ = false;  // the destination exists
  int64_t written_ = 0;     // bytes handed to the file
  int64_t writeBack_ = 0;   // bytes whose write-back has been started
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
  // The bytes from `index` on are `byte` (in place of Feed, changes in
  // index order, the first at index 0).
  void Change(int64_t index, unsigned byte);
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

// The waveform file of WaveLib_WriteWaveform written in order by a caller that forms its int16 samples
// as it goes: Begin writes everything in front of the samples (the
// descriptor's statistics must be valid, its marker lists come from
// `markers`, from `markerChanges` or from tempMarkerFile, as above), Append
// takes the next int16 I/Q pairs, Finish ends the block and puts the file in
// place of `path`. The tags, the log lines and the progress are those of
// WaveLib_WriteWaveform. A writer that is not finished leaves `path` as it
// was.
class WaveFileWriter {
 public:
  int Begin(WaveDescriptor* d, const char* path, FILE* tempMarkerFile);
  // 0 after a failed write (Finish then reports it) or past `samples`.
  int Append(const int16_t* iq, int32_t samples);
  int Finish();

 private:
  WavePartFile out_;
  std::string path_;
  int32_t samples_ = 0;
  int64_t appended_ = 0;
  int32_t step_ = 1;  // progress: 50 + 12k at sample k*step_
  int next_ = 0;
  bool begun_ = false;
};

// ---- data-list, control-list and other waveform writers ---------------------------
//
// Data-list file ("{TYPE: Kaldra-DL,0}"), symbol data of a digital modulation:
//   {TYPE: Kaldra-DL,0}{COMMENT: text}{COPYRIGHT: text}{DATE:...}
//   {DATA BITLENGTH: <bits>}{DATA LIST-<bytes+1>: #<data bytes>}
// Control-list file ("{TYPE: Kaldra-CL,0}"), eight run lists over the bits of
// one control byte per entry (bit 0..3 markers 1..4, 4 burst, 5 level
// attenuation, 6 CW mode, 7 hop):
//   {TYPE: Kaldra-CL,0}{COMMENT: text}{COPYRIGHT: text}{DATE:...}
//   {CONTROL LENGTH: <n>}{MARKER LIST 1: ...}..{MARKER LIST 4: ...}
//   {BURST LIST: ...}{LEVATT LIST 1: ...}{CW MODE LIST: ...}{HOP LIST: ...}
// A temporary data-list file holds the tag "DLB" and then the data bytes.

// Control byte bits (control lists, data-list import).
inline constexpr unsigned kControlBurst = 0x10;
inline constexpr unsigned kControlLevelAtt = 0x20;
inline constexpr unsigned kControlCwMode = 0x40;
inline constexpr unsigned kControlHop = 0x80;

struct DataListDescriptor {
  uint32_t bitLength = 0;      // valid data bits
  uint32_t byteCount = 0;      // data bytes
  uint32_t bitsPerSymbol = 0;  // not read by the writer; set by the data-list import
  uint32_t symbolCount = 0;    // not read by the writer; set by the data-list import
  const char* comment = nullptr;    // null counts as empty
  const char* copyright = nullptr;
  const unsigned char* data = nullptr;  // byteCount bytes, or null (temporary file)
};

struct ControlListDescriptor {
  uint32_t length = 0;  // control entries
  const char* comment = nullptr;
  const char* copyright = nullptr;
  const unsigned char* control = nullptr;  // length bytes, or null (temporary file)
};

// Data bytes from `data` without a temporary file, or from tempDataFile
// ("DLB" + bytes, read through slot 0) with `data` null; with both or
// neither the list is written empty.
int WaveLib_WriteDataList(const DataListDescriptor* d, const char* path, FILE* tempDataFile);
// Control bytes from `control` without a marker file, or from tempMarkerFile
// (slot 3, one pass per list) with `control` null; with neither the burst
// list is "0:1;<length>:0" and the other lists are empty.
int WaveLib_WriteControlList(const ControlListDescriptor* d, const char* path, FILE* tempMarkerFile);
// Waveform file of the second instrument family ("{TYPE: Lumbra-WV,0}"),
// otherwise laid out as WaveLib_WriteWaveform's.
int WaveLib_WriteWaveformB(WaveDescriptor* d, const char* path, FILE* tempIqFile, FILE* tempMarkerFile);
// Untyped waveform file ("{TYPE:WV,0}") of in-memory samples as 16-bit
// offset binary: trunc(x*32000 + 32768 + 0.5) AND 0xFFFC (0.0 -> 32768,
// 1.0 -> 64768, -1.0 -> 768).
int WaveLib_WriteLegacyWaveform(const WaveDescriptor* d, const char* path);
inline uint16_t WaveLib_SampleToLegacy(float x) {
  if (x < -1.0f) return 768;
  if (!(x <= 1.0f)) return 64768;
  return static_cast<uint16_t>(static_cast<int32_t>(static_cast<double>(x) * 32000.0 + 32768.0 + 0.5) & 0xFFFC);
}

// Raw float sample file: a 40-byte little-endian header, then `count`
// float32 I values, then `count` float32 Q values.
//   offset 0  uint32  header size, 40
//          4  int32   count
//          8  char[4] signature "CZF" and a NUL
//         12  double  0.0
//         20  uint32  flags (the caller's word)
//         24  uint32  0
//         28  double  rate (the caller's integer)
//         36  uint32  0
inline constexpr uint32_t kFloatFileHeaderBytes = 40;
inline constexpr char kFloatFileSignature[4] = {'C', 'Z', 'F', '\0'};
int WaveLib_WriteFloatFile(const char* path, const float* iData, const float* qData, int32_t count, int32_t rate,
                           uint32_t flags);

// ---- importers and full reader ------------------------------------------------------

// Longest text line an importer accepts, characters without the line end.
inline constexpr int kImportLineMax = 511;

// Number formats of text imports (ParseImportNumber), and the binary I/Q file.
enum WaveImportFormat {
  kImportFloat = 1,          // "%e", the value as read
  kImportHex16Unsigned = 2,  // "%x", 0..FFFF:  (v - 0.5) / 32767 - 1
  kImportInt14Unsigned = 3,  // "%d", 0..16383: (v - 0.5) / 8191 - 1
  kImportInt16Unsigned = 4,  // "%d", 0..65535: (v - 0.5) / 32767 - 1
  kImportHex16Signed = 5,    // "%x", 0..FFFF read as int16: (v - 0.5) / 32767
  kImportInt16Signed = 6,    // "%d", -32768..32767: (v - 0.5) / 32767
  kImportBinary = 7,         // binary I/Q file (WaveLib_ImportIq)
};

// Reads the column-th number (from 1) of a text line into *output. Numbers
// are separated by ",", " ", ":", ";" or tabs; the field must start with a
// digit, a hex letter, "-" or "." and be read whole by the format. 1 / 0
// ("*** Error in line: <line>", "*** Unsupported data format").
int ParseImportNumber(const char* line, int column, double* output, int format);

// Texts that an import or the reader found; the descriptors' comment and
// copyright point into them, so they must outlive the descriptor's use.
inline constexpr int kImportTextBytes = 1024;
struct WaveImportTexts {
  char comment[kImportTextBytes] = "";
  char copyright[kImportTextBytes] = "";
};

// Source of WaveLib_ImportIq.
//
// Text file (formats 1..6): one sample per line, I in column iColumn and Q in
// column qColumn; header lines "NAME=value" (COMMENT, COPYRIGHT, CLOCKRATE in
// Hz, 400 .. 600,000,000); blank lines are skipped.
//
// Binary I/Q file (kImportBinary):
//   header  text lines ending in LF (a CR before it is dropped), at most 511
//           characters: "NAME=value" settings as above, blank lines; the
//           line "DATA" ends the header
//   data    float32 little-endian values, full scale 1.0, to the end of the
//           file: I, Q per sample; with a second file, I only
// Second file (secondPath): always binary, the same layout with one float32
// Q value per sample; it may hold fewer samples than the first (the rest keep
// Q = 0), never more.
struct WaveIqImportSource {
  const char* path = nullptr;
  const char* secondPath = nullptr;
  int format = kImportFloat;
  int iColumn = 1;
  int qColumn = 2;
};

// Imports into tempIqFile ("IQF" + float32 pairs, written from its start and
// cut to what was written) through slot 0, reading the sources through slots
// 1 and 2. Sets d->arbClock and d->markerClock (when a CLOCKRATE was given)
// and d->samples; with texts, d->comment and d->copyright point at the
// texts found. A largest magnitude above 1.0 scales every sample down to it.
int WaveLib_ImportIq(const WaveIqImportSource* source, FILE* tempIqFile, WaveDescriptor* d, WaveImportTexts* texts);

// RF list table: capacity entries in the arrays; on success capacity is the
// number of entries read. Frequencies in GHz (0.0001 .. 6), levels in dBm
// (-145 .. 19). Text lines "<frequency> <level>"; blank lines and lines
// starting with "%" or "/" are skipped.
struct WaveRfListTable {
  int32_t capacity = 0;
  double* frequency = nullptr;
  double* level = nullptr;
};
int WaveLib_ImportRfList(const char* path, WaveRfListTable* table);
// The same into the points of an RF list record: all points replaced on
// success, left as they were on failure.
class RfListPoints;
int WaveLib_ImportRfList(const char* path, RfListPoints* points);

// Imports a data list text file: symbols into tempDataFile ("DLB" + bytes,
// slot 0) and one control byte per symbol into tempMarkerFile (slot 3), both
// written from their start and cut to what was written. Fills d (bitLength,
// byteCount, bitsPerSymbol, symbolCount; data null) and, with texts, its
// comment and copyright. BITSPERSYMBOL 1..8, ATT 0..100 dB, SYMRATE
// 1 .. 600,000,000 symbols/s, ALPHA 0..1.
int WaveLib_ImportDataList(const char* path, FILE* tempDataFile, FILE* tempMarkerFile, DataListDescriptor* d,
                           WaveImportTexts* texts);

// Reads a waveform file (Kaldra, Lumbra, Ettrin 16-bit or older 14-bit with
// marker bits, Fendal) into tempIqFile ("IQF" + float32 pairs, slot 0) and
// tempMarkerFile (one byte per sample, slot 3), both written from their
// start and cut to what was written; the file itself is read through slot 1.
// Fills d to describe the temporary files (clocks, samples, level offsets
// with statisticsValid when the file has them; sample and marker arrays
// null) and, with texts, its comment and copyright.
int WaveLib_ReadWaveform(const char* path, WaveDescriptor* d, WaveImportTexts* texts, FILE* tempIqFile,
                         FILE* tempMarkerFile);

// Tag fields read from a buffered slot. ReadTagField reads bytes into
// buffer (capacity limit) up to the first of `terminators` (not stored) and
// returns that byte; -1 at the end of the file, -2 when limit - 1 bytes came
// without a terminator (they are in buffer). ReadTagRest reads up to the "}"
// closing a tag (the one that pairs with its "{": braces inside a value come
// in pairs), keeps at most limit - 1 bytes and returns the length kept, or -1
// when the file ends first.
inline constexpr int kTagFieldEnd = -1;
inline constexpr int kTagFieldTooLong = -2;
int ReadTagField(int slot, char* buffer, int limit, const char* terminators);
int ReadTagRest(int slot, char* buffer, int limit);
