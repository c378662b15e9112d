// RF list operations on the record, without the page: row edits, the list
// length, the frequency and level generators, the limit test, the text
// import and report, and the remote path of the upload.
//
// Entries are counted from 1 in rows (as the table shows them) and from 0
// in RfListPoints. The list in use is the entries before the first
// frequency of exactly 0.0 (RfListPoints::InUse).
#pragma once

#include <string>

#include "app/Records.h"

// Row edits; a row outside the range named gives false and changes nothing.
// Delete (1..10,000): the later entries move up, the last becomes 0.0/0.0.
bool RfList_DeleteRow(RfListPoints* points, int row);
// Insert (1..9,999): the entries after the row move down (the 10,000th is
// dropped) and the row's entry is copied after it.
bool RfList_InsertRow(RfListPoints* points, int row);
// Move up (2..10,000) / down (1..9,999): swaps with the neighbour unless the
// entry that would move up has frequency 0.0 (so the end of the list stays).
bool RfList_MoveUp(RfListPoints* points, int row);
bool RfList_MoveDown(RfListPoints* points, int row);
// Entries 1..n become 1.0 GHz / -30.0 dBm, every later entry frequency 0.0
// (its level stays). False (nothing changed) for n above 10,000; n below 1
// empties the list.
bool RfList_SetLength(RfListPoints* points, int n);

// Which generator set a fill uses.
enum RfListSet { RFLIST_FREQUENCY = 0, RFLIST_LEVEL = 1 };
// Results of RfList_Fill.
enum RfListFillResult {
  RFLIST_FILL_DONE = 1,
  RFLIST_FILL_NOTHING = 0,       // "Unique Rand" with step 0 or minimum >= maximum
  RFLIST_FILL_POOL_SHORT = -1    // "Unique Rand" pool smaller than the list
};
// Uniform double in [min, max), min when max < min.
using RfListRandomFn = double (*)(double min, double max);
// Fills the frequencies or the levels of the list in use from the set's
// mode (1 all same, 2 uniform, 3 unique random, other 0.0), minimum, maximum
// and step. The frequency column decides where the list ends in both fills.
int RfList_Fill(RfListRecord* list, int set, RfListRandomFn random);

// True when the entry (0-based) lies within both limit ranges, bounds included.
bool RfList_InLimits(const RfListRecord& list, int entry);

// Results of RfList_ImportText.
enum RfListImportResult {
  RFLIST_IMPORT_DONE = 1,
  RFLIST_IMPORT_OPEN_FAILED = 0,
  RFLIST_IMPORT_BAD_LINE = -1,   // *badLine holds its 1-based number
  RFLIST_IMPORT_READ_FAILED = -2  // the file could not be read to its end
};
// Reads "<frequency GHz> <level dBm> [anything]" lines (white space, a comma
// or a semicolon between the numbers) into entries 0, 1, ... up to 10,000;
// blank lines are skipped but counted. The report of RfList_ReportText is
// read back as well: its heading is skipped and its entry column passed over
// (a point line "<entry> <frequency> <level> P|F" counts as the report's
// even without the heading); a line of the other form than the file's first
// point is a bad line. A UTF-8 byte-order mark at the start
// is skipped; one physical line (CR, LF or CR LF) gives at most one entry,
// whatever its length. Entries after the last one read keep their values;
// on a bad line or a failed read the points stay as they were. *imported
// receives the number of entries written.
int RfList_ImportText(const char* path, RfListPoints* points, int* imported, int* badLine);

// The project header fields the report starts with.
struct RfListReportHeader {
  std::string project, author, date, version;
};
// The report text: header, list name, limits, then one line per entry in
// use with "P" (within both limits) or "F". Lines end with '\n'. A value
// that "%8.6f" (frequency) or "%7.2f" (level) would round is written with
// the digits it needs, so that the import reads the report back exactly.
std::string RfList_ReportText(const RfListRecord& list, const RfListReportHeader& header);
// Writes the report to path through a temporary file beside it (links
// followed; a read-only file is refused); false when it cannot be written
// (nothing is left behind), with the reason in *reason.
bool RfList_WriteReport(const char* path, const RfListRecord& list, const RfListReportHeader& header,
                        std::string* reason = nullptr);

// The instrument path of the list. Unix-style instruments: a name starting
// with '/' as it is, else "<linuxDir>/<name>" with one trailing '/' of the
// directory removed. Drive-style instruments: a name starting with '\', of
// at most 2 characters or with ':' as its second character as it is, else
// "<windowsDir>\<name>" with one trailing '\' removed. Directories count
// with their first 255 characters, a name used as it is with its first
// 1,023.
std::string RfList_RemotePath(const char* remoteFile, bool unixPaths, const char* linuxDir, const char* windowsDir);

// Upload and Reset are dimmed without a remote file name, or for instrument
// type codes 4 and 10 (10 is also the code while no instrument is selected).
bool RfList_TransferDimmed(const RfListRecord& list, int instrumentType);
