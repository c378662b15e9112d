// The Sequence Editor page driven offscreen as a user would: the built
// page, a sequence compiled into the entry table, clicks and commits in the
// table, the entry buttons, the header fields and the busy state.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/Progress.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "editors/ReportDriver.h"
#include "engine/EngineHost.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/FilterDialog.h"
#include "ui/dialogs/InfoDialog.h"
#include "ui/dialogs/ReportDialog.h"
#include "wavelib/WaveLib.h"
#include "app/PanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "editors/BasebandFilter.h"
#include "editors/ReportDialog.h"
#include "editors/SequenceEditing.h"
#include "editors/SequenceGenerate.h"
#include "editors/SequenceTable.h"
#include "tests/support/OffscreenApp.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

class SequenceEditorPageTest : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    Log_SetStatusSink(&CollectStatus);
    Status().clear();
    ResetProject();
    CurrentSequence = -1;
    SequenceEditCell = SequenceCellRef{};
    TAB_SEDIT = BuildSequenceEditorPanel(0);
    ASSERT_GT(TAB_SEDIT, 0);
    ASSERT_GE(InsertTableRows(TAB_SEDIT, Table(), -1, kSequenceTableRows, VAL_USE_MASTER_CELL_TYPE), 0);
    DisplayPanel(TAB_SEDIT);
  }
  void TearDown() override {
    Log_SetStatusSink(nullptr);
    ResetProject();
    CurrentSequence = -1;
    TAB_SEDIT = 0;
    OffscreenAppTest::TearDown();
  }

  static std::vector<std::string>& Status() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void CollectStatus(const char* text) { Status().emplace_back(text != nullptr ? text : ""); }

  static int Table() { return TAB_SEDIT_TABLE_SETTINGS; }
  static PulseRecord& AddPulse(const char* name) {
    PulseRecord& p = PulseTable[PulseCount];
    InitPulseRecord(&p);
    ++PulseCount;
    p.name = name;
    p.onTime = 1e-6;
    p.offTime = 1e-6;
    return p;
  }
  // Sequence 0 with entries: pulse A x2, CW filler up to 10 us, pulse B.
  SequenceRecord& ThreeEntries() {
    const PulseRecord& a = AddPulse("A");
    const PulseRecord& b = AddPulse("B");
    SequenceRecord& s = SequenceTable[SequenceCount];
    InitSequenceRecord(&s);
    ++SequenceCount;
    s.name = "Seq";
    s.entries[0].pulseId = static_cast<int32_t>(a.id);
    s.entries[0].repetitions = 2;
    s.entries[1].fillerType = 1;
    s.entries[1].fillerTime = 10e-6;
    s.entries[2].pulseId = static_cast<int32_t>(b.id);
    s.entries[2].repetitions = 1;
    RefreshSequenceEditor(0);
    return s;
  }

  static std::string Text(int column, int row) {
    char buffer[512] = "";
    GetTableCellVal(TAB_SEDIT, Table(), Cell(column, row), buffer, sizeof buffer);
    return buffer;
  }
  static double Number(int column, int row) {
    double v = -1.0;
    GetTableCellVal(TAB_SEDIT, Table(), Cell(column, row), &v);
    return v;
  }
  static int CellAttr(int column, int row, int attr) {
    int v = -1;
    GetTableCellAttribute(TAB_SEDIT, Table(), Cell(column, row), attr, &v);
    return v;
  }
  static int Dimmed(int control) {
    int v = -1;
    GetCtrlAttribute(TAB_SEDIT, control, ATTR_DIMMED, &v);
    return v;
  }
  static void ClickCell(int column, int row) {
    ASSERT_EQ(UiTest_ClickTableCell(TAB_SEDIT, Table(), Cell(column, row), false), 1);
  }
};

TEST_F(SequenceEditorPageTest, PageHoldsItsControlsAndTheFifteenColumns) {
  int count = 0;
  for (int c = GetNextCtrl(TAB_SEDIT, 0); c > 0; c = GetNextCtrl(TAB_SEDIT, c)) ++count;
  EXPECT_EQ(count, 25);
  int columns = 0;
  GetNumTableColumns(TAB_SEDIT, Table(), &columns);
  ASSERT_EQ(columns, SEQ_COLUMNS);
  const char* const labels[] = {"Item ", "Mode", "Tstart [us]  ", "Tstop [us]  ", "Samples  ", "Pulse Object  ",
                                "Rep.", "Jitter 1 ", "Jitter 2 ", "Jitter 3 ", "Jitter 4", "M 1", "M 2", "M 3", "M 4"};
  for (int c = 1; c <= SEQ_COLUMNS; ++c) {
    char label[64] = "";
    GetTableColumnAttribute(TAB_SEDIT, Table(), c, ATTR_LABEL_TEXT, label, sizeof label);
    EXPECT_STREQ(label, labels[c - 1]) << "column " << c;
  }
  // A file name longer than the record's 255 characters is not cut by the
  // field: it reaches the commit whole, which refuses it.
  const std::string longName(256, 'w');
  UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, longName.c_str());
  char file[512] = "";
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_FILE, file, sizeof file);
  EXPECT_EQ(std::string(file).size(), 256u);
  double mhz = 0.0;
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_NUM_ARBCLK, &mhz);
  EXPECT_DOUBLE_EQ(mhz, 100.0);
}

TEST_F(SequenceEditorPageTest, RefreshCompilesTheSequenceIntoTheTable) {
  SequenceRecord& s = ThreeEntries();
  s.hidden = 0;
  EXPECT_EQ(CurrentSequence, 0);
  EXPECT_EQ(Text(SEQ_COL_ITEM, 1), "1");
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 1), "A");
  EXPECT_EQ(Number(SEQ_COL_SAMPLES, 1), 400.0);  // 2 x 200 samples at 100 MHz
  EXPECT_NEAR(Number(SEQ_COL_TSTOP, 1), 4.0, 1e-9);
  EXPECT_EQ(Number(SEQ_COL_REPS, 1), 2.0);
  EXPECT_EQ(Text(SEQ_COL_MARKER1, 1), "ALL");
  EXPECT_EQ(CellAttr(SEQ_COL_MARKER1, 1, ATTR_TEXT_BGCOLOR), 0xB0FFB0);
  EXPECT_EQ(Text(SEQ_COL_MARKER1 + 2, 1), "OFF");
  EXPECT_EQ(CellAttr(SEQ_COL_TSTOP, 1, ATTR_CELL_MODE), VAL_INDICATOR);
  EXPECT_EQ(CellAttr(SEQ_COL_TSTOP, 1, ATTR_TEXT_COLOR), 0x808080);
  // The CW filler row: its end time editable in black, the rest dimmed.
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 2), "T   -->|  (CW filler)");
  EXPECT_EQ(Number(SEQ_COL_SAMPLES, 2), 600.0);
  EXPECT_EQ(Text(SEQ_COL_JITTER1, 2), "---");
  EXPECT_NE(CellAttr(SEQ_COL_TSTOP, 2, ATTR_CELL_MODE), VAL_INDICATOR);
  EXPECT_EQ(CellAttr(SEQ_COL_TSTOP, 2, ATTR_TEXT_COLOR), 0x000000);
  EXPECT_EQ(CellAttr(SEQ_COL_REPS, 2, ATTR_CELL_DIMMED), 1);
  EXPECT_EQ(CellAttr(SEQ_COL_OBJECT, 2, ATTR_TEXT_BGCOLOR), 0xB0B0F0);
  EXPECT_NEAR(Number(SEQ_COL_TSTART, 3), 10.0, 1e-9);
  // Rows after the last entry are empty and dimmed.
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 4), "");
  EXPECT_EQ(CellAttr(SEQ_COL_ITEM, 128, ATTR_CELL_DIMMED), 1);
  char name[64] = "";
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_NAME, name, sizeof name);
  EXPECT_STREQ(name, "Seq");
  // An index outside the table changes nothing.
  RefreshSequenceEditor(5);
  EXPECT_EQ(CurrentSequence, 0);
}

TEST_F(SequenceEditorPageTest, ClicksCycleOverlayAndMarkerModes) {
  SequenceRecord& s = ThreeEntries();
  ClickCell(SEQ_COL_MODE, 1);
  EXPECT_EQ(s.entries[0].overlay, 0);  // row 1 cannot overlay
  ClickCell(SEQ_COL_MODE, 3);
  EXPECT_EQ(s.entries[2].overlay, 1);
  EXPECT_EQ(Text(SEQ_COL_MODE, 3), "ADD");
  EXPECT_NEAR(Number(SEQ_COL_TSTART, 3), 4.0, 1e-9);  // starts with the filler now
  ClickCell(SEQ_COL_MODE, 3);
  EXPECT_EQ(Text(SEQ_COL_MODE, 3), "MULT");

  const char* const cycle[] = {"OFF", "1ST", "LAST", "ALL"};
  for (const char* expected : cycle) {
    ClickCell(SEQ_COL_MARKER1 + 1, 1);
    EXPECT_EQ(Text(SEQ_COL_MARKER1 + 1, 1), expected);
    EXPECT_EQ(MarkerField(s.entries[0].markerMask, 1), 3);
  }
  EXPECT_EQ(CellAttr(SEQ_COL_MARKER1 + 1, 1, ATTR_TEXT_BGCOLOR), 0xB0FFB0);
  // A dimmed filler cell takes no click.
  ClickCell(SEQ_COL_MARKER1, 2);
  EXPECT_EQ(s.entries[1].markerMask, 15);
}

TEST_F(SequenceEditorPageTest, CommitsStoreRepetitionsFillerEndAndRingChoices) {
  SequenceRecord& s = ThreeEntries();
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_TSTOP, 2), "12.5"), 1);
  EXPECT_NEAR(s.entries[1].fillerTime, 12.5e-6, 1e-15);
  ASSERT_EQ(UiTest_TypeTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, 1), "20000"), 1);
  EXPECT_EQ(s.entries[0].repetitions, 10000);

  // The pulse object opens as a ring of the fillers and the pulses.
  ClickCell(SEQ_COL_OBJECT, 3);
  EXPECT_EQ(CellAttr(SEQ_COL_OBJECT, 3, ATTR_CELL_TYPE), VAL_CELL_RING);
  int items = 0;
  GetNumTableCellRingItems(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, 3), &items);
  EXPECT_EQ(items, 4);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, 3), 1), 1);
  EXPECT_EQ(s.entries[2].pulseId, -1);
  EXPECT_EQ(s.entries[2].fillerType, 1);
  EXPECT_EQ(s.entries[2].markerMask, 0);
  EXPECT_EQ(s.entries[2].repetitions, 0);
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 3), "T   -->|  (CW filler)");

  // A pulse chosen on a filler row gets one repetition.
  ClickCell(SEQ_COL_OBJECT, 2);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, 2), 3), 1);
  EXPECT_EQ(s.entries[1].pulseId, static_cast<int32_t>(PulseTable[1].id));
  EXPECT_EQ(s.entries[1].repetitions, 1);

  ClickCell(SEQ_COL_JITTER1 + 2, 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, Table(), Cell(SEQ_COL_JITTER1 + 2, 1), 2), 1);
  EXPECT_EQ(s.entries[0].jitterMode[2], 2);
  EXPECT_EQ(Text(SEQ_COL_JITTER1 + 2, 1), "individual");
  EXPECT_EQ(CellAttr(SEQ_COL_JITTER1 + 2, 1, ATTR_CELL_TYPE), VAL_CELL_STRING);
}

// The remembered cell belongs to the entries it was opened on: after the
// entries change or another sequence is shown, a click elsewhere writes no
// entry text into what is now an empty row.
TEST_F(SequenceEditorPageTest, AnOpenCellIsForgottenWhenTheEntriesOrTheSequenceChange) {
  SequenceRecord& s = ThreeEntries();
  s.entries[2].pulseId = -1;  // row 3: a CW filler
  s.entries[2].fillerType = 1;
  s.entries[2].fillerTime = 20e-6;
  RefreshSequenceEditor(0);
  ClickCell(SEQ_COL_OBJECT, 3);
  ASSERT_EQ(CellAttr(SEQ_COL_OBJECT, 3, ATTR_CELL_TYPE), VAL_CELL_RING);
  SetActiveTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, 3));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_DEL), 1);
  ASSERT_EQ(s.EntriesInUse(), 2);
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 3), "");
  ClickCell(SEQ_COL_REPS, 1);
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 3), "");
  EXPECT_EQ(Text(SEQ_COL_TSTOP, 3), "");
  EXPECT_EQ(CellAttr(SEQ_COL_OBJECT, 3, ATTR_CELL_DIMMED), 1);
  EXPECT_EQ(CellAttr(SEQ_COL_TSTOP, 3, ATTR_CELL_MODE), VAL_INDICATOR);

  // A jitter ring of row 2 (pulse B), then a sequence of one entry.
  s.entries[1].pulseId = static_cast<int32_t>(PulseTable[1].id);
  s.entries[1].repetitions = 1;
  RefreshSequenceEditor(0);
  SequenceRecord& other = SequenceTable[SequenceCount];
  InitSequenceRecord(&other);
  ++SequenceCount;
  other.name = "Other";
  other.entries[0] = s.entries[0];
  ClickCell(SEQ_COL_JITTER1, 2);
  ASSERT_EQ(CellAttr(SEQ_COL_JITTER1, 2, ATTR_CELL_TYPE), VAL_CELL_RING);
  RefreshSequenceEditor(1);
  EXPECT_EQ(Text(SEQ_COL_JITTER1, 2), "");
  ClickCell(SEQ_COL_REPS, 1);
  EXPECT_EQ(Text(SEQ_COL_JITTER1, 2), "");
  EXPECT_EQ(CellAttr(SEQ_COL_JITTER1, 2, ATTR_CELL_TYPE), VAL_CELL_STRING);

  // Back on the first sequence the old cell stays closed; a new click opens
  // and closes cells as before.
  RefreshSequenceEditor(0);
  ClickCell(SEQ_COL_JITTER1 + 1, 2);
  ASSERT_EQ(CellAttr(SEQ_COL_JITTER1 + 1, 2, ATTR_CELL_TYPE), VAL_CELL_RING);
  ClickCell(SEQ_COL_REPS, 1);
  EXPECT_EQ(CellAttr(SEQ_COL_JITTER1 + 1, 2, ATTR_CELL_TYPE), VAL_CELL_STRING);
  EXPECT_EQ(Text(SEQ_COL_JITTER1 + 1, 2), "OFF");
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 2), "B");
}

TEST_F(SequenceEditorPageTest, EntryButtonsWorkOnTheActiveRow) {
  SequenceRecord& s = ThreeEntries();
  SetActiveTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, 1));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_NEW), 1);
  EXPECT_EQ(s.EntriesInUse(), 4);
  EXPECT_EQ(s.entries[1].pulseId, s.entries[0].pulseId);
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 2), "A");

  SetActiveTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, 4));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_UP), 1);
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 3), "B");
  Point active{0, 0};
  GetActiveTableCell(TAB_SEDIT, Table(), &active);
  EXPECT_EQ(active.y, 4);  // the selection stays on its row

  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_DEL), 1);
  EXPECT_EQ(s.EntriesInUse(), 3);
  EXPECT_EQ(Text(SEQ_COL_OBJECT, 4), "");

  // An empty sequence without pulses: the error popup, nothing added.
  SequenceRecord& empty = SequenceTable[SequenceCount];
  InitSequenceRecord(&empty);
  ++SequenceCount;
  const int saved = PulseCount;
  PulseCount = 0;
  RefreshSequenceEditor(1);
  UiTest_QueueMessageOk();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_NEW), 1);
  ASSERT_FALSE(UiTest_Popups().empty());
  EXPECT_EQ(UiTest_Popups().back().text, "No pulses defined yet.");
  EXPECT_TRUE(empty.entries[0].IsEmpty());
  PulseCount = saved;
}

// Repetitions typed into row 3 without Return, then Move Up: the entry
// moves with the repetitions typed for it, and the entry that takes row 3
// keeps its own.
TEST_F(SequenceEditorPageTest, RepetitionsBeingTypedMoveWithTheirEntry) {
  SequenceRecord& s = ThreeEntries();
  const int32_t b = s.entries[2].pulseId;
  auto* view = qobject_cast<QAbstractItemView*>(UiTest_Widget(TAB_SEDIT, Table()));
  ASSERT_NE(view, nullptr);
  view->resize(900, 400);
  ClickCell(SEQ_COL_REPS, 3);
  const QModelIndex index = view->model()->index(2, SEQ_COL_REPS - 1);
  view->setCurrentIndex(index);
  view->edit(index);
  auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(index));
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("7"));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_UP), 1);
  QApplication::processEvents();
  ClickCell(SEQ_COL_OBJECT, 1);
  QApplication::processEvents();
  EXPECT_EQ(s.entries[1].pulseId, b);
  EXPECT_EQ(s.entries[1].repetitions, 7);
  EXPECT_EQ(s.entries[2].pulseId, -1);  // the CW filler
  EXPECT_EQ(s.entries[2].fillerType, 1);
  EXPECT_EQ(s.entries[0].repetitions, 2);
  EXPECT_DOUBLE_EQ(Number(SEQ_COL_REPS, 2), 7.0);
}

// Every message Qt prints (warnings and worse) while it is installed, but
// the offscreen platform's notes on what it cannot do (raise a window, grab
// the keyboard for a drop-down), which a screen does.
class QtMessages {
 public:
  QtMessages() : previous_(qInstallMessageHandler(&Collect)) { Lines().clear(); }
  ~QtMessages() { qInstallMessageHandler(previous_); }
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }

 private:
  static void Collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg || text.startsWith(QStringLiteral("This plugin does not support")))
      return;
    Lines().push_back(text.toStdString());
  }
  QtMessageHandler previous_;
};

// Each kind of cell the table offers edited as a user does it, with the
// window active and the focus in the cell's editor: a typed numeric
// confirmed with Return (the commit's refresh rewrites the table and takes
// the focus from the editor), a ring item picked, a button cell clicked.
// Qt has nothing to warn about.
TEST_F(SequenceEditorPageTest, EditingEachKindOfCellRaisesNoQtWarning) {
  SequenceRecord& s = ThreeEntries();
  auto* view = qobject_cast<QAbstractItemView*>(UiTest_Widget(TAB_SEDIT, Table()));
  ASSERT_NE(view, nullptr);
  QWidget* window = view->window();
  window->activateWindow();
  QApplication::processEvents();
  if (!window->isActiveWindow()) QApplication::setActiveWindow(window);
  ASSERT_TRUE(window->isActiveWindow());

  const QtMessages qt;
  const auto typeAndReturn = [&](int column, int row, const char* text) {
    ClickCell(column, row);
    const QModelIndex index = view->model()->index(row - 1, column - 1);
    view->setCurrentIndex(index);
    view->edit(index);
    auto* edit = qobject_cast<QLineEdit*>(view->indexWidget(index));
    ASSERT_NE(edit, nullptr) << column << "," << row;
    edit->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), edit);
    edit->setText(QString::fromUtf8(text));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &release);
    QApplication::processEvents();
  };
  typeAndReturn(SEQ_COL_REPS, 1, "5");  // numeric
  EXPECT_EQ(s.entries[0].repetitions, 5);
  typeAndReturn(SEQ_COL_TSTOP, 2, "12.5");  // a filler's end time
  EXPECT_NEAR(s.entries[1].fillerTime, 12.5e-6, 1e-15);
  ClickCell(SEQ_COL_OBJECT, 3);  // ring
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, 3), 2), 1);
  QApplication::processEvents();
  EXPECT_EQ(s.entries[2].pulseId, static_cast<int32_t>(PulseTable[0].id));
  ClickCell(SEQ_COL_JITTER1, 1);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, Table(), Cell(SEQ_COL_JITTER1, 1), 1), 1);
  QApplication::processEvents();
  EXPECT_EQ(s.entries[0].jitterMode[0], 1);
  ClickCell(SEQ_COL_MODE, 3);  // button
  EXPECT_EQ(s.entries[2].overlay, 1);
  const int field = MarkerField(s.entries[0].markerMask, 1);
  ClickCell(SEQ_COL_MARKER1, 1);
  QApplication::processEvents();
  EXPECT_EQ(MarkerField(s.entries[0].markerMask, 1), NextMarkerField(field));
  for (const std::string& line : QtMessages::Lines()) ADD_FAILURE() << "Qt: " << line;
}

// The times and sample counts of the longest sequence a clock allows (a
// waveform file of 2,147,483,647 samples) show whole in their cells, at the
// fastest, the usual, a slow and the slowest clock the page takes; a 1 s
// sequence at 100 MHz reads 1000000.00 and 1000800.00. All fifteen columns
// stay in the table's width down to 1 MHz.
TEST_F(SequenceEditorPageTest, TimesAndCountsOfTheLongestSequenceShowWhole) {
  const PulseRecord& a = AddPulse("A");
  SequenceRecord& s = SequenceTable[SequenceCount];
  InitSequenceRecord(&s);
  ++SequenceCount;
  s.entries[0].fillerType = 1;
  s.entries[0].fillerTime = 1.0;
  s.entries[1].pulseId = static_cast<int32_t>(a.id);
  s.entries[1].repetitions = 400;  // 400 x 2 us
  RefreshSequenceEditor(0);
  auto* view = qobject_cast<QAbstractItemView*>(UiTest_Widget(TAB_SEDIT, Table()));
  ASSERT_NE(view, nullptr);
  const auto shown = [view](int column, int row) {
    return view->model()->data(view->model()->index(row - 1, column - 1)).toString().toStdString();
  };
  EXPECT_EQ(shown(SEQ_COL_TSTART, 2), "1000000.00");
  EXPECT_EQ(shown(SEQ_COL_TSTOP, 2), "1000800.00");
  for (const UiTest_ClippedCell& c : UiTest_ClippedTableCells(TAB_SEDIT, Table()))
    ADD_FAILURE() << "1 s: cell " << c.cell.x << "," << c.cell.y << " '" << c.text << "' needs " << c.textWidth
                  << " of " << c.boxWidth;

  int tableWidth = 0;
  GetCtrlAttribute(TAB_SEDIT, Table(), ATTR_WIDTH, &tableWidth);
  for (double mhz : {600.0, 100.0, 1.0, 0.001}) {
    ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_NUM_ARBCLK, mhz), 1);
    ASSERT_DOUBLE_EQ(s.clock, mhz * 1e6);
    // The filler ends where the file is full; the pulse row after it ends later.
    s.entries[0].fillerTime = 2147483647.0 / s.clock;
    RefreshSequenceEditor(0);
    EXPECT_EQ(Number(SEQ_COL_SAMPLES, 1), 2147483647.0) << mhz << " MHz";
    for (const UiTest_ClippedCell& c : UiTest_ClippedTableCells(TAB_SEDIT, Table()))
      ADD_FAILURE() << mhz << " MHz: cell " << c.cell.x << "," << c.cell.y << " '" << c.text << "' needs "
                    << c.textWidth << " of " << c.boxWidth;
    if (mhz < 1.0) continue;
    int columns = 0;
    for (int column = 1; column <= SEQ_COLUMNS; ++column) {
      int width = 0;
      GetTableColumnAttribute(TAB_SEDIT, Table(), column, ATTR_COLUMN_WIDTH, &width);
      columns += width;
    }
    EXPECT_LE(columns, tableWidth - 15) << mhz << " MHz: the columns beside the vertical scroll bar";
  }
}

TEST_F(SequenceEditorPageTest, HeaderFieldsAreWrittenBackIntoTheRecord) {
  SequenceRecord& s = ThreeEntries();
  ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_NAME, "Renamed"), 1);
  EXPECT_EQ(s.name, std::string_view("Renamed"));
  UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_COPYRIGHT, "(c) us");
  EXPECT_EQ(s.copyright, std::string_view("(c) us"));
  UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_NUM_ARBCLK, 250.0);
  EXPECT_DOUBLE_EQ(s.clock, 250e6);
  EXPECT_EQ(Number(SEQ_COL_SAMPLES, 1), 1000.0);  // recompiled at 250 MHz
  UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, "");
  EXPECT_TRUE(s.waveFile.empty());
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_GENERATE), 1);

  // A name longer than the record's 63 characters is refused.
  const std::string longName(64, 'n');
  UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_NAME, longName.c_str());
  EXPECT_EQ(s.name, std::string_view("Renamed"));
  ASSERT_FALSE(Status().empty());
  EXPECT_NE(Status().back().find("too long"), std::string::npos);

  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_S_HIDE), 1);
  EXPECT_EQ(s.hidden, 1);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_S_HIDE), 1);
  EXPECT_EQ(s.hidden, 0);
}

TEST_F(SequenceEditorPageTest, WaveFileChoiceKeepsTheRecordOnCancelAndRefusesLongPaths) {
  SequenceRecord& s = ThreeEntries();
  UiTest_QueueCancel();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FSEL), 1);
  EXPECT_EQ(s.waveFile, std::string_view("Waveforms\\NewSequence.wv"));
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Select Local Wave File");

  UiTest_QueueFile("/tmp/chosen.wv");
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FSEL), 1);
  EXPECT_EQ(s.waveFile, std::string_view("/tmp/chosen.wv"));
  char file[512] = "";
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_FILE, file, sizeof file);
  EXPECT_STREQ(file, "/tmp/chosen.wv");

  const std::string tooLong = "/tmp/" + std::string(260, 'x') + ".wv";
  UiTest_QueueFile(tooLong.c_str());
  UiTest_QueueMessageOk();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FSEL), 1);
  EXPECT_EQ(s.waveFile, std::string_view("/tmp/chosen.wv"));
  EXPECT_EQ(UiTest_Popups().back().title, "Error");
}

TEST_F(SequenceEditorPageTest, BusyStateDimsEditingAndEnablesStop) {
  ThreeEntries();
  SetSequenceEditorBusy(0);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_STOP), 1);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_GENERATE), 0);
  SetSequenceEditorBusy(1);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_STOP), 0);
  for (int control : {TAB_SEDIT_CMD_GENERATE, TAB_SEDIT_TABLE_SETTINGS, TAB_SEDIT_STR_NAME, TAB_SEDIT_CMD_S_HIDE,
                      TAB_SEDIT_NUM_ARBCLK, TAB_SEDIT_CMD_SENTRY_NEW})
    EXPECT_EQ(Dimmed(control), 1);
  SetSequenceEditorBusy(0);
  EXPECT_EQ(Dimmed(TAB_SEDIT_TABLE_SETTINGS), 0);
  // Stop pressed while idle does nothing: it is dimmed.
  EXPECT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_STOP), 0);
}

// ---- the sequence's settings in the filter and report dialogs -------------------

class SequenceDialogsTest : public SequenceEditorPageTest {
 protected:
  void SetUp() override {
    SequenceEditorPageTest::SetUp();
    FILTER = BuildBasebandFilterPanel(0);
    DATALOG = BuildReportGenerationPanel(0);
    ASSERT_GT(FILTER, 0);
    ASSERT_GT(DATALOG, 0);
  }
  void TearDown() override {
    FILTER = DATALOG = 0;
    SequenceEditorPageTest::TearDown();
  }
  static std::vector<std::string> MarkedTags() {
    std::vector<std::string> tags;
    int count = 0;
    GetNumTreeItems(FILTER, FILTER_TREE_FILTER, &count);
    for (int item = 0; item < count; ++item) {
      int marked = 0;
      GetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, item, ATTR_MARK_STATE, &marked);
      char tag[UI_TAG_LEN] = "";
      GetTreeItemTag(FILTER, FILTER_TREE_FILTER, item, tag, sizeof tag);
      if (marked) tags.emplace_back(tag);
    }
    return tags;
  }
  static int Visible(int panel) {
    int v = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &v);
    return v;
  }
};

TEST_F(SequenceDialogsTest, FilterDialogMirrorsTheShownSequence) {
  SequenceRecord& s = ThreeEntries();
  EXPECT_EQ(MarkedTags(), std::vector<std::string>{"_FLT_RCOS"});
  double mhz = 0.0, alpha = 0.0;
  int window = 0;
  GetCtrlVal(FILTER, FILTER_NUM_FREQ, &mhz);
  GetCtrlVal(FILTER, FILTER_NUM_ALPHA, &alpha);
  GetCtrlVal(FILTER, FILTER_RING_WINDOW, &window);
  EXPECT_DOUBLE_EQ(mhz, 10.0);
  EXPECT_DOUBLE_EQ(alpha, 0.22);
  EXPECT_EQ(window, 4);
  EXPECT_TRUE(UiTest_GetPlots(FILTER, FILTER_GRAPH_FILTER).empty());
  EXPECT_EQ(Visible(FILTER), 0);  // a refresh only loads the dialog
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FILTER), 1);
  EXPECT_EQ(Visible(FILTER), 1);

  // A user filter of 64 pairs: two polylines of 63 segments.
  std::vector<double> c1(64), c2(64);
  for (int i = 0; i < 64; ++i) c1[i] = 0.01 * i, c2[i] = -0.01 * i;
  ASSERT_TRUE(s.userFilter.Set(c1, c2));
  s.filterType = 9;
  // Closed first: an open dialog on the same sequence keeps the user's choices.
  HidePanel(FILTER);
  RefreshSequenceEditor(0);
  EXPECT_EQ(MarkedTags(), std::vector<std::string>{"_FLT_USER"});
  EXPECT_EQ(UiTest_GetPlots(FILTER, FILTER_GRAPH_FILTER).size(), 126u);

  // A type outside 1..9 leaves nothing marked.
  s.filterType = 0;
  HidePanel(FILTER);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FILTER), 1);
  EXPECT_TRUE(MarkedTags().empty());
  EXPECT_EQ(Visible(FILTER), 0);
}

TEST_F(SequenceDialogsTest, AReportPluginNoLongerLoadedShowsOffAndKeepsTheRecord) {
  SequenceRecord& s = ThreeEntries();
  s.reportOn = 1;
  s.reportFile = "rep.txt";
  RefreshSequenceEditor(0);
  int value = -1, led = -1;
  GetCtrlVal(DATALOG, DATALOG_RING_REPORTTYPE, &value);
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_LOG, &led);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(led, 1);
  char file[256] = "";
  GetCtrlVal(DATALOG, DATALOG_STR_REPORTFILE, file, sizeof file);
  EXPECT_STREQ(file, "rep.txt");

  s.reportPlugin = "Gone";
  RefreshSequenceEditor(0);
  GetCtrlVal(DATALOG, DATALOG_RING_REPORTTYPE, &value);
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_LOG, &led);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(led, 0);
  EXPECT_EQ(s.reportOn, 1);
  EXPECT_STREQ(s.reportPlugin.c_str(), "Gone");
}

// ---- Generate and Stop ---------------------------------------------------------

class SequenceGenerateTest : public SequenceEditorPageTest {
 protected:
  void SetUp() override {
    SequenceEditorPageTest::SetUp();
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
    ASSERT_EQ(CreateTempFiles(dir_.path().c_str()), 1);
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
  }
  void TearDown() override {
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    CloseTempFiles();
    SequenceEditorPageTest::TearDown();
  }
  // One pulse of 200 samples into dir_/out.wv.
  SequenceRecord& SmallSequence() {
    SequenceRecord& s = ThreeEntries();
    s.entries[1] = SequenceEntry{};
    s.entries[2] = SequenceEntry{};
    s.entries[0].repetitions = 1;
    EXPECT_TRUE(s.waveFile.AssignExact(dir_.File("out.wv")));
    RefreshSequenceEditor(0);
    SetSequenceEditorBusy(0);
    return s;
  }
  // Presses Stop as the user would while the build runs, then asks.
  static int PressStopThenPoll() {
    UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_STOP);
    return SequenceStopPressed();
  }
  cz::test::TempDir dir_;
};

TEST_F(SequenceGenerateTest, GenerateWritesTheWaveformFileAndLeavesTheEditorIdle) {
  SmallSequence();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  WaveFileInfo info{};
  ASSERT_EQ(WaveLib_GetFileInfo(dir_.File("out.wv").c_str(), &info), 1);
  EXPECT_EQ(info.samples, 200);
  EXPECT_DOUBLE_EQ(info.clock, 100e6);
  EXPECT_EQ(Number(SEQ_COL_SAMPLES, 1), 200.0);  // the row as the build wrote it
  char summary[1024] = "";
  GetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_WVINFO, summary, sizeof summary);
  EXPECT_STRNE(summary, "");
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_STOP), 1);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_GENERATE), 0);
  EXPECT_TRUE(UiTest_Popups().empty());

  // The information button fills the INFO dialog from the file's header.
  INFO = BuildInfoPanel(0);
  ASSERT_GT(INFO, 0);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_WVINFO), 1);
  int lines = 0, visible = 0;
  GetNumTextBoxLines(INFO, INFO_TEXTBOX, &lines);
  GetPanelAttribute(INFO, ATTR_VISIBLE, &visible);
  EXPECT_EQ(lines, 17);
  EXPECT_EQ(visible, 1);
  char line[256] = "";
  GetTextBoxLine(INFO, INFO_TEXTBOX, 14, line, sizeof line);
  EXPECT_STREQ(line, "Samples: 200");
  GetTextBoxLine(INFO, INFO_TEXTBOX, 16, line, sizeof line);
  EXPECT_STREQ(line, "Play Time: 0.000002 s");
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_WVINFO), 1);  // refilled, not appended
  GetNumTextBoxLines(INFO, INFO_TEXTBOX, &lines);
  EXPECT_EQ(lines, 17);

  UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, dir_.File("missing.wv").c_str());
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_WVINFO), 1);
  ASSERT_FALSE(Status().empty());
  EXPECT_EQ(Status().back(), "Failed to read waveform information.");

  // A file cut short (a power cut while it was written) is refused by name.
  const std::string whole = cz::test::ReadFileBytes(dir_.File("out.wv"));
  ASSERT_TRUE(cz::test::WriteFileBytes(dir_.File("cut.wv"), whole.substr(0, whole.size() / 2)));
  UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, dir_.File("cut.wv").c_str());
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_WVINFO), 1);
  EXPECT_EQ(Status().back(), "Error: Waveform file 'cut.wv' is cut short. See log.");
  INFO = 0;
}

// Info says "unknown" for what a header does not give (an empty file, one
// without tags, one without a CLOCK tag) instead of figures made from the
// reader's -1, and gives a file past 4 GB its size and tag length in full.
TEST_F(SequenceGenerateTest, InfoSaysWhatTheHeaderLacksAndSizesPastFourGigabytes) {
  SmallSequence();
  INFO = BuildInfoPanel(0);
  ASSERT_GT(INFO, 0);
  struct Row {
    std::string header;
    int64_t size;  // the file cut to this length (sparse); 0 leaves the header
    std::vector<std::string> lines;  // File Size, then Clock rate .. Play Time
  };
  const std::string block = "{WAVEFORM-17:#" + std::string(16, '\0') + "}";
  const Row rows[] = {
      {"", 0, {"File Size: 0 bytes", "Clock rate: unknown", "Samples: unknown", "Wave Tag Length: unknown",
               "Play Time: unknown"}},
      {"plain text", 0, {"File Size: 10 bytes", "Clock rate: unknown", "Samples: unknown",
                         "Wave Tag Length: unknown", "Play Time: unknown"}},
      {"{TYPE: Kaldra-WV,0}{SAMPLES:4}" + block, 0,
       {"File Size: 61 bytes", "Clock rate: unknown", "Samples: 4", "Wave Tag Length: 17", "Play Time: unknown"}},
      {"{TYPE: Kaldra-WV,0}{CLOCK:100000000}{WAVEFORM-4294967297:#", 4294967389,
       {"File Size: 4294967389 bytes", "Clock rate: 100000000.000 Hz", "Samples: 1073741824",
        "Wave Tag Length: 4294967297", "Play Time: 10.737418 s"}},
      // A clock past the largest double is no clock: no play time of 0 s.
      {"{TYPE: Kaldra-WV,0}{CLOCK:1e999}{SAMPLES:4}" + block, 0,
       {"File Size: 74 bytes", "Clock rate: unknown", "Samples: 4", "Wave Tag Length: 17", "Play Time: unknown"}},
  };
  for (const Row& row : rows) {
    const std::string path = dir_.File("info.wv");
    ASSERT_TRUE(cz::test::WriteFileBytes(path, row.header));
    if (row.size > 0) {
      ASSERT_EQ(truncate(path.c_str(), row.size), 0);
    }
    UiTest_EnterValue(TAB_SEDIT, TAB_SEDIT_STR_FILE, path.c_str());
    ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_WVINFO), 1);
    std::vector<std::string> shown;
    for (int index : {5, 13, 14, 15, 16}) {
      char line[256] = "";
      GetTextBoxLine(INFO, INFO_TEXTBOX, index, line, sizeof line);
      shown.push_back(line);
    }
    EXPECT_EQ(shown, row.lines) << row.header;
  }
  INFO = 0;
}

// The table's sample counts are the samples the build writes: after a
// refresh, after Generate (whose rows come from the build) and after the next
// refresh every row shows the same count, and the rows add up to the file's
// SAMPLES tag. Fillers are whole samples and move the time line by their
// duration, so a later filler counts from where the build stands.
TEST_F(SequenceGenerateTest, TableCountsAreTheSamplesTheBuildWrites) {
  struct Entry {
    int kind;        // -1 pulse, 0 blank filler, 1 CW filler
    double a, b;     // pulse: on and off time; filler: end time (us)
  };
  struct Case {
    double clock;
    std::vector<Entry> entries;
  };
  const Case cases[] = {
      // A 50 us pulse, then a CW filler ending at 80 us: 3,000 samples.
      {100e6, {{-1, 30, 20}, {1, 80, 0}}},
      // 10.4 us of blank leave the build at 10 us: the next filler counts 10.85 us.
      {1e6, {{0, 10.4, 0}, {1, 20.85, 0}, {0, 31.3, 0}}},
      {7.68e6, {{-1, 3.3, 1.1}, {0, 13.37, 0}, {1, 13.0, 0}, {1, 29.99, 0}}},
      {250e6, {{0, 1.0001, 0}, {-1, 0.77, 0.1}, {1, 2.5, 0}, {0, 2.7, 0}}},
      {33.333e6, {{1, 3, 0}, {-1, 1, 1}, {0, 9.99999, 0}}},
  };
  const std::string wave = dir_.File("counts.wv");
  for (const Case& c : cases) {
    ResetProject();
    SequenceRecord& s = SequenceTable[SequenceCount++];
    InitSequenceRecord(&s);
    s.name = "Counts";
    s.clock = c.clock;
    ASSERT_TRUE(s.waveFile.AssignExact(wave));
    const int rows = static_cast<int>(c.entries.size());
    for (int k = 0; k < rows; ++k) {
      const Entry& e = c.entries[k];
      if (e.kind < 0) {
        PulseRecord& p = AddPulse("P");
        p.onTime = e.a * 1e-6;
        p.offTime = e.b * 1e-6;
        s.entries[k].pulseId = static_cast<int32_t>(p.id);
        s.entries[k].repetitions = k == 0 ? 1 : 2;  // a first pulse once, a later one twice
      } else {
        s.entries[k].fillerType = e.kind;
        s.entries[k].fillerTime = e.a * 1e-6;  // as the Tstop cell stores it
      }
    }
    const auto counts = [&]() {
      std::vector<double> n;
      for (int row = 1; row <= rows; ++row) n.push_back(Number(SEQ_COL_SAMPLES, row));
      return n;
    };
    RefreshSequenceEditor(0);
    const std::vector<double> shown = counts();
    if (c.clock == 100e6) {
      EXPECT_EQ(shown[1], 3000.0);
    } else if (c.clock == 1e6) {
      EXPECT_EQ(shown, (std::vector<double>{10.0, 11.0, 10.0}));
    }
    SetSequenceEditorBusy(0);
    ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
    ASSERT_TRUE(UiTest_Popups().empty()) << c.clock;
    EXPECT_EQ(counts(), shown) << "rows of the build at " << c.clock << " Hz";
    RefreshSequenceEditor(0);
    EXPECT_EQ(counts(), shown) << "rows of the next refresh at " << c.clock << " Hz";

    const std::string file = cz::test::ReadFileBytes(wave);
    const std::size_t tag = file.find("{SAMPLES:");
    ASSERT_NE(tag, std::string::npos);
    double total = 0.0;
    for (double n : shown) total += n;
    EXPECT_EQ(std::atof(file.c_str() + tag + 9), total) << c.clock << " Hz";
  }
}

std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}
void CollectLog(const char* text) { LogLines().emplace_back(text != nullptr ? text : ""); }

TEST_F(SequenceGenerateTest, AReportThatCannotBeOpenedLeavesTheBuildUnstarted) {
  SequenceRecord& s = SmallSequence();
  s.reportOn = 1;  // a text report in a folder that does not exist
  ASSERT_TRUE(s.reportFile.AssignExact(dir_.File("no-such-folder/report.txt")));
  LogLines().clear();
  Log_SetLogSink(&CollectLog);
  UiTest_QueueMessageOk();  // the failure is shown, not only logged
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  Log_SetLogSink(nullptr);
  bool logged = false;
  for (const std::string& line : LogLines())
    logged = logged || line.find("*** An error ocured during report initialization.") != std::string::npos;
  EXPECT_TRUE(logged);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "ERROR");
  WaveFileInfo info{};
  EXPECT_EQ(WaveLib_GetFileInfo(dir_.File("out.wv").c_str(), &info), 0);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_GENERATE), 0);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_STOP), 1);
}

// Generate asks before it builds anything when the report cannot be
// written: a template that another program holds open (its lock file in
// either common form), a read-only template, a report plug-in that is not
// loaded. No builds nothing, Yes builds without the report; the template is
// never touched. A template that can be written gets the report.
TEST_F(SequenceGenerateTest, AReportThatCannotBeWrittenIsAskedAboutBeforeTheBuild) {
  constexpr const char* kFennick = "Fennick-EXCEL-1.0";
  SetPluginFolder(cz::test::BuildDir() + "/Plugins");
  LoadPlugins();
  struct Unload {
    ~Unload() {
      ShutdownPlugins();
      ModuleCount = 0;
      SetPluginFolder("");
    }
  } unload;
  ASSERT_GE(FindModuleByName(kFennick), 0);
  Report_InstallEngineHooks();
  const std::string book = dir_.File("trials.xlsx"), wave = dir_.File("out.wv");
  std::string out;
  ASSERT_EQ(cz::test::RunXlsxReaders("make-trial-template " + cz::test::Quoted(book), &out), 0) << out;
  const std::string original = cz::test::ReadFileBytes(book);
  SequenceRecord& s = SmallSequence();
  s.comment = "{REPORT PLUGIN: R1}";
  s.reportOn = 1;
  ASSERT_TRUE(s.reportFile.AssignExact(book));
  s.reportPlugin = kFennick;

  struct Case {
    const char* named;  // in the question
    void (*make)(SequenceRecord& s, const std::string& dir);
    void (*undo)(SequenceRecord& s, const std::string& dir);
  };
  const Case cases[] = {
      {"~$trials.xlsx", [](SequenceRecord&, const std::string& d) { cz::test::WriteFileBytes(d + "/~$trials.xlsx", "x"); },
       [](SequenceRecord&, const std::string& d) { std::remove((d + "/~$trials.xlsx").c_str()); }},
      {".~lock.trials.xlsx#",
       [](SequenceRecord&, const std::string& d) { cz::test::WriteFileBytes(d + "/.~lock.trials.xlsx#", "x"); },
       [](SequenceRecord&, const std::string& d) { std::remove((d + "/.~lock.trials.xlsx#").c_str()); }},
      {"is read-only", [](SequenceRecord&, const std::string& d) { chmod((d + "/trials.xlsx").c_str(), 0444); },
       [](SequenceRecord&, const std::string& d) { chmod((d + "/trials.xlsx").c_str(), 0644); }},
      {"'Fennick-EXCEL-2.0' is not loaded",
       [](SequenceRecord& r, const std::string&) { r.reportPlugin = "Fennick-EXCEL-2.0"; },
       [](SequenceRecord& r, const std::string&) { r.reportPlugin = "Fennick-EXCEL-1.0"; }},
  };
  for (const Case& c : cases) {
    c.make(s, dir_.path());
    for (bool yes : {false, true}) {
      SCOPED_TRACE(std::string(c.named) + (yes ? ", Yes" : ", No"));
      std::remove(wave.c_str());
      UiTest_ClearPopups();
      Status().clear();
      UiTest_QueueConfirm(yes);
      ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
      ASSERT_EQ(UiTest_Popups().size(), 1u);
      EXPECT_EQ(UiTest_Popups()[0].title, "Report Cannot Be Written");
      EXPECT_NE(UiTest_Popups()[0].text.find(c.named), std::string::npos) << UiTest_Popups()[0].text;
      EXPECT_EQ(cz::test::FileExists(wave), yes);
      EXPECT_EQ(cz::test::ReadFileBytes(book), original);
      ASSERT_FALSE(Status().empty());
      EXPECT_EQ(Status().back(), yes ? "Waveform Creation Finished without the report." : "User break");
      EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_GENERATE), 0);
    }
    c.undo(s, dir_.path());
  }
  UiTest_ClearPopups();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_EQ(Status().back(), "Waveform Creation Finished Successfully.");
  EXPECT_EQ(cz::test::RunXlsxReaders("report-cells " + cz::test::Quoted(book) + " Counts B3 1 C3 1", &out), 0) << out;
}

TEST_F(SequenceGenerateTest, StopDuringTheBuildEndsItWithoutAFile) {
  SmallSequence();
  EngineHost host = MainWindowEngineHost();
  host.stopPressed = PressStopThenPoll;
  SetEngineHost(&host);
  UiTest_QueueConfirm(true);   // "Abort Pulse Creation ?"
  UiTest_QueueMessageOk();     // "Waveform creation failed."
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Abort Pulse Creation ?");
  EXPECT_EQ(UiTest_Popups()[1].title, "ERROR");
  EXPECT_EQ(UiTest_Popups()[1].text, "Waveform creation failed.");
  WaveFileInfo info{};
  EXPECT_EQ(WaveLib_GetFileInfo(dir_.File("out.wv").c_str(), &info), 0);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_STOP), 1);
  EXPECT_EQ(Dimmed(TAB_SEDIT_CMD_GENERATE), 0);
}

// An overlay lies on the entry before it: an ADD entry that becomes the
// first one (the first deleted, or moved up) is reset to "---" with a log
// line and builds as a plain entry; a filler carries no overlay, and a pulse
// chosen again on that row starts without one.
TEST_F(SequenceGenerateTest, AnOverlayNeverBecomesTheFirstEntry) {
  SequenceRecord& s = SmallSequence();
  const PulseRecord& b = PulseTable[1];
  s.entries[1].pulseId = static_cast<int32_t>(b.id);
  s.entries[1].repetitions = 1;
  RefreshSequenceEditor(0);
  ClickCell(SEQ_COL_MODE, 2);
  ASSERT_EQ(Text(SEQ_COL_MODE, 2), "ADD");

  LogLines().clear();
  Log_SetLogSink(&CollectLog);
  SetActiveTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, 1));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_DEL), 1);
  Log_SetLogSink(nullptr);
  EXPECT_EQ(s.entries[0].pulseId, static_cast<int32_t>(b.id));
  EXPECT_EQ(s.entries[0].overlay, 0);
  EXPECT_EQ(Text(SEQ_COL_MODE, 1), "---");
  bool logged = false;
  for (const std::string& line : LogLines()) logged = logged || line.find("Overlay of the first entry") != std::string::npos;
  EXPECT_TRUE(logged);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  WaveFileInfo info{};
  ASSERT_EQ(WaveLib_GetFileInfo(dir_.File("out.wv").c_str(), &info), 1);
  EXPECT_EQ(info.samples, 200);  // pulse B alone: 1 us on, 1 us off at 100 MHz

  // Moved up to row 1: the same reset.
  SetSequenceEditorBusy(0);
  s.entries[1] = s.entries[0];
  s.entries[1].overlay = 2;
  RefreshSequenceEditor(0);
  SetActiveTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, 2));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_UP), 1);
  EXPECT_EQ(s.entries[0].overlay, 0);
  EXPECT_EQ(s.entries[1].overlay, 0);
  EXPECT_EQ(Text(SEQ_COL_MODE, 1), "---");
  // Moving the first entry down brings the overlay of the second to row 1.
  s.entries[1].overlay = 1;
  RefreshSequenceEditor(0);
  SetActiveTableCell(TAB_SEDIT, Table(), Cell(SEQ_COL_REPS, 1));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_SENTRY_DOWN), 1);
  EXPECT_EQ(s.entries[0].overlay, 0);

  // An ADD row turned into a filler shows and keeps no overlay; a pulse
  // chosen again on it starts as "---".
  ClickCell(SEQ_COL_MODE, 2);
  ASSERT_EQ(s.entries[1].overlay, 1);
  ClickCell(SEQ_COL_OBJECT, 2);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, 2), 0), 1);
  EXPECT_EQ(s.entries[1].overlay, 0);
  EXPECT_EQ(Text(SEQ_COL_MODE, 2), "---");
  ClickCell(SEQ_COL_OBJECT, 2);
  ASSERT_EQ(UiTest_ChooseTableCellRingItem(TAB_SEDIT, Table(), Cell(SEQ_COL_OBJECT, 2), 2), 1);
  EXPECT_TRUE(s.entries[1].IsPulse());
  EXPECT_EQ(s.entries[1].overlay, 0);
  EXPECT_EQ(Text(SEQ_COL_MODE, 2), "---");
  // A first entry that a stored project gave an overlay is shown and kept
  // without it.
  s.entries[0].overlay = 2;
  RefreshSequenceEditor(0);
  EXPECT_EQ(s.entries[0].overlay, 0);
  EXPECT_EQ(Text(SEQ_COL_MODE, 1), "---");
  // A filler that a stored project gave an overlay shows none.
  s.entries[2].fillerType = 0;
  s.entries[2].fillerTime = 50e-6;
  s.entries[2].overlay = 1;
  RefreshSequenceEditor(0);
  EXPECT_EQ(Text(SEQ_COL_MODE, 3), "---");
}

// A user filter set up in the Baseband Filter dialog whose coefficients are
// all zero is refused at Generate with a reason in the log, and no file is
// written; coefficients with a tap build the waveform.
// A coefficient file whose number overflows a double ("1e999") is imported
// as the user typed it nowhere: the import refuses it and the sequence keeps
// the coefficients it had, and no Generate builds a waveform of such a
// filter.
TEST_F(SequenceGenerateTest, AUserFilterCoefficientBeyondRangeIsRefused) {
  FILTER = BuildBasebandFilterPanel(0);
  ASSERT_GT(FILTER, 0);
  SequenceRecord& s = SmallSequence();
  const std::string huge = dir_.File("huge.txt"), taps = dir_.File("taps.txt");
  cz::test::WriteFileBytes(huge, "0 0\n1e999 1\n0 0\n-2e400 0\n");
  cz::test::WriteFileBytes(taps, "0 0\n1 1\n0 0\n");
  const auto importAndAccept = [&](const std::string& file) {
    ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FILTER), 1);
    int item = -1;
    GetTreeItemFromTag(FILTER, FILTER_TREE_FILTER, "_FLT_USER", &item);
    UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, item, 1);
    SetCtrlVal(FILTER, FILTER_CMD_BBFILTER, 1);
    UiTest_QueueFile(file.c_str());
    ASSERT_EQ(UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT), 1);
    ASSERT_EQ(UiTest_ClickCtrl(FILTER, FILTER_CMD_ACCEPT), 1);
  };
  importAndAccept(taps);
  ASSERT_EQ(s.userFilter.Length(), 3);
  LogLines().clear();
  Log_SetLogSink(&CollectLog);
  importAndAccept(huge);
  Log_SetLogSink(nullptr);
  EXPECT_EQ(s.userFilter.Length(), 3);
  EXPECT_DOUBLE_EQ(s.userFilter.I()[1], 1.0);
  bool logged = false;
  for (const std::string& line : LogLines())
    logged = logged || line.find("*** Filter coefficient out of range in line 2.") != std::string::npos;
  EXPECT_TRUE(logged);
  EXPECT_EQ(Status().back(), "Failed to import from filter file.");

  // Coefficients that reach the record otherwise (a project file) are
  // refused at Generate: infinite ones, finite ones the filter overflows on,
  // and ones whose filtered samples a float cannot hold.
  for (const double big : {std::numeric_limits<double>::infinity(), 1e308, -1.7e308, 1e50}) {
    std::vector<double> i{0.0, big, big, 0.0}, q{0.0, 1.0, big, 0.0};
    s.userFilter.Set(std::move(i), std::move(q));
    LogLines().clear();
    Log_SetLogSink(&CollectLog);
    UiTest_ClearPopups();
    UiTest_QueueMessageOk();
    ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
    Log_SetLogSink(nullptr);
    ASSERT_EQ(UiTest_Popups().size(), 1u) << big;
    EXPECT_EQ(UiTest_Popups()[0].text, "Waveform creation failed.");
    WaveFileInfo info{};
    EXPECT_EQ(WaveLib_GetFileInfo(dir_.File("out.wv").c_str(), &info), 0) << big;
    bool refused = false;
    for (const std::string& line : LogLines())
      refused = refused || line.find("*** User filter coefficients must be finite numbers.") != std::string::npos ||
                line.find("*** Filtered samples beyond the range of the sample format") != std::string::npos;
    EXPECT_TRUE(refused) << big;
  }
  DiscardPanel(FILTER);
  FILTER = 0;
}

TEST_F(SequenceGenerateTest, AnAllZeroUserFilterIsRefusedAtGenerate) {
  FILTER = BuildBasebandFilterPanel(0);
  ASSERT_GT(FILTER, 0);
  SmallSequence();
  const std::string zeros = dir_.File("zeros.txt"), taps = dir_.File("taps.txt");
  cz::test::WriteFileBytes(zeros, "0 0\n0.0 -0\n0\n");
  cz::test::WriteFileBytes(taps, "0 0\n1 1\n0 0\n");
  const auto setUp = [&](const std::string& file) {
    ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FILTER), 1);
    int item = -1;
    GetTreeItemFromTag(FILTER, FILTER_TREE_FILTER, "_FLT_USER", &item);
    UiTest_SetMarkState(FILTER, FILTER_TREE_FILTER, item, 1);
    SetCtrlVal(FILTER, FILTER_CMD_BBFILTER, 1);
    UiTest_QueueFile(file.c_str());
    ASSERT_EQ(UiTest_ClickCtrl(FILTER, FILTER_CMD_FLT_IMPORT), 1);
    ASSERT_EQ(UiTest_ClickCtrl(FILTER, FILTER_CMD_ACCEPT), 1);
  };
  setUp(zeros);
  ASSERT_EQ(SequenceTable[0].userFilter.Length(), 3);
  ASSERT_EQ(SequenceTable[0].filterType, FILTER_TYPE_USER);
  LogLines().clear();
  Log_SetLogSink(&CollectLog);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  Log_SetLogSink(nullptr);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Waveform creation failed.");
  bool logged = false;
  for (const std::string& line : LogLines())
    logged = logged || line.find("*** User filter coefficients are all zero.") != std::string::npos;
  EXPECT_TRUE(logged);
  WaveFileInfo info{};
  EXPECT_EQ(WaveLib_GetFileInfo(dir_.File("out.wv").c_str(), &info), 0);

  setUp(taps);
  UiTest_ClearPopups();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  EXPECT_EQ(WaveLib_GetFileInfo(dir_.File("out.wv").c_str(), &info), 1);
  DiscardPanel(FILTER);
  FILTER = 0;
}

}  // namespace
