// Records for tests that build sequences by hand: each helper appends to the
// project's tables (or fills one entry) the way the editors would.
#pragma once

#include <cstdint>

#include "app/PulseRecord.h"
#include "app/Records.h"

namespace cz::test {

// A default pulse (next free ID) named name, with on and off times in s.
inline PulseRecord& AddPulse(const char* name, double on, double off) {
  PulseRecord& p = PulseTable[PulseCount];
  InitPulseRecord(&p);
  ++PulseCount;
  p.name = name;
  p.onTime = on;
  p.offTime = off;
  return p;
}

// A default sequence at clock Hz.
inline SequenceRecord& AddSequence(double clock) {
  SequenceRecord& s = SequenceTable[SequenceCount];
  InitSequenceRecord(&s);
  ++SequenceCount;
  s.clock = clock;
  return s;
}

// Entry slot plays pulse p reps times with the combine mode overlay.
inline SequenceEntry& SetPulseEntry(SequenceRecord& s, int slot, const PulseRecord& p, int reps, int overlay = 0) {
  SequenceEntry& e = s.entries[slot];
  e.pulseId = static_cast<int32_t>(p.id);
  e.repetitions = reps;
  e.overlay = static_cast<uint8_t>(overlay);
  return e;
}

// Entry slot is a filler of kind (0 blank, 1 CW) ending at end s.
inline void SetFillerEntry(SequenceRecord& s, int slot, int kind, double end) {
  s.entries[slot].pulseId = -1;
  s.entries[slot].fillerType = kind;
  s.entries[slot].fillerTime = end;
}

}  // namespace cz::test
