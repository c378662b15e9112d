// cadenza-demo FILE.prj: builds the demo project in the record tables
// and saves it with the program's project writer. The project: a plain
// pulse, a linear FM chirp and a Barker-13 BPSK pulse; two sequences; a
// multi-segment waveform of both; an RF list stepping 1 to 2 GHz.
#include <cstdio>
#include <string>

#include "app/DataSource.h"
#include "app/Keywords.h"
#include "app/ProjectFile.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "platform/ProgramInfo.h"

namespace {

constexpr int kBarker13Pattern = 9;  // built-in pattern "Barker R13"

PulseRecord& NewPulse(const char* name, const char* comment) {
  PulseRecord& p = PulseTable[PulseCount];
  InitPulseRecord(&p);
  ++PulseCount;
  p.name = name;
  p.comment = comment;
  p.riseTime = 50e-9;
  p.fallTime = 50e-9;
  p.riseEdge = 1;  // raised cosine
  p.fallEdge = 1;
  return p;
}

void BuildPulses() {
  PulseRecord& plain = NewPulse("Plain 10us", "Unmodulated pulse, 10 us on, 1 kHz PRF");
  plain.onTime = 10e-6;
  plain.prfMode = 1;
  plain.prfPri = 0;
  plain.prfValue = 1000.0;

  PulseRecord& chirp = NewPulse("Chirp 20us", "Linear FM chirp over 2 MHz, ramp up");
  chirp.onTime = 20e-6;
  chirp.offTime = 80e-6;
  chirp.modulation = MOD_FMCHIRP;
  chirp.modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "2.000000");
  chirp.modParams.Set(1, "LIST", "Ramp Type", "0");

  PulseRecord& barker = NewPulse("Barker 13", "BPSK phase code, Barker 13, 1 us chips");
  barker.onTime = 13e-6;
  barker.offTime = 87e-6;
  barker.modulation = MOD_BARKER;
  barker.dataRows[0] = ModulationDataRow{DSRC_PATTERN, kBarker13Pattern, 13};
  barker.modParams.Set(0, "LIST", "Type", "0");
  barker.modParams.Set(1, "DOUBLE", "Phase [deg]", "180.00");
  barker.modParams.Set(2, "DOUBLE", "Transition [%]", "10.0");
  barker.modParams.Set(3, "LIST", "Trans. Shape", "0");
  barker.modParams.Set(4, "LIST", "Coding", "0");
}

SequenceRecord& NewSequence(const char* name, const char* comment, const char* file) {
  SequenceRecord& s = SequenceTable[SequenceCount];
  InitSequenceRecord(&s);
  ++SequenceCount;
  s.name = name;
  s.comment = comment;
  s.waveFile = file;
  s.clock = 100e6;
  return s;
}

void BuildSequences() {
  SequenceRecord& search = NewSequence("Search", "Plain pulses, then chirps", "Waveforms\\Search.wv");
  search.entries[0].pulseId = PulseTable[0].id;
  search.entries[0].repetitions = 4;
  search.entries[1].pulseId = PulseTable[1].id;
  search.entries[1].repetitions = 8;

  SequenceRecord& track = NewSequence("Track", "Barker pulses with a blank gap", "Waveforms\\Track.wv");
  track.entries[0].pulseId = PulseTable[2].id;
  track.entries[0].repetitions = 10;
  track.entries[1].fillerType = 0;  // blank filler
  track.entries[1].fillerTime = 1.5e-3;
  track.entries[2].pulseId = PulseTable[1].id;
  track.entries[2].repetitions = 2;
}

void BuildMultiSegment() {
  MultiSegmentRecord& m = MultiSegmentTable[MultiSegmentCount];
  InitMultiSegmentRecord(&m);
  ++MultiSegmentCount;
  m.name = "Search and Track";
  m.comment = "Both sequences as segments";
  m.targetName = "SearchTrack";
  m.segments[0].type = SEGMENT_SEQUENCE;
  m.segments[0].sequenceId = static_cast<int32_t>(SequenceTable[0].id);
  m.segments[0].repetition = "1";
  m.segments[1].type = SEGMENT_SEQUENCE;
  m.segments[1].sequenceId = static_cast<int32_t>(SequenceTable[1].id);
  m.segments[1].repetition = "3";
}

void BuildRfList() {
  RfListRecord& r = RfListTable[RfListCount];
  InitRfListRecord(&r);
  ++RfListCount;
  r.name = "L band steps";
  r.comment = "1.0 to 2.0 GHz in 100 MHz steps at -20 dBm";
  r.dwell = 10.0;
  for (int i = 0; i <= 10; ++i) r.points.Set(i, 1.0 + 0.1 * i, -20.0);
}

// The help text; its layout is the one the manual page is made from
// (cmake/manpage.py).
constexpr const char* kUsage =
    "usage: cadenza-demo FILE.prj\n"
    "       cadenza-demo --help | --version\n"
    "\n"
    "Writes Cadenza's demo project (examples/demo/Projects/Demo.prj) to FILE.prj\n"
    "through the program's own records and project writer, replacing the file.\n"
    "\n"
    "Options:\n"
    "  -h, --help          print this help and exit, writing nothing\n"
    "  --version           print the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0                   the project was written (or help or version shown)\n"
    "  1                   the file could not be written\n"
    "  2                   a refused command line, named on standard error\n";

// A refused command line: the reason, then the usage, on standard error.
int Refuse(const std::string& why) {
  std::fprintf(stderr, "cadenza-demo: %s\n%s", why.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (cz::AnswerHelpOrVersion(argc, argv, "cadenza-demo", kUsage)) return 0;
  // An option is never taken as the file to write ("./-x.prj" is a file).
  for (int i = 1; i < argc; ++i)
    if (cz::LooksLikeOption(argv[i])) return Refuse(std::string("unknown option '") + argv[i] + "'");
  if (argc != 2) return Refuse(argc < 2 ? "missing the project file" : "one project file only");
  ResetProject();
  ProjectHeader& h = g_Settings.Project;
  h.projectName = "Cadenza demo";
  h.author = "Cadenza";
  h.date = "2014-09-29";
  h.version = "1.0";
  BuildPulses();
  BuildSequences();
  BuildMultiSegment();
  BuildRfList();
  if (!SaveProject(PulseTable, SequenceTable, argv[1])) {
    std::fprintf(stderr, "cadenza-demo: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
