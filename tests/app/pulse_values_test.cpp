// What the Pulse Editor shows is what the pulse stores, what a build makes of
// it and what the report says: jitter rules and lists in the unit of their
// target, the jitter read-outs, the PRF/PRI column, modulation parameters
// below 1e-6, ASK's inversion, and a sequence the waveform file cannot hold.
// Offscreen, through the program's own callbacks, with save and load.
#include <sys/stat.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Startup.h"
#include "editors/ReportDialog.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaveFileCheck.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/pulse/JitterPanel.h"
#include "ui/pulse/ModulationPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

// Jitter target ring values and distributions used here.
constexpr int kTargetOnTime = 0;
constexpr int kDistValueList = 5;
constexpr int kDistRules = 8;
constexpr int kJitterIndividual = 2;

class PulseValuesTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  void SetUp() override {
    StartupHomeTest::SetUp();
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", "[PRG]\r\nTempDir = \"" + home_ +
                                                            "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n"));
    ASSERT_EQ(InitApplication(), 1);
    Choose(MBAR_FILE_NEWPRJ);
  }

  static void ClickLibraryPulse() { ClickLibraryItem(kPulseLibraryTag, 0); }
  static void ClickLibrarySequence() { ClickLibraryItem(kSequenceLibraryTag, 0); }
  static void ClickTableCellHelper(int column, int row) {
    ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(column, row), false), 1);
  }

  // A new pulse of 10 us on time, 1 us edges and 40 us off, its modulation
  // chosen by its label (none: unmodulated).
  static void NewPulse(const char* modulation) {
    Choose(MBAR_PULSE_PNEW);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 10.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_RISE, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_FALL, 1.0), 1);
    ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_BLANK, 40.0), 1);
    if (modulation != nullptr) ChooseModulation(modulation);
  }
  // A new sequence of the current pulse with reps repetitions, writing into
  // the waveform file wave.
  static void NewSequence(int reps, const std::string& wave) {
    Choose(MBAR_PULSE_SNEW);
    ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_REPS, 1),
                                   std::to_string(reps).c_str()), 1);
    ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, wave.c_str()), 1);
  }
  // A text report of the given columns (the dialog's check boxes).
  static void TextReport(const std::string& path, std::vector<int> boxes) {
    Click(TAB_SEDIT, TAB_SEDIT_CMD_LOG);
    ASSERT_EQ(UiTest_ChooseRingIndex(DATALOG, DATALOG_RING_REPORTTYPE, 1), 1);
    ASSERT_EQ(UiTest_EnterValue(DATALOG, DATALOG_STR_REPORTFILE, path.c_str()), 1);
    int on = 0;
    GetCtrlVal(DATALOG, DATALOG_CHK_REP_ON, &on);
    if (!on) Click(DATALOG, DATALOG_CHK_REP_ON);
    for (int box : boxes) Click(DATALOG, box);
    Click(DATALOG, DATALOG_CMD_ACCEPT);
  }
  // Jitter block 1 on the On Time target with the given distribution.
  static void OnTimeJitter(int distribution) {
    int on = 0;
    GetCtrlVal(P_JIT, P_JIT_RADIO_JITTER1, &on);
    if (!on) Click(P_JIT, P_JIT_RADIO_JITTER1);
    ASSERT_EQ(UiTest_ChooseRingIndex(P_JIT, P_JIT_RING_JITTER1_MODE, RingIndexOf(P_JIT_RING_JITTER1_MODE, kTargetOnTime)), 1);
    ASSERT_EQ(UiTest_ChooseRingIndex(P_JIT, P_JIT_RING_JITTER1_DTYPE, distribution), 1);
  }
  static int RingIndexOf(int control, int value) {
    int count = 0;
    GetNumListItems(P_JIT, control, &count);
    for (int k = 0; k < count; ++k) {
      int v = -1;
      GetValueFromIndex(P_JIT, control, k, &v);
      if (v == value) return k;
    }
    return -1;
  }
  static void TypeJitterRow(int row, const char* text) {
    ASSERT_EQ(UiTest_TypeTableCell(P_JIT, P_JIT_TABLE_JITVAL, Cell(2, row), text), 1);
  }
  // Generate; a failure's popup is answered when one is expected.
  void Generate(bool fails = false) {
    UiTest_ClearPopups();
    if (fails) UiTest_QueueMessageOk();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  }
  void SaveAndReload() {
    const std::string project = dir_.File("values.prj");
    UiTest_QueueFile(project.c_str());
    Choose(MBAR_FILE_SAVEPRJAS);
    ASSERT_TRUE(FileExists(project));
    UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_NEWPRJ);
    UiTest_QueueFile(project.c_str());
    Choose(MBAR_FILE_LOADPRJ);
    ASSERT_EQ(PulseCount, 1);
  }
};

// "4:2:1" on "On Time [us]" adds 2 us to each of four pulses, as the value
// list "1", "2" adds 1 and 2 us; the read-outs beside the list are in us too.
TEST_F(PulseValuesTest, JitterRulesAndListsAreInTheTargetsUnit) {
  NewPulse(nullptr);
  OnTimeJitter(kDistRules);
  TypeJitterRow(1, "4:2:1");
  ASSERT_EQ(PulseTable[0].jitter[0].rules.count(), 1);
  EXPECT_EQ(PulseTable[0].jitter[0].rules[0].str(), "4:2:1");

  const std::string wave = dir_.File("rules.wv");
  const std::string report = dir_.File("rules.txt");
  NewSequence(4, wave);
  ClickTableCellHelper(SEQ_COL_JITTER1, 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_JITTER1, 1),
                                           kJitterIndividual), 1);
  TextReport(report, {});
  Generate();
  ASSERT_TRUE(FileExists(wave)) << Log();
  // 4 x (1 + 12 + 1 + 40) us at 100 MHz.
  const double clock = SequenceTable[0].clock;
  EXPECT_EQ(LastBuildSamples, static_cast<int32_t>(std::lround(4 * 54e-6 * clock))) << Log();
  const std::vector<std::string> rows = ReportRows(report);
  ASSERT_EQ(rows.size(), 4u) << ReadFileBytes(report);
  for (const std::string& row : rows) EXPECT_NE(row.find("12.000"), std::string::npos) << row;

  // The same target with a value list: typed in us, shown in us.
  ClickLibraryPulse();
  OnTimeJitter(kDistValueList);
  TypeJitterRow(1, "1");
  TypeJitterRow(2, "2");
  EXPECT_EQ(PulseTable[0].jitter[0].values.vec(), (std::vector<double>{1e-6, 2e-6}));
  EXPECT_EQ(Text(P_JIT, P_JIT_STR_JITMIN), "1.000");
  EXPECT_EQ(Text(P_JIT, P_JIT_STR_JITMAX), "2.000");

  // Save and load keep the list as typed.
  SaveAndReload();
  EXPECT_EQ(PulseTable[0].jitter[0].values.vec(), (std::vector<double>{1e-6, 2e-6}));
}

// The PRF/PRI column gives a PRF in Hz and a PRI in us, each labelled.
TEST_F(PulseValuesTest, ReportGivesThePrfInHzAndThePriInUs) {
  NewPulse(nullptr);
  // 52 us period given as a PRF: 19230.769 Hz.
  Click(P_TIM, P_TIM_RADIO_PRF);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_PRF, 19230.769), 1);
  ASSERT_EQ(PulseTable[0].prfPri, 0);
  const std::string report = dir_.File("prf.txt");
  NewSequence(1, dir_.File("prf.wv"));
  TextReport(report, {DATALOG_CHK_REP_PRFPRI});
  Generate();
  std::vector<std::string> rows = ReportRows(report);
  ASSERT_EQ(rows.size(), 1u) << ReadFileBytes(report);
  EXPECT_NE(rows[0].find(" Hz"), std::string::npos) << rows[0];
  EXPECT_NE(rows[0].find("19230."), std::string::npos) << rows[0];
  EXPECT_EQ(rows[0].find("19230769"), std::string::npos) << rows[0];

  // The same period as a PRI.
  ClickLibraryPulse();
  ASSERT_EQ(UiTest_ChooseRingIndex(P_TIM, P_TIM_RING_PRFPRI, 1), 1);
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_PRF, 52.0), 1);
  ASSERT_EQ(PulseTable[0].prfPri, 1);
  ClickLibrarySequence();
  Generate();
  rows = ReportRows(report);  // the report file gets the second build appended
  ASSERT_EQ(rows.size(), 2u) << ReadFileBytes(report);
  EXPECT_NE(rows[1].find("52.000 us"), std::string::npos) << rows[1];
}

// A DOUBLE parameter below 1e-6 is stored, built and reloaded exactly.
TEST_F(PulseValuesTest, ModulationParametersKeepTheirPrecision) {
  NewPulse("Polynomial FM");
  int row = -1;
  for (int r = 1; r <= 20 && row < 0; ++r) {
    char name[128] = "";
    if (GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(1, r), name, sizeof name) < 0) break;
    if (std::string(name) == "Term 1") row = r;
  }
  ASSERT_GT(row, 0);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), 2.5e-7), 1);
  const PulseRecord& p = PulseTable[0];
  const int k = p.modParams.Find("Term 1", "DOUBLE");
  ASSERT_GE(k, 0);
  EXPECT_EQ(std::strtod(p.modParams[k].value.c_str(), nullptr), 2.5e-7) << p.modParams[k].value.c_str();
  // Ordinary values keep their usual form.
  const int m = p.modParams.Find("Term 2", "DOUBLE");
  ASSERT_GE(m, 0);
  EXPECT_STREQ(p.modParams[m].value.c_str(), "0.000000");

  SaveAndReload();
  const PulseRecord& q = PulseTable[0];
  const int j = q.modParams.Find("Term 1", "DOUBLE");
  ASSERT_GE(j, 0);
  EXPECT_EQ(std::strtod(q.modParams[j].value.c_str(), nullptr), 2.5e-7);
}

// ASK's Invert swaps the levels of 1 and 0 bits: at 100 % depth every on
// sample that is high without it is zero with it, and the other way round.
TEST_F(PulseValuesTest, AskInvertSwapsTheLevels) {
  NewPulse("ASK");
  // Eight bits of an alternating pattern over the on time.
  PulseTable[0].dataRows[0] = ModulationDataRow{DSRC_PATTERN, 2, 8};
  ClickLibraryPulse();
  const std::string plain = dir_.File("plain.wv");
  NewSequence(1, plain);
  Generate();
  ASSERT_TRUE(FileExists(plain)) << Log().substr(Log().size() > 3000 ? Log().size() - 3000 : 0);

  ClickLibraryPulse();
  int row = -1;
  for (int r = 1; r <= 20 && row < 0; ++r) {
    char name[128] = "";
    if (GetTableCellVal(P_MOD, P_MOD_TABLE_CONF, Cell(1, r), name, sizeof name) < 0) break;
    if (std::string(name) == "Invert") row = r;
  }
  ASSERT_GT(row, 0);
  ASSERT_EQ(UiTest_CommitTableCell(P_MOD, P_MOD_TABLE_CONF, Cell(2, row), "yes"), 1);
  const int k = PulseTable[0].modParams.Find("Invert", "YESNO");
  ASSERT_GE(k, 0);
  EXPECT_STREQ(PulseTable[0].modParams[k].value.c_str(), "1");
  const std::string inverted = dir_.File("inverted.wv");
  ClickLibrarySequence();
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, inverted.c_str()), 1);
  Generate();
  ASSERT_TRUE(FileExists(inverted)) << Log();

  const cz::test::ParsedWave a = cz::test::ParseWaveFile(plain);
  const cz::test::ParsedWave b = cz::test::ParseWaveFile(inverted);
  ASSERT_EQ(a.i.size(), b.i.size());
  ASSERT_FALSE(a.i.empty());
  // The on time: 10 us after 1 us of rise at 100 MHz.
  int high = 0, swapped = 0;
  for (std::size_t n = 150; n < 1050 && n < a.i.size(); ++n) {
    const double x = std::hypot(a.i[n], a.q[n]), y = std::hypot(b.i[n], b.q[n]);
    if (x > 16000.0) ++high;
    if ((x > 16000.0 && y < 100.0) || (x < 100.0 && y > 16000.0)) ++swapped;
  }
  EXPECT_GT(high, 0);
  EXPECT_EQ(swapped, 900);
}

// A sequence longer than the waveform file can hold is refused before a
// sample is written, naming the entry; jitter that makes a repetition too
// long is refused before that repetition is written.
TEST_F(PulseValuesTest, GenerateRefusesWhatTheFileCannotHold) {
  NewPulse(nullptr);
  const std::string wave = dir_.File("long.wv");
  WriteFileBytes(wave, "old");
  NewSequence(1, wave);
  // A blank filler to 30 s at 100 MHz: 3e9 samples.
  SequenceTable[0].entries[1].fillerType = SYNC_BLANK;
  SequenceTable[0].entries[1].fillerTime = 30.0;
  Generate(true);
  EXPECT_EQ(ReadFileBytes(wave), "old");
  EXPECT_NE(Log().find("*** Entry 2 ('blank filler'): the waveform would exceed"), std::string::npos) << Log();
  EXPECT_NE(Text(PANEL_MAIN, PANEL_MAIN_TXT_ERR).find("Error"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat((home_ + "/Temp/WV-DATA.TMP").c_str(), &st), 0);
  EXPECT_LT(st.st_size, 1 << 20) << "nothing of the filler was written";

  // At 400 MHz the file holds about 1.43e9 samples before resampling; a rule
  // that makes the one repetition 3.75 s long is refused before it is written.
  SequenceTable[0].entries[1].fillerType = -1;
  SequenceTable[0].clock = 400e6;
  ClickLibraryPulse();
  OnTimeJitter(kDistRules);
  TypeJitterRow(1, "1:3750000:1");
  ClickLibrarySequence();
  ClickTableCellHelper(SEQ_COL_JITTER1, 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_JITTER1, 1),
                                           kJitterIndividual), 1);
  Generate(true);
  EXPECT_EQ(ReadFileBytes(wave), "old");
  EXPECT_NE(Log().find("*** Entry 1 ('" + std::string(PulseTable[0].name.c_str()) + "'): the waveform would exceed"),
            std::string::npos)
      << Log();
  ASSERT_EQ(stat((home_ + "/Temp/WV-DATA.TMP").c_str(), &st), 0);
  EXPECT_LT(st.st_size, 1 << 20);
}

}  // namespace
