// Loading and importing the project file.
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/mman.h>

#include "app/DataSource.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/Progress.h"
#include "app/ProjectFile.h"
#include "app/Settings.h"
#include "engine/ModulationTypes.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/TagText.h"
#include "platform/TextEncoding.h"

void SetProjectWindowTitle(const char* path);

namespace {

using pugi::xml_node;

constexpr int kAttrText = 256;  // attribute texts keep at most 255 characters

// Texts come back exactly as saved: an element holding only blanks keeps
// them (a comment of three blanks is three blanks, not an empty comment).
constexpr unsigned kParseFlags = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string Numbered(const char* base, int n) { return cz::FormatC("%s%d", base, n); }

// The record being read ("Pulse", "Sequence", ...) and its name, for the
// messages about values no build can use.
const char* g_recordKind = "Record";
std::string g_recordName;

void ReadingRecord(const char* kind, std::string_view name) {
  g_recordKind = kind;
  g_recordName.assign(name);
}

// Logs a value of the record being read that is not a finite number
// ("nan", "inf", "1e999"): field names the element and attribute.
void LogNotFinite(const xml_node& e, std::string_view field, const char* text, const char* outcome) {
  Log_Message(1, cz::FormatC("*** %s '%s': %s %.*s is not a finite number ('%.40s'); %s.", g_recordKind,
                             g_recordName.c_str(), e.name(), static_cast<int>(field.size()), field.data(),
                             text ? text : "", outcome)
                     .c_str());
  ++LastProjectLoadReport.valuesRefused;
}

// A real attribute into *field: 0 when the attribute is missing (as
// XmlGetAttrReal reads it), the field unchanged (its default) when the
// value is not a finite number.
void Real(const xml_node& e, const char* name, double* field) {
  double v = 0;
  XmlGetAttrReal(e, name, &v);
  if (!std::isfinite(v)) {
    LogNotFinite(e, name, e.attribute(name).value(), "the default is kept");
    return;
  }
  *field = v;
}
int32_t Int(const xml_node& e, const char* name) {
  int32_t v = 0;
  XmlGetAttrInt(e, name, &v);
  return v;
}
// Reads into v only when the attribute exists.
template <typename T>
void IntIf(const xml_node& e, const char* name, T* v) {
  int32_t x = 0;
  if (XmlGetAttrInt(e, name, &x)) *v = static_cast<T>(x);
}
// Attribute text (at most 255 characters), "" when missing.
std::string Str(const xml_node& e, const char* name) {
  char buf[kAttrText];
  XmlGetAttrString(e, name, buf);
  return buf;
}
bool Has(const xml_node& e, const char* name) { return static_cast<bool>(e.attribute(name)); }

void LogCut(long cut, const char* what, long limit);

// A text of the file longer than its field keeps its first characters (cut
// on a character boundary): the record keeps less than the file holds, and
// the cut is logged with the record being read and counted. what names the
// text ("characters of its name"); null when the caller logs the cut itself.
template <std::size_t N>
void TakeFileText(std::string_view text, const char* what, cz::Text<N>* field) {
  if (field->AssignExact(text)) return;
  field->Assign(text);
  if (what == nullptr) return;
  const std::size_t kept = cz::Utf8CharCount(field->view());
  LogCut(static_cast<long>(cz::Utf8CharCount(text) - kept), what, static_cast<long>(kept));
}

// Character content of a child element; false when the child is missing.
template <std::size_t N>
bool ChildText(const xml_node& parent, const char* tag, cz::Text<N>* field, const char* what) {
  xml_node c = parent.child(tag);
  if (!c) return false;
  TakeFileText(c.text().get(), what, field);
  return true;
}

// The name of the record being read (already taken into its field, at most
// 255 characters of it read) against the whole "name" of the file.
void LogNameCut(const xml_node& el) {
  const std::size_t all = cz::Utf8CharCount(el.attribute("name").value());
  const std::size_t kept = cz::Utf8CharCount(g_recordName);
  if (all > kept) LogCut(static_cast<long>(all - kept), "characters of its name", static_cast<long>(kept));
}

// A path (a local file, or a file or folder on the instrument) is taken
// whole or not at all: cut, it would name another file. One too long for
// its field (the 8-bit names of a project written on another system grow
// as they become UTF-8) is logged with the record being read and counted;
// the field is emptied (a record's file: Generate and upload wait for a
// new one) or keeps its default (the header's instrument folders).
template <std::size_t N>
void TakePath(const char* text, const char* element, cz::Text<N>* field, bool keepDefault) {
  const std::string_view path = text != nullptr ? text : "";
  if (field->AssignExact(path)) return;
  if (!keepDefault) field->Clear();
  const std::string start(path.substr(0, cz::Utf8PrefixLength(path, 60)));
  Log_Message(1, cz::FormatC("*** %s '%s': %s '%s...' is too long (%zu bytes, at most %zu); %s.", g_recordKind,
                             g_recordName.c_str(), element, start.c_str(), path.size(), N - 1,
                             keepDefault ? "the default is kept" : "the field is left empty")
                     .c_str());
  ++LastProjectLoadReport.pathsRefused;
}
// A text that goes into a waveform file's tag (a sequence's comment and
// copyright) keeps braces only in pairs; an unpaired one of the file (an
// older version took it) becomes a parenthesis, logged with its record.
template <std::size_t N>
void ChildTagText(const xml_node& parent, const char* tag, const char* what, cz::Text<N>* field) {
  if (!ChildText(parent, tag, field, what)) return;
  std::size_t replaced = 0;
  const std::string paired = cz::WithPairedBraces(field->view(), &replaced);
  if (replaced == 0) return;
  field->Assign(paired);
  Log_Message(1, cz::FormatC("*** %s '%s': %s holds %zu unpaired brace(s); taken as parentheses.", g_recordKind,
                             g_recordName.c_str(), tag, replaced)
                     .c_str());
}
template <std::size_t N>
void ChildPath(const xml_node& parent, const char* tag, cz::Text<N>* field, bool keepDefault = false) {
  if (xml_node c = parent.child(tag)) TakePath(c.text().get(), tag, field, keepDefault);
}

// Index of a name made of `base` and a decimal number written the way the
// writer writes it ("val0", "val12"; not "val012" or "val+1"); -1 otherwise.
long NumberAfter(const char* name, std::string_view base) {
  if (std::strncmp(name, base.data(), base.size()) != 0) return -1;
  const char* d = name + base.size();
  if (*d < '0' || *d > '9' || (d[0] == '0' && d[1] != '\0')) return -1;
  long n = 0;
  for (; *d; ++d) {
    if (*d < '0' || *d > '9' || n > 100000000) return -1;
    n = n * 10 + (*d - '0');
  }
  return n;
}

// The texts of the attributes base<first>, base<first+1>, ... below
// first + max, gathered in one pass over the element so that lists of a
// million values load in linear time; a missing number is null. The first
// of two equal names counts, as a lookup by name would find it.
// Lists that long keep the window painted every kLiveValues values.
constexpr std::size_t kLiveValues = 65536;

std::vector<const char*> NumberedAttrs(const xml_node& e, std::string_view base, std::size_t max, long first = 0) {
  std::vector<const char*> texts;
  std::size_t seen = 0;
  for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute()) {
    if (++seen % kLiveValues == 0) KeepWindowLive();
    long n = NumberAfter(a.name(), base) - first;
    if (n < 0 || static_cast<std::size_t>(n) >= max) continue;
    std::size_t k = static_cast<std::size_t>(n);
    if (k >= texts.size()) texts.resize(k + 1, nullptr);
    if (texts[k] == nullptr) texts[k] = a.value();
  }
  return texts;
}

// The child elements tag<1>, tag<2>, ... up to max, likewise in one pass.
std::vector<xml_node> NumberedChildren(const xml_node& e, std::string_view tag, std::size_t max) {
  std::vector<xml_node> nodes;
  for (xml_node c = e.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    long n = NumberAfter(c.name(), tag) - 1;
    if (n < 0 || static_cast<std::size_t>(n) >= max) continue;
    std::size_t k = static_cast<std::size_t>(n);
    if (k >= nodes.size()) nodes.resize(k + 1);
    if (!nodes[k]) nodes[k] = c;
  }
  return nodes;
}

// How many of the leading entries exist before the first missing one.
template <typename T>
int LeadingCount(const std::vector<T>& v) {
  std::size_t n = 0;
  while (n < v.size() && v[n]) ++n;
  return static_cast<int>(n);
}

// Entries a record's table could not take: the children Entry<limit+1>,
// Entry<limit+2>, ... that follow on without a gap, each with the
// attributes the reader needs (attr2 may be null). Counted in one pass.
int EntriesBeyond(const xml_node& el, int limit, const char* attr1, const char* attr2 = nullptr) {
  std::vector<long> beyond;
  for (xml_node c = el.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    const long n = NumberAfter(c.name(), "Entry");
    if (n > limit && Has(c, attr1) && (attr2 == nullptr || Has(c, attr2))) beyond.push_back(n);
  }
  std::sort(beyond.begin(), beyond.end());
  beyond.erase(std::unique(beyond.begin(), beyond.end()), beyond.end());
  int run = 0;
  while (run < static_cast<int>(beyond.size()) && beyond[static_cast<std::size_t>(run)] == limit + 1L + run) ++run;
  return run;
}

// A record that keeps less than the file holds of it: logged with the
// record being read and what was cut, and counted, so that the project
// file is not saved over without a question.
void LogCut(long cut, const char* what, long limit) {
  const std::string line = cz::FormatC("*** %s '%s': %ld %s beyond the %ld it holds were not loaded.", g_recordKind,
                                       g_recordName.c_str(), cut, what, limit);
  Log_Message(1, line.c_str());
  ++LastProjectLoadReport.recordsCut;
  LastProjectLoadReport.cuts.push_back(line.substr(4));
}

// A value as XmlGetAttrReal converts it; a missing attribute gives 0.
double RealText(const char* text) { return text ? cz::StrtodC(text, nullptr) : 0.0; }

// The values of the numbered attributes base<k>; false, logged, when one
// of them is not a finite number: the list then keeps its default.
bool FiniteList(const xml_node& e, const char* base, const std::vector<const char*>& texts,
                std::vector<double>* values) {
  values->resize(std::max(values->size(), texts.size()));
  for (std::size_t k = 0; k < texts.size(); ++k) {
    if ((k + 1) % kLiveValues == 0) KeepWindowLive();
    const double v = RealText(texts[k]);
    if (!std::isfinite(v)) {
      LogNotFinite(e, cz::FormatC("%s%zu", base, k), texts[k], "the list is not loaded");
      return false;
    }
    (*values)[k] = v;
  }
  return true;
}

// ------------------------------------------------------------- record IDs

// The IDs a file gives the records of one table (IDs 1..slots). The first
// record of the file that carries an ID in range that no record holds
// keeps it; a record whose ID an earlier record holds, or whose ID is out
// of range, gets a free ID that no record of the file claims, so that the
// records after it keep theirs. A reference to a shared ID names the first
// record; a reference to an out-of-range ID follows its record when that
// record alone carries the ID.
class FileIds {
 public:
  explicit FileIds(int slots) : slots_(slots), claimed_(static_cast<std::size_t>(slots) + 1, false) {}

  bool InRange(long id) const { return id >= 1 && id <= slots_; }

  // First pass, in file order: a record's ID in the file; inUse when a
  // record present before the file (an import's project) holds it.
  void Note(long id, bool inUse) {
    if (!InRange(id))
      ++outOfRange_[id];
    else if (!inUse)
      claimed_[static_cast<std::size_t>(id)] = true;
  }

  // The smallest ID that no record read so far holds (taken) and no record
  // of the file claims; failing that, the smallest that none holds.
  template <typename Taken>
  uint32_t Fresh(Taken taken) const {
    for (int c = 1; c <= slots_; ++c)
      if (!claimed_[static_cast<std::size_t>(c)] && !taken(static_cast<uint32_t>(c))) return static_cast<uint32_t>(c);
    for (int c = 1; c <= slots_; ++c)
      if (!taken(static_cast<uint32_t>(c))) return static_cast<uint32_t>(c);
    return static_cast<uint32_t>(slots_) + 1;
  }

  // A reference of the file (a sequence entry's pulse, a segment's
  // sequence) names id: a record that gets a fresh ID does not take it, so
  // that a reference naming no record of the file never starts naming one.
  void Referenced(long id) {
    if (InRange(id)) claimed_[static_cast<std::size_t>(id)] = true;
  }

  // A record of the file that carried fileId now holds id.
  void Moved(long fileId, uint32_t id) {
    auto it = outOfRange_.find(fileId);
    if (it != outOfRange_.end() && it->second == 1) moved_[fileId] = id;
  }

  // The ID that a reference to fileId in the file names now.
  long Follow(long fileId) const {
    auto it = moved_.find(fileId);
    return it == moved_.end() ? fileId : static_cast<long>(it->second);
  }

 private:
  int slots_;
  std::vector<bool> claimed_;
  std::map<long, int> outOfRange_;
  std::map<long, uint32_t> moved_;
};

// The "id" attribute as a whole number, without narrowing (a value beyond
// the integer range stays out of range); false when it is missing.
bool FileId(const xml_node& el, long* id) {
  pugi::xml_attribute a = el.attribute("id");
  if (!a) return false;
  *id = cz::StrtolC(a.value(), nullptr, 10);
  return true;
}

// Notes as referenced every ID that the numbered entries ("Entry1", ...) of
// the records tagged tag in sec name in their attribute attr.
void NoteReferences(const xml_node& sec, const char* tag, const char* attr, int maxEntries, FileIds* ids) {
  for (xml_node el = sec.first_child(); el; el = el.next_sibling()) {
    if (el.type() != pugi::node_element || std::strcmp(el.name(), tag) != 0) continue;
    for (int n = 1; n <= maxEntries; ++n) {
      xml_node e = el.child(Numbered("Entry", n).c_str());
      if (!e || !Has(e, attr)) break;
      ids->Referenced(cz::StrtolC(e.attribute(attr).value(), nullptr, 10));
    }
  }
}

// The log lines of a record that could not keep its ID.
void LogNewId(const char* kind, const char* name, long fileId, bool inRange, uint32_t id) {
  Log_Message(1, cz::FormatC("*** %s ID %ld of '%s' is %s; the record gets ID %u.", kind, fileId, name,
                             inRange ? "held by another record" : "out of range", id)
                     .c_str());
}

// How many records a full table leaves out: the element children with the
// tag from el on. Pulses end at the first child of another tag, as their
// reader does; the other sections count every such child with a "name".
int RemainingRecords(xml_node el, const char* tag, bool needName) {
  int n = 0;
  for (; el; el = el.next_sibling()) {
    if (el.type() != pugi::node_element) continue;
    if (std::strcmp(el.name(), tag) != 0) {
      if (needName) continue;
      break;
    }
    if (!needName || Has(el, "name")) ++n;
  }
  return n;
}

// ------------------------------------------------------------------ header

void ReadHeader(const xml_node& sec) {
  ProjectHeader& h = g_Settings.Project;
  ReadingRecord("Project", sec.child("Name").text().get());
  ChildText(sec, "Name", &h.projectName, "characters of its name");
  ChildText(sec, "Editor", &h.author, "characters of its editor");
  ChildText(sec, "Date", &h.date, "characters of its date");
  ChildText(sec, "Version", &h.version, "characters of its version");
  if (xml_node e = sec.child("hide")) h.hideEntries = Int(e, "state");
  if (xml_node e = sec.child("wvgen")) {
    h.pepLevel = Int(e, "PEP");
    h.allowMarkers = Int(e, "Markers");
    h.swapIq = Int(e, "SwapIQ");
    h.removeSegments = Int(e, "RemMseg");
    h.noArbPreset = Int(e, "NoArbPres");
  }
  ReadingRecord("Project", h.projectName.view());
  ChildPath(sec, "PathWin", &h.pathWin, true);
  ChildPath(sec, "PathLin", &h.pathLin, true);
  if (xml_node e = sec.child("ViewMode")) g_Settings.ViewMode = Int(e, "Value");
}

// ------------------------------------------------------------------ pulses

// Reads one jitter block; false when its list could not be taken (which
// ends the jitter blocks of the pulse).
bool ReadJitter(const xml_node& e, JitterBlock* j) {
  j->enabled = Str(e, "state") == "on" ? 1 : 0;
  j->target = static_cast<uint8_t>(JitterParamFromKeyword(Str(e, "mode").c_str()));
  j->distribution = static_cast<uint8_t>(JitterDistFromKeyword(Str(e, "datamode").c_str()));
  switch (j->distribution) {
    case JDIST_RAMP:
      Real(e, "min", &j->p1);
      Real(e, "max", &j->p2);
      j->p3 = 0;
      break;
    case JDIST_STAIR:
      Real(e, "step", &j->p1);
      j->p2 = j->p3 = 0;
      break;
    case JDIST_WHITENOISE:
      Real(e, "min", &j->p1);
      Real(e, "max", &j->p2);
      Real(e, "step", &j->p3);
      break;
    case JDIST_GAUSSNOISE:
      Real(e, "loc", &j->p1);
      Real(e, "var", &j->p2);
      Real(e, "limit", &j->p3);
      break;
    case JDIST_SINE:
      Real(e, "amp", &j->p1);
      Real(e, "ofs", &j->p2);
      break;
    case JDIST_LIST:
    case JDIST_LFIX:
    case JDIST_SHAPE: {
      std::vector<const char*> texts = NumberedAttrs(e, "val", kJitterListMax);
      int n = LeadingCount(texts);
      texts.resize(static_cast<std::size_t>(n));
      std::vector<double> v;
      if (n > 0 && FiniteList(e, "val", texts, &v) && !j->values.Assign(std::move(v))) return false;
      break;
    }
    case JDIST_RULES: {
      std::vector<const char*> texts = NumberedAttrs(e, "val", kJitterListMax);
      int n = LeadingCount(texts);
      if (n > 0) {
        std::vector<JitterRule> r(static_cast<std::size_t>(n));
        for (std::size_t k = 0; k < r.size(); ++k) r[k] = texts[k];
        if (!j->rules.Assign(std::move(r))) return false;
      }
      break;
    }
    default:
      break;
  }
  IntIf(e, "cnt", &j->stairCount);
  return true;
}

void ReadEnvelope(const xml_node& e, PulseRecord* p) {
  p->customEnvelopeOn = Str(e, "state") == "on" ? 1 : 0;
  int32_t count = Int(e, "count");
  if (count <= 0) return;
  // The stated count holds: "val0" .. "val<count-1>" (and "val_0" ..
  // likewise for Q). A value the file lacks reads as 0, so that the points
  // after it keep their places; the gap is logged once per envelope.
  std::size_t n = static_cast<std::size_t>(count);
  if (n > kEnvelopeMaxPoints) {
    // No envelope is that long: a damaged count keeps the leading values
    // the file holds.
    Log_Message(1, "*** Envelope point count out of range.");
    n = static_cast<std::size_t>(LeadingCount(NumberedAttrs(e, "val", kEnvelopeMaxPoints)));
    if (n == 0) return;
  }
  bool missing = false, finite = true;
  const auto read = [&](const char* base) {
    std::vector<const char*> texts = NumberedAttrs(e, base, n);
    texts.resize(n, nullptr);
    for (const char* t : texts)
      if (t == nullptr) missing = true;
    std::vector<double> v(n);
    if (finite) finite = FiniteList(e, base, texts, &v);
    return v;
  };
  std::vector<double> values = read("val");
  const bool withQ = Int(e, "count_") > 0;
  std::vector<double> q = withQ ? read("val_") : std::vector<double>();
  if (!finite) return;
  if (withQ)
    p->envelope.SetIq(std::move(values), std::move(q));
  else
    p->envelope.SetLevels(std::move(values));
  if (missing)
    Log_Message(3, "*** Missing envelope values of pulse '", p->name.c_str(), "' read as 0.");
}

void ReadPulseBody(const xml_node& el, PulseRecord* p, int slot) {
  ChildText(el, "Comment", &p->comment, "characters of its comment");
  if (xml_node e = el.child("PreDelay")) Real(e, "time", &p->delay);
  if (xml_node e = el.child("RiseEdge")) {
    Real(e, "time", &p->riseTime);
    p->riseEdge = static_cast<uint8_t>(EdgeTypeFromKeyword(Str(e, "type").c_str()));
  }
  if (xml_node e = el.child("FallEdge")) {
    Real(e, "time", &p->fallTime);
    p->fallEdge = static_cast<uint8_t>(EdgeTypeFromKeyword(Str(e, "type").c_str()));
  }
  if (xml_node e = el.child("OnPeriod")) {
    Real(e, "time", &p->onTime);
    p->modulation = static_cast<int8_t>(ModulationFromKeyword(Str(e, "mod").c_str()));
    if (Has(e, "extname")) p->pluginName = Str(e, "extname");
  }
  if (xml_node e = el.child("Marker")) {
    static const char* const parts[kMarkerParts] = {"delay", "rise", "on", "fall", "off", "rstart"};
    for (int m = 0; m < kMarkers; ++m)
      for (int k = 0; k < kMarkerParts; ++k) p->markers[m][k] = Int(e, cz::FormatC("M%d%s", m + 1, parts[k]).c_str());
  }
  if (xml_node e = el.child("PRFMode")) p->prfMode = Int(e, "state");
  if (xml_node e = el.child("PRFPRI")) p->prfPri = static_cast<uint8_t>(Int(e, "state"));
  if (xml_node e = el.child("BlankPeriod")) Real(e, "time", &p->offTime);
  if (xml_node e = el.child("PRF")) Real(e, "freq", &p->prfValue);
  if (xml_node e = el.child("Level")) {
    Real(e, "AttOn", &p->attOn);
    Real(e, "AttOff", &p->attOff);
    Real(e, "droop", &p->droop);
  }
  if (xml_node e = el.child("Phase")) {
    Real(e, "val", &p->startPhase);
    p->relativePhase = Int(e, "continue");
  }
  if (xml_node e = el.child("AWGN")) {
    p->noiseOn = Int(e, "state");
    Real(e, "att", &p->noiseAtt);
    Real(e, "bw", &p->noiseBw);
  }
  if (xml_node e = el.child("PhaseNoise")) {
    p->phaseNoiseOn = Int(e, "state");
    for (int k = 1; k < kPhaseNoisePoints; ++k) {
      Real(e, Numbered("f", k).c_str(), &p->phaseNoiseFreq[k]);
      Real(e, Numbered("l", k).c_str(), &p->phaseNoiseLevel[k]);
    }
  }
  if (xml_node e = el.child("Frequency")) Real(e, "dev", &p->freqOffset);
  for (int j = 0; j < kJitterBlocks; ++j) {
    xml_node e = el.child(Numbered("Jitter", j + 1).c_str());
    if (!e || !ReadJitter(e, &p->jitter[j])) break;
  }
  for (int r = 0; r < kModDataRows; ++r) {
    xml_node e = el.child(Numbered("DSrc", r + 1).c_str());
    if (!e) continue;
    p->dataRows[r].kind = static_cast<uint8_t>(Int(e, "type"));
    p->dataRows[r].source = static_cast<int8_t>(Int(e, "srcid"));
    p->dataRows[r].bits = Int(e, "bits");
  }
  if (p->modulation != 0) {
    if (p->modulation == kModulationPlugin) {
      int module = FindModuleByName(p->pluginName.c_str());
      // The module's own description is only a check here: a pulse whose
      // plug-in cannot describe itself keeps the parameters stored with it.
      // The check fills the working table, which the Pulse Editor may be
      // showing for a pulse of the open project (an import): it gets its
      // rows back afterwards.
      if (module >= 0) {
        const std::vector<ModulationParamRow> shown(std::begin(ModulationParamTable), std::end(ModulationParamTable));
        if (!QueryPluginParams(module, slot)) Log_Message(1, "*** Error initializing paraameters from module data.");
        std::copy(shown.begin(), shown.end(), std::begin(ModulationParamTable));
      }
    }
    for (int k = 1; k <= kModParamEntries; ++k) {
      xml_node e = el.child(Numbered("PlugDat", k).c_str());
      if (!e) continue;
      std::string name = Str(e, "name");
      std::string type = Str(e, "type");
      if (name.empty() || type.empty()) break;
      std::string value = Str(e, "val");
      Log_Message(7, "                 - '", name.c_str(), "' (", type.c_str(), ") -> ", value.c_str(), " ");
      p->modParams.Set(k - 1, type, name, value);
    }
  }
  if (xml_node e = el.child("hide")) p->hidden = Int(e, "state");
  if (xml_node e = el.child("Env")) ReadEnvelope(e, p);
}

bool PulseIdTaken(const PulseRecord* pulses, int count, uint32_t id) {
  for (int k = 0; k < count; ++k)
    if (pulses[k].id == id) return true;
  return false;
}

// Pulses whose ID is held by an earlier pulse (of the file or, on import,
// of the project) or out of range get a free ID (see FileIds); sequence
// references follow through ids.
void ReadPulses(const xml_node& sec, PulseRecord* pulses, FileIds* ids) {
  const int first = PulseCount;
  for (xml_node el = sec.first_child(); el; el = el.next_sibling()) {
    if (el.type() != pugi::node_element) continue;
    if (std::strcmp(el.name(), "PULSE") != 0) break;
    long fileId = 0;
    if (!Str(el, "name").empty() && FileId(el, &fileId))
      ids->Note(fileId, PulseIdTaken(pulses, first, static_cast<uint32_t>(fileId)));
  }
  int slot = first;
  const auto taken = [&](uint32_t id) { return PulseIdTaken(pulses, slot, id); };
  for (xml_node el = sec.first_child(); el; el = el.next_sibling()) {
    if (el.type() != pugi::node_element) continue;
    if (std::strcmp(el.name(), "PULSE") != 0) break;
    if (slot >= kMaxPulses) {
      Log_Message(1, "*** Max. number of pulses in project exceeded.");
      LastProjectLoadReport.refused += RemainingRecords(el, "PULSE", false);
      break;
    }
    PulseRecord* p = &pulses[slot];
    PulseCount = slot;
    InitPulseRecord(p);
    std::string name = Str(el, "name");
    if (name.empty()) {
      // A pulse without a name is passed over; the ones after it still load.
      Log_Message(1, "*** Invalid pulse name.");
      ++LastProjectLoadReport.refused;
      continue;
    }
    p->name = name;
    long fileId = 0;
    if (!FileId(el, &fileId)) {
      p->id = ids->Fresh(taken);
    } else if (!ids->InRange(fileId) || taken(static_cast<uint32_t>(fileId))) {
      const bool inRange = ids->InRange(fileId);
      if (!inRange) Log_Message(1, "*** Invalid pulse ID.");
      p->id = ids->Fresh(taken);
      ids->Moved(fileId, p->id);
      LogNewId("Pulse", p->name.c_str(), fileId, inRange, p->id);
      ++LastProjectLoadReport.renumbered;
    } else {
      p->id = static_cast<uint32_t>(fileId);
    }
    Log_Message(2, " Pulse:         ", p->name.c_str());
    ReadingRecord("Pulse", p->name.c_str());
    LogNameCut(el);
    ReadPulseBody(el, p, slot);
    ++slot;
  }
  PulseCount = slot;
}

// --------------------------------------------------------------- sequences

void ReadSequenceEntries(const xml_node& el, SequenceRecord* s, const PulseRecord* pulses, const FileIds& pulseIds) {
  int next = 0;  // refused entries leave no gap
  for (int n = 1; n <= kMaxSequenceEntries; ++n) {
    xml_node e = el.child(Numbered("Entry", n).c_str());
    if (!e || !Has(e, "pid")) break;
    if (n == kMaxSequenceEntries)
      if (const int cut = EntriesBeyond(el, kMaxSequenceEntries, "pid")) LogCut(cut, "entries", kMaxSequenceEntries);
    SequenceEntry entry;
    long filePid = 0;
    XmlGetAttrLong(e, "pid", &filePid);
    const long followed = filePid >= 0 ? pulseIds.Follow(filePid) : filePid;
    const int32_t pid =
        followed > INT32_MAX ? INT32_MAX : (followed < INT32_MIN ? INT32_MIN : static_cast<int32_t>(followed));
    if (pid >= 0) {
      int32_t rep = Int(e, "rep");
      if (!PulseIdTaken(pulses, PulseCount, static_cast<uint32_t>(pid))) {
        Log_Message(1, "*** Invalid pulse ID found while reading sequence.");
        ++LastProjectLoadReport.entriesRefused;
        continue;
      }
      if (rep < 0) {
        Log_Message(1, "*** Invalid parameter range for sequence entries.");
        ++LastProjectLoadReport.entriesRefused;
        continue;
      }
      entry.pulseId = pid;
      entry.repetitions = rep;
      entry.markerMask = Int(e, "markers");
      entry.overlay = static_cast<uint8_t>(Int(e, "overlay"));
    } else if (pid == -1) {
      entry.fillerType = SyncTypeFromKeyword(Str(e, "type").c_str());
      entry.repetitions = 0;
      entry.markerMask = 0;
      Real(e, "val", &entry.fillerTime);
    } else {
      Log_Message(1, "*** Invalid pulse ID found while reading sequence.");
      ++LastProjectLoadReport.entriesRefused;
      continue;
    }
    entry.jitterMode[0] = static_cast<uint8_t>(JitterModeFromKeyword(Str(e, "jitmode").c_str()));
    entry.jitterMode[1] = static_cast<uint8_t>(JitterModeFromKeyword(Str(e, "jitmode2").c_str()));
    entry.jitterMode[2] = static_cast<uint8_t>(JitterModeFromKeyword(Str(e, "jitmode3").c_str()));
    entry.jitterMode[3] = static_cast<uint8_t>(JitterModeFromKeyword(Str(e, "jitmode4").c_str()));
    s->entries[next++] = entry;
  }
}

void ReadSequenceBody(const xml_node& el, SequenceRecord* s, const PulseRecord* pulses, const FileIds& pulseIds) {
  static const char* const columns[kReportColumns] = {
      "RTD", "RTR", "RTOn", "RTF", "RTOff", "RTP", "RGF", "RGP", "RGLOn",
      "RGLOff", "RGD", "RRN", "RRC", "RMN", "RCD", "RTS", "RFIL", "RSE"};
  ChildTagText(el, "Comment", "characters of its comment", &s->comment);
  ChildTagText(el, "Copyright", "characters of its copyright", &s->copyright);
  ReadSequenceEntries(el, s, pulses, pulseIds);
  ChildPath(el, "WvFile", &s->waveFile);
  if (xml_node e = el.child("ARB")) Real(e, "clock", &s->clock);
  if (xml_node e = el.child("hide")) s->hidden = Int(e, "state");
  if (xml_node e = el.child("Filter")) {
    s->filterOn = Int(e, "state");
    Real(e, "f", &s->cutoff);
    Real(e, "alpha", &s->alpha);
    Real(e, "ovs", &s->oversampling);
    s->window = WindowFromKeyword(Str(e, "window").c_str());
    s->filterType = FilterFromKeyword(Str(e, "filter").c_str());
    s->userOversampling = Int(e, "usrovs");
    s->userComment = Str(e, "usrcmt");
    if (Has(e, "usrlen")) {
      int32_t len = Int(e, "usrlen");
      if (len < 0) len = 0;
      if (len > static_cast<int32_t>(kMaxUserFilterLength)) {
        LogCut(len - static_cast<long>(kMaxUserFilterLength), "user filter coefficients",
               static_cast<long>(kMaxUserFilterLength));
        len = static_cast<int32_t>(kMaxUserFilterLength);
      }
      std::vector<double> i(static_cast<std::size_t>(len)), q(static_cast<std::size_t>(len));
      std::vector<const char*> itexts = NumberedAttrs(e, "i", i.size());
      std::vector<const char*> qtexts = NumberedAttrs(e, "q", q.size());
      if (FiniteList(e, "i", itexts, &i) && FiniteList(e, "q", qtexts, &q)) s->userFilter.Set(std::move(i), std::move(q));
    }
  }
  if (xml_node e = el.child("report")) {
    s->reportOn = Int(e, "state");
    TakePath(e.attribute("RepFile").value(), "RepFile", &s->reportFile, false);
    s->reportPlugin = Str(e, "RepPlugin");
    for (int c = 0; c < kReportColumns; ++c) s->reportColumns[c] = Int(e, columns[c]);
  }
}

// The element children of a section with the expected tag and a "name";
// anything else is passed over, so that no slot is left holding a default
// or an earlier project's record.
template <typename Fn>
void ForEachRecord(const xml_node& sec, const char* tag, int max, const char* fullText, Fn read) {
  int slot = 0;
  for (xml_node el = sec.first_child(); el; el = el.next_sibling()) {
    if (el.type() != pugi::node_element) continue;
    if (std::strcmp(el.name(), tag) != 0 || !Has(el, "name")) continue;
    if (slot >= max) {
      Log_Message(1, fullText);
      LastProjectLoadReport.refused += RemainingRecords(el, tag, true);
      break;
    }
    if (read(el, slot)) ++slot;
  }
}

// Sequences whose ID an earlier sequence holds or that is out of range get
// a free ID (see FileIds); multi-segment references follow through ids.
void ReadSequences(const xml_node& sec, SequenceRecord* sequences, const PulseRecord* pulses,
                   const FileIds& pulseIds, FileIds* ids) {
  SequenceCount = 0;
  for (xml_node el = sec.first_child(); el; el = el.next_sibling()) {
    long fileId = 0;
    if (el.type() == pugi::node_element && std::strcmp(el.name(), "SEQUENCE") == 0 && Has(el, "name") &&
        FileId(el, &fileId))
      ids->Note(fileId, false);
  }
  const auto taken = [](uint32_t id) { return FindSequenceById(id) >= 0; };
  ForEachRecord(sec, "SEQUENCE", kMaxSequences, "*** Max. number of sequences in project exceeded.",
                [&](const xml_node& el, int slot) {
                  SequenceRecord* s = &sequences[slot];
                  SequenceCount = slot;
                  InitSequenceRecord(s);
                  s->name = Str(el, "name");
                  long fileId = 0;
                  if (!FileId(el, &fileId)) {
                    s->id = ids->Fresh(taken);
                  } else if (!ids->InRange(fileId) || taken(static_cast<uint32_t>(fileId))) {
                    Log_Message(1, "*** Invalid sequence ID.");
                    s->id = ids->Fresh(taken);
                    ids->Moved(fileId, s->id);
                    LogNewId("Sequence", s->name.c_str(), fileId, ids->InRange(fileId), s->id);
                    ++LastProjectLoadReport.renumbered;
                  } else {
                    s->id = static_cast<uint32_t>(fileId);
                  }
                  Log_Message(2, " Sequence:      ", s->name.c_str());
                  ReadingRecord("Sequence", s->name.c_str());
                  LogNameCut(el);
                  ReadSequenceBody(el, s, pulses, pulseIds);
                  SequenceCount = slot + 1;
                  return true;
                });
}

// --------------------------------------------- multi-segment, RF lists, data

void ReadMultiSegments(const xml_node& sec, const FileIds& sequenceIds) {
  MultiSegmentCount = 0;
  ForEachRecord(sec, "MSEG", kMaxMultiSegments,
                "*** Max. number of multi segment waveforms in project exceeded.",
                [&](const xml_node& el, int slot) {
                  MultiSegmentRecord* m = &MultiSegmentTable[slot];
                  InitMultiSegmentRecord(m);
                  m->id = static_cast<uint32_t>(slot + 1);
                  m->name = Str(el, "name");
                  Log_Message(2, " Multi-Segment: ", m->name.c_str());
                  ReadingRecord("Multi-segment waveform", m->name.c_str());
                  LogNameCut(el);
                  for (int n = 1; n <= kMaxSegments; ++n) {
                    xml_node e = el.child(Numbered("Entry", n).c_str());
                    if (!e || !Has(e, "sid")) break;
                    if (n == kMaxSegments)
                      if (const int cut = EntriesBeyond(el, kMaxSegments, "sid")) LogCut(cut, "segments", kMaxSegments);
                    MultiSegmentEntry& seg = m->segments[n - 1];
                    long sid = 0;
                    XmlGetAttrLong(e, "sid", &sid);
                    sid = sequenceIds.Follow(sid);
                    seg.sequenceId = sid > INT32_MAX || sid < INT32_MIN ? -1 : static_cast<int32_t>(sid);
                    seg.type = Int(e, "stype");
                    if (seg.type == SEGMENT_SEQUENCE && FindSequenceById(static_cast<uint32_t>(seg.sequenceId)) < 0) {
                      Log_Message(1, "*** Invalid sequence ID found while reading multi segment waveform.");
                      seg.type = SEGMENT_UNKNOWN;
                    }
                    if (seg.type != SEGMENT_SEQUENCE) seg.sequenceId = 0;
                    seg.repetition = Has(e, "rep") ? Str(e, "rep") : std::string("1");
                    Real(e, "ststop", &seg.stopTime);
                  }
                  ChildText(el, "Comment", &m->comment, "characters of its comment");
                  ChildPath(el, "MsFiles", &m->targetName);
                  if (xml_node e = el.child("ARB")) {
                    m->clockMode = Int(e, "clkmode");
                    Real(e, "clock", &m->clock);
                    m->levelMode = Int(e, "levmode");
                  }
                  if (xml_node e = el.child("TRIGGER")) {
                    m->triggerMode = Int(e, "mode");
                    m->extTriggerMode = Int(e, "extmode");
                    m->triggerSource = Int(e, "source");
                  }
                  if (xml_node e = el.child("DELAY")) Real(e, "samples", &m->delay);
                  if (xml_node e = el.child("BB")) m->bbPath = Int(e, "path");
                  m->sequencerMode = 0;
                  m->nextSegment = 1;
                  if (xml_node e = el.child("SEQUENCER")) {
                    IntIf(e, "mode", &m->sequencerMode);
                    IntIf(e, "lastseg", &m->nextSegment);
                  }
                  MultiSegmentCount = slot + 1;
                  return true;
                });
}

// Points in use that the RF list table would not take are kept as stored
// (nothing of the file is lost) and said so once per list; the upload
// refuses the list while it holds them.
void LogPointsOutsideRange(const RfListRecord& r) {
  const std::vector<int> outside = RfListPointsOutsideRange(r.points);
  if (outside.empty()) return;
  const std::string more =
      outside.size() > 1 ? cz::FormatC(" (and %zu more entries outside their ranges)", outside.size() - 1) : "";
  Log_Message(1, cz::FormatC("*** RF list '%s': entry %d %s%s; kept as stored, the list is not sent to an "
                             "instrument until it is changed.",
                             r.name.c_str(), outside[0] + 1, RfListPointOutsideRange(r.points.Get(outside[0])).c_str(),
                             more.c_str())
                     .c_str());
}

void ReadRfLists(const xml_node& sec) {
  RfListCount = 0;
  ForEachRecord(sec, "RFLIST", kMaxRfLists, "*** Max. number of RF Lists in project exceeded.",
                [&](const xml_node& el, int slot) {
                  RfListRecord* r = &RfListTable[slot];
                  InitRfListRecord(r);
                  r->id = static_cast<uint32_t>(slot + 1);
                  r->name = Str(el, "name");
                  Log_Message(2, " RF List:       ", r->name.c_str());
                  ReadingRecord("RF list", r->name.c_str());
                  LogNameCut(el);
                  std::vector<xml_node> entries = NumberedChildren(el, "Entry", kMaxRfListPoints);
                  std::vector<std::pair<double, double>> points;
                  for (std::size_t n = 0; n < entries.size(); ++n) {
                    const xml_node& e = entries[n];
                    if (!e || !Has(e, "f") || !Has(e, "l")) break;
                    const char* f = e.attribute("f").value();
                    const char* l = e.attribute("l").value();
                    const double fv = RealText(f), lv = RealText(l);
                    if (!std::isfinite(fv) || !std::isfinite(lv)) {
                      LogNotFinite(e, std::isfinite(fv) ? "l" : "f", std::isfinite(fv) ? l : f,
                                   "the list is not loaded");
                      points.clear();  // the list keeps its default: no points
                      break;
                    }
                    points.emplace_back(fv, lv);
                  }
                  if (points.size() == static_cast<std::size_t>(kMaxRfListPoints))
                    if (const int cut = EntriesBeyond(el, kMaxRfListPoints, "f", "l"))
                      LogCut(cut, "points", kMaxRfListPoints);
                  for (std::size_t n = 0; n < points.size(); ++n)
                    r->points.Set(static_cast<int>(n), points[n].first, points[n].second);
                  LogPointsOutsideRange(*r);
                  ChildText(el, "Comment", &r->comment, "characters of its comment");
                  ChildPath(el, "RfFile", &r->remoteFile);
                  if (xml_node e = el.child("Settings")) {
                    Real(e, "dwell", &r->dwell);
                    r->length = Int(e, "length");
                    Real(e, "min", &r->min);
                    Real(e, "max", &r->max);
                    Real(e, "min2", &r->min2);
                    Real(e, "max2", &r->max2);
                    Real(e, "step", &r->step);
                    Real(e, "step2", &r->step2);
                    Real(e, "limmin", &r->limMin);
                    Real(e, "limmax", &r->limMax);
                    Real(e, "limmin2", &r->limMin2);
                    Real(e, "limmax2", &r->limMax2);
                    r->mode = Int(e, "dtype");
                    r->mode2 = Int(e, "dtype2");
                    r->activate = Int(e, "activate");
                    r->path = Int(e, "path");
                  }
                  RfListCount = slot + 1;
                  return true;
                });
}

void ReadDataSources(const xml_node& sec) {
  DataSourceCount = 0;
  ForEachRecord(sec, "DATASRC", kMaxDataSources, "*** Max. number of data sources in project exceeded.",
                [&](const xml_node& el, int slot) {
                  DataSourceRecord* d = &DataSourceTable[slot];
                  *d = DataSourceRecord();
                  d->id = static_cast<uint32_t>(slot + 1);
                  d->name = Str(el, "name");
                  Log_Message(2, " Data Source:   ", d->name.c_str());
                  ReadingRecord("Data source", d->name.c_str());
                  LogNameCut(el);
                  ChildText(el, "Comment", &d->comment, "characters of its comment");
                  if (ChildText(el, "data", &d->data, nullptr)) {
                    const std::size_t held = std::strlen(el.child("data").text().get());
                    if (held > d->data.size())
                      LogCut(static_cast<long>(held - d->data.size()), "characters of its bit text",
                             static_cast<long>(kDataTextSize - 1));
                  }
                  DataSourceCount = slot + 1;
                  return true;
                });
}

// The memory pugixml parses a large project into: one region made before
// the parse, its pages touched piece by piece with the window painted in
// between. The parse of tens of megabytes runs in one call that cannot
// pump, and most of its time is the first touch of the fresh pages it
// takes (tenfold on some machines); from the pool it only fills them. The
// pool serves pugixml's allocations while it is installed (the parse and
// the document's life) and falls back to malloc when used up.
struct PoolRegion {
  char* base = nullptr;
  std::size_t size = 0, used = 0;
};
PoolRegion g_pool;

class ParsePool {
 public:
  static constexpr std::size_t kTouchPiece = 4u << 20;  // bytes touched between two pumps
  static constexpr std::size_t kSmallFile = 1u << 20;   // smaller files parse without a pool

  explicit ParsePool(std::size_t fileBytes) {
    savedAllocate_ = pugi::get_memory_allocation_function();
    savedDeallocate_ = pugi::get_memory_deallocation_function();
    if (fileBytes < kSmallFile) return;
    // pugixml keeps about 40 bytes per attribute of about 27 characters.
    const std::size_t size = 2 * fileBytes + kTouchPiece;
    void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return;
    for (std::size_t at = 0; at < size; at += kTouchPiece) {
      std::memset(static_cast<char*>(base) + at, 0, std::min(kTouchPiece, size - at));
      KeepWindowLive();
    }
    g_pool = PoolRegion{static_cast<char*>(base), size, 0};
    pugi::set_memory_management_functions(&Allocate, &Deallocate);
  }
  // After the document is gone (declare the pool before it).
  ~ParsePool() {
    pugi::set_memory_management_functions(savedAllocate_, savedDeallocate_);
    if (g_pool.base != nullptr) ::munmap(g_pool.base, g_pool.size);
    g_pool = PoolRegion{};
  }
  ParsePool(const ParsePool&) = delete;
  ParsePool& operator=(const ParsePool&) = delete;

 private:
  static void* Allocate(std::size_t bytes) {
    const std::size_t rounded = (bytes + 15) & ~static_cast<std::size_t>(15);  // malloc's alignment
    if (g_pool.base == nullptr || rounded > g_pool.size - g_pool.used) return std::malloc(bytes);
    void* p = g_pool.base + g_pool.used;
    g_pool.used += rounded;
    return p;
  }
  // Pool memory goes with the pool; anything else back to malloc.
  static void Deallocate(void* p) {
    const char* c = static_cast<const char*>(p);
    if (g_pool.base != nullptr && c >= g_pool.base && c < g_pool.base + g_pool.size) return;
    std::free(p);
  }

  pugi::allocation_function savedAllocate_ = nullptr;
  pugi::deallocation_function savedDeallocate_ = nullptr;
};

// The whole file; false when it cannot be opened or read.
bool ReadProjectBytes(const std::string& hostPath, std::string* bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(hostPath.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  // One allocation of the file's size: no copies of a large file as the
  // text grows.
  struct stat st {};
  if (fstat(fileno(file.get()), &st) == 0 && st.st_size > 0) bytes->reserve(static_cast<std::size_t>(st.st_size));
  char block[65536];
  std::size_t n = 0;
  for (std::size_t blocks = 1; (n = std::fread(block, 1, sizeof block, file.get())) > 0; ++blocks) {
    bytes->append(block, n);
    if (blocks % 16 == 0) KeepWindowLive();
  }
  return std::ferror(file.get()) == 0;
}

// The file's text and the document built from it are gone once the tables
// are read: at the end of the load their memory goes back to the system,
// which the allocator would otherwise keep for the process (a project of
// hundreds of megabytes, of which the tables keep a few). Declared before
// them, it runs after they are released, also on a failed load.
struct ReturnMemoryAtEnd {
  ReturnMemoryAtEnd() = default;
  ReturnMemoryAtEnd(const ReturnMemoryAtEnd&) = delete;
  ReturnMemoryAtEnd& operator=(const ReturnMemoryAtEnd&) = delete;
  ~ReturnMemoryAtEnd() { malloc_trim(0); }
};

}  // namespace

ProjectLoadReport LastProjectLoadReport;

int XmlGetAttrLong(const pugi::xml_node& element, const char* name, long* out) {
  *out = 0;
  pugi::xml_attribute a = element.attribute(name);
  if (!a) return 0;
  *out = cz::StrtolC(a.value(), nullptr, 10);
  return 1;
}

int XmlGetAttrReal(const pugi::xml_node& element, const char* name, double* out) {
  *out = 0.0;
  pugi::xml_attribute a = element.attribute(name);
  if (!a) return 0;
  *out = cz::StrtodC(a.value(), nullptr);
  return 1;
}

int XmlGetAttrInt(const pugi::xml_node& element, const char* name, int32_t* out) {
  *out = 0;
  pugi::xml_attribute a = element.attribute(name);
  if (!a) return 0;
  // A number beyond int32 reads as 0, the value of an unreadable one,
  // rather than wrapping into the range (where it could pass as an ID).
  errno = 0;
  const long v = cz::StrtolC(a.value(), nullptr, 10);
  if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return 1;
  *out = static_cast<int32_t>(v);
  return 1;
}

int XmlGetAttrByte(const pugi::xml_node& element, const char* name, uint8_t* out) {
  int32_t v = 0;
  int found = XmlGetAttrInt(element, name, &v);
  *out = static_cast<uint8_t>(v & 0xFF);
  return found;
}

int XmlGetAttrString(const pugi::xml_node& element, const char* name, char* out) {
  out[0] = '\0';
  pugi::xml_attribute a = element.attribute(name);
  if (!a) return 0;
  cz::CopyText(out, kAttrText, a.value());
  return 1;
}

int32_t LoadProject(PulseRecord* pulses, SequenceRecord* sequences, const char* path, int32_t importMode) {
  LastProjectLoadReport = ProjectLoadReport();
  if (pulses == nullptr || sequences == nullptr || path == nullptr) return 0;
  bool import = importMode != 0;
  // The file as it is opened, with this host's separators.
  const std::string hostPath = cz::HostPath(path);
  if (import) {
    Log_Message(3, "Importing pulses from file '", hostPath.c_str(), "'");
  } else {
    Log_Message(3, "Loading project file '", hostPath.c_str(), "'");
    ClearProject();
  }

  const ReturnMemoryAtEnd returnMemory;
  // The document's texts point into bytes, and its memory is the pool's:
  // both go after the document.
  std::string bytes;
  const bool read = ReadProjectBytes(hostPath, &bytes);
  const ParsePool pool(bytes.size());
  pugi::xml_document doc;
  pugi::xml_parse_result parsed;
  if (read) {
    // Texts are kept in UTF-8: a file written by older tools declaring
    // ISO-8859-1 (or holding undeclared 8-bit texts) is converted first.
    std::string declared;
    const cz::XmlTextSource source = cz::XmlTextToUtf8(&bytes, &declared);
    if (source == cz::XmlTextSource::kNotUtf8)
      Log_Message(3, "** Project file '", hostPath.c_str(), "' is not UTF-8: its texts are read as Windows-1252.");
    KeepWindowLive();
    parsed = doc.load_buffer_inplace(bytes.data(), bytes.size(), kParseFlags,
                                     source == cz::XmlTextSource::kWide ? pugi::encoding_auto : pugi::encoding_utf8);
    KeepWindowLive();
  }
  if (!parsed) {
    Log_Message(1, "*** Failed to open project file.");
    return 0;
  }
  xml_node root = doc.document_element();
  if (!root) {
    Log_Message(1, "*** Failed to get root element.");
    return 0;
  }
  if (std::strcmp(root.name(), "TV_CZ_DB") != 0) {
    Log_Message(1, "*** Invalid root element.");
    return 0;
  }

  FileIds pulseIds(kMaxPulses), sequenceIds(kMaxSequences);
  if (!import) {
    NoteReferences(root.child("SEQUENCE_DB"), "SEQUENCE", "pid", kMaxSequenceEntries, &pulseIds);
    NoteReferences(root.child("MULTISEG_DB"), "MSEG", "sid", kMaxSegments, &sequenceIds);
  }
  if (!import)
    if (xml_node sec = root.child("PROJECT")) ReadHeader(sec);
  const int firstPulse = PulseCount;
  if (xml_node sec = root.child("PULSE_DB")) ReadPulses(sec, pulses, &pulseIds);
  if (import) ImportPulseDataSources(root, pulses, firstPulse);
  if (!import) {
    if (xml_node sec = root.child("SEQUENCE_DB")) ReadSequences(sec, sequences, pulses, pulseIds, &sequenceIds);
    if (xml_node sec = root.child("MULTISEG_DB")) ReadMultiSegments(sec, sequenceIds);
    if (xml_node sec = root.child("RFLIST_DB")) ReadRfLists(sec);
    if (xml_node sec = root.child("DATASRC_DB")) ReadDataSources(sec);
  }
  doc.reset();
  std::string().swap(bytes);

  // An import only adds pulses: it neither writes a backup nor retitles
  // the window.
  if (!import) {
    std::string backup = std::string(path) + ".bak";
    // An example of the installed program is read as it is: its folder
    // takes no backup copy.
    if (cz::InsideInstallFolders(cz::HostPath(backup)))
      Log_Message(5, "No backup copy of '", path, "' is written: ", cz::kInstallFolderReason, ".");
    else
      SaveProjectBackup(pulses, sequences, backup.c_str());
    SetProjectWindowTitle(path);
  }
  return 1;
}
