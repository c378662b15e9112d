// Resampling and filtering of temporary I/Q files.
#include "engine/Tessera_Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
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
// Per result sixteen (one output, real kernels) or eight partial sums in
// vectors of four lanes, folded in a fixed order: the result is the same bit
// for bit on every instruction set (no fused multiply-add, no
// reassociation). Cloned for AVX2 where the CPU has it; the default clone
// runs the same lanes on SSE2. Plain double arithmetic bounds the speed (two
// multiplies and two adds per tap and output), so the paired kernels share
// the input loads of two outputs.

#define CZ_DOT_CLONES __attribute__((target_clones("avx2", "default")))

typedef double V4 __attribute__((vector_size(32)));

// Load of four doubles, any alignment (a macro, so that no function passes a
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
  V4 i0 = {0, 0, 0, 0}, i1 = i0, i2 = i0, i3 = i0, q0 = i0, q1 = i0, q2 = i0, q3 = i0;
  int m = 0;
  for (; m + 16 <= n; m += 16) {
    const V4 c0 = CZ_LOAD(c + m), c1 = CZ_LOAD(c + m + 4), c2 = CZ_LOAD(c + m + 8), c3 = CZ_LOAD(c + m + 12);
    i0 += c0 * CZ_LOAD(xi + m);
    i1 += c1 * CZ_LOAD(xi + m + 4);
    i2 += c2 * CZ_LOAD(xi + m + 8);
    i3 += c3 * CZ_LOAD(xi + m + 12);
    q0 += c0 * CZ_LOAD(xq + m);
    q1 += c1 * CZ_LOAD(xq + m + 4);
    q2 += c2 * CZ_LOAD(xq + m + 8);
    q3 += c3 * CZ_LOAD(xq + m + 12);
  }
  double ti = 0.0, tq = 0.0;
  for (; m < n; ++m) {
    ti += c[m] * xi[m];
    tq += c[m] * xq[m];
  }
  *outI = (CZ_FOLD(i0, i1) + CZ_FOLD(i2, i3)) + ti;
  *outQ = (CZ_FOLD(q0, q1) + CZ_FOLD(q2, q3)) + tq;
}

// Separate kernels for I and Q (user coefficients).
CZ_DOT_CLONES void DotPerChannel(const double* ci, const double* cq, const double* xi, const double* xq, int n,
                                 double* outI, double* outQ) {
  V4 i0 = {0, 0, 0, 0}, i1 = i0, i2 = i0, i3 = i0, q0 = i0, q1 = i0, q2 = i0, q3 = i0;
  int m = 0;
  for (; m + 16 <= n; m += 16) {
    i0 += CZ_LOAD(ci + m) * CZ_LOAD(xi + m);
    i1 += CZ_LOAD(ci + m + 4) * CZ_LOAD(xi + m + 4);
    i2 += CZ_LOAD(ci + m + 8) * CZ_LOAD(xi + m + 8);
    i3 += CZ_LOAD(ci + m + 12) * CZ_LOAD(xi + m + 12);
    q0 += CZ_LOAD(cq + m) * CZ_LOAD(xq + m);
    q1 += CZ_LOAD(cq + m + 4) * CZ_LOAD(xq + m + 4);
    q2 += CZ_LOAD(cq + m + 8) * CZ_LOAD(xq + m + 8);
    q3 += CZ_LOAD(cq + m + 12) * CZ_LOAD(xq + m + 12);
  }
  double ti = 0.0, tq = 0.0;
  for (; m < n; ++m) {
    ti += ci[m] * xi[m];
    tq += cq[m] * xq[m];
  }
  *outI = (CZ_FOLD(i0, i1) + CZ_FOLD(i2, i3)) + ti;
  *outQ = (CZ_FOLD(q0, q1) + CZ_FOLD(q2, q3)) + tq;
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

// Two outputs over the same input taps (each with its own kernel row).
CZ_DOT_CLONES void DotSamePair(const double* ca, const double* cb, const double* xi, const double* xq, int n,
                               double* out) {
  V4 ai0 = {0, 0, 0, 0}, ai1 = ai0, aq0 = ai0, aq1 = ai0, bi0 = ai0, bi1 = ai0, bq0 = ai0, bq1 = ai0;
  int m = 0;
  for (; m + 8 <= n; m += 8) {
    const V4 x0 = CZ_LOAD(xi + m), x1 = CZ_LOAD(xi + m + 4), y0 = CZ_LOAD(xq + m), y1 = CZ_LOAD(xq + m + 4);
    const V4 a0 = CZ_LOAD(ca + m), a1 = CZ_LOAD(ca + m + 4), b0 = CZ_LOAD(cb + m), b1 = CZ_LOAD(cb + m + 4);
    ai0 += a0 * x0;
    ai1 += a1 * x1;
    aq0 += a0 * y0;
    aq1 += a1 * y1;
    bi0 += b0 * x0;
    bi1 += b1 * x1;
    bq0 += b0 * y0;
    bq1 += b1 * y1;
  }
  double t[4] = {0.0, 0.0, 0.0, 0.0};
  for (; m < n; ++m) {
    t[0] += ca[m] * xi[m];
    t[1] += ca[m] * xq[m];
    t[2] += cb[m] * xi[m];
    t[3] += cb[m] * xq[m];
  }
  out[0] = CZ_FOLD(ai0, ai1) + t[0];
  out[1] = CZ_FOLD(aq0, aq1) + t[1];
  out[2] = CZ_FOLD(bi0, bi1) + t[2];
  out[3] = CZ_FOLD(bq0, bq1) + t[3];
}

CZ_DOT_CLONES void DotPerChannelPair(const double* caI, const double* caQ, const double* cbI, const double* cbQ,
                                     const double* xi, const double* xq, int n, double* out) {
  V4 ai0 = {0, 0, 0, 0}, ai1 = ai0, aq0 = ai0, aq1 = ai0, bi0 = ai0, bi1 = ai0, bq0 = ai0, bq1 = ai0;
  int m = 0;
  for (; m + 8 <= n; m += 8) {
    const V4 x0 = CZ_LOAD(xi + m), x1 = CZ_LOAD(xi + m + 4), y0 = CZ_LOAD(xq + m), y1 = CZ_LOAD(xq + m + 4);
    ai0 += CZ_LOAD(caI + m) * x0;
    ai1 += CZ_LOAD(caI + m + 4) * x1;
    aq0 += CZ_LOAD(caQ + m) * y0;
    aq1 += CZ_LOAD(caQ + m + 4) * y1;
    bi0 += CZ_LOAD(cbI + m) * x0;
    bi1 += CZ_LOAD(cbI + m + 4) * x1;
    bq0 += CZ_LOAD(cbQ + m) * y0;
    bq1 += CZ_LOAD(cbQ + m + 4) * y1;
  }
  double t[4] = {0.0, 0.0, 0.0, 0.0};
  for (; m < n; ++m) {
    t[0] += caI[m] * xi[m];
    t[1] += caQ[m] * xq[m];
    t[2] += cbI[m] * xi[m];
    t[3] += cbQ[m] * xq[m];
  }
  out[0] = CZ_FOLD(ai0, ai1) + t[0];
  out[1] = CZ_FOLD(aq0, aq1) + t[1];
  out[2] = CZ_FOLD(bi0, bi1) + t[2];
  out[3] = CZ_FOLD(bq0, bq1) + t[3];
}

// One kernel for both channels whose coefficients are base + u*slope,
// formed on the fly (the coefficients are linear in the phase, see CellCache).
CZ_DOT_CLONES void DotSameLinear(const double* base, const double* slope, double u, const double* xi, const double* xq,
                                 int n, double* outI, double* outQ) {
  V4 i0 = {0, 0, 0, 0}, i1 = i0, q0 = i0, q1 = i0;
  const V4 uu = {u, u, u, u};
  int m = 0;
  for (; m + 8 <= n; m += 8) {
    const V4 c0 = CZ_LOAD(base + m) + uu * CZ_LOAD(slope + m);
    const V4 c1 = CZ_LOAD(base + m + 4) + uu * CZ_LOAD(slope + m + 4);
    i0 += c0 * CZ_LOAD(xi + m);
    i1 += c1 * CZ_LOAD(xi + m + 4);
    q0 += c0 * CZ_LOAD(xq + m);
    q1 += c1 * CZ_LOAD(xq + m + 4);
  }
  double ti = 0.0, tq = 0.0;
  for (; m < n; ++m) {
    const double c = base[m] + u * slope[m];
    ti += c * xi[m];
    tq += c * xq[m];
  }
  *outI = CZ_FOLD(i0, i1) + ti;
  *outQ = CZ_FOLD(q0, q1) + tq;
}

enum class Mix { kSame, kPerChannel, kComplex };

// The four kernel tables of one run, and each kernel interleaved with its
// differences (point k at [2k], difference at [2k+1]) so that one tap's
// look-up touches one cache line.
struct KernelTables {
  std::unique_ptr<double[]> kernelI, kernelQ, diffI, diffQ;
  std::unique_ptr<double[]> packedI, packedQ;
  bool Allocate() {
    kernelI.reset(new (std::nothrow) double[kKernelTablePoints]);
    kernelQ.reset(new (std::nothrow) double[kKernelTablePoints]);
    diffI.reset(new (std::nothrow) double[kKernelTablePoints]);
    diffQ.reset(new (std::nothrow) double[kKernelTablePoints]);
    packedI.reset(new (std::nothrow) double[2 * kKernelTablePoints]);
    packedQ.reset(new (std::nothrow) double[2 * kKernelTablePoints]);
    return kernelI && kernelQ && diffI && diffQ && packedI && packedQ;
  }
  void Pack() {
    for (int k = 0; k < kKernelTablePoints; ++k) {
      packedI[2 * k] = kernelI[k];
      packedI[2 * k + 1] = diffI[k];
      packedQ[2 * k] = kernelQ[k];
      packedQ[2 * k + 1] = diffQ[k];
    }
  }
};

// Interpolated coefficients of the taps i = first .. first+count-1 for the
// input position t: table position (t - i + h)*P, linear between points; a
// position outside 0..19,999 contributes nothing.
void TapCoefficients(const KernelTables& k, bool both, double t, int64_t first, int count, int h, double P, double* ci,
                     double* cq) {
  const double* pI = k.packedI.get();
  const double* pQ = k.packedQ.get();
  for (int m = 0; m < count; ++m) {
    const double pos = (t - static_cast<double>(first + m) + h) * P;
    // Branch-free: an outside position reads point 0 and is masked to 0.
    const bool inside = pos >= 0.0 && pos <= kLastTablePoint;
    const int idx = inside ? static_cast<int>(pos) : 0;
    const double f = pos - idx;
    const double vI = pI[2 * idx] + f * pI[2 * idx + 1];
    ci[m] = inside ? vI : 0.0;
    if (both) {
      const double vQ = pQ[2 * idx] + f * pQ[2 * idx + 1];
      cq[m] = inside ? vQ : 0.0;
    }
  }
}

// ceil and floor to integers for |x| < 2^63 without a library call.
inline int64_t CeilToInt(double x) {
  const int64_t c = static_cast<int64_t>(x);
  return static_cast<double>(c) < x ? c + 1 : c;
}
inline int64_t FloorToInt(double x) {
  const int64_t f = static_cast<int64_t>(x);
  return static_cast<double>(f) > x ? f - 1 : f;
}

int64_t Mod(int64_t i, int64_t n) {
  const int64_t r = i % n;
  return r < 0 ? r + n : r;
}

// A zeroed double array whose element 0 lies on a 64-byte boundary, so that
// the dot products' four-double loads do not straddle cache lines.
struct AlignedArray {
  std::vector<double> store;
  double* data = nullptr;
  void Assign(size_t n) {
    store.assign(n + 8, 0.0);
    const uintptr_t address = reinterpret_cast<uintptr_t>(store.data());
    data = store.data() + ((64 - address % 64) % 64) / sizeof(double);
  }
  double& operator[](size_t i) { return data[i]; }
  const double& operator[](size_t i) const { return data[i]; }
};

// The source on a slot, read strictly in order: a read before the position
// starts the slot over behind its header, one after it reads past what lies
// between (the first pass over the ends).
class SlotSource final : public ResampleSource {
 public:
  // The pass over what lies between calls progress (with 0 %) after every
  // block, so that the window stays painted while it reads; a non-zero
  // answer ends the run.
  SlotSource(int slot, ResamplerProgressFn progress) : slot_(slot), progress_(progress) {}
  int64_t Pairs(int64_t first, int32_t count, float* out) override {
    if (first < pos_) {
      if (!RestartAtBegining(slot_)) {
        InternalError(kResamplerErrRestart);
        return -1;
      }
      char header[3];
      if (ReadBytes(slot_, 3, header) != 3) {
        InternalError(kResamplerErrHeader);
        return -1;
      }
      pos_ = 0;
    }
    while (pos_ < first) {
      scratch_.resize(2 * static_cast<size_t>(kScanBlock));
      const int32_t want = static_cast<int32_t>(std::min<int64_t>(first - pos_, kScanBlock));
      const int64_t got = Read(want, scratch_.data());
      if (got != want) {
        char text[80];
        cz::SnprintfC(text, sizeof text, "*** Read failed for sample no. %lld", static_cast<long long>(pos_));
        Log_Message(1, text);
        return -1;
      }
      if (progress_ != nullptr && progress_(0.0) != 0) return -1;
    }
    return Read(count, out);
  }

 private:
  int64_t Read(int32_t count, float* out) {
    const int32_t got = ReadBytes(slot_, count * 8, out);
    const int64_t pairs = got < 0 ? 0 : got / 8;
    pos_ += pairs;
    return pairs;
  }
  int slot_;
  ResamplerProgressFn progress_;
  int64_t pos_ = 0;  // the next sample the slot reads
  std::vector<float> scratch_;
};

// The sink on a slot: the outputs are written as they come.
class SlotSink final : public ResampleSink {
 public:
  explicit SlotSink(int slot) : slot_(slot) {}
  int Outputs(const float* iq, int32_t count) override {
    const int32_t bytes = count * 8;
    if (WriteBytes(slot_, bytes, iq) != bytes) {
      Log_Message(1, "*** Failed to write data.");
      return 0;
    }
    return 1;
  }

 private:
  int slot_;
};

// The streaming input: a window of samples [start, end) of the source, read
// in order (a source that reads anywhere lets the window move on over
// samples nobody asks for), and the stored ends for the periodic extension.
struct InputStream {
  ResampleSource* source = nullptr;
  int64_t n = 0;          // input samples
  int keep = 0;           // samples kept on a refill
  int capacity = 0;
  AlignedArray winI, winQ;
  int64_t start = 0, end = 0;
  std::vector<double> headI, headQ, tailI, tailQ;  // first / last samples
  std::vector<float> staging;                     // interleaved float32 pairs

  // Reads count samples from `first` into staging; the number read.
  int64_t ReadPairs(int64_t first, int64_t count) {
    const int64_t got = source->Pairs(first, static_cast<int32_t>(count), staging.data());
    return got < 0 ? 0 : got;
  }

  // Keeps both ends of the input.
  bool ScanEnds(int64_t endCount) {
    headI.resize(endCount);
    headQ.resize(endCount);
    tailI.resize(endCount);
    tailQ.resize(endCount);
    staging.resize(2 * static_cast<size_t>(std::max<int64_t>(kScanBlock, capacity)));
    for (int part = 0; part < 2; ++part) {
      const int64_t first = part == 0 ? 0 : n - endCount;
      const int64_t got = source->Pairs(first, static_cast<int32_t>(endCount), staging.data());
      if (got != endCount) {
        // A source that failed has said why.
        if (got >= 0) {
          char text[80];
          cz::SnprintfC(text, sizeof text, "*** Read failed for sample no. %lld", static_cast<long long>(first + got));
          Log_Message(1, text);
        }
        return false;
      }
      std::vector<double>& I = part == 0 ? headI : tailI;
      std::vector<double>& Q = part == 0 ? headQ : tailQ;
      for (int64_t k = 0; k < endCount; ++k) I[k] = staging[2 * k], Q[k] = staging[2 * k + 1];
    }
    winI.Assign(capacity);
    winQ.Assign(capacity);
    start = end = 0;
    return true;
  }

  // Makes sample `need` (< n) part of the window.
  bool FillTo(int64_t need) {
    // Far ahead: the samples between are not read at all.
    if (source->RandomAccess() && need + 1 - keep > end) start = end = need + 1 - keep;
    while (need >= end) {
      const int held = static_cast<int>(end - start);
      const int kept = std::min(keep, held);
      if (kept > 0 && kept < held) {
        std::memmove(winI.data, winI.data + (held - kept), sizeof(double) * kept);
        std::memmove(winQ.data, winQ.data + (held - kept), sizeof(double) * kept);
      }
      start = end - kept;
      const int64_t want = std::min<int64_t>(capacity - kept, n - end);
      const int64_t got = ReadPairs(end, want);
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

  // Sample i of the periodic waveform (any i), from the window or the ends;
  // false when neither holds it.
  bool Periodic(int64_t i, double* xi, double* xq) const {
    const int64_t idx = Mod(i, n);
    const int64_t ends = static_cast<int64_t>(headI.size());
    if (idx >= start && idx < end) {
      *xi = winI[idx - start];
      *xq = winQ[idx - start];
    } else if (idx < ends) {
      *xi = headI[idx];
      *xq = headQ[idx];
    } else if (idx >= n - ends) {
      *xi = tailI[idx - (n - ends)];
      *xq = tailQ[idx - (n - ends)];
    } else {
      return false;
    }
    return true;
  }
};

// Coefficients of every repeating phase r/b (b phases) for the taps
// -h-1 .. h+1 around the integer part T of the position, with the range of
// non-zero coefficients of each phase. Each set is stored shifted by 0
// (element m = tap T-h-1+m) and by 1 (element m = tap T-h-2+m), so that two
// outputs whose integer parts differ by at most one can share one pass over
// the input; and, for few phases, in four copies whose element 0 sits 0..3
// doubles behind a 32-byte boundary, so that coefficient and input loads can
// both be aligned. Elements outside the set read as zero.
struct PhaseBank {
  static constexpr int64_t kAlignedPhases = 64;  // phases for which the four copies are kept
  int64_t a = 0, b = 0;  // position of output j = j*a/b input samples
  int taps = 0;          // 2h + 3 coefficients per set
  int row = 0;           // doubles per stored copy (zero padded, a multiple of 4)
  int sets = 1;          // 1 (one kernel) or 2 (I and Q kernels)
  int aligns = 1;        // copies per row: 4, or 1 for many phases
  AlignedArray coeffs;
  std::vector<int> nzFirst, nzLast;  // in shift-0 elements; first > last when all zero

  // Element m (-3 .. taps) of the row of phase r, set and shift; with four
  // copies taken from the one in which it lies on a 32-byte boundary.
  const double* Elem(int64_t r, int set, int shift, int m) const {
    const int al = aligns > 1 ? ((-(3 + m)) % 4 + 4) % 4 : 0;
    return coeffs.data + (((r * sets + set) * 2 + shift) * aligns + al) * row + 3 + al + m;
  }

  bool Build(const KernelTables& k, bool both, int h, double P) {
    taps = 2 * h + 3;
    row = (3 + taps + 1 + 3 + 3) / 4 * 4;
    sets = both ? 2 : 1;
    aligns = b <= kAlignedPhases ? 4 : 1;
    try {
      coeffs.Assign(static_cast<size_t>(b) * sets * 2 * aligns * row);
      nzFirst.assign(b, 0);
      nzLast.assign(b, -1);
    } catch (const std::bad_alloc&) {
      return false;
    }
    std::vector<double> ci(taps), cq(taps);
    for (int64_t r = 0; r < b; ++r) {
      TapCoefficients(k, both, static_cast<double>(r) / static_cast<double>(b), -h - 1, taps, h, P, ci.data(),
                      cq.data());
      for (int set = 0; set < sets; ++set) {
        const std::vector<double>& c = set == 0 ? ci : cq;
        for (int shift = 0; shift < 2; ++shift) {
          for (int al = 0; al < aligns; ++al) {
            double* copy = coeffs.data + (((r * sets + set) * 2 + shift) * aligns + al) * row + 3 + al;
            std::memcpy(copy + shift, c.data(), sizeof(double) * taps);
          }
        }
      }
      int first = taps, last = -1;
      for (int m = 0; m < taps; ++m) {
        if (ci[m] != 0.0 || (both && cq[m] != 0.0)) {
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

// Every tap's table position (phi + s)*P crosses a table point at the same
// fractional positions phi: multiples of gcd(2h, 19,999)/19,999 of an input
// sample. Between two of them each interpolated coefficient is a linear
// function of phi. A small cache keeps, per such cell, the coefficients at an
// interior point and their slopes, so that slowly drifting phases (a ratio
// close to a small fraction, such as 400 -> 600 MHz with an odd input
// length) cost one multiply-add per coefficient instead of a table look-up.
// It switches itself off when the phases do not revisit their cells.
struct CellCache {
  static constexpr int kEntries = 16;
  static constexpr int64_t kTrial = 1024;  // look-ups before judging the hit rate
  int64_t cells = 0;                      // cells per input sample
  int h = 0, taps = 0, sets = 1;
  double P = 0.0;
  bool both = false, enabled = false;
  std::vector<double> base, slope;  // per entry: sets x taps
  int64_t tag[kEntries];
  double anchor[kEntries];
  int64_t lookups = 0, misses = 0;
  std::vector<double> c1, c2, q1, q2;

  void Init(int hIn, double PIn, bool bothIn) {
    h = hIn;
    P = PIn;
    both = bothIn;
    taps = 2 * h + 3;
    sets = both ? 2 : 1;
    cells = kLastTablePoint / std::gcd(2 * h, kLastTablePoint);
    base.assign(static_cast<size_t>(kEntries) * sets * taps, 0.0);
    slope.assign(base.size(), 0.0);
    c1.assign(taps, 0.0);
    c2.assign(taps, 0.0);
    q1.assign(taps, 0.0);
    q2.assign(taps, 0.0);
    for (int64_t& t : tag) t = -1;
    enabled = true;
  }

  // The cell of phi in (0, 1): its base row and slopes (element m = tap
  // T-h-1+m, the Q set behind the I set) and phi's offset from the anchor.
  void Lookup(const KernelTables& k, double phi, const double** b, const double** sl, double* u) {
    const int64_t r = std::min(static_cast<int64_t>(phi * cells), cells - 1);
    const int e = static_cast<int>(r % kEntries);
    ++lookups;
    if (tag[e] != r) {
      ++misses;
      // Two interior points of the cell give the line exactly.
      const double p1 = (r + 0.25) / cells, p2 = (r + 0.75) / cells;
      TapCoefficients(k, both, p1, -h - 1, taps, h, P, c1.data(), q1.data());
      TapCoefficients(k, both, p2, -h - 1, taps, h, P, c2.data(), q2.data());
      double* b = &base[static_cast<size_t>(e) * sets * taps];
      double* sl = &slope[static_cast<size_t>(e) * sets * taps];
      for (int m = 0; m < taps; ++m) {
        b[m] = c1[m];
        sl[m] = (c2[m] - c1[m]) / (p2 - p1);
        if (both) {
          b[taps + m] = q1[m];
          sl[taps + m] = (q2[m] - q1[m]) / (p2 - p1);
        }
      }
      tag[e] = r;
      anchor[e] = p1;
    }
    *u = phi - anchor[e];
    *b = &base[static_cast<size_t>(e) * sets * taps];
    *sl = &slope[static_cast<size_t>(e) * sets * taps];
    if (lookups == kTrial && misses * 4 > lookups) enabled = false;
  }
};


}  // namespace

int ResampleFile(int filter, int window, double alpha, int64_t inputSamples, double cutoff, double designClock, int L,
                 int64_t outputSamples, int sourceSlot, int destinationSlot, double* peak, double* rms,
                 ResamplerProgressFn progressHook, const double* userI, const double* userQ, int userLength,
                 int userOversampling) {
  SlotSource source(sourceSlot, progressHook);
  SlotSink sink(destinationSlot);
  return ResampleStream(filter, window, alpha, inputSamples, cutoff, designClock, L, outputSamples, source, sink, peak,
                        rms, progressHook, userI, userQ, userLength, userOversampling);
}

int ResampleStream(int filter, int window, double alpha, int64_t inputSamples, double cutoff, double designClock,
                   int L, int64_t outputSamples, ResampleSource& source, ResampleSink& sink, double* peak,
                   double* rms, ResamplerProgressFn progressHook, const double* userI, const double* userQ,
                   int userLength, int userOversampling) {
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
  k.Pack();
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
  in.source = &source;
  in.n = N;
  // The window keeps the last L samples on a refill, and eight more for the
  // widest pass (a pair of outputs over L + 3 taps, after up to three
  // leading taps for alignment).
  in.keep = L + 8;
  in.capacity = std::max(kResamplerWindowSamples, 2 * L + 16);
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

  CellCache cellCache;
  if (bank.b == 0) cellCache.Init(h, P, both);

  const int span = 2 * h + 4;  // taps of one output, or of a pair sharing a pass
  std::vector<double> ci(span), cq(span);
  AlignedArray xi, xq;  // gathered taps near the ends
  xi.Assign(span);
  xq.Assign(span);
  std::vector<float> out(2 * static_cast<size_t>(kOutputBlock));
  int outFill = 0;
  double peakSquare = 0.0;  // sqrt is monotonic: the peak is sqrt of the largest I^2 + Q^2
  double sumSquares = 0.0;
  int64_t lastPercent = -1;
  int64_t nextProgress = 0;
  // j*a = bankT*b + bankR for the next output, advanced without a division.
  int64_t bankT = 0, bankR = 0;
  const int64_t stepT = bank.b > 0 ? bank.a / bank.b : 0;
  const int64_t stepR = bank.b > 0 ? bank.a % bank.b : 0;
  const auto advanceBank = [&]() {
    bankT += stepT;
    bankR += stepR;
    if (bankR >= bank.b) {
      bankR -= bank.b;
      ++bankT;
    }
  };

  // Progress before output j: at j = 0, whenever the percentage grows and at
  // every multiple of 10,000. False when the hook asks to stop.
  const auto progress = [&](int64_t j) __attribute__((always_inline)) -> bool {
    if (j != nextProgress) return true;
    const int64_t p = 100 * j / M;
    if (p != lastPercent || j % kProgressEvery == 0) {
      lastPercent = p;
      if (progressHook(static_cast<double>(p)) != 0) return false;
    }
    const int64_t nextPercentJ = ((p + 1) * M + 99) / 100;  // first j of the next percent
    nextProgress = std::min((j / kProgressEvery + 1) * kProgressEvery, std::max(nextPercentJ, j + 1));
    return true;
  };

  // The input taps first .. first+count-1 as two contiguous arrays: inside
  // the waveform straight from the window, near its ends gathered from the
  // periodic continuation. With align, *lead (0..3) taps before `first` are
  // included where that puts the window pointer on a 32-byte boundary (the
  // caller gives them zero coefficients); otherwise *lead is 0.
  const auto inputTaps = [&](int64_t first, int count, bool align, const double** pI, const double** pQ,
                             int* lead) -> bool {
    *lead = 0;
    if (first >= 0 && first + count <= N) {
      if (!in.FillTo(first + count - 1)) return false;
      if (first < in.start) {
        Log_Message(1, "*** Missed some input data.");
        return false;
      }
      if (align) {
        const int d = static_cast<int>((first - in.start) & 3);
        if (first - d >= in.start) *lead = d;
      }
      *pI = in.winI.data + (first - *lead - in.start);
      *pQ = in.winQ.data + (first - *lead - in.start);
      return true;
    }
    const int64_t last = std::min(first + count - 1, N - 1);
    if (last >= in.end && !in.FillTo(last)) return false;
    for (int m = 0; m < count; ++m) {
      if (!in.Periodic(first + m, &xi[m], &xq[m])) {
        Log_Message(1, "*** Missed some input data.");
        return false;
      }
    }
    *pI = xi.data;
    *pQ = xq.data;
    return true;
  };

  // Outputs are collected per block with their I^2 + Q^2; the block's
  // statistics are folded in output order when it is written, which keeps
  // the running peak and sum out of the per-output dependency chain.
  std::vector<double> mag2(kOutputBlock);
  const auto flush = [&]() __attribute__((noinline)) -> bool {
    for (int s = 0; s < outFill; ++s) {
      peakSquare = std::max(peakSquare, mag2[s]);
      sumSquares += mag2[s];
    }
    const bool ok = outFill == 0 || sink.Outputs(out.data(), outFill);
    outFill = 0;
    return ok;
  };
  const auto emit = [&](double I, double Q) __attribute__((always_inline)) -> bool {
    out[2 * outFill] = static_cast<float>(I);
    out[2 * outFill + 1] = static_cast<float>(Q);
    mag2[outFill] = I * I + Q * Q;
    return ++outFill < kOutputBlock || flush();
  };

  // Outputs left to the sink uncomputed: those of one real kernel whose taps
  // all lie in one level stretch of the source, certain to convert to
  // int16 zero below the peak folded so far. Their magnitudes are those of
  // the stretch's level times |G|, G = sum of the coefficients times
  // e^(i m delta) (the phases run on linearly), give or take the sum of the
  // coefficients' magnitudes times the float32 rounding of the inputs.
  const bool skipping = source.RandomAccess() && bank.b > 0 && mix == Mix::kSame;
  std::vector<std::pair<double, std::shared_ptr<const ResampleSkipBounds>>> boundsByStep;
  const auto boundsFor = [&](double delta) -> std::shared_ptr<const ResampleSkipBounds> {
    for (const auto& known : boundsByStep)
      if (known.first == delta) return known.second;
    auto b = std::make_shared<ResampleSkipBounds>();
    b->classes = bank.b;
    b->lo.resize(static_cast<size_t>(bank.b));
    b->hi.resize(static_cast<size_t>(bank.b));
    for (int64_t c = 0; c < bank.b; ++c) {
      // Output j with j mod b = c takes the phase (j a) mod b.
      const int64_t r = static_cast<int64_t>((static_cast<__int128>(c) * bank.a) % bank.b);
      double re = 0.0, im = 0.0, sum = 0.0;
      for (int m = bank.nzFirst[r]; m <= bank.nzLast[r]; ++m) {
        const double coefficient = *bank.Elem(r, 0, 0, m);
        re += coefficient * std::cos(m * delta);
        im += coefficient * std::sin(m * delta);
        sum += std::fabs(coefficient);
      }
      const double g = std::sqrt(re * re + im * im);
      const double spread = sum * 0x1p-22 + g * 0x1p-40;
      b->lo[c] = std::max(0.0, g - spread);
      b->hi[c] = g + spread;
    }
    boundsByStep.emplace_back(delta, b);
    return b;
  };
  constexpr double kZeroOutput = 0.5 / 32767.0 * (1.0 - 0x1p-20);
  // The stretch the last taps lay in (from stretchFirst on), and its bounds.
  ResampleLevel stretch;
  int64_t stretchFirst = -1;
  std::shared_ptr<const ResampleSkipBounds> stretchBounds;
  // 1 skipped, 0 computed, -1 failed.
  const auto skip = [&](int64_t first, int count, int64_t firstTap, int64_t lastTap) -> int {
    if (!skipping) return 0;
    if (stretchFirst < 0 || firstTap < stretchFirst || lastTap > stretch.last) {
      stretchFirst = -1;
      if (!source.Level(firstTap, &stretch)) return 0;
      stretchFirst = firstTap;
      stretchBounds = boundsFor(stretch.delta);
    }
    if (lastTap > stretch.last) return 0;
    // The sink takes the outputs in order: those formed before go first.
    if (outFill > 0 && !flush()) return -1;
    const double running = std::sqrt(peakSquare);
    if (!(running > 0.0)) return 0;
    const ResampleSkipBounds& b = *stretchBounds;
    for (int k = 0; k < count; ++k)
      if (!(stretch.level * b.hi[(first + k) % bank.b] * (1.0 + 0x1p-22) < kZeroOutput * running)) return 0;
    return sink.Skip(first, count, stretch.level, running, stretchBounds) ? 1 : 0;
  };

  int64_t j = 0;
  while (j < M) {
    if (!progress(j)) return 0;
    const double t = static_cast<double>(j) / ratio;
    const int64_t iLo = CeilToInt(t - h);
    const int64_t iHi = FloorToInt(t + h);
    int64_t first = iLo;
    int count = static_cast<int>(iHi - iLo + 1);
    const double* cI = ci.data();
    const double* cQ = cq.data();
    bool computed = false;

    if (bank.b > 0) {
      const int64_t rA = bankR;
      const int64_t baseA = bankT - h - 1;  // tap of row element 0
      advanceBank();
      // Output j+1 shares the pass when its integer part is the same or one
      // more and both outputs' own tap ranges cover their non-zero taps.
      if (mix != Mix::kComplex && j + 1 < M) {
        const int64_t rB = bankR;
        const int64_t shift = bankT - h - 1 - baseA;
        const double tB = static_cast<double>(j + 1) / ratio;
        const int64_t iLoB = CeilToInt(tB - h);
        const int64_t iHiB = FloorToInt(tB + h);
        const int fA = bank.nzFirst[rA], lA = bank.nzLast[rA];
        const int fB = bank.nzFirst[rB] + static_cast<int>(shift), lB = bank.nzLast[rB] + static_cast<int>(shift);
        const bool emptyA = fA > lA, emptyB = fB > lB;
        if ((shift == 0 || shift == 1) && (emptyA || (iLo - baseA <= fA && iHi - baseA >= lA)) &&
            (emptyB || (iLoB - baseA <= fB && iHiB - baseA >= lB))) {
          if (!progress(j + 1)) return 0;
          const int lo = emptyA ? fB : (emptyB ? fA : std::min(fA, fB));
          const int hi = emptyA ? lB : (emptyB ? lA : std::max(lA, lB));
          double pair[4] = {0.0, 0.0, 0.0, 0.0};
          const int skipped = lo <= hi ? skip(j, 2, baseA + lo, baseA + hi) : 0;
          if (skipped < 0) return 0;
          if (skipped > 0) {
            advanceBank();
            j += 2;
            continue;
          }
          if (lo <= hi) {
            const double* pI;
            const double* pQ;
            int lead = 0;
            if (!inputTaps(baseA + lo, hi - lo + 1, bank.aligns > 1, &pI, &pQ, &lead)) return 0;
            const int s = static_cast<int>(shift);
            const int e = lo - lead;  // first row element of the pass
            const int n = hi - e + 1;
            if (mix == Mix::kSame) {
              DotSamePair(bank.Elem(rA, 0, 0, e), bank.Elem(rB, 0, s, e), pI, pQ, n, pair);
            } else {
              DotPerChannelPair(bank.Elem(rA, 0, 0, e), bank.Elem(rA, 1, 0, e), bank.Elem(rB, 0, s, e),
                                bank.Elem(rB, 1, s, e), pI, pQ, n, pair);
            }
          }
          if (!emit(pair[0], pair[1]) || !emit(pair[2], pair[3])) return 0;
          advanceBank();
          j += 2;
          continue;
        }
      }
      const int64_t off = iLo - baseA;
      if (off >= 0 && off + count <= bank.taps) {
        const int lo = std::max(static_cast<int>(off), bank.nzFirst[rA]);
        const int hi = std::min(static_cast<int>(off) + count - 1, bank.nzLast[rA]);
        cI = bank.Elem(rA, 0, 0, lo);
        cQ = bank.Elem(rA, bank.sets - 1, 0, lo);
        first = baseA + lo;
        count = hi >= lo ? hi - lo + 1 : 0;
        computed = true;
        const int skipped = count > 0 ? skip(j, 1, first, first + count - 1) : 0;
        if (skipped < 0) return 0;
        if (skipped > 0) {
          ++j;
          continue;
        }
      }
    }
    if (!computed && cellCache.enabled) {
      const int64_t T = FloorToInt(t);
      const double phi = t - static_cast<double>(T);
      const int64_t lo = iLo - (T - h - 1), hi = iHi - (T - h - 1);
      // A whole-number position is left to the table, where the taps at
      // exactly both ends of the kernel take part.
      if (phi > 0.0 && lo >= 0 && hi < cellCache.taps) {
        const double* b;
        const double* sl;
        double u;
        cellCache.Lookup(k, phi, &b, &sl, &u);
        if (mix == Mix::kSame) {
          // Coefficients formed inside the dot product.
          double I = 0.0, Q = 0.0;
          const double* pI;
          const double* pQ;
          int lead = 0;
          if (!inputTaps(iLo, count, false, &pI, &pQ, &lead)) return 0;
          DotSameLinear(b + lo, sl + lo, u, pI, pQ, count, &I, &Q);
          if (!emit(I, Q)) return 0;
          ++j;
          continue;
        }
        const int taps = cellCache.taps;
        for (int64_t m = lo; m <= hi; ++m) {
          ci[m - lo] = b[m] + u * sl[m];
          cq[m - lo] = b[taps + m] + u * sl[taps + m];
        }
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
      int lead = 0;
      if (!inputTaps(first, count, false, &pI, &pQ, &lead)) return 0;
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
    if (!emit(I, Q)) return 0;
    ++j;
  }
  if (!flush()) return 0;

  *peak = std::sqrt(peakSquare);
  *rms = std::sqrt(sumSquares / static_cast<double>(M));
  // The samples are kept as floats: a filter whose output exceeds their
  // range (user coefficients of huge size) has written infinite samples,
  // which no rescaling brings back.
  if (!std::isfinite(sumSquares) || !(*peak <= static_cast<double>(std::numeric_limits<float>::max()))) {
    Log_Message(1, "*** Filtered samples beyond the range of the sample format: check the filter coefficients.");
    return 0;
  }
  return 1;
}
