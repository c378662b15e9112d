// Damaged text files for the editors' importers: custom envelopes (levels and
// I/Q pairs), jitter value lists, filter coefficients and RF lists. Every
// read ends in its status or a result inside the editor's limits, and the
// file read is left as it was.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "editors/BasebandFilter.h"
#include "editors/EnvelopeImport.h"
#include "editors/JitterPage.h"
#include "editors/RfListEdit.h"
#include "tests/support/Mutate.h"
#include "tests/support/TempDir.h"
#include "ui/pulse/EnvelopePages.h"

namespace {

using cz::test::Mutate;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

constexpr int kRounds = 300;

class EditorFileFuzz : public ::testing::Test {
 protected:
  void SetUp() override { Log_SetMask(0); }
  void TearDown() override { Log_SetMask(0xC); }

  // Writes one mutation of seed; Unchanged() then checks the reader left it.
  const char* Next(const std::string& seed) {
    bytes_ = Mutate(seed, rng_, text_);
    path_ = dir_.File("in.txt");
    EXPECT_TRUE(WriteFileBytes(path_, bytes_));
    return path_.c_str();
  }
  bool Unchanged() const { return ReadFileBytes(path_) == bytes_; }

  cz::test::TempDir dir_;
  std::mt19937 rng_{6110};
  cz::test::MutateOptions text_{" \t,;.-+eE0123456789\r\n", 6, 700};
  std::string path_, bytes_;
};

TEST_F(EditorFileFuzz, EnvelopesAndJitterValues) {
  const std::string columns = "0 0.0 0.1\r\n1e-9 0.5 -0.25\r\n2e-9\t1.0\t0.75\r\n\r\n3e-9, 0.5, 0.125\n4e-9 0 0\n";
  for (int round = 0; round < kRounds; ++round) {
    PulseEnvelope env;
    const int mode = round % 2 ? IMPORT_IQ : IMPORT_LEVEL;
    const int status = EnvelopeReadFile(Next(columns), mode, 1 + round % 3, 2 + round % 2, &env);
    ASSERT_TRUE(status == ENVELOPE_READ_OK || status == ENVELOPE_READ_NO_MEMORY || status == ENVELOPE_READ_NO_DATA)
        << round;
    if (status != ENVELOPE_READ_OK) {
      ASSERT_EQ(env.Count(), 0) << "a failed import leaves the envelope as it was";
    }
    ASSERT_LE(static_cast<std::size_t>(env.Count()), kEnvelopeMaxPoints) << round;
    if (env.HasQ()) {
      ASSERT_EQ(env.QValues().size(), env.Values().size()) << round;
    }
    ASSERT_TRUE(Unchanged()) << round;

    std::vector<double> values{42.0};
    int errorLine = -1;
    const int jitter = JitterReadValueFile(Next(columns), 1 + round % 3, &values, &errorLine);
    ASSERT_TRUE(jitter == JITTER_IMPORT_OK || jitter == JITTER_IMPORT_BAD_LINE || jitter == JITTER_IMPORT_TOO_MANY ||
                jitter == JITTER_IMPORT_NO_DATA)
        << round;
    if (jitter == JITTER_IMPORT_OK) {
      ASSERT_LE(values.size(), kJitterListMax) << round;
    } else {
      ASSERT_EQ(values, std::vector<double>{42.0}) << round;
    }
    ASSERT_TRUE(Unchanged()) << round;
  }
}

TEST_F(EditorFileFuzz, FilterCoefficientsAndRfLists) {
  const std::string coefficients = "0.0125 -0.5\n0.25,0.25\n1.0\n-3.5e-2 7E1\n\n+.5 -.5\n";
  const std::string rfList = "1.5 -10\r\n2.25\t0\r\n\r\n6e0 -19.5\r\n3,-1\n";
  for (int round = 0; round < kRounds; ++round) {
    std::vector<double> c1, c2;
    int pairs = BasebandFilter_ReadCoefficients(Next(coefficients), &c1, &c2);
    if (pairs == -3) pairs = 0;  // a number beyond the range of a double: refused, nothing read
    ASSERT_GE(pairs, 0) << round;
    ASSERT_LE(static_cast<std::size_t>(pairs), kMaxUserFilterLength) << round;
    ASSERT_EQ(c1.size(), static_cast<std::size_t>(pairs)) << round;
    ASSERT_EQ(c2.size(), c1.size()) << round;
    ASSERT_TRUE(Unchanged()) << round;

    RfListPoints points;
    int imported = -1, badLine = -1;
    const int status = RfList_ImportText(Next(rfList), &points, &imported, &badLine);
    ASSERT_NE(status, RFLIST_IMPORT_OPEN_FAILED) << round;
    ASSERT_GE(imported, 0) << round;
    ASSERT_LE(imported, kMaxRfListPoints) << round;
    ASSERT_TRUE(Unchanged()) << round;
  }
}

}  // namespace
