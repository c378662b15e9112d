// Mutated inputs for the importers, the full reader and the tag reader: byte flips, cuts,
// insertions and repeated spans over valid files, a fixed number of rounds
// from a fixed seed. Whatever the result, nothing may crash, read or write
// out of bounds (run under the sanitizers) or leave a slot bound.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/Mutate.h"
#include "tests/wavelib/WaveLibTestSupport.h"

namespace {

using namespace wavelib_test;
using cz::test::Mutate;

constexpr int kRounds = 500;

class Fuzz : public WaveLibTest {
 protected:
  void SetUp() override {
    WaveLibTest::SetUp();
    Log_SetMask(0);  // keep the run quiet; the code paths that log still run
    // Small buffers: the seeds cross buffer boundaries, and the sanitizer run
    // does not map and poison 16 MiB for every file.
    ASSERT_EQ(SetBufferSlotBytes(256), 1);
  }
};

TEST_F(Fuzz, ReadersSurviveMutatedWaveforms) {
  std::vector<float> i(64), q(64);
  std::vector<unsigned char> m(64);
  for (int k = 0; k < 64; ++k) {
    i[k] = static_cast<float>(k) / 64;
    q[k] = -i[k];
    m[k] = static_cast<unsigned char>(k % 3);
  }
  WaveDescriptor w;
  w.arbClock = w.markerClock = 1e6;
  w.samples = 64;
  w.comment = "fuzz";
  w.iData = i.data();
  w.qData = q.data();
  w.markers = m.data();
  std::vector<std::string> seeds;
  for (int family = 0; family < 3; ++family) {
    const std::string path = dir_.File("seed.wv");
    const int ok = family == 0   ? WaveLib_WriteWaveform(&w, path.c_str(), nullptr, nullptr)
                   : family == 1 ? WaveLib_WriteWaveformB(&w, path.c_str(), nullptr, nullptr)
                                 : WaveLib_WriteLegacyWaveform(&w, path.c_str());
    ASSERT_EQ(ok, 1);
    seeds.push_back(cz::test::ReadFileBytes(path));
  }
  // The tag reader also reads data and control lists.
  const unsigned char bytes[] = {0xAB, 0xC0, 0x00, 0x5A};
  DataListDescriptor dl;
  dl.bitLength = 30;
  dl.byteCount = 4;
  dl.comment = "symbols";
  dl.data = bytes;
  ASSERT_EQ(WaveLib_WriteDataList(&dl, dir_.File("seed.dl").c_str(), nullptr), 1);
  seeds.push_back(cz::test::ReadFileBytes(dir_.File("seed.dl")));
  const unsigned char control[] = {kControlBurst, kControlBurst | kControlHop, 0, kControlCwMode, kControlLevelAtt};
  ControlListDescriptor cl;
  cl.length = 5;
  cl.control = control;
  ASSERT_EQ(WaveLib_WriteControlList(&cl, dir_.File("seed.ls").c_str(), nullptr), 1);
  seeds.push_back(cz::test::ReadFileBytes(dir_.File("seed.ls")));
  std::mt19937 rng(20261209);
  FILE* iq = Temp("iq.tmp");
  FILE* marker = Temp("m.tmp");
  int accepted = 0;
  for (int round = 0; round < kRounds; ++round) {
    const std::string bytes = Mutate(seeds[round % seeds.size()], rng);
    const std::string path = Write("f.wv", bytes);
    WaveDescriptor d;
    WaveImportTexts texts;
    accepted += WaveLib_ReadWaveform(path.c_str(), &d, &texts, iq, marker);
    ASSERT_TRUE(SlotsFree()) << round;
    if (d.samples > 0) {
      ASSERT_EQ(Content(iq).size(), 3u + 8u * static_cast<unsigned>(d.samples));
    }
    // The tag reader opens whatever it is given and ends each text inside its field.
    WaveFileInfo info;
    ASSERT_EQ(WaveLib_GetFileInfo(path.c_str(), &info), 1) << round;
    ASSERT_TRUE(SlotsFree()) << round;
    for (const char* text : {info.comment, info.copyright, info.date})
      ASSERT_LT(strnlen(text, kWaveInfoTextBytes), std::size_t{kWaveInfoTextBytes}) << round;
    ASSERT_EQ(cz::test::ReadFileBytes(path), bytes) << round;
  }
  EXPECT_LT(accepted, kRounds);
}

TEST_F(Fuzz, ImportersSurviveMutatedTexts) {
  const std::string iqText = "COMMENT=c\nCLOCKRATE=1e6\n0.5 0.25\n-0.5,0.125\n3 4\n";
  const std::string hexText = "8000 C000\nFFFF 0001\n";
  const std::string binary = "CLOCKRATE=1000\nDATA\n" + std::string("\0\0\0?\0\0\0\xbf\0\0\x80?\0\0\0\0", 16);
  const std::string rfText = "% list\n1.5 -10\n2.5 0\n6 19\n";
  const std::string dlText = "MOD=QPSK\nCOMMENT=x\n1 0 1 1 MARKER1 BURST\n0011 HOP\n";
  std::mt19937 rng(9122026);
  FILE* iq = Temp("iq.tmp");
  FILE* data = Temp("dl.tmp");
  FILE* marker = Temp("m.tmp");
  std::vector<double> f(4), l(4);
  for (int round = 0; round < kRounds / 2; ++round) {
    WaveIqImportSource s;
    const std::string first = Write("a.txt", Mutate(round % 2 ? iqText : hexText, rng));
    s.path = first.c_str();
    s.format = round % 2 ? kImportFloat : 1 + static_cast<int>(rng() % 6);
    WaveDescriptor d;
    WaveImportTexts texts;
    WaveLib_ImportIq(&s, iq, &d, &texts);
    ASSERT_TRUE(SlotsFree()) << round;

    const std::string bin = Write("a.bin", Mutate(binary, rng));
    const std::string second = Write("b.bin", Mutate(binary, rng));
    s.path = bin.c_str();
    s.secondPath = round % 3 ? nullptr : second.c_str();
    s.format = kImportBinary;
    WaveLib_ImportIq(&s, iq, &d, &texts);
    ASSERT_TRUE(SlotsFree()) << round;

    WaveRfListTable table{4, f.data(), l.data()};
    if (WaveLib_ImportRfList(Write("rf.txt", Mutate(rfText, rng)).c_str(), &table)) {
      ASSERT_LE(table.capacity, 4);
    }
    ASSERT_TRUE(SlotsFree()) << round;

    DataListDescriptor dl;
    WaveLib_ImportDataList(Write("dl.txt", Mutate(dlText, rng)).c_str(), data, marker, &dl, &texts);
    ASSERT_TRUE(SlotsFree()) << round;
  }
}

}  // namespace
