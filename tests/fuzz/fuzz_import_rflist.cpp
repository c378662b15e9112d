// The RF-list importer of the waveform library (WaveLib_ImportRfList):
// "<frequency GHz> <level dBm>" lines into a table of fixed capacity and into
// an RF list record's points.
#include <vector>

#include "app/Records.h"
#include "tests/fuzz/WaveFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::SetupWaveLib();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  const std::string path = cz::fuzz::WriteScratch("rf.txt", data, size);
  const int capacity = size > 0 ? 1 + data[0] % 16 : 4;
  std::vector<double> f(capacity), l(capacity);
  WaveRfListTable table{capacity, f.data(), l.data()};
  if (WaveLib_ImportRfList(path.c_str(), &table) == 1) FUZZ_CHECK(table.capacity >= 0 && table.capacity <= capacity);
  cz::fuzz::CheckSlotsFree();
  RfListPoints points;
  WaveLib_ImportRfList(path.c_str(), &points);
  FUZZ_CHECK(points.StoredCount() <= kMaxRfListPoints);
  cz::fuzz::CheckSlotsFree();
  return 0;
}
