// The bit text of a user data source (ParseDataBits): '0'/'1', blanks, "#x"
// hex groups and "/.../" comments. Whatever the text, the result holds only
// '0' and '1', as many as counted and at most 4,096.
#include <cstring>

#include "app/DataSource.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = cz::fuzz::Text(data, size);
  char bits[kDataBitsBufferSize];
  int count = -1;
  FUZZ_CHECK(ParseDataBits(text.c_str(), &count, bits) == 1);
  FUZZ_CHECK(count >= 0 && count <= kDataBitsMax);
  FUZZ_CHECK(std::strlen(bits) == static_cast<size_t>(count));
  FUZZ_CHECK(std::strspn(bits, "01") == static_cast<size_t>(count));
  return 0;
}
