// The simulated instrument's multi-segment waveforms: the segment
// configuration (selected file, level and clock mode, clock, output file,
// comment, segment list), the sequencer list, the assembly into the output
// waveform, and per path the segment sequencing and its triggers.
//
// The configuration and sequencer files are written as text when the
// waveform is put together, one line per setting, segment or list entry; the
// output waveform holds a "{MSW:<n>}" line followed by the segment files in
// list order.
#include <cmath>
#include <cstdlib>

#include "platform/CLocale.h"
#include "tools/cadenza-sim/SimInternal.h"

namespace cz::sim {

namespace {

constexpr int kMaxSequenceCount = 65535;

bool OneOf(const std::string& v, std::initializer_list<const char*> keywords) {
  for (const char* k : keywords)
    if (v == k) return true;
  return false;
}

// A whole number in the range, else false.
bool WholeNumber(const std::string& text, long low, long high, long* value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

}  // namespace

SimMswPath& SimInstrument::MswPathOf(Context& c) { return msw_.paths[c.suffix == 2 ? 1 : 0]; }

SimMswState SimInstrument::MultiSegment() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return msw_;
}

// ---- segment configuration ---------------------------------------------------------

// Selecting a configuration starts a new segment list.
void SimInstrument::CmdMswConfSelect(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (!fs_->IsDir(SimFileSystem::Parent(key)) || fs_->IsDir(key)) return QueueError(kErrNotFound);
  const SimMswPath paths[2] = {msw_.paths[0], msw_.paths[1]};
  const int assembled = msw_.assembled;
  msw_ = SimMswState();
  msw_.paths[0] = paths[0];
  msw_.paths[1] = paths[1];
  msw_.assembled = assembled;
  msw_.configFile = key;
}

void SimInstrument::CmdMswSeqSelect(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (!fs_->IsDir(SimFileSystem::Parent(key)) || fs_->IsDir(key)) return QueueError(kErrNotFound);
  msw_.sequencerFile = key;
  msw_.sequence.clear();
}

void SimInstrument::CmdMswLevelMode(Context& c) {
  const std::string v = SimUpper(c.args);
  if (!OneOf(v, {"UNCH", "UNCHANGED", "ERMS"})) return QueueError(kErrIllegal);
  msw_.levelMode = v == "UNCHANGED" ? "UNCH" : v;
}

void SimInstrument::CmdMswClockMode(Context& c) {
  const std::string v = SimUpper(c.args);
  if (!OneOf(v, {"UNCH", "UNCHANGED", "HIGH", "HIGHEST", "USER"})) return QueueError(kErrIllegal);
  msw_.clockMode = v.substr(0, 4);
}

void SimInstrument::CmdMswClock(Context& c) {
  double hz = 0.0;
  if (!SimParseFrequency(c.args, &hz)) return QueueError(kErrIllegal);
  if (hz < 400.0 || hz > 600e6) return QueueError(kErrRange);
  msw_.clockHz = hz;
}

void SimInstrument::CmdMswOutputFile(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (!fs_->IsDir(SimFileSystem::Parent(key)) || fs_->IsDir(key)) return QueueError(kErrNotFound);
  msw_.outputFile = key;
}

void SimInstrument::CmdMswComment(Context& c) {
  std::string text;
  if (!SimFirstParam(c.args, &text)) text.clear();
  msw_.comment = text;
}

void SimInstrument::CmdMswSegmentAppend(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (msw_.configFile.empty()) return QueueError(kErrConflict);
  if (!fs_->IsFile(key)) return QueueError(kErrNotFound);
  msw_.segments.push_back(key);
}

// "ON|OFF,<segment>,<count>,NEXT|ENDLESS|BLANK".
void SimInstrument::CmdMswSeqAppend(Context& c) {
  std::string state, segment, count, next, rest = c.args;
  if (!SimFirstParam(rest, &state, &rest) || !SimFirstParam(rest, &segment, &rest) ||
      !SimFirstParam(rest, &count, &rest) || !SimFirstParam(rest, &next, &rest))
    return QueueError(kErrMissing);
  if (msw_.sequencerFile.empty()) return QueueError(kErrConflict);
  SimMswSequenceEntry e;
  state = SimUpper(state);
  next = SimUpper(next);
  long seg = 0, n = 0;
  if (!OneOf(state, {"ON", "OFF"}) || !OneOf(next, {"NEXT", "ENDLESS", "BLANK"})) return QueueError(kErrIllegal);
  if (!WholeNumber(segment, 0, static_cast<long>(msw_.segments.size()) - 1, &seg) ||
      !WholeNumber(count, 0, kMaxSequenceCount, &n))
    return QueueError(kErrRange);
  e.on = state == "ON";
  e.segment = static_cast<int>(seg);
  e.count = static_cast<int>(n);
  e.next = next;
  msw_.sequence.push_back(e);
}

// Puts the waveform together: writes the configuration, the sequencer list
// and the output file, and loads the output file into the path's ARB.
void SimInstrument::CmdMswCreate(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (key != msw_.configFile || msw_.outputFile.empty() || msw_.segments.empty()) return QueueError(kErrConflict);
  std::string conf = "LEVEL " + msw_.levelMode + "\nCLOCK MODE " + msw_.clockMode +
                     FormatC("\nCLOCK %.15g\n", msw_.clockHz) + "COMMENT " + msw_.comment + "\nOUTPUT " +
                     SimFileSystem::Display(msw_.outputFile) + "\n";
  std::string output = FormatC("{MSW:%zu}\n", msw_.segments.size());
  for (const std::string& seg : msw_.segments) {
    const std::string* data = fs_->ReadFile(seg);
    if (data == nullptr) return QueueError(kErrNotFound);
    conf += "SEGMENT " + SimFileSystem::Display(seg) + "\n";
    output += *data;
  }
  fs_->WriteFile(msw_.configFile, std::move(conf));
  if (!msw_.sequencerFile.empty()) {
    std::string list;
    for (const SimMswSequenceEntry& e : msw_.sequence)
      list += FormatC("%s,%d,%d,%s\n", e.on ? "ON" : "OFF", e.segment, e.count, e.next.c_str());
    fs_->WriteFile(msw_.sequencerFile, std::move(list));
  }
  fs_->WriteFile(msw_.outputFile, std::move(output));
  SimPathState& p = PathOf(c);
  p.arbWaveform = msw_.outputFile;
  p.sineCreated = false;
  msw_.progress = 100;
  ++msw_.assembled;
}

void SimInstrument::CmdMswProgressQuery(Context& c) {
  c.reply = FormatC("%d", msw_.progress);
  c.hasReply = true;
}

// ---- segment sequencing and triggers ------------------------------------------------

void SimInstrument::CmdMswSequenceMode(Context& c) {
  const std::string v = SimUpper(c.args);
  if (!OneOf(v, {"AUTO", "SING", "RETR", "AAUT", "ARET"})) return QueueError(kErrIllegal);
  MswPathOf(c).sequence = v;
}

void SimInstrument::CmdMswSegmentMode(Context& c) {
  const std::string v = SimUpper(c.args);
  if (!OneOf(v, {"SAME", "NEXT", "NSEAM", "SEQUENCER"})) return QueueError(kErrIllegal);
  MswPathOf(c).segmentMode = v;
}

void SimInstrument::CmdMswTrigSource(Context& c) {
  const std::string v = SimUpper(c.args);
  if (!OneOf(v, {"INT", "EXT", "BEXT", "OBAS"})) return QueueError(kErrIllegal);
  MswPathOf(c).source = v;
}

void SimInstrument::CmdMswNext(Context& c) {
  long v = 0;
  if (!WholeNumber(c.args, 0, 2048, &v)) return QueueError(kErrIllegal);
  MswPathOf(c).nextSegment = static_cast<int>(v);
}

void SimInstrument::CmdMswArm(Context& c) { ++MswPathOf(c).armed; }

void SimInstrument::CmdMswDelay(Context& c) {
  char* end = nullptr;
  const double v = cz::StrtodC(c.args.c_str(), &end);
  if (end == c.args.c_str() || !std::isfinite(v)) return QueueError(kErrIllegal);
  if (v < 0.0 || v > 65535.0) return QueueError(kErrRange);
  MswPathOf(c).delaySamples = v;
}

// "RUN" while the ARB plays: on and either in AUTO or triggered.
void SimInstrument::CmdMswRunModeQuery(Context& c) {
  const SimMswPath& m = MswPathOf(c);
  c.reply = PathOf(c).arbState && (m.sequence == "AUTO" || m.triggered > 0) ? "RUN" : "STOP";
  c.hasReply = true;
}

// A trigger switches to the next segment.
void SimInstrument::CmdMswTrigger(Context& c) {
  SimMswPath& m = MswPathOf(c);
  ++m.triggered;
  m.currentSegment = m.nextSegment;
}

void SimInstrument::CmdMswSegmentQuery(Context& c) {
  c.reply = FormatC("%d", MswPathOf(c).currentSegment);
  c.hasReply = true;
}

}  // namespace cz::sim
