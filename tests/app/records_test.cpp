// The record tables: ID allocation, defaults, clearing and resetting, and
// the ownership of the records' heap data.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "tests/support/OffscreenApp.h"

namespace {

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearProject(); }
  void TearDown() override { ClearProject(); }

  static void AddPulse(uint32_t id) {
    InitPulseRecord(&PulseTable[PulseCount]);
    PulseTable[PulseCount].id = id;
    ++PulseCount;
  }
};

void FillPulse(PulseRecord* p) {
  p->name = "chirp";
  ASSERT_TRUE(p->envelope.SetIq({0.1, 0.2, 0.3}, {0.4, 0.5, 0.6}));
  ASSERT_TRUE(p->jitter[0].values.Assign(std::vector<double>{1e-6, 2e-6}));
  ASSERT_TRUE(p->jitter[3].rules.PushBack(JitterRule("3:rand(0,10,1):2")));
  p->markers[2][MARKER_RESTART] = 1;
  p->modulation = 2;
  ASSERT_TRUE(p->modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "5.000000"));
  p->dataRows[31] = ModulationDataRow{DSRC_USER, 7, 12};
}

// The tables are static for the whole run; the records' large parts live on
// the heap, so the five tables together stay near 2 MB.
static_assert(sizeof(PulseTable) < 1024 * 1024);
static_assert(sizeof(SequenceTable) + sizeof(MultiSegmentTable) + sizeof(RfListTable) +
                  sizeof(DataSourceTable) < 2 * 1024 * 1024);

}  // namespace

TEST_F(RecordsTest, IdsAreTheSmallestFreeOfTheTableAndReusedAfterDeletion) {
  EXPECT_EQ(NextFreePulseId(), 1u);
  AddPulse(1);
  AddPulse(2);
  AddPulse(4);
  InitPulseRecord(&PulseTable[PulseCount]);
  EXPECT_EQ(PulseTable[PulseCount].id, 3u);
  ++PulseCount;

  // Delete pulse 1 (close the gap): the next pulse gets ID 1.
  for (int i = 1; i < PulseCount; ++i) PulseTable[i - 1] = std::move(PulseTable[i]);
  --PulseCount;
  EXPECT_EQ(NextFreePulseId(), 1u);
  EXPECT_EQ(FindPulseById(4), 1);
  EXPECT_EQ(FindPulseById(1), -1);

  PulseCount = 0;
  for (uint32_t id = 1; id <= kMaxPulses; ++id) AddPulse(id);
  EXPECT_EQ(NextFreePulseId(), 257u);

  // The same rule for each of the other tables, with their sizes.
  InitSequenceRecord(&SequenceTable[0]);
  SequenceTable[0].id = 1;
  InitSequenceRecord(&SequenceTable[1]);
  SequenceTable[1].id = 3;
  SequenceCount = 2;
  InitSequenceRecord(&SequenceTable[2]);
  EXPECT_EQ(SequenceTable[2].id, 2u);
  SequenceCount = 3;
  EXPECT_EQ(FindSequenceById(3), 1);

  for (int i = 0; i < kMaxRfLists; ++i) {
    InitRfListRecord(&RfListTable[i]);
    ++RfListCount;
  }
  EXPECT_EQ(RfListTable[99].id, 100u);
  EXPECT_EQ(NextFreeRfListId(), 101u);
  MultiSegmentCount = kMaxMultiSegments;
  for (int i = 0; i < kMaxMultiSegments; ++i) MultiSegmentTable[i].id = static_cast<uint32_t>(i + 1);
  EXPECT_EQ(NextFreeMultiSegmentId(), 65u);
  EXPECT_EQ(FindMultiSegmentById(64), 63);
}

TEST_F(RecordsTest, NewRecordsCarryTheDefaults) {
  InitPulseRecord(&PulseTable[0]);
  const PulseRecord& p = PulseTable[0];
  EXPECT_EQ(p.onTime, 0.0001);
  EXPECT_EQ(p.offTime, 0.0005);
  EXPECT_EQ(p.prfValue, 1.0);
  EXPECT_EQ(p.attOff, 100.0);
  EXPECT_EQ(p.noiseAtt, 20.0);
  EXPECT_EQ(p.noiseBw, 100.0);
  const int marker1[kMarkerParts] = {0, 1, 1, 1, 0, 0};
  for (int part = 0; part < kMarkerParts; ++part) {
    EXPECT_EQ(p.markers[0][part], marker1[part]);
    for (int m = 1; m < kMarkers; ++m) EXPECT_EQ(p.markers[m][part], 0);
  }
  for (const JitterBlock& b : p.jitter) {
    EXPECT_EQ(b.enabled, 0);
    EXPECT_EQ(b.stairCount, 1);
    EXPECT_EQ(b.Count(), 0);
  }
  EXPECT_EQ(p.phaseNoiseFreq[5], 10.0);
  EXPECT_EQ(p.phaseNoiseLevel[1], -40.0);
  EXPECT_EQ(p.modParams.StoredCount(), 0);
  EXPECT_TRUE(p.modParams[254].IsFree());

  const SequenceRecord& s = SequenceTable[0];
  EXPECT_EQ(s.EntriesInUse(), 0);
  for (const SequenceEntry& e : s.entries) {
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_EQ(e.markerMask, 15);
    EXPECT_EQ(e.jitterMode[3], 0);
  }
  EXPECT_EQ(s.waveFile, "Waveforms\\NewSequence.wv");
  EXPECT_EQ(s.clock, 100e6);
  EXPECT_EQ(s.window, 4);
  EXPECT_EQ(s.filterType, 2);
  EXPECT_EQ(s.alpha, 0.22);
  EXPECT_EQ(s.cutoff, 10e6);  // inside the Baseband Filter's 0.1 to 300 MHz
  EXPECT_EQ(s.oversampling, 1.0);
  EXPECT_EQ(s.userOversampling, 1);
  for (int c : s.reportColumns) EXPECT_EQ(c, 0);

  const MultiSegmentRecord& m = MultiSegmentTable[0];
  EXPECT_EQ(m.targetName, "MSWaveFile");
  EXPECT_EQ(m.clock, 10e6);
  EXPECT_EQ(m.triggerMode, 2);
  EXPECT_EQ(m.extTriggerMode, 2);
  EXPECT_EQ(m.triggerSource, 2);
  EXPECT_EQ(m.nextSegment, 1);
  EXPECT_EQ(m.bbPath, 1);
  EXPECT_EQ(m.SegmentsInUse(), 0);
  for (const MultiSegmentEntry& e : m.segments) EXPECT_EQ(e.repetition, "1");

  const RfListRecord& r = RfListTable[0];
  EXPECT_EQ(r.remoteFile, "D:\\RfList.lsw");
  EXPECT_EQ(r.dwell, 100.0);
  EXPECT_EQ(r.mode, 1);
  EXPECT_EQ(r.mode2, 1);
  EXPECT_EQ(r.activate, 0);
  EXPECT_EQ(r.path, 1);
  EXPECT_EQ(r.length, 1);  // the settings lie inside their fields
  EXPECT_EQ(r.step, 0.1);
  EXPECT_EQ(r.step2, 0.1);
  EXPECT_EQ(r.points.InUse(), 0);
  EXPECT_EQ(r.points.Level(9999), -100.0);
  EXPECT_EQ(r.points.Frequency(0), 0.0);
}

TEST_F(RecordsTest, SlotsReusedAfterDeletionStartFromTheDefaults) {
  AddPulse(1);
  FillPulse(&PulseTable[0]);
  PulseTable[0].jitter[1].enabled = 1;
  PulseCount = 0;
  InitPulseRecord(&PulseTable[0]);
  const PulseRecord& p = PulseTable[0];
  EXPECT_EQ(p.markers[2][MARKER_RESTART], 0);
  EXPECT_EQ(p.jitter[1].enabled, 0);
  EXPECT_EQ(p.jitter[0].values.size(), 0u);
  EXPECT_TRUE(p.modParams[0].IsFree());
  EXPECT_EQ(p.dataRows[31].kind, DSRC_OFF);
  EXPECT_EQ(p.envelope.Count(), 0);

  SequenceTable[0].entries[0].jitterMode[2] = 4;
  SequenceTable[0].reportPlugin = "report module";
  RfListTable[0].length = 50;
  InitSequenceRecord(&SequenceTable[0]);
  InitRfListRecord(&RfListTable[0]);
  EXPECT_EQ(SequenceTable[0].entries[0].jitterMode[2], 0);
  EXPECT_TRUE(SequenceTable[0].reportPlugin.empty());
  EXPECT_EQ(RfListTable[0].length, 1);
}

TEST_F(RecordsTest, ClearProjectEmptiesTablesButKeepsSelectionsAndDataSourceSlots) {
  for (int i = 0; i < 3; ++i) AddPulse(static_cast<uint32_t>(i + 5));
  FillPulse(&PulseTable[1]);
  ASSERT_TRUE(SequenceTable[0].userFilter.Set({1.0, 2.0}, {3.0, 4.0}));
  SequenceTable[0].id = 9;
  SequenceCount = 1;
  MultiSegmentCount = 2;
  RfListTable[3].points.Set(0, 1.5, -10.0);
  RfListCount = 4;
  DataSourceTable[0].name = "kept";
  DataSourceCount = 1;
  CurrentPulse = 2;
  CurrentSequence = 0;
  CurrentMultiSegment = 1;
  CurrentRfList = 3;
  CurrentDataSource = 0;

  ClearProject();
  EXPECT_EQ(PulseCount, 0);
  EXPECT_EQ(SequenceCount, 0);
  EXPECT_EQ(MultiSegmentCount, 0);
  EXPECT_EQ(RfListCount, 0);
  EXPECT_EQ(DataSourceCount, 0);
  EXPECT_EQ(CurrentPulse, 2);
  EXPECT_EQ(CurrentSequence, 0);
  EXPECT_EQ(CurrentMultiSegment, 1);
  EXPECT_EQ(CurrentRfList, 3);
  EXPECT_EQ(CurrentDataSource, 0);
  EXPECT_EQ(DataSourceTable[0].name, "kept");
  for (const PulseRecord& p : PulseTable) {
    EXPECT_EQ(p.id, 1u);
    EXPECT_TRUE(p.name.empty());
    EXPECT_EQ(p.envelope.Count(), 0);
  }
  EXPECT_EQ(SequenceTable[0].id, 1u);
  EXPECT_EQ(SequenceTable[0].userFilter.Length(), 0);
  EXPECT_EQ(RfListTable[3].points.StoredCount(), 0);
  EXPECT_EQ(RfListTable[99].id, 1u);
  EXPECT_EQ(MultiSegmentTable[63].id, 1u);
  CurrentPulse = CurrentSequence = CurrentMultiSegment = CurrentRfList = CurrentDataSource = -1;
}

TEST_F(RecordsTest, ResetProjectRestoresTheHeaderAndLeavesTheViewMode) {
  ProjectHeader& h = g_Settings.Project;
  h.projectName = "Radar";
  h.author = "someone";
  h.hideEntries = 1;
  h.pepLevel = 0;
  h.allowMarkers = 0;
  h.swapIq = 1;
  h.removeSegments = 0;
  h.noArbPreset = 1;
  h.pathWin = "E:\\";
  h.pathLin = "/var/";
  g_Settings.ViewMode = 1;
  AddPulse(3);

  ResetProject();
  EXPECT_TRUE(h.projectName.empty());
  EXPECT_TRUE(h.author.empty());
  EXPECT_EQ(h.hideEntries, 0);
  EXPECT_EQ(h.pepLevel, 1);
  EXPECT_EQ(h.allowMarkers, 1);
  EXPECT_EQ(h.swapIq, 0);
  EXPECT_EQ(h.removeSegments, 1);
  EXPECT_EQ(h.noArbPreset, 0);
  EXPECT_EQ(h.pathWin, "D:\\");
  EXPECT_EQ(h.pathLin, "/hdd/");
  EXPECT_EQ(g_Settings.ViewMode, 1);
  EXPECT_EQ(PulseCount, 0);
  g_Settings.ViewMode = 3;
}

TEST_F(RecordsTest, CopiesOwnTheirDataAndFreeingTwiceIsHarmless) {
  PulseRecord a;
  FillPulse(&a);
  PulseRecord b = a;
  b.envelope.MutableValues()[0] = 9.0;
  b.jitter[0].values[1] = 7.0;
  b.modParams.Mutable(0)->value = "6.0";
  EXPECT_EQ(a.envelope.Values()[0], 0.1);
  EXPECT_EQ(a.jitter[0].values[1], 2e-6);
  EXPECT_EQ(a.modParams[0].value, "5.000000");

  PulseRecord moved = std::move(b);
  FreePulseBuffers(&moved);
  FreePulseBuffers(&moved);
  EXPECT_EQ(moved.envelope.Count(), 0);
  EXPECT_FALSE(moved.envelope.HasQ());
  EXPECT_EQ(moved.jitter[3].rules.size(), 0u);
  EXPECT_EQ(moved.name, "chirp");  // only the buffers are released
  EXPECT_EQ(a.envelope.Count(), 3);

  SequenceRecord s;
  ASSERT_TRUE(s.userFilter.Set({1.0}, {2.0}));
  SequenceRecord t = s;
  t.userFilter.MutableI()[0] = 5.0;
  EXPECT_EQ(s.userFilter.I()[0], 1.0);
  FreeSequenceBuffers(&s);
  FreeSequenceBuffers(&s);
  EXPECT_EQ(s.userFilter.Length(), 0);
  EXPECT_EQ(t.userFilter.Length(), 1);
}

TEST_F(RecordsTest, ContainersRefuseDataBeyondTheirLimits) {
  PulseRecord p;
  EXPECT_FALSE(p.envelope.SetIq({1.0, 2.0}, {1.0}));  // lengths differ
  EXPECT_FALSE(p.envelope.SetLevels(std::vector<double>(kEnvelopeMaxPoints + 1)));
  EXPECT_TRUE(p.envelope.SetLevels({0.5}));
  EXPECT_FALSE(p.envelope.HasQ());
  EXPECT_EQ(p.envelope.Count(), 1);

  JitterBlock& j = p.jitter[0];
  EXPECT_FALSE(j.values.Assign(std::vector<double>(kJitterListMax + 1)));
  EXPECT_TRUE(j.values.Resize(kJitterListMax));
  EXPECT_FALSE(j.values.PushBack(1.0));
  EXPECT_EQ(j.Count(), static_cast<int32_t>(kJitterListMax));
  j.distribution = kJitterDistRules;  // the count follows the list the distribution reads
  EXPECT_EQ(j.Count(), 0);

  EXPECT_EQ(p.modParams.Mutable(255), nullptr);
  EXPECT_EQ(p.modParams.Mutable(-1), nullptr);
  ASSERT_NE(p.modParams.Mutable(254), nullptr);
  EXPECT_EQ(p.modParams.StoredCount(), 255);
  EXPECT_EQ(p.modParams.LeadingCount(), 0);
  p.modParams.Set(0, "INT", "Carriers", "10");
  p.modParams.Set(1, "LIST", "Random phase", "0");
  p.modParams.Set(3, "INT", "Carriers", "11");
  EXPECT_EQ(p.modParams.LeadingCount(), 2);
  EXPECT_EQ(p.modParams.Find("Carriers"), 0);
  EXPECT_EQ(p.modParams.Find("Carriers", "LIST"), -1);
  EXPECT_EQ(p.modParams.Find("Random phase", "LIST"), 1);
  EXPECT_EQ(p.modParams.Find("carriers"), -1);

  SequenceRecord s;
  EXPECT_FALSE(s.userFilter.Set(std::vector<double>(10001), std::vector<double>(10001)));
  EXPECT_TRUE(s.userFilter.Set(std::vector<double>(10000), std::vector<double>(10000)));
  EXPECT_FALSE(s.userFilter.Set({1.0}, {}));
  EXPECT_EQ(s.userFilter.Length(), 10000);
}

TEST_F(RecordsTest, EntriesSegmentsAndPointsInUseEndAtTheFirstFreeSlot) {
  SequenceRecord s;
  s.entries[0].pulseId = 3;
  s.entries[1].fillerType = 1;  // CW filler
  s.entries[3].pulseId = 1;     // after the gap: not in use
  EXPECT_TRUE(s.entries[1].IsFiller());
  EXPECT_EQ(s.EntriesInUse(), 2);
  for (SequenceEntry& e : s.entries) e.pulseId = 1;
  EXPECT_EQ(s.EntriesInUse(), kMaxSequenceEntries);
  s.reportOn = 2;  // an older file's report type
  EXPECT_TRUE(s.ReportOn());

  MultiSegmentRecord m;
  m.segments[0].sequenceId = 2;
  m.segments[1].type = SEGMENT_BLANK;
  m.segments[1].sequenceId = 0;
  EXPECT_EQ(m.SegmentsInUse(), 2);

  RfListPoints pts;
  EXPECT_FALSE(pts.Set(10000, 1.0, 0.0));
  EXPECT_FALSE(pts.Set(-1, 1.0, 0.0));
  EXPECT_TRUE(pts.Set(2, 0.0, -100.0));  // a default point stores nothing
  EXPECT_EQ(pts.StoredCount(), 0);
  for (int i = 0; i < 5; ++i) pts.Set(i, 1.0 + i, -20.0);
  EXPECT_EQ(pts.InUse(), 5);
  pts.SetFrequency(2, 0.0);
  EXPECT_EQ(pts.InUse(), 2);
  EXPECT_EQ(pts.Level(2), -20.0);
  pts.SetLevel(9999, 0.0);
  EXPECT_EQ(pts.Frequency(9999), 0.0);
  pts.SetFrequency(2, 3.0);
  for (int i = 5; i < kMaxRfListPoints; ++i) pts.SetFrequency(i, 2.0);
  EXPECT_EQ(pts.InUse(), kMaxRfListPoints);

  RfListPoints a, b;
  a.Set(0, 1.0, -100.0);
  b.Set(0, 1.0, -100.0);
  b.Set(5, 0.0, 0.0);  // differs in a point beyond a's storage
  EXPECT_FALSE(a == b);
  b.Set(5, 0.0, -100.0);
  EXPECT_TRUE(a == b);
}

// ------------------------------------------------- library tree and buttons

namespace {

// A main window holding the library tree with two record branches and the
// six library buttons.
class LibraryControlsTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    PANEL_MAIN = NewPanel(0, "main", 0, 0, 400, 400);
    ASSERT_GT(PANEL_MAIN, 0);
    tree_ = NewCtrl(PANEL_MAIN, CTRL_TREE, "", 0, 0);
    ASSERT_GT(tree_, 0);
    PANEL_MAIN_TREE_PULSES = tree_;
    int* buttons[] = {&PANEL_MAIN_CMD_COPY, &PANEL_MAIN_CMD_DEL, &PANEL_MAIN_CMD_SENTRY_UP,
                      &PANEL_MAIN_CMD_SENTRY_DOWN, &PANEL_MAIN_CMD_ADD, &PANEL_MAIN_CMD_ADD_P};
    for (int* id : buttons) {
      *id = NewCtrl(PANEL_MAIN, CTRL_COMMAND_BUTTON, "b", 300, 0);
      ASSERT_GT(*id, 0);
    }
    pulseRoot_ = AddItem(VAL_SIBLING, -1, "Pulses", "_PULSELIB", 0);
    for (int id : {4, 2, 7}) pulses_.push_back(AddItem(VAL_CHILD, pulseRoot_, "p", "pulse", id));
    seqRoot_ = AddItem(VAL_SIBLING, pulseRoot_, "Sequences", "_SEQLIB", 0);
    for (int id : {1, 3}) sequences_.push_back(AddItem(VAL_CHILD, seqRoot_, "s", "seq", id));
  }
  void TearDown() override {
    PANEL_MAIN_TREE_PULSES = PANEL_MAIN_CMD_COPY = PANEL_MAIN_CMD_DEL = -1;
    PANEL_MAIN_CMD_SENTRY_UP = PANEL_MAIN_CMD_SENTRY_DOWN = PANEL_MAIN_CMD_ADD = PANEL_MAIN_CMD_ADD_P = -1;
    PANEL_MAIN = 0;
    OffscreenAppTest::TearDown();
  }
  int AddItem(int relation, int relative, const char* label, const char* tag, int value) {
    char out[UI_TAG_LEN];
    return InsertTreeItem(PANEL_MAIN, tree_, relation, relative, VAL_LAST, label, tag, out, value);
  }
  int Colour(int item) {
    int colour = -1;
    GetTreeItemAttribute(PANEL_MAIN, tree_, item, ATTR_LABEL_BGCOLOR, &colour);
    return colour;
  }
  int Collapsed(int item) {
    int collapsed = -1;
    GetTreeItemAttribute(PANEL_MAIN, tree_, item, ATTR_COLLAPSED, &collapsed);
    return collapsed;
  }
  int Active() {
    int item = -2;
    GetActiveTreeItem(PANEL_MAIN, tree_, &item);
    return item;
  }

  int tree_ = 0;
  int pulseRoot_ = -1, seqRoot_ = -1;
  std::vector<int> pulses_, sequences_;
};

}  // namespace

TEST_F(LibraryControlsTest, DimmingCoversTheTreeAndTheSixButtons) {
  const int controls[] = {tree_, PANEL_MAIN_CMD_COPY, PANEL_MAIN_CMD_DEL, PANEL_MAIN_CMD_SENTRY_UP,
                          PANEL_MAIN_CMD_SENTRY_DOWN, PANEL_MAIN_CMD_ADD, PANEL_MAIN_CMD_ADD_P};
  for (int dimmed : {1, 0}) {
    DimLibraryControls(dimmed);
    for (int control : controls) {
      int value = -1;
      ASSERT_GE(GetCtrlAttribute(PANEL_MAIN, control, ATTR_DIMMED, &value), 0);
      EXPECT_EQ(value, dimmed) << "control " << control;
    }
  }
}

TEST_F(LibraryControlsTest, SelectingMarksTheMatchingItemOnlyInItsOwnBranch) {
  ASSERT_GE(pulseRoot_, 0);
  ASSERT_GE(seqRoot_, 0);
  SelectPulseTreeItem(2);
  EXPECT_EQ(Active(), pulses_[1]);
  EXPECT_EQ(Colour(pulses_[1]), 0x50C0C0);
  EXPECT_EQ(Collapsed(pulses_[1]), 0);
  for (int item : {pulses_[0], pulses_[2]}) {
    EXPECT_EQ(Colour(item), VAL_TRANSPARENT);
    EXPECT_EQ(Collapsed(item), 1);
  }

  // Sequence 3 carries the same value as no pulse; pulse marks stay.
  SelectSequenceTreeItem(3);
  EXPECT_EQ(Active(), sequences_[1]);
  EXPECT_EQ(Colour(sequences_[1]), 0x50C0C0);
  EXPECT_EQ(Colour(sequences_[0]), VAL_TRANSPARENT);
  EXPECT_EQ(Colour(pulses_[1]), 0x50C0C0);

  // An ID that no item carries unmarks the branch and keeps the active item.
  SelectSequenceTreeItem(9);
  EXPECT_EQ(Colour(sequences_[1]), VAL_TRANSPARENT);
  EXPECT_EQ(Active(), sequences_[1]);

  // Branches missing from the tree: nothing happens.
  SelectRfListTreeItem(1);
  SelectMultiSegmentTreeItem(1);
  EXPECT_EQ(Active(), sequences_[1]);
}
