// scripts/run-fuzz keeps a finding until it is mended: the input moves to the
// kept folder, the next run replays it first and fails while it still fails
// (without fuzzing that harness), and once it replays cleanly it joins the
// harness's corpus. Run with a stand-in harness that answers libFuzzer's
// command line: it "finds" an input holding "boom" when told to, and fails
// on such an input until the fault is "mended".
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/OutsideReaders.h"
#include "tests/support/TempDir.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

constexpr const char* kHarness = R"(#!/usr/bin/env bash
state=$(dirname "$0")/../../state
prefix=
inputs=()
for a in "$@"; do
  case "$a" in -artifact_prefix=*) prefix=${a#-artifact_prefix=} ;; -*) ;; *) inputs+=("$a") ;; esac
done
fails() { grep -q boom "$1" && [ ! -e "$state/mended" ]; }
if [ -z "$prefix" ]; then
  for f in "${inputs[@]}"; do fails "$f" && { echo "==1==ERROR: boom in $f"; exit 1; }; done
  exit 0
fi
for d in "${inputs[@]}"; do for f in "$d"/*; do [ -f "$f" ] && fails "$f" && exit 1; done; done
if [ -e "$state/find" ]; then rm -f "$state/find"; echo boom >"${prefix}crash-0042"; echo "==1==ERROR: boom"; exit 1; fi
echo "#64 DONE cov: 7 ft: 9 corp: 1/1b"; echo "stat::number_of_executed_units: 64"
)";

class RunFuzzTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir(dir_.File("build").c_str(), 0755);
    mkdir(dir_.File("build/fuzz").c_str(), 0755);
    mkdir(dir_.File("state").c_str(), 0755);
    ASSERT_TRUE(WriteFileBytes(dir_.File("build/fuzz/fuzz_standin"), kHarness));
    chmod(dir_.File("build/fuzz/fuzz_standin").c_str(), 0755);
  }
  int Run(std::string* out) {
    return cz::test::RunShell("'" + cz::test::SourceDir() + "/scripts/run-fuzz' '" + dir_.File("build") + "' 1 1 2>&1",
                              out);
  }
  std::string Kept() const { return dir_.File("build/fuzz-kept/fuzz_standin/crash-0042"); }
  cz::test::TempDir dir_;
};

TEST_F(RunFuzzTest, AFindingFailsEveryRunUntilItIsMended) {
  std::string out;
  ASSERT_EQ(Run(&out), 0) << out;
  EXPECT_NE(out.find("fuzz_standin                 ok   64 runs, cov 7"), std::string::npos) << out;

  // Found: the run fails and the input is kept.
  ASSERT_TRUE(WriteFileBytes(dir_.File("state/find"), ""));
  EXPECT_NE(Run(&out), 0) << out;
  EXPECT_EQ(ReadFileBytes(Kept()), "boom\n") << out;
  EXPECT_FALSE(FileExists(dir_.File("build/fuzz-work/fuzz_standin/crash-0042")));

  // Not found again, but the kept input still fails: so does the run.
  for (int run = 0; run < 2; ++run) {
    EXPECT_NE(Run(&out), 0) << out;
    EXPECT_NE(out.find("still fails: " + Kept()), std::string::npos) << out;
    EXPECT_TRUE(FileExists(Kept()));
  }

  // Mended: the run passes and the input joins the corpus, replayed with it.
  ASSERT_TRUE(WriteFileBytes(dir_.File("state/mended"), ""));
  ASSERT_EQ(Run(&out), 0) << out;
  EXPECT_NE(out.find("1 kept input(s) mended"), std::string::npos) << out;
  EXPECT_FALSE(FileExists(Kept()));
  EXPECT_EQ(ReadFileBytes(dir_.File("build/fuzz-work/fuzz_standin/corpus/crash-0042")), "boom\n");
  std::remove(dir_.File("state/mended").c_str());
  EXPECT_NE(Run(&out), 0) << "the corpus is replayed: " << out;
}

}  // namespace
