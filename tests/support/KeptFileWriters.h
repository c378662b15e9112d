// Every writer of a file the user keeps, as a table for the tests of what
// reaches the disk: each writes its file in a given folder, with contents
// that differ from round to round, and says how its bytes reach the disk.
// The fixture holds what the writers need: the waveform library, a project
// with a reported sequence, a loopback instrument to download from, a
// working folder whose settings.ini names the home, cadenza-genwave.
#pragma once

#include <unistd.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "editors/ReportDriver.h"
#include "editors/RfListEdit.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/FileReplace.h"
#include "platform/sheet/Workbook.h"
#include "tests/instrument/FakeInstrument.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/RecordBuilders.h"
#include "tests/support/SyscallLog.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace cz::test {

struct KeptFileWriter {
  const char* name;
  const char* file;  // the file it keeps in the folder
  DiskOrder order;
  // Writes the file in folder (a host path); round 0, 1, ... give other bytes.
  std::function<bool(const std::string& folder, int round)> write;
};

class KeptFilesTest : public OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    char error[256];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    ASSERT_EQ(VisaDev_Init(error, sizeof error), 1) << error;
    Log_SetLogSink(&KeptFilesTest::Capture);
    Lines().clear();
    ASSERT_EQ(getcwd(cwd_, sizeof cwd_), cwd_);
    ClearProject();
    PulseRecord& p = AddPulse("P", 10e-6, 10e-6);
    SequenceRecord& s = AddSequence(100e6);
    s.name = "S";
    SetPulseEntry(s, 0, p, 2);
    s.reportColumns[REPORT_DELAY] = 1;
    s.reportColumns[REPORT_ON] = 1;
    ASSERT_EQ(VisaDev_Open(0, instrument_.Resource().c_str()), 1);
  }
  void TearDown() override {
    VisaDev_Close(0);
    Report_OpenOrClose(0, "", "", nullptr, 0);
    EXPECT_EQ(chdir(cwd_), 0);
    Log_SetLogSink(nullptr);
    ClearProject();
    OffscreenAppTest::TearDown();
  }

  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void Capture(const char* text) { Lines().emplace_back(text); }
  static std::string LastLine() { return Lines().empty() ? std::string() : Lines().back(); }

  // Runs cadenza-genwave with its TMPDIR in this test's folder; the
  // environment given goes before it (LD_PRELOAD=...). Exit status.
  int Genwave(const std::string& args, const std::string& environment = std::string()) {
    const std::string tmp = dir_.File("tmp");
    ::mkdir(tmp.c_str(), 0700);
    const std::string cmd = environment + " TMPDIR='" + tmp + "' '" + BuildDir() + "/tools/cadenza-genwave' " + args +
                            " >/dev/null 2>'" + dir_.File("genwave.err") + "'";
    std::string out;
    return RunShell(cmd, &out);
  }

  std::vector<KeptFileWriter> Writers() {
    auto tag = [](int round) { return "round " + std::to_string(round); };
    return {
        {"project", "keep.prj", DiskOrder::FlushRenameFlushFolder,
         [tag](const std::string& folder, int round) {
           PulseTable[0].name = tag(round);
           return SaveProject(PulseTable, SequenceTable, (folder + "/keep.prj").c_str()) == 1;
         }},
        {"backup after a load", "loaded.prj.bak", DiskOrder::FlushRenameFlushFolder,
         [tag](const std::string& folder, int round) {
           const std::string path = folder + "/loaded.prj";
           PulseTable[0].name = tag(round);
           const bool ok = SaveProject(PulseTable, SequenceTable, path.c_str()) == 1 &&
                           LoadProject(PulseTable, SequenceTable, path.c_str(), 0) == 1;
           return ok;
         }},
        {"settings", "settings.ini", DiskOrder::FlushRenameFlushFolder,
         [this, tag](const std::string& folder, int round) {
           // The working folder's settings.ini names the home.
           const std::string work = dir_.File("work");
           ::mkdir(work.c_str(), 0755);
           if (!WriteFileBytes(work + "/settings.ini", "[General]\r\nHomePath = \"" + folder + "/\"\r\n") ||
               chdir(work.c_str()) != 0)
             return false;
           g_Settings.Host = tag(round);
           const bool ok = SaveSettings(g_Settings) == 1;
           return chdir(cwd_) == 0 && ok;
         }},
        {"text report", "report.txt", DiskOrder::AppendFlush,
         [](const std::string& folder, int round) {
           char error[kReportErrorTextSize] = "";
           if (Report_OpenOrClose(1, (folder + "/report.txt").c_str(), "", error, sizeof error) != 1) return false;
           Report_WriteHeader(0);
           ReportEntryValues v{};
           v.delay = 1e-6 * round;
           v.on = 2e-6;
           const bool ok = Report_AddEntry(error, 0, -1, v) == 1;
           return Report_OpenOrClose(0, "", "", error, sizeof error) == 1 && ok;
         }},
        {"workbook report", "keep.xlsx", DiskOrder::FlushRenameFlushFolder,
         [tag](const std::string& folder, int round) {
           sheet::Workbook book;
           std::string error;
           if (round > 0 && !book.Load(folder + "/keep.xlsx", &error)) return false;
           book.Sheet(1)->SetText(2, 1 + round, tag(round));
           const bool ok = book.SaveAs(folder + "/keep.xlsx", &error);
           if (!ok) Log_Message(1, error.c_str());
           return ok;
         }},
        {"RF list report", "list.txt", DiskOrder::FlushRenameFlushFolder,
         [tag](const std::string& folder, int round) {
           RfListRecord list;
           list.name = tag(round);
           std::string reason;
           return RfList_WriteReport((folder + "/list.txt").c_str(), list, RfListReportHeader{"p", "a", "d", "v"},
                                     &reason);
         }},
        {"Transfer to PC", "down.wv", DiskOrder::FlushRenameFlushFolder,
         [this, tag](const std::string& folder, int round) {
           instrument_.PutFile("D:\\down.wv", std::string(1 << 20, static_cast<char>('a' + round)) + tag(round));
           return VisaDev_DownloadFile(0, (folder + "/down.wv").c_str(), "D:\\down.wv") == 1;
         }},
        {"waveform file", "keep.wv", DiskOrder::RenameThenFlush,
         [](const std::string& folder, int round) { return WriteWaveform(folder + "/keep.wv", round); }},
        {"cadenza-genwave --out", "out.wv", DiskOrder::RenameThenFlush,
         [this](const std::string& folder, int round) {
           SequenceTable[0].clock = 100e6 + round;
           const std::string project = dir_.File("genwave.prj");
           return SaveProject(PulseTable, SequenceTable, project.c_str()) == 1 &&
                  Genwave("--project '" + project + "' --sequence S --out '" + folder + "/out.wv'",
                          genwaveEnvironment_) == 0;
         }},
    };
  }

  // A waveform of 256 Ki samples whose values follow the round.
  static bool WriteWaveform(const std::string& path, int round) {
    std::vector<float> i(1 << 18), q(1 << 18);
    for (std::size_t k = 0; k < i.size(); ++k) {
      i[k] = static_cast<float>(std::sin(0.001 * static_cast<double>(k) * (round + 1)));
      q[k] = -i[k];
    }
    WaveDescriptor d;
    d.arbClock = d.markerClock = 1e6;
    d.samples = static_cast<int32_t>(i.size());
    d.iData = i.data();
    d.qData = q.data();
    return WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr) == 1;
  }

  TempDir dir_;
  FakeInstrument instrument_{"Torvane,Kaldra,1,1.0", "KLD-M64"};
  std::string genwaveEnvironment_;  // put before cadenza-genwave's command
  char cwd_[4096] = "";
};

}  // namespace cz::test
