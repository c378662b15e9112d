// I/Q import: text files of numbers in six formats and binary float files,
// one file holding I and Q or two files (I, then Q), into the temporary I/Q
// file, scaled down in place when a magnitude exceeds full scale.
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "app/Log.h"
#include "app/Settings.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "wavelib/WaveLib.h"
#include "wavelib/WaveLib_Periphery.h"

static_assert(std::endian::native == std::endian::little, "binary import and temporary files are little-endian");

namespace {

using wavelib_detail::BoundSlot;
using wavelib_detail::FilePtr;
using wavelib_detail::SlotLineReader;

constexpr int kIqSlot = 0;      // temporary I/Q file (output, in-place rewrites)
constexpr int kSourceSlot = 1;  // first import file
constexpr int kSecondSlot = 2;  // second import file (Q values)

// A magnitude up to this is a level to scale down to full scale; beyond it
// the data is taken for a wrong format (integer data read as float, a
// binary file of another layout) and refused.
constexpr double kImportValueLimit = 1000.0;

constexpr double kClockMin = 400.0;    // Hz
constexpr double kClockMax = 600e6;    // Hz

bool IsSeparator(char c) { return c == ',' || c == ' ' || c == ':' || c == ';' || c == '\t'; }

bool IsNumberStart(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '-' || c == '.';
}

// Reads a field as a whole; *inRange tells whether an integer format's value
// lies within its bit width.
bool ReadField(const char* field, int format, double* value, bool* inRange) {
  char* end = nullptr;
  *inRange = true;
  if (format == kImportFloat) {
    *value = cz::StrtodC(field, &end);
    // "nan", "inf" and numbers beyond the double range are no samples.
    return end != field && *end == '\0' && std::isfinite(*value);
  }
  const bool hex = format == kImportHex16Unsigned || format == kImportHex16Signed;
  const long v = cz::StrtolC(field, &end, hex ? 16 : 10);
  if (end == field || *end != '\0') return false;
  switch (format) {
    case kImportHex16Unsigned:
    case kImportInt16Unsigned:
      *inRange = v >= 0 && v <= 65535;
      *value = (static_cast<double>(v) - 0.5) / 32767.0 - 1.0;
      return true;
    case kImportInt14Unsigned:
      *inRange = v >= 0 && v <= 16383;
      *value = (static_cast<double>(v) - 0.5) / 8191.0 - 1.0;
      return true;
    case kImportHex16Signed:
      // Four hex digits hold the two's complement pattern of an int16.
      *inRange = v >= 0 && v <= 0xFFFF;
      *value = (static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF))) - 0.5) / 32767.0;
      return true;
    case kImportInt16Signed:
      *inRange = v >= -32768 && v <= 32767;
      *value = (static_cast<double>(v) - 0.5) / 32767.0;
      return true;
    default:
      return false;
  }
}

int ParseNumber(const char* line, int column, double* output, int format, bool* inRange) {
  if (format < kImportFloat || format > kImportInt16Signed) {
    Log_Message(1, "*** Unsupported data format");
    return 0;
  }
  const char* p = line ? line : "";
  int field = 0;
  if (column > 0) {
    while (*p) {
      while (*p && IsSeparator(*p)) ++p;
      if (!*p) break;
      const char* start = p;
      while (*p && !IsSeparator(*p)) ++p;
      if (++field < column) continue;
      char text[kImportLineMax + 1];
      const std::size_t n = static_cast<std::size_t>(p - start);
      if (n > kImportLineMax || !IsNumberStart(*start)) break;
      std::memcpy(text, start, n);
      text[n] = '\0';
      if (ReadField(text, format, output, inRange)) return 1;
      break;
    }
  }
  Log_Message(2, "*** Error in line: ", line ? line : "");
  return 0;
}

const char* FormatError(int format) {
  switch (format) {
    case kImportFloat:
      return "*** Error importing IQ ASCII floating point data.";
    case kImportHex16Unsigned:
    case kImportHex16Signed:
      return "*** Error importing IQ ASCII HEX data.";
    case kImportBinary:
      return "*** Error importing IQ BINARY data.";
    default:
      return "*** Error importing IQ ASCII INT16 data.";
  }
}

// State of one import call.
struct IqImport {
  const WaveIqImportSource* source;
  WaveImportTexts* texts;
  double clock = 0.0;
  bool clockGiven = false;
  int lines = 0;
  int64_t count = 0;
  double maxMagnitude = 0.0;

  void Fail(const char* text) const { Log_Message(1, text); }
  void FailFormat() const { Fail(FormatError(source->format)); }
  void LineTooLong(int line) const {
    Log_Message(1, cz::FormatC("*** Line %d: Maximum length exceeded. Aborting.", line).c_str());
    FailFormat();
  }
  // A value that an import takes for a wrong format rather than a level.
  bool TooLarge(double i, double q, bool inRange) const {
    if (inRange && std::fabs(i) <= kImportValueLimit && std::fabs(q) <= kImportValueLimit) return false;
    Log_Message(1, "*** Error: Numbers appear to be too large. Check data format and range!");
    Log_Message(1, cz::FormatC("    (DataPoint=%ld, I=%1.3f, Q=%1.3f)", static_cast<long>(count), i, q).c_str());
    return true;
  }
  int Header(const char* line, int number);
  int TextFile(SlotLineReader& reader, bool twoFiles);
  int BinaryHeader(SlotLineReader& reader);
  int BinaryPairs(int64_t bytes);
  int MergeSecondFile(int64_t values);
  int ScaleDown();
};

// "NAME=value" header line; 0 after logging when it is refused.
int IqImport::Header(const char* line, int number) {
  char name[kImportLineMax + 1];
  int valueAt = 0;
  if (cz::SscanfC(line, "%511[^=]=%n", name, &valueAt) < 1 || valueAt == 0) return 1;
  std::string key(name);
  while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
  key.erase(0, key.find_first_not_of(" \t"));
  if (key == "CLOCKRATE") {
    double value = 0.0;
    if (cz::SscanfC(line, "%511[^=]=%lf", name, &value) != 2 || !(value >= kClockMin && value <= kClockMax)) {
      Log_Message(1, cz::FormatC("*** Line %d: Number for CLOCKRATE is out of range. Aborting.", number).c_str());
      return 0;
    }
    clock = value;
    clockGiven = true;
  } else if (key == "COMMENT") {
    if (texts) WaveLib_TakeTagText(texts->comment, line + valueAt, cz::FormatC("COMMENT in line %d", number).c_str());
  } else if (key == "COPYRIGHT") {
    if (texts)
      WaveLib_TakeTagText(texts->copyright, line + valueAt, cz::FormatC("COPYRIGHT in line %d", number).c_str());
  }
  return 1;
}

int WritePair(float i, float q) {
  const float pair[2] = {i, q};
  return WriteBytes(kIqSlot, 8, pair) == 8;
}

int IqImport::TextFile(SlotLineReader& reader, bool twoFiles) {
  for (;;) {
    const SlotLineReader::Result r = reader.Next();
    if (r == SlotLineReader::kEnd) break;
    lines = reader.number();
    if (r == SlotLineReader::kReadError) {
      Fail("*** File I/O error.");
      return 0;
    }
    if (r == SlotLineReader::kLineTooLong) {
      LineTooLong(reader.number());
      return 0;
    }
    char* line = reader.line();
    if (wavelib_detail::StripLineEnd(line) == 0 || line[std::strspn(line, " \t")] == '\0') continue;
    if (std::strchr(line, '=')) {
      if (!Header(line, reader.number())) return 0;
      continue;
    }
    double i = 0.0, q = 0.0;
    bool iRange = true, qRange = true;
    if (!ParseNumber(line, source->iColumn, &i, source->format, &iRange) ||
        (!twoFiles && !ParseNumber(line, source->qColumn, &q, source->format, &qRange))) {
      FailFormat();
      return 0;
    }
    if (TooLarge(i, q, iRange && qRange)) return 0;
    if (count >= INT32_MAX || !WritePair(static_cast<float>(i), static_cast<float>(q))) {
      Fail("*** Error writing to temporary waveform file.");
      return 0;
    }
    ++count;
    maxMagnitude = std::fmax(maxMagnitude, std::hypot(static_cast<float>(i), static_cast<float>(q)));
  }
  return 1;
}

// Header lines of a binary file up to the line "DATA".
int IqImport::BinaryHeader(SlotLineReader& reader) {
  for (;;) {
    const SlotLineReader::Result r = reader.Next();
    if (r == SlotLineReader::kEnd) {
      FailFormat();
      return 0;
    }
    lines = reader.number();
    if (r == SlotLineReader::kReadError) {
      Fail("*** File I/O error.");
      return 0;
    }
    if (r == SlotLineReader::kLineTooLong) {
      LineTooLong(reader.number());
      return 0;
    }
    char* line = reader.line();
    if (wavelib_detail::StripLineEnd(line) == 0) continue;
    if (std::strcmp(line, "DATA") == 0) return 1;
    if (!std::strchr(line, '=')) {
      FailFormat();
      return 0;
    }
    if (!Header(line, reader.number())) return 0;
  }
}

// float32 pairs (or, for a first file of two, single I values) filling
// `bytes` bytes of slot 1.
int IqImport::BinaryPairs(int64_t bytes) {
  const int width = source->secondPath ? 4 : 8;
  if (bytes < 0 || bytes % width != 0) {
    FailFormat();
    return 0;
  }
  const int64_t values = bytes / width;
  if (values > INT32_MAX) {
    Fail("*** Error writing to temporary waveform file.");
    return 0;
  }
  for (int64_t k = 0; k < values; ++k) {
    float v[2] = {0.0f, 0.0f};
    if (ReadBytes(kSourceSlot, width, v) != width) {
      Fail("*** File I/O error.");
      return 0;
    }
    if (TooLarge(v[0], v[1], true)) return 0;
    if (!WritePair(v[0], v[1])) {
      Fail("*** Error writing to temporary waveform file.");
      return 0;
    }
    ++count;
    maxMagnitude = std::fmax(maxMagnitude, std::hypot(v[0], v[1]));
  }
  return 1;
}

// Rewrites the temporary file in place with the Q values of slot 2 (the
// first `values` samples); the magnitudes are taken again over all pairs.
int IqImport::MergeSecondFile(int64_t values) {
  maxMagnitude = 0.0;
  char tag[3];
  if (ReadBytes(kIqSlot, 3, tag) != 3) {
    Fail("*** Error reading header from temporary waveform file.");
    return 0;
  }
  if (WriteBytes(kIqSlot, 3, tag) != 3) {
    Fail("*** Error writing header to temporary waveform file.");
    return 0;
  }
  for (int64_t k = 0; k < count; ++k) {
    float i, q;
    if (ReadBytes(kIqSlot, 4, &i) != 4) {
      Log_Message(1, cz::FormatC("*** Error reading I sample from temporary file for sample %ld.", static_cast<long>(k)).c_str());
      return 0;
    }
    if (ReadBytes(kIqSlot, 4, &q) != 4) {
      Log_Message(1, cz::FormatC("*** Error reading Q sample from temporary file for sample %ld.", static_cast<long>(k)).c_str());
      return 0;
    }
    if (k < values) {
      if (ReadBytes(kSecondSlot, 4, &q) != 4) {
        Fail("*** File I/O error.");
        return 0;
      }
      const int64_t saved = count;
      count = k;  // the data point named by the error line
      const bool tooLarge = TooLarge(i, q, true);
      count = saved;
      if (tooLarge) return 0;
    }
    if (WriteBytes(kIqSlot, 4, &i) != 4) {
      Fail("*** Error writing I sample to temporary waveform file.");
      return 0;
    }
    if (WriteBytes(kIqSlot, 4, &q) != 4) {
      Fail("*** Error writing Q sample to temporary waveform file.");
      return 0;
    }
    maxMagnitude = std::fmax(maxMagnitude, std::hypot(i, q));
  }
  return 1;
}

// Divides every sample by the largest magnitude, in place through slot 0.
int IqImport::ScaleDown() {
  Log_Message(1, cz::FormatC("Max. vector is %5.4f. Scaling down to 1.0...", maxMagnitude).c_str());
  char tag[3];
  if (ReadBytes(kIqSlot, 3, tag) != 3) {
    Fail("*** Error reading header from temporary waveform file.");
    return 0;
  }
  if (WriteBytes(kIqSlot, 3, tag) != 3) {
    Fail("*** Error writing header to temporary waveform file.");
    return 0;
  }
  WaveLib_Progress(0);
  wavelib_detail::PercentProgress progress(static_cast<uint64_t>(count));
  double sum = 0.0;
  for (int64_t k = 0; k < count; ++k) {
    progress.Reach(static_cast<uint64_t>(k) + 1);
    float i, q;
    if (ReadBytes(kIqSlot, 4, &i) != 4) {
      Log_Message(1, cz::FormatC("*** Error reading I sample from temporary file for sample %ld.", static_cast<long>(k)).c_str());
      return 0;
    }
    if (ReadBytes(kIqSlot, 4, &q) != 4) {
      Log_Message(1, cz::FormatC("*** Error reading Q sample from temporary file for sample %ld.", static_cast<long>(k)).c_str());
      return 0;
    }
    i = static_cast<float>(i / maxMagnitude);
    q = static_cast<float>(q / maxMagnitude);
    sum += static_cast<double>(i) * i + static_cast<double>(q) * q;
    if (WriteBytes(kIqSlot, 4, &i) != 4) {
      Fail("*** Error writing I sample to temporary waveform file.");
      return 0;
    }
    if (WriteBytes(kIqSlot, 4, &q) != 4) {
      Fail("*** Error writing Q sample to temporary waveform file.");
      return 0;
    }
  }
  Log_Message(1, cz::FormatC("New RMS value is %5.2f.", std::sqrt(sum / static_cast<double>(count))).c_str());
  return 1;
}

}  // namespace

int ParseImportNumber(const char* line, int column, double* output, int format) {
  double value = 0.0;
  bool inRange = true;
  if (!ParseNumber(line, column, &value, format, &inRange)) return 0;
  if (output) *output = value;
  return 1;
}

int WaveLib_ImportIq(const WaveIqImportSource* source, FILE* tempIqFile, WaveDescriptor* d, WaveImportTexts* texts) {
  if (source == nullptr || source->path == nullptr || source->path[0] == '\0') {
    Log_Message(1, "*** File I/O error.");
    return 0;
  }
  if (source->format < kImportFloat || source->format > kImportBinary) {
    Log_Message(1, "*** Unsupported data format");
    return 0;
  }
  const bool twoFiles = source->secondPath != nullptr && source->secondPath[0] != '\0';
  IqImport im{source, texts};
  if (texts) texts->comment[0] = texts->copyright[0] = '\0';

  Log_Message(1, cz::FormatC("Importing from file '%s'", source->path).c_str());
  FilePtr first(std::fopen(ResolvedLocalPath(source->path).c_str(), "rb"));
  const int64_t firstSize = first ? wavelib_detail::OpenFileSize(first.get()) : -1;
  if (firstSize < 0) {
    Log_Message(1, "*** File I/O error.");
    return 0;
  }
  Log_Message(1, cz::FormatC("Processing file 1 (%ld bytes)", static_cast<long>(firstSize)).c_str());

  if (tempIqFile == nullptr || !wavelib_detail::StartTemporaryFile(tempIqFile)) {
    Log_Message(1, "*** Error writing header to temporary waveform file.");
    return 0;
  }
  BoundSlot out, in;
  if (!out.Bind(kIqSlot, tempIqFile, 0, 1) || WriteBytes(kIqSlot, 3, "IQF") != 3) {
    Log_Message(1, "*** Error writing header to temporary waveform file.");
    return 0;
  }
  if (!in.Bind(kSourceSlot, first.get(), 1, 0)) {
    Log_Message(1, "*** File I/O error.");
    return 0;
  }
  // Text files end their lines with CR, LF or CR LF; the header of a binary
  // file is read no further than its LF, so that no data byte is taken.
  SlotLineReader reader(kSourceSlot, source->format != kImportBinary);
  if (source->format == kImportBinary) {
    if (!im.BinaryHeader(reader) || !im.BinaryPairs(firstSize - reader.consumed())) return 0;
  } else if (!im.TextFile(reader, twoFiles)) {
    return 0;
  }
  in.Release();
  if (!out.Release()) {
    Log_Message(1, "*** Error writing to temporary waveform file.");
    return 0;
  }

  if (twoFiles) {
    Log_Message(1, cz::FormatC("Importing from 2nd BINARY file '%s'.", source->secondPath).c_str());
    FilePtr second(std::fopen(ResolvedLocalPath(source->secondPath).c_str(), "rb"));
    if (!second) {
      Log_Message(1, "*** File I/O error.");
      return 0;
    }
    const int64_t secondSize = wavelib_detail::OpenFileSize(second.get());
    if (secondSize < 0) {
      Log_Message(1, "*** Failed to get file information on 2nd file.");
      return 0;
    }
    Log_Message(1, cz::FormatC("Processing file 2 (%ld bytes)", static_cast<long>(secondSize)).c_str());
    BoundSlot q;
    if (!q.Bind(kSecondSlot, second.get(), 1, 0)) {
      Log_Message(1, "*** File I/O error.");
      return 0;
    }
    WaveIqImportSource secondSource = *source;
    secondSource.format = kImportBinary;
    IqImport header{&secondSource, texts};
    SlotLineReader secondReader(kSecondSlot);
    if (!header.BinaryHeader(secondReader)) return 0;
    if (header.clockGiven) {
      im.clock = header.clock;
      im.clockGiven = true;
    }
    const int64_t bytes = secondSize - secondReader.consumed();
    if (bytes % 4 != 0) {
      header.FailFormat();
      return 0;
    }
    if (bytes / 4 > im.count) {
      Log_Message(1, "*** 2nd file contains more data than first file.");
      return 0;
    }
    if (!out.Bind(kIqSlot, tempIqFile, 1, 1)) {
      Log_Message(1, "*** Error reading header from temporary waveform file.");
      return 0;
    }
    if (!im.MergeSecondFile(bytes / 4)) return 0;
    if (!out.Release()) {
      Log_Message(1, "*** Error writing to temporary waveform file.");
      return 0;
    }
  }

  Log_Message(1, cz::FormatC("processed lines      : %d.", im.lines).c_str());
  Log_Message(1, cz::FormatC("imported data points : %ld.", static_cast<long>(im.count)).c_str());
  if (im.count == 0) {
    im.FailFormat();
    return 0;
  }
  if (d) {
    if (im.clockGiven) d->arbClock = d->markerClock = im.clock;
    d->samples = static_cast<int32_t>(im.count);
    if (texts) {
      d->comment = texts->comment;
      d->copyright = texts->copyright;
    }
  }
  if (im.maxMagnitude > 1.0) {
    if (!out.Bind(kIqSlot, tempIqFile, 1, 1)) {
      Log_Message(1, "*** Error reading header from temporary waveform file.");
      return 0;
    }
    if (!im.ScaleDown()) return 0;
    if (!out.Release()) {
      Log_Message(1, "*** Error writing to temporary waveform file.");
      return 0;
    }
  }
  return 1;
}
