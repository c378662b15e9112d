// Instrument file names the Transfer page makes from the user's waveform
// file, across the program: the Sequence Editor's Generate links the name,
// the preferences set the project's instrument folder, and the upload sends
// the file under the name shown; the questions of an upload about files on
// the instrument come once, before either path changes anything. Against
// the simulated instrument (127.0.0.1).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "instrument/Identify.h"
#include "instrument/VisaDev.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StartupHome.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/TransferPage.h"

namespace {

using cz::test::FileExists;
using cz::test::WriteFileBytes;

class TransferNamesScenarioTest : public cz::test::SimulatedHomeTest {
 protected:
  int Count(std::size_t from, const std::string& part) const {
    const std::vector<std::string> r = sim_.Received();
    int n = 0;
    for (std::size_t k = from; k < r.size(); ++k) n += r[k].find(part) != std::string::npos;
    return n;
  }

};

// A waveform name that makes the linked instrument name longer than the
// field holds: the upload does not go on under the name the previous
// waveform was linked to; it stops with a message, and the instrument's
// file of that name stays as it was.
TEST_F(TransferNamesScenarioTest, ALinkedNameTooLongForItsFieldUploadsNothingUnderTheOldName) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  // The project's instrument folder, typed in the preferences.
  const std::string folder = "D:\\" + std::string(60, 'p');
  Choose(MBAR_OPT_PREF);
  ASSERT_EQ(UiTest_EnterValue(GENWV, GENWV_STR_DEF_WIN, folder.c_str()), 1);
  Click(PREFERENCE, PREFERENCE_CMD_ACCEPT);
  ASSERT_EQ(g_Settings.Project.pathWin.view(), folder);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  const std::string shortWave = dir_.File("short.wv");
  UiTest_QueueFile(shortWave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  const std::string shortRemote = folder + "\\short.wv";
  ASSERT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), shortRemote) << Log();

  // A local path of 255 characters: its name does not fit behind the folder.
  const std::string base = dir_.File("");
  const std::string longWave = base + std::string(255 - base.size() - 3, 'w') + ".wv";
  ASSERT_EQ(longWave.size(), 255u);
  Choose(MBAR_PULSE_SNEW);
  UiTest_QueueFile(longWave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_TRUE(FileExists(longWave)) << Log();

  const std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  for (const auto& p : UiTest_Popups())
    EXPECT_NE(p.text, "File exists on instrument. Delete ?") << "asked about " << shortRemote;
  EXPECT_EQ(Count(from, ":MMEM:DATA"), 0) << Log();
  EXPECT_EQ(Count(from, "MMEM:DEL"), 0);
  EXPECT_EQ(Status(), "Error: Destination File Name Too Long.");
  EXPECT_NE(Log().find("*** Instrument file name too long: "), std::string::npos);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
  EXPECT_EQ(Dimmed(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 0);

  // A shorter name links again, and the upload goes on under it.
  const std::string nextWave = dir_.File("next.wv");
  UiTest_QueueFile(nextWave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), folder + "\\next.wv");
  EXPECT_EQ(Count(from, ":MMEM:DATA '" + folder + "\\next.wv',#"), 1) << Log();
  EXPECT_EQ(Status(), "Transfer Complete.");
}

// Both paths linked to the source file load one instrument file: the upload
// asks once about a file that was there before it (path A's question) and
// never about the file path A has just written; No to that one question
// sends nothing, and every upload asks anew.
TEST_F(TransferNamesScenarioTest, BothPathsLoadingOneFileAskOnceAboutIt) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_GT(InstrumentCapabilities.ArbSamplesB, 0);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  const std::string wave = dir_.File("both.wv");
  UiTest_QueueFile(wave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_B);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  if (!g_Settings.BBLinkFB) Click(TAB_INSTR, TAB_INSTR_CB_LINK_B);
  ASSERT_EQ(g_Settings.BBModeA, 1);
  ASSERT_EQ(g_Settings.BBModeB, 1);

  // A new file: no question at all, both paths loaded.
  std::size_t from = sim_.Received().size();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_B), "D:\\both.wv");
  EXPECT_EQ(Count(from, ":MMEM:DATA 'D:\\both.wv'"), 2) << Log();
  EXPECT_EQ(Status(), "Transfer Complete.");

  for (bool yes : {false, true, true}) {
    SCOPED_TRACE(yes);
    from = sim_.Received().size();
    UiTest_ClearPopups();
    UiTest_QueueConfirm(yes);
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    ASSERT_EQ(UiTest_Popups().size(), 1u);
    EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
    EXPECT_EQ(Count(from, ":MMEM:DATA"), yes ? 2 : 0);
    EXPECT_EQ(Count(from, "ARB:WAV:SEL"), 0);
    EXPECT_EQ(Status(), yes ? "Transfer Complete." : "Upload cancelled: the file on the instrument was kept.");
  }
}

// Path A sets the RF only, path B loads a file that is already on the
// instrument: the one question of the upload comes before path A's RF
// commands, and No leaves the instrument as it was.
TEST_F(TransferNamesScenarioTest, PathBsQuestionComesBeforePathAChangesTheInstrument) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_GT(InstrumentCapabilities.ArbSamplesB, 0);
  ASSERT_NE(InstrumentCapabilities.RfPathA, 0);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  const std::string wave = dir_.File("b.wv");
  UiTest_QueueFile(wave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  // Path B loads the waveform; path A is left alone.
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_B);
  if (!g_Settings.BBLinkFB) Click(TAB_INSTR, TAB_INSTR_CB_LINK_B);
  ASSERT_EQ(g_Settings.BBModeA, 0);
  for (int box : {TAB_INSTR_CB_SETFREQ_A, TAB_INSTR_CB_SETLEV_A}) {
    int on = 0;
    GetCtrlVal(TAB_INSTR, box, &on);
    if (on) Click(TAB_INSTR, box);
  }
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  ASSERT_EQ(Status(), "Transfer Complete.") << Log();

  // Now path A sets its frequency as well.
  Click(TAB_INSTR, TAB_INSTR_CB_SETFREQ_A);
  ASSERT_EQ(g_Settings.RFSetFA, 1);
  for (bool yes : {false, true}) {
    SCOPED_TRACE(yes);
    const std::size_t from = sim_.Received().size();
    UiTest_ClearPopups();
    UiTest_QueueConfirm(yes);
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    ASSERT_EQ(UiTest_Popups().size(), 1u);
    EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
    for (const char* change : {"FREQ", "POW", "OUTP", "MMEM:DATA", "MMEM:DEL", "PRES"})
      EXPECT_EQ(Count(from, change), yes ? Count(from, change) : 0) << change;
    if (yes) {
      EXPECT_EQ(Count(from, "SOUR1:FREQ "), 1);
      EXPECT_EQ(Count(from, ":MMEM:DATA 'D:\\b.wv'"), 1);
    }
    EXPECT_EQ(Status(), yes ? "Transfer Complete." : "Upload cancelled: the file on the instrument was kept.");
  }
}

// A waveform file stored relative to the home path (as the default
// "Waveforms\NewSequence.wv" is), within the 255 bytes the sequence holds but
// longer than that under the home path (accented names): Generate writes it,
// the linked instrument name follows it and the upload sends it. The upload
// once refused it ("Source File Name Too Long.") and the linked name stayed
// the earlier one, so that a waveform just built could not be sent.
TEST_F(TransferNamesScenarioTest, AWaveformStoredUnderTheHomePathIsSentHoweverLongItsFullPath) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  std::string name;
  for (int i = 0; i < 120; ++i) name += "\xC3\xA9";  // 120 characters, 240 bytes
  name += ".wv";
  const std::string stored = "Waveforms\\" + name;
  ASSERT_EQ(stored.size(), 253u);
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, stored.c_str()), 1);
  ASSERT_EQ(SequenceTable[0].waveFile.str(), stored);
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  const std::string written = home_ + "/Waveforms/" + name;
  ASSERT_GT(written.size(), 255u);
  ASSERT_TRUE(FileExists(written)) << Log();
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), "D:\\" + name);

  const std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_EQ(Status(), "Transfer Complete.") << Log();
  EXPECT_EQ(Count(from, ":MMEM:DATA 'D:\\" + name + "',#"), 1) << Log();
}

}  // namespace
