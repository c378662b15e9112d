// The RF list editor's text import (RfList_ImportText): frequency and level
// lines into an RF list's points, which stay as they were on a bad line.
#include "app/Records.h"
#include "editors/RfListEdit.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  const std::string path = cz::fuzz::WriteScratch("rflist.txt", data, size);
  RfListPoints points;
  points.Set(0, 1.0, -5.0);
  int imported = -1, badLine = -1;
  const int status = RfList_ImportText(path.c_str(), &points, &imported, &badLine);
  FUZZ_CHECK(status != RFLIST_IMPORT_OPEN_FAILED);
  FUZZ_CHECK(imported >= 0 && imported <= kMaxRfListPoints);
  if (status != RFLIST_IMPORT_DONE) FUZZ_CHECK(points.Frequency(0) == 1.0 && points.Level(0) == -5.0);
  FUZZ_CHECK(points.StoredCount() <= kMaxRfListPoints);
  return 0;
}
