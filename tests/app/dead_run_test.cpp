// A run killed (kill -9) in the middle of a large Generate, then a start:
// the temporary file it left beside the waveform file it was replacing, and
// the folder of its temporary sample files, are gone; the old waveform file
// is as it was.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/ProjectFile.h"
#include "app/Records.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/RecordBuilders.h"
#include "tests/support/StartupHome.h"

namespace {

using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

// Names in folder that start with prefix, with their sizes.
std::vector<std::pair<std::string, long long>> Entries(const std::string& folder, const std::string& prefix) {
  std::vector<std::pair<std::string, long long>> found;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      struct stat st {};
      const std::string name = e->d_name;
      if (name.rfind(prefix, 0) == 0 && lstat((folder + "/" + name).c_str(), &st) == 0)
        found.emplace_back(name, static_cast<long long>(st.st_size));
    }
    closedir(d);
  }
  return found;
}

class DeadRunTest : public cz::test::StartupHomeTest {};

TEST_F(DeadRunTest, AKilledGenerateLeavesNothingOfItsRunAfterTheNextStart) {
  // 4,000 pulses of 100 us at 100 MHz: 40 M samples, a 160 MB file.
  ClearProject();
  PulseRecord& p = cz::test::AddPulse("P", 10e-6, 90e-6);
  SequenceRecord& s = cz::test::AddSequence(100e6);
  s.name = "S";
  cz::test::SetPulseEntry(s, 0, p, 4000);
  const std::string waves = home_ + "/Waveforms", wave = waves + "/keep.wv", tmp = dir_.File("tmp");
  ASSERT_TRUE(s.waveFile.AssignExact(wave));
  const std::string project = home_ + "/keep.prj";
  ASSERT_EQ(SaveProject(PulseTable, SequenceTable, project.c_str()), 1);
  ASSERT_EQ(mkdir(waves.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
  ASSERT_TRUE(WriteFileBytes(wave, "the waveform of yesterday"));
  ClearProject();

  // The build, killed once its new file beside keep.wv holds a few MB.
  const std::string exe = cz::test::BuildDir() + "/tools/cadenza-genwave", tmpdir = "TMPDIR=" + tmp;
  char* const argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("--project"),
                        const_cast<char*>(project.c_str()), const_cast<char*>("--sequence"),
                        const_cast<char*>("S"), nullptr};
  char* const envp[] = {const_cast<char*>(tmpdir.c_str()), nullptr};
  const pid_t run = fork();
  if (run == 0) {
    freopen("/dev/null", "w", stdout);
    execve(exe.c_str(), argv, envp);
    _exit(127);
  }
  ASSERT_GT(run, 0);
  bool caught = false;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
       !caught && std::chrono::steady_clock::now() < until;) {
    for (const auto& [name, size] : Entries(waves, ".cz")) caught = caught || size > (4 << 20);
    int status = 0;
    if (!caught && waitpid(run, &status, WNOHANG) == run) FAIL() << "the build ended before it was killed";
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(run, SIGKILL);
  int status = 0;
  waitpid(run, &status, 0);
  ASSERT_TRUE(caught) << "no temporary file appeared beside the waveform file";
  ASSERT_EQ(Entries(waves, ".cz").size(), 1u);
  ASSERT_EQ(Entries(tmp, "cadenza-genwave-").size(), 1u);

  // The next start of the program loads the project: its waveform's folder
  // holds only the old file again.
  ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", "[PRG]\r\nTempDir = \"" + home_ + "/Temp\"\r\nLastPrj = \"" +
                                                          project + "\"\r\nSavePrjOnExit = False\r\n"));
  SkipProjectLoad = 0;
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_EQ(SequenceCount, 1);
  EXPECT_TRUE(Entries(waves, ".cz").empty());
  EXPECT_EQ(ReadFileBytes(wave), "the waveform of yesterday");

  // The next run of the tool (one that fails at once) removes the folder.
  std::string out;
  cz::test::RunShell("TMPDIR='" + tmp + "' '" + exe + "' --project '" + dir_.File("none.prj") +
                         "' --sequence S >/dev/null 2>&1",
                     &out);
  EXPECT_TRUE(Entries(tmp, "cadenza-genwave-").empty());
}

}  // namespace
