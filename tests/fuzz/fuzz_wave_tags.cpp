// The tag reader behind the waveform Info dialog and the instrument file
// checks (WaveLib_GetFileInfo): waveform, data-list and control-list files
// of any content. Every text it fills ends inside its field.
#include <cstring>

#include "tests/fuzz/WaveFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::SetupWaveLib();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  const std::string path = cz::fuzz::WriteScratch("tags.wv", data, size);
  WaveFileInfo info;
  FUZZ_CHECK(WaveLib_GetFileInfo(path.c_str(), &info) == 1);
  for (const char* text : {info.fileName, info.fileDate, info.typeText, info.comment, info.copyright, info.date})
    FUZZ_CHECK(std::memchr(text, '\0', kWaveInfoTextBytes) != nullptr);
  FUZZ_CHECK(info.fileSize == static_cast<int64_t>(size));
  cz::fuzz::CheckSlotsFree();
  return 0;
}
