// Shared between the units of the waveform builder (Tessera_GenerateWave,
// BuildFillers, BuildResample); not for other callers.
#pragma once

#include <cstdint>
#include <sys/types.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/SampleSums.h"
#include "wavelib/WaveLib.h"

struct SequenceRecord;

namespace build_detail {

// Samples per Stop poll and task-bar update in the sample loops.
inline constexpr int32_t kPollSamples = 2000;

// "*** Internal Error: " + ".\Tessera_GenerateWave <step>", for a step that
// failed without a reason the system gave. When the temporary folder did
// give one (a full disk, a file that could not be made), that reason is
// the build's message and no internal-error line is written.
void LogInternalError(int step);
// Logs "*** Temporary folder '<folder>': <system's reason>." when a write of
// the buffered file unit failed since the last call (a full disk), and keeps
// the text for BuildWaveform_TempFailure; once per build (later failures of
// the same build are the first one's consequences).
void LogTempFolderFailure();
// The same for a temporary file that could not be made in folder.
void NoteTempFileFailure(const std::string& folder, const std::string& reason);
// Drops what an earlier build left (at the start of a build).
void ForgetTempFolderFailure();
// Log_Message of a printf-style line in the C locale.
void LogF(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Host path of a temporary file in the settings' TempDir.
std::string TempFilePath(const char* name);
// A temporary sample file of the settings' TempDir opened for reading and
// writing: the file this run made earlier under the name is rewritten from
// its start rather than cut to nothing ("r+b"); anything else is replaced by
// a new private file (cz::CreatePrivateFile: no link followed, nobody
// else's file reused, mode 0600); null when that cannot be made (the reason
// logged with NoteTempFileFailure). Rewriting reuses the pages the system
// holds for the file, while cutting a file waits for any write-back of its
// old data under way (some file systems start one when a cut file is
// closed). Whoever fills such a file cuts it to its new length with
// TrimTempSampleFile afterwards.
FILE* OpenTempSampleFile(const char* name);
// Cuts a temporary sample file to `bytes`. 1 / 0.
int TrimTempSampleFile(FILE* file, off_t bytes);
// Cuts TempIqFile to `samples` I/Q pairs behind its tag and TempMarkerFile
// to `samples` marker bytes. 1 / 0.
int TrimTempSampleFiles(int64_t samples);
// Closes TempIqFile and TempMarkerFile when open and opens both again
// (ResetTempSampleFiles, TEMP_FILES_REUSE) in the settings' TempDir. 1 when both are open; 0 with "*** Failed
// to initialize temporary file." otherwise.
int RecreateTempSampleFiles();
// 1 when the buffer slot holds a read or write buffer.
bool SlotInUse(int slot);
// Progress hooks of the writer and the resampler, forwarded to the host.
void WriterProgress(int percent);
int ResamplerProgress(double percent);

// A peak this close to 1 leaves every sample as it is when the samples are
// divided by it: x/peak rounds back to the same float32 for every x
// (|peak - 1| < 2^-30 is far below half a float32 step).
inline bool PeakAtFullScale(double peak) { return std::fabs(peak - 1.0) < 0x1p-30; }

// The waveform file's data formed while the entries write the temporary
// files, so that neither the rescaling nor the writer has to read them
// again: the int16 samples with their statistics, and the marker bytes as
// their changes. Taken only where the files keep what the entries wrote (no
// resampling, no overlaying entry); the samples only while the peak stays
// at full scale (the rescaling then changes nothing) and up to
// kPreparedSamplesMax samples, the marker changes up to
// kPreparedChangesMax. Whatever cannot be taken is dropped, and the
// rescaling and the writer read the files as usual. The buffers are kept
// for the next build.
inline constexpr int64_t kPreparedSamplesMax = int64_t{1} << 24;
inline constexpr int64_t kPreparedChangesMax = int64_t{1} << 20;

// The changes of a stream of marker bytes fed in order (the bits of mask),
// up to kPreparedChangesMax of them; beyond that the list is dropped.
class MarkerChangeList {
 public:
  void Begin(unsigned mask);
  void Add(const unsigned char* bytes, int32_t count);
  // count bytes of the value byte.
  void AddRun(unsigned byte, int64_t count);
  bool overflowed() const { return overflow_; }
  int64_t fed() const { return fed_; }
  const std::vector<WaveMarkerChange>& changes() const { return changes_; }

 private:
  void Note(int64_t index, unsigned value);
  std::vector<WaveMarkerChange> changes_;
  unsigned mask_ = 0x0F;
  unsigned current_ = 0;
  int64_t fed_ = 0;
  bool overflow_ = false;
};

class PreparedWave {
 public:
  ~PreparedWave();
  // Starts with a build expected to write `planned` samples (jitter may
  // change that); markers and samples select what is taken.
  void Begin(int64_t planned, bool markers, bool samples);
  // The entries are written: later blocks are not taken.
  void Close();
  // Drops everything taken (a failed or finished build).
  void Stop();
  // The next block of the temporary files, as written, and the running peak.
  void Add(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak);
  // What was taken, when it covers exactly `samples` samples; else null.
  const SquareSum* Sums(int64_t samples) const;
  const int16_t* Samples(int64_t samples) const;
  const std::vector<WaveMarkerChange>* MarkerChanges(int64_t samples) const;

 private:
  bool Reserve(int64_t samples);
  bool open_ = false;
  bool samplesOn_ = false;
  bool markersOn_ = false;
  int64_t taken_ = 0;
  SquareSum sum_;
  int16_t* int16_ = nullptr;  // 2 values per sample
  int64_t capacity_ = 0;      // samples
  MarkerChangeList changes_;
};
PreparedWave& Prepared();

// The state that the post-processing steps share with the entry loop.
struct PostState {
  const SequenceRecord* sequence = nullptr;
  int64_t samples = 0;      // N: samples in WV-DATA.TMP / MKR-DATA.TMP
  double clock = 0.0;       // Hz; the resampling changes it
  double peak = 1.0;        // largest magnitude so far
  double sumSquares = 0.0;  // of the normalised samples
  double writtenPeak = 0.0; // largest magnitude of the normalised samples
  bool silent = false;      // every sample converts to int16 zero
  // The samples' statistics taken while they were written (PreparedWave),
  // or null.
  const SquareSum* sums = nullptr;
};

// Steps 7 to 9: resampling / filtering when due, then the normalisation into
// slots 5/6. Expects slots 5 and 6 free; leaves them free. On failure the
// buffers are released (ReleaseWaveBuffers) and 0 is returned.
int PostProcessSamples(PostState& state);

// Whether the stored samples of seq (about `planned` of them) are resampled
// in memory: when the outputs fit, or where those over the off level need
// not be computed.
bool StoreCanResample(const SequenceRecord& seq, int64_t planned);
// Steps 7 to 9 from the entries' store into the resampled one (the marker
// bytes with them): 1, 0 after a logged failure, -1 when the outputs do not
// fit or their sums are not certain (the build is then made again through
// the temporary files).
int ResampleStored(PostState& state);

}  // namespace build_detail
