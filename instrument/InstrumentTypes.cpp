// Instrument type table, option catalogues and identification accessors.
#include "instrument/InstrumentTypes.h"

#include <cstring>
#include <string>
#include <string_view>

#include "app/Log.h"
#include "instrument/VisaDev.h"
#include "platform/BoundedText.h"

const InstrumentTypeRow InstrumentTypeTable[kInstrumentTypeCount + 1] = {
    {"Tovik", "0", "D:\\", "", "1"},
    {"Kaldra", "0", "D:\\", "", "1"},
    {"Halvex", "0", "D:\\", "", "1"},
    {"Quorra", "1", "/var/quorra/", "", "0"},
    // Unix-style although its working directory is a drive path; the path
    // builders follow the flag.
    {"Lumbra", "1", "D:\\", "", "0"},
    {"Ravell", "0", "", "", "0"},
    {"Pernot", "0", "D:\\", "", "0"},
    {"Gortin", "1", "/var/gortin/", "", "0"},
    {"Dellum", "1", "/var/dellum/", "", "0"},
    {"Ettrin", "0", "", "", "0"},
    {"Lumbrix", "0", "D:\\", "", "0"},
    {"Nerrin", "1", "/var/nerrin/", "OPT-HDD", "1"},
    {"Vessan", "1", "/var/vessan/", "", "0"},
    {"Ostrel", "1", "/var/user/", "", "1"},
    {"", "", "", "", ""},
};

// Per family in this order: Tovik, Kaldra, Halvex, Pernot (classes 2, 1, 3),
// Lumbra (4, 5, 6), Nerrin (7, 8, 9, 10), two further Tovik options (11, 12).
// Every code is at least seven characters long, so the path-B search that
// starts six characters after the path-A match never lands inside the next
// option's code.
const MemoryOptionRow MemoryOptionTable[kMemoryOptionCount] = {
    {"TVK-M64,", 2},  {"TVK-M16,", 1},  {"TVK-M128,", 3},
    {"KLD-M64,", 2},  {"KLD-M16,", 1},  {"KLD-M128,", 3},
    {"HLX-M64,", 2},  {"HLX-M16,", 1},  {"HLX-M128,", 3},
    {"PRN-M64,", 2},  {"PRN-M16,", 1},  {"PRN-M128,", 3},
    {"LMB-M256,", 4}, {"LMB-M1G,", 5},  {"LMB-M512,", 6},
    {"NRN-M32A,", 7}, {"NRN-M32B,", 8}, {"NRN-M32C,", 9}, {"NRN-M256,", 10},
    {"TVK-X64,", 11}, {"TVK-X16,", 12},
};

const MemoryClassRow MemoryClassTable[12] = {
    {1, 16777216, " [16 MSamples]"},   {2, 67108864, " [64 MSamples]"},
    {3, 134217728, " [128 MSamples]"}, {4, 268435456, " [256 MSamples]"},
    {5, 1073741824, " [1 GSamples]"},  {6, 536870912, " [512 MSamples]"},
    {7, 0, ""},  {8, 0, ""},  {9, 0, ""},  {10, 0, ""},  {11, 0, ""},  {12, 0, ""},
};

// RF options are searched with their leading '-' and the trailing ',', so
// that "OPT-RFA22" is found but not "OPT-RFA220".
const RfOptionRow RfOptionTable[kRfOptionCount] = {
    {INSTR_TOVIK, 0, "-RFA22,", "RF (A)     : 100 kHz - 2.2 GHz\n"},
    {INSTR_TOVIK, 0, "-RFA30,", "RF (A)     : 100 kHz - 3.0 GHz\n"},
    {INSTR_TOVIK, 0, "-RFA40,", "RF (A)     : 100 kHz - 4.0 GHz\n"},
    {INSTR_TOVIK, 0, "-RFA60,", "RF (A)     : 100 kHz - 6.0 GHz\n"},
    {INSTR_TOVIK, 1, "-RFB22,", "RF (B)     : 100 kHz - 2.2 GHz\n"},
    {INSTR_TOVIK, 1, "-RFB30,", "RF (B)     : 100 kHz - 3.0 GHz\n"},
    {INSTR_TOVIK, 1, "-RFB60,", "RF (B)     : 100 kHz - 6.0 GHz\n"},
    {INSTR_NERRIN, 0, "-RF32,", "RF         : 9 kHz - 3.2 GHz\n"},
    {INSTR_NERRIN, 0, "-RF60,", "RF         : 9 kHz - 6.0 GHz\n"},
};

const char* const kNerrinClockOption = "-CLK200,";

const char* const RavellOptionTable[kRavellOptionCount] = {"RVL-K1,", "RVL-K2,", "RVL-K3,", "RVL-M4,"};

namespace {

// Reply copies are at most this long (the slot fields' capacities less one).
constexpr std::size_t kIdnCopyMax = 1023;
constexpr std::size_t kOptionsCopyMax = 7999;

bool SlotReady(int id) {
  if (VisaDev_IsOpen(id)) return true;
  Log_Message(1, "Device is not open.");
  return false;
}

// The option list as searched: at most 7,999 characters and a ',' after
// the last entry.
std::string SearchableOptions(const char* list) {
  std::string s(list ? list : "");
  if (s.size() > kOptionsCopyMax) s.resize(kOptionsCopyMax);
  s.push_back(',');
  return s;
}

// Comma field `index` (0-based) of `text`; false when there are fewer fields.
bool CommaField(std::string_view text, int index, std::string_view* field) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) return false;
    start = comma + 1;
  }
  std::size_t end = text.find(',', start);
  *field = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  return true;
}

const MemoryClassRow* ClassRow(int memoryClass) {
  if (memoryClass < 1 || memoryClass > 12) return nullptr;
  return &MemoryClassTable[memoryClass - 1];
}

}  // namespace

void OptionDesignation(const char* code, char* out, std::size_t size) {
  std::string_view c(code ? code : "");
  if (!c.empty() && c.front() == '-') c.remove_prefix(1);
  if (!c.empty() && c.back() == ',') c.remove_suffix(1);
  cz::CopyText(out, size, c);
}

int FindMemoryOption(const char* list, std::size_t from, std::size_t* where) {
  std::string_view text(list ? list : "");
  if (from > text.size()) from = text.size();
  int best = -1;
  std::size_t bestPos = std::string_view::npos;
  for (int row = 0; row < kMemoryOptionCount; ++row) {
    std::size_t pos = text.find(MemoryOptionTable[row].code, from);
    if (pos < bestPos) {
      bestPos = pos;
      best = row;
    }
  }
  if (where) *where = bestPos;
  return best;
}

bool OptionListHas(const char* list, const char* code) {
  if (!code || !*code) return false;
  return SearchableOptions(list).find(code) != std::string::npos;
}

InstrumentType InstrumentTypeFromIdn(const char* idn) {
  std::string_view reply(idn ? idn : "");
  if (reply.size() > kIdnCopyMax) reply = reply.substr(0, kIdnCopyMax);
  std::string_view model;
  if (!CommaField(reply, 1, &model)) return kInstrumentTypeNone;
  for (int row = 0; row < kInstrumentTypeCount; ++row) {
    if (model.find(InstrumentTypeTable[row].model) != std::string_view::npos) return row;
  }
  return kInstrumentTypeNone;
}

const InstrumentTypeRow* InstrumentTypeRowOf(InstrumentType type) {
  if (type < 0 || type >= kInstrumentTypeCount) return nullptr;
  return &InstrumentTypeTable[type];
}

void VisaDev_GetModelName(InstrumentType type, char* text, std::size_t size) {
  if (!text || size == 0) return;
  const InstrumentTypeRow* row = InstrumentTypeRowOf(type);
  cz::CopyText(text, size, row ? row->model : "");
}

int VisaDev_GetType(int id, InstrumentType* type) {
  if (!SlotReady(id)) return 0;
  if (type) *type = VisaDevSlotTable[id].type;
  return 1;
}

int VisaDev_GetIdent(int id, char* maker, char* model, char* serial, char* options) {
  if (!SlotReady(id)) return 0;
  const VisaDevSlot& slot = VisaDevSlotTable[id];
  std::string_view idn = slot.idn.view();
  char* outs[3] = {maker, model, serial};
  for (int i = 0; i < 3; ++i) {
    std::string_view field;
    if (outs[i] && CommaField(idn, i, &field)) cz::CopyText(outs[i], kVisaIdnSize, field);
  }
  if (options) cz::CopyText(options, kVisaOptionsSize, slot.options.view());
  return 1;
}

int VisaDev_GetFirmware(int id, char* firmware) {
  if (!SlotReady(id)) return 0;
  std::string_view field;
  if (firmware && CommaField(VisaDevSlotTable[id].idn.view(), 3, &field)) {
    cz::CopyText(firmware, kVisaIdnSize, field);
  }
  return 1;
}

int VisaDev_IsUnixStyle(int id) {
  if (!SlotReady(id)) return 0;
  const InstrumentTypeRow* row = InstrumentTypeRowOf(VisaDevSlotTable[id].type);
  return row && std::strcmp(row->unixStyle, "1") == 0 ? 1 : 0;
}

int VisaDev_GetSecondFlag(int id) {
  if (!SlotReady(id)) return 0;
  const InstrumentTypeRow* row = InstrumentTypeRowOf(VisaDevSlotTable[id].type);
  return row && std::strcmp(row->secondFlag, "1") == 0 ? 1 : 0;
}

int VisaDev_GetDefaultDirectory(int id, char* directory) {
  if (!SlotReady(id)) return 0;
  if (!directory) return 0;
  directory[0] = '\0';
  const VisaDevSlot& slot = VisaDevSlotTable[id];
  const InstrumentTypeRow* row = InstrumentTypeRowOf(slot.type);
  if (!row) return 1;
  cz::CopyText(directory, 256, row->defaultDirectory);
  if (std::strcmp(row->unixStyle, "1") == 0 && row->hardDiskOption[0] != '\0' &&
      OptionListHas(slot.options.c_str(), (std::string(row->hardDiskOption) + ",").c_str())) {
    cz::CopyText(directory, 256, "/hdd/");
  }
  return 1;
}

int VisaDev_GetArbMemory(int id, int* codeA, int* codeB, std::int64_t* memoryA, std::int64_t* memoryB,
                         std::int64_t* bandwidth, std::int64_t* maxClock, char* text, std::size_t textSize) {
  if (!SlotReady(id)) return 0;
  const VisaDevSlot& slot = VisaDevSlotTable[id];
  if (slot.options.empty() || !codeA || !codeB) return 0;
  const std::string list = SearchableOptions(slot.options.c_str());

  *codeA = 0;
  *codeB = 0;
  if (text && textSize) text[0] = '\0';

  std::size_t posA = 0;
  int rowA = FindMemoryOption(list.c_str(), 0, &posA);
  if (rowA < 0) return 0;
  *codeA = MemoryOptionTable[rowA].memoryClass;
  int rowB = FindMemoryOption(list.c_str(), posA + 6, nullptr);
  *codeB = rowB < 0 ? 0 : MemoryOptionTable[rowB].memoryClass;

  auto set = [](std::int64_t* out, std::int64_t v) { if (out) *out = v; };
  auto appendLine = [&](const char* prefix, int row) {
    if (!text || !textSize) return;
    char label[64];
    OptionDesignation(MemoryOptionTable[row].code, label, sizeof label);
    std::string line = std::string(prefix) + label + ClassRow(MemoryOptionTable[row].memoryClass)->sizeText + "\n";
    cz::AppendText(text, textSize, line);
  };

  switch (slot.type) {
    case INSTR_TOVIK:
    case INSTR_KALDRA:
    case INSTR_HALVEX:
    case INSTR_PERNOT:
      set(memoryA, 0);
      set(memoryB, 0);
      set(bandwidth, 40000000);
      set(maxClock, 100000000);
      if (*codeA >= 1 && *codeA <= 3) {
        set(memoryA, ClassRow(*codeA)->samples);
        appendLine("1. ", rowA);
      }
      if (*codeB >= 1 && *codeB <= 3) {
        set(memoryB, ClassRow(*codeB)->samples);
        appendLine("2. ", rowB);
      }
      break;
    case INSTR_LUMBRA:
    case INSTR_LUMBRIX:
      set(memoryA, 0);
      set(memoryB, 0);
      set(bandwidth, slot.type == INSTR_LUMBRA ? 100000000 : 264000000);
      set(maxClock, slot.type == INSTR_LUMBRA ? 300000000 : 600000000);
      if (*codeA >= 4 && *codeA <= 6) {
        set(memoryA, ClassRow(*codeA)->samples);
        appendLine("", rowA);
      }
      break;
    case INSTR_NERRIN:
    case INSTR_OSTREL:
      set(memoryA, 268435456);
      set(memoryB, 0);
      set(bandwidth, 160000000);
      set(maxClock, 200000000);
      if (text && textSize) cz::AppendText(text, textSize, "256 MSsamples max\n");
      break;
    case INSTR_ETTRIN:
      set(memoryA, 16777216);
      set(memoryB, 0);
      set(bandwidth, 40000000);
      set(maxClock, 100000000);
      break;
    case INSTR_RAVELL: {
      set(memoryB, 0);
      set(bandwidth, 20000000);
      set(maxClock, 40000000);
      std::int64_t samples = 1966080;
      for (int i = 0; i < kRavellOptionCount; ++i) {
        if (list.find(RavellOptionTable[i]) == std::string::npos) continue;
        char label[64];
        OptionDesignation(RavellOptionTable[i], label, sizeof label);
        if (text && textSize) {
          cz::AppendText(text, textSize, label);
          cz::AppendText(text, textSize, " ");
        }
        if (i == 3) samples += 4194304;
      }
      set(memoryA, samples);
      break;
    }
    case INSTR_QUORRA:
    case INSTR_GORTIN:
      set(memoryA, 0);
      set(memoryB, 0);
      set(bandwidth, 0);
      set(maxClock, 0);
      break;
    default:
      break;
  }
  return 1;
}
