// The project file: layout and number formats, byte-identical round trips,
// the C locale, and the reader's handling of damaged and hostile files.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/DataSource.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "platform/CLocale.h"
#include "tests/support/LogLines.h"
#include "tests/support/Mutate.h"
#include "tests/support/TempDir.h"

using cz::test::ReadFileBytes;
using cz::test::TempDir;
using cz::test::WriteFileBytes;

namespace {

using cz::test::KeepLogLine;
using cz::test::LogLines;
using cz::test::LogLinesWith;

PulseRecord& NewPulse(const char* name) {
  PulseRecord& p = PulseTable[PulseCount];
  InitPulseRecord(&p);
  p.name = name;
  ++PulseCount;
  return p;
}

SequenceRecord& NewSequence(const char* name) {
  SequenceRecord& s = SequenceTable[SequenceCount];
  InitSequenceRecord(&s);
  s.name = name;
  ++SequenceCount;
  return s;
}

// A project that exercises every kind of record and list.
void BuildFullProject() {
  ClearProject();
  DataSourceCount = 0;
  g_Settings.Project.projectName = "Full & <project>";
  g_Settings.Project.author = "A \"quoted\" author";
  g_Settings.Project.date = "2026-12-09";
  g_Settings.ViewMode = 2;

  PulseRecord& a = NewPulse("plain");
  a.comment = "line one\r\nline two\ttab";
  a.riseTime = 50e-9;
  a.riseEdge = 1;
  a.fallTime = 20e-9;
  a.envelope.SetIq({0.0, 0.5, 1.0, 0.25}, {0.0, -0.5, 0.1, 1e-12});
  a.customEnvelopeOn = 1;
  a.jitter[0].enabled = 1;
  a.jitter[0].distribution = 5;  // list
  a.jitter[0].values.Assign(std::vector<double>{1e-6, 2e-6, 3.5e-6});
  a.jitter[1].enabled = 1;
  a.jitter[1].distribution = 8;  // rules
  a.jitter[1].rules.Assign(std::vector<JitterRule>{JitterRule("rand(1,2,3)"), JitterRule("stagger(1e-6,2e-6)")});
  a.jitter[2].distribution = 1;  // gaussnoise
  a.jitter[2].p1 = 1e-7;
  a.jitter[2].p2 = 2e-8;
  a.jitter[2].p3 = 3;
  a.jitter[3].distribution = 3;  // sine
  a.jitter[3].p1 = 0.5;
  a.jitter[3].p2 = 0.25;
  a.dataRows[0] = {DSRC_USER, 2, 13};
  a.dataRows[1] = {DSRC_PATTERN, 9, 13};

  PulseRecord& b = NewPulse("chirp");
  b.modulation = 2;
  b.modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "20.000000");
  b.modParams.Set(1, "LIST", "Ramp Type", "1");

  PulseRecord& c = NewPulse("plugin");
  c.modulation = 100;
  c.pluginName = "Skywhisk";
  c.modParams.Set(0, "DOUBLE", "Gain", "1.5");

  SequenceRecord& s = NewSequence("seq128");
  for (int i = 0; i < kMaxSequenceEntries; ++i) {
    SequenceEntry& e = s.entries[i];
    if (i % 3 == 2) {
      e.fillerType = 1;
      e.fillerTime = 1.5e-9 * i;
    } else {
      e.pulseId = static_cast<int32_t>(PulseTable[i % 2].id);
      e.repetitions = i + 1;
      e.markerMask = 5;
      e.overlay = static_cast<uint8_t>(i % 3);
      e.jitterMode[0] = 2;
    }
  }
  s.filterOn = 1;
  s.filterType = 9;
  s.userFilter.Set({0.5, 3e-8, -0.25}, {0.0, 1.0, 2.0});
  s.userOversampling = 2;
  s.reportOn = 1;
  s.reportPlugin = "Fennick";
  for (int k = 0; k < kReportColumns; ++k) s.reportColumns[k] = k % 2;
  NewSequence("second");

  MultiSegmentRecord& m = MultiSegmentTable[0];
  InitMultiSegmentRecord(&m);
  m.name = "msw";
  for (int i = 0; i < kMaxSegments; ++i) {
    m.segments[i].sequenceId = i % 2 ? 0 : 1;
    m.segments[i].type = i % 2 ? SEGMENT_BLANK : SEGMENT_SEQUENCE;
    m.segments[i].repetition = "rand(1,4)";
    m.segments[i].stopTime = 1e-3;
  }
  MultiSegmentCount = 1;

  RfListRecord& r = RfListTable[0];
  InitRfListRecord(&r);
  r.name = "sweep";
  for (int i = 0; i < kMaxRfListPoints; ++i) r.points.Set(i, 1.0 + i * 1e-4, -10.0 - i % 50);
  RfListCount = 1;

  for (const char* name : {"A", "B"}) {
    DataSourceRecord& d = DataSourceTable[DataSourceCount];
    InitDataSource(&d);
    d.name = name;
    d.data = "1011 #F0";
    ++DataSourceCount;
  }
}

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogLines().clear();
    Log_SetLogSink(KeepLogLine);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    ClearProject();
    DataSourceCount = 0;
  }
  std::string Save(const std::string& name) {
    std::string path = dir.File(name);
    EXPECT_EQ(SaveProject(PulseTable, SequenceTable, path.c_str()), 1);
    return ReadFileBytes(path);
  }
  TempDir dir;
};

}  // namespace

TEST_F(ProjectFileTest, EmptyProjectHasAllSixSections) {
  ClearProject();
  DataSourceCount = 0;
  InitProjectHeader(&g_Settings.Project);
  g_Settings.ViewMode = 3;
  std::string bytes = Save("empty.prj");
  EXPECT_EQ(bytes,
            "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PROJECT>\r\n<Inf Vmaj=\"1\" Vmin=\"1\"/>\r\n"
            "<Name/>\r\n<Editor/>\r\n<Date/>\r\n<Version/>\r\n<hide state=\"0\"/>\r\n"
            "<wvgen PEP=\"1\" Markers=\"1\" SwapIQ=\"0\" RemMseg=\"1\" NoArbPres=\"0\"/>\r\n"
            "<PathWin>D:\\</PathWin>\r\n<PathLin>/hdd/</PathLin>\r\n<ViewMode Value=\"3\"/>\r\n"
            "</PROJECT>\r\n<PULSE_DB/>\r\n<SEQUENCE_DB/>\r\n<MULTISEG_DB/>\r\n<RFLIST_DB/>\r\n"
            "<DATASRC_DB/>\r\n</TV_CZ_DB>\r\n");
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("empty.prj").c_str(), 0), 1);
  EXPECT_EQ(PulseCount, 0);
  EXPECT_EQ(SequenceCount, 0);
  EXPECT_TRUE(cz::test::FileExists(dir.File("empty.prj.bak")));
}

TEST_F(ProjectFileTest, FullProjectRoundTripsByteForByte) {
  BuildFullProject();
  std::string first = Save("full.prj");
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("full.prj").c_str(), 0), 1);
  ASSERT_EQ(PulseCount, 3);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_EQ(SequenceTable[0].EntriesInUse(), 128);
  EXPECT_EQ(MultiSegmentTable[0].SegmentsInUse(), 64);
  EXPECT_EQ(RfListTable[0].points.InUse(), 10000);
  EXPECT_EQ(PulseTable[0].envelope.Count(), 4);
  EXPECT_TRUE(PulseTable[0].envelope.HasQ());
  EXPECT_EQ(PulseTable[0].envelope.QValues()[3], 1e-12);
  EXPECT_EQ(PulseTable[0].comment, "line one\r\nline two\ttab");
  EXPECT_EQ(PulseTable[0].jitter[1].rules.count(), 2);
  EXPECT_EQ(PulseTable[0].jitter[3].p1, 0.5);  // sine parameters survive too
  EXPECT_EQ(PulseTable[2].pluginName, "Skywhisk");
  EXPECT_EQ(PulseTable[2].modParams[0].value, "1.5");
  EXPECT_EQ(SequenceTable[0].entries[2].fillerTime, 3e-9);  // not rounded by "%f"
  EXPECT_EQ(SequenceTable[0].userFilter.I()[1], 3e-8);
  EXPECT_EQ(SequenceTable[0].reportPlugin, "Fennick");
  EXPECT_EQ(g_Settings.Project.projectName, "Full & <project>");
  EXPECT_EQ(g_Settings.ViewMode, 2);
  EXPECT_EQ(DataSourceCount, 2);

  std::string second = Save("again.prj");
  EXPECT_EQ(first, second);
  EXPECT_EQ(ReadFileBytes(dir.File("full.prj.bak")), first);
  std::string third = Save("again.prj");
  EXPECT_EQ(second, third);

  // The same project under a locale with decimal commas.
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
    std::string german = Save("german.prj");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(german, first);
  }
}

TEST_F(ProjectFileTest, AttributeOrderAndNumberFormats) {
  BuildFullProject();
  std::string f = Save("fmt.prj");
  EXPECT_NE(f.find("<Jitter1 state=\"on\" mode=\"OnPeriod\" datamode=\"list\" val0=\"0.00000100000\" "
                   "val1=\"0.00000200000\" val2=\"0.00000350000\" cnt=\"1\"/>"), std::string::npos);
  EXPECT_NE(f.find("<Jitter3 state=\"off\" mode=\"OnPeriod\" datamode=\"gaussnoise\" loc=\"0.00000010000\" "
                   "var=\"0.00000002000\" limit=\"3.00000000000\" cnt=\"1\"/>"), std::string::npos);
  EXPECT_NE(f.find("<Env state=\"on\" count=\"4\" val0=\"0.00000000000\" val1=\"0.50000000000\" "
                   "val2=\"1.00000000000\" val3=\"0.25000000000\" count_=\"4\" val_0=\"0.00000000000\""),
            std::string::npos);
  EXPECT_NE(f.find("<Filter state=\"1\" f=\"10000000.000000\" alpha=\"0.220000\" ovs=\"1.000000\" window=\"rect\" "
                   "filter=\"user\" usrlen=\"3\" usrovs=\"2\" usrcmt=\"\" i0=\"0.500000\" q0=\"0.000000\" "
                   "i1=\"3e-08\" q1=\"1.000000\""), std::string::npos);
  EXPECT_NE(f.find("<Settings dwell=\"100.000000\" length=\"1\" min=\"0.000000\" max=\"0.000000\" min2=\"0.000000\" "
                   "max2=\"0.000000\" step=\"0.100000\" step2=\"0.100000\" limmin=\"0.000000\" limmax=\"0.000000\" "
                   "limmin2=\"0.000000\" limmax2=\"0.000000\" dtype=\"1\" dtype2=\"1\" activate=\"0\" path=\"1\"/>"),
            std::string::npos);
  EXPECT_NE(f.find("<OnPeriod time=\"0.00010000000\" mod=\"ext\" extname=\"Skywhisk\"/>"), std::string::npos);
  EXPECT_NE(f.find("<Name>Full &amp; &lt;project&gt;</Name>"), std::string::npos);
  EXPECT_NE(f.find("<report state=\"1\" RepFile=\"\" RepPlugin=\"Fennick\" RTD=\"0\" RTR=\"1\""), std::string::npos);
  EXPECT_EQ(FormatProjectReal(6, 1.5e-9), "1.5e-09");
  EXPECT_EQ(FormatProjectReal(6, 0.25), "0.250000");

  // The texts are printf's, byte for byte, over magnitudes from 1e-300 to
  // 1e300 and the special values: saved files do not change.
  auto printfText = [](const char* fmt, double v) {
    std::string t = cz::FormatC(fmt, v);
    if (!std::isfinite(v) || cz::StrtodC(t.c_str(), nullptr) == v) return t;
    for (int digits = 15; digits <= 17; ++digits) {
      t = cz::FormatC("%.*g", digits, v);
      if (cz::StrtodC(t.c_str(), nullptr) == v) break;
    }
    return t;
  };
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-300, 300);
  std::vector<double> values = {0.0, -0.0, 1.0, -1.5, 0.1, 1e-6, 5e-7, 123456.5, 1e300, -1e-300,
                                HUGE_VAL, -HUGE_VAL, std::nan("")};
  for (int k = 0; k < 3000; ++k) values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng) % (k % 3 == 0 ? 300 : 8)));
  for (double v : values) {
    EXPECT_EQ(FormatProjectReal(6, v), printfText("%f", v)) << v;
    EXPECT_EQ(FormatProjectReal(11, v), printfText("%12.11f", v)) << v;
  }
}

TEST_F(ProjectFileTest, DataSourceReferencesSurviveRenumbering) {
  BuildFullProject();
  // After a move in the editor the IDs are out of table order.
  DataSourceTable[0].id = 2;
  DataSourceTable[1].id = 1;
  PulseTable[0].dataRows[0].source = 1;  // names "B", the second in the table
  PulseTable[0].dataRows[2] = {DSRC_USER, 40, 8};  // names no source at all
  Save("ds.prj");
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("ds.prj").c_str(), 0), 1);
  int id = PulseTable[0].dataRows[0].source;
  int k = 0;
  while (k < DataSourceCount && DataSourceTable[k].id != static_cast<uint32_t>(id)) ++k;
  ASSERT_LT(k, DataSourceCount);
  EXPECT_EQ(DataSourceTable[k].name, "B");
  EXPECT_EQ(PulseTable[0].dataRows[2].source, 0);
}

TEST_F(ProjectFileTest, RefusedRecordsAndEntriesLoseNothingElse) {
  const char* doc =
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n"
      "<PULSE name=\"\" id=\"1\"/>\r\n"
      "<PULSE name=\"bad\" id=\"0\"/>\r\n"
      "<PULSE name=\"good\" id=\"7\"><Env state=\"on\" count=\"100000000\" val0=\"0.5\" val1=\"0.75\"/></PULSE>\r\n"
      "<PULSE name=\"noid\"/>\r\n"
      "</PULSE_DB>\r\n<SEQUENCE_DB>\r\n<junk/>\r\n"
      "<SEQUENCE name=\"s\" id=\"3\"><Entry1 pid=\"7\" rep=\"1\"/><Entry2 pid=\"99\" rep=\"1\"/>"
      "<Entry3 pid=\"7\" rep=\"-1\"/><Entry4 pid=\"-1\" type=\"tsync-cw\" val=\"0.5\"/></SEQUENCE>\r\n"
      "</SEQUENCE_DB>\r\n<DATASRC_DB><other name=\"x\"/><DATASRC name=\"d\"><data>1</data></DATASRC></DATASRC_DB>\r\n"
      "</TV_CZ_DB>\r\n";
  ASSERT_TRUE(WriteFileBytes(dir.File("bad.prj"), doc));
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("bad.prj").c_str(), 0), 1);
  // The pulse whose ID is out of range keeps its content under a free ID.
  ASSERT_EQ(PulseCount, 3);
  EXPECT_EQ(PulseTable[0].name, "bad");
  EXPECT_EQ(PulseTable[0].id, 1u);
  EXPECT_EQ(PulseTable[1].name, "good");
  EXPECT_EQ(PulseTable[1].envelope.Count(), 2);  // the count is clamped to what is there
  EXPECT_EQ(PulseTable[2].name, "noid");
  EXPECT_EQ(PulseTable[2].id, 2u);
  EXPECT_EQ(LogLinesWith("*** Invalid pulse name."), 1);
  EXPECT_EQ(LogLinesWith("*** Invalid pulse ID."), 1);
  EXPECT_EQ(LastProjectLoadReport.renumbered, 1);
  EXPECT_EQ(LastProjectLoadReport.refused, 1);
  EXPECT_EQ(LastProjectLoadReport.entriesRefused, 2);
  ASSERT_EQ(SequenceCount, 1);
  EXPECT_EQ(SequenceTable[0].id, 3u);
  EXPECT_EQ(SequenceTable[0].EntriesInUse(), 2);  // the refused entries close their gaps
  EXPECT_EQ(SequenceTable[0].entries[1].fillerType, 1);
  EXPECT_EQ(LogLinesWith("*** Invalid pulse ID found while reading sequence."), 1);
  EXPECT_EQ(LogLinesWith("*** Invalid parameter range for sequence entries."), 1);
  ASSERT_EQ(DataSourceCount, 1);
  EXPECT_EQ(DataSourceTable[0].name, "d");
  EXPECT_EQ(DataSourceTable[0].id, 1u);
}

// Values no build can use ("nan", "inf", "-inf", a number beyond the double
// range) are refused where they enter: each logged with its record and
// field, the field keeping its default, a list keeping none; the values
// beside them load. A save never writes them.
TEST_F(ProjectFileTest, NonFiniteValuesKeepTheDefaultsAndAreNeverSaved) {
  const char* doc =
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n"
      "<PULSE name=\"p\" id=\"1\"><OnPeriod time=\"2e-6\"/><Level AttOn=\"nan\" AttOff=\"3\" droop=\"1e999\"/>"
      "<Phase val=\"inf\"/><Frequency dev=\"-inf\"/>"
      "<Jitter1 state=\"on\" mode=\"onperiod\" datamode=\"list\" val0=\"1e-6\" val1=\"nan\"/>"
      "<Jitter2 state=\"on\" datamode=\"whitenoise\" min=\"-INF\" max=\"1e-6\" step=\"1e-9\"/>"
      "<Env state=\"on\" count=\"3\" val0=\"0.5\" val1=\"inf\" val2=\"1\"/></PULSE>\r\n"
      "</PULSE_DB>\r\n<SEQUENCE_DB>\r\n"
      "<SEQUENCE name=\"s\" id=\"1\"><Entry1 pid=\"-1\" type=\"tsync-blank\" val=\"nan\"/><ARB clock=\"inf\"/>"
      "<Filter state=\"1\" f=\"nan\" ovs=\"2\" usrlen=\"2\" i0=\"1\" i1=\"nan\" q0=\"0\" q1=\"0\"/></SEQUENCE>\r\n"
      "</SEQUENCE_DB>\r\n<RFLIST_DB><RFLIST name=\"r\"><Entry1 f=\"1\" l=\"-10\"/><Entry2 f=\"2\" l=\"nan\"/>"
      "<Settings dwell=\"inf\" min=\"1\"/></RFLIST></RFLIST_DB>\r\n"
      "</TV_CZ_DB>\r\n";
  ASSERT_TRUE(WriteFileBytes(dir.File("nan.prj"), doc));
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("nan.prj").c_str(), 0), 1);
  PulseRecord d;
  InitPulseRecord(&d);
  SequenceRecord ds;
  InitSequenceRecord(&ds);
  RfListRecord dr;
  InitRfListRecord(&dr);
  ASSERT_EQ(PulseCount, 1);
  const PulseRecord& p = PulseTable[0];
  EXPECT_EQ(p.onTime, 2e-6);
  EXPECT_EQ(p.attOn, d.attOn);
  EXPECT_EQ(p.attOff, 3.0);
  EXPECT_EQ(p.droop, d.droop);
  EXPECT_EQ(p.startPhase, d.startPhase);
  EXPECT_EQ(p.freqOffset, d.freqOffset);
  EXPECT_TRUE(p.jitter[0].values.empty());
  EXPECT_EQ(p.jitter[1].p1, d.jitter[1].p1);
  EXPECT_EQ(p.jitter[1].p2, 1e-6);
  EXPECT_EQ(p.envelope.Count(), 0);
  ASSERT_EQ(SequenceCount, 1);
  const SequenceRecord& s = SequenceTable[0];
  EXPECT_EQ(s.entries[0].fillerTime, ds.entries[0].fillerTime);
  EXPECT_EQ(s.clock, ds.clock);
  EXPECT_EQ(s.cutoff, ds.cutoff);
  EXPECT_EQ(s.oversampling, 2.0);
  EXPECT_TRUE(s.userFilter.Empty());
  ASSERT_EQ(RfListCount, 1);
  EXPECT_EQ(RfListTable[0].points.InUse(), 0);
  EXPECT_EQ(RfListTable[0].dwell, dr.dwell);
  EXPECT_EQ(RfListTable[0].min, 1.0);
  EXPECT_EQ(LogLinesWith("*** Pulse 'p': Level AttOn is not a finite number ('nan'); the default is kept."), 1);
  EXPECT_EQ(LogLinesWith("*** Pulse 'p': Jitter1 val1 is not a finite number ('nan'); the list is not loaded."), 1);
  EXPECT_EQ(LogLinesWith("*** Pulse 'p': Env val1 is not a finite number ('inf'); the list is not loaded."), 1);
  EXPECT_EQ(LogLinesWith("*** Sequence 's': ARB clock is not a finite number ('inf'); the default is kept."), 1);
  EXPECT_EQ(LogLinesWith("*** Sequence 's': Filter i1 is not a finite number"), 1);
  EXPECT_EQ(LogLinesWith("*** RF list 'r': Entry2 l is not a finite number"), 1);
  EXPECT_EQ(LastProjectLoadReport.valuesRefused, 13);
  EXPECT_FALSE(LastProjectLoadReport.Lost());

  // A value that reached a record another way is saved as 0, and said so.
  PulseTable[0].attOff = std::nan("");
  PulseTable[0].jitter[0].values.Assign(std::vector<double>{HUGE_VAL});
  const std::string saved = Save("nan-out.prj");
  EXPECT_EQ(saved.find("nan"), std::string::npos);
  EXPECT_EQ(saved.find("inf"), std::string::npos);
  EXPECT_NE(saved.find("AttOff=\"0.000000\""), std::string::npos);
  EXPECT_EQ(LogLinesWith("*** 2 values that were not finite numbers were saved as 0 (the first one: 'AttOff')."), 1);
}

TEST_F(ProjectFileTest, TablesBeyondTheirLimitsKeepTheFirstRecords) {
  std::string doc = "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB><PULSE_DB>";
  for (int i = 1; i <= 257; ++i) doc += "<PULSE name=\"p" + std::to_string(i) + "\" id=\"" + std::to_string(i > 256 ? 1 : i) + "\"/>";
  doc += "</PULSE_DB></TV_CZ_DB>";
  ASSERT_TRUE(WriteFileBytes(dir.File("big.prj"), doc));
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("big.prj").c_str(), 0), 1);
  EXPECT_EQ(PulseCount, 256);
  EXPECT_EQ(PulseTable[255].name, "p256");
  EXPECT_EQ(LogLinesWith("*** Max. number of pulses in project exceeded."), 1);
}

TEST_F(ProjectFileTest, DamagedFilesFailTheLoadAndSavesNeverDestroyTheOldFile) {
  BuildFullProject();
  std::string good = Save("keep.prj");
  ASSERT_TRUE(WriteFileBytes(dir.File("trunc.prj"), good.substr(0, good.size() / 2)));
  EXPECT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("trunc.prj").c_str(), 0), 0);
  EXPECT_EQ(PulseCount, 0);
  EXPECT_EQ(LogLinesWith("*** Failed to open project file."), 1);
  ASSERT_TRUE(WriteFileBytes(dir.File("root.prj"), "<?xml version=\"1.0\"?><OTHER/>"));
  EXPECT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("root.prj").c_str(), 0), 0);
  EXPECT_EQ(LogLinesWith("*** Invalid root element."), 1);
  EXPECT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("missing.prj").c_str(), 0), 0);

  // A save that cannot be completed leaves the earlier file as it was.
  ASSERT_EQ(::chmod(dir.File("keep.prj").c_str(), 0444), 0);
  EXPECT_EQ(SaveProject(PulseTable, SequenceTable, dir.File("keep.prj").c_str()), 0);
  EXPECT_EQ(LogLinesWith("*** Failed to save project file."), 1);
  EXPECT_EQ(ReadFileBytes(dir.File("keep.prj")), good);
}

TEST_F(ProjectFileTest, ImportAppendsPulsesWithFreshIdsOnly) {
  BuildFullProject();
  Save("src.prj");
  ClearProject();
  NewPulse("mine");  // takes ID 1, which the file's first pulse uses too
  LogLines().clear();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("src.prj").c_str(), 1), 1);
  ASSERT_EQ(PulseCount, 4);
  EXPECT_EQ(PulseTable[0].name, "mine");
  EXPECT_EQ(PulseTable[1].name, "plain");
  std::vector<uint32_t> ids;
  for (int p = 0; p < PulseCount; ++p) ids.push_back(PulseTable[p].id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
  EXPECT_EQ(SequenceCount, 0);
  EXPECT_FALSE(cz::test::FileExists(dir.File("src.prj.bak")));
}

// The data source an imported pulse brings along keeps what its record
// holds of a name and bits too long for it, and the log says what was cut.
TEST_F(ProjectFileTest, ImportNamesWhatItCutOfADataSource) {
  ClearProject();
  DataSourceCount = 0;
  const std::string path = dir.File("bits.prj");
  ASSERT_TRUE(WriteFileBytes(path, "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB><PULSE_DB><PULSE name=\"p\" id=\"1\">"
                                   "<DSrc1 type=\"3\" srcid=\"1\" bits=\"1\"/></PULSE></PULSE_DB><DATASRC_DB>"
                                   "<DATASRC name=\"" + std::string(70, 'n') + "\"><data>" + std::string(5000, '1') +
                                   "</data></DATASRC></DATASRC_DB></TV_CZ_DB>\r\n"));
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, path.c_str(), 1), 1);
  ASSERT_EQ(DataSourceCount, 1);
  EXPECT_EQ(DataSourceTable[0].data.str(), std::string(4096, '1'));
  const std::string source = "*** Data source '" + std::string(63, 'n') + "': ";
  EXPECT_EQ(LogLinesWith(source + "7 characters of its name beyond the 63 it holds were not imported."), 1);
  EXPECT_EQ(LogLinesWith(source + "904 characters of its bit text beyond the 4096 it holds were not imported."), 1);
}

TEST_F(ProjectFileTest, MutatedFilesNeverCrashTheReader) {
  BuildFullProject();
  // Keep the document small so that many mutations run quickly.
  ClearProject();
  BuildFullProject();
  SequenceCount = 1;
  SequenceTable[0].entries[10] = SequenceEntry();
  RfListTable[0].points.Reset();
  RfListTable[0].points.Set(0, 1.0, -5.0);
  std::string base = Save("base.prj");
  std::mt19937 rng(12345);
  cz::test::MutateOptions xml;
  xml.syntax = "<>/=\"&;#x0123456789-. aZ\r\n";
  xml.maxEdits = 8;
  for (int round = 0; round < 300; ++round) {
    const std::string m = cz::test::Mutate(base, rng, xml);
    std::string path = dir.File("m.prj");
    ASSERT_TRUE(WriteFileBytes(path, m));
    LoadProject(PulseTable, SequenceTable, path.c_str(), round % 5 == 0 ? 1 : 0);
    ASSERT_EQ(ReadFileBytes(path), m) << round;
    EXPECT_LE(PulseCount, kMaxPulses);
    EXPECT_LE(SequenceCount, kMaxSequences);
  }
}

// A 200,000-point I/Q envelope (and a full jitter list) comes back value for
// value; the reader gathers numbered attributes in one pass, so such a
// pulse loads in linear time.
TEST_F(ProjectFileTest, LargeEnvelopeRoundTripsExactly) {
  ClearProject();
  DataSourceCount = 0;
  PulseRecord& p = NewPulse("long envelope");
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> i(200000), q(200000);
  for (std::size_t k = 0; k < i.size(); ++k) {
    i[k] = u(rng);
    q[k] = k % 1000 == 0 ? 0.0 : u(rng) * 1e-7;
  }
  ASSERT_TRUE(p.envelope.SetIq(i, q));
  p.customEnvelopeOn = 1;
  p.jitter[0].distribution = JDIST_LIST;
  std::vector<double> jit(kJitterListMax);
  for (std::size_t k = 0; k < jit.size(); ++k) jit[k] = static_cast<double>(k) * 1e-9;
  ASSERT_TRUE(p.jitter[0].values.Assign(std::vector<double>(jit)));
  std::string first = Save("long.prj");

  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("long.prj").c_str(), 0), 1);
  ASSERT_EQ(PulseCount, 1);
  EXPECT_EQ(PulseTable[0].customEnvelopeOn, 1);
  EXPECT_EQ(PulseTable[0].envelope.Values(), i);
  EXPECT_EQ(PulseTable[0].envelope.QValues(), q);
  ASSERT_EQ(PulseTable[0].jitter[0].values.count(), static_cast<int>(kJitterListMax));
  EXPECT_EQ(PulseTable[0].jitter[0].values[kJitterListMax - 1], jit.back());
  EXPECT_EQ(Save("long2.prj"), first);
}

// Numbered values are found by their exact names only: "val01" is not
// "val1". A gap ends a jitter list; the envelope keeps its stated count,
// a missing value (I or Q) reading as 0.
TEST_F(ProjectFileTest, NumberedAttributesKeepTheirLookupRules) {
  WriteFileBytes(dir.File("gaps.prj"),
                 "<?xml version=\"1.0\"?><TV_CZ_DB><PULSE_DB><PULSE name=\"p\" ID=\"1\">"
                 "<Env state=\"on\" count=\"5\" val0=\"0.5\" val01=\"9\" val1=\"0.25\" val2=\"0.125\" val4=\"7\""
                 " count_=\"5\" val_0=\"0.1\" val_2=\"0.3\" val_1x=\"8\"/>"
                 "<Jitter1 state=\"on\" mode=\"time\" datamode=\"list\" val1=\"2\" val0=\"1\" val3=\"4\"/>"
                 "</PULSE></PULSE_DB><RFLIST_DB><RFLIST name=\"r\"><Entry2 f=\"2\" l=\"-2\"/><Entry1 f=\"1\" l=\"-1\"/>"
                 "<Entry4 f=\"4\" l=\"-4\"/></RFLIST></RFLIST_DB></TV_CZ_DB>");
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("gaps.prj").c_str(), 0), 1);
  ASSERT_EQ(PulseCount, 1);
  EXPECT_EQ(PulseTable[0].envelope.Values(), (std::vector<double>{0.5, 0.25, 0.125, 0.0, 7.0}));
  EXPECT_EQ(PulseTable[0].envelope.QValues(), (std::vector<double>{0.1, 0.0, 0.3, 0.0, 0.0}));
  ASSERT_EQ(PulseTable[0].jitter[0].values.count(), 2);
  EXPECT_EQ(PulseTable[0].jitter[0].values[1], 2.0);
  ASSERT_EQ(RfListCount, 1);
  EXPECT_EQ(RfListTable[0].points.InUse(), 2);
}

// Every text comes back exactly as saved, blanks only and leading or
// trailing blanks included: element texts and attribute texts alike.
TEST_F(ProjectFileTest, TextsOfBlanksComeBackAsSaved) {
  ClearProject();
  DataSourceCount = 0;
  g_Settings.Project.projectName = "  ";
  PulseRecord& p = NewPulse(" padded name ");
  p.comment = "   ";
  SequenceRecord& s = NewSequence("seq");
  s.waveFile = " ";
  s.comment = "\t";
  s.copyright = " (c) ";
  std::string first = Save("blanks.prj");

  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("blanks.prj").c_str(), 0), 1);
  EXPECT_EQ(g_Settings.Project.projectName, "  ");
  ASSERT_EQ(PulseCount, 1);
  EXPECT_EQ(PulseTable[0].name, " padded name ");
  EXPECT_EQ(PulseTable[0].comment, "   ");
  ASSERT_EQ(SequenceCount, 1);
  EXPECT_EQ(SequenceTable[0].waveFile, " ");
  EXPECT_EQ(SequenceTable[0].comment, "\t");
  EXPECT_EQ(SequenceTable[0].copyright, " (c) ");
  EXPECT_EQ(Save("blanks2.prj"), first);
}

// What is saved is XML 1.0 that other tools accept: control characters
// other than tab, line feed and carriage return become blanks, bytes that
// are not UTF-8 become '?', and the kept ones still come back.
TEST_F(ProjectFileTest, SavedProjectIsWellFormedForOtherXmlTools) {
  BuildFullProject();
  PulseTable[0].comment = "bell\x07 esc\x1b tab\t lf\n cr\r del\x7f";
  // The noncharacters U+FFFE and U+FFFF are no XML characters; U+FFFD is.
  PulseTable[2].comment = "fffe\xef\xbf\xbe ffff\xef\xbf\xbf fffd\xef\xbf\xbd";
  PulseTable[1].name = "Latin\xe9-1";
  SequenceTable[0].comment = std::string("\xe2\x82\xac \xed\xa0\x80 \xc0\xaf end").c_str();
  Save("xml.prj");
  std::string cmd = "xmllint --noout '" + dir.File("xml.prj") + "' 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, pipe)) out += buf;
  int status = pclose(pipe);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "");

  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, dir.File("xml.prj").c_str(), 0), 1);
  EXPECT_EQ(PulseTable[0].comment, "bell  esc  tab\t lf\n cr\r del\x7f");
  EXPECT_EQ(PulseTable[1].name, "Latin?-1");
  EXPECT_EQ(PulseTable[2].comment, "fffe  ffff  fffd\xef\xbf\xbd");
  EXPECT_EQ(SequenceTable[0].comment, "\xe2\x82\xac ??? ?? end");
}

namespace {

// The value of an XPath string expression over a file, as xmllint reads it.
std::string XmllintString(const std::string& file, const std::string& expression) {
  const std::string cmd = "xmllint --xpath '" + expression + "' '" + file + "' 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return "(xmllint did not run)";
  std::string out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, pipe)) out += buf;
  pclose(pipe);
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

}  // namespace

// Projects edited on Windows: one that declares ISO-8859-1
// and holds Latin-1 bytes, and one without a declared encoding whose bytes
// are Windows-1252. Their names and comments come back as the user wrote
// them, in UTF-8; the backup written after the load and later saves are
// UTF-8 as well (xmllint reads them so). Only the undeclared one is
// reported in the log.
TEST_F(ProjectFileTest, ProjectsInOtherEncodingsKeepTheirNames) {
  const std::string tail = "<SEQUENCE_DB/><MULTISEG_DB/><RFLIST_DB/><DATASRC_DB/></TV_CZ_DB>\r\n";
  const std::string latin1 = dir.File("latin1.prj");
  WriteFileBytes(latin1,
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<TV_CZ_DB><PROJECT><Name>Pr\xFC" "fstand</Name>"
                 "</PROJECT><PULSE_DB><PULSE name=\"M\xFCller 5\xB5s\" id=\"1\"><Comment>Stra\xDF" "e \xE9t\xE9"
                 "</Comment></PULSE></PULSE_DB>" + tail);
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, latin1.c_str(), 0), 1);
  ASSERT_EQ(PulseCount, 1);
  const std::string name = "M\xC3\xBCller 5\xC2\xB5s", comment = "Stra\xC3\x9F" "e \xC3\xA9t\xC3\xA9";
  EXPECT_EQ(PulseTable[0].name, name);
  EXPECT_EQ(PulseTable[0].comment, comment);
  EXPECT_EQ(g_Settings.Project.projectName, "Pr\xC3\xBC" "fstand");
  EXPECT_EQ(LogLinesWith("is not UTF-8"), 0);
  const std::string backup = latin1 + ".bak";
  EXPECT_EQ(XmllintString(backup, "string(//PULSE/@name)"), name);
  EXPECT_EQ(XmllintString(backup, "string(//PULSE/Comment)"), comment);
  EXPECT_NE(ReadFileBytes(backup).find("name=\"" + name + "\""), std::string::npos) << ReadFileBytes(backup);
  Save("saved.prj");
  EXPECT_EQ(XmllintString(dir.File("saved.prj"), "string(//PULSE/@name)"), name);

  const std::string cp1252 = dir.File("cp1252.prj");
  WriteFileBytes(cp1252, "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB><PROJECT/><PULSE_DB><PULSE name=\"\x93" "Radar\x94 \x80"
                         "5\" id=\"1\"><Comment>Stra\xDF" "e</Comment></PULSE></PULSE_DB>" + tail);
  LogLines().clear();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, cp1252.c_str(), 0), 1);
  ASSERT_EQ(PulseCount, 1);
  EXPECT_EQ(PulseTable[0].name, "\xE2\x80\x9CRadar\xE2\x80\x9D \xE2\x82\xAC" "5");
  EXPECT_EQ(PulseTable[0].comment, "Stra\xC3\x9F" "e");
  EXPECT_EQ(LogLinesWith("** Project file '" + cp1252 + "' is not UTF-8: its texts are read as Windows-1252."), 1);
  EXPECT_EQ(XmllintString(cp1252 + ".bak", "string(//PULSE/@name)"), "\xE2\x80\x9CRadar\xE2\x80\x9D \xE2\x82\xAC" "5");

  // A UTF-8 file, declared or not, is taken as it is and says nothing.
  LogLines().clear();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, backup.c_str(), 0), 1);
  EXPECT_EQ(PulseTable[0].name, name);
  EXPECT_EQ(LogLinesWith("is not UTF-8"), 0);
}

// A project written on another system names files with 8-bit characters:
// in UTF-8 a path of 230 such bytes needs 460. A path too long for its
// field is never cut (it would name another file): the record's file is
// left to be chosen again, the header's instrument folder keeps its
// default, and each is logged and counted. A path that fits is kept whole.
TEST_F(ProjectFileTest, PathsThatOutgrowTheirFieldsInUtf8AreNotCut) {
  const std::string grown(230, '\xE9');                          // 460 bytes in UTF-8
  const std::string fits = "/data/" + std::string(120, '\xE9');  // 246 bytes in UTF-8
  const std::string file = dir.File("latin1-paths.prj");
  WriteFileBytes(file,
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<TV_CZ_DB><PROJECT><PathWin>D:\\" + grown +
                     "</PathWin><PathLin>" + fits + "</PathLin></PROJECT><PULSE_DB/><SEQUENCE_DB>"
                     "<SEQUENCE name=\"S\" id=\"1\"><WvFile>/data/" + grown + ".wv</WvFile>"
                     "<report state=\"1\" RepFile=\"/data/" + grown + ".txt\"/></SEQUENCE>"
                     "<SEQUENCE name=\"T\" id=\"2\"><WvFile>" + fits + "</WvFile></SEQUENCE></SEQUENCE_DB>"
                     "<MULTISEG_DB><MSEG name=\"M\"><MsFiles>" + grown + "</MsFiles></MSEG></MULTISEG_DB>"
                     "<RFLIST_DB><RFLIST name=\"R\"><RfFile>D:\\" + grown + ".lsw</RfFile></RFLIST></RFLIST_DB>"
                     "<DATASRC_DB/></TV_CZ_DB>\r\n");
  LogLines().clear();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, file.c_str(), 0), 1);
  ASSERT_EQ(SequenceCount, 2);
  ASSERT_EQ(MultiSegmentCount, 1);
  ASSERT_EQ(RfListCount, 1);
  EXPECT_EQ(SequenceTable[0].waveFile.str(), "");
  EXPECT_EQ(SequenceTable[0].reportFile.str(), "");
  EXPECT_EQ(MultiSegmentTable[0].targetName.str(), "");
  EXPECT_EQ(RfListTable[0].remoteFile.str(), "");
  EXPECT_EQ(g_Settings.Project.pathWin.str(), "D:\\");
  std::string utf8;
  for (int i = 0; i < 120; ++i) utf8 += "\xC3\xA9";
  EXPECT_EQ(SequenceTable[1].waveFile.str(), "/data/" + utf8);
  EXPECT_EQ(g_Settings.Project.pathLin.str(), "/data/" + utf8);
  EXPECT_EQ(LastProjectLoadReport.pathsRefused, 5);
  EXPECT_EQ(LogLinesWith("*** Sequence 'S': WvFile '/data/"), 1);
  EXPECT_EQ(LogLinesWith("is too long (469 bytes, at most 255); the field is left empty."), 1);
  EXPECT_EQ(LogLinesWith("*** Project"), 1);
}
