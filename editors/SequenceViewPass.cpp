// The Sequence View's read pass: display points, density grid and spectrum
// of one viewport, from the samples of the temporary I/Q file or, for wide
// viewports, from the file's summary, under the progress window when the
// work is long.
#include "editors/SequenceViewPass.h"

#include <algorithm>

#include "app/Log.h"
#include "app/Progress.h"
#include "editors/ViewSummary.h"
#include "platform/ui/UserInterface.h"

namespace {

// Viewports up to this many samples (points of up to one summary block)
// are reduced from their samples; wider ones from the summary, whose
// blocks then hold whole points (one or more: their boundaries fall on
// whole blocks, a spacing that varies by less than a pixel).
constexpr int64_t kRawSpanLimit = kSummaryBlock * kViewPointSlots;
// Work units of the transform per sample, beside one per sample read.
constexpr double kDftUnitsPerSample = 4.0;
// The progress window is brought up to date at least this often (s) and
// at every half percent.
constexpr double kProgressSeconds = 0.02;
constexpr double kProgressStep = 0.5;

// What the view keeps of its current file between draws.
struct FileCache {
  ViewSummary summary;
  bool wholeSpectrum = false;  // the whole-file spectrum below belongs to `file`
  ViewFileId file;
  double spectrum[kViewSpectrumPoints];
  double power[kViewSpectrumPoints];
  bool silent = false;
  double reference = 0.0;
};
FileCache g_cache;

// The progress window of a long pass, opened only for long work. Done()
// counts work and answers whether the user asked to stop.
class PassProgress {
 public:
  ~PassProgress() {
    if (open_) Progress_Close();
  }
  void Plan(double units) {
    total_ = std::max(units, 1.0);
    if (units > static_cast<double>(kViewProgressWork) && Progress_Open("Preparing waveform view...") != 0) {
      open_ = true;
      Progress_SetTotal(100.0);
      Progress_EnableCancel(1);
      lastTime_ = Timer();
    }
  }
  bool Done(double units) { return Reach(done_ + units); }
  bool Reach(double done) {
    done_ = done;
    if (!open_ || stopped_) return stopped_;
    const double percent = std::min(100.0, 100.0 * done_ / total_);
    const double now = Timer();
    if (percent - shown_ < kProgressStep && now - lastTime_ < kProgressSeconds) return false;
    shown_ = percent;
    lastTime_ = now;
    stopped_ = ProgressDialogHook(percent) != 0;
    return stopped_;
  }
  // A stage worth `units`, of which `already` were done before this pass,
  // ticking by the fraction of the whole stage.
  void BeginStage(double units, double already = 0.0) {
    stageBase_ = done_ - already;
    stageUnits_ = units;
  }
  static int StageTick(void* context, double fraction) {
    auto* p = static_cast<PassProgress*>(context);
    return p->Reach(p->stageBase_ + fraction * p->stageUnits_) ? 1 : 0;
  }
 private:
  bool open_ = false, stopped_ = false;
  double total_ = 1.0, done_ = 0.0, shown_ = -100.0, lastTime_ = 0.0;
  double stageBase_ = 0.0, stageUnits_ = 0.0;
};

// Pieces of consecutive samples of the file.
class SampleReader {
 public:
  explicit SampleReader(FILE* file) : file_(file), piece_(new float[2 * kViewPieceSamples]) {}
  // Up to kViewPieceSamples samples from a (before b) into Data(); -1 on a
  // short read.
  int64_t Read(int64_t a, int64_t b) {
    const int64_t n = std::min(kViewPieceSamples, b - a);
    return ViewFile_Read(file_, a, n, piece_.get()) ? n : -1;
  }
  const float* Data() const { return piece_.get(); }
  // The same into dest (room for b - a samples); 1, or -1 on a short read,
  // 0 when stopped.
  int ReadInto(int64_t a, int64_t b, float* dest, PassProgress* progress) {
    for (int64_t p = a; p < b;) {
      const int64_t n = std::min(kViewPieceSamples, b - p);
      if (!ViewFile_Read(file_, p, n, dest + 2 * (p - a))) return -1;
      p += n;
      if (progress->Done(static_cast<double>(n))) return 0;
    }
    return 1;
  }

 private:
  FILE* file_;
  std::unique_ptr<float[]> piece_;
};

int64_t AlignDown(int64_t v, int64_t block) { return v / block * block; }
int64_t AlignUp(int64_t v, int64_t block) { return (v + block - 1) / block * block; }

int Failed(const char* message) {
  Log_Message(1, message);
  return VIEW_PASS_FAILED;
}

// Every sample of the viewport read and reduced, in file order.
int RawPoints(const SequenceViewState& s, ViewPassOutput* out, SampleReader* reader, PassProgress* progress) {
  ViewPicture& p = *out->picture;
  const int64_t end = s.lastSample + 1;
  const bool density = end - s.firstSample >= kViewDensityFrom;
  if (!density) out->samples.reserve(static_cast<size_t>(2 * (end - s.firstSample)));
  ViewPointSum sum;
  int point = 0;
  for (int64_t a = s.firstSample; a < end;) {
    const int64_t n = reader->Read(a, end);
    if (n < 0) return Failed("*** Failed to read data for graphics preview.");
    const float* iq = reader->Data();
    for (int64_t off = 0; off < n;) {
      const int64_t run = std::min(n - off, p.pointStart[point + 1] - (a + off));
      ViewExtent e;
      ViewExtent_Run(iq + 2 * off, run, &e);
      ViewPointSum_Add(&sum, e, run);
      off += run;
      if (a + off == p.pointStart[point + 1]) ViewPointSum_Close(&sum, &p, point++);
    }
    if (density) ViewDensity_Add(iq, n, p.density);
    else out->samples.insert(out->samples.end(), iq, iq + 2 * n);
    a += n;
    if (progress->Done(static_cast<double>(n))) return VIEW_PASS_CANCELLED;
  }
  return VIEW_PASS_DONE;
}

// Samples a .. b - 1 (at most one summary block at each end of the
// viewport) reduced into sum.
int AddRaw(int64_t a, int64_t b, ViewPointSum* sum, SampleReader* reader) {
  for (int64_t p = a; p < b;) {
    const int64_t n = reader->Read(p, b);
    if (n < 0) return 0;
    ViewExtent e;
    ViewExtent_Run(reader->Data(), n, &e);
    ViewPointSum_Add(sum, e, n);
    p += n;
  }
  return 1;
}

// Points of whole summary blocks; only the first and the last point take
// the samples of a block the viewport cuts. The density grid likewise from
// the summary's grids, with the samples of the grids the viewport cuts.
int SummaryPoints(const SequenceViewState& s, ViewPassOutput* out, SampleReader* reader, PassProgress* progress) {
  const ViewSummary& summary = g_cache.summary;
  ViewPicture& p = *out->picture;
  ViewPointSum sum;
  for (int i = 0; i < p.pointCount; ++i) {
    const int64_t a = p.pointStart[i], b = p.pointStart[i + 1];
    const int64_t head = std::min(b, AlignUp(a, kSummaryBlock));
    const int64_t tail = std::max(head, b == s.totalSamples ? b : AlignDown(b, kSummaryBlock));
    if (!AddRaw(a, head, &sum, reader)) return Failed("*** Failed to read data for graphics preview.");
    if (head < tail) ViewPointSum_Add(&sum, ViewSummary_Extent(summary, head, tail), tail - head);
    if (!AddRaw(tail, b, &sum, reader)) return Failed("*** Failed to read data for graphics preview.");
    ViewPointSum_Close(&sum, &p, i);
  }
  // The density of the pieces the viewport cuts (and of those the summary
  // keeps no list of) from their samples.
  const int64_t a = s.firstSample, b = s.lastSample + 1;
  int64_t from = AlignUp(a, kViewPieceSamples), to = b == s.totalSamples ? b : AlignDown(b, kViewPieceSamples);
  if (from >= to) from = to = b;  // no whole piece inside: every sample from a
  std::vector<std::pair<int64_t, int64_t>> raw = {{a, from - a}};
  if (from < to) ViewSummary_AddDensity(summary, from, to, p.density, &raw);
  raw.emplace_back(to, b - to);
  for (const auto& [lo, count] : raw)
    for (int64_t q = lo; q < lo + count;) {
      const int64_t n = reader->Read(q, lo + count);
      if (n < 0) return Failed("*** Failed to read data for graphics preview.");
      ViewDensity_Add(reader->Data(), n, p.density);
      q += n;
      if (progress->Done(static_cast<double>(n))) return VIEW_PASS_CANCELLED;
    }
  return VIEW_PASS_DONE;
}

// The summary of the file, started or taken up where a cancelled pass left
// it; 0 when it cannot be had (not enough memory: the points are then made
// from the samples).
int HaveSummary(const SequenceViewState& s) {
  ViewFileId id;
  if (!ViewFileId_Of(s.iqFile, &id)) return 0;
  ViewSummary& summary = g_cache.summary;
  if (summary.file == id && summary.total == s.totalSamples && !summary.levels.empty()) return 1;
  return ViewSummary_Start(&summary, id, s.totalSamples);
}

bool WholeSpectrumKept(const SequenceViewState& s) {
  ViewFileId id;
  return g_cache.wholeSpectrum && ViewFileId_Of(s.iqFile, &id) && id == g_cache.file;
}

// The spectrum of the scope's samples into state (or the whole-file
// spectrum kept for this file); out->spectrumMissing says why there is
// none.
int MakeSpectrum(SequenceViewState* s, ViewPassOutput* out, SpectrumBuffer* buffer, SampleReader* reader,
                 PassProgress* progress) {
  if (buffer->data == nullptr) {
    if (s->fftScope == 0 && WholeSpectrumKept(*s) && out->spectrumMissing == SPECTRUM_MADE) {
      std::copy(g_cache.spectrum, g_cache.spectrum + kViewSpectrumPoints, s->spectrum);
      std::copy(g_cache.power, g_cache.power + kViewSpectrumPoints, s->spectrumPower);
      s->spectrumSilent = g_cache.silent;
      s->spectrumReference = g_cache.reference;
    }
    return VIEW_PASS_DONE;
  }
  const int64_t a = s->fftScope == 0 ? 0 : s->firstSample;
  const int64_t b = s->fftScope == 0 ? s->totalSamples : s->lastSample + 1;
  const int read = reader->ReadInto(a, b, reinterpret_cast<float*>(buffer->data.get()), progress);
  if (read < 0)
    return Failed(s->fftScope == 0 ? "*** Failed to read remaining data for FFT preview."
                                   : "*** Failed to read data for graphics preview.");
  buffer->count = b - a;
  progress->BeginStage(kDftUnitsPerSample * static_cast<double>(buffer->count));
  if (read == 0 || Spectrum_Compute(buffer, s, PassProgress::StageTick, progress) == 0) {
    out->spectrumMissing = read == 0 ? SPECTRUM_CANCELLED : buffer->missing;
    return VIEW_PASS_DONE;
  }
  if (s->fftScope == 0) {
    g_cache.wholeSpectrum = ViewFileId_Of(s->iqFile, &g_cache.file) != 0;
    std::copy(s->spectrum, s->spectrum + kViewSpectrumPoints, g_cache.spectrum);
    std::copy(s->spectrumPower, s->spectrumPower + kViewSpectrumPoints, g_cache.power);
    g_cache.silent = s->spectrumSilent;
    g_cache.reference = s->spectrumReference;
  }
  return VIEW_PASS_DONE;
}

}  // namespace

void ViewPass_DropFileCache() { g_cache = FileCache{}; }

int ViewPass_Run(SequenceViewState* s, ViewPassOutput* out) {
  const int64_t span = s->lastSample - s->firstSample + 1;
  const bool fromSummary = span > kRawSpanLimit && HaveSummary(*s);
  ViewPicture& p = *out->picture;
  p.pointCount = ViewPoints_Bounds(s->firstSample, span, fromSummary ? kSummaryBlock : 1, p.pointStart);

  // The spectrum's buffer, unless the whole-file spectrum is kept.
  SpectrumBuffer buffer;
  const bool kept = s->fftScope == 0 && span > kViewFftMinSpan && WholeSpectrumKept(*s);
  if (!kept && SpectrumBuffer_Prepare(&buffer, span, s->totalSamples, s->fftScope) == 0)
    out->spectrumMissing = buffer.missing;

  // The work: samples read and reduced, the summary still to make, the
  // spectrum's samples and transform.
  double work = fromSummary ? static_cast<double>(g_cache.summary.total - g_cache.summary.done) +
                                  static_cast<double>(2 * (kViewPieceSamples + kSummaryBlock))
                            : static_cast<double>(span);
  if (buffer.data) work += (1.0 + kDftUnitsPerSample) * static_cast<double>(buffer.capacity);
  PassProgress progress;
  progress.Plan(work);

  SampleReader reader(s->iqFile);
  if (fromSummary && !g_cache.summary.Complete()) {
    progress.BeginStage(static_cast<double>(g_cache.summary.total), static_cast<double>(g_cache.summary.done));
    const int made = ViewSummary_Extend(&g_cache.summary, s->iqFile, PassProgress::StageTick, &progress);
    if (made < 0) return Failed("*** Failed to read data for graphics preview.");
    if (made == 0) return VIEW_PASS_CANCELLED;
  }
  const int result = fromSummary ? SummaryPoints(*s, out, &reader, &progress) : RawPoints(*s, out, &reader, &progress);
  if (result != VIEW_PASS_DONE) return result;
  return MakeSpectrum(s, out, &buffer, &reader, &progress);
}
