// Instrument identification and the capability record.
#include "instrument/Identify.h"

#include <cstring>
#include <string>

#include "app/Log.h"
#include "app/Settings.h"
#include "instrument/InstrumentManager.h"
#include "instrument/InstrumentTypes.h"
#include "instrument/VisaDev.h"
#include "platform/visa/Visa.h"
#include "platform/BoundedText.h"

namespace {

constexpr InstrumentCapabilitiesRecord kNoInstrument = {
    /*Type*/ INSTR_LUMBRIX,
    /*Connected*/ 0,
    /*MaxClock*/ 600000000,
    /*MinClock*/ 100000,
    /*RfListMax*/ 10000,
    /*ArbSamplesA*/ 1073741824,
    /*ArbSamplesB*/ 1073741824,
    /*RfPathA*/ 0,
    /*RfPathB*/ 0,
    /*MultiSegment*/ 0,
    /*UnixPaths*/ 0,
};

constexpr std::size_t kIdentFieldSize = 1024;
constexpr std::size_t kResourceMax = 255;  // capacity of the settings field Select

using InfoText = cz::Text<kIdentifyInfoSize>;

// Memory of one option code on one path, with its size text; samples 0 when
// the code means nothing on that path.
struct MemoryChoice {
  int code;
  std::int32_t samples;
  const char* sizeText;
};

// Path A of the Tovik, Kaldra and Halvex family (with the two extra options).
constexpr MemoryChoice kTovikPathA[] = {
    {11, 67108864, "64 MSamples"}, {12, 16777216, "16 MSamples"}, {1, 16777216, "16 MSamples"},
    {2, 67108864, "64 MSamples"},  {3, 134217728, "128 MSamples"},
};
// Path B of that family, and both paths of Pernot.
constexpr MemoryChoice kThreeClasses[] = {
    {1, 16777216, "16 MSamples"}, {2, 67108864, "64 MSamples"}, {3, 134217728, "128 MSamples"},
};
constexpr MemoryChoice kLumbraPathA[] = {
    {4, 268435456, "256 MSamples"}, {5, 1073741824, "1 GSample"}, {6, 536870912, "512 MSample"},
};
constexpr MemoryChoice kNerrinPathA[] = {
    {7, 33554432, "32 MSamples"}, {8, 33554432, "32 MSamples"}, {9, 33554432, "32 MSamples"},
};

template <std::size_t N>
const MemoryChoice* FindChoice(const MemoryChoice (&table)[N], int code) {
  for (const MemoryChoice& c : table) {
    if (c.code == code) return &c;
  }
  return nullptr;
}

// The memory option codes found in the option list and their designations.
struct MemoryOptions {
  int codeA = 0;
  int codeB = 0;
  char designationA[64] = "";
  char designationB[64] = "";
};

void FindDesignations(const std::string& options, MemoryOptions* m) {
  std::size_t posA = 0;
  int rowA = FindMemoryOption(options.c_str(), 0, &posA);
  if (rowA < 0) return;
  OptionDesignation(MemoryOptionTable[rowA].code, m->designationA, sizeof m->designationA);
  int rowB = FindMemoryOption(options.c_str(), posA + 6, nullptr);
  if (rowB >= 0) OptionDesignation(MemoryOptionTable[rowB].code, m->designationB, sizeof m->designationB);
}

// "<label padded to 11>: <designation>, <size>\n"
void AppendMemoryLine(InfoText* info, const char* label, const char* designation, const char* size) {
  std::string line(label);
  if (line.size() < 11) line.append(11 - line.size(), ' ');
  line += ": ";
  line += designation;
  line += ", ";
  line += size;
  line += "\n";
  info->Append(line);
}

void AppendRfLines(InfoText* info, const std::string& options, InstrumentType family,
                   InstrumentCapabilitiesRecord* caps) {
  for (const RfOptionRow& rf : RfOptionTable) {
    if (rf.family != family || options.find(rf.code) == std::string::npos) continue;
    info->Append(rf.line);
    (rf.path == 0 ? caps->RfPathA : caps->RfPathB) = 1;
  }
}

// Fills caps from the type and the options; false for a type the program
// does not support.
bool FillByType(InstrumentType type, const std::string& options, const MemoryOptions& m,
                InstrumentCapabilitiesRecord* caps, InfoText* info) {
  caps->Type = type;
  caps->Connected = 1;
  caps->ArbSamplesA = 0;
  caps->ArbSamplesB = 0;
  caps->RfPathA = 0;
  caps->RfPathB = 0;
  switch (type) {
    case INSTR_LUMBRA:
    case INSTR_LUMBRIX: {
      caps->MaxClock = type == INSTR_LUMBRA ? 300000000 : 600000000;
      caps->RfListMax = 0;
      if (const MemoryChoice* c = FindChoice(kLumbraPathA, m.codeA)) {
        caps->ArbSamplesA = c->samples;
        AppendMemoryLine(info, "ARB", m.designationA, c->sizeText);
      }
      caps->MultiSegment = 0;
      caps->UnixPaths = 0;
      return true;
    }
    case INSTR_TOVIK:
    case INSTR_KALDRA:
    case INSTR_HALVEX:
    case INSTR_PERNOT: {
      const bool pernot = type == INSTR_PERNOT;
      caps->MaxClock = 100000000;
      caps->RfListMax = pernot ? 0 : 10000;
      const MemoryChoice* a = pernot ? FindChoice(kThreeClasses, m.codeA) : FindChoice(kTovikPathA, m.codeA);
      if (a) {
        caps->ArbSamplesA = a->samples;
        AppendMemoryLine(info, "ARB (A)", m.designationA, a->sizeText);
      }
      if (const MemoryChoice* b = FindChoice(kThreeClasses, m.codeB)) {
        caps->ArbSamplesB = b->samples;
        AppendMemoryLine(info, "ARB (B)", m.designationB, b->sizeText);
      }
      if (!pernot) AppendRfLines(info, options, INSTR_TOVIK, caps);
      caps->MultiSegment = 1;
      caps->UnixPaths = 0;
      return true;
    }
    case INSTR_NERRIN: {
      caps->MaxClock = 90000000;
      caps->RfListMax = 2000;
      if (const MemoryChoice* a = FindChoice(kNerrinPathA, m.codeA)) {
        caps->ArbSamplesA = a->samples;
        if (m.codeA == 7 || m.codeA == 8) caps->MaxClock = 150000000;
        AppendMemoryLine(info, "ARB", m.designationA, a->sizeText);
      }
      if (m.codeB == 10) {
        AppendMemoryLine(info, "ARB", m.designationB, "256 MSamples");
        caps->ArbSamplesA = 268435456;
      }
      if (options.find(kNerrinClockOption) != std::string::npos) caps->MaxClock = 200000000;
      AppendRfLines(info, options, INSTR_NERRIN, caps);
      caps->MultiSegment = 1;
      caps->UnixPaths = 1;
      return true;
    }
    case INSTR_OSTREL:
      caps->MaxClock = 200000000;
      caps->RfListMax = 10000;
      caps->ArbSamplesA = 536870912;
      caps->ArbSamplesB = 536870912;
      caps->RfPathA = 1;
      caps->RfPathB = 1;
      caps->MultiSegment = 1;
      caps->UnixPaths = 1;
      return true;
    default:
      return false;
  }
}

// The instrument the capability record was filled from: maker and model of
// its identity ("maker,model"), empty while none is identified; its default
// file directory; and a count of the identifications.
std::string g_identifiedModel;
std::string g_identifiedDirectory;
int g_identification = 0;
bool g_failurePasses = false;   // of the latest failed identification
bool g_awaitsIdentification = false;

// Another client's lock and a reply that did not come in time pass; an
// instrument that refuses the connection, or is not there, does not.
bool FailurePasses(int id) {
  const std::int32_t st = VisaDev_FailureStatus(id);
  return st == VISA_ERR_RSRC_LOCKED || st == VISA_ERR_TMO;
}

// "maker,model" of the identity read when instrument id was opened.
std::string OpenedModel(int id) {
  char maker[kVisaIdnSize] = "";
  char model[kVisaIdnSize] = "";
  char serial[kVisaIdnSize] = "";
  if (!VisaDev_GetIdent(id, maker, model, serial, nullptr)) return std::string();
  return std::string(maker) + "," + model;
}

}  // namespace

InstrumentCapabilitiesRecord InstrumentCapabilities = kNoInstrument;

void ResetInstrumentCapabilities() {
  const std::int32_t unixPaths = InstrumentCapabilities.UnixPaths;
  InstrumentCapabilities = kNoInstrument;
  InstrumentCapabilities.UnixPaths = unixPaths;
  g_identifiedModel.clear();
  g_awaitsIdentification = false;
}

int IdentifyFailurePasses() { return g_failurePasses ? 1 : 0; }

void KeepSelectionUnidentified(const char* resource) {
  g_Settings.Select = resource ? resource : "";
  g_awaitsIdentification = !g_Settings.Select.empty();
}

int SelectionAwaitsIdentification() {
  return g_awaitsIdentification && !InstrumentCapabilities.Connected && !g_Settings.Select.empty() ? 1 : 0;
}

const char* OpenFailureStatus(int id) {
  return VisaDev_FailureStatus(id) == VISA_ERR_RSRC_LOCKED ? "Error: Another Client Holds the Instrument's Lock."
                                                           : "Error: Failed to Open VISA Device.";
}

int OpenIdentifiedInstrument(int id) {
  if (SelectionAwaitsIdentification()) {
    // The operation works on what the instrument is: identified first, it
    // becomes the selection the pages show.
    char info[kIdentifyInfoSize] = "";
    const std::string resource = g_Settings.Select.str();
    if (!IdentifyInstrument(resource.c_str(), info, sizeof info)) return 0;
    if (!InstrumentCapabilities.Connected) return -1;  // a model without support: its message stands
    ShowIdentifiedSelection(info);
  }
  if (VisaDev_Open(id, g_Settings.Select.c_str()) != 1) return 0;
  if (g_identifiedModel.empty() || !InstrumentCapabilities.Connected) return 1;
  const std::string now = OpenedModel(id);
  if (now == g_identifiedModel) return 1;
  // Another model answers at the address: the capability record (drive,
  // path style, memory, clocks) is not its own, so nothing is sent to it.
  VisaDev_Close(id);
  Log_Message(7, "*** The instrument at '", g_Settings.Select.c_str(), "' changed: '", now.c_str(),
              "' answers instead of the identified '", g_identifiedModel.c_str(),
              "'. Identify the instrument again.");
  Log_Status(1, "Error: Instrument Changed. Identify It Again.");
  return -1;
}

int InstrumentIdentification() { return g_identification; }
const char* IdentifiedDefaultDirectory() { return g_identifiedDirectory.c_str(); }

double GetMinClock() { return InstrumentCapabilities.MinClock; }
double GetMaxClock() { return InstrumentCapabilities.MaxClock; }

int IdentifyInstrument(const char* resource, char* infoText, std::size_t infoSize) {
  char maker[kIdentFieldSize] = "";
  char model[kIdentFieldSize] = "";
  char serial[kIdentFieldSize] = "";
  char firmware[kIdentFieldSize] = "";
  char options[kVisaOptionsSize] = "";
  InfoText info;

  if (!resource || std::strlen(resource) > kResourceMax) {
    Log_Message(1, "*** Resource string too long for the instrument selection.");
    Log_Status(1, "Error: Failed to Open VISA Device.");
    return 0;
  }
  g_failurePasses = false;
  if (!VisaDev_Open(0, resource)) {
    g_failurePasses = FailurePasses(0);
    char error[kVisaLastErrorSize];
    VisaDev_GetLastError(0, error);
    Log_Status(1, error);
    Log_Status(1, OpenFailureStatus(0));
    return 0;
  }
  InstrumentType type = kInstrumentTypeNone;
  if (!VisaDev_GetType(0, &type)) {
    Log_Status(1, "Error: Cannot Read Instrument Type.");
    VisaDev_Close(0);
    return 0;
  }
  char modelName[kIdentFieldSize];
  VisaDev_GetModelName(type, modelName, sizeof modelName);
  info = "\nInstrument : Torvane ";
  info.Append(modelName);
  info.Append("\n");

  if (!VisaDev_GetIdent(0, maker, model, serial, options) || !VisaDev_GetFirmware(0, firmware)) {
    Log_Status(1, "Error: Cannot Read Instrument Information.");
    VisaDev_Close(0);
    return 0;
  }
  // Every designation, the last one included, is followed by a comma.
  std::string optionList(options);
  optionList += ',';

  MemoryOptions memory;
  std::int64_t memA = 0, memB = 0, bandwidth = 0, maxClock = 0;
  if (VisaDev_GetArbMemory(0, &memory.codeA, &memory.codeB, &memA, &memB, &bandwidth, &maxClock, nullptr, 0)) {
    FindDesignations(optionList, &memory);
  } else {
    Log_Message(1, "Info: Instrument Has No Baseband Options.");
    memory.codeA = 0;
    memory.codeB = 0;
  }
  const std::string identity = OpenedModel(0);
  char directory[256] = "";
  VisaDev_GetDefaultDirectory(0, directory);
  VisaDev_Close(0);

  info.Append("Serial No  : ");
  info.Append(serial);
  info.Append("\nFirmware   : ");
  info.Append(firmware);
  info.Append("\n");

  InstrumentCapabilitiesRecord caps = InstrumentCapabilities;
  if (!FillByType(type, optionList, memory, &caps, &info)) {
    // The instrument answered, but the program cannot drive its model:
    // identified, nothing selected.
    Log_Message(3, "*** Instrument type of '", resource, "' is not supported.");
    Log_Status(1, "Error: Instrument Type Not Supported.");
    if (infoText && infoSize) cz::CopyText(infoText, infoSize, info.view());
    return 1;
  }
  InstrumentCapabilities = caps;
  g_awaitsIdentification = false;
  g_identifiedModel = identity;
  g_identifiedDirectory = directory;
  ++g_identification;
  g_Settings.Select = resource;
  if (infoText && infoSize) cz::CopyText(infoText, infoSize, info.view());
  return 1;
}
