// Custom envelope of the pulse editor: the import of levels or I/Q pairs
// from columns of a text file, the clearing of the data, the import-mode
// dimming, and the display of the data on the pages T_ENV, T_IQ and T_VIEW.
#pragma once

#include <cstdio>
#include <string>

#include "app/PulseRecord.h"

// T_IMP callbacks (commit only). PulseEnvelopeClearCb returns -1 without a
// valid current pulse or when the user declines, else 0.
int EnvelopeImportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int PulseEnvelopeClearCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int EnvelopeImportModeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// Writes the record's envelope into the two tables, the View plot and its
// three figures (step of ShowPulseInEditor).
void ShowPulseEnvelope(const PulseRecord& pulse);
// Makes the next ShowPulseEnvelope fill the tables, the plot and the
// figures again even when the envelope is the one they show.
void ForgetShownEnvelope();
// The import-mode dimming of the two column fields.
void DimEnvelopeColumns(int customOn, int mode);

// ---- Import logic, free of the panels

// Outcome of EnvelopeReadFile.
enum EnvelopeReadStatus {
  ENVELOPE_READ_OK = 1,
  ENVELOPE_READ_OPEN_FAILED = 0,   // "Cannot Open Input File."
  ENVELOPE_READ_NO_MEMORY = -1,    // "*** Failed to Allocate Memory."
  ENVELOPE_READ_NO_DATA = -2,      // no line held the wanted columns
  ENVELOPE_READ_TOO_LARGE = -3,    // more points than an envelope holds
  ENVELOPE_READ_FAILED = -4,       // the file could not be read to its end
  ENVELOPE_READ_CANCELLED = -5,    // the progress function said stop
};

// Progress of EnvelopeReadFile: percent 0..100 over both passes (by the
// bytes read), called every 1,024 lines and at the end of each pass; a
// non-zero result stops the import.
using EnvelopeProgressFn = int (*)(double percent);

// Reads one text file in two passes into the envelope: mode IMPORT_LEVEL
// takes the number in column a (1-based) of each line, IMPORT_IQ the
// numbers in columns a (I) and b (Q). Empty lines are skipped silently; a
// line lacking a column is logged "*** Line %d ignored." once per pass.
// The envelope is replaced only by data read with at least one point; after
// any failure (open, read, no usable line, too many points, a stop by the
// progress function) it is unchanged and the reason is logged.
int EnvelopeReadFile(const char* path, int mode, int columnA, int columnB, PulseEnvelope* envelope,
                     EnvelopeProgressFn progress = nullptr);

// One line of a text file, ended by CR, LF or CR LF (a pair counts as one
// end), without its end; at most 1,023 characters are kept, the rest of a
// longer line is dropped. false at the end of the file with nothing read.
bool ReadTextLine(std::FILE* file, std::string* line);

// Skips a UTF-8 byte-order mark (EF BB BF) at the current position of a
// text file; anything else stays to be read.
void SkipByteOrderMark(std::FILE* file);

// Numbers at the front of a text, scanned one after the other as the
// formatted scan "%f" takes them (leading blanks skipped, then a number;
// the rest of the line follows), up to `wanted` numbers or the first item
// that is not a number. Returns how many were found.
int ScanLeadingNumbers(const char* text, double* values, int wanted);
