// The jitter value-list import (JitterReadValueFile): one number a line from
// a chosen column. Input: a byte choosing the column, then the file. The
// list is written only on success and never beyond its limit.
#include <vector>

#include "app/PulseRecord.h"
#include "editors/JitterPage.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  cz::fuzz::NextInput();
  const std::string path = cz::fuzz::WriteScratch("values.txt", data + 1, size - 1);
  std::vector<double> values{42.0};
  int errorLine = -1;
  const int status = JitterReadValueFile(path.c_str(), 1 + data[0] % 4, &values, &errorLine);
  if (status == JITTER_IMPORT_OK) {
    FUZZ_CHECK(values.size() <= kJitterListMax);
  } else {
    FUZZ_CHECK(values.size() == 1 && values[0] == 42.0);
  }
  return 0;
}
