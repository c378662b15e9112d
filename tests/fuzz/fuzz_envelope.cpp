// The custom-envelope import (EnvelopeReadFile): levels from one column or
// I/Q from two. Input: a byte choosing mode and columns, then the file. The
// envelope is replaced only by a whole read within its limits.
#include "app/PulseRecord.h"
#include "editors/EnvelopeImport.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/pulse/EnvelopePages.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  cz::fuzz::NextInput();
  const int mode = data[0] & 1 ? IMPORT_IQ : IMPORT_LEVEL;
  const int columnA = 1 + (data[0] >> 1) % 4, columnB = 1 + (data[0] >> 3) % 4;
  const std::string path = cz::fuzz::WriteScratch("envelope.txt", data + 1, size - 1);
  PulseEnvelope env;
  const int status = EnvelopeReadFile(path.c_str(), mode, columnA, columnB, &env);
  FUZZ_CHECK(status >= ENVELOPE_READ_FAILED && status <= ENVELOPE_READ_OK);
  if (status != ENVELOPE_READ_OK) FUZZ_CHECK(env.Count() == 0);
  FUZZ_CHECK(static_cast<std::size_t>(env.Count()) <= kEnvelopeMaxPoints);
  if (env.HasQ()) FUZZ_CHECK(env.QValues().size() == env.Values().size());
  return 0;
}
