// User data sources and built-in bit patterns: the named bit strings that
// data-driven intra-pulse modulations take their bits from.
//
// A user data source holds its bits as text: '0'/'1' characters, blanks,
// line breaks, "#x" hexadecimal groups (lasting to the end of the line) and
// "/.../" comments; ParseDataBits turns such a text into plain bits. Pulses
// refer to a user data source by its ID (ModulationDataRow of kind User).
#pragma once

#include <cstdint>

#include "platform/BoundedText.h"

inline constexpr int kMaxDataSources = 64;       // DataSourceTable slots, IDs 1..64
inline constexpr int kDataBitsMax = 4096;        // bits of one source at most
inline constexpr int kDataBitsBufferSize = 4097;  // bits and the terminator
inline constexpr int kDataTextSize = 4097;       // stored bit text, terminator included

struct DataSourceRecord {
  uint32_t id = 1;                  // 1..64
  cz::Text<64> name;
  cz::Text<1024> comment;
  cz::Text<kDataTextSize> data;     // bit text in the notation of ParseDataBits
};

// Slots 0 .. DataSourceCount - 1 are in use, in the user's order.
extern DataSourceRecord DataSourceTable[kMaxDataSources];
extern int32_t DataSourceCount;
// Index of the source shown in the data-source editor, -1 for none.
extern int32_t CurrentDataSource;

// Smallest ID of 1..64 that no source in use carries (65 when all are).
uint32_t NextFreeDataSourceId();
// Smallest free ID, name "new_%d" with it, empty comment and bit text.
void InitDataSource(DataSourceRecord* record);

// Turns a bit text into '0'/'1' characters in bits (kDataBitsBufferSize
// bytes, always terminated) and their number in *count (at most 4,096).
// Returns 1, or 0 when an argument is null (nothing written).
int ParseDataBits(const char* text, int* count, char* bits);

// Copies the bit text (unparsed) of the first user data source in use with
// this ID into out (kDataBitsBufferSize bytes). 1 found, 0 none.
int GetDataSourceBits(int id, char* out);

// One built-in bit pattern; the table ends with a row whose name is empty.
struct BuiltinPattern {
  int32_t id;
  char name[16];
  char bits[32];
};
extern const BuiltinPattern kBuiltinPatterns[];

// Copies the bits of the built-in pattern with this id into out (at least
// 32 bytes). 1 found, 0 no such pattern (out untouched).
int FindBuiltinDataSource(int patternId, char* out);
