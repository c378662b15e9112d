// The sequence, multi-segment and RF-list records, the project header, the
// static record tables of the project with their counts and current
// selections, and the operations that initialise, clear and reset them.
//
// Every table is dense: the records in use are slots 0 .. count - 1 in
// library order; a slot at or beyond its count holds no record. Records
// refer to each other only by ID. A new record takes the smallest ID of
// 1 .. table size that no record in use carries, so deleted IDs are reused.
//
// Units: times in seconds and sample clocks in Hz, except the RF lists,
// which keep frequencies in GHz, levels in dBm and the dwell time in ms as
// the instrument's list mode takes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/CappedVector.h"
#include "app/DataSource.h"
#include "app/PulseRecord.h"
#include "platform/BoundedText.h"

inline constexpr int kMaxSequences = 64;
inline constexpr int kMaxSequenceEntries = 128;
inline constexpr int kMaxMultiSegments = 64;
inline constexpr int kMaxSegments = 64;
inline constexpr int kMaxRfLists = 100;
inline constexpr int kMaxRfListPoints = 10000;
inline constexpr std::size_t kMaxUserFilterLength = 10000;
inline constexpr int kReportColumns = 18;

// ---------------------------------------------------------------- sequences

// One entry of a sequence: a pulse entry (pulseId >= 0), a filler
// (pulseId -1, fillerType >= 0) or empty (both -1). The entries in use
// run from entry 0 to the entry before the first empty one.
struct SequenceEntry {
  int32_t pulseId = -1;
  int32_t repetitions = 0;
  int32_t fillerType = -1;      // SyncType: 0 blank filler, 1 CW filler
  int32_t markerMask = 15;      // markers the entry lets through
  double fillerTime = 0.0;      // s from the start of the sequence up to which the filler reaches
  uint8_t jitterMode[kJitterBlocks] = {0, 0, 0, 0};  // JitterMode per jitter block
  uint8_t overlay = 0;           // 0 none, 1 add, 2 multiply

  bool IsPulse() const { return pulseId >= 0; }
  bool IsFiller() const { return pulseId == -1 && fillerType >= 0; }
  bool IsEmpty() const { return pulseId == -1 && fillerType == -1; }
};

// Order of SequenceRecord::reportColumns.
enum ReportColumn {
  REPORT_DELAY = 0, REPORT_RISE, REPORT_ON, REPORT_FALL, REPORT_OFF, REPORT_PRF_PRI,
  REPORT_FREQUENCY, REPORT_PHASE, REPORT_LEVEL_ON, REPORT_LEVEL_OFF, REPORT_DROOP,
  REPORT_REP_NUMBER, REPORT_REP_COUNT, REPORT_MSEG_NUMBER, REPORT_FM_DEVIATION,
  REPORT_START_TIME, REPORT_FILLERS, REPORT_ENTRY_NUMBER
};

// User filter coefficients of a sequence: I and Q arrays of equal length;
// the length is the user filter length (0 .. 10,000).
class UserFilterCoefficients {
 public:
  int32_t Length() const { return static_cast<int32_t>(i_.size()); }
  bool Empty() const { return i_.empty(); }
  const std::vector<double>& I() const { return i_; }
  const std::vector<double>& Q() const { return q_; }
  std::span<double> MutableI() { return std::span<double>(i_.data(), i_.size()); }
  std::span<double> MutableQ() { return std::span<double>(q_.data(), q_.size()); }
  // Refused (false, unchanged) when the lengths differ or exceed 10,000.
  bool Set(std::vector<double> i, std::vector<double> q);
  void Free();

  friend bool operator==(const UserFilterCoefficients& a, const UserFilterCoefficients& b) {
    return a.i_ == b.i_ && a.q_ == b.q_;
  }

 private:
  std::vector<double> i_;
  std::vector<double> q_;
};

struct SequenceRecord {
  uint32_t id = 1;
  cz::Text<64> name;
  cz::Text<1024> comment;
  cz::Text<256> copyright;             // copyright text of the waveform file
  SequenceEntry entries[kMaxSequenceEntries];
  cz::Text<256> waveFile{"Waveforms\\NewSequence.wv"};
  double clock = 100000000.0;          // sample clock, Hz
  int32_t hidden = 0;
  int32_t filterOn = 0;               // 1 = resample and filter the waveform
  double cutoff = 10000000.0;          // Hz; inside the dialog's 0.1 to 300 MHz
  int32_t window = 4;                  // WindowType ("rect")
  int32_t filterType = 2;             // FilterType ("rrcos")
  double alpha = 0.22;                 // roll-off or BT product
  double oversampling = 1.0;           // output samples per input sample
  UserFilterCoefficients userFilter;  // Length() is the user filter length
  int32_t userOversampling = 1;
  cz::Text<256> userComment;
  int32_t reportOn = 0;               // 0 off; 1 (or any stored value >= 2) on
  cz::Text<256> reportFile;           // path of the text report
  cz::Text<256> reportPlugin;         // report plug-in name; empty = the text report
  int32_t reportColumns[kReportColumns] = {};

  bool ReportOn() const { return reportOn >= 1; }
  // Entries before the first empty one.
  int EntriesInUse() const;
};

// -------------------------------------------------------- multi-segment waveforms

enum SegmentType { SEGMENT_SEQUENCE = 0, SEGMENT_BLANK = 1, SEGMENT_UNKNOWN = 2 };

// One segment; sequenceId -1 marks a free slot. The segments in use run
// from segment 0 to the segment before the first free slot.
struct MultiSegmentEntry {
  int32_t type = SEGMENT_SEQUENCE;  // SegmentType
  int32_t sequenceId = -1;         // sequence of a sequence segment, 0 for the other kinds
  cz::Text<64> repetition{"1"};     // repetition count as text (a number or a rand() rule)
  double stopTime = 0.0;           // end time of a blank filler, s

  bool IsFree() const { return sequenceId == -1; }
};

struct MultiSegmentRecord {
  uint32_t id = 1;
  cz::Text<64> name;
  cz::Text<1024> comment;
  cz::Text<256> targetName{"MSWaveFile"};  // multi-segment file on the instrument
  int32_t clockMode = 1;          // 1 unchanged, 2 highest, 3 user
  double clock = 10000000.0;       // user clock, Hz
  int32_t levelMode = 1;          // 1 unchanged, 2 equal RMS
  int32_t triggerMode = 2;        // 1..5
  int32_t extTriggerMode = 2;    // 1..3
  int32_t triggerSource = 2;      // 1..4
  double delay = 0.0;              // trigger delay, samples
  int32_t sequencerMode = 0;      // 0/1
  int32_t nextSegment = 1;        // 1..3
  MultiSegmentEntry segments[kMaxSegments];
  int32_t bbPath = 1;             // 1 path A, 2 path B

  int SegmentsInUse() const;
};

// ------------------------------------------------------------------ RF lists

struct RfListPoint {
  double frequency = 0.0;  // GHz; 0 ends the list
  double level = -100.0;   // dBm
};

// What the RF list table takes for a point, bounds included. A point
// outside (a project file may hold one) is kept and shown as stored, but a
// list with one in use is not sent to an instrument.
inline constexpr double kRfListFrequencyMinGHz = 0.0;
inline constexpr double kRfListFrequencyMaxGHz = 6.0;
inline constexpr double kRfListLevelMinDbm = -130.0;
inline constexpr double kRfListLevelMaxDbm = 30.0;

// The 10,000 points of an RF list. Points never written hold the default
// (frequency 0, level -100); storage grows only up to the highest point
// written, so an unused list costs nothing.
class RfListPoints {
 public:
  static constexpr int kCapacity = kMaxRfListPoints;

  // Point i (0..9,999); outside that range or never written: the default.
  RfListPoint Get(int i) const;
  double Frequency(int i) const { return Get(i).frequency; }
  double Level(int i) const { return Get(i).level; }
  // False (and nothing changed) for i outside 0..9,999.
  bool Set(int i, double frequency, double level);
  bool SetFrequency(int i, double frequency);
  bool SetLevel(int i, double level);
  // Points in use: those before the first whose frequency is exactly 0
  // (10,000 when none is 0).
  int InUse() const;
  // All points back to the default; returns the memory.
  void Reset() { std::vector<RfListPoint>().swap(points_); }
  int StoredCount() const { return static_cast<int>(points_.size()); }

  friend bool operator==(const RfListPoints& a, const RfListPoints& b);

 private:
  bool Grow(int i);
  std::vector<RfListPoint> points_;
};

// Written so that a value that is no number lies outside as well.
inline bool RfListPointInRange(const RfListPoint& p) {
  return p.frequency >= kRfListFrequencyMinGHz && p.frequency <= kRfListFrequencyMaxGHz &&
         p.level >= kRfListLevelMinDbm && p.level <= kRfListLevelMaxDbm;
}
// Empty while the point lies within both ranges; else what lies outside,
// "frequency 50 GHz lies outside 0 to 6 GHz", "level 31 dBm lies outside
// -130 to 30 dBm", or both joined by " and ".
std::string RfListPointOutsideRange(const RfListPoint& p);

// The points in use (0-based) that lie outside their ranges, in order.
std::vector<int> RfListPointsOutsideRange(const RfListPoints& points);

struct RfListRecord {
  uint32_t id = 1;
  cz::Text<64> name;
  cz::Text<1024> comment;
  cz::Text<256> remoteFile{"D:\\RfList.lsw"};  // list file on the instrument
  double dwell = 100.0;    // per point, ms
  // Length setting of Set Length only (1 .. 10,000, as its field).
  int32_t length = 1;
  // Filler settings: set 1 (frequency, GHz) and set 2 (level, dBm); the
  // steps start inside their fields' 0.001 .. 10.
  double min = 0.0, min2 = 0.0, max = 0.0, max2 = 0.0, step = 0.1, step2 = 0.1;
  double limMin = 0.0, limMin2 = 0.0, limMax = 0.0, limMax2 = 0.0;
  int32_t mode = 1, mode2 = 1;  // 1 all same, 2 uniform, 3 unique random
  RfListPoints points;
  int32_t activate = 0;    // 1 = activate the list after the upload
  int32_t path = 1;        // 1 path A, 2 path B
};

// ------------------------------------------------------------ project header

// The project part of the settings record (AppSettings::Project), saved as
// the project file's PROJECT element. The I/Q view mode travels with it in
// the file but is a field of the settings record itself and survives
// ResetProject.
struct ProjectHeader {
  cz::Text<1024> projectName;
  cz::Text<256> author;
  cz::Text<64> date;
  cz::Text<64> version;
  int32_t hideEntries = 0;     // 1 = hidden records are left out of the library tree
  int32_t pepLevel = 1;        // level setting by peak envelope power
  int32_t allowMarkers = 1;    // markers allowed globally
  int32_t swapIq = 0;          // I and Q exchanged
  int32_t removeSegments = 1;  // remove segments after the multi-segment build
  int32_t noArbPreset = 0;     // no ARB preset before a waveform transfer
  cz::Text<256> pathWin{"D:\\"};   // default path on instruments with drive paths
  cz::Text<256> pathLin{"/hdd/"};  // default path on instruments with Unix paths
};

// Sets every header field to its default (as initialised above).
void InitProjectHeader(ProjectHeader* header);

// ------------------------------------------------------------------- tables

extern SequenceRecord SequenceTable[kMaxSequences];
extern int32_t SequenceCount;
extern int32_t CurrentSequence;

extern MultiSegmentRecord MultiSegmentTable[kMaxMultiSegments];
extern int32_t MultiSegmentCount;
extern int32_t CurrentMultiSegment;

extern RfListRecord RfListTable[kMaxRfLists];
extern int32_t RfListCount;
extern int32_t CurrentRfList;

// Smallest free IDs (table size + 1 when all are taken).
uint32_t NextFreeSequenceId();
uint32_t NextFreeMultiSegmentId();
uint32_t NextFreeRfListId();

// Defaults and the smallest free ID of the record's table. Heap data the
// record held is released on the way.
void InitSequenceRecord(SequenceRecord* record);
void InitMultiSegmentRecord(MultiSegmentRecord* record);
void InitRfListRecord(RfListRecord* record);
// Releases the user filter coefficients. A second call does nothing.
void FreeSequenceBuffers(SequenceRecord* record);

// Index of the first record in use with this ID, -1 when none.
int FindSequenceById(uint32_t id);
int FindMultiSegmentById(uint32_t id);
int FindRfListById(uint32_t id);

// Empties the project: every count 0, every pulse, sequence, multi-segment
// and RF-list slot back to its defaults (ID 1). Data-source slots are left
// as they are, and no current selection changes.
void ClearProject();
// g_Settings.Project to its defaults (the I/Q view mode stays), then ClearProject.
void ResetProject();

// Dims (1) or enables (0) the library tree and its buttons on the main window.
void DimLibraryControls(int32_t dimmed);
// Marks and activates the library tree item of the record with this ID.
void SelectPulseTreeItem(uint32_t id);
void SelectSequenceTreeItem(uint32_t id);
void SelectMultiSegmentTreeItem(uint32_t id);
void SelectRfListTreeItem(uint32_t id);
