// The nine report routines: how one reported pulse repetition becomes cells
// of the report workbook. Rows and columns are relative to the template's
// first data row r and column c; every cell is written as text.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "ComEXCEL.h"
#include "Fennick.h"

namespace fennick {

namespace {

// Toward zero, saturating at the int range (NaN gives 0).
int TruncInt(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return 2147483647;
  if (x <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(std::trunc(x));
}

std::string Count(int n) { return std::to_string(n); }
// A fixed-point number; one that shows as nothing but zeros is written as 0,
// never with a minus sign.
std::string Fixed(const char* format, double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, x);
  if (std::strchr(buf, '-') != nullptr && std::strpbrk(buf, "123456789") == nullptr)
    std::snprintf(buf, sizeof buf, format, 0.0);
  return buf;
}
// On time in microseconds with one decimal.
std::string OnTime(double pon) { return Fixed("%3.1f", pon * 1000000.0); }
std::string WholeMicro(double s) { return Count(TruncInt(s * 1000000.0)); }
std::string WholeMilli(double s) { return Count(TruncInt(s * 1000.0)); }
// FM deviation in whole MHz.
std::string Deviation(double hz) { return Count(TruncInt(hz / 1000000.0)); }
std::string Rounded(double x) { return Count(TruncInt(x + 0.5)); }
// The repetition as a period in s and as a rate in Hz, whichever the pulse
// gave; without the host's word on it, the value as it came.
double Period(const EntryValues& v) {
  if (v.pprfmode == 0) return v.pprfpri > 0.0 ? 1.0 / v.pprfpri : 0.0;
  return v.pprfpri;
}
double Rate(const EntryValues& v) {
  if (v.pprfmode == 1) return v.pprfpri > 0.0 ? 1.0 / v.pprfpri : 0.0;
  return v.pprfpri;
}
std::string BurstsText(int n) { return "Bursts in Trial: " + Count(n); }

// The writes of one routine call; the first failure ends it.
class Cells {
 public:
  explicit Cells(ComEXCEL& x) : x_(x) {}
  bool Put(int row, int column, const std::string& text) { return x_.WriteCell(row, column, text.c_str()); }
  // Clears rows r0..r1 and columns c0..c1, both ends included.
  bool ClearBlock(int r0, int r1, int c0, int c1) {
    for (int row = r0; row <= r1; ++row)
      for (int col = c0; col <= c1; ++col)
        if (!Put(row, col, "")) return false;
    return true;
  }

 private:
  ComEXCEL& x_;
};

// Routine state, kept across the entries of one report (and of a report
// continued within one build); every report starts from these values.
struct Routine1State { bool groupStart = true; int counter = 0; } g_r1;
struct Routine3State { double gap1 = 0.0, gap2 = 0.0; } g_r3;
struct Routine5State { int first = -1, last = -1, total = 0; } g_r5;
struct Routine6State { int bursts = 0; double gap1 = 0.0, gap2 = 0.0; } g_r6;
struct Routine8State { bool clearPending = true; int lastSegment = -1; bool newSegment = true; int group = 0, counter = 0; } g_r8;
// lastSegment: segment of the routine's previous entry (-1 before the first).
struct Routine9State { double trialStart = 0.0, gap1 = 0.0, gap2 = 0.0; int bursts = 0; int lastSegment = -1; } g_r9;

// Everything a report carries from entry to entry, with the first-entry marker.
struct RoutineStates {
  Routine1State r1;
  Routine3State r3;
  Routine5State r5;
  Routine6State r6;
  Routine8State r8;
  Routine9State r9;
  bool firstEntry = true;
};

RoutineStates Current() { return RoutineStates{g_r1, g_r3, g_r5, g_r6, g_r8, g_r9, g_firstEntry}; }

void Restore(const RoutineStates& s) {
  g_r1 = s.r1;
  g_r3 = s.r3;
  g_r5 = s.r5;
  g_r6 = s.r6;
  g_r8 = s.r8;
  g_r9 = s.r9;
  g_firstEntry = s.firstEntry;
}

// The state each closed report had, by template path; a report reopened
// later in the same build continues from it. A report that starts afresh
// drops its template's entry (one small entry per template ever used).
std::map<std::string, RoutineStates> g_suspended;
// Template of the report that is open.
std::string g_openReport;

// The trial sheet s + n - 1 of the trial number n in fileName.
bool SelectTrialSheet(ComEXCEL& x, int s, const char* fileName, char* errorText) {
  int trial = 0;
  if (!ParseTrialNumber(fileName, &trial, errorText)) return false;
  return x.SelectSheet(s + trial - 1);
}

// Repetitions 2 and 3 of a burst of three in row: the pulse number and the
// gap after the previous pulse, in whole microseconds. Repetition 1 keeps
// its off time in *gap1 for repetition 2.
int BurstFollower(Cells& w, int row, int c, const EntryValues& v, double* gap1, double* gap2) {
  switch (v.repno) {
    case 2:
      if (!w.Put(row, c + 1, "2") || !w.Put(row, c + 4, WholeMicro(*gap1))) return 0;
      *gap2 = v.poff;
      return 1;
    case 3:
      return w.Put(row, c + 1, "3") && w.Put(row, c + 5, WholeMicro(*gap2)) ? 1 : 0;
    default:
      return 1;
  }
}

// Repetitions counted per entry.
int Routine1(ComEXCEL& x, int s, int r, int c, bool first, const EntryValues& v) {
  Cells w(x);
  if (first) g_r1.groupStart = true;
  if (v.repcnt < 1) return 1;
  if (!x.SelectSheet(s)) return 0;
  const int row = r + v.msegno - 1;
  if (g_r1.groupStart) {
    g_r1.groupStart = false;
    g_r1.counter = 0;
    if (!w.Put(row, c, Count(v.msegno)) || !w.Put(row, c + 2, OnTime(v.pon)) ||
        !w.Put(row, c + 3, Count(TruncInt(Period(v) * 1000000.0 + 0.5))))
      return 0;
  }
  g_r1.counter += 1;
  if (v.repno == v.repcnt) {
    g_r1.groupStart = true;
    if (!w.Put(row, c + 1, Count(g_r1.counter))) return 0;
  }
  return 1;
}

// Delay per repetition on the trial sheet of the waveform file.
int Routine2(ComEXCEL& x, int s, int r, int c, const EntryValues& v, char* err) {
  Cells w(x);
  if (!SelectTrialSheet(x, s, v.filename, err)) return 0;
  if (v.repcnt <= 1) return 1;
  if (v.repno == 1 && !w.ClearBlock(r, r + 19, c + 6, c + 6)) return 0;
  if (!w.Put(r + 22, c + 3, v.filename)) return 0;
  return w.Put(r + v.repno - 1, c + 6, WholeMilli(v.pdelay)) ? 1 : 0;
}

// Bursts of up to three pulses, one row per segment.
int Routine3(ComEXCEL& x, int s, int r, int c, const EntryValues& v, char* err) {
  Cells w(x);
  if (!SelectTrialSheet(x, s, v.mseg_filename, err)) return 0;
  if (v.msegno == 1 && v.repno == 1 && !w.ClearBlock(r, r + 19, c + 1, c + 5)) return 0;
  const int row = r + v.msegno - 1;
  switch (v.repno) {
    case 1:
      if (!w.Put(r + 21, c + 3, v.mseg_filename) || !w.Put(r - 2, c, BurstsText(v.msegno)) ||
          !w.Put(row, c, Count(v.msegno)) || !w.Put(row, c + 1, "1") || !w.Put(row, c + 2, OnTime(v.pon)) ||
          !w.Put(row, c + 3, Deviation(v.fmdev)) || !w.Put(row, c + 4, "") || !w.Put(row, c + 5, ""))
        return 0;
      g_r3.gap1 = v.poff;
      return 1;
    default:
      return BurstFollower(w, row, c, v, &g_r3.gap1, &g_r3.gap2);
  }
}

// One row per segment, pulse or pause.
int Routine4(ComEXCEL& x, int s, int r, int c, const EntryValues& v) {
  Cells w(x);
  if (!x.SelectSheet(s)) return 0;
  const int row = r + v.msegno - 1;
  if (v.pon > 0.000000001)
    return w.Put(row, c, Count(v.msegno)) && w.Put(row, c + 1, Count(v.repcnt)) &&
                   w.Put(row, c + 2, OnTime(v.pon)) && w.Put(row, c + 3, Count(TruncInt(Rate(v))))
               ? 1
               : 0;
  return w.Put(row, c + 4, Fixed("%4.2f", v.poff * 1000.0)) ? 1 : 0;
}

// Running pulse total; the repetitions of the first multi-pulse entry.
int Routine5(ComEXCEL& x, int s, int r, int c, const EntryValues& v) {
  Cells w(x);
  if (!x.SelectSheet(s)) return 0;
  const int row = r + v.msegno - 1;
  if (v.seqno < g_r5.last) g_r5 = Routine5State{};
  if (v.repcnt > 1 && g_r5.first == -1) {
    g_r5.first = v.seqno;
    if (!w.Put(row, c + 3, "---") || !w.Put(row, c + 4, "---") || !w.Put(row, c + 5, "---")) return 0;
  }
  if (v.seqno != g_r5.last) {
    if (v.repcnt > 1) g_r5.total += v.repcnt;
    g_r5.last = v.seqno;
  }
  if (v.repcnt > 1 && !w.Put(row, c + 1, Count(g_r5.total))) return 0;
  if (v.seqno == g_r5.first)
    return w.Put(row, c, Count(v.msegno)) && w.Put(row, c + 2, OnTime(v.pon)) &&
                   w.Put(row, c + 2 + v.repno, Rounded(Rate(v)))
               ? 1
               : 0;
  return 1;
}

// Bursts of three, one row per three sequence entries.
int Routine6(ComEXCEL& x, int s, int r, int c, const EntryValues& v, char* err) {
  Cells w(x);
  if (!SelectTrialSheet(x, s, v.filename, err)) return 0;
  const int row = r + v.seqno / 3;
  if (v.seqno == 1 && v.repno == 1) {
    if (!w.ClearBlock(r, r + 19, c + 1, c + 5)) return 0;
    g_r6.bursts = 0;
    if (!w.Put(r + 21, c + 3, v.filename)) return 0;
  }
  if (v.repcnt == 1) {
    if (v.pon < 0.000000001 && !w.Put(row, c + 6, WholeMilli(v.pdelay))) return 0;
    return 1;
  }
  if (v.repcnt != 3) return 1;
  switch (v.repno) {
    case 1:
      g_r6.bursts += 1;
      g_r6.gap1 = v.poff;
      g_r6.gap2 = 0.0;
      return w.Put(row, c + 1, "1") && w.Put(row, c + 2, OnTime(v.pon)) && w.Put(row, c + 3, Deviation(v.fmdev)) &&
                     w.Put(row, c + 4, "") && w.Put(row, c + 5, "") && w.Put(r - 2, c, BurstsText(g_r6.bursts))
                 ? 1
                 : 0;
    default:
      return BurstFollower(w, row, c, v, &g_r6.gap1, &g_r6.gap2);
  }
}

// One row per segment at its first repetition.
int Routine7(ComEXCEL& x, int s, int r, int c, const EntryValues& v) {
  Cells w(x);
  if (v.repno != 1) return 1;
  if (!x.SelectSheet(s)) return 0;
  const int row = r + v.msegno - 1;
  return w.Put(row, c, Count(v.msegno)) && w.Put(row, c + 2, OnTime(v.pon)) &&
                 w.Put(row, c + 3, Rounded(Rate(v))) && w.Put(row, c + 1, Count(v.repcnt))
             ? 1
             : 0;
}

// One row per pair of segments with the repetition frequency.
int Routine8(ComEXCEL& x, int s, int r, int c, bool first, const EntryValues& v) {
  Cells w(x);
  if (first) g_r8.clearPending = true;
  if (v.msegno != g_r8.lastSegment) {
    g_r8.lastSegment = v.msegno;
    g_r8.newSegment = true;
  }
  if (v.repcnt < 1) return 1;
  if (!x.SelectSheet(s)) return 0;
  if (g_r8.clearPending) {
    g_r8.clearPending = false;
    if (!w.ClearBlock(r, r + 30, c, c + 3)) return 0;
  }
  if (g_r8.newSegment) {
    g_r8.newSegment = false;
    g_r8.counter = 0;
    g_r8.group = v.msegno / 2 + 1;
    const int row = r + g_r8.group - 1;
    if (!w.Put(row, c, Count(g_r8.group)) || !w.Put(row, c + 2, OnTime(v.pon)) ||
        !w.Put(row, c + 3, Count(TruncInt(1.0 / (Period(v) + 1e-32) + 0.5))) || !w.Put(row, c + 1, "0"))
      return 0;
  }
  g_r8.counter += 1;
  return w.Put(r + g_r8.group - 1, c + 1, Count(g_r8.counter)) ? 1 : 0;
}

// Bursts of three with the time since the trial start.
int Routine9(ComEXCEL& x, int s, int r, int c, const EntryValues& v, char* err) {
  Cells w(x);
  if (!SelectTrialSheet(x, s, v.mseg_filename, err)) return 0;
  // The trial starts afresh at the first repetition that segment 1 reports,
  // never at its later ones: a burst of segment 1 keeps its row.
  const bool trialStart = v.msegno == 1 && v.repno == 1 && g_r9.lastSegment != 1;
  g_r9.lastSegment = v.msegno;
  if (trialStart) {
    if (!w.ClearBlock(r, r + 19, c + 1, c + 6)) return 0;
    g_r9 = Routine9State{};
    g_r9.lastSegment = v.msegno;
    if (!w.Put(r + 21, c + 3, v.mseg_filename)) return 0;
  }
  if (v.repcnt == 1 && v.repno == 1) g_r9.trialStart = v.absstartt;
  if (v.repcnt != 3) return 1;
  const int row = r + v.msegno / 3;
  switch (v.repno) {
    case 1:
      g_r9.bursts += 1;
      g_r9.gap1 = v.poff;
      g_r9.gap2 = 0.0;
      return w.Put(row, c + 1, "1") && w.Put(row, c + 2, OnTime(v.pon)) && w.Put(row, c + 3, Deviation(v.fmdev)) &&
                     w.Put(row, c + 4, "") && w.Put(row, c + 5, "") &&
                     w.Put(row, c + 6, Count(TruncInt((v.absstartt - g_r9.trialStart) * 1000.0))) &&
                     w.Put(r - 2, c, BurstsText(g_r9.bursts))
                 ? 1
                 : 0;
    default:
      return BurstFollower(w, row, c, v, &g_r9.gap1, &g_r9.gap2);
  }
}

}  // namespace

void StartRoutines(bool continued) {
  g_openReport = g_templatePath;
  const auto it = g_suspended.find(g_openReport);
  if (continued && it != g_suspended.end()) {
    Restore(it->second);
    return;
  }
  if (it != g_suspended.end()) g_suspended.erase(it);
  Restore(RoutineStates{});
}

void SuspendRoutines() { g_suspended[g_openReport] = Current(); }

int RunReportRoutine(int routine, ComEXCEL& excel, int sheet, int row, int column, bool firstEntry,
                     const EntryValues& v, char* errorText) {
  switch (routine) {
    case 1: return Routine1(excel, sheet, row, column, firstEntry, v);
    case 2: return Routine2(excel, sheet, row, column, v, errorText);
    case 3: return Routine3(excel, sheet, row, column, v, errorText);
    case 4: return Routine4(excel, sheet, row, column, v);
    case 5: return Routine5(excel, sheet, row, column, v);
    case 6: return Routine6(excel, sheet, row, column, v, errorText);
    case 7: return Routine7(excel, sheet, row, column, v);
    case 8: return Routine8(excel, sheet, row, column, firstEntry, v);
    case 9: return Routine9(excel, sheet, row, column, v, errorText);
    default: return 0;
  }
}

}  // namespace fennick
