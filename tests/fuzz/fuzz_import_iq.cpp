// The I/Q importer (WaveLib_ImportIq): text files in the six number formats
// with I and Q in chosen columns, and binary files with an optional second
// file of Q values. Input: a byte choosing format and columns, then the
// first file, then (after "\n--\n") the second.
#include <string_view>

#include "tests/fuzz/WaveFuzz.h"

namespace {
FILE* g_iq = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::SetupWaveLib();
  g_iq = cz::fuzz::TempFile("iq.tmp");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  cz::fuzz::NextInput();
  const uint8_t choice = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view first = cz::fuzz::NextPart(&rest);
  WaveIqImportSource s;
  const std::string firstPath = cz::fuzz::WriteScratch("first.txt", first);
  const std::string secondPath = cz::fuzz::WriteScratch("second.bin", rest);
  s.path = firstPath.c_str();
  s.format = 1 + choice % 7;
  s.iColumn = 1 + (choice >> 3) % 3;
  s.qColumn = 1 + (choice >> 5) % 4;
  if (s.format == kImportBinary && (choice & 0x80)) s.secondPath = secondPath.c_str();
  WaveDescriptor d;
  WaveImportTexts texts;
  if (WaveLib_ImportIq(&s, g_iq, &d, &texts) == 1) {
    FUZZ_CHECK(d.samples >= 0);
    FUZZ_CHECK(cz::fuzz::FileLength(g_iq) == 3 + 8L * d.samples);
  }
  cz::fuzz::CheckSlotsFree();
  return 0;
}
