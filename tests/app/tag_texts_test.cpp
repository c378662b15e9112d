// Texts that go into a waveform file's tags: whatever braces a project's
// sequence texts hold, the header built from it holds one tag of each name,
// and the tag reader and an outside reader (tests/support/wave_tags.py)
// read the same comment and copyright back.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/EngineHost.h"
#include "engine/Tessera_GenerateWave.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/RecordBuilders.h"
#include "tests/support/LogLines.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace {

using cz::test::KeepLogLine;
using cz::test::LogLines;
using cz::test::LogLinesWith;

// The outside reader's tags of a file, by name: how often, the last value.
struct OutsideTags {
  std::map<std::string, int> count;
  std::map<std::string, std::string> value;
};
OutsideTags ReadTagsOutside(const std::string& path) {
  std::string out;
  EXPECT_EQ(cz::test::RunWaveTags(path, &out), 0) << out;
  OutsideTags tags;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t bar = line.find('|');
    const std::string name = line.substr(0, bar);
    ++tags.count[name.rfind("WAVEFORM-", 0) == 0 ? "WAVEFORM" : name];
    tags.value[name] = bar == std::string::npos ? "" : line.substr(bar + 1);
  }
  return tags;
}

TEST(TagTexts, BracesOfAProjectsTextsGiveOneTagOfEachName) {
  cz::test::TempDir dir;
  char error[kWaveLibErrorTextBytes];
  ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
  ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir.path()));
  SetEngineHost(nullptr);
  SetEngineBuildHost(nullptr);
  Log_SetLogSink(KeepLogLine);
  // What a project written by an older version holds, and what the header
  // then holds: pairs as written, an unpaired brace as a parenthesis.
  const struct {
    const char* comment;
    const char* copyright;
    const char* commentRead;
    const char* copyrightRead;
    int replaced;  // texts logged as replaced at the load
  } rows[] = {
      {"gain}{SAMPLES:7", "ACME {lab}", "gain)(SAMPLES:7", "ACME {lab}", 1},
      {"{REPORT PLUGIN: T1} radar burst", "ACME {lab", "{REPORT PLUGIN: T1} radar burst", "ACME (lab", 1},
      {"}{{x}{DATE:1}} {CLOCK:5", "", "){{x}{DATE:1}} (CLOCK:5", "", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.comment);
    ResetProject();
    const PulseRecord& p = cz::test::AddPulse("p", 1e-6, 1e-6);
    SequenceRecord& s = cz::test::AddSequence(100e6);
    s.name = "S";
    cz::test::SetPulseEntry(s, 0, p, 3);
    s.comment = row.comment;
    s.copyright = row.copyright;
    const std::string project = dir.File("braces.prj");
    ASSERT_EQ(SaveProject(PulseTable, SequenceTable, project.c_str()), 1);
    ResetProject();
    LogLines().clear();
    ASSERT_EQ(LoadProject(PulseTable, SequenceTable, project.c_str(), 0), 1);
    EXPECT_EQ(LogLinesWith("unpaired brace(s); taken as parentheses."), row.replaced);
    ASSERT_TRUE(SequenceTable[0].waveFile.AssignExact(dir.File("braces.wv")));
    ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 0, 0.0), 1);
    const std::string wave = dir.File("braces.wv");

    WaveFileInfo info;
    ASSERT_EQ(WaveLib_GetFileInfo(wave.c_str(), &info), 1);
    EXPECT_STREQ(info.comment, row.commentRead);
    EXPECT_STREQ(info.copyright, row.copyrightRead);
    EXPECT_EQ(info.samples, 600);
    EXPECT_DOUBLE_EQ(info.clock, 100e6);

    const OutsideTags tags = ReadTagsOutside(wave);
    for (const auto& [name, n] : tags.count) EXPECT_EQ(n, 1) << name;
    for (const char* name : {"TYPE", "COMMENT", "DATE", "CLOCK", "SAMPLES", "WAVEFORM"})
      EXPECT_EQ(tags.count.count(name), 1u) << name;
    EXPECT_EQ(tags.value.at("COMMENT"), row.commentRead);
    EXPECT_EQ(tags.value.count("COPYRIGHT") ? tags.value.at("COPYRIGHT") : "", row.copyrightRead);
    EXPECT_EQ(tags.value.at("SAMPLES"), "600");
  }
  Log_SetLogSink(nullptr);
  CloseTempFiles();
  ResetProject();
}

}  // namespace
