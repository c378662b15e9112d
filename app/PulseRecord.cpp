#include "app/PulseRecord.h"

#include <utility>

#include "app/Keywords.h"

PulseRecord PulseTable[kMaxPulses];
int32_t PulseCount = 0;
int32_t CurrentPulse = -1;

namespace {

// Pulses in use, limited to the table for callers that pass a stray count.
int PulsesInUse() {
  if (PulseCount < 0) return 0;
  return PulseCount > kMaxPulses ? kMaxPulses : PulseCount;
}

const ModulationParamEntry kFreeEntry{};

}  // namespace

// ------------------------------------------------------- modulation parameters

const ModulationParamEntry& ModulationParamStore::operator[](int k) const {
  if (k < 0 || k >= static_cast<int>(entries_.size())) return kFreeEntry;
  return entries_[static_cast<std::size_t>(k)];
}

ModulationParamEntry* ModulationParamStore::Mutable(int k) {
  if (k < 0 || k >= kCapacity) return nullptr;
  if (k >= static_cast<int>(entries_.size())) entries_.resize(static_cast<std::size_t>(k) + 1);
  return &entries_[static_cast<std::size_t>(k)];
}

bool ModulationParamStore::Set(int k, std::string_view type, std::string_view name, std::string_view value) {
  ModulationParamEntry* entry = Mutable(k);
  if (entry == nullptr) return false;
  entry->type = type;
  entry->name = name;
  entry->value = value;
  return true;
}

int ModulationParamStore::Find(std::string_view name) const {
  for (std::size_t k = 0; k < entries_.size(); ++k)
    if (entries_[k].name.view() == name) return static_cast<int>(k);
  return -1;
}

int ModulationParamStore::Find(std::string_view name, std::string_view type) const {
  for (std::size_t k = 0; k < entries_.size(); ++k)
    if (entries_[k].name.view() == name && entries_[k].type.view() == type) return static_cast<int>(k);
  return -1;
}

int ModulationParamStore::LeadingCount() const {
  int n = 0;
  while (n < static_cast<int>(entries_.size()) && !entries_[static_cast<std::size_t>(n)].IsFree()) ++n;
  return n;
}

// ------------------------------------------------------------------ envelope

bool PulseEnvelope::SetLevels(std::vector<double> levels) {
  if (levels.size() > kEnvelopeMaxPoints) return false;
  values_ = std::move(levels);
  std::vector<double>().swap(q_);
  return true;
}

bool PulseEnvelope::SetIq(std::vector<double> i, std::vector<double> q) {
  if (i.size() != q.size() || i.size() > kEnvelopeMaxPoints) return false;
  values_ = std::move(i);
  q_ = std::move(q);
  return true;
}

void PulseEnvelope::Free() {
  std::vector<double>().swap(values_);
  std::vector<double>().swap(q_);
}

// ------------------------------------------------------------------- records

uint32_t NextFreePulseId() {
  const int used = PulsesInUse();
  for (uint32_t candidate = 1; candidate <= static_cast<uint32_t>(kMaxPulses); ++candidate) {
    bool taken = false;
    for (int i = 0; i < used && !taken; ++i) taken = PulseTable[i].id == candidate;
    if (!taken) return candidate;
  }
  return kMaxPulses + 1;
}

void InitPulseRecord(PulseRecord* record) {
  if (record == nullptr) return;
  // The ID is taken before the reset so that a record in use keeps blocking
  // its own ID, as every other record in use does.
  const uint32_t id = NextFreePulseId();
  *record = PulseRecord();
  record->id = id;
}

void FreePulseBuffers(PulseRecord* record) {
  if (record == nullptr) return;
  record->envelope.Free();
  for (JitterBlock& block : record->jitter) block.FreeLists();
}

int FindPulseById(uint32_t id) {
  const int used = PulsesInUse();
  for (int i = 0; i < used; ++i)
    if (PulseTable[i].id == id) return i;
  return -1;
}

double JitterDisplayFactor(int target) {
  switch (target) {
    case JIT_ONPERIOD: case JIT_BLANKPERIOD: case JIT_PRI: case JIT_DELAY: case JIT_RISE: case JIT_FALL:
      return 1e6;
    case JIT_FREQUENCY: case JIT_CHIRPDEV: return 1e-6;
    default: return 1.0;
  }
}
