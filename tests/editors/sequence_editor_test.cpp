// Sequence editor logic without widgets: the compile that lays the entries
// out on the time line, the entry list operations, and the small rules of
// the cell editing (overlay and marker cycles, repetition limits, the
// report format ring).
#include <gtest/gtest.h>

#include <string>

#include "app/PulseRecord.h"
#include "app/Records.h"
#include "editors/SequenceEditing.h"
#include "editors/SequenceEntries.h"
#include "editors/SequenceFilter.h"
#include "editors/SequenceTable.h"
#include "tests/support/RecordBuilders.h"

namespace {

class SequenceLogicTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProject(); }
  void TearDown() override { ResetProject(); }

  static PulseRecord& AddPulse(const char* name, double on, double off) { return cz::test::AddPulse(name, on, off); }
  static SequenceRecord& AddSequence(double clock) { return cz::test::AddSequence(clock); }
  static void Pulse(SequenceRecord& s, int slot, const PulseRecord& p, int reps, int overlay = 0) {
    SequenceEntry& e = s.entries[slot];
    e.pulseId = static_cast<int32_t>(p.id);
    e.fillerType = 0;
    e.repetitions = reps;
    e.overlay = static_cast<uint8_t>(overlay);
  }
  static void Filler(SequenceRecord& s, int slot, int kind, double end) { cz::test::SetFillerEntry(s, slot, kind, end); }
};

// ---- compile ---------------------------------------------------------------------

TEST_F(SequenceLogicTest, FillersFollowTheTimeLineAndARaisedEndIsStored) {
  SequenceRecord& s = AddSequence(100e6);
  Filler(s, 0, 1, 8e-6);
  Filler(s, 1, 0, 5e-6);  // ends before the time line: raised to 8 us
  Filler(s, 2, 1, 20e-6);
  const auto rows = CompileSequence(&s, 0);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_DOUBLE_EQ(rows[0].start, 0.0);
  EXPECT_DOUBLE_EQ(rows[0].stop, 8e-6);
  EXPECT_EQ(rows[0].samples, 800);
  EXPECT_DOUBLE_EQ(rows[1].start, 8e-6);
  EXPECT_DOUBLE_EQ(rows[1].stop, 8e-6);
  EXPECT_EQ(rows[1].samples, 0);
  EXPECT_DOUBLE_EQ(s.entries[1].fillerTime, 8e-6);
  EXPECT_DOUBLE_EQ(rows[2].start, 8e-6);
  EXPECT_EQ(rows[2].samples, 1200);
  EXPECT_TRUE(rows[2].filler);
}

// A PRI of 10.4 samples: the listing counts the repetitions as the build
// lays them, each at the sample nearest to its exact start.
TEST_F(SequenceLogicTest, FractionalPriRepetitionsAreListedAsBuilt) {
  PulseRecord& a = AddPulse("A", 0.3e-6, 0.0);
  a.prfMode = 1;
  a.prfPri = 1;
  a.prfValue = 1.04e-6;
  SequenceRecord& s = AddSequence(10e6);
  Pulse(s, 0, a, 3);
  Pulse(s, 1, a, 10000);
  const auto rows = CompileSequence(&s, 0);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].samples, 31);  // 10.4, 20.8, 31.2 -> 10, 21, 31
  EXPECT_NEAR(rows[0].stop, 3.1e-6, 1e-15);
  EXPECT_EQ(rows[1].samples, 104000);
  EXPECT_NEAR(rows[1].stop - rows[1].start, 10.4e-3, 1e-12);
}

TEST_F(SequenceLogicTest, RepetitionsMultiplyAndOverlaysKeepTheTimeLine) {
  const PulseRecord& a = AddPulse("A", 1e-6, 1e-6);  // 200 samples at 100 MHz
  const PulseRecord& b = AddPulse("B", 2e-6, 2e-6);
  SequenceRecord& s = AddSequence(100e6);
  Pulse(s, 0, a, 3);
  Pulse(s, 1, b, 1, 1);  // ADD: starts with entry 0, does not move the time line
  Pulse(s, 2, a, 1);
  const auto rows = CompileSequence(&s, 0);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].samples, 600);
  EXPECT_NEAR(rows[0].stop, 6e-6, 1e-15);
  EXPECT_DOUBLE_EQ(rows[1].start, rows[0].start);
  EXPECT_EQ(rows[1].samples, 400);
  EXPECT_NEAR(rows[2].start, 6e-6, 1e-15);
  EXPECT_FALSE(rows[0].compileFailed);
}

TEST_F(SequenceLogicTest, ListEndsAtAnEmptyEntryOrAMissingPulse) {
  const PulseRecord& a = AddPulse("A", 1e-6, 1e-6);
  SequenceRecord& s = AddSequence(100e6);
  EXPECT_TRUE(CompileSequence(&s, 0).empty());
  Pulse(s, 0, a, 1);
  s.entries[1].pulseId = 200;  // no such pulse
  s.entries[1].repetitions = 1;
  Pulse(s, 2, a, 1);           // never looked at
  EXPECT_EQ(CompileSequence(&s, 0).size(), 1u);
}

TEST_F(SequenceLogicTest, APulseThatCannotBeRealisedShowsNoSamples) {
  const PulseRecord& a = AddPulse("A", 1e-6, 1e-6);  // 1 us is shorter than a sample at 1 kHz
  SequenceRecord& s = AddSequence(1000.0);
  Pulse(s, 0, a, 2);
  Filler(s, 1, 0, 0.5);
  const auto rows = CompileSequence(&s, 0);
  ASSERT_EQ(rows.size(), 2u);  // the entries after it are still compiled
  EXPECT_TRUE(rows[0].compileFailed);
  EXPECT_EQ(rows[0].samples, 0);
  EXPECT_DOUBLE_EQ(rows[1].start, 0.0);
  EXPECT_EQ(rows[1].samples, 500);
}

// ---- entry list ------------------------------------------------------------------

TEST_F(SequenceLogicTest, InsertStartsCopiesAndAppends) {
  SequenceRecord& s = AddSequence(100e6);
  EXPECT_EQ(SequenceEntries_Insert(&s, 0), SEQ_ENTRY_NO_PULSES);
  EXPECT_TRUE(s.entries[0].IsEmpty());

  const PulseRecord& a = AddPulse("A", 1e-6, 1e-6);
  const PulseRecord& b = AddPulse("B", 1e-6, 1e-6);
  ASSERT_EQ(SequenceEntries_Insert(&s, 5), SEQ_ENTRY_CHANGED);
  EXPECT_EQ(s.entries[0].pulseId, static_cast<int32_t>(a.id));
  EXPECT_EQ(s.entries[0].repetitions, 1);
  EXPECT_EQ(s.entries[0].markerMask, 1);  // "1ST", "OFF", "OFF", "OFF"

  s.entries[0].repetitions = 1;
  Pulse(s, 1, b, 2);
  Pulse(s, 2, a, 3);
  ASSERT_EQ(SequenceEntries_Insert(&s, 2), SEQ_ENTRY_CHANGED);  // copy of the second after it
  EXPECT_EQ(s.EntriesInUse(), 4);
  EXPECT_EQ(s.entries[2].pulseId, static_cast<int32_t>(b.id));
  EXPECT_EQ(s.entries[2].repetitions, 2);
  EXPECT_EQ(s.entries[3].repetitions, 3);

  ASSERT_EQ(SequenceEntries_Insert(&s, 0), SEQ_ENTRY_CHANGED);  // no active cell: copy of the last
  EXPECT_EQ(s.EntriesInUse(), 5);
  EXPECT_EQ(s.entries[4].repetitions, 3);
}

TEST_F(SequenceLogicTest, AFullSequenceTakesNoMoreAndDeleteLeavesAnEmptyLastSlot) {
  const PulseRecord& a = AddPulse("A", 1e-6, 1e-6);
  SequenceRecord& s = AddSequence(100e6);
  for (int k = 0; k < kMaxSequenceEntries; ++k) Pulse(s, k, a, k + 1);
  EXPECT_EQ(SequenceEntries_Insert(&s, 3), SEQ_ENTRY_FULL);
  EXPECT_EQ(s.EntriesInUse(), kMaxSequenceEntries);

  EXPECT_EQ(SequenceEntries_Delete(&s, 1), SEQ_ENTRY_CHANGED);
  EXPECT_EQ(s.EntriesInUse(), 127);
  EXPECT_EQ(s.entries[0].repetitions, 2);
  const SequenceEntry& last = s.entries[kMaxSequenceEntries - 1];
  EXPECT_TRUE(last.IsEmpty());
  EXPECT_EQ(last.markerMask, 15);
  EXPECT_EQ(SequenceEntries_Delete(&s, 0), SEQ_ENTRY_UNCHANGED);
  EXPECT_EQ(SequenceEntries_Delete(&s, 129), SEQ_ENTRY_UNCHANGED);
}

TEST_F(SequenceLogicTest, MovesStayInsideTheUsedEntries) {
  const PulseRecord& a = AddPulse("A", 1e-6, 1e-6);
  SequenceRecord& s = AddSequence(100e6);
  for (int k = 0; k < 3; ++k) Pulse(s, k, a, k + 1);
  EXPECT_EQ(SequenceEntries_MoveUp(&s, 1), SEQ_ENTRY_UNCHANGED);
  EXPECT_EQ(SequenceEntries_MoveDown(&s, 3), SEQ_ENTRY_UNCHANGED);  // last used row
  EXPECT_EQ(SequenceEntries_MoveUp(&s, 4), SEQ_ENTRY_UNCHANGED);    // empty entry
  ASSERT_EQ(SequenceEntries_MoveUp(&s, 3), SEQ_ENTRY_CHANGED);
  EXPECT_EQ(s.entries[1].repetitions, 3);
  EXPECT_EQ(s.entries[2].repetitions, 2);
  ASSERT_EQ(SequenceEntries_MoveDown(&s, 1), SEQ_ENTRY_CHANGED);
  EXPECT_EQ(s.entries[0].repetitions, 3);
  EXPECT_EQ(s.entries[1].repetitions, 1);
}

// ---- editing rules ---------------------------------------------------------------

TEST_F(SequenceLogicTest, OverlayAndMarkerCyclesAndTheirTexts) {
  EXPECT_EQ(NextOverlayMode(0, 1), 0);  // the first row cannot overlay
  EXPECT_EQ(NextOverlayMode(0, 2), 1);
  EXPECT_EQ(NextOverlayMode(1, 2), 2);
  EXPECT_EQ(NextOverlayMode(2, 2), 0);
  EXPECT_EQ(NextOverlayMode(7, 2), 0);
  EXPECT_STREQ(OverlayModeText(3), "???");

  const char* const texts[] = {"OFF", "1ST", "LAST", "ALL"};
  int mask = 0xFF, field = MarkerField(mask, 2);
  for (int click = 0; click < 4; ++click) {
    field = NextMarkerField(field);
    mask = WithMarkerField(mask, 2, field);
    EXPECT_STREQ(MarkerFieldText(MarkerField(mask, 2)), texts[click]);
    EXPECT_EQ(MarkerField(mask, 1), 3);  // marker 1 stays "ALL"
  }
  EXPECT_EQ(MarkerFieldColor(0), 0xFFB0B0);
  EXPECT_EQ(MarkerFieldColor(2), 0xFFFFB0);
  EXPECT_EQ(MarkerFieldColor(3), 0xB0FFB0);
  EXPECT_STREQ(MarkerFieldText(MarkerField(15, 3)), "OFF");
  EXPECT_STREQ(MarkerFieldText(MarkerField(15, 2)), "ALL");

  EXPECT_EQ(LimitRepetitions(20000.0), 10000);
  EXPECT_EQ(LimitRepetitions(-5.0), 0);
  EXPECT_EQ(LimitRepetitions(7.0), 7);
}

TEST_F(SequenceLogicTest, ReportRingFollowsThePluginName) {
  SequenceRecord& s = AddSequence(100e6);
  const char* const labels[] = {"OFF", "Text", "Sheets", "Other"};
  EXPECT_EQ(ReportRingIndex(s, labels, 4), 0);
  s.reportOn = 1;
  EXPECT_EQ(ReportRingIndex(s, labels, 4), 1);
  s.reportPlugin = "Other";
  EXPECT_EQ(ReportRingIndex(s, labels, 4), 3);
  s.reportPlugin = "other";  // exact, case-sensitive
  EXPECT_EQ(ReportRingIndex(s, labels, 4), -1);
}

}  // namespace
