// The supported signal generator models, the maker's option codes that the
// program looks for in an "*OPT?" reply, and the identification accessors
// that read what VisaDev_Open stored in a slot.
//
// Every option designation the program knows lives in the tables of
// InstrumentTypes.cpp, so that the simulated instrument can announce exactly
// the options the program searches for. Codes are searched as substrings of
// the "*OPT?" reply with a ',' appended to it, which is why most of them end
// with the separating comma.
#pragma once

#include <cstddef>
#include <cstdint>

// Row of InstrumentTypeTable; kInstrumentTypeNone for an unknown model.
using InstrumentType = std::int32_t;

enum InstrumentTypeIndex : InstrumentType {
  INSTR_TOVIK = 0,
  INSTR_KALDRA = 1,
  INSTR_HALVEX = 2,
  INSTR_QUORRA = 3,
  INSTR_LUMBRA = 4,
  INSTR_RAVELL = 5,
  INSTR_PERNOT = 6,
  INSTR_GORTIN = 7,
  INSTR_DELLUM = 8,
  INSTR_ETTRIN = 9,
  INSTR_LUMBRIX = 10,
  INSTR_NERRIN = 11,
  INSTR_VESSAN = 12,
  INSTR_OSTREL = 13,
};

inline constexpr InstrumentType kInstrumentTypeNone = 99;
inline constexpr int kInstrumentTypeCount = 14;

// One model. The flags are texts ("1"/"0") read as decimal numbers.
struct InstrumentTypeRow {
  const char* model;             // matched anywhere in the "*IDN?" model field
  const char* unixStyle;         // "1": '/' separated file system
  const char* defaultDirectory;  // working directory for uploads
  const char* hardDiskOption;    // option that moves the default directory to "/hdd/"
  const char* secondFlag;        // "1": the model has an RF section
};

// kInstrumentTypeCount rows in InstrumentType order, then a row with an
// empty model. The first matching row wins, so the order matters.
extern const InstrumentTypeRow InstrumentTypeTable[kInstrumentTypeCount + 1];

// Waveform memory options. Classes 1..6 carry a memory size; 7..12 are
// interpreted per family by the capability record.
struct MemoryOptionRow {
  const char* code;  // search text, ends with ','
  int memoryClass;   // 1..12
};

inline constexpr int kMemoryOptionCount = 21;
extern const MemoryOptionRow MemoryOptionTable[kMemoryOptionCount];

// Memory size of a class and its size text for the option summary.
struct MemoryClassRow {
  int memoryClass;
  std::int64_t samples;   // 0: no memory entry of its own
  const char* sizeText;   // " [64 MSamples]" etc., empty for classes 7..12
};
extern const MemoryClassRow MemoryClassTable[12];

// Further option codes, each searched in the reply with ',' appended.
// RF sections: the line is appended to the identity text when found.
struct RfOptionRow {
  InstrumentType family;  // INSTR_TOVIK for the Tovik, Kaldra and Halvex family
  int path;               // 0: path A, 1: path B
  const char* code;       // "-RFA22," etc.
  const char* line;       // identity text line, ends with '\n'
};
inline constexpr int kRfOptionCount = 9;
extern const RfOptionRow RfOptionTable[kRfOptionCount];

// Nerrin clock extension: MaxClock 200 MHz.
extern const char* const kNerrinClockOption;
// Ravell family options in search order; the fourth adds 4 MSamples of memory.
inline constexpr int kRavellOptionCount = 4;
extern const char* const RavellOptionTable[kRavellOptionCount];

// The designation of an option code: the code without its leading '-' and
// trailing ',' ("TVK-M64," gives "TVK-M64"). Writes at most size - 1 bytes.
void OptionDesignation(const char* code, char* out, std::size_t size);

// Searches the memory option codes in `list` from byte offset `from` (clamped
// to the list's length). Returns the table row of the earliest occurrence
// (-1 when none) and its offset in *where.
int FindMemoryOption(const char* list, std::size_t from, std::size_t* where);

// True when `code` occurs in `list` taken with a ',' appended, so that an
// option listed last is found like every other.
bool OptionListHas(const char* list, const char* code);

// The type rule: the first row whose model occurs in the second comma field
// of an "*IDN?" reply (at most 1,023 characters considered);
// kInstrumentTypeNone when no row matches or there is no second field.
InstrumentType InstrumentTypeFromIdn(const char* idn);

// Row of a known type, nullptr for kInstrumentTypeNone or a bad index.
const InstrumentTypeRow* InstrumentTypeRowOf(InstrumentType type);

// The model text of a row, at most size - 1 characters; empty for an index
// outside the table.
void VisaDev_GetModelName(InstrumentType type, char* text, std::size_t size);

// Accessors of an open slot. Each logs "Device is not open." and returns 0
// when the slot is not open. Output capacities: maker, model, serial and
// firmware 1,024 bytes, options 8,000 bytes, directory 256 bytes.
int VisaDev_GetType(int id, InstrumentType* type);
int VisaDev_GetIdent(int id, char* maker, char* model, char* serial, char* options);
int VisaDev_GetFirmware(int id, char* firmware);
int VisaDev_IsUnixStyle(int id);
int VisaDev_GetSecondFlag(int id);
int VisaDev_GetDefaultDirectory(int id, char* directory);

// Memory option codes of path A and B, memory in samples, bandwidth limit and
// maximum clock in Hz, and a text of one line per memory option (text of
// textSize bytes, may be nullptr). Returns 0 when the option list is empty or
// names no memory option.
int VisaDev_GetArbMemory(int id, int* codeA, int* codeB, std::int64_t* memoryA, std::int64_t* memoryB,
                         std::int64_t* bandwidth, std::int64_t* maxClock, char* text, std::size_t textSize);
