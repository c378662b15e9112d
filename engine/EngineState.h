// The engine's state that runs on from one build to the next: both random
// generators, the jitter history and rule positions, the PRBS registers,
// the continued pulse phase and the modulation's values of the last
// repetition. Saved and put back as a whole, it lets a build be made again
// with exactly the same samples (as long as no modulation plug-in, whose
// state is its own, takes part).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Prbs.h"
#include "engine/Random.h"

class EngineStateSnapshot {
 public:
  EngineStateSnapshot();
  ~EngineStateSnapshot();
  EngineStateSnapshot(const EngineStateSnapshot&) = delete;
  EngineStateSnapshot& operator=(const EngineStateSnapshot&) = delete;
  void Save();
  void Restore() const;

 private:
  struct Modulation;
  RandomState random_{};
  uint32_t prbs_[kPrbsGeneratorCount] = {};
  std::vector<unsigned char> jitter_;
  double lastPhase_ = 0.0;
  std::unique_ptr<Modulation> modulation_;
};
