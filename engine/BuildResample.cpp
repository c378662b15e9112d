// Post-processing of a build: the 600 MHz resampling of clocks above
// 300 MHz or the sequence's own resampling filter, the marker bytes at the
// new rate, and the normalisation of every sample to the peak with the sum
// of squares for the RMS.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/Records.h"
#include "engine/BuildInternal.h"
#include "engine/BuildStore.h"
#include "engine/EngineHost.h"
#include "engine/SampleSums.h"
#include "engine/Tessera_GenerateWave.h"
#include "engine/Tessera_Resampler.h"
#include "engine/Windows.h"

namespace build_detail {

namespace {

// The fixed 600 MHz conversion: sinc kernel, Rife-Vincent window, 201 taps,
// cut-off 264 MHz (44 % of the new clock).
constexpr int kResampleWindowLength = 201;
constexpr double kResampleCutoff = 264000000.0;

// Marker bytes and samples moved per block (one Stop poll per block).
constexpr int32_t kBlock = kPollSamples;

const char* KeywordOr(const char* keyword) { return keyword != nullptr ? keyword : "?"; }

// The samples of a slot read where the slot holds them (a mapped file, or
// its read buffer), without copying: Next points at up to `want` whole I/Q
// pairs, valid until the next call on the slot. A pair split by the end of
// the loaded data is completed into a pair of its own, handed out next.
class SamplesInPlace {
 public:
  explicit SamplesInPlace(int slot) : slot_(slot) {}
  // Pairs handed out (1..want), or 0 / -1 at the end of the file or on an
  // error.
  int32_t Next(int32_t want, const unsigned char** data) {
    if (have_ > 0) {
      if (ReadBytes(slot_, 8 - have_, split_ + have_) != 8 - have_) return -1;
      have_ = 0;
      *data = split_;
      return 1;
    }
    const int32_t got = _ReadBytesInPlace(slot_, 8 * want, data);
    if (got <= 0) return got;
    have_ = got % 8;
    std::memcpy(split_, *data + (got - have_), static_cast<size_t>(have_));
    if (got >= 8) return got / 8;
    return Next(want, data);
  }

 private:
  int slot_;
  int32_t have_ = 0;  // bytes of a split pair in split_
  unsigned char split_[8];
};

// What is bound or open during post-processing, for the failure clean-up.
struct Handles {
  FILE* iq2 = nullptr;
  FILE* marker2 = nullptr;
  bool slot5 = false;
  bool slot6 = false;

  int Fail() {
    // ReleaseWaveBuffers releases slots 7/8 with their files.
    ReleaseWaveBuffers(slot5 ? TempIqFile : nullptr, slot6 ? TempMarkerFile : nullptr, iq2, marker2);
    iq2 = marker2 = nullptr;
    slot5 = slot6 = false;
    return 0;
  }
  int Internal(int step) {
    LogInternalError(step);
    return Fail();
  }
};

// Marker bytes of slot 6 at the resampled rate into slot 8. The resampler
// puts output k at input position t = k*n/m (the kernels are centred on
// it); output k takes the byte of the input sample nearest to t, rounded
// half up, so that a marker edge between inputs a-1 and a falls where the
// filtered step crosses half way, at t = a - 0.5. As the samples, the bytes
// are periodic: a position past n - 0.5 takes the byte of input 0. Input
// bytes are read in order and those the index skips over are dropped.
// Its cost grows with the output: the task bar follows it block by block,
// as it follows the samples' resampling (and the window stays painted).
int ResampleMarkers(int64_t n, int64_t m, int readStep, int writeStep) {
  unsigned char in[kBlock];
  unsigned char out[kBlock];
  int32_t inFill = 0, inPos = 0, outFill = 0;
  int64_t have = -1;  // index of the input byte held in `current`
  unsigned char current = 0, first = 0;
  // src = trunc(k*n/m + 1/2) = (2kn + m) div 2m, kept as quotient and
  // remainder and advanced by 2n per output (k*n itself can pass 2^63).
  if (m <= 0 || n <= 0) return 1;
  int64_t src = 0, rest = m;
  const int64_t stepQuotient = (2 * n) / (2 * m), stepRest = (2 * n) % (2 * m);
  EngineHost_SetTaskProgress(0);
  for (int64_t k = 0; k < m; ++k) {
    if (k > 0) {
      src += stepQuotient;
      rest += stepRest;
      if (rest >= 2 * m) {
        rest -= 2 * m;
        ++src;
      }
    }
    if (src >= n) {
      out[outFill++] = first;
    } else {
      while (have < src) {
        if (inPos == inFill) {
          const int32_t want = static_cast<int32_t>(std::min<int64_t>(kBlock, n - (have + 1)));
          const int32_t got = ReadBytes(kSlotTempMarker, want, in);
          if (got <= 0) {
            LogInternalError(readStep);
            return 0;
          }
          inFill = got;
          inPos = 0;
        }
        current = in[inPos++];
        if (++have == 0) first = current;
      }
      out[outFill++] = current;
    }
    if (outFill == kBlock || k == m - 1) {
      if (WriteBytes(kSlotResampledMarker, outFill, out) != outFill) {
        LogInternalError(writeStep);
        return 0;
      }
      outFill = 0;
      // Passed on at most once per host poll interval, however often called.
      EngineHost_SetTaskProgress(static_cast<int>(100.0 * static_cast<double>(k + 1) / static_cast<double>(m)));
    }
  }
  return 1;
}

// What the conversion makes of n samples at clock: the 600 MHz conversion
// above 300 MHz, else the sequence's filter with its oversampling.
struct Conversion {
  bool high = false;
  int64_t samples = 0;  // M
  double clock = 0.0;   // the new clock
};

Conversion ConversionOf(const SequenceRecord& seq, int64_t n, double clock) {
  Conversion cv;
  cv.high = clock > kResampleClockLimit;
  if (cv.high) {
    cv.samples = static_cast<int64_t>(static_cast<double>(n) * kResampleTargetClock / clock);
    if (cv.samples % 2 != 0) ++cv.samples;
    cv.clock = kResampleTargetClock;
  } else {
    cv.samples = static_cast<int64_t>(static_cast<double>(n) * seq.oversampling);
    cv.clock = clock * seq.oversampling;
  }
  return cv;
}

void LogConversion(const SequenceRecord& seq, const Conversion& cv, bool high) {
  if (high) {
    Log_Message(2, "  filter function  ", "sinc");
    Log_Message(2, "  window function  ", "rifevincent");
    LogF("  window length    %d", kResampleWindowLength);
    LogF("  target samples   %lld", static_cast<long long>(cv.samples));
    LogF("  target clock     %f Hz", kResampleTargetClock);
    LogF("  cutoff freq      %f Hz", kResampleCutoff);
    return;
  }
  Log_Message(2, "  filter function  ", KeywordOr(FilterToKeyword(seq.filterType)));
  Log_Message(2, "  window function  ", KeywordOr(WindowToKeyword(seq.window)));
  LogF("  alpha            %f", seq.alpha);
  LogF("  window length    %d", kResampleWindowLength);
  LogF("  oversampling     %f", seq.oversampling);
  LogF("  target samples   %lld", static_cast<long long>(cv.samples));
  LogF("  target clock     %f Hz", cv.clock);
}

// Step 8. On success slots 5-8 are free again, the two resampling files
// stay open in h, and state holds the new count and clock.
int Resample(PostState& state, Handles& h) {
  const SequenceRecord& seq = *state.sequence;
  const bool high = state.clock > kResampleClockLimit;
  EngineHost_SetStatus("Applying Baseband Filter...");
  EngineHost_SetTotalProgress(25);
  EngineHost_SetTaskProgress(0);

  h.iq2 = OpenTempSampleFile("WV-DATA2.TMP");
  h.marker2 = OpenTempSampleFile("MKR-DATA2.TMP");
  if (h.iq2 == nullptr || h.marker2 == nullptr) return h.Internal(kErrResampleFiles);
  if (!InitBuf(kSlotResampledIq, h.iq2, 0, 1)) return h.Internal(kErrSlot7);
  if (WriteBytes(kSlotResampledIq, 3, "IQF") != 3) return h.Internal(kErrSlot7Header);
  if (!InitBuf(kSlotResampledMarker, h.marker2, 0, 1)) return h.Internal(kErrSlot8);
  if (!InitBuf(kSlotTempIq, TempIqFile, 1, 0)) return h.Internal(kErrSlot5Read);
  h.slot5 = true;
  char header[3];
  if (ReadBytes(kSlotTempIq, 3, header) != 3) return h.Internal(kErrSlot5Header);
  if (!InitBuf(kSlotTempMarker, TempMarkerFile, 1, 0)) return h.Internal(kErrSlot6Read);
  h.slot6 = true;

  state.peak = 1.0;
  state.sumSquares = 0.0;
  double rms = 0.0;
  const int64_t n = state.samples;
  const double* userI = seq.userFilter.Empty() ? nullptr : seq.userFilter.I().data();
  const double* userQ = seq.userFilter.Empty() ? nullptr : seq.userFilter.Q().data();
  int64_t m = 0;
  if (high) {
    const Conversion cv = ConversionOf(seq, n, state.clock);
    m = cv.samples;
    state.clock = cv.clock;
    LogConversion(seq, cv, true);
    if (!ResampleFile(FILTER_SINC, WINDOW_RIFEVINCENT, 0.0, n, kResampleCutoff, kResampleTargetClock,
                      kResampleWindowLength, m, kSlotTempIq, kSlotResampledIq, &state.peak, &rms, ResamplerProgress,
                      userI, userQ, seq.userFilter.Length(), seq.userOversampling))
      return h.Internal(kErrResample600);
    if (!ResampleMarkers(n, m, kErrMarker600Read, kErrMarker600Write)) return h.Fail();
  } else {
    const Conversion cv = ConversionOf(seq, n, state.clock);
    m = cv.samples;
    const double designClock = state.clock;
    state.clock = cv.clock;
    LogConversion(seq, cv, false);
    if (!ResampleFile(seq.filterType, seq.window, seq.alpha, n, seq.cutoff, designClock, kResampleWindowLength, m,
                      kSlotTempIq, kSlotResampledIq, &state.peak, &rms, ResamplerProgress, userI, userQ,
                      seq.userFilter.Length(), seq.userOversampling))
      return h.Internal(kErrResampleUser);
    if (!ResampleMarkers(n, m, kErrMarkerUserRead, kErrMarkerUserWrite)) return h.Fail();
  }

  Log_Message(1, "Rescaler finshed successfully.");
  const int r7 = ReleaseBuf(kSlotResampledIq);
  const int r8 = ReleaseBuf(kSlotResampledMarker);
  if (!r7 || !r8 || !TrimTempSampleFile(h.iq2, 3 + 8 * static_cast<off_t>(m)) ||
      !TrimTempSampleFile(h.marker2, static_cast<off_t>(m)))
    return h.Internal(kErrReleaseResampled);
  h.slot5 = h.slot6 = false;
  const int r5 = ReleaseBuf(kSlotTempIq);
  const int r6 = ReleaseBuf(kSlotTempMarker);
  if (!r5 || !r6) return h.Internal(kErrReleaseSource);
  state.samples = m;
  return 1;
}

// Step 9 when nothing would change: samples that were not resampled, with a
// peak at full scale (PeakAtFullScale). The samples are
// only read for their sum of squares; the marker file is checked for its
// length instead of being copied onto itself.
int SumInPlace(PostState& state, Handles& h) {
  if (!InitBuf(kSlotTempIq, TempIqFile, 1, 0)) return h.Internal(kErrRescaleSlot5);
  h.slot5 = true;
  char header[3];
  if (ReadBytes(kSlotTempIq, 3, header) != 3) return h.Internal(kErrHeaderRead);
  state.sumSquares = 0.0;
  Log_Message(1, "  ");
  LogF("Peak level is %7.6f", state.peak);
  const int64_t n = state.samples;
  int lastPercent = -1;
  SquareSum sum;
  SamplesInPlace source(kSlotTempIq);
  for (int64_t k = 0; k < n;) {
    if (EngineHost_StopPressed()) {
      Log_Message(1, "*** User break during rescaling.");
      EngineHost_NoteUserBreak();
      return h.Fail();
    }
    const int percent = static_cast<int>(100.0 * static_cast<double>(k) / static_cast<double>(n));
    if (percent != lastPercent) {
      EngineHost_SetTaskProgress(percent);
      lastPercent = percent;
    }
    const unsigned char* iq = nullptr;
    const int32_t count = source.Next(static_cast<int32_t>(std::min<int64_t>(kBlock, n - k)), &iq);
    if (count <= 0) return h.Internal(kErrRescaleRead);
    sum.Add(iq, count);
    k += count;
  }
  if (!ReadBufIntact(kSlotTempIq)) return h.Internal(kErrRescaleRead);
  state.sumSquares = sum.Total();
  state.writtenPeak = sum.Peak();
  state.silent = sum.Silent();
  h.slot5 = false;
  if (!ReleaseBuf(kSlotTempIq)) return h.Internal(kErrRescaleWrite);
  struct stat st;
  if (fstat(fileno(TempMarkerFile), &st) != 0 || st.st_size < n) return h.Internal(kErrMarkerRead);
  return 1;
}

// SumInPlace for samples whose statistics were taken while they were
// written (PreparedWave).
int TakeSums(PostState& state, Handles& h) {
  Log_Message(1, "  ");
  LogF("Peak level is %7.6f", state.peak);
  state.sumSquares = state.sums->Total();
  state.writtenPeak = state.sums->Peak();
  state.silent = state.sums->Silent();
  struct stat st;
  if (fstat(fileno(TempMarkerFile), &st) != 0 || st.st_size < state.samples) return h.Internal(kErrMarkerRead);
  return 1;
}

// Step 9: every sample divided by the peak into slot 5, its marker byte
// into slot 6; the source is the resampled pair after step 8, else slots 5
// and 6 themselves (rewritten in place).
int Normalise(PostState& state, Handles& h) {
  EngineHost_SetStatus("Rescaling...");
  EngineHost_SetTotalProgress(50);
  EngineHost_SetTaskProgress(0);
  if (h.iq2 == nullptr && PeakAtFullScale(state.peak)) return state.sums != nullptr ? TakeSums(state, h) : SumInPlace(state, h);
  if (!InitBuf(kSlotTempIq, TempIqFile, 1, 1)) return h.Internal(kErrRescaleSlot5);
  h.slot5 = true;
  if (!InitBuf(kSlotTempMarker, TempMarkerFile, 1, 1)) return h.Internal(kErrRescaleSlot6);
  h.slot6 = true;
  const bool resampled = h.iq2 != nullptr;
  int iqSource = kSlotTempIq, markerSource = kSlotTempMarker;
  if (resampled) {
    if (!InitBuf(kSlotResampledIq, h.iq2, 1, 0)) return h.Internal(kErrRescaleSlot7);
    if (!InitBuf(kSlotResampledMarker, h.marker2, 1, 0)) return h.Internal(kErrRescaleSlot8);
    iqSource = kSlotResampledIq;
    markerSource = kSlotResampledMarker;
  }
  char header[3];
  if (ReadBytes(iqSource, 3, header) != 3) return h.Internal(kErrHeaderRead);
  if (WriteBytes(kSlotTempIq, 3, header) != 3) return h.Internal(kErrHeaderWrite);

  state.sumSquares = 0.0;
  Log_Message(1, "  ");
  LogF("Peak level is %7.6f", state.peak);
  const int64_t n = state.samples;
  const double peak = state.peak;
  static float iq[2 * kBlock];
  static unsigned char markers[kBlock];
  int lastPercent = -1;
  SquareSum sum;
  SamplesInPlace source(iqSource);
  for (int64_t k = 0; k < n;) {
    if (EngineHost_StopPressed()) {
      Log_Message(1, "*** User break during rescaling.");
      EngineHost_NoteUserBreak();
      return h.Fail();
    }
    const int percent = static_cast<int>(100.0 * static_cast<double>(k) / static_cast<double>(n));
    if (percent != lastPercent) {
      EngineHost_SetTaskProgress(percent);
      lastPercent = percent;
    }
    const unsigned char* in = nullptr;
    const int32_t count = source.Next(static_cast<int32_t>(std::min<int64_t>(kBlock, n - k)), &in);
    if (count <= 0) return h.Internal(kErrRescaleRead);
    if (peak != 0.0) {
      for (int32_t j = 0; j < 2 * count; ++j) {
        float x;
        std::memcpy(&x, in + 4 * j, 4);
        iq[j] = static_cast<float>(static_cast<double>(x) / peak);
      }
    } else {
      std::memcpy(iq, in, 8 * static_cast<size_t>(count));
    }
    sum.Add(iq, count);
    if (WriteBytes(kSlotTempIq, 8 * count, iq) != 8 * count) return h.Internal(kErrRescaleWrite);
    if (ReadBytes(markerSource, count, markers) != count) return h.Internal(kErrMarkerRead);
    if (WriteBytes(kSlotTempMarker, count, markers) != count) return h.Internal(kErrMarkerWrite);
    k += count;
  }
  if (!ReadBufIntact(iqSource)) return h.Internal(kErrRescaleRead);
  state.sumSquares = sum.Total();
  state.writtenPeak = sum.Peak();
  state.silent = sum.Silent();

  h.slot5 = h.slot6 = false;
  const int r5 = ReleaseBuf(kSlotTempIq);
  const int r6 = ReleaseBuf(kSlotTempMarker);
  if (resampled) {
    ReleaseBuf(kSlotResampledIq);
    ReleaseBuf(kSlotResampledMarker);
    fclose(h.iq2);
    fclose(h.marker2);
    h.iq2 = h.marker2 = nullptr;
  }
  if (!r5 || !r6) return h.Internal(kErrRescaleWrite);
  // A conversion to fewer samples leaves stale data behind the new end;
  // the files hold exactly the final samples, as their readers assume.
  if (!TrimTempSampleFiles(n)) return h.Internal(kErrRescaleWrite);
  return 1;
}

// The marker bytes of n samples at the m resampled ones, as ResampleMarkers
// takes them: output k holds the byte of input trunc(k n/m + 1/2), that of
// input 0 from n on; changes in, changes out.
void ResampledMarkerChanges(const MarkerChangeList& in, int64_t n, int64_t m, MarkerChangeList* out) {
  out->Begin(0xFF);
  const std::vector<WaveMarkerChange>& changes = in.changes();
  if (changes.empty() || n <= 0 || m <= 0) return;
  // The first output whose input is a or later: ceil((2a - 1) m / 2n).
  const auto firstOutput = [&](int64_t a) -> int64_t {
    if (a <= 0) return 0;
    const __int128 num = static_cast<__int128>(2 * a - 1) * m;
    return static_cast<int64_t>((num + 2 * n - 1) / (2 * n));
  };
  const int64_t wrap = std::min(m, firstOutput(n));
  for (size_t c = 0; c < changes.size(); ++c) {
    const int64_t from = std::min(wrap, firstOutput(changes[c].index));
    const int64_t to = c + 1 < changes.size() ? std::min(wrap, firstOutput(changes[c + 1].index)) : wrap;
    if (to > from) out->AddRun(changes[c].byte, to - from);
  }
  if (wrap < m) out->AddRun(changes[0].byte, m - wrap);
}

}  // namespace

bool StoreCanResample(const SequenceRecord& seq, int64_t planned) {
  const bool high = seq.clock > kResampleClockLimit;
  const Conversion cv = ConversionOf(seq, planned, seq.clock);
  if (cv.samples <= kStoreSamplesMax) return true;
  // Outputs over the off level are only left uncomputed for one real
  // kernel with repeating phases.
  const bool real = high || (seq.filterType != FILT_CXSINC && seq.filterType != FILT_CXRRCOS &&
                             seq.filterType != FILT_CXRCOS && seq.filterType != FILT_CXGAUSS &&
                             (seq.filterType != FILT_USER || seq.userFilter.I() == seq.userFilter.Q()));
  const int64_t g = std::gcd(planned, cv.samples);
  return real && planned > 0 && cv.samples / g <= 2048 && 4 * (cv.samples / g) <= cv.samples;
}

int ResampleStored(PostState& state) {
  const SequenceRecord& seq = *state.sequence;
  const bool high = state.clock > kResampleClockLimit;
  Log_Message(1, high ? "Lumbrix 600MHz resampling" : "User resampling/filtering...");
  EngineHost_SetStatus("Applying Baseband Filter...");
  EngineHost_SetTotalProgress(25);
  EngineHost_SetTaskProgress(0);
  SampleStore& in = Store();
  SampleStore& out = ResampledStore();
  out.Begin();
  const int64_t n = state.samples;
  const Conversion cv = ConversionOf(seq, n, state.clock);
  LogConversion(seq, cv, high);
  const double* userI = seq.userFilter.Empty() ? nullptr : seq.userFilter.I().data();
  const double* userQ = seq.userFilter.Empty() ? nullptr : seq.userFilter.Q().data();
  double rms = 0.0;
  state.peak = 1.0;
  state.sumSquares = 0.0;
  const int ok = high ? ResampleStream(FILTER_SINC, WINDOW_RIFEVINCENT, 0.0, n, kResampleCutoff, kResampleTargetClock,
                                       kResampleWindowLength, cv.samples, in, out, &state.peak, &rms,
                                       ResamplerProgress, userI, userQ, seq.userFilter.Length(),
                                       seq.userOversampling)
                      : ResampleStream(seq.filterType, seq.window, seq.alpha, n, seq.cutoff, state.clock,
                                       kResampleWindowLength, cv.samples, in, out, &state.peak, &rms,
                                       ResamplerProgress, userI, userQ, seq.userFilter.Length(),
                                       seq.userOversampling);
  if (!ok) {
    if (out.overflowed()) return -1;
    LogInternalError(high ? kErrResample600 : kErrResampleUser);
    ReleaseWaveBuffers(nullptr, nullptr, nullptr, nullptr);
    return 0;
  }
  MarkerChangeList markers;
  ResampledMarkerChanges(in.markers(), n, cv.samples, &markers);
  out.SetMarkers(markers);
  Log_Message(1, "Rescaler finshed successfully.");
  state.samples = cv.samples;
  state.clock = cv.clock;
  // Step 9 on the resampled store.
  EngineHost_SetStatus("Rescaling...");
  EngineHost_SetTotalProgress(50);
  EngineHost_SetTaskProgress(0);
  Log_Message(1, "  ");
  LogF("Peak level is %7.6f", state.peak);
  return out.Finish(state.peak, state) ? 1 : -1;
}

int PostProcessSamples(PostState& state) {
  const SequenceRecord& seq = *state.sequence;
  const bool high = state.clock > kResampleClockLimit;
  Handles h;
  if (seq.filterOn == 1 || high) {
    Log_Message(1, high ? "Lumbrix 600MHz resampling" : "User resampling/filtering...");
    if (!Resample(state, h)) return 0;
  }
  return Normalise(state, h);
}

}  // namespace build_detail
