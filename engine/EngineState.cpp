// Saving and putting back the engine's state (EngineState.h).
#include "engine/EngineState.h"

#include <cstring>

#include "engine/Jitter.h"
#include "engine/Modulation.h"
#include "engine/PulseCompute.h"

struct EngineStateSnapshot::Modulation {
  ModulationState state;
  char bits[kModulationBitsSize];
  int32_t bitCount = 0;
};

EngineStateSnapshot::EngineStateSnapshot() : modulation_(std::make_unique<Modulation>()) {}
EngineStateSnapshot::~EngineStateSnapshot() = default;

void EngineStateSnapshot::Save() {
  random_ = RandomGetState();
  PrbsGetRegisters(prbs_);
  jitter_ = JitterSaveState();
  lastPhase_ = LastPulsePhase;
  modulation_->state = ModState;
  std::memcpy(modulation_->bits, ModulationBitStream, sizeof modulation_->bits);
  modulation_->bitCount = ModulationBitCount;
}

void EngineStateSnapshot::Restore() const {
  RandomSetState(random_);
  PrbsSetRegisters(prbs_);
  JitterRestoreState(jitter_);
  LastPulsePhase = lastPhase_;
  ModState = modulation_->state;
  std::memcpy(ModulationBitStream, modulation_->bits, sizeof modulation_->bits);
  ModulationBitCount = modulation_->bitCount;
}
