// The Baseband Filter dialog's logic: Apply, Accept and Cancel, the filter
// tree with its single check mark and the dimming of unused fields, and the
// import of user filter coefficients with their plot.
#include "editors/BasebandFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TypedText.h"
#include "editors/SequenceFilter.h"
#include "editors/EnvelopeImport.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

// Filter types 1..9 by the tag of their TREE_FILTER item.
constexpr const char* kFilterTags[9] = {"_FLT_RECT",   "_FLT_RCOS",  "_FLT_COS",     "_FLT_GAUSS", "_FLT_U_RECT",
                                        "_FLT_U_RCOS", "_FLT_U_COS", "_FLT_U_GAUSS", "_FLT_USER"};
constexpr int kColumn1Color = 0xA93326;
constexpr int kColumn2Color = 0x285291;
// The coefficient graph's y range without coefficients (and for all-zero
// ones), and the room above and below the coefficients' extremes.
constexpr double kDefaultCoefficientRange = 1.1;
constexpr double kCoefficientMargin = 0.05;
// A coefficient line is read in pieces of at most 510 characters.
constexpr int kLinePiece = 510;

bool CurrentSequenceValid() { return CurrentSequence >= 0 && CurrentSequence < SequenceCount; }

// Coefficients imported into the open dialog and not yet stored: they reach
// the sequence (by its ID) at Apply or Accept, and are dropped by Cancel and
// by every reload of the dialog from a sequence.
struct PendingImport {
  bool present = false;
  uint32_t sequenceId = 0;
  std::vector<double> column1, column2;
};
PendingImport g_pending;

bool IsNumberStart(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }
bool IsNumberChar(char c) { return IsNumberStart(c) || c == 'e' || c == 'E'; }

// The decimal number at text (sign, digits, point, exponent) as far as the
// text forms one; 0 when no digit follows. Hexadecimal, "inf" and "nan"
// forms are not numbers here.
double DecimalAt(const char* text) {
  std::string number;
  const char* p = text;
  if (*p == '+' || *p == '-') number += *p++;
  bool digits = false;
  while (*p >= '0' && *p <= '9') number += *p++, digits = true;
  if (*p == '.') {
    number += *p++;
    while (*p >= '0' && *p <= '9') number += *p++, digits = true;
  }
  if (!digits) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    if (*q >= '0' && *q <= '9') {
      number.append(p, static_cast<std::size_t>(q - p));
      while (*q >= '0' && *q <= '9') number += *q++;
    }
  }
  return cz::StrtodC(number.c_str(), nullptr);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// The checked items of TREE_FILTER: how many, and the first.
int CheckedItems(int* first) {
  int count = 0, checked = 0;
  *first = -1;
  if (GetNumTreeItems(FILTER, FILTER_TREE_FILTER, &count) < 0) return 0;
  for (int item = 0; item < count; ++item) {
    int state = 0;
    if (GetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, item, ATTR_MARK_STATE, &state) >= 0 && state != 0) {
      if (*first < 0) *first = item;
      ++checked;
    }
  }
  return checked;
}

std::string ItemTag(int item) {
  char tag[UI_TAG_LEN] = "";
  if (GetTreeItemTag(FILTER, FILTER_TREE_FILTER, item, tag, sizeof tag) < 0) return std::string();
  return tag;
}

// A field the checked filter uses (not dimmed) whose value lies outside its
// range, as a sequence loaded from a project may hold, or a comment too long
// for the record: the popup names it and false is returned, so that nothing
// is stored.
bool FieldsInRange(const std::string& comment) {
  const std::size_t room = decltype(SequenceRecord::userComment)::kMaxLength;
  if (comment.size() > room) {
    MessagePopup("Error", ("Comment too long: " + TextTooLongDetail(comment, room) +
                           ".\nThe filter settings were not stored.")
                              .c_str());
    return false;
  }
  const struct {
    const int* control;
    const char* label;
    const char* unit;
  } fields[] = {{&FILTER_NUM_OVS, "Oversampling", ""},
                {&FILTER_NUM_FREQ, "Cutoff Frequency", "MHz"},
                {&FILTER_NUM_ALPHA, "Roll Off / BT", ""},
                {&FILTER_NUM_IMPULSEOVS, "OVS", ""}};
  for (const auto& f : fields) {
    std::string message;
    if (UsedNumericOutsideRange(FILTER, *f.control, f.label, f.unit, &message)) {
      MessagePopup("Error", (message + "\nThe filter settings were not stored.").c_str());
      return false;
    }
  }
  return true;
}

// The dialog into the sequence it was filled from; false when a field was
// refused (nothing stored).
bool StoreFilterDialog() {
  if (!CurrentSequenceValid()) return true;
  // Only the sequence the dialog was filled from takes its values.
  const int slot = SequenceDialogSlot(FilterDialogSequenceId);
  if (slot < 0) return true;
  int item = -1;
  const bool typed = CheckedItems(&item) == 1;
  int level = -1;
  if (typed) GetTreeItemLevel(FILTER, FILTER_TREE_FILTER, item, &level);
  const std::string comment = TypedCtrlText(FILTER, FILTER_STR_USRCMT);
  if (level == 1 && !FieldsInRange(comment)) return false;
  SequenceRecord& seq = SequenceTable[slot];
  GetCtrlVal(FILTER, FILTER_CMD_BBFILTER, &seq.filterOn);
  GetCtrlVal(FILTER, FILTER_RING_WINDOW, &seq.window);
  if (g_pending.present && g_pending.sequenceId == seq.id)
    seq.userFilter.Set(std::move(g_pending.column1), std::move(g_pending.column2));
  BasebandFilter_DiscardImport();
  if (level == 1) {
    // A tag of no built-in type (a plug-in filter) keeps the stored type.
    const int type = BasebandFilter_TypeOfTag(ItemTag(item).c_str());
    if (type != 0) seq.filterType = type;
    double cutoffMHz = 0.0;
    GetCtrlVal(FILTER, FILTER_NUM_OVS, &seq.oversampling);
    GetCtrlVal(FILTER, FILTER_NUM_FREQ, &cutoffMHz);
    seq.cutoff = cutoffMHz * 1000000.0;
    GetCtrlVal(FILTER, FILTER_NUM_ALPHA, &seq.alpha);
    GetCtrlVal(FILTER, FILTER_NUM_IMPULSEOVS, &seq.userOversampling);
    seq.userComment.AssignExact(comment);
    if (slot == CurrentSequence) SetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_FILTER, seq.filterOn);
  }
  return true;
}

}  // namespace

const char* BasebandFilter_TagOfType(int filterType) {
  return filterType >= 1 && filterType <= 9 ? kFilterTags[filterType - 1] : nullptr;
}

int BasebandFilter_TypeOfTag(const char* tag) {
  if (tag == nullptr) return 0;
  for (int k = 0; k < 9; ++k)
    if (std::strcmp(tag, kFilterTags[k]) == 0) return k + 1;
  return 0;
}

FilterFieldState BasebandFilter_FieldState(const char* tag) {
  FilterFieldState s;
  if (tag == nullptr) return s;
  if (std::strstr(tag, "_FLT_USER") != nullptr) {
    s.freqDimmed = s.alphaDimmed = true;
    return s;
  }
  if (std::strstr(tag, "GAUSS") != nullptr) s.freqDimmed = s.freqFromAlpha = true;
  if (std::strstr(tag, "RECT") != nullptr) s.alphaDimmed = true;
  return s;
}

void BasebandFilter_ParseLine(const char* line, double* column1, double* column2) {
  *column1 = *column2 = 0.0;
  const char* p = line;
  while (*p != '\0' && !IsNumberStart(*p)) ++p;
  if (*p == '\0') return;
  *column1 = DecimalAt(p);
  while (*p != '\0' && IsNumberChar(*p)) ++p;
  while (*p != '\0' && !IsNumberStart(*p)) ++p;
  *column2 = *p != '\0' ? DecimalAt(p) : *column1;
}

// One physical line (CR, LF or CR LF) gives one pair, whatever its length:
// the text beyond the first kLinePiece characters is dropped. A file in
// which no line holds a number has nothing to import.
int BasebandFilter_ReadCoefficients(const char* path, std::vector<double>* column1, std::vector<double>* column2,
                                    int* badLine) {
  column1->clear();
  column2->clear();
  if (badLine != nullptr) *badLine = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(ResolvedLocalPath(path).c_str(), "rb"));
  if (!file) return -1;
  SkipByteOrderMark(file.get());
  std::string line;
  bool anyNumber = false;
  while (column1->size() < kMaxUserFilterLength && ReadTextLine(file.get(), &line)) {
    if (line.size() > static_cast<std::size_t>(kLinePiece)) line.resize(static_cast<std::size_t>(kLinePiece));
    double c1 = 0.0, c2 = 0.0;
    BasebandFilter_ParseLine(line.c_str(), &c1, &c2);
    // A number beyond the range of a double reads as infinite: such a
    // coefficient would turn every filtered sample into no number.
    if (!std::isfinite(c1) || !std::isfinite(c2)) {
      if (badLine != nullptr) *badLine = static_cast<int>(column1->size()) + 1;
      column1->clear();
      column2->clear();
      return -3;
    }
    anyNumber = anyNumber || line.find_first_of("0123456789") != std::string::npos;
    column1->push_back(c1);
    column2->push_back(c2);
  }
  if (std::ferror(file.get())) {
    column1->clear();
    column2->clear();
    return -2;
  }
  if (!anyNumber) {
    column1->clear();
    column2->clear();
  }
  return static_cast<int>(column1->size());
}

void BasebandFilter_CoefficientRange(const std::vector<double>& column1, const std::vector<double>& column2,
                                     double* low, double* high) {
  double lo = 0.0, hi = 0.0;
  for (const std::vector<double>* column : {&column1, &column2})
    for (double v : *column)
      if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
  if (hi - lo <= 0.0) {
    *low = -kDefaultCoefficientRange;
    *high = kDefaultCoefficientRange;
    return;
  }
  const double margin = kCoefficientMargin * (hi - lo);
  *low = lo < 0.0 ? lo - margin : lo;
  *high = hi > 0.0 ? hi + margin : hi;
}

// Up to 2 x 9,999 segments: the graph is redrawn once, at the end, with
// its y axis over the coefficients' range.
void BasebandFilter_PlotCoefficients(const std::vector<double>& column1, const std::vector<double>& column2) {
  const int graph = FILTER_GRAPH_FILTER;
  SetCtrlAttribute(FILTER, graph, ATTR_REFRESH_GRAPH, 0);
  DeleteGraphPlot(FILTER, graph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  const std::size_t n = std::min(column1.size(), column2.size());
  for (std::size_t i = 1; i < n; ++i) {
    const double x0 = static_cast<double>(i - 1), x1 = static_cast<double>(i);
    PlotLine(FILTER, graph, x0, column1[i - 1], x1, column1[i], kColumn1Color);
    PlotLine(FILTER, graph, x0, column2[i - 1], x1, column2[i], kColumn2Color);
  }
  double low = 0.0, high = 0.0;
  BasebandFilter_CoefficientRange(n > 1 ? column1 : std::vector<double>(), n > 1 ? column2 : std::vector<double>(),
                                  &low, &high);
  SetAxisScalingMode(FILTER, graph, VAL_LEFT_YAXIS, VAL_MANUAL, low, high);
  SetCtrlAttribute(FILTER, graph, ATTR_REFRESH_GRAPH, 1);
}

// The switch and the window are stored in any case; the type and its
// parameters only when exactly one filter item (level 1) is checked. The
// cut-off is shown in MHz and stored in Hz. A field the type uses whose
// value lies outside its range refuses the whole store. The dialog stays
// open.
int FilterApplyCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event == EVENT_COMMIT) StoreFilterDialog();
  return 0;
}

// Accept closes the dialog only once its values are stored.
int FilterAcceptCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event == EVENT_COMMIT && StoreFilterDialog()) HidePanel(FILTER);
  return 0;
}

int FilterCancelCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  BasebandFilter_DiscardImport();
  HidePanel(FILTER);
  return 0;
}

// A Gaussian's cut-off field shows the bandwidth BT x clock, in MHz.
void BasebandFilter_DimFieldsForItem(int item) {
  int level = -1;
  if (GetTreeItemLevel(FILTER, FILTER_TREE_FILTER, item, &level) < 0 || level != 1) return;
  const FilterFieldState s = BasebandFilter_FieldState(ItemTag(item).c_str());
  SetCtrlAttribute(FILTER, FILTER_NUM_FREQ, ATTR_DIMMED, s.freqDimmed ? 1 : 0);
  SetCtrlAttribute(FILTER, FILTER_NUM_ALPHA, ATTR_DIMMED, s.alphaDimmed ? 1 : 0);
  if (s.freqFromAlpha && CurrentSequenceValid()) {
    double bt = 0.0;
    GetCtrlVal(FILTER, FILTER_NUM_ALPHA, &bt);
    SetCtrlVal(FILTER, FILTER_NUM_FREQ, bt * SequenceTable[CurrentSequence].clock / 1000000.0);
  }
}

// The run-time reports a mark change with the item in eventData1 and the
// new state in eventData2, and keeps the old state when 1 is returned.
int FilterTreeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData;
  if (event != EVENT_MARK_STATE_CHANGE) return 0;
  const int item = eventData1;
  // The checked item stays checked: a mark only moves to another item.
  if (eventData2 == 0) return 1;
  if (!CurrentSequenceValid()) return 0;
  int checked = -1;
  while (CheckedItems(&checked) > 0) SetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, checked, ATTR_MARK_STATE, 0);
  SetTreeItemAttribute(FILTER, FILTER_TREE_FILTER, item, ATTR_MARK_STATE, 1);
  BasebandFilter_DimFieldsForItem(item);
  return 0;
}

void BasebandFilter_DiscardImport() {
  g_pending.present = false;
  g_pending.sequenceId = 0;
  g_pending.column1.clear();
  g_pending.column2.clear();
}

int BasebandFilter_PendingImportLength() { return g_pending.present ? static_cast<int>(g_pending.column1.size()) : -1; }

// The coefficients fill the dialog (count and plot) and wait there for Apply
// or Accept; they do not choose the filter type ("User Data" selects their
// use). A file that cannot be opened or holds no line changes nothing: the
// sequence and the dialog keep the coefficients they had.
int FilterImportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentSequenceValid()) return 0;
  char path[UI_MAX_PATH] = "";
  if (FileSelectPopup("", "*.txt", "*.txt; *.*", "Select import file", VAL_LOAD_BUTTON, 0, 0, 1, 0, path,
                      sizeof path) != VAL_EXISTING_FILE_SELECTED)
    return 0;
  std::vector<double> column1, column2;
  int badLine = 0;
  const int count = BasebandFilter_ReadCoefficients(path, &column1, &column2, &badLine);
  if (count == -1) {
    Log_Status(1, "Failed to open filter file.");
    return 0;
  }
  if (count == -3) {
    Log_Message(1, cz::FormatC("*** Filter coefficient out of range in line %d.", badLine).c_str());
    Log_Status(1, "Failed to import from filter file.");
    return 0;
  }
  if (count == 0) {
    Log_Message(1, "*** No data imported from file.");
    Log_Status(1, "Failed to import from filter file.");
    return 0;
  }
  // The import belongs to the sequence the dialog was filled from.
  const int slot = SequenceDialogSlot(FilterDialogSequenceId);
  if (slot < 0) return 0;
  g_pending.present = true;
  g_pending.sequenceId = SequenceTable[slot].id;
  g_pending.column1 = std::move(column1);
  g_pending.column2 = std::move(column2);
  SetCtrlVal(FILTER, FILTER_NUM_IMPULSE, count);
  BasebandFilter_PlotCoefficients(g_pending.column1, g_pending.column2);
  return 0;
}
