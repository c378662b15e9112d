// Text imports of lists: RF frequency/level lists into a caller's table, and
// data lists (symbol bits with control words) into the temporary data-list
// and marker files.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "wavelib/WaveLib.h"
#include "wavelib/WaveLib_Periphery.h"

namespace {

using wavelib_detail::BoundSlot;
using wavelib_detail::FilePtr;
using wavelib_detail::SlotLineReader;

constexpr int kDataSlot = 0;    // temporary data-list file (output)
constexpr int kSourceSlot = 1;  // the text file imported
constexpr int kMarkerSlot = 3;  // temporary marker file (output)

// RF list ranges: frequency in GHz, level in dBm.
constexpr double kRfFrequencyMin = 0.0001;
constexpr double kRfFrequencyMax = 6.0;
constexpr double kRfLevelMin = -145.0;
constexpr double kRfLevelMax = 19.0;

// Data-list header ranges.
constexpr int kBitsPerSymbolMax = 8;       // QAM256
constexpr double kAttMax = 100.0;          // dB, from 0
constexpr double kSymbolRateMin = 1.0;     // symbols/s
constexpr double kSymbolRateMax = 600e6;
constexpr double kAlphaMax = 1.0;          // filter roll-off, from 0

struct ModulationBitsRow {
  const char* name;
  int bitsPerSymbol;
};

const ModulationBitsRow kModulationBits[] = {
    {"FSK2", 1}, {"MSK", 1},   {"ASK", 1},    {"BPSK", 1},  {"FSK4", 2},   {"QPSK", 2},
    {"PSK8", 3}, {"QAM16", 4}, {"QAM32", 5}, {"QAM64", 6}, {"QAM256", 8},
};

struct ControlWordRow {
  const char* word;
  unsigned bit;
};

const ControlWordRow kControlWords[] = {
    {"MARKER1", 0x01}, {"MARKER2", 0x02},         {"MARKER3", 0x04},        {"MARKER4", 0x08},
    {"BURST", kControlBurst}, {"LEVATT", kControlLevelAtt}, {"CW", kControlCwMode}, {"HOP", kControlHop},
};

void LogLine(const std::string& text) { Log_Message(1, text.c_str()); }

std::string Trimmed(const char* s) {
  std::string t(s);
  const std::size_t first = t.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  t.erase(0, first);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.pop_back();
  return t;
}

bool IsWordSeparator(char c) { return c == ' ' || c == ',' || c == '\t' || c == ';'; }

// Data-list import state.
struct DataListImport {
  WaveImportTexts* texts;
  int bitsPerSymbol = 0;
  uint64_t totalBits = 0;
  uint64_t bytesWritten = 0;
  uint64_t symbolsWritten = 0;
  unsigned pending = 0;  // bits of the byte being filled, most significant first
  int pendingBits = 0;

  int Header(const char* line, int number);
  int DataLine(const char* line, int number);
};

int DataListImport::Header(const char* line, int number) {
  char name[kImportLineMax + 1];
  int valueAt = 0;
  if (cz::SscanfC(line, "%511[^=]=%n", name, &valueAt) < 1 || valueAt == 0) return 1;
  const std::string key = Trimmed(name);
  const std::string value = Trimmed(line + valueAt);
  auto outOfRange = [number](const char* what) {
    LogLine(cz::FormatC("*** Line %d: Number for %s is out of range. Aborting.", number, what));
    return 0;
  };
  if (key == "BITSPERSYMBOL") {
    // Checked as the whole number it is before it becomes an int: a value
    // beyond the int range must not wrap into the accepted one.
    char* end = nullptr;
    errno = 0;
    const long long read = std::strtoll(value.c_str(), &end, 10);
    if (value.empty() || errno == ERANGE || read < 1 || read > kBitsPerSymbolMax) return outOfRange("BITSPERSYMBOL");
    const int bits = static_cast<int>(read);
    bitsPerSymbol = bits;
    LogLine(cz::FormatC(" - BITSPERSYMBOL = %d", bits));
  } else if (key == "COMMENT") {
    if (texts) WaveLib_TakeTagText(texts->comment, line + valueAt, cz::FormatC("COMMENT in line %d", number).c_str());
    LogLine(cz::FormatC(" - COMMENT = %s", line + valueAt));
  } else if (key == "COPYRIGHT") {
    if (texts)
      WaveLib_TakeTagText(texts->copyright, line + valueAt, cz::FormatC("COPYRIGHT in line %d", number).c_str());
    LogLine(cz::FormatC(" - COPYRIGHT = %s", line + valueAt));
  } else if (key == "ATT" || key == "SYMRATE" || key == "ALPHA") {
    double v = 0.0;
    const bool read = cz::SscanfC(line, "%511[^=]=%lf", name, &v) == 2;
    if (key == "ATT") {
      if (!read || !(v >= 0.0 && v <= kAttMax)) return outOfRange("ATT");
      LogLine(cz::FormatC(" - ATT = %1.2f", v));
    } else if (key == "SYMRATE") {
      if (!read || !(v >= kSymbolRateMin && v <= kSymbolRateMax)) return outOfRange("SYMRATE");
      LogLine(cz::FormatC(" - SYMRATE = %1.2f", v));
    } else {
      if (!read || !(v >= 0.0 && v <= kAlphaMax)) return outOfRange("ALPHA");
      LogLine(cz::FormatC(" - ALPHA = %1.2f", v));
    }
  } else if (key == "MOD") {
    char mod[kImportLineMax + 1] = "";
    cz::SscanfC(line, "%511[^=]=%511s", name, mod);
    LogLine(cz::FormatC(" - MOD = %s", mod));
    for (const ModulationBitsRow& row : kModulationBits) {
      if (std::strcmp(row.name, mod) == 0) {
        bitsPerSymbol = row.bitsPerSymbol;
        return 1;
      }
    }
    LogLine("*** Cannot determine number of bits per symbol.");
    return 0;
  } else if (key == "FILTER") {
    LogLine(cz::FormatC(" - FILTER = %s", value.c_str()));
  }
  return 1;
}

int DataListImport::DataLine(const char* line, int number) {
  if (bitsPerSymbol == 0) {
    LogLine(cz::FormatC("*** Line %d: BITSPERSYMBOL still undefined. Aborting.", number));
    return 0;
  }
  // The bits: "0" and "1", blanks and commas between them.
  const char* p = line;
  int bits = 0;
  for (; *p == '0' || *p == '1' || *p == ' ' || *p == ','; ++p) {
    if (*p != '0' && *p != '1') continue;
    pending = (pending << 1) | static_cast<unsigned>(*p - '0');
    ++bits;
    if (++pendingBits == 8) {
      const unsigned char byte = static_cast<unsigned char>(pending);
      if (WriteBytes(kDataSlot, 1, &byte) != 1) {
        LogLine("*** Error writing to temporary data list file.");
        return 0;
      }
      ++bytesWritten;
      pending = 0;
      pendingBits = 0;
    }
  }
  // The control words; a word not known is refused rather than dropped.
  unsigned control = 0;
  while (*p) {
    while (*p && IsWordSeparator(*p)) ++p;
    const char* start = p;
    while (*p && !IsWordSeparator(*p)) ++p;
    if (p == start) break;
    const std::string word(start, static_cast<std::size_t>(p - start));
    bool known = false;
    for (const ControlWordRow& row : kControlWords) {
      if (word == row.word) {
        control |= row.bit;
        known = true;
      }
    }
    if (!known) bits = 0;
  }
  if (bits == 0) {
    LogLine("*** Error: wrong import data format.");
    return 0;
  }
  totalBits += static_cast<uint64_t>(bits);
  if (totalBits > UINT32_MAX - 8) {
    LogLine("*** Error writing to temporary data list file.");
    return 0;
  }
  const unsigned char controlByte = static_cast<unsigned char>(control);
  for (const uint64_t symbols = totalBits / static_cast<uint64_t>(bitsPerSymbol); symbolsWritten < symbols;
       ++symbolsWritten) {
    if (WriteBytes(kMarkerSlot, 1, &controlByte) != 1) {
      LogLine("*** Error writing to temporary marker file.");
      return 0;
    }
  }
  return 1;
}

}  // namespace

int WaveLib_ImportRfList(const char* path, WaveRfListTable* table) {
  FilePtr file(path && path[0] ? std::fopen(ResolvedLocalPath(path).c_str(), "rb") : nullptr);
  BoundSlot in;
  if (!file || !in.Bind(kSourceSlot, file.get(), 1, 0)) {
    LogLine("Error opening input file.");
    return 0;
  }
  const int32_t capacity =
      (table && table->capacity > 0 && table->frequency && table->level) ? table->capacity : 0;
  int32_t count = 0;
  // The points are collected first: a file that fails leaves the table as it was.
  std::vector<double> frequencies, levels;
  SlotLineReader reader(kSourceSlot, true);
  for (;;) {
    const SlotLineReader::Result r = reader.Next();
    if (r == SlotLineReader::kEnd) break;
    if (r == SlotLineReader::kReadError) {
      LogLine("*** File I/O error.");
      return 0;
    }
    if (r == SlotLineReader::kLineTooLong) {
      LogLine(cz::FormatC("Line %d: Maximum length exceeded. Aborting.", reader.number()));
      return 0;
    }
    char* line = reader.line();
    if (wavelib_detail::StripLineEnd(line) == 0 || line[0] == '%' || line[0] == '/') continue;
    double frequency = 0.0, level = 0.0;
    if (cz::SscanfC(line, "%lf %lf", &frequency, &level) != 2) {
      LogLine(cz::FormatC("Line %d: Cannot read frequency and level. Aborting.", reader.number()));
      return 0;
    }
    if (!(frequency >= kRfFrequencyMin && frequency <= kRfFrequencyMax)) {
      LogLine(cz::FormatC("Line %d: Frequency out of range. Aborting.", reader.number()));
      return 0;
    }
    if (!(level >= kRfLevelMin && level <= kRfLevelMax)) {
      LogLine(cz::FormatC("Line %d: Power out of range. Aborting.", reader.number()));
      return 0;
    }
    // Only a point that finds the table full fails: a file of exactly
    // `capacity` points imports.
    if (count >= capacity) {
      LogLine("Maximum number of entries exceeded.");
      return 0;
    }
    frequencies.push_back(frequency);
    levels.push_back(level);
    ++count;
  }
  if (table) {
    for (int32_t i = 0; i < count; ++i) {
      table->frequency[i] = frequencies[static_cast<std::size_t>(i)];
      table->level[i] = levels[static_cast<std::size_t>(i)];
    }
    table->capacity = count;
  }
  LogLine(cz::FormatC("%d lines imported.", count));
  return 1;
}

int WaveLib_ImportRfList(const char* path, RfListPoints* points) {
  std::vector<double> frequency(RfListPoints::kCapacity), level(RfListPoints::kCapacity);
  WaveRfListTable table;
  table.capacity = RfListPoints::kCapacity;
  table.frequency = frequency.data();
  table.level = level.data();
  if (!WaveLib_ImportRfList(path, &table)) return 0;
  if (points) {
    points->Reset();
    for (int32_t i = 0; i < table.capacity; ++i) points->Set(i, frequency[i], level[i]);
  }
  return 1;
}

int WaveLib_ImportDataList(const char* path, FILE* tempDataFile, FILE* tempMarkerFile, DataListDescriptor* d,
                           WaveImportTexts* texts) {
  if (tempDataFile == nullptr) {
    LogLine("*** Temporary file for data list not open.");
    return 0;
  }
  if (tempMarkerFile == nullptr) {
    LogLine("*** Temporary file for marker data not open.");
    return 0;
  }
  if (texts) texts->comment[0] = texts->copyright[0] = '\0';
  BoundSlot dataOut, markerOut, in;
  if (!wavelib_detail::StartTemporaryFile(tempDataFile) || !dataOut.Bind(kDataSlot, tempDataFile, 0, 1)) {
    LogLine("*** Cannot setup buffer for temporary data list file.");
    return 0;
  }
  if (!wavelib_detail::StartTemporaryFile(tempMarkerFile) || !markerOut.Bind(kMarkerSlot, tempMarkerFile, 0, 1)) {
    LogLine("*** Cannot setup buffer for temporary marker file.");
    return 0;
  }
  if (WriteBytes(kDataSlot, 3, "DLB") != 3) {
    LogLine("*** Cannot write to temporary data list file.");
    return 0;
  }
  FilePtr file(path && path[0] ? std::fopen(ResolvedLocalPath(path).c_str(), "rb") : nullptr);
  if (!file) {
    LogLine("*** Error opening input file.");
    return 0;
  }
  if (!in.Bind(kSourceSlot, file.get(), 1, 0)) {
    LogLine("*** File I/O error.");
    return 0;
  }
  DataListImport im{texts};
  SlotLineReader reader(kSourceSlot, true);
  for (;;) {
    const SlotLineReader::Result r = reader.Next();
    if (r == SlotLineReader::kEnd) break;
    if (r == SlotLineReader::kReadError) {
      LogLine("*** File I/O error.");
      return 0;
    }
    if (r == SlotLineReader::kLineTooLong) {
      LogLine(cz::FormatC("*** Line %d: Maximum length exceeded. Aborting.", reader.number()));
      return 0;
    }
    char* line = reader.line();
    if (wavelib_detail::StripLineEnd(line) == 0) continue;
    line += std::strspn(line, " \t");
    if (*line == '\0') continue;
    const int ok = std::strchr(line, '=') ? im.Header(line, reader.number()) : im.DataLine(line, reader.number());
    if (!ok) return 0;
  }
  if (im.pendingBits > 0) {
    const unsigned char byte = static_cast<unsigned char>(im.pending << (8 - im.pendingBits));
    if (WriteBytes(kDataSlot, 1, &byte) != 1) {
      LogLine("*** Error writing to temporary data list file.");
      return 0;
    }
    ++im.bytesWritten;
  }
  if (!dataOut.Release()) {
    LogLine("*** Error writing to temporary data list file.");
    return 0;
  }
  if (!markerOut.Release()) {
    LogLine("*** Error writing to temporary marker file.");
    return 0;
  }
  if (im.totalBits == 0) {
    LogLine("*** Error: wrong import data format.");
    return 0;
  }
  const long bytes = static_cast<long>(im.bytesWritten);
  const long bits = static_cast<long>(im.totalBits);
  const long symbols = static_cast<long>(im.symbolsWritten);
  LogLine(cz::FormatC(" - Bytes: %ld , Bits: %ld", bytes, bits));
  LogLine(cz::FormatC(" - Symbols: %ld.", symbols));
  LogLine(cz::FormatC("Imported %ld bytes, %ld symbols.", bytes, symbols));
  if (d) {
    d->bitLength = static_cast<uint32_t>(im.totalBits);
    d->byteCount = static_cast<uint32_t>(im.bytesWritten);
    d->bitsPerSymbol = static_cast<uint32_t>(im.bitsPerSymbol);
    d->symbolCount = static_cast<uint32_t>(im.symbolsWritten);
    d->data = nullptr;
    if (texts) {
      d->comment = texts->comment;
      d->copyright = texts->copyright;
    }
  }
  return 1;
}
