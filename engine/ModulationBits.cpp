// The data bit stream of a pulse repetition, built from the pulse's 32
// modulation data rows: built-in patterns, PRBS generators and user data
// sources, appended in row order to at most 10,001 bits.
#include <cstring>

#include "app/DataSource.h"
#include "app/Log.h"
#include "app/PulseRecord.h"
#include "engine/Modulation.h"
#include "engine/Prbs.h"
#include "platform/CLocale.h"

char ModulationBitStream[kModulationBitsSize];
int32_t ModulationBitCount = 0;

namespace {

// Built-in patterns are at most 31 bits; user sources at most 4,096.
constexpr int kPatternBufferSize = 64;

// Appends a pattern of length len repeated so that exactly count bits are
// added: count / len whole copies, then the first count mod len bits.
// count has been limited to the room left.
void AppendRepeated(const char* pattern, int len, int count) {
  char* out = ModulationBitStream + ModulationBitCount;
  int whole = count / len;
  for (int k = 0; k < whole; ++k) {
    std::memcpy(out, pattern, static_cast<size_t>(len));
    out += len;
  }
  int rest = count % len;
  std::memcpy(out, pattern, static_cast<size_t>(rest));
  ModulationBitCount += count;
  ModulationBitStream[ModulationBitCount] = '\0';
}

// Limits a pattern or user row's count to the room left, with the warning.
int TruncateToRoom(int count) {
  int room = kModulationBitsMax - ModulationBitCount;
  if (count >= room) {
    Log_Message(1, "*** Maximum number of bits exceeded for intra pulse modulation data. Truncating!");
    return room;
  }
  return count;
}

int AddPattern(int id, int count) {
  char pattern[kPatternBufferSize] = {0};
  if (!FindBuiltinDataSource(id, pattern)) {
    Log_Message(1, "*** Error: Invalid pattern type specified for data source.");
    return 0;
  }
  pattern[kPatternBufferSize - 1] = '\0';
  count = TruncateToRoom(count);
  int len = static_cast<int>(std::strlen(pattern));
  if (len == 0) {
    Log_Message(1, "*** Error: The specified data pattern does not contain data.");
    return 0;
  }
  AppendRepeated(pattern, len, count);
  return 1;
}

int AddRandom(int generator, int count) {
  if (kModulationBitsMax - ModulationBitCount < count) {
    Log_Message(1, "*** Maximum number of bits exceeded for intra pulse modulation data.");
    return 0;
  }
  if (PrbsGenerator(generator) == nullptr) {
    Log_Message(1, "*** Error: Invalid PRBS generator specified for data source.");
    return 0;
  }
  // Writes count bits and the terminator, which lands at most on byte
  // 10,001 of the stream buffer.
  if (!GeneratePrbsBits(ModulationBitStream + ModulationBitCount, count, generator)) return 0;
  ModulationBitCount += count;
  return 1;
}

int AddUser(int id, int count) {
  char text[kDataBitsBufferSize] = {0};
  if (!GetDataSourceBits(id, text)) {
    Log_Message(1, "*** Error: Invalid user bit pattern specified for data source.");
    return 0;
  }
  text[kDataBitsBufferSize - 1] = '\0';
  char bits[kDataBitsBufferSize] = {0};
  int len = 0;
  ParseDataBits(text, &len, bits);
  count = TruncateToRoom(count);
  if (len <= 0) {
    Log_Message(1, "*** Error: The specified user data source does not contain data.");
    return 0;
  }
  AppendRepeated(bits, len, count);
  return 1;
}

}  // namespace

int BuildModulationBitStream(const PulseRecord& pulse) {
  ModulationBitCount = 0;
  ModulationBitStream[0] = '\0';
  for (int row = 0; row < kModDataRows; ++row) {
    const ModulationDataRow& d = pulse.dataRows[row];
    if (d.kind == DSRC_OFF) continue;
    // A negative bit count adds nothing (it would otherwise run the copies
    // backwards).
    int count = d.bits > 0 ? d.bits : 0;
    Log_Message(1, cz::FormatC(" Adding %d bits from source %d.", d.bits, row + 1).c_str());
    int ok = 1;
    switch (d.kind) {
      case DSRC_PATTERN: ok = AddPattern(d.source, count); break;
      case DSRC_RANDOM: ok = AddRandom(d.source, count); break;
      case DSRC_USER: ok = AddUser(d.source, count); break;
      default:
        Log_Message(1, "*** Error: Invalid data source kind.");
        ok = 0;
        break;
    }
    if (!ok) return 0;
  }
  return 1;
}
