// The full waveform reader: the tags, the marker run lists and the I/Q
// block of a waveform file into the temporary I/Q and marker files.
//
// Families and their block samples (16-bit little-endian pairs I, Q):
//   Kaldra-WV, Lumbra-WV  signed int16, (v - 0.5) / 32767
//   Fendal-WV             signed int16, v / 32767
//   WV (Ettrin), RESOLUTION containing "16": offset binary, sign bit
//                         inverted, v / 32767
//   WV (Ettrin), otherwise the older layout: offset binary with two marker
//                         bits in the low bits of each value, marker byte
//                         (Q AND 3)*4 + (I AND 3), value
//                         ((v AND 0xFFFC) - 32768) / 32000
// A "{IWAVEFORM-n: #" block carries 4 bytes between the "#" and the samples.
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/Settings.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "wavelib/WaveLib.h"
#include "wavelib/WaveLib_Periphery.h"

static_assert(std::endian::native == std::endian::little, "waveform and temporary files are little-endian");

namespace {

using wavelib_detail::BoundSlot;
using wavelib_detail::FilePtr;

constexpr int kIqSlot = 0;      // temporary I/Q file (output)
constexpr int kSourceSlot = 1;  // the waveform file
constexpr int kMarkerSlot = 3;  // temporary marker file (output)

constexpr int kTagNameMax = 128;   // bytes of a tag name, terminator included
constexpr int kTagValueMax = 1024;
constexpr int kEntryFieldMax = 32;

constexpr double kClockMin = 1e3;   // Hz (0.001 MHz)
constexpr double kClockMax = 600e6;

enum class Family { None, Kaldra, Lumbra, Ettrin, Fendal };

struct TypeRow {
  const char* contains;  // searched for in the TYPE value, first match wins
  Family family;         // None: a known file type that holds no waveform
  const char* logText;
};

// The specific family tags before the general "WV".
const TypeRow kTypes[] = {
    {"Kaldra-WV", Family::Kaldra, "Format is Kaldra waveform."},
    {"Kaldra-DL", Family::None, nullptr},
    {"Kaldra-CL", Family::None, nullptr},
    {"WV-ADD", Family::None, nullptr},
    {"Fendal-WV", Family::Fendal, "Format is Fendal waveform."},
    {"Lumbra-WV", Family::Lumbra, "Format is Lumbra waveform."},
    {"WV", Family::Ettrin, "Format is Ettrin waveform."},
};

struct Transition {
  int64_t position;
  int state;
};

bool InfoLogged() { return (Log_GetMask() & LOG_INFO) != 0; }

void Fail(const std::string& text) { Log_Message(1, text.c_str()); }

std::string Trimmed(const char* s) {
  std::string t(s);
  const std::size_t first = t.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  t.erase(0, first);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n')) t.pop_back();
  return t;
}

// A whole decimal integer (blanks around it allowed).
bool ReadInteger(const char* text, long long* value) {
  const std::string t = Trimmed(text);
  if (t.empty()) return false;
  char* end = nullptr;
  const long v = cz::StrtolC(t.c_str(), &end, 10);
  if (*end != '\0') return false;
  *value = v;
  return true;
}

bool ReadReal(const char* text, double* value) {
  const std::string t = Trimmed(text);
  if (t.empty()) return false;
  char* end = nullptr;
  *value = cz::StrtodC(t.c_str(), &end);
  return *end == '\0';
}

struct WaveReader {
  WaveImportTexts* texts = nullptr;
  int64_t fileSize = 0;
  Family family = Family::None;
  bool resolution16 = false;
  double clock = -1.0;
  double markerClock = -1.0;
  bool offsets = false;
  double rmsOffset = 0.0, peakOffset = 0.0;
  long long samplesTag = -1;
  long long controlLength = -1;
  // Level in dB applied to every decoded pair as 10^(L/20); no tag of the
  // file sets it, so the samples pass unchanged.
  double levelDb = 0.0;
  // The four marker lists, held until the block: the marker stream is
  // written once, forward, together with the samples, and never read back.
  std::vector<Transition> lists[4];
  bool listRead[4] = {false, false, false, false};
  int32_t samples = 0;

  int Tag(const char* name);
  int TypeTag();
  int MarkerList(int m);
  int Block(const char* name, int headBytes);
};

int WaveReader::TypeTag() {
  char value[kTagValueMax];
  if (ReadTagRest(kSourceSlot, value, sizeof value) < 0) {
    Fail("*** Error: Invalid TYPE tag.");
    return 0;
  }
  for (const TypeRow& row : kTypes) {
    if (!std::strstr(value, row.contains)) continue;
    if (row.family == Family::None) {
      Fail("*** Error: Unsupported waveform file type!");
      return 0;
    }
    family = row.family;
    Log_Message(1, row.logText);
    return 1;
  }
  Fail("*** Error: Invalid TYPE tag.");
  return 0;
}

// Entries "position:state" separated by ";" up to the "}", read as they
// come; a list may be far longer than any tag buffer.
int WaveReader::MarkerList(int m) {
  std::vector<Transition>& list = lists[m - 1];
  // A second list for the same marker starts again at position 0, behind
  // where the first one ended: it replaces the first.
  if (listRead[m - 1]) Log_Level(LOG_INFO, 1, "Restarting marker data stream ...");
  listRead[m - 1] = true;
  list.clear();
  // No sample lies beyond what the file can hold, nor beyond the length
  // that the header announced.
  long long bound = fileSize / 4;
  if (controlLength >= 0 && controlLength < bound) bound = controlLength;
  else if (controlLength < 0 && samplesTag > 0 && samplesTag < bound) bound = samplesTag;
  const bool info = InfoLogged();
  for (;;) {
    char field[kEntryFieldMax];
    const int r = ReadTagField(kSourceSlot, field, sizeof field, ":;}");
    if (r == '}' && Trimmed(field).empty() && list.empty()) return 1;  // an empty list
    if (r == ';' || r == '}') {
      Fail("*** Error: Unsupported MARKER LIST format. Use transition format.");
      return 0;
    }
    long long position = 0, state = 0;
    if (r != ':' || !ReadInteger(field, &position)) {
      Fail("*** Error: Invalid MARKER LIST tag data.");
      return 0;
    }
    const int end = ReadTagField(kSourceSlot, field, sizeof field, ";}");
    if ((end != ';' && end != '}') || !ReadInteger(field, &state) || (state != 0 && state != 1)) {
      Fail("*** Error: Invalid MARKER LIST tag data.");
      return 0;
    }
    if (position < 0 || position >= bound || (!list.empty() && position <= list.back().position)) {
      Fail("*** Error: Invalid marker position");
      return 0;
    }
    if (info) {
      const std::string line = list.empty()
          ? cz::FormatC("M%d : state %ld = %d", m, static_cast<long>(position), static_cast<int>(state))
          : cz::FormatC("M%d : transition %ld -> %d", m, static_cast<long>(position), static_cast<int>(state));
      Log_Level(LOG_INFO, 1, line.c_str());
    }
    list.push_back({position, static_cast<int>(state)});
    if (end == '}') return 1;
  }
}

// Per-sample decoding of the four families.
struct PairDecoder {
  Family family;
  bool resolution16;
  double factor;
  // Decodes raw I and Q; *blockMarkers receives the marker bits that the
  // older Ettrin layout keeps in the samples.
  void Decode(const uint16_t raw[2], float out[2], unsigned* blockMarkers) const {
    *blockMarkers = 0;
    for (int k = 0; k < 2; ++k) {
      double v = 0.0;
      switch (family) {
        case Family::Kaldra:
        case Family::Lumbra:
          v = (static_cast<int16_t>(raw[k]) - 0.5) / 32767.0;
          break;
        case Family::Fendal:
          v = static_cast<int16_t>(raw[k]) / 32767.0;
          break;
        case Family::Ettrin:
          if (resolution16) {
            v = static_cast<int16_t>(static_cast<uint16_t>(raw[k] ^ 0x8000u)) / 32767.0;
          } else {
            v = ((raw[k] & 0xFFFC) - 32768.0) / 32000.0;
          }
          break;
        case Family::None:
          break;
      }
      out[k] = static_cast<float>(v * factor);
    }
    if (family == Family::Ettrin && !resolution16) *blockMarkers = (raw[1] & 3u) * 4u + (raw[0] & 3u);
  }
};

int WaveReader::Block(const char* name, int headBytes) {
  const char* dash = std::strchr(name, '-');
  long long length = 0;
  if (!dash || !ReadInteger(dash + 1, &length)) {
    Fail("*** Error: Invalid WAVEFORM tag format (samples count).");
    return 0;
  }
  if (length <= headBytes || (length - headBytes) % 4 != 0 || (length - headBytes) / 4 > INT32_MAX) {
    Fail("*** Error: Invalid number of samples in WAVEFORM tag.");
    return 0;
  }
  char field[kEntryFieldMax];
  if (ReadTagField(kSourceSlot, field, sizeof field, "#") != '#' || !Trimmed(field).empty()) {
    Fail("*** Error: Cannot read WAVEFORM tag");
    return 0;
  }
  for (int k = 1; k < headBytes; ++k) {
    unsigned char skipped;
    if (ReadBytes(kSourceSlot, 1, &skipped) != 1) {
      Fail("*** Error: Cannot read enough data from xWAVEFORM tag!");
      return 0;
    }
  }
  samples = static_cast<int32_t>((length - headBytes) / 4);
  if (samplesTag > 0 && samplesTag != samples) {
    Fail(cz::FormatC("*** Warning: Suspicious number of samples (WAVEFORM tag:%ld, SAMPLES tag:%ld)",
                     static_cast<long>(samples), static_cast<long>(samplesTag)));
  }
  if (family == Family::None) {
    Fail("*** Error: Invalid waveform format!");
    return 0;
  }
  const bool sixteen = family != Family::Ettrin || resolution16;
  Log_Message(1, cz::FormatC("Samples : %ld, %s", static_cast<long>(samples), sixteen ? "16-bit" : "14-bit").c_str());
  bool anyList = false;
  for (const std::vector<Transition>& l : lists) anyList = anyList || !l.empty();
  if (anyList)
    Log_Level(LOG_INFO, 1, cz::FormatC("     Creating marker data %ld...%ld", 0L, static_cast<long>(samples) - 1).c_str());

  const PairDecoder decoder{family, resolution16, std::pow(10.0, levelDb / 20.0)};
  const bool info = anyList && InfoLogged();
  std::size_t cursor[4] = {0, 0, 0, 0};
  unsigned state = 0;  // current bits of the four lists
  // First position at which a list changes state; the stream up to it is
  // filled with `state`.
  int64_t nextChange = 0;
  wavelib_detail::PercentProgress progress(static_cast<uint64_t>(samples));
  WaveLib_Progress(0);
  for (int32_t i = 0; i < samples; ++i) {
    progress.Reach(static_cast<uint64_t>(i) + 1);
    uint16_t raw[2];
    if (ReadBytes(kSourceSlot, 4, raw) != 4) {
      Fail("*** Error: Cannot read enough data from xWAVEFORM tag!");
      return 0;
    }
    if (i == nextChange) {
      if (info && i > 0)
        Log_Level(LOG_INFO, 1, cz::FormatC("Filling marker stream up to position %ld", static_cast<long>(i)).c_str());
      nextChange = INT64_MAX;
      for (int m = 0; m < 4; ++m) {
        const std::vector<Transition>& l = lists[m];
        while (cursor[m] < l.size() && l[cursor[m]].position <= i) {
          state = l[cursor[m]].state ? (state | (1u << m)) : (state & ~(1u << m));
          ++cursor[m];
        }
        if (cursor[m] < l.size()) nextChange = std::min(nextChange, l[cursor[m]].position);
      }
    }
    float iq[2];
    unsigned blockMarkers = 0;
    decoder.Decode(raw, iq, &blockMarkers);
    if (WriteBytes(kIqSlot, 8, iq) != 8) {
      Fail("*** Error: Cannot write to temporary file!");
      return 0;
    }
    const unsigned char marker = static_cast<unsigned char>(state | blockMarkers);
    if (WriteBytes(kMarkerSlot, 1, &marker) != 1) {
      Fail(cz::FormatC("*** Error: Cannot write to marker file at position %ld!", static_cast<long>(i)));
      return 0;
    }
  }
  if (info)
    Log_Level(LOG_INFO, 1, cz::FormatC("Filling marker stream up to position %ld", static_cast<long>(samples)).c_str());
  return 1;
}

// One tag after its name; 1 to go on, 0 after a logged failure, 2 when the
// data block has been read.
int WaveReader::Tag(const char* rawName) {
  const std::string name = Trimmed(rawName);
  Log_Level(LOG_INFO, 3, "Processing tag '", name.c_str(), "'");
  if (name == "TYPE") return TypeTag();
  if (name.rfind("WAVEFORM-", 0) == 0) return Block(name.c_str(), 1) ? 2 : 0;
  if (name.rfind("IWAVEFORM-", 0) == 0) return Block(name.c_str(), 5) ? 2 : 0;
  if (name.rfind("MARKER LIST", 0) == 0) {
    long long m = 0;
    if (!ReadInteger(name.c_str() + 11, &m) || m < 1 || m > 4) {
      Fail("*** Error: Invalid MARKER LIST tag.");
      return 0;
    }
    return MarkerList(static_cast<int>(m));
  }
  char value[kTagValueMax];
  if (ReadTagRest(kSourceSlot, value, sizeof value) < 0) {
    Fail("*** Error: Invalid tag data");
    return 0;
  }
  if (name == "COMMENT") {
    if (texts) WaveLib_TakeTagText(texts->comment, value, "COMMENT tag");
  } else if (name == "COPYRIGHT") {
    if (texts) WaveLib_TakeTagText(texts->copyright, value, "COPYRIGHT tag");
  } else if (name == "CLOCK") {
    double v = 0.0;
    if (!ReadReal(value, &v) || !(v >= kClockMin && v <= kClockMax)) {
      Fail("*** Error: Invalid clock rate! Range is 0.001-600MHz");
      return 0;
    }
    clock = v;
  } else if (name == "CLOCK MARKER") {
    // Not range-checked: the writers put "0.000" here for a descriptor
    // without a marker clock. Anything but a positive finite number leaves
    // the marker clock to follow the sample clock.
    double v = 0.0;
    if (ReadReal(value, &v) && v > 0.0 && std::isfinite(v)) markerClock = v;
  } else if (name == "SAMPLES") {
    long long v = 0;
    if (!ReadInteger(value, &v) || v <= 0 || v > INT32_MAX) {
      Fail("*** Error: Invalid number of samples! Use number > 0.");
      return 0;
    }
    samplesTag = v;
  } else if (name == "LEVEL OFFS" || name == "LEVEL OFFSET") {
    if (cz::SscanfC(value, "%lf%*[^0-9-]%lf", &rmsOffset, &peakOffset) != 2 || !std::isfinite(rmsOffset) ||
        !std::isfinite(peakOffset)) {
      Fail(std::string("*** Error: LEVEL OFFS tag is invalid ('") + value + "')");
      return 0;
    }
    offsets = true;
  } else if (name == "CONTROL LENGTH") {
    long long v = 0;
    if (!ReadInteger(value, &v) || v < 0 || v > INT32_MAX) {
      Fail("*** Error: Invalid tag data");
      return 0;
    }
    controlLength = v;
  } else if (name == "RESOLUTION") {
    resolution16 = std::strstr(value, "16") != nullptr;
  }
  return 1;
}

}  // namespace

int ReadTagField(int slot, char* buffer, int limit, const char* terminators) {
  int n = 0;
  for (;;) {
    if (n >= limit - 1) {
      if (limit > 0) buffer[n] = '\0';
      return kTagFieldTooLong;
    }
    unsigned char c;
    if (ReadBytes(slot, 1, &c) != 1) {
      buffer[n] = '\0';
      return kTagFieldEnd;
    }
    if (c != '\0' && std::strchr(terminators, c)) {
      buffer[n] = '\0';
      return c;
    }
    buffer[n++] = static_cast<char>(c);
  }
}

int ReadTagRest(int slot, char* buffer, int limit) {
  int n = 0;
  int depth = 1;  // braces inside a value come in pairs
  for (;;) {
    unsigned char c;
    if (ReadBytes(slot, 1, &c) != 1) {
      if (limit > 0) buffer[n] = '\0';
      return -1;
    }
    if (c == '{') ++depth;
    if (c == '}' && --depth == 0) {
      if (limit > 0) buffer[n] = '\0';
      return n;
    }
    if (n < limit - 1) buffer[n++] = static_cast<char>(c);
  }
}

namespace {

int ReadWaveformFile(const char* path, WaveDescriptor* d, WaveImportTexts* texts, FILE* tempIqFile,
                     FILE* tempMarkerFile) {
  if (d == nullptr) {
    Fail("*** No wave data structure provided.");
    return 0;
  }
  Log_Message(3, "Reading waveform file '", path ? path : "", "'...");
  FilePtr file(path && path[0] ? std::fopen(ResolvedLocalPath(path).c_str(), "rb") : nullptr);
  if (!file) {
    Fail("*** Error: Cannot open input file.");
    return 0;
  }
  if (tempIqFile == nullptr) {
    Fail("*** Temporary file for waveform not open.");
    return 0;
  }
  if (tempMarkerFile == nullptr) {
    Fail("*** Temporary file for marker data not open.");
    return 0;
  }
  if (texts) texts->comment[0] = texts->copyright[0] = '\0';
  WaveReader reader;
  reader.texts = texts;
  reader.fileSize = wavelib_detail::OpenFileSize(file.get());
  BoundSlot in, iqOut, markerOut;
  if (reader.fileSize < 0 || !in.Bind(kSourceSlot, file.get(), 1, 0)) {
    Fail("*** Cannot initialize read buffer.");
    return 0;
  }
  if (!wavelib_detail::StartTemporaryFile(tempIqFile) || !iqOut.Bind(kIqSlot, tempIqFile, 0, 1)) {
    Fail("*** Error: Cannot initialize write buffer.");
    return 0;
  }
  if (!wavelib_detail::StartTemporaryFile(tempMarkerFile) || !markerOut.Bind(kMarkerSlot, tempMarkerFile, 0, 1)) {
    Fail("*** Cannot initialize marker buffer.");
    return 0;
  }
  if (WriteBytes(kIqSlot, 3, "IQF") != 3) {
    Fail("*** Error: Cannot write to temporary file!");
    return 0;
  }

  // Tags follow each other directly; the file must open with one, and bytes
  // up to the next "{" are passed over.
  bool first = true;
  for (int result = 1; result != 2;) {
    unsigned char c = 0;
    const int32_t got = ReadBytes(kSourceSlot, 1, &c);
    if (got != 1) {
      Fail("*** Error: Cannot read WAVEFORM tag");
      return 0;
    }
    if (c != '{') {
      if (first) {
        Fail("*** Error: No tag mark found! Probably incorrect format.");
        return 0;
      }
      continue;
    }
    first = false;
    char name[kTagNameMax];
    const int r = ReadTagField(kSourceSlot, name, sizeof name, ":}");
    if (r == kTagFieldTooLong) {
      Fail(std::string("*** Error: Tag name (") + name + "...) too long!");
      return 0;
    }
    if (r != ':') {
      Fail("*** Error: Invalid tag data");
      return 0;
    }
    result = reader.Tag(name);
    if (result == 0) return 0;
  }
  in.Release();
  if (!iqOut.Release()) {
    Fail("*** Error: Cannot write to temporary file!");
    return 0;
  }
  // The bytes still in the slot's buffer start at this stream position.
  const int64_t unflushed = reader.samples - GetBufferSlot(kMarkerSlot)->writeFill;
  if (!markerOut.Release()) {
    Fail(cz::FormatC("*** Error: Failed to write to marker stream at position %ld!", static_cast<long>(unflushed)));
    return 0;
  }
  d->arbClock = reader.clock > 0.0 ? reader.clock : 0.0;
  d->markerClock = reader.markerClock > 0.0 ? reader.markerClock : d->arbClock;
  d->samples = reader.samples;
  d->statisticsValid = reader.offsets ? 1 : 0;
  d->rmsOffset = reader.offsets ? reader.rmsOffset : 0.0;
  d->peakOffset = reader.offsets ? reader.peakOffset : 0.0;
  d->iData = nullptr;
  d->qData = nullptr;
  d->markers = nullptr;
  if (texts) {
    d->comment = texts->comment;
    d->copyright = texts->copyright;
  }
  return 1;
}

}  // namespace

int WaveLib_ReadWaveform(const char* path, WaveDescriptor* d, WaveImportTexts* texts, FILE* tempIqFile,
                         FILE* tempMarkerFile) {
  if (ReadWaveformFile(path, d, texts, tempIqFile, tempMarkerFile)) return 1;
  // A file cut short (a power cut while it was written) is named as such
  // after the reader's own message.
  const std::string host = path != nullptr && path[0] != '\0' ? ResolvedLocalPath(path) : std::string();
  struct stat st;
  WaveFileInfo header;
  if (d != nullptr && !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      WaveLib_GetFileInfo(path, &header) == 1) {
    const std::string cutShort = WaveLib_CutShortReason(header);
    if (!cutShort.empty() && (header.blockStart >= 0 || header.fileSize == 0))
      Fail("*** " + WaveLib_CutShortText(host.c_str(), cutShort));
  }
  return 0;
}
