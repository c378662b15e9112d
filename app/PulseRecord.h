// The pulse record: one repetition pattern of an RF pulse (timing, edges,
// levels, phase, carrier offset, noise, intra-pulse modulation with its data
// rows and stored parameters, four jitter blocks, four marker rule sets and
// an optional custom envelope), and the pulse table of the project.
//
// Units: times in seconds, frequencies in Hz, levels in dB of attenuation
// below full scale, phases in degrees.
//
// Every variable-length part lives on the heap in an owning container with
// a fixed upper bound, so a record is about 3 kB by value whatever it holds
// and copies are deep: the envelope (levels, or I with Q), each jitter
// block's value and rule lists, and the up to 255 modulation parameter
// entries (about 1.5 kB each, allocated only up to the highest one used).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "app/CappedVector.h"
#include "platform/BoundedText.h"

inline constexpr int kMaxPulses = 256;          // PulseTable slots, IDs 1..256
inline constexpr int kJitterBlocks = 4;
inline constexpr int kModDataRows = 32;         // ModulationDataRow per pulse
inline constexpr int kModParamEntries = 255;    // ModulationParamEntry per pulse
inline constexpr int kMarkers = 4;
inline constexpr int kMarkerParts = 6;          // delay, rise, on, fall, off, restart
inline constexpr int kPhaseNoisePoints = 6;     // entries 1..5 used, entry 0 is 0
inline constexpr int kJitterRuleSize = 64;      // bytes per rule text, terminator included
inline constexpr std::size_t kJitterListMax = 10000;      // values or rules per block
inline constexpr std::size_t kEnvelopeMaxPoints = 1000000;  // custom envelope points

// Index of a flag inside one marker's six rule flags.
enum MarkerPart { MARKER_DELAY = 0, MARKER_RISE, MARKER_ON, MARKER_FALL, MARKER_OFF, MARKER_RESTART };

// Code of the modulation type field that selects a modulation plug-in.
inline constexpr int kModulationPlugin = 100;
// Distribution code of a rule list (JitterDist "rules").
inline constexpr int kJitterDistRules = 8;
// ModulationDataRow kinds (DataSourceKindTable codes).
enum DataSourceKind { DSRC_OFF = 0, DSRC_PATTERN = 1, DSRC_RANDOM = 2, DSRC_USER = 3 };

using JitterRule = cz::Text<kJitterRuleSize>;

// One of the four jitter settings of a pulse. The value list serves the
// distributions list, lfix and shape; the rule list serves rules. Each list
// carries its own length; Count() is the length of the list that the
// block's distribution reads.
struct JitterBlock {
  int32_t enabled = 0;        // 1 = the block takes part
  uint8_t target = 0;         // JitterParam code (0 OnPeriod .. 12 Skip)
  uint8_t distribution = 0;   // JitterDist code (0 whitenoise .. 8 rules)
  double p1 = 0.0;            // whitenoise min, gauss location, ramp start, sine amplitude, stair step
  double p2 = 0.0;            // whitenoise max, gauss std. deviation, ramp end, sine offset
  double p3 = 0.0;            // whitenoise step, gauss limit
  int32_t stairCount = 1;    // repetitions per stair step
  CappedVector<double, kJitterListMax> values;  // in the target's base unit
  CappedVector<JitterRule, kJitterListMax> rules;

  int32_t Count() const { return distribution == kJitterDistRules ? rules.count() : values.count(); }
  // Releases both lists.
  void FreeLists() { values.Clear(); rules.Clear(); }
};

// Display factor of a jitter target (JitterParam code): 1e6 for time targets
// (shown and typed in us), 1e-6 for frequency targets (MHz), 1 for the others.
// A value in the target's display unit divided by it is the value in SI.
double JitterDisplayFactor(int target);

// One bit source of a data-driven modulation.
struct ModulationDataRow {
  uint8_t kind = DSRC_OFF;  // DataSourceKind
  int8_t source = 0;        // pattern ID, PRBS generator 0..7, or user data source ID
  int32_t bits = 0;         // number of bits taken from the source
};

// Stored form of one modulation parameter; an entry with an empty name is free.
struct ModulationParamEntry {
  cz::Text<256> type;
  cz::Text<256> name;
  cz::Text<1024> value;

  bool IsFree() const { return name.empty(); }
  void Clear() { type.Clear(); name.Clear(); value.Clear(); }
};

// The 255 modulation parameter entries of a pulse. Entries are addressed by
// index 0..254; entries never written read as free (all texts empty), and
// storage grows only up to the highest index written.
class ModulationParamStore {
 public:
  static constexpr int kCapacity = kModParamEntries;

  // Entry k; k outside 0..254 or never written gives a free entry.
  const ModulationParamEntry& operator[](int k) const;
  // Entry k for writing, storage grown as needed; nullptr for k outside 0..254.
  ModulationParamEntry* Mutable(int k);
  // Sets entry k's three texts (each cut to its field); false for a bad k.
  bool Set(int k, std::string_view type, std::string_view name, std::string_view value);
  // Index of the first entry whose name equals name exactly (and whose type
  // equals type when one is given); -1 when none.
  int Find(std::string_view name) const;
  int Find(std::string_view name, std::string_view type) const;
  // Entries before the first free one (the entries a file holds in order).
  int LeadingCount() const;
  // Number of entries backed by storage (highest written index + 1).
  int StoredCount() const { return static_cast<int>(entries_.size()); }
  // Empties every entry and returns the memory.
  void Clear() { std::vector<ModulationParamEntry>().swap(entries_); }

 private:
  std::vector<ModulationParamEntry> entries_;
};

// Custom envelope of a pulse: amplitude levels, or I values together with Q
// values of the same length. The point count is the length of the arrays.
class PulseEnvelope {
 public:
  int32_t Count() const { return static_cast<int32_t>(values_.size()); }
  bool Empty() const { return values_.empty(); }
  bool HasQ() const { return !q_.empty(); }  // I/Q data rather than levels
  // Levels, or I values when HasQ().
  const std::vector<double>& Values() const { return values_; }
  const std::vector<double>& QValues() const { return q_; }
  std::span<double> MutableValues() { return std::span<double>(values_.data(), values_.size()); }
  std::span<double> MutableQValues() { return std::span<double>(q_.data(), q_.size()); }

  // Amplitude envelope (no Q). Refused above kEnvelopeMaxPoints.
  bool SetLevels(std::vector<double> levels);
  // I/Q data. Refused when the lengths differ or exceed kEnvelopeMaxPoints.
  bool SetIq(std::vector<double> i, std::vector<double> q);
  // Releases both arrays (point count 0).
  void Free();

  friend bool operator==(const PulseEnvelope& a, const PulseEnvelope& b) {
    return a.values_ == b.values_ && a.q_ == b.q_;
  }

 private:
  std::vector<double> values_;
  std::vector<double> q_;
};

struct PulseRecord {
  uint32_t id = 1;                 // 1..256, unique among the pulses in use
  cz::Text<64> name;
  cz::Text<1024> comment;
  double delay = 0.0;              // before the rise, s
  double riseTime = 0.0;          // s
  uint8_t riseEdge = 0;           // EdgeType (0 linear, 1 rcos, 2 rrcos, 3 sqroot)
  double fallTime = 0.0;          // s
  uint8_t fallEdge = 0;           // EdgeType
  double onTime = 0.0001;         // pulse top, s
  double offTime = 0.0005;        // blank time after the fall, s
  double prfValue = 1.0;          // Hz when prfPri is 0, s when 1
  int32_t customEnvelopeOn = 0;  // 1 = use the envelope or I/Q data below
  PulseEnvelope envelope;
  int32_t markers[kMarkers][kMarkerParts] = {{0, 1, 1, 1, 0, 0}};  // bit 0: raised in that part
  int8_t modulation = 0;           // ModulationType (0 none .. 17 msk, 100 plug-in)
  cz::Text<1024> pluginName;      // mod_name of the plug-in when modulation is 100
  int32_t prfMode = 0;            // 0 = delay+rise+on+fall+off, else the PRF value sets the repetition
  uint8_t prfPri = 0;             // 0 = PRF value is a rate, 1 = an interval
  double attOn = 0.0;             // dB below full scale
  double attOff = 100.0;          // dB below full scale
  double droop = 0.0;              // dB over the pulse top
  double startPhase = 0.0;        // degrees
  int32_t relativePhase = 0;      // 1 = continue from the previous pulse
  double freqOffset = 0.0;        // Hz
  JitterBlock jitter[kJitterBlocks];
  ModulationDataRow dataRows[kModDataRows];
  int32_t hidden = 0;              // 1 = left out of the tree while hiding is on
  int32_t noiseOn = 0;
  double noiseAtt = 20.0;         // dB below full scale
  double noiseBw = 100.0;         // Hz
  int32_t phaseNoiseOn = 0;      // stored only; plain numbers below
  double phaseNoiseFreq[kPhaseNoisePoints] = {0.0, 0.001, 0.01, 0.1, 1.0, 10.0};
  double phaseNoiseLevel[kPhaseNoisePoints] = {0.0, -40.0, -45.0, -60.0, -65.0, -90.0};
  ModulationParamStore modParams;
};

// The project's pulses: slots 0 .. PulseCount - 1 are in use, in library order.
extern PulseRecord PulseTable[kMaxPulses];
extern int32_t PulseCount;
// Index of the pulse shown in the pulse editor, -1 for none.
extern int32_t CurrentPulse;

// Smallest ID of 1..256 that no pulse in slots 0 .. PulseCount - 1 carries;
// 257 when all are taken.
uint32_t NextFreePulseId();
// Fills the record with the defaults and gives it the smallest free ID.
// Any heap data the record held is released on the way.
void InitPulseRecord(PulseRecord* record);
// Releases the envelope and the four jitter blocks' value and rule lists.
// A second call does nothing.
void FreePulseBuffers(PulseRecord* record);
// Index of the first pulse in use with this ID, -1 when none.
int FindPulseById(uint32_t id);
