// The other waveform forms: the second instrument family's waveform file,
// the older untyped waveform file with 16-bit offset-binary samples, and the
// raw float sample file.
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "app/Log.h"
#include "platform/CLocale.h"
#include "wavelib/WaveLib.h"
#include "wavelib/WaveLib_Periphery.h"

static_assert(std::endian::native == std::endian::little,
              "waveform and float files are little-endian; these writers copy host values");

namespace {

using wavelib_detail::BoundSlot;

constexpr int kIqSlot = 0;
constexpr int kMarkerSlot = 3;

// Samples converted per block before they are written.
constexpr int32_t kBlockSamples = 1 << 16;

void LogInfo(const std::string& text) { Log_Level(LOG_INFO, 1, text.c_str()); }

// Reports 50 + 12k at sample k*step (k = 0..4, step = samples / 5, at
// least 1) for every such sample below upTo, as the waveform writer does.
struct SampleProgress {
  explicit SampleProgress(int32_t samples) : step(samples / 5 > 0 ? samples / 5 : 1) {}
  void Reach(int64_t upTo) {
    while (next <= 4 && static_cast<int64_t>(next) * step < upTo) {
      WaveLib_Progress(50 + 12 * next);
      ++next;
    }
  }
  int32_t step;
  int next = 0;
};

// Statistics of the second family's writer: computed from in-memory arrays
// without statisticsValid; otherwise the offsets are kept and the linear
// values in the log are 0.
void StatisticsB(WaveDescriptor* d, bool fromArrays) {
  double rms = 0.0, peak = 0.0;
  if (!d->statisticsValid && fromArrays) {
    Log_Level(LOG_INFO, 1, "Calculating Peak and RMS data from waveform...");
    double sum = 0.0;
    float peakF = 0.0f;
    for (int32_t i = 0; i < d->samples; ++i) {
      const float p = d->iData[i] * d->iData[i] + d->qData[i] * d->qData[i];
      sum += p;
      const float magnitude = std::sqrt(p);
      if (magnitude > peakF) peakF = magnitude;
    }
    rms = std::sqrt(sum / d->samples);
    peak = peakF;
    if (rms == 0.0) rms = 1e-5;
    if (peak == 0.0) peak = 1e-5;
    d->rmsOffset = 20.0 * std::log10(1.0 / rms);
    d->peakOffset = 20.0 * std::log10(1.0 / peak);
  }
  LogInfo("========== Signal Statistics ==========");
  LogInfo(cz::FormatC("ARB clock :%4.3f Hz", d->arbClock));
  LogInfo(cz::FormatC("MKR clock :%4.3f Hz", d->markerClock));
  LogInfo(cz::FormatC("Samples   :%ld", static_cast<long>(d->samples)));
  LogInfo(cz::FormatC("RMS       :%5.2f / RMSOfs:%5.2f dBfs", rms, d->rmsOffset));
  LogInfo(cz::FormatC("PEAK      :%5.2f / PKOfs :%5.2f dBfs", peak, d->peakOffset));
  LogInfo(cz::FormatC("Pk/Av     :%5.2f dB",
                      std::isfinite(d->crestFactor) ? d->crestFactor : d->rmsOffset - d->peakOffset));
  LogInfo("=======================================");
}

// Four marker lists from memory, preceded by the CONTROL LENGTH tag.
void MarkerListsFromMemory(WavePartFile& out, const unsigned char* markers, int32_t samples) {
  out.WriteText(cz::FormatC("{CONTROL LENGTH:%ld}", static_cast<long>(samples)).c_str());
  WaveRunListWriter list(out);
  for (int m = 1; m <= 4; ++m) {
    list.Begin(cz::FormatC("{MARKER LIST %d: ", m).c_str(), 1u << (m - 1));
    list.Feed(markers, static_cast<std::size_t>(samples));
    list.End();
  }
}

// Four passes over the temporary marker file bound to slot 3.
int MarkerListsFromFileB(WavePartFile& out, int32_t samples, FILE* markerFile, BoundSlot& slot) {
  Log_Level(LOG_INFO, 1, "Creating marker trace from temporary marker file ...");
  out.WriteText(cz::FormatC("{CONTROL LENGTH: %ld}", static_cast<long>(samples)).c_str());
  WaveRunListWriter list(out);
  for (int m = 1; m <= 4; ++m) {
    if (m > 1 && !slot.Bind(kMarkerSlot, markerFile, 1, 0)) {
      Log_Message(1, "*** Error resetting buffer for temporary marker data.");
      return 0;
    }
    list.Begin(cz::FormatC("{MARKER LIST %d: ", m).c_str(), 1u << (m - 1));
    for (int32_t done = 0; done < samples;) {
      const unsigned char* data = nullptr;
      const int32_t got = _ReadBytesInPlace(kMarkerSlot, samples - done, &data);
      if (got <= 0) {
        Log_Message(1, "*** Error reading marker data from temporary file.");
        return 0;
      }
      list.Feed(data, static_cast<std::size_t>(got));
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

// The int16 block of a waveform file from memory or from slot 0.
int SampleBlockB(WavePartFile& out, const WaveDescriptor* d, bool fromFile) {
  std::unique_ptr<int16_t[]> block(new int16_t[2 * static_cast<std::size_t>(kBlockSamples)]);
  SampleProgress progress(d->samples);
  for (int32_t done = 0; done < d->samples;) {
    const int32_t count = d->samples - done < kBlockSamples ? d->samples - done : kBlockSamples;
    progress.Reach(static_cast<int64_t>(done) + count);
    for (int32_t k = 0; k < count; ++k) {
      float iq[2];
      if (fromFile) {
        if (ReadBytes(kIqSlot, 8, iq) != 8) {
          Log_Message(1, "*** Error reading waveform data from temporary file.");
          return 0;
        }
      } else {
        iq[0] = d->iData[done + k];
        iq[1] = d->qData[done + k];
      }
      block[2 * static_cast<std::size_t>(k)] = WaveLib_SampleToInt16(iq[0]);
      block[2 * static_cast<std::size_t>(k) + 1] = WaveLib_SampleToInt16(iq[1]);
    }
    if (!out.Write(block.get(), 4 * static_cast<std::size_t>(count))) return 1;  // Commit reports it
    done += count;
  }
  return 1;
}

}  // namespace

int WaveLib_WriteWaveformB(WaveDescriptor* d, const char* path, FILE* tempIqFile, FILE* tempMarkerFile) {
  Log_Level(LOG_INFO, 3, "Creating wave file ", path ? path : "", "...");
  if (d == nullptr || d->samples <= 0) {
    Log_Message(1, "Error: Number of points cannot be zero.");
    return 0;
  }
  if (path == nullptr || path[0] == '\0') {
    Log_Message(1, "Error: Destination file name cannot be empty.");
    return 0;
  }
  // Without a temporary file the arrays are the only source: refused rather
  // than read through null pointers.
  if (tempIqFile == nullptr && (d->iData == nullptr || d->qData == nullptr)) {
    Log_Message(1, "Error: No data input for function.");
    return 0;
  }
  const bool samplesFromFile = tempIqFile != nullptr;
  const bool markersFromMemory = d->markers && !tempMarkerFile;
  const bool markersFromFile = !d->markers && tempMarkerFile;

  BoundSlot iqSlot, markerSlot;
  if (samplesFromFile) {
    if (!iqSlot.Bind(kIqSlot, tempIqFile, 1, 0)) {
      Log_Message(1, "*** Cannot setup buffer for temporary waveform file.");
      return 0;
    }
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
  if (markersFromFile && !markerSlot.Bind(kMarkerSlot, tempMarkerFile, 1, 0)) {
    Log_Message(1, "*** Cannot setup buffer for temporary marker file.");
    return 0;
  }

  WaveLib_Progress(0);
  StatisticsB(d, !samplesFromFile);
  WavePartFile out;
  if (!out.Open(path)) {
    Log_Message(1, "Error opening output file.");
    return 0;
  }
  WaveLib_Progress(10);
  out.WriteText("{TYPE: Lumbra-WV,0}");
  if (d->comment && d->comment[0]) out.WriteText(WaveLib_TextTag("COMMENT:", d->comment).c_str());
  if (d->copyright && d->copyright[0]) out.WriteText(WaveLib_TextTag("COPYRIGHT:", d->copyright).c_str());
  char date[64];
  WaveLib_FormatDateTag(date, sizeof date);
  out.WriteText(date);
  out.WriteText(cz::FormatC("{CLOCK:%4.3f}", d->arbClock).c_str());
  out.WriteText(cz::FormatC("{CLOCK MARKER:%4.3f}", d->markerClock).c_str());
  out.WriteText(WaveLib_LevelOffsTag(d->rmsOffset, d->peakOffset).c_str());
  out.WriteText(cz::FormatC("{SAMPLES:%ld}", static_cast<long>(d->samples)).c_str());
  if (markersFromMemory) {
    Log_Level(LOG_INFO, 1, "Creating marker trace from memory buffer...");
    MarkerListsFromMemory(out, d->markers, d->samples);
  } else if (markersFromFile) {
    if (!MarkerListsFromFileB(out, d->samples, tempMarkerFile, markerSlot)) return 0;
  }
  WaveLib_Progress(50);
  out.WriteText(cz::FormatC("{WAVEFORM-%ld: #", 4L * d->samples + 1).c_str());
  if (!SampleBlockB(out, d, samplesFromFile)) return 0;
  out.WriteText("}");
  iqSlot.Release();
  markerSlot.Release();
  if (!out.Commit()) {
    Log_Message(3, "Error writing output file '", path, "'.");
    return 0;
  }
  WaveLib_Progress(100);
  Log_Level(LOG_INFO, 1, "Waveform file generated.");
  return 1;
}

int WaveLib_WriteLegacyWaveform(const WaveDescriptor* d, const char* path) {
  WaveLib_Progress(0);
  if (path == nullptr || path[0] == '\0') {
    Log_Message(1, "File name cannot be empty.");
    return 0;
  }
  Log_Message(3, "Generating wave file ", path, "...");
  if (d) Log_Message(1, cz::FormatC("Clock rate is %4.3f Hz", d->arbClock).c_str());
  if (d == nullptr || d->samples <= 0) {
    Log_Message(1, "Number of points cannot be zero.");
    return 0;
  }
  // In-memory samples only: refused rather than read through null pointers.
  if (d->iData == nullptr || d->qData == nullptr) {
    Log_Message(1, "No data input for function.");
    return 0;
  }
  WavePartFile out;
  if (!out.Open(path)) {
    Log_Message(1, "Error opening output file.");
    return 0;
  }
  WaveLib_Progress(10);
  out.WriteText("{TYPE:WV,0}");
  out.WriteText(WaveLib_TextTag("COMMENT:", d->comment).c_str());
  out.WriteText(WaveLib_TextTag("COPYRIGHT:", d->copyright).c_str());
  char date[64];
  WaveLib_FormatDateTag(date, sizeof date);
  out.WriteText(date);
  out.WriteText(cz::FormatC("{CLOCK:%4.3f}", d->arbClock).c_str());
  out.WriteText(cz::FormatC("{SAMPLES:%ld}", static_cast<long>(d->samples)).c_str());
  if (d->markers) MarkerListsFromMemory(out, d->markers, d->samples);

  WaveLib_Progress(50);
  out.WriteText(cz::FormatC("{WAVEFORM-%ld: #", 4L * d->samples + 1).c_str());
  std::unique_ptr<uint16_t[]> block(new uint16_t[2 * static_cast<std::size_t>(kBlockSamples)]);
  SampleProgress progress(d->samples);
  for (int32_t done = 0; done < d->samples;) {
    const int32_t count = d->samples - done < kBlockSamples ? d->samples - done : kBlockSamples;
    progress.Reach(static_cast<int64_t>(done) + count);
    for (int32_t k = 0; k < count; ++k) {
      block[2 * static_cast<std::size_t>(k)] = WaveLib_SampleToLegacy(d->iData[done + k]);
      block[2 * static_cast<std::size_t>(k) + 1] = WaveLib_SampleToLegacy(d->qData[done + k]);
    }
    if (!out.Write(block.get(), 4 * static_cast<std::size_t>(count))) break;
    done += count;
  }
  out.WriteText("}");
  if (!out.Commit()) {
    Log_Message(3, "Error writing output file '", path, "'.");
    return 0;
  }
  WaveLib_Progress(100);
  Log_Message(1, "File generated.");
  return 1;
}

int WaveLib_WriteFloatFile(const char* path, const float* iData, const float* qData, int32_t count, int32_t rate,
                           uint32_t flags) {
  if (path == nullptr || path[0] == '\0' || count < 0) return 0;
  if (count > 0 && (iData == nullptr || qData == nullptr)) return 0;
  WavePartFile out;
  if (!out.Open(path)) return 0;
  unsigned char header[kFloatFileHeaderBytes] = {};
  const uint32_t size = kFloatFileHeaderBytes;
  const double zero = 0.0;
  const double rateValue = static_cast<double>(rate);
  std::memcpy(header + 0, &size, 4);
  std::memcpy(header + 4, &count, 4);
  std::memcpy(header + 8, kFloatFileSignature, 4);
  std::memcpy(header + 12, &zero, 8);
  std::memcpy(header + 20, &flags, 4);
  std::memcpy(header + 28, &rateValue, 8);
  if (!out.Write(header, sizeof header)) return 0;
  out.Write(iData, 4 * static_cast<std::size_t>(count));
  out.Write(qData, 4 * static_cast<std::size_t>(count));
  return out.Commit();
}
