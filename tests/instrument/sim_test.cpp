// The device layer, transfer and identification against the simulated
// instrument (build/tools cadenza-sim) on 127.0.0.1, over the raw socket and
// the VXI-11 core channel.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/visa/Visa.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"

namespace cz::test {
namespace {

// One cadenza-sim process for the life of the object.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& extra) {
    std::string exe = SimExecutablePath();
    int out[2];
    if (pipe(out) != 0) return;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      cz::test::EndWithParent(parent);
      dup2(out[1], 1);
      close(out[0]);
      std::vector<std::string> args = {exe, "--port", "0", "--vxi11-port", "0"};
      args.insert(args.end(), extra.begin(), extra.end());
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    std::FILE* f = fdopen(out[0], "r");
    unsigned p = 0;
    if (f && std::fscanf(f, "port %u vxi11-port %u", &p, &vxi11_) == 2) socket_ = p;
    if (f) std::fclose(f);
  }
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ok() const { return socket_ != 0 && vxi11_ != 0; }
  std::string Resource(bool vxi11) const {
    if (!vxi11) return "TCPIP0::127.0.0.1::" + std::to_string(socket_) + "::SOCKET";
    Visa_SetVxi11CorePort(static_cast<std::uint16_t>(vxi11_));
    return "TCPIP0::127.0.0.1::inst0::INSTR";
  }

 private:
  pid_t pid_ = -1;
  unsigned socket_ = 0, vxi11_ = 0;
};

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// Parameter: true = VXI-11, false = raw socket.
class SimTest : public InstrumentTest, public ::testing::WithParamInterface<bool> {
 protected:
  void Start(const std::vector<std::string>& args) {
    sim_ = std::make_unique<SimProcess>(args);
    ASSERT_TRUE(sim_->ok()) << "cadenza-sim did not start";
    ASSERT_EQ(VisaDev_Open(0, sim_->Resource(GetParam()).c_str()), 1) << LastError(0);
  }
  void TearDown() override {
    InstrumentTest::TearDown();
    sim_.reset();
    Visa_SetVxi11CorePort(0);
  }
  bool NextCommandWorks() {
    char reply[256];
    return VisaDev_Query(0, "*IDN?", reply, sizeof reply) == 1 && std::string(reply).rfind("Torvane,", 0) == 0;
  }
  std::unique_ptr<SimProcess> sim_;
  TempDir dir;
};

TEST_P(SimTest, IdentifiesAndTransfersByteForByte) {
  Start({"--model", "Kaldra", "--options", "KLD-M64,KLD-M16,OPT-RFA30"});
  InstrumentType type = -1;
  ASSERT_EQ(VisaDev_GetType(0, &type), 1);
  EXPECT_EQ(type, INSTR_KALDRA);

  const std::string big = RandomBytes(20 * 1024 * 1024, GetParam() ? 5 : 6);
  ASSERT_TRUE(WriteFileBytes(dir.File("big.wv"), big));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("big.wv").c_str(), "D:\\waves\\big.wv"), 1) << LastError(0);
  ASSERT_EQ(VisaDev_DownloadFile(0, dir.File("back.wv").c_str(), "D:\\waves\\big.wv"), 1);
  EXPECT_TRUE(ReadFileBytes(dir.File("back.wv")) == big);

  std::string small = RandomBytes(100 * 1024, 9);
  for (std::size_t i = 0; i < small.size(); i += 1000) small[i] = (i / 1000) % 2 ? '\n' : '#';
  ASSERT_TRUE(WriteFileBytes(dir.File("duty.wv"), small));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("duty.wv").c_str(), "D:\\50%duty.wv"), 1);
  ASSERT_EQ(VisaDev_DownloadFile(0, dir.File("duty-back.wv").c_str(), "D:\\50%duty.wv"), 1);
  EXPECT_TRUE(ReadFileBytes(dir.File("duty-back.wv")) == small);
  EXPECT_TRUE(NextCommandWorks());

  // A block whose last data byte is a line feed still gets its terminator:
  // the upload ends at once, and the next command is a command of its own.
  const std::string lf = small.substr(0, 41) + "\n";
  ASSERT_TRUE(WriteFileBytes(dir.File("lf.wv"), lf));
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("lf.wv").c_str(), "D:\\lf.wv"), 1) << LastError(0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_TRUE(NextCommandWorks());
  ASSERT_EQ(VisaDev_DownloadFile(0, dir.File("lf-back.wv").c_str(), "D:\\lf.wv"), 1);
  EXPECT_TRUE(ReadFileBytes(dir.File("lf-back.wv")) == lf);

  VisaDev_SetReplyTimeLimit(2000);  // no reply will come: the first byte's wait is cut short
  EXPECT_EQ(VisaDev_DownloadFile(0, dir.File("none.wv").c_str(), "D:\\nothere.wv"), 0);
  EXPECT_FALSE(FileExists(dir.File("none.wv")));
  EXPECT_TRUE(NextCommandWorks());
}

TEST_P(SimTest, RfListArrivesInHertz) {
  Start({"--model", "Kaldra"});
  const double freq[3] = {1.0, 2.0, 3.0};
  const double level[3] = {-10.0, -20.0, -30.0};
  RfListUpload list{3, freq, level, 1.0};
  ASSERT_EQ(VisaDev_CreateRfList(0, &list, "D:\\lists\\three.lsw", 1, 0), 1) << LastError(0);
  char reply[256];
  ASSERT_EQ(VisaDev_Query(0, "SOUR1:LIST:FREQ?", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "1000000000,2000000000,3000000000");
  ASSERT_EQ(VisaDev_Query(0, "SOUR1:LIST:POW?", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "-10,-20,-30");
}

TEST_P(SimTest, FailuresAreReportedAndTheSessionRecovers) {
  Start({"--model", "Kaldra", "--fault", "error=-221,\"Settings conflict\"*1@BB:ARB:WAV:SEL", "--fault",
         "opc0*1@OUTP1:STAT ON", "--fault", "dropblock=300000*1@drop.wv"});
  ASSERT_TRUE(WriteFileBytes(dir.File("w.wv"), RandomBytes(4096, 1)));
  EXPECT_EQ(VisaDev_SendWaveformArb(0, dir.File("w.wv").c_str(), "D:\\sel.wv", 1, 1, 1), 0);
  EXPECT_TRUE(Log().Has(":SYST:ERR? resports '-221,\"Settings conflict\"'"));
  EXPECT_TRUE(Log().Has("*** Error selecting waveform."));

  EXPECT_EQ(VisaDev_Write(0, "OUTP1:STAT ON; *OPC?"), 0);
  EXPECT_EQ(LastError(0), "ERROR : R Unexpected Result '0'");

  const std::string data = RandomBytes(4 * 1024 * 1024, 2);
  ASSERT_TRUE(WriteFileBytes(dir.File("drop.wv"), data));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(VisaDev_UploadFile(0, dir.File("drop.wv").c_str(), "D:\\drop.wv"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
  EXPECT_TRUE(Log().Has("Transfer FAILED."));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("drop.wv").c_str(), "D:\\drop.wv"), 1) << LastError(0);
  ASSERT_EQ(VisaDev_DownloadFile(0, dir.File("drop-back.wv").c_str(), "D:\\drop.wv"), 1);
  EXPECT_TRUE(ReadFileBytes(dir.File("drop-back.wv")) == data);
}

TEST_P(SimTest, IdentifyNerrinWithItsHardDisk) {
  Start({"--model", "Nerrin", "--options", "NRN-M32A,OPT-HDD,OPT-RF32"});
  char dir[256];
  ASSERT_EQ(VisaDev_GetDefaultDirectory(0, dir), 1);
  EXPECT_STREQ(dir, "/hdd/");
  VisaDev_Close(0);
  char info[kIdentifyInfoSize];
  ASSERT_EQ(IdentifyInstrument(sim_->Resource(GetParam()).c_str(), info, sizeof info), 1);
  EXPECT_EQ(InstrumentCapabilities.Type, INSTR_NERRIN);
  EXPECT_EQ(InstrumentCapabilities.MaxClock, 150000000);
  EXPECT_EQ(InstrumentCapabilities.RfPathA, 1);
  EXPECT_NE(std::string(info).find("ARB        : NRN-M32A, 32 MSamples\nRF         : 9 kHz - 3.2 GHz\n"),
            std::string::npos)
      << info;
}

// The existence check reads the whole catalogue: a target listed behind
// 2,000 other entries (about 52 kB) is still found and the question comes.
TEST_P(SimTest, OverwriteQuestionSeesTheWholeCatalogue) {
  Start({"--model", "Kaldra", "--fault", "longcat=2000@CAT?"});
  ASSERT_TRUE(WriteFileBytes(dir.File("last.wv"), "first"));
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("last.wv").c_str(), "D:\\last.wv"), 1) << LastError(0);
  std::string catalogue;
  ASSERT_EQ(VisaDev_QueryAll(0, ":MMEM:CAT? '*.wv'", &catalogue), 1);
  EXPECT_GT(catalogue.size(), 50000u);
  const std::string tail = "\"last.wv,BIN,5\"";
  ASSERT_GE(catalogue.size(), tail.size());
  EXPECT_EQ(catalogue.substr(catalogue.size() - tail.size()), tail) << "the target is the last entry";

  ASSERT_TRUE(WriteFileBytes(dir.File("last.wv"), "second"));
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  ASSERT_EQ(VisaDev_UploadFile(0, dir.File("last.wv").c_str(), "D:\\last.wv"), 1) << LastError(0);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups().back().text, "File exists on instrument. Delete ?");
  EXPECT_TRUE(NextCommandWorks());

  // The RF list's own check reads the current directory's catalogue whole too.
  const double freq[1] = {1.0}, level[1] = {-10.0};
  RfListUpload list{1, freq, level, 1.0};
  ASSERT_EQ(VisaDev_CreateRfList(0, &list, "D:\\l.lsw", 1, 0), 1) << LastError(0);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  EXPECT_EQ(VisaDev_CreateRfList(0, &list, "D:\\l.lsw", 1, 0), 0);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups().back().text, "File already exists on instrument. Proceed ?");
}

// The existence checks of the upload and of the RF list read catalogue
// entries by their last two fields and their doubled quotes: "take,2.wv" is
// not "take", and a name with quotes is found.
TEST_P(SimTest, ExistenceChecksReadNamesWithCommasAndQuotes) {
  Start({"--model", "Kaldra"});
  ASSERT_TRUE(WriteFileBytes(dir.File("up.wv"), "data"));
  const std::string local = dir.File("up.wv");
  auto upload = [&](const char* target, int questions) {
    UiTest_ClearPopups();
    for (int i = 0; i < questions; ++i) UiTest_QueueConfirm(true);
    EXPECT_EQ(VisaDev_UploadFile(0, local.c_str(), target), 1) << target;
    EXPECT_EQ(UiTest_Popups().size(), static_cast<std::size_t>(questions)) << target;
  };
  upload("D:\\take,2.wv", 0);
  upload("D:\\take", 0);
  upload("D:\\take", 1);
  upload("D:\\say \"hi\".wv", 0);
  upload("D:\\say \"hi\".wv", 1);
  upload("D:\\my take.wv", 0);
  upload("D:\\my take.wv", 1);

  const double freq[1] = {1.0}, level[1] = {-10.0};
  RfListUpload list{1, freq, level, 1.0};
  auto rfList = [&](const char* target, int questions) {
    UiTest_ClearPopups();
    for (int i = 0; i < questions; ++i) UiTest_QueueConfirm(true);
    EXPECT_EQ(VisaDev_CreateRfList(0, &list, target, 1, 0), 1) << target;
    EXPECT_EQ(UiTest_Popups().size(), static_cast<std::size_t>(questions)) << target;
  };
  rfList("D:\\l,1.lsw", 0);
  rfList("D:\\l", 0);
  rfList("D:\\l", 1);
  rfList("D:\\q\"x\".lsw", 0);
  rfList("D:\\q\"x\".lsw", 1);
  EXPECT_TRUE(NextCommandWorks());

  VisaDev_Close(0);
  Start({"--model", "Ostrel"});
  upload("/var/a,b.wv", 0);
  upload("/var/a", 0);
  upload("/var/a", 1);
  upload("/var/it's \"so\".wv", 0);
  upload("/var/it's \"so\".wv", 1);
  rfList("/var/l,1.lsw", 0);
  rfList("/var/l", 0);
  rfList("/var/l", 1);
  rfList("/var/my \"l\".lsw", 0);
  rfList("/var/my \"l\".lsw", 1);
}

// Every exchange is one log line: an empty reply is logged without its
// terminator.
TEST_P(SimTest, EmptyReplyIsLoggedOnOneLine) {
  Start({"--model", "Kaldra", "--options", ""});
  EXPECT_TRUE(Log().Has("VISA << ''"));
  for (const std::string& line : Log().lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Transports, SimTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Vxi11" : "Socket"; });

}  // namespace
}  // namespace cz::test

namespace cz::test {
namespace {

// The list uploads ask before anything changes: "No" keeps the instrument's
// file (no data for it, its bytes as they were) and ends the upload as
// cancelled, not failed; "Yes" replaces it.
class ListUploadQuestionTest : public InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    SimOptions opt;
    opt.vxi11 = false;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    ASSERT_EQ(VisaDev_Open(0, sim_.SocketResource().c_str()), 1);
  }
  std::string Remote(const char* path) {
    const std::string local = dir_.File("back.bin");
    return VisaDev_DownloadFile(0, local.c_str(), path) == 1 ? ReadFileBytes(local) : std::string("<missing>");
  }
  int SentSince(std::size_t from, const std::string& part) const {
    const std::vector<std::string> r = sim_.Received();
    int n = 0;
    for (std::size_t i = from; i < r.size(); ++i) n += r[i].find(part) != std::string::npos;
    return n;
  }
  SimFixture sim_;
  TempDir dir_;
};

TEST_F(ListUploadQuestionTest, NoKeepsTheFileYesReplacesIt) {
  const std::string local = dir_.File("list.dat");
  ASSERT_TRUE(WriteFileBytes(local, "first"));
  ASSERT_EQ(VisaDev_UploadList(0, local.c_str(), "D:\\lists\\l.dat", 0), 0) << "no such directory yet";
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR 'D:\\lists'"), 1);
  ASSERT_EQ(VisaDev_UploadList(0, local.c_str(), "D:\\lists\\l.dat", 0), 1);
  ASSERT_EQ(Remote("D:\\lists\\l.dat"), "first");

  ASSERT_TRUE(WriteFileBytes(local, "second"));
  std::size_t from = sim_.Received().size();
  Log().Clear();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  EXPECT_EQ(VisaDev_UploadList(0, local.c_str(), "D:\\lists\\l.dat", 0), 0);
  EXPECT_EQ(VisaDev_UploadCancelled(0), 1);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "File already exists on instrument. Proceed ?");
  EXPECT_TRUE(Log().Has(kUploadCancelledText));
  EXPECT_FALSE(Log().Has("Data transfer FAILED."));
  EXPECT_EQ(SentSince(from, "MMEM:DATA"), 0);
  EXPECT_EQ(Remote("D:\\lists\\l.dat"), "first");

  // The selecting uploads ask before they select anything.
  from = sim_.Received().size();
  Log().Clear();
  UiTest_QueueConfirm(false);
  EXPECT_EQ(VisaDev_UploadDataList(0, local.c_str(), "D:\\lists\\l.dat"), 0);
  EXPECT_EQ(VisaDev_UploadCancelled(0), 1);
  EXPECT_FALSE(Log().Has("Upload failed."));
  UiTest_QueueConfirm(false);
  EXPECT_EQ(VisaDev_UploadDataListToPaths(0, local.c_str(), "D:\\lists\\l.dat", 3, 1), 0);
  UiTest_QueueConfirm(false);
  EXPECT_EQ(VisaDev_UploadListWaveAndSelect(0, local.c_str(), "D:\\lists\\l.dat", 1), 0);
  UiTest_QueueConfirm(false);
  EXPECT_EQ(VisaDev_SendWaveformArb(0, local.c_str(), "D:\\lists\\l.dat", 1, 1, 0), 0);
  EXPECT_FALSE(Log().Has("Upload failed."));
  EXPECT_FALSE(Log().Has("Transfer failed."));
  for (const char* changing : {"SEL", "DATA", "DEL", "PRES", "STAT"})
    EXPECT_EQ(SentSince(from, changing), 0) << changing;
  EXPECT_EQ(Remote("D:\\lists\\l.dat"), "first");

  // The plain upload asks before it changes the drive or directory.
  from = sim_.Received().size();
  UiTest_QueueConfirm(false);
  EXPECT_EQ(VisaDev_UploadFile(0, local.c_str(), "D:\\lists\\l.dat"), 0);
  EXPECT_EQ(VisaDev_UploadCancelled(0), 1);
  for (const char* changing : {"MSIS", "CDIR", "MDIR", "DATA", "DEL"})
    EXPECT_EQ(SentSince(from, changing), 0) << changing;

  // Yes replaces, asked once.
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  EXPECT_EQ(VisaDev_UploadList(0, local.c_str(), "D:\\lists\\l.dat", 0), 1);
  EXPECT_EQ(VisaDev_UploadCancelled(0), 0);
  EXPECT_EQ(Remote("D:\\lists\\l.dat"), "second");
  ASSERT_TRUE(WriteFileBytes(local, "third"));
  UiTest_QueueConfirm(true);
  EXPECT_EQ(VisaDev_UploadFile(0, local.c_str(), "D:\\lists\\l.dat"), 1);
  EXPECT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(Remote("D:\\lists\\l.dat"), "third");
}

}  // namespace
}  // namespace cz::test
