// The simulated instrument's multi-segment commands driven directly: a
// segment list with its sequencer put together into the output waveform,
// refusals of bad lists, and the segment sequencing with its triggers.
#include <string>

#include <gtest/gtest.h>

#include "tools/cadenza-sim/SimInstrument.h"

namespace {

using cz::sim::SimConfig;
using cz::sim::SimInstrument;
using cz::sim::SimMswState;

struct Client {
  Client() : inst(SimConfig()) { conn = inst.Connect("test"); }
  void Send(const std::string& msg) {
    const std::string m = msg + "\n";
    inst.Feed(conn, reinterpret_cast<const uint8_t*>(m.data()), m.size(), false);
  }
  std::string Query(const std::string& msg) {
    Send(msg);
    std::string r;
    std::chrono::steady_clock::time_point due;
    if (!inst.PeekReply(conn, &r, &due)) return "<none>";
    inst.PopReply(conn);
    if (!r.empty() && r.back() == '\n') r.pop_back();
    return r;
  }
  std::string Error() { return Query(":SYST:ERR?"); }
  SimInstrument inst;
  int conn = 0;
};

TEST(SimMultiSegment, SegmentsAndSequencerAreAssembledIntoTheOutputWaveform) {
  Client c;
  ASSERT_TRUE(c.inst.WriteFileData("D:\\msw-seg1.wv", "AAAA"));
  ASSERT_TRUE(c.inst.WriteFileData("D:\\msw-seg2.wv", "BB"));
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:SEL 'D:\\msw.inf_mswv'; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:SEQ:SEL 'D:\\msw.wvs'; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:LEV:MODE ERMS; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:CLOC:MODE USER; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:CLOC 100.000000 MHz; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:OFIL 'D:\\msw.wv'; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:COMM 'two (parts)'; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\msw-seg1.wv'; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:SEQ:APP ON,0,3,NEXT; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\msw-seg2.wv'; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR:BB:ARB:WSEG:SEQ:APP ON,1,1,ENDLESS; *OPC?"), "1");
  EXPECT_EQ(c.Error(), "0,\"No error\"");
  EXPECT_EQ(c.Query("SOUR:BB:PROG:MCOD:ARB:WSEG?"), "0");
  c.Send("SOUR1:BB:ARB:WSEG:CLO 'D:\\msw.inf_mswv'");
  EXPECT_EQ(c.Error(), "0,\"No error\"");
  EXPECT_EQ(c.Query("SOUR:BB:PROG:MCOD:ARB:WSEG?"), "100");

  std::string data;
  ASSERT_TRUE(c.inst.FileData("D:\\msw.wv", &data));
  EXPECT_EQ(data, "{MSW:2}\nAAAABB");
  ASSERT_TRUE(c.inst.FileData("D:\\msw.wvs", &data));
  EXPECT_EQ(data, "ON,0,3,NEXT\nON,1,1,ENDLESS\n");
  ASSERT_TRUE(c.inst.FileData("D:\\msw.inf_mswv", &data));
  EXPECT_NE(data.find("LEVEL ERMS\nCLOCK MODE USER\nCLOCK 100000000\nCOMMENT two (parts)\n"), std::string::npos);
  EXPECT_EQ(c.inst.Path(1).arbWaveform.empty(), false);
  EXPECT_EQ(c.Query("SOUR1:BB:ARB:STAT ON; *OPC?"), "1");
  EXPECT_EQ(c.Error(), "0,\"No error\"");
}

TEST(SimMultiSegment, BadListsAreRefusedWithErrors) {
  Client c;
  // A segment before any configuration, a missing segment file, a sequencer
  // entry naming a segment that is not in the list, a count out of range.
  c.Send("SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\none.wv'");
  EXPECT_EQ(c.Error(), "-221,\"Settings conflict\"");
  c.Send("SOUR:BB:ARB:WSEG:CONF:SEL 'D:\\m.inf_mswv'");
  c.Send("SOUR:BB:ARB:WSEG:SEQ:SEL 'D:\\m.wvs'");
  c.Send("SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\none.wv'");
  EXPECT_EQ(c.Error(), "-256,\"File name not found\"");
  ASSERT_TRUE(c.inst.WriteFileData("D:\\s1.wv", "X"));
  c.Send("SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\s1.wv'");
  c.Send("SOUR:BB:ARB:WSEG:SEQ:APP ON,1,1,NEXT");
  EXPECT_EQ(c.Error(), "-222,\"Data out of range\"");
  c.Send("SOUR:BB:ARB:WSEG:SEQ:APP ON,0,65536,NEXT");
  EXPECT_EQ(c.Error(), "-222,\"Data out of range\"");
  // Closing without an output file, or with another configuration name.
  c.Send("SOUR:BB:ARB:WSEG:CLO 'D:\\m.inf_mswv'");
  EXPECT_EQ(c.Error(), "-221,\"Settings conflict\"");
  c.Send("SOUR:BB:ARB:WSEG:CONF:OFIL 'D:\\m.wv'");
  c.Send("SOUR:BB:ARB:WSEG:CLO 'D:\\other.inf_mswv'");
  EXPECT_EQ(c.Error(), "-221,\"Settings conflict\"");
  EXPECT_EQ(c.inst.MultiSegment().progress, 0);
}

TEST(SimMultiSegment, TriggerSwitchesToTheNextSegmentPerPath) {
  Client c;
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:SEQ SING; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:TRIG:SMOD NEXT; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:TRIG:SOUR EXT; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:WSEG:NEXT 3; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:TRIG:ARM:EXEC; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:TRIG:EXT:DELAY 12.000000; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:WSEG?"), "0");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:TRIG:EXEC; *OPC?"), "1");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:WSEG?"), "3");
  EXPECT_EQ(c.Query("SOUR1:BB:ARB:WSEG?"), "0");
  EXPECT_EQ(c.Query("SOUR2:BB:ARB:TRIG:RMOD?"), "STOP");  // the ARB is off
  const SimMswState s = c.inst.MultiSegment();
  EXPECT_EQ(s.paths[1].sequence, "SING");
  EXPECT_EQ(s.paths[1].segmentMode, "NEXT");
  EXPECT_EQ(s.paths[1].source, "EXT");
  EXPECT_EQ(s.paths[1].armed, 1);
  EXPECT_DOUBLE_EQ(s.paths[1].delaySamples, 12.0);
  c.Send("SOUR:BB:ARB:SEQ SOMETIMES");
  EXPECT_EQ(c.Error(), "-224,\"Illegal parameter value\"");
  EXPECT_EQ(c.Error(), "0,\"No error\"");
}

}  // namespace
