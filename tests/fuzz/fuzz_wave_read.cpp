// The full waveform reader (WaveLib_ReadWaveform) behind the waveform import:
// any file, read into the temporary I/Q and marker files. What it accepts is
// described exactly by those files; every slot is free again afterwards.
#include "tests/fuzz/WaveFuzz.h"

namespace {
FILE* g_iq = nullptr;
FILE* g_marker = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::SetupWaveLib();
  g_iq = cz::fuzz::TempFile("iq.tmp");
  g_marker = cz::fuzz::TempFile("marker.tmp");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  const std::string path = cz::fuzz::WriteScratch("read.wv", data, size);
  WaveDescriptor d;
  WaveImportTexts texts;
  if (WaveLib_ReadWaveform(path.c_str(), &d, &texts, g_iq, g_marker) == 1) {
    FUZZ_CHECK(d.samples >= 0);
    FUZZ_CHECK(cz::fuzz::FileLength(g_iq) == 3 + 8L * d.samples);
    FUZZ_CHECK(cz::fuzz::FileLength(g_marker) == d.samples);
  }
  cz::fuzz::CheckSlotsFree();
  return 0;
}
