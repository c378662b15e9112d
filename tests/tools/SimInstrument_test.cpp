// The simulated instrument driven directly (no network): identity of every
// model, the error queue, the file system, baseband and RF state, RF lists
// and the injected faults.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/CLocale.h"
#include "tools/cadenza-sim/SimInstrument.h"

namespace {

using cz::sim::SimConfig;
using cz::sim::SimFault;
using cz::sim::SimFaultKind;
using cz::sim::SimInstrument;

// One connection to an in-process instrument.
struct Client {
  explicit Client(SimConfig cfg = SimConfig()) : inst(std::move(cfg)) { conn = inst.Connect("test"); }

  // Sends a message (with its line feed); false when the instrument dropped us.
  bool Send(const std::string& msg) {
    std::string m = msg + "\n";
    return inst.Feed(conn, reinterpret_cast<const uint8_t*>(m.data()), m.size(), false);
  }
  // The next reply without its line feed, or "<none>".
  std::string Reply() {
    std::string r;
    std::chrono::steady_clock::time_point due;
    if (!inst.PeekReply(conn, &r, &due)) return "<none>";
    inst.PopReply(conn);
    if (!r.empty() && r.back() == '\n') r.pop_back();
    return r;
  }
  std::string Query(const std::string& msg) {
    Send(msg);
    return Reply();
  }
  std::string Block(const std::string& data) {
    const std::string len = std::to_string(data.size());
    return "#" + std::to_string(len.size()) + len + data;
  }

  SimInstrument inst;
  int conn = 0;
};

SimConfig Model(const char* model, const char* options = "") {
  SimConfig c;
  c.model = model;
  c.options = options;
  return c;
}

TEST(SimInstrument, IdentityRootsAndDefaultDirectoryPerModel) {
  struct Row {
    const char* model;
    const char* cwd;
  };
  const Row rows[] = {{"Tovik", "D:\\"},          {"Kaldra", "D:\\"},         {"Halvex", "D:\\"},
                      {"Quorra", "/var/quorra"},  {"Lumbra", "D:\\"},         {"Ravell", "D:\\"},
                      {"Pernot", "D:\\"},         {"Gortin", "/var/gortin"},  {"Dellum", "/var/dellum"},
                      {"Ettrin", "D:\\"},         {"Lumbrix", "D:\\"},        {"Nerrin", "/var/nerrin"},
                      {"Vessan", "/var/vessan"},  {"Ostrel", "/var/user"},    {"Zephyr", "D:\\"}};
  for (const Row& r : rows) {
    Client c(Model(r.model, "OPT-A,OPT-B"));
    EXPECT_EQ(c.Query("*IDN?"), std::string("Torvane,") + r.model + ",102030,4.20.1.5");
    EXPECT_EQ(c.Query("*OPT?"), "OPT-A,OPT-B");
    EXPECT_EQ(c.Query(":MMEM:CDIR?"), std::string("\"") + r.cwd + "\"") << r.model;
  }
  Client nerrin(Model("Nerrin"));
  EXPECT_EQ(nerrin.Query(":MMEM:CDIR '/hdd/'; *OPC?"), "1");
  EXPECT_EQ(nerrin.Query(":MMEM:CDIR?"), "\"/hdd\"");
  EXPECT_EQ(nerrin.Query(":MMEM:DCAT? '/var'"), "\".\",\"..\",\"nerrin\"");
  Client lumbra(Model("Lumbra"));  // drive-style directory, Unix-style browser root
  EXPECT_EQ(lumbra.Query(":MMEM:DCAT:LENG? '/var'"), "2");
}

TEST(SimInstrument, ErrorQueueCommonCommandsAndCompoundMessages) {
  Client c;
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");
  EXPECT_EQ(c.Query("BOGUS:CMD 1; *OPC?"), "1");
  EXPECT_EQ(c.Query("SYSTEM:ERROR:NEXT?"), "-113,\"Undefined header\"");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");
  c.Send("NOPE1");
  c.Send("NOPE2");
  EXPECT_EQ(c.Reply(), "<none>") << "commands without '?' are not answered";
  c.Send("*CLS");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");
  for (int i = 0; i < 25; ++i) c.Send("NOPE");
  EXPECT_EQ(c.inst.ErrorQueue().size(), 20u);
  EXPECT_EQ(c.inst.ErrorQueue().back(), "-350,\"Queue overflow\"");
  EXPECT_EQ(c.Query("*IDN?;*OPC?"), "Torvane,Kaldra,102030,4.20.1.5;1");
}

// IEEE 488.2 status reporting: each SCPI error class in its event status
// bit, the status byte's summaries, and a reply left unread interrupted by
// the next message where replies wait to be read (not on a streamed socket).
TEST(SimInstrument, StatusRegistersAndInterruptedQueries) {
  Client c;
  EXPECT_EQ(c.Query("*STB?;*ESR?"), "0;0");
  c.Send("NOPE");                       // -113 command error
  c.Send("*ESE 300");                   // -222 execution error
  c.Send(":MMEM:CAT? 'D:\\*.none'");  // 469 device-specific (its reply is left unread)
  EXPECT_EQ(c.Query("*STB?"), "4") << "the catalogue's unread reply is gone";
  EXPECT_EQ(c.Query("*ESR?"), "60") << "command, execution, device and query error bits";
  EXPECT_EQ(c.Query("*ESR?"), "0");
  std::vector<std::string> want = {"-113,\"Undefined header\"", "-222,\"Data out of range\"",
                                   "469,\"No file matches the pattern\"", "-410,\"Query INTERRUPTED\""};
  EXPECT_EQ(c.inst.ErrorQueue(), want);
  c.Send("*ESE 4.4;*SRE 255");
  EXPECT_EQ(c.Query("*ESE?;*SRE?"), "4;191");
  c.Send("*IDN?");
  EXPECT_EQ(c.inst.StatusByte(c.conn), 0x04 | 0x10 | 0x40) << "errors and a waiting reply, summarised";
  c.Reply();
  c.Send("*CLS");
  EXPECT_EQ(c.Query("*STB?;*ESR?;*ESE?"), "0;0;4") << "*CLS keeps the enable masks";
  c.Send("*ESE");
  c.Send("*SRE ON");
  EXPECT_EQ(c.Query(":SYST:ERR?;:SYST:ERR?"), "-109,\"Missing parameter\";-224,\"Illegal parameter value\"");

  // "#10": an empty file.
  EXPECT_EQ(c.Query(":MMEM:DATA 'D:\\e.bin',#10;*OPC?"), "1");
  std::string data = "x";
  ASSERT_TRUE(c.inst.FileData("D:\\e.bin", &data));
  EXPECT_EQ(data, "");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");

  // A streamed connection sends what it has; nothing is interrupted there.
  const int sock = c.inst.Connect("socket", true);
  for (const char* m : {"*IDN?\n", "*OPC?\n"})
    c.inst.Feed(sock, reinterpret_cast<const uint8_t*>(m), std::strlen(m), false);
  std::string r;
  std::chrono::steady_clock::time_point due;
  ASSERT_TRUE(c.inst.PeekReply(sock, &r, &due));
  EXPECT_EQ(r, "Torvane,Kaldra,102030,4.20.1.5\n");
  EXPECT_TRUE(c.inst.ErrorQueue().empty());
}

TEST(SimInstrument, FileSystemCatalogAndTransfers) {
  Client c;
  EXPECT_EQ(c.Query(":MMEM:MSIS 'D:'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:CDIR '\\waves\\'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "-256,\"File name not found\"");
  EXPECT_EQ(c.Query(":MMEM:MDIR '\\waves\\'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:CDIR '\\waves\\'; *OPC?"), "1");

  // Data with line feeds, '#' and ';' arrives byte for byte, names keep '%'.
  std::string data;
  for (int i = 0; i < 100000; ++i) data += static_cast<char>("ab\n#;'\"\r"[i % 8]);
  EXPECT_EQ(c.Query(":MMEM:DATA 'D:\\waves\\50%duty.wv'," + c.Block(data) + "\n*OPC?"), "1");
  std::string stored;
  ASSERT_TRUE(c.inst.FileData("D:\\waves\\50%duty.wv", &stored));
  EXPECT_EQ(stored, data);
  EXPECT_EQ(c.Query(":MMEM:DATA? 'D:\\waves\\50%duty.wv'"), c.Block(data));
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");

  c.inst.WriteFileData("D:\\waves\\b.bin", "xyz");
  EXPECT_EQ(c.Query(":MMEM:CAT? '*.wv'"), "100003,10737318237,\"50%duty.wv,BIN,100000\"");
  EXPECT_EQ(c.Query(":MMEM:CAT:LENG? 'D:\\waves'"), "4");
  EXPECT_EQ(c.Query(":MMEM:CAT? 'D:\\waves\\*.lsw'"), "100003,10737318237");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "469,\"No file matches the pattern\"");

  // A missing file: no reply, an error, and the next command works.
  c.Send(":MMEM:DATA? 'D:\\waves\\missing.wv'");
  EXPECT_EQ(c.Reply(), "<none>");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "-256,\"File name not found\"");

  EXPECT_EQ(c.Query(":MMEM:RDIR 'D:\\waves'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "-250,\"Mass storage error\"") << "not empty";
  EXPECT_EQ(c.Query("MMEM:DEL 'D:\\waves\\b.bin'; *OPC?"), "1");
  EXPECT_EQ(c.Query("MMEM:DEL 'D:\\waves\\50%duty.wv'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:CDIR 'D:\\'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:RDIR 'waves'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");
  EXPECT_EQ(c.Query(":MMEM:DCAT:LENG?"), "2");
  // Control characters in a name are refused.
  EXPECT_EQ(c.Query(":MMEM:MDIR 'D:\\a\tb'; :SYST:ERR?"), "-257,\"File name error\"");
}

// Catalogue entries are SCPI strings: a double quote in a name is doubled,
// commas stay as they are, and "*.*" also matches a name without a dot.
TEST(SimInstrument, CatalogueNamesAsScpiStrings) {
  Client c;
  c.inst.WriteFileData("D:\\take,2.wv", "1234567");
  c.inst.WriteFileData("D:\\take", "1");
  EXPECT_EQ(c.Query(":MMEM:MDIR 'D:\\say \"hi\"'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:MDIR 'D:\\zeta'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:CAT? 'D:\\*.wv'"), "8,10737418232,\"take,2.wv,BIN,7\"");
  EXPECT_NE(c.Query(":MMEM:CAT? 'D:\\*.*'").find(",\"take,BIN,1\""), std::string::npos);
  EXPECT_NE(c.Query(":MMEM:CAT? 'D:\\*.*'").find(",\"say \"\"hi\"\",DIR,0\""), std::string::npos);
  EXPECT_EQ(c.Query(":MMEM:CDIR 'D:\\'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:DCAT?"), "\".\",\"..\",\"say \"\"hi\"\"\",\"zeta\"");
  EXPECT_EQ(c.Query(":MMEM:CDIR 'D:\\say \"hi\"'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":MMEM:CDIR?"), "\"D:\\say \"\"hi\"\"\"");
}

TEST(SimInstrument, BasebandRoutingAndRfState) {
  Client c;
  EXPECT_EQ(c.Query("SOUR1:BB:ARB:WAV:SEL 'D:\\w.wv'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "-256,\"File name not found\"") << "the waveform must exist";
  c.inst.WriteFileData("D:\\w.wv", "1234");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:WAV:SEL 'D:\\w.wv'; *OPC?"), "1");
  c.Send("SOUR2:BB:ARB:STAT ON");
  c.Send("SOUR2:BB:ROUTE AB; *OPC?");
  c.Reply();
  c.Send("SOUR2:IQ:OUTP:STATE ON");
  c.Send("SOUR2:FREQ 2.500000 GHz");
  c.Send("SOUR2:POW -12.500000 dBm");
  c.Send("OUTP2:STAT ON");
  cz::sim::SimPathState b = c.inst.Path(2);
  EXPECT_EQ(b.arbWaveform, "D:/w.wv");
  EXPECT_TRUE(b.arbState);
  EXPECT_EQ(b.route, "AB");
  EXPECT_TRUE(b.iqState);
  EXPECT_DOUBLE_EQ(b.freqHz, 2.5e9);
  EXPECT_DOUBLE_EQ(b.levelDbm, -12.5);
  EXPECT_TRUE(b.rfOutput);
  EXPECT_FALSE(c.inst.Path(1).arbState);
  EXPECT_EQ(c.Query("SOUR2:FREQ?;:OUTP2:STAT?;:SOUR2:BB:ARB:WAV:SEL?"), "2500000000;1;\"D:\\w.wv\"");
  c.Send("SOUR1:BB:ARB:STAT ON");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "-221,\"Settings conflict\"") << "nothing selected on path 1";
  c.Send("*RST");
  EXPECT_FALSE(c.inst.Path(2).rfOutput);
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");
}

TEST(SimInstrument, RfListFromBinaryBlocks) {
  Client c;
  const double freq[3] = {1e9, 2e9, 3e9};
  const double pow[3] = {-10, -20, -30};
  auto block = [](const double* v) { return std::string(reinterpret_cast<const char*>(v), 24); };
  EXPECT_EQ(c.Query("SOUR1:LIST:SEL 'D:\\lists\\l.lsw'; *OPC?"), "1");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "-256,\"File name not found\"");
  EXPECT_EQ(c.Query("SOUR1:LIST:SEL 'D:\\l.lsw'; *OPC?"), "1");
  c.Send("SOUR1:LIST:FREQ #224" + block(freq));
  c.Send("SOUR1:LIST:POW #224" + block(pow));
  c.Send("SOUR1:LIST:DWEL   1.0 ms");
  c.Send("SOUR1:LIST:LEAR");
  cz::sim::SimRfList list;
  ASSERT_TRUE(c.inst.RfList("D:\\l.lsw", &list));
  EXPECT_EQ(list.freqHz, std::vector<double>(freq, freq + 3));
  EXPECT_EQ(list.levelDbm, std::vector<double>(pow, pow + 3));
  EXPECT_DOUBLE_EQ(c.inst.Path(1).listDwellS, 0.001);
  EXPECT_TRUE(c.inst.Path(1).listLearned);
  EXPECT_EQ(c.Query("SOUR1:LIST:FREQ?"), "1000000000,2000000000,3000000000");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "0,\"No error\"");
  EXPECT_EQ(c.Query(":MMEM:CAT? '*.lsw'"), "48,10737418192,\"l.lsw,BIN,48\"");
  // The journal keeps blocks as length and checksum.
  const std::string want = "SOUR1:LIST:FREQ #224[24 bytes crc32 " +
                           cz::FormatC("%08X", SimInstrument::Crc32(block(freq))) + "]";
  bool found = false;
  for (const std::string& l : c.inst.Journal()) found |= l.find(want) != std::string::npos;
  EXPECT_TRUE(found) << want;
}

TEST(SimInstrument, FaultSpecsParse) {
  SimFault f;
  std::string why;
  ASSERT_TRUE(cz::sim::SimFault_Parse("error=-221,\"Settings conflict\"*1@WAV:SEL", &f, &why));
  EXPECT_EQ(f.kind, SimFaultKind::kQueueError);
  EXPECT_EQ(f.text, "-221,\"Settings conflict\"");
  EXPECT_EQ(f.times, 1);
  EXPECT_EQ(f.match, "WAV:SEL");
  ASSERT_TRUE(cz::sim::SimFault_Parse("dropblock=4096@MMEM:DATA", &f, &why));
  EXPECT_EQ(f.value, 4096);
  EXPECT_EQ(f.times, -1);
  EXPECT_FALSE(cz::sim::SimFault_Parse("late", &f, &why));
  EXPECT_FALSE(cz::sim::SimFault_Parse("opc0=3", &f, &why));
  EXPECT_FALSE(cz::sim::SimFault_Parse("explode", &f, &why));
  EXPECT_FALSE(cz::sim::SimFault_Parse("drop*0", &f, &why));
}

TEST(SimInstrument, InjectedFaults) {
  SimConfig cfg;
  cfg.faults = {{SimFaultKind::kOpcZero, "WAV:SEL", 0, "", 1},
                {SimFaultKind::kQueueError, "ROUTE", 0, "-221,\"Settings conflict\"", 1},
                {SimFaultKind::kNoReply, "*IDN?", 0, "", 1},
                {SimFaultKind::kLateReply, "*OPT?", 500, "", 1},
                {SimFaultKind::kBadBlock, "bad.wv", 0, "", -1},
                {SimFaultKind::kShortBlock, "short.wv", 3, "", -1},
                {SimFaultKind::kLongCatalog, "CAT?", 2, "", 1},
                {SimFaultKind::kBusy, "", 2, "", 1},
                {SimFaultKind::kDrop, "*RST", 0, "", 1}};
  Client c(cfg);
  c.inst.WriteFileData("D:\\bad.wv", "abcdef");
  c.inst.WriteFileData("D:\\short.wv", "abcdef");
  EXPECT_EQ(c.Query("SOUR1:BB:ARB:WAV:SEL 'D:\\bad.wv'; *OPC?"), "0");
  EXPECT_EQ(c.Query("SOUR1:BB:ARB:WAV:SEL 'D:\\bad.wv'; *OPC?"), "1") << "fired once";
  EXPECT_EQ(c.Query("SOUR1:BB:ROUTE A; *OPC?"), "1");
  EXPECT_EQ(c.Query(":SYST:ERR?"), "-221,\"Settings conflict\"");
  EXPECT_EQ(c.Query("*IDN?"), "<none>");

  c.Send("*OPT?");
  std::string r;
  std::chrono::steady_clock::time_point due;
  ASSERT_TRUE(c.inst.PeekReply(c.conn, &r, &due));
  EXPECT_GT(due - std::chrono::steady_clock::now(), std::chrono::milliseconds(300));
  c.Reply();

  EXPECT_EQ(c.Query(":MMEM:DATA? 'D:\\bad.wv'"), "#0abcdef");
  EXPECT_EQ(c.Query(":MMEM:DATA? 'D:\\short.wv'"), "#16abc");
  const std::string cat = c.Query(":MMEM:CAT? 'D:\\*.wv'");
  EXPECT_NE(cat.find("\"filler_000001.bin,BIN,0\""), std::string::npos) << cat;

  c.Send("SOUR1:BB:ARB:STAT ON");
  EXPECT_EQ(c.Query("STAT:OPER:COND?"), "2");
  EXPECT_EQ(c.Query("STAT:OPER:COND?"), "2");
  EXPECT_EQ(c.Query("STAT:OPER:COND?"), "0");

  EXPECT_FALSE(c.Send("*RST")) << "connection dropped after the command";
}

TEST(SimInstrument, DropHalfwayThroughABlockAndEndFraming) {
  SimConfig cfg;
  cfg.faults = {{SimFaultKind::kDropInBlock, "MMEM:DATA", 5, "", 1}};
  Client c(cfg);
  const std::string msg = ":MMEM:DATA 'D:\\x.bin',#210abcdefghij\n";
  EXPECT_FALSE(c.inst.Feed(c.conn, reinterpret_cast<const uint8_t*>(msg.data()), msg.size(), false));
  std::string data;
  EXPECT_FALSE(c.inst.FileData("D:\\x.bin", &data));

  // A new connection; END from the transport ends a message without a line feed.
  int conn = c.inst.Connect("again");
  const std::string part1 = ":MMEM:DATA 'D:\\x.bin',#210abc";
  const std::string part2 = "defghij";
  EXPECT_TRUE(c.inst.Feed(conn, reinterpret_cast<const uint8_t*>(part1.data()), part1.size(), false));
  EXPECT_TRUE(c.inst.Feed(conn, reinterpret_cast<const uint8_t*>(part2.data()), part2.size(), true));
  ASSERT_TRUE(c.inst.FileData("D:\\x.bin", &data));
  EXPECT_EQ(data, "abcdefghij");
  // END inside a block: the short block is refused.
  const std::string shortMsg = ":MMEM:DATA 'D:\\y.bin',#210abc";
  c.inst.Feed(conn, reinterpret_cast<const uint8_t*>(shortMsg.data()), shortMsg.size(), true);
  EXPECT_FALSE(c.inst.FileData("D:\\y.bin", &data));
  EXPECT_EQ(c.inst.ErrorQueue().back(), "-161,\"Invalid block data\"");
}

}  // namespace
