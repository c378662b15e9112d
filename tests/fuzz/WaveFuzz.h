// Shared by the waveform-library harnesses: the library set up once with
// small slot buffers, the temporary files "w+b" as the builder leaves them,
// and the check that every buffered slot is free again after a read.
#pragma once

#include <cstdio>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "tests/fuzz/FuzzSupport.h"
#include "wavelib/WaveLib.h"

namespace cz::fuzz {

inline void SetupWaveLib() {
  Setup();
  char error[kWaveLibErrorTextBytes] = "";
  FUZZ_CHECK(WaveLib_Init(error, 2.2) == 1);
  // Small buffers: inputs cross buffer boundaries often, and little memory
  // is mapped and poisoned per input.
  FUZZ_CHECK(SetBufferSlotBytes(256) == 1);
}

// A temporary sample file of the scratch folder, open "w+b" for the
// process's life.
inline FILE* TempFile(const char* name) {
  FILE* f = std::fopen((Scratch() + "/" + name).c_str(), "w+b");
  FUZZ_CHECK(f != nullptr);
  return f;
}

inline long FileLength(FILE* f) {
  std::fflush(f);
  std::fseek(f, 0, SEEK_END);
  return std::ftell(f);
}

inline void CheckSlotsFree() {
  for (int s = 0; s < 4; ++s) FUZZ_CHECK(!GetBufferSlot(s)->readBuffer && !GetBufferSlot(s)->writeBuffer);
}

}  // namespace cz::fuzz
