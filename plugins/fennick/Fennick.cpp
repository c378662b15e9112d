// Fennick report plug-in: the exports, the dispatch of mod_setvalue and the
// per-entry value store.
#include "Fennick.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "ComEXCEL.h"
#include "cadenza_plugin.h"
#include "platform/BoundedText.h"

namespace fennick {

char g_error[kErrorSize] = "";
ComEXCEL* g_excel = nullptr;
char g_templatePath[1024] = "";
bool g_templatePathTooLong = false;
ReportLayout g_layout;
bool g_firstEntry = true;
bool g_continueReport = false;
EntryValues g_values = {};

void SetError(const char* text) { cz::CopyText(g_error, sizeof g_error, text != nullptr ? text : ""); }

void SetSessionError(const char* prefix) {
  std::string text = prefix != nullptr ? prefix : "";
  if (g_excel != nullptr) {
    text += g_excel->ErrorText();
    g_excel->TakeError(nullptr, 0);
  }
  SetError(text.c_str());
}

}  // namespace fennick

namespace {

using fennick::EntryValues;

// One "set_" key of the value store: the field's place and kind; texts keep
// at most size - 1 characters.
struct ValueKey {
  const char* key;
  enum Kind { kText, kDouble, kInt } kind;
  std::size_t offset;
  std::size_t size;
};

#define FENNICK_TEXT(k, f) {k, ValueKey::kText, offsetof(EntryValues, f), sizeof(EntryValues::f)}
#define FENNICK_DOUBLE(k, f) {k, ValueKey::kDouble, offsetof(EntryValues, f), sizeof(double)}
#define FENNICK_INT(k, f) {k, ValueKey::kInt, offsetof(EntryValues, f), sizeof(int)}

const ValueKey kValueKeys[] = {
    FENNICK_TEXT("set_seqname", seqname),        FENNICK_TEXT("set_comment", comment),
    FENNICK_TEXT("set_filename", filename),      FENNICK_DOUBLE("set_clock", clock),
    FENNICK_TEXT("set_mseg_name", mseg_name),    FENNICK_TEXT("set_mseg_comment", mseg_comment),
    FENNICK_TEXT("set_mseg_filename", mseg_filename), FENNICK_DOUBLE("set_pdelay", pdelay),
    FENNICK_DOUBLE("set_prise", prise),          FENNICK_DOUBLE("set_pon", pon),
    FENNICK_DOUBLE("set_pfall", pfall),          FENNICK_DOUBLE("set_poff", poff),
    FENNICK_DOUBLE("set_pprfpri", pprfpri),      FENNICK_DOUBLE("set_fofs", fofs),
    FENNICK_DOUBLE("set_phofs", phofs),          FENNICK_DOUBLE("set_levon", levon),
    FENNICK_DOUBLE("set_levoff", levoff),        FENNICK_DOUBLE("set_levdroop", levdroop),
    FENNICK_DOUBLE("set_fmdev", fmdev),          FENNICK_DOUBLE("set_startt", startt),
    FENNICK_DOUBLE("set_absstartt", absstartt),  FENNICK_INT("set_seqno", seqno),
    FENNICK_INT("set_filler", filler),           FENNICK_INT("set_repcnt", repcnt),
    FENNICK_INT("set_repno", repno),             FENNICK_INT("set_msegno", msegno),
    FENNICK_INT("set_pprfmode", pprfmode),
};

// Flag keys of mod_setparam; the values are kept but not used.
const char* const kFlagKeys[] = {"en_pdelay", "en_prise",  "en_pon",    "en_pfall",    "en_poff",  "en_pprfpri",
                                 "en_fofs",   "en_phofs",  "en_levon",  "en_levoff",   "en_levdroop", "en_fmdev",
                                 "en_startt", "en_seqno",  "en_filler", "en_repcnt",   "en_repno", "en_msegno"};
int g_flags[sizeof kFlagKeys / sizeof kFlagKeys[0]] = {};

void StoreValue(const ValueKey& k, const void* value) {
  if (value == nullptr) return;
  char* field = reinterpret_cast<char*>(&fennick::g_values) + k.offset;
  switch (k.kind) {
    case ValueKey::kText: cz::CopyText(field, k.size, static_cast<const char*>(value)); break;
    case ValueKey::kDouble: std::memcpy(field, value, sizeof(double)); break;
    case ValueKey::kInt: std::memcpy(field, value, sizeof(int)); break;
  }
}

void ClearEntry() { fennick::g_values = EntryValues{}; }

// Ends the report: definitions forgotten, workbook saved, application quit
// or left for the user.
int EndReport(bool quit) {
  if (fennick::g_excel->Connected()) fennick::SuspendRoutines();
  fennick::ForgetDefinitions();
  if (!quit) fennick::g_firstEntry = false;
  if (fennick::g_excel->Close(quit)) return 1;
  fennick::SetSessionError("");
  return 0;
}

void WriteText(char* text, const char* value) {
  if (text != nullptr) cz::CopyText(text, CZ_MOD_TEXT_SIZE, value);
}

}  // namespace

extern "C" {

int mod_type(char* text) {
  WriteText(text, CZ_TYPE_REPORT);
  return 1;
}
int mod_ver(char* text) {
  WriteText(text, "1.4.0");
  return 1;
}
int mod_name(char* text) {
  WriteText(text, "Fennick-EXCEL-1.0");
  return 1;
}
int mod_author(char* text) {
  WriteText(text, "Torvane");
  return 1;
}
int mod_comment(char* text) {
  if (text != nullptr) text[0] = '\0';
  return 1;
}

void mod_error(char* text) {
  if (text != nullptr) cz::CopyText(text, CZ_MOD_ERROR_SIZE, fennick::g_error);
  fennick::g_error[0] = '\0';
}

int mod_init(void) {
  fennick::g_error[0] = '\0';
  delete fennick::g_excel;
  fennick::g_excel = new ComEXCEL();
  if (!fennick::g_excel->Ready()) {
    delete fennick::g_excel;
    fennick::g_excel = nullptr;
    fennick::SetError("Cannot initialize ComEXCEL !");
    return 0;
  }
  return 1;
}

void mod_shutdown(void) {
  delete fennick::g_excel;
  fennick::g_excel = nullptr;
}

int mod_setparam(const char* key, void* value) {
  if (key == nullptr) return 1;
  if (std::strcmp(key, "filename") == 0) {
    // A name that does not fit is refused: opening a cut name would read
    // and overwrite another file. "initreport" then reports it.
    const char* name = value != nullptr ? static_cast<const char*>(value) : "";
    fennick::g_templatePathTooLong = !cz::CopyTextExact(fennick::g_templatePath, name);
    if (fennick::g_templatePathTooLong) fennick::g_templatePath[0] = '\0';
    return 1;
  }
  if (std::strcmp(key, "continuereport") == 0) {
    int on = 0;
    if (value != nullptr) std::memcpy(&on, value, sizeof on);
    fennick::g_continueReport = on != 0;
    return 1;
  }
  for (std::size_t i = 0; i < sizeof kFlagKeys / sizeof kFlagKeys[0]; ++i)
    if (std::strcmp(key, kFlagKeys[i]) == 0 && value != nullptr) std::memcpy(&g_flags[i], value, sizeof(int));
  return 1;
}

int mod_setvalue(const char* tag, const void* value) {
  if (fennick::g_excel == nullptr) {
    fennick::SetError("COM EXCEL interface class not created.");
    return 0;
  }
  if (tag == nullptr) return 1;
  const std::string_view t(tag);
  if (t == "initreport") return fennick::InitReport();
  if (t == "initentry") {
    ClearEntry();
    return 1;
  }
  for (const ValueKey& k : kValueKeys)
    if (t == k.key) {
      StoreValue(k, value);
      return 1;
    }
  if (t == "finishentry") return fennick::FinishEntry();
  if (t == "endreport") return EndReport(false);
  if (t == "closereport") return EndReport(true);
  return 1;
}

}  // extern "C"
