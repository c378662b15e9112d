// The waveform file writer: tagged header, marker run lists and the int16
// I/Q block, from in-memory arrays or from the temporary sample files.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "platform/CLocale.h"
#include "wavelib/WaveLib.h"

static_assert(std::endian::native == std::endian::little,
              "temporary and waveform files are little-endian; this writer copies host floats");

namespace {

// Buffer slots of the temporary files (fixed by the callers).
constexpr int kIqSlot = 0;
constexpr int kMarkerSlot = 3;

// Samples converted per block: up to 2 MiB of float pairs in, 1 MiB of
// int16 pairs out.
constexpr int32_t kBlockSamples = 1 << 18;

enum class MarkerSource { None, Memory, File };

void LogInfo(const std::string& text) { Log_Level(LOG_INFO, 1, text.c_str()); }

// Releases the slots a writer call bound when it leaves.
struct SlotGuard {
  bool iq = false;
  bool marker = false;
  ~SlotGuard() {
    if (iq) ReleaseBuf(kIqSlot);
    if (marker) ReleaseBuf(kMarkerSlot);
  }
};

// Offsets and their linear values for the statistics block of the log.
struct Statistics {
  double rms = 0.0;
  double peak = 0.0;
};

Statistics ComputeStatistics(WaveDescriptor* d, bool fromArrays) {
  Statistics s;
  if (!d->statisticsValid && fromArrays) {
    Log_Level(LOG_INFO, 1, "Calculating Peak, RMS from wave data...");
    double sum = 0.0;
    float peak = 0.0f;
    for (int32_t i = 0; i < d->samples; ++i) {
      const float p = d->iData[i] * d->iData[i] + d->qData[i] * d->qData[i];
      sum += p;
      const float magnitude = std::sqrt(p);
      if (magnitude > peak) peak = magnitude;
    }
    s.rms = std::sqrt(sum / d->samples);
    s.peak = peak;
    if (s.rms == 0.0) s.rms = 1e-5;
    if (s.peak == 0.0) s.peak = 1e-5;
    d->rmsOffset = 20.0 * std::log10(1.0 / s.rms);
    d->peakOffset = 20.0 * std::log10(1.0 / s.peak);
  } else {
    s.rms = 1.0 / std::pow(10.0, d->rmsOffset / 20.0);
    s.peak = 1.0 / std::pow(10.0, d->peakOffset / 20.0);
  }
  return s;
}

void LogStatistics(const WaveDescriptor* d, const Statistics& s) {
  LogInfo("========== Signal Statistics ==========");
  LogInfo(cz::FormatC("ARB clock :%4.3f Hz", d->arbClock));
  LogInfo(cz::FormatC("MKR clock :%4.3f Hz", d->markerClock));
  LogInfo(cz::FormatC("Samples   :%ld", static_cast<long>(d->samples)));
  LogInfo(cz::FormatC("RMS       :%5.2f / RMSOfs:%5.2f dBfs", s.rms, d->rmsOffset));
  LogInfo(cz::FormatC("PEAK      :%5.2f / PKOfs :%5.2f dBfs", s.peak, d->peakOffset));
  const double crest = std::isfinite(d->crestFactor) ? d->crestFactor : d->rmsOffset - d->peakOffset;
  LogInfo(cz::FormatC("Pk/Av     :%5.2f dB", crest));
  LogInfo("=======================================");
}

int WriteHeader(WavePartFile& out, const WaveDescriptor* d) {
  int ok = out.WriteText("{TYPE: Kaldra-WV,0}");
  if (d->comment && d->comment[0]) ok &= out.WriteText(WaveLib_TextTag("COMMENT:", d->comment).c_str());
  if (d->copyright && d->copyright[0]) ok &= out.WriteText(WaveLib_TextTag("COPYRIGHT:", d->copyright).c_str());
  char date[64];
  WaveLib_FormatDateTag(date, sizeof date);
  ok &= out.WriteText(date);
  ok &= out.WriteText(cz::FormatC("{CLOCK:%4.3f}", d->arbClock).c_str());
  ok &= out.WriteText(cz::FormatC("{CLOCK MARKER:%4.3f}", d->markerClock).c_str());
  ok &= out.WriteText(WaveLib_LevelOffsTag(d->rmsOffset, d->peakOffset).c_str());
  ok &= out.WriteText(cz::FormatC("{SAMPLES:%ld}", static_cast<long>(d->samples)).c_str());
  return ok;
}

std::string MarkerListTag(int m) { return cz::FormatC("{MARKER LIST %d: ", m); }

int WriteMarkersFromMemory(WavePartFile& out, const WaveDescriptor* d) {
  Log_Level(LOG_INFO, 1, "Creating marker trace from memory buffer...");
  int ok = out.WriteText(cz::FormatC("{CONTROL LENGTH:%ld}", static_cast<long>(d->samples)).c_str());
  WaveRunListWriter list(out);
  for (int m = 1; m <= 4; ++m) {
    list.Begin(MarkerListTag(m).c_str(), 1u << (m - 1));
    list.Feed(d->markers, static_cast<std::size_t>(d->samples));
    ok &= list.End();
  }
  return ok;
}

// Four passes over the temporary marker file, one per marker; the slot is
// bound again before each pass after the first, which starts it at byte 0.
// Returns 1, or 0 after logging the reason (a write failure is left to the
// caller's commit).
constexpr int32_t kMarkerFeedPiece = 1 << 20;  // marker bytes per run-list step

int WriteMarkersFromFile(WavePartFile& out, const WaveDescriptor* d, FILE* markerFile, SlotGuard& slots) {
  Log_Level(LOG_INFO, 1, "Creating marker trace from temporary marker file ...");
  out.WriteText(cz::FormatC("{CONTROL LENGTH:%ld}", static_cast<long>(d->samples)).c_str());
  WaveRunListWriter list(out);
  for (int m = 1; m <= 4; ++m) {
    WaveLib_Progress(10 * m);
    if (m > 1) {
      slots.marker = false;
      if (!ReleaseBuf(kMarkerSlot) || !InitBuf(kMarkerSlot, markerFile, 1, 0)) {
        Log_Message(1, "*** Error resetting buffer for temporary marker data.");
        return 0;
      }
      slots.marker = true;
    }
    list.Begin(MarkerListTag(m).c_str(), 1u << (m - 1));
    for (int32_t done = 0; done < d->samples;) {
      const unsigned char* data = nullptr;
      const int32_t got = _ReadBytesInPlace(kMarkerSlot, d->samples - done, &data);
      if (got <= 0) {
        Log_Message(1, "*** Error reading marker data from temporary file.");
        return 0;
      }
      // In pieces, with the idle hook between them: a mapped file hands out
      // all its bytes at once.
      for (int32_t at = 0; at < got; at += kMarkerFeedPiece) {
        list.Feed(data + at, static_cast<std::size_t>(std::min(kMarkerFeedPiece, got - at)));
        WaveLib_Idle();
      }
      if (!ReadBufIntact(kMarkerSlot)) {
        Log_Message(1, "*** Error reading marker data from temporary file.");
        return 0;
      }
      done += got;
    }
    list.End();
  }
  return 1;
}

#if defined(__SSE2__)
// Four values at once: the product is formed in double, where x*32767 is
// exact; the clamps are chosen by comparisons of x itself, as in
// WaveLib_SampleToInt16 (x <= 1 is false for NaN).
inline __m128i ConvertFour(__m128 x) {
  const __m128d scale = _mm_set1_pd(32767.0);
  const __m128d half = _mm_set1_pd(0.5);
  const __m128d lowPair = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(x), scale), half);
  const __m128d highPair = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(x, x)), scale), half);
  __m128i v = _mm_unpacklo_epi64(_mm_cvttpd_epi32(lowPair), _mm_cvttpd_epi32(highPair));
  const __m128i within = _mm_castps_si128(_mm_cmple_ps(x, _mm_set1_ps(1.0f)));
  const __m128i below = _mm_castps_si128(_mm_cmplt_ps(x, _mm_set1_ps(-1.0f)));
  v = _mm_or_si128(_mm_and_si128(within, v), _mm_andnot_si128(within, _mm_set1_epi32(32767)));
  v = _mm_or_si128(_mm_andnot_si128(below, v), _mm_and_si128(below, _mm_set1_epi32(-32767)));
  return v;
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define WAVELIB_AVX2 1
// Eight values at once, the same arithmetic as ConvertFour (the product and
// the sum are separate instructions: no fused multiply-add).
__attribute__((target("avx2"))) inline __m128i ConvertEight(__m256 x) {
  const __m256d scale = _mm256_set1_pd(32767.0);
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d lowQuad = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(x)), scale), half);
  const __m256d highQuad = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(x, 1)), scale), half);
  __m256i v = _mm256_set_m128i(_mm256_cvttpd_epi32(highQuad), _mm256_cvttpd_epi32(lowQuad));
  const __m256i within = _mm256_castps_si256(_mm256_cmp_ps(x, _mm256_set1_ps(1.0f), _CMP_LE_OQ));
  const __m256i below = _mm256_castps_si256(_mm256_cmp_ps(x, _mm256_set1_ps(-1.0f), _CMP_LT_OQ));
  v = _mm256_blendv_epi8(_mm256_set1_epi32(32767), v, within);
  v = _mm256_blendv_epi8(v, _mm256_set1_epi32(-32767), below);
  return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// The first 2*count - (2*count) % 16 values of ConvertBlock; returns how
// many were converted. Sixteen values below 1.5e-5 in magnitude (the off
// level of most pulses) all convert to 0: x*32767 + 0.5 lies between 0 and
// 1 for |x| < 0.5/32767 (a NaN fails the comparison).
__attribute__((target("avx2"))) int32_t ConvertBlockAvx2(const unsigned char* iq, int16_t* out, int32_t n) {
  const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
  const __m256 small = _mm256_set1_ps(1.5e-5f);
  int32_t k = 0;
  for (; k + 16 <= n; k += 16) {
    const __m256 x = _mm256_loadu_ps(reinterpret_cast<const float*>(iq + 4 * k));
    const __m256 y = _mm256_loadu_ps(reinterpret_cast<const float*>(iq + 4 * k + 32));
    const __m256 below = _mm256_and_ps(_mm256_cmp_ps(_mm256_and_ps(x, magnitude), small, _CMP_LT_OQ),
                                       _mm256_cmp_ps(_mm256_and_ps(y, magnitude), small, _CMP_LT_OQ));
    if (_mm256_movemask_ps(below) == 0xFF) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_setzero_si256());
      continue;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), ConvertEight(x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k + 8), ConvertEight(y));
  }
  return k;
}

bool HaveAvx2() {
  static const bool have = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
  return have;
}
#endif

// Converts `count` float pairs (little-endian bytes, any alignment) to
// int16 pairs, the values of WaveLib_SampleToInt16.
void ConvertBlock(const unsigned char* iq, int16_t* out, int32_t count) {
  const int32_t n = 2 * count;
  int32_t k = 0;
#if defined(WAVELIB_AVX2)
  if (n >= 16 && HaveAvx2()) k = ConvertBlockAvx2(iq, out, n);
#endif
#if defined(__SSE2__)
  for (; k + 8 <= n; k += 8) {
    const __m128i a = ConvertFour(_mm_loadu_ps(reinterpret_cast<const float*>(iq + 4 * k)));
    const __m128i b = ConvertFour(_mm_loadu_ps(reinterpret_cast<const float*>(iq + 4 * k + 16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packs_epi32(a, b));
  }
#endif
  for (; k < n; ++k) {
    float x;
    std::memcpy(&x, iq + 4 * k, 4);
    out[k] = WaveLib_SampleToInt16(x);
  }
}

}  // namespace

void WaveLib_PairsToInt16(const unsigned char* iq, int16_t* out, int32_t count) { ConvertBlock(iq, out, count); }

namespace {

// Reports 50 + 12k at sample k*step (k = 0..4, step = samples / 5, at
// least 1) for every such sample below `upTo`.
struct SampleProgress {
  explicit SampleProgress(int32_t samples) : step(samples / 5 > 0 ? samples / 5 : 1) {}
  void Reach(int64_t upTo) {
    while (next <= 4 && static_cast<int64_t>(next) * step < upTo) {
      WaveLib_Progress(50 + 12 * next);
      ++next;
    }
    WaveLib_Idle();
  }
  int32_t step;
  int next = 0;
};

int WriteSamplesFromMemory(WavePartFile& out, const WaveDescriptor* d) {
  std::unique_ptr<float[]> pairs(new float[2 * static_cast<std::size_t>(kBlockSamples)]);
  std::unique_ptr<int16_t[]> block(new int16_t[2 * static_cast<std::size_t>(kBlockSamples)]);
  SampleProgress progress(d->samples);
  for (int32_t done = 0; done < d->samples;) {
    const int32_t count = std::min(kBlockSamples, d->samples - done);
    progress.Reach(static_cast<int64_t>(done) + count);
    for (int32_t k = 0; k < count; ++k) {
      pairs[2 * static_cast<std::size_t>(k)] = d->iData[done + k];
      pairs[2 * static_cast<std::size_t>(k) + 1] = d->qData[done + k];
    }
    ConvertBlock(reinterpret_cast<const unsigned char*>(pairs.get()), block.get(), count);
    if (!out.Write(block.get(), 4 * static_cast<std::size_t>(count))) return 1;  // Commit reports it
    done += count;
  }
  return 1;
}

// Samples converted by the caller, written as they stand.
int WriteSamplesFromInt16(WavePartFile& out, const WaveDescriptor* d) {
  SampleProgress progress(d->samples);
  for (int32_t done = 0; done < d->samples;) {
    const int32_t count = std::min(kBlockSamples * 4, d->samples - done);
    progress.Reach(static_cast<int64_t>(done) + count);
    if (!out.Write(d->iqInt16 + 2 * static_cast<std::size_t>(done), 4 * static_cast<std::size_t>(count))) return 1;
    done += count;
  }
  return 1;
}

// The marker lists from the changes of the temporary marker file's bytes.
int WriteMarkersFromChanges(WavePartFile& out, const WaveDescriptor* d) {
  Log_Level(LOG_INFO, 1, "Creating marker trace from temporary marker file ...");
  int ok = out.WriteText(cz::FormatC("{CONTROL LENGTH:%ld}", static_cast<long>(d->samples)).c_str());
  WaveRunListWriter list(out);
  for (int m = 1; m <= 4; ++m) {
    WaveLib_Progress(10 * m);
    list.Begin(MarkerListTag(m).c_str(), 1u << (m - 1));
    for (int64_t k = 0; k < d->markerChangeCount; ++k) list.Change(d->markerChanges[k].index, d->markerChanges[k].byte);
    ok &= list.End();
  }
  return ok;
}

// Samples are converted straight out of slot 0's read buffer; a pair split
// by the end of the loaded data is completed from the next load.
int WriteSamplesFromFile(WavePartFile& out, const WaveDescriptor* d) {
  std::unique_ptr<int16_t[]> block(new int16_t[2 * static_cast<std::size_t>(kBlockSamples)]);
  SampleProgress progress(d->samples);
  for (int32_t done = 0; done < d->samples;) {
    const int32_t want = std::min(kBlockSamples, d->samples - done);
    const unsigned char* data = nullptr;
    const int32_t got = _ReadBytesInPlace(kIqSlot, 8 * want, &data);
    if (got <= 0) {
      Log_Message(1, "*** Error reading waveform data from temporary file.");
      return 0;
    }
    int32_t count = got / 8;
    progress.Reach(static_cast<int64_t>(done) + count + (got % 8 != 0 ? 1 : 0));
    ConvertBlock(data, block.get(), count);
    // A file cut while the block was converted: its lost samples read as
    // zeros and are not written.
    if (!ReadBufIntact(kIqSlot)) {
      Log_Message(1, "*** Error reading waveform data from temporary file.");
      return 0;
    }
    if (got % 8 != 0) {
      unsigned char pair[8];
      const int32_t have = got % 8;
      std::memcpy(pair, data + 8 * count, static_cast<std::size_t>(have));
      if (ReadBytes(kIqSlot, 8 - have, pair + have) != 8 - have) {
        Log_Message(1, "*** Error reading waveform data from temporary file.");
        return 0;
      }
      ConvertBlock(pair, block.get() + 2 * count, 1);
      ++count;
    }
    if (!out.Write(block.get(), 4 * static_cast<std::size_t>(count))) return 1;  // Commit reports it
    done += count;
  }
  return 1;
}

}  // namespace

int WaveLib_WriteWaveform(WaveDescriptor* d, const char* path, FILE* tempIqFile, FILE* tempMarkerFile) {
  Log_Level(LOG_INFO, 3, "Creating wave file ", path ? path : "", "...");
  if (d == nullptr) {
    Log_Message(1, "*** Error: No data input for function.");
    return 0;
  }
  if (d->samples <= 0) {
    Log_Message(1, "*** Error: Number of points cannot be zero.");
    return 0;
  }
  if (path == nullptr || path[0] == '\0') {
    Log_Message(1, "*** Error: Destination file name cannot be empty.");
    return 0;
  }
  if (tempIqFile == nullptr && d->iqInt16 == nullptr && (d->iData == nullptr || d->qData == nullptr)) {
    Log_Message(1, "*** Error: No data input for function.");
    return 0;
  }
  // A temporary I/Q file, when given, is the sample source (its samples
  // already converted when the caller hands them over).
  const bool samplesFromFile = tempIqFile != nullptr;
  const bool samplesReady = d->iqInt16 != nullptr;
  MarkerSource markerSource = MarkerSource::None;
  if (d->markers && !tempMarkerFile) markerSource = MarkerSource::Memory;
  if (!d->markers && tempMarkerFile) markerSource = MarkerSource::File;
  const bool markersReady = markerSource == MarkerSource::File && d->markerChanges != nullptr;

  SlotGuard slots;
  if (samplesFromFile && !samplesReady) {
    if (!InitBuf(kIqSlot, tempIqFile, 1, 0)) {
      Log_Message(1, "*** Cannot setup buffer for temporary waveform file.");
      return 0;
    }
    slots.iq = true;
    char tag[3];
    if (ReadBytes(kIqSlot, 3, tag) != 3) {
      Log_Message(1, "*** Error reading from temporary waveform file.");
      return 0;
    }
    if (std::memcmp(tag, "IQF", 3) != 0) {
      Log_Message(1, "*** Error: Temporary waveform file has wrong format.");
      return 0;
    }
  }
  if (markerSource == MarkerSource::File && !markersReady) {
    if (!InitBuf(kMarkerSlot, tempMarkerFile, 1, 0)) {
      Log_Message(1, "*** Cannot setup buffer for temporary marker file.");
      return 0;
    }
    slots.marker = true;
  }

  WaveLib_Progress(0);
  // Statistics come from in-memory arrays only, never from a temporary file.
  const Statistics stats = ComputeStatistics(d, !samplesFromFile && d->iData != nullptr && d->qData != nullptr);
  LogStatistics(d, stats);

  WavePartFile out;
  if (!out.Open(path)) {
    Log_Message(1, "*** Error opening output file.");
    return 0;
  }
  WaveLib_Progress(10);
  WriteHeader(out, d);
  if (markerSource == MarkerSource::Memory) {
    WriteMarkersFromMemory(out, d);
  } else if (markersReady) {
    WriteMarkersFromChanges(out, d);
  } else if (markerSource == MarkerSource::File) {
    if (!WriteMarkersFromFile(out, d, tempMarkerFile, slots)) return 0;
  }

  WaveLib_Progress(50);
  out.WriteText(cz::FormatC("{WAVEFORM-%ld: #", 4L * d->samples + 1).c_str());
  const int written = samplesReady      ? WriteSamplesFromInt16(out, d)
                      : samplesFromFile ? WriteSamplesFromFile(out, d)
                                        : WriteSamplesFromMemory(out, d);
  if (!written) return 0;
  out.WriteText("}");

  if (slots.iq) {
    slots.iq = false;
    ReleaseBuf(kIqSlot);
  }
  if (slots.marker) {
    slots.marker = false;
    ReleaseBuf(kMarkerSlot);
  }
  if (!out.Commit()) {
    Log_Message(3, "*** Error writing output file '", path, "'.");
    return 0;
  }
  WaveLib_Progress(100);
  Log_Level(LOG_INFO, 1, "Waveform file generated.");
  return 1;
}

// ---- the writer fed in order ---------------------------------------------------------

int WaveFileWriter::Begin(WaveDescriptor* d, const char* path, FILE* tempMarkerFile) {
  begun_ = false;
  Log_Level(LOG_INFO, 3, "Creating wave file ", path ? path : "", "...");
  if (d == nullptr || !d->statisticsValid) {
    Log_Message(1, "*** Error: No data input for function.");
    return 0;
  }
  if (d->samples <= 0) {
    Log_Message(1, "*** Error: Number of points cannot be zero.");
    return 0;
  }
  if (path == nullptr || path[0] == '\0') {
    Log_Message(1, "*** Error: Destination file name cannot be empty.");
    return 0;
  }
  MarkerSource markerSource = MarkerSource::None;
  if (d->markers && !tempMarkerFile) markerSource = MarkerSource::Memory;
  if (!d->markers && tempMarkerFile) markerSource = MarkerSource::File;
  const bool markersReady = markerSource == MarkerSource::File && d->markerChanges != nullptr;
  SlotGuard slots;
  if (markerSource == MarkerSource::File && !markersReady) {
    if (!InitBuf(kMarkerSlot, tempMarkerFile, 1, 0)) {
      Log_Message(1, "*** Cannot setup buffer for temporary marker file.");
      return 0;
    }
    slots.marker = true;
  }
  WaveLib_Progress(0);
  LogStatistics(d, ComputeStatistics(d, false));
  if (!out_.Open(path)) {
    Log_Message(1, "*** Error opening output file.");
    return 0;
  }
  WaveLib_Progress(10);
  WriteHeader(out_, d);
  if (markerSource == MarkerSource::Memory) {
    WriteMarkersFromMemory(out_, d);
  } else if (markersReady) {
    WriteMarkersFromChanges(out_, d);
  } else if (markerSource == MarkerSource::File) {
    if (!WriteMarkersFromFile(out_, d, tempMarkerFile, slots)) return 0;
  }
  WaveLib_Progress(50);
  out_.WriteText(cz::FormatC("{WAVEFORM-%ld: #", 4L * d->samples + 1).c_str());
  path_ = path;
  samples_ = d->samples;
  appended_ = 0;
  step_ = samples_ / 5 > 0 ? samples_ / 5 : 1;
  next_ = 0;
  begun_ = true;
  return 1;
}

int WaveFileWriter::Append(const int16_t* iq, int32_t samples) {
  if (!begun_ || samples < 0 || appended_ + samples > samples_) return 0;
  const int64_t upTo = appended_ + samples;
  while (next_ <= 4 && static_cast<int64_t>(next_) * step_ < upTo) {
    WaveLib_Progress(50 + 12 * next_);
    ++next_;
  }
  WaveLib_Idle();
  appended_ = upTo;
  return out_.Write(iq, 4 * static_cast<std::size_t>(samples));
}

int WaveFileWriter::Finish() {
  if (!begun_) return 0;
  begun_ = false;
  if (appended_ != samples_) {
    Log_Message(1, "*** Error reading waveform data from temporary file.");
    return 0;
  }
  out_.WriteText("}");
  if (!out_.Commit()) {
    Log_Message(3, "*** Error writing output file '", path_.c_str(), "'.");
    return 0;
  }
  WaveLib_Progress(100);
  Log_Level(LOG_INFO, 1, "Waveform file generated.");
  return 1;
}
