// Resampling and filtering of temporary I/Q files.
#include "engine/Tessera_Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <numeric>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "engine/Windows.h"
#include "platform/CLocale.h"

namespace {

constexpr int kLastTablePoint = kKernelTablePoints - 1;
constexpr int kHeadTailMin = 201;       // samples kept of each end of the input, at least
constexpr int kOutputBlock = 8192;      // output samples per write to the destination
constexpr int kScanBlock = 65536;       // samples per read of the first pass
constexpr int64_t kMaxCachedPhases = 2048;
constexpr int64_t kProgressEvery = 10000;

void InternalError(int step) {
  char text[48];
  cz::SnprintfC(text, sizeof text, ".\\Tessera_Resampler %d", step);
  Log_Message(2, "*** Internal Error: ", text);
}

// ---- dot products -------------------------------------------------------------
// Eight partial sums (two vectors of four lanes) in a fixed order, folded in
// a fixed order: the result is the same bit for bit on every instruction set
// (no fused multiply-add, no reassociation). Cloned for AVX2 where the CPU
// has it; the default clone runs the same lanes on SSE2.

#define CZ_DOT_CLONES __attribute__((target_clones("avx2", "default")))

typedef double V4 __attribute__((vector_size(32)));

// Unaligned load of four doubles (a macro, so that no function passes a
// 256-bit vector by value across the two clones' ABIs).
#define CZ_LOAD(p) \
  ({                           \
    V4 v_;                     \
    std::memcpy(&v_, (p), 32); \
    v_;                        \
  })

#define CZ_FOLD(a, b) (((a[0] + a[1]) + (a[2] + a[3])) + ((b[0] + b[1]) + (b[2] + b[3])))

// One kernel for both channels.
CZ_DOT_CLONES void DotSame(const double* c, const double* xi, const double* xq, int n, double* outI, double* outQ) {
  V4 i0 = {0, 0, 0, 0}, i1 = i0, q0 = i0, q1 = i0;
  int m = 0;
  for (; m + 8 <= n; m += 8) {
    const V4 c0 = CZ_LOAD(c + m), c1 = CZ_LOAD(c + m + 4);
    i0 += c0 * CZ_LOAD(xi + m);
    i1 += c1 * CZ_LOAD(xi + m + 4);
    q0 += c0 * CZ_LOAD(xq + m);
    q1 += c1 * CZ_LOAD(xq + m + 4);
  }
  double ti = 0.0, tq = 0.0;
  for (; m < n; ++m) {
    ti += c[m] * xi[m];
    tq += c[m] * xq[m];
  }
  *outI = CZ_FOLD(i0, i1) + ti;
  *outQ = CZ_FOLD(q0, q1) + tq;
}

// Separate kernels for I and Q (user coefficients).
CZ_DOT_CLONES void DotPerChannel(const double* ci, const double* cq, const double* xi, const double* xq, int n,
                                 double* outI, double* outQ) {
  V4 i0 = {0, 0, 0, 0}, i1 = i0, q0 = i0, q1 = i0;
  int m = 0;
  for (; m + 8 <= n; m += 8) {
    i0 += CZ_LOAD(ci + m) * CZ_LOAD(xi + m);
    i1 += CZ_LOAD(ci + m + 4) * CZ_LOAD(xi + m + 4);
    q0 += CZ_LOAD(cq + m) * CZ_LOAD(xq + m);
    q1 += CZ_LOAD(cq + m + 4) * CZ_LOAD(xq + m + 4);
  }
  double ti = 0.0, tq = 0.0;
  for (; m < n; ++m) {
    ti += ci[m] * xi[m];
    tq += cq[m] * xq[m];
  }
  *outI = CZ_FOLD(i0, i1) + ti;
  *outQ = CZ_FOLD(q0, q1) + tq;
}

// Complex kernel times complex signal.
CZ_DOT_CLONES void DotComplex(const double* ci, const double* cq, const double* xi, const double* xq, int n,
                              double* outI, double* outQ) {
  V4 i0 = {0, 0, 0, 0}, i1 = i0, q0 = i0, q1 = i0;
  int m = 0;
  for (; m + 8 <= n; m += 8) {
    const V4 a0 = CZ_LOAD(ci + m), a1 = CZ_LOAD(ci + m + 4);
    const V4 b0 = CZ_LOAD(cq + m), b1 = CZ_LOAD(cq + m + 4);
    const V4 x0 = CZ_LOAD(xi + m), x1 = CZ_LOAD(xi + m + 4);
    const V4 y0 = CZ_LOAD(xq + m), y1 = CZ_LOAD(xq + m + 4);
    i0 += a0 * x0 - b0 * y0;
    i1 += a1 * x1 - b1 * y1;
    q0 += a0 * y0 + b0 * x0;
    q1 += a1 * y1 + b1 * x1;
  }
  double ti = 0.0, tq = 0.0;
  for (; m < n; ++m) {
    ti += ci[m] * xi[m] - cq[m] * xq[m];
    tq += ci[m] * xq[m] + cq[m] * xi[m];
  }
  *outI = CZ_FOLD(i0, i1) + ti;
  *outQ = CZ_FOLD(q0, q1) + tq;
}

enum class Mix { kSame, kPerChannel, kComplex };

// The four kernel tables of one run.
struct KernelTables {
  std::unique_ptr<double[]> kernelI, kernelQ, diffI, diffQ;
  bool Allocate() {
    kernelI.reset(new (std::nothrow) double[kKernelTablePoints]);
    kernelQ.reset(new (std::nothrow) double[kKernelTablePoints]);
    diffI.reset(new (std::nothrow) double[kKernelTablePoints]);
    diffQ.reset(new (std::nothrow) double[kKernelTablePoints]);
    return kernelI && kernelQ && diffI && diffQ;
  }
};

// Interpolated coefficients of the taps i = first .. first+count-1 for the
// input position t: table position (t - i + h)*P, linear between points; a
// position outside 0..19,999 contributes nothing.
void TapCoefficients(const KernelTables& k, bool both, double t, int64_t first, int count, int h, double P, double* ci,
                     double* cq) {
  for (int m = 0; m < count; ++m) {
    const double pos = (t - static_cast<double>(first + m) + h) * P;
    if (pos >= 0.0 && pos <= kLastTablePoint) {
      const int idx = static_cast<int>(pos);
      const double f = pos - idx;
      ci[m] = k.kernelI[idx] + f * k.diffI[idx];
      if (both) cq[m] = k.kernelQ[idx] + f * k.diffQ[idx];
    } else {
      ci[m] = 0.0;
      if (both) cq[m] = 0.0;
    }
  }
}

int64_t Mod(int64_t i, int64_t n) {
  const int64_t r = i % n;
  return r < 0 ? r + n : r;
}

// The streaming input: a window of samples [start, end) of the source slot,
// read strictly in order, and the stored ends for the periodic extension.
struct InputStream {
  int slot = 0;
  int64_t n = 0;          // input samples
  int keep = 0;           // samples kept on a refill (the window length L)
  int capacity = 0;
  std::vector<double> winI, winQ;
  int64_t start = 0, end = 0;
  std::vector<double> headI, headQ, tailI, tailQ;  // first / last samples
  std::vector<float> staging;                     // interleaved float32 pairs

  // Reads count samples into staging; the number read.
  int64_t ReadPairs(int64_t count) {
    const int32_t want = static_cast<int32_t>(count * 8);
    const int32_t got = ReadBytes(slot, want, staging.data());
    return got < 0 ? 0 : got / 8;
  }

  // First pass: keeps both ends, then rewinds behind the header.
  bool ScanEnds(int64_t endCount) {
    headI.resize(endCount);
    headQ.resize(endCount);
    tailI.resize(endCount);
    tailQ.resize(endCount);
    staging.resize(2 * static_cast<size_t>(std::max<int64_t>(kScanBlock, capacity)));
    for (int64_t done = 0; done < n;) {
      const int64_t want = std::min<int64_t>(kScanBlock, n - done);
      const int64_t got = ReadPairs(want);
      if (got != want) {
        char text[80];
        cz::SnprintfC(text, sizeof text, "*** Read failed for sample no. %lld", static_cast<long long>(done + got));
        Log_Message(1, text);
        return false;
      }
      for (int64_t s = 0; s < got; ++s) {
        const int64_t i = done + s;
        if (i < endCount) {
          headI[i] = staging[2 * s];
          headQ[i] = staging[2 * s + 1];
        }
        if (i >= n - endCount) {
          tailI[i - (n - endCount)] = staging[2 * s];
          tailQ[i - (n - endCount)] = staging[2 * s + 1];
        }
      }
      done += got;
    }
    if (!RestartAtBegining(slot)) {
      InternalError(kResamplerErrRestart);
      return false;
    }
    char header[3];
    if (ReadBytes(slot, 3, header) != 3) {
      InternalError(kResamplerErrHeader);
      return false;
    }
    winI.assign(capacity, 0.0);
    winQ.assign(capacity, 0.0);
    start = end = 0;
    return true;
  }

  // Makes sample `need` (< n) part of the window.
  bool FillTo(int64_t need) {
    while (need >= end) {
      const int held = static_cast<int>(end - start);
      const int kept = std::min(keep, held);
      if (kept > 0 && kept < held) {
        std::memmove(winI.data(), winI.data() + (held - kept), sizeof(double) * kept);
        std::memmove(winQ.data(), winQ.data() + (held - kept), sizeof(double) * kept);
      }
      start = end - kept;
      const int64_t want = std::min<int64_t>(capacity - kept, n - end);
      const int64_t got = ReadPairs(want);
      for (int64_t s = 0; s < got; ++s) {
        winI[kept + s] = staging[2 * s];
        winQ[kept + s] = staging[2 * s + 1];
      }
      if (got != want || want <= 0) {
        char text[112];
        cz::SnprintfC(text, sizeof text, "*** Read failed for sample no. %lld (%lld-%lld)",
                      static_cast<long long>(end + got), static_cast<long long>(start),
                      static_cast<long long>(end + want));
        Log_Message(1, text);
        return false;
      }
      end += got;
    }
    return true;
  }

  // Sample i of the periodic waveform (any i), from the window or the ends.
  void Periodic(int64_t i, double* xi, double* xq) const {
    const int64_t idx = Mod(i, n);
    const int64_t ends = static_cast<int64_t>(headI.size());
    if (idx >= start && idx < end) {
      *xi = winI[idx - start];
      *xq = winQ[idx - start];
    } else if (idx < ends) {
      *xi = headI[idx];
      *xq = headQ[idx];
    } else {
      *xi = tailI[idx - (n - ends)];
      *xq = tailQ[idx - (n - ends)];
    }
  }
};

// Coefficients of every repeating phase r/b (b phases), for the taps
// -h-1 .. h+1 around the integer part of the position, with the range of
// non-zero coefficients of each phase.
struct PhaseBank {
  int64_t a = 0, b = 0;  // position of output j = j*a/b input samples
  int taps = 0;          // 2h + 3
  int stride = 0;        // doubles per phase (I set, then Q set)
  std::vector<double> coeffs;
  std::vector<int> nzFirst, nzLast;

  bool Build(const KernelTables& k, bool both, int h, double P) {
    taps = 2 * h + 3;
    stride = both ? 2 * taps : taps;
    try {
      coeffs.assign(static_cast<size_t>(b) * stride, 0.0);
      nzFirst.assign(b, 0);
      nzLast.assign(b, -1);
    } catch (const std::bad_alloc&) {
      return false;
    }
    for (int64_t r = 0; r < b; ++r) {
      double* ci = &coeffs[r * stride];
      double* cq = both ? ci + taps : ci;
      TapCoefficients(k, both, static_cast<double>(r) / static_cast<double>(b), -h - 1, taps, h, P, ci, cq);
      int first = taps, last = -1;
      for (int m = 0; m < taps; ++m) {
        if (ci[m] != 0.0 || cq[m] != 0.0) {
          if (first == taps) first = m;
          last = m;
        }
      }
      nzFirst[r] = first;
      nzLast[r] = last;
    }
    return true;
  }
};

bool WriteBlock(int slot, const float* data, int samples) {
  const int32_t bytes = samples * 8;
  if (WriteBytes(slot, bytes, data) != bytes) {
    Log_Message(1, "*** Failed to write data.");
    return false;
  }
  return true;
}

}  // namespace

int ResampleFile(int filter, int window, double alpha, int64_t inputSamples, double cutoff, double designClock, int L,
                 int64_t outputSamples, int sourceSlot, int destinationSlot, double* peak, double* rms,
                 ResamplerProgressFn progressHook, const double* userI, const double* userQ, int userLength,
                 int userOversampling) {
  if (inputSamples <= 0 || outputSamples <= 0) {
    Log_Message(1, "*** Wrong length values provided to resampler routine!");
    return 0;
  }
  if (peak == nullptr || rms == nullptr || progressHook == nullptr) {
    InternalError(kResamplerErrArgs);
    return 0;
  }
  KernelTables k;
  if (!k.Allocate()) {
    Log_Message(1, "*** Failed to allocate filter memory");
    return 0;
  }
  // Refuses unknown codes, lengths below 3 and missing user coefficients.
  if (!DesignFilterKernel(window, filter, alpha, L, userI, userQ, userLength, userOversampling, k.kernelI.get(),
                          k.kernelQ.get(), k.diffI.get(), k.diffQ.get(), cutoff, designClock)) {
    return 0;
  }
  Mix mix = Mix::kComplex;
  if (!IsComplexFilter(filter)) {
    const size_t bytes = sizeof(double) * kKernelTablePoints;
    const bool same = std::memcmp(k.kernelI.get(), k.kernelQ.get(), bytes) == 0 &&
                      std::memcmp(k.diffI.get(), k.diffQ.get(), bytes) == 0;
    mix = same ? Mix::kSame : Mix::kPerChannel;
  }
  const bool both = mix != Mix::kSame;

  const int h = (L - 1) / 2;
  const double P = static_cast<double>(kLastTablePoint) / (2.0 * h);
  const double ratio = static_cast<double>(outputSamples) / static_cast<double>(inputSamples);
  const int64_t N = inputSamples;
  const int64_t M = outputSamples;

  InputStream in;
  in.slot = sourceSlot;
  in.n = N;
  in.keep = L;
  in.capacity = std::max(kResamplerWindowSamples, 2 * L);
  if (!in.ScanEnds(std::min<int64_t>(N, std::max(kHeadTailMin, h + 2)))) return 0;

  // Repeating phases: output j sits at j*a/b with a/b = N/M in lowest terms.
  PhaseBank bank;
  {
    const int64_t g = std::gcd(N, M);
    bank.a = N / g;
    bank.b = M / g;
    const bool fits = bank.a <= INT64_MAX / M;
    if (!(fits && bank.b <= kMaxCachedPhases && bank.b * 4 <= M && bank.Build(k, both, h, P))) bank.b = 0;
  }

  const int span = 2 * h + 3;
  std::vector<double> ci(span), cq(span), xi(span), xq(span);
  std::vector<float> out(2 * static_cast<size_t>(kOutputBlock));
  int outFill = 0;
  double peakValue = 0.0;
  double sumSquares = 0.0;
  int64_t lastPercent = -1;
  int64_t nextProgress = 0;

  for (int64_t j = 0; j < M; ++j) {
    if (j == nextProgress) {
      const int64_t p = 100 * j / M;
      if (p != lastPercent || j % kProgressEvery == 0) {
        lastPercent = p;
        if (progressHook(static_cast<double>(p)) != 0) return 0;
      }
      // Next call: the next multiple of 10,000 or the first j of the next percent.
      const int64_t nextPercentJ = ((p + 1) * M + 99) / 100;
      nextProgress = std::min((j / kProgressEvery + 1) * kProgressEvery, std::max(nextPercentJ, j + 1));
    }

    const double t = static_cast<double>(j) / ratio;
    const int64_t iLo = static_cast<int64_t>(std::ceil(t - h));
    const int64_t iHi = static_cast<int64_t>(std::floor(t + h));
    int64_t first = iLo;
    int count = static_cast<int>(iHi - iLo + 1);
    const double* cI = ci.data();
    const double* cQ = cq.data();
    bool computed = false;
    if (bank.b > 0) {
      const int64_t pos = j * bank.a;
      const int64_t r = pos % bank.b;
      const int64_t base = pos / bank.b - h - 1;  // tap of the bank's element 0
      const int64_t off = iLo - base;
      if (off >= 0 && off + count <= bank.taps) {
        const int lo = std::max(static_cast<int>(off), bank.nzFirst[r]);
        const int hi = std::min(static_cast<int>(off) + count - 1, bank.nzLast[r]);
        const double* set = &bank.coeffs[r * bank.stride];
        cI = set + lo;
        cQ = (both ? set + bank.taps : set) + lo;
        first = base + lo;
        count = hi >= lo ? hi - lo + 1 : 0;
        computed = true;
      }
    }
    if (!computed) {
      TapCoefficients(k, both, t, iLo, count, h, P, ci.data(), cq.data());
      if (!both) cQ = cI;
    }

    double I = 0.0, Q = 0.0;
    if (count > 0) {
      const double* pI;
      const double* pQ;
      if (first >= 0 && first + count <= N) {
        if (!in.FillTo(first + count - 1)) return 0;
        if (first < in.start) {
          Log_Message(1, "*** Missed some input data.");
          return 0;
        }
        pI = in.winI.data() + (first - in.start);
        pQ = in.winQ.data() + (first - in.start);
      } else {
        // Near the ends: gather the periodic continuation.
        const int64_t last = std::min(first + count - 1, N - 1);
        if (last >= in.end && !in.FillTo(last)) return 0;
        for (int m = 0; m < count; ++m) in.Periodic(first + m, &xi[m], &xq[m]);
        pI = xi.data();
        pQ = xq.data();
      }
      switch (mix) {
        case Mix::kSame:
          DotSame(cI, pI, pQ, count, &I, &Q);
          break;
        case Mix::kPerChannel:
          DotPerChannel(cI, cQ, pI, pQ, count, &I, &Q);
          break;
        case Mix::kComplex:
          DotComplex(cI, cQ, pI, pQ, count, &I, &Q);
          break;
      }
    }

    out[2 * outFill] = static_cast<float>(I);
    out[2 * outFill + 1] = static_cast<float>(Q);
    if (++outFill == kOutputBlock) {
      if (!WriteBlock(destinationSlot, out.data(), outFill)) return 0;
      outFill = 0;
    }
    const double mag2 = I * I + Q * Q;
    peakValue = std::max(peakValue, std::sqrt(mag2));
    sumSquares += mag2;
  }
  if (outFill > 0 && !WriteBlock(destinationSlot, out.data(), outFill)) return 0;

  *peak = peakValue;
  *rms = std::sqrt(sumSquares / static_cast<double>(M));
  return 1;
}
