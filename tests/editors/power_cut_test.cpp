// A power cut right after the program said a file was written, on ext4 and
// xfs disks (loop-mounted images, cut off by the file system's shutdown
// call): every file the user keeps comes back as the program wrote it last,
// whether the cut keeps the journal of the names (then any data not flushed
// is lost) or not (then any rename not flushed is undone). A waveform cut
// off before its flush on the short-lived thread ended comes back old, new
// or refused as cut short.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/KeptFileWriters.h"
#include "tests/support/LoopDisk.h"

namespace cz::test {
namespace {

class PowerCutTest : public KeptFilesTest, public ::testing::WithParamInterface<const char*> {
 protected:
  // Each writer's file written once and settled on the disk, then written
  // again; what the program left in the files (read back before the cut).
  std::map<std::string, std::string> WriteTwice(const std::vector<KeptFileWriter>& writers, LoopDisk& disk) {
    for (const KeptFileWriter& w : writers) EXPECT_TRUE(w.write(disk.path(), 0)) << w.name << ": " << LastLine();
    EXPECT_TRUE(disk.Settle());
    std::map<std::string, std::string> written;
    for (const KeptFileWriter& w : writers) {
      EXPECT_TRUE(w.write(disk.path(), 1)) << w.name << ": " << LastLine();
      EXPECT_TRUE(FinishPendingFlushes(20000).empty()) << w.name;
      written[w.file] = ReadFileBytes(disk.path() + "/" + w.file);
    }
    return written;
  }
  void ExpectAsWritten(const std::map<std::string, std::string>& written, LoopDisk& disk, const char* cut) {
    for (const auto& [file, bytes] : written) {
      const std::string now = ReadFileBytes(disk.path() + "/" + file);
      EXPECT_TRUE(now == bytes) << GetParam() << ", " << cut << ": " << file << " holds " << now.size()
                                << " bytes, the program wrote " << bytes.size();
    }
  }
};

// The journal kept: all writers at once.
TEST_P(PowerCutTest, EveryKeptFileHoldsWhatWasWrittenWhenTheNamesSurvive) {
  LoopDisk disk(GetParam(), 320);
  if (!disk.Ready()) GTEST_SKIP() << "power-cut case not run: " << disk.Why();
  const std::map<std::string, std::string> written = WriteTwice(Writers(), disk);
  ASSERT_TRUE(disk.PowerCut(true));
  ASSERT_TRUE(disk.Remount());
  ExpectAsWritten(written, disk, "journal kept");
}

// The journal lost: one writer per cut, so that no later flush of another
// file commits what this one did not.
TEST_P(PowerCutTest, EveryKeptFileHoldsWhatWasWrittenWhenTheJournalIsLost) {
  LoopDisk disk(GetParam(), 320);
  if (!disk.Ready()) GTEST_SKIP() << "power-cut case not run: " << disk.Why();
  for (const KeptFileWriter& w : Writers()) {
    const std::map<std::string, std::string> written = WriteTwice({w}, disk);
    ASSERT_TRUE(disk.PowerCut(false));
    ASSERT_TRUE(disk.Remount());
    ExpectAsWritten(written, disk, "journal lost");
  }
}

// A waveform whose flush the cut overtakes: the old file, the new one, or a
// file its readers refuse as cut short; never one taken as whole.
TEST_P(PowerCutTest, AWaveformCutOffBeforeItsFlushIsOldNewOrRefused) {
  LoopDisk disk(GetParam(), 320);
  if (!disk.Ready()) GTEST_SKIP() << "power-cut case not run: " << disk.Why();
  const std::string path = disk.path() + "/cut.wv";
  ASSERT_TRUE(WriteWaveform(path, 0));
  ASSERT_TRUE(disk.Settle());
  const std::string old = ReadFileBytes(path);
  ASSERT_TRUE(WriteWaveform(path, 1));
  const std::string written = ReadFileBytes(path);
  ASSERT_TRUE(disk.PowerCut(true));
  FinishPendingFlushes(20000);  // the flush fails on the stopped disk
  ASSERT_TRUE(disk.Remount());
  const std::string now = ReadFileBytes(path);
  WaveFileInfo info;
  ASSERT_EQ(WaveLib_GetFileInfo(path.c_str(), &info), 1);
  EXPECT_TRUE(now == old || now == written || !WaveLib_CutShortReason(info).empty())
      << GetParam() << ": " << now.size() << " bytes taken as a whole waveform";
}

INSTANTIATE_TEST_SUITE_P(FileSystems, PowerCutTest, ::testing::Values("ext4", "xfs"));

}  // namespace
}  // namespace cz::test
