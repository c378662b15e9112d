// The project file: one XML document with the root element TV_CZ_DB and the
// sections PROJECT, PULSE_DB, SEQUENCE_DB, MULTISEG_DB, RFLIST_DB and
// DATASRC_DB, always all six, in that order.
//
// Numbers are written in the C locale: pulse times, the PRF value, jitter
// parameters and values and envelope values with "%12.11f", every other real
// with "%f", integers with "%d", enumerations as their keywords. A real that
// such a format would round so that it no longer reads back as the same
// value is written with the shortest "%.15g" .. "%.17g" that does, so
// nothing is lost on a round trip.
// Files are written through cz::ReplacingFile: a temporary file beside the
// real target (links followed), flushed to the disk and renamed over it only
// when complete, the folder flushed after the rename; a read-only file is
// refused and left as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "app/PulseRecord.h"
#include "app/Records.h"

// Writes the project (these pulse and sequence tables, the global
// multi-segment, RF-list and data-source tables and the settings' project
// header) to path. Data sources are renumbered 1..n in table order first and
// the pulses' references to them follow, so that the IDs the reader gives
// them name the same sources. 1 when the file was written, 0 on failure.
// Afterwards the main window's title names the file.
int32_t SaveProject(PulseRecord* pulses, SequenceRecord* sequences, const char* path);

// The same for the ".bak" copy written after a load: the window title stays,
// and a failure is logged as the backup's, not the project's.
int32_t SaveProjectBackup(PulseRecord* pulses, SequenceRecord* sequences, const char* path);

// Why the latest SaveProject failed ("'<path>': the file is read-only."),
// empty after one that succeeded.
const char* LastProjectSaveFailure();

// importMode 0: replaces the project by the file and writes path + ".bak".
// importMode 1: appends the file's pulses to the project (pulses whose IDs
// are taken get fresh ones) with the data sources they use
// (ImportPulseDataSources), and reads nothing else.
// 1 when the file was read (also when some records were refused), 0 when it
// cannot be opened or parsed or its root is wrong.
int32_t LoadProject(PulseRecord* pulses, SequenceRecord* sequences, const char* path,
                    int32_t importMode);

// What the last LoadProject could not take from the file as stored; reset
// by every LoadProject. A record "renumbered" kept its content under a free
// ID because an earlier record held its ID or the ID was out of range; a
// record "refused" was left out (no name, its table full); an entry refused
// was left out of its sequence (unknown pulse, negative repetitions).
struct ProjectLoadReport {
  int renumbered = 0;
  int refused = 0;
  int entriesRefused = 0;
  // Values that were no finite number ("nan", "inf"): their fields kept
  // the defaults (each logged with its record and field).
  int valuesRefused = 0;
  // Paths too long for their fields (each logged): never cut, they were
  // left empty or at their defaults.
  int pathsRefused = 0;
  // Records that kept less than the file holds of them (sequence entries
  // beyond 128, segments beyond 64, RF points beyond 10,000, bit text
  // beyond 4,096 characters, user filter coefficients beyond 10,000), each
  // logged; cuts holds those lines ("RF list 'L': 2000 points beyond ...").
  int recordsCut = 0;
  std::vector<std::string> cuts;
  // Whether the project holds less than the file: saving it over the file
  // would lose the rest.
  bool Lost() const { return refused > 0 || entriesRefused > 0 || recordsCut > 0; }
};
extern ProjectLoadReport LastProjectLoadReport;

// Import of pulses: the user data sources of the file (root, the document's
// TV_CZ_DB element) that the pulses from slot firstPulse on use are added to
// the project under new IDs, renamed "<name>-new", "<name>-new2", ... when
// the project has the name already, and the pulses' data rows point at
// them; each is logged. A row naming no source of the file names none.
void ImportPulseDataSources(const pugi::xml_node& root, PulseRecord* pulses, int firstPulse);

// Attribute access on an element of the document. The getters set the
// output to 0 (or "") first and return 1 when the attribute exists: numbers
// are read as far as they go (leading blanks skipped, no number gives 0), a
// byte takes the low 8 bits, a text at most 255 characters (out holds 256).
int XmlGetAttrReal(const pugi::xml_node& element, const char* name, double* out);
int XmlGetAttrInt(const pugi::xml_node& element, const char* name, int32_t* out);
// As XmlGetAttrInt, without narrowing the number to 32 bits.
int XmlGetAttrLong(const pugi::xml_node& element, const char* name, long* out);
int XmlGetAttrByte(const pugi::xml_node& element, const char* name, uint8_t* out);
int XmlGetAttrString(const pugi::xml_node& element, const char* name, char* out);

// The number texts the writer uses: "%.*f" with decimals (6 for "%f", 11
// for "%12.11f") unless that does not read back as value, then the shortest
// "%.15g" .. "%.17g" that does.
std::string FormatProjectReal(int decimals, double value);
