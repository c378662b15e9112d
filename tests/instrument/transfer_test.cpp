// Instrument file transfer against a loopback instrument: block uploads and
// downloads byte for byte, names with '%' and quotes, failures that leave
// the session usable, RF lists.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "tests/instrument/FakeInstrument.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"

namespace cz::test {
namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

class TransferTest : public InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
    fake.ClearJournal();
  }
  bool NextCommandWorks() {
    char reply[64];
    return VisaDev_Query(0, "*OPT?", reply, sizeof reply) == 1 && std::string(reply) == "KLD-M64";
  }
  FakeInstrument fake{"Torvane,Kaldra,1,1.0", "KLD-M64"};
  TempDir dir;
};

TEST_F(TransferTest, UploadsArriveByteIdenticalUnderTheirNames) {
  const std::string big = RandomBytes(20 * 1024 * 1024, 7);
  ASSERT_TRUE(WriteFileBytes(dir.File("big.wv"), big));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("big.wv").c_str(), "D:\\waves\\big.wv"), 1);
  EXPECT_TRUE(fake.File("D:\\waves\\big.wv") == big);
  auto j = fake.Journal();
  EXPECT_NE(std::find(j.begin(), j.end(), ":MMEM:MSIS 'D:'"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), ":MMEM:MDIR '\\waves\\'"), j.end()) << "missing directory created";
  EXPECT_NE(std::find(j.begin(), j.end(), ":MMEM:CAT? '*.wv'"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), ":MMEM:DATA 'D:\\waves\\big.wv',#8" + std::to_string(big.size())),
            j.end());
  EXPECT_TRUE(Log().Has("Transfer complete."));

  // '%' and quotes reach the instrument as they are.
  ASSERT_TRUE(WriteFileBytes(dir.File("duty.wv"), "abc"));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("duty.wv").c_str(), "D:\\50%duty.wv"), 1);
  EXPECT_EQ(fake.File("D:\\50%duty.wv"), "abc");
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("duty.wv").c_str(), "D:\\it's.wv"), 1);
  EXPECT_EQ(fake.File("D:\\it's.wv"), "abc");
  auto names = fake.Journal();
  EXPECT_NE(std::find(names.begin(), names.end(), ":MMEM:DATA 'D:\\it''s.wv',#13"), names.end());

  // A control character in the name is refused before anything is sent.
  fake.ClearJournal();
  EXPECT_EQ(VisaDev_UploadFile(0, dir.File("duty.wv").c_str(), "D:\\bad\nname.wv"), 0);
  EXPECT_TRUE(fake.Journal().empty());
}

TEST_F(TransferTest, ExistingTargetIsReplacedAfterTheQuestion) {
  fake.PutFile("D:\\a.wv", "old");
  ASSERT_TRUE(WriteFileBytes(dir.File("a.wv"), "new data"));
  UiTest_QueueConfirm(true);
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("a.wv").c_str(), "D:\\a.wv"), 1);
  ASSERT_FALSE(UiTest_Popups().empty());
  EXPECT_EQ(UiTest_Popups().back().title, "WARNING");
  EXPECT_EQ(UiTest_Popups().back().text, "File exists on instrument. Delete ?");
  auto j = fake.Journal();
  EXPECT_NE(std::find(j.begin(), j.end(), "MMEM:DEL 'a.wv'"), j.end());
  EXPECT_EQ(fake.File("D:\\a.wv"), "new data");
}

TEST_F(TransferTest, UploadRefusesEmptyAndHugeFiles) {
  ASSERT_TRUE(WriteFileBytes(dir.File("empty.wv"), ""));
  EXPECT_EQ(VisaDev_UploadFile(0, dir.File("empty.wv").c_str(), "D:\\e.wv"), 0);
  EXPECT_TRUE(Log().Has("Input file is empty."));
  // A sparse file of exactly 1e9 bytes: its length needs ten digits.
  const std::string huge = dir.File("huge.wv");
  std::FILE* f = std::fopen(huge.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(ftruncate(fileno(f), 1000000000), 0);
  std::fclose(f);
  EXPECT_EQ(GetFileSizeBytes(huge.c_str()), 1000000000);
  EXPECT_EQ(VisaDev_UploadFile(0, huge.c_str(), "D:\\h.wv"), 0);
  EXPECT_TRUE(Log().HasPrefix("*** Input file too large: 1000000000 bytes"));
  EXPECT_TRUE(fake.Journal().empty());
}

// Relative local names are taken from the home path that the working
// folder's settings.ini names, for uploads and downloads alike.
TEST_F(TransferTest, RelativeLocalNamesAreTakenFromTheHome) {
  const std::string work = dir.File("work"), home = dir.File("home");
  ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  ASSERT_TRUE(WriteFileBytes(work + "/settings.ini", "[General]\r\nHomePath = \"" + home + "/\"\r\n"));
  ASSERT_TRUE(WriteFileBytes(home + "/up.wv", "home bytes"));
  char old[4096] = "";
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  struct Back {
    const char* folder;
    ~Back() { EXPECT_EQ(chdir(folder), 0); }
  } back{old};
  ASSERT_EQ(chdir(work.c_str()), 0);
  ASSERT_EQ(VisaDev_UploadFile(0, "up.wv", "D:\\up.wv"), 1);
  EXPECT_EQ(fake.File("D:\\up.wv"), "home bytes");
  ASSERT_EQ(VisaDev_DownloadFile(0, "down.wv", "D:\\up.wv"), 1);
  EXPECT_EQ(ReadFileBytes(home + "/down.wv"), "home bytes");
  EXPECT_FALSE(FileExists(work + "/down.wv"));
}

// A download onto a link lands in the linked file; onto a read-only file it
// is refused and the file stays; a name at the limit is written.
TEST_F(TransferTest, DownloadLandsWhereTheUserPointed) {
  fake.PutFile("D:\\d.bin", "fresh bytes");
  ASSERT_TRUE(WriteFileBytes(dir.File("real.bin"), "old"));
  ASSERT_EQ(symlink("real.bin", dir.File("link.bin").c_str()), 0);
  ASSERT_EQ(VisaDev_DownloadFile(0, dir.File("link.bin").c_str(), "D:\\d.bin"), 1);
  EXPECT_EQ(ReadFileBytes(dir.File("real.bin")), "fresh bytes");
  struct stat st {};
  ASSERT_EQ(lstat(dir.File("link.bin").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  ASSERT_TRUE(WriteFileBytes(dir.File("locked.bin"), "keep"));
  ASSERT_EQ(chmod(dir.File("locked.bin").c_str(), 0444), 0);
  Log().Clear();
  EXPECT_EQ(VisaDev_DownloadFile(0, dir.File("locked.bin").c_str(), "D:\\d.bin"), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("locked.bin")), "keep");
  EXPECT_TRUE(Log().Has("*** Cannot write '" + dir.File("locked.bin") + "': the file is read-only."));
  EXPECT_TRUE(NextCommandWorks());

  const std::string longName = dir.File(std::string(255 - 4, 'x') + ".bin");
  ASSERT_EQ(VisaDev_DownloadFile(0, longName.c_str(), "D:\\d.bin"), 1);
  EXPECT_EQ(ReadFileBytes(longName), "fresh bytes");
}

TEST_F(TransferTest, DownloadIsByteIdenticalAndLeavesTheSessionInStep) {
  std::string data = RandomBytes(100 * 1024, 3);
  for (std::size_t i = 0; i < data.size(); i += 997) data[i] = (i / 997) % 2 ? '\n' : '#';
  fake.PutFile("D:\\d.bin", data);
  const std::string local = dir.File("d.bin");
  ASSERT_EQ(VisaDev_DownloadFile(0, local.c_str(), "D:\\d.bin"), 1);
  EXPECT_TRUE(ReadFileBytes(local) == data);
  EXPECT_FALSE(FileExists(local + ".part"));
  EXPECT_TRUE(Log().Has("Data length is : 102400 bytes."));
  EXPECT_TRUE(NextCommandWorks());

  // A missing file: the download fails, nothing is left behind, the error
  // queue is emptied and the next command is answered in step.
  Log().Clear();
  VisaDev_SetReplyTimeLimit(2000);  // no reply will come: the first byte's wait is cut short
  const std::string missing = dir.File("missing.bin");
  EXPECT_EQ(VisaDev_DownloadFile(0, missing.c_str(), "D:\\nothere.bin"), 0);
  EXPECT_TRUE(Log().Has("No data received from instrument."));
  EXPECT_FALSE(FileExists(missing));
  EXPECT_FALSE(FileExists(missing + ".part"));
  EXPECT_TRUE(NextCommandWorks());
  EXPECT_EQ(VisaDev_CheckError(0), 1);
}

TEST_F(TransferTest, BlockFollowedByEndlessBytesFailsTheDownload) {
  fake.PutFile("D:\\d.bin", "abcde");
  const std::string local = dir.File("d.bin");
  for (int every : {0, 1}) {
    VisaDev_SetReplyTimeLimit(every ? 500 : 0);
    fake.BabbleAfter(":MMEM:DATA?", every);
    Log().Clear();
    EXPECT_EQ(VisaDev_DownloadFile(0, local.c_str(), "D:\\d.bin"), 0);
    EXPECT_TRUE(Log().Has("*** No message end after the data block."));
    EXPECT_FALSE(FileExists(local));
    EXPECT_FALSE(FileExists(local + ".part"));
    EXPECT_TRUE(NextCommandWorks());
  }
}

TEST_F(TransferTest, DownloadOntoAFullDiskSaysWhy) {
  SmallDisk disk(64);
  CZ_SKIP_WITHOUT(disk);
  fake.PutFile("D:\\big.bin", RandomBytes(256 * 1024, 5));
  const std::string local = disk.File("big.bin");
  EXPECT_EQ(VisaDev_DownloadFile(0, local.c_str(), "D:\\big.bin"), 0);
  EXPECT_TRUE(Log().Has("*** Cannot write '" + local + "': No space left on device."));
  EXPECT_TRUE(Log().Has("Failed to write to output file."));
  EXPECT_FALSE(FileExists(local));
  EXPECT_TRUE(NextCommandWorks());
}

TEST_F(TransferTest, ErrorsAfterSelectAndOpcZeroFailTheOperation) {
  ASSERT_TRUE(WriteFileBytes(dir.File("w.wv"), "wave"));
  fake.ErrorAfter("BB:ARB:WAV:SEL", "-241,\"Hardware missing\"");
  EXPECT_EQ(VisaDev_SendWaveformArb(0, dir.File("w.wv").c_str(), "D:\\w.wv", 1, 1, 0), 0);
  EXPECT_TRUE(Log().Has(":SYST:ERR? resports '-241,\"Hardware missing\"'"));
  EXPECT_TRUE(Log().Has("*** Error selecting waveform."));
  EXPECT_FALSE(fake.Journal().empty());
  EXPECT_EQ(fake.Journal().back(), ":SYST:ERR?") << "nothing is started after the failed select";
  fake.ErrorAfter("", "");

  fake.OpcZeroOn("SOUR:WAV:SEL");
  Log().Clear();
  EXPECT_EQ(VisaDev_SendWaveformIq(0, dir.File("w.wv").c_str(), "D:\\w2.wv", 1, 1), 0);
  EXPECT_TRUE(Log().Has("Error selecting waveform."));
  EXPECT_EQ(LastError(0), "ERROR : R Unexpected Result '0'");
}

TEST_F(TransferTest, DroppedConnectionIsReportedAndTheNextUploadWorks) {
  const std::string data = RandomBytes(8 * 1024 * 1024, 11);
  ASSERT_TRUE(WriteFileBytes(dir.File("drop.wv"), data));
  fake.DropBlockAfter(300000);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(VisaDev_UploadFile(0, dir.File("drop.wv").c_str(), "D:\\drop.wv"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6)) << "within the 5 s time-out";
  EXPECT_TRUE(Log().Has("Transfer FAILED."));
  EXPECT_FALSE(fake.HasFile("D:\\drop.wv"));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("drop.wv").c_str(), "D:\\drop.wv"), 1);
  EXPECT_TRUE(fake.File("D:\\drop.wv") == data);
}

TEST_F(TransferTest, RfListArrivesInHertzAndBadSizesAreRefused) {
  const double freq[3] = {1.0, 2.0, 3.0};
  const double level[3] = {-10.0, -20.0, -30.0};
  RfListUpload list{3, freq, level, 1.0};
  ASSERT_EQ(VisaDev_CreateRfList(0, &list, "D:\\lists\\l1.lsw", 1, 0), 1);
  EXPECT_EQ(fake.List("FREQ"), (std::vector<double>{1e9, 2e9, 3e9}));
  EXPECT_EQ(fake.List("POW"), (std::vector<double>{-10.0, -20.0, -30.0}));
  auto j = fake.Journal();
  EXPECT_NE(std::find(j.begin(), j.end(), "SOUR1:LIST:SEL 'D:\\lists\\l1.lsw'"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), "SOUR1:LIST:FREQ #224"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), "SOUR1:LIST:POW #224"), j.end());
  EXPECT_EQ(freq[0], 1.0) << "the caller's frequencies stay in GHz";

  fake.ClearJournal();
  RfListUpload empty{0, freq, level, 1.0};
  EXPECT_EQ(VisaDev_CreateRfList(0, &empty, "D:\\l.lsw", 1, 0), 0);
  RfListUpload tooMany{InstrumentCapabilities.RfListMax + 1, freq, level, 1.0};
  EXPECT_EQ(VisaDev_CreateRfList(0, &tooMany, "D:\\l.lsw", 1, 0), 0);
  EXPECT_TRUE(fake.Journal().empty());
}

TEST(TransferPaths, SplitAndQuote) {
  std::string drive, dir, name, ext;
  SplitPathParts("D:\\waves\\a.b.wv", &drive, &dir, &name, &ext);
  EXPECT_EQ(drive, "D:");
  EXPECT_EQ(dir, "\\waves\\");
  EXPECT_EQ(name, "a.b");
  EXPECT_EQ(ext, ".wv");
  SplitPathParts("/var/user/x", &drive, &dir, &name, &ext);
  EXPECT_EQ(drive, "");
  EXPECT_EQ(dir, "/var/user/");
  EXPECT_EQ(name, "x");
  EXPECT_EQ(ext, "");
  EXPECT_EQ(FileNameWithExtension("/hdd/dir.v2/wave"), "wave");
  std::string q;
  EXPECT_TRUE(ScpiQuoted("a'b", &q));
  EXPECT_EQ(q, "'a''b'");
  EXPECT_FALSE(ScpiQuoted("a\tb", &q));
  EXPECT_FALSE(ScpiQuoted("a\x7f", &q));
}

}  // namespace
}  // namespace cz::test
