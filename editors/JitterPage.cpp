// The jitter page's callbacks and the operations on a block's value list.
#include "editors/JitterPage.h"

#include <cstdio>
#include <memory>

#include "app/Log.h"
#include "app/PulsePanelIds.h"
#include "app/Settings.h"
#include "editors/EnvelopeImport.h"
#include "editors/PulseEditor.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/pulse/JitterPanel.h"

int JitterControlTable[JITTER_CTL_GROUPS][kJitterBlocks] = {
    {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}};

namespace {

constexpr int kColumnMax = 100;  // NUM_IMP_COL range 1..100

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Block of a control in one group of JitterControlTable; -1 when none.
int BlockOfControl(int group, int control) {
  for (int n = 0; n < kJitterBlocks; ++n)
    if (JitterControlTable[group][n] == control) return n;
  return -1;
}

// The selected block of the current pulse; nullptr without a valid pulse or
// a selected block.
JitterBlock* SelectedBlock() {
  PulseRecord* pulse = CurrentPulseRecord();
  const int n = JitterSelectedBlock();
  if (pulse == nullptr || n < 0) return nullptr;
  return &pulse->jitter[n];
}

}  // namespace

void InitJitterControlTable() {
  const int* const groups[JITTER_CTL_GROUPS][kJitterBlocks] = {
      {&P_JIT_RADIO_JITTER1, &P_JIT_RADIO_JITTER2, &P_JIT_RADIO_JITTER3, &P_JIT_RADIO_JITTER4},
      {&P_JIT_RING_JITTER1_MODE, &P_JIT_RING_JITTER2_MODE, &P_JIT_RING_JITTER3_MODE, &P_JIT_RING_JITTER4_MODE},
      {&P_JIT_CMD_JIT1, &P_JIT_CMD_JIT2, &P_JIT_CMD_JIT3, &P_JIT_CMD_JIT4},
      {&P_JIT_RING_JITTER1_DTYPE, &P_JIT_RING_JITTER2_DTYPE, &P_JIT_RING_JITTER3_DTYPE,
       &P_JIT_RING_JITTER4_DTYPE},
  };
  for (int g = 0; g < JITTER_CTL_GROUPS; ++g)
    for (int n = 0; n < kJitterBlocks; ++n) JitterControlTable[g][n] = *groups[g][n];
}

int JitterSelectedBlock() {
  if (P_JIT <= 0) return -1;
  for (int n = 0; n < kJitterBlocks; ++n) {
    int on = 0;
    if (GetCtrlVal(P_JIT, JitterControlTable[JITTER_CTL_SELECT][n], &on) >= 0 && on == 1) return n;
  }
  return -1;
}

int JitterReadValueFile(const char* path, int column, std::vector<double>* values, int* errorLine) {
  if (errorLine != nullptr) *errorLine = 0;
  if (path == nullptr || values == nullptr) return JITTER_IMPORT_OPEN_FAILED;
  if (column < 1) column = 1;
  if (column > kColumnMax) column = kColumnMax;
  FilePtr file(std::fopen(ResolvedLocalPath(path).c_str(), "rb"));
  if (!file) return JITTER_IMPORT_OPEN_FAILED;
  SkipByteOrderMark(file.get());
  // One pass into a local list: a file that changes while it is read can
  // never make the record's list disagree with its count.
  std::vector<double> read;
  std::string line;
  int lineNumber = 0;
  double numbers[kColumnMax];
  while (ReadTextLine(file.get(), &line)) {
    ++lineNumber;
    if (line.empty()) continue;
    if (ScanLeadingNumbers(line.c_str(), numbers, column) < column) {
      if (errorLine != nullptr) *errorLine = lineNumber;
      return JITTER_IMPORT_BAD_LINE;
    }
    if (read.size() >= kJitterListMax) return JITTER_IMPORT_TOO_MANY;
    read.push_back(numbers[column - 1]);
  }
  if (std::ferror(file.get())) return JITTER_IMPORT_READ_FAILED;
  if (read.empty()) return JITTER_IMPORT_NO_DATA;
  *values = std::move(read);
  return JITTER_IMPORT_OK;
}

int JitterImportBlock(JitterBlock* block, const char* path, int column) {
  if (block == nullptr) return JITTER_IMPORT_OPEN_FAILED;
  std::vector<double> values;
  int errorLine = 0;
  const int status = JitterReadValueFile(path, column, &values, &errorLine);
  switch (status) {
    case JITTER_IMPORT_OPEN_FAILED: Log_Status(1, "Cannot open input file."); break;
    case JITTER_IMPORT_BAD_LINE:
      Log_Message(1, cz::FormatC("** Error in line %d.", errorLine).c_str());
      Log_Status(1, "Import Failed - See Log For Details.");
      break;
    case JITTER_IMPORT_TOO_MANY:
      Log_Message(1, cz::FormatC("** Too many values: a jitter list holds at most %d.",
                                 static_cast<int>(kJitterListMax))
                         .c_str());
      Log_Status(1, "Import Failed - See Log For Details.");
      break;
    case JITTER_IMPORT_NO_DATA:
      Log_Message(1, "** No values in the file.");
      Log_Status(1, "Import Failed - See Log For Details.");
      break;
    case JITTER_IMPORT_READ_FAILED:
      Log_Message(1, "*** Error reading input file.");
      Log_Status(1, "Import Failed - See Log For Details.");
      break;
    default: block->values.Assign(std::move(values)); break;
  }
  return status;
}

int JitterRescaleBlock(JitterBlock* block, double gain, double offset) {
  if (block == nullptr || block->values.empty()) return 0;
  for (double& v : block->values.span()) v = v * gain + offset;
  return 1;
}

void JitterClearBlock(JitterBlock* block) {
  if (block != nullptr) block->FreeLists();
}

int JitterEnableCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr) return 0;
  int n = BlockOfControl(JITTER_CTL_ENABLE, control);
  if (n < 0) n = BlockOfControl(JITTER_CTL_DIST, control);
  if (n < 0) return 0;
  int enabled = 0, distribution = 0;
  GetCtrlVal(panel, JitterControlTable[JITTER_CTL_ENABLE][n], &enabled);
  GetCtrlVal(panel, JitterControlTable[JITTER_CTL_DIST][n], &distribution);
  pulse->jitter[n].enabled = enabled;
  pulse->jitter[n].distribution = static_cast<uint8_t>(distribution);
  ShowPulseInEditor();
  return 0;
}

int JitterSelectCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  for (int n = 0; n < kJitterBlocks; ++n) {
    const int toggle = JitterControlTable[JITTER_CTL_SELECT][n];
    SetCtrlVal(panel, toggle, toggle == control ? 1 : 0);
  }
  ShowPulseInEditor();
  return 0;
}

int JitterImportCb(int panel, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  JitterBlock* block = SelectedBlock();
  if (block == nullptr) return 0;
  char path[UI_MAX_PATH] = "";
  const int chosen = FileSelectPopup("", "*.txt", "*.txt;*.*", "Select import file", VAL_LOAD_BUTTON, 0, 0, 1, 1,
                                     path, sizeof path);
  if (chosen != VAL_EXISTING_FILE_SELECTED) return 0;
  int column = 1;
  GetCtrlVal(panel, P_JIT_NUM_IMP_COL, &column);
  const int status = JitterImportBlock(block, path, column);
  // A file that cannot be opened still redraws; a failed read does not.
  if (status == JITTER_IMPORT_OK || status == JITTER_IMPORT_OPEN_FAILED) ShowPulseInEditor();
  return 0;
}

int JitterRescaleCb(int panel, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  JitterBlock* block = SelectedBlock();
  if (block == nullptr) return 0;
  double gain = 1.0, offset = 0.0;
  GetCtrlVal(panel, P_JIT_NUM_SCALE_GAIN, &gain);
  GetCtrlVal(panel, P_JIT_NUM_SCALE_OFFSET, &offset);
  if (JitterRescaleBlock(block, gain, offset)) ShowPulseInEditor();
  return 0;
}

int JitterClearAllCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  JitterBlock* block = SelectedBlock();
  if (block == nullptr) return 0;
  JitterClearBlock(block);
  ShowPulseInEditor();
  return 0;
}

int JitterPanelCb(int, int, void*, int, int) { return 0; }
