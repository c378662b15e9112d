// The VISA device layer against a loopback instrument: slots, logging,
// "*OPC?" and error-queue checks, over-long replies, raw command bytes.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "instrument/InstrumentTypes.h"
#include "instrument/VisaDev.h"
#include "tests/instrument/FakeInstrument.h"
#include "tests/instrument/InstrumentTestSupport.h"

namespace cz::test {
namespace {

class VisaDevTest : public InstrumentTest {
 protected:
  FakeInstrument fake{"Torvane,Kaldra-200,100123,4.20.1", "KLD-M64,OPT-RFA30"};
};

TEST_F(VisaDevTest, OpenIdentifiesAndLogsOneQueryExactly) {
  ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
  EXPECT_TRUE(Log().Has("Opening VISA '" + fake.Resource() + "' as device #0"));
  InstrumentType type = -1;
  ASSERT_EQ(VisaDev_GetType(0, &type), 1);
  EXPECT_EQ(type, INSTR_KALDRA);
  EXPECT_STREQ(VisaDevSlotTable[0].options.c_str(), "KLD-M64,OPT-RFA30");

  Log().Clear();
  char reply[256];
  ASSERT_EQ(VisaDev_Query(0, "*IDN?", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "Torvane,Kaldra-200,100123,4.20.1");
  ASSERT_EQ(Log().lines.size(), 2u);
  EXPECT_EQ(Log().lines[0], "VISA >> '*IDN?'");
  EXPECT_EQ(Log().lines[1], "VISA << 'Torvane,Kaldra-200,100123,4.20.1'");

  ASSERT_EQ(VisaDev_Close(0), 1);
  EXPECT_TRUE(Log().Has("Device 0 closed."));
  EXPECT_EQ(VisaDevSlotTable[0].session, kVisaDevClosed);
  EXPECT_EQ(VisaDevSlotTable[0].resourceManager, kVisaDevClosed);
  EXPECT_EQ(VisaDevSlotTable[0].type, INSTR_KALDRA) << "closing keeps the type";
}

TEST_F(VisaDevTest, SlotRulesAndFailedOpenKeepsItsReason) {
  EXPECT_EQ(VisaDev_Open(32, fake.Resource().c_str()), 0);
  EXPECT_TRUE(Log().Has("Wrong Instrument ID specified."));
  ASSERT_EQ(VisaDev_Open(3, fake.Resource().c_str()), 1);
  EXPECT_EQ(VisaDev_Open(3, fake.Resource().c_str()), 0);
  EXPECT_TRUE(Log().Has("Device is already open."));
  ASSERT_EQ(VisaDev_Close(3), 1);

  // Nothing listens on this port: the open fails, the slot stays closed and
  // its reason can still be read and is in the log.
  FakeInstrument* gone = new FakeInstrument("x,y,z,w", "");
  const std::string dead = gone->Resource();
  delete gone;
  Log().Clear();
  EXPECT_EQ(VisaDev_Open(1, dead.c_str()), 0);
  EXPECT_EQ(VisaDevSlotTable[1].session, kVisaDevClosed);
  const std::string reason = LastError(1);
  EXPECT_NE(reason, "Undefined error.");
  EXPECT_NE(reason.find("ERROR : Failed to open instrument session"), std::string::npos) << reason;
  EXPECT_TRUE(Log().HasPrefix("*** Opening device #1 failed: ERROR : Failed to open"));
  EXPECT_EQ(LastError(1), "Undefined error.") << "handed out once";

  Log().Clear();
  VisaDev_CloseAll();
  EXPECT_EQ(std::count(Log().lines.begin(), Log().lines.end(), "Device is not open."), 1);
}

TEST_F(VisaDevTest, OpcAndErrorQueueChecks) {
  ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
  // "*OPC?" answered "0" fails without a reply log line.
  fake.OpcZeroOn("OUTP:STAT ON");
  Log().Clear();
  EXPECT_EQ(VisaDev_Write(0, "OUTP:STAT ON; *OPC?"), 0);
  EXPECT_EQ(LastError(0), "ERROR : R Unexpected Result '0'");
  EXPECT_FALSE(Log().Has("VISA << '0'"));
  EXPECT_EQ(VisaDev_Write(0, "OUTP:STAT OFF; *OPC?"), 1);
  EXPECT_TRUE(Log().Has("VISA << '1'"));

  // Three queued errors: one check reads them all, the next is clean.
  fake.QueueError("-221,\"Settings conflict\"");
  fake.QueueError("-222,\"Data out of range\"");
  fake.QueueError("469,\"No files found\"");
  Log().Clear();
  EXPECT_EQ(VisaDev_CheckError(0), 0);
  EXPECT_EQ(std::count_if(Log().lines.begin(), Log().lines.end(),
                          [](const std::string& l) { return l.rfind(":SYST:ERR? resports '", 0) == 0; }),
            3);
  EXPECT_TRUE(VisaDev_LastErrorHasCode(0, 469));
  EXPECT_FALSE(VisaDev_LastErrorHasCode(0, 1469));
  EXPECT_EQ(LastError(0), "-221,\"Settings conflict\"-222,\"Data out of range\"469,\"No files found\"");
  EXPECT_EQ(VisaDev_CheckError(0), 1);

  // A reply that is not a code fails the check and the session is cleared,
  // so the following command is answered in step.
  fake.QueueError("garbage");
  EXPECT_EQ(VisaDev_CheckError(0), 0);
  char reply[64];
  EXPECT_EQ(VisaDev_Query(0, "*OPT?", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "KLD-M64,OPT-RFA30");

  // A query sent through VisaDev_Write is not read; the reply waits.
  EXPECT_EQ(VisaDev_Write(0, "*IDN?"), 1);
  EXPECT_EQ(VisaDev_Query(0, "", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "Torvane,Kaldra-200,100123,4.20.1");
}

TEST_F(VisaDevTest, LongRepliesAreLoggedInPiecesOrDrained) {
  std::string catalog(300, 'c');
  fake.PutFile("D:\\long.txt", catalog);
  ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
  char big[1024];
  Log().Clear();
  ASSERT_EQ(VisaDev_Query(0, ":MMEM:DATA? 'D:\\long.txt'", big, sizeof big), 1);
  // "#3300" + 300 bytes: 305 characters in two logged pieces.
  ASSERT_EQ(Log().lines.size(), 3u);
  EXPECT_EQ(Log().lines[1], "VISA << '#3300" + std::string(195, 'c') + "'...");
  EXPECT_EQ(Log().lines[2], "VISA << '" + std::string(105, 'c') + "'...");

  // Too long for the buffer: the rest is drained, never left for the next read.
  char small[16];
  Log().Clear();
  ASSERT_EQ(VisaDev_Query(0, ":MMEM:DATA? 'D:\\long.txt'", small, sizeof small), 1);
  EXPECT_EQ(std::string(small), "#3300" + std::string(10, 'c'));
  EXPECT_TRUE(Log().Has("*** Reply longer than 15 bytes: 291 further bytes discarded."));
  char reply[64];
  ASSERT_EQ(VisaDev_Query(0, "*OPT?", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "KLD-M64,OPT-RFA30");
}

// A reply that never ends, flooding or trickling, fails its query within
// the byte or time bound and the session is cleared, so that the next
// command is answered in step.
TEST_F(VisaDevTest, RepliesThatNeverEndFailWithinTheirBounds) {
  ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
  char reply[64];
  fake.BabbleAfter("*IDN?", 0);
  Log().Clear();
  EXPECT_EQ(VisaDev_Query(0, "*IDN?", reply, sizeof reply), 0);
  EXPECT_TRUE(Log().Has("*** Reply not ended after 16777216 bytes."));
  EXPECT_EQ(VisaDev_Query(0, "*OPT?", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "KLD-M64,OPT-RFA30");

  VisaDev_SetReplyTimeLimit(500);
  for (bool whole : {false, true}) {
    fake.BabbleAfter("*IDN?", 1);
    Log().Clear();
    const auto start = std::chrono::steady_clock::now();
    std::string all;
    EXPECT_EQ(whole ? VisaDev_QueryAll(0, "*IDN?", &all) : VisaDev_Query(0, "*IDN?", reply, sizeof reply), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << "before the 5 s time-out";
    EXPECT_TRUE(Log().Has("*** Reply not ended within 500 ms."));
    std::uint32_t timeout = 0;
    ASSERT_EQ(VisaDev_GetTimeout(0, &timeout), 1);
    EXPECT_EQ(timeout, 5000u) << "the session's time-out is put back";
    EXPECT_EQ(VisaDev_Query(0, "*OPT?", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "KLD-M64,OPT-RFA30");
  }
}

TEST_F(VisaDevTest, CommandsGoOutAsRawBytes) {
  ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
  fake.ClearJournal();
  EXPECT_EQ(VisaDev_Write(0, "SOUR:WAV:SEL '50%duty%s%n.wv'"), 1);
  auto j = fake.Journal();
  ASSERT_FALSE(j.empty());
  EXPECT_EQ(j[0], "SOUR:WAV:SEL '50%duty%s%n.wv'");
  EXPECT_TRUE(Log().Has("VISA >> 'SOUR:WAV:SEL '50%duty%s%n.wv''"));
}

TEST_F(VisaDevTest, AsyncReadNeverPassesItsMaximumAndFailsOnTimeout) {
  fake.PutFile("D:\\a.bin", std::string(3000, 'x'));
  ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:DATA? 'D:\\a.bin'"), 1);
  char buf[2600] = {};
  std::uint32_t got = 0;
  ASSERT_EQ(VisaDev_ReadAsync(0, buf, 2500, &got), 1);
  EXPECT_EQ(got, 2500u);
  EXPECT_EQ(std::string(buf, 5), "#4300");

  // Nothing more is coming after this: the piece times out, the read fails
  // and reports only what arrived.
  ASSERT_EQ(VisaDev_ReadAsync(0, buf, 507, &got), 1);
  EXPECT_EQ(got, 507u);  // the rest of the block and its line feed
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(VisaDev_ReadAsync(0, buf, 100, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_TRUE(Log().HasPrefix("*** Asynchronous read timed out after 0 bytes."));
  char reply[64];
  EXPECT_EQ(VisaDev_Query(0, "*OPT?", reply, sizeof reply), 1);
  EXPECT_STREQ(reply, "KLD-M64,OPT-RFA30");
}

TEST_F(VisaDevTest, AccessorsReadTheSlot) {
  ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
  char maker[1024] = "", model[1024] = "", serial[1024] = "", firmware[1024] = "", options[8000] = "";
  ASSERT_EQ(VisaDev_GetIdent(0, maker, model, serial, options), 1);
  ASSERT_EQ(VisaDev_GetFirmware(0, firmware), 1);
  EXPECT_STREQ(maker, "Torvane");
  EXPECT_STREQ(model, "Kaldra-200");
  EXPECT_STREQ(serial, "100123");
  EXPECT_STREQ(firmware, "4.20.1");
  EXPECT_EQ(VisaDev_IsUnixStyle(0), 0);
  EXPECT_EQ(VisaDev_GetSecondFlag(0), 1);
  char dir[256];
  ASSERT_EQ(VisaDev_GetDefaultDirectory(0, dir), 1);
  EXPECT_STREQ(dir, "D:\\");
  std::uint16_t intf = 0;
  ASSERT_EQ(VisaDev_GetInterfaceType(0, &intf), 1);
  EXPECT_EQ(intf, VISADEV_INTF_TCPIP);
  VisaDev_Close(0);
  Log().Clear();
  EXPECT_EQ(VisaDev_GetDefaultDirectory(0, dir), 0);
  EXPECT_TRUE(Log().Has("Device is not open."));
}

}  // namespace
}  // namespace cz::test
