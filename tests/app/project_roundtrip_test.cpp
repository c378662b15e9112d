// Records at their limits through SaveProject and LoadProject: whatever the
// editors and commands can produce comes back as it was saved (longest and
// empty texts, UTF-8 cut at the field size, every filler, jitter mode and
// jitter distribution, full entry lists), and the envelope's stated point
// count holds when values are missing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DataSource.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "tests/support/LogLines.h"
#include "tests/support/TempDir.h"

using cz::test::ReadFileBytes;
using cz::test::TempDir;
using cz::test::WriteFileBytes;

namespace {

using cz::test::KeepLogLine;
using cz::test::LogLines;
using cz::test::LogLinesWith;

// bytes characters: a run of two-byte "é" with ASCII marks, so that the
// field's cut falls on a character boundary.
std::string LongText(std::size_t bytes, const char* head) {
  std::string t = head;
  while (t.size() + 2 <= bytes) t += (t.size() % 7 == 0) ? "\xC3\xA9" : "a&";
  while (t.size() < bytes) t += 'z';
  return t;
}

class ProjectRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogLines().clear();
    Log_SetLogSink(KeepLogLine);
    ClearProject();
    DataSourceCount = 0;
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    ClearProject();
    DataSourceCount = 0;
  }
  std::string Save(const std::string& name) {
    const std::string path = dir.File(name);
    EXPECT_EQ(SaveProject(PulseTable, SequenceTable, path.c_str()), 1);
    return ReadFileBytes(path);
  }
  int Load(const std::string& name) { return LoadProject(PulseTable, SequenceTable, dir.File(name).c_str(), 0); }
  TempDir dir;
};

// Pulses with the longest and the shortest texts and every jitter
// distribution; sequences of 128 entries with both fillers, every overlay and
// every jitter mode; 64 segments; a full RF list; data sources at their
// limits.
void BuildLimitProject() {
  g_Settings.Project.projectName = LongText(1023, "project <").c_str();
  g_Settings.Project.author = "";
  for (int k = 0; k < 3; ++k) {
    PulseRecord& p = PulseTable[PulseCount];
    InitPulseRecord(&p);
    ++PulseCount;
    p.name = k == 0 ? LongText(63, "\"").c_str() : (k == 1 ? "x" : " blank  inside ");
    p.comment = k == 0 ? LongText(1023, "line\r\nnext\t").c_str() : "";
    for (int b = 0; b < kJitterBlocks; ++b) {
      JitterBlock& j = p.jitter[b];
      j.enabled = 1;
      j.target = static_cast<uint8_t>((4 * k + b) % 13);
      j.distribution = static_cast<uint8_t>((4 * k + b) % 9);  // 0 .. 8, every one at least once
      j.p1 = 1e-6 * (b + 1);
      j.p2 = -2.5e-7;
      j.p3 = 3;
      j.stairCount = 7;
      // The lists that the distribution reads (the editor keeps no other).
      if (j.distribution == JDIST_RULES)
        j.rules.Assign(std::vector<JitterRule>{JitterRule(LongText(63, "rand(1,2,3)").c_str()), JitterRule("x")});
      else if (j.distribution >= JDIST_LIST)
        j.values.Assign(std::vector<double>{1e-9, -2.0, 0.0, 1e300});
    }
    p.modParams.Set(0, LongText(255, "T").c_str(), LongText(255, "N").c_str(), LongText(255, "V").c_str());
    p.modParams.Set(1, "LIST", "empty value", "");
  }
  PulseTable[1].envelope.SetLevels({0.0, 1.0, 0.5});
  PulseTable[2].envelope.SetIq({0.0, 1.0}, {-1.0, 0.25});
  PulseTable[2].customEnvelopeOn = 1;

  for (int k = 0; k < 2; ++k) {
    SequenceRecord& s = SequenceTable[SequenceCount];
    InitSequenceRecord(&s);
    ++SequenceCount;
    s.name = k == 0 ? LongText(63, "S").c_str() : "";
    s.comment = k == 0 ? LongText(1023, "c").c_str() : "";
    s.copyright = LongText(255, "(c)").c_str();
    s.waveFile = LongText(255, "/tmp/").c_str();
    s.reportFile = LongText(255, "r").c_str();
    s.reportPlugin = k == 0 ? "Fennick" : "";
    s.userComment = LongText(255, "u").c_str();
    for (int i = 0; i < kMaxSequenceEntries; ++i) {
      SequenceEntry& e = s.entries[i];
      if (i % 4 == 3) {
        e.fillerType = (i / 4) % 2;  // blank and CW fillers
        e.fillerTime = 1e-6 * i;
        e.markerMask = 0;  // as the editor leaves a filler
      } else {
        e.pulseId = static_cast<int32_t>(PulseTable[i % 3].id);
        e.repetitions = i == 0 ? 0 : 100000 * i;
        e.markerMask = i % 16;
        e.overlay = static_cast<uint8_t>(i % 3);
      }
      for (int b = 0; b < kJitterBlocks; ++b) e.jitterMode[b] = static_cast<uint8_t>((i + b) % 6);
    }
  }

  MultiSegmentRecord& m = MultiSegmentTable[MultiSegmentCount++];
  InitMultiSegmentRecord(&m);
  m.name = LongText(63, "M").c_str();
  m.comment = LongText(1023, "m").c_str();
  m.targetName = LongText(255, "t").c_str();
  m.sequencerMode = 1;
  m.nextSegment = 3;
  for (int i = 0; i < kMaxSegments; ++i) {
    MultiSegmentEntry& seg = m.segments[i];
    seg.type = i % 2 ? SEGMENT_BLANK : SEGMENT_SEQUENCE;
    seg.sequenceId = i % 2 ? 0 : static_cast<int32_t>(SequenceTable[i % 4 / 2].id);
    seg.repetition = i % 3 ? LongText(63, "rand(").c_str() : "65536";
    seg.stopTime = 1e-3 * (i + 1);
  }
  MultiSegmentRecord& empty = MultiSegmentTable[MultiSegmentCount++];
  InitMultiSegmentRecord(&empty);

  RfListRecord& r = RfListTable[RfListCount++];
  InitRfListRecord(&r);
  r.name = LongText(63, "R").c_str();
  r.comment = "";
  r.remoteFile = LongText(255, "D:\\").c_str();
  for (int i = 0; i < kMaxRfListPoints; ++i) r.points.Set(i, 0.1 + i * 1e-6, -130.0 + i % 150);

  for (int k = 0; k < kMaxDataSources; ++k) {
    DataSourceRecord& d = DataSourceTable[DataSourceCount];
    InitDataSource(&d);
    d.name = k == 0 ? LongText(63, "D").c_str() : (k == 1 ? "" : ("d" + std::to_string(k)).c_str());
    d.comment = k == 0 ? LongText(1023, "dc").c_str() : "";
    d.data = k == 0 ? std::string(kDataTextSize - 1, '1').c_str() : "";
    ++DataSourceCount;
  }
}

}  // namespace

TEST_F(ProjectRoundTripTest, RecordsAtTheirLimitsComeBackAsSaved) {
  BuildLimitProject();
  // Copies of what was built, to compare with what the load gives back.
  const std::string name0 = PulseTable[0].name.c_str(), comment0 = PulseTable[0].comment.c_str();
  const std::string seqName0 = SequenceTable[0].name.c_str(), mswTarget = MultiSegmentTable[0].targetName.c_str();
  const std::string rule = PulseTable[2].jitter[0].rules[0].c_str();
  std::vector<SequenceEntry> entries(SequenceTable[0].entries, SequenceTable[0].entries + kMaxSequenceEntries);

  const std::string first = Save("limits.prj");
  ASSERT_EQ(Load("limits.prj"), 1);
  EXPECT_EQ(LogLinesWith("*** "), 0) << LogLines().front();
  ASSERT_EQ(PulseCount, 3);
  EXPECT_EQ(PulseTable[0].name.c_str(), name0);
  EXPECT_EQ(PulseTable[0].comment.c_str(), comment0);
  EXPECT_EQ(PulseTable[2].name, " blank  inside ");
  EXPECT_EQ(PulseTable[0].modParams[1].value, "");
  for (int k = 0; k < 3; ++k)
    for (int b = 0; b < kJitterBlocks; ++b) {
      EXPECT_EQ(PulseTable[k].jitter[b].distribution, (4 * k + b) % 9) << k << " " << b;
      const int d = PulseTable[k].jitter[b].distribution;
      EXPECT_EQ(PulseTable[k].jitter[b].Count(), d == JDIST_RULES ? 2 : (d >= JDIST_LIST ? 4 : 0));
    }
  ASSERT_EQ(PulseTable[2].jitter[0].distribution, JDIST_RULES);
  EXPECT_EQ(PulseTable[2].jitter[0].rules[0].c_str(), rule);
  EXPECT_EQ(PulseTable[2].envelope.QValues()[0], -1.0);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_EQ(SequenceTable[0].name.c_str(), seqName0);
  EXPECT_EQ(SequenceTable[1].name, "");
  for (int i = 0; i < kMaxSequenceEntries; ++i) {
    const SequenceEntry& a = entries[static_cast<std::size_t>(i)];
    const SequenceEntry& b = SequenceTable[0].entries[i];
    EXPECT_EQ(b.pulseId, a.pulseId) << i;
    EXPECT_EQ(b.repetitions, a.repetitions) << i;
    EXPECT_EQ(b.fillerType, a.fillerType) << i;
    EXPECT_EQ(b.fillerTime, a.fillerTime) << i;
    EXPECT_EQ(b.markerMask, a.markerMask) << i;
    EXPECT_EQ(b.overlay, a.overlay) << i;
    for (int j = 0; j < kJitterBlocks; ++j) EXPECT_EQ(b.jitterMode[j], a.jitterMode[j]) << i << " " << j;
  }
  ASSERT_EQ(MultiSegmentCount, 2);
  EXPECT_EQ(MultiSegmentTable[0].SegmentsInUse(), kMaxSegments);
  EXPECT_EQ(MultiSegmentTable[0].targetName.c_str(), mswTarget);
  EXPECT_EQ(MultiSegmentTable[0].segments[1].type, SEGMENT_BLANK);
  EXPECT_EQ(MultiSegmentTable[1].SegmentsInUse(), 0);
  ASSERT_EQ(RfListCount, 1);
  EXPECT_EQ(RfListTable[0].points.InUse(), kMaxRfListPoints);
  ASSERT_EQ(DataSourceCount, kMaxDataSources);
  EXPECT_EQ(DataSourceTable[1].name, "");
  EXPECT_EQ(std::string(DataSourceTable[0].data.c_str()).size(), static_cast<std::size_t>(kDataTextSize - 1));

  // Saved again, the file is the same byte for byte: nothing was lost or changed.
  EXPECT_EQ(Save("again.prj"), first);
}

// "count" states the points; a value the file lacks reads as 0, logged once
// per envelope, and the values after it keep their places.
TEST_F(ProjectRoundTripTest, EnvelopeKeepsItsStatedCountWithMissingValuesAsZero) {
  const char* doc =
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n"
      "<PULSE name=\"levels\" id=\"1\"><Env state=\"on\" count=\"5\" val0=\"0.5\" val1=\"0.75\" val3=\"1\" "
      "val4=\"0.25\"/></PULSE>\r\n"
      "<PULSE name=\"iq\" id=\"2\"><Env state=\"off\" count=\"3\" val0=\"1\" val1=\"2\" count_=\"3\" val_0=\"-1\" "
      "val_2=\"-3\"/></PULSE>\r\n"
      "<PULSE name=\"whole\" id=\"3\"><Env state=\"on\" count=\"2\" val0=\"1\" val1=\"2\" count_=\"0\"/></PULSE>\r\n"
      "</PULSE_DB>\r\n</TV_CZ_DB>\r\n";
  ASSERT_TRUE(WriteFileBytes(dir.File("env.prj"), doc));
  ASSERT_EQ(Load("env.prj"), 1);
  ASSERT_EQ(PulseCount, 3);
  EXPECT_EQ(PulseTable[0].envelope.Values(), (std::vector<double>{0.5, 0.75, 0.0, 1.0, 0.25}));
  EXPECT_FALSE(PulseTable[0].envelope.HasQ());
  EXPECT_EQ(PulseTable[1].envelope.Values(), (std::vector<double>{1.0, 2.0, 0.0}));
  EXPECT_EQ(PulseTable[1].envelope.QValues(), (std::vector<double>{-1.0, 0.0, -3.0}));
  EXPECT_EQ(PulseTable[2].envelope.Count(), 2);
  EXPECT_EQ(LogLinesWith("*** Missing envelope values of pulse 'levels' read as 0."), 1);
  EXPECT_EQ(LogLinesWith("*** Missing envelope values of pulse 'iq' read as 0."), 1);
  EXPECT_EQ(LogLinesWith("*** Missing envelope values"), 2);

  // Saved and loaded again, the five points stay five.
  Save("env2.prj");
  LogLines().clear();
  ASSERT_EQ(Load("env2.prj"), 1);
  EXPECT_EQ(PulseTable[0].envelope.Values(), (std::vector<double>{0.5, 0.75, 0.0, 1.0, 0.25}));
  EXPECT_EQ(LogLinesWith("*** "), 0);
}

// Integers beyond int32 in the file are never wrapped into valid ones
// (4294967297 would become ID 1): such a record keeps its content under a
// free ID, and an entry naming such an ID follows it.
TEST_F(ProjectRoundTripTest, NumbersBeyondTheIntRangeAreNotWrapped) {
  const char* doc =
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n"
      "<PULSE name=\"wrapped\" id=\"4294967297\"/>\r\n"
      "<PULSE name=\"good\" id=\"2\"/>\r\n"
      "</PULSE_DB>\r\n<SEQUENCE_DB>\r\n"
      "<SEQUENCE name=\"s\" id=\"4294967298\"/>\r\n"
      "<SEQUENCE name=\"t\" id=\"3\"><Entry1 pid=\"4294967298\" rep=\"1\"/><Entry2 pid=\"2\" rep=\"4294967297\"/>"
      "<Entry3 pid=\"2\" rep=\"5\"/></SEQUENCE>\r\n"
      "</SEQUENCE_DB>\r\n</TV_CZ_DB>\r\n";
  ASSERT_TRUE(WriteFileBytes(dir.File("wrap.prj"), doc));
  ASSERT_EQ(Load("wrap.prj"), 1);
  ASSERT_EQ(PulseCount, 2);
  EXPECT_EQ(PulseTable[0].name, "wrapped");
  EXPECT_NE(PulseTable[0].id, 2u);
  EXPECT_EQ(PulseTable[1].name, "good");
  EXPECT_EQ(PulseTable[1].id, 2u);
  EXPECT_EQ(LogLinesWith("*** Invalid pulse ID."), 1);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_NE(SequenceTable[0].id, 2u);
  EXPECT_NE(SequenceTable[0].id, 3u);
  EXPECT_EQ(SequenceTable[1].id, 3u);
  EXPECT_EQ(LogLinesWith("*** Invalid sequence ID."), 1);
  // The entry naming 4294967298, which no pulse carries, never becomes an
  // entry of pulse 2; a repetition count beyond int is not wrapped into 1.
  const SequenceRecord& t = SequenceTable[1];
  int ofPulse2 = 0, ofFive = 0;
  for (int k = 0; k < kMaxSequenceEntries; ++k) {
    ofPulse2 += t.entries[k].pulseId == 2;
    ofFive += t.entries[k].repetitions == 5;
    EXPECT_NE(t.entries[k].repetitions, 1) << k;
  }
  EXPECT_LE(ofPulse2, 2);
  EXPECT_EQ(ofFive, 1);
}
