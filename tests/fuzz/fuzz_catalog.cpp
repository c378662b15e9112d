// The instrument's catalogue replies (":MMEM:CAT?", ":MMEM:DCAT?"): quoted
// SCPI strings with doubled quotes, each entry split at its last two commas.
#include <string>

#include "instrument/InstrumentCatalog.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply = cz::fuzz::Text(data, size);
  std::size_t total = 0;
  for (const std::string& entry : Catalog_Strings(reply)) {
    total += entry.size();
    CatalogEntry e;
    const bool split = Catalog_SplitEntry(entry, &e);
    FUZZ_CHECK(split || (e.type.empty() && e.size.empty()));
    FUZZ_CHECK(e.name.size() + e.type.size() + e.size.size() <= entry.size());
  }
  FUZZ_CHECK(total <= reply.size());
  return 0;
}
