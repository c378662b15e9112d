// The pulse editor on its real panels: the record shown in the controls and
// read back, the timing page's derivations, the name check, the jitter
// block's units, the custom envelope page and the diagrams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "editors/EnvelopeImport.h"
#include "editors/JitterPage.h"
#include "editors/PulseEditor.h"
#include "platform/CLocale.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/PulseEditorFixture.h"
#include "tests/support/TempDir.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/JitterPanel.h"
#include "ui/pulse/LevelPanel.h"
#include "ui/pulse/MarkerPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

using cz::test::PulseEditorTest;

TEST_F(PulseEditorTest, RecordShownWithUnitsAndReadBackUnchanged) {
  PulseRecord& p = ShowNewPulse("p1");
  p.delay = 2e-3, p.riseTime = 5e-7, p.onTime = 1.0, p.fallTime = 0.0, p.offTime = 3e-6;
  p.riseEdge = 2, p.fallEdge = 3;
  p.freqOffset = 1.5e6, p.noiseBw = 20e6, p.attOff = 80.0, p.droop = -3.0, p.relativePhase = 1;
  p.markers[2][MARKER_FALL] = 1;
  ShowPulseInEditor();
  EXPECT_DOUBLE_EQ(2.0, Num(P_TIM, P_TIM_NUM_PREDELAY));
  EXPECT_EQ(-3, Int(P_TIM, P_TIM_RING_PREDELAY));
  EXPECT_NEAR(500.0, Num(P_TIM, P_TIM_NUM_RISE), 1e-9);
  EXPECT_EQ(-9, Int(P_TIM, P_TIM_RING_RISE));
  EXPECT_EQ(0, Int(P_TIM, P_TIM_RING_ON));
  EXPECT_EQ(0.0, Num(P_TIM, P_TIM_NUM_FALL));
  EXPECT_EQ(-6, Int(P_TIM, P_TIM_RING_FALL));  // a zero time shows in us
  EXPECT_EQ(2, Int(P_TIM, P_TIM_RING_ERISE));
  EXPECT_DOUBLE_EQ(1.5, Num(P_MISC, P_MISC_NUM_FREQ));
  EXPECT_DOUBLE_EQ(20.0, Num(P_MISC, P_MISC_NUM_AWGNBW));
  EXPECT_EQ(1, Int(P_MARKER, P_MARKER_R_M3_FALL));
  // The show ends by reading the controls back: nothing moved.
  EXPECT_NEAR(2e-3, p.delay, 1e-15);
  EXPECT_NEAR(5e-7, p.riseTime, 1e-18);
  EXPECT_NEAR(3e-6, p.offTime, 1e-18);
  EXPECT_EQ(3, p.fallEdge);
  EXPECT_NEAR(1.5e6, p.freqOffset, 1e-6);
  EXPECT_NEAR(20e6, p.noiseBw, 1e-6);
  EXPECT_EQ(-3.0, p.droop);
  EXPECT_EQ(1, p.relativePhase);
  EXPECT_EQ(1, p.markers[2][MARKER_FALL]);
  EXPECT_EQ("p1", Text(TAB_PEDIT, TAB_PEDIT_STR_NAME));
}

TEST_F(PulseEditorTest, EditsReachTheRecordAndTheTotal) {
  PulseRecord& p = ShowNewPulse("p1");
  ASSERT_EQ(1, UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 20.0));
  EXPECT_NEAR(20e-6, p.onTime, 1e-15);
  ASSERT_EQ(1, UiTest_ChooseRingIndex(P_TIM, P_TIM_RING_ON, 1));  // "ms"
  EXPECT_NEAR(20e-3, p.onTime, 1e-12);
  EXPECT_EQ(cz::FormatC("%4.3f", (p.delay + p.riseTime + p.onTime + p.fallTime + p.offTime) * 1e6),
            Text(P_TIM, P_TIM_STR_TOTAL));
  ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_FREQ, -2.5));
  EXPECT_NEAR(-2.5e6, p.freqOffset, 1e-6);
  ASSERT_EQ(1, UiTest_ClickCtrl(P_MARKER, P_MARKER_R_M4_RESTART));
  EXPECT_EQ(1, p.markers[3][MARKER_RESTART]);
  // Commits without a current pulse do nothing.
  SetCurrentPulse(-1);
  EXPECT_EQ(-1, PulseTimingCb(P_TIM, P_TIM_NUM_ON, EVENT_COMMIT, nullptr, 0, 0));
}

TEST_F(PulseEditorTest, PrfModeDerivesTheOffTimeAndConvertsUnits) {
  PulseRecord& p = ShowNewPulse("p1");
  ASSERT_EQ(1, UiTest_ClickCtrl(P_TIM, P_TIM_RADIO_PRF));
  EXPECT_EQ(0, Int(P_TIM, P_TIM_RADIO_BLANK));
  EXPECT_EQ(1, Attr(P_TIM, P_TIM_NUM_BLANK, ATTR_DIMMED));
  EXPECT_EQ(0, Attr(P_TIM, P_TIM_NUM_PRF, ATTR_DIMMED));
  EXPECT_EQ(1, p.prfMode);
  // PRF 0 becomes 1 Hz: the off time fills a 1 s period.
  p.prfValue = 0.0;
  ShowPulseInEditor();
  EXPECT_EQ(1.0, p.prfValue);
  EXPECT_EQ(1.0, Num(P_TIM, P_TIM_NUM_PRF));
  EXPECT_NEAR(1.0 - p.onTime - p.delay - p.riseTime - p.fallTime, p.offTime, 1e-9);

  ASSERT_EQ(1, UiTest_EnterValue(P_TIM, P_TIM_NUM_PRF, 1000.0));
  ASSERT_EQ(1, UiTest_ChooseRingIndex(P_TIM, P_TIM_RING_PRFPRI, 1));  // PRF -> PRI
  EXPECT_NEAR(1000.0, Num(P_TIM, P_TIM_NUM_PRF), 1e-9);
  EXPECT_EQ("us", Text(P_TIM, P_TIM_TXT_UNIT));
  EXPECT_NEAR(1e-3, p.prfValue, 1e-15);
  EXPECT_EQ(1, p.prfPri);
  ASSERT_EQ(1, UiTest_ChooseRingIndex(P_TIM, P_TIM_RING_PRFPRI, 0));  // and back
  EXPECT_NEAR(1000.0, p.prfValue, 1e-9);

  // Phases longer than the period: the off time shows 0 in red bold.
  ASSERT_EQ(1, UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 2000.0 / 2));  // 1000 us
  ASSERT_EQ(1, UiTest_ChooseRingIndex(P_TIM, P_TIM_RING_ON, 1));      // 1000 ms > 1 ms period
  EXPECT_EQ(0.0, Num(P_TIM, P_TIM_NUM_BLANK));
  EXPECT_EQ(0xFF0000, Attr(P_TIM, P_TIM_NUM_BLANK, ATTR_TEXT_COLOR));
  EXPECT_EQ(1, Attr(P_TIM, P_TIM_NUM_BLANK, ATTR_TEXT_BOLD));
  ASSERT_EQ(1, UiTest_ClickCtrl(P_TIM, P_TIM_RADIO_BLANK));
  EXPECT_EQ(0, Int(P_TIM, P_TIM_RADIO_PRF));
  EXPECT_EQ(0, Attr(P_TIM, P_TIM_NUM_BLANK, ATTR_TEXT_BOLD));
}

TEST_F(PulseEditorTest, DuplicateNameIsRefusedAndOnlyNameChangesRebuildTheTree) {
  ShowNewPulse("first");
  PulseRecord& p = ShowNewPulse("second");
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  ASSERT_EQ(1, UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, "first"));
  ASSERT_EQ(1u, UiTest_Popups().size());
  EXPECT_EQ("Error", UiTest_Popups()[0].title);
  EXPECT_EQ("The Pulse Name Should Be Unique.\nSetting Back to Previous Name.", UiTest_Popups()[0].text);
  EXPECT_EQ("second", std::string(p.name.c_str()));
  EXPECT_EQ("second", Text(TAB_PEDIT, TAB_PEDIT_STR_NAME));
  ASSERT_EQ(1, UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_COMMENT, "note"));
  EXPECT_EQ("note", std::string(p.comment.c_str()));
  EXPECT_EQ(-1, FindDuplicatePulseName("second", 1));
  EXPECT_EQ(0, FindDuplicatePulseName("first", 1));
}

// An empty name, or one of blanks only, would be written and then refused
// by the next load, with every sequence entry using the pulse: refused here.
TEST_F(PulseEditorTest, EmptyOrBlankNameIsRefusedAndTheOldNameStays) {
  PulseRecord& p = ShowNewPulse("radar");
  for (const char* name : {"", " ", "  \t "}) {
    UiTest_ClearPopups();
    UiTest_QueueMessageOk();
    ASSERT_EQ(1, UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, name));
    ASSERT_EQ(1u, UiTest_Popups().size()) << "'" << name << "'";
    EXPECT_EQ("Error", UiTest_Popups()[0].title);
    EXPECT_EQ("The Pulse Name Must Not Be Empty.\nSetting Back to Previous Name.", UiTest_Popups()[0].text);
    EXPECT_EQ("radar", std::string(p.name.c_str()));
    EXPECT_EQ("radar", Text(TAB_PEDIT, TAB_PEDIT_STR_NAME));
  }
  // Blanks inside or around other characters make a name.
  UiTest_ClearPopups();
  ASSERT_EQ(1, UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, " radar 2 "));
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_EQ(" radar 2 ", std::string(p.name.c_str()));
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_TRUE(IsBlankText(" \r\n"));
  EXPECT_FALSE(IsBlankText(" x"));
}

// A noise bandwidth that a sequence using the pulse cannot make at its
// clock is refused where it is typed, naming the narrowest (fs/1000) or
// widest (fs/2) one; so is switching on the noise over such a bandwidth.
// A pulse no sequence uses takes any bandwidth of the field.
TEST_F(PulseEditorTest, NoiseBandwidthASequenceCannotMakeIsRefusedNamingTheLimit) {
  PulseRecord& p = ShowNewPulse("noisy");
  UiTest_ClearPopups();
  ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNBW, 0.05));
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_NEAR(0.05e6, p.noiseBw, 1e-6);

  InitSequenceRecord(&SequenceTable[0]);
  SequenceTable[0].name = "fast";
  SequenceTable[0].clock = 100e6;
  SequenceTable[0].entries[3].pulseId = static_cast<int32_t>(p.id);
  SequenceCount = 1;
  const struct {
    double typed;  // MHz
    const char* text;
  } refused[] = {{0.02,
                  "The noise bandwidth 0.0200 MHz is narrower than sequence 'fast' can make at its clock of "
                  "100.000 MHz: the narrowest is 0.1000 MHz.\nSetting back to the previous bandwidth."},
                 {60.0,
                  "The noise bandwidth 60.0000 MHz is wider than sequence 'fast' can make at its clock of 100.000 MHz: "
                  "the widest is 50.0000 MHz.\nSetting back to the previous bandwidth."}};
  for (const auto& r : refused) {
    UiTest_ClearPopups();
    UiTest_QueueMessageOk();
    ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNBW, r.typed));
    ASSERT_EQ(1u, UiTest_Popups().size()) << r.typed;
    EXPECT_EQ("Error", UiTest_Popups()[0].title);
    EXPECT_EQ(r.text, UiTest_Popups()[0].text);
    EXPECT_NEAR(0.05e6, p.noiseBw, 1e-6) << r.typed;
    EXPECT_NEAR(0.05, Num(P_MISC, P_MISC_NUM_AWGNBW), 1e-12) << r.typed;
  }
  // The limits themselves are taken.
  for (double typed : {0.1, 50.0, 12.5}) {
    UiTest_ClearPopups();
    ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNBW, typed));
    EXPECT_TRUE(UiTest_Popups().empty()) << typed;
    EXPECT_NEAR(typed * 1e6, p.noiseBw, 1e-6);
  }
  // A bandwidth stored before the sequence used the pulse: the noise is not
  // switched on over it, and edits of other fields pass without a word.
  p.noiseBw = 0.05e6;
  ShowPulseInEditor();
  UiTest_ClearPopups();
  ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNLEV, 30.0));
  EXPECT_TRUE(UiTest_Popups().empty());
  UiTest_QueueMessageOk();
  ASSERT_EQ(1, UiTest_ClickCtrl(P_MISC, P_MISC_CHK_AWGN));
  ASSERT_EQ(1u, UiTest_Popups().size());
  EXPECT_EQ("The noise bandwidth 0.0500 MHz is narrower than sequence 'fast' can make at its clock of 100.000 MHz: "
            "the narrowest is 0.1000 MHz.\nThe noise stays off.",
            UiTest_Popups()[0].text);
  EXPECT_EQ(0, p.noiseOn);
  EXPECT_EQ(0, Int(P_MISC, P_MISC_CHK_AWGN));
  // At a tenth of the clock the same bandwidth can be made.
  SequenceTable[0].clock = 10e6;
  UiTest_ClearPopups();
  ASSERT_EQ(1, UiTest_ClickCtrl(P_MISC, P_MISC_CHK_AWGN));
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_EQ(1, p.noiseOn);
  EXPECT_EQ("", NoiseBandwidthRefusal(p));
}

// The limit a refusal names is one the bandwidth field (MHz with four
// places) takes: at 61.44 MHz the narrowest, 0.06144 MHz, is named as
// 0.0615 MHz, not as 0.0614 MHz, which the field then refuses in turn; at
// 61.44033 MHz the widest, 30.720165 MHz, as 30.7201 MHz, not 30.7202 MHz.
TEST_F(PulseEditorTest, TheLimitARefusalNamesIsOneTheFieldTakes) {
  PulseRecord& p = ShowNewPulse("lte");
  ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNBW, "1.0000"));
  InitSequenceRecord(&SequenceTable[0]);
  SequenceTable[0].name = "lte";
  SequenceTable[0].entries[0].pulseId = static_cast<int32_t>(p.id);
  SequenceCount = 1;
  const struct {
    double clockMhz;
    const char *refused, *limit, *named;
  } cases[] = {{61.44, "0.0614", "0.0615",
                "narrower than sequence 'lte' can make at its clock of 61.440 MHz: the narrowest is 0.0615 MHz."},
               {61.44033, "30.7202", "30.7201",
                "wider than sequence 'lte' can make at its clock of 61.440 MHz: the widest is 30.7201 MHz."}};
  for (const auto& c : cases) {
    SequenceTable[0].clock = c.clockMhz * 1000000.0;  // as the Sequence Editor stores it
    UiTest_ClearPopups();
    UiTest_QueueMessageOk();
    ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNBW, c.refused));
    ASSERT_EQ(1u, UiTest_Popups().size()) << c.refused;
    EXPECT_EQ(std::string("The noise bandwidth ") + c.refused + " MHz is " + c.named +
                  "\nSetting back to the previous bandwidth.",
              UiTest_Popups()[0].text);
    EXPECT_NEAR(1e6, p.noiseBw, 1e-6);
    // The value named is taken.
    UiTest_ClearPopups();
    ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNBW, c.limit));
    EXPECT_TRUE(UiTest_Popups().empty()) << c.limit;
    EXPECT_EQ("", NoiseBandwidthRefusal(p)) << c.limit;
    ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_AWGNBW, "1.0000"));
  }
}

TEST_F(PulseEditorTest, UsageNoteListsTheSequencesOnce) {
  PulseRecord& p = ShowNewPulse("p1");
  EXPECT_EQ("", Text(TAB_PEDIT, TAB_PEDIT_STR_PMSG));
  for (const char* name : {"s1", "s2"}) {
    InitSequenceRecord(&SequenceTable[SequenceCount]);
    SequenceTable[SequenceCount].name = name;
    ++SequenceCount;
  }
  SequenceTable[1].entries[0].pulseId = static_cast<int32_t>(p.id);
  SequenceTable[1].entries[5].pulseId = static_cast<int32_t>(p.id);
  ShowPulseInEditor();
  EXPECT_EQ("Pulse is Currently Used in Sequence(s)", Text(TAB_PEDIT, TAB_PEDIT_STR_PMSG));
  int items = 0;
  GetNumListItems(TAB_PEDIT, TAB_PEDIT_RING_USEDPULSE, &items);
  EXPECT_EQ(1, items);
}

TEST_F(PulseEditorTest, JitterBlockParametersUseTheTargetsUnit) {
  PulseRecord& p = ShowNewPulse("p1");
  p.jitter[0].enabled = 1;
  p.jitter[0].target = 7;        // Delay, shown in us
  p.jitter[0].distribution = 0;  // uniform
  ShowPulseInEditor();
  ASSERT_EQ(1, UiTest_EnterValue(P_JIT, P_JIT_NUM_JITTER_MIN, 1.0));
  EXPECT_NEAR(1e-6, p.jitter[0].p1, 1e-18);
  ShowPulseInEditor();
  EXPECT_NEAR(1.0, Num(P_JIT, P_JIT_NUM_JITTER_MIN), 1e-9);
  EXPECT_EQ(0, Attr(P_JIT, P_JIT_NUM_JITTER_STEP, ATTR_DIMMED));
  EXPECT_EQ(0, Attr(P_JIT, P_JIT_TABLE_JITVAL, ATTR_VISIBLE));

  // A value list: empty cells are skipped; the table ends with one empty row.
  p.jitter[0].target = 2;  // frequency, shown in MHz
  p.jitter[0].distribution = 5;
  ASSERT_TRUE(p.jitter[0].values.Assign({1e6, 2e6}));
  ShowPulseInEditor();
  ASSERT_EQ(3, Rows(P_JIT, P_JIT_TABLE_JITVAL));
  EXPECT_EQ("1.000000", CellText(P_JIT, P_JIT_TABLE_JITVAL, 2, 1));
  EXPECT_EQ("", CellText(P_JIT, P_JIT_TABLE_JITVAL, 2, 3));
  EXPECT_EQ("2", Text(P_JIT, P_JIT_STR_JITPOINTS));
  SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(2, 1), "");
  SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(2, 3), "5");
  ReadPulseFromEditor();
  ASSERT_EQ(2, p.jitter[0].values.count());
  EXPECT_NEAR(2e6, p.jitter[0].values[0], 1e-6);
  EXPECT_NEAR(5e6, p.jitter[0].values[1], 1e-6);
  // Values finer than the shown six decimals survive a show.
  ASSERT_TRUE(p.jitter[0].values.Assign({0.4, 1234567.891}));
  ShowPulseInEditor();
  ShowPulseInEditor();
  ASSERT_EQ(2, p.jitter[0].values.count());
  EXPECT_EQ(0.4, p.jitter[0].values[0]);
  EXPECT_EQ(1234567.891, p.jitter[0].values[1]);
  // A cell that is no finite number keeps the value of its place (0 when new).
  SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(2, 2), "nan");
  SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(2, 3), "1e305");  // 1e311 Hz
  ReadPulseFromEditor();
  ASSERT_EQ(3, p.jitter[0].values.count());
  EXPECT_EQ(1234567.891, p.jitter[0].values[1]);
  EXPECT_EQ(0.0, p.jitter[0].values[2]);
  // A disabled block dims its rings and details.
  p.jitter[0].enabled = 0;
  ShowPulseInEditor();
  EXPECT_EQ(1, Attr(P_JIT, P_JIT_RING_JITTER1_MODE, ATTR_DIMMED));
  EXPECT_EQ(1, Attr(P_JIT, P_JIT_TABLE_JITVAL, ATTR_DIMMED));
}

TEST_F(PulseEditorTest, DiagramsAreRedrawnOnceEachShow) {
  ShowNewPulse("p1");
  ShowPulseInEditor();
  const auto timing = UiTest_GetPlots(P_TIM, P_TIM_GRAPH_BURST);
  const auto marker = UiTest_GetPlots(P_MARKER, P_MARKER_GRAPH_BURST);
  // 5 outline and 2 boundary lines; 5 lines and a label per arrow.
  EXPECT_EQ(7u + 6u * 6u, timing.size());
  EXPECT_EQ(7u + 5u * 6u, marker.size());
  int labels = 0;
  for (const UiTest_Plot& plot : timing)
    if (plot.kind == "text") {
      ++labels;
      EXPECT_EQ(0x406090, plot.color);
      if (plot.text == "PRF/PRI") {
        EXPECT_EQ(10.0, plot.x[0]);
      }
    }
  EXPECT_EQ(6, labels);
}

TEST_F(PulseEditorTest, EnvelopeImportShowsTablesAndClearAsks) {
  PulseRecord& p = ShowNewPulse("p1");
  cz::test::TempDir dir;
  const std::string path = dir.File("iq.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(path, "3 4\n\n0 1\nabc\n"));
  ASSERT_EQ(1, UiTest_ClickCtrl(P_TIM, P_TIM_RADIO_ARBENVEL));
  EXPECT_EQ(0, Attr(T_IMP, T_IMP_CMD_IMPORTARBENV, ATTR_DIMMED));
  EXPECT_EQ(1, Attr(T_IMP, T_IMP_NUM_IMP_COL_ENV_2, ATTR_DIMMED));
  ASSERT_EQ(1, UiTest_ChooseRingIndex(T_IMP, T_IMP_RING_IMPORTMODE, 1));  // I and Q
  EXPECT_EQ(0, Attr(T_IMP, T_IMP_NUM_IMP_COL_ENV_2, ATTR_DIMMED));
  UiTest_QueueFile(path.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_IMPORTARBENV));
  EXPECT_TRUE(StatusShown("Importing I/Q Data."));
  EXPECT_EQ(2, Logged("*** Line 4 ignored."));
  ASSERT_EQ(2, p.envelope.Count());
  EXPECT_EQ(2, Rows(T_IQ, T_IQ_TABLE_ARBENVEL));
  EXPECT_EQ("5.000000", CellText(T_ENV, T_ENV_TABLE_ARBENVEL, 2, 1));  // |3 + 4j|
  EXPECT_EQ("4.000000", CellText(T_IQ, T_IQ_TABLE_ARBENVEL, 3, 1));
  EXPECT_EQ("2", Text(T_VIEW, T_VIEW_STR_ENVPOINTS));
  EXPECT_EQ("1.000", Text(T_VIEW, T_VIEW_STR_ENVMIN));
  EXPECT_EQ("5.000", Text(T_VIEW, T_VIEW_STR_ENVMAX));

  UiTest_QueueConfirm(false);
  EXPECT_EQ(-1, PulseEnvelopeClearCb(T_IMP, T_IMP_CMD_ENV_CLEARALL, EVENT_COMMIT, nullptr, 0, 0));
  EXPECT_EQ(2, p.envelope.Count());
  UiTest_QueueConfirm(true);
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_ENV_CLEARALL));
  EXPECT_EQ(0, p.envelope.Count());
  EXPECT_EQ(0, Rows(T_ENV, T_ENV_TABLE_ARBENVEL));
  EXPECT_EQ("0", Text(T_VIEW, T_VIEW_STR_ENVMAX));
  // Without data the clear asks nothing.
  const std::size_t popups = UiTest_Popups().size();
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_ENV_CLEARALL));
  EXPECT_EQ(popups, UiTest_Popups().size());

  // A file name that does not exist ends the import without a change.
  UiTest_QueueFile(dir.File("missing.txt").c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_IMPORTARBENV));
  EXPECT_FALSE(StatusShown("Cannot Open Input File."));
  EXPECT_EQ(0, p.envelope.Count());
}

TEST_F(PulseEditorTest, NewPulseAndTreeClickShowTheRecord) {
  const int bar = GetPanelMenuBar(PANEL_MAIN);
  ASSERT_EQ(1, UiTest_ChooseMenuItem(bar, MBAR_PULSE_PNEW));
  ASSERT_EQ(1, UiTest_ChooseMenuItem(bar, MBAR_PULSE_PNEW));
  ASSERT_EQ(2, PulseCount);
  EXPECT_EQ(1, GetCurrentPulse());
  EXPECT_EQ(PulseTable[1].name.c_str(), Text(TAB_PEDIT, TAB_PEDIT_STR_NAME));
  EXPECT_NEAR(PulseTable[1].onTime * 1e6, Num(P_TIM, P_TIM_NUM_ON), 1e-9);
  int root = -1, first = -1;
  GetTreeItemFromTag(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, "_PULSELIB", &root);
  GetTreeItemChild(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, root, 0, &first);
  ASSERT_GE(first, 0);
  ASSERT_EQ(1, UiTest_ClickTreeItem(PANEL_MAIN, PANEL_MAIN_TREE_PULSES, first, false));
  EXPECT_EQ(0, GetCurrentPulse());
  EXPECT_EQ(PulseTable[0].name.c_str(), Text(TAB_PEDIT, TAB_PEDIT_STR_NAME));
}

// Every field the editor shows must come back unchanged from the read that
// ends each show: a show is not an edit.
void ExpectSameEditorFields(const PulseRecord& a, const PulseRecord& b) {
  auto near = [](double x, double y) { return std::abs(x - y) <= 1e-12 * std::max(1.0, std::abs(x)); };
  for (auto [x, y] : {std::pair{a.delay, b.delay}, {a.riseTime, b.riseTime}, {a.fallTime, b.fallTime},
                      {a.onTime, b.onTime}, {a.offTime, b.offTime}, {a.prfValue, b.prfValue},
                      {a.attOn, b.attOn}, {a.attOff, b.attOff}, {a.droop, b.droop}, {a.startPhase, b.startPhase},
                      {a.freqOffset, b.freqOffset}, {a.noiseAtt, b.noiseAtt}, {a.noiseBw, b.noiseBw}})
    EXPECT_TRUE(near(x, y)) << x << " != " << y;
  EXPECT_EQ(a.riseEdge, b.riseEdge);
  EXPECT_EQ(a.fallEdge, b.fallEdge);
  EXPECT_EQ(a.prfMode, b.prfMode);
  EXPECT_EQ(a.prfPri, b.prfPri);
  EXPECT_EQ(a.customEnvelopeOn, b.customEnvelopeOn);
  EXPECT_TRUE(a.envelope == b.envelope);
  EXPECT_EQ(a.hidden, b.hidden);
  EXPECT_EQ(a.noiseOn, b.noiseOn);
  EXPECT_EQ(a.relativePhase, b.relativePhase);
  EXPECT_EQ(0, std::memcmp(a.markers, b.markers, sizeof a.markers));
  for (int n = 0; n < kJitterBlocks; ++n) {
    const JitterBlock &x = a.jitter[n], &y = b.jitter[n];
    EXPECT_EQ(x.enabled, y.enabled) << n;
    EXPECT_EQ(x.target, y.target) << n;
    EXPECT_EQ(x.distribution, y.distribution) << n;
    EXPECT_TRUE(near(x.p1, y.p1) && near(x.p2, y.p2) && near(x.p3, y.p3)) << n;
    EXPECT_EQ(x.stairCount, y.stairCount) << n;
    EXPECT_EQ(x.values.vec(), y.values.vec()) << n;
    ASSERT_EQ(x.rules.count(), y.rules.count()) << n;
    for (int k = 0; k < x.rules.count(); ++k)
      EXPECT_STREQ(x.rules[static_cast<std::size_t>(k)].c_str(), y.rules[static_cast<std::size_t>(k)].c_str());
  }
  EXPECT_STREQ(a.name.c_str(), b.name.c_str());
  EXPECT_STREQ(a.comment.c_str(), b.comment.c_str());
}

TEST_F(PulseEditorTest, ShowingAPulseChangesNoneOfItsFields) {
  PulseRecord& p = ShowNewPulse("round trip");
  p.comment = "two\nlines";
  p.delay = 1.5, p.riseTime = 2.5e-3, p.onTime = 7.25e-7, p.fallTime = 3e-9, p.offTime = 0.0;
  p.riseEdge = 1, p.fallEdge = 2, p.customEnvelopeOn = 1;
  ASSERT_TRUE(p.envelope.SetIq({0.1, 0.2}, {0.3, 0.4}));
  p.attOn = 3.25, p.attOff = 120.5, p.droop = -12.5, p.startPhase = -45.0, p.relativePhase = 1;
  p.freqOffset = -123456.0, p.noiseOn = 1, p.noiseAtt = 33.3, p.noiseBw = 2.5e6, p.hidden = 1;
  p.markers[1][MARKER_DELAY] = 1, p.markers[3][MARKER_OFF] = 1;
  p.jitter[0].enabled = 1, p.jitter[0].target = 11, p.jitter[0].distribution = kJitterDistRules;
  ASSERT_TRUE(p.jitter[0].rules.Assign({JitterRule("rule one"), JitterRule("x = 2")}));
  p.jitter[1].enabled = 1, p.jitter[1].target = 4, p.jitter[1].distribution = 1;
  p.jitter[1].p1 = 2e6, p.jitter[1].p2 = 5e5, p.jitter[1].p3 = 1e6;
  p.jitter[2].target = 6, p.jitter[2].distribution = 6;
  ASSERT_TRUE(p.jitter[2].values.Assign({1e-4, 2.5e-4}));
  // With the off time given, the PRF shown is derived from the times.
  p.prfValue = 1.0 / (p.delay + p.riseTime + p.onTime + p.fallTime + p.offTime);
  const PulseRecord before = p;
  ShowPulseInEditor();
  ExpectSameEditorFields(before, p);

  // The same with the repetition given as a PRI, and each block selected.
  p.prfMode = 1, p.prfPri = 1, p.prfValue = 4.0;  // 4 s
  p.offTime = 4.0 - (p.delay + p.riseTime + p.onTime + p.fallTime);
  for (int block = 0; block < kJitterBlocks; ++block) {
    for (int n = 0; n < kJitterBlocks; ++n)
      SetCtrlVal(P_JIT, JitterControlTable[JITTER_CTL_SELECT][n], n == block ? 1 : 0);
    const PulseRecord shown = p;
    ShowPulseInEditor();
    ExpectSameEditorFields(shown, p);
  }
}

}  // namespace

namespace {

// Envelope pages of the pulse editor as the user sees them after edits that
// leave the envelope alone, after edits of the envelope and after another
// pulse was shown in between: the texts are "%7.6f" of the record's values.
class EnvelopePagesTest : public PulseEditorTest {
 protected:
  void ExpectPagesShow(const PulseRecord& p) {
    const PulseEnvelope& env = p.envelope;
    ASSERT_EQ(env.Count(), Rows(T_ENV, T_ENV_TABLE_ARBENVEL));
    ASSERT_EQ(env.HasQ() ? env.Count() : 0, Rows(T_IQ, T_IQ_TABLE_ARBENVEL));
    for (int k = 0; k < env.Count(); ++k) {
      const double i = env.Values()[static_cast<std::size_t>(k)];
      const double q = env.HasQ() ? env.QValues()[static_cast<std::size_t>(k)] : 0.0;
      EXPECT_EQ(cz::FormatC("%7.6f", env.HasQ() ? std::sqrt(i * i + q * q) : i),
                CellText(T_ENV, T_ENV_TABLE_ARBENVEL, 2, k + 1)) << k;
      if (!env.HasQ()) continue;
      EXPECT_EQ(cz::FormatC("%7.6f", i), CellText(T_IQ, T_IQ_TABLE_ARBENVEL, 2, k + 1)) << k;
      EXPECT_EQ(cz::FormatC("%7.6f", q), CellText(T_IQ, T_IQ_TABLE_ARBENVEL, 3, k + 1)) << k;
    }
    EXPECT_EQ(std::to_string(env.Count()), Text(T_VIEW, T_VIEW_STR_ENVPOINTS));
  }
};

TEST_F(EnvelopePagesTest, TablesFollowTheEnvelopeThroughEditsAndOtherPulses) {
  // Values whose sixth decimal is a tie, negative zero, tiny and large ones.
  PulseRecord& a = ShowNewPulse("a");
  a.customEnvelopeOn = 1;
  ASSERT_TRUE(a.envelope.SetIq({0.0078125, -0.0, 1e-7, -1e-7, 123456.5e-6, -2.5, 1e12},
                               {0.5, 0.0000005, -0.0078125, 3.0, 0.25, -1e-9, 7.0}));
  ShowPulseInEditor();
  ExpectPagesShow(a);

  // Edits of other fields keep what the pages show.
  ASSERT_EQ(1, UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_COMMENT, "note"));
  ASSERT_EQ(1, UiTest_EnterValue(P_MISC, P_MISC_NUM_LEVEL, -3.0));
  ExpectPagesShow(a);

  // A changed envelope of the same length is shown anew, down to a zero
  // that changed its sign.
  a.envelope.MutableQValues()[2] = 0.75;
  ShowPulseInEditor();
  ExpectPagesShow(a);
  a.envelope.MutableValues()[1] = 0.0;
  ShowPulseInEditor();
  ExpectPagesShow(a);

  // Another pulse with levels only, then the first one again; then the first
  // one's data cleared through its button.
  PulseRecord& b = ShowNewPulse("b");
  b.customEnvelopeOn = 1;
  ASSERT_TRUE(b.envelope.SetLevels({0.1, 0.2, 0.3}));
  ShowPulseInEditor();
  ExpectPagesShow(b);
  SetCurrentPulse(0);
  ShowPulseInEditor();
  ExpectPagesShow(PulseTable[0]);
  UiTest_QueueConfirm(true);
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_ENV_CLEARALL));
  EXPECT_TRUE(PulseTable[0].envelope.Empty());
  ExpectPagesShow(PulseTable[0]);
  EXPECT_EQ("0", Text(T_VIEW, T_VIEW_STR_ENVMAX));
}

}  // namespace
