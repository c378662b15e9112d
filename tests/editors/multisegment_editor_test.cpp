// The multi-segment editor on the Multi Segment page, driven offscreen as a
// user would: the record shown in the header and the 64 rows, table edits
// stored back into the record, new/delete/move of segments, the sequencing
// mode and its dimming, and Generate with Stop and with a lost instrument
// against the simulated instrument (127.0.0.1).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Progress.h"
#include "editors/MultiSegmentEditor.h"
#include "engine/EngineHost.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/MultiSegment.h"
#include "instrument/VisaDev.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"
#include "ui/main/MultiSegmentPage.h"
#include "wavelib/WaveLib.h"

namespace {

std::vector<std::string> g_log;
std::vector<std::string> g_status;
bool g_stopOnTransfer = false;
// The user presses Stop once when a log line holding this text appears.
std::string g_stopAtLine;

void OnLog(const char* text) {
  g_log.emplace_back(text);
  if (!g_stopAtLine.empty() && std::string(text).find(g_stopAtLine) != std::string::npos) {
    g_stopAtLine.clear();
    UiTest_ClickCtrl(TAB_MSEG, TAB_MSEG_CMD_STOP);
  }
  // The user presses Stop while the first segment is being transferred.
  if (g_stopOnTransfer && std::string(text).find("File transfer to instrument") != std::string::npos) {
    g_stopOnTransfer = false;
    UiTest_ClickCtrl(TAB_MSEG, TAB_MSEG_CMD_STOP);
  }
}
void OnStatus(const char* text) { g_status.emplace_back(text); }

bool Logged(const std::string& part) {
  for (const std::string& l : g_log)
    if (l.find(part) != std::string::npos) return true;
  return false;
}
bool StatusWas(const std::string& text) {
  for (const std::string& s : g_status)
    if (s == text) return true;
  return false;
}

class MultiSegmentEditorTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    ResetProject();
    ResetInstrumentCapabilities();
    InstrumentCapabilities.MultiSegment = 1;
    panel_ = BuildMultiSegmentPanel(0);
    ASSERT_GT(panel_, 0);
    TAB_MSEG = panel_;
    InitMultiSegmentPage();
    g_log.clear();
    g_status.clear();
    Log_SetLogSink(OnLog);
    Log_SetStatusSink(OnStatus);
    AddSequence("Alpha");
    AddSequence("Beta");
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    DiscardPanel(panel_);
    TAB_MSEG = 0;
    CurrentMultiSegment = -1;
    ResetProject();
    OffscreenAppTest::TearDown();
  }
  static SequenceRecord& AddSequence(const char* name) {
    SequenceRecord& s = SequenceTable[SequenceCount];
    InitSequenceRecord(&s);
    ++SequenceCount;
    s.name = name;
    return s;
  }
  // A waveform of sequence Alpha, a blank filler ending at 25 us and Beta.
  static MultiSegmentRecord& AddWaveform() {
    MultiSegmentRecord& m = MultiSegmentTable[MultiSegmentCount];
    InitMultiSegmentRecord(&m);
    ++MultiSegmentCount;
    m.name = "MSW";
    m.clock = 100e6;
    m.segments[0].sequenceId = static_cast<int32_t>(SequenceTable[0].id);
    m.segments[0].repetition = "3";
    m.segments[1].type = SEGMENT_BLANK;
    m.segments[1].sequenceId = 0;
    m.segments[1].stopTime = 25e-6;
    m.segments[2].sequenceId = static_cast<int32_t>(SequenceTable[1].id);
    return m;
  }
  std::string CellText(int column, int row) const {
    char text[256] = {};
    GetTableCellVal(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(column, row), text, sizeof text);
    return text;
  }
  int CellAttr(int column, int row, int attr) const {
    int v = -1;
    GetTableCellAttribute(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(column, row), attr, &v);
    return v;
  }
  int Dimmed(int control) const {
    int v = -1;
    GetCtrlAttribute(panel_, control, ATTR_DIMMED, &v);
    return v;
  }
  static std::vector<int32_t> SequenceIds(const MultiSegmentRecord& m) {
    std::vector<int32_t> ids;
    for (int i = 0; i < m.SegmentsInUse(); ++i) ids.push_back(m.segments[i].type == SEGMENT_BLANK ? 0 : m.segments[i].sequenceId);
    return ids;
  }

  int panel_ = 0;
};

TEST_F(MultiSegmentEditorTest, PageAsBuiltBeforeStartUp) {
  const int page = BuildMultiSegmentPanel(0);
  ASSERT_GT(page, 0);
  int rows = -1, columns = -1, trigger = 0, seqMode = 0, dimmed = 0;
  GetNumTableRows(page, TAB_MSEG_TABLE_SETTINGS, &rows);
  GetNumTableColumns(page, TAB_MSEG_TABLE_SETTINGS, &columns);
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(columns, 6);
  char label[64] = {};
  GetTableColumnAttribute(page, TAB_MSEG_TABLE_SETTINGS, 3, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, "Sequence   ");
  GetCtrlVal(page, TAB_MSEG_RING_TRGMODE, &trigger);
  GetCtrlVal(page, TAB_MSEG_RING_SEQMODE, &seqMode);
  EXPECT_EQ(trigger, 2);  // "Single"
  EXPECT_EQ(seqMode, 1);
  for (int control : {TAB_MSEG_NUM_ARBCLK, TAB_MSEG_CMD_STOP}) {
    GetCtrlAttribute(page, control, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 1);
  }
  int next = -1;
  UiTest_EnterValue(page, TAB_MSEG_NUM_NEXTSEG, 5000);
  GetCtrlVal(page, TAB_MSEG_NUM_NEXTSEG, &next);
  EXPECT_EQ(next, 2048);
  DiscardPanel(page);
}

TEST_F(MultiSegmentEditorTest, ShowWritesHeaderAndRows) {
  MultiSegmentRecord& m = AddWaveform();
  m.clock = 25e6;
  m.segments[3].sequenceId = 40;  // no longer in the library
  ShowMultiSegment(0);
  EXPECT_EQ(CurrentMultiSegment, 0);
  double mhz = 0.0;
  GetCtrlVal(panel_, TAB_MSEG_NUM_ARBCLK, &mhz);
  EXPECT_DOUBLE_EQ(mhz, 25.0);
  int trigger = 0;
  GetCtrlVal(panel_, TAB_MSEG_RING_TRGMODE, &trigger);
  EXPECT_EQ(trigger, 2);

  int rows = 0;
  GetNumTableRows(panel_, TAB_MSEG_TABLE_SETTINGS, &rows);
  EXPECT_EQ(rows, 64);
  EXPECT_EQ(CellText(1, 1), "0");
  EXPECT_EQ(CellText(3, 1), "Alpha");
  EXPECT_EQ(CellText(2, 1), "3");
  EXPECT_EQ(CellAttr(2, 1, ATTR_TEXT_COLOR), kMswGreyText);  // regular mode
  EXPECT_EQ(CellText(4, 1), "---");
  // The blank filler: its length as Tstop (black), repetition grey.
  EXPECT_EQ(CellText(3, 2), kMswBlankLabel);
  EXPECT_EQ(CellText(5, 2), "0.00");
  EXPECT_EQ(CellText(6, 2), "25.00");
  EXPECT_EQ(CellAttr(6, 2, ATTR_TEXT_COLOR), kMswBlackText);
  EXPECT_EQ(CellAttr(6, 1, ATTR_TEXT_COLOR), kMswGreyText);
  EXPECT_EQ(CellText(3, 4), "???");
  EXPECT_EQ(CellText(1, 64), "");
  EXPECT_EQ(CellAttr(1, 64, ATTR_CELL_DIMMED), 1);
  EXPECT_EQ(CellAttr(1, 5, ATTR_CELL_DIMMED), 1);

  HighlightMultiSegmentRow(2);
  EXPECT_EQ(CellAttr(4, 2, ATTR_TEXT_BGCOLOR), kMswHighlightColor);
  EXPECT_EQ(CellAttr(4, 1, ATTR_TEXT_BGCOLOR), kMswRowColor);
}

TEST_F(MultiSegmentEditorTest, TableEditsAreStoredInTheRecord) {
  MultiSegmentRecord& m = AddWaveform();
  const int table = TAB_MSEG_TABLE_SETTINGS;
  ShowMultiSegment(0);
  // Regular mode: only the sequence can be chosen. An edited cell is taken
  // over when the user clicks the next cell.
  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(2, 1), false), 1);
  EXPECT_EQ(CellAttr(2, 1, ATTR_CELL_MODE), VAL_INDICATOR);
  UiTest_ClickTableCell(panel_, table, Cell(3, 1), false);
  EXPECT_EQ(CellAttr(3, 1, ATTR_CELL_TYPE), VAL_CELL_RING);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel_, table, Cell(3, 1), 2), 1);  // "Beta"
  UiTest_ClickTableCell(panel_, table, Cell(1, 1), false);
  EXPECT_EQ(m.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  EXPECT_EQ(CellText(3, 1), "Beta");
  EXPECT_EQ(CellAttr(3, 1, ATTR_CELL_TYPE), VAL_CELL_STRING);
  UiTest_ClickTableCell(panel_, table, Cell(3, 3), false);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel_, table, Cell(3, 3), 0), 1);  // blank filler
  UiTest_ClickTableCell(panel_, table, Cell(1, 2), false);
  EXPECT_EQ(m.segments[2].type, SEGMENT_BLANK);
  EXPECT_EQ(m.segments[2].sequenceId, 0);

  // Sequencer mode: repetition texts and blank lengths too.
  m.sequencerMode = 1;
  ShowMultiSegment(0);
  EXPECT_EQ(CellAttr(2, 1, ATTR_TEXT_COLOR), kMswBlackText);
  UiTest_ClickTableCell(panel_, table, Cell(2, 1), false);
  EXPECT_EQ(CellAttr(2, 1, ATTR_CELL_MODE), VAL_HOT);
  UiTest_CommitTableCell(panel_, table, Cell(2, 1), "");
  UiTest_ClickTableCell(panel_, table, Cell(1, 1), false);
  EXPECT_STREQ(m.segments[0].repetition.c_str(), "1");
  for (const char* refused : {"0", "-4", "abc", "inf"}) {
    UiTest_ClickTableCell(panel_, table, Cell(6, 2), false);
    UiTest_CommitTableCell(panel_, table, Cell(6, 2), refused);
    UiTest_ClickTableCell(panel_, table, Cell(1, 1), false);
    EXPECT_DOUBLE_EQ(m.segments[1].stopTime, 25e-6) << refused;
  }
  UiTest_ClickTableCell(panel_, table, Cell(6, 2), false);
  EXPECT_EQ(CellText(6, 2), "25.00");
  UiTest_CommitTableCell(panel_, table, Cell(6, 2), "12.345");
  UiTest_ClickTableCell(panel_, table, Cell(1, 1), false);
  EXPECT_DOUBLE_EQ(m.segments[1].stopTime, 12.345e-6);
  // A sequence row's Tstop ("0.00") is refused when it is taken over.
  UiTest_ClickTableCell(panel_, table, Cell(6, 1), false);
  UiTest_ClickTableCell(panel_, table, Cell(1, 2), false);
  EXPECT_DOUBLE_EQ(m.segments[0].stopTime, 0.0);
  // Free slots take no edit: the list stays without gaps.
  EXPECT_EQ(MswCommitCell(&m, 3, 10, "Alpha"), 1);
  EXPECT_TRUE(m.segments[9].IsFree());
}

// A cell clicked and left without an edit leaves the record exactly as it
// was: a blank length with more digits than the cell shows, a sequence bound
// to the second of two sequences that share a name, a repetition text.
TEST_F(MultiSegmentEditorTest, AClickWithoutAnEditChangesNothing) {
  MultiSegmentRecord& m = AddWaveform();
  SequenceRecord& twin = AddSequence("Beta");  // a second "Beta"
  m.segments[1].stopTime = 123.456e-6;
  m.segments[2].sequenceId = static_cast<int32_t>(twin.id);
  m.sequencerMode = 1;
  ShowMultiSegment(0);
  const int table = TAB_MSEG_TABLE_SETTINGS;
  const auto click = [&](int column, int row) {
    ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(column, row), false), 1);
  };
  click(6, 2);
  EXPECT_EQ(CellText(6, 2), "123.46");
  click(1, 1);
  EXPECT_DOUBLE_EQ(m.segments[1].stopTime, 123.456e-6);
  click(6, 2);
  ASSERT_EQ(UiTest_TypeTableCell(panel_, table, Cell(6, 2), "123.46"), 1);  // the shown text, confirmed
  click(1, 1);
  EXPECT_DOUBLE_EQ(m.segments[1].stopTime, 123.456e-6);

  click(3, 3);
  EXPECT_EQ(CellText(3, 3), "Beta");
  click(2, 3);
  EXPECT_EQ(m.segments[2].sequenceId, static_cast<int32_t>(twin.id));
  click(1, 1);
  EXPECT_STREQ(m.segments[2].repetition.c_str(), "1");
  EXPECT_EQ(m.segments[2].sequenceId, static_cast<int32_t>(twin.id));

  // An edit is still stored with every digit typed.
  click(6, 2);
  ASSERT_EQ(UiTest_TypeTableCell(panel_, table, Cell(6, 2), "98.7654"), 1);
  EXPECT_DOUBLE_EQ(m.segments[1].stopTime, 98.7654e-6);
  // Regular mode: the length cell takes no edit, and a click leaves it.
  m.sequencerMode = 0;
  m.segments[1].stopTime = 123.456e-6;
  ShowMultiSegment(0);
  click(6, 2);
  click(1, 1);
  EXPECT_DOUBLE_EQ(m.segments[1].stopTime, 123.456e-6);
}

TEST_F(MultiSegmentEditorTest, NewDeleteAndMoveKeepTheListDense) {
  MultiSegmentRecord& m = AddWaveform();
  const int32_t a = static_cast<int32_t>(SequenceTable[0].id), b = static_cast<int32_t>(SequenceTable[1].id);
  ShowMultiSegment(0);
  SetActiveTableCell(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(3, 2));
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_NEW);
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{a, 0, 0, b}));
  SetActiveTableCell(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(3, 40));
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_NEW);  // no active segment row: copy of the last
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{a, 0, 0, b, b}));
  SetActiveTableCell(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(3, 4));
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_UP);
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{a, 0, b, 0, b}));
  EXPECT_EQ(m.segments[3].type, SEGMENT_BLANK);  // the filler stays a filler
  SetActiveTableCell(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(3, 5));
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_DOWN);  // nothing below
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_DEL);
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{a, 0, b, 0}));
  SetActiveTableCell(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(3, 1));
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_DOWN);
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{0, a, b, 0}));

  // A full waveform takes no more; deleting row 64 leaves 63.
  for (int i = 0; i < kMaxSegments; ++i) m.segments[i] = m.segments[0];
  EXPECT_EQ(MswDuplicateSegment(&m, 1), 0);
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_NEW);
  EXPECT_TRUE(StatusWas("Maximum number of entries reached."));
  EXPECT_EQ(MswDeleteSegment(&m, 64), 1);
  EXPECT_EQ(m.SegmentsInUse(), 63);

  // An empty waveform starts with the first library sequence, or asks for one.
  for (MultiSegmentEntry& e : m.segments) e = MultiSegmentEntry{};
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_NEW);
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{a}));
  m.segments[0] = MultiSegmentEntry{};
  SequenceCount = 0;
  UiTest_QueueMessageOk();
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_FALSE(UiTest_Popups().empty());
  EXPECT_EQ(UiTest_Popups().back().title, "Error");
  EXPECT_EQ(UiTest_Popups().back().text, "No sequences defined yet.");
}

// The Delete key in the table: on a cell that takes no edit it asks first,
// naming the segment as the table numbers it, and No keeps it; in a Rep.
// cell opened by a click it edits the cell.
TEST_F(MultiSegmentEditorTest, TheDeleteKeyAsksBeforeASegmentGoes) {
  MultiSegmentRecord& m = AddWaveform();
  m.sequencerMode = 1;  // the Rep. cells take edits
  const int32_t a = static_cast<int32_t>(SequenceTable[0].id), b = static_cast<int32_t>(SequenceTable[1].id);
  ShowMultiSegment(0);
  const struct {
    int column, row;
    bool click;
    int answer;  // -1: no question
    const char* question;
    std::vector<int32_t> after;
  } steps[] = {
      {MSW_COL_SAMPLES, 2, false, 0, "Are you sure you want to delete the segment 1 'blank filler' ?", {a, 0, b}},
      {MSW_COL_SAMPLES, 2, true, 1, "Are you sure you want to delete the segment 1 'blank filler' ?", {a, b}},
      {MSW_COL_TSTART, 1, false, 1, "Are you sure you want to delete the segment 0 'Alpha' ?", {b}},
      {MSW_COL_REP, 1, true, -1, nullptr, {b}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.row);
    UiTest_ClearPopups();
    if (step.click) {
      ASSERT_EQ(UiTest_ClickTableCell(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(step.column, step.row), false), 1);
    } else {
      SetActiveTableCell(panel_, TAB_MSEG_TABLE_SETTINGS, Cell(step.column, step.row));
    }
    if (step.answer >= 0) UiTest_QueueConfirm(step.answer == 1);
    EXPECT_EQ(UiTest_PressKey(panel_, TAB_MSEG_TABLE_SETTINGS, UITEST_KEY_DELETE), 1);
    ASSERT_EQ(UiTest_Popups().size(), step.question ? 1u : 0u);
    if (step.question) {
      EXPECT_EQ(UiTest_Popups()[0].text, step.question);
    }
    EXPECT_EQ(SequenceIds(m), step.after);
  }
  // The Rep. cell is open for typing, cleared; the record keeps "1" until a commit.
  const auto* view = qobject_cast<QAbstractItemView*>(UiTest_Widget(panel_, TAB_MSEG_TABLE_SETTINGS));
  ASSERT_NE(view, nullptr);
  const auto* edit = qobject_cast<const QLineEdit*>(view->indexWidget(view->model()->index(0, MSW_COL_REP - 1)));
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_EQ(m.segments[0].repetition.str(), "1");
}

// A repetition still being typed in (no Return) when a segment button is
// pressed belongs to the segment the user typed it for: it is stored there
// before the button moves or deletes segments, and never lands on the
// segment that takes the row afterwards.
TEST_F(MultiSegmentEditorTest, ARepetitionBeingTypedStaysWithItsSegmentWhenAButtonMovesIt) {
  MultiSegmentRecord& m = AddWaveform();
  m.sequencerMode = 1;
  const int32_t a = static_cast<int32_t>(SequenceTable[0].id), b = static_cast<int32_t>(SequenceTable[1].id);
  ShowMultiSegment(0);
  const int table = TAB_MSEG_TABLE_SETTINGS;
  auto* view = qobject_cast<QAbstractItemView*>(UiTest_Widget(panel_, table));
  ASSERT_NE(view, nullptr);
  view->resize(600, 400);
  // Types text into the repetition cell of row without confirming it.
  const auto typeWithoutReturn = [&](int row, const char* text) {
    ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(MSW_COL_REP, row), false), 1);
    const QModelIndex index = view->model()->index(row - 1, MSW_COL_REP - 1);
    view->setCurrentIndex(index);
    view->edit(index);
    auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(index));
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromUtf8(text));
  };

  typeWithoutReturn(3, "9");
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_UP), 1);
  QApplication::processEvents();
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{a, b, 0}));
  EXPECT_STREQ(m.segments[1].repetition.c_str(), "9");  // Beta, now row 2
  // A later click elsewhere stores nothing more into the segment now on row 3.
  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(1, 1), false), 1);
  QApplication::processEvents();
  EXPECT_EQ(m.segments[2].type, SEGMENT_BLANK);
  EXPECT_STREQ(m.segments[1].repetition.c_str(), "9");
  EXPECT_STREQ(m.segments[0].repetition.c_str(), "3");
  EXPECT_EQ(CellText(MSW_COL_REP, 2), "9");

  typeWithoutReturn(1, "4");
  SetActiveTableCell(panel_, table, Cell(MSW_COL_REP, 1));
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_SENTRY_DEL), 1);
  QApplication::processEvents();
  EXPECT_EQ(SequenceIds(m), (std::vector<int32_t>{b, 0}));
  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(1, 2), false), 1);
  QApplication::processEvents();
  EXPECT_STREQ(m.segments[0].repetition.c_str(), "9");
}

// A segment whose sequence the library does not hold shows "???". Opening
// its Sequence ring and leaving it without a choice changes nothing: the
// segment is not turned into a blank filler.
TEST_F(MultiSegmentEditorTest, LeavingTheRingOfAMissingSequenceKeepsTheSegment) {
  MultiSegmentRecord& m = AddWaveform();
  m.segments[0].sequenceId = 77;  // no such sequence
  m.segments[2].type = SEGMENT_UNKNOWN;
  m.segments[2].sequenceId = 78;
  ShowMultiSegment(0);
  const int table = TAB_MSEG_TABLE_SETTINGS;
  EXPECT_EQ(CellText(MSW_COL_SEQUENCE, 1), "???");
  EXPECT_EQ(CellText(MSW_COL_SEQUENCE, 3), "???");
  for (int row : {1, 3}) {
    ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(MSW_COL_SEQUENCE, row), false), 1);
    ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(MSW_COL_NO, 2), false), 1);
  }
  EXPECT_EQ(m.segments[0].type, SEGMENT_SEQUENCE);
  EXPECT_EQ(m.segments[0].sequenceId, 77);
  EXPECT_EQ(m.segments[2].type, SEGMENT_UNKNOWN);
  EXPECT_EQ(m.segments[2].sequenceId, 78);
  EXPECT_EQ(CellText(MSW_COL_SEQUENCE, 1), "???");
  EXPECT_EQ(CellText(MSW_COL_SEQUENCE, 3), "???");

  // A choice made in that ring is stored as usual.
  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(MSW_COL_SEQUENCE, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel_, table, Cell(MSW_COL_SEQUENCE, 1), 2), 1);  // "Beta"
  EXPECT_EQ(m.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(MSW_COL_SEQUENCE, 3), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel_, table, Cell(MSW_COL_SEQUENCE, 3), 0), 1);  // blank
  EXPECT_EQ(m.segments[2].type, SEGMENT_BLANK);
}

TEST_F(MultiSegmentEditorTest, HeaderCommitsAndSequencerModeDimming) {
  MultiSegmentRecord& m = AddWaveform();
  ShowMultiSegment(0);
  EXPECT_EQ(Dimmed(TAB_MSEG_NUM_ARBCLK), 1);
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_STOP), 1);
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_GENERATE), 0);
  UiTest_EnterValue(panel_, TAB_MSEG_STR_NAME, "Scan pattern");
  EXPECT_STREQ(m.name.c_str(), "Scan pattern");
  UiTest_EnterValue(panel_, TAB_MSEG_STR_MSNAME, "");
  EXPECT_TRUE(m.targetName.empty());
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_GENERATE), 1);  // no target name

  UiTest_ChooseRingIndex(panel_, TAB_MSEG_RING_SEQMODE, 1);  // "Sequencer"
  EXPECT_EQ(m.sequencerMode, 1);
  EXPECT_EQ(m.clockMode, 3);
  EXPECT_EQ(m.extTriggerMode, 2);
  EXPECT_EQ(m.triggerSource, 1);
  EXPECT_EQ(Dimmed(TAB_MSEG_NUM_ARBCLK), 0);
  EXPECT_EQ(Dimmed(TAB_MSEG_RING_SEQLAST), 0);
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_SET), 1);
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_TRIG), 1);
  UiTest_EnterValue(panel_, TAB_MSEG_NUM_ARBCLK, 12.5);
  EXPECT_DOUBLE_EQ(m.clock, 12.5e6);
}

// A name longer than the record's 63 bytes is refused, never cut: the
// field shows the stored name after the commit, not the text typed.
TEST_F(MultiSegmentEditorTest, ANameTooLongForItsFieldIsRefused) {
  MultiSegmentRecord& m = AddWaveform();
  ShowMultiSegment(0);
  const std::string typed = std::string(62, 'x') + "\xC3\xA9";  // 64 bytes
  ASSERT_EQ(UiTest_EnterValue(panel_, TAB_MSEG_STR_NAME, typed.c_str()), 1);
  EXPECT_EQ(m.name.str(), "MSW");
  char shown[256] = "";
  GetCtrlVal(panel_, TAB_MSEG_STR_NAME, shown, sizeof shown);
  EXPECT_EQ(std::string(shown), "MSW");
}

// The comment box shows the comment of the waveform shown, whole and once:
// switching between two waveforms, committing header fields again and again
// (a build commits the clock at its end) and typing two lines leave each
// record with its own comment, never the other's or a repeated one.
TEST_F(MultiSegmentEditorTest, TheCommentStaysAsTypedAcrossShowsAndCommits) {
  MultiSegmentRecord& first = AddWaveform();
  MultiSegmentRecord& second = AddWaveform();
  first.comment = "search";
  second.comment = "track";
  auto shown = [this] {
    char text[1024] = "";
    GetCtrlVal(panel_, TAB_MSEG_STR_COMMENT, text, sizeof text);
    return std::string(text);
  };
  ShowMultiSegment(0);
  ShowMultiSegment(1);
  EXPECT_EQ(shown(), "track");
  for (int k = 0; k < 3; ++k)
    ASSERT_EQ(MultiSegmentSettingsCb(panel_, TAB_MSEG_NUM_ARBCLK, EVENT_COMMIT, nullptr, 0, 0), 0);
  ASSERT_EQ(UiTest_EnterValue(panel_, TAB_MSEG_NUM_DELAY, 4.0), 1);
  EXPECT_EQ(second.comment.str(), "track");
  EXPECT_EQ(shown(), "track");
  ASSERT_EQ(UiTest_EnterValue(panel_, TAB_MSEG_STR_COMMENT, "track\nwhile scanning"), 1);
  ASSERT_EQ(MultiSegmentSettingsCb(panel_, TAB_MSEG_NUM_ARBCLK, EVENT_COMMIT, nullptr, 0, 0), 0);
  EXPECT_EQ(second.comment.str(), "track\nwhile scanning");
  EXPECT_EQ(shown(), "track\nwhile scanning");
  ShowMultiSegment(0);
  ASSERT_EQ(MultiSegmentSettingsCb(panel_, TAB_MSEG_NUM_ARBCLK, EVENT_COMMIT, nullptr, 0, 0), 0);
  EXPECT_EQ(first.comment.str(), "search");
  EXPECT_EQ(shown(), "search");
  EXPECT_EQ(second.comment.str(), "track\nwhile scanning");
}

class MultiSegmentGenerateTest : public MultiSegmentEditorTest {
 protected:
  void SetUp() override {
    MultiSegmentEditorTest::SetUp();
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    char visaError[256];
    ASSERT_EQ(VisaDev_Init(visaError, sizeof visaError), 1);
    ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    InstrumentCapabilities.Type = INSTR_KALDRA;
    InstrumentCapabilities.MaxClock = 600000000;
    ASSERT_TRUE(sim_.Start()) << sim_.Error();
    g_Settings.Select = sim_.SocketResource();
    PulseRecord& p = PulseTable[PulseCount];
    InitPulseRecord(&p);
    ++PulseCount;
    p.onTime = 2e-6;
    p.offTime = 4e-6;
    for (int s = 0; s < 2; ++s) {
      SequenceTable[s].entries[0].pulseId = static_cast<int32_t>(p.id);
      SequenceTable[s].entries[0].repetitions = 100;
      ASSERT_TRUE(SequenceTable[s].waveFile.AssignExact(dir_.File(s == 0 ? "a.wv" : "b.wv")));
    }
  }
  void TearDown() override {
    g_stopOnTransfer = false;
    VisaDev_CloseAll();
    MultiSegmentEditorTest::TearDown();
  }
  int AppendedSegments() const {
    int n = 0;
    for (const std::string& l : sim_.Received()) n += l.rfind("SOUR:BB:ARB:WSEG:CONF:SEGM:APP", 0) == 0;
    return n;
  }
  cz::test::SimFixture sim_;
  cz::test::TempDir dir_;
};

// Yes to the abort question after a segment was appended: a user break,
// not a waveform assembled from the segments so far.
TEST_F(MultiSegmentGenerateTest, StopAfterTheFirstSegmentEndsAsAUserBreak) {
  MultiSegmentRecord& m = AddWaveform();
  m.segments[1] = m.segments[0];
  ShowMultiSegment(0);
  g_stopOnTransfer = true;
  UiTest_QueueConfirm(true);
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  ASSERT_EQ(UiTest_Popups().size(), 1u) << "no failure popup";
  EXPECT_EQ(UiTest_Popups()[0].title, "Abort MSW Creation ?");
  EXPECT_EQ(UiTest_Popups()[0].text, "Do you really want to abort\nthe pulse creation process ?");
  EXPECT_TRUE(Logged(" *** User break for MSW 'MSW'"));
  EXPECT_EQ(g_status.back(), "User break");
  EXPECT_FALSE(StatusWas("Done."));
  EXPECT_EQ(AppendedSegments(), 1);
  for (const std::string& l : sim_.Received())
    for (const char* after : {"WSEG:CLO", "ARB:STAT ON"}) EXPECT_EQ(l.find(after), std::string::npos) << l;
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_STOP), 1);
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_GENERATE), 0);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
}

// Three sequence segments, built with the main window's hosts (the bars
// shown by each segment's build and upload, the Sequence Editor's Stop
// polled by the sample loop). A Stop press on the Multi Segment page at any
// stage reaches the question before the next segment; Yes ends the build as
// a user break, every segment that was started uploaded and appended whole
// and nothing assembled.
TEST_F(MultiSegmentGenerateTest, StopIsAnsweredAtEveryStageOfASegment) {
  SequenceTable[2] = SequenceTable[1];
  SequenceTable[2].id = SequenceTable[1].id + 100;
  ASSERT_TRUE(SequenceTable[2].waveFile.AssignExact(dir_.File("c.wv")));
  ++SequenceCount;
  EngineHost windowHost = MainWindowEngineHost();
  // Every poll of the sample loop is due, however fast the build runs.
  windowHost.nowSeconds = [] {
    static double now = 0.0;
    return now += 1.0;
  };
  SetEngineHost(&windowHost);
  EngineBuildHost buildHost;
  buildHost.showProgressBars = ShowProgressBars;
  SetEngineBuildHost(&buildHost);
  struct Stage {
    const char* line;  // the log line at which Stop is pressed
    int appended;      // segments appended when the build ends
  };
  const Stage stages[] = {
      {"Resetting All Jitters.", 1},               // while the first segment is built
      {"File transfer to instrument", 1},          // while it is uploaded
      {"SOUR:BB:ARB:WSEG:CONF:SEGM:APP", 1},      // after it was appended, before the next
  };
  for (const Stage& stage : stages) {
    SCOPED_TRACE(stage.line);
    MultiSegmentCount = 0;
    MultiSegmentRecord& m = AddWaveform();
    m.segments[1] = m.segments[0];
    m.segments[1].sequenceId = static_cast<int32_t>(SequenceTable[1].id);
    m.segments[2].sequenceId = static_cast<int32_t>(SequenceTable[2].id);
    m.segments[2].type = m.segments[0].type;
    ShowMultiSegment(0);
    const std::size_t before = sim_.Received().size();
    g_log.clear();
    g_status.clear();
    UiTest_ClearPopups();
    g_stopAtLine = stage.line;
    // The first segment's file, left on the instrument by the break before.
    const bool kept = &stage != &stages[0];
    if (kept) UiTest_QueueConfirm(true);
    UiTest_QueueConfirm(true);
    ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
    EXPECT_TRUE(g_stopAtLine.empty()) << "Stop was pressed";
    ASSERT_EQ(UiTest_Popups().size(), kept ? 2u : 1u);
    if (kept) {
      EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
    }
    EXPECT_EQ(UiTest_Popups().back().title, "Abort MSW Creation ?");
    EXPECT_TRUE(Logged(" *** User break for MSW 'MSW'"));
    // Every segment file that was uploaded was appended as well.
    const std::vector<std::string> received = sim_.Received();
    int appended = 0, uploaded = 0;
    for (std::size_t k = before; k < received.size(); ++k) {
      appended += received[k].rfind("SOUR:BB:ARB:WSEG:CONF:SEGM:APP", 0) == 0;
      uploaded += received[k].rfind(":MMEM:DATA", 0) == 0 && received[k].find("-seg") != std::string::npos;
    }
    EXPECT_EQ(appended, stage.appended);
    EXPECT_EQ(uploaded, stage.appended);
    EXPECT_EQ(g_status.back(), "User break");
    for (std::size_t k = before; k < received.size(); ++k)
      EXPECT_EQ(received[k].find("WSEG:CLO"), std::string::npos) << received[k];
    EXPECT_EQ(Dimmed(TAB_MSEG_CMD_STOP), 1);
    EXPECT_EQ(Dimmed(TAB_MSEG_CMD_GENERATE), 0);
  }
  SetEngineHost(nullptr);
  SetEngineBuildHost(nullptr);
}

TEST_F(MultiSegmentGenerateTest, StopAnsweredNoBuildsEverySegment) {
  AddWaveform().segments[1].stopTime = 1e-3;  // the blank follows 600 us of Alpha
  ShowMultiSegment(0);
  g_stopOnTransfer = true;
  UiTest_QueueConfirm(false);
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  EXPECT_TRUE(StatusWas("Done."));
  EXPECT_EQ(AppendedSegments(), 3);
}

// A Sequence ring choice and a typed repetition reach the record as they are
// made: Generate right after them builds what the table shows, and showing
// another waveform keeps what was typed.
TEST_F(MultiSegmentGenerateTest, GenerateBuildsTheChoiceAndRepetitionJustMade) {
  MultiSegmentRecord& m = AddWaveform();
  m.segments[1] = MultiSegmentEntry{};
  m.segments[2] = MultiSegmentEntry{};
  MultiSegmentRecord& other = MultiSegmentTable[MultiSegmentCount];
  InitMultiSegmentRecord(&other);
  ++MultiSegmentCount;
  ShowMultiSegment(0);
  ASSERT_EQ(UiTest_ChooseRingIndex(panel_, TAB_MSEG_RING_SEQMODE, 1), 1);  // "Sequencer"
  ASSERT_EQ(m.sequencerMode, 1);
  const int table = TAB_MSEG_TABLE_SETTINGS;
  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(3, 1), false), 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(panel_, table, Cell(3, 1), 2), 1);  // "Beta"
  EXPECT_EQ(m.segments[0].sequenceId, static_cast<int32_t>(SequenceTable[1].id));
  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(2, 1), false), 1);
  ASSERT_EQ(UiTest_TypeTableCell(panel_, table, Cell(2, 1), "5"), 1);
  EXPECT_STREQ(m.segments[0].repetition.c_str(), "5");

  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_TRUE(StatusWas("Done."));
  bool repeated = false;
  for (const std::string& l : sim_.Received()) repeated = repeated || l.rfind("SOUR:BB:ARB:WSEG:SEQ:APP ON,0,5,", 0) == 0;
  EXPECT_TRUE(repeated);
  EXPECT_TRUE(Logged("SEQUENCE: 'Beta'"));
  EXPECT_FALSE(Logged("SEQUENCE: 'Alpha'"));
  EXPECT_EQ(CellText(3, 1), "Beta");
  EXPECT_EQ(CellText(2, 1), "5");

  ASSERT_EQ(UiTest_ClickTableCell(panel_, table, Cell(2, 1), false), 1);
  ASSERT_EQ(UiTest_TypeTableCell(panel_, table, Cell(2, 1), "7"), 1);
  ShowMultiSegment(1);
  EXPECT_STREQ(m.segments[0].repetition.c_str(), "7");
  ShowMultiSegment(0);
  EXPECT_EQ(CellText(2, 1), "7");
}

// Sequencer mode with a blank of 3,932,160 us at 100 MHz (393,216,000
// samples) before a sequence: the blank is played a number of times the
// sequencer takes, and the waveform is built.
TEST_F(MultiSegmentGenerateTest, ALongBlankIsRepeatedWithinTheSequencersLimit) {
  MultiSegmentRecord& m = AddWaveform();
  m.segments[0] = m.segments[1];
  m.segments[0].stopTime = 3.93216;
  m.segments[1] = m.segments[2];
  m.segments[1].repetition = "2";
  m.segments[2] = MultiSegmentEntry{};
  ShowMultiSegment(0);
  ASSERT_EQ(UiTest_ChooseRingIndex(panel_, TAB_MSEG_RING_SEQMODE, 1), 1);  // "Sequencer"
  ASSERT_EQ(m.sequencerMode, 1);
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_TRUE(StatusWas("Done."));
  EXPECT_TRUE(Logged("  Samples  : 6144, Repetitions  : 64000"));
  bool blank = false;
  for (const std::string& l : sim_.Received()) blank = blank || l == "SOUR:BB:ARB:WSEG:SEQ:APP ON,0,64000,NEXT; *OPC?";
  EXPECT_TRUE(blank);
  EXPECT_STREQ(m.segments[0].repetition.c_str(), "64000");
}

TEST_F(MultiSegmentGenerateTest, ALostInstrumentEndsInTheFailurePopup) {
  AddWaveform();
  ShowMultiSegment(0);
  sim_.Stop();
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE);
  EXPECT_TRUE(StatusWas("Error: Failed to Open VISA Device."));
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_GENERATE), 0);
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_QUERY);
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_TRIG);
  EXPECT_TRUE(UiTest_Popups().empty());

  // The connection breaks after it was opened: the build fails and says so.
  ASSERT_TRUE(sim_.Start()) << sim_.Error();
  g_Settings.Select = sim_.SocketResource();
  cz::test::SimOptions dropping;
  dropping.faults = {"drop@WSEG:CONF:SEL"};
  ASSERT_TRUE(sim_.Start(dropping)) << sim_.Error();
  g_Settings.Select = sim_.SocketResource();
  UiTest_QueueMessageOk();
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Error");
  EXPECT_EQ(UiTest_Popups()[0].text, "Creation of Multi-Segment Waveform Failed.\nSee Error Log For Details.");
  EXPECT_TRUE(StatusWas("Error: SCPI Error. See Log."));
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
}

// A build into a folder the instrument cannot change to, after a build that
// left its own segment configuration selected: the new segments are not
// appended to the old configuration and nothing is assembled or started.
TEST_F(MultiSegmentGenerateTest, AFailedFolderChangeAppendsNothingToTheEarlierConfiguration) {
  MultiSegmentRecord& m = AddWaveform();
  m.segments[1] = m.segments[0];
  ShowMultiSegment(0);
  cz::test::SimOptions opt;
  opt.faults = {"error=-250,\"Mass storage error\"@waves'"};  // not the uploads' "waves\\"
  ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
  g_Settings.Select = sim_.SocketResource();
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  ASSERT_TRUE(StatusWas("Done."));
  const int first = AppendedSegments();
  const std::size_t sent = sim_.Received().size();

  ASSERT_TRUE(g_Settings.Project.pathWin.AssignExact("D:\\waves"));
  g_status.clear();
  UiTest_QueueMessageOk();
  UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE);
  EXPECT_TRUE(Logged("*** Error setting default drive."));
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Creation of Multi-Segment Waveform Failed.\nSee Error Log For Details.");
  ASSERT_FALSE(g_status.empty());
  EXPECT_EQ(g_status.back(), "Error: SCPI Error. See Log.");
  EXPECT_EQ(AppendedSegments(), first);
  const std::vector<std::string> rx = sim_.Received();
  for (std::size_t i = sent; i < rx.size(); ++i) {
    EXPECT_EQ(rx[i].find("WSEG:CLO"), std::string::npos) << rx[i];
    EXPECT_EQ(rx[i].find("ARB:STAT ON"), std::string::npos) << rx[i];
  }
}

}  // namespace

namespace {

// The segment files already on the instrument are asked about before the
// build changes anything: a No for one of them ends the build as cancelled,
// with nothing sent (no preset, no data, no segment list) and no failure
// popup; Yes to every one rebuilds the waveform.
TEST_F(MultiSegmentGenerateTest, NoForOneSegmentEndsTheBuildWithNothingSent) {
  AddWaveform().segments[1].stopTime = 1e-3;
  g_Settings.Project.removeSegments = 0;  // the segment files stay on the instrument
  ShowMultiSegment(0);
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  ASSERT_TRUE(StatusWas("Done."));
  std::vector<std::string> segments;
  for (const std::string& l : sim_.Received()) {
    const std::size_t at = l.find("MMEM:DATA '");
    if (at != std::string::npos) segments.push_back(l.substr(at + 11, l.find("',#") - at - 11));
  }
  ASSERT_EQ(segments.size(), 3u);
  ASSERT_EQ(VisaDev_Open(1, sim_.SocketResource().c_str()), 1);
  auto bytes = [&](const std::string& remote) {
    const std::string local = dir_.File("seg-back.wv");
    return VisaDev_DownloadFile(1, local.c_str(), remote.c_str()) == 1 ? cz::test::ReadFileBytes(local)
                                                                       : std::string("<missing>");
  };
  const std::string second = bytes(segments[1]);
  ASSERT_NE(second, "<missing>") << segments[1];

  std::size_t from = sim_.Received().size();
  UiTest_ClearPopups();
  g_status.clear();
  UiTest_QueueConfirm(true);
  UiTest_QueueConfirm(false);
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  ASSERT_EQ(UiTest_Popups().size(), 2u) << "the third segment is not asked about, and no failure popup";
  EXPECT_EQ(UiTest_Popups()[1].text, "File exists on instrument. Delete ?");
  EXPECT_TRUE(StatusWas("Upload cancelled: the file on the instrument was kept."));
  EXPECT_TRUE(Logged("Upload cancelled: the file on the instrument was kept."));
  const std::vector<std::string> rx = sim_.Received();
  for (std::size_t i = from; i < rx.size(); ++i) {
    for (const char* changing : {"MMEM:DATA", "MMEM:DEL", "PRES", "WSEG", "MMEM:CDIR", "STAT"})
      EXPECT_EQ(rx[i].find(changing), std::string::npos) << rx[i];
  }
  EXPECT_EQ(bytes(segments[1]), second);
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_GENERATE), 0);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);

  from = sim_.Received().size();
  UiTest_ClearPopups();
  for (int i = 0; i < 3; ++i) UiTest_QueueConfirm(true);
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  EXPECT_EQ(UiTest_Popups().size(), 3u) << "one question per segment";
  EXPECT_TRUE(StatusWas("Done."));
  int data = 0;
  for (const std::string& l : sim_.Received()) data += l.find("MMEM:DATA '") != std::string::npos;
  EXPECT_EQ(data, 6);
  VisaDev_Close(1);
}

}  // namespace

namespace {

// Stop pressed while the build prepares the instrument, answered Yes before
// the first segment: nothing was appended, so nothing is assembled or
// started; the status says the user stopped it and no failure popup comes.
// The next Generate builds every segment.
TEST_F(MultiSegmentGenerateTest, StopBeforeTheFirstSegmentEndsTheBuildWithoutAFailure) {
  AddWaveform().segments[1].stopTime = 1e-3;
  ShowMultiSegment(0);
  g_stopAtLine = "Preparing Multi-Segment Waveform...";
  UiTest_QueueConfirm(true);
  const std::size_t from = sim_.Received().size();
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  ASSERT_TRUE(g_stopAtLine.empty()) << "Stop was pressed";
  ASSERT_EQ(UiTest_Popups().size(), 1u) << UiTest_Popups().back().text;
  EXPECT_EQ(UiTest_Popups()[0].title, "Abort MSW Creation ?");
  EXPECT_TRUE(Logged(" *** User break for MSW 'MSW'"));
  EXPECT_EQ(g_status.back(), "User break");
  EXPECT_FALSE(StatusWas("Error: SCPI Error. See Log."));
  const std::vector<std::string> rx = sim_.Received();
  for (std::size_t i = from; i < rx.size(); ++i)
    for (const char* after : {"MMEM:DATA", "SEGM:APP", "WSEG:CLO", "ARB:STAT ON"})
      EXPECT_EQ(rx[i].find(after), std::string::npos) << rx[i];
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_STOP), 1);
  EXPECT_EQ(Dimmed(TAB_MSEG_CMD_GENERATE), 0);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);

  UiTest_ClearPopups();
  g_status.clear();
  ASSERT_EQ(UiTest_ClickCtrl(panel_, TAB_MSEG_CMD_GENERATE), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_TRUE(StatusWas("Done."));
  EXPECT_EQ(AppendedSegments(), 3);
}

}  // namespace
