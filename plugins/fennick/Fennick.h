// Internal state and units of the Fennick report plug-in.
//
// Fennick receives the values of every reported pulse repetition key by key
// (mod_setvalue), finds the report definition named by the tag in the
// sequence comment and lets one of nine report routines write the values
// into the workbook. All state is static in the library and used from the
// host's user-interface thread only.
#pragma once

#include <cstdint>

class ComEXCEL;

namespace fennick {

inline constexpr int kErrorSize = 1024;      // error text, terminator included
inline constexpr int kDefinitions = 10;      // template rows 3 to 12
inline constexpr int kTagSize = 10;          // 9 characters of a definition's tag
inline constexpr int kReportTagChars = 31;   // characters taken of a comment's tag

// The values of the entry being reported, as the "set_" keys stored them.
// Units are the host's: seconds and Hz.
struct EntryValues {
  char seqname[1024];
  char comment[4096];
  char filename[1024];
  double clock;
  char mseg_name[1024];
  char mseg_comment[4096];
  char mseg_filename[1024];
  double pdelay, prise, pon, pfall, poff, pprfpri, fofs, phofs, levon, levoff, levdroop, fmdev, startt,
      absstartt;
  int seqno, filler, repcnt, repno, msegno;
  // What pprfpri holds: 0 a PRF in Hz, 1 a PRI in s, -1 not told (the
  // routines then take pprfpri as their columns want it).
  int pprfmode = -1;
};

struct ReportDefinition {
  int sheet = -1;             // sheet number; 0 or less = not in use
  char tag[kTagSize] = "";
  int routine = -1;           // routine ID 1-9
};

// The report layout read from sheet 1 of the template.
struct ReportLayout {
  ReportDefinition defs[kDefinitions];
  int firstRow = 0;
  int firstColumn = 0;
};

// Process-wide state (Fennick.cpp).
extern char g_error[kErrorSize];
extern ComEXCEL* g_excel;
extern char g_templatePath[1024];
extern bool g_templatePathTooLong;
extern ReportLayout g_layout;
extern bool g_firstEntry;
// Set by mod_setparam "continuereport" (non-zero): the next "initreport"
// continues the report that an earlier one of the same build wrote to the
// same template; every "initreport" clears it.
extern bool g_continueReport;
extern EntryValues g_values;

// Sets the error text (cut to 1,023 characters).
void SetError(const char* text);
// Sets the error text to prefix followed by the session's error text, which
// is emptied.
void SetSessionError(const char* prefix);

// Template and tags (FennickTemplate.cpp).
void ForgetDefinitions();
// "initreport": opens the template and reads its definitions. 1 or 0; a
// failure leaves no workbook open.
int InitReport();
// "finishentry": finds the definition for the stored comment and runs its routine. 1 or 0.
int FinishEntry();
// Finds the report tag in a comment; false when it holds no usable tag.
bool FindReportTag(const char* comment, char* tag, int tagSize);
// Trial number 1-30 from the last component of a file name ('/' or '\\'
// separated; a host path, which starts with '/', only at '/') holding
// "TRIAL-<n>" (any case); false with the reason in errorText (kErrorSize
// bytes).
bool ParseTrialNumber(const char* fileName, int* trial, char* errorText);

// Routine state (FennickRoutines.cpp). StartRoutines at "initreport": the
// report of g_templatePath starts afresh (every routine's state initial, the
// first-entry marker set), or, continued, from where that report stood when
// it was last closed within this build (afresh when it never was).
// SuspendRoutines at its close keeps that state for a continuation.
void StartRoutines(bool continued);
void SuspendRoutines();

// Report routines (FennickRoutines.cpp): 1 success, 0 failure. A failure
// from a trial number leaves its reason in errorText (kErrorSize bytes);
// any other failure leaves it in the session's error text.
int RunReportRoutine(int routine, ComEXCEL& excel, int sheet, int row, int column, bool firstEntry,
                     const EntryValues& v, char* errorText);

}  // namespace fennick
