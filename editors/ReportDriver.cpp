// The report driver: text report lines and the key-by-key report protocol.
#include "editors/ReportDriver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "platform/ui/UserInterface.h"

int ReportPluginIndex = -1;

namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};

// Room for a report file's path resolved from the home path: a stored path
// of 255 bytes under a home path of as many.
constexpr std::size_t kReportPathSize = cz::kHomePathSize + 512;

// Driver state, process-wide.
int g_switch = 0;
std::unique_ptr<FILE, FileCloser> ReportTextFile;
cz::Text<kReportPathSize> g_path;
cz::Text<256> g_pluginName;
// The text report: its file as opened, and the system's error of the first
// write to it that failed (0 while every write went through). A failed
// write fails the next entry and the close, so that a report lost on a full
// disk never ends as a success.
cz::Text<kReportPathSize> g_textPath;
int g_textErrno = 0;
// The text report's host path, and whether this report made the file.
std::string g_textHost;
bool g_textCreated = false;
std::string g_textFailure;
// The next plug-in open continues an earlier report of the same build.
bool g_continueNext = false;

// One column of the text report: title, width, decimals, record flag and the
// value in the unit shown (times in us, frequencies in MHz); a column whose
// rows differ in unit labels each value with its unit.
struct TextColumn {
  const char* title;
  int width;
  int decimals;
  int flag;
  double (*value)(const ReportEntryValues& v);
  const char* (*unit)(const ReportEntryValues& v) = nullptr;
};

// The PRF/PRI column holds a PRF in Hz or a PRI in us, whichever the pulse
// gives, with its unit: " Hz" or " us" after the number.
constexpr int kUnitLabelWidth = 3;

const TextColumn kTextColumns[] = {
    {"Entry", 8, 0, REPORT_ENTRY_NUMBER, [](const ReportEntryValues& v) { return double(v.entryNumber); }},
    {"Segment", 8, 0, REPORT_MSEG_NUMBER, [](const ReportEntryValues& v) { return double(v.segmentNumber); }},
    {"Pulse", 8, 0, REPORT_REP_NUMBER, [](const ReportEntryValues& v) { return double(v.repetition); }},
    {"Pulses", 8, 0, REPORT_REP_COUNT, [](const ReportEntryValues& v) { return double(v.repetitions); }},
    {"Delay", 8, 3, REPORT_DELAY, [](const ReportEntryValues& v) { return v.delay * 1000000.0; }},
    {"Rise", 8, 3, REPORT_RISE, [](const ReportEntryValues& v) { return v.rise * 1000000.0; }},
    {"On", 8, 3, REPORT_ON, [](const ReportEntryValues& v) { return v.on * 1000000.0; }},
    {"Fall", 8, 3, REPORT_FALL, [](const ReportEntryValues& v) { return v.fall * 1000000.0; }},
    {"Off", 8, 3, REPORT_OFF, [](const ReportEntryValues& v) { return v.off * 1000000.0; }},
    {"PRF/PRI", 8, 3, REPORT_PRF_PRI,
     [](const ReportEntryValues& v) { return v.prfIsPri ? v.prfOrPri * 1000000.0 : v.prfOrPri; },
     [](const ReportEntryValues& v) { return v.prfIsPri ? " us" : " Hz"; }},
    {"Freq", 8, 3, REPORT_FREQUENCY, [](const ReportEntryValues& v) { return v.frequency / 1000000.0; }},
    {"Phase", 8, 3, REPORT_PHASE, [](const ReportEntryValues& v) { return v.phase; }},
    {"Lev On", 8, 3, REPORT_LEVEL_ON, [](const ReportEntryValues& v) { return v.onLevel; }},
    {"Lev Off", 8, 3, REPORT_LEVEL_OFF, [](const ReportEntryValues& v) { return v.offLevel; }},
    {"Droop", 8, 3, REPORT_DROOP, [](const ReportEntryValues& v) { return v.droop; }},
    {"Dev", 8, 3, REPORT_FM_DEVIATION, [](const ReportEntryValues& v) { return v.deviation / 1000000.0; }},
    {"Tstart", 12, 3, REPORT_START_TIME, [](const ReportEntryValues& v) { return v.pulseStart * 1000000.0; }},
};

// Flag keys of the header, in sending order, with the record's flag index.
// The Fillers flag is the text report's own and is never sent.
struct FlagKey {
  const char* key;
  int flag;
};
const FlagKey kFlagKeys[] = {
    {"en_pdelay", REPORT_DELAY},         {"en_prise", REPORT_RISE},
    {"en_pon", REPORT_ON},               {"en_pfall", REPORT_FALL},
    {"en_poff", REPORT_OFF},             {"en_pprfpri", REPORT_PRF_PRI},
    {"en_fofs", REPORT_FREQUENCY},       {"en_phofs", REPORT_PHASE},
    {"en_levon", REPORT_LEVEL_ON},       {"en_levoff", REPORT_LEVEL_OFF},
    {"en_levdroop", REPORT_DROOP},       {"en_fmdev", REPORT_FM_DEVIATION},
    {"en_startt", REPORT_START_TIME},    {"en_seqno", REPORT_ENTRY_NUMBER},
    {"en_repcnt", REPORT_REP_COUNT},     {"en_repno", REPORT_REP_NUMBER},
    {"en_msegno", REPORT_MSEG_NUMBER},
};

// Double keys of an entry, in sending order; "set_absstartt" follows them.
struct DoubleKey {
  const char* key;
  double ReportEntryValues::*field;
};
const DoubleKey kDoubleKeys[] = {
    {"set_pdelay", &ReportEntryValues::delay},      {"set_prise", &ReportEntryValues::rise},
    {"set_pon", &ReportEntryValues::on},            {"set_pfall", &ReportEntryValues::fall},
    {"set_poff", &ReportEntryValues::off},          {"set_pprfpri", &ReportEntryValues::prfOrPri},
    {"set_fofs", &ReportEntryValues::frequency},    {"set_phofs", &ReportEntryValues::phase},
    {"set_levon", &ReportEntryValues::onLevel},     {"set_levoff", &ReportEntryValues::offLevel},
    {"set_levdroop", &ReportEntryValues::droop},    {"set_fmdev", &ReportEntryValues::deviation},
    {"set_startt", &ReportEntryValues::pulseStart},
};

struct IntKey {
  const char* key;
  int32_t ReportEntryValues::*field;
};
const IntKey kIntKeys[] = {
    {"set_seqno", &ReportEntryValues::entryNumber},
    {"set_repcnt", &ReportEntryValues::repetitions},
    {"set_repno", &ReportEntryValues::repetition},
    {"set_msegno", &ReportEntryValues::segmentNumber},
};

void CopyError(char* errorText, int errorSize, const char* text) {
  if (errorText == nullptr || errorSize <= 0) return;
  cz::CopyText(errorText, static_cast<std::size_t>(errorSize), text != nullptr ? text : "");
}

// The plug-in's reason for its last 0, fetched exactly once.
void FetchPluginError(char* errorText, int errorSize) {
  char reason[CZ_MOD_ERROR_SIZE] = "";
  const ModuleEntry& m = ModuleTable[ReportPluginIndex];
  if (m.Error != nullptr) m.Error(reason);
  reason[sizeof reason - 1] = '\0';
  CopyError(errorText, errorSize, reason);
}

bool PluginInUse() {
  return ReportPluginIndex >= 0 && ReportPluginIndex < ModuleCount &&
         ModuleTable[ReportPluginIndex].SetValue != nullptr;
}

int SendValue(const char* key, const void* value) { return ModuleTable[ReportPluginIndex].SetValue(key, value); }

void SendParam(const char* key, void* value) {
  if (ModuleTable[ReportPluginIndex].ReportSetParam != nullptr) ModuleTable[ReportPluginIndex].ReportSetParam(key, value);
}

bool WritersActive() { return g_switch != 0 && ReportTextFile != nullptr; }

// Notes the first failed write of the text report.
void CheckWrite(bool ok) {
  if (!ok && g_textErrno == 0) g_textErrno = errno != 0 ? errno : EIO;
}

void PutText(const std::string& text) { CheckWrite(std::fputs(text.c_str(), ReportTextFile.get()) >= 0); }

// The reason of a failed text report, logged once and kept for the
// build's message; false.
bool TextFailed(char* errorText, int errorSize, int error) {
  g_textFailure = cz::FormatC("Cannot write report file '%s': %s.", g_textPath.c_str(), std::strerror(error));
  Log_Message(2, "*** ", g_textFailure.c_str());
  CopyError(errorText, errorSize, g_textFailure.c_str());
  return false;
}

// Closes the text report; false with the reason when any write or the close
// itself failed.
bool CloseText(char* errorText, int errorSize) {
  if (ReportTextFile == nullptr) return true;
  CheckWrite(std::fflush(ReportTextFile.get()) == 0 && std::ferror(ReportTextFile.get()) == 0);
  // The lines appended are on the disk before the build says it is done
  // (else a power cut may leave the file longer by as many zero bytes),
  // and so is the name of a file this report made.
  if (g_textErrno == 0) g_textErrno = cz::FlushFileToDisk(fileno(ReportTextFile.get()));
  const bool closed = std::fclose(ReportTextFile.release()) == 0;
  CheckWrite(closed);
  if (g_textErrno == 0 && g_textCreated) g_textErrno = cz::FlushFolderOf(g_textHost);
  const int error = g_textErrno;
  g_textErrno = 0;
  return error == 0 || TextFailed(errorText, errorSize, error);
}

// Folder of the running program; relative plug-in file names start there.
std::string ProgramFolder() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  buf[n] = '\0';
  return cz::DirName(buf);
}

// A failed close ends the report too: the plug-in has dropped its unsaved
// session, so the reason is reported once and the next build neither
// closes again nor finds the plug-in still busy.
int ClosePlugin(char* errorText, int errorSize) {
  const int closed = SendValue("closereport", "");
  if (closed == 0) FetchPluginError(errorText, errorSize);
  ReportPluginIndex = -1;
  return closed != 0 ? 1 : 0;
}

// The first module whose type is exactly "report" and whose name matches
// exactly. When none matches the index keeps its value.
int OpenPlugin(char* errorText, int errorSize, bool continued) {
  for (int i = 0; i < ModuleCount; ++i) {
    if (ModuleTable[i].Type == "report" && ModuleTable[i].Name == g_pluginName.view()) {
      ReportPluginIndex = i;
      break;
    }
  }
  // A plug-in that is not loaded (a project made elsewhere) opens nothing.
  if (!PluginInUse()) return 1;

  // A failed start leaves nothing open in the plug-in: the index is
  // dropped, so that the next build with the report off has nothing to
  // close and the next report starts the plug-in afresh.
  auto failed = [] {
    ReportPluginIndex = -1;
    return 0;
  };
  // The plug-in gets a host path; a relative one starts at the program.
  const std::string folder = ProgramFolder();
  if (!cz::IsAbsolutePath(g_path.view()) && folder.empty()) return failed();
  const std::string file = cz::HostPath(cz::JoinPath(folder, g_path.view()));
  char fileName[1024];
  if (!cz::CopyTextExact(fileName, file)) {
    CopyError(errorText, errorSize, "Report file name too long.");
    return failed();
  }
  SendParam("filename", fileName);
  if (continued) {
    int on = 1;
    SendParam("continuereport", &on);
  }
  if (SendValue("initreport", "") != 0) return 1;
  FetchPluginError(errorText, errorSize);
  return failed();
}

// The host path the plug-in is given for a stored report path, as
// Report_OpenOrClose and OpenPlugin make it; empty when there is none.
std::string PluginFileHostPath(const char* stored) {
  char full[kReportPathSize] = "";
  if (!MakeAbsolutePath(stored, full, sizeof full)) return std::string();
  const std::string folder = ProgramFolder();
  if (!cz::IsAbsolutePath(full) && folder.empty()) return std::string();
  return cz::HostPath(cz::JoinPath(folder, full));
}

// A loaded module of type "report" with exactly this name.
bool PluginLoaded(const char* name) {
  for (int i = 0; i < ModuleCount; ++i)
    if (ModuleTable[i].Type == "report" && ModuleTable[i].Name == name && ModuleTable[i].SetValue != nullptr)
      return true;
  return false;
}

bool Exists(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0;
}

// The lock file another program keeps beside a workbook it has open, in
// either common form ("~$<name>", ".~lock.<name>#"); empty when none.
std::string LockFileOf(const std::string& hostPath) {
  const std::string folder = cz::DirName(hostPath);
  const std::string name = cz::BaseName(hostPath);
  for (const std::string& lock : {"~$" + name, ".~lock." + name + "#"}) {
    const std::string path = folder.empty() ? lock : folder + "/" + lock;
    if (Exists(path)) return path;
  }
  return std::string();
}

int OpenText(char* errorText, int errorSize) {
  const std::string file = cz::HostPath(g_path.view());
  // The report is added to the end of the file: a link is followed by the
  // open itself; a file the user made read-only is not written to.
  if (cz::IsReadOnlyFile(file)) {
    CopyError(errorText, errorSize,
              cz::FormatC("Cannot open report file '%s': %s.", file.c_str(), cz::kReadOnlyReason).c_str());
    return 0;
  }
  struct stat st;
  const bool created = ::stat(file.c_str(), &st) != 0;
  FILE* f = std::fopen(file.c_str(), "a");
  if (f == nullptr) {
    // Nothing would be written: the caller stops instead of building a
    // waveform without the report the user asked for.
    CopyError(errorText, errorSize, cz::FormatC("Cannot open report file '%s'.", file.c_str()).c_str());
    return 0;
  }
  ReportTextFile.reset(f);
  g_textPath = g_path;
  g_textErrno = 0;
  g_textHost = file;
  g_textCreated = created;
  return 1;
}

int EngineAddEntry(char* errorText, const ReportEntryValues& v) {
  return Report_AddEntry(errorText, v.sequenceIndex, v.multiSegmentIndex, v);
}

int EngineClose(char* errorText, int errorSize) { return Report_OpenOrClose(0, "", "", errorText, errorSize); }

// value in fixed point, right-aligned in width with decimals digits. A value
// that shows as nothing but zeros is written as 0 (never "-0.000"): a level
// of 0 dB is -20 log10(1.0), a negative zero.
std::string FixedText(int width, int decimals, double value) {
  char format[32];
  cz::SnprintfC(format, sizeof format, "%%%d.%df", width, decimals);
  std::string text = cz::FormatC(format, value);
  if (text.find('-') != std::string::npos && text.find_first_of("123456789") == std::string::npos)
    text = cz::FormatC(format, 0.0);
  return text;
}

void WriteNumberWithUnit(int width, int decimals, double value, const char* unit) {
  if (!WritersActive()) return;
  PutText(FixedText(width, decimals, value) + unit + "  ");
}

// The values as the report shows them: no negative zeros.
void WithoutNegativeZeros(ReportEntryValues* v) {
  for (double* x : {&v->delay, &v->rise, &v->on, &v->fall, &v->off, &v->prfOrPri, &v->frequency, &v->phase,
                    &v->onLevel, &v->offLevel, &v->droop, &v->deviation, &v->pulseStart, &v->timeOffset})
    if (*x == 0.0) *x = 0.0;
}

}  // namespace

int Report_OpenOrClose(int reportSwitch, const char* path, const char* pluginName, char* errorText,
                       int errorSize) {
  g_switch = reportSwitch;
  const char* p = path != nullptr ? path : "";
  g_pluginName = pluginName != nullptr ? pluginName : "";

  // Every call stores its arguments first; a failure rolls nothing back.
  if (reportSwitch == 0) {
    g_path = p;
    if (!PluginInUse()) return CloseText(errorText, errorSize) ? 1 : 0;
    return ClosePlugin(errorText, errorSize);
  }

  g_textFailure.clear();
  const bool continued = g_continueNext;
  g_continueNext = false;
  // An empty File field names no report: without this check the home
  // folder itself would be taken as the report file.
  if (std::strspn(p, " \t") == std::strlen(p)) {
    g_path = p;
    CopyError(errorText, errorSize, "No report file name given.");
    return 0;
  }
  // A relative name is taken from the home path. A name longer than a
  // sequence's report field holds is refused rather than cut to another
  // file's name.
  char full[kReportPathSize] = "";
  if (std::strlen(p) > decltype(SequenceRecord::reportFile)::kMaxLength || !MakeAbsolutePath(p, full, sizeof full) ||
      !g_path.AssignExact(full)) {
    g_path = p;
    CopyError(errorText, errorSize, cz::FormatC("Report file name too long: '%s'.", p).c_str());
    return 0;
  }
  if (g_pluginName.empty()) return OpenText(errorText, errorSize);
  return OpenPlugin(errorText, errorSize, continued);
}

void Report_ContinueNextOpen() { g_continueNext = true; }

int Report_AskBuildWithout(const std::vector<std::string>& reasons) {
  std::string text;
  for (const std::string& why : reasons) {
    Log_Message(2, "*** ", why.c_str());
    text += why + "\n";
  }
  text += reasons.size() > 1 ? "\nBuild the waveform without these reports?" : "\nBuild the waveform without the report?";
  text += "\nYes builds it without the report; No builds nothing.";
  if (ConfirmPopup("Report Cannot Be Written", text.c_str()) == 1) {
    Log_Message(1, "Building without the report, as chosen.");
    return 1;
  }
  Log_Message(1, "Nothing built: the report cannot be written.");
  return 0;
}

std::string Report_WhyNotWritable(int sequenceIndex) {
  if (sequenceIndex < 0 || sequenceIndex >= SequenceCount) return std::string();
  const SequenceRecord& seq = SequenceTable[sequenceIndex];
  if (seq.reportOn == 0) return std::string();
  const char* stored = seq.reportFile.c_str();
  // No file name, or one that does not fit: the open says so itself.
  if (std::strspn(stored, " \t") == std::strlen(stored)) return std::string();
  if (seq.reportPlugin.empty()) {
    char full[kReportPathSize] = "";
    if (!MakeAbsolutePath(stored, full, sizeof full)) return std::string();
    const std::string file = cz::HostPath(full);
    if (cz::IsReadOnlyFile(file))
      return cz::FormatC("The report file '%s' is read-only.", file.c_str());
    return std::string();
  }
  if (!PluginLoaded(seq.reportPlugin.c_str()))
    return cz::FormatC("The report plug-in '%s' is not loaded.", seq.reportPlugin.c_str());
  const std::string file = PluginFileHostPath(stored);
  if (file.empty()) return std::string();
  // The workbook is saved over the template when the report closes: a
  // read-only one would be refused only then, after the whole build.
  if (cz::IsReadOnlyFile(file))
    return cz::FormatC("The report template '%s' is read-only.", file.c_str());
  // Open in another program, whose next save would drop the report; its
  // lock file lies beside the file it opened (a link's target, or the link).
  for (const std::string& place : {cz::ResolveLinks(file), file}) {
    const std::string lock = LockFileOf(place);
    if (!lock.empty())
      return cz::FormatC("The report template '%s' is open in another program (its lock file '%s' is there).",
                         file.c_str(), lock.c_str());
  }
  return std::string();
}

std::string Report_WhyCannotOpen(int sequenceIndex) {
  if (sequenceIndex < 0 || sequenceIndex >= SequenceCount) return std::string();
  const SequenceRecord& seq = SequenceTable[sequenceIndex];
  if (seq.reportOn == 0) return std::string();
  const char* stored = seq.reportFile.c_str();
  if (std::strspn(stored, " \t") == std::strlen(stored)) return "No report file name given.";
  char full[kReportPathSize] = "";
  if (!MakeAbsolutePath(stored, full, sizeof full)) return cz::FormatC("Report file name too long: '%s'.", stored);
  // What a plug-in does with its file is its own (a template it reads, a
  // file it makes); either way the file's folder must be there.
  if (!seq.reportPlugin.empty()) {
    if (!PluginLoaded(seq.reportPlugin.c_str())) return std::string();
    const std::string file = PluginFileHostPath(stored);
    const std::string dir = cz::DirName(file);
    struct stat st;
    if (file.empty() || dir.empty() || ::stat(dir.c_str(), &st) == 0) return std::string();
    return cz::FormatC("Cannot open report file '%s': %s.", file.c_str(), std::strerror(errno));
  }
  // The text report is added to the end of its file, which the open makes
  // when it is not there yet: the file, or else its folder, must take writes.
  const std::string file = cz::HostPath(full);
  struct stat st;
  if (::stat(file.c_str(), &st) == 0) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : ::access(file.c_str(), W_OK) != 0 ? errno : 0;
    if (error == 0) return std::string();
    return cz::FormatC("Cannot open report file '%s': %s.", file.c_str(), std::strerror(error));
  }
  if (errno != ENOENT) return cz::FormatC("Cannot open report file '%s': %s.", file.c_str(), std::strerror(errno));
  const std::string dir = cz::DirName(file);
  if (::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) != 0)
    return cz::FormatC("Cannot open report file '%s': %s.", file.c_str(), std::strerror(errno));
  return std::string();
}

void Report_WriteHeader(int sequenceIndex) {
  if (sequenceIndex < 0 || sequenceIndex >= SequenceCount) return;
  SequenceRecord& seq = SequenceTable[sequenceIndex];
  if (PluginInUse()) {
    for (const FlagKey& k : kFlagKeys) SendParam(k.key, &seq.reportColumns[k.flag]);
  }
  if (WritersActive()) {
    for (const TextColumn& c : kTextColumns)
      if (seq.reportColumns[c.flag] != 0) Report_WriteColumn(c.width + (c.unit ? kUnitLabelWidth : 0), c.title);
    Report_WriteLine("");
  }
}

int Report_AddEntry(char* errorText, int sequenceIndex, int multiSegmentIndex, ReportEntryValues values) {
  if (sequenceIndex < 0 || sequenceIndex >= SequenceCount) {
    CopyError(errorText, kReportErrorTextSize, "Report entry of an unknown sequence.");
    return 0;
  }
  WithoutNegativeZeros(&values);
  const SequenceRecord& seq = SequenceTable[sequenceIndex];
  if (!PluginInUse()) {
    if (WritersActive()) {
      for (const TextColumn& c : kTextColumns) {
        if (seq.reportColumns[c.flag] == 0) continue;
        if (c.unit != nullptr) WriteNumberWithUnit(c.width, c.decimals, c.value(values), c.unit(values));
        else Report_WriteNumber(c.width, c.decimals, c.value(values));
      }
      Report_WriteLine("");
    }
    // A failed write ends the text report here, with its reason.
    if (g_textErrno != 0) return CloseText(errorText, kReportErrorTextSize) ? 1 : 0;
    return 1;
  }

  // Texts travel as NUL-terminated strings, numbers as pointers to the
  // caller's copy of the values; all stay valid for the call only.
  if (SendValue("initentry", "") == 0) {
    FetchPluginError(errorText, kReportErrorTextSize);
    return 0;
  }
  // Every key is sent even after a failure; the results are combined.
  int result = SendValue("set_seqname", seq.name.c_str());
  result &= SendValue("set_comment", seq.comment.c_str());
  result &= SendValue("set_filename", seq.waveFile.c_str());
  result &= SendValue("set_clock", &seq.clock);
  if (multiSegmentIndex >= 0 && multiSegmentIndex < MultiSegmentCount) {
    const MultiSegmentRecord& ms = MultiSegmentTable[multiSegmentIndex];
    result &= SendValue("set_mseg_name", ms.name.c_str());
    result &= SendValue("set_mseg_comment", ms.comment.c_str());
    result &= SendValue("set_mseg_filename", ms.targetName.c_str());
  }
  for (const DoubleKey& k : kDoubleKeys) result &= SendValue(k.key, &(values.*k.field));
  // The repetition's absolute start: where its sequence starts in the
  // multi-segment waveform (0 outside one) plus its start in the sequence.
  const double absoluteStart = values.timeOffset + values.pulseStart;
  result &= SendValue("set_absstartt", &absoluteStart);
  for (const IntKey& k : kIntKeys) result &= SendValue(k.key, &(values.*k.field));
  // What "set_pprfpri" holds: 0 a PRF in Hz, 1 a PRI in s. A plug-in made
  // before this tag existed may refuse it; that fails no entry.
  SendValue("set_pprfmode", &values.prfIsPri);
  result &= SendValue("finishentry", "");
  if (result == 0) {
    FetchPluginError(errorText, kReportErrorTextSize);
    return 0;
  }
  return result;
}

void Report_WriteLine(const char* text) {
  if (!WritersActive()) return;
  PutText(text != nullptr ? text : "");
  CheckWrite(std::fputc('\n', ReportTextFile.get()) != EOF);
  CheckWrite(std::fflush(ReportTextFile.get()) == 0);
}

void Report_WriteNumber(int width, int decimals, double value) {
  if (!WritersActive()) return;
  PutText(FixedText(width, decimals, value) + "  ");
}

void Report_WriteColumn(int width, const char* text) {
  if (!WritersActive()) return;
  char format[32];
  cz::SnprintfC(format, sizeof format, "%%%ds  ", width);
  PutText(cz::FormatC(format, text != nullptr ? text : ""));
}

void Report_InstallEngineHooks() {
  EngineHost host = GetEngineHost();
  host.reportAddEntry = EngineAddEntry;
  SetEngineHost(&host);
  EngineBuildHost build = GetEngineBuildHost();
  build.reportClose = EngineClose;
  build.reportWriteLine = Report_WriteLine;
  SetEngineBuildHost(&build);
}

int Report_CurrentSwitch() { return g_switch; }
const char* Report_CurrentPath() { return g_path.c_str(); }
const char* Report_CurrentPluginName() { return g_pluginName.c_str(); }
bool Report_TextFileOpen() { return ReportTextFile != nullptr; }
const char* Report_TextFailure() { return g_textFailure.c_str(); }
