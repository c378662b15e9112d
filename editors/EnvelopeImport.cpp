// Custom envelope of a pulse: import of levels or I/Q pairs from columns of
// a text file (read twice: count, then store), clearing, the import-mode
// dimming and the display on the custom-envelope pages.
#include "editors/EnvelopeImport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/Progress.h"
#include "app/PulsePanelIds.h"
#include "app/Settings.h"
#include "platform/BoundedText.h"
#include "editors/PulseEditor.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/TimingPanel.h"

namespace {

constexpr const char* kTitle = "Torvane Q7 Cadenza";
constexpr int kLineMax = 1023;  // characters of a line; the rest of a longer line is dropped
constexpr int kIColor = 0x5050FF, kQColor = 0xFF5050, kLevelColor = 0x505010;
// The first touch of fresh memory is slow (the 16 MB of a million I/Q
// points took a tenth of a second): the arrays of a large envelope are
// filled and plotted this many values (1 MB) at a time, the window painted
// in between.
constexpr std::size_t kPiece = 1u << 17;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The numbers of one line in the wanted columns; false when the line lacks
// one of them. Column numbers are 1-based; 0 or less is never present.
bool LineColumns(const std::string& line, int mode, int columnA, int columnB, double* a, double* b) {
  const int wanted = mode == IMPORT_IQ ? std::max(columnA, columnB) : columnA;
  if (columnA < 1 || (mode == IMPORT_IQ && columnB < 1)) return false;
  std::vector<double> numbers(static_cast<std::size_t>(wanted));
  if (ScanLeadingNumbers(line.c_str(), numbers.data(), wanted) < wanted) return false;
  *a = numbers[static_cast<std::size_t>(columnA - 1)];
  if (mode == IMPORT_IQ) *b = numbers[static_cast<std::size_t>(columnB - 1)];
  return true;
}

// Where a pass stands for the progress function: the first pass is the
// first half of the import, the second the other.
struct PassProgress {
  EnvelopeProgressFn fn = nullptr;
  double base = 0.0;  // percent at the start of the pass
};
constexpr int kProgressLines = 1024;

bool ProgressSaysStop(const PassProgress& p, std::FILE* f, long fileBytes) {
  if (p.fn == nullptr) return false;
  const long at = std::ftell(f);
  const double part = fileBytes > 0 && at > 0 ? std::min(1.0, static_cast<double>(at) / fileBytes) : 0.0;
  return p.fn(p.base + 50.0 * part) != 0;
}

// One pass over the file: counts the valid lines and, when the arrays are
// given, stores up to their size. kPassOpenFailed when the file cannot be
// opened, kPassReadFailed when it cannot be read to its end, kPassStopped
// when the progress function said stop.
constexpr int kPassOpenFailed = -1, kPassReadFailed = -2, kPassStopped = -3;
int ReadPass(const char* path, int mode, int columnA, int columnB, std::vector<double>* a, std::vector<double>* b,
             const PassProgress& progress) {
  File f(std::fopen(ResolvedLocalPath(path).c_str(), "rb"));
  if (!f) return kPassOpenFailed;
  long fileBytes = 0;
  if (progress.fn != nullptr && std::fseek(f.get(), 0, SEEK_END) == 0) {
    fileBytes = std::ftell(f.get());
    std::rewind(f.get());
  }
  SkipByteOrderMark(f.get());
  std::string line;
  int lineNumber = 0, valid = 0;
  while (ReadTextLine(f.get(), &line)) {
    ++lineNumber;
    if (lineNumber % kProgressLines == 0 && ProgressSaysStop(progress, f.get(), fileBytes)) return kPassStopped;
    if (line.empty()) continue;
    double va = 0.0, vb = 0.0;
    if (!LineColumns(line, mode, columnA, columnB, &va, &vb)) {
      Log_Message(1, cz::FormatC("*** Line %d ignored.", lineNumber).c_str());
      continue;
    }
    if (a != nullptr && static_cast<std::size_t>(valid) < a->size()) {
      (*a)[static_cast<std::size_t>(valid)] = va;
      if (b != nullptr) (*b)[static_cast<std::size_t>(valid)] = vb;
    }
    ++valid;
  }
  if (std::ferror(f.get())) return kPassReadFailed;
  return ProgressSaysStop(progress, f.get(), fileBytes) ? kPassStopped : valid;
}

void SetText(int panel, int control, const std::string& text) { SetCtrlVal(panel, control, text.c_str()); }

// Fills rows 1..n of a table: column 1 the entry numbers, the other columns
// the given values as "%7.6f" texts. The rows are added and filled
// kFillRows at a time, the window kept painted between the pieces (a
// million rows take a second or more); the texts of a piece are written into one buffer
// (std::to_chars gives the digits of "%7.6f" in the C locale, and at six
// decimals no text is shorter than the width of 7).
constexpr int kFillRows = 8192;

void FillTable(int panel, int table, const std::vector<const std::vector<double>*>& columns, int n) {
  if (panel <= 0 || table <= 0 || n <= 0) return;
  constexpr std::size_t kCellText = 32;  // "%7.6f" of any finite double below 1e24, and its end
  const int piece = std::min(n, kFillRows);
  // The rows added in pieces never move.
  ReserveTableRows(panel, table, n);
  std::vector<int> entries(static_cast<std::size_t>(piece));
  std::vector<char> texts(static_cast<std::size_t>(piece) * kCellText);
  std::vector<const char*> pointers(static_cast<std::size_t>(piece));
  for (int first = 0; first < n; first += piece) {
    const int rows = std::min(piece, n - first);
    InsertTableRows(panel, table, -1, rows, VAL_USE_MASTER_CELL_TYPE);
    for (int i = 0; i < rows; ++i) entries[static_cast<std::size_t>(i)] = first + i + 1;
    SetTableCellRangeVals(panel, table, MakeRect(first + 1, 1, rows, 1), entries.data(), 0);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      for (std::size_t i = 0; i < static_cast<std::size_t>(rows); ++i) {
        char* text = texts.data() + i * kCellText;
        const double v = (*columns[c])[static_cast<std::size_t>(first) + i];
        const auto [end, error] = std::to_chars(text, text + kCellText - 1, v, std::chars_format::fixed, 6);
        if (error == std::errc()) *end = '\0';
        else cz::CopyText(text, kCellText, cz::FormatC("%7.6f", v));  // too long for the cell buffer
        pointers[i] = text;
      }
      SetTableCellRangeVals(panel, table, MakeRect(first + 1, static_cast<int>(c) + 2, rows, 1), pointers.data(), 0);
    }
    KeepWindowLive();
  }
}

void SetFigures(int count, double minimum, double maximum) {
  SetText(T_VIEW, T_VIEW_STR_ENVPOINTS, cz::FormatC("%d", count));
  SetText(T_VIEW, T_VIEW_STR_ENVMIN, cz::FormatC("%4.3f", minimum));
  SetText(T_VIEW, T_VIEW_STR_ENVMAX, cz::FormatC("%4.3f", maximum));
}

// The shape as scatter plots of kPiece points each (a million points
// plotted whole are 16 MB of fresh memory the graph fills in one call),
// with the window kept painted after each; points of one colour look the
// same whatever plot holds them.
void PlotShape(const std::vector<double>& y, int color) {
  constexpr int kPlotPoints = static_cast<int>(kPiece);
  const int n = static_cast<int>(y.size());
  for (int first = 0; first < n; first += kPlotPoints) {
    PlotY(T_VIEW, T_VIEW_GRAPH_ENVSHAPE, y.data() + first, std::min(kPlotPoints, n - first), first, 1.0,
          VAL_SCATTER, VAL_SOLID_SQUARE, VAL_SOLID, color);
    KeepWindowLive();
  }
}

}  // namespace

bool ReadTextLine(std::FILE* f, std::string* line) {
  line->clear();
  int c = std::fgetc(f);
  if (c == EOF) return false;
  while (c != EOF && c != '\n' && c != '\r') {
    if (static_cast<int>(line->size()) < kLineMax) line->push_back(static_cast<char>(c));
    c = std::fgetc(f);
  }
  // CR LF is one line end, so line numbers stay right for such files.
  if (c == '\r') {
    const int next = std::fgetc(f);
    if (next != '\n' && next != EOF) std::ungetc(next, f);
  }
  return true;
}

void SkipByteOrderMark(std::FILE* f) {
  const long at = std::ftell(f);
  unsigned char mark[3] = {0, 0, 0};
  const std::size_t got = std::fread(mark, 1, 3, f);
  if (got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) return;
  if (at >= 0) std::fseek(f, at, SEEK_SET);
}

int ScanLeadingNumbers(const char* text, double* values, int wanted) {
  int found = 0;
  const char* p = text;
  while (p != nullptr && found < wanted) {
    // Blanks, tabs and the list separators "," and ";" stand between numbers.
    while (*p == ' ' || *p == '\t' || *p == ',' || *p == ';') ++p;
    char* end = nullptr;
    const double v = cz::StrtodC(p, &end);
    // "nan" and "inf" are no sample values.
    if (end == p || !std::isfinite(v)) break;
    values[found++] = v;
    p = end;
  }
  return found;
}

// Pass 1 counts, pass 2 stores into new arrays; the envelope takes them
// only when at least one point was read. A file that shrank in between keeps
// what pass 2 found and one that grew stores no more than was counted.
int EnvelopeReadFile(const char* path, int mode, int columnA, int columnB, PulseEnvelope* envelope,
                     EnvelopeProgressFn progress) {
  auto stopped = []() {
    Log_Message(1, "*** Import cancelled. The envelope is unchanged.");
    return ENVELOPE_READ_CANCELLED;
  };
  const int count = ReadPass(path, mode, columnA, columnB, nullptr, nullptr, PassProgress{progress, 0.0});
  if (count == kPassStopped) return stopped();
  if (count == kPassOpenFailed) return ENVELOPE_READ_OPEN_FAILED;
  if (count == kPassReadFailed) {
    Log_Message(1, "*** Error reading input file. The envelope is unchanged.");
    return ENVELOPE_READ_FAILED;
  }
  if (count == 0) {
    Log_Message(1, "*** No line holds the chosen columns. The envelope is unchanged.");
    return ENVELOPE_READ_NO_DATA;
  }
  if (static_cast<std::size_t>(count) > kEnvelopeMaxPoints) {
    Log_Message(1, cz::FormatC("*** %d points: an envelope holds at most %ld. The envelope is unchanged.", count,
                               static_cast<long>(kEnvelopeMaxPoints)).c_str());
    return ENVELOPE_READ_TOO_LARGE;
  }
  std::vector<double> a, b;
  try {
    a.reserve(static_cast<std::size_t>(count));
    if (mode == IMPORT_IQ) b.reserve(static_cast<std::size_t>(count));
    for (std::size_t size = 0; size < static_cast<std::size_t>(count);) {
      size = std::min(static_cast<std::size_t>(count), size + kPiece);
      a.resize(size);
      if (mode == IMPORT_IQ) b.resize(size);
      KeepWindowLive();
    }
  } catch (const std::bad_alloc&) {
    Log_Message(1, "*** Failed to Allocate Memory.");
    return ENVELOPE_READ_NO_MEMORY;
  }
  const int stored =
      ReadPass(path, mode, columnA, columnB, &a, mode == IMPORT_IQ ? &b : nullptr, PassProgress{progress, 50.0});
  if (stored == kPassStopped) return stopped();
  if (stored == kPassOpenFailed) return ENVELOPE_READ_OPEN_FAILED;
  if (stored == kPassReadFailed) {
    Log_Message(1, "*** Error reading input file. The envelope is unchanged.");
    return ENVELOPE_READ_FAILED;
  }
  if (stored == 0) {
    Log_Message(1, "*** No line holds the chosen columns. The envelope is unchanged.");
    return ENVELOPE_READ_NO_DATA;
  }
  // A file that lost lines between the passes keeps only what was read again.
  if (stored < count) {
    a.resize(static_cast<std::size_t>(stored));
    if (mode == IMPORT_IQ) b.resize(static_cast<std::size_t>(stored));
  }
  if (mode == IMPORT_IQ) envelope->SetIq(std::move(a), std::move(b));
  else envelope->SetLevels(std::move(a));
  return ENVELOPE_READ_OK;
}

void DimEnvelopeColumns(int customOn, int mode) {
  SetCtrlAttribute(T_IMP, T_IMP_NUM_IMP_COL_ENV, ATTR_DIMMED, customOn ? 0 : 1);
  SetCtrlAttribute(T_IMP, T_IMP_NUM_IMP_COL_ENV_2, ATTR_DIMMED, customOn && mode == IMPORT_IQ ? 0 : 1);
}

namespace {

// What the tables, the plot and the figures show: a copy of the envelope
// they were filled from, with the pages and the row count it gave. Filling
// 1,000,000 I/Q points takes most of a second, comparing them a few
// milliseconds, so the pages are filled again only when the envelope (or
// the pages themselves) changed.
struct ShownEnvelope {
  bool valid = false;
  PulseEnvelope envelope;
  int env = 0, iq = 0, view = 0;  // page handles
  int rows = 0;
};
ShownEnvelope& Shown() {
  static ShownEnvelope shown;
  return shown;
}

int TableRows(int panel, int table) {
  int rows = -1;
  if (GetNumTableRows(panel, table, &rows) < 0) return -1;
  return rows;
}

bool ShowsEnvelope(const PulseEnvelope& env) {
  const ShownEnvelope& shown = Shown();
  if (!shown.valid || shown.env != T_ENV || shown.iq != T_IQ || shown.view != T_VIEW) return false;
  if (TableRows(T_ENV, T_ENV_TABLE_ARBENVEL) != shown.rows) return false;
  if (env.HasQ() && TableRows(T_IQ, T_IQ_TABLE_ARBENVEL) != shown.rows) return false;
  // Bit by bit: -0.0 and 0.0 are shown differently.
  auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
  };
  return same(shown.envelope.Values(), env.Values()) && same(shown.envelope.QValues(), env.QValues());
}

// The copy is made in pieces with the window painted in between: a million
// I/Q points are 16 MB.
std::vector<double> CopyInPieces(const std::vector<double>& from) {
  std::vector<double> to;
  to.reserve(from.size());
  for (std::size_t at = 0; at < from.size(); at += kPiece) {
    to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(at),
              from.begin() + static_cast<std::ptrdiff_t>(std::min(from.size(), at + kPiece)));
    KeepWindowLive();
  }
  return to;
}

void RememberShown(const PulseEnvelope& env) {
  ShownEnvelope& shown = Shown();
  shown.valid = true;
  if (env.HasQ()) {
    shown.envelope.SetIq(CopyInPieces(env.Values()), CopyInPieces(env.QValues()));
  } else {
    shown.envelope.SetLevels(CopyInPieces(env.Values()));
  }
  shown.env = T_ENV;
  shown.iq = T_IQ;
  shown.view = T_VIEW;
  shown.rows = env.Count();
}

}  // namespace

void ForgetShownEnvelope() {
  ShownEnvelope& shown = Shown();
  shown.valid = false;
  shown.envelope.Free();
}

// The kind of data follows the record (Q present or not), never the
// import-mode ring. I/Q data shows |I + jQ| on the amplitude page.
void ShowPulseEnvelope(const PulseRecord& pulse) {
  const PulseEnvelope& env = pulse.envelope;
  // An empty envelope costs nothing to show; a large one is shown again
  // only when it is not the one the pages hold.
  if (!env.Empty() && ShowsEnvelope(env)) return;
  ForgetShownEnvelope();
  SetText(T_VIEW, T_VIEW_STR_ENVPOINTS, "0");
  SetText(T_VIEW, T_VIEW_STR_ENVMIN, "0");
  SetText(T_VIEW, T_VIEW_STR_ENVMAX, "0");
  DeleteGraphPlot(T_VIEW, T_VIEW_GRAPH_ENVSHAPE, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  DeleteTableRows(T_ENV, T_ENV_TABLE_ARBENVEL, 1, -1);
  KeepWindowLive();
  DeleteTableRows(T_IQ, T_IQ_TABLE_ARBENVEL, 1, -1);
  KeepWindowLive();
  if (env.Empty()) return;
  const int n = env.Count();
  SetCtrlAttribute(T_VIEW, T_VIEW_GRAPH_ENVSHAPE, ATTR_REFRESH_GRAPH, 0);
  SetCtrlAttribute(T_ENV, T_ENV_TABLE_ARBENVEL, ATTR_VISIBLE, 0);
  if (env.HasQ()) {
    SetCtrlAttribute(T_IQ, T_IQ_TABLE_ARBENVEL, ATTR_VISIBLE, 0);
    std::vector<double> magnitude;
    magnitude.reserve(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
      const double iv = env.Values()[i], qv = env.QValues()[i];
      magnitude.push_back(std::sqrt(iv * iv + qv * qv));
      if ((i + 1) % kPiece == 0) KeepWindowLive();
    }
    FillTable(T_ENV, T_ENV_TABLE_ARBENVEL, {&magnitude}, n);
    FillTable(T_IQ, T_IQ_TABLE_ARBENVEL, {&env.Values(), &env.QValues()}, n);
    PlotShape(env.Values(), kIColor);
    PlotShape(env.QValues(), kQColor);
    const auto [lo, hi] = std::minmax_element(magnitude.begin(), magnitude.end());
    SetFigures(n, *lo, *hi);
    SetCtrlAttribute(T_IQ, T_IQ_TABLE_ARBENVEL, ATTR_VISIBLE, 1);
  } else {
    FillTable(T_ENV, T_ENV_TABLE_ARBENVEL, {&env.Values()}, n);
    PlotShape(env.Values(), kLevelColor);
    const auto [lo, hi] = std::minmax_element(env.Values().begin(), env.Values().end());
    SetFigures(n, *lo, *hi);
  }
  SetCtrlAttribute(T_VIEW, T_VIEW_GRAPH_ENVSHAPE, ATTR_REFRESH_GRAPH, 1);
  SetCtrlAttribute(T_ENV, T_ENV_TABLE_ARBENVEL, ATTR_VISIBLE, 1);
  KeepWindowLive();
  RememberShown(env);
  KeepWindowLive();
}

namespace {

// The import's progress in the progress dialog, at most once per pump
// interval or new percent; 1 (= stop) after its Cancel.
int ImportProgress(double percent) {
  static double lastTime = -1.0;
  static int lastPercent = -1;
  const double now = Timer();
  const int whole = static_cast<int>(percent);
  if (whole == lastPercent && now >= lastTime && (now - lastTime) * 1000.0 < kProgressPumpIntervalMs) return 0;
  lastTime = now;
  lastPercent = whole;
  return ProgressDialogHook(percent);
}

}  // namespace

// Commit of "Import Data From File...": the file dialog, then the import
// in the chosen mode and columns; the editor is redrawn in every case.
int EnvelopeImportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr) return 0;
  int mode = IMPORT_LEVEL, columnA = 1, columnB = 2;
  GetCtrlVal(T_IMP, T_IMP_RING_IMPORTMODE, &mode);
  GetCtrlVal(T_IMP, T_IMP_NUM_IMP_COL_ENV, &columnA);
  GetCtrlVal(T_IMP, T_IMP_NUM_IMP_COL_ENV_2, &columnB);
  const bool iq = mode == IMPORT_IQ;
  char path[UI_MAX_PATH] = "";
  if (FileSelectPopup("", "*.txt", "*.txt; *.*", iq ? "Select I/Q data file" : "Select envelope data file",
                      VAL_LOAD_BUTTON, 0, 0, 1, 1, path, sizeof path) != VAL_EXISTING_FILE_SELECTED)
    return 0;
  Log_Status(1, iq ? "Importing I/Q Data." : "Importing Envelope Data.");
  ProcessDrawEvents();  // the status shows while the file is read
  // A large file takes seconds: the progress dialog shows how far the two
  // passes are, and its Cancel (or an exit waiting to run) stops them.
  const int dialog = Progress_Open(iq ? "Importing I/Q data..." : "Importing envelope data...");
  if (dialog) {
    Progress_SetTotal(100.0);
    Progress_EnableCancel(1);
  }
  const int result = EnvelopeReadFile(path, iq ? IMPORT_IQ : IMPORT_LEVEL, columnA, columnB, &pulse->envelope,
                                      &ImportProgress);
  if (dialog) Progress_Close();
  switch (result) {
    case ENVELOPE_READ_OPEN_FAILED: Log_Status(1, "Cannot Open Input File."); break;
    case ENVELOPE_READ_OK: break;
    case ENVELOPE_READ_CANCELLED: Log_Status(1, "User break"); break;
    default: Log_Status(1, "Import Failed - See Log For Details."); break;
  }
  ShowPulseInEditor();
  return 0;
}

// Asks only when there is data to lose.
int PulseEnvelopeClearCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr) return -1;
  if (!pulse->envelope.Empty() && ConfirmPopup(kTitle, "Delete pulse envelope or I/Q data.\nAre you sure ?") != 1)
    return -1;
  pulse->envelope.Free();
  ShowPulseInEditor();
  return 0;
}

int EnvelopeImportModeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  int customOn = 0, mode = IMPORT_LEVEL;
  GetCtrlVal(P_TIM, P_TIM_RADIO_ARBENVEL, &customOn);
  GetCtrlVal(T_IMP, T_IMP_RING_IMPORTMODE, &mode);
  DimEnvelopeColumns(customOn, mode);
  return 0;
}
