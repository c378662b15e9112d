// Saving the project file.
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "app/DataSource.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "app/ProjectFile.h"
#include "app/Settings.h"
#include "app/XmlWriter.h"
#include "editors/DataSourceEditor.h"
#include "platform/CLocale.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "platform/ui/UserInterface.h"

namespace {

// Decimals of the saved reals: "%12.11f" for pulse times, the PRF value,
// jitter and envelope values, "%f" for the rest.
constexpr int kTimeDecimals = 11;
constexpr int kRealDecimals = 6;

const char* const kReportColumnNames[kReportColumns] = {
    "RTD", "RTR", "RTOn", "RTF", "RTOff", "RTP", "RGF", "RGP", "RGLOn",
    "RGLOff", "RGD", "RRN", "RRC", "RMN", "RCD", "RTS", "RFIL", "RSE"};

const char* const kMarkerPartNames[kMarkerParts] = {"delay", "rise", "on", "fall", "off", "rstart"};

// The writer with the project's number formats.
// Every kLiveValues values the window is kept painted: a project of tens
// of megabytes (a million-point envelope) takes a good part of a second to
// form.
class ProjectOut : public XmlWriter {
 public:
  void Int(const char* name, long long v) { Value(name, cz::FormatC("%lld", v)); }
  void Real(const char* name, double v) { Value(name, FormatProjectReal(kRealDecimals, Finite(name, v))); }
  void Time(const char* name, double v) { Value(name, FormatProjectReal(kTimeDecimals, Finite(name, v))); }
  void Text(const char* name, std::string_view v) { Value(name, v); }
  // A numbered attribute name such as "val12".
  static std::string Name(const char* base, int n) { return cz::FormatC("%s%d", base, n); }

  // "nan" and "inf" are no numbers a load takes: such a value (which the
  // checks where values enter should have kept out) is saved as 0, counted
  // for one log line after the save.
  double Finite(const char* name, double v) {
    if (std::isfinite(v)) return v;
    if (nonFinite++ == 0) firstNonFinite = name;
    return 0.0;
  }
  int nonFinite = 0;
  std::string firstNonFinite;

 private:
  static constexpr int kLiveValues = 16384;
  void Value(const char* name, std::string_view text) {
    Attr(name, text);
    if (++values_ % kLiveValues == 0) KeepWindowLive();
  }
  long long values_ = 0;
};

void WriteHeader(ProjectOut& x) {
  const ProjectHeader& h = g_Settings.Project;
  x.Open("PROJECT");
  x.Open("Inf");
  x.Int("Vmaj", 1);
  x.Int("Vmin", 1);
  x.Close();
  x.TextElement("Name", h.projectName.view());
  x.TextElement("Editor", h.author.view());
  x.TextElement("Date", h.date.view());
  x.TextElement("Version", h.version.view());
  x.Open("hide");
  x.Int("state", h.hideEntries);
  x.Close();
  x.Open("wvgen");
  x.Int("PEP", h.pepLevel);
  x.Int("Markers", h.allowMarkers);
  x.Int("SwapIQ", h.swapIq);
  x.Int("RemMseg", h.removeSegments);
  x.Int("NoArbPres", h.noArbPreset);
  x.Close();
  x.TextElement("PathWin", h.pathWin.view());
  x.TextElement("PathLin", h.pathLin.view());
  x.Open("ViewMode");
  x.Int("Value", g_Settings.ViewMode);
  x.Close();
  x.Close();
}

void WriteJitter(ProjectOut& x, const JitterBlock& j, int n) {
  x.Open(ProjectOut::Name("Jitter", n));
  x.Text("state", j.enabled ? "on" : "off");
  x.Text("mode", JitterParamToKeyword(j.target));
  x.Text("datamode", JitterDistToKeyword(j.distribution));
  switch (j.distribution) {
    case JDIST_LIST:
    case JDIST_LFIX:
    case JDIST_SHAPE:
      for (int32_t k = 0; k < j.values.count(); ++k) x.Time(ProjectOut::Name("val", k).c_str(), j.values[k]);
      break;
    case JDIST_RULES:
      for (int32_t k = 0; k < j.rules.count(); ++k) x.Text(ProjectOut::Name("val", k).c_str(), j.rules[k].view());
      break;
    case JDIST_WHITENOISE:
      x.Time("min", j.p1);
      x.Time("max", j.p2);
      x.Time("step", j.p3);
      break;
    case JDIST_GAUSSNOISE:
      x.Time("loc", j.p1);
      x.Time("var", j.p2);
      x.Time("limit", j.p3);
      break;
    case JDIST_RAMP:
      x.Time("min", j.p1);
      x.Time("max", j.p2);
      break;
    case JDIST_STAIR:
      x.Time("step", j.p1);
      break;
    case JDIST_SINE:
      // Amplitude and offset under names of their own; older files have none
      // and load with both at 0.
      x.Time("amp", j.p1);
      x.Time("ofs", j.p2);
      break;
    default:
      break;
  }
  x.Int("cnt", j.stairCount);
  x.Close();
}

void WritePulse(ProjectOut& x, const PulseRecord& p) {
  x.Open("PULSE");
  x.Text("name", p.name.view());
  x.Int("id", p.id);
  x.TextElement("Comment", p.comment.view());
  x.Open("PreDelay");
  x.Time("time", p.delay);
  x.Close();
  x.Open("RiseEdge");
  x.Time("time", p.riseTime);
  x.Text("type", EdgeTypeToKeyword(p.riseEdge));
  x.Close();
  x.Open("FallEdge");
  x.Time("time", p.fallTime);
  x.Text("type", EdgeTypeToKeyword(p.fallEdge));
  x.Close();
  x.Open("OnPeriod");
  x.Time("time", p.onTime);
  x.Text("mod", ModulationToKeyword(p.modulation));
  if (p.modulation == kModulationPlugin) x.Text("extname", p.pluginName.view());
  x.Close();
  x.Open("Marker");
  for (int m = 0; m < kMarkers; ++m)
    for (int part = 0; part < kMarkerParts; ++part)
      x.Int(cz::FormatC("M%d%s", m + 1, kMarkerPartNames[part]).c_str(), p.markers[m][part]);
  x.Close();
  x.Open("PRFMode");
  x.Int("state", p.prfMode);
  x.Close();
  x.Open("PRFPRI");
  x.Int("state", p.prfPri);
  x.Close();
  x.Open("BlankPeriod");
  x.Time("time", p.offTime);
  x.Close();
  x.Open("PRF");
  x.Time("freq", p.prfValue);
  x.Close();
  x.Open("Level");
  x.Real("AttOn", p.attOn);
  x.Real("AttOff", p.attOff);
  x.Real("droop", p.droop);
  x.Close();
  x.Open("Phase");
  x.Real("val", p.startPhase);
  x.Int("continue", p.relativePhase);
  x.Close();
  x.Open("AWGN");
  x.Int("state", p.noiseOn);
  x.Real("att", p.noiseAtt);
  x.Real("bw", p.noiseBw);
  x.Close();
  x.Open("PhaseNoise");
  x.Int("state", p.phaseNoiseOn);
  for (int k = 1; k < kPhaseNoisePoints; ++k) x.Real(ProjectOut::Name("f", k).c_str(), p.phaseNoiseFreq[k]);
  for (int k = 1; k < kPhaseNoisePoints; ++k) x.Real(ProjectOut::Name("l", k).c_str(), p.phaseNoiseLevel[k]);
  x.Close();
  x.Open("Frequency");
  x.Real("dev", p.freqOffset);
  x.Close();
  for (int j = 0; j < kJitterBlocks; ++j) WriteJitter(x, p.jitter[j], j + 1);
  for (int r = 0; r < kModDataRows; ++r) {
    x.Open(ProjectOut::Name("DSrc", r + 1));
    x.Int("type", p.dataRows[r].kind);
    x.Int("srcid", p.dataRows[r].source);
    x.Int("bits", p.dataRows[r].bits);
    x.Close();
  }
  if (p.modulation != 0) {
    for (int k = 0; k < kModParamEntries; ++k) {
      const ModulationParamEntry& e = p.modParams[k];
      if (e.IsFree()) break;
      x.Open(ProjectOut::Name("PlugDat", k + 1));
      x.Text("name", e.name.view());
      x.Text("type", e.type.view());
      x.Text("val", e.value.view());
      x.Close();
    }
  }
  x.Open("hide");
  x.Int("state", p.hidden);
  x.Close();
  x.Open("Env");
  x.Text("state", p.customEnvelopeOn ? "on" : "off");
  const PulseEnvelope& env = p.envelope;
  x.Int("count", env.Count());
  for (int32_t k = 0; k < env.Count(); ++k) x.Time(ProjectOut::Name("val", k).c_str(), env.Values()[k]);
  x.Int("count_", env.HasQ() ? env.Count() : 0);
  if (env.HasQ())
    for (int32_t k = 0; k < env.Count(); ++k) x.Time(ProjectOut::Name("val_", k).c_str(), env.QValues()[k]);
  x.Close();
  x.Close();
}

void WriteSequence(ProjectOut& x, const SequenceRecord& s) {
  x.Open("SEQUENCE");
  x.Text("name", s.name.view());
  x.Int("id", s.id);
  x.TextElement("Comment", s.comment.view());
  x.TextElement("Copyright", s.copyright.view());
  int used = s.EntriesInUse();
  for (int i = 0; i < used && i < kMaxSequenceEntries; ++i) {
    const SequenceEntry& e = s.entries[i];
    x.Open(ProjectOut::Name("Entry", i + 1));
    x.Int("pid", e.pulseId);
    if (e.IsPulse()) {
      x.Int("rep", e.repetitions);
      x.Int("markers", e.markerMask);
      x.Int("overlay", e.overlay);
    } else {
      x.Text("type", SyncTypeToKeyword(e.fillerType));
      x.Real("val", e.fillerTime);
    }
    x.Text("jitmode", JitterModeToKeyword(e.jitterMode[0]));
    x.Text("jitmode2", JitterModeToKeyword(e.jitterMode[1]));
    x.Text("jitmode3", JitterModeToKeyword(e.jitterMode[2]));
    x.Text("jitmode4", JitterModeToKeyword(e.jitterMode[3]));
    x.Close();
  }
  x.TextElement("WvFile", s.waveFile.view());
  x.Open("ARB");
  x.Real("clock", s.clock);
  x.Close();
  x.Open("hide");
  x.Int("state", s.hidden);
  x.Close();
  x.Open("Filter");
  x.Int("state", s.filterOn);
  x.Real("f", s.cutoff);
  x.Real("alpha", s.alpha);
  x.Real("ovs", s.oversampling);
  x.Text("window", WindowToKeyword(s.window));
  x.Text("filter", FilterToKeyword(s.filterType));
  x.Int("usrlen", s.userFilter.Length());
  x.Int("usrovs", s.userOversampling);
  x.Text("usrcmt", s.userComment.view());
  for (int32_t k = 0; k < s.userFilter.Length(); ++k) {
    x.Real(ProjectOut::Name("i", k).c_str(), s.userFilter.I()[k]);
    x.Real(ProjectOut::Name("q", k).c_str(), s.userFilter.Q()[k]);
  }
  x.Close();
  x.Open("report");
  x.Int("state", s.reportOn);
  x.Text("RepFile", s.reportFile.view());
  x.Text("RepPlugin", s.reportPlugin.view());
  for (int c = 0; c < kReportColumns; ++c) x.Int(kReportColumnNames[c], s.reportColumns[c]);
  x.Close();
  x.Close();
}

void WriteMultiSegment(ProjectOut& x, const MultiSegmentRecord& m) {
  x.Open("MSEG");
  x.Text("name", m.name.view());
  int used = m.SegmentsInUse();
  for (int i = 0; i < used && i < kMaxSegments; ++i) {
    const MultiSegmentEntry& e = m.segments[i];
    x.Open(ProjectOut::Name("Entry", i + 1));
    x.Int("sid", e.sequenceId);
    x.Text("rep", e.repetition.view());
    x.Int("stype", e.type);
    x.Real("ststop", e.stopTime);
    x.Close();
  }
  x.TextElement("Comment", m.comment.view());
  x.TextElement("MsFiles", m.targetName.view());
  x.Open("ARB");
  x.Int("clkmode", m.clockMode);
  x.Real("clock", m.clock);
  x.Int("levmode", m.levelMode);
  x.Close();
  x.Open("TRIGGER");
  x.Int("mode", m.triggerMode);
  x.Int("extmode", m.extTriggerMode);
  x.Int("source", m.triggerSource);
  x.Close();
  x.Open("DELAY");
  x.Real("samples", m.delay);
  x.Close();
  x.Open("BB");
  x.Int("path", m.bbPath);
  x.Close();
  x.Open("SEQUENCER");
  x.Int("mode", m.sequencerMode);
  x.Int("lastseg", m.nextSegment);
  x.Close();
  x.Close();
}

void WriteRfList(ProjectOut& x, const RfListRecord& r) {
  x.Open("RFLIST");
  x.Text("name", r.name.view());
  int used = r.points.InUse();
  for (int i = 0; i < used; ++i) {
    RfListPoint pt = r.points.Get(i);
    x.Open(ProjectOut::Name("Entry", i + 1));
    x.Real("f", pt.frequency);
    x.Real("l", pt.level);
    x.Close();
  }
  x.TextElement("Comment", r.comment.view());
  x.TextElement("RfFile", r.remoteFile.view());
  x.Open("Settings");
  x.Real("dwell", r.dwell);
  x.Int("length", r.length);
  x.Real("min", r.min);
  x.Real("max", r.max);
  x.Real("min2", r.min2);
  x.Real("max2", r.max2);
  x.Real("step", r.step);
  x.Real("step2", r.step2);
  x.Real("limmin", r.limMin);
  x.Real("limmax", r.limMax);
  x.Real("limmin2", r.limMin2);
  x.Real("limmax2", r.limMax2);
  x.Int("dtype", r.mode);
  x.Int("dtype2", r.mode2);
  x.Int("activate", r.activate);
  x.Int("path", r.path);
  x.Close();
  x.Close();
}

void WriteDataSource(ProjectOut& x, const DataSourceRecord& d) {
  x.Open("DATASRC");
  x.Text("name", d.name.view());
  x.TextElement("Comment", d.comment.view());
  x.TextElement("data", d.data.view());
  x.Close();
}

// Gives the data sources the IDs 1..n in table order, which is how a load
// numbers them, and moves every User data row of the pulses along. A row
// naming no source gets 0, which names none after the load either. True
// when an ID changed.
bool RenumberDataSources(PulseRecord* pulses) {
  int newId[kMaxDataSources + 2] = {0};  // old ID -> new ID
  for (int k = 0; k < DataSourceCount; ++k) {
    uint32_t old = DataSourceTable[k].id;
    if (old >= 1 && old <= kMaxDataSources && newId[old] == 0) newId[old] = k + 1;
  }
  for (int p = 0; p < PulseCount; ++p) {
    for (ModulationDataRow& row : pulses[p].dataRows) {
      if (row.kind != DSRC_USER) continue;
      int old = row.source;
      row.source = static_cast<int8_t>(old >= 1 && old <= kMaxDataSources ? newId[old] : 0);
    }
  }
  bool changed = false;
  for (int k = 0; k < DataSourceCount; ++k) {
    changed = changed || DataSourceTable[k].id != static_cast<uint32_t>(k + 1);
    DataSourceTable[k].id = static_cast<uint32_t>(k + 1);
  }
  return changed;
}

}  // namespace

// Sets "Torvane Q7 Cadenza (<file name>)" on the main window, when it exists.
void SetProjectWindowTitle(const char* path) {
  if (PANEL_MAIN <= 0 || path == nullptr) return;
  std::string title = cz::FormatC("%s (%s)", "Torvane Q7 Cadenza", cz::BaseName(path).c_str());
  SetPanelAttribute(PANEL_MAIN, ATTR_TITLE, title.c_str());
}

std::string FormatProjectReal(int decimals, double value) {
  // std::to_chars prints exactly what printf's "%.*f" and "%.*g" print in
  // the C locale, several times faster, which a million-point envelope
  // notices. "%12.11f" pads no finite value: its text has at least 13
  // characters.
  char buf[400];
  auto print = [&](std::chars_format form, int precision) {
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, value, form, precision).ptr);
  };
  auto readsBack = [&](const std::string& text) {
    double back = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    return ec == std::errc() && end == text.data() + text.size() && back == value;
  };
  // "inf" and "nan" are padded to the width.
  if (!std::isfinite(value)) return cz::FormatC(decimals == kTimeDecimals ? "%12.11f" : "%f", value);
  std::string text = print(std::chars_format::fixed, decimals);
  if (readsBack(text)) return text;
  // The shortest of 15, 16, 17 significant digits that reads back exactly.
  return cz::ShortestRealC(value);
}

namespace {

std::string g_saveFailure;  // see LastProjectSaveFailure

// Writes the project to path; backup names the copy written after a load in
// the failure's log line, so that the user knows the project itself is
// untouched.
int32_t WriteProject(PulseRecord* pulses, SequenceRecord* sequences, const char* path, bool backup) {
  if (!backup) g_saveFailure.clear();
  if (pulses == nullptr || sequences == nullptr || path == nullptr) return 0;
  // The file as it is written, with this host's separators.
  const std::string hostPath = cz::HostPath(path);
  Log_Message(3, "Saving project file '", hostPath.c_str(), "'");
  // The Data Source Editor's tree items carry the IDs: an open editor is
  // rebuilt, so that a click, an edit or Delete reaches the source shown,
  // and its fields keep writing into the source they show.
  const DataSourceRecord* shown = ShownDataSource();
  if (RenumberDataSources(pulses)) {
    KeepShownDataSource(shown);
    RebuildDataSourceTree();
  }

  ProjectOut x;
  // An envelope value takes about 30 bytes ("val123456="0.12345678901""):
  // room for them all, so that the text never moves as it grows.
  std::size_t values = 0;
  for (int p = 0; p < PulseCount; ++p) values += static_cast<std::size_t>(pulses[p].envelope.Count()) * (pulses[p].envelope.HasQ() ? 2 : 1);
  x.Reserve((1u << 20) + 32 * values);
  x.Open("TV_CZ_DB");
  WriteHeader(x);
  x.Open("PULSE_DB");
  for (int p = 0; p < PulseCount; ++p) WritePulse(x, pulses[p]);
  x.Close();
  x.Open("SEQUENCE_DB");
  for (int s = 0; s < SequenceCount; ++s) WriteSequence(x, sequences[s]);
  x.Close();
  x.Open("MULTISEG_DB");
  for (int m = 0; m < MultiSegmentCount; ++m) WriteMultiSegment(x, MultiSegmentTable[m]);
  x.Close();
  x.Open("RFLIST_DB");
  for (int r = 0; r < RfListCount; ++r) WriteRfList(x, RfListTable[r]);
  x.Close();
  x.Open("DATASRC_DB");
  for (int d = 0; d < DataSourceCount; ++d) WriteDataSource(x, DataSourceTable[d]);
  x.Close();
  x.Close();

  // The bytes reach the disk before the rename: a crash leaves the old file
  // or the new one, never a half-written one.
  std::string reason;
  if (!cz::ReplaceFileContents(hostPath, x.str(), &reason, nullptr, &KeepWindowLive)) {
    if (backup) {
      Log_Message(5, "*** Failed to save the backup copy '", hostPath.c_str(), "' of the project: ", reason.c_str(), ".");
    } else {
      Log_Message(1, "*** Failed to save project file.");
      Log_Message(5, "*** '", hostPath.c_str(), "': ", reason.c_str(), ".");
      g_saveFailure = cz::FormatC("'%s': %s.", hostPath.c_str(), reason.c_str());
    }
    return 0;
  }
  if (x.nonFinite > 0)
    Log_Message(1, cz::FormatC("*** %d values that were not finite numbers were saved as 0 (the first one: '%s').",
                               x.nonFinite, x.firstNonFinite.c_str())
                       .c_str());
  if (!backup) SetProjectWindowTitle(path);
  return 1;
}

}  // namespace

int32_t SaveProject(PulseRecord* pulses, SequenceRecord* sequences, const char* path) {
  return WriteProject(pulses, sequences, path, false);
}

int32_t SaveProjectBackup(PulseRecord* pulses, SequenceRecord* sequences, const char* path) {
  return WriteProject(pulses, sequences, path, true);
}

const char* LastProjectSaveFailure() { return g_saveFailure.c_str(); }
