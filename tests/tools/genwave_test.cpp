// cadenza-genwave as a program: project files written by the program's own
// writer, built into waveform files; exit status, log and failure lines.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "app/Keywords.h"
#include "app/ProjectFile.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaveFileCheck.h"

namespace {

using cz::test::ParseWaveFile;
using cz::test::ReadFileBytes;
using cz::test::WaveTag;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class GenwaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProject();
    g_Settings.Project.pepLevel = 0;
    PulseRecord& p = PulseTable[0];
    InitPulseRecord(&p);
    PulseCount = 1;
    p.name = "Pulse";
    SequenceRecord& s = SequenceTable[0];
    InitSequenceRecord(&s);
    SequenceCount = 1;
    s.name = "Radar one";
    ASSERT_TRUE(s.waveFile.AssignExact(dir_.File("own.wv")));
    s.entries[0].pulseId = static_cast<int32_t>(p.id);
    s.entries[0].repetitions = 1;
  }
  void TearDown() override { ResetProject(); }

  std::string SaveProjectFile() {
    const std::string path = dir_.File("test.prj");
    EXPECT_EQ(SaveProject(PulseTable, SequenceTable, path.c_str()), 1);
    return path;
  }

  // Runs the tool with the arguments (already quoted), TMPDIR in our folder,
  // in the working folder given (else the test's own).
  ToolRun Tool(const std::string& args, const std::string& workingFolder = "") {
    namespace fs = std::filesystem;
    std::string exe = cz::test::BuildDir() + "/tools/cadenza-genwave";
    fs::create_directories(dir_.File("tmp"));
    const std::string errFile = dir_.File("stderr.txt");
    const std::string cd = workingFolder.empty() ? std::string() : "cd '" + workingFolder + "' && ";
    const std::string cmd = cd + "TMPDIR='" + dir_.File("tmp") + "' '" + exe + "' " + args + " 2>'" + errFile + "'";
    ToolRun r;
    r.status = cz::test::RunShell(cmd, &r.out);
    r.err = ReadFileBytes(errFile);
    return r;
  }
  bool TempFolderEmpty() const {
    return std::filesystem::is_empty(dir_.File("tmp"));
  }

  cz::test::TempDir dir_;
};

TEST_F(GenwaveTest, DefaultPulseOfANewProject) {
  const std::string project = SaveProjectFile();
  const std::string out = dir_.File("out.wv");
  const ToolRun r = Tool("--project '" + project + "' --sequence 'Radar one' --out '" + out + "'");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const cz::test::ParsedWave w = ParseWaveFile(out);
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.header, "{TYPE: Kaldra-WV,0}" + w.dateTag +
                          "{CLOCK:100000000.000}{CLOCK MARKER:100000000.000}{LEVEL OFFS:7.781513,0.000000}"
                          "{SAMPLES:60000}{CONTROL LENGTH:60000}{MARKER LIST 1: 0:1;10000:0}"
                          "{MARKER LIST 2: 0:0}{MARKER LIST 3: 0:0}{MARKER LIST 4: 0:0}{WAVEFORM-240001: #");
  EXPECT_EQ(w.dataBytes, 240000u);
  EXPECT_TRUE(w.closed);
  EXPECT_NE(r.out.find("===== Building Waveform ====="), std::string::npos);
  EXPECT_NE(r.out.find("SEQUENCE: 'Radar one'"), std::string::npos);
  EXPECT_NE(r.out.find("Waveform Creation Finished Successfully."), std::string::npos);
  EXPECT_FALSE(cz::test::FileExists(dir_.File("own.wv")));
  EXPECT_TRUE(TempFolderEmpty());  // temporary files and their folder removed
}

TEST_F(GenwaveTest, WritesTheSequencesOwnFileWithoutOut) {
  SequenceTable[0].clock = 50e6;
  const std::string project = SaveProjectFile();
  const ToolRun r = Tool("--project '" + project + "' --sequence 'Radar one'");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(WaveTag(ParseWaveFile(dir_.File("own.wv")).header, "SAMPLES"), "30000");
}

// A relative --out is taken from the home path that the working folder's
// settings.ini names, as the program takes a sequence's file name.
TEST_F(GenwaveTest, RelativeOutIsTakenFromTheHomePath) {
  const std::string project = SaveProjectFile();
  const std::string work = dir_.File("work"), home = dir_.File("home");
  std::filesystem::create_directories(work);
  std::filesystem::create_directories(home);
  ASSERT_TRUE(cz::test::WriteFileBytes(work + "/settings.ini", "[General]\r\nHomePath = \"" + home + "/\"\r\n"));
  const ToolRun r = Tool("--project '" + project + "' --sequence 'Radar one' --out 'Waveforms\\rel.wv'", work);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(WaveTag(ParseWaveFile(home + "/Waveforms/rel.wv").header, "SAMPLES"), "60000");
  EXPECT_FALSE(cz::test::FileExists(work + "/Waveforms/rel.wv"));
}

TEST_F(GenwaveTest, FailuresExitWithOneAndTheirLine) {
  const std::string project = SaveProjectFile();
  ToolRun r = Tool("--project '" + project + "' --sequence 'Nope'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("*** No sequence named 'Nope' in the project."), std::string::npos) << r.err;

  r = Tool("--project '" + dir_.File("missing.prj") + "' --sequence 'Radar one'");
  EXPECT_EQ(r.status, 1);

  r = Tool("--sequence 'Radar one'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("usage: cadenza-genwave"), std::string::npos);

  // A destination folder that cannot be made: its parent is a file.
  r = Tool("--project '" + project + "' --sequence 'Radar one' --out '" + project + "/x.wv'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: Cannot Open Destination File."), std::string::npos) << r.err;

  // A failed build keeps the previous file: reuse on the first entry.
  JitterBlock& j = PulseTable[0].jitter[0];
  j.enabled = 1;
  j.distribution = 2;  // ramp
  SequenceTable[0].entries[0].jitterMode[0] = 4;  // reuse
  const std::string broken = SaveProjectFile();
  ASSERT_TRUE(cz::test::WriteFileBytes(dir_.File("out.wv"), "previous"));
  r = Tool("--project '" + broken + "' --sequence 'Radar one' --out '" + dir_.File("out.wv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("*** Error setting up jitter for pulse 'Pulse'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("*** No previous jitter data available for jitter 1"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadFileBytes(dir_.File("out.wv")) == "previous");
  EXPECT_TRUE(TempFolderEmpty());
}

// What a user reads in a terminal: usage on request, the option that is
// wrong, each failure line once, the system's reason, the file as given.
// SIGTERM, or Ctrl-C (SIGINT), while the samples of a build with a complex
// filter (which goes through the temporary files) are computed: the build
// stops, its temporary folder (hundreds of megabytes of samples by then) is
// removed and no waveform file is left; the signal then ends the tool. The
// tool once died at once and left the folder behind.
TEST_F(GenwaveTest, ATerminationSignalStopsTheBuildAndRemovesItsTemporaryFolder) {
  namespace fs = std::filesystem;
  SequenceTable[0].entries[0].repetitions = 1000;  // 60,000,000 samples
  SequenceTable[0].filterOn = 1;
  SequenceTable[0].filterType = FILT_CXSINC;
  SequenceTable[0].cutoff = 20e6;
  const std::string project = SaveProjectFile();
  const std::string out = dir_.File("out.wv");
  const std::string exe = cz::test::BuildDir() + "/tools/cadenza-genwave";
  fs::create_directories(dir_.File("tmp"));
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, STDOUT_FILENO);
      ::dup2(quiet, STDERR_FILENO);
      ::setenv("TMPDIR", dir_.File("tmp").c_str(), 1);
      std::signal(signal, SIG_DFL);
      ::execl(exe.c_str(), exe.c_str(), "--project", project.c_str(), "--sequence", "Radar one", "--out", out.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // The signal comes once the build writes its marker samples.
    bool building = false;
    int status = 0;
    pid_t ended = 0;
    for (int k = 0; k < 60000 && !building && ended == 0; ++k) {
      std::error_code ec;
      for (const auto& run : fs::directory_iterator(dir_.File("tmp"), ec)) {
        const std::uintmax_t size = fs::file_size(run.path() / "MKR-DATA.TMP", ec);
        building = building || (!ec && size > 0);
      }
      if (!building) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ended = waitpid(pid, &status, WNOHANG);
      }
    }
    ASSERT_TRUE(building) << "the build did not start";
    ASSERT_EQ(kill(pid, signal), 0);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_TRUE(TempFolderEmpty());
    EXPECT_FALSE(cz::test::FileExists(out));
  }
}

TEST_F(GenwaveTest, MessagesNameTheUsersInputOnce) {
  ToolRun r = Tool("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: cadenza-genwave", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");

  r = Tool("--project x.prj --bogus");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unknown option '--bogus'"), std::string::npos) << r.err;

  const auto count = [](const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  const std::string missing = dir_.File("missing.prj");
  r = Tool("--project '" + missing + "' --sequence 'Radar one'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(count(r.out + r.err, "*** Cannot load project '" + missing + "': No such file or directory."), 1)
      << r.out << r.err;

  // A file that is no project: every line names it as given, none the copy.
  const std::string broken = dir_.File("broken.prj");
  ASSERT_TRUE(cz::test::WriteFileBytes(broken, "<project"));
  r = Tool("--project '" + broken + "' --sequence 'Radar one'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Loading project file '" + broken + "'"), std::string::npos) << r.out;
  EXPECT_EQ(count(r.out + r.err, "*** Cannot load project '" + broken + "'."), 1) << r.err;
  EXPECT_EQ((r.out + r.err).find("cadenza-genwave-"), std::string::npos) << r.out << r.err;
}

}  // namespace

// One pulse per modulation plug-in of build/Plugins, in one sequence: each
// plug-in is found, configured and driven sample by sample by the builder.
TEST_F(GenwaveTest, PulsesOfEveryModulationPlugin) {
  const char* const plugins[] = {"Skywhisk", "Bendsweep", "Replyrun", "Roundtone"};
  SequenceRecord& s = SequenceTable[0];
  for (int k = 0; k < 4; ++k) {
    PulseRecord& p = PulseTable[k];
    InitPulseRecord(&p);
    PulseCount = k + 1;
    p.name = plugins[k];
    p.modulation = kModulationPlugin;
    p.pluginName = plugins[k];
    p.onTime = 130e-6;  // the squitter and reply plug-ins need 120 us of flat top
    p.offTime = 10e-6;
    p.dataRows[0] = {DSRC_RANDOM, 0, 112};
    s.entries[k] = SequenceEntry();
    s.entries[k].pulseId = static_cast<int32_t>(p.id);
    s.entries[k].repetitions = 1;
  }
  const std::string project = SaveProjectFile();
  const std::string out = dir_.File("plugins.wv");
  const ToolRun r = Tool("--project '" + project + "' --sequence 'Radar one' --out '" + out + "'");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("*** Module error"), std::string::npos) << r.out;
  const cz::test::ParsedWave w = ParseWaveFile(out);
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(WaveTag(w.header, "SAMPLES"), "56000");  // 4 x 140 us at 100 MHz
  // Without modulation the flat top would be one constant sample; each
  // plug-in's envelope or phase makes it vary, and full scale is reached.
  for (int k = 0; k < 4; ++k) {
    int high = 0;
    std::set<std::pair<int16_t, int16_t>> distinct;
    for (std::size_t n = k * 14000u; n < (k + 1) * 14000u - 1000u; ++n) {
      high += std::hypot(double(w.i[n]), double(w.q[n])) > 30000.0;
      distinct.emplace(w.i[n], w.q[n]);
    }
    EXPECT_GT(high, 0) << plugins[k];
    EXPECT_GE(distinct.size(), 2u) << plugins[k];
  }
}
