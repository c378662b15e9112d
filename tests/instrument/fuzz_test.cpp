// Damaged instrument replies: the identity and option, catalogue, error-queue
// and data-block replies of the simulated instrument, mutated and sent in
// place of its own through the reply fault. Each read ends in a clear error
// or a valid result within the session's time-out, the session works again
// after the program's own recovery, and a download that fails leaves the
// local file as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "instrument/FileBrowser.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/visa/Visa.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/Mutate.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/TempDir.h"
#include "tools/cadenza-sim/SimInstrument.h"
#include "tools/cadenza-sim/SimServer.h"

namespace cz::test {
namespace {

using sim::SimFaultKind;

// A damaged listing may be refused with a message box: that is a clear error.
void AcceptPopup(const char*, const char*, const char*) {}

std::function<void(int)> g_browserTurn;
void BrowserTurn(int panel) {
  if (g_browserTurn) g_browserTurn(panel);
}

// Parameter: true = VXI-11 core channel, false = raw socket.
class ReplyFuzz : public InstrumentTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    std::string why;
    sim::SimServerOptions options;
    options.vxi11 = GetParam();
    ASSERT_TRUE(server_.Start(options, &why)) << why;
    if (GetParam()) {
      Visa_SetVxi11CorePort(server_.Vxi11Port());
      resource_ = "TCPIP0::127.0.0.1::inst0::INSTR";
    } else {
      resource_ = "TCPIP0::127.0.0.1::" + std::to_string(server_.SocketPort()) + "::SOCKET";
    }
    Log_SetMask(0);  // quiet; the logging code paths still run
  }
  void TearDown() override {
    InstrumentTest::TearDown();
    server_.Stop();
    Visa_SetVxi11CorePort(0);
    Log_SetMask(0xC);
  }

  // The simulator's own reply to `query`, without its line feed: the seed.
  std::string Genuine(const std::string& query) {
    const int conn = inst_.Connect("seed");
    const std::string text = query + "\n";
    inst_.Feed(conn, reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
    std::string bytes;
    std::chrono::steady_clock::time_point due;
    EXPECT_TRUE(inst_.PeekReply(conn, &bytes, &due)) << query;
    inst_.Disconnect(conn);
    if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
    return bytes;
  }
  // The next message containing `match` is answered with `reply`.
  void AnswerOnce(const std::string& match, const std::string& reply) {
    inst_.ClearFaults();
    inst_.AddFault({SimFaultKind::kReply, match, 0, reply, 1});
  }
  void OpenFast() {
    ASSERT_EQ(VisaDev_Open(0, resource_.c_str()), 1) << LastError(0);
    // A block that announces more than it carries ends in this time-out.
    ASSERT_EQ(VisaDev_SetTimeout(0, 150), 1);
  }
  // After the program's recovery the next command gets its own reply.
  void ExpectRecovered(int round) {
    inst_.ClearFaults();
    VisaDev_ClearSession(0);
    // A loaded machine may be slow; only damaged replies meet the short time-out.
    ASSERT_EQ(VisaDev_SetTimeout(0, 5000), 1);
    char reply[256] = "";
    ASSERT_EQ(VisaDev_Query(0, "*IDN?", reply, sizeof reply), 1) << round;
    ASSERT_EQ(std::string(reply), idn_) << round;
    ASSERT_EQ(VisaDev_SetTimeout(0, 150), 1);
  }

  static sim::SimConfig Config() {
    sim::SimConfig c;
    c.options = "KLD-M64,KLD-M16,OPT-RFA30";
    return c;
  }

  sim::SimInstrument inst_{Config()};
  sim::SimServer server_{inst_};
  std::string resource_;
  std::string idn_;
  TempDir dir_;
};

TEST_P(ReplyFuzz, IdentityAndOptions) {
  idn_ = Genuine("*IDN?");
  const std::string seeds[] = {idn_, Genuine("*OPT?")};
  ASSERT_FALSE(seeds[1].empty());
  std::mt19937 rng(1712);
  MutateOptions scpi;
  scpi.syntax = ",;\"'#-. 0123456789\n";
  scpi.maxRun = 300;
  for (int round = 0; round < 60; ++round) {
    AnswerOnce(round % 2 ? "*OPT?" : "*IDN?", Mutate(seeds[round % 2], rng, scpi));
    char info[kIdentifyInfoSize];
    std::memset(info, 'x', sizeof info);
    const int ok = IdentifyInstrument(resource_.c_str(), info, sizeof info);
    ASSERT_TRUE(ok == 0 || ok == 1) << round;
    ASSERT_FALSE(VisaDev_IsOpen(0)) << round;
    if (ok) {
      ASSERT_GT(strnlen(info, sizeof info), 0u) << round;
      ASSERT_LT(strnlen(info, sizeof info), sizeof info) << round;
      ASSERT_LE(InstrumentCapabilities.MinClock, InstrumentCapabilities.MaxClock) << round;
    }
  }
}

TEST_P(ReplyFuzz, CataloguesAndErrorQueue) {
  idn_ = Genuine("*IDN?");
  OpenFast();
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR 'D:/w'"), 1);
  for (const char* name : {"a.wv", "b.wv", "long name.wv"}) {
    ASSERT_TRUE(inst_.WriteFileData(std::string("D:/w/") + name, "data"));
  }
  const std::string catalogue = Genuine(":MMEM:CAT? 'D:\\w\\*.wv'");
  ASSERT_NE(catalogue.find("\"b.wv,BIN,4\""), std::string::npos) << catalogue;
  inst_.AddFault({SimFaultKind::kQueueError, "*OPC?", 0, "-221,\"Settings conflict\"", 1});
  Genuine("*OPC?");
  const std::string error = Genuine(":SYST:ERR?");
  ASSERT_EQ(error, "-221,\"Settings conflict\"");
  const std::string noError = Genuine(":SYST:ERR?");
  std::mt19937 rng(2917);
  MutateOptions scpi;
  scpi.syntax = ",;\"'#-. 0123456789\n";
  for (int round = 0; round < 120; ++round) {
    if (round % 2 == 0) {
      AnswerOnce("MMEM:CAT?", Mutate(catalogue, rng, scpi));
      // Not asking: a name it believes is there is deleted on the simulator.
      const int ok = VisaDev_DeleteFileIfExists(0, "D:\\w\\b.wv", 0);
      ASSERT_TRUE(ok == 0 || ok == 1) << round;
    } else {
      AnswerOnce("SYST:ERR?", Mutate(round % 4 == 1 ? error : noError, rng, scpi));
      VisaDev_CheckError(0);
      char text[kVisaLastErrorSize];
      VisaDev_GetLastError(0, text);
      ASSERT_LT(strnlen(text, sizeof text), sizeof text) << round;
    }
    ExpectRecovered(round);
  }
}

TEST_P(ReplyFuzz, DataBlocksNeverReplaceTheLocalFileWhenTheyFail) {
  idn_ = Genuine("*IDN?");
  OpenFast();
  std::string data(3000, '\0');
  std::mt19937 fill(5);
  for (char& c : data) c = static_cast<char>(fill());
  ASSERT_TRUE(inst_.WriteFileData("D:/block.wv", data));
  const std::string block = Genuine(":MMEM:DATA? 'D:/block.wv'");
  ASSERT_EQ(block.substr(0, 6), "#43000");
  const std::string local = dir_.File("keep.wv");
  const std::string mine = "the user's own file";
  std::mt19937 rng(3101);
  MutateOptions header;
  header.syntax = "#0123456789\n";
  header.maxRun = 40;
  int accepted = 0;
  for (int round = 0; round < 60; ++round) {
    ASSERT_TRUE(WriteFileBytes(local, mine));
    // Half of the rounds damage only the header, where the reader decides.
    std::string reply = Mutate(block.substr(0, 8), rng, header);
    reply += round % 2 ? block.substr(8) : Mutate(block.substr(8), rng);
    AnswerOnce("MMEM:DATA?", reply);
    const int ok = VisaDev_DownloadFile(0, local.c_str(), "D:/block.wv");
    accepted += ok;
    ASSERT_FALSE(FileExists(local + ".part")) << round;
    if (ok) {
      // What was written came from the reply, as many bytes as it announced.
      const std::string got = ReadFileBytes(local);
      ASSERT_FALSE(got.empty()) << round;
      ASSERT_NE(reply.find(got), std::string::npos) << round;
    } else {
      ASSERT_EQ(ReadFileBytes(local), mine) << round;
    }
    ExpectRecovered(round);
  }
  EXPECT_LT(accepted, 60);
}

TEST_P(ReplyFuzz, FileBrowserListings) {
  idn_ = Genuine("*IDN?");
  OpenFast();
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR 'D:\\w'"), 1);
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR 'D:\\w\\sub'"), 1);
  for (const char* name : {"a.wv", "b.wv", "c.txt"}) {
    ASSERT_TRUE(inst_.WriteFileData(std::string("D:/w/") + name, "data"));
  }
  UiTest_SetUnansweredPopupHandler(&AcceptPopup);
  FileBrowser_SetLoopHook(&BrowserTurn);
  std::mt19937 rng(4242);
  MutateOptions scpi;
  scpi.syntax = ",;\"'#-. 0123456789\n";
  bool done = false;
  int rounds = 0;
  g_browserTurn = [&](int panel) {
    if (done) return;
    done = true;
    Genuine(":MMEM:CDIR 'D:\\w'; *OPC?");
    const std::string seeds[] = {Genuine(":MMEM:DCAT:LENG?"), Genuine(":MMEM:DCAT?"),
                                 Genuine(":MMEM:CAT:LENG? 'D:\\w\\*.wv'"), Genuine(":MMEM:CAT? 'D:\\w\\*.wv'")};
    const char* queries[] = {"DCAT:LENG?", "DCAT?", "CAT:LENG?", "MMEM:CAT?"};
    ASSERT_EQ(seeds[0], "3");  // ".", ".." and "sub"
    ASSERT_NE(seeds[3].find("\"b.wv,"), std::string::npos) << seeds[3];
    for (int round = 0; round < 80; ++round) {
      const int which = round % 4;
      AnswerOnce(queries[which], Mutate(seeds[which], rng, scpi));
      if (which < 2) {
        FileBrowser_ListDirectories("D:\\w");
      } else {
        FileBrowser_ListFiles("D:\\w", ".wv");
      }
      int items = -1;
      ASSERT_GE(GetNumTreeItems(panel, which < 2 ? PANEL_FB_DIRECTORY : PANEL_FB_FILES, &items), 0) << round;
      ASSERT_LE(items, 1024) << round;
      ExpectRecovered(round);
      ++rounds;
    }
    UiTest_ClickCtrl(panel, PANEL_FB_ARBFILECANCEL);
  };
  char path[kFileBrowserPathSize] = "";
  char chosen[kFileBrowserPathSize] = "";
  FileBrowser_Run(0, path, chosen, "*.wv");
  g_browserTurn = nullptr;
  FileBrowser_SetLoopHook(nullptr);
  EXPECT_EQ(rounds, 80);
}

INSTANTIATE_TEST_SUITE_P(Transports, ReplyFuzz, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Vxi11" : "Socket"; });

}  // namespace
}  // namespace cz::test
