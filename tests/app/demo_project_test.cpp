// The demo project of examples/demo, as make run loads it: written by the
// program's own project writer, read back with every record.
#include <gtest/gtest.h>

#include "app/Keywords.h"
#include "app/ProjectFile.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "tests/support/TempDir.h"

namespace {

TEST(DemoProject, LoadsWithItsPulsesSequencesMultiSegmentAndRfList) {
  cz::test::TempDir dir;
  // Loading writes a backup beside the file: load a copy.
  const std::string path = dir.File("Demo.prj");
  ASSERT_TRUE(cz::test::WriteFileBytes(
      path, cz::test::ReadFileBytes(cz::test::SourceDir() + "/examples/demo/Projects/Demo.prj")));
  ResetProject();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, path.c_str(), 0), 1);

  ASSERT_EQ(PulseCount, 3);
  EXPECT_EQ(PulseTable[0].modulation, MOD_NONE);
  EXPECT_EQ(PulseTable[1].modulation, MOD_FMCHIRP);
  EXPECT_EQ(PulseTable[2].modulation, MOD_BARKER);
  EXPECT_EQ(PulseTable[2].dataRows[0].bits, 13);
  EXPECT_EQ(PulseTable[1].modParams.Find("RF Bandwidth [MHz]"), 0);

  ASSERT_EQ(SequenceCount, 2);
  EXPECT_EQ(SequenceTable[0].EntriesInUse(), 2);
  EXPECT_TRUE(SequenceTable[1].entries[1].IsFiller());
  ASSERT_EQ(MultiSegmentCount, 1);
  EXPECT_EQ(MultiSegmentTable[0].SegmentsInUse(), 2);
  EXPECT_EQ(static_cast<uint32_t>(MultiSegmentTable[0].segments[1].sequenceId), SequenceTable[1].id);
  ASSERT_EQ(RfListCount, 1);
  EXPECT_EQ(RfListTable[0].points.InUse(), 11);
  // Settings the pages show lie inside their fields' ranges.
  for (int k = 0; k < SequenceCount; ++k) {
    EXPECT_GE(SequenceTable[k].cutoff, 0.1e6) << k;
    EXPECT_LE(SequenceTable[k].cutoff, 300e6) << k;
  }
  const RfListRecord& rf = RfListTable[0];
  EXPECT_GE(rf.length, 1);
  EXPECT_LE(rf.length, 10000);
  for (double step : {rf.step, rf.step2}) {
    EXPECT_GE(step, 0.001);
    EXPECT_LE(step, 10.0);
  }
  EXPECT_EQ(g_Settings.Project.projectName, "Cadenza demo");

  // The demo settings name the project relative to the home.
  const std::string ini = cz::test::ReadFileBytes(cz::test::SourceDir() + "/examples/demo/settings.ini");
  EXPECT_NE(ini.find("LastPrj = \"Projects/Demo.prj\""), std::string::npos);
}

}  // namespace
