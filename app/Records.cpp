#include "app/Records.h"

#include <algorithm>
#include <utility>

#include "app/Settings.h"
#include "platform/CLocale.h"

SequenceRecord SequenceTable[kMaxSequences];
int32_t SequenceCount = 0;
int32_t CurrentSequence = -1;

MultiSegmentRecord MultiSegmentTable[kMaxMultiSegments];
int32_t MultiSegmentCount = 0;
int32_t CurrentMultiSegment = -1;

RfListRecord RfListTable[kMaxRfLists];
int32_t RfListCount = 0;
int32_t CurrentRfList = -1;

namespace {

// Records in use of a table, limited to its slots for a stray count.
int InUse(int32_t count, int slots) {
  if (count < 0) return 0;
  return count > slots ? slots : count;
}

// Smallest candidate of 1..slots that no record in slots 0..used-1 carries;
// slots + 1 when all are taken.
template <typename Record>
uint32_t SmallestFreeId(const Record* table, int32_t count, int slots) {
  const int used = InUse(count, slots);
  for (uint32_t candidate = 1; candidate <= static_cast<uint32_t>(slots); ++candidate) {
    bool taken = false;
    for (int i = 0; i < used && !taken; ++i) taken = table[i].id == candidate;
    if (!taken) return candidate;
  }
  return static_cast<uint32_t>(slots) + 1;
}

template <typename Record>
int IndexOfId(const Record* table, int32_t count, int slots, uint32_t id) {
  const int used = InUse(count, slots);
  for (int i = 0; i < used; ++i)
    if (table[i].id == id) return i;
  return -1;
}

}  // namespace

// ------------------------------------------------------------------ sequences

bool UserFilterCoefficients::Set(std::vector<double> i, std::vector<double> q) {
  if (i.size() != q.size() || i.size() > kMaxUserFilterLength) return false;
  i_ = std::move(i);
  q_ = std::move(q);
  return true;
}

void UserFilterCoefficients::Free() {
  std::vector<double>().swap(i_);
  std::vector<double>().swap(q_);
}

int SequenceRecord::EntriesInUse() const {
  int n = 0;
  while (n < kMaxSequenceEntries && !entries[n].IsEmpty()) ++n;
  return n;
}

int MultiSegmentRecord::SegmentsInUse() const {
  int n = 0;
  while (n < kMaxSegments && !segments[n].IsFree()) ++n;
  return n;
}

// ------------------------------------------------------------------- RF lists

RfListPoint RfListPoints::Get(int i) const {
  if (i < 0 || i >= static_cast<int>(points_.size())) return RfListPoint{};
  return points_[static_cast<std::size_t>(i)];
}

bool RfListPoints::Grow(int i) {
  if (i < 0 || i >= kCapacity) return false;
  if (i >= static_cast<int>(points_.size())) points_.resize(static_cast<std::size_t>(i) + 1);
  return true;
}

bool RfListPoints::Set(int i, double frequency, double level) {
  if (i < 0 || i >= kCapacity) return false;
  const RfListPoint unused{};
  // A default point beyond the stored ones is already what Get returns.
  if (i >= static_cast<int>(points_.size()) && frequency == unused.frequency && level == unused.level)
    return true;
  Grow(i);
  points_[static_cast<std::size_t>(i)] = RfListPoint{frequency, level};
  return true;
}

bool RfListPoints::SetFrequency(int i, double frequency) { return Set(i, frequency, Level(i)); }

bool RfListPoints::SetLevel(int i, double level) { return Set(i, Frequency(i), level); }

int RfListPoints::InUse() const {
  for (std::size_t i = 0; i < points_.size(); ++i)
    if (points_[i].frequency == 0.0) return static_cast<int>(i);
  // Every stored point has a frequency; the first one not stored is 0.
  return static_cast<int>(points_.size());
}

std::string RfListPointOutsideRange(const RfListPoint& p) {
  const auto outside = [](const char* what, double v, double low, double high, const char* unit) {
    if (v >= low && v <= high) return std::string();
    return cz::FormatC("%s %s %s lies outside %s to %s %s", what, cz::ShortestRealC(v).c_str(), unit,
                       cz::ShortestRealC(low).c_str(), cz::ShortestRealC(high).c_str(), unit);
  };
  const std::string f = outside("frequency", p.frequency, kRfListFrequencyMinGHz, kRfListFrequencyMaxGHz, "GHz");
  const std::string l = outside("level", p.level, kRfListLevelMinDbm, kRfListLevelMaxDbm, "dBm");
  return f.empty() || l.empty() ? f + l : f + " and " + l;
}

std::vector<int> RfListPointsOutsideRange(const RfListPoints& points) {
  std::vector<int> outside;
  const int n = points.InUse();
  for (int i = 0; i < n; ++i)
    if (!RfListPointInRange(points.Get(i))) outside.push_back(i);
  return outside;
}

bool operator==(const RfListPoints& a, const RfListPoints& b) {
  const int n = static_cast<int>(std::max(a.points_.size(), b.points_.size()));
  for (int i = 0; i < n; ++i) {
    RfListPoint pa = a.Get(i), pb = b.Get(i);
    if (pa.frequency != pb.frequency || pa.level != pb.level) return false;
  }
  return true;
}

// ------------------------------------------------------------ initialisation

void InitProjectHeader(ProjectHeader* header) {
  if (header != nullptr) *header = ProjectHeader();
}

uint32_t NextFreeSequenceId() { return SmallestFreeId(SequenceTable, SequenceCount, kMaxSequences); }
uint32_t NextFreeMultiSegmentId() {
  return SmallestFreeId(MultiSegmentTable, MultiSegmentCount, kMaxMultiSegments);
}
uint32_t NextFreeRfListId() { return SmallestFreeId(RfListTable, RfListCount, kMaxRfLists); }

// Each initialiser takes the ID before resetting the record, so a record
// that is in use keeps blocking its own ID like every other record in use.
void InitSequenceRecord(SequenceRecord* record) {
  if (record == nullptr) return;
  const uint32_t id = NextFreeSequenceId();
  *record = SequenceRecord();
  record->id = id;
}

void InitMultiSegmentRecord(MultiSegmentRecord* record) {
  if (record == nullptr) return;
  const uint32_t id = NextFreeMultiSegmentId();
  *record = MultiSegmentRecord();
  record->id = id;
}

void InitRfListRecord(RfListRecord* record) {
  if (record == nullptr) return;
  const uint32_t id = NextFreeRfListId();
  *record = RfListRecord();
  record->id = id;
}

void FreeSequenceBuffers(SequenceRecord* record) {
  if (record != nullptr) record->userFilter.Free();
}

int FindSequenceById(uint32_t id) { return IndexOfId(SequenceTable, SequenceCount, kMaxSequences, id); }
int FindMultiSegmentById(uint32_t id) {
  return IndexOfId(MultiSegmentTable, MultiSegmentCount, kMaxMultiSegments, id);
}
int FindRfListById(uint32_t id) { return IndexOfId(RfListTable, RfListCount, kMaxRfLists, id); }

// ------------------------------------------------------------------- project

void ClearProject() {
  for (int i = 0; i < InUse(PulseCount, kMaxPulses); ++i) FreePulseBuffers(&PulseTable[i]);
  PulseCount = 0;
  for (int i = 0; i < InUse(SequenceCount, kMaxSequences); ++i) FreeSequenceBuffers(&SequenceTable[i]);
  SequenceCount = 0;
  MultiSegmentCount = 0;
  RfListCount = 0;
  DataSourceCount = 0;
  // Every count is 0 now, so every slot receives ID 1.
  for (PulseRecord& pulse : PulseTable) InitPulseRecord(&pulse);
  for (SequenceRecord& sequence : SequenceTable) InitSequenceRecord(&sequence);
  for (MultiSegmentRecord& waveform : MultiSegmentTable) InitMultiSegmentRecord(&waveform);
  for (RfListRecord& list : RfListTable) InitRfListRecord(&list);
}

void ResetProject() {
  InitProjectHeader(&g_Settings.Project);
  ClearProject();
}
