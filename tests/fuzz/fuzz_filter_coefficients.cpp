// The baseband filter's coefficient file (BasebandFilter_ReadCoefficients):
// one or two numbers a line, at most kMaxUserFilterLength lines taken.
#include <vector>

#include "app/Records.h"
#include "editors/BasebandFilter.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  const std::string path = cz::fuzz::WriteScratch("coefficients.txt", data, size);
  std::vector<double> c1, c2;
  const int pairs = BasebandFilter_ReadCoefficients(path.c_str(), &c1, &c2);
  FUZZ_CHECK(pairs >= -3);
  if (pairs >= 0) {
    FUZZ_CHECK(static_cast<std::size_t>(pairs) <= kMaxUserFilterLength);
    FUZZ_CHECK(c1.size() == static_cast<std::size_t>(pairs) && c2.size() == c1.size());
  } else {
    FUZZ_CHECK(c1.empty() && c2.empty());
  }
  return 0;
}
