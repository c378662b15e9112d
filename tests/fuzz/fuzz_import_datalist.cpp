// The data-list importer (WaveLib_ImportDataList): header settings
// (BITSPERSYMBOL, ATT, SYMRATE, ALPHA, ...) and symbol lines with control
// words, read into the temporary data and control files.
#include "tests/fuzz/WaveFuzz.h"

namespace {
FILE* g_data = nullptr;
FILE* g_marker = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::SetupWaveLib();
  g_data = cz::fuzz::TempFile("data.tmp");
  g_marker = cz::fuzz::TempFile("marker.tmp");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  const std::string path = cz::fuzz::WriteScratch("list.txt", data, size);
  DataListDescriptor d;
  WaveImportTexts texts;
  if (WaveLib_ImportDataList(path.c_str(), g_data, g_marker, &d, &texts) == 1) {
    FUZZ_CHECK(d.bitsPerSymbol >= 1 && d.bitsPerSymbol <= 8);
    FUZZ_CHECK(cz::fuzz::FileLength(g_data) == 3 + static_cast<long>(d.byteCount));
    FUZZ_CHECK(cz::fuzz::FileLength(g_marker) == d.symbolCount);
  }
  cz::fuzz::CheckSlotsFree();
  return 0;
}
