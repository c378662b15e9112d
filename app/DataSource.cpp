#include "app/DataSource.h"

#include <cstdio>
#include <cstring>

DataSourceRecord DataSourceTable[kMaxDataSources];
int32_t DataSourceCount = 0;
int32_t CurrentDataSource = -1;

// Built-in patterns: constant bits, the Barker codes of lengths 3 to 13.
const BuiltinPattern kBuiltinPatterns[] = {
    {0, "All 0", "0"},
    {1, "All 1", "1"},
    {2, "1010...", "10"},
    {3, "Barker R3", "110"},
    {4, "Barker R4a", "1011"},
    {5, "Barker R4b", "1110"},
    {6, "Barker R5", "11101"},
    {7, "Barker R7", "1110010"},
    {8, "Barker R11", "11100010010"},
    {9, "Barker R13", "1111100110101"},
    {0, "", ""},
};

uint32_t NextFreeDataSourceId() {
  int used = DataSourceCount < 0 ? 0 : (DataSourceCount > kMaxDataSources ? kMaxDataSources : DataSourceCount);
  for (uint32_t candidate = 1; candidate <= static_cast<uint32_t>(kMaxDataSources); ++candidate) {
    bool taken = false;
    for (int i = 0; i < used && !taken; ++i) taken = DataSourceTable[i].id == candidate;
    if (!taken) return candidate;
  }
  return kMaxDataSources + 1;
}

void InitDataSource(DataSourceRecord* record) {
  if (record == nullptr) return;
  record->id = NextFreeDataSourceId();
  char name[32];
  std::snprintf(name, sizeof name, "new_%u", static_cast<unsigned>(record->id));
  record->name = name;
  record->comment.Clear();
  record->data.Clear();
}

namespace {

// Value of an upper-case hexadecimal digit, -1 for any other character.
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int ParseDataBits(const char* text, int* count, char* bits) {
  if (text == nullptr || count == nullptr || bits == nullptr) return 0;
  *count = 0;
  std::memset(bits, 0, kDataBitsBufferSize);
  bool hex = false;      // "#x" seen; lasts until a line end
  bool comment = false;  // between two '/'
  for (const char* p = text; *p != '\0' && *count < kDataBitsMax; ++p) {
    char c = *p;
    if (c == ' ') continue;
    if (c == '\n' || c == '\r') {
      hex = false;
      comment = false;
      continue;
    }
    if (c == '#' && (p[1] == 'x' || p[1] == 'X')) {
      hex = true;
      ++p;  // the 'x' as well
      continue;
    }
    if (c == '/') {
      comment = !comment;
      continue;
    }
    if (comment) continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (hex) {
      int v = HexValue(c);
      if (v < 0) continue;
      for (int bit = 3; bit >= 0 && *count < kDataBitsMax; --bit)
        bits[(*count)++] = ((v >> bit) & 1) ? '1' : '0';
    } else if (c == '0' || c == '1') {
      bits[(*count)++] = c;
    }
  }
  return 1;
}

int GetDataSourceBits(int id, char* out) {
  if (out == nullptr || id <= 0) return 0;
  for (int i = 0; i < DataSourceCount && i < kMaxDataSources; ++i) {
    const DataSourceRecord& source = DataSourceTable[i];
    if (source.id != static_cast<uint32_t>(id)) continue;
    std::size_t n = source.data.size();  // at most kDataTextSize - 1
    std::memcpy(out, source.data.c_str(), n + 1);
    return 1;
  }
  return 0;
}

int FindBuiltinDataSource(int pattern_id, char* out) {
  if (out == nullptr) return 0;
  for (const BuiltinPattern* row = kBuiltinPatterns; row->name[0] != '\0'; ++row) {
    if (row->id != pattern_id) continue;
    std::memcpy(out, row->bits, std::strlen(row->bits) + 1);
    return 1;
  }
  return 0;
}
