// The report driver: the host side of report generation.
//
// While a sequence or multi-segment waveform is built, every computed pulse
// repetition is reported either as one line of a plain text report (opened
// for appending) or, value by value, to a report plug-in (a loaded module
// whose type text is exactly "report") through its mod_setvalue entry.
//
// Protocol with a report plug-in, in calling order:
//   open:    mod_setparam "filename" (the report file), ["continuereport"],
//            mod_setvalue "initreport"
//   header:  mod_setparam "en_pdelay" ... "en_msegno" (pointers to the int flags)
//   entry:   mod_setvalue "initentry", "set_seqname" ... "set_msegno", "finishentry"
//   close:   mod_setvalue "closereport"
// After every 0 from mod_setvalue the driver fetches the reason once with
// mod_error. The keys "endreport", "en_filler" and "set_filler" are never
// sent by the program.
//
// All calls come from the user-interface thread; the state is process-wide
// and not locked.
#pragma once

#include <string>
#include <vector>

#include "engine/EngineHost.h"  // ReportEntryValues

// Index into ModuleTable of the report plug-in in use; -1 when none. A
// failed start leaves it -1 (the plug-in holds nothing open then); a failed
// close keeps it, so that the next close tries again.
extern int ReportPluginIndex;

// reportSwitch 0 closes the open report; any other value opens one: an empty
// pluginName opens the text report at path, a non-empty one the report
// plug-in of that exact name with path as its file name. A relative path is
// taken from the home path. 1 success, 0 failure with the reason copied into
// errorText (at most errorSize - 1 characters, terminated) when given.
int Report_OpenOrClose(int reportSwitch, const char* path, const char* pluginName, char* errorText,
                       int errorSize);

// The next report plug-in that Report_OpenOrClose opens continues the
// report that the same build wrote to the same file before it was closed
// (a multi-segment build whose segments between did not report there): the
// plug-in is told so with mod_setparam "continuereport" (a pointer to int 1)
// before its "initreport", and carries on with its counters and rows
// instead of starting afresh. Applies to the next open only.
void Report_ContinueNextOpen();

// Why the report that sequence sequenceIndex asks for cannot be written, or
// an empty text when it can (or asks for none): its report plug-in is not
// loaded, its report file or template is read-only, or another program holds
// the template open (a lock file "~$<name>" or ".~lock.<name>#" beside it).
// Generate and the multi-segment build ask this before they build anything.
// A missing file or folder is left to Report_OpenOrClose.
std::string Report_WhyNotWritable(int sequenceIndex);
// Why Report_OpenOrClose would refuse the report that sequence
// sequenceIndex asks for, found without opening it: no file name, a name
// too long, a text report file that cannot be made or written (its folder
// missing, say), a report plug-in's file in a folder that is not there.
// Empty when the open would get that far, when no report is asked for, or
// when the plug-in is not loaded (Report_WhyNotWritable says so). The
// multi-segment build asks this before it sends anything, since it opens
// each report only when its segment comes.
std::string Report_WhyCannotOpen(int sequenceIndex);
// Logs each reason ("*** " lines) and asks the user whether to build without
// those reports: 1 Yes (build without them), 0 No (build nothing).
int Report_AskBuildWithout(const std::vector<std::string>& reasons);

// Starts the report of one sequence: the text report's title line, or the
// plug-in's flag keys. An index outside the sequence table does nothing.
void Report_WriteHeader(int sequenceIndex);

// Reports one pulse repetition of sequence sequenceIndex (multiSegmentIndex
// -1 outside a multi-segment build). errorText holds kReportErrorTextSize
// bytes. Non-zero success, 0 failure with the reason in errorText.
int Report_AddEntry(char* errorText, int sequenceIndex, int multiSegmentIndex, ReportEntryValues values);

// Text report writers; each does nothing unless a report is open and the
// text report file is open.
// The text and a line break.
void Report_WriteLine(const char* text);
// value in fixed point, right-aligned in width with decimals digits, then two blanks.
void Report_WriteNumber(int width, int decimals, double value);
// text right-aligned in width, then two blanks.
void Report_WriteColumn(int width, const char* text);

// Connects the installed engine hosts to the driver: the pulse computation's
// report entries, the builder's report close and its filler lines. Only
// those three members are replaced; the rest of each host stays.
void Report_InstallEngineHooks();

// The driver's state, for the callers' checks and the tests.
int Report_CurrentSwitch();
const char* Report_CurrentPath();
const char* Report_CurrentPluginName();
bool Report_TextFileOpen();
// Why the latest text report could not be written ("Cannot write report file
// '<path>': <system's reason>."); empty while it could, cleared by the next open.
const char* Report_TextFailure();
