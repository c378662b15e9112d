// The jitter page's share of the pulse editor's two directions: the four
// blocks' enable switches, target and distribution rings, and the selected
// block's parameters (distributions 0..4) or its value / rule table (5..8),
// converted between the record's SI units and the target's display unit.
#include <cmath>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PulsePanelIds.h"
#include "editors/JitterPage.h"
#include "editors/PulseEditor.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/pulse/JitterPanel.h"

namespace {

// JitterDist codes that read the detail numerics, the value table or the rules.
constexpr int kLastNumericDist = 4;
constexpr int kFirstListDist = 5;
constexpr int kRulesDist = kJitterDistRules;

constexpr int kPointColor = 0xFF5050;
constexpr int kValueColumn = 2;

int ReadInt(int control) { return EditorInt(P_JIT, control); }
double ReadDouble(int control) { return EditorDouble(P_JIT, control); }

// The column-2 texts of TABLE_JITVAL that are not empty, in row order; the
// walk ends at the first row whose column 1 cannot be read.
std::vector<std::string> TableTexts() {
  std::vector<std::string> texts;
  for (int row = 1;; ++row) {
    char first[64] = "";
    if (GetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(1, row), first, sizeof first) < 0) {
      int number = 0;
      if (GetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(1, row), &number) < 0) break;
    }
    char text[kJitterRuleSize] = "";
    GetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(kValueColumn, row), text, sizeof text);
    if (text[0] != '\0') texts.emplace_back(text);
  }
  return texts;
}

// Row numbers go into column 1 as its cells take them (number or text).
void SetRowNumber(int row) {
  int type = VAL_CELL_STRING;
  GetTableCellAttribute(P_JIT, P_JIT_TABLE_JITVAL, Cell(1, row), ATTR_CELL_TYPE, &type);
  if (type == VAL_CELL_NUMERIC) SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(1, row), row);
  else SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(1, row), cz::FormatC("%d", row).c_str());
}

void Dim(int control, bool dimmed) { SetCtrlAttribute(P_JIT, control, ATTR_DIMMED, dimmed ? 1 : 0); }
void Visible(int control, bool visible) { SetCtrlAttribute(P_JIT, control, ATTR_VISIBLE, visible ? 1 : 0); }
void Label(int control, const char* label) {
  if (label != nullptr) SetCtrlAttribute(P_JIT, control, ATTR_LABEL_TEXT, label);
}

// Detail labels and visibility per distribution 0..4 (null: unchanged).
struct DistLayout {
  const char* minLabel;
  const char* maxLabel;
  const char* stepLabel;
  bool showMax, showStep, showCount;
};
constexpr DistLayout kDistLayouts[] = {
    {"Min", "Max", "Step", true, true, false},               // uniform
    {"Location", "Std Dev", "Min/Max", true, true, false},   // normal
    {"Min", "Max", nullptr, true, false, false},             // ramp
    {"Ampl", "Offset", nullptr, true, false, false},         // sine
    {"Step", nullptr, nullptr, false, false, true},          // staircase
};

void ShowValueTable(const JitterBlock& b, double factor) {
  const int n = b.values.count();
  for (int i = 0; i < n; ++i) {
    SetRowNumber(i + 1);
    SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(kValueColumn, i + 1),
                    cz::FormatC("%7.6f", b.values[static_cast<std::size_t>(i)] * factor).c_str());
  }
  double lo = 99999.9, hi = -99999.9;
  for (double v : b.values) {
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  if (n > 0)
    PlotY(P_JIT, P_JIT_GRAPH_JITSHAPE, b.values.data(), n, 0.0, 1.0, VAL_SCATTER, VAL_SOLID_SQUARE, VAL_SOLID,
          kPointColor);
  SetCtrlVal(P_JIT, P_JIT_STR_JITPOINTS, cz::FormatC("%d", n).c_str());
  // The read-outs are in the table's unit.
  SetCtrlVal(P_JIT, P_JIT_STR_JITMIN, cz::FormatC("%4.3f", lo * factor).c_str());
  SetCtrlVal(P_JIT, P_JIT_STR_JITMAX, cz::FormatC("%4.3f", hi * factor).c_str());
}

void ShowRuleTable(const JitterBlock& b) {
  const int n = b.rules.count();
  for (int i = 0; i < n; ++i) {
    SetRowNumber(i + 1);
    SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(kValueColumn, i + 1), b.rules[static_cast<std::size_t>(i)].c_str());
  }
  SetCtrlVal(P_JIT, P_JIT_STR_JITPOINTS, cz::FormatC("%d", n).c_str());
  SetCtrlVal(P_JIT, P_JIT_STR_JITMIN, "---");
  SetCtrlVal(P_JIT, P_JIT_STR_JITMAX, "---");
}

}  // namespace


// Step 5 reads all four blocks' switches and rings; steps 6 and 7 read the
// selected block's details by its distribution and convert them from the
// display unit to SI (x 1e-6 for times shown in us, x 1e6 for MHz).
void ReadJitterFromEditor(PulseRecord* pulse, int block) {
  for (int n = 0; n < kJitterBlocks; ++n) {
    JitterBlock& b = pulse->jitter[n];
    b.target = static_cast<uint8_t>(ReadInt(JitterControlTable[JITTER_CTL_TARGET][n]));
    b.distribution = static_cast<uint8_t>(ReadInt(JitterControlTable[JITTER_CTL_DIST][n]));
    b.enabled = ReadInt(JitterControlTable[JITTER_CTL_ENABLE][n]);
  }
  JitterBlock& b = pulse->jitter[block];
  const double toRecord = 1.0 / JitterDisplayFactor(b.target);
  if (b.distribution >= kFirstListDist && b.distribution < kRulesDist) {
    // A cell still showing its stored value keeps that value exactly: the
    // shown text has six decimals only, and a show reads the table back.
    const std::vector<double> old = b.values.vec();
    const double factor = JitterDisplayFactor(b.target);
    b.values.Clear();
    std::vector<double> values;
    for (const std::string& text : TableTexts()) {
      const std::size_t k = values.size();
      if (k < old.size() && text == cz::FormatC("%7.6f", old[k] * factor)) {
        values.push_back(old[k]);
        continue;
      }
      const double v = cz::StrtodC(text.c_str(), nullptr) * toRecord;
      if (std::isfinite(v)) {
        values.push_back(v);
        continue;
      }
      // "nan", "inf" or a number whose value in the record's unit is none:
      // the place keeps what it held (0 for a new one).
      const double kept = k < old.size() ? old[k] : 0.0;
      Log_Message(3, "*** Jitter value '", text.c_str(), "' is not a finite number; the value is not changed.");
      values.push_back(kept);
    }
    // A table beyond the list's capacity leaves the block without a list.
    b.values.Assign(std::move(values));
  } else if (b.distribution == kRulesDist) {
    b.rules.Clear();
    std::vector<JitterRule> rules;
    for (const std::string& text : TableTexts()) rules.emplace_back(text);
    b.rules.Assign(std::move(rules));
  } else if (b.distribution <= kLastNumericDist) {
    b.p1 = ReadDouble(P_JIT_NUM_JITTER_MIN) * toRecord;
    b.p2 = ReadDouble(P_JIT_NUM_JITTER_MAX) * toRecord;
    b.p3 = ReadDouble(P_JIT_NUM_JITTER_STEP) * toRecord;
    b.stairCount = ReadInt(P_JIT_NUM_JITTER_NCNT);
  }
}

// The selected block shows either the four numerics (distributions 0..4,
// relabelled per distribution) or the value / rule table (5..8).
void ShowJitterInEditor(const PulseRecord& pulse, int block) {
  DeleteGraphPlot(P_JIT, P_JIT_GRAPH_JITSHAPE, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  SetCtrlAttribute(P_JIT, P_JIT_GRAPH_JITSHAPE, ATTR_REFRESH_GRAPH, 0);
  for (int control : {P_JIT_STR_JITPOINTS, P_JIT_STR_JITMIN, P_JIT_STR_JITMAX}) SetCtrlVal(P_JIT, control, "--");
  for (int n = 0; n < kJitterBlocks; ++n) {
    const JitterBlock& b = pulse.jitter[n];
    SetCtrlVal(P_JIT, JitterControlTable[JITTER_CTL_ENABLE][n], b.enabled);
    SetCtrlVal(P_JIT, JitterControlTable[JITTER_CTL_TARGET][n], static_cast<int>(b.target));
    SetCtrlVal(P_JIT, JitterControlTable[JITTER_CTL_DIST][n], static_cast<int>(b.distribution));
    Dim(JitterControlTable[JITTER_CTL_TARGET][n], b.enabled == 0);
    Dim(JitterControlTable[JITTER_CTL_DIST][n], b.enabled == 0);
  }
  const JitterBlock& b = pulse.jitter[block];
  const double factor = JitterDisplayFactor(b.target);
  const int detail[] = {P_JIT_NUM_JITTER_MIN, P_JIT_NUM_JITTER_MAX,  P_JIT_NUM_JITTER_STEP,   P_JIT_NUM_JITTER_NCNT,
                        P_JIT_TABLE_JITVAL,   P_JIT_CMD_JITTER_CLEARALL, P_JIT_CMD_JITTER_IMP, P_JIT_CMD_JITTER_RESCALE,
                        P_JIT_NUM_IMP_COL,    P_JIT_NUM_SCALE_GAIN,  P_JIT_NUM_SCALE_OFFSET};
  for (int control : detail) Dim(control, b.enabled == 0);
  const int listControls[] = {P_JIT_CMD_JITTER_CLEARALL, P_JIT_CMD_JITTER_IMP, P_JIT_CMD_JITTER_RESCALE,
                              P_JIT_NUM_IMP_COL, P_JIT_NUM_SCALE_GAIN, P_JIT_NUM_SCALE_OFFSET};
  if (b.distribution <= kLastNumericDist) {
    const DistLayout& layout = kDistLayouts[b.distribution];
    Label(P_JIT_NUM_JITTER_MIN, layout.minLabel);
    Label(P_JIT_NUM_JITTER_MAX, layout.maxLabel);
    Label(P_JIT_NUM_JITTER_STEP, layout.stepLabel);
    Visible(P_JIT_NUM_JITTER_MIN, true);
    Visible(P_JIT_NUM_JITTER_MAX, layout.showMax);
    Visible(P_JIT_NUM_JITTER_STEP, layout.showStep);
    Visible(P_JIT_NUM_JITTER_NCNT, layout.showCount);
    Visible(P_JIT_TABLE_JITVAL, false);
    for (int control : listControls) Dim(control, true);
    SetCtrlVal(P_JIT, P_JIT_NUM_JITTER_MIN, b.p1 * factor);
    SetCtrlVal(P_JIT, P_JIT_NUM_JITTER_MAX, b.p2 * factor);
    SetCtrlVal(P_JIT, P_JIT_NUM_JITTER_STEP, b.p3 * factor);
    SetCtrlVal(P_JIT, P_JIT_NUM_JITTER_NCNT, b.stairCount);
  } else {
    for (int control : {P_JIT_NUM_JITTER_MIN, P_JIT_NUM_JITTER_MAX, P_JIT_NUM_JITTER_STEP, P_JIT_NUM_JITTER_NCNT})
      Visible(control, false);
    // Hidden while it is filled; one empty row follows the entries.
    Visible(P_JIT_TABLE_JITVAL, false);
    DeleteTableRows(P_JIT, P_JIT_TABLE_JITVAL, 1, -1);
    const bool rules = b.distribution == kRulesDist;
    const int n = rules ? b.rules.count() : b.values.count();
    InsertTableRows(P_JIT, P_JIT_TABLE_JITVAL, -1, n + 1, VAL_USE_MASTER_CELL_TYPE);
    if (rules) ShowRuleTable(b);
    else ShowValueTable(b, factor);
    SetRowNumber(n + 1);
    SetTableCellVal(P_JIT, P_JIT_TABLE_JITVAL, Cell(kValueColumn, n + 1), "");
    Visible(P_JIT_TABLE_JITVAL, true);
  }
  // The plot is redrawn whatever the block shows.
  SetCtrlAttribute(P_JIT, P_JIT_GRAPH_JITSHAPE, ATTR_REFRESH_GRAPH, 1);
}
